// Raster export: cell coding, panel checks, grid preparation, header and the grid loop.
#include "maps/raster_export.h"

#include <gtest/gtest.h>

#include <cmath>

#include "error.h"
#include "maps/georeference.h"
#include "maps_test_util.h"

using namespace zentrel;

using maps_test::smallMap;

TEST(RasterCoding, ExactMultiplesKeepTheirCountAndTheRangeEndsAt250) {
    EXPECT_EQ(codeValue(20.0f, rasterCoding(Temp)), 175);
    EXPECT_EQ(codeValue(19.99f, rasterCoding(Temp)), 174);  // rounding down
    // The float of every multiple codes to its own count, for every variable.
    for (int v = 0; v < kVariableCount; ++v) {
        const RasterCoding c = rasterCoding(v);
        for (int n = 0; n <= 250; ++n)
            ASSERT_EQ(codeValue(static_cast<float>(c.Offset + c.Scale * n), c), n) << "variable " << v << " count " << n;
    }
    // Above the range is 251, also beyond 255.
    EXPECT_EQ(std::vector<int>({codeValue(50.3f, rasterCoding(Temp)), codeValue(50.4f, rasterCoding(Temp)), codeValue(1e6f, rasterCoding(Prec))}),
              std::vector<int>({250, kImgAboveRange, kImgAboveRange}));
    for (const auto& [value, variable] : {std::pair{-50.01f, Temp}, {-0.5f, Prec}, {std::nanf(""), Prec}})
        EXPECT_THROW(codeValue(value, rasterCoding(variable)), Error) << value;
}

TEST(RasterPanel, PeriodsResolutionAndTitle) {
    EXPECT_EQ(std::vector<int>({periodNumber("September"), periodNumber("Average"), periodNumber("Sept")}),
              std::vector<int>({9, 13, -1}));
    EXPECT_EQ(periodName(13), "Average");
    EXPECT_EQ(rasterTitle(Prec, 9), "Mirvo/Zentrel-Prec-September");

    for (const auto& [text, value] : {std::pair{"0,5", 0.5}, {"2", 2.0}, {" 0.001", 0.001}}) EXPECT_EQ(parseResolution(text), value) << text;
    for (const char* bad : {"2.01", "0.0009", "0", "-1", "", "1x", "abc"}) EXPECT_FALSE(parseResolution(bad)) << bad;
    // 0.0004 is 0.000 rounded to three decimals.
    EXPECT_EQ(std::vector<int>({resolutionDecimals(0.5), resolutionDecimals(1), resolutionDecimals(0.25), resolutionDecimals(0.0004)}),
              std::vector<int>({1, 0, 2, 0}));
    // Snapping rounds down to multiples, and a multiple stays itself despite binary rounding.
    EXPECT_DOUBLE_EQ(snapToResolution(0.3, 0.1, 1), 0.3);
    EXPECT_DOUBLE_EQ(snapToResolution(-10.26, 0.5, 1), -10.5);
    EXPECT_DOUBLE_EQ(snapToResolution(12.99, 1, 0), 12);
}

TEST(RasterPanel, RectangleChecksInOrderWithTheirMessages) {
    const MapExtent e = mapExtent(smallMap().Header);
    EXPECT_EQ(std::vector<double>({e.West, e.East, e.North, e.South}), std::vector<double>({0, 5, 3, 0}));
    // The west edge is accepted; the south edge is not.
    // East and north are not checked here: the grid loop finds the cell off the map.
    const std::array<const char*, 5> cases[] = {{"0", "3", "3", "1", ""},
                                                {"0", "3", "3", "0", "End Latitude must be in the range (0;3)  "},
                                                {"-0.5", "3", "3", "1", "Start Longitude must be in the range (1;5)  "},
                                                {"x", "3", "3", "1", "Start Longitude must be in the range (1;5)  "},
                                                {"1.50", "1.5", "3", "1", "End Longitude must be in the range (1.50;5)  "},
                                                {"0", "3", "1", "1", "Start Latitude must be in the range (1;3)  "},
                                                {"0", "99", "99", "1", ""}};
    for (const auto& [lonStart, lonEnd, latStart, latEnd, message] : cases)
        EXPECT_EQ(checkExportRectangle(lonStart, lonEnd, latStart, latEnd, e), message) << lonStart << " " << lonEnd << " " << latStart << " " << latEnd;
}

TEST(RasterExport, ThreeByTwoAtOneDegreeTakesTheDisplayedMapsBytesAndCodesSeaAndRange) {
    const ImgRaster map = smallMap();
    const RasterExportPlan plan = planRasterExport(Temp, 9, 1, 0.4, 3.2, 2.7, 0.9);
    EXPECT_EQ(std::vector<double>({plan.LonStart, plan.LatStart}), std::vector<double>({0, 2}));
    EXPECT_EQ(std::pair(plan.Columns, plan.Rows), std::pair(3, 2));
    const ImgHeader h = GetNewHeader(plan, map.Header);
    EXPECT_EQ(h.Title, "Mirvo/Zentrel-Temp-September");
    // Reference column, row, longitude (1.5 rounded half to even at 0 decimals), latitude; cell
    // width, scale, offset; the pass-through bytes of the displayed map.
    EXPECT_EQ(std::vector<double>({h.RefColumn, h.RefRow, h.RefLon, h.RefLat, h.CellWidth, h.Scale, h.Offset, double(h.Byte22), double(h.Byte204)}),
              std::vector<double>({1.5, 1, 2, 1, 1, 0.4, -50, 7, 9}));

    // Value = longitude * 10 + latitude: 22 at (2, 2) codes to 180; 61 at (2, 1) lies above the range.
    const auto value = [](int, double lon, double lat) { return static_cast<float>(lon * 10 + lat + (lon == 2 && lat == 1 ? 40 : 0)); };
    auto cells = computeRasterCells(plan, map, value, 1);
    ASSERT_TRUE(cells);
    const std::vector<uint8_t> expected = {130, kImgNoData, 180, 127, 152, kImgAboveRange};
    EXPECT_EQ(*cells, expected);
}

