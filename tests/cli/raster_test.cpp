// `zentrel raster` on the data folder built beside the program: IMG and GeoTIFF of one
// rectangle, the same cells on any number of threads, and the panel's messages as usage errors;
// full-precision surfaces in GeoTIFF and netCDF, and strips that join into the whole.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>

#include "cli_fixture.h"
#include "core/maps_test_util.h"
#include "maps/climate_surface.h"
#include "maps/img_file.h"
#include "version.h"

using namespace zentrel;
using namespace zentrel::test;
using maps_test::readSurface, maps_test::Surface;

namespace {
const std::filesystem::path kBin = std::filesystem::path(ZENTREL_BIN).parent_path();

// The raster tests read the data folder built beside the program.
class RasterCommand : public ::testing::Test {
protected:
    void SetUp() override {
        if (!programDataBuilt()) GTEST_SKIP() << "data folder not built";
    }
};

const std::string kSourceDir = std::filesystem::path(ZENTREL_TEST_DATA).parent_path().parent_path().string();

}  // namespace

// The one-byte coding of one rectangle, IMG or GeoTIFF, is the same on any number of threads.
// The full-precision surface holds the same estimates (the byte export estimates at the cell
// corners of its box, the surface at the cell centres of its box): every September value lies
// in the step of its count, and sea is missing in both.
TEST_F(RasterCommand, ByteCodingOnAnyThreadsAndTheFloatSurfaceHoldItsValuesInFullPrecision) {
    TempFolder folder("cli-raster");
    const std::string args = " --var Prec --period September --bbox 5,45,8,47 --res 1 --quiet -o ";
    const CliResult one = runCliOk("raster" + args + folder.file("one.img") + " --threads 1");
    const CliResult two = runCliOk("raster" + args + folder.file("two.IMG") + " --threads 2");
    const ImgRaster img = readImg(folder.file("one.img"));
    EXPECT_EQ(std::filesystem::file_size(folder.file("one.img")), 540u);
    EXPECT_EQ(img.Header.Rows, 2);
    EXPECT_EQ(img.Header.Columns, 3);
    EXPECT_EQ(img.Header.Title, "Mirvo/Zentrel-Prec-September");
    EXPECT_EQ(img.Cells, readImg(folder.file("two.IMG")).Cells);

    const CliResult surface = runCliOk("raster --var Prec --period all --quantities best,stderr --bbox 4.5,45.5,7.5,47.5 "
                                     "--res 1 --quiet -o " + folder.file("prec.tif"));
    EXPECT_NE(surface.out.find("26 bands"), std::string::npos) << surface.out;
    const Surface s = readSurface(folder.file("prec.tif"));
    ASSERT_EQ(s.bands, 26);
    ASSERT_EQ(s.columns, 3);
    ASSERT_EQ(s.rows, 2);
    EXPECT_EQ(s.transform[0], 4.5);
    EXPECT_EQ(s.transform[3], 47.5);
    EXPECT_EQ(s.descriptions[8], "September");
    EXPECT_EQ(s.descriptions[12], "Annual total");
    EXPECT_EQ(s.descriptions[13 + 8], "September stderr");
    int land = 0;
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 3; ++c) {
            const uint8_t count = img.at(c, r);
            const float september = s.at(8, r, c), error = s.at(13 + 8, r, c);
            if (count == kImgNoData) {
                EXPECT_EQ(september, kSurfaceNoData);
                EXPECT_EQ(error, kSurfaceNoData);
                continue;
            }
            ++land;
            EXPECT_EQ(std::floor(september / 8), count) << "column " << c << " row " << r << ": " << september;
            EXPECT_GE(error, 0);
        }
    EXPECT_GT(land, 0);

    runCliOk("raster" + args + folder.file("x.tif") + " --coding byte");
    const std::string info = shellOutput("gdalinfo " + folder.file("x.tif") + " 2>/dev/null");
    if (info.empty()) GTEST_SKIP() << "gdalinfo not installed";
    for (const std::string& said : {std::string("Size is 3, 2"), std::string("NoData Value=255"), std::string("Offset: 0,   Scale:8"),
                                    std::string("Origin = (4.500000000000000,47.500000000000000)"),
                                    std::string("TIFFTAG_SOFTWARE=Zentrel ") + programVersion()})
        EXPECT_NE(info.find(said), std::string::npos) << said << "\n" << info;
    const std::string json = shellOutput("gdalinfo -json " + folder.file("prec.tif") + " 2>/dev/null");
    // The kriging method is the default.
    for (const char* said : {"\"type\":\"Float32\"", "\"LAYOUT\":\"COG\"", "\"method\":\"kriging\"", "\"units\":\"mm\""})
        EXPECT_NE(json.find(said), std::string::npos) << said << "\n" << json.substr(0, 2000);
    // The source as `zentrel data info` knows it, never a folder path.
    const CliResult about = runCli("data info");
    const size_t source = about.out.find("Source: ");
    ASSERT_NE(source, std::string::npos) << about.out;
    const std::string named = about.out.substr(source + 8, about.out.find_first_of(".\n", source) - source - 8);
    EXPECT_NE(json.find("\"source\":\"" + named), std::string::npos) << named << "\n" << json.substr(0, 3000);
    EXPECT_EQ(json.find((kBin / "ZentrelData").string()), std::string::npos);
}

