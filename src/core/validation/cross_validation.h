// Hold-out validation of the estimate over a whole station database: each station is left
// out in turn (or fold by fold), estimated from the others at its own position and altitude
// with the full pipeline, and compared with its own normals.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/types.h"
#include "data/station_database.h"
#include "feedback.h"
#include "settings/program_settings.h"
#include "validation/continent.h"

namespace zentrel {

struct ValidationOptions {
    std::vector<int> variables;  ///< variables to validate, 0..7
    int folds = 10;              ///< K folds; 0 = leave one out (every station its own fold)
    int sample = 0;              ///< hold out only this many stations (seeded subsample); 0 = all
    uint32_t seed = 1;           ///< seed of the fold assignment and the subsample
    int threads = 1;             ///< worker threads, each with its own engine
    int worst = 20;              ///< stations in the list of worst residuals
};

/// Sums of errors (estimate - observed) of a set of values.
struct ErrorSums {
    long long n = 0;
    double sumAbs = 0, sumSq = 0, sum = 0, sumObserved = 0;
    void add(double error, double observed) {
        ++n;
        sumAbs += std::abs(error);
        sumSq += error * error;
        sum += error;
        sumObserved += observed;
    }
    void add(const ErrorSums& o) {
        n += o.n;
        sumAbs += o.sumAbs;
        sumSq += o.sumSq;
        sum += o.sum;
        sumObserved += o.sumObserved;
    }
    double mae() const { return n ? sumAbs / static_cast<double>(n) : 0; }
    double rmse() const;
    double bias() const { return n ? sum / static_cast<double>(n) : 0; }
    /// MAE relative to the mean observed value (for totals: Prec, PET); 0 without data.
    double relativeMae() const { return sumObserved != 0 ? sumAbs / sumObserved : 0; }
};

/// How often the held-out monthly values lie within Best -/+ k x StdErr at 90, 95 and 99 %.
struct Coverage {
    long long n = 0;
    std::array<long long, 3> inside{};
    void add(const Coverage& o) {
        n += o.n;
        for (size_t i = 0; i < 3; ++i) inside[i] += o.inside[i];
    }
    double fraction(int level) const { return n ? static_cast<double>(inside[static_cast<size_t>(level)]) / static_cast<double>(n) : 0; }
};

/// The outcome of one held-out station.
struct HeldOut {
    Station station;         ///< as in the database; Data 1..12 the observed normals
    int fold = 0;
    Continent continent = Asia;
    bool estimated = false;  ///< some neighbour was active
    bool errorEstimate = false;  ///< the neighbours' cross-validation gave StdErr
    int16_t activeCount = 0;
    Monthly best{};          ///< the estimate, 1..12 and 13 (annual mean of months)
    Monthly stdErr{};
    Monthly stdErrLog{};     ///< ratio-space standard error (precipitation), 0 = symmetric bounds
    float logOffset = 0;
    WarningFlags warnings;
};

/// Warnings counted per held-out station, in this order.
inline constexpr int kWarningKinds = 7;
extern const std::array<const char*, kWarningKinds> kWarningKindNames;

struct ResidualRow {
    int station = 0;  ///< index into VariableValidation::stations
    int month = 0;
    float observed = 0, estimated = 0, z = 0;
};

struct GroupStats {
    int stations = 0;
    ErrorSums monthly, annual;
    Coverage coverage;
};

struct VariableValidation {
    int variable = 0;
    int candidates = 0;         ///< distinct stations of the variable in the database
    std::vector<HeldOut> stations;  ///< the held-out stations, in database order
    int notEstimated = 0;       ///< held out but no neighbour found
    GroupStats all;
    std::array<GroupStats, kContinentCount> continents{};
    std::array<int, kWarningKinds> warnings{};
    long long outsidePhysical = 0;  ///< monthly estimates outside the physical range
    std::vector<ResidualRow> worst;  ///< the worst |z| per station, worst first
};

struct ValidationReport {
    ValidationOptions options;
    Method method = Method::Described;  ///< the method validated
    std::vector<VariableValidation> variables;
    bool cancelled = false;
};

/// The annual value compared: the sum of the months for Prec and PET, their mean otherwise.
float annualValue(const Monthly& monthly, int variable);

/// Runs the validation. The database is shared read-only by the workers; the files on disk
/// are never changed. Results do not depend on the number of threads. Progress counts
/// held-out stations over all variables; on cancel the report is marked and incomplete.
/// Throws Error for unusable station files.
ValidationReport validateDatabase(std::shared_ptr<const StationDatabase> database, const ProgramSettings& settings,
                                  const ValidationOptions& options, Feedback* feedback = nullptr);

}  // namespace zentrel
