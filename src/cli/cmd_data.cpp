// `zentrel data ...`: importing station normals into a station database.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/number_options.h"
#include "data/climat_import.h"
#include "data/csv_import.h"
#include "data/database_replace.h"
#include "data/station_writer.h"
#include "error.h"
#include "feedback.h"
#include "files/output_lock.h"

extern char** environ;

namespace zentrel::cli {

namespace {

namespace fs = std::filesystem;

struct CsvOptions {
    std::string in, out;
};

struct ClimatCliOptions {
    std::string in, stations, out;
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

// Writes the database, prints the problems on stderr and the summary on stdout.
int finish(const ImportReport& report, const std::string& out) {
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
        replaceStationDatabase(out, report.lists, [] { return gImportFeedback.isCancelled(); });
    } catch (const DatabaseReplaceCancelled&) {
        return interrupted(out);
    }
    std::fputs(formatImportSummary(report).c_str(), stdout);
    std::printf("Station database written to %s\n", out.c_str());
    return kExitOk;
}

int runCsv(const CsvOptions& o) {
    const OutputLock lock(o.out);
    const ImportSignals signals;
    return finish(importCsv(o.in), o.out);
}

int runClimat(const ClimatCliOptions& o) {
    if (o.from > o.to) {
        std::fprintf(stderr, "zentrel: --from %d lies after --to %d.\n", o.from, o.to);
        return kExitUsage;
    }
    if (o.minYears < 1) {
        std::fprintf(stderr, "zentrel: --min-years must be at least 1.\n");
        return kExitUsage;
    }
    const OutputLock lock(o.out);
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
    return finish(report, o.out);
}

}  // namespace

void registerData(CLI::App& app, CommonOptions& /*common*/, Runner& run) {
    auto* data = app.add_subcommand("data", "Import station normals into a station database");
    data->require_subcommand(1);

    auto csv = std::make_shared<CsvOptions>();
    auto* importCsvCmd = data->add_subcommand(
        "import-csv",
        "Import station normals from a CSV file with the columns id, name, country, lat, lon, alt, variable, jan..dec "
        "(see data/README.md)");
    importCsvCmd->add_option("--in", csv->in, "CSV file of station normals")->required();
    importCsvCmd->add_option("--out", csv->out, "Folder to write the station database into")->required();
    importCsvCmd->callback([&run, csv] { run = [csv] { return runCsv(*csv); }; });

    auto climat = std::make_shared<ClimatCliOptions>();
    auto* importClimatCmd = data->add_subcommand(
        "import-climat", "Build station normals from monthly CLIMAT reports (CLIMAT_RAW_YYYYMM.txt files)");
    importClimatCmd->add_option("--in", climat->in, "Folder or .tgz archive of CLIMAT_RAW_YYYYMM.txt files")
        ->required();
    importClimatCmd->add_option("--stations", climat->stations, "Station list (stations_list_CLIMAT_data.txt)")
        ->required();
    importClimatCmd->add_option("--out", climat->out, "Folder to write the station database into")->required();
    importClimatCmd->add_option("--from", climat->from, "First year of the period (default: all)")
        ->check(wholeIn(0, 9999));
    importClimatCmd->add_option("--to", climat->to, "Last year of the period (default: all)")->check(wholeIn(0, 9999));
    importClimatCmd->add_option("--min-years", climat->minYears, "Valid years a month needs for its normal, 1..1000")
        ->check(wholeIn(1, 1000))
        ->capture_default_str();
    importClimatCmd->callback([&run, climat] { run = [climat] { return runClimat(*climat); }; });
}

}  // namespace zentrel::cli