// A disk that fills while the map is written (a file-size limit of 512 bytes here): an error
// naming the file, and the map of the same name from before is left as it was.
TEST_F(RasterCommand, FullDiskKeepsThePreviousFile) {
    TempFolder folder("cli-raster-full");
    for (const std::string name : {"map.img", "map.tif"}) {
        folder.write(name, "the map of yesterday");
        const CliResult r = runCli("raster --var Prec --period 7 --bbox 5,45,8,47 --res 1 --quiet -o " + folder.file(name),
                                   "trap '' XFSZ; ulimit -f 1; ");
        EXPECT_EQ(r.code, 1) << r.err;
        EXPECT_NE(r.err.find(folder.file(name)), std::string::npos) << r.err;
        EXPECT_EQ(readFile(folder.file(name)), "the map of yesterday");
        for (const char* part : {".part", ".rows.part"}) EXPECT_FALSE(std::filesystem::exists(folder.file(name + part)));
    }
}

// Strips of several counts, each run on its own, hold exactly the rows of the single run, and
// the cluster script's merge joins them into the single run's raster.
TEST_F(RasterCommand, StripsJoinedGiveExactlyTheCellsOfTheSingleRun) {
    TempFolder folder("cli-raster-strips");
    const std::string args = " --var Temp --period all --quantities best,stderr --bbox 5,44,9,47 --res 0.25 --quiet ";
    const CliResult whole = runCliOk("raster" + args + "-o " + folder.file("whole.tif"));
    const Surface w = readSurface(folder.file("whole.tif"));
    ASSERT_EQ(w.rows, 12);
    for (int n : {3, 12}) {  // 12: a strip per row
        int row = 0;
        for (int i = 1; i <= n; ++i) {
            const std::string name = folder.file("strip-" + std::to_string(i) + "-of-" + std::to_string(n) + ".tif");
            const CliResult strip = runCliOk("raster" + args + "--tile " + std::to_string(i) + "/" + std::to_string(n) +
                                           " --threads " + std::to_string(i % 3 + 1) + " -o " + name);
            const Surface s = readSurface(name);
            ASSERT_EQ(s.columns, w.columns);
            ASSERT_EQ(s.bands, w.bands);
            EXPECT_DOUBLE_EQ(s.transform[3], 47 - row * 0.25) << "strip " << i << " of " << n;
            for (int b = 0; b < s.bands; ++b)
                for (int r = 0; r < s.rows; ++r)
                    for (int c = 0; c < s.columns; ++c)
                        ASSERT_EQ(s.at(b, r, c), w.at(b, row + r, c)) << "strip " << i << " of " << n << " band " << b;
            row += s.rows;
        }
        EXPECT_EQ(row, w.rows) << n << " strips";
    }

    const std::string out = folder.file("joined");
    for (int i = 1; i <= 3; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, ".strip-%04d-of-0003.tif", i);
        std::filesystem::copy_file(folder.file("strip-" + std::to_string(i) + "-of-3.tif"), out + name);
    }
    const std::string merge = shellOutput("ZENTREL=" + std::string(ZENTREL_BIN) + " VAR=Temp RES=0.25 OUT=" + out + " TILES=3 bash " + kSourceDir +
                                            "/scripts/cluster/raster-array.sbatch merge 2>&1; echo exit=$?");
    ASSERT_NE(merge.find("exit=0"), std::string::npos) << merge;
    const Surface joined = readSurface(out + ".tif");
    EXPECT_EQ(joined.values, w.values);
    EXPECT_EQ(joined.descriptions, w.descriptions);
    EXPECT_EQ(joined.metadata, w.metadata);  // units, periods, quantities, source, settings, ...
    EXPECT_FALSE(std::filesystem::exists(out + ".strip-0001-of-0003.tif"));
}

