// The kriging method (the program's default) pinned on a small fixed network with sea, relief and
// both hemispheres; its thresholds, limits and one climate per place tested at their edges.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "data/station_database.h"
#include "data/station_writer.h"
#include "data/terrain.h"
#include "engine/engine.h"
#include "fixture.h"
#include "kriging/kriging.h"

using namespace zentrel;
using namespace zentrel::test;

namespace {

size_t ix(int i) { return static_cast<size_t>(i); }
constexpr float kPi = 3.14159265f;

// The land of the fixture (m), NaN for sea. North: a plain at 150 m (lon 0..30, lat 30..55)
// with a ridge of 2600 m along 15 E. South: a plateau at 300 m (lon 130..150, lat -40..-20)
// with a ridge of 1500 m along 140 E. By the date line: land at 500 m east of it (lon -180..-170,
// lat 58..66) and an island at 200 m west of it (lon 172..178, lat 60..64), so that the grids on
// either side of the line differ.
float landAltitude(float lon, float lat) {
    if (lon >= 0 && lon < 30 && lat >= 30 && lat < 55) return 150 + 2450 * std::exp(-std::pow((lon - 15) / 2.5f, 2.0f));
    if (lon >= 130 && lon < 150 && lat >= -40 && lat < -20) return 300 + 1200 * std::exp(-std::pow((lon - 140) / 2, 2.0f));
    if (lon >= -180 && lon < -170 && lat >= 58 && lat < 66) return 500;
    if (lon >= 172 && lon < 178 && lat >= 60 && lat < 64) return 200;
    return NAN;
}

std::string pinnedRaster() {
    std::string bytes(static_cast<size_t>(kTerrainColumns) * kTerrainRows, '\xff');
    for (int r = 0; r < kTerrainRows; ++r)
        for (int c = 0; c < kTerrainColumns; ++c) {
            const float alt = landAltitude(-180 + (static_cast<float>(c) + 0.5f) / 12, 90 - (static_cast<float>(r) + 0.5f) / 12);
            if (!std::isnan(alt)) bytes[static_cast<size_t>(r) * kTerrainColumns + static_cast<size_t>(c)] = static_cast<char>(std::lround((alt + 40) / 20));
        }
    return bytes;
}

// Degrees to the nearest coast of the station's land, 0..5 as continentality 0..1.
float continentality(float lon, float lat) {
    float d = 0;
    if (lat > 0 && lon >= 0) d = std::min({lon, 30 - lon, lat - 30, 55 - lat});
    else if (lat < 0) d = std::min({lon - 130, 150 - lon, lat + 40, -20 - lat});
    else d = std::min(lat - 58, 66 - lat);
    return std::clamp(d / 5, 0.0f, 1.0f);
}

// The station climate: a mean temperature falling 0.6 K per degree of latitude and 6 K per km,
// with a seasonal swing growing inland; a daily range growing inland; precipitation wetter by
// the sea and up the ridges, most in the local summer; vapour pressure at three quarters of
// saturation at Tmin. Every station and month carries its own noise, so that coefficients,
// weights and errors all show in the numbers.
StationLists pinnedStations() {
    Random random{20261206};
    struct Region { int count; float lon0, lon1, lat0, lat1; };
    const Region regions[] = {{34, 0.3f, 29.7f, 30.3f, 54.7f}, {24, 130.3f, 149.7f, -39.7f, -20.3f},
                              {8, 180.2f, 189.6f, 58.5f, 65.5f}, {5, 172.3f, 177.7f, 60.3f, 63.7f}};
    StationLists lists;
    int k = 0;
    for (const Region& region : regions)
        for (int i = 0; i < region.count; ++i, ++k) {
            float lon = random.uniform(region.lon0, region.lon1);
            const float lat = random.uniform(region.lat0, region.lat1);
            if (lon > 180) lon -= 360;
            const float alt = std::round(landAltitude(lon, lat) + random.uniform(0, 200));
            const float c = continentality(lon, lat), a = std::fabs(lat);
            std::array<Station, kVariableCount> s;
            for (Station& one : s) one = makeStation(lon, lat, alt, 0, "P" + std::to_string(k));
            for (int m = 1; m <= 12; ++m) {
                const float summer = std::cos(2 * kPi * static_cast<float>(m - (lat > 0 ? 7 : 1)) / 12);
                const float temp = 32 - 0.6f * a + (4 + 8 * c + 0.1f * a) * summer - 0.006f * alt + random.uniform(-0.5f, 0.5f);
                const float range = 7 + 5 * c + summer + random.uniform(-0.5f, 0.5f);
                const float prec = (40 + 60 * (1 - c) + 0.04f * alt) * (1 + 0.7f * summer) * std::exp(random.uniform(-0.2f, 0.2f));
                s[ix(Temp)].Data[ix(m)] = std::round(temp * 10) / 10;
                s[ix(Tmax)].Data[ix(m)] = std::round((temp + range / 2) * 10) / 10;
                s[ix(Tmin)].Data[ix(m)] = std::round((temp - range / 2) * 10) / 10;
                s[ix(Prec)].Data[ix(m)] = std::round(prec);
                s[ix(Vap)].Data[ix(m)] =
                    std::round(0.75f * saturationOverWater(temp - range / 2) * std::exp(random.uniform(-0.05f, 0.05f)) * 10) / 10;
            }
            for (int v : {Temp, Tmax, Tmin, Prec, Vap}) lists[ix(v)].push_back(s[ix(v)]);
        }
    return lists;
}

class KrigingPinned : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new TempFolder("kriging-pinned");
        folder_->write(kTerrainFileName, pinnedRaster());
        writeStationDatabase(folder_->str(), pinnedStations());
        TerrainCovariates::writeDerived(folder_->str(), folder_->file(TerrainCovariates::kFileName));
        database_ = new std::shared_ptr<const StationDatabase>(std::make_shared<StationDatabase>(folder_->str()));
    }
    static void TearDownTestSuite() {
        delete database_;
        delete folder_;
    }
    static VariableResult estimate(int variable, float lon, float lat, float alt) {
        const ProgramSettings s;  // the defaults: the kriging method
        Engine engine(s, folder_->str(), *database_);
        return engine.Run(variable, Location{"", lon, lat, alt});
    }
    static TempFolder* folder_;
    static std::shared_ptr<const StationDatabase>* database_;
};
TempFolder* KrigingPinned::folder_ = nullptr;
std::shared_ptr<const StationDatabase>* KrigingPinned::database_ = nullptr;

}  // namespace

