// Kriging with terrain covariates: ordinary kriging weights over the neighbours (in a distance
// that also counts altitude and distance from the sea), corrected by how the location's terrain
// differs from its neighbours'. The correction's coefficients are fitted on the database's own
// leave-one-out rows: every station estimated from its neighbours with the same weights.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "base/geometry.h"
#include "base/types.h"
#include "kriging/position_table.h"
#include "kriging/row_grid.h"
#include "kriging/row_index.h"
#include "kriging/terrain_covariates.h"
#include "settings/program_settings.h"

namespace zentrel {

class StationDatabase;
class StationExclusion;

inline constexpr int kKrigingNeighbours = 20;
/// Covariates whose leave-one-out rows differ by less than this (root mean square, in the
/// covariates' units: 1 m of altitude, a hundredth of a degree of latitude, a thousandth of a
/// sea fraction) have nothing to fit, and so have those of a system worse conditioned than
/// kMaxCovariateCondition (each covariate scaled to unit spread).
inline constexpr float kCovariateSpread = 1e-3f;
inline constexpr double kMaxCovariateCondition = 1000;
/// The sea terms (proximity, then sea fractions) run from these covariates to the last.
inline constexpr int kFirstSeaCovariate = 7, kFirstSeaCovariateOther = 3;

/// How a variable is kriged. Temperatures work on their values with eleven covariates; the
/// positive quantities on ln(value + logOffset) with six; sunshine on its values with six.
struct KrigingParams {
    bool temperature = false;  ///< the temperature covariate set
    float logOffset = 0;       ///< > 0: work on ln(value + logOffset)
    float altKmPerM = 0.6f;    ///< km of effective distance per m of altitude difference
    float seaKm = 300;         ///< km of effective distance per unit of exp(-dsea / 50 km)
    float rangeKm = 1500;      ///< covariance exp(-h / rangeKm)
    float nugget = 0.1f;       ///< share of the variance without spatial structure
    bool localFit = false;     ///< coefficients fitted around each location (else the global ones)
    float kernelKm = 500;      ///< Gaussian kernel of the local fit and of the error estimate
    int rows = 150;            ///< nearest leave-one-out rows in the local fit and the error
    float priorStations = 3;   ///< weight of the global coefficients in the local fit, in typical rows
    float localSpan = 5;       ///< local coefficients act within this many RMS of their rows' covariate differences
    float seasonBlendDeg = 10; ///< latitudes within +- this many degrees blend the two hemispheres' seasons
    float polarFromDeg = 10;   ///< the temperatures' altitude and latitude terms turn from tropical ...
    float polarToDeg = 30;     ///< ... to extratropical between these latitudes (see extratropical)
    int covariates() const { return temperature ? 11 : 6; }
};
KrigingParams krigingParams(int variable);

/// How much of a place's year follows the southern seasons: 0 north of +seasonBlendDeg, 1 south
/// of -seasonBlendDeg, linear in between. The covariate coefficients are kept by season: set k
/// is calendar month k in the north and month k + 6 in the south (a southern July is a northern
/// January), so that continentality and lapse rates act with the place's own winter and summer.
float southernSeason(const KrigingParams& p, float lat);

/// How far a latitude is extratropical for the temperatures' altitude and latitude terms: 0
/// within polarFromDeg of the equator, 1 beyond polarToDeg, linear in between. The temperature
/// changes far less with latitude in the tropics than in the winters of the middle latitudes,
/// and lapse rates may differ too, so each band gets its own coefficients, blended smoothly.
float extratropical(const KrigingParams& p, float lat);

/// Covariates of a point at altitude altM (m) with the terrain around it.
std::array<float, kMaxCovariates> krigingCovariates(const KrigingParams& p, float lat, float altM, const TerrainAround& t);

/// One point as the kriging weights see it.
struct KrigingPoint {
    SpherePoint at;
    float alt = 0;      ///< m
    float seaNear = 0;  ///< exp(-dsea / 50 km)
};

/// Ordinary kriging weights (sum 1) of n points for the target, and the kriging variance in
/// units of the total variance (0..1+). n = 1 gives weight 1. Returns false when the system
/// is singular (then the weights are inverse-distance ones).
bool krigingWeights(const KrigingParams& p, const KrigingPoint* points, int n, const KrigingPoint& target,
                    float* weights, float& variance);

/// A station's leave-one-out row: its value minus the kriged value of its neighbours (working
/// scale), its covariates minus theirs, and the kriging variance of that estimate.
struct KrigingRow {
    float lon = 0, lat = 0;
    double unit[3] = {1, 0, 0};
    float variance = 1;
    float trust = 1;  ///< 0..1: less for rows the global fit leaves far off (odd data, odd siting)
    float south = 0;  ///< southernSeason of the station
    std::array<float, kMaxCovariates> dX{};
    std::array<float, 12> r{};       ///< by calendar month
    std::array<float, 12> season{};  ///< by season: (1 - south) r[k] + south r[k + 6]
};

/// What the local fit and the error estimate read of a row, packed (derived from the rows
/// when a model is loaded, never stored): the nearest rows of a place are scattered over the
/// model, and these are fewer cache lines than the whole rows.
struct KrigingFitRow {
    std::array<float, 12> season{};
    std::array<float, kMaxCovariates> dX{};
    float trust = 1, variance = 1;
};

/// Solves the symmetric positive definite system A x = b (n x n, row-major) for `rhs` right-hand
/// sides stored as columns of B (n x rhs), in place; false when A is not positive definite.
bool choleskySolve(std::vector<double>& A, int n, std::vector<double>& B, int rhs);

/// Fingerprint of the settings a model depends on: those of the neighbour selection its
/// leave-one-out rows were made with.
uint64_t krigingSettingsFingerprint(const ProgramSettings& settings);

/// What the kriging method makes of one location (months 0..11, working scale except best).
struct KrigingOutcome {
    std::array<float, 12> best{};    ///< the variable's unit, before any limit
    std::array<float, 12> stdErr{};  ///< working scale (log scale for positive quantities)
    std::array<float, 12> stdErrLinear{};  ///< the variable's unit (for log scales: at the estimate)
    std::array<float, kKrigingNeighbours> weights{};  ///< the kriging weights of the neighbours
    bool errorEstimate = false;
    /// The place differs from its neighbours in a covariate their rows cannot carry (every
    /// station at one altitude, a handful of stations, covariates repeating each other): that
    /// term is left out, and the estimate's covariate correction and its standard error stay
    /// within the neighbours' spread of values.
    bool fallback = false;
};

/// Everything the method keeps of one database and variable: the stations' covariates, the
/// leave-one-out rows and the global coefficients. Immutable once built.
class KrigingModel {
public:
    struct Key {
        std::string folder;
        const void* database = nullptr;
        uint64_t generation = 0;
        int variable = 0;
        uint64_t exclusion = 0;  ///< fingerprint of the stations held out
        uint64_t settings = 0;   ///< fingerprint of the neighbour selection
        bool operator==(const Key&) const = default;
    };

