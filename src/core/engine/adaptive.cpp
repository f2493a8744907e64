// Candidate estimators, their leave-one-out errors, the local choice, and the family-wise
// strange-data test of the adaptive method.
#include "engine/adaptive.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "base/records.h"

namespace zentrel {

namespace {
// sqrt(a^2 + b^2) without std::hypot's care for overflow (slow, and the values here are small).
inline double pythagoras(double a, double b) { return std::sqrt(a * a + b * b); }
inline float pythagoras(float a, float b) { return std::sqrt(a * a + b * b); }

constexpr double kPi = 3.14159265358979;
// Shrinkage of the altitude slope towards its prior, in m^2 of centred altitude spread (as the
// robust corrections): the temperatures lean on the lapse rate, the others only lightly on "no slope".
constexpr double kShrinkTemp = 2.0e6;
constexpr double kShrinkOther = 1.0e4;
constexpr double kPlaneShrink = 16.0;  // degree^2 added to the centred sums of the plane fit
// Neighbours this far above or below the target weigh half as much under similarAltitude (a
// quarter at twice the distance, and so on). Tried 40 to 1200 m on held-out stations: from
// 75 to 150 m the errors were smallest, wider bands gave less, narrower ones no more.
constexpr double kSimilarAltitude = 100.0;
// Offset of the logarithmic scale, in variable units: dry months do not dominate the errors.
constexpr double kLogOffsetPrec = 5.0;
// Blending: a candidate whose squared leave-one-out error exceeds the smallest by the fraction
// x weighs exp(-x / kBlend) as much as the best one. Blending beat picking the single best by
// about 1 % on held-out stations (and picking beat the robust method alone by a few %).
constexpr double kBlend = 0.5;
// Leave-one-out errors of real networks have heavy tails (neighbours sited differently, in
// valleys, on summits): the strange-data test takes them as Student's t with 4 degrees of
// freedom, scaled to unit variance. With normal tails it fired at two thirds of the locations.
constexpr double kStrangeTailDegrees = 4.0;
// Offset of the logarithmic scale of the strange-data test for precipitation, mm.
constexpr double kStrangeLogOffset = 5.0;
// Limits of a fitted altitude slope: temperatures between -12 and +8 K per km; on the
// logarithmic scale (and, relative to the mean value, on the linear one) a factor 4 per km.
constexpr double kSlopeTempLow = -0.012, kSlopeTempHigh = 0.008;
constexpr double kSlopeRelative = 1.3862944 / 1000.0;  // ln 4 per km
// Uncertainty of an altitude slope carried beyond the neighbours' altitudes: 2 K per km for
// temperatures, 30 % per km for the others.
constexpr double kSlopeDoubtTemp = 0.002, kSlopeDoubtRelative = 0.0003;
// Part of a plane value taken beyond the plane's span at the neighbours that counts as error.
constexpr double kPlaneDoubt = 0.5;

bool isTemperature(int variable) { return variable <= Tmin; }

double logOffset(int variable) {
    if (variable == Prec) return kLogOffsetPrec;
    if (variable == Sun) return 0.05;
    return 1.0;
}

struct Scale {
    bool log = false;
    double c = 0;
    double forward(double v) const { return log ? std::log(std::max(v, 0.0) + c) : v; }
    double back(double y) const { return log ? std::exp(y) - c : y; }
    // Change of the value per unit of the scale at the value v (for reporting slopes).
    double derivative(double v) const { return log ? std::max(v, 0.0) + c : 1.0; }
};

bool known(float alt) { return alt != kUnknown; }

// Sums of the altitude fit (known altitudes only).
struct AltSums {
    double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
    void add(double x, double y, double s = 1) {
        n += s;
        sx += s * x;
        sy += s * y;
        sxx += s * x * x;
        sxy += s * x * y;
    }
};

double slopeOf(const AltSums& s, Candidate::Slope kind, double prior, double k) {
    if (kind == Candidate::Slope::None) return 0;
    if (kind == Candidate::Slope::Prior || s.n <= 0) return prior;
    const double mx = s.sx / s.n;
    const double cxx = s.sxx - s.sx * mx;
    const double cxy = s.sxy - s.sy * mx;
    return (cxy + k * prior) / (std::max(cxx, 0.0) + k);
}

// Sums of the plane fit over longitude and latitude differences; z = y + u * slope, where u is
// the altitude difference to the target of the fit.
struct PlaneSums {
    double n = 0, s1 = 0, s2 = 0, s11 = 0, s22 = 0, s12 = 0;
    double sy = 0, s1y = 0, s2y = 0, su = 0, s1u = 0, s2u = 0;
    void add(double x1, double x2, double y, double u, double s = 1) {
        n += s;
        s1 += s * x1;
        s2 += s * x2;
        s11 += s * x1 * x1;
        s22 += s * x2 * x2;
        s12 += s * x1 * x2;
        sy += s * y;
        s1y += s * x1 * y;
        s2y += s * x2 * y;
        su += s * u;
        s1u += s * x1 * u;
        s2u += s * x2 * u;
    }
};

void planeOf(const PlaneSums& p, double slope, double& g1, double& g2) {
    if (p.n < 1) {
        g1 = g2 = 0;
        return;
    }
    const double sz = p.sy + slope * p.su, s1z = p.s1y + slope * p.s1u, s2z = p.s2y + slope * p.s2u;
    const double a11 = p.s11 - p.s1 * p.s1 / p.n + kPlaneShrink;
    const double a22 = p.s22 - p.s2 * p.s2 / p.n + kPlaneShrink;
    const double a12 = p.s12 - p.s1 * p.s2 / p.n;
    const double r1 = s1z - sz * p.s1 / p.n, r2 = s2z - sz * p.s2 / p.n;
    const double det = a11 * a22 - a12 * a12;
    g1 = (r1 * a22 - r2 * a12) / det;
    g2 = (r2 * a11 - r1 * a12) / det;
}

double altitudeWeight(float to, float from, double scale) {
    if (!known(to) || !known(from)) return 1.0;
    const double d = (static_cast<double>(to) - from) / scale;
    return 1.0 / (1.0 + d * d);
}

// The altitude band of the similar-altitude weights at `alt`: kSimilarAltitude, widened to the
// altitude difference of the second most similar neighbour (skipping `skip`), so that the
// weights never rest on one station: a lone mountain station among lowland ones (Cherrapunji
// among the plains) is not the climate of every place at its altitude hundreds of km away.
// Widening to the 2nd, 3rd or 5th: the folds unchanged, 0.01 C and 0.3 points worse.
double similarAltitudeBand(const AdaptiveField& f, float alt, int skip) {
    constexpr int k = 2;
    if (!known(alt)) return kSimilarAltitude;
    std::array<double, kAdaptiveNeighbours> d{};
    int n = 0;
    for (int b = 0; b < f.n; ++b)
        if (b != skip && known(f.sAlt[static_cast<size_t>(b)])) d[static_cast<size_t>(n++)] = std::fabs(static_cast<double>(alt) - f.sAlt[static_cast<size_t>(b)]);
    if (n < k) return kSimilarAltitude;
    std::nth_element(d.begin(), d.begin() + (k - 1), d.begin() + n);
    return std::max(kSimilarAltitude, d[static_cast<size_t>(k - 1)]);
}

}  // namespace

namespace {
// Continued fraction of the regularised incomplete beta function (modified Lentz).
double betaFraction(double a, double b, double x) {
    constexpr double kTiny = 1e-300;
    double c = 1, d = 1 - (a + b) * x / (a + 1);
    if (std::fabs(d) < kTiny) d = kTiny;
    d = 1 / d;
    double h = d;
    for (int m = 1; m <= 300; ++m) {
        const double m2 = 2.0 * m;
        double aa = m * (b - m) * x / ((a - 1 + m2) * (a + m2));
        d = 1 + aa * d;
        if (std::fabs(d) < kTiny) d = kTiny;
        c = 1 + aa / c;
        if (std::fabs(c) < kTiny) c = kTiny;
        d = 1 / d;
        h *= d * c;
        aa = -(a + m) * (a + b + m) * x / ((a + m2) * (a + 1 + m2));
        d = 1 + aa * d;
        if (std::fabs(d) < kTiny) d = kTiny;
        c = 1 + aa / c;
        if (std::fabs(c) < kTiny) c = kTiny;
        d = 1 / d;
        const double del = d * c;
        h *= del;
        if (std::fabs(del - 1) < 1e-15) break;
    }
    return h;
}

double incompleteBeta(double a, double b, double x) {
    if (x <= 0) return 0;
    if (x >= 1) return 1;
    const double front = std::exp(std::lgamma(a + b) - std::lgamma(a) - std::lgamma(b) + a * std::log(x) + b * std::log1p(-x));
    if (x < (a + 1) / (a + b + 2)) return front * betaFraction(a, b, x) / a;
    return 1 - front * betaFraction(b, a, 1 - x) / b;
}
}  // namespace

double studentQuantile(double p, double nu) {
    if (!(p > 0.5 && p < 1)) return p == 0.5 ? 0.0 : (p < 0.5 ? -studentQuantile(1 - p, nu) : std::numeric_limits<double>::infinity());
    // Upper tail 1 - F(t) = I(nu / (nu + t^2); nu / 2, 1 / 2) / 2, falling in t: bisection.
    const double tail = 1 - p;
    double lo = 0, hi = 1;
    while (incompleteBeta(nu / 2, 0.5, nu / (nu + hi * hi)) / 2 > tail && hi < 1e12) hi *= 2;
    for (int i = 0; i < 200 && hi - lo > 1e-12 * hi; ++i) {
        const double mid = (lo + hi) / 2;
        if (incompleteBeta(nu / 2, 0.5, nu / (nu + mid * mid)) / 2 > tail) lo = mid;
        else hi = mid;
    }
    return (lo + hi) / 2;
}

double normalQuantile(double p) {
    // Bisection on the complementary error function: exact to double precision, and only
    // called once per estimate.
    if (!(p > 0 && p < 1)) return p >= 1 ? std::numeric_limits<double>::infinity() : -std::numeric_limits<double>::infinity();
    double lo = -40, hi = 40;
    for (int i = 0; i < 200 && hi - lo > 1e-12; ++i) {
        const double mid = (lo + hi) / 2;
        if (0.5 * std::erfc(-mid / std::sqrt(2.0)) < p) lo = mid;
        else hi = mid;
    }
    return (lo + hi) / 2;
}

float priorAltitudeSlope(int variable, float lat, int month) {
    if (!isTemperature(variable)) return 0.0f;
    constexpr double kLapseRate = -0.0065;  // K/m, the standard atmosphere
    // Inversions: strongest in polar winter (from 50 degrees on, fully from 70), none in the
    // tropics and in summer; the nights (Tmin) feel them most, the afternoons (Tmax) least.
    const double polar = std::clamp((std::fabs(static_cast<double>(lat)) - 50.0) / 20.0, 0.0, 1.0);
    const int midwinter = lat >= 0 ? 1 : 7;
    const double winter = (1.0 + std::cos(2.0 * kPi * (month - midwinter) / 12.0)) / 2.0;
    const double strength = variable == Tmax ? 0.4 : variable == Tmin ? 0.8 : 0.6;
    // Night-time minima lie partly in surface inversions everywhere: three quarters of the lapse
    // rate fitted the held-out minima better (half of it was worse).
    const double base = variable == Tmin ? kLapseRate * 0.75 : kLapseRate;
    return static_cast<float>(base * (1.0 - strength * polar * winter));
}

double changeBeyondNeighbours(int variable, double prior, double value, double dz, bool logScale) {
    constexpr double kLapseRate = -0.0065;                // K/m
    constexpr double kVapourPerMetre = -2.302585 / 6300;  // ln(10) per 6.3 km
    if (isTemperature(variable)) return (dz > 0 ? kLapseRate : prior) * dz;
    if (variable == Vap) return logScale ? kVapourPerMetre * dz : std::max(value, 0.0) * std::expm1(kVapourPerMetre * dz);
    return prior * dz;
}

CandidateSet candidatesFor(int variable) {
    using S = Candidate::Scale;
    using L = Candidate::Slope;
    CandidateSet set;
    auto add = [&](S scale, L slope, bool plane, bool similar) { set.list[static_cast<size_t>(set.count++)] = {scale, slope, plane, similar}; };
    const bool logToo = variable == Prec || variable == Vap || variable == PET || variable == Wind;
    for (S scale : {S::Linear, S::Log}) {
        if (scale == S::Log && !logToo) continue;
        for (bool similar : {false, true})
            for (bool plane : {true, false})
                for (L slope : {L::Shrunk, L::Prior, L::None}) {
                    // For the other variables the prior is "none". Temperatures without any
                    // altitude slope never helped on held-out stations and were dropped.
                    if (!isTemperature(variable) && slope == L::Prior) continue;
                    if (isTemperature(variable) && slope == L::None) continue;
                    add(scale, slope, plane, similar);
                }
    }
    return set;
}

namespace {

// The envelope each month's estimate is kept within (base/records.h). The left-out stations'
// estimates are kept within the records only: their own envelopes changed neither the choice
// nor the errors measurably, and cost a tenth of the estimate.
using Envelopes = std::array<ValueRange, 12>;

void envelopesOf(const AdaptiveField& f, Envelopes& env) {
    const size_t un = static_cast<size_t>(f.n);
    const bool factors = f.variable > Tmin && f.variable != Sun;
    std::array<float, kAdaptiveNeighbours> factor{}, dz{};
    for (size_t b = 0; b < un; ++b) {
        factor[b] = factors ? envelopeAltitudeFactor(f.alt, f.sAlt[b]) : 1.0f;
        dz[b] = known(f.alt) && known(f.sAlt[b]) ? f.alt - f.sAlt[b] : 0.0f;
    }
    constexpr float kInf = std::numeric_limits<float>::infinity();
    for (size_t m = 0; m < 12; ++m) {
        ValueRange all{kInf, -kInf};
        for (size_t b = 0; b < un; ++b) {
            const ValueRange one = envelopeOfNeighbour(f.variable, f.data[b][m], dz[b], factor[b]);
            all.low = std::min(all.low, one.low);
            all.high = std::max(all.high, one.high);
        }
        env[m] = f.n > 0 ? widenEnvelope(f.variable, all) : monthlyRecords(f.variable);
    }
}

// What the candidates of one scale and one weighting share: the values on the scale, the
// weighted sums of the location's estimate and of every left-out station's, and the sums of
// the altitude and plane fits. A weighted estimate with slope s and plane (g1, g2) is then
// sum w (y + dz s + dlon g1 + dlat g2) = Y + s Z + g1 X1 + g2 X2, so each candidate costs a few
// operations per station and month instead of a pass over all pairs.
// A fitted slope is not carried beyond the altitudes it was fitted on: the altitude difference
// counts up to the nearest end of the neighbours' altitude range (Z), and beyond it only the
// prior slope acts (E, the weight of the neighbours with an altitude times the distance beyond).
struct Prepared {
    Scale sc;
    bool errorEstimate = false;
    std::array<double, 12> locY{};       // sum over b of w(b) y(b, m)
    double locZ = 0, locX1 = 0, locX2 = 0;  // sums of w(b) times the altitude, longitude, latitude differences
    double locE = 0;                     // prior-slope part of the altitude difference
    double beyond = 0;                   // m the location lies above or below its neighbours' altitudes
    std::array<double, kAdaptiveNeighbours> x1{}, x2{};  // station minus location, degrees
    std::array<std::array<double, 12>, kAdaptiveNeighbours> looY{};
    std::array<double, kAdaptiveNeighbours> looZ{}, looX1{}, looX2{}, looE{};
    std::array<std::array<double, 12>, kAdaptiveNeighbours> y{};
    std::array<double, kAdaptiveNeighbours> u{};  // altitude difference (range-limited) location - station (0 if unknown)
    std::array<double, 12> meanY{};               // mean of the values on the scale
    std::array<AltSums, 12> alt{};
    std::array<PlaneSums, 12> plane{};
};

// The nearest altitude to `alt` within [low, high]; alt itself when the range is empty.
double withinRange(double alt, double low, double high) { return low <= high ? std::clamp(alt, low, high) : alt; }

void prepare(const AdaptiveField& f, Candidate::Scale scale, bool similarAltitude, Prepared& p) {
    const int n = f.n;
    const size_t un = static_cast<size_t>(n);
    p = Prepared{};
    p.errorEstimate = f.errorEstimate && n >= 2;
    p.sc.log = scale == Candidate::Scale::Log;
    p.sc.c = logOffset(f.variable);

    double altLow = std::numeric_limits<double>::infinity(), altHigh = -altLow;
    for (size_t b = 0; b < un; ++b)
        if (known(f.sAlt[b])) {
            altLow = std::min(altLow, static_cast<double>(f.sAlt[b]));
            altHigh = std::max(altHigh, static_cast<double>(f.sAlt[b]));
        }
    const double target = known(f.alt) ? withinRange(f.alt, altLow, altHigh) : 0.0;

    const double band = similarAltitude ? similarAltitudeBand(f, f.alt, -1) : kSimilarAltitude;
    std::array<double, kAdaptiveNeighbours> w{};
    double wsum = 0;
    for (size_t b = 0; b < un; ++b) {
        w[b] = f.weight[b] * (similarAltitude ? altitudeWeight(f.alt, f.sAlt[b], band) : 1.0);
        wsum += w[b];
    }
    double wKnown = 0;
    for (size_t b = 0; b < un; ++b) {
        w[b] = wsum > 0 ? w[b] / wsum : 1.0 / n;
        const bool both = known(f.sAlt[b]) && known(f.alt);
        p.u[b] = both ? target - f.sAlt[b] : 0.0;
        if (both) wKnown += w[b];
        for (size_t m = 0; m < 12; ++m) p.y[b][m] = p.sc.forward(f.data[b][m]);
        p.x1[b] = static_cast<double>(f.sLon[b]) - f.lon;
        p.x2[b] = static_cast<double>(f.sLat[b]) - f.lat;
        p.locZ += w[b] * p.u[b];
        p.locX1 -= w[b] * p.x1[b];
        p.locX2 -= w[b] * p.x2[b];
        for (size_t m = 0; m < 12; ++m) {
            p.locY[m] += w[b] * p.y[b][m];
            p.meanY[m] += p.y[b][m] / n;
            if (known(f.sAlt[b])) p.alt[m].add(f.sAlt[b], p.y[b][m]);
            p.plane[m].add(p.x1[b], p.x2[b], p.y[b][m], p.u[b]);
        }
    }
    if (known(f.alt)) {
        p.beyond = std::fabs(f.alt - target);
        p.locE = wKnown * (f.alt - target);
    }
    if (!p.errorEstimate) return;
    for (size_t a = 0; a < un; ++a) {
        const double bandOf = similarAltitude ? similarAltitudeBand(f, f.sAlt[a], static_cast<int>(a)) : kSimilarAltitude;
        std::array<double, kAdaptiveNeighbours> lw{};
        double sum = 0, low = std::numeric_limits<double>::infinity(), high = -low;
        for (size_t b = 0; b < un; ++b) {
            lw[b] = b == a ? 0.0 : f.loo[a][b] * (similarAltitude ? altitudeWeight(f.sAlt[a], f.sAlt[b], bandOf) : 1.0);
            sum += lw[b];
            if (b != a && known(f.sAlt[b])) {
                low = std::min(low, static_cast<double>(f.sAlt[b]));
                high = std::max(high, static_cast<double>(f.sAlt[b]));
            }
        }
        const double at = known(f.sAlt[a]) ? withinRange(f.sAlt[a], low, high) : 0.0;
        double knownWeight = 0;
        for (size_t b = 0; b < un; ++b) {
            if (b == a) continue;
            const double wb = sum > 0 ? lw[b] / sum : 1.0 / (n - 1);
            if (known(f.sAlt[a]) && known(f.sAlt[b])) {
                p.looZ[a] += wb * (at - f.sAlt[b]);
                knownWeight += wb;
            }
            p.looX1[a] += wb * (p.x1[a] - p.x1[b]);
            p.looX2[a] += wb * (p.x2[a] - p.x2[b]);
            for (size_t m = 0; m < 12; ++m) p.looY[a][m] += wb * p.y[b][m];
        }
        if (known(f.sAlt[a])) p.looE[a] = knownWeight * (f.sAlt[a] - at);
    }
}

// A fitted slope kept within what an atmosphere does (temperatures) or a factor 4 per km.
double limitSlope(double slope, bool temperature, const Prepared& p, size_t m, bool& limited) {
    double low = kSlopeTempLow, high = kSlopeTempHigh;
    if (!temperature) {
        const double scale = p.sc.log ? 1.0 : std::max(p.meanY[m], 0.0) + p.sc.c;
        low = -kSlopeRelative * scale;
        high = kSlopeRelative * scale;
    }
    const double kept = std::clamp(slope, low, high);
    limited = limited || kept != slope;
    return kept;
}

AdaptiveOutcome estimatePrepared(const AdaptiveField& f, const Prepared& p, const Envelopes& env, const Candidate& cand) {
    AdaptiveOutcome out;
    out.errorEstimate = p.errorEstimate;
    const int n = f.n;
    const size_t un = static_cast<size_t>(n);
    const bool temperature = isTemperature(f.variable);
    const double k = temperature ? kShrinkTemp : kShrinkOther;
    const bool planeOn = cand.plane && f.gradCorr && n > 5;
    const ValueRange records = monthlyRecords(f.variable);
    const double c = logOffset(f.variable);
    for (size_t m = 0; m < 12; ++m) {
        // On the logarithmic scale the prior (0 for those variables) is "no relative change".
        const double prior = f.altCorr ? priorAltitudeSlope(f.variable, f.lat, static_cast<int>(m) + 1) : 0.0;
        bool slopeLimited = false;
        const double slope = f.altCorr ? limitSlope(slopeOf(p.alt[m], cand.slope, prior, k), temperature, p, m, slopeLimited) : 0.0;
        double g1 = 0, g2 = 0, planeAt = 0, planeSpan = 0;
        if (planeOn) {
            planeOf(p.plane[m], slope, g1, g2);
            // The plane's value at the location kept within its values at the neighbours: no
            // gradient is carried beyond the stations it was fitted on.
            double low = std::numeric_limits<double>::infinity(), high = -low;
            for (size_t b = 0; b < un; ++b) {
                const double q = g1 * p.x1[b] + g2 * p.x2[b];
                low = std::min(low, q);
                high = std::max(high, q);
            }
            planeAt = std::clamp(0.0, low, high);
            planeSpan = high - low;
        }
        // Beyond the neighbours' altitudes a relative change (vapour pressure on the linear scale)
        // acts on the whole value at their edge, plane included: added after it, the plane's
        // share stayed and drove the ice sheet's winter vapour to 0.
        const double atEdge = p.locY[m] + slope * p.locZ + g1 * p.locX1 + g2 * p.locX2 + planeAt;
        const double est = atEdge + (f.altCorr ? changeBeyondNeighbours(f.variable, prior, atEdge, p.locE, p.sc.log) : 0.0);
        // No bias is removed: on held-out stations the neighbours' mean leave-one-out error did
        // not predict the location's own error (removing it made the estimates slightly worse).
        double best = p.sc.back(est);
        uint8_t caps = static_cast<uint8_t>((slopeLimited ? CapSlope : 0) | (planeAt != 0 ? CapPlane : 0));
        // The error of extrapolation, on the candidate's scale: the slope's doubt over the
        // altitudes beyond the neighbours', and part of the plane value that was cut off.
        const double slopeDoubt = temperature ? kSlopeDoubtTemp : kSlopeDoubtRelative * (p.sc.log ? 1.0 : std::max(best, 0.0) + c);
        const double onScale = pythagoras(f.altCorr ? slopeDoubt * p.beyond : 0.0, kPlaneDoubt * std::min(std::fabs(planeAt), planeSpan));
        double extraErr = p.sc.log ? onScale * (std::max(best, 0.0) + c) : onScale;
        double extraLog = p.sc.log ? onScale : onScale / (std::max(best, 0.0) + c);
        const double bounded = std::clamp(best, static_cast<double>(records.low), static_cast<double>(records.high));
        if (bounded != best) caps |= CapRecord;
        const ValueRange& e = env[m];
        const double kept = std::clamp(bounded, static_cast<double>(e.low), static_cast<double>(e.high));
        if (kept != bounded) {
            caps |= CapEnvelope;
            const double cut = std::min(std::fabs(kept - bounded), static_cast<double>(e.high - e.low));
            extraErr = pythagoras(extraErr, cut);
            extraLog = pythagoras(extraLog, std::log((kept + cut + c) / (kept + c)));
        }
        best = kept;
        out.best[m] = static_cast<float>(best);
        out.caps[m] = caps;
        out.extraErr[m] = static_cast<float>(extraErr);
        out.extraLog[m] = static_cast<float>(extraLog);
        const double d = p.sc.log ? std::max(best, 0.0) + p.sc.c : 1.0;
        out.vertGrad[m] = static_cast<float>(slope * d);
        out.longGradDeg[m] = static_cast<float>(g1 * d);
        out.latGradDeg[m] = static_cast<float>(g2 * d);
        if (!out.errorEstimate) continue;
        // Each station estimated from the others, with the slope and plane fitted without it.
        double sq = 0;
        for (size_t a = 0; a < un; ++a) {
            double sa = slope;
            bool ignored = false;
            if (f.altCorr && known(f.sAlt[a]) && cand.slope == Candidate::Slope::Shrunk) {
                AltSums less = p.alt[m];
                less.add(f.sAlt[a], p.y[a][m], -1);
                sa = limitSlope(slopeOf(less, cand.slope, prior, k), temperature, p, m, ignored);
            }
            double a1 = 0, a2 = 0;
            if (planeOn) {
                PlaneSums less = p.plane[m];
                less.add(p.x1[a], p.x2[a], p.y[a][m], p.u[a], -1);
                planeOf(less, sa, a1, a2);
            }
            const double edge = p.looY[a][m] + sa * p.looZ[a] + a1 * p.looX1[a] + a2 * p.looX2[a];
            const double ea = edge + (f.altCorr ? changeBeyondNeighbours(f.variable, prior, edge, p.looE[a], p.sc.log) : 0.0);
            const double va = std::clamp(p.sc.back(ea), static_cast<double>(records.low), static_cast<double>(records.high));
            const double err = va - f.data[a][m];
            out.error[a][m] = static_cast<float>(err);
            sq += err * err;
        }
        out.stdErr[m] = static_cast<float>(std::sqrt(sq / n));
    }
    return out;
}

// Bias, standard errors and ratio-space standard error of an outcome from its leave-one-out
// errors and its extrapolation errors.
void finishErrors(const AdaptiveField& f, AdaptiveOutcome& o) {
    for (size_t m = 0; m < 12; ++m) {
        double sum = 0, sq = 0, sqLog = 0;
        for (size_t a = 0; a < static_cast<size_t>(f.n); ++a) {
            const double e = o.error[a][m], obs = f.data[a][m];
            sum += e;
            sq += e * e;
            if (f.variable != Prec) continue;
            const double r = std::log((std::max(obs + e, 0.0) + kBoundsLogOffset) / (std::max(obs, 0.0) + kBoundsLogOffset));
            sqLog += r * r;
        }
        const double n = std::max(f.n, 1);
        o.bias[m] = o.errorEstimate ? static_cast<float>(sum / n) : 0.0f;
        o.stdErr[m] = o.errorEstimate ? static_cast<float>(pythagoras(std::sqrt(sq / n), static_cast<double>(o.extraErr[m]))) : 0.0f;
        o.stdErrLog[m] = o.errorEstimate && f.variable == Prec ? static_cast<float>(pythagoras(std::sqrt(sqLog / n), static_cast<double>(o.extraLog[m]))) : 0.0f;
    }
}

}  // namespace

AdaptiveOutcome estimateWith(const AdaptiveField& f, const Candidate& cand) {
    Prepared p;
    prepare(f, cand.scale, cand.similarAltitude, p);
    Envelopes env;
    envelopesOf(f, env);
    AdaptiveOutcome out = estimatePrepared(f, p, env, cand);
    finishErrors(f, out);
    return out;
}

AdaptiveOutcome estimateAdaptive(const AdaptiveField& f) {
    const CandidateSet set = candidatesFor(f.variable);
    Envelopes env;
    envelopesOf(f, env);
    // One preparation per scale and weighting, shared by the candidates that use it.
    std::array<Prepared, 4> prepared;
    std::array<bool, 4> ready{};
    auto run = [&](const Candidate& cand) {
        const size_t key = (cand.scale == Candidate::Scale::Log ? 2u : 0u) + (cand.similarAltitude ? 1u : 0u);
        if (!ready[key]) prepare(f, cand.scale, cand.similarAltitude, prepared[key]);
        ready[key] = true;
        return estimatePrepared(f, prepared[key], env, cand);
    };
    AdaptiveOutcome best = run(set.list[0]);
    if (!best.errorEstimate) {
        finishErrors(f, best);
        return best;
    }
    auto score = [&](const AdaptiveOutcome& o) {
        double s = 0;
        for (int a = 0; a < f.n; ++a)
            for (int m = 0; m < 12; ++m) {
                const double e = o.error[static_cast<size_t>(a)][static_cast<size_t>(m)];
                s += e * e;
            }
        return s;
    };
    double bestScore = score(best);
    std::array<AdaptiveOutcome, 16> all;
    std::array<double, 16> scores{};
    all[0] = best;
    scores[0] = bestScore;
    for (int c = 1; c < set.count; ++c) {
        AdaptiveOutcome o = run(set.list[static_cast<size_t>(c)]);
        const double s = score(o);
        all[static_cast<size_t>(c)] = o;
        scores[static_cast<size_t>(c)] = s;
        if (s < bestScore) {
            bestScore = s;
            best = o;
            best.chosen = c;
        }
    }
    if (bestScore <= 0) {
        finishErrors(f, best);
        return best;
    }
    AdaptiveOutcome mix = best;
    std::array<double, 16> w{};
    double wsum = 0;
    for (int c = 0; c < set.count; ++c) {
        w[static_cast<size_t>(c)] = std::exp(-(scores[static_cast<size_t>(c)] / bestScore - 1.0) / kBlend);
        wsum += w[static_cast<size_t>(c)];
    }
    for (int m = 0; m < 12; ++m) {
        const size_t um = static_cast<size_t>(m);
        double b = 0, vg = 0, lg = 0, la = 0, xe = 0, xl = 0;
        uint8_t caps = 0;
        for (int c = 0; c < set.count; ++c) {
            const double wc = w[static_cast<size_t>(c)] / wsum;
            const AdaptiveOutcome& o = all[static_cast<size_t>(c)];
            b += wc * o.best[um];
            vg += wc * o.vertGrad[um];
            lg += wc * o.longGradDeg[um];
            la += wc * o.latGradDeg[um];
            xe += wc * o.extraErr[um];
            xl += wc * o.extraLog[um];
            if (wc > 0.01) caps |= o.caps[um];  // limits of candidates that count
        }
        mix.best[um] = static_cast<float>(b);
        mix.vertGrad[um] = static_cast<float>(vg);
        mix.longGradDeg[um] = static_cast<float>(lg);
        mix.latGradDeg[um] = static_cast<float>(la);
        mix.extraErr[um] = static_cast<float>(xe);
        mix.extraLog[um] = static_cast<float>(xl);
        mix.caps[um] = caps;
        for (int a = 0; a < f.n; ++a) {
            double e = 0;
            for (int c = 0; c < set.count; ++c)
                e += w[static_cast<size_t>(c)] / wsum * all[static_cast<size_t>(c)].error[static_cast<size_t>(a)][um];
            mix.error[static_cast<size_t>(a)][um] = static_cast<float>(e);
        }
    }
    finishErrors(f, mix);
    return mix;
}

namespace {
// Every tested neighbour in every month is one test; together they hold at level P.
float strangeCriticalOf(int tested, float P) {
    const double perTest = std::pow(static_cast<double>(P), 1.0 / (12.0 * tested));
    const double nu = kStrangeTailDegrees;
    return static_cast<float>(studentQuantile((1.0 + perTest) / 2.0, nu) * std::sqrt((nu - 2) / nu));
}

// The critical values at the usual level, computed once for every number of neighbours.
float strangeCritical(int tested, float P) {
    static const std::array<float, kAdaptiveNeighbours + 1> kAtNinety = [] {
        std::array<float, kAdaptiveNeighbours + 1> table{};
        for (int t = 1; t <= kAdaptiveNeighbours; ++t) table[static_cast<size_t>(t)] = strangeCriticalOf(t, 0.9f);
        return table;
    }();
    if (P == 0.9f && tested >= 1 && tested <= kAdaptiveNeighbours) return kAtNinety[static_cast<size_t>(tested)];
    return strangeCriticalOf(tested, P);
}
}  // namespace

StrangeFinding detectStrangeAdaptive(const AdaptiveField& f, const AdaptiveOutcome& o, float P) {
    StrangeFinding found;
    if (!o.errorEstimate) return found;
    int tested = 0;
    for (int a = 0; a < f.n; ++a) tested += known(f.sAlt[static_cast<size_t>(a)]);
    if (tested < 3) return found;
    // Residuals: the leave-one-out errors; for precipitation as log ratios, since its errors
    // grow with the totals.
    NeighbourMonths r = o.error;
    if (f.variable == Prec)
        for (int a = 0; a < f.n; ++a)
            for (int m = 0; m < 12; ++m) {
                const double obs = f.data[static_cast<size_t>(a)][static_cast<size_t>(m)];
                const double est = obs + r[static_cast<size_t>(a)][static_cast<size_t>(m)];
                r[static_cast<size_t>(a)][static_cast<size_t>(m)] =
                    static_cast<float>(std::log((est + kStrangeLogOffset) / (obs + kStrangeLogOffset)));
            }
    found.critical = strangeCritical(tested, P);
    for (int m = 0; m < 12; ++m) {
        // Each neighbour against the others: the month's sums less its own terms.
        double sumAll = 0, sqAll = 0;
        for (int b = 0; b < f.n; ++b)
            if (known(f.sAlt[static_cast<size_t>(b)])) {
                const double e = r[static_cast<size_t>(b)][static_cast<size_t>(m)];
                sumAll += e;
                sqAll += e * e;
            }
        const int count = tested - 1;
        for (int a = 0; a < f.n; ++a) {
            if (!known(f.sAlt[static_cast<size_t>(a)])) continue;
            const double own = r[static_cast<size_t>(a)][static_cast<size_t>(m)];
            const double sum = sumAll - own, sq = sqAll - own * own;
            const double mean = sum / count;
            // Taking the own terms off the sums leaves rounding of the order of 1e-16 of them:
            // a spread below that is none (the others all alike).
            const double variance = sq / count - mean * mean;
            if (!(variance > 1e-13 * sqAll / count)) continue;
            const double sd = std::sqrt(variance);
            const double z = std::fabs(r[static_cast<size_t>(a)][static_cast<size_t>(m)] - mean) / sd;
            if (z > found.z) {
                found.z = static_cast<float>(z);
                found.station = a;
                found.month = m + 1;
            }
        }
    }
    found.found = found.z > found.critical;
    return found;
}

}  // namespace zentrel
