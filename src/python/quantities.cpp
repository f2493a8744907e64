// Names and readers of the result quantities.
#include "python/quantities.h"

#include <limits>

#include "formats/shown_values.h"
#include "python/estimate_request.h"
#include "season/cycle.h"

namespace zentrel::python {

const std::array<const char*, kQuantityCount>& quantityNames() {
    static const std::array<const char*, kQuantityCount> names{
        "best",     "low",          "high",          "stderr",   "bias",     "abs_grad",      "direc_grad",
        "vert_grad", "long_grad_deg", "lat_grad_deg", "long_grad", "lat_grad", "vert_expl_var", "annual_cycle"};
    return names;
}

Quantity parseQuantity(const std::string& name) {
    const auto& names = quantityNames();
    for (size_t q = 0; q < names.size(); ++q)
        if (name == names[q]) return static_cast<Quantity>(q);
    std::string allowed;
    for (const char* n : names) allowed += std::string(allowed.empty() ? "" : ", ") + n;
    throw ArgumentError{"unknown quantity \"" + name + "\"; the quantities are " + allowed + "."};
}

void quantityValues(const VariableResult& r, Quantity q, float k, float* out) {
    const EstimateResult& e = r.result;
    const auto shown = [&](ShownQuantity s) {
        for (int m = 1; m <= 13; ++m) out[m - 1] = readerValue(r, s, m, k);
    };
    const Monthly* source = nullptr;
    switch (q) {
        case Quantity::Best: return shown(ShownQuantity::Best);
        case Quantity::Low: return shown(ShownQuantity::Low);
        case Quantity::High: return shown(ShownQuantity::High);
        case Quantity::StdErr: return shown(ShownQuantity::StdErr);
        case Quantity::Bias: return shown(ShownQuantity::Bias);
        case Quantity::AbsGrad: source = &e.AbsGrad; break;
        case Quantity::DirecGrad: source = &e.DirecGrad; break;
        case Quantity::VertGrad: source = &e.VertGrad; break;
        case Quantity::LongGradDeg: source = &e.LongGradDeg; break;
        case Quantity::LatGradDeg: source = &e.LatGradDeg; break;
        case Quantity::LongGrad: source = &e.LongGrad; break;
        case Quantity::LatGrad: source = &e.LatGrad; break;
        case Quantity::VertExplVar: source = &e.VertExplVar; break;
        case Quantity::AnnualCycle: source = &e.AnnualCycle; break;
    }
    const float none = std::numeric_limits<float>::quiet_NaN();
    for (size_t m = 1; m <= 13; ++m) out[m - 1] = hasEstimate(r) ? (*source)[m] : none;
    // As the command line's JSON gives null: no annual value is not an annual value of 0 (the
    // annual cycle's last entry is no annual value).
    if (!hasAnnualValues(r) && q != Quantity::AnnualCycle) out[12] = none;
}

}  // namespace zentrel::python
