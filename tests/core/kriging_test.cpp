// The kriging method: its weights, the terrain covariates, the model fitted on leave-one-out
// rows and the Tmax/Tmin quality control, on a synthetic continent and station network.
#include <gtest/gtest.h>

#include <algorithm>

#include <array>
#include <barrier>
#include <cmath>
#include <memory>
#include <thread>
#include <vector>

#include "data/station_database.h"
#include "data/terrain.h"
#include "engine/engine.h"
#include "fixture.h"
#include "kriging/kriging.h"

using namespace zentrel;
using namespace zentrel::test;

namespace {

// Ocean everywhere but a square continent at 1000 m (lon 0..40, lat 0..40) with a lake of
// 10 x 10 cells (far below the sea's least size) at lon 20..20.83, lat 20..20.83, and its
// southern twin at lon 100..140, lat -40..0.
std::string continentRaster() {
    std::string bytes(static_cast<size_t>(kTerrainColumns) * kTerrainRows, '\xff');
    auto cell = [](double lon, double lat) {
        const int c = static_cast<int>((lon + 180) * 12), r = static_cast<int>((90 - lat) * 12);
        return static_cast<size_t>(r) * kTerrainColumns + static_cast<size_t>(c);
    };
    for (double lat = 0.04; lat < 40; lat += 1.0 / 12)
        for (double lon = 0.04; lon < 40; lon += 1.0 / 12) {
            bytes[cell(lon, lat)] = 52;  // 52 * 20 - 40 m
            bytes[cell(lon + 100, -lat)] = 52;
        }
    for (int r = 0; r < 10; ++r)
        for (int c = 0; c < 10; ++c) bytes[cell(20.04 + c / 12.0, 20.04 + r / 12.0)] = '\xff';
    return bytes;
}

// The "true" temperature of the network: a lapse rate of 6.5 K/km, cooler to the north and
// with a seasonal course.
float truth(float lat, float altM, int month) { return 25.0f - 0.0065f * altM - 0.5f * (lat - 20) + 0.8f * static_cast<float>(month % 6); }

// Minimum temperatures whose lapse rate follows the local season: 8.5 K/km in the summer
// (July in the north, January in the south), 4.5 K/km in the winter.
float seasonalTmin(float lat, float altM, int month) {
    const float summer = static_cast<float>(std::cos(2 * M_PI * (month - (lat < 0 ? 1 : 7)) / 12));
    return 15.0f - (0.0065f + 0.002f * summer) * altM - 0.5f * (std::fabs(lat) - 20) + 3 * summer;
}

// Six by six stations around 20 E, 20 N; or the twin of that network on the southern continent.
std::vector<Station> network(bool south = false) {
    std::vector<Station> out;
    for (int k = 0; k < 36; ++k) {
        const float lon = 17.5f + 0.9f * static_cast<float>(k % 6) + (south ? 100.0f : 0.0f);
        const float lat = (17.5f + 0.9f * static_cast<float>(k / 6)) * (south ? -1.0f : 1.0f);
        const float alt = static_cast<float>((k * 577) % 2000);  // scattered 0..2000 m
        Station s = makeStation(lon, lat, alt, 0, "Net " + std::to_string(k) + (south ? " south" : ""));
        for (int m = 1; m <= 12; ++m) s.Data[static_cast<size_t>(m)] = truth(lat, alt, m);
        out.push_back(s);
    }
    return out;
}

class Kriging : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new TempFolder("kriging");
        folder_->write(kTerrainFileName, continentRaster());
        writeDataFolder(*folder_, 20, 20, network());
        // Tmin has the seasonal lapse rate and a twin network on the southern continent.
        std::vector<Station> tmax = network(), tmin = network(), vap = network(), south = network(true);
        tmin.insert(tmin.end(), south.begin(), south.end());
        for (Station& s : tmin)
            for (int m = 1; m <= 12; ++m) s.Data[static_cast<size_t>(m)] = seasonalTmin(s.Lat, s.Alt, m);
        // One station reports monthly extremes as Tmax and Tmin: 9 K above and below.
        for (size_t m = 1; m <= 12; ++m) {
            tmax[14].Data[m] += 9;
            tmin[14].Data[m] -= 9;
        }
        vap[20].Data[7] += 15;  // another reports a July vapour pressure 15 hPa above what its place gives
        folder_->write(wholeFileName(Vap), stationLines(vap));
        folder_->write(wholeFileName(Tmax), stationLines(tmax));
        folder_->write(wholeFileName(Tmin), stationLines(tmin));
        TerrainCovariates::writeDerived(folder_->str(), folder_->file(TerrainCovariates::kFileName));
    }
    static void TearDownTestSuite() { delete folder_; }

    static VariableResult estimate(int variable, float lon, float lat, float alt) {
        ProgramSettings s;
        s.Method = Method::Kriging;
        Engine engine(s, folder_->str(), std::make_shared<StationDatabase>(folder_->str()));
        return engine.Run(variable, Location{"", lon, lat, alt});
    }
    static TempFolder* folder_;
};
TempFolder* Kriging::folder_ = nullptr;

}  // namespace

