// SPDX-License-Identifier: GPL-3.0-or-later
// The surface the metafile fuzz targets play onto: it draws nothing but
// reads everything it is given, and decodes every bitmap as the window's
// painter would, so that a bad count or offset in a record shows up as a
// memory fault.
#pragma once

#include <cmath>

#include "fuzz_support.h"
#include "imaging/codecs/bmp_codec.h"
#include "imaging/picture/errors.h"
#include "imaging/metafile/surface.h"

namespace hueline::fuzzing {

class ReadingSurface : public meta::MetafileSurface {
public:
    void fillPath(const meta::Path& path, meta::FillRule, const meta::Brush& brush, meta::Mix,
                  const meta::Background&) override {
        readPath(path);
        if (brush.pattern) readDib(*brush.pattern);
    }
    void strokePath(const meta::Path& path, const meta::Pen& pen, meta::Mix, const meta::Background&) override {
        readPath(path);
        sum_ += pen.width;
    }
    double drawText(const meta::TextRun& run) override {
        touch(run.text.data(), run.text.size() * sizeof(char16_t));
        touch(run.font.face.data(), run.font.face.size());
        for (double a : run.advances) sum_ += a;
        return 8.0 * double(run.text.size());
    }
    void drawBitmap(const meta::Dib& dib, const meta::SourceRect& src, const meta::DestQuad& dest,
                    const meta::Blit&) override {
        readDib(dib);
        sum_ += src.x + src.y + src.width + src.height + dest.topLeft.x + dest.bottomLeft.y;
    }
    void gradientRect(meta::Point a, meta::Point b, ColorValue, ColorValue, bool) override { sum_ += a.x + b.y; }
    void gradientTriangle(const meta::GradientVertex& a, const meta::GradientVertex& b,
                          const meta::GradientVertex& c) override {
        sum_ += a.at.x + b.at.y + c.at.x;
    }
    void clip(meta::ClipOp, const meta::Path& path, meta::FillRule) override { readPath(path); }
    void resetClip() override {}
    void save() override { ++depth_; }
    void restore() override { --depth_; }

private:
    void readPath(const meta::Path& path) {
        // Every verb must have its points: Move and Line one, Cubic three.
        std::size_t need = 0;
        for (meta::Verb v : path.verbs) need += v == meta::Verb::Cubic ? 3 : v == meta::Verb::Close ? 0 : 1;
        if (need != path.points.size()) __builtin_trap();
        for (const meta::Point& p : path.points) sum_ += p.x + p.y;
    }
    void readDib(const meta::Dib& dib) {
        touch(dib.bytes.data(), dib.bytes.size());
        try {
            touchPicture(decodeDib(dib.bytes, "fuzz.dib"));
        } catch (const UserError&) {
        }
    }

    double sum_ = 0;
    int depth_ = 0;
};

}  // namespace hueline::fuzzing
