// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers for the metafile tests: byte builders for hand-made metafiles
// and a surface that records what it is asked to draw.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "imaging/metafile/record_types.h"
#include "imaging/metafile/surface.h"

namespace hueline::testing {

class Bytes {
public:
    Bytes& u8(unsigned v) { b.push_back(std::uint8_t(v)); return *this; }
    Bytes& u16(unsigned v) { return u8(v & 0xFF).u8(v >> 8 & 0xFF); }
    Bytes& i16(int v) { return u16(std::uint16_t(v)); }
    Bytes& u32(std::uint32_t v) { return u16(v & 0xFFFF).u16(v >> 16); }
    Bytes& i32(std::int32_t v) { return u32(std::uint32_t(v)); }
    Bytes& f32(float f) {
        std::uint32_t v;
        std::memcpy(&v, &f, 4);
        return u32(v);
    }
    Bytes& raw(const std::vector<std::uint8_t>& more) { b.insert(b.end(), more.begin(), more.end()); return *this; }
    Bytes& text(const std::string& s) { for (char c : s) u8(std::uint8_t(c)); return *this; }
    Bytes& pad(std::size_t multiple) { while (b.size() % multiple) u8(0); return *this; }
    std::size_t size() const { return b.size(); }
    std::vector<std::uint8_t> b;
};

// A placeable Windows metafile: header with a correct checksum, the
// standard header, the records given (function and 16-bit parameters, or
// whole raw records), and the end record.
class WmfBuilder {
public:
    WmfBuilder(int left, int top, int right, int bottom, int inch, int objects = 8)
        : left_(left), top_(top), right_(right), bottom_(bottom), inch_(inch), objects_(objects) {}
    WmfBuilder& rec(meta::WmfRecord function, std::initializer_list<int> params) {
        return rec(unsigned(function), params);
    }
    WmfBuilder& recBytes(meta::WmfRecord function, const Bytes& params) { return recBytes(unsigned(function), params); }
    WmfBuilder& rec(unsigned function, std::initializer_list<int> params) {
        Bytes r;
        r.u32(std::uint32_t(3 + params.size())).u16(function);
        for (int p : params) r.i16(p);
        records_.raw(r.b);
        return *this;
    }
    // A record with its parameters already laid out as bytes (even length).
    WmfBuilder& recBytes(unsigned function, const Bytes& params) {
        Bytes r;
        r.u32(std::uint32_t(3 + (params.size() + 1) / 2)).u16(function).raw(params.b).pad(2);
        records_.raw(r.b);
        return *this;
    }
    WmfBuilder& rawRecord(const Bytes& r) { records_.raw(r.b); return *this; }
    std::vector<std::uint8_t> build(bool withEof = true) const {
        Bytes h;
        h.u32(0x9AC6CDD7).u16(0).i16(left_).i16(top_).i16(right_).i16(bottom_).u16(inch_).u32(0);
        std::uint16_t sum = 0;
        for (std::size_t i = 0; i < 20; i += 2) sum ^= std::uint16_t(h.b[i] | h.b[i + 1] << 8);
        h.u16(sum);
        Bytes body = records_;
        if (withEof) body.u32(3).u16(0);
        h.u16(1).u16(9).u16(0x300).u32(std::uint32_t((18 + body.size()) / 2)).u16(objects_).u32(64).u16(0);
        h.raw(body.b);
        return h.b;
    }

private:
    int left_, top_, right_, bottom_, inch_, objects_;
    Bytes records_;
};

// An enhanced metafile: header record with the frame (0.01 mm) and the
// reference device, the records given, and the end record.
class EmfBuilder {
public:
    EmfBuilder(int frameRight, int frameBottom, int devPxX, int devPxY, int devMmX, int devMmY, int handles = 16)
        : fr_(frameRight), fb_(frameBottom), px_(devPxX), py_(devPxY), mx_(devMmX), my_(devMmY), handles_(handles) {}
    EmfBuilder& rec(std::uint32_t type, const Bytes& body) {
        Bytes r;
        r.u32(type).u32(std::uint32_t(8 + ((body.size() + 3) / 4) * 4)).raw(body.b).pad(4);
        records_.raw(r.b);
        ++count_;
        return *this;
    }
    EmfBuilder& rec(std::uint32_t type, std::initializer_list<std::int32_t> fields) {
        Bytes body;
        for (std::int32_t f : fields) body.i32(f);
        return rec(type, body);
    }
    EmfBuilder& rec(meta::EmfRecord type, const Bytes& body) { return rec(std::uint32_t(type), body); }
    EmfBuilder& rec(meta::EmfRecord type, std::initializer_list<std::int32_t> fields) {
        return rec(std::uint32_t(type), fields);
    }
    EmfBuilder& rawRecord(const Bytes& r) { records_.raw(r.b); ++count_; return *this; }
    std::vector<std::uint8_t> build(bool withEof = true) const {
        Bytes body = records_;
        if (withEof) body.u32(14).u32(20).u32(0).u32(0).u32(20);
        Bytes h;
        h.u32(1).u32(88);
        h.i32(0).i32(0).i32(px_).i32(py_);  // bounds
        h.i32(0).i32(0).i32(fr_).i32(fb_);  // frame
        h.u32(0x464D4520).u32(0x10000).u32(std::uint32_t(88 + body.size())).u32(count_ + 2);
        h.u16(handles_).u16(0).u32(0).u32(0).u32(0);
        h.i32(px_).i32(py_).i32(mx_).i32(my_);
        h.raw(body.b);
        return h.b;
    }

private:
    int fr_, fb_, px_, py_, mx_, my_, handles_;
    std::uint32_t count_ = 0;
    Bytes records_;
};

// One call on the surface, with everything it was given.
struct Call {
    enum Kind { Fill, Stroke, Text, Bitmap, GradRect, GradTri, Clip, ResetClip, OffsetClip, Save, Restore } kind;
    explicit Call(Kind k) : kind(k) {}
    meta::Path path;
    meta::FillRule rule = meta::FillRule::Alternate;
    meta::Brush brush;
    meta::Pen pen;
    meta::Mix mix = meta::Mix::Copy;
    meta::Background bg;
    meta::TextRun text;
    meta::Dib dib;
    meta::SourceRect src;
    meta::DestQuad dest;
    meta::Blit blit;
    meta::ClipOp op = meta::ClipOp::Replace;
    ColorValue c0 = 0, c1 = 0;
};

class RecordingSurface : public meta::MetafileSurface {
public:
    std::vector<Call> calls;

