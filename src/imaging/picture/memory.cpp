// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/picture/memory.h"

#include <pthread.h>
#include <sys/mman.h>

#include <algorithm>
#include <array>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <new>
#include <utility>
#include <vector>

namespace hueline {
namespace {

// Blocks from this size on are mapped and cached; smaller ones come from
// the heap.
constexpr std::size_t kBigBlock = std::size_t(1) << 20;
constexpr std::size_t kHugePage = std::size_t(2) << 20;
constexpr std::size_t kPage = 4096;  // the smallest page a block may be made of
// The cache keeps at most this many blocks of the largest size among the
// last kRecent asked for, and never more than kMostCached bytes in all. A
// passing smaller picture (a thumbnail, a zoomed view) leaves the blocks of
// the pictures being edited alone; a few in a row give them back.
constexpr std::size_t kCachedPictures = 4;
constexpr std::size_t kRecent = 8;
constexpr std::size_t kMostCached = std::size_t(1) << 30;

// Under AddressSanitizer every block comes from the heap, so that reads
// past a picture's end are still caught.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMapBigBlocks = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kMapBigBlocks = false;
#else
constexpr bool kMapBigBlocks = true;
#endif
#else
constexpr bool kMapBigBlocks = true;
#endif

struct Block {
    std::uint8_t* data;
    std::size_t size;
};

void unmap(const Block& b) { ::munmap(b.data, b.size); }

// A fresh mapping of size bytes (a multiple of kHugePage) that starts on a
// huge-page boundary, so that the system can back all of it with huge pages.
std::uint8_t* mapAligned(std::size_t size) {
    const std::size_t span = size + kHugePage;
    void* p = ::mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) throw std::bad_alloc();
    auto* raw = static_cast<std::uint8_t*>(p);
    const std::size_t lead = (kHugePage - reinterpret_cast<std::uintptr_t>(raw) % kHugePage) % kHugePage;
    if (lead) ::munmap(raw, lead);
    if (kHugePage - lead) ::munmap(raw + lead + size, kHugePage - lead);
#ifdef MADV_HUGEPAGE
    ::madvise(raw + lead, size, MADV_HUGEPAGE);
#endif
    return raw + lead;
}

class Cache {
public:
    // A cached block of exactly size bytes, or nullptr. Either way the size
    // counts as recently asked for.
    std::uint8_t* take(std::size_t size) {
        std::vector<Block> dropped;
        std::uint8_t* found = nullptr;
        bool warmAnother = false;
        {
            std::unique_lock lock(mutex_);
            recent_[next_++ % kRecent] = size;
            // The spare on its way is as quick to wait for as fresh pages.
            warmed_.wait(lock, [&] { return warming_ != size || has(size); });
            // Most recently freed first: its pages are the likeliest in cache.
            for (auto it = blocks_.rbegin(); it != blocks_.rend(); ++it)
                if (it->size == size) {
                    found = it->data;
                    bytes_ -= size;
                    blocks_.erase(std::next(it).base());
                    break;
                }
            trim(dropped);
            warmAnother = size == warmSize_ && warming_ == 0 && !has(size);
            if (warmAnother) warming_ = size;
        }
        for (const Block& b : dropped) unmap(b);
        if (warmAnother) startWarming(size);
        return found;
    }

    // From now on one block of size bytes is kept ready, its pages in
    // memory, for the pictures being edited.
    void keepWarm(std::size_t size) {
        {
            const std::lock_guard lock(mutex_);
            warmSize_ = size;
            if (warming_ != 0 || has(size)) return;
            warming_ = size;
        }
        startWarming(size);
    }

    void give(Block block) {
        std::vector<Block> dropped;
        {
            const std::lock_guard lock(mutex_);
            blocks_.push_back(block);
            bytes_ += block.size;
            trim(dropped);
        }
        for (const Block& b : dropped) unmap(b);
    }

    PictureMemoryCache contents() {
        const std::lock_guard lock(mutex_);
        return {blocks_.size(), bytes_};
    }

    void clear() {
        std::vector<Block> dropped;
        {
            std::unique_lock lock(mutex_);
            warmSize_ = 0;
            warmed_.wait(lock, [&] { return warming_ == 0; });
            dropped.swap(blocks_);
            bytes_ = 0;
        }
        for (const Block& b : dropped) unmap(b);
    }

