// SPDX-License-Identifier: GPL-3.0-or-later
// ICC profiles through lcms2.
//
// Relative colorimetric with black-point compensation: the colours a photo
// holds inside sRGB's gamut (nearly all of any photo) come out exactly as
// the profile defines them, and only the few outside it are clipped.
// Perceptual would shift every colour a little to make room for those few,
// and the matrix-and-curves profiles that cameras and phones write (Adobe
// RGB, Display P3, ProPhoto) carry no perceptual tables anyway, so lcms2
// would fall back to colorimetric for them. Black-point compensation keeps
// black black when a profile's black is not zero.
#include "imaging/codecs/colour_profile.h"

#include <lcms2.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "imaging/codecs/colour_matrix.h"
#include "imaging/picture/progress.h"

namespace hueline {
namespace {

// A profile larger than this is not read at all.
constexpr std::size_t kMaxProfileBytes = std::size_t(16) << 20;
// Transforms kept for pictures still to come.
constexpr std::size_t kCachedTransforms = 8;

// lcms2 prints nothing: every failure shows in its results.
cmsContext context() {
    static const cmsContext shared = [] {
        const cmsContext c = cmsCreateContext(nullptr, nullptr);
        cmsSetLogErrorHandlerTHR(c, [](cmsContext, cmsUInt32Number, const char*) {});
        return c;
    }();
    return shared;
}

struct CloseProfile {
    void operator()(void* p) const { cmsCloseProfile(p); }
};
using Profile = std::unique_ptr<void, CloseProfile>;
struct DeleteTransform {
    void operator()(void* t) const { cmsDeleteTransform(t); }
};
using Transform = std::unique_ptr<void, DeleteTransform>;

Profile openProfile(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 128 || bytes.size() > kMaxProfileBytes) return nullptr;
    return Profile(cmsOpenProfileFromMemTHR(context(), bytes.data(), cmsUInt32Number(bytes.size())));
}

constexpr std::array<cmsTagSignature, 3> kColorantTags = {cmsSigRedColorantTag, cmsSigGreenColorantTag,
                                                          cmsSigBlueColorantTag};
constexpr std::array<cmsTagSignature, 3> kCurveTags = {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag};

// The colorants and tone curves of an RGB matrix-and-curves profile;
// false for any other profile.
bool readMatrixShaper(cmsHPROFILE p, colour::MatrixShaper& out) {
    if (std::uint32_t(cmsGetColorSpace(p)) != cmsSigRgbData || !cmsIsMatrixShaper(p)) return false;
    for (std::size_t c = 0; c < 3; ++c) {
        const auto* xyz = static_cast<const cmsCIEXYZ*>(cmsReadTag(p, kColorantTags[c]));
        const auto* curve = static_cast<const cmsToneCurve*>(cmsReadTag(p, kCurveTags[c]));
        if (!xyz || !curve) return false;
        out.colorants[c] = {xyz->X, xyz->Y, xyz->Z};
        for (int v = 0; v < 256; ++v) out.linear[c][std::size_t(v)] = cmsEvalToneCurveFloat(curve, float(v) / 255.0f);
    }
    return true;
}

const colour::MatrixShaper& srgbMatrixShaper() {
    static const colour::MatrixShaper srgb = [] {
        colour::MatrixShaper m;
        const Profile profile(cmsCreate_sRGBProfileTHR(context()));
        readMatrixShaper(profile.get(), m);
        return m;
    }();
    return srgb;
}

// Colorants within 0.002 (the rounding of the profiles in circulation) and
// curves within a quarter of an 8-bit step.
bool isSrgb(const colour::MatrixShaper& found) {
    const colour::MatrixShaper& srgb = srgbMatrixShaper();
    for (std::size_t c = 0; c < 3; ++c) {
        for (std::size_t axis = 0; axis < 3; ++axis)
            if (std::fabs(found.colorants[c][axis] - srgb.colorants[c][axis]) > 0.002) return false;
        for (std::size_t v = 0; v < 256; ++v)
            if (std::fabs(found.linear[c][v] - srgb.linear[c][v]) > 0.001) return false;
    }
    return true;
}

bool isSrgb(cmsHPROFILE p) {
    colour::MatrixShaper found;
    return readMatrixShaper(p, found) && isSrgb(found);
}

// What a profile does to a picture, made once per profile.
struct Conversion {
    enum class Kind { None, Rgb, Gray, Unreadable } kind = Kind::None;
    std::vector<std::uint8_t> profile;
    // Rgb: Blue, Green, Red to the same, in tables for a matrix-and-curves
    // profile, else through lcms2's transform.
    std::optional<colour::MatrixConversion> matrix;
    Transform transform;
    std::array<PaletteEntry, 256> gray{};  // Gray: each level's sRGB colour

