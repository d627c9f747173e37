// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch/picture_run.h"

#include <new>

#include "imaging/codecs/picture_writer.h"
#include "imaging/picture/errors.h"
#include "imaging/session/workspace.h"

namespace hueline::batch {

std::string messageOf(const std::exception& e, const std::string& file) {
    // A FileError names its file already; anything else is put after the
    // name of the picture being done.
    if (dynamic_cast<const FileError*>(&e)) return e.what();
    if (dynamic_cast<const std::bad_alloc*>(&e)) return file + ": not enough memory";
    return file + ": " + e.what();
}

void processPicture(const std::string& input, const std::string& output, PictureKind kind,
                    const std::vector<Step>& steps, const Reporter& report, GuiOnDemand& gui) {
    Workspace ws;
    try {
        gui.ensureFor(input);
        const auto start = Clock::now();
        std::string damage;
        const WorkBitmap loaded = gui.load(input, &damage);
        ws.openPicture(loaded);
        const double loadMs = millisecondsSince(start);
        report.measureCopy(ws.resultPane());
        report.timing("load", loadMs);
        if (!damage.empty()) report.warning(damage);
    } catch (const std::exception& e) {
        throw PictureFailure{messageOf(e, input)};
    }
    for (const Step& step : steps) {
        try {
            const auto start = Clock::now();
            step.run(ws);
            report.timing(step.text, start);
        } catch (const std::exception& e) {
            throw PictureFailure{messageOf(e, input + ": " + step.text)};
        }
    }
    try {
        const auto start = Clock::now();
        writePictureFile(ws.resultPane(), output, kind);
        report.timing("save", start);
    } catch (const std::exception& e) {
        throw PictureFailure{messageOf(e, output)};
    }
}

}  // namespace hueline::batch
