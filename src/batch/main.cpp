// SPDX-License-Identifier: GPL-3.0-or-later
// hueline-batch: the window's commands from the command line, with no
// window and no display.
//
//     hueline-batch [--timings] [--quiet] [--format jpg|bmp|png|svg|pdf] [-j N] INPUT OUTPUT [STEP...]
//     hueline-batch [OPTION...] --files-from LIST OUTPUT [STEP...]
//
// INPUT is opened as the window opens a picture, the steps run through the
// same workspace in order, and the result pane is written to OUTPUT as the
// window saves it. With a folder as INPUT (or a list of pictures) every
// picture is done into the folder OUTPUT, N pictures at a time, each on a
// thread with a workspace of its own.
#include <QGuiApplication>
#include <QString>
#include <QtGlobal>

#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <system_error>

#include "batch/folder_run.h"
#include "batch/gui_on_demand.h"
#include "batch/options.h"
#include "batch/picture_run.h"
#include "batch/timings.h"
#include "hueline_version.h"
#include "imaging/picture/picture_kind.h"

namespace fs = std::filesystem;
using namespace hueline;
using namespace hueline::batch;

namespace {

// Qt's own notes and warnings (such as a missing runtime folder on a
// machine without a desktop) are no concern of a command-line run; its
// critical messages are passed on.
void qtMessage(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "%s: %s\n", kProgram, qPrintable(text));
}

int runOne(const Options& o, GuiOnDemand& gui) {
    const PictureKind kind = savedKindFromName(o.output);
    if (kind == PictureKind::Unknown)
        throw UsageError("OUTPUT must end in .jpg, .jpeg, .bmp, .png, .svg or .pdf: '" + o.output + "'");
    if (o.format) throw UsageError("--format is only for a folder as INPUT; OUTPUT's ending says the kind");
    PictureLog log;
    log.atOnce = true;
    const Reporter report{o.timings, &log};
    try {
        processPicture(o.input, o.output, kind, o.steps, report, gui);
    } catch (const PictureFailure& f) {
        report.error(f.message);
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    qInstallMessageHandler(qtMessage);
    GuiOnDemand gui;
    try {
        const Options o = parseArguments(argc, argv);
        if (o.help) {
            printUsage(stdout);
            return 0;
        }
        if (o.version) {
            std::printf("%s %s\n", kProgram, HUELINE_VERSION_SHORT);
            return 0;
        }
        std::error_code ec;
        return o.filesFrom || fs::is_directory(o.input, ec) ? runFolder(o, gui) : runOne(o, gui);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "%s: %s\nTry '%s --help' for the steps and options.\n", kProgram, e.what(), kProgram);
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", kProgram, e.what());
        return 1;
    }
}
