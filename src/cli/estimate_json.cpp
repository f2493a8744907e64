// Hand-written JSON so that every single-precision number is written in the shortest form
// that reads back to the same float (a double-based JSON library would write 0.1f as
// 0.10000000149011612).
#include "cli/estimate_json.h"

#include <fmt/compile.h>
#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <string_view>

#include "base/picture.h"
#include "formats/shown_values.h"
#include "formats/text_output.h"
#include "version.h"

namespace zentrel::cli {

namespace {

// The answer is appended to one string: the service writes thousands of these a second, and a
// string per number and per station would cost as much as the estimate's own arithmetic.

void num(std::string& out, float v) {
    if (!std::isfinite(v)) {
        out += "null";
        return;
    }
    // The shortest round-trip form, as roundTripFloat() writes it (0 for -0).
    fmt::format_to(std::back_inserter(out), FMT_COMPILE("{}"), v == 0.0f ? 0.0f : v);
}

void whole(std::string& out, long long v) { fmt::format_to(std::back_inserter(out), FMT_COMPILE("{}"), v); }

void str(std::string& out, std::string_view text) {
    // Station files may hold Windows-1252 names; JSON must be UTF-8. Most names are plain ASCII.
    const bool plain = std::all_of(text.begin(), text.end(), [](char ch) {
        const auto c = static_cast<unsigned char>(ch);
        return c >= 0x20 && c < 0x80 && c != '"' && c != '\\';
    });
    out += '"';
    if (plain) {
        out += text;
        out += '"';
        return;
    }
    for (unsigned char c : toValidUtf8(text)) {
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
    out += '"';
}

void months(std::string& out, const Monthly& a, bool annual = true) {
    out += '[';
    for (int m = 1; m <= 13; ++m) {
        if (m > 1) out += ',';
        if (m == 13 && !annual) out += "null";
        else num(out, a[static_cast<size_t>(m)]);
    }
    out += ']';
}

// A member after the first of an object on one line: its key with the comma before it, then the value.
void field(std::string& out, std::string_view key, float v) {
    out += key;
    num(out, v);
}
void field(std::string& out, std::string_view key, int v) {
    out += key;
    whole(out, v);
}
void field(std::string& out, std::string_view key, bool v) {
    out += key;
    out += v ? "true" : "false";
}
void field(std::string& out, std::string_view key, const std::string& v) {
    out += key;
    str(out, v);
}

constexpr std::string_view kNoValues = "[null,null,null,null,null,null,null,null,null,null,null,null,null]";

void monthNames(std::string& out, const std::array<std::string, 14>& a) {
    out += '[';
    for (int m = 1; m <= 13; ++m) {
        if (m > 1) out += ',';
        str(out, a[static_cast<size_t>(m)]);
    }
    out += ']';
}

// A station's fields, without the closing brace.
void stationFields(std::string& out, const Station& s) {
    field(out, "{\"name\":", s.Name);
    field(out, ",\"country\":", s.Country);
    field(out, ",\"lon\":", s.Lon);
    field(out, ",\"lat\":", s.Lat);
    field(out, ",\"alt\":", s.Alt);
    field(out, ",\"dist\":", s.Dist);
    field(out, ",\"dir\":", s.Dir);
    field(out, ",\"dirCode\":", s.DirCode);
    field(out, ",\"active\":", static_cast<int>(s.Active));
    field(out, ",\"weight\":", s.Weight);
    out += ",\"data\":";
    months(out, s.Data);
}

// A neighbour: the station, then where it comes from (null where the folder keeps no station
// table or the table does not list it).
void neighbour(std::string& out, const Station& s, const StationOrigin* o) {
    stationFields(out, s);
    const auto text = [&out](const std::string& t) {
        if (t.empty()) out += "null";
        else str(out, t);
    };
    out += ",\"source\":";
    if (o) text(o->source);
    else out += "null";
    out += ",\"period\":";
    if (o) text(o->period);
    else out += "null";
    out += ",\"years\":";
    if (!o || o->yearsMax <= 0) {
        out += "null";
    } else {
        out += '[';
        whole(out, o->yearsMin);
        out += ',';
        whole(out, o->yearsMax);
        out += ']';
    }
    out += '}';
}

void estimateJsonTo(std::string& out, const VariableResult& r, int indent) {
    const std::string pad(static_cast<size_t>(indent), ' ');
    const std::string in = pad + "  ";
    const auto line = [&](std::string_view name) {  // a member's indent and name
        out += in;
        out += '"';
        out += name;
        out += "\": ";
    };
    const EstimateResult& e = r.result;
    out += pad;
    out += "{\n";
    line("program");
    str(out, std::string("Zentrel ") + programVersion());
    out += ",\n";
    line("variable");
    str(out, kVariableNames[static_cast<size_t>(r.variable)]);
    out += ",\n";
    // What the thirteenth value of Best, Bias and StdErr is: the year's total of an amount.
    line("annual");
    str(out, annualIsTotal(r.variable) ? "total" : "mean");
    out += ",\n";
    line("location");
    field(out, "{\"lon\":", r.location.Lon);
    field(out, ",\"lat\":", r.location.Lat);
    field(out, ",\"alt\":", r.location.Alt);
    out += "},\n";
    line("neighbourCount");
    whole(out, r.neighbours.NeighbourCount);
    out += ",\n";
    line("activeCount");
    whole(out, r.neighbours.ActiveCount);
    out += ",\n";
    line("activeAltCount");
    whole(out, r.neighbours.ActiveAltCount);
    out += ",\n";
    line("neighbours");
    out += '[';
    for (int i = 1; i <= r.neighbours.NeighbourCount; ++i) {
        if (i > 1) out += ',';
        out += '\n';
        out += in;
        out += "  ";
        neighbour(out, r.neighbours[i], r.origins[static_cast<size_t>(i)].get());
    }
    if (r.neighbours.NeighbourCount > 0) {
        out += '\n';
        out += in;
    }
    out += "],\n";
    line("mean");
    stationFields(out, r.neighbours[21]);
    out += "},\n";
    line("result");
    out += "{\n";
    // What was not estimated is null, not 0: everything without an active neighbour, annual
    // values where the engine makes none (one active station), Bias and StdErr without an
    // error estimate.
    const bool annual = hasAnnualValues(r) && hasEstimate(r);
    const auto member = [&](std::string_view name) {
        out += in;
        out += "  ";
        str(out, name);
        out += ": ";
    };
    for (const auto& [name, q] : {std::pair{"Best", ShownQuantity::Best}, std::pair{"Bias", ShownQuantity::Bias},
                                  std::pair{"StdErr", ShownQuantity::StdErr}}) {
        Monthly shown{};
        for (int m = 1; m <= 13; ++m) shown[static_cast<size_t>(m)] = readerValue(r, q, m, 0);
        member(name);
        months(out, shown);
        out += ",\n";
    }
    for (const auto& [name, a] : {std::pair{"AbsGrad", &e.AbsGrad}, std::pair{"DirecGrad", &e.DirecGrad}}) {
        member(name);
        if (hasEstimate(r)) months(out, *a, annual);
        else out += kNoValues;
        out += ",\n";
    }
    member("DirecGradName");
    monthNames(out, e.DirecGradName);
    out += ",\n";
    // The limits that acted in each month and the annual value, "" where none did.
    std::array<std::string, 14> caps;
    for (size_t m = 1; m <= 13; ++m) caps[m] = capNames(e.Caps[m]);
    member("Caps");
    monthNames(out, caps);
    out += ",\n";
    const std::pair<const char*, const Monthly*> rest[] = {
        {"VertGrad", &e.VertGrad}, {"LongGradDeg", &e.LongGradDeg}, {"LatGradDeg", &e.LatGradDeg},
        {"LongGrad", &e.LongGrad}, {"LatGrad", &e.LatGrad},         {"VertExplVar", &e.VertExplVar},
        {"AnnualCycle", &e.AnnualCycle}};
    for (size_t k = 0; k < std::size(rest); ++k) {
        member(rest[k].first);
        if (hasEstimate(r)) months(out, *rest[k].second, annual || k + 1 == std::size(rest));
        else out += kNoValues;
        out += k + 1 < std::size(rest) ? ",\n" : "\n";
    }
    out += in;
    out += "},\n";
    const WarningFlags& w = r.warnings;
    line("warnings");
    field(out, "{\"WarnHigh\":", w.WarnHigh);
    field(out, ",\"WarnLow\":", w.WarnLow);
    field(out, ",\"WarnLonely\":", w.WarnLonely);
    field(out, ",\"WarnStrange\":", w.WarnStrange);
    field(out, ",\"WarnDoubled\":", w.WarnDoubled);
    field(out, ",\"WarnFew\":", w.WarnFew);
    field(out, ",\"WarnHit\":", w.WarnHit);
    field(out, ",\"StrangeMonth\":", static_cast<int>(w.StrangeMonth));
    field(out, ",\"StrangeStation\":", static_cast<int>(w.StrangeStation));
    field(out, ",\"WarnRecord\":", w.WarnRecord);
    field(out, ",\"RecordMonth\":", static_cast<int>(w.RecordMonth));
    out += "},\n";
    line("messages");
    out += '[';
    for (size_t k = 0; k < r.messages.size(); ++k) {
        if (k) out += ',';
        field(out, "{\"title\":", r.messages[k].title);
        field(out, ",\"text\":", r.messages[k].text);
        out += '}';
    }
    out += "]\n";
    out += pad;
    out += '}';
}

// Room for one variable's answer with twenty neighbours, so that the string grows once or not at all.
constexpr size_t kAnswerBytes = 12 << 10;

}  // namespace

std::string estimateJson(const VariableResult& r, int indent) {
    std::string out;
    out.reserve(kAnswerBytes);
    estimateJsonTo(out, r, indent);
    return out;
}

std::string estimatesJson(const std::vector<VariableResult>& results) {
    std::string out;
    out.reserve(kAnswerBytes * results.size() + 8);
    out += "[\n";
    for (size_t k = 0; k < results.size(); ++k) {
        estimateJsonTo(out, results[k], 2);
        out += k + 1 < results.size() ? ",\n" : "\n";
    }
    out += ']';
    return out;
}

}  // namespace zentrel::cli
