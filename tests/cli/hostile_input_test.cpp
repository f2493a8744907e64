// What a hostile user tries: impossible numbers, special files as outputs or data, two runs
// on one output, a full disk during an import, a standard output that cannot be written.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/sysmacros.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <map>

#include "../core/fixture.h"
#include "files/output_lock.h"
#include "run_cli.h"

using namespace zentrel;
using namespace zentrel::test;

namespace {

std::map<std::string, std::string> folderContents(const std::filesystem::path& folder) {
    std::map<std::string, std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(folder)) out[e.path().filename().string()] = readFile(e.path());
    return out;
}

}  // namespace

TEST(HostileInput, NonFiniteHexOrHugeOptionsAreRefusedNamingTheOption) {
    TempFolder data("hostile-opts");
    writeDataFolder(data, 10, 45, ringOfEightStations());
    const std::string base = "estimate --lon 10 --lat 45 --var Temp --data " + data.str();
    const std::pair<const char*, const char*> cases[] = {
        {" --alt nan", "--alt: \"nan\" is not a number; give a decimal number in -600..10000."},
        {" --alt 1e30", "--alt: \"1e30\" lies outside -600..10000."},
        {" --powexp nan", "--powexp: \"nan\" is not a number; give a decimal number, 0..5."},
        {" --shad nan", "--shad: \"nan\" is not a number"},
        {" --maxdist nan", "--maxdist: \"nan\" is not a number"},
        {" --mindist inf", "--mindist: \"inf\" is not a number"},
        {" --maxdist 1e39", "--maxdist: \"1e39\" is too large a number"}};
    for (const auto& [args, message] : cases) {
        const CliResult r = runCli(base + args);
        EXPECT_EQ(r.code, 2) << args;
        EXPECT_NE(r.err.find(message), std::string::npos) << args << ": " << r.err;
    }
    const CliResult hex = runCli("estimate --lon 0x10 --lat 45 --var Temp --data " + data.str());
    EXPECT_EQ(hex.code, 2) << "0x10 was read as 16";
    EXPECT_NE(hex.err.find("--lon: \"0x10\" is not a number"), std::string::npos) << hex.err;
}

TEST(HostileInput, ThreadCountsBeyondTheCapOrNegativeAndBadCountsAreRefused) {
    TempFolder data("hostile-threads");
    writeDataFolder(data, 10, 45, ringOfEightStations());
    for (const std::string command :
         {"validate --threads 40000", "validate --threads -3", "batch --grid 9,11,1,44,46,1 --out x --threads 40000",
          "batch --grid 9,11,1,44,46,1 --out x --threads -3", "raster --var Temp --bbox 9,44,11,46 --res 1 -o x.img --threads -3",
          "validate --folds 1e9", "validate --worst -5"}) {
        const CliResult r = runCli(command + " --data " + data.str());
        EXPECT_EQ(r.code, 2) << command << ": " << r.err;
        const std::string option = command.substr(command.rfind("--"), command.rfind(' ') - command.rfind("--"));
        EXPECT_NE(r.err.find("zentrel: " + option + ": \""), std::string::npos) << command << ": " << r.err;
        EXPECT_NE(r.err.find(".."), std::string::npos) << "no range said: " << r.err;
    }
    EXPECT_NE(runCli("batch --help").out.find("at most "), std::string::npos) << "the cap is not said in --help";
}

TEST(HostileInput, StandardOutputThatCannotBeWrittenExitsOne) {
    TempFolder data("hostile-full");
    writeDataFolder(data, 10, 45, ringOfEightStations());
    const CliResult r = runCli("estimate --lon 10 --lat 45 --alt 100 --var Temp --data " + data.str() + " >/dev/full");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("The standard output cannot be written"), std::string::npos) << r.err;
}

TEST(HostileInput, DashOutputIsStandardOutputAndSpecialFilesStaySpecial) {
    TempFolder data("hostile-out");
    writeDataFolder(data, 10, 45, ringOfEightStations());
    const std::string base = "estimate --lon 10 --lat 45 --alt 100 --var Temp --data " + data.str();
    const CliResult dash = runCli(base + " --format vesk -o -");
    ASSERT_EQ(dash.code, 0) << dash.err;
    EXPECT_EQ(dash.out.find("\"STN-NAME\""), 3u) << dash.out;
    EXPECT_FALSE(std::filesystem::exists("-"));

    std::filesystem::create_directory(data.path() / "scratch");
    const std::string node = data.file("scratch/null");
    if (::mknod(node.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) GTEST_SKIP() << "no device nodes here";
    const CliResult r = runCli(base + " --format zte -o " + node);
    EXPECT_EQ(r.code, 0) << r.err;
    struct stat st {};
    ASSERT_EQ(::lstat(node.c_str(), &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode)) << "the device node was replaced by a regular file";
}

TEST(HostileInput, SecondRunOnALockedOutputIsRefusedAndTheOutputKept) {
    TempFolder data("hostile-lock");
    writeDataFolder(data, 10, 45, ringOfEightStations());
    data.write("one.dat", "10,45,100,Here\n");
    const std::string out = data.file("same.csv");
    data.write("same.csv", "earlier run\n");
    const OutputLock running(out);  // a run that is still writing
    const CliResult r = runCli("batch --locations " + data.file("one.dat") + " --format vesk --out " + out +
                               " --data " + data.str());
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("The output " + out + " is being written by another run"), std::string::npos) << r.err;
    EXPECT_EQ(readFile(out), "earlier run\n");
    const CliResult e = runCli("estimate --lon 10 --lat 45 --alt 100 --var Temp --format vesk -o " + out + " --data " +
                               data.str());
    EXPECT_EQ(e.code, 1) << "estimate -o ignored the lock";
}