// A strip of another run joined among the strips of one: the join (the command and the script)
// refuses it by name instead of writing a mosaic labelled from the first strip.
TEST_F(RasterCommand, StripOfAnotherRunIsRefusedByTheJoinNamingIt) {
    TempFolder folder("cli-raster-strangers");
    const std::string common = " --quantities best --quiet ";
    const auto strip = [&](const std::string& name, const std::string& args, const std::string& tile) {
        runCliOk("raster" + common + args + " --tile " + tile + " -o " + folder.file(name));
        return folder.file(name);
    };
    const std::string run = "--var Temp --bbox 5,44,9,47 --res 0.25 --period 1";
    const std::string first = strip("1.tif", run, "1/2"), second = strip("2.tif", run, "2/2");
    const std::pair<std::string, std::string> strangers[] = {
        {strip("shifted.tif", "--var Temp --bbox 5.25,44,9.25,47 --res 0.25 --period 1", "2/2"), "tile_grid differ"},
        {strip("coarser.tif", "--var Temp --bbox 5,44,9,47 --res 0.5 --period 1", "2/2"), "tile_grid differ"},
        {strip("tmax.tif", "--var Tmax --bbox 5,44,9,47 --res 0.25 --period 1", "2/2"), "variable"},
        {strip("described.tif", run + " --method described", "2/2"), "method"},
        {strip("july.tif", "--var Temp --bbox 5,44,9,47 --res 0.25 --period 7", "2/2"), "period"},
        {first, "both strip 1"}};
    const std::string out = folder.file("out.tif");
    std::vector<std::pair<std::string, std::function<std::string(const std::string&)>>> joins = {
        {"zentrel raster --merge", [&](const std::string& strips) {
             const CliResult r = runCli("raster --merge " + strips + " -o " + out);
             return r.err + "exit=" + std::to_string(r.code) + "\n";
         }}};
    if (shellOutput("/usr/bin/python3 -c 'import osgeo.gdal' 2>&1; echo $?") == "0\n")
        joins.push_back({"merge-tiles.py", [&](const std::string& strips) {
                             return shellOutput("/usr/bin/python3 " + kSourceDir + "/scripts/merge-tiles.py " + out + " " + strips +
                                                " 2>&1; echo exit=$?");
                         }});
    for (const auto& [name, join] : joins) {
        for (const auto& [stranger, why] : strangers) {
            const std::string said = join(first + " " + stranger);
            EXPECT_NE(said.find(stranger + " "), std::string::npos) << name << ": " << said;
            EXPECT_NE(said.find(why), std::string::npos) << name << ": " << said;
            EXPECT_EQ(said.substr(said.size() - 7), "exit=1\n") << name << ": " << said;
            EXPECT_FALSE(std::filesystem::exists(out)) << name << ": " << stranger;
        }
        EXPECT_NE(join(second + " " + first).find("exit=0"), std::string::npos) << name;
        EXPECT_EQ(readSurface(out).values.size(), readSurface(first).values.size() + readSurface(second).values.size()) << name;
        std::filesystem::remove(out);
    }
}

