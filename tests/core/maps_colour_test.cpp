// Colour tables (".clr"), legend entries and the colour editor's recolouring.
#include "maps/colour_table.h"

#include <gtest/gtest.h>

#include "error.h"
#include "fixture.h"
#include "maps_test_util.h"

using namespace zentrel;

namespace {
std::string errorOf(const std::string& text) {
    return zentrel::test::errorOf([&] { parseColourRanges(text, "Elevation.clr"); });
}
}  // namespace

TEST(ColourFile, RangeLineColoursEveryCountLaterLinesOverwriteAndTheLabelIsOptional) {
    const auto table = ColourTable::fromRanges(
        parseColourRanges("First\tLast\tR\tG\tB\tLabel\n10\t12\t255\t0\t0\tHot\n 12 \t 13\t0\t0\t255\t Cold \r\n", "x.clr"));
    for (int k : {10, 11}) EXPECT_EQ(std::pair(table.Entries[k].Label, table.Entries[k].Colour), std::pair(std::string("Hot"), Rgb{255, 0, 0})) << k;
    EXPECT_EQ(table.Entries[9].Label + "|" + table.Entries[12].Label + "|" + table.Entries[14].Label, "|Cold|");
    EXPECT_EQ(table.Entries[13].Colour, (Rgb{0, 0, 255}));
    // The first line is a header, whatever it holds.
    const auto ranges = parseColourRanges("1\t2\t3\t4\t5\tnot data\n\n7\t7\t1\t2\t3\n", "x.clr");
    ASSERT_EQ(ranges.size(), 1u);
    EXPECT_EQ(ranges[0], (ColourRange{7, 7, {1, 2, 3}, ""}));
}

TEST(ColourFile, OverlayEntriesAlwaysCarryTheirLabels) {
    const auto table = ColourTable::fromRanges({{250, 255, {9, 9, 9}, "High"}}, Rgb{1, 2, 3}, Rgb{4, 5, 6});
    EXPECT_EQ(table.Entries[253].Label + ", " + table.Entries[254].Label + ", " + table.Entries[255].Label, "Capitals, Boundaries, High");
    EXPECT_EQ(std::pair(table.Entries[253].Colour, table.Entries[254].Colour), std::pair(Rgb{4, 5, 6}, Rgb{1, 2, 3}));
}

TEST(ColourFile, MalformedLinesNameFileLineAndField) {
    const std::pair<const char*, const char*> cases[] = {
        {"h\n1\t2\t300\t0\t0\tX\n", "line 2, field 3 (red): \"300\" is not a whole number from 0 to 255."},
        {"h\n1\t2\t3\t0\t0.5\tX\n", "line 2, field 5 (blue): \"0.5\" is not a whole number from 0 to 255."},
        {"h\n\n1 2 3 4 5 X\n", "line 3: expected first count, last count, red, green, blue and label separated by tabs, found 1 field."},
        {"h\n12\t10\t0\t0\t0\tX\n", "line 2, field 1 (first count): 12 lies above the last count 10."},
        {"h\n-1\t10\t0\t0\t0\tX\n", "line 2, field 1 (first count): \"-1\" is not a whole number from 0 to 255."}};
    for (const auto& [text, message] : cases) EXPECT_EQ(errorOf(text), std::string("Colour file Elevation.clr, ") + message);
    EXPECT_THROW(readColourTable("/nonexistent/x.clr"), Error);
}

TEST(ColourLegend, EqualNeighbouringLabelsAppearOnceAndEntryZeroIsNotListed) {
    const auto table = ColourTable::fromRanges(
        {{0, 1, {}, "Below"}, {2, 5, {}, "Low"}, {6, 6, {}, "Mid"}, {8, 9, {}, "Low"}});
    EXPECT_EQ(table.legendEntries(), (std::vector<int>{2, 6, 8, 253, 254}));
}

TEST(ColourLegend, EditorRecoloursEveryEntryOfALabel) {
    auto table = ColourTable::fromRanges({{2, 5, {}, "Low"}, {8, 9, {}, "Low"}, {6, 6, {}, "Mid"}});
    table.setColourOfLabel(" Low ", colourFromValue(255));
    EXPECT_EQ(std::vector<Rgb>({table.Entries[3].Colour, table.Entries[9].Colour, table.Entries[6].Colour}),
              (std::vector<Rgb>{{255, 0, 0}, {255, 0, 0}, {0, 0, 0}}));
    EXPECT_EQ(colourFromValue(0x123456), (Rgb{0x56, 0x34, 0x12}));
}

TEST(ColourFile, GoldenWriterAndRoundTrip) {
    const std::vector<ColourRange> ranges = {{0, 1, {50, 146, 138}, "< 0 m"}, {2, 5, {46, 127, 58}, "Tab\there"}};
    maps_test::ScratchFolder folder;
    writeColourFile(folder.file("m.clr"), "First\tLast\tRed\tGreen\tBlue\tLabel", ranges);
    EXPECT_EQ(maps_test::readFile(folder.file("m.clr")), maps_test::golden("golden.clr"));
    const auto table = readColourTable(folder.file("m.clr"));
    EXPECT_EQ(table.Entries[1].Label + "|" + table.Entries[5].Label, "< 0 m|Tab here");
    EXPECT_EQ(table.Entries[5].Colour, (Rgb{46, 127, 58}));
}
