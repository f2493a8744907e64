// One climate per place: the mean daily minimum, mean and maximum temperatures kept in their
// order, and vapour pressure below saturation, where an estimate extrapolates.
#include <algorithm>
#include <array>
#include <cmath>

#include "base/records.h"
#include "engine/engine.h"

namespace zentrel {

namespace {
constexpr float kFarBeyond = 500.0f;  // m beyond the neighbours' altitudes
size_t ix(int i) { return static_cast<size_t>(i); }
}  // namespace

void Engine::KeepOneClimate() {
    if (!reconcile_ || method() == Method::Described || (variable != Tmax && variable != Tmin && variable != Vap) ||
        ns.ActiveCount == 0)
        return;
    const ValueRange alts = activeAltitudes();
    const bool beyond = working.Alt != kUnknown && alts.low <= alts.high &&
                        (working.Alt > alts.high + kFarBeyond || working.Alt < alts.low - kFarBeyond);
    if (!beyond && ns.ActiveCount >= settings_.MinStatErr) return;

    if (!companion_) {
        companion_ = std::make_unique<Engine>(settings_, dataFolder_, database_);
        companion_->reconcile_ = false;
    }
    companion_->setExclusion(excluded_);
    companion_->setSpatialSearch(spatialSearch());
    const auto estimateOf = [this](int v, Monthly& out) {
        const VariableResult r = companion_->Run(v, working);
        out = r.result.Best;
        return r.neighbours.ActiveCount > 0;
    };
    // The order kept by moving Tmax and Tmin together so that their midpoint is the mean
    // temperature, keeping their range; returns the months moved.
    const auto keepOrder = [](const Monthly& temp, Monthly& tmax, Monthly& tmin) {
        std::array<bool, 13> moved{};
        for (int m = 1; m <= 12; ++m) {
            const float t = temp[ix(m)];
            if (tmin[ix(m)] <= t && t <= tmax[ix(m)]) continue;
            const float half = std::max(tmax[ix(m)] - tmin[ix(m)], 0.0f) / 2;
            tmax[ix(m)] = t + half;
            tmin[ix(m)] = t - half;
            moved[ix(m)] = true;
        }
        return moved;
    };
    Monthly temp{}, tmax{}, tmin{};
    if (!estimateOf(Temp, temp)) return;
    if (variable != Tmax && !estimateOf(Tmax, tmax)) return;
    if (variable != Tmin && !estimateOf(Tmin, tmin)) return;
    if (variable == Tmax) tmax = res.Best;
    if (variable == Tmin) tmin = res.Best;
    const auto ordered = keepOrder(temp, tmax, tmin);
    bool moved = false;
    for (int m = 1; m <= 12; ++m) {
        const float mine = res.Best[ix(m)];
        float kept = mine;
        if (variable == Vap) {
            kept = std::min(mine, saturationOverWater(tmax[ix(m)]));  // at the Tmax kept in order
            if (kept < mine) res.Caps[ix(m)] |= CapSaturation;
        } else if (ordered[ix(m)]) {
            kept = variable == Tmax ? tmax[ix(m)] : tmin[ix(m)];
            res.Caps[ix(m)] |= CapTemperatureOrder;
        }
        if (kept == mine) continue;
        res.StdErr[ix(m)] = std::hypot(res.StdErr[ix(m)], 0.5f * std::fabs(kept - mine));
        res.Best[ix(m)] = kept;
        moved = true;
    }
    // The annual values and the annual cycle follow the months (a single station has none).
    if (moved && ns.ActiveCount != 1) PostProcess();
}

}  // namespace zentrel
