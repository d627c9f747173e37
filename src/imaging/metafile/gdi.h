// SPDX-License-Identifier: GPL-3.0-or-later
// The device context both metafile players drive: mapping, world
// transform, selected objects, colours and modes, the current position,
// the path under construction and the saved states. It turns what the
// records say in logical units into resolved calls on a MetafileSurface.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "imaging/metafile/surface.h"

namespace hueline::meta {

// x' = x*m11 + y*m21 + dx, y' = x*m12 + y*m22 + dy.
struct Xform {
    double m11 = 1, m12 = 0, m21 = 0, m22 = 1, dx = 0, dy = 0;
    Point apply(Point p) const { return {p.x * m11 + p.y * m21 + dx, p.x * m12 + p.y * m22 + dy}; }
    // The transform that applies a first, then b.
    static Xform then(const Xform& a, const Xform& b);
    bool sane() const;  // finite, not singular, not absurdly large
};

struct LogPen {
    int style = 0;  // style, end cap, join, geometric (PenStyleBits, record_types.h)
    double width = 0;
    ColorValue color = kBlack;
    bool extended = false;  // made by an extended pen record
};

struct LogBrush {
    BrushStyle style = BrushStyle::Solid;
    ColorValue color = kWhite;
    int hatch = 0;
    std::shared_ptr<const Dib> pattern;
};

struct LogFont {
    int height = 0, width = 0, escapement = 0, orientation = 0, weight = 400;
    bool italic = false, underline = false, strikeOut = false;
    int charset = 0, pitchAndFamily = 0;
    std::string face;
};

struct IntRect {
    int left = 0, top = 0, right = 0, bottom = 0;
};

struct GdiObject {
    enum class Kind : std::uint8_t { Pen, Brush, Font, Palette, Region, Other } kind = Kind::Other;
    LogPen pen;
    LogBrush brush;
    LogFont font;
    std::vector<IntRect> region;
};

// The palette a metafile selects, and colour references through it.
struct SelectedPalette {
    std::vector<ColorValue> entries;
    // A colour reference: RGB, or (high byte 1) an entry of the palette.
    ColorValue color(std::uint32_t ref) const {
        if ((ref >> 24) != 1) return ref & 0xFFFFFF;
        return (ref & 0xFFFF) < entries.size() ? entries[ref & 0xFFFF] : kBlack;
    }
    // The entries of a palette object: red, green, blue in its region list.
    void select(const GdiObject& palette) {
        entries.clear();
        for (const IntRect& e : palette.region) entries.push_back(makeColor(e.left, e.top, e.right));
    }
};

// A palette object of the entries given (red, green, blue, flags; up to
// count of them).
inline GdiObject makePalette(std::span<const std::uint8_t> bytes, std::size_t count) {
    GdiObject o;
    o.kind = GdiObject::Kind::Palette;
    for (std::size_t i = 0; i < count && 4 * i + 4 <= bytes.size(); ++i)
        o.region.push_back({bytes[4 * i], bytes[4 * i + 1], bytes[4 * i + 2], 0});
    return o;
}

enum MapMode : int {
    kMapText = 1, kMapLoMetric, kMapHiMetric, kMapLoEnglish, kMapHiEnglish, kMapTwips, kMapIsotropic,
    kMapAnisotropic,
};

// Modes of combining a new clip with the old one, as records number them.
enum RegionMode : int { kRgnAnd = 1, kRgnOr, kRgnXor, kRgnDiff, kRgnCopy };

// How reference units reach the output: the last stage after world and page
// transforms, and the pixels per millimetre the metric mapping modes use.
struct DeviceSetup {
    Xform toOutput;
    double pixelsPerMmX = 96 / 25.4, pixelsPerMmY = 96 / 25.4;
    int mapMode = kMapText;
    Point windowOrg{0, 0}, windowExt{1, 1}, viewportOrg{0, 0}, viewportExt{1, 1};
    // Windows metafiles: the window maps straight onto the output until the
    // file sets a viewport of its own; from then on the viewport is in the
    // units of the bounding box, which this transform takes to the output.
    std::optional<Xform> unitsToOutput;
};

class GdiContext {
public:
    static constexpr int kMaxSavedStates = 256;

