// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QRawFont>

#include <filesystem>
#include <map>

#include <sys/resource.h>
#include <unistd.h>

#include "support/metafile_test_support.h"
#include "imaging/picture/errors.h"
#include "imaging/codecs/file_io.h"
#include "imaging/metafile/player.h"
#include "imaging/metafile/symbol_fonts.h"
#include "render/metafile_painter.h"
#include "render/picture_loader.h"

namespace hueline {
namespace {

using testing::Bytes;
using testing::EmfBuilder;
using testing::WmfBuilder;
namespace fs = std::filesystem;

const std::string kDir = std::string(HUELINE_TEST_DATA) + "/metafile/";

// Text needs a GUI application; the offscreen platform gives one without a
// display.
class MetafilePainter : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!QCoreApplication::instance()) {
            static int argc = 1;
            static char name[] = "render_tests";
            static char* argv[] = {name, nullptr};
            static QGuiApplication app(argc, argv);
        }
    }
};

ColorValue at(const WorkBitmap& b, int x, int y) { return b.pixel(x, y); }

// Counts the pixels of a rectangle that are not white.
int inkIn(const WorkBitmap& b, int l, int t, int r, int bo) {
    int n = 0;
    for (int y = std::max(0, t); y < std::min(b.height(), bo); ++y)
        for (int x = std::max(0, l); x < std::min(b.width(), r); ++x) n += at(b, x, y) != kWhite;
    return n;
}

// A 24-bit bottom-up DIB of 2 x 2 pixels: bottom row blue, green; top row
// red, white.
Bytes twoByTwoDib() {
    Bytes d;
    d.u32(40).i32(2).i32(2).u16(1).u16(24).u32(0).u32(16).i32(0).i32(0).u32(0).u32(0);
    d.u8(255).u8(0).u8(0).u8(0).u8(255).u8(0).u16(0);      // bottom: blue, green
    d.u8(0).u8(0).u8(255).u8(255).u8(255).u8(255).u16(0);  // top: red, white
    return d;
}

TEST_F(MetafilePainter, FillsAndOutlinesLandOnTheirPixels) {
    WmfBuilder w(0, 0, 100, 50, 96);
    Bytes red;
    red.u16(0).u32(0x0000FF).u16(0);
    w.recBytes(0x02FC, red);
    w.rec(0x012D, {0});
    Bytes nullPen;
    nullPen.u16(5).i16(0).i16(0).u32(0);
    w.recBytes(0x02FA, nullPen);
    w.rec(0x012D, {1});
    w.rec(0x041B, {40, 50, 10, 10});  // rectangle 10..50 x 10..40
    Bytes bluePen;
    bluePen.u16(0).i16(0).i16(0).u32(0xFF0000);
    w.recBytes(0x02FA, bluePen);
    w.rec(0x012D, {2});
    w.rec(0x0214, {45, 60});  // move to (60, 45)
    w.rec(0x0213, {45, 90});  // line to (90, 45)
    const WorkBitmap b = renderMetafile(w.build(), "shapes.wmf", PictureKind::Wmf);
    ASSERT_EQ(b.width(), 100);
    ASSERT_EQ(b.height(), 50);
    EXPECT_EQ(b.format(), PixelFormat::Bits24);
    EXPECT_EQ(at(b, 30, 25), makeColor(255, 0, 0));
    EXPECT_EQ(at(b, 10, 10), makeColor(255, 0, 0));
    EXPECT_EQ(at(b, 49, 39), makeColor(255, 0, 0));
    EXPECT_EQ(at(b, 50, 25), kWhite);
    EXPECT_EQ(at(b, 30, 40), kWhite);
    EXPECT_EQ(at(b, 5, 5), kWhite);
    EXPECT_EQ(at(b, 75, 45), makeColor(0, 0, 255));
    EXPECT_EQ(at(b, 75, 44), kWhite);
    EXPECT_EQ(at(b, 75, 46), kWhite);
    // Nothing else was drawn.
    EXPECT_EQ(inkIn(b, 0, 0, 100, 50), 40 * 30 + inkIn(b, 55, 40, 100, 50));
}

