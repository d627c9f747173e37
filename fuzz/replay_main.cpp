// SPDX-License-Identifier: GPL-3.0-or-later
// Replays files through a fuzz target without libFuzzer: every file of
// every folder named on the command line (or the files named themselves)
// goes to LLVMFuzzerTestOneInput once. Used by the test suite to replay
// the seed corpora and every crasher ever found, in any build.
//
//   <reader>_replay [--optional] PATH...
//
// A missing PATH is an error, unless --optional came before it (the
// crasher folders exist only once something has been found). Files whose
// names begin with a dot are skipped.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
// Called once before the first input when the target has it, as libFuzzer does.
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace fs = std::filesystem;

namespace {

bool replayFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "replay: cannot read %s\n", file.c_str());
        return false;
    }
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // A copy of exactly the file's size, so that a read one byte past the
    // end is caught by the address checker as it is under libFuzzer.
    std::vector<std::uint8_t> exact(bytes.begin(), bytes.end());
    exact.shrink_to_fit();
    LLVMFuzzerTestOneInput(exact.empty() ? nullptr : exact.data(), exact.size());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
    bool optional = false;
    int files = 0, missing = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--optional") {
            optional = true;
            continue;
        }
        const fs::path path(arg);
        std::error_code ec;
        if (fs::is_directory(path, ec)) {
            std::vector<fs::path> entries;
            for (const auto& e : fs::recursive_directory_iterator(path))
                if (e.is_regular_file() && e.path().filename().string().front() != '.') entries.push_back(e.path());
            std::sort(entries.begin(), entries.end());
            for (const fs::path& f : entries) {
                if (!replayFile(f)) return 1;
                ++files;
            }
        } else if (fs::is_regular_file(path, ec)) {
            if (!replayFile(path)) return 1;
            ++files;
        } else if (!optional) {
            std::fprintf(stderr, "replay: %s does not exist\n", arg.c_str());
            ++missing;
        }
        optional = false;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("replay: %d files in %.2f s\n", files, seconds);
    if (missing) return 1;
    if (files == 0) {
        std::fprintf(stderr, "replay: no files to replay\n");
        return 1;
    }
    return 0;
}