    // A child process has no thread making a block ready: it starts with
    // none on its way (the parent's still comes).
    void lockForFork() { mutex_.lock(); }
    void unlockAfterFork(bool child) {
        if (child) warming_ = 0;
        mutex_.unlock();
    }

private:
    bool has(std::size_t size) const {
        return std::any_of(blocks_.begin(), blocks_.end(), [&](const Block& b) { return b.size == size; });
    }

    // Maps a block and touches its pages on a thread of its own, then
    // caches it. Without memory to spare, nothing is kept ready.
    void startWarming(std::size_t size) {
        try {
            std::thread([this, size] { warm(size); }).detach();
        } catch (const std::system_error&) {
            finishWarming(nullptr, size);
        }
    }

    void warm(std::size_t size) {
        std::uint8_t* data = nullptr;
        try {
            data = mapAligned(size);
            for (std::size_t at = 0; at < size; at += kPage) data[at] = 0;
        } catch (const std::bad_alloc&) {
            data = nullptr;
        }
        finishWarming(data, size);
    }

    void finishWarming(std::uint8_t* data, std::size_t size) {
        std::vector<Block> dropped;
        {
            const std::lock_guard lock(mutex_);
            if (data) {
                blocks_.push_back({data, size});
                bytes_ += size;
                trim(dropped);
            }
            warming_ = 0;
        }
        warmed_.notify_all();
        for (const Block& b : dropped) unmap(b);
    }

    // Drops the least recently freed blocks until the cache is within its
    // bounds (called with the lock held; the caller unmaps them).
    void trim(std::vector<Block>& dropped) {
        const std::size_t largest = *std::max_element(recent_.begin(), recent_.end());
        const std::size_t limit = std::min(kMostCached, kCachedPictures * largest);
        while (!blocks_.empty() && bytes_ > limit) {
            dropped.push_back(blocks_.front());
            bytes_ -= blocks_.front().size;
            blocks_.erase(blocks_.begin());
        }
    }

    std::mutex mutex_;
    std::vector<Block> blocks_;  // least recently freed first
    std::size_t bytes_ = 0;
    std::array<std::size_t, kRecent> recent_{};  // sizes asked for, round the ring
    std::size_t next_ = 0;
    std::size_t warmSize_ = 0;  // the size kept ready; 0 for none
    std::size_t warming_ = 0;   // the size of the block being made ready; 0 for none
    std::condition_variable warmed_;
};

Cache& cache() {
    // Never destroyed: pictures held by static objects may be freed after
    // the end of main().
    static Cache* c = [] {
        auto* made = new Cache;
        ::pthread_atfork([] { cache().lockForFork(); }, [] { cache().unlockAfterFork(false); },
                         [] { cache().unlockAfterFork(true); });
        return made;
    }();
    return *c;
}

}  // namespace

PictureMemory::PictureMemory(std::size_t bytes) {
    if (!kMapBigBlocks || bytes < kBigBlock) {
        data_ = new std::uint8_t[bytes ? bytes : 1];
        return;
    }
    const std::size_t size = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    data_ = cache().take(size);
    if (!data_) {
        try {
            data_ = mapAligned(size);
        } catch (const std::bad_alloc&) {
            // Blocks of other sizes may still be cached: give them back
            // and try once more.
            releaseCachedPictureMemory();
            data_ = mapAligned(size);
        }
    }
    mapped_ = size;
}

PictureMemory::~PictureMemory() { release(); }

PictureMemory::PictureMemory(PictureMemory&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), mapped_(std::exchange(other.mapped_, 0)) {}

PictureMemory& PictureMemory::operator=(PictureMemory&& other) noexcept {
    if (this != &other) {
        release();
        data_ = std::exchange(other.data_, nullptr);
        mapped_ = std::exchange(other.mapped_, 0);
    }
    return *this;
}

void PictureMemory::release() noexcept {
    if (!data_) return;
    if (mapped_) {
        try {
            cache().give({data_, mapped_});
        } catch (...) {
            unmap({data_, mapped_});  // no room to note it: give it back now
        }
    } else {
        delete[] data_;
    }
    data_ = nullptr;
    mapped_ = 0;
}

void keepPictureMemoryWarm(std::size_t bytes) {
    if (!kMapBigBlocks || bytes < kBigBlock) return;
    cache().keepWarm((bytes + kHugePage - 1) / kHugePage * kHugePage);
}

PictureMemoryCache cachedPictureMemory() { return cache().contents(); }

void releaseCachedPictureMemory() { cache().clear(); }

}  // namespace hueline
