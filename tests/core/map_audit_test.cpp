// The plausibility audit of a map on a small written database: cells beyond the world's
// records and beyond their neighbours' envelope, counted once per cell and per period.
#include "validation/map_audit.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>

#include "fixture.h"
#include "maps_test_util.h"

using namespace zentrel;
using namespace zentrel::test;

namespace {

// A data folder with the ring of eight stations around 10 E, 45 N (March of every variable set
// to `march`), a flat elevation raster, and an all-land mask of 1 degree cells around them.
struct RingMap {
    TempFolder folder{"map-audit"};
    ImgRaster mask = maps_test::smallMap();
    ProgramSettings settings = describedSettings();

    explicit RingMap(float march) {
        std::vector<Station> ring = ringOfEightStations();
        for (Station& s : ring) s.Data[3] = march;
        writeDataFolder(folder, 10, 45, ring);
        folder.write("10k8b.raw", std::string(4320 * 2160, '\0'));
        mask.Header.RefLon = 10;  // the small map moved to 7..12 E, 44..47 N, all land
        mask.Header.RefLat = 45;
        mask.Cells.assign(mask.Cells.size(), 1);
    }
    MapAudit audit(std::vector<int> variables, int threads, int worst = 3) const {
        MapAuditOptions o;
        o.grid = surfaceGrid(9.5, 44.5, 10.5, 45.5, 0.25);
        o.variables = std::move(variables);
        o.threads = threads;
        o.worst = worst;
        return auditMap(std::make_shared<StationDatabase>(folder.str()), folder.str(), settings, mask, o);
    }
};

}  // namespace

TEST(MapAudit, EachCellBeyondTheRecordsIsCountedOnceAndListedWithItsNeighbours) {
    const RingMap wet(5000);  // mm of rain in March at every neighbour: beyond the records
    const MapAudit audit = wet.audit({Prec}, 2);
    ASSERT_EQ(audit.variables.size(), 1u);
    const VariableAudit& v = audit.variables[0];
    EXPECT_EQ(v.cells, 16);
    EXPECT_EQ(v.noEstimate, 0);
    EXPECT_EQ(v.recordCells, 16);
    EXPECT_EQ(v.recordPeriods, 16);  // March only: the annual mean stays within its record
    EXPECT_EQ(v.envelopeCells, 16);  // the envelope lies within the records
    // March, and the year: its envelope is the mean of the months' (a year of months within
    // theirs is within it), here 357 mm a month against 426.
    EXPECT_EQ(v.envelopePeriods, 32);
    EXPECT_NEAR(v.range[0].high, 5000, 1);
    ASSERT_EQ(v.worst.size(), 3u);
    for (const AuditCell& c : v.worst) {
        EXPECT_EQ(c.period, 3);
        EXPECT_TRUE(c.beyondRecords);
        EXPECT_LE(c.envelope.high, 4000);
        EXPECT_EQ(c.neighbours.size(), 8u);
    }
    EXPECT_GE(v.worst[0].excess, v.worst[2].excess);
    const std::string text = formatMapAuditText(audit);
    EXPECT_NE(text.find("beyond the world's records"), std::string::npos) << text;
    EXPECT_NE(formatMapAuditJson(audit).find("\"recordCells\": 16"), std::string::npos);
}

TEST(MapAudit, PlausibleFieldIsWithinRecordsAndEnvelopeAndTheReportDoesNotDependOnThreads) {
    const RingMap calm(10);
    for (int variable : {Temp, Prec}) {
        const MapAudit one = calm.audit({variable}, 1, 100), three = calm.audit({variable}, 3, 100);
        const VariableAudit& v = one.variables.at(0);
        EXPECT_EQ(v.cells, 16) << variable;
        EXPECT_EQ(v.recordCells, 0) << variable;
        EXPECT_EQ(v.envelopeCells, 0) << variable << "\n" << formatMapAuditText(one);
        EXPECT_EQ(formatMapAuditJson(one), formatMapAuditJson(three));
    }
}

