// The batch files' bytes and the batch run (order, threads, cancel, failures).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>

#include "batch/batch_files.h"
#include "batch/batch_run.h"
#include "data/terrain.h"
#include "engine/engine.h"
#include "error.h"
#include "fixture.h"
#include "locations/location_list.h"

using namespace zentrel;
using namespace zentrel::test;

namespace {

const ElevationLookup kAlt17 = [](float, float) { return 17.0f; };

size_t countOf(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + 1)) ++n;
    return n;
}

// Fourteen stations around 10 E 45 N with altitude and position trends.
std::vector<Station> stations() {
    std::vector<Station> out;
    for (int k = 0; k < 14; ++k) {
        const float lon = 10 + 2.5f * static_cast<float>(std::cos(k * 0.45)) + 0.03f * static_cast<float>(k);
        const float lat = 45 + 2.0f * static_cast<float>(std::sin(k * 0.45));
        const float alt = 40.0f + 130.0f * static_cast<float>(k % 6);
        Station s = makeStation(lon, lat, alt, 0, "Station " + std::to_string(k));
        for (int m = 1; m <= 12; ++m)
            s.Data[static_cast<size_t>(m)] = 10 + 9 * std::sin((m - 4) * 0.5236f) - 0.006f * alt + 0.3f * (lon - 10) +
                                             0.2f * static_cast<float>(k % 3);
        out.push_back(s);
    }
    return out;
}

BatchOptions ownFormat(const std::string& folder, unsigned threads) {
    BatchOptions o;
    o.variables.fill(true);
    o.quantities = {true, true, true, true, true, true, true, true, true, true};
    o.destination = folder;
    o.sourceName = "test grid";
    o.start = 1055669400;  // 15 June 2003 09:30:00 UTC
    o.threads = threads;
    return o;
}

// One data folder for all runs, the clock's time zone UTC (the file names carry the start time).
class BatchFiles : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("TZ", "UTC", 1);
        tzset();
        data_ = new TempFolder("batch-data");
        writeDataFolder(*data_, 10, 45, stations());
    }
    static void TearDownTestSuite() { delete data_; }
    static std::string data() { return data_->str(); }
    static inline TempFolder* data_ = nullptr;
    const std::vector<LocationRow> rows = gridLocations({8, 12, 4, 43, 47, 4}, kAlt17);  // 25 places
};

}  // namespace

