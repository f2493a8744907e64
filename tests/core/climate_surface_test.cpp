// Climate surfaces: the grid of a box, strips, quantities and bands, and the row-block loop.
#include "maps/climate_surface.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "error.h"

#include "fixture.h"
#include "maps_test_util.h"

using namespace zentrel;

namespace {

using Q = SurfaceQuantity;
const std::vector<Q> kAll = {Q::Best, Q::StdErr, Q::Low, Q::High, Q::Bias};

// The mask: columns at longitudes 0..5 and rows at latitudes 3..0; the cell at longitude 1, latitude 2 is sea.
const ImgRaster m = maps_test::smallMap();

// Keeps every block it is given; each row of the run band by band.
struct Collect : SurfaceSink {
    explicit Collect(int columns) : columns(static_cast<size_t>(columns)) {}
    size_t columns;
    std::vector<std::pair<int, int>> blocks;
    std::map<int, std::vector<float>> rows;
    void writeRows(int firstRow, int rowCount, const std::vector<float>& v) override {
        blocks.emplace_back(firstRow, rowCount);
        const size_t n = static_cast<size_t>(rowCount);
        for (size_t b = 0; b < v.size() / (n * columns); ++b)  // the blocks are band-major
            for (size_t r = 0; r < n; ++r) {
                std::vector<float>& row = rows[firstRow + static_cast<int>(r)];
                row.insert(row.end(), v.begin() + static_cast<long>((b * n + r) * columns), v.begin() + static_cast<long>((b * n + r + 1) * columns));
            }
    }
    float at(int b, int r, int c) const { return rows.at(r).at(static_cast<size_t>(b) * columns + static_cast<size_t>(c)); }
};

// An estimate per worker whose values follow from the point: Best = lon * 100 + lat + month,
// StdErr = month / 10, Bias = -month; no estimate west of longitude 0.5.
struct FakeEstimates {
    std::vector<EstimateResult> results = std::vector<EstimateResult>(8);
    const EstimateResult* operator()(int worker, double lon, double lat) {
        if (lon < 0.5) return nullptr;
        EstimateResult& e = results[static_cast<size_t>(worker)];
        e.HasStdErr = true;
        for (size_t m = 1; m <= 13; ++m)
            std::tie(e.Best[m], e.StdErr[m], e.Bias[m]) = std::tuple(lon * 100 + lat + m, m / 10.0f, -static_cast<float>(m));
        return &e;
    }
};

}  // namespace

TEST(SurfaceGrid, EdgesAreTheBoxAndATypedFractionOfADegreeMeansTheExactDivision) {
    const SurfaceGrid world = surfaceGrid(-180, -60, 180, 84, 0.0833333);
    EXPECT_EQ(std::tuple(world.Columns, world.Rows, world.CellWidth, world.West, world.North), std::tuple(4320, 1728, 360.0 / 4320, -180, 84));
    EXPECT_DOUBLE_EQ(world.lonOfColumn(0), -180 + 1.0 / 24);
    EXPECT_DOUBLE_EQ(world.east(), 180);
    EXPECT_EQ(surfaceGrid(-180, -60, 180, 84, 0.0083333).Columns, 43200);
    // Not a whole number of cells: the cells keep the resolution and the last one reaches past.
    const SurfaceGrid odd = surfaceGrid(0, 0, 10, 1, 3);
    // One row of 3 degrees, reaching south of the box.
    EXPECT_EQ(std::tuple(odd.Columns, odd.CellWidth, odd.Rows, odd.CellHeight), std::tuple(4, 3, 1, 3));
    EXPECT_THROW(surfaceGrid(5, 0, 5, 1, 1), Error);
    EXPECT_THROW(surfaceGrid(0, 0, 1, 1, 0), Error);
}

// The cells are estimated at their points on the Earth: see the command line's box across the line.
TEST(SurfaceGrid, ABoxWhoseWestLiesEastOfItsEastCrossesTheDateLine) {
    const SurfaceGrid grid = surfaceGrid(170, 50, -170, 70, 1);
    EXPECT_EQ(grid.Columns, 20);
    EXPECT_DOUBLE_EQ(grid.lonOfColumn(19), 189.5);  // ascending across the line, as GIS programs read it
    EXPECT_DOUBLE_EQ(grid.earthLonOfColumn(19), -170.5);
    EXPECT_DOUBLE_EQ(grid.earthLonOfColumn(9), 179.5);
}

TEST(SurfaceGrid, ResolutionInArcMinutesOrSecondsOrWithADecimalComma) {
    for (const auto& [text, degrees] : {std::pair{"30s", 1.0 / 120}, {"5m", 1.0 / 12}, {"2.5m", 2.5 / 60}, {"0,5", 0.5}})
        EXPECT_DOUBLE_EQ(parseAngle(text).value_or(-1), degrees) << text;
    for (const char* bad : {"0", "-1", "x", "", "s", "5x", "nan"}) EXPECT_FALSE(parseAngle(bad)) << bad;
}

