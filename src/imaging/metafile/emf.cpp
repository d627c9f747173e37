// SPDX-License-Identifier: GPL-3.0-or-later
// Enhanced metafiles: the header checks and the record player.
#include <algorithm>
#include <cstdint>
#include <cmath>
#include <unordered_map>
#include <vector>

#include "imaging/picture/errors.h"
#include "imaging/metafile/formats.h"
#include "imaging/metafile/gdi.h"
#include "imaging/metafile/record_types.h"
#include "imaging/metafile/records.h"
#include "imaging/metafile/symbol_fonts.h"

namespace hueline::meta {

namespace {

constexpr std::uint32_t kEmfSignature = 0x464D4520;  // " EMF"
constexpr std::size_t kEmfHeaderMin = 88;
// A comment record that carries EMF+ records begins with this.
constexpr std::uint32_t kEmfPlusComment = 0x2B464D45;  // "EMF+"

class EmfPlayer {
public:
    EmfPlayer(MetafileSurface& surface, const DeviceSetup& setup, std::uint32_t handles, PlayBudget* budget)
        : ctx_(surface, setup), handles_(handles), budget_(budget) {}

    // Plays one record; false ends the play.
    bool play(std::uint32_t type, const Record& r);

private:
    // Points of a poly record: count at countAt, points from pointsAt, each
    // two 16- or 32-bit coordinates. Empty when the count does not fit.
    bool readPoints(std::size_t countAt, std::size_t pointsAt, bool small, std::vector<Point>& out) const;
    bool readPoly(const Record&, bool small, std::vector<Point>& pts) { return readPoints(24, 28, small, pts); }
    bool readPolyPoly(const Record& r, bool small, std::vector<Point>& pts, std::vector<std::uint32_t>& counts);
    bool dibAt(const Record& r, std::size_t offBmiAt, std::size_t offBitsAt, Dib& dib) const;
    std::vector<IntRect> regionData(const Record& r, std::size_t at, std::uint64_t length) const;
    void store(std::uint32_t index, GdiObject obj) {
        if (index == 0 || index >= handles_) return;
        objects_[index] = std::move(obj);
    }
    // The records by kind; each gives false for a record not of its kind.
    bool playPoly(EmfRecord t, const Record& r);
    bool playMapping(EmfRecord t, const Record& r);
    bool playObject(EmfRecord t, const Record& r);
    bool playShape(EmfRecord t, const Record& r);
    bool playClip(EmfRecord t, const Record& r);
    bool playBitmap(EmfRecord t, const Record& r);
    GdiObject font(const Record& r) const;
    void select(std::uint32_t index);
    void selectPalette(std::uint32_t index);
    void text(const Record& r, bool wide);
    void gradientFill(const Record& r);
    // A source rectangle in the source's logical units, taken to bitmap
    // pixels through the source transform stored at xformAt (scale and
    // offset; an unusable transform counts as none).
    SourceRect sourceIn(const Record& r, std::size_t xformAt, int x, int y, int w, int h) const {
        const Xform m = this->xformAt(r, xformAt);
        if (!m.sane() || m.m12 != 0 || m.m21 != 0) return {x, y, w, h};
        const double x0 = x * m.m11 + m.dx, y0 = y * m.m22 + m.dy;
        auto whole = [](double v) { return int(std::clamp(std::round(v), -1e9, 1e9)); };
        return {whole(x0), whole(y0), whole(w * m.m11), whole(h * m.m22)};
    }
    Xform xformAt(const Record& r, std::size_t at) const {
        return {r.f32(at), r.f32(at + 4), r.f32(at + 8), r.f32(at + 12), r.f32(at + 16), r.f32(at + 20)};
    }

    ColorValue color(const Record& r, std::size_t at) const { return palette_.color(r.u32(at)); }

