// SPDX-License-Identifier: GPL-3.0-or-later
// Progress of long reads, and a way for the user to stop them.
//
// A reader that may take long (a big JPEG, a metafile with much drawing)
// calls reportProgress() at its checkpoints. Whoever started the read and
// wants to hear of it installs a ProgressScope around the call: its
// callback gets how far the work is and returns false to stop it, and
// reportProgress() then throws Cancelled out of the reader. Readers keep
// nothing half-made, so a cancelled open changes nothing. Without a scope
// reportProgress() costs a test of one pointer.
#pragma once

#include <exception>
#include <functional>

namespace hueline {

// Thrown out of a read whose ProgressScope callback said stop. Not a
// UserError: nothing failed, and there is nothing to tell the user.
class Cancelled : public std::exception {
public:
    const char* what() const noexcept override { return "cancelled"; }
};

// fraction: 0..1 where the reader knows how far it is, below 0 where not.
using ProgressCallback = std::function<bool(double fraction)>;

// Installs callback for the current thread while it lives; scopes nest.
class ProgressScope {
public:
    explicit ProgressScope(ProgressCallback callback);
    ~ProgressScope();
    ProgressScope(const ProgressScope&) = delete;
    ProgressScope& operator=(const ProgressScope&) = delete;

private:
    ProgressCallback callback_;
    ProgressScope* outer_;
    friend void reportProgress(double fraction);
};

// Tells the innermost scope of this thread how far the work is; throws
// Cancelled when it says stop.
void reportProgress(double fraction);

}  // namespace hueline
