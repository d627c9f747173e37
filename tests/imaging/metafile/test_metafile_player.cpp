// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "imaging/picture/errors.h"
#include "imaging/codecs/file_io.h"
#include "imaging/metafile/gdi.h"
#include "imaging/metafile/player.h"
#include "imaging/picture/progress.h"
#include "support/metafile_test_support.h"

namespace hueline {
namespace {

using testing::Bytes;
using testing::Call;
using testing::EmfBuilder;
using testing::RecordingSurface;
using testing::WmfBuilder;
namespace fs = std::filesystem;

const std::string kDir = std::string(HUELINE_TEST_DATA) + "/metafile/";

RecordingSurface play(const std::vector<std::uint8_t>& bytes, PictureKind kind) {
    RecordingSurface s;
    playMetafile(bytes, "test", kind, s);
    return s;
}

// The bounding box of a path's points.
struct Box {
    double l = 1e300, t = 1e300, r = -1e300, b = -1e300;
};
Box boxOf(const meta::Path& p) {
    Box bx;
    for (const auto& pt : p.points) {
        bx.l = std::min(bx.l, pt.x), bx.t = std::min(bx.t, pt.y);
        bx.r = std::max(bx.r, pt.x), bx.b = std::max(bx.b, pt.y);
    }
    return bx;
}

// ------------------------------------------------------------ natural size

TEST(MetafileSize, WindowsMetafileBoundingBoxInInches) {
    // 1000 units per inch: 2000 x 500 units are 2 x 0.5 inch, 192 x 48 pixels.
    EXPECT_EQ(metafileNaturalSize(WmfBuilder(-1000, 100, 1000, 600, 1000).build(), "a.wmf", PictureKind::Wmf),
              (MetafileSize{192, 48}));
    // 0 units per inch counts as 96: the box is in pixels already.
    EXPECT_EQ(metafileNaturalSize(WmfBuilder(0, 0, 150, 75, 0).build(), "a.wmf", PictureKind::Wmf),
              (MetafileSize{150, 75}));
    // Rounded to the nearest pixel: 3096 / 606 * 96 = 490.45, 4127 / 606 * 96 = 653.8.
    EXPECT_EQ(metafileNaturalSize(WmfBuilder(-30, -40, 3066, 4087, 606).build(), "a.wmf", PictureKind::Wmf),
              (MetafileSize{490, 654}));
}

TEST(MetafileSize, EnhancedMetafileFrameTimesDevicePixelsPerMillimetre) {
    // 100 mm x 50 mm on a device of 4 px/mm horizontally, 2 px/mm vertically.
    EXPECT_EQ(metafileNaturalSize(EmfBuilder(10000, 5000, 400, 200, 100, 100).build(), "a.emf", PictureKind::Emf),
              (MetafileSize{400, 100}));
    // A frame of 0.01 mm gives an empty picture, not an error.
    EXPECT_EQ(metafileNaturalSize(EmfBuilder(1, 1, 1920, 1080, 309, 173).build(), "a.emf", PictureKind::Emf),
              (MetafileSize{0, 0}));
    // So does one of no width, however tall (not a picture of a million empty rows).
    EXPECT_EQ(metafileNaturalSize(EmfBuilder(0, 1000000, 100, 100, 1, 1).build(), "a.emf", PictureKind::Emf),
              (MetafileSize{0, 0}));
}

TEST(MetafileSize, PicturesOverTheLimitAreRefusedFromTheHeader) {
    const auto wmf = WmfBuilder(0, 0, 30000, 30000, 10).build();  // 288000 x 288000 pixels
    EXPECT_THROW(metafileNaturalSize(wmf, "huge.wmf", PictureKind::Wmf), FileError);
    const auto emf = EmfBuilder(29699, 20999, 10205, 13181, 216, 279).build();  // 14031 x 9921
    EXPECT_EQ(metafileNaturalSize(emf, "big.emf", PictureKind::Emf), (MetafileSize{14031, 9921}));
    try {
        metafileNaturalSize(emf, "big.emf", PictureKind::Emf, 1000000);
        FAIL() << "a picture over the given limit must be refused";
    } catch (const FileError& e) {
        EXPECT_EQ(e.file(), "big.emf");
        EXPECT_NE(std::string(e.what()).find("megapixels"), std::string::npos) << e.what();
    }
    RecordingSurface s;
    EXPECT_THROW(playMetafile(wmf, "huge.wmf", PictureKind::Wmf, s), FileError);
    EXPECT_TRUE(s.calls.empty());
}

// Every real file of the set has the size its manifest line gives.
TEST(MetafileSize, EveryFileOfTheSetMatchesItsManifest) {
    std::ifstream manifest(kDir + "MANIFEST.tsv");
    ASSERT_TRUE(manifest) << "no manifest in " << kDir;
    std::string line;
    std::getline(manifest, line);
    int checked = 0, refused = 0, opened = 0;
    while (std::getline(manifest, line)) {
        std::istringstream cols(line);
        std::string file, bytes, kind, facts;
        std::getline(cols, file, '\t'), std::getline(cols, bytes, '\t'), std::getline(cols, kind, '\t');
        std::getline(cols, facts);
        const auto data = readFileBytes(kDir + file);
        const PictureKind k = kind == "WMF" ? PictureKind::Wmf : PictureKind::Emf;
        if (file.rfind("wmf-nonplaceable/", 0) == 0) {
            // The window each of them sets, one unit a pixel.
            const MetafileSize size = metafileNaturalSize(data, file, k);
            EXPECT_TRUE(size.width > 0 && size.height > 0) << file;
            ++opened;
            continue;
        }
        if (facts.rfind("not-EMF", 0) == 0) {
            EXPECT_THROW(metafileNaturalSize(data, file, k), FileError) << file;
            ++refused;
            continue;
        }
        if (file.rfind("emf-bad/", 0) == 0) continue;  // their headers may be the broken part
        const std::string key = k == PictureKind::Wmf ? "natural@96dpi~" : "frame~";
        const auto at = facts.find(key);
        ASSERT_NE(at, std::string::npos) << line;
        int w = 0, h = 0;
        ASSERT_EQ(std::sscanf(facts.c_str() + at + key.size(), "%dx%d", &w, &h), 2) << line;
        EXPECT_EQ(metafileNaturalSize(data, file, k), (MetafileSize{w, h})) << file;
        ++checked;
    }
    EXPECT_GT(checked, 80);
    EXPECT_EQ(opened, 8);   // the non-placeable files
    EXPECT_EQ(refused, 1);  // one that is no metafile at all
}

// ------------------------------------------------------------ headers

TEST(MetafileHeader, OnlyPlaceableWindowsMetafilesWithTheirChecksumAreRead) {
    auto good = WmfBuilder(0, 0, 100, 100, 96).build();
    EXPECT_NO_THROW(metafileNaturalSize(good, "a.wmf", PictureKind::Wmf));

    // A standard metafile without the placeable header.
    std::vector<std::uint8_t> plain(good.begin() + 22, good.end());
    EXPECT_THROW(metafileNaturalSize(plain, "plain.wmf", PictureKind::Wmf), FileError);

    // Any changed header byte breaks the checksum.
    auto bad = good;
    bad[10] ^= 1;
    try {
        metafileNaturalSize(bad, "sum.wmf", PictureKind::Wmf);
        FAIL();
    } catch (const FileError& e) {
        EXPECT_NE(std::string(e.what()).find("checksum"), std::string::npos) << e.what();
    }
    bad = good;
    bad[20] ^= 0x80;  // the checksum itself
    EXPECT_THROW(metafileNaturalSize(bad, "sum.wmf", PictureKind::Wmf), FileError);

    // Cut inside the placeable header or the standard one.
    for (std::size_t n : {0u, 3u, 21u, 22u, 39u})
        EXPECT_THROW(metafileNaturalSize(std::span(good).first(n), "cut.wmf", PictureKind::Wmf), FileError) << n;

    // An inverted bounding box.
    EXPECT_THROW(metafileNaturalSize(WmfBuilder(100, 0, 0, 100, 96).build(), "inv.wmf", PictureKind::Wmf),
                 FileError);
}

// Without the placeable header a file is as large as the window it sets,
// or else as the box around what it draws, one unit a pixel.
TEST(MetafileHeader, WindowsMetafilesWithoutPlaceableHeaderTakeTheirSizeFromTheirRecords) {
    const auto standard = [](const WmfBuilder& w) {
        const auto b = w.build();
        return std::vector<std::uint8_t>(b.begin() + 22, b.end());
    };
    // Window origin (-20, 300), extent (200, -100): y runs up.
    const auto windowed = standard(WmfBuilder(0, 0, 1, 1, 96)
                                       .rec(0x0103, {8})
                                       .rec(0x020B, {300, -20})
                                       .rec(0x020C, {-100, 200})
                                       .rec(0x041B, {250, 80, 260, -20}));  // rectangle (-20, 260)-(80, 250)
    EXPECT_EQ(metafileNaturalSize(windowed, "w.wmf", PictureKind::Wmf), (MetafileSize{200, 100}));
    const auto expectFilled = [](const std::vector<std::uint8_t>& wmf, double l, double t, double r, double b) {
        const Box box = boxOf(play(wmf, PictureKind::Wmf).of(Call::Fill).at(0).path);
        EXPECT_NEAR(box.l, l, 1);
        EXPECT_NEAR(box.t, t, 1);
        EXPECT_NEAR(box.r, r, 1);
        EXPECT_NEAR(box.b, b, 1);
    };
    expectFilled(windowed, 0, 40, 100, 50);

    const auto drawn = standard(WmfBuilder(0, 0, 1, 1, 96).rec(0x041B, {70, 110, 20, 10}));  // (10, 20)-(110, 70)
    EXPECT_EQ(metafileNaturalSize(drawn, "d.wmf", PictureKind::Wmf), (MetafileSize{100, 50}));
    expectFilled(drawn, 0, 0, 100, 50);

    // No extent and nothing drawn: refused as before.
    const auto nothing = standard(WmfBuilder(0, 0, 1, 1, 96).rec(0x0201, {0, 0}));
    try {
        metafileNaturalSize(nothing, "n.wmf", PictureKind::Wmf);
        FAIL();
    } catch (const FileError& e) {
        EXPECT_NE(std::string(e.what()).find("not a placeable Windows metafile"), std::string::npos) << e.what();
    }
}

TEST(MetafileHeader, EnhancedMetafileHeaderIsChecked) {
    const auto good = EmfBuilder(10000, 5000, 100, 50, 100, 50).build();
    EXPECT_NO_THROW(metafileNaturalSize(good, "a.emf", PictureKind::Emf));
    auto with = [&](std::size_t at, std::uint32_t v) {
        auto b = good;
        for (int i = 0; i < 4; ++i) b[at + i] = std::uint8_t(v >> (8 * i));
        return b;
    };
    const std::vector<std::pair<std::size_t, std::uint32_t>> broken = {
        {0, 2},                 // not a header record
        {40, 0x20202020},       // no signature
        {4, 0xFFFF0000},        // header size past the end
        {4, 40},                // header size below its fixed part
        {72, 0},                // no device pixels
        {80, 0},                // no device millimetres
        {32, std::uint32_t(-5)},  // frame right of left... inverted
    };
    for (const auto& [at, v] : broken) {
        const auto b = with(at, v);
        EXPECT_THROW(metafileNaturalSize(b, "bad.emf", PictureKind::Emf), FileError) << at;
    }
    // A description of 10 characters starting inside the fixed header.
    auto described = with(64, 80);
    described[60] = 10;
    EXPECT_THROW(metafileNaturalSize(described, "bad.emf", PictureKind::Emf), FileError);
    for (std::size_t n : {0u, 8u, 87u})
        EXPECT_THROW(metafileNaturalSize(std::span(good).first(n), "cut.emf", PictureKind::Emf), FileError) << n;
    // A Windows metafile is not an enhanced one and the other way round.
    EXPECT_THROW(metafileNaturalSize(WmfBuilder(0, 0, 10, 10, 96).build(), "x.emf", PictureKind::Emf), FileError);
    EXPECT_THROW(metafileNaturalSize(good, "x.wmf", PictureKind::Wmf), FileError);
}

// ------------------------------------------------------------ mapping

TEST(MetafileMapping, WindowsMetafileWindowMapsOntoThePicture) {
    // 96 x 48 pixels for a 1000 x 500 unit box.
    WmfBuilder w(0, 0, 1000, 500, 1000);
    w.rec(0x041B, {500, 1000, 0, 0});  // rectangle over the whole box: bottom, right, top, left
    w.rec(0x020B, {100, 200});          // window origin y, x
    w.rec(0x020C, {250, 500});          // window extent y, x: half the box
    w.rec(0x041B, {350, 700, 100, 200});
    w.rec(0x020C, {0, 500});            // a zero extent is refused
    w.rec(0x041B, {350, 700, 100, 200});
    const auto s = play(w.build(), PictureKind::Wmf);
    const auto fills = s.of(Call::Fill);
    ASSERT_EQ(fills.size(), 3u);
    for (const auto& f : fills) {
        const Box b = boxOf(f.path);
        EXPECT_NEAR(b.l, 0, 1e-9); EXPECT_NEAR(b.t, 0, 1e-9);
        EXPECT_NEAR(b.r, 96, 1e-9); EXPECT_NEAR(b.b, 48, 1e-9);
    }
    // The default brush is white, the default pen black and one pixel wide.
    EXPECT_EQ(fills[0].brush.color, kWhite);
    ASSERT_EQ(s.of(Call::Stroke).size(), 3u);
    EXPECT_EQ(s.of(Call::Stroke)[0].pen.color, kBlack);
    EXPECT_LE(s.of(Call::Stroke)[0].pen.width, 1.0);
}

TEST(MetafileMapping, EnhancedMetafileModes) {
    // 100 x 50 pixels at 1 px/mm.
    EmfBuilder e(10000, 5000, 100, 50, 100, 50);
    e.rec(43, {10, 10, 20, 20});   // text mode: reference pixels
    e.rec(17, {2});                // low metric: 0.1 mm, y up
    e.rec(43, {0, 0, 100, -200});  // 10 mm x 20 mm below the origin
    e.rec(17, {8});                // anisotropic
    e.rec(9, {1000, 1000});        // window extent
    e.rec(11, {100, -50});         // viewport extent: y flips
    e.rec(12, {0, 50});            // viewport origin: bottom left
    e.rec(43, {0, 0, 500, 500});
    e.rec(17, {7});                // isotropic keeps the smaller scale on both axes
    e.rec(43, {0, 0, 500, 500});
    const auto fills = play(e.build(), PictureKind::Emf).of(Call::Fill);
    ASSERT_EQ(fills.size(), 4u);
    Box b = boxOf(fills[0].path);
    EXPECT_NEAR(b.l, 10, 1e-9); EXPECT_NEAR(b.t, 10, 1e-9); EXPECT_NEAR(b.r, 20, 1e-9); EXPECT_NEAR(b.b, 20, 1e-9);
    b = boxOf(fills[1].path);
    EXPECT_NEAR(b.l, 0, 1e-9); EXPECT_NEAR(b.t, 0, 1e-9); EXPECT_NEAR(b.r, 10, 1e-9); EXPECT_NEAR(b.b, 20, 1e-9);
    b = boxOf(fills[2].path);  // x 0..50, y 50 - 25 .. 50
    EXPECT_NEAR(b.l, 0, 1e-9); EXPECT_NEAR(b.r, 50, 1e-9); EXPECT_NEAR(b.t, 25, 1e-9); EXPECT_NEAR(b.b, 50, 1e-9);
    b = boxOf(fills[3].path);  // scale 0.05 on both axes
    EXPECT_NEAR(b.r - b.l, 25, 1e-9); EXPECT_NEAR(b.b - b.t, 25, 1e-9);
}

TEST(MetafileMapping, FrameOffsetAndWorldTransforms) {
    // The frame starts 10 mm in: reference pixel 10 lands on the picture's column 0.
    EmfBuilder e(3000, 2000, 100, 100, 100, 100);
    auto bytes = e.build();
    bytes[24] = 0xE8, bytes[25] = 0x03;  // frame left = 1000 (10 mm)
    bytes[28] = 0xE8, bytes[29] = 0x03;  // frame top
    EXPECT_EQ(metafileNaturalSize(bytes, "f.emf", PictureKind::Emf), (MetafileSize{20, 10}));

    EmfBuilder w(10000, 10000, 100, 100, 100, 100);
    Bytes xf;
    xf.f32(2).f32(0).f32(0).f32(3).f32(5).f32(7);
    w.rec(35, xf);                          // set: scale 2, 3, move 5, 7
    w.rec(43, {0, 0, 10, 10});
    Bytes move;
    move.f32(1).f32(0).f32(0).f32(1).f32(1).f32(1).u32(2);
    w.rec(36, move);                        // left-multiply: move by 1 first
    w.rec(43, {0, 0, 10, 10});
    Bytes nan;
    nan.f32(NAN).f32(0).f32(0).f32(1).f32(0).f32(0).u32(4);
    w.rec(36, nan);                         // refused
    Bytes singular;
    singular.f32(0).f32(0).f32(0).f32(0).f32(0).f32(0);
    w.rec(35, singular);                    // refused
    w.rec(43, {0, 0, 10, 10});
    Bytes reset;
    reset.f32(0).f32(0).f32(0).f32(0).f32(0).f32(0).u32(1);
    w.rec(36, reset);                       // identity
    w.rec(43, {0, 0, 10, 10});
    const auto fills = play(w.build(), PictureKind::Emf).of(Call::Fill);
    ASSERT_EQ(fills.size(), 4u);
    Box b = boxOf(fills[0].path);
    EXPECT_NEAR(b.l, 5, 1e-6); EXPECT_NEAR(b.t, 7, 1e-6); EXPECT_NEAR(b.r, 25, 1e-6); EXPECT_NEAR(b.b, 37, 1e-6);
    b = boxOf(fills[1].path);
    EXPECT_NEAR(b.l, 7, 1e-6); EXPECT_NEAR(b.t, 10, 1e-6);
    b = boxOf(fills[2].path);
    EXPECT_NEAR(b.l, 7, 1e-6); EXPECT_NEAR(b.t, 10, 1e-6);
    b = boxOf(fills[3].path);
    EXPECT_NEAR(b.l, 0, 1e-6); EXPECT_NEAR(b.r, 10, 1e-6);
}

// ------------------------------------------------------------ objects and state

TEST(MetafileObjects, WindowsTableTakesTheLowestFreeSlot) {
    WmfBuilder w(0, 0, 100, 100, 96, 3);
    Bytes red, green, blue;
    red.u16(0).u32(0x0000FF).u16(0);
    green.u16(0).u32(0x00FF00).u16(0);
    blue.u16(0).u32(0xFF0000).u16(0);
    w.recBytes(0x02FC, red);    // slot 0
    w.recBytes(0x02FC, green);  // slot 1
    w.rec(0x01F0, {0});         // delete slot 0
    w.recBytes(0x02FC, blue);   // takes slot 0 again
    w.rec(0x012D, {0});
    w.rec(0x041B, {10, 10, 0, 0});
    w.rec(0x012D, {1});
    w.rec(0x041B, {10, 10, 0, 0});
    w.rec(0x012D, {7});         // outside the table: ignored
    w.rec(0x041B, {10, 10, 0, 0});
    w.rec(0x01F0, {1});
    w.rec(0x012D, {1});         // deleted: ignored
    w.rec(0x041B, {10, 10, 0, 0});
    Bytes nullBrush;
    nullBrush.u16(1).u32(0).u16(0);
    w.recBytes(0x02FC, nullBrush);
    w.rec(0x012D, {1});
    w.rec(0x041B, {10, 10, 0, 0});  // hollow: outline only
    const auto s = play(w.build(), PictureKind::Wmf);
    const auto fills = s.of(Call::Fill);
    ASSERT_EQ(fills.size(), 4u);
    EXPECT_EQ(fills[0].brush.color, 0xFF0000u);
    EXPECT_EQ(fills[1].brush.color, 0x00FF00u);
    EXPECT_EQ(fills[2].brush.color, 0x00FF00u);
    EXPECT_EQ(fills[3].brush.color, 0x00FF00u);
    EXPECT_EQ(s.of(Call::Stroke).size(), 5u);
}

TEST(MetafileObjects, EnhancedHandlesStockObjectsAndPens) {
    EmfBuilder e(10000, 10000, 100, 100, 100, 100, 4);
    e.rec(38, {1, 1 /*dash*/, 3, 0, 0x0000FF});   // pen in handle 1
    e.rec(39, {2, 2 /*hatched*/, 0x00FF00, 4});   // brush in handle 2
    e.rec(39, {9, 0, 0x123456, 0});               // handle beyond the table: dropped
    e.rec(37, {1}), e.rec(37, {2}), e.rec(37, {9});
    e.rec(43, {0, 0, 10, 10});
    e.rec(37, {std::int32_t(0x80000005)});        // stock hollow brush
    e.rec(37, {std::int32_t(0x80000008)});        // stock null pen
    e.rec(43, {0, 0, 10, 10});                    // draws nothing
    e.rec(37, {std::int32_t(0x80000004)});        // stock black brush
    e.rec(40, {2});                               // deleting keeps the selected copy
    e.rec(37, {2});
    e.rec(43, {0, 0, 10, 10});
    Bytes ext;  // extended geometric pen: flat caps, mitred joins, 4 units wide
    ext.u32(3).u32(0).u32(0).u32(0).u32(0).u32(0x10000 | 0x200 | 0x2000).u32(4).u32(0).u32(0x00FFFF).u32(0).u32(0);
    e.rec(95, ext);
    e.rec(37, {3});
    e.rec(54, {5, 5});
    const auto s = play(e.build(), PictureKind::Emf);
    const auto fills = s.of(Call::Fill), strokes = s.of(Call::Stroke);
    ASSERT_EQ(fills.size(), 2u);
    EXPECT_EQ(fills[0].brush.style, meta::BrushStyle::Hatched);
    EXPECT_EQ(fills[0].brush.hatch, 4);
    EXPECT_EQ(fills[0].brush.color, 0x00FF00u);
    EXPECT_EQ(fills[1].brush.color, kBlack);
    ASSERT_EQ(strokes.size(), 2u);
    // A plain pen 3 units wide draws solid whatever its style.
    EXPECT_EQ(strokes[0].pen.style, meta::PenStyle::Solid);
    EXPECT_DOUBLE_EQ(strokes[0].pen.width, 3);
    EXPECT_EQ(strokes[1].pen.cap, meta::LineCap::Flat);
    EXPECT_EQ(strokes[1].pen.join, meta::LineJoin::Miter);
    EXPECT_DOUBLE_EQ(strokes[1].pen.width, 4);
    EXPECT_EQ(strokes[1].pen.color, 0x00FFFFu);
}

TEST(MetafileObjects, SaveAndRestoreAreBoundedAndChecked) {
    EmfBuilder e(10000, 10000, 100, 100, 100, 100);
    e.rec(39, {1, 0, 0x0000FF, 0});
    e.rec(33, {});                 // save (level 1), white brush
    e.rec(37, {1});
    e.rec(33, {});                 // save (level 2), red brush
    e.rec(37, {std::int32_t(0x80000004)});
    e.rec(34, {-5});               // more levels than saved: ignored
    e.rec(34, {0});                // ignored
    e.rec(43, {0, 0, 1, 1});       // black
    e.rec(34, {-1});
    e.rec(43, {0, 0, 1, 1});       // red
    e.rec(34, {1});
    e.rec(43, {0, 0, 1, 1});       // white
    for (int i = 0; i < 1000; ++i) e.rec(33, {});
    for (int i = 0; i < 1000; ++i) e.rec(34, {-1});
    const auto s = play(e.build(), PictureKind::Emf);
    const auto fills = s.of(Call::Fill);
    ASSERT_EQ(fills.size(), 3u);
    EXPECT_EQ(fills[0].brush.color, kBlack);
    EXPECT_EQ(fills[1].brush.color, 0x0000FFu);
    EXPECT_EQ(fills[2].brush.color, kWhite);
    // Saves stop at the cap; every save the surface saw is restored.
    const auto saves = s.of(Call::Save).size(), restores = s.of(Call::Restore).size();
    EXPECT_EQ(saves, 2u + std::size_t(meta::GdiContext::kMaxSavedStates));
    EXPECT_EQ(saves, restores);
}

std::string refusal(const std::function<void()>& f) {
    try {
        f();
    } catch (const FileError& e) {
        return e.what();
    }
    return {};
}

TEST(MetafileHeader, FilesOfOnlyEmfPlusRecordsAreRefusedWithAMessage) {
    // A comment carrying one EMF+ record (a header), as a dual file has it.
    Bytes plus;
    plus.u32(16).u32(0x2B464D45).u16(0x4001).u16(1).u32(12).u32(0);
    EmfBuilder only(10000, 10000, 100, 100, 100, 100);
    only.rec(70, plus).rec(17, {1});
    RecordingSurface s;
    const std::string why = refusal([&] { playMetafile(only.build(), "plus.emf", PictureKind::Emf, s); });
    EXPECT_EQ(why, "plus.emf: the metafile holds only EMF+ drawing records, which Hueline does not draw");
    // With plain records beside them, those are drawn; a file with neither is just empty.
    EmfBuilder dual(10000, 10000, 100, 100, 100, 100);
    dual.rec(70, plus).rec(43, {10, 10, 50, 50});
    EXPECT_EQ(play(dual.build(), PictureKind::Emf).of(Call::Fill).size(), 1u);
    EXPECT_TRUE(play(EmfBuilder(10000, 10000, 100, 100, 100, 100).build(), PictureKind::Emf).calls.empty());
}

// ------------------------------------------------------------ work budget

// A 1000 x 1000 picture filled by one polygon zigzagging from top to
// bottom and back: every edge crosses every row.
std::vector<std::uint8_t> zigzag(int points) {
    Bytes body;
    body.i32(0).i32(0).i32(1000).i32(1000).u32(std::uint32_t(points));
    for (int i = 0; i < points; ++i) body.i16(std::int16_t(i * 1000 / points)).i16(i % 2 ? 1000 : 0);
    EmfBuilder e(100000, 100000, 1000, 1000, 1000, 1000);
    return e.rec(86, body).build();
}

TEST(MetafileBudget, ShapesTooCostlyToDrawAreRefusedBeforeTheyStart) {
    // 25000 edges across all 1000 rows would keep a painter busy for minutes.
    RecordingSurface s;
    const std::string why = refusal([&] { playMetafile(zigzag(25000), "zig.emf", PictureKind::Emf, s); });
    EXPECT_NE(why.find("zig.emf: drawing it would take longer than 20 seconds"), std::string::npos) << why;
    EXPECT_TRUE(s.of(Call::Fill).empty());
    // A tenth of it is drawn.
    RecordingSurface fine;
    playMetafile(zigzag(2500), "zig.emf", PictureKind::Emf, fine);
    EXPECT_EQ(fine.of(Call::Fill).size(), 1u);
}

TEST(MetafileBudget, AllBandsOfAPictureShareOneBudget) {
    // One play fits in the budget of a second; the same play again, as the
    // next band of a tall picture would, does not.
    const auto bytes = zigzag(1000);
    meta::PlayBudget budget("bands.emf", std::chrono::seconds(1));
    RecordingSurface s;
    playMetafile(bytes, "bands.emf", PictureKind::Emf, s, budget, {0, 1000, 0, 2});
    EXPECT_EQ(s.of(Call::Fill).size(), 1u);
    EXPECT_NE(refusal([&] { playMetafile(bytes, "bands.emf", PictureKind::Emf, s, budget, {0, 1000, 1, 2}); }), "");
    EXPECT_EQ(s.of(Call::Fill).size(), 1u);
}

TEST(MetafileBudget, PlayReportsProgressAndStopsWhenCancelled) {
    WmfBuilder w(0, 0, 100, 100, 96);
    for (int i = 0; i < 500; ++i) w.rec(0x041B, {90, 90, 10, 10});
    const auto bytes = w.build();
    std::vector<double> seen;
    {
        ProgressScope watch([&](double f) { return seen.push_back(f), true; });
        RecordingSurface s;
        playMetafile(bytes, "steps.wmf", PictureKind::Wmf, s);
        EXPECT_EQ(s.of(Call::Fill).size(), 500u);
    }
    ASSERT_FALSE(seen.empty());
    for (double f : seen) EXPECT_TRUE(f >= 0 && f <= 1) << f;
    // Cancelled is no error: it is not a FileError, and nothing is drawn after it.
    ProgressScope stop([](double) { return false; });
    RecordingSurface s;
    EXPECT_THROW(playMetafile(bytes, "steps.wmf", PictureKind::Wmf, s), Cancelled);
    EXPECT_LT(s.of(Call::Fill).size(), 500u);
}

}  // namespace
}  // namespace hueline
