// SPDX-License-Identifier: GPL-3.0-or-later
// The picture loader: the kind by the end of the name, the errors for
// missing and unknown files, and the PNG decoder that icons use.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "imaging/codecs/bmp_codec.h"
#include "imaging/picture/errors.h"
#include "imaging/codecs/file_io.h"
#include "imaging/codecs/icon_reader.h"
#include "imaging/codecs/jpeg_codec.h"
#include "imaging/codecs/png_codec.h"
#include "render/picture_loader.h"

namespace fs = std::filesystem;
using namespace hueline;

namespace {

const std::string kJpegData = std::string(HUELINE_TEST_DATA) + "/jpeg/";

using test_support::TempFolder;

void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::string reasonOf(const std::string& path) {
    try {
        LoadPictureFile(path);
    } catch (const FileError& e) {
        EXPECT_EQ(e.file(), path);
        return e.reason();
    }
    return "(loaded)";
}

std::vector<std::uint8_t> pngBytes(const QImage& image) {
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, "PNG"));
    return std::vector<std::uint8_t>(data.begin(), data.end());
}

// An icon file holding one PNG-compressed image.
std::vector<std::uint8_t> iconWithPng(const std::vector<std::uint8_t>& png, int width, int height) {
    const std::uint32_t size = std::uint32_t(png.size());
    std::vector<std::uint8_t> ico = {0,
                                     0,
                                     1,
                                     0,
                                     1,
                                     0,  // reserved, type icon, one image
                                     std::uint8_t(width),
                                     std::uint8_t(height),
                                     0,
                                     0,
                                     1,
                                     0,
                                     32,
                                     0,  // size, colours, planes, bits
                                     std::uint8_t(size),
                                     std::uint8_t(size >> 8),
                                     std::uint8_t(size >> 16),
                                     std::uint8_t(size >> 24),
                                     6 + 16,
                                     0,
                                     0,
                                     0};  // where the image starts
    for (std::uint8_t b : png) ico.push_back(b);
    return ico;
}

std::uint32_t crc32(const std::uint8_t* p, std::size_t n) {
    std::uint32_t c = 0xFFFFFFFF;
    for (std::size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
    }
    return ~c;
}

QImage blank(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(qRgba(10, 20, 30, 255));
    return image;
}

}  // namespace

TEST(LoadPictureFile, JpegNamesInAnyCaseDecodeAsJpeg) {
    TempFolder tmp;
    const std::vector<std::uint8_t> colour = readFileBytes(kJpegData + "libjpeg-turbo/testorig.jpg");
    const WorkBitmap expected = decodeJpeg(colour, "testorig.jpg");
    // Only the end of the name counts, not even a dot.
    for (const char* name : {"photo.jpeg", "photo.JPEG", "photo.jpg", "photo.Jpg", "photoJPG"}) {
        SCOPED_TRACE(name);
        writeBytes(tmp / name, colour);
        const WorkBitmap pic = LoadPictureFile(tmp / name);
        EXPECT_EQ(pic.format(), PixelFormat::Bits24);
        EXPECT_TRUE(pic == expected);
    }
    // A grayscale JPEG arrives as an 8-bit gray picture.
    fs::copy_file(kJpegData + "pillow/hopper_gray.jpg", tmp / "gray.JPEG");
    const WorkBitmap gray = LoadPictureFile(tmp / "gray.JPEG");
    EXPECT_EQ(gray.format(), PixelFormat::Bits8);
    EXPECT_EQ(gray.palette().size(), 236u);
    // A broken JPEG is an error with libjpeg's reason.
    fs::copy_file(kJpegData + "corrupt/missing-sos.jpg", tmp / "broken.jpg");
    EXPECT_EQ(reasonOf(tmp / "broken.jpg"), "Invalid JPEG file structure: missing SOS marker");
}

TEST(LoadPictureFile, BmpNamesKeepTheStoredFormat) {
    TempFolder tmp;
    WorkBitmap eight(7, 5, PixelFormat::Bits8);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) eight.row(y)[x] = std::uint8_t(x * 30 + y);
    writeBmpFile(eight, tmp / "photo.bmp");
    fs::copy_file(tmp / "photo.bmp", tmp / "photo.BMP");
    const WorkBitmap lower = LoadPictureFile(tmp / "photo.bmp");
    const WorkBitmap upper = LoadPictureFile(tmp / "photo.BMP");
    EXPECT_EQ(lower.format(), PixelFormat::Bits8);
    EXPECT_TRUE(lower == upper);
    EXPECT_TRUE(lower.to24() == eight.to24());
}

