// SPDX-License-Identifier: GPL-3.0-or-later
// Writing PNG files: the layout that holds the picture exactly and most
// compactly, rows fed to libspng one at a time.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "imaging/codecs/file_io.h"
#include "imaging/codecs/png_codec.h"
#include "imaging/codecs/png_context.h"
#include "imaging/picture/errors.h"

namespace hueline {
namespace {

// How the rows of the picture become the rows of the file.
enum class Layout { Indexed, Gray, GrayFromColour, BlackWhiteFromColour, Colour };

// True when the palette is the even gray ramp of its depth in full
// (entry i is gray i * 255 / (2^depth - 1)), the levels a gray PNG of that
// depth stands for.
bool isGrayRamp(const WorkBitmap& picture) {
    const int depth = bitsPerPixel(picture.format());
    const std::size_t levels = std::size_t(1) << depth;
    if (picture.palette().size() != levels) return false;
    for (std::size_t i = 0; i < levels; ++i) {
        const auto v = std::uint8_t(i * 255 / (levels - 1));
        if (picture.palette()[i] != PaletteEntry{v, v, v}) return false;
    }
    return true;
}

// For a 24-bit picture: whether every pixel is gray, and whether every
// one is black or white.
Layout colourLayout(const WorkBitmap& picture) {
    bool blackWhite = true;
    const std::size_t rowBytes = std::size_t(picture.width()) * 3;
    for (int y = 0; y < picture.height(); ++y) {
        const std::uint8_t* row = picture.constRow(y);
        unsigned notGray = 0, notBlackWhite = 0;
        for (std::size_t i = 0; i < rowBytes; i += 3) {
            notGray |= unsigned(row[i] ^ row[i + 1]) | unsigned(row[i] ^ row[i + 2]);
            notBlackWhite |= unsigned(std::uint8_t(row[i] + 1) > 1);
        }
        if (notGray) return Layout::Colour;
        blackWhite = blackWhite && !notBlackWhite;
    }
    return blackWhite ? Layout::BlackWhiteFromColour : Layout::GrayFromColour;
}

// The highest palette index the picture uses.
unsigned highestIndex(const WorkBitmap& picture) {
    const int depth = bitsPerPixel(picture.format());
    const unsigned mask = (1u << depth) - 1;
    unsigned highest = 0;
    for (int y = 0; y < picture.height(); ++y) {
        const std::uint8_t* row = picture.constRow(y);
        for (int x = 0; x < picture.width(); ++x) {
            const std::size_t bit = std::size_t(x) * std::size_t(depth);
            const unsigned index = unsigned(row[bit / 8] >> (8 - depth - int(bit % 8))) & mask;
            highest = index > highest ? index : highest;
        }
    }
    return highest;
}

struct Target {
    spng_ctx* ctx;
    const std::string* fileName;  // null when encoding to memory only
    void check(int error) const {
        if (error == 0) return;
        const std::string why = std::string("the picture could not be encoded as PNG (") + spng_strerror(error) + ")";
        if (fileName) throw FileError(*fileName, why);
        throw UserError("The picture could not be encoded as PNG: " + std::string(spng_strerror(error)));
    }
};

void setPalette(const Target& t, const WorkBitmap& picture) {
    spng_plte plte{};
    std::size_t entries = picture.palette().size();
    const unsigned highest = highestIndex(picture);
    if (entries <= highest) entries = highest + 1;  // indices past the palette's end are black
    const std::size_t most = std::size_t(1) << bitsPerPixel(picture.format());
    if (entries > most) entries = most;  // a file's palette holds no more than its depth can index
    plte.n_entries = std::uint32_t(entries);
    for (std::size_t i = 0; i < picture.palette().size() && i < entries; ++i) {
        const PaletteEntry& e = picture.palette()[i];
        plte.entries[i] = {e.red, e.green, e.blue, 255};
    }
    t.check(spng_set_plte(t.ctx, &plte));
}

// Writes row y of the picture into out in the file's layout.
void fileRow(const WorkBitmap& picture, Layout layout, int y, std::uint8_t* out, std::size_t outBytes) {
    const std::uint8_t* in = picture.constRow(y);
    const int width = picture.width();
    switch (layout) {
    case Layout::Indexed:
    case Layout::Gray: std::memcpy(out, in, outBytes); break;
    case Layout::GrayFromColour:
        for (int x = 0; x < width; ++x) out[x] = in[3 * x];
        break;
    case Layout::BlackWhiteFromColour:
        std::memset(out, 0, outBytes);
        for (int x = 0; x < width; ++x) out[x / 8] |= std::uint8_t((in[3 * x] & 0x80) >> (x % 8));
        break;
    case Layout::Colour:
        for (int x = 0; x < width; ++x) {
            out[3 * x] = in[3 * x + 2];
            out[3 * x + 1] = in[3 * x + 1];
            out[3 * x + 2] = in[3 * x];
        }
        break;
    }
}

// How many bytes a trial encoding of the sample rows (in the file's
// layout, rowBytes each) takes with the given row filters, at zlib's
// quickest level.
std::size_t trialSize(const spng_ihdr& sampleHeader, const std::vector<std::uint8_t>& rows, int filters) {
    png::Context owner(spng_ctx_new(SPNG_CTX_ENCODER));
    if (!owner) throw std::bad_alloc();
    spng_ctx* ctx = owner.get();
    spng_ihdr ihdr = sampleHeader;
    spng_set_option(ctx, SPNG_ENCODE_TO_BUFFER, 1);
    spng_set_option(ctx, SPNG_FILTER_CHOICE, filters);
    spng_set_option(ctx, SPNG_IMG_COMPRESSION_LEVEL, 1);
    if (spng_set_ihdr(ctx, &ihdr) != 0 ||
        spng_encode_image(ctx, rows.data(), rows.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE) != 0)
        return SIZE_MAX;
    int error = 0;
    std::size_t size = 0;
    std::free(spng_get_png_buffer(ctx, &size, &error));
    return error ? SIZE_MAX : size;
}

// The row filters for a picture of 8 bits a sample. libspng's default, the
// filter of least absolute sum chosen row by row, costs time and can
// compress worse than one filter for every row: "up" suits big photos
// whose rows change slowly. So on a big picture, bands of rows spread over
// it (a sixteenth) are encoded quickly with each choice, and one filter is
// taken when it clearly wins; otherwise, and on pictures too small for the
// sample to tell, the row-by-row choice stays.
int filterChoice(const WorkBitmap& picture, Layout layout, const spng_ihdr& ihdr, std::size_t rowBytes) {
    constexpr int kBand = 32, kEvery = 512;
    if (picture.height() < 4 * kEvery) return SPNG_FILTER_CHOICE_ALL;
    std::vector<std::uint8_t> rows;
    for (int top = 0; top < picture.height(); top += kEvery)
        for (int y = top; y < top + kBand && y < picture.height(); ++y) {
            rows.resize(rows.size() + rowBytes);
            fileRow(picture, layout, y, rows.data() + rows.size() - rowBytes, rowBytes);
        }
    spng_ihdr sample = ihdr;
    sample.height = std::uint32_t(rows.size() / rowBytes);
    const std::size_t adaptive = trialSize(sample, rows, SPNG_FILTER_CHOICE_ALL);
    int best = SPNG_FILTER_CHOICE_ALL;
    std::size_t bestSize = adaptive - adaptive / 100;  // a single filter must save 1 %
    for (const int single : {SPNG_FILTER_CHOICE_UP, SPNG_FILTER_CHOICE_PAETH}) {
        const std::size_t size = trialSize(sample, rows, single);
        if (size < bestSize) best = single, bestSize = size;
    }
    return best;
}

// Encodes the picture and hands the bytes, still in libspng's buffer, to
// use: a file is written from there without a copy.
template <class Use>
auto encode(const WorkBitmap& source, const std::string* fileName, Use use) {
    if (source.empty()) throw UserError("There is no picture to save.");
    const WorkBitmap picture = isIndexed(source.format()) ? source : source.to24();
    Layout layout = Layout::Indexed;
    if (isIndexed(picture.format())) layout = isGrayRamp(picture) ? Layout::Gray : Layout::Indexed;
    else layout = colourLayout(picture);

    spng_ihdr ihdr{};
    ihdr.width = std::uint32_t(picture.width());
    ihdr.height = std::uint32_t(picture.height());
    switch (layout) {
    case Layout::Indexed:
        ihdr.color_type = SPNG_COLOR_TYPE_INDEXED;
        ihdr.bit_depth = std::uint8_t(bitsPerPixel(picture.format()));
        break;
    case Layout::Gray: ihdr.color_type = SPNG_COLOR_TYPE_GRAYSCALE; ihdr.bit_depth = std::uint8_t(bitsPerPixel(picture.format())); break;
    case Layout::GrayFromColour: ihdr.color_type = SPNG_COLOR_TYPE_GRAYSCALE; ihdr.bit_depth = 8; break;
    case Layout::BlackWhiteFromColour: ihdr.color_type = SPNG_COLOR_TYPE_GRAYSCALE; ihdr.bit_depth = 1; break;
    case Layout::Colour: ihdr.color_type = SPNG_COLOR_TYPE_TRUECOLOR; ihdr.bit_depth = 8; break;
    }
    const int channels = layout == Layout::Colour ? 3 : 1;
    const std::size_t rowBytes = (std::size_t(picture.width()) * std::size_t(ihdr.bit_depth) * std::size_t(channels) + 7) / 8;

    png::Context owner(spng_ctx_new(SPNG_CTX_ENCODER));
    if (!owner) throw std::bad_alloc();
    const Target t{owner.get(), fileName};
    t.check(spng_set_option(t.ctx, SPNG_ENCODE_TO_BUFFER, 1));
    t.check(spng_set_ihdr(t.ctx, &ihdr));
    if (layout == Layout::Indexed) setPalette(t, picture);
    if (ihdr.bit_depth == 8 && layout != Layout::Indexed)
        t.check(spng_set_option(t.ctx, SPNG_FILTER_CHOICE, filterChoice(picture, layout, ihdr, rowBytes)));
    t.check(spng_encode_image(t.ctx, nullptr, 0, SPNG_FMT_PNG, SPNG_ENCODE_PROGRESSIVE | SPNG_ENCODE_FINALIZE));
    std::vector<std::uint8_t> row(rowBytes);
    for (int y = 0; y < picture.height(); ++y) {
        fileRow(picture, layout, y, row.data(), rowBytes);
        const int status = spng_encode_row(t.ctx, row.data(), rowBytes);
        if (status != SPNG_EOI) t.check(status);
    }
    int error = 0;
    std::size_t size = 0;
    std::unique_ptr<std::uint8_t, decltype(&std::free)> bytes(
        static_cast<std::uint8_t*>(spng_get_png_buffer(t.ctx, &size, &error)), &std::free);
    t.check(error);
    if (!bytes) t.check(SPNG_EINTERNAL);
    return use(std::span<const std::uint8_t>(bytes.get(), size));
}

}  // namespace

std::vector<std::uint8_t> encodePng(const WorkBitmap& picture) {
    return encode(picture, nullptr,
                  [](std::span<const std::uint8_t> bytes) { return std::vector<std::uint8_t>(bytes.begin(), bytes.end()); });
}

void writePngFile(const WorkBitmap& picture, const std::string& path) {
    encode(picture, &path, [&](std::span<const std::uint8_t> bytes) { writeFileAtomically(path, bytes); });
}

}  // namespace hueline
