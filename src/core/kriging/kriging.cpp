// Kriging with terrain covariates: weights, covariates, the leave-one-out rows of a database,
// their global coefficient fit, the model's derivation, and the estimate of one location (the
// local fits around it are in row_work.cpp, kept at the nodes of row_grid.h).
#include "kriging/kriging.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <numeric>
#include <tuple>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "data/station_database.h"
#include "data/terrain.h"
#include "base/position_bits.h"
#include "kriging/model_file.h"
#include "neighbours/neighbour_search.h"

namespace zentrel {

namespace {
constexpr double kEarthKm = 6371.0;
size_t ix(int i) { return static_cast<size_t>(i); }

uint64_t mix(uint64_t h, uint64_t v) {
    h ^= v + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2);
    return h;
}

double chordKm(const double* a, const double* b) {
    const double dot = std::clamp(a[0] * b[0] + a[1] * b[1] + a[2] * b[2], -1.0, 1.0);
    return kEarthKm * std::acos(dot);
}

float toScale(const KrigingParams& p, float v) {
    return p.logOffset > 0 ? static_cast<float>(std::log(std::max(v, 0.0f) + p.logOffset)) : v;
}

}  // namespace

bool choleskySolve(std::vector<double>& A, int n, std::vector<double>& B, int rhs) {
    for (int j = 0; j < n; ++j) {
        double d = A[ix(j * n + j)];
        for (int k = 0; k < j; ++k) d -= A[ix(j * n + k)] * A[ix(j * n + k)];
        if (!(d > 0)) return false;
        d = std::sqrt(d);
        A[ix(j * n + j)] = d;
        for (int i = j + 1; i < n; ++i) {
            double s = A[ix(i * n + j)];
            for (int k = 0; k < j; ++k) s -= A[ix(i * n + k)] * A[ix(j * n + k)];
            A[ix(i * n + j)] = s / d;
        }
    }
    for (int c = 0; c < rhs; ++c) {
        for (int i = 0; i < n; ++i) {
            double s = B[ix(i * rhs + c)];
            for (int k = 0; k < i; ++k) s -= A[ix(i * n + k)] * B[ix(k * rhs + c)];
            B[ix(i * rhs + c)] = s / A[ix(i * n + i)];
        }
        for (int i = n - 1; i >= 0; --i) {
            double s = B[ix(i * rhs + c)];
            for (int k = i + 1; k < n; ++k) s -= A[ix(k * n + i)] * B[ix(k * rhs + c)];
            B[ix(i * rhs + c)] = s / A[ix(i * n + i)];
        }
    }
    return true;
}


KrigingParams krigingParams(int variable) {
    KrigingParams p;
    // Measured with ten folds on the default data: local coefficients pay for the temperatures
    // and vapour pressure when their kernel is wide (1500 km, 600 rows; 700 km and 300 rows
    // made Temp worse than one global fit); for the other variables they never beat the global
    // coefficients, which are then used alone (the nearest rows still give the error).
    switch (variable) {
        case Temp:
        case Tmax:
        case Tmin: p.temperature = true; [[fallthrough]];
        case Vap:
            p.localFit = true;
            p.kernelKm = 1500;
            p.rows = 600;
            p.priorStations = 20;
            break;
        default: break;
    }
    // A small nugget pays for Temp, Tmax and precipitation (Temp 0.735 -> 0.731 C, Tmax 0.869 ->
    // 0.861 C with 0.02 instead of 0.1; Prec 28.1 -> 27.8 % with 0.02 instead of 0.05 and 800 km
    // per unit of sea proximity); Tmin (1.036 -> 1.050 C), vapour pressure, PET and sunshine lose.
    if (variable == Temp || variable == Tmax) p.nugget = 0.02f;
    if (!p.temperature) {
        p.altKmPerM = 0.3f;
        p.nugget = variable == Prec ? 0.02f : 0.05f;
    }
    // Precipitation on the denser database (10 folds, seeds 1 / 2, relative MAE): 13.25 / 13.34 %
    // with 0.3 km per m, 800 km of sea proximity and a range of 1500 km; 12.80 / 12.86 % with
    // 0.15, 300 and 800 (each alone gained: 13.13, 13.06, 13.24 %). Its dense networks
    // (Germany's, Japan's) tie precipitation to shorter distances than the sparse synoptic
    // network the earlier constants were chosen on. PET, Wind and sunshine gained nothing.
    if (variable == Prec) {
        p.altKmPerM = 0.15f;
        p.rangeKm = 800;
    }
    // Coefficients by season rather than calendar month (10 folds, seed 1): Africa Temp 0.830 ->
    // 0.816 C, Oceania Prec 35.7 -> 34.7 %, PET 21.9 -> 20.3 %, the world within 0.002 C; a hard
    // switch at the equator gained a little less than the blend over +-10 degrees, +-20 as much
    // with bounds holding a little less. A span of 5 RMS for the local coefficients: Temp 0.730 -> 0.729 C,
    // Tmax 0.846 -> 0.844 C (seed 2: 0.715 -> 0.713, 0.849 -> 0.844); 2 and 3 RMS lose a little.
    // Tropical and extratropical altitude and latitude terms, blended between 10 and 30 degrees
    // (10 folds, seeds 1 / 2): Temp 0.730 -> 0.726 / 0.714 -> 0.711 C, Africa 0.811 -> 0.795 /
    // 0.775 -> 0.765 C; blends from 5-25 to 30-50 degrees gave the same within 0.002 C.
    switch (variable) {
        case Prec: p.logOffset = 10; break;  // mm: dry months do not dominate the ratios
        // hPa. Small beside the winter air of the cold continents (0.1-0.3 hPa): with 1 hPa a
        // fall with altitude fitted on warm rows acted almost absolutely there, and a Yakutian
        // upland at 1060 m got 0.04 hPa in January (its neighbours 0.11-0.36 at the same
        // temperature); with 0.2 hPa 0.13. The folds: Vap 0.704 -> 0.705 and 0.688 -> 0.689.
        case Vap: p.logOffset = 0.2f; break;
        case PET: p.logOffset = 10; break;   // mm
        case Wind: p.logOffset = 0.5f; break;
        default: break;
    }
    return p;
}

