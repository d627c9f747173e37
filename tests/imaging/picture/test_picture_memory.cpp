// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstring>
#include <vector>

#include "imaging/picture/memory.h"
#include "imaging/picture/work_bitmap.h"

namespace hueline {
namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kCached = false;  // every block comes from the heap there
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kCached = false;
#else
constexpr bool kCached = true;
#endif
#else
constexpr bool kCached = true;
#endif

constexpr std::size_t kMiB = std::size_t(1) << 20;

TEST(PictureMemory, BigBlocksAreReusedAndTheCacheStaysBounded) {
    if (!kCached) GTEST_SKIP() << "no cache under AddressSanitizer";
    releaseCachedPictureMemory();

    // A picture of the same size as one just dropped gets its memory.
    const std::uint8_t* first = nullptr;
    {
        WorkBitmap photo = WorkBitmap::uninitialized24(4000, 3000);
        first = photo.row(0);
    }
    EXPECT_EQ(cachedPictureMemory().blocks, 1u);
    EXPECT_EQ(WorkBitmap::uninitialized24(4000, 3000).row(0), first);

    // Ten blocks dropped at once: four are kept.
    {
        std::vector<PictureMemory> many;
        for (int i = 0; i < 10; ++i) many.emplace_back(40 * kMiB);
    }
    EXPECT_EQ(cachedPictureMemory().blocks, 4u);
    EXPECT_EQ(cachedPictureMemory().bytes, 4 * 40 * kMiB);

    // One smaller picture passing by leaves them; smaller pictures from
    // then on give the big blocks back to the system.
    { PictureMemory thumbnail(4 * kMiB); }
    EXPECT_GE(cachedPictureMemory().bytes, 3 * 40 * kMiB);
    for (int i = 0; i < 8; ++i) PictureMemory small(4 * kMiB);
    EXPECT_EQ(cachedPictureMemory().bytes, 4 * kMiB);

    releaseCachedPictureMemory();
    EXPECT_EQ(cachedPictureMemory().blocks, 0u);
}

long minorFaultsOfThisThread() {
    rusage u{};
    getrusage(RUSAGE_THREAD, &u);
    return u.ru_minflt;
}

// A block kept ready is handed out with its pages in memory: writing all
// of it costs this thread (almost) no page faults; emptying the cache
// waits for the next one being made ready and keeps none.
TEST(PictureMemory, BlockKeptReadyComesWithItsPages) {
    if (!kCached) GTEST_SKIP() << "no cache under AddressSanitizer";
    releaseCachedPictureMemory();
    keepPictureMemoryWarm(40 * kMiB);
    PictureMemory block(40 * kMiB);
    const long before = minorFaultsOfThisThread();
    std::memset(block.data(), 7, 40 * kMiB);
    EXPECT_LT(minorFaultsOfThisThread() - before, 64);  // fresh pages: 20 huge or 10240 small ones
    releaseCachedPictureMemory();
    EXPECT_EQ(cachedPictureMemory().blocks, 0u);
    PictureMemory fresh(40 * kMiB);
    EXPECT_EQ(cachedPictureMemory().blocks, 0u);  // nothing is made ready any more
}

}  // namespace
}  // namespace hueline
