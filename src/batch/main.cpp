// SPDX-License-Identifier: GPL-3.0-or-later
// hueline-batch: the window's commands from the command line, with no
// window and no display.
//
//     hueline-batch [--timings] [--quiet] [--format jpg|bmp|png] INPUT OUTPUT [STEP...]
//
// INPUT is opened as the window opens a picture, the steps run through the
// same workspace in order, and the result pane is written to OUTPUT as the
// window saves it. With a folder as INPUT every picture file in it is done
// in turn into the folder OUTPUT.
#include <QByteArray>
#include <QGuiApplication>
#include <QString>
#include <QtGlobal>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "batch/steps.h"
#include "hueline_version.h"
#include "imaging/codecs/file_io.h"
#include "imaging/codecs/picture_writer.h"
#include "imaging/picture/errors.h"
#include "imaging/picture/picture_kind.h"
#include "imaging/session/workspace.h"
#include "render/picture_loader.h"

namespace fs = std::filesystem;
using namespace hueline;

namespace {

constexpr const char* kProgram = "hueline-batch";
constexpr const char* kVersion = HUELINE_VERSION_SHORT;

void printUsage(std::FILE* to) {
    std::fprintf(to,
                 "Usage: %s [--timings] [--quiet] [--format jpg|bmp|png] INPUT OUTPUT [STEP...]\n"
                 "\n"
                 "Opens INPUT (BMP, JPEG, PNG, icon or metafile, by the end of its name) into\n"
                 "both panes, runs each STEP in order as its button in the window runs it,\n"
                 "and saves the result pane to OUTPUT: JPEG (quality 90) for a name ending\n"
                 "in .jpg or .jpeg, BMP in the picture's own pixel format for .bmp, PNG\n"
                 "without loss for .png.\n"
                 "When INPUT is a folder, OUTPUT is a folder too (made if missing): every\n"
                 "picture file in INPUT is written there under its own base name, as JPEG,\n"
                 "BMP or PNG as --format says (jpg when not given). A picture is never\n"
                 "written over one of the input pictures (the same folder for both is fine\n"
                 "when the names differ); it is reported and skipped, as are entries named\n"
                 "like pictures that are no picture files (folders, FIFOs, broken links).\n"
                 "\n"
                 "Steps:\n",
                 kProgram);
    for (const batch::StepHelp& h : batch::stepHelp())
        std::fprintf(to, "  %-20s %s\n", h.form.c_str(), h.what.c_str());
    std::fprintf(to,
                 "\n"
                 "Options:\n"
                 "  --timings            one line per step on standard error: 'STEP: N.NN ms'\n"
                 "                       (and 'load: ...', 'save: ...')\n"
                 "  --quiet              no progress bar and no summary line for a folder\n"
                 "  --format jpg|bmp|png what a folder's pictures are written as\n"
                 "  --help               this text\n"
                 "  --version            the version\n"
                 "\n"
                 "Exit status: 0 when everything was written, 1 when a file could not be\n"
                 "read or written, 2 for a usage error.\n");
}

struct Options {
    bool timings = false;
    bool quiet = false;
    bool help = false;
    bool version = false;
    std::optional<PictureKind> format;
    std::string input, output;
    std::vector<batch::Step> steps;
};

Options parseArguments(int argc, char** argv) {
    Options o;
    std::vector<std::string> positional;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (optionsEnded || a.size() < 2 || a.compare(0, 2, "--") != 0) {
            positional.push_back(a);
            continue;
        }
        if (a == "--") optionsEnded = true;
        else if (a == "--timings") o.timings = true;
        else if (a == "--quiet") o.quiet = true;
        else if (a == "--help") o.help = true;
        else if (a == "--version") o.version = true;
        else if (a == "--format" || a.compare(0, 9, "--format=") == 0) {
            std::string value;
            if (a == "--format") {
                if (i + 1 >= argc) throw batch::UsageError("--format needs a value: jpg, bmp or png");
                value = argv[++i];
            } else {
                value = a.substr(9);
            }
            if (value != "jpg" && value != "bmp" && value != "png")
                throw batch::UsageError("--format must be jpg, bmp or png, not '" + value + "'");
            o.format = savedKindFromName("." + value);
        } else {
            throw batch::UsageError("unknown option '" + a + "'");
        }
    }
    if (o.help || o.version) return o;
    if (positional.size() < 2) throw batch::UsageError("INPUT and OUTPUT are needed");
    o.input = positional[0];
    o.output = positional[1];
    for (std::size_t i = 2; i < positional.size(); ++i) o.steps.push_back(batch::parseStep(positional[i]));
    return o;
}

