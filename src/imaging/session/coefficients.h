// SPDX-License-Identifier: GPL-3.0-or-later
// Reading the coefficient boxes of the fringe dialogs.
//
// A text converts when it is: optional leading blanks, an optional sign,
// then decimal digits, or a hexadecimal number introduced by "$" or "0x";
// the value fits a 32-bit signed integer and nothing follows it. Anything
// else raises UserError with the message "'<text>' is not a valid integer
// value".
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "imaging/ops/convolution.h"

namespace hueline {

std::int32_t parseCoefficient(std::string_view text);

// Converts the nine texts in Edit1 .. Edit9 order; the first that fails
// stops the conversion with its error.
Kernel parseKernel(const std::array<std::string, 9>& texts);

// The texts a kernel is shown with ("-1", "0", "2", ...).
std::array<std::string, 9> kernelTexts(const Kernel& k);

}  // namespace hueline
