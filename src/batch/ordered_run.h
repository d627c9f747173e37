// SPDX-License-Identifier: GPL-3.0-or-later
// Work on several threads whose results come out in order: a folder run
// does its pictures side by side, yet reports them one after the other in
// the order of the list, as a run on one thread does.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace hueline::batch {

// The number of processors this process may run on (at least 1).
int processorCount();

// Runs work(i) for every i below count on up to `threads` threads (the
// calling thread alone when that is 1), taking the indices in ascending
// order, and hands each result to deliver(i, result) in ascending order of
// i, one call at a time. The first exception thrown by work or deliver
// stops the taking of new indices and is thrown again once every thread
// has finished.
template <class Result>
void runInOrder(std::size_t count, int threads, const std::function<Result(std::size_t)>& work,
                const std::function<void(std::size_t, Result&)>& deliver) {
    if (threads <= 1 || count <= 1) {
        for (std::size_t i = 0; i < count; ++i) {
            Result r = work(i);
            deliver(i, r);
        }
        return;
    }
    std::atomic<std::size_t> next{0};
    std::mutex mutex;
    std::map<std::size_t, Result> waiting;  // done, but an earlier one is not
    std::size_t delivered = 0;
    std::exception_ptr failure;
    std::atomic<bool> stop{false};

    auto worker = [&] {
        try {
            for (std::size_t i; !stop.load() && (i = next.fetch_add(1)) < count;) {
                Result r = work(i);
                std::lock_guard lock(mutex);
                waiting.emplace(i, std::move(r));
                for (auto it = waiting.begin(); it != waiting.end() && it->first == delivered; it = waiting.erase(it)) {
                    deliver(it->first, it->second);
                    ++delivered;
                }
            }
        } catch (...) {
            std::lock_guard lock(mutex);
            if (!failure) failure = std::current_exception();
            stop.store(true);
        }
    };
    {
        std::vector<std::jthread> pool;
        const std::size_t n = std::min<std::size_t>(std::size_t(threads), count);
        for (std::size_t t = 1; t < n; ++t) pool.emplace_back(worker);
        worker();
    }
    if (failure) std::rethrow_exception(failure);
}

}  // namespace hueline::batch
