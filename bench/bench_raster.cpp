// Raster export speed: land cells (one estimate each) per second of a 1-degree export of Europe (one thread
// and all threads) and the time of a 0.5-degree world export of precipitation (temperatures
// of Greenland and Antarctica lie below the coded range, which stops an export).
// Usage: bench_raster [data-folder] [map.img]
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <thread>

#include "bench_database.h"
#include "data/data_folder.h"
#include "data/station_database.h"
#include "maps/map_folder.h"
#include "maps/raster_export.h"

using namespace zentrel;
using Clock = std::chrono::steady_clock;

namespace {

struct Run {
    double seconds;
    long long estimates;  // land cells: each runs the estimation pipeline
    int cells;
};

Run exportOnce(const std::string& folder, std::shared_ptr<const StationDatabase> db, const ImgRaster& map,
               const RasterExportPlan& plan, int threads) {
    ProgramSettings settings;
    RasterCellEstimator estimator(settings, folder, std::move(db), plan.Variable, plan.Period, threads);
    std::atomic<long long> calls{0};
    auto value = [&](int worker, double lon, double lat) {
        ++calls;
        return estimator(worker, lon, lat);
    };
    const auto start = Clock::now();
    computeRasterCells(plan, map, value, threads);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return {seconds, calls.load(), plan.Rows * plan.Columns};
}

}  // namespace

int main(int argc, char** argv) {
    const auto bin = std::filesystem::canonical("/proc/self/exe").parent_path();
    const std::string folder = bench::benchDataFolder(argc, argv);
    bench::printDatabase(folder);
    std::string mapPath = argc > 2 ? argv[2] : "";
    if (mapPath.empty()) {
        const auto maps = listUsableMaps((bin / kMapFolderName).string());
        if (maps.empty()) {
            std::fprintf(stderr, "bench_raster: no map in %s; give one as the second argument\n",
                         (bin / kMapFolderName).c_str());
            return 1;
        }
        mapPath = maps.front().Img;
    }
    const ImgRaster map = readImg(mapPath);
    auto db = std::make_shared<StationDatabase>(folder);
    db->preload();
    const int threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));

    const RasterExportPlan europe = planRasterExport(0, 13, 1, -10, 40, 71, 35);
    const Run e1 = exportOnce(folder, db, map, europe, 1);
    std::printf("Europe 1 degree (%d cells, %lld land), Temp annual, 1 thread:  %8.0f land cells/s\n", e1.cells,
                e1.estimates, e1.estimates / e1.seconds);
    const Run en = exportOnce(folder, db, map, europe, threads);
    std::printf("Europe 1 degree, %d threads:                                     %8.0f land cells/s\n", threads,
                en.estimates / en.seconds);
    const RasterExportPlan world = planRasterExport(3, 13, 0.5, -180, 180, 90, -89.5);
    const Run w = exportOnce(folder, db, map, world, threads);
    std::printf("World 0.5 degree (%d cells, %lld land), Prec annual, %d threads: %8.2f s (%.0f land cells/s)\n",
                w.cells, w.estimates, threads, w.seconds, w.estimates / w.seconds);
    return 0;
}
