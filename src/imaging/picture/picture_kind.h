// SPDX-License-Identifier: GPL-3.0-or-later
// Which kind of picture a file name names, for reading and for saving.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace hueline {

enum class PictureKind { Bmp, Jpeg, Icon, Wmf, Emf, Png, Svg, Pdf, Heif, Avif, Webp, Tiff, Unknown };

// The kind a picture file is read as, by the end of the name, upper-cased:
// "JPEG", "HEIC", "HEIF", "AVIF", "WEBP" or "TIFF" as the last four
// characters, else "BMP", "JPG", "ICO", "WMF", "EMF", "PNG" or "TIF" as
// the last three. Nothing else of the name, not even a dot, is looked at.
PictureKind kindFromName(std::string_view name);

// The kind the first bytes of a file (32 are enough) show it to be, by
// each format's signature; Unknown when none matches. HEIF and AVIF are
// told apart by the brands of their file-type box.
PictureKind kindFromContent(std::span<const std::uint8_t> head);

// The kind's name in messages: "BMP", "JPEG", "icon", "WMF", "EMF", "PNG",
// "HEIF", "AVIF", "WebP", "TIFF".
std::string_view kindName(PictureKind kind);

// The kinds a picture is saved as, in the order of the save dialog's
// entries. SVG and PDF hold the picture's dark pixels traced into curves.
inline constexpr std::array<PictureKind, 5> kSavedKinds = {PictureKind::Jpeg, PictureKind::Bmp, PictureKind::Png,
                                                           PictureKind::Svg, PictureKind::Pdf};

// The kind a name to save under asks for, by its extension in any case:
// ".jpg" and ".jpeg" for JPEG, ".bmp" for BMP, ".png" for PNG, ".svg" for
// SVG, ".pdf" for PDF; Unknown for any other name.
PictureKind savedKindFromName(std::string_view name);

// The extension Save forces onto the name for a kind: ".jpg", ".bmp",
// ".png", ".svg" or ".pdf"; empty for a kind that is never saved.
std::string_view savedExtension(PictureKind kind);

}  // namespace hueline
