// SPDX-License-Identifier: GPL-3.0-or-later
// Reading PNG files: libspng decodes row by row, straight into the
// picture's rows where the layouts agree (RGB, 8-bit palette indices), else
// through one row of scratch that is laid over white or unpacked.
#include <algorithm>
#include <array>
#include <cstring>
#include <new>

#include "imaging/codecs/colour_profile.h"
#include "imaging/codecs/file_io.h"
#include "imaging/codecs/over_white.h"
#include "imaging/codecs/png_codec.h"
#include "imaging/codecs/png_context.h"
#include "imaging/codecs/picture_size.h"
#include "imaging/picture/errors.h"
#include "imaging/picture/pixel_limit.h"
#include "imaging/picture/progress.h"

namespace hueline {
namespace {

// No ancillary block (text, colour profile) may be larger than this, and
// all that are kept together no larger than kMaxChunkCache.
constexpr std::size_t kMaxChunkBytes = std::size_t(64) << 20;
constexpr std::size_t kMaxChunkCache = std::size_t(128) << 20;

// Where the pixels of each interlacing pass sit in a row; a picture that is
// not interlaced has all of them in its one pass (the last entry).
constexpr std::array<int, 7> kPassFirstX = {0, 4, 0, 2, 0, 1, 0};
constexpr std::array<int, 7> kPassStepX = {8, 8, 4, 4, 2, 2, 1};

struct Source {
    spng_ctx* ctx;
    const std::string& name;
    spng_ihdr ihdr{};
    int width() const { return int(ihdr.width); }
    int height() const { return int(ihdr.height); }
    void check(int error) const {
        if (error != 0) throw FileError(name, png::reasonFor(error));
    }
};

// Decodes every row, one call per row and pass: target(y) is where
// libspng writes row y (rowBytes long); then take(y, first, step) hears
// which pixels of that row the call wrote.
template <class Target, class Take>
void decodeRows(const Source& s, int format, int flags, std::size_t rowBytes, Target target, Take take) {
    s.check(spng_decode_image(s.ctx, nullptr, 0, format, flags | SPNG_DECODE_PROGRESSIVE));
    const bool interlaced = s.ihdr.interlace_method != SPNG_INTERLACE_NONE;
    // Progress is told about a thousand times a picture, however many rows
    // it has.
    const unsigned reportEvery = std::max(64u, s.ihdr.height / 1024);
    int status = 0;
    for (unsigned count = 1, untilReport = reportEvery; status != SPNG_EOI; ++count) {
        spng_row_info info{};
        s.check(spng_get_row_info(s.ctx, &info));
        const int y = int(info.row_num);
        const int pass = interlaced ? info.pass : 6;
        if (y < 0 || y >= s.height() || pass < 0 || pass > 6) s.check(SPNG_EINTERNAL);
        status = spng_decode_row(s.ctx, target(y), rowBytes);
        if (status != SPNG_EOI) s.check(status);
        take(y, kPassFirstX[std::size_t(pass)], kPassStepX[std::size_t(pass)]);
        if (--untilReport == 0) {
            untilReport = reportEvery;
            reportProgress(interlaced ? (pass + double(y) / s.height()) / 7 : double(y) / s.height());
        }
    }
}

// The bytes of compressed pixel data (all IDAT chunks) in the file.
std::uint64_t pixelDataBytes(std::span<const std::uint8_t> bytes) {
    std::uint64_t total = 0;
    for (std::size_t at = 8; at + 8 <= bytes.size();) {
        const std::uint8_t* c = bytes.data() + at;
        const std::uint64_t length = std::uint64_t(c[0]) << 24 | std::uint64_t(c[1]) << 16 | std::uint64_t(c[2]) << 8 | c[3];
        if (std::memcmp(c + 4, "IDAT", 4) == 0) total += std::min<std::uint64_t>(length, bytes.size() - at - 8);
        if (length > bytes.size() - at - 8) break;
        at += 12 + std::size_t(length);
    }
    return total;
}

// Deflate packs at most 1032 bytes into one, so a file whose pixel data is
// shorter than that share of the picture cannot hold it whole. Such a file
// is refused before the picture is allocated, so that a few bytes cannot
// claim hundreds of megabytes.
void checkPixelDataCanFill(const Source& s, std::span<const std::uint8_t> bytes) {
    static constexpr int kChannels[7] = {1, 0, 3, 1, 2, 0, 4};
    const std::uint64_t bits = std::uint64_t(s.ihdr.bit_depth) * std::uint64_t(kChannels[s.ihdr.color_type % 7]);
    const std::uint64_t rawBytes = std::uint64_t(s.ihdr.height) * (1 + (std::uint64_t(s.ihdr.width) * bits + 7) / 8);
    if (pixelDataBytes(bytes) * 1032 + 1024 < rawBytes)
        throw FileError(s.name, "the file holds too little pixel data for a picture of " + std::to_string(s.width()) +
                                    " x " + std::to_string(s.height()) + " pixels");
}

WorkBitmap allocate(const Source& s, PixelFormat format) {
    try {
        return format == PixelFormat::Bits24 ? WorkBitmap::uninitialized24(s.width(), s.height())
                                             : WorkBitmap(s.width(), s.height(), format);
    } catch (const std::bad_alloc&) {
        throw FileError(s.name, "there is not enough memory for a picture of " + std::to_string(s.width()) + " x " +
                                    std::to_string(s.height()) + " pixels");
    }
}

// Sample x of a row of samples of depth 1, 2 or 4 bits packed into bytes,
// the first in the high bits.
inline unsigned packedSample(const std::uint8_t* row, int x, int depth) {
    const std::size_t bit = std::size_t(x) * std::size_t(depth);
    return unsigned(row[bit / 8] >> (8 - depth - int(bit % 8))) & ((1u << depth) - 1);
}

// The rows of a picture being decoded, found without the picture's
// copy-on-write check on each: it was just made and is not shared.
class Rows {
public:
    explicit Rows(WorkBitmap& picture) : first_(picture.empty() ? nullptr : picture.row(0)), stride_(picture.stride()) {}
    std::uint8_t* operator()(int y) const { return first_ + std::size_t(y) * stride_; }

private:
    std::uint8_t* first_;
    std::size_t stride_;
};

// Opaque pictures: RGB rows written into the picture's own rows, then
// turned into Blue, Green, Red in place.
WorkBitmap decodeOpaque(const Source& s) {
    WorkBitmap picture = allocate(s, PixelFormat::Bits24);
    const Rows rows(picture);
    const std::size_t rowBytes = std::size_t(s.width()) * 3;
    decodeRows(
        s, SPNG_FMT_RGB8, 0, rowBytes, rows,
        [&](int y, int first, int step) {
            std::uint8_t* row = rows(y);
            for (std::size_t i = std::size_t(first) * 3; i < rowBytes; i += std::size_t(step) * 3) {
                const std::uint8_t red = row[i];
                row[i] = row[i + 2];
                row[i + 2] = red;
            }
        });
    return picture;
}

// Pictures with alpha or a transparent colour: RGBA rows in scratch, laid
// over white into the picture.
WorkBitmap decodeTranslucent(const Source& s) {
    WorkBitmap picture = allocate(s, PixelFormat::Bits24);
    const Rows rows(picture);
    std::vector<std::uint8_t> scratch(std::size_t(s.width()) * 4);
    decodeRows(
        s, SPNG_FMT_RGBA8, SPNG_DECODE_TRNS, scratch.size(), [&](int) { return scratch.data(); },
        [&](int y, int first, int step) {
            std::uint8_t* out = rows(y);
            const std::uint8_t* in = scratch.data();
            for (int x = first; x < s.width(); x += step) {
                const unsigned a = in[4 * x + 3];
                out[3 * x] = overWhite(in[4 * x + 2], a);
                out[3 * x + 1] = overWhite(in[4 * x + 1], a);
                out[3 * x + 2] = overWhite(in[4 * x], a);
            }
        });
    return picture;
}

// Whether the file has a transparent colour or palette entries (tRNS).
// Asking reads every block before the pixels, so a block over the limits
// fails here, with its own reason, rather than later as a broken state.
bool transparencyOf(const Source& s, spng_trns& trns) {
    const int error = spng_get_trns(s.ctx, &trns);
    if (error != SPNG_ECHUNKAVAIL) s.check(error);
    return error == 0;
}

// Opaque gray pictures: the samples as the file stores them (16-bit ones
// big-endian), spread here
// into the three channels (libspng's own conversion costs more than all
// the rest of a short row). 16-bit samples keep their high byte, the
// first; 1-, 2- and 4-bit ones are stretched to 0..255.
WorkBitmap decodeGray(const Source& s) {
    WorkBitmap picture = allocate(s, PixelFormat::Bits24);
    const Rows rows(picture);
    const int depth = s.ihdr.bit_depth;
    const bool interlaced = s.ihdr.interlace_method != SPNG_INTERLACE_NONE;
    std::vector<std::uint8_t> scratch((std::size_t(s.width()) * std::size_t(depth) + 7) / 8);
    decodeRows(
        s, SPNG_FMT_RAW, 0, scratch.size(),
        [&](int) {
            // Passes of an interlaced file are ORed into the bytes they share.
            if (interlaced && depth < 8) std::fill(scratch.begin(), scratch.end(), std::uint8_t(0));
            return scratch.data();
        },
        [&](int y, int first, int step) {
            std::uint8_t* out = rows(y);
            const std::uint8_t* in = scratch.data();
            if (depth >= 8) {
                const std::size_t size = std::size_t(depth / 8);
                for (int x = first; x < s.width(); x += step) std::memset(out + 3 * x, in[std::size_t(x) * size], 3);
                return;
            }
            const unsigned scale = 255 / ((1u << depth) - 1);
            for (int x = first; x < s.width(); x += step)
                std::memset(out + 3 * x, int(packedSample(in, x, depth) * scale), 3);
        });
    return picture;
}

// The palette, each entry laid over white by its tRNS opacity.
std::vector<PaletteEntry> paletteOf(const Source& s) {
    spng_plte plte{};
    s.check(spng_get_plte(s.ctx, &plte));
    spng_trns trns{};
    const bool transparent = transparencyOf(s, trns);
    std::vector<PaletteEntry> palette(plte.n_entries);
    for (std::uint32_t i = 0; i < plte.n_entries && i < 256; ++i) {
        const unsigned a = transparent && i < trns.n_type3_entries ? trns.type3_alpha[i] : 255;
        const spng_plte_entry& e = plte.entries[i];
        palette[i] = {overWhite(e.blue, a), overWhite(e.green, a), overWhite(e.red, a)};
    }
    return palette;
}

// Palette pictures: one index a byte. 8-bit rows go straight into the
// picture; smaller depths are unpacked from scratch.
WorkBitmap decodeIndexed(const Source& s) {
    WorkBitmap picture = allocate(s, PixelFormat::Bits8);
    const Rows rows(picture);
    std::vector<PaletteEntry> palette = paletteOf(s);
    const int depth = s.ihdr.bit_depth;
    const std::size_t packedBytes = (std::size_t(s.width()) * std::size_t(depth) + 7) / 8;
    std::vector<std::uint8_t> scratch(depth == 8 ? 0 : packedBytes);
    decodeRows(
        s, SPNG_FMT_PNG, 0, packedBytes,
        [&](int y) {
            if (depth == 8) return rows(y);
            // libspng ORs the pixels of an interlacing pass into the bytes
            // they share with other pixels, so each row starts from zero.
            std::fill(scratch.begin(), scratch.end(), std::uint8_t(0));
            return scratch.data();
        },
        [&](int y, int first, int step) {
            if (depth == 8) return;
            std::uint8_t* out = rows(y);
            for (int x = first; x < s.width(); x += step) out[x] = std::uint8_t(packedSample(scratch.data(), x, depth));
        });
    // An index past the end of the palette shows black rather than reading
    // beyond it.
    unsigned highest = 0;
    for (int y = 0; y < s.height(); ++y) {
        const std::uint8_t* row = picture.constRow(y);
        for (int x = 0; x < s.width(); ++x) highest = row[x] > highest ? row[x] : highest;
    }
    if (highest >= palette.size()) palette.resize(highest + 1);
    picture.setPalette(std::move(palette));
    return picture;
}

// Gives libspng the bytes and reads the header.
void start(Source& s, std::span<const std::uint8_t> bytes) {
    if (!s.ctx) throw FileError(s.name, png::reasonFor(SPNG_EMEM));
    if (bytes.size() < 8) s.check(bytes.empty() ? SPNG_EOF : SPNG_ESIGNATURE);
    s.check(spng_set_chunk_limits(s.ctx, kMaxChunkBytes, kMaxChunkCache));
    s.check(spng_set_png_buffer(s.ctx, bytes.data(), bytes.size()));
    s.check(spng_get_ihdr(s.ctx, &s.ihdr));
}

// The largest PNG image an icon entry may hold (icons go up to 256 x 256).
constexpr std::uint32_t kMaxIconPngSide = 1024;

// 16-bit RGBA rows through scratch, each sample rounded to 8 bits.
void decodeWithAlpha16(const Source& s, WorkBitmap& picture) {
    std::vector<std::uint16_t> scratch(std::size_t(s.width()) * 4);
    decodeRows(
        s, SPNG_FMT_RGBA16, SPNG_DECODE_TRNS, scratch.size() * 2, [&](int) { return scratch.data(); },
        [&](int y, int first, int step) {
            std::uint8_t* out = picture.row(y);
            auto to8 = [](unsigned v) { return std::uint8_t((v - (v >> 8) + 128) >> 8); };
            for (int x = first; x < s.width(); x += step) {
                const std::uint16_t* in = scratch.data() + 4 * std::size_t(x);
                out[4 * x] = to8(in[2]), out[4 * x + 1] = to8(in[1]), out[4 * x + 2] = to8(in[0]), out[4 * x + 3] = to8(in[3]);
            }
        });
}

// RGBA rows written into a 32-bit picture's own rows, then turned into
// Blue, Green, Red, Alpha in place.
WorkBitmap decodeWithAlpha(const Source& s) {
    WorkBitmap picture(s.width(), s.height(), PixelFormat::Bits32);
    picture.setMasks({0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000});
    if (s.ihdr.bit_depth == 16) {
        decodeWithAlpha16(s, picture);
        return picture;
    }
    const std::size_t rowBytes = std::size_t(s.width()) * 4;
    decodeRows(
        s, SPNG_FMT_RGBA8, SPNG_DECODE_TRNS, rowBytes, [&](int y) { return picture.row(y); },
        [&](int y, int first, int step) {
            std::uint8_t* row = picture.row(y);
            for (std::size_t i = std::size_t(first) * 4; i < rowBytes; i += std::size_t(step) * 4) std::swap(row[i], row[i + 2]);
        });
    return picture;
}

WorkBitmap decodeByColourType(const Source& s) {
    if (s.ihdr.color_type == SPNG_COLOR_TYPE_INDEXED) return decodeIndexed(s);
    spng_trns trns{};
    const bool alpha = s.ihdr.color_type == SPNG_COLOR_TYPE_GRAYSCALE_ALPHA ||
                       s.ihdr.color_type == SPNG_COLOR_TYPE_TRUECOLOR_ALPHA || transparencyOf(s, trns);
    if (alpha) return decodeTranslucent(s);
    return s.ihdr.color_type == SPNG_COLOR_TYPE_GRAYSCALE ? decodeGray(s) : decodeOpaque(s);
}

// The file's ICC profile (iCCP), inflated by libspng; empty when none.
std::span<const std::uint8_t> profileOf(const Source& s) {
    spng_iccp iccp{};
    if (spng_get_iccp(s.ctx, &iccp) != 0 || !iccp.profile) return {};
    return {reinterpret_cast<const std::uint8_t*>(iccp.profile), iccp.profile_len};
}

}  // namespace

WorkBitmap decodePngForIcon(std::span<const std::uint8_t> bytes) {
    png::Context owner(spng_ctx_new(0));
    Source s{owner.get(), "icon"};
    try {
        start(s, bytes);
    } catch (const FileError&) {
        throw UserError("the PNG image in the icon cannot be read");
    }
    if (s.ihdr.width > kMaxIconPngSide || s.ihdr.height > kMaxIconPngSide)
        throw UserError("the PNG image in the icon is larger than 1024 x 1024");
    try {
        return decodeWithAlpha(s);
    } catch (const FileError&) {
        throw UserError("the PNG image in the icon cannot be read");
    }
}

WorkBitmap decodePng(std::span<const std::uint8_t> bytes, const std::string& name, std::string* warnings) {
    png::Context owner(spng_ctx_new(0));
    Source s{owner.get(), name};
    start(s, bytes);
    refuseTooManyPixels(s.ihdr.width, s.ihdr.height, name);
    checkPixelDataCanFill(s, bytes);
    WorkBitmap picture = decodeByColourType(s);
    addWarning(warnings, convertToSrgb(picture, profileOf(s), name));
    return picture;
}

std::optional<PictureSize> pngSizeFromHeader(std::span<const std::uint8_t> head) {
    png::Context ctx(spng_ctx_new(0));
    spng_ihdr ihdr{};
    if (!ctx || spng_set_png_buffer(ctx.get(), head.data(), head.size()) != 0 || spng_get_ihdr(ctx.get(), &ihdr) != 0)
        return std::nullopt;
    return PictureSize{int(ihdr.width), int(ihdr.height)};
}

WorkBitmap readPngFile(const std::string& path, std::string* warnings) {
    const PictureBytes bytes = readFileToPictureMemory(path);
    return decodePng(bytes, path, warnings);
}

}  // namespace hueline
