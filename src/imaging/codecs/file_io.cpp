// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/codecs/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "imaging/picture/errors.h"

namespace hueline {
namespace {

std::string reasonFor(int err) {
    switch (err) {
    case ENOENT: return "no such file";
    case EACCES:
    case EPERM: return "permission denied";
    case EISDIR: return "it is a folder, not a file";
    case ENOSPC: return "the disk is full";
    case EROFS: return "the disk is read-only";
    case ENAMETOOLONG: return "the name is too long";
    case ENOTDIR: return "a part of the path is not a folder";
    default: return std::strerror(err);
    }
}

// Closes a descriptor when it goes out of scope.
struct FileDescriptor {
    int fd = -1;
    ~FileDescriptor() {
        if (fd >= 0) ::close(fd);
    }
};

}  // namespace

std::string baseName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::vector<std::uint8_t> readFileBytes(const std::string& path) {
    FileDescriptor f{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
    if (f.fd < 0) throw FileError(path, reasonFor(errno));
    struct stat st {};
    if (::fstat(f.fd, &st) != 0) throw FileError(path, reasonFor(errno));
    if (S_ISDIR(st.st_mode)) throw FileError(path, reasonFor(EISDIR));
    if (!S_ISREG(st.st_mode)) throw FileError(path, "not a regular file");
    if (std::uint64_t(st.st_size) > kMaxFileBytes) throw FileError(path, "the file is larger than 1 GB");
    std::vector<std::uint8_t> bytes(std::size_t(st.st_size));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(f.fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw FileError(path, reasonFor(errno));
        }
        if (n == 0) break;  // the file shrank while we read it
        done += std::size_t(n);
    }
    bytes.resize(done);
    return bytes;
}

void writeFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes) {
    const auto slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    std::string tmp = folder + "/.hueline-XXXXXX";
    FileDescriptor f{::mkstemp(tmp.data())};
    if (f.fd < 0) throw FileError(path, reasonFor(errno));
    // Removes the temporary file unless it was renamed into place.
    struct Cleanup {
        const std::string& name;
        bool keep = false;
        ~Cleanup() {
            if (!keep) ::unlink(name.c_str());
        }
    } cleanup{tmp};

    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(f.fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw FileError(path, reasonFor(errno));
        }
        done += std::size_t(n);
    }
    // Pictures are ordinary user files: rw for the user, read for others,
    // as the umask allows (mkstemp made it private).
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(f.fd, 0666 & ~mask);
    if (::fsync(f.fd) != 0) throw FileError(path, reasonFor(errno));
    const int fd = f.fd;
    f.fd = -1;
    if (::close(fd) != 0) throw FileError(path, reasonFor(errno));
    if (::rename(tmp.c_str(), path.c_str()) != 0) throw FileError(path, reasonFor(errno));
    cleanup.keep = true;
}

}  // namespace hueline
