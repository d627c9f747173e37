// SPDX-License-Identifier: GPL-3.0-or-later
// Reading and writing picture files safely: a name that is no regular file
// is refused without waiting on it, and a save keeps what the user had
// (links, permission bits, the old file on failure) and leaves no
// temporary file behind, not even when the program is stopped mid-write.
#include <gtest/gtest.h>

#include <pwd.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "imaging/codecs/bmp_codec.h"
#include "imaging/codecs/file_io.h"
#include "imaging/codecs/jpeg_codec.h"
#include "imaging/picture/errors.h"

namespace hueline {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// A fresh folder of its own for each test, removed afterwards.
class FileIo : public ::testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/hueline-file-io-XXXXXX";
        ASSERT_NE(::mkdtemp(name), nullptr);
        dir_ = name;
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string at(const std::string& name) const { return (dir_ / name).string(); }
    // Every entry of the folder, hidden ones included.
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    fs::path dir_;
};

std::string refusal(const std::function<void()>& read) {
    try {
        read();
    } catch (const FileError& e) {
        return e.reason();
    }
    return "";
}

TEST_F(FileIo, NamesThatAreNoRegularFileAreRefusedWithoutWaiting) {
    ASSERT_EQ(::mkfifo(at("pipe.bmp").c_str(), 0600), 0);
    fs::create_directory(at("folder.jpg"));
    fs::create_symlink("nowhere.bmp", at("dangling.bmp"));
    fs::create_symlink("loop.bmp", at("loop.bmp"));
    // Each of these would block, or fail in some other way, if it were
    // opened as a file: no writer ever comes to the FIFO.
    EXPECT_EQ(refusal([&] { readBmpFile(at("pipe.bmp")); }), "it is a FIFO (named pipe), not a picture file");
    EXPECT_EQ(refusal([&] { readFileBytes(at("pipe.bmp")); }), "it is a FIFO (named pipe), not a picture file");
    EXPECT_EQ(refusal([&] { readJpegFile(at("folder.jpg")); }), "it is a folder, not a file");
    EXPECT_EQ(refusal([&] { readBmpFile(at("dangling.bmp")); }), "it is a symbolic link to a file that does not exist");
    EXPECT_EQ(refusal([&] { readBmpFile(at("loop.bmp")); }), "it is a symbolic link that loops back on itself");
    EXPECT_EQ(refusal([&] { readBmpFile("/dev/zero"); }), "it is a device, not a picture file");
}

TEST_F(FileIo, SavingThroughALinkReplacesItsTargetAndKeepsPermissionBits) {
    const std::string target = at("private.bmp"), link = at("link.bmp");
    const Bytes old(100, 1), fresh(300, 2);
    writeFileAtomically(target, old);
    ASSERT_EQ(::chmod(target.c_str(), 0600), 0);
    fs::create_symlink("private.bmp", link);

    writeFileAtomically(link, fresh);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(readFileBytes(target), fresh);
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    // A link to a file not yet there makes that file; a new file gets the
    // usual bits the umask leaves.
    fs::create_symlink("made.bmp", at("to-be-made.bmp"));
    const mode_t mask = ::umask(022);
    writeFileAtomically(at("to-be-made.bmp"), fresh);
    ::umask(mask);
    EXPECT_TRUE(fs::is_symlink(at("to-be-made.bmp")));
    ASSERT_EQ(::stat(at("made.bmp").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
    EXPECT_EQ(entries(), (std::vector<std::string>{"link.bmp", "made.bmp", "private.bmp", "to-be-made.bmp"}));
}

TEST_F(FileIo, AFailedSaveKeepsTheOldFileAndLeavesNothingBehind) {
    const std::string target = at("keep.jpg");
    const Bytes old(50, 7);
    writeFileAtomically(target, old);
    // A FIFO under the name is not the user's picture to replace.
    ASSERT_EQ(::mkfifo(at("pipe.jpg").c_str(), 0600), 0);
    EXPECT_EQ(refusal([&] { writeFileAtomically(at("pipe.jpg"), old); }), "it is a FIFO (named pipe), not a picture file");
    if (::geteuid() != 0) {  // root writes into read-only folders
        ASSERT_EQ(::chmod(dir_.c_str(), 0500), 0);
        EXPECT_EQ(refusal([&] { writeFileAtomically(target, Bytes(80, 9)); }), "permission denied");
        ASSERT_EQ(::chmod(dir_.c_str(), 0700), 0);
    }
    EXPECT_EQ(readFileBytes(target), old);
    EXPECT_EQ(entries(), (std::vector<std::string>{"keep.jpg", "pipe.jpg"}));
}

TEST_F(FileIo, ASaveStoppedBySigtermOrSigintLeavesNoTemporaryFile) {
    const std::string target = at("big.bmp");
    const Bytes big(48u << 20, 0x5A);
    writeFileAtomically(target, big);
    for (const int sig : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(sig);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // Saves over and over until stopped, as a user's Ctrl+C finds
            // the program in the middle of one save or another.
            for (;;) writeFileAtomically(target, big);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ASSERT_EQ(::kill(child, sig), 0);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig);
        // Only the target, whole.
        EXPECT_EQ(entries(), std::vector<std::string>{"big.bmp"});
        EXPECT_EQ(fs::file_size(target), big.size());
    }
}

// Runs what in a child process as the user nobody (the rules of
// permissions do not hold for root) and gives its exit status; -1 when
// there is no such user. The folder is given to nobody first.
int asNobody(const fs::path& dir, const std::function<int()>& what) {
    const passwd* nobody = ::getpwnam("nobody");
    if (!nobody) return -1;
    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0 && (::chown(dir.c_str(), nobody->pw_uid, nobody->pw_gid) != 0 ||
                                 ::setgid(nobody->pw_gid) != 0 || ::setuid(nobody->pw_uid) != 0))
            ::_exit(100);
        ::_exit(what());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 200;
}

