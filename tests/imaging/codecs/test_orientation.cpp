// SPDX-License-Identifier: GPL-3.0-or-later
// Photos turned upright by their EXIF orientation.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "imaging/codecs/file_io.h"
#include "imaging/codecs/jpeg_codec.h"
#include "imaging/codecs/orientation.h"

using namespace hueline;

namespace {

const std::string kData = std::string(HUELINE_TEST_DATA) + "/jpeg/orientation/";

// The pixels libjpeg decodes, before any turning: the EXIF block is
// renamed so that the reader does not see it.
WorkBitmap asStored(std::vector<std::uint8_t> bytes) {
    for (std::size_t i = 0; i + 6 <= bytes.size(); ++i) {
        if (std::string(bytes.begin() + std::ptrdiff_t(i), bytes.begin() + std::ptrdiff_t(i + 4)) == "Exif") {
            bytes[i] = 'X';
            break;
        }
    }
    return decodeJpeg(bytes, "stored.jpg");
}

// Where pixel (x, y) of the upright picture is in the stored one, written
// out pixel by pixel from the EXIF table.
ColorValue storedPixelFor(const WorkBitmap& s, int orientation, int x, int y) {
    const int w = s.width(), h = s.height();
    switch (orientation) {
    case 2: return s.pixel(w - 1 - x, y);
    case 3: return s.pixel(w - 1 - x, h - 1 - y);
    case 4: return s.pixel(x, h - 1 - y);
    case 5: return s.pixel(y, x);
    case 6: return s.pixel(y, h - 1 - x);
    case 7: return s.pixel(w - 1 - y, h - 1 - x);
    default: return s.pixel(w - 1 - y, x);
    }
}

double meanDifference(const WorkBitmap& a, const WorkBitmap& b) {
    long sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const ColorValue p = a.pixel(x, y), q = b.pixel(x, y);
            sum += std::abs(redOf(p) - redOf(q)) + std::abs(greenOf(p) - greenOf(q)) + std::abs(blueOf(p) - blueOf(q));
        }
    return double(sum) / (3.0 * a.width() * a.height());
}

}  // namespace

TEST(Orientation, EveryOrientationOpensUprightWithLibjpegsPixels) {
    const WorkBitmap upright = readJpegFile(kData + "hopper.jpg");
    for (int orientation = 2; orientation <= 8; ++orientation) {
        SCOPED_TRACE(orientation);
        const std::vector<std::uint8_t> bytes = readFileBytes(kData + "hopper_orientation_" + std::to_string(orientation) + ".jpg");
        const WorkBitmap opened = decodeJpeg(bytes, "turned.jpg");
        const WorkBitmap stored = asStored(bytes);
        ASSERT_EQ(opened.width(), orientation >= 5 ? stored.height() : stored.width());
        ASSERT_EQ(opened.height(), orientation >= 5 ? stored.width() : stored.height());
        int wrong = 0;
        for (int y = 0; y < opened.height(); ++y)
            for (int x = 0; x < opened.width(); ++x) wrong += opened.pixel(x, y) != storedPixelFor(stored, orientation, x, y);
        EXPECT_EQ(wrong, 0);
        // The same photo as the upright file, but for the loss of a second
        // encoding (a wrong turn or mirror differs by about 60 levels).
        EXPECT_LT(meanDifference(opened, upright), 10.0);
    }
    // A 2 x 1 file with orientation 8 opens 1 x 2.
    const WorkBitmap rectangle = readJpegFile(kData + "orientation_rectangle.jpg");
    EXPECT_EQ(rectangle.width(), 1);
    EXPECT_EQ(rectangle.height(), 2);
}

TEST(Orientation, DamagedOrForeignExifBlocksLeaveThePictureAsStored) {
    // "Exif\0\0", a big-endian TIFF header, IFD0 at 8 with one entry: tag
    // 0x0112, type SHORT, count 1, value 6.
    std::vector<std::uint8_t> block = {'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1,
                                       0x01, 0x12, 0, 3, 0, 0, 0, 1, 0, 6, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(exifOrientation(block), 6);
    std::vector<std::uint8_t> b = block;
    b[25] = 9;  // not an orientation
    EXPECT_EQ(exifOrientation(b), 1);
    b = block;
    b[13] = 200;  // IFD0 past the end
    EXPECT_EQ(exifOrientation(b), 1);
    b = block;
    b[15] = 40;  // more entries than the block holds, none of them the tag
    b[17] = 0x13;
    EXPECT_EQ(exifOrientation(b), 1);
    b.assign(block.begin(), block.begin() + 24);  // cut inside the entry
    EXPECT_EQ(exifOrientation(b), 1);
    EXPECT_EQ(exifOrientation({}), 1);
}
