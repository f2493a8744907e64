// Every estimate must stay bit for bit what it was: the engine's speed-ups may not change a single
// result. This digests several thousand estimates on the built demonstration database, with one
// engine that keeps its state from run to run and settings that change on the way, and compares
// the digest with the one recorded when these estimates were last checked against the engine that
// reads every file and takes every cosine. Skipped when the data folder has not been built.
//
// When a change to the engine is meant to change results, the new digest is printed here; check
// the change against docs/accuracy.md before recording it.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>

#include "data/data_folder.h"
#include "data/data_info.h"
#include "data/station_database.h"
#include "data/terrain.h"
#include "engine/engine.h"

#include "fixture.h"

using namespace zentrel;

namespace {
struct Fnv {
    uint64_t h = 1469598103934665603ULL;
    void add(const void* p, size_t n) {
        const auto* b = static_cast<const unsigned char*>(p);
        for (size_t i = 0; i < n; ++i) h = (h ^ b[i]) * 1099511628211ULL;
    }
    void add(float f) { add(&f, sizeof f); }
    void add(int v) { add(&v, sizeof v); }
};
void addRun(Fnv& fnv, const Engine& e) {
    for (int m = 1; m <= 13; ++m) {
        const size_t k = static_cast<size_t>(m);
        for (float f : {e.res.Best[k], e.res.StdErr[k], e.res.Bias[k], e.res.AnnualCycle[k], e.res.VertGrad[k],
                        e.res.VertExplVar[k], e.res.LongGrad[k], e.res.LatGrad[k], e.res.DirecGrad[k]})
            fnv.add(f);
    }
    fnv.add(e.ns.NeighbourCount);
    for (int i = 1; i <= e.ns.NeighbourCount; ++i)
        for (float f : {e.ns[i].Weight, e.ns[i].Lon, e.ns[i].Lat, e.ns[i].Dist, e.ns[i].Dir}) fnv.add(f);
    for (bool b : {e.warn.WarnHigh, e.warn.WarnLow, e.warn.WarnLonely, e.warn.WarnStrange, e.warn.WarnDoubled,
                   e.warn.WarnFew, e.warn.WarnHit})
        fnv.add(b ? 1 : 0);
}
// The next random land point (lon, lat and the raster's altitude).
Location landPoint(uint64_t& state, const TerrainRaster& raster) {
    for (;;) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        const float lon = -180.0f + 360.0f * static_cast<float>((state >> 20) % 100000) / 100000.0f;
        const float lat = -60.0f + 140.0f * static_cast<float>((state >> 40) % 100000) / 100000.0f;
        int16_t sea = 0;
        const int16_t alt = raster.altitude(lon, lat, sea);
        if (!sea) return {"", lon, lat, static_cast<float>(alt)};
    }
}
// Random land points with all eight variables, then a walk over a grid with changing settings.
// The described method's runs go into one digest, the robust method's into the other: the
// described method keeps its single-precision rules bit for bit, the robust one measures its
// neighbours in double precision.
struct Digests {
    uint64_t described, robust;
    bool operator==(const Digests&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Digests& d) {
    return out << std::hex << "0x" << d.described << ", 0x" << d.robust << std::dec;
}
Digests estimatesDigest(const std::string& folder) {
    auto db = std::make_shared<StationDatabase>(folder);
    TerrainRaster raster(folder);
    ProgramSettings settings = test::describedSettings();  // with RobustCorr below: the described and the robust method
    Engine e(settings, folder, db);
    Fnv fnv, robust;
    uint64_t state = 2024;
    for (int done = 0; done < 300; ++done) {
        const Location place = landPoint(state, raster);
        for (int v = 0; v < kVariableCount; ++v) {
            e.Run(v, place);
            addRun(fnv, e);
        }
    }
    int count = 0;
    for (float lat = 40; lat < 52; lat += 0.37f)
        for (float lon = -5; lon < 25; lon += 0.29f) {
            int16_t sea = 0;
            const int16_t alt = raster.altitude(lon, lat, sea);
            if (sea) continue;
            ++count;
            settings.Shad = (count / 7) % 2 ? 0.5f : 1.0f;
            settings.PowExp = (count / 5) % 3 == 0 ? 2.0f : 1.0f;
            settings.MaxStat = static_cast<int16_t>((count / 11) % 2 ? 12 : 20);
            settings.RobustCorr = static_cast<int16_t>((count / 13) % 2);
            for (int v : {Temp, Prec, Tmax}) {
                e.Run(v, {"", lon, lat, static_cast<float>(alt)});
                addRun(settings.RobustCorr ? robust : fnv, e);
            }
        }
    return {fnv.h, robust.h};
}
// The default method (kriging) on random land points with all eight variables, then with fewer
// neighbours (a model fitted on the other selection must not serve).
uint64_t krigingDigest(const std::string& folder) {
    auto db = std::make_shared<StationDatabase>(folder);
    TerrainRaster raster(folder);
    ProgramSettings settings;
    Engine e(settings, folder, db);
    Fnv fnv;
    uint64_t state = 1206;
    for (int done = 0; done < 60; ++done) {
        settings.MaxStat = static_cast<int16_t>(done < 40 ? 20 : 12);
        const Location place = landPoint(state, raster);
        for (int v = 0; v < kVariableCount; ++v) {
            if (done >= 40 && v != Temp && v != Prec) continue;
            e.Run(v, place);
            addRun(fnv, e);
        }
    }
    return fnv.h;
}
}  // namespace

TEST(EngineDigest, EstimatesOnTheDefaultDataAreUnchanged) {
    // The demonstration database: its dense network reaches every branch of the engine.
    const auto folder = std::filesystem::read_symlink("/proc/self/exe").parent_path() / kDemoFolderName;
    if (!std::filesystem::exists(folder / kTerrainFileName)) GTEST_SKIP() << "bin/DemoData not built (scripts/build-data.sh)";
    EXPECT_EQ(estimatesDigest(folder.string()), (Digests{0x714f33ed5c77511eULL, 0x6ecf05c9400d77d3ULL}));
}

TEST(EngineDigest, KrigingEstimatesOnTheDefaultDataAreUnchanged) {
    const auto folder = std::filesystem::read_symlink("/proc/self/exe").parent_path() / kDemoFolderName;
    if (!std::filesystem::exists(folder / kTerrainFileName)) GTEST_SKIP() << "bin/DemoData not built (scripts/build-data.sh)";
    // Pinned anew when the local fits and the residuals' sums came from the nodes of a grid, and
    // when precipitation took its constants of the denser network.
    EXPECT_EQ(krigingDigest(folder.string()), 0x2546ca409a1b3e16ULL);
}
