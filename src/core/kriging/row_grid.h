// What a kriging model's nearest leave-one-out rows give a place (local coefficients, their span,
// the residuals' spread and the smearing factor), kept at the nodes of a fixed latitude-longitude
// grid and interpolated bilinearly to the place. The rows' kernel is 500 to 1500 km wide and
// their number fixed, so these change little between nodes a few hundred kilometres apart, and an
// estimate reads four nodes instead of fitting hundreds of rows.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace zentrel {

class TerrainCovariates;
struct KrigingRow;

inline constexpr int kMaxCovariates = 11;

/// The smearing factor is kept at sqrt(v0) = 1, 2, ... kSmearSteps times kSmearStep (v0 the
/// place's kriging variance in units of the total variance; at 0 the factor is 1).
inline constexpr int kSmearSteps = 12;
inline constexpr float kSmearStep = 0.125f;

/// The nearest rows' work for one point. Trivially copyable: kept as it is in the model file.
struct RowWork {
    /// By season: the local coefficients, the global ones where no local fit is made or the
    /// rows around do not spread over a covariate.
    std::array<std::array<float, kMaxCovariates>, 12> coef{};
    /// The local coefficients act within this covariate difference (very large: everywhere).
    std::array<float, kMaxCovariates> span{};
    /// By season: the kernel-weighted mean of the rows' squared residuals after coef, each
    /// standardised by its kriging variance.
    std::array<float, 12> s2{};
    /// By season: ln of the smearing factor (the kernel-weighted mean of exp(residual scaled to
    /// the place's variance)) at sqrt(v0) = (i + 1) kSmearStep.
    std::array<std::array<float, kSmearSteps>, 12> lnSmear{};
    /// 1 where rows within the kernel's reach gave s2 and lnSmear; 0 where none did.
    float valid = 0;
};

/// ln of the smearing factor at the kriging variance v0, from a season's table (cubic through
/// the four nearest steps; sqrt(v0) beyond the last step takes the last).
double lnSmearAt(const std::array<float, kSmearSteps>& table, double v0);

/// The nodes of one model. Node n lies at longitude -180 + (n % columns) step and latitude
/// -90 + (n / columns) step; longitudes wrap.
class RowGrid {
public:
    /// 3 degrees: about two thirds of the narrowest kernel (500 km); finer nodes cost the
    /// derivation of a model more than they change the estimates (see docs/performance.md).
    static constexpr double kStep = 3.0;

    RowGrid() = default;

    /// The nodes a model needs: the corners of every cell with land (sampled from the terrain)
    /// or a row in it (without terrain: and of the cells around those). Sorted.
    static std::vector<int32_t> nodesNeeded(const std::vector<KrigingRow>& rows, const TerrainCovariates& terrain,
                                            double step = kStep);
    static void nodePosition(int32_t node, double step, float& lon, float& lat);

    /// Computes `work` at every node of `nodes` (on `threads` threads) and keeps them.
    void build(double step, std::vector<int32_t> nodes, const std::function<void(float, float, RowWork&)>& work,
               int threads);
    /// Takes nodes read from a file; false (and the grid left empty) when they do not fit the step.
    bool assign(double step, std::vector<int32_t> nodes, std::vector<RowWork> work);

    /// The work at (lon, lat) interpolated from the four nodes around it; false when one of them
    /// was not computed (the place is then worked out directly).
    bool at(float lon, float lat, RowWork& out) const;

    double step() const { return step_; }
    const std::vector<int32_t>& nodes() const { return nodes_; }
    const std::vector<RowWork>& work() const { return work_; }

private:
    bool shape(double step);
    double step_ = 0;
    int columns_ = 0, latitudes_ = 0;
    std::vector<int32_t> slot_;  // by node: index into work_, or -1
    std::vector<int32_t> nodes_;
    std::vector<RowWork> work_;
};

}  // namespace zentrel
