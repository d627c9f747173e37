// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/metafile/records.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <iconv.h>

#include "imaging/picture/dib.h"
#include "imaging/picture/pixel_limit.h"

namespace hueline::meta {

namespace {

// What a bitmap's info header says, and the size of its colour table.
struct DibHeader {
    std::uint32_t infoSize = 0, compression = 0;
    std::int64_t width = 0, height = 0;
    int bitCount = 0;
    std::uint64_t entryBytes = 4, colors = 0, masks = 0;
    std::uint64_t tableEnd() const { return infoSize + masks + colors * entryBytes; }
};

// Reads the info header, the old core one or a newer one; false for a
// header, depth, size or compression the player does not draw.
bool readDibHeader(std::span<const std::uint8_t> bytes, DibHeader& d) {
    const dib::InfoHeader h = dib::readInfoHeader(bytes);
    if (h.size < dib::kCoreHeaderSize || h.size > bytes.size()) return false;
    d.infoSize = h.size, d.compression = h.compression;
    d.width = h.width, d.height = h.height, d.bitCount = int(h.bitCount);
    d.entryBytes = h.entryBytes();
    const int bits = d.bitCount;
    if (d.width <= 0 || d.height == 0 || d.height == INT32_MIN) return false;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
    if (tooManyPixels(d.width, std::llabs(d.height))) return false;
    if (d.compression == dib::kJpeg || d.compression == dib::kPng || d.compression > dib::kAlphaBitfields) return false;
    d.colors = h.colorsUsed;
    if (bits <= 8) {
        if (d.colors == 0 || d.colors > (1u << bits)) d.colors = 1u << bits;
    } else if (d.colors > 256) {
        return false;
    }
    d.masks = dib::maskBytesAfter(h);
    return true;
}

}  // namespace

bool describeDib(std::span<const std::uint8_t> header, std::span<const std::uint8_t> bits, Dib& dib) {
    DibHeader d;
    if (!readDibHeader(header, d)) return false;
    const std::uint64_t headerBytes = d.tableEnd();
    // A colour table cut short: keep what is there only if the table was
    // merely declared longer than the bit depth needs.
    if (headerBytes > header.size() && (d.bitCount > 8 || d.infoSize + d.masks + d.entryBytes * 2 > header.size()))
        return false;
    const std::uint64_t keepHeader = std::min<std::uint64_t>(headerBytes, header.size());
    const std::uint64_t stride = dib::rowBytes(std::uint64_t(d.width), std::uint64_t(d.bitCount));
    const std::uint64_t rows = std::uint64_t(std::llabs(d.height));
    const bool rle = d.compression == dib::kRle8 || d.compression == dib::kRle4;
    if (rle ? bits.size() < 2 : stride * rows > bits.size()) return false;
    const std::uint64_t keepBits = rle ? bits.size() : stride * rows;
    dib.width = int(d.width);
    dib.height = int(d.height);
    dib.bitCount = d.bitCount;
    dib.bytes.clear();
    dib.bytes.reserve(std::size_t(keepHeader + keepBits));
    dib.bytes.insert(dib.bytes.end(), header.begin(), header.begin() + std::ptrdiff_t(keepHeader));
    dib.bytes.insert(dib.bytes.end(), bits.begin(), bits.begin() + std::ptrdiff_t(keepBits));
    // A shortened colour table is declared as such, so that the decoder
    // does not read pixel bits as colours.
    if (keepHeader < headerBytes && d.infoSize >= dib::kInfoHeaderSize) {
        const std::uint32_t fitting = std::uint32_t((keepHeader - d.infoSize - d.masks) / d.entryBytes);
        for (int i = 0; i < 4; ++i) dib.bytes[32 + i] = std::uint8_t(fitting >> (8 * i));
    }
    return true;
}

bool describePackedDib(std::span<const std::uint8_t> packed, Dib& dib) {
    DibHeader d;
    if (!readDibHeader(packed, d)) return false;
    const std::uint64_t headerBytes = d.tableEnd();
    if (headerBytes > packed.size()) return false;
    return describeDib(packed.first(std::size_t(headerBytes)), packed.subspan(std::size_t(headerBytes)), dib);
}

namespace {

constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

}  // namespace

std::u16string ansiToUtf16(std::span<const std::uint8_t> text, bool symbolFont) {
    std::u16string out;
    out.reserve(text.size());
    for (std::uint8_t c : text) {
        if (symbolFont) out.push_back(char16_t(c));
        else if (c >= 0x80 && c < 0xA0) out.push_back(kCp1252High[c - 0x80]);
        else out.push_back(char16_t(c));
    }
    return out;
}

namespace {

const char* codePageOf(int charset) {
    switch (charset) {
    case 77: return "MACINTOSH";
    case 128: return "CP932";
    case 129: return "CP949";
    case 130: return "JOHAB";
    case 134: return "CP936";
    case 136: return "CP950";
    case 161: return "CP1253";
    case 162: return "CP1254";
    case 163: return "CP1258";
    case 177: return "CP1255";
    case 178: return "CP1256";
    case 186: return "CP1257";
    case 204: return "CP1251";
    case 222: return "CP874";
    case 238: return "CP1250";
    case 255: return "CP437";
    default: return nullptr;
    }
}

bool leadByte(int charset, std::uint8_t b) {
    if (charset == 128) return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    if (charset == 129 || charset == 130 || charset == 134 || charset == 136) return b >= 0x81 && b <= 0xFE;
    return false;
}

// An open converter, closed on every path.
class Converter {
public:
    explicit Converter(const char* from) : cd_(iconv_open("UTF-16LE", from)) {}
    ~Converter() {
        if (ok()) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool ok() const { return cd_ != iconv_t(-1); }
    // One character of one or two bytes; U+FFFD when it has no conversion.
    void append(const std::uint8_t* in, std::size_t len, std::u16string& out) {
        char inBuf[2] = {char(in[0]), char(len > 1 ? in[1] : 0)};
        char outBuf[16];
        char* ip = inBuf;
        char* op = outBuf;
        std::size_t inLeft = len, outLeft = sizeof outBuf;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd_, &ip, &inLeft, &op, &outLeft) == std::size_t(-1) || op == outBuf) {
            out.push_back(u'\uFFFD');
            return;
        }
        for (char* p = outBuf; p + 1 < op; p += 2)
            out.push_back(char16_t(std::uint8_t(p[0]) | std::uint8_t(p[1]) << 8));
    }

private:
    iconv_t cd_;
};

}  // namespace

