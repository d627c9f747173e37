// SPDX-License-Identifier: GPL-3.0-or-later
// Whole-file reading and safe writing for the picture codecs.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "imaging/picture/memory.h"

namespace hueline {

// The largest picture file the program reads at all.
inline constexpr std::uint64_t kMaxFileBytes = 1ULL << 30;

// An open descriptor of a regular file, closed when it goes.
class ReadableFile {
public:
    ReadableFile(const ReadableFile&) = delete;
    ReadableFile& operator=(const ReadableFile&) = delete;
    ReadableFile(ReadableFile&& other) noexcept : fd_(other.fd_), size_(other.size_) { other.fd_ = -1; }
    ~ReadableFile();

    int fd() const { return fd_; }
    std::uint64_t size() const { return size_; }

private:
    ReadableFile(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
    int fd_;
    std::uint64_t size_;
    friend ReadableFile openRegularFile(const std::string& path);
};

// Opens a file for reading without ever waiting: a FIFO, a device or a
// folder under a picture's name is refused before anything is read from
// it. Throws FileError naming the file: "no such file", "it is a folder,
// not a file", "it is a FIFO, not a picture file", "permission denied",
// "the file is larger than 1 GB", ...
ReadableFile openRegularFile(const std::string& path);

// Reads a whole file, reporting progress while it reads (see progress.h).
// Throws FileError as openRegularFile does, or with the reason of a read
// that fails.
std::vector<std::uint8_t> readFileBytes(const std::string& path);
// The same into picture memory, for the readers of picture files: a photo
// opened again and again reuses the pages it was read into last time.
PictureBytes readFileToPictureMemory(const std::string& path);

// Writes bytes so that the file of that name holds either its old content
// or all of the new one, whatever happens:
// - the bytes go to an unnamed file (or, where the filesystem cannot make
//   one, a hidden temporary) in the target's folder, which then replaces
//   the target in one rename, and the folder is synced after it;
// - a symbolic link is followed: its target is replaced and the link stays;
// - a replaced file's permission bits (and owner and group, where the
//   process may set them) and every extended attribute (its ACL among
//   them) pass to the new file; an attribute that cannot be given fails
//   the save; a new file gets the usual bits the umask leaves;
// - a file the process may not write is not replaced ("it is
//   write-protected"), though its folder would allow the rename;
// - a file-size limit reached fails the save with its reason instead of
//   ending the program (SIGXFSZ is ignored from the first write on);
// - no temporary file is left behind on a failure, nor when the program
//   is stopped by SIGINT or SIGTERM during the write (the first write
//   installs handlers for those where the program has none of its own).
// Throws FileError naming the file and the reason.
void writeFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes);

}  // namespace hueline
