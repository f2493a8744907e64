// Layout of the workbench graphs: axis ticks at round values, month starts, and labels of
// markers placed so that no two of them collide.
#pragma once

#include <array>
#include <cstddef>
#include <vector>

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>

namespace zentrel::gui::workbench {

/// One tick of a graph axis: its value in axis units and its label (empty: a grid line only).
struct AxisTick {
    double value = 0;
    QString text;
};

/// Ticks at the multiples within lo..hi of the smallest step of 1, 2, 2.5 or 5 x 10^k that
/// gives at most `maxTicks` of them (2 at least). Labels carry the decimals the step needs,
/// never fewer than `minDecimals`. Empty when hi <= lo.
std::vector<AxisTick> roundTicks(double lo, double hi, int maxTicks, int minDecimals = 0);

/// Ticks of a number of days within lo..hi: multiples of 10, 30, 60, 90 or 180 days, the
/// smallest of these giving at most `maxTicks`; round steps of any size beyond that.
std::vector<AxisTick> dayTicks(double lo, double hi, int maxTicks);

/// Day of the year (1..365) on which each month starts: 1, 32, 60, ...
const std::array<int, 12>& monthStartDays();

/// Rectangles for the labels of markers of `radius` pixels at `markers`, label i of `sizes[i]`:
/// each label goes beside its marker (right above first, then right below, left above, left
/// below, above, below, right, left), wholly inside `bounds`, over no label placed before it
/// and, where any place allows, over no other marker. Labels are placed in the order of
/// `priority` (marker indices); one that finds no place is left out (a null rectangle).
std::vector<QRectF> placeLabels(const std::vector<QPointF>& markers, const std::vector<QSizeF>& sizes,
                                const std::vector<size_t>& priority, const QRectF& bounds, double radius);

}  // namespace zentrel::gui::workbench
