// 24-bit BMP writing and reading.
#include "maps/bmp_file.h"

#include <gtest/gtest.h>

#include "error.h"
#include "maps_test_util.h"

using namespace zentrel;

TEST(Bmp, GoldenBytesWithRowPaddingAndBottomUpRows) {
    RgbImage image(3, 2);
    image.at(0, 0) = {255, 0, 0};  // top-left red
    image.at(2, 0) = {0, 0, 160};
    image.at(0, 1) = {1, 2, 3};
    const auto bytes = formatBmp24(image);
    ASSERT_EQ(bytes.size(), 54u + 2 * 12);  // 9 bytes of a row padded to 12
    // The golden file pins the bottom row first, its first pixel (1, 2, 3) stored as blue, green, red.
    maps_test::ScratchFolder folder;
    writeBmp24(folder.file("t.bmp"), image);
    EXPECT_EQ(maps_test::readFile(folder.file("t.bmp")), maps_test::golden("golden_3x2.bmp"));
    const RgbImage back = readBmp24(folder.file("t.bmp"));
    EXPECT_EQ(std::pair(back.Width, back.Height), std::pair(3, 2));
    EXPECT_EQ(back.Pixels, image.Pixels);
}

TEST(Bmp, MalformedFilesAreRefused) {
    maps_test::ScratchFolder folder;
    const auto good = formatBmp24(RgbImage(3, 2));
    const std::string bytes(good.begin(), good.end());
    // Cut short; 8 bits a pixel; 65535 rows claimed.
    for (const std::string& bad : {bytes.substr(0, 70), bytes.substr(0, 28) + '\x08' + bytes.substr(29),
                                   bytes.substr(0, 22) + "\xFF\xFF" + bytes.substr(24)}) {
        folder.write("b.bmp", bad);
        EXPECT_THROW(readBmp24(folder.file("b.bmp")), Error);
    }
    EXPECT_THROW(formatBmp24(RgbImage()), Error);
}
