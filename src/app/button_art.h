// SPDX-License-Identifier: GPL-3.0-or-later
// The pictures of the tool buttons (24 x 20, 24-bit), drawn with QPainter
// when the window is built.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace hueline::app {

enum class ButtonArt {
    Open,        // an opening folder
    Save,        // a floppy disk
    Undo,        // an arrow curving back
    Renew,       // two arrows chasing round a circle
    ZoomOut,     // a magnifier with a minus
    ZoomIn,      // a magnifier with a plus
    FullView,    // a screen with arrows to its corners
    ColorTools,  // a painter's palette
    BwTools,     // a disc half black, half white
    Online,      // a globe
    Give,        // an arrow to the left
    Get,         // an arrow to the right
    Select,      // a dashed rectangle
    Brush,       // a brush with a wet tip
    Pen,         // a pencil
    Rubber,      // an eraser
    Pick,        // an eyedropper
    Print,       // a printer with a sheet in it
};

inline constexpr int kButtonArtWidth = 24;
inline constexpr int kButtonArtHeight = 20;

// A 24 x 20 picture on the button face colour of the current palette.
QPixmap buttonPicture(ButtonArt art);

}  // namespace hueline::app
