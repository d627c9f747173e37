// SPDX-License-Identifier: GPL-3.0-or-later
// JPEG reading and writing through libjpeg.
//
// libjpeg reports errors through a callback that must not return. Ours
// records the message and jumps back (longjmp) to the small step function
// that called into libjpeg. Those step functions hold only plain data, so
// the jump skips no destructor; the C++ code around them owns every
// resource (the libjpeg object, buffers, the picture) and turns a failed
// step into a FileError.
#include "imaging/codecs/jpeg_codec.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <exception>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

// jpeglib.h needs size_t and FILE declared first, and jerror.h needs
// jpeglib.h's configuration to number its messages as the library does
// (the arithmetic decoder's among them).
#include <jpeglib.h>
#include <jerror.h>

#include "imaging/picture/errors.h"
#include "imaging/codecs/file_io.h"
#include "imaging/picture/pixel_limit.h"
#include "imaging/picture/progress.h"
#include "imaging/codecs/orientation.h"
#include "imaging/codecs/colour_profile.h"
#include "imaging/codecs/picture_size.h"

namespace hueline {
namespace {

// libjpeg may allocate at most this much for one picture (its coefficient
// buffers for multi-scan files are the large part). Enough for every
// progressive 4:2:0 photo up to the pixel cap.
constexpr long kMaxDecoderMemory = 1L << 30;
// A progressive file with more scans than this is refused: each scan walks
// the whole picture, so a small file of many empty scans would take
// minutes. Real encoders write about ten.
constexpr int kMaxScans = 100;

struct ErrorManager {
    jpeg_error_mgr pub;  // first, so libjpeg's pointer is ours
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    // Damage that libjpeg worked around: whether the data ended early, and
    // how many rows from the top were decoded before the first trouble.
    bool damaged;
    bool endedEarly;
    long intactRows;
    // What the progress callback threw, carried past libjpeg's frames.
    std::exception_ptr stopped;
};

[[noreturn]] void jumpWith(j_common_ptr cinfo, const char* text) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    std::snprintf(err->message, sizeof err->message, "%s", text);
    std::longjmp(err->jump, 1);
}

[[noreturn]] void onError(j_common_ptr cinfo) {
    const int code = cinfo->err->msg_code;
    // libjpeg's own words for these ("Backing store not supported") would
    // mean nothing to the user.
    if (code == JERR_NO_BACKING_STORE || code == JERR_OUT_OF_MEMORY)
        jumpWith(cinfo, cinfo->is_decompressor ? "there is not enough memory to decode it (at most 1 GB is allowed)"
                                               : "there is not enough memory to encode it");
    char text[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, text);
    jumpWith(cinfo, text);
}

// The first row that damage noticed now may reach. Huffman-coded data
// goes wrong where libjpeg notices; arithmetic-coded data decodes garbage
// without a word until it cannot go on (often at the next restart marker),
// so it may be wrong from the restart marker before the last one, else
// from the start of the scan.
long damagedFrom(const jpeg_decompress_struct& d) {
    long iMcuRow = long(d.input_iMCU_row);
    if (d.arith_code) {
        const long perRow = long(d.MCUs_per_row), interval = long(d.restart_interval);
        const long restarts = interval > 0 && perRow > 0 ? iMcuRow * perRow / interval : 0;
        iMcuRow = restarts > 1 ? (restarts - 1) * interval / perRow : 0;
    }
    return std::min(iMcuRow * d.max_v_samp_factor * DCTSIZE, long(d.image_height));
}

// Warnings (corrupt data that libjpeg works around) and trace messages are
// never printed: the picture still opens. A warning marks the picture as
// damaged from the rows being decoded at that moment on.
void onMessage(j_common_ptr cinfo, int level) {
    if (level >= 0) return;
    ++cinfo->err->num_warnings;
    switch (cinfo->err->msg_code) {
    case JWRN_JPEG_EOF:
    case JWRN_HIT_MARKER:
    case JWRN_MUST_RESYNC:
    case JWRN_EXTRANEOUS_DATA:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_NOT_SEQUENTIAL:
    case JWRN_BOGUS_PROGRESSION:
    case JWRN_ARITH_BAD_CODE: break;
    default: return;  // a header oddity (unknown JFIF revision, bad ICC profile): the pixels are whole
    }
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    if (cinfo->err->msg_code == JWRN_JPEG_EOF) err->endedEarly = true;
    const long rows = cinfo->is_decompressor ? damagedFrom(*reinterpret_cast<j_decompress_ptr>(cinfo)) : 0;
    err->intactRows = err->damaged ? std::min(err->intactRows, rows) : rows;
    err->damaged = true;
}
void onOutput(j_common_ptr) {}

// Called by libjpeg between rows and scans: the scan limit, and the
// caller's progress report, whose Cancelled (or any other exception) is
// kept and thrown again once out of libjpeg.
void onProgress(j_common_ptr cinfo) {
    if (!cinfo->is_decompressor) return;
    if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxScans)
        jumpWith(cinfo, "the file has more than 100 scans");
    const jpeg_progress_mgr* p = cinfo->progress;
    const double pass = p->pass_limit > 0 ? double(p->pass_counter) / double(p->pass_limit) : 0.0;
    const double fraction = p->total_passes > 0 ? (p->completed_passes + pass) / p->total_passes : -1.0;
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    try {
        reportProgress(std::min(fraction, 1.0));
    } catch (...) {
        err->stopped = std::current_exception();
    }
    if (err->stopped) jumpWith(cinfo, "stopped");
}

