// The estimated quantities as outputs show them, NaN where not estimated.
#include "formats/shown_values.h"

#include <limits>

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
        case ShownQuantity::Low: return ClipValue(lowBound(e, m, k), r.variable);
        case ShownQuantity::High: return ClipValue(highBound(e, m, k), r.variable);
    }
    return kNone;
}

}  // namespace zentrel
