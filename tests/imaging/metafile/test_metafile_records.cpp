// SPDX-License-Identifier: GPL-3.0-or-later
// Record families played onto a recording surface: what each record
// draws, and what a broken one does not.
#include <gtest/gtest.h>

#include <cmath>

#include "imaging/picture/errors.h"
#include "imaging/codecs/file_io.h"
#include "imaging/metafile/player.h"
#include "support/metafile_test_support.h"
#include "imaging/metafile/record_types.h"

namespace hueline {
namespace {

using meta::EmfRecord;
using meta::WmfRecord;

using testing::Bytes;
using testing::Call;
using testing::EmfBuilder;
using testing::RecordingSurface;
using testing::WmfBuilder;

const std::string kDir = std::string(HUELINE_TEST_DATA) + "/metafile/";

RecordingSurface play(const std::vector<std::uint8_t>& bytes, PictureKind kind) {
    RecordingSurface s;
    playMetafile(bytes, "test", kind, s);
    return s;
}

// An EMF of 100 x 100 pixels whose logical units are its pixels.
EmfBuilder pixels() { return EmfBuilder(10000, 10000, 100, 100, 100, 100); }

Bytes points16(std::initializer_list<std::pair<int, int>> pts) {
    Bytes b;
    b.i32(0).i32(0).i32(100).i32(100).u32(std::uint32_t(pts.size()));
    for (auto [x, y] : pts) b.i16(x).i16(y);
    return b;
}

std::vector<meta::Verb> verbsOf(const Call& c) { return c.path.verbs; }

// ------------------------------------------------------------ lines and polygons

TEST(MetafileRecords, PolyRecordsIn16And32BitPoints) {
    auto e = pixels();
    e.rec(EmfRecord::Polyline16, points16({{1, 2}, {3, 4}, {5, 6}}));             // polyline, 16-bit
    Bytes p32;
    p32.i32(0).i32(0).i32(0).i32(0).u32(3).i32(10).i32(10).i32(20).i32(10).i32(20).i32(20);
    e.rec(EmfRecord::Polygon, p32);                                              // polygon, 32-bit
    e.rec(EmfRecord::MoveToEx, {50, 50});                                        // move to
    e.rec(EmfRecord::PolylineTo16, points16({{60, 50}, {60, 60}}));                  // polyline-to from there
    e.rec(EmfRecord::LineTo, {70, 70});                                        // line-to continues from the last point
    Bytes pp;  // poly-polygon, 16-bit: a triangle and a square
    pp.i32(0).i32(0).i32(0).i32(0).u32(2).u32(7).u32(3).u32(4);
    for (auto [x, y] : {std::pair{0, 0}, {4, 0}, {0, 4}, {10, 10}, {14, 10}, {14, 14}, {10, 14}}) pp.i16(x).i16(y);
    e.rec(EmfRecord::PolyPolygon16, pp);
    const auto s = play(e.build(), PictureKind::Emf);
    const auto strokes = s.of(Call::Stroke), fills = s.of(Call::Fill);
    ASSERT_EQ(strokes.size(), 5u);
    EXPECT_EQ(strokes[0].path.points, (std::vector<meta::Point>{{1, 2}, {3, 4}, {5, 6}}));
    EXPECT_EQ(verbsOf(strokes[0]), (std::vector{meta::Verb::Move, meta::Verb::Line, meta::Verb::Line}));
    EXPECT_EQ(strokes[2].path.points, (std::vector<meta::Point>{{50, 50}, {60, 50}, {60, 60}}));
    EXPECT_EQ(strokes[3].path.points, (std::vector<meta::Point>{{60, 60}, {70, 70}}));
    ASSERT_EQ(fills.size(), 2u);
    EXPECT_EQ(verbsOf(fills[0]).back(), meta::Verb::Close);
    // Both figures of the poly-polygon in one fill, so that holes work.
    int moves = 0;
    for (auto v : fills[1].path.verbs) moves += v == meta::Verb::Move;
    EXPECT_EQ(moves, 2);
    EXPECT_EQ(fills[1].path.points.size(), 7u);
}

TEST(MetafileRecords, CountsThatDoNotFitTheirRecordDrawNothing) {
    auto e = pixels();
    Bytes lie;  // claims 0x20000000 points, holds one: count * 8 would wrap in 32 bits
    lie.i32(0).i32(0).i32(0).i32(0).u32(0x20000000).i32(1).i32(1);
    e.rec(EmfRecord::Polyline, lie);
    Bytes lie16 = points16({{1, 1}, {2, 2}});
    lie16.b[16] = 3;  // three points declared, two present
    e.rec(EmfRecord::Polyline16, lie16);
    Bytes pp;  // poly-polygon whose counts add up past the points it holds
    pp.i32(0).i32(0).i32(0).i32(0).u32(2).u32(4).u32(0x40000000).u32(0x40000000);
    for (int i = 0; i < 4; ++i) pp.i32(i).i32(i);
    e.rec(EmfRecord::PolyPolygon, pp);
    e.rec(EmfRecord::Polyline16, points16({{7, 7}, {8, 8}}));  // still played afterwards
    const auto s = play(e.build(), PictureKind::Emf);
    ASSERT_EQ(s.calls.size(), 1u);
    EXPECT_EQ(s.calls[0].path.points[0], (meta::Point{7, 7}));

    // The same in a Windows metafile: a polygon claiming more points than
    // its record holds ends the play.
    WmfBuilder w(0, 0, 100, 100, 96);
    w.rec(WmfRecord::Polygon, {2, 0, 0, 10, 10});
    w.rec(WmfRecord::Polygon, {40, 0, 0, 10, 10});
    w.rec(WmfRecord::Polygon, {2, 0, 0, 10, 10});
    EXPECT_EQ(play(w.build(), PictureKind::Wmf).of(Call::Fill).size(), 1u);
}

// ------------------------------------------------------------ shapes

TEST(MetafileRecords, EllipsesArcsChordsAndPies) {
    auto e = pixels();
    e.rec(EmfRecord::Ellipse, {10, 20, 50, 40});                          // ellipse: centre (30, 30), radii 20, 10
    e.rec(EmfRecord::Arc, {0, 0, 20, 20, 20, 10, 10, 0});             // arc from 3 o'clock counter-clockwise to 12
    e.rec(EmfRecord::SetArcDirection, {2});                                       // clockwise from now on
    e.rec(EmfRecord::Arc, {0, 0, 20, 20, 20, 10, 10, 0});
    e.rec(EmfRecord::Pie, {0, 0, 20, 20, 20, 10, 10, 0});             // pie
    e.rec(EmfRecord::Chord, {0, 0, 20, 20, 20, 10, 10, 0});             // chord
    e.rec(EmfRecord::RoundRect, {0, 0, 40, 20, 10, 10});                    // rounded rectangle
    const auto s = play(e.build(), PictureKind::Emf);
    const auto strokes = s.of(Call::Stroke), fills = s.of(Call::Fill);
    ASSERT_EQ(strokes.size(), 6u);
    ASSERT_EQ(fills.size(), 4u);
    // The ellipse's curve points stay on or inside its box and reach all four sides.
    double l = 1e9, r = -1e9, t = 1e9, b = -1e9;
    for (const auto& p : fills[0].path.points) l = std::min(l, p.x), r = std::max(r, p.x), t = std::min(t, p.y), b = std::max(b, p.y);
    EXPECT_NEAR(l, 10, 1e-9);
    EXPECT_NEAR(r, 50, 1e-9);
    EXPECT_NEAR(t, 20, 1e-9);
    EXPECT_NEAR(b, 40, 1e-9);
    // Counter-clockwise: a quarter from (20, 10) up to (10, 0), one curve.
    const auto& ccw = strokes[1].path;
    ASSERT_EQ(ccw.verbs.size(), 2u);
    EXPECT_NEAR(ccw.points.front().x, 20, 1e-9);
    EXPECT_NEAR(ccw.points.front().y, 10, 1e-9);
    EXPECT_NEAR(ccw.points.back().x, 10, 1e-9);
    EXPECT_NEAR(ccw.points.back().y, 0, 1e-9);
    // Clockwise: the other three quarters, passing the bottom.
    const auto& cw = strokes[2].path;
    EXPECT_EQ(cw.verbs.size(), 4u);
    bool bottom = false;
    for (const auto& p : cw.points) bottom |= std::fabs(p.y - 20) < 1e-9 && std::fabs(p.x - 10) < 1e-9;
    EXPECT_TRUE(bottom);
    // The pie starts at the centre and closes; the chord closes its arc.
    EXPECT_EQ(fills[1].path.points.front(), (meta::Point{10, 10}));
    EXPECT_EQ(fills[1].path.verbs.back(), meta::Verb::Close);
    EXPECT_NEAR(fills[2].path.points.front().x, 20, 1e-9);
    EXPECT_EQ(fills[2].path.verbs.back(), meta::Verb::Close);
    // A flat ellipse box draws nothing and does not stop the play.
    auto flat = pixels();
    flat.rec(EmfRecord::Arc, {5, 5, 5, 20, 0, 0, 1, 1});
    flat.rec(EmfRecord::Rectangle, {0, 0, 1, 1});
    EXPECT_EQ(play(flat.build(), PictureKind::Emf).of(Call::Stroke).size(), 1u);
}

// ------------------------------------------------------------ paths

TEST(MetafileRecords, PathsAreCollectedThenFilledStrokedOrClipped) {
    auto e = pixels();
    e.rec(EmfRecord::BeginPath, {});                     // begin path
    e.rec(EmfRecord::MoveToEx, {0, 0});
    e.rec(EmfRecord::LineTo, {10, 0});
    e.rec(EmfRecord::LineTo, {10, 10});
    e.rec(EmfRecord::CloseFigure, {});                     // close figure
    e.rec(EmfRecord::Rectangle, {20, 20, 30, 30});       // shapes join the path too
    e.rec(EmfRecord::EndPath, {});                     // end path
    e.rec(EmfRecord::FillPath, {0, 0, 0, 0});           // fill path
    e.rec(EmfRecord::StrokePath, {0, 0, 0, 0});           // nothing left to stroke
    e.rec(EmfRecord::BeginPath, {}), e.rec(EmfRecord::MoveToEx, {0, 0}), e.rec(EmfRecord::LineTo, {5, 5}), e.rec(EmfRecord::AbortPath, {});  // aborted
    e.rec(EmfRecord::StrokePath, {0, 0, 0, 0});
    e.rec(EmfRecord::BeginPath, {}), e.rec(EmfRecord::Rectangle, {1, 1, 9, 9}), e.rec(EmfRecord::EndPath, {});
    e.rec(EmfRecord::SelectClipPath, {1});                    // select as clip, intersecting
    e.rec(EmfRecord::BeginPath, {}), e.rec(EmfRecord::MoveToEx, {0, 0}), e.rec(EmfRecord::LineTo, {5, 5}), e.rec(EmfRecord::EndPath, {});
    e.rec(EmfRecord::StrokeAndFillPath, {0, 0, 0, 0});           // stroke and fill
    const auto s = play(e.build(), PictureKind::Emf);
    ASSERT_EQ(s.calls.size(), 4u);
    EXPECT_EQ(s.calls[0].kind, Call::Fill);
    EXPECT_EQ(s.calls[0].path.verbs,
              (std::vector{meta::Verb::Move, meta::Verb::Line, meta::Verb::Line, meta::Verb::Close, meta::Verb::Move,
                           meta::Verb::Line, meta::Verb::Line, meta::Verb::Line, meta::Verb::Close}));
    EXPECT_EQ(s.calls[1].kind, Call::Clip);
    EXPECT_EQ(s.calls[1].op, meta::ClipOp::Intersect);
    EXPECT_EQ(s.calls[2].kind, Call::Fill);
    EXPECT_EQ(s.calls[3].kind, Call::Stroke);
}

TEST(MetafileRecords, BeziersWithAndWithoutCurrentPosition) {
    auto e = pixels();
    e.rec(EmfRecord::PolyBezier16, points16({{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 1}, {5, 1}, {6, 1}}));  // two curves
    e.rec(EmfRecord::MoveToEx, {10, 10});
    e.rec(EmfRecord::PolyBezierTo16, points16({{11, 10}, {12, 10}, {13, 13}}));                           // one curve from (10, 10)
    e.rec(EmfRecord::LineTo, {20, 20});                                                           // from the curve's end
    const auto strokes = play(e.build(), PictureKind::Emf).of(Call::Stroke);
    ASSERT_EQ(strokes.size(), 3u);
    EXPECT_EQ(strokes[0].path.verbs, (std::vector{meta::Verb::Move, meta::Verb::Cubic, meta::Verb::Cubic}));
    EXPECT_EQ(strokes[1].path.points.front(), (meta::Point{10, 10}));
    EXPECT_EQ(strokes[2].path.points.front(), (meta::Point{13, 13}));
}

// ------------------------------------------------------------ text

TEST(MetafileRecords, WindowsTextRecords) {
    WmfBuilder w(0, 0, 200, 100, 96);
    Bytes font;  // 20 units high (character height), bold, italic, escapement 90 degrees
    font.i16(-20).i16(0).i16(900).i16(900).i16(700).u8(1).u8(0).u8(0).u8(0).u8(0).u8(0).u8(0).u8(0).text("Arial").u8(0);
    w.recBytes(WmfRecord::CreateFontIndirect, font);
    w.rec(WmfRecord::SelectObject, {0});
    w.rec(WmfRecord::SetTextColor, {0x00FF, 0});  // text colour red
    w.rec(WmfRecord::SetTextAlign, {24});         // baseline
    Bytes t;  // text-out: count, string padded to even, y, x
    t.i16(3).text("Ab\x80").u8(0).i16(50).i16(40);
    w.recBytes(WmfRecord::TextOut, t);
    Bytes x;  // extended text-out with an opaque rectangle and advances
    x.i16(10).i16(20).i16(2).u16(2).i16(1).i16(2).i16(3).i16(4).text("Hi").i16(7).i16(9);
    w.recBytes(WmfRecord::ExtTextOut, x);
    Bytes lie;  // a count longer than the record: nothing drawn
    lie.i16(200).text("ab").i16(0).i16(0);
    w.recBytes(WmfRecord::TextOut, lie);
    const auto s = play(w.build(), PictureKind::Wmf);
    const auto texts = s.of(Call::Text);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].text.text, u"Ab\u20AC");  // the euro sign of code page 1252
    EXPECT_EQ(texts[0].text.origin, (meta::Point{40, 50}));
    EXPECT_DOUBLE_EQ(texts[0].text.font.height, 20);
    EXPECT_FALSE(texts[0].text.font.cellHeight);
    EXPECT_EQ(texts[0].text.font.weight, 700);
    EXPECT_TRUE(texts[0].text.font.italic);
    EXPECT_EQ(texts[0].text.font.face, "Arial");
    EXPECT_DOUBLE_EQ(texts[0].text.angle, 90);
    EXPECT_EQ(texts[0].text.color, 0x0000FFu);
    EXPECT_EQ(texts[0].text.align, meta::kAlignBaseline);
    EXPECT_EQ(texts[1].text.text, u"Hi");
    EXPECT_EQ(texts[1].text.advances, (std::vector<double>{7, 9}));
    // The opaque rectangle is filled with the background colour first.
    const auto fills = s.of(Call::Fill);
    ASSERT_EQ(fills.size(), 1u);
    EXPECT_EQ(fills[0].brush.color, kWhite);
    EXPECT_EQ(fills[0].path.points[0], (meta::Point{1, 2}));
}