void installErrorManager(ErrorManager& err) {
    jpeg_std_error(&err.pub);
    err.pub.error_exit = onError;
    err.pub.emit_message = onMessage;
    err.pub.output_message = onOutput;
    err.message[0] = '\0';
    err.damaged = err.endedEarly = false;
    err.intactRows = 0;
}

// ---- decoding ------------------------------------------------------------

// Owns a libjpeg decompressor for the life of one decode.
struct Decoder {
    jpeg_decompress_struct cinfo{};
    ErrorManager err{};
    jpeg_progress_mgr progress{};
    bool created = false;
    // The ICC profile of the APP2 blocks, put together by libjpeg.
    JOCTET* profile = nullptr;
    unsigned int profileSize = 0;
    ~Decoder() {
        if (created) jpeg_destroy_decompress(&cinfo);
        std::free(profile);
    }
};

// The step functions below call libjpeg under a setjmp; each returns false
// when libjpeg raised an error. They hold no C++ object with a destructor.

bool readHeader(Decoder* d, const std::uint8_t* bytes, std::size_t size) {
    d->cinfo.err = &d->err.pub;
    installErrorManager(d->err);
    if (setjmp(d->err.jump)) return false;
    jpeg_create_decompress(&d->cinfo);
    d->created = true;
    d->cinfo.mem->max_memory_to_use = kMaxDecoderMemory;
    d->progress.progress_monitor = onProgress;
    d->cinfo.progress = &d->progress;
    jpeg_mem_src(&d->cinfo, bytes, static_cast<unsigned long>(size));
    // APP1 blocks are kept for the EXIF orientation, APP2 for the colour
    // profile.
    jpeg_save_markers(&d->cinfo, JPEG_APP0 + 1, 0xFFFF);
    jpeg_save_markers(&d->cinfo, JPEG_APP0 + 2, 0xFFFF);
    jpeg_read_header(&d->cinfo, TRUE);
    if (!jpeg_read_icc_profile(&d->cinfo, &d->profile, &d->profileSize)) d->profileSize = 0;
    return true;
}

bool startDecompress(Decoder* d) {
    if (setjmp(d->err.jump)) return false;
    jpeg_start_decompress(&d->cinfo);
    return true;
}

// Reads every row straight into the picture's rows.
bool readRows(Decoder* d, JSAMPROW* rows) {
    if (setjmp(d->err.jump)) return false;
    jpeg_decompress_struct* c = &d->cinfo;
    while (c->output_scanline < c->output_height) {
        const JDIMENSION got = jpeg_read_scanlines(c, rows + c->output_scanline, c->output_height - c->output_scanline);
        if (got == 0) jumpWith(reinterpret_cast<j_common_ptr>(c), "the decoder stopped before the last row");
    }
    return true;
}

