// `zentrel data ...`: importing station normals into a station database, describing one, and
// where the data is.
#include <fmt/format.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/number_options.h"
#include "data/climat_import.h"
#include "data/csv_import.h"
#include "data/database_replace.h"
#include "data/data_folder.h"
#include "kriging/model_file.h"
#include "data/data_info.h"
#include "data/normals_table.h"
#include "data/folder_report.h"
#include "data/station_origins.h"
#include "data/station_writer.h"
#include "error.h"
#include "files/read_file.h"
#include "feedback.h"
#include "files/output_lock.h"
#include "kriging/kriging.h"

extern char** environ;

namespace zentrel::cli {

namespace {

namespace fs = std::filesystem;

struct CsvOptions {
    std::string in, out, excluded;
};

struct InfoOptions {
    bool json = false;
    bool excluded = false;
};

struct ClimatCliOptions {
    std::string in, stations, out, csv;
    int from = 0, to = 9999, minYears = 10;
};

// A temporary folder for an unpacked archive, removed at the end.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (fs::temp_directory_path() / "zentrel-climat-XXXXXX").string();
        if (::mkdtemp(pattern.data())) path_ = pattern;
    }
    ~ScratchFolder() {
        std::error_code ec;
        if (!path_.empty()) fs::remove_all(path_, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

bool unpack(const std::string& archive, const std::string& folder) {
    const char* argv[] = {"tar", "-xzf", archive.c_str(), "-C", folder.c_str(), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, "tar", nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0) return false;
    int status = 0;
    if (waitpid(pid, &status, 0) < 0) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

/// Exit code of an import stopped by Ctrl-C (the shell's convention for an interrupt).
constexpr int kExitInterrupted = 130;

// Ctrl-C, a hang-up or a termination request during an import: the import stops at the next
// file or variable and removes what it built, so that neither a half-built database nor an
// unpacked archive stays behind.
Feedback gImportFeedback;

extern "C" void onImportSignal(int) { gImportFeedback.cancel(); }

class ImportSignals {
public:
    ImportSignals() {
        struct sigaction action {};
        action.sa_handler = onImportSignal;
        sigemptyset(&action.sa_mask);
        for (size_t k = 0; k < std::size(kSignals); ++k) sigaction(kSignals[k], &action, &previous_[k]);
    }
    ~ImportSignals() {
        for (size_t k = 0; k < std::size(kSignals); ++k) sigaction(kSignals[k], &previous_[k], nullptr);
    }
    ImportSignals(const ImportSignals&) = delete;
    ImportSignals& operator=(const ImportSignals&) = delete;

private:
    static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
    struct sigaction previous_[std::size(kSignals)] {};
};

int interrupted(const std::string& out) {
    std::fprintf(stderr, "zentrel: the import was cancelled; %s is left as it was.\n", out.c_str());
    return kExitInterrupted;
}

// "2026-12-06 07:40 UTC by zentrel data import-csv from normals.csv"
std::string builtLine(const std::string& how, const std::string& from) {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char when[32];
    std::strftime(when, sizeof when, "%Y-%m-%d %H:%M UTC", &utc);
    return std::string(when) + " by zentrel data " + how + " from " + fs::path(from).filename().string();
}

// The files that describe an import's stations, written with them: the about file (the
// source's own description and the years per variable), the station table (where each station
// comes from) and the excluded list when the input came with one.
std::map<std::string, std::string> describingFiles(const ImportReport& report, const std::string& built) {
    std::array<VariableInfo, kVariableCount> years{};
    for (int v = 0; v < kVariableCount; ++v) {
        VariableInfo& y = years[static_cast<size_t>(v)];
        for (const StationSource& s : report.sources[static_cast<size_t>(v)]) {
            if (s.yearsMax <= 0) continue;
            y.yearsMin = y.yearsMax > 0 ? std::min(y.yearsMin, s.yearsMin) : s.yearsMin;
            y.yearsMax = std::max(y.yearsMax, s.yearsMax);
        }
    }
    std::map<std::string, std::string> files{{kAboutFileName, aboutFileText(report.about, years, built)},
                                             {kStationTableFileName, formatStationTable(report)}};
    if (!report.excluded.empty()) files[kExcludedFileName] = report.excluded;
    return files;
}

// Writes the database, prints the problems on stderr and the summary on stdout.
int finish(const ImportReport& report, const std::string& out, const std::string& built) {
    if (gImportFeedback.isCancelled()) return interrupted(out);
    for (const std::string& p : report.problems) std::fprintf(stderr, "zentrel: %s\n", p.c_str());
    size_t total = 0;
    for (const auto& list : report.lists) total += list.size();
    if (total == 0) {
        std::fputs(formatImportSummary(report).c_str(), stdout);
        std::fprintf(stderr, "zentrel: nothing could be imported; %s is left as it was.\n", out.c_str());
        return kExitData;
    }
    // Built beside the old database and switched in whole; a demonstration marker of the old
    // folder is not carried over, since imported normals are observations.
    try {
        replaceStationDatabase(out, report.lists, [] { return gImportFeedback.isCancelled(); },
                               describingFiles(report, built));
    } catch (const DatabaseReplaceCancelled&) {
        return interrupted(out);
    }
    std::fputs(formatImportSummary(report).c_str(), stdout);
    std::printf("Station database written to %s\n", out.c_str());
    // The default method's models, derived now rather than by the first estimate; each is keyed
    // by the stations it was made from, so a reader in between derives its own, never a mix.
    const auto start = std::chrono::steady_clock::now();
    prepareKrigingModels(out);
    std::printf("Kriging models prepared in %.1f s\n",
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    return kExitOk;
}

// The folder an import writes to: --out, else the user's data folder (never the installed,
// read-only one). Empty when neither HOME nor XDG_DATA_HOME says where the user's folder is.
std::string importTarget(const std::string& out) {
    if (!out.empty()) return out;
    const std::string base = userDataBase();
    return base.empty() ? std::string() : (fs::path(base) / kDataFolderName).string();
}

int runInfo(const InfoOptions& o, const CommonOptions& common) {
    const DataFolderChoice choice = locateDataFolder(common.programDir, common.dataDir);
    if (o.excluded) {
        std::error_code ec;
        if (!fs::is_directory(choice.folder, ec)) {
            std::fprintf(stderr, "zentrel: the data folder %s does not exist.\n", choice.folder.c_str());
            return kExitData;
        }
        const std::string text = o.json ? formatExcludedInfoJson(choice.folder) + "\n" : formatExcludedInfo(choice.folder);
        std::fputs(text.c_str(), stdout);
        return kExitOk;
    }
    const DataInfo info = describeDataFolder(choice.folder);
    std::string text = o.json ? formatDataInfoJson(info) + "\n" : formatDataInfo(info);
    // The first line says which rule of the lookup picked the folder.
    if (!o.json && choice.rule != DataFolderRule::NotFound && text.rfind("Data folder: ", 0) == 0)
        text = fmt::format("Data folder: {} ({})", choice.folder, dataFolderRuleName(choice.rule)) +
               text.substr(text.find('\n'));
    // Stations whose Tmax/Tmin fields hold monthly extremes (found by the kriging method's
    // leave-one-out rows, about a second on the default data); needs the elevation raster.
    if (!o.json && info.exists && info.terrain) try {
            text += KrigingModel::describeExtremes(KrigingModel::extremeStations(ProgramSettings{}, choice.folder, nullptr, nullptr));
        } catch (const Error&) {
            // unreadable station files are already among the problems above
        }
    std::fputs(text.c_str(), stdout);
    return info.exists ? kExitOk : kExitData;
}

// A new user data folder gets the terrain, world map and boundary files of the folder in use
// until now, as links, so that estimates there find altitudes and maps as before.
void linkCompanions(const std::string& programDir, const std::string& target) {
    std::error_code ec;
    for (const DataFolderChoice& c : dataFolderCandidates(programDir)) {
        if (c.rule == DataFolderRule::UserData || !fs::is_directory(c.folder, ec)) continue;
        if (fs::equivalent(c.folder, target, ec)) continue;
        for (const auto& entry : fs::directory_iterator(c.folder, ec)) {
            const fs::path name = entry.path().filename();
            if (name.extension() == ".txt" || name == "DEMONSTRATION" || !entry.is_regular_file(ec)) continue;
            const fs::path link = fs::path(target) / name;
            if (fs::exists(fs::symlink_status(link, ec))) continue;
            fs::create_symlink(fs::absolute(entry.path(), ec), link, ec);
            if (ec) fs::copy_file(entry.path(), link, ec);
        }
        return;
    }
}

// Runs an import into --out or the user's data folder and says which folder zentrel now uses.
int importInto(const std::string& out, const CommonOptions& common, const std::function<ImportReport()>& import,
               const std::string& built) {
    const std::string target = importTarget(out);
    if (target.empty()) {
        std::fprintf(stderr, "zentrel: --out is needed: neither HOME nor XDG_DATA_HOME names a user data folder.\n");
        return kExitUsage;
    }
    const OutputLock lock(target);
    const ImportSignals signals;
    const int code = finish(import(), target, built);
    if (code != kExitOk || !out.empty()) return code;
    linkCompanions(common.programDir, target);
    const DataFolderChoice now = locateDataFolder(common.programDir);
    std::error_code ec;
    if (fs::equivalent(now.folder, target, ec))
        std::printf("This is your data folder: zentrel uses it unless --data or ZENTREL_DATA names another.\n");
    else
        std::printf("zentrel uses %s (%s) first; name this one with --data %s.\n", now.folder.c_str(),
                    dataFolderRuleName(now.rule), target.c_str());
    return code;
}

int runCsv(const CsvOptions& o, const CommonOptions& common) {
    // The excluded list is checked before anything is written: a bad one leaves the folder as it was.
    std::string excluded;
    if (!o.excluded.empty()) {
        excluded = readRegularFile(o.excluded, "The excluded list");
        parseExcludedStations(excluded, o.excluded);
    }
    return importInto(
        o.out, common,
        [&o, &excluded] {
            ImportReport report = importCsv(o.in);
            report.excluded = excluded;
            return report;
        },
        builtLine("import-csv", o.in));
}

int runClimat(const ClimatCliOptions& o, const CommonOptions& common) {
    if (o.from > o.to) {
        std::fprintf(stderr, "zentrel: --from %d lies after --to %d.\n", o.from, o.to);
        return kExitUsage;
    }
    if (o.minYears < 1) {
        std::fprintf(stderr, "zentrel: --min-years must be at least 1.\n");
        return kExitUsage;
    }
    const ImportSignals signals;
    std::error_code ec;
    std::string folder = o.in;
    std::string archive;
    if (fs::is_directory(o.in, ec)) {
        // A folder holding the archive as published rather than the unpacked reports: use the archive.
        bool reports = false;
        std::vector<std::string> archives;
        for (const auto& entry : fs::directory_iterator(o.in, ec)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("CLIMAT_RAW_", 0) != 0) continue;
            if (name.size() > 4 && name.substr(name.size() - 4) == ".txt") reports = true;
            if (name.size() > 4 && name.substr(name.size() - 4) == ".tgz") archives.push_back(entry.path().string());
        }
        if (!reports && archives.size() == 1) archive = archives[0];
    } else if (fs::is_regular_file(o.in, ec)) {
        archive = o.in;
    } else {
        std::fprintf(stderr, "zentrel: %s is neither a folder nor an archive of CLIMAT reports.\n", o.in.c_str());
        return kExitData;
    }
    ScratchFolder scratch;
    if (!archive.empty()) {
        if (scratch.path().empty() || !unpack(archive, scratch.path())) {
            if (gImportFeedback.isCancelled()) return interrupted(o.out);
            std::fprintf(stderr, "zentrel: the archive %s cannot be unpacked (tar -xzf failed).\n", archive.c_str());
            return kExitData;
        }
        folder = scratch.path();
    }
    ClimatOptions options;
    options.fromYear = o.from;
    options.toYear = o.to;
    options.minYears = o.minYears;
    ImportReport report;
    try {
        report = importClimat(folder, o.stations, options, &gImportFeedback);
    } catch (const Error&) {
        if (gImportFeedback.isCancelled()) return interrupted(o.out);
        throw;
    }
    if (!o.csv.empty()) {
        size_t total = 0;
        for (const auto& list : report.lists) total += list.size();
        if (total > 0) {
            writeTextFile(o.csv, formatNormalsTable(report));
            if (o.out.empty()) {
                for (const std::string& p : report.problems) std::fprintf(stderr, "zentrel: %s\n", p.c_str());
                std::fputs(formatImportSummary(report).c_str(), stdout);
            }
            std::printf("Table of station normals written to %s\n", o.csv.c_str());
        }
        if (o.out.empty()) return total > 0 ? kExitOk : kExitData;
    }
    return importInto(o.out, common, [&report] { return report; }, builtLine("import-climat", o.in));
}

}  // namespace

constexpr const char* kOutHelp =
    "Folder to write the station database into (default: ZentrelData in the user data folder, "
    "$XDG_DATA_HOME/zentrel or ~/.local/share/zentrel)";

void registerData(CLI::App& app, CommonOptions& common, Runner& run) {
    auto* data = app.add_subcommand("data", "Import station normals into a station database, describe one, or show which data folder is used");
    data->require_subcommand(1);

    auto csv = std::make_shared<CsvOptions>();
    auto* importCsvCmd = data->add_subcommand(
        "import-csv",
        "Import station normals from a CSV file with the columns id, name, country, lat, lon, alt, variable, jan..dec "
        "[, years_min, years_max [, source, period, note]] (see data/README.md)");
    importCsvCmd->add_option("--in", csv->in, "CSV file of station normals")->required();
    importCsvCmd->add_option("--out", csv->out, kOutHelp);
    importCsvCmd->add_option("--excluded", csv->excluded,
                             "CSV list of the stations left out of the table (id, name, country, lat, lon, alt, variable, "
                             "source, reason), kept in the folder for zentrel data info --excluded");
    importCsvCmd->callback([&run, &common, csv] { run = [&common, csv] { return runCsv(*csv, common); }; });

    auto climat = std::make_shared<ClimatCliOptions>();
    auto* importClimatCmd = data->add_subcommand(
        "import-climat", "Build station normals from monthly CLIMAT reports (CLIMAT_RAW_YYYYMM.txt files)");
    importClimatCmd->add_option("--in", climat->in, "Folder or .tgz archive of CLIMAT_RAW_YYYYMM.txt files")
        ->required();
    importClimatCmd->add_option("--stations", climat->stations, "Station list (stations_list_CLIMAT_data.txt)")
        ->required();
    importClimatCmd->add_option("--out", climat->out, kOutHelp);
    importClimatCmd->add_option("--csv", climat->csv,
                                "Also write the normals as a CSV table that import-csv reads (without --out: only the table)");
    importClimatCmd->add_option("--from", climat->from, "First year of the period (default: all)")
        ->transform(wholeIn(0, 9999));
    importClimatCmd->add_option("--to", climat->to, "Last year of the period (default: all)")->transform(wholeIn(0, 9999));
    importClimatCmd->add_option("--min-years", climat->minYears, "Valid years a month needs for its normal, 1..1000")
        ->transform(wholeIn(1, 1000))
        ->capture_default_str();
    importClimatCmd->callback([&run, &common, climat] { run = [&common, climat] { return runClimat(*climat, common); }; });

    auto* where = data->add_subcommand("where", "Show which data folder is used, why, and every place looked at");
    where->add_option("--data", common.dataDir, kDataOptionHelp);
    where->callback([&run, &common] {
        run = [&common] {
            std::fputs(dataFolderReport(common.programDir, common.dataDir).c_str(), stdout);
            std::error_code ec;
            return fs::is_directory(locateDataFolder(common.programDir, common.dataDir).folder, ec) ? kExitOk : kExitData;
        };
    });

    auto info = std::make_shared<InfoOptions>();
    auto* infoCmd = data->add_subcommand(
        "info", "Describe a station database: source, period, stations per variable, extent, how it was built");
    infoCmd->add_option("--data", common.dataDir, kDataOptionHelp);
    infoCmd->add_flag("--json", info->json, "Print the description as JSON");
    infoCmd->add_flag("--excluded", info->excluded, "List the stations left out of the database, with the reasons");
    infoCmd->callback([&run, &common, info] { run = [&common, info] { return runInfo(*info, common); }; });
}

}  // namespace zentrel::cli
