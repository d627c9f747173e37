// SPDX-License-Identifier: GPL-3.0-or-later
// Picking a huge bitmap down to the size it is drawn at, straight from its
// bits (compressed ones included), so that it is never expanded whole.
#pragma once

#include "imaging/metafile/surface.h"

namespace hueline::meta {

// The part x, y, width x height of dib (rows counted from the top, lying
// inside the bitmap) picked evenly, nearest pixel, to outWidth x outHeight
// (no larger than the part): an uncompressed bitmap with the same colours,
// rows from the top, 8 bits per pixel for a bitmap of 8 bits or fewer.
// False when it cannot be done (an old-style header, a compression other
// than RLE, bits that end early).
bool sampleDib(const Dib& dib, const SourceRect& part, int outWidth, int outHeight, Dib& out);

}  // namespace hueline::meta
