// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/picture/memory.h"

#include <malloc.h>

namespace hueline {

void keepPictureMemoryForReuse() {
#ifdef M_MMAP_THRESHOLD
    // Blocks up to 1 GiB come from the heap, and up to 1 GiB of free heap is
    // kept before it is returned to the system.
    mallopt(M_MMAP_THRESHOLD, 1 << 30);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
#endif
}

}  // namespace hueline
