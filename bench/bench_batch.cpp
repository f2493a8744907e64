// Batch run speed: point-variable estimates per second of a 100 x 100 grid over a data folder,
// all eight variables, written as Best files, on one thread and on all threads.
// Usage: bench_batch [data-folder] [output-folder]
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <thread>

#include "batch/batch_run.h"
#include "bench_database.h"
#include "data/data_folder.h"
#include "data/station_database.h"
#include "data/terrain.h"
#include "locations/location_list.h"

using namespace zentrel;

int main(int argc, char** argv) {
    const std::string folder = bench::benchDataFolder(argc, argv);
    bench::printDatabase(folder);
    const std::filesystem::path out = argc > 2 ? std::filesystem::path(argv[2])
                                               : std::filesystem::temp_directory_path() / "zentrel-bench-batch";
    std::filesystem::create_directories(out);

    const TerrainRaster raster(folder);
    const ElevationLookup elevation = [&raster](float lon, float lat) {
        int16_t isSea = 0;
        return static_cast<float>(raster.altitude(lon, lat, isSea));
    };
    // 100 x 100 points over Europe (sea points are estimated too, at altitude 0).
    const std::vector<LocationRow> rows = gridLocations({-10, 29.6f, 99, 35, 59.75f, 99}, elevation);
    auto db = std::make_shared<StationDatabase>(folder);
    db->preload();
    ProgramSettings settings;

    std::printf("grid points: %zu, variables: 8, output: Best and information files in %s\n", rows.size(),
                out.string().c_str());
    const unsigned all = std::max(1u, std::thread::hardware_concurrency());
    double one = 0;
    for (unsigned threads : {1u, all}) {
        const std::filesystem::path target = out / ("threads" + std::to_string(threads));
        std::filesystem::create_directories(target);
        BatchOptions options;
        options.variables.fill(true);
        options.quantities.best = true;
        options.destination = target.string();
        options.sourceName = "benchmark grid";
        options.threads = threads;
        const auto start = std::chrono::steady_clock::now();
        const BatchSummary s = runBatch(rows, options, settings, folder, db);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double rate = static_cast<double>(s.estimates) / seconds;
        if (threads == 1) one = rate;
        std::printf("point-variable estimates/s, %2u thread%s:  %8.0f   (%lld estimates in %.2f s, x%.2f)\n", threads,
                    threads == 1 ? " " : "s", rate, s.estimates, seconds, rate / one);
    }
    return 0;
}
