// SPDX-License-Identifier: GPL-3.0-or-later
// Reading WebP files. The container (animation, ICCP and EXIF chunks) is
// read by libwebp's demuxer; the first frame is then decoded
// incrementally, a slice of the file at a time, so that a long decode can
// be stopped and a file that ends early still shows its top rows. Opaque
// frames that cover the canvas are decoded straight into the picture's
// rows; others through a buffer of Blue, Green, Red and alpha.
#include <webp/decode.h>
#include <webp/demux.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "imaging/codecs/colour_profile.h"
#include "imaging/codecs/file_io.h"
#include "imaging/codecs/orientation.h"
#include "imaging/codecs/over_white.h"
#include "imaging/codecs/webp_codec.h"
#include "imaging/picture/errors.h"
#include "imaging/picture/pixel_limit.h"
#include "imaging/picture/progress.h"

namespace hueline {
namespace {

// The decoder is fed this much of the file between progress reports.
constexpr std::size_t kSliceBytes = std::size_t(256) << 10;

struct DeleteDemuxer {
    void operator()(WebPDemuxer* d) const { WebPDemuxDelete(d); }
};
struct DeleteDecoder {
    void operator()(WebPIDecoder* d) const { WebPIDelete(d); }
};

std::string sizeText(int width, int height) { return std::to_string(width) + " x " + std::to_string(height) + " pixels"; }

// The bytes of a chunk of the container ("ICCP", "EXIF"); empty if none.
std::span<const std::uint8_t> chunkOf(WebPDemuxer* demux, const char* fourcc) {
    WebPChunkIterator it;
    if (!WebPDemuxGetChunk(demux, fourcc, 1, &it)) return {};
    const std::span<const std::uint8_t> bytes(it.chunk.bytes, it.chunk.size);
    WebPDemuxReleaseChunkIterator(&it);
    return bytes;
}

// The EXIF orientation; the chunk holds the TIFF data of an APP1 block,
// with or without its "Exif\0\0" start.
int orientationOf(WebPDemuxer* demux) {
    const std::span<const std::uint8_t> exif = chunkOf(demux, "EXIF");
    if (exif.empty()) return 1;
    static constexpr std::uint8_t kStart[6] = {'E', 'x', 'i', 'f', 0, 0};
    if (exif.size() >= 6 && std::memcmp(exif.data(), kStart, 6) == 0) return exifOrientation(exif);
    std::vector<std::uint8_t> block(kStart, kStart + 6);
    block.insert(block.end(), exif.begin(), exif.end());
    return exifOrientation(block);
}

struct Frame {
    std::span<const std::uint8_t> bits;  // the frame's bitstream
    int x = 0, y = 0, width = 0, height = 0;
    bool alpha = false, complete = true;
};

// Decodes the frame into the output the config names, a slice at a time.
// Gives the number of rows decoded from the top: all (rows) of them, or
// those before the data ended.
int decodeFrame(const Frame& f, WebPDecoderConfig& config, int rows, const std::string& name) {
    const std::unique_ptr<WebPIDecoder, DeleteDecoder> decoder(WebPIDecode(nullptr, 0, &config));
    if (!decoder) throw FileError(name, "there is not enough memory to decode it");
    VP8StatusCode status = VP8_STATUS_SUSPENDED;
    for (std::size_t fed = 0; fed < f.bits.size() && status == VP8_STATUS_SUSPENDED;) {
        fed = std::min(f.bits.size(), fed + kSliceBytes);
        status = WebPIUpdate(decoder.get(), f.bits.data(), fed);
        reportProgress(double(fed) / double(f.bits.size()));
    }
    if (status == VP8_STATUS_OK) return rows;
    int decoded = 0;
    WebPIDecGetRGB(decoder.get(), &decoded, nullptr, nullptr, nullptr);
    if (status == VP8_STATUS_SUSPENDED && decoded > 0) return std::min(decoded, rows);
    if (status == VP8_STATUS_OUT_OF_MEMORY) throw FileError(name, "there is not enough memory to decode it");
    if (status == VP8_STATUS_SUSPENDED || status == VP8_STATUS_NOT_ENOUGH_DATA)
        throw FileError(name, "the file ends before its first row of pixels");
    throw FileError(name, status == VP8_STATUS_UNSUPPORTED_FEATURE ? "it uses a WebP feature libwebp cannot decode"
                                                                    : "its picture data is corrupt");
}

// Output straight into the picture's rows, Blue, Green, Red.
void intoPicture(WebPDecoderConfig& config, WorkBitmap& picture) {
    config.output.colorspace = MODE_BGR;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = picture.row(0);
    config.output.u.RGBA.stride = int(picture.stride());
    config.output.u.RGBA.size = picture.stride() * std::size_t(picture.height());
}

// Frame rows from a Blue, Green, Red, alpha buffer laid over white onto
// the canvas at the frame's place; rows past decoded stay white.
void layOverWhite(const Frame& f, const std::vector<std::uint8_t>& bgra, int decoded, WorkBitmap& picture) {
    for (int y = 0; y < f.height; ++y) {
        std::uint8_t* out = picture.row(f.y + y) + 3 * std::size_t(f.x);
        if (y >= decoded) {
            std::memset(out, 255, 3 * std::size_t(f.width));
            continue;
        }
        const std::uint8_t* in = bgra.data() + 4 * std::size_t(y) * std::size_t(f.width);
        for (int x = 0; x < f.width; ++x) {
            const unsigned a = in[4 * x + 3];
            for (int c = 0; c < 3; ++c)
                out[3 * x + c] = overWhite(in[4 * x + c], a);
        }
    }
}

WorkBitmap allocate(int width, int height, const std::string& name) {
    try {
        return WorkBitmap::uninitialized24(width, height);
    } catch (const std::bad_alloc&) {
        throw FileError(name, "there is not enough memory for a picture of " + sizeText(width, height));
    }
}

// The frame at full size on its canvas; decoded receives the rows of the
// canvas that hold the frame's data.
WorkBitmap decodeOnCanvas(const Frame& f, int canvasWidth, int canvasHeight, const std::string& name, int& decoded) {
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config)) throw FileError(name, "libwebp does not match the program");
    const bool covers = f.x == 0 && f.y == 0 && f.width == canvasWidth && f.height == canvasHeight;
    WorkBitmap picture = allocate(canvasWidth, canvasHeight, name);
    if (covers && !f.alpha) {
        intoPicture(config, picture);
        decoded = decodeFrame(f, config, f.height, name);
        for (int y = decoded; y < canvasHeight; ++y) std::memset(picture.row(y), 255, 3 * std::size_t(canvasWidth));
        return picture;
    }
    std::vector<std::uint8_t> bgra;
    try {
        bgra.resize(std::size_t(f.width) * std::size_t(f.height) * 4);
    } catch (const std::bad_alloc&) {
        throw FileError(name, "there is not enough memory for a picture of " + sizeText(canvasWidth, canvasHeight));
    }
    config.output.colorspace = MODE_BGRA;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = bgra.data();
    config.output.u.RGBA.stride = 4 * f.width;
    config.output.u.RGBA.size = bgra.size();
    const int rows = decodeFrame(f, config, f.height, name);
    if (!covers)
        for (int y = 0; y < canvasHeight; ++y) std::memset(picture.row(y), 255, 3 * std::size_t(canvasWidth));
    layOverWhite(f, bgra, rows, picture);
    decoded = f.y + rows;
    return picture;
}

