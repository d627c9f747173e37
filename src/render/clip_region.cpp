// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/clip_region.h"

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

namespace hueline {

namespace {

// An edge on rows top .. bottom - 1, from x0 on row top, dx across for dy
// rows down; up counts +1 when the polygon runs down along it, else -1.
struct ScanEdge {
    int top, bottom;
    std::int64_t x0, dx, dy;
    int up;
    // The edge's pixel column on row y: x0 + dx * k / dy rounded up, k
    // rows below its top (what stepping it row by row arrives at).
    int xAt(int y) const {
        const std::int64_t n = dx * (std::int64_t(y) - top);
        return int(x0 + n / dy + (n % dy > 0 ? 1 : 0));
    }
};

std::vector<ScanEdge> edgesOf(const QPolygon& polygon) {
    std::vector<ScanEdge> edges;
    const qsizetype n = polygon.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QPoint prev = polygon[(i + n - 1) % n], cur = polygon[i];
        if (prev.y() == cur.y()) continue;  // level edges start and end no rows
        const bool down = prev.y() < cur.y();
        const QPoint top = down ? prev : cur, bottom = down ? cur : prev;
        edges.push_back({top.y(), bottom.y(), top.x(), std::int64_t(bottom.x()) - top.x(),
                         std::int64_t(bottom.y()) - top.y(), down ? 1 : -1});
    }
    std::sort(edges.begin(), edges.end(), [](const ScanEdge& a, const ScanEdge& b) { return a.top < b.top; });
    return edges;
}

// The runs of a row inside the polygon, clipped to left .. right, as
// their starts and ends in turn; runs that touch are one run.
void rowSpans(std::vector<std::pair<int, int>>& crossings, bool winding, int left, int right,
              std::vector<int>& spans) {
    std::sort(crossings.begin(), crossings.end());
    spans.clear();
    int count = 0;
    for (const auto& [x, up] : crossings) {
        const bool was = winding ? count != 0 : count % 2 != 0;
        count += winding ? up : 1;
        const bool is = winding ? count != 0 : count % 2 != 0;
        if (was == is) continue;
        const int at = std::clamp(x, left, right);
        // A run that starts where the last one ends continues it; one that
        // ends where it starts is none.
        if (!spans.empty() && spans.back() == at) spans.pop_back();
        else spans.push_back(at);
    }
}

}  // namespace

QRegion polygonRegion(const QPolygon& polygon, Qt::FillRule rule, const QRect& window) {
    const std::vector<ScanEdge> edges = edgesOf(polygon);
    std::vector<QRect> rects;
    std::vector<ScanEdge> active;
    std::vector<std::pair<int, int>> crossings;
    std::vector<int> spans, band;
    if (edges.empty()) return {};
    std::size_t next = 0;
    int bandTop = 0;
    const int left = window.left(), right = window.left() + window.width();
    auto closeBand = [&](int end) {
        for (std::size_t i = 0; i + 1 < band.size(); i += 2)
            rects.emplace_back(band[i], bandTop, band[i + 1] - band[i], end - bandTop);
    };
    for (int y = std::max(window.top(), edges.front().top); y < window.top() + window.height(); ++y) {
        std::erase_if(active, [y](const ScanEdge& e) { return e.bottom <= y; });
        for (; next < edges.size() && edges[next].top <= y; ++next)
            if (edges[next].bottom > y) active.push_back(edges[next]);
        if (active.empty() && next == edges.size() && band.empty()) break;
        crossings.clear();
        for (const ScanEdge& e : active) crossings.emplace_back(e.xAt(y), e.up);
        rowSpans(crossings, rule == Qt::WindingFill, left, right, spans);
        if (spans == band) continue;
        closeBand(y);
        band.swap(spans);
        bandTop = y;
    }
    closeBand(window.top() + window.height());
    QRegion region;
    if (!rects.empty()) region.setRects(rects.data(), int(rects.size()));
    return region;
}

}  // namespace hueline
