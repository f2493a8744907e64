// The main window: status panels, menus and tool bar, output formats, refusals, dialogs, the
// data folder it names, and the child windows of its client area (sizes and tiling).

#include "gui_test_support.h"
#include "locations/coordinate_dialog.h"
#include "locations/location_dialog.h"
#include "shell/help_window.h"
#include "shell/settings_dialog.h"
#include "version.h"

using namespace zentrel;
using namespace zentrel::gui;
using zentrel::gui::test::MessageRecorder;

namespace {
/// An output window as the other parts will plug it in: records Enablecheck and open modes.
class FakeOutputWindow : public QWidget, public OutputFormatListener {
public:
    void Enablecheck(int32_t outputFormat) override { formats.push_back(outputFormat); }
    std::vector<int32_t> formats;
    std::vector<OpenMode> modes;
};
}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        gui::test::writeTerrain(dir_->path(), {});
        window_ = std::make_unique<MainWindow>(dir_->path());
        messages.reset();
    }
    void cleanup() {
        window_.reset();
        dir_.reset();
    }

    void startsOnTheDefaultLocationAndFormat() {
        MainWindow& w = *window_;
        const QStringList panels{w.statusPanelText(1), w.statusPanelText(2), w.statusPanelText(3), w.statusPanelText(4)};
        QCOMPARE(panels, QStringList({"", "Zentrel Format", " Lon : 13.01 Lat : 41.99 Alt : 17", "East of Rome"}));
        QVERIFY(w.action("mn_OutputZentrel")->isChecked());
        QVERIFY(w.state().singleStale() && w.state().workbenchStale() && !w.state().busy());
        QVERIFY(!w.windowTitle().contains(QStringLiteral("demonstration")));
        QFile(QDir(dir_->path()).filePath("DEMONSTRATION")).open(QIODevice::WriteOnly);
        MainWindow demo(dir_->path());
        QVERIFY(demo.windowTitle().startsWith(MainWindow::caption()) && demo.windowTitle().contains(QStringLiteral("demonstration data")));
    }

    void writeStatusLocationRoundsAndNamesAnEmptyName() {
        Location location{"", 13.014f, 41.987f, 17.4f};
        window_->WriteStatusLocation(location);
        QCOMPARE(std::tuple(location.Name, location.Lon, location.Lat, location.Alt),
                 std::tuple(std::string("ST-Lon13.01-Lat41.99-Alt-17"), 13.01f, 41.99f, 17.0f));
        QCOMPARE(window_->state().currentLocation().Name, location.Name);
        QCOMPARE(window_->statusPanelText(4), QStringLiteral("ST-Lon13.01-Lat41.99-Alt-17"));
        Location named{"Summit", -3.456f, -0.004f, 812.6f};
        window_->WriteStatusLocation(named);
        QCOMPARE(QStringList({window_->statusPanelText(3), window_->statusPanelText(4)}),
                 QStringList({" Lon : -3.46 Lat : 0 Alt : 813", "Summit"}));
        Location half{"", -3.455f, 1, 0};
        window_->WriteStatusLocation(half);
        QCOMPARE(half.Lon, -3.46f);
    }

    void hintOfTheItemUnderTheMouseGoesToPanelOne() {
        window_->action("mn_SetLocation")->showStatusText(window_->menuBar());
        QCOMPARE(window_->statusPanelText(1), QStringLiteral("Set Location "));
        QCOMPARE(window_->statusPanelText(2), QStringLiteral("Zentrel Format"));  // the other panels stay
        QMouseEvent move(QEvent::MouseMove, QPointF(10, 10), QPointF(10, 10), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(window_->clientArea()->viewport(), &move);
        QCOMPARE(window_->statusPanelText(1), QString());
    }

    void toolbarFormatItemsSelectTheFormatAndButtonsLeaveGaps() {
        QToolButton* button = window_->toolbarButton(13);
        QVERIFY(button && button->menu());
        const QList<QAction*> items = button->menu()->actions();
        QCOMPARE(items.size(), 6);
        items[5]->trigger();
        QCOMPARE(std::pair(window_->state().outputFormat(), window_->statusPanelText(2)), std::pair(7, QStringLiteral("Plantow Format")));
        QVERIFY(window_->action("mn_Plantow")->isChecked());
        QVERIFY(!window_->action("mn_OutputZentrel")->isChecked() && !window_->action("mn_Rastell")->isChecked());
        items[3]->trigger();
        QCOMPARE(std::pair(window_->state().outputFormat(), window_->statusPanelText(2)), std::pair(4, QStringLiteral("LGS Format (output)")));
        for (int number : {1, 2, 4, 5, 6, 7, 8, 10, 11, 15}) QVERIFY(window_->toolbarButton(number));
        for (int gap : {3, 9, 12, 14}) QVERIFY(!window_->toolbarButton(gap));
        QCOMPARE(std::pair(window_->toolbarButton(1)->menu()->actions().size(), window_->toolbarButton(2)->menu()->actions().size()),
                 std::pair(qsizetype(3), qsizetype(2)));
    }

    void formatSwitchCallsEnablecheckOfCreatedWindows() {
        FakeOutputWindow* output = nullptr;
        window_->childWindows().provide(ChildWindow::EstimateOutput,
                                        {[&](MainWindow&) { return output = new FakeOutputWindow; },
                                         [&](QWidget& w, OpenMode mode) { static_cast<FakeOutputWindow&>(w).modes.push_back(mode); },
                                         {}, true});
        window_->action("mn_orvane")->trigger();  // before the window exists: nothing to tell
        window_->action("mn_PrintViewData")->trigger();
        QVERIFY(output);
        QCOMPARE(output->formats, std::vector<int32_t>({2}));  // told the format on creation
        QCOMPARE(output->modes, std::vector<OpenMode>({OpenMode::Print}));
        window_->action("mn_TessomarInput")->trigger();
        QCOMPARE(output->formats, std::vector<int32_t>({2, 3}));
        QCOMPARE(window_->statusPanelText(2), QStringLiteral("LGS Format (input)"));
        window_->action("mn_SaveViewData")->trigger();
        QCOMPARE(output->modes, std::vector<OpenMode>({OpenMode::Print, OpenMode::Save}));
        QCOMPARE(window_->clientArea()->subWindowList().size(), 1);  // created once, kept
    }

    void viewMenuSeparatesViewDataFromWorkBench() {
        const QList<QAction*> items = window_->findChild<QMenu*>(QStringLiteral("mn_View"))->actions();
        QVERIFY(items.size() == 3 && items[1]->isSeparator());
        QCOMPARE(std::pair(items[0], items[2]), std::pair(window_->action("mn_ViewData"), window_->action("mn_WorkBench")));
    }

    void busyRefusesViewDataAndWorkBench() {
        window_->state().setBusy(true);
        for (const char* name : {"mn_ViewData", "mn_WorkBench"}) {
            messages.clear();
            window_->action(name)->trigger();
            QCOMPARE(messages.saidOnce(), kDefaultMessageTitle + QStringLiteral(" | Zentrel Busy | Information"));
        }
    }

    // The dialogs and the help open from their menus ("About" has its own test below); "Exit"
    // asks, "No" leaves everything as it was, "Yes" closes the window and its dialogs.
    void dialogsOpenFromTheirMenusAndExitAsksBeforeClosingThem() {
        window_->show();
        const std::pair<const char*, QWidget*> opened[] = {{"mnChangeSettings", window_->settingsDialog()},
                                                           {"mn_SetLocation", window_->locationDialog()},
                                                           {"mn_Coordinate", window_->coordinateDialog()},
                                                           {"mn_Index", window_->helpWindow()}};
        for (auto [menu, dialog] : opened) {
            window_->action(menu)->trigger();
            QVERIFY2(dialog->isVisible(), menu);
        }
        messages.answers.push_back(QMessageBox::No);
        window_->action("mn_Close")->trigger();
        QCOMPARE(messages.saidOnce(), QStringLiteral("End | Really end Application? | Question"));
        QCOMPARE(messages.last().buttons, QMessageBox::Yes | QMessageBox::No);
        QVERIFY(window_->isVisible() && window_->settingsDialog()->isVisible());
        QCOMPARE(window_->statusPanelText(4), QStringLiteral("East of Rome"));
        messages.answers.push_back(QMessageBox::Yes);
        QVERIFY(window_->exitApplication() && !window_->isVisible());
        for (auto [menu, dialog] : opened) QVERIFY2(!dialog->isVisible(), menu);
    }

    void aboutNamesTheVersionAndDescribesTheDataFolderInUse() {
        QFile about(QDir(dir_->path()).filePath("about.txt"));
        QVERIFY(about.open(QIODevice::WriteOnly));
        about.write("Source: A test source.\nYears Temp: 10..19\n");
        about.close();
        QFile table(QDir(dir_->path()).filePath("stations.csv"));
        QVERIFY(table.open(QIODevice::WriteOnly));
        table.write("variable,id,lat,lon,alt,name,source,period,years_min,years_max,note\nTemp,1,45,10,1,S,DWD,1991-2020,,,\n");
        table.close();
        window_->show();
        window_->action("mn_About")->trigger();
        auto* version = window_->findChild<QDialog*>("frmAbout")->findChild<QLabel*>("version");
        QVERIFY(version->text().startsWith(QStringLiteral("Version ") + QString::fromUtf8(zentrel::programVersion())));
        QVERIFY(version->text().contains(QStringLiteral("Data folder: ") + window_->state().dataFolder()));
        const QString text = window_->findChild<QPlainTextEdit*>("dataInfo")->toPlainText();
        QVERIFY2(text.contains(QStringLiteral("Data folder: ") + dir_->path()), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("Source: A test source.")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("this station database holds no Wind normals")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("DWD        1991-2020                1     0")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("  DWD: ")), qPrintable(text));  // its terms of use
        table.remove();
    }

    // The data folder built beside the programs is the real one: its source, no demonstration label.
    void aboutTheDataOfTheBuiltDefaultFolder() {
        const QDir bin(QCoreApplication::applicationDirPath());
        if (!bin.exists(QStringLiteral("ZentrelData/about.txt"))) QSKIP("bin/ZentrelData not built (scripts/build-data.sh)");
        MainWindow main(bin.filePath(QStringLiteral("ZentrelData")));
        QVERIFY(!main.windowTitle().contains(QStringLiteral("demonstration")));
        main.show();
        main.action("mn_About")->trigger();
        const QString text = main.findChild<QPlainTextEdit*>("dataInfo")->toPlainText();
        QVERIFY2(text.contains(QStringLiteral("Source: WMO Climatological Standard Normals 1991-2020")), qPrintable(text));
        QVERIFY2(!text.contains(QStringLiteral("DEMONSTRATION")), qPrintable(text));
    }

    void tilingLaysChildWindowsOutWithoutOverlap() {
        window_->show();
        for (ChildWindow id : {ChildWindow::SingleLocation, ChildWindow::Workbench})
            window_->childWindows().provide(id, {[](MainWindow&) { return new QWidget; }, {}, {}, true});
        window_->action("mn_ViewData")->trigger();
        window_->action("mn_WorkBench")->trigger();
        const QList<QMdiSubWindow*> subs = window_->clientArea()->subWindowList();
        QCOMPARE(subs.size(), 2);
        const int width = window_->clientArea()->viewport()->width();
        const int height = window_->clientArea()->viewport()->height();
        window_->action("mn_horizontal")->trigger();
        QCOMPARE(subs[0]->geometry(), QRect(0, 0, width, height / 2));
        QCOMPARE(subs[1]->geometry().top(), height / 2);
        QCOMPARE(subs[1]->geometry().width(), width);
        window_->action("mn_Vertical")->trigger();
        QCOMPARE(subs[0]->geometry(), QRect(0, 0, width / 2, height));
        QCOMPARE(subs[1]->geometry().left(), width / 2);
        QVERIFY(!subs[0]->geometry().intersects(subs[1]->geometry()));
    }

    // On a common laptop screen: a window larger than the area is shrunk into it, never below
    // its minimum, and an output form is not stretched over maximised windows.
    void windowsOpenInsideTheAreaAndFormsKeepTheirSize() {
        QVERIFY(gui::test::shown(*window_, QSize(1280, 800)));
        QWidget* batch = window_->childWindows().open(ChildWindow::Batch);  // wants more than the area is high
        auto* batchSub = qobject_cast<QMdiSubWindow*>(batch->parentWidget());
        QVERIFY(batchSub);
        const QRect area = window_->clientArea()->viewport()->rect();
        QVERIFY2(area.contains(batchSub->geometry()), "a window larger than the area must be shrunk into it");
        QVERIFY(!batchSub->minimumSize().isEmpty() && batchSub->minimumSize().width() <= batchSub->width());
        batchSub->showMaximized();
        QWidget* output = window_->childWindows().open(ChildWindow::EstimateOutput, OpenMode::Save);
        auto* outputSub = qobject_cast<QMdiSubWindow*>(output->parentWidget());
        QVERIFY2(!outputSub->isMaximized(), "an output form must not fill the area over maximised windows");
        QVERIFY(outputSub->width() < area.width() && area.contains(outputSub->geometry()));
    }

    // In the main window's opening size (1100 x 720, a laptop's) the batch window shows all its
    // frames without scrolling; opened smaller in a small area, it grows when the main window does.
    void batchWindowFitsTheOpeningSizeAndGrowsWithTheMainWindow() {
        QVERIFY(gui::test::shown(*window_, QSize(1100, 720)));
        QWidget* batch = window_->childWindows().open(ChildWindow::Batch);
        QTest::qWait(20);
        auto* scroll = batch->findChild<QScrollArea*>(QStringLiteral("BatchScroll"));
        QCOMPARE(std::pair(scroll->horizontalScrollBar()->maximum(), scroll->verticalScrollBar()->maximum()), std::pair(0, 0));

        MainWindow small(dir_->path());
        QVERIFY(gui::test::shown(small, QSize(800, 500)));
        QWidget* squeezed = small.childWindows().open(ChildWindow::Batch);
        auto* sub = qobject_cast<QMdiSubWindow*>(squeezed->parentWidget());
        const QSize before = sub->size();
        small.resize(1366, 740);  // maximised on a laptop
        QTest::qWait(50);
        QVERIFY2(sub->width() > before.width() && sub->height() > before.height(), "the window grows back towards its own size");
        auto* squeezedScroll = squeezed->findChild<QScrollArea*>(QStringLiteral("BatchScroll"));
        QCOMPARE(squeezedScroll->verticalScrollBar()->maximum(), 0);
    }

    // Four windows tiled on a 1920 screen lie inside the area (in two rows or columns), none past
    // its right or bottom edge; the Window menu lists them, the active one ticked. (At 1366 their
    // minimum sizes add up to more than the area: the windows keep them and the area scrolls.)
    void tiledWindowsStayInsideTheAreaAndTheWindowMenuListsThem() {
        QVERIFY(gui::test::shown(*window_, QSize(1920, 1050)));
        for (ChildWindow window : {ChildWindow::SingleLocation, ChildWindow::Batch, ChildWindow::RasterMap})
            QVERIFY(window_->childWindows().open(window));
        QVERIFY(window_->childWindows().open(ChildWindow::EstimateOutput, OpenMode::Save));
        QMdiArea* area = window_->clientArea();
        for (const char* action : {"mn_Vertical", "mn_horizontal"}) {
            window_->action(QLatin1String(action))->trigger();
            QTest::qWait(20);
            QRect covered;
            for (QMdiSubWindow* sub : area->subWindowList()) covered |= sub->geometry();
            QVERIFY2(area->viewport()->rect().contains(covered), action);
        }
        auto* menu = window_->findChild<QMenu*>(QStringLiteral("mn_window"));
        QMetaObject::invokeMethod(menu, "aboutToShow");
        QStringList listed;
        QString ticked;
        for (QAction* action : menu->actions())
            if (action->isCheckable()) {
                listed << action->text();
                if (action->isChecked()) ticked = action->text();
            }
        QCOMPARE(listed.size(), 4);
        QCOMPARE(ticked, area->activeSubWindow()->windowTitle());
    }

    // At its opening size on a large and a small screen the batch window cuts no field's value,
    // no label's text, and no two controls of a frame lie on top of each other.
    void batchWindowShowsEveryFieldAndLabelWhole_data() {
        QTest::addColumn<QSize>("screen");
        QTest::newRow("1920x1080") << QSize(1920, 1050);
        QTest::newRow("1366x768") << QSize(1366, 740);
    }
    void batchWindowShowsEveryFieldAndLabelWhole() {
        QFETCH(QSize, screen);
        QVERIFY(gui::test::shown(*window_, screen));
        QWidget* batch = window_->childWindows().open(ChildWindow::Batch);
        QTest::qWait(50);
        const int frame = batch->style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
        for (QLineEdit* edit : batch->findChildren<QLineEdit*>())
            if (edit->isVisible())
                QVERIFY2(edit->width() >= edit->fontMetrics().horizontalAdvance(edit->text()) + 2 * frame + 4,
                         qPrintable(edit->objectName() + QStringLiteral(" cuts its value")));
        for (QWidget* w : batch->findChildren<QWidget*>())
            if (w->isVisible() && (qobject_cast<QLabel*>(w) || qobject_cast<QAbstractButton*>(w)))
                QVERIFY2(w->width() >= w->sizeHint().width(), qPrintable(w->objectName() + w->property("text").toString()));
        for (QGroupBox* group : batch->findChildren<QGroupBox*>()) {
            const QList<QWidget*> controls = group->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
            for (qsizetype i = 0; i < controls.size(); ++i)
                for (qsizetype k = i + 1; k < controls.size(); ++k)
                    if (controls[i]->isVisible() && controls[k]->isVisible())
                        QVERIFY2(!controls[i]->geometry().intersects(controls[k]->geometry()),
                                 qPrintable(group->title() + QStringLiteral(": controls overlap")));
        }
    }

    // Tiling four windows: none overlaps another or goes below its minimum size, and what does
    // not fit in the area is reached by scrolling it.
    void tiledWindowsNeverOverlapAndTheAreaScrolls_data() {
        QTest::addColumn<QString>("action");
        QTest::newRow("side by side") << QStringLiteral("mn_Vertical");
        QTest::newRow("one above the other") << QStringLiteral("mn_horizontal");
    }
    void tiledWindowsNeverOverlapAndTheAreaScrolls() {
        QFETCH(QString, action);
        QVERIFY(gui::test::shown(*window_, QSize(1366, 740)));
        for (ChildWindow window : {ChildWindow::SingleLocation, ChildWindow::Batch, ChildWindow::RasterMap})
            QVERIFY(window_->childWindows().open(window));
        QVERIFY(window_->childWindows().open(ChildWindow::EstimateOutput, OpenMode::Save));
        window_->action(action)->trigger();
        QTest::qWait(50);
        const QList<QMdiSubWindow*> windows = window_->clientArea()->subWindowList();
        QCOMPARE(windows.size(), 4);
        QRect covered;
        for (qsizetype i = 0; i < windows.size(); ++i) {
            const QRect r = windows[i]->geometry();
            covered |= r;
            QVERIFY2(r.width() >= windows[i]->minimumWidth() && r.height() >= windows[i]->minimumHeight(),
                     qPrintable(windows[i]->windowTitle()));
            for (qsizetype k = i + 1; k < windows.size(); ++k)
                QVERIFY2(!r.intersects(windows[k]->geometry()),
                         qPrintable(windows[i]->windowTitle() + QStringLiteral(" overlaps ") + windows[k]->windowTitle()));
        }
        QMdiArea* area = window_->clientArea();
        QVERIFY2((covered.width() > area->viewport()->width()) == (area->horizontalScrollBar()->maximum() > 0),
                 "the area scrolls sideways exactly when needed");
        QVERIFY2((covered.height() > area->viewport()->height()) == (area->verticalScrollBar()->maximum() > 0),
                 "the area scrolls down exactly when needed");
    }

private:
    MessageRecorder messages;  // no stations here: the estimate's complaints are recorded
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<MainWindow> window_;
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