TEST_F(MetafilePainter, ClipRectanglesAndSavedClips) {
    EmfBuilder e(10000, 5000, 100, 50, 100, 50);
    e.rec(39, {1, 0, 0x000000, 0});
    e.rec(37, {1});
    e.rec(37, {std::int32_t(0x80000008)});  // null pen
    e.rec(33, {});                          // save
    e.rec(30, {20, 10, 40, 30});            // intersect
    e.rec(29, {25, 15, 30, 20});            // exclude a hole
    e.rec(43, {0, 0, 100, 50});
    e.rec(34, {-1});                        // restore: no clip
    e.rec(43, {60, 10, 70, 20});
    const WorkBitmap b = renderMetafile(e.build(), "clip.emf", PictureKind::Emf);
    ASSERT_EQ(b.width(), 100);
    EXPECT_EQ(inkIn(b, 0, 0, 100, 50), 20 * 20 - 5 * 5 + 10 * 10);
    EXPECT_EQ(at(b, 20, 10), kBlack);
    EXPECT_EQ(at(b, 27, 17), kWhite);
    EXPECT_EQ(at(b, 19, 10), kWhite);
    EXPECT_EQ(at(b, 65, 15), kBlack);
}

TEST_F(MetafilePainter, BitmapsAreStretchedOntoTheirRectangle) {
    EmfBuilder e(10000, 5000, 100, 50, 100, 50);
    const Bytes dib = twoByTwoDib();
    Bytes r;  // stretch-DIB record body after type and size
    r.i32(0).i32(0).i32(100).i32(50);                    // bounds
    r.i32(10).i32(10).i32(0).i32(0).i32(2).i32(2);       // dest x, y; source x, y, w, h
    r.u32(80).u32(40).u32(120).u32(16).u32(0).u32(0xCC0020).i32(20).i32(20);
    r.raw(std::vector<std::uint8_t>(dib.b.begin(), dib.b.begin() + 40));
    r.raw(std::vector<std::uint8_t>(dib.b.begin() + 40, dib.b.end()));
    e.rec(81, r);
    const WorkBitmap b = renderMetafile(e.build(), "dib.emf", PictureKind::Emf);
    EXPECT_EQ(at(b, 12, 12), makeColor(255, 0, 0));    // top left: red
    EXPECT_EQ(at(b, 27, 12), kWhite);                  // top right: white
    EXPECT_EQ(at(b, 12, 27), makeColor(0, 0, 255));    // bottom left: blue
    EXPECT_EQ(at(b, 27, 27), makeColor(0, 255, 0));    // bottom right: green
    EXPECT_EQ(at(b, 12, 9), kWhite);
    EXPECT_EQ(at(b, 12, 30), kWhite);
    EXPECT_EQ(inkIn(b, 0, 0, 100, 50), 300);
}

// The body of a record that makes font handle an Arial 20 pixels high.
Bytes arialFont(std::uint32_t handle) {
    Bytes font;
    font.u32(handle).i32(-20).i32(0).i32(0).i32(0).i32(400).u32(0).u32(0);
    for (char c : std::string("Arial")) font.u16(std::uint8_t(c));
    for (int i = 5; i < 32; ++i) font.u16(0);
    return font;
}

TEST_F(MetafilePainter, TextIsDrawnWhereItsAlignmentPutsIt) {
    EmfBuilder e(20000, 10000, 200, 100, 200, 100);
    e.rec(82, arialFont(1));
    e.rec(37, {1});
    e.rec(18, {1});  // transparent background
    auto text = [&](int x, int y, const std::u16string& s) {
        Bytes t;
        t.i32(0).i32(0).i32(200).i32(100).u32(1).f32(1).f32(1);
        t.i32(x).i32(y).u32(std::uint32_t(s.size())).u32(76).u32(0).i32(0).i32(0).i32(0).i32(0).u32(0);
        for (char16_t c : s) t.u16(c);
        e.rec(84, t);
    };
    text(10, 10, u"HHHH");    // top left at (10, 10)
    e.rec(22, {2 | 24});      // right, baseline
    text(190, 90, u"HH");
    const WorkBitmap b = renderMetafile(e.build(), "text.emf", PictureKind::Emf);
    // Capital H of a 20-pixel font: about 14 pixels tall, below the top.
    EXPECT_GT(inkIn(b, 10, 10, 80, 32), 100);
    EXPECT_EQ(inkIn(b, 0, 0, 200, 10), 0);
    EXPECT_EQ(inkIn(b, 0, 0, 9, 50), 0);
    // Right-aligned on the baseline: ends at x 190, sits above y 90.
    EXPECT_GT(inkIn(b, 150, 70, 191, 91), 50);
    EXPECT_EQ(inkIn(b, 191, 50, 200, 100), 0);
    EXPECT_EQ(inkIn(b, 100, 91, 200, 100), 0);
}