TEST_F(RasterCommand, NetCdfReadsBackWithTheGeoTiffsValuesAndCoordinates) {
    TempFolder folder("cli-raster-nc");
    const std::string args = " --var Tmin --period all --quantities best,low,high --level 95 --bbox 5,45,8,47 --res 0.5 --quiet -o ";
    runCliOk("raster" + args + folder.file("t.tif"));
    runCliOk("raster" + args + folder.file("t.nc"));
    const Surface tif = readSurface(folder.file("t.tif"));
    std::vector<float> values;
    for (const std::string quantity : {"", "_low", "_high"})  // the months, then the year: the bands' order
        for (const std::string& name : {"tmin" + quantity, "tmin_annual_mean" + quantity}) {
            const Surface v = readSurface("NETCDF:\"" + folder.file("t.nc") + "\":" + name);
            ASSERT_EQ(v.bands, name.find("annual") == std::string::npos ? 12 : 1) << name;
            EXPECT_EQ(v.transform, tif.transform);
            values.insert(values.end(), v.values.begin(), v.values.end());
        }
    EXPECT_EQ(values, tif.values);
    EXPECT_EQ(tif.transform[3], 47);  // the first row's centre at 46.75
    EXPECT_EQ(tif.transform[0] + 5.5 * tif.transform[1], 7.75);  // the last column's centre
    // GIS programs name the datum from the grid mapping.
    const std::string gdal = shellOutput("gdalinfo 'NETCDF:\"" + folder.file("t.nc") + "\":tmin' 2>&1");
    if (gdal.empty()) GTEST_SKIP() << "gdalinfo not installed";
    EXPECT_NE(gdal.find("DATUM[\"World Geodetic System 1984\""), std::string::npos) << gdal.substr(0, 1500);
}

// A box across the date line is estimated on both sides of the line, at the cells' points on the Earth.
TEST_F(RasterCommand, ABoxAcrossTheDateLineIsEstimatedOnBothSides) {
    TempFolder folder("cli-raster-line");
    const CliResult across = runCliOk("raster --var Temp --period 7 --bbox 170,60,-170,70 --res 2 --quiet -o " +
                                    folder.file("line.tif"));
    const Surface s = readSurface(folder.file("line.tif"));
    EXPECT_EQ(s.columns, 10);
    EXPECT_EQ(s.transform[0], 170);
    int east = 0, west = 0;  // land cells estimated on either side of the line
    for (int r = 0; r < s.rows; ++r)
        for (int c = 0; c < s.columns; ++c)
            if (s.at(0, r, c) != kSurfaceNoData) ++(c < 5 ? east : west);
    EXPECT_GT(east, 0);
    EXPECT_GT(west, 0);
}

// Missing is never zero: where no error could be estimated (few stations) StdErr, Low, High
// and Bias are NoData, and so is the year of every quantity of a cell with one station; a real
// estimate never has an error of exactly 0.
TEST_F(RasterCommand, QuantitiesNotEstimatedAreNoDataNeverZero) {
    TempFolder folder("cli-raster-missing");
    for (const char* method : {"described", "robust", "adaptive"}) {
        const CliResult r = runCliOk(std::string("raster --var Temp --period all --quantities best,stderr,low,high,bias "
                                               "--bbox 100,-80,170,-64 --res 1 --quiet --method ") +
                                   method + " -o " + folder.file("m.tif"));
        const Surface s = readSurface(folder.file("m.tif"));
        ASSERT_EQ(s.bands, 65);
        int withoutError = 0, withoutYear = 0;
        for (int row = 0; row < s.rows; ++row)
            for (int c = 0; c < s.columns; ++c) {
                if (s.at(0, row, c) == kSurfaceNoData) continue;
                const bool error = s.at(13, row, c) != kSurfaceNoData;
                withoutError += !error;
                withoutYear += s.at(12, row, c) == kSurfaceNoData;
                for (int q = 1; q < 5; ++q)
                    for (int m = 0; m < 13; ++m) {
                        const float v = s.at(13 * q + m, row, c);
                        ASSERT_TRUE(q != 1 || v != 0) << method << ": stderr 0 at row " << row << " column " << c;
                        ASSERT_TRUE(m == 12 || (v != kSurfaceNoData) == error) << method << ": band " << 13 * q + m;
                        ASSERT_TRUE(m < 12 || s.at(12, row, c) != kSurfaceNoData || v == kSurfaceNoData) << method << ": band " << 13 * q + m;
                    }
            }
        EXPECT_GT(withoutError, 0) << method << ": the box should hold cells with too few stations";
        EXPECT_GT(withoutYear, 0) << method << ": the box should hold cells with one station";
        // A year not estimated is missing, not a value beyond the world's records.
        if (std::string(method) != "described") {
            EXPECT_EQ(r.out.find("beyond the world's records"), std::string::npos) << method << ": " << r.out;
        }
    }
}