TEST(MapAudit, ReportsShowThePrecipitationYearAsItsTotalAndTheTemperatureYearAsItsMean) {
    const RingMap calm(10);
    for (int variable : {Prec, Temp}) {
        const MapAudit audit = calm.audit({variable}, 1);
        const ValueRange& year = audit.variables.at(0).range[1];  // judged as the mean of the months
        const float shown = (variable == Prec ? 12 : 1) * year.high;
        const auto json = nlohmann::json::parse(formatMapAuditJson(audit));
        EXPECT_NEAR(json["variables"][0]["annual"]["max"].get<float>(), shown, 1e-4f * std::fabs(shown)) << variable;
        EXPECT_NE(formatMapAuditText(audit).find(fmt::format(" .. {:.2f} ", shown)), std::string::npos) << formatMapAuditText(audit);
    }
}

TEST(MapAudit, CellsWhoseVariablesAreNoOneClimateAreCountedTogether) {
    // March of every variable 10 at every station; then minima of 15 C (above the mean) and a
    // vapour pressure of 40 hPa (saturation at 10 C is 12.3 hPa).
    RingMap map(10);
    const auto consistency = [&map] { return map.audit({Temp, Tmax, Tmin, Vap}, 2).consistency; };
    const ConsistencyAudit fine = consistency();
    EXPECT_TRUE(fine.temperatures && fine.vapour);
    EXPECT_EQ(fine.orderCells + fine.saturationCells, 0);
    std::vector<Station> ring = ringOfEightStations();
    for (Station& s : ring) s.Data[3] = 15;
    map.folder.write("min.txt", stationLines(ring));
    for (Station& s : ring) s.Data[3] = 40;
    map.folder.write("vap.txt", stationLines(ring));
    const ConsistencyAudit odd = consistency();
    EXPECT_EQ(odd.orderCells, 16);
    EXPECT_EQ(odd.orderMonths, 16);  // March only
    EXPECT_EQ(odd.saturationCells, 16);
    ASSERT_FALSE(odd.examples.empty());
    EXPECT_EQ(odd.examples[0].month, 3);
    // Not judged when a variable of the pair was not audited.
    EXPECT_FALSE(map.audit({Temp, Tmin}, 1).consistency.temperatures);
}

TEST(MapAudit, ADryCellBelowItsEnvelopeIsJudgedByTheRatioOfTheDriestBoundToIt) {
    // March rain 10 mm at sea level rising 0.7 mm per m to 500 mm at 700 m: the altitude slope
    // carried 390 m below the stations' mean takes the cells (at -40 m) below 0, written as 0.
    RingMap map(10);
    std::vector<Station> ring = ringOfEightStations();
    for (Station& s : ring) s.Data[3] = 10 + 0.7f * s.Alt;
    writeDataFolder(map.folder, 10, 45, ring);
    const VariableAudit v = map.audit({Prec}, 1).variables.at(0);
    EXPECT_EQ(v.envelopeCells, 16);
    ASSERT_FALSE(v.worst.empty());
    const AuditCell& c = v.worst[0];
    EXPECT_EQ(c.period, 3);
    EXPECT_EQ(c.value, 0);
    EXPECT_NEAR(c.envelope.low, 10 / 1.5f / std::exp2(0.04f), 1e-3f);  // the driest, 40 m higher
    EXPECT_NEAR(c.excess, std::log(c.envelope.low + 1), 1e-6);  // ratios offset by 1 mm
}

TEST(MapAudit, VapourPressureJustOverOnePercentAboveSaturationAtTmaxIsInconsistentAndJustUnderIsNot) {
    // Saturation at a Tmax of 10 C is 12.28 hPa; rounding of the written values is allowed 1 %.
    RingMap map(10);
    for (const auto& [vap, counted] : {std::pair{12.35f, 0}, {12.45f, 16}}) {
        std::vector<Station> ring = ringOfEightStations();
        for (Station& s : ring) s.Data[3] = vap;
        map.folder.write("vap.txt", stationLines(ring));
        EXPECT_EQ(map.audit({Tmax, Vap}, 1).consistency.saturationCells, counted) << vap;
    }
}
