// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "support/test_support.h"
#include "imaging/codecs/file_io.h"
#include "imaging/codecs/icon_reader.h"

namespace hueline {
namespace {

namespace fs = std::filesystem;

const std::string kIcons = std::string(HUELINE_TEST_DATA) + "/ico/";

using test_support::put16;
using test_support::put32;

// A device-independent bitmap as icons carry it, filled with one colour:
// 24 bits of (r, g, b) or 32 bits with alpha; the mask has the bits of
// `maskRows` (one word per row, top row first) and is clear elsewhere.
std::vector<std::uint8_t> iconDib(int w, int h, int bpp, ColorValue colour, int alpha = 0,
                                  std::vector<std::uint32_t> maskRows = {}) {
    const std::size_t stride = (std::size_t(w) * bpp + 31) / 32 * 4;
    const std::size_t maskStride = (std::size_t(w) + 31) / 32 * 4;
    std::vector<std::uint8_t> d(40 + (stride + maskStride) * h, 0);
    put32(d, 0, 40);
    put32(d, 4, std::uint32_t(w));
    put32(d, 8, std::uint32_t(2 * h));
    put16(d, 12, 1);
    put16(d, 14, std::uint32_t(bpp));
    for (int y = 0; y < h; ++y) {
        std::uint8_t* row = d.data() + 40 + stride * y;
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = row + x * bpp / 8;
            p[0] = std::uint8_t(blueOf(colour));
            p[1] = std::uint8_t(greenOf(colour));
            p[2] = std::uint8_t(redOf(colour));
            if (bpp == 32) p[3] = std::uint8_t(alpha);
        }
    }
    for (std::size_t i = 0; i < maskRows.size() && int(i) < h; ++i) {
        // Stored bottom-up, most significant bit first.
        std::uint8_t* m = d.data() + 40 + stride * h + maskStride * (h - 1 - i);
        for (std::size_t b = 0; b < 4 && b < maskStride; ++b) m[b] = std::uint8_t(maskRows[i] >> (24 - 8 * b));
    }
    return d;
}

struct IconImage {
    int dirWidth, dirHeight;  // what the directory says
    std::vector<std::uint8_t> data;
};

std::vector<std::uint8_t> iconFile(const std::vector<IconImage>& images) {
    std::vector<std::uint8_t> f(6 + 16 * images.size(), 0);
    put16(f, 2, 1);
    put16(f, 4, std::uint32_t(images.size()));
    for (std::size_t i = 0; i < images.size(); ++i) {
        const std::size_t e = 6 + 16 * i;
        f[e] = std::uint8_t(images[i].dirWidth);
        f[e + 1] = std::uint8_t(images[i].dirHeight);
        put16(f, e + 4, 1);
        put32(f, e + 8, std::uint32_t(images[i].data.size()));
        put32(f, e + 12, std::uint32_t(f.size()));
        f.insert(f.end(), images[i].data.begin(), images[i].data.end());
    }
    return f;
}

// The start of a PNG file with its IHDR chunk saying w x h, 8-bit RGBA.
std::vector<std::uint8_t> pngHead(std::uint32_t w, std::uint32_t h) {
    std::vector<std::uint8_t> p = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    for (std::uint32_t v : {w, h})
        for (int s = 24; s >= 0; s -= 8) p.push_back(std::uint8_t(v >> s));
    p.insert(p.end(), {8, 6, 0, 0, 0, 0, 0, 0, 0});
    p.resize(200, 0);
    return p;
}

WorkBitmap readPpm(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int w = 0, h = 0, max = 0;
    in >> magic >> w >> h >> max;
    in.get();
    WorkBitmap out(w, h);
    for (int y = 0; y < h; ++y) {
        std::uint8_t* r = out.row(y);
        for (int x = 0; x < w; ++x) {
            char rgb[3];
            in.read(rgb, 3);
            r[3 * x] = std::uint8_t(rgb[2]);
            r[3 * x + 1] = std::uint8_t(rgb[1]);
            r[3 * x + 2] = std::uint8_t(rgb[0]);
        }
    }
    EXPECT_TRUE(in.good()) << path;
    return out;
}

int largestDifference(const WorkBitmap& a, const WorkBitmap& b) {
    if (a.width() != b.width() || a.height() != b.height()) return -1;
    int worst = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int i = 0; i < 3 * a.width(); ++i)
            worst = std::max(worst, std::abs(int(a.constRow(y)[i]) - int(b.constRow(y)[i])));
    return worst;
}

// The reason of the IconError for these bytes, "" when they open.
std::string failureOf(std::span<const std::uint8_t> bytes) {
    try {
        const WorkBitmap p = decodeIcon(bytes, "x.ico");
        EXPECT_EQ(p.width(), 32);
        EXPECT_EQ(p.height(), 32);
        EXPECT_EQ(p.format(), PixelFormat::Bits24);
    } catch (const IconError& e) {
        EXPECT_EQ(e.file(), "x.ico");
        return e.reason().empty() ? "?" : e.reason();
    }
    return "";
}

