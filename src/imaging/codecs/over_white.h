// SPDX-License-Identifier: GPL-3.0-or-later
// How every reader shows a pixel that is not fully opaque: laid over white,
// the program having no use for alpha.
#pragma once

#include <cstdint>

namespace hueline {

// A colour channel of a pixel with opacity alpha (both 0..255, the
// channel not premultiplied) laid over white, rounded.
inline std::uint8_t overWhite(unsigned channel, unsigned alpha) {
    return std::uint8_t((channel * alpha + 255 * (255 - alpha) + 127) / 255);
}

}  // namespace hueline
