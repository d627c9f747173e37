// SPDX-License-Identifier: GPL-3.0-or-later
// BMP reading and writing.
//
// The reader keeps the pixel format the file stores: 1, 4 and 8 bits with
// their palette (RLE4 and RLE8 pictures come back as 4 and 8 bits), 16 and
// 32 bits as stored words with their channel masks, 24 bits as they are.
// 2-bit pictures, which WorkBitmap cannot hold, come back as 24 bits.
// Everything a header claims is checked against the bytes that are really
// there before any picture memory is taken.
#include "imaging/codecs/bmp_codec.h"

#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <bit>
#include <cstring>
#include <new>
#include <optional>

#include "imaging/picture/dib.h"
#include "imaging/picture/errors.h"
#include "imaging/codecs/file_io.h"
#include "imaging/codecs/picture_size.h"
#include "imaging/picture/little_endian.h"
#include "imaging/picture/pixel_limit.h"
#include "imaging/picture/progress.h"

namespace hueline {
namespace {

using namespace dib;

constexpr std::uint32_t kFileHeaderSize = 14;

// An RLE file may describe at most this many pixels per byte of compressed
// data. A full run is 255 pixels in two bytes; the rest is room for skips.
constexpr std::uint64_t kMaxRlePixelsPerByte = 256;

[[noreturn]] void fail(const std::string& name, const std::string& reason) { throw FileError(name, reason); }

std::string hex(std::uint32_t v) {
    static const char digits[] = "0123456789ABCDEF";
    std::string s = "0x";
    for (int shift = 28; shift >= 0; shift -= 4) s += digits[v >> shift & 0xF];
    return s;
}

enum class Coding { Raw, Rle8, Rle4 };

// Everything the info header says about the pixels, checked.
struct DibLayout {
    int width = 0;
    int height = 0;  // rows of the picture returned (half the stored rows for icons)
    bool topDown = false;
    int bpp = 0;
    Coding coding = Coding::Raw;
    ChannelMasks masks;
    std::vector<PaletteEntry> palette;
    std::uint64_t pixelStart = 0;  // offset of the first stored row in the bytes
    std::size_t stride = 0;        // bytes per stored row
};

bool contiguous(std::uint32_t mask) {
    const std::uint32_t shifted = mask >> std::countr_zero(mask);
    return (shifted & (shifted + 1)) == 0;
}

void checkMasks(const ChannelMasks& m, int bpp, const std::string& name) {
    const std::uint64_t room = bpp == 32 ? 0xFFFFFFFFull : (1ull << bpp) - 1;
    const std::uint32_t channels[3] = {m.red, m.green, m.blue};
    const char* names[3] = {"red", "green", "blue"};
    std::uint32_t seen = 0;
    for (int i = 0; i < 3; ++i) {
        const std::uint32_t c = channels[i];
        if (c == 0) fail(name, std::string("the ") + names[i] + " colour mask is zero");
        if (!contiguous(c)) fail(name, std::string("the ") + names[i] + " colour mask " + hex(c) + " has gaps");
        if (c > room) fail(name, std::string("the ") + names[i] + " colour mask " + hex(c) + " lies outside the pixel");
        if (c & seen) fail(name, "the colour masks overlap");
        seen |= c;
    }
    if (m.alpha != 0 && (!contiguous(m.alpha) || m.alpha > room || (m.alpha & seen)))
        fail(name, "the alpha mask " + hex(m.alpha) + " is not usable");
}

// The info header at bytes[infoAt], all of it there, of a known version.
InfoHeader readHeader(std::span<const std::uint8_t> bytes, std::size_t infoAt, const std::string& name) {
    if (bytes.size() < infoAt + 4) fail(name, "the file ends inside its header");
    const std::uint32_t hs = le32(bytes.data() + infoAt);
    if (!knownHeaderSize(hs)) fail(name, "unknown header size (" + std::to_string(hs) + " bytes)");
    if (bytes.size() - infoAt < hs) fail(name, "the file ends inside its header");
    return readInfoHeader(bytes.subspan(infoAt));
}

// Refuses planes, compressions and depths this reader does not decode.
void checkCoding(const InfoHeader& h, const std::string& name) {
    const std::uint32_t compression = h.compression, bpp = h.bitCount;
    if (h.planes != 1) fail(name, "the header is damaged (" + std::to_string(h.planes) + " planes instead of 1)");
    if (h.secondGeneration() && compression == 3) fail(name, "Huffman-compressed pictures are not supported");
    if (h.secondGeneration() && compression == 4) fail(name, "RLE24-compressed pictures are not supported");
    if (compression == kJpeg) fail(name, "a JPEG picture inside a BMP file is not supported");
    if (compression == kPng) fail(name, "a PNG picture inside a BMP file is not supported");
    if (compression > kAlphaBitfields) fail(name, "unknown compression (" + std::to_string(compression) + ")");
    switch (bpp) {
    case 1:
    case 2:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32: break;
    case 64: fail(name, "64-bit pictures are not supported");
    default: fail(name, "unsupported bit depth (" + std::to_string(bpp) + ")");
    }
    if ((compression == kRle8 && bpp != 8) || (compression == kRle4 && bpp != 4) ||
        (h.bitfields() && bpp != 16 && bpp != 32))
        fail(name, "the compression does not fit a " + std::to_string(bpp) + "-bit picture");
}

// Checks the picture's size and density and fills the layout's size,
// depth and coding.
void sizeLayout(const InfoHeader& h, bool iconHalves, const std::string& name, DibLayout& layout) {
    const std::int64_t width = h.width, height = h.height;
    if (width < 0) fail(name, "impossible width (" + std::to_string(width) + ")");
    if (width == 0 || height == 0) fail(name, "the picture has no pixels (" + std::to_string(width) + " x " +
                                                  std::to_string(height) + ")");
    const bool topDown = height < 0;
    std::int64_t rows = topDown ? -height : height;
    if (topDown && h.rle()) fail(name, "a compressed picture cannot be stored top-down");
    if (iconHalves) {
        rows /= 2;
        if (rows == 0) fail(name, "the icon image has no rows");
    }
    refuseTooManyPixels(width, rows, name);
    const std::int32_t xd = h.xDensity, yd = h.yDensity;
    if (xd > 0 && yd > 0 && std::max(xd, yd) / std::min(xd, yd) > 100)
        fail(name, "the header is damaged (impossible pixel density " + std::to_string(xd) + " x " +
                       std::to_string(yd) + " per metre)");
    layout.width = int(width);
    layout.height = int(rows);
    layout.topDown = topDown;
    layout.bpp = int(h.bitCount);
    layout.coding = h.compression == kRle8 ? Coding::Rle8 : h.compression == kRle4 ? Coding::Rle4 : Coding::Raw;
    layout.stride = std::size_t(rowBytes(std::uint64_t(width), h.bitCount));
}

// The channel masks of 16- and 32-bit pictures; returns where the header
// and the masks end.
std::uint64_t readMasks(const InfoHeader& h, std::span<const std::uint8_t> bytes, std::size_t infoAt,
                        const std::string& name, DibLayout& layout) {
    const std::uint64_t headerEnd = std::uint64_t(infoAt) + h.size, extra = maskBytesAfter(h);
    if (h.bitCount != 16 && h.bitCount != 32) return headerEnd;
    layout.masks = defaultMasks(h.bitCount == 16 ? PixelFormat::Bits16 : PixelFormat::Bits32);
    if (!h.bitfields()) return headerEnd;
    if (bytes.size() < headerEnd + extra) fail(name, "the file ends inside its colour masks");
    const std::uint8_t* m = bytes.data() + infoAt + masksAt(h);
    layout.masks = {le32(m), le32(m + 4), le32(m + 8), masksHaveAlpha(h) ? le32(m + 12) : 0u};
    checkMasks(layout.masks, int(h.bitCount), name);
    return headerEnd + extra;
}

// The palette after the header and masks, and where the pixels start:
// where a file header says, or without one (a bare device-independent
// bitmap) right after the palette.
void readPaletteAndStart(const InfoHeader& h, std::span<const std::uint8_t> bytes, std::uint64_t headerEnd,
                         std::optional<std::uint64_t> pixelOffset, std::uint64_t totalLength, const std::string& name,
                         DibLayout& layout) {
    const std::uint64_t entrySize = h.entryBytes(), bpp = h.bitCount, clrUsed = h.colorsUsed;
    std::uint64_t entries = bpp <= 8 ? (clrUsed ? clrUsed : 1u << bpp) : clrUsed;
    if (pixelOffset) {
        if (*pixelOffset < headerEnd) fail(name, "the pixel data offset points into the header");
        if (*pixelOffset > totalLength) fail(name, "the pixel data offset points past the end of the file");
        const std::uint64_t room = (*pixelOffset - headerEnd) / entrySize;
        if (entries > room) {
            // A palette whose length the header states must be there; one
            // that is only implied by the bit depth may be shorter.
            if (clrUsed != 0 && bpp <= 8)
                fail(name, "the palette claims " + std::to_string(clrUsed) + " colours, more than the file holds");
            entries = room;
        }
        layout.pixelStart = *pixelOffset;
    } else {
        if (entries > (totalLength - headerEnd) / entrySize)
            fail(name, "the palette claims " + std::to_string(entries) + " colours, more than the file holds");
        layout.pixelStart = headerEnd + entries * entrySize;
    }
    if (bpp > 8) return;
    const std::uint64_t kept = std::min<std::uint64_t>(entries, 1u << bpp);
    if (bytes.size() < headerEnd + kept * entrySize) fail(name, "the file ends inside its palette");
    layout.palette = readPalette(bytes.data() + headerEnd, std::size_t(kept), std::uint32_t(entrySize));
}

// Checks that the pixels the layout claims fit in the data there is.
void checkPixelRoom(const InfoHeader& h, const DibLayout& layout, std::uint64_t totalLength, const std::string& name) {
    const std::uint64_t available = totalLength - layout.pixelStart;
    const std::uint64_t width = std::uint64_t(layout.width), rows = std::uint64_t(layout.height);
    if (layout.coding == Coding::Raw) {
        if (std::uint64_t(layout.stride) * rows > available) fail(name, "the file ends before its pixels");
    } else if (width * rows > available * kMaxRlePixelsPerByte) {
        fail(name, "the compressed pixel data is too short for a " + std::to_string(width) + " x " +
                       std::to_string(rows) + " picture");
    }
    // The stated size of the pixel data is only a hint, but one larger than
    // the file marks a broken header.
    if (h.sizeImage > available) fail(name, "the header is damaged (it claims more pixel data than the file holds)");
}

// Reads the info header at bytes[infoAt], its masks and palette, and checks
// them against the bytes. pixelOffset is where a file header says the pixels
// are. totalLength is the length of the whole data, which may be more
// than the bytes given when only the head of a file has been read.
DibLayout parseLayout(std::span<const std::uint8_t> bytes, std::size_t infoAt, std::optional<std::uint64_t> pixelOffset,
                      std::uint64_t totalLength, const std::string& name, bool iconHalves) {
    const InfoHeader h = readHeader(bytes, infoAt, name);
    checkCoding(h, name);
    DibLayout layout;
    sizeLayout(h, iconHalves, name, layout);
    const std::uint64_t headerEnd = readMasks(h, bytes, infoAt, name, layout);
    readPaletteAndStart(h, bytes, headerEnd, pixelOffset, totalLength, name, layout);
    checkPixelRoom(h, layout, totalLength, name);
    return layout;
}

// The largest palette index used in the first width pixels of a row.
int largestIndex(const std::uint8_t* row, int width, int bpp) {
    unsigned m = 0;
    switch (bpp) {
    case 8:
        for (int x = 0; x < width; ++x) m = std::max<unsigned>(m, row[x]);
        break;
    case 4: {
        const int pairs = width / 2;
        for (int i = 0; i < pairs; ++i) m = std::max<unsigned>(m, std::max<unsigned>(row[i] >> 4, row[i] & 15u));
        if (width & 1) m = std::max<unsigned>(m, row[pairs] >> 4);
        break;
    }
    case 2:
        for (int x = 0; x < width; ++x) m = std::max<unsigned>(m, row[x >> 2] >> (6 - 2 * (x & 3)) & 3u);
        break;
    default: {
        const int full = width / 8;
        for (int i = 0; i < full; ++i) m |= row[i];
        if (width & 7) m |= row[full] & (0xFF00u >> (width & 7));
        m = m ? 1 : 0;
        break;
    }
    }
    return int(m);
}

void checkIndices(const std::uint8_t* row, int width, int bpp, std::size_t paletteSize, const std::string& name) {
    if (paletteSize >= (1u << bpp)) return;
    const int largest = largestIndex(row, width, bpp);
    if (std::size_t(largest) >= paletteSize)
        fail(name, "a pixel uses colour " + std::to_string(largest) + ", but the palette has only " +
                       std::to_string(paletteSize) + (paletteSize == 1 ? " colour" : " colours"));
}

PixelFormat formatFor(int bpp) { return PixelFormat(bpp); }

// Writes the runs of RLE8 and RLE4 data into an indexed picture, checking
// every run and skip against it.
class RleWriter {
public:
    RleWriter(WorkBitmap& out, const std::string& name) : out_(out), name_(name) {}

