// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/picture_loader.h"

#include <unistd.h>

#include <array>
#include <filesystem>

#include "imaging/codecs/bmp_codec.h"
#include "imaging/picture/errors.h"
#include "imaging/codecs/file_io.h"
#include "imaging/codecs/heif_codec.h"
#include "imaging/codecs/icon_reader.h"
#include "imaging/codecs/jpeg_codec.h"
#include "imaging/codecs/png_codec.h"
#include "imaging/codecs/tiff_codec.h"
#include "imaging/codecs/webp_codec.h"
#include "imaging/picture/picture_kind.h"
#include "render/metafile_painter.h"

namespace hueline {

namespace {

WorkBitmap readByKind(const std::string& path, PictureKind kind, std::string* damage) {
    switch (kind) {
    case PictureKind::Bmp: return readBmpFile(path);
    case PictureKind::Jpeg: return readJpegFile(path, damage);
    case PictureKind::Png: return readPngFile(path, damage);
    case PictureKind::Heif:
    case PictureKind::Avif: return readHeifFile(path, damage);
    case PictureKind::Webp: return readWebpFile(path, damage);
    case PictureKind::Tiff: return readTiffFile(path, damage);
    case PictureKind::Icon: return readIconFile(path);
    case PictureKind::Wmf:
    case PictureKind::Emf: return renderMetafile(readFileBytes(path), path, kind, kMaxMetafilePlayTime, damage);
    case PictureKind::Svg:  // traced drawings are written, never read
    case PictureKind::Pdf:
    case PictureKind::Unknown: break;
    }
    throw FileError(path, "not a picture this program reads");
}

// A file its reader refused may hold another kind of picture than its
// name says; the user is then told that rather than the reader's reason.
void refuseIfAnotherKind(const std::string& path, PictureKind named) {
    std::array<std::uint8_t, 64> head{};
    ssize_t got = 0;
    try {
        // Never a FIFO or a device: reading one could wait for ever.
        const ReadableFile file = openRegularFile(path);
        got = ::read(file.fd(), head.data(), head.size());
    } catch (const FileError&) {
        return;
    }
    if (got <= 0) return;
    const PictureKind found = kindFromContent(std::span(head.data(), std::size_t(got)));
    const bool sameReader = (found == PictureKind::Heif || found == PictureKind::Avif) &&
                            (named == PictureKind::Heif || named == PictureKind::Avif);
    if (found == PictureKind::Unknown || found == named || sameReader) return;
    throw FileError(path, "it holds a " + std::string(kindName(found)) + " picture, not the " +
                              std::string(kindName(named)) + " picture its name says; rename it to the ending of its kind");
}

}  // namespace

WorkBitmap LoadPictureFile(const std::string& path, std::string* damage) {
    // Other reasons a file cannot be opened (a folder, a FIFO, a link to
    // nothing, no permission) are left to the readers, which name them.
    std::error_code ec;
    if (std::filesystem::symlink_status(path, ec).type() == std::filesystem::file_type::not_found)
        throw FileError(path, "no such file");
    const PictureKind kind = kindFromName(path);
    try {
        return readByKind(path, kind, damage);
    } catch (const FileError&) {
        if (kind != PictureKind::Unknown) refuseIfAnotherKind(path, kind);
        throw;
    }
}

WorkBitmap LoadPreviewPicture(const std::string& path, int boxWidth, int boxHeight) {
    switch (kindFromName(path)) {
    case PictureKind::Jpeg: return decodeJpegToCover(readFileBytes(path), path, boxWidth, boxHeight);
    case PictureKind::Webp: return decodeWebpToCover(readFileBytes(path), path, boxWidth, boxHeight);
    case PictureKind::Heif:
    case PictureKind::Avif: return decodeHeifToCover(readFileBytes(path), path, boxWidth, boxHeight);
    default: return LoadPictureFile(path);
    }
}

}  // namespace hueline
