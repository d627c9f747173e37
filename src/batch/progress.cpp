// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch/progress.h"

#include <cstdio>

namespace hueline::batch {

std::string Progress::line(std::size_t done, const std::string& current, double elapsed) const {
    constexpr int kWidth = 24;
    const bool known = total_ != kUnknown;
    const int filled = !known ? 0 : total_ ? int(double(done) / double(total_) * kWidth) : kWidth;
    const std::string left =
        known && done ? minutesAndSeconds(elapsed / double(done) * double(total_ - done)) : std::string("?");
    std::string name = current;
    if (name.size() > 30) name = "..." + name.substr(name.size() - 27);
    const std::string total = known ? std::to_string(total_) : "?";
    char buf[256];
    std::snprintf(buf, sizeof buf, "[%s%s] %zu/%s %s  %s elapsed, %s left", std::string(std::size_t(filled), '#').c_str(),
                  std::string(std::size_t(kWidth - filled), '.').c_str(), done, total.c_str(), name.c_str(),
                  minutesAndSeconds(elapsed).c_str(), left.c_str());
    return buf;
}

void Progress::show(std::size_t done, const std::string& current) {
    if (!enabled_) return;
    std::fprintf(stderr, "\r\033[K%s", line(done, current, seconds()).c_str());
    std::fflush(stderr);
    shown_ = true;
}

void Progress::clear() {
    if (!shown_) return;
    std::fprintf(stderr, "\r\033[K");
    shown_ = false;
}

}  // namespace hueline::batch
