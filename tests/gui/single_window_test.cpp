// The single-location window: table cells of fixed estimates, numbers, units and axes of the
// graph, and a run on a small data folder through the main window.

#include "gui_test_support.h"
#include "shell/screen_number.h"
#include "shell/settings_controls.h"
#include "formats/estimate_reach.h"
#include "single/frm_guess.h"
#include "single/graph_axis.h"
#include "single/result_graph.h"
#include "single/result_tables.h"
#include "single/single_estimate.h"

using namespace zentrel;
using namespace zentrel::gui;
using namespace zentrel::gui::single;

namespace {

/// A result with `active` active neighbours of `found`, Best 10 + m, StdErr 1 and every
/// gradient quantity filled.
VariableResult fixedResult(int variable, int found, int active, bool hit) {
    VariableResult r;
    r.variable = static_cast<int16_t>(variable);
    r.neighbours.NeighbourCount = static_cast<int16_t>(found);
    for (int i = 1; i <= found; ++i) {
        r.neighbours[i] = zentrel::test::makeStation(12.0f + 0.1f * i, 41.5f, 100, 5, "N" + std::to_string(i));
        r.neighbours[i].Active = i <= active ? 1 : 0;
        r.neighbours[i].Dir = 90;
        r.neighbours[i].DirCode = " E";
    }
    r.neighbours.ActiveCount = static_cast<int16_t>(active);
    for (size_t m = 1; m <= 13; ++m) {
        EstimateResult& e = r.result;
        e.Best[m] = 10.0f + static_cast<float>(m);
        e.StdErr[m] = 1;
        e.Bias[m] = -0.25f;
        e.VertGrad[m] = -0.0065f;
        e.VertExplVar[m] = 0.8f;
        e.LongGrad[m] = 0.5f;
        e.LatGrad[m] = -0.75f;
        e.AbsGrad[m] = 0.9f;
        e.DirecGrad[m] = 146.3f;
        e.DirecGradName[m] = "SE";
    }
    r.warnings.WarnHit = hit;
    return r;
}

QStringList cells(const GridText& grid, std::initializer_list<std::pair<int, int>> at) {
    QStringList out;
    for (auto [row, column] : at) out << grid.cell(row, column);
    return out;
}

EstimateResult flat(float best, float stdErr) {
    EstimateResult r{};
    for (size_t m = 1; m <= 13; ++m) r.Best[m] = best, r.StdErr[m] = stdErr;
    return r;
}

}  // namespace

class SingleWindowTest : public QObject {
    Q_OBJECT
private slots:
    void init() { messages.reset(); }
    void estimatesTableLeavesErrorsAndGradientsEmptyBelowSixActive() {
        VariableResults results{};
        results[Temp] = fixedResult(Temp, 8, 5, false);
        const GridText grid = estimatesGrid(0, results);
        QCOMPARE(grid.rowCount(), 1 + 3 * 15);
        // Block titles and units in rows 1, 16 and 31; months from row 2, the mean in row 14.
        QCOMPARE(cells(grid, {{31, 0}, {1, 6}, {1, 7}, {14, 0}}), QStringList({"T_Min", "[°C/100m]", "[°C/100km]", "Mean"}));
        // 5 active: Best, vertical gradient and explained variance only.
        QCOMPARE(cells(grid, {{2, 1}, {14, 1}, {2, 6}, {2, 12}}), QStringList({"11.00", "23.00", "-0.65", "0.80"}));
        for (int c : {2, 3, 4, 5, 7, 8, 9, 10, 11}) QVERIFY2(grid.cell(2, c).isEmpty(), qPrintable(QString::number(c)));

        // Units of the other groups.
        results[Wind] = fixedResult(Wind, 8, 5, false);
        const GridText third = estimatesGrid(2, results);
        QCOMPARE(third.cell(16, 1), QStringLiteral("[km/h]"));
        // Sun has no neighbour here (a variable the database lacks): no column of zeros.
        QCOMPARE(third.cell(2, 0), QStringLiteral("January"));
        QVERIFY2(third.cell(2, 1).isEmpty(), qPrintable(third.cell(2, 1)));
        QVERIFY(!third.cell(17, 1).isEmpty());  // Wind, with its neighbours, has its estimate
    }

