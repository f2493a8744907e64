// `zentrel validate`: hold-out validation of the estimate over a whole station database, and
// with --map the plausibility audit of every land cell of a box.
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <optional>
#include <thread>

#include "cli/commands.h"
#include "cli/number_options.h"
#include "cli/settings_options.h"
#include "data/data_folder.h"
#include "data/data_info.h"
#include "data/elevation_model.h"
#include "data/station_database.h"
#include "data/terrain.h"
#include "error.h"
#include "files/output_lock.h"
#include "formats/text_output.h"
#include "maps/climate_surface.h"
#include "maps/raster_export.h"
#include "settings/program_settings.h"
#include "kriging/kriging.h"
#include "validation/cross_validation.h"
#include "validation/map_audit.h"
#include "validation/validation_report.h"
#include "worker_threads.h"

namespace zentrel::cli {

namespace {

struct ValidateOptions {
    std::string var = "all";
    int folds = 10;
    bool loo = false;
    int stations = 0;
    uint32_t seed = 1;
    int threads = 0;
    int worst = 20;
    bool worstGiven = false;
    std::string json, csv;
    bool map = false;
    std::string bbox, res, mask;
    std::string dem;  // with --map: the user's elevation model
    SettingsOptions settings;
};

// --var: all, or a comma-separated list of names in any order; each named once.
bool parseVariables(const std::string& text, std::vector<int>& variables) {
    if (text == "all" || text == "All" || text == "ALL") {
        for (int v = 0; v < kVariableCount; ++v) variables.push_back(v);
        return true;
    }
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(',', start);
        const int v = variableFromName(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (v < 0 || std::find(variables.begin(), variables.end(), v) != variables.end()) return false;
        variables.push_back(v);
        if (end == std::string::npos) return true;
        start = end + 1;
    }
}

// A one-line bar redrawn in place; only on a terminal, so logs stay clean. `unit` names what
// is counted.
void drawProgress(long long done, long long total, const char* unit) {
    static int last = -1;
    if (total <= 0) return;
    const int percent = static_cast<int>(100 * done / total);
    if (percent == last) return;
    last = percent;
    constexpr int kWidth = 40;
    const int filled = percent * kWidth / 100;
    std::fprintf(stderr, "\r[%s%s] %3d%% %lld/%lld %s", std::string(static_cast<size_t>(filled), '#').c_str(),
                 std::string(static_cast<size_t>(kWidth - filled), ' ').c_str(), percent, done, total, unit);
    if (done >= total) std::fprintf(stderr, "\n");
    std::fflush(stderr);
}

// --map: every land cell of the box, as `zentrel raster` estimates it, against the world's
// records and its neighbours' envelope.
int runMapAudit(const ValidateOptions& o, const CommonOptions& common, const ProgramSettings& settings,
                std::vector<int> variables, bool all) {
    const std::vector<std::string> box = splitCommas(o.bbox);
    if (box.size() != 4) {
        std::fprintf(stderr, "zentrel: --map needs --bbox WEST,SOUTH,EAST,NORTH in decimal degrees.\n");
        return kExitUsage;
    }
    const std::optional<std::array<double, 4>> edges = boxEdges(box, {"west", "south", "east", "north"});
    if (!edges) return kExitUsage;
    const std::optional<double> resolution = parseAngle(o.res);
    if (!resolution) {
        std::fprintf(stderr, "zentrel: --map needs --res, a positive number of degrees, or of arc-minutes or arc-seconds such as 5m or 30s.\n");
        return kExitUsage;
    }
    MapAuditOptions mo;
    try {
        mo.grid = surfaceGrid((*edges)[0], (*edges)[1], (*edges)[2], (*edges)[3], *resolution);
    } catch (const Error& e) {
        std::fprintf(stderr, "zentrel: %s\n", e.what());
        return kExitUsage;
    }
    const std::string folder = resolveDataFolder(common.programDir, common.dataDir);
    requireDataFolder(folder);
    if (!o.dem.empty()) mo.dem = std::make_shared<const ElevationModel>(o.dem);
    for (int v : variables) {
        if (holdsVariable(folder, v)) mo.variables.push_back(v);
        else if (all) std::fprintf(stderr, "zentrel: note: %s.\n", skippedVariableNote(v).c_str());
        else {
            std::fprintf(stderr, "zentrel: %s; add them with zentrel data import-csv.\n", missingVariableMessage(v).c_str());
            return kExitData;
        }
    }
    const std::optional<ImgRaster> landMaskMap = landMask(common, folder, o.mask);
    if (!landMaskMap) return kExitData;
    const ImgRaster& mask = *landMaskMap;
    mo.threads = static_cast<int>(workerThreadsFor(o.threads));
    mo.worst = o.worstGiven ? o.worst : 5;  // each with its neighbours: a few make a readable report
    std::optional<OutputLock> jsonLock;
    if (!o.json.empty()) jsonLock.emplace(o.json);
    Feedback feedback;
    if (::isatty(STDERR_FILENO)) feedback.onProgress = [](long long done, long long total) { drawProgress(done, total, "cells"); };
    auto database = std::make_shared<const StationDatabase>(folder);
    const MapAudit audit = auditMap(database, folder, settings, mask, mo, &feedback);
    std::fputs(formatMapAuditText(audit).c_str(), stdout);
    std::printf("Terrain: %s\n", describeTerrain(terrainFolderOf(folder)).c_str());
    if (!o.json.empty()) saveOutput(o.json, formatMapAuditJson(audit));
    return kExitOk;
}

int runValidate(const ValidateOptions& o, const CommonOptions& common) {
    ProgramSettings settings;
    if (int code = applySettingsOptions(o.settings, settings); code != kExitOk) return code;
    ValidationOptions vo;
    const bool all = o.var == "all" || o.var == "All" || o.var == "ALL";
    if (!parseVariables(o.var, vo.variables)) {
        std::fprintf(stderr, "zentrel: --var must be all or a list of Temp, Tmax, Tmin, Prec, Vap, PET, Wind, Sun, each named once.\n");
        return kExitUsage;
    }
    if (o.map) return runMapAudit(o, common, settings, vo.variables, all);
    if (!o.bbox.empty() || !o.res.empty() || !o.mask.empty() || !o.dem.empty()) {
        std::fprintf(stderr, "zentrel: --bbox, --res, --mask and --dem belong to the audit of a map: add --map.\n");
        return kExitUsage;
    }
    if (!o.loo && o.folds < 2) {
        std::fprintf(stderr, "zentrel: --folds needs at least 2 folds (or --loo).\n");
        return kExitUsage;
    }
    vo.folds = o.loo ? 0 : o.folds;
    vo.sample = o.stations;
    vo.seed = o.seed;
    vo.threads = static_cast<int>(workerThreadsFor(o.threads));
    vo.worst = o.worst;
    const std::string folder = resolveDataFolder(common.programDir, common.dataDir);
    requireDataFolder(folder);

    if (all && !holdsAnyStationFile(folder)) {
        std::fprintf(stderr, "zentrel: the data folder %s holds the normals of no variable: there is nothing to validate; "
                             "add stations with zentrel data import-csv.\n", folder.c_str());
        return kExitData;
    }
    for (int v : vo.variables)
        if (!all && !holdsVariable(folder, v)) {
            std::fprintf(stderr, "zentrel: %s; add them with zentrel data import-csv.\n", missingVariableMessage(v).c_str());
            return kExitData;
        }
    std::optional<OutputLock> jsonLock, csvLock;
    if (!o.json.empty()) jsonLock.emplace(o.json);
    if (!o.csv.empty() && o.csv != o.json) csvLock.emplace(o.csv);
    Feedback feedback;
    if (::isatty(STDERR_FILENO)) feedback.onProgress = [](long long done, long long total) { drawProgress(done, total, "stations"); };
    auto database = std::make_shared<const StationDatabase>(folder);
    ValidationReport report = validateDatabase(database, settings, vo, &feedback);
    if (all) {
        // Only the variables the database holds stations for.
        std::erase_if(report.variables, [](const VariableValidation& v) {
            if (v.candidates == 0)
                std::fprintf(stderr, "zentrel: note: %s.\n", skippedVariableNote(v.variable).c_str());
            return v.candidates == 0;
        });
    }
    std::fputs(formatValidationText(report).c_str(), stdout);
    std::printf("Terrain: %s\n", describeTerrain(terrainFolderOf(folder)).c_str());
    if (effectiveMethod(settings) == Method::Kriging &&
        std::any_of(report.variables.begin(), report.variables.end(),
                    [](const VariableValidation& v) { return v.variable == Tmax || v.variable == Tmin; })) {
        // Found on the whole database; each fold finds them again among the stations it keeps.
        const std::string extremes = KrigingModel::describeExtremes(KrigingModel::extremeStations(settings, folder, database, nullptr));
        if (!extremes.empty()) std::fputs(("\n" + extremes).c_str(), stdout);
    }
    if (!o.json.empty()) saveOutput(o.json, formatValidationJson(report));
    if (!o.csv.empty()) saveOutput(o.csv, formatValidationCsv(report));
    return kExitOk;
}

}  // namespace

void registerValidate(CLI::App& app, CommonOptions& common, Runner& run) {
    auto o = std::make_shared<ValidateOptions>();
    auto* cmd = app.add_subcommand("validate",
                                   "Hold out each station in turn and compare its estimate with its normals; with --map, "
                                   "audit every land cell of a box against the world's records and its neighbours");
    addDataOption(*cmd, common);
    cmd->add_option("--var,--vars", o->var, "all, or a comma-separated list of Temp, Tmax, Tmin, Prec, Vap, PET, Wind, Sun")
        ->capture_default_str();
    auto* map = cmd->add_flag("--map", o->map,
                              "Audit a map instead: every land cell of --bbox at --res, every month and the annual value");
    cmd->add_option("--bbox", o->bbox, "With --map: WEST,SOUTH,EAST,NORTH in decimal degrees");
    cmd->add_option("--res", o->res, "With --map: cell size in decimal degrees, or 5m, 30s");
    cmd->add_option("--mask", o->mask, "With --map: map whose sea cells (255) are left out (default: the first map of rastelldata)");
    cmd->add_option("--dem", o->dem, "With --map: your own elevation model (any raster GDAL reads) for the cells' altitudes");
    auto* folds = cmd->add_option("--folds", o->folds, "Number of folds, 2..100000")
                      ->transform(wholeIn(2, 100000))
                      ->capture_default_str();
    folds->excludes(map);
    cmd->add_flag("--loo", o->loo, "Leave one out: every station its own fold")->excludes(folds)->excludes(map);
    cmd->add_option("--stations", o->stations, "Hold out only a seeded subsample of N stations per variable")
        ->transform(wholeIn(1, 100000000))
        ->excludes(map);
    cmd->add_option("--seed", o->seed, "Seed of the folds and the subsample")
        ->transform(wholeIn(0, 4294967295LL))
        ->capture_default_str();
    addThreadsOption(*cmd, o->threads, "Worker threads");
    cmd->add_option("--worst", o->worst, "Stations in the list of worst residuals (with --map: cells per variable, 5), 0..100000")
        ->transform(wholeIn(0, 100000))
        ->capture_default_str()
        ->each([o](const std::string&) { o->worstGiven = true; });
    cmd->add_option("--json", o->json, "Also write the report as JSON to FILE");
    cmd->add_option("--csv", o->csv, "Also write every held-out station and month as CSV to FILE")->excludes(map);
    addSettingsOptions(*cmd, o->settings);
    cmd->callback([&run, &common, o] { run = [&common, o] { return runValidate(*o, common); }; });
}

}  // namespace zentrel::cli
