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
#include <QByteArray>
#include <QGuiApplication>
#include <QString>
#include <QtGlobal>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "batch/folder_pictures.h"
#include "batch/ordered_run.h"
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
// Each picture at work holds a workspace of several pictures of its size:
// more at once than this gains nothing and risks the memory.
constexpr int kMaxJobs = 64;

void printUsage(std::FILE* to) {
    std::fprintf(to,
                 "Usage: %s [--timings] [--quiet] [--format jpg|bmp|png|svg|pdf] [-j N] INPUT OUTPUT [STEP...]\n"
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
                 "BMP, PNG, SVG or PDF as --format says (jpg when not given). A picture is never\n"
                 "written over one of the input pictures (the same folder for both is fine\n"
                 "when the names differ); it is reported and skipped, as are entries named\n"
                 "like pictures that are no picture files (folders, FIFOs, broken links).\n"
                 "With --files-from, the pictures named in LIST are done into the folder\n"
                 "OUTPUT in the same way.\n"
                 "\n"
                 "Steps:\n",
                 kProgram, kProgram);
    for (const batch::StepHelp& h : batch::stepHelp())
        std::fprintf(to, "  %-20s %s\n", h.form.c_str(), h.what.c_str());
    std::fprintf(to,
                 "\n"
                 "Options:\n"
                 "  --timings            one line per step on standard error, 'STEP: N.NN ms\n"
                 "                       (R.R copies)', and for 'load' and 'save'; a copy\n"
                 "                       ('copy: N.NN ms') is one copy of the picture's bytes\n"
                 "  -j N, --jobs N       pictures done at the same time in a folder run\n"
                 "                       (1 to %d; the number of processors when not given)\n"
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

struct Options {
    bool timings = false;
    bool quiet = false;
    bool help = false;
    bool version = false;
    std::optional<PictureKind> format;
    int jobs = 0;  // 0: one per processor
    std::optional<std::string> filesFrom;
    std::string input, output;
    std::vector<batch::Step> steps;
};

// The value of an option that needs one: what follows its name in the
// same argument ("--jobs=4", "-j4"), else the next argument.
std::string optionValue(const std::string& a, std::size_t nameLength, int& i, int argc, char** argv) {
    if (a.size() > nameLength) return a.substr(a[nameLength] == '=' ? nameLength + 1 : nameLength);
    if (i + 1 >= argc) throw batch::UsageError(a + " needs a value");
    return argv[++i];
}

// The number of pictures done at a time: a whole number from 1 to kMaxJobs.
int parseJobs(const std::string& text) {
    int n = 0;
    bool ok = !text.empty() && text.size() <= 3;
    for (std::size_t k = 0; ok && k < text.size(); ++k) {
        if (text[k] < '0' || text[k] > '9') ok = false;
        else n = n * 10 + (text[k] - '0');
    }
    if (!ok || n < 1 || n > kMaxJobs)
        throw batch::UsageError("-j must be a whole number from 1 to " + std::to_string(kMaxJobs) + ", not '" + text + "'");
    return n;
}

bool isOption(const std::string& a, const std::string& name) {
    return a == name || a.compare(0, name.size() + 1, name + "=") == 0;
}

Options parseArguments(int argc, char** argv) {
    Options o;
    std::vector<std::string> positional;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (!optionsEnded && a.compare(0, 2, "-j") == 0) {
            o.jobs = parseJobs(optionValue(a, 2, i, argc, argv));
            continue;
        }
        if (optionsEnded || a.size() < 2 || a.compare(0, 2, "--") != 0) {
            positional.push_back(a);
            continue;
        }
        if (a == "--") optionsEnded = true;
        else if (a == "--timings") o.timings = true;
        else if (a == "--quiet") o.quiet = true;
        else if (a == "--help") o.help = true;
        else if (a == "--version") o.version = true;
        else if (isOption(a, "--jobs")) o.jobs = parseJobs(optionValue(a, 6, i, argc, argv));
        else if (isOption(a, "--files-from")) {
            o.filesFrom = optionValue(a, 12, i, argc, argv);
            if (o.filesFrom->empty()) throw batch::UsageError("--files-from needs a file name ('-' for standard input)");
        } else if (isOption(a, "--format")) {
            if (a == "--format" && i + 1 >= argc) throw batch::UsageError("--format needs a value: jpg, bmp, png, svg or pdf");
            const std::string value = optionValue(a, 8, i, argc, argv);
            if (value != "jpg" && value != "bmp" && value != "png" && value != "svg" && value != "pdf")
                throw batch::UsageError("--format must be jpg, bmp, png, svg or pdf, not '" + value + "'");
            o.format = savedKindFromName("." + value);
        } else {
            throw batch::UsageError("unknown option '" + a + "'");
        }
    }
    if (o.help || o.version) return o;
    // With a list of pictures there is no INPUT: the first name is OUTPUT.
    const std::size_t first = o.filesFrom ? 0 : 1;
    if (positional.size() < first + 1) throw batch::UsageError(o.filesFrom ? "OUTPUT is needed" : "INPUT and OUTPUT are needed");
    if (!o.filesFrom) o.input = positional[0];
    o.output = positional[first];
    for (std::size_t i = first + 1; i < positional.size(); ++i) o.steps.push_back(batch::parseStep(positional[i]));
    return o;
}

// Metafiles draw text and shapes through Qt's painting, which wants an
// application object. It is made only when such
// a file comes, on the offscreen platform unless one is asked for, and is
// owned by main() so that it goes before Qt's own globals do. A folder run
// makes it on the main thread before its pictures are started.
class GuiOnDemand {
public:
    void ensureFor(const std::string& input) {
        if (app_ || !needsQt(input)) return;
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        app_ = std::make_unique<QGuiApplication>(argc_, argv_);
    }

    // Opens a picture. Those that go through Qt's painting (its fonts and
    // the painter's font cache above all) are opened one at a time, from
    // whatever thread; the others side by side.
    WorkBitmap load(const std::string& path, std::string* damage) {
        if (!needsQt(path)) return LoadPictureFile(path, damage);
        const std::lock_guard lock(qtPainting_);
        return LoadPictureFile(path, damage);
    }

private:
    static bool needsQt(const std::string& path) {
        const PictureKind kind = kindFromName(path);
        return kind == PictureKind::Wmf || kind == PictureKind::Emf;
    }

    std::mutex qtPainting_;
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

// What one picture has to say. A folder run keeps it until the picture is
// done and prints it as one block, so that pictures done side by side
// never mix their lines; a single picture says it at once.
struct PictureLog {
    bool atOnce = false;
    std::string lines;
    double copyMs = 0;  // one copy of the loaded picture: the timings' yardstick
};

// The time of one plain copy of a picture's bytes at 24 bits, as the
// commands hold it, into memory already in use: the best of three.
double copyMilliseconds(const WorkBitmap& picture) {
    const std::size_t stride = (std::size_t(picture.width()) * 3 + 3) & ~std::size_t(3);
    const std::size_t bytes = stride * std::size_t(picture.height());
    if (bytes == 0) return 0;
    std::vector<std::uint8_t> from(bytes, 1), to(bytes);
    double best = 0;
    for (int round = 0; round < 3; ++round) {
        const auto start = Clock::now();
        std::memcpy(to.data(), from.data(), bytes);
        const double ms = millisecondsSince(start);
        if (round == 0 || ms < best) best = ms;
    }
    // The copy is used, so that it is not left out.
    const volatile std::uint8_t used = to[bytes / 2];
    (void)used;
    return best;
}

// Where one picture's messages and timings go.
struct Reporter {
    bool timings = false;
    PictureLog* log = nullptr;

    // Measures the yardstick of the timings that follow on this picture.
    void measureCopy(const WorkBitmap& picture) const {
        if (!timings) return;
        log->copyMs = copyMilliseconds(picture);
        say(formatted("copy: %.2f ms\n", log->copyMs));
    }

    void timing(const std::string& what, Clock::time_point start) const { timing(what, millisecondsSince(start)); }

    void timing(const std::string& what, double ms) const {
        if (!timings) return;
        say(log->copyMs > 0 ? formatted("%s: %.2f ms (%.1f copies)\n", what.c_str(), ms, ms / log->copyMs)
                            : formatted("%s: %.2f ms\n", what.c_str(), ms));
    }

    void error(const std::string& message) const { say(std::string(kProgram) + ": " + message + "\n"); }

    void warning(const std::string& message) const { say(std::string(kProgram) + ": warning: " + message + "\n"); }

private:
    void say(const std::string& line) const {
        if (log->atOnce) std::fputs(line.c_str(), stderr);
        else log->lines += line;
    }

    template <class... Args>
    static std::string formatted(const char* format, Args... args) {
        char buf[512];
        std::snprintf(buf, sizeof buf, format, args...);
        return buf;
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
        const WorkBitmap loaded = gui.load(input, &damage);
        ws.openPicture(loaded);
        const double loadMs = millisecondsSince(start);
        report.measureCopy(ws.resultPane());
        report.timing("load", loadMs);
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
        throw batch::UsageError("OUTPUT must end in .jpg, .jpeg, .bmp, .png, .svg or .pdf: '" + o.output + "'");
    if (o.format) throw batch::UsageError("--format is only for a folder as INPUT; OUTPUT's ending says the kind");
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

// How one picture of a folder run went.
struct PictureOutcome {
    PictureLog log;
    bool written = false;
};

// Every picture of a folder or a list into the folder OUTPUT, N at a time,
// each in a workspace of its own. Lines are printed picture by picture in
// the order of the pictures.
class FolderRun {
public:
    FolderRun(const Options& o, std::vector<fs::path> pictures, GuiOnDemand& gui)
        : o_(o), kind_(o.format.value_or(PictureKind::Jpeg)), pictures_(std::move(pictures)), gui_(gui),
          progress_(!o.quiet && isatty(2), pictures_.size()) {
        const std::string extension(savedExtension(kind_));
        for (const fs::path& in : pictures_) {
            outputs_.push_back(fs::path(o.output) / (in.stem().string() + extension));
            gui_.ensureFor(in.string());
        }
        claims_ = std::make_unique<batch::OutputClaims>(pictures_, outputs_);
    }

    int run() {
        const int jobs = o_.jobs ? o_.jobs : std::min(batch::processorCount(), kMaxJobs);
        batch::runInOrder<PictureOutcome>(
            pictures_.size(), jobs, [this](std::size_t i) { return process(i); },
            [this](std::size_t, PictureOutcome& r) { report(r); });
        progress_.show(pictures_.size(), "");
        progress_.clear();
        if (!o_.quiet) {
            const std::string failures = failed_ ? ", " + std::to_string(failed_) + " failed" : "";
            std::fprintf(stderr, "%s: %zu of %zu pictures written to %s in %.1f s%s\n", kProgram, written_,
                         pictures_.size(), o_.output.c_str(), progress_.seconds(), failures.c_str());
        }
        return failed_ ? 1 : 0;
    }

private:
    // Does picture i as far as it goes; its failures end up in its log.
    PictureOutcome process(std::size_t i) {
        showProgress(pictures_[i].filename().string());
        const fs::path& in = pictures_[i];
        const fs::path& out = outputs_[i];
        PictureOutcome r;
        // The picture is done on every path, so that a later one of the same
        // output name never waits for it in vain.
        struct Finish {
            batch::OutputClaims& claims;
            std::size_t i;
            const bool& written;
            ~Finish() { claims.finish(i, written); }
        } finish{*claims_, i, r.written};
        const Reporter report{o_.timings, &r.log};
        try {
            openRegularFile(in.string());  // a FIFO, folder or broken link is named as such
            if (const std::optional<std::string> refusal = claims_->claim(i)) {
                report.error(*refusal);
            } else {
                processPicture(in.string(), out.string(), kind_, o_.steps, report, gui_);
                r.written = true;
            }
        } catch (const FileError& e) {
            report.error(e.what());
        } catch (const PictureFailure& f) {
            report.error(f.message);
        } catch (const std::exception& e) {
            report.error(messageOf(e, in.string()));
        }
        ++finished_;
        return r;
    }

    // Prints what a picture had to say, in its turn.
    void report(const PictureOutcome& r) {
        const std::lock_guard lock(screen_);
        progress_.clear();
        std::fputs(r.log.lines.c_str(), stderr);
        ++(r.written ? written_ : failed_);
        progress_.show(finished_.load(), lastStarted_);
    }

    void showProgress(const std::string& name) {
        const std::lock_guard lock(screen_);
        lastStarted_ = name;
        progress_.show(finished_.load(), name);
    }

    const Options& o_;
    const PictureKind kind_;
    const std::vector<fs::path> pictures_;
    GuiOnDemand& gui_;
    std::vector<fs::path> outputs_;
    std::unique_ptr<batch::OutputClaims> claims_;
    std::mutex screen_;  // the progress bar and the pictures' lines
    Progress progress_;
    std::string lastStarted_;
    std::atomic<std::size_t> finished_{0};
    std::size_t written_ = 0, failed_ = 0;
};

// The folder OUTPUT of a folder run, made if missing; false (and said) when
// it cannot be.
bool outputFolderReady(const Options& o) {
    std::error_code ec;
    if (fs::is_directory(o.output, ec) || fs::create_directories(o.output, ec)) return true;
    std::fprintf(stderr, "%s: %s\n", kProgram,
                 FileError(o.output, "the folder cannot be made (" + ec.message() + ")").what());
    return false;
}

int runFolder(const Options& o, GuiOnDemand& gui) {
    std::error_code ec;
    if (fs::exists(o.output, ec) && !fs::is_directory(o.output, ec))
        throw batch::UsageError(std::string(o.filesFrom ? "With --files-from" : "INPUT is a folder, so") +
                                " OUTPUT must be a folder too: '" + o.output + "' is a file");
    std::vector<fs::path> pictures;
    try {
        pictures = o.filesFrom ? batch::picturesListedIn(*o.filesFrom) : batch::picturesIn(o.input);
    } catch (const fs::filesystem_error& e) {
        std::fprintf(stderr, "%s: %s\n", kProgram,
                     FileError(o.input, "the folder cannot be read (" + e.code().message() + ")").what());
        return 1;
    } catch (const FileError& e) {
        std::fprintf(stderr, "%s: %s\n", kProgram, e.what());
        return 1;
    }
    if (!outputFolderReady(o)) return 1;
    return FolderRun(o, std::move(pictures), gui).run();
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
        return o.filesFrom || fs::is_directory(o.input, ec) ? runFolder(o, gui) : runOne(o, gui);
    } catch (const batch::UsageError& e) {
        std::fprintf(stderr, "%s: %s\nTry '%s --help' for the steps and options.\n", kProgram, e.what(), kProgram);
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", kProgram, e.what());
        return 1;
    }
}
