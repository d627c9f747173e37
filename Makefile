# SPDX-License-Identifier: GPL-3.0-or-later
# The two commands of the README do all the set-up on a fresh Debian 12
# machine: `make run` and `make test`.
BUILD := build
JOBS ?= $(shell nproc)

.PHONY: deps configure build run test bench clean test-sanitize fuzz package

deps:
	@./scripts/install-deps

configure: deps
	@if [ ! -f $(BUILD)/build.ninja ]; then \
	  cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release; fi

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/hueline

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

bench: build
	./$(BUILD)/hueline_bench --benchmark_counters_tabular=true
	@if [ -x $(BUILD)/hueline_app_bench ]; then \
	  QT_QPA_PLATFORM=offscreen ./$(BUILD)/hueline_app_bench --benchmark_counters_tabular=true; fi

# The whole test suite under AddressSanitizer and UndefinedBehaviorSanitizer;
# any finding stops the test that made it.
SANITIZE_BUILD := build-asan
SANITIZE_FLAGS := -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer

test-sanitize: deps
	@if [ ! -f $(SANITIZE_BUILD)/build.ninja ]; then \
	  cmake -S . -B $(SANITIZE_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DCMAKE_CXX_FLAGS="$(SANITIZE_FLAGS)" -DHUELINE_BENCH=OFF; fi
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	cd $(SANITIZE_BUILD) && QT_QPA_PLATFORM=offscreen \
	  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1:fast_unwind_on_malloc=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/sanitizer/lsan.supp:print_suppressions=0 \
	  ctest --output-on-failure -j $(JOBS)

# Every reader's fuzzer (clang, libFuzzer) for FUZZ_SECONDS each; new
# crashers land in tests/crashers/<reader>/, named by what broke.
FUZZ_SECONDS ?= 60
FUZZ_READERS ?= bmp jpeg png ico wmf emf heif webp tiff icon_png metafile

fuzz: deps
	FUZZ_SECONDS=$(FUZZ_SECONDS) ./scripts/fuzz-readers $(FUZZ_READERS)

# The Debian package build-package/hueline_<version>_<arch>.deb, made by
# CPack from the install rules, its dependencies found by dpkg-shlibdeps.
# Its own build folder, with neither tests nor benchmarks, so that only
# what the package installs is built. Install it with
# `apt-get install ./build-package/hueline_*.deb`; check it with lintian.
PACKAGE_BUILD := build-package

package: deps
	@if [ ! -f $(PACKAGE_BUILD)/build.ninja ]; then \
	  cmake -S . -B $(PACKAGE_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	    -DHUELINE_TESTS=OFF -DHUELINE_BENCH=OFF; fi
	cmake --build $(PACKAGE_BUILD) -j $(JOBS)
	cd $(PACKAGE_BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD) $(PACKAGE_BUILD)
