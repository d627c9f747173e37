// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/picture_loader.h"

#include <filesystem>

#include "imaging/codecs/bmp_codec.h"
#include "imaging/picture/errors.h"
#include "imaging/codecs/file_io.h"
#include "imaging/codecs/icon_reader.h"
#include "imaging/codecs/jpeg_codec.h"
#include "imaging/codecs/png_codec.h"
#include "imaging/picture/picture_kind.h"
#include "render/metafile_painter.h"

namespace hueline {

WorkBitmap LoadPictureFile(const std::string& path, std::string* damage) {
    // Other reasons a file cannot be opened (a folder, a FIFO, a link to
    // nothing, no permission) are left to the readers, which name them.
    std::error_code ec;
    if (std::filesystem::symlink_status(path, ec).type() == std::filesystem::file_type::not_found)
        throw FileError(path, "no such file");
    switch (kindFromName(path)) {
    case PictureKind::Bmp: return readBmpFile(path);
    case PictureKind::Jpeg: return readJpegFile(path, damage);
    case PictureKind::Png: return readPngFile(path);
    case PictureKind::Icon: return readIconFile(path);
    case PictureKind::Wmf:
    case PictureKind::Emf: return renderMetafile(readFileBytes(path), path, kindFromName(path), kMaxMetafilePlayTime, damage);
    case PictureKind::Svg:  // traced drawings are written, never read
    case PictureKind::Pdf:
    case PictureKind::Unknown: break;
    }
    throw FileError(path, "not a picture this program reads");
}

WorkBitmap LoadPreviewPicture(const std::string& path, int boxWidth, int boxHeight) {
    if (kindFromName(path) == PictureKind::Jpeg) return decodeJpegToCover(readFileBytes(path), path, boxWidth, boxHeight);
    return LoadPictureFile(path);
}

}  // namespace hueline
