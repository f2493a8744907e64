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

namespace {

std::vector<Station> nearStations() {
    std::vector<Station> out;
    for (int k = 0; k < 8; ++k)
        out.push_back(makeStation(10 + static_cast<float>(std::cos(k * 0.8)), 45 + static_cast<float>(std::sin(k * 0.8)),
                                  100.0f * static_cast<float>(k), 12 - 0.5f * static_cast<float>(k), "S" + std::to_string(k)));
    return out;
}

}  // namespace

TEST(BatchCommand, LocationFileGivesOneLinePerLocationAndFormatTwoOneHeader) {
    TempFolder data("cli-batch-data"), out("cli-batch-out");
    writeDataFolder(data, 10, 45, nearStations());
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
    writeDataFolder(data, 10, 45, nearStations());
    data.write("empty.dat", "");
    CliResult r = runCli("batch --locations " + data.file("empty.dat") + " --out " + data.str() + " --data " + data.str());
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("No stations "), std::string::npos) << r.err;

    const std::string missing = data.file("no-such-folder");
    data.write("one.dat", "10,45,100\n");
    r = runCli("batch --locations " + data.file("one.dat") + " --out " + missing + " --data " + data.str());
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("Cannot create the file \"" + missing + "/Zentrel "), std::string::npos) << r.err;

    EXPECT_EQ(runCli("batch --grid 9,11,0,44,46,1 --out " + data.str() + " --data " + data.str()).code, 2);
    EXPECT_EQ(runCli("batch --grid 9,11,1,44,46,1 --locations x --out " + data.str()).code, 2);
    EXPECT_EQ(runCli("batch --grid 9,11,1,44,46,1 --vars Rain --out " + data.str() + " --data " + data.str()).code, 2);
}

TEST(BatchCommand, GridReachesThePolesAndTheDateLineButNoFurther) {
    TempFolder data("cli-batch-grid"), out("cli-batch-grid-out");
    writeDataFolder(data, 10, 45, nearStations());
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

TEST(BatchCommand, CtrlCStopsAfterTheCurrentLocationAndKeepsWholeLines) {
    TempFolder data("cli-batch-int"), out("cli-batch-int-out");
    writeDataFolder(data, 10, 45, nearStations());
    std::string list;
    for (int i = 0; i < 200000; ++i) list += "10.1,45.1,100,P" + std::to_string(i) + "\n";
    data.write("many.dat", list);
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::freopen("/dev/null", "w", stdout);
        std::freopen("/dev/null", "w", stderr);
        ::execl(ZENTREL_BIN, ZENTREL_BIN, "batch", "--locations", data.file("many.dat").c_str(), "--out", out.str().c_str(),
                "--vars", "Temp", "--data", data.str().c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // Wait until lines are being written, then press Ctrl-C.
    auto bestFile = [&] {
        for (const auto& entry : std::filesystem::directory_iterator(out.path()))
            if (entry.path().string().find("_Temp_Best.zte") != std::string::npos) return entry.path();
        return std::filesystem::path();
    };
    for (int k = 0; k < 400 && (bestFile().empty() || std::filesystem::file_size(bestFile()) < 5000); ++k) ::usleep(25000);
    ::kill(pid, SIGINT);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);
    std::ifstream in(bestFile(), std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    ASSERT_GE(text.size(), 5000u);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    EXPECT_LT(std::count(text.begin(), text.end(), '\n'), 3 + 200000);
}

// Killed without warning (SIGKILL) at a random moment, a run leaves whole lines in every file:
// each file ends with a line end, and every data line of a file (one place, many times) is
// as long as its first.
TEST(BatchCommand, KilledAtRandomLeavesWholeLinesOnly) {
    TempFolder data("cli-batch-kill");
    writeDataFolder(data, 10, 45, nearStations());
    std::string list;
    for (int i = 0; i < 400000; ++i) list += "10.1,45.1,100,Same place\n";
    data.write("many.dat", list);
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
            std::ifstream in(entry.path(), std::ios::binary);
            const std::string text{std::istreambuf_iterator<char>(in), {}};
            if (text.empty()) continue;
            ++files;
            EXPECT_EQ(text.substr(text.size() - 2), "\r\n") << entry.path();
            const std::string name = entry.path().filename().string();
            if (name.find("_Temp_") == std::string::npos && name.find("_Prec_") == std::string::npos) continue;
            // Lines after the two heading lines: all of one length.
            size_t start = text.find("\r\n", text.find("\r\n") + 2) + 2, length = 0;
            for (size_t end; start < text.size() && (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
                if (length == 0) length = end - start;
                ASSERT_EQ(end - start, length) << entry.path() << " at byte " << start;
            }
        }
        EXPECT_GT(files, 0);
    }
}

// A disk that fills during the run (here: a file-size limit, so a write fails as on a full
// disk): the run stops with an error naming the file, and what was written is whole lines.
TEST(BatchCommand, FullDiskStopsWithTheFileNamedAndWholeLines) {
    TempFolder data("cli-batch-full"), out("cli-batch-full-out");
    writeDataFolder(data, 10, 45, nearStations());
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
