// SPDX-License-Identifier: GPL-3.0-or-later
// The drawing surface a metafile is played onto.
//
// The record players (metafile_player.h) keep every piece of drawing state
// a metafile sets up: mapping modes, world transforms, the object table,
// the current position, paths under construction. What reaches a surface
// is already resolved: points in output pixels (x to the right, y down,
// (0, 0) the picture's top-left corner), pen widths and font heights in
// pixels, the pen, brush and colours to use. A surface only draws.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "imaging/picture/work_bitmap.h"

namespace hueline::meta {

struct Point {
    double x = 0, y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

// A path of figures: Move starts a figure, Line adds one point, Cubic adds
// three (two control points and the end), Close joins back to the figure's
// start.
enum class Verb : std::uint8_t { Move, Line, Cubic, Close };

struct Path {
    std::vector<Verb> verbs;
    std::vector<Point> points;

    bool empty() const { return verbs.empty(); }
    void moveTo(Point p) { verbs.push_back(Verb::Move), points.push_back(p); }
    void lineTo(Point p) { verbs.push_back(Verb::Line), points.push_back(p); }
    void cubicTo(Point c1, Point c2, Point e) {
        verbs.push_back(Verb::Cubic);
        points.push_back(c1), points.push_back(c2), points.push_back(e);
    }
    void close() { verbs.push_back(Verb::Close); }
    void append(const Path& other) {
        verbs.insert(verbs.end(), other.verbs.begin(), other.verbs.end());
        points.insert(points.end(), other.points.begin(), other.points.end());
    }
};

enum class FillRule : std::uint8_t { Alternate, Winding };

// How drawn pixels combine with those already there: the sixteen binary
// raster operations of a device context, numbered as records number them.
// P is the pen or brush colour, D the pixel already there, bit by bit.
enum class Mix : std::uint8_t {
    Black = 1,   // 0
    NotOr,       // NOT (P OR D)
    NotPenAnd,   // (NOT P) AND D
    NotCopy,     // NOT P
    PenAndNot,   // P AND (NOT D)
    Invert,      // NOT D
    Xor,         // P XOR D
    NotAnd,      // NOT (P AND D)
    And,         // P AND D
    NotXor,      // NOT (P XOR D)
    Nop,         // D: nothing changes
    NotPenOr,    // (NOT P) OR D
    Copy,        // P
    PenOrNot,    // P OR (NOT D)
    Or,          // P OR D
    White,       // 1
};

enum class PenStyle : std::uint8_t { Solid, Dash, Dot, DashDot, DashDotDot, Null };
enum class LineCap : std::uint8_t { Round, Square, Flat };
enum class LineJoin : std::uint8_t { Round, Bevel, Miter };

struct Pen {
    PenStyle style = PenStyle::Solid;
    double width = 0;  // in pixels; 0 or up to 1 draws one-pixel lines
    ColorValue color = kBlack;
    LineCap cap = LineCap::Round;
    LineJoin join = LineJoin::Round;
    double miterLimit = 10;
};

// A device-independent bitmap as a metafile carries it: the info header,
// its colour table or masks, then the pixel bits, in one block. width and
// height are read from the info header (height may be negative: top-down).
struct Dib {
    std::vector<std::uint8_t> bytes;
    int width = 0, height = 0, bitCount = 0;
};

enum class BrushStyle : std::uint8_t { Null, Solid, Hatched, Pattern };

struct Brush {
    BrushStyle style = BrushStyle::Solid;
    ColorValue color = kWhite;
    int hatch = 0;  // 0 horizontal, 1 vertical, 2 falling, 3 rising, 4 cross, 5 diagonal cross
    std::shared_ptr<const Dib> pattern;
};

// What fills the gaps of hatches, dashes and the cell behind text.
struct Background {
    bool opaque = true;
    ColorValue color = kWhite;
};

struct Font {
    std::string face;  // as the metafile names it (UTF-8)
    double height = 16;   // pixels
    bool cellHeight = false;  // height includes the internal leading
    double width = 0;     // average character width in pixels, 0 = the face's own
    int weight = 400;
    bool italic = false, underline = false, strikeOut = false;
    int charset = 0;
    int pitchAndFamily = 0;
};

// Text alignment as the device context holds it, without the
// update-current-position flag, which the player handles.
enum : int {
    kAlignLeft = 0, kAlignRight = 2, kAlignCenter = 6, kAlignHorizontal = 6,
    kAlignTop = 0, kAlignBottom = 8, kAlignBaseline = 24, kAlignVertical = 24,
};

struct TextRun {
    std::u16string text;
    Point origin;         // the reference point the alignment refers to
    double angle = 0;     // degrees counter-clockwise of the baseline
    Font font;
    ColorValue color = kBlack;
    Background background;
    int align = kAlignLeft | kAlignTop;
    std::vector<double> advances;  // per character, pixels; empty = the font's own
    double charExtra = 0;          // pixels added after each character when advances is empty
    bool glyphIndices = false;     // text holds the font's glyph numbers, not characters
    bool advanceUsed = false;      // the caller moves its current position by the advance returned
};

// How a bitmap combines with the picture (the ternary raster operations
// that involve the source, and alpha blending).
enum class BlitMode : std::uint8_t {
    SrcCopy, SrcPaint /*OR*/, SrcAnd, SrcInvert /*XOR*/, SrcErase, NotSrcCopy, NotSrcErase, MergePaint,
    AlphaBlend,
    Transparent,  // copied, except pixels of the key colour
};

struct Blit {
    BlitMode mode = BlitMode::SrcCopy;
    int alpha = 255;           // constant alpha for AlphaBlend
    bool sourceAlpha = false;  // AlphaBlend with the bitmap's own (premultiplied) alpha
    ColorValue key = kWhite;   // Transparent: the colour left out
    bool smooth = false;       // stretched with averaging (halftone) rather than by dropping pixels
};

// Source rectangle in bitmap pixels, counted from the bitmap's top row.
struct SourceRect {
    int x = 0, y = 0, width = 0, height = 0;
};

// Where the bitmap's top-left, top-right and bottom-left corners land.
struct DestQuad {
    Point topLeft, topRight, bottomLeft;
};

enum class ClipOp : std::uint8_t { Replace, Intersect, Exclude, Unite, Xor };

// Pixels past each edge of the picture that a clipping area is kept over:
// strokes reach past the edge. A surface builds the area over no more.
inline constexpr int kClipMargin = 16;

struct GradientVertex {
    Point at;
    ColorValue color = kBlack;
};

class MetafileSurface {
public:
    virtual ~MetafileSurface() = default;