TEST_F(BatchFiles, BatchFileNamesNumbersAndLinesPinTheirBytes) {
    EXPECT_EQ(runPrefix(1055669400) + "|" + quantityFileName("P", Prec, Quantity::DirecGradString) + "|" + variableInfoFileName("P", Sun),
              "Zentrel 15062003_093000|P_Prec_DirecGradString.zte|P_Sun_INFO.zte");
    for (const auto& [value, decimals, text] : {std::tuple{1234.5678f, 3, "1,234.568"}, {-1234567.5f, 0, "-1,234,568"},
                                                {-0.0001f, 3, "0.000"}, {0.5f, 2, "0.50"}})
        EXPECT_EQ(formatNumber(value, decimals), text) << value;

    EXPECT_EQ(quantityFileHead(Quantity::VertExplVar, Temp),
              "Explained Variance of Verical Gradient of Monthly Mean Temperature in \xB0"
              "C (dimensionless)\r\n\t\t\t   Long.    Lat.    Alt.       Jan       Feb       Mar       Apr       May"
              "       Jun       Jul       Aug       Sep       Oct       Nov       Dec    Annual\r\n\r\n");
    VariableResult r;
    std::tie(r.variable, r.location, r.neighbours.ActiveCount, r.result.HasStdErr) = std::tuple(Prec, Location{"", 12.5f, -41.904f, 17.4f}, 3, true);
    for (size_t m = 1; m <= 13; ++m)  // negative precipitation is clipped to 0
        std::tie(r.result.Best[m], r.result.StdErr[m], r.result.DirecGradName[m]) = std::tuple(m == 13 ? 1234.5678f : -1.0f, 2.0f, "NW");
    EXPECT_EQ(quantityLine(Quantity::Best, "My place", r, 1.645f), "My place     12.50  -41.90      17     0.000     0.000     0.000     0.000     0.000     0.000"
                    "     0.000     0.000     0.000     0.000     0.000     0.000 1,234.568\r\n");
    EXPECT_EQ(quantityLine(Quantity::High, "a", r, 1.645f).substr(27, 10) + quantityLine(Quantity::DirecGradString, "a", r, 1.645f).substr(27, 10),
              "     2.290        NW");
    // What was not estimated is "-", never 0.000: the error without its estimate, the year of a
    // single station, everything without a neighbour.
    VariableResult sparse = r;
    sparse.result.HasStdErr = false;
    for (Quantity q : {Quantity::Low, Quantity::High, Quantity::StdErr, Quantity::Bias})
        EXPECT_EQ(quantityLine(q, "a", sparse, 1.645f).substr(27, 10), "         -") << static_cast<int>(q);
    sparse.neighbours.ActiveCount = 1;
    EXPECT_EQ(quantityLine(Quantity::Best, "a", sparse, 1.645f).substr(27, 130).substr(110), "     0.000         -");
    sparse.neighbours.ActiveCount = 0;
    EXPECT_EQ(quantityLine(Quantity::VertGrad, "a", sparse, 1.645f).substr(27, 10), "         -");

    // Neighbours 1..3 active with altitudes 100, 200 and unknown, the location at 17 m.
    NeighbourSet& ns = r.neighbours;
    std::tie(ns.NeighbourCount, ns.ActiveCount, ns.ActiveAltCount) = std::tuple(4, 3, 2);
    const float dist[] = {0, 5, 10, 20, 40}, alt[] = {0, 100, 200, kUnknown, 5};
    for (int i = 1; i <= 4; ++i) std::tie(ns[i].Dist, ns[i].Alt, ns[i].Active) = std::tuple(dist[i], alt[i], i <= 3);
    std::tie(ns[21].Lon, ns[21].Lat, ns[21].Dist, ns[21].Alt) = std::tuple(12.25f, -41.5f, 11.6667f, 150.0f);
    r.warnings.WarnFew = r.warnings.WarnLonely = true;
    EXPECT_EQ(infoLine("My place", r, describedSettings()),
              "My place     12.50  -41.90      17         3     1.000     12.25    -41.50         5        12        40"
              "       100       150       200       XXS   Low  Few  Lonely  \r\n");
    EXPECT_EQ(infoFileHead(true, "grid.dat", "/out"),
              "Some Information about the last automatic run of Zentrel with the input file grid.dat\r\nPath /out\r\n"
              "   Long.    Lat.    Alt.   Neighb.  Exponent Ave(Long)  Ave(Lat) Min(Dist) Ave(Dist) Max(Dist)  Min(Alt)"
              "  Ave(Alt)  Max(Alt)   Correct.  Warnings\r\n\r\n");
    EXPECT_NE(infoFileHead(true, "grid.dat", "/out", Method::Adaptive).find("Path /out\r\nEstimation method: adaptive\r\n"),
              std::string::npos);
}

TEST_F(BatchFiles, ManyThreadsWriteTheBytesOfOneThreadAndASecondRunOverwrites) {
    std::vector<LocationRow> rows = this->rows;
    rows[3].name = "A name\twith blanks";
    TempFolder one("batch-one");
    const ProgramSettings settings = describedSettings();
    const BatchSummary s1 = runBatch(rows, ownFormat(one.str(), 1), settings, data());
    EXPECT_EQ(std::pair(s1.estimates, s1.files.size()), std::pair(25LL * 8, 1ul + 8 * 13));
    const auto bytes = folderFiles(one.path());
    const std::string best = bytes.at("Zentrel 15062003_093000_Tmin_Best.zte");
    EXPECT_EQ(countOf(best, "\r\n"), 3u + 25);
    EXPECT_NE(best.find("\r\nA name\twith blanks     11.00   43.00      17"), std::string::npos);
    EXPECT_EQ(countOf(bytes.at("Zentrel 15062003_093000_INFORMATION.zte"), "\r\n"), 4u + 25 * 8);
    // The summary window's lines: one per estimate, variable by variable in list order.
    ASSERT_EQ(s1.lines.size(), 25u * 8);
    EXPECT_EQ(s1.lines[0].substr(0, 23) + "|" + s1.lines[25].substr(0, 23), "Temp, 8.00, 43.00, 17, |Tmin, 8.00, 43.00, 17, ");

    // A second run in the same second with four threads overwrites every file with the same bytes.
    runBatch(rows, ownFormat(one.str(), 4), settings, data());
    const auto again = folderFiles(one.path());
    ASSERT_EQ(again.size(), bytes.size());
    for (const auto& [name, text] : bytes) EXPECT_TRUE(again.at(name) == text) << name;

}

