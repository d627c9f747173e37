// SPDX-License-Identifier: GPL-3.0-or-later
// JPEG reading and writing, checked against libjpeg's own command-line
// programs (djpeg, cjpeg) run with the same settings where they exist.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "imaging/picture/errors.h"
#include "imaging/codecs/file_io.h"
#include "imaging/codecs/jpeg_codec.h"
#include "imaging/picture/progress.h"

namespace fs = std::filesystem;
using namespace hueline;

namespace {

const std::string kData = std::string(HUELINE_TEST_DATA) + "/jpeg/";

bool haveTool(const char* tool) {
    return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

// Exit status of a command: djpeg gives 0 for success, 2 after warnings, 1 on an error.
int run(const std::string& command) {
    const int status = std::system((command + " 2>/dev/null").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

using test_support::TempFolder;

// libjpeg's own decode with our settings (grayscale at 236 levels) as
// binary PGM/PPM: the header, then the samples (R, G, B for colour).
struct Pnm {
    int width = 0, height = 0, channels = 0;
    std::vector<std::uint8_t> data;
};

Pnm djpeg(const std::string& file, const TempFolder& tmp, bool gray, int* status = nullptr) {
    const std::string out = tmp / "ref.pnm";
    std::error_code ec;
    fs::remove(out, ec);
    const int s = run(std::string("djpeg -dct float ") + (gray ? "-colors 236 " : "") + "-pnm -outfile '" + out +
                      "' '" + file + "'");
    if (status) *status = s;
    Pnm p;
    if (s == 1 || !fs::exists(out)) return p;
    const std::vector<std::uint8_t> b = readFileBytes(out);
    std::size_t pos = 2;
    auto number = [&]() {
        while (pos < b.size() && std::isspace(b[pos])) ++pos;
        int v = 0;
        while (pos < b.size() && std::isdigit(b[pos])) v = v * 10 + (b[pos++] - '0');
        return v;
    };
    p.channels = b.size() > 2 && b[1] == '6' ? 3 : 1;
    p.width = number();
    p.height = number();
    number();  // 255
    p.data.assign(b.begin() + std::ptrdiff_t(pos + 1), b.end());
    return p;
}

// Pixels where our picture differs from libjpeg's (-1: other size). An
// 8-bit picture is compared through its palette.
std::int64_t differingPixels(const WorkBitmap& ours, const Pnm& ref) {
    if (ours.width() != ref.width || ours.height() != ref.height ||
        ref.data.size() < std::size_t(ref.width) * ref.height * ref.channels)
        return -1;
    std::int64_t bad = 0;
    for (int y = 0; y < ours.height(); ++y) {
        const std::uint8_t* r = ours.constRow(y);
        const std::uint8_t* t = ref.data.data() + std::size_t(y) * ref.width * ref.channels;
        for (int x = 0; x < ours.width(); ++x) {
            if (ref.channels == 3) {
                bad += r[3 * x] != t[3 * x + 2] || r[3 * x + 1] != t[3 * x + 1] || r[3 * x + 2] != t[3 * x];
            } else {
                const PaletteEntry& e = ours.palette().at(r[x]);
                bad += e.red != t[x] || e.green != t[x] || e.blue != t[x];
            }
        }
    }
    return bad;
}

// The first marker segment of a code before the first scan, or npos.
std::size_t findMarker(const std::vector<std::uint8_t>& b, std::uint8_t code) {
    for (std::size_t pos = 2; pos + 4 <= b.size() && b[pos] == 0xFF && b[pos + 1] != 0xDA;
         pos += 2 + (std::size_t(b[pos + 2]) << 8 | b[pos + 3]))
        if (b[pos + 1] == code) return pos;
    return std::string::npos;
}

std::vector<std::uint8_t> withFrameSize(const std::string& file, std::uint8_t sof, int width, int height) {
    std::vector<std::uint8_t> b = readFileBytes(kData + file);
    const std::size_t at = findMarker(b, sof);
    if (at == std::string::npos) return {};
    b[at + 5] = std::uint8_t(height >> 8), b[at + 6] = std::uint8_t(height);
    b[at + 7] = std::uint8_t(width >> 8), b[at + 8] = std::uint8_t(width);
    return b;
}

std::string reasonFor(std::span<const std::uint8_t> bytes) {
    try {
        decodeJpeg(bytes, "test.jpg");
    } catch (const FileError& e) {
        return e.reason();
    }
    return "(decoded)";
}

// A different colour in each quarter over a ramp, so that swapped
// channels, flipped rows or lost detail all show.
WorkBitmap quarters(int w, int h) {
    WorkBitmap p(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* px = p.row(y) + 3 * x;
            const bool right = x >= w / 2, bottom = y >= h / 2;
            const int ramp = (x * 7 + y * 3) % 64;
            px[0] = std::uint8_t(bottom ? 200 + ramp / 2 : ramp);
            px[1] = std::uint8_t(right && bottom ? 180 : ramp);
            px[2] = std::uint8_t(!bottom && !right ? 220 : right ? 90 : 10);
        }
    return p;
}

}  // namespace

TEST(JpegRead, DecodesAsLibjpegDoesWithTheSameSettings) {
    if (!haveTool("djpeg")) GTEST_SKIP() << "djpeg not installed";
    const char* colour[] = {
        "libjpeg-turbo/testorig.jpg", "libjpeg-turbo/testimgint.jpg", "libjpeg-turbo/testimgari.jpg",  // arithmetic
        "reftest/mozilla_jpg-progressive.jpg", "reftest/progressive3.jpg", "pillow/app13-multiple.jpg",
        "misc/image-rs_progressive_cat.jpg", "reftest/partial_progressive.jpg", "reftest/non-interleaved-mcu.jpg",
        "reftest/restarts.jpg", "reftest/mjpeg.jpg", "reftest/extraneous-data.jpg", "reftest/rgb.jpg",
        "reftest/16bit-qtables.jpg", "reftest/mozilla_jpg-size-1x1.jpg", "reftest/mozilla_jpg-size-2x2.jpg",
        "reftest/mozilla_jpg-size-15x15.jpg", "reftest/mozilla_jpg-size-17x17.jpg",
        "reftest/mozilla_jpg-size-33x33.jpg", "pillow/hopper.jpg", "pillow/flower2.jpg", "misc/image-rs_portrait_2.jpg",
        // CMYK (Adobe, inverted inks) and YCCK
        "reftest/mozilla_jpg-cmyk-1.jpg", "reftest/mozilla_jpg-cmyk-2.jpg", "pillow/pil_sample_cmyk.jpg"};
    TempFolder tmp;
    for (const char* f : colour) {
        SCOPED_TRACE(f);
        // djpeg neither turns photos upright nor converts their colours:
        // the EXIF block and the colour profile (the portrait's Generic
        // RGB) are renamed so that the reader leaves them as stored too.
        std::vector<std::uint8_t> bytes = readFileBytes(kData + f);
        const auto exif = std::search(bytes.begin(), bytes.end(), std::begin("Exif"), std::end("Exif") - 1);
        if (exif != bytes.end()) *exif = 'X';
        const auto icc = std::search(bytes.begin(), bytes.end(), std::begin("ICC_PROFILE"), std::end("ICC_PROFILE") - 1);
        if (icc != bytes.end()) *icc = 'X';
        const WorkBitmap pic = decodeJpeg(bytes, f);
        EXPECT_EQ(pic.format(), PixelFormat::Bits24);
        EXPECT_EQ(differingPixels(pic, djpeg(kData + f, tmp, false)), 0);
    }
}

TEST(JpegRead, GrayscaleFilesAre8BitWith236DitheredGrays) {
    const char* gray[] = {
        "pillow/hopper_gray.jpg",     "reftest/mozilla_jpg-gray.jpg",       "reftest/grayscale_16x24_sampling2x2.jpg",
        "reftest/grayscale_long.jpg", "reftest/progressive-missing-dc.jpg", "pillow/hopper_bad_exif.jpg"};
    TempFolder tmp;
    for (const char* f : gray) {
        SCOPED_TRACE(f);
        const WorkBitmap pic = readJpegFile(kData + f);
        ASSERT_EQ(pic.format(), PixelFormat::Bits8);
        ASSERT_EQ(pic.palette().size(), 236u);
        for (std::size_t i = 0; i < 236; ++i) {  // evenly spaced, black to white
            const auto v = std::uint8_t((i * 255 + 117) / 235);
            ASSERT_EQ(pic.palette()[i], (PaletteEntry{v, v, v})) << "entry " << i;
        }
        if (haveTool("djpeg")) {
            EXPECT_EQ(differingPixels(pic, djpeg(kData + f, tmp, true)), 0);
        }
    }
}

TEST(JpegRead, YcckInksAreReadTheAdobeWayRound) {
    // The sample's RGB twin was made from the same picture: read the right
    // way round the two differ only by compression (about 5 levels on
    // average); the wrong way round they would be near negatives.
    const WorkBitmap ycck = readJpegFile(kData + "pillow/pil_sample_cmyk.jpg");
    const WorkBitmap rgb = readJpegFile(kData + "pillow/pil_sample_rgb.jpg");
    ASSERT_EQ(ycck.width(), rgb.width());
    ASSERT_EQ(ycck.height(), rgb.height());
    std::int64_t total = 0;
    for (int y = 0; y < rgb.height(); ++y)
        for (int i = 0; i < 3 * rgb.width(); ++i) total += std::abs(ycck.constRow(y)[i] - rgb.constRow(y)[i]);
    EXPECT_LT(double(total) / (3.0 * rgb.width() * rgb.height()), 8.0);
}

// Every broken file either opens as libjpeg opens it or gives a FileError
// naming the file with libjpeg's reason, never a crash.
TEST(JpegRead, BrokenFilesFailCleanlyWhereLibjpegGivesUp) {
    if (!haveTool("djpeg")) GTEST_SKIP() << "djpeg not installed";
    std::vector<std::string> files;
    for (const auto& e : fs::directory_iterator(kData + "corrupt")) files.push_back(e.path().string());
    files.push_back(kData + "libjpeg-turbo/monkey12.jpg");                 // 12-bit samples
    files.push_back(kData + "reftest/lossless_1_jpeg_lossless_sel1.jpg");  // lossless process
    TempFolder tmp;
    int refused = 0;
    for (const std::string& path : files) {
        SCOPED_TRACE(path);
        int status = 0;
        const Pnm ref = djpeg(path, tmp, false, &status);
        if (status == 1) {
            ++refused;
            try {
                readJpegFile(path);
                ADD_FAILURE() << "opened a file libjpeg refuses";
            } catch (const FileError& e) {
                EXPECT_EQ(e.file(), path);
                EXPECT_FALSE(e.reason().empty());
            }
        } else {
            const WorkBitmap pic = readJpegFile(path);
            EXPECT_EQ(differingPixels(pic, ref.channels == 3 ? ref : djpeg(path, tmp, true)), 0);
        }
    }
    EXPECT_GE(refused, 25);
    EXPECT_EQ(reasonFor(readFileBytes(kData + "corrupt/empty.jpg")), "Empty input file");
    EXPECT_EQ(reasonFor(readFileBytes(kData + "corrupt/png-content-named-jpg-size-6x6.jpg")),
              "Not a JPEG file: starts with 0x89 0x50");
}

TEST(JpegRead, HugeFramesAreRefusedBeforeAnythingIsAllocated) {
    const auto start = std::chrono::steady_clock::now();
    // 260 megapixels: over the program's cap.
    const auto big = withFrameSize("libjpeg-turbo/testorig.jpg", 0xC0, 20000, 13000);
    // Every reader says it in the same words, with the size.
    EXPECT_EQ(reasonFor(big), "the picture is larger than 256 megapixels (20000 x 13000)");
    // A progressive 4:4:4 frame of 16000 x 15000: under the pixel cap, but
    // libjpeg would hold 1.4 GB of coefficients for it.
    const auto deep = withFrameSize("reftest/progressive3.jpg", 0xC2, 16000, 15000);
    EXPECT_NE(reasonFor(deep).find("memory"), std::string::npos) << reasonFor(deep);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST(JpegRead, FilesWithEndlessScansAreRefused) {
    // The last scan repeated until there are 150: libjpeg only warns about
    // the repeats, but each one is a pass over the whole picture.
    const std::vector<std::uint8_t> bytes = readFileBytes(kData + "reftest/mozilla_jpg-progressive.jpg");
    std::size_t last = 0;
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i)
        if (bytes[i] == 0xFF && bytes[i + 1] == 0xDA) last = i;
    ASSERT_GT(last, 0u);
    std::vector<std::uint8_t> many(bytes.begin(), bytes.end() - 2);  // without EOI
    for (int i = 0; i < 140; ++i) many.insert(many.end(), bytes.begin() + std::ptrdiff_t(last), bytes.end() - 2);
    many.insert(many.end(), {0xFF, 0xD9});
    EXPECT_EQ(reasonFor(bytes), "(decoded)");
    EXPECT_EQ(reasonFor(many), "the file has more than 100 scans");
}

TEST(JpegRead, TruncatedFilesOpenOrFailButNeverCrash) {
    for (const char* f : {"libjpeg-turbo/testorig.jpg", "reftest/progressive3.jpg", "libjpeg-turbo/testimgari.jpg"}) {
        const std::vector<std::uint8_t> whole = readFileBytes(kData + f);
        const WorkBitmap full = decodeJpeg(whole, f);
        int opened = 0;
        for (std::size_t len = 0; len < whole.size(); len += 1 + whole.size() / 97) {
            try {
                const WorkBitmap pic = decodeJpeg(std::span(whole.data(), len), f);
                EXPECT_TRUE(pic.width() == full.width() && pic.height() == full.height()) << len;
                ++opened;
            } catch (const FileError&) {
            }
        }
        EXPECT_GT(opened, 50) << f;  // once the headers are in, libjpeg fills in the rest
    }
}

TEST(JpegWrite, DecodesLikeWhatLibjpegsOwnEncoderWrites) {
    if (!haveTool("cjpeg") || !haveTool("djpeg")) GTEST_SKIP() << "cjpeg/djpeg not installed";
    TempFolder tmp;
    for (auto [w, h] : {std::pair{37, 23}, std::pair{1, 1}, std::pair{300, 201}}) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        const WorkBitmap pic = quarters(w, h);
        {
            std::ofstream ppm(tmp / "in.ppm", std::ios::binary);
            ppm << "P6\n" << w << ' ' << h << "\n255\n";
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    ppm.put(char(pic.constRow(y)[3 * x + 2]))
                        .put(char(pic.constRow(y)[3 * x + 1]))
                        .put(char(pic.constRow(y)[3 * x]));
        }
        ASSERT_EQ(run("cjpeg -quality 90 -baseline -dct float -outfile '" + (tmp / "ref.jpg") + "' '" +
                      (tmp / "in.ppm") + "'"),
                  0);
        writeJpegFile(pic, tmp / "ours.jpg");
        const Pnm ref = djpeg(tmp / "ref.jpg", tmp, false), ours = djpeg(tmp / "ours.jpg", tmp, false);
        EXPECT_EQ(ours.width, w);
        EXPECT_EQ(ours.height, h);
        EXPECT_TRUE(ours.data == ref.data);
    }
}

TEST(JpegWrite, BaselineJfifInColourTopRowFirst) {
    const WorkBitmap pic = quarters(64, 48);
    const std::vector<std::uint8_t> bytes = encodeJpeg(pic);
    const std::size_t app0 = findMarker(bytes, 0xE0), sof = findMarker(bytes, 0xC0);
    ASSERT_NE(app0, std::string::npos);
    ASSERT_NE(sof, std::string::npos);  // baseline; progressive would be 0xC2
    EXPECT_EQ(std::string(bytes.begin() + std::ptrdiff_t(app0) + 4, bytes.begin() + std::ptrdiff_t(app0) + 8), "JFIF");
    EXPECT_EQ(bytes[sof + 9], 3);  // three components
    // Read back, each quarter keeps its colour where it was.
    const WorkBitmap back = decodeJpeg(bytes, "back.jpg");
    for (auto [x, y] : {std::pair{8, 8}, std::pair{56, 8}, std::pair{8, 40}, std::pair{56, 40}}) {
        const ColorValue a = pic.pixel(x, y), b = back.pixel(x, y);
        EXPECT_LE(std::abs(redOf(a) - redOf(b)) + std::abs(greenOf(a) - greenOf(b)) + std::abs(blueOf(a) - blueOf(b)),
                  24)
            << x << "," << y;
    }
    EXPECT_LT(encodeJpeg(pic, 30).size(), bytes.size());  // the quality is passed on
}

TEST(JpegWrite, OtherFormatsAreBroughtTo24BitsFirst) {
    WorkBitmap indexed(40, 30, PixelFormat::Bits8);
    std::vector<PaletteEntry> ramp(256);
    for (int i = 0; i < 256; ++i) ramp[std::size_t(i)] = {std::uint8_t(i), std::uint8_t(i), std::uint8_t(255 - i)};
    indexed.setPalette(ramp);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) indexed.row(y)[x] = std::uint8_t(x * 6 + y);
    EXPECT_EQ(encodeJpeg(indexed), encodeJpeg(indexed.to24()));
    WorkBitmap wide = quarters(33, 17);
    wide.setPixelFormat(PixelFormat::Bits32);
    EXPECT_EQ(encodeJpeg(wide), encodeJpeg(quarters(33, 17)));
}

TEST(JpegWrite, AnEmptyPictureIsNotSaved) {
    TempFolder tmp;
    const std::string path = tmp / "empty.jpg";
    try {
        writeJpegFile(WorkBitmap(), path);
        FAIL() << "an empty picture was saved";
    } catch (const UserError& e) {
        EXPECT_STREQ(e.what(), "There is no picture to save.");
    }
    EXPECT_FALSE(fs::exists(path));
    EXPECT_THROW(encodeJpeg(WorkBitmap(0, 7)), UserError);
    writeJpegFile(quarters(8, 8), path);  // an existing file is left as it was
    const auto before = readFileBytes(path);
    EXPECT_THROW(writeJpegFile(WorkBitmap(), path), UserError);
    EXPECT_EQ(readFileBytes(path), before);
}

TEST(JpegWrite, NoiseAtTheBestQualityIsWrittenWhole) {
    // Two bytes a pixel: past the byte and a half the encoder starts with.
    WorkBitmap noise = WorkBitmap::uninitialized24(256, 256);
    std::uint32_t seed = 12345;
    for (int y = 0; y < noise.height(); ++y)
        for (int i = 0; i < noise.width() * 3; ++i)
            noise.row(y)[i] = std::uint8_t((seed = seed * 1664525u + 1013904223u) >> 24);
    const std::vector<std::uint8_t> bytes = encodeJpeg(noise, 100);
    ASSERT_GT(bytes.size(), std::size_t(256 * 256 * 3 / 2 + 4096));
    std::string damage = "not read";
    const WorkBitmap back = decodeJpeg(bytes, "noise.jpg", &damage);
    EXPECT_EQ(damage, "");  // the whole file, up to its end marker
    EXPECT_EQ(back.height(), 256);
}

namespace {

// A baseline JPEG of a picture that is nowhere near flat gray.
std::vector<std::uint8_t> stripes(int width, int height) {
    WorkBitmap p(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) p.setPixel(x, y, makeColor((x * 7) & 0xFF, 40 + (y & 0x7F), (x ^ y) & 0xFF));
    return encodeJpeg(p);
}

bool rowIsGray(const WorkBitmap& p, int y) {
    const std::uint8_t* row = p.constRow(y);
    return std::all_of(row, row + 3 * p.width(), [](std::uint8_t v) { return v == 128; });
}

}  // namespace

TEST(JpegRead, DamageInArithmeticCodedDataIsDatedFromWhereItCanStart) {
    // The arithmetic decoder reads garbage without a word until a restart
    // marker is not where it should be: the row named must not be below
    // the first row that differs.
    const std::vector<std::uint8_t> whole = readFileBytes(kData + "misc/arithmetic-restarts.jpg");
    std::string damage;
    const WorkBitmap full = decodeJpeg(whole, "a.jpg", &damage);
    ASSERT_EQ(damage, "");
    std::vector<std::uint8_t> bad = whole;
    for (std::size_t i = 4500; i < 4504; ++i) bad[i] ^= 0xA5;
    const WorkBitmap hurt = decodeJpeg(bad, "a.jpg", &damage);
    int first = 0;
    while (first < full.height() && std::equal(full.constRow(first), full.constRow(first) + 3 * full.width(), hurt.constRow(first)))
        ++first;
    const std::string prefix = "a.jpg is damaged: its data is corrupt, so parts of the picture below row ";
    ASSERT_EQ(damage.compare(0, prefix.size(), prefix), 0) << damage;
    const int row = std::stoi(damage.substr(prefix.size()));
    EXPECT_LE(row, first);
    EXPECT_GE(row, first - 32);  // no more than a restart interval early
}

TEST(JpegRead, DamagedFilesOpenAndSayWhichPartIsGray) {
    const std::vector<std::uint8_t> whole = stripes(96, 240);
    std::string damage = "not cleared";
    const WorkBitmap full = decodeJpeg(whole, "whole.jpg", &damage);
    EXPECT_EQ(damage, "");

    // Cut in the middle of the pixel data: libjpeg grays out the rest.
    const std::span<const std::uint8_t> half(whole.data(), whole.size() / 2);
    const WorkBitmap cut = decodeJpeg(half, "cut.jpg", &damage);
    const std::string prefix = "cut.jpg is damaged: its data ends early, so the picture is gray below row ";
    ASSERT_EQ(damage.compare(0, prefix.size(), prefix), 0) << damage;
    const int row = std::stoi(damage.substr(prefix.size()));
    EXPECT_NE(damage.find(" of 240."), std::string::npos) << damage;
    ASSERT_GT(row, 16);
    ASSERT_LT(row, 240 - 32);
    // The row named is where the gray begins: libjpeg was decoding the
    // 16-row band below it when the data ran out, and smooths across the
    // next band's edge; every row below those two bands is gray, and the
    // rows a band above it are the picture's.
    for (int y = row + 32; y < 240; ++y) EXPECT_TRUE(rowIsGray(cut, y)) << y;
    for (int y = 0; y < row - 16; ++y) EXPECT_TRUE(std::equal(cut.constRow(y), cut.constRow(y) + 3 * 96, full.constRow(y))) << y;

    // A marker in the middle of the data: corrupt rather than short.
    std::vector<std::uint8_t> marked = whole;
    marked[whole.size() / 2] = 0xFF;
    marked[whole.size() / 2 + 1] = 0xD3;
    decodeJpeg(marked, "marked.jpg", &damage);
    EXPECT_EQ(damage.compare(0, 31, "marked.jpg is damaged: its data"), 0) << damage;
}

TEST(JpegRead, LongDecodesReportProgressAndStopWhenCancelled) {
    const std::vector<std::uint8_t> bytes = stripes(800, 600);
    int reports = 0;
    double last = -1;
    {
        const ProgressScope watch([&](double f) {
            ++reports;
            EXPECT_GE(f, last - 1e-9);  // never backwards within a decode
            last = f;
            return true;
        });
        decodeJpeg(bytes, "big.jpg");
    }
    EXPECT_GT(reports, 10);
    EXPECT_NEAR(last, 1.0, 0.01);

    int calls = 0;
    const ProgressScope stopSoon([&](double) { return ++calls < 5; });
    EXPECT_THROW(decodeJpeg(bytes, "big.jpg"), Cancelled);
    EXPECT_EQ(calls, 5);
    // A preview's decode, reduced by libjpeg as far as it still covers the box.
    const WorkBitmap small = [&] {
        const ProgressScope keepGoing([](double) { return true; });
        return decodeJpegToCover(bytes, "big.jpg", 160, 166);
    }();
    EXPECT_EQ(small.width(), 200);
    EXPECT_EQ(small.height(), 150);
}
