// Robust altitude and gradient corrections: the shrunk slope and plane on hand-worked
// neighbourhoods, physical bounds, the method line of the result file, and the limits the
// robust and adaptive methods put on estimates beyond their neighbours.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "base/records.h"
#include "data/station_database.h"
#include "engine/engine.h"
#include "fixture.h"

using namespace zentrel;
using zentrel::test::makeStation;

using Bench = test::EngineBench;

TEST(RobustCorrections, AltitudeSlopeIsShrunkTowardsTheLapseRate) {
    // Altitudes 0, 1000, 2000 m with -6 K/km: Sxx = 2e6 m^2, so with k = 2e6 m^2 the slope is
    // the mean of -0.006 and the prior -0.0065.
    std::vector<Station> st{makeStation(10, 50, 0, 10, "a"), makeStation(10.5f, 50, 1000, 4, "b"), makeStation(10, 50.5f, 2000, -2, "c")};
    Bench classic, robust;
    robust.settings.RobustCorr = 1;
    EXPECT_NEAR(classic.run(st, 10.2f, 50.2f, 500).VertGrad[1], -0.006f, 1e-6);
    EXPECT_NEAR(robust.run(st, 10.2f, 50.2f, 500).VertGrad[1], -0.00625f, 1e-6);
    // Other variables shrink towards no slope, lightly (k = 1e4 m^2).
    for (Station& s : st) s.Data.fill(s.Data[1] + 20);
    EXPECT_NEAR(robust.run(st, 10.2f, 50.2f, 500, Vap).VertGrad[1], -0.006 * 2e6 / (2e6 + 1e4), 1e-6);
}

TEST(RobustCorrections, TemperatureSlopeIsCappedJustBeyondMinusTwelveAndPlusEightKPerKm) {
    // As above, Sxx = k: the shrunk slope is the mean of the fitted one and -6.5 K/km.
    struct Case { float fitted, kept; bool capped; };
    for (const Case& c : {Case{-0.0177f, -0.012f, true}, {-0.0173f, -0.0119f, false}, {0.0227f, 0.008f, true}, {0.0223f, 0.0079f, false}}) {
        const std::vector<Station> st{makeStation(10, 50, 0, 10, "a"), makeStation(10.5f, 50, 1000, 10 + 1000 * c.fitted, "b"),
                                      makeStation(10, 50.5f, 2000, 10 + 2000 * c.fitted, "c")};
        Bench robust;
        robust.settings.RobustCorr = 1;
        const EstimateResult& r = robust.run(st, 10.2f, 50.2f, 500);
        EXPECT_NEAR(r.VertGrad[1], c.kept, 1e-6) << c.fitted;
        EXPECT_EQ((r.Caps[1] & CapSlope) != 0, c.capped) << c.fitted;
    }
}

TEST(RobustCorrections, NarrowAltitudeRangeStaysWithinPhysicalBounds) {
    // Ten neighbours within 9 m of altitude and noisy values: the least-squares slope is
    // several K/m and a location 3000 m higher is extrapolated far out of range.
    std::vector<Station> st;
    for (int k = 0; k < 10; ++k)
        st.push_back(makeStation(static_cast<float>(k % 5) * 0.4f, static_cast<float>(k / 5) * 0.4f,
                                 static_cast<float>(100 + k), k % 2 ? -20.0f : -10.0f, "s" + std::to_string(k)));
    Bench classic, robust;
    robust.settings.RobustCorr = 1;
    EXPECT_LT(classic.run(st, 0.8f, 0.2f, 3100).Best[1], -90.0f);
    const EstimateResult& r = robust.run(st, 0.8f, 0.2f, 3100);
    EXPECT_NEAR(r.VertGrad[1], -0.0065f, 0.001f);
    for (size_t m = 1; m <= 12; ++m) EXPECT_TRUE(r.Best[m] >= -90.0f && r.Best[m] <= 60.0f) << m << ": " << r.Best[m];
    // Sunshine fractions stay within 0..1 even where the plain method leaves them.
    for (Station& s : st) s.Data.fill(0.98f - 0.001f * (s.Alt - 100) * (s.Name.back() % 2 ? 1 : -1));
    robust.run(st, 0.8f, 0.2f, 3100, Sun);
    for (size_t m = 1; m <= 12; ++m) EXPECT_LE(robust.res.Best[m], 1.0f);
}