    GdiContext(MetafileSurface& surface, const DeviceSetup& setup);

    // Mapping.
    void setMapMode(int mode);
    void setWindowOrg(double x, double y);
    void setWindowExt(double x, double y);
    void setViewportOrg(double x, double y);
    void setViewportExt(double x, double y);
    void offsetWindowOrg(double dx, double dy);
    void offsetViewportOrg(double dx, double dy);
    void scaleWindowExt(double xNum, double xDen, double yNum, double yDen);
    void scaleViewportExt(double xNum, double xDen, double yNum, double yDen);
    void setWorldTransform(const Xform& x);
    // 1 identity, 2 left-multiply, 3 right-multiply, 4 set.
    void modifyWorldTransform(const Xform& x, int mode);
    Point toDevice(Point logical) const;
    // Pixels per logical unit along the two axes.
    double scaleX() const;
    double scaleY() const;

    void saveDC();
    void restoreDC(int which);

    // Selected objects and modes.
    void selectPen(const LogPen& p) { s_.pen = p; }
    void selectBrush(const LogBrush& b) { s_.brush = b; }
    void selectFont(const LogFont& f) { s_.font = f; }
    // A stock object (record_types.h), by its number.
    void selectStock(std::uint32_t index);
    void setTextColor(ColorValue c) { s_.textColor = c; }
    void setBkColor(ColorValue c) { s_.bkColor = c; }
    void setBkMode(int mode) { if (mode == 1 || mode == 2) s_.bkOpaque = mode == 2; }
    void setTextAlign(int align) { s_.textAlign = align; }
    void setPolyFillMode(int mode) { if (mode == 1 || mode == 2) s_.fillRule = mode == 2 ? FillRule::Winding : FillRule::Alternate; }
    void setRop2(int rop) { s_.rop2 = rop; }
    void setArcDirection(int dir) { if (dir == 1 || dir == 2) s_.clockwise = dir == 2; }
    void setMiterLimit(double m) { if (m >= 1 && m < 1000) s_.miterLimit = m; }
    void setStretchMode(int mode) { if (mode >= 1 && mode <= 4) s_.halftone = mode == 4; }
    void setCharExtra(double e) { if (std::isfinite(e) && std::fabs(e) < 1e5) s_.charExtra = e; }
    const LogBrush& brush() const { return s_.brush; }

    // Lines and shapes, in logical units.
    void moveTo(Point p);
    void lineTo(Point p);
    void polyline(std::span<const Point> pts);
    void polylineTo(std::span<const Point> pts);
    void polygon(std::span<const Point> pts);
    void polyPolygon(std::span<const Point> pts, std::span<const std::uint32_t> counts);
    void polyPolyline(std::span<const Point> pts, std::span<const std::uint32_t> counts);
    void polyBezier(std::span<const Point> pts);
    void polyBezierTo(std::span<const Point> pts);
    // Types as the poly-draw record gives them (record_types.h).
    void polyDraw(std::span<const Point> pts, std::span<const std::uint8_t> types);
    void rectangle(double l, double t, double r, double b);
    void roundRect(double l, double t, double r, double b, double w, double h);
    void ellipse(double l, double t, double r, double b);
    enum class ArcKind { Arc, ArcTo, Chord, Pie };
    void arc(ArcKind kind, double l, double t, double r, double b, Point start, Point end);
    void angleArc(Point center, double radius, double startDeg, double sweepDeg);
    void setPixel(Point p, ColorValue c);

    // Paths.
    void beginPath();
    void endPath() { inPath_ = false; }
    void abortPath() { inPath_ = false, path_ = Path{}, figureOpen_ = false; }
    void closeFigure();
    void fillPath();
    void strokePath();
    void strokeAndFillPath();
    void selectClipPath(int mode);

    // Clipping; rectangles in logical units, regions in reference units.
    void intersectClipRect(double l, double t, double r, double b);
    void excludeClipRect(double l, double t, double r, double b);
    void selectClipRegion(std::span<const IntRect> rects, int mode, bool logical);
    void resetClip();
    // Moves the clipping area by a logical offset.
    void offsetClip(double dx, double dy);
    // Fills a region (reference units, or logical with logical) with a brush.
    void fillRegion(std::span<const IntRect> rects, const LogBrush& brush, bool logical, Mix mix = Mix::Copy);
    // Frames a region's rectangles with a brush, w x h logical units thick.
    void frameRegion(std::span<const IntRect> rects, const LogBrush& brush, double w, double h, bool logical);