TEST_F(MetafilePainter, TextStoredAsGlyphIndicesIsDrawnWithTheFontsGlyphs) {
    // "Hag" once as characters and once as the installed face's glyph
    // numbers, both with the same advances: the same pixels.
    QFont qf(PainterSurface::familyFor("Arial", 0));
    qf.setPixelSize(20);
    const QList<quint32> ids = QRawFont::fromFont(qf).glyphIndexesForString("Hag");
    ASSERT_EQ(ids.size(), 3);
    auto picture = [&](bool asGlyphs) {
        EmfBuilder e(10000, 4000, 100, 40, 100, 40);
        Bytes font;
        font.u32(1).i32(-20).i32(0).i32(0).i32(0).i32(400).u32(0).u32(0);
        for (char c : std::string("Arial")) font.u16(std::uint8_t(c));
        for (int i = 5; i < 32; ++i) font.u16(0);
        e.rec(82, font).rec(37, {1}).rec(18, {1});
        Bytes t;
        t.i32(0).i32(0).i32(100).i32(40).u32(1).f32(1).f32(1);
        t.i32(10).i32(10).u32(3).u32(76).u32(asGlyphs ? 0x10 : 0).i32(0).i32(0).i32(0).i32(0).u32(84);
        for (int i = 0; i < 3; ++i) t.u16(asGlyphs ? ids[i] : u"Hag"[i]);
        t.pad(4).i32(14).i32(12).i32(12);
        return renderMetafile(e.rec(84, t).build(), "glyphs.emf", PictureKind::Emf);
    };
    const WorkBitmap chars = picture(false), glyphs = picture(true);
    EXPECT_GT(inkIn(glyphs, 0, 0, 100, 40), 100);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 100; ++x) ASSERT_EQ(at(glyphs, x, y), at(chars, x, y)) << x << "," << y;
}

// A font record of the face, height (negative: of the characters,
// positive: of the cell) and pitch-and-family byte.
Bytes faceFont(std::uint32_t handle, const std::string& face, int height, int pitchAndFamily = 0) {
    Bytes font;
    font.u32(handle).i32(height).i32(0).i32(0).i32(0).i32(400).u32(0).u8(0).u8(0).u8(0).u8(std::uint8_t(pitchAndFamily));
    for (std::size_t i = 0; i < 32; ++i) font.u16(i < face.size() ? std::uint8_t(face[i]) : 0);
    return font;
}

// An EXTTEXTOUTW record at (x, y) of the characters or glyph numbers in
// text, with one advance each.
Bytes textRecord(int x, int y, const std::u16string& text, bool glyphs, int advance) {
    Bytes t;
    t.i32(0).i32(0).i32(400).i32(100).u32(1).f32(1).f32(1);
    const std::uint32_t offDx = 76 + std::uint32_t((2 * text.size() + 3) / 4 * 4);
    t.i32(x).i32(y).u32(std::uint32_t(text.size())).u32(76).u32(glyphs ? 0x10 : 0).i32(0).i32(0).i32(0).i32(0).u32(offDx);
    for (char16_t c : text) t.u16(c);
    t.pad(4);
    for (std::size_t i = 0; i < text.size(); ++i) t.i32(advance);
    return t;
}

