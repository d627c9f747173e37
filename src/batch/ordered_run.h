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
class OrderedRun {
public:
    using Take = std::function<std::optional<Job>()>;
    using Bytes = std::function<std::size_t(const Job&)>;
    using Work = std::function<Result(std::size_t, Job&)>;
    using Deliver = std::function<void(std::size_t, Result&)>;

    OrderedRun(const RunLimits& limits, const Take& take, const Bytes& bytes, const Work& work, const Deliver& deliver)
        : limits_(limits), take_(take), bytes_(bytes), work_(work), deliver_(deliver) {}

    void run() {
        if (limits_.threads <= 1) return runAlone();
        std::vector<std::jthread> pool;
        for (int t = 0; t < limits_.threads; ++t) pool.emplace_back([this] { work(); });
        try {
            admitAll();
        } catch (...) {
            // The jobs taken before are still done and delivered.
            takeFailure_ = std::current_exception();
        }
        {
            const std::lock_guard lock(mutex_);
            ended_ = true;
            jobReady_.notify_all();
        }
        pool.clear();
        if (failure_) std::rethrow_exception(failure_);
        if (takeFailure_) std::rethrow_exception(takeFailure_);
    }

private:
    struct Admitted {
        std::size_t i;
        Job job;
        std::size_t bytes;
    };

    void runAlone() {
        for (std::size_t i = 0;; ++i) {
            std::optional<Job> job = take_();
            if (!job) return;
            Result r = work_(i, *job);
            deliver_(i, r);
        }
    }

    // Takes the jobs one by one, each once the memory for it is free and
    // fewer than two jobs a thread are in flight (so that a thread that is
    // done finds the next one ready), and no further ahead of the results
    // delivered than a few jobs a thread.
    void admitAll() {
        const std::size_t threads = std::size_t(limits_.threads), window = 4 * threads;
        for (std::size_t i = 0;; ++i) {
            std::optional<Job> job = take_();
            if (!job) return;
            const std::size_t need = bytes_(*job);
            std::unique_lock lock(mutex_);
            roomMade_.wait(lock, [&] {
                return failure_ || (inFlight_ < 2 * threads && i < delivered_ + window &&
                                    (inFlight_ == 0 || (used_ <= limits_.memory && need <= limits_.memory - used_)));
            });
            if (failure_) return;
            ++inFlight_;
            used_ += need;
            admitted_.push_back(Admitted{i, std::move(*job), need});
            jobReady_.notify_one();
        }
    }

    // One thread: does the jobs admitted until there are no more.
    void work() {
        std::unique_lock lock(mutex_);
        for (;;) {
            jobReady_.wait(lock, [&] { return !admitted_.empty() || ended_ || failure_; });
            if (failure_ || admitted_.empty()) return;
            Admitted a = std::move(admitted_.front());
            admitted_.pop_front();
            lock.unlock();
            try {
                Result r = work_(a.i, a.job);
                lock.lock();
                waiting_.emplace(a.i, std::move(r));
                deliverInOrder();
            } catch (...) {
                if (!lock.owns_lock()) lock.lock();
                if (!failure_) failure_ = std::current_exception();
                jobReady_.notify_all();
            }
            --inFlight_;
            used_ -= a.bytes;
            roomMade_.notify_one();
        }
    }

    // Hands on every result whose earlier ones are all handed on; nothing
    // after a failure. Called with the mutex held.
    void deliverInOrder() {
        for (auto it = waiting_.begin(); !failure_ && it != waiting_.end() && it->first == delivered_;
             it = waiting_.erase(it)) {
            deliver_(it->first, it->second);
            ++delivered_;
        }
    }

    const RunLimits limits_;
    const Take& take_;
    const Bytes& bytes_;
    const Work& work_;
    const Deliver& deliver_;
    std::mutex mutex_;
    std::condition_variable jobReady_;  // for the threads: a job is admitted, or the run ends
    std::condition_variable roomMade_;  // for the taking: a job is done
    std::deque<Admitted> admitted_;       // not started yet
    std::map<std::size_t, Result> waiting_;  // done, but an earlier one is not
    std::size_t delivered_ = 0, inFlight_ = 0, used_ = 0;
    bool ended_ = false;
    std::exception_ptr failure_, takeFailure_;
};

template <class Job, class Result>
void runInOrder(const RunLimits& limits, const std::function<std::optional<Job>()>& take,
                const std::function<std::size_t(const Job&)>& bytes,
                const std::function<Result(std::size_t, Job&)>& work,
                const std::function<void(std::size_t, Result&)>& deliver) {
    OrderedRun<Job, Result>(limits, take, bytes, work, deliver).run();
}

}  // namespace hueline::batch
