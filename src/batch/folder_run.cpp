// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch/folder_run.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "batch/folder_pictures.h"
#include "batch/memory_plan.h"
#include "batch/ordered_run.h"
#include "batch/picture_run.h"
#include "batch/progress.h"
#include "imaging/codecs/file_io.h"
#include "imaging/picture/errors.h"

namespace fs = std::filesystem;

namespace hueline::batch {
namespace {

// One picture of a folder run: where it is read and where it goes.
struct PictureJob {
    fs::path in, out;
};

// How one picture of a folder run went.
struct PictureOutcome {
    PictureLog log;
    bool written = false;
};

// Every picture of a folder or a list into the folder OUTPUT, N at a time
// within the memory budget, each in a workspace of its own. Pictures are
// taken from their source only as the workers come to them; lines are
// printed picture by picture in the order of the pictures.
class FolderRun {
public:
    FolderRun(const Options& o, std::unique_ptr<PictureSource> source, GuiOnDemand& gui)
        : o_(o), kind_(o.format.value_or(PictureKind::Jpeg)), extension_(savedExtension(kind_)),
          source_(std::move(source)), gui_(gui),
          progress_(!o.quiet && isatty(2), source_->total().value_or(Progress::kUnknown)) {
        source_->forEachKnown([this](const fs::path& in) { claims_.addInput(in); });
    }

    int run() {
        const RunLimits limits{o_.jobs ? o_.jobs : std::min(processorCount(), kMaxJobs),
                               o_.memory.value_or(defaultMemoryBudget())};
        std::optional<std::string> listFailure;
        try {
            runInOrder<PictureJob, PictureOutcome>(
                limits, [this] { return take(); }, [this](const PictureJob& job) { return memoryFor(job.in.string(), o_.steps.size()); },
                [this](std::size_t i, PictureJob& job) { return process(i, job); },
                [this](std::size_t, PictureOutcome& r) { report(r); });
        } catch (const FileError& e) {
            listFailure = e.what();  // the list could not be read on
        }
        progress_.setTotal(taken_);
        progress_.show(taken_, "");
        progress_.clear();
        if (listFailure) std::fprintf(stderr, "%s: %s\n", kProgram, listFailure->c_str());
        if (!o_.quiet) {
            const std::string failures = failed_ ? ", " + std::to_string(failed_) + " failed" : "";
            std::fprintf(stderr, "%s: %zu of %zu pictures written to %s in %.1f s%s\n", kProgram, written_, taken_,
                         o_.output.c_str(), progress_.seconds(), failures.c_str());
        }
        return failed_ || listFailure ? 1 : 0;
    }

private:
    // The next picture from the source, on the main thread, which makes
    // Qt's application object when a picture needs it.
    std::optional<PictureJob> take() {
        const std::optional<fs::path> in = source_->next();
        if (!in) return std::nullopt;
        PictureJob job{*in, fs::path(o_.output) / (in->stem().string() + extension_)};
        gui_.ensureFor(job.in.string());
        claims_.add(taken_++, job.in, job.out);
        return job;
    }

    // Does picture i as far as it goes; its failures end up in its log.
    PictureOutcome process(std::size_t i, const PictureJob& job) {
        showProgress(job.in.filename().string());
        PictureOutcome r;
        // The picture is done on every path, so that a later one of the same
        // output never waits for it in vain.
        struct Finish {
            OutputClaims& claims;
            std::size_t i;
            const bool& written;
            ~Finish() { claims.finish(i, written); }
        } finish{claims_, i, r.written};
        const Reporter report{o_.timings, &r.log};
        try {
            openRegularFile(job.in.string());  // a FIFO, folder or broken link is named as such
            if (const std::optional<std::string> refusal = claims_.claim(i)) {
                report.error(*refusal);
            } else {
                processPicture(job.in.string(), job.out.string(), kind_, o_.steps, report, gui_);
                r.written = true;
            }
        } catch (const FileError& e) {
            report.error(e.what());
        } catch (const PictureFailure& f) {
            report.error(f.message);
        } catch (const std::exception& e) {
            report.error(messageOf(e, job.in.string()));
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
    const std::string extension_;
    std::unique_ptr<PictureSource> source_;
    GuiOnDemand& gui_;
    OutputClaims claims_;
    std::mutex screen_;  // the progress bar and the pictures' lines
    Progress progress_;
    std::string lastStarted_;
    std::size_t taken_ = 0;
    std::atomic<std::size_t> finished_{0};
    std::size_t written_ = 0, failed_ = 0;
};

// The folder OUTPUT of a folder run, made if missing; false (and said) when
// it cannot be.
bool outputFolderReady(const Options& o) {
    std::error_code ec, probe;
    // Another run of the same list may make the folder between the two
    // calls: it is ready whoever made it.
    fs::create_directories(o.output, ec);
    if (fs::is_directory(o.output, probe)) return true;
    std::fprintf(stderr, "%s: %s\n", kProgram,
                 FileError(o.output, "the folder cannot be made (" + ec.message() + ")").what());
    return false;
}

}  // namespace

int runFolder(const Options& o, GuiOnDemand& gui) {
    std::error_code ec;
    if (fs::exists(o.output, ec) && !fs::is_directory(o.output, ec))
        throw UsageError(std::string(o.filesFrom ? "With --files-from" : "INPUT is a folder, so") +
                                " OUTPUT must be a folder too: '" + o.output + "' is a file");
    std::unique_ptr<PictureSource> pictures;
    try {
        pictures = o.filesFrom ? picturesListedIn(*o.filesFrom) : picturesIn(o.input);
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

}  // namespace hueline::batch
