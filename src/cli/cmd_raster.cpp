// `zentrel raster`: an estimated variable over a rectangle as a raster image file (IMG or
// GeoTIFF), every land cell of the mask map estimated, rows shared out among all cores.
#include <fmt/format.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>

#include "cli/commands.h"
#include "cli/number_options.h"
#include "cli/settings_options.h"
#include "data/data_folder.h"
#include "data/station_database.h"
#include "engine/types.h"
#include "feedback.h"
#include "files/output_lock.h"
#include "maps/map_folder.h"
#include "maps/raster_export.h"
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
    int threads = 0;
    bool quiet = false;
    SettingsOptions settings;
};

std::vector<std::string> splitCommas(const std::string& text) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(',', start);
        parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) return parts;
        start = end + 1;
    }
}

// The period as a number 1..13 or as the export panel's entry ("September", "Average").
int parsePeriod(const std::string& text) {
    if (const int byName = periodNumber(text); byName > 0) return byName;
    const auto number = parseCoordinate(text);
    if (number && *number >= 1 && *number <= 13 && *number == std::floor(*number)) return static_cast<int>(*number);
    return -1;
}

// The mask: --mask, else the first usable map of the map folder beside the program, else of
// the one beside the data folder (so that --data of another build finds its maps too).
std::string defaultMask(const CommonOptions& common, const std::string& dataFolder) {
    for (const fs::path& folder : {fs::path(common.programDir) / kMapFolderName,
                                  fs::path(dataFolder).parent_path() / kMapFolderName}) {
        const auto maps = listUsableMaps(folder.string());
        if (!maps.empty()) return maps.front().Img;
    }
    return {};
}

bool isGeoTiff(const std::string& path) {
    std::string ext = fs::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext == ".tif" || ext == ".tiff";
}

// A one-line progress bar redrawn in place on stderr.
class ProgressBar {
public:
    void draw(long long done, long long total) {
        const int percent = total > 0 ? static_cast<int>(done * 100 / total) : 0;
        if (percent == shown_) return;
        shown_ = percent;
        const int width = 40, filled = percent * width / 100;
        std::fprintf(stderr, "\r[%s%s] %3d%%", std::string(static_cast<size_t>(filled), '#').c_str(),
                     std::string(static_cast<size_t>(width - filled), ' ').c_str(), percent);
        std::fflush(stderr);
    }
    void finish() {
        if (shown_ >= 0) std::fprintf(stderr, "\n");
    }

private:
    int shown_ = -1;
};

