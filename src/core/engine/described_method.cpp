// The described inverse-distance method and its robust variant.
#include "engine/described_method.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "base/geometry.h"
#include "base/records.h"
#include "engine/adaptive.h"
#include "engine/engine.h"

namespace zentrel {

namespace {
size_t ix(int i) { return static_cast<size_t>(i); }
// sqrt(a^2 + b^2) without std::hypot's care for overflow (slow, and the values here are small).
inline float pythagoras(float a, float b) { return std::sqrt(a * a + b * b); }
}  // namespace

void DescribedMethod::estimate(Engine& engine) {
    NeighbourSet& ns = engine.ns;
    EstimateResult& res = engine.res;
    const Location& working = engine.working;
    const int variable = engine.variable;
    const ProgramSettings& settings = engine.settings();
    for (int m = 1; m <= 12; ++m) {
        float best = 0;
        for (int i = 1; i <= ns.NeighbourCount; ++i) {
            const Station& e = ns[i];
            best += e.Weight * (e.Data[ix(m)] + engine.altitudeDifference(working.Alt, e.Alt) * res.VertGrad[ix(m)] +
                                longitudeDifference(working.Lon, e.Lon) * res.LongGradDeg[ix(m)] +
                                (working.Lat - e.Lat) * res.LatGradDeg[ix(m)]);
        }
        if (best < 0 && variable >= 3) best = 0;
        res.Best[ix(m)] = best;
    }
    if (settings.MinStatErr <= ns.ActiveCount) engine.CrossValidate();
}

void DescribedMethod::detectStrangeData(Engine& engine) {
    const NeighbourSet& ns = engine.ns;
    const EstimateResult& res = engine.res;
    const Location& working = engine.working;
    WarningFlags& warn = engine.warn;
    const int n = ns.ActiveAltCount;
    const float critical = CriticalValue(n, 0.9f);
    for (int m = 1; m <= 12; ++m) {
        std::array<float, kMaxNeighbours + 1> R{};
        float sum = 0;
        for (int i = 1; i <= ns.NeighbourCount; ++i) {
            const Station& e = ns[i];
            if (e.Active != 1 || e.Alt == kUnknown) continue;
            R[ix(i)] = e.Data[ix(m)] + engine.altitudeDifference(working.Alt, e.Alt) * res.VertGrad[ix(m)] +
                       longitudeDifference(working.Lon, e.Lon) * res.LongGradDeg[ix(m)] + (working.Lat - e.Lat) * res.LatGradDeg[ix(m)];
            sum += R[ix(i)];
        }
        const float m1 = sum / static_cast<float>(n);
        float maxDev = -1;
        int worst = 0;
        for (int i = 1; i <= ns.NeighbourCount; ++i) {
            const Station& e = ns[i];
            if (e.Active != 1 || e.Alt == kUnknown) continue;
            const float dev = std::fabs(R[ix(i)] - m1);
            if (dev > maxDev) {
                maxDev = dev;
                worst = i;
            }
        }
        float sum2 = 0;
        for (int i = 1; i <= ns.NeighbourCount; ++i) {
            const Station& e = ns[i];
            if (e.Active != 1 || e.Alt == kUnknown || i == worst) continue;
            sum2 += R[ix(i)];
        }
        const float m2 = sum2 / static_cast<float>(n - 1);
        float sq = 0;
        for (int i = 1; i <= ns.NeighbourCount; ++i) {
            const Station& e = ns[i];
            if (e.Active != 1 || e.Alt == kUnknown || i == worst) continue;
            sq += (R[ix(i)] - m2) * (R[ix(i)] - m2);
        }
        const float S = std::sqrt(sq / static_cast<float>(n - 1));
        const float z = S != 0 ? maxDev / S : 0.0f;
        if (critical < z) {
            warn.WarnStrange = true;
            warn.StrangeMonth = static_cast<int16_t>(m);
            warn.StrangeStation = static_cast<int16_t>(worst);
            return;
        }
    }
}

void RobustMethod::estimate(Engine& engine) {
    NeighbourSet& ns = engine.ns;
    EstimateResult& res = engine.res;
    const Location& working = engine.working;
    const int variable = engine.variable;
    const ProgramSettings& settings = engine.settings();

    float altLow = std::numeric_limits<float>::infinity(), altHigh = -altLow, wsum = 0;
    for (int i = 1; i <= ns.NeighbourCount; ++i) {
        const Station& e = ns[i];
        if (e.Active != 1) continue;
        wsum += e.Weight;
        if (e.Alt == kUnknown) continue;
        altLow = std::min(altLow, e.Alt);
        altHigh = std::max(altHigh, e.Alt);
    }
    const bool altKnown = working.Alt != kUnknown && altLow <= altHigh;
    const float target = altKnown ? std::clamp(working.Alt, altLow, altHigh) : working.Alt;
    const bool slopeRan = settings.AltCorr == 1 && ns.ActiveAltCount >= 3;
    std::array<float, 13> planeAt{}, planeSpan{};
    for (int m = 1; m <= 12; ++m) {
        float best = 0, knownWeight = 0;
        float low = std::numeric_limits<float>::infinity(), high = -low;
        for (int i = 1; i <= ns.NeighbourCount; ++i) {
            const Station& e = ns[i];
            const float dLon = longitudeDifference(working.Lon, e.Lon), dLat = working.Lat - e.Lat;
            best += e.Weight * (e.Data[ix(m)] + engine.altitudeDifference(target, e.Alt) * res.VertGrad[ix(m)] +
                                dLon * res.LongGradDeg[ix(m)] + dLat * res.LatGradDeg[ix(m)]);
            if (e.Active != 1) continue;
            if (e.Alt != kUnknown) knownWeight += e.Weight;
            const float q = -(dLon * res.LongGradDeg[ix(m)] + dLat * res.LatGradDeg[ix(m)]);
            low = std::min(low, q);
            high = std::max(high, q);
        }
        if (slopeRan && altKnown && working.Alt != target) {
            float mean = 0;
            for (int i = 1; i <= ns.NeighbourCount; ++i)
                if (ns[i].Active == 1) mean += ns[i].Weight * ns[i].Data[ix(m)];
            best += knownWeight * static_cast<float>(changeBeyondNeighbours(variable, priorSlope(variable), mean,
                                                                             working.Alt - target, false));
        }
        if (low <= high) {
            planeAt[ix(m)] = std::clamp(0.0f, low, high);
            planeSpan[ix(m)] = high - low;
            best += wsum * planeAt[ix(m)];
        }
        res.Best[ix(m)] = engine.clampPhysical(std::max(best, variable >= 3 ? 0.0f : best));
        if (planeAt[ix(m)] != 0) res.Caps[ix(m)] |= CapPlane;
    }
    if (settings.MinStatErr <= ns.ActiveCount) engine.CrossValidate();
    limit(engine, planeAt, planeSpan, altKnown && slopeRan ? std::fabs(working.Alt - target) : 0.0f);
}

void RobustMethod::limit(Engine& engine, const std::array<float, 13>& planeAt, const std::array<float, 13>& planeSpan,
                         float altitudeBeyond) {
    NeighbourSet& ns = engine.ns;
    EstimateResult& res = engine.res;
    const Location& working = engine.working;
    const int variable = engine.variable;

    std::array<EnvelopeNeighbour, kMaxNeighbours> near{};
    int n = 0;
    for (int i = 1; i <= ns.NeighbourCount; ++i)
        if (ns[i].Active == 1) near[ix(n++)] = {0.0f, ns[i].Alt};
    const ValueRange records = monthlyRecords(variable);
    const bool temperature = variable <= Tmin;
    constexpr float c = kBoundsLogOffset;
    for (int m = 1; m <= 12; ++m) {
        int k = 0;
        for (int i = 1; i <= ns.NeighbourCount; ++i)
            if (ns[i].Active == 1) near[ix(k++)].value = ns[i].Data[ix(m)];
        float& best = res.Best[ix(m)];
        // Errors of extrapolation: the slope's doubt over the altitudes beyond the neighbours',
        // and half the plane value that was cut off (at most its span).
        const float slopeDoubt = temperature ? 0.002f : 0.0003f * (std::max(best, 0.0f) + c);
        float extra = pythagoras(slopeDoubt * altitudeBeyond, 0.5f * std::min(std::fabs(planeAt[ix(m)]), planeSpan[ix(m)]));
        float extraLog = extra / (std::max(best, 0.0f) + c);
        const float bounded = std::clamp(best, records.low, records.high);
        if (bounded != best) res.Caps[ix(m)] |= CapRecord;
        const ValueRange envelope = neighbourEnvelope(variable, near.data(), n, working.Alt);
        const float kept = std::clamp(bounded, envelope.low, envelope.high);
        if (kept != bounded) {
            res.Caps[ix(m)] |= CapEnvelope;
            const float cut = std::min(std::fabs(kept - bounded), envelope.high - envelope.low);
            extra = pythagoras(extra, cut);
            extraLog = pythagoras(extraLog, std::log((std::max(kept, 0.0f) + cut + c) / (std::max(kept, 0.0f) + c)));
        }
        best = kept;
        if (!res.HasStdErr) continue;
        res.StdErr[ix(m)] = pythagoras(res.StdErr[ix(m)], extra);
        if (variable == Prec) res.StdErrLog[ix(m)] = pythagoras(res.StdErrLog[ix(m)], extraLog);
    }
    if (variable == Prec) res.LogOffset = c;
    engine.limitAnnualTotal();
}

}  // namespace zentrel
