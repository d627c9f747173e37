// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch/folder_pictures.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <utility>

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

// Why out may not be written, or nothing when it may: it is one of the
// inputs, or this run has written it already.
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

}  // namespace

std::vector<fs::path> picturesIn(const std::string& folder) {
    std::vector<fs::path> pictures;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder))
        if (kindFromName(entry.path().filename().string()) != PictureKind::Unknown) pictures.push_back(entry.path());
    std::sort(pictures.begin(), pictures.end());
    return pictures;
}

std::vector<fs::path> picturesListedIn(const std::string& list) {
    std::ifstream file;
    if (list != "-") {
        std::error_code ec;
        if (fs::is_directory(list, ec)) throw FileError(list, "it is a folder, not a list of pictures");
        file.open(list);
        if (!file) throw FileError(list, std::string("the list cannot be read (") + std::strerror(errno) + ")");
    }
    std::istream& in = list == "-" ? std::cin : file;
    std::vector<fs::path> pictures;
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) pictures.emplace_back(line);
    if (in.bad()) throw FileError(list == "-" ? "standard input" : list, "the list cannot be read");
    return pictures;
}

OutputClaims::OutputClaims(const std::vector<fs::path>& pictures, const std::vector<fs::path>& outputs)
    : pictures_(pictures), outputs_(outputs), earlier_(outputs.size(), kNone), done_(outputs.size(), false) {
    for (const fs::path& in : pictures)
        if (const std::optional<FileId> id = fileIdOf(in.string())) inputs_.insert(*id);
    std::map<std::string, std::size_t> last;
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        const auto [it, first] = last.try_emplace(outputs[i].string(), i);
        if (!first) earlier_[i] = std::exchange(it->second, i);
    }
}

std::optional<std::string> OutputClaims::claim(std::size_t i) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return earlier_[i] == kNone || done_[earlier_[i]]; });
    return refusalFor(pictures_[i], outputs_[i], inputs_, written_);
}

void OutputClaims::finish(std::size_t i, bool written) {
    const std::lock_guard lock(mutex_);
    if (written) written_.emplace(outputs_[i].string(), pictures_[i].string());
    done_[i] = true;
    changed_.notify_all();
}

}  // namespace hueline::batch
