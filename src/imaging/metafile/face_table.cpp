// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/metafile/face_table.h"

#include <algorithm>
#include <array>
#include <utility>

namespace hueline::meta {

namespace {

constexpr std::string_view kSans = "DejaVu Sans", kSerif = "DejaVu Serif", kMono = "DejaVu Sans Mono";

// Keys in lower case, sorted. The Liberation fonts (fonts-liberation2)
// have the metrics of Arial, Times New Roman and Courier New, which the
// older faces of the same names share; Carlito and Caladea
// (fonts-crosextra-carlito, fonts-crosextra-caladea) those of Calibri and
// Cambria. The rest are common faces of a known kind.
constexpr std::array<std::pair<std::string_view, std::string_view>, 28> kFaces = {{
    {"arial", "Liberation Sans"},
    {"arial narrow", kSans},
    {"book antiqua", kSerif},
    {"calibri", "Carlito"},
    {"cambria", "Caladea"},
    {"century schoolbook", kSerif},
    {"consolas", kMono},
    {"courier", "Liberation Mono"},
    {"courier new", "Liberation Mono"},
    {"fixedsys", kMono},
    {"garamond", kSerif},
    {"georgia", kSerif},
    {"helvetica", "Liberation Sans"},
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
    {"times", "Liberation Serif"},
    {"times new roman", "Liberation Serif"},
    {"tms rmn", kSerif},
    {"trebuchet ms", kSans},
    {"verdana", kSans},
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
    case 1: return kSerif;  // roman
    case 3: return kMono;   // modern
    default: return (pitchAndFamily & 3) == 1 ? kMono : kSans;  // fixed pitch
    }
}

}  // namespace hueline::meta