TEST(HostileInput, PoisonedStationAltitudeIsRefusedInsteadOfNaN) {
    TempFolder data("hostile-poison");
    std::vector<Station> stations = ringOfEightStations();
    stations[3].Alt = 1e20f;
    writeDataFolder(data, 10, 45, stations);
    const CliResult r = runCli("estimate --lon 10 --lat 45 --alt 100 --var Tmax --data " + data.str());
    EXPECT_EQ(r.code, 1) << r.out;
    EXPECT_NE(r.err.find("max.txt, line 4, field 3 (altitude)"), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("nan"), std::string::npos);
}

TEST(HostileInput, FolderInPlaceOfAStationFileIsRefusedByName) {
    TempFolder data("hostile-dir");
    writeDataFolder(data, 10, 45, ringOfEightStations());
    std::filesystem::remove(data.path() / "max.txt");
    std::filesystem::create_directory(data.path() / "max.txt");
    const CliResult r = runCli("estimate --lon 10 --lat 45 --alt 100 --var Tmax --data " + data.str());
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("max.txt is not a regular file but a folder."), std::string::npos) << r.err;
}

// A disk that fills while the import writes (a file-size limit): the old database stays whole.
TEST(HostileInput, ImportOnAFullDiskLeavesTheOldDatabaseWhole) {
    TempFolder work("hostile-import");
    const std::string db = work.file("db");
    ASSERT_EQ(runCli("data import-csv --in " + std::string(ZENTREL_TEST_DATA) + "/csv/normals.csv --out " + db).code, 0);
    const auto before = folderContents(db);
    std::string csv = "id,name,country,lat,lon,alt,variable,jan,feb,mar,apr,may,jun,jul,aug,sep,oct,nov,dec\n";
    for (int k = 0; k < 300; ++k)
        csv += std::to_string(k) + ",Station " + std::to_string(k) + ",Italy,41.8," + std::to_string(12 + 0.001 * k) +
               ",105,Temp,7.5,8.3,10.5,13.1,17.2,21.1,24.1,24.1,21.1,16.8,11.9,8.6\n";
    work.write("big.csv", csv);
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::freopen("/dev/null", "w", stdout);
        std::freopen("/dev/null", "w", stderr);
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{8000, 8000};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::execl(ZENTREL_BIN, ZENTREL_BIN, "data", "import-csv", "--in", work.file("big.csv").c_str(), "--out",
                db.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(folderContents(db), before) << "a failed import changed the database";
    int beside = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(work.path())) ++beside;
    EXPECT_EQ(beside, 2) << "the half-built database stayed beside the old one";
}

TEST(HostileInput, LocationFieldsReadAsZeroAreSaidAndStrictRefusesThem) {
    TempFolder data("hostile-loc");
    writeDataFolder(data, 10, 45, ringOfEightStations());
    data.write("places.dat", "10,45,100\nabc,41,100\n");
    const std::string args = "batch --locations " + data.file("places.dat") + " --format vesk --out " +
                             data.file("o.csv") + " --vars Temp --data " + data.str();
    CliResult r = runCli(args);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.err.find("note: " + data.file("places.dat") + ", line 2, field 1 (longitude): \"abc\" is not a number; read as 0."),
              std::string::npos)
        << r.err;
    r = runCli(args + " --strict");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("--strict"), std::string::npos) << r.err;
}

// One station listed many times at the location: only one stays active, and the engine then
// makes no annual values. The table must not show 0.00 as the annual result.
TEST(HostileInput, RepeatedStationShowsNoZeroAnnualValue) {
    TempFolder data("hostile-repeat");
    std::vector<Station> same(25, makeStation(10, 45, 100, 15.4f, "Same"));
    writeDataFolder(data, 10, 45, same);
    const CliResult r = runCli("estimate --lon 10 --lat 45 --alt 100 --var Tmax --data " + data.str());
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("January           15.40"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("Annual             0.00"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Only one active station"), std::string::npos) << r.out;
    const CliResult json = runCli("estimate --lon 10 --lat 45 --alt 100 --var Tmax --json --data " + data.str());
    EXPECT_NE(json.out.find("\"Best\": [15.4,15.4,15.4,15.4,15.4,15.4,15.4,15.4,15.4,15.4,15.4,15.4,null]"), std::string::npos)
        << json.out;
}