std::u16string charsetToUtf16(std::span<const std::uint8_t> text, int charset, bool symbolFont,
                              std::vector<int>* dx) {
    const char* page = symbolFont ? nullptr : codePageOf(charset);
    Converter conv(page ? page : "CP1252");
    if (!page || !conv.ok()) return ansiToUtf16(text, symbolFont);
    std::u16string out;
    std::vector<int> merged;
    const bool withDx = dx && dx->size() >= text.size();
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t len = leadByte(charset, text[i]) && i + 1 < text.size() ? 2 : 1;
        const std::size_t before = out.size();
        conv.append(text.data() + i, len, out);
        if (withDx) {
            // Summed in 64 bits: the record's spacings may be anything.
            std::int64_t advance = 0;
            for (std::size_t k = 0; k < len; ++k) advance += (*dx)[i + k];
            // A character outside the basic plane takes two units; the second advances nothing.
            merged.push_back(int(std::clamp<std::int64_t>(advance, INT32_MIN, INT32_MAX)));
            for (std::size_t k = before + 1; k < out.size(); ++k) merged.push_back(0);
        }
        i += len;
    }
    if (withDx) *dx = std::move(merged);
    return out;
}

std::string utf16ToUtf8(const std::u16string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        std::uint32_t c = s[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out.push_back(char(c));
        } else if (c < 0x800) {
            out.push_back(char(0xC0 | c >> 6)), out.push_back(char(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(char(0xE0 | c >> 12)), out.push_back(char(0x80 | (c >> 6 & 0x3F)));
            out.push_back(char(0x80 | (c & 0x3F)));
        } else {
            out.push_back(char(0xF0 | c >> 18)), out.push_back(char(0x80 | (c >> 12 & 0x3F)));
            out.push_back(char(0x80 | (c >> 6 & 0x3F))), out.push_back(char(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

}  // namespace hueline::meta