// CMYK and YCCK files: reads the rows as inverted CMYK (the convention of
// Adobe's files, which nearly all such files follow) and multiplies each
// ink by black: red = C * K / 255, rounded, and so on.
bool readCmykRows(Decoder* d, JSAMPROW* rows, std::uint8_t* buffer, int bufferRows) {
    if (setjmp(d->err.jump)) return false;
    jpeg_decompress_struct* c = &d->cinfo;
    const JDIMENSION width = c->output_width;
    JSAMPROW bufferRowsPtr[16];
    for (int i = 0; i < bufferRows; ++i) bufferRowsPtr[i] = buffer + std::size_t(i) * width * 4;
    while (c->output_scanline < c->output_height) {
        const JDIMENSION first = c->output_scanline;
        const JDIMENSION got = jpeg_read_scanlines(c, bufferRowsPtr, JDIMENSION(bufferRows));
        if (got == 0) jumpWith(reinterpret_cast<j_common_ptr>(c), "the decoder stopped before the last row");
        for (JDIMENSION i = 0; i < got; ++i) {
            const std::uint8_t* in = bufferRowsPtr[i];
            std::uint8_t* out = rows[first + i];
            for (JDIMENSION x = 0; x < width; ++x) {
                const unsigned k = in[4 * x + 3];
                out[3 * x] = std::uint8_t((in[4 * x + 2] * k + 127) / 255);
                out[3 * x + 1] = std::uint8_t((in[4 * x + 1] * k + 127) / 255);
                out[3 * x + 2] = std::uint8_t((in[4 * x] * k + 127) / 255);
            }
        }
    }
    return true;
}

bool finishDecompress(Decoder* d) {
    if (setjmp(d->err.jump)) return false;
    jpeg_finish_decompress(&d->cinfo);
    return true;
}

// ---- encoding ------------------------------------------------------------

// The file is made in a block of picture memory (saving a photo again
// reuses its pages). Should the file outgrow it (noise at the best
// quality), libjpeg moves it to memory of its own, taken with malloc.
struct Encoder {
    explicit Encoder(std::size_t room) : block(room), output(block.data()), outputSize(room) {}
    ~Encoder() {
        if (created) jpeg_destroy_compress(&cinfo);
        if (output != block.data()) std::free(output);
    }
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;

    jpeg_compress_struct cinfo{};
    ErrorManager err{};
    bool created = false;
    PictureBytes block;
    unsigned char* output;
    unsigned long outputSize;
};

// Compresses 24-bit rows (Blue, Green, Red) as an RGB JFIF file. Each row
// is turned into Red, Green, Blue order in rgbRow before libjpeg takes it.
bool compressRows(Encoder* e, const std::uint8_t* const* rows, int width, int height, int quality,
                  std::uint8_t* rgbRow) {
    e->cinfo.err = &e->err.pub;
    installErrorManager(e->err);
    if (setjmp(e->err.jump)) return false;
    jpeg_create_compress(&e->cinfo);
    e->created = true;
    jpeg_mem_dest(&e->cinfo, &e->output, &e->outputSize);
    e->cinfo.image_width = JDIMENSION(width);
    e->cinfo.image_height = JDIMENSION(height);
    e->cinfo.input_components = 3;
    e->cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&e->cinfo);
    jpeg_set_quality(&e->cinfo, quality, TRUE);
    e->cinfo.dct_method = JDCT_FLOAT;
    jpeg_start_compress(&e->cinfo, TRUE);
    JSAMPROW rowPointer[1] = {rgbRow};
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* in = rows[y];
        for (int x = 0; x < width; ++x) {
            rgbRow[3 * x] = in[3 * x + 2];
            rgbRow[3 * x + 1] = in[3 * x + 1];
            rgbRow[3 * x + 2] = in[3 * x];
        }
        jpeg_write_scanlines(&e->cinfo, rowPointer, 1);
    }
    jpeg_finish_compress(&e->cinfo);
    return true;
}

