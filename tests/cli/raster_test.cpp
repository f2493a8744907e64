// `zentrel raster` on the data folder built beside the program: IMG and GeoTIFF of one
// rectangle, the same cells on any number of threads, and the panel's messages as usage errors;
// full-precision surfaces in GeoTIFF and netCDF, and strips that join into the whole.
#include <gdal_priv.h>
#include <gtest/gtest.h>
#include <netcdf.h>

#include <cmath>
#include <filesystem>

#include "../core/fixture.h"
#include "maps/climate_surface.h"
#include "maps/img_file.h"
#include "run_cli.h"
#include "version.h"

using namespace zentrel;
using namespace zentrel::test;

namespace {
const std::filesystem::path kBin = std::filesystem::path(ZENTREL_BIN).parent_path();
bool dataBuilt() {
    return std::filesystem::exists(kBin / "ZentrelData" / "10k8b.raw") && std::filesystem::exists(kBin / "rastelldata");
}
std::string commandOutput(const std::string& command) {
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
        ::pclose(pipe);
    }
    return out;
}

// Every band of a GeoTIFF, band after band, row after row.
struct Surface {
    int columns = 0, rows = 0, bands = 0;
    double transform[6] = {};
    std::vector<float> values;
    std::vector<std::string> descriptions;
    std::vector<std::string> metadata;  // the file's items, then per band its unit and items
    float at(int band, int row, int column) const {
        return values[(static_cast<size_t>(band) * rows + row) * columns + column];
    }
};
Surface readSurface(const std::string& path) {
    GDALAllRegister();
    Surface s;
    GDALDataset* ds = static_cast<GDALDataset*>(GDALOpen(path.c_str(), GA_ReadOnly));
    if (!ds) return s;
    s.columns = ds->GetRasterXSize();
    s.rows = ds->GetRasterYSize();
    s.bands = ds->GetRasterCount();
    ds->GetGeoTransform(s.transform);
    for (char** item = ds->GetMetadata(); item && *item; ++item) s.metadata.push_back(*item);
    s.values.resize(static_cast<size_t>(s.columns) * s.rows * s.bands);
    for (int b = 1; b <= s.bands; ++b) {
        GDALRasterBand* band = ds->GetRasterBand(b);
        s.descriptions.push_back(band->GetDescription());
        s.metadata.push_back(std::string("band unit=") + band->GetUnitType());
        for (char** item = band->GetMetadata(); item && *item; ++item) s.metadata.push_back(*item);
        if (band->RasterIO(GF_Read, 0, 0, s.columns, s.rows, s.values.data() + static_cast<size_t>(b - 1) * s.columns * s.rows,
                           s.columns, s.rows, GDT_Float32, 0, 0) != CE_None)
            s.values.clear();
    }
    GDALClose(ds);
    return s;
}
const std::string kSourceDir = std::filesystem::path(ZENTREL_TEST_DATA).parent_path().parent_path().string();

}  // namespace

TEST(RasterCommand, ImgAndGeoTiffOfOneRectangleOnAnyNumberOfThreads) {
    if (!dataBuilt()) GTEST_SKIP() << "data folder not built";
    TempFolder folder("cli-raster");
    const std::string args = " --var Prec --period September --bbox 5,45,8,47 --res 1 --quiet -o ";
    const CliResult one = runCli("raster" + args + folder.file("one.img") + " --threads 1");
    ASSERT_EQ(one.code, 0) << one.err;
    const CliResult two = runCli("raster" + args + folder.file("two.IMG") + " --threads 2");
    ASSERT_EQ(two.code, 0) << two.err;
    const ImgRaster a = readImg(folder.file("one.img")), b = readImg(folder.file("two.IMG"));
    EXPECT_EQ(std::filesystem::file_size(folder.file("one.img")), 540u);
    EXPECT_EQ(a.Header.Rows, 2);
    EXPECT_EQ(a.Header.Columns, 3);
    EXPECT_EQ(a.Header.Title, "Mirvo/Zentrel-Prec-September");
    EXPECT_EQ(a.Cells, b.Cells);

    const CliResult tif = runCli("raster" + args + folder.file("x.tif") + " --coding byte");
    ASSERT_EQ(tif.code, 0) << tif.err;
    const std::string info = commandOutput("gdalinfo " + folder.file("x.tif") + " 2>/dev/null");
    if (info.empty()) GTEST_SKIP() << "gdalinfo not installed";
    EXPECT_NE(info.find("Size is 3, 2"), std::string::npos) << info;
    EXPECT_NE(info.find("NoData Value=255"), std::string::npos);
    EXPECT_NE(info.find("Offset: 0,   Scale:8"), std::string::npos);
    EXPECT_NE(info.find("Origin = (4.500000000000000,47.500000000000000)"), std::string::npos);
    EXPECT_NE(info.find(std::string("TIFFTAG_SOFTWARE=Zentrel ") + programVersion()), std::string::npos) << info;
}

