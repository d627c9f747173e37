// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/save_name.h"

namespace hueline::app {

std::string withForcedExtension(std::string_view name, std::string_view ext) {
    const std::size_t slash = name.find_last_of('/');
    const std::size_t start = slash == std::string_view::npos ? 0 : slash + 1;
    const std::size_t dot = name.find_last_of('.');
    std::string out(name);
    if (dot != std::string_view::npos && dot >= start) out.resize(dot);
    out += ext;
    return out;
}

}  // namespace hueline::app
