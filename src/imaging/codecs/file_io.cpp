// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/codecs/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "imaging/picture/errors.h"
#include "imaging/picture/progress.h"

namespace hueline {
namespace {

std::string reasonFor(int err) {
    switch (err) {
    case ENOENT: return "no such file";
    case EACCES:
    case EPERM: return "permission denied";
    case EISDIR: return "it is a folder, not a file";
    case ENOSPC: return "the disk is full";
    case EDQUOT: return "the disk quota is used up";
    case EROFS: return "the disk is read-only";
    case ENAMETOOLONG: return "the name is too long";
    case ENOTDIR: return "a part of the path is not a folder";
    case ELOOP: return "it is a symbolic link that loops back on itself";
    case EFBIG: return "the file is larger than this process may write";
    default: return std::strerror(err);
    }
}

// Why a file of this type is no picture file; empty for a regular file.
std::string notAFile(mode_t mode) {
    if (S_ISREG(mode)) return {};
    if (S_ISDIR(mode)) return reasonFor(EISDIR);
    if (S_ISFIFO(mode)) return "it is a FIFO (named pipe), not a picture file";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "it is a device, not a picture file";
    if (S_ISSOCK(mode)) return "it is a socket, not a picture file";
    return "it is not a regular file";
}

// The reason a name cannot be opened, with a dangling link told apart
// from a missing file.
std::string openFailure(const std::string& path, int err) {
    struct stat st {};
    if (err == ENOENT && ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
        return "it is a symbolic link to a file that does not exist";
    return reasonFor(err);
}

// Closes a descriptor when it goes out of scope.
struct FileDescriptor {
    int fd = -1;
    ~FileDescriptor() {
        if (fd >= 0) ::close(fd);
    }
    int release() {
        const int f = fd;
        fd = -1;
        return f;
    }
};

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
}

// ---- temporary names removed on SIGINT, SIGTERM and SIGHUP --------------

// The names of temporary files that exist at this moment. The signal
// handler reads them, so they are plain character arrays behind atomic
// flags, set and cleared without locks.
struct PendingName {
    std::atomic<bool> taken{false};
    std::atomic<bool> armed{false};
    char name[PATH_MAX];
};
PendingName gPending[8];

extern "C" void removePendingAndStop(int sig) {
    for (PendingName& p : gPending)
        if (p.armed.load()) ::unlink(p.name);
    // The handler was installed to run once (SA_RESETHAND): the signal,
    // raised again, now ends the program as it would have.
    ::raise(sig);
}

// Also ignores SIGXFSZ where the program has no handler of its own, so
// that a file-size limit (ulimit -f) reached during a save fails the write
// with EFBIG, reported, instead of killing the program.
void installInterruptCleanup() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction old {};
        if (::sigaction(SIGXFSZ, nullptr, &old) == 0 && old.sa_handler == SIG_DFL) {
            struct sigaction ignore {};
            ignore.sa_handler = SIG_IGN;
            sigemptyset(&ignore.sa_mask);
            ::sigaction(SIGXFSZ, &ignore, nullptr);
        }
        for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
            struct sigaction old {};
            if (::sigaction(sig, nullptr, &old) != 0 || old.sa_handler != SIG_DFL) continue;
            struct sigaction sa {};
            sa.sa_handler = removePendingAndStop;
            sigemptyset(&sa.sa_mask);
            sa.sa_flags = SA_RESETHAND;
            ::sigaction(sig, &sa, nullptr);
        }
    });
}

// Keeps a temporary file's name where the signal handler finds it, for as
// long as the file has that name.
class PendingRemoval {
public:
    explicit PendingRemoval(const std::string& name) {
        if (name.size() >= PATH_MAX) return;
        for (PendingName& p : gPending) {
            if (p.taken.exchange(true)) continue;
            std::memcpy(p.name, name.c_str(), name.size() + 1);
            p.armed.store(true);
            slot_ = &p;
            return;
        }
    }
    ~PendingRemoval() {
        if (!slot_) return;
        slot_->armed.store(false);
        slot_->taken.store(false);
    }
    PendingRemoval(const PendingRemoval&) = delete;
    PendingRemoval& operator=(const PendingRemoval&) = delete;

private:
    PendingName* slot_ = nullptr;
};

// ---- writing -------------------------------------------------------------

// Where a write to path lands: path itself, or the end of the chain of
// symbolic links it starts (a link to nothing yet names the file to make).
struct Destination {
    std::string path;
    bool exists = false;
    struct stat st {};
};

