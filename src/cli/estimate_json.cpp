// Hand-written JSON so that every single-precision number is written in the shortest form
// that reads back to the same float (a double-based JSON library would write 0.1f as
// 0.10000000149011612).
#include "cli/estimate_json.h"

#include <cmath>

#include "base/picture.h"
#include "formats/shown_values.h"
#include "formats/text_output.h"
#include "version.h"

namespace zentrel::cli {

namespace {

std::string num(float v) {
    if (!std::isfinite(v)) return "null";
    return roundTripFloat(v);
}

std::string str(const std::string& text) {
    // Station files may hold Windows-1252 names; JSON must be UTF-8.
    const std::string s = toValidUtf8(text);
    std::string out = "\"";
    for (unsigned char c : s) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    out += buf;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out + "\"";
}

std::string months(const Monthly& a, bool annual = true) {
    std::string out = "[";
    for (int m = 1; m <= 13; ++m) out += (m > 1 ? "," : "") + (m == 13 && !annual ? "null" : num(a[static_cast<size_t>(m)]));
    return out + "]";
}

std::string noValues() {
    std::string out = "[null";
    for (int m = 2; m <= 13; ++m) out += ",null";
    return out + "]";
}

std::string monthNames(const std::array<std::string, 14>& a) {
    std::string out = "[";
    for (int m = 1; m <= 13; ++m) out += (m > 1 ? "," : "") + str(a[static_cast<size_t>(m)]);
    return out + "]";
}

std::string station(const Station& s) {
    return "{\"name\":" + str(s.Name) + ",\"country\":" + str(s.Country) + ",\"lon\":" + num(s.Lon) +
           ",\"lat\":" + num(s.Lat) + ",\"alt\":" + num(s.Alt) + ",\"dist\":" + num(s.Dist) + ",\"dir\":" + num(s.Dir) +
           ",\"dirCode\":" + str(s.DirCode) + ",\"active\":" + std::to_string(s.Active) + ",\"weight\":" + num(s.Weight) +
           ",\"data\":" + months(s.Data) + "}";
}

// A neighbour: the station, then where it comes from (null where the folder keeps no station
// table or the table does not list it).
std::string neighbour(const Station& s, const StationOrigin* o) {
    std::string out = station(s);
    out.pop_back();
    const auto text = [](const std::string& t) { return t.empty() ? std::string("null") : str(t); };
    out += ",\"source\":" + (o ? text(o->source) : "null") + ",\"period\":" + (o ? text(o->period) : "null");
    out += ",\"years\":";
    if (!o || o->yearsMax <= 0) out += "null";
    else out += "[" + std::to_string(o->yearsMin) + "," + std::to_string(o->yearsMax) + "]";
    return out + "}";
}

const char* boolText(bool b) { return b ? "true" : "false"; }

}  // namespace

std::string estimateJson(const VariableResult& r, int indent) {
    const std::string pad(static_cast<size_t>(indent), ' ');
    const std::string in = pad + "  ";
    const EstimateResult& e = r.result;
    std::string out = pad + "{\n";
    out += in + "\"program\": " + str(std::string("Zentrel ") + programVersion()) + ",\n";
    out += in + "\"variable\": " + str(kVariableNames[static_cast<size_t>(r.variable)]) + ",\n";
    // What the thirteenth value of Best, Bias and StdErr is: the year's total of an amount.
    out += in + "\"annual\": " + str(annualIsTotal(r.variable) ? "total" : "mean") + ",\n";
    out += in + "\"location\": {\"lon\":" + num(r.location.Lon) + ",\"lat\":" + num(r.location.Lat) +
           ",\"alt\":" + num(r.location.Alt) + "},\n";
    out += in + "\"neighbourCount\": " + std::to_string(r.neighbours.NeighbourCount) + ",\n";
    out += in + "\"activeCount\": " + std::to_string(r.neighbours.ActiveCount) + ",\n";
    out += in + "\"activeAltCount\": " + std::to_string(r.neighbours.ActiveAltCount) + ",\n";
    out += in + "\"neighbours\": [";
    for (int i = 1; i <= r.neighbours.NeighbourCount; ++i)
        out += std::string(i > 1 ? "," : "") + "\n" + in + "  " +
               neighbour(r.neighbours[i], r.origins[static_cast<size_t>(i)].get());
    out += r.neighbours.NeighbourCount > 0 ? "\n" + in + "],\n" : "],\n";
    out += in + "\"mean\": " + station(r.neighbours[21]) + ",\n";
    out += in + "\"result\": {\n";
    // What was not estimated is null, not 0: everything without an active neighbour, annual
    // values where the engine makes none (one active station), Bias and StdErr without an
    // error estimate.
    const bool annual = hasAnnualValues(r) && hasEstimate(r);
    for (const auto& [name, q] : {std::pair{"Best", ShownQuantity::Best}, std::pair{"Bias", ShownQuantity::Bias},
                                  std::pair{"StdErr", ShownQuantity::StdErr}}) {
        Monthly shown{};
        for (int m = 1; m <= 13; ++m) shown[static_cast<size_t>(m)] = readerValue(r, q, m, 0);
        out += in + "  " + str(name) + ": " + months(shown) + ",\n";
    }
    for (const auto& [name, a] : {std::pair{"AbsGrad", &e.AbsGrad}, std::pair{"DirecGrad", &e.DirecGrad}})
        out += in + "  " + str(name) + ": " + (hasEstimate(r) ? months(*a, annual) : noValues()) + ",\n";
    out += in + "  \"DirecGradName\": " + monthNames(e.DirecGradName) + ",\n";
    // The limits that acted in each month and the annual value, "" where none did.
    std::array<std::string, 14> caps;
    for (size_t m = 1; m <= 13; ++m) caps[m] = capNames(e.Caps[m]);
    out += in + "  \"Caps\": " + monthNames(caps) + ",\n";
    const std::pair<const char*, const Monthly*> rest[] = {
        {"VertGrad", &e.VertGrad}, {"LongGradDeg", &e.LongGradDeg}, {"LatGradDeg", &e.LatGradDeg},
        {"LongGrad", &e.LongGrad}, {"LatGrad", &e.LatGrad},         {"VertExplVar", &e.VertExplVar},
        {"AnnualCycle", &e.AnnualCycle}};
    for (size_t k = 0; k < std::size(rest); ++k)
        out += in + "  " + str(rest[k].first) + ": " +
               (hasEstimate(r) ? months(*rest[k].second, annual || k + 1 == std::size(rest)) : noValues()) +
               (k + 1 < std::size(rest) ? ",\n" : "\n");
    out += in + "},\n";
    const WarningFlags& w = r.warnings;
    out += in + "\"warnings\": {\"WarnHigh\":" + boolText(w.WarnHigh) + ",\"WarnLow\":" + boolText(w.WarnLow) +
           ",\"WarnLonely\":" + boolText(w.WarnLonely) + ",\"WarnStrange\":" + boolText(w.WarnStrange) +
           ",\"WarnDoubled\":" + boolText(w.WarnDoubled) + ",\"WarnFew\":" + boolText(w.WarnFew) +
           ",\"WarnHit\":" + boolText(w.WarnHit) + ",\"StrangeMonth\":" + std::to_string(w.StrangeMonth) +
           ",\"StrangeStation\":" + std::to_string(w.StrangeStation) + ",\"WarnRecord\":" + boolText(w.WarnRecord) +
           ",\"RecordMonth\":" + std::to_string(w.RecordMonth) + "},\n";
    out += in + "\"messages\": [";
    for (size_t k = 0; k < r.messages.size(); ++k)
        out += std::string(k ? "," : "") + "{\"title\":" + str(r.messages[k].title) + ",\"text\":" + str(r.messages[k].text) + "}";
    out += "]\n" + pad + "}";
    return out;
}

std::string estimatesJson(const std::vector<VariableResult>& results) {
    std::string out = "[\n";
    for (size_t k = 0; k < results.size(); ++k) out += estimateJson(results[k], 2) + (k + 1 < results.size() ? ",\n" : "\n");
    return out + "]";
}

}  // namespace zentrel::cli
