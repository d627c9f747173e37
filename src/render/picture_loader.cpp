// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/picture_loader.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>

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

namespace {

// The largest PNG image an icon entry may hold (icons go up to 256 x 256).
constexpr int kMaxIconPngSide = 1024;

}  // namespace

WorkBitmap decodePngForIcon(std::span<const std::uint8_t> bytes) {
    QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
    {
        // The size from the image header, before anything is decoded.
        QBuffer buffer(&data);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, "png");
        const QSize size = reader.size();
        if (!size.isValid()) throw UserError("the PNG image in the icon cannot be read");
        if (size.width() > kMaxIconPngSide || size.height() > kMaxIconPngSide)
            throw UserError("the PNG image in the icon is larger than 1024 x 1024");
    }
    QImage image;
    if (!image.loadFromData(data, "PNG") || image.isNull())
        throw UserError("the PNG image in the icon cannot be read");
    image = image.convertToFormat(QImage::Format_ARGB32);

    WorkBitmap picture(image.width(), image.height(), PixelFormat::Bits32);
    picture.setMasks({0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000});
    for (int y = 0; y < image.height(); ++y) {
        const QRgb* in = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        std::uint8_t* out = picture.row(y);
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = in[x];
            out[4 * x] = std::uint8_t(qBlue(p));
            out[4 * x + 1] = std::uint8_t(qGreen(p));
            out[4 * x + 2] = std::uint8_t(qRed(p));
            out[4 * x + 3] = std::uint8_t(qAlpha(p));
        }
    }
    return picture;
}

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
    case PictureKind::Icon: return readIconFile(path, decodePngForIcon);
    case PictureKind::Wmf:
    case PictureKind::Emf: return renderMetafile(readFileBytes(path), path, kindFromName(path));
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
