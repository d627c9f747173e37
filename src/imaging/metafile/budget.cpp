// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/metafile/budget.h"

#include <algorithm>
#include <array>
#include <utility>
#include <cmath>
#include <numbers>

#include "imaging/picture/errors.h"
#include "imaging/picture/progress.h"

namespace hueline::meta {

namespace {

// Rows at which a painter's time per crossing starts to grow: past this
// many edges across one row it works through them in several passes.
constexpr double kCrowdedRow = 2850;
// Filling or copying this many pixels costs one unit.
constexpr double kPixelsPerUnit = 500;
constexpr double kCallUnits = 16;
constexpr auto kProgressEvery = std::chrono::milliseconds(100);
// Rows a call may touch past the points it is given: rounding to the
// pixel grid and smoothed edges.
constexpr double kEdgeRows = 3;
// Fills estimated at this many units or more are drawn in strips of rows:
// a painter may take many times longer over a crowded shape than its
// estimate says. The first strip is estimated at kFirstStripUnits, the
// others sized to take about kStripSeconds at the pace seen.
constexpr double kStripUnits = 20000;
constexpr double kFirstStripUnits = 10000;
constexpr double kStripSeconds = 0.1;
constexpr double kPaceSeenSeconds = 0.5;
// Small fonts are drawn larger than they ask for; text is placed as if
// its characters were at least this many pixels high.
constexpr double kSmallestEm = 24;

// The topmost and bottommost row of some points.
template <class Points>
std::pair<double, double> rowsOf(const Points& points) {
    double top = 1e300, bottom = -1e300;
    for (const Point& p : points) top = std::min(top, p.y), bottom = std::max(bottom, p.y);
    return {top, bottom};
}

// How many rows text may reach above or below its reference point: along
// its baseline its advances or a generous width per character and a few
// characters more, as far as the baseline slopes; across it a few
// characters for the glyphs, their marks and the alignment.
double textReach(const TextRun& run) {
    const double em = std::max({std::fabs(run.font.height), std::fabs(run.font.width), kSmallestEm});
    double length = 0;
    if (run.advances.empty())
        length = double(run.text.size()) * (3 * em + std::fabs(run.charExtra));
    else
        for (double a : run.advances) length += std::fabs(a);
    const double slope = run.angle == 0 ? 0 : std::fabs(std::sin(run.angle * std::numbers::pi / 180));
    return (length + 6 * em) * std::min(slope, 1.0) + 6 * em;
}

// Calls f(a, b) for every edge of path: each figure's lines, the control
// polygon of its curves (which holds the curve), and its closing edge.
template <class F>
void forEachEdge(const Path& path, F f) {
    std::size_t at = 0;
    Point cur{}, start{};
    bool open = false;
    for (Verb v : path.verbs) {
        const std::size_t n = v == Verb::Cubic ? 3 : v == Verb::Close ? 0 : 1;
        if (at + n > path.points.size()) return;
        if (v == Verb::Move) {
            if (open) f(cur, start);
            cur = start = path.points[at], open = true;
        } else if (v == Verb::Close) {
            if (open) f(cur, start);
            cur = start, open = false;
        } else {
            for (std::size_t i = 0; i < n; ++i) f(cur, path.points[at + i]), cur = path.points[at + i];
            open = true;
        }
        at += n;
    }
    if (open) f(cur, start);
}

}  // namespace

PlayBudget::PlayBudget(std::string name, std::chrono::milliseconds timeLimit)
    : name_(std::move(name)),
      limit_(timeLimit),
      deadline_(std::chrono::steady_clock::now() + timeLimit),
      nextReport_(std::chrono::steady_clock::now()),
      budget_(std::chrono::duration<double>(timeLimit).count() * kUnitsPerSecond) {}

void PlayBudget::beginPlay(int width, int height, int firstRow, int endRow, int pass, int passes) {
    width_ = std::max(width, 0), height_ = std::max(height, 0), firstRow_ = firstRow, endRow_ = std::max(firstRow, endRow);
    pass_ = pass, passes_ = std::max(passes, 1);
    filePoints_ = 0, fraction_ = 0;
}

std::string PlayBudget::limitText() const {
    const auto ms = limit_.count();
    return ms % 1000 == 0 ? std::to_string(ms / 1000) + " seconds" : std::to_string(ms) + " ms";
}

void PlayBudget::refuse(const std::string& why) const { throw FileError(name_, why); }

void PlayBudget::checkShape(std::uint64_t points) const {
    if (points > kMaxShapePoints)
        refuse("one of its shapes has " + std::to_string(points) + " points, more than the " +
               std::to_string(kMaxShapePoints) + " a shape may have");
}

void PlayBudget::charge(double units, std::size_t points) {
    chargeUnclocked(units, points);
    checkClock();
}

void PlayBudget::chargeUnclocked(double units, std::size_t points) {
    checkShape(points);
    filePoints_ += points;
    if (filePoints_ > kMaxFilePoints)
        refuse("its shapes have more than " + std::to_string(kMaxFilePoints) + " points together, the most a metafile may have");
    spent_ += std::isfinite(units) ? std::max(units, 0.0) : budget_;
    if (spent_ > budget_) refuse("drawing it would take longer than " + limitText() + ", the most a metafile may take");
}

void PlayBudget::holdMemory(double bytes) {
    if (memory_ + bytes > kMaxMemoryBytes)
        refuse("drawing it would take more than " + std::to_string(std::lround(kMaxMemoryBytes / (1 << 20))) +
               " MB of memory, the most a metafile may take");
    memory_ += bytes;
}

void PlayBudget::releaseMemory(double bytes) { memory_ = std::max(memory_ - bytes, 0.0); }

void PlayBudget::expectSeconds(double seconds) const {
    const auto left = std::chrono::duration<double>(deadline_ - std::chrono::steady_clock::now()).count();
    if (!(seconds <= left)) refuse("drawing it would take longer than " + limitText() + ", the most a metafile may take");
}

void PlayBudget::chargeSeconds(double seconds, double charged) {
    spent_ += std::max(seconds * kUnitsPerSecond - charged, 0.0);
    if (spent_ > budget_) refuse("drawing it takes longer than " + limitText() + ", the most a metafile may take");
}

void PlayBudget::atRecord(double fraction) {
    fraction_ = std::clamp(fraction, 0.0, 1.0);
    if (++records_ % 64 == 0) checkClock();
}

void PlayBudget::checkClock() {
    const auto now = std::chrono::steady_clock::now();
    if (now > deadline_) refuse("drawing it takes longer than " + limitText() + ", the most a metafile may take");
    if (now < nextReport_) return;
    nextReport_ = now + kProgressEvery;
    reportProgress((pass_ + fraction_) / passes_);
}

double BudgetedSurface::visiblePixels(double x0, double y0, double x1, double y1) const {
    const double w = std::clamp(std::max(x0, x1), 0.0, double(budget_.width())) -
                     std::clamp(std::min(x0, x1), 0.0, double(budget_.width()));
    const double top = budget_.firstRow(), bottom = budget_.endRow();
    const double h = std::clamp(std::max(y0, y1), top, bottom) - std::clamp(std::min(y0, y1), top, bottom);
    return std::isfinite(w * h) ? w * h : 0;
}

double BudgetedSurface::areaCost(const Path& path, double width) const {
    return areaCost(path, width, budget_.firstRow(), budget_.endRow());
}

double BudgetedSurface::areaCost(const Path& path, double width, double top, double bottom) const {
    const double grow = width > 1 && std::isfinite(width) ? width / 2 : 0;
    double crossings = 0, l = 1e300, t = 1e300, r = -1e300, b = -1e300;
    forEachEdge(path, [&](Point a, Point c) {
        const double lo = std::max(std::min(a.y, c.y) - grow, top), hi = std::min(std::max(a.y, c.y) + grow, bottom);
        // A wide line's outline has two sides.
        if (hi > lo) crossings += (grow > 0 ? 2 : 1) * (hi - lo + 1);
        l = std::min({l, a.x, c.x}), r = std::max({r, a.x, c.x}), t = std::min({t, a.y, c.y}), b = std::max({b, a.y, c.y});
    });
    if (crossings == 0) return kCallUnits;
    const double rows = std::max(1.0, std::min(b + grow, bottom) - std::max(t - grow, top));
    const double area = visiblePixels(l - grow, t - grow, r + grow, b + grow);
    return crossings * (1 + crossings / rows / kCrowdedRow) + area / kPixelsPerUnit + kCallUnits;
}

double BudgetedSurface::thinLineCost(const Path& path) const {
    const double most = double(budget_.width()) + budget_.endRow() - budget_.firstRow() + 2;
    double pixels = 0;
    forEachEdge(path, [&](Point a, Point c) { pixels += std::min(std::max(std::fabs(a.x - c.x), std::fabs(a.y - c.y)), most); });
    return pixels / 50 + kCallUnits;
}

bool BudgetedSurface::missesBand(double top, double bottom, double margin) const {
    if (!budget_.banded()) return false;
    // Anything not a number compares false, and is drawn.
    const double m = margin + kEdgeRows;
    return bottom + m < budget_.firstRow() || top - m >= budget_.endRow();
}

PatternTile patternTile(const Dib& dib, int pictureWidth, int pictureHeight) {
    const double w = std::max(dib.width, 0), h = std::abs(double(dib.height));
    PatternTile tile;
    if (w * h > kMaxDecodedBitmapPixels) tile.scale = std::sqrt(kMaxDecodedBitmapPixels / (w * h));
    tile.width = int(std::min(std::ceil(w * tile.scale), double(std::max(pictureWidth, 1))));
    tile.height = int(std::min(std::ceil(h * tile.scale), double(std::max(pictureHeight, 1))));
    return tile;
}

BudgetedSurface::~BudgetedSurface() {
    for (const HeldPattern& p : patterns_) budget_.releaseMemory(p.bytes);
}

void BudgetedSurface::holdPattern(const std::shared_ptr<const Dib>& pattern) {
    std::erase_if(patterns_, [&](const HeldPattern& p) {
        if (!p.dib.expired()) return false;
        budget_.releaseMemory(p.bytes);
        return true;
    });
    for (const HeldPattern& p : patterns_)
        if (p.dib.lock() == pattern) return;
    const double bytes = patternTile(*pattern, budget_.width(), budget_.height()).bytes();
    budget_.holdMemory(bytes);
    patterns_.push_back({pattern, bytes});
}

void BudgetedSurface::runInStrips(double units, std::size_t points, double top, double bottom,
                                  const std::function<void()>& draw) {
    budget_.charge(units, points);
    const int first = int(std::floor(std::max(top - kEdgeRows, double(budget_.firstRow()))));
    const int end = int(std::ceil(std::min(bottom + kEdgeRows, double(budget_.endRow()))));
    if (units < kStripUnits || end - first < 2) {
        draw();
        return budget_.checkClock();
    }
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    // The first strip is sized from the estimate, later ones from the
    // pace the strips before kept.
    int rows = std::max(1, int((end - first) * kFirstStripUnits / units));
    for (int y = first; y < end;) {
        const int n = std::min(rows, end - y);
        const auto t0 = Clock::now();
        Path strip;
        strip.moveTo({-double(kClipMargin), double(y)});
        strip.lineTo({double(budget_.width() + kClipMargin), double(y)});
        strip.lineTo({double(budget_.width() + kClipMargin), double(y + n)});
        strip.lineTo({-double(kClipMargin), double(y + n)});
        strip.close();
        out_.save();
        out_.clip(ClipOp::Intersect, strip, FillRule::Winding);
        draw();
        out_.restore();
        y += n;
        const double perRow = std::chrono::duration<double>(Clock::now() - t0).count() / n;
        budget_.checkClock();
        // The pace seen over a while says how long the rest will take.
        const double spent = std::chrono::duration<double>(Clock::now() - start).count();
        if (spent > kPaceSeenSeconds) budget_.expectSeconds(spent / (y - first) * (end - y));
        rows = int(std::clamp(kStripSeconds / std::max(perRow, 1e-9), 1.0, double(end - first)));
    }
    budget_.chargeSeconds(std::chrono::duration<double>(Clock::now() - start).count(), units);
}

void BudgetedSurface::fillPath(const Path& path, FillRule rule, const Brush& brush, Mix mix, const Background& bg) {
    if (const auto [top, bottom] = rowsOf(path.points); missesBand(top, bottom, 0)) return skip(path.points.size());
    if (brush.style == BrushStyle::Pattern && brush.pattern) holdPattern(brush.pattern);
    const auto [top, bottom] = rowsOf(path.points);
    runInStrips(areaCost(path, 0), path.points.size(), top, bottom, [&] { out_.fillPath(path, rule, brush, mix, bg); });
}

void BudgetedSurface::strokePath(const Path& path, const Pen& pen, Mix mix, const Background& bg) {
    // Wide lines reach half their width past the points, joins as far as
    // their miter limit allows.
    const double reach = pen.width > 1 ? pen.width * std::max(pen.miterLimit, 2.0) : 0;
    if (const auto [top, bottom] = rowsOf(path.points); missesBand(top, bottom, reach))
        return skip(path.points.size());
    if (!(pen.width > 1)) return run(thinLineCost(path), path.points.size(), [&] { out_.strokePath(path, pen, mix, bg); });
    const auto [top, bottom] = rowsOf(path.points);
    runInStrips(areaCost(path, pen.width), path.points.size(), top - reach, bottom + reach,
                [&] { out_.strokePath(path, pen, mix, bg); });
}

double BudgetedSurface::drawText(const TextRun& run) {
    // Text whose advance moves the current position is always laid out.
    if (!run.advanceUsed && missesBand(run.origin.y, run.origin.y, textReach(run))) {
        skip(0);
        return 0;
    }
    const double h = std::isfinite(run.font.height) ? run.font.height : 0;
    const double glyph = std::min(h * h, visiblePixels(0, budget_.firstRow(), budget_.width(), budget_.endRow()));
    double advance = 0;
    this->run(double(run.text.size()) * (20 + glyph / kPixelsPerUnit) + kCallUnits, 0,
              [&] { advance = out_.drawText(run); });
    return advance;
}

void BudgetedSurface::drawBitmap(const Dib& dib, const SourceRect& src, const DestQuad& dest, const Blit& how) {
    const Point a = dest.topLeft, b = dest.topRight, c = dest.bottomLeft;
    const double drawn = std::fabs((b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x));
    const double source = double(std::max(src.width, 0)) * double(std::max(src.height, 0));
    const double decoded = std::min(source, std::max(std::min(drawn, 1e12), kMaxDecodedBitmapPixels));
    const Point d{b.x + c.x - a.x, b.y + c.y - a.y};
    if (const auto [top, bottom] = rowsOf(std::array{a, b, c, d}); missesBand(top, bottom, 0)) return skip(0);
    const double shown = visiblePixels(std::min({a.x, b.x, c.x, d.x}), std::min({a.y, b.y, c.y, d.y}),
                                       std::max({a.x, b.x, c.x, d.x}), std::max({a.y, b.y, c.y, d.y}));
    run(decoded / 50 + shown / kPixelsPerUnit + kCallUnits, 0, [&] { out_.drawBitmap(dib, src, dest, how); });
}

void BudgetedSurface::gradientRect(Point a, Point b, ColorValue from, ColorValue to, bool vertical) {
    if (missesBand(std::min(a.y, b.y), std::max(a.y, b.y), 0)) return skip(2);
    run(visiblePixels(a.x, a.y, b.x, b.y) / 100 + kCallUnits, 2, [&] { out_.gradientRect(a, b, from, to, vertical); });
}

void BudgetedSurface::gradientTriangle(const GradientVertex& a, const GradientVertex& b, const GradientVertex& c) {
    if (const auto [top, bottom] = rowsOf(std::array{a.at, b.at, c.at}); missesBand(top, bottom, 0)) return skip(3);
    const double px = visiblePixels(std::min({a.at.x, b.at.x, c.at.x}), std::min({a.at.y, b.at.y, c.at.y}),
                                    std::max({a.at.x, b.at.x, c.at.x}), std::max({a.at.y, b.at.y, c.at.y}));
    run(px / 100 + kCallUnits, 3, [&] { out_.gradientTriangle(a, b, c); });
}

void BudgetedSurface::clip(ClipOp op, const Path& path, FillRule rule) {
    // The area is built over every row of the picture (and a margin), in
    // every band.
    const double margin = kClipMargin;
    run(areaCost(path, 0, -margin, budget_.height() + margin), path.points.size(), [&] { out_.clip(op, path, rule); });
}

}  // namespace hueline::meta
