// What a hostile user tries: special files as outputs or data, two runs on one output, a full
// disk during an import or a map, a standard output that cannot be written, odd about files.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/sysmacros.h>
#include <sys/stat.h>

#include <fmt/format.h>

#include <array>
#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
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

// The robust, adaptive and kriging methods take the 25 copies as one station before the
// selection: the ring's eight stations keep their places, and the note counts the copies. A
// station at the same position with other values is no copy: it is selected and switched off.
TEST(HostileInput, CopiesOfOneStationTakeOneNeighbourPlaceOutsideTheDescribedMethod) {
    TempFolder data("hostile-copies-collapsed");
    std::vector<Station> stations = ringOfEightStations();
    for (Station& s : stations) {
        s.Lon = 10 + 2 * (s.Lon - 10);
        s.Lat = 45 + 2 * (s.Lat - 45);
    }
    for (int k = 0; k < 25; ++k) stations.push_back(makeStation(10.3f, 45.2f, 100, 12, "Copy" + std::to_string(k)));
    stations.push_back(makeStation(10.3f, 45.2f, 100, 13, "Other"));
    writeDataFolder(data, 10, 45, stations);
    for (const char* method : {"kriging", "adaptive", "robust"}) {
        SCOPED_TRACE(method);
        const CliResult r = runCliOk(std::string("estimate --lon 10 --lat 45 --alt 100 --var Temp --json --method ") + method +
                                     " --data " + data.str());
        const nlohmann::json j = nlohmann::json::parse(r.out);
        EXPECT_EQ(j["neighbourCount"], 10);  // the ring, one copy, the other station
        EXPECT_EQ(j["activeCount"], 9);
        EXPECT_EQ(j["warnings"]["WarnDoubled"], true);
        EXPECT_NE(j["messages"].dump().find("24 copies of a neighbour (the same position and values) counted once"), std::string::npos)
            << j["messages"].dump();
    }
    const CliResult text = runCliOk("estimate --lon 10 --lat 45 --alt 100 --var Temp --data " + data.str());
    EXPECT_NE(text.out.find("24 copies of a neighbour"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("Two neighbours share one position"), std::string::npos) << text.out;
}

namespace {

// Normals of `count` stations as import-csv reads them: Temp with a smooth field over position.
std::string csvOf(const std::vector<std::array<float, 3>>& stations, const std::function<float(float, float, int)>& temp) {
    std::string out = "id,name,country,lat,lon,alt,variable,jan,feb,mar,apr,may,jun,jul,aug,sep,oct,nov,dec\n";
    int id = 0;
    for (const auto& [lon, lat, alt] : stations) {
        out += fmt::format("{0},S{0},XX,{1},{2},{3},Temp", ++id, lat, lon, alt);
        for (int m = 1; m <= 12; ++m) out += fmt::format(",{:.1f}", temp(lon, lat, m));
        out += "\n";
    }
    return out;
}

struct Estimated {
    std::vector<double> best, stdErr, low, high;  // months 1..12; low and high: the active neighbours' values
    std::vector<std::string> caps;
    std::string messages;
};

Estimated krigedAt(const std::string& data, const std::string& where) {
    const CliResult r = runCliOk("estimate " + where + " --var Temp --json --data " + data);
    const nlohmann::json j = nlohmann::json::parse(r.out);
    Estimated e;
    for (int m = 1; m <= 12; ++m) {
        const size_t k = static_cast<size_t>(m - 1);  // the arrays begin with January
        const auto number = [](const nlohmann::json& v) { return v.is_null() ? std::nan("") : v.get<double>(); };
        e.best.push_back(number(j["result"]["Best"][k]));
        e.stdErr.push_back(number(j["result"]["StdErr"][k]));  // null without an error estimate
        e.caps.push_back(j["result"]["Caps"][k]);
        double low = HUGE_VAL, high = -HUGE_VAL;
        for (const auto& n : j["neighbours"])
            if (n["active"] == 1) {
                low = std::min(low, n["data"][k].get<double>());
                high = std::max(high, n["data"][k].get<double>());
            }
        e.low.push_back(low);
        e.high.push_back(high);
    }
    e.messages = j["messages"].dump();
    return e;
}

}  // namespace

// Networks the kriging covariates cannot be fitted on: 24 stations all at 100 m around Rome
// (their altitude terms were fitted on rounding: -11.7 C at sea level with an error of
// 2,000 K), and four Fiji stations at 5 m above a sea cell (19.5 C where all read 22.4-22.7).
// The fit falls back, says so among the limits and messages, and keeps the value and its
// error within the neighbours' spread; validate --map counts the cells.
TEST(HostileInput, DegenerateNetworksFallBackWithinTheNeighboursSpreadAndSaySo) {
    TempFolder scratch("hostile-degenerate");
    std::vector<std::array<float, 3>> flat;
    for (int i = -2; i <= 2; ++i)
        for (int j = -2; j <= 2; ++j)
            if (i || j) flat.push_back({12.5f + 0.5f * static_cast<float>(i) + 0.03f * static_cast<float>(j),
                                        41.9f + 0.5f * static_cast<float>(j) - 0.02f * static_cast<float>(i), 100});
    scratch.write("flat.csv", csvOf(flat, [](float lon, float lat, int m) {
        return -4.4f + 12 * (1 - std::cos(6.2832f * static_cast<float>(m - 1) / 12)) - (lat - 41.9f) + 0.4f * (lon - 12.5f);
    }));
    scratch.write("fiji.csv", csvOf({{177.45f, -17.75f, 5}, {178.45f, -18.15f, 5}, {179.37f, -16.43f, 5}, {177.44f, -17.6f, 5}},
                                    [](float lon, float, int m) { return 22.4f + 0.1f * static_cast<float>((m + static_cast<int>(lon)) % 4); }));
    for (const char* name : {"flat", "fiji"})
        runCliOk(std::string("data import-csv --in ") + scratch.file(std::string(name) + ".csv") + " --out " + scratch.file(name));
    for (const auto& [data, where] : {std::pair{"flat", "--lon 12.5 --lat 41.9 --alt 0"}, {"fiji", "--lon 177.9 --lat -17.9 --alt 0"},
                                      {"fiji", "--lon 178.0 --lat -18.6 --alt 0"}}) {
        const Estimated e = krigedAt(scratch.file(data), where);
        SCOPED_TRACE(std::string(data) + " " + where);
        EXPECT_NE(e.messages.find("Covariate fallback"), std::string::npos) << e.messages;
        for (size_t m = 0; m < 12; ++m) {
            const double spread = e.high[m] - e.low[m];
            EXPECT_GE(e.best[m], e.low[m] - spread - 0.05) << m + 1;
            EXPECT_LE(e.best[m], e.high[m] + spread + 0.05) << m + 1;
            if (std::string(data) == "flat") {  // Fiji: too few rows for one
                EXPECT_LE(e.stdErr[m], std::max(spread, 0.5)) << m + 1;
            }
            EXPECT_NE(e.caps[m].find("covariate fallback"), std::string::npos) << m + 1;
        }
    }
    const CliResult audit = runCliOk("validate --map --bbox 11.5,41,13.5,42.8 --res 0.25 --var Temp --data " + scratch.file("flat"));
    EXPECT_NE(audit.out.find("cells whose neighbours could not carry a kriging covariate"), std::string::npos) << audit.out;
}

// A network whose stations spread over altitude keeps its covariate fit: no fallback is said.
TEST(HostileInput, NetworkWithAnAltitudeSpreadKeepsItsCovariateFit) {
    TempFolder scratch("hostile-spread");
    std::vector<std::array<float, 3>> hilly;
    for (int k = 0; k < 30; ++k)
        hilly.push_back({11.0f + 0.5f * static_cast<float>(k / 6), 40.5f + 0.25f * static_cast<float>(k % 6), 50.0f + 97.0f * static_cast<float>(k % 7)});
    scratch.write("hilly.csv", csvOf(hilly, [](float lon, float lat, int m) {
        return 8 + 8 * std::sin(6.2832f * static_cast<float>(m - 4) / 12) - 0.3f * (lat - 41) + 0.1f * lon;
    }));
    runCliOk("data import-csv --in " + scratch.file("hilly.csv") + " --out " + scratch.file("hilly"));
    const Estimated e = krigedAt(scratch.file("hilly"), "--lon 12.4 --lat 41.6 --alt 300");
    EXPECT_EQ(e.messages.find("Covariate fallback"), std::string::npos) << e.messages;
    for (const std::string& caps : e.caps) EXPECT_EQ(caps.find("covariate fallback"), std::string::npos) << caps;
}
