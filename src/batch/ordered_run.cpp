// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch/ordered_run.h"

#include <sched.h>

namespace hueline::batch {

int processorCount() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) return CPU_COUNT(&set);
    const unsigned n = std::thread::hardware_concurrency();
    return n ? int(n) : 1;
}

}  // namespace hueline::batch
