// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "support/test_support.h"
#include "imaging/codecs/bmp_codec.h"
#include "imaging/picture/errors.h"
#include "imaging/codecs/file_io.h"
#include "imaging/picture/little_endian.h"

namespace hueline {
namespace {

namespace fs = std::filesystem;

const std::string kData = std::string(HUELINE_TEST_DATA) + "/bmp/";

// ---------------------------------------------------------------------------
// Helpers

using test_support::put16;
using test_support::put32;

// A BMP file with the 40-byte header, put together field by field so that
// tests can break any of them.
struct BmpParts {
    std::int32_t width = 2, height = 2;
    std::uint16_t bpp = 24;
    std::uint32_t compression = 0;
    std::uint32_t colorsUsed = 0;
    std::vector<std::uint32_t> masks;    // after the header
    std::vector<std::uint32_t> palette;  // 0x00RRGGBB entries
    std::vector<std::uint8_t> pixels;

    std::vector<std::uint8_t> bytes() const {
        const std::size_t offset = 54 + 4 * masks.size() + 4 * palette.size();
        std::vector<std::uint8_t> f(offset + pixels.size(), 0);
        f[0] = 'B';
        f[1] = 'M';
        put32(f, 2, std::uint32_t(f.size()));
        put32(f, 10, std::uint32_t(offset));
        put32(f, 14, 40);
        put32(f, 18, std::uint32_t(width));
        put32(f, 22, std::uint32_t(height));
        put16(f, 26, 1);
        put16(f, 28, bpp);
        put32(f, 30, compression);
        put32(f, 46, colorsUsed);
        std::size_t at = 54;
        for (std::uint32_t m : masks) put32(f, at, m), at += 4;
        for (std::uint32_t c : palette) put32(f, at, c), at += 4;
        std::copy(pixels.begin(), pixels.end(), f.begin() + std::ptrdiff_t(at));
        return f;
    }
};

// Reads a binary PPM (P6) as a 24-bit picture.
WorkBitmap readPpm(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int w = 0, h = 0, max = 0;
    in >> magic >> w >> h >> max;
    in.get();
    EXPECT_EQ(magic, "P6") << path;
    WorkBitmap out(w, h);
    std::vector<char> rgb(3 * std::size_t(w));
    for (int y = 0; y < h; ++y) {
        in.read(rgb.data(), std::streamsize(rgb.size()));
        std::uint8_t* r = out.row(y);
        for (int x = 0; x < w; ++x) {
            r[3 * x] = std::uint8_t(rgb[3 * x + 2]);
            r[3 * x + 1] = std::uint8_t(rgb[3 * x + 1]);
            r[3 * x + 2] = std::uint8_t(rgb[3 * x]);
        }
    }
    EXPECT_TRUE(in.good()) << path;
    return out;
}

// The largest difference of any channel of any pixel; -1 for other sizes.
int largestDifference(const WorkBitmap& a, const WorkBitmap& b) {
    if (a.width() != b.width() || a.height() != b.height()) return -1;
    const WorkBitmap a24 = a.to24(), b24 = b.to24();
    int worst = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int i = 0; i < 3 * a.width(); ++i)
            worst = std::max(worst, std::abs(int(a24.constRow(y)[i]) - int(b24.constRow(y)[i])));
    return worst;
}

std::vector<std::string> bmpFilesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::recursive_directory_iterator(kData + folder))
        if (e.path().extension() == ".bmp") names.push_back(fs::relative(e.path(), kData).string());
    std::sort(names.begin(), names.end());
    return names;
}

// The reason of the FileError that decoding throws, or "" when it opens.
std::string failureOf(std::span<const std::uint8_t> bytes) {
    try {
        decodeBmp(bytes, "x.bmp");
    } catch (const FileError& e) {
        EXPECT_EQ(e.file(), "x.bmp");
        return e.reason().empty() ? "?" : e.reason();
    }
    return "";
}

// ---------------------------------------------------------------------------
// Reading

TEST(BmpRead, SamplePicture) {
    const WorkBitmap p = readBmpFile(std::string(HUELINE_TEST_DATA) + "/../../src/app/resources/sample.bmp");
    EXPECT_EQ(p.width(), 386);
    EXPECT_EQ(p.height(), 400);
    EXPECT_EQ(p.format(), PixelFormat::Bits24);
}

