// SPDX-License-Identifier: GPL-3.0-or-later
// Reading the nine coefficient boxes of the fringe dialogs.
#include "imaging/session/coefficients.h"

#include <cstdint>
#include <limits>

#include "imaging/picture/errors.h"

namespace hueline {
namespace {

[[noreturn]] void notAnInteger(std::string_view text) {
    throw UserError("'" + std::string(text) + "' is not a valid integer value");
}

int digitValue(char c, int base) {
    int v = -1;
    if (c >= '0' && c <= '9') v = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f') v = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F') v = c - 'A' + 10;
    return v < base ? v : -1;
}

}  // namespace

std::int32_t parseCoefficient(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    int base = 10;
    if (i < text.size() && text[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i == text.size()) notAnInteger(text);  // no digits at all

    // The magnitude may reach 2^31 for the most negative value; stop as soon
    // as it passes that, so that long runs of digits cannot overflow.
    constexpr std::int64_t limit = std::int64_t(std::numeric_limits<std::int32_t>::max()) + 1;
    std::int64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const int d = digitValue(text[i], base);
        if (d < 0) notAnInteger(text);
        magnitude = magnitude * base + d;
        if (magnitude > limit) notAnInteger(text);
    }
    if (!negative && magnitude == limit) notAnInteger(text);
    return std::int32_t(negative ? -magnitude : magnitude);
}

Kernel parseKernel(const std::array<std::string, 9>& texts) {
    Kernel k{};
    for (std::size_t n = 0; n < texts.size(); ++n) k[n] = parseCoefficient(texts[n]);
    return k;
}

std::array<std::string, 9> kernelTexts(const Kernel& k) {
    std::array<std::string, 9> texts;
    for (std::size_t n = 0; n < k.size(); ++n) texts[n] = std::to_string(k[n]);
    return texts;
}

}  // namespace hueline