// The damage libjpeg reported, in the user's words; empty when none.
std::string damageOf(const ErrorManager& err, const std::string& name, int height) {
    if (!err.damaged) return {};
    const std::string rows = std::to_string(err.intactRows), of = std::to_string(height);
    const std::string what =
        err.endedEarly
            ? (err.intactRows == 0 ? "its data ends early, so the whole picture is gray"
                                   : "its data ends early, so the picture is gray below row " + rows + " of " + of)
            : (err.intactRows == 0 ? "its data is corrupt, so parts of the picture may be gray"
                                   : "its data is corrupt, so parts of the picture below row " + rows + " of " + of +
                                         " may be gray");
    return name + " is damaged: " + what + ".";
}

// The orientation recorded in the first EXIF block of the header (1 when
// there is none).
int orientationOf(const jpeg_decompress_struct& c) {
    for (jpeg_saved_marker_ptr m = c.marker_list; m; m = m->next) {
        if (m->marker == JPEG_APP0 + 1 && m->data_length >= 6 && std::memcmp(m->data, "Exif\0", 6) == 0)
            return exifOrientation(std::span<const std::uint8_t>(m->data, m->data_length));
    }
    return 1;
}


// The largest of libjpeg's reductions (1/1, 1/2, 1/4, 1/8) at which the
// picture still covers a box of width x height; 1 for no box.
unsigned scaleFor(const jpeg_decompress_struct& c, int boxWidth, int boxHeight) {
    if (boxWidth <= 0 || boxHeight <= 0) return 1;
    const double reduce = std::max(double(c.image_width) / boxWidth, double(c.image_height) / boxHeight);
    unsigned denom = 1;
    while (denom < 8 && denom * 2 <= reduce) denom *= 2;
    return denom;
}

// Asks libjpeg for the output this program keeps: 236 dithered grays for
// a grayscale file, CMYK inks for CMYK and YCCK ones (turned to colour
// here), Blue, Green, Red for the others.
void chooseOutput(jpeg_decompress_struct& c, int boxWidth, int boxHeight) {
    c.scale_num = 1;
    c.scale_denom = scaleFor(c, boxWidth, boxHeight);
    c.dct_method = JDCT_FLOAT;
    c.do_block_smoothing = TRUE;
    if (c.jpeg_color_space == JCS_GRAYSCALE) {
        c.out_color_space = JCS_GRAYSCALE;
        c.quantize_colors = TRUE;
        c.desired_number_of_colors = 236;
        c.two_pass_quantize = FALSE;
    } else if (c.jpeg_color_space == JCS_CMYK || c.jpeg_color_space == JCS_YCCK) {
        c.out_color_space = JCS_CMYK;
    } else {
        c.out_color_space = JCS_EXT_BGR;
    }
}

// The picture the started decompressor fills, 8 bits with the gray
// palette libjpeg chose or 24 bits, and a pointer to each of its rows.
WorkBitmap outputPicture(const jpeg_decompress_struct& c, const std::string& name, std::vector<JSAMPROW>& rows) {
    const int width = int(c.output_width), height = int(c.output_height);
    try {
        WorkBitmap picture;
        if (c.out_color_space != JCS_GRAYSCALE) {
            picture = WorkBitmap::uninitialized24(width, height);
        } else {
            picture = WorkBitmap(width, height, PixelFormat::Bits8);
            std::vector<PaletteEntry> palette(std::size_t(c.actual_number_of_colors));
            for (std::size_t i = 0; i < palette.size(); ++i) {
                const std::uint8_t v = c.colormap[0][i];
                palette[i] = {v, v, v};
            }
            picture.setPalette(std::move(palette));
        }
        rows.resize(static_cast<std::size_t>(height));
        for (int y = 0; y < height; ++y) rows[std::size_t(y)] = picture.row(y);
        return picture;
    } catch (const std::bad_alloc&) {
        throw FileError(name, "there is not enough memory for a picture of " + std::to_string(width) + " x " +
                                  std::to_string(height) + " pixels");
    }
}