// Every good file of the suite opens in its stored format with exactly the
// reference pixels.
TEST(BmpRead, GoodSuiteFilesMatchTheirReferences) {
    const std::pair<const char*, const char*> cases[] = {
        {"pal1", "pal1"},         {"pal1wb", "pal1"},          {"pal1bg", "pal1bg"},
        {"pal4", "pal4"},         {"pal4gs", "pal4gs"},        {"pal4rle", "pal4"},
        {"pal8", "pal8"},         {"pal8-0", "pal8"},          {"pal8gs", "pal8gs"},
        {"pal8rle", "pal8"},      {"pal8w126", "pal8w126"},    {"pal8w125", "pal8w125"},
        {"pal8w124", "pal8w124"}, {"pal8topdown", "pal8"},     {"pal8nonsquare", "pal8nonsquare-e"},
        {"pal8os2", "pal8"},      {"pal8v4", "pal8"},          {"pal8v5", "pal8"},
        {"rgb16", "rgb16"},       {"rgb16bfdef", "rgb16"},     {"rgb16-565", "rgb16-565"},
        {"rgb16-565pal", "rgb16-565"}, {"rgb24", "rgb24"},     {"rgb24pal", "rgb24"},
        {"rgb32", "rgb24"},       {"rgb32bfdef", "rgb24"},     {"rgb32bf", "rgb24"},
    };
    std::set<std::string> covered;
    for (auto [file, ref] : cases) {
        SCOPED_TRACE(file);
        const WorkBitmap p = readBmpFile(kData + "g/" + file + ".bmp");
        const std::string f = file;
        const int bits = f.rfind("pal", 0) == 0 ? f[3] - '0' : std::stoi(f.substr(3, 2));
        EXPECT_EQ(bitsPerPixel(p.format()), bits);
        EXPECT_EQ(largestDifference(p, readPpm(kData + "ref/" + ref + ".ppm")), 0);
        covered.insert(f + ".bmp");
    }
    // No good file is left out.
    for (const std::string& name : bmpFilesIn("g")) EXPECT_TRUE(covered.count(name.substr(2))) << name;
}

TEST(BmpRead, StoredPaletteAndMasksAreKept) {
    const WorkBitmap pal8 = readBmpFile(kData + "g/pal8.bmp");
    EXPECT_EQ(pal8.palette().size(), 252u);  // shorter than 256, as stored
    const WorkBitmap pal4 = readBmpFile(kData + "g/pal4.bmp");
    EXPECT_EQ(pal4.format(), PixelFormat::Bits4);
    EXPECT_EQ(pal4.palette().size(), 12u);

    const WorkBitmap rgb565 = readBmpFile(kData + "g/rgb16-565.bmp");
    EXPECT_EQ(rgb565.masks(), (ChannelMasks{0xF800, 0x07E0, 0x001F, 0}));
    const WorkBitmap rgb555 = readBmpFile(kData + "g/rgb16.bmp");
    EXPECT_EQ(rgb555.masks(), defaultMasks(PixelFormat::Bits16));
    const WorkBitmap rgb32bf = readBmpFile(kData + "g/rgb32bf.bmp");
    EXPECT_EQ(rgb32bf.masks(), (ChannelMasks{0xFF000000, 0x00000FF0, 0x00FF0000, 0}));

    // 32 bits with an alpha mask in a version-5 header keeps the alpha mask.
    const WorkBitmap rgba = readBmpFile(kData + "q/rgba32-1.bmp");
    EXPECT_EQ(rgba.masks(), (ChannelMasks{0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000}));
    // The same with the alpha mask after a 40-byte header.
    EXPECT_EQ(readBmpFile(kData + "q/rgba32abf.bmp").masks().alpha, 0x00FF0000u);
    // 2-bit pictures have no format of their own and come back as 24 bits.
    const WorkBitmap pal2 = readBmpFile(kData + "q/pal2color.bmp");
    EXPECT_EQ(pal2.format(), PixelFormat::Bits24);
    EXPECT_EQ(largestDifference(pal2, readPpm(kData + "ref/pal2color.ppm")), 0);
}

