// What every command refuses, as tables of command lines a user could type: usage errors (exit
// code 2, a message that names the option or the problem, no file written) and inputs or
// outputs that are not there (exit code 1, a message that names them).
#include <gtest/gtest.h>

#include "cli_fixture.h"

using namespace zentrel;
using namespace zentrel::test;

TEST(UsageErrors, ExitTwoWithAMessageNamingTheProblemAndNothingWritten) {
    TempFolder out("cli-usage");
    const std::string e = "estimate --lon 12 --lat 41.9 --alt 0 ", b = "batch --grid 9,11,1,44,46,1 --out OUT/b.csv --format vesk ",
                      r = "raster --var Temp --bbox 5,45,8,47 --res 1 --quiet -o OUT/x.tif ",
                      m = "validate --map --bbox 0,0,10,10 --res 1 ";
    const std::vector<std::pair<std::string, std::string>> rows = {
        // estimate: missing or impossible values, numbers that are not numbers
        {"estimate --lat 41.9", "zentrel: "}, {"estimate --lon 200 --lat 41.9 --alt 0", "zentrel: "},
        {e + "--var Snow", "zentrel: "}, {e + "--maxstat 25", "Problem: Too many stations."},
        {e + "--powexp six", "zentrel: "}, {e + "--shad 2", "zentrel: "},
        {e + "--alt nan", "--alt: \"nan\" is not a number; give a decimal number in -600..10000."},
        {e + "--alt 1e30", "--alt: \"1e30\" lies outside -600..10000."},
        {e + "--powexp nan", "--powexp: \"nan\" is not a number; give a decimal number, 0..5."},
        {e + "--shad nan", "--shad: \"nan\" is not a number"},
        {e + "--maxdist nan", "--maxdist: \"nan\" is not a number"},
        {e + "--mindist inf", "--mindist: \"inf\" is not a number"},
        {e + "--mindist 1e30", "--mindist: \"1e30\" must be 0..22000."},
        {e + "--maxhigh 20000", "--maxhigh: \"20000\" must be -600..10000."},
        {e + "--maxdist 1e39", "--maxdist: \"1e39\" is too large a number"},
        {"estimate --lon 0x10 --lat 45 --var Temp", "--lon: \"0x10\" is not a number"},  // not read as 16
        // An empty value is no value, never the option's default ("--level ''" as 90, "--tile ''"
        // as the whole raster); an empty stray argument once made the parser loop forever.
        {e + "--level ''", "zentrel: --level: the value is empty"},
        {b + "--level ''", "zentrel: --level: the value is empty"},
        {r + "--tile ''", "zentrel: --tile: the value is empty"},
        {r + "--tile=", "zentrel: --tile: the value is empty"},
        {r + "--level=", "zentrel: --level: the value is empty"}, {"estimate '' --json", "argument 2 is empty"},
        // estimate: outputs and methods
        {e + "--format zte", "zentrel: "},                           // no -o
        {e + "--var all --format zte --daily -o OUT/x", "zentrel: "},  // one variable only
        {e + "--format zte --quantities best,snow -o OUT/y", "zentrel: "},
        {e + "--method krige", "--method must be described, robust, adaptive or kriging"},
        {e + "--method adaptive --robust 1", "--robust 1 contradicts --method adaptive"},
        // thread counts beyond the cap or negative, and other counts
        {"validate --threads 40000", "zentrel: --threads: \"40000\" lies outside 0.."},
        {"validate --threads -3", "zentrel: --threads: \"-3\" lies outside 0.."},
        {b + "--threads 40000", "zentrel: --threads: \"40000\" lies outside 0.."},
        {b + "--threads -3", "zentrel: --threads: \"-3\" lies outside 0.."},
        {r + "--threads -3", "zentrel: --threads: \"-3\" lies outside 0.."},
        {"validate --folds 1e9", "zentrel: --folds: \"1e9\" lies outside 2.."}, {"validate --folds 2.5", "zentrel: --folds: \"2.5\" is not a whole number; give one in 2.."},
        {"validate --worst -5", "zentrel: --worst: \"-5\" lies outside 0.."},
        // batch
        {"batch --grid 9,11,0,44,46,1 --out OUT", "zentrel: "},
        {"batch --grid 9,11,1,44,46,1 --locations x --out OUT", "zentrel: "},
        {"batch --grid 9,11,1,44,46,1 --vars Rain --out OUT", "zentrel: "},
        {"batch --grid -180.01,180,1,-90,90,1 --out OUT", "should be between"},  // the poles and the date line
        {"batch --grid -180,180.01,1,-90,90,1 --out OUT", "should be between"},  // are the limits
        {"batch --grid -180,180,1,-90.01,90,1 --out OUT", "should be between"},
        {"batch --grid -180,180,1,-90,90.01,1 --out OUT", "should be between"},
        // raster: the panel's checks, then the surfaces' options
        {"raster --var Temp --bbox 5,45,8,47 --res 3 -o OUT/x.img", "Resolution in decimal degrees must be in the range (2,0.001)"},
        {"raster --var Temp --bbox=0,-90,8,47 --res 1 -o OUT/x.img", "End Latitude must be in the range (-90;90)"},
        {"raster --coding float --var Temp --bbox 5,45,8,47 --res 1 -o OUT/x.img", "IMG file holds the one-byte coding"},
        {"raster --period all --var Temp --bbox 5,45,8,47 --res 1 -o OUT/x.img", "--coding float"},
        {r + "--coding byte --quantities best,stderr", "--coding float"},
        {"raster --coding byte --var Temp --bbox 5,45,8,47 --res 1 -o OUT/x.nc", "full precision"},
        {r + "--coding bytes", "--coding must be float or byte"},
        {r + "--quantities best,error", "\"error\" is not a quantity"}, {r + "--tile 3/2", "--tile takes I/N"},
        {"raster --tile 1/2 --var Temp --bbox 5,45,8,47 --res 1 -o OUT/x.nc", "--tile takes I/N"},
        {r + "--tile 1/3", "too few for 3 strips"}, {r + "--level 80", "--level must be 90, 95 or 99"},
        {"raster --var Temp --bbox 5,45,8,47 --res 0m -o OUT/x.tif", "--res must be a positive"},
        {"raster --var Temp --bbox 5,45,8,95 --res 1 -o OUT/x.tif", "LATSTART \"95\" is not a latitude in -90..90"},
        {r + "--period Juli", "--period must be a month 1..12 or its name"},
        {"raster --var Temp --bbox 5,45,8,47 --res 1 -o OUT/map.png", "no raster writer makes \".png\" files"},
        // validate, and its audit of a map
        {"validate --folds 1", "zentrel: "}, {"validate --folds 3 --loo", "zentrel: "},
        {"validate --var Rain", "zentrel: "}, {"validate --map --res 1", "--bbox"},
        {"validate --map --bbox 0,0,10", "--bbox"},
        {"validate --map --bbox 0,0,200,10 --res 1", "east \"200\" is not a longitude"},
        {"validate --map --bbox 0,0,10,10", "--res"}, {"validate --map --bbox 0,0,10,10 --res -1", "--res"},
        {m + "--folds 3", "excludes"}, {m + "--csv OUT/x.csv", "excludes"},
        {"validate --bbox 0,0,10,10 --res 1", "add --map"}, {m + "--var Temp,Rain", "--var must be"},
        {m + "--var Temp,Temp", "--var must be"},
        // imports
        {"data import-csv --out OUT", "zentrel: "},
        {"data import-climat --in " + std::string(ZENTREL_TEST_DATA) + "/climat --stations x --out OUT --from 2020 --to 2019",
         "--from 2020 lies after --to 2019"},
    };
    // Strips of a raster with more strips than rows: every strip is refused alike, so that a
    // cluster job does not write some strips and lose others.
    std::vector<std::pair<std::string, std::string>> all = rows;
    for (int i = 1; i <= 7; ++i)
        all.push_back({"raster --var Temp --bbox 5,45,9,49 --res 1 --quiet --tile " + std::to_string(i) + "/7 -o OUT/s.tif",
                       "zentrel: "});
    for (auto [args, message] : all) {
        for (size_t at; (at = args.find("OUT")) != std::string::npos;) args.replace(at, 3, out.str());
        // A data folder that is not there: a usage error is found before any data or map is
        // looked for, so the exit code never depends on what the machine has installed.
        const bool data = args.rfind("data ", 0) != 0;
        const CliResult res = runCli(args + (data ? " --data " + out.file("no-such-folder") : ""));
        EXPECT_EQ(res.code, 2) << args << "\n" << res.err;
        EXPECT_NE(res.err.find(message), std::string::npos) << args << "\n" << res.err;
        EXPECT_TRUE(std::filesystem::is_empty(out.path())) << args << " wrote a file";
        std::filesystem::remove_all(out.path());
        std::filesystem::create_directory(out.path());
    }
}

