// SPDX-License-Identifier: GPL-3.0-or-later
// The name a saved picture gets: the extension of the chosen format forced
// onto the name the user typed.
#pragma once

#include <string>
#include <string_view>

namespace hueline::app {

// Replaces the extension of the last path component (from its last dot to
// the end) by ext, or appends ext when that component has no dot. A dot in
// a folder name is not an extension. ext includes its dot (".jpg").
std::string withForcedExtension(std::string_view name, std::string_view ext);

}  // namespace hueline::app