// Questionable files open or fail with a FileError; which ones fail is
// fixed here so that a change of behaviour shows.
TEST(BmpRead, QuestionableSuiteFilesOpenOrFailCleanly) {
    const std::set<std::string> refused = {"q/pal1huffmsb.bmp", "q/rgb24jpeg.bmp", "q/rgb24png.bmp",
                                           "q/rgb24rle24.bmp", "q/rgba64.bmp"};
    // Opened files with a reference the colours must match (wide channels
    // may round one step differently).
    const std::pair<const char*, const char*> references[] = {
        {"pal1p1", "pal1p1"},           {"pal2", "pal2"},           {"pal4rletrns", "pal4rletrns-0"},
        {"pal4rlecut", "pal4rlecut-0"}, {"pal8rletrns", "pal8rletrns-0"}, {"pal8rlecut", "pal8rlecut-0"},
        {"pal8oversizepal", "pal8"},    {"pal8os2v2-16", "pal8"},   {"rgb16-3103", "rgb16-3103"},
        {"rgb32-7187", "rgb32-7187"},   {"rgb32-xbgr", "rgb24"},    {"rgba32-61754", "rgba32-61754"},
    };
    for (const std::string& name : bmpFilesIn("q")) {
        SCOPED_TRACE(name);
        try {
            const WorkBitmap p = readBmpFile(kData + name);
            EXPECT_FALSE(refused.count(name)) << "now opens";
            EXPECT_EQ(p.width(), 127);
            EXPECT_EQ(p.to24().format(), PixelFormat::Bits24);
        } catch (const FileError& e) {
            EXPECT_TRUE(refused.count(name)) << e.what();
            EXPECT_NE(std::string(e.what()).find(name), std::string::npos);
        }
    }
    for (auto [file, ref] : references) {
        SCOPED_TRACE(file);
        const int d = largestDifference(readBmpFile(kData + "q/" + file + ".bmp"), readPpm(kData + "ref/" + ref + ".ppm"));
        EXPECT_GE(d, 0);
        EXPECT_LE(d, 1);
    }
}

TEST(BmpRead, BadFilesFailWithTheirReason) {
    // Every bad file fails with a FileError that names it.
    for (const char* folder : {"b", "bad", "x"})
        for (const std::string& name : bmpFilesIn(folder)) {
            SCOPED_TRACE(name);
            try {
                readBmpFile(kData + name);
                ADD_FAILURE() << "opened";
            } catch (const FileError& e) {
                EXPECT_EQ(e.file(), kData + name);
                EXPECT_FALSE(e.reason().empty());
            }
        }
    // A few reasons in full: the user must learn what is wrong.
    const std::pair<const char*, const char*> reasons[] = {
        {"b/reallybig.bmp", "larger than 256 megapixels"},
        {"b/shortfile.bmp", "ends before its pixels"},
        {"b/badbitcount.bmp", "bit depth (30000)"},
        {"b/rgb16-880.bmp", "blue colour mask is zero"},
        {"b/pal8badindex.bmp", "palette has only 101 colours"},
        {"b/badrle4bis.bmp", "compressed pixels are damaged"},
        {"b/badpalettesize.bmp", "palette claims 305402420 colours"},
        {"x/ba-bm.bmp", "not a BMP file"},
        {"bad/image-rs/bad_bmp_Bad_unusual_extend_buffer_usage.bmp", "too short"},
    };
    for (auto [file, reason] : reasons) {
        try {
            readBmpFile(kData + file);
            ADD_FAILURE() << file << " opened";
        } catch (const FileError& e) {
            EXPECT_NE(e.reason().find(reason), std::string::npos) << file << ": " << e.what();
        }
    }
    try {
        readBmpFile("/nonexistent/photo.bmp");
        ADD_FAILURE();
    } catch (const FileError& e) {
        EXPECT_EQ(e.file(), "/nonexistent/photo.bmp");
    }
    EXPECT_NE(failureOf({}).find("empty"), std::string::npos);
}