TEST(MetafileRecords, TextInTheFontsCodePage) {
    WmfBuilder w(0, 0, 200, 100, 96);
    auto font = [&](int charset) {
        Bytes f;
        f.i16(-20).i16(0).i16(0).i16(0).i16(400).u8(0).u8(0).u8(0).u8(charset).u8(0).u8(0).u8(0).u8(0).text("X").u8(0);
        w.recBytes(WmfRecord::CreateFontIndirect, f);
    };
    font(128);  // Shift-JIS: slot 0
    font(204);  // Cyrillic: slot 1
    w.rec(WmfRecord::SelectObject, {0});
    Bytes jp;   // hiragana a (two bytes) and A, advances per byte
    jp.i16(0).i16(0).i16(3).u16(0).text("\x82\xA0" "A").u8(0).i16(5).i16(6).i16(7);
    w.recBytes(WmfRecord::ExtTextOut, jp);
    w.rec(WmfRecord::SelectObject, {1});
    Bytes ru;
    ru.i16(1).text("\xCF").u8(0).i16(0).i16(0);
    w.recBytes(WmfRecord::TextOut, ru);
    const auto texts = play(w.build(), PictureKind::Wmf).of(Call::Text);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].text.text, u"\u3042A");
    EXPECT_EQ(texts[0].text.advances, (std::vector<double>{11, 7}));
    EXPECT_EQ(texts[1].text.text, u"\u041F");
}

