// The estimated quantities as outputs show them, NaN where not estimated.
#include "formats/shown_values.h"

#include <algorithm>
#include <cmath>
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

bool annualIsTotal(int variable) { return variable == Prec || variable == PET; }

const char* annualTitle(int variable) { return annualIsTotal(variable) ? "Annual total" : "Annual"; }

float annualTotal(const EstimateResult& e, int variable, ShownQuantity q, float k) {
    constexpr float kNone = std::numeric_limits<float>::quiet_NaN();
    const float total = 12 * e.Best[13];
    const float error = e.HasStdErr ? e.AnnualTotalStdErr : kNone;
    const ValueRange year = recordsOfPeriod(variable, 13);
    const auto bound = [&](float z) {
        if (!std::isfinite(error)) return kNone;
        if (e.StdErrLog[13] > 0) {
            // As the months' bounds: ratio space, the error taken as a share of the total.
            const double c = 12.0 * e.LogOffset, at = std::max(static_cast<double>(total), 0.0) + c;
            return static_cast<float>(std::max(at * std::exp(z * error / at) - c, 0.0));
        }
        return total + z * error;
    };
    switch (q) {
        case ShownQuantity::Best: return total;
        case ShownQuantity::StdErr: return error;
        case ShownQuantity::Bias: return e.HasStdErr ? 12 * e.Bias[13] : kNone;
        case ShownQuantity::Low: return std::max(ClipValue(bound(-k), variable), 12 * year.low);
        case ShownQuantity::High: return std::min(ClipValue(bound(k), variable), 12 * year.high);
    }
    return kNone;
}

float readerValue(const VariableResult& r, ShownQuantity q, int m, float k) {
    if (m != 13 || !annualIsTotal(r.variable)) return shownValue(r, q, m, k);
    if (!hasEstimate(r) || !hasAnnualValues(r)) return std::numeric_limits<float>::quiet_NaN();
    return annualTotal(r.result, r.variable, q, k);
}

}  // namespace zentrel
