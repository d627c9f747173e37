// SPDX-License-Identifier: GPL-3.0-or-later
// Small helpers shared by the reader and writer tests: little-endian
// field writers for building files byte by byte, and a temporary folder.
#pragma once

#include <stdlib.h>
#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace hueline::test_support {

inline void put16(std::vector<std::uint8_t>& f, std::size_t at, std::uint32_t v) {
    f[at] = std::uint8_t(v);
    f[at + 1] = std::uint8_t(v >> 8);
}
inline void put32(std::vector<std::uint8_t>& f, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) f[at + i] = std::uint8_t(v >> 8 * i);
}

// A fresh folder under the system's temporary folder, removed with all it
// holds (also after a test made it read-only).
struct TempFolder {
    std::string path;
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "hueline-test-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary folder");
        path = pattern;
    }
    ~TempFolder() {
        ::chmod(path.c_str(), 0755);
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string operator/(const std::string& name) const { return path + "/" + name; }
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(path)) names.push_back(e.path().filename().string());
        return names;
    }
};

}  // namespace hueline::test_support
