// SPDX-License-Identifier: GPL-3.0-or-later
// What the PNG reader and writer share: an owner for a libspng context
// and the user's words for libspng's error codes.
#pragma once

#include <memory>
#include <string>

#include <spng.h>

namespace hueline::png {

struct ContextFree {
    void operator()(spng_ctx* ctx) const { spng_ctx_free(ctx); }
};
using Context = std::unique_ptr<spng_ctx, ContextFree>;

// "it is not a PNG file", "the file ends before its pixels", ... for a
// libspng error code.
std::string reasonFor(int error);

}  // namespace hueline::png