TEST(KrigingWeights, SumToOneAndFavourTheNearerAndTheAlikePoint) {
    const KrigingParams p = krigingParams(Temp);
    auto at = [](float lon, float lat, float alt, float sea = 0) { return KrigingPoint{spherePoint(lon, lat), alt, sea}; };
    struct Case { const char* what; std::vector<KrigingPoint> points; KrigingPoint target; float firstAtLeast, firstAtMost; };
    const std::vector<Case> cases = {
        {"one point takes all", {at(1, 1, 0)}, at(0, 0, 0), 1, 1},
        {"mirror images share", {at(-1, 0, 0), at(1, 0, 0)}, at(0, 0, 0), 0.499f, 0.501f},
        {"the nearer weighs more", {at(0.5f, 0, 0), at(-2, 0, 0)}, at(0, 0, 0), 0.6f, 1},
        {"the one at the target's altitude weighs more", {at(-1, 0, 500), at(1, 0, 1500)}, at(0, 0, 500), 0.6f, 1},
        {"the one as near the sea weighs more", {at(-1, 0, 0, 0.9f), at(1, 0, 0, 0)}, at(0, 0, 0, 0.9f), 0.6f, 1},
    };
    for (const Case& c : cases) {
        std::vector<float> w(c.points.size());
        float variance = 0;
        krigingWeights(p, c.points.data(), static_cast<int>(c.points.size()), c.target, w.data(), variance);
        float sum = 0;
        for (float x : w) sum += x;
        EXPECT_NEAR(sum, 1, 1e-5) << c.what;
        EXPECT_GE(w[0], c.firstAtLeast) << c.what;
        EXPECT_LE(w[0], c.firstAtMost) << c.what;
        EXPECT_GT(variance, 0) << c.what;
    }
}