    void estimatesTableOnAHitShowsGradientsButNoErrors() {
        VariableResults results{};
        results[Prec] = fixedResult(Prec, 12, 10, true);
        results[Prec].result.HasStdErr = true;  // estimated, but a hit shows no errors
        GridText grid = estimatesGrid(1, results);
        for (int c : {2, 3, 4, 5}) QVERIFY(grid.cell(2, c).isEmpty());
        QCOMPARE(cells(grid, {{2, 7}, {2, 8}, {2, 9}, {2, 10}, {2, 11}}), QStringList({"0.50", "-0.75", "146.30", "SE", "0.90"}));
        // Without the hit the errors appear once they were estimated, the bounds at 1.645 StdErr.
        results[Prec].warnings.WarnHit = false;
        results[Prec].result.HasStdErr = false;
        grid = estimatesGrid(1, results);
        for (int c : {2, 3, 4, 5}) QVERIFY2(grid.cell(2, c).isEmpty(), "an error not estimated is no value");
        results[Prec].result.HasStdErr = true;
        grid = estimatesGrid(1, results);
        QCOMPARE(cells(grid, {{2, 2}, {2, 3}, {2, 4}, {2, 5}}), QStringList({"9.36", "12.65", "1.00", "-0.25"}));
    }

    void stationObservationAndWarningTables() {
        VariableResults results{};
        results[Tmin] = fixedResult(Tmin, 3, 3, false);
        results[Tmin].neighbours[2].Dir = kUnknown;
        results[Tmin].neighbours[1].Weight = 0.5f;
        results[Tmin].warnings.WarnLonely = true;
        results[Tmax].warnings.WarnFew = true;
        const GridText stations = stationGrid(0, results);
        const int block = 1 + 2 * 23;  // Tmin is the third block
        // The second station has no direction; the fourth row lies past the neighbours found.
        QCOMPARE(cells(stations, {{block, 0}, {block + 1, 1}, {block + 1, 3}, {block + 1, 6}, {block + 2, 5}, {block + 4, 1}, {block + 21, 0}}),
                 QStringList({"T_Min", "12.10", "100", " E", "", "", "Mean"}));
        QCOMPARE(cells(observationGrid(0, results), {{block + 1, 1}, {block + 1, 14}}), QStringList({"5.00", "0.5000"}));
        QCOMPARE(cells(warningGrid(0, results), {{1, 0}, {1, 3}, {3, 0}, {3, 6}, {2, 3}}), QStringList({"T_min", "X", "T_max", "X", ""}));
    }

    void axisLadders() {
        GraphAxis a = graphAxis(-3.2f, 27.9f);
        QCOMPARE(std::pair(a.minimum, a.maximum), std::pair(-4.0f, 40.0f));
        QVERIFY(std::fabs(a.step - 4.4f) < 1e-5f);
        a = graphAxis(0.31f, 0.78f);
        QCOMPARE(std::pair(a.minimum, a.maximum), std::pair(0.0f, 1.0f));
        QCOMPARE(QList<float>({roundAxisMaximum(20), roundAxisMaximum(10000)}), QList<float>({40, 20000}));
        QCOMPARE(QList<float>({roundAxisMinimum(0), roundAxisMinimum(25000), roundAxisMinimum(-30000)}), QList<float>({-1, 20000, -30000}));
    }