    void convertRgb(std::uint8_t* pixels, int count) const {
        if (matrix)
            matrix->convertRow(pixels, count);
        else
            cmsDoTransform(transform.get(), pixels, pixels, cmsUInt32Number(count));
    }
};

std::shared_ptr<const Conversion> makeConversion(std::span<const std::uint8_t> bytes) {
    auto made = std::make_shared<Conversion>();
    made->profile.assign(bytes.begin(), bytes.end());
    const Profile profile = openProfile(bytes);
    // The header's colour space as a number: a damaged profile may hold
    // any value there, which no enumerator names.
    const std::uint32_t space = profile ? std::uint32_t(cmsGetColorSpace(profile.get())) : 0;
    if (space != cmsSigRgbData && space != cmsSigGrayData && space != cmsSigCmykData) {
        made->kind = Conversion::Kind::Unreadable;
        return made;
    }
    colour::MatrixShaper shaper;
    const bool matrixShaper = readMatrixShaper(profile.get(), shaper);
    if (space == cmsSigCmykData || (matrixShaper && isSrgb(shaper))) return made;
    if (matrixShaper) made->matrix = colour::MatrixConversion::make(shaper, srgbMatrixShaper());
    if (made->matrix) {
        made->kind = Conversion::Kind::Rgb;
        return made;
    }
    const Profile srgb(cmsCreate_sRGBProfileTHR(context()));
    const bool gray = space == cmsSigGrayData;
    // No one-pixel cache: the transform is used by several threads at once.
    Transform transform(cmsCreateTransformTHR(context(), profile.get(), gray ? TYPE_GRAY_8 : TYPE_BGR_8, srgb.get(),
                                              TYPE_BGR_8, INTENT_RELATIVE_COLORIMETRIC,
                                              cmsFLAGS_BLACKPOINTCOMPENSATION | cmsFLAGS_NOCACHE));
    if (!transform) {
        made->kind = Conversion::Kind::Unreadable;
        return made;
    }
    if (gray) {
        std::array<std::uint8_t, 256> levels;
        for (int v = 0; v < 256; ++v) levels[std::size_t(v)] = std::uint8_t(v);
        cmsDoTransform(transform.get(), levels.data(), made->gray.data(), 256);
        made->kind = Conversion::Kind::Gray;
    } else {
        made->transform = std::move(transform);
        made->kind = Conversion::Kind::Rgb;
    }
    return made;
}

// The conversion for a profile, from the cache when it was met lately.
std::shared_ptr<const Conversion> conversionFor(std::span<const std::uint8_t> bytes) {
    static std::mutex lock;
    static std::list<std::shared_ptr<const Conversion>> cache;
    const std::lock_guard guard(lock);
    for (auto it = cache.begin(); it != cache.end(); ++it) {
        const std::vector<std::uint8_t>& p = (*it)->profile;
        if (p.size() == bytes.size() && std::memcmp(p.data(), bytes.data(), p.size()) == 0) {
            cache.splice(cache.begin(), cache, it);
            return cache.front();
        }
    }
    cache.push_front(makeConversion(bytes));
    if (cache.size() > kCachedTransforms) cache.pop_back();
    return cache.front();
}

void convertRows(WorkBitmap& picture, const Conversion& c) {
    const int width = picture.width();
    for (int y = 0; y < picture.height(); ++y) {
        std::uint8_t* row = picture.row(y);
        if (c.kind == Conversion::Kind::Rgb) {
            c.convertRgb(row, width);
        } else {
            for (int x = 0; x < width; ++x) {
                const PaletteEntry& to = c.gray[row[3 * x + 1]];
                row[3 * x] = to.blue;
                row[3 * x + 1] = to.green;
                row[3 * x + 2] = to.red;
            }
        }
        if (y % 256 == 255) reportProgress(-1);
    }
}

// Whether every pixel of a 24-bit picture is gray, as those of a file in
// gray read as 24 bits are.
bool allGray(const WorkBitmap& picture) {
    for (int y = 0; y < picture.height(); ++y) {
        const std::uint8_t* row = picture.constRow(y);
        for (int x = 0; x < picture.width(); ++x)
            if (row[3 * x] != row[3 * x + 1] || row[3 * x + 1] != row[3 * x + 2]) return false;
    }
    return true;
}

void convertPalette(WorkBitmap& picture, const Conversion& c) {
    std::vector<PaletteEntry> palette = picture.palette();
    if (c.kind == Conversion::Kind::Rgb) {
        static_assert(sizeof(PaletteEntry) == 3);
        c.convertRgb(&palette[0].blue, int(palette.size()));
    } else {
        for (PaletteEntry& e : palette) e = c.gray[e.green];
    }
    picture.setPalette(std::move(palette));
}

}  // namespace

