// `zentrel estimate`: the estimate of one or all variables at one location, as a table or JSON.
#include <fmt/format.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <optional>
#include <thread>
#include <vector>

#include "base/picture.h"
#include "base/records.h"
#include "cli/commands.h"
#include "cli/estimate_json.h"
#include "cli/number_options.h"
#include "cli/settings_options.h"
#include "data/data_folder.h"
#include "data/elevation_model.h"
#include "data/data_info.h"
#include "data/station_database.h"
#include "data/terrain.h"
#include "engine/engine.h"
#include "files/output_lock.h"
#include "formats/growing_season_export.h"
#include "formats/orvane_format.h"
#include "formats/plantow_format.h"
#include "formats/result_report.h"
#include "formats/shown_values.h"
#include "formats/vesk_format.h"
#include "settings/program_settings.h"

namespace zentrel::cli {

namespace {

struct EstimateOptions {
    double lon = 0, lat = 0;
    std::optional<double> alt;
    std::string dem;  // the user's elevation model
    std::string var = "all";
    bool json = false;
    int level = 90;
    SettingsOptions settings;
    // Export to a file in one of the output formats.
    std::string format;
    std::string output;
    std::string quantities = "best,interval";
    std::string name;
    bool stations = false, observations = false, dekadal = false, daily = false, thresholds = false;
};

bool parseQuantities(const std::string& list, QuantitySelection& q) {
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(',', start);
        if (end == std::string::npos) end = list.size();
        const std::string item = list.substr(start, end - start);
        if (item == "best") q.best = true;
        else if (item == "interval") q.interval = true;
        else if (item == "stderr") q.stdErr = true;
        else if (item == "bias") q.bias = true;
        else if (item == "slope") q.slope = true;
        else if (item == "explvar") q.explVar = true;
        else if (item == "absgrad") q.absGrad = true;
        else if (item == "dirgrad") q.dirGrad = true;
        else if (item == "longrad") q.longGrad = true;
        else if (item == "latgrad") q.latGrad = true;
        else if (!item.empty()) {
            std::fprintf(stderr, "zentrel: --quantities: unknown quantity \"%s\".\n", item.c_str());
            return false;
        }
        start = end + 1;
    }
    return true;
}

// Writes the results in the chosen output format. Variables the format needs but that were
// not estimated stay empty; every format except the result file wants all eight.
int exportResults(const EstimateOptions& o, const ProgramSettings& settings, const std::vector<VariableResult>& list,
                  Location location, bool demo) {
    VariableResults results{};
    VariableSelection selection{};
    for (const VariableResult& r : list) {
        results[static_cast<size_t>(r.variable)] = r;
        selection[static_cast<size_t>(r.variable)] = true;
    }
    const OutputLock lock(o.output);
    // The name the desktop would generate for this location, unless one is given.
    location.Name = o.name.empty() ? roundStatusLocation({"", location.Lon, location.Lat, location.Alt}).Name : o.name;
    std::string bytes;
    if (o.format == "zte") {
        ReportOptions options;
        options.location = location;
        if (!parseQuantities(o.quantities, options.quantities)) return kExitUsage;
        options.level.percent = o.level;
        options.stations = o.stations;
        options.observations = o.observations;
        options.dekadal = o.dekadal;
        options.daily = o.daily;
        options.thresholds = o.thresholds;
        options.demonstrationData = demo;
        bytes = formatReport(results, selection, settings, options);
    } else if (o.format == "orvane") {
        bytes = formatOrvane(results, selection, location);
    } else if (o.format == "lgs-input") {
        bytes = formatRainfallPet(results, location, true);
    } else if (o.format == "lgs-output") {
        bytes = formatGrowingSeasons(results, location, true);
    } else if (o.format == "vesk") {
        bytes = formatVesk(results, selection, location);
    } else if (o.format == "plantow") {
        const std::string folder = std::filesystem::path(o.output).parent_path().string();
        savePlantow(o.output, results, location, true, false, 1, folder);
        return kExitOk;
    }
    saveOutput(o.output, bytes);
    return kExitOk;
}

const char* kWarningTexts[] = {"WARNING: Location higher than surrounding Stations!",
                               "WARNING: Location lower than surrounding Stations!",
                               "WARNING: Location not surrounded by neighboring Stations!",
                               "WARNING: Strange data detected at surrounding Stations!"};

// "Limits that acted: altitude slope in January, February; plane in July", or "" when none did.
std::string capsText(const EstimateResult& e, const ProgramSettings& settings) {
    std::string text;
    for (uint8_t bit : kCapKinds) {
        std::string months;
        for (size_t m = 1; m <= 13; ++m)
            if (e.Caps[m] & bit) {
                std::string name = m == 13 ? "Annual" : settings.MonthNames[m - 1];
                name.erase(name.find_last_not_of(' ') + 1);
                months += (months.empty() ? "" : ", ") + name;
            }
        if (!months.empty()) text += (text.empty() ? "" : "; ") + capNames(bit) + " in " + months;
    }
    return text.empty() ? text : "Limits that acted: " + text;
}

// The neighbours with where each comes from ("-" where the data folder does not say).
void printNeighbours(const VariableResult& r) {
    const auto line = [](std::string text) {
        text.erase(text.find_last_not_of(' ') + 1);
        std::printf("%s\n", text.c_str());
    };
    line(fmt::format("{:<3} {:<24} {:<8} {:>7} {:>6} {:>7} {:>6} {:>7}  {:<20} {}", "No", "Station", "Country", "Dist km",
                     "Alt m", "Weight", "Active", "Years", "Source", "Note"));
    for (int i = 1; i <= r.neighbours.NeighbourCount; ++i) {
        const Station& s = r.neighbours[i];
        const StationOrigin* o = r.origins[static_cast<size_t>(i)].get();
        line(fmt::format("{:<3} {:<24} {:<8} {:>7} {:>6} {:>7} {:>6} {:>7}  {:<20} {}", i, s.Name, s.Country,
                         formatPicture(s.Dist, "###0.0"), s.Alt == kUnknown ? "-" : formatPicture(s.Alt, "###0"),
                         formatPicture(s.Weight, "0.000"), s.Active ? "yes" : "no", originYearsText(o), originText(o),
                         o ? o->note : std::string()));
    }
}

void printTable(const VariableResult& r, const ProgramSettings& settings, int level, bool stations) {
    const float k = confidenceFactor(level);
    const char* lowTitle = level == 95 ? "Low (2.5%)" : level == 99 ? "Low (.5%)" : "Low (5%)";
    const char* highTitle = level == 95 ? "High (97.5%)" : level == 99 ? "High (99.5%)" : "High (95%)";
    std::printf("%s  %s\n", kVariableNames[static_cast<size_t>(r.variable)],
                settings.VariableTitles[static_cast<size_t>(r.variable)].c_str());
    std::printf("Neighbours: %d, active: %d, active with altitude: %d\n", r.neighbours.NeighbourCount,
                r.neighbours.ActiveCount, r.neighbours.ActiveAltCount);
    std::printf("%-12s %10s %12s %12s %10s %10s\n", "Month", "Best", lowTitle, highTitle, "StdErr", "Bias");
    // With one active station the engine takes that station's months as they are and makes no
    // annual values (index 13 stays 0): the row says so instead of showing 0.00 as a result.
    // Without an error estimate the columns of the error say "-" (and so does a row without
    // any value), never 0.00.
    const bool annual = hasAnnualValues(r);
    const auto cell = [&](ShownQuantity q, int m) {
        const float v = readerValue(r, q, m, k);
        return std::isfinite(v) ? formatPicture(q == ShownQuantity::Best ? ClipValue(v, r.variable) : v, "###0.00")
                                : std::string("-");
    };
    for (int m = 1; m <= 13; ++m) {
        const std::string name = m == 13 ? annualTitle(r.variable) : settings.MonthNames[static_cast<size_t>(m) - 1];
        std::printf("%-12s %10s %12s %12s %10s %10s\n", name.c_str(), cell(ShownQuantity::Best, m).c_str(),
                    cell(ShownQuantity::Low, m).c_str(), cell(ShownQuantity::High, m).c_str(),
                    cell(ShownQuantity::StdErr, m).c_str(), cell(ShownQuantity::Bias, m).c_str());
    }
    const WarningFlags& w = r.warnings;
    const bool flags[] = {w.WarnHigh, w.WarnLow, w.WarnLonely, w.WarnStrange};
    for (size_t f = 0; f < 4; ++f)
        if (flags[f]) std::printf("%s\n", kWarningTexts[f]);
    if (w.WarnRecord) std::printf("%s\n", recordWarning(w.RecordMonth).c_str());
    if (const std::string caps = capsText(r.result, settings); !caps.empty()) std::printf("%s\n", caps.c_str());
    if (w.WarnStrange)
        std::printf("  (month %d, neighbour %d: %s)\n", w.StrangeMonth, w.StrangeStation,
                    r.neighbours[w.StrangeStation].Name.c_str());
    if (w.WarnDoubled) {
        // How many were switched off: 25 copies of one station fill every neighbour place.
        int doubled = 0;
        for (int i = 2; i <= r.neighbours.NeighbourCount; ++i)
            for (int j = 1; j < i; ++j)
                if (r.neighbours[i].Lon == r.neighbours[j].Lon && r.neighbours[i].Lat == r.neighbours[j].Lat) {
                    ++doubled;
                    break;
                }
        if (doubled <= 1) std::printf("Two neighbours share one position; the later one is switched off.\n");
        else std::printf("%d neighbours share a position with a nearer one and are switched off.\n", doubled);
    }
    if (!annual && r.neighbours.ActiveCount == 1)
        std::printf("Only one active station: its monthly values are taken as they are, without annual values.\n");
    if (w.WarnFew) std::printf("Few active stations: some corrections or error estimates are not made.\n");
    if (w.WarnHit)
        std::printf("Nearest neighbor is closer than %skm away.\nNearest Neighbor Approximation is used.\n",
                    shortestFloat(settings.MinDist).c_str());
    for (const Message& m : r.messages) std::printf("%s: %s\n", m.title.c_str(), m.text.c_str());
    if (stations) printNeighbours(r);
    std::printf("\n");
}

int runEstimate(const EstimateOptions& o, const CommonOptions& common) {
    ProgramSettings settings;
    if (int code = applySettingsOptions(o.settings, settings); code != kExitOk) return code;
    if (!(o.lon >= -180 && o.lon <= 180) || !(o.lat >= -90 && o.lat <= 90)) {
        std::fprintf(stderr, "zentrel: --lon must lie in -180..180 and --lat in -90..90.\n");
        return kExitUsage;
    }
    std::vector<int> variables;
    if (o.var == "all" || o.var == "All" || o.var == "ALL") {
        for (int v = 0; v < kVariableCount; ++v) variables.push_back(v);
    } else {
        const int v = variableFromName(o.var);
        if (v < 0) {
            std::fprintf(stderr, "zentrel: --var must be one of Temp, Tmax, Tmin, Prec, Vap, PET, Wind, Sun, all.\n");
            return kExitUsage;
        }
        variables.push_back(v);
    }
    if (!o.format.empty() && o.output.empty()) {
        std::fprintf(stderr, "zentrel: --format needs an output file (-o FILE).\n");
        return kExitUsage;
    }
    if ((o.dekadal || o.daily || o.thresholds) && (o.format != "zte" || variables.size() != 1)) {
        std::fprintf(stderr, "zentrel: --dekadal, --daily and --thresholds belong to the result file of one variable (--format zte --var V).\n");
        return kExitUsage;
    }
    // The quantities are a usage matter too, found before any data is looked for.
    if (ReportOptions checked; !parseQuantities(o.quantities, checked.quantities)) return kExitUsage;
    const std::string folder = resolveDataFolder(common.programDir, common.dataDir);
    requireDataFolder(folder);

    Location location{"", static_cast<float>(o.lon), static_cast<float>(o.lat), 0};
    if (o.alt) {
        location.Alt = static_cast<float>(*o.alt);
    } else if (!o.dem.empty()) {
        const std::optional<float> alt = ElevationModel(o.dem).altitude(o.lon, o.lat);
        if (!alt) {
            std::fprintf(stderr, "zentrel: the point lies outside the elevation model %s or on its no-data: give --alt.\n", o.dem.c_str());
            return kExitData;
        }
        location.Alt = *alt;
    } else {
        int16_t isSea = 0;
        location.Alt = TerrainAltitude(folder, location.Lon, location.Lat, isSea);
        if (isSea) std::fprintf(stderr, "zentrel: note: the point is sea in the elevation raster; altitude 0 m is used.\n");
    }
    // Variables the database holds no normals of: asked alone, an error; among others, skipped
    // and said once. The crop-water files cannot do without any of theirs.
    const std::vector<int> needed = o.format == "plantow" ? std::vector<int>{Tmax, Tmin, Prec, PET, Wind, Sun}
                                    : o.format == "lgs-input" || o.format == "lgs-output" ? std::vector<int>{Prec, PET}
                                                                                          : std::vector<int>{};
    for (int v : needed)
        if (!holdsVariable(folder, v)) {
            const char* writer = o.format == "plantow"     ? "The crop-water climate file (--format plantow)"
                                 : o.format == "lgs-input" ? "The rainfall and PET file (--format lgs-input)"
                                                           : "The growing-season file (--format lgs-output)";
            std::fprintf(stderr, "zentrel: %s\n", writerNeedsMessage(writer, v).c_str());
            return kExitData;
        }
    // A writer gets every variable it is made from, whatever --var named: a season from
    // precipitation without PET would be a season of half its inputs.
    for (int v : needed)
        if (std::find(variables.begin(), variables.end(), v) == variables.end()) variables.push_back(v);
    std::sort(variables.begin(), variables.end());
    std::vector<int> held;
    for (int v : variables) {
        if (holdsVariable(folder, v)) {
            held.push_back(v);
            continue;
        }
        if (variables.size() == 1) {
            std::fprintf(stderr, "zentrel: %s; add them with zentrel data import-csv.\n", missingVariableMessage(v).c_str());
            return kExitData;
        }
        std::fprintf(stderr, "zentrel: note: %s.\n", skippedVariableNote(v).c_str());
    }
    variables = held;
    const bool demo = isDemonstrationData(folder);
    if (demo && o.json) std::fprintf(stderr, "zentrel: note: these estimates come from demonstration data, not real stations.\n");

    // The variables run side by side, each with a fresh engine of its own (no result leaks
    // between variables). A failure is reported as a run one after the other would report it:
    // the first failing variable's.
    // One station database object for every variable and for the kriging model: its files are
    // read once, and all of them read one database, or the run stops (DatabaseReplaced) and
    // starts again on the new one.
    std::vector<VariableResult> results(variables.size());
    std::vector<std::exception_ptr> failures(variables.size());
    std::atomic<size_t> next{0};
    const auto database = std::make_shared<const StationDatabase>(folder);
    const bool sources = o.json || o.stations || !o.format.empty();
    const auto work = [&] {
        for (size_t i; (i = next.fetch_add(1)) < variables.size();) {
            try {
                Engine engine(settings, folder, database);
                engine.setSources(sources);
                results[i] = engine.Run(variables[i], location);
            } catch (...) {
                failures[i] = std::current_exception();
            }
        }
    };
    std::vector<std::thread> pool;
    const size_t threads = std::min<size_t>(std::max(1u, std::thread::hardware_concurrency()), variables.size());
    for (size_t t = 1; t < threads; ++t) pool.emplace_back(work);
    work();
    for (std::thread& t : pool) t.join();
    for (const std::exception_ptr& failure : failures)
        if (failure) std::rethrow_exception(failure);
    if (!o.format.empty()) return exportResults(o, settings, results, location, demo);
    if (o.json) {
        std::printf("%s\n", results.size() == 1 ? estimateJson(results[0]).c_str() : estimatesJson(results).c_str());
        return kExitOk;
    }
    if (demo) std::printf("DEMONSTRATION DATA: estimates from an emulated station database, not real stations.\n");
    std::printf("Location: Lon %s  Lat %s  Alt %s m\n\n", shortestFloat(location.Lon).c_str(),
                shortestFloat(location.Lat).c_str(), shortestFloat(location.Alt).c_str());
    for (const VariableResult& r : results) printTable(r, settings, o.level, o.stations);
    return kExitOk;
}

}  // namespace