    // An amount's scale never shows negatives: the ladder's rung below zero becomes 0 for
    // precipitation and the other amounts, while temperatures keep it (the bounds are Best -/+
    // 2 StdErr: Temp's -1 and 21 give -2 and 40).
    void amountScalesStartAtZero() {
        struct Row { int variable; float best, stdErr; GraphAxis expected; };
        const Row rows[] = {{Prec, 10, 5.5f, {40, 0, 4}},  // raw -1 would give -2
                            {PET, 0, 0, {1, 0, 0.1f}},     // raw 0 would give -1
                            {Vap, 8, 5, {20, 0, 2}},
                            {Temp, 10, 5.5f, {40, -2, 4.2f}}};
        for (const Row& row : rows) {
            ResultGraph graph;
            graph.setCurves({screenCurve(row.variable, flat(row.best, row.stdErr), 9, false)});
            QCOMPARE(std::pair(graph.axis().minimum, graph.axis().maximum), std::pair(row.expected.minimum, row.expected.maximum));
            QVERIFY2(std::fabs(graph.axis().step - row.expected.step) < 1e-5f, qPrintable(QString::number(row.variable)));
        }
        // The precipitation group's two curves together, as the window draws them.
        ResultGraph graph;
        graph.setCurves({screenCurve(Prec, flat(30, 20), 9, true), screenCurve(PET, flat(60, 10), 12, true)});
        QCOMPARE(graph.axis().minimum, 0.0f);
    }