TEST(IconRead, RealIconsLookAsExpected) {
    // Masked images match exactly; alpha blending may round differently.
    const std::pair<const char*, int> cases[] = {
        {"image-rs/bmp-32bpp-alpha", 2},    {"image-rs/bmp-24bpp-mask", 0},
        {"nsis/llama-blue", 0},             {"pillow/hopper_mask", 0},
        {"image-rs/smile", 0},              {"pillow/python", 2},
        {"dotnet/48x48_one_entry_1bit", 0}, {"pillow/hopper", 0},
        {"dotnet/10x16_one_entry_32bit", 2}, {"image-rs/bmp-32bpp-conflicting-and-mask", 2},
        {"nsis/modern-install-full", 2},    {"pillow/black_and_white", 0},
        {"dotnet/48x48_multiple_entries_4bit", 0}, {"dotnet/256x256_seven_entries_multiple_bits", 0},
        {"dokuwiki/favicon", 0},            {"pillow/hopper_256x256", 0},
    };
    for (auto [name, tolerance] : cases) {
        std::string ref = name;
        std::replace(ref.begin(), ref.end(), '/', '_');
        const WorkBitmap p = readIconFile(kIcons + name + ".ico");
        EXPECT_EQ(p.format(), PixelFormat::Bits24) << name;
        const int d = largestDifference(p, readPpm(kIcons + "ref/" + ref + ".ppm"));
        EXPECT_GE(d, 0) << name;
        EXPECT_LE(d, tolerance) << name;
    }
}

TEST(IconRead, EveryGoodIconOpens) {
    for (const auto& e : fs::recursive_directory_iterator(kIcons)) {
        const std::string folder = e.path().parent_path().filename().string();
        if (e.path().extension() != ".ico" || folder == "bad" || folder == "cur") continue;
        SCOPED_TRACE(e.path().string());
        const WorkBitmap p = readIconFile(e.path().string());
        EXPECT_EQ(p.width(), kStandardIconSize);
        EXPECT_EQ(p.height(), kStandardIconSize);
        EXPECT_EQ(p.format(), PixelFormat::Bits24);
    }
}

TEST(IconRead, BrokenIconsAndCursorsFailWithIconError) {
    for (const char* folder : {"bad", "cur"})
        for (const auto& e : fs::directory_iterator(kIcons + folder)) {
            SCOPED_TRACE(e.path().string());
            try {
                readIconFile(e.path().string());
                ADD_FAILURE() << "opened";
            } catch (const IconError& err) {
                EXPECT_EQ(err.file(), e.path().string());
                EXPECT_NE(std::string(err.what()).find(e.path().string()), std::string::npos);
            }
        }
    // Reasons a user can act on.
    const std::pair<const char*, const char*> reasons[] = {
        {"bad/dotnet_invalid-empty.ico", "empty"},
        {"bad/pillow_decompression_bomb.ico", "256 megapixels"},
        {"bad/image-rs_oom-0d0085eb7f66ea55d9119206235cd29e089b9140.ico", "256 megapixels"},
        {"bad/image-rs_truncated_mask_32bpp.ico", "mask"},
        {"cur/deerstalker.cur", "cursor"},
    };
    for (auto [file, reason] : reasons) {
        try {
            readIconFile(kIcons + file);
            ADD_FAILURE() << file;
        } catch (const IconError& e) {
            EXPECT_NE(e.reason().find(reason), std::string::npos) << e.what();
        }
    }
    // A file that cannot be read at all is an icon failure too.
    EXPECT_THROW(readIconFile("/nonexistent/a.ico"), IconError);
}

TEST(IconRead, PicksTheClosestSizeThenTheDeepestColour) {
    const ColorValue red = makeColor(255, 0, 0), blue = makeColor(0, 0, 255), green = makeColor(0, 255, 0);
    const ColorValue gray = makeColor(128, 128, 128), black = kBlack;
    const std::vector<std::uint8_t> f = iconFile({
        {16, 16, iconDib(16, 16, 24, red)},
        {48, 48, iconDib(48, 48, 32, blue, 255)},
        {32, 32, iconDib(32, 32, 24, green)},
        {32, 32, iconDib(32, 32, 32, gray, 255)},  // as close, deeper
        {33, 31, iconDib(33, 31, 32, black, 255)},  // one off each way: farther
    });
    const WorkBitmap p = decodeIcon(f, "pick.ico");
    EXPECT_EQ(p.pixel(0, 0), gray);
    EXPECT_EQ(p.pixel(31, 31), gray);

    // The image's own size counts, not the directory's: here the directory
    // claims 32 x 32 for a 16 x 16 image, so the true 30 x 30 one wins.
    const std::vector<std::uint8_t> lying = iconFile({
        {32, 32, iconDib(16, 16, 24, red)},
        {40, 40, iconDib(30, 30, 24, blue)},
    });
    const WorkBitmap q = decodeIcon(lying, "lying.ico");
    EXPECT_EQ(q.pixel(29, 29), blue);
    EXPECT_EQ(q.pixel(30, 29), kWhite);  // smaller images leave white
    EXPECT_EQ(q.pixel(29, 30), kWhite);
}

