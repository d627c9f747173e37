// SPDX-License-Identifier: GPL-3.0-or-later
// Every reader's size limits: a file right at a limit opens, one just past
// it is refused with the message that names the limit, before the reader
// allocates anything for the claimed size. The files are made here from
// bytes.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "imaging/codecs/bmp_codec.h"
#include "imaging/picture/errors.h"
#include "imaging/codecs/file_io.h"
#include "imaging/codecs/icon_reader.h"
#include "imaging/codecs/jpeg_codec.h"
#include "imaging/metafile/player.h"
#include "support/metafile_test_support.h"

namespace hueline {
namespace {

using Bytes = std::vector<std::uint8_t>;

void put16(Bytes& b, std::size_t at, std::uint32_t v) {
    b[at] = std::uint8_t(v);
    b[at + 1] = std::uint8_t(v >> 8);
}
void put32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = std::uint8_t(v >> 8 * i);
}

// The message of the FileError that decoding throws; "" when it opens.
template <class Decode>
std::string refusal(Decode decode) {
    try {
        decode();
    } catch (const FileError& e) {
        return e.what();
    }
    return "";
}

// A BMP file with the 40-byte header, a palette of `colours` entries and
// `pixelBytes` bytes of zero pixel data (which need not match the size).
Bytes bmpFile(std::int32_t width, std::int32_t height, int bpp, std::uint32_t compression, std::uint32_t colours,
              std::size_t pixelBytes) {
    const std::uint32_t offset = 14 + 40 + 4 * colours;
    Bytes f(offset + pixelBytes, 0);
    f[0] = 'B', f[1] = 'M';
    put32(f, 2, std::uint32_t(f.size()));
    put32(f, 10, offset);
    put32(f, 14, 40);
    put32(f, 18, std::uint32_t(width));
    put32(f, 22, std::uint32_t(height));
    put16(f, 26, 1);
    put16(f, 28, std::uint32_t(bpp));
    put32(f, 30, compression);
    put32(f, 46, colours);
    for (std::uint32_t i = 1; i < colours; ++i) std::memset(&f[54 + 4 * i], 0xFF, 3);
    return f;
}

TEST(ReaderLimits, BmpOfExactly256MegapixelsOpensOneRowMoreIsRefused) {
    // 16000 x 16000 = 256,000,000 pixels; at 1 bit a row is 2000 bytes.
    const Bytes atLimit = bmpFile(16000, 16000, 1, 0, 2, std::size_t(2000) * 16000);
    const WorkBitmap picture = decodeBmp(atLimit, "big.bmp");
    EXPECT_EQ(picture.width(), 16000);
    EXPECT_EQ(picture.height(), 16000);
    EXPECT_EQ(picture.format(), PixelFormat::Bits1);

    // Past the cap the header alone is enough to refuse: no pixel data.
    for (const auto& [w, h] : {std::pair{16000, 16001}, {16001, 16000}, {16000, -16001}, {256000001, 1}}) {
        SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h));
        const std::string why = refusal([&] { decodeBmp(bmpFile(w, h, 1, 0, 2, 0), "big.bmp"); });
        EXPECT_NE(why.find("larger than 256 megapixels"), std::string::npos) << why;
    }
    // Sides whose product overflows 32 bits are refused by the same rule.
    const std::string why = refusal([&] { decodeBmp(bmpFile(0x7FFFFFFF, 0x7FFFFFFF, 24, 0, 0, 0), "big.bmp"); });
    EXPECT_NE(why.find("larger than 256 megapixels"), std::string::npos) << why;
}

TEST(ReaderLimits, BmpStatedFileSizeOfOneGigabyteIsAHintBeyondItTheHeaderIsBroken) {
    Bytes f = bmpFile(2, 2, 24, 0, 0, 16);
    put32(f, 2, 1u << 30);
    EXPECT_EQ(decodeBmp(f, "hint.bmp").width(), 2);
    put32(f, 2, (1u << 30) + 1);
    const std::string why = refusal([&] { decodeBmp(f, "hint.bmp"); });
    EXPECT_NE(why.find("larger than 1 GB"), std::string::npos) << why;
}

