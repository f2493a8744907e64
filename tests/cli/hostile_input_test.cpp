// What a hostile user tries: special files as outputs or data, two runs on one output, a full
// disk during an import or a map, a standard output that cannot be written, odd about files.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/sysmacros.h>
#include <sys/stat.h>

#include <map>
#include <memory>
#include <tuple>

#include "cli_fixture.h"
#include "files/output_lock.h"

using namespace zentrel;
using namespace zentrel::test;

namespace {

std::map<std::string, std::string> folderContents(const std::filesystem::path& folder) {
    std::map<std::string, std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(folder)) out[e.path().filename().string()] = readFile(e.path());
    return out;
}

const std::string kNormals = std::string(ZENTREL_TEST_DATA) + "/csv/normals.csv";

}  // namespace

// "-o -" is the standard output, and one that cannot be written is an error; a device node as
// the output stays a device node.
TEST(HostileInput, DashOutputIsStandardOutputAndSpecialFilesStaySpecial) {
    TempFolder scratch("hostile-out");
    const std::string base = "estimate --lon 10 --lat 45 --alt 100 --var Temp --data " + ringFolder().str();
    const CliResult full = runCli(base + " >/dev/full");
    EXPECT_EQ(full.code, 1);
    EXPECT_NE(full.err.find("The standard output cannot be written"), std::string::npos) << full.err;
    const CliResult dash = runCliOk(base + " --format vesk -o -");
    EXPECT_EQ(dash.out.find("\"STN-NAME\""), 3u) << dash.out;
    EXPECT_FALSE(std::filesystem::exists("-"));

    const std::string node = scratch.file("null");
    if (::mknod(node.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) GTEST_SKIP() << "no device nodes here";
    const CliResult r = runCli(base + " --format zte -o " + node);
    EXPECT_EQ(r.code, 0) << r.err;
    struct stat st {};
    ASSERT_EQ(::lstat(node.c_str(), &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode)) << "the device node was replaced by a regular file";
}

TEST(HostileInput, SecondRunOnALockedOutputIsRefusedAndTheOutputKept) {
    TempFolder scratch("hostile-lock");
    scratch.write("one.dat", "10,45,100,Here\n");
    const std::string out = scratch.file("same.csv"), data = " --data " + ringFolder().str();
    scratch.write("same.csv", "earlier run\n");
    const OutputLock running(out);  // a run that is still writing
    const CliResult r = runCli("batch --locations " + scratch.file("one.dat") + " --format vesk --out " + out + data);
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("The output " + out + " is being written by another run"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("written so far"), std::string::npos) << "the refused run wrote nothing: " << r.err;
    EXPECT_EQ(readFile(out), "earlier run\n");
    const CliResult e = runCli("estimate --lon 10 --lat 45 --alt 100 --var Temp --format vesk -o " + out + data);
    EXPECT_EQ(e.code, 1) << "estimate -o ignored the lock";
}

TEST(HostileInput, LocationFieldsReadAsZeroAreSaidAndStrictRefusesThem) {
    TempFolder scratch("hostile-loc");
    scratch.write("places.dat", "10,45,100\nabc,41,100\n");
    const std::string args = "batch --locations " + scratch.file("places.dat") + " --format vesk --out " +
                             scratch.file("o.csv") + " --vars Temp --data " + ringFolder().str();
    CliResult r = runCliOk(args);
    EXPECT_NE(r.err.find("note: " + scratch.file("places.dat") + ", line 2, field 1 (longitude): \"abc\" is not a number; read as 0."),
              std::string::npos) << r.err;
    r = runCli(args + " --strict");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("--strict"), std::string::npos) << r.err;
}