namespace {
struct PinnedPlace {
    const char* what;
    float lon, lat, alt;
};
const PinnedPlace kPlaces[] = {
    {"north plain among its stations", 8, 40, 300},
    {"north ridge above the highest neighbour", 15, 45, 4000},
    {"north depression far below the lowest neighbour", 22, 42, -400},
    {"at sea off the west coast, too few active neighbours for an error", -1.5f, 42, 0},
    {"south plateau among its stations", 136, -30, 420},
    {"east of the date line, neighbours on both sides", -179.95f, 62, 500},
};

// January, July and the annual value of Best, January and July of StdErr.
struct Pinned {
    int place, variable;
    float best1, best7, best13, stdErr1, stdErr7;
};

// Computed by this code at the commit that added them, on the fixture above (printed by the
// test below when they change), and checked by hand where a number has an obvious size: the
// annual mean temperature of the plain (6.1 C), the southern plateau (11.5 C), the depression
// at -400 m (9.4 C) and the date line (-8.3 C) lie within 0.2 K of the stations' climate
// (32 - 0.6 |lat| - 6 K per km); the ridge at 4000 m is colder than that by 6.5 K per km above
// its highest neighbour; July is warm in the north and January in the south; vapour pressure
// lies below saturation at Tmax. The errors of the ridge and the depression are large: their
// height above the terrain around lies beyond every neighbour's. The place at sea has five
// active neighbours, too few for an error. Pinned to 2e-4 of the value (of 1 below 1): a
// changed coefficient, kernel, row count or prior shows; rounding of a distance does not.
const Pinned kPinned[] = {
    {0, Temp, -9.78464, 22.3049, 6.13679, 0.349272, 0.317362},
    {0, Tmax, -4.19288, 28.9148, 12.1361, 0.268605, 0.379497},
    {0, Tmin, -15.2654, 15.7108, 0.143275, 0.543299, 0.340798},
    {0, Prec, 18.1759, 99.6421, 52.1441, 1.43021, 9.41349},
    {0, Vap, 1.42815, 13.65, 6.03333, 0.0741038, 0.459621},
    {1, Temp, -32.5105, -2.46061, -20.0997, 4.91695, 2.80009},
    {1, Tmax, -29.5772, 1.42751, -12.7544, 3.17114, 2.95179},
    {1, Tmin, -39.4808, -8.92737, -27.0905, 3.34352, 2.92794},
    {1, Prec, 71.4078, 230.692, 224.068, 313.908, 1347.2},
    {1, Vap, 0.262788, 2.90912, 1.18433, 0.327701, 4.00042},
    {2, Temp, -9.0158, 26.1175, 9.41226, 5.01306, 3.83424},
    {2, Tmax, -2.55567, 33.7578, 15.2452, 3.73676, 4.15875},
    {2, Tmin, -14.3735, 19.0869, 3.39962, 4.11809, 3.81141},
    {2, Prec, 6.02158, 58.3004, 30.7799, 30.253, 190.298},
    {2, Vap, 1.42049, 16.07, 7.09575, 0.763927, 12.2039},
    {3, Temp, -0.738973, 14.1451, 7.49006, 0, 0},
    {3, Tmax, 1.92942, 19.1443, 10.8584, 0, 0},
    {3, Tmin, -2.97909, 9.39457, 4.02952, 0, 0},
    {3, Prec, 42.1322, 188.922, 114.105, 0, 0},
    {3, Vap, 3.63755, 7.85164, 6.308, 0, 0},
    {4, Temp, 26.2373, -3.4433, 11.4579, 0.385919, 0.454696},
    {4, Tmax, 32.8042, 2.09985, 17.4096, 0.545369, 0.315309},
    {4, Tmin, 19.6969, -8.89983, 5.51685, 0.330489, 0.715385},
    {4, Prec, 87.4401, 15.8834, 56.7732, 11.4246, 2.1072},
    {4, Vap, 17.4535, 2.3877, 8.373, 0.647409, 0.149178},
    {5, Temp, -21.01, 4.30366, -8.31103, 3.22295, 2.23046},
    {5, Tmax, -16.5999, 10.2171, -3.99904, 2.73382, 1.9463},
    {5, Tmin, -24.8334, -1.22239, -12.6041, 3.97816, 2.29004},
    {5, Prec, 71.6954, 240.051, 129.612, 93.1195, 144.595},
    {5, Vap, 0.776435, 3.817, 1.91033, 0.483401, 0.78602},
};
}  // namespace