// What the options' help says: the cap on threads, and --method wherever an estimate is made.
TEST(UsageErrors, HelpSaysTheThreadCapAndTheMethodOption) {
    EXPECT_NE(runCli("batch --help").out.find("at most "), std::string::npos) << "the cap is not said in --help";
    for (const char* command : {"batch", "raster", "validate"})
        EXPECT_NE(runCli(std::string(command) + " --help").out.find("--method"), std::string::npos) << command;
}

// Inputs that are not there or cannot be read, and outputs that cannot be made: data errors
// that name the file (and the line and field of a station file that cannot be read).
TEST(DataErrors, MissingOrBrokenInputsAndOutputsThatCannotBeMadeExitOneNamingThem) {
    TempFolder in("cli-data-errors");  // a data folder with a broken file for each of six variables
    std::vector<Station> stations = ringOfEightStations();
    writeDataFolder(in, 10, 45, stations);
    stations[3].Alt = 1e20f;  // an altitude that would make the estimate NaN
    in.write("min.txt", stationLines(stations));
    const auto append = [&](const std::string& file, const std::string& line) {
        in.write(file, readFile(in.file(file)) + line + "\n");
    };
    append("vap.txt", "41.9,12.5,17,1,2,3");
    append("max.txt", "45.5,10.5,100,1,2,3,4,5,6,7,8,9,10,11,12,\"Rome, \"IT\"");  // as the CSV importer refuses them
    append(candidateFiles(Prec, 10, 45)[0], "45.5,10.5,100,50,50,50,50,50,50,50,50,50,50,-99,50,\"Rome\",\"IT\"");
    std::filesystem::remove(in.file("sufr.txt"));
    std::filesystem::remove(in.file("windsp.txt"));
    std::filesystem::create_directory(in.file("windsp.txt"));
    in.write("empty.csv", "# nothing\n");
    in.write("empty.dat", "");
    in.write("one.dat", "10,45,100\n");
    const std::string ring = " --data " + ringFolder().str(), broken = "estimate --lon 10 --lat 45 --alt 100 --data IN --var ";
    const std::pair<std::string, std::string> rows[] = {
        {broken + "Vap", "vap.txt, line 9"},
        {broken + "Sun", "sufr.txt is missing"},
        {broken + "Wind", "windsp.txt is not a regular file but a folder."},
        {broken + "Tmax", "max.txt, line 9: field 16 has no closing quote"},
        {broken + "Prec", "field 14 (November): \"-99\""},
        {broken + "Tmin", "min.txt, line 4, field 3 (altitude)"},
        {"estimate --lon 12.48 --lat 41.9 --alt 17 --data /nonexistent/folder", "/nonexistent/folder"},
        {"estimate --lon 10 --lat 45 --alt 100 --format zte -o /nonexistent/dir/file.zte" + ring, "/nonexistent/dir/file.zte"},
        {"data import-csv --in /nonexistent.csv --out IN/db", "/nonexistent.csv"},
        {"data import-csv --in IN/empty.csv --out IN/db", "nothing could be imported"},
        {"batch --locations IN/empty.dat --out IN" + ring, "No stations "},
        {"batch --locations IN/one.dat --out IN/one.dat/sub" + ring, "IN/one.dat/sub"},  // a folder that cannot be made
    };
    for (auto [args, message] : rows) {
        for (std::string* text : {&args, &message})
            for (size_t at; (at = text->find("IN")) != std::string::npos;) text->replace(at, 2, in.str());
        const CliResult r = runCli(args);
        EXPECT_EQ(r.code, 1) << args << "\n" << r.err;
        EXPECT_NE(r.err.find(message), std::string::npos) << args << "\n" << r.err;
        EXPECT_EQ(r.out.find("nan"), std::string::npos) << args;
    }
    // The commands that describe the data folder say so on the standard output.
    EXPECT_EQ(runCli("data info --data /nonexistent/zentrel-data").code, 1);
    const CliResult where = runCli("data where --data /nonexistent/zentrel-data");
    EXPECT_EQ(where.code, 1);
    EXPECT_NE(where.out.find("--data              /nonexistent/zentrel-data (used, but missing)"), std::string::npos) << where.out;
}
