// SPDX-License-Identifier: GPL-3.0-or-later
// Shared by the readers' fuzz targets: reading every byte of a decoded
// picture, so that a row pointer or palette index that points outside the
// picture's memory is caught by the address checker at once.
#pragma once

#include <cstddef>
#include <cstdint>

#include "imaging/picture/errors.h"
#include "imaging/picture/progress.h"
#include "imaging/picture/work_bitmap.h"

namespace hueline::fuzzing {

inline void touch(const void* data, std::size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    unsigned sum = 0;
    for (std::size_t i = 0; i < size; ++i) sum += p[i];
    // Keeps the loop from being optimised away.
    static volatile unsigned sink;
    sink = sink + sum;
}

// Every stored byte of every row, then the picture as the commands see it
// (24 bits, through its palette or masks).
inline void touchPicture(const WorkBitmap& picture) {
    const std::size_t used = (std::size_t(picture.width()) * std::size_t(bitsPerPixel(picture.format())) + 7) / 8;
    for (int y = 0; y < picture.height(); ++y) touch(picture.constRow(y), used);
    const WorkBitmap flat = picture.to24();
    for (int y = 0; y < flat.height(); ++y) touch(flat.constRow(y), std::size_t(flat.width()) * 3);
}

// Reads with read() and touches the picture; a refused file (UserError) is
// the expected answer to a broken one, and a preview given up (Cancelled)
// to one too slow to decode.
template <class Read>
void touchUnlessRefused(Read read) {
    try {
        touchPicture(read());
    } catch (const UserError&) {
    } catch (const Cancelled&) {
    }
}

}  // namespace hueline::fuzzing
