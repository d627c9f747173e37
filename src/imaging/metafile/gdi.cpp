// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/metafile/gdi.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "imaging/metafile/record_types.h"
#include "imaging/metafile/symbol_fonts.h"

namespace hueline::meta {

namespace {

constexpr double kPi = std::numbers::pi;
// Output coordinates are kept within this range, far outside any picture
// the program takes on, so that absurd records cannot overflow the
// rasteriser.
constexpr double kCoordLimit = 1e7;

double clampCoord(double v) {
    if (!std::isfinite(v)) return 0;
    return std::clamp(v, -kCoordLimit, kCoordLimit);
}

bool positiveFinite(double v) { return std::isfinite(v) && v != 0; }

// A font's escapement (tenths of a degree) is an angle in logical space,
// counted as on a page whose y axis points down. Its direction is mapped
// like any other, so that a mapping that turns the y axis up also turns
// the text: 270 degrees then reads upwards on the picture. Gives degrees
// counter-clockwise on the picture.
double pictureAngle(const Xform& toPicture, int escapement) {
    const double a = escapement / 10.0 * kPi / 180;
    const double lx = std::cos(a), ly = -std::sin(a);
    const double dx = lx * toPicture.m11 + ly * toPicture.m21;
    const double dy = lx * toPicture.m12 + ly * toPicture.m22;
    if (!std::isfinite(dx) || !std::isfinite(dy) || std::hypot(dx, dy) == 0) return escapement / 10.0;
    // Rounded, so that a quarter turn stays exactly one.
    return std::round(std::atan2(-dy, dx) * 180 / kPi * 1e6) / 1e6;
}

}  // namespace

Xform Xform::then(const Xform& a, const Xform& b) {
    Xform r;
    r.m11 = a.m11 * b.m11 + a.m12 * b.m21;
    r.m12 = a.m11 * b.m12 + a.m12 * b.m22;
    r.m21 = a.m21 * b.m11 + a.m22 * b.m21;
    r.m22 = a.m21 * b.m12 + a.m22 * b.m22;
    r.dx = a.dx * b.m11 + a.dy * b.m21 + b.dx;
    r.dy = a.dx * b.m12 + a.dy * b.m22 + b.dy;
    return r;
}

bool Xform::sane() const {
    for (double v : {m11, m12, m21, m22, dx, dy})
        if (!std::isfinite(v) || std::fabs(v) > 1e12) return false;
    const double det = m11 * m22 - m12 * m21;
    return std::isfinite(det) && std::fabs(det) > 1e-18;
}

GdiContext::GdiContext(MetafileSurface& surface, const DeviceSetup& setup)
    : surface_(surface), setup_(setup) {
    s_.mapMode = setup.mapMode;
    s_.windowOrg = setup.windowOrg;
    s_.windowExt = setup.windowExt;
    s_.viewportOrg = setup.viewportOrg;
    s_.viewportExt = setup.viewportExt;
    updateTransform();
}

// ---------------------------------------------------------------- mapping

Xform GdiContext::fullTransform() const {
    double sx = 1, sy = 1;
    const double mmx = setup_.pixelsPerMmX, mmy = setup_.pixelsPerMmY;
    switch (s_.mapMode) {
    case kMapLoMetric: sx = mmx * 0.1, sy = -mmy * 0.1; break;
    case kMapHiMetric: sx = mmx * 0.01, sy = -mmy * 0.01; break;
    case kMapLoEnglish: sx = mmx * 0.254, sy = -mmy * 0.254; break;
    case kMapHiEnglish: sx = mmx * 0.0254, sy = -mmy * 0.0254; break;
    case kMapTwips: sx = mmx * 25.4 / 1440, sy = -mmy * 25.4 / 1440; break;
    case kMapIsotropic:
    case kMapAnisotropic:
        sx = s_.viewportExt.x / s_.windowExt.x;
        sy = s_.viewportExt.y / s_.windowExt.y;
        if (s_.mapMode == kMapIsotropic) {
            // Both axes take the smaller scale, keeping their directions.
            const double m = std::min(std::fabs(sx), std::fabs(sy));
            sx = std::copysign(m, sx), sy = std::copysign(m, sy);
        }
        break;
    default: break;
    }
    Xform page{sx, 0, 0, sy, s_.viewportOrg.x - s_.windowOrg.x * sx, s_.viewportOrg.y - s_.windowOrg.y * sy};
    const Xform& last = s_.unitViewport && setup_.unitsToOutput ? *setup_.unitsToOutput : setup_.toOutput;
    return Xform::then(Xform::then(s_.world, page), last);
}

void GdiContext::updateTransform() { transform_ = fullTransform(); }

Point GdiContext::toDevice(Point p) const {
    const Point d = transform_.apply(p);
    return {clampCoord(d.x), clampCoord(d.y)};
}

double GdiContext::scaleX() const { return std::hypot(transform_.m11, transform_.m12); }
double GdiContext::scaleY() const { return std::hypot(transform_.m21, transform_.m22); }

void GdiContext::setMapMode(int mode) {
    if (mode < kMapText || mode > kMapAnisotropic) return;
    s_.mapMode = mode;
    if (mode == kMapText) s_.windowExt = s_.viewportExt = {1, 1};
    updateTransform();
}

void GdiContext::setWindowOrg(double x, double y) { s_.windowOrg = {x, y}, updateTransform(); }
void GdiContext::takeOwnViewport() {
    if (s_.unitViewport || !setup_.unitsToOutput) return;
    s_.unitViewport = true;
    s_.viewportOrg = {0, 0};
    s_.viewportExt = s_.windowExt;
}

void GdiContext::setViewportOrg(double x, double y) {
    takeOwnViewport();
    s_.viewportOrg = {x, y}, updateTransform();
}
void GdiContext::offsetWindowOrg(double dx, double dy) {
    s_.windowOrg.x += dx, s_.windowOrg.y += dy, updateTransform();
}
void GdiContext::offsetViewportOrg(double dx, double dy) {
    takeOwnViewport();
    s_.viewportOrg.x += dx, s_.viewportOrg.y += dy, updateTransform();
}

// Extents only count in the two free mapping modes; a zero extent would
// divide by zero and is refused, as the device context refuses it.
void GdiContext::setWindowExt(double x, double y) {
    if (!positiveFinite(x) || !positiveFinite(y)) return;
    if (s_.mapMode != kMapIsotropic && s_.mapMode != kMapAnisotropic) return;
    s_.windowExt = {x, y}, updateTransform();
}
void GdiContext::setViewportExt(double x, double y) {
    if (!positiveFinite(x) || !positiveFinite(y)) return;
    if (s_.mapMode != kMapIsotropic && s_.mapMode != kMapAnisotropic) return;
    takeOwnViewport();
    s_.viewportExt = {x, y}, updateTransform();
}
void GdiContext::scaleWindowExt(double xn, double xd, double yn, double yd) {
    if (!positiveFinite(xn) || !positiveFinite(xd) || !positiveFinite(yn) || !positiveFinite(yd)) return;
    setWindowExt(s_.windowExt.x * xn / xd, s_.windowExt.y * yn / yd);
}
void GdiContext::scaleViewportExt(double xn, double xd, double yn, double yd) {
    if (!positiveFinite(xn) || !positiveFinite(xd) || !positiveFinite(yn) || !positiveFinite(yd)) return;
    takeOwnViewport();
    setViewportExt(s_.viewportExt.x * xn / xd, s_.viewportExt.y * yn / yd);
}

void GdiContext::setWorldTransform(const Xform& x) {
    if (!x.sane()) return;
    s_.world = x, updateTransform();
}

void GdiContext::modifyWorldTransform(const Xform& x, int mode) {
    Xform next;
    switch (mode) {
    case 1: break;
    case 2: next = Xform::then(x, s_.world); break;
    case 3: next = Xform::then(s_.world, x); break;
    case 4: next = x; break;
    default: return;
    }
    if (!next.sane()) return;
    s_.world = next, updateTransform();
}

void GdiContext::saveDC() {
    if (int(saved_.size()) >= kMaxSavedStates) return;
    saved_.push_back(s_);
    surface_.save();
}

// A negative argument counts back from the last save; a positive one names
// a saved state by its number. Anything else leaves the context as it is.
void GdiContext::restoreDC(int which) {
    const int depth = int(saved_.size());
    int levels = 0;
    if (which < 0) levels = -std::max(which, -depth - 1);
    else if (which > 0) levels = depth - which + 1;
    if (levels <= 0 || levels > depth) return;
    for (int i = 0; i < levels; ++i) {
        s_ = saved_.back();
        saved_.pop_back();
        surface_.restore();
    }
    updateTransform();
}

void GdiContext::selectStock(std::uint32_t index) {
    auto solid = [](ColorValue c) { return LogBrush{BrushStyle::Solid, c, 0, nullptr}; };
    using enum StockObject;
    switch (StockObject(index)) {
    case WhiteBrush: case DcBrush: s_.brush = solid(kWhite); break;
    case LightGrayBrush: s_.brush = solid(0xC0C0C0); break;
    case GrayBrush: s_.brush = solid(0x808080); break;
    case DarkGrayBrush: s_.brush = solid(0x404040); break;
    case BlackBrush: s_.brush = solid(kBlack); break;
    case NullBrush: s_.brush = LogBrush{BrushStyle::Null, 0, 0, nullptr}; break;
    case WhitePen: s_.pen = LogPen{kPenSolid, 0, kWhite, false}; break;
    case BlackPen: case DcPen: s_.pen = LogPen{kPenSolid, 0, kBlack, false}; break;
    case NullPen: s_.pen = LogPen{kPenNull, 0, kBlack, false}; break;
    case OemFixedFont: case AnsiFixedFont: case AnsiVarFont: case SystemFont: case DeviceDefaultFont:
    case SystemFixedFont: case DefaultGuiFont: s_.font = LogFont{}; break;
    default: break;
    }
}

// ---------------------------------------------------------------- pens and brushes

Pen GdiContext::devicePen() const {
    const LogPen& lp = s_.pen;
    Pen p;
    p.color = lp.color & 0xFFFFFF;
    p.miterLimit = s_.miterLimit;
    switch (lp.style & kPenStyleMask) {
    case kPenDash: p.style = PenStyle::Dash; break;
    case kPenDot: case kPenAlternate: p.style = PenStyle::Dot; break;
    case kPenDashDot: p.style = PenStyle::DashDot; break;
    case kPenDashDotDot: p.style = PenStyle::DashDotDot; break;
    case kPenNull: p.style = PenStyle::Null; break;
    default: p.style = PenStyle::Solid; break;
    }
    const double det = std::fabs(transform_.m11 * transform_.m22 - transform_.m12 * transform_.m21);
    const double scale = std::sqrt(det);
    const bool geometric = !lp.extended || (lp.style & kPenGeometric);
    p.width = geometric ? std::min(std::fabs(lp.width) * scale, 1e5) : 0;
    if (!std::isfinite(p.width)) p.width = 0;
    if (lp.extended) {
        switch (lp.style & kPenCapMask) {
        case kPenCapSquare: p.cap = LineCap::Square; break;
        case kPenCapFlat: p.cap = LineCap::Flat; break;
        default: p.cap = LineCap::Round; break;
        }
        switch (lp.style & kPenJoinMask) {
        case kPenJoinBevel: p.join = LineJoin::Bevel; break;
        case kPenJoinMiter: p.join = LineJoin::Miter; break;
        default: p.join = LineJoin::Round; break;
        }
    } else if (p.width >= 2 && p.style != PenStyle::Null) {
        // Plain pens wider than a pixel or so draw solid, whatever their style.
        p.style = PenStyle::Solid;
    }
    return p;
}

Brush GdiContext::deviceBrush(const LogBrush& b) const {
    Brush out;
    out.style = b.style;
    out.color = b.color & 0xFFFFFF;
    out.hatch = b.hatch;
    out.pattern = b.pattern;
    if (out.style == BrushStyle::Pattern && !out.pattern) out.style = BrushStyle::Solid;
    return out;
}

bool GdiContext::penIsNull() const { return (s_.pen.style & kPenStyleMask) == kPenNull; }

Mix GdiContext::mix() const { return s_.rop2 >= 1 && s_.rop2 <= 16 ? Mix(s_.rop2) : Mix::Copy; }

// ---------------------------------------------------------------- drawing

void GdiContext::emit(const Path& devicePath, bool fill, bool stroke) {
    if (devicePath.empty()) return;
    if (inPath_) {
        path_.append(devicePath);
        figureOpen_ = devicePath.verbs.back() != Verb::Close;
        return;
    }
    const Mix m = mix();
    if (m == Mix::Nop) return;
    if (fill && s_.brush.style != BrushStyle::Null)
        surface_.fillPath(devicePath, s_.fillRule, deviceBrush(s_.brush), m, background());
    if (stroke && !penIsNull()) surface_.strokePath(devicePath, devicePen(), m, background());
}

void GdiContext::moveTo(Point p) {
    s_.cp = p;
    figureOpen_ = false;
}

void GdiContext::lineTo(Point p) { polylineTo(std::span<const Point>(&p, 1)); }

void GdiContext::polylineTo(std::span<const Point> pts) {
    if (pts.empty()) return;
    if (inPath_) {
        if (!figureOpen_) path_.moveTo(toDevice(s_.cp));
        for (const Point& p : pts) path_.lineTo(toDevice(p));
        figureOpen_ = true;
    } else {
        Path d;
        d.moveTo(toDevice(s_.cp));
        for (const Point& p : pts) d.lineTo(toDevice(p));
        emit(d, false, true);
    }
    s_.cp = pts.back();
}

namespace {

// The figures of a poly-polygon or poly-polyline: counts[k] points each,
// taken in turn from pts, stopping at a count that runs past the points.
template <typename ToDevice>
Path figuresOf(std::span<const Point> pts, std::span<const std::uint32_t> counts, bool closed, ToDevice toDevice) {
    Path d;
    std::size_t at = 0;
    for (std::uint32_t n : counts) {
        if (n > pts.size() - at) break;
        if (n >= 2) {
            d.moveTo(toDevice(pts[at]));
            for (std::size_t i = 1; i < n; ++i) d.lineTo(toDevice(pts[at + i]));
            if (closed) d.close();
        }
        at += n;
    }
    return d;
}

}  // namespace

void GdiContext::polyline(std::span<const Point> pts) {
    const std::uint32_t n[1] = {std::uint32_t(pts.size())};
    if (pts.size() >= 2) polyPolyline(pts, n);
}

void GdiContext::polygon(std::span<const Point> pts) {
    const std::uint32_t n[1] = {std::uint32_t(pts.size())};
    if (pts.size() >= 2) polyPolygon(pts, n);
}

void GdiContext::polyPolygon(std::span<const Point> pts, std::span<const std::uint32_t> counts) {
    emit(figuresOf(pts, counts, true, [this](const Point& p) { return toDevice(p); }), true, true);
}

void GdiContext::polyPolyline(std::span<const Point> pts, std::span<const std::uint32_t> counts) {
    emit(figuresOf(pts, counts, false, [this](const Point& p) { return toDevice(p); }), false, true);
}

void GdiContext::polyBezier(std::span<const Point> pts) {
    if (pts.size() < 4) return;
    Path d;
    d.moveTo(toDevice(pts[0]));
    for (std::size_t i = 1; i + 2 < pts.size(); i += 3)
        d.cubicTo(toDevice(pts[i]), toDevice(pts[i + 1]), toDevice(pts[i + 2]));
    emit(d, false, true);
}

void GdiContext::polyBezierTo(std::span<const Point> pts) {
    if (pts.size() < 3) return;
    const std::size_t used = pts.size() / 3 * 3;
    if (inPath_) {
        if (!figureOpen_) path_.moveTo(toDevice(s_.cp));
        for (std::size_t i = 0; i < used; i += 3)
            path_.cubicTo(toDevice(pts[i]), toDevice(pts[i + 1]), toDevice(pts[i + 2]));
        figureOpen_ = true;
    } else {
        Path d;
        d.moveTo(toDevice(s_.cp));
        for (std::size_t i = 0; i < used; i += 3)
            d.cubicTo(toDevice(pts[i]), toDevice(pts[i + 1]), toDevice(pts[i + 2]));
        emit(d, false, true);
    }
    s_.cp = pts[used - 1];
}

void GdiContext::polyDraw(std::span<const Point> pts, std::span<const std::uint8_t> types) {
    const std::size_t n = std::min(pts.size(), types.size());
    Path d;
    bool open = false;
    Point start = s_.cp;
    for (std::size_t i = 0; i < n; ++i) {
        const int t = types[i] & ~kPointCloseFigure;
        if (t == kPointMoveTo) {
            d.moveTo(toDevice(pts[i]));
            start = pts[i];
            open = true;
        } else if (t == kPointLineTo || (t == kPointBezierTo && i + 2 < n)) {
            if (!open) d.moveTo(toDevice(s_.cp)), start = s_.cp, open = true;
            if (t == kPointLineTo) {
                d.lineTo(toDevice(pts[i]));
            } else {
                d.cubicTo(toDevice(pts[i]), toDevice(pts[i + 1]), toDevice(pts[i + 2]));
                i += 2;
            }
        } else {
            break;  // an unknown type ends the figure list
        }
        s_.cp = pts[i];
        if (types[i] & kPointCloseFigure) d.close(), s_.cp = start;
    }
    emit(d, false, true);
}

Path GdiContext::rectPath(double l, double t, double r, double b) const {
    Path d;
    d.moveTo(toDevice({l, t}));
    d.lineTo(toDevice({r, t}));
    d.lineTo(toDevice({r, b}));
    d.lineTo(toDevice({l, b}));
    d.close();
    return d;
}

void GdiContext::rectangle(double l, double t, double r, double b) { emit(rectPath(l, t, r, b), true, true); }

void GdiContext::appendArc(Path& p, Point c, double rx, double ry, double t0, double sweep, bool startFigure) const {
    auto at = [&](double t) { return Point{c.x + rx * std::cos(t), c.y - ry * std::sin(t)}; };
    auto slope = [&](double t) { return Point{-rx * std::sin(t), -ry * std::cos(t)}; };
    const int n = std::clamp(int(std::ceil(std::fabs(sweep) / (kPi / 2) - 1e-9)), 1, 8);
    const double step = sweep / n;
    const double k = 4.0 / 3.0 * std::tan(step / 4);
    const Point first = toDevice(at(t0));
    if (startFigure) p.moveTo(first);
    else p.lineTo(first);
    for (int i = 0; i < n; ++i) {
        const double a = t0 + step * i, b = a + step;
        const Point pa = at(a), pb = at(b), da = slope(a), db = slope(b);
        p.cubicTo(toDevice({pa.x + k * da.x, pa.y + k * da.y}), toDevice({pb.x - k * db.x, pb.y - k * db.y}),
                  toDevice(pb));
    }
}

void GdiContext::ellipse(double l, double t, double r, double b) {
    Path d;
    appendArc(d, {(l + r) / 2, (t + b) / 2}, std::fabs(r - l) / 2, std::fabs(b - t) / 2, 0, 2 * kPi, true);
    d.close();
    emit(d, true, true);
}

void GdiContext::roundRect(double l, double t, double r, double b, double w, double h) {
    if (l > r) std::swap(l, r);
    if (t > b) std::swap(t, b);
    const double rx = std::min(std::fabs(w) / 2, (r - l) / 2), ry = std::min(std::fabs(h) / 2, (b - t) / 2);
    if (rx <= 0 || ry <= 0) return rectangle(l, t, r, b);
    Path d;
    appendArc(d, {r - rx, t + ry}, rx, ry, kPi / 2, -kPi / 2, true);
    appendArc(d, {r - rx, b - ry}, rx, ry, 0, -kPi / 2, false);
    appendArc(d, {l + rx, b - ry}, rx, ry, -kPi / 2, -kPi / 2, false);
    appendArc(d, {l + rx, t + ry}, rx, ry, -kPi, -kPi / 2, false);
    d.close();
    emit(d, true, true);
}

namespace {

// The angle an arc turns through from parameter ts to te, in its drawing
// direction: more than none and at most a full turn, negative clockwise.
double arcSweep(double ts, double te, bool clockwise) {
    double sweep = clockwise ? ts - te : te - ts;
    while (sweep <= 1e-12) sweep += 2 * kPi;
    while (sweep > 2 * kPi + 1e-12) sweep -= 2 * kPi;
    return clockwise ? -sweep : sweep;
}

}  // namespace

void GdiContext::arc(ArcKind kind, double l, double t, double r, double b, Point start, Point end) {
    if (l > r) std::swap(l, r);
    if (t > b) std::swap(t, b);
    const Point c{(l + r) / 2, (t + b) / 2};
    const double rx = (r - l) / 2, ry = (b - t) / 2;
    if (!(rx > 0) || !(ry > 0)) return;
    // The arc runs between the points where the rays from the centre
    // through start and end meet the ellipse.
    auto param = [&](Point p) {
        const double phi = std::atan2(-(p.y - c.y), p.x - c.x);
        return std::atan2(rx * std::sin(phi), ry * std::cos(phi));
    };
    const double ts = param(start), te = param(end);
    const double sweep = arcSweep(ts, te, s_.clockwise);
    const Point endPoint{c.x + rx * std::cos(te), c.y - ry * std::sin(te)};

    Path d;
    switch (kind) {
    case ArcKind::Arc:
        appendArc(d, c, rx, ry, ts, sweep, true);
        emit(d, false, true);
        break;
    case ArcKind::ArcTo:
        if (inPath_ && figureOpen_) {
            appendArc(path_, c, rx, ry, ts, sweep, false);
        } else if (inPath_) {
            path_.moveTo(toDevice(s_.cp));
            appendArc(path_, c, rx, ry, ts, sweep, false);
            figureOpen_ = true;
        } else {
            d.moveTo(toDevice(s_.cp));
            appendArc(d, c, rx, ry, ts, sweep, false);
            emit(d, false, true);
        }
        s_.cp = endPoint;
        break;
    case ArcKind::Chord:
        appendArc(d, c, rx, ry, ts, sweep, true);
        d.close();
        emit(d, true, true);
        break;
    case ArcKind::Pie:
        d.moveTo(toDevice(c));
        appendArc(d, c, rx, ry, ts, sweep, false);
        d.close();
        emit(d, true, true);
        break;
    }
}

void GdiContext::angleArc(Point center, double radius, double startDeg, double sweepDeg) {
    if (!std::isfinite(startDeg) || !std::isfinite(sweepDeg) || !(radius > 0)) return;
    sweepDeg = std::clamp(sweepDeg, -360.0, 360.0);
    const double t0 = startDeg * kPi / 180, sweep = sweepDeg * kPi / 180;
    Path d;
    const bool cont = inPath_ && figureOpen_;
    Path& into = inPath_ ? path_ : d;
    if (!cont) into.moveTo(toDevice(s_.cp));
    appendArc(into, center, radius, radius, t0, sweep, false);
    if (inPath_) figureOpen_ = true;
    else emit(d, false, true);
    s_.cp = {center.x + radius * std::cos(t0 + sweep), center.y - radius * std::sin(t0 + sweep)};
}

void GdiContext::setPixel(Point p, ColorValue c) {
    const Point d = toDevice(p);
    Path r;
    r.moveTo({std::floor(d.x), std::floor(d.y)});
    r.lineTo({std::floor(d.x) + 1, std::floor(d.y)});
    r.lineTo({std::floor(d.x) + 1, std::floor(d.y) + 1});
    r.lineTo({std::floor(d.x), std::floor(d.y) + 1});
    r.close();
    surface_.fillPath(r, FillRule::Winding, Brush{BrushStyle::Solid, c & 0xFFFFFF, 0, nullptr}, Mix::Copy,
                      background());
}

// ---------------------------------------------------------------- paths

void GdiContext::beginPath() {
    path_ = Path{};
    inPath_ = true;
    figureOpen_ = false;
}

void GdiContext::closeFigure() {
    if (inPath_ && !path_.empty() && path_.verbs.back() != Verb::Close) path_.close();
    figureOpen_ = false;
}

void GdiContext::fillPath() {
    if (inPath_) return;
    if (!path_.empty() && s_.brush.style != BrushStyle::Null && mix() != Mix::Nop)
        surface_.fillPath(path_, s_.fillRule, deviceBrush(s_.brush), mix(), background());
    path_ = Path{};
}

void GdiContext::strokePath() {
    if (inPath_) return;
    if (!path_.empty() && !penIsNull() && mix() != Mix::Nop)
        surface_.strokePath(path_, devicePen(), mix(), background());
    path_ = Path{};
}

void GdiContext::strokeAndFillPath() {
    if (inPath_) return;
    if (!path_.empty() && mix() != Mix::Nop) {
        if (s_.brush.style != BrushStyle::Null)
            surface_.fillPath(path_, s_.fillRule, deviceBrush(s_.brush), mix(), background());
        if (!penIsNull()) surface_.strokePath(path_, devicePen(), mix(), background());
    }
    path_ = Path{};
}

void GdiContext::selectClipPath(int mode) {
    if (inPath_) return;
    clipWith(path_, mode, s_.fillRule);
    path_ = Path{};
}

// ---------------------------------------------------------------- clipping

void GdiContext::clipWith(const Path& devicePath, int mode, FillRule rule) {
    switch (mode) {
    case kRgnAnd: surface_.clip(ClipOp::Intersect, devicePath, rule); break;
    case kRgnOr: surface_.clip(ClipOp::Unite, devicePath, rule); break;
    case kRgnXor: surface_.clip(ClipOp::Xor, devicePath, rule); break;
    case kRgnDiff: surface_.clip(ClipOp::Exclude, devicePath, rule); break;
    case kRgnCopy: surface_.clip(ClipOp::Replace, devicePath, rule); break;
    default: break;
    }
}

void GdiContext::intersectClipRect(double l, double t, double r, double b) {
    surface_.clip(ClipOp::Intersect, rectPath(l, t, r, b), FillRule::Winding);
}

void GdiContext::excludeClipRect(double l, double t, double r, double b) {
    surface_.clip(ClipOp::Exclude, rectPath(l, t, r, b), FillRule::Winding);
}

void GdiContext::resetClip() { surface_.resetClip(); }

void GdiContext::offsetClip(double dx, double dy) {
    const Point a = toDevice({0, 0}), b = toDevice({dx, dy});
    surface_.offsetClip(b.x - a.x, b.y - a.y);
}

Path GdiContext::regionPath(std::span<const IntRect> rects, bool logical) const {
    Path d;
    for (const IntRect& r : rects) {
        if (logical) {
            d.append(rectPath(r.left, r.top, r.right, r.bottom));
        } else {
            auto at = [&](double x, double y) {
                const Point p = setup_.toOutput.apply({x, y});
                return Point{clampCoord(p.x), clampCoord(p.y)};
            };
            d.moveTo(at(r.left, r.top));
            d.lineTo(at(r.right, r.top));
            d.lineTo(at(r.right, r.bottom));
            d.lineTo(at(r.left, r.bottom));
            d.close();
        }
    }
    return d;
}

void GdiContext::selectClipRegion(std::span<const IntRect> rects, int mode, bool logical) {
    if (rects.empty()) {
        if (mode == kRgnCopy) surface_.resetClip();
        return;
    }
    clipWith(regionPath(rects, logical), mode, FillRule::Winding);
}

void GdiContext::fillRegion(std::span<const IntRect> rects, const LogBrush& brush, bool logical, Mix m) {
    if (rects.empty() || brush.style == BrushStyle::Null) return;
    surface_.fillPath(regionPath(rects, logical), FillRule::Winding, deviceBrush(brush), m, background());
}

// ---------------------------------------------------------------- text

void GdiContext::textOut(Point ref, std::u16string text, std::span<const int> dx, int options,
                         std::optional<IntRect> rect) {
    const bool updateCp = s_.textAlign & kAlignUpdateCurrentPosition;
    if (rect && (options & 2)) {
        surface_.fillPath(rectPath(rect->left, rect->top, rect->right, rect->bottom), FillRule::Winding,
                          Brush{BrushStyle::Solid, s_.bkColor & 0xFFFFFF, 0, nullptr}, Mix::Copy, background());
    }
    if (text.empty()) return;
    // A symbol font's codes become the signs they show; glyph numbers are
    // the font's own and stay as they are.
    std::vector<int> symbolDx;
    const SymbolFace face = symbolFaceOf(s_.font.face);
    if (face != SymbolFace::None && !(options & 0x10)) {
        symbolDx.assign(dx.begin(), dx.end());
        text = symbolFaceText(face, text, &symbolDx);
        dx = symbolDx;
    }
    TextRun run;
    if (!deviceFont(run.font)) return;
    run.text = std::move(text);
    run.origin = toDevice(updateCp ? s_.cp : ref);
    run.angle = pictureAngle(transform_, s_.font.escapement);
    run.color = s_.textColor & 0xFFFFFF;
    run.background = background();
    run.align = s_.textAlign & (kAlignHorizontal | kAlignVertical);
    run.charExtra = s_.charExtra * scaleX();
    run.glyphIndices = options & 0x10;
    run.advanceUsed = updateCp;
    if (!dx.empty() && dx.size() >= run.text.size()) {
        run.advances.reserve(run.text.size());
        for (std::size_t i = 0; i < run.text.size(); ++i) run.advances.push_back(dx[i] * scaleX());
    }
    const double advance = drawTextRun(run, (options & 4) ? rect : std::nullopt);
    if (updateCp) advanceCurrentPosition(advance);
}

bool GdiContext::deviceFont(Font& font) const {
    const LogFont& f = s_.font;
    if (f.height == 0) {
        font.height = 12;
        font.cellHeight = true;
    } else {
        font.height = std::fabs(double(f.height)) * scaleY();
        font.cellHeight = f.height > 0;
    }
    if (!std::isfinite(font.height) || font.height < 0.5) return false;
    font.height = std::min(font.height, 20000.0);
    font.width = std::min(std::fabs(double(f.width)) * scaleX(), 20000.0);
    font.weight = f.weight;
    font.italic = f.italic;
    font.underline = f.underline;
    font.strikeOut = f.strikeOut;
    font.charset = f.charset;
    font.pitchAndFamily = f.pitchAndFamily;
    font.face = f.face;
    return true;
}

double GdiContext::drawTextRun(const TextRun& run, std::optional<IntRect> clipRect) {
    if (!clipRect) return surface_.drawText(run);
    surface_.save();
    surface_.clip(ClipOp::Intersect, rectPath(clipRect->left, clipRect->top, clipRect->right, clipRect->bottom),
                  FillRule::Winding);
    const double advance = surface_.drawText(run);
    surface_.restore();
    return advance;
}

void GdiContext::advanceCurrentPosition(double advance) {
    const double sx = scaleX();
    if (!(sx > 0) || !std::isfinite(advance)) return;
    const int h = s_.textAlign & kAlignHorizontal;
    if (h == kAlignLeft) s_.cp.x += advance / sx;
    else if (h == kAlignRight) s_.cp.x -= advance / sx;
}

// ---------------------------------------------------------------- bitmaps

namespace {

// The raster operations that combine a bitmap with the picture.
BlitMode blitModeOf(int code) {
    switch (code) {
    case 0xEE: return BlitMode::SrcPaint;
    case 0x88: return BlitMode::SrcAnd;
    case 0x66: return BlitMode::SrcInvert;
    case 0x44: return BlitMode::SrcErase;
    case 0x33: return BlitMode::NotSrcCopy;
    case 0x11: return BlitMode::NotSrcErase;
    case 0xBB: return BlitMode::MergePaint;
    default: return BlitMode::SrcCopy;
    }
}

}  // namespace

void GdiContext::blit(const Dib* dib, double x, double y, double w, double h, SourceRect src, std::uint32_t rop,
                      bool pixelSize) {
    if (pixelSize) {
        // Whole output pixels: the corner is mapped, the size is not.
        const double sx = scaleX(), sy = scaleY();
        if (!(sx > 0) || !(sy > 0)) return;
        w /= sx, h /= sy;
    }
    const int code = int(rop >> 16 & 0xFF);
    const bool usesSource = ((code >> 2) ^ code) & 0x33;
    if (!dib || !usesSource) return fillForBlit(dib != nullptr, code, x, y, w, h);
    blitPart(*dib, x, y, w, h, src, blitModeOf(code));
}

void GdiContext::fillForBlit(bool haveBitmap, int code, double x, double y, double w, double h) {
    Brush brush;
    Mix m = Mix::Copy;
    switch (code) {
    case 0x00: m = Mix::Black; break;
    case 0xFF: m = Mix::White; break;
    case 0x55: m = Mix::Invert; break;
    case 0x5A: brush = deviceBrush(s_.brush), m = Mix::Xor; break;
    case 0xAA: return;
    case 0xF0: case 0xFB: brush = deviceBrush(s_.brush); break;
    default:
        if (!haveBitmap) return;
        brush = deviceBrush(s_.brush);
        break;
    }
    if (brush.style == BrushStyle::Null) return;
    surface_.fillPath(rectPath(x, y, x + w, y + h), FillRule::Winding, brush, m, background());
}

void GdiContext::blitPart(const Dib& dib, double x, double y, double w, double h, SourceRect src, BlitMode mode) {
    // Only the part of the source rectangle that lies on the bitmap is drawn,
    // onto the matching part of the destination.
    const int bw = dib.width, bh = std::abs(dib.height);
    if (src.width == 0 || src.height == 0 || w == 0 || h == 0) return;
    double x0 = src.x, y0 = src.y, x1 = double(src.x) + src.width, y1 = double(src.y) + src.height;
    const double fx = w / (x1 - x0), fy = h / (y1 - y0);
    const double cx0 = std::clamp(std::min(x0, x1), 0.0, double(bw)), cx1 = std::clamp(std::max(x0, x1), 0.0, double(bw));
    const double cy0 = std::clamp(std::min(y0, y1), 0.0, double(bh)), cy1 = std::clamp(std::max(y0, y1), 0.0, double(bh));
    if (cx1 <= cx0 || cy1 <= cy0) return;
    // Mirrored source rectangles keep their orientation through fx, fy.
    const double dx0 = x + ((src.width > 0 ? cx0 : cx1) - x0) * fx;
    const double dy0 = y + ((src.height > 0 ? cy0 : cy1) - y0) * fy;
    const double dw = (cx1 - cx0) * std::fabs(fx) * (w < 0 ? -1 : 1) * (src.width < 0 ? -1 : 1);
    const double dh = (cy1 - cy0) * std::fabs(fy) * (h < 0 ? -1 : 1) * (src.height < 0 ? -1 : 1);
    SourceRect s{int(cx0), int(cy0), int(cx1 - cx0), int(cy1 - cy0)};
    DestQuad q{toDevice({dx0, dy0}), toDevice({dx0 + dw, dy0}), toDevice({dx0, dy0 + dh})};
    Blit how{mode, 255, false};
    how.smooth = s_.halftone;
    surface_.drawBitmap(dib, s, q, how);
}

void GdiContext::alphaBlend(const Dib& dib, double x, double y, double w, double h, SourceRect src,
                            int constantAlpha, bool sourceAlpha) {
    const int bw = dib.width, bh = std::abs(dib.height);
    if (src.width <= 0 || src.height <= 0 || src.x < 0 || src.y < 0 || src.x > bw - src.width ||
        src.y > bh - src.height)
        return;
    DestQuad q{toDevice({x, y}), toDevice({x + w, y}), toDevice({x, y + h})};
    Blit how{BlitMode::AlphaBlend, std::clamp(constantAlpha, 0, 255), sourceAlpha};
    how.smooth = s_.halftone;
    surface_.drawBitmap(dib, src, q, how);
}

void GdiContext::transparentBlit(const Dib& dib, double x, double y, double w, double h, SourceRect src,
                                 ColorValue key) {
    const int bw = dib.width, bh = std::abs(dib.height);
    if (src.width <= 0 || src.height <= 0 || src.x < 0 || src.y < 0 || src.x > bw - src.width ||
        src.y > bh - src.height)
        return;
    DestQuad q{toDevice({x, y}), toDevice({x + w, y}), toDevice({x, y + h})};
    Blit how{BlitMode::Transparent, 255, false, key & 0xFFFFFF};
    surface_.drawBitmap(dib, src, q, how);
}

void GdiContext::parallelogramBlit(const Dib& dib, Point tl, Point tr, Point bl, SourceRect src) {
    const int bw = dib.width, bh = std::abs(dib.height);
    if (src.width <= 0 || src.height <= 0 || src.x < 0 || src.y < 0 || src.x > bw - src.width ||
        src.y > bh - src.height)
        return;
    Blit how;
    how.smooth = s_.halftone;
    surface_.drawBitmap(dib, src, DestQuad{toDevice(tl), toDevice(tr), toDevice(bl)}, how);
}

void GdiContext::frameRegion(std::span<const IntRect> rects, const LogBrush& brush, double w, double h,
                             bool logical) {
    if (rects.empty() || brush.style == BrushStyle::Null || !(w > 0) || !(h > 0)) return;
    // The frame is drawn in logical units; regions in reference units are
    // framed in those, the thickness converted to them.
    std::vector<IntRect> strips;
    for (const IntRect& r : rects) {
        const int fw = int(std::lround(logical ? w : w * scaleX())), fh = int(std::lround(logical ? h : h * scaleY()));
        if (r.right - r.left <= 2 * fw || r.bottom - r.top <= 2 * fh) {
            strips.push_back(r);
            continue;
        }
        strips.push_back({r.left, r.top, r.right, r.top + fh});
        strips.push_back({r.left, r.bottom - fh, r.right, r.bottom});
        strips.push_back({r.left, r.top + fh, r.left + fw, r.bottom - fh});
        strips.push_back({r.right - fw, r.top + fh, r.right, r.bottom - fh});
    }
    fillRegion(strips, brush, logical);
}

void GdiContext::gradientRect(Point a, Point b, ColorValue ca, ColorValue cb, bool vertical) {
    surface_.gradientRect(toDevice(a), toDevice(b), ca, cb, vertical);
}

void GdiContext::gradientTriangle(Point a, Point b, Point c, ColorValue ca, ColorValue cb, ColorValue cc) {
    surface_.gradientTriangle({toDevice(a), ca}, {toDevice(b), cb}, {toDevice(c), cc});
}

}  // namespace hueline::meta
