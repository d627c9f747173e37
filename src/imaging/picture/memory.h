// SPDX-License-Identifier: GPL-3.0-or-later
// Process-wide memory settings for programs that handle big pictures.
#pragma once

namespace hueline {

// Keeps freed picture-sized blocks in the heap for reuse instead of giving
// them back to the system at once. Every command allocates a new picture of
// the same size as the last; without this each one pays again for fresh
// pages (about as much as the whole computation on a 12-megapixel photo).
// Call once at the start of main().
void keepPictureMemoryForReuse();

}  // namespace hueline
