// Round ticks, month starts and label placement of the workbench graphs.
#include "workbench/graph_layout.h"

#include <algorithm>
#include <cmath>

namespace zentrel::gui::workbench {

namespace {

// Ticks at i x step for the whole multiples i within lo..hi; a tolerance of a millionth of a
// step keeps a bound that is itself a multiple.
std::vector<AxisTick> multiples(double lo, double hi, double step, int decimals) {
    std::vector<AxisTick> ticks;
    const auto first = static_cast<long long>(std::ceil(lo / step - 1e-6));
    const auto last = static_cast<long long>(std::floor(hi / step + 1e-6));
    for (long long i = first; i <= last; ++i) {
        const double value = static_cast<double>(i) * step;
        ticks.push_back({value, QString::number(value, 'f', decimals)});
    }
    return ticks;
}

long long countOf(double lo, double hi, double step) {
    return static_cast<long long>(std::floor(hi / step + 1e-6)) - static_cast<long long>(std::ceil(lo / step - 1e-6)) + 1;
}

}  // namespace

std::vector<AxisTick> roundTicks(double lo, double hi, int maxTicks, int minDecimals) {
    if (!(hi > lo) || !std::isfinite(lo) || !std::isfinite(hi)) return {};
    maxTicks = std::max(2, maxTicks);
    // From a power of ten below the span's share per tick upward: the first step that fits.
    int k = static_cast<int>(std::floor(std::log10((hi - lo) / maxTicks))) - 1;
    for (;; ++k) {
        for (double mantissa : {1.0, 2.0, 2.5, 5.0}) {
            const double step = mantissa * std::pow(10.0, k);
            if (countOf(lo, hi, step) > maxTicks) continue;
            const int decimals = std::max({0, minDecimals, -k + (mantissa == 2.5 ? 1 : 0)});
            return multiples(lo, hi, step, decimals);
        }
    }
}

std::vector<AxisTick> dayTicks(double lo, double hi, int maxTicks) {
    if (!(hi > lo)) return {};
    for (double step : {10.0, 30.0, 60.0, 90.0, 180.0})
        if (countOf(lo, hi, step) <= std::max(2, maxTicks)) return multiples(lo, hi, step, 0);
    return roundTicks(lo, hi, maxTicks);
}

const std::array<int, 12>& monthStartDays() {
    static const std::array<int, 12> starts = {1, 32, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335};
    return starts;
}

std::vector<QRectF> placeLabels(const std::vector<QPointF>& markers, const std::vector<QSizeF>& sizes,
                                const std::vector<size_t>& priority, const QRectF& bounds, double radius) {
    std::vector<QRectF> placed(markers.size());
    std::vector<QRectF> dots;
    for (const QPointF& m : markers) dots.emplace_back(m.x() - radius, m.y() - radius, 2 * radius, 2 * radius);
    const double gap = radius + 1;
    for (size_t i : priority) {
        const QPointF c = markers[i];
        const double w = sizes[i].width(), h = sizes[i].height();
        const QRectF candidates[] = {
            {c.x() + gap, c.y() - h + 2, w, h},      {c.x() + gap, c.y() - 2, w, h},      {c.x() - gap - w, c.y() - h + 2, w, h},
            {c.x() - gap - w, c.y() - 2, w, h},      {c.x() - w / 2, c.y() - gap - h, w, h}, {c.x() - w / 2, c.y() + gap, w, h},
            {c.x() + gap, c.y() - h / 2, w, h},      {c.x() - gap - w, c.y() - h / 2, w, h}};
        const auto freeOf = [&](const QRectF& r, bool ofDots) {
            if (!bounds.contains(r)) return false;
            for (const QRectF& other : placed)
                if (!other.isNull() && other.intersects(r)) return false;
            if (ofDots)
                for (size_t j = 0; j < dots.size(); ++j)
                    if (j != i && dots[j].intersects(r)) return false;
            return true;
        };
        for (bool ofDots : {true, false}) {
            for (const QRectF& r : candidates)
                if (freeOf(r, ofDots)) {
                    placed[i] = r;
                    break;
                }
            if (!placed[i].isNull()) break;
        }
    }
    return placed;
}

}  // namespace zentrel::gui::workbench
