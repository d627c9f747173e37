// SPDX-License-Identifier: GPL-3.0-or-later
// Saving a picture as one of the kinds Save writes.
#pragma once

#include <string>

#include "imaging/picture/picture_kind.h"
#include "imaging/picture/work_bitmap.h"

namespace hueline {

// Writes the picture to path as kind (JPEG at quality 90, BMP in the
// picture's own format, PNG without loss, SVG and PDF traced), never destroying an existing
// file on failure. Throws FileError naming the file and the reason, and
// UserError for a kind that is never saved.
void writePictureFile(const WorkBitmap& picture, const std::string& path, PictureKind kind);

}  // namespace hueline