TEST(KrigingWeights, ASetOfPointsGivesTheSameWeightsInAnyOrderAndAfterAnySystem) {
    // Each thread keeps the last system it eliminated, for the next place with the same
    // neighbours: what it gives must be what a system eliminated anew gives, bit for bit.
    const KrigingParams p = krigingParams(Prec);
    std::vector<KrigingPoint> points, other;
    for (int i = 0; i < 12; ++i) {
        points.push_back({spherePoint(0.3f * static_cast<float>(i % 4), 0.2f * static_cast<float>(i / 4)), 100.0f * static_cast<float>(i % 3), 0.1f * static_cast<float>(i % 5)});
        other.push_back({spherePoint(5 + 0.1f * static_cast<float>(i), 5), 0, 0});
    }
    const KrigingPoint target{spherePoint(0.4f, 0.25f), 150, 0.2f}, elsewhere{spherePoint(0.1f, 0.5f), 20, 0};
    const auto weights = [&](const std::vector<KrigingPoint>& pts, const KrigingPoint& t) {
        std::vector<float> w(pts.size());
        float variance = 0;
        krigingWeights(p, pts.data(), static_cast<int>(pts.size()), t, w.data(), variance);
        w.push_back(variance);
        return w;
    };
    weights(other, target);
    const std::vector<float> fresh = weights(points, target);  // eliminated anew
    weights(points, elsewhere);                               // the same system kept, another place
    EXPECT_EQ(weights(points, target), fresh);
    std::vector<KrigingPoint> reversed(points.rbegin(), points.rend());
    std::vector<float> back = weights(reversed, target);
    std::reverse(back.begin(), back.end() - 1);  // the weights in the points' own order, the variance last
    EXPECT_EQ(back, fresh);
    // A point a metre higher is another system, not the one kept.
    std::vector<KrigingPoint> moved = points;
    moved[5].alt += 1;
    weights(other, target);
    const std::vector<float> movedFresh = weights(moved, target);
    weights(other, target);
    weights(points, target);  // kept now: the system of the points as they were
    EXPECT_EQ(weights(moved, target), movedFresh);
    EXPECT_NE(movedFresh, fresh);
}

TEST(KrigingCovariates, TropicalAndExtratropicalPartsAddUpAndJoinSmoothly) {
    // The temperatures' altitude is split into a tropical and an extratropical part, and so is
    // the distance from the equator (northern and southern apart beyond the tropics): the parts
    // add up to the whole everywhere, the tropics see no extratropical part and the high
    // latitudes no tropical one, and nothing jumps where the blend begins or ends.
    const KrigingParams p = krigingParams(Temp);
    auto x = [&](float lat) { return krigingCovariates(p, lat, 2000, TerrainAround{}); };
    for (float lat : {-60.0f, -30.0f, -20.0f, -5.0f, 0.0f, 5.0f, 10.0f, 20.0f, 30.0f, 45.0f, 80.0f}) {
        const auto c = x(lat);
        EXPECT_NEAR(c[0] + c[1], 2.0f, 1e-5) << "altitude parts at " << lat;
        EXPECT_NEAR(c[2] + c[3] + c[4], std::fabs(lat) / 10, 1e-5) << "latitude parts at " << lat;
        EXPECT_EQ(lat > 0 ? c[3] : c[2], 0) << "the other hemisphere's part at " << lat;
        EXPECT_TRUE(std::fabs(lat) > 10 || c[1] + c[2] + c[3] == 0) << "extratropical parts in the tropics at " << lat;
        EXPECT_TRUE(std::fabs(lat) < 30 || (c[0] == 0 && std::fabs(c[4] - 2.0f) < 1e-5f))
            << "a tropical altitude part, or a tropical latitude part still growing, at " << lat;
    }
    for (float edge : {p.polarFromDeg, p.polarToDeg, -p.polarFromDeg, -p.polarToDeg}) {
        const auto below = x(edge - 0.01f * (edge > 0 ? 1 : -1)), above = x(edge + 0.01f * (edge > 0 ? 1 : -1));
        for (size_t a = 0; a < 5; ++a) EXPECT_NEAR(below[a], above[a], 0.002f) << "covariate " << a << " at " << edge;
    }
}

