// Which kind of picture a file name names.
#pragma once

#include <string_view>

namespace hueline {

enum class PictureKind { Bmp, Jpeg, Icon, Wmf, Emf, Unknown };

// By the end of the name, upper-cased: "JPEG" as the last four characters,
// else "BMP", "JPG", "ICO", "WMF" or "EMF" as the last three. Nothing else
// of the name, not even a dot, is looked at.
PictureKind kindFromName(std::string_view name);

}  // namespace hueline
