// Tile and Cascade arrangements.
#include "shell/tiling.h"

#include <algorithm>

namespace zentrel::gui {

namespace {

/// Lengths of n windows along one side of `total` pixels: equal shares, but never below a
/// window's minimum; the windows that need more take it from the others' shares as long as
/// those stay above their own minimum. The sum exceeds `total` only when the minima do.
QList<int> shareLengths(const QList<int>& minima, int total) {
    const auto n = minima.size();
    QList<int> lengths(n, 0);
    QList<bool> fixed(n, false);
    int left = total;
    qsizetype free = n;
    for (bool changed = true; changed && free > 0;) {
        changed = false;
        for (qsizetype i = 0; i < n; ++i)
            if (!fixed[i] && minima[i] > left / free) {
                fixed[i] = true;
                lengths[i] = minima[i];
                left -= minima[i];
                --free;
                changed = true;
                if (free == 0) break;
            }
    }
    int done = 0;
    for (qsizetype i = 0, k = 0; i < n; ++i)
        if (!fixed[i]) {
            lengths[i] = std::max(minima[i], left * static_cast<int>(k + 1) / static_cast<int>(free) - done);
            done += lengths[i];
            ++k;
        }
    return lengths;
}

int sum(const QList<int>& values) {
    int s = 0;
    for (int v : values) s += v;
    return s;
}

}  // namespace

QList<QRect> tileRects(const QList<QSize>& minima, const QSize& area, bool stacked) {
    const auto n = minima.size();
    if (n == 0) return {};
    // Along: the side the windows of one band share; across: the side the bands share.
    const auto along = [stacked](const QSize& s) { return stacked ? s.height() : s.width(); };
    const auto across = [stacked](const QSize& s) { return stacked ? s.width() : s.height(); };
    const int alongTotal = along(area), acrossTotal = across(area);

    // Fewest bands that hold every window within its minimum (windows in their order, split
    // into bands of nearly equal counts); failing that, the arrangement that overflows least.
    QList<QList<qsizetype>> best;
    long long bestOverflow = -1;
    for (qsizetype bands = 1; bands <= n; ++bands) {
        QList<QList<qsizetype>> split(bands);
        for (qsizetype i = 0; i < n; ++i) split[i * bands / n].append(i);
        long long overflow = 0;
        QList<int> acrossMinima;
        for (const auto& band : split) {
            int alongSum = 0, acrossMin = 0;
            for (qsizetype i : band) {
                alongSum += along(minima[i]);
                acrossMin = std::max(acrossMin, across(minima[i]));
            }
            overflow += std::max(0, alongSum - alongTotal);
            acrossMinima.append(acrossMin);
        }
        overflow += std::max(0, sum(acrossMinima) - acrossTotal);
        if (bestOverflow < 0 || overflow < bestOverflow) {
            bestOverflow = overflow;
            best = split;
        }
        if (overflow == 0) break;
    }

    QList<int> acrossMinima;
    for (const auto& band : best) {
        int acrossMin = 0;
        for (qsizetype i : band) acrossMin = std::max(acrossMin, across(minima[i]));
        acrossMinima.append(acrossMin);
    }
    const QList<int> bandLengths = shareLengths(acrossMinima, acrossTotal);
    QList<QRect> rects(n);
    int acrossAt = 0;
    for (qsizetype b = 0; b < best.size(); ++b) {
        QList<int> alongMinima;
        for (qsizetype i : best[b]) alongMinima.append(along(minima[i]));
        const QList<int> lengths = shareLengths(alongMinima, alongTotal);
        int alongAt = 0;
        for (qsizetype k = 0; k < best[b].size(); ++k) {
            const qsizetype i = best[b][k];
            const int acrossLength = std::max(bandLengths[b], across(minima[i]));
            rects[i] = stacked ? QRect(acrossAt, alongAt, acrossLength, lengths[k])
                               : QRect(alongAt, acrossAt, lengths[k], acrossLength);
            alongAt += lengths[k];
        }
        acrossAt += bandLengths[b];
    }
    return rects;
}

QList<QRect> cascadeRects(const QList<QSize>& minima, const QSize& area, const QSize& step) {
    const auto n = static_cast<int>(minima.size());
    QList<QRect> rects;
    if (n == 0) return rects;
    // Each window as large as the area leaves after the offsets of the windows in front of it.
    const QSize size(std::max(area.width() - (n - 1) * step.width(), area.width() * 2 / 3),
                     std::max(area.height() - (n - 1) * step.height(), area.height() * 2 / 3));
    for (int i = 0; i < n; ++i) {
        // When the offsets would run past the area, the cascade starts again at the top left.
        QPoint at(i * step.width(), i * step.height());
        QSize s = size.expandedTo(minima[i]);
        if (at.x() + s.width() > area.width() && i > 0) at.setX(std::max(0, area.width() - s.width()));
        if (at.y() + s.height() > area.height() && i > 0) at.setY(std::max(0, area.height() - s.height()));
        rects.append(QRect(at, s));
    }
    return rects;
}

}  // namespace zentrel::gui
