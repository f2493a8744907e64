// BNA boundary and capital files: parsing, pixel reduction, writing.
#include "maps/bna_file.h"

#include <gtest/gtest.h>

#include "error.h"
#include "fixture.h"
#include "maps_test_util.h"

using namespace zentrel;

namespace {
std::string errorOf(const std::string& text) {
    return zentrel::test::errorOf([&] { parseBna(text, "World.bnd"); });
}
}  // namespace

TEST(BnaRead, HeadersStartShapesAndPointLinesFollow) {
    const std::string text =
        "12.5,41.9\n"                    // before any header: skipped
        "   \"Italy\",\"IT\",2\r\n"     // leading blanks, Windows line end
        "12.48,41.9\n"
        "short line\n"                   // fewer than two fields: ignored
        "\n"
        "13,42\n"
        "\"Korea, Republic of\",\"KR\",1\n"
        "127, 37.5\n";
    const auto shapes = parseBna(text, "x.bna");
    ASSERT_EQ(shapes.size(), 2u);
    EXPECT_EQ(shapes[0].Name + "|" + shapes[0].SecondName + "|" + shapes[1].Name, "Italy|IT|Korea, Republic of");
    EXPECT_EQ(std::pair(shapes[0].Points, shapes[1].Points), (std::pair(std::vector<LonLat>{{12.48, 41.9}, {13, 42}}, std::vector<LonLat>{{127, 37.5}})));
}

TEST(BnaRead, BadCoordinatesNameFileLineAndField) {
    const std::pair<const char*, const char*> cases[] = {
        {"1,2\nx,3", "line 3, field 1 (longitude): \"x\" is not a number."},
        {"1,nan", "line 2, field 2 (latitude): \"nan\" is not a number."},
        {"180.5,0", "line 2, field 1 (longitude): 180.5 lies outside -180 to 180."},
        {"0,-91", "line 2, field 2 (latitude): -91 lies outside -90 to 90."},
        {"1e400,0", "line 2, field 1 (longitude): \"1e400\" is not a number."}};
    for (const auto& [points, message] : cases)
        EXPECT_EQ(errorOf(std::string("\"A\"\n") + points + "\n"), std::string("BNA file World.bnd, ") + message);
}

TEST(BnaRead, LoadersReadTheirOwnFileOfTheDataFolder) {
    maps_test::ScratchFolder folder;
    folder.write("Worad1.bna", "\"Land\",\"\",2\n-180,90\n180,-90\n");
    EXPECT_THROW(CaricaCapitali(folder.path().string(), 100, 50), Error);  // no WorldCap.bna yet
    folder.write("WorldCap.bna", "\"Rome\",\"Italy\",1\n12.48,41.9\n");
    const auto boundaries = CaricaConfini(folder.path().string(), 100, 50);
    ASSERT_EQ(boundaries.size(), 1u);
    EXPECT_EQ(boundaries[0].Points, (std::vector<PixelPoint>{{0, 0}, {100, 50}}));  // the world's edges, one beyond the last pixel
    const auto capitals = CaricaCapitali(folder.path().string(), 100, 50);
    ASSERT_EQ(capitals.size(), 1u);
    EXPECT_EQ(std::pair(capitals[0].Name, capitals[0].Points), std::pair(std::string("Rome"), std::vector<PixelPoint>{{53, 13}}));
}

// The world's edges: see the loaders' test.
TEST(BnaPixels, PixelsRoundDown) {
    EXPECT_EQ(toPixel({0, 0}, 2160, 1080), (PixelPoint{1080, 540}));
    EXPECT_EQ(toPixel({-179.9, 89.9}, 2160, 1080), (PixelPoint{0, 0}));  // Int rounds down
    EXPECT_EQ(toPixel({12.48, 41.9}, 2160, 1080), (PixelPoint{1154, 288}));
}

TEST(BnaPixels, RepeatedPixelsAreStoredOnceWithinAShape) {
    const std::vector<BnaShape> shapes = {
        {"A", "", {{10.0, 10.0}, {10.01, 10.0}, {10.0, 10.0}, {20, 20}, {10, 10}}},
        {"B", "", {{10.0, 10.0}}},  // same pixel as A's last point: kept, it is B's first
    };
    const auto pixels = toPixelShapes(shapes, 4000, 2000);
    ASSERT_EQ(pixels.size(), 2u);
    EXPECT_EQ(std::pair(pixels[0].Points.size(), pixels[1].Points.size()), std::pair(3ul, 1ul));  // 10.01 falls on the pixel of 10.0
    EXPECT_EQ(pixels[0].Points.front(), pixels[0].Points.back());
}

TEST(BnaWrite, GoldenBytesAndRoundTrip) {
    const std::vector<BnaShape> shapes = {
        {"Italy", "Rome", {{12.48333, 41.9}, {-0.000001, -33.123456}}},
        {"Say \"hi\"", "", {{180, -90}}},
    };
    maps_test::ScratchFolder folder;
    writeBna(folder.file("out.bna"), shapes);
    EXPECT_EQ(maps_test::readFile(folder.file("out.bna")), maps_test::golden("golden.bna"));

    const auto back = readBna(folder.file("out.bna"));
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].Name + "|" + back[1].Name, "Italy|Say 'hi'");
    EXPECT_EQ(back[0].Points[1], (LonLat{0, -33.12346}));
}