// The faces documents name most are drawn with fonts of their metrics,
// at the record's height of characters or of the cell, and at the
// record's advances.
TEST_F(MetafilePainter, CommonFacesAreDrawnWithFontsOfTheirMetrics) {
    EXPECT_EQ(PainterSurface::familyFor("Arial", 0), "Liberation Sans");
    EXPECT_EQ(PainterSurface::familyFor(" helvetica", 0), "Liberation Sans");
    EXPECT_EQ(PainterSurface::familyFor("Times New Roman", 0x12), "Liberation Serif");
    EXPECT_EQ(PainterSurface::familyFor("Courier New", 0x31), "Liberation Mono");
    EXPECT_EQ(PainterSurface::familyFor("Calibri", 0x22), "Carlito");
    EXPECT_EQ(PainterSurface::familyFor("Cambria", 0x12), "Caladea");
    EXPECT_EQ(PainterSurface::familyFor("Tahoma", 0x22), "Liberation Sans");
    EXPECT_EQ(PainterSurface::familyFor("No Such Roman", 0x12), "DejaVu Serif");
    EXPECT_EQ(PainterSurface::familyFor("No Such Fixed", 0x31), "DejaVu Sans Mono");
    EXPECT_EQ(PainterSurface::familyFor("Wingdings 3", 2), "Symbola");

    meta::Font cell;
    cell.face = "Calibri", cell.height = 40, cell.cellHeight = true;
    const QFontMetricsF m(PainterSurface::fontFor(cell));
    EXPECT_NEAR(m.ascent() + m.descent(), 40, 1);
    cell.cellHeight = false;
    EXPECT_EQ(PainterSurface::fontFor(cell).pixelSize(), 40);

    // Four narrow letters 30 pixels apart: the last one at x 100, however
    // narrow Carlito draws them.
    EmfBuilder e(20000, 5000, 200, 50, 200, 50);
    e.rec(82, faceFont(1, "Calibri", -30)).rec(37, {1}).rec(18, {1});
    const WorkBitmap b = renderMetafile(e.rec(84, textRecord(10, 5, u"iiii", false, 30)).build(), "dx.emf", PictureKind::Emf);
    for (int i = 0; i < 4; ++i) EXPECT_GT(inkIn(b, 10 + 30 * i, 0, 20 + 30 * i, 50), 20) << i;
    EXPECT_EQ(inkIn(b, 112, 0, 200, 50), 0);
}

// The text a play draws, face by face.
std::map<std::string, std::u16string> textByFace(const std::vector<std::uint8_t>& bytes, const std::string& name) {
    testing::RecordingSurface s;
    playMetafile(bytes, name, kindFromName(name), s);
    std::map<std::string, std::u16string> text;
    for (const auto& c : s.of(testing::Call::Text)) text[c.text.font.face] += c.text.text;
    return text;
}

// Expects every sign in text; gives how many Latin letters text holds.
long expectSigns(const std::u16string& text, const std::u16string& signs) {
    for (char16_t sign : signs) EXPECT_NE(text.find(sign), std::u16string::npos) << std::hex << int(sign);
    return std::count_if(text.begin(), text.end(), [](char16_t c) { return (c >= u'A' && c <= u'z') || (c >= 0xC0 && c <= 0xFF); });
}

// Wingdings 2 and 3 show their signs; a sign no installed font has is
// drawn as a box and counted once, however many bands draw it.
TEST_F(MetafilePainter, SignFontsShowTheirSignsAndCountWhatNoFontHas) {
    const std::string tables = "wmf/wmf2svg/symbol-font-tables.wmf";
    const auto bytes = readFileBytes(kDir + tables);
    const auto text = textByFace(bytes, tables);
    ASSERT_GT(text.at("Wingdings 2").size(), 150u);
    ASSERT_GT(text.at("Wingdings 3").size(), 150u);
    EXPECT_EQ(expectSigns(text.at("Wingdings 2"), u"\u2611\u2612\u2460\u277F\u25A3"), 0);
    EXPECT_EQ(expectSigns(text.at("Wingdings 3"), u"\u2B60\u2B63\u25B2\u25C0\u2BA8"), 0);
    // Equation fonts of Symbol's codes: the brace's middle piece.
    EXPECT_EQ(meta::symbolFaceText(meta::symbolFaceOf("Euclid Symbol"), u"\u00EF"), u"\u23AA");

    // Wingdings' om sign (code 0x5C) is in none of the installed fonts.
    for (int rows : {1 << 20, 40}) {
        std::string warnings;
        // Thin bands play the file many times: time enough for a slow (sanitized) build.
        renderMetafileInBands(bytes, tables, PictureKind::Wmf, std::chrono::minutes(2), rows, &warnings);
        EXPECT_EQ(warnings, tables + ": 1 sign of Wingdings could not be drawn") << rows;
    }
}

