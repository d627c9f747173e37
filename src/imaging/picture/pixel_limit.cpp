// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/picture/pixel_limit.h"

#include "imaging/picture/errors.h"
#include "imaging/picture/work_bitmap.h"

namespace hueline {

bool tooManyPixels(std::int64_t width, std::int64_t height) {
    // Either side alone may already pass the limit; the product of two
    // such sides would overflow.
    return width > kMaxPixels || height > kMaxPixels || width * height > kMaxPixels;
}

std::string tooManyPixelsReason(std::int64_t width, std::int64_t height, const char* what) {
    return std::string(what) + " is larger than 256 megapixels (" + std::to_string(width) + " x " +
           std::to_string(height) + ")";
}

void refuseTooManyPixels(std::int64_t width, std::int64_t height, const std::string& name, const char* what) {
    if (tooManyPixels(width, height)) throw FileError(name, tooManyPixelsReason(width, height, what));
}

}  // namespace hueline