TEST(MetafileRecords, EnhancedWideTextAndCurrentPosition) {
    auto e = pixels();
    Bytes font;
    font.u32(1).i32(12).i32(0).i32(0).i32(0).i32(400).u32(0).u32(0);
    for (char16_t c : std::u16string(u"Symbol")) font.u16(c);
    for (int i = 6; i < 32; ++i) font.u16(0);
    e.rec(EmfRecord::ExtCreateFontIndirectW, font);
    e.rec(EmfRecord::SelectObject, {1});
    e.rec(EmfRecord::SetTextAlign, {1});  // update the current position
    e.rec(EmfRecord::MoveToEx, {5, 6});
    auto text = [&](const std::u16string& s, bool withDx, std::uint32_t options = 0) {
        Bytes t;
        t.i32(0).i32(0).i32(0).i32(0).u32(1).f32(1).f32(1);
        t.i32(90).i32(90).u32(std::uint32_t(s.size())).u32(76).u32(options).i32(0).i32(0).i32(0).i32(0);
        const std::uint32_t dxAt = std::uint32_t(76 + ((s.size() * 2 + 3) / 4) * 4);
        t.u32(withDx ? dxAt : 0);
        for (char16_t c : s) t.u16(c);
        t.pad(4);
        if (withDx)
            for (std::size_t i = 0; i < s.size(); ++i) t.i32(3);
        e.rec(EmfRecord::ExtTextOutW, t);
    };
    text(u"ab", true);
    text(u"\uF061", false);  // the Symbol font's private-use alpha
    text(u"a", false, 0x10);  // glyph number 0x61 of the font, not a code
    const auto texts = play(e.build(), PictureKind::Emf).of(Call::Text);
    ASSERT_EQ(texts.size(), 3u);
    // The reference point is ignored: text starts at the current position
    // and moves it by its advance (the recording surface gives 10 per character).
    EXPECT_EQ(texts[0].text.origin, (meta::Point{5, 6}));
    EXPECT_EQ(texts[0].text.text, u"\u03B1\u03B2");
    EXPECT_EQ(texts[0].text.advances, (std::vector<double>{3, 3}));
    EXPECT_TRUE(texts[0].text.font.cellHeight);
    EXPECT_EQ(texts[1].text.origin, (meta::Point{25, 6}));
    EXPECT_EQ(texts[1].text.text, u"\u03B1");
    EXPECT_EQ(texts[2].text.text, u"a");
    EXPECT_TRUE(texts[2].text.glyphIndices);
}

