// The kriging method: the model of the variable, the active neighbours handed to it, and its
// outcome written into the result record within the neighbour envelope.
#include <cmath>

#include "base/records.h"
#include "engine/adaptive.h"
#include "engine/engine.h"
#include "engine/kriging_method.h"
#include "kriging/kriging.h"

namespace zentrel {

namespace {
size_t ix(int i) { return static_cast<size_t>(i); }
}  // namespace

void KrigingMethod::prepare(Engine& engine) {
    const int variable = engine.variable;
    const ProgramSettings& settings = engine.settings();
    // The settings may change between runs of one engine (they are the caller's).
    const Key key{variable, engine.excluded_, engine.database_ ? engine.database_->generation() : 0, krigingSettingsFingerprint(settings)};
    if (model_ && key == key_) return;
    model_ = nullptr;
    const bool keeps = variable >= 0 && variable < kVariableCount;
    if (keeps) {
        Kept& kept = kept_[ix(variable)];
        if (kept.model && kept.key == key) {
            model_ = kept.model;
            key_ = key;
            return;
        }
        // The models of another database, selection or exclusion are let go.
        for (Kept& other : kept_)
            if (other.key.excluded != key.excluded || other.key.generation != key.generation || other.key.settings != key.settings)
                other = Kept{};
    }
    model_ = KrigingModel::get(settings, engine.dataFolder_, engine.database_, variable, engine.excluded_);
    key_ = key;
    if (keeps) kept_[ix(variable)] = {model_, key};
}

const StationExclusion* KrigingMethod::exclusion(const Engine& engine) const {
    if (model_ && key_.variable == engine.variable && model_->neighbourExclusion) return model_->neighbourExclusion.get();
    return nullptr;
}

void KrigingMethod::estimate(Engine& engine) {
    NeighbourSet& ns = engine.ns;
    EstimateResult& res = engine.res;
    const Location& working = engine.working;
    const int variable = engine.variable;
    const ProgramSettings& settings = engine.settings();
    if (!model_ || key_.variable != variable) prepare(engine);
    errorsValid_ = false;
    std::array<const Station*, kMaxNeighbours> active{};
    std::array<int, kMaxNeighbours> entries{};
    std::array<EnvelopeNeighbour, kMaxNeighbours> envelope{};
    int n = 0;
    for (int i = 1; i <= ns.NeighbourCount && n < kMaxNeighbours; ++i)
        if (ns[i].Active == 1) {
            entries[ix(n)] = i;
            active[ix(n++)] = &ns[i];
        }
    // The covariates' altitude terms are fitted on places among their neighbours. Below the
    // lowest neighbour the model is carried 500 m (a valley's lapse rate holds that far; the
    // folds lose nothing); above the highest it stops there, and the climb follows the priors
    // of the other methods (changeBeyondNeighbours). Rows of a lowland network show a lapse
    // rate of 3 K per km where the highland above them has 6: carried 500 m up, it kept Addis
    // Ababa 0.7 K warmer still; stopping at the highest neighbour costs the folds 0.005 C of Tmax.
    constexpr float kModelReachBelow = 500, kModelReachAbove = 0;  // m
    const ValueRange alts = engine.activeAltitudes();
    const bool spanned = working.Alt != kUnknown && alts.low <= alts.high;
    const float modelAlt =
        spanned ? std::fmin(std::fmax(working.Alt, alts.low - kModelReachBelow), alts.high + kModelReachAbove) : working.Alt;
    const double dz = spanned ? static_cast<double>(working.Alt) - modelAlt : 0.0;
    // The place keeps its height above its surroundings: a highland taken 500 m above lowland
    // neighbours is not a deep valley there (which, in the z - mean50 term, made it warmer).
    const KrigingOutcome out = model_->estimate(working.Lon, working.Lat, modelAlt, active.data(), n, static_cast<float>(dz));
    for (int i = 1; i <= ns.NeighbourCount; ++i) ns[i].Weight = 0;
    for (int a = 0; a < n; ++a) ns[entries[ix(a)]].Weight = out.weights[ix(a)];
    if (!model_->terrain || !model_->terrain->known())
        engine.messages.push_back({"No terrain", "No elevation raster was found for this station database: the kriging method "
                                                 "works without the relief and the sea around the place, on altitude and latitude alone."});
    if (out.fallback)
        engine.messages.push_back({"Covariate fallback",
                                   "The stations around this place do not differ enough in altitude, latitude or surroundings "
                                   "to show how the climate changes with them: the kriging method leaves out the terms they "
                                   "cannot carry, and keeps the estimate and its standard error within the neighbours' spread."});
    const KrigingParams& p = model_->params;
    const bool ratio = p.logOffset > 0;
    const PhysicalRange physical = physicalRange(variable);
    // Beside a station at its altitude the estimate comes to the station's own normals, as
    // inverse-distance weights do: the nugget would smooth a station away even where it stands
    // (Addis Ababa's 1,150 mm came out at 670). The pull fades within about a kilometre and a
    // hundred metres of altitude, so a map across a station has no step, and a place 1,900 m
    // above a valley station 200 m away takes nothing from it.
    // A station without an altitude stands at the elevation raster's, as the model takes it.
    const Station* nearest = nullptr;
    for (int a = 0; a < n; ++a)
        if (!nearest || active[ix(a)]->Dist < nearest->Dist) nearest = active[ix(a)];
    float pull = 0;
    if (nearest && working.Alt != kUnknown) {
        const float stationAlt = model_->stationTerrain(nearest->Lon, nearest->Lat, nearest->Alt).alt;
        pull = std::exp(-nearest->Dist / 1.0f - std::fabs(working.Alt - stationAlt) / 100.0f);
    }
    for (int m = 1; m <= 12; ++m) {
        for (int a = 0; a < n; ++a) envelope[ix(a)] = {active[ix(a)]->Data[ix(m)], active[ix(a)]->Alt};
        const ValueRange within = neighbourEnvelope(variable, envelope.data(), n, working.Alt);
        float best = out.best[ix(m - 1)];
        if (dz != 0 && std::isfinite(best))
            best += static_cast<float>(changeBeyondNeighbours(variable, priorAltitudeSlope(variable, working.Lat, m), best, dz, false));
        if (!std::isfinite(best)) best = (within.low + within.high) / 2;
        if (pull > 0) best += pull * (nearest->Data[ix(m)] - best);
        if (best < within.low || best > within.high) {
            best = std::fmin(std::fmax(best, within.low), within.high);
            res.Caps[ix(m)] |= CapEnvelope;
        }
        res.Best[ix(m)] = std::fmin(std::fmax(best, physical.low), physical.high);
        if (out.fallback) res.Caps[ix(m)] |= CapCovariateFallback;
        res.Bias[ix(m)] = 0;  // the covariate fit on leave-one-out rows leaves no bias to remove
        // The doubt of the altitude carried beyond the neighbours': 2 K per km for the
        // temperatures, 30 % per km for the others, as in the other methods.
        const bool temperature = variable == Temp || variable == Tmax || variable == Tmin;
        const float doubt = static_cast<float>(std::fabs(dz)) * (temperature ? 0.002f : 0.0003f);
        if (ratio) {
            res.StdErrLog[ix(m)] = std::hypot(out.stdErr[ix(m - 1)], doubt);
            res.StdErr[ix(m)] = static_cast<float>((res.Best[ix(m)] + p.logOffset) * res.StdErrLog[ix(m)]);
        } else {
            res.StdErr[ix(m)] = std::hypot(out.stdErr[ix(m - 1)], temperature ? doubt : doubt * std::fabs(res.Best[ix(m)]));
        }
    }
    if (ratio) {
        res.LogOffset = p.logOffset;
        float sum = 0;
        for (int m = 1; m <= 12; ++m) sum += res.StdErrLog[ix(m)];
        res.StdErrLog[13] = sum / 12;
    }
    res.HasStdErr = out.errorEstimate && settings.MinStatErr <= ns.ActiveCount;
    if (!res.HasStdErr)
        for (int m = 1; m <= 13; ++m) res.StdErr[ix(m)] = res.StdErrLog[ix(m)] = 0;
    // The annual total's error: the months of the neighbours' own rows show how far they err together.
    errorsValid_ = res.HasStdErr && model_->neighbourErrors(active.data(), n, errors_);
    if (errorsValid_) engine.annualErrorShare_ = annualErrorShare(errors_.data(), n, false);
    engine.limitAnnualTotal();
}

void KrigingMethod::detectStrangeData(Engine& engine) {
    const NeighbourSet& ns = engine.ns;
    const EstimateResult& res = engine.res;
    const int variable = engine.variable;
    WarningFlags& warn = engine.warn;
    // The adaptive method's test (farthest leave-one-out error among all neighbours and months,
    // against a joint false-alarm rate), on the errors of the neighbours' own rows.
    if (!model_ || !res.HasStdErr || !errorsValid_) return;
    AdaptiveField field;
    AdaptiveOutcome outcome;
    std::array<int, kMaxNeighbours> entries{};
    int n = 0;
    for (int i = 1; i <= ns.NeighbourCount && n < kMaxNeighbours; ++i)
        if (ns[i].Active == 1) {
            entries[ix(n)] = i;
            field.sAlt[ix(n)] = ns[i].Alt;
            for (int m = 1; m <= 12; ++m) field.data[ix(n)][ix(m - 1)] = ns[i].Data[ix(m)];
            ++n;
        }
    field.variable = variable;
    field.n = n;
    outcome.error = errors_;
    outcome.errorEstimate = true;
    const StrangeFinding found = detectStrangeAdaptive(field, outcome);
    if (found.found) {
        warn.WarnStrange = true;
        warn.StrangeMonth = static_cast<int16_t>(found.month);
        warn.StrangeStation = static_cast<int16_t>(entries[ix(found.station)]);
    }
}

}  // namespace zentrel
