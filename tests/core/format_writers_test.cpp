// Writer rules that the golden files do not show: season lines of every kind, appending,
// Windows-1252 text, column widths by character, and saving without half-written files.
#include <gtest/gtest.h>

#include <filesystem>

#include "error.h"
#include "fixture.h"
#include "formats/growing_season_export.h"
#include "formats/plantow_format.h"
#include "formats/result_report.h"
#include "formats/text_output.h"
#include "formats/vesk_format.h"

using namespace zentrel;
using zentrel::test::TempFolder;
using zentrel::test::readFile;
namespace fs = std::filesystem;

TEST(GrowingSeasonFile, DryHumidAndSeasonalYearsWithTheirDates) {
    // The header is pinned by the golden file.
    const std::pair<std::array<float, 12>, const char*> cases[] = {  // PET 100 mm in every month
        {{10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10}, "\"Dry Flat\",12.50,-3.25,250.0,1,1,1,0,-999,-999,-999,-999,-999\r\n"},
        {{200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200},
         "\"Dry Flat\",12.50,-3.25,250.0,1,1,5,365,-999,-999,-999,-999,-999\r\n"},
        {{20, 20, 75, 150, 90, 30, 20, 20, 20, 20, 20, 20}, "\"Dry Flat\",12.50,-3.25,250.0,1,1,3,95,1.03,61,5.06,25.03,10.05\r\n"}};
    for (const auto& [prec, expected] : cases) {
        VariableResults r{};
        for (size_t v = 0; v < r.size(); ++v) r[v].variable = static_cast<int16_t>(v);
        for (size_t m = 1; m <= 12; ++m) {
            r[Prec].result.Best[m] = prec[m - 1];
            r[PET].result.Best[m] = 100;
        }
        EXPECT_EQ(formatGrowingSeasons(r, {"Dry Flat", 12.5f, -3.25f, 250}, false), expected);
    }
}

// Text goes out as Windows-1252 and comes in as valid UTF-8; widths count characters.
TEST(TextOutput, Windows1252BothWaysAndColumnWidthsByCharacter) {
    // The last is Windows-1252 already.
    const std::pair<const char*, const char*> out[] = {{"23 °C", "23 \xB0" "C"}, {"Col d'Aré", "Col d'Ar\xE9"},
        {"€ – ‰", "\x80 \x96 \x89"}, {"東京", "??"}, {"Ar\xE9 \xB0", "Ar\xE9 \xB0"}};
    for (const auto& [text, bytes] : out) EXPECT_EQ(toWindows1252(text), bytes) << text;
    // A euro sign, UTF-8 kept; an unassigned byte.
    const std::pair<const char*, const char*> in[] = {{"S\xe3o Tom\xe9", "S\xc3\xa3o Tom\xc3\xa9"},
        {"\x80 \xc3\xa9", "\xe2\x82\xac \xc3\xa9"}, {"\x81", "\xef\xbf\xbd"}};
    for (const auto& [bytes, text] : in) EXPECT_EQ(toValidUtf8(bytes), text) << bytes;

    EXPECT_EQ(toWindows1252(alignRight("°C ", 10)).size(), 10u);
    EXPECT_EQ(alignRight("°C ", 10) + "|" + alignLeft("Pot._Eva._mly", 25) + "|" + firstChars("Bärenstein-Süd", 13) + "|" + alignRight("a long text", 4),
              "       °C |Pot._Eva._mly            |Bärenstein-Sü|a long text");
}

TEST(TextOutput, VeskNameWithQuoteAndCommaKeepsTheFieldCount) {
    VariableResult r;
    const std::string line = veskLine(r, {"Bar \"North\", upper", 5.3f, 45, 100});
    EXPECT_EQ(line.find("\"Bar \"\"North\"\", upper\",005.30,"), 0u) << line;
}

// Observed values carry the digits a single-precision value holds ("3.82", not the float's
// round-trip "3.8200002"), so the columns stay in place; the page shows sea level as 0 m.
TEST(ResultFile, ObservedValuesHaveSevenDigitsAndThePageShowsSeaLevel) {
    VariableResult r;
    r.variable = Prec;
    r.neighbours.NeighbourCount = 1;
    r.neighbours[1].Data[1] = 3.8200002f;
    r.neighbours[1].Data[2] = -0.1f / 3;
    ReportOptions o;
    o.location = {"Shore", 12.5f, 41.9f, 0};
    o.observations = true;
    const std::string file = reportBlock(r, ProgramSettings{}, o);
    EXPECT_NE(file.find("1         3.82  -0.03333334 "), std::string::npos) << file;
    EXPECT_EQ(file.find("3.8200002"), std::string::npos);
    o.printed = true;
    EXPECT_NE(reportBlock(r, ProgramSettings{}, o).find(",  Altitude = 0 m"), std::string::npos);
}

TEST(SaveOutput, WritesAppendsLeavesNoTemporaryFileAndNamesAFileInAMissingFolder) {
    TempFolder dir;
    const fs::path file = dir.path() / "out.dat";
    saveOutput(file.string(), "one\r\n");
    saveOutput(file.string(), "two\r\n", true);
    EXPECT_EQ(readFile(file), "one\r\ntwo\r\n");
    saveOutput(file.string(), "new\r\n");
    EXPECT_EQ(readFile(file), "new\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);

    const std::string missing = (dir.path() / "missing" / "out.dat").string();
    EXPECT_NE(zentrel::test::errorOf([&] { saveOutput(missing, "x"); }).find(missing), std::string::npos);
    EXPECT_FALSE(fs::exists(dir.path() / "missing"));
}

TEST(CropWaterFiles, ClimateAndRainfallFilesGoToTheWorkingFolder) {
    TempFolder dir;
    fs::create_directories(dir.path() / "lists");
    const std::string work = (dir.path() / "work").string();
    fs::create_directories(work);
    const std::string list = (dir.path() / "lists" / "crops.v1.Lst").string();
    EXPECT_EQ(plantowBaseName(list), "crops");
    VariableResults r{};
    for (size_t v = 0; v < r.size(); ++v) r[v].variable = static_cast<int16_t>(v);
    const Location hill{"Hill", 5.5f, 42.1f, 400};
    savePlantow(list, r, {"Lakeside", 5.3f, 41.99f, 17}, true, true, 2, work);
    savePlantow(list, r, hill, false, true, 2, work);
    EXPECT_EQ(readFile(list), "2 crops\r\nLakeside\t5.3 41.99 17\r\nHill\t5.5 42.1 400\r\n");
    for (const char* name : {"Lakeside.PEN", "Lakeside.CLI", "Hill.PEN"}) EXPECT_TRUE(fs::exists(fs::path(work) / name));
    EXPECT_FALSE(fs::exists(dir.path() / "lists" / "Lakeside.PEN"));

    // A single location always writes the count line, with 1.
    savePlantow(list, r, hill, true, false, 7, work);
    EXPECT_EQ(readFile(list), "1 crops\r\nHill\t5.5 42.1 400\r\n");
}
