// Neighbour selection, inverse-distance interpolation with shadow, altitude and gradient
// corrections, cross-validated errors, strange data, warnings and the annual-cycle fit.
#include "engine/engine.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <functional>
#include <cmath>
#include <limits>

#include "base/geometry.h"
#include "base/records.h"
#include "data/station_database.h"
#include "data/station_origins.h"
#include "engine/adaptive.h"
#include "engine/neighbour_pairs.h"
#include "error.h"

namespace zentrel {

namespace {
// sqrt(a^2 + b^2) without std::hypot's care for overflow (slow, and the values here are small).
inline double pythagoras(double a, double b) { return std::sqrt(a * a + b * b); }
inline float pythagoras(float a, float b) { return std::sqrt(a * a + b * b); }
constexpr double kPi = 3.1415926535;    // the engine's pi for the shadow and the harmonics
constexpr float kPiSingle = 3.1415927f;  // single-precision pi of the gradient outputs
constexpr int kMean = 21;               // the mean station's entry

size_t ix(int i) { return static_cast<size_t>(i); }

// Robust corrections (RobustCorr): the least-squares altitude slope is shrunk towards a prior
// slope per variable, weighted by the neighbours' altitude spread, and the horizontal plane
// towards zero (ridge); every monthly value is kept within its physical range. The constants
// were chosen by hold-out validation on real station normals (docs/accuracy.md).
// k is in m^2 of centred altitude spread: 2e6 m^2 weighs the prior like eight neighbours 500 m
// above or below their mean. The lapse rate is well known, so the temperatures lean on it; for
// the others the prior is only "no slope" and gets a light weight (a stronger one made
// precipitation worse on the Pacific islands).
constexpr float kAltitudeShrinkTemp = 2.0e6f;
constexpr float kAltitudeShrinkOther = 1.0e4f;
constexpr float kPlaneShrink = 16.0f;       // degree^2, added to the centred sums of the plane fit
constexpr float kPriorSlopeTemp = -0.0065f;  // K/m, the standard atmosphere's lapse rate

// Tried: positive precipitation and negative vapour-pressure and PET priors changed nothing
// measurable, so those stay at 0.
float altitudeShrink(int variable) { return variable <= Tmin ? kAltitudeShrinkTemp : kAltitudeShrinkOther; }

}  // namespace

float CriticalValue(int n, float P) {
    static constexpr struct {
        double p;
        float z;
    } kTable[] = {{0.9999, 3.7119f}, {0.9998, 3.54f},  {0.9997, 3.432f}, {0.9996, 3.353f}, {0.9995, 3.291f},
                  {0.9994, 3.239f},  {0.9993, 3.195f}, {0.9992, 3.156f}, {0.9991, 3.121f}, {0.999, 3.09f},
                  {0.998, 2.878f},   {0.997, 2.748f},  {0.996, 2.652f},  {0.995, 2.576f},  {0.994, 2.512f},
                  {0.993, 2.457f},   {0.992, 2.409f},  {0.991, 2.366f},  {0.99, 2.326f},   {0.985, 2.17f},
                  {0.98, 2.054f},    {0.975, 1.96f},   {0.97, 1.881f},   {0.965, 1.812f},  {0.96, 1.751f},
                  {0.955, 1.695f},   {0.95, 1.645f},   {0.925, 1.44f},   {0.9, 1.282f}};
    const double p = (1.0 + std::pow(static_cast<double>(P), 1.0 / n)) / 2.0;
    for (const auto& row : kTable)
        if (p > row.p) return row.z;
    return 0;
}

PhysicalRange physicalRange(int variable) {
    if (variable <= Tmin) return {-90.0f, 60.0f};
    if (variable == Sun) return {0.0f, 1.0f};
    return {0.0f, std::numeric_limits<float>::infinity()};
}

float priorSlope(int variable) { return variable <= Tmin ? kPriorSlopeTemp : 0.0f; }

Message noNeighbourMessage() {
    return {"No calculation can be done with 0 neighbours",
            "There are no neighbouring stations that satisfy the selection   criteria."};
}

Engine::Engine(const ProgramSettings& settings, std::string dataFolder, std::shared_ptr<const StationDatabase> database)
    : NeighbourSearch(settings, std::move(dataFolder), std::move(database)), pairs_(std::make_unique<NeighbourPairs>()) {}

Engine::~Engine() = default;

float Engine::clampPhysical(float value) const {
    const PhysicalRange r = physicalRange(variable);
    return std::min(std::max(value, r.low), r.high);
}

float Engine::powExp() const { return settings_.PowExp < 0.0001f ? 0.0f : settings_.PowExp; }

// A neighbour (or location) of unknown altitude gets no altitude term.
float Engine::altitudeDifference(float toAlt, float fromAlt) const {
    if (toAlt == kUnknown || fromAlt == kUnknown) return 0.0f;
    return toAlt - fromAlt;
}

EstimationMethod& Engine::estimation() {
    if (!method_ || methodKind_ != method()) {
        method_ = makeEstimationMethod(method());
        methodKind_ = method();
    }
    return *method_;
}

const StationExclusion* Engine::exclusion() const {
    if (method_ && methodKind_ == method())
        if (const StationExclusion* more = method_->exclusion(*this)) return more;
    return excluded_;
}

void Engine::LoadCandidates() {
    estimation().prepare(*this);
    NeighbourSearch::LoadCandidates();
}

VariableResult Engine::Run(int var, const Location& location) {
    Select(var, location);
    ActivateNeighbours();
    BuildMeanStation();
    Estimate();
    KeepOneClimate();
    EvaluateWarnings();
    if (ns.ActiveCount == 0) messages.push_back(noNeighbourMessage());
    return result();
}

VariableResult Engine::result() const {
    VariableResult r;
    r.variable = variable;
    r.location = working;
    r.neighbours = ns;
    r.result = res;
    r.warnings = warn;
    r.messages = messages;
    // The sources of the neighbours, where the folder keeps a station table. A table that cannot
    // be read costs the sources, not the estimate.
    if (!attachSources_) return r;
    try {
        const auto origins = database_ ? database_->origins()
                             : dataFolder_.empty() ? nullptr
                                                   : stationOriginsOf(dataFolder_);
        attachOrigins(r, origins.get());
    } catch (const Error& e) {
        r.messages.push_back({"Station sources", e.what()});
    }
    return r;
}

void Engine::BuildMeanStation() {
    Station& mean = ns[kMean];
    mean.Lat = mean.Lon = mean.Alt = mean.Dist = 0;
    mean.Data.fill(0);
    for (int i = 1; i <= kMaxNeighbours; ++i) ns[i].Data[13] = 0;
    if (ns.ActiveCount > 0) {
        float alt = 0;
        for (int i = 1; i <= ns.NeighbourCount; ++i) {
            const Station& e = ns[i];
            if (e.Active != 1) continue;
            mean.Lat += e.Lat;
            mean.Lon += e.Lon;
            mean.Dist += e.Dist;
            for (int m = 1; m <= 12; ++m) mean.Data[ix(m)] += e.Data[ix(m)];
            if (e.Alt != kUnknown) alt += e.Alt;
        }
        const float n = ns.ActiveCount;
        mean.Lat /= n;
        mean.Lon /= n;
        mean.Dist /= n;
        for (int m = 1; m <= 12; ++m) mean.Data[ix(m)] /= n;
        mean.Alt = ns.ActiveAltCount > 0 ? alt / static_cast<float>(ns.ActiveAltCount) : kUnknown;
        mean.Dir = static_cast<float>(Direction(working.Lon, working.Lat, mean.Lon, mean.Lat));
        mean.DirCode = SectorName(mean.Dir);
    }
    for (int i = 1; i <= ns.NeighbourCount; ++i) {
        float sum = 0;
        for (int m = 1; m <= 12; ++m) sum += ns[i].Data[ix(m)];
        ns[i].Data[13] = sum / 12.0f;
    }
    float sum = 0;
    for (int m = 1; m <= 12; ++m) sum += mean.Data[ix(m)];
    mean.Data[13] = sum / 12.0f;
    mean.Active = ns.ActiveCount;  // the mean entry carries the number of stations it averages
    mean.Weight = 0;
}

void Engine::Estimate() {
    if (ns.ActiveCount == 0) return;  // the result keeps the previous run's values
    res = EstimateResult{};
    estimation().forget();
    annualErrorShare_ = std::numeric_limits<float>::quiet_NaN();
    const ProgramSettings& st = settings_;
    Station& first = ns[1];
    // The described method copies a station within MinDist; the others estimate there as
    // anywhere else (a station 1 km away and 2000 m lower is not the place's climate).
    if (method() == Method::Described && st.PowExp > 0.001f && first.Dist < st.MinDist && first.Active == 1 && ns.ActiveCount >= 2) {
        // Nearest-neighbour approximation: the regressions are reported, the values are the station's.
        for (int m = 1; m <= 12; ++m) res.Best[ix(m)] = first.Data[ix(m)];
        first.Weight = 1;
        for (int i = 2; i <= kMaxNeighbours; ++i) ns[i].Weight = 0;
        if (st.AltCorr == 1 && ns.ActiveAltCount >= 3) AltitudeRegression();
        if (st.GradCorr == 1 && ns.ActiveCount > 5) GradientRegression();
        PostProcess();
        return;
    }
    if (ns.ActiveCount != 1) {
        // Under the adaptive method these regressions only report the explained variance: its
        // own fit (which applies the prior lapse rate also with one or two neighbours of known
        // altitude) replaces the slopes.
        if (st.AltCorr == 1 && ns.ActiveAltCount >= 3) AltitudeRegression();
        if (st.GradCorr == 1 && ns.ActiveCount > 5) GradientRegression();
        WeightedEstimate();
        PostProcess();
        return;
    }
    // A single active station gives its own values, uncorrected. Outside the workbench it is
    // entry 1; when the workbench leaves another entry as the only active one, that one is used.
    int only = 1;
    for (int i = 1; i <= ns.NeighbourCount; ++i)
        if (ns[i].Active == 1) {
            only = i;
            break;
        }
    for (int i = 1; i <= kMaxNeighbours; ++i) ns[i].Weight = 0;
    for (int m = 1; m <= 12; ++m) res.Best[ix(m)] = ns[only].Data[ix(m)];
    ns[only].Weight = 1;
    // The robust and adaptive methods move the station's values to the location's altitude (a
    // plateau's one coastal neighbour is not its climate) and keep them plausible.
    if (robustCorrections() && st.AltCorr == 1 && working.Alt != kUnknown && ns[only].Alt != kUnknown) {
        const float dz = working.Alt - ns[only].Alt;
        for (int m = 1; m <= 12; ++m) {
            const float value = ns[only].Data[ix(m)];
            const double prior = method() == Method::Adaptive ? priorAltitudeSlope(variable, working.Lat, m) : priorSlope(variable);
            const float moved = value + static_cast<float>(changeBeyondNeighbours(variable, prior, value, dz, false));
            const EnvelopeNeighbour here{value, ns[only].Alt};
            const ValueRange envelope = neighbourEnvelope(variable, &here, 1, working.Alt);
            res.Best[ix(m)] = std::clamp(moved, envelope.low, envelope.high);
        }
    }
}

ValueRange Engine::activeAltitudes() const {
    ValueRange r{kUnknown, -kUnknown};
    for (int i = 1; i <= ns.NeighbourCount; ++i)
        if (ns[i].Active == 1 && ns[i].Alt != kUnknown) {
            r.low = std::min(r.low, ns[i].Alt);
            r.high = std::max(r.high, ns[i].Alt);
        }
    return r;
}

void Engine::ComputeWeights() {
    const float p = powExp();
    // An active neighbour at distance 0 takes the whole weight (with PowExp 0 it weighs like
    // the others, 0^0 = 1).
    bool atZero = false;
    if (p > 0)
        for (int i = 1; i <= ns.NeighbourCount; ++i) atZero = atZero || (ns[i].Active == 1 && ns[i].Dist == 0);
    for (int i = 1; i <= ns.NeighbourCount; ++i) {
        Station& e = ns[i];
        if (e.Active != 1) e.Weight = 0;
        else if (atZero) e.Weight = e.Dist == 0 ? 1.0f : 0.0f;
        else e.Weight = static_cast<float>(std::pow(static_cast<double>(e.Dist), -static_cast<double>(p)));
    }
    if (settings_.ShadowOn == 1 && ns.ActiveCount >= 3) ShadowCorrection();
    float sum = 0;
    for (int i = 1; i <= ns.NeighbourCount; ++i) sum += ns[i].Weight;
    if (sum != 0)  // a weight sum of 0 is left unnormalised
        for (int i = 1; i <= ns.NeighbourCount; ++i) ns[i].Weight /= sum;
}

void Engine::ShadowCorrection() {
    const SpherePoint at = spherePoint(working.Lon, working.Lat);
    std::array<Bearing, kMaxNeighbours + 1> by{};
    for (int i = 1; i <= ns.NeighbourCount; ++i)
        if (ns[i].Active == 1) {
            const SpherePoint& to = neighbourPoint(i);
            by[ix(i)] = bearing(at, to, arcTerms(at, to));
        }
    const float shad = settings_.Shad;
    std::array<ShadowStep, kMaxNeighbours> steps;
    for (int i = 1; i <= ns.NeighbourCount; ++i) {
        Station& ei = ns[i];
        if (ei.Active != 1) continue;
        int count = 0;
        for (int j = 1; j <= ns.NeighbourCount; ++j) {
            const Station& ej = ns[j];
            if (j == i || ej.Active != 1 || !(ej.Dist < ei.Dist)) continue;
            steps[ix(count++)] = {(1.0f - ej.Dist / ei.Dist) * shad, &by[ix(j)]};
        }
        ei.Weight = shadowChain(ei.Weight, by[ix(i)], steps.data(), count);
    }
}



void Engine::limitAnnualTotal() {
    const ValueRange annual = annualRecords(variable);
    float mean = 0;
    for (int m = 1; m <= 12; ++m) mean += res.Best[ix(m)] / 12.0f;
    if (!(mean > annual.high)) return;
    const float factor = annual.high / mean;
    for (int m = 1; m <= 12; ++m) {
        res.Best[ix(m)] *= factor;
        res.Caps[ix(m)] |= CapRecord;
    }
}

void Engine::AltitudeRegression() {
    const float n = ns.ActiveAltCount;
    for (int m = 1; m <= 12; ++m) {
        float Sy = 0, Sx = 0, Sxy = 0, Syy = 0, Sxx = 0;
        for (int i = 1; i <= ns.NeighbourCount; ++i) {
            const Station& e = ns[i];
            if (e.Active != 1 || e.Alt == kUnknown) continue;
            const float x = e.Alt, y = e.Data[ix(m)];
            Sy += y;
            Sx += x;
            Sxy += x * y;
            Syy += y * y;
            Sxx += x * x;
        }
        const float slopeDen = Sx * Sx - n * Sxx;
        if (robustCorrections()) {
            bool limited = false;
            res.VertGrad[ix(m)] = shrunkAltitudeSlope(m, &limited);
            if (limited && method() == Method::Robust) res.Caps[ix(m)] |= CapSlope;
        }
        else if (slopeDen != 0) res.VertGrad[ix(m)] = (Sx * Sy - n * Sxy) / slopeDen;
        const float yDen = n * Syy - Sy * Sy;
        const float xDen = n * Sxx - Sx * Sx;
        if (yDen != 0 && n > 2 && xDen != 0) {
            const float num = n * Sxy - Sy * Sx;
            res.VertExplVar[ix(m)] = num * num / yDen / xDen;
        } else {
            res.VertExplVar[ix(m)] = 0;
        }
    }
}

// Posterior slope (Sxx * b + k * b0) / (Sxx + k) = (Sxy + k * b0) / (Sxx + k) with centred
// sums: neighbours spanning little altitude cannot push the slope far from the prior.
float Engine::shrunkAltitudeSlope(int m, bool* limited) const {
    double n = 0, sx = 0, sy = 0;
    for (int i = 1; i <= ns.NeighbourCount; ++i) {
        const Station& e = ns[i];
        if (e.Active != 1 || e.Alt == kUnknown) continue;
        n += 1;
        sx += e.Alt;
        sy += e.Data[ix(m)];
    }
    const double prior = method() == Method::Adaptive ? priorAltitudeSlope(variable, working.Lat, m) : priorSlope(variable);
    if (n == 0) return static_cast<float>(prior);
    const double mx = sx / n, my = sy / n;
    double sxx = 0, sxy = 0;
    for (int i = 1; i <= ns.NeighbourCount; ++i) {
        const Station& e = ns[i];
        if (e.Active != 1 || e.Alt == kUnknown) continue;
        sxx += (e.Alt - mx) * (e.Alt - mx);
        sxy += (e.Alt - mx) * (e.Data[ix(m)] - my);
    }
    const double k = altitudeShrink(variable);
    const double slope = (sxy + k * prior) / (sxx + k);
    // Within what an atmosphere does (temperatures) or a factor 4 per km of the mean value.
    const double limit = variable <= Tmin ? 0.0 : 1.3862944e-3 * (std::max(my, 0.0) + kBoundsLogOffset);
    const double kept = variable <= Tmin ? std::clamp(slope, -0.012, 0.008) : std::clamp(slope, -limit, limit);
    if (limited) *limited = kept != slope;
    return static_cast<float>(kept);
}

void Engine::GradientRegression() {
    // Reference point of the plane fit: the working location, with longitude differences taken
    // the short way round, so that neighbours across the date line lie beside it.
    const float pLon = working.Lon, pLat = working.Lat;
    const float n = ns.ActiveCount;
    for (int m = 1; m <= 12; ++m) {
        float S1 = 0, S2 = 0, Sy = 0, S11 = 0, S22 = 0, S12 = 0, S1y = 0, S2y = 0;
        for (int i = 1; i <= ns.NeighbourCount; ++i) {
            const Station& e = ns[i];
            if (e.Active != 1) continue;
            const float x1 = longitudeDifference(e.Lon, pLon);
            const float x2 = e.Lat - pLat;
            const float y = altitudeDifference(working.Alt, e.Alt) * res.VertGrad[ix(m)] + e.Data[ix(m)];
            S1 += x1;
            S2 += x2;
            Sy += y;
            S11 += x1 * x1;
            S22 += x2 * x2;
            S12 += x1 * x2;
            S1y += y * x1;
            S2y += y * x2;
        }
        const float A = n * S11 - S1 * S1;
        const float B = n * S22 - S2 * S2;
        const float C = n * S1y - Sy * S1;
        const float D = n * S2y - Sy * S2;
        const float E = n * S12 - S1 * S2;
        if (robustCorrections()) {
            // Ridge: the centred normal equations with kPlaneShrink added to the diagonal.
            const double a11 = A / n + kPlaneShrink, a22 = B / n + kPlaneShrink, a12 = E / n;
            const double r1 = C / n, r2 = D / n;
            const double det = a11 * a22 - a12 * a12;
            res.LongGradDeg[ix(m)] = static_cast<float>((r1 * a22 - r2 * a12) / det);
            res.LatGradDeg[ix(m)] = static_cast<float>((r2 * a11 - r1 * a12) / det);
            continue;
        }
        // A zero denominator (stations on one line) gives gradient 0 rather than a division failure.
        const float latDen = B * A - E * E;
        const float latGrad = latDen != 0 ? (D * A - C * E) / latDen : 0.0f;
        res.LatGradDeg[ix(m)] = latGrad;
        res.LongGradDeg[ix(m)] = E != 0 ? (D - B * latGrad) / E : 0.0f;
    }
}

namespace {
// Direction in which a gradient (east, north components) increases, degrees in [0, 360);
// northIsPositive decides the half-plane as the per-degree latitude coefficient does.
float gradientDirection(float longGrad, float latGrad, bool northPositive) {
    float dir = 0;
    if (latGrad != 0 || longGrad != 0) {
        // With a zero northward component the quotient is taken as 0.
        const float q = latGrad != 0 ? longGrad / latGrad : 0.0f;
        dir = static_cast<float>(std::atan(q) * 180.0 / kPiSingle);
    }
    if (!northPositive) dir += 180;
    else if (dir < 0) dir += 360;
    return dir;
}
}  // namespace

void Engine::GradientOutputs(int m) {
    const size_t k = ix(m);
    if (settings_.GradCorr != 1) {
        res.AbsGrad[k] = res.DirecGrad[k] = res.LongGrad[k] = res.LatGrad[k] = 0;
        res.DirecGradName[k] = "";
        return;
    }
    const float R = kEarthRadiusKm;
    res.LatGrad[k] = res.LatGradDeg[k] * 360.0f / 2.0f / kPiSingle / R * 100.0f;
    const float cosLat = static_cast<float>(std::cos((working.Lat + working.Lat) * kPiSingle / 360.0f));
    res.LongGrad[k] = res.LongGradDeg[k] * 360.0f / 2.0f / kPiSingle / R * 100.0f / cosLat;
    if (res.LatGrad[k] != 0 || res.LongGrad[k] != 0)
        res.AbsGrad[k] = std::sqrt(res.LongGrad[k] * res.LongGrad[k] + res.LatGrad[k] * res.LatGrad[k]);
    else
        res.AbsGrad[k] = 0;
    res.DirecGrad[k] = gradientDirection(res.LongGrad[k], res.LatGrad[k], res.LatGradDeg[k] > 0);
    res.DirecGradName[k] = SectorName(res.DirecGrad[k]);
}

bool Engine::samePositions(const std::array<int, kMaxNeighbours>& act, int n) {
    for (int a = 1; a < n; ++a)
        for (int b = 0; b < a; ++b)
            if (ns[act[ix(a)]].Lon == ns[act[ix(b)]].Lon && ns[act[ix(a)]].Lat == ns[act[ix(b)]].Lat) {
                messages.push_back({"Two Stations at the same Location",
                                    "No Sence of two different Stations at the same location.\n"
                                    "You must uncheck at least one of them"});
                return true;
            }
    return false;
}

float annualErrorShare(const std::array<float, 12>* errors, int n, bool centred) {
    if (n < 2) return std::numeric_limits<float>::quiet_NaN();
    const auto spread = [&](auto value) {
        double sum = 0, sq = 0;
        for (int a = 0; a < n; ++a) {
            const double v = value(a);
            sum += v;
            sq += v * v;
        }
        const double mean = centred ? sum / n : 0.0;
        return std::sqrt(std::max(sq / n - mean * mean, 0.0));
    };
    double monthly = 0;
    for (size_t m = 0; m < 12; ++m) monthly += spread([&](int a) { return static_cast<double>(errors[ix(a)][m]); });
    const double annual = spread([&](int a) {
        double total = 0;
        for (size_t m = 0; m < 12; ++m) total += errors[ix(a)][m];
        return total;
    });
    if (!(monthly > 0)) return std::numeric_limits<float>::quiet_NaN();
    return static_cast<float>(std::min(annual / monthly, 1.0));
}

void Engine::CrossValidate() {
    const int nc = ns.NeighbourCount;
    const float p = powExp();
    // The active neighbours, in neighbour order; a, b, c below count among them.
    std::array<int, kMaxNeighbours> act{};
    int n = 0;
    for (int i = 1; i <= nc; ++i)
        if (ns[i].Active == 1) act[ix(n++)] = i;
    if (samePositions(act, n)) return;
    res.HasStdErr = true;
    std::array<const SpherePoint*, kMaxPairPoints> points{};
    for (int a = 0; a < n; ++a) points[ix(a)] = &neighbourPoint(act[ix(a)]);
    const int slot = variable >= 0 && variable < NeighbourPairs::kSlots ? variable : 0;
    pairs_->update(points, n, {p, settings_.DistEpsilon, settings_.Shad, settings_.ShadowOn == 1}, slot);

    const bool robust = robustCorrections();
    // Each active neighbour estimated from the others, all months at once.
    std::array<std::array<float, 12>, kMaxNeighbours> err{};
    const float* vertGrad = &res.VertGrad[1];
    const float* longGrad = &res.LongGradDeg[1];
    const float* latGrad = &res.LatGradDeg[1];
    for (int a = 0; a < n; ++a) {
        const Station& left = ns[act[ix(a)]];
        const std::array<float, kMaxPairPoints>& w = pairs_->leaveOneOut(a);
        std::array<float, 12> e{};
        for (int b = 0; b < n; ++b) {
            if (b == a) continue;
            const Station& s = ns[act[ix(b)]];
            const float wb = w[ix(b)];
            const float dAlt = altitudeDifference(left.Alt, s.Alt), dLon = longitudeDifference(left.Lon, s.Lon), dLat = left.Lat - s.Lat;
            const float* data = &s.Data[1];
            for (size_t m = 0; m < 12; ++m)
                e[m] += wb * (data[m] + dAlt * vertGrad[m] + dLon * longGrad[m] + dLat * latGrad[m]);
        }
        for (size_t m = 0; m < 12; ++m) {
            if (robust) e[m] = clampPhysical(e[m]);
            err[ix(a)][m] = e[m] - left.Data[m + 1];
        }
    }
    annualErrorShare_ = annualErrorShare(err.data(), n, true);
    for (int m = 1; m <= 12; ++m) {
        float sum = 0;
        for (int a = 0; a < n; ++a) sum += err[ix(a)][ix(m - 1)];
        const float bias = sum / static_cast<float>(n);
        float sq = 0;
        for (int a = 0; a < n; ++a) {
            const float dev = err[ix(a)][ix(m - 1)] - bias;
            sq += dev * dev;
        }
        res.Bias[ix(m)] = bias;
        res.StdErr[ix(m)] = std::sqrt(sq / static_cast<float>(n));
        res.Best[ix(m)] -= bias;
        if (res.Best[ix(m)] < 0 && variable > 2) res.Best[ix(m)] = 0;
        if (robust) res.Best[ix(m)] = clampPhysical(res.Best[ix(m)]);
        if (robust && variable == Prec) {
            // Precipitation's bounds lie in ratio space: the errors as log ratios.
            double sqLog = 0;
            for (int a = 0; a < n; ++a) {
                const double obs = std::max(ns[act[ix(a)]].Data[ix(m)], 0.0f);
                const double est = std::max(obs + err[ix(a)][ix(m - 1)] - bias, 0.0);
                const double r = std::log((est + kBoundsLogOffset) / (obs + kBoundsLogOffset));
                sqLog += r * r;
            }
            res.StdErrLog[ix(m)] = static_cast<float>(std::sqrt(sqLog / n));
        }
    }
}

void Engine::DetectStrangeData() {
    if (ns.ActiveAltCount < 10) return;
    estimation().detectStrangeData(*this);
}

void Engine::WeightedEstimate() {
    if (!estimation().weighsItself()) ComputeWeights();
    estimation().estimate(*this);
}

void Engine::EvaluateWarnings() {
    warn.WarnHigh = warn.WarnLow = warn.WarnLonely = warn.WarnStrange = warn.WarnHit = warn.WarnFew = false;
    float highest = -9999, lowest = 999999;
    for (int i = 1; i <= ns.NeighbourCount; ++i) {
        const Station& e = ns[i];
        if (e.Active != 1 || e.Alt == kUnknown) continue;
        if (e.Alt > highest) highest = e.Alt;
        if (e.Alt < lowest) lowest = e.Alt;
    }
    warn.WarnHigh = working.Alt > highest;
    warn.WarnLow = working.Alt < lowest;

    // Reference point: the mean position of the active neighbours (the mean station). The
    // location is "not surrounded" when no active neighbour lies farther from that centre
    // than the location itself.
    const Station& centre = ns[kMean];
    const float eps = settings_.DistEpsilon;
    warn.WarnLonely = true;
    const float d0 = Distance(working.Lon, working.Lat, centre.Lon, centre.Lat, eps);
    for (int i = 1; i <= ns.NeighbourCount; ++i) {
        const Station& e = ns[i];
        if (e.Active != 1) continue;
        if (Distance(centre.Lon, centre.Lat, e.Lon, e.Lat, eps) > d0) {
            warn.WarnLonely = false;
            break;
        }
    }
    DetectStrangeData();
    warn.WarnFew = ns.ActiveCount < 10 || ns.ActiveAltCount < 3;
    warn.WarnHit = method() == Method::Described && settings_.PowExp > 0.001f && ns[1].Dist < settings_.MinDist &&
                   ns.ActiveCount > 1 && ns[1].Active == 1;
    // Every method's estimate, as the outputs write it, against the world's records; with one
    // active station there is no annual value to judge.
    warn.WarnRecord = false;
    warn.RecordMonth = 0;
    for (int m = 1; m <= (ns.ActiveCount == 1 ? 12 : 13) && ns.ActiveCount > 0; ++m)
        if (!recordsOfPeriod(variable, m).contains(ClipValue(res.Best[ix(m)], variable))) {
            warn.WarnRecord = true;
            warn.RecordMonth = static_cast<int16_t>(m);
            break;
        }
}

void Engine::PostProcess() {
    Monthly* annual[] = {&res.Best,        &res.Bias,       &res.StdErr,   &res.AbsGrad,
                         &res.DirecGrad,   &res.VertGrad,   &res.LongGradDeg, &res.LatGradDeg,
                         &res.LongGrad,    &res.LatGrad,    &res.VertExplVar};
    for (Monthly* a : annual) (*a)[13] = 0;
    const bool grad = settings_.GradCorr == 1;
    for (int m = 1; m <= 12; ++m) {
        GradientOutputs(m);
        const size_t k = ix(m);
        res.Best[13] += res.Best[k] / 12.0f;
        res.StdErr[13] += res.StdErr[k] / 12.0f;
        res.Bias[13] += res.Bias[k] / 12.0f;
        res.VertGrad[13] += res.VertGrad[k] / 12.0f;
        res.AbsGrad[13] += res.AbsGrad[k] / 12.0f;
        res.VertExplVar[13] += res.VertExplVar[k] / 12.0f;
        res.LongGrad[13] += res.LongGrad[k] / 12.0f;
        res.LatGrad[13] += res.LatGrad[k] / 12.0f;
        res.DirecGradName[k] = grad ? SectorName(res.DirecGrad[k]) : "";
    }
    res.StdErrLog[13] = 0;
    res.Caps[13] = 0;
    if (res.HasStdErr && std::isfinite(annualErrorShare_)) res.AnnualTotalStdErr = 12 * res.StdErr[13] * annualErrorShare_;
    for (int m = 1; m <= 12; ++m) {
        res.StdErrLog[13] += res.StdErrLog[ix(m)] / 12.0f;
        res.Caps[13] |= res.Caps[ix(m)];
    }
    if (grad) {
        res.DirecGrad[13] = gradientDirection(res.LongGrad[13], res.LatGrad[13], res.LatGrad[13] > 0);
        res.DirecGradName[13] = SectorName(res.DirecGrad[13]);
    } else {
        res.DirecGrad[13] = 0;
        res.DirecGradName[13] = "";
    }
    FitAnnualCycle();
}

namespace {
// The harmonics of the annual-cycle fit depend only on the month lengths: computed once.
struct Harmonics {
    float L[13] = {0, 31, 28.25f, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    float sinkt[7][13] = {}, coskt[7][13] = {};
    float factor[7] = {};
    Harmonics() {
        float t[13];
        t[1] = L[1] / 2.0f / 365.25f;
        for (int m = 2; m <= 12; ++m) t[m] = t[m - 1] + (L[m - 1] + L[m]) / 2.0f / 365.25f;
        for (int k = 1; k <= 6; ++k) {
            for (int m = 1; m <= 12; ++m) {
                sinkt[k][m] = static_cast<float>(std::sin(2.0 * kPi * k * t[m]));
                coskt[k][m] = static_cast<float>(std::cos(2.0 * kPi * k * t[m]));
            }
            factor[k] = static_cast<float>((kPi * k / 12.0) / std::sin(kPi * k / 12.0));
        }
    }
};
}  // namespace

void Engine::FitAnnualCycle() {
    static const Harmonics h;
    float y[13];
    float mean = 0;
    for (int m = 1; m <= 12; ++m) {
        y[m] = res.Best[ix(m)];
        if (variable == Prec || variable == PET) y[m] = res.Best[ix(m)] / h.L[m] * 30.4375f;
        mean += y[m];
    }
    mean /= 12.0f;
    res.AnnualCycle[13] = mean;
    for (int m = 1; m <= 12; ++m) y[m] -= mean;
    for (int k = 1; k <= 6; ++k) {
        float sys = 0, sss = 0, syc = 0, scc = 0;
        for (int m = 1; m <= 12; ++m) {
            const float s = h.sinkt[k][m];
            const float c = h.coskt[k][m];
            sys += y[m] * s;
            sss += s * s;
            syc += y[m] * c;
            scc += c * c;
        }
        float a = sys / sss;
        float b = k == 6 ? 0.0f : syc / scc;
        a *= h.factor[k];
        b *= h.factor[k];
        res.AnnualCycle[ix(k)] = a;
        res.AnnualCycle[ix(k + 6)] = b;
    }
}

}  // namespace zentrel
