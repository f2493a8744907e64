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

using namespace zentrel;
using zentrel::test::TempFolder;
using zentrel::test::readFile;
namespace fs = std::filesystem;

namespace {

VariableResults precAndPet(const Monthly& prec, const Monthly& pet) {
    VariableResults r{};
    for (size_t v = 0; v < r.size(); ++v) r[v].variable = static_cast<int16_t>(v);
    r[Prec].result.Best = prec;
    r[PET].result.Best = pet;
    return r;
}

Monthly constant(float v) {
    Monthly out{};
    for (size_t m = 1; m <= 12; ++m) out[m] = v;
    return out;
}

const Location kPlace{"Dry Flat", 12.5f, -3.25f, 250};

}  // namespace

TEST(GrowingSeasonFile, YearsWithoutSeasonOrAlwaysHumid) {
    const VariableResults dry = precAndPet(constant(10), constant(100));
    EXPECT_EQ(formatGrowingSeasons(dry, kPlace, false), "\"Dry Flat\",12.50,-3.25,250.0,1,1,1,0,-999,-999,-999,-999,-999\r\n");
    const VariableResults wet = precAndPet(constant(200), constant(100));
    EXPECT_EQ(formatGrowingSeasons(wet, kPlace, false),
              "\"Dry Flat\",12.50,-3.25,250.0,1,1,5,365,-999,-999,-999,-999,-999\r\n");
}

TEST(GrowingSeasonFile, HumidPeriodDatesAndHeader) {
    Monthly prec{};
    const float values[12] = {20, 20, 75, 150, 90, 30, 20, 20, 20, 20, 20, 20};
    for (size_t m = 1; m <= 12; ++m) prec[m] = values[m - 1];
    const std::string text = formatGrowingSeasons(precAndPet(prec, constant(100)), kPlace, true);
    EXPECT_EQ(text,
              " Length of growing season with F= .5\r\n"
              ",\"Lon\",\"Lat\",\"Alt\",\"SeasTot\",\"Nr\",\"Type\",\"LGS\",\"BegSd.m\",\"begSJul\",\"EndSd.m\",\"BegHd.m\","
              "\"EndHd.m\"\r\n"
              "\"Dry Flat\",12.50,-3.25,250.0,1,1,3,95,1.03,61,5.06,25.03,10.05\r\n");
}

TEST(GrowingSeasonFile, SixSeasonsAreAnError) {
    Monthly prec{};
    for (size_t m = 1; m <= 12; ++m) prec[m] = m % 2 ? 20.0f : 70.0f;
    EXPECT_THROW(formatGrowingSeasons(precAndPet(prec, constant(100)), kPlace, true), Error);
}

TEST(Windows1252, ConvertsUtf8AndKeepsSingleByteText) {
    EXPECT_EQ(toWindows1252("23 °C"), "23 \xB0" "C");
    EXPECT_EQ(toWindows1252("Col d'Aré"), "Col d'Ar\xE9");
    EXPECT_EQ(toWindows1252("€ – ‰"), "\x80 \x96 \x89");
    EXPECT_EQ(toWindows1252("東京"), "??");
    EXPECT_EQ(toWindows1252("Ar\xE9 \xB0"), "Ar\xE9 \xB0");  // already Windows-1252
}

TEST(Columns, WidthsCountCharactersNotBytes) {
    EXPECT_EQ(alignRight("°C ", 10), "       °C ");
    EXPECT_EQ(toWindows1252(alignRight("°C ", 10)).size(), 10u);
    EXPECT_EQ(alignLeft("Pot._Eva._mly", 25), "Pot._Eva._mly            ");
    EXPECT_EQ(firstChars("Bärenstein-Süd", 13), "Bärenstein-Sü");
    EXPECT_EQ(alignRight("a long text", 4), "a long text");
}

TEST(ResultFile, NoLevelMeansFactor1645AndEmptyTitles) {
    ConfidenceLevel none;
    EXPECT_FLOAT_EQ(none.factor(), 1.645f);
    EXPECT_EQ(none.lowTitle(), "");
    ConfidenceLevel l99{99};
    EXPECT_FLOAT_EQ(l99.factor(), 2.576f);
    EXPECT_EQ(l99.highTitle(), "High (99.5%)");
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

TEST(SaveOutput, WritesAppendsAndLeavesNoTemporaryFile) {
    TempFolder dir;
    const fs::path file = dir.path() / "out.dat";
    saveOutput(file.string(), "one\r\n");
    saveOutput(file.string(), "two\r\n", true);
    EXPECT_EQ(readFile(file), "one\r\ntwo\r\n");
    saveOutput(file.string(), "new\r\n");
    EXPECT_EQ(readFile(file), "new\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(SaveOutput, AFolderThatDoesNotExistIsAnErrorNamingTheFile) {
    TempFolder dir;
    const std::string file = (dir.path() / "missing" / "out.dat").string();
    EXPECT_NE(zentrel::test::errorOf([&] { saveOutput(file, "x"); }).find(file), std::string::npos);
    EXPECT_FALSE(fs::exists(dir.path() / "missing"));
}

TEST(CropWaterFiles, EffectiveRainfallRule) {
    EXPECT_DOUBLE_EQ(effectiveRainfall(100), 84);
    EXPECT_DOUBLE_EQ(effectiveRainfall(300), 155);
    EXPECT_DOUBLE_EQ(effectiveRainfall(250), 150);
    EXPECT_DOUBLE_EQ(effectiveRainfall(0), 0);
}

TEST(CropWaterFiles, ClimateAndRainfallFilesGoToTheWorkingFolder) {
    TempFolder dir;
    fs::create_directories(dir.path() / "lists");
    fs::create_directories(dir.path() / "work");
    const std::string list = (dir.path() / "lists" / "crops.v1.Lst").string();
    EXPECT_EQ(plantowBaseName(list), "crops");
    VariableResults r{};
    for (size_t v = 0; v < r.size(); ++v) r[v].variable = static_cast<int16_t>(v);
    const Location lakeside{"Lakeside", 5.3f, 41.99f, 17};
    const Location hill{"Hill", 5.5f, 42.1f, 400};
    savePlantow(list, r, lakeside, true, true, 2, (dir.path() / "work").string());
    savePlantow(list, r, hill, false, true, 2, (dir.path() / "work").string());
    EXPECT_EQ(readFile(list), "2 crops\r\nLakeside\t5.3 41.99 17\r\nHill\t5.5 42.1 400\r\n");
    EXPECT_TRUE(fs::exists(dir.path() / "work" / "Lakeside.PEN"));
    EXPECT_TRUE(fs::exists(dir.path() / "work" / "Lakeside.CLI"));
    EXPECT_TRUE(fs::exists(dir.path() / "work" / "Hill.PEN"));
    EXPECT_FALSE(fs::exists(dir.path() / "lists" / "Lakeside.PEN"));

    // A single location always writes the count line, with 1.
    savePlantow(list, r, hill, true, false, 7, (dir.path() / "work").string());
    EXPECT_EQ(readFile(list), "1 crops\r\nHill\t5.5 42.1 400\r\n");
}
