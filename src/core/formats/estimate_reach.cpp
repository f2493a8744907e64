// How far an estimate reaches beyond its neighbours, and the warning strip's words for it.
#include "formats/estimate_reach.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "formats/shown_values.h"

namespace zentrel {

namespace {
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

std::string wholeNumber(float value) { return std::to_string(static_cast<long>(std::lround(value))); }
}  // namespace

bool EstimateReach::anyExtrapolated() const {
    return std::any_of(extrapolated.begin() + 1, extrapolated.begin() + 13, [](bool b) { return b; });
}

EstimateReach estimateReach(const VariableResult& r) {
    EstimateReach reach{kNaN, 0, 0, {}};
    const NeighbourSet& ns = r.neighbours;
    float highest = -std::numeric_limits<float>::infinity(), lowest = std::numeric_limits<float>::infinity();
    std::array<float, 14> top{}, bottom{};
    top.fill(-std::numeric_limits<float>::infinity());
    bottom.fill(std::numeric_limits<float>::infinity());
    bool anyActive = false;
    for (int i = 1; i <= ns.NeighbourCount; ++i) {
        const Station& s = ns[i];
        if (s.Active != 1) continue;
        anyActive = true;
        if (std::isnan(reach.nearestKm) || s.Dist < reach.nearestKm) reach.nearestKm = s.Dist;
        if (s.Alt != kUnknown) {
            highest = std::max(highest, s.Alt);
            lowest = std::min(lowest, s.Alt);
        }
        for (size_t m = 1; m <= 12; ++m) {
            top[m] = std::max(top[m], s.Data[m]);
            bottom[m] = std::min(bottom[m], s.Data[m]);
        }
    }
    if (!anyActive) return reach;
    const float alt = r.location.Alt;
    if (alt != kUnknown && highest >= lowest) {
        reach.aboveHighestM = std::max(0.0f, alt - highest);
        reach.belowLowestM = std::max(0.0f, lowest - alt);
    }
    for (size_t m = 1; m <= 12; ++m) {
        const float best = r.result.Best[m];
        reach.extrapolated[m] = std::isfinite(best) && (best > top[m] || best < bottom[m]);
    }
    return reach;
}

std::string warningStripLine(const VariableResult& r, const std::string& name) {
    if (!hasEstimate(r)) return {};
    const EstimateReach reach = estimateReach(r);
    const WarningFlags& w = r.warnings;
    std::vector<std::string> parts;
    std::string where;
    if (reach.aboveHighestM > 0) where = wholeNumber(reach.aboveHighestM) + " m higher than its highest neighbour";
    else if (reach.belowLowestM > 0) where = wholeNumber(reach.belowLowestM) + " m lower than its lowest neighbour";
    else if (w.WarnHigh) where = "higher than its neighbours";
    else if (w.WarnLow) where = "lower than its neighbours";
    const bool warned = w.WarnHigh || w.WarnLow || w.WarnLonely || w.WarnFew || w.WarnStrange || w.WarnDoubled ||
                        w.WarnHit || w.WarnRecord || reach.anyExtrapolated();
    if (!warned) return {};
    if (!std::isnan(reach.nearestKm) && !w.WarnHit) {
        const std::string nearest = "nearest neighbour " + wholeNumber(reach.nearestKm) + " km away";
        where = where.empty() ? nearest : where + ", " + nearest;
    }
    if (!where.empty()) parts.push_back(where);
    if (w.WarnLonely) parts.push_back("not surrounded by neighbours");
    if (w.WarnFew)
        parts.push_back("few neighbours (" + std::to_string(r.neighbours.ActiveCount) + " active, " +
                        std::to_string(r.neighbours.ActiveAltCount) + " with altitude)");
    if (w.WarnDoubled) parts.push_back("two neighbours at one place");
    if (w.WarnStrange && w.StrangeMonth >= 1 && w.StrangeMonth <= 12)
        parts.push_back("strange data at neighbour " + std::to_string(w.StrangeStation) + " in " +
                        kMonthAbbreviations[static_cast<size_t>(w.StrangeMonth - 1)]);
    else if (w.WarnStrange) parts.push_back("strange data at neighbour " + std::to_string(w.StrangeStation));
    if (w.WarnHit) parts.push_back("within 100 m of a station");
    if (w.WarnRecord) parts.push_back("beyond the world's records");
    if (reach.anyExtrapolated()) {
        std::string months;
        for (size_t m = 1; m <= 12; ++m)
            if (reach.extrapolated[m]) months += std::string(months.empty() ? "" : ", ") + kMonthAbbreviations[m - 1];
        parts.push_back("outside all neighbours' values in " + months);
    }
    std::string line = name + ": ";
    for (size_t i = 0; i < parts.size(); ++i) line += (i ? "; " : "") + parts[i];
    return line + ".";
}

}  // namespace zentrel
