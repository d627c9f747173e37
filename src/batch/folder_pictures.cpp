// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch/folder_pictures.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "imaging/picture/errors.h"
#include "imaging/picture/picture_kind.h"

namespace fs = std::filesystem;

namespace hueline::batch {
namespace {

// The file a name leads to (through links), if it leads to one.
std::optional<FileId> fileIdOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return FileId{st.st_dev, st.st_ino};
}

std::string keyOf(const FileId& id) { return "file " + std::to_string(id.device) + ":" + std::to_string(id.inode); }

// The end of the chain of links that starts at path (path itself when it
// is no link): where a file written to path lands.
fs::path endOfLinks(const fs::path& path) {
    fs::path p = path;
    std::error_code ec;
    for (int hops = 0; hops < 40 && fs::is_symlink(fs::symlink_status(p, ec)); ++hops) {
        const fs::path target = fs::read_symlink(p, ec);
        if (ec) break;
        p = target.is_absolute() ? target : p.parent_path() / target;
    }
    return p;
}

class FolderSource : public PictureSource {
public:
    explicit FolderSource(const std::string& folder) {
        for (const fs::directory_entry& entry : fs::directory_iterator(folder))
            if (kindFromName(entry.path().filename().string()) != PictureKind::Unknown) pictures_.push_back(entry.path());
        std::sort(pictures_.begin(), pictures_.end());
    }
    std::optional<fs::path> next() override {
        if (next_ == pictures_.size()) return std::nullopt;
        return pictures_[next_++];
    }
    std::optional<std::size_t> total() const override { return pictures_.size(); }
    void forEachKnown(const std::function<void(const fs::path&)>& seen) override {
        for (const fs::path& p : pictures_) seen(p);
    }

private:
    std::vector<fs::path> pictures_;
    std::size_t next_ = 0;
};

struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f && f != stdin) std::fclose(f);
    }
};

class ListSource : public PictureSource {
public:
    explicit ListSource(const std::string& list) : name_(list == "-" ? "standard input" : list) {
        if (list == "-") {
            file_.reset(stdin);
            return;
        }
        std::error_code ec;
        if (fs::is_directory(list, ec)) throw FileError(list, "it is a folder, not a list of pictures");
        file_.reset(std::fopen(list.c_str(), "re"));
        if (!file_) throw FileError(list, std::string("the list cannot be read (") + std::strerror(errno) + ")");
    }

    std::optional<fs::path> next() override {
        for (std::string line; readLine(line);)
            if (!line.empty()) return fs::path(line);
        return std::nullopt;
    }
    std::optional<std::size_t> total() const override { return std::nullopt; }

    // A list in a regular file is read through once and then again from
    // its start; one on standard input or a pipe only as it is taken.
    void forEachKnown(const std::function<void(const fs::path&)>& seen) override {
        struct stat st {};
        if (file_.get() == stdin || ::fstat(::fileno(file_.get()), &st) != 0 || !S_ISREG(st.st_mode)) return;
        try {
            for (std::optional<fs::path> p; (p = next());) seen(*p);
        } catch (const FileError&) {
            // Said in its turn, when the run comes to it.
        }
        std::rewind(file_.get());
        number_ = 0;
    }

private:
    // The next line without its end; false at the end of the list.
    bool readLine(std::string& line) {
        int c = EOF;
        while ((c = std::getc(file_.get())) != EOF && c != '\n') {
            if (line.size() == kMaxListLine)
                throw FileError(name_, "line " + std::to_string(number_ + 1) + " is longer than 4,096 bytes");
            line.push_back(char(c));
        }
        if (std::ferror(file_.get())) throw FileError(name_, "the list cannot be read");
        if (c == EOF && line.empty()) return false;
        ++number_;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return true;
    }

    std::string name_;
    std::unique_ptr<std::FILE, FileCloser> file_;
    std::size_t number_ = 0;
};

}  // namespace

std::unique_ptr<PictureSource> picturesIn(const std::string& folder) { return std::make_unique<FolderSource>(folder); }

std::unique_ptr<PictureSource> picturesListedIn(const std::string& list) { return std::make_unique<ListSource>(list); }

void OutputClaims::addInput(const fs::path& picture) {
    const std::optional<FileId> id = fileIdOf(picture.string());
    const std::lock_guard lock(mutex_);
    if (id) inputs_.insert(*id);
}

// What an output is as a file: the file it leads to, or where the file
// would be made (the end of its links, in full) when there is none yet.
// The outputs of a run mostly share one folder, so the last folder's full
// name is kept.
std::string OutputClaims::fileKey(const fs::path& output) {
    if (const std::optional<FileId> id = fileIdOf(output.string())) return keyOf(*id);
    const fs::path end = endOfLinks(output);
    if (end.parent_path() != lastFolder_.first) {
        std::error_code ec;
        const fs::path full = fs::weakly_canonical(end.parent_path(), ec);
        lastFolder_ = {end.parent_path(), ec ? end.parent_path() : full};
    }
    return "name " + (lastFolder_.second / end.filename()).string();
}

void OutputClaims::add(std::size_t i, const fs::path& picture, const fs::path& output) {
    Pending p{picture, output, fileKey(output), std::nullopt};
    const std::lock_guard lock(mutex_);
    if (const std::optional<FileId> id = fileIdOf(picture.string())) inputs_.insert(*id);
    const auto [it, first] = lastFor_.try_emplace(p.file, i);
    if (!first) p.earlier = std::exchange(it->second, i);
    pending_.emplace(i, std::move(p));
}

std::optional<std::string> OutputClaims::claim(std::size_t i) {
    std::unique_lock lock(mutex_);
    const Pending& p = pending_.at(i);
    changed_.wait(lock, [&] { return !p.earlier || !pending_.count(*p.earlier); });
    return refusal(p);
}

// Why p's output may not be written, or nothing when it may: it is one of
// the inputs, or this run has written it already.
std::optional<std::string> OutputClaims::refusal(const Pending& p) const {
    const std::string in = p.picture.string(), out = p.output.string();
    const std::optional<FileId> target = fileIdOf(out);
    auto it = written_.find(p.file);
    if (it == written_.end() && target) it = written_.find(keyOf(*target));
    if (it != written_.end() && it->second.second == out)
        return in + ": not written, since " + out + " was already written from " + it->second.first +
               ", another picture of the same name";
    if (it != written_.end())
        return in + ": not written, since " + out + " is the file " + it->second.second + ", already written from " +
               it->second.first;
    if (!target || !inputs_.count(*target)) return std::nullopt;
    if (target == fileIdOf(in))
        return in + ": not written, since " + out + " is this picture itself and would be replaced";
    return in + ": not written, since " + out + " is one of the input pictures and would be replaced";
}

void OutputClaims::finish(std::size_t i, bool written) {
    const std::lock_guard lock(mutex_);
    const auto it = pending_.find(i);
    if (it == pending_.end()) return;
    const Pending& p = it->second;
    if (written) {
        const std::pair<std::string, std::string> names{p.picture.string(), p.output.string()};
        written_.emplace(p.file, names);
        if (const std::optional<FileId> id = fileIdOf(p.output.string())) written_.emplace(keyOf(*id), names);
    }
    if (const auto last = lastFor_.find(p.file); last != lastFor_.end() && last->second == i) lastFor_.erase(last);
    pending_.erase(it);
    changed_.notify_all();
}

}  // namespace hueline::batch
