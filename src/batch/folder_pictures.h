// SPDX-License-Identifier: GPL-3.0-or-later
// The pictures of a folder run and where each may be written.
#pragma once

#include <sys/types.h>

#include <compare>
#include <condition_variable>
#include <cstddef>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace hueline::batch {

// The entries of a folder whose names are those of pictures, sorted.
// Nothing is opened or followed here: an entry that is no picture file
// (a folder, a FIFO, a link to nothing or to itself) is found out, and
// reported, when it is opened. Throws filesystem_error.
std::vector<std::filesystem::path> picturesIn(const std::string& folder);

// The pictures a list names, one a line, in its order; empty lines are
// passed over. "-" reads standard input. Throws FileError.
std::vector<std::filesystem::path> picturesListedIn(const std::string& list);

// A file as the system knows it, whatever names lead to it.
struct FileId {
    dev_t device;
    ino_t inode;
    auto operator<=>(const FileId&) const = default;
};

// Which outputs of a folder run may be written. An output is never one of
// the inputs (compared as files, so links and other names of the same file
// count). Names are taken in the order of the pictures, as on one thread:
// a picture whose output name an earlier picture has too waits until that
// one is done, and is refused if it was written.
class OutputClaims {
public:
    // outputs[i] is where pictures[i] would be written; both lists must
    // outlive the claims.
    OutputClaims(const std::vector<std::filesystem::path>& pictures, const std::vector<std::filesystem::path>& outputs);

    // Why picture i may not be written, or nothing when it may. Every
    // picture must come to finish(), claimed or not, refused or not.
    std::optional<std::string> claim(std::size_t i);

    // Picture i is done, with its output written or not.
    void finish(std::size_t i, bool written);

private:
    static constexpr std::size_t kNone = std::size_t(-1);
    const std::vector<std::filesystem::path>& pictures_;
    const std::vector<std::filesystem::path>& outputs_;
    std::set<FileId> inputs_;
    std::vector<std::size_t> earlier_;  // the last earlier picture with the same output
    std::vector<bool> done_;
    std::map<std::string, std::string> written_;  // outputs written, and from which input
    std::mutex mutex_;
    std::condition_variable changed_;
};

}  // namespace hueline::batch