TEST_F(KrigingPinned, EstimatesAndStandardErrorsOfEveryKindOfPlaceAreUnchanged) {
    std::string table;
    bool changed = false;
    for (const Pinned& pin : kPinned) {
        const PinnedPlace& place = kPlaces[pin.place];
        const VariableResult r = estimate(pin.variable, place.lon, place.lat, place.alt);
        const EstimateResult& e = r.result;
        const float got[5] = {e.Best[1], e.Best[7], e.Best[13], e.StdErr[1], e.StdErr[7]};
        const float want[5] = {pin.best1, pin.best7, pin.best13, pin.stdErr1, pin.stdErr7};
        static const char* const kWhat[5] = {"Best January", "Best July", "Best annual", "StdErr January", "StdErr July"};
        for (size_t k = 0; k < 5; ++k) {
            const bool same = std::fabs(got[k] - want[k]) <= 2e-4f * std::max(std::fabs(want[k]), 1.0f);
            changed = changed || !same;
            EXPECT_TRUE(same) << place.what << ", " << kVariableNames[ix(pin.variable)] << ", " << kWhat[k] << ": " << got[k]
                              << " instead of " << want[k];
        }
        char line[200];
        std::snprintf(line, sizeof line, "    {%d, %s, %.6g, %.6g, %.6g, %.6g, %.6g},\n", pin.place,
                      kVariableNames[ix(pin.variable)], got[0], got[1], got[2], got[3], got[4]);
        table += line;
    }
    if (changed) ADD_FAILURE() << "The numbers as this build gives them:\n" << table;
}