struct Container {
    std::unique_ptr<WebPDemuxer, DeleteDemuxer> demux;
    int width = 0, height = 0;
    Frame first;
};

Container open(std::span<const std::uint8_t> bytes, const std::string& name) {
    Container c;
    const WebPData data{bytes.data(), bytes.size()};
    WebPDemuxState state = WEBP_DEMUX_PARSE_ERROR;
    c.demux.reset(WebPDemuxPartial(&data, &state));
    if (!c.demux || state == WEBP_DEMUX_PARSE_ERROR)
        throw FileError(name, bytes.size() >= 12 && std::memcmp(bytes.data() + 8, "WEBP", 4) == 0
                                  ? "its WebP container is damaged"
                                  : "it is not a WebP file");
    c.width = int(WebPDemuxGetI(c.demux.get(), WEBP_FF_CANVAS_WIDTH));
    c.height = int(WebPDemuxGetI(c.demux.get(), WEBP_FF_CANVAS_HEIGHT));
    refuseTooManyPixels(c.width, c.height, name);
    WebPIterator it;
    if (!WebPDemuxGetFrame(c.demux.get(), 1, &it)) throw FileError(name, "the file ends before its first picture");
    c.first = {{it.fragment.bytes, it.fragment.size}, it.x_offset, it.y_offset, it.width, it.height,
               it.has_alpha != 0, it.complete != 0};
    WebPDemuxReleaseIterator(&it);
    if (c.width <= 0 || c.height <= 0 || c.first.width <= 0 || c.first.height <= 0 ||
        c.first.x + c.first.width > c.width || c.first.y + c.first.height > c.height)
        throw FileError(name, "its first frame lies outside its canvas");
    return c;
}

}  // namespace

WorkBitmap decodeWebp(std::span<const std::uint8_t> bytes, const std::string& name, std::string* warnings) {
    const Container c = open(bytes, name);
    int decoded = 0;
    WorkBitmap picture = decodeOnCanvas(c.first, c.width, c.height, name, decoded);
    if (decoded < c.first.y + c.first.height)
        addWarning(warnings, name + " is damaged: its data ends early, so the picture is white below row " +
                                 std::to_string(decoded) + " of " + std::to_string(c.height) + ".");
    addWarning(warnings, convertToSrgb(picture, chunkOf(c.demux.get(), "ICCP"), name));
    return orientedUpright(picture, orientationOf(c.demux.get()));
}

WorkBitmap decodeWebpToCover(std::span<const std::uint8_t> bytes, const std::string& name, int boxWidth,
                             int boxHeight) {
    const Container c = open(bytes, name);
    const Frame& f = c.first;
    const bool still = f.x == 0 && f.y == 0 && f.width == c.width && f.height == c.height && !f.alpha;
    const double scale = boxWidth > 0 && boxHeight > 0
                             ? std::max(double(boxWidth) / c.width, double(boxHeight) / c.height) : 1.0;
    if (!still || scale >= 1.0) return decodeWebp(bytes, name);
    const int width = std::max(1, int(std::ceil(c.width * scale))), height = std::max(1, int(std::ceil(c.height * scale)));
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config)) throw FileError(name, "libwebp does not match the program");
    config.options.use_scaling = 1;
    config.options.scaled_width = width;
    config.options.scaled_height = height;
    WorkBitmap picture = allocate(width, height, name);
    intoPicture(config, picture);
    const int decoded = decodeFrame(f, config, height, name);
    for (int y = decoded; y < height; ++y) std::memset(picture.row(y), 255, 3 * std::size_t(width));
    convertToSrgb(picture, chunkOf(c.demux.get(), "ICCP"), name);
    return orientedUpright(picture, orientationOf(c.demux.get()));
}

WorkBitmap readWebpFile(const std::string& path, std::string* warnings) {
    const PictureBytes bytes = readFileToPictureMemory(path);
    return decodeWebp(bytes, path, warnings);
}

}  // namespace hueline
