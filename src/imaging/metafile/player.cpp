// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/metafile/player.h"

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
    return {int(wi), int(hi)};
}

// Passes every drawing call on to the real surface and ends the play with
// a FileError once the time limit has passed. The clock is read after each
// call, where the time goes; reading the records alone is quick.
class TimedSurface : public meta::MetafileSurface {
public:
    TimedSurface(meta::MetafileSurface& inner, const std::string& name, std::chrono::milliseconds limit)
        : inner_(inner), name_(name), limit_(limit), deadline_(std::chrono::steady_clock::now() + limit) {}

    void fillPath(const meta::Path& p, meta::FillRule r, const meta::Brush& b, meta::Mix m,
                  const meta::Background& bg) override {
        inner_.fillPath(p, r, b, m, bg);
        check();
    }
    void strokePath(const meta::Path& p, const meta::Pen& pen, meta::Mix m, const meta::Background& bg) override {
        inner_.strokePath(p, pen, m, bg);
        check();
    }
    double drawText(const meta::TextRun& run) override {
        const double advance = inner_.drawText(run);
        check();
        return advance;
    }
    void drawBitmap(const meta::Dib& dib, const meta::SourceRect& src, const meta::DestQuad& dest,
                    const meta::Blit& how) override {
        inner_.drawBitmap(dib, src, dest, how);
        check();
    }
    void gradientRect(meta::Point a, meta::Point b, ColorValue from, ColorValue to, bool vertical) override {
        inner_.gradientRect(a, b, from, to, vertical);
        check();
    }
    void gradientTriangle(const meta::GradientVertex& a, const meta::GradientVertex& b,
                          const meta::GradientVertex& c) override {
        inner_.gradientTriangle(a, b, c);
        check();
    }
    void clip(meta::ClipOp op, const meta::Path& p, meta::FillRule r) override {
        inner_.clip(op, p, r);
        check();
    }
    void resetClip() override { inner_.resetClip(); }
    void offsetClip(double dx, double dy) override { inner_.offsetClip(dx, dy); }
    void save() override { inner_.save(); }
    void restore() override { inner_.restore(); }

private:
    void check() const {
        if (std::chrono::steady_clock::now() <= deadline_) return;
        const auto ms = limit_.count();
        const std::string limit = ms % 1000 == 0 ? std::to_string(ms / 1000) + " seconds" : std::to_string(ms) + " ms";
        throw FileError(name_, "drawing it takes longer than " + limit + ", the most a metafile may take");
    }

    meta::MetafileSurface& inner_;
    const std::string& name_;
    std::chrono::milliseconds limit_;
    std::chrono::steady_clock::time_point deadline_;
};

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
                  meta::MetafileSurface& surface, std::chrono::milliseconds timeLimit) {
    const MetafileSize size = metafileNaturalSize(bytes, name, kind);
    TimedSurface timed(surface, name, timeLimit);
    if (kind == PictureKind::Wmf) meta::playWmf(bytes, meta::readWmfInfo(bytes, name), timed, size.width, size.height);
    else meta::playEmf(bytes, meta::readEmfInfo(bytes, name), timed, size.width, size.height);
}

}  // namespace hueline
