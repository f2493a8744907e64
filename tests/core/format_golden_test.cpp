// Golden files pinning the bytes of every writer for one fixed, hand-built set of results.
// Set ZENTREL_UPDATE_GOLDEN=1 to rewrite them after a deliberate change (then read the diff).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "formats/growing_season_export.h"
#include "formats/orvane_format.h"
#include "formats/plantow_format.h"
#include "formats/result_report.h"
#include "formats/vesk_format.h"

#include "fixture.h"

using namespace zentrel;

namespace {

const Monthly kTemp = {0, -3.25f, -1.5f, 2.75f, 7.5f, 12.25f, 16, 18.5f, 18, 14.25f, 9, 3.5f, -1, 0};
const Monthly kPrec = {0, 100, 300, 56.5f, 60, 30, -2.5f, 0, 12.345f, 60, 80, 95, 1234.6f, 0};
const Monthly kPet = {0, 20, 84, 50, 80, 110, 140, 160, 140, 100, 60, 30, -1, 0};
const Monthly kVap = {0, 7.5f, 7.8f, 8.9f, 10.4f, 13.6f, 17.2f, 19.9f, 20.1f, 17.4f, 13.5f, 10.2f, 8.3f, 0};
const Monthly kWind = {0, 2, 2.5f, 3.1f, 2.9f, 2.4f, 2.2f, 2, 1.9f, 2.1f, 2.3f, 2.6f, 2.8f, 0};
const Monthly kSun = {0, 0.5f, 0.55f, 0.6f, 0.65f, 0.7f, 0.85f, 1.02f, 0.95f, 0.8f, 0.6f, 0.45f, 0.4f, 0};

void setAnnual(Monthly& values) {
    float sum = 0;
    for (size_t m = 1; m <= 12; ++m) sum += values[m] / 12;
    values[13] = sum;
}

VariableResult makeResult(int variable, const Monthly& best) {
    VariableResult vr;
    vr.variable = static_cast<int16_t>(variable);
    vr.location = {"Lakeside", 5.3f, 41.99f, 17};
    EstimateResult& r = vr.result;
    r.HasStdErr = true;
    static const char* const sectors[8] = {"N ", "NE", "E ", "SE", "S ", "SW", "W ", "NW"};
    const float scale = (variable == Prec || variable == PET) ? 10.0f : (variable == Sun ? 0.05f : 1.0f);
    for (size_t m = 1; m <= 12; ++m) {
        const float fm = static_cast<float>(m);
        r.Best[m] = best[m];
        r.StdErr[m] = scale * (0.5f + 0.05f * fm);
        r.Bias[m] = scale * (0.01f * fm - 0.05f);
        r.VertGrad[m] = variable <= Tmin ? -0.0065f : scale * 0.0005f * fm;
        r.LongGrad[m] = scale * (0.12f * fm - 0.7f);
        r.LatGrad[m] = scale * (-0.3f + 0.02f * fm);
        r.AbsGrad[m] = scale * (0.4f + 0.01f * fm);
        r.DirecGrad[m] = 30 * fm - 15;
        r.DirecGradName[m] = sectors[(m - 1) % 8];
        r.VertExplVar[m] = 0.05f * fm;
    }
    for (Monthly* q : {&r.Best, &r.StdErr, &r.Bias, &r.VertGrad, &r.LongGrad, &r.LatGrad, &r.AbsGrad, &r.VertExplVar})
        setAnnual(*q);
    r.DirecGrad[13] = 200.5f;
    r.DirecGradName[13] = "S ";
    // A hand-set harmonic course: mean, first sine and cosine, second sine.
    r.AnnualCycle[13] = r.Best[13];
    r.AnnualCycle[1] = 0.2f * (r.Best[7] - r.Best[1]);
    r.AnnualCycle[7] = -0.1f * r.Best[13];
    r.AnnualCycle[2] = 0.05f * r.Best[13];

    NeighbourSet& n = vr.neighbours;
    n.NeighbourCount = n.ActiveCount = 3;
    n.ActiveAltCount = 2;
    n[1] = Station{42.1f, 5.1f, 120, {}, 20.52f, 305.4f, "Monte Rosso Observatory", "Italy", 1, "NW", 0.4f};
    n[2] = Station{41.8f, 5.6f, kUnknown, {}, 31.07f, kUnknown, "Porto", "Italy", 1, "  ", 0.3f};
    n[3] = Station{42.3f, 5.3f, 850, {}, 34.47f, 0, "Col d'Aré", "France", 0, "N ", 0.3f};
    n[21] = Station{42.0667f, 5.3333f, 485, {}, 28.6867f, 12.5f, "", "", 2, "N ", 0};
    for (int i = 1; i <= 3; ++i) {
        for (size_t m = 1; m <= 12; ++m) n[i].Data[m] = best[m] + 0.5f * static_cast<float>(i) - 1;
        setAnnual(n[i].Data);
    }
    for (size_t m = 1; m <= 12; ++m) n[21].Data[m] = best[m] - 0.1f;
    setAnnual(n[21].Data);
    return vr;
}

VariableResults fixture() {
    Monthly tmax = kTemp, tmin = kTemp;
    for (size_t m = 1; m <= 12; ++m) {
        tmax[m] += 5;
        tmin[m] -= 5;
    }
    VariableResults results = {makeResult(Temp, kTemp), makeResult(Tmax, tmax), makeResult(Tmin, tmin),
                               makeResult(Prec, kPrec), makeResult(Vap, kVap),  makeResult(PET, kPet),
                               makeResult(Wind, kWind), makeResult(Sun, kSun)};
    results[Temp].warnings.WarnLow = true;
    results[Tmin].warnings.WarnHigh = results[Tmin].warnings.WarnLonely = true;
    results[Prec].warnings.WarnHit = true;
    results[Vap].warnings.WarnStrange = true;
    return results;
}

const Location kLocation{"Lakeside", 5.3f, 41.99f, 17};

ProgramSettings settings() {
    ProgramSettings s = test::describedSettings();
    s.NeighbAlt = 1;
    return s;
}

const QuantitySelection kAllQuantities{true, true, true, true, true, true, true, true, true, true};
const VariableSelection kAllVariables{true, true, true, true, true, true, true, true};

void expectGolden(const std::string& name, const std::string& bytes) {
    const std::filesystem::path path = std::filesystem::path(ZENTREL_TEST_DATA) / "golden" / name;
    if (std::getenv("ZENTREL_UPDATE_GOLDEN")) {
        std::ofstream(path, std::ios::binary) << bytes;
        GTEST_SKIP() << "rewrote " << path;
    }
    ASSERT_TRUE(std::filesystem::exists(path)) << "missing golden file " << path;
    EXPECT_EQ(bytes, test::readFile(path)) << "writer output differs from " << path;
}

}  // namespace

