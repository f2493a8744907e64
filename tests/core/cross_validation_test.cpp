// Hold-out validation: the in-memory exclusion equals a database without the stations, known
// fields are recovered, results do not depend on the thread count, and continents.
#include <gtest/gtest.h>

#include <cmath>

#include "data/station_database.h"
#include "data/station_writer.h"
#include "engine/engine.h"
#include "fixture.h"
#include "validation/cross_validation.h"

using namespace zentrel;
using namespace zentrel::test;

namespace {

// Stations on a jittered grid over Europe; `field` gives the value of a station.
template <class Field>
std::vector<Station> gridStations(Field field, int count = 120) {
    std::vector<Station> out;
    Random rng{12345};
    for (int k = 0; k < count; ++k) {
        const float lon = -5 + static_cast<float>(k % 12) * 2.5f + rng.uniform(0, 1);
        const float lat = 38 + static_cast<float>(k / 12) * 2.0f + rng.uniform(0, 1);
        const float alt = std::round(rng.uniform(0, 2500));
        Station s = makeStation(lon, lat, alt, 0, "S" + std::to_string(k));
        for (int m = 1; m <= 12; ++m) s.Data[static_cast<size_t>(m)] = field(s, m);
        out.push_back(s);
    }
    return out;
}

void writeAll(const TempFolder& folder, const std::vector<Station>& stations) {
    StationLists lists;
    for (auto& list : lists) list = stations;
    lists[Prec] = asPrecipitation(stations);
    writeStationDatabase(folder.str(), lists);
}

ValidationReport validate(const std::string& folder, const ProgramSettings& settings, std::vector<int> variables,
                          int threads = 2) {
    ValidationOptions o;
    o.variables = std::move(variables);
    o.folds = 5;
    o.threads = threads;
    return validateDatabase(std::make_shared<StationDatabase>(folder), settings, o);
}

}  // namespace

TEST(HoldOutValidation, ExclusionEqualsADatabaseWithoutTheStations) {
    const auto all = gridStations([](const Station& s, int m) { return s.Lat * 0.3f + static_cast<float>(m) + s.Lon * 0.1f; });
    std::vector<Station> kept;
    std::vector<std::pair<float, float>> out;
    for (size_t k = 0; k < all.size(); ++k) {
        if (k % 4 == 1) out.emplace_back(all[k].Lon, all[k].Lat);
        else kept.push_back(all[k]);
    }
    TempFolder full("xval-full"), reduced("xval-reduced");
    writeAll(full, all);
    writeAll(reduced, kept);
    const StationExclusion exclusion(out);
    auto fullDb = std::make_shared<StationDatabase>(full.str());
    auto reducedDb = std::make_shared<StationDatabase>(reduced.str());
    ProgramSettings settings = describedSettings();
    settings.MaxStat = 8;
    for (int variant = 0; variant < 3; ++variant) {  // spatial search, whole table, files
        Engine a(settings, full.str(), variant == 2 ? nullptr : fullDb);
        Engine b(settings, reduced.str(), variant == 2 ? nullptr : reducedDb);
        a.setSpatialSearch(variant == 0);
        b.setSpatialSearch(variant == 0);
        a.setExclusion(&exclusion);
        for (int v : {Temp, Tmax}) {
            for (size_t k = 0; k < all.size(); k += 7) {
                const Location loc{"", all[k].Lon + 0.3f, all[k].Lat - 0.2f, 400};
                a.Run(v, loc);
                b.Run(v, loc);
                ASSERT_EQ(engineDifference(a, b), "") << "variant " << variant << ", station " << k;
            }
        }
    }
}