// The access ACL "user::rw-, user:nobody:rw-, group::---, mask::rw-,
// other::---" as the kernel stores it.
std::string aclForNobody(uid_t nobody) {
    const std::uint16_t tags[] = {0x01, 0x02, 0x04, 0x10, 0x20}, perms[] = {6, 6, 0, 6, 0};
    std::string acl(4 + 5 * 8, '\0');
    const std::uint32_t version = 2;
    std::memcpy(acl.data(), &version, 4);
    for (int k = 0; k < 5; ++k) {
        const std::uint32_t id = tags[k] == 0x02 ? nobody : std::uint32_t(-1);
        std::memcpy(acl.data() + 4 + 8 * k, &tags[k], 2);
        std::memcpy(acl.data() + 6 + 8 * k, &perms[k], 2);
        std::memcpy(acl.data() + 8 + 8 * k, &id, 4);
    }
    return acl;
}

std::string attribute(const std::string& file, const char* name) {
    char value[256];
    const ssize_t n = ::getxattr(file.c_str(), name, value, sizeof value);
    return n < 0 ? "(none)" : std::string(value, std::size_t(n));
}

TEST_F(FileIo, AReplacedFileKeepsItsAclAndAttributesAndAProtectedOneIsNotReplaced) {
    const passwd* nobody = ::getpwnam("nobody");
    if (!nobody) GTEST_SKIP() << "no user 'nobody' to own the files";
    const std::string shared = at("shared.bmp"), locked = at("locked.bmp");
    const std::string acl = aclForNobody(nobody->pw_uid);
    const int status = asNobody(dir_, [&] {
        writeFileAtomically(shared, Bytes(10, 1));
        writeFileAtomically(locked, Bytes(10, 1));
        if (::chmod(locked.c_str(), 0444) != 0 || ::setxattr(shared.c_str(), "user.origin", "scan", 4, 0) != 0 ||
            ::setxattr(shared.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0) != 0)
            return 101;
        if (refusal([&] { writeFileAtomically(locked, Bytes(20, 2)); }) != "it is write-protected") return 102;
        writeFileAtomically(shared, Bytes(20, 2));
        return 0;
    });
    if (status == -1 || status == 101) GTEST_SKIP() << "this filesystem keeps no ACLs or user attributes";
    ASSERT_EQ(status, 0);
    EXPECT_EQ(readFileBytes(locked), Bytes(10, 1));
    EXPECT_EQ(readFileBytes(shared), Bytes(20, 2));
    EXPECT_EQ(attribute(shared, "user.origin"), "scan");
    EXPECT_EQ(attribute(shared, "system.posix_acl_access"), acl);
    struct stat st {};
    ASSERT_EQ(::stat(shared.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0660u);  // the group bits are the ACL's mask
}

TEST_F(FileIo, FileSizeLimitsAndMissingFoldersAreReportedAndKeepTheOldFile) {
    const std::string target = at("big.bmp");
    writeFileAtomically(target, Bytes(100, 3));
    EXPECT_EQ(refusal([&] { writeFileAtomically(at("gone/x.bmp"), Bytes(100, 3)); }),
              "the folder " + at("gone") + " does not exist");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const bool said = refusal([&] { writeFileAtomically(target, Bytes(100000, 4)); }) ==
                          "the file is larger than this process may write";
        ::_exit(said ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(readFileBytes(target), Bytes(100, 3));
    EXPECT_EQ(entries(), std::vector<std::string>{"big.bmp"});
}

}  // namespace
}  // namespace hueline
