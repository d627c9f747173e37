// SPDX-License-Identifier: GPL-3.0-or-later
// A pixel operation that reaches up into a codec: the layering check
// must refuse this file.
#include "imaging/codecs/bmp_codec.h"
#include "imaging/picture/work_bitmap.h"
