// SPDX-License-Identifier: GPL-3.0-or-later
// The signs of the Office picture fonts "Wingdings 2" and "Wingdings 3"
// as Unicode characters, code by code from 0x20 to 0xFF (0: the font
// leaves the code empty). symbol_fonts.cpp reads them.
#pragma once

#include <array>

namespace hueline::meta {

using SignTable = std::array<char32_t, 224>;  // codes 0x20 to 0xFF

// Pens, pointing hands, check boxes, encircled numbers, stars and the
// geometric shapes Unicode took in from this font.
extern const SignTable kWingdings2Signs;
// Arrows and arrowheads of every kind, triangles, keyboard keys.
extern const SignTable kWingdings3Signs;

}  // namespace hueline::meta
