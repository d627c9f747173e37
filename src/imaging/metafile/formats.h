// SPDX-License-Identifier: GPL-3.0-or-later
// The two metafile formats' headers and record players, used by
// metafile_player.cpp.
//
// Windows metafile records played: window and viewport origins, extents,
// offsets and scaling; map mode; save and restore; background mode and
// colour, text colour and alignment, fill mode, ROP2, stretch mode,
// character extra;
// pens, brushes (solid, hatched, hollow, DIB pattern; device-bitmap
// patterns as gray), fonts, palettes (with palette-index colours) and
// regions in the object table, select and delete; move-to, line-to,
// polyline, polygon, poly-polygon, rectangle, rounded rectangle, ellipse,
// arc, chord, pie, set pixel; intersect and exclude clip rectangles, select
// and offset clip region; fill, paint, invert and frame region; text-out
// and extended text-out (opaque and clip rectangles, advances); pattern
// blit, bit blit and stretch blit (device bitmaps of 1, 24 and 32 bits),
// DIB bit blit, DIB stretch blit, stretch DIB, set DIB to device.
// Skipped: escapes, flood fills, text justification, palette animation and
// resizing, mapper flags, relabs, the draw-text record.
//
// Enhanced metafile records played: the 16- and 32-bit poly records
// (polyline, polygon, poly-polyline, poly-polygon, Bézier, Bézier-to,
// polyline-to, poly-draw); window and viewport extents and origins, map
// mode, viewport and window scaling, world transform set and modify; save
// and restore; background mode and colour, fill mode, ROP2, text alignment
// and colour, arc direction, miter limit, stretch mode; pens and extended pens, brushes,
// DIB and monochrome pattern brushes, fonts, palettes (with palette-index
// colours), stock objects,
// select and delete; move-to, line-to, ellipse, rectangle, rounded
// rectangle, arc, arc-to, chord, pie, angle arc, set pixel; begin, end,
// close figure, fill, stroke, stroke-and-fill, select clip path, abort
// path; intersect and exclude clip rectangles, extended select clip
// region, offset clip region; fill, paint, invert and frame region;
// extended text-out ANSI and wide (advances, opaque and clip rectangles);
// bit blit, stretch blit, stretch DIB bits, set DIB bits to device, alpha
// blend, transparent blit, parallelogram blit; gradient fill (rectangles
// and triangles). Skipped: comments (EMF+ in dual files included), mask
// blit, flood fill, flatten and widen path, brush origin, meta region,
// colour adjustment and ICM records, layout, poly-text-out, small text-out,
// glyph-index text, and every other record.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "imaging/metafile/surface.h"

namespace hueline::meta {

// The placeable header and the standard header behind it.
struct WmfInfo {
    int left = 0, top = 0, right = 0, bottom = 0;
    int unitsPerInch = 96;  // 0 in the file counts as 96
    std::size_t firstRecord = 0;
    std::uint32_t objects = 0;  // size of the object table
};

// Throws FileError when the file is not a placeable Windows metafile with a
// matching checksum and a sound standard header.
WmfInfo readWmfInfo(std::span<const std::uint8_t> bytes, const std::string& name);
void playWmf(std::span<const std::uint8_t> bytes, const WmfInfo& info, MetafileSurface& surface, int width,
             int height);

struct EmfInfo {
    int frameLeft = 0, frameTop = 0, frameRight = 0, frameBottom = 0;  // 0.01 mm
    int devicePixelsX = 0, devicePixelsY = 0, deviceMmX = 0, deviceMmY = 0;
    std::size_t headerSize = 0, end = 0;
    std::uint32_t handles = 0;
    double frameWidthPixels() const;
    double frameHeightPixels() const;
};

// Throws FileError when the file does not begin with a sound enhanced
// metafile header.
EmfInfo readEmfInfo(std::span<const std::uint8_t> bytes, const std::string& name);
void playEmf(std::span<const std::uint8_t> bytes, const EmfInfo& info, MetafileSurface& surface, int width,
             int height);

}  // namespace hueline::meta
