// JPEG reading and writing, checked against libjpeg's own command-line
// programs (djpeg, cjpeg) run with the same settings where they exist.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "imaging/errors.h"
#include "imaging/file_io.h"
#include "imaging/jpeg_codec.h"

namespace fs = std::filesystem;
using namespace hueline;

namespace {

const std::string kData = std::string(HUELINE_TEST_DATA) + "/jpeg/";

bool haveTool(const char* tool) {
    return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

// Exit status of a shell command: 0 success, 1 error, 2 warnings for djpeg.
int run(const std::string& command) {
    const int status = std::system((command + " 2>/dev/null").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string quoted(const std::string& s) { return "'" + s + "'"; }

// A private folder removed with everything in it at the end of a test.
struct TempFolder {
    fs::path path;
    TempFolder() {
        std::string tmpl = (fs::temp_directory_path() / "hueline-jpeg-XXXXXX").string();
        if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
        path = tmpl;
    }
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    std::string operator/(const std::string& name) const { return (path / name).string(); }
};

// A binary PGM (1 channel) or PPM (3 channels, R G B) with maxval 255.
struct Pnm {
    int width = 0, height = 0, channels = 0;
    std::vector<std::uint8_t> data;
};

Pnm readPnm(const std::string& path) {
    const std::vector<std::uint8_t> bytes = readFileBytes(path);
    Pnm p;
    std::size_t pos = 2;
    auto number = [&]() {
        while (pos < bytes.size() && std::isspace(bytes[pos])) ++pos;
        int v = 0;
        while (pos < bytes.size() && std::isdigit(bytes[pos])) v = v * 10 + (bytes[pos++] - '0');
        return v;
    };
    if (bytes.size() < 2 || bytes[0] != 'P' || (bytes[1] != '5' && bytes[1] != '6')) return p;
    p.channels = bytes[1] == '6' ? 3 : 1;
    p.width = number();
    p.height = number();
    if (number() != 255) return {};
    ++pos;
    p.data.assign(bytes.begin() + std::ptrdiff_t(pos), bytes.end());
    return p;
}

void writePpm(const WorkBitmap& bgr, const std::string& path) {
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << bgr.width() << ' ' << bgr.height() << "\n255\n";
    for (int y = 0; y < bgr.height(); ++y) {
        const std::uint8_t* r = bgr.constRow(y);
        for (int x = 0; x < bgr.width(); ++x) out.put(char(r[3 * x + 2])).put(char(r[3 * x + 1])).put(char(r[3 * x]));
    }
}

// Counts the pixels where our picture differs from libjpeg's output; a
// 24-bit picture is compared channel by channel (ours B,G,R, theirs R,G,B),
// an 8-bit one through its palette against the gray values.
std::int64_t differingPixels(const WorkBitmap& ours, const Pnm& theirs) {
    if (ours.width() != theirs.width || ours.height() != theirs.height) return -1;
    if (theirs.data.size() < std::size_t(theirs.width) * theirs.height * theirs.channels) return -1;
    std::int64_t bad = 0;
    for (int y = 0; y < ours.height(); ++y) {
        const std::uint8_t* r = ours.constRow(y);
        const std::uint8_t* t = theirs.data.data() + std::size_t(y) * theirs.width * theirs.channels;
        for (int x = 0; x < ours.width(); ++x) {
            if (theirs.channels == 3) {
                bad += r[3 * x] != t[3 * x + 2] || r[3 * x + 1] != t[3 * x + 1] || r[3 * x + 2] != t[3 * x];
            } else {
                const PaletteEntry& e = ours.palette().at(r[x]);
                bad += e.red != t[x] || e.green != t[x] || e.blue != t[x];
            }
        }
    }
    return bad;
}

// libjpeg's own decode of a file with our settings, as a PPM (colour) or
// PGM (grayscale, 236 levels); the exit status of djpeg.
int djpeg(const std::string& file, const std::string& out, bool gray = false) {
    return run(std::string("djpeg -dct float ") + (gray ? "-colors 236 " : "") + "-pnm -outfile " + quoted(out) + " " +
               quoted(file));
}

// Marker segments of a JPEG file up to the first scan: offset of the 0xFF
// of the first marker with the given code, or npos.
std::size_t findMarker(const std::vector<std::uint8_t>& b, std::uint8_t code) {
    std::size_t pos = 2;
    while (pos + 4 <= b.size() && b[pos] == 0xFF) {
        if (b[pos + 1] == code) return pos;
        if (b[pos + 1] == 0xDA) break;
        pos += 2 + (std::size_t(b[pos + 2]) << 8 | b[pos + 3]);
    }
    return std::string::npos;
}

void patchFrameSize(std::vector<std::uint8_t>& b, std::uint8_t sof, int width, int height) {
    const std::size_t at = findMarker(b, sof);
    ASSERT_NE(at, std::string::npos);
    b[at + 5] = std::uint8_t(height >> 8);
    b[at + 6] = std::uint8_t(height);
    b[at + 7] = std::uint8_t(width >> 8);
    b[at + 8] = std::uint8_t(width);
}

std::vector<std::string> filesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.is_regular_file()) names.push_back(e.path().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A 24-bit picture with a different colour in each quarter and a ramp, so
// that swapped channels, flipped rows or lost detail all show.
WorkBitmap quarters(int w, int h) {
    WorkBitmap p(w, h);
    for (int y = 0; y < h; ++y) {
        std::uint8_t* r = p.row(y);
        for (int x = 0; x < w; ++x) {
            const bool right = x >= w / 2, bottom = y >= h / 2;
            const int ramp = (x * 7 + y * 3) % 64;
            r[3 * x] = std::uint8_t(bottom ? 200 + ramp / 2 : ramp);                // blue
            r[3 * x + 1] = std::uint8_t(right && bottom ? 180 : ramp);             // green
            r[3 * x + 2] = std::uint8_t(!bottom && !right ? 220 : right ? 90 : 10);  // red
        }
    }
    return p;
}

}  // namespace

// ---- reading -------------------------------------------------------------

TEST(JpegRead, ColourFilesDecodeLikeLibjpeg) {
    if (!haveTool("djpeg")) GTEST_SKIP() << "djpeg not installed";
    const char* files[] = {
        "libjpeg-turbo/testorig.jpg", "libjpeg-turbo/testimgint.jpg",
        "libjpeg-turbo/testimgari.jpg",  // arithmetic coding
        "reftest/mozilla_jpg-progressive.jpg", "reftest/progressive3.jpg", "pillow/app13-multiple.jpg",
        "misc/image-rs_progressive_cat.jpg", "misc/image-rs_progressive_32x23.jpg",
        "reftest/partial_progressive.jpg",  // libjpeg warns, still opens
        "reftest/non-interleaved-mcu.jpg", "reftest/restarts.jpg",
        "reftest/mjpeg.jpg", "reftest/extraneous-data.jpg", "reftest/rgb.jpg", "reftest/16bit-qtables.jpg",
        "reftest/mozilla_jpg-size-1x1.jpg", "reftest/mozilla_jpg-size-2x2.jpg", "reftest/mozilla_jpg-size-15x15.jpg",
        "reftest/mozilla_jpg-size-17x17.jpg", "reftest/mozilla_jpg-size-33x33.jpg", "pillow/hopper.jpg",
        "pillow/flower2.jpg", "misc/image-rs_portrait_2.jpg",
        "misc/dotnet_nature24bits.jpg", "misc/libgdiplus_test-exif.jpg"};
    TempFolder tmp;
    for (const char* f : files) {
        SCOPED_TRACE(f);
        const std::string path = kData + f;
        ASSERT_NE(djpeg(path, tmp / "ref.ppm"), 1);
        const Pnm ref = readPnm(tmp / "ref.ppm");
        ASSERT_EQ(ref.channels, 3);
        const WorkBitmap pic = readJpegFile(path);
        EXPECT_EQ(pic.format(), PixelFormat::Bits24);
        EXPECT_EQ(differingPixels(pic, ref), 0);
    }
}

TEST(JpegRead, GrayscaleFilesAre8BitWith236Grays) {
    const char* files[] = {"pillow/hopper_gray.jpg", "reftest/mozilla_jpg-gray.jpg",
                           "reftest/grayscale_16x24_sampling2x2.jpg", "reftest/grayscale_long.jpg",
                           "misc/dotnet_nature-greyscale.jpg",
                           "reftest/progressive-missing-dc.jpg",  // progressive, libjpeg warns
                           "pillow/hopper_bad_exif.jpg"};         // libjpeg warns
    const bool compare = haveTool("djpeg");
    TempFolder tmp;
    for (const char* f : files) {
        SCOPED_TRACE(f);
        const WorkBitmap pic = readJpegFile(kData + f);
        ASSERT_EQ(pic.format(), PixelFormat::Bits8);
        ASSERT_EQ(pic.palette().size(), 236u);
        // Evenly spaced from black to white.
        for (std::size_t i = 0; i < 236; ++i) {
            const auto v = std::uint8_t((i * 255 + 117) / 235);
            ASSERT_EQ(pic.palette()[i], (PaletteEntry{v, v, v})) << "entry " << i;
        }
        if (!compare) continue;
        ASSERT_NE(djpeg(kData + f, tmp / "ref.pgm", true), 1);
        const Pnm ref = readPnm(tmp / "ref.pgm");
        ASSERT_EQ(ref.channels, 1);
        // Same quantiser, same dithering: the same gray for every pixel.
        EXPECT_EQ(differingPixels(pic, ref), 0);
    }
    if (!compare) GTEST_SKIP() << "djpeg not installed: palettes checked, pixels not compared";
}

TEST(JpegRead, CmykAndYcckBecomeColourWithAdobeInks) {
    const char* files[] = {"reftest/mozilla_jpg-cmyk-1.jpg", "reftest/mozilla_jpg-cmyk-2.jpg",
                           "pillow/pil_sample_cmyk.jpg"};
    for (const char* f : files) {
        const WorkBitmap pic = readJpegFile(kData + f);
        EXPECT_EQ(pic.format(), PixelFormat::Bits24) << f;
    }
    // The YCCK sample has an RGB twin made from the same picture: with the
    // inks read the right way round the two look alike (lossy, so close,
    // not equal); read the wrong way round they would be near negatives.
    const WorkBitmap ycck = readJpegFile(kData + "pillow/pil_sample_cmyk.jpg");
    const WorkBitmap rgb = readJpegFile(kData + "pillow/pil_sample_rgb.jpg");
    ASSERT_EQ(ycck.width(), rgb.width());
    ASSERT_EQ(ycck.height(), rgb.height());
    std::int64_t total = 0;
    for (int y = 0; y < rgb.height(); ++y)
        for (int i = 0; i < 3 * rgb.width(); ++i) total += std::abs(ycck.constRow(y)[i] - rgb.constRow(y)[i]);
    EXPECT_LT(double(total) / (3.0 * rgb.width() * rgb.height()), 8.0);

    if (!haveTool("djpeg")) GTEST_SKIP() << "djpeg not installed";
    TempFolder tmp;
    for (const char* f : files) {
        SCOPED_TRACE(f);
        ASSERT_EQ(djpeg(kData + f, tmp / "ref.ppm"), 0);
        EXPECT_EQ(differingPixels(readJpegFile(kData + f), readPnm(tmp / "ref.ppm")), 0);
    }
}

// Every broken file either opens as libjpeg opens it or gives a FileError
// naming the file with libjpeg's reason, never a crash.
TEST(JpegRead, BrokenFilesFailCleanlyWhereLibjpegGivesUp) {
    if (!haveTool("djpeg")) GTEST_SKIP() << "djpeg not installed";
    std::vector<std::string> files = filesIn(kData + "corrupt");
    files.push_back(kData + "libjpeg-turbo/monkey12.jpg");                  // 12-bit samples
    files.push_back(kData + "reftest/lossless_1_jpeg_lossless_sel1.jpg");  // lossless process
    TempFolder tmp;
    int refused = 0, opened = 0;
    for (const std::string& path : files) {
        SCOPED_TRACE(path);
        const int status = djpeg(path, tmp / "ref.ppm");
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
            ++opened;
            const WorkBitmap pic = readJpegFile(path);
            // Grayscale files are compared at 236 levels, as we decode them.
            if (pic.format() == PixelFormat::Bits8) djpeg(path, tmp / "ref.ppm", true);
            EXPECT_EQ(differingPixels(pic, readPnm(tmp / "ref.ppm")), 0);
        }
    }
    EXPECT_GE(refused, 25);
    EXPECT_GE(opened, 10);
}

TEST(JpegRead, ErrorsCarryLibjpegsMessage) {
    auto reasonFor = [](const std::string& file) -> std::string {
        try {
            readJpegFile(kData + file);
        } catch (const FileError& e) {
            return e.reason();
        }
        return "(opened)";
    };
    EXPECT_EQ(reasonFor("corrupt/empty.jpg"), "Empty input file");
    EXPECT_EQ(reasonFor("corrupt/png-content-named-jpg-size-6x6.jpg"), "Not a JPEG file: starts with 0x89 0x50");
    EXPECT_EQ(reasonFor("corrupt/missing-sos.jpg"), "Invalid JPEG file structure: missing SOS marker");
    EXPECT_EQ(reasonFor("libjpeg-turbo/monkey12.jpg"), "Unsupported JPEG data precision 12");
    EXPECT_EQ(reasonFor("no-such-file.jpg"), "no such file");
}

TEST(JpegRead, FramesOverTheCapAreRefusedBeforeDecoding) {
    std::vector<std::uint8_t> bytes = readFileBytes(kData + "libjpeg-turbo/testorig.jpg");
    patchFrameSize(bytes, 0xC0, 20000, 13000);  // 260 megapixels
    const auto start = std::chrono::steady_clock::now();
    try {
        decodeJpeg(bytes, "big.jpg");
        FAIL() << "a 260-megapixel frame was decoded";
    } catch (const FileError& e) {
        EXPECT_EQ(e.file(), "big.jpg");
        EXPECT_NE(e.reason().find("256 megapixels"), std::string::npos) << e.reason();
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

TEST(JpegRead, LibjpegsOwnMemoryIsCapped) {
    // A progressive 4:4:4 file claiming 16000 x 15000: under the pixel cap,
    // but libjpeg would keep 1.4 GB of coefficients for it.
    std::vector<std::uint8_t> bytes = readFileBytes(kData + "reftest/progressive3.jpg");
    patchFrameSize(bytes, 0xC2, 16000, 15000);
    const auto start = std::chrono::steady_clock::now();
    try {
        decodeJpeg(bytes, "huge.jpg");
        FAIL() << "decoded without the memory cap";
    } catch (const FileError& e) {
        EXPECT_NE(e.reason().find("memory"), std::string::npos) << e.reason();
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST(JpegRead, FilesWithEndlessScansAreRefused) {
    // Repeat the last scan of a progressive file until it has 150 scans:
    // libjpeg only warns about the repeats, but each costs a whole pass.
    std::vector<std::uint8_t> bytes = readFileBytes(kData + "reftest/mozilla_jpg-progressive.jpg");
    std::size_t lastScan = std::string::npos;
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i)
        if (bytes[i] == 0xFF && bytes[i + 1] == 0xDA) lastScan = i;
    ASSERT_NE(lastScan, std::string::npos);
    ASSERT_GE(bytes.size(), 2u);
    const std::vector<std::uint8_t> scan(bytes.begin() + std::ptrdiff_t(lastScan), bytes.end() - 2);  // up to EOI
    std::vector<std::uint8_t> many(bytes.begin(), bytes.end() - 2);
    for (int i = 0; i < 140; ++i) many.insert(many.end(), scan.begin(), scan.end());
    many.push_back(0xFF);
    many.push_back(0xD9);
    EXPECT_NO_THROW(decodeJpeg(bytes, "ok.jpg"));
    try {
        decodeJpeg(many, "scans.jpg");
        FAIL() << "a file of 150 scans was decoded";
    } catch (const FileError& e) {
        EXPECT_NE(e.reason().find("scans"), std::string::npos) << e.reason();
    }
}

TEST(JpegRead, TruncatedFilesOpenOrFailButNeverCrash) {
    for (const char* f : {"libjpeg-turbo/testorig.jpg", "reftest/progressive3.jpg", "libjpeg-turbo/testimgari.jpg"}) {
        const std::vector<std::uint8_t> whole = readFileBytes(kData + f);
        const WorkBitmap full = decodeJpeg(whole, f);
        int opened = 0;
        for (std::size_t len = 0; len < whole.size(); len += 1 + whole.size() / 97) {
            const std::span<const std::uint8_t> part(whole.data(), len);
            try {
                const WorkBitmap pic = decodeJpeg(part, f);
                EXPECT_EQ(pic.width(), full.width());
                EXPECT_EQ(pic.height(), full.height());
                ++opened;
            } catch (const FileError& e) {
                EXPECT_FALSE(e.reason().empty());
            }
        }
        // Once the headers are in, libjpeg fills the missing rest.
        EXPECT_GT(opened, 50) << f;
    }
}

// ---- writing -------------------------------------------------------------

TEST(JpegWrite, DecodesLikeWhatLibjpegsEncoderWrites) {
    if (!haveTool("cjpeg") || !haveTool("djpeg")) GTEST_SKIP() << "cjpeg/djpeg not installed";
    TempFolder tmp;
    for (auto [w, h] : {std::pair{37, 23}, std::pair{1, 1}, std::pair{300, 201}}) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        const WorkBitmap pic = quarters(w, h);
        writePpm(pic, tmp / "in.ppm");
        ASSERT_EQ(run("cjpeg -quality 90 -baseline -dct float -outfile " + quoted(tmp / "ref.jpg") + " " +
                      quoted(tmp / "in.ppm")),
                  0);
        writeJpegFile(pic, tmp / "ours.jpg");
        ASSERT_EQ(djpeg(tmp / "ref.jpg", tmp / "ref.ppm"), 0);
        ASSERT_EQ(djpeg(tmp / "ours.jpg", tmp / "ours.ppm"), 0);
        const Pnm ref = readPnm(tmp / "ref.ppm"), ours = readPnm(tmp / "ours.ppm");
        EXPECT_EQ(ours.width, w);
        EXPECT_EQ(ours.height, h);
        EXPECT_TRUE(ours.data == ref.data);
    }
}

TEST(JpegWrite, BaselineJfifInColourTopRowFirst) {
    const WorkBitmap pic = quarters(64, 48);
    const std::vector<std::uint8_t> bytes = encodeJpeg(pic);
    ASSERT_GT(bytes.size(), 20u);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0xD8);
    const std::size_t app0 = findMarker(bytes, 0xE0);
    ASSERT_NE(app0, std::string::npos);
    EXPECT_EQ(std::string(bytes.begin() + std::ptrdiff_t(app0) + 4, bytes.begin() + std::ptrdiff_t(app0) + 8), "JFIF");
    const std::size_t sof = findMarker(bytes, 0xC0);  // baseline, not progressive (0xC2)
    ASSERT_NE(sof, std::string::npos);
    EXPECT_EQ(findMarker(bytes, 0xC2), std::string::npos);
    EXPECT_EQ(bytes[sof + 9], 3);  // three components
    EXPECT_EQ(bytes[bytes.size() - 2], 0xFF);
    EXPECT_EQ(bytes[bytes.size() - 1], 0xD9);

    // Read back: each quarter keeps its colour where it was.
    const WorkBitmap back = decodeJpeg(bytes, "back.jpg");
    ASSERT_EQ(back.width(), 64);
    ASSERT_EQ(back.height(), 48);
    auto near = [&](int x, int y) {
        const ColorValue a = pic.pixel(x, y), b = back.pixel(x, y);
        return std::abs(redOf(a) - redOf(b)) <= 12 && std::abs(greenOf(a) - greenOf(b)) <= 12 &&
               std::abs(blueOf(a) - blueOf(b)) <= 12;
    };
    for (auto [x, y] : {std::pair{8, 8}, std::pair{56, 8}, std::pair{8, 40}, std::pair{56, 40}})
        EXPECT_TRUE(near(x, y)) << x << "," << y;
    // Quality is passed on: a lower one gives a smaller file.
    EXPECT_LT(encodeJpeg(pic, 30).size(), bytes.size());
}

TEST(JpegWrite, OtherFormatsAreBroughtTo24BitsFirst) {
    WorkBitmap gray(40, 30, PixelFormat::Bits8);
    std::vector<PaletteEntry> ramp(256);
    for (int i = 0; i < 256; ++i) ramp[std::size_t(i)] = {std::uint8_t(i), std::uint8_t(i), std::uint8_t(255 - i)};
    gray.setPalette(ramp);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) gray.row(y)[x] = std::uint8_t(x * 6 + y);
    EXPECT_EQ(encodeJpeg(gray), encodeJpeg(gray.to24()));

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

    // An existing file of that name is left as it was.
    writeJpegFile(quarters(8, 8), path);
    const auto before = readFileBytes(path);
    EXPECT_THROW(writeJpegFile(WorkBitmap(), path), UserError);
    EXPECT_EQ(readFileBytes(path), before);
}

TEST(JpegWrite, AnUnwritablePlaceGivesAFileError) {
    const std::string path = "/nonexistent-hueline-folder/result.jpg";
    try {
        writeJpegFile(quarters(8, 8), path);
        FAIL() << "claimed to write into a missing folder";
    } catch (const FileError& e) {
        EXPECT_EQ(e.file(), path);
    }
}