TEST(LoadPictureFile, MissingAndUnknownFilesAreErrorsNotEmptyPanes) {
    TempFolder tmp;
    EXPECT_EQ(reasonOf(tmp / "nothing.jpg"), "no such file");
    EXPECT_EQ(reasonOf(tmp / "nothing.bmp"), "no such file");
    EXPECT_EQ(reasonOf(tmp / "nothing.gif"), "no such file");

    fs::copy_file(kJpegData + "libjpeg-turbo/testorig.jpg", tmp / "photo.gif");
    fs::copy_file(kJpegData + "libjpeg-turbo/testorig.jpg", tmp / "photo.jpg.txt");
    fs::copy_file(kJpegData + "libjpeg-turbo/testorig.jpg", tmp / "photo");
    for (const char* name : {"photo.gif", "photo.jpg.txt", "photo"})
        EXPECT_EQ(reasonOf(tmp / name), "not a picture this program reads") << name;
}

TEST(LoadPictureFile, MetafileNamesNeverLoadOtherBytes) {
    TempFolder tmp;
    fs::copy_file(kJpegData + "libjpeg-turbo/testorig.jpg", tmp / "drawing.wmf");
    fs::copy_file(kJpegData + "libjpeg-turbo/testorig.jpg", tmp / "drawing.EMF");
    EXPECT_THROW(LoadPictureFile(tmp / "drawing.wmf"), FileError);
    EXPECT_THROW(LoadPictureFile(tmp / "drawing.EMF"), FileError);
}

TEST(LoadPictureFile, IconsWithPngImagesComeOutAs32By32OnWhite) {
    TempFolder tmp;
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x) image.setPixel(x, y, qRgba(200, 10, 30, 255));
    writeBytes(tmp / "small.ICO", iconWithPng(pngBytes(image), 16, 16));
    const WorkBitmap icon = LoadPictureFile(tmp / "small.ICO");
    ASSERT_EQ(icon.width(), 32);
    ASSERT_EQ(icon.height(), 32);
    EXPECT_EQ(icon.format(), PixelFormat::Bits24);
    EXPECT_EQ(icon.pixel(3, 3), makeColor(200, 10, 30));  // opaque top half
    EXPECT_EQ(icon.pixel(3, 12), kWhite);                 // transparent bottom half
    EXPECT_EQ(icon.pixel(20, 3), kWhite);                 // beyond the 16 x 16 image
    EXPECT_EQ(icon.pixel(31, 31), kWhite);
}

TEST(LoadPictureFile, BrokenIconsGiveTheIconError) {
    TempFolder tmp;
    // A PNG image too large for an icon, and a broken one.
    writeBytes(tmp / "huge.ico", iconWithPng(pngBytes(blank(1100, 4)), 0, 4));
    std::vector<std::uint8_t> broken = pngBytes(blank(16, 16));
    broken[20] ^= 0xFF;  // spoils the header's checksum
    writeBytes(tmp / "broken.ico", iconWithPng(broken, 16, 16));
    for (const char* name : {"huge.ico", "broken.ico"}) {
        try {
            LoadPictureFile(tmp / name);
            ADD_FAILURE() << name << " loaded";
        } catch (const IconError& e) {
            EXPECT_EQ(e.file(), tmp / name);
            EXPECT_FALSE(e.reason().empty());
        }
    }
}

TEST(DecodePngForIcon, KeepsColoursAndAlphaExactly) {
    QImage image(5, 3, QImage::Format_ARGB32);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            image.setPixel(x, y, qRgba(x * 50, y * 100, 255 - x * 40, x == 0 ? 0 : 60 * y + 10 * x));
    const WorkBitmap pic = decodePngForIcon(pngBytes(image));
    ASSERT_EQ(pic.width(), 5);
    ASSERT_EQ(pic.height(), 3);
    EXPECT_EQ(pic.format(), PixelFormat::Bits32);
    EXPECT_EQ(pic.masks(), (ChannelMasks{0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000}));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
            const std::uint8_t* p = pic.constRow(y) + 4 * x;
            const QRgb q = image.pixel(x, y);
            EXPECT_EQ(p[0], qBlue(q));
            EXPECT_EQ(p[1], qGreen(q));
            EXPECT_EQ(p[2], qRed(q));
            EXPECT_EQ(p[3], qAlpha(q)) << x << "," << y;
        }
    // Seen through its masks, an opaque pixel reads as its colour.
    EXPECT_EQ(pic.to24().pixel(4, 2), makeColor(200, 200, 95));
}

