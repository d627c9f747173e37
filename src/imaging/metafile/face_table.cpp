// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/metafile/face_table.h"

#include <algorithm>
#include <array>
#include <utility>

namespace hueline::meta {

namespace {

constexpr std::string_view kSans = "Liberation Sans", kSerif = "Liberation Serif", kMono = "Liberation Mono";

// Keys in lower case, sorted. The Liberation fonts (fonts-liberation2)
// have the metrics of Arial, Times New Roman and Courier New, which the
// older faces of the same names share; Carlito and Caladea
// (fonts-crosextra-carlito, fonts-crosextra-caladea) those of Calibri and
// Cambria. Other common faces go to the font nearest them in width: the
// sans-serif faces of dialogs and icon captions are about as wide as
// Arial (DejaVu Sans would push a centred caption out of its picture),
// Verdana is as wide as DejaVu Sans, fixed-pitch faces all advance about
// 0.6 of their height.
constexpr std::array<std::pair<std::string_view, std::string_view>, 28> kFaces = {{
    {"arial", kSans},
    {"arial narrow", kSans},
    {"book antiqua", kSerif},
    {"calibri", "Carlito"},
    {"cambria", "Caladea"},
    {"century schoolbook", kSerif},
    {"consolas", kMono},
    {"courier", kMono},
    {"courier new", kMono},
    {"fixedsys", kMono},
    {"garamond", kSerif},
    {"georgia", "DejaVu Serif"},
    {"helvetica", kSans},
    {"lucida console", kMono},
    {"microsoft sans serif", kSans},
    {"ms sans serif", kSans},
    {"ms serif", kSerif},
    {"ms shell dlg", kSans},
    {"palatino linotype", kSerif},
    {"segoe ui", kSans},
    {"system", kSans},
    {"tahoma", kSans},
    {"terminal", kMono},
    {"times", kSerif},
    {"times new roman", kSerif},
    {"tms rmn", kSerif},
    {"trebuchet ms", kSans},
    {"verdana", "DejaVu Sans"},
}};
static_assert(std::is_sorted(kFaces.begin(), kFaces.end()), "looked up by halving");

}  // namespace

std::string_view tableFamilyOf(std::string_view key) {
    const auto at = std::lower_bound(kFaces.begin(), kFaces.end(), key,
                                     [](const auto& entry, std::string_view k) { return entry.first < k; });
    return at != kFaces.end() && at->first == key ? at->second : std::string_view();
}

std::string_view familyOfKind(int pitchAndFamily) {
    switch (pitchAndFamily >> 4 & 7) {
    case 1: return "DejaVu Serif";      // roman
    case 3: return "DejaVu Sans Mono";  // modern
    default: return (pitchAndFamily & 3) == 1 ? "DejaVu Sans Mono" : "DejaVu Sans";  // fixed pitch
    }
}

}  // namespace hueline::meta
