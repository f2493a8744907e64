// `zentrel batch` run as a user runs it: a location file in, the batch files out, and its refusals.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>

#include "../core/fixture.h"
#include "data/terrain.h"
#include "run_cli.h"

using namespace zentrel;
using namespace zentrel::test;


TEST(BatchCommand, LocationFileGivesOneLinePerLocationAndFormatTwoOneHeader) {
    TempFolder data("cli-batch-data"), out("cli-batch-out");
    writeDataFolder(data, 10, 45, ringOfEightStations());
    data.write("places.dat", "10,45,200,Valley town\n10.5,45.5,900,Hill\n10,45,10001,Too high\n");
    CliResult r = runCli("batch --locations " + data.file("places.dat") + " --out " + out.str() +
                         " --vars Temp,Sun --quantities best,stderr --threads 2 --data " + data.str());
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.err.find("Location Too high Skipped : Longitude or Latitude or Altitude not valid."), std::string::npos);
    EXPECT_NE(r.out.find("Data Saved Correctly"), std::string::npos);
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(out.path())) {
        ++files;
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string text{std::istreambuf_iterator<char>(in), {}};
        if (entry.path().string().find("_Sun_StdErr.zte") != std::string::npos) {
            EXPECT_EQ(text.find(" Standard Error of Sunshine Fraction\r\n"), 0u);
            EXPECT_NE(text.find("\r\nHill     10.50   45.50     900"), std::string::npos);
        }
    }
    EXPECT_EQ(files, 1 + 2 * 3);

    r = runCli("batch --locations " + data.file("places.dat") + " --format orvane --out " + out.file("o.dat") +
               " --vars Temp,Prec --data " + data.str());
    ASSERT_EQ(r.code, 0) << r.err;
    std::ifstream in(out.file("o.dat"), std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    EXPECT_EQ(text.find("Station Name = "), text.rfind("Station Name = "));
    EXPECT_EQ(text.find("Precip_Total_mly"), text.rfind("Precip_Total_mly") - 340);  // two lines of 170 bytes apart
}

TEST(BatchCommand, EmptyListMissingFolderAndBadArgumentsAreRefused) {
    TempFolder data("cli-batch-refuse");
    writeDataFolder(data, 10, 45, ringOfEightStations());
    data.write("empty.dat", "");
    CliResult r = runCli("batch --locations " + data.file("empty.dat") + " --out " + data.str() + " --data " + data.str());
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("No stations "), std::string::npos) << r.err;

    // A folder that is not there yet is made, for the files or for the file; one that cannot
    // be made is an error naming it.
    data.write("one.dat", "10,45,100\n");
    for (const std::string& out : {data.file("new/folder"), data.file("other/places.csv")}) {
        const bool zte = out.find(".csv") == std::string::npos;
        r = runCli("batch --locations " + data.file("one.dat") + " --out " + out + (zte ? "" : " --format vesk") +
                   " --data " + data.str());
        EXPECT_EQ(r.code, 0) << out << "\n" << r.err;
        EXPECT_TRUE(std::filesystem::is_directory(zte ? out : data.file("other"))) << out;
        if (!zte) {
            EXPECT_TRUE(std::filesystem::is_regular_file(out));
        }
    }
    const std::string blocked = data.file("one.dat") + "/sub";
    r = runCli("batch --locations " + data.file("one.dat") + " --out " + blocked + " --data " + data.str());
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find(blocked), std::string::npos) << r.err;

    EXPECT_EQ(runCli("batch --grid 9,11,0,44,46,1 --out " + data.str() + " --data " + data.str()).code, 2);
    EXPECT_EQ(runCli("batch --grid 9,11,1,44,46,1 --locations x --out " + data.str()).code, 2);
    EXPECT_EQ(runCli("batch --grid 9,11,1,44,46,1 --vars Rain --out " + data.str() + " --data " + data.str()).code, 2);
}

