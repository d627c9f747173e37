// SPDX-License-Identifier: GPL-3.0-or-later
// A pixel operation that reaches up into a codec through the angle-bracket
// form: the layering check and the compiler must both refuse this file.
#include <imaging/picture/work_bitmap.h>
#include <imaging/codecs/bmp_codec.h>
