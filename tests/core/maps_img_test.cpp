// Raster image files: the 6-byte real, the 534-byte header, cells, georeference.
#include "maps/img_file.h"

#include <gtest/gtest.h>

#include <cmath>

#include "error.h"
#include "maps/georeference.h"
#include "maps/real48.h"
#include "maps_test_util.h"

using namespace zentrel;

TEST(Real48, ByteLayoutOfHandWorkedValues) {
    // -50 = -1.5625 * 2^5; 0.4 = 1.6 * 2^-2: fraction 0.6 * 2^39 = 329853488332.8, rounded up to
    // 0x4CCCCCCCCD; rounding the fraction of 2 - 2^-45 up to 2 carries into the exponent.
    const std::pair<double, Real48> cases[] = {
        {0.0, {0, 0, 0, 0, 0, 0}},       {-0.0, {0, 0, 0, 0, 0, 0}},       {1.0, {0x81, 0, 0, 0, 0, 0}},
        {-1.0, {0x81, 0, 0, 0, 0, 0x80}}, {0.5, {0x80, 0, 0, 0, 0, 0}},     {-50.0, {0x86, 0, 0, 0, 0, 0xC8}},
        {0.4, {0x7F, 0xCD, 0xCC, 0xCC, 0xCC, 0x4C}}, {2.0 - std::ldexp(1.0, -45), {0x82, 0, 0, 0, 0, 0}}};
    for (const auto& [value, bytes] : cases) EXPECT_EQ(DoubleToReal48(value), bytes) << value;
}

TEST(Real48, RoundTripsWithinHalfAUnitOfTheFraction) {
    for (const double v : {0.0, 1.0, -1.0, 0.4, 1e-5, 123456.789, -179.9375, 0.001, 6.02e23, -3e-30}) {
        const double back = Real48ToDouble(DoubleToReal48(v));
        EXPECT_LE(std::fabs(back - v), std::fabs(v) * std::ldexp(1.0, -40)) << v;
        EXPECT_EQ(DoubleToReal48(back), DoubleToReal48(v)) << v;  // stable on a second pass
    }
    for (const double exact : {0.125, -0.5, 1440.0, 0.0625, 90.0})
        EXPECT_EQ(Real48ToDouble(DoubleToReal48(exact)), exact);
}

TEST(Real48, OutOfRangeValues) {
    EXPECT_EQ(DoubleToReal48(1e-40), (Real48{0, 0, 0, 0, 0, 0}));  // below 2^-128: 0
    EXPECT_EQ(Real48ToDouble(Real48{0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}), 0.0);
    for (const double v : {1e39, std::nan(""), double(INFINITY)}) EXPECT_THROW(DoubleToReal48(v), Error) << v;
    EXPECT_EQ(Real48ToDouble(Real48{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}), std::ldexp(2.0 - std::ldexp(1.0, -39), 126));
}

namespace {
ImgRaster exportLike3x2() {
    ImgRaster r{.Header = {.Byte22 = 0x11, .Byte23 = 0x22, .Rows = 2, .Columns = 3, .Title = "Temp - Average", .RefLat = 41.0,
                           .RefLon = 12.5, .RefColumn = 1.5, .RefRow = 1.0, .CellWidth = 1.0, .CellHeight = 1.0, .Scale = 0.4,
                           .Offset = -50, .Byte204 = 0x44},
                .Cells = {0, 1, 175, 250, 254, 255}};
    r.Header.Bytes168.fill(0x33);
    return r;
}
}  // namespace

TEST(ImgHeader, EveryFieldAtItsOffsetAndANewHeaderTakesThePassThroughBytes) {
    const auto b = formatImgHeader(exportLike3x2().Header);
    // Pass-through bytes 22 and 23; rows at 30 and columns at 32, little-endian 16-bit.
    EXPECT_EQ(std::vector<uint8_t>({b[22], b[23], b[30], b[31], b[32], b[33]}), (std::vector<uint8_t>{0x11, 0x22, 2, 0, 3, 0}));
    EXPECT_EQ(std::string(b.begin() + 38, b.begin() + 119), "Temp - Average" + std::string(66, ' ') + '\0');  // padded to 80
    auto real = [&](int at) { return Real48{b[at], b[at + 1], b[at + 2], b[at + 3], b[at + 4], b[at + 5]}; };
    for (const auto& [at, value] : {std::pair{120, 41.0}, {128, 12.5}, {136, 1.5}, {144, 1.0}, {152, 1.0}, {160, 1.0}, {196, -50.0}})
        EXPECT_EQ(Real48ToDouble(real(at)), value) << at;
    EXPECT_EQ(real(188), DoubleToReal48(0.4));
    for (int k = 168; k <= 186; ++k) EXPECT_EQ(b[k], 0x33) << k;
    EXPECT_EQ(b[204], 0x44);
    // 126 and 127: the last two bytes of an 8-byte number field.
    for (int k : {0, 21, 24, 29, 34, 37, 126, 127, 187, 205, 533}) EXPECT_EQ(b[k], 0) << k;

    ImgHeader fresh;
    fresh.copyPassThroughFrom(exportLike3x2().Header);
    const auto f = formatImgHeader(fresh);
    EXPECT_EQ(std::vector<uint8_t>({f[22], f[186], f[204]}), std::vector<uint8_t>({0x11, 0x33, 0x44}));
}