    GdiContext ctx_;
    std::uint32_t handles_;
    PlayBudget* budget_;
    SelectedPalette palette_;
    std::unordered_map<std::uint32_t, GdiObject> objects_;
    const Record* rec_ = nullptr;
    std::string face_;
    int charset_ = 0;
};

bool EmfPlayer::readPoints(std::size_t countAt, std::size_t pointsAt, bool small, std::vector<Point>& out) const {
    const Record& r = *rec_;
    const std::uint64_t count = r.u32(countAt);
    const std::uint64_t each = small ? 4 : 8;
    if (!r.fits(pointsAt, count * each)) return false;
    if (budget_) budget_->checkShape(count);  // before the points are read in
    out.clear();
    out.reserve(std::size_t(count));
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::size_t o = pointsAt + std::size_t(i * each);
        if (small) out.push_back({double(r.i16(o)), double(r.i16(o + 2))});
        else out.push_back({double(r.i32(o)), double(r.i32(o + 4))});
    }
    return true;
}

bool EmfPlayer::readPolyPoly(const Record& r, bool small, std::vector<Point>& pts,
                             std::vector<std::uint32_t>& counts) {
    const std::uint64_t polys = r.u32(24), total = r.u32(28);
    if (!r.fits(32, polys * 4)) return false;
    const std::size_t pointsAt = 32 + std::size_t(polys * 4);
    counts.clear();
    std::uint64_t sum = 0;
    for (std::uint64_t i = 0; i < polys; ++i) {
        counts.push_back(r.u32(32 + std::size_t(i * 4)));
        sum += counts.back();
    }
    return sum <= total && readPoints(28, pointsAt, small, pts);
}

// offBmiAt and offBitsAt name where the record keeps each offset, with the
// size right after it.
bool EmfPlayer::dibAt(const Record& r, std::size_t offBmiAt, std::size_t offBitsAt, Dib& dib) const {
    const std::uint32_t offBmi = r.u32(offBmiAt), cbBmi = r.u32(offBmiAt + 4);
    const std::uint32_t offBits = r.u32(offBitsAt), cbBits = r.u32(offBitsAt + 4);
    if (cbBmi == 0 || !r.fits(offBmi, cbBmi) || !r.fits(offBits, cbBits)) return false;
    return describeDib(r.bytes(offBmi, cbBmi), r.bytes(offBits, cbBits), dib);
}

// Region data: a 32-byte header (size, type, rectangle count, bytes,
// bounds) and the rectangles.
std::vector<IntRect> EmfPlayer::regionData(const Record& r, std::size_t at, std::uint64_t length) const {
    std::vector<IntRect> rects;
    if (length < 32 || !r.fits(at, length)) return rects;
    const std::uint64_t count = r.u32(at + 8);
    if (!r.fits(at + 32, count * 16) || 32 + count * 16 > length) return rects;
    rects.reserve(std::size_t(count));
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::size_t o = at + 32 + std::size_t(i * 16);
        rects.push_back({r.i32(o), r.i32(o + 4), r.i32(o + 8), r.i32(o + 12)});
    }
    return rects;
}

void EmfPlayer::select(std::uint32_t index) {
    if (index & kStockObjectFlag) return ctx_.selectStock(index & ~kStockObjectFlag);
    const auto it = objects_.find(index);
    if (it == objects_.end()) return;  // an unknown handle is ignored
    const GdiObject& o = it->second;
    switch (o.kind) {
    case GdiObject::Kind::Pen: ctx_.selectPen(o.pen); break;
    case GdiObject::Kind::Brush: ctx_.selectBrush(o.brush); break;
    case GdiObject::Kind::Font: ctx_.selectFont(o.font), face_ = o.font.face, charset_ = o.font.charset; break;
    default: break;
    }
}

void EmfPlayer::text(const Record& r, bool wide) {
    if (r.size() < 76) return;
    const Point ref{double(r.i32(36)), double(r.i32(40))};
    const std::uint64_t chars = r.u32(44);
    const std::uint32_t offString = r.u32(48), options = r.u32(52), offDx = r.u32(72);
    const IntRect rect{r.i32(56), r.i32(60), r.i32(64), r.i32(68)};
    const bool hasRect = (options & 6) && rect.right > rect.left && rect.bottom > rect.top;
    const std::uint64_t bytes = chars * (wide ? 2 : 1);
    if (!r.fits(offString, bytes)) {
        // A string outside its record is not drawn; the opaque box still is.
        if (hasRect) ctx_.textOut(ref, {}, {}, int(options), rect);
        return;
    }
    // Glyph indices of the font rather than characters, when the record
    // says so. Codes of a symbol font pass through as they are: the device
    // context turns them into the signs they show (never glyph indices).
    const bool glyphs = options & 0x10;
    std::u16string s;
    if (wide || glyphs) {
        s.reserve(std::size_t(chars));
        for (std::uint64_t i = 0; i < chars; ++i)
            s.push_back(wide ? r.u16(offString + std::size_t(2 * i)) : r.u8(offString + std::size_t(i)));
    }
    std::vector<int> dx;
    const std::uint64_t per = (options & 0x2000) ? 2 : 1;  // with vertical advances too
    if (offDx != 0 && chars > 0 && r.fits(offDx, chars * 4 * per)) {
        dx.reserve(std::size_t(chars));
        for (std::uint64_t i = 0; i < chars; ++i) dx.push_back(r.i32(offDx + std::size_t(i * 4 * per)));
    }
    if (!wide && !glyphs)
        s = charsetToUtf16(r.bytes(offString, std::size_t(chars)), charset_, symbolFaceOf(face_) != SymbolFace::None, &dx);
    ctx_.textOut(ref, std::move(s), dx, int(options), hasRect ? std::optional<IntRect>(rect) : std::nullopt);
}

