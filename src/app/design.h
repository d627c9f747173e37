// SPDX-License-Identifier: GPL-3.0-or-later
// Small helpers shared by the window and the dialogs for the design-time
// layout.
#pragma once

#include <QFont>
#include <QFontDatabase>

namespace hueline::app {

// The window's text font: the platform's sans-serif at a size (11 pixels)
// that fits the design layout's 17-pixel buttons and narrow labels.
inline QFont designFont() {
    QFont f = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(11);
    return f;
}

}  // namespace hueline::app
