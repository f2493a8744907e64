// Validation report writers.
#include "validation/validation_report.h"

#include <fmt/format.h>

#include <nlohmann/json.hpp>

#include "base/picture.h"
#include "version.h"

namespace zentrel {

namespace {

// Sunshine is a fraction: it needs more decimals than the others.
std::string num(double v, int variable) { return variable == Sun ? fmt::format("{:.3f}", v) : fmt::format("{:.2f}", v); }
// An error statistic over no held-out value is no value, not 0.
std::string num(const ErrorSums& e, double (ErrorSums::*statistic)() const, int variable) {
    return e.n ? num((e.*statistic)(), variable) : "-";
}
std::string percent(const Coverage& c, int level) { return c.n ? fmt::format("{:.1f}", 100.0 * c.fraction(level)) : "-"; }
bool isTotal(int variable) { return variable == Prec || variable == PET; }

std::string foldText(const ValidationOptions& o) {
    std::string text = o.folds > 0 ? fmt::format("{} folds", o.folds) : std::string("leave one out");
    text += fmt::format(", seed {}", o.seed);
    if (o.sample > 0) text += fmt::format(", subsample of {} stations per variable", o.sample);
    return text;
}

}  // namespace

std::string formatValidationText(const ValidationReport& report) {
    std::string out = "Hold-out validation: " + foldText(report.options);
    // Named only when not the described method, whose report stays as it was.
    if (report.method != Method::Described) out += std::string(", method ") + methodName(report.method);
    out += "\n";
    out += "Errors are estimate minus observed. Monthly: over the twelve months of every station; annual: the mean\n"
           "of the months (the sum for Prec and PET). In 90/95/99: held-out monthly values within Best -/+ k x StdErr.\n\n";
    out += fmt::format("{:<6} {:>8} {:>6} {:>7} {:>7} {:>7} {:>8} {:>8} {:>8} {:>7} {:>6} {:>6} {:>6} {:>8}\n", "Var",
                       "Stations", "No est", "MAE", "RMSE", "Bias", "Ann MAE", "Ann RMSE", "Ann Bias", "Rel MAE",
                       "In 90", "In 95", "In 99", "Outside");
    for (const VariableValidation& v : report.variables) {
        const GroupStats& a = v.all;
        out += fmt::format("{:<6} {:>8} {:>6} {:>7} {:>7} {:>7} {:>8} {:>8} {:>8} {:>7} {:>6} {:>6} {:>6} {:>8}\n",
                           kVariableNames[static_cast<size_t>(v.variable)], a.stations, v.notEstimated,
                           num(a.monthly, &ErrorSums::mae, v.variable), num(a.monthly, &ErrorSums::rmse, v.variable),
                           num(a.monthly, &ErrorSums::bias, v.variable), num(a.annual, &ErrorSums::mae, v.variable),
                           num(a.annual, &ErrorSums::rmse, v.variable), num(a.annual, &ErrorSums::bias, v.variable),
                           isTotal(v.variable) && a.monthly.n ? fmt::format("{:.1f}%", 100 * a.monthly.relativeMae()) : "-",
                           percent(a.coverage, 0), percent(a.coverage, 1), percent(a.coverage, 2), v.outsidePhysical);
    }
    for (const VariableValidation& v : report.variables) {
        const std::string name = kVariableNames[static_cast<size_t>(v.variable)];
        out += fmt::format("\n{}: {} of {} stations held out\n", name, v.stations.size(), v.candidates);
        out += fmt::format("  {:<14} {:>8} {:>7} {:>7} {:>7} {:>8} {:>6}\n", "Continent", "Stations", "MAE", "RMSE",
                           "Bias", "Ann MAE", "In 90");
        for (int c = 0; c < kContinentCount; ++c) {
            const GroupStats& g = v.continents[static_cast<size_t>(c)];
            if (g.stations == 0) continue;
            out += fmt::format("  {:<14} {:>8} {:>7} {:>7} {:>7} {:>8} {:>6}\n", kContinentNames[static_cast<size_t>(c)],
                               g.stations, num(g.monthly, &ErrorSums::mae, v.variable), num(g.monthly, &ErrorSums::rmse, v.variable),
                               num(g.monthly, &ErrorSums::bias, v.variable), num(g.annual, &ErrorSums::mae, v.variable), percent(g.coverage, 0));
        }
        out += "  Warnings:";
        for (int f = 0; f < kWarningKinds; ++f)
            out += fmt::format("{} {} {:.1f}%", f ? "," : "", kWarningKindNames[static_cast<size_t>(f)],
                               v.all.stations ? 100.0 * v.warnings[static_cast<size_t>(f)] / v.all.stations : 0.0);
        out += "\n";
        if (v.worst.empty()) continue;
        out += "  Worst residuals (z = error / StdErr):\n";
        out += fmt::format("  {:<28} {:<20} {:>5} {:>9} {:>9} {:>8}\n", "Station", "Country", "Month", "Observed",
                           "Estimated", "z");
        for (const ResidualRow& r : v.worst) {
            const Station& s = v.stations[static_cast<size_t>(r.station)].station;
            out += fmt::format("  {:<28} {:<20} {:>5} {:>9} {:>9} {:>8.1f}\n", s.Name.substr(0, 28), s.Country.substr(0, 20),
                               r.month, num(r.observed, v.variable), num(r.estimated, v.variable), r.z);
        }
    }
    return out;
}

namespace {
nlohmann::json errorsJson(const ErrorSums& e) {
    if (e.n == 0) return {{"n", 0}, {"mae", nullptr}, {"rmse", nullptr}, {"bias", nullptr}, {"relativeMae", nullptr}};
    return {{"n", e.n}, {"mae", e.mae()}, {"rmse", e.rmse()}, {"bias", e.bias()}, {"relativeMae", e.relativeMae()}};
}
nlohmann::json fractionJson(const Coverage& c, int level) {
    return c.n ? nlohmann::json(c.fraction(level)) : nlohmann::json(nullptr);
}
nlohmann::json groupJson(const GroupStats& g) {
    return {{"stations", g.stations},
            {"monthly", errorsJson(g.monthly)},
            {"annual", errorsJson(g.annual)},
            {"coverage", {{"n", g.coverage.n},
                          {"in90", fractionJson(g.coverage, 0)},
                          {"in95", fractionJson(g.coverage, 1)},
                          {"in99", fractionJson(g.coverage, 2)}}}};
}
}  // namespace

std::string formatValidationJson(const ValidationReport& report) {
    const ValidationOptions& o = report.options;
    nlohmann::json doc;
    doc["program"] = std::string("Zentrel ") + programVersion();
    doc["folds"] = o.folds;  // 0 = leave one out
    doc["seed"] = o.seed;
    if (report.method != Method::Described) doc["method"] = methodName(report.method);
    doc["sample"] = o.sample;
    doc["variables"] = nlohmann::json::array();
    for (const VariableValidation& v : report.variables) {
        nlohmann::json j = groupJson(v.all);
        j["variable"] = kVariableNames[static_cast<size_t>(v.variable)];
        j["candidates"] = v.candidates;
        j["heldOut"] = v.stations.size();
        j["notEstimated"] = v.notEstimated;
        j["outsidePhysicalRange"] = v.outsidePhysical;
        for (int c = 0; c < kContinentCount; ++c)
            if (v.continents[static_cast<size_t>(c)].stations)
                j["continents"][kContinentNames[static_cast<size_t>(c)]] = groupJson(v.continents[static_cast<size_t>(c)]);
        for (int f = 0; f < kWarningKinds; ++f) j["warnings"][kWarningKindNames[static_cast<size_t>(f)]] = v.warnings[static_cast<size_t>(f)];
        j["worst"] = nlohmann::json::array();
        for (const ResidualRow& r : v.worst) {
            const Station& s = v.stations[static_cast<size_t>(r.station)].station;
            j["worst"].push_back({{"station", s.Name}, {"country", s.Country}, {"lon", s.Lon}, {"lat", s.Lat},
                                  {"alt", s.Alt}, {"month", r.month}, {"observed", r.observed},
                                  {"estimated", r.estimated}, {"z", r.z}});
        }
        doc["variables"].push_back(std::move(j));
    }
    return doc.dump(2) + "\n";
}

std::string formatValidationCsv(const ValidationReport& report) {
    auto quoted = [](std::string t) {
        for (char& c : t)
            if (c == '"') c = '\'';
        return "\"" + t + "\"";
    };
    std::string out = "variable,station,country,lon,lat,alt,continent,fold,month,observed,estimated,stderr,z\n";
    for (const VariableValidation& v : report.variables)
        for (const HeldOut& h : v.stations) {
            if (!h.estimated) continue;
            const std::string head = fmt::format("{},{},{},{},{},{},{},{}", kVariableNames[static_cast<size_t>(v.variable)],
                                                 quoted(h.station.Name), quoted(h.station.Country), shortestFloat(h.station.Lon),
                                                 shortestFloat(h.station.Lat), shortestFloat(h.station.Alt),
                                                 kContinentNames[static_cast<size_t>(h.continent)], h.fold);
            for (int m = 1; m <= 13; ++m) {
                const size_t i = static_cast<size_t>(m);
                const float obs = m == 13 ? annualValue(h.station.Data, v.variable) : h.station.Data[i];
                const float est = m == 13 ? annualValue(h.best, v.variable) : h.best[i];
                float se = h.stdErr[i];
                if (m == 13 && isTotal(v.variable)) se *= 12;  // the annual error of a total scales with it
                // Without an error estimate the fields are empty, not an error of 0.
                const bool error = h.errorEstimate && se > 0;
                const std::string z = error ? shortestFloat((est - obs) / se) : "";
                out += fmt::format("{},{},{},{},{},{}\n", head, m, shortestFloat(obs), shortestFloat(est),
                                   error ? shortestFloat(se) : "", z);
            }
        }
    return out;
}

}  // namespace zentrel
