// The locally adaptive estimate: each location tries a small set of estimators (altitude slope
// shrunk, fixed at a lapse rate that fits latitude and season, or none; horizontal plane on or
// off; neighbours of similar altitude preferred or not; for positive quantities a logarithmic
// scale) on its neighbours' leave-one-out errors and keeps the one that predicts them best. Its
// standard error comes from the chosen estimator's own leave-one-out errors.
#pragma once

#include <array>
#include <cstdint>

#include "base/types.h"

namespace zentrel {

inline constexpr int kAdaptiveNeighbours = 20;
using NeighbourMonths = std::array<std::array<float, 12>, kAdaptiveNeighbours>;

/// The active neighbours and the location, as the adaptive estimate sees them. Station b is
/// 0..n-1 (active neighbours in neighbour order); months are 0..11.
struct AdaptiveField {
    int variable = Temp;
    float lon = 0, lat = 0, alt = 0;  ///< the location (degrees, degrees, m; kUnknown = no altitude)
    int n = 0;                        ///< active neighbours, 0..20
    std::array<float, kAdaptiveNeighbours> sLon{}, sLat{}, sAlt{};  ///< sAlt kUnknown = not given
    NeighbourMonths data{};
    std::array<float, kAdaptiveNeighbours> weight{};  ///< the location's interpolation weights, sum 1
    /// loo[a][b]: weight of b when station a is estimated from the others (row sum 1, loo[a][a] = 0).
    std::array<std::array<float, kAdaptiveNeighbours>, kAdaptiveNeighbours> loo{};
    bool altCorr = true;   ///< altitude terms allowed
    bool gradCorr = true;  ///< horizontal plane allowed
    bool errorEstimate = true;  ///< enough neighbours for leave-one-out errors (and so for a choice)
};

/// One estimator of the candidate set.
struct Candidate {
    enum class Scale : uint8_t { Linear, Log } scale = Scale::Linear;
    enum class Slope : uint8_t { Shrunk, Prior, None } slope = Slope::Shrunk;
    bool plane = true;            ///< damped plane over longitude and latitude
    bool similarAltitude = false;  ///< neighbours far above or below the target weigh less
};

/// The candidates tried for a variable; the first is the fallback without error estimate.
struct CandidateSet {
    std::array<Candidate, 16> list{};
    int count = 0;
};
CandidateSet candidatesFor(int variable);

struct AdaptiveOutcome {
    /// Months 0..11: the estimate, within its neighbours' envelope and the world's records; its
    /// bias (the mean leave-one-out error of the estimator, reported, not removed: removing it
    /// made held-out stations worse) and standard error (root mean square of the leave-one-out
    /// errors, variable units, grown where the location lies beyond its neighbours' altitudes or
    /// the plane's span, or where a limit acted); the slopes used (variable units per m and per
    /// degree, at the estimate).
    std::array<float, 12> best{}, bias{}, stdErr{}, vertGrad{}, longGradDeg{}, latGradDeg{};
    /// Precipitation: the standard error on the scale ln(value + kBoundsLogOffset), for bounds in
    /// ratio space; 0 for the other variables.
    std::array<float, 12> stdErrLog{};
    std::array<uint8_t, 12> caps{};  ///< bits of CapKind: the limits that acted, per month
    /// Months 0..11: the part of the standard error that comes from extrapolation and limits, in
    /// variable units and on the logarithmic scale (already inside stdErr and stdErrLog).
    std::array<float, 12> extraErr{}, extraLog{};
    int chosen = 0;  ///< index into candidatesFor(variable)
    /// The chosen estimator's leave-one-out errors (estimate minus observed, variable units).
    NeighbourMonths error{};
    bool errorEstimate = false;
};

/// Offset of the logarithmic scale of precipitation's ratio-space bounds, mm: a dry month's
/// bounds do not collapse onto 0.
inline constexpr float kBoundsLogOffset = 5.0f;

/// Prior altitude slope in variable units per m: for temperatures the standard lapse rate of
/// -0.0065 K/m (three quarters of it for Tmin), weakened in polar and high-latitude winters
/// where inversions are common; for the other variables none (on the logarithmic scale: no
/// relative change with altitude).
float priorAltitudeSlope(int variable, float lat, int month);

/// Change of a value carried dz metres beyond the altitudes of the neighbours (dz > 0: above
/// the highest), where no fitted slope reaches; `prior` is priorAltitudeSlope (variable units per
/// m) and `value` a typical value of the neighbours. Temperatures above every neighbour: the
/// standard lapse rate for all three, whatever the season (a place above all its neighbours
/// lies on a slope, a plateau or an ice sheet, not in a valley's inversion; one rate keeps
/// Tmin <= Temp <= Tmax); below every neighbour: the prior. Vapour pressure: a tenth per 6.3 km,
/// both ways (the atmosphere's water lies low). The others: the prior. With `logScale` the
/// change is that of ln(value).
double changeBeyondNeighbours(int variable, double prior, double value, double dz, bool logScale);

/// Runs every candidate and blends them by their squared leave-one-out errors over the twelve
/// months, the best weighing most (without error estimate: the first candidate alone).
/// `chosen` is the best single candidate.
AdaptiveOutcome estimateAdaptive(const AdaptiveField& field);

/// Estimate of the field with one given candidate (for tests and the comparison above).
AdaptiveOutcome estimateWith(const AdaptiveField& field, const Candidate& candidate);

/// The strange-data test of the adaptive method: the neighbour and month whose leave-one-out
/// error lies farthest from the others' in that month, in units of the others' spread; it
/// fires when that exceeds the normal quantile that keeps the chance of any false alarm over
/// all tested neighbours and months together at 1 - P.
struct StrangeFinding {
    bool found = false;
    int station = -1;  ///< 0..n-1 of the field
    int month = 0;     ///< 1..12
    float z = 0;       ///< the largest standardised deviation
    float critical = 0;
};
StrangeFinding detectStrangeAdaptive(const AdaptiveField& field, const AdaptiveOutcome& outcome, float P = 0.9f);

/// Standard-normal quantile of p in (0, 1).
double normalQuantile(double p);
/// Quantile of Student's t distribution with nu > 0 degrees of freedom, p in (0, 1).
double studentQuantile(double p, double nu);

}  // namespace zentrel
