// Data and text that a careless or hostile source gives: notes for what the rules cut off,
// checked file sizes, names that would break a CSV line or a JSON text.
#include <gtest/gtest.h>

#include "data/station_file.h"
#include "data/terrain.h"
#include "error.h"
#include "fixture.h"
#include "formats/text_output.h"
#include "formats/vesk_format.h"
#include "notices.h"

using namespace zentrel;
using zentrel::test::TempFolder;

TEST(HostileData, CtrlZInAStationFileSaysWhereAndHowManyLinesAreCutOff) {
    TempFolder folder("hd-ctrlz");
    const std::string line = "1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,a,b\n";
    folder.write("max.txt", line + line + "\x1a" + line + "\n" + line);
    std::vector<std::string> notes;
    setNoticeHandler([&](const std::string& text) { notes.push_back(text); });
    struct Reset {
        ~Reset() { setNoticeHandler(nullptr); }  // also when the reading throws
    } reset;
    StationTable table;
    ReadStationFile(folder.file("max.txt"), table);
    ReadStationFile(folder.file("max.txt"), table);  // said once, not per reading
    EXPECT_EQ(table.StationCount(), 4);  // two lines, read twice
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0], "Station file " + folder.file("max.txt") +
                            ", line 3: a Ctrl-Z character ends the file; 2 lines after it are not read.");
}

TEST(HostileData, ElevationRasterOfTheWrongSizeIsRefusedWithItsSize) {
    TempFolder folder("hd-raster");
    folder.write(kTerrainFileName, std::string(static_cast<size_t>(kTerrainColumns) * kTerrainRows + 7, '\x05'));
    int16_t sea = 0;
    try {
        TerrainAltitude(folder.str(), 0, 0, sea);
        FAIL() << "an over-long raster was used";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("holds 9331207 bytes instead of 4320 x 2160 = 9331200"), std::string::npos)
            << e.what();
    }
    EXPECT_THROW(TerrainRaster{folder.str()}, Error);
}

TEST(HostileData, VeskNameWithQuoteAndCommaKeepsTheFieldCount) {
    VariableResult r;
    r.variable = Temp;
    const std::string line = veskLine(r, {"Bar \"North\", upper", 5.3f, 45, 100});
    EXPECT_EQ(line.find("\"Bar \"\"North\"\", upper\",005.30,"), 0u) << line;
}

TEST(HostileData, Windows1252NamesBecomeValidUtf8) {
    EXPECT_EQ(toValidUtf8("S\xe3o Tom\xe9"), "S\xc3\xa3o Tom\xc3\xa9");
    EXPECT_EQ(toValidUtf8("\x80 \xc3\xa9"), "\xe2\x82\xac \xc3\xa9");  // euro sign; UTF-8 kept
    EXPECT_EQ(toValidUtf8("\x81"), "\xef\xbf\xbd");                   // unassigned byte
}
