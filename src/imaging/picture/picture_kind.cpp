// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/picture/picture_kind.h"

#include <algorithm>
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
    if (endsWith(upper, "HEIC") || endsWith(upper, "HEIF")) return PictureKind::Heif;
    if (endsWith(upper, "AVIF")) return PictureKind::Avif;
    if (endsWith(upper, "WEBP")) return PictureKind::Webp;
    if (endsWith(upper, "TIFF")) return PictureKind::Tiff;
    if (endsWith(upper, "BMP")) return PictureKind::Bmp;
    if (endsWith(upper, "JPG")) return PictureKind::Jpeg;
    if (endsWith(upper, "ICO")) return PictureKind::Icon;
    if (endsWith(upper, "WMF")) return PictureKind::Wmf;
    if (endsWith(upper, "EMF")) return PictureKind::Emf;
    if (endsWith(upper, "PNG")) return PictureKind::Png;
    if (endsWith(upper, "TIF")) return PictureKind::Tiff;
    return PictureKind::Unknown;
}

PictureKind kindFromContent(std::span<const std::uint8_t> head) {
    using namespace std::string_view_literals;
    const std::string_view text(reinterpret_cast<const char*>(head.data()), head.size());
    auto at = [&](std::size_t offset, std::string_view signature) {
        return text.size() >= offset + signature.size() && text.substr(offset, signature.size()) == signature;
    };
    if (at(0, "\xFF\xD8\xFF"sv)) return PictureKind::Jpeg;
    if (at(0, "\x89PNG\r\n\x1A\n"sv)) return PictureKind::Png;
    if (at(0, "BM"sv)) return PictureKind::Bmp;
    if (at(0, "II*\0"sv) || at(0, "MM\0*"sv) || at(0, "II+\0"sv) || at(0, "MM\0+"sv)) return PictureKind::Tiff;
    if (at(0, "RIFF"sv) && at(8, "WEBP"sv)) return PictureKind::Webp;
    if (at(0, "\xD7\xCD\xC6\x9A"sv)) return PictureKind::Wmf;
    if (at(0, "\x01\0\0\0"sv) && at(40, " EMF"sv)) return PictureKind::Emf;
    if (at(0, "\0\0\1\0"sv)) return PictureKind::Icon;
    if (at(4, "ftyp"sv)) {
        // The brands of the file-type box: the major one at 8, the
        // compatible ones from 16 to the box's end.
        std::size_t boxEnd = 0;
        for (std::size_t i = 0; i < 4; ++i) boxEnd = boxEnd << 8 | std::uint8_t(text[i]);
        boxEnd = std::min(boxEnd, text.size());
        bool heif = false;
        for (std::size_t brand = 8; brand + 4 <= boxEnd; brand += brand == 8 ? 8 : 4) {
            if (at(brand, "avif"sv) || at(brand, "avis"sv)) return PictureKind::Avif;
            heif = heif || at(brand, "heic"sv) || at(brand, "heix"sv) || at(brand, "heim"sv) || at(brand, "heis"sv) ||
                   at(brand, "hevc"sv) || at(brand, "hevx"sv) || at(brand, "mif1"sv) || at(brand, "msf1"sv);
        }
        if (heif) return PictureKind::Heif;
    }
    return PictureKind::Unknown;
}

std::string_view kindName(PictureKind kind) {
    switch (kind) {
    case PictureKind::Bmp: return "BMP";
    case PictureKind::Jpeg: return "JPEG";
    case PictureKind::Icon: return "icon";
    case PictureKind::Wmf: return "WMF";
    case PictureKind::Emf: return "EMF";
    case PictureKind::Png: return "PNG";
    case PictureKind::Heif: return "HEIF";
    case PictureKind::Avif: return "AVIF";
    case PictureKind::Webp: return "WebP";
    case PictureKind::Tiff: return "TIFF";
    case PictureKind::Svg: return "SVG";
    case PictureKind::Pdf: return "PDF";
    case PictureKind::Unknown: break;
    }
    return "unknown";
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
