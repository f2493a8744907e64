// Location files and grids: fields, limits, skipped lines, and what the reading rules take
// silently said with line and field.
#include <gtest/gtest.h>

#include "error.h"
#include "locations/location_list.h"

using namespace zentrel;

namespace {
const ElevationLookup kAlt17 = [](float, float) { return 17.0f; };
// A row as "name: lon lat alt".
std::string rowText(const LocationRow& r) { return r.name + ": " + r.lon + " " + r.lat + " " + r.alt; }
}  // namespace

TEST(LocationNotes, FieldsReadAsZeroAreNotedWithLineAndFieldAndStillReadAsZero) {
    Location working;
    const LocationFileResult r = parseLocationText("10,45\nabc,41\n12.5,nan,100\n 3 , 4 \n", kAlt17, working);
    ASSERT_EQ(r.rows.size(), 4u);
    EXPECT_EQ(r.rows[1].lon, "0");  // the rules read "abc" as 0
    EXPECT_EQ(r.rows[2].lat, "0");
    EXPECT_EQ(r.notes, (std::vector<std::string>{"line 2, field 1 (longitude): \"abc\" is not a number; read as 0.",
                                                 "line 3, field 2 (latitude): \"nan\" is not a number; read as 0."}));
}

TEST(LocationNotes, WrongFieldCountCtrlZTailAndSkippedLinesCarryLineNumbersAndACleanFileHasNone) {
    Location working;
    const LocationFileResult r =
        parseLocationText("10,45,100\n1,2,3,4,5\n200,0,5\n1,2,3\x1a\n4,5,6\n\n7,8,9\n", kAlt17, working);
    EXPECT_EQ(r.notes, (std::vector<std::string>{
                           "line 2: 5 fields instead of 2, 3 or 4; a \"Wrong Data\" row with the position of the line before.",
                           "line 4: a Ctrl-Z character ends the file; 2 lines after it are not read."}));
    EXPECT_EQ(r.skippedLines, std::vector<long>{3});
    EXPECT_TRUE(parseLocationText("10,45\n-1.5e1,+2.,100,Town\n", kAlt17, working).notes.empty()) << "a clean file";
}

TEST(LocationGrid, FromSouthWestRowByRowDescendingStepsAndSinglePrecisionCounter) {
    const auto rows = gridLocations(GridDefinition{}, kAlt17);  // eleven by eleven
    ASSERT_EQ(rows.size(), 121u);
    EXPECT_EQ(rowText(rows[0]), " Lon : 5.00 Lat : 40.00 Alt : 17: 5.00 40.00 17");
    EXPECT_EQ(rows[1].lon + " " + rows[11].lat, "6.00 41.00");
    EXPECT_EQ(rowText(rows[120]), " Lon : 15.00 Lat : 50.00 Alt : 17: 15.00 50.00 17");
    const auto corners = gridLocations({5, 15, 1, 40, 50, 1}, kAlt17);
    ASSERT_EQ(corners.size(), 4u);
    EXPECT_EQ(corners[1].lon + "," + corners[1].lat + " " + corners[2].lon + "," + corners[2].lat, "15.00,40.00 5.00,50.00");
    // Maximum below minimum: the loop runs downwards.
    const auto down = gridLocations({15, 5, 10, 40, 40, 1}, kAlt17);
    ASSERT_EQ(down.size(), 11u);
    EXPECT_EQ(down.front().lon + " " + down.back().lon, "15.00 5.00");
    // Ten float steps of 0.1 overshoot 1, so the last column is dropped.
    EXPECT_EQ(gridPointCount({0, 1, 10, 0, 0, 1}), 10);
    EXPECT_THROW(gridLocations({5, 15, 0, 40, 50, 10}, kAlt17), Error);
    EXPECT_THROW(gridLocations({5, 15, 1e8f, 40, 50, 10}, kAlt17), Error);  // step too small to advance
}

TEST(LocationFile, FieldCountsNamesSkipsAndWrongData) {
    Location working{"", 12.483f, 41.9f, 17};
    const std::string text =
        "x,y,z,a,b\n"                  // five fields first: the working location's coordinates
        "12.5,41.9\n"                  // altitude from the elevation lookup
        "  12.5 , 41.9 , 17 ,Lake side town \r\n"
        "1,2,10000\n"
        "1,2,3,4,5\n"                  // five fields: the line before's coordinates
        "\n"
        "1,2,10001\n"
        "lon,lat\n"                    // a header reads as 0, 0
        "-181,0,5,West\n";
    const LocationFileResult r = parseLocationText(text, kAlt17, working);
    ASSERT_EQ(r.rows.size(), 7u);
    EXPECT_EQ(rowText(r.rows[0]), "Wrong Data: 12.483 41.9 17");
    EXPECT_EQ(r.rows[1].name + "|" + r.rows[2].name + "|" + r.rows[6].name, " Lon : 12.5 Lat : 41.9 Alt : 17|Lake side town| Lon : 0 Lat : 0 Alt : 17");
    EXPECT_EQ(r.rows[3].alt + " " + r.rows[4].name + " " + r.rows[4].alt + " " + r.rows[5].name, "10000 Wrong Data 10000 Wrong Data");
    EXPECT_EQ(r.skipped, (std::vector<std::string>{"Location  Lon : 1 Lat : 2 Alt : 10001 Skipped : Longitude or Latitude or Altitude not valid.",
                                                   "Location West Skipped : Longitude or Latitude or Altitude not valid."}));
    EXPECT_EQ(working.Lon, -181.0f);  // the working location holds the last values read
    EXPECT_THROW(readLocationFile("/nonexistent/locations.dat", kAlt17, working), Error);
}

TEST(LocationFile, LimitsAreInclusiveAndAHairPastIsSkipped) {
    Location working{"", 0, 0, 0};
    const LocationFileResult r = parseLocationText(
        "-180,-90,-600,SW corner\n180,90,10000,NE corner\n12.5,41.9,17,Lake side town\n"
        "180.001,0,0,a\n-180.001,0,0,b\n0,90.001,0,c\n0,-90.001,0,d\n0,0,-600.5,e\n0,0,10000.5,f\n",
        kAlt17, working);
    ASSERT_EQ(r.rows.size(), 3u);
    // Four fields: position and altitude as written.
    EXPECT_EQ(rowText(r.rows[0]) + ", " + rowText(r.rows[1]) + ", " + rowText(r.rows[2]),
              "SW corner: -180 -90 -600, NE corner: 180 90 10000, Lake side town: 12.5 41.9 17");
    ASSERT_EQ(r.skipped.size(), 6u);
    for (size_t k = 0; k < 6; ++k)
        EXPECT_EQ(r.skipped[k], std::string("Location ") + "abcdef"[k] + " Skipped : Longitude or Latitude or Altitude not valid.");
}