bool EmfPlayer::play(std::uint32_t type, const Record& r) {
    const auto t = EmfRecord(type);
    if (t == EmfRecord::Eof) return false;
    if (r.size() < fixedSize(t)) return true;  // too short for its own fields: skipped
    rec_ = &r;
    if (drawsOnPage(t)) {
        for (auto part : {&EmfPlayer::playPoly, &EmfPlayer::playShape, &EmfPlayer::playBitmap})
            if ((this->*part)(t, r)) break;
    } else {
        for (auto part : {&EmfPlayer::playMapping, &EmfPlayer::playObject, &EmfPlayer::playClip})
            if ((this->*part)(t, r)) break;
    }
    return true;  // comments (EMF+ included) and everything else are skipped
}

bool EmfPlayer::playPoly(EmfRecord t, const Record& r) {
    using enum EmfRecord;
    std::vector<Point> pts;
    std::vector<std::uint32_t> counts;
    switch (t) {
    case PolyBezier: case PolyBezier16: if (readPoly(r, t == PolyBezier16, pts)) ctx_.polyBezier(pts); break;
    case Polygon: case Polygon16: if (readPoly(r, t == Polygon16, pts)) ctx_.polygon(pts); break;
    case Polyline: case Polyline16: if (readPoly(r, t == Polyline16, pts)) ctx_.polyline(pts); break;
    case PolyBezierTo: case PolyBezierTo16: if (readPoly(r, t == PolyBezierTo16, pts)) ctx_.polyBezierTo(pts); break;
    case PolylineTo: case PolylineTo16: if (readPoly(r, t == PolylineTo16, pts)) ctx_.polylineTo(pts); break;
    case PolyPolyline: case PolyPolyline16:
        if (readPolyPoly(r, t == PolyPolyline16, pts, counts)) ctx_.polyPolyline(pts, counts);
        break;
    case PolyPolygon: case PolyPolygon16:
        if (readPolyPoly(r, t == PolyPolygon16, pts, counts)) ctx_.polyPolygon(pts, counts);
        break;
    case PolyDraw: case PolyDraw16:  // points, then one type byte each
        if (readPoly(r, t == PolyDraw16, pts)) {
            const std::size_t typesAt = 28 + pts.size() * (t == PolyDraw16 ? 4 : 8);
            if (r.fits(typesAt, pts.size())) ctx_.polyDraw(pts, r.bytes(typesAt, pts.size()));
        }
        break;
    default: return false;
    }
    return true;
}