float southernSeason(const KrigingParams& p, float lat) {
    if (p.seasonBlendDeg <= 0) return lat < 0 ? 1.0f : 0.0f;
    return std::clamp(0.5f - lat / (2 * p.seasonBlendDeg), 0.0f, 1.0f);
}

float extratropical(const KrigingParams& p, float lat) {
    return std::clamp((std::fabs(lat) - p.polarFromDeg) / (p.polarToDeg - p.polarFromDeg), 0.0f, 1.0f);
}

namespace {
// The integral of extratropical() from the equator to |lat| (degrees): the extratropical part of
// the distance from the equator, smooth in latitude. The rest of |lat| is the tropical part.
float extratropicalDegrees(const KrigingParams& p, float lat) {
    const float a = std::fabs(lat), from = p.polarFromDeg, to = p.polarToDeg;
    if (a <= from) return 0;
    if (a <= to) return (a - from) * (a - from) / (2 * (to - from));
    return (to - from) / 2 + (a - to);
}
}  // namespace

std::array<float, kMaxCovariates> krigingCovariates(const KrigingParams& p, float lat, float altM, const TerrainAround& t) {
    std::array<float, kMaxCovariates> x{};
    // Without terrain (no elevation raster) the relief terms are 0 and the sea is nowhere near:
    // the model keeps its altitude and latitude terms.
    const float z = altM / 1000.0f, m10 = t.known ? t.mean10 / 1000.0f : z, m50 = t.known ? t.mean50 / 1000.0f : z;
    if (p.temperature) {
        // Altitude and distance from the equator each split into a tropical and an extratropical
        // part (northern and southern apart beyond the tropics, as the seasons differ there).
        const float e = extratropical(p, lat), far = extratropicalDegrees(p, lat) / 10.0f;
        x = {z * (1 - e), z * e, lat > 0 ? far : 0.0f, lat < 0 ? far : 0.0f, std::fabs(lat) / 10.0f - far,
             std::clamp(z - m10, -0.15f, 0.15f), z - m50, t.seaNear, t.sea25, t.sea100, t.sea500};
    } else {
        x = {z, z - m10, z - m50, t.seaNear, t.sea100, t.sea500, 0, 0, 0, 0, 0};
    }
    return x;
}

namespace {
// The eliminated kriging system of one set of points. The cells of a map or the places of a
// batch next to each other share their neighbours, and with them everything in the system but
// its right-hand side: each thread keeps the last one and applies its row exchanges and
// multipliers to the new right-hand side, in the order the elimination took them, so that the
// weights are the same to the last bit as those of a system eliminated anew.
struct KrigingSystem {
    std::array<double, 4> params{};  // nugget, km per m of altitude, km per unit of sea proximity, range
    int n = 0;
    std::array<std::array<double, 5>, kKrigingNeighbours> points{};  // unit vector, altitude, sea proximity
    // The upper triangle of the eliminated matrix, and below the diagonal the multiplier that
    // took each entry out (0: the row was passed over).
    std::array<double, (kKrigingNeighbours + 1) * (kKrigingNeighbours + 1)> a{};
    std::array<int, kKrigingNeighbours + 1> pivot{};
    bool ok = false;

    static std::array<double, 4> paramsOf(const KrigingParams& p) { return {p.nugget, p.altKmPerM, p.seaKm, p.rangeKm}; }
    static std::array<double, 5> pointOf(const KrigingPoint& q) { return {q.at.unit[0], q.at.unit[1], q.at.unit[2], q.alt, q.seaNear}; }
    bool holds(const KrigingParams& p, const std::array<std::array<double, 5>, kKrigingNeighbours>& pts, int count) const {
        return count == n && paramsOf(p) == params && std::equal(pts.begin(), pts.begin() + n, points.begin());
    }
};
}  // namespace

