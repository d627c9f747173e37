// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/traced_path.h"

namespace hueline {

namespace {

class PathSink final : public OutlineSink {
public:
    explicit PathSink(QPainterPath& path) : path_(path) {}
    void moveTo(OutlinePoint p) override { path_.moveTo(p.x, p.y); }
    void lineTo(OutlinePoint p) override { path_.lineTo(p.x, p.y); }
    void curveTo(OutlinePoint c1, OutlinePoint c2, OutlinePoint end) override {
        path_.cubicTo(c1.x, c1.y, c2.x, c2.y, end.x, end.y);
    }
    void closeCurve() override { path_.closeSubpath(); }

private:
    QPainterPath& path_;
};

}  // namespace

QPainterPath tracedPath(const TracedOutlines& outlines) {
    QPainterPath path;
    // Holes run the other way round from the outlines around them.
    path.setFillRule(Qt::WindingFill);
    PathSink sink(path);
    outlines.draw(sink);
    return path;
}

}  // namespace hueline