// Glyph numbers of a face that is not installed (Arial's, drawn with
// Liberation Sans) are drawn from the characters the file carries for the
// same run, before or after it; without them, as glyphs, with a warning.
TEST_F(MetafilePainter, GlyphNumbersOfAFaceNotInstalledAreDrawnFromTheFilesCharacters) {
    QFont qf(PainterSurface::familyFor("Arial", 0));
    qf.setPixelSize(20);
    const QList<quint32> ids = QRawFont::fromFont(qf).glyphIndexesForString("XWM");
    ASSERT_EQ(ids.size(), 3);
    const std::u16string wrong{char16_t(ids[0]), char16_t(ids[1]), char16_t(ids[2])};
    // The runs in order: true for the characters "Hag", false for the
    // glyph numbers of other letters, at the same place.
    auto picture = [&](std::initializer_list<bool> runs, std::string* warnings) {
        EmfBuilder e(10000, 4000, 100, 40, 100, 40);
        e.rec(82, faceFont(1, "Arial", -20)).rec(37, {1}).rec(18, {1});
        for (bool characters : runs) e.rec(84, textRecord(10, 10, characters ? u"Hag" : wrong, !characters, 14));
        return renderMetafile(e.build(), "glyphs.emf", PictureKind::Emf, kMaxMetafilePlayTime, warnings);
    };
    const auto same = [](const WorkBitmap& a, const WorkBitmap& b) {
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x)
                if (a.pixel(x, y) != b.pixel(x, y)) return false;
        return true;
    };
    std::string none, before, after, alone;
    const WorkBitmap twice = picture({true, true}, &none);
    EXPECT_TRUE(same(picture({true, false}, &before), twice));
    EXPECT_TRUE(same(picture({false, true}, &after), twice));
    EXPECT_EQ(before + after + none, "");
    EXPECT_FALSE(same(picture({false}, &alone), picture({true}, nullptr)));
    EXPECT_EQ(alone, "glyphs.emf: text in Arial, stored as that font's glyph numbers, was drawn with the glyphs of "
                     "Liberation Sans; letters beyond basic Latin may be wrong");
}

// Each of the sixteen binary raster operations, filling one column over
// a known colour, gives exactly its bitwise result; a pen line mixes the
// same way (a red line "pen OR NOT destination" stays red on white).
TEST_F(MetafilePainter, RasterOperationsMixPenAndPictureExactly) {
    const ColorValue dest = 0x5A3CC3, pen = 0x0FF0A5;
    EmfBuilder e(16000, 3000, 160, 30, 160, 30);
    e.rec(37, {std::int32_t(0x80000008)});  // null pen
    e.rec(39, {1, 0, std::int32_t(dest), 0});
    e.rec(37, {1});
    e.rec(43, {0, 0, 160, 20});
    e.rec(39, {2, 0, std::int32_t(pen), 0});
    e.rec(37, {2});
    for (int rop = 1; rop <= 16; ++rop) {
        e.rec(20, {rop});
        e.rec(43, {(rop - 1) * 10, 0, rop * 10, 20});
    }
    e.rec(38, {3, 0, 1, 0, 0x0000FF});  // one-pixel red pen
    e.rec(37, {3});
    e.rec(20, {14});
    e.rec(27, {0, 25});
    e.rec(54, {160, 25});
    const WorkBitmap b = renderMetafile(e.build(), "rop.emf", PictureKind::Emf);
    const std::uint32_t P = pen, D = dest;
    const std::uint32_t expected[17] = {0, 0, ~(P | D), ~P & D, ~P, P & ~D, ~D, P ^ D, ~(P & D), P & D, ~(P ^ D),
                                        D, ~P | D, P, P | ~D, P | D, 0xFFFFFF};
    for (int rop = 1; rop <= 16; ++rop)
        EXPECT_EQ(at(b, (rop - 1) * 10 + 5, 10), expected[rop] & 0xFFFFFF) << "raster operation " << rop;
    EXPECT_EQ(at(b, 80, 25), makeColor(255, 0, 0));
}

TEST_F(MetafilePainter, TallPicturesAreDrawnInBands) {
    // 4200 x 4200 pixels is more than one band of 16 megapixels.
    EmfBuilder e(420000, 420000, 1000, 1000, 1000, 1000);
    e.rec(39, {1, 0, 0x000000, 0});
    e.rec(37, {1});
    e.rec(37, {std::int32_t(0x80000008)});
    e.rec(43, {0, 3990, 4200, 4000});   // across the first band's end
    e.rec(43, {100, 4150, 200, 4200});  // at the very bottom
    const WorkBitmap b = renderMetafile(e.build(), "tall.emf", PictureKind::Emf);
    ASSERT_EQ(b.width(), 4200);
    ASSERT_EQ(b.height(), 4200);
    for (int y : {3990, 3994, 3995, 3999}) EXPECT_EQ(at(b, 2000, y), kBlack) << y;
    EXPECT_EQ(at(b, 2000, 3989), kWhite);
    EXPECT_EQ(at(b, 2000, 4000), kWhite);
    EXPECT_EQ(at(b, 150, 4199), kBlack);
    EXPECT_EQ(inkIn(b, 0, 3980, 4200, 4200), 4200 * 10 + 100 * 50);
}

