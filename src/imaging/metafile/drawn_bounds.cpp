// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/metafile/drawn_bounds.h"

namespace hueline::meta {

void BoundsSurface::take(std::span<const Point> pts, double margin) {
    for (const Point& p : pts) {
        // Points past any picture a file could mean are not taken.
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || std::fabs(p.x) > 1e7 || std::fabs(p.y) > 1e7) continue;
        if (empty()) left_ = right_ = p.x, top_ = bottom_ = p.y;
        left_ = std::min(left_, p.x - margin), right_ = std::max(right_, p.x + margin);
        top_ = std::min(top_, p.y - margin), bottom_ = std::max(bottom_, p.y + margin);
    }
}

double BoundsSurface::drawText(const TextRun& run) {
    const double h = std::fabs(run.font.height);
    const double along = h * double(run.text.size());
    const double a = run.angle * 3.14159265358979323846 / 180;
    const double ux = std::cos(a), uy = -std::sin(a);  // along the baseline
    const double vx = -uy, vy = ux;                     // down the cell
    double x = run.origin.x, y = run.origin.y;
    if ((run.align & 6) == kAlignCenter) x -= ux * along / 2, y -= uy * along / 2;
    else if ((run.align & 6) == kAlignRight) x -= ux * along, y -= uy * along;
    if ((run.align & 24) != kAlignTop) x -= vx * h, y -= vy * h;
    take({{x, y}, {x + ux * along, y + uy * along}, {x + vx * h, y + vy * h},
          {x + ux * along + vx * h, y + uy * along + vy * h}},
         0);
    return along;
}

}  // namespace hueline::meta