TEST(IconRead, MaskAndAlphaMakeWhite) {
    // Mask set on the left half of the top row (and only there).
    const WorkBitmap m = decodeIcon(iconFile({{32, 32, iconDib(32, 32, 24, makeColor(10, 20, 30), 0, {0xFFFF0000})}}),
                                    "m.ico");
    EXPECT_EQ(m.pixel(0, 0), kWhite);
    EXPECT_EQ(m.pixel(15, 0), kWhite);
    EXPECT_EQ(m.pixel(16, 0), makeColor(10, 20, 30));
    EXPECT_EQ(m.pixel(0, 1), makeColor(10, 20, 30));  // rows come from the top

    // Alpha 128 over white: each channel c becomes (c * 128 + 255 * 127) / 255.
    const WorkBitmap a = decodeIcon(iconFile({{32, 32, iconDib(32, 32, 32, makeColor(255, 0, 100), 128, {~0u})}}),
                                    "a.ico");
    EXPECT_EQ(a.pixel(5, 5), makeColor(255, 127, 177));  // alpha wins over the mask

    // A 32-bit image whose alpha bytes are all zero is drawn through its mask.
    const WorkBitmap z = decodeIcon(iconFile({{32, 32, iconDib(32, 32, 32, makeColor(1, 2, 3), 0, {0x80000000})}}),
                                    "z.ico");
    EXPECT_EQ(z.pixel(0, 0), kWhite);
    EXPECT_EQ(z.pixel(1, 0), makeColor(1, 2, 3));

    // Larger images are cut off at the right and the bottom.
    const WorkBitmap big = decodeIcon(iconFile({{64, 64, iconDib(64, 64, 24, makeColor(9, 9, 9))}}), "b.ico");
    EXPECT_EQ(big.width(), 32);
    EXPECT_EQ(big.pixel(31, 31), makeColor(9, 9, 9));
}

TEST(IconRead, PngImagesThatCannotBeDecodedFailCleanly) {
    // A header over zeros, a header claiming a size the bytes cannot hold,
    // and one with no pixels: an icon error, and the last two not decoded.
    const std::vector<std::uint8_t> f = iconFile({{16, 16, iconDib(16, 16, 24, kBlack)}, {48, 40, pngHead(48, 40)}});
    EXPECT_EQ(failureOf(f), "the PNG image in the icon cannot be read");
    EXPECT_NE(failureOf(iconFile({{0, 0, pngHead(10000, 10000)}})).find("too short"), std::string::npos);
    EXPECT_NE(failureOf(iconFile({{0, 0, pngHead(0, 5)}})), "");
}

// Cutting or corrupting an icon anywhere gives an icon error or a picture,
// never a crash or another kind of error.
TEST(IconRead, DamagedFilesFailCleanly) {
    // Each file with the end of the image that is taken from it: cut
    // before, the file fails; cut after, the unused images do not matter.
    const std::pair<const char*, std::size_t> files[] = {
        {"image-rs/smile.ico", 782}, {"pillow/python.ico", 5446}, {"dotnet/48x48_one_entry_1bit.ico", 838}};
    for (auto [name, end] : files) {
        const std::vector<std::uint8_t> whole = readFileBytes(kIcons + name);
        for (std::size_t n = 0; n < whole.size(); n += (n < 120 ? 1 : 7)) {
            const std::string reason = failureOf(std::span(whole).first(n));
            EXPECT_EQ(reason.empty(), n >= end) << name << " cut at " << n << ": " << reason;
        }
        // Every byte of the directory and the DIB header set to extremes.
        for (std::size_t at = 0; at < 100 && at < whole.size(); ++at)
            for (std::uint8_t v : {0x00, 0x01, 0x7F, 0x80, 0xFF}) {
                std::vector<std::uint8_t> f = whole;
                f[at] = v;
                failureOf(f);  // must return, whatever it says
            }
    }
    EXPECT_NE(failureOf(std::vector<std::uint8_t>{0, 0, 1, 0, 0, 0}).find("no images"), std::string::npos);
    EXPECT_NE(failureOf(std::vector<std::uint8_t>{0, 0, 1, 0, 9, 0, 0}).find("list of images"), std::string::npos);
    EXPECT_NE(failureOf(std::vector<std::uint8_t>{'B', 'M', 1, 0, 1, 0}).find("not an icon"), std::string::npos);
}

}  // namespace
}  // namespace hueline
