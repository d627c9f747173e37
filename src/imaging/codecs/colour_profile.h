// SPDX-License-Identifier: GPL-3.0-or-later
// Bringing a picture that carries an ICC colour profile into sRGB, the
// colours the screen shows and every command's gray levels and thresholds
// assume. The readers hand over the profile they find in the file (JPEG
// APP2, PNG iCCP, WebP ICCP, TIFF, HEIF); this unit decides what it means.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "imaging/picture/work_bitmap.h"

namespace hueline {

// Whether the profile describes sRGB: an RGB matrix-and-curves profile
// whose colorants and tone curves are those of sRGB to well within one
// step of an 8-bit value. False for anything else, and for a profile that
// cannot be read.
bool isSrgbProfile(std::span<const std::uint8_t> profile);

// Converts the picture (24-bit, or 8-bit through its palette) from the
// colours the profile describes into sRGB, relative colorimetric with
// black-point compensation, through lcms2's optimised 8-bit transforms;
// the transform is made once per profile and kept for the next picture.
// No profile, an sRGB profile or a CMYK profile (the readers have already
// turned the inks into RGB) leave every byte as it is. A profile that
// cannot be read, or one for other colours than the picture holds, is
// ignored as well, and the result is then what the user is told, naming
// the file; otherwise it is empty.
std::string convertToSrgb(WorkBitmap& picture, std::span<const std::uint8_t> profile, const std::string& name);

// A matrix-and-curves profile of the given chromaticities (x, y of the
// white point and of the red, green and blue primaries) with sRGB's tone
// curves: the profile of a file that names its colours by primaries
// rather than by a profile (HEIF and AVIF files with Display P3 or
// BT.2020 primaries), for convertToSrgb. Empty when lcms2 cannot make it.
struct Chromaticities {
    double whiteX, whiteY, redX, redY, greenX, greenY, blueX, blueY;
};
std::vector<std::uint8_t> profileForPrimaries(const Chromaticities& c);

// Adds a sentence, on a line of its own, to what the user is told about an
// opened picture (the readers' damage and warnings). Does nothing without
// a place to put it.
void addWarning(std::string* warnings, const std::string& sentence);

}  // namespace hueline