// The formats other than the result files are one table each: --append cannot add to them and
// must not replace the earlier run's file either.
TEST(HostileInput, AppendToAFormatThatCannotTakeMoreLinesIsRefusedBeforeWriting) {
    TempFolder scratch("hostile-append");
    scratch.write("two.dat", "10,45,100,Here\n10.2,45.1,150,There\n");
    for (const std::string format : {"vesk", "orvane", "lgs-input"}) {
        const std::string out = scratch.file("first." + format);
        const std::string args = "batch --locations " + scratch.file("two.dat") + " --vars Temp --format " + format +
                                 " --out " + out + " --data " + ringFolder().str();
        ASSERT_EQ(runCli(args).code, 0) << format;
        const std::string first = readFile(out);
        const CliResult again = runCli(args + " --append");
        EXPECT_EQ(again.code, 2) << format << ": " << again.err;
        EXPECT_NE(again.err.find("--append"), std::string::npos) << again.err;
        EXPECT_EQ(readFile(out), first) << format << ": the first run's file was replaced";
    }
}

// The about file is anyone's text. A FIFO waits for a writer forever: every command that reads
// it refuses it by name (timeout ends a hang as a failure). Bytes that are not UTF-8 and a years
// line that overflows are reported, not misread.
TEST(HostileInput, AboutFileThatIsAFifoOrHoldsForeignBytesIsReportedNotMisread) {
    TempFolder data("hostile-about");
    writeDataFolder(data, 10, 45, ringOfEightStations());
    ASSERT_EQ(::mkfifo(data.file("about.txt").c_str(), 0600), 0);
    for (const std::string command : {"data info", "data info --json", "data where", "--version"}) {
        const CliResult r = runCli(command, "timeout 20 env ZENTREL_DATA=" + data.str() + " ");
        EXPECT_NE(r.code, 124) << command << " hangs on the FIFO";
        const bool info = command.rfind("data info", 0) == 0;
        EXPECT_TRUE(!info || r.out.find("about.txt is not a regular file but a FIFO") != std::string::npos) << r.out;
    }
    std::filesystem::remove(data.file("about.txt"));
    data.write("about.txt", "Source: Stationsdaten M\xfcnchen \xff\nYears Temp: 12345678901234567890..3\n");
    const CliResult json = runCliOk("data info --json --data " + data.str());
    EXPECT_NE(json.out.find("\"Source: Stationsdaten M\xc3\xbcnchen"), std::string::npos) << json.out;
    EXPECT_NE(json.out.find("about.txt, line 2"), std::string::npos) << json.out;
    EXPECT_EQ(json.out.find("validYears"), std::string::npos) << json.out;
    EXPECT_EQ(runCli("data info --data " + data.str()).out.find("-1..1"), std::string::npos);
}

TEST(HostileInput, ValidationWithNothingHeldOutShowsNoZeroErrors) {
    TempFolder data("hostile-validate");
    writeDataFolder(data, 10, 45, {makeStation(10, 45, 100, 12, "Alone")});
    const CliResult r = runCliOk("validate --var Temp --folds 2 --json " + data.file("v.json") + " --data " + data.str());
    EXPECT_EQ(r.out.find(" 0.00 "), std::string::npos) << r.out;
    const std::string json = readFile(data.file("v.json"));
    EXPECT_NE(json.find("\"mae\": null"), std::string::npos) << json;
    EXPECT_EQ(json.find("\"mae\": 0.0"), std::string::npos) << json;
}

