#include "imaging/bmp_codec.h"

#include <cstring>

#include "imaging/errors.h"
#include "imaging/file_io.h"

namespace hueline {
namespace {

std::uint32_t le16(const std::uint8_t* p) { return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8; }
std::uint32_t le32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

}  // namespace

WorkBitmap decodeBmp(std::span<const std::uint8_t> bytes, const std::string& name) {
    if (bytes.size() < 14 + 40 || bytes[0] != 'B' || bytes[1] != 'M') throw FileError(name, "not a BMP file");
    const std::uint64_t offset = le32(&bytes[10]);
    const std::uint8_t* info = &bytes[14];
    if (le32(info) != 40) throw FileError(name, "unsupported BMP header");
    const std::int32_t width = std::int32_t(le32(info + 4));
    const std::int32_t rawHeight = std::int32_t(le32(info + 8));
    if (le16(info + 12) != 1) throw FileError(name, "the header is damaged (planes is not 1)");
    if (le16(info + 14) != 24 || le32(info + 16) != 0) throw FileError(name, "unsupported bit depth");
    if (width <= 0 || rawHeight == 0 || rawHeight == INT32_MIN) throw FileError(name, "impossible picture size");
    const bool topDown = rawHeight < 0;
    const int height = topDown ? -rawHeight : rawHeight;
    if (std::int64_t(width) * height > kMaxPixels) throw FileError(name, "picture larger than 256 megapixels");
    const std::size_t stride = rowStride(width, PixelFormat::Bits24);
    if (offset + std::uint64_t(stride) * std::uint64_t(height) > bytes.size())
        throw FileError(name, "the file ends before its pixels");
    WorkBitmap out = WorkBitmap::uninitialized24(width, height);
    for (int y = 0; y < height; ++y) {
        const int stored = topDown ? y : height - 1 - y;
        std::memcpy(out.row(y), bytes.data() + offset + std::size_t(stored) * stride, 3 * std::size_t(width));
    }
    return out;
}

WorkBitmap readBmpFile(const std::string& path) { return decodeBmp(readFileBytes(path), path); }

}  // namespace hueline