// A run killed during a write can leave a file's last line cut (at a page boundary); a run that
// appends to that file cuts the partial line away first, so the lines it adds stay whole.
TEST_F(BatchFiles, AppendingToAFileWithACutLastLineDropsThePartialLineFirst) {
    TempFolder one("batch-append-cut");
    runBatch(rows, ownFormat(one.str(), 1), describedSettings(), data());
    const auto path = one.path() / "Zentrel 15062003_093000_Temp_Best.zte";
    const std::string whole = readFile(path);
    const size_t lastLine = whole.rfind("\r\n", whole.size() - 3) + 2;  // start of the last line
    std::filesystem::resize_file(path, lastLine + 7);                    // killed 7 bytes into it

    BatchOptions append = ownFormat(one.str(), 1);
    append.append = true;
    runBatch(rows, append, describedSettings(), data());
    EXPECT_EQ(readFile(path), whole.substr(0, lastLine) + whole.substr(whole.find("\r\n\r\n") + 4));
}

TEST_F(BatchFiles, CancelStopsAfterTheCurrentLocationAndOtherFormatsWriteTheHeaderOnce) {
    TempFolder out("batch-cancel");
    Feedback feedback;
    feedback.onProgress = [&feedback](long long done, long long) {
        if (done == 7) feedback.cancel();
    };
    const BatchSummary s = runBatch(rows, ownFormat(out.str(), 3), describedSettings(), data(), nullptr, &feedback);
    EXPECT_EQ(std::pair(s.cancelled, s.estimates), std::pair(true, 7LL));
    EXPECT_EQ(countOf(readFile(out.path() / "Zentrel 15062003_093000_Temp_Bias.zte"), "\r\n"), 3u + 7);

    BatchOptions orvane = ownFormat(out.file("orvane.dat"), 2);
    orvane.format = FormatOrvane;
    orvane.variables = {true, false, false, true, false, false, false, false};
    runBatch(rows, orvane, describedSettings(), data());
    const std::string text = readFile(out.file("orvane.dat"));
    EXPECT_EQ(std::tuple(countOf(text, "Station Name = "), countOf(text, "Temp_mean_mly"), countOf(text, "\r\n")), std::tuple(1, 25, 5 + 50));
    // The run information file lies beside the chosen file, one line per location and variable.
    EXPECT_EQ(countOf(readFile(out.path() / "Zentrel 15062003_093000_INFORMATION.zte"), "\r\n"), 4u + 50);
}

TEST_F(BatchFiles, AFileThatCannotBeWrittenEndsTheRunNamingItAndKeepsEarlierLines) {
    const std::vector<LocationRow> rows = gridLocations({8, 12, 2, 43, 47, 2}, kAlt17);
    TempFolder out("batch-fail");
    // The Tmin pass (after Temp) cannot create its Best file: a folder has that name.
    const std::string blocked = out.file("Zentrel 15062003_093000_Tmin_Best.zte");
    std::filesystem::create_directory(blocked);
    BatchOptions o = ownFormat(out.str(), 2);
    const std::string message = errorOf([&] { runBatch(rows, o, describedSettings(), data()); });
    EXPECT_NE(message.find("\"" + blocked + "\""), std::string::npos) << message;
    EXPECT_EQ(countOf(readFile(out.path() / "Zentrel 15062003_093000_Temp_Best.zte"), "\r\n"), 3u + 9);
    EXPECT_EQ(countOf(readFile(out.path() / "Zentrel 15062003_093000_INFORMATION.zte"), "\r\n"), 4u + 9);
    o.destination = out.file("missing-folder");
    EXPECT_THROW(runBatch(rows, o, describedSettings(), data()), Error);
}

