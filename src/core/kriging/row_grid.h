// What a kriging model's nearest leave-one-out rows give a place (local coefficients, their span,
// the residuals' spread and the smearing factor), kept at the nodes of a fixed latitude-longitude
// grid and interpolated bilinearly to the place. The rows' kernel is 500 to 1500 km wide and
// their number fixed, so these change little between nodes a few hundred kilometres apart, and an
// estimate reads four nodes instead of fitting hundreds of rows.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace zentrel {

class TerrainCovariates;
struct KrigingRow;

inline constexpr int kMaxCovariates = 11;

/// The smearing factor is kept at sqrt(v0) = 1, 2, ... kSmearSteps times kSmearStep (v0 the
/// place's kriging variance in units of the total variance; at 0 the factor is 1).
inline constexpr int kSmearSteps = 12;
inline constexpr float kSmearStep = 0.125f;

/// The nearest rows' work for one point (a model's nodes keep the parts of it its RowLayout names).
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

/// Which parts of RowWork a model's nodes carry: the coefficients and their spans only where
/// local fits are made (elsewhere they are the global ones everywhere), the smearing table only on
/// logarithmic scales. A node is kept as `floats()` numbers: about half of a whole RowWork.
struct RowLayout {
    int covariates = kMaxCovariates;
    bool coefficients = true;
    bool smearing = true;
    size_t floats() const {
        const size_t p = static_cast<size_t>(covariates);
        return (coefficients ? 12 * p + p : 0) + 12 + (smearing ? 12 * kSmearSteps : 0) + 1;
    }
    bool operator==(const RowLayout&) const = default;
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

    /// Computes `work` at every node of `nodes` (on `threads` threads) and keeps the parts of
    /// `layout`.
    void build(double step, const RowLayout& layout, std::vector<int32_t> nodes,
               const std::function<void(float, float, RowWork&)>& work, int threads);
    /// Keeps `work` to compute each node of `nodes` when a place first needs it, once, whichever
    /// thread asks: a model derived in memory for a few places (the held-out folds of a
    /// validation, another neighbour selection) computes only the nodes around them. A node is
    /// the same whenever it is computed.
    void defer(double step, const RowLayout& layout, std::vector<int32_t> nodes,
               std::function<void(float, float, RowWork&)> work);
    /// Takes nodes read from a file (`packed`: layout.floats() numbers a node); false (and the
    /// grid left empty) when they do not fit the step or the layout.
    bool assign(double step, const RowLayout& layout, std::vector<int32_t> nodes, std::vector<float> packed);

    /// The work at (lon, lat) interpolated from the four nodes around it, written into the parts
    /// of `out` the layout carries (the others are left as they are); false when one of the
    /// nodes was not computed (the place is then worked out directly).
    bool at(float lon, float lat, RowWork& out) const;

    double step() const { return step_; }
    const RowLayout& layout() const { return layout_; }
    const std::vector<int32_t>& nodes() const { return nodes_; }
    const std::vector<float>& packed() const { return packed_; }

private:
    bool shape(double step);
    double step_ = 0;
    int columns_ = 0, latitudes_ = 0;
    RowLayout layout_;
    std::vector<int32_t> slot_;  // by node: index into the nodes' packed numbers, or -1
    std::vector<int32_t> nodes_;
    // Written by at() for deferred nodes, each once (under its once_flag) before any reads it.
    mutable std::vector<float> packed_;
    std::function<void(float, float, RowWork&)> deferred_;
    std::unique_ptr<std::once_flag[]> once_;  // by node, when deferred
};

}  // namespace zentrel