    bool more(std::int64_t) const { return true; }
    void skipped(std::int64_t x, std::int64_t y) const {
        if (x > out_.width() || y >= out_.height()) damaged("a skip leaves the picture");
    }
    void run(const RleRun& r) {
        if (r.y >= out_.height()) damaged("a run lies below the last row");
        if (r.x + std::int64_t(r.count) > out_.width()) damaged("a run goes past the end of a row");
        std::uint8_t* row = out_.row(out_.height() - 1 - int(r.y));
        if (!r.four && r.literal) std::memcpy(row + r.x, r.literal, r.count);
        else if (!r.four) std::memset(row + r.x, int(r.value), r.count);
        else for (unsigned i = 0; i < r.count; ++i) putNibble(row, r.x + i, r.at(i));
    }
    [[noreturn]] void damaged(const char* why) const {
        fail(name_, std::string("the compressed pixels are damaged (") + why + ")");
    }

private:
    static void putNibble(std::uint8_t* row, std::int64_t x, unsigned v) {
        std::uint8_t& b = row[x >> 1];
        b = x & 1 ? std::uint8_t((b & 0xF0) | (v & 0x0F)) : std::uint8_t((b & 0x0F) | (v & 0x0F) << 4);
    }

    WorkBitmap& out_;
    const std::string& name_;
};

// Runs of RLE8 and RLE4 data, written into an indexed picture whose pixels
// start at index 0. The data may stop without an end-of-picture code; the
// rest of the picture then keeps colour 0.
void decodeRle(const DibLayout& layout, std::span<const std::uint8_t> data, WorkBitmap& out, const std::string& name) {
    RleWriter writer(out, name);
    switch (walkRle(data, layout.coding == Coding::Rle4, writer)) {
    case RleEnd::InsideSkip: writer.damaged("the data ends inside a skip");
    case RleEnd::InsideRun: writer.damaged("the data ends inside a run");
    case RleEnd::Data:
    case RleEnd::Picture: break;
    }
}

// True for layouts whose stored rows are the rows of the picture returned,
// byte for byte: every depth but 2 bits, uncompressed.
bool storedAsIs(const DibLayout& layout) { return layout.coding == Coding::Raw && layout.bpp != 2; }

// The picture that a layout stored as is fills, with its palette or masks;
// 24-bit pictures are left unset, since every row is written.
// A picture within the pixel cap may still not fit in the memory there
// is: that is said in the user's words, naming the file.
WorkBitmap pictureFor(const DibLayout& layout, const std::string& name) {
    WorkBitmap out;
    try {
        if (layout.bpp == 24) return WorkBitmap::uninitialized24(layout.width, layout.height);
        out = WorkBitmap(layout.width, layout.height, formatFor(layout.bpp));
    } catch (const std::bad_alloc&) {
        fail(name, "there is not enough memory for a picture of " + std::to_string(layout.width) + " x " +
                       std::to_string(layout.height) + " pixels");
    }
    if (layout.bpp <= 8) out.setPalette(layout.palette);
    else out.setMasks(layout.masks);
    return out;
}

// Bytes of a stored row that hold pixels.
std::size_t usedBytes(const DibLayout& layout) { return (std::size_t(layout.width) * std::size_t(layout.bpp) + 7) / 8; }

void checkAllIndices(const WorkBitmap& out, const DibLayout& layout, const std::string& name) {
    if (layout.bpp > 8) return;
    for (int y = 0; y < out.height(); ++y) checkIndices(out.constRow(y), out.width(), layout.bpp, layout.palette.size(), name);
}

// The pixels described by a checked layout, from bytes that hold them.
WorkBitmap decodePixels(const DibLayout& layout, std::span<const std::uint8_t> bytes, const std::string& name) {
    const int w = layout.width, h = layout.height;
    const std::uint8_t* const base = bytes.data() + layout.pixelStart;
    auto storedRow = [&](int y) { return base + std::size_t(layout.topDown ? y : h - 1 - y) * layout.stride; };

    if (storedAsIs(layout)) {
        WorkBitmap out = pictureFor(layout, name);
        const std::size_t used = usedBytes(layout);
        for (int y = 0; y < h; ++y) std::memcpy(out.row(y), storedRow(y), used);
        checkAllIndices(out, layout, name);
        return out;
    }
    if (layout.bpp == 2) {
        // WorkBitmap has no 2-bit format: these come back as 24 bits.
        std::uint8_t lut[4][3] = {};
        for (std::size_t i = 0; i < layout.palette.size(); ++i)
            lut[i][0] = layout.palette[i].blue, lut[i][1] = layout.palette[i].green, lut[i][2] = layout.palette[i].red;
        WorkBitmap out = WorkBitmap::uninitialized24(w, h);
        for (int y = 0; y < h; ++y) {
            const std::uint8_t* src = storedRow(y);
            checkIndices(src, w, 2, layout.palette.size(), name);
            std::uint8_t* dst = out.row(y);
            for (int x = 0; x < w; ++x) std::memcpy(dst + 3 * x, lut[src[x >> 2] >> (6 - 2 * (x & 3)) & 3], 3);
        }
        return out;
    }

    // RLE8 and RLE4.
    WorkBitmap out = pictureFor(layout, name);
    for (int y = 0; y < h; ++y) std::memset(out.row(y), 0, out.stride());
    decodeRle(layout, bytes.subspan(std::size_t(layout.pixelStart)), out, name);
    checkAllIndices(out, layout, name);
    return out;
}

// Reads the bytes the parts describe from the file at `at` on, in as few
// system calls as they allow; advances at past them.
void readParts(int fd, std::vector<iovec>& parts, off_t& at, const DibLayout& layout, const std::string& path) {
    const double total = double(std::uint64_t(layout.stride) * std::uint64_t(layout.height));
    std::size_t next = 0;
    while (next < parts.size()) {
        const int count = int(std::min<std::size_t>(parts.size() - next, IOV_MAX));
        const ssize_t n = ::preadv(fd, &parts[next], count, at);
        if (n < 0) {
            if (errno == EINTR) continue;
            fail(path, std::string("it cannot be read (") + std::strerror(errno) + ")");
        }
        if (n == 0) fail(path, "the file ends before its pixels");  // it shrank while we read it
        at += n;
        reportProgress(double(at - off_t(layout.pixelStart)) / total);
        for (std::size_t left = std::size_t(n); left > 0;) {
            iovec& part = parts[next];
            const std::size_t take = std::min(left, part.iov_len);
            part.iov_base = static_cast<std::uint8_t*>(part.iov_base) + take;
            part.iov_len -= take;
            left -= take;
            if (part.iov_len == 0) ++next;
        }
    }
}

// Reads the pixel rows of a layout stored as is straight from the file into
// the picture's rows, a block of rows (one system call's worth) at a time,
// so that the bookkeeping stays small however many rows there are.
void readRowsInto(int fd, const DibLayout& layout, WorkBitmap& out, const std::string& path) {
    const int h = layout.height;
    const std::size_t used = usedBytes(layout), padding = layout.stride - used;
    std::uint8_t discard[4];  // the row padding of the file goes here
    const int rowsPerBlock = padding ? IOV_MAX / 2 : IOV_MAX;
    std::vector<iovec> parts;
    parts.reserve(IOV_MAX);
    off_t at = off_t(layout.pixelStart);
    for (int first = 0; first < h; first += rowsPerBlock) {
        parts.clear();
        for (int stored = first; stored < std::min(h, first + rowsPerBlock); ++stored) {
            parts.push_back({out.row(layout.topDown ? stored : h - 1 - stored), used});
            if (padding) parts.push_back({discard, padding});
        }
        readParts(fd, parts, at, layout, path);
    }
}

struct FileHeader {
    std::uint32_t fileSize;
    std::uint32_t pixelOffset;
};

FileHeader parseFileHeader(std::span<const std::uint8_t> bytes, const std::string& name) {
    if (bytes.empty()) fail(name, "the file is empty");
    if (bytes.size() < 2 || bytes[0] != 'B' || bytes[1] != 'M') fail(name, "not a BMP file (it does not begin with BM)");
    if (bytes.size() < kFileHeaderSize) fail(name, "the file ends inside its header");
    return FileHeader{le32(&bytes[2]), le32(&bytes[10])};
}

// The stated file size is only a hint (files often get it slightly wrong),
// but one beyond anything this program reads marks a broken header.
void checkFileSize(const FileHeader& fh, const std::string& name) {
    if (fh.fileSize > kMaxFileBytes) fail(name, "the header is damaged (it claims a file larger than 1 GB)");
}

void put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(std::uint8_t(v));
    out.push_back(std::uint8_t(v >> 8));
}
void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

// The palette as written: the picture's own, but never shorter than the
// largest index it uses (missing entries show black, and are written so).
std::vector<PaletteEntry> paletteToWrite(const WorkBitmap& picture) {
    const PixelFormat f = picture.format();
    if (!isIndexed(f)) return {};
    const int bpp = bitsPerPixel(f);
    std::vector<PaletteEntry> palette = picture.palette();
    if (palette.size() > (1u << bpp)) palette.resize(1u << bpp);
    int largest = 0;
    for (int y = 0; y < picture.height(); ++y) largest = std::max(largest, largestIndex(picture.constRow(y), picture.width(), bpp));
    if (palette.size() <= std::size_t(largest)) palette.resize(std::size_t(largest) + 1);
    return palette;
}

// How the channel masks are written: the default ones need none; others
// go after the 40-byte header, or into a version-4 header when there is an
// alpha mask.
struct MaskPlan {
    std::uint32_t compression = kRgb, headerSize = kInfoHeaderSize, maskBytes = 0;
    ChannelMasks masks;
};

MaskPlan maskPlanFor(const WorkBitmap& picture) {
    MaskPlan plan;
    const PixelFormat f = picture.format();
    if (f != PixelFormat::Bits16 && f != PixelFormat::Bits32) return plan;
    plan.masks = picture.masks();
    if (plan.masks == defaultMasks(f)) return plan;
    plan.compression = kBitfields;
    if (plan.masks.alpha) plan.headerSize = kV4HeaderSize;
    else plan.maskBytes = 12;
    return plan;
}

// The file header, the info header, the masks and the palette.
std::vector<std::uint8_t> headOf(const WorkBitmap& picture, const std::vector<PaletteEntry>& palette,
                                 const MaskPlan& plan, std::uint32_t offset, std::uint32_t imageSize) {
    std::vector<std::uint8_t> head;
    head.reserve(offset);
    head.push_back('B');
    head.push_back('M');
    put32(head, offset + imageSize);
    put32(head, 0);
    put32(head, offset);

    put32(head, plan.headerSize);
    put32(head, std::uint32_t(picture.width()));
    put32(head, std::uint32_t(picture.height()));  // positive: bottom-up rows
    put16(head, 1);
    put16(head, std::uint32_t(bitsPerPixel(picture.format())));
    put32(head, plan.compression);
    put32(head, imageSize);
    put32(head, 3780);  // 96 pixels per inch
    put32(head, 3780);
    put32(head, std::uint32_t(palette.size()));
    put32(head, 0);
    if (plan.headerSize == kV4HeaderSize || plan.maskBytes) {
        put32(head, plan.masks.red);
        put32(head, plan.masks.green);
        put32(head, plan.masks.blue);
    }
    if (plan.headerSize == kV4HeaderSize) {
        put32(head, plan.masks.alpha);
        put32(head, 0x73524742);                         // colour space: sRGB
        head.insert(head.end(), kV4HeaderSize - 60, 0);  // end points and gamma, unused for sRGB
    }
    for (const PaletteEntry& e : palette) head.insert(head.end(), {e.blue, e.green, e.red, 0});
    return head;
}

// Rows bottom-up, the bits past the last pixel and the padding zero.
void writeRows(const WorkBitmap& picture, std::uint8_t* to, std::size_t stride) {
    const std::size_t bits = std::size_t(picture.width()) * std::size_t(bitsPerPixel(picture.format()));
    const std::size_t used = (bits + 7) / 8;
    const int restBits = int(bits % 8);
    for (int y = picture.height() - 1; y >= 0; --y, to += stride) {
        std::memcpy(to, picture.constRow(y), used);
        if (restBits) to[used - 1] &= std::uint8_t(0xFF00 >> restBits);
        std::memset(to + used, 0, stride - used);
    }
}

}  // namespace

