// The row work of one place: the nearest leave-one-out rows, the local ridge fit over them, the
// span of its coefficients and the residuals' sums (the standard error's spread and the smearing
// factor). A model computes it at the nodes of its grid; an estimate takes it from there.
#include <algorithm>
#include <cmath>

#include "kriging/kriging.h"

namespace zentrel {

namespace {
constexpr double kEarthKm = 6371.0;
size_t ix(int i) { return static_cast<size_t>(i); }

// The local fit's kernel-weighted sums over the nearest rows: the covariates' cross products
// (lower triangle, row-major P x P) and their products with the rows' seasons. P is a constant,
// so that the loops unroll and the month loop runs in vector registers; the sums are kept in
// arrays of fixed size (the rows' arrays could otherwise alias them).
template <int P>
void fitSums(const KrigingFitRow* fit, const std::pair<double, int>* near, const double* kernel, size_t k,
             std::array<double, kMaxCovariates * kMaxCovariates>& a0, std::array<std::array<double, 12>, kMaxCovariates>& r0,
             double& weightSum) {
    for (size_t j = 0; j < k; ++j) {
        const KrigingFitRow& row = fit[ix(near[j].second)];
        const double wj = kernel[j] * row.trust / row.variance;
        weightSum += wj;
        std::array<double, 12> rj;
        for (size_t m = 0; m < 12; ++m) rj[m] = row.season[m];
        for (int a = 0; a < P; ++a) {
            const double xa = wj * row.dX[ix(a)];
            for (int c = 0; c <= a; ++c) a0[ix(a * P + c)] += xa * row.dX[ix(c)];
            for (size_t m = 0; m < 12; ++m) r0[ix(a)][m] += xa * rj[m];
        }
    }
}

// The rows' residuals after the coefficients Bt (by covariate, then month): their
// kernel-weighted squares standardised by the rows' kriging variance, and on a logarithmic scale
// the smearing sums (exp of the residual scaled to the place's variance v0) at each step of
// sqrt(v0): the powers of the first step's exponential, as long as no step reaches the clamp.
template <int P>
void residualSums(const KrigingFitRow* fit, const std::pair<double, int>* near, const double* kernel, size_t k,
                  const std::array<std::array<double, 12>, kMaxCovariates>& Bt, bool logScale, std::array<double, 12>& s2,
                  std::array<std::array<double, kSmearSteps>, 12>& smear) {
    const double high = std::exp(3.0), low = std::exp(-3.0);
    for (size_t j = 0; j < k; ++j) {
        const KrigingFitRow& row = fit[ix(near[j].second)];
        std::array<double, 12> e;
        for (size_t m = 0; m < 12; ++m) e[m] = row.season[m];
        for (int a = 0; a < P; ++a) {
            const double x = row.dX[ix(a)];
            for (size_t m = 0; m < 12; ++m) e[m] -= Bt[ix(a)][m] * x;
        }
        const double w = kernel[j] / row.variance;
        for (size_t m = 0; m < 12; ++m) s2[m] += w * e[m] * e[m];
        if (logScale) {
            const double perStep = kSmearStep / std::sqrt(static_cast<double>(row.variance));
            for (size_t m = 0; m < 12; ++m) {
                const double z = e[m] * perStep;
                const double q = std::exp(std::clamp(z, -3.0, 3.0));
                double power = 1;
                for (int i = 1; i <= kSmearSteps; ++i) {
                    power *= q;
                    const double x = z * i;
                    smear[m][ix(i - 1)] += kernel[j] * (x > 3 ? high : x < -3 ? low : power);
                }
            }
        }
    }
}
}  // namespace

void KrigingModel::rowWorkAt(float lon, float lat, RowWork& out) const {
    out = RowWork();
    const KrigingParams& P = params;
    const int p = P.covariates();
    // Local coefficients: kernel-weighted ridge over the nearest rows, shrunk towards the global
    // ones by a prior worth priorStations typical rows.
    thread_local std::vector<std::pair<double, int>> near;  // minus the cosine first, then the distance in km
    thread_local std::vector<double> kernel, A, R;  // kept between estimates: no allocation in a warm thread
    const SpherePoint at = spherePoint(lon, lat);
    index_.candidates(rows, at, static_cast<size_t>(P.rows), near);
    const size_t k = std::min(near.size(), static_cast<size_t>(P.rows));
    if (k < near.size()) std::nth_element(near.begin(), near.begin() + static_cast<long>(k), near.end());
    near.resize(k);
    // Kernel distances as chords (2 R sin(angle / 2) from the cosine, without acos): within
    // 0.3 % of the arc up to 1500 km, and the kernel is no finer than that.
    for (auto& [d, j] : near) d = kEarthKm * std::sqrt(std::max(2.0 + 2.0 * d, 0.0));
    std::array<std::array<double, kMaxCovariates>, 12> B{};
    for (int m = 0; m < 12; ++m)
        for (int a = 0; a < p; ++a) B[ix(m)][ix(a)] = global[ix(m)][ix(a)];
    kernel.assign(k, 0.0);
    double kernelSum = 0;
    for (size_t j = 0; j < k; ++j) {
        const double d = near[j].first / P.kernelKm;
        kernel[j] = std::exp(-0.5 * d * d);
        kernelSum += kernel[j];
    }
    // The local coefficients act within the differences their rows show (localSpan times their
    // kernel-weighted root mean square); beyond, the global coefficients carry the rest. A
    // place 2.4 km above its coastal neighbours takes the world's lapse rate, not one fitted on
    // rows a few hundred metres apart.
    std::array<double, kMaxCovariates> span;
    span.fill(HUGE_VAL);
    // Covariates without a fit here: those the database cannot carry, and those its rows around
    // the place do not spread over (fitted on rounding, such a coefficient reached 5,000 K per
    // unit). Where the place differs from its neighbours in one, it takes the global coefficient.
    std::array<bool, kMaxCovariates> unsupported = held;
    if (P.localFit && k > 0 && kernelSum > 1e-9) {
        std::array<double, kMaxCovariates * kMaxCovariates> a0{};
        std::array<std::array<double, 12>, kMaxCovariates> r0{};
        double weightSum = 0;
        if (p == kMaxCovariates) fitSums<kMaxCovariates>(fit_.data(), near.data(), kernel.data(), k, a0, r0, weightSum);
        else fitSums<6>(fit_.data(), near.data(), kernel.data(), k, a0, r0, weightSum);
        if (weightSum > 0)
            for (int a = 0; a < p; ++a) span[ix(a)] = P.localSpan * std::sqrt(a0[ix(a * p + a)] / weightSum);
        A.assign(a0.begin(), a0.begin() + p * p);
        R.resize(ix(p * 12));
        for (int a = 0; a < p; ++a)
            for (int m = 0; m < 12; ++m) R[ix(a * 12 + m)] = r0[ix(a)][ix(m)];
        const double floor2 = static_cast<double>(kCovariateSpread) * kCovariateSpread * weightSum;
        for (int a = 0; a < p; ++a) {
            unsupported[ix(a)] = unsupported[ix(a)] || !(A[ix(a * p + a)] > floor2);
            const double prior = P.priorStations * A[ix(a * p + a)] / static_cast<double>(k) + 1e-9;
            for (int c = 0; c < a; ++c) A[ix(c * p + a)] = A[ix(a * p + c)];
            A[ix(a * p + a)] += prior;
            for (int m = 0; m < 12; ++m) R[ix(a * 12 + m)] += prior * global[ix(m)][ix(a)];
        }
        if (choleskySolve(A, p, R, 12))
            for (int m = 0; m < 12; ++m)
                for (int a = 0; a < p; ++a) B[ix(m)][ix(a)] = R[ix(a * 12 + m)];
    }
    // Covariates the rows around do not spread over keep their global coefficients: fitted on
    // rounding, a local one reached 5,000 K per unit.
    for (int a = 0; a < p; ++a)
        if (unsupported[ix(a)])
            for (int m = 0; m < 12; ++m) B[ix(m)][ix(a)] = global[ix(m)][ix(a)];
    // The rows' residuals after the correction, standardised by their kriging variance (the
    // estimate scales them to the place's), and on a logarithmic scale the smearing sums.
    std::array<double, 12> s2{};
    std::array<std::array<double, kSmearSteps>, 12> smear{};
    std::array<std::array<double, 12>, kMaxCovariates> Bt{};  // B by covariate, then month
    for (int m = 0; m < 12; ++m)
        for (int a = 0; a < p; ++a) Bt[ix(a)][ix(m)] = B[ix(m)][ix(a)];
    if (p == kMaxCovariates) residualSums<kMaxCovariates>(fit_.data(), near.data(), kernel.data(), k, Bt, P.logOffset > 0, s2, smear);
    else residualSums<6>(fit_.data(), near.data(), kernel.data(), k, Bt, P.logOffset > 0, s2, smear);
    for (int m = 0; m < 12; ++m)
        for (int a = 0; a < p; ++a) out.coef[ix(m)][ix(a)] = static_cast<float>(B[ix(m)][ix(a)]);
    for (int a = 0; a < p; ++a) out.span[ix(a)] = static_cast<float>(std::min(span[ix(a)], 1e30));
    if (k < 10 || !(kernelSum > 1e-9)) return;
    out.valid = 1;
    for (int m = 0; m < 12; ++m) {
        out.s2[ix(m)] = static_cast<float>(s2[ix(m)] / kernelSum);
        if (P.logOffset > 0)
            for (int i = 0; i < kSmearSteps; ++i) out.lnSmear[ix(m)][ix(i)] = static_cast<float>(std::log(smear[ix(m)][ix(i)] / kernelSum));
    }
}


}  // namespace zentrel