bool krigingWeights(const KrigingParams& p, const KrigingPoint* points, int n, const KrigingPoint& target,
                    float* weights, float& variance) {
    const double sill = 1.0 - p.nugget;
    auto Distance = [](const SpherePoint& a, const SpherePoint& b) { return chordKm(a.unit, b.unit); };
    auto h = [&](const KrigingPoint& a, const KrigingPoint& b, double d) {
        const double dz = p.altKmPerM * (a.alt - b.alt), ds = p.seaKm * (a.seaNear - b.seaNear);
        return std::sqrt(d * d + dz * dz + ds * ds);
    };
    if (n == 1) {
        weights[0] = 1;
        const double c0 = sill * std::exp(-h(points[0], target, Distance(points[0].at, target.at)) / p.rangeKm);
        variance = static_cast<float>(2 * (1.0 - c0));
        return true;
    }
    // Augmented system [C 1; 1' 0] [w; mu] = [c0; 1], solved by elimination with pivoting. The
    // points are taken in one order whatever the order they come in (the nearest first moves
    // from place to place), so that a set of neighbours is one system wherever it is met.
    const int m = n + 1;
    std::array<std::array<double, 5>, kKrigingNeighbours> given{}, keys{};
    for (int i = 0; i < n; ++i) given[ix(i)] = KrigingSystem::pointOf(points[i]);
    std::array<int, kKrigingNeighbours> order{};
    std::iota(order.begin(), order.begin() + n, 0);
    std::sort(order.begin(), order.begin() + n,
              [&](int i, int j) { return std::tie(given[ix(i)], i) < std::tie(given[ix(j)], j); });
    std::array<KrigingPoint, kKrigingNeighbours> sorted{};
    for (int i = 0; i < n; ++i) {
        sorted[ix(i)] = points[order[ix(i)]];
        keys[ix(i)] = given[ix(order[ix(i)])];
    }
    std::array<double, kKrigingNeighbours + 1> rhs{};
    std::array<double, kKrigingNeighbours> c0{};
    for (int i = 0; i < n; ++i) rhs[ix(i)] = c0[ix(i)] = sill * std::exp(-h(sorted[ix(i)], target, Distance(sorted[ix(i)].at, target.at)) / p.rangeKm);
    rhs[ix(n)] = 1;
    points = sorted.data();
    thread_local KrigingSystem system;
    if (!system.holds(p, keys, n)) {
        system.params = KrigingSystem::paramsOf(p);
        system.n = n;
        system.points = keys;
        auto& a = system.a;
        for (int i = 0; i < n; ++i) {
            for (int j = i; j < n; ++j) {
                const double c = i == j ? 1.0 : sill * std::exp(-h(points[i], points[j], Distance(points[i].at, points[j].at)) / p.rangeKm);
                a[ix(i * m + j)] = a[ix(j * m + i)] = c;
            }
            a[ix(i * m + n)] = a[ix(n * m + i)] = 1;
        }
        a[ix(n * m + n)] = 0;
        system.ok = true;
        for (int k = 0; k < m && system.ok; ++k) {
            int piv = k;
            for (int i = k + 1; i < m; ++i)
                if (std::fabs(a[ix(i * m + k)]) > std::fabs(a[ix(piv * m + k)])) piv = i;
            system.pivot[ix(k)] = piv;
            if (std::fabs(a[ix(piv * m + k)]) < 1e-12) {
                system.ok = false;
                break;
            }
            // The multipliers left of column k stay where they were taken out: the right-hand
            // side meets them in that order.
            if (piv != k)
                for (int j = k; j < m; ++j) std::swap(a[ix(k * m + j)], a[ix(piv * m + j)]);
            for (int i = k + 1; i < m; ++i) {
                const double f = a[ix(i * m + k)] / a[ix(k * m + k)];
                for (int j = k + 1; j < m && f != 0; ++j) a[ix(i * m + j)] -= f * a[ix(k * m + j)];
                a[ix(i * m + k)] = f;  // no longer needed below the diagonal: the multiplier instead
            }
        }
    }
    bool ok = system.ok;
    std::array<double, kKrigingNeighbours + 1> x{};
    if (ok) {
        const auto& a = system.a;
        for (int k = 0; k < m; ++k) {
            std::swap(rhs[ix(k)], rhs[ix(system.pivot[ix(k)])]);
            for (int i = k + 1; i < m; ++i)
                if (const double f = a[ix(i * m + k)]; f != 0) rhs[ix(i)] -= f * rhs[ix(k)];
        }
        for (int i = m - 1; i >= 0; --i) {
            double s = rhs[ix(i)];
            for (int j = i + 1; j < m; ++j) s -= a[ix(i * m + j)] * x[ix(j)];
            x[ix(i)] = s / a[ix(i * m + i)];
        }
    }
    for (int i = 0; i < n && ok; ++i) ok = std::isfinite(x[ix(i)]);
    if (!ok) {
        double sum = 0;
        for (int i = 0; i < n; ++i) sum += x[ix(i)] = 1.0 / (1.0 + Distance(points[i].at, target.at));
        for (int i = 0; i < n; ++i) x[ix(i)] /= sum;
        x[ix(n)] = 0;
    }
    double v = 1.0 - x[ix(n)];
    for (int i = 0; i < n; ++i) {
        weights[order[ix(i)]] = static_cast<float>(x[ix(i)]);
        v -= x[ix(i)] * c0[ix(i)];
    }
    variance = static_cast<float>(std::max(v, 1e-4));
    return ok;
}

KrigingModel::StationTerrain KrigingModel::stationTerrain(float lon, float lat, float alt) const {
    if (const uint32_t k = knownAt_.find(lon, lat); k != PositionTable::kNone && (alt == known_[k].alt || alt == kUnknown))
        return known_[k];
    const TerrainAround t = terrain->at(lon, lat);
    StationTerrain s;
    s.alt = alt == kUnknown ? t.landAlt : alt;
    s.x = krigingCovariates(params, lat, s.alt, t);
    s.seaNear = t.seaNear;
    return s;
}

namespace {

// The condition number of the covariates' normal matrix among `use`, each covariate scaled to
// unit diagonal (so that units do not count, only how far the covariates repeat each other):
// the ratio of its largest to its smallest eigenvalue (cyclic Jacobi; at most 11 x 11).
double scaledCondition(const std::vector<double>& A, int p, const std::array<bool, kMaxCovariates>& use) {
    std::vector<int> at;
    for (int a = 0; a < p; ++a)
        if (use[ix(a)] && A[ix(a * p + a)] > 0) at.push_back(a);
    const int n = static_cast<int>(at.size());
    if (n < 2) return 1;
    std::vector<double> S(ix(n * n));
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            const int a = at[ix(i)], c = at[ix(j)];
            const double v = a >= c ? A[ix(a * p + c)] : A[ix(c * p + a)];
            S[ix(i * n + j)] = v / std::sqrt(A[ix(a * p + a)] * A[ix(c * p + c)]);
        }
    for (int sweep = 0; sweep < 50; ++sweep) {
        double off = 0;
        for (int i = 0; i < n; ++i)
            for (int j = i + 1; j < n; ++j) off += S[ix(i * n + j)] * S[ix(i * n + j)];
        if (off < 1e-22) break;
        for (int i = 0; i < n; ++i)
            for (int j = i + 1; j < n; ++j) {
                const double sij = S[ix(i * n + j)];
                if (std::fabs(sij) < 1e-300) continue;
                const double theta = (S[ix(j * n + j)] - S[ix(i * n + i)]) / (2 * sij);
                const double t = (theta >= 0 ? 1.0 : -1.0) / (std::fabs(theta) + std::sqrt(theta * theta + 1));
                const double c = 1 / std::sqrt(t * t + 1), s = t * c;
                for (int k = 0; k < n; ++k) {
                    const double ki = S[ix(k * n + i)], kj = S[ix(k * n + j)];
                    S[ix(k * n + i)] = c * ki - s * kj;
                    S[ix(k * n + j)] = s * ki + c * kj;
                }
                for (int k = 0; k < n; ++k) {
                    const double ik = S[ix(i * n + k)], jk = S[ix(j * n + k)];
                    S[ix(i * n + k)] = c * ik - s * jk;
                    S[ix(j * n + k)] = s * ik + c * jk;
                }
            }
    }
    double lo = HUGE_VAL, hi = 0;
    for (int i = 0; i < n; ++i) {
        lo = std::min(lo, S[ix(i * n + i)]);
        hi = std::max(hi, S[ix(i * n + i)]);
    }
    return lo > 0 ? hi / lo : HUGE_VAL;
}