TEST(SurfaceTiles, StripsCoverEveryRowOnceInOrderAndDifferByAtMostOneRow) {
    for (int rows : {1, 7, 100, 1728})
        for (int n = 1; n <= std::min(rows, 13); ++n) {
            int next = 0, least = rows, most = 0;
            for (int i = 1; i <= n; ++i) {
                const RowRange r = tileRows(rows, i, n);
                EXPECT_EQ(r.First, next) << rows << " rows, strip " << i << " of " << n;
                next = r.First + r.Count;
                least = std::min(least, r.Count);
                most = std::max(most, r.Count);
            }
            EXPECT_EQ(next, rows);
            EXPECT_LE(most - least, 1);
        }
    const SurfaceGrid grid = surfaceGrid(0, 0, 4, 3, 0.5);
    const SurfaceGrid strip = subGrid(grid, tileRows(grid.Rows, 2, 3));
    EXPECT_EQ(std::tuple(strip.Rows, strip.North, strip.Columns), std::tuple(2, 2, grid.Columns));
}

TEST(SurfaceBands, QuantitiesInTheOrderGivenAndBandsNamedByPeriodAndQuantity) {
    EXPECT_EQ(parseQuantities("stderr,best,bias"), (std::vector<Q>{Q::StdErr, Q::Best, Q::Bias}));
    EXPECT_NE(test::errorOf([] { parseQuantities("best,error"); }).find("\"error\""), std::string::npos);
    for (const char* bad : {"best,best", ""}) EXPECT_THROW(parseQuantities(bad), Error) << bad;

    const SurfaceLayout layout{.Periods = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}, .Quantities = {Q::Best, Q::StdErr}};
    // The periods of one quantity first.
    for (const auto& [band, text] : {std::pair{0, "January"}, {1, "February"}, {12, "Annual mean"}, {13, "January stderr"}})
        EXPECT_EQ(layout.bandDescription(band), text) << band;
    EXPECT_EQ(layout.periodOfBand(21), 9);
}

TEST(SurfaceBands, LowAndHighAreBestMinusAndPlusKStdErrClippedAsTheBatchFiles) {
    EstimateResult e;
    std::tie(e.Best[7], e.StdErr[7], e.Bias[7], e.HasStdErr) = std::tuple(10.0f, 8.0f, -1.5f, true);
    SurfaceLayout layout{.Variable = Temp, .Periods = {7}, .Quantities = kAll, .ConfidenceFactor = 1.96f};
    EXPECT_FLOAT_EQ(surfaceValue(layout, 2, e), 10 - 1.96f * 8);  // a temperature may be negative
    EXPECT_FLOAT_EQ(surfaceValue(layout, 3, e), 10 + 1.96f * 8);
    EXPECT_FLOAT_EQ(surfaceValue(layout, 4, e), -1.5f);
    layout.Variable = Prec;
    EXPECT_EQ(surfaceValue(layout, 2, e), 0);  // precipitation is not
    EXPECT_EQ(surfaceValue(layout, 1, e), 8);
    // An estimate made in ratio space has the bounds of its logarithm.
    std::tie(e.StdErrLog[7], e.LogOffset) = std::tuple(0.5f, 1);
    EXPECT_FLOAT_EQ(surfaceValue(layout, 2, e), lowBound(e, 7, 1.96f));
    EXPECT_FLOAT_EQ(surfaceValue(layout, 3, e), highBound(e, 7, 1.96f));
}

TEST(SurfaceBands, TheYearOfPrecAndPetIsTheTotalOfTheMonthsAndOfTheOthersTheMean) {
    EstimateResult e;  // Best within every variable's range (a sunshine fraction is at most 1)
    std::tie(e.HasStdErr, e.Best[13], e.StdErr[13], e.AnnualTotalStdErr) = std::tuple(true, 0.5f, 0.25f, 1.5f);
    SurfaceLayout layout{.Periods = {13}, .Quantities = {Q::Best, Q::StdErr}};
    for (int v = 0; v < kVariableCount; ++v) {
        layout.Variable = v;
        const bool total = v == Prec || v == PET;
        // The total's error is its own (months that err apart partly cancel), not 12 monthly errors.
        EXPECT_EQ(std::tuple(surfaceValue(layout, 0, e), surfaceValue(layout, 1, e), layout.bandDescription(0), std::string(periodUnits(v, 13))),
                  std::tuple(total ? 6 : 0.5f, total ? 1.5f : 0.25f, total ? "Annual total" : "Annual mean", std::string(variableUnits(v))))
            << kVariableNames[static_cast<size_t>(v)];
    }
}

TEST(SurfacePeriods, MonthNamesAbbreviationsAndAnnualInAnyCase) {
    const std::pair<const char*, int> cases[] = {{"7", 7}, {"13", 13}, {"July", 7}, {"jul", 7}, {"JULY", 7}, {"Annual", 13},
                                                 {"annual", 13}, {"Average", 13}, {"september", 9}, {"Sep", 9}, {"0", -1},
                                                 {"14", -1}, {"Ju", -1}, {"Julyy", -1}, {"", -1}, {"7.5", -1}};
    for (const auto& [text, period] : cases) EXPECT_EQ(parseSurfacePeriod(text), period) << text;
}