// Escapement is an angle in logical space: where the window's y axis
// points up, 270 degrees reads upwards on the picture.
TEST(MetafileRecords, TextAngleFollowsTheMapping) {
    auto e = pixels();
    Bytes font;
    font.u32(1).i32(-12).i32(0).i32(2700).i32(2700).i32(400).u32(0).u32(0);
    for (char16_t c : std::u16string(u"Arial")) font.u16(c);
    for (int i = 5; i < 32; ++i) font.u16(0);
    e.rec(EmfRecord::ExtCreateFontIndirectW, font);
    e.rec(EmfRecord::SelectObject, {1});
    auto text = [&] {
        Bytes t;
        t.i32(0).i32(0).i32(0).i32(0).u32(1).f32(1).f32(1);
        t.i32(50).i32(50).u32(1).u32(76).u32(0).i32(0).i32(0).i32(0).i32(0).u32(0).u16('A').u16(0);
        e.rec(EmfRecord::ExtTextOutW, t);
    };
    text();
    e.rec(EmfRecord::SetMapMode, {8});           // anisotropic
    e.rec(EmfRecord::SetWindowExtEx, {100, -100});    // window: y up
    e.rec(EmfRecord::SetViewportExtEx, {100, 100});
    text();
    const auto texts = play(e.build(), PictureKind::Emf).of(Call::Text);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_NEAR(texts[0].text.angle, -90, 1e-9);
    EXPECT_NEAR(texts[1].text.angle, 90, 1e-9);
}

