// `zentrel batch` run as a user runs it: a location file or a grid in, the batch files out, and
// what stays of them when the run is stopped, killed or the disk fills.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>

#include <algorithm>

#include "cli_fixture.h"
#include "data/terrain.h"

using namespace zentrel;
using namespace zentrel::test;

namespace {

/// A location file of `count` lines at one place, beside the ring stations' folder.
std::string locationList(const TempFolder& folder, int count) {
    std::string list;
    for (int i = 0; i < count; ++i) list += "10.1,45.1,100,Same place\n";
    const std::string name = "list-" + std::to_string(count) + ".dat";
    folder.write(name, list);
    return folder.file(name);
}

/// The arguments of a batch run over `list` into `out`, with `more` options.
std::vector<std::string> batchArgs(const std::string& list, const std::string& out, std::vector<std::string> more) {
    std::vector<std::string> args{"batch", "--locations", list, "--out", out, "--data", ringFolder().str()};
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

/// Whether the file ends with a whole line; each line of a result file before the last is
/// whole, all result lines of one length (checked here).
bool linesWholeButTheLast(const std::filesystem::path& file) {
    const std::string text = readFile(file), name = file.filename().string();
    if (name.find("_Temp_") != std::string::npos || name.find("_Prec_") != std::string::npos) {
        // Lines after the two heading lines: all of one length.
        size_t start = text.find("\r\n", text.find("\r\n") + 2) + 2, length = 0;
        for (size_t end; start < text.size() && (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
            if (length == 0) length = end - start;
            EXPECT_EQ(end - start, length) << file << " at byte " << start;
        }
    }
    return text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0;
}

/// The first file in the folder whose name holds `part` (empty when there is none).
std::filesystem::path fileNamed(const std::filesystem::path& folder, const std::string& part) {
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().filename().string().find(part) != std::string::npos) return entry.path();
    return {};
}

const std::vector<std::string> kTwoVariables{"--vars", "Temp,Prec", "--quantities", "best,interval,stderr,bias", "--threads", "2"};

}  // namespace

// A location file gives a line per location in each file; a folder or file of --out that is
// not there yet is made.
TEST(BatchCommand, LocationFileGivesOneLinePerLocationAndFormatTwoOneHeader) {
    TempFolder data("cli-batch-data"), out("cli-batch-out");
    data.write("places.dat", "10,45,200,Valley town\n10.5,45.5,900,Hill\n10,45,10001,Too high\n");
    const std::string at = "batch --locations " + data.file("places.dat") + " --data " + ringFolder().str();
    CliResult r = runCli(at + " --out " + out.str() + " --vars Temp,Sun --quantities best,stderr --threads 2");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.err.find("Location Too high Skipped : Longitude or Latitude or Altitude not valid."), std::string::npos);
    EXPECT_NE(r.out.find("Data Saved Correctly"), std::string::npos);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out.path()), {}), 1 + 2 * 3);
    const std::string sun = readFile(fileNamed(out.path(), "_Sun_StdErr.zte"));
    EXPECT_EQ(sun.find(" Standard Error of Sunshine Fraction\r\n"), 0u);
    EXPECT_NE(sun.find("\r\nHill     10.50   45.50     900"), std::string::npos);

    runCliOk(at + " --format orvane --out " + data.file("o.dat") + " --vars Temp,Prec");
    const std::string text = readFile(data.file("o.dat"));
    EXPECT_EQ(text.find("Station Name = "), text.rfind("Station Name = "));
    EXPECT_EQ(text.find("Precip_Total_mly"), text.rfind("Precip_Total_mly") - 340);  // two lines of 170 bytes apart
    for (const std::string& made : {data.file("new/folder"), data.file("other/places.csv")}) {
        const bool zte = made.find(".csv") == std::string::npos;
        runCliOk(at + " --out " + made + (zte ? "" : " --format vesk"));
        EXPECT_TRUE(zte ? std::filesystem::is_directory(made) : std::filesystem::is_regular_file(made)) << made;
    }
}

TEST(BatchCommand, GridReachesThePolesAndTheDateLine) {
    TempFolder data("cli-batch-grid"), out("cli-batch-grid-out");
    writeDataFolder(data, 10, 45, ringOfEightStations());
    const std::vector<char> sea(static_cast<size_t>(kTerrainColumns) * kTerrainRows, static_cast<char>(255));
    std::ofstream(data.file(kTerrainFileName), std::ios::binary).write(sea.data(), static_cast<std::streamsize>(sea.size()));
    const CliResult r = runCliOk("batch --grid -180,180,1,-90,90,1 --vars Tmax --maxdist 22000 --out " + out.str() +
                               " --data " + data.str());
    const std::string text = readFile(fileNamed(out.path(), "_Tmax_Best.zte"));
    EXPECT_NE(text.find("\r\n Lon : -180.00 Lat : -90.00 Alt : "), std::string::npos) << text;
    EXPECT_NE(text.find("\r\n Lon : 180.00 Lat : 90.00 Alt : "), std::string::npos) << text;
}