WorkBitmap decodeBmp(std::span<const std::uint8_t> bytes, const std::string& name) {
    const FileHeader fh = parseFileHeader(bytes, name);
    const DibLayout layout = parseLayout(bytes, kFileHeaderSize, fh.pixelOffset, bytes.size(), name, false);
    checkFileSize(fh, name);
    return decodePixels(layout, bytes, name);
}

WorkBitmap decodeDib(std::span<const std::uint8_t> dib, const std::string& name, bool iconHalves) {
    const DibLayout layout = parseLayout(dib, 0, std::nullopt, dib.size(), name, iconHalves);
    return decodePixels(layout, dib, name);
}

WorkBitmap iconMaskOf(std::span<const std::uint8_t> dib, const std::string& name) {
    const DibLayout layout = parseLayout(dib, 0, std::nullopt, dib.size(), name, true);
    if (layout.coding != Coding::Raw) fail(name, "compressed icon images are not supported");
    const int w = layout.width, h = layout.height;
    const std::size_t stride = rowStride(w, PixelFormat::Bits1);
    const std::uint64_t start = layout.pixelStart + std::uint64_t(layout.stride) * std::uint64_t(h);
    if (start + std::uint64_t(stride) * std::uint64_t(h) > dib.size()) fail(name, "the file ends before the icon's mask");
    WorkBitmap mask(w, h, PixelFormat::Bits1);
    mask.setPalette({{0, 0, 0}, {255, 255, 255}});
    for (int y = 0; y < h; ++y) {
        const int stored = layout.topDown ? y : h - 1 - y;
        std::memcpy(mask.row(y), dib.data() + start + std::size_t(stored) * stride, stride);
    }
    return mask;
}

