// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/picture/picture_kind.h"

#include <cctype>
#include <string>

namespace hueline {

namespace {

std::string upperCased(std::string_view name) {
    std::string upper(name);
    for (char& c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));
    return upper;
}

bool endsWith(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

PictureKind kindFromName(std::string_view name) {
    const std::string upper = upperCased(name);
    if (endsWith(upper, "JPEG")) return PictureKind::Jpeg;
    if (endsWith(upper, "BMP")) return PictureKind::Bmp;
    if (endsWith(upper, "JPG")) return PictureKind::Jpeg;
    if (endsWith(upper, "ICO")) return PictureKind::Icon;
    if (endsWith(upper, "WMF")) return PictureKind::Wmf;
    if (endsWith(upper, "EMF")) return PictureKind::Emf;
    if (endsWith(upper, "PNG")) return PictureKind::Png;
    return PictureKind::Unknown;
}

PictureKind savedKindFromName(std::string_view name) {
    const std::string upper = upperCased(name);
    if (endsWith(upper, ".JPG") || endsWith(upper, ".JPEG")) return PictureKind::Jpeg;
    if (endsWith(upper, ".BMP")) return PictureKind::Bmp;
    if (endsWith(upper, ".PNG")) return PictureKind::Png;
    if (endsWith(upper, ".SVG")) return PictureKind::Svg;
    if (endsWith(upper, ".PDF")) return PictureKind::Pdf;
    return PictureKind::Unknown;
}

std::string_view savedExtension(PictureKind kind) {
    switch (kind) {
    case PictureKind::Jpeg: return ".jpg";
    case PictureKind::Bmp: return ".bmp";
    case PictureKind::Png: return ".png";
    case PictureKind::Svg: return ".svg";
    case PictureKind::Pdf: return ".pdf";
    default: return {};
    }
}

}  // namespace hueline
