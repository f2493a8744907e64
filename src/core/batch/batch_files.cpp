// Names, heads and lines of the batch result files.
#include "batch/batch_files.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "base/picture.h"
#include "formats/shown_values.h"
#include "season/cycle.h"

namespace zentrel {

namespace {


std::string line(const std::string& text) {
    std::string out;
    addLine(out, toWindows1252(text));
    return out;
}

std::string positionColumns(const Location& l) {
    return alignRight(formatNumber(l.Lon, 2), 8) + alignRight(formatNumber(l.Lat, 2), 8) +
           alignRight(formatNumber(l.Alt, 0), 8);
}

}  // namespace

std::string runPrefix(std::time_t start) {
    std::tm local{};
    localtime_r(&start, &local);
    char text[32];
    std::strftime(text, sizeof text, "%d%m%Y_%H%M%S", &local);
    return std::string("Zentrel ") + text;
}

std::string formatNumber(float value, int decimals) {
    const std::string pattern = decimals > 0 ? "0." + std::string(static_cast<size_t>(decimals), '0') : "0";
    std::string text = formatPicture(value, pattern);
    if (text.empty() || !(text[0] == '-' || (text[0] >= '0' && text[0] <= '9'))) return text;  // nan, inf
    if (text[0] == '-' && text.find_first_of("123456789") == std::string::npos) text.erase(0, 1);
    const size_t digitsStart = text[0] == '-' ? 1 : 0;
    size_t point = text.find('.');
    if (point == std::string::npos) point = text.size();
    for (size_t pos = point; pos > digitsStart + 3; pos -= 3) text.insert(pos - 3, ",");
    return text;
}

std::vector<Quantity> selectedQuantities(const QuantitySelection& s) {
    std::vector<Quantity> out;
    if (s.best) out.push_back(Quantity::Best);
    if (s.interval) {
        out.push_back(Quantity::Low);
        out.push_back(Quantity::High);
    }
    if (s.stdErr) out.push_back(Quantity::StdErr);
    if (s.bias) out.push_back(Quantity::Bias);
    if (s.slope) out.push_back(Quantity::VertGrad);
    if (s.explVar) out.push_back(Quantity::VertExplVar);
    if (s.absGrad) out.push_back(Quantity::AbsGrad);
    if (s.dirGrad) {
        out.push_back(Quantity::DirecGrad);
        out.push_back(Quantity::DirecGradString);
    }
    if (s.longGrad) out.push_back(Quantity::LongGrad);
    if (s.latGrad) out.push_back(Quantity::LatGrad);
    return out;
}

const char* quantitySuffix(Quantity q) {
    switch (q) {
        case Quantity::Best: return "_Best.zte";
        case Quantity::Low: return "_Low.zte";
        case Quantity::High: return "_High.zte";
        case Quantity::StdErr: return "_StdErr.zte";
        case Quantity::Bias: return "_Bias.zte";
        case Quantity::VertGrad: return "_VertGrad.zte";
        case Quantity::VertExplVar: return "_VertExplVar.zte";
        case Quantity::AbsGrad: return "_AbsGrad.zte";
        case Quantity::DirecGrad: return "_DirecGrad.zte";
        case Quantity::DirecGradString: return "_DirecGradString.zte";
        case Quantity::LongGrad: return "_LongGrad.zte";
        case Quantity::LatGrad: return "_LatGrad.zte";
    }
    return "";
}

std::string quantityFileName(const std::string& prefix, int variable, Quantity q) {
    return prefix + "_" + kVariableNames[static_cast<size_t>(variable)] + quantitySuffix(q);
}
std::string variableInfoFileName(const std::string& prefix, int variable) {
    return prefix + "_" + kVariableNames[static_cast<size_t>(variable)] + "_INFO.zte";
}
std::string runInfoFileName(const std::string& prefix) { return prefix + "_INFORMATION.zte"; }

std::string quantityFileHead(Quantity q, int variable) {
    const std::string title = kVariableTitles[static_cast<size_t>(variable)];
    std::string first;
    switch (q) {
        case Quantity::Best: first = " Best Estimate of " + title; break;
        case Quantity::Low: first = " Low Estimate of " + title; break;
        case Quantity::High: first = " High Estimate of " + title; break;
        case Quantity::StdErr: first = " Standard Error of " + title; break;
        case Quantity::Bias: first = " Eliminated Bias of " + title; break;
        case Quantity::VertGrad: first = "Vertical Gradient of " + title + " per 100 m Altitude"; break;
        case Quantity::VertExplVar:
            first = "Explained Variance of Verical Gradient of " + title + " (dimensionless)";
            break;
        case Quantity::AbsGrad: first = "Absolute of Horizontal Gradient of " + title + " per 100 km"; break;
        case Quantity::DirecGrad: first = "Direction of Horizontal Gradient of " + title + " in Degrees"; break;
        case Quantity::DirecGradString: first = "Direction of Horizontal Gradient of " + title; break;
        case Quantity::LongGrad: first = "Longitudinal Gradient of " + title + " per 100 km"; break;
        case Quantity::LatGrad: first = "Latitudinal Gradient of " + title + " per 100 km"; break;
    }
    std::string head = "\t\t\t" + alignRight("Long.", 8) + alignRight("Lat.", 8) + alignRight("Alt.", 8);
    for (const char* month : kMonthAbbreviations) head += alignRight(month, 10);
    head += alignRight("Annual", 10);
    return line(first) + line(head) + line("");
}

std::string quantityLine(Quantity q, const std::string& name, const VariableResult& r, float k) {
    const EstimateResult& e = r.result;
    const int v = r.variable;
    std::string text = name + "  " + positionColumns(r.location);
    for (size_t m = 1; m <= 13; ++m) {
        if (q == Quantity::DirecGradString) {
            text += alignRight(e.DirecGradName[m], 10);
            continue;
        }
        const int month = static_cast<int>(m);
        float value = 0;
        switch (q) {
            case Quantity::Best: value = ClipValue(shownValue(r, ShownQuantity::Best, month, k), v); break;
            case Quantity::Low: value = shownValue(r, ShownQuantity::Low, month, k); break;
            case Quantity::High: value = shownValue(r, ShownQuantity::High, month, k); break;
            case Quantity::StdErr: value = shownValue(r, ShownQuantity::StdErr, month, k); break;
            case Quantity::Bias: value = shownValue(r, ShownQuantity::Bias, month, k); break;
            case Quantity::VertGrad: value = e.VertGrad[m] * 100; break;  // stored per metre
            case Quantity::VertExplVar: value = e.VertExplVar[m]; break;
            case Quantity::AbsGrad: value = e.AbsGrad[m]; break;
            case Quantity::DirecGrad: value = e.DirecGrad[m]; break;
            case Quantity::LongGrad: value = e.LongGrad[m]; break;
            case Quantity::LatGrad: value = e.LatGrad[m]; break;
            case Quantity::DirecGradString: break;
        }
        // What was not estimated (no neighbour, no error estimate, no annual value) is "-".
        const bool none = !std::isfinite(value) || !hasEstimate(r) || (m == 13 && !hasAnnualValues(r));
        text += alignRight(none ? std::string("-") : formatNumber(value, 3), 10);
    }
    return line(text);
}

std::string infoFileHead(bool runFile, const std::string& source, const std::string& folder, Method method) {
    std::string head = runFile ? "" : "\t\t\t";
    head += alignRight("Long.", 8) + alignRight("Lat.", 8) + alignRight("Alt.", 8);
    for (const char* title : {"Neighb.", "Exponent", "Ave(Long)", "Ave(Lat)", "Min(Dist)", "Ave(Dist)", "Max(Dist)",
                              "Min(Alt)", "Ave(Alt)", "Max(Alt)"})
        head += alignRight(title, 10);
    head += alignRight("Correct.", 11) + alignRight("Warnings", 10);
    std::string out;
    if (runFile)
        out = line("Some Information about the last automatic run of Zentrel with the input file " + source) +
              line("Path " + folder);
    // The described method's files stay as they always were.
    if (runFile && method != Method::Described) out += line(std::string("Estimation method: ") + methodName(method));
    return out + line(head) + line("");
}

std::string infoLine(const std::string& name, const VariableResult& r, const ProgramSettings& settings) {
    const NeighbourSet& ns = r.neighbours;
    const Station& mean = ns[21];
    // Distances and altitudes of the active neighbours (the mean entry averages the same
    // ones); the largest distance is that of the last selected neighbour.
    float minDist = 0, maxDist = 0, minAlt = kUnknown, maxAlt = kUnknown;
    bool anyAlt = false, anyActive = false;
    for (int i = 1; i <= ns.NeighbourCount; ++i) {
        const Station& s = ns[i];
        if (s.Active != 1) continue;
        minDist = anyActive ? std::min(minDist, s.Dist) : s.Dist;
        anyActive = true;
        if (s.Alt == kUnknown) continue;
        minAlt = anyAlt ? std::min(minAlt, s.Alt) : s.Alt;
        maxAlt = anyAlt ? std::max(maxAlt, s.Alt) : s.Alt;
        anyAlt = true;
    }
    if (ns.NeighbourCount > 0) maxDist = ns[ns.NeighbourCount].Dist;
    const float aveAlt = anyAlt ? mean.Alt : kUnknown;

    // "Neighbours used" are the active ones; a mean or extreme without any altitude is 9999.
    std::string text = name + "  " + positionColumns(r.location);
    const float numbers[] = {static_cast<float>(ns.ActiveCount), settings.PowExp, mean.Lon, mean.Lat, minDist,
                             mean.Dist, maxDist, minAlt, aveAlt, maxAlt};
    const int decimals[] = {0, 3, 2, 2, 0, 0, 0, 0, 0, 0};
    for (size_t i = 0; i < std::size(numbers); ++i) text += alignRight(formatNumber(numbers[i], decimals[i]), 10);

    text += "       " + correctionsField(r, settings);
    text += "   " + warningsField(r, anyAlt, minAlt, maxAlt);
    return line(text);
}

std::string correctionsField(const VariableResult& r, const ProgramSettings& settings) {
    const NeighbourSet& ns = r.neighbours;
    std::string text;
    text += settings.AltCorr == 1 && ns.ActiveAltCount >= 3 ? 'A' : 'X';
    text += settings.GradCorr == 1 && ns.ActiveCount >= 6 ? 'G' : 'X';
    text += settings.ShadowOn == 1 && ns.ActiveCount >= 3 ? 'S' : 'X';
    return text;
}

std::string warningsField(const VariableResult& r, bool anyAlt, float minAlt, float maxAlt) {
    std::string text;
    const float alt = r.location.Alt;
    if (anyAlt && minAlt > alt) text += "Low  ";
    if (anyAlt && maxAlt < alt) text += "High  ";
    const WarningFlags& w = r.warnings;
    if (w.WarnDoubled) text += "Doubled  ";
    if (w.WarnFew) text += "Few  ";
    if (w.WarnHit) text += "Hit  ";
    if (w.WarnLonely) text += "Lonely  ";
    if (w.WarnStrange) text += "Strange  ";
    if (w.WarnRecord) text += "Record  ";
    return text;
}

std::string summaryLine(const VariableResult& r, const ProgramSettings& settings) {
    const NeighbourSet& ns = r.neighbours;
    const Station& mean = ns[21];
    float minAlt = 0, maxAlt = 0;
    bool anyAlt = false;
    for (int i = 1; i <= ns.NeighbourCount; ++i) {
        const Station& s = ns[i];
        if (s.Active != 1 || s.Alt == kUnknown) continue;
        minAlt = anyAlt ? std::min(minAlt, s.Alt) : s.Alt;
        maxAlt = anyAlt ? std::max(maxAlt, s.Alt) : s.Alt;
        anyAlt = true;
    }
    const Location& l = r.location;
    std::string warnings = warningsField(r, anyAlt, minAlt, maxAlt);
    while (!warnings.empty() && warnings.back() == ' ') warnings.pop_back();
    return fmt::format("{}, {}, {}, {}, {}, {}, {}, {}, {}, {}", kVariableNames.at(static_cast<size_t>(r.variable)),
                       formatPicture(l.Lon, "##0.00"), formatPicture(l.Lat, "##0.00"), formatPicture(l.Alt, "###0"),
                       formatPicture(mean.Lon, "##0.00"), formatPicture(mean.Lat, "##0.00"),
                       anyAlt ? formatPicture(mean.Alt, "###0") : std::string("9999"),
                       ns.ActiveCount, correctionsField(r, settings), warnings);
}

}  // namespace zentrel