// Decodes, reduced to cover the box when one is given (previews).
WorkBitmap decode(std::span<const std::uint8_t> bytes, const std::string& name, int boxWidth, int boxHeight,
                  std::string* damage) {
    Decoder d;
    auto fail = [&]() -> FileError {
        if (d.err.stopped) std::rethrow_exception(d.err.stopped);
        return FileError(name, d.err.message);
    };
    if (!readHeader(&d, bytes.data(), bytes.size())) throw fail();

    jpeg_decompress_struct& c = d.cinfo;
    const int orientation = orientationOf(c);
    refuseTooManyPixels(c.image_width, c.image_height, name);
    chooseOutput(c, boxWidth, boxHeight);
    if (!startDecompress(&d)) throw fail();

    std::vector<JSAMPROW> rows;
    WorkBitmap picture = outputPicture(c, name, rows);

    if (c.out_color_space == JCS_CMYK) {
        const int bufferRows = c.rec_outbuf_height > 16 ? 16 : c.rec_outbuf_height;
        std::vector<std::uint8_t> buffer(std::size_t(picture.width()) * 4 * std::size_t(bufferRows));
        if (!readCmykRows(&d, rows.data(), buffer.data(), bufferRows)) throw fail();
    } else {
        if (!readRows(&d, rows.data())) throw fail();
    }
    if (!finishDecompress(&d)) throw fail();
    if (damage) *damage = damageOf(d.err, name, int(c.image_height));
    if (c.out_color_space != JCS_CMYK) addWarning(damage, convertToSrgb(picture, {d.profile, d.profileSize}, name));
    return orientedUpright(picture, orientation);
}

}  // namespace

WorkBitmap decodeJpeg(std::span<const std::uint8_t> bytes, const std::string& name, std::string* damage) {
    return decode(bytes, name, 0, 0, damage);
}

WorkBitmap decodeJpegToCover(std::span<const std::uint8_t> bytes, const std::string& name, int boxWidth,
                             int boxHeight) {
    return decode(bytes, name, boxWidth, boxHeight, nullptr);
}

namespace {

// Encodes the picture and hands the bytes, still in libjpeg's buffer, to
// use: a file is written from there without a copy.
template <class Use>
auto encode(const WorkBitmap& picture, int quality, const std::string* fileName, Use use) {
    if (picture.empty()) throw UserError("There is no picture to save.");
    const WorkBitmap rgb = picture.to24();
    const int width = rgb.width(), height = rgb.height();
    std::vector<const std::uint8_t*> rows(static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) rows[std::size_t(y)] = rgb.constRow(y);
    std::vector<std::uint8_t> rgbRow(std::size_t(width) * 3);

    // Room for a byte and a half a pixel and the headers: a photo at the
    // usual qualities takes well under half of that.
    Encoder e(std::size_t(width) * std::size_t(height) * 3 / 2 + 4096);
    if (!compressRows(&e, rows.data(), width, height, quality, rgbRow.data())) {
        if (fileName) throw FileError(*fileName, e.err.message);
        throw UserError(std::string("The picture could not be encoded as JPEG: ") + e.err.message);
    }
    return use(std::span<const std::uint8_t>(e.output, std::size_t(e.outputSize)));
}

}  // namespace

std::vector<std::uint8_t> encodeJpeg(const WorkBitmap& picture, int quality) {
    return encode(picture, quality, nullptr,
                  [](std::span<const std::uint8_t> bytes) { return std::vector<std::uint8_t>(bytes.begin(), bytes.end()); });
}

std::optional<PictureSize> jpegSizeFromHeader(std::span<const std::uint8_t> head) {
    Decoder d;
    if (!readHeader(&d, head.data(), head.size()) || d.cinfo.image_width == 0) return std::nullopt;
    return PictureSize{int(d.cinfo.image_width), int(d.cinfo.image_height)};
}

WorkBitmap readJpegFile(const std::string& path, std::string* damage) {
    const PictureBytes bytes = readFileToPictureMemory(path);
    return decodeJpeg(bytes, path, damage);
}

void writeJpegFile(const WorkBitmap& picture, const std::string& path) {
    encode(picture, 90, &path, [&](std::span<const std::uint8_t> bytes) { writeFileAtomically(path, bytes); });
}

}  // namespace hueline
