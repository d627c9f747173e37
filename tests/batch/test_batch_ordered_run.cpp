// SPDX-License-Identifier: GPL-3.0-or-later
// The folder run's worker threads: every picture done once, results handed
// on in the order of the pictures however the threads finish, a failure
// ending the run instead of hanging it, and the pictures in flight kept
// within the memory budget.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <optional>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

#include "batch/ordered_run.h"

namespace hueline::batch {
namespace {

using std::chrono::microseconds;

// Jobs 0, 1, ... count - 1, each needing what bytes says.
struct Counter {
    std::size_t count, next = 0;
    std::optional<std::size_t> operator()() { return next < count ? std::optional(next++) : std::nullopt; }
};

std::size_t nothing(const std::size_t&) { return 0; }

TEST(BatchOrderedRun, ResultsComeOutInOrderHoweverTheThreadsFinish) {
    std::mutex m;
    std::set<std::thread::id> threads;
    std::vector<std::size_t> delivered;
    runInOrder<std::size_t, std::size_t>(
        RunLimits{4}, Counter{60}, nothing,
        [&](std::size_t i, std::size_t& job) {
            EXPECT_EQ(i, job);
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
    EXPECT_THROW((runInOrder<std::size_t, int>(
                     RunLimits{3}, Counter{10000}, nothing,
                     [&](std::size_t i, std::size_t&) {
                         ++started;
                         if (i == 5) throw std::runtime_error("no memory");
                         std::this_thread::sleep_for(microseconds(200));
                         return 0;
                     },
                     [&](std::size_t i, int&) { delivered.push_back(i); })),
                 std::runtime_error);
    EXPECT_LT(started.load(), 100);
    // Nothing after the failed one is handed on: that would skip it.
    for (const std::size_t i : delivered) EXPECT_LT(i, 5u);
}

TEST(BatchOrderedRun, JobsAreTakenAsNeededAndKeptWithinTheMemoryBudget) {
    // Jobs 3 and 7 need more than the whole budget; the others a third.
    const auto need = [](const std::size_t& job) -> std::size_t { return job % 4 == 3 ? 500 : 100; };
    std::mutex m;
    std::size_t inFlight = 0, used = 0, mostUsed = 0, taken = 0, mostAhead = 0;
    std::vector<std::size_t> delivered;
    bool bigSharedTheMachine = false;
    runInOrder<std::size_t, std::size_t>(
        RunLimits{4, 300},
        [&]() -> std::optional<std::size_t> {
            const std::lock_guard lock(m);
            mostAhead = std::max(mostAhead, taken - delivered.size());
            return taken < 12 ? std::optional(taken++) : std::nullopt;
        },
        need,
        [&](std::size_t, std::size_t& job) {
            {
                const std::lock_guard lock(m);
                ++inFlight;
                used += need(job);
                mostUsed = std::max(mostUsed, used);
                if (need(job) > 300 && inFlight > 1) bigSharedTheMachine = true;
            }
            std::this_thread::sleep_for(microseconds(3000));
            const std::lock_guard lock(m);
            if (need(job) <= 300 && used > 300) bigSharedTheMachine = true;
            --inFlight;
            used -= need(job);
            return job;
        },
        [&](std::size_t, std::size_t& job) {
            const std::lock_guard lock(m);
            delivered.push_back(job);
        });
    EXPECT_EQ(delivered.size(), 12u);
    EXPECT_EQ(mostUsed, 500u);  // a big job alone; never four small ones
    EXPECT_FALSE(bigSharedTheMachine);
    // An endless list is never read far ahead of the pictures done.
    EXPECT_LE(mostAhead, 16u);
}

}  // namespace
}  // namespace hueline::batch
