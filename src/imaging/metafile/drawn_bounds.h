// SPDX-License-Identifier: GPL-3.0-or-later
// A surface that draws nothing and keeps the box around everything it is
// asked to draw: the size of a picture that does not give its own.
#pragma once

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <span>

#include "imaging/metafile/surface.h"

namespace hueline::meta {

class BoundsSurface : public MetafileSurface {
public:
    bool empty() const { return !(right_ >= left_ && bottom_ >= top_); }
    double left() const { return left_; }
    double top() const { return top_; }
    double right() const { return right_; }
    double bottom() const { return bottom_; }

    void fillPath(const Path& path, FillRule, const Brush&, Mix, const Background&) override { take(path.points, 0); }
    void strokePath(const Path& path, const Pen& pen, Mix, const Background&) override {
        // A one-pixel line covers the pixels of its points; a wider one half its width around them.
        take(path.points, pen.width > 1 ? pen.width / 2 : 0);
    }
    // The text's cell: a square of its height for every character, along
    // the baseline, from its reference point.
    double drawText(const TextRun& run) override;
    void drawBitmap(const Dib&, const SourceRect&, const DestQuad& d, const Blit&) override {
        const Point fourth{d.topRight.x + d.bottomLeft.x - d.topLeft.x, d.topRight.y + d.bottomLeft.y - d.topLeft.y};
        take({d.topLeft, d.topRight, d.bottomLeft, fourth}, 0);
    }
    void gradientRect(Point a, Point b, ColorValue, ColorValue, bool) override { take({a, b}, 0); }
    void gradientTriangle(const GradientVertex& a, const GradientVertex& b, const GradientVertex& c) override {
        take({a.at, b.at, c.at}, 0);
    }
    // Clipping is left out: what a picture clips away is still meant to be
    // inside it.
    void clip(ClipOp, const Path&, FillRule) override {}
    void resetClip() override {}
    void save() override {}
    void restore() override {}

private:
    void take(std::span<const Point> pts, double margin);
    void take(std::initializer_list<Point> pts, double margin) { take(std::span(pts.begin(), pts.size()), margin); }

    double left_ = 1, top_ = 1, right_ = 0, bottom_ = 0;
};

}  // namespace hueline::meta
