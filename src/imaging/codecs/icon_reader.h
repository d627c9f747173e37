// SPDX-License-Identifier: GPL-3.0-or-later
// Icon files: the picture an icon gives when it is opened, a white
// 24-bit square of the standard icon size with the best-suited image of
// the file drawn at its own size at the top-left corner through its mask or
// alpha channel.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "imaging/picture/errors.h"
#include "imaging/picture/work_bitmap.h"

namespace hueline {

// An icon file that cannot be read. The window answers it with its own
// message box rather than the general error report.
class IconError : public FileError {
public:
    using FileError::FileError;
};

// The standard icon size: icons open as pictures of this width and height.
inline constexpr int kStandardIconSize = 32;

// The picture of an icon file's bytes. Of the file's images the one
// closest to the standard size is taken (the sum of the width and height
// differences), then the deepest colour, then the larger, then the first.
// name is used in error messages. Throws IconError. The chosen image may
// have at most 256 megapixels (kMaxPixels) by its own header, whatever the
// directory says; a PNG image (256 x 256 icons are stored so) must also
// have enough bytes for its size, and is drawn through its alpha channel.
WorkBitmap decodeIcon(std::span<const std::uint8_t> bytes, const std::string& name);

// Reads and decodes an icon file. Throws IconError, also when the file
// cannot be read at all.
WorkBitmap readIconFile(const std::string& path);

}  // namespace hueline
