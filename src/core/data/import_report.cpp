// Summary text of an import.
#include "data/import_report.h"

#include <fmt/format.h>

namespace zentrel {

PlausibleRange plausibleRange(int variable) {
    switch (variable) {
        case Temp:
        case Tmax:
        case Tmin: return {-90, 55};  // colder than the Antarctic plateau or hotter than Death Valley
        case Prec: return {0, 3000};  // the wettest months on record stay below
        case Vap: return {0, 80};     // saturation at 40 °C is 74 hPa
        case PET: return {0, 500};
        case Wind: return {0, 40};
        default: return {0, 1};
    }
}

std::string formatImportSummary(const ImportReport& report) {
    std::string out;
    for (int v = 0; v < kVariableCount; ++v) {
        const VariableTally& t = report.tally[static_cast<size_t>(v)];
        long droppedValues = 0;
        for (const auto& [reason, n] : t.dropped) droppedValues += n;
        out += fmt::format("{:<4}  {:>6} stations kept; {} values read, {} dropped",
                           kVariableNames[static_cast<size_t>(v)], t.stationsKept, t.valuesRead, droppedValues);
        std::string reasons;
        for (const auto& [reason, n] : t.dropped)
            reasons += fmt::format("{}{} {}", reasons.empty() ? "" : ", ", n, reason);
        if (!reasons.empty()) out += " (" + reasons + ")";
        out += "\n";
        for (const auto& [reason, n] : t.stationsDropped)
            out += fmt::format("      {:>6} stations dropped: {}\n", n, reason);
    }
    for (const std::string& note : report.notes) out += note + "\n";
    if (!report.problems.empty())
        out += fmt::format("{} problems in the input (listed on stderr)\n", report.problems.size());
    return out;
}

}  // namespace zentrel