// Covariates the rows cannot carry: those whose rows differ by less than kCovariateSpread
// (rounding, or every station at one altitude: fitted on that, the altitude terms of four
// stations at 5 m took 140 K per km, those of a network at 100 m an error of thousands of K),
// and every one but the altitude terms when the rest repeat each other so closely that their
// normal matrix is ill-conditioned (scaled condition number beyond kMaxCovariateCondition; the
// default data's are 5 to 8).
std::array<bool, kMaxCovariates> heldCovariates(const std::vector<KrigingRow>& rows, int p, bool temperature) {
    std::array<bool, kMaxCovariates> held{};
    if (rows.empty()) return held;
    std::vector<double> A(ix(p * p), 0);
    double weightSum = 0;
    for (const KrigingRow& row : rows) {
        const double w = 1.0 / row.variance;
        weightSum += w;
        for (int a = 0; a < p; ++a)
            for (int c = 0; c <= a; ++c) A[ix(a * p + c)] += w * row.dX[ix(a)] * row.dX[ix(c)];
    }
    const double floor2 = static_cast<double>(kCovariateSpread) * kCovariateSpread * weightSum;
    const bool few = static_cast<int>(rows.size()) < 2 * p;
    const auto altitude = [&](int a) { return a == 0 || (temperature && a == 1); };
    std::array<bool, kMaxCovariates> use{};
    for (int a = 0; a < p; ++a) {
        held[ix(a)] = !(A[ix(a * p + a)] > floor2);
        use[ix(a)] = !held[ix(a)] && (!few || altitude(a));
    }
    if (scaledCondition(A, p, use) > kMaxCovariateCondition)
        for (int a = 0; a < p; ++a) held[ix(a)] = held[ix(a)] || !altitude(a);
    return held;
}

// Global coefficients of one month: iteratively reweighted least squares towards the L1 fit
// (weights 1 / sqrt(e^2 + delta^2)), rows weighted by their kriging variance. Covariates in
// `held` keep 0.
std::array<float, kMaxCovariates> globalFit(const std::vector<KrigingRow>& rows, int p, int month, bool temperature,
                                            const std::array<bool, kMaxCovariates>& held) {
    std::array<float, kMaxCovariates> b{};
    // A small database (a national network of a few dozen stations) cannot carry every term:
    // below two rows per covariate only the altitude terms are fitted, the others stay 0.
    const bool few = static_cast<int>(rows.size()) < 2 * p;
    if (rows.size() < 4) return b;
    const auto fitted = [&](int a) { return (!few || a == 0 || (temperature && a == 1)) && !held[ix(a)]; };
    std::vector<double> absR;
    for (const KrigingRow& row : rows) absR.push_back(std::fabs(row.season[ix(month)]));
    std::nth_element(absR.begin(), absR.begin() + static_cast<long>(absR.size() / 2), absR.end());
    const double delta = std::max(absR[absR.size() / 2] * 0.5, 1e-3);
    std::vector<double> u(rows.size(), 1.0);
    for (int iter = 0; iter < 8; ++iter) {
        std::vector<double> A(ix(p * p), 0), B(ix(p), 0);
        for (size_t j = 0; j < rows.size(); ++j) {
            const KrigingRow& row = rows[j];
            const double w = u[j] / row.variance;
            for (int a = 0; a < p; ++a) {
                B[ix(a)] += w * row.dX[ix(a)] * row.season[ix(month)];
                for (int c = 0; c <= a; ++c) A[ix(a * p + c)] += w * row.dX[ix(a)] * row.dX[ix(c)];
            }
        }
        for (int a = 0; a < p; ++a) {
            for (int c = 0; c < a; ++c) A[ix(c * p + a)] = A[ix(a * p + c)];
            A[ix(a * p + a)] += 1e-6 * (A[ix(a * p + a)] + 1e-6);
            if (!fitted(a)) A[ix(a * p + a)] += 1e12;  // its coefficient held at 0
        }
        if (!choleskySolve(A, p, B, 1)) break;
        for (int a = 0; a < p; ++a) b[ix(a)] = static_cast<float>(B[ix(a)]);
        for (size_t j = 0; j < rows.size(); ++j) {
            double e = rows[j].season[ix(month)];
            for (int a = 0; a < p; ++a) e -= b[ix(a)] * rows[j].dX[ix(a)];
            u[j] = 1.0 / std::sqrt(e * e + delta * delta);
        }
    }
    return b;
}

// Huber weights of the rows by their mean standardised residual under the global fit, so that a
// few stations with odd data or odd siting do not steer the local fits around them.
void trustRows(KrigingModel& model) {
    const int p = model.params.covariates();
    std::vector<KrigingRow>& rows = model.rows;
    if (rows.empty()) return;
    std::array<double, 12> scale{};
    std::vector<std::array<double, 12>> e(rows.size());
    for (int m = 0; m < 12; ++m) {
        std::vector<double> a(rows.size());
        for (size_t j = 0; j < rows.size(); ++j) {
            double r = rows[j].season[ix(m)];
            for (int c = 0; c < p; ++c) r -= model.global[ix(m)][ix(c)] * rows[j].dX[ix(c)];
            e[j][ix(m)] = r / std::sqrt(rows[j].variance);
            a[j] = std::fabs(e[j][ix(m)]);
        }
        std::nth_element(a.begin(), a.begin() + static_cast<long>(a.size() / 2), a.end());
        scale[ix(m)] = std::max(a[a.size() / 2] / 0.6745, 1e-6);
    }
    constexpr double huber = 1.2;  // 2 gave Temp 0.736 instead of 0.735 and Antarctica 2.23 instead of 2.17
    for (size_t j = 0; j < rows.size(); ++j) {
        double z = 0;
        for (int m = 0; m < 12; ++m) z += std::fabs(e[j][ix(m)]) / scale[ix(m)] / 12;
        rows[j].trust = static_cast<float>(z > huber ? huber / z : 1.0);
    }
}