TEST(BatchCommand, GridReachesThePolesAndTheDateLineButNoFurther) {
    TempFolder data("cli-batch-grid"), out("cli-batch-grid-out");
    writeDataFolder(data, 10, 45, ringOfEightStations());
    const std::vector<char> sea(static_cast<size_t>(kTerrainColumns) * kTerrainRows, static_cast<char>(255));
    std::ofstream(data.file(kTerrainFileName), std::ios::binary).write(sea.data(), static_cast<std::streamsize>(sea.size()));
    const std::string tail = " --vars Tmax --maxdist 22000 --out " + out.str() + " --data " + data.str();
    const CliResult r = runCli("batch --grid -180,180,1,-90,90,1" + tail);
    ASSERT_EQ(r.code, 0) << r.err;
    int found = 0;
    for (const auto& entry : std::filesystem::directory_iterator(out.path()))
        if (entry.path().string().find("_Tmax_Best.zte") != std::string::npos) {
            ++found;
            std::ifstream in(entry.path(), std::ios::binary);
            const std::string text{std::istreambuf_iterator<char>(in), {}};
            EXPECT_NE(text.find("\r\n Lon : -180.00 Lat : -90.00 Alt : "), std::string::npos) << text;
            EXPECT_NE(text.find("\r\n Lon : 180.00 Lat : 90.00 Alt : "), std::string::npos) << text;
        }
    EXPECT_EQ(found, 1);
    for (const char* grid : {"-180.01,180,1,-90,90,1", "-180,180.01,1,-90,90,1", "-180,180,1,-90.01,90,1", "-180,180,1,-90,90.01,1"}) {
        const CliResult past = runCli(std::string("batch --grid ") + grid + tail);
        EXPECT_EQ(past.code, 2) << grid;
        EXPECT_NE(past.err.find("should be between"), std::string::npos) << grid << ": " << past.err;
    }
}

// Ctrl-C, and the SIGTERM that `kill` or a scheduler sends, stop after the current location.
TEST(BatchCommand, CtrlCOrSigtermStopsAfterTheCurrentLocationAndKeepsWholeLines) {
    TempFolder data("cli-batch-int");
    writeDataFolder(data, 10, 45, ringOfEightStations());
    std::string list;
    for (int i = 0; i < 200000; ++i) list += "10.1,45.1,100,P" + std::to_string(i) + "\n";
    data.write("many.dat", list);
    for (const auto& [signal, code] : {std::pair{SIGINT, 130}, std::pair{SIGTERM, 143}}) {
        TempFolder out("cli-batch-int-out");
        const pid_t pid = ::fork();
        if (pid == 0) {
            std::freopen("/dev/null", "w", stdout);
            std::freopen("/dev/null", "w", stderr);
            ::execl(ZENTREL_BIN, ZENTREL_BIN, "batch", "--locations", data.file("many.dat").c_str(), "--out",
                    out.str().c_str(), "--vars", "Temp", "--data", data.str().c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        // Wait until lines are being written, then send the signal.
        auto bestFile = [&] {
            for (const auto& entry : std::filesystem::directory_iterator(out.path()))
                if (entry.path().string().find("_Temp_Best.zte") != std::string::npos) return entry.path();
            return std::filesystem::path();
        };
        for (int k = 0; k < 400 && (bestFile().empty() || std::filesystem::file_size(bestFile()) < 5000); ++k)
            ::usleep(25000);
        ::kill(pid, signal);
        int status = 0;
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status)) << "signal " << signal;
        EXPECT_EQ(WEXITSTATUS(status), code) << "signal " << signal;
        std::ifstream in(bestFile(), std::ios::binary);
        const std::string text{std::istreambuf_iterator<char>(in), {}};
        ASSERT_GE(text.size(), 5000u);
        EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
        EXPECT_LT(std::count(text.begin(), text.end(), '\n'), 3 + 200000);
    }
}

