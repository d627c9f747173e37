// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures the operation tests start from.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <random>

#include "imaging/picture/work_bitmap.h"

namespace hueline::test_support {

// A picture of one colour, made through setPixel and then converted to the
// given format.
inline WorkBitmap filled(int w, int h, ColorValue c, PixelFormat f = PixelFormat::Bits24) {
    WorkBitmap p(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) p.setPixel(x, y, c);
    if (f != PixelFormat::Bits24) p.setPixelFormat(f);
    return p;
}

// A 24-bit picture of random bytes, reproducible from the seed. With fewer
// levels every byte is one of that many evenly spaced values (many ties for
// the rank filters).
inline WorkBitmap randomPicture(int w, int h, std::uint32_t seed, int levels = 256) {
    std::mt19937 rng(seed);
    WorkBitmap p(w, h);
    for (int y = 0; y < h; ++y) {
        std::uint8_t* r = p.row(y);
        for (int i = 0; i < 3 * w; ++i) r[i] = std::uint8_t(rng() % unsigned(levels) * (255 / (levels - 1)));
    }
    return p;
}

// The largest difference of any channel of any pixel of two pictures, as
// 24-bit pictures; 256 when their sizes differ.
inline int largestDifference(const WorkBitmap& a, const WorkBitmap& b) {
    const WorkBitmap x = a.to24(), y = b.to24();
    if (x.width() != y.width() || x.height() != y.height()) return 256;
    int most = 0;
    for (int r = 0; r < x.height(); ++r)
        for (int i = 0; i < x.width() * 3; ++i) most = std::max(most, std::abs(x.constRow(r)[i] - y.constRow(r)[i]));
    return most;
}

}  // namespace hueline::test_support