    void fillPath(const meta::Path& p, meta::FillRule r, const meta::Brush& b, meta::Mix m,
                  const meta::Background& bg) override {
        Call c(Call::Fill);
        c.path = p, c.rule = r, c.brush = b, c.mix = m, c.bg = bg;
        calls.push_back(c);
    }
    void strokePath(const meta::Path& p, const meta::Pen& pen, meta::Mix m, const meta::Background& bg) override {
        Call c(Call::Stroke);
        c.path = p, c.pen = pen, c.mix = m, c.bg = bg;
        calls.push_back(c);
    }
    double drawText(const meta::TextRun& run) override {
        Call c(Call::Text);
        c.text = run;
        calls.push_back(c);
        return 10.0 * double(run.text.size());
    }
    void drawBitmap(const meta::Dib& dib, const meta::SourceRect& s, const meta::DestQuad& d,
                    const meta::Blit& how) override {
        Call c(Call::Bitmap);
        c.dib = dib, c.src = s, c.dest = d, c.blit = how;
        calls.push_back(c);
    }
    void gradientRect(meta::Point a, meta::Point b, ColorValue from, ColorValue to, bool) override {
        Call c(Call::GradRect);
        c.path.moveTo(a), c.path.lineTo(b), c.c0 = from, c.c1 = to;
        calls.push_back(c);
    }
    void gradientTriangle(const meta::GradientVertex& a, const meta::GradientVertex& b,
                          const meta::GradientVertex& v) override {
        Call c(Call::GradTri);
        c.path.moveTo(a.at), c.path.lineTo(b.at), c.path.lineTo(v.at), c.c0 = a.color, c.c1 = v.color;
        calls.push_back(c);
    }
    void clip(meta::ClipOp op, const meta::Path& p, meta::FillRule r) override {
        Call c(Call::Clip);
        c.op = op, c.path = p, c.rule = r;
        calls.push_back(c);
    }
    void resetClip() override { calls.push_back(Call(Call::ResetClip)); }
    void offsetClip(double dx, double dy) override {
        Call c(Call::OffsetClip);
        c.path.moveTo({dx, dy});
        calls.push_back(c);
    }
    void save() override { calls.push_back(Call(Call::Save)); }
    void restore() override { calls.push_back(Call(Call::Restore)); }

    std::vector<Call> of(Call::Kind k) const {
        std::vector<Call> out;
        for (const Call& c : calls)
            if (c.kind == k) out.push_back(c);
        return out;
    }
};

}  // namespace hueline::testing
