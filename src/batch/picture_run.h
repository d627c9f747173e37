// SPDX-License-Identifier: GPL-3.0-or-later
// One picture of hueline-batch: opened, worked on step by step, saved.
#pragma once

#include <exception>
#include <string>
#include <vector>

#include "batch/gui_on_demand.h"
#include "batch/steps.h"
#include "batch/timings.h"
#include "imaging/picture/picture_kind.h"

namespace hueline::batch {

// A failure while one picture was being done, already worded for the user.
struct PictureFailure {
    std::string message;
};

// The message of a failure while file was being done: a FileError names
// its file already; anything else is put after the file's name.
std::string messageOf(const std::exception& e, const std::string& file);

// Opens the input, runs the steps and writes the output. Nothing is
// written unless every step has run. A damaged picture that still opens
// is worked on, with a warning. Throws PictureFailure.
void processPicture(const std::string& input, const std::string& output, PictureKind kind,
                    const std::vector<Step>& steps, const Reporter& report, GuiOnDemand& gui);

}  // namespace hueline::batch