bool EmfPlayer::playMapping(EmfRecord t, const Record& r) {
    using enum EmfRecord;
    switch (t) {
    case SetWindowExtEx: ctx_.setWindowExt(r.i32(8), r.i32(12)); break;
    case SetWindowOrgEx: ctx_.setWindowOrg(r.i32(8), r.i32(12)); break;
    case SetViewportExtEx: ctx_.setViewportExt(r.i32(8), r.i32(12)); break;
    case SetViewportOrgEx: ctx_.setViewportOrg(r.i32(8), r.i32(12)); break;
    case SetMapMode: ctx_.setMapMode(r.i32(8)); break;
    case ScaleViewportExtEx: ctx_.scaleViewportExt(r.i32(8), r.i32(12), r.i32(16), r.i32(20)); break;
    case ScaleWindowExtEx: ctx_.scaleWindowExt(r.i32(8), r.i32(12), r.i32(16), r.i32(20)); break;
    case SetWorldTransform: ctx_.setWorldTransform(xformAt(r, 8)); break;
    case ModifyWorldTransform: ctx_.modifyWorldTransform(xformAt(r, 8), r.i32(32)); break;
    case SaveDC: ctx_.saveDC(); break;
    case RestoreDC: ctx_.restoreDC(r.i32(8)); break;
    case SetBkMode: ctx_.setBkMode(r.i32(8)); break;
    case SetPolyFillMode: ctx_.setPolyFillMode(r.i32(8)); break;
    case SetRop2: ctx_.setRop2(r.i32(8)); break;
    case SetStretchBltMode: ctx_.setStretchMode(r.i32(8)); break;
    case SetTextAlign: ctx_.setTextAlign(r.i32(8)); break;
    case SetTextColor: ctx_.setTextColor(color(r, 8)); break;
    case SetBkColor: ctx_.setBkColor(color(r, 8)); break;
    case SetArcDirection: ctx_.setArcDirection(r.i32(8)); break;
    case SetMiterLimit: ctx_.setMiterLimit(r.u32(8) < 1000 ? double(r.u32(8)) : double(r.f32(8))); break;
    default: return false;
    }
    return true;
}

bool EmfPlayer::playObject(EmfRecord t, const Record& r) {
    using enum EmfRecord;
    GdiObject o;
    switch (t) {
    case SelectObject: select(r.u32(8)); return true;
    case DeleteObject: objects_.erase(r.u32(8)); return true;
    case SelectPalette: selectPalette(r.u32(8)); return true;
    case CreatePen:
        o.kind = GdiObject::Kind::Pen;
        o.pen = LogPen{int(r.u32(12)), double(r.i32(16)), color(r, 24), false};
        break;
    case ExtCreatePen:
        o.kind = GdiObject::Kind::Pen;
        o.pen = LogPen{int(r.u32(28)), double(r.u32(32)), color(r, 40), true};
        if (r.u32(36) == 1) o.pen.style = (o.pen.style & ~kPenStyleMask) | kPenNull;  // a hollow brush draws nothing
        break;
    case CreateBrushIndirect: {
        o.kind = GdiObject::Kind::Brush;
        const std::uint32_t style = r.u32(12);
        o.brush.color = color(r, 16);
        o.brush.hatch = r.i32(20);
        o.brush.style = style == 1 ? BrushStyle::Null : style == 2 ? BrushStyle::Hatched : BrushStyle::Solid;
        break;
    }
    case CreateMonoBrush: case CreateDIBPatternBrushPt: {
        o.kind = GdiObject::Kind::Brush;
        auto dib = std::make_shared<Dib>();
        if (dibAt(r, 16, 24, *dib)) o.brush.style = BrushStyle::Pattern, o.brush.pattern = std::move(dib);
        else o.brush.color = 0x808080;
        break;
    }
    case ExtCreateFontIndirectW: o = font(r); break;
    case CreatePalette: o = makePalette(r.bytes(16, r.size() - 16), r.u16(14)); break;
    default: return false;
    }
    store(r.u32(8), std::move(o));
    return true;
}

GdiObject EmfPlayer::font(const Record& r) const {
    GdiObject o;
    o.kind = GdiObject::Kind::Font;
    LogFont& f = o.font;
    f.height = r.i32(12), f.width = r.i32(16), f.escapement = r.i32(20), f.orientation = r.i32(24);
    f.weight = r.i32(28);
    f.italic = r.u8(32), f.underline = r.u8(33), f.strikeOut = r.u8(34), f.charset = r.u8(35);
    f.pitchAndFamily = r.u8(39);
    std::u16string face;
    for (std::size_t i = 0; i < 32 && r.u16(40 + 2 * i) != 0; ++i) face.push_back(r.u16(40 + 2 * i));
    f.face = utf16ToUtf8(face);
    return o;
}

void EmfPlayer::selectPalette(std::uint32_t index) {
    const auto it = objects_.find(index);
    if (it != objects_.end() && it->second.kind == GdiObject::Kind::Palette) palette_.select(it->second);
}