TEST(DecodePngForIcon, RefusesHugeAndBrokenImages) {
    EXPECT_NO_THROW(decodePngForIcon(pngBytes(blank(1024, 2))));
    try {
        decodePngForIcon(pngBytes(blank(1025, 1)));
        FAIL() << "a 1025-wide image was decoded";
    } catch (const UserError& e) {
        EXPECT_NE(std::string(e.what()).find("1024"), std::string::npos) << e.what();
    }
    // A valid header that claims 60000 x 60000 over a few bytes of data.
    std::vector<std::uint8_t> claim = pngBytes(blank(4, 4));
    ASSERT_GT(claim.size(), 33u);
    claim[16] = 0, claim[17] = 0, claim[18] = 0xEA, claim[19] = 0x60;  // width
    claim[20] = 0, claim[21] = 0, claim[22] = 0xEA, claim[23] = 0x60;  // height
    const std::uint32_t crc = crc32(claim.data() + 12, 17);            // "IHDR" and its 13 bytes
    claim[29] = std::uint8_t(crc >> 24), claim[30] = std::uint8_t(crc >> 16);
    claim[31] = std::uint8_t(crc >> 8), claim[32] = std::uint8_t(crc);
    const auto start = std::chrono::steady_clock::now();
    try {
        decodePngForIcon(claim);
        FAIL() << "a 60000 x 60000 image was decoded";
    } catch (const UserError& e) {
        EXPECT_NE(std::string(e.what()).find("1024"), std::string::npos) << e.what();
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));

    const std::vector<std::uint8_t> garbage = {0x89, 'P', 'N', 'G', 1, 2, 3};
    EXPECT_THROW(decodePngForIcon(garbage), UserError);
    EXPECT_THROW(decodePngForIcon({}), UserError);
}

// HEIF, AVIF, WebP and TIFF by their endings in any case; content of
// another kind than the ending says is named in the refusal.
TEST(LoadPictureFile, PhotoKindsByTheirEndingsAndRefusedUnderAnotherKindsName) {
    const std::string formats = std::string(HUELINE_TEST_DATA) + "/formats/";
    TempFolder tmp;
    fs::copy_file(formats + "webp/lossless.webp", tmp / "photo.WEBP");
    fs::copy_file(formats + "heif/rgb8.avif", tmp / "photo.heic");  // one reader for both
    fs::copy_file(formats + "tiff/gray8.tif", tmp / "scan.TIFF");
    fs::copy_file(formats + "tiff/palette8.tif", tmp / "scan.tif");
    EXPECT_EQ(LoadPictureFile(tmp / "photo.WEBP").width(), 48);
    EXPECT_EQ(LoadPictureFile(tmp / "photo.heic").height(), 32);
    EXPECT_EQ(LoadPictureFile(tmp / "scan.TIFF").format(), PixelFormat::Bits8);
    EXPECT_EQ(LoadPictureFile(tmp / "scan.tif").format(), PixelFormat::Bits8);
    // The preview decodes a WebP reduced to cover its box.
    const WorkBitmap preview = LoadPreviewPicture(tmp / "photo.WEBP", 24, 16);
    EXPECT_EQ(preview.width(), 24);
    EXPECT_EQ(preview.height(), 16);

    fs::copy_file(std::string(HUELINE_TEST_DATA) + "/png/rgb8.png", tmp / "photo.webp");
    EXPECT_EQ(reasonOf(tmp / "photo.webp"),
              "it holds a PNG picture, not the WebP picture its name says; rename it to the ending of its kind");
    fs::copy_file(formats + "webp/lossy.webp", tmp / "photo.tiff");
    EXPECT_EQ(reasonOf(tmp / "photo.tiff"),
              "it holds a WebP picture, not the TIFF picture its name says; rename it to the ending of its kind");
}
