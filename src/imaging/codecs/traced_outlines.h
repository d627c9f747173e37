// SPDX-License-Identifier: GPL-3.0-or-later
// The dark pixels of a picture traced into filled curves, through
// libpotrace with its default settings (specks of up to 2 pixels dropped,
// corner threshold 1.0, curves joined within a tolerance of 0.2 pixel).
//
// A pixel is dark when its threshold luminance is below 128, the same test
// as the fixed B&W threshold: in a black-and-white picture that is every
// black pixel. The curves are in picture coordinates: x to the right, y
// down, pixel (x, y) covering the square from (x, y) to (x + 1, y + 1).
#pragma once

#include <cstdint>
#include <memory>

#include "imaging/picture/errors.h"
#include "imaging/picture/work_bitmap.h"

struct potrace_state_s;

namespace hueline {

// The tracer holds about 120 bytes for each pixel side of outline until
// it is done: a drawing's lines cost little, but noise or a fine dither
// has an outline around nearly every pixel. Beyond this many sides
// (about 2 GB) a picture is refused before tracing starts.
inline constexpr std::uint64_t kMaxTracedEdges = 16'000'000;

class TooDetailedToTrace : public UserError {
public:
    using UserError::UserError;
};

struct OutlinePoint {
    double x = 0, y = 0;
};

// Receives traced curves. A shape is one outline with the holes cut into
// it; it is filled by the non-zero rule (holes run the other way round).
class OutlineSink {
public:
    virtual ~OutlineSink() = default;
    virtual void beginShape() {}
    virtual void moveTo(OutlinePoint p) = 0;
    virtual void lineTo(OutlinePoint p) = 0;
    virtual void curveTo(OutlinePoint c1, OutlinePoint c2, OutlinePoint end) = 0;
    virtual void closeCurve() = 0;
    virtual void endShape() {}
};

class TracedOutlines {
public:
    // Traces the picture (any size, an empty one included). Throws
    // TooDetailedToTrace for a picture whose outlines are longer than
    // kMaxTracedEdges, std::bad_alloc when the tracer runs out of memory.
    explicit TracedOutlines(const WorkBitmap& picture);

    int width() const { return width_; }
    int height() const { return height_; }
    // True when no dark area was left to fill.
    bool empty() const;

    // Hands every shape to the sink, outer outlines before the islands
    // inside their holes.
    void draw(OutlineSink& sink) const;

private:
    struct StateFree {
        void operator()(potrace_state_s* state) const;
    };
    std::unique_ptr<potrace_state_s, StateFree> state_;
    int width_ = 0;
    int height_ = 0;
};

// True when every pixel of the picture is pure black or pure white.
bool isBlackAndWhite(const WorkBitmap& picture);

}  // namespace hueline
