// SPDX-License-Identifier: GPL-3.0-or-later
// HEIF, AVIF, WebP and TIFF readers and the colour profiles of every
// reader: each test file against the picture its own library's tool
// decodes (laid over white, upright, converted to sRGB by PIL's ImageCms;
// see tests/data/formats/make-files.sh), the formats the picture keeps,
// damaged and oversized files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "imaging/codecs/colour_profile.h"
#include "imaging/codecs/file_io.h"
#include "imaging/codecs/heif_codec.h"
#include "imaging/codecs/jpeg_codec.h"
#include "imaging/codecs/png_codec.h"
#include "imaging/codecs/tiff_codec.h"
#include "imaging/codecs/webp_codec.h"
#include "imaging/picture/errors.h"
#include "support/pictures.h"

using namespace hueline;
using test_support::largestDifference;

namespace {

const std::string kData = std::string(HUELINE_TEST_DATA) + "/formats/";

using Reader = std::function<WorkBitmap(const std::string&, std::string*)>;

WorkBitmap readAny(const std::string& path, std::string* warnings) {
    const std::string end = path.substr(path.rfind('.'));
    if (end == ".heic" || end == ".avif") return readHeifFile(path, warnings);
    if (end == ".webp") return readWebpFile(path, warnings);
    if (end == ".tif") return readTiffFile(path, warnings);
    if (end == ".png") return readPngFile(path, warnings);
    return readJpegFile(path, warnings);
}

std::string reasonOf(const std::function<void()>& read) {
    try {
        read();
    } catch (const FileError& e) {
        EXPECT_EQ(e.file(), "bad");
        return e.reason();
    }
    return "(read)";
}

}  // namespace

