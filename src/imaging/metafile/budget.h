// SPDX-License-Identifier: GPL-3.0-or-later
// The work a metafile may cause, counted for the whole file: a tall
// picture is played once per band, and all bands share one budget.
//
// Every drawing call is charged before it runs, by what it will really cost
// the painter: for fills and wide lines the edges times the rows they cross
// (a painter's time grows faster than that when many edges cross each row),
// for thin lines their length, for bitmaps the pixels decoded and drawn. A
// call that would overrun the budget is refused before it starts, so the
// play ends within about a second of its time limit even inside one huge
// record; the clock is read between calls as well. Shapes are also capped
// in points, one by one and for the whole file.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "imaging/metafile/surface.h"

namespace hueline::meta {

class PlayBudget {
public:
    // Work units the painter gets through in a second, counted low so that
    // a slower machine still stops near the limit.
    static constexpr double kUnitsPerSecond = 2e6;
    static constexpr std::size_t kMaxShapePoints = 1'000'000;
    static constexpr std::size_t kMaxFilePoints = 8'000'000;
    // Memory a metafile may have in use at once: its picture and drawing
    // buffer, and the decoded pattern brushes it keeps.
    static constexpr double kMaxMemoryBytes = 1024.0 * 1024 * 1024;

    PlayBudget(std::string name, std::chrono::milliseconds timeLimit);

    // The picture's size and the rows the next play draws (a band of
    // them), and which of how many plays of the whole file it is; for the
    // estimates and the progress.
    void beginPlay(int width, int height, int firstRow, int endRow, int pass, int passes);
    // Charges a drawing call of so many points; throws FileError when it
    // would overrun the time or the points allowed.
    void charge(double units, std::size_t points);
    // The same without reading the clock, for calls that draw nothing.
    void chargeUnclocked(double units, std::size_t points);
    // Throws FileError for a shape of more points than a shape may have.
    void checkShape(std::uint64_t points) const;
    // Memory taken for as long as the play needs it, and given back;
    // holding throws FileError when it would pass the memory allowed.
    void holdMemory(double bytes);
    void releaseMemory(double bytes);
    // Between records: reads the clock now and then and reports progress
    // (fraction of this play's bytes), which may throw Cancelled.
    void atRecord(double fraction);
    // Throws FileError once the time is up.
    void checkClock();
    // Throws FileError when work that will take so many seconds more
    // cannot end before the time is up.
    void expectSeconds(double seconds) const;
    // Charges work already done, by the seconds it took, beyond the units
    // charged for it before.
    void chargeSeconds(double seconds, double charged);
    int width() const { return width_; }
    int height() const { return height_; }
    int firstRow() const { return firstRow_; }
    int endRow() const { return endRow_; }
    // Whether this play is one band of several, so that drawing wholly
    // above or below its rows can be left out.
    bool banded() const { return passes_ > 1; }

private:
    [[noreturn]] void refuse(const std::string& why) const;
    std::string limitText() const;

    std::string name_;
    std::chrono::milliseconds limit_;
    std::chrono::steady_clock::time_point deadline_, nextReport_;
    double budget_, spent_ = 0, memory_ = 0;
    std::size_t filePoints_ = 0;
    int width_ = 0, height_ = 0, firstRow_ = 0, endRow_ = 0, pass_ = 0, passes_ = 1;
    double fraction_ = 0;
    unsigned records_ = 0;
};

// Passes drawing on to a surface, charging each call to the budget first.
// When the play is one band of several, calls that cannot reach its rows
// are charged for their points only and not drawn.
class BudgetedSurface : public MetafileSurface {
public:
    BudgetedSurface(MetafileSurface& out, PlayBudget& budget) : out_(out), budget_(budget) {}
    ~BudgetedSurface() override;
    BudgetedSurface(const BudgetedSurface&) = delete;
    BudgetedSurface& operator=(const BudgetedSurface&) = delete;

    void fillPath(const Path& path, FillRule rule, const Brush& brush, Mix mix, const Background& bg) override;
    void strokePath(const Path& path, const Pen& pen, Mix mix, const Background& bg) override;
    double drawText(const TextRun& run) override;
    void drawBitmap(const Dib& dib, const SourceRect& src, const DestQuad& dest, const Blit& how) override;
    void gradientRect(Point topLeft, Point bottomRight, ColorValue from, ColorValue to, bool vertical) override;
    void gradientTriangle(const GradientVertex& a, const GradientVertex& b, const GradientVertex& c) override;
    void clip(ClipOp op, const Path& path, FillRule rule) override;
    void resetClip() override { out_.resetClip(); }
    void offsetClip(double dx, double dy) override { out_.offsetClip(dx, dy); }
    void save() override { out_.save(); }
    void restore() override { out_.restore(); }

    // The estimated cost of filling path, or of stroking it width pixels
    // wide, on the rows top..bottom (by default those the budget's play
    // draws); and of thin lines.
    double areaCost(const Path& path, double width) const;
    double areaCost(const Path& path, double width, double top, double bottom) const;
    double thinLineCost(const Path& path) const;
    // Pixels of the rectangle x0..x1, y0..y1 that the play draws.
    double visiblePixels(double x0, double y0, double x1, double y1) const;

    // Whether drawing between rows top and bottom, grown by margin, lies
    // wholly outside the band the play draws.
    bool missesBand(double top, double bottom, double margin) const;

private:
    template <class Draw>
    void run(double units, std::size_t points, Draw draw) {
        budget_.charge(units, points);
        draw();
        budget_.checkClock();
    }
    // Charges a fill between rows top and bottom and draws it: at once
    // when cheap, else in strips of rows (each clipped to its rows, the
    // same pixels), timed, so that no strip runs much past a tenth of a
    // second, the clock is read between them, and a fill that at the pace
    // seen cannot end in time is refused.
    void runInStrips(double units, std::size_t points, double top, double bottom, const std::function<void()>& draw);
    // Charges a call left out because it misses the band.
    void skip(std::size_t points) { budget_.chargeUnclocked(1, points); }
    // Holds the memory of a pattern brush's decoded tile while its bitmap
    // lives (the surface keeps the tile as long), and gives back that of
    // patterns gone since.
    void holdPattern(const std::shared_ptr<const Dib>& pattern);

    struct HeldPattern {
        std::weak_ptr<const Dib> dib;
        double bytes = 0;
    };
    MetafileSurface& out_;
    PlayBudget& budget_;
    std::vector<HeldPattern> patterns_;
};

// The most pixels a bitmap of a metafile is decoded at: larger sources are
// picked down to the size they are drawn at, or to this, whichever is larger.
inline constexpr double kMaxDecodedBitmapPixels = 4.0 * 1024 * 1024;

// The part of a pattern brush's bitmap decoded for filling a picture of
// width x height: the bitmap picked down evenly to kMaxDecodedBitmapPixels
// when larger (scale below 1), then no more of it than one tile, laid from
// the picture's top-left corner, can show on the picture.
struct PatternTile {
    double scale = 1;
    int width = 0, height = 0;  // pixels of the tile decoded, from its top-left corner
    double bytes() const { return 4.0 * width * height; }
};
PatternTile patternTile(const Dib& dib, int pictureWidth, int pictureHeight);

}  // namespace hueline::meta
