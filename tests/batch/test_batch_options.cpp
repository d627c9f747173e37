// SPDX-License-Identifier: GPL-3.0-or-later
// The command line of hueline-batch: each form of an option, and mistakes
// refused with the reason before anything is opened.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "batch/options.h"

namespace hueline::batch {
namespace {

Options parse(std::initializer_list<const char*> args) {
    std::vector<std::string> text{"hueline-batch"};
    text.insert(text.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : text) argv.push_back(a.data());
    return parseArguments(int(argv.size()), argv.data());
}

std::string refusal(std::initializer_list<const char*> args) {
    try {
        parse(args);
    } catch (const UsageError& e) {
        return e.what();
    }
    return "(accepted)";
}

TEST(BatchOptions, ValuesComeJoinedOrSeparate) {
    for (const auto& args : {std::initializer_list<const char*>{"-j3", "in", "out"}, {"-j", "3", "in", "out"},
                             {"--jobs=3", "in", "out"}, {"--jobs", "3", "in", "out"}}) {
        const Options o = parse(args);
        EXPECT_EQ(o.jobs, 3);
        EXPECT_EQ(o.input, "in");
        EXPECT_EQ(o.output, "out");
    }
    const Options o = parse({"--quiet", "--format=png", "--files-from", "-", "out", "gray"});
    EXPECT_TRUE(o.quiet);
    EXPECT_FALSE(o.timings);
    EXPECT_EQ(o.format, PictureKind::Png);
    EXPECT_EQ(o.filesFrom, "-");
    EXPECT_EQ(o.output, "out");
    ASSERT_EQ(o.steps.size(), 1u);
    EXPECT_EQ(o.steps[0].text, "gray");
    EXPECT_EQ(o.input, "");
    EXPECT_EQ(parse({"--memory", "2G", "in", "out"}).memory, std::size_t(2) << 30);
    EXPECT_EQ(parse({"--memory=800k", "in", "out"}).memory, std::size_t(800) << 10);
    EXPECT_EQ(parse({"--memory=1000", "in", "out"}).memory, 1000u);
}

TEST(BatchOptions, MistakesAreRefusedWithTheirReason) {
    EXPECT_EQ(refusal({"-j", "65", "in", "out"}), "-j must be a whole number from 1 to 64, not '65'");
    EXPECT_EQ(refusal({"--jobs"}), "--jobs needs a value");
    EXPECT_EQ(refusal({"--format", "gif", "in", "out"}), "--format must be jpg, bmp, png, svg or pdf, not 'gif'");
    EXPECT_EQ(refusal({"--files-from="}), "--files-from needs a file name ('-' for standard input)");
    EXPECT_EQ(refusal({"--colour", "in", "out"}), "unknown option '--colour'");
    for (const char* size : {"2X", "G", "0", "99999999999T", "1.5G"})
        EXPECT_EQ(refusal({"--memory", size, "in", "out"}),
                  "--memory must be a size such as 2G or 500M, not '" + std::string(size) + "'");
    EXPECT_EQ(refusal({"in"}), "INPUT and OUTPUT are needed");
    EXPECT_EQ(refusal({"--files-from", "list"}), "OUTPUT is needed");
    EXPECT_EQ(refusal({"in", "out", "blur"}), "unknown step 'blur'");
}

}  // namespace
}  // namespace hueline::batch