// Bands of a few rows leave out what misses them, but nothing that reaches
// them: a fill whose corners lie in other bands, a wide line whose points
// lie beside the band, text whose reference point is above it.
TEST_F(MetafilePainter, ThinBandsDrawTheSamePictureAsOne) {
    EmfBuilder e(20000, 10000, 200, 100, 200, 100);
    e.rec(39, {1, 0, 0x000000, 0});
    e.rec(37, {1});
    e.rec(37, {std::int32_t(0x80000008)});  // no outline
    e.rec(43, {10, 2, 30, 98});
    e.rec(38, {2, 0, 20, 0, 0x0000FF});  // red pen 20 pixels wide
    e.rec(37, {2});
    e.rec(27, {50, 50});
    e.rec(54, {150, 50});
    e.rec(82, arialFont(3));
    e.rec(37, {3});
    e.rec(18, {1});  // transparent background
    Bytes text;
    text.i32(0).i32(0).i32(200).i32(100).u32(1).f32(1).f32(1);
    text.i32(160).i32(30).u32(4).u32(76).u32(0).i32(0).i32(0).i32(0).i32(0).u32(0);
    for (char16_t c : std::u16string(u"HHHH")) text.u16(c);
    e.rec(84, text);
    const std::vector<std::uint8_t> bytes = e.build();
    const WorkBitmap whole = renderMetafileInBands(bytes, "bands.emf", PictureKind::Emf, kMaxMetafilePlayTime, 100);
    const WorkBitmap thin = renderMetafileInBands(bytes, "bands.emf", PictureKind::Emf, kMaxMetafilePlayTime, 4);
    ASSERT_EQ(thin.height(), 100);
    EXPECT_EQ(at(whole, 20, 50), kBlack);
    EXPECT_EQ(at(whole, 100, 42), makeColor(255, 0, 0));
    EXPECT_GT(inkIn(whole, 160, 30, 200, 50), 100);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 200; ++x) ASSERT_EQ(at(thin, x, y), at(whole, x, y)) << x << ", " << y;
}

// The most memory the process has held so far, in megabytes.
long peakMegabytes() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024;
}

TEST_F(MetafilePainter, HugeBitmapsArePickedDownToTheSizeTheyAreDrawnAt) {
    // A 16000 x 12000 RLE8 checkerboard of 2000-pixel squares, 192
    // megapixels from 1.5 MB, stretched onto 200 x 150: each square becomes
    // 25 pixels, and the bitmap is never expanded whole.
    Bytes bits;
    for (int fromBottom = 0; fromBottom < 12000; ++fromBottom) {
        const int top = 11999 - fromBottom;
        for (int x = 0; x < 16000; x += 250) bits.u8(250).u8((x / 2000 + top / 2000) % 2);
        bits.u8(0).u8(0);
    }
    bits.u8(0).u8(1);
    Bytes info;
    info.u32(40).i32(16000).i32(12000).u16(1).u16(8).u32(1).u32(std::uint32_t(bits.size())).i32(0).i32(0).u32(2).u32(0);
    info.u32(0x000000).u32(0xFFFFFF);
    Bytes r;
    r.i32(0).i32(0).i32(200).i32(150);                           // bounds
    r.i32(0).i32(0).i32(0).i32(0).i32(16000).i32(12000);         // destination corner, source
    r.u32(80).u32(std::uint32_t(info.size())).u32(std::uint32_t(80 + info.size())).u32(std::uint32_t(bits.size()));
    r.u32(0).u32(0xCC0020).i32(200).i32(150);
    r.raw(info.b).raw(bits.b);
    EmfBuilder e(20000, 15000, 100, 100, 100, 100);
    const auto bytes = e.rec(81, r).build();
    const long before = peakMegabytes();
    const WorkBitmap b = renderMetafile(bytes, "huge.emf", PictureKind::Emf);
    EXPECT_LT(peakMegabytes() - before, 200);
    ASSERT_EQ(b.width(), 200);
    for (int j = 0; j < 6; ++j)
        for (int i = 0; i < 8; ++i)
            for (int d : {1, 12, 23}) EXPECT_EQ(at(b, i * 25 + d, j * 25 + d), (i + j) % 2 ? kWhite : kBlack) << i << "," << j;
}