// Symbol fonts' codes become the signs they show, found by face name in
// any case; the same bytes in a text font stay letters.
TEST(MetafileRecords, SymbolFontsShowTheirSigns) {
    WmfBuilder w(0, 0, 200, 100, 96);
    auto font = [&](const char* face) {
        Bytes f;
        f.i16(-20).i16(0).i16(0).i16(0).i16(400).u8(0).u8(0).u8(0).u8(2).u8(0).u8(0).u8(0).u8(0).text(face).u8(0);
        w.recBytes(WmfRecord::CreateFontIndirect, f);
    };
    font("SYMBOL");     // slot 0
    font("Wingdings");  // slot 1
    font("mt extra");   // slot 2
    font("Webdings");   // slot 3
    font("Arial");      // slot 4
    auto say = [&](int slot, const std::string& bytes) {
        w.rec(WmfRecord::SelectObject, {slot});
        Bytes x;  // extended text-out with advances 7, 8, ...
        x.i16(0).i16(0).i16(std::int16_t(bytes.size())).u16(0).text(bytes);
        if (bytes.size() % 2) x.u8(0);
        for (std::size_t i = 0; i < bytes.size(); ++i) x.i16(std::int16_t(7 + i));
        w.recBytes(WmfRecord::ExtTextOut, x);
    };
    say(0, "\xEC\xEF\xEE\xBC\xF3" "a");  // brace pieces, ellipsis, integral top, alpha
    say(1, "\xFC\x25\x81");         // check mark, bell, circled one
    say(2, "\x4B\x3C");             // ellipsis, normal subgroup
    say(3, "\x34");                 // play triangle
    say(4, "\xEC");
    const auto texts = play(w.build(), PictureKind::Wmf).of(Call::Text);
    ASSERT_EQ(texts.size(), 5u);
    EXPECT_EQ(texts[0].text.text, u"\u23A7\u23AA\u23A9\u2026\u2320\u03B1");
    // The bell lies outside the basic plane: two units, the second with no advance.
    EXPECT_EQ(texts[1].text.text, u"\u2714\U0001F56D\u2460");
    EXPECT_EQ(texts[1].text.advances, (std::vector<double>{7, 8, 0, 9}));
    EXPECT_EQ(texts[2].text.text, u"\u2026\u22B2");
    EXPECT_EQ(texts[3].text.text, u"\u25B6");
    EXPECT_EQ(texts[4].text.text, u"\u00EC");
}

// ------------------------------------------------------------ bitmaps

// A bottom-up 24-bit DIB of w x h pixels, all one colour.
Bytes dib24(int w, int h, std::uint8_t blue = 10) {
    Bytes d;
    d.u32(40).i32(w).i32(h).u16(1).u16(24).u32(0).u32(0).i32(0).i32(0).u32(0).u32(0);
    const int stride = (w * 3 + 3) / 4 * 4;
    for (int i = 0; i < stride * h; ++i) d.u8(i % 3 == 0 ? blue : 0);
    return d;
}

Bytes stretchDibits(int x, int y, int w, int h, int sx, int sy, int sw, int sh, const Bytes& dib,
                    std::uint32_t rop = 0xCC0020) {
    Bytes r;
    r.i32(0).i32(0).i32(0).i32(0).i32(x).i32(y).i32(sx).i32(sy).i32(sw).i32(sh);
    r.u32(80).u32(40).u32(120).u32(std::uint32_t(dib.size() - 40)).u32(0).u32(rop).i32(w).i32(h);
    r.raw(dib.b);
    return r;
}

