// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/codecs/picture_writer.h"

#include "imaging/codecs/bmp_codec.h"
#include "imaging/codecs/jpeg_codec.h"
#include "imaging/codecs/pdf_writer.h"
#include "imaging/codecs/png_codec.h"
#include "imaging/codecs/svg_writer.h"
#include "imaging/picture/errors.h"

namespace hueline {

void writePictureFile(const WorkBitmap& picture, const std::string& path, PictureKind kind) {
    switch (kind) {
    case PictureKind::Jpeg: writeJpegFile(picture, path); return;
    case PictureKind::Bmp: writeBmpFile(picture, path); return;
    case PictureKind::Png: writePngFile(picture, path); return;
    case PictureKind::Svg: writeSvgFile(picture, path); return;
    case PictureKind::Pdf: writePdfFile(picture, path); return;
    default: break;
    }
    throw UserError("Pictures are saved as JPEG, BMP, PNG, SVG or PDF only, so " + path + " was not written.");
}

}  // namespace hueline
