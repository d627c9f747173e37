// SPDX-License-Identifier: GPL-3.0-or-later
// A TIFF file in memory opened with libtiff, its messages kept for the
// user instead of printed.
#pragma once

#include <tiffio.h>

#include <cstdint>
#include <span>
#include <string>

namespace hueline::tiff {

class MemoryTiff {
public:
    // Reads the header and the first directory. Throws FileError naming
    // the file with libtiff's reason when that fails.
    MemoryTiff(std::span<const std::uint8_t> bytes, const std::string& name);
    ~MemoryTiff();
    MemoryTiff(const MemoryTiff&) = delete;
    MemoryTiff& operator=(const MemoryTiff&) = delete;

    TIFF* get() const { return tif_; }
    // libtiff's first error since the file was opened or since the last
    // call of takeError, which forgets it; "" when there was none.
    std::string takeError();

    // Used by libtiff's callbacks.
    std::span<const std::uint8_t> bytes;
    std::uint64_t position = 0;
    std::string error;

private:
    TIFF* tif_ = nullptr;
};

}  // namespace hueline::tiff
