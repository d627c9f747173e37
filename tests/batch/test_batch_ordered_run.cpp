// SPDX-License-Identifier: GPL-3.0-or-later
// The folder run's worker threads: every picture done once, results handed
// on in the order of the pictures however the threads finish, and a
// failure ending the run instead of hanging it.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

#include "batch/ordered_run.h"

namespace hueline::batch {
namespace {

using std::chrono::microseconds;

TEST(BatchOrderedRun, ResultsComeOutInOrderHoweverTheThreadsFinish) {
    std::mutex m;
    std::set<std::thread::id> threads;
    std::vector<std::size_t> delivered;
    runInOrder<std::size_t>(
        60, 4,
        [&](std::size_t i) {
            // Uneven work, so that later pictures often finish first.
            std::this_thread::sleep_for(microseconds((60 - i) % 7 * 400));
            const std::lock_guard lock(m);
            threads.insert(std::this_thread::get_id());
            return i * i;
        },
        [&](std::size_t i, std::size_t& result) {
            EXPECT_EQ(result, i * i);
            delivered.push_back(i);
        });
    ASSERT_EQ(delivered.size(), 60u);
    for (std::size_t i = 0; i < delivered.size(); ++i) EXPECT_EQ(delivered[i], i);
    EXPECT_GT(threads.size(), 1u);
}

TEST(BatchOrderedRun, AFailureStopsTheRunAndComesOutOnce) {
    std::atomic<int> started{0};
    std::vector<std::size_t> delivered;
    EXPECT_THROW(runInOrder<int>(
                     10000, 3,
                     [&](std::size_t i) {
                         ++started;
                         if (i == 5) throw std::runtime_error("no memory");
                         std::this_thread::sleep_for(microseconds(200));
                         return 0;
                     },
                     [&](std::size_t i, int&) { delivered.push_back(i); }),
                 std::runtime_error);
    EXPECT_LT(started.load(), 100);
    // Nothing after the failed one is handed on: that would skip it.
    for (const std::size_t i : delivered) EXPECT_LT(i, 5u);
}

}  // namespace
}  // namespace hueline::batch
