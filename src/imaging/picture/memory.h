// SPDX-License-Identifier: GPL-3.0-or-later
// Picture memory: the pixels of every WorkBitmap come from here.
//
// Big pictures are the program's only big blocks, and they come and go in
// step: each command makes a new picture the size of the last and drops an
// older one. Fresh memory from the system costs a page fault per page on
// first touch, about as much as a whole command on a 12-megapixel photo.
// So blocks of a megabyte and more are mapped in whole huge pages where the
// system offers them, and when freed they are kept in a small cache for the
// next picture of the same size. The cache holds at most a few blocks of
// the sizes recently asked for, and gives back whatever is bigger once the
// pictures have shrunk (a few 12-megapixel pictures after a 200-megapixel
// one leave no 600 MB block behind). For the picture being edited, one
// block is kept ready ahead. Safe to use from several threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace hueline {

class PictureMemory {
public:
    PictureMemory() = default;
    // At least bytes bytes, not cleared. Throws std::bad_alloc.
    explicit PictureMemory(std::size_t bytes);
    ~PictureMemory();
    PictureMemory(PictureMemory&& other) noexcept;
    PictureMemory& operator=(PictureMemory&& other) noexcept;
    PictureMemory(const PictureMemory&) = delete;
    PictureMemory& operator=(const PictureMemory&) = delete;

    std::uint8_t* data() const { return data_; }

private:
    void release() noexcept;

    std::uint8_t* data_ = nullptr;
    std::size_t mapped_ = 0;  // bytes mapped for a big block; 0 for one from the heap
};

// The bytes of a file built in memory, in picture memory: a big file made
// again and again (a photo saved after each change) reuses the pages of
// the last one instead of faulting in fresh ones. Sized once, not cleared.
class PictureBytes {
public:
    PictureBytes() = default;
    explicit PictureBytes(std::size_t size) : memory_(size), size_(size) {}

    std::uint8_t* data() { return memory_.data(); }
    const std::uint8_t* data() const { return memory_.data(); }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    std::uint8_t* begin() { return data(); }
    std::uint8_t* end() { return data() + size_; }
    const std::uint8_t* begin() const { return data(); }
    const std::uint8_t* end() const { return data() + size_; }
    std::uint8_t& operator[](std::size_t i) { return data()[i]; }
    const std::uint8_t& operator[](std::size_t i) const { return data()[i]; }
    // Keeps the first size bytes only (a file that was shorter than told).
    void shrink(std::size_t size) { size_ = size < size_ ? size : size_; }

    friend bool operator==(const PictureBytes& a, const PictureBytes& b) {
        return a.size_ == b.size_ && (a.size_ == 0 || std::memcmp(a.data(), b.data(), a.size_) == 0);
    }

private:
    PictureMemory memory_;
    std::size_t size_ = 0;
};

// Keeps one block of at least bytes bytes ready in the cache, its pages
// already in memory, made on a thread of its own: a picture just opened
// lets its first command run as fast as the ones after it. When the block
// is taken, the next is made ready, until the cache is emptied.
void keepPictureMemoryWarm(std::size_t bytes);

// What the cache holds now.
struct PictureMemoryCache {
    std::size_t blocks = 0;
    std::size_t bytes = 0;
};
PictureMemoryCache cachedPictureMemory();

// Gives every cached block back to the system (after the block being made
// ready, if any) and keeps none ready any more.
void releaseCachedPictureMemory();

}  // namespace hueline
