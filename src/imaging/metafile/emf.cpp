// SPDX-License-Identifier: GPL-3.0-or-later
// Enhanced metafiles: the header checks and the record player.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cmath>
#include <unordered_map>
#include <vector>

#include "imaging/picture/errors.h"
#include "imaging/metafile/formats.h"
#include "imaging/metafile/gdi.h"
#include "imaging/metafile/records.h"

namespace hueline::meta {

namespace {

constexpr std::uint32_t kEmfSignature = 0x464D4520;  // " EMF"
constexpr std::size_t kEmfHeaderMin = 88;

bool isSymbolFace(const std::string& face) {
    std::string f;
    for (char c : face) f.push_back(char(std::tolower(static_cast<unsigned char>(c))));
    return f == "symbol";
}

class EmfPlayer {
public:
    EmfPlayer(MetafileSurface& surface, const DeviceSetup& setup, std::uint32_t handles)
        : ctx_(surface, setup), handles_(handles) {}

    // Plays one record; false ends the play.
    bool play(std::uint32_t type, const Record& r);

private:
    // Points of a poly record: count at countAt, points from pointsAt, each
    // two 16- or 32-bit coordinates. Empty when the count does not fit.
    bool readPoints(std::size_t countAt, std::size_t pointsAt, bool small, std::vector<Point>& out) const;
    bool readPoly(const Record& r, bool small, std::vector<Point>& pts);
    bool readPolyPoly(const Record& r, bool small, std::vector<Point>& pts, std::vector<std::uint32_t>& counts);
    bool dibAt(const Record& r, std::size_t offBmiAt, std::size_t offBitsAt, Dib& dib) const;
    std::vector<IntRect> regionData(const Record& r, std::size_t at, std::uint64_t length) const;
    void store(std::uint32_t index, GdiObject obj) {
        if (index == 0 || index >= handles_) return;
        objects_[index] = std::move(obj);
    }
    void select(std::uint32_t index);
    void text(const Record& r, bool wide);
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

    // A colour reference: RGB, or an entry of the selected palette.
    ColorValue color(const Record& r, std::size_t at) const {
        const std::uint32_t v = r.u32(at);
        if ((v >> 24) == 1) {
            const std::uint32_t i = v & 0xFFFF;
            return i < palette_.size() ? palette_[i] : kBlack;
        }
        return v & 0xFFFFFF;
    }

