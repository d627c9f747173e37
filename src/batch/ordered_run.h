// SPDX-License-Identifier: GPL-3.0-or-later
// Work on several threads whose results come out in order: a folder run
// does its pictures side by side, yet reports them one after the other in
// the order of the list, as a run on one thread does.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <tuple>
#include <vector>

namespace hueline::batch {

// The number of processors this process may run on (at least 1).
int processorCount();

// How much of the machine a run may take at once: threads, and the memory
// the jobs in flight together are expected to need.
struct RunLimits {
    int threads = 1;
    std::size_t memory = std::size_t(-1);
};

// Runs every job that take() hands out, in the order it hands them out
// (job i is the i-th), on up to limits.threads threads, and hands each
// result to deliver(i, result) in ascending order of i, one call at a
// time. take() and bytes() are called on the calling thread only, and no
// further ahead than the threads need: a job is taken once a thread is
// free for it and the jobs in flight together with it need no more than
// limits.memory (as bytes(job) says); a job that needs more than that runs
// alone. The first exception thrown by work or deliver stops the taking of
// new jobs and nothing after the job that failed is delivered; one thrown
// by take stops the taking, and the jobs taken before are done and
// delivered. Either is thrown again once every thread has finished.
template <class Job, class Result>
void runInOrder(const RunLimits& limits, const std::function<std::optional<Job>()>& take,
                const std::function<std::size_t(const Job&)>& bytes,
                const std::function<Result(std::size_t, Job&)>& work,
                const std::function<void(std::size_t, Result&)>& deliver) {
    if (limits.threads <= 1) {
        for (std::size_t i = 0;; ++i) {
            std::optional<Job> job = take();
            if (!job) return;
            Result r = work(i, *job);
            deliver(i, r);
        }
    }
    const std::size_t threads = std::size_t(limits.threads);
    // Results wait for an earlier one at most this far ahead of it.
    const std::size_t window = 4 * threads;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::tuple<std::size_t, Job, std::size_t>> admitted;  // not started yet
    std::map<std::size_t, Result> waiting;                           // done, but an earlier one is not
    std::size_t delivered = 0, inFlight = 0, used = 0;
    bool ended = false;
    std::exception_ptr failure, takeFailure;

    auto worker = [&] {
        std::unique_lock lock(mutex);
        for (;;) {
            changed.wait(lock, [&] { return !admitted.empty() || ended || failure; });
            if (failure || admitted.empty()) return;
            auto [i, job, need] = std::move(admitted.front());
            admitted.pop_front();
            lock.unlock();
            try {
                Result r = work(i, job);
                lock.lock();
                waiting.emplace(i, std::move(r));
                for (auto it = waiting.begin(); !failure && it != waiting.end() && it->first == delivered;
                     it = waiting.erase(it)) {
                    deliver(it->first, it->second);
                    ++delivered;
                }
            } catch (...) {
                if (!lock.owns_lock()) lock.lock();
                if (!failure) failure = std::current_exception();
            }
            --inFlight;
            used -= need;
            changed.notify_all();
        }
    };
    std::vector<std::jthread> pool;
    for (std::size_t t = 0; t < threads; ++t) pool.emplace_back(worker);
    try {
        for (std::size_t i = 0;; ++i) {
            std::optional<Job> job = take();
            if (!job) break;
            const std::size_t need = bytes(*job);
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] {
                return failure || (inFlight < threads && i < delivered + window &&
                                   (inFlight == 0 || (used <= limits.memory && need <= limits.memory - used)));
            });
            if (failure) break;
            ++inFlight;
            used += need;
            admitted.emplace_back(i, std::move(*job), need);
            changed.notify_all();
        }
    } catch (...) {
        // The jobs taken before are still done and delivered.
        takeFailure = std::current_exception();
    }
    {
        const std::lock_guard lock(mutex);
        ended = true;
        changed.notify_all();
    }
    pool.clear();
    if (failure) std::rethrow_exception(failure);
    if (takeFailure) std::rethrow_exception(takeFailure);
}

}  // namespace hueline::batch
