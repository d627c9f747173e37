// SPDX-License-Identifier: GPL-3.0-or-later
// How much memory the pictures of a folder run may take together.
#pragma once

#include <cstddef>
#include <string>

namespace hueline::batch {

// A quarter of the machine's memory: pictures done side by side together
// take no more than that unless --memory says otherwise.
std::size_t defaultMemoryBudget();

// "2G", "1500M", "800k" or a number of bytes (K, M, G and T are powers of
// 1024, in either case). Throws UsageError.
std::size_t parseMemorySize(const std::string& text);

// What doing the picture with so many steps is expected to take: 3 bytes
// a pixel of the size its header gives for each picture a workspace holds
// (two, and one more a step, up to five); where the header gives no size,
// twice the file's size. 0 when the file cannot be read (its opening
// fails and says why).
std::size_t memoryFor(const std::string& picture, std::size_t steps);

}  // namespace hueline::batch
