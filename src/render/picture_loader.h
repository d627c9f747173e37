// SPDX-License-Identifier: GPL-3.0-or-later
// Turning one picture file into a WorkBitmap, by the end of its name.
#pragma once

#include <string>

#include "imaging/picture/work_bitmap.h"

namespace hueline {

// Reads the file whose name ends (in any case) in "JPEG", "JPG", "BMP",
// "ICO", "WMF", "EMF", "PNG", "HEIC", "HEIF", "AVIF", "WEBP", "TIF" or
// "TIFF" into a new picture: a BMP keeps its stored pixel format, a JPEG
// is 24-bit (8-bit gray with 236 levels for a grayscale file) and turned
// upright by its EXIF orientation, a PNG is 24-bit on white (8-bit with
// its palette for a palette file), HEIF, AVIF, WebP and TIFF files as
// their readers say (heif_codec.h, webp_codec.h, tiff_codec.h); photos
// with a colour profile come converted to sRGB. An icon is
// the 32 x 32 24-bit picture of its best-suited image on white, a metafile
// the white 24-bit picture of its natural size with the metafile played at
// the top-left corner.
// Throws FileError(path, "no such file") when the file does not exist,
// FileError(path, "not a picture this program reads") for any other name,
// and the reader's own error (an IconError for icons) when it fails; a
// file that holds another kind of picture than its name says is refused
// with a FileError saying so.
// A FIFO, device or folder under a picture's name is refused without
// waiting on it. A damaged JPEG, WebP or TIFF still opens; damage, when
// given, receives what is wrong with it (empty when nothing is), what
// became of a colour profile that could not be used, and for a metafile
// what its text lost to the installed fonts, a line for each.
// Reports progress and may be cancelled (see progress.h).
WorkBitmap LoadPictureFile(const std::string& path, std::string* damage = nullptr);

// The picture for a preview of about boxWidth x boxHeight: as
// LoadPictureFile, but a JPEG or WebP is decoded reduced by its library as
// far as it still covers the box, and a HEIF or AVIF file shows its
// thumbnail when that covers the box.
WorkBitmap LoadPreviewPicture(const std::string& path, int boxWidth, int boxHeight);

}  // namespace hueline