bool isSrgbProfile(std::span<const std::uint8_t> profile) {
    const Profile p = openProfile(profile);
    return p && isSrgb(p.get());
}

std::string convertToSrgb(WorkBitmap& picture, std::span<const std::uint8_t> profile, const std::string& name) {
    if (profile.empty()) return {};
    const std::shared_ptr<const Conversion> c = conversionFor(profile);
    if (c->kind == Conversion::Kind::None) return {};
    if (c->kind == Conversion::Kind::Unreadable)
        return name + " has a damaged colour profile; it was ignored, so the colours are shown as stored.";
    const bool indexed = picture.format() == PixelFormat::Bits8 || picture.format() == PixelFormat::Bits4 ||
                         picture.format() == PixelFormat::Bits1;
    if (indexed) {
        convertPalette(picture, *c);
    } else if (picture.format() == PixelFormat::Bits24) {
        if (c->kind == Conversion::Kind::Gray && !allGray(picture))
            return name + " has a colour profile for gray pictures but holds colours; the profile was ignored.";
        convertRows(picture, *c);
    } else {
        return name + " has a colour profile for a kind of picture it does not hold; it was ignored.";
    }
    return {};
}

std::vector<std::uint8_t> profileForPrimaries(const Chromaticities& c) {
    const cmsCIExyY white = {c.whiteX, c.whiteY, 1.0};
    const cmsCIExyYTRIPLE primaries = {{c.redX, c.redY, 1.0}, {c.greenX, c.greenY, 1.0}, {c.blueX, c.blueY, 1.0}};
    // sRGB's curve: a straight start, then a power of 2.4.
    const cmsFloat64Number srgbCurve[5] = {2.4, 1.0 / 1.055, 0.055 / 1.055, 1.0 / 12.92, 0.04045};
    cmsToneCurve* curve = cmsBuildParametricToneCurve(context(), 4, srgbCurve);
    if (!curve) return {};
    cmsToneCurve* curves[3] = {curve, curve, curve};
    const Profile profile(cmsCreateRGBProfileTHR(context(), &white, &primaries, curves));
    cmsFreeToneCurve(curve);
    cmsUInt32Number size = 0;
    if (!profile || !cmsSaveProfileToMem(profile.get(), nullptr, &size)) return {};
    std::vector<std::uint8_t> bytes(size);
    if (!cmsSaveProfileToMem(profile.get(), bytes.data(), &size)) return {};
    return bytes;
}

void addWarning(std::string* warnings, const std::string& sentence) {
    if (!warnings || sentence.empty()) return;
    if (!warnings->empty()) *warnings += '\n';
    *warnings += sentence;
}

}  // namespace hueline
