// Hold-out validation: folds, parallel estimates with one engine per thread, statistics.
#include "validation/cross_validation.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <exception>
#include <filesystem>
#include <mutex>
#include <numeric>
#include <random>
#include <thread>
#include <unordered_set>

#include "data/station_file.h"
#include "engine/engine.h"
#include "season/cycle.h"
#include "worker_threads.h"

namespace zentrel {

const std::array<const char*, kWarningKinds> kWarningKindNames = {
    "higher than neighbours", "lower than neighbours", "not surrounded", "strange data",
    "nearest neighbour",      "few stations",          "doubled position"};

double ErrorSums::rmse() const { return n ? std::sqrt(sumSq / static_cast<double>(n)) : 0; }

float annualValue(const Monthly& monthly, int variable) {
    float sum = 0;
    for (int m = 1; m <= 12; ++m) sum += monthly[static_cast<size_t>(m)];
    return variable == Prec || variable == PET ? sum : sum / 12.0f;
}

namespace {

struct Plan {
    int variable = 0;
    std::vector<Station> all;
    std::vector<int> held;   // indices into `all`, ascending
    std::vector<int> fold;   // fold of each held station
    std::vector<StationExclusion> exclusions;
};

// Seeded Fisher-Yates with the fully specified mt19937, so folds are the same everywhere.
std::vector<int> permutation(int n, uint32_t seed) {
    std::vector<int> p(static_cast<size_t>(n));
    std::iota(p.begin(), p.end(), 0);
    std::mt19937 rng(seed);
    for (int i = n - 1; i > 0; --i) std::swap(p[static_cast<size_t>(i)], p[rng() % static_cast<uint32_t>(i + 1)]);
    return p;
}

Plan makePlan(const StationDatabase& db, int variable, const ValidationOptions& o) {
    Plan plan;
    plan.variable = variable;
    plan.all = databaseStations(db, variable);
    const int n = static_cast<int>(plan.all.size());
    const std::vector<int> perm = permutation(n, o.seed);
    const int count = o.sample > 0 ? std::min(o.sample, n) : n;
    const int folds = o.folds > 0 ? std::min(o.folds, std::max(count, 1)) : std::max(count, 1);
    std::vector<int> foldOf(static_cast<size_t>(n), -1);
    for (int r = 0; r < count; ++r) foldOf[static_cast<size_t>(perm[static_cast<size_t>(r)])] = r % folds;
    std::vector<std::vector<std::pair<float, float>>> positions(static_cast<size_t>(folds));
    for (int k = 0; k < n; ++k) {
        const int f = foldOf[static_cast<size_t>(k)];
        if (f < 0) continue;
        plan.held.push_back(k);
        plan.fold.push_back(f);
        positions[static_cast<size_t>(f)].emplace_back(plan.all[static_cast<size_t>(k)].Lon, plan.all[static_cast<size_t>(k)].Lat);
    }
    for (auto& p : positions) plan.exclusions.emplace_back(std::move(p));
    return plan;
}

void summarise(VariableValidation& v, int worstCount) {
    static constexpr int kLevels[3] = {90, 95, 99};
    const PhysicalRange range = physicalRange(v.variable);
    for (size_t idx = 0; idx < v.stations.size(); ++idx) {
        const HeldOut& h = v.stations[idx];
        if (!h.estimated) {
            ++v.notEstimated;
            continue;
        }
        GroupStats& c = v.continents[static_cast<size_t>(h.continent)];
        ++v.all.stations;
        ++c.stations;
        const WarningFlags& w = h.warnings;
        const bool flags[kWarningKinds] = {w.WarnHigh, w.WarnLow, w.WarnLonely, w.WarnStrange,
                                           w.WarnHit,  w.WarnFew, w.WarnDoubled};
        for (size_t f = 0; f < kWarningKinds; ++f) v.warnings[f] += flags[f];
        ResidualRow worst;
        worst.station = -1;
        for (int m = 1; m <= 12; ++m) {
            const size_t i = static_cast<size_t>(m);
            const float obs = h.station.Data[i], est = h.best[i];
            const double err = static_cast<double>(est) - obs;
            v.all.monthly.add(err, obs);
            c.monthly.add(err, obs);
            if (!(est >= range.low && est <= range.high)) ++v.outsidePhysical;
            if (!h.errorEstimate) continue;
            Coverage one;
            one.n = 1;
            EstimateResult bounds;
            bounds.Best[i] = est;
            bounds.StdErr[i] = h.stdErr[i];
            bounds.StdErrLog[i] = h.stdErrLog[i];
            bounds.LogOffset = h.logOffset;
            bounds.HasStdErr = true;
            for (size_t l = 0; l < 3; ++l) {
                const float k = confidenceFactor(kLevels[l]);
                const float low = ClipValue(lowBound(bounds, m, k), v.variable);
                const float high = ClipValue(highBound(bounds, m, k), v.variable);
                one.inside[l] = obs >= low && obs <= high;
            }
            v.all.coverage.add(one);
            c.coverage.add(one);
            if (h.stdErr[i] > 0) {
                const float z = static_cast<float>(err / h.stdErr[i]);
                if (worst.station < 0 || std::fabs(z) > std::fabs(worst.z))
                    worst = {static_cast<int>(idx), m, obs, est, z};
            }
        }
        const double annualErr = static_cast<double>(annualValue(h.best, v.variable)) - annualValue(h.station.Data, v.variable);
        v.all.annual.add(annualErr, annualValue(h.station.Data, v.variable));
        c.annual.add(annualErr, annualValue(h.station.Data, v.variable));
        if (worst.station >= 0) v.worst.push_back(worst);
    }
    std::stable_sort(v.worst.begin(), v.worst.end(),
                     [](const ResidualRow& a, const ResidualRow& b) { return std::fabs(a.z) > std::fabs(b.z); });
    if (v.worst.size() > static_cast<size_t>(std::max(worstCount, 0))) v.worst.resize(static_cast<size_t>(std::max(worstCount, 0)));
}

}  // namespace

ValidationReport validateDatabase(std::shared_ptr<const StationDatabase> database, const ProgramSettings& settings,
                                  const ValidationOptions& options, Feedback* feedback) {
    ValidationReport report;
    report.options = options;
    report.method = effectiveMethod(settings);
    database->preload();
    std::vector<Plan> plans;
    long long total = 0;
    for (int v : options.variables) {
        plans.push_back(makePlan(*database, v, options));
        total += static_cast<long long>(plans.back().held.size());
    }
    long long doneBefore = 0;
    const int threads = static_cast<int>(workerThreadsFor(options.threads));
    for (const Plan& plan : plans) {
        VariableValidation result;
        result.variable = plan.variable;
        result.candidates = static_cast<int>(plan.all.size());
        const size_t count = plan.held.size();
        result.stations.resize(count);
        std::atomic<size_t> next{0};
        std::atomic<long long> done{0};
        std::atomic<bool> stop{false};
        std::exception_ptr failure;
        std::mutex failureMutex;
        auto work = [&] {
            try {
                Engine engine(settings, database->folder(), database);
                while (!stop.load()) {
                    const size_t t = next.fetch_add(1);
                    if (t >= count) break;
                    if (feedback && feedback->isCancelled()) {
                        stop = true;
                        break;
                    }
                    const Station& s = plan.all[static_cast<size_t>(plan.held[t])];
                    engine.setExclusion(&plan.exclusions[static_cast<size_t>(plan.fold[t])]);
                    const VariableResult r = engine.Run(plan.variable, Location{s.Name, s.Lon, s.Lat, s.Alt});
                    HeldOut& h = result.stations[t];
                    h.station = s;
                    h.fold = plan.fold[t];
                    h.continent = continentOf(s.Lon, s.Lat);
                    h.activeCount = r.neighbours.ActiveCount;
                    h.estimated = r.neighbours.ActiveCount > 0;
                    h.best = r.result.Best;
                    h.stdErr = r.result.StdErr;
                    h.stdErrLog = r.result.StdErrLog;
                    h.logOffset = r.result.LogOffset;
                    h.warnings = r.warnings;
                    for (int m = 1; m <= 12; ++m) h.errorEstimate = h.errorEstimate || h.stdErr[static_cast<size_t>(m)] > 0;
                    ++done;
                }
            } catch (...) {
                std::lock_guard<std::mutex> lock(failureMutex);
                if (!failure) failure = std::current_exception();
                stop = true;
            }
        };
        // Workers take the held-out stations in turn; each result has its own slot, so the
        // outcome is the same for any number of threads. This thread reports the progress.
        std::atomic<int> finished{0};
        std::vector<std::thread> pool;
        const int started = static_cast<int>(startWorkers(pool, static_cast<size_t>(threads), [&] {
            work();
            ++finished;
        }));
        if (started == 0) work();  // the system refused every thread: this one does the work
        while (finished.load() < started) {
            if (feedback) feedback->setProgress(doneBefore + done.load(), total);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        for (std::thread& t : pool) t.join();
        if (failure) std::rethrow_exception(failure);
        doneBefore += done.load();
        if (feedback) feedback->setProgress(doneBefore, total);
        if (feedback && feedback->isCancelled()) {
            report.cancelled = true;
            return report;
        }
        summarise(result, options.worst);
        report.variables.push_back(std::move(result));
    }
    return report;
}

}  // namespace zentrel