TEST(BmpRead, RealFilesOpen) {
    // Two files whose runs overrun a row are refused like the suite's bad
    // RLE files; everything else opens.
    const std::set<std::string> refused = {"real/image-rs/imagemagick_invalid_run_length_issue_2321.bmp",
                                           "real/image-rs/lenient_rle_overflow.bmp"};
    for (const std::string& name : bmpFilesIn("real")) {
        SCOPED_TRACE(name);
        if (refused.count(name)) {
            EXPECT_THROW(readBmpFile(kData + name), FileError);
            continue;
        }
        const WorkBitmap p = readBmpFile(kData + name);
        EXPECT_FALSE(p.empty());
    }
    // Top-down and bottom-up copies of the same small pictures agree.
    for (const char* n : {"Info_1_Bit", "Info_4_Bit", "Info_8_Bit", "Info_R8_G8_B8", "Info_A8_R8_G8_B8",
                          "Info_X1_R5_G5_B5", "V3_R5_G6_B5", "V3_X8_R8_G8_B8"}) {
        const WorkBitmap up = readBmpFile(kData + "real/image-rs/" + n + ".bmp");
        const WorkBitmap down = readBmpFile(kData + "real/image-rs/" + n + "_Top_Down.bmp");
        EXPECT_TRUE(up == down) << n;
    }
}

// Reading a file takes a shorter way for uncompressed pictures than
// decoding its bytes; both must give the same picture or the same error.
TEST(BmpRead, FileAndMemoryReadersAgree) {
    for (const char* folder : {"g", "q", "b", "bad", "real"})
        for (const std::string& name : bmpFilesIn(folder)) {
            std::string fromFile, fromMemory;
            WorkBitmap a, b;
            try {
                a = readBmpFile(kData + name);
            } catch (const FileError& e) {
                fromFile = e.reason();
            }
            try {
                b = decodeBmp(readFileBytes(kData + name), kData + name);
            } catch (const FileError& e) {
                fromMemory = e.reason();
            }
            EXPECT_EQ(fromFile, fromMemory) << name;
            EXPECT_TRUE(a == b) << name;
        }
}

// Tall, narrow pictures span many blocks of rows in the file reader, with
// and without row padding, bottom-up and top-down.
TEST(BmpRead, TallNarrowFilesReadInBlocksOfRows) {
    const test_support::TempFolder dir;
    for (PixelFormat f : {PixelFormat::Bits1, PixelFormat::Bits32}) {
        WorkBitmap tall(1, 5000, f);
        for (int y = 0; y < tall.height(); ++y) tall.setPixel(0, y, y % 3 ? kWhite : kBlack);
        const std::string path = dir / "tall.bmp";
        writeBmpFile(tall, path);
        EXPECT_TRUE(readBmpFile(path) == tall) << bitsPerPixel(f);
        // The same rows stored top-down.
        std::vector<std::uint8_t> bytes = readFileBytes(path);
        test_support::put32(bytes, 22, std::uint32_t(-5000));
        std::vector<std::uint8_t> flipped(bytes.begin(), bytes.begin() + std::ptrdiff_t(le32(&bytes[10])));
        const std::size_t stride = rowStride(1, f);
        for (int y = 0; y < 5000; ++y) {
            const auto row = bytes.begin() + std::ptrdiff_t(le32(&bytes[10]) + std::size_t(4999 - y) * stride);
            flipped.insert(flipped.end(), row, row + std::ptrdiff_t(stride));
        }
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(flipped.data()), std::streamsize(flipped.size()));
        EXPECT_TRUE(readBmpFile(path) == tall) << bitsPerPixel(f) << " top-down";
    }
}

// Cutting a good file anywhere gives a FileError or, for the compressed
// ones, a picture whose missing part keeps colour 0; never anything else.
TEST(BmpRead, TruncatedFilesFailCleanly) {
    for (const char* name : {"g/pal1.bmp", "g/pal4rle.bmp", "g/pal8rle.bmp", "g/pal8os2.bmp", "g/rgb16-565.bmp",
                             "g/rgb32bf.bmp", "g/pal8v5.bmp", "q/pal2.bmp"}) {
        const std::vector<std::uint8_t> whole = readFileBytes(kData + name);
        const bool rle = std::strstr(name, "rle") != nullptr;
        for (std::size_t n = 0; n < whole.size(); n += (n < 200 ? 1 : 13)) {
            const std::string reason = failureOf(std::span(whole).first(n));
            if (!rle) {
                EXPECT_NE(reason, "") << name << " cut at " << n;
            }
        }
    }
}

