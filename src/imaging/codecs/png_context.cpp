// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/codecs/png_context.h"

namespace hueline::png {

std::string reasonFor(int error) {
    switch (error) {
    case SPNG_ESIGNATURE: return "it is not a PNG file";
    case SPNG_IO_EOF:
    case SPNG_EOF:
    case SPNG_EIDAT_TOO_SHORT: return "the file ends before its pixels";
    case SPNG_ECHUNK_CRC: return "the file is damaged (a checksum does not match)";
    case SPNG_EMEM: return "there is not enough memory for it";
    case SPNG_ECHUNK_LIMITS: return "the file holds a block of data larger than 64 MB";
    case SPNG_EWIDTH:
    case SPNG_EHEIGHT:
    case SPNG_EUSER_WIDTH:
    case SPNG_EUSER_HEIGHT: return "the picture's size is not valid";
    case SPNG_EBIT_DEPTH:
    case SPNG_ECOLOR_TYPE: return "the file's colour type or bit depth is not valid";
    case SPNG_ENOPLTE: return "the palette is missing";
    default: return std::string("the file is damaged (") + spng_strerror(error) + ")";
    }
}

}  // namespace hueline::png
