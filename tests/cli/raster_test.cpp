// `zentrel raster` on the data folder built beside the program: IMG and GeoTIFF of one
// rectangle, the same cells on any number of threads, and the panel's messages as usage errors.
#include <gtest/gtest.h>

#include <filesystem>

#include "../core/fixture.h"
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

    const CliResult tif = runCli("raster" + args + folder.file("x.tif"));
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
    }
}
