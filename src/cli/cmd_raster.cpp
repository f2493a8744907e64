// `zentrel raster`: an estimated variable over a rectangle, every land cell of the mask map
// estimated, rows shared out among all cores: full-precision surfaces (GeoTIFF, netCDF) with
// several periods and quantities, or the desktop's one-byte coding (IMG, GeoTIFF).
#include <fmt/format.h>
#include <unistd.h>

#include <csignal>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "base/records.h"
#include "base/types.h"
#include "cli/commands.h"
#include "cli/number_options.h"
#include "cli/settings_options.h"
#include "data/data_folder.h"
#include "data/data_info.h"
#include "data/elevation_model.h"
#include "data/station_database.h"
#include "error.h"
#include "feedback.h"
#include "files/output_lock.h"
#include "maps/climate_surface.h"
#include "maps/map_folder.h"
#include "maps/raster_export.h"
#include "maps/strip_join.h"
#include "maps/surface_files.h"
#include "season/cycle.h"
#include "worker_threads.h"

namespace zentrel::cli {

namespace {

namespace fs = std::filesystem;

struct RasterOptions {
    std::string var;
    std::string period = "13";
    std::string bbox;
    std::string res;
    std::string mask;
    std::string output;
    std::string coding;
    std::string quantities = "best";
    std::string tile;
    std::string dem;       // the user's elevation model
    std::string gridLike;  // a raster whose grid the surface takes
    std::vector<std::string> merge;
    int level = 90;
    int threads = 0;
    bool quiet = false;
    SettingsOptions settings;
};

std::string lowerExtension(const std::string& path) {
    std::string ext = fs::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext;
}
bool isGeoTiff(const std::string& path) { return lowerExtension(path) == ".tif" || lowerExtension(path) == ".tiff"; }
bool isNetCdf(const std::string& path) { return lowerExtension(path) == ".nc"; }
bool isImg(const std::string& path) { return lowerExtension(path) == ".img"; }

constexpr int kExitInterrupted = 130;
Feedback* volatile gInterruptTarget = nullptr;
extern "C" void onRasterInterrupt(int) {
    // Only an atomic store: safe in a signal handler. A second Ctrl-C ends the program at once.
    if (Feedback* f = gInterruptTarget) f->cancel();
}

// Ctrl-C cancels the run while the object lives.
class InterruptScope {
public:
    explicit InterruptScope(Feedback& feedback) {
        gInterruptTarget = &feedback;
        struct sigaction action {};
        action.sa_handler = onRasterInterrupt;
        action.sa_flags = SA_RESETHAND;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &previous_);
    }
    ~InterruptScope() {
        sigaction(SIGINT, &previous_, nullptr);
        gInterruptTarget = nullptr;
    }

private:
    struct sigaction previous_ {};
};

std::string duration(double seconds) {
    const long long s = std::llround(seconds);
    return s >= 3600 ? fmt::format("{}:{:02}:{:02}", s / 3600, s / 60 % 60, s % 60) : fmt::format("{}:{:02}", s / 60, s % 60);
}

// "1234/56789 cells  3100 cells/s  0:17 left" redrawn in place on stderr, at most 5 times a second.
class ProgressLine {
public:
    void draw(long long done, long long total) {
        std::lock_guard lock(mutex_);
        const auto now = std::chrono::steady_clock::now();
        if (done < total && now - last_ < std::chrono::milliseconds(200)) return;
        last_ = now;
        const double seconds = std::chrono::duration<double>(now - start_).count();
        const double rate = seconds > 0 ? done / seconds : 0;
        const std::string left = rate > 0 ? duration((total - done) / rate) + " left" : "";
        std::fprintf(stderr, "\r%lld/%lld cells  %.0f cells/s  %s   ", done, total, rate, left.c_str());
        std::fflush(stderr);
        drawn_ = true;
    }
    void finish() {
        if (drawn_) std::fprintf(stderr, "\n");
    }

private:
    std::mutex mutex_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now(), last_{};
    bool drawn_ = false;
};

// --tile I/N: strip I (1..N) of N.
bool parseTile(const std::string& text, int& index, int& count) {
    const auto slash = text.find('/');
    if (slash == std::string::npos) return false;
    const auto i = parseCoordinate(text.substr(0, slash)), n = parseCoordinate(text.substr(slash + 1));
    if (!i || !n || *i != std::floor(*i) || *n != std::floor(*n) || *n < 1 || *i < 1 || *i > *n || *n > 1e6)
        return false;
    index = static_cast<int>(*i);
    count = static_cast<int>(*n);
    return true;
}

// The end of the summary line: the cells whose estimate lies beyond the world's records, when
// there are any.
void endSummaryLine(long long beyondRecords) {
    if (beyondRecords > 0) std::printf(", %lld cell%s beyond the world's records", beyondRecords, beyondRecords == 1 ? "" : "s");
    std::printf("\n");
}

struct SurfaceJob {
    int variable = 0;
    SurfaceLayout layout;
    SurfaceGrid grid;
    RowRange rows;
    std::string tile;
};

// The full-precision surface: Float32 GeoTIFF or netCDF, streamed block by block.
int runSurface(const RasterOptions& o, const SurfaceJob& job, const ProgramSettings& settings,
               const std::string& folder, const ImgRaster& mask, std::shared_ptr<const ElevationModel> dem) {
    const OutputLock lock(o.output);
    Feedback feedback;
    InterruptScope interrupt(feedback);  // from before the first file is made until the last is gone
    const bool netCdf = isNetCdf(o.output);
    SurfaceMetadata metadata = surfaceMetadata(job.layout, settings, describeDataFolder(folder));
    if (!job.tile.empty()) {
        // The whole run's grid too, so that the join can tell a strip of another box or cell size.
        metadata.emplace_back("tile", job.tile);
        metadata.emplace_back("tile_grid", fmt::format("west {} north {} cells {} x {} degrees, {} columns x {} rows", job.grid.West,
                                                       job.grid.North, job.grid.CellWidth, job.grid.CellHeight, job.grid.Columns,
                                                       job.grid.Rows));
    }
    const SurfaceGrid written = subGrid(job.grid, job.rows);
    std::unique_ptr<SurfaceGeoTiffWriter> tiff;
    std::unique_ptr<SurfaceNetCdfWriter> nc;
    SurfaceSink* sink = nullptr;
    if (netCdf) sink = (nc = std::make_unique<SurfaceNetCdfWriter>(o.output, written, job.layout, metadata)).get();
    else sink = (tiff = std::make_unique<SurfaceGeoTiffWriter>(o.output, written, job.layout, metadata)).get();

    const int threads = static_cast<int>(workerThreadsFor(o.threads));
    auto database = std::make_shared<StationDatabase>(folder);
    RasterCellEstimator estimator(settings, folder, database, job.variable, 13, threads);
    if (dem) estimator.useElevationModel(dem, job.grid.CellWidth, job.grid.CellHeight);
    ProgressLine line;
    const bool showProgress = !o.quiet && ::isatty(STDERR_FILENO);
    if (showProgress) feedback.onProgress = [&line](long long done, long long total) { line.draw(done, total); };
    const auto start = std::chrono::steady_clock::now();
    std::atomic<long long> beyondRecords{0};
    const long long estimated = computeSurface(
        job.grid, job.rows, job.layout, mask,
        [&](int worker, double lon, double lat) {
            const EstimateResult* e = estimator.estimateCell(worker, lon, lat);
            // A value not estimated (the year of a single station) is missing, not beyond the records.
            if (e && std::any_of(job.layout.Periods.begin(), job.layout.Periods.end(), [&](int p) {
                    const float v = ClipValue(e->Best[static_cast<size_t>(p)], job.variable);
                    return !std::isnan(v) && !recordsOfPeriod(job.variable, p).contains(v);
                }))
                ++beyondRecords;
            return e;
        },
        threads, *sink, &feedback);
    if (showProgress) line.finish();
    if (estimated < 0) {
        tiff.reset();  // the files of the unfinished run go
        nc.reset();
        std::fprintf(stderr, "zentrel: cancelled; %s was not written.\n", o.output.c_str());
        return kExitInterrupted;
    }
    if (tiff && showProgress) std::fprintf(stderr, "writing the tiles and overviews of %s\n", o.output.c_str());
    if (tiff) tiff->finish();
    if (nc) nc->finish();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const long long cells = static_cast<long long>(written.Rows) * written.Columns;
    std::printf("%s: %s, %d band%s, %d columns x %d rows of %s x %s degrees from %s,%s, %lld cells (%lld estimated) in "
                "%.2f s, %.0f cells/s on %d threads",
                o.output.c_str(), kVariableNames.at(static_cast<size_t>(job.variable)), job.layout.bandCount(),
                job.layout.bandCount() == 1 ? "" : "s", written.Columns, written.Rows,
                fmt::format("{}", written.CellWidth).c_str(), fmt::format("{}", written.CellHeight).c_str(),
                fmt::format("{}", written.West).c_str(), fmt::format("{}", written.North).c_str(), cells, estimated,
                seconds, seconds > 0 ? cells / seconds : 0.0, threads);
    endSummaryLine(beyondRecords);
    return kExitOk;
}

// --merge: the strips of a cluster run joined into the surface one run would write.
int runMerge(const RasterOptions& o) {
    if (!isGeoTiff(o.output)) {
        std::fprintf(stderr, "zentrel: --merge writes the joined strips as a GeoTIFF: name it with -o FILE.tif.\n");
        return kExitUsage;
    }
    const OutputLock lock(o.output);
    joinSurfaceStrips(o.output, o.merge);
    return kExitOk;
}

int runRaster(RasterOptions o, const CommonOptions& common) {
    if (!o.merge.empty()) return runMerge(o);
    if (o.var.empty()) {
        std::fprintf(stderr, "zentrel: --var is required (or --merge STRIP.tif... to join the strips of a run).\n");
        return kExitUsage;
    }
    ProgramSettings settings;
    if (int code = applySettingsOptions(o.settings, settings); code != kExitOk) return code;
    const int variable = variableFromName(o.var);
    if (variable < 0) {
        std::fprintf(stderr, "zentrel: --var must be one of Temp, Tmax, Tmin, Prec, Vap, PET, Wind, Sun.\n");
        return kExitUsage;
    }
    // The one-byte coding is what IMG files hold; GeoTIFF and netCDF get full precision unless
    // the byte coding is asked for.
    // A name without an extension ("-", a FIFO) takes the raster image as before; an extension
    // no writer makes is refused rather than filled with another format.
    if (!lowerExtension(o.output).empty() && !isGeoTiff(o.output) && !isNetCdf(o.output) && !isImg(o.output)) {
        std::fprintf(stderr, "zentrel: -o %s: no raster writer makes \"%s\" files; name FILE.tif (GeoTIFF), FILE.nc (netCDF) or FILE.img (raster image).\n",
                     o.output.c_str(), lowerExtension(o.output).c_str());
        return kExitUsage;
    }
    const bool img = !isGeoTiff(o.output) && !isNetCdf(o.output);
    if (!o.coding.empty() && o.coding != "byte" && o.coding != "float") {
        std::fprintf(stderr, "zentrel: --coding must be float or byte.\n");
        return kExitUsage;
    }
    const bool byte = o.coding == "byte" || (o.coding.empty() && img);
    if (!byte && img) {
        std::fprintf(stderr, "zentrel: an IMG file holds the one-byte coding only: write FILE.tif or FILE.nc for --coding float.\n");
        return kExitUsage;
    }
    if (byte && isNetCdf(o.output)) {
        std::fprintf(stderr, "zentrel: netCDF files are written in full precision: leave out --coding byte.\n");
        return kExitUsage;
    }
    const bool allPeriods = o.period == "all";
    const int period = allPeriods ? 13 : parseSurfacePeriod(o.period);
    if (period < 0) {
        std::fprintf(stderr, "zentrel: --period must be a month 1..12 or its name (July, jul), 13 or Annual for the annual value, or all.\n");
        return kExitUsage;
    }
    if (byte && (allPeriods || o.quantities != "best" || !o.tile.empty())) {
        std::fprintf(stderr, "zentrel: the one-byte coding holds one period of the estimate: --period all, --quantities and --tile need --coding float.\n");
        return kExitUsage;
    }
    std::vector<SurfaceQuantity> quantities;
    try {
        quantities = parseQuantities(o.quantities);
    } catch (const Error& e) {
        std::fprintf(stderr, "zentrel: --quantities: %s\n", e.what());
        return kExitUsage;
    }
    if (o.level != 90 && o.level != 95 && o.level != 99) {
        std::fprintf(stderr, "zentrel: --level must be 90, 95 or 99.\n");
        return kExitUsage;
    }
    int tileIndex = 1, tileCount = 1;
    if (!o.tile.empty() && (!parseTile(o.tile, tileIndex, tileCount) || isNetCdf(o.output))) {
        std::fprintf(stderr, "zentrel: --tile takes I/N, strip I of N (1 <= I <= N), and writes a GeoTIFF (FILE.tif).\n");
        return kExitUsage;
    }
    // The grid of a raster (the user's elevation model, say) instead of a box and a resolution.
    std::shared_ptr<const ElevationModel> gridOf;
    if (!o.gridLike.empty()) {
        if (byte || !o.bbox.empty() || !o.res.empty()) {
            std::fprintf(stderr, "zentrel: --grid-like gives a GeoTIFF or netCDF surface the grid of a raster: leave out --bbox, --res and --coding byte.\n");
            return kExitUsage;
        }
        gridOf = std::make_shared<const ElevationModel>(o.gridLike);
        const SurfaceGrid g = gridOf->grid();
        o.bbox = fmt::format("{},{},{},{}", g.West, g.south(), g.east(), g.North);
        o.res = fmt::format("{}", g.CellWidth);
    } else if (o.bbox.empty() || o.res.empty()) {
        std::fprintf(stderr, "zentrel: raster needs --bbox and --res, or --grid-like FILE.\n");
        return kExitUsage;
    }
    const auto resolution = byte ? parseResolution(o.res) : parseAngle(o.res);
    if (!resolution) {
        if (byte) std::fprintf(stderr, "zentrel: %s\n", kResolutionMessage);
        else std::fprintf(stderr, "zentrel: --res must be a positive number of degrees, or of arc-minutes or arc-seconds such as 5m or 30s.\n");
        return kExitUsage;
    }
    const std::vector<std::string> box = splitCommas(o.bbox);
    if (box.size() != 4) {
        std::fprintf(stderr, "zentrel: --bbox takes four numbers: LONSTART,LATEND,LONEND,LATSTART.\n");
        return kExitUsage;
    }
    // Each number on its own first: the panel's messages below only compare them with each
    // other and with the map, so a longitude of 400 would be reported as a range ending at 181.
    const std::optional<std::array<double, 4>> edges = boxEdges(box, {"LONSTART", "LATEND", "LONEND", "LATSTART"});
    if (!edges) return kExitUsage;
    // The panel's checks against the whole world first: a wrong box is a usage error whether or
    // not a map is there to check it against (a smaller map's own edges are checked below).
    if (byte) {
        if (const std::string message = checkExportRectangle(box[0], box[2], box[3], box[1], {-180, 180, 90, -90});
            !message.empty()) {
            std::fprintf(stderr, "zentrel: %s\n", message.c_str());
            return kExitUsage;
        }
        try {
            planRasterExport(variable, period, *resolution, (*edges)[0], (*edges)[2], (*edges)[3], (*edges)[1]);
        } catch (const Error& e) {
            std::fprintf(stderr, "zentrel: %s\n", e.what());
            return kExitUsage;
        }
    }
    SurfaceJob job;  // the surface's grid and strip: usage errors too, found before any data
    if (!byte) {
        job.variable = variable;
        job.layout.Variable = variable;
        job.layout.Periods.clear();
        if (allPeriods)
            for (int p = 1; p <= 13; ++p) job.layout.Periods.push_back(p);
        else
            job.layout.Periods.push_back(period);
        job.layout.Quantities = quantities;
        job.layout.ConfidenceLevel = o.level;
        job.layout.ConfidenceFactor = confidenceFactor(o.level);
        try {
            job.grid = gridOf ? gridOf->grid() : surfaceGrid((*edges)[0], (*edges)[1], (*edges)[2], (*edges)[3], *resolution);
        } catch (const Error& e) {
            std::fprintf(stderr, "zentrel: %s\n", e.what());
            return kExitUsage;
        }
        job.rows = tileRows(job.grid.Rows, tileIndex, tileCount);
        // More strips than rows would leave some strips empty: refused for every strip alike.
        if (tileCount > job.grid.Rows || job.rows.Count == 0) {
            std::fprintf(stderr, "zentrel: --tile %s: the raster has only %d rows, too few for %d strips.\n",
                         o.tile.c_str(), job.grid.Rows, tileCount);
            return kExitUsage;
        }
        if (!o.tile.empty()) job.tile = fmt::format("{}/{}", tileIndex, tileCount);
    }
    const std::string folder = resolveDataFolder(common.programDir, common.dataDir);
    requireDataFolder(folder);
    const std::shared_ptr<const ElevationModel> dem =
        o.dem.empty() ? nullptr : o.dem == o.gridLike ? gridOf : std::make_shared<const ElevationModel>(o.dem);
    if (!holdsVariable(folder, variable)) {
        std::fprintf(stderr, "zentrel: %s; add them with zentrel data import-csv.\n", missingVariableMessage(variable).c_str());
        return kExitData;
    }
    const std::optional<ImgRaster> landMaskMap = landMask(common, folder, o.mask);
    if (!landMaskMap) return kExitData;
    const ImgRaster& mask = *landMaskMap;
    // The panel's checks belong to the byte coding, whose points lie on the box's edges; a
    // surface's cells lie inside its box, and cells off the mask are left without data.
    if (byte) {
        if (const std::string message =
                checkExportRectangle(box[0], box[2], box[3], box[1], mapExtent(mask.Header));
            !message.empty()) {
            std::fprintf(stderr, "zentrel: %s\n", message.c_str());
            return kExitUsage;
        }
    }
    if (!byte) return runSurface(o, job, settings, folder, mask, dem);
    const RasterExportPlan plan =
        planRasterExport(variable, period, *resolution, (*edges)[0], (*edges)[2], (*edges)[3], (*edges)[1]);
    ImgRaster raster;
    raster.Header = GetNewHeader(plan, mask.Header);

    const OutputLock lock(o.output);
    const int threads = static_cast<int>(workerThreadsFor(o.threads));
    auto database = std::make_shared<StationDatabase>(folder);
    RasterCellEstimator estimator(settings, folder, database, variable, period, threads);
    if (dem) estimator.useElevationModel(dem, plan.Resolution, plan.Resolution);
    Feedback feedback;
    ProgressLine bar;
    const bool showBar = !o.quiet && ::isatty(STDERR_FILENO);
    if (showBar) feedback.onProgress = [&bar](long long done, long long total) { bar.draw(done, total); };
    const auto start = std::chrono::steady_clock::now();
    std::optional<std::vector<uint8_t>> cells;
    std::atomic<long long> beyondRecords{0};
    {
        InterruptScope interrupt(feedback);
        cells = computeRasterCells(
            plan, mask,
            [&](int worker, double lon, double lat) {
                const float v = estimator(worker, lon, lat);
                if (!std::isnan(v) && !recordsOfPeriod(variable, period).contains(ClipValue(v, variable))) ++beyondRecords;
                return v;
            },
            threads, &feedback);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (showBar) bar.finish();
    if (!cells) {  // only a cancel ends the loop without cells
        std::fprintf(stderr, "zentrel: cancelled; %s was not written.\n", o.output.c_str());
        return kExitInterrupted;
    }
    raster.Cells = std::move(*cells);
    if (isGeoTiff(o.output)) writeRasterGeoTiff(o.output, plan, raster);
    else writeImg(o.output, raster);

    const auto estimated = std::count_if(raster.Cells.begin(), raster.Cells.end(), [](uint8_t c) { return c != kImgNoData; });
    std::printf("%s: %s, %d columns x %d rows from %s,%s to %s,%s at %s degrees, %lld cells estimated, %.2f s, %.0f cells/s on %d threads",
                o.output.c_str(), raster.Header.Title.c_str(), plan.Columns, plan.Rows,
                fmt::format("{}", plan.LonStart).c_str(), fmt::format("{}", plan.LatStart).c_str(),
                fmt::format("{}", plan.LonEnd).c_str(), fmt::format("{}", plan.LatEnd).c_str(),
                fmt::format("{}", plan.Resolution).c_str(), static_cast<long long>(estimated), seconds,
                seconds > 0 ? plan.Rows * static_cast<double>(plan.Columns) / seconds : 0.0, threads);
    endSummaryLine(beyondRecords);
    return kExitOk;
}

}  // namespace

void registerRaster(CLI::App& app, CommonOptions& common, Runner& run) {
    auto o = std::make_shared<RasterOptions>();
    auto* cmd = app.add_subcommand("raster", "Estimate a variable over a rectangle as a raster: GeoTIFF or netCDF surfaces, or a raster image (IMG)");
    auto* var = cmd->add_option("--var", o->var, "Temp, Tmax, Tmin, Prec, Vap, PET, Wind or Sun (required but with --merge)");
    cmd->add_option("--period", o->period,
                    "Month 1..12 or its name (July, jul; any case), 13 or Annual for the annual value, or all: 13 bands")
        ->capture_default_str();
    auto* bbox = cmd->add_option("--bbox", o->bbox,
                                 "LONSTART,LATEND,LONEND,LATSTART in decimal degrees (west,south,east,north; for GeoTIFF and "
                                 "netCDF a west east of the east edge crosses the date line; not with --merge)");
    auto* res = cmd->add_option("--res", o->res,
                                "Cell size in decimal degrees (\"0,5\" is read as 0.5), or 5m, 30s; 0.001..2 degrees for the byte "
                                "coding (not with --merge)");
    cmd->add_option("--grid-like", o->gridLike,
                    "Instead of --bbox and --res: the grid of this raster (longitude and latitude), e.g. your elevation model");
    cmd->add_option("--dem", o->dem,
                    "Your own elevation model (any raster GDAL reads, any coordinate system): each cell's mean altitude "
                    "from it instead of the 5-minute elevation raster (cells outside it keep that raster's)");
    cmd->add_option("--mask", o->mask, "Map whose sea cells (255) are left out (default: the first map of rastelldata)");
    cmd->add_option("-o,--output", o->output, "Output file: FILE.tif (GeoTIFF), FILE.nc (netCDF) or FILE.img (raster image)")
        ->required();
    cmd->add_option("--coding", o->coding,
                    "float: values in the variable's unit (default for .tif and .nc); byte: the desktop's one-byte coding "
                    "(always for .img)");
    cmd->add_option("--quantities", o->quantities, "Comma-separated: best, stderr, low, high, bias (one band each per period)")
        ->capture_default_str();
    cmd->add_option("--level", o->level, "Confidence level of low and high: 90, 95 or 99")->capture_default_str();
    auto* tile = cmd->add_option("--tile", o->tile, "I/N: only strip I of N horizontal strips of the same grid (join them with --merge)");
    cmd->add_option("--merge", o->merge,
                    "STRIP.tif...: join the strips of one run (every --tile I/N) into the GeoTIFF -o that one run "
                    "writes; a strip of another variable, method, grid, period or data source is refused by name")
        ->expected(1, -1)
        ->excludes(var)
        ->excludes(bbox)
        ->excludes(res)
        ->excludes(tile);
    addThreadsOption(*cmd, o->threads, "Worker threads");
    cmd->add_flag("--quiet", o->quiet, "No progress line");
    addDataOption(*cmd, common);
    addSettingsOptions(*cmd, o->settings);
    cmd->footer("Exit codes: 0 written, 1 data or file error, 2 usage error, 130 cancelled by Ctrl-C (nothing written).");
    cmd->callback([&run, &common, o] { run = [&common, o] { return runRaster(*o, common); }; });
}

}  // namespace zentrel::cli