TEST(PhotoFormats, EachFileIsWhatItsLibraryDecodes) {
    struct Case {
        const char* file;
        int tolerance;  // 10-bit samples: the tool truncates, we round;
    };                  // profiles: lcms2 beside PIL's ImageCms
    const Case cases[] = {
        {"heif/rgb8.heic", 0},         {"heif/alpha.heic", 0},      {"heif/rgb10.heic", 1},
        {"heif/rotated.heic", 0},      {"heif/mirrored.heic", 0},   {"heif/a98.heic", 1},
        {"heif/rgb8.avif", 0},         {"heif/alpha.avif", 0},      {"heif/rgb10.avif", 1},
        {"heif/p3.avif", 1},
        {"webp/lossy.webp", 0},        {"webp/lossless.webp", 0},   {"webp/alpha.webp", 0},
        {"webp/animated.webp", 0},     {"webp/exif6.webp", 0},      {"webp/a98.webp", 1},
        {"tiff/rgb8-lzw.tif", 0},      {"tiff/rgb8-packbits.tif", 0}, {"tiff/rgb8-tiles-deflate.tif", 0},
        {"tiff/rgb8-jpeg.tif", 0},     {"tiff/rgb8-planes.tif", 0}, {"tiff/rgb16.tif", 0},
        {"tiff/rgba8.tif", 0},         {"tiff/cmyk.tif", 0},        {"tiff/gray8.tif", 0},
        {"tiff/gray16.tif", 0},        {"tiff/palette8.tif", 0},    {"tiff/palette4.tif", 0},
        {"tiff/bilevel.tif", 0},       {"tiff/multipage.tif", 0},   {"tiff/orient6.tif", 0},
        {"tiff/orient3.tif", 0},       {"tiff/a98.tif", 1},         {"tiff/srgb.tif", 0},
        {"profile/a98.png", 1},        {"profile/rommrgb.png", 1},  {"profile/a98.jpg", 1},
        {"profile/gray-gamma.png", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string name = std::string(c.file).substr(std::string(c.file).find('/') + 1);
        std::string warnings;
        const WorkBitmap picture = readAny(kData + c.file, &warnings);
        const WorkBitmap expected = readPngFile(kData + "expected/" + name + ".png");
        EXPECT_LE(largestDifference(picture, expected), c.tolerance);
        EXPECT_EQ(warnings, "");
    }
}

TEST(PhotoFormats, GrayPaletteAndBilevelTiffsKeepTheirKind) {
    EXPECT_EQ(readTiffFile(kData + "tiff/gray8.tif").format(), PixelFormat::Bits8);
    EXPECT_EQ(readTiffFile(kData + "tiff/gray16.tif").format(), PixelFormat::Bits8);
    EXPECT_EQ(readTiffFile(kData + "tiff/palette4.tif").format(), PixelFormat::Bits8);
    const WorkBitmap palette = readTiffFile(kData + "tiff/palette8.tif");
    EXPECT_EQ(palette.format(), PixelFormat::Bits8);
    EXPECT_GT(palette.palette().size(), 16u);
    EXPECT_EQ(readTiffFile(kData + "tiff/bilevel.tif").format(), PixelFormat::Bits1);
}

// An sRGB profile is recognised and leaves every byte as it is; so does a
// damaged one, which is reported.
TEST(PhotoFormats, SrgbAndBrokenProfilesLeaveThePixels) {
    const WorkBitmap plain = readTiffFile(kData + "tiff/rgb8-lzw.tif");
    EXPECT_TRUE(readPngFile(kData + "profile/srgb.png") == plain);
    EXPECT_TRUE(readTiffFile(kData + "tiff/srgb.tif") == plain);
    std::string warnings;
    EXPECT_TRUE(readPngFile(kData + "profile/broken.png", &warnings) == plain);
    EXPECT_NE(warnings.find("broken.png has a damaged colour profile"), std::string::npos) << warnings;
    // A gray profile in a file of colours would turn them gray: ignored.
    warnings.clear();
    EXPECT_TRUE(readPngFile(kData + "profile/colour-gray-profile.png", &warnings) == plain);
    EXPECT_NE(warnings.find("has a colour profile for gray pictures but holds colours"), std::string::npos) << warnings;
    EXPECT_FALSE(isSrgbProfile(std::vector<std::uint8_t>(200, 7)));
}

TEST(PhotoFormats, DataThatEndsEarlyShowsTheTopWithAWarning) {
    std::string warnings;
    const WorkBitmap webp = readWebpFile(kData + "webp/truncated.webp", &warnings);
    EXPECT_EQ(webp.width(), 48);
    EXPECT_NE(warnings.find("truncated.webp is damaged: its data ends early, so the picture is white below row "),
              std::string::npos)
        << warnings;
    warnings.clear();
    const WorkBitmap tiff = readTiffFile(kData + "tiff/truncated.tif", &warnings);
    EXPECT_EQ(tiff.height(), 32);
    EXPECT_NE(warnings.find("truncated.tif is damaged:"), std::string::npos) << warnings;
    EXPECT_EQ(tiff.pixel(0, 31), kWhite);
}

TEST(PhotoFormats, DamagedAndOversizedFilesAreRefusedWithTheReason) {
    const std::vector<std::uint8_t> garbage(300, 0x5A);
    EXPECT_EQ(reasonOf([&] { decodeWebp(garbage, "bad"); }), "it is not a WebP file");
    EXPECT_EQ(reasonOf([&] { decodeTiff(garbage, "bad"); }), "it is not a TIFF file");
    EXPECT_NE(reasonOf([&] { decodeHeif(garbage, "bad"); }).find("libheif cannot read it"), std::string::npos);
    // A lossless WebP header claiming 16384 x 16384 pixels.
    std::vector<std::uint8_t> webp = {'R', 'I', 'F', 'F', 30, 0, 0, 0, 'W', 'E', 'B', 'P', 'V', 'P', '8', 'L',
                                      18, 0, 0, 0, 0x2F, 0xFF, 0xFF, 0xFF, 0x0F};
    webp.resize(38, 0);
    EXPECT_EQ(reasonOf([&] { decodeWebp(webp, "bad"); }),
              "the picture is larger than 256 megapixels (16384 x 16384)");
    // A TIFF of 20000 x 20000 pixels with one byte of pixel data.
    const std::vector<std::uint8_t> tiff = {
        'I', 'I', 42, 0, 8, 0, 0, 0, 4, 0,                 // header, 4 entries
        0, 1, 4, 0, 1, 0, 0, 0, 0x20, 0x4E, 0, 0,           // width 20000
        1, 1, 4, 0, 1, 0, 0, 0, 0x20, 0x4E, 0, 0,           // height 20000
        0x11, 1, 4, 0, 1, 0, 0, 0, 8, 0, 0, 0,              // strip at 8
        0x17, 1, 4, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0};  // of 1 byte
    EXPECT_EQ(reasonOf([&] { decodeTiff(tiff, "bad"); }),
              "the picture is larger than 256 megapixels (20000 x 20000)");
}
