// Numbers and units on screen: no negative zero, wind drawn in the km/h its legend names, the
// sunshine fraction on a scale of its own.
#include <QTest>

#include "shell/screen_number.h"
#include "single/result_graph.h"

using namespace zentrel;
using namespace zentrel::gui;
using namespace zentrel::gui::single;

namespace {
EstimateResult flat(float best, float stdErr) {
    EstimateResult r{};
    for (size_t m = 1; m <= 13; ++m) {
        r.Best[m] = best;
        r.StdErr[m] = stdErr;
    }
    return r;
}
}  // namespace

class ScreenUnitsTest : public QObject {
    Q_OBJECT
private slots:
    void negativeZeroIsShownAsZero() {
        QCOMPARE(screenNumber(-0.001f, "###0.00"), QStringLiteral("0.00"));
        QCOMPARE(screenNumber(-0.004f, "0.00"), QStringLiteral("0.00"));
        QCOMPARE(screenNumber(-0.02f, "##0.00"), QStringLiteral("-0.02"));  // a real negative keeps its sign
        QCOMPARE(screenNumber(-10.0f, "###0.00"), QStringLiteral("-10.00"));
        QCOMPARE(screenNumber(0.0f, "###0.00"), QStringLiteral("0.00"));
        QCOMPARE(withoutNegativeZero(QStringLiteral("-0")), QStringLiteral("0"));
        QCOMPARE(withoutNegativeZero(QStringLiteral("-0.0")), QStringLiteral("0.0"));
    }

    void windIsDrawnInKilometresPerHour() {
        const GraphCurve wind = screenCurve(Wind, flat(2.5f, 0.5f), 10, true);
        QCOMPARE(wind.result.Best[1], 9.0f);
        QCOMPARE(wind.result.StdErr[7], 1.8f);
        QVERIFY(!wind.rightAxis);
        // Other variables are drawn as estimated.
        QCOMPARE(screenCurve(Vap, flat(12.0f, 1.0f), 1, true).result.Best[1], 12.0f);
    }

    void sunshineGetsItsOwnScaleBesideOtherCurves() {
        ResultGraph graph;
        graph.setCurves({screenCurve(Sun, flat(0.55f, 0.05f), 6, true), screenCurve(Vap, flat(14.0f, 1.0f), 1, true)});
        QVERIFY(graph.rightAxis());
        QCOMPARE(graph.rightAxis()->minimum, 0.0f);
        QCOMPARE(graph.rightAxis()->maximum, 1.0f);
        QCOMPARE(graph.axis().maximum, 20.0f);  // vapour alone sets the left scale
        QVERIFY(graph.curves().front().rightAxis);

        // Alone, the fraction uses the ordinary scale.
        graph.setCurves({screenCurve(Sun, flat(0.55f, 0.05f), 6, false)});
        QVERIFY(!graph.rightAxis());
        QCOMPARE(graph.axis().maximum, 1.0f);
    }
};

QTEST_MAIN(ScreenUnitsTest)
#include "screen_units_test.moc"
