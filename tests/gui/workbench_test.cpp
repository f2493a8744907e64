// The workbench: check boxes and re-estimation, confidence levels and warning labels, the
// month, zoom and resolution buttons, the map extent and terrain classes, the output window.

#include "base/picture.h"
#include "gui_test_support.h"
#include "shell/screen_number.h"
#include "single/frm_out.h"
#include "single/output_boxes.h"
#include "workbench/frm_work.h"
#include "workbench/workbench_views.h"

using namespace zentrel;
using namespace zentrel::gui;
using namespace zentrel::gui::workbench;
using zentrel::gui::test::MessageRecorder;

class WorkbenchTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        // Twelve stations around the start location; the last one stands where the third does
        // (with values of its own: an exact copy would be counted once by the kriging method).
        std::vector<Station> stations;
        for (int k = 0; k < 11; ++k) {
            // Positions on the hundredths the status line rounds to, so a station can be hit.
            Station s = zentrel::test::makeStation(std::round(1301 + 50 * std::cos(k * 0.57f)) / 100,
                                                   std::round(4199 + 40 * std::sin(k * 0.57f)) / 100,
                                                   50.0f + 90.0f * k, 0, "Station " + std::to_string(k));
            for (size_t m = 1; m <= 12; ++m) s.Data[m] = 14 + 9 * std::sin((int(m) - 4) * 0.5236f) - 0.006f * s.Alt + 0.3f * (k % 3);
            stations.push_back(s);
        }
        Station twin = stations[2];
        twin.Name = "Twin";
        for (size_t m = 1; m <= 12; ++m) twin.Data[m] += 0.1f;
        stations.push_back(twin);
        zentrel::test::writeDataFolder(folder_, 13.01f, 41.99f, stations);
        // The station table names the source of one Temp station; the others are not listed.
        folder_.write("stations.csv", "variable,id,lat,lon,alt,name,source,period,years_min,years_max,note\nTemp,1," +
                                          roundTripFloat(stations[0].Lat) + "," + roundTripFloat(stations[0].Lon) +
                                          ",50,Station 0,WMO,1991-2020,30,30,\n");
        // Land of 300 m around the location, sea elsewhere.
        std::vector<std::tuple<float, float, uint8_t>> land;
        for (float lon = 11; lon < 15; lon += 0.05f)
            for (float lat = 40; lat < 44; lat += 0.05f) land.emplace_back(lon, lat, 17);
        gui::test::writeTerrain(QString::fromStdString(folder_.str()), land);
        main_ = std::make_unique<MainWindow>(QString::fromStdString(folder_.str()));
        QVERIFY(gui::test::shown(*main_, QSize(1280, 860)));
        main_->action("mn_WorkBench")->trigger();
        w_ = main_->findChild<frmwork*>(QStringLiteral("frmwork"));
        QVERIFY(w_);
    }
    void init() { messages.reset(); }

    void neighboursTablesAndDoubledStation() {
        const NeighbourSet& ns = w_->engine().ns;
        QCOMPARE(ns.NeighbourCount, int16_t(12));
        int doubled = 0;
        for (int i = 1; i <= 20; ++i) {
            QCOMPARE(w_->check(i)->isHidden(), i > 12);
            if (i <= 12 && !w_->check(i)->isChecked()) doubled = i;
        }
        QVERIFY(doubled > 0);
        QCOMPARE(QString::fromStdString(ns[doubled].Name), QStringLiteral("Twin"));
        QVERIFY(!w_->framWarn->isHidden() && w_->CmdDoubled->isEnabled());
        w_->CmdDoubled->click();
        QVERIFY(messages.said().startsWith(QStringLiteral("Double Location Warning | Some of the selected stations are too "
                                                          "close to each other.\nDouble locations are skipped and inactivated! |")));
        // The column after the fixed ones: the listed station's source and period, "-" for the
        // others, nothing for the mean station.
        const int source = w_->grdStation->columnCount() - 1;
        QCOMPARE(w_->grdStation->horizontalHeaderItem(source)->text(), QStringLiteral("Source"));
        for (int i = 1; i <= 12; ++i)
            QCOMPARE(w_->grdStation->item(i - 1, source)->text(),
                     ns[i].Name == "Station 0" ? QStringLiteral("WMO 1991-2020") : QStringLiteral("-"));
        QVERIFY(w_->grdStation->item(20, source)->text().isEmpty());
        // Rows 13..20 empty, Mean in place; active rows in the selection colours, the doubled one not.
        for (QTableWidget* t : {w_->grdStation, w_->grdObservation}) {
            QCOMPARE(t->rowCount(), 21);
            QCOMPARE(t->verticalHeaderItem(20)->text(), QStringLiteral("Mean"));
            QVERIFY(!t->item(20, 0)->text().isEmpty());
            for (int r = 12; r < 20; ++r) QVERIFY(t->item(r, 0)->text().isEmpty());
            QCOMPARE(t->item(0, 0)->background(), t->palette().brush(QPalette::Highlight));
            QCOMPARE(t->item(doubled - 1, 0)->background(), QBrush());
        }
    }

    // Unticking estimates again with the same neighbours; below six active the levels give way
    // to the "few" label, and the check boxes and the panel below them keep their place.
    void untickingReestimatesWithoutSelectingOrMovingThePanel() {
        // Where the check boxes and the panel below them are, after the layout settled.
        const auto where = [this] {
            QCoreApplication::processEvents();
            return std::pair{w_->check(7)->mapTo(w_, QPoint()), w_->famAct->parentWidget()->geometry()};
        };
        const auto place = where();
        const int before = w_->estimateCount();
        const float best = w_->engine().res.Best[1];
        w_->check(1)->click();
        QCOMPARE(w_->estimateCount(), before + 1);
        QCOMPARE(w_->engine().ns.NeighbourCount, int16_t(12));  // no new selection
        QCOMPARE(w_->engine().ns[1].Active, int16_t(0));
        QVERIFY(w_->engine().res.Best[1] != best);
        // 10 active now; untick down to 5.
        for (int i = 2; w_->engine().ns.ActiveCount >= 6; ++i)
            if (w_->check(i)->isChecked()) w_->check(i)->click();
        QCOMPARE(w_->engine().ns.ActiveCount, int16_t(5));
        QVERIFY(!w_->labfew->isHidden() && w_->Labhit->isHidden());
        QVERIFY(w_->optlev95->isHidden() && w_->optlev90->isHidden() && w_->optlev99->isHidden());
        QCOMPARE(where(), place);
        w_->check(1)->click();
        QVERIFY(w_->labfew->isHidden() && !w_->optlev95->isHidden());
        for (int i = 1; i <= 12; ++i)
            if (!w_->check(i)->isChecked() && QString::fromStdString(w_->engine().ns[i].Name) != QLatin1String("Twin"))
                w_->check(i)->click();
        QCOMPARE(where().second, place.second);
    }

    void levelSwitchWidensWithoutEstimating() {
        w_->setView(5);
        w_->setResolutionTab(0);
        w_->optlev95->click();
        const ResultSeries at95 = w_->picResults->series();
        const int before = w_->estimateCount();
        w_->optlev99->click();
        const ResultSeries at99 = w_->picResults->series();
        QCOMPARE(w_->estimateCount(), before);
        QVERIFY(at95.high[0] > at95.best[0]);
        QVERIFY(std::fabs((at99.high[0] - at99.best[0]) / (at95.high[0] - at95.best[0]) - 2.576f / 1.96f) < 1e-4f);
        QCOMPARE(w_->grdResults->item(0, 2)->text(), QString::fromStdString(formatPicture(at99.high[0], "###0.00")));
        w_->setResolutionTab(2);
        QCOMPARE(int(w_->picResults->series().best.size()), 365);
        QVERIFY(!w_->picResults->series().area);
        w_->setView(0);
    }

    // Every numeric axis of the graphs is ticked at round values (steps of 1, 2, 2.5 or 5 x 10^k,
    // days by 30, 60 or 90), the months at their first days, and both axes carry titles with units.
    void graphTicksAreRoundAndAxesTitled() {
        const auto round = [](const std::vector<AxisTick>& ticks, bool days) {
            if (ticks.size() < 2) return QStringLiteral("fewer than two ticks");
            const double step = ticks[1].value - ticks[0].value;
            const double mantissa = step / std::pow(10.0, std::floor(std::log10(step) + 1e-9));
            const bool roundStep = days ? std::fmod(step, 30.0) == 0
                                        : std::min({std::fabs(mantissa - 1), std::fabs(mantissa - 2), std::fabs(mantissa - 2.5),
                                                    std::fabs(mantissa - 5)}) < 1e-6;
            if (!roundStep) return QStringLiteral("step %1").arg(step);
            for (const AxisTick& t : ticks)
                if (std::fabs(t.value / step - std::round(t.value / step)) > 1e-6 || std::fabs(t.text.toDouble() - t.value) > 1e-9)
                    return QStringLiteral("tick %1 labelled %2").arg(t.value).arg(t.text);
            return QString();
        };
        w_->setView(2);
        QCoreApplication::processEvents();
        const GraphFrame altitude = w_->picAltitude->frame();
        QCOMPARE(round(altitude.xTicks, false) + round(altitude.yTicks, false), QString());
        // Both axes titled, the temperature's with its unit.
        const auto titled = [](const GraphFrame& f) {
            return !f.xTitle.isEmpty() && !f.yTitle.isEmpty() && (f.xTitle + f.yTitle).contains(QStringLiteral("[\u00B0C]"));
        };
        QVERIFY(titled(altitude) && altitude.xTitle.contains(QLatin1String("[m]")));
        w_->setView(5);
        for (int tab = 0; tab < 4; ++tab) {
            w_->setResolutionTab(tab);
            QCoreApplication::processEvents();
            const GraphFrame f = w_->picResults->frame();
            QCOMPARE(round(f.yTicks, tab == 3), QString());
            QVERIFY2(titled(f), qPrintable(f.xTitle + " / " + f.yTitle));
            if (tab == 3) QCOMPARE(round(f.xTicks, false), QString());
            else QCOMPARE(std::pair(f.xTicks.size(), f.xBetween.front().text), std::pair(size_t(13), QStringLiteral("Jan")));
        }
        // The daily graph's grid lines fall on the first days of the months (day d at x = d).
        w_->setResolutionTab(2);
        const GraphFrame daily = w_->picResults->frame();
        QCOMPARE(QList<double>({daily.xTicks[1].value, daily.xTicks[2].value, daily.xTicks[11].value}),
                 QList<double>({31.5, 59.5, 334.5}));
        w_->setResolutionTab(0);
        w_->setView(0);
    }

    // The numbers of the observation-altitude graph never cover each other, whatever the month
    // (the twin shares its station's place); the station under the pointer always shows its number.
    void altitudeGraphLabelsNeverOverlap() {
        w_->setView(2);
        QCoreApplication::processEvents();
        for (int month = 1; month <= 12; ++month, w_->cmdmonthnext->click()) {
            const std::vector<StationMark> marks = w_->picAltitude->marks();
            const GraphFrame f = w_->picAltitude->frame();
            QCOMPARE(int(marks.size()), 12);
            int shown = 0;
            for (size_t a = 0; a < marks.size(); ++a) {
                if (marks[a].label.isNull()) continue;
                ++shown;
                QVERIFY(f.area.contains(marks[a].label));
                for (size_t b = a + 1; b < marks.size(); ++b)
                    QVERIFY2(marks[b].label.isNull() || !marks[a].label.intersects(marks[b].label),
                             qPrintable(QStringLiteral("month %1: %2 and %3").arg(month).arg(marks[a].station).arg(marks[b].station)));
            }
            QVERIFY(shown >= 6);
        }
        QCOMPARE(w_->month(), int16_t(1));
        // Each station in turn under the pointer: the station there shows its number (the twin
        // and its station lie on one spot, so either may be the one).
        for (const StationMark& mark : w_->picAltitude->marks()) {
            QTest::mouseMove(w_->picAltitude, mark.centre.toPoint());
            bool labelled = false;
            for (const StationMark& now : w_->picAltitude->marks())
                if (now.station == w_->picAltitude->hovered())
                    labelled = !now.label.isNull() && QLineF(now.centre, mark.centre).length() < 2;
            QVERIFY2(labelled, qPrintable(QString::number(mark.station)));
        }
        w_->setView(0);
    }

    void monthZoomAndResolutionButtons() {
        QCOMPARE(w_->month(), int16_t(1));
        w_->cmdmonthback->click();
        QCOMPARE(w_->month(), int16_t(12));
        w_->cmdmonthnext->click();
        QCOMPARE(w_->month(), int16_t(1));
        const int beeps = w_->beepCount();
        w_->CmdZoomOut->click();
        QCOMPARE(std::pair(w_->zoom(), w_->beepCount()), std::pair(int16_t(1), beeps + 1));
        for (int k = 0; k < 4; ++k) w_->CmdFine->click();
        QCOMPARE(w_->resolution(), int16_t(5));
        QCOMPARE(w_->picMapStation->terrain().size(), QSize(120, 60));
        const MapFrame before = w_->picMapStation->frame();
        w_->cmdZoomIn->click();
        const MapFrame after = w_->picMapStation->frame();
        QVERIFY(std::fabs((after.east - after.west) / (before.east - before.west) - 2) < 1e-3f);
    }

    void mapExtentAndTerrainClasses() {
        QCOMPARE(QList<float>({longitudeOffset(-175, 175), longitudeOffset(175, -175), longitudeOffset(0, -180)}),
                 QList<float>({10, -10, -180}));
        int beeps = 0;
        int16_t zoom = 1;
        MapFrame f = mapExtent({{2, 1}, {-2, -1}}, 0, zoom, beeps);
        QCOMPARE(std::tuple(beeps, f.west, f.north), std::tuple(0, -2.0f, 1.0f));
        QVERIFY(std::fabs((f.north - f.south) - 0.6f * (f.east - f.west)) < 1e-5f);
        QVERIFY(std::fabs(f.right - f.left - 1.2f * (f.east - f.west)) < 1e-4f);
        // Near the pole the north edge is cut; a huge zoom is halved back inside the world.
        zoom = 64;
        f = mapExtent({{10, 5}, {-10, -5}}, 80, zoom, beeps);
        QVERIFY(f.north <= 10.0f && zoom < 64 && beeps > 0);
        QCOMPARE(QList<int>({halveZoom(1), halveZoom(3), halveZoom(5)}), QList<int>({0, 2, 2}));
        QCOMPARE(altitudeClass(0, true), kAltitudeClassCount - 1);  // sea
        QList<int> classes;
        for (int altitude : {-1, 99, 100, 1000, 5000}) classes << altitudeClass(altitude, false);
        QCOMPARE(classes, QList<int>({22, 21, 20, 11, 0}));
        QCOMPARE(pointerDmsText(-12.5f, 41.99f), QStringLiteral("12\u00B0 30' 0'' W 41\u00B0 59' 24'' N "));
    }

    void rightClickNoKeepsTheCurrentLocation() {
        messages.answers.push_back(QMessageBox::No);
        const Location current = main_->state().currentLocation();
        w_->mapRightClick(0.5f, 0.2f);
        QVERIFY(messages.said().startsWith(QStringLiteral("Change Location | Do you want set this Location as current Location? |")));
        QVERIFY(std::fabs(w_->engine().working.Lon - (current.Lon + 0.5f)) < 1e-4f);
        QCOMPARE(w_->engine().working.Alt, 300.0f);
        QCOMPARE(main_->state().currentLocation().Lon, current.Lon);
        QVERIFY2(w_->workingLabel->text().contains(QLatin1String("not the current location")),
                 "after No the workbench must say that it computes another point");
        QVERIFY(w_->workingLabel->text().contains(screenNumber(current.Lon + 0.5f, "##0.00")));
        // The printed page names the clicked point, with its own name and rounded coordinates.
        single::frmOut out(*main_, *w_);
        out.quantities()->best()->setChecked(true);
        const QString header = out.printresults().first().header;
        QVERIFY2(header.contains(QLatin1String("ST-Lon13.51-Lat42.19-Alt-300 (Lon 13.51, Lat 42.19, Alt 300 m)")),
                 qPrintable(header));
        w_->close();
        QCOMPARE(std::pair(w_->engine().working.Lon, w_->engine().working.Lat), std::pair(current.Lon, current.Lat));
        QVERIFY(main_->state().workbenchStale());  // the next opening runs for the current location
    }

    // A variable the database lacks: said so, and nothing of the variable before stays shown
    // or can be saved as zeros.
    void variableWithoutNormalsEmptiesTheViews() {
        folder_.write(wholeFileName(Wind), "");
        w_->Combo1->setCurrentIndex(Wind);
        emit w_->Combo1->activated(Wind);
        QCOMPARE(messages.last().text, QStringLiteral("This station database holds no Wind normals."));
        QVERIFY(!w_->CmdStrange->isEnabled() && !w_->CmdDoubled->isEnabled() && w_->check(1)->isHidden());
        for (QTableWidget* table : w_->findChildren<QTableWidget*>())
            for (int r = 0; r < table->rowCount(); ++r)
                for (int c = 0; c < table->columnCount(); ++c)
                    QVERIFY2(!table->item(r, c) || table->item(r, c)->text().isEmpty(), qPrintable(table->objectName()));
        single::frmOut out(*main_, *w_);
        out.quantities()->best()->setChecked(true);
        messages.clear();
        int printed = 0;
        const single::PrintHandler previous =
            single::setPrintHandler([&](QWidget*, QPrinter&, const single::PrintDocument&) { ++printed; });
        out.CmdPrint_Click();
        single::setPrintHandler(previous);
        QCOMPARE(printed, 0);
        QCOMPARE(messages.last().text, QStringLiteral("This station database holds no Wind normals."));
        folder_.write(wholeFileName(Wind), zentrel::test::readFile(folder_.str() + "/" + wholeFileName(Tmax)));
        w_->Combo1->setCurrentIndex(Temp);
        emit w_->Combo1->activated(Temp);
        QVERIFY(!w_->check(1)->isHidden());
    }

    // Only the described method copies a station within the minimum distance (and says so).
    void hitShowsLabhit() {
        main_->state().setMethod(Method::Described);
        const Station& s = w_->engine().ns[1];
        Location at{"On a station", s.Lon, s.Lat, s.Alt};
        main_->state().WriteStatusLocation(at);
        main_->state().markStale();
        w_->ShowData();
        QVERIFY(w_->engine().warn.WarnHit && !w_->Labhit->isHidden() && w_->labfew->isHidden() && w_->optlev95->isHidden());
    }

    // "Save WorkBench" opens the output window on the workbench's estimate (its rules are
    // checked with the single-location output window).
    void saveWorkbenchMenuSavesTheWorkbenchReport() {
        main_->action("mn_SaveWorkBench")->trigger();
        auto* out = main_->findChild<single::frmOut*>(QStringLiteral("frmOut"));
        QVERIFY(out);
        out->dekadalBox()->setChecked(true);
        const std::string file = folder_.str() + "/wb.zte";
        out->SaveResults(QString::fromStdString(file));
        const std::string text = zentrel::test::readFile(file);
        QVERIFY(text.rfind("Zentrel", 0) == 0 && text.find("in dekadal resolution:") != std::string::npos);
    }

private:
    MessageRecorder messages;
    zentrel::test::TempFolder folder_;
    std::unique_ptr<MainWindow> main_;
    frmwork* w_ = nullptr;
};

QTEST_MAIN(WorkbenchTest)
#include "workbench_test.moc"
