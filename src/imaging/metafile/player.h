// SPDX-License-Identifier: GPL-3.0-or-later
// Windows metafiles (placeable WMF) and enhanced metafiles (EMF): their
// natural size and their records played onto a drawing surface.
//
// Every size, count and offset a record claims is checked against the
// record and the file before it is used. A broken header fails with a
// FileError; a broken record ends the play, and what came before it stays
// drawn. Escapes never run anything.
#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <string>

#include "imaging/metafile/budget.h"
#include "imaging/metafile/surface.h"
#include "imaging/picture/picture_kind.h"

namespace hueline {

struct MetafileSize {
    int width = 0, height = 0;
    friend bool operator==(const MetafileSize&, const MetafileSize&) = default;
};

// The screen's pixels per inch a Windows metafile's bounding box is
// converted to, and the units per inch a placeable header of 0 stands for.
inline constexpr int kScreenPixelsPerInch = 96;

// The natural size in pixels. EMF: the picture frame (hundredths of a
// millimetre) times the reference device's pixels per millimetre. WMF: the
// placeable header's bounding box divided by its units per inch (0 counts
// as 96), times 96. Both rounded to the nearest pixel, halves to even. kind is Wmf or Emf;
// name is only used in messages. Throws FileError when the file is not a
// metafile of that kind, its header is damaged, or the picture would be
// larger than maxPixels.
MetafileSize metafileNaturalSize(std::span<const std::uint8_t> bytes, const std::string& name, PictureKind kind,
                                 std::int64_t maxPixels = kMaxPixels);

// The longest a metafile may take to play, all its bands together. A
// file is at most 1 GB, so its records are bounded in number, but each may
// draw over the whole picture; past this the play stops and the file is
// refused.
inline constexpr std::chrono::milliseconds kMaxMetafilePlayTime{20000};

// The rows one play draws, when a tall picture is drawn in bands, and
// which of how many plays it is.
struct PlayBand {
    int firstRow = 0, endRow = INT32_MAX;
    int pass = 0, passes = 1;
};

// Plays the metafile onto surface at its natural size, its top-left corner
// at (0, 0), charging its drawing to budget (meta/budget.h). Throws
// FileError as metafileNaturalSize does, and when the drawing would
// overrun the budget; Cancelled when the progress scope says stop.
void playMetafile(std::span<const std::uint8_t> bytes, const std::string& name, PictureKind kind,
                  meta::MetafileSurface& surface, meta::PlayBudget& budget, PlayBand band = {});
// The same with a budget of its own for timeLimit.
void playMetafile(std::span<const std::uint8_t> bytes, const std::string& name, PictureKind kind,
                  meta::MetafileSurface& surface, std::chrono::milliseconds timeLimit = kMaxMetafilePlayTime);

}  // namespace hueline
