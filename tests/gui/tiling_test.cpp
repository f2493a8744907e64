// Tile and Cascade arrangements, without widgets: within the area whenever the minimum sizes
// allow, never below a minimum, never overlapping.

#include <QtTest>

#include "shell/tiling.h"

using namespace zentrel::gui;

namespace {

bool overlapFree(const QList<QRect>& rects) {
    for (qsizetype i = 0; i < rects.size(); ++i)
        for (qsizetype k = i + 1; k < rects.size(); ++k)
            if (rects[i].intersects(rects[k])) return false;
    return true;
}

QRect covered(const QList<QRect>& rects) {
    QRect all;
    for (const QRect& r : rects) all |= r;
    return all;
}

}  // namespace

class TilingTest : public QObject {
    Q_OBJECT
private slots:
    // Four windows whose minimum widths add up to more than 1366 px: side by side they would run
    // past the right edge, so they go into two rows, each window keeping its minimum.
    void sideBySideWrapsIntoRowsRatherThanPastTheEdge() {
        const QList<QSize> minima{{760, 300}, {560, 300}, {700, 260}, {300, 200}};
        const QSize area(1366, 640);
        const QList<QRect> rects = tileRects(minima, area, false);
        QVERIFY(overlapFree(rects));
        QVERIFY2(QRect(QPoint(0, 0), area).contains(covered(rects)), "inside the area");
        for (qsizetype i = 0; i < rects.size(); ++i)
            QVERIFY(rects[i].width() >= minima[i].width() && rects[i].height() >= minima[i].height());
        QCOMPARE(rects[0].top(), rects[1].top());
        QVERIFY(rects[2].top() > rects[0].top());
    }

    // One above the other when they fit: each as wide as the area, the heights shared.
    void stackedWindowsShareTheHeightWithinTheirMinima() {
        const QList<QSize> minima{{400, 100}, {400, 300}, {400, 100}};
        const QList<QRect> rects = tileRects(minima, QSize(1000, 700), true);
        QVERIFY(overlapFree(rects));
        QCOMPARE(rects[1].height(), 300);
        QCOMPARE(rects[0].height() + rects[1].height() + rects[2].height(), 700);
        for (const QRect& r : rects) QCOMPARE(r.width(), 1000);
    }

    // Minima beyond any arrangement: the windows keep them and the area scrolls; no overlap.
    void windowsTooLargeForTheAreaKeepTheirMinima() {
        const QList<QSize> minima{{900, 600}, {900, 600}};
        const QList<QRect> rects = tileRects(minima, QSize(800, 500), false);
        QVERIFY(overlapFree(rects));
        for (const QRect& r : rects) QVERIFY(r.width() >= 900 && r.height() >= 600);
    }

    // Cascade: every window below and right of the one before, so each title bar shows.
    void cascadeLeavesEveryTitleBarInView() {
        const QList<QSize> minima{{700, 500}, {300, 200}, {300, 200}};
        const QList<QRect> rects = cascadeRects(minima, QSize(1366, 640), QSize(26, 26));
        for (qsizetype i = 1; i < rects.size(); ++i) QVERIFY(rects[i].top() > rects[i - 1].top());
        for (qsizetype i = 0; i < rects.size(); ++i) QVERIFY(rects[i].height() >= minima[i].height());
    }
};

QTEST_MAIN(TilingTest)
#include "tiling_test.moc"