PictureBytes encodeBmp(const WorkBitmap& picture) {
    if (picture.empty()) throw UserError("the picture is empty, so there is nothing to save");
    const std::vector<PaletteEntry> palette = paletteToWrite(picture);
    const MaskPlan plan = maskPlanFor(picture);
    const std::size_t stride = rowStride(picture.width(), picture.format());
    const std::uint32_t offset = kFileHeaderSize + plan.headerSize + plan.maskBytes + std::uint32_t(palette.size()) * 4;
    const std::uint64_t imageSize = std::uint64_t(stride) * std::uint64_t(picture.height());
    if (offset + imageSize > 0xFFFFFFFFull) throw UserError("the picture is too large for a BMP file");

    // The headers, masks and palette first, then the rows straight into
    // the file's bytes.
    const std::vector<std::uint8_t> head = headOf(picture, palette, plan, offset, std::uint32_t(imageSize));
    PictureBytes out(offset + std::size_t(imageSize));
    std::memcpy(out.data(), head.data(), head.size());
    writeRows(picture, out.data() + offset, stride);
    return out;
}

// Uncompressed pictures are read from the file straight into their rows;
// the others, and every file that cannot be opened as expected, go through
// the whole-file reader, which also gives the reason for a failure.
std::optional<PictureSize> bmpSizeFromHeader(std::span<const std::uint8_t> head) {
    if (head.size() < kFileHeaderSize + 4 || head[0] != 'B' || head[1] != 'M') return std::nullopt;
    const InfoHeader h = readInfoHeader(head.subspan(kFileHeaderSize));
    if (!knownHeaderSize(h.size) || h.width <= 0 || h.width > INT_MAX || h.height == 0 || h.height < -INT_MAX ||
        h.height > INT_MAX)
        return std::nullopt;
    return PictureSize{int(h.width), int(h.height < 0 ? -h.height : h.height)};
}

