// SPDX-License-Identifier: GPL-3.0-or-later
// The record types the two players draw, by the names the formats' own
// documentation gives them, and the fixed part of each: a record shorter
// than its fixed part is skipped whole rather than read as zeros.
#pragma once

#include <cstddef>
#include <cstdint>

namespace hueline::meta {

enum class EmfRecord : std::uint32_t {
    Header = 1, PolyBezier, Polygon, Polyline, PolyBezierTo, PolylineTo, PolyPolyline, PolyPolygon,
    SetWindowExtEx, SetWindowOrgEx, SetViewportExtEx, SetViewportOrgEx, SetBrushOrgEx, Eof, SetPixelV,
    SetMapperFlags, SetMapMode, SetBkMode, SetPolyFillMode, SetRop2, SetStretchBltMode, SetTextAlign,
    SetColorAdjustment, SetTextColor, SetBkColor, OffsetClipRgn, MoveToEx, SetMetaRgn, ExcludeClipRect,
    IntersectClipRect, ScaleViewportExtEx, ScaleWindowExtEx, SaveDC, RestoreDC, SetWorldTransform,
    ModifyWorldTransform, SelectObject, CreatePen, CreateBrushIndirect, DeleteObject, AngleArc, Ellipse,
    Rectangle, RoundRect, Arc, Chord, Pie, SelectPalette, CreatePalette, SetPaletteEntries, ResizePalette,
    RealizePalette, ExtFloodFill, LineTo, ArcTo, PolyDraw, SetArcDirection, SetMiterLimit, BeginPath, EndPath,
    CloseFigure, FillPath, StrokeAndFillPath, StrokePath, FlattenPath, WidenPath, SelectClipPath, AbortPath,
    Comment = 70, FillRgn, FrameRgn, InvertRgn, PaintRgn, ExtSelectClipRgn, BitBlt, StretchBlt, MaskBlt, PlgBlt,
    SetDIBitsToDevice, StretchDIBits, ExtCreateFontIndirectW, ExtTextOutA, ExtTextOutW, PolyBezier16, Polygon16,
    Polyline16, PolyBezierTo16, PolylineTo16, PolyPolyline16, PolyPolygon16, PolyDraw16, CreateMonoBrush,
    CreateDIBPatternBrushPt, ExtCreatePen,
    AlphaBlend = 114, TransparentBlt = 116, GradientFill = 118,
};

// Bytes, type and size included.
constexpr std::size_t fixedSize(EmfRecord t) {
    using enum EmfRecord;
    switch (t) {
    case SetMapMode: case RestoreDC: case SetBkMode: case SetPolyFillMode: case SetRop2: case SetStretchBltMode:
    case SetTextAlign: case SetTextColor: case SetBkColor: case SetArcDirection: case SetMiterLimit:
    case SelectObject: case DeleteObject: case SelectPalette: case SelectClipPath: return 12;
    case SetWindowExtEx: case SetWindowOrgEx: case SetViewportExtEx: case SetViewportOrgEx: case CreatePalette:
    case MoveToEx: case LineTo: case OffsetClipRgn: case ExtSelectClipRgn: return 16;
    case SetPixelV: return 20;
    case ScaleViewportExtEx: case ScaleWindowExtEx: case CreateBrushIndirect: case Ellipse: case Rectangle:
    case ExcludeClipRect: case IntersectClipRect: return 24;
    case PolyBezier: case Polygon: case Polyline: case PolyBezierTo: case PolylineTo: case PolyDraw:
    case PolyBezier16: case Polygon16: case Polyline16: case PolyBezierTo16: case PolylineTo16: case PolyDraw16:
    case CreatePen: case AngleArc: case InvertRgn: case PaintRgn: return 28;
    case PolyPolyline: case PolyPolygon: case PolyPolyline16: case PolyPolygon16: case SetWorldTransform:
    case CreateMonoBrush: case CreateDIBPatternBrushPt: case RoundRect: case FillRgn: return 32;
    case ModifyWorldTransform: case GradientFill: return 36;
    case Arc: case Chord: case Pie: case ArcTo: case FrameRgn: return 40;
    case ExtCreatePen: return 52;
    case ExtTextOutA: case ExtTextOutW: case SetDIBitsToDevice: return 76;
    case StretchDIBits: return 80;
    case BitBlt: return 100;
    case ExtCreateFontIndirectW: return 104;
    case StretchBlt: case AlphaBlend: case TransparentBlt: return 108;
    case PlgBlt: return 140;
    default: return 8;
    }
}

// The records that draw, or build a path or move the pen for drawing: a
// file with none of them draws nothing.
constexpr bool drawsOnPage(EmfRecord t) {
    using enum EmfRecord;
    switch (t) {
    case PolyBezier: case Polygon: case Polyline: case PolyBezierTo: case PolylineTo: case PolyPolyline:
    case PolyPolygon: case PolyDraw: case PolyBezier16: case Polygon16: case Polyline16: case PolyBezierTo16:
    case PolylineTo16: case PolyPolyline16: case PolyPolygon16: case PolyDraw16:
    case MoveToEx: case LineTo: case Ellipse: case Rectangle: case RoundRect: case Arc: case Chord: case Pie:
    case ArcTo: case AngleArc: case SetPixelV: case BeginPath: case EndPath: case CloseFigure: case FillPath:
    case StrokeAndFillPath: case StrokePath: case AbortPath: case ExtTextOutA: case ExtTextOutW: case GradientFill:
    case BitBlt: case StretchBlt: case StretchDIBits: case SetDIBitsToDevice: case PlgBlt: case TransparentBlt:
    case AlphaBlend: return true;
    default: return false;
    }
}

// The device context's stock objects, by the numbers an enhanced
// metafile selects them with (its handle's top bit set).
enum class StockObject : std::uint32_t {
    WhiteBrush = 0, LightGrayBrush, GrayBrush, DarkGrayBrush, BlackBrush, NullBrush, WhitePen, BlackPen, NullPen,
    OemFixedFont = 10, AnsiFixedFont, AnsiVarFont, SystemFont, DeviceDefaultFont, DefaultPalette, SystemFixedFont,
    DefaultGuiFont, DcBrush, DcPen,
};
inline constexpr std::uint32_t kStockObjectFlag = 0x80000000u;

// A pen's style word: the line style in its low bits, then the end cap and
// the join of extended pens, and whether it is drawn at its width.
enum PenStyleBits : int {
    kPenSolid = 0, kPenDash, kPenDot, kPenDashDot, kPenDashDotDot, kPenNull, kPenInsideFrame, kPenUserStyle,
    kPenAlternate,
    kPenStyleMask = 0xF,
    kPenCapRound = 0, kPenCapSquare = 0x100, kPenCapFlat = 0x200, kPenCapMask = 0xF00,
    kPenJoinRound = 0, kPenJoinBevel = 0x1000, kPenJoinMiter = 0x2000, kPenJoinMask = 0xF000,
    kPenGeometric = 0x10000,
};

// The point types of a poly-draw record; a type may also close its figure.
enum PolyDrawType : int { kPointCloseFigure = 1, kPointLineTo = 2, kPointBezierTo = 4, kPointMoveTo = 6 };

// The text alignment word's flag beside the alignments (surface.h): the
// current position is used and moved.
inline constexpr int kAlignUpdateCurrentPosition = 1;

enum class WmfRecord : std::uint16_t {
    Eof = 0x0000, SaveDC = 0x001E, CreatePalette = 0x00F7, SetBkMode = 0x0102, SetMapMode = 0x0103,
    SetRop2 = 0x0104, SetPolyFillMode = 0x0106, SetStretchBltMode = 0x0107, SetTextCharExtra = 0x0108,
    RestoreDC = 0x0127, InvertRegion = 0x012A, PaintRegion = 0x012B, SelectClipRegion = 0x012C,
    SelectObject = 0x012D, SetTextAlign = 0x012E, DibCreatePatternBrush = 0x0142, DeleteObject = 0x01F0,
    CreatePatternBrush = 0x01F9, SetBkColor = 0x0201, SetTextColor = 0x0209, SetWindowOrg = 0x020B,
    SetWindowExt = 0x020C, SetViewportOrg = 0x020D, SetViewportExt = 0x020E, OffsetWindowOrg = 0x020F,
    OffsetViewportOrg = 0x0211, LineTo = 0x0213, MoveTo = 0x0214, OffsetClipRgn = 0x0220, FillRegion = 0x0228,
    SelectPalette = 0x0234, CreatePenIndirect = 0x02FA, CreateFontIndirect = 0x02FB,
    CreateBrushIndirect = 0x02FC, Polygon = 0x0324, Polyline = 0x0325, ScaleWindowExt = 0x0410,
    ScaleViewportExt = 0x0412, ExcludeClipRect = 0x0415, IntersectClipRect = 0x0416, Ellipse = 0x0418,
    Rectangle = 0x041B, FrameRegion = 0x0429, SetPixel = 0x041F, TextOut = 0x0521, PolyPolygon = 0x0538,
    RoundRect = 0x061C, PatBlt = 0x061D, CreateRegion = 0x06FF, Arc = 0x0817, Pie = 0x081A, Chord = 0x0830,
    BitBlt = 0x0922, DibBitBlt = 0x0940, ExtTextOut = 0x0A32, StretchBlt = 0x0B23, DibStretchBlt = 0x0B41,
    SetDibToDev = 0x0D33, StretchDib = 0x0F43,
};

// 16-bit parameter words after the size and function. The pattern brush,
// font, palette and region records have none: even a short one takes its
// slot in the object table, which later records count on.
constexpr std::size_t fixedWords(WmfRecord t) {
    using enum WmfRecord;
    switch (t) {
    case SetMapMode: case RestoreDC: case SetBkMode: case SetRop2: case SetPolyFillMode: case SetTextAlign:
    case SelectObject: case SelectPalette: case DeleteObject: case Polyline: case Polygon: case PolyPolygon:
    case SelectClipRegion: case PaintRegion: case InvertRegion: case TextOut: case SetTextCharExtra:
    case SetStretchBltMode: return 1;
    case SetWindowOrg: case SetWindowExt: case SetViewportOrg: case SetViewportExt: case OffsetWindowOrg:
    case OffsetViewportOrg: case SetBkColor: case SetTextColor: case MoveTo: case LineTo: case OffsetClipRgn:
    case FillRegion: return 2;
    case ScaleWindowExt: case ScaleViewportExt: case Rectangle: case Ellipse: case SetPixel: case IntersectClipRect:
    case ExcludeClipRect: case ExtTextOut: case FrameRegion: return 4;
    case CreateBrushIndirect: return 3;
    case CreatePenIndirect: return 5;
    case RoundRect: case PatBlt: return 6;
    case Arc: case Pie: case Chord: return 8;
    default: return 0;
    }
}

}  // namespace hueline::meta
