// SPDX-License-Identifier: GPL-3.0-or-later
// A synthetic enhanced metafile for the metafile benchmarks: a drawing of
// the given size in pixels with many small shapes, lines and words, the
// mix real office drawings have.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace hueline::bench {

class MetafileSample {
public:
    // groups: how many sets of shapes (each about 200 bytes in the file).
    static std::vector<std::uint8_t> emf(int width, int height, int groups) {
        MetafileSample s;
        // A font 24 pixels high.
        s.begin(82);
        s.u32(1).i32(-24).i32(0).i32(0).i32(0).i32(400).u32(0).u32(0);
        const std::u16string face = u"Arial";
        for (int i = 0; i < 32; ++i) s.u16(i < int(face.size()) ? face[i] : 0);
        s.end();
        s.begin(37), s.u32(1), s.end();
        s.begin(18), s.u32(1), s.end();  // transparent text background
        std::uint32_t seed = 12345;
        auto next = [&](int range) {
            seed = seed * 1664525u + 1013904223u;
            return int((seed >> 8) % std::uint32_t(range));
        };
        for (int g = 0; g < groups; ++g) {
            const int x = next(width - 100), y = next(height - 100);
            s.begin(39), s.u32(2).u32(0).u32(std::uint32_t(next(0xFFFFFF))).u32(0), s.end();  // brush
            s.begin(37), s.u32(2), s.end();
            s.begin(86), s.i32(0).i32(0).i32(0).i32(0).u32(6);  // polygon, 16-bit points
            for (int k = 0; k < 6; ++k) s.u16(std::uint16_t(x + next(90))).u16(std::uint16_t(y + next(90)));
            s.end();
            s.begin(42), s.i32(x).i32(y).i32(x + 40 + next(40)).i32(y + 30 + next(40)), s.end();  // ellipse
            s.begin(87), s.i32(0).i32(0).i32(0).i32(0).u32(12);  // polyline
            for (int k = 0; k < 12; ++k) s.u16(std::uint16_t(x + k * 8)).u16(std::uint16_t(y + next(100)));
            s.end();
            const std::u16string word = u"Hueline sketch";
            s.begin(84), s.i32(0).i32(0).i32(0).i32(0).u32(1).u32(0x3F800000).u32(0x3F800000);
            s.i32(x).i32(y + 50).u32(std::uint32_t(word.size())).u32(76).u32(0).i32(0).i32(0).i32(0).i32(0).u32(0);
            for (char16_t c : word) s.u16(c);
            s.end();
            s.begin(40), s.u32(2), s.end();
        }
        s.begin(14), s.u32(0).u32(0).u32(20), s.end();
        // The header: 1 pixel per millimetre.
        MetafileSample h;
        h.u32(1).u32(88).i32(0).i32(0).i32(width).i32(height).i32(0).i32(0).i32(width * 100).i32(height * 100);
        h.u32(0x464D4520).u32(0x10000).u32(std::uint32_t(88 + s.b_.size())).u32(0).u16(4).u16(0);
        h.u32(0).u32(0).u32(0).i32(width).i32(height).i32(width).i32(height);
        h.b_.insert(h.b_.end(), s.b_.begin(), s.b_.end());
        return h.b_;
    }

private:
    MetafileSample& u16(std::uint16_t v) { b_.push_back(std::uint8_t(v)), b_.push_back(std::uint8_t(v >> 8)); return *this; }
    MetafileSample& u32(std::uint32_t v) { return u16(std::uint16_t(v)).u16(std::uint16_t(v >> 16)); }
    MetafileSample& i32(std::int32_t v) { return u32(std::uint32_t(v)); }
    void begin(std::uint32_t type) { start_ = b_.size(), u32(type).u32(0); }
    void end() {
        while ((b_.size() - start_) % 4) b_.push_back(0);
        const std::uint32_t size = std::uint32_t(b_.size() - start_);
        for (int i = 0; i < 4; ++i) b_[start_ + 4 + i] = std::uint8_t(size >> (8 * i));
    }
    std::vector<std::uint8_t> b_;
    std::size_t start_ = 0;
};

}  // namespace hueline::bench
