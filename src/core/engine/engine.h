// The estimation engine: one object per run or thread holding what the estimate works on
// (station table, neighbour set, result record, warnings, working location, variable).
#pragma once

#include <array>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "base/records.h"
#include "data/station_database.h"
#include "data/station_file.h"
#include "engine/adaptive.h"
#include "engine/geometry.h"
#include "engine/types.h"
#include "season/cycle.h"  // ClipValue, CycleMean
#include "settings/program_settings.h"

namespace zentrel {

class NeighbourPairs;
class KrigingModel;

/// Critical value of the strange-data test for n stations at joint level P (0.9): the
/// standard-normal quantile of p = (1 + P^(1/n)) / 2 from the table, 0 below p = 0.9.
float CriticalValue(int n, float P);

/// Physical range of a monthly value of a variable: temperatures -90..60 C, Sun 0..1, the
/// others from 0 up.
struct PhysicalRange {
    float low, high;
};
PhysicalRange physicalRange(int variable);

/// How much of the sum of the monthly standard errors the error of the annual total is: the
/// spread of n neighbours' leave-one-out errors of their annual totals (the sum of each one's
/// twelve monthly errors, errors[a][0..11]) over the sum of the twelve monthly spreads. 1 when
/// the months err together, less when they partly cancel. Centred: spreads about the mean
/// error (the bias removed), else root mean squares. NaN below two neighbours or without spread.
float annualErrorShare(const std::array<float, 12>* errors, int n, bool centred);

/// Message when no neighbour satisfies the selection criteria.
Message noNeighbourMessage();

/// One estimation engine. Not thread-safe; give each thread its own. The settings are read
/// only and must outlive the engine.
class Engine {
public:
    /// dataFolder: where the station files are. database: optional in-memory station
    /// database of that folder, used instead of reading the files (same candidates).
    Engine(const ProgramSettings& settings, std::string dataFolder,
           std::shared_ptr<const StationDatabase> database = nullptr);
    ~Engine();

    // ---- state the windows read after a run ----
    StationTable table;
    NeighbourSet ns;
    EstimateResult res;
    WarningFlags warn;
    Location working;        ///< the location the engine runs on
    int16_t variable = Temp;
    std::vector<Message> messages;  ///< messages of the last run, for the caller to show

    /// The whole pipeline for `var` at `location` (altitude as given): LoadCandidates,
    /// SelectNeighbours, ActivateNeighbours, BuildMeanStation, Estimate, EvaluateWarnings.
    /// Throws Error for unusable station files.
    VariableResult Run(int var, const Location& location);

    /// The pipeline without EvaluateWarnings and with the activation left to the caller
    /// (workbench and raster runs): LoadCandidates and SelectNeighbours only.
    void Select(int var, const Location& location);

    // ---- the routines, in pipeline order ----
    void LoadCandidates();
    void SelectNeighbours();
    void ActivateNeighbours();
    /// Activation without counting, for the workbench's check boxes.
    void InitialActivation();
    /// Takes the 20 check box states (entries 1..20) as the activation and recounts.
    void ReadActivation(const std::array<int16_t, 20>& checks);
    void BuildMeanStation();
    void Estimate();
    void ComputeWeights();
    void ShadowCorrection();
    void WeightedEstimate();
    void AltitudeRegression();
    void GradientRegression();
    void GradientOutputs(int m);
    void CrossValidate();
    void DetectStrangeData();
    void EvaluateWarnings();
    void PostProcess();
    void FitAnnualCycle();
    /// One climate per place (robust, adaptive and kriging methods; Run and the map cells call
    /// it after Estimate). Where the estimate of Tmax, Tmin or Vap extrapolates (more than 500 m
    /// beyond its neighbours' altitudes, or from too few stations for an error estimate), the
    /// temperatures it must agree with are estimated at the same place: when Tmin <= Temp <=
    /// Tmax breaks, Tmax and Tmin move together so that their midpoint is the mean temperature,
    /// keeping their estimated range (the estimates of Tmax and of Tmin move alike); vapour
    /// pressure is kept at most at saturation at Tmax. Among their stations the variables agree
    /// (no station of the default data breaks the order, one station-month in 21,192 the
    /// saturation), so elsewhere nothing is estimated twice.
    void KeepOneClimate();

    /// Copy of the state a window keeps per variable.
    VariableResult result() const;

    const ProgramSettings& settings() const { return settings_; }

