// SPDX-License-Identifier: GPL-3.0-or-later
// SVG and PDF files traced from the pixels: rasterised at one pixel a unit
// by outside renderers (rsvg-convert, pdftoppm), each must show the dark
// pixels of the picture it was saved from, except along the outlines and
// in the specks of up to 2 pixels that tracing drops.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "imaging/codecs/file_io.h"
#include "imaging/codecs/jpeg_codec.h"
#include "imaging/codecs/picture_writer.h"
#include "imaging/codecs/png_codec.h"
#include "imaging/codecs/traced_outlines.h"
#include "imaging/ops/morphology.h"
#include "imaging/picture/errors.h"
#include "imaging/picture/luminance.h"
#include "support/test_support.h"

using namespace hueline;
using test_support::TempFolder;

namespace {

using Mask = std::vector<std::vector<char>>;

Mask darkMask(const WorkBitmap& picture) {
    const WorkBitmap rgb = picture.to24();
    Mask dark(std::size_t(rgb.height()), std::vector<char>(std::size_t(rgb.width())));
    for (int y = 0; y < rgb.height(); ++y)
        for (int x = 0; x < rgb.width(); ++x) {
            const std::uint8_t* p = rgb.constRow(y) + 3 * x;
            dark[y][x] = thresholdLuminance(p[2], p[1], p[0]) < 128;
        }
    return dark;
}

// The sizes of the 4-connected areas of one colour each pixel lies in.
std::vector<std::vector<int>> areaSizes(const Mask& m) {
    const int h = int(m.size()), w = h ? int(m[0].size()) : 0;
    std::vector<std::vector<int>> size(std::size_t(h), std::vector<int>(std::size_t(w), 0));
    for (int y0 = 0; y0 < h; ++y0)
        for (int x0 = 0; x0 < w; ++x0) {
            if (size[y0][x0]) continue;
            std::vector<std::pair<int, int>> area{{x0, y0}}, todo{{x0, y0}};
            size[y0][x0] = -1;
            while (!todo.empty()) {
                const auto [x, y] = todo.back();
                todo.pop_back();
                for (const auto& [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
                    const int u = x + dx, v = y + dy;
                    if (u < 0 || v < 0 || u >= w || v >= h || size[v][u] || m[v][u] != m[y0][x0]) continue;
                    size[v][u] = -1;
                    area.push_back({u, v});
                    todo.push_back({u, v});
                }
            }
            for (const auto& [x, y] : area) size[y][x] = int(area.size());
        }
    return size;
}

struct Agreement {
    int disagreeing = 0;  // pixels off the outlines and out of the specks that differ
    int inked = 0;        // dark pixels in the rendering
};

// Compares a rendering with the picture's dark pixels. A pixel is let off
// when a pixel of the other colour touches it, the edge of the picture
// counting as light (it lies within one pixel of an outline), or when its
// area of one colour holds at most 2 pixels.
Agreement compare(const WorkBitmap& picture, const WorkBitmap& rendered) {
    const Mask want = darkMask(picture), got = darkMask(rendered);
    const std::vector<std::vector<int>> areas = areaSizes(want);
    const int h = picture.height(), w = picture.width();
    Agreement a;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            a.inked += got[y][x];
            // Beyond the edges all is light: a dark area ends there in an outline.
            bool nearOutline = false;
            for (int v = y - 1; v <= y + 1; ++v)
                for (int u = x - 1; u <= x + 1; ++u)
                    nearOutline |= (u >= 0 && v >= 0 && u < w && v < h ? want[v][u] : 0) != want[y][x];
            if (!nearOutline && areas[y][x] > 2 && got[y][x] != want[y][x]) ++a.disagreeing;
        }
    return a;
}

// The file rasterised at one pixel a unit, over white.
WorkBitmap rendered(const TempFolder& dir, const std::string& file, PictureKind kind) {
    const std::string png = dir / "rendered.png";
    const std::string command = kind == PictureKind::Svg
                                    ? "rsvg-convert -b white -o '" + png + "' '" + file + "'"
                                    : "pdftoppm -r 72 -png -singlefile '" + file + "' '" + dir / "rendered" + "'";
    if (std::system(command.c_str()) != 0) throw std::runtime_error("could not run: " + command);
    return readPngFile(png);
}

WorkBitmap checkerboard(int w, int h) {
    WorkBitmap p(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if ((x + y) % 2) p.setPixel(x, y, kBlack);
    return p;
}

WorkBitmap thinLines() {
    WorkBitmap p(60, 40);
    for (int i = 5; i < 55; ++i) p.setPixel(i, 8, kBlack);             // across
    for (int i = 5; i < 35; ++i) p.setPixel(30, i, kBlack);            // down
    for (int i = 0; i < 30; ++i) p.setPixel(10 + i, 12 + i / 2, kBlack);  // a shallow slope
    return p;
}

class TracedFile : public ::testing::TestWithParam<PictureKind> {};

}  // namespace

TEST_P(TracedFile, ShowsTheDarkPixelsOfRealPicturesAtOnePixelAUnit) {
    const PictureKind kind = GetParam();
    const WorkBitmap photo = readJpegFile(std::string(HUELINE_TEST_DATA) + "/jpeg/misc/image-rs_progressive_cat.jpg");
    WorkBitmap black1x1(1, 1);
    black1x1.setPixel(0, 0, kBlack);
    struct Case {
        const char* what;
        WorkBitmap picture;
    };
    const std::vector<Case> cases = {
        {"pen-and-ink result", penAndInkBlackWhite(photo)},
        {"colour photo, traced at the B&W threshold", photo},
        {"thin lines", thinLines()},
        {"one-pixel checkerboard", checkerboard(40, 30)},
        {"all white", WorkBitmap(30, 20)},
        {"1 x 1 black", black1x1},
    };
    const TempFolder dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string file = dir / (kind == PictureKind::Svg ? "traced.svg" : "traced.pdf");
        writePictureFile(c.picture, file, kind);
        const WorkBitmap page = rendered(dir, file, kind);
        ASSERT_EQ(page.width(), c.picture.width());
        ASSERT_EQ(page.height(), c.picture.height());
        const Agreement a = compare(c.picture, page);
        EXPECT_EQ(a.disagreeing, 0);
        const std::vector<std::uint8_t> bytes = readFileBytes(file);
        const std::string text(bytes.begin(), bytes.end());
        EXPECT_NE(text.find(kind == PictureKind::Svg ? "</svg>" : "%%EOF"), std::string::npos);
        const int area = c.picture.width() * c.picture.height();
        if (std::strcmp(c.what, "all white") == 0 || std::strcmp(c.what, "1 x 1 black") == 0) {
            // Nothing to fill (a lone pixel is a speck): a page with no path.
            EXPECT_EQ(a.inked, 0);
            if (kind == PictureKind::Svg) {
                EXPECT_EQ(text.find("<path"), std::string::npos);
            }
        } else if (std::strcmp(c.what, "one-pixel checkerboard") == 0) {
            // No area of either colour is bigger than a pixel, so every pixel
            // lies on an outline and none is held to its colour. The tracer
            // joins the diagonal pixels into nested rings: the page keeps
            // about half its ink, neither dropped as specks nor flooded.
            EXPECT_GT(a.inked, area / 4);
            EXPECT_LT(a.inked, area * 3 / 4);
        } else {
            EXPECT_GT(a.inked, 0);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(SvgAndPdf, TracedFile, ::testing::Values(PictureKind::Svg, PictureKind::Pdf),
                         [](const auto& info) { return info.param == PictureKind::Svg ? "Svg" : "Pdf"; });

TEST(TracedFiles, RefuseAnEmptyPictureAFolderThatIsNotThereAndNoiseLeavingNothing) {
    const TempFolder dir;
    // A checkerboard of 3000 x 3000 has an outline side at nearly every
    // side of every pixel, 18 million in all: refused before the tracer
    // takes its gigabytes.
    WorkBitmap fine = WorkBitmap::uninitialized24(3000, 3000);
    for (int y = 0; y < fine.height(); ++y)
        for (int x = 0; x < fine.width(); ++x) std::memset(fine.row(y) + 3 * x, (x + y) % 2 ? 0 : 255, 3);
    EXPECT_THROW(writePictureFile(fine, dir / "noise.svg", PictureKind::Svg), TooDetailedToTrace);
    EXPECT_TRUE(TracedOutlines(WorkBitmap()).empty());
    for (const PictureKind kind : {PictureKind::Svg, PictureKind::Pdf}) {
        EXPECT_THROW(writePictureFile(WorkBitmap(), dir / "empty.svg", kind), UserError);
        const std::string missing = dir / "no such folder/drawing.svg";
        try {
            writePictureFile(WorkBitmap(8, 8), missing, kind);
            ADD_FAILURE() << "a file was written into a folder that does not exist";
        } catch (const FileError& e) {
            EXPECT_EQ(e.file(), missing);
        }
    }
    EXPECT_TRUE(dir.entries().empty());
}