TEST(GoldenFiles, ReportWithEverySectionAt95) {
    ReportOptions o;
    o.location = kLocation;
    o.quantities = kAllQuantities;
    o.level.percent = 95;
    o.stations = o.observations = true;
    o.demonstrationData = true;
    expectGolden("report_all.zte", formatReport(fixture(), kAllVariables, settings(), o));
}

TEST(GoldenFiles, ReportBestOnlyAndIntervalAt99) {
    ReportOptions best;
    best.location = kLocation;
    best.quantities.best = true;
    ReportOptions interval = best;
    interval.quantities = {};
    interval.quantities.interval = true;
    interval.level.percent = 99;
    ReportOptions nothing = best;
    nothing.quantities = {};
    ProgramSettings plain = settings();
    plain.NeighbAlt = plain.Shad = plain.AltCorr = 0;
    const VariableResults r = fixture();
    expectGolden("report_small.zte", reportBlock(r[Temp], plain, best) + reportBlock(r[Prec], plain, interval) +
                                         reportBlock(r[Sun], plain, nothing));
}

// Missing is never zero: the report shows "-" where nothing was estimated.
TEST(GoldenFiles, ReportShowsADashForWhatWasNotEstimated) {
    ReportOptions o;
    o.location = kLocation;
    o.quantities.best = o.quantities.interval = o.quantities.stdErr = o.quantities.bias = true;
    VariableSelection temp{};
    temp[Temp] = true;
    VariableResults r = fixture();
    r[Temp].result.HasStdErr = false;  // too few stations for the error
    r[Temp].neighbours.ActiveCount = 1;  // and one station: no annual value
    const std::string text = formatReport(r, temp, settings(), o);
    const auto cells = [&text](const std::string& row) {
        const size_t at = text.find(row);
        std::istringstream line(text.substr(at, text.find('\n', at) - at));
        std::vector<std::string> out;
        for (std::string cell; line >> cell;) out.push_back(cell);
        return out;
    };
    EXPECT_EQ(cells("January"), (std::vector<std::string>{"January", "-3.25", "-", "-", "-", "-"}));
    EXPECT_EQ(cells("Average"), (std::vector<std::string>{"Average", "-", "-", "-", "-", "-"}));
}

TEST(GoldenFiles, WorkbenchReportWithFinerSections) {
    ReportOptions o;
    o.location = kLocation;
    o.quantities.best = o.quantities.interval = true;
    o.level.percent = 90;
    o.dekadal = o.daily = o.thresholds = true;
    const VariableResults r = fixture();
    expectGolden("report_workbench.zte", reportBlock(r[PET], settings(), o) + reportBlock(r[Sun], settings(), o));
}

TEST(GoldenFiles, StationFormats) {
    const VariableResults r = fixture();
    expectGolden("orvane.dat", formatOrvane(r, kAllVariables, kLocation));
    expectGolden("vesk.dat", formatVesk(r, kAllVariables, kLocation));
    expectGolden("rainfall_pet.dat", formatRainfallPet(r, kLocation, true));
    expectGolden("growing_season.dat", formatGrowingSeasons(r, kLocation, true));
}

TEST(GoldenFiles, CropWaterFiles) {
    const PlantowFiles files = formatPlantow(fixture(), kLocation, "crops", 1, true);
    expectGolden("plantow.lst", files.list);
    expectGolden("plantow.pen", files.climate);
    expectGolden("plantow.cli", files.rainfall);
}