TEST(ReaderLimits, RleBmpMayClaimAt256PixelsPerByteOfCompressedData) {
    // Two bytes of RLE8 data (end of bitmap) may describe up to 512 pixels;
    // the rest of the picture stays at palette entry 0.
    Bytes rle = bmpFile(32, 16, 8, 1, 2, 2);
    rle[rle.size() - 1] = 0x01;
    const WorkBitmap picture = decodeBmp(rle, "rle.bmp");
    EXPECT_EQ(picture.width(), 32);
    EXPECT_EQ(picture.height(), 16);

    Bytes past = bmpFile(32, 17, 8, 1, 2, 2);
    past[past.size() - 1] = 0x01;
    const std::string why = refusal([&] { decodeBmp(past, "rle.bmp"); });
    EXPECT_NE(why.find("too short for a 32 x 17 picture"), std::string::npos) << why;
}

TEST(ReaderLimits, MasksMustLieInsideTheFile) {
    // A 52-byte header holds three masks; with alpha bit fields the alpha
    // mask follows the header and must be there too.
    Bytes f(14 + 52, 0);
    f[0] = 'B', f[1] = 'M';
    put32(f, 10, 14 + 52 + 4);
    put32(f, 14, 52);
    put32(f, 18, 1), put32(f, 22, 1);
    put16(f, 26, 1), put16(f, 28, 32);
    put32(f, 30, 6);  // alpha bit fields
    put32(f, 54, 0xFF0000), put32(f, 58, 0xFF00), put32(f, 62, 0xFF);
    std::string why = refusal([&] { decodeBmp(f, "masks.bmp"); });
    EXPECT_NE(why.find("ends inside its colour masks"), std::string::npos) << why;
    why = refusal([&] { decodeDib(std::span<const std::uint8_t>(f).subspan(14), "masks.dib"); });
    EXPECT_NE(why.find("ends inside its colour masks"), std::string::npos) << why;

    // With the alpha mask and one pixel the file opens.
    f.resize(f.size() + 8);
    put32(f, 66, 0xFF000000);
    put32(f, 70, 0x11223344);
    const WorkBitmap one = decodeBmp(f, "masks.bmp");
    EXPECT_EQ(one.masks().alpha, 0xFF000000u);
    EXPECT_EQ(one.pixel(0, 0), makeColor(0x22, 0x33, 0x44));
}

// A small JPEG whose frame header is then made to claim width x height.
// libjpeg fills what the data does not cover, so the claim decides the
// picture's size.
Bytes jpegClaiming(int width, int height) {
    Bytes j = encodeJpeg(WorkBitmap(16, 16));
    for (std::size_t i = 0; i + 9 < j.size(); ++i) {
        if (j[i] == 0xFF && j[i + 1] == 0xC0) {
            j[i + 5] = std::uint8_t(height >> 8), j[i + 6] = std::uint8_t(height);
            j[i + 7] = std::uint8_t(width >> 8), j[i + 8] = std::uint8_t(width);
            return j;
        }
    }
    ADD_FAILURE() << "no frame header in the encoded JPEG";
    return j;
}

TEST(ReaderLimits, JpegSideOf65500PixelsOpensOneMoreIsRefusedByLibjpeg) {
    const WorkBitmap wide = decodeJpeg(jpegClaiming(65500, 1), "wide.jpg");
    EXPECT_EQ(wide.width(), 65500);
    EXPECT_EQ(wide.height(), 1);
    const WorkBitmap tall = decodeJpeg(jpegClaiming(1, 65500), "tall.jpg");
    EXPECT_EQ(tall.height(), 65500);

    const std::string why = refusal([&] { decodeJpeg(jpegClaiming(65501, 1), "wide.jpg"); });
    EXPECT_NE(why.find("65500"), std::string::npos) << why;
}