WorkBitmap readBmpFile(const std::string& path) {
    const ReadableFile f = openRegularFile(path);  // names what is wrong with the file itself
    // The headers, palette and masks take at most about 1.2 KB.
    std::vector<std::uint8_t> head(std::size_t(std::min<std::uint64_t>(f.size(), 4096)));
    std::size_t got = 0;
    while (got < head.size()) {
        const ssize_t n = ::pread(f.fd(), head.data() + got, head.size() - got, off_t(got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return decodeBmp(readFileToPictureMemory(path), path);
        got += std::size_t(n);
    }
    const FileHeader fh = parseFileHeader(head, path);
    const DibLayout layout = parseLayout(head, kFileHeaderSize, fh.pixelOffset, f.size(), path, false);
    checkFileSize(fh, path);
    if (!storedAsIs(layout)) return decodeBmp(readFileToPictureMemory(path), path);
    WorkBitmap out = pictureFor(layout, path);
    readRowsInto(f.fd(), layout, out, path);
    checkAllIndices(out, layout, path);
    return out;
}

void writeBmpFile(const WorkBitmap& picture, const std::string& path) {
    PictureBytes bytes;
    try {
        bytes = encodeBmp(picture);
    } catch (const FileError&) {
        throw;
    } catch (const UserError& e) {
        throw FileError(path, e.what());
    }
    writeFileAtomically(path, bytes);
}

}  // namespace hueline