TEST_F(BatchFiles, ElevationModelReplacesTheListAltitude) {
    TempFolder own("batch-dem-data");  // a data folder of its own: the others have no elevation model
    writeDataFolder(own, 10, 45, stations());
    std::vector<char> bytes(static_cast<size_t>(kTerrainColumns) * kTerrainRows, static_cast<char>(255));
    bytes[static_cast<size_t>(terrainByteOffset(10, 45))] = 27;  // 27 * 20 - 40 = 500 m
    std::ofstream(own.file(kTerrainFileName), std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    TempFolder out("batch-dem");
    BatchOptions o = ownFormat(out.str(), 1);
    std::tie(o.useDem, o.quantities) = std::tuple(true, QuantitySelection{.best = true});
    runBatch({{"Here", "10", "45", "17"}}, o, describedSettings(), own.str());
    EXPECT_NE(readFile(out.path() / "Zentrel 15062003_093000_Temp_Best.zte").find("\r\nHere     10.00   45.00     500"),
              std::string::npos);
}

TEST(BatchQuantities, CorrectionFlagsFlipAtTheirStationCounts) {
    ProgramSettings settings = describedSettings();
    VariableResult r;
    const auto flags = [&](int16_t active, int16_t activeAlt) {
        std::tie(r.neighbours.ActiveCount, r.neighbours.ActiveAltCount) = std::tuple(active, activeAlt);
        return correctionsField(r, settings);
    };
    // Altitude correction from 3 stations with an altitude, gradient correction from 6 active
    // stations, shadow correction from 3 active stations.
    EXPECT_EQ(flags(6, 3) + flags(6, 2) + flags(5, 3) + flags(3, 3) + flags(2, 2), "AGS" "XGS" "AXS" "AXS" "XXX");
    settings.AltCorr = settings.GradCorr = settings.ShadowOn = 0;
    EXPECT_EQ(flags(20, 20), "XXX");
}

// One location, every quantity of every variable: each number in the files is the engine's own
// result for that quantity, written with three decimals.
TEST_F(BatchFiles, EveryQuantityFileHoldsTheEnginesValuesAtOneLocation) {
    TempFolder out("batch-values");
    BatchOptions o = ownFormat(out.str(), 1);
    o.level = 95;
    const ProgramSettings settings = describedSettings();  // the engine keeps a reference
    runBatch({{"Here", "10.2", "45.3", "400"}}, o, settings, data());
    Engine engine(settings, data());
    const Location here{"Here", 10.2f, 45.3f, 400};
    const std::string prefix = out.file("Zentrel 15062003_093000");
    for (int v = 0; v < kVariableCount; ++v) {
        const EstimateResult e = engine.Run(v, here).result;
        ASSERT_GE(engine.ns.ActiveCount, 6);
        for (int qi = 0; qi <= static_cast<int>(Quantity::LatGrad); ++qi) {
            const auto q = static_cast<Quantity>(qi);
            const std::string name = quantityFileName(prefix, v, q);
            const std::string text = readFile(name);
            const size_t at = text.find("\r\nHere  ");
            ASSERT_NE(at, std::string::npos) << name;
            for (size_t m = 1; m <= 13; ++m) {
                const std::string cell = text.substr(at + 2 + 6 + 24 + (m - 1) * 10, 10);
                const std::string where = name + " of variable " + std::to_string(v) + " month " + std::to_string(m);
                if (q == Quantity::DirecGradString) {
                    EXPECT_EQ(cell, std::string(10 - e.DirecGradName[m].size(), ' ') + e.DirecGradName[m]) << where;
                    continue;
                }
                const int month = static_cast<int>(m);
                const float expected[] = {ClipValue(e.Best[m], v), ClipValue(lowBound(e, month, 1.96f), v),
                                          ClipValue(highBound(e, month, 1.96f), v), e.StdErr[m], e.Bias[m],
                                          e.VertGrad[m] * 100, e.VertExplVar[m], e.AbsGrad[m], e.DirecGrad[m],
                                          0, e.LongGrad[m], e.LatGrad[m]};
                std::string number = cell;
                std::erase(number, ',');
                EXPECT_NEAR(std::stod(number), expected[static_cast<size_t>(q)], 0.0005001) << where << ": " << cell;
            }
        }
    }
}
