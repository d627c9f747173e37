# The two commands of the README do all the set-up on a fresh Debian 12
# machine: `make run` and `make test`.
BUILD := build
JOBS ?= $(shell nproc)

.PHONY: deps configure build run test bench clean package

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

# The Debian package build/hueline_<version>_<arch>.deb, made by CPack from
# the install rules, its dependencies found by dpkg-shlibdeps. Install it
# with `apt-get install ./build/hueline_*.deb`.
package: build
	cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD)