Destination destinationOf(const std::string& path) {
    Destination d{path};
    for (int hops = 0;; ++hops) {
        if (::lstat(d.path.c_str(), &d.st) != 0) {
            if (errno != ENOENT) throw FileError(path, reasonFor(errno));
            return d;
        }
        if (!S_ISLNK(d.st.st_mode)) break;
        if (hops == 40) throw FileError(path, reasonFor(ELOOP));
        std::string target(std::size_t(d.st.st_size > 0 ? d.st.st_size : PATH_MAX) + 1, '\0');
        const ssize_t n = ::readlink(d.path.c_str(), target.data(), target.size());
        if (n < 0) throw FileError(path, reasonFor(errno));
        target.resize(std::size_t(n));
        d.path = target.front() == '/' ? target : folderOf(d.path) + "/" + target;
    }
    d.exists = true;
    const std::string why = notAFile(d.st.st_mode);
    if (!why.empty()) throw FileError(path, why);
    // Renaming over a file needs only the folder's permission: a file the
    // user may not write is refused as a shell redirect refuses it.
    if (::faccessat(AT_FDCWD, d.path.c_str(), W_OK, AT_EACCESS) != 0 && (errno == EACCES || errno == EPERM))
        throw FileError(path, "it is write-protected");
    return d;
}

void writeAll(int fd, std::span<const std::uint8_t> bytes, const std::string& path) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw FileError(path, reasonFor(errno));
        }
        done += std::size_t(n);
    }
}

// The replaced file's owner, group and permission bits, or for a new file
// the bits a new file gets. A replaced file whose owner we cannot give
// The process's file-creation mask, read once. The kernel tells it in
// /proc/self/status without changing it; only where it does not is the
// mask set and put back, which another thread creating a file at that
// moment could see.
mode_t processUmask() {
    static const mode_t mask = [] {
        if (std::FILE* status = std::fopen("/proc/self/status", "re")) {
            char line[128];
            unsigned value = 0;
            bool found = false;
            while (!found && std::fgets(line, sizeof line, status)) found = std::sscanf(line, "Umask: %o", &value) == 1;
            std::fclose(status);
            if (found) return mode_t(value);
        }
        const mode_t m = ::umask(0);
        ::umask(m);
        return m;
    }();
    return mask;
}

// keeps at least its group where we may, and its bits.
void copyMetadata(int fd, const Destination& d, bool modeFromUmask) {
    if (d.exists) {
        if ((d.st.st_uid != ::geteuid() || d.st.st_gid != ::getegid()) && ::fchown(fd, d.st.st_uid, d.st.st_gid) != 0 &&
            ::fchown(fd, uid_t(-1), d.st.st_gid) != 0) {
            // Neither may be given: the file is ours, with the old bits.
        }
        ::fchmod(fd, d.st.st_mode & 07777);
    } else if (modeFromUmask) {
        ::fchmod(fd, 0666 & ~processUmask());
    }
}

// A name for a temporary file in folder that is unlikely to exist.
std::string temporaryName(const std::string& folder, unsigned attempt) {
    static std::atomic<unsigned> counter{0};
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    char buf[64];
    std::snprintf(buf, sizeof buf, "/.hueline-%d-%u-%llx", int(::getpid()), counter++ + attempt,
                  static_cast<unsigned long long>(now) & 0xFFFFFFull);
    return folder + buf;
}

// Why a file cannot be made in the target's folder: a missing folder is
// named as such rather than as a missing file.
FileError creationFailure(const Destination& d, const std::string& path, int err) {
    if (err == ENOENT) return FileError(path, "the folder " + folderOf(d.path) + " does not exist");
    return FileError(path, reasonFor(err));
}

// Gives the new file every extended attribute of the file it replaces
// (user attributes, the POSIX ACL, security labels), as cp --preserve=all
// does. One that cannot be given fails the save, so that the old file
// with it stays.
void copyExtendedAttributes(int fd, const Destination& d, const std::string& path) {
    if (!d.exists) return;
    ssize_t size = ::listxattr(d.path.c_str(), nullptr, 0);
    if (size <= 0) return;  // none, or a filesystem without them
    std::string names(std::size_t(size), '\0');
    size = ::listxattr(d.path.c_str(), names.data(), names.size());
    if (size < 0) throw FileError(path, "its extended attributes cannot be read (" + reasonFor(errno) + ")");
    names.resize(std::size_t(size));
    std::vector<char> value;
    for (std::size_t at = 0; at < names.size(); at += std::strlen(names.c_str() + at) + 1) {
        const char* name = names.c_str() + at;
        ssize_t n = ::getxattr(d.path.c_str(), name, nullptr, 0);
        if (n >= 0) {
            value.resize(std::size_t(n));
            n = ::getxattr(d.path.c_str(), name, value.data(), value.size());
        }
        if (n < 0 || ::fsetxattr(fd, name, value.data(), std::size_t(n), 0) != 0)
            throw FileError(path, "its extended attribute " + std::string(name) + " cannot be kept (" +
                                      reasonFor(errno) + "), so the file was not replaced");
    }
}

