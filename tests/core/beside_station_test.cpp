// Estimates beside a station: the robust, adaptive and kriging methods measure in double
// precision and estimate there as anywhere else (altitude moved, error estimated); the
// described method keeps copying a station within MinDist with its single-precision distances.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "data/data_folder.h"
#include "data/station_database.h"
#include "engine/engine.h"
#include "base/geometry.h"
#include "fixture.h"

using namespace zentrel;
using zentrel::test::makeStation;

namespace {
// Twelve valley and slope stations around 11.34 E, 47.26 N: 6.5 K colder per km up, a little
// noise so that the leave-one-out errors are not all 0.
std::vector<Station> alpineStations() {
    std::vector<Station> st;
    const float alts[] = {593, 1900, 820, 2300, 1100, 650, 1500, 700, 2100, 900, 1300, 1750};
    for (int k = 0; k < 12; ++k) {
        const float lon = 11.34f + 0.09f * static_cast<float>(k % 4) - (k == 0 ? 0 : 0.12f);
        const float lat = 47.26f + 0.07f * static_cast<float>(k / 4) - (k == 0 ? 0 : 0.05f);
        Station s = makeStation(lon, lat, alts[k], 0, "s" + std::to_string(k));
        for (int m = 1; m <= 12; ++m)
            s.Data[static_cast<size_t>(m)] = 8.0f - 0.0065f * alts[k] + 10.0f * std::sin(static_cast<float>(m) / 2) +
                                             0.3f * static_cast<float>((k * 7 + m) % 5 - 2);
        st.push_back(s);
    }
    return st;
}
}  // namespace

TEST(PreciseDistance, MetresApartAreNotZeroAndFarPointsAgreeWithTheSinglePrecisionDistance) {
    // 0.001 degrees of latitude: 111.19 m on a sphere of radius 6370.997 km.
    EXPECT_NEAR(preciseDistance(11.34, 47.26, 11.34, 47.261), 6370.997 * 0.001 * M_PI / 180, 1e-9);
    EXPECT_EQ(Distance(11.34f, 47.26f, 11.34f, 47.261f), 0.0f);  // what the described method keeps
    EXPECT_EQ(preciseDistance(11.34, 47.26, 11.34, 47.26), 0.0);
    EXPECT_NEAR(preciseDistance(0, 0, 90, 0), 6370.997 * M_PI / 2, 1e-6);
    EXPECT_NEAR(preciseDistance(10, 45, 13, 48), Distance(10, 45, 13, 48), 0.05);
}

TEST(BesideAStation, TheDescribedMethodCopiesTheStationWithinMinDistAndWarns) {
    test::EngineBench bench;
    const std::vector<Station> st = alpineStations();
    const EstimateResult& r = bench.run(st, 11.3605f, 47.26f, 2500);  // 1.55 km east, 1907 m higher
    EXPECT_EQ(bench.ns[1].Dist, 0.0f);
    EXPECT_EQ(r.Best[1], st[0].Data[1]);
    EXPECT_TRUE(bench.warn.WarnHit);
    EXPECT_FALSE(r.HasStdErr);
}

TEST(BesideAStation, RobustAndAdaptiveMoveItToTheAltitudeWithAnErrorAndNoHitWarning) {
    for (Method method : {Method::Robust, Method::Adaptive}) {
        test::EngineBench bench(method);
        const std::vector<Station> st = alpineStations();
        const EstimateResult& r = bench.run(st, 11.3605f, 47.26f, 2500);
        EXPECT_NEAR(bench.ns[1].Dist, 1.55, 0.05) << static_cast<int>(method);
        EXPECT_EQ(bench.ns[1].Name, "s0");
        // About 12 K colder than the valley station 1907 m below (6.5 K per km).
        for (size_t m : {1u, 7u}) EXPECT_NEAR(st[0].Data[m] - r.Best[m], 12.4, 2.0) << static_cast<int>(method) << " month " << m;
        EXPECT_TRUE(r.HasStdErr) << static_cast<int>(method);
        EXPECT_TRUE(std::isfinite(r.StdErr[1]) && r.StdErr[1] > 0) << static_cast<int>(method);
        EXPECT_FALSE(bench.warn.WarnHit) << static_cast<int>(method);
    }
}

