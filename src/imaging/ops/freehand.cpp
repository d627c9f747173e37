// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/ops/freehand.h"

#include <algorithm>
#include <cstdint>

namespace hueline {

void stamp(WorkBitmap& picture, int x, int y, StampTool tool, ColorValue colour) {
    // 64-bit coordinates: a pointer position near the ends of the int range
    // must not wrap around into the picture.
    const std::int64_t cx = std::int64_t(x) + kStampRadius, cy = std::int64_t(y) + kStampRadius;
    const std::int64_t width = picture.width(), height = picture.height();
    if (cx + kStampRadius < 0 || cx - kStampRadius >= width || cy + kStampRadius < 0 || cy - kStampRadius >= height)
        return;
    const ColorValue paint = tool == StampTool::Rubber ? kWhite : colour;

    // Column by column from the left, each from the top, through the canvas
    // so that the picture keeps its own pixel format. The brush judges each
    // pixel by the colour it has when it is reached.
    for (std::int64_t px = cx - kStampRadius; px <= cx + kStampRadius; ++px) {
        if (px < 0 || px >= width) continue;
        const int h = kStampHalfHeights[std::size_t(px < cx ? cx - px : px - cx)];
        const std::int64_t top = std::max<std::int64_t>(cy - h, 0);
        const std::int64_t bottom = std::min<std::int64_t>(cy + h, height - 1);
        for (std::int64_t py = top; py <= bottom; ++py) {
            if (tool == StampTool::Brush && picture.pixel(int(px), int(py)) == kWhite) continue;
            picture.setPixel(int(px), int(py), paint);
        }
    }
}

}  // namespace hueline