// Ctrl-C, and the SIGTERM that `kill` or a scheduler sends, stop after the current location.
TEST(BatchCommand, CtrlCOrSigtermStopsAfterTheCurrentLocationAndKeepsWholeLines) {
    TempFolder data("cli-batch-int");
    const std::string list = locationList(data, 200000);
    for (const auto& [signal, code] : {std::pair{SIGINT, 130}, std::pair{SIGTERM, 143}}) {
        TempFolder out("cli-batch-int-out");
        const pid_t pid = startCli(batchArgs(list, out.str(), {"--vars", "Temp"}));
        // Wait until lines are being written, then send the signal.
        const auto best = [&] { return fileNamed(out.path(), "_Temp_Best.zte"); };
        for (int k = 0; k < 400 && (best().empty() || std::filesystem::file_size(best()) < 5000); ++k) ::usleep(25000);
        ::kill(pid, signal);
        const int status = waitFor(pid);
        ASSERT_TRUE(WIFEXITED(status)) << "signal " << signal;
        EXPECT_EQ(WEXITSTATUS(status), code) << "signal " << signal;
        const std::string text = readFile(best());
        ASSERT_GE(text.size(), 5000u);
        EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
        EXPECT_LT(std::count(text.begin(), text.end(), '\n'), 3 + 200000);
    }
}

// What makes a killed run leave whole lines: every write the program makes to a result file
// ends a line (whole locations go out together). The write spy (spy/write_spy.cpp) logs each
// write as "whole" or "cut", so a line written in two pieces is caught whatever the timing; and
// killed by it at exact moments between writes, every file ends with a whole line.
TEST(BatchCommand, EveryWriteEndsALineSoAKillBetweenWritesLeavesWholeLines) {
    TempFolder data("cli-batch-spy");
    const std::string shortList = locationList(data, 3000), longList = locationList(data, 20000);
    const auto spiedRun = [&](const std::string& format, long killAfter, const TempFolder& out, std::vector<std::string>& log) {
        const std::string logFile = data.file("spy.log");
        std::filesystem::remove(logFile);
        const std::string target = format == "zte" ? out.str() : out.file("all.txt");
        std::vector<std::string> more = kTwoVariables;
        more.insert(more.end(), {"--format", format});
        const int status = waitFor(startCli(batchArgs(killAfter ? longList : shortList, target, more), [&] {
            ::setenv("LD_PRELOAD", ZENTREL_WRITE_SPY, 1);
            ::setenv("ZENTREL_SPY_FOLDER", (std::filesystem::canonical(out.path()).string() + "/").c_str(), 1);
            ::setenv("ZENTREL_SPY_LOG", logFile.c_str(), 1);
            if (killAfter > 0) ::setenv("ZENTREL_SPY_KILL_AFTER", std::to_string(killAfter).c_str(), 1);
            // A sanitizer build wants its runtime first; the spy only passes writes on.
            const char* asan = std::getenv("ASAN_OPTIONS");
            ::setenv("ASAN_OPTIONS", (std::string(asan ? asan : "") + ":verify_asan_link_order=0").c_str(), 1);
        }));
        std::ifstream in(logFile);
        for (std::string line; std::getline(in, line);) log.push_back(line);
        return status;
    };
    for (const std::string format : {"zte", "vesk", "orvane"}) {
        TempFolder out("cli-batch-spy-" + format);
        std::vector<std::string> log;
        const int status = spiedRun(format, 0, out, log);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << format;
        ASSERT_GE(log.size(), 3u) << format << ": the spy saw no writes (not preloaded?)";
        for (const std::string& line : log) EXPECT_EQ(line.rfind("whole ", 0), 0u) << format << ": " << line;
    }
    for (const long killAfter : {1L, 7L, 40L, 41L, 150L}) {
        TempFolder out("cli-batch-kill-at" + std::to_string(killAfter));
        std::vector<std::string> log;
        const int status = spiedRun("zte", killAfter, out, log);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
            << "after " << killAfter << " writes: the run ended before it was killed; make the list longer";
        int files = 0;
        for (const auto& entry : std::filesystem::directory_iterator(out.path()))
            if (entry.file_size() > 0) {
                ++files;
                EXPECT_TRUE(linesWholeButTheLast(entry.path())) << entry.path() << " after " << killAfter << " writes";
            }
        EXPECT_GT(files, 0);
    }
}

// A disk that fills during the run (here: a file-size limit, so a write fails as on a full
// disk): the run stops with an error naming the file, and what was written is whole lines.
TEST(BatchCommand, FullDiskStopsWithTheFileNamedAndWholeLines) {
    TempFolder data("cli-batch-full");
    const std::string list = locationList(data, 5000);
    for (const std::string format : {"zte", "orvane"}) {
        TempFolder out("cli-batch-full-out");
        const std::string target = format == "zte" ? out.str() : out.file("all.dat"), errFile = data.file("err.txt");
        const int status = waitFor(startCli(batchArgs(list, target, {"--format", format, "--vars", "Temp"}), [] {
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{20000, 20000};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }, errFile));
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 1) << format;
        EXPECT_NE(readFile(errFile).find(out.str()), std::string::npos) << readFile(errFile);
        for (const auto& entry : std::filesystem::directory_iterator(out.path()))
            EXPECT_TRUE(entry.file_size() == 0 || linesWholeButTheLast(entry.path())) << entry.path() << " of " << format;
    }
}
