// SPDX-License-Identifier: GPL-3.0-or-later
// Reading TIFF files. Gray, palette and bilevel files are read as stored,
// strip by strip or one row of tiles at a time, into pictures with a
// palette; all others go through libtiff's RGBA reading, which knows every
// photometric interpretation, in bands of one strip or one row of tiles.
#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "imaging/codecs/colour_profile.h"
#include "imaging/codecs/file_io.h"
#include "imaging/codecs/orientation.h"
#include "imaging/codecs/tiff_codec.h"
#include "imaging/codecs/tiff_memory.h"
#include "imaging/picture/errors.h"
#include "imaging/picture/pixel_limit.h"
#include "imaging/picture/progress.h"

namespace hueline {
namespace {

struct Page {
    tiff::MemoryTiff& file;
    const std::string& name;
    std::uint32_t width = 0, height = 0;
    std::uint16_t bits = 1, samples = 1, photometric = 0, planar = PLANARCONFIG_CONTIG;
    bool tiled = false;
    std::uint32_t bandRows = 0;  // rows in one strip or one row of tiles

    TIFF* tif() const { return file.get(); }
};

std::string sizeText(const Page& p) { return std::to_string(p.width) + " x " + std::to_string(p.height) + " pixels"; }

WorkBitmap allocate(const Page& p, PixelFormat format) {
    try {
        return format == PixelFormat::Bits24 ? WorkBitmap::uninitialized24(int(p.width), int(p.height))
                                             : WorkBitmap(int(p.width), int(p.height), format);
    } catch (const std::bad_alloc&) {
        throw FileError(p.name, "there is not enough memory for a picture of " + sizeText(p));
    }
}

// What the user is told when the pixel data broke off after some rows.
std::string brokenAt(const Page& p, std::uint32_t row, const std::string& reason) {
    return p.name + " is damaged: " + (reason.empty() ? std::string("its pixel data cannot be read") : reason) +
           ", so the picture is white below row " + std::to_string(row) + " of " + std::to_string(p.height) + ".";
}

// A band that cannot be read: refused when it is the first, else the rest
// stays white and the user is told.
void failBand(const Page& p, std::uint32_t row, std::string* warnings) {
    const std::string reason = p.file.takeError();
    if (row == 0) throw FileError(p.name, reason.empty() ? "its pixel data cannot be read" : reason);
    addWarning(warnings, brokenAt(p, row, reason));
}

// ---- gray, palette and bilevel files, as stored -----------------------------

// The palette of an indexed file: its colour map, or the gray ramp of its
// depth (white first for a white-is-zero file). Colour maps of 8-bit
// values, which some writers store, are taken as libtiff's RGBA reading
// takes them.
std::vector<PaletteEntry> paletteOf(const Page& p) {
    const std::size_t entries = std::size_t(1) << std::min<int>(p.bits, 8);
    std::vector<PaletteEntry> palette(entries);
    if (p.photometric == PHOTOMETRIC_PALETTE) {
        std::uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
        if (!TIFFGetField(p.tif(), TIFFTAG_COLORMAP, &r, &g, &b)) throw FileError(p.name, "its colour map is missing");
        bool wide = false;
        for (std::size_t i = 0; i < entries; ++i) wide = wide || r[i] > 255 || g[i] > 255 || b[i] > 255;
        const int shift = wide ? 8 : 0;
        for (std::size_t i = 0; i < entries; ++i)
            palette[i] = {std::uint8_t(b[i] >> shift), std::uint8_t(g[i] >> shift), std::uint8_t(r[i] >> shift)};
        return palette;
    }
    for (std::size_t i = 0; i < entries; ++i) {
        const std::size_t level = p.photometric == PHOTOMETRIC_MINISWHITE ? entries - 1 - i : i;
        const auto v = std::uint8_t((level * 255 + (entries - 1) / 2) / (entries - 1));
        palette[i] = {v, v, v};
    }
    return palette;
}

// One stored row (samples of p.bits, packed) into a picture row: as it is
// for 1- and 8-bit pictures, unpacked for 2 and 4 bits, rounded to 8 bits
// for 16.
void storeRow(const Page& p, const std::uint8_t* in, std::uint8_t* out) {
    const std::uint32_t w = p.width;
    switch (p.bits) {
    case 1: std::memcpy(out, in, (w + 7) / 8); return;
    case 8: std::memcpy(out, in, w); return;
    case 16: {
        for (std::uint32_t x = 0; x < w; ++x) {
            std::uint16_t v;
            std::memcpy(&v, in + 2 * x, 2);
            out[x] = std::uint8_t((unsigned(v) * 255 + 32767) / 65535);
        }
        return;
    }
    default: {
        const unsigned mask = (1u << p.bits) - 1;
        for (std::uint32_t x = 0; x < w; ++x) {
            const std::uint32_t bit = x * p.bits;
            out[x] = std::uint8_t(in[bit / 8] >> (8 - p.bits - bit % 8) & mask);
        }
    }
    }
}

// Reads the band of rows starting at row into scanline-long rows of band.
bool readStoredBand(const Page& p, std::uint32_t row, std::uint32_t rows, std::vector<std::uint8_t>& band,
                    std::vector<std::uint8_t>& tile) {
    const tmsize_t scanline = TIFFScanlineSize(p.tif());
    if (!p.tiled) {
        const tstrip_t strip = TIFFComputeStrip(p.tif(), row, 0);
        return TIFFReadEncodedStrip(p.tif(), strip, band.data(), tmsize_t(rows) * scanline) >= 0;
    }
    std::uint32_t tileWidth = 0;
    TIFFGetField(p.tif(), TIFFTAG_TILEWIDTH, &tileWidth);
    const tmsize_t tileRow = TIFFTileRowSize(p.tif());
    for (std::uint32_t x = 0; x < p.width; x += tileWidth) {
        if (TIFFReadTile(p.tif(), tile.data(), x, row, 0, 0) < 0) return false;
        // Tiles are 16 pixels wide at least, so each starts on a byte.
        const std::size_t at = std::size_t(x) * p.bits / 8;
        const std::size_t take = std::min<std::size_t>(std::size_t(tileRow), std::size_t(scanline) - at);
        for (std::uint32_t r = 0; r < rows; ++r)
            std::memcpy(band.data() + std::size_t(r) * std::size_t(scanline) + at, tile.data() + std::size_t(r) * std::size_t(tileRow), take);
    }
    return true;
}

WorkBitmap decodeIndexed(const Page& p, std::string* warnings) {
    WorkBitmap picture = allocate(p, p.bits == 1 ? PixelFormat::Bits1 : PixelFormat::Bits8);
    picture.setPalette(paletteOf(p));
    const std::size_t scanline = std::size_t(TIFFScanlineSize(p.tif()));
    std::vector<std::uint8_t> band(scanline * p.bandRows);
    std::vector<std::uint8_t> tile(p.tiled ? std::size_t(TIFFTileSize(p.tif())) : 0);
    for (std::uint32_t row = 0; row < p.height; row += p.bandRows) {
        const std::uint32_t rows = std::min(p.bandRows, p.height - row);
        if (!readStoredBand(p, row, rows, band, tile)) {
            failBand(p, row, warnings);
            break;
        }
        for (std::uint32_t r = 0; r < rows; ++r) storeRow(p, band.data() + r * scanline, picture.row(int(row + r)));
        reportProgress(double(row + rows) / p.height);
    }
    return picture;
}

// ---- everything else, through libtiff's RGBA reading --------------------

struct RgbaImage {
    TIFFRGBAImage image{};
    bool begun = false;
    ~RgbaImage() {
        if (begun) TIFFRGBAImageEnd(&image);
    }
};

WorkBitmap decodeRgba(const Page& p, std::string* warnings) {
    RgbaImage rgba;
    char message[1024] = "";
    if (!TIFFRGBAImageOK(p.tif(), message) || !TIFFRGBAImageBegin(&rgba.image, p.tif(), 1, message))
        throw FileError(p.name, std::string("libtiff cannot read its pixels (") + message + ")");
    rgba.begun = true;
    // Rows as stored, top first: the Orientation tag is applied afterwards,
    // all eight of its values alike.
    rgba.image.req_orientation = ORIENTATION_TOPLEFT;
    rgba.image.orientation = ORIENTATION_TOPLEFT;
    WorkBitmap picture = allocate(p, PixelFormat::Bits24);
    std::vector<std::uint32_t> band;
    try {
        band.resize(std::size_t(p.width) * p.bandRows);
    } catch (const std::bad_alloc&) {
        throw FileError(p.name, "there is not enough memory for a picture of " + sizeText(p));
    }
    for (std::uint32_t row = 0; row < p.height; row += p.bandRows) {
        const std::uint32_t rows = std::min(p.bandRows, p.height - row);
        rgba.image.row_offset = int(row);
        rgba.image.col_offset = 0;
        if (!TIFFRGBAImageGet(&rgba.image, band.data(), p.width, rows)) {
            failBand(p, row, warnings);
            for (std::uint32_t y = row; y < p.height; ++y) std::memset(picture.row(int(y)), 255, std::size_t(p.width) * 3);
            break;
        }
        // Pixels come premultiplied by their alpha: over white each
        // channel gains what the alpha leaves out.
        for (std::uint32_t r = 0; r < rows; ++r) {
            const std::uint32_t* in = band.data() + std::size_t(r) * p.width;
            std::uint8_t* out = picture.row(int(row + r));
            for (std::uint32_t x = 0; x < p.width; ++x) {
                const std::uint32_t v = in[x];
                const unsigned clear = 255 - TIFFGetA(v);
                out[3 * x] = std::uint8_t(std::min(255u, TIFFGetB(v) + clear));
                out[3 * x + 1] = std::uint8_t(std::min(255u, TIFFGetG(v) + clear));
                out[3 * x + 2] = std::uint8_t(std::min(255u, TIFFGetR(v) + clear));
            }
        }
        reportProgress(double(row + rows) / p.height);
    }
    return picture;
}

// Gray, palette and bilevel files of one sample a pixel that are read as
// stored; anything else (extra samples, planes, odd depths) goes through
// the RGBA reading.
bool readAsStored(const Page& p) {
    const bool gray = p.photometric == PHOTOMETRIC_MINISBLACK || p.photometric == PHOTOMETRIC_MINISWHITE;
    const bool palette = p.photometric == PHOTOMETRIC_PALETTE;
    const bool depth = p.bits == 1 || p.bits == 2 || p.bits == 4 || p.bits == 8 || (gray && p.bits == 16);
    return p.samples == 1 && depth && (gray || palette);
}

// No compression TIFF has packs more than this many bytes into one, so a
// file whose pixel data is shorter than that share of the picture cannot
// hold it. Such a file is refused before the picture is allocated, so that
// a few bytes cannot claim a gigabyte.
constexpr std::uint64_t kMaxPacking = 8192;

void checkPixelDataCanFill(const Page& p) {
    const std::uint64_t raw = std::uint64_t(p.width) * p.height * p.samples * p.bits / 8;
    const std::uint32_t pieces = p.tiled ? TIFFNumberOfTiles(p.tif()) : TIFFNumberOfStrips(p.tif());
    std::uint64_t stored = 0;
    for (std::uint32_t i = 0; i < pieces && stored * kMaxPacking < raw; ++i) stored += std::min<std::uint64_t>(TIFFGetStrileByteCount(p.tif(), i), p.file.bytes.size());
    if (stored * kMaxPacking < raw)
        throw FileError(p.name, "the file holds too little pixel data for a picture of " + sizeText(p));
}

Page readPage(tiff::MemoryTiff& file, const std::string& name) {
    Page p{file, name};
    TIFF* tif = file.get();
    if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &p.width) || !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &p.height) ||
        p.width == 0 || p.height == 0)
        throw FileError(name, "its first page has no picture size");
    refuseTooManyPixels(p.width, p.height, name);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &p.bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &p.samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &p.planar);
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &p.photometric))
        p.photometric = p.samples >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
    p.tiled = TIFFIsTiled(tif) != 0;
    if (p.tiled) {
        std::uint32_t tileWidth = 0, tileLength = 0;
        if (!TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tileWidth) || !TIFFGetField(tif, TIFFTAG_TILELENGTH, &tileLength) ||
            tileWidth == 0 || tileLength == 0 || tileWidth % 16 != 0)
            throw FileError(name, "its tiles have no valid size");
        p.bandRows = tileLength;
    } else {
        TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &p.bandRows);
    }
    p.bandRows = std::clamp<std::uint32_t>(p.bandRows, 1, p.height);
    checkPixelDataCanFill(p);
    return p;
}