TEST(RasterCommand, PanelChecksAreUsageErrors) {
    if (!dataBuilt()) GTEST_SKIP() << "data folder not built";
    TempFolder folder("cli-raster-bad");
    const CliResult res = runCli("raster --var Temp --bbox 5,45,8,47 --res 3 -o " + folder.file("x.img"));
    EXPECT_EQ(res.code, 2);
    EXPECT_NE(res.err.find("Resolution in decimal degrees must be in the range (2,0.001)"), std::string::npos);
    const CliResult south = runCli("raster --var Temp --bbox=0,-90,8,47 --res 1 -o " + folder.file("x.img"));
    EXPECT_EQ(south.code, 2);
    EXPECT_NE(south.err.find("End Latitude must be in the range (-90;90)"), std::string::npos) << south.err;
    EXPECT_FALSE(std::filesystem::exists(folder.file("x.img")));
}

// A disk that fills while the map is written (a file-size limit of 512 bytes here): an error
// naming the file, and the map of the same name from before is left as it was.
TEST(RasterCommand, FullDiskKeepsThePreviousFile) {
    if (!dataBuilt()) GTEST_SKIP() << "data folder not built";
    TempFolder folder("cli-raster-full");
    for (const std::string name : {"map.img", "map.tif"}) {
        folder.write(name, "the map of yesterday");
        const std::string command = "sh -c \"trap '' XFSZ; ulimit -f 1; " + std::string(ZENTREL_BIN) +
                                    " raster --var Prec --period 7 --bbox 5,45,8,47 --res 1 --quiet -o '" +
                                    folder.file(name) + "'\" 2>&1; echo \"exit=$?\"";
        const std::string out = commandOutput(command);
        EXPECT_NE(out.find("exit=1"), std::string::npos) << out;
        EXPECT_NE(out.find(folder.file(name)), std::string::npos) << out;
        std::ifstream in(folder.file(name), std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "the map of yesterday");
        EXPECT_FALSE(std::filesystem::exists(folder.file(name + ".part")));
        EXPECT_FALSE(std::filesystem::exists(folder.file(name + ".rows.part")));
    }
}

// The surface holds the estimates of the byte coding in full precision: at the same points (the
// byte export estimates at the cell corners of its box, the surface at the cell centres of its
// box), every September value lies in the step of its count, and sea is missing in both.
TEST(RasterCommand, FloatGeoTiffHoldsAllMonthsAndTheErrorInTheUnitsOfTheByteCoding) {
    if (!dataBuilt()) GTEST_SKIP() << "data folder not built";
    TempFolder folder("cli-raster-float");
    const CliResult byte = runCli("raster --var Prec --period September --bbox 5,45,8,47 --res 1 --quiet -o " +
                                  folder.file("byte.img"));
    ASSERT_EQ(byte.code, 0) << byte.err;
    const CliResult surface = runCli("raster --var Prec --period all --quantities best,stderr --bbox 4.5,45.5,7.5,47.5 "
                                     "--res 1 --quiet -o " + folder.file("prec.tif"));
    ASSERT_EQ(surface.code, 0) << surface.err;
    EXPECT_NE(surface.out.find("26 bands"), std::string::npos) << surface.out;
    const ImgRaster img = readImg(folder.file("byte.img"));
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

    const std::string info = commandOutput("gdalinfo -json " + folder.file("prec.tif") + " 2>/dev/null");
    if (info.empty()) GTEST_SKIP() << "gdalinfo not installed";
    EXPECT_NE(info.find("\"type\":\"Float32\""), std::string::npos);
    EXPECT_NE(info.find("\"LAYOUT\":\"COG\""), std::string::npos) << info.substr(0, 2000);
    EXPECT_NE(info.find("\"method\":\"adaptive\""), std::string::npos);  // the default
    // The source as `zentrel data info` knows it, never a folder path.
    const CliResult about = runCli("data info");
    const size_t source = about.out.find("Source: ");
    ASSERT_NE(source, std::string::npos) << about.out;
    const std::string named = about.out.substr(source + 8, about.out.find_first_of(".\n", source) - source - 8);
    EXPECT_NE(info.find("\"source\":\"" + named), std::string::npos) << named << "\n" << info.substr(0, 3000);
    EXPECT_EQ(info.find((kBin / "ZentrelData").string()), std::string::npos);
    EXPECT_NE(info.find("\"units\":\"mm\""), std::string::npos);
}