TEST(ReaderLimits, JpegOver256MegapixelsIsRefusedFromItsHeaderAtOnce) {
    const auto start = std::chrono::steady_clock::now();
    for (const auto& [w, h] : {std::pair{16000, 16001}, {16001, 16000}, {65500, 65500}}) {
        SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h));
        const std::string why = refusal([&] { decodeJpeg(jpegClaiming(w, h), "big.jpg"); });
        EXPECT_NE(why.find("larger than 256 megapixels"), std::string::npos) << why;
    }
    // Nothing of the claimed size was decoded (that would take seconds).
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

// An icon file of one image at offset 22.
Bytes iconFile(const Bytes& image, int dirWidth, int dirHeight) {
    Bytes f(22 + image.size(), 0);
    put16(f, 2, 1);
    put16(f, 4, 1);
    f[6] = std::uint8_t(dirWidth), f[7] = std::uint8_t(dirHeight);
    put16(f, 10, 1);
    put16(f, 12, 1);
    put32(f, 14, std::uint32_t(image.size()));
    put32(f, 18, 22);
    if (!image.empty()) std::memcpy(&f[22], image.data(), image.size());
    return f;
}

// A 1-bit icon image: header (height doubled), black-and-white palette,
// the colour rows all index 0 (black), the mask rows all clear.
Bytes iconDib1(std::int32_t width, std::int32_t height, bool withRows = true) {
    const std::size_t stride = (std::size_t(width) + 31) / 32 * 4;
    Bytes d(40 + 8 + (withRows ? 2 * stride * std::size_t(height) : 0), 0);
    put32(d, 0, 40);
    put32(d, 4, std::uint32_t(width));
    put32(d, 8, std::uint32_t(2 * height));
    put16(d, 12, 1);
    put16(d, 14, 1);
    std::memset(&d[44], 0xFF, 3);
    return d;
}

TEST(ReaderLimits, IconImageOf256MegapixelsOpensOneRowMoreIsRefused) {
    // The image is cut to the standard size: black at the top-left corner.
    const WorkBitmap icon = decodeIcon(iconFile(iconDib1(16000, 16000), 0, 0), "big.ico");
    EXPECT_EQ(icon.width(), kStandardIconSize);
    EXPECT_EQ(icon.pixel(0, 0), kBlack);
    EXPECT_EQ(icon.pixel(kStandardIconSize - 1, kStandardIconSize - 1), kBlack);

    // The image's own header counts, not the directory's size bytes.
    const std::string why = refusal([&] { decodeIcon(iconFile(iconDib1(16000, 16001, false), 32, 32), "big.ico"); });
    EXPECT_NE(why.find("larger than 256 megapixels"), std::string::npos) << why;
}

// The start of a PNG image: signature and header chunk, then filler up to
// `size` bytes.
Bytes pngClaiming(std::uint32_t width, std::uint32_t height, std::size_t size) {
    Bytes p = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    for (std::uint32_t v : {width, height})
        for (int s = 24; s >= 0; s -= 8) p.push_back(std::uint8_t(v >> s));
    p.push_back(8), p.push_back(6);  // 8 bits, RGBA
    p.resize(size, 0);
    return p;
}

TEST(ReaderLimits, PngIconImageIsCheckedAgainstTheCapBeforeItIsDecoded) {
    // 256 megapixels need at least 31,008 bytes of compressed data; with
    // them, the image is refused by the PNG decoder's own limit.
    std::string why = refusal([&] { decodeIcon(iconFile(pngClaiming(16000, 16000, 31008), 0, 0), "png.ico"); });
    EXPECT_EQ(why, "png.ico: the PNG image in the icon is larger than 1024 x 1024");
    why = refusal([&] { decodeIcon(iconFile(pngClaiming(16000, 16001, 40000), 0, 0), "png.ico"); });
    EXPECT_NE(why.find("larger than 256 megapixels"), std::string::npos) << why;
    why = refusal([&] { decodeIcon(iconFile(pngClaiming(16000, 16000, 31007), 0, 0), "png.ico"); });
    EXPECT_NE(why.find("too short for its size"), std::string::npos) << why;
}

