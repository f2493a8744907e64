// Bounds of physically possible station values.
#include "data/possible_values.h"

#include <cmath>

#include "base/picture.h"
#include "base/types.h"

namespace zentrel {

PossibleRange possibleMonthlyRange(int variable) {
    switch (variable) {
        case Temp:
        case Tmax:
        case Tmin: return {-100.0f, 70.0f};
        // A negative amount of rain is no value in any unit, and the estimate would carry it
        // into its neighbours' mean unclipped (the importers refuse it too).
        case Prec: return {0.0f, 15000.0f};
        // Below 0 the estimate clips a value of these variables to 0 anyway; only a value far
        // below is refused.
        case Vap: return {-100.0f, 100.0f};
        case PET: return {-100.0f, 1500.0f};
        case Wind: return {-100.0f, 100.0f};
        case Sun: return {-100.0f, 100.0f};
        default: return {-100.0f, 15000.0f};
    }
}

std::string altitudeProblem(float alt) {
    if (alt == kUnknown || (alt >= kLowestStationAltitude && alt <= kHighestStationAltitude)) return "";
    return "\"" + shortestFloat(alt) + "\" is not an altitude in -500..9000 m (9999 = unknown)";
}

std::string monthlyValueProblem(float value, int variable) {
    const PossibleRange r = possibleMonthlyRange(variable);
    if (value >= r.low && value <= r.high) return "";
    const std::string name = variable >= 0 && variable < kVariableCount ? kVariableNames[static_cast<size_t>(variable)]
                                                                         : std::string("any variable");
    return "\"" + shortestFloat(value) + "\" lies outside the possible range " + shortestFloat(r.low) + ".." +
           shortestFloat(r.high) + " of " + name;
}

}  // namespace zentrel
