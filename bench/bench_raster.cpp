// Raster export speed: land cells (one estimate each) per second of a 1-degree export of Europe (one thread
// and all threads) and the time of a 0.5-degree world export of precipitation (temperatures
// of Greenland and Antarctica lie below the coded range, which stops an export).
// Then the full-precision surface against today's byte export: 13 periods and the standard
// error in one GeoTIFF over the same grid, as a ratio of times; and the peak memory of a
// surface as wide as the world at 30 arc-seconds, which does not grow with the number of rows;
// and the time of a world at 5 arc-minutes in the default method, from a sample of strips.
// Usage: bench_raster [data-folder] [map.img]
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <thread>

#include <unistd.h>

#include "bench_database.h"
#include "data/data_folder.h"
#include "data/station_database.h"
#include "maps/map_folder.h"
#include "maps/climate_surface.h"
#include "maps/raster_export.h"
#include "maps/surface_files.h"

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

// The byte export as the command line writes it: one period, one byte per cell, GeoTIFF.
double byteExport(const std::string& folder, std::shared_ptr<const StationDatabase> db, const ImgRaster& map,
                  const RasterExportPlan& plan, int threads, const std::string& path) {
    ProgramSettings settings;
    const auto start = Clock::now();
    RasterCellEstimator estimator(settings, folder, std::move(db), plan.Variable, plan.Period, threads);
    ImgRaster raster;
    raster.Header = GetNewHeader(plan, map.Header);
    raster.Cells = *computeRasterCells(plan, map, estimator.function(), threads);
    writeRasterGeoTiff(path, plan, raster);
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The surface of every period and quantity given, written as a tiled GeoTIFF with overviews.
double surfaceExport(const std::string& folder, std::shared_ptr<const StationDatabase> db, const ImgRaster& map,
                     const SurfaceGrid& grid, const SurfaceLayout& layout, int threads, const std::string& path,
                     double* finishing = nullptr) {
    ProgramSettings settings;
    const auto start = Clock::now();
    RasterCellEstimator estimator(settings, folder, std::move(db), layout.Variable, 13, threads);
    SurfaceGeoTiffWriter writer(path, grid, layout, surfaceMetadata(layout, settings, describeDataFolder(folder)));
    computeSurface(grid, {0, grid.Rows}, layout, map,
                   [&estimator](int w, double lon, double lat) { return estimator.estimateCell(w, lon, lat); },
                   threads, writer);
    const auto tiles = Clock::now();
    writer.finish();
    if (finishing) *finishing = std::chrono::duration<double>(Clock::now() - tiles).count();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double peakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
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

    // Same points: the byte export estimates at the corners of its box, the surface at the
    // centres of its cells, so the surface's box is shifted by half a cell.
    const auto scratch = std::filesystem::temp_directory_path() / ("bench_raster-" + std::to_string(::getpid()));
    std::filesystem::create_directories(scratch);
    const RasterExportPlan europeByte = planRasterExport(3, 9, 0.25, -10, 40, 71, 35);
    SurfaceLayout layout;
    layout.Variable = 3;
    layout.Periods = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
    layout.Quantities = {SurfaceQuantity::Best, SurfaceQuantity::StdErr};
    const SurfaceGrid europeGrid = surfaceGrid(-10.125, 34.875, 39.875, 71.125, 0.25);
    // Alternating runs, the faster of two each: the machine is shared.
    double byteSeconds = 1e9, surfaceSeconds = 1e9, tileSeconds = 0;
    for (int k = 0; k < 2; ++k) {
        byteSeconds = std::min(byteSeconds, byteExport(folder, db, map, europeByte, threads, (scratch / "byte.tif").string()));
        double finishing = 0;
        const double s = surfaceExport(folder, db, map, europeGrid, layout, threads, (scratch / "surface.tif").string(),
                                       &finishing);
        if (s < surfaceSeconds) {
            surfaceSeconds = s;
            tileSeconds = finishing;
        }
    }
    std::printf("Europe 0.25 degree (%d cells), Prec: byte export of September %.2f s, Float32 surface of 13 periods "
                "+ stderr %.2f s (%.2f s of it tiles and overviews): ratio %.2f (target <= 1.3)\n",
                europeGrid.Columns * europeGrid.Rows, byteSeconds, surfaceSeconds, tileSeconds,
                surfaceSeconds / byteSeconds);

    // Memory: besides the fixed part (stations, engines, elevation, mask) a surface holds two
    // blocks of rows (at most 64 MB each) and GDAL's block cache (held at 256 MB); none grows
    // with the number of rows. A quarter of the world's width at 30 arc-seconds over the
    // Southern Ocean (few estimates) shows the figure; the world's width fills both blocks.
    const SurfaceGrid strip = surfaceGrid(-180, -57, -90, -56.8, 1.0 / 120);  // 10800 x 24 cells
    const double stripSeconds =
        surfaceExport(folder, db, map, strip, layout, threads, (scratch / "strip.tif").string());
    const double blockMb = 4.0 * layout.bandCount() * strip.Columns * strip.Rows / 1048576;
    const double worldMb = peakMegabytes() + 2 * (64 - blockMb);
    std::printf("Quarter of the world's width at 30 arc-seconds (%d x %d cells, 13 periods + stderr): %.2f s, peak "
                "memory %.0f MB; the world at 30 arc-seconds (43200 x 17280) in one process: about %.0f MB, %.2f of 2 GB\n",
                strip.Columns, strip.Rows, stripSeconds, peakMegabytes(), worldMb, worldMb / 2048);

    // A world at 5 arc-minutes of one variable, every period with its standard error, in the
    // default method, on all threads: target under 5 minutes. Twelve strips of half a degree,
    // one in every 12 degrees of latitude from 84 N to 60 S, are 1/24 of the world's rows.
    double sampleSeconds = 0;
    for (int k = 0; k < 12; ++k) {
        const double north = 84.0 - 12.0 * k;
        const SurfaceGrid band = surfaceGrid(-180, north - 0.5, 180, north, 1.0 / 12);
        sampleSeconds += surfaceExport(folder, db, map, band, layout, threads, (scratch / "band.tif").string());
    }
    std::printf("World at 5 arc-minutes, Prec, 13 periods + stderr, default method, %d threads: about %.0f s "
                "(from 12 strips of 0.5 degree in %.1f s; target < 300 s: %s)\n",
                threads, 24 * sampleSeconds, sampleSeconds, 24 * sampleSeconds < 300 ? "met" : "missed");
    std::filesystem::remove_all(scratch);
    return 0;
}