    /// The model of `variable` for the database with the stations in `excluded` held out (null:
    /// none), built on first use and shared afterwards (thread-safe).
    static std::shared_ptr<const KrigingModel> get(const ProgramSettings& settings, const std::string& folder,
                                                   std::shared_ptr<const StationDatabase> database, int variable,
                                                   const StationExclusion* excluded);

    /// Tmax and Tmin stations whose own minus neighbours' annual Tmax - Tmin exceeds
    /// kExtremesLimit (K): their fields hold monthly extremes, not mean maxima and minima. Left
    /// out of the Tmax and Tmin neighbours of the kriging method.
    static std::vector<Station> extremeStations(const ProgramSettings& settings, const std::string& folder,
                                                std::shared_ptr<const StationDatabase> database,
                                                const StationExclusion* excluded);
    static constexpr float kExtremesLimit = 6;
    /// The extreme stations as lines for people: a heading with the count, then one line per
    /// station (name, country, position); "" when there are none.
    static std::string describeExtremes(const std::vector<Station>& stations);

    int variable = 0;
    KrigingParams params;
    std::shared_ptr<const TerrainCovariates> terrain;
    /// Held-out stations plus, for Tmax and Tmin, the extreme stations; null when none.
    std::shared_ptr<const StationExclusion> neighbourExclusion;
    std::vector<KrigingRow> rows;
    std::array<std::array<float, kMaxCovariates>, 12> global{};  ///< coefficients per season (see southernSeason)
    /// Covariates the rows cannot carry (see kCovariateSpread): their global coefficients are
    /// 0 and their local ones the global.
    std::array<bool, kMaxCovariates> held{};

    /// Covariates and sea proximity of a station (position, altitude as stored; 9999 = the
    /// raster's altitude), from the stations known at build time or computed anew.
    struct StationTerrain {
        std::array<float, kMaxCovariates> x{};
        float seaNear = 0;
        float alt = 0;
    };
    StationTerrain stationTerrain(float lon, float lat, float alt) const;

    /// The leave-one-out errors (estimate minus observed, the variable's unit; months 0..11) of
    /// the n neighbours as the model's rows and global coefficients give them. False when a
    /// neighbour has no row (held out, or without neighbours of its own).
    bool neighbourErrors(const Station* const* neighbours, int n, std::array<std::array<float, 12>, kKrigingNeighbours>& errors) const;

    /// The estimate at (lon, lat, alt) from n neighbours (lon, lat, alt, 12 monthly values each).
    /// When the model is taken at an altitude other than the place's own, `lowered` (m) is how
    /// far below the place it is: the terrain around moves with it, so that the place keeps its
    /// height above or below its surroundings. Taken lower (above every neighbour), the altitude
    /// terms use the global coefficients and the sea terms stay near the neighbours' range.
    KrigingOutcome estimate(float lon, float lat, float alt, const Station* const* neighbours, int n, float lowered = 0) const;

    /// What the rows nearest (lon, lat) give it, computed there: the local fit (kernel-weighted
    /// ridge over the nearest rows, shrunk towards the global coefficients), the span of its
    /// coefficients and the residuals' sums. An estimate takes it interpolated from the nodes
    /// of `grid()` where they are computed, and from here elsewhere.
    void rowWorkAt(float lon, float lat, RowWork& out) const;
    const RowGrid& grid() const { return grid_; }

private:
    PositionTable knownAt_;               // the stations known at build time, in known_
    std::vector<StationTerrain> known_;
    PositionTable rowAt_;                 // row of each position
    // Of each row, month by month, what neighbourErrors makes of the station's observation:
    // the estimate is obs - miss (additive) or (obs + offset) x miss - offset (ratio). Single
    // precision, as the errors it gives are (and half the memory of a service's eight models).
    std::vector<std::array<float, 12>> rowMiss_;
    RowIndex index_;                              // the rows by position
    std::vector<KrigingFitRow> fit_;              // by row
    RowGrid grid_;                                // the row work at the nodes
};

}  // namespace zentrel