// Ctrl-C while a surface is computed: exit code 130 and neither the file nor its parts remain.
// The signal is sent once the run has made its first file, and the run is far too long to end
// before it.
TEST_F(RasterCommand, CtrlCEndsASurfaceWith130AndLeavesNoFile) {
    TempFolder folder("cli-raster-int");
    const std::string out = folder.file("world.tif");
    const std::string command = "sh -c '" + std::string(ZENTREL_BIN) +
                                " raster --var Temp --period all --bbox -180,-60,180,84 --res 0.02 --quiet -o " + out +
                                " 2>/dev/null & pid=$!; n=0; while [ ! -e " + out + ".part ] && [ $n -lt 1200 ]; do sleep 0.05; n=$((n+1)); done; "
                                "kill -INT $pid; wait $pid; echo exit=$?'";
    const std::string result = shellOutput(command);
    EXPECT_NE(result.find("exit=130"), std::string::npos) << result;
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
}

// The cluster script without a cluster: an array task runs its own strip of the whole, and
// "submit" asks for one task per strip and a merge that waits for all of them.
TEST(RasterClusterScript, ArrayTaskRunsItsStripAndSubmitChainsTheMerge) {
    TempFolder folder("cli-raster-sbatch");
    const std::string script = kSourceDir + "/scripts/cluster/raster-array.sbatch";
    const std::string strip = shellOutput("SLURM_ARRAY_TASK_ID=3 SLURM_CPUS_PER_TASK=8 VAR=Prec RES=30s OUT=prec "
                                            "TILES=8 ZENTREL=echo bash " + script + " strip 2>&1");
    EXPECT_NE(strip.find("raster --var Prec --period all --quantities best,stderr --bbox -180,-60,180,84 --res 30s "
                         "--tile 3/8 --threads 8 --quiet -o prec.strip-0003-of-0008.tif"),
              std::string::npos) << strip;
    // A stand-in for sbatch that prints what it was asked and answers with a job id.
    folder.write("sbatch", "#!/bin/sh\necho \"sbatch $*\" >> \"$(dirname \"$0\")/asked\"\necho 4711\n");
    std::filesystem::permissions(folder.file("sbatch"), std::filesystem::perms::owner_all);
    const std::string submit = shellOutput("PATH=" + folder.str() + ":$PATH VAR=Prec RES=30s OUT=prec TILES=8 bash " +
                                             script + " submit 2>&1; echo exit=$?");
    EXPECT_NE(submit.find("exit=0"), std::string::npos) << submit;
    const std::string asked = readFile(folder.file("asked"));
    for (const std::string& said :
         {"--array=1-8 --export=ALL " + script + " strip", std::string("--dependency=afterok:4711 --kill-on-invalid-dep=yes"),
          script + " merge"})
        EXPECT_NE(asked.find(said), std::string::npos) << said << "\n" << asked;
    EXPECT_NE(shellOutput("bash " + script + " 2>&1; echo exit=$?").find("exit=2"), std::string::npos);
}