// Header fields swept over extreme values: each gives a FileError or a
// picture, and no crash or huge allocation.
TEST(BmpRead, ExtremeHeaderValues) {
    BmpParts base;
    base.width = 3;
    base.height = 2;
    base.bpp = 8;
    base.palette = {0x000000, 0xFFFFFF};
    base.colorsUsed = 2;
    base.pixels.assign(8, 1);
    ASSERT_EQ(failureOf(base.bytes()), "");

    const std::uint32_t values[] = {0, 1, 0xFFFFFFFF, 0x80000000, 0x7FFFFFFF, 65536, 0x20000000, 0x40000000};
    const std::size_t fields[] = {2, 10, 14, 18, 22, 28, 30, 34, 38, 42, 46};
    for (std::size_t at : fields)
        for (std::uint32_t v : values) {
            std::vector<std::uint8_t> f = base.bytes();
            if (at == 28) put16(f, at, v & 0xFFFF);
            else put32(f, at, v);
            failureOf(f);  // must return, whatever it says
        }

    // Sizes a header may claim, without the data behind them.
    BmpParts big;
    big.width = 40000;
    big.height = 40000;
    EXPECT_NE(failureOf(big.bytes()).find("256 megapixels"), std::string::npos);
    big.width = 16000;
    big.height = -16000;  // just at the cap: refused for the missing data
    EXPECT_NE(failureOf(big.bytes()).find("ends before its pixels"), std::string::npos);
    big.height = std::numeric_limits<std::int32_t>::min();
    EXPECT_NE(failureOf(big.bytes()), "");
    big.bpp = 8;
    big.compression = 1;
    big.height = 10000;
    big.width = 10000;
    big.palette = {0};
    big.pixels = {0, 1};
    EXPECT_NE(failureOf(big.bytes()).find("too short"), std::string::npos);
}

TEST(BmpRead, BitfieldMasksAreChecked) {
    auto withMasks = [](std::uint32_t r, std::uint32_t g, std::uint32_t b, std::uint16_t bpp = 16) {
        BmpParts p;
        p.width = 1;
        p.height = 1;
        p.bpp = bpp;
        p.compression = 3;
        p.masks = {r, g, b};
        p.pixels.assign(4, 0);
        return failureOf(p.bytes());
    };
    EXPECT_EQ(withMasks(0xF800, 0x07E0, 0x001F), "");
    EXPECT_NE(withMasks(0xF800, 0x07E0, 0), "");          // zero mask
    EXPECT_NE(withMasks(0xF800, 0x0FE0, 0x001F), "");     // overlapping
    EXPECT_NE(withMasks(0xF800, 0x05E0, 0x001F), "");     // with a gap
    EXPECT_NE(withMasks(0xF0000, 0x07E0, 0x001F), "");    // outside 16 bits
    EXPECT_EQ(withMasks(0xFFC00000, 0x003FF800, 0x7FF, 32), "");
    // Bit fields on an 8-bit picture do not fit.
    EXPECT_NE(withMasks(0xE0, 0x1C, 0x03, 8), "");
}

