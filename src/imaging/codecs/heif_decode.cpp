// SPDX-License-Identifier: GPL-3.0-or-later
// Reading HEIF and AVIF files: libheif parses the file, decodes the
// primary image (HEVC through libde265, AV1 through dav1d or libaom),
// applies its transforms and converts it to interleaved RGB; the rows are
// then turned into Blue, Green, Red.
#include <libheif/heif.h>

#include <algorithm>
#include <memory>
#include <new>
#include <vector>

#include "imaging/codecs/colour_profile.h"
#include "imaging/codecs/file_io.h"
#include "imaging/codecs/heif_codec.h"
#include "imaging/codecs/over_white.h"
#include "imaging/picture/errors.h"
#include "imaging/picture/pixel_limit.h"
#include "imaging/picture/progress.h"

namespace hueline {
namespace {

// The largest primary image a preview decodes when the file has no
// thumbnail: about a quarter of a second's decoding.
constexpr std::int64_t kMaxPreviewPixels = std::int64_t(4) << 20;

struct FreeContext {
    void operator()(heif_context* c) const { heif_context_free(c); }
};
struct ReleaseHandle {
    void operator()(const heif_image_handle* h) const { heif_image_handle_release(h); }
};
struct ReleaseImage {
    void operator()(const heif_image* i) const { heif_image_release(i); }
};
struct FreeOptions {
    void operator()(heif_decoding_options* o) const { heif_decoding_options_free(o); }
};
using Handle = std::unique_ptr<const heif_image_handle, ReleaseHandle>;
using Image = std::unique_ptr<const heif_image, ReleaseImage>;

void check(const heif_error& error, const std::string& name) {
    if (error.code == heif_error_Ok) return;
    if (error.code == heif_error_Memory_allocation_error) throw FileError(name, "there is not enough memory to decode it");
    throw FileError(name, std::string("libheif cannot read it (") + (error.message ? error.message : "no reason given") + ")");
}

std::string sizeText(int width, int height) { return std::to_string(width) + " x " + std::to_string(height) + " pixels"; }

// An opened file: the context reads the caller's bytes in place.
struct Opened {
    std::unique_ptr<heif_context, FreeContext> context;
    Handle primary;
};

Opened open(std::span<const std::uint8_t> bytes, const std::string& name) {
    Opened o;
    o.context.reset(heif_context_alloc());
    if (!o.context) throw FileError(name, "there is not enough memory to decode it");
    check(heif_context_read_from_memory_without_copy(o.context.get(), bytes.data(), bytes.size(), nullptr), name);
    heif_image_handle* primary = nullptr;
    check(heif_context_get_primary_image_handle(o.context.get(), &primary), name);
    o.primary.reset(primary);
    return o;
}

// The 8-bit value of a sample of bits bits, rounded.
inline std::uint8_t to8(unsigned v, unsigned max) { return std::uint8_t((v * 255 + max / 2) / max); }

// Interleaved RGB(A), 8 bits or 16-bit little-endian words holding 10 or
// 12 bits, into the picture's rows; alpha (plain or premultiplied) laid
// over white.
template <bool Wide, bool Alpha>
void storeRows(const heif_image* image, bool premultiplied, WorkBitmap& picture) {
    int stride = 0;
    const std::uint8_t* plane = heif_image_get_plane_readonly(image, heif_channel_interleaved, &stride);
    const unsigned max = Wide ? (1u << heif_image_get_bits_per_pixel_range(image, heif_channel_interleaved)) - 1 : 255;
    constexpr int kChannels = Alpha ? 4 : 3;
    const int width = picture.width();
    for (int y = 0; y < picture.height(); ++y) {
        const std::uint8_t* in = plane + std::size_t(y) * std::size_t(stride);
        std::uint8_t* out = picture.row(y);
        for (int x = 0; x < width; ++x) {
            unsigned c[kChannels];
            for (int k = 0; k < kChannels; ++k) {
                const std::size_t at = std::size_t(x * kChannels + k);
                if constexpr (Wide)
                    c[k] = to8(std::min<unsigned>(unsigned(in[2 * at]) | unsigned(in[2 * at + 1]) << 8, max), max);
                else
                    c[k] = in[at];
            }
            if constexpr (Alpha) {
                const unsigned clear = 255 - c[3];
                for (int k = 0; k < 3; ++k)
                    c[k] = premultiplied ? std::min(255u, c[k] + clear) : overWhite(c[k], c[3]);
            }
            out[3 * x] = std::uint8_t(c[2]);
            out[3 * x + 1] = std::uint8_t(c[1]);
            out[3 * x + 2] = std::uint8_t(c[0]);
        }
    }
}

void storeRows(const heif_image* image, bool wide, bool alpha, bool premultiplied, WorkBitmap& picture) {
    if (wide)
        alpha ? storeRows<true, true>(image, premultiplied, picture) : storeRows<true, false>(image, premultiplied, picture);
    else
        alpha ? storeRows<false, true>(image, premultiplied, picture) : storeRows<false, false>(image, premultiplied, picture);
}

// Colours named by primaries (an nclx box) other than sRGB's, with a tone
// curve of the sRGB or BT.709 kind: a profile of those primaries. Files
// in HDR curves (PQ, HLG) are left as libheif gives them.
std::vector<std::uint8_t> profileOfPrimaries(const heif_image_handle* handle) {
    heif_color_profile_nclx* nclx = nullptr;
    // libheif may hand over a profile together with an error (primaries
    // it does not know): it is ours to free either way.
    const heif_error error = heif_image_handle_get_nclx_color_profile(handle, &nclx);
    const std::unique_ptr<heif_color_profile_nclx, decltype(&heif_nclx_color_profile_free)> owned(
        nclx, &heif_nclx_color_profile_free);
    if (error.code != heif_error_Ok || !nclx) return {};
    // libheif gives the chromaticities of the primaries the box names by
    // number; none for unspecified ones.
    const bool srgbPrimaries = nclx->color_primaries == heif_color_primaries_ITU_R_BT_709_5 ||
                               nclx->color_primaries == heif_color_primaries_unspecified ||
                               !(nclx->color_primary_red_x > 0) || !(nclx->color_primary_white_y > 0);
    const int transfer = nclx->transfer_characteristics;
    const bool srgbLikeCurve = transfer == heif_transfer_characteristic_ITU_R_BT_709_5 ||
                               transfer == heif_transfer_characteristic_unspecified ||
                               transfer == heif_transfer_characteristic_ITU_R_BT_601_6 ||
                               transfer == heif_transfer_characteristic_IEC_61966_2_1 ||
                               transfer == heif_transfer_characteristic_ITU_R_BT_2020_2_10bit ||
                               transfer == heif_transfer_characteristic_ITU_R_BT_2020_2_12bit;
    if (srgbPrimaries || !srgbLikeCurve) return {};
    return profileForPrimaries({nclx->color_primary_white_x, nclx->color_primary_white_y, nclx->color_primary_red_x,
                                nclx->color_primary_red_y, nclx->color_primary_green_x, nclx->color_primary_green_y,
                                nclx->color_primary_blue_x, nclx->color_primary_blue_y});
}

// The file's ICC profile, or one made from the primaries it names.
std::vector<std::uint8_t> profileOf(const heif_image_handle* handle) {
    const heif_color_profile_type type = heif_image_handle_get_color_profile_type(handle);
    if (type == heif_color_profile_type_nclx) return profileOfPrimaries(handle);
    if (type != heif_color_profile_type_prof && type != heif_color_profile_type_rICC) return {};
    std::vector<std::uint8_t> profile(heif_image_handle_get_raw_color_profile_size(handle));
    if (profile.empty() || heif_image_handle_get_raw_color_profile(handle, profile.data()).code != heif_error_Ok) return {};
    return profile;
}

// Decodes one image (the primary image or a thumbnail) into a picture.
WorkBitmap decodeImage(const heif_image_handle* handle, const std::string& name) {
    const int width = heif_image_handle_get_width(handle), height = heif_image_handle_get_height(handle);
    if (width <= 0 || height <= 0) throw FileError(name, "its picture has no size");
    refuseTooManyPixels(width, height, name);
    const bool wide = heif_image_handle_get_luma_bits_per_pixel(handle) > 8;
    const bool alpha = heif_image_handle_has_alpha_channel(handle) != 0;
    const heif_chroma chroma = wide ? (alpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE)
                                    : (alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB);
    const std::unique_ptr<heif_decoding_options, FreeOptions> options(heif_decoding_options_alloc());
    heif_image* decoded = nullptr;
    reportProgress(0);
    check(heif_decode_image(handle, &decoded, heif_colorspace_RGB, chroma, options.get()), name);
    const Image image(decoded);
    reportProgress(0.9);
    // The decoded size is what the transforms made of it.
    const int w = heif_image_get_width(image.get(), heif_channel_interleaved);
    const int h = heif_image_get_height(image.get(), heif_channel_interleaved);
    if (w <= 0 || h <= 0 || tooManyPixels(w, h)) throw FileError(name, "its decoded picture has no valid size");
    WorkBitmap picture;
    try {
        picture = WorkBitmap::uninitialized24(w, h);
    } catch (const std::bad_alloc&) {
        throw FileError(name, "there is not enough memory for a picture of " + sizeText(w, h));
    }
    storeRows(image.get(), wide, alpha, heif_image_handle_is_premultiplied_alpha(handle) != 0, picture);
    return picture;
}

}  // namespace

WorkBitmap decodeHeif(std::span<const std::uint8_t> bytes, const std::string& name, std::string* warnings) {
    const Opened o = open(bytes, name);
    WorkBitmap picture = decodeImage(o.primary.get(), name);
    addWarning(warnings, convertToSrgb(picture, profileOf(o.primary.get()), name));
    return picture;
}

WorkBitmap decodeHeifToCover(std::span<const std::uint8_t> bytes, const std::string& name, int boxWidth,
                             int boxHeight) {
    const Opened o = open(bytes, name);
    const int count = heif_image_handle_get_number_of_thumbnails(o.primary.get());
    std::vector<heif_item_id> ids(std::size_t(std::max(count, 0)));
    if (!ids.empty()) heif_image_handle_get_list_of_thumbnail_IDs(o.primary.get(), ids.data(), count);
    for (const heif_item_id id : ids) {
        heif_image_handle* found = nullptr;
        if (heif_image_handle_get_thumbnail(o.primary.get(), id, &found).code != heif_error_Ok) continue;
        const Handle thumbnail(found);
        if (heif_image_handle_get_width(found) < boxWidth && heif_image_handle_get_height(found) < boxHeight) continue;
        WorkBitmap picture = decodeImage(found, name);
        convertToSrgb(picture, profileOf(o.primary.get()), name);
        return picture;
    }
    // libheif's decode cannot be stopped part way: a large picture without
    // a thumbnail would hold the preview up for seconds.
    const std::int64_t pixels =
        std::int64_t(heif_image_handle_get_width(o.primary.get())) * heif_image_handle_get_height(o.primary.get());
    if (pixels > kMaxPreviewPixels) throw Cancelled();
    return decodeHeif(bytes, name);
}

WorkBitmap readHeifFile(const std::string& path, std::string* warnings) {
    const PictureBytes bytes = readFileToPictureMemory(path);
    return decodeHeif(bytes, path, warnings);
}

}  // namespace hueline