struct Shared {
    std::mutex mutex;
    std::map<std::string, std::shared_ptr<const TerrainCovariates>> terrain;
    std::map<std::string, std::shared_ptr<const StationDatabase>> databases;
    std::vector<std::pair<KrigingModel::Key, std::shared_ptr<const KrigingModel>>> models;
    std::vector<std::pair<KrigingModel::Key, std::shared_ptr<const std::vector<Station>>>> extremes;
    std::mutex build;  // one model is built at a time; the others wait for it
    std::mutex terrainBuild;  // one folder's terrain grids are read once, however many threads ask
};
Shared& shared() {
    static Shared s;
    return s;
}

uint64_t settingsFingerprint(const ProgramSettings& s) {
    uint64_t h = 0;
    for (double v : {double(s.MaxStat), double(s.MaxDist), double(s.NeighbAlt), double(s.MinHigh), double(s.MaxHigh),
                     double(s.MinDist), double(s.PowExp)})
        h = mix(h, std::hash<double>{}(v));
    return h;
}

uint64_t exclusionFingerprint(const StationExclusion* excluded) {
    uint64_t h = 1;
    if (!excluded) return h;
    for (const auto& [lon, lat] : excluded->positions()) h = mix(h, positionBits(lon, lat));
    return h;
}

std::vector<std::pair<float, float>> positionsOf(const StationExclusion* excluded) {
    return excluded ? excluded->positions() : std::vector<std::pair<float, float>>{};
}

// The leave-one-out rows of every station of `variable` not in `excluded`: its neighbours chosen
// as an estimate at its place would choose them, without the station itself.
std::vector<KrigingRow> buildRows(const KrigingModel& model, const ProgramSettings& settings, const std::string& folder,
                                  const std::shared_ptr<const StationDatabase>& database, const std::vector<Station>& stations,
                                  const StationExclusion* excluded) {
    ProgramSettings selection = settings;
    selection.Method = Method::Described;
    selection.RobustCorr = 0;
    NeighbourSearch search(selection, folder, database);
    const std::vector<std::pair<float, float>> base = positionsOf(excluded);
    const int p = model.params.covariates();
    std::vector<KrigingRow> rows;
    rows.reserve(stations.size());
    for (const Station& s : stations) {
        if (excluded && excluded->contains(s)) continue;
        std::vector<std::pair<float, float>> positions = base;
        positions.emplace_back(s.Lon, s.Lat);
        const StationExclusion self(std::move(positions));
        search.setExclusion(&self);
        search.Select(model.variable, Location{"", s.Lon, s.Lat, s.Alt});
        search.ActivateNeighbours();
        std::array<const Station*, kKrigingNeighbours> active{};
        int n = 0;
        for (int i = 1; i <= search.ns.NeighbourCount && n < kKrigingNeighbours; ++i)
            if (search.ns[i].Active == 1) active[ix(n++)] = &search.ns[i];
        if (n == 0) continue;
        std::array<KrigingPoint, kKrigingNeighbours> points{};
        std::array<KrigingModel::StationTerrain, kKrigingNeighbours> terrain{};
        for (int i = 0; i < n; ++i) {
            terrain[ix(i)] = model.stationTerrain(active[ix(i)]->Lon, active[ix(i)]->Lat, active[ix(i)]->Alt);
            points[ix(i)] = {spherePoint(active[ix(i)]->Lon, active[ix(i)]->Lat), terrain[ix(i)].alt, terrain[ix(i)].seaNear};
        }
        const KrigingModel::StationTerrain own = model.stationTerrain(s.Lon, s.Lat, s.Alt);
        std::array<float, kKrigingNeighbours> w{};
        KrigingRow row;
        krigingWeights(model.params, points.data(), n, {spherePoint(s.Lon, s.Lat), own.alt, own.seaNear}, w.data(), row.variance);
        row.lon = s.Lon;
        row.lat = s.Lat;
        const SpherePoint sp = spherePoint(s.Lon, s.Lat);
        for (int k = 0; k < 3; ++k) row.unit[k] = sp.unit[k];
        for (int a = 0; a < p; ++a) {
            float sum = 0;
            for (int i = 0; i < n; ++i) sum += w[ix(i)] * terrain[ix(i)].x[ix(a)];
            row.dX[ix(a)] = own.x[ix(a)] - sum;
        }
        for (int m = 0; m < 12; ++m) {
            float sum = 0;
            for (int i = 0; i < n; ++i) sum += w[ix(i)] * toScale(model.params, active[ix(i)]->Data[ix(m + 1)]);
            row.r[ix(m)] = toScale(model.params, s.Data[ix(m + 1)]) - sum;
        }
        row.south = southernSeason(model.params, s.Lat);
        for (int k = 0; k < 12; ++k) row.season[ix(k)] = (1 - row.south) * row.r[ix(k)] + row.south * row.r[ix((k + 6) % 12)];
        rows.push_back(row);
    }
    search.setExclusion(nullptr);
    return rows;
}

// The folder with the identity of its raster and derived grids (device, inode, size, change
// time): a raster replaced in the same folder, by an import or by hand, is read anew.
std::string terrainKey(const std::string& folder) {
    std::string key = folder;
    for (const char* name : {kTerrainFileName, TerrainCovariates::kFileName}) {
        struct stat st{};
        if (::stat((folder + "/" + name).c_str(), &st) != 0) {
            key += "|-";
            continue;
        }
        key += "|" + std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) + ":" + std::to_string(st.st_size) + ":" +
               std::to_string(st.st_ctim.tv_sec) + "." + std::to_string(st.st_ctim.tv_nsec) + ":" +
               std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec);
    }
    return key;
}