TEST_F(KrigingPinned, ASettingsChangeWithinOneProcessGivesWhatAFreshProcessGives) {
    // Models are shared by folder and database; one fitted on another neighbour selection must
    // not serve the changed settings, neither to the same engine nor to a new one. A copy of the
    // folder has no model yet, as in a fresh process.
    TempFolder copy("kriging-pinned-copy");
    std::filesystem::copy(folder_->path(), copy.path(), std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing);
    const auto copyDatabase = std::make_shared<StationDatabase>(copy.str());
    struct Change { const char* what; void (*apply)(ProgramSettings&); };
    const Change changes[] = {
        {"MaxStat 8", [](ProgramSettings& s) { s.MaxStat = 8; }},
        {"MaxDist 700 km", [](ProgramSettings& s) { s.MaxDist = 700; }},
        {"neighbours between 0 and 1000 m", [](ProgramSettings& s) { s.NeighbAlt = 1; s.MinHigh = 0; s.MaxHigh = 1000; }},
    };
    const Location place{"", 8, 40, 300};
    for (const Change& change : changes)
        for (int variable : {Temp, Tmax}) {
            ProgramSettings settings;
            Engine same(settings, folder_->str(), *database_);
            same.Run(variable, place);
            change.apply(settings);
            same.Run(variable, place);
            Engine other(settings, folder_->str(), *database_);
            other.Run(variable, place);
            Engine fresh(settings, copy.str(), copyDatabase);
            fresh.Run(variable, place);
            EXPECT_EQ(engineDifference(same, fresh), "") << change.what << ", the same engine, " << kVariableNames[ix(variable)];
            EXPECT_EQ(engineDifference(other, fresh), "") << change.what << ", a new engine, " << kVariableNames[ix(variable)];
        }
}

TEST_F(KrigingPinned, DerivedTerrainFileWithBytesAddedOrCutIsDerivedAnew) {
    const TerrainCovariates intact(folder_->str());
    ASSERT_TRUE(intact.fromFile());
    const std::string bytes = readFile(folder_->file(TerrainCovariates::kFileName));
    std::string otherMagic = bytes;
    otherMagic[6] = '2';
    struct Case { const char* what; std::string file; };
    const Case cases[] = {{"one byte added", bytes + '\0'}, {"one byte cut", bytes.substr(0, bytes.size() - 1)},
                          {"a header of another version", otherMagic}};
    TempFolder other("kriging-terrain-file");
    other.write(kTerrainFileName, readFile(folder_->file(kTerrainFileName)));
    for (const Case& c : cases) {
        other.write(TerrainCovariates::kFileName, c.file);
        const TerrainCovariates t(other.str());
        EXPECT_FALSE(t.fromFile()) << c.what;
        for (const auto& [lon, lat] : {std::pair{-179.95f, 62.0f}, {-1.5f, 42.0f}, {15.0f, 45.0f}}) {
            const TerrainAround a = t.at(lon, lat), b = intact.at(lon, lat);
            EXPECT_EQ(std::vector<float>({a.seaNear, a.sea25, a.sea100, a.sea500, a.mean10, a.mean50}),
                      std::vector<float>({b.seaNear, b.sea25, b.sea100, b.sea500, b.mean10, b.mean50}))
                << c.what << " at " << lon << ", " << lat;
        }
    }
}