// Icons may hold PNG images and metafiles draw text: both go through Qt's
// painting, which wants an application object. It is made only when such
// a file comes, on the offscreen platform unless one is asked for, and is
// owned by main() so that it goes before Qt's own globals do.
class GuiOnDemand {
public:
    void ensureFor(const std::string& input) {
        const PictureKind kind = kindFromName(input);
        if (app_ || (kind != PictureKind::Icon && kind != PictureKind::Wmf && kind != PictureKind::Emf)) return;
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        app_ = std::make_unique<QGuiApplication>(argc_, argv_);
    }

private:
    int argc_ = 1;
    char name_[14] = "hueline-batch";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QGuiApplication> app_;
};

// Qt's own notes and warnings (such as a missing runtime folder on a
// machine without a desktop) are no concern of a command-line run; its
// critical messages are passed on.
void qtMessage(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "%s: %s\n", kProgram, qPrintable(text));
}

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::string minutesAndSeconds(double seconds) {
    const long s = long(seconds + 0.5);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%ld:%02ld", s / 60, s % 60);
    return buf;
}

// The progress bar of a folder run, redrawn on one line of standard error
// when that is a terminal. Other output first clears it.
class Progress {
public:
    Progress(bool enabled, std::size_t total) : enabled_(enabled), total_(total), start_(Clock::now()) {}

    void show(std::size_t done, const std::string& current) {
        if (!enabled_) return;
        constexpr int kWidth = 24;
        const int filled = total_ ? int(double(done) / double(total_) * kWidth) : kWidth;
        const double elapsed = millisecondsSince(start_) / 1000.0;
        const std::string left =
            done ? minutesAndSeconds(elapsed / double(done) * double(total_ - done)) : std::string("?");
        std::string name = current;
        if (name.size() > 30) name = "..." + name.substr(name.size() - 27);
        std::fprintf(stderr, "\r\033[K[%s%s] %zu/%zu %s  %s elapsed, %s left", std::string(std::size_t(filled), '#').c_str(),
                     std::string(std::size_t(kWidth - filled), '.').c_str(), done, total_, name.c_str(),
                     minutesAndSeconds(elapsed).c_str(), left.c_str());
        std::fflush(stderr);
        shown_ = true;
    }

    void clear() {
        if (!shown_) return;
        std::fprintf(stderr, "\r\033[K");
        shown_ = false;
    }

    double seconds() const { return millisecondsSince(start_) / 1000.0; }

private:
    bool enabled_;
    std::size_t total_;
    Clock::time_point start_;
    bool shown_ = false;
};

// Where messages and timings go, clearing the progress bar first.
struct Reporter {
    bool timings = false;
    Progress* progress = nullptr;

    void timing(const std::string& what, Clock::time_point start) const {
        if (!timings) return;
        const double ms = millisecondsSince(start);
        if (progress) progress->clear();
        std::fprintf(stderr, "%s: %.2f ms\n", what.c_str(), ms);
    }

    void error(const std::string& message) const {
        if (progress) progress->clear();
        std::fprintf(stderr, "%s: %s\n", kProgram, message.c_str());
    }

    void warning(const std::string& message) const {
        if (progress) progress->clear();
        std::fprintf(stderr, "%s: warning: %s\n", kProgram, message.c_str());
    }
};

// A failure while one picture was being done, already worded for the user.
struct PictureFailure {
    std::string message;
};

std::string messageOf(const std::exception& e, const std::string& file) {
    // A FileError names its file already; anything else is put after the
    // name of the picture being done.
    if (dynamic_cast<const FileError*>(&e)) return e.what();
    if (dynamic_cast<const std::bad_alloc*>(&e)) return file + ": not enough memory";
    return file + ": " + e.what();
}

// Opens the input, runs the steps and writes the output. Nothing is
// written unless every step has run. A damaged picture that still opens
// is worked on, with a warning.
void processPicture(const std::string& input, const std::string& output, PictureKind kind,
                    const std::vector<batch::Step>& steps, const Reporter& report, GuiOnDemand& gui) {
    Workspace ws;
    try {
        gui.ensureFor(input);
        const auto start = Clock::now();
        std::string damage;
        const WorkBitmap loaded = LoadPictureFile(input, &damage);
        ws.openPicture(loaded);
        report.timing("load", start);
        if (!damage.empty()) report.warning(damage);
    } catch (const std::exception& e) {
        throw PictureFailure{messageOf(e, input)};
    }
    for (const batch::Step& step : steps) {
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

int runOne(const Options& o, GuiOnDemand& gui) {
    const PictureKind kind = savedKindFromName(o.output);
    if (kind == PictureKind::Unknown)
        throw batch::UsageError("OUTPUT must end in .jpg, .jpeg, .bmp or .png: '" + o.output + "'");
    if (o.format) throw batch::UsageError("--format is only for a folder as INPUT; OUTPUT's ending says the kind");
    Reporter report{o.timings, nullptr};
    try {
        processPicture(o.input, o.output, kind, o.steps, report, gui);
    } catch (const PictureFailure& f) {
        report.error(f.message);
        return 1;
    }
    return 0;
}

// A file as the system knows it, whatever names lead to it.
struct FileId {
    dev_t device;
    ino_t inode;
    auto operator<=>(const FileId&) const = default;
};

// The file a name leads to (through links), if it leads to one.
std::optional<FileId> fileIdOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return FileId{st.st_dev, st.st_ino};
}

// The entries of a folder whose names are those of pictures, sorted.
// Nothing is opened or followed here: an entry that is no picture file
// (a folder, a FIFO, a link to nothing or to itself) is found out, and
// reported, when it is opened. Throws filesystem_error.
std::vector<fs::path> picturesIn(const std::string& folder) {
    std::vector<fs::path> pictures;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder))
        if (kindFromName(entry.path().filename().string()) != PictureKind::Unknown) pictures.push_back(entry.path());
    std::sort(pictures.begin(), pictures.end());
    return pictures;
}