namespace {

// Every file of a batch run: each line before the last is whole, all result lines of one
// length. Returns whether the file ends with a whole line; `where` names the file in failures.
bool linesWholeButTheLast(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    const std::string name = file.filename().string();
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

struct SpiedRun {
    int status = 0;
    std::vector<std::string> log;  // one "whole <path>" or "cut <path>" per write to a result file
};

/// Runs `zentrel batch` with the write spy preloaded (see spy/write_spy.cpp); killAfter > 0 makes
/// the run kill itself right after that many writes to its result files.
SpiedRun runSpiedBatch(const TempFolder& data, const TempFolder& out, const std::string& format, long killAfter) {
    const std::string folder = std::filesystem::canonical(out.path()).string() + "/";
    const std::string logFile = data.file("spy-" + format + "-" + std::to_string(killAfter) + ".log");
    std::filesystem::remove(logFile);
    const std::string target = format == "zte" ? out.str() : out.file("all.txt");
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::freopen("/dev/null", "w", stdout);
        std::freopen("/dev/null", "w", stderr);
        ::setenv("LD_PRELOAD", ZENTREL_WRITE_SPY, 1);
        ::setenv("ZENTREL_SPY_FOLDER", folder.c_str(), 1);
        ::setenv("ZENTREL_SPY_LOG", logFile.c_str(), 1);
        if (killAfter > 0) ::setenv("ZENTREL_SPY_KILL_AFTER", std::to_string(killAfter).c_str(), 1);
        // A sanitizer build wants its runtime first; the spy only passes writes on.
        const char* asan = std::getenv("ASAN_OPTIONS");
        ::setenv("ASAN_OPTIONS", (std::string(asan ? asan : "") + ":verify_asan_link_order=0").c_str(), 1);
        ::execl(ZENTREL_BIN, ZENTREL_BIN, "batch", "--locations", data.file("many.dat").c_str(), "--out",
                target.c_str(), "--format", format.c_str(), "--vars", "Temp,Prec", "--quantities",
                "best,interval,stderr,bias", "--threads", "2", "--data", data.str().c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    SpiedRun run;
    ::waitpid(pid, &run.status, 0);
    std::ifstream log(logFile);
    for (std::string line; std::getline(log, line);) run.log.push_back(line);
    return run;
}

/// A small data folder and a location file of `count` rows at one place.
void writeKillTestData(const TempFolder& data, int count) {
    writeDataFolder(data, 10, 45, ringOfEightStations());
    std::string list;
    for (int i = 0; i < count; ++i) list += "10.1,45.1,100,Same place\n";
    data.write("many.dat", list);
}

}  // namespace

// What makes a killed run leave whole lines: every write the program makes to a result file
// ends a line (whole locations go out together). Checked on every write, so a line written in
// two pieces is caught whatever the timing.
TEST(BatchCommand, EveryWriteToAResultFileEndsALine) {
    TempFolder data("cli-batch-kill");
    writeKillTestData(data, 3000);
    for (const std::string format : {"zte", "vesk", "orvane"}) {
        TempFolder out("cli-batch-spy-" + format);
        const SpiedRun run = runSpiedBatch(data, out, format, 0);
        ASSERT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0) << format;
        ASSERT_GE(run.log.size(), 3u) << format << ": the spy saw no writes (not preloaded?)";
        for (const std::string& line : run.log) EXPECT_EQ(line.rfind("whole ", 0), 0u) << format << ": " << line;
    }
}

// Killed at exact moments between writes: every file ends with a whole line.
TEST(BatchCommand, KilledBetweenWritesLeavesWholeLinesOnly) {
    TempFolder data("cli-batch-kill");
    writeKillTestData(data, 20000);
    for (const long killAfter : {1L, 7L, 40L, 41L, 150L}) {
        TempFolder out("cli-batch-kill-at" + std::to_string(killAfter));
        const SpiedRun run = runSpiedBatch(data, out, "zte", killAfter);
        ASSERT_TRUE(WIFSIGNALED(run.status) && WTERMSIG(run.status) == SIGKILL)
            << "after " << killAfter << " writes: the run ended before it was killed; make the list longer";
        int files = 0;
        for (const auto& entry : std::filesystem::directory_iterator(out.path())) {
            if (entry.file_size() == 0) continue;
            ++files;
            EXPECT_TRUE(linesWholeButTheLast(entry.path())) << entry.path() << " after " << killAfter << " writes";
        }
        EXPECT_GT(files, 0);
    }
}

// SIGKILL at a random moment, as a user or a scheduler sends it. A kill that lands inside a
// write may cut it, but Linux does so only between two memory pages of the file: whatever the
// moment, every line before the last is whole, and a cut last line ends at a multiple of 4096
// bytes (a cut anywhere else means the program wrote a line in pieces).
TEST(BatchCommand, KilledAtRandomCutsNothingButALastLineAtAPageBoundary) {
    TempFolder data("cli-batch-kill");
    writeKillTestData(data, 400000);
    unsigned seed = static_cast<unsigned>(::getpid());
    for (int run = 0; run < 3; ++run) {
        TempFolder out("cli-batch-kill-out" + std::to_string(run));
        const pid_t pid = ::fork();
        if (pid == 0) {
            std::freopen("/dev/null", "w", stdout);
            std::freopen("/dev/null", "w", stderr);
            ::execl(ZENTREL_BIN, ZENTREL_BIN, "batch", "--locations", data.file("many.dat").c_str(), "--out",
                    out.str().c_str(), "--vars", "Temp,Prec", "--quantities", "best,interval,stderr,bias",
                    "--threads", "2", "--data", data.str().c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        // Once lines are being written, a random moment later.
        const auto written = [&] {
            std::uintmax_t bytes = 0;
            for (const auto& entry : std::filesystem::directory_iterator(out.path())) bytes += entry.file_size();
            return bytes;
        };
        for (int k = 0; k < 600 && written() < 20000; ++k) ::usleep(25000);
        ::usleep(static_cast<useconds_t>(rand_r(&seed) % 300000));
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the run ended before it was killed; make the list longer";
        int files = 0;
        for (const auto& entry : std::filesystem::directory_iterator(out.path())) {
            if (entry.file_size() == 0) continue;
            ++files;
            if (!linesWholeButTheLast(entry.path())) {
                EXPECT_EQ(entry.file_size() % 4096, 0u) << entry.path() << " is cut inside a page";
            }
        }
        EXPECT_GT(files, 0);
    }
}

// A disk that fills during the run (here: a file-size limit, so a write fails as on a full
// disk): the run stops with an error naming the file, and what was written is whole lines.
TEST(BatchCommand, FullDiskStopsWithTheFileNamedAndWholeLines) {
    TempFolder data("cli-batch-full"), out("cli-batch-full-out");
    writeDataFolder(data, 10, 45, ringOfEightStations());
    std::string list;
    for (int i = 0; i < 5000; ++i) list += "10.1,45.1,100,Same place\n";
    data.write("many.dat", list);
    for (const std::string format : {"zte", "orvane"}) {
        const std::string target = format == "zte" ? out.str() : out.file("all.dat");
        const std::string errFile = out.file("err-" + format + ".txt");
        const pid_t pid = ::fork();
        if (pid == 0) {
            std::freopen("/dev/null", "w", stdout);
            std::freopen(errFile.c_str(), "w", stderr);
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{20000, 20000};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            ::execl(ZENTREL_BIN, ZENTREL_BIN, "batch", "--locations", data.file("many.dat").c_str(), "--out",
                    target.c_str(), "--format", format.c_str(), "--vars", "Temp", "--data", data.str().c_str(),
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 1) << format;
        std::ifstream err(errFile);
        const std::string message{std::istreambuf_iterator<char>(err), {}};
        EXPECT_NE(message.find(out.str()), std::string::npos) << message;
        for (const auto& entry : std::filesystem::directory_iterator(out.path())) {
            if (entry.path().filename().string().rfind("err-", 0) == 0) continue;
            std::ifstream in(entry.path(), std::ios::binary);
            const std::string text{std::istreambuf_iterator<char>(in), {}};
            if (!text.empty()) EXPECT_EQ(text.substr(text.size() - 2), "\r\n") << entry.path() << " of " << format;
        }
    }
}