namespace {
// Rings of stations without an elevation raster (no terrain, so the fit has only the altitude
// terms), each variable the same at every station: the kriged value is then the stations'
// value, and a limit or threshold can be met to the hundredth.
std::vector<Station> ring(float lon, float lat, int n, float alt, const std::string& tag) {
    std::vector<Station> out;
    for (int k = 0; k < n; ++k) {
        const float a = 2 * kPi * static_cast<float>(k) / static_cast<float>(n);
        out.push_back(makeStation(lon + 1.5f * std::cos(a), lat + 1.0f * std::sin(a), alt, 0, tag + std::to_string(k)));
    }
    return out;
}
std::vector<Station> withValues(std::vector<Station> stations, float first, float second) {
    for (Station& s : stations)
        for (int m = 1; m <= 12; ++m) s.Data[ix(m)] = m <= 6 ? first : second;
    return stations;
}
std::vector<Station> joined(std::vector<Station> a, const std::vector<Station>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Ring A around 10 E, 45 N and ring B around 10 E, 45 S, ten stations each at 1500 m: Temp 20,
// Tmax 28 and Tmin 12 C. The first station of A reports Tmax and Tmin 3.05 K beyond them (an
// annual range 6.1 K wider than its neighbours'), the first of B 2.95 K (5.9 K). Vapour
// pressure 30 hPa January to June, 40 hPa July to December (saturation at 28 C is 37.8 hPa).
// Precipitation 1083.5 mm every month in A, 1083.2 mm in B (the annual record: 13000 / 12 =
// 1083.33 mm a month).
class KrigingEdges : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new TempFolder("kriging-edges");
        const std::vector<Station> a = ring(10, 45, 10, 1500, "A"), b = ring(10, -45, 10, 1500, "B");
        StationLists lists;
        lists[ix(Temp)] = withValues(joined(a, b), 20, 20);
        lists[ix(Tmax)] = withValues(joined(a, b), 28, 28);
        lists[ix(Tmin)] = withValues(joined(a, b), 12, 12);
        for (int m = 1; m <= 12; ++m) {
            lists[ix(Tmax)][0].Data[ix(m)] += 3.05f;
            lists[ix(Tmin)][0].Data[ix(m)] -= 3.05f;
            lists[ix(Tmax)][10].Data[ix(m)] += 2.95f;
            lists[ix(Tmin)][10].Data[ix(m)] -= 2.95f;
        }
        lists[ix(Vap)] = withValues(joined(a, b), 30, 40);
        lists[ix(Prec)] = joined(withValues(a, 1083.5f, 1083.5f), withValues(b, 1083.2f, 1083.2f));
        writeStationDatabase(folder_->str(), lists);
    }
    static void TearDownTestSuite() { delete folder_; }
    static TempFolder* folder_;
};
TempFolder* KrigingEdges::folder_ = nullptr;
}  // namespace

TEST_F(KrigingEdges, MonthlyExtremesAreFlaggedJustOverTheLimitAndNotJustUnder) {
    const std::vector<Station> extremes = KrigingModel::extremeStations(ProgramSettings{}, folder_->str(), nullptr, nullptr);
    ASSERT_EQ(extremes.size(), 1u);
    EXPECT_EQ(extremes[0].Name, "A0");
}

TEST_F(KrigingEdges, AnnualPrecipitationJustOverTheRecordIsScaledDownAndJustUnderIsKept) {
    const ProgramSettings settings;
    Engine engine(settings, folder_->str());
    for (const auto& [lat, annual, capped] : {std::tuple{45.0f, 13000.0f / 12, true}, {-45.0f, 1083.2f, false}}) {
        const EstimateResult& e = engine.Run(Prec, {"", 10, lat, 1500}).result;
        for (int m : {1, 7, 13}) EXPECT_NEAR(e.Best[ix(m)], annual, 0.01f) << "lat " << lat << " month " << m;
        EXPECT_EQ((e.Caps[1] & CapRecord) != 0, capped) << "lat " << lat;
    }
}