    // Text at a logical reference point. dx: logical advances, may be empty.
    // rect (logical) is filled with the background colour when options
    // has 2 (opaque) and clips the text when options has 4 (clipped).
    void textOut(Point ref, std::u16string text, std::span<const int> dx, int options,
                 std::optional<IntRect> rect);

    // A bitmap (or, without one, the brush) onto a logical rectangle; with
    // pixelSize, w and h count output pixels from the logical corner (x, y).
    void blit(const Dib* dib, double x, double y, double w, double h, SourceRect src, std::uint32_t rop,
              bool pixelSize = false);
    void alphaBlend(const Dib& dib, double x, double y, double w, double h, SourceRect src, int constantAlpha,
                    bool sourceAlpha);
    // A bitmap copied without the pixels of one colour.
    void transparentBlit(const Dib& dib, double x, double y, double w, double h, SourceRect src, ColorValue key);
    // A bitmap onto the parallelogram whose corners (top-left, top-right,
    // bottom-left) are given in logical units.
    void parallelogramBlit(const Dib& dib, Point tl, Point tr, Point bl, SourceRect src);

    void gradientRect(Point a, Point b, ColorValue ca, ColorValue cb, bool vertical);
    void gradientTriangle(Point a, Point b, Point c, ColorValue ca, ColorValue cb, ColorValue cc);

private:
    struct State {
        int mapMode = kMapText;
        Point windowOrg{0, 0}, windowExt{1, 1}, viewportOrg{0, 0}, viewportExt{1, 1};
        Xform world;
        LogPen pen;
        LogBrush brush;
        LogFont font;
        ColorValue textColor = kBlack, bkColor = kWhite;
        bool bkOpaque = true;
        int textAlign = 0;
        FillRule fillRule = FillRule::Alternate;
        int rop2 = 13;
        Point cp{0, 0};
        bool clockwise = false;
        double miterLimit = 10;
        double charExtra = 0;
        bool halftone = false;  // stretch mode
        bool unitViewport = false;  // the viewport is the file's own (see DeviceSetup)
    };
    void takeOwnViewport();

    Xform fullTransform() const;
    void updateTransform();
    Pen devicePen() const;
    Brush deviceBrush(const LogBrush& b) const;
    Background background() const { return {s_.bkOpaque, s_.bkColor}; }
    bool penIsNull() const;
    Mix mix() const;
    // Draws (or adds to the open path) a figure given in device units.
    void emit(const Path& devicePath, bool fill, bool stroke);
    Path rectPath(double l, double t, double r, double b) const;
    // Appends an elliptic arc (logical centre and radii, parameter angles in
    // radians, y down) to a device path.
    void appendArc(Path& p, Point c, double rx, double ry, double t0, double sweep, bool startFigure) const;
    Path regionPath(std::span<const IntRect> rects, bool logical) const;
    void clipWith(const Path& devicePath, int mode, FillRule rule);
    // The font selected, in pixels; false when it is too small to draw.
    bool deviceFont(Font& font) const;
    // Draws a run, clipped to a logical rectangle when one is given; gives
    // the surface's advance.
    double drawTextRun(const TextRun& run, std::optional<IntRect> clipRect);
    // What a raster operation that does not use the bitmap does to the
    // logical rectangle: a fill with the brush or a colour-free mix.
    void fillForBlit(bool haveBitmap, int code, double x, double y, double w, double h);
    // The part of the source rectangle that lies on the bitmap, drawn onto
    // the matching part of the logical destination.
    void blitPart(const Dib& dib, double x, double y, double w, double h, SourceRect src, BlitMode mode);
    // Moves the current position along by a run's advance in pixels.
    void advanceCurrentPosition(double advance);

    MetafileSurface& surface_;
    DeviceSetup setup_;
    State s_;
    std::vector<State> saved_;
    Xform transform_;  // logical to output, kept current
    Path path_;        // the path under construction, in device units
    bool inPath_ = false;
    bool figureOpen_ = false;
};

}  // namespace hueline::meta
