// The estimation engine: one object per run or thread holding what the estimate works on
// (station table, neighbour set, result record, warnings, working location, variable).
#pragma once

#include <array>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "base/geometry.h"
#include "base/records.h"
#include "base/types.h"
#include "engine/estimation_method.h"
#include "neighbours/neighbour_search.h"
#include "season/cycle.h"  // ClipValue, CycleMean

namespace zentrel {

class NeighbourPairs;

/// Critical value of the strange-data test for n stations at joint level P (0.9): the
/// standard-normal quantile of p = (1 + P^(1/n)) / 2 from the table, 0 below p = 0.9.
float CriticalValue(int n, float P);

/// Physical range of a monthly value of a variable: temperatures -90..60 C, Sun 0..1, the
/// others from 0 up.
struct PhysicalRange {
    float low, high;
};
PhysicalRange physicalRange(int variable);

/// The prior altitude slope of the robust corrections, per m: the standard atmosphere's lapse
/// rate for the temperatures, none for the others.
float priorSlope(int variable);

/// How much of the sum of the monthly standard errors the error of the annual total is: the
/// spread of n neighbours' leave-one-out errors of their annual totals (the sum of each one's
/// twelve monthly errors, errors[a][0..11]) over the sum of the twelve monthly spreads. 1 when
/// the months err together, less when they partly cancel. Centred: spreads about the mean
/// error (the bias removed), else root mean squares. NaN below two neighbours or without spread.
float annualErrorShare(const std::array<float, 12>* errors, int n, bool centred);

/// Message when no neighbour satisfies the selection criteria.
Message noNeighbourMessage();

/// One estimation engine: the neighbour search, the estimate of the method the settings name,
/// its errors and warnings. Not thread-safe; give each thread its own. The settings are read
/// only and must outlive the engine.
class Engine : public NeighbourSearch {
public:
    /// dataFolder: where the station files are. database: optional in-memory station
    /// database of that folder, used instead of reading the files (same candidates).
    Engine(const ProgramSettings& settings, std::string dataFolder,
           std::shared_ptr<const StationDatabase> database = nullptr);
    ~Engine() override;

    // ---- state the windows read after a run (and the search's table, ns, warn, working) ----
    EstimateResult res;

    /// The whole pipeline for `var` at `location` (altitude as given): LoadCandidates,
    /// SelectNeighbours, ActivateNeighbours, BuildMeanStation, Estimate, EvaluateWarnings.
    /// Throws Error for unusable station files.
    VariableResult Run(int var, const Location& location);


    // ---- the routines, in pipeline order (the selection's are the search's) ----
    /// The method's preparation (the kriging model), then the search's candidates.
    void LoadCandidates() override;
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
    /// false: results carry no sources of their neighbours, and the station table is never read
    /// (for callers that show no neighbour table).
    void setSources(bool on) { attachSources_ = on; }

private:
    // The methods run on the engine's state and its shared steps.
    friend class DescribedMethod;
    friend class RobustMethod;
    friend class AdaptiveMethod;
    friend class KrigingMethod;

    /// The method the settings name now (the settings may change between runs).
    EstimationMethod& estimation();
    float powExp() const;                         // PowExp as the weights use it (< 0.0001 -> 0)
    float altitudeDifference(float toAlt, float fromAlt) const;
    bool robustCorrections() const { return method() != Method::Described; }  // robust and adaptive
    // Lowest and highest altitude among the active neighbours (low > high when none is known).
    ValueRange activeAltitudes() const;
    float clampPhysical(float value) const;       // into physicalRange(variable) (robust corrections)
    float shrunkAltitudeSlope(int m, bool* limited = nullptr) const;       // robust altitude slope of month m
    bool samePositions(const std::array<int, 20>& act, int n);  // two active neighbours at one place (with the message)
    /// The stations the selection leaves out: those held out, and those the method leaves out
    /// (under kriging the Tmax/Tmin stations whose fields hold monthly extremes).
    const StationExclusion* exclusion() const override;
    void limitAnnualTotal();                      // months scaled down when their mean exceeds the annual record
    // annualErrorShare of the last estimate's leave-one-out errors (NaN: none); PostProcess
    // makes AnnualTotalStdErr of it and the final monthly errors.
    float annualErrorShare_ = std::numeric_limits<float>::quiet_NaN();

    std::unique_ptr<NeighbourPairs> pairs_;  // the cross-validation's geometry, kept between estimates
    std::unique_ptr<Engine> companion_;      // estimates the other temperatures for KeepOneClimate
    bool reconcile_ = true;                  // false in a companion
    bool attachSources_ = true;
    // The method the settings name, made anew when they name another.
    std::unique_ptr<EstimationMethod> method_;
    Method methodKind_ = Method::Described;
};

}  // namespace zentrel
