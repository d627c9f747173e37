// SPDX-License-Identifier: GPL-3.0-or-later
// A folder run of hueline-batch: every picture of a folder, or of a list,
// into the folder OUTPUT.
#pragma once

#include "batch/gui_on_demand.h"
#include "batch/options.h"

namespace hueline::batch {

// Does the pictures of o.input (a folder) or of the list o.filesFrom into
// the folder o.output, made if missing, o.jobs at a time; prints their
// messages picture by picture, a progress bar and a summary. Returns the
// exit status. Throws UsageError when OUTPUT is a file.
int runFolder(const Options& o, GuiOnDemand& gui);

}  // namespace hueline::batch