// Odd sizes: the reference point is the middle of the rectangle, half a cell off the grid of cells.
TEST(RasterExport, ThreeRowsByFiveColumnsPutTheReferenceAtRowOneAndAHalfColumnTwoAndAHalf) {
    maps_test::ScratchFolder folder;
    const RasterExportPlan plan = planRasterExport(Temp, 13, 0.2, 10, 11, 45.6, 45);
    EXPECT_EQ(std::pair(plan.Rows, plan.Columns), std::pair(3, 5));
    ImgRaster out;
    out.Header = GetNewHeader(plan, smallMap().Header);
    EXPECT_EQ(std::pair(out.Header.RefRow, out.Header.RefColumn), std::pair(1.5, 2.5));
    for (const auto& [got, expected] : {std::pair{out.Header.RefLon, 10.5}, {out.Header.RefLat, 45.3}, {out.Header.CellWidth, 0.2},
                                        {out.Header.CellHeight, 0.2}})
        EXPECT_NEAR(got, expected, 1e-12);
    out.Cells.assign(15, 1);
    writeImg(folder.file("odd.img"), out);
    // Read back: row 0 lies at the start latitude and column 0 at the start longitude.
    const ImgHeader back = readImg(folder.file("odd.img")).Header;
    EXPECT_NEAR((back.RefRow - 0) * back.CellHeight + back.RefLat, 45.6, 1e-9);
    EXPECT_NEAR((0 - back.RefColumn) * back.CellWidth + back.RefLon, 10, 1e-9);
    EXPECT_NEAR((back.RefRow - 2) * back.CellHeight + back.RefLat, 45.2, 1e-9);
    const Georeference geo = Georeference::of(back);
    EXPECT_EQ(std::pair(geo.rowOf(45.6), geo.columnOf(10.8)), std::pair(0L, 4L));
}

TEST(RasterExport, CellsDoNotDependOnThreadsAndCancelOrErrorsStopTheLoop) {
    ImgRaster map = smallMap();
    const RasterExportPlan plan = planRasterExport(Prec, 13, 0.25, 0, 5, 3, 0);
    const auto value = [](int, double lon, double lat) { return static_cast<float>(std::fmod(lon * 37 + lat * 11, 2100)); };
    const auto one = computeRasterCells(plan, map, value, 1);
    const auto four = computeRasterCells(plan, map, value, 4);
    ASSERT_TRUE(one && four);
    EXPECT_EQ(*one, *four);

    Feedback feedback;
    feedback.cancel();
    EXPECT_FALSE(computeRasterCells(plan, map, value, 2, &feedback));

    // A rectangle beyond the east edge fails at its first cell off the map; a value below
    // the offset cannot be coded.
    const RasterExportPlan wide = planRasterExport(Prec, 13, 1, 0, 7, 3, 0);
    EXPECT_THROW(computeRasterCells(wide, map, value, 2), Error);
    // A cell without an estimate is written as having no data.
    const auto none = [](int, double lon, double) { return lon < 1 ? std::nanf("") : 0.0f; };
    const auto blank = computeRasterCells(plan, map, none, 2);
    ASSERT_TRUE(blank);
    EXPECT_EQ(std::vector<int>({(*blank)[0], (*blank)[4]}), std::vector<int>({kImgNoData, 0}));
    const auto negative = [](int, double, double) { return -1.0f; };
    EXPECT_THROW(computeRasterCells(plan, map, negative, 3), Error);
}

// The desktop's export pinned byte for byte: plan, header, coding and file of a 0.25-degree
// rectangle of the small map (sea, above-range and coded cells, fractional reference point).
TEST(RasterExport, ExportOfTheSmallMapIsByteForByteTheGoldenFile) {
    maps_test::ScratchFolder folder;
    const ImgRaster map = smallMap();
    const RasterExportPlan plan = planRasterExport(Prec, 7, 0.25, 0.3, 4.6, 2.9, 0.4);
    const auto value = [](int, double lon, double lat) { return static_cast<float>(std::fmod(lon * 397 + lat * 113, 2200)); };
    ImgRaster out;
    out.Header = GetNewHeader(plan, map.Header);
    out.Cells = *computeRasterCells(plan, map, value, 2);
    writeImg(folder.file("export.img"), out);
    EXPECT_EQ(maps_test::readFile(folder.file("export.img")), maps_test::golden("golden_export_prec_july.img"));
}