std::shared_ptr<const TerrainCovariates> terrainOf(const std::string& folder) {
    Shared& sh = shared();
    const std::string key = terrainKey(folder);
    const auto find = [&]() -> std::shared_ptr<const TerrainCovariates> {
        std::lock_guard lock(sh.mutex);
        const auto it = sh.terrain.find(key);
        return it == sh.terrain.end() ? nullptr : it->second;
    };
    if (auto found = find()) return found;
    // Threads that start together (the eight variables of one estimate) wait for the first to
    // read the grids instead of each reading and keeping a copy of its own.
    std::lock_guard reading(sh.terrainBuild);
    if (auto found = find()) return found;
    auto made = std::make_shared<const TerrainCovariates>(folder);
    std::lock_guard lock(sh.mutex);
    // One raster per folder is kept: the grids of a replaced one are dropped with their key.
    for (auto it = sh.terrain.begin(); it != sh.terrain.end();)
        it = it->first.compare(0, folder.size() + 1, folder + "|") == 0 ? sh.terrain.erase(it) : std::next(it);
    return sh.terrain.emplace(key, made).first->second;
}

std::shared_ptr<const StationDatabase> databaseOf(const std::string& folder, std::shared_ptr<const StationDatabase> given) {
    if (given) return given;
    Shared& sh = shared();
    std::lock_guard lock(sh.mutex);
    auto& db = sh.databases[folder];
    if (!db) db = std::make_shared<const StationDatabase>(folder);
    return db;
}

// A bare model with terrain and the covariates of every station of the variable.
std::shared_ptr<KrigingModel> bareModel(const std::string& folder, int variable) {
    auto model = std::make_shared<KrigingModel>();
    model->variable = variable;
    model->params = krigingParams(variable);
    model->terrain = terrainOf(folder);
    return model;
}

}  // namespace

uint64_t krigingSettingsFingerprint(const ProgramSettings& settings) { return settingsFingerprint(settings); }

std::vector<Station> KrigingModel::extremeStations(const ProgramSettings& settings, const std::string& folder,
                                                   std::shared_ptr<const StationDatabase> database,
                                                   const StationExclusion* excluded) {
    database = databaseOf(folder, std::move(database));
    const Key key{folder, database.get(), database->generation(), -1, exclusionFingerprint(excluded), settingsFingerprint(settings)};
    Shared& sh = shared();
    std::lock_guard building(sh.build);
    {
        std::lock_guard lock(sh.mutex);
        for (const auto& [k, v] : sh.extremes)
            if (k == key) return *v;
    }
    std::array<std::vector<KrigingRow>, 2> rows;
    std::array<std::vector<Station>, 2> stations;
    for (int v = 0; v < 2; ++v) {
        const int variable = v == 0 ? Tmax : Tmin;
        stations[ix(v)] = databaseStations(*database, variable);
        auto model = bareModel(folder, variable);
        model->params.logOffset = 0;
        rows[ix(v)] = buildRows(*model, settings, folder, database, stations[ix(v)], excluded);
    }
    std::unordered_map<uint64_t, float> minAnnual;
    for (const KrigingRow& row : rows[1]) {
        float sum = 0;
        for (float r : row.r) sum += r;
        minAnnual[positionBits(row.lon, row.lat)] = sum / 12;
    }
    auto out = std::make_shared<std::vector<Station>>();
    for (const KrigingRow& row : rows[0]) {
        const auto it = minAnnual.find(positionBits(row.lon, row.lat));
        if (it == minAnnual.end()) continue;
        float sum = 0;
        for (float r : row.r) sum += r;
        if (sum / 12 - it->second > kExtremesLimit)
            for (const Station& s : stations[0])
                if (s.Lon == row.lon && s.Lat == row.lat) out->push_back(s);
    }
    std::lock_guard lock(sh.mutex);
    sh.extremes.emplace_back(key, out);
    return *out;
}

std::string KrigingModel::describeExtremes(const std::vector<Station>& stations) {
    if (stations.empty()) return "";
    std::string out = "Tmax/Tmin stations the kriging method leaves out (their fields hold monthly extremes): " +
                      std::to_string(stations.size()) + "\n";
    char line[160];
    for (const Station& s : stations) {
        std::snprintf(line, sizeof line, "  %-28s %-24s Lon %8.2f  Lat %7.2f\n", s.Name.c_str(), s.Country.c_str(), s.Lon, s.Lat);
        out += line;
    }
    return out;
}