TEST_F(Kriging, TerrainCovariatesTellSeaFromLakeAndCoastFromInland) {
    const TerrainCovariates t(folder_->str());
    EXPECT_TRUE(t.fromFile());
    const TerrainAround coast = t.at(0.2f, 20), inland = t.at(20.4f, 10), byLake = t.at(20.4f, 20.4f);
    EXPECT_NEAR(coast.seaNear, std::exp(-22.0f / 50), 0.1f);  // about 22 km from the coast
    EXPECT_GT(coast.sea100, 0.2f);
    EXPECT_LT(inland.seaNear, 0.01f);
    EXPECT_EQ(inland.sea500, 0);
    EXPECT_NEAR(inland.mean50, 1000, 1);
    EXPECT_LT(byLake.seaNear, 0.01f);  // a lake is not the sea
    EXPECT_EQ(byLake.sea25, 0);
    EXPECT_LT(byLake.mean10, 100);     // but its water lowers the mean altitude around
    EXPECT_EQ(t.at(-30, 20).seaNear, 1);
}

TEST_F(Kriging, LapseRateFollowsTheSeasonOfEachHemisphere) {
    // Both networks lapse most in their own summer. Coefficients kept by calendar month would
    // pull each hemisphere's towards the other's opposite season (the global coefficients are
    // the local fit's prior) and miss January and July by about 1 K at 1850 m.
    for (const auto& [lon, lat] : {std::pair{20.0f, 20.0f}, {120.0f, -20.0f}}) {
        const VariableResult r = estimate(Tmin, lon, lat, 1850);
        ASSERT_EQ(r.neighbours.ActiveCount, 20) << lat;
        for (int m = 1; m <= 12; ++m)
            EXPECT_NEAR(r.result.Best[static_cast<size_t>(m)], seasonalTmin(lat, 1850, m), 0.3f) << "lat " << lat << " month " << m;
    }
}

TEST_F(Kriging, PositiveQuantitiesGetRatioSpaceBounds) {
    const VariableResult r = estimate(Prec, 20, 20, 900);
    ASSERT_TRUE(r.result.HasStdErr);
    EXPECT_EQ(r.result.LogOffset, 10);
    for (int m = 1; m <= 12; ++m) {
        const size_t i = static_cast<size_t>(m);
        EXPECT_GT(r.result.StdErrLog[i], 0);
        EXPECT_GE(lowBound(r.result, m, 1.645f), 0);
        EXPECT_LT(lowBound(r.result, m, 1.645f), r.result.Best[i]);
        // Ratio space: the bound above lies farther from the estimate than the one below.
        EXPECT_GT(highBound(r.result, m, 1.645f) - r.result.Best[i], r.result.Best[i] - lowBound(r.result, m, 1.645f));
    }
}

TEST_F(Kriging, StationWithMonthlyExtremesLeavesTheTmaxAndTminNeighbours) {
    const std::vector<Station> extremes = KrigingModel::extremeStations(ProgramSettings{}, folder_->str(), nullptr, nullptr);
    ASSERT_EQ(extremes.size(), 1u);
    EXPECT_EQ(extremes[0].Name, "Net 14");
    for (int variable : {Tmax, Tmin, Temp}) {
        const VariableResult r = estimate(variable, extremes[0].Lon + 0.1f, extremes[0].Lat, 500);
        bool used = false;
        for (int i = 1; i <= r.neighbours.NeighbourCount; ++i) used = used || r.neighbours[i].Name == "Net 14";
        EXPECT_EQ(used, variable == Temp) << kVariableNames[static_cast<size_t>(variable)];
    }
}

TEST_F(Kriging, HeldOutStationsLeaveNoRowBehind) {
    const Station held = network()[7];
    const StationExclusion exclusion({{held.Lon, held.Lat}});
    const auto all = KrigingModel::get(ProgramSettings{}, folder_->str(), nullptr, Temp, nullptr);
    const auto without = KrigingModel::get(ProgramSettings{}, folder_->str(), nullptr, Temp, &exclusion);
    ASSERT_EQ(without->rows.size() + 1, all->rows.size());
    for (const KrigingRow& row : without->rows) EXPECT_FALSE(row.lon == held.Lon && row.lat == held.Lat);
}

