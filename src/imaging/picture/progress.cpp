// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/picture/progress.h"

#include <utility>

namespace hueline {

namespace {
thread_local ProgressScope* innermost = nullptr;
}

ProgressScope::ProgressScope(ProgressCallback callback) : callback_(std::move(callback)), outer_(innermost) {
    innermost = this;
}

ProgressScope::~ProgressScope() { innermost = outer_; }

void reportProgress(double fraction) {
    if (innermost && innermost->callback_ && !innermost->callback_(fraction)) throw Cancelled();
}

}  // namespace hueline
