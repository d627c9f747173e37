// SPDX-License-Identifier: GPL-3.0-or-later
// A picture's size as its file's header gives it, before anything is
// decoded: what a run of many pictures plans its memory by.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace hueline {

struct PictureSize {
    int width = 0;
    int height = 0;
    std::uint64_t pixels() const { return std::uint64_t(width) * std::uint64_t(height); }
};

// The size the header of a BMP, PNG or JPEG file gives, from the first bytes of
// the file (a JPEG's header may follow some hundred kilobytes of other
// blocks). Nothing for other kinds, and for a file that cannot be read or
// whose header says nothing sensible: reading it then tells why.
std::optional<PictureSize> pictureSizeFromHeader(const std::string& path);

// The same from a file's first bytes, for each kind.
std::optional<PictureSize> bmpSizeFromHeader(std::span<const std::uint8_t> head);
std::optional<PictureSize> pngSizeFromHeader(std::span<const std::uint8_t> head);
std::optional<PictureSize> jpegSizeFromHeader(std::span<const std::uint8_t> head);

}  // namespace hueline