std::shared_ptr<const KrigingModel> KrigingModel::get(const ProgramSettings& settings, const std::string& folder,
                                                      std::shared_ptr<const StationDatabase> database, int variable,
                                                      const StationExclusion* excluded) {
    database = databaseOf(folder, std::move(database));
    const Key key{folder, database.get(), database->generation(), variable, exclusionFingerprint(excluded),
                  settingsFingerprint(settings)};
    Shared& sh = shared();
    auto find = [&]() -> std::shared_ptr<const KrigingModel> {
        std::lock_guard lock(sh.mutex);
        for (const auto& [k, v] : sh.models)
            if (k == key) return v;
        return nullptr;
    };
    if (auto found = find()) return found;
    // The variable's own stations first: a broken file of its own is the error to report, not
    // one of the other temperature's the quality control reads.
    const std::vector<Station> stations = databaseStations(*database, variable);
    auto model = bareModel(folder, variable);
    // The whole database at the default neighbour selection has its model prepared beside it,
    // keyed by what it is made from; held-out folds and other selections are derived in memory.
    const bool keep = !excluded && settingsFingerprint(settings) == settingsFingerprint(ProgramSettings{});
    const bool temperaturePair = variable == Tmax || variable == Tmin;
    const uint64_t contentKey =
        keep ? krigingContentKey(variable, stations,
                                 temperaturePair ? databaseStations(*database, variable == Tmax ? Tmin : Tmax) : std::vector<Station>{},
                                 model->terrain->rasterSum(), settingsFingerprint(settings))
             : 0;
    PreparedKriging prepared;
    const bool fromFile = keep && readKrigingModel(krigingModelPath(folder, variable), contentKey, prepared);
    std::vector<std::pair<float, float>> held = positionsOf(excluded);
    if (fromFile) held = prepared.held;
    else if (temperaturePair)
        for (const Station& s : extremeStations(settings, folder, database, excluded)) held.emplace_back(s.Lon, s.Lat);
    std::unique_lock building(sh.build, std::defer_lock);
    if (!fromFile) building.lock();
    if (auto found = find()) return found;
    model->knownAt_.reserve(stations.size());
    if (fromFile && prepared.known.size() == stations.size()) {
        model->known_ = std::move(prepared.known);
    } else {
        model->known_.reserve(stations.size());
        for (const Station& s : stations) {
            const TerrainAround t = model->terrain->at(s.Lon, s.Lat);
            StationTerrain st;
            st.alt = s.Alt == kUnknown ? t.landAlt : s.Alt;
            st.x = krigingCovariates(model->params, s.Lat, st.alt, t);
            st.seaNear = t.seaNear;
            model->known_.push_back(st);
        }
    }
    for (size_t k = 0; k < stations.size(); ++k) model->knownAt_.set(stations[k].Lon, stations[k].Lat, static_cast<uint32_t>(k));
    if (!held.empty()) model->neighbourExclusion = std::make_shared<const StationExclusion>(held);
    if (fromFile) {
        model->rows = std::move(prepared.rows);
        model->global = prepared.global;
    } else {
        model->rows = buildRows(*model, settings, folder, database, stations, model->neighbourExclusion.get());
    }
    model->held = heldCovariates(model->rows, model->params.covariates(), model->params.temperature);
    if (!fromFile) {
        for (int m = 0; m < 12; ++m)
            model->global[ix(m)] = globalFit(model->rows, model->params.covariates(), m, model->params.temperature, model->held);
        trustRows(*model);
    }
    model->rowAt_.reserve(model->rows.size());
    for (size_t j = 0; j < model->rows.size(); ++j) model->rowAt_.set(model->rows[j].lon, model->rows[j].lat, static_cast<uint32_t>(j));
    model->rowMiss_.resize(model->rows.size());
    {
        const int p = model->params.covariates();
        const bool ratio = model->params.logOffset > 0;
        for (size_t j = 0; j < model->rows.size(); ++j) {
            const KrigingRow& row = model->rows[j];
            for (int m = 0; m < 12; ++m) {
                double e = row.r[ix(m)];  // observed minus estimated, working scale
                const auto& own = model->global[ix(m)];
                const auto& opposite = model->global[ix((m + 6) % 12)];
                for (int a = 0; a < p; ++a) e -= ((1 - row.south) * own[ix(a)] + row.south * opposite[ix(a)]) * row.dX[ix(a)];
                model->rowMiss_[j][ix(m)] = static_cast<float>(ratio ? std::exp(-e) : e);
            }
        }
    }
    model->index_ = RowIndex(model->rows);
    model->fit_.reserve(model->rows.size());
    for (const KrigingRow& row : model->rows) model->fit_.push_back({row.season, row.dX, row.trust, row.variance});
    const RowLayout layout{model->params.covariates(), model->params.localFit, model->params.logOffset > 0};
    if (!fromFile || !(prepared.layout == layout) ||
        !model->grid_.assign(prepared.gridStep, layout, std::move(prepared.nodes), std::move(prepared.packed))) {
        // The nodes take most of a model's derivation: both cores work on them (the variables'
        // models are derived one at a time).
        const int threads = static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
        const KrigingModel* m = model.get();
        const auto work = [m](float lon, float lat, RowWork& out) { m->rowWorkAt(lon, lat, out); };
        // A model kept beside the database serves every later place: all its nodes now. One
        // derived in memory (a held-out fold, another selection) mostly serves a few places:
        // each node when the first place around it asks (10 folds of every variable: 68 s of
        // processor time instead of 128 s with every node ahead, the same report).
        if (keep) model->grid_.build(RowGrid::kStep, layout, RowGrid::nodesNeeded(model->rows, *model->terrain), work, threads);
        else model->grid_.defer(RowGrid::kStep, layout, RowGrid::nodesNeeded(model->rows, *model->terrain), work);
        if (keep) {
            prepared.rows = model->rows;
            prepared.global = model->global;
            prepared.held = std::move(held);
            prepared.gridStep = model->grid_.step();
            prepared.layout = layout;
            prepared.nodes = model->grid_.nodes();
            prepared.packed = model->grid_.packed();
            prepared.known = model->known_;
            writeKrigingModel(krigingModelPath(folder, variable), contentKey, prepared);
        }
    }
    std::lock_guard lock(sh.mutex);
    if (sh.models.size() > 256) sh.models.erase(sh.models.begin(), sh.models.begin() + 128);
    sh.models.emplace_back(key, model);
    return model;
}

bool KrigingModel::neighbourErrors(const Station* const* neighbours, int n,
                                   std::array<std::array<float, 12>, kKrigingNeighbours>& errors) const {
    const bool ratio = params.logOffset > 0;
    for (int i = 0; i < std::min(n, kKrigingNeighbours); ++i) {
        const uint32_t j = rowAt_.find(neighbours[i]->Lon, neighbours[i]->Lat);
        if (j == PositionTable::kNone) return false;
        const std::array<float, 12>& miss = rowMiss_[j];
        for (int m = 0; m < 12; ++m) {
            const double obs = neighbours[i]->Data[ix(m + 1)];
            const double est = ratio ? (std::max(obs, 0.0) + params.logOffset) * miss[ix(m)] - params.logOffset : obs - miss[ix(m)];
            errors[ix(i)][ix(m)] = static_cast<float>(est - obs);
        }
    }
    return true;
}

