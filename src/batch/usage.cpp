// SPDX-License-Identifier: GPL-3.0-or-later
// The text of hueline-batch --help.
#include "batch/options.h"

namespace hueline::batch {

void printUsage(std::FILE* to) {
    std::fprintf(to,
                 "Usage: %s [--timings] [--quiet] [--format jpg|bmp|png|svg|pdf] [-j N] [--memory SIZE] INPUT OUTPUT\n"
                 "       [STEP...]\n"
                 "       %s [OPTION...] --files-from LIST OUTPUT [STEP...]\n"
                 "\n"
                 "Opens INPUT (BMP, JPEG, PNG, icon or metafile, by the end of its name) into\n"
                 "both panes, runs each STEP in order as its button in the window runs it,\n"
                 "and saves the result pane to OUTPUT: JPEG (quality 90) for a name ending\n"
                 "in .jpg or .jpeg, BMP in the picture's own pixel format for .bmp, PNG\n"
                 "without loss for .png; for .svg and .pdf its dark pixels traced into\n"
                 "filled curves, a pixel a unit (a point in the PDF).\n"
                 "When INPUT is a folder, OUTPUT is a folder too (made if missing): every\n"
                 "picture file in INPUT is written there under its own base name, as JPEG,\n"
                 "BMP, PNG, SVG or PDF as --format says (jpg when not given). A picture is\n"
                 "never written over one of the input pictures (the same folder for both is\n"
                 "fine when the names differ); it is reported and skipped, as are entries named\n"
                 "like pictures that are no picture files (folders, FIFOs, broken links).\n"
                 "With --files-from, the pictures named in LIST are done into the folder\n"
                 "OUTPUT in the same way, read as the pictures are done (one name a line, at\n"
                 "most 4096 bytes; a carriage return ending a line is no part of the name).\n"
                 "\n"
                 "Steps:\n",
                 kProgram, kProgram);
    for (const StepHelp& h : stepHelp())
        std::fprintf(to, "  %-20s %s\n", h.form.c_str(), h.what.c_str());
    std::fprintf(to,
                 "\n"
                 "Options:\n"
                 "  --timings            one line per step on standard error, 'STEP: N.NN ms\n"
                 "                       (R.R copies)', and for 'load' and 'save'; a copy\n"
                 "                       ('copy: N.NN ms') is one copy of the picture's bytes\n"
                 "  -j N, --jobs N       pictures done at the same time in a folder run\n"
                 "                       (1 to %d; the number of processors when not given)\n"
                 "  --memory SIZE        how much memory the pictures done at the same time\n"
                 "                       may take together, such as 4G or 800M (a quarter of\n"
                 "                       the machine's when not given); a picture that needs\n"
                 "                       more is done alone\n"
                 "  --files-from LIST    the pictures to do, one name a line, read from the\n"
                 "                       file LIST ('-' for standard input) instead of a folder\n"
                 "  --quiet              no progress bar and no summary line for a folder\n"
                 "  --format jpg|bmp|png|svg|pdf\n"
                 "                       what a folder's pictures are written as\n"
                 "  --help               this text\n"
                 "  --version            the version\n"
                 "\n"
                 "Exit status: 0 when everything was written, 1 when a file could not be\n"
                 "read or written, 2 for a usage error.\n",
                 kMaxJobs);
}

}  // namespace hueline::batch
