// SPDX-License-Identifier: GPL-3.0-or-later
// The program's commands, each run through the workspace exactly as its
// button runs it. The window's handlers and the command-line companion
// both call these and nothing else, so the two can never differ.
#pragma once

#include "imaging/ops/convolution.h"
#include "imaging/session/workspace.h"

namespace hueline::commands {

// Black-and-white tools. SourceSnapshot is refreshed from the result pane
// after Gray and from the source pane after the others.
void gray(Workspace& ws);           // no status word
void blackAndWhite(Workspace& ws);  // "Black and white"
void erode(Workspace& ws);          // "Eroded"
void dilate(Workspace& ws);         // "Dilated"
void thin(Workspace& ws);           // "Thinned"
void penAndInk(Workspace& ws);      // "Waiting", then "Pen and ink"

// The two split sliders, from SourceSnapshot (slider protocol).
void bwSplit(Workspace& ws, int position);
void colorSplit(Workspace& ws, int position);

// Colour tools; SourceSnapshot from the result pane.
void inverse(Workspace& ws);  // "Inversed"
void sharpen(Workspace& ws);  // "Sharpenned"
void median(Workspace& ws);   // "Median"
// The fringe methods with already converted coefficients.
void fringe1(Workspace& ws, const Kernel& coefficients);  // "Fringe 1"
void fringe2(Workspace& ws, const Kernel& coefficients);  // "Fringe 2"
void fringe3(Workspace& ws, const Kernel& coefficients);  // "Fringe 3"

// View: zoom both panes by 0.8 or 1.25 from ResultSnapshot and
// OriginalPicture.
inline constexpr double kZoomOut = 0.8;
inline constexpr double kZoomIn = 1.25;
void zoom(Workspace& ws, double factor);

}  // namespace hueline::commands