int runRaster(const RasterOptions& o, const CommonOptions& common) {
    ProgramSettings settings;
    if (int code = applySettingsOptions(o.settings, settings); code != kExitOk) return code;
    const int variable = variableFromName(o.var);
    if (variable < 0) {
        std::fprintf(stderr, "zentrel: --var must be one of Temp, Tmax, Tmin, Prec, Vap, PET, Wind, Sun.\n");
        return kExitUsage;
    }
    const int period = parsePeriod(o.period);
    if (period < 0) {
        std::fprintf(stderr, "zentrel: --period must be a month 1..12, 13 for the annual value, or a name (September, Average).\n");
        return kExitUsage;
    }
    const auto resolution = parseResolution(o.res);
    if (!resolution) {
        std::fprintf(stderr, "zentrel: %s\n", kResolutionMessage);
        return kExitUsage;
    }
    const std::vector<std::string> box = splitCommas(o.bbox);
    if (box.size() != 4) {
        std::fprintf(stderr, "zentrel: --bbox takes four numbers: LONSTART,LATEND,LONEND,LATSTART.\n");
        return kExitUsage;
    }
    // Each number on its own first: the panel's messages below only compare them with each
    // other and with the map, so a longitude of 400 would be reported as a range ending at 181.
    const char* kBoxNames[] = {"LONSTART", "LATEND", "LONEND", "LATSTART"};
    for (size_t k = 0; k < 4; ++k) {
        const double limit = k % 2 == 0 ? 180 : 90;
        const std::optional<double> v = parseCoordinate(box[k]);
        if (!v || *v < -limit || *v > limit) {
            std::fprintf(stderr, "zentrel: --bbox: %s \"%s\" is not a %s in %g..%g.\n", kBoxNames[k], box[k].c_str(),
                         k % 2 == 0 ? "longitude" : "latitude", -limit, limit);
            return kExitUsage;
        }
    }
    const std::string folder = resolveDataFolder(common.programDir, common.dataDir);
    requireDataFolder(folder);
    const std::string maskPath = o.mask.empty() ? defaultMask(common, folder) : o.mask;
    if (maskPath.empty()) {
        std::fprintf(stderr, "zentrel: No Map available: give the land mask with --mask MAP.img.\n");
        return kExitData;
    }
    const ImgRaster mask = readImg(maskPath);
    if (const std::string message = checkExportRectangle(box[0], box[2], box[3], box[1], mapExtent(mask.Header));
        !message.empty()) {
        std::fprintf(stderr, "zentrel: %s\n", message.c_str());
        return kExitUsage;
    }
    const RasterExportPlan plan =
        planRasterExport(variable, period, *resolution, *parseCoordinate(box[0]), *parseCoordinate(box[2]),
                         *parseCoordinate(box[3]), *parseCoordinate(box[1]));
    ImgRaster raster;
    raster.Header = GetNewHeader(plan, mask.Header);

    const OutputLock lock(o.output);
    const int threads = static_cast<int>(workerThreadsFor(o.threads));
    auto database = std::make_shared<StationDatabase>(folder);
    RasterCellEstimator estimator(settings, folder, database, variable, period, threads);
    Feedback feedback;
    ProgressBar bar;
    const bool showBar = !o.quiet && ::isatty(STDERR_FILENO);
    if (showBar) feedback.onProgress = [&bar](long long done, long long total) { bar.draw(done, total); };
    const auto start = std::chrono::steady_clock::now();
    auto cells = computeRasterCells(plan, mask, estimator.function(), threads, &feedback);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (showBar) bar.finish();
    if (!cells) return kExitData;  // only a cancel ends the loop without cells
    raster.Cells = std::move(*cells);
    if (isGeoTiff(o.output)) writeRasterGeoTiff(o.output, plan, raster);
    else writeImg(o.output, raster);

    const auto estimated = std::count_if(raster.Cells.begin(), raster.Cells.end(), [](uint8_t c) { return c != kImgNoData; });
    std::printf("%s: %s, %d columns x %d rows from %s,%s to %s,%s at %s degrees, %lld cells estimated, %.2f s on %d threads\n",
                o.output.c_str(), raster.Header.Title.c_str(), plan.Columns, plan.Rows,
                fmt::format("{}", plan.LonStart).c_str(), fmt::format("{}", plan.LatStart).c_str(),
                fmt::format("{}", plan.LonEnd).c_str(), fmt::format("{}", plan.LatEnd).c_str(),
                fmt::format("{}", plan.Resolution).c_str(), static_cast<long long>(estimated), seconds, threads);
    return kExitOk;
}

}  // namespace

void registerRaster(CLI::App& app, CommonOptions& common, Runner& run) {
    auto o = std::make_shared<RasterOptions>();
    auto* cmd = app.add_subcommand("raster", "Estimate a variable over a rectangle as a raster image (IMG or GeoTIFF)");
    cmd->add_option("--var", o->var, "Temp, Tmax, Tmin, Prec, Vap, PET, Wind or Sun")->required();
    cmd->add_option("--period", o->period, "Month 1..12 or 13 for the annual value (or January..December, Average)")
        ->capture_default_str();
    cmd->add_option("--bbox", o->bbox, "LONSTART,LATEND,LONEND,LATSTART in decimal degrees (west,south,east,north)")
        ->required();
    cmd->add_option("--res", o->res, "Resolution in decimal degrees, 0.001..2 (\"0,5\" is read as 0.5)")->required();
    cmd->add_option("--mask", o->mask, "Map whose sea cells (255) are left out (default: the first map of rastelldata)");
    cmd->add_option("-o,--output", o->output, "Output file: FILE.img (raster image) or FILE.tif (GeoTIFF)")->required();
    addThreadsOption(*cmd, o->threads, "Worker threads");
    cmd->add_flag("--quiet", o->quiet, "No progress bar");
    addDataOption(*cmd, common);
    addSettingsOptions(*cmd, o->settings);
    cmd->callback([&run, &common, o] { run = [&common, o] { return runRaster(*o, common); }; });
}

}  // namespace zentrel::cli