std::span<const std::uint8_t> profileOf(const Page& p) {
    std::uint32_t size = 0;
    void* data = nullptr;
    if (!TIFFGetField(p.tif(), TIFFTAG_ICCPROFILE, &size, &data) || !data) return {};
    return {static_cast<const std::uint8_t*>(data), size};
}

}  // namespace

WorkBitmap decodeTiff(std::span<const std::uint8_t> bytes, const std::string& name, std::string* warnings) {
    tiff::MemoryTiff file(bytes, name);
    const Page p = readPage(file, name);
    std::uint16_t orientation = ORIENTATION_TOPLEFT;
    TIFFGetFieldDefaulted(p.tif(), TIFFTAG_ORIENTATION, &orientation);
    WorkBitmap picture = readAsStored(p) ? decodeIndexed(p, warnings) : decodeRgba(p, warnings);
    if (p.photometric != PHOTOMETRIC_SEPARATED) addWarning(warnings, convertToSrgb(picture, profileOf(p), name));
    if (orientation == ORIENTATION_TOPLEFT || orientation > 8) return picture;
    // Turning works on 8- and 24-bit pictures.
    if (picture.format() == PixelFormat::Bits1) picture.setPixelFormat(PixelFormat::Bits8);
    return orientedUpright(picture, orientation);
}

WorkBitmap readTiffFile(const std::string& path, std::string* warnings) {
    const PictureBytes bytes = readFileToPictureMemory(path);
    return decodeTiff(bytes, path, warnings);
}

}  // namespace hueline