    // A narrow legend wraps between words: never inside a unit such as "[mm/month]", nor
    // between the unit and the word it belongs to.
    void legendWrapsBetweenWordsNeverInsideAUnit() {
        QTemporaryDir empty;
        MainWindow main(empty.path());
        frmGuess window(main);
        QVERIFY(gui::test::shown(window, window.minimumSize()));
        for (int group = 0; group < kGroupCount; ++group) {
            window.setGroup(group);
            QCoreApplication::processEvents();
            for (int i = 1; i <= 3; ++i) {
                const auto* label = window.findChild<QLabel*>(QStringLiteral("Label%1").arg(i));
                const QString text = label->text();
                // The label's own wrapping at its width now and at any narrower one.
                for (int width = label->contentsRect().width(); width >= 40; width -= 7) {
                    QTextLayout layout(text, label->font());
                    QTextOption option;
                    option.setWrapMode(QTextOption::WordWrap);
                    layout.setTextOption(option);
                    layout.beginLayout();
                    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
                        line.setLineWidth(width);
                        const QString before = text.left(line.textStart());
                        QVERIFY2(before.count(QLatin1Char('[')) == before.count(QLatin1Char(']')) &&
                                     !text.mid(line.textStart()).startsWith(QLatin1Char('[')),
                                 qPrintable(QStringLiteral("\"%1\" broken after \"%2\" at %3 px").arg(window.legendText(i), before).arg(width)));
                    }
                    layout.endLayout();
                }
            }
        }
        window.setGroup(1);
        QCOMPARE(window.legendText(2), QStringLiteral("Potential Evapotranspiration (PET) [mm/month]"));
    }

    void negativeZeroIsShownAsZero() {
        // A real negative keeps its sign.
        QCOMPARE(QStringList({screenNumber(-0.001f, "###0.00"), screenNumber(-0.004f, "0.00"), screenNumber(-0.02f, "##0.00"),
                              screenNumber(-10.0f, "###0.00"), withoutNegativeZero("-0"), withoutNegativeZero("-0.0")}),
                 QStringList({"0.00", "0.00", "-0.02", "-10.00", "0", "0.0"}));
    }

    // Wind is drawn in the km/h its legend names; the sunshine fraction gets a scale of its own
    // beside other curves, the ordinary one alone.
    void windInKilometresPerHourAndSunshineOnItsOwnScale() {
        const GraphCurve wind = screenCurve(Wind, flat(2.5f, 0.5f), 10, true);
        QCOMPARE(std::tuple(wind.result.Best[1], wind.result.StdErr[7], wind.rightAxis), std::tuple(9.0f, 1.8f, false));
        QCOMPARE(screenCurve(Vap, flat(12.0f, 1.0f), 1, true).result.Best[1], 12.0f);
        ResultGraph graph;
        graph.setCurves({screenCurve(Sun, flat(0.55f, 0.05f), 6, true), screenCurve(Vap, flat(14.0f, 1.0f), 1, true)});
        QVERIFY(graph.rightAxis());
        QCOMPARE(std::pair(graph.rightAxis()->minimum, graph.rightAxis()->maximum), std::pair(0.0f, 1.0f));
        QCOMPARE(graph.axis().maximum, 20.0f);  // vapour alone sets the left scale
        QVERIFY(graph.curves().front().rightAxis);
        graph.setCurves({screenCurve(Sun, flat(0.55f, 0.05f), 6, false)});
        QVERIFY(!graph.rightAxis());
        QCOMPARE(graph.axis().maximum, 1.0f);
    }

    void viewDataRunsOnceOnAThreadPoolAndFillsTheViews() {
        zentrel::test::TempFolder folder("gui-single");
        MainWindow main(nineStations(folder));
        main.show();
        Location here{"Here", 12.48f, 41.9f, 20};
        main.WriteStatusLocation(here);
        SingleEstimate& estimate = SingleEstimate::of(main);
        QSignalSpy busy(&main.state(), &AppState::busyChanged);
        QSignalSpy done(&estimate, &SingleEstimate::finished);

        main.viewData();
        auto* window = main.findChild<frmGuess*>(QStringLiteral("frmGuess"));
        QVERIFY(window && main.state().busy() && !window->legend()->isVisible());
        QVERIFY(done.wait(10000));
        QCOMPARE(done.count(), 1);
        QVERIFY(!main.state().busy() && !main.state().singleStale());
        QCOMPARE(busy.count(), 2);
        QVERIFY(!main.progressBar()->isVisible() && window->legend()->isVisible());
        QCOMPARE(estimate.results()[Sun].neighbours[21].Active, 9);
        QVERIFY(estimate.location().Name == "Here");

        window->setView(0, 2);
        QCOMPARE(window->table(0, 2)->item(1, 0)->text(), QStringLiteral("January"));
        QVERIFY(!window->table(0, 2)->item(1, 1)->text().isEmpty());
        window->setGroup(1);
        QCOMPARE(std::pair(window->legendText(1), window->legendText(3)), std::pair(QStringLiteral("Precipitation [mm/month]"), QString()));
        QVERIFY(window->graph(1)->axis().maximum >= 20);

        // The window names the method that made its numbers.
        const auto methodShown = [&] { return window->methodLabel()->text(); };
        QCOMPARE(methodShown(), QStringLiteral("Method: ") + methodCaption(effectiveMethod(main.state().settings())));

        // A new location marks it stale; the next activation (the main window coming back
        // from a dialog with this window active) runs again, here with another method.
        const Method other = effectiveMethod(main.state().settings()) == Method::Robust ? Method::Adaptive : Method::Robust;
        main.state().settings().Method = other;
        main.WriteStatusLocation(here);
        main.state().markStale();
        QEvent activate(QEvent::WindowActivate);
        QApplication::sendEvent(&main, &activate);
        QVERIFY(main.state().busy());
        QVERIFY(done.wait(10000));
        QCOMPARE(done.count(), 2);
        QCOMPARE(methodShown(), QStringLiteral("Method: ") + methodCaption(other));
        window->ShowData();  // not stale: a redraw only
        QTest::qWait(50);
        QCOMPARE(done.count(), 2);
    }

    // A database without Wind normals: the eight-variable run estimates the other seven, leaves
    // Wind empty instead of zeros from no stations, and says so in the warning strip of its
    // group, not in a box over an empty graph.
    void aVariableTheDatabaseLacksIsSkippedAndSaidInTheStrip() {
        zentrel::test::TempFolder folder("gui-single-nowind");
        const QString data = nineStations(folder);
        folder.write(wholeFileName(Wind), "");
        MainWindow main(data);
        main.show();
        Location here{"Here", 12.48f, 41.9f, 20};
        main.WriteStatusLocation(here);
        SingleEstimate& estimate = SingleEstimate::of(main);
        QSignalSpy done(&estimate, &SingleEstimate::finished);
        main.viewData();
        QVERIFY(done.wait(10000));
        QCOMPARE(messages.count(), 0);
        QCOMPARE(estimate.results()[Wind].neighbours.NeighbourCount, int16_t(0));
        QVERIFY(estimate.skipped(Wind) && !estimate.skipped(Sun));
        QCOMPARE(estimate.results()[Temp].neighbours[21].Active, 9);
        auto* window = main.findChild<frmGuess*>(QStringLiteral("frmGuess"));
        QVERIFY(window->warningText(2).contains(QStringLiteral("Wind: not in this database")));
        QVERIFY(!window->warningText(0).contains(QStringLiteral("Wind")));
        window->setGroup(2);
        QVERIFY(window->warningStrip()->isVisible());
    }

    // 2400 m among stations of 0..320 m: the strip above every view says how much higher and
    // how far, the table marks the months outside all neighbours' values and the graph rings them.
    void warningsOfAnExtrapolationShowAboveEveryView() {
        zentrel::test::TempFolder folder("gui-single-high");
        MainWindow main(nineStations(folder));
        main.show();
        Location high{"High", 12.48f, 41.9f, 2400};
        main.WriteStatusLocation(high);
        SingleEstimate& estimate = SingleEstimate::of(main);
        QSignalSpy done(&estimate, &SingleEstimate::finished);
        main.viewData();
        QVERIFY(done.wait(10000));
        auto* window = main.findChild<frmGuess*>(QStringLiteral("frmGuess"));
        const QString strip = window->warningText(0);
        QVERIFY2(strip.contains(QStringLiteral("Temp: 2080 m higher than its highest neighbour, nearest neighbour ")), qPrintable(strip));
        for (int view = 1; view <= 5; ++view) {
            window->setView(0, view);
            QVERIFY2(window->warningStrip()->isVisible() && window->warningStrip()->text() == strip, "strip on every view");
        }
        const EstimateReach reach = estimateReach(estimate.results()[Temp]);
        QVERIFY(reach.anyExtrapolated());
        window->setView(0, 2);
        int marked = 0;
        for (int m = 1; m <= 12; ++m) {
            const QTableWidgetItem* best = window->table(0, 2)->item(m, 1);  // T_Mean block: rows 1..12
            if (reach.extrapolated[static_cast<size_t>(m)]) {
                QVERIFY(best->text().endsWith(QStringLiteral(" !")) && !best->toolTip().isEmpty());
                ++marked;
            } else {
                QVERIFY(!best->text().endsWith(QStringLiteral(" !")));
            }
        }
        QVERIFY(marked > 0);
        window->setView(0, 1);
        const auto& curves = window->graph(0)->curves();
        QVERIFY(!curves.empty() && curves.front().extrapolated == reach.extrapolated);
    }

    void aFailedRunIsReportedAndClearsTheFlags() {
        QTemporaryDir empty;  // no station files at all
        MainWindow main(empty.path());
        SingleEstimate& estimate = SingleEstimate::of(main);
        QSignalSpy done(&estimate, &SingleEstimate::finished);
        QVERIFY(estimate.start());
        QVERIFY(done.wait(10000));
        QVERIFY(!main.state().busy());
        QVERIFY(messages.saidOnce().endsWith(QStringLiteral(" | NoIcon")) && !messages.last().text.isEmpty());
    }
private:
    zentrel::gui::test::MessageRecorder messages;
    /// Nine stations on a ring around 12.48 E 41.9 N with monthly values 5 + m + k/10.
    static QString nineStations(const zentrel::test::TempFolder& folder) {
        std::vector<Station> stations;
        for (int k = 0; k < 9; ++k) {
            Station s = zentrel::test::makeStation(12.48f + 0.3f * std::cos(k * 0.7f), 41.9f + 0.3f * std::sin(k * 0.7f),
                                                   40.0f * k, 0, "S" + std::to_string(k));
            for (size_t m = 1; m <= 12; ++m) s.Data[m] = 5.0f + m + 0.1f * k;
            stations.push_back(s);
        }
        zentrel::test::writeDataFolder(folder, 12.48f, 41.9f, stations);
        return QString::fromStdString(folder.str());
    }
};

QTEST_MAIN(SingleWindowTest)
#include "single_window_test.moc"
