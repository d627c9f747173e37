// SPDX-License-Identifier: GPL-3.0-or-later
// The one question Save asks. The format forces its extension onto the
// typed name; when that makes another name of it and a file of that name
// exists, the user never named that file, so it is not replaced unasked.
// A name typed as it is written is replaced without a question.
#pragma once

#include <QString>

namespace hueline::app {

// The extension a save filter entry forces, with its dot: ".jpg" for
// "*.jpg" or "JPEG (*.jpg)". Empty when the entry names none.
QString extensionOfFilter(const QString& filter);

// Whether the picture may be written under the name the filter entry
// forces onto the typed one; asks first when that replaces a file the
// user did not name.
bool mayWriteForcedName(const QString& typed, const QString& filter);

}  // namespace hueline::app