TEST(ReaderLimits, MetafileNaturalSizeOf256MegapixelsIsTakenOneRowMoreIsRefused) {
    using testing::EmfBuilder;
    using testing::WmfBuilder;
    // Placeable WMF: units per inch 96 give one pixel per unit.
    const auto wmf = [](int right, int bottom) { return WmfBuilder(0, 0, right, bottom, 96).build(); };
    EXPECT_EQ(metafileNaturalSize(wmf(16000, 16000), "big.wmf", PictureKind::Wmf), (MetafileSize{16000, 16000}));
    std::string why = refusal([&] { metafileNaturalSize(wmf(16000, 16001), "big.wmf", PictureKind::Wmf); });
    EXPECT_NE(why.find("larger than 256 megapixels"), std::string::npos) << why;

    // EMF: a reference device of one pixel per millimetre, the frame in
    // hundredths of a millimetre.
    const auto emf = [](int right, int bottom) { return EmfBuilder(right, bottom, 1000, 1000, 1000, 1000).build(); };
    EXPECT_EQ(metafileNaturalSize(emf(1600000, 1600000), "big.emf", PictureKind::Emf), (MetafileSize{16000, 16000}));
    why = refusal([&] { metafileNaturalSize(emf(1600000, 1600100), "big.emf", PictureKind::Emf); });
    EXPECT_NE(why.find("larger than 256 megapixels"), std::string::npos) << why;
    // A frame of 2^31 hundredths of a millimetre on a dense device is far
    // beyond any side the program draws.
    why = refusal([&] {
        metafileNaturalSize(EmfBuilder(0x7FFFFFFF, 100, 100000, 1, 1, 1).build(), "wide.emf", PictureKind::Emf);
    });
    EXPECT_FALSE(why.empty());
}

// Records every call and takes a while over each, as a real painter does
// on a big picture.
class SlowSurface : public testing::RecordingSurface {
public:
    void fillPath(const meta::Path& p, meta::FillRule r, const meta::Brush& b, meta::Mix m,
                  const meta::Background& bg) override {
        RecordingSurface::fillPath(p, r, b, m, bg);
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(2);
        while (std::chrono::steady_clock::now() < until) {
        }
    }
};

TEST(ReaderLimits, MetafilePlayStopsWithAMessageOnceItsTimeIsUp) {
    testing::WmfBuilder wmf(0, 0, 100, 100, 96);
    for (int i = 0; i < 100; ++i) wmf.rec(0x041B, {90, 90, 10, 10});  // rectangle
    const auto bytes = wmf.build();

    // Within the time every rectangle is drawn.
    SlowSurface all;
    playMetafile(bytes, "slow.wmf", PictureKind::Wmf, all, std::chrono::seconds(20));
    EXPECT_EQ(all.of(testing::Call::Fill).size(), 100u);

    SlowSurface some;
    const auto start = std::chrono::steady_clock::now();
    const std::string why = refusal([&] {
        playMetafile(bytes, "slow.wmf", PictureKind::Wmf, some, std::chrono::milliseconds(30));
    });
    EXPECT_NE(why.find("slow.wmf: drawing it takes longer than 30 ms"), std::string::npos) << why;
    EXPECT_LT(some.of(testing::Call::Fill).size(), 100u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(150));
}

TEST(ReaderLimits, FilesOverOneGigabyteAreRefusedBeforeTheyAreRead) {
    // A sparse file: it takes no disk space.
    const std::string path = ::testing::TempDir() + "/hueline_limits_huge.bmp";
    {
        FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        ASSERT_EQ(std::fseek(f, long(kMaxFileBytes), SEEK_SET), 0);
        std::fputc(0, f);
        std::fclose(f);
    }
    std::string why = refusal([&] { readFileBytes(path); });
    EXPECT_NE(why.find("larger than 1 GB"), std::string::npos) << why;
    why = refusal([&] { readBmpFile(path); });
    EXPECT_NE(why.find("larger than 1 GB"), std::string::npos) << why;
    std::remove(path.c_str());
}

}  // namespace
}  // namespace hueline
