// SPDX-License-Identifier: GPL-3.0-or-later
// The traced curves of a picture's dark pixels (the curves the SVG and PDF
// files hold) as one painter path in picture coordinates, to be filled.
#pragma once

#include <QPainterPath>

#include "imaging/codecs/traced_outlines.h"

namespace hueline {

QPainterPath tracedPath(const TracedOutlines& outlines);

}  // namespace hueline