TEST(BesideAStation, AWalkAcrossTheStationHasNoStepAndErrorsEverywhere) {
    // Points 100 m apart through the station at its own altitude: the estimate changes little
    // from one to the next (the described method jumps where its distances read 0).
    for (Method method : {Method::Robust, Method::Adaptive}) {
        test::EngineBench bench(method);
        const std::vector<Station> st = alpineStations();
        float previous = NAN;
        for (int k = -20; k <= 20; ++k) {
            const float lon = 11.34f + static_cast<float>(k) * 0.00132f;  // 100 m of longitude
            const EstimateResult& r = bench.run(st, lon, 47.26f, 593);
            ASSERT_TRUE(r.HasStdErr) << k;
            if (!std::isnan(previous)) {
                EXPECT_LT(std::fabs(r.Best[1] - previous), 0.3f) << static_cast<int>(method) << " at " << k;
            }
            previous = r.Best[1];
        }
    }
}

TEST(BesideAStation, TransectUpTheSlopeFromInnsbruckOnTheDefaultData) {
    // Twenty points east of Innsbruck (593 m): 200 m to 800 m away, 600 m to 2600 m high in
    // steps of 500 m. Each method's estimate falls with every step: in July at a lapse rate of
    // 4 to 10 K per km, in January (the valley's inversions) of 1 to 10; a standard error
    // everywhere.
    const auto folder = std::filesystem::read_symlink("/proc/self/exe").parent_path() / kDataFolderName;
    if (!std::filesystem::exists(folder / "mela5lo5.txt") && !std::filesystem::exists(folder / "max.txt"))
        GTEST_SKIP() << "bin/ZentrelData not built (scripts/build-data.sh)";
    auto db = std::make_shared<StationDatabase>(folder.string());
    for (Method method : {Method::Robust, Method::Adaptive, Method::Kriging}) {
        ProgramSettings settings = test::describedSettings(method);
        Engine engine(settings, folder.string(), db);
        for (int step = 1; step <= 4; ++step) {
            const float lon = 11.34f + static_cast<float>(step) * 0.00264f;  // 200 m of longitude
            float january = NAN, july = NAN;
            for (int level = 0; level < 5; ++level) {
                const float alt = 600.0f + 500.0f * static_cast<float>(level);
                const VariableResult r = engine.Run(Temp, {"", lon, 47.26f, alt});
                const std::string where = std::to_string(static_cast<int>(method)) + " at " + std::to_string(step * 200) + " m, " +
                                          std::to_string(static_cast<int>(alt)) + " m";
                EXPECT_TRUE(r.result.HasStdErr && r.result.StdErr[1] > 0) << where;
                EXPECT_FALSE(r.warnings.WarnHit) << where;
                if (!std::isnan(january)) {
                    const float lapseJanuary = (january - r.result.Best[1]) / 0.5f, lapseJuly = (july - r.result.Best[7]) / 0.5f;  // K per km
                    EXPECT_TRUE(lapseJanuary > 1 && lapseJanuary < 10) << where << ": January " << lapseJanuary << " K/km";
                    EXPECT_TRUE(lapseJuly > 4 && lapseJuly < 10) << where << ": July " << lapseJuly << " K/km";
                }
                january = r.result.Best[1];
                july = r.result.Best[7];
            }
        }
    }
}

TEST(BesideAStation, KrigingAtAStationAndItsAltitudeComesToItsNormalsWithoutAStep) {
    // Addis Ababa's station (1,146.9 mm a year at 2354 m) among drier ones: kriging's nugget
    // alone gives about 1,160 mm on top of it. At the station and its altitude its normals,
    // with a standard error; no step between points 550 m apart.
    const auto folder = std::filesystem::read_symlink("/proc/self/exe").parent_path() / kDataFolderName;
    if (!std::filesystem::exists(folder / "max.txt")) GTEST_SKIP() << "bin/ZentrelData not built (scripts/build-data.sh)";
    ProgramSettings settings = test::describedSettings(Method::Kriging);
    Engine engine(settings, folder.string(), std::make_shared<StationDatabase>(folder.string()));
    const auto annual = [&](float lon) {
        const VariableResult r = engine.Run(Prec, {"", lon, 9.03f, 2354});
        EXPECT_TRUE(r.result.HasStdErr) << lon;
        return 12 * r.result.Best[13];
    };
    EXPECT_NEAR(annual(38.75f), 1146.9f, 2.0f);
    float previous = annual(38.74f);
    for (float lon : {38.745f, 38.75f, 38.755f, 38.76f}) {
        const float now = annual(lon);
        EXPECT_LT(std::fabs(now - previous), 150) << lon;
        previous = now;
    }
}
