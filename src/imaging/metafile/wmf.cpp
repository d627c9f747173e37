// SPDX-License-Identifier: GPL-3.0-or-later
// Windows metafiles, with the placeable header or without it: the header
// checks and the record player.
#include <algorithm>
#include <cmath>
#include <memory>
#include <set>
#include <vector>

#include "imaging/picture/errors.h"
#include "imaging/metafile/drawn_bounds.h"
#include "imaging/metafile/formats.h"
#include "imaging/metafile/gdi.h"
#include "imaging/metafile/record_types.h"
#include "imaging/metafile/records.h"
#include "imaging/metafile/symbol_fonts.h"

namespace hueline::meta {

namespace {

constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr std::size_t kPlaceableSize = 22;
constexpr std::size_t kStandardHeaderSize = 18;

// The object table of a Windows metafile: a create takes the lowest free
// slot. Slots are found through the set of freed ones below the highest
// slot used so far, so that neither a large table nor many creates cost
// more than the file justifies.
class ObjectTable {
public:
    explicit ObjectTable(std::uint32_t slots) : slots_(slots) {}

    void create(GdiObject obj) {
        std::uint32_t slot;
        if (!freed_.empty()) {
            slot = *freed_.begin();
            freed_.erase(freed_.begin());
        } else if (objects_.size() < slots_) {
            slot = std::uint32_t(objects_.size());
            objects_.emplace_back();
        } else {
            return;  // the table is full: the object is dropped, as a device context would refuse it
        }
        objects_[slot] = std::make_unique<GdiObject>(std::move(obj));
    }
    const GdiObject* get(std::uint32_t slot) const {
        return slot < objects_.size() ? objects_[slot].get() : nullptr;
    }
    void remove(std::uint32_t slot) {
        if (slot >= objects_.size() || !objects_[slot]) return;
        objects_[slot].reset();
        freed_.insert(slot);
    }

private:
    std::uint32_t slots_;
    std::vector<std::unique_ptr<GdiObject>> objects_;
    std::set<std::uint32_t> freed_;
};

// Little-endian bytes, for bitmap headers made here.
struct Bytes16 {
    std::vector<std::uint8_t> b;
    Bytes16& u16(std::uint16_t v) { b.push_back(std::uint8_t(v)), b.push_back(std::uint8_t(v >> 8)); return *this; }
    Bytes16& u32(std::uint32_t v) { return u16(std::uint16_t(v)).u16(std::uint16_t(v >> 16)); }
};

class WmfPlayer {
public:
    WmfPlayer(MetafileSurface& surface, const DeviceSetup& setup, std::uint32_t objects)
        : ctx_(surface, setup), table_(objects) {}

    // Plays one record; false ends the play.
    bool play(std::uint16_t function, const Record& r);

private:
    // Parameter i, counted in 16-bit words after the function number.
    int p(std::size_t i) const { return rec_->i16(6 + 2 * i); }
    std::uint32_t u32p(std::size_t i) const { return rec_->u32(6 + 2 * i); }
    std::size_t params() const { return (rec_->size() - 6) / 2; }
    ColorValue color(std::uint32_t v) const { return palette_.color(v); }
    std::vector<Point> points(std::size_t wordOffset, std::size_t count) const {
        std::vector<Point> pts;
        pts.reserve(count);
        for (std::size_t i = 0; i < count; ++i)
            pts.push_back({double(p(wordOffset + 2 * i)), double(p(wordOffset + 2 * i + 1))});
        return pts;
    }
    // The records by kind; each gives false for a record not of its kind.
    bool playState(WmfRecord t);
    bool playObject(WmfRecord t);
    bool playRegion(WmfRecord t);
    bool playDrawing(WmfRecord t);
    GdiObject font() const;
    GdiObject region() const;
    void select(std::uint32_t slot);
    void selectPalette(std::uint32_t slot);
    void textOut(bool extended);
    void dibBlit(WmfRecord t);