// Imports: a killed import's staging folder goes at the next import (a live process's stays);
// a database no estimate could use is refused whole, and a disk that fills while the import
// writes (a file-size limit) leaves the old database whole, with nothing half-built beside it.
TEST(HostileInput, FailedImportsLeaveTheOldDatabaseWholeAndKilledOnesNoLeftovers) {
    TempFolder work("hostile-import");
    const std::string db = work.file("db");
    runCliOk("data import-csv --in " + kNormals + " --out " + db);
    const std::string dead = work.file(".db.new-999999999"), live = work.file(".db.new-" + std::to_string(::getpid()));
    for (const std::string& f : {dead, live}) std::filesystem::create_directories(f + "/inside");
    runCliOk("data import-csv --in " + kNormals + " --out " + db);
    EXPECT_FALSE(std::filesystem::exists(dead)) << "the killed import's folder stayed";
    EXPECT_TRUE(std::filesystem::exists(live)) << "a running import's folder was removed";
    std::filesystem::remove_all(live);

    const auto before = folderContents(db);
    const auto stations = [&](int count) {  // a Tmax table of `count` stations
        std::string csv = "id,name,country,lat,lon,alt,variable,jan,feb,mar,apr,may,jun,jul,aug,sep,oct,nov,dec\n";
        for (int k = 0; k < count; ++k)
            csv += std::to_string(k) + ",S,XX," + std::to_string(-60 + 0.004 * k) + "," + std::to_string(-170 + 0.011 * k) +
                   ",100,Tmax,1,2,3,4,5,6,7,8,9,10,11,12\n";
        work.write(std::to_string(count) + ".csv", csv);
        return work.file(std::to_string(count) + ".csv");
    };
    const CliResult r = runCli("data import-csv --in " + stations(30001) + " --out " + db);
    EXPECT_EQ(r.code, 1) << r.out;
    EXPECT_NE(r.err.find("more than the 30000 one estimate can take"), std::string::npos) << r.err;
    EXPECT_EQ(folderContents(db), before);

    const int status = waitFor(startCli({"data", "import-csv", "--in", stations(300), "--out", db}, [] {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{8000, 8000};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(folderContents(db), before) << "a failed import changed the database";
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(work.path()), {}), 3)  // db and the two tables
        << "the half-built database stayed beside the old one";
}

// A disk that fills under a map (a small tmpfs): one line that says so, exit 1, no crash in the
// libraries' exit handlers and no partial file.
TEST(HostileInput, MapOnAFullDiskSaysSoInOneLine) {
    if (!programDataBuilt()) GTEST_SKIP() << "data folder not built";
    if (::geteuid() != 0) GTEST_SKIP() << "mounting a small disk needs root";
    TempFolder work("hostile-fulldisk");
    const std::string disk = work.file("disk");
    std::filesystem::create_directory(disk);
    if (std::system(("mount -t tmpfs -o size=160k tmpfs " + disk + " 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "no tmpfs can be mounted here";
    const std::shared_ptr<void> unmount(nullptr, [&](void*) { (void)std::system(("umount " + disk).c_str()); });
    // The disk fills while the file is closed (when it held everything until then) or at once
    // (a filler leaves a few kilobytes), and while the GeoTIFF's tiles are made.
    const std::tuple<const char*, const char*, int> cases[] = {
        {"s.nc", "netCDF", 0}, {"s.nc", "netCDF", 150 * 1024}, {"s.tif", "GeoTIFF", 0}};
    for (const auto& [name, kind, filler] : cases) {
        const std::string out = disk + "/" + name;
        if (filler) std::ofstream(disk + "/filler") << std::string(static_cast<size_t>(filler), 'x');
        const CliResult r = runCli("raster --var Temp --period all --quantities best,stderr --quiet --bbox 5,40,15,50 "
                                   "--res 0.1 -o " + out);
        std::filesystem::remove(disk + "/filler");
        EXPECT_EQ(r.code, 1) << name << " (above 128: a crash): " << r.err;
        EXPECT_EQ(r.err, std::string("zentrel: ") + kind + " file " + out + " cannot be written: the disk is full.\n");
        EXPECT_TRUE(std::filesystem::is_empty(disk)) << name << ": a partial file stayed";
    }
}

// 25 copies of one station nearer than the rest fill all 20 neighbour places; the note says how
// many were switched off, not "two".
TEST(HostileInput, CopiesOfOneStationAreCountedInTheDoubledNote) {
    TempFolder data("hostile-copies");
    std::vector<Station> stations = ringOfEightStations();
    for (Station& s : stations) {  // the ring 2 degrees out
        s.Lon = 10 + 2 * (s.Lon - 10);
        s.Lat = 45 + 2 * (s.Lat - 45);
    }
    for (int k = 0; k < 25; ++k) stations.push_back(makeStation(10.3f, 45.2f, 100, 12, "Copy" + std::to_string(k)));
    writeDataFolder(data, 10, 45, stations);
    const CliResult r = runCliOk("estimate --lon 10 --lat 45 --alt 100 --var Temp --method described --data " + data.str());
    EXPECT_NE(r.out.find("\n19 neighbours share a position with a nearer one and are switched off.\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("Two neighbours share"), std::string::npos) << r.out;
}
