// The locally adaptive method: the active neighbours handed to the adaptive estimate with
// their leave-one-out weights, and its outcome written into the result record.
#include "engine/adaptive_method.h"

#include "engine/engine.h"
#include "engine/neighbour_pairs.h"

namespace zentrel {

namespace {
size_t ix(int i) { return static_cast<size_t>(i); }
}  // namespace

void AdaptiveMethod::estimate(Engine& engine) {
    const NeighbourSet& ns = engine.ns;
    EstimateResult& res = engine.res;
    const Location& working = engine.working;
    const int variable = engine.variable;
    const ProgramSettings& settings = engine.settings();

    AdaptiveField& f = field_;
    f = AdaptiveField{};
    f.variable = variable;
    f.lon = working.Lon;
    f.lat = working.Lat;
    f.alt = working.Alt;
    f.altCorr = settings.AltCorr == 1;
    f.gradCorr = settings.GradCorr == 1;
    std::array<int, kMaxNeighbours>& act = entries_;
    int n = 0;
    for (int i = 1; i <= ns.NeighbourCount; ++i)
        if (ns[i].Active == 1) act[ix(n++)] = i;
    f.n = n;
    for (int a = 0; a < n; ++a) {
        const Station& e = ns[act[ix(a)]];
        // Unwrapped around the location: every longitude difference is taken the short way round.
        f.sLon[ix(a)] = working.Lon + longitudeDifference(e.Lon, working.Lon);
        f.sLat[ix(a)] = e.Lat;
        f.sAlt[ix(a)] = e.Alt;
        for (int m = 1; m <= 12; ++m) f.data[ix(a)][ix(m - 1)] = e.Data[ix(m)];
        f.weight[ix(a)] = e.Weight;
    }
    f.errorEstimate = settings.MinStatErr <= ns.ActiveCount && !engine.samePositions(act, n);
    if (f.errorEstimate) {
        std::array<const SpherePoint*, kMaxPairPoints> points{};
        for (int a = 0; a < n; ++a) points[ix(a)] = &engine.neighbourPoint(act[ix(a)]);
        const int slot = variable >= 0 && variable < NeighbourPairs::kSlots ? variable : 0;
        engine.pairs_->update(points, n, {engine.powExp(), settings.DistEpsilon, settings.Shad, settings.ShadowOn == 1}, slot);
        for (int a = 0; a < n; ++a) {
            const std::array<float, kMaxPairPoints>& w = engine.pairs_->leaveOneOut(a);
            for (int b = 0; b < n; ++b) f.loo[ix(a)][ix(b)] = w[ix(b)];
        }
    }
    outcome_ = estimateAdaptive(f);
    for (int m = 1; m <= 12; ++m) {
        const size_t k = ix(m - 1);
        res.Best[ix(m)] = outcome_.best[k];
        res.Bias[ix(m)] = outcome_.bias[k];
        res.StdErr[ix(m)] = outcome_.stdErr[k];
        res.StdErrLog[ix(m)] = outcome_.stdErrLog[k];
        res.Caps[ix(m)] = outcome_.caps[k];
        res.VertGrad[ix(m)] = outcome_.vertGrad[k];
        res.LongGradDeg[ix(m)] = outcome_.longGradDeg[k];
        res.LatGradDeg[ix(m)] = outcome_.latGradDeg[k];
    }
    res.LogOffset = variable == Prec ? kBoundsLogOffset : 0.0f;
    valid_ = outcome_.errorEstimate;
    res.HasStdErr = outcome_.errorEstimate;
    if (res.HasStdErr) engine.annualErrorShare_ = annualErrorShare(outcome_.error.data(), n, false);
    engine.limitAnnualTotal();
}

void AdaptiveMethod::detectStrangeData(Engine& engine) {
    if (!valid_) return;
    const StrangeFinding found = detectStrangeAdaptive(field_, outcome_);
    if (found.found) {
        engine.warn.WarnStrange = true;
        engine.warn.StrangeMonth = static_cast<int16_t>(found.month);
        engine.warn.StrangeStation = static_cast<int16_t>(entries_[ix(found.station)]);
    }
}

}  // namespace zentrel
