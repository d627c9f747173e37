// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/metafile/dib_sample.h"

#include <algorithm>
#include <cstring>

#include "imaging/metafile/records.h"

namespace hueline::meta {

namespace {

// Output index n of count picks evenly from `from` .. from + length: the
// source position it takes, and back, the first output index whose pick
// is at or past a source position.
struct Picks {
    std::int64_t from, length, count;
    std::int64_t at(std::int64_t n) const { return from + (2 * n + 1) * length / (2 * count); }
    std::int64_t firstAtOrPast(std::int64_t pos) const {
        const std::int64_t num = 2 * count * (pos - from) - length;
        return num <= 0 ? 0 : (num + 2 * length - 1) / (2 * length);
    }
};

class Sampler {
public:
    Sampler(const Record& h, std::size_t bitsAt, const SourceRect& part, int ow, int oh, int bpp, int outBpp,
            std::vector<std::uint8_t>& bits)
        : h_(h), bitsAt_(bitsAt), cols_{part.x, part.width, ow}, rows_{part.y, part.height, oh}, bpp_(bpp),
          outBytes_(outBpp / 8), stride_((std::size_t(ow) * std::size_t(outBpp) + 31) / 32 * 4), bits_(bits) {}

    std::size_t stride() const { return stride_; }

    // Uncompressed: each picked row read where it is stored.
    bool raw(int height) {
        const std::size_t inStride = (std::size_t(h_.i32(4)) * std::size_t(bpp_) + 31) / 32 * 4;
        for (std::int64_t j = 0; j < rows_.count; ++j) {
            const std::int64_t top = rows_.at(j), stored = height > 0 ? height - 1 - top : top;
            const auto row = h_.bytes(bitsAt_ + std::size_t(stored) * inStride, inStride);
            if (row.empty()) return false;
            for (std::int64_t i = 0; i < cols_.count; ++i) put(j, i, row.data(), cols_.at(i));
        }
        return true;
    }

    // RLE8 or RLE4, bottom-up: walked once; only picked rows are written.
    bool rle(int height, bool four) {
        std::size_t at = bitsAt_;
        std::int64_t x = 0, y = 0;  // y counts from the bottom
        while (at + 2 <= h_.size() && y < height) {
            const int count = h_.u8(at), value = h_.u8(at + 1);
            at += 2;
            if (count > 0) {
                run(height - 1 - y, x, count, [&](std::int64_t k) { return !four ? value : k % 2 ? value & 15 : value >> 4; });
                x += count;
            } else if (value == 0) {
                x = 0, ++y;
            } else if (value == 1) {
                break;
            } else if (value == 2) {
                x += h_.u8(at), y += h_.u8(at + 1), at += 2;
            } else {
                const std::size_t bytes = four ? (std::size_t(value) + 1) / 2 : std::size_t(value);
                const auto abs = h_.bytes(at, bytes);
                if (abs.empty()) return false;
                run(height - 1 - y, x, value, [&](std::int64_t k) { return four ? nibble(abs.data(), k) : abs[std::size_t(k)]; });
                x += value, at += (bytes + 1) / 2 * 2;
            }
        }
        return true;
    }

private:
    static int nibble(const std::uint8_t* p, std::int64_t k) { return k % 2 ? p[k / 2] & 15 : p[k / 2] >> 4; }

    // Pixels x0 .. x0 + n of the row top (from the top), value(k) each.
    template <class Value>
    void run(std::int64_t top, std::int64_t x0, std::int64_t n, Value value) {
        if (top < rows_.from || top >= rows_.from + rows_.length) return;
        const std::int64_t j = rows_.firstAtOrPast(top);
        if (j >= rows_.count || rows_.at(j) != top) return;
        for (std::int64_t i = cols_.firstAtOrPast(x0); i < cols_.count && cols_.at(i) < x0 + n; ++i)
            bits_[std::size_t(j) * stride_ + std::size_t(i)] = std::uint8_t(value(cols_.at(i) - x0));
    }

    void put(std::int64_t j, std::int64_t i, const std::uint8_t* row, std::int64_t x) {
        std::uint8_t* out = bits_.data() + std::size_t(j) * stride_ + std::size_t(i) * std::size_t(outBytes_);
        if (bpp_ == 1) *out = row[x / 8] >> (7 - x % 8) & 1;
        else if (bpp_ == 4) *out = std::uint8_t(nibble(row, x));
        else std::memcpy(out, row + std::size_t(x) * std::size_t(outBytes_), std::size_t(outBytes_));
    }

    const Record& h_;
    std::size_t bitsAt_;
    Picks cols_, rows_;
    int bpp_, outBytes_;
    std::size_t stride_;
    std::vector<std::uint8_t>& bits_;
};

}  // namespace

bool sampleDib(const Dib& dib, const SourceRect& part, int outWidth, int outHeight, Dib& out) {
    const Record h(dib.bytes);
    const std::uint32_t infoSize = h.u32(0), compression = h.u32(16);
    const int bpp = dib.bitCount, height = dib.height;
    if (infoSize < 40 || compression == 4 || compression == 5 || compression > 6) return false;
    const bool rle = compression == 1 || compression == 2;
    if ((compression == 1 && bpp != 8) || (compression == 2 && bpp != 4) || (rle && height < 0)) return false;
    if (part.x < 0 || part.y < 0 || part.width <= 0 || part.height <= 0 || part.x > dib.width - part.width ||
        part.y > std::abs(height) - part.height || outWidth <= 0 || outHeight <= 0 || outWidth > part.width ||
        outHeight > part.height)
        return false;
    std::uint64_t colors = h.u32(32);
    if (bpp <= 8 && (colors == 0 || colors > (1u << bpp))) colors = 1u << bpp;
    const std::uint64_t masks = infoSize == 40 && (compression == 3 || compression == 6) ? (compression == 3 ? 12 : 16) : 0;
    const std::uint64_t bitsAt = infoSize + masks + colors * 4;
    if (bitsAt > dib.bytes.size()) return false;

    const int outBpp = bpp <= 8 ? 8 : bpp;
    std::vector<std::uint8_t> bits;
    Sampler s(h, std::size_t(bitsAt), part, outWidth, outHeight, bpp, outBpp, bits);
    bits.assign(s.stride() * std::size_t(outHeight), 0);
    if (!(rle ? s.rle(height, compression == 2) : s.raw(height))) return false;

    std::vector<std::uint8_t> header(dib.bytes.begin(), dib.bytes.begin() + std::ptrdiff_t(bitsAt));
    auto set32 = [&](std::size_t at, std::uint32_t v) { for (int i = 0; i < 4; ++i) header[at + i] = std::uint8_t(v >> 8 * i); };
    set32(4, std::uint32_t(outWidth)), set32(8, std::uint32_t(-outHeight));
    header[14] = std::uint8_t(outBpp), header[15] = 0;
    set32(16, compression <= 2 ? 0 : compression), set32(20, 0);
    if (bpp <= 8) set32(32, std::uint32_t(colors));
    return describeDib(header, bits, out);
}

}  // namespace hueline::meta
