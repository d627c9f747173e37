// SPDX-License-Identifier: GPL-3.0-or-later
// Little-endian fields of the bitmap and icon headers, read from bytes the
// caller has already checked are there.
#pragma once

#include <cstdint>

namespace hueline {

inline std::uint32_t le16(const std::uint8_t* p) { return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8; }
inline std::uint32_t le32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

}  // namespace hueline