TEST_F(Kriging, StrangeDataWarningNamesTheOddNeighbourOnly) {
    const Station odd = network()[20];
    for (const auto& [variable, strange] : {std::pair{Vap, true}, {Temp, false}}) {
        const VariableResult r = estimate(variable, odd.Lon + 0.2f, odd.Lat, 500);
        EXPECT_EQ(r.warnings.WarnStrange, strange) << kVariableNames[static_cast<size_t>(variable)];
        if (!strange) continue;
        EXPECT_EQ(r.neighbours[r.warnings.StrangeStation].Name, odd.Name);
        EXPECT_EQ(r.warnings.StrangeMonth, 7);
    }
}

// Precipitation scattering by a factor from station to station (0.69 on the log scale,
// independent of place), every station on the plateau, in a data folder with its terrain grids.
namespace {
std::vector<Station> scatteredPrecipitation(TempFolder& folder) {
    folder.write(kTerrainFileName, continentRaster());
    Random random{11};
    std::vector<Station> stations;
    for (int k = 0; k < 100; ++k) {
        const float lon = 16 + 0.8f * static_cast<float>(k % 10), lat = 16 + 0.8f * static_cast<float>(k / 10);
        Station s = makeStation(lon, lat, 1000, 0, "P" + std::to_string(k));  // on the plateau, as the places below
        for (size_t m = 1; m <= 12; ++m) s.Data[m] = 60 * std::exp(random.uniform(-1.2f, 1.2f));  // standard deviation 0.69
        stations.push_back(s);
    }
    writeDataFolder(folder, 20, 20, stations);
    TerrainCovariates::writeDerived(folder.str(), folder.file(TerrainCovariates::kFileName));
    return stations;
}
}  // namespace

// Kriged on ln(value + 10) and taken back, the estimate is near the median, 10 % below the mean
// of the stations. Taken back with the rows' own residuals it comes to the mean (within a few
// per cent above it at this spread).
TEST(KrigingBackTransform, PrecipitationEstimatesAreMeansNotMedians) {
    TempFolder folder("kriging-prec");
    const std::vector<Station> stations = scatteredPrecipitation(folder);
    double observed = 0;
    for (const Station& s : stations)
        for (size_t m = 1; m <= 12; ++m) observed += s.Data[m] / 1200;
    ProgramSettings s;
    s.Method = Method::Kriging;
    Engine engine(s, folder.str(), std::make_shared<StationDatabase>(folder.str()));
    double estimated = 0;
    int n = 0;
    for (float lat = 17.3f; lat < 23; lat += 0.8f)
        for (float lon = 17.3f; lon < 23; lon += 0.8f) {
            const VariableResult r = engine.Run(Prec, Location{"", lon, lat, 1000});
            for (size_t m = 1; m <= 12; ++m) estimated += r.result.Best[m];
            n += 12;
        }
    const double ratio = estimated / n / observed;
    EXPECT_TRUE(ratio > 0.97 && ratio < 1.1) << "mean estimate " << estimated / n << " mm, mean observed " << observed << " mm";
}

