// SPDX-License-Identifier: GPL-3.0-or-later
// Commands that fail leave the workspace as it was: both panes, every
// working picture and the status label are compared with a snapshot of
// the whole workspace taken before the command. Out of memory is an error
// like any other: the command stops, nothing changes, and the next
// command works.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <new>
#include <string>
#include <vector>

#include "support/workspace_snapshot.h"
#include "imaging/codecs/bmp_codec.h"
#include "imaging/session/coefficients.h"
#include "imaging/session/commands.h"
#include "imaging/picture/errors.h"
#include "imaging/codecs/file_io.h"
#include "imaging/codecs/icon_reader.h"
#include "imaging/codecs/jpeg_codec.h"
#include "imaging/metafile/player.h"
#include "imaging/picture/memory.h"
#include "imaging/session/workspace.h"
#include "support/metafile_test_support.h"

namespace hueline {
namespace {

namespace fs = std::filesystem;

using test_support::WorkspaceSnapshot;

WorkBitmap colourful(int w = 24, int h = 16) {
    WorkBitmap p(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) p.setPixel(x, y, makeColor(x * 10, y * 15, (x + y) * 5));
    return p;
}

// A workspace some commands into a session: the panes, the snapshots and
// the undo picture all differ, and the label names the last command.
Workspace livedIn() {
    Workspace ws(colourful());
    commands::inverse(ws);
    ws.give();
    commands::gray(ws);
    commands::sharpen(ws);
    commands::bwSplit(ws, 100);
    return ws;
}

// Runs a command that must fail with E and checks that the workspace is
// exactly as before.
template <class E>
void expectFailsAndChangesNothing(Workspace& ws, const std::function<void()>& command, const std::string& words = "") {
    const WorkspaceSnapshot before(ws);
    try {
        command();
        ADD_FAILURE() << "the command did not fail";
    } catch (const E& e) {
        EXPECT_NE(std::string(e.what()).find(words), std::string::npos) << e.what();
    }
    EXPECT_TRUE(WorkspaceSnapshot(ws) == before) << "the failed command changed the workspace";
}

TEST(FailurePaths, TheLivedInWorkspaceHasDistinctPictures) {
    // Otherwise the comparisons below could not see a swapped picture.
    const Workspace ws = livedIn();
    EXPECT_FALSE(ws.sourcePane() == ws.resultPane());
    EXPECT_FALSE(ws.undoPicture() == ws.resultPane());
    EXPECT_FALSE(ws.originalPicture() == ws.sourcePane());
    EXPECT_FALSE(ws.sourceSnapshot() == ws.resultSnapshot());
    EXPECT_EQ(ws.status(), "Sharpenned");
}

TEST(FailurePaths, OpeningABrokenOrMissingFileChangesNothing) {
    Workspace ws = livedIn();
    const PictureBytes goodBmp = encodeBmp(colourful());
    const std::vector<std::uint8_t> goodJpeg = encodeJpeg(colourful());
    const std::vector<std::uint8_t> shortBmp(goodBmp.begin(), goodBmp.begin() + 60);
    const std::vector<std::uint8_t> headerOnlyJpeg(goodJpeg.begin(), goodJpeg.begin() + 20);
    const std::vector<std::uint8_t> notAnIcon = {0, 0, 1, 0, 1, 0, 32, 32};
    std::vector<std::uint8_t> badChecksum = testing::WmfBuilder(0, 0, 100, 100, 96).build();
    badChecksum[20] ^= 1;

    // The window opens a picture as decode, then openPicture.
    const auto open = [&](auto decode) { return [&ws, decode] { ws.openPicture(decode()); }; };
    expectFailsAndChangesNothing<FileError>(ws, open([&] { return decodeBmp(shortBmp, "short.bmp"); }), "short.bmp");
    expectFailsAndChangesNothing<FileError>(ws, open([&] { return decodeJpeg(headerOnlyJpeg, "cut.jpg"); }), "cut.jpg");
    expectFailsAndChangesNothing<IconError>(ws, open([&] { return decodeIcon(notAnIcon, "bad.ico"); }),
                                            "bad.ico");
    expectFailsAndChangesNothing<FileError>(ws, open([&] {
        metafileNaturalSize(badChecksum, "sum.wmf", PictureKind::Wmf);
        return WorkBitmap(1, 1);
    }), "checksum");

    const std::string missing = ::testing::TempDir() + "/hueline_no_such_picture.bmp";
    std::remove(missing.c_str());
    expectFailsAndChangesNothing<FileError>(ws, open([&] { return readBmpFile(missing); }), "no such file");
    expectFailsAndChangesNothing<FileError>(ws, open([&] { return readJpegFile(missing + ".jpg"); }), "no such file");
    expectFailsAndChangesNothing<FileError>(ws, open([&] { return readBmpFile(::testing::TempDir()); }), "folder");

    // Every truncation of a good file fails cleanly, or opens the rows it
    // has; it never takes the workspace with it half-way.
    for (std::size_t n = 0; n < goodBmp.size(); n += 37) {
        const std::vector<std::uint8_t> cut(goodBmp.begin(), goodBmp.begin() + std::ptrdiff_t(n));
        const WorkspaceSnapshot before(ws);
        EXPECT_THROW(ws.openPicture(decodeBmp(cut, "cut.bmp")), FileError) << n << " bytes";
        EXPECT_TRUE(WorkspaceSnapshot(ws) == before) << n << " bytes";
    }
}

TEST(FailurePaths, SavingWhereNoFileCanBeWrittenChangesNothingAndKeepsNoTemporary) {
    Workspace ws = livedIn();
    const fs::path dir = fs::path(::testing::TempDir()) / "hueline_failure_save";
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::ofstream(dir / "plain-file") << "not a folder";
    fs::create_directories(dir / "a-folder.bmp");

    const auto saveBmp = [&](const fs::path& p) { return [&ws, p] { writeBmpFile(ws.resultPane(), p.string()); }; };
    const auto saveJpeg = [&](const fs::path& p) { return [&ws, p] { writeJpegFile(ws.resultPane(), p.string()); }; };
    for (const fs::path& target : {dir / "missing-folder" / "out", dir / "plain-file" / "out", dir / "a-folder.bmp"}) {
        SCOPED_TRACE(target.string());
        expectFailsAndChangesNothing<FileError>(ws, saveBmp(target), target.filename().string());
        expectFailsAndChangesNothing<FileError>(ws, saveJpeg(target), target.filename().string());
    }
    // A folder the program may not write into (the superuser may write
    // anywhere, so this part only means something for other users).
    if (::geteuid() != 0) {
        fs::create_directories(dir / "locked");
        fs::permissions(dir / "locked", fs::perms::owner_read | fs::perms::owner_exec);
        expectFailsAndChangesNothing<FileError>(ws, saveBmp(dir / "locked" / "out.bmp"), "out.bmp");
        expectFailsAndChangesNothing<FileError>(ws, saveJpeg(dir / "locked" / "out.jpg"), "out.jpg");
        fs::permissions(dir / "locked", fs::perms::owner_all);
    }
    // Only what the test made is there: no temporary was left behind.
    int entries = 0;
    for (const auto& e : fs::recursive_directory_iterator(dir)) entries += e.is_regular_file() ? 1 : 0;
    EXPECT_EQ(entries, 1);

    // An empty result pane cannot be saved; the label and panes stay.
    Workspace empty;
    const fs::path none = dir / "empty.bmp";
    expectFailsAndChangesNothing<UserError>(empty, [&] { writeBmpFile(empty.resultPane(), none.string()); }, "empty");
    expectFailsAndChangesNothing<UserError>(empty, [&] { writeJpegFile(empty.resultPane(), none.string()); });
    EXPECT_FALSE(fs::exists(none));
    fs::remove_all(dir);
}

// Runs in a child process: exits with 0 when saving a 200 x 200 picture
// fails with a FileError naming the file and the workspace is unchanged.
[[noreturn]] void saveOntoAFullDisk(const fs::path& target) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit small{4096, 4096};
    setrlimit(RLIMIT_FSIZE, &small);
    Workspace ws = livedIn();
    ws.openPicture(colourful(200, 200));
    const WorkspaceSnapshot before(ws);
    bool failed = false;
    try {
        writeBmpFile(ws.resultPane(), target.string());
    } catch (const FileError& e) {
        failed = std::string(e.what()).find(target.filename().string()) != std::string::npos;
    }
    std::_Exit(failed && WorkspaceSnapshot(ws) == before ? 0 : 1);
}

TEST(FailurePaths, ADiskThatFillsUpDuringASaveKeepsTheOldFile) {
    const fs::path dir = fs::path(::testing::TempDir()) / "hueline_failure_full";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path target = dir / "kept.bmp";
    std::ofstream(target) << "the user's old picture";

    // In a child process whose files may not grow past 4 KB, as on a full
    // disk: the write fails part-way.
    EXPECT_EXIT(saveOntoAFullDisk(target), ::testing::ExitedWithCode(0), "");
    std::ifstream in(target);
    std::string kept((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(kept, "the user's old picture");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    fs::remove_all(dir);
}

TEST(FailurePaths, AFringeWithACoefficientThatIsNotANumberChangesNothing) {
    Workspace ws = livedIn();
    const std::array<std::string, 9> good = {"1", "2", "1", "0", "0", "0", "-1", "-2", "-1"};
    using Fringe = void (*)(Workspace&, const Kernel&);
    for (Fringe fringe : {Fringe(commands::fringe1), Fringe(commands::fringe2), Fringe(commands::fringe3)}) {
        for (std::size_t box = 0; box < 9; ++box) {
            for (const char* bad : {"abc", "", "1.5", "2147483648", "0x", "3 4"}) {
                std::array<std::string, 9> texts = good;
                texts[box] = bad;
                SCOPED_TRACE("Edit" + std::to_string(box + 1) + " = '" + bad + "'");
                expectFailsAndChangesNothing<UserError>(ws, [&] { fringe(ws, parseKernel(texts)); },
                                                        std::string("'").append(bad).append("' is not a valid integer value"));
            }
        }
    }
    // The same workspace still takes a good fringe.
    commands::fringe2(ws, parseKernel(good));
    EXPECT_EQ(ws.status(), "Fringe 2");
}

TEST(FailurePaths, ZoomingPastTheLargestPictureChangesNeitherPane) {
    // A source pane of 15000 x 15000 (1 bit, 28 MB) zoomed by 1.25 would be
    // 351 megapixels. The result pane, small (a stroke, then a command),
    // zooms first; the source's failure must take the result's zoom back
    // with it.
    WorkBitmap big(15000, 15000, PixelFormat::Bits1);
    Workspace ws;
    ws.openPicture(big);
    ws.finishStroke(colourful());
    commands::inverse(ws);
    expectFailsAndChangesNothing<UserError>(ws, [&] { commands::zoom(ws, commands::kZoomIn); },
                                            "larger than 256 megapixels");
}

// ---- out of memory ----------------------------------------------------

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressChecker = true;
#else
constexpr bool kAddressChecker = false;
#endif

// The address space this process uses now, in bytes.
std::size_t addressSpaceInUse() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmSize:", 0) == 0) return std::size_t(std::stoull(line.substr(7))) * 1024;
    return 0;
}

// An 8-bit RLE BMP of 16000 x 16000 pixels in about 2 MB: every row
// 64 runs of 250 pixels, then end of line.
std::vector<std::uint8_t> hugeRleBmp() {
    std::vector<std::uint8_t> f(14 + 40 + 8, 0);
    const auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) f[at + i] = std::uint8_t(v >> 8 * i);
    };
    f[0] = 'B', f[1] = 'M';
    put32(10, 62), put32(14, 40), put32(18, 16000), put32(22, 16000);
    f[26] = 1, f[28] = 8, f[30] = 1;
    put32(46, 2);
    std::memset(&f[58], 0xFF, 3);
    for (int y = 0; y < 16000; ++y) {
        for (int run = 0; run < 64; ++run) f.push_back(250), f.push_back(1);
        f.push_back(0), f.push_back(0);
    }
    f.push_back(0), f.push_back(1);
    put32(2, std::uint32_t(f.size()));
    return f;
}

