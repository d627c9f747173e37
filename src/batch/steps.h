// SPDX-License-Identifier: GPL-3.0-or-later
// The steps of hueline-batch: each name on the command line stands for one
// command of the catalogue in commands.h (or a Workspace handler), run
// exactly as its button runs it.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "imaging/picture/errors.h"
#include "imaging/session/workspace.h"

namespace hueline::batch {

// A command line that cannot be carried out as written: an unknown step,
// a bad number, coefficients that do not convert, a missing argument.
class UsageError : public UserError {
public:
    using UserError::UserError;
};

// One parsed step, ready to run on a workspace.
struct Step {
    std::string text;  // as it was given
    std::function<void(Workspace&)> run;
};

// Parses one step ("gray", "bwsplit=90", "fringe1=1,2,1,0,0,0,-1,-1,-1").
// Throws UsageError with the reason; coefficient boxes that do not convert
// give the fringe dialogs' own message ("'abc' is not a valid integer value").
Step parseStep(const std::string& text);

// Every step, for the usage text: its form and what it does, made from
// the table parseStep reads.
struct StepHelp {
    std::string form;
    std::string what;
};
const std::vector<StepHelp>& stepHelp();

}  // namespace hueline::batch