TEST(MetafileRecords, StretchedBitmapsAndTheirSourceRectangles) {
    auto e = pixels();
    e.rec(EmfRecord::StretchDIBits, stretchDibits(10, 20, 40, 30, 0, 0, 4, 3, dib24(4, 3)));
    // The lower-left 2 x 1 of a bottom-up bitmap is its last row from the top.
    e.rec(EmfRecord::StretchDIBits, stretchDibits(0, 0, 20, 10, 0, 0, 2, 1, dib24(4, 3)));
    // A source rectangle hanging off the bitmap is cut to the bitmap, and the
    // destination with it.
    e.rec(EmfRecord::StretchDIBits, stretchDibits(0, 0, 80, 30, 2, 0, 8, 3, dib24(4, 3)));
    e.rec(EmfRecord::StretchDIBits, stretchDibits(0, 0, 10, 10, 0, 0, 4, 3, dib24(4, 3), 0x660046));  // XOR
    Bytes bomb = dib24(4, 3);
    bomb.b[4] = 0x10, bomb.b[5] = 0x27, bomb.b[8] = 0x10, bomb.b[9] = 0x27;  // claims 10000 x 10000
    e.rec(EmfRecord::StretchDIBits, stretchDibits(0, 0, 10, 10, 0, 0, 4, 3, bomb));
    e.rec(EmfRecord::SetStretchBltMode, {4});  // halftone stretching from now on
    e.rec(EmfRecord::StretchDIBits, stretchDibits(0, 0, 10, 10, 0, 0, 4, 3, dib24(4, 3)));
    const auto bitmaps = play(e.build(), PictureKind::Emf).of(Call::Bitmap);
    ASSERT_EQ(bitmaps.size(), 5u);
    EXPECT_FALSE(bitmaps[0].blit.smooth);
    EXPECT_TRUE(bitmaps[4].blit.smooth);
    EXPECT_EQ(bitmaps[0].dib.width, 4);
    EXPECT_EQ(bitmaps[0].dib.height, 3);
    EXPECT_EQ(bitmaps[0].src.width, 4);
    EXPECT_EQ(bitmaps[0].dest.topLeft, (meta::Point{10, 20}));
    EXPECT_EQ(bitmaps[0].dest.topRight, (meta::Point{50, 20}));
    EXPECT_EQ(bitmaps[0].dest.bottomLeft, (meta::Point{10, 50}));
    EXPECT_EQ(bitmaps[1].src.y, 2);
    EXPECT_EQ(bitmaps[1].src.height, 1);
    EXPECT_EQ(bitmaps[2].src.x, 2);
    EXPECT_EQ(bitmaps[2].src.width, 2);
    EXPECT_EQ(bitmaps[2].dest.topRight, (meta::Point{20, 0}));
    EXPECT_EQ(bitmaps[3].blit.mode, meta::BlitMode::SrcInvert);
}

TEST(MetafileRecords, WindowsBlitsAndPatternFills) {
    WmfBuilder w(0, 0, 100, 100, 96);
    // A DIB stretch blit: rop, source h, w, y, x, destination h, w, y, x, bitmap.
    Bytes sb;
    sb.u32(0xCC0020).i16(3).i16(4).i16(0).i16(0).i16(30).i16(40).i16(5).i16(6).raw(dib24(4, 3).b);
    w.recBytes(WmfRecord::DibStretchBlt, sb);
    w.rec(WmfRecord::PatBlt, {0x0062, 0x00FF, 10, 10, 0, 0});  // pattern blit, whiteness
    w.rec(WmfRecord::PatBlt, {0x0049, 0x005A, 10, 10, 0, 0});  // pattern invert with the brush
    w.rec(0x0626, {9, 4, 0, 0, 0, 0});              // an escape (abort procedure): never acted on
    const auto s = play(w.build(), PictureKind::Wmf);
    const auto bitmaps = s.of(Call::Bitmap), fills = s.of(Call::Fill);
    ASSERT_EQ(bitmaps.size(), 1u);
    EXPECT_EQ(bitmaps[0].dest.topLeft, (meta::Point{6, 5}));
    EXPECT_EQ(bitmaps[0].dest.bottomLeft, (meta::Point{6, 35}));
    ASSERT_EQ(fills.size(), 2u);
    EXPECT_EQ(fills[0].mix, meta::Mix::White);
    EXPECT_EQ(fills[1].mix, meta::Mix::Xor);
    EXPECT_EQ(s.calls.size(), 3u);
}

TEST(MetafileRecords, DeviceBitmapsFramesAndCharacterSpacing) {
    WmfBuilder w(0, 0, 100, 100, 96);
    // A bit blit of a 2 x 2, 24-bit device bitmap onto 40 x 20 units: the
    // bitmap is the recorded source area, so it fills the destination.
    Bytes bb;
    bb.u32(0xCC0020).i16(0).i16(0).i16(20).i16(40).i16(5).i16(6);
    bb.i16(0).i16(2).i16(2).i16(6).u8(1).u8(24);
    for (int i = 0; i < 12; ++i) bb.u8(i * 20);
    w.recBytes(WmfRecord::BitBlt, bb);
    Bytes four;  // a 4-bit device bitmap needs the device's palette: not drawn
    four.u32(0xCC0020).i16(0).i16(0).i16(20).i16(40).i16(5).i16(6).i16(0).i16(2).i16(2).i16(2).u8(1).u8(4).u32(0);
    w.recBytes(WmfRecord::BitBlt, four);
    // A region framed 2 x 3 units thick with a black brush.
    Bytes black;
    black.u16(0).u32(0).u16(0);
    w.recBytes(WmfRecord::CreateBrushIndirect, black);  // slot 0
    Bytes region;
    region.i16(0).i16(6).i32(0).i16(0).i16(1).i16(0).i16(10).i16(10).i16(50).i16(40);
    region.u16(2).i16(10).i16(40).i16(10).i16(50).u16(2);
    w.recBytes(WmfRecord::CreateRegion, region);  // slot 1
    w.rec(WmfRecord::FrameRegion, {1, 0, 3, 2});
    w.rec(WmfRecord::SetTextCharExtra, {4});          // four units after every character
    Bytes t;
    t.i16(2).text("ab").i16(0).i16(0);
    w.recBytes(WmfRecord::TextOut, t);
    const auto s = play(w.build(), PictureKind::Wmf);
    const auto bitmaps = s.of(Call::Bitmap);
    ASSERT_EQ(bitmaps.size(), 1u);
    EXPECT_EQ(bitmaps[0].dib.width, 2);
    EXPECT_EQ(bitmaps[0].dib.height, -2);  // device bitmaps run top-down
    EXPECT_EQ(bitmaps[0].src.width, 2);
    EXPECT_EQ(bitmaps[0].dest.topRight, (meta::Point{46, 5}));
    EXPECT_EQ(bitmaps[0].dest.bottomLeft, (meta::Point{6, 25}));
    const auto fills = s.of(Call::Fill);
    ASSERT_EQ(fills.size(), 1u);
    EXPECT_EQ(fills[0].path.points.size(), 16u);  // four strips
    EXPECT_EQ(fills[0].path.points[2], (meta::Point{50, 13}));  // top strip: 3 units high
    const auto texts = s.of(Call::Text);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_DOUBLE_EQ(texts[0].text.charExtra, 4);
}

