// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/codecs/picture_size.h"

#include <unistd.h>

#include <algorithm>
#include <vector>

#include "imaging/codecs/file_io.h"
#include "imaging/picture/errors.h"
#include "imaging/picture/picture_kind.h"

namespace hueline {
namespace {

// As far into a file as a header is looked for.
constexpr std::size_t kHeadBytes = 256 << 10;

}  // namespace

std::optional<PictureSize> pictureSizeFromHeader(const std::string& path) {
    const PictureKind kind = kindFromName(path);
    if (kind != PictureKind::Bmp && kind != PictureKind::Png && kind != PictureKind::Jpeg) return std::nullopt;
    std::vector<std::uint8_t> head;
    try {
        const ReadableFile f = openRegularFile(path);
        head.resize(std::size_t(std::min<std::uint64_t>(f.size(), kHeadBytes)));
        std::size_t got = 0;
        for (ssize_t n = 1; got < head.size() && n > 0; got += std::size_t(std::max<ssize_t>(n, 0)))
            n = ::read(f.fd(), head.data() + got, head.size() - got);
        head.resize(got);
    } catch (const FileError&) {
        return std::nullopt;
    }
    switch (kind) {
    case PictureKind::Bmp: return bmpSizeFromHeader(head);
    case PictureKind::Png: return pngSizeFromHeader(head);
    default: return jpegSizeFromHeader(head);
    }
}

}  // namespace hueline
