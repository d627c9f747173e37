// SPDX-License-Identifier: GPL-3.0-or-later
// A picture's size from its file's header alone, as a folder run plans
// its memory by it: the size the picture then opens at, or nothing.
#include <gtest/gtest.h>

#include <string>

#include "imaging/codecs/bmp_codec.h"
#include "imaging/codecs/jpeg_codec.h"
#include "imaging/codecs/picture_size.h"
#include "imaging/codecs/png_codec.h"

namespace hueline {
namespace {

const std::string kData = std::string(HUELINE_TEST_DATA) + "/";

TEST(PictureSize, TheHeaderGivesTheSizeThePictureOpensAt) {
    for (const char* name : {"png/gray1.png", "png/palette2.png", "batch/libgdiplus_test.jpg", "batch/pal8.bmp",
                             "png/rgb8.bmp"}) {
        SCOPED_TRACE(name);
        const std::optional<PictureSize> size = pictureSizeFromHeader(kData + name);
        ASSERT_TRUE(size.has_value());
        const std::string path = kData + name;
        const WorkBitmap picture = path.ends_with(".png")   ? readPngFile(path)
                                   : path.ends_with(".bmp") ? readBmpFile(path)
                                                            : readJpegFile(path);
        EXPECT_EQ(size->width, picture.width());
        EXPECT_EQ(size->height, picture.height());
    }
    EXPECT_FALSE(pictureSizeFromHeader(kData + "batch/test3.ico").has_value());
    EXPECT_FALSE(pictureSizeFromHeader(kData + "batch/missing.png").has_value());
    const std::uint8_t notPng[16] = {'G', 'I', 'F', '8', '9', 'a'};
    EXPECT_FALSE(pngSizeFromHeader(notPng).has_value());
    EXPECT_FALSE(jpegSizeFromHeader(notPng).has_value());
    EXPECT_FALSE(bmpSizeFromHeader(notPng).has_value());
}

}  // namespace
}  // namespace hueline
