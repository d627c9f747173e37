// SPDX-License-Identifier: GPL-3.0-or-later
// The one limit on the size of a picture that any reader opens.
#pragma once

#include <cstdint>
#include <string>

namespace hueline {

// True when a picture of width x height (neither negative) holds more
// than kMaxPixels pixels.
bool tooManyPixels(std::int64_t width, std::int64_t height);

// The reason a reader gives for such a picture: "<what> is larger than
// 256 megapixels (W x H)".
std::string tooManyPixelsReason(std::int64_t width, std::int64_t height, const char* what = "the picture");

// Throws FileError naming the file when tooManyPixels: "<what> is larger
// than 256 megapixels (W x H)".
void refuseTooManyPixels(std::int64_t width, std::int64_t height, const std::string& name,
                         const char* what = "the picture");

}  // namespace hueline
