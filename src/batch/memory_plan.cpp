// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch/memory_plan.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <limits>
#include <optional>

#include "batch/steps.h"
#include "imaging/codecs/picture_size.h"

namespace hueline::batch {
namespace {

// A picture at work is held at 3 bytes a pixel, in the loaded picture and
// a picture made ready for the next command, then one more for each step
// (its result, the undo copy, the panes), up to as many as a workspace
// keeps: about what a run measures.
constexpr std::size_t kBytesPerPixel = 3;
constexpr std::size_t kPicturesHeld = 2, kMostPicturesHeld = 5;

}  // namespace

std::size_t defaultMemoryBudget() {
    const long pages = ::sysconf(_SC_PHYS_PAGES), pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) return std::size_t(1) << 30;
    return std::size_t(pages) / 4 * std::size_t(pageSize);
}

std::size_t parseMemorySize(const std::string& text) {
    std::size_t digits = 0;
    std::size_t value = 0;
    bool ok = !text.empty();
    for (; ok && digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits])); ++digits) {
        ok = value <= (std::numeric_limits<std::size_t>::max() - 9) / 10;
        value = value * 10 + std::size_t(text[digits] - '0');
    }
    int shift = 0;
    if (digits < text.size() && digits + 1 == text.size()) {
        const char unit = char(std::toupper(static_cast<unsigned char>(text.back())));
        shift = unit == 'K' ? 10 : unit == 'M' ? 20 : unit == 'G' ? 30 : unit == 'T' ? 40 : -1;
    }
    ok = ok && digits > 0 && shift >= 0 && (digits == text.size() || shift > 0) && value > 0 &&
         value <= (std::numeric_limits<std::size_t>::max() >> shift);
    if (!ok) throw UsageError("--memory must be a size such as 2G or 500M, not '" + text + "'");
    return value << shift;
}

std::size_t memoryFor(const std::string& picture, std::size_t steps) {
    struct stat st {};
    if (::stat(picture.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return 0;
    if (const std::optional<PictureSize> size = pictureSizeFromHeader(picture))
        return std::size_t(size->pixels()) * kBytesPerPixel * std::min(kPicturesHeld + steps, kMostPicturesHeld);
    return std::size_t(st.st_size) * 2;
}

}  // namespace hueline::batch
