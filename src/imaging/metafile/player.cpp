// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/metafile/player.h"

#include <algorithm>
#include <cmath>

#include "imaging/picture/errors.h"
#include "imaging/metafile/formats.h"

namespace hueline {

namespace {

// Rounds to the nearest whole pixel, halves to even; a picture over maxPixels is refused
// before anything is allocated for it.
MetafileSize checkedSize(double w, double h, const std::string& name, std::int64_t maxPixels) {
    if (!std::isfinite(w) || !std::isfinite(h) || w < 0 || h < 0 || w > 1e9 || h > 1e9)
        throw FileError(name, "its picture size is not usable");
    const std::int64_t wi = std::int64_t(std::nearbyint(w)), hi = std::int64_t(std::nearbyint(h));
    if (wi * hi > maxPixels)
        throw FileError(name, "the picture would be larger than " + std::to_string(maxPixels / 1000000) +
                                  " megapixels (" + std::to_string(wi) + " x " + std::to_string(hi) + ")");
    // A picture without width or without height is empty either way.
    if (wi == 0 || hi == 0) return {0, 0};
    return {int(wi), int(hi)};
}

}  // namespace

MetafileSize metafileNaturalSize(std::span<const std::uint8_t> bytes, const std::string& name, PictureKind kind,
                                 std::int64_t maxPixels) {
    if (kind == PictureKind::Wmf) {
        const meta::WmfInfo info = meta::readWmfInfo(bytes, name);
        const double perInch = kScreenPixelsPerInch / double(info.unitsPerInch);
        return checkedSize((info.right - info.left) * perInch, (info.bottom - info.top) * perInch, name, maxPixels);
    }
    if (kind == PictureKind::Emf) {
        const meta::EmfInfo info = meta::readEmfInfo(bytes, name);
        return checkedSize(info.frameWidthPixels(), info.frameHeightPixels(), name, maxPixels);
    }
    throw FileError(name, "it is not a metafile");
}

void playMetafile(std::span<const std::uint8_t> bytes, const std::string& name, PictureKind kind,
                  meta::MetafileSurface& surface, meta::PlayBudget& budget, PlayBand band) {
    const MetafileSize size = metafileNaturalSize(bytes, name, kind);
    budget.beginPlay(size.width, std::max(band.firstRow, 0), std::min(band.endRow, size.height), band.pass, band.passes);
    meta::BudgetedSurface charged(surface, budget);
    if (kind == PictureKind::Wmf)
        meta::playWmf(bytes, meta::readWmfInfo(bytes, name), charged, size.width, size.height, &budget);
    else if (!meta::playEmf(bytes, meta::readEmfInfo(bytes, name), charged, size.width, size.height, &budget))
        throw FileError(name, "the metafile holds only EMF+ drawing records, which Hueline does not draw");
}

void playMetafile(std::span<const std::uint8_t> bytes, const std::string& name, PictureKind kind,
                  meta::MetafileSurface& surface, std::chrono::milliseconds timeLimit) {
    meta::PlayBudget budget(name, timeLimit);
    playMetafile(bytes, name, kind, surface, budget);
}

}  // namespace hueline