KrigingOutcome KrigingModel::estimate(float lon, float lat, float alt, const Station* const* neighbours, int n, float lowered) const {
    KrigingOutcome out;
    if (n <= 0) return out;
    n = std::min(n, kKrigingNeighbours);
    const KrigingParams& P = params;
    const int p = P.covariates();
    std::array<KrigingPoint, kKrigingNeighbours> points{};
    std::array<StationTerrain, kKrigingNeighbours> terrainOf{};
    for (int i = 0; i < n; ++i) {
        terrainOf[ix(i)] = stationTerrain(neighbours[i]->Lon, neighbours[i]->Lat, neighbours[i]->Alt);
        points[ix(i)] = {spherePoint(neighbours[i]->Lon, neighbours[i]->Lat), terrainOf[ix(i)].alt, terrainOf[ix(i)].seaNear};
    }
    TerrainAround t = terrain->at(lon, lat);
    t.mean10 -= lowered;
    t.mean50 -= lowered;
    const float alt0 = alt == kUnknown ? t.landAlt : alt;
    const std::array<float, kMaxCovariates> x0 = krigingCovariates(P, lat, alt0, t);
    const SpherePoint at = spherePoint(lon, lat);
    std::array<float, kKrigingNeighbours> w{};
    float v0 = 1;
    krigingWeights(P, points.data(), n, {at, alt0, t.seaNear}, w.data(), v0);
    out.weights = w;
    std::array<double, kMaxCovariates> dx{}, lo{}, hi{};
    for (int a = 0; a < p; ++a) {
        double sum = 0;
        lo[ix(a)] = hi[ix(a)] = terrainOf[0].x[ix(a)];
        for (int i = 0; i < n; ++i) {
            const double xi = terrainOf[ix(i)].x[ix(a)];
            sum += w[ix(i)] * xi;
            lo[ix(a)] = std::min(lo[ix(a)], xi);
            hi[ix(a)] = std::max(hi[ix(a)], xi);
        }
        dx[ix(a)] = x0[ix(a)] - sum;
    }
    // Above every neighbour the place is not only higher but often farther from the sea than
    // any of them (an ice sheet behind a coastal network): its sea terms stay within a quarter
    // of the neighbours' range beyond it, so that summer continentality fitted on lowland rows
    // does not warm the ice (Greenland at 2920 m in July was -7.6 C, about -12 there).
    const bool above = lowered > 0;
    if (above)
        for (int a = P.temperature ? kFirstSeaCovariate : kFirstSeaCovariateOther; a < p; ++a) {
            const double margin = 0.25 * (hi[ix(a)] - lo[ix(a)]);
            dx[ix(a)] += std::clamp(static_cast<double>(x0[ix(a)]), lo[ix(a)] - margin, hi[ix(a)] + margin) - x0[ix(a)];
        }
    // The nearest rows' work: interpolated from the grid's nodes, or computed here where the
    // model has none around the place (the open sea far from its stations).
    RowWork work;  // the global coefficients wherever the nodes carry no local ones
    for (int m = 0; m < 12; ++m)
        for (int a = 0; a < p; ++a) work.coef[ix(m)][ix(a)] = global[ix(m)][ix(a)];
    work.span.fill(1e30f);
    if (!grid_.at(lon, lat, work)) rowWorkAt(lon, lat, work);
    // Where the database itself cannot carry a covariate (held), that term is left out (its
    // global coefficient is 0): a place that differs from its neighbours in it falls back, says
    // so, and keeps the rest of its correction and its error within what the neighbours' own
    // spread allows (24 stations at 100 m gave a place at sea level -11.7 C where they all read
    // -3 to -4, with an error of 2,000 K).
    for (int a = 0; a < p; ++a) {
        const double beyond = std::max({0.0, x0[ix(a)] - hi[ix(a)], lo[ix(a)] - x0[ix(a)]});
        if (held[ix(a)] && std::max(std::fabs(dx[ix(a)]), beyond) > kCovariateSpread) out.fallback = true;
    }
    out.errorEstimate = work.valid > 0;
    // The location's calendar month m takes season m in the north, season m + 6 in the south.
    const double south = southernSeason(P, lat);
    for (int m = 0; m < 12; ++m) {
        const int opposite = (m + 6) % 12;
        double y = 0;
        for (int i = 0; i < n; ++i) y += w[ix(i)] * toScale(P, neighbours[i]->Data[ix(m + 1)]);
        double extra = 0;
        for (int a = 0; a < p; ++a) {
            const double g = (1 - south) * global[ix(m)][ix(a)] + south * global[ix(opposite)][ix(a)];
            // Above every neighbour the altitude terms take the world's coefficients: a lapse
            // rate fitted among lowland rows is the wrong one for the highland above them.
            const bool altitude = a == 0 || (P.temperature && a == 1);
            const double b = above && altitude ? g : (1 - south) * work.coef[ix(m)][ix(a)] + south * work.coef[ix(opposite)][ix(a)];
            const double span = work.span[ix(a)];
            const double within = std::clamp(dx[ix(a)], -span, span);
            y += within * b + (dx[ix(a)] - within) * g;
            const double beyond = std::max({0.0, x0[ix(a)] - hi[ix(a)], lo[ix(a)] - x0[ix(a)]});
            extra += std::fabs(b) * beyond;
        }
        const double s2m = (1 - south) * work.s2[ix(m)] + south * work.s2[ix(opposite)];
        double se = out.errorEstimate ? std::sqrt(s2m * v0 + extra * extra) : 0.0;
        if (out.fallback) {
            double kriged = 0, low = HUGE_VAL, high = -HUGE_VAL;
            for (int i = 0; i < n; ++i) {
                const double v = toScale(P, neighbours[i]->Data[ix(m + 1)]);
                kriged += w[ix(i)] * v;
                low = std::min(low, v);
                high = std::max(high, v);
            }
            const double spread = high - low;
            y = kriged + std::clamp(y - kriged, -spread, spread);
            if (out.errorEstimate) se = std::min(se, std::max(std::sqrt(s2m * v0), spread));
        }
        out.stdErr[ix(m)] = static_cast<float>(se);
        if (P.logOffset > 0) {
            // On a logarithmic scale the estimate taken back is a median, below the mean: the
            // rows' residuals, scaled to the place's kriging variance, give the factor that takes
            // it to the mean (Duan's smearing; the folds were 7 % dry without it).
            const double factor = out.errorEstimate ? (1 - south) * std::exp(lnSmearAt(work.lnSmear[ix(m)], v0)) +
                                                          south * std::exp(lnSmearAt(work.lnSmear[ix(opposite)], v0))
                                                    : 1.0;
            const double value = std::max(std::exp(y) * factor - P.logOffset, 0.0);
            out.best[ix(m)] = static_cast<float>(value);
            out.stdErrLinear[ix(m)] = static_cast<float>((value + P.logOffset) * se);
        } else {
            out.best[ix(m)] = static_cast<float>(y);
            out.stdErrLinear[ix(m)] = static_cast<float>(se);
        }
    }
    return out;
}

}  // namespace zentrel