    GdiContext ctx_;
    ObjectTable table_;
    const Record* rec_ = nullptr;
    SelectedPalette palette_;
    std::string faceForText_;
    int charset_ = 0;
};

bool WmfPlayer::play(std::uint16_t function, const Record& r) {
    const auto t = WmfRecord(function);
    if (t == WmfRecord::Eof) return false;
    rec_ = &r;
    if (params() < fixedWords(t)) return true;  // too short for its own fields: skipped
    for (auto part : {&WmfPlayer::playState, &WmfPlayer::playObject, &WmfPlayer::playRegion})
        if ((this->*part)(t)) return true;
    return playDrawing(t);  // escapes and everything else are skipped
}

bool WmfPlayer::playState(WmfRecord t) {
    using enum WmfRecord;
    switch (t) {
    case SetMapMode: ctx_.setMapMode(p(0)); break;
    case SetWindowOrg: ctx_.setWindowOrg(p(1), p(0)); break;
    case SetWindowExt: ctx_.setWindowExt(p(1), p(0)); break;
    case SetViewportOrg: ctx_.setViewportOrg(p(1), p(0)); break;
    case SetViewportExt: ctx_.setViewportExt(p(1), p(0)); break;
    case OffsetWindowOrg: ctx_.offsetWindowOrg(p(1), p(0)); break;
    case OffsetViewportOrg: ctx_.offsetViewportOrg(p(1), p(0)); break;
    case ScaleWindowExt: ctx_.scaleWindowExt(p(3), p(2), p(1), p(0)); break;
    case ScaleViewportExt: ctx_.scaleViewportExt(p(3), p(2), p(1), p(0)); break;
    case SaveDC: ctx_.saveDC(); break;
    case RestoreDC: ctx_.restoreDC(p(0)); break;
    case SetBkMode: ctx_.setBkMode(p(0)); break;
    case SetRop2: ctx_.setRop2(p(0)); break;
    case SetPolyFillMode: ctx_.setPolyFillMode(p(0)); break;
    case SetTextAlign: ctx_.setTextAlign(std::uint16_t(p(0))); break;
    case SetBkColor: ctx_.setBkColor(color(u32p(0))); break;
    case SetTextColor: ctx_.setTextColor(color(u32p(0))); break;
    case SetTextCharExtra: ctx_.setCharExtra(p(0)); break;
    case SetStretchBltMode: ctx_.setStretchMode(p(0)); break;
    default: return false;
    }
    return true;
}

bool WmfPlayer::playObject(WmfRecord t) {
    using enum WmfRecord;
    const Record& r = *rec_;
    GdiObject o;
    switch (t) {
    case CreatePenIndirect:
        o.kind = GdiObject::Kind::Pen;
        o.pen = LogPen{std::uint16_t(p(0)), double(p(1)), color(u32p(3)), false};
        break;
    case CreateBrushIndirect: {
        o.kind = GdiObject::Kind::Brush;
        const int style = std::uint16_t(p(0));
        o.brush.color = color(u32p(1));
        o.brush.hatch = params() >= 4 ? p(3) : 0;
        o.brush.style = style == 1 ? BrushStyle::Null : style == 2 ? BrushStyle::Hatched : BrushStyle::Solid;
        break;
    }
    case DibCreatePatternBrush: {
        o.kind = GdiObject::Kind::Brush;
        auto dib = std::make_shared<Dib>();
        if (params() >= 2 && describePackedDib(r.bytes(10, r.size() - std::min<std::size_t>(r.size(), 10)), *dib))
            o.brush.style = BrushStyle::Pattern, o.brush.pattern = std::move(dib);
        else o.brush.color = 0x808080;
        break;
    }
    case CreatePatternBrush:  // from a device-dependent bitmap: drawn gray
        o.kind = GdiObject::Kind::Brush;
        o.brush.color = 0x808080;
        break;
    case CreateFontIndirect: o = font(); break;
    case CreatePalette:
        o = makePalette(r.bytes(10, r.size() - std::min<std::size_t>(r.size(), 10)), params() >= 2 ? std::uint16_t(p(1)) : 0);
        break;
    case CreateRegion: o = region(); break;
    case SelectObject: select(std::uint16_t(p(0))); return true;
    case SelectPalette: selectPalette(std::uint16_t(p(0))); return true;
    case DeleteObject: table_.remove(std::uint16_t(p(0))); return true;
    default: return false;
    }
    table_.create(std::move(o));
    return true;
}

void WmfPlayer::select(std::uint32_t slot) {
    const GdiObject* o = table_.get(slot);
    if (!o) return;
    if (o->kind == GdiObject::Kind::Pen) ctx_.selectPen(o->pen);
    else if (o->kind == GdiObject::Kind::Brush) ctx_.selectBrush(o->brush);
    else if (o->kind == GdiObject::Kind::Font) ctx_.selectFont(o->font), faceForText_ = o->font.face, charset_ = o->font.charset;
    else if (o->kind == GdiObject::Kind::Region) ctx_.selectClipRegion(o->region, kRgnCopy, true);
}

void WmfPlayer::selectPalette(std::uint32_t slot) {
    if (const GdiObject* o = table_.get(slot); o && o->kind == GdiObject::Kind::Palette) palette_.select(*o);
}

bool WmfPlayer::playRegion(WmfRecord t) {
    using enum WmfRecord;
    const GdiObject* rg = table_.get(std::uint16_t(p(0)));
    const bool isRegion = rg && rg->kind == GdiObject::Kind::Region;
    auto brushAt = [&](std::size_t i) {
        const GdiObject* br = table_.get(std::uint16_t(p(i)));
        return br && br->kind == GdiObject::Kind::Brush ? br : nullptr;
    };
    switch (t) {
    case SelectClipRegion:
        if (isRegion) ctx_.selectClipRegion(rg->region, kRgnCopy, true);
        else if (!rg) ctx_.resetClip();
        break;
    case FillRegion:
        if (const GdiObject* br = brushAt(1); isRegion && br) ctx_.fillRegion(rg->region, br->brush, true);
        break;
    case FrameRegion:
        if (const GdiObject* br = brushAt(1); isRegion && br)
            ctx_.frameRegion(rg->region, br->brush, p(3), p(2), true);
        break;
    case PaintRegion: if (isRegion) ctx_.fillRegion(rg->region, ctx_.brush(), true, Mix::Copy); break;
    case InvertRegion: if (isRegion) ctx_.fillRegion(rg->region, LogBrush{}, true, Mix::Invert); break;
    case IntersectClipRect: ctx_.intersectClipRect(p(3), p(2), p(1), p(0)); break;
    case ExcludeClipRect: ctx_.excludeClipRect(p(3), p(2), p(1), p(0)); break;
    case OffsetClipRgn: ctx_.offsetClip(p(1), p(0)); break;
    default: return false;
    }
    return true;
}

// False ends the play: a poly record whose points run past its end.
bool WmfPlayer::playDrawing(WmfRecord t) {
    using enum WmfRecord;
    const std::size_t n = params();
    switch (t) {
    case MoveTo: ctx_.moveTo({double(p(1)), double(p(0))}); break;
    case LineTo: ctx_.lineTo({double(p(1)), double(p(0))}); break;
    case Polyline: case Polygon: {
        const std::size_t count = std::uint16_t(p(0));
        if (1 + 2 * count > n) return false;
        if (t == Polyline) ctx_.polyline(points(1, count));
        else ctx_.polygon(points(1, count));
        break;
    }
    case PolyPolygon: {
        const std::size_t polys = std::uint16_t(p(0));
        if (1 + polys > n) return false;
        std::vector<std::uint32_t> counts;
        std::uint64_t total = 0;
        for (std::size_t i = 0; i < polys; ++i) counts.push_back(std::uint16_t(p(1 + i))), total += counts.back();
        if (1 + polys + 2 * total > n) return false;
        ctx_.polyPolygon(points(1 + polys, std::size_t(total)), counts);
        break;
    }
    case Rectangle: ctx_.rectangle(p(3), p(2), p(1), p(0)); break;
    case Ellipse: ctx_.ellipse(p(3), p(2), p(1), p(0)); break;
    case RoundRect: ctx_.roundRect(p(5), p(4), p(3), p(2), p(1), p(0)); break;
    case Arc: case Pie: case Chord: {
        using K = GdiContext::ArcKind;
        const K kind = t == Arc ? K::Arc : t == Pie ? K::Pie : K::Chord;
        ctx_.arc(kind, p(7), p(6), p(5), p(4), {double(p(3)), double(p(2))}, {double(p(1)), double(p(0))});
        break;
    }
    case SetPixel: ctx_.setPixel({double(p(3)), double(p(2))}, color(u32p(0))); break;
    case TextOut: textOut(false); break;
    case ExtTextOut: textOut(true); break;
    case PatBlt: ctx_.blit(nullptr, p(5), p(4), p(3), p(2), {}, u32p(0)); break;
    case DibBitBlt: case DibStretchBlt: case StretchDib: case SetDibToDev: case BitBlt: case StretchBlt:
        dibBlit(t);
        break;
    default: break;
    }
    return true;
}

GdiObject WmfPlayer::font() const {
    const Record& r = *rec_;
    GdiObject o;
    o.kind = GdiObject::Kind::Font;
    if (r.size() >= 6 + 18) {
        LogFont& f = o.font;
        f.height = p(0), f.width = p(1), f.escapement = p(2), f.orientation = p(3), f.weight = p(4);
        f.italic = r.u8(16), f.underline = r.u8(17), f.strikeOut = r.u8(18), f.charset = r.u8(19);
        f.pitchAndFamily = r.u8(23);
        std::string face;
        for (std::size_t i = 24; i < r.size() && i < 24 + 32 && r.u8(i) != 0; ++i) face.push_back(char(r.u8(i)));
        // Face names are in the font's own code page; keep them as UTF-8.
        std::vector<std::uint8_t> raw(face.begin(), face.end());
        f.face = utf16ToUtf8(charsetToUtf16(raw, f.charset, false));
    }
    return o;
}

GdiObject WmfPlayer::region() const {
    const Record& r = *rec_;
    GdiObject o;
    o.kind = GdiObject::Kind::Region;
    if (r.size() >= 28) {
        const int scans = std::uint16_t(r.i16(16));
        std::size_t at = 28;
        for (int s = 0; s < scans; ++s) {
            if (!r.fits(at, 6)) break;
            const int count = r.u16(at), top = r.i16(at + 2), bottom = r.i16(at + 4);
            at += 6;
            if (!r.fits(at, std::uint64_t(count) * 2 + 2)) break;
            for (int k = 0; k + 1 < count; k += 2)
                o.region.push_back({r.i16(at + 2 * k), top, r.i16(at + 2 * k + 2), bottom});
            at += std::size_t(count) * 2 + 2;
        }
        if (scans == 0 && r.i16(24) > r.i16(20) && r.i16(26) > r.i16(22))
            o.region.push_back({r.i16(20), r.i16(22), r.i16(24), r.i16(26)});
    }
    return o;
}

void WmfPlayer::textOut(bool extended) {
    const Record& r = *rec_;
    const std::size_t n = params();
    const bool symbol = symbolFaceOf(faceForText_) != SymbolFace::None;
    if (!extended) {
        if (n < 1) return;
        const std::size_t count = std::uint16_t(p(0));
        const std::size_t strWords = (count + 1) / 2;
        if (1 + strWords + 2 > n) return;
        const auto text = charsetToUtf16(r.bytes(8, count), charset_, symbol);
        const double y = p(1 + strWords), x = p(2 + strWords);
        ctx_.textOut({x, y}, text, {}, 0, std::nullopt);
        return;
    }
    if (n < 4) return;
    const double y = p(0), x = p(1);
    const std::size_t count = std::uint16_t(p(2));
    const int options = std::uint16_t(p(3));
    std::size_t at = 14;
    std::optional<IntRect> rect;
    if (options & 6) {
        if (!r.fits(at, 8)) return;
        rect = IntRect{r.i16(at), r.i16(at + 2), r.i16(at + 4), r.i16(at + 6)};
        at += 8;
    }
    if (!r.fits(at, count)) return;
    const auto bytes = r.bytes(at, count);
    at += (count + 1) / 2 * 2;
    std::vector<int> dx;
    if (count > 0 && r.fits(at, count * 2)) {
        dx.reserve(count);
        for (std::size_t i = 0; i < count; ++i) dx.push_back(r.i16(at + 2 * i));
    }
    const auto text = charsetToUtf16(bytes, charset_, symbol, &dx);
    ctx_.textOut({x, y}, text, dx, options, rect);
}

// A device-dependent bitmap (type, width, height, bytes per row, planes,
// bits per pixel, then top-down rows) as a device-independent one. Only the
// depths that need no device palette are taken: 1 bit (black and white),
// 24 and 32 bits.
bool bitmap16ToDib(std::span<const std::uint8_t> bm, Dib& dib) {
    const Record b(bm);
    if (b.size() < 10) return false;
    const int width = b.i16(2), height = b.i16(4), rowBytes = b.i16(6), planes = b.u8(8), bpp = b.u8(9);
    if (width <= 0 || height <= 0 || planes != 1 || (bpp != 1 && bpp != 24 && bpp != 32)) return false;
    if (rowBytes < (width * bpp + 7) / 8 || !b.fits(10, std::uint64_t(rowBytes) * std::uint64_t(height))) return false;
    Bytes16 header;
    header.u32(40).u32(std::uint32_t(width)).u32(std::uint32_t(-height)).u16(1).u16(std::uint16_t(bpp));
    header.u32(0).u32(0).u32(0).u32(0).u32(bpp == 1 ? 2 : 0).u32(0);
    if (bpp == 1) header.u32(0x000000).u32(0xFFFFFF);
    const std::size_t stride = (std::size_t(width) * std::size_t(bpp) + 31) / 32 * 4;
    std::vector<std::uint8_t> bits(stride * std::size_t(height), 0);
    const std::size_t copy = std::min<std::size_t>(stride, std::size_t(rowBytes));
    for (int y = 0; y < height; ++y) {
        const auto row = b.bytes(10 + std::size_t(y) * std::size_t(rowBytes), copy);
        std::copy(row.begin(), row.end(), bits.begin() + std::ptrdiff_t(std::size_t(y) * stride));
    }
    return describeDib(header.b, bits, dib);
}

namespace {

// A bit blit's bitmap is the source area as it was recorded: when the
// source rectangle does not fit in it, the whole bitmap fills the
// destination.
SourceRect recordedSource(const Dib& dib, int xs, int ys, int ws, int hs) {
    const int bw = dib.width, bh = std::abs(dib.height);
    if (xs >= 0 && ys >= 0 && ws > 0 && hs > 0 && xs <= bw - ws && ys <= bh - hs) return SourceRect{xs, ys, ws, hs};
    return SourceRect{0, 0, bw, bh};
}

// A source rectangle, its rows counted from the bitmap's bottom when
// fromBottom and the bitmap is stored bottom-up.
SourceRect sourceRect(const Dib& dib, int xs, int ys, int ws, int hs, bool fromBottom) {
    if (fromBottom && dib.height > 0) ys = dib.height - ys - hs;
    return SourceRect{xs, ys, ws, hs};
}

}  // namespace

void WmfPlayer::dibBlit(WmfRecord t) {
    using enum WmfRecord;
    const Record& r = *rec_;
    const std::size_t n = params();
    // Records without a bitmap are as long as their fixed part plus the
    // reserved word; they paint with the brush.
    const bool withBitmap = r.size() / 2 != std::size_t((std::uint16_t(t) >> 8) + 3);
    Dib dib;
    auto packed = [&](std::size_t wordOffset) {
        const std::size_t o = 6 + 2 * wordOffset;
        if (o >= r.size()) return false;
        const auto rest = r.bytes(o, r.size() - o);
        return t == BitBlt || t == StretchBlt ? bitmap16ToDib(rest, dib) : describePackedDib(rest, dib);
    };
    auto blitSource = [&](int xs, int ys, int ws, int hs) { return recordedSource(dib, xs, ys, ws, hs); };
    auto srcRect = [&](int xs, int ys, int ws, int hs, bool fromBottom) {
        return sourceRect(dib, xs, ys, ws, hs, fromBottom);
    };
    switch (t) {
    case DibBitBlt:
    case BitBlt:  // with a device-dependent bitmap
        if (!withBitmap) {
            if (n >= 9) ctx_.blit(nullptr, p(8), p(7), p(6), p(5), {}, u32p(0));
        } else if (n >= 8 && packed(8)) {
            ctx_.blit(&dib, p(7), p(6), p(5), p(4), blitSource(p(3), p(2), p(5), p(4)), u32p(0));
        }
        break;
    case DibStretchBlt:
    case StretchBlt:  // with a device-dependent bitmap
        if (!withBitmap) {
            if (n >= 11) ctx_.blit(nullptr, p(10), p(9), p(8), p(7), {}, u32p(0));
        } else if (n >= 10 && packed(10)) {
            ctx_.blit(&dib, p(9), p(8), p(7), p(6), srcRect(p(5), p(4), p(3), p(2), false), u32p(0));
        }
        break;
    case StretchDib:
        if (n >= 11 && packed(11))
            ctx_.blit(&dib, p(10), p(9), p(8), p(7), srcRect(p(6), p(5), p(4), p(3), true), u32p(0));
        break;
    case SetDibToDev:  // one unit per pixel
        if (n >= 9 && packed(9)) {
            const int w = p(6), h = p(5);
            ctx_.blit(&dib, p(8), p(7), w, h, srcRect(p(4), p(3), w, h, true), 0xCC0020, true);
        }
        break;
    default: break;
    }
}

}  // namespace

namespace {

// What a file that cannot be read at all is told: neither a placeable
// metafile nor a standard one that gives its picture a size.
constexpr const char* kNotReadable = "it is not a placeable Windows metafile (only those can be read)";

// The standard header at offset at: its type and size, and the size of
// the object table.
void readStandardHeader(const Record& h, std::size_t at, const std::string& name, WmfInfo& info) {
    const int type = h.u16(at), headerWords = h.u16(at + 2);
    if ((type != 1 && type != 2) || headerWords != 9) throw FileError(name, "its metafile header is damaged");
    info.objects = h.u16(at + 10);
    info.firstRecord = at + std::size_t(headerWords) * 2;
}

WmfInfo readPlaceable(std::span<const std::uint8_t> bytes, const std::string& name) {
    const Record h(bytes);
    if (bytes.size() < kPlaceableSize + kStandardHeaderSize) throw FileError(name, "the file ends inside its header");
    std::uint16_t sum = 0;
    for (std::size_t i = 0; i < 10; ++i) sum ^= h.u16(2 * i);
    if (sum != h.u16(20)) throw FileError(name, "the checksum of its placeable header does not match");
    WmfInfo info;
    info.left = h.i16(6), info.top = h.i16(8), info.right = h.i16(10), info.bottom = h.i16(12);
    info.unitsPerInch = h.u16(14) ? h.u16(14) : 96;
    if (info.right < info.left || info.bottom < info.top)
        throw FileError(name, "its bounding box is inverted");
    readStandardHeader(h, kPlaceableSize, name, info);
    return info;
}

// The window a file sets with its first SetWindowExt record, from the
// origin its SetWindowOrg records have set by then; false when it sets no
// extent of width and height.
bool windowOfRecords(std::span<const std::uint8_t> bytes, WmfInfo& info) {
    int orgX = 0, orgY = 0;
    for (std::size_t at = info.firstRecord; bytes.size() - at >= 6;) {
        const Record head(bytes.subspan(at, 6));
        const std::uint64_t words = head.u32(0);
        if (words < 3 || words * 2 > bytes.size() - at) return false;
        const auto t = WmfRecord(head.u16(4));
        if (t == WmfRecord::Eof) return false;
        if ((t == WmfRecord::SetWindowOrg || t == WmfRecord::SetWindowExt) && words >= 5) {
            const Record r(bytes.subspan(at, 10));
            const int y = r.i16(6), x = r.i16(8);
            if (t == WmfRecord::SetWindowOrg) orgX = x, orgY = y;
            else if (x != 0 && y != 0) {
                info.left = std::min(orgX, orgX + x), info.right = std::max(orgX, orgX + x);
                info.top = std::min(orgY, orgY + y), info.bottom = std::max(orgY, orgY + y);
                return true;
            }
        }
        at += std::size_t(words * 2);
    }
    return false;
}

// The box around everything the file draws, played at one unit a pixel;
// false when it draws nothing.
bool drawnBox(std::span<const std::uint8_t> bytes, WmfInfo& info) {
    BoundsSurface bounds;
    WmfInfo identity = info;
    identity.left = identity.top = 0, identity.right = identity.bottom = 1;
    playWmf(bytes, identity, bounds, 1, 1);
    if (bounds.empty()) return false;
    info.left = int(std::floor(bounds.left())), info.top = int(std::floor(bounds.top()));
    info.right = std::max(int(std::ceil(bounds.right())), info.left + 1);
    info.bottom = std::max(int(std::ceil(bounds.bottom())), info.top + 1);
    return true;
}

// A metafile without the placeable header, at 96 units per inch: its
// picture is the window it sets, or else the box around what it draws.
WmfInfo readStandard(std::span<const std::uint8_t> bytes, const std::string& name) {
    const Record h(bytes);
    if (bytes.size() < kStandardHeaderSize || (h.u16(0) != 1 && h.u16(0) != 2) || h.u16(2) != 9)
        throw FileError(name, kNotReadable);
    WmfInfo info;
    readStandardHeader(h, 0, name, info);
    if (!windowOfRecords(bytes, info) && !drawnBox(bytes, info)) throw FileError(name, kNotReadable);
    return info;
}

}  // namespace

WmfInfo readWmfInfo(std::span<const std::uint8_t> bytes, const std::string& name) {
    if (bytes.size() >= 4 && Record(bytes).u32(0) == kPlaceableKey) return readPlaceable(bytes, name);
    return readStandard(bytes, name);
}

void playWmf(std::span<const std::uint8_t> bytes, const WmfInfo& info, MetafileSurface& surface, int width,
             int height, PlayBudget* budget) {
    if (width <= 0 || height <= 0) return;
    DeviceSetup setup;
    setup.outputWidth = width, setup.outputHeight = height;
    setup.mapMode = kMapAnisotropic;
    setup.windowOrg = {double(info.left), double(info.top)};
    setup.windowExt = {double(std::max(1, info.right - info.left)), double(std::max(1, info.bottom - info.top))};
    setup.viewportOrg = {0, 0};
    setup.viewportExt = {double(width), double(height)};
    setup.pixelsPerMmX = setup.pixelsPerMmY = 96.0 / 25.4;
    const double sx = double(width) / setup.windowExt.x, sy = double(height) / setup.windowExt.y;
    setup.unitsToOutput = Xform{sx, 0, 0, sy, -info.left * sx, -info.top * sy};
    WmfPlayer player(surface, setup, info.objects);

    std::size_t at = info.firstRecord;
    while (bytes.size() - at >= 6) {
        const Record head(bytes.subspan(at, 6));
        const std::uint64_t words = head.u32(0);
        if (words < 3 || words * 2 > bytes.size() - at) break;  // a record running past the end ends the play
        const Record r(bytes.subspan(at, std::size_t(words * 2)));
        if (!player.play(head.u16(4), r)) break;
        at += std::size_t(words * 2);
        if (budget) budget->atRecord(double(at) / double(bytes.size()));
    }
}

}  // namespace hueline::meta
