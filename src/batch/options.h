// SPDX-License-Identifier: GPL-3.0-or-later
// The command line of hueline-batch: its options, its names and its steps.
#pragma once

#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "batch/steps.h"
#include "imaging/picture/picture_kind.h"

namespace hueline::batch {

inline constexpr const char* kProgram = "hueline-batch";
// Each picture at work holds a workspace of several pictures of its size:
// more at once than this gains nothing and risks the memory.
inline constexpr int kMaxJobs = 64;

struct Options {
    bool timings = false;
    bool quiet = false;
    bool help = false;
    bool version = false;
    std::optional<PictureKind> format;
    int jobs = 0;  // 0: one per processor
    std::optional<std::size_t> memory;  // the budget of a folder run; a share of the machine's when not given
    std::optional<std::string> filesFrom;
    std::string input, output;
    std::vector<Step> steps;
};

// Reads the arguments (argv[1] on). Throws UsageError with the reason.
Options parseArguments(int argc, char** argv);

// The text of --help.
void printUsage(std::FILE* to);

}  // namespace hueline::batch
