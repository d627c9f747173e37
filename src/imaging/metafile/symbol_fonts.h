// Fonts whose letters are signs: their codes as Unicode characters, so that
// text set in them is drawn with the signs it shows, whatever font draws it.
#pragma once

#include <cstdint>
#include <string>

namespace hueline::meta {

enum class SymbolFont : std::uint8_t { None, Symbol, Wingdings };

// The symbol font a face name stands for, whatever its case.
SymbolFont symbolFontOf(const std::string& face);
// The character code (a byte) of such a font as Unicode. Signs of
// Wingdings that have no character in the basic plane come out as the
// nearest one that does (a plain arrow for a heavy one), or as a dotted
// square.
char16_t symbolFontChar(SymbolFont font, std::uint8_t code);

}  // namespace hueline::meta
