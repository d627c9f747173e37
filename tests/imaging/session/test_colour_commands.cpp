// SPDX-License-Identifier: GPL-3.0-or-later
// The colour and black-and-white neighbourhood commands run through a
// workspace: their status words, which pane SourceSnapshot comes from,
// Undo, and what each computes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imaging/ops/invert.h"
#include "imaging/session/commands.h"
#include "imaging/ops/convolution.h"
#include "imaging/ops/morphology.h"
#include "imaging/ops/rank_filters.h"
#include "imaging/ops/routines.h"
#include "imaging/ops/tones.h"
#include "imaging/session/workspace.h"
#include "support/pictures.h"

namespace hueline {
namespace {

using test_support::filled; using test_support::randomPicture;

WorkBitmap negativeOf(const WorkBitmap& p) {
    WorkBitmap n = p.to24();
    for (int y = 0; y < n.height(); ++y)
        for (int i = 0; i < 3 * n.width(); ++i) n.row(y)[i] = std::uint8_t(255 - n.row(y)[i]);
    return n;
}

// A workspace whose source pane holds `source` and whose result pane holds
// `result`, as after Open followed by some command.
Workspace workspaceWith(const WorkBitmap& source, const WorkBitmap& result) {
    Workspace ws(source);
    ws.runCommand({"Earlier", SnapshotFrom::ResultPane}, [&result](WorkBitmap& p) { p = result; });
    return ws;
}

struct Case {
    const char* word;
    void (*run)(Workspace&);
    WorkBitmap (*compute)(const WorkBitmap&);
    SnapshotFrom snapshot;
};

const Case kCases[] = {
    {"Inversed", commands::inverse, [](const WorkBitmap& p) { WorkBitmap c = p; invertPicture(c); return c; },
     SnapshotFrom::ResultPane},
    {"Sharpenned", commands::sharpen, sharpenPicture, SnapshotFrom::ResultPane},
    {"Median", commands::median, medianPicture, SnapshotFrom::ResultPane},
    {"Fringe 1", [](Workspace& ws) { commands::fringe1(ws, kFringe1Defaults); },
     [](const WorkBitmap& p) { WorkBitmap c = p.to24(); Convolve(kFringe1Defaults, 1, c); return c; },
     SnapshotFrom::ResultPane},
    {"Fringe 2", [](Workspace& ws) { commands::fringe2(ws, kFringe2Defaults); },
     [](const WorkBitmap& p) { return fringePicture(p, kFringe2Defaults, kFringe2BuiltIn); },
     SnapshotFrom::ResultPane},
    {"Fringe 3", [](Workspace& ws) { commands::fringe3(ws, kFringe3Defaults); },
     [](const WorkBitmap& p) { return fringePicture(p, kFringe3Defaults, kFringe3BuiltIn); },
     SnapshotFrom::ResultPane},
    {"Eroded", commands::erode, [](const WorkBitmap& p) { WorkBitmap c = blackWhitePicture(p); ErodePels(c); return c; },
     SnapshotFrom::SourcePane},
    {"Dilated", commands::dilate,
     [](const WorkBitmap& p) { WorkBitmap c = blackWhitePicture(p); DilatePels(c); return c; },
     SnapshotFrom::SourcePane},
    {"Thinned", commands::thin, [](const WorkBitmap& p) { WorkBitmap c = p; ThinLine(c); return c; },
     SnapshotFrom::SourcePane},
    {"Pen and ink", commands::penAndInk, [](const WorkBitmap& p) { return penAndInkPicture(blackWhitePicture(p)); },
     SnapshotFrom::SourcePane},
};

TEST(ColourCommands, ProtocolWordsSnapshotsAndUndo) {
    const WorkBitmap source = randomPicture(12, 9, 1);
    // A black block on colours whose red bytes are 255 gives Thin
    // something to remove and the thresholding colours to lose.
    WorkBitmap before = randomPicture(12, 9, 2);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 12; ++x) {
            const bool block = x >= 3 && x <= 8 && y >= 2 && y <= 6;
            before.setPixel(x, y, block ? kBlack : before.pixel(x, y) | 0xFF);
        }
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.word);
        Workspace ws = workspaceWith(source, before);
        const WorkBitmap expected = c.compute(before);
        ASSERT_NE(expected, before);  // the command does change this picture
        c.run(ws);
        EXPECT_EQ(ws.status(), c.word);
        EXPECT_EQ(ws.resultPane(), expected);
        EXPECT_EQ(ws.undoPicture(), before);
        EXPECT_EQ(ws.resultSnapshot(), expected);
        EXPECT_EQ(ws.sourceSnapshot(), c.snapshot == SnapshotFrom::SourcePane ? source : expected);
        EXPECT_EQ(ws.sourcePane(), source);

        // Undo brings back the picture, colours included, and keeps the word.
        ws.undo();
        EXPECT_EQ(ws.resultPane(), before);
        EXPECT_EQ(ws.resultSnapshot(), before);
        EXPECT_EQ(ws.status(), c.word);
        ws.undo();
        EXPECT_EQ(ws.resultPane(), before);
    }
}

TEST(ColourCommands, PenAndInkShowsWaitingWhileItWorks) {
    Workspace ws(randomPicture(6, 6, 4));
    std::vector<std::string> words;
    ws.setListener([&](Workspace::Change change) {
        if (change == Workspace::Change::Status) words.push_back(ws.status());
    });
    commands::penAndInk(ws);
    EXPECT_EQ(words, (std::vector<std::string>{"Waiting", "Pen and ink"}));
    words.clear();
    commands::erode(ws);
    EXPECT_EQ(words, (std::vector<std::string>{"Eroded"}));
}