TEST(HoldOutValidation, KnownFieldsAreRecovered) {
    ProgramSettings settings = describedSettings();
    {  // a constant field: every estimate is exact, whatever the corrections
        TempFolder folder("xval-constant");
        writeAll(folder, gridStations([](const Station&, int) { return 7.5f; }));
        const ValidationReport r = validate(folder.str(), settings, {Temp, Prec});
        ASSERT_EQ(r.variables.size(), 2u);
        for (const VariableValidation& v : r.variables) {
            EXPECT_EQ(v.stations.size(), 120u);
            EXPECT_EQ(v.all.stations, 120);
            EXPECT_EQ(v.all.monthly.n, 120 * 12);
            EXPECT_LT(v.all.monthly.mae(), 1e-5);
            EXPECT_LT(v.all.annual.mae(), 1e-4);
        }
    }
    {  // a linear altitude field: the altitude correction recovers it
        TempFolder folder("xval-altitude");
        writeAll(folder, gridStations([](const Station& s, int m) { return 20.0f - 0.0065f * s.Alt + 0.5f * static_cast<float>(m); }));
        const ValidationReport on = validate(folder.str(), settings, {Tmax});
        EXPECT_LT(on.variables[0].all.monthly.rmse(), 0.01);
        EXPECT_NEAR(on.variables[0].all.monthly.bias(), 0, 0.01);
        ProgramSettings off = settings;
        off.AltCorr = 0;
        EXPECT_GT(validate(folder.str(), off, {Tmax}).variables[0].all.monthly.mae(), 1.0);
    }
}

TEST(HoldOutValidation, ResultsDoNotDependOnTheThreadCount) {
    TempFolder folder("xval-threads");
    writeAll(folder, gridStations([](const Station& s, int m) {
        return std::sin(s.Lon * 0.7f) * 4 + std::cos(s.Lat * 1.3f) * 3 - 0.005f * s.Alt + static_cast<float>(m);
    }));
    ProgramSettings settings = describedSettings();
    const ValidationReport one = validate(folder.str(), settings, {Temp, Vap}, 1);
    const ValidationReport three = validate(folder.str(), settings, {Temp, Vap}, 3);
    ASSERT_EQ(one.variables.size(), three.variables.size());
    for (size_t v = 0; v < one.variables.size(); ++v) {
        const auto& a = one.variables[v];
        const auto& b = three.variables[v];
        ASSERT_EQ(a.stations.size(), b.stations.size());
        for (size_t k = 0; k < a.stations.size(); ++k) {
            EXPECT_EQ(a.stations[k].fold, b.stations[k].fold);
            EXPECT_EQ(a.stations[k].best, b.stations[k].best);
            EXPECT_EQ(a.stations[k].stdErr, b.stations[k].stdErr);
        }
        EXPECT_EQ(a.all.monthly.sumSq, b.all.monthly.sumSq);
        EXPECT_EQ(a.all.coverage.inside, b.all.coverage.inside);
        EXPECT_GT(a.all.monthly.mae(), 0.0);
    }
}

TEST(HoldOutValidation, ContinentsOfKnownPlaces) {
    const struct { float lon, lat; Continent c; } places[] = {
        {2.35f, 48.85f, Europe},  {-21.9f, 64.1f, Europe},   {-25.7f, 37.7f, Europe},  {-51.7f, 64.2f, NorthAmerica},
        {-79.5f, 9.0f, NorthAmerica}, {-75.5f, 10.4f, SouthAmerica}, {3.0f, 36.7f, Africa}, {-4.4f, 36.7f, Europe},
        {-16.3f, 28.5f, Africa},  {39.2f, 21.5f, Asia},      {32.3f, 15.6f, Africa},   {29.9f, 31.2f, Africa},
        {28.9f, 41.0f, Asia},     {37.6f, 55.8f, Europe},    {151.2f, -33.9f, Oceania}, {-157.9f, 21.3f, Oceania},
        {106.8f, -6.2f, Asia},    {166.7f, -77.8f, Antarctica}, {57.5f, -20.2f, Africa}, {44.8f, 41.7f, Asia}};
    for (const auto& p : places) EXPECT_EQ(continentOf(p.lon, p.lat), p.c) << p.lon << " " << p.lat;
}