TEST(ImgFile, GoldenThreeByTwoExportAndRoundTrip) {
    maps_test::ScratchFolder folder;
    const ImgRaster raster = exportLike3x2();
    writeImg(folder.file("t.img"), raster);
    const std::string bytes = maps_test::readFile(folder.file("t.img"));
    EXPECT_EQ(bytes, maps_test::golden("golden_3x2.img"));  // 540 bytes

    const ImgRaster back = readImg(folder.file("t.img"));
    EXPECT_EQ(back.Cells, raster.Cells);
    EXPECT_EQ(std::vector<int>({back.at(2, 0), back.at(0, 1)}), std::vector<int>({175, 250}));  // row 0 is the northern row
    EXPECT_NEAR(back.Header.valueOf(175), 20.0, 1e-9);
    EXPECT_EQ(formatImgHeader(back.Header), formatImgHeader(raster.Header));
    const std::vector<uint8_t> data(bytes.begin(), bytes.end());
    EXPECT_EQ(parseImg(data, "t.img").Cells, raster.Cells);
    EXPECT_THROW(parseImg(std::vector<uint8_t>(data.begin(), data.end() - 1), "t.img"), Error);
}

TEST(ImgFile, MalformedFilesNameTheFileAndField) {
    maps_test::ScratchFolder folder;
    const std::string path = folder.file("bad.img");
    const auto header = formatImgHeader(exportLike3x2().Header);
    const std::tuple<std::vector<std::pair<int, uint8_t>>, std::string, std::string> cases[] = {  // header bytes changed, cells, message
        {{}, "12345", "fewer cells"},  // one cell short
        {{{30, 0}, {31, 0}}, "123456", "offset 30 (rows)"},
        {{{30, 0xFF}, {31, 0xFF}}, "123456", "offset 30 (rows)"},  // -1
        {{{32, 0xFF}, {33, 0x7F}}, "123456", "fewer cells"},  // 32767 x 255 columns claimed: refused before allocating
        {{{152, 0}}, "123456", "offset 152 (cell width)"},
    };
    auto expectError = [&](const std::string& fragment) {
        const std::string message = zentrel::test::errorOf([&] { readImg(path); });
        EXPECT_NE(message.find(fragment), std::string::npos) << message;
        EXPECT_NE(message.find(path), std::string::npos) << message;
    };
    folder.write("bad.img", std::string(100, '\0'));
    expectError("shorter than its 534-byte header");
    for (const auto& [patch, cells, fragment] : cases) {
        auto bytes = header;
        for (auto [at, value] : patch) bytes[static_cast<size_t>(at)] = value;
        folder.write("bad.img", std::string(bytes.begin(), bytes.end()) + cells);
        expectError(fragment);
    }
    EXPECT_THROW(readImg(folder.file("missing.img")), Error);
    ImgRaster wrongCount = exportLike3x2();
    wrongCount.Cells.pop_back();
    EXPECT_THROW(writeImg(path, wrongCount), Error);
}

TEST(Georeference, TruncatesToThreeDecimalsAndRoundsCellsHalfToEven) {
    EXPECT_DOUBLE_EQ(truncateToThreeDecimals(-12.3456), -12.346);
    EXPECT_DOUBLE_EQ(truncateToThreeDecimals(0.0833333), 0.083);
    ImgHeader h = exportLike3x2().Header;
    h.RefLon = 12.50049;
    const Georeference g = Georeference::of(h);
    EXPECT_DOUBLE_EQ(g.RefLon, 12.5);
    // Columns 0..2 lie at 11, 12, 13; rows 0..1 at 42 and 41.
    EXPECT_EQ(std::vector<double>({g.lonOfColumn(0), g.lonOfColumn(0.25), g.latOfRow(1)}), std::vector<double>({11, 11.25, 41}));
    // 0.5 rounds to even 0, 1.5 to even 2; 40 lies beyond the last row: the caller checks.
    EXPECT_EQ(std::vector<long>({g.columnOf(11.0), g.columnOf(11.5), g.columnOf(12.5), g.rowOf(42.0), g.rowOf(40.0)}),
              std::vector<long>({0, 0, 2, 0, 2}));
    h.CellWidth = 0.0004;         // truncates to 0
    EXPECT_EQ(Georeference::of(h).columnOf(12.0), -1);
}