TEST(ColourCommands, InverseOnBlackColourAndOnePixel) {
    Workspace ws(filled(3, 2, kBlack));
    commands::inverse(ws);
    EXPECT_EQ(ws.resultPane(), filled(3, 2, kWhite));
    Workspace one(filled(1, 1, makeColor(10, 20, 30)));
    commands::inverse(one);
    EXPECT_EQ(one.resultPane(), filled(1, 1, makeColor(245, 235, 225)));
    commands::inverse(one);
    EXPECT_EQ(one.resultPane(), filled(1, 1, makeColor(10, 20, 30)));
    Workspace none{WorkBitmap()};
    commands::inverse(none);
    EXPECT_TRUE(none.resultPane().empty());
    EXPECT_EQ(none.status(), "Inversed");
}

// An indexed picture with the given table and indices from a pattern.
WorkBitmap indexedPicture(PixelFormat format, const std::vector<PaletteEntry>& table, int w, int h) {
    WorkBitmap p(w, h, format);
    p.setPalette(table);
    const int bits = bitsPerPixel(format);
    for (int y = 0; y < h; ++y) {
        std::uint8_t* row = p.row(y);
        for (int x = 0; x < w; ++x) {
            const unsigned index = unsigned(x * 7 + y * 3) % table.size();
            const int bit = x * bits;
            const int shift = 8 - bits - bit % 8;
            row[bit / 8] = std::uint8_t((row[bit / 8] & ~(((1 << bits) - 1) << shift)) | index << shift);
        }
    }
    return p;
}

TEST(ColourCommands, InverseKeepsIndicesAndInvertsTheColourTable) {
    std::vector<PaletteEntry> gray236, colours16, colours256, two = {{0, 128, 255}, {40, 30, 20}};
    for (int i = 0; i < 236; ++i) gray236.push_back({std::uint8_t(i), std::uint8_t(i), std::uint8_t(i)});
    for (int i = 0; i < 16; ++i) colours16.push_back({std::uint8_t(i * 16), std::uint8_t(255 - i * 9), std::uint8_t(i * 5)});
    for (int i = 0; i < 256; ++i) colours256.push_back({std::uint8_t(i * 3), std::uint8_t(i), std::uint8_t(i * 7)});
    struct Indexed {
        PixelFormat format;
        const std::vector<PaletteEntry>& table;
    };
    for (const Indexed& c : {Indexed{PixelFormat::Bits8, gray236}, Indexed{PixelFormat::Bits4, colours16},
                             Indexed{PixelFormat::Bits8, colours256}, Indexed{PixelFormat::Bits1, two}}) {
        SCOPED_TRACE(bitsPerPixel(c.format));
        const WorkBitmap before = indexedPicture(c.format, c.table, 13, 5);
        Workspace ws(before);
        commands::inverse(ws);
        const WorkBitmap& after = ws.resultPane();
        EXPECT_EQ(after.format(), c.format);
        ASSERT_EQ(after.palette().size(), c.table.size());
        for (std::size_t i = 0; i < c.table.size(); ++i) {
            EXPECT_EQ(after.palette()[i].red, 255 - c.table[i].red);
            EXPECT_EQ(after.palette()[i].green, 255 - c.table[i].green);
            EXPECT_EQ(after.palette()[i].blue, 255 - c.table[i].blue);
        }
        for (int y = 0; y < 5; ++y)
            EXPECT_EQ(std::vector<std::uint8_t>(after.row(y), after.row(y) + after.stride()),
                      std::vector<std::uint8_t>(before.row(y), before.row(y) + before.stride()));
        // So the picture looks like the negative, border included.
        EXPECT_EQ(after.to24(), negativeOf(before));
        commands::inverse(ws);
        EXPECT_EQ(ws.resultPane(), before);
        ws.undo();
        EXPECT_EQ(ws.resultPane(), after);
    }
}

TEST(ColourCommands, RowOperationsLeaveA24BitPicture) {
    const WorkBitmap indexed = indexedPicture(PixelFormat::Bits4, {{0, 0, 0}, {255, 255, 255}, {10, 200, 90}}, 9, 7);
    for (const Case& c : kCases) {
        if (std::string(c.word) == "Inversed") continue;
        SCOPED_TRACE(c.word);
        Workspace ws(indexed);
        c.run(ws);
        EXPECT_EQ(ws.resultPane().format(), PixelFormat::Bits24);
        EXPECT_EQ(ws.resultPane(), c.compute(indexed.to24()));
        ws.undo();
        EXPECT_EQ(ws.resultPane(), indexed);  // the format comes back too
    }
}

TEST(ColourCommands, SmallPicturesStillRunTheWholeProtocol) {
    const WorkBitmap tiny = randomPicture(2, 2, 5);
    Workspace ws(randomPicture(4, 4, 6));
    ws.runCommand({"Earlier", SnapshotFrom::ResultPane}, [&](WorkBitmap& p) { p = tiny; });
    commands::fringe1(ws, {5, 5, 5, 5, 5, 5, 5, 5, 5});
    EXPECT_EQ(ws.resultPane(), tiny);
    EXPECT_EQ(ws.status(), "Fringe 1");
    EXPECT_EQ(ws.sourceSnapshot(), tiny);
    commands::fringe2(ws, kFringe2Defaults);
    EXPECT_EQ(ws.resultPane(), negativeOf(tiny));
    EXPECT_EQ(ws.undoPicture(), tiny);
    commands::thin(ws);
    EXPECT_EQ(ws.resultPane(), negativeOf(tiny));
    EXPECT_EQ(ws.status(), "Thinned");
}

}  // namespace
}  // namespace hueline
