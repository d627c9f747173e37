// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/metafile/dib_sample.h"

#include <algorithm>
#include <cstring>

#include "imaging/metafile/records.h"
#include "imaging/picture/dib.h"

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
          outBytes_(outBpp / 8), stride_(std::size_t(dib::rowBytes(std::uint64_t(ow), std::uint64_t(outBpp)))), bits_(bits) {}

    std::size_t stride() const { return stride_; }

    // Uncompressed: each picked row read where it is stored.
    bool raw(int height) {
        const std::size_t inStride = std::size_t(dib::rowBytes(std::uint64_t(h_.i32(4)), std::uint64_t(bpp_)));
        for (std::int64_t j = 0; j < rows_.count; ++j) {
            const std::int64_t top = rows_.at(j), stored = height > 0 ? height - 1 - top : top;
            const auto row = h_.bytes(bitsAt_ + std::size_t(stored) * inStride, inStride);
            if (row.empty()) return false;
            for (std::int64_t i = 0; i < cols_.count; ++i) put(j, i, row.data(), cols_.at(i));
        }
        return true;
    }

    // RLE8 or RLE4, bottom-up: walked once; only picked rows are written.
    // Only literal runs cut short spoil the bitmap.
    bool rle(int height, bool four) {
        RlePicker picker{*this, height};
        return dib::walkRle(h_.bytes(bitsAt_, h_.size() - std::min(bitsAt_, h_.size())), four, picker) !=
               dib::RleEnd::InsideRun;
    }

private:
    struct RlePicker {
        Sampler& s;
        int height;
        bool more(std::int64_t y) const { return y < height; }
        void skipped(std::int64_t, std::int64_t) const {}
        void run(const dib::RleRun& r) const { s.run(height - 1 - r.y, r.x, r.count, [&r](std::int64_t k) { return r.at(unsigned(k)); }); }
    };

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
    const dib::InfoHeader info = dib::readInfoHeader(dib.bytes);
    const std::uint32_t infoSize = info.size, compression = info.compression;
    const int bpp = dib.bitCount, height = dib.height;
    if (infoSize < dib::kInfoHeaderSize || compression == dib::kJpeg || compression == dib::kPng ||
        compression > dib::kAlphaBitfields)
        return false;
    const bool rle = info.rle();
    if ((compression == dib::kRle8 && bpp != 8) || (compression == dib::kRle4 && bpp != 4) || (rle && height < 0))
        return false;
    if (part.x < 0 || part.y < 0 || part.width <= 0 || part.height <= 0 || part.x > dib.width - part.width ||
        part.y > std::abs(height) - part.height || outWidth <= 0 || outHeight <= 0 || outWidth > part.width ||
        outHeight > part.height)
        return false;
    std::uint64_t colors = info.colorsUsed;
    if (bpp <= 8 && (colors == 0 || colors > (1u << bpp))) colors = 1u << bpp;
    const std::uint64_t bitsAt = infoSize + dib::maskBytesAfter(info) + colors * 4;
    if (bitsAt > dib.bytes.size()) return false;

    const int outBpp = bpp <= 8 ? 8 : bpp;
    std::vector<std::uint8_t> bits;
    Sampler s(h, std::size_t(bitsAt), part, outWidth, outHeight, bpp, outBpp, bits);
    bits.assign(s.stride() * std::size_t(outHeight), 0);
    if (!(rle ? s.rle(height, compression == dib::kRle4) : s.raw(height))) return false;

    std::vector<std::uint8_t> header(dib.bytes.begin(), dib.bytes.begin() + std::ptrdiff_t(bitsAt));
    auto set32 = [&](std::size_t at, std::uint32_t v) { for (int i = 0; i < 4; ++i) header[at + i] = std::uint8_t(v >> 8 * i); };
    set32(4, std::uint32_t(outWidth)), set32(8, std::uint32_t(-outHeight));
    header[14] = std::uint8_t(outBpp), header[15] = 0;
    set32(16, rle ? dib::kRgb : compression), set32(20, 0);
    if (bpp <= 8) set32(32, std::uint32_t(colors));
    return describeDib(header, bits, out);
}

}  // namespace hueline::meta