    /// With a database: false makes LoadCandidates copy the whole candidate table from memory
    /// and select from it as from the files (the reference the spatial search is tested on).
    void setSpatialSearch(bool on) { spatialSearch_ = on; }
    /// Stations to leave out of the candidates (holding stations out for validation); null
    /// for none. The exclusion must outlive the runs that use it.
    void setExclusion(const StationExclusion* excluded) { excluded_ = excluded; }
    const std::string& dataFolder() const { return dataFolder_; }

private:
    struct Picked {
        const Station* station;
        float dist;
        const SpherePoint* point;  // from the database, or null
    };
    void selectNear();
    void measurePrecisely();                      // double-precision distances, nearest first (not the described method)
    bool passesAltitude(const Station& candidate) const;  // the altitude range of NeighbAlt
    bool passesFilters(const Station& candidate, float dist) const;
    void countActive();
    float powExp() const;                         // PowExp as the weights use it (< 0.0001 -> 0)
    float altitudeDifference(float toAlt, float fromAlt) const;
    Method method() const { return effectiveMethod(settings_); }
    bool robustCorrections() const { return method() != Method::Described; }  // robust and adaptive
    // Lowest and highest altitude among the active neighbours (low > high when none is known).
    ValueRange activeAltitudes() const;
    float clampPhysical(float value) const;       // into physicalRange(variable) (robust corrections)
    float shrunkAltitudeSlope(int m, bool* limited = nullptr) const;       // robust altitude slope of month m
    const SpherePoint& neighbourPoint(int i);     // ns[i]'s position with its sines and cosines
    bool samePositions(const std::array<int, 20>& act, int n);  // two active neighbours at one place (with the message)
    void adaptiveEstimate();                      // Best, Bias, StdErr and slopes of the adaptive method
    void prepareKriging();                        // the kriging model of the variable and held-out stations
    void krigingEstimate();                       // Best, StdErr and limits of the kriging method
    void krigingStrangeData();                    // the strange-data test on the neighbours' own rows
    /// The stations the selection leaves out: those held out, and under the kriging method also
    /// the Tmax/Tmin stations whose fields hold monthly extremes.
    const StationExclusion* exclusion() const;
    void robustEstimate();                        // Best of the robust method, with its limits
    void limitRobust(const std::array<float, 13>& planeAt, const std::array<float, 13>& planeSpan);  // envelope, records, grown errors
    void limitAnnualTotal();                      // months scaled down when their mean exceeds the annual record
    // annualErrorShare of the last estimate's leave-one-out errors (NaN: none); PostProcess
    // makes AnnualTotalStdErr of it and the final monthly errors.
    float annualErrorShare_ = std::numeric_limits<float>::quiet_NaN();

    const ProgramSettings& settings_;
    std::string dataFolder_;
    std::shared_ptr<const StationDatabase> database_;
    // Work buffers of the selection, kept between runs so that estimates do not allocate.
    std::vector<Picked> picked_;
    std::vector<StationDatabase::Candidate> near_;
    std::vector<double> roughCosines_;
    // The station files of each variable's last selection: most estimates need the same ones
    // again, and keeping them here spares the database's lock.
    struct KeptSources {
        std::shared_ptr<const StationDatabase::Sources> sources;
        StationDatabase::SourcesKey key;
        uint64_t generation = 0;
    };
    std::array<KeptSources, kVariableCount> sources_;
    std::array<SpherePoint, 21> points_;  // of the neighbours 1..20, kept while their positions stay
    std::unique_ptr<NeighbourPairs> pairs_;  // the cross-validation's geometry, kept between estimates
    std::unique_ptr<Engine> companion_;      // estimates the other temperatures for KeepOneClimate
    bool reconcile_ = true;                  // false in a companion
    // The adaptive method's last estimate, for its strange-data test: the field, its outcome and
    // the neighbour entry of each of the field's stations; valid only after a full estimate.
    AdaptiveField adaptiveField_;
    AdaptiveOutcome adaptive_;
    float altitudeBeyond_ = 0;  // m the location lies beyond its neighbours' altitudes (robust)
    std::array<int, 20> adaptiveEntries_{};
    bool adaptiveValid_ = false;
    double searchRadius_ = 300;
    bool spatialSearch_ = true;
    const StationExclusion* excluded_ = nullptr;
    // The kriging model of the last selection, kept while variable, exclusion and database stay.
    std::shared_ptr<const KrigingModel> kriging_;
    struct KrigingKey {
        int variable = -1;
        const StationExclusion* excluded = nullptr;
        uint64_t generation = 0;
        uint64_t settings = 0;  ///< the neighbour selection the model was fitted with
        bool operator==(const KrigingKey&) const = default;
    } krigingKey_;
};

}  // namespace zentrel
