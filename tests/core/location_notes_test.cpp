// Location files: what the reading rules take silently is said, with line and field.
#include <gtest/gtest.h>

#include "locations/location_list.h"

using namespace zentrel;

namespace {
const ElevationLookup kAlt17 = [](float, float) { return 17.0f; };
}

TEST(LocationNotes, FieldsReadAsZeroAreNotedWithLineAndFieldAndStillReadAsZero) {
    Location working;
    const LocationFileResult r = parseLocationText("10,45\nabc,41\n12.5,nan,100\n 3 , 4 \n", kAlt17, working);
    ASSERT_EQ(r.rows.size(), 4u);
    EXPECT_EQ(r.rows[1].lon, "0");  // the rules read "abc" as 0
    EXPECT_EQ(r.rows[2].lat, "0");
    ASSERT_EQ(r.notes.size(), 2u);
    EXPECT_EQ(r.notes[0], "line 2, field 1 (longitude): \"abc\" is not a number; read as 0.");
    EXPECT_EQ(r.notes[1], "line 3, field 2 (latitude): \"nan\" is not a number; read as 0.");
}

TEST(LocationNotes, WrongFieldCountCtrlZTailAndSkippedLinesCarryLineNumbers) {
    Location working;
    const LocationFileResult r =
        parseLocationText("10,45,100\n1,2,3,4,5\n200,0,5\n1,2,3\x1a\n4,5,6\n\n7,8,9\n", kAlt17, working);
    ASSERT_EQ(r.notes.size(), 2u);
    EXPECT_EQ(r.notes[0], "line 2: 5 fields instead of 2, 3 or 4; a \"Wrong Data\" row with the position of the line before.");
    EXPECT_EQ(r.notes[1], "line 4: a Ctrl-Z character ends the file; 2 lines after it are not read.");
    ASSERT_EQ(r.skippedLines.size(), 1u);
    EXPECT_EQ(r.skippedLines[0], 3);
}

TEST(LocationNotes, CleanFileGivesNoNotes) {
    Location working;
    EXPECT_TRUE(parseLocationText("10,45\n-1.5e1,+2.,100,Town\n", kAlt17, working).notes.empty());
}