// RLE8 with every code: runs, literal runs (odd length, padded), a skip,
// ends of rows and the end of the picture; skipped pixels keep colour 0.
TEST(BmpRead, Rle8Codes) {
    BmpParts p;
    p.width = 5;
    p.height = 3;
    p.bpp = 8;
    p.compression = 1;
    p.palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
    p.colorsUsed = 4;
    p.pixels = {
        2, 1,              // bottom row: 1 1
        0, 3, 2, 3, 2, 0,  // literal 2 3 2, padded
        0, 0,              // end of row
        0, 2, 1, 1,        // skip one right, one up: to x 1 of the top row
        2, 3,              // 3 3
        0, 1,              // end of picture
        9, 9,              // ignored
    };
    const WorkBitmap b = decodeBmp(p.bytes(), "rle.bmp");
    ASSERT_EQ(b.format(), PixelFormat::Bits8);
    const int expected[3][5] = {{0, 3, 3, 0, 0}, {0, 0, 0, 0, 0}, {1, 1, 2, 3, 2}};
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) EXPECT_EQ(b.constRow(y)[x], expected[y][x]) << x << "," << y;
    EXPECT_EQ(b.pixel(3, 2), makeColor(0, 0, 255));
    EXPECT_EQ(b.pixel(1, 0), makeColor(0, 0, 255));
    EXPECT_EQ(b.pixel(0, 2), makeColor(255, 0, 0));

    // Runs that leave the row or the picture are refused.
    auto broken = [&](std::vector<std::uint8_t> data) {
        BmpParts q = p;
        q.pixels = std::move(data);
        return failureOf(q.bytes());
    };
    EXPECT_NE(broken({6, 1}), "");                    // run longer than the row
    EXPECT_NE(broken({4, 1, 0, 3, 1, 1, 1, 0}), "");  // literal run past the row end
    EXPECT_NE(broken({0, 2, 6, 0}), "");              // skip past the row end
    EXPECT_NE(broken({0, 2, 0, 3}), "");              // skip below the picture
    EXPECT_NE(broken({0, 0, 0, 0, 0, 0, 1, 1}), "");  // a run below the last row
    EXPECT_NE(broken({0, 5, 1, 1}), "");              // literal run cut off by the end
    EXPECT_NE(broken({2, 7}), "");                    // colour outside the palette
    EXPECT_EQ(broken({2, 1}), "");                    // no end code: the rest stays 0
}

TEST(BmpRead, Rle4OddLiteralRuns) {
    BmpParts p;
    p.width = 7;
    p.height = 1;
    p.bpp = 4;
    p.compression = 2;
    p.palette.assign(16, 0);
    p.colorsUsed = 16;
    p.pixels = {
        3, 0x12,             // 1 2 1
        0, 3, 0x45, 0x60,    // literal 4 5 6 (two bytes, already even)
        0, 1,
    };
    const WorkBitmap b = decodeBmp(p.bytes(), "rle4.bmp");
    ASSERT_EQ(b.format(), PixelFormat::Bits4);
    const std::uint8_t* r = b.constRow(0);
    EXPECT_EQ(r[0], 0x12);
    EXPECT_EQ(r[1], 0x14);
    EXPECT_EQ(r[2], 0x56);
    EXPECT_EQ(r[3] >> 4, 0);
}

TEST(BmpRead, ShortPaletteIndicesAreChecked) {
    BmpParts p;
    p.width = 9;  // the last pixel of a 4-bit row sits in a high nibble
    p.height = 1;
    p.bpp = 4;
    p.palette = {0x000000, 0xFFFFFF, 0x00FF00};
    p.colorsUsed = 3;
    p.pixels = {0x01, 0x21, 0x00, 0x00, 0x2F, 0, 0, 0};  // the padding nibble F is not a pixel
    EXPECT_EQ(failureOf(p.bytes()), "");
    p.pixels[4] = 0x3F;
    EXPECT_NE(failureOf(p.bytes()).find("colour 3"), std::string::npos);
}

// ---------------------------------------------------------------------------
// Writing

// An asymmetric test picture in a given format: red on blue with a yellow
// corner and a green diagonal, so that a flipped or shifted picture shows.
WorkBitmap fixture(int w, int h, PixelFormat f, const ChannelMasks* masks = nullptr) {
    WorkBitmap p(w, h, f);
    if (isIndexed(f)) {
        std::vector<PaletteEntry> pal = {{255, 0, 0}, {0, 0, 255}, {0, 255, 255}, {0, 255, 0}};  // blue red yellow green
        if (f == PixelFormat::Bits1) pal.resize(2);
        p.setPalette(pal);
    }
    if (masks) p.setMasks(*masks);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            ColorValue c = (x + 2 * y) % 3 == 0 ? makeColor(255, 0, 0) : makeColor(0, 0, 255);
            if (f != PixelFormat::Bits1) {
                if (x == 0 && y == 0) c = makeColor(255, 255, 0);
                if (x == y) c = makeColor(0, 255, 0);
            }
            p.setPixel(x, y, c);
        }
    return p;
}