    GdiContext ctx_;
    std::uint32_t handles_;
    std::vector<ColorValue> palette_;
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
    out.clear();
    out.reserve(std::size_t(count));
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::size_t o = pointsAt + std::size_t(i * each);
        if (small) out.push_back({double(r.i16(o)), double(r.i16(o + 2))});
        else out.push_back({double(r.i32(o)), double(r.i32(o + 4))});
    }
    return true;
}

bool EmfPlayer::readPoly(const Record& r, bool small, std::vector<Point>& pts) {
    return r.size() >= 28 && readPoints(24, 28, small, pts);
}

bool EmfPlayer::readPolyPoly(const Record& r, bool small, std::vector<Point>& pts,
                             std::vector<std::uint32_t>& counts) {
    if (r.size() < 32) return false;
    const std::uint64_t polys = r.u32(24), total = r.u32(28);
    if (!r.fits(32, polys * 4)) return false;
    const std::size_t pointsAt = 32 + std::size_t(polys * 4);
    if (!r.fits(pointsAt, total * (small ? 4 : 8))) return false;
    counts.clear();
    std::uint64_t sum = 0;
    for (std::uint64_t i = 0; i < polys; ++i) {
        counts.push_back(r.u32(32 + std::size_t(i * 4)));
        sum += counts.back();
    }
    if (sum > total) return false;
    pts.clear();
    pts.reserve(std::size_t(total));
    for (std::uint64_t i = 0; i < total; ++i) {
        const std::size_t o = pointsAt + std::size_t(i * (small ? 4 : 8));
        if (small) pts.push_back({double(r.i16(o)), double(r.i16(o + 2))});
        else pts.push_back({double(r.i32(o)), double(r.i32(o + 4))});
    }
    return true;
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
    if (index & 0x80000000u) return ctx_.selectStock(int(index & 0x7FFFFFFF));
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
    std::u16string s;
    if (options & 0x10) {
        // Glyph indices cannot be turned back into characters.
        if (hasRect) ctx_.textOut(ref, {}, {}, int(options), rect);
        return;
    }
    if (wide) {
        s.reserve(std::size_t(chars));
        const bool symbol = isSymbolFace(face_);
        for (std::uint64_t i = 0; i < chars; ++i) {
            char16_t c = r.u16(offString + std::size_t(2 * i));
            if (c >= 0xF020 && c <= 0xF0FF) c = char16_t(c - 0xF000);  // symbol fonts' private-use codes
            if (symbol && c < 0x100) {
                const std::uint8_t code = std::uint8_t(c);
                c = ansiToUtf16(std::span<const std::uint8_t>(&code, 1), true)[0];
            }
            s.push_back(c);
        }
    }
    std::vector<int> dx;
    const std::uint64_t per = (options & 0x2000) ? 2 : 1;  // with vertical advances too
    if (offDx != 0 && chars > 0 && r.fits(offDx, chars * 4 * per)) {
        dx.reserve(std::size_t(chars));
        for (std::uint64_t i = 0; i < chars; ++i) dx.push_back(r.i32(offDx + std::size_t(i * 4 * per)));
    }
    if (!wide) s = charsetToUtf16(r.bytes(offString, std::size_t(chars)), charset_, isSymbolFace(face_), &dx);
    ctx_.textOut(ref, std::move(s), dx, int(options), hasRect ? std::optional<IntRect>(rect) : std::nullopt);
}

bool EmfPlayer::play(std::uint32_t type, const Record& r) {
    rec_ = &r;
    const std::size_t n = r.size();
    std::vector<Point> pts;
    std::vector<std::uint32_t> counts;
    switch (type) {
    case 14: return false;  // end of file
    // Poly records, 32- and 16-bit points.
    case 2: case 85: if (readPoly(r, type == 85, pts)) ctx_.polyBezier(pts); break;
    case 3: case 86: if (readPoly(r, type == 86, pts)) ctx_.polygon(pts); break;
    case 4: case 87: if (readPoly(r, type == 87, pts)) ctx_.polyline(pts); break;
    case 5: case 88: if (readPoly(r, type == 88, pts)) ctx_.polyBezierTo(pts); break;
    case 6: case 89: if (readPoly(r, type == 89, pts)) ctx_.polylineTo(pts); break;
    case 7: case 90: if (readPolyPoly(r, type == 90, pts, counts)) ctx_.polyPolyline(pts, counts); break;
    case 8: case 91: if (readPolyPoly(r, type == 91, pts, counts)) ctx_.polyPolygon(pts, counts); break;
    case 56: case 92:  // poly-draw: points, then one type byte each
        if (readPoly(r, type == 92, pts)) {
            const std::size_t typesAt = 28 + pts.size() * (type == 92 ? 4 : 8);
            if (r.fits(typesAt, pts.size())) ctx_.polyDraw(pts, r.bytes(typesAt, pts.size()));
        }
        break;
    // Mapping.
    case 9: if (n >= 16) ctx_.setWindowExt(r.i32(8), r.i32(12)); break;
    case 10: if (n >= 16) ctx_.setWindowOrg(r.i32(8), r.i32(12)); break;
    case 11: if (n >= 16) ctx_.setViewportExt(r.i32(8), r.i32(12)); break;
    case 12: if (n >= 16) ctx_.setViewportOrg(r.i32(8), r.i32(12)); break;
    case 17: if (n >= 12) ctx_.setMapMode(r.i32(8)); break;
    case 31: if (n >= 24) ctx_.scaleViewportExt(r.i32(8), r.i32(12), r.i32(16), r.i32(20)); break;
    case 32: if (n >= 24) ctx_.scaleWindowExt(r.i32(8), r.i32(12), r.i32(16), r.i32(20)); break;
    case 35: if (n >= 32) ctx_.setWorldTransform(xformAt(r, 8)); break;
    case 36: if (n >= 36) ctx_.modifyWorldTransform(xformAt(r, 8), r.i32(32)); break;
    case 33: ctx_.saveDC(); break;
    case 34: if (n >= 12) ctx_.restoreDC(r.i32(8)); break;
    // Modes and colours.
    case 18: if (n >= 12) ctx_.setBkMode(r.i32(8)); break;
    case 19: if (n >= 12) ctx_.setPolyFillMode(r.i32(8)); break;
    case 20: if (n >= 12) ctx_.setRop2(r.i32(8)); break;
    case 21: if (n >= 12) ctx_.setStretchMode(r.i32(8)); break;
    case 22: if (n >= 12) ctx_.setTextAlign(r.i32(8)); break;
    case 24: if (n >= 12) ctx_.setTextColor(color(r, 8)); break;
    case 25: if (n >= 12) ctx_.setBkColor(color(r, 8)); break;
    case 57: if (n >= 12) ctx_.setArcDirection(r.i32(8)); break;
    case 58:
        if (n >= 12) {
            const std::uint32_t v = r.u32(8);
            ctx_.setMiterLimit(v < 1000 ? double(v) : double(r.f32(8)));
        }
        break;
    // Objects.
    case 37: if (n >= 12) select(r.u32(8)); break;
    case 40: if (n >= 12) objects_.erase(r.u32(8)); break;
    case 38:  // create pen
        if (n >= 28) {
            GdiObject o;
            o.kind = GdiObject::Kind::Pen;
            o.pen = LogPen{int(r.u32(12)), double(r.i32(16)), color(r, 24), false};
            store(r.u32(8), std::move(o));
        }
        break;
    case 95:  // extended pen
        if (n >= 52) {
            GdiObject o;
            o.kind = GdiObject::Kind::Pen;
            const int brushStyle = int(r.u32(36));
            o.pen = LogPen{int(r.u32(28)), double(r.u32(32)), color(r, 40), true};
            if (brushStyle == 1) o.pen.style = (o.pen.style & ~0xF) | 5;  // a hollow brush draws nothing
            store(r.u32(8), std::move(o));
        }
        break;
    case 39:  // create brush
        if (n >= 24) {
            GdiObject o;
            o.kind = GdiObject::Kind::Brush;
            const std::uint32_t style = r.u32(12);
            o.brush.color = color(r, 16);
            o.brush.hatch = r.i32(20);
            o.brush.style = style == 1 ? BrushStyle::Null : style == 2 ? BrushStyle::Hatched : BrushStyle::Solid;
            store(r.u32(8), std::move(o));
        }
        break;
    case 93: case 94:  // pattern brushes (two-colour and colour bitmaps)
        if (n >= 32) {
            GdiObject o;
            o.kind = GdiObject::Kind::Brush;
            auto dib = std::make_shared<Dib>();
            if (dibAt(r, 16, 24, *dib)) {
                o.brush.style = BrushStyle::Pattern;
                o.brush.pattern = std::move(dib);
            } else {
                o.brush.color = 0x808080;
            }
            store(r.u32(8), std::move(o));
        }
        break;
    case 82:  // font
        if (n >= 104) {
            GdiObject o;
            o.kind = GdiObject::Kind::Font;
            LogFont& f = o.font;
            f.height = r.i32(12), f.width = r.i32(16), f.escapement = r.i32(20), f.orientation = r.i32(24);
            f.weight = r.i32(28);
            f.italic = r.u8(32), f.underline = r.u8(33), f.strikeOut = r.u8(34), f.charset = r.u8(35);
            f.pitchAndFamily = r.u8(39);
            std::u16string face;
            for (std::size_t i = 0; i < 32; ++i) {
                const char16_t c = r.u16(40 + 2 * i);
                if (c == 0) break;
                face.push_back(c);
            }
            f.face = utf16ToUtf8(face);
            store(r.u32(8), std::move(o));
        }
        break;
    case 49:  // palette: its entries ride in the region list as red, green, blue
        if (n >= 16) {
            GdiObject o;
            o.kind = GdiObject::Kind::Palette;
            const std::size_t count = r.u16(14);
            for (std::size_t i = 0; i < count && r.fits(16 + 4 * i, 4); ++i)
                o.region.push_back({r.u8(16 + 4 * i), r.u8(17 + 4 * i), r.u8(18 + 4 * i), 0});
            store(r.u32(8), std::move(o));
        }
        break;
    case 48:  // select palette
        if (n >= 12) {
            const auto it = objects_.find(r.u32(8));
            if (it != objects_.end() && it->second.kind == GdiObject::Kind::Palette) {
                palette_.clear();
                for (const IntRect& e : it->second.region) palette_.push_back(makeColor(e.left, e.top, e.right));
            }
        }
        break;
    // Shapes.
    case 27: if (n >= 16) ctx_.moveTo({double(r.i32(8)), double(r.i32(12))}); break;
    case 54: if (n >= 16) ctx_.lineTo({double(r.i32(8)), double(r.i32(12))}); break;
    case 42: if (n >= 24) ctx_.ellipse(r.i32(8), r.i32(12), r.i32(16), r.i32(20)); break;
    case 43: if (n >= 24) ctx_.rectangle(r.i32(8), r.i32(12), r.i32(16), r.i32(20)); break;
    case 44:
        if (n >= 32) ctx_.roundRect(r.i32(8), r.i32(12), r.i32(16), r.i32(20), r.i32(24), r.i32(28));
        break;
    case 45: case 46: case 47: case 55:
        if (n >= 40) {
            const auto kind = type == 45   ? GdiContext::ArcKind::Arc
                              : type == 46 ? GdiContext::ArcKind::Chord
                              : type == 47 ? GdiContext::ArcKind::Pie
                                           : GdiContext::ArcKind::ArcTo;
            ctx_.arc(kind, r.i32(8), r.i32(12), r.i32(16), r.i32(20), {double(r.i32(24)), double(r.i32(28))},
                     {double(r.i32(32)), double(r.i32(36))});
        }
        break;
    case 41:
        if (n >= 28) ctx_.angleArc({double(r.i32(8)), double(r.i32(12))}, r.u32(16), r.f32(20), r.f32(24));
        break;
    case 15: if (n >= 20) ctx_.setPixel({double(r.i32(8)), double(r.i32(12))}, color(r, 16)); break;
    // Paths.
    case 59: ctx_.beginPath(); break;
    case 60: ctx_.endPath(); break;
    case 61: ctx_.closeFigure(); break;
    case 62: ctx_.fillPath(); break;
    case 63: ctx_.strokeAndFillPath(); break;
    case 64: ctx_.strokePath(); break;
    case 67: if (n >= 12) ctx_.selectClipPath(r.i32(8)); break;
    case 68: ctx_.abortPath(); break;
    // Clipping.
    case 26: if (n >= 16) ctx_.offsetClip(r.i32(8), r.i32(12)); break;
    case 29: if (n >= 24) ctx_.excludeClipRect(r.i32(8), r.i32(12), r.i32(16), r.i32(20)); break;
    case 30: if (n >= 24) ctx_.intersectClipRect(r.i32(8), r.i32(12), r.i32(16), r.i32(20)); break;
    case 75:
        if (n >= 16) {
            const std::uint32_t length = r.u32(8);
            const int mode = r.i32(12);
            if (length == 0) {
                if (mode == kRgnCopy) ctx_.resetClip();
            } else {
                const auto rects = regionData(r, 16, length);
                ctx_.selectClipRegion(rects, mode, false);
            }
        }
        break;
    case 71:  // fill region with a brush
        if (n >= 32) {
            const auto it = objects_.find(r.u32(28));
            if (it != objects_.end() && it->second.kind == GdiObject::Kind::Brush)
                ctx_.fillRegion(regionData(r, 32, r.u32(24)), it->second.brush, false);
        }
        break;
    case 72:  // frame a region with a brush
        if (n >= 40) {
            const auto it = objects_.find(r.u32(28));
            if (it != objects_.end() && it->second.kind == GdiObject::Kind::Brush)
                ctx_.frameRegion(regionData(r, 40, r.u32(24)), it->second.brush, r.i32(32), r.i32(36), false);
        }
        break;
    case 79:  // bitmap onto a parallelogram
        if (n >= 140) {
            Dib dib;
            if (dibAt(r, 96, 104, dib)) {
                const Point tl{double(r.i32(24)), double(r.i32(28))}, tr{double(r.i32(32)), double(r.i32(36))};
                const Point bl{double(r.i32(40)), double(r.i32(44))};
                ctx_.parallelogramBlit(dib, tl, tr, bl, sourceIn(r, 64, r.i32(48), r.i32(52), r.i32(56), r.i32(60)));
            }
        }
        break;
    case 116:  // transparent blit
        if (n >= 108) {
            Dib dib;
            if (dibAt(r, 84, 92, dib))
                ctx_.transparentBlit(dib, r.i32(24), r.i32(28), r.i32(32), r.i32(36),
                                     sourceIn(r, 52, r.i32(44), r.i32(48), r.i32(100), r.i32(104)), r.color(40));
        }
        break;
    case 74: case 73:  // paint or invert a region
        if (n >= 28)
            ctx_.fillRegion(regionData(r, 28, r.u32(24)), type == 74 ? ctx_.brush() : LogBrush{}, false,
                            type == 74 ? Mix::Copy : Mix::Invert);
        break;
    // Text.
    case 83: text(r, false); break;
    case 84: text(r, true); break;
    // Bitmaps.
    case 76: case 77:  // bit blit and stretch blit
        if (n >= (type == 76 ? 100u : 108u)) {
            const double x = r.i32(24), y = r.i32(28), w = r.i32(32), h = r.i32(36);
            const std::uint32_t rop = r.u32(40);
            Dib dib;
            const bool has = r.u32(88) != 0 && dibAt(r, 84, 92, dib);
            const int sw = type == 77 ? r.i32(100) : int(w), sh = type == 77 ? r.i32(104) : int(h);
            ctx_.blit(has ? &dib : nullptr, x, y, w, h, sourceIn(r, 52, r.i32(44), r.i32(48), sw, sh), rop);
        }
        break;
    case 81:  // stretch DIB bits
        if (n >= 80) {
            Dib dib;
            if (dibAt(r, 48, 56, dib)) {
                const int sx = r.i32(32), sy = r.i32(36), sw = r.i32(40), sh = r.i32(44);
                // Counted from the bitmap's top row; in 64 bits, as the record's
                // numbers may be anything.
                const std::int64_t fromTop = dib.height > 0 ? std::int64_t(dib.height) - sy - sh : sy;
                const int top = int(std::clamp<std::int64_t>(fromTop, INT32_MIN, INT32_MAX));
                ctx_.blit(&dib, r.i32(24), r.i32(28), r.i32(72), r.i32(76), {sx, top, sw, sh}, r.u32(68));
            }
        }
        break;
    case 80:  // set DIB bits to the device, one unit per pixel
        if (n >= 76) {
            Dib dib;
            if (dibAt(r, 48, 56, dib)) {
                const int sx = r.i32(32), sy = r.i32(36), sw = r.i32(40), sh = r.i32(44);
                // Counted from the bitmap's top row; in 64 bits, as the record's
                // numbers may be anything.
                const std::int64_t fromTop = dib.height > 0 ? std::int64_t(dib.height) - sy - sh : sy;
                const int top = int(std::clamp<std::int64_t>(fromTop, INT32_MIN, INT32_MAX));
                ctx_.blit(&dib, r.i32(24), r.i32(28), sw, sh, {sx, top, sw, sh}, 0xCC0020, true);
            }
        }
        break;
    case 114:  // alpha blend
        if (n >= 108) {
            Dib dib;
            if (dibAt(r, 84, 92, dib))
                ctx_.alphaBlend(dib, r.i32(24), r.i32(28), r.i32(32), r.i32(36),
                                sourceIn(r, 52, r.i32(44), r.i32(48), r.i32(100), r.i32(104)), r.u8(42), r.u8(43) & 1);
        }
        break;
    case 118:  // gradient fill
        if (n >= 36) {
            const std::uint64_t vertices = r.u32(24), meshes = r.u32(28);
            const std::uint32_t mode = r.u32(32);
            const std::uint64_t meshBytes = mode == 2 ? 12 : 8;
            if (mode > 2 || !r.fits(36, vertices * 16) || !r.fits(36 + vertices * 16, meshes * meshBytes)) break;
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
        break;
    default: break;  // comments (EMF+ included) and everything else are skipped
    }
    return true;
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
             int height) {
    if (width <= 0 || height <= 0) return;
    DeviceSetup setup;
    setup.outputWidth = width, setup.outputHeight = height;
    setup.pixelsPerMmX = double(info.devicePixelsX) / info.deviceMmX;
    setup.pixelsPerMmY = double(info.devicePixelsY) / info.deviceMmY;
    const double fw = info.frameWidthPixels(), fh = info.frameHeightPixels();
    const double sx = fw > 0 ? width / fw : 1, sy = fh > 0 ? height / fh : 1;
    const double left = info.frameLeft * setup.pixelsPerMmX / 100, top = info.frameTop * setup.pixelsPerMmY / 100;
    setup.toOutput = Xform{sx, 0, 0, sy, -left * sx, -top * sy};
    EmfPlayer player(surface, setup, info.handles);

    std::size_t at = info.headerSize;
    const std::size_t end = std::min(info.end, bytes.size());
    while (end - at >= 8) {
        const Record head(bytes.subspan(at, 8));
        const std::uint32_t type = head.u32(0), size = head.u32(4);
        // A record shorter than its own fields, misaligned or running past
        // the end ends the play.
        if (size < 8 || size % 4 != 0 || size > end - at) break;
        if (!player.play(type, Record(bytes.subspan(at, size)))) break;
        at += size;
    }
}

}  // namespace hueline::meta
