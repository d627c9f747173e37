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
#include "imaging/metafile/formats.h"
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

// A metafile's header as its player needs it, read once: the kind, the
// natural size in pixels and the format's own header.
struct MetafileHeader {
    std::string name;  // only used in messages
    PictureKind kind = PictureKind::Emf;
    MetafileSize size;
    meta::WmfInfo wmf;
    meta::EmfInfo emf;
};

// Reads the header of a metafile of kind Wmf or Emf. The natural size: EMF,
// the picture frame (hundredths of a millimetre) times the reference
// device's pixels per millimetre; WMF, the placeable header's bounding box
// divided by its units per inch (0 counts as 96), times 96. Both rounded
// to the nearest pixel, halves to even. Throws FileError when the file is
// not a metafile of that kind, its header is damaged, the picture would be
// larger than maxPixels, or it holds only EMF+ drawing, which is not drawn;
// all before anything is allocated for the picture.
MetafileHeader readMetafileHeader(std::span<const std::uint8_t> bytes, const std::string& name, PictureKind kind,
                                  std::int64_t maxPixels = kMaxPixels);
// The natural size alone, as readMetafileHeader reads it (the records are
// not looked at).
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

// Plays the metafile of header onto surface at its natural size, its
// top-left corner at (0, 0), charging its drawing to budget
// (meta/budget.h). Throws FileError when the drawing would overrun the
// budget; Cancelled when the progress scope says stop.
void playMetafile(std::span<const std::uint8_t> bytes, const MetafileHeader& header, meta::MetafileSurface& surface,
                  meta::PlayBudget& budget, PlayBand band = {});
// The same with the header read first (which may throw as
// readMetafileHeader does) and a budget of its own for timeLimit.
void playMetafile(std::span<const std::uint8_t> bytes, const std::string& name, PictureKind kind,
                  meta::MetafileSurface& surface, std::chrono::milliseconds timeLimit = kMaxMetafilePlayTime);

}  // namespace hueline
