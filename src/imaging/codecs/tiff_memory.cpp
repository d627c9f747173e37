// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/codecs/tiff_memory.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>

#include "imaging/picture/errors.h"

namespace hueline::tiff {
namespace {

// No single block libtiff allocates for one strip or tile may exceed this.
constexpr tmsize_t kMaxSingleAllocation = tmsize_t(1) << 30;

MemoryTiff& self(thandle_t handle) { return *static_cast<MemoryTiff*>(handle); }

tmsize_t readBytes(thandle_t handle, void* buffer, tmsize_t size) {
    MemoryTiff& m = self(handle);
    if (size <= 0 || m.position >= m.bytes.size()) return 0;
    const std::uint64_t n = std::min<std::uint64_t>(std::uint64_t(size), m.bytes.size() - m.position);
    std::memcpy(buffer, m.bytes.data() + m.position, std::size_t(n));
    m.position += n;
    return tmsize_t(n);
}

tmsize_t writeBytes(thandle_t, void*, tmsize_t) { return 0; }

toff_t seekTo(thandle_t handle, toff_t offset, int whence) {
    MemoryTiff& m = self(handle);
    const std::uint64_t base = whence == SEEK_CUR ? m.position : whence == SEEK_END ? m.bytes.size() : 0;
    m.position = base + offset;
    return m.position;
}

int closeFile(thandle_t) { return 0; }
toff_t sizeOf(thandle_t handle) { return self(handle).bytes.size(); }

// Mapping the file lets libtiff read uncompressed strips in place.
int mapFile(thandle_t handle, void** base, toff_t* size) {
    MemoryTiff& m = self(handle);
    *base = const_cast<std::uint8_t*>(m.bytes.data());
    *size = m.bytes.size();
    return 1;
}
void unmapFile(thandle_t, void*, toff_t) {}

int keepError(TIFF*, void* user, const char*, const char* format, va_list args) {
    auto& m = *static_cast<MemoryTiff*>(user);
    if (m.error.empty()) {
        char text[512];
        std::vsnprintf(text, sizeof text, format, args);
        m.error = text;
    }
    return 1;
}
int dropWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct FreeOptions {
    void operator()(TIFFOpenOptions* o) const { TIFFOpenOptionsFree(o); }
};

}  // namespace

MemoryTiff::MemoryTiff(std::span<const std::uint8_t> data, const std::string& name) : bytes(data) {
    static constexpr std::uint8_t kLittle[4] = {'I', 'I', 42, 0}, kBig[4] = {'M', 'M', 0, 42};
    static constexpr std::uint8_t kBigLittle[4] = {'I', 'I', 43, 0}, kBigBig[4] = {'M', 'M', 0, 43};
    const bool tiff = data.size() >= 8 && (std::memcmp(data.data(), kLittle, 4) == 0 ||
                                           std::memcmp(data.data(), kBig, 4) == 0 ||
                                           std::memcmp(data.data(), kBigLittle, 4) == 0 ||
                                           std::memcmp(data.data(), kBigBig, 4) == 0);
    if (!tiff) throw FileError(name, "it is not a TIFF file");
    const std::unique_ptr<TIFFOpenOptions, FreeOptions> options(TIFFOpenOptionsAlloc());
    if (!options) throw FileError(name, "there is not enough memory to read it");
    TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), kMaxSingleAllocation);
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), keepError, this);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), dropWarning, this);
    tif_ = TIFFClientOpenExt(name.c_str(), "r", this, readBytes, writeBytes, seekTo, closeFile, sizeOf, mapFile,
                             unmapFile, options.get());
    if (!tif_)
        throw FileError(name, "its TIFF header or first directory is damaged" + (error.empty() ? std::string() : " (" + error + ")"));
}

MemoryTiff::~MemoryTiff() {
    if (tif_) TIFFClose(tif_);
}

std::string MemoryTiff::takeError() {
    std::string taken;
    taken.swap(error);
    return taken;
}

}  // namespace hueline::tiff