TEST(RobustCorrections, PlaneIsDampedByRidge) {
    // Six stations on a parallel at lon offsets -5..5 (sum of squares 70), value 10 + 0.7 x:
    // the ridge slope is 0.7 * 70 / (70 + 16); no north-south spread gives no north gradient.
    std::vector<Station> st;
    for (int x = -5; x <= 5; x += 2)
        st.push_back(makeStation(static_cast<float>(x), 0, 0, 10 + 0.7f * static_cast<float>(x), "x" + std::to_string(x)));
    Bench robust;
    robust.settings.RobustCorr = 1;
    EXPECT_NEAR(robust.run(st, 0, 0.1f, 0, Prec).LongGradDeg[1], 0.7 * 70 / 86, 1e-4);
    EXPECT_NEAR(robust.res.LatGradDeg[1], 0, 1e-6);
}

// Ten lowland stations 0..90 m high around (120.6, 16.4) whose precipitation rises steeply with
// altitude within that narrow range (a fitted slope of several per cent per metre), and a
// location 1500 m high among them, as a mountain town among coastal stations.
static std::vector<Station> lowlandWetterUphill() {
    std::vector<Station> st;
    for (int k = 0; k < 10; ++k)
        st.push_back(makeStation(120.0f + 0.3f * static_cast<float>(k % 5), 16.0f + 0.6f * static_cast<float>(k / 5),
                                 static_cast<float>(10 * k), 20.0f + 30.0f * static_cast<float>(k), "s" + std::to_string(k)));
    return st;
}

TEST(PlausibleLimits, EstimateAboveAllNeighboursStaysWithinTheirEnvelopeAndSaysSo) {
    const std::vector<Station> st = lowlandWetterUphill();
    std::vector<EnvelopeNeighbour> near;
    for (const Station& s : st) near.push_back({s.Data[1], s.Alt});
    const ValueRange envelope = neighbourEnvelope(Prec, near.data(), static_cast<int>(near.size()), 1500);
    for (Method method : {Method::Robust, Method::Adaptive}) {
        Bench b(method);
        const EstimateResult up = b.run(st, 120.6f, 16.4f, 1500, Prec), level = b.run(st, 120.6f, 16.4f, 45, Prec);
        // Extrapolated 1400 m beyond the neighbours' altitudes: a wider interval than among them.
        for (size_t m = 1; m <= 12; ++m)
            EXPECT_EQ(std::tuple(up.Best[m] <= envelope.high, up.Caps[m] != 0, up.StdErrLog[m] > level.StdErrLog[m]), std::tuple(true, true, true))
                << methodName(method) << " month " << m;
        EXPECT_EQ(level.Caps[1] & (CapEnvelope | CapRecord), 0) << methodName(method);
    }
    // The described method is left as it is: it extrapolates the fitted slope.
    Bench described;
    EXPECT_GT(described.run(st, 120.6f, 16.4f, 1500, Prec).Best[1], envelope.high);
}

TEST(PlausibleLimits, AdaptivePrecipitationBoundsLieInRatioSpaceAndItsBiasIsTheMeanLeaveOneOutErrorNotZero) {
    Bench b(Method::Adaptive);
    const EstimateResult& r = b.run(lowlandWetterUphill(), 120.6f, 16.4f, 45, Prec);
    ASSERT_TRUE(r.HasStdErr);
    for (int m : {1, 7, 13}) {
        const float best = r.Best[static_cast<size_t>(m)], low = lowBound(r, m, 1.645f), high = highBound(r, m, 1.645f);
        EXPECT_GT(low, 0.0f) << m;
        EXPECT_LT(best - low, high - best) << "a ratio interval is wider above than below, month " << m;
    }
    EXPECT_TRUE(std::any_of(r.Bias.begin() + 1, r.Bias.begin() + 13, [](float bias) { return bias != 0; }));
    // Without an error estimate there are no bounds.
    EXPECT_TRUE(std::isnan(lowBound(EstimateResult{}, 1, 1.645f)));
}