// Puts the written file under the target's name, and syncs the folder so
// that the new name survives a crash.
void moveIntoPlace(const std::string& tmp, const Destination& d, const std::string& path) {
    if (::rename(tmp.c_str(), d.path.c_str()) != 0) throw FileError(path, reasonFor(errno));
    FileDescriptor folder{::open(folderOf(d.path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (folder.fd >= 0) ::fsync(folder.fd);
}

void closeChecked(FileDescriptor& f, const std::string& path) {
    if (::fsync(f.fd) != 0) throw FileError(path, reasonFor(errno));
    if (::close(f.release()) != 0) throw FileError(path, reasonFor(errno));
}

// Writes into a file with no name (O_TMPFILE); false when the filesystem
// cannot make one, and nothing was done.
bool writeUnnamed(const Destination& d, std::span<const std::uint8_t> bytes, const std::string& path) {
    const std::string folder = folderOf(d.path);
    FileDescriptor f{::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666)};
    if (f.fd < 0) {
        if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) return false;
        throw creationFailure(d, path, errno);
    }
    writeAll(f.fd, bytes, path);
    copyMetadata(f.fd, d, false);
    copyExtendedAttributes(f.fd, d, path);
    if (::fsync(f.fd) != 0) throw FileError(path, reasonFor(errno));
    const std::string self = "/proc/self/fd/" + std::to_string(f.fd);
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        const std::string tmp = temporaryName(folder, attempt);
        PendingRemoval pending(tmp);
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, tmp.c_str(), AT_SYMLINK_FOLLOW) != 0) {
            if (errno == EEXIST) continue;
            if (errno == ENOENT && attempt == 0) return false;  // no /proc: write it again with a name
            throw FileError(path, reasonFor(errno));
        }
        try {
            moveIntoPlace(tmp, d, path);
        } catch (...) {
            ::unlink(tmp.c_str());
            throw;
        }
        return true;
    }
    throw FileError(path, "no temporary name was free in its folder");
}

// Writes into a hidden temporary file, removed on every failure.
void writeNamed(const Destination& d, std::span<const std::uint8_t> bytes, const std::string& path) {
    std::string tmp = folderOf(d.path) + "/.hueline-XXXXXX";
    FileDescriptor f{::mkstemp(tmp.data())};
    if (f.fd < 0) throw creationFailure(d, path, errno);
    PendingRemoval pending(tmp);
    try {
        writeAll(f.fd, bytes, path);
        copyMetadata(f.fd, d, true);
        copyExtendedAttributes(f.fd, d, path);
        closeChecked(f, path);
        moveIntoPlace(tmp, d, path);
    } catch (...) {
        ::unlink(tmp.c_str());
        throw;
    }
}

// Reads up to size bytes of the file into to, reporting progress between
// chunks; returns how many there were (fewer when the file shrank while
// it was read).
std::size_t readAll(const ReadableFile& f, std::uint8_t* to, std::size_t size, const std::string& path) {
    constexpr std::size_t kChunk = 4u << 20;
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(f.fd(), to + done, std::min(kChunk, size - done));
        if (n < 0) {
            if (errno == EINTR) continue;
            throw FileError(path, reasonFor(errno));
        }
        if (n == 0) break;
        done += std::size_t(n);
        reportProgress(double(done) / double(size));
    }
    return done;
}

}  // namespace

ReadableFile::~ReadableFile() {
    if (fd_ >= 0) ::close(fd_);
}

ReadableFile openRegularFile(const std::string& path) {
    // The type is looked at before the file is opened, so that opening
    // cannot wait on a FIFO or wake a device; and again after, for a file
    // that was swapped in between.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) throw FileError(path, openFailure(path, errno));
    std::string why = notAFile(st.st_mode);
    if (!why.empty()) throw FileError(path, why);
    FileDescriptor f{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY)};
    if (f.fd < 0) throw FileError(path, openFailure(path, errno));
    if (::fstat(f.fd, &st) != 0) throw FileError(path, reasonFor(errno));
    why = notAFile(st.st_mode);
    if (!why.empty()) throw FileError(path, why);
    if (std::uint64_t(st.st_size) > kMaxFileBytes) throw FileError(path, "the file is larger than 1 GB");
    ::fcntl(f.fd, F_SETFL, ::fcntl(f.fd, F_GETFL) & ~O_NONBLOCK);
    return ReadableFile(f.release(), std::uint64_t(st.st_size));
}

std::vector<std::uint8_t> readFileBytes(const std::string& path) {
    const ReadableFile f = openRegularFile(path);
    std::vector<std::uint8_t> bytes(std::size_t(f.size()));
    bytes.resize(readAll(f, bytes.data(), bytes.size(), path));
    return bytes;
}

PictureBytes readFileToPictureMemory(const std::string& path) {
    const ReadableFile f = openRegularFile(path);
    PictureBytes bytes(std::size_t(f.size()));
    bytes.shrink(readAll(f, bytes.data(), bytes.size(), path));
    return bytes;
}

void writeFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes) {
    installInterruptCleanup();
    const Destination d = destinationOf(path);
    if (!writeUnnamed(d, bytes, path)) writeNamed(d, bytes, path);
}

}  // namespace hueline
