// SPDX-License-Identifier: GPL-3.0-or-later
// The installed families the faces metafiles name are drawn with.
//
// The faces documents use most have metric-compatible fonts in Debian:
// their letters are as wide and as tall as the author's, so that lines
// break and labels fit where the author saw them. Other common faces are
// drawn with the font nearest them in width, faces the table does not
// know with DejaVu of their kind, and the signs of the symbol fonts
// (symbol_fonts.h) with Symbola, which has them nearly all. The package
// depends on the font packages named here.
#pragma once

#include <string_view>

namespace hueline::meta {

// fonts-symbola: the signs of Symbol, MT Extra and the Wingdings and
// Webdings families, in weights that match the fonts they stand for.
inline constexpr std::string_view kSignFamily = "Symbola";
// fonts-dejavu-core: what draws a face when nothing better is installed.
inline constexpr std::string_view kLastResortFamily = "DejaVu Sans";

// The family the table gives a face name (as faceKey makes it); empty for
// a face the table does not know. Symbol fonts are not in it.
std::string_view tableFamilyOf(std::string_view key);

// The DejaVu family of the kind a font record's pitch-and-family byte
// asks for: roman gives the serif, modern or fixed pitch the monospaced
// one, anything else the sans-serif.
std::string_view familyOfKind(int pitchAndFamily);

}  // namespace hueline::meta
