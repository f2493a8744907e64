// The estimated quantities as outputs show them, NaN where not estimated.
#include "formats/shown_values.h"

#include <algorithm>
#include <limits>

#include "base/records.h"
#include "season/cycle.h"

namespace zentrel {

float shownValue(const VariableResult& r, ShownQuantity q, int m, float k) {
    constexpr float kNone = std::numeric_limits<float>::quiet_NaN();
    const EstimateResult& e = r.result;
    if (!hasEstimate(r) || (m == 13 && !hasAnnualValues(r))) return kNone;
    const size_t i = static_cast<size_t>(m);
    switch (q) {
        case ShownQuantity::Best: return e.Best[i];
        case ShownQuantity::StdErr: return e.HasStdErr ? e.StdErr[i] : kNone;
        case ShownQuantity::Bias: return e.HasStdErr ? e.Bias[i] : kNone;
        // An interval reaching beyond the world's records says nothing more than the records
        // do (a log-scale error far from every neighbour grows without bound): it ends there.
        case ShownQuantity::Low: return std::max(ClipValue(lowBound(e, m, k), r.variable), recordsOfPeriod(r.variable, m).low);
        case ShownQuantity::High: return std::min(ClipValue(highBound(e, m, k), r.variable), recordsOfPeriod(r.variable, m).high);
    }
    return kNone;
}

}  // namespace zentrel