TEST(BmpWrite, EveryFormatReadsBackTheSame) {
    const ChannelMasks m565{0xF800, 0x07E0, 0x001F, 0};
    const ChannelMasks m4444{0x0F00, 0x00F0, 0x000F, 0xF000};
    const ChannelMasks xbgr{0xFF000000, 0x00FF0000, 0x0000FF00, 0};
    const ChannelMasks argb{0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
    struct Case {
        PixelFormat format;
        const ChannelMasks* masks;
        std::uint32_t headerSize, compression;
    };
    const Case cases[] = {
        {PixelFormat::Bits1, nullptr, 40, 0},  {PixelFormat::Bits4, nullptr, 40, 0},
        {PixelFormat::Bits8, nullptr, 40, 0},  {PixelFormat::Bits16, nullptr, 40, 0},
        {PixelFormat::Bits16, &m565, 40, 3},   {PixelFormat::Bits16, &m4444, 108, 3},
        {PixelFormat::Bits24, nullptr, 40, 0}, {PixelFormat::Bits32, nullptr, 40, 0},
        {PixelFormat::Bits32, &xbgr, 40, 3},   {PixelFormat::Bits32, &argb, 108, 3},
    };
    for (const Case& c : cases)
        for (int w : {1, 5, 6, 7, 33}) {
            SCOPED_TRACE(::testing::Message() << bitsPerPixel(c.format) << " bits, masks " << (c.masks != nullptr)
                                              << ", width " << w);
            const WorkBitmap original = fixture(w, 4, c.format, c.masks);
            const PictureBytes file = encodeBmp(original);
            const WorkBitmap back = decodeBmp(file, "w.bmp");
            EXPECT_TRUE(back == original);
            EXPECT_EQ(back.format(), c.format);
            EXPECT_EQ(largestDifference(back, original), 0);

            // The header: sizes, offset, format, bottom-up rows padded to 4 bytes.
            const auto u32 = [&](std::size_t at) {
                return std::uint32_t(file[at]) | std::uint32_t(file[at + 1]) << 8 | std::uint32_t(file[at + 2]) << 16 |
                       std::uint32_t(file[at + 3]) << 24;
            };
            const std::size_t stride = rowStride(w, c.format);
            EXPECT_EQ(u32(2), file.size());
            EXPECT_EQ(u32(14), c.headerSize);
            EXPECT_EQ(std::int32_t(u32(22)), 4);
            EXPECT_EQ(u32(30), c.compression);
            EXPECT_EQ(u32(10) + 4 * stride, file.size());
            // The first stored row is the bottom row of the picture.
            const std::size_t used = (std::size_t(w) * bitsPerPixel(c.format) + 7) / 8;
            if (w * bitsPerPixel(c.format) % 8 == 0) {
                EXPECT_EQ(std::memcmp(&file[u32(10)], original.constRow(3), used), 0);
            }
            for (int row = 0; row < 4; ++row)
                for (std::size_t i = used; i < stride; ++i) EXPECT_EQ(file[u32(10) + row * stride + i], 0) << i;
        }
}

TEST(BmpWrite, UnusedBitsAndShortPalettes) {
    // The bits after the last pixel of a 1-bit row are written as zero even
    // when the picture's own bytes carry something there.
    WorkBitmap p(3, 1, PixelFormat::Bits1);
    p.setPalette({{0, 0, 0}, {255, 255, 255}});
    p.row(0)[0] = 0xFF;
    const PictureBytes f = encodeBmp(p);
    EXPECT_EQ(f[f.size() - 4], 0xE0);

    // A palette shorter than an index in use is filled up with black, the
    // colour such a pixel shows.
    WorkBitmap q(2, 1, PixelFormat::Bits8);
    q.setPalette({{0, 0, 255}});
    q.row(0)[0] = 0;
    q.row(0)[1] = 5;
    const WorkBitmap back = decodeBmp(encodeBmp(q), "q.bmp");
    EXPECT_EQ(back.palette().size(), 6u);
    EXPECT_EQ(back.pixel(0, 0), makeColor(255, 0, 0));
    EXPECT_EQ(back.pixel(1, 0), kBlack);

    EXPECT_THROW(encodeBmp(WorkBitmap()), UserError);
}

TEST(BmpWrite, SuiteFilesSurviveARoundTrip) {
    for (const std::string& name : bmpFilesIn("g")) {
        const WorkBitmap p = readBmpFile(kData + name);
        EXPECT_TRUE(decodeBmp(encodeBmp(p), "r.bmp") == p) << name;
    }
}

using test_support::TempFolder;

TEST(BmpWrite, WritesAndReplacesFiles) {
    TempFolder dir;
    const std::string file = dir.path + "/out.bmp";
    const WorkBitmap a = fixture(5, 3, PixelFormat::Bits8);
    writeBmpFile(a, file);
    EXPECT_TRUE(readBmpFile(file) == a);
    const WorkBitmap b = fixture(6, 2, PixelFormat::Bits24);
    writeBmpFile(b, file);
    EXPECT_TRUE(readBmpFile(file) == b);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"out.bmp"});
    try {
        writeBmpFile(WorkBitmap(), dir.path + "/empty.bmp");
        FAIL();
    } catch (const FileError& e) {
        EXPECT_EQ(e.file(), dir.path + "/empty.bmp");
    }
}