TEST(SurfaceMetadata, NamesTheMethodFromTheRobustSettingAndCarriesUnitsAndVersion) {
    ProgramSettings settings = test::describedSettings();
    const SurfaceLayout layout{.Variable = Prec};
    auto metadata = [&](const std::string& source) {
        const auto pairs = surfaceMetadata(layout, settings, source);
        return std::map<std::string, std::string>(pairs.begin(), pairs.end());
    };
    auto meta = metadata("my stations");
    EXPECT_EQ(std::tuple(meta["method"], meta["units"], meta["source"], meta["period"]),
              std::tuple("described", "mm", "my stations", "Annual total"));
    EXPECT_NE(meta["software"].find("Zentrel "), std::string::npos);
    EXPECT_NE(meta["settings"].find("MaxStat=20"), std::string::npos);
    settings.RobustCorr = 1;
    EXPECT_EQ(metadata("")["method"], "robust");
}

TEST(SurfaceLoop, SeaAndCellsWithoutEstimateAreNoDataAndValuesFollowTheBands) {
    const SurfaceGrid grid = surfaceGrid(-0.5, -0.5, 5.5, 3.5, 1);  // cell centres on the mask's cells
    const SurfaceLayout layout{.Variable = Temp, .Periods = {9, 13}, .Quantities = {Q::Best, Q::StdErr}};
    FakeEstimates fake;
    Collect sink{grid.Columns};
    const long long estimated = computeSurface(grid, {0, grid.Rows}, layout, m, std::ref(fake), 1, sink);
    EXPECT_EQ(estimated, 4 * 5 - 1);  // column 0 has no estimate, one cell is sea
    // No estimate; sea at longitude 1, latitude 2, in every band.
    EXPECT_EQ(std::tuple(sink.at(0, 0, 0), sink.at(0, 1, 1), sink.at(2, 1, 1)), std::tuple(kSurfaceNoData, kSurfaceNoData, kSurfaceNoData));
    EXPECT_FLOAT_EQ(sink.at(0, 1, 2), 200 + 2 + 9);
    EXPECT_FLOAT_EQ(sink.at(1, 3, 5), 500 + 0 + 13);
    EXPECT_FLOAT_EQ(sink.at(3, 3, 5), 1.3f);
    // Outside the mask there is no land.
    Collect wide{9};
    computeSurface(surfaceGrid(-0.5, -0.5, 8.5, 3.5, 1), {0, 4}, layout, m, std::ref(fake), 1, wide);
    EXPECT_EQ(wide.at(0, 0, 7), kSurfaceNoData);
}

// Strips of a surface are the command line's part (its strips join into the single run).
TEST(SurfaceLoop, ValuesDoNotDependOnThreadsOrBlocks) {
    const SurfaceGrid grid = surfaceGrid(-0.5, -0.5, 5.5, 3.5, 0.25);
    const SurfaceLayout layout{.Quantities = {Q::Best, Q::Bias}};
    FakeEstimates fake;
    Collect whole{grid.Columns};
    computeSurface(grid, {0, grid.Rows}, layout, m, std::ref(fake), 1, whole);
    ASSERT_EQ(whole.blocks.size(), 1u);
    Collect small{grid.Columns};
    computeSurface(grid, {0, grid.Rows}, layout, m, std::ref(fake), 4, small, nullptr, 1);  // a row per block
    EXPECT_EQ(small.blocks.size(), static_cast<size_t>(grid.Rows));
    EXPECT_EQ(small.rows, whole.rows);
}

TEST(SurfaceLoop, CancelReturnsMinusOneAndFailuresOfEstimateOrWriterComeThrough) {
    const SurfaceGrid grid = surfaceGrid(-0.5, -0.5, 5.5, 3.5, 0.5);
    SurfaceLayout layout;
    FakeEstimates fake;
    Collect sink{grid.Columns};
    Feedback cancelled;
    cancelled.cancel();
    EXPECT_EQ(computeSurface(grid, {0, grid.Rows}, layout, m, std::ref(fake), 2, sink, &cancelled), -1);
    EXPECT_TRUE(sink.blocks.empty());

    const auto throwing = [](int, double lon, double) -> const EstimateResult* {
        if (lon > 4) throw Error("no station file");
        return nullptr;
    };
    EXPECT_THROW(computeSurface(grid, {0, grid.Rows}, layout, m, throwing, 2, sink), Error);

    struct Full : SurfaceSink {
        void writeRows(int, int, const std::vector<float>&) override { throw Error("disk full"); }
    } full;
    EXPECT_THROW(computeSurface(grid, {0, grid.Rows}, layout, m, std::ref(fake), 2, full, nullptr, 1), Error);

    Feedback progress;
    Collect counted{grid.Columns};
    computeSurface(grid, {0, grid.Rows}, layout, m, std::ref(fake), 2, counted, &progress);
    EXPECT_EQ(std::tuple(progress.done(), progress.total()), std::tuple(grid.Rows * grid.Columns, grid.Rows * grid.Columns));
}
