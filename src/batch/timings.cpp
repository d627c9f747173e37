// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch/timings.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "batch/options.h"

namespace hueline::batch {
namespace {

template <class... Args>
std::string formatted(const char* format, Args... args) {
    char buf[512];
    std::snprintf(buf, sizeof buf, format, args...);
    return buf;
}

}  // namespace

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::string minutesAndSeconds(double seconds) {
    const long s = long(seconds + 0.5);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%ld:%02ld", s / 60, s % 60);
    return buf;
}

double copyMilliseconds(const WorkBitmap& picture) {
    const std::size_t stride = (std::size_t(picture.width()) * 3 + 3) & ~std::size_t(3);
    const std::size_t bytes = stride * std::size_t(picture.height());
    if (bytes == 0) return 0;
    std::vector<std::uint8_t> from(bytes, 1), to(bytes);
    double best = 0;
    for (int round = 0; round < 3; ++round) {
        const auto start = Clock::now();
        std::memcpy(to.data(), from.data(), bytes);
        const double ms = millisecondsSince(start);
        if (round == 0 || ms < best) best = ms;
    }
    // The copy is used, so that it is not left out.
    const volatile std::uint8_t used = to[bytes / 2];
    (void)used;
    return best;
}

void Reporter::measureCopy(const WorkBitmap& picture) const {
    if (!timings) return;
    log->copyMs = copyMilliseconds(picture);
    say(formatted("copy: %.2f ms\n", log->copyMs));
}

void Reporter::timing(const std::string& what, double ms) const {
    if (!timings) return;
    say(log->copyMs > 0 ? formatted("%s: %.2f ms (%.1f copies)\n", what.c_str(), ms, ms / log->copyMs)
                        : formatted("%s: %.2f ms\n", what.c_str(), ms));
}

void Reporter::error(const std::string& message) const { say(std::string(kProgram) + ": " + message + "\n"); }

void Reporter::warning(const std::string& message) const {
    // One warning line for each line of the message.
    for (std::size_t at = 0; at < message.size();) {
        const std::size_t end = std::min(message.find('\n', at), message.size());
        say(std::string(kProgram) + ": warning: " + message.substr(at, end - at) + "\n");
        at = end + 1;
    }
}

void Reporter::say(const std::string& line) const {
    if (log->atOnce) std::fputs(line.c_str(), stderr);
    else log->lines += line;
}

}  // namespace hueline::batch