// Why out may not be written in a folder run, or nothing when it may:
// it is one of the inputs (compared as files, so links and other names of
// the same file count), or this run has written it already.
std::optional<std::string> refusalFor(const fs::path& in, const fs::path& out, const std::set<FileId>& inputs,
                                      const std::map<std::string, std::string>& written) {
    if (const auto it = written.find(out.string()); it != written.end())
        return in.string() + ": not written, since " + out.string() + " was already written from " + it->second +
               ", another picture of the same name";
    const std::optional<FileId> target = fileIdOf(out.string());
    if (!target || !inputs.count(*target)) return std::nullopt;
    if (target == fileIdOf(in.string()))
        return in.string() + ": not written, since " + out.string() + " is this picture itself and would be replaced";
    return in.string() + ": not written, since " + out.string() + " is one of the input pictures and would be replaced";
}

int runFolder(const Options& o, GuiOnDemand& gui) {
    const PictureKind kind = o.format.value_or(PictureKind::Jpeg);
    const std::string extension(savedExtension(kind));
    std::error_code ec;
    if (fs::exists(o.output, ec) && !fs::is_directory(o.output, ec))
        throw batch::UsageError("INPUT is a folder, so OUTPUT must be a folder too: '" + o.output + "' is a file");

    Reporter report{o.timings, nullptr};
    std::vector<fs::path> pictures;
    try {
        pictures = picturesIn(o.input);
    } catch (const fs::filesystem_error& e) {
        report.error(FileError(o.input, "the folder cannot be read (" + e.code().message() + ")").what());
        return 1;
    }
    std::set<FileId> inputs;
    for (const fs::path& in : pictures)
        if (const std::optional<FileId> id = fileIdOf(in.string())) inputs.insert(*id);
    if (!fs::is_directory(o.output, ec) && !fs::create_directories(o.output, ec)) {
        report.error(FileError(o.output, "the folder cannot be made (" + ec.message() + ")").what());
        return 1;
    }

    Progress progress(!o.quiet && isatty(2), pictures.size());
    report.progress = &progress;
    std::size_t written = 0;
    std::vector<std::string> failed;
    std::map<std::string, std::string> outputs;  // written in this run, and from which input
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        const fs::path& in = pictures[i];
        progress.show(i, in.filename().string());
        const fs::path out = fs::path(o.output) / (in.stem().string() + extension);
        try {
            openRegularFile(in.string());  // a FIFO, folder or broken link is named as such
        } catch (const FileError& e) {
            report.error(e.what());
            failed.push_back(in.string());
            continue;
        }
        if (const std::optional<std::string> refusal = refusalFor(in, out, inputs, outputs)) {
            report.error(*refusal);
            failed.push_back(in.string());
            continue;
        }
        try {
            processPicture(in.string(), out.string(), kind, o.steps, report, gui);
            outputs.emplace(out.string(), in.string());
            ++written;
        } catch (const PictureFailure& f) {
            report.error(f.message);
            failed.push_back(in.string());
        }
    }
    progress.show(pictures.size(), "");
    progress.clear();
    if (!o.quiet) {
        const std::string failures = failed.empty() ? "" : ", " + std::to_string(failed.size()) + " failed";
        std::fprintf(stderr, "%s: %zu of %zu pictures written to %s in %.1f s%s\n", kProgram, written, pictures.size(),
                     o.output.c_str(), progress.seconds(), failures.c_str());
    }
    return failed.empty() ? 0 : 1;
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
            std::printf("%s %s\n", kProgram, kVersion);
            return 0;
        }
        std::error_code ec;
        return fs::is_directory(o.input, ec) ? runFolder(o, gui) : runOne(o, gui);
    } catch (const batch::UsageError& e) {
        std::fprintf(stderr, "%s: %s\nTry '%s --help' for the steps and options.\n", kProgram, e.what(), kProgram);
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", kProgram, e.what());
        return 1;
    }
}
