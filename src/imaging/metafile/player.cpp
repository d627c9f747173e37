// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/metafile/player.h"

#include <algorithm>
#include <cmath>

#include "imaging/picture/errors.h"

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

// The header and natural size, without looking at the records.
MetafileHeader sizedHeader(std::span<const std::uint8_t> bytes, const std::string& name, PictureKind kind,
                           std::int64_t maxPixels) {
    MetafileHeader h{name, kind, {}, {}, {}};
    if (kind == PictureKind::Wmf) {
        h.wmf = meta::readWmfInfo(bytes, name);
        const double perInch = kScreenPixelsPerInch / double(h.wmf.unitsPerInch);
        h.size = checkedSize((h.wmf.right - h.wmf.left) * perInch, (h.wmf.bottom - h.wmf.top) * perInch, name, maxPixels);
    } else if (kind == PictureKind::Emf) {
        h.emf = meta::readEmfInfo(bytes, name);
        h.size = checkedSize(h.emf.frameWidthPixels(), h.emf.frameHeightPixels(), name, maxPixels);
    } else {
        throw FileError(name, "it is not a metafile");
    }
    return h;
}

}  // namespace

MetafileHeader readMetafileHeader(std::span<const std::uint8_t> bytes, const std::string& name, PictureKind kind,
                                  std::int64_t maxPixels) {
    MetafileHeader h = sizedHeader(bytes, name, kind, maxPixels);
    // Told from the records' types alone, before a page is made for them.
    if (kind == PictureKind::Emf && h.size.width > 0 && meta::holdsOnlyEmfPlus(bytes, h.emf))
        throw FileError(name, "the metafile holds only EMF+ drawing records, which Hueline does not draw");
    return h;
}

MetafileSize metafileNaturalSize(std::span<const std::uint8_t> bytes, const std::string& name, PictureKind kind,
                                 std::int64_t maxPixels) {
    return sizedHeader(bytes, name, kind, maxPixels).size;
}

void playMetafile(std::span<const std::uint8_t> bytes, const MetafileHeader& header, meta::MetafileSurface& surface,
                  meta::PlayBudget& budget, PlayBand band) {
    const MetafileSize size = header.size;
    budget.beginPlay(size.width, size.height, std::max(band.firstRow, 0), std::min(band.endRow, size.height), band.pass,
                     band.passes);
    meta::BudgetedSurface charged(surface, budget);
    if (header.kind == PictureKind::Wmf) meta::playWmf(bytes, header.wmf, charged, size.width, size.height, &budget);
    else meta::playEmf(bytes, header.emf, charged, size.width, size.height, &budget);
}

void playMetafile(std::span<const std::uint8_t> bytes, const std::string& name, PictureKind kind,
                  meta::MetafileSurface& surface, std::chrono::milliseconds timeLimit) {
    meta::PlayBudget budget(name, timeLimit);
    playMetafile(bytes, readMetafileHeader(bytes, name, kind), surface, budget);
}

}  // namespace hueline