TEST(PlausibleLimits, PlacesOnEitherSideOfTheDateLineGetOneClimate) {
    // Stations on both sides of 180 degrees whose values rise eastwards across the line.
    std::vector<Station> st;
    for (int k = 0; k < 10; ++k) {
        const float east = -2.5f + 0.5f * static_cast<float>(k), lon = east > 0 ? east - 180.0f : 180.0f + east;  // -2.5 .. 2 degrees from the line
        st.push_back(makeStation(lon, 65.0f + 0.3f * static_cast<float>(k % 3), static_cast<float>(20 * (k % 4)),
                                 -25.0f + 2.0f * east, "d" + std::to_string(k)));
    }
    for (Method method : {Method::Described, Method::Robust, Method::Adaptive}) {
        Bench b(method);
        const float west = b.run(st, 180.0f, 65.3f, 30).Best[1];
        EXPECT_NEAR(b.run(st, -180.0f, 65.3f, 30).Best[1], west, 1e-3) << methodName(method);
        EXPECT_NEAR(west, -25.0f, 1.5f) << methodName(method);
    }
}

TEST(PlausibleLimits, AboveEveryNeighbourTemperaturesKeepTheirOrderAndVapourFalls) {
    // Coastal stations of a polar winter (0..90 m, Tmin 8 C below Tmax) and a place 2,800 m up on
    // the ice, with all the neighbours and with only the nearest one: every temperature falls by
    // the standard lapse rate beyond the neighbours' altitudes (the polar inversion of the prior
    // belongs to the valleys among them), and vapour pressure by a tenth per 6.3 km.
    for (Method method : {Method::Robust, Method::Adaptive})
        for (int16_t maxStat : {int16_t{20}, int16_t{1}}) {
            SCOPED_TRACE(std::string(methodName(method)) + " with " + std::to_string(maxStat) + " neighbours");
            Bench b(method);
            b.settings.MaxStat = maxStat;
            const auto coast = [&b](int v, float value, float rise) {  // the stations' values rise by `rise` each
                std::vector<Station> st;
                for (int k = 0; k < 10; ++k)
                    st.push_back(makeStation(-20.0f - 0.4f * static_cast<float>(k), 74.0f + 0.3f * static_cast<float>(k % 3),
                                             static_cast<float>(10 * k), value + rise * static_cast<float>(k), "c" + std::to_string(k)));
                return b.run(st, -22.0f, 74.3f, 2800, v).Best[1];
            };
            const float temp = coast(Temp, -20, 0.1f), tmax = coast(Tmax, -16, 0.1f), tmin = coast(Tmin, -24, 0.1f);
            EXPECT_TRUE(tmin < temp && temp < tmax) << tmin << " < " << temp << " < " << tmax;
            EXPECT_NEAR(temp, -20.5f - 0.0065f * 2760, 1.5f);
            EXPECT_NEAR(coast(Vap, 1.5f, 0), 1.5f * std::pow(10.0f, -2760.0f / 6300), 0.15f);
        }
}

TEST(PlausibleLimits, LoneNeighbourAtTheLocationsAltitudeDoesNotDecideItsClimate) {
    // Lowland stations near a hill town at 1,400 m get 400 mm; one station 1,300 m up, far
    // away, gets 2,800 mm. The similar-altitude weights widen to the second most similar
    // neighbour, so the far summit does not become the town's climate: the town stays well
    // below half way to it. (The town lies 5 km from a lowland station: on top of one, the
    // estimate is made there as anywhere else, not copied from the station.)
    std::vector<Station> st;
    for (int k = 0; k < 9; ++k)
        st.push_back(makeStation(92.0f + 0.5f * static_cast<float>(k % 3), 23.5f + 0.5f * static_cast<float>(k / 3),
                                 static_cast<float>(20 + 30 * k), 400, "l" + std::to_string(k)));
    st.push_back(makeStation(91.7f, 25.3f, 1300, 2800, "summit"));
    Bench b(Method::Adaptive);
    EXPECT_LT(b.run(st, 92.55f, 24.0f, 1400, Prec).Best[7], 1200.0f);
    EXPECT_LT(b.run(st, 92.5f, 24.0f, 1400, Prec).Best[7], 1200.0f);
}

