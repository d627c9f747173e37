#include "imaging/picture/picture_kind.h"

#include <cctype>
#include <string>

namespace hueline {

PictureKind kindFromName(std::string_view name) {
    std::string upper(name);
    for (char& c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));
    auto endsWith = [&](std::string_view tail) {
        return upper.size() >= tail.size() && upper.compare(upper.size() - tail.size(), tail.size(), tail) == 0;
    };
    if (endsWith("JPEG")) return PictureKind::Jpeg;
    if (endsWith("BMP")) return PictureKind::Bmp;
    if (endsWith("JPG")) return PictureKind::Jpeg;
    if (endsWith("ICO")) return PictureKind::Icon;
    if (endsWith("WMF")) return PictureKind::Wmf;
    if (endsWith("EMF")) return PictureKind::Emf;
    return PictureKind::Unknown;
}

}  // namespace hueline