bool EmfPlayer::playShape(EmfRecord t, const Record& r) {
    using enum EmfRecord;
    auto at = [&](std::size_t o) { return Point{double(r.i32(o)), double(r.i32(o + 4))}; };
    switch (t) {
    case MoveToEx: ctx_.moveTo(at(8)); break;
    case LineTo: ctx_.lineTo(at(8)); break;
    case Ellipse: ctx_.ellipse(r.i32(8), r.i32(12), r.i32(16), r.i32(20)); break;
    case Rectangle: ctx_.rectangle(r.i32(8), r.i32(12), r.i32(16), r.i32(20)); break;
    case RoundRect: ctx_.roundRect(r.i32(8), r.i32(12), r.i32(16), r.i32(20), r.i32(24), r.i32(28)); break;
    case Arc: case Chord: case Pie: case ArcTo: {
        using K = GdiContext::ArcKind;
        const K kind = t == Arc ? K::Arc : t == Chord ? K::Chord : t == Pie ? K::Pie : K::ArcTo;
        ctx_.arc(kind, r.i32(8), r.i32(12), r.i32(16), r.i32(20), at(24), at(32));
        break;
    }
    case AngleArc: ctx_.angleArc(at(8), r.u32(16), r.f32(20), r.f32(24)); break;
    case SetPixelV: ctx_.setPixel(at(8), color(r, 16)); break;
    case BeginPath: ctx_.beginPath(); break;
    case EndPath: ctx_.endPath(); break;
    case CloseFigure: ctx_.closeFigure(); break;
    case FillPath: ctx_.fillPath(); break;
    case StrokeAndFillPath: ctx_.strokeAndFillPath(); break;
    case StrokePath: ctx_.strokePath(); break;
    case AbortPath: ctx_.abortPath(); break;
    case ExtTextOutA: text(r, false); break;
    case ExtTextOutW: text(r, true); break;
    case GradientFill: gradientFill(r); break;
    default: return false;
    }
    return true;
}

bool EmfPlayer::playClip(EmfRecord t, const Record& r) {
    using enum EmfRecord;
    switch (t) {
    case SelectClipPath: ctx_.selectClipPath(r.i32(8)); break;
    case OffsetClipRgn: ctx_.offsetClip(r.i32(8), r.i32(12)); break;
    case ExcludeClipRect: ctx_.excludeClipRect(r.i32(8), r.i32(12), r.i32(16), r.i32(20)); break;
    case IntersectClipRect: ctx_.intersectClipRect(r.i32(8), r.i32(12), r.i32(16), r.i32(20)); break;
    case ExtSelectClipRgn:
        if (r.u32(8) != 0) ctx_.selectClipRegion(regionData(r, 16, r.u32(8)), r.i32(12), false);
        else if (r.i32(12) == kRgnCopy) ctx_.resetClip();
        break;
    case FillRgn: case FrameRgn: {  // with a brush of the table
        const auto it = objects_.find(r.u32(28));
        if (it == objects_.end() || it->second.kind != GdiObject::Kind::Brush) break;
        if (t == FillRgn) ctx_.fillRegion(regionData(r, 32, r.u32(24)), it->second.brush, false);
        else ctx_.frameRegion(regionData(r, 40, r.u32(24)), it->second.brush, r.i32(32), r.i32(36), false);
        break;
    }
    case PaintRgn: ctx_.fillRegion(regionData(r, 28, r.u32(24)), ctx_.brush(), false, Mix::Copy); break;
    case InvertRgn: ctx_.fillRegion(regionData(r, 28, r.u32(24)), LogBrush{}, false, Mix::Invert); break;
    default: return false;
    }
    return true;
}

// The source rectangle of a set-DIB or stretch-DIB record, counted from
// the bitmap's bottom row, as one counted from its top; in 64 bits, as the
// record's numbers may be anything.
SourceRect fromBottom(const Dib& dib, int sx, int sy, int sw, int sh) {
    const std::int64_t fromTop = dib.height > 0 ? std::int64_t(dib.height) - sy - sh : sy;
    return {sx, int(std::clamp<std::int64_t>(fromTop, INT32_MIN, INT32_MAX)), sw, sh};
}