// How much of the ink of one picture has ink of the other within two
// pixels: 1 when every dark pixel of a has a dark neighbour in b.
double inkCoverage(const QImage& a, const QImage& b) {
    auto ink = [](const QImage& im, int x, int y) {
        const QRgb p = im.pixel(x, y);
        return qRed(p) < 200 || qGreen(p) < 200 || qBlue(p) < 200;
    };
    long total = 0, found = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            if (!ink(a, x, y)) continue;
            ++total;
            bool near = false;
            for (int dy = -2; dy <= 2 && !near; ++dy)
                for (int dx = -2; dx <= 2 && !near; ++dx) {
                    const int u = x + dx, v = y + dy;
                    near = u >= 0 && v >= 0 && u < b.width() && v < b.height() && ink(b, u, v);
                }
            found += near;
        }
    return total ? double(found) / double(total) : 1.0;
}

QImage toImage(const WorkBitmap& b) {
    QImage im(b.width(), b.height(), QImage::Format_RGB32);
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x) {
            const ColorValue c = b.pixel(x, y);
            im.setPixel(x, y, qRgb(redOf(c), greenOf(c), blueOf(c)));
        }
    return im;
}

// Real files against renderings made by other players. The tolerance: at
// least 90% of either picture's dark pixels have a dark pixel of the other
// within two pixels (fonts, antialiasing and a few unplayed records differ).
TEST_F(MetafilePainter, RealFilesMatchTheirReferenceRenderings) {
    struct Case {
        std::string file, reference;
        double minCoverage;
    };
    for (const Case& c : {Case{"wmf/wmf2svg/fulltest.wmf", "wmf/wmf2svg/fulltest.png", 0.9},
                          Case{"wmf-nonplaceable/dotnet/gdiwmfboundariesbug.wmf",
                               "wmf-nonplaceable/dotnet/gdiwmfboundariesbug-output.png", 0.9},
                          Case{"emf/pillow/drawing.emf", "emf/pillow/drawing_emf_ref.png", 0.9}}) {
        const auto bytes = readFileBytes(kDir + c.file);
        const QImage ours = toImage(renderMetafile(bytes, c.file, kindFromName(c.file)));
        QImage ref(QString::fromStdString(kDir + c.reference));
        ASSERT_FALSE(ref.isNull()) << c.reference;
        ref = ref.convertToFormat(QImage::Format_RGB32);
        if (ref.size() != ours.size()) ref = ref.scaled(ours.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        const double theirsInOurs = inkCoverage(ref, ours), oursInTheirs = inkCoverage(ours, ref);
        EXPECT_GE(theirsInOurs, c.minCoverage) << c.file;
        EXPECT_GE(oursInTheirs, c.minCoverage) << c.file;
        std::printf("%s: %.3f of the reference's ink found, %.3f of ours\n", c.file.c_str(), theirsInOurs,
                    oursInTheirs);
    }
}

// Real files with turned text and symbol fonts. The chart's vertical axis
// title (escapement 270 under a window whose y axis points up) reads
// upwards in the free band left of the tick labels, not downwards over
// them; the font tables show signs, not accented letters.
TEST_F(MetafilePainter, RealFilesTurnTextAndShowSymbolFonts) {
    const std::string chart = "emf/libemf2svg/test-061.emf";
    const WorkBitmap b = renderMetafile(readFileBytes(kDir + chart), chart, PictureKind::Emf);
    ASSERT_EQ(b.width(), 453);
    // The title starts on its baseline at (15, 211) and runs up (the
    // chart's background is not quite white: only dark pixels count).
    const auto dark = [&](int l, int t, int r, int bo) {
        int n = 0;
        for (int y = t; y < bo; ++y)
            for (int x = l; x < r; ++x) {
                const ColorValue c = at(b, x, y);
                n += redOf(c) < 128 && greenOf(c) < 128 && blueOf(c) < 128;
            }
        return n;
    };
    EXPECT_GT(dark(0, 20, 21, 205), 100);
    EXPECT_EQ(dark(0, 215, 21, 330), 0);

    // The tables' file names one face "Symbol" and a stray byte: the same family draws it.
    EXPECT_EQ(PainterSurface::familyFor("Symbol\x11", 0x12), PainterSurface::familyFor("Symbol", 0x12));
    const std::string tables = "wmf/wmf2svg/symbol-font-tables.wmf";
    const auto text = textByFace(readFileBytes(kDir + tables), tables);
    const std::u16string& symbol = text.at("Symbol");
    expectSigns(symbol, u"\u03B1\u2200\u2026\u23A7\u23AA\u23A9\u2320\u23AE\u2321\u23AD");
    EXPECT_EQ(expectSigns(text.at("Wingdings"), u"\u2702\u260E\u2714\u2460\u25A0"), 0);
    // Brace pieces drawn as accented letters were the fault.
    for (char16_t letter : std::u16string(u"\u00EC\u00ED\u00EE\u00EF\u00F3\u00FE"))
        EXPECT_EQ(symbol.find(letter), std::u16string::npos) << std::hex << int(letter);
}

// Every file of the set: a picture of its natural size, or, for the broken
// ones and the one drawn in EMF+ only, a clean error.
TEST_F(MetafilePainter, EveryFileOfTheSetPlaysOrFailsCleanly) {
    int played = 0, refused = 0;
    for (const auto& entry : fs::recursive_directory_iterator(kDir)) {
        const std::string path = entry.path().string();
        const PictureKind kind = kindFromName(path);
        if (!entry.is_regular_file() || (kind != PictureKind::Wmf && kind != PictureKind::Emf)) continue;
        const std::string rel = path.substr(kDir.size());
        const auto bytes = readFileBytes(path);
        // The thumbnail is drawn in EMF+ records only.
        const bool mustFail = rel == "emf/poi-embedded/github260__docProps_thumbnail.emf";
        const bool mayFail = rel.rfind("emf-bad/", 0) == 0;
        try {
            const WorkBitmap b = renderMetafile(bytes, rel, kind);
            EXPECT_FALSE(mustFail) << rel;
            EXPECT_EQ((MetafileSize{b.width(), b.height()}), metafileNaturalSize(bytes, rel, kind)) << rel;
            EXPECT_EQ(b.format(), PixelFormat::Bits24);
            ++played;
        } catch (const FileError& e) {
            EXPECT_TRUE(mustFail || mayFail) << rel << ": " << e.what();
            EXPECT_EQ(e.file(), rel);
            ++refused;
        }
    }
    EXPECT_GT(played, 90);
    EXPECT_GE(refused, 1);
}

// Opening metafiles by name, whatever the case of the ending.
TEST_F(MetafilePainter, LoadPictureFileReadsMetafilesByTheirEnding) {
    const fs::path dir = fs::temp_directory_path() / ("hueline-meta-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const auto copy = [&](const std::string& from, const std::string& as) {
        fs::copy_file(kDir + from, dir / as, fs::copy_options::overwrite_existing);
        return (dir / as).string();
    };
    const WorkBitmap wmf = LoadPictureFile(copy("wmf/dotnet/telescope_01.wmf", "telescope.Wmf"));
    EXPECT_EQ(wmf.width(), 490);
    EXPECT_EQ(wmf.height(), 654);
    EXPECT_EQ(wmf.format(), PixelFormat::Bits24);
    EXPECT_GT(inkIn(wmf, 0, 0, wmf.width(), wmf.height()), 1000);
    const WorkBitmap emf = LoadPictureFile(copy("emf/poi/wrench.emf", "wrench.EMF"));
    EXPECT_EQ(emf.width(), 190);
    EXPECT_EQ(emf.height(), 115);
    EXPECT_GT(inkIn(emf, 0, 0, emf.width(), emf.height()), 500);
    // Without the placeable header: the window the file sets.
    const WorkBitmap plain = LoadPictureFile(copy("wmf-nonplaceable/poi/testException2.doc-2.wmf", "plain.wmf"));
    EXPECT_EQ(plain.width(), 443);
    EXPECT_EQ(plain.height(), 182);
    EXPECT_GT(inkIn(plain, 0, 0, plain.width(), plain.height()), 1000);
    fs::remove_all(dir);
}

}  // namespace
}  // namespace hueline