// The neighbours' leave-one-out errors (for the annual total's error and the strange-data test)
// are taken back from the log scale as the estimate is: a station above its neighbours is
// estimated below what it measured. On average they come to the median's shortfall, about a
// tenth of the mean, not to the several tenths above it of an inverted factor.
TEST(KrigingBackTransform, PrecipitationLeaveOneOutErrorsAreEstimateMinusObserved) {
    TempFolder folder("kriging-prec-errors");
    const std::vector<Station> stations = scatteredPrecipitation(folder);
    const auto model = KrigingModel::get(ProgramSettings{}, folder.str(), std::make_shared<StationDatabase>(folder.str()), Prec, nullptr);
    ASSERT_GT(model->params.logOffset, 0);
    double error = 0, observed = 0;
    int below = 0, above = 0;
    for (size_t first = 0; first + kKrigingNeighbours <= stations.size(); first += kKrigingNeighbours) {
        std::array<const Station*, kKrigingNeighbours> group{};
        for (int i = 0; i < kKrigingNeighbours; ++i) group[static_cast<size_t>(i)] = &stations[first + static_cast<size_t>(i)];
        std::array<std::array<float, 12>, kKrigingNeighbours> errors{};
        ASSERT_TRUE(model->neighbourErrors(group.data(), kKrigingNeighbours, errors));
        for (int i = 0; i < kKrigingNeighbours; ++i)
            for (int m = 0; m < 12; ++m) {
                const float obs = group[static_cast<size_t>(i)]->Data[static_cast<size_t>(m + 1)];
                const float e = errors[static_cast<size_t>(i)][static_cast<size_t>(m)];
                error += e;
                observed += obs;
                below += obs > 150 && e < 0;  // the wettest, far above the median of 60 mm
                above += obs > 150 && e > 0;
            }
    }
    EXPECT_LT(std::fabs(error / observed), 0.25) << "mean error " << error / observed << " of the mean";
    EXPECT_GT(below, 10 * above);
}

// The eight variables of one estimate start their models together: they wait for one reading
// of the terrain grids rather than each keeping a copy of its own (about 30 MB each).
TEST(KrigingTerrain, ModelsStartedTogetherShareOneCopyOfTheGrids) {
    TempFolder folder("kriging-terrain-once");
    folder.write(kTerrainFileName, continentRaster());
    writeDataFolder(folder, 20, 20, network());
    const auto db = std::make_shared<const StationDatabase>(folder.str());
    std::array<std::shared_ptr<const KrigingModel>, 2> models;
    std::barrier start(2);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < models.size(); ++i)
        threads.emplace_back([&, i] {
            start.arrive_and_wait();
            models[i] = KrigingModel::get(ProgramSettings{}, folder.str(), db, i == 0 ? Temp : Prec, nullptr);
        });
    for (std::thread& t : threads) t.join();
    ASSERT_TRUE(models[0] && models[1]);
    EXPECT_EQ(models[0]->terrain.get(), models[1]->terrain.get());
}

TEST_F(Kriging, EstimatesAcrossTheRowGridsNodeLinesHaveNoStep) {
    // With the neighbours held fixed, what moves along a transect is the kriging weights and the
    // rows' work interpolated between the grid's nodes. Across a whole cell (node lines at 18 and
    // 21 E, the line halfway at 19.5 E), no step of the estimate or its error is more than a few
    // times the steps beside it; a step where the nodes change would be tens of times larger.
    const std::vector<Station> stations = network();
    std::array<const Station*, kKrigingNeighbours> neighbours{};
    for (size_t i = 0; i < neighbours.size(); ++i) neighbours[i] = &stations[i];
    for (const int variable : {Temp, Vap}) {
        const auto model = KrigingModel::get(ProgramSettings{}, folder_->str(), nullptr, variable, nullptr);
        ASSERT_FALSE(model->grid().nodes().empty());
        std::vector<std::array<float, 4>> along;
        for (int k = 0; k <= 700; ++k) {
            const KrigingOutcome o = model->estimate(17.75f + 0.005f * static_cast<float>(k), 19.6f, 1000, neighbours.data(), kKrigingNeighbours);
            along.push_back({o.best[0], o.best[6], o.stdErr[0], o.stdErr[6]});
        }
        for (size_t q = 0; q < 4; ++q)
            for (size_t k = 3; k + 3 < along.size(); ++k) {
                const auto step = [&](size_t i) { return std::fabs(along[i + 1][q] - along[i][q]); };
                const float beside = std::max({step(k - 2), step(k - 1), step(k + 1), step(k + 2)});
                EXPECT_LE(step(k), 3 * beside + 1e-5f * std::fabs(along[k][q]) + 1e-6f)
                    << kVariableNames[static_cast<size_t>(variable)] << " quantity " << q << " at " << 17.75 + 0.005 * k << " E";
            }
    }
}