bool EmfPlayer::playBitmap(EmfRecord t, const Record& r) {
    using enum EmfRecord;
    Dib dib;
    const auto at = [&](std::size_t o) { return Point{double(r.i32(o)), double(r.i32(o + 4))}; };
    switch (t) {
    case BitBlt: case StretchBlt: {
        const double w = r.i32(32), h = r.i32(36);
        const bool has = r.u32(88) != 0 && dibAt(r, 84, 92, dib);
        const int sw = t == StretchBlt ? r.i32(100) : int(w), sh = t == StretchBlt ? r.i32(104) : int(h);
        ctx_.blit(has ? &dib : nullptr, r.i32(24), r.i32(28), w, h, sourceIn(r, 52, r.i32(44), r.i32(48), sw, sh),
                  r.u32(40));
        break;
    }
    case StretchDIBits:
        if (dibAt(r, 48, 56, dib))
            ctx_.blit(&dib, r.i32(24), r.i32(28), r.i32(72), r.i32(76),
                      fromBottom(dib, r.i32(32), r.i32(36), r.i32(40), r.i32(44)), r.u32(68));
        break;
    case SetDIBitsToDevice:  // one unit per pixel
        if (dibAt(r, 48, 56, dib))
            ctx_.blit(&dib, r.i32(24), r.i32(28), r.i32(40), r.i32(44),
                      fromBottom(dib, r.i32(32), r.i32(36), r.i32(40), r.i32(44)), 0xCC0020, true);
        break;
    case PlgBlt:  // onto a parallelogram
        if (dibAt(r, 96, 104, dib))
            ctx_.parallelogramBlit(dib, at(24), at(32), at(40),
                                   sourceIn(r, 64, r.i32(48), r.i32(52), r.i32(56), r.i32(60)));
        break;
    case TransparentBlt:
        if (dibAt(r, 84, 92, dib))
            ctx_.transparentBlit(dib, r.i32(24), r.i32(28), r.i32(32), r.i32(36),
                                 sourceIn(r, 52, r.i32(44), r.i32(48), r.i32(100), r.i32(104)), r.color(40));
        break;
    case AlphaBlend:
        if (dibAt(r, 84, 92, dib))
            ctx_.alphaBlend(dib, r.i32(24), r.i32(28), r.i32(32), r.i32(36),
                            sourceIn(r, 52, r.i32(44), r.i32(48), r.i32(100), r.i32(104)), r.u8(42), r.u8(43) & 1);
        break;
    default: return false;
    }
    return true;
}

// Rectangles or triangles, each shaded between the colours of its vertices.
void EmfPlayer::gradientFill(const Record& r) {
    const std::uint64_t vertices = r.u32(24), meshes = r.u32(28);
    const std::uint32_t mode = r.u32(32);
    const std::uint64_t meshBytes = mode == 2 ? 12 : 8;
    if (mode > 2 || !r.fits(36, vertices * 16) || !r.fits(36 + vertices * 16, meshes * meshBytes)) return;
    auto vertex = [&](std::uint32_t i, Point& at, ColorValue& c) {
        if (i >= vertices) return false;
        const std::size_t o = 36 + std::size_t(i) * 16;
        at = {double(r.i32(o)), double(r.i32(o + 4))};
        c = makeColor(r.u16(o + 8) >> 8, r.u16(o + 10) >> 8, r.u16(o + 12) >> 8);
        return true;
    };
    const std::size_t meshAt = 36 + std::size_t(vertices * 16);
    for (std::uint64_t m = 0; m < meshes; ++m) {
        const std::size_t o = meshAt + std::size_t(m * meshBytes);
        Point a, b, c;
        ColorValue ca, cb, cc;
        if (mode == 2) {
            if (vertex(r.u32(o), a, ca) && vertex(r.u32(o + 4), b, cb) && vertex(r.u32(o + 8), c, cc))
                ctx_.gradientTriangle(a, b, c, ca, cb, cc);
        } else if (vertex(r.u32(o), a, ca) && vertex(r.u32(o + 4), b, cb)) {
            ctx_.gradientRect(a, b, ca, cb, mode == 1);
        }
    }
}

// Calls f(type, record, offset of the next record) for each record after
// the header while f gives true. A record shorter than its own type and
// size, misaligned or running past the end ends the walk.
template <class F>
void forEachRecord(std::span<const std::uint8_t> bytes, const EmfInfo& info, F f) {
    std::size_t at = info.headerSize;
    const std::size_t end = std::min(info.end, bytes.size());
    while (end - at >= 8) {
        const Record head(bytes.subspan(at, 8));
        const std::uint32_t type = head.u32(0), size = head.u32(4);
        if (size < 8 || size % 4 != 0 || size > end - at) return;
        if (!f(type, Record(bytes.subspan(at, size)), at + size)) return;
        at += size;
    }
}

}  // namespace