// A folder the user may not write to: the error names the file, the old
// file is intact and no temporary file is left. Root may write anywhere,
// so the attempt runs in a child process without root's rights.
TEST(BmpWrite, ReadOnlyFolderKeepsTheOldFile) {
    TempFolder dir;
    const std::string file = dir.path + "/keep.bmp";
    const WorkBitmap old = fixture(5, 5, PixelFormat::Bits4);
    writeBmpFile(old, file);
    ASSERT_EQ(::chmod(dir.path.c_str(), 0555), 0);

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(3);
        try {
            writeBmpFile(fixture(6, 6, PixelFormat::Bits24), file);
        } catch (const FileError& e) {
            ::_exit(e.file() == file && std::string(e.what()).find(file) != std::string::npos ? 0 : 2);
        }
        ::_exit(1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: written anyway, 2: message without the file, 3: no unprivileged user";
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"keep.bmp"});
    EXPECT_TRUE(readBmpFile(file) == old);
}

// Other programs read what we write. Needs ImageMagick's identify.
TEST(BmpWrite, OtherProgramsReadOurFiles) {
    if (std::system("identify -version > /dev/null 2>&1") != 0) GTEST_SKIP() << "identify is not installed";
    TempFolder dir;
    const ChannelMasks m565{0xF800, 0x07E0, 0x001F, 0};
    const std::pair<WorkBitmap, const char*> cases[] = {
        {fixture(5, 3, PixelFormat::Bits1), "5x3"},  {fixture(6, 4, PixelFormat::Bits4), "6x4"},
        {fixture(7, 2, PixelFormat::Bits8), "7x2"},  {fixture(5, 5, PixelFormat::Bits16, &m565), "5x5"},
        {fixture(6, 3, PixelFormat::Bits24), "6x3"}, {fixture(3, 6, PixelFormat::Bits32), "3x6"},
    };
    int n = 0;
    for (const auto& [picture, size] : cases) {
        const std::string file = dir.path + "/f" + std::to_string(n++) + ".bmp";
        writeBmpFile(picture, file);
        const std::string out = file + ".txt";
        // The size and the colours of two pixels, one on the top row and
        // one on the bottom row, as identify sees them.
        const int bottom = picture.height() - 1;
        const std::string cmd = "identify -format '%wx%h %[pixel:p{1,0}] %[pixel:p{0," + std::to_string(bottom) +
                                "}]' " + file + " > " + out + " 2>&1";
        ASSERT_EQ(std::system(cmd.c_str()), 0) << file;
        std::ifstream in(out);
        const std::string seen((std::istreambuf_iterator<char>(in)), {});
        auto srgb = [](ColorValue c) {
            return "srgb(" + std::to_string(redOf(c)) + "," + std::to_string(greenOf(c)) + "," +
                   std::to_string(blueOf(c)) + ")";
        };
        EXPECT_EQ(seen, std::string(size) + " " + srgb(picture.pixel(1, 0)) + " " + srgb(picture.pixel(0, bottom)));
    }
}

}  // namespace
}  // namespace hueline