// In a child process whose address space may grow by only 96 MB: a picture
// of 16000 x 16000 (256 MB at 8 bits) cannot be opened, and a command
// that needs a 24-bit copy of a big 1-bit picture (190 MB) cannot run.
// Both report the failure as an exception; nothing changes; afterwards
// the workspace opens and edits a small picture as usual.
[[noreturn]] void openAndEditWithLittleMemory() {
    const std::vector<std::uint8_t> hugeFile = hugeRleBmp();
    Workspace ws = livedIn();
    ws.openPicture(WorkBitmap(8000, 8000, PixelFormat::Bits1));
    commands::gray(ws);  // leaves the label as it is
    releaseCachedPictureMemory();  // no spare pictures' memory either
    const rlimit limit{addressSpaceInUse() + (96u << 20), RLIM_INFINITY};
    if (setrlimit(RLIMIT_AS, &limit) != 0) std::_Exit(3);

    // A reader says so in words; a command lets std::bad_alloc go up to
    // the window's error report.
    const auto failsCleanly = [&](const std::function<void()>& command, const char* what, bool reader) {
        const WorkspaceSnapshot before(ws);
        bool threw = false;
        try {
            command();
        } catch (const std::bad_alloc&) {
            threw = !reader;
        } catch (const FileError& e) {
            threw = reader && std::string(e.what()) ==
                                  "huge.bmp: there is not enough memory for a picture of 16000 x 16000 pixels";
            if (!threw) std::fprintf(stderr, "%s: %s\n", what, e.what());
        }
        if (!threw || !(WorkspaceSnapshot(ws) == before)) {
            std::fprintf(stderr, "%s did not fail cleanly\n", what);
            std::_Exit(1);
        }
    };
    failsCleanly([&] { ws.openPicture(decodeBmp(hugeFile, "huge.bmp")); }, "opening", true);
    failsCleanly([&] { commands::sharpen(ws); }, "sharpen", false);
    failsCleanly([&] { commands::median(ws); }, "median", false);

    ws.openPicture(colourful());
    commands::sharpen(ws);
    if (ws.status() != "Sharpenned" || ws.resultPane().width() != 24) std::_Exit(2);
    std::_Exit(0);
}

TEST(FailurePaths, RunningOutOfMemoryIsAnErrorAndTheWorkspaceStaysUsable) {
    if (kAddressChecker) GTEST_SKIP() << "the address checker reserves more address space than any limit allows";
    EXPECT_EXIT(openAndEditWithLittleMemory(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace hueline