// Strips of several counts, each run on its own, hold exactly the rows of the single run, and
// the cluster script's merge joins them into the single run's raster.
TEST(RasterCommand, StripsJoinedGiveExactlyTheCellsOfTheSingleRun) {
    if (!dataBuilt()) GTEST_SKIP() << "data folder not built";
    TempFolder folder("cli-raster-strips");
    const std::string args = " --var Temp --period all --quantities best,stderr --bbox 5,44,9,47 --res 0.25 --quiet ";
    const CliResult whole = runCli("raster" + args + "-o " + folder.file("whole.tif"));
    ASSERT_EQ(whole.code, 0) << whole.err;
    const Surface w = readSurface(folder.file("whole.tif"));
    ASSERT_EQ(w.rows, 12);
    for (int n : {3, 12}) {  // 12: a strip per row
        int row = 0;
        for (int i = 1; i <= n; ++i) {
            const std::string name = folder.file("strip-" + std::to_string(i) + "-of-" + std::to_string(n) + ".tif");
            const CliResult strip = runCli("raster" + args + "--tile " + std::to_string(i) + "/" + std::to_string(n) +
                                           " --threads " + std::to_string(i % 3 + 1) + " -o " + name);
            ASSERT_EQ(strip.code, 0) << strip.err;
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

    if (commandOutput("/usr/bin/python3 -c 'import osgeo.gdal' 2>&1; echo $?") != "0\n")
        GTEST_SKIP() << "GDAL's Python bindings (python3-gdal) not installed";
    const std::string out = folder.file("joined");
    for (int i = 1; i <= 3; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, ".strip-%04d-of-0003.tif", i);
        std::filesystem::copy_file(folder.file("strip-" + std::to_string(i) + "-of-3.tif"), out + name);
    }
    const std::string merge = commandOutput("VAR=Temp RES=0.25 OUT=" + out + " TILES=3 bash " + kSourceDir +
                                            "/scripts/cluster/raster-array.sbatch merge 2>&1; echo exit=$?");
    ASSERT_NE(merge.find("exit=0"), std::string::npos) << merge;
    const Surface joined = readSurface(out + ".tif");
    EXPECT_EQ(joined.values, w.values);
    EXPECT_EQ(joined.descriptions, w.descriptions);
    EXPECT_EQ(joined.metadata, w.metadata);  // units, periods, quantities, source, settings, ...
    EXPECT_FALSE(std::filesystem::exists(out + ".strip-0001-of-0003.tif"));
}

TEST(RasterCommand, NetCdfReadsBackWithTheGeoTiffsValuesAndCoordinates) {
    if (!dataBuilt()) GTEST_SKIP() << "data folder not built";
    TempFolder folder("cli-raster-nc");
    const std::string args = " --var Tmin --period all --quantities best,low,high --level 95 --bbox 5,45,8,47 --res 0.5 --quiet -o ";
    ASSERT_EQ(runCli("raster" + args + folder.file("t.tif")).code, 0);
    const CliResult nc = runCli("raster" + args + folder.file("t.nc"));
    ASSERT_EQ(nc.code, 0) << nc.err;
    const Surface tif = readSurface(folder.file("t.tif"));
    int id = -1, var = -1;
    ASSERT_EQ(nc_open(folder.file("t.nc").c_str(), NC_NOWRITE, &id), NC_NOERR);
    std::vector<float> values;
    for (const std::string quantity : {"", "_low", "_high"})  // the months, then the year: the bands' order
        for (const std::string& name : {"tmin" + quantity, "tmin_annual_mean" + quantity}) {
            ASSERT_EQ(nc_inq_varid(id, name.c_str(), &var), NC_NOERR) << name;
            std::vector<float> v(static_cast<size_t>((name.find("annual") == std::string::npos ? 12 : 1) * 4 * 6));
            ASSERT_EQ(nc_get_var_float(id, var, v.data()), NC_NOERR);
            values.insert(values.end(), v.begin(), v.end());
        }
    EXPECT_EQ(values, tif.values);
    double lat[4], lon[6];
    nc_inq_varid(id, "lat", &var);
    nc_get_var_double(id, var, lat);
    nc_inq_varid(id, "lon", &var);
    nc_get_var_double(id, var, lon);
    EXPECT_EQ(lat[0], 46.75);
    EXPECT_EQ(lon[5], 7.75);
    nc_close(id);
    // GIS programs name the datum from the grid mapping.
    const std::string gdal = commandOutput("gdalinfo 'NETCDF:\"" + folder.file("t.nc") + "\":tmin' 2>&1");
    if (gdal.empty()) GTEST_SKIP() << "gdalinfo not installed";
    EXPECT_NE(gdal.find("DATUM[\"World Geodetic System 1984\""), std::string::npos) << gdal.substr(0, 1500);
}

// Month names in any case and "Annual" as the bands are named; a box across the date line.
TEST(RasterCommand, PeriodsByNameAndABoxAcrossTheDateLine) {
    if (!dataBuilt()) GTEST_SKIP() << "data folder not built";
    TempFolder folder("cli-raster-names");
    const std::pair<const char*, const char*> periods[] = {
        {"July", "July"}, {"jul", "July"}, {"JUL", "July"}, {"Annual", "Annual mean"}, {"annual", "Annual mean"}};
    for (const auto& [period, band] : periods) {
        const CliResult r = runCli(std::string("raster --var Temp --period ") + period +
                                   " --bbox 5,45,7,47 --res 1 --quiet -o " + folder.file("p.tif"));
        ASSERT_EQ(r.code, 0) << period << "\n" << r.err;
        EXPECT_EQ(readSurface(folder.file("p.tif")).descriptions, std::vector<std::string>{band}) << period;
    }
    const CliResult across = runCli("raster --var Temp --period 7 --bbox 170,60,-170,70 --res 2 --quiet -o " +
                                    folder.file("line.tif"));
    ASSERT_EQ(across.code, 0) << across.err;
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
// and Bias are NoData, and so is the year of a cell with one station; a real estimate never
// has an error of exactly 0.
TEST(RasterCommand, QuantitiesNotEstimatedAreNoDataNeverZero) {
    if (!dataBuilt()) GTEST_SKIP() << "data folder not built";
    TempFolder folder("cli-raster-missing");
    for (const char* method : {"described", "robust", "adaptive"}) {
        const CliResult r = runCli(std::string("raster --var Temp --period all --quantities best,stderr,low,high,bias "
                                               "--bbox 20,-35,50,0 --res 1 --quiet --method ") +
                                   method + " -o " + folder.file("m.tif"));
        ASSERT_EQ(r.code, 0) << r.err;
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
                        if (q == 1) {
                            ASSERT_NE(v, 0) << method << ": stderr 0 at row " << row << " column " << c;
                        }
                        if (m < 12) {
                            ASSERT_EQ(v != kSurfaceNoData, error) << method << ": band " << 13 * q + m;
                        }
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

TEST(RasterCommand, SurfaceOptionsThatDoNotFitAreUsageErrors) {
    if (!dataBuilt()) GTEST_SKIP() << "data folder not built";
    TempFolder folder("cli-raster-misuse");
    const std::string box = " --var Temp --bbox 5,45,8,47 --res 1 --quiet -o ";
    const std::pair<std::string, std::string> cases[] = {
        {"--coding float" + box + folder.file("x.img"), "IMG file holds the one-byte coding"},
        {"--period all" + box + folder.file("x.img"), "--coding float"},
        {"--coding byte --quantities best,stderr" + box + folder.file("x.tif"), "--coding float"},
        {"--coding byte" + box + folder.file("x.nc"), "full precision"},
        {"--coding bytes" + box + folder.file("x.tif"), "--coding must be float or byte"},
        {"--quantities best,error" + box + folder.file("x.tif"), "\"error\" is not a quantity"},
        {"--tile 3/2" + box + folder.file("x.tif"), "--tile takes I/N"},
        {"--tile 1/2" + box + folder.file("x.nc"), "--tile takes I/N"},
        {"--tile 1/3" + box + folder.file("x.tif"), "too few for 3 strips"},
        {"--level 80" + box + folder.file("x.tif"), "--level must be 90, 95 or 99"},
        {"--var Temp --bbox 5,45,8,47 --res 0m -o " + folder.file("x.tif"), "--res must be a positive"},
        {"--var Temp --bbox 5,45,8,95 --res 1 -o " + folder.file("x.tif"), "LATSTART \"95\" is not a latitude in -90..90"},
        {"--period Juli" + box + folder.file("x.tif"), "--period must be a month 1..12 or its name"},
        {box + folder.file("map.png"), "no raster writer makes \".png\" files"},
    };
    for (const auto& [args, message] : cases) {
        const CliResult r = runCli("raster " + args);
        EXPECT_EQ(r.code, 2) << args << "\n" << r.err;
        EXPECT_NE(r.err.find(message), std::string::npos) << args << "\n" << r.err;
    }
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
}

// Ctrl-C while a surface is computed: exit code 130 and neither the file nor its parts remain.
// The signal is sent once the run has made its first file, and the run is far too long to end
// before it.
TEST(RasterCommand, CtrlCEndsASurfaceWith130AndLeavesNoFile) {
    if (!dataBuilt()) GTEST_SKIP() << "data folder not built";
    TempFolder folder("cli-raster-int");
    const std::string out = folder.file("world.tif");
    const std::string command = "sh -c '" + std::string(ZENTREL_BIN) +
                                " raster --var Temp --period all --bbox -180,-60,180,84 --res 0.02 --quiet -o " + out +
                                " 2>/dev/null & pid=$!; n=0; while [ ! -e " + out + ".part ] && [ $n -lt 1200 ]; do sleep 0.05; n=$((n+1)); done; "
                                "kill -INT $pid; wait $pid; echo exit=$?'";
    const std::string result = commandOutput(command);
    EXPECT_NE(result.find("exit=130"), std::string::npos) << result;
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
}

// The cluster script without a cluster: an array task runs its own strip of the whole, and
// "submit" asks for one task per strip and a merge that waits for all of them.
TEST(RasterClusterScript, ArrayTaskRunsItsStripAndSubmitChainsTheMerge) {
    TempFolder folder("cli-raster-sbatch");
    const std::string script = kSourceDir + "/scripts/cluster/raster-array.sbatch";
    const std::string strip = commandOutput("SLURM_ARRAY_TASK_ID=3 SLURM_CPUS_PER_TASK=8 VAR=Prec RES=30s OUT=prec "
                                            "TILES=8 ZENTREL=echo bash " + script + " strip 2>&1");
    EXPECT_NE(strip.find("raster --var Prec --period all --quantities best,stderr --bbox -180,-60,180,84 --res 30s "
                         "--tile 3/8 --threads 8 --quiet -o prec.strip-0003-of-0008.tif"),
              std::string::npos)
        << strip;
    // A stand-in for sbatch that prints what it was asked and answers with a job id.
    folder.write("sbatch", "#!/bin/sh\necho \"sbatch $*\" >> \"$(dirname \"$0\")/asked\"\necho 4711\n");
    std::filesystem::permissions(folder.file("sbatch"), std::filesystem::perms::owner_all);
    const std::string submit = commandOutput("PATH=" + folder.str() + ":$PATH VAR=Prec RES=30s OUT=prec TILES=8 bash " +
                                             script + " submit 2>&1; echo exit=$?");
    EXPECT_NE(submit.find("exit=0"), std::string::npos) << submit;
    std::ifstream in(folder.file("asked"));
    const std::string asked((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(asked.find("--array=1-8 --export=ALL " + script + " strip"), std::string::npos) << asked;
    EXPECT_NE(asked.find("--dependency=afterok:4711"), std::string::npos) << asked;
    EXPECT_NE(asked.find(script + " merge"), std::string::npos) << asked;
    EXPECT_NE(commandOutput("bash " + script + " 2>&1; echo exit=$?").find("exit=2"), std::string::npos);
}
