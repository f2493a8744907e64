// Engine speed on a data folder: database load, eight-variable latency (cold and warm),
// point-variable estimates per second on one and on all threads, and the ratio to reading
// the station files for every estimate. Usage: bench_engine [data-folder] [points]
#include <ctime>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <new>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

#include <fmt/format.h>

#include "bench_database.h"
#include "data/data_folder.h"
#include "data/station_database.h"
#include "data/terrain.h"
#include "engine/engine.h"

using namespace zentrel;
using Clock = std::chrono::steady_clock;

// Heap allocations, counted to show that estimates in a warm engine make none.
static std::atomic<long> gAllocations{0};
void* operator new(std::size_t size) {
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {
double seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

// Deterministic land points from the elevation raster.
std::vector<Location> landPoints(const std::string& folder, int count) {
    TerrainRaster raster(folder);
    std::vector<Location> out;
    uint64_t state = 12345;
    while (static_cast<int>(out.size()) < count) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        const float lon = -180.0f + 360.0f * static_cast<float>((state >> 20) % 100000) / 100000.0f;
        const float lat = -60.0f + 135.0f * static_cast<float>((state >> 40) % 100000) / 100000.0f;
        int16_t sea = 0;
        const int16_t alt = raster.altitude(lon, lat, sea);
        if (!sea) out.push_back({"", lon, lat, static_cast<float>(alt)});
    }
    return out;
}
}  // namespace

double threadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

int main(int argc, char** argv) {
    const std::string folder = bench::benchDataFolder(argc, argv);
    bench::printDatabase(folder);
    const int points = argc > 2 ? std::atoi(argv[2]) : 2000;
    ProgramSettings settings;
    const std::vector<Location> locs = landPoints(folder, points);

    auto t0 = Clock::now();
    auto db = std::make_shared<StationDatabase>(folder);
    db->preload();
    auto t1 = Clock::now();
    std::printf("database load (all station files):        %8.3f s\n", seconds(t0, t1));

    {  // cold: a fresh database and engine, files read on first use
        auto cold = std::make_shared<StationDatabase>(folder);
        Engine engine(settings, folder, cold);
        auto a = Clock::now();
        for (int v = 0; v < kVariableCount; ++v) engine.Run(v, locs[0]);
        std::printf("eight-variable estimate, cold:             %8.3f ms\n", seconds(a, Clock::now()) * 1e3);
    }
    Engine engine(settings, folder, db);
    const int warmRuns = std::min(points, 300);
    auto a = Clock::now();
    for (int k = 0; k < warmRuns; ++k)
        for (int v = 0; v < kVariableCount; ++v) engine.Run(v, locs[static_cast<size_t>(k)]);
    const double warm = seconds(a, Clock::now()) / warmRuns;
    std::printf("eight-variable estimate, warm:             %8.3f ms   (target < 5 ms: %s)\n", warm * 1e3,
                warm < 5e-3 ? "met" : "missed");

    // Point-variable estimates with the full pipeline, leaving results in the engine.
    auto estimateRange = [&](Engine& e, size_t from, size_t to) {
        for (size_t k = from; k < to; ++k)
            for (int v = 0; v < kVariableCount; ++v) {
                e.Select(v, locs[k]);
                e.ActivateNeighbours();
                e.BuildMeanStation();
                e.Estimate();
                e.EvaluateWarnings();
            }
    };
    const long allocationsBefore = gAllocations.load();
    a = Clock::now();
    estimateRange(engine, 0, locs.size());
    const double one = static_cast<double>(locs.size()) * kVariableCount / seconds(a, Clock::now());
    const double allocations =
        static_cast<double>(gAllocations.load() - allocationsBefore) / static_cast<double>(locs.size() * kVariableCount);
    std::printf("point-variable estimates/s, 1 thread:      %8.0f      (target >= 20000: %s)\n", one,
                one >= 20000 ? "met" : "missed");
    std::printf("  heap allocations per estimate:          %8.2f\n", allocations);

    // The same with nothing to take over between estimates: one variable per location, every
    // location far from the last, so that no two estimates share their neighbours.
    {
        Engine fresh(settings, folder, db);
        a = Clock::now();
        for (size_t k = 0; k < locs.size(); ++k) {
            fresh.Select(static_cast<int>(k % kVariableCount), locs[k]);
            fresh.ActivateNeighbours();
            fresh.BuildMeanStation();
            fresh.Estimate();
            fresh.EvaluateWarnings();
        }
        const double alone = static_cast<double>(locs.size()) / seconds(a, Clock::now());
        std::printf("  each with neighbours of its own:        %8.0f\n", alone);
    }

    const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    a = Clock::now();
    std::vector<std::thread> pool;
    for (unsigned t = 0; t < threads; ++t)
        pool.emplace_back([&, t] {
            Engine e(settings, folder, db);
            estimateRange(e, locs.size() * t / threads, locs.size() * (t + 1) / threads);
        });
    for (auto& th : pool) th.join();
    const double all = static_cast<double>(locs.size()) * kVariableCount / seconds(a, Clock::now());
    std::printf("point-variable estimates/s, %u threads:     %8.0f      (x%.2f)\n", threads, all, all / one);

    Engine reading(settings, folder);
    const size_t filePoints = std::min<size_t>(locs.size(), 40);
    a = Clock::now();
    estimateRange(reading, 0, filePoints);
    const double files = static_cast<double>(filePoints) * kVariableCount / seconds(a, Clock::now());
    std::printf("point-variable estimates/s, reading files: %8.0f\n", files);
    std::printf("speed-up of the database over the files:   %8.0f x\n", one / files);

    // Cost per estimate of each method on the same points, relative to the described one (the
    // kriging model of each variable is built by the warm-up, which is timed on its own).
    const size_t methodPoints = std::min<size_t>(locs.size(), 500);
    double describedCost = 0;
    for (Method method : kMethods) {
        ProgramSettings ms;
        ms.Method = method;
        Engine e(ms, folder, db);
        a = Clock::now();
        estimateRange(e, 0, std::min<size_t>(methodPoints, 20));  // warm the kept sources
        if (method == Method::Kriging)
            std::printf("kriging preparation (terrain, rows and coefficients of %d variables): %.2f s\n", kVariableCount,
                        seconds(a, Clock::now()));
        // The thread's own processor time: on a shared machine the wall clock would count the
        // other processes too.
        const double before = threadSeconds();
        estimateRange(e, 0, methodPoints);
        const double cost = (threadSeconds() - before) / static_cast<double>(methodPoints * kVariableCount);
        if (method == Method::Described) describedCost = cost;
        // The kriging method, the default, is held to 1.5 times the described one, the adaptive to 3.
        const double limit = method == Method::Kriging ? 1.5 : method == Method::Adaptive ? 3.0 : 0.0;
        std::printf("method %-9s: %8.1f us per estimate    (x%.2f of described%s)\n", methodName(method), cost * 1e6,
                    cost / describedCost,
                    limit == 0 ? "" : fmt::format(", limit {}: {}", limit, cost <= limit * describedCost ? "met" : "missed").c_str());
    }
    return 0;
}
