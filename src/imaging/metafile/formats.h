// SPDX-License-Identifier: GPL-3.0-or-later
// The two metafile formats' headers and record players, used by
// metafile_player.cpp.
//
// Each player draws the records its play functions name (record_types.h
// has their numbers) and skips every other one: escapes, comments (the
// EMF+ records of dual files among them), flood fills, palette animation,
// poly-text-out and the like.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "imaging/metafile/budget.h"
#include "imaging/metafile/surface.h"

namespace hueline::meta {

// The placeable header and the standard header behind it. A file without
// the placeable header gets the box of the window it sets, or else of
// what it draws, at 96 units per inch.
struct WmfInfo {
    int left = 0, top = 0, right = 0, bottom = 0;
    int unitsPerInch = 96;  // 0 in the file counts as 96
    std::size_t firstRecord = 0;
    std::uint32_t objects = 0;  // size of the object table
};

// Throws FileError when the file has neither a placeable header with a
// matching checksum nor a standard one that gives its picture a size, or
// its standard header is damaged.
WmfInfo readWmfInfo(std::span<const std::uint8_t> bytes, const std::string& name);
// budget, when given, hears of every record (for the clock and progress).
void playWmf(std::span<const std::uint8_t> bytes, const WmfInfo& info, MetafileSurface& surface, int width,
             int height, PlayBudget* budget = nullptr);

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
// False when the file holds EMF+ records and no plain drawing records: a
// picture that is all EMF+ (which is not drawn) rather than an empty one.
bool playEmf(std::span<const std::uint8_t> bytes, const EmfInfo& info, MetafileSurface& surface, int width,
             int height, PlayBudget* budget = nullptr);

}  // namespace hueline::meta