TEST(MetafileRecords, TransparentAndParallelogramBlits) {
    auto e = pixels();
    const Bytes dib = dib24(4, 3);
    Bytes t;  // transparent blit: destination, key colour, source, its transform, bitmap
    t.i32(0).i32(0).i32(0).i32(0).i32(1).i32(2).i32(8).i32(6).u32(0x00FF00).i32(0).i32(0);
    t.f32(1).f32(0).f32(0).f32(1).f32(0).f32(0).u32(0).u32(0).u32(108).u32(40).u32(148).u32(std::uint32_t(dib.size() - 40));
    t.i32(4).i32(3).raw(dib.b);
    e.rec(EmfRecord::TransparentBlt, t);
    Bytes pg;  // parallelogram: three corners, source, transform, bitmap, no mask
    pg.i32(0).i32(0).i32(0).i32(0).i32(10).i32(10).i32(30).i32(20).i32(0).i32(40);
    pg.i32(0).i32(0).i32(4).i32(3).f32(1).f32(0).f32(0).f32(1).f32(0).f32(0).u32(0).u32(0);
    pg.u32(140).u32(40).u32(180).u32(std::uint32_t(dib.size() - 40));
    for (int i = 0; i < 7; ++i) pg.u32(0);
    pg.raw(dib.b);
    e.rec(EmfRecord::PlgBlt, pg);
    const auto bitmaps = play(e.build(), PictureKind::Emf).of(Call::Bitmap);
    ASSERT_EQ(bitmaps.size(), 2u);
    EXPECT_EQ(bitmaps[0].blit.mode, meta::BlitMode::Transparent);
    EXPECT_EQ(bitmaps[0].blit.key, 0x00FF00u);
    EXPECT_EQ(bitmaps[0].dest.topRight, (meta::Point{9, 2}));
    EXPECT_EQ(bitmaps[1].dest.topRight, (meta::Point{30, 20}));
    EXPECT_EQ(bitmaps[1].dest.bottomLeft, (meta::Point{0, 40}));
}

TEST(MetafileRecords, PaletteIndexColours) {
    auto e = pixels();
    Bytes pal;  // handle 3: two entries, red and blue
    pal.u32(3).u16(0x300).u16(2).u8(255).u8(0).u8(0).u8(0).u8(0).u8(0).u8(255).u8(0);
    e.rec(EmfRecord::CreatePalette, pal);
    e.rec(EmfRecord::SelectPalette, {3});
    e.rec(EmfRecord::CreateBrushIndirect, {1, 0, 0x01000001, 0});  // brush of palette entry 1
    e.rec(EmfRecord::SelectObject, {1});
    e.rec(EmfRecord::Rectangle, {0, 0, 1, 1});
    e.rec(EmfRecord::CreateBrushIndirect, {2, 0, 0x01000009, 0});  // an entry the palette lacks: black
    e.rec(EmfRecord::SelectObject, {2});
    e.rec(EmfRecord::Rectangle, {0, 0, 1, 1});
    const auto fills = play(e.build(), PictureKind::Emf).of(Call::Fill);
    ASSERT_EQ(fills.size(), 2u);
    EXPECT_EQ(fills[0].brush.color, makeColor(0, 0, 255));
    EXPECT_EQ(fills[1].brush.color, kBlack);
}

// ------------------------------------------------------------ clipping and gradients

TEST(MetafileRecords, ClipRecordsAndRegions) {
    auto e = pixels();
    e.rec(EmfRecord::IntersectClipRect, {1, 2, 3, 4});   // intersect
    e.rec(EmfRecord::ExcludeClipRect, {5, 6, 7, 8});   // exclude
    Bytes rgn;  // select clip region: two rectangles, copy mode
    rgn.u32(64).u32(5).u32(32).u32(1).u32(2).u32(32).i32(0).i32(0).i32(0).i32(0);
    rgn.i32(0).i32(0).i32(10).i32(10).i32(20).i32(20).i32(30).i32(30);
    e.rec(EmfRecord::ExtSelectClipRgn, rgn);
    e.rec(EmfRecord::OffsetClipRgn, {3, -4});        // moved
    e.rec(EmfRecord::ExtSelectClipRgn, {0, 5});         // no region, copy: clipping ends
    Bytes liar;                // a region claiming more rectangles than it holds
    liar.u32(48).u32(1).u32(32).u32(1).u32(1000).u32(16).i32(0).i32(0).i32(0).i32(0).i32(0).i32(0).i32(1).i32(1);
    e.rec(EmfRecord::ExtSelectClipRgn, liar);
    const auto s = play(e.build(), PictureKind::Emf);
    ASSERT_EQ(s.calls.size(), 5u);
    EXPECT_EQ(s.calls[0].op, meta::ClipOp::Intersect);
    EXPECT_EQ(s.calls[1].op, meta::ClipOp::Exclude);
    EXPECT_EQ(s.calls[2].op, meta::ClipOp::Replace);
    EXPECT_EQ(s.calls[2].path.points.size(), 8u);
    EXPECT_EQ(s.calls[3].kind, Call::OffsetClip);
    EXPECT_EQ(s.calls[3].path.points[0], (meta::Point{3, -4}));
    EXPECT_EQ(s.calls[4].kind, Call::ResetClip);
}

