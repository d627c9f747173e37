// SPDX-License-Identifier: GPL-3.0-or-later
// What a folder run shows while it works: the progress bar's line, and
// each picture's timings beside the time of one copy of it.
#include <gtest/gtest.h>

#include <string>

#include "batch/progress.h"
#include "batch/timings.h"

namespace hueline::batch {
namespace {

TEST(BatchProgress, TheBarFillsWithThePicturesDone) {
    const Progress known(false, 8);
    EXPECT_EQ(known.line(0, "a.jpg", 3), "[........................] 0/8 a.jpg  0:03 elapsed, ? left");
    EXPECT_EQ(known.line(2, "b.jpg", 30), "[######..................] 2/8 b.jpg  0:30 elapsed, 1:30 left");
    EXPECT_NE(known.line(2, std::string(40, 'x'), 0).find(" ..." + std::string(27, 'x') + " "), std::string::npos);
    // A list still being read has no total yet: the bar only counts.
    const Progress counting(false, Progress::kUnknown);
    EXPECT_EQ(counting.line(5, "c.jpg", 61), "[........................] 5/? c.jpg  1:01 elapsed, ? left");
}

TEST(BatchProgress, TimingsAreSetBesideOneCopy) {
    PictureLog log;
    const Reporter quiet{false, &log};
    quiet.timing("gray", 5.0);
    EXPECT_EQ(log.lines, "");
    const Reporter report{true, &log};
    report.timing("load", 1.5);
    log.copyMs = 2.0;
    report.timing("gray", 5.0);
    report.warning("a.jpg is damaged");
    report.error("b.jpg: no such file");
    EXPECT_EQ(log.lines,
              "load: 1.50 ms\n"
              "gray: 5.00 ms (2.5 copies)\n"
              "hueline-batch: warning: a.jpg is damaged\n"
              "hueline-batch: b.jpg: no such file\n");
}

}  // namespace
}  // namespace hueline::batch
