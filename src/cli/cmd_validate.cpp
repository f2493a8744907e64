// `zentrel validate`: hold-out validation of the estimate over a whole station database.
#include <algorithm>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <thread>

#include "cli/commands.h"
#include "cli/number_options.h"
#include "cli/settings_options.h"
#include "data/data_folder.h"
#include "data/data_info.h"
#include "data/station_database.h"
#include "files/output_lock.h"
#include "formats/text_output.h"
#include "settings/program_settings.h"
#include "kriging/kriging.h"
#include "validation/cross_validation.h"
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
    std::string json, csv;
    SettingsOptions settings;
};

// A one-line bar redrawn in place; only on a terminal, so logs stay clean.
void drawProgress(long long done, long long total) {
    static int last = -1;
    if (total <= 0) return;
    const int percent = static_cast<int>(100 * done / total);
    if (percent == last) return;
    last = percent;
    constexpr int kWidth = 40;
    const int filled = percent * kWidth / 100;
    std::fprintf(stderr, "\r[%s%s] %3d%% %lld/%lld stations", std::string(static_cast<size_t>(filled), '#').c_str(),
                 std::string(static_cast<size_t>(kWidth - filled), ' ').c_str(), percent, done, total);
    if (done >= total) std::fprintf(stderr, "\n");
    std::fflush(stderr);
}

int runValidate(const ValidateOptions& o, const CommonOptions& common) {
    ProgramSettings settings;
    if (int code = applySettingsOptions(o.settings, settings); code != kExitOk) return code;
    ValidationOptions vo;
    const bool all = o.var == "all" || o.var == "All" || o.var == "ALL";
    if (all) {
        for (int v = 0; v < kVariableCount; ++v) vo.variables.push_back(v);
    } else {
        const int v = variableFromName(o.var);
        if (v < 0) {
            std::fprintf(stderr, "zentrel: --var must be one of Temp, Tmax, Tmin, Prec, Vap, PET, Wind, Sun, all.\n");
            return kExitUsage;
        }
        vo.variables.push_back(v);
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

    if (!all && !holdsVariable(folder, vo.variables.front())) {
        std::fprintf(stderr, "zentrel: %s; add them with zentrel data import-csv.\n",
                     missingVariableMessage(vo.variables.front()).c_str());
        return kExitData;
    }
    std::optional<OutputLock> jsonLock, csvLock;
    if (!o.json.empty()) jsonLock.emplace(o.json);
    if (!o.csv.empty() && o.csv != o.json) csvLock.emplace(o.csv);
    Feedback feedback;
    if (::isatty(STDERR_FILENO)) feedback.onProgress = drawProgress;
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
    auto* cmd = app.add_subcommand("validate", "Hold out each station in turn and compare its estimate with its normals");
    addDataOption(*cmd, common);
    cmd->add_option("--var", o->var, "Temp, Tmax, Tmin, Prec, Vap, PET, Wind, Sun or all")->capture_default_str();
    auto* folds = cmd->add_option("--folds", o->folds, "Number of folds, 2..100000")
                      ->check(wholeIn(2, 100000))
                      ->capture_default_str();
    cmd->add_flag("--loo", o->loo, "Leave one out: every station its own fold")->excludes(folds);
    cmd->add_option("--stations", o->stations, "Hold out only a seeded subsample of N stations per variable")
        ->check(wholeIn(1, 100000000));
    cmd->add_option("--seed", o->seed, "Seed of the folds and the subsample")
        ->check(wholeIn(0, 4294967295LL))
        ->capture_default_str();
    addThreadsOption(*cmd, o->threads, "Worker threads");
    cmd->add_option("--worst", o->worst, "Stations in the list of worst residuals, 0..100000")
        ->check(wholeIn(0, 100000))
        ->capture_default_str();
    cmd->add_option("--json", o->json, "Also write the report as JSON to FILE");
    cmd->add_option("--csv", o->csv, "Also write every held-out station and month as CSV to FILE");
    addSettingsOptions(*cmd, o->settings);
    cmd->callback([&run, &common, o] { run = [&common, o] { return runValidate(*o, common); }; });
}

}  // namespace zentrel::cli
