// The grid of a kriging model's row work: which nodes a model needs, their computation on
// several threads, and the bilinear interpolation to a place.
#include "kriging/row_grid.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>

#include "kriging/kriging.h"
#include "kriging/terrain_covariates.h"

namespace zentrel {

namespace {
size_t ix(int i) { return static_cast<size_t>(i); }
}  // namespace

double lnSmearAt(const std::array<float, kSmearSteps>& table, double v0) {
    const double x = std::min(std::sqrt(std::max(v0, 0.0)) / kSmearStep, static_cast<double>(kSmearSteps));
    const auto value = [&](int i) { return i == 0 ? 0.0 : static_cast<double>(table[ix(i - 1)]); };
    // The cubic through steps first .. first + 3 (step 0 is sqrt(v0) = 0, where the factor is 1).
    const int first = std::clamp(static_cast<int>(std::floor(x)) - 1, 0, kSmearSteps - 3);
    double sum = 0;
    for (int i = first; i < first + 4; ++i) {
        double term = value(i);
        for (int k = first; k < first + 4; ++k)
            if (k != i) term *= (x - k) / (i - k);
        sum += term;
    }
    return sum;
}

bool RowGrid::shape(double step) {
    if (!(step > 0) || step > 90) return false;
    const double columns = 360.0 / step, latitudes = 180.0 / step;
    if (columns != std::round(columns) || latitudes != std::round(latitudes)) return false;
    step_ = step;
    columns_ = static_cast<int>(columns);
    latitudes_ = static_cast<int>(latitudes) + 1;
    return true;
}

void RowGrid::nodePosition(int32_t node, double step, float& lon, float& lat) {
    const int columns = static_cast<int>(std::lround(360.0 / step));
    lon = static_cast<float>(-180.0 + (node % columns) * step);
    lat = static_cast<float>(-90.0 + (node / columns) * step);
}

std::vector<int32_t> RowGrid::nodesNeeded(const std::vector<KrigingRow>& rows, const TerrainCovariates& terrain, double step) {
    RowGrid g;
    if (!g.shape(step)) return {};
    const int columns = g.columns_, cellRows = g.latitudes_ - 1;
    std::vector<char> cell(ix(columns * cellRows), 0);
    const auto cellOf = [&](double lon, double lat) {
        int i = static_cast<int>(std::floor((lon + 180.0) / step)) % columns;
        if (i < 0) i += columns;
        const int j = std::clamp(static_cast<int>(std::floor((lat + 90.0) / step)), 0, cellRows - 1);
        return j * columns + i;
    };
    for (const KrigingRow& row : rows) cell[ix(cellOf(row.lon, row.lat))] = 1;
    if (terrain.known()) {
        constexpr int kSamples = 4;  // a side: the cell's edges and two lines between them
        for (int j = 0; j < cellRows; ++j)
            for (int i = 0; i < columns; ++i) {
                char& c = cell[ix(j * columns + i)];
                for (int a = 0; a < kSamples && !c; ++a)
                    for (int b = 0; b < kSamples && !c; ++b) {
                        const TerrainAround t = terrain.at(static_cast<float>(-180.0 + (i + a / (kSamples - 1.0)) * step),
                                                           static_cast<float>(-90.0 + (j + b / (kSamples - 1.0)) * step));
                        if (t.landAlt > 0 || t.seaNear < 0.999f) c = 1;
                    }
            }
    }
    // Without terrain, the cells around the rows' as well.
    std::vector<char> grown = cell;
    for (int j = 0; j < cellRows; ++j)
        for (int i = 0; i < columns; ++i) {
            if (!cell[ix(j * columns + i)] || terrain.known()) continue;
            for (int dj = -1; dj <= 1; ++dj)
                for (int di = -1; di <= 1; ++di) {
                    const int jj = j + dj;
                    if (jj < 0 || jj >= cellRows) continue;
                    grown[ix(jj * columns + (i + di + columns) % columns)] = 1;
                }
        }
    std::vector<char> node(ix(columns * g.latitudes_), 0);
    for (int j = 0; j < cellRows; ++j)
        for (int i = 0; i < columns; ++i) {
            if (!grown[ix(j * columns + i)]) continue;
            for (int dj = 0; dj <= 1; ++dj)
                for (int di = 0; di <= 1; ++di) node[ix((j + dj) * columns + (i + di) % columns)] = 1;
        }
    std::vector<int32_t> out;
    for (size_t n = 0; n < node.size(); ++n)
        if (node[n]) out.push_back(static_cast<int32_t>(n));
    return out;
}

namespace {
// The layout's parts of a RowWork, in order: the coefficients by season and the spans, then s2
// and the smearing table (weighted by the nodes that have rows), then `valid`.
void pack(const RowLayout& l, const RowWork& w, float* out) {
    const size_t p = static_cast<size_t>(l.covariates);
    if (l.coefficients) {
        for (size_t m = 0; m < 12; ++m)
            for (size_t a = 0; a < p; ++a) *out++ = w.coef[m][a];
        for (size_t a = 0; a < p; ++a) *out++ = w.span[a];
    }
    for (size_t m = 0; m < 12; ++m) *out++ = w.s2[m];
    if (l.smearing)
        for (size_t m = 0; m < 12; ++m)
            for (size_t k = 0; k < kSmearSteps; ++k) *out++ = w.lnSmear[m][k];
    *out = w.valid;
}

void unpack(const RowLayout& l, const float* in, RowWork& w) {
    const size_t p = static_cast<size_t>(l.covariates);
    if (l.coefficients) {
        for (size_t m = 0; m < 12; ++m)
            for (size_t a = 0; a < p; ++a) w.coef[m][a] = *in++;
        for (size_t a = 0; a < p; ++a) w.span[a] = *in++;
    }
    for (size_t m = 0; m < 12; ++m) w.s2[m] = *in++;
    if (l.smearing)
        for (size_t m = 0; m < 12; ++m)
            for (size_t k = 0; k < kSmearSteps; ++k) w.lnSmear[m][k] = *in++;
    w.valid = *in;
}
}  // namespace

bool RowGrid::assign(double step, const RowLayout& layout, std::vector<int32_t> nodes, std::vector<float> packed) {
    *this = RowGrid();
    if (layout.covariates < 1 || layout.covariates > kMaxCovariates || packed.size() != nodes.size() * layout.floats() ||
        !shape(step))
        return false;
    layout_ = layout;
    slot_.assign(ix(columns_ * latitudes_), -1);
    for (size_t k = 0; k < nodes.size(); ++k) {
        if (nodes[k] < 0 || static_cast<size_t>(nodes[k]) >= slot_.size() || slot_[ix(nodes[k])] >= 0) {
            *this = RowGrid();
            return false;
        }
        slot_[ix(nodes[k])] = static_cast<int32_t>(k * layout.floats());
    }
    nodes_ = std::move(nodes);
    packed_ = std::move(packed);
    return true;
}

void RowGrid::build(double step, const RowLayout& layout, std::vector<int32_t> nodes,
                    const std::function<void(float, float, RowWork&)>& work, int threads) {
    const size_t floats = layout.floats();
    std::vector<float> done(nodes.size() * floats);
    std::atomic<size_t> next{0};
    const auto run = [&] {
        RowWork w;
        for (size_t k; (k = next.fetch_add(16)) < nodes.size();)
            for (size_t e = std::min(k + 16, nodes.size()); k < e; ++k) {
                float lon = 0, lat = 0;
                nodePosition(nodes[k], step, lon, lat);
                work(lon, lat, w);
                pack(layout, w, done.data() + k * floats);
            }
    };
    std::vector<std::thread> pool;
    for (int t = 1; t < threads; ++t) pool.emplace_back(run);
    run();
    for (std::thread& t : pool) t.join();
    assign(step, layout, std::move(nodes), std::move(done));
}

void RowGrid::defer(double step, const RowLayout& layout, std::vector<int32_t> nodes,
                    std::function<void(float, float, RowWork&)> work) {
    const size_t count = nodes.size();
    if (!assign(step, layout, std::move(nodes), std::vector<float>(count * layout.floats()))) return;
    deferred_ = std::move(work);
    once_ = std::make_unique<std::once_flag[]>(count);
}

bool RowGrid::at(float lon, float lat, RowWork& out) const {
    if (nodes_.empty()) return false;
    double x = std::fmod((lon + 180.0) / step_, static_cast<double>(columns_));
    if (x < 0) x += columns_;
    const int i = std::min(static_cast<int>(x), columns_ - 1), i1 = (i + 1) % columns_;
    const double t = x - i;
    const double y = std::clamp((lat + 90.0) / step_, 0.0, static_cast<double>(latitudes_ - 1));
    const int j = std::min(static_cast<int>(y), latitudes_ - 2);
    const double u = y - j;
    const std::array<int32_t, 4> s = {slot_[ix(j * columns_ + i)], slot_[ix(j * columns_ + i1)],
                                      slot_[ix((j + 1) * columns_ + i)], slot_[ix((j + 1) * columns_ + i1)]};
    if (std::min({s[0], s[1], s[2], s[3]}) < 0) return false;
    const std::array<float, 4> w = {static_cast<float>((1 - t) * (1 - u)), static_cast<float>(t * (1 - u)),
                                    static_cast<float>((1 - t) * u), static_cast<float>(t * u)};
    // Coefficients and spans from all four nodes; the residuals' figures from the nodes that have
    // them, their weights scaled to 1.
    const size_t floats = layout_.floats(), residuals = layout_.coefficients ? ix(13 * layout_.covariates) : 0;
    std::array<const float*, 4> node{};
    std::array<float, 4> v{};
    float validSum = 0;
    for (size_t c = 0; c < 4; ++c) {
        if (deferred_) {
            const size_t k = ix(s[c]) / floats;
            std::call_once(once_[k], [&] {
                float nodeLon = 0, nodeLat = 0;
                nodePosition(nodes_[k], step_, nodeLon, nodeLat);
                RowWork work;
                deferred_(nodeLon, nodeLat, work);
                pack(layout_, work, packed_.data() + s[c]);
            });
        }
        node[c] = packed_.data() + s[c];
        validSum += v[c] = w[c] * node[c][floats - 1];
    }
    for (size_t c = 0; c < 4; ++c) v[c] = validSum > 0 ? v[c] / validSum : 0.0f;
    std::array<float, 13 * kMaxCovariates + 12 + 12 * kSmearSteps + 1> sum{};
    for (size_t c = 0; c < 4; ++c) {
        for (size_t k = 0; k < residuals; ++k) sum[k] += w[c] * node[c][k];
        for (size_t k = residuals; k + 1 < floats; ++k) sum[k] += v[c] * node[c][k];
    }
    sum[floats - 1] = validSum > 0 ? 1.0f : 0.0f;
    unpack(layout_, sum.data(), out);
    return true;
}

}  // namespace zentrel