TEST(PlausibleLimits, TemperaturesAndVapourOfAnExtrapolatedPlaceAreOneClimate) {
    // The ice sheet 2,000 m up: Tmax, Tmin and Vap know only coastal stations (0..90 m), so each
    // falls by its own prior; the mean temperature also knows a station 1,900 m up, much colder
    // than the lapse rate says. Tmax and Tmin move to the mean temperature, keeping their range,
    // and vapour pressure stays below saturation at the Tmax kept.
    const float lon = -40, lat = 72, alt = 2000;
    std::vector<Station> coast;
    for (int k = 0; k < 10; ++k)
        coast.push_back(makeStation(lon - 2.0f + 0.4f * static_cast<float>(k), lat - 2.0f + 0.3f * static_cast<float>(k % 3),
                                    static_cast<float>(10 * k), 0, "c" + std::to_string(k)));
    const auto at = [&](float value) {
        std::vector<Station> st = coast;
        for (Station& s : st) s.Data.fill(value);
        return st;
    };
    test::TempFolder folder("one-climate");
    test::writeDataFolder(folder, lon, lat, at(-20));
    std::vector<Station> temp = at(-20);
    temp.push_back(makeStation(lon + 0.2f, lat, 1900, -40, "summit"));
    folder.write(candidateFiles(Temp, lon, lat)[0], test::stationLines(temp));
    folder.write(wholeFileName(Tmax), test::stationLines(at(-16)));
    folder.write(wholeFileName(Tmin), test::stationLines(at(-24)));
    folder.write(wholeFileName(Vap), test::stationLines(at(1.5f)));
    for (Method method : {Method::Robust, Method::Adaptive}) {
        SCOPED_TRACE(methodName(method));
        const ProgramSettings settings = test::describedSettings(method);
        Engine engine(settings, folder.path().string());
        std::array<EstimateResult, 5> r{};
        for (int v : {Temp, Tmax, Tmin, Vap}) r[static_cast<size_t>(v)] = engine.Run(v, Location{"ice", lon, lat, alt}).result;
        const float t = r[Temp].Best[1], tmax = r[Tmax].Best[1], tmin = r[Tmin].Best[1];
        EXPECT_LT(t, -35.0f) << "the summit station decides the mean temperature";
        EXPECT_NEAR((tmax + tmin) / 2, t, 0.01f);
        EXPECT_NEAR(tmax - tmin, 8.0f, 0.5f) << "the range of Tmax and Tmin is kept";
        EXPECT_EQ(std::tuple(r[Tmax].Caps[1] & CapTemperatureOrder, r[Tmin].Caps[1] & CapTemperatureOrder),
                  std::tuple(CapTemperatureOrder, CapTemperatureOrder));
        EXPECT_LE(r[Vap].Best[1], 6.1078f * std::exp(17.27f * tmax / (tmax + 237.3f)) * 1.0001f);
        EXPECT_TRUE(r[Vap].Caps[1] & CapSaturation);
        EXPECT_EQ(r[Temp].Caps[1] & (CapTemperatureOrder | CapSaturation), 0) << "the mean temperature stays";
    }
}

TEST(PlausibleLimits, AStationAtTheAntipodeIsNotTheNearestNeighbour) {
    // The distance formula gives 0 at the antipode: the described method keeps that, the others
    // leave a station on the far side of the Earth out.
    const float lon = 111.25f, lat = 30.25f;
    std::vector<Station> st{makeStation(lon - 180, -lat, 1175, 30, "antipode")};
    for (int k = 0; k < 6; ++k)
        st.push_back(makeStation(lon + 0.5f * static_cast<float>(k % 3), lat + 0.4f * static_cast<float>(k / 3), 100, 8, "n" + std::to_string(k)));
    test::TempFolder folder("antipode");
    test::writeDataFolder(folder, lon, lat, st);
    const auto database = std::make_shared<StationDatabase>(folder.str());
    for (Method method : {Method::Described, Method::Robust, Method::Adaptive})
        for (bool spatial : {true, false}) {  // the database's search, and the files read whole
            SCOPED_TRACE(std::string(methodName(method)) + (spatial ? " from the database" : " from the files"));
            const ProgramSettings settings = test::describedSettings(method);
            Engine engine(settings, folder.str(), spatial ? database : nullptr);
            const VariableResult r = engine.Run(Tmax, Location{"", lon, lat, 100});
            bool antipode = false;
            for (int i = 1; i <= r.neighbours.NeighbourCount; ++i) antipode = antipode || r.neighbours[i].Name == "antipode";
            EXPECT_EQ(antipode, method == Method::Described);
            if (method != Method::Described) { EXPECT_NEAR(r.result.Best[1], 8.0f, 0.5f); }
        }
}
