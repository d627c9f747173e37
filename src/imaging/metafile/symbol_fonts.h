// SPDX-License-Identifier: GPL-3.0-or-later
// Fonts that put signs and pictures where text fonts have letters. A
// metafile names such a font and gives the font's own codes; another font
// draws them only once they are turned into the characters they show.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>
#include <string>

namespace hueline::meta {

enum class SymbolFace : std::uint8_t {
    None, Symbol, MtExtra, Wingdings, Webdings, Wingdings2, Wingdings3,
    EuclidSymbol,  // the equation editor's Symbol: the same codes for the same signs
};

// A face name as a metafile stores it, up to the first control byte: names
// sometimes end in stray bytes where the terminating zero was left out.
std::string_view faceNameOf(std::string_view stored);

// A face name cut as faceNameOf cuts it, without the spaces names are
// sometimes padded with: the name as the user is told it.
std::string_view trimmedFaceName(std::string_view stored);
// The same in lower case, as a key for looking faces up.
std::string faceKey(std::string_view face);

// The symbol font a face name stands for, whatever its case and with any
// spaces or control bytes around it; None for text fonts.
SymbolFace symbolFaceOf(std::string_view face);

// The character a code of the font shows (0x20 to 0xFF, or the same plus
// 0xF000 as such fonts' codes often come); 0 when the font leaves the code
// empty.
char32_t symbolCharacter(SymbolFace face, char32_t code);

// A run of text set in a symbol font as the characters it shows. The text
// may hold the font's codes as they were read in code page 1252 or as
// private-use characters; characters that are neither are kept. Codes the
// font leaves empty become spaces. A character outside the basic plane
// takes two units; dx, when it holds one advance per unit of text, gets a
// zero advance for the second.
std::u16string symbolFaceText(SymbolFace face, std::u16string_view text, std::vector<int>* dx = nullptr);

}  // namespace hueline::meta
