// SPDX-License-Identifier: GPL-3.0-or-later
// What one picture of hueline-batch has to say: its messages and, with
// --timings, how long each step took beside one copy of the picture.
#pragma once

#include <chrono>
#include <string>

#include "imaging/picture/work_bitmap.h"

namespace hueline::batch {

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start);

// "M:SS", for the progress bar.
std::string minutesAndSeconds(double seconds);

// The time of one plain copy of a picture's bytes at 24 bits, as the
// commands hold it, into memory already in use: the best of three.
double copyMilliseconds(const WorkBitmap& picture);

// What one picture has to say. A folder run keeps it until the picture is
// done and prints it as one block, so that pictures done side by side
// never mix their lines; a single picture says it at once.
struct PictureLog {
    bool atOnce = false;
    std::string lines;
    double copyMs = 0;  // one copy of the loaded picture: the timings' yardstick
};

// Where one picture's messages and timings go.
struct Reporter {
    bool timings = false;
    PictureLog* log = nullptr;

    // Measures the yardstick of the timings that follow on this picture.
    void measureCopy(const WorkBitmap& picture) const;

    void timing(const std::string& what, Clock::time_point start) const { timing(what, millisecondsSince(start)); }
    void timing(const std::string& what, double ms) const;

    void error(const std::string& message) const;
    // A warning a line: a message of several lines gives several.
    void warning(const std::string& message) const;

private:
    void say(const std::string& line) const;
};

}  // namespace hueline::batch