    // Fills the inside of every figure of path (figures are closed for
    // filling).
    virtual void fillPath(const Path& path, FillRule rule, const Brush& brush, Mix mix, const Background& bg) = 0;
    // Draws the outline of path with pen.
    virtual void strokePath(const Path& path, const Pen& pen, Mix mix, const Background& bg) = 0;
    // Draws one run of text; gives its advance along the baseline in pixels
    // (a surface may give 0 for a run that does not use it and needs no
    // measuring to be drawn).
    virtual double drawText(const TextRun& run) = 0;
    // Draws part of a bitmap stretched onto a parallelogram.
    virtual void drawBitmap(const Dib& dib, const SourceRect& src, const DestQuad& dest, const Blit& how) = 0;
    // A rectangle shaded between two colours, left to right or top to bottom.
    virtual void gradientRect(Point topLeft, Point bottomRight, ColorValue from, ColorValue to, bool vertical) = 0;
    // A triangle shaded between the colours of its corners.
    virtual void gradientTriangle(const GradientVertex& a, const GradientVertex& b, const GradientVertex& c) = 0;

    // Combines the clipping area with the inside of path.
    virtual void clip(ClipOp op, const Path& path, FillRule rule) = 0;
    // Drawing is no longer clipped.
    virtual void resetClip() = 0;
    // Moves the clipping area by whole pixels. Surfaces that pass drawing
    // on to another must pass this on too.
    virtual void offsetClip(double /*dx*/, double /*dy*/) {}
    // Keeps the clipping area on a stack, and takes it back.
    virtual void save() = 0;
    virtual void restore() = 0;
};

}  // namespace hueline::meta
