#include <gtest/gtest.h>

#include <cstring>

#include "imaging/bmp_codec.h"
#include "imaging/errors.h"

namespace hueline {
namespace {

// A 24-bit file with the 40-byte header, built by hand: 2 x 2, red on top
// left, blue bottom right; rows padded to 8 bytes.
std::vector<std::uint8_t> tiny24(bool topDown) {
    std::vector<std::uint8_t> f(54 + 16, 0);
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) f[at + i] = std::uint8_t(v >> 8 * i);
    };
    f[0] = 'B';
    f[1] = 'M';
    put32(2, std::uint32_t(f.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, 2);
    put32(22, topDown ? std::uint32_t(-2) : 2u);
    f[26] = 1;
    f[28] = 24;
    const std::uint8_t top[6] = {0, 0, 255, 10, 20, 30};     // red, (30,20,10)
    const std::uint8_t bottom[6] = {40, 50, 60, 255, 0, 0};  // (60,50,40), blue
    std::memcpy(&f[54 + (topDown ? 0 : 8)], top, 6);
    std::memcpy(&f[54 + (topDown ? 8 : 0)], bottom, 6);
    return f;
}

TEST(BmpRead, Plain24BitBothRowOrders) {
    for (bool topDown : {false, true}) {
        const WorkBitmap p = decodeBmp(tiny24(topDown), "t.bmp");
        ASSERT_EQ(p.width(), 2);
        ASSERT_EQ(p.height(), 2);
        EXPECT_EQ(p.format(), PixelFormat::Bits24);
        EXPECT_EQ(p.pixel(0, 0), makeColor(255, 0, 0)) << topDown;
        EXPECT_EQ(p.pixel(1, 0), makeColor(30, 20, 10)) << topDown;
        EXPECT_EQ(p.pixel(0, 1), makeColor(60, 50, 40)) << topDown;
        EXPECT_EQ(p.pixel(1, 1), makeColor(0, 0, 255)) << topDown;
    }
}

TEST(BmpRead, SamplePicture) {
    const WorkBitmap p = readBmpFile(std::string(HUELINE_TEST_DATA) + "/../../src/app/resources/sample.bmp");
    EXPECT_EQ(p.width(), 386);
    EXPECT_EQ(p.height(), 400);
}

TEST(BmpRead, TruncatedFileFails) {
    auto f = tiny24(false);
    f.resize(f.size() - 1);
    EXPECT_THROW(decodeBmp(f, "t.bmp"), FileError);
}

}  // namespace
}  // namespace hueline
