// SPDX-License-Identifier: GPL-3.0-or-later
// The command-line steps against the same commands driven directly.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "batch/steps.h"
#include "imaging/session/coefficients.h"
#include "imaging/session/commands.h"

namespace hueline::batch {
namespace {

WorkBitmap photo(int w, int h) {
    WorkBitmap p(w, h);
    std::uint32_t s = 12345;
    for (int y = 0; y < h; ++y) {
        std::uint8_t* r = p.row(y);
        for (int x = 0; x < w; ++x) {
            s = s * 1664525u + 1013904223u;
            const int noise = int(s >> 27) - 16;
            auto clamp = [](int v) { return std::uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); };
            r[3 * x] = clamp(x * 255 / w + noise);
            r[3 * x + 1] = clamp(y * 255 / h - noise);
            r[3 * x + 2] = clamp(((x / 4 + y / 3) % 2) * 160 + 40 + noise);
        }
    }
    return p;
}

// Two workspaces with the same history, so that Undo, Give, Get and the
// zooms each have something of their own to do: the panes and the
// working pictures all differ from one another.
Workspace preparedWorkspace() {
    Workspace ws(photo(41, 33));
    commands::zoom(ws, commands::kZoomIn);
    commands::sharpen(ws);
    commands::inverse(ws);
    return ws;
}

bool sameWorkspace(const Workspace& a, const Workspace& b) {
    return a.resultPane() == b.resultPane() && a.sourcePane() == b.sourcePane() &&
           a.originalPicture() == b.originalPicture() && a.undoPicture() == b.undoPicture() &&
           a.sourceSnapshot() == b.sourceSnapshot() && a.resultSnapshot() == b.resultSnapshot() &&
           a.status() == b.status();
}

struct Expected {
    std::string step;
    std::function<void(Workspace&)> direct;
};

const Kernel kCustom = {3, -1, 0, 2, 1, -2, 0, 0, 1};

std::vector<Expected> everyStep() {
    return {
        {"gray", commands::gray},
        {"bw", commands::blackAndWhite},
        {"bwsplit=90", [](Workspace& ws) { commands::bwSplit(ws, 90); }},
        {"pen", commands::penAndInk},
        {"erode", commands::erode},
        {"dilate", commands::dilate},
        {"thin", commands::thin},
        {"inverse", commands::inverse},
        {"sharpen", commands::sharpen},
        {"median", commands::median},
        {"fringe1", [](Workspace& ws) { commands::fringe1(ws, kFringe1Defaults); }},
        {"fringe2", [](Workspace& ws) { commands::fringe2(ws, kFringe2Defaults); }},
        {"fringe3", [](Workspace& ws) { commands::fringe3(ws, kFringe3Defaults); }},
        {"fringe1=3,-1,0,2,1,-2,0,0,1", [](Workspace& ws) { commands::fringe1(ws, kCustom); }},
        {"fringe2=3,-1,0,2,1,-2,0,0,1", [](Workspace& ws) { commands::fringe2(ws, kCustom); }},
        {"fringe3=3,-1,0,2,1,-2,0,0,1", [](Workspace& ws) { commands::fringe3(ws, kCustom); }},
        {"colorsplit=140", [](Workspace& ws) { commands::colorSplit(ws, 140); }},
        {"undo", [](Workspace& ws) { ws.undo(); }},
        {"renew", [](Workspace& ws) { ws.renew(); }},
        {"give", [](Workspace& ws) { ws.give(); }},
        {"get", [](Workspace& ws) { ws.get(); }},
        {"zoomout", [](Workspace& ws) { commands::zoom(ws, commands::kZoomOut); }},
        {"zoomin", [](Workspace& ws) { commands::zoom(ws, commands::kZoomIn); }},
    };
}

TEST(BatchSteps, EveryStepRunsTheWindowsCommand) {
    const std::vector<Expected> steps = everyStep();
    std::vector<Workspace> after;
    for (const Expected& e : steps) {
        Workspace viaStep = preparedWorkspace();
        Workspace direct = preparedWorkspace();
        const Step s = parseStep(e.step);
        EXPECT_EQ(s.text, e.step);
        s.run(viaStep);
        e.direct(direct);
        EXPECT_TRUE(sameWorkspace(viaStep, direct)) << e.step;
        // Every step does something to the prepared workspace ...
        EXPECT_FALSE(sameWorkspace(viaStep, preparedWorkspace())) << e.step;
        after.push_back(std::move(viaStep));
    }
    // ... and no two steps do the same thing, so that a step mapped to the
    // wrong command cannot pass because both happen to agree.
    for (std::size_t i = 0; i < after.size(); ++i)
        for (std::size_t j = i + 1; j < after.size(); ++j)
            EXPECT_FALSE(sameWorkspace(after[i], after[j])) << steps[i].step << " and " << steps[j].step;
}

TEST(BatchSteps, StepsRunInOrderOnOneWorkspace) {
    Workspace viaSteps(photo(30, 20));
    Workspace direct(photo(30, 20));
    for (const char* text : {"fringe2", "zoomout", "colorsplit=200", "give", "undo", "gray"}) parseStep(text).run(viaSteps);
    commands::fringe2(direct, kFringe2Defaults);
    commands::zoom(direct, commands::kZoomOut);
    commands::colorSplit(direct, 200);
    direct.give();
    direct.undo();
    commands::gray(direct);
    EXPECT_TRUE(sameWorkspace(viaSteps, direct));
}

std::string usageMessage(const std::string& step) {
    try {
        parseStep(step);
    } catch (const UsageError& e) {
        return e.what();
    }
    ADD_FAILURE() << "'" << step << "' was accepted";
    return {};
}

TEST(BatchSteps, SliderPositionsAreWholeNumbersUpTo255) {
    Workspace a(photo(10, 10)), b(photo(10, 10));
    parseStep("bwsplit=0").run(a);
    commands::bwSplit(b, 0);
    EXPECT_EQ(a.resultPane(), b.resultPane());
    parseStep("colorsplit=255").run(a);
    commands::colorSplit(b, 255);
    EXPECT_EQ(a.resultPane(), b.resultPane());
    for (const char* bad : {"bwsplit=256", "bwsplit=-1", "bwsplit=", "bwsplit=12a", "bwsplit= 12", "bwsplit=1.5",
                            "colorsplit=99999999999", "bwsplit", "colorsplit"})
        EXPECT_NE(usageMessage(bad), "") << bad;
    EXPECT_NE(usageMessage("bwsplit=256").find("0 to 255"), std::string::npos);
}

TEST(BatchSteps, CoefficientsConvertAsTheDialogsDo) {
    // Leading blanks, signs and hexadecimal, as in the coefficient boxes.
    Workspace a(photo(12, 9)), b(photo(12, 9));
    parseStep("fringe1= 7,$10,0x1F,-2,+3,0,0,0,-1").run(a);
    commands::fringe1(b, {7, 16, 31, -2, 3, 0, 0, 0, -1});
    EXPECT_EQ(a.resultPane(), b.resultPane());

    // The dialog's own message names the text that does not convert.
    const std::string abc = usageMessage("fringe1=1,2,abc,4,5,6,7,8,9");
    EXPECT_NE(abc.find("'abc' is not a valid integer value"), std::string::npos) << abc;
    for (const char* bad : {"fringe2=1,2,3,4,5,6,7,8,9 ", "fringe3=1,,3,4,5,6,7,8,9", "fringe1=1.5,2,3,4,5,6,7,8,9",
                            "fringe1=2147483648,0,0,0,0,0,0,0,0"})
        EXPECT_NE(usageMessage(bad).find("is not a valid integer value"), std::string::npos) << bad;
    // Not nine of them.
    for (const char* bad : {"fringe1=1,2,3", "fringe2=", "fringe3=1,2,3,4,5,6,7,8,9,10"})
        EXPECT_NE(usageMessage(bad).find("nine coefficients"), std::string::npos) << bad;
}

TEST(BatchSteps, UnknownNamesAndStrayValuesAreRefused) {
    for (const char* bad : {"Gray", "grey", "", "=1", "fringe4", "zoom", "gray=1", "undo=2", "zoomin=1.25"})
        EXPECT_NE(usageMessage(bad), "") << bad;
    EXPECT_NE(usageMessage("blur").find("unknown step 'blur'"), std::string::npos);
}

}  // namespace
}  // namespace hueline::batch