TEST(KrigingErrorGate, StandardErrorsNeedTenLeaveOneOutRowsAndMinStatErrActiveNeighbours) {
    struct Case { int stations; float minStatErr; bool error; };
    for (const Case& c : {Case{9, 6, false}, {10, 6, true}, {10, 10, true}, {10, 11, false}}) {
        TempFolder folder("kriging-gate");
        StationLists lists;
        lists[ix(Temp)] = ring(10, 45, c.stations, 500, "G");
        for (Station& s : lists[ix(Temp)])
            for (int m = 1; m <= 12; ++m) s.Data[ix(m)] = 10 + s.Lon + 0.1f * static_cast<float>(m);
        writeStationDatabase(folder.str(), lists);
        ProgramSettings settings;
        settings.MinStatErr = c.minStatErr;
        Engine engine(settings, folder.str());
        const VariableResult r = engine.Run(Temp, {"", 10, 45, 500});
        ASSERT_EQ(r.neighbours.ActiveCount, c.stations);
        EXPECT_EQ(r.result.HasStdErr, c.error) << c.stations << " stations, MinStatErr " << c.minStatErr;
        EXPECT_EQ(r.result.StdErr[1] > 0, c.error) << c.stations << " stations, MinStatErr " << c.minStatErr;
    }
}

TEST_F(KrigingEdges, FarBelowItsNeighboursVapourPressureIsKeptBelowSaturationAtTmaxNotAtTemp) {
    // 700 m below the ring: Tmax about 29.3 C, Temp 21.3 C; the vapour pressure carried down,
    // 32 and 43 hPa, lies between saturation at Temp (25 hPa) and at Tmax (41 hPa) in the first
    // half of the year and above both in the second. Only the second half is moved, to
    // saturation at Tmax; its error grows by half the move, and the annual value follows.
    const ProgramSettings settings;
    const Location place{"", 10, 45, 800};
    Engine alone(settings, folder_->str());  // the estimate of vapour pressure on its own
    alone.Select(Vap, place);
    alone.ActivateNeighbours();
    alone.BuildMeanStation();
    alone.Estimate();
    const EstimateResult vap = alone.result().result;
    Engine engine(settings, folder_->str());
    const EstimateResult tmax = engine.Run(Tmax, place).result, temp = engine.Run(Temp, place).result;
    const EstimateResult kept = engine.Run(Vap, place).result;
    ASSERT_TRUE(kept.HasStdErr);
    float sum = 0;
    for (int m = 1; m <= 12; ++m) {
        const size_t i = ix(m);
        // The model carried 500 m down (every station at one altitude leaves it nothing to
        // fit), then the standard lapse rate.
        EXPECT_NEAR(temp.Best[i], 20 + 0.0065f * 200, 1e-3f) << m;
        EXPECT_NEAR(tmax.Best[i], 28 + 0.0065f * 200, 1e-3f) << m;
        const float saturation = saturationOverWater(tmax.Best[i]);
        ASSERT_GT(vap.Best[i], saturationOverWater(temp.Best[i])) << m;
        EXPECT_EQ(vap.Best[i] > saturation, m > 6) << m;
        EXPECT_FLOAT_EQ(kept.Best[i], std::min(vap.Best[i], saturation)) << m;
        EXPECT_EQ((kept.Caps[i] & CapSaturation) != 0, m > 6) << m;
        EXPECT_FLOAT_EQ(kept.StdErr[i], std::hypot(vap.StdErr[i], 0.5f * (vap.Best[i] - kept.Best[i]))) << m;
        sum += kept.Best[i];
    }
    EXPECT_NEAR(kept.Best[13], sum / 12, 1e-3f);
}
