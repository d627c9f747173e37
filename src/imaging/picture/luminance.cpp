// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/picture/luminance.h"

#include <bit>
#include <utility>

namespace hueline {
namespace {

using u128 = unsigned __int128;

// A non-negative extended-precision number: significand * 2^exponent, the
// significand either 0 or normalised with its top bit set.
struct Extended {
    std::uint64_t significand = 0;
    int exponent = 0;
};

int bitLength(u128 v) {
    const std::uint64_t hi = std::uint64_t(v >> 64);
    return hi ? 128 - std::countl_zero(hi) : 64 - std::countl_zero(std::uint64_t(v));
}

// Rounds value * 2^exponent to a 64-bit significand, to nearest, ties to
// even, as the x87 unit does at extended precision.
Extended round64(u128 value, int exponent) {
    if (value == 0) return {};
    const int length = bitLength(value);
    if (length <= 64) {
        const int shift = 64 - length;
        return {std::uint64_t(value << shift), exponent - shift};
    }
    const int shift = length - 64;
    u128 kept = value >> shift;
    const u128 rest = value & ((u128(1) << shift) - 1);
    const u128 half = u128(1) << (shift - 1);
    if (rest > half || (rest == half && (kept & 1))) ++kept;
    if (kept >> 64) return {std::uint64_t(1) << 63, exponent + shift + 1};
    return {std::uint64_t(kept), exponent + shift};
}

Extended multiply(Extended c, int k) { return round64(u128(c.significand) * unsigned(k), c.exponent); }

Extended add(Extended a, Extended b) {
    if (a.significand == 0) return b;
    if (b.significand == 0) return a;
    if (a.exponent < b.exponent) std::swap(a, b);
    // a has the larger exponent; line both up on b's.
    int gap = a.exponent - b.exponent;
    u128 small = b.significand;
    int exponent = b.exponent;
    if (gap > 63) {
        // Only a sticky bit of the smaller operand can matter now.
        const int drop = gap - 63;
        const bool sticky = drop >= 64 ? small != 0 : (small & ((u128(1) << drop) - 1)) != 0;
        small = drop >= 64 ? 0 : small >> drop;
        small |= sticky ? 1 : 0;
        exponent += drop;
        gap = 63;
    }
    return round64((u128(a.significand) << gap) + small, exponent);
}

// Rounds an extended number to an integer, halves to even.
int roundToInteger(Extended v) {
    if (v.significand == 0) return 0;
    if (v.exponent >= 0) return int(v.significand << v.exponent);
    const int k = -v.exponent;
    if (k > 65) return 0;
    const u128 m = v.significand;
    const u128 whole = m >> k;
    const u128 rest = m & ((u128(1) << k) - 1);
    const u128 half = u128(1) << (k - 1);
    if (rest > half || (rest == half && (whole & 1))) return int(whole + 1);
    return int(whole);
}

struct Coefficients {
    Extended red, green, blue;
};

// The extended numbers nearest to 0.3, 0.59, 0.11 and to 0.299, 0.587.
// The tests check them against the compiler's long double constants.
constexpr Extended k0_3{0x999999999999999aULL, -65};
constexpr Extended k0_59{0x970a3d70a3d70a3dULL, -64};
constexpr Extended k0_11{0xe147ae147ae147aeULL, -67};
constexpr Extended k0_299{0x9916872b020c49baULL, -65};
constexpr Extended k0_587{0x9645a1cac083126fULL, -64};

constexpr Coefficients coefficientsOf(LuminanceForm f) {
    return f == LuminanceForm::Gray ? Coefficients{k0_3, k0_59, k0_11} : Coefficients{k0_299, k0_587, k0_11};
}

Extended extendedSum(LuminanceForm form, int red, int green, int blue) {
    const Coefficients c = coefficientsOf(form);
    return add(add(multiply(c.red, red), multiply(c.green, green)), multiply(c.blue, blue));
}

}  // namespace

int extendedLuminance(LuminanceForm form, int red, int green, int blue) {
    return roundToInteger(extendedSum(form, red, green, blue));
}

bool tieRoundsUp(LuminanceForm form, int red, int green, int blue) {
    const LuminanceWeights w = weightsOf(form);
    const int n = (w.red * red + w.green * green + w.blue * blue) / w.scale;
    return extendedLuminance(form, red, green, blue) == n + 1;
}

}  // namespace hueline
