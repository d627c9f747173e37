// SPDX-License-Identifier: GPL-3.0-or-later
// The pictures of a folder run and where each may be written.
#pragma once

#include <sys/types.h>

#include <compare>
#include <condition_variable>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>

namespace hueline::batch {

// The pictures of a folder run, taken one at a time in their order.
class PictureSource {
public:
    virtual ~PictureSource() = default;
    // The next picture, or nothing after the last. Throws FileError.
    virtual std::optional<std::filesystem::path> next() = 0;
    // How many pictures there are, where that is known before they are read.
    virtual std::optional<std::size_t> total() const = 0;
    // Hands every picture known before the run to seen: all of a folder's
    // and of a list in a file, none of a list read from standard input.
    virtual void forEachKnown(const std::function<void(const std::filesystem::path&)>& seen) = 0;
};

// The entries of a folder whose names are those of pictures, sorted.
// Nothing is opened or followed here: an entry that is no picture file
// (a folder, a FIFO, a link to nothing or to itself) is found out, and
// reported, when it is opened. Throws filesystem_error.
std::unique_ptr<PictureSource> picturesIn(const std::string& folder);

// The longest line of a list of pictures.
inline constexpr std::size_t kMaxListLine = 4096;

// The pictures a list names, one a line, in its order, read as they are
// taken: an endless list is worked through, never held. Empty lines are
// passed over and a carriage return ending a line (a list written on
// Windows) is no part of the name. "-" reads standard input. A list in a
// file is read once more ahead for forEachKnown. Throws
// FileError when the list cannot be opened, and from next() when it cannot
// be read or a line is longer than kMaxListLine bytes (naming its number).
std::unique_ptr<PictureSource> picturesListedIn(const std::string& list);

// A file as the system knows it, whatever names lead to it.
struct FileId {
    dev_t device;
    ino_t inode;
    auto operator<=>(const FileId&) const = default;
};

// Which outputs of a folder run may be written. An output is never one of
// the inputs, nor a file this run has written already: both compared as
// files, so links and other names of the same file count. Pictures are
// taken in their order, as on one thread: a picture whose output is the
// same file as an earlier picture's waits until that one is done, and is
// refused if it was written.
class OutputClaims {
public:
    // Picture i (each i once, in ascending order, before it is claimed,
    // and from one thread) reads picture and would write output.
    void add(std::size_t i, const std::filesystem::path& picture, const std::filesystem::path& output);
    // A picture of the run known before it is added, never to be written over.
    void addInput(const std::filesystem::path& picture);

    // Why picture i may not be written, or nothing when it may. Every
    // picture added must come to finish(), claimed or not, refused or not.
    std::optional<std::string> claim(std::size_t i);

    // Picture i is done, with its output written or not.
    void finish(std::size_t i, bool written);

private:
    struct Pending {
        std::filesystem::path picture, output;
        std::string file;                      // the output as a file: see fileKey
        std::optional<std::size_t> earlier;    // the last earlier picture with the same output file
    };
    std::optional<std::string> refusal(const Pending& p) const;
    std::string fileKey(const std::filesystem::path& output);

    std::pair<std::filesystem::path, std::filesystem::path> lastFolder_;  // a folder and its full name

    std::map<std::size_t, Pending> pending_;       // added and not yet finished
    std::map<std::string, std::size_t> lastFor_;   // the last picture added for each output file
    std::set<FileId> inputs_;
    std::map<std::string, std::pair<std::string, std::string>> written_;  // output file: input and output names
    std::mutex mutex_;
    std::condition_variable changed_;
};

}  // namespace hueline::batch
