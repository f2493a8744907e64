// The engine's side of the adaptive method: the active neighbours handed to the adaptive
// estimate with their leave-one-out weights, and its outcome written into the result record.
#include "engine/adaptive.h"
#include "engine/engine.h"
#include "engine/neighbour_pairs.h"

namespace zentrel {

namespace {
size_t ix(int i) { return static_cast<size_t>(i); }
}  // namespace

void Engine::adaptiveEstimate() {
    AdaptiveField& f = adaptiveField_;
    f = AdaptiveField{};
    f.variable = variable;
    f.lon = working.Lon;
    f.lat = working.Lat;
    f.alt = working.Alt;
    f.altCorr = settings_.AltCorr == 1;
    f.gradCorr = settings_.GradCorr == 1;
    std::array<int, kMaxNeighbours>& act = adaptiveEntries_;
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
    f.errorEstimate = settings_.MinStatErr <= ns.ActiveCount && !samePositions(act, n);
    if (f.errorEstimate) {
        std::array<const SpherePoint*, kMaxPairPoints> points{};
        for (int a = 0; a < n; ++a) points[ix(a)] = &neighbourPoint(act[ix(a)]);
        const int slot = variable >= 0 && variable < NeighbourPairs::kSlots ? variable : 0;
        pairs_->update(points, n, {powExp(), settings_.DistEpsilon, settings_.Shad, settings_.ShadowOn == 1}, slot);
        for (int a = 0; a < n; ++a) {
            const std::array<float, kMaxPairPoints>& w = pairs_->leaveOneOut(a);
            for (int b = 0; b < n; ++b) f.loo[ix(a)][ix(b)] = w[ix(b)];
        }
    }
    adaptive_ = estimateAdaptive(f);
    for (int m = 1; m <= 12; ++m) {
        const size_t k = ix(m - 1);
        res.Best[ix(m)] = adaptive_.best[k];
        res.Bias[ix(m)] = adaptive_.bias[k];
        res.StdErr[ix(m)] = adaptive_.stdErr[k];
        res.StdErrLog[ix(m)] = adaptive_.stdErrLog[k];
        res.Caps[ix(m)] = adaptive_.caps[k];
        res.VertGrad[ix(m)] = adaptive_.vertGrad[k];
        res.LongGradDeg[ix(m)] = adaptive_.longGradDeg[k];
        res.LatGradDeg[ix(m)] = adaptive_.latGradDeg[k];
    }
    res.LogOffset = variable == Prec ? kBoundsLogOffset : 0.0f;
    adaptiveValid_ = adaptive_.errorEstimate;
    res.HasStdErr = adaptive_.errorEstimate;
    if (res.HasStdErr) annualErrorShare_ = annualErrorShare(adaptive_.error.data(), n, false);
    limitAnnualTotal();
}

}  // namespace zentrel
