// SPDX-License-Identifier: GPL-3.0-or-later
// Inverse, Sharpen, Median and the three fringe methods. Each refreshes
// SourceSnapshot from the result pane, so that the Color Split slider then
// works on the colour picture just made.
#include "imaging/ops/invert.h"
#include "imaging/session/commands.h"
#include "imaging/ops/convolution.h"
#include "imaging/ops/routines.h"
#include "imaging/ops/rank_filters.h"

#include <utility>

namespace hueline::commands {

void inverse(Workspace& ws) {
    // The picture keeps its format; one with a colour table has its table
    // inverted and keeps its indices.
    ws.runCommand({"Inversed", SnapshotFrom::ResultPane}, [](WorkBitmap& p) { invertPicture(p); });
}

void sharpen(Workspace& ws) {
    ws.runCommand({"Sharpenned", SnapshotFrom::ResultPane}, [](WorkBitmap& p) { p = sharpenPicture(p); });
}

void median(Workspace& ws) {
    ws.runCommand({"Median", SnapshotFrom::ResultPane}, [](WorkBitmap& p) { p = medianPicture(p); });
}

void fringe1(Workspace& ws, const Kernel& coefficients) {
    ws.runCommand({"Fringe 1", SnapshotFrom::ResultPane}, [&coefficients](WorkBitmap& p) {
        WorkBitmap work;
        CopyMe(work, p);
        Convolve(coefficients, 1, work);
        p = std::move(work);
    });
}

void fringe2(Workspace& ws, const Kernel& coefficients) {
    ws.runCommand({"Fringe 2", SnapshotFrom::ResultPane},
                  [&coefficients](WorkBitmap& p) { p = fringePicture(p, coefficients, kFringe2BuiltIn); });
}

void fringe3(Workspace& ws, const Kernel& coefficients) {
    ws.runCommand({"Fringe 3", SnapshotFrom::ResultPane},
                  [&coefficients](WorkBitmap& p) { p = fringePicture(p, coefficients, kFringe3BuiltIn); });
}

}  // namespace hueline::commands