void registerEstimate(CLI::App& app, CommonOptions& common, Runner& run) {
    auto o = std::make_shared<EstimateOptions>();
    auto* cmd = app.add_subcommand("estimate", "Estimate the monthly climate at one location");
    cmd->add_option("--lon", o->lon, "Longitude in decimal degrees, east positive (-180..180)")
        ->required()
        ->check(decimalIn(Argument::Lon));
    cmd->add_option("--lat", o->lat, "Latitude in decimal degrees, north positive (-90..90)")
        ->required()
        ->check(decimalIn(Argument::Lat));
    cmd->add_option("--alt", o->alt, "Altitude in m, -600..10000 (default: from the elevation raster)")
        ->check(decimalIn(Argument::Alt));
    cmd->add_option("--dem", o->dem, "Your own elevation model (any raster GDAL reads, any coordinate system): the altitude "
                                     "of the point from it when --alt is not given");
    cmd->add_option("--var", o->var, "Temp, Tmax, Tmin, Prec, Vap, PET, Wind, Sun or all")->capture_default_str();
    cmd->add_option("--level", o->level, "Confidence level of Low/High in the table: 90, 95 or 99")
        ->check(CLI::IsMember({90, 95, 99}))
        ->capture_default_str();
    cmd->add_flag("--json", o->json, "Print the full result as JSON");
    addDataOption(*cmd, common);
    cmd->add_option("--format", o->format, "Write the result to -o FILE in an output format")
        ->check(CLI::IsMember({"zte", "orvane", "lgs-input", "lgs-output", "vesk", "plantow"}));
    cmd->add_option("-o,--output", o->output, "Output file of --format");
    cmd->add_option("--quantities", o->quantities,
                    "Result-file columns: best,interval,stderr,bias,slope,explvar,absgrad,dirgrad,longrad,latgrad")
        ->capture_default_str();
    cmd->add_flag("--stations", o->stations, "The neighbour station table: in the result file, or below each variable's table with the "
                  "stations' sources");
    cmd->add_flag("--observations", o->observations, "Result file: the observed data with weights");
    cmd->add_option("--name", o->name, "Location name in the file (default: generated from the position)");
    cmd->add_flag("--dekadal", o->dekadal, "Result file of one variable: dekadal values");
    cmd->add_flag("--daily", o->daily, "Result file of one variable: daily values");
    cmd->add_flag("--thresholds", o->thresholds, "Result file of one variable: days reaching thresholds");
    addSettingsOptions(*cmd, o->settings);
    cmd->callback([&run, &common, o] {
        run = [&common, o] {
            // An import that exchanges the database while this run reads it: the run starts again
            // on the new database (it writes nothing before its end), three times at most.
            for (int attempt = 1;; ++attempt) {
                try {
                    return runEstimate(*o, common);
                } catch (const DatabaseReplaced&) {
                    if (attempt == 3) throw;
                }
            }
        };
    });
}

}  // namespace zentrel::cli
