// SPDX-License-Identifier: GPL-3.0-or-later
// The Inverse command's pixel operation.
#pragma once

#include "imaging/picture/work_bitmap.h"

namespace hueline {

// The picture's negative, in its own format: every channel v of every
// pixel becomes 255 - v. Pictures with a palette invert the palette and
// keep their indices; 16- and 32-bit ones flip their colour bits only, so
// that unused and alpha bits keep their meaning.
void invertPicture(WorkBitmap& picture);

}  // namespace hueline
