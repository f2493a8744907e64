// `zentrel batch`: the estimate over a file of locations or a grid, written as the batch window
// writes it, on all cores, with a progress bar and Ctrl-C that keeps what was written.
#include <fmt/format.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <unistd.h>

#include "batch/batch_run.h"
#include "files/output_lock.h"
#include "cli/commands.h"
#include "cli/number_options.h"
#include "cli/settings_options.h"
#include "data/data_folder.h"
#include "data/elevation_model.h"
#include "decimal_number.h"
#include "data/terrain.h"
#include "error.h"
#include "locations/location_list.h"
#include "settings/program_settings.h"

namespace zentrel::cli {

namespace {

/// Exit code of a run stopped by Ctrl-C (the shell's convention for an interrupt).
constexpr int kExitInterrupted = 130;

struct BatchCliOptions {
    std::string locations;
    std::string grid;
    std::string out;
    std::string format = "zte";
    std::string vars = "all";
    std::string quantities = "best";
    int level = 90;
    bool dem = false;
    std::string demFile;  // --dem FILE: the user's elevation model
    bool append = false;
    bool strict = false;
    int threads = 0;
    SettingsOptions settings;
};

std::vector<std::string> splitList(const std::string& text) {
    std::vector<std::string> items;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(',', start);
        if (end == std::string::npos) end = text.size();
        items.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return items;
}

bool parseVariables(const std::string& text, VariableSelection& selection) {
    if (text == "all" || text == "All" || text == "ALL") {
        selection.fill(true);
        return true;
    }
    for (const std::string& item : splitList(text)) {
        const int v = variableFromName(item);
        if (v < 0) {
            std::fprintf(stderr, "zentrel: --vars: unknown variable \"%s\" (Temp, Tmax, Tmin, Prec, Vap, PET, Wind, Sun or all).\n",
                         item.c_str());
            return false;
        }
        selection[static_cast<size_t>(v)] = true;
    }
    return true;
}

bool parseQuantityList(const std::string& text, QuantitySelection& q) {
    const std::pair<const char*, bool QuantitySelection::*> names[] = {
        {"best", &QuantitySelection::best},       {"interval", &QuantitySelection::interval},
        {"stderr", &QuantitySelection::stdErr},   {"bias", &QuantitySelection::bias},
        {"slope", &QuantitySelection::slope},     {"explvar", &QuantitySelection::explVar},
        {"absgrad", &QuantitySelection::absGrad}, {"dirgrad", &QuantitySelection::dirGrad},
        {"longrad", &QuantitySelection::longGrad}, {"latgrad", &QuantitySelection::latGrad}};
    for (const std::string& item : splitList(text)) {
        bool known = false;
        for (const auto& [name, member] : names)
            if (item == name) {
                q.*member = true;
                known = true;
            }
        if (!known && !item.empty()) {
            std::fprintf(stderr, "zentrel: --quantities: unknown quantity \"%s\".\n", item.c_str());
            return false;
        }
    }
    return true;
}

bool parseGrid(const std::string& text, GridDefinition& grid) {
    const std::vector<std::string> items = splitList(text);
    float values[6];
    bool ok = items.size() == 6;
    for (size_t i = 0; ok && i < 6; ++i) {
        const std::optional<float> v = parseDecimalFloat(items[i]);
        ok = v.has_value();
        values[i] = v.value_or(0.0f);
    }
    if (!ok) {
        std::fprintf(stderr, "zentrel: --grid needs six numbers LONMIN,LONMAX,NLON,LATMIN,LATMAX,NLAT, not \"%s\".\n",
                     text.c_str());
        return false;
    }
    grid = {values[0], values[1], values[2], values[3], values[4], values[5]};
    if (!(grid.lonMin >= -180 && grid.lonMax <= 180 && grid.lonMax >= -180 && grid.lonMin <= 180)) {
        std::fprintf(stderr, "zentrel: --grid: Longitudes should be between -180 and +180 degrees.\n");
        return false;
    }
    if (!(grid.latMin >= -90 && grid.latMax <= 90 && grid.latMax >= -90 && grid.latMin <= 90)) {
        std::fprintf(stderr, "zentrel: --grid: Latitudes should be between -90 and +90 degrees.\n");
        return false;
    }
    if (!(grid.lonIntervals > 0) || !(grid.latIntervals > 0)) {
        std::fprintf(stderr, "zentrel: --grid: Number of steps should be positive.\n");
        return false;
    }
    return true;
}

int32_t formatCode(const std::string& name) {
    if (name == "orvane") return FormatOrvane;
    if (name == "lgs-input") return FormatLgsInput;
    if (name == "vesk") return FormatVesk;
    if (name == "plantow") return FormatPlantow;
    return FormatZentrel;
}

Feedback* volatile gInterruptTarget = nullptr;
volatile sig_atomic_t gInterruptSignal = 0;

extern "C" void onInterrupt(int signal) {
    // Only atomic stores: safe in a signal handler. A second signal ends the program at once.
    gInterruptSignal = signal;
    if (Feedback* f = gInterruptTarget) f->cancel();
}

/// "[#######.............]  35%  3500/10000" on one terminal line.
void drawProgress(long long done, long long total) {
    const int width = 40;
    const int filled = total > 0 ? static_cast<int>(width * done / total) : 0;
    const std::string bar = std::string(static_cast<size_t>(filled), '#') + std::string(static_cast<size_t>(width - filled), '.');
    std::fprintf(stderr, "\r[%s] %3lld%%  %lld/%lld", bar.c_str(), total > 0 ? 100 * done / total : 0, done, total);
    std::fflush(stderr);
}

int runBatchCommand(const BatchCliOptions& o, const CommonOptions& common) {
    ProgramSettings settings;
    if (int code = applySettingsOptions(o.settings, settings); code != kExitOk) return code;
    if (o.locations.empty() == o.grid.empty()) {
        std::fprintf(stderr, "zentrel: give either --locations FILE or --grid LONMIN,LONMAX,NLON,LATMIN,LATMAX,NLAT.\n");
        return kExitUsage;
    }
    // Only the result files can take more lines without a second head; the other formats are
    // one whole table each, which a second run would have to replace.
    if (o.append && !o.format.empty() && o.format != "zte") {
        std::fprintf(stderr, "zentrel: --append: a %s file is one table with its own head and cannot be appended to; "
                             "write it to a new file, or use --format zte.\n",
                     o.format.c_str());
        return kExitUsage;
    }
    BatchOptions options;
    options.format = formatCode(o.format);
    options.level = o.level;
    options.useDem = o.dem;
    options.append = o.append;
    options.threads = static_cast<unsigned>(o.threads);
    options.destination = o.out;
    if (!parseVariables(o.vars, options.variables) || !parseQuantityList(o.quantities, options.quantities))
        return kExitUsage;
    if (options.format == FormatZentrel && !options.quantities.any()) {
        std::fprintf(stderr, "zentrel: Nothing selected! Please select at least one desired output (--quantities).\n");
        return kExitUsage;
    }
    GridDefinition grid;
    if (!o.grid.empty() && !parseGrid(o.grid, grid)) return kExitUsage;

    const std::string folder = resolveDataFolder(common.programDir, common.dataDir);
    requireDataFolder(folder);
    if (!o.demFile.empty()) options.dem = std::make_shared<const ElevationModel>(o.demFile);
    std::optional<TerrainRaster> raster;  // read on the first lookup only
    const ElevationLookup elevation = [&](float lon, float lat) {
        if (options.dem)
            if (const std::optional<float> own = options.dem->altitude(lon, lat)) return *own;
        if (!raster) raster.emplace(folder);
        int16_t isSea = 0;
        return static_cast<float>(raster->altitude(lon, lat, isSea));
    };

    std::vector<LocationRow> rows;
    if (!o.locations.empty()) {
        Location working = settings.Working;
        LocationFileResult read = readLocationFile(o.locations, elevation, working);
        for (size_t k = 0; k < read.skipped.size(); ++k)
            std::fprintf(stderr, "zentrel: note: %s, line %ld: %s\n", o.locations.c_str(), read.skippedLines[k],
                         read.skipped[k].c_str());
        for (const std::string& note : read.notes)
            std::fprintf(stderr, "zentrel: %s: %s, %s\n", o.strict ? "error" : "note", o.locations.c_str(), note.c_str());
        if (o.strict && !read.notes.empty()) {
            std::fprintf(stderr, "zentrel: --strict: the location file %s has %zu line%s that the reading rules would "
                                 "take as shown above; nothing is estimated.\n",
                         o.locations.c_str(), read.notes.size(), read.notes.size() == 1 ? "" : "s");
            return kExitData;
        }
        rows = std::move(read.rows);
        options.sourceName = o.locations;
    } else {
        rows = gridLocations(grid, elevation);
        options.sourceName = fmt::format("Grid Lon {} to {} in {} intervals, Lat {} to {} in {} intervals", grid.lonMin,
                                         grid.lonMax, grid.lonIntervals, grid.latMin, grid.latMax, grid.latIntervals);
    }
    if (rows.empty()) {
        std::fprintf(stderr, "zentrel: No stations  in the location list: nothing to estimate.\n");
        return kExitData;
    }

    // The folder of the files (own format), or of the file, is made when it is not there yet.
    {
        const std::filesystem::path made = options.format == FormatZentrel
                                               ? std::filesystem::path(o.out)
                                               : std::filesystem::path(o.out).parent_path();
        std::error_code ec;
        if (!made.empty() && !std::filesystem::is_directory(made, ec) && !std::filesystem::create_directories(made, ec)) {
            std::fprintf(stderr, "zentrel: --out: the folder %s cannot be made (%s).\n", made.string().c_str(),
                         ec ? ec.message().c_str() : "a file of that name is in the way");
            return kExitData;
        }
    }

    Feedback feedback;
    const bool bar = ::isatty(STDERR_FILENO) == 1;
    long long lastDrawn = -1;
    if (bar)
        feedback.onProgress = [&lastDrawn](long long done, long long total) {
            const long long step = std::max(1LL, total / 400);
            if (done == total || done - lastDrawn >= step) {
                drawProgress(done, total);
                lastDrawn = done;
            }
        };
    gInterruptTarget = &feedback;
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    // Ctrl-C, and the SIGTERM a scheduler or `kill` sends before it kills, both stop the run
    // after the current location with whole lines written.
    struct sigaction previous {}, previousTerm {};
    sigaction(SIGINT, &action, &previous);
    sigaction(SIGTERM, &action, &previousTerm);

    BatchSummary summary;
    try {
        summary = runBatch(rows, options, settings, folder, nullptr, &feedback);
    } catch (const OutputBusy& e) {
        sigaction(SIGINT, &previous, nullptr);
        sigaction(SIGTERM, &previousTerm, nullptr);
        gInterruptTarget = nullptr;
        std::fprintf(stderr, "zentrel: %s\n", e.what());  // this run wrote nothing
        return kExitData;
    } catch (const Error& e) {
        sigaction(SIGINT, &previous, nullptr);
        sigaction(SIGTERM, &previousTerm, nullptr);
        gInterruptTarget = nullptr;
        if (bar) std::fprintf(stderr, "\n");
        std::fprintf(stderr, "zentrel: Error while Processing Data : %s The lines written so far are kept.\n", e.what());
        return kExitData;
    }
    sigaction(SIGINT, &previous, nullptr);
    sigaction(SIGTERM, &previousTerm, nullptr);
    gInterruptTarget = nullptr;
    if (bar) std::fprintf(stderr, "\n");
    if (summary.cancelled) {
        std::fprintf(stderr, "zentrel: cancelled after %lld of %lld estimates; the lines written so far are kept.\n",
                     summary.estimates, summary.estimatesPlanned);
        std::printf("%s", summaryText(summary).c_str());
        return gInterruptSignal == SIGTERM ? 128 + SIGTERM : kExitInterrupted;
    }
    std::printf("Data Saved Correctly\n%s", summaryText(summary).c_str());
    return kExitOk;
}

}  // namespace

void registerBatch(CLI::App& app, CommonOptions& common, Runner& run) {
    auto o = std::make_shared<BatchCliOptions>();
    auto* cmd = app.add_subcommand("batch", "Estimate over a file of locations or a grid and write the batch files");
    auto* locations = cmd->add_option("--locations", o->locations,
                                      "Location file: lon,lat[,alt[,name]] per line");
    auto* grid = cmd->add_option("--grid", o->grid, "Grid LONMIN,LONMAX,NLON,LATMIN,LATMAX,NLAT (N = intervals)");
    locations->excludes(grid);
    cmd->add_option("--out", o->out, "Folder of the files (zte) or the file to write (other formats)")->required();
    cmd->add_option("--format", o->format, "zte (one file per variable and quantity), orvane, lgs-input, vesk, plantow")
        ->check(CLI::IsMember({"zte", "orvane", "lgs-input", "vesk", "plantow"}))
        ->capture_default_str();
    cmd->add_option("--vars", o->vars, "Variables: all or a list of Temp,Tmax,Tmin,Prec,Vap,PET,Wind,Sun")
        ->capture_default_str();
    cmd->add_option("--quantities", o->quantities,
                    "zte files: best,interval,stderr,bias,slope,explvar,absgrad,dirgrad,longrad,latgrad")
        ->capture_default_str();
    cmd->add_option("--level", o->level, "Confidence level of Low/High: 90, 95 or 99")
        ->check(CLI::IsMember({90, 95, 99}))
        ->capture_default_str();
    auto* dem = cmd->add_option("--dem", o->demFile,
                                "Altitude from the elevation raster instead of the location list; --dem FILE: from your own "
                                "elevation model (any raster GDAL reads; points outside it take the elevation raster's)")
                    ->expected(0, 1);
    cmd->add_flag("--append", o->append, "zte: append to existing files of the same names, without heads");
    cmd->add_flag("--strict", o->strict,
                  "Refuse a location file with a field that is not a number (read as 0 otherwise), a line of the "
                  "wrong field count or lines cut off by a Ctrl-Z");
    addThreadsOption(*cmd, o->threads, "Threads that estimate");
    addDataOption(*cmd, common);
    addSettingsOptions(*cmd, o->settings);
    cmd->footer("Exit codes: 0 done, 1 data or file error, 2 usage error, 130 cancelled by Ctrl-C (lines written so far are kept).");
    cmd->callback([&run, &common, o, dem] {
        o->dem = dem->count() > 0;
        run = [&common, o] { return runBatchCommand(*o, common); };
    });
}

}  // namespace zentrel::cli
