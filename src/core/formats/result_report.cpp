// The result file block of one variable, with the workbench's finer sections.
#include "formats/result_report.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include <fmt/format.h>

#include "base/picture.h"
#include "base/records.h"
#include "formats/shown_values.h"
#include "season/cycle.h"
#include "season/thresholds.h"

namespace zentrel {

namespace {

const char* const kMonthNames[12] = {"January", "February", "March",     "April",   "May",      "June",
                                     "July",    "August",   "September", "October", "November", "December"};
const char* const kPrintedMonths[12] = {"Jan.", "Feb.", "Mar.", "Apr.", "Mai ", "June",
                                        "July", "Aug.", "Sep.", "Oct.", "Nov.", "Dec."};
const char* const kDekadLabels[36] = {
    "Jan. 1", "Jan. 2", "Jan. 3", "Feb. 1", "Feb. 2", "Feb. 3", "Mar. 1", "Mar. 2", "Mar. 3",
    "Apr. 1", "Apr. 2", "Apr. 3", "May  1", "May  2", "May  3", "June 1", "June 2", "June 3",
    "July 1", "July 2", "July 3", "Aug. 1", "Aug. 2", "Aug. 3", "Sep. 1", "Sep. 2", "Sep. 3",
    "Oct. 1", "Oct. 2", "Oct. 3", "Nov. 1", "Nov. 2", "Nov. 3", "Dec. 1", "Dec. 2", "Dec. 3"};
/// Days of the months of the 365-day year of the daily section.
const int kDaysInMonth[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

const char* const kIndent = "     ";
const char* const kProviderLine =
    "Estimated by Zentrel from the long-term monthly means of the world climate station database.";
const char* const kDemonstrationLine =
    "DEMONSTRATION DATA: estimated from a demonstration station database, not from real observations.";

std::string two(float v) { return formatPicture(v, "0.00"); }

bool isTotal(int variable) { return variable == Prec || variable == PET; }

/// One column of the monthly table: title, width, unit text and the text of month 1..13.
struct Column {
    std::string title;
    size_t width;
    std::string unit;
    std::function<std::string(size_t)> value;
};

std::vector<Column> monthlyColumns(const VariableResult& vr, const ReportOptions& o) {
    const EstimateResult& r = vr.result;
    const int v = vr.variable;
    const std::string unit = unitText(v);
    const float z = o.level.factor();
    const QuantitySelection& q = o.quantities;
    std::vector<Column> cols;
    // What was not estimated (no neighbour, no error estimate, no annual value) is "-".
    const auto shown = [&vr, z](ShownQuantity q, size_t m) {
        const float value = shownValue(vr, q, static_cast<int>(m), z);
        return std::isfinite(value) ? two(q == ShownQuantity::Best ? ClipValue(value, vr.variable) : value)
                                    : std::string("-");
    };
    if (q.best) cols.push_back({"Best", 10, unit, [shown](size_t m) { return shown(ShownQuantity::Best, m); }});
    if (q.interval) {
        std::string lowTitle = o.level.lowTitle(), highTitle = o.level.highTitle();
        if (o.printed) {
            lowTitle = o.level.percent == 90 ? " 5%" : o.level.percent == 95 ? "2.5%" : o.level.percent == 99 ? ".5%" : "";
            highTitle = o.level.percent == 90 ? "95%" : o.level.percent == 95 ? "97.5%" : o.level.percent == 99 ? "99.5%" : "";
        }
        // The bounds come from the unclamped Best and are clamped themselves (lowBound, highBound).
        cols.push_back({lowTitle, 15, unit, [shown](size_t m) { return shown(ShownQuantity::Low, m); }});
        cols.push_back({highTitle, 15, unit, [shown](size_t m) { return shown(ShownQuantity::High, m); }});
    }
    if (q.stdErr) cols.push_back({"Std. Err.", 10, unit, [shown](size_t m) { return shown(ShownQuantity::StdErr, m); }});
    if (q.bias) cols.push_back({"Bias", 10, unit, [shown](size_t m) { return shown(ShownQuantity::Bias, m); }});
    if (q.slope) cols.push_back({"Slope", 10, unit + "/100m", [&r](size_t m) { return two(r.VertGrad[m] * 100); }});
    if (q.longGrad) cols.push_back({"Lon Grad", 10, unit + "/100km", [&r](size_t m) { return two(r.LongGrad[m]); }});
    if (q.latGrad) cols.push_back({"Lat Grad", 10, unit + "/100km", [&r](size_t m) { return two(r.LatGrad[m]); }});
    if (q.dirGrad) {
        cols.push_back({"Dir Grad", 10, "Degrees", [&r](size_t m) { return two(r.DirecGrad[m]); }});
        cols.push_back({"Dir Grad", 10, " ", [&r](size_t m) { return r.DirecGradName[m]; }});
    }
    if (q.absGrad) cols.push_back({"Abs Grad", 10, unit + "/100km", [&r](size_t m) { return two(r.AbsGrad[m]); }});
    if (q.explVar) cols.push_back({"r^2(Alt)", 10, " ", [&r](size_t m) { return two(r.VertExplVar[m]); }});
    return cols;
}

void writeHead(std::string& out, const VariableResult& vr, const ProgramSettings& s, const ReportOptions& o) {
    addLine(out, "Zentrel");
    if (o.demonstrationData) addLine(out, kDemonstrationLine);
    addLine(out, " ");
    const Location& l = o.location;
    if (o.printed)
        // The page shows sea level as 0 m (the file's "####" leaves it blank).
        addLine(out, "Location:   Latitude = " + degreesMinutesSeconds(l.Lat, true) + ", Longitude = " +
                         degreesMinutesSeconds(l.Lon, false) + ",  Altitude = " + formatPicture(l.Alt, "###0") + " m");
    else
        addLine(out, "Location:     Latitude = " + formatPicture(l.Lat, "###.00") + "°,  Longitude = " +
                         formatPicture(l.Lon, "####.00") + "°,  Altitude = " + formatPicture(l.Alt, "####") + " m");
    addLine(out, " ");
    addLine(out, "Variable:     " + longVariableName(vr.variable));
    addLine(out, " ");
    addLine(out, "Applied Methods:");
    addLine(out, " ");
    const std::string in = kIndent;
    if (vr.warnings.WarnHit) {
        addLine(out, in + "Nearest neighbor is closer than " + shortestFloat(s.MinDist) + "km away.");
        addLine(out, in + "Nearest Neighbor Approximation is used.");
    } else {
        if (s.AltCorr == 1) addLine(out, in + "Linear Altitude Correction");
        if (s.GradCorr == 1) addLine(out, in + "Climate Gradient Correction");
        // The method is named only when it is not the described one, so that the described
        // method's files stay as they always were.
        const Method method = effectiveMethod(s);
        if (method == Method::Robust) addLine(out, in + "Robust Altitude and Gradient Corrections");
        if (method == Method::Adaptive)
            addLine(out, in + "Locally Adaptive Method: estimators blended by the neighbours' leave-one-out errors");
        if (method == Method::Kriging)
            addLine(out, in + "Kriging with Terrain Covariates: coefficients fitted on the database's leave-one-out rows");
        // The weight is written as a number with the usual two decimals.
        if (s.Shad != 0) addLine(out, in + "Shadow Correction with weight: " + two(s.Shad));
        const std::string allowed = o.printed ? "Allowed " : "";
        addLine(out, in + allowed + "Maximum Distance of Neighbors in km: " + shortestFloat(s.MaxDist));
        addLine(out, in + allowed + "Maximum Number of Stations: " + std::to_string(s.MaxStat));
        addLine(out, in + "Inverse Distance Weighted Averaging with Power Exponent " + shortestFloat(s.PowExp));
        if (s.NeighbAlt == 1)
            addLine(out, in + "Only stations with elevation between " + shortestFloat(s.MinHigh) + "m and " +
                             shortestFloat(s.MaxHigh) + "m are taken into account.");
    }
    const WarningFlags& w = vr.warnings;
    if (w.WarnLow) addLine(out, in + "WARNING: Location lower than surrounding Stations!");
    if (w.WarnHigh) addLine(out, in + "WARNING: Location higher than surrounding Stations!");
    if (w.WarnLonely) addLine(out, in + "WARNING: Location not surrounded by neighboring Stations!");
    if (w.WarnStrange) addLine(out, in + "WARNING: Strange data detected at surrounding Stations!");
    if (w.WarnRecord) addLine(out, in + recordWarning(w.RecordMonth));
}

void writeMonthlyTable(std::string& out, const VariableResult& vr, const ReportOptions& o) {
    const std::vector<Column> cols = monthlyColumns(vr, o);
    addLine(out, " ");
    addLine(out, " ");
    addLine(out, "Estimated annual cycle of expectation values in monthly resolution:");
    addLine(out, " ");
    std::string titles = "Month      ", units(11, ' ');
    for (const Column& c : cols) {
        titles += alignRight(c.title, c.width);
        units += alignRight(c.unit, c.width);
    }
    addLine(out, titles);
    addLine(out, units);
    addLine(out, "");
    for (size_t m = 1; m <= 13; ++m) {
        std::string row = m <= 12 ? alignLeft(o.printed ? kPrintedMonths[m - 1] : kMonthNames[m - 1], 12)
                                  : o.printed ? alignLeft("Avg.", 12)  // on paper in line with the months
                                              : alignRight("Average", 11);
        for (const Column& c : cols) row += alignRight(c.value(m), c.width);
        addLine(out, row);
    }
}

/// Columns of the dekadal and daily sections: Best, and Low and High when the interval is
/// ticked (Best alone when neither is); the other quantities have no sub-monthly values.
struct FinerColumns {
    bool best = true;
    bool bounds = false;
};

FinerColumns finerColumns(const ReportOptions& o) {
    FinerColumns f;
    f.bounds = o.quantities.interval;
    f.best = o.quantities.best || !f.bounds;
    return f;
}

std::string finerTitles(const std::string& lead, const FinerColumns& f, const ReportOptions& o) {
    std::string line = alignLeft(lead, 15);
    if (f.best) line += alignRight("Best", 10);
    if (f.bounds) line += alignRight(o.level.lowTitle(), 15) + alignRight(o.level.highTitle(), 15);
    return line;
}

std::string finerUnits(const std::string& unit, const FinerColumns& f) {
    std::string line(15, ' ');
    if (f.best) line += alignRight(unit, 10);
    if (f.bounds) line += alignRight(unit, 15) + alignRight(unit, 15);
    return line;
}

std::string finerRow(const std::string& label, const FinerColumns& f, float best, float low, float high) {
    std::string line = alignLeft(label, 15);
    if (f.best) line += alignRight(two(best), 10);
    if (f.bounds) line += alignRight(two(low), 15) + alignRight(two(high), 15);
    return line;
}

void writeDekadalSection(std::string& out, const VariableResult& vr, const ReportOptions& o) {
    const FinerColumns f = finerColumns(o);
    DekadalCycle c;
    fillDekadalCycle(vr.result, vr.variable, f.bounds ? o.level.factor() : 0.0f, c);
    addLine(out, " ");
    addLine(out, "Estimated annual cycle of expectation values in dekadal resolution:");
    addLine(out, " ");
    addLine(out, finerTitles("dekade", f, o));
    addLine(out, finerUnits(isTotal(vr.variable) ? unitText(vr.variable) + "/dekade" : unitText(vr.variable), f));
    float sum = 0, sumLow = 0, sumHigh = 0;
    for (size_t k = 1; k <= 36; ++k) {
        addLine(out, finerRow(kDekadLabels[k - 1], f, c.Dekadal[k], c.DekadalLow[k], c.DekadalHigh[k]));
        sum += c.Dekadal[k];
        sumLow += c.DekadalLow[k];
        sumHigh += c.DekadalHigh[k];
    }
    // The mean row is the plain mean of the 36 rows above it.
    addLine(out, finerRow("Mean  ", f, sum / 36, sumLow / 36, sumHigh / 36));
}

void writeDailySection(std::string& out, const VariableResult& vr, const ReportOptions& o) {
    const FinerColumns f = finerColumns(o);
    DailyCycle c;
    fillDailyCycle(vr.result, vr.variable, f.bounds ? o.level.factor() : 0.0f, c);
    addLine(out, " ");
    addLine(out, "Estimated annual cycle of expectation values in daily resolution:");
    addLine(out, " ");
    addLine(out, finerTitles("day", f, o));
    addLine(out, finerUnits(isTotal(vr.variable) ? unitText(vr.variable) + "/Day" : unitText(vr.variable), f));
    size_t n = 1;
    for (int month = 1; month <= 12; ++month)
        for (int day = 1; day <= kDaysInMonth[month - 1]; ++day, ++n)
            addLine(out, finerRow(std::to_string(day) + "." + std::to_string(month) + (o.printed ? ". (" : " (") +
                                      std::to_string(n) + ")",
                                  f, c.Daily[n], c.DailyLow[n], c.DailyHigh[n]));
    const auto first = c.Daily.begin() + 1, last = c.Daily.begin() + 366;
    float sum = 0, sumLow = 0, sumHigh = 0;
    for (size_t d = 1; d <= 365; ++d) {
        sum += c.Daily[d];
        sumLow += c.DailyLow[d];
        sumHigh += c.DailyHigh[d];
    }
    addLine(out, finerRow("Mean", f, sum / 365, sumLow / 365, sumHigh / 365));
    // Min and Max carry the day of the year on which the best value is lowest or highest;
    // every column shows its own extreme.
    const size_t dayMin = static_cast<size_t>(std::min_element(first, last) - c.Daily.begin());
    const size_t dayMax = static_cast<size_t>(std::max_element(first, last) - c.Daily.begin());
    addLine(out, finerRow("Min: (" + std::to_string(dayMin) + ")", f, c.Daily[dayMin],
                          *std::min_element(c.DailyLow.begin() + 1, c.DailyLow.begin() + 366),
                          *std::min_element(c.DailyHigh.begin() + 1, c.DailyHigh.begin() + 366)));
    addLine(out, finerRow("Max: (" + std::to_string(dayMax) + ")", f, c.Daily[dayMax],
                          *std::max_element(c.DailyLow.begin() + 1, c.DailyLow.begin() + 366),
                          *std::max_element(c.DailyHigh.begin() + 1, c.DailyHigh.begin() + 366)));
}

void writeThresholdSection(std::string& out, const VariableResult& vr, const ReportOptions& o) {
    // Bounds only with a chosen level, and not when the location hits a station.
    const float z = (o.level.percent == 0 || vr.warnings.WarnHit) ? 0.0f : o.level.factor();
    DailyCycle c;
    fillDailyCycle(vr.result, vr.variable, z, c);
    const ThresholdDays t = countThresholdDays(c, z);
    const std::string unit = isTotal(vr.variable) ? unitText(vr.variable) + "/Day" : unitText(vr.variable);
    // Sunshine fractions need a third decimal to tell 101 thresholds apart.
    const char* pattern = vr.variable == Sun ? "0.000" : "0.00";
    addLine(out, " ");
    addLine(out, "Estimated number of days with expectation values above threshold:");
    addLine(out, "");
    std::string titles = " Threshold      " + alignRight("Best", 15);
    std::string units = alignRight(unit, 10) + std::string(6, ' ') + alignRight("Days", 15);
    if (t.hasBounds) {
        titles += alignRight(o.level.lowTitle(), 15) + alignRight(o.level.highTitle(), 15);
        units += alignRight("Days", 15) + alignRight("Days", 15);
    }
    addLine(out, titles);
    addLine(out, units);
    for (size_t k = 1; k <= kThresholdCount; ++k) {
        std::string row = alignRight(formatPicture(t.Threshold[k], pattern), 10) + std::string(6, ' ') +
                          alignRight(std::to_string(t.Days[k]), 15);
        if (t.hasBounds)
            row += alignRight(std::to_string(t.DaysLow[k]), 15) + alignRight(std::to_string(t.DaysHigh[k]), 15);
        addLine(out, row);
    }
}

std::string stationNumbers(const Station& s) {
    std::string row = alignRight(two(s.Lon), 10) + alignRight(two(s.Lat), 10) + alignRight(two(s.Alt), 10) +
                      alignRight(two(s.Dist), 10);
    if (s.Dir == kUnknown) return row + std::string(10, ' ');
    return row + alignRight(two(s.Dir), 10);
}

void writeStationTable(std::string& out, const NeighbourSet& n) {
    addLine(out, " ");
    addLine(out, "Neighboring stations used for the estimation:");
    addLine(out, " ");
    std::string titles;
    for (const char* t : {"Station", "Long.", "Lat.", "Elev.", "Dist.", "Direc.", "Direc."}) titles += alignRight(t, 10);
    titles += alignRight("Name", 15) + alignRight("Country", 15);
    addLine(out, titles);
    addLine(out, " ");
    for (int i = 1; i <= n.NeighbourCount; ++i) {
        const Station& s = n[i];
        std::string row = alignRight(std::to_string(i), 10) + stationNumbers(s);
        row += s.Dir == kUnknown ? std::string(10, ' ') : alignRight(s.DirCode, 10);
        row += alignRight(firstChars(s.Name, 13), 15) + alignRight(firstChars(s.Country, 13), 15);
        addLine(out, row);
    }
    addLine(out, alignRight("Mean", 10) + stationNumbers(n[21]));
    addLine(out, " ");
}

/// Puts `text` at 1-based `column`, padding with blanks; a line already past the column
/// (a long number before it) goes on where it is, so a row never breaks.
void atColumn(std::string& line, size_t column, const std::string& text) {
    const size_t width = textWidth(line);
    if (width + 1 < column) line += std::string(column - 1 - width, ' ');
    line += text;
}

/// A number as the observation table writes it: a blank in place of the sign of a value that
/// is not negative, and one blank after it.
/// The number has the seven significant digits a single-precision value carries: a mean or a
/// converted value reads "3.82", not the float's full round-trip text "3.8200002".
std::string printedNumber(float v) {
    return (v < 0 ? "" : " ") + fmt::format("{:.7g}", v == 0.0f ? 0.0f : v) + " ";
}

/// The same number on paper: rounded so that it stays within its 7-character column (a
/// blank or the sign, at most 5 more characters, a blank), never "-0.00".
std::string printedColumnNumber(float v) {
    const float size = std::fabs(v);
    const int decimals = size < 99.995f ? 2 : size < 999.95f ? 1 : 0;
    std::string text = fmt::format("{:.{}f}", v, decimals);
    if (text.find_first_not_of("-0.") == std::string::npos && text[0] == '-') text.erase(0, 1);
    return (text[0] == '-' ? "" : " ") + text + " ";
}

void writeObservationTable(std::string& out, const NeighbourSet& n, bool printed) {
    static const char* const titles[13] = {" Jan", " Feb", " Mar", " Apr", " May", " Jun", " Jul",
                                           " Aug", " Sep", " Okt", " Nov", " Dec", " Annual"};
    const auto column = [](size_t m) { return 10 + 7 * (m - 1); };  // months 1..13
    addLine(out, "Observed mean annual cycles at neighboring stations");
    addLine(out, " ");
    std::string head = "Number";
    for (size_t m = 1; m <= 13; ++m) atColumn(head, column(m), titles[m - 1]);
    addLine(out, head);
    const auto row = [&](const std::string& label, const Station& s) {
        std::string line = label;
        for (size_t m = 1; m <= 12; ++m)
            atColumn(line, column(m), printed ? printedColumnNumber(s.Data[m]) : printedNumber(s.Data[m]));
        atColumn(line, column(13), two(s.Data[13]));
        addLine(out, line);
    };
    for (int i = 1; i <= n.NeighbourCount; ++i) row(std::to_string(i), n[i]);
    row("Mean", n[21]);
    addLine(out, " ");
}

}  // namespace

std::string degreesMinutesSeconds(float value, bool latitude) {
    const char* hemisphere = latitude ? (value < 0 ? " S " : " N ") : (value < 0 ? " W " : " E ");
    // Whole seconds, rounded (41.99 is 41°59' 24'').
    long seconds = std::lround(std::fabs(static_cast<double>(value)) * 3600.0);
    const long degrees = seconds / 3600;
    seconds -= degrees * 3600;
    const long minutes = seconds / 60;
    seconds -= minutes * 60;
    return std::to_string(degrees) + "°" + std::to_string(minutes) + "' " + std::to_string(seconds) + "''" +
           hemisphere;
}

std::string unitText(int variable) {
    switch (variable) {
        case Temp: case Tmax: case Tmin: return "°C ";
        case Prec: case PET: return "mm ";
        case Vap: return "hPa";
        case Wind: return "m/s";
        default: return " ";
    }
}

std::string longVariableName(int variable) {
    return variable >= 0 && variable < kVariableCount ? kVariableTitles[static_cast<size_t>(variable)] : "";
}

std::string reportBlock(const VariableResult& result, const ProgramSettings& settings, const ReportOptions& options) {
    std::string out;
    writeHead(out, result, settings, options);
    if (options.quantities.any()) writeMonthlyTable(out, result, options);
    if (options.dekadal) writeDekadalSection(out, result, options);
    if (options.daily) writeDailySection(out, result, options);
    if (options.thresholds) writeThresholdSection(out, result, options);
    if (options.stations) writeStationTable(out, result.neighbours);
    if (options.observations) writeObservationTable(out, result.neighbours, options.printed);
    addLine(out, kProviderLine);
    return toWindows1252(out);
}

std::string formatReport(const VariableResults& results, const VariableSelection& selection,
                         const ProgramSettings& settings, const ReportOptions& options) {
    std::string out;
    for (size_t v = 0; v < results.size(); ++v)
        if (selection[v]) out += reportBlock(results[v], settings, options);
    return out;
}

}  // namespace zentrel