double EmfInfo::frameWidthPixels() const {
    // In double: the frame's corners may be any 32-bit values.
    return (double(frameRight) - frameLeft) * devicePixelsX / (deviceMmX * 100.0);
}
double EmfInfo::frameHeightPixels() const {
    return (double(frameBottom) - frameTop) * devicePixelsY / (deviceMmY * 100.0);
}

EmfInfo readEmfInfo(std::span<const std::uint8_t> bytes, const std::string& name) {
    const Record h(bytes);
    if (bytes.size() < kEmfHeaderMin || h.u32(0) != 1 || h.u32(40) != kEmfSignature)
        throw FileError(name, "it is not an enhanced metafile");
    EmfInfo info;
    info.headerSize = h.u32(4);
    if (info.headerSize < kEmfHeaderMin || info.headerSize > bytes.size() || info.headerSize % 4 != 0)
        throw FileError(name, "its enhanced metafile header is damaged (wrong header size)");
    const std::uint32_t described = h.u32(60), descriptionAt = h.u32(64);
    if (described != 0 && (descriptionAt < kEmfHeaderMin ||
                           std::uint64_t(descriptionAt) + std::uint64_t(described) * 2 > info.headerSize))
        throw FileError(name, "its enhanced metafile header is damaged (the description lies outside it)");
    info.handles = h.u16(56);
    if (info.handles == 0) throw FileError(name, "its enhanced metafile header is damaged (no object table)");
    info.frameLeft = h.i32(24), info.frameTop = h.i32(28), info.frameRight = h.i32(32), info.frameBottom = h.i32(36);
    info.devicePixelsX = h.i32(72), info.devicePixelsY = h.i32(76);
    info.deviceMmX = h.i32(80), info.deviceMmY = h.i32(84);
    if (info.devicePixelsX <= 0 || info.devicePixelsY <= 0 || info.deviceMmX <= 0 || info.deviceMmY <= 0)
        throw FileError(name, "its enhanced metafile header gives no reference device size");
    if (std::int64_t(info.frameRight) < info.frameLeft || std::int64_t(info.frameBottom) < info.frameTop)
        throw FileError(name, "its picture frame is inverted");
    const std::uint32_t total = h.u32(48);
    info.end = total >= info.headerSize && total <= bytes.size() ? total : bytes.size();
    return info;
}

void playEmf(std::span<const std::uint8_t> bytes, const EmfInfo& info, MetafileSurface& surface, int width,
             int height, PlayBudget* budget) {
    if (width <= 0 || height <= 0) return;
    DeviceSetup setup;
    setup.pixelsPerMmX = double(info.devicePixelsX) / info.deviceMmX;
    setup.pixelsPerMmY = double(info.devicePixelsY) / info.deviceMmY;
    const double fw = info.frameWidthPixels(), fh = info.frameHeightPixels();
    const double sx = fw > 0 ? width / fw : 1, sy = fh > 0 ? height / fh : 1;
    const double left = info.frameLeft * setup.pixelsPerMmX / 100, top = info.frameTop * setup.pixelsPerMmY / 100;
    setup.toOutput = Xform{sx, 0, 0, sy, -left * sx, -top * sy};
    EmfPlayer player(surface, setup, info.handles, budget);
    const double end = double(std::min(info.end, bytes.size()));
    forEachRecord(bytes, info, [&](std::uint32_t type, const Record& r, std::size_t next) {
        if (!player.play(type, r)) return false;
        if (budget) budget->atRecord(double(next) / end);
        return true;
    });
}

bool holdsOnlyEmfPlus(std::span<const std::uint8_t> bytes, const EmfInfo& info) {
    bool emfPlus = false, draws = false;
    forEachRecord(bytes, info, [&](std::uint32_t type, const Record& r, std::size_t) {
        const auto t = EmfRecord(type);
        // Read as the player reads: the end record stops, a record too
        // short for its own fields is skipped.
        if (t == EmfRecord::Eof) return false;
        if (r.size() < fixedSize(t)) return true;
        if (t == EmfRecord::Comment && r.u32(12) == kEmfPlusComment) emfPlus = true;
        draws = drawsOnPage(t);
        return !draws;
    });
    return emfPlus && !draws;
}

}  // namespace hueline::meta
