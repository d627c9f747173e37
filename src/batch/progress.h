// SPDX-License-Identifier: GPL-3.0-or-later
// The progress bar of a folder run.
#pragma once

#include <cstddef>
#include <string>

#include "batch/timings.h"

namespace hueline::batch {

// The progress bar, redrawn on one line of standard error when that is a
// terminal. Other output first clears it. The total is not known while a
// list is still being read: the bar then only counts.
class Progress {
public:
    static constexpr std::size_t kUnknown = std::size_t(-1);

    Progress(bool enabled, std::size_t total) : enabled_(enabled), total_(total), start_(Clock::now()) {}

    void setTotal(std::size_t total) { total_ = total; }
    void show(std::size_t done, const std::string& current);
    void clear();
    double seconds() const { return millisecondsSince(start_) / 1000.0; }

    // The line show() draws, without its leading return and erase.
    std::string line(std::size_t done, const std::string& current, double elapsed) const;

private:
    bool enabled_;
    std::size_t total_;
    Clock::time_point start_;
    bool shown_ = false;
};

}  // namespace hueline::batch