TEST(MetafileRecords, GradientFills) {
    auto e = pixels();
    Bytes g;
    g.i32(0).i32(0).i32(0).i32(0).u32(2).u32(1).u32(0);  // two vertices, one rectangle, horizontal
    g.i32(0).i32(0).u16(0xFF00).u16(0).u16(0).u16(0);
    g.i32(50).i32(20).u16(0).u16(0).u16(0xFF00).u16(0);
    g.u32(0).u32(1);
    e.rec(EmfRecord::GradientFill, g);
    Bytes bad = g;
    bad.b[24 - 8 + 4] = 9;  // nine meshes claimed, one present
    e.rec(EmfRecord::GradientFill, bad);
    const auto s = play(e.build(), PictureKind::Emf);
    ASSERT_EQ(s.calls.size(), 1u);
    EXPECT_EQ(s.calls[0].kind, Call::GradRect);
    EXPECT_EQ(s.calls[0].c0, makeColor(255, 0, 0));
    EXPECT_EQ(s.calls[0].c1, makeColor(0, 0, 255));
    EXPECT_EQ(s.calls[0].path.points[1], (meta::Point{50, 20}));
}

// ------------------------------------------------------------ broken files

TEST(MetafileRecords, RecordsRunningPastTheEndStopThePlay) {
    auto e = pixels();
    e.rec(EmfRecord::Rectangle, {0, 0, 1, 1});
    auto bytes = e.build(false);
    Bytes runaway;
    runaway.u32(43).u32(0xFFFF0027).i32(0).i32(0).i32(1).i32(1);
    bytes.insert(bytes.end(), runaway.b.begin(), runaway.b.end());
    const std::uint32_t total = std::uint32_t(bytes.size());  // the header counts the runaway record in
    for (int i = 0; i < 4; ++i) bytes[48 + i] = std::uint8_t(total >> (8 * i));
    RecordingSurface s;
    playMetafile(bytes, "t", PictureKind::Emf, s);
    EXPECT_EQ(s.of(Call::Fill).size(), 1u);

    // A Windows record of size 0 would loop for ever; it ends the play.
    WmfBuilder w(0, 0, 10, 10, 96);
    w.rec(WmfRecord::Rectangle, {5, 5, 0, 0});
    Bytes zero;
    zero.u32(0).u16(0x041B);
    w.rawRecord(zero);
    w.rec(WmfRecord::Rectangle, {5, 5, 0, 0});
    EXPECT_EQ(play(w.build(), PictureKind::Wmf).of(Call::Fill).size(), 1u);
}

// A small file that covers the picture again and again is drawn whole,
// past the 64 times its area an older limit drew before it left the rest
// out unsaid: the work budget refuses what takes too long, with a message.
TEST(MetafileRecords, DrawingIsNeverCutShortWithoutAWord) {
    EmfBuilder e(100000, 100000, 1000, 1000, 1000, 1000);  // 1000 x 1000 pixels
    e.rec(EmfRecord::SelectObject, {std::int32_t(meta::kStockObjectFlag | std::uint32_t(meta::StockObject::NullPen))});
    for (int i = 0; i < 5000; ++i) e.rec(EmfRecord::Rectangle, {-10, -10, 2000, 2000});
    e.rec(EmfRecord::IntersectClipRect, {0, 0, 10, 10});
    const auto s = play(e.build(), PictureKind::Emf);
    EXPECT_EQ(s.of(Call::Fill).size(), 5000u);
    EXPECT_EQ(s.calls.back().kind, Call::Clip);
}

TEST(MetafileRecords, TruncatedRealFilesNeverCrash) {
    for (const char* file : {"wmf/wmf2svg/fulltest.wmf", "emf/wmf2svg/fulltest.emf", "wmf/libuemf/test_libuemf_ref.wmf"}) {
        const auto bytes = readFileBytes(kDir + file);
        const PictureKind kind = kindFromName(file);
        std::size_t played = 0;
        for (std::size_t n = 0; n < bytes.size(); n += 97) {
            RecordingSurface s;
            try {
                playMetafile(std::span(bytes).first(n), file, kind, s);
                ++played;
            } catch (const FileError&) {
                EXPECT_TRUE(s.calls.empty());
            }
        }
        EXPECT_GT(played, bytes.size() / 97 / 2) << file;
    }
}

}  // namespace
}  // namespace hueline
