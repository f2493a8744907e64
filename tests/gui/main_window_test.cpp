// The main window: start-up state, menu tree, status panels, output formats, refusals, placeholders.
#include <QAction>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QCoreApplication>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include "gui_test_support.h"
#include "locations/coordinate_dialog.h"
#include "locations/location_dialog.h"
#include "shell/help_window.h"
#include "shell/main_window.h"
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
        window_ = std::make_unique<MainWindow>(dir_->path());
    }
    void cleanup() {
        window_.reset();
        dir_.reset();
    }

    void startsWithTheDefaults() {
        MainWindow& w = *window_;
        QCOMPARE(w.windowTitle(), QStringLiteral("Zentrel, Mirvo Zentrel Ver.1.0"));
        QCOMPARE(w.statusPanelText(1), QString());
        QCOMPARE(w.statusPanelText(2), QStringLiteral("Zentrel Format"));
        QCOMPARE(w.statusPanelText(3), QStringLiteral(" Lon : 13.01 Lat : 41.99 Alt : 17"));
        QCOMPARE(w.statusPanelText(4), QStringLiteral("East of Rome"));
        QCOMPARE(w.state().outputFormat(), 1);
        QVERIFY(w.action("mn_OutputZentrel")->isChecked());
        QVERIFY(w.state().singleStale());
        QVERIFY(w.state().workbenchStale());
        QVERIFY(!w.state().busy());
        QCOMPARE(w.state().settings().MaxStat, int16_t(20));
    }

    void demonstrationDataIsNamedInTheTitle() {
        QFile marker(QDir(dir_->path()).filePath("DEMONSTRATION"));
        QVERIFY(marker.open(QIODevice::WriteOnly));
        marker.close();
        MainWindow demo(dir_->path());
        QVERIFY(demo.windowTitle().startsWith(MainWindow::caption()));
        QVERIFY(demo.windowTitle().contains(QStringLiteral("demonstration data")));
    }

    void writeStatusLocationRoundsAndNamesAnEmptyName() {
        Location location{"", 13.014f, 41.987f, 17.4f};
        window_->WriteStatusLocation(location);
        QCOMPARE(location.Name, std::string("ST-Lon13.01-Lat41.99-Alt-17"));
        QCOMPARE(location.Lon, 13.01f);
        QCOMPARE(location.Lat, 41.99f);
        QCOMPARE(location.Alt, 17.0f);
        QCOMPARE(window_->state().currentLocation().Name, location.Name);
        QCOMPARE(window_->statusPanelText(3), QStringLiteral(" Lon : 13.01 Lat : 41.99 Alt : 17"));
        QCOMPARE(window_->statusPanelText(4), QStringLiteral("ST-Lon13.01-Lat41.99-Alt-17"));

        Location named{"Summit", -3.456f, -0.004f, 812.6f};
        window_->WriteStatusLocation(named);
        QCOMPARE(window_->statusPanelText(3), QStringLiteral(" Lon : -3.46 Lat : 0 Alt : 813"));
        QCOMPARE(window_->statusPanelText(4), QStringLiteral("Summit"));
    }

    void menuTreeHasItsCaptionsAndHints_data() {
        QTest::addColumn<QString>("menu");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("hint");
        const char* rows[][4] = {
            {"mn_files", "mn_save", "Save", "Save Data"},
            {"mn_save", "mn_SaveViewData", "View Data", ""},
            {"mn_save", "mn_SaveWorkBench", "WorkBench", ""},
            {"mn_save", "mn_saveGridOrFile", "Grid or File", ""},
            {"mn_files", "mn_PrinterSetup", "Printer  Setup", "Setup Printer"},
            {"mn_files", "mn_Print", "Print", "Print Data"},
            {"mn_Print", "mn_PrintViewData", "View Data", ""},
            {"mn_Print", "mn_PrintWorkBench", "WorkBench", ""},
            {"mn_files", "mn_Close", "Exit", "End Zentrel"},
            {"mn_locations", "mn_SetLocation", "Set Location", "Set Location "},
            {"mn_locations", "mn_LocationMap", "Set Location from Bitmap", "Set Location from Bitmap"},
            {"mn_locations", "mn_vectMap", "Set Location from Raster Map", "Set Location from Raster Map"},
            {"mn_locations", "mn_LocationFile", "Set Locations from File", "Set Locations from File"},
            {"mn_locations", "mn_LocationGrid", "Set Locations from Grid", "Set Locations from Grid"},
            {"mn_View", "mn_ViewData", "View Data", "View Data"},
            {"mn_View", "mn_WorkBench", "WorkBench", "WorkBench"},
            {"mn_Output", "mn_OutputZentrel", "Zentrel Format", "Set Zentrel Format"},
            {"mn_Output", "mn_orvane", "Standard Orvane Format", "Set Standard Orvane Format"},
            {"mn_Output", "mn_Tessomar", "LGS", ""},
            {"mn_Tessomar", "mn_TessomarInput", "Input", "Set LGS (input) Format"},
            {"mn_Tessomar", "mn_TessomarOutput", "Output", "Set LGS (output) Format "},
            {"mn_Output", "mn_vesk", "Vesk", "Set Vesk Format"},
            {"mn_Output", "mn_Rastell", "Rastell", ""},
            {"mn_Output", "mn_Plantow", "Plantow", "Set Plantow Format"},
            {"mn_Options", "mnChangeSettings", "Change Settings", "Settings..."},
            {"mn_Options", "mn_Coordinate", "Coordinate Transformation", "Set Coordinate"},
            {"mn_window", "mn_Cascade", "Cascade", "Overlap Windows"},
            {"mn_window", "mn_horizontal", "Tile Horizontal", "Tile Windows Horizontally"},
            {"mn_window", "mn_Vertical", "Tile Vertical", "Tile Windows Vertically"},
            {"mn_help", "mn_TOC", "Help", " Help Context"},
            {"mn_help", "mn_Index", "Index", "Show Help Index"},
            {"mn_help", "mn_About", "About", " Show About Window"},
        };
        for (auto& r : rows) QTest::newRow(r[1]) << r[0] << r[1] << r[2] << r[3];
    }
    void menuTreeHasItsCaptionsAndHints() {
        QFETCH(QString, menu);
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QString, hint);
        auto* parent = window_->findChild<QMenu*>(menu);
        QVERIFY(parent);
        QAction* item = window_->action(name);
        QVERIFY(item);
        QVERIFY(parent->actions().contains(item));
        QCOMPARE(item->text(), caption);
        QCOMPARE(item->statusTip(), hint);
    }

    void menuBarOrderAndSeparators() {
        QStringList titles;
        for (QAction* top : window_->menuBar()->actions()) titles << top->text();
        QCOMPARE(titles, QStringList({"Files", "Locations", "View", "Output Formats", "Options", "Window", "Help"}));
        QStringList files;
        for (QAction* a : window_->findChild<QMenu*>("mn_files")->actions()) files << (a->isSeparator() ? "-" : a->text());
        QCOMPARE(files, QStringList({"Save", "Printer  Setup", "Print", "-", "Exit"}));
    }

    void hintOfTheItemUnderTheMouseGoesToPanelOne() {
        window_->action("mn_SetLocation")->showStatusText(window_->menuBar());
        QCOMPARE(window_->statusPanelText(1), QStringLiteral("Set Location "));
        QCOMPARE(window_->statusPanelText(2), QStringLiteral("Zentrel Format"));  // the other panels stay
        QMouseEvent move(QEvent::MouseMove, QPointF(10, 10), QPointF(10, 10), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(window_->clientArea()->viewport(), &move);
        QCOMPARE(window_->statusPanelText(1), QString());
    }

    void toolbarSixthFormatItemSelectsPlantow() {
        QToolButton* button = window_->toolbarButton(13);
        QVERIFY(button && button->menu());
        QCOMPARE(button->toolTip(), QStringLiteral("Set the Output Format"));
        const QList<QAction*> items = button->menu()->actions();
        QCOMPARE(items.size(), 6);
        QCOMPARE(items[5]->text(), QStringLiteral("Plantow"));
        items[5]->trigger();
        QCOMPARE(window_->state().outputFormat(), 7);
        QCOMPARE(window_->statusPanelText(2), QStringLiteral("Plantow Format"));
        QVERIFY(window_->action("mn_Plantow")->isChecked());
        QVERIFY(!window_->action("mn_OutputZentrel")->isChecked());
        QVERIFY(!window_->action("mn_Rastell")->isChecked());
        items[3]->trigger();
        QCOMPARE(window_->state().outputFormat(), 4);
        QCOMPARE(window_->statusPanelText(2), QStringLiteral("LGS Format (output)"));
    }

    void toolbarButtonsAndGaps() {
        const std::pair<int, const char*> tips[] = {{1, "Save Data"}, {2, "Print Data"}, {4, "Set Location"},
                                                    {5, "Set Location from Bitmap"}, {6, "Set Location from Raster Map"},
                                                    {7, "Set Location from File"}, {8, "Set Location from Grid"},
                                                    {10, "View Data"}, {11, "WorkBench"}, {15, "Show Help"}};
        for (auto [number, tip] : tips) {
            QVERIFY2(window_->toolbarButton(number), tip);
            QCOMPARE(window_->toolbarButton(number)->toolTip(), QString::fromLatin1(tip));
        }
        for (int gap : {3, 9, 12, 14}) QVERIFY(!window_->toolbarButton(gap));
        QCOMPARE(window_->toolbarButton(1)->menu()->actions().size(), 3);
        QCOMPARE(window_->toolbarButton(2)->menu()->actions().size(), 2);
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

    void busyRefusesViewDataAndWorkBench() {
        MessageRecorder messages;
        window_->state().setBusy(true);
        for (const char* name : {"mn_ViewData", "mn_WorkBench"}) {
            messages.clear();
            window_->action(name)->trigger();
            QCOMPARE(messages.count(), 1);
            QCOMPARE(messages.last().text, QStringLiteral("Zentrel Busy"));
            QCOMPARE(messages.last().title, kDefaultMessageTitle);
            QCOMPARE(messages.last().icon, QMessageBox::Information);
        }
    }

    void exitAsksAndNoLeavesEverything() {
        MessageRecorder messages;
        window_->show();
        messages.answers.push_back(QMessageBox::No);
        window_->action("mn_Close")->trigger();
        QCOMPARE(messages.count(), 1);
        QCOMPARE(messages.last().title, QStringLiteral("End"));
        QCOMPARE(messages.last().text, QStringLiteral("Really end Application?"));
        QCOMPARE(messages.last().icon, QMessageBox::Question);
        QCOMPARE(messages.last().buttons, QMessageBox::Yes | QMessageBox::No);
        QVERIFY(window_->isVisible());
        QCOMPARE(window_->statusPanelText(4), QStringLiteral("East of Rome"));

        window_->showSettings();
        messages.answers.push_back(QMessageBox::Yes);
        QVERIFY(window_->exitApplication());
        QVERIFY(!window_->isVisible());
        QVERIFY(!window_->settingsDialog()->isVisible());
    }

    void dialogsAndHelpOpenFromTheirMenus() {
        window_->show();
        window_->action("mnChangeSettings")->trigger();
        QVERIFY(window_->settingsDialog()->isVisible());
        window_->action("mn_SetLocation")->trigger();
        QVERIFY(window_->locationDialog()->isVisible());
        window_->action("mn_Coordinate")->trigger();
        QVERIFY(window_->coordinateDialog()->isVisible());
        window_->action("mn_Index")->trigger();
        QVERIFY(window_->helpWindow()->isVisible());
        window_->action("mn_About")->trigger();
        QVERIFY(window_->findChild<QDialog*>("frmAbout")->isVisible());
    }

    void aboutTheDataDescribesTheFolderInUse() {
        QFile about(QDir(dir_->path()).filePath("about.txt"));
        QVERIFY(about.open(QIODevice::WriteOnly));
        about.write("Source: A test source.\nYears Temp: 10..19\n");
        about.close();
        window_->show();
        window_->action("mn_About")->trigger();
        auto* tabs = window_->findChild<QTabWidget*>("aboutTabs");
        QVERIFY(tabs);
        QCOMPARE(tabs->tabText(1), QStringLiteral("About the data"));
        auto* data = window_->findChild<QPlainTextEdit*>("dataInfo");
        QVERIFY(data);
        const QString text = data->toPlainText();
        QVERIFY2(text.contains(QStringLiteral("Data folder: ") + dir_->path()), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("Source: A test source.")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("this station database holds no Wind normals")), qPrintable(text));
    }

    // The data folder built beside the programs is the real one: the window names its source and
    // no demonstration label (a picture of it goes to ZENTREL_SCREENSHOT_DIR when set).
    void aboutTheDataOfTheBuiltDefaultFolder() {
        const QDir bin(QCoreApplication::applicationDirPath());
        if (!bin.exists(QStringLiteral("ZentrelData/about.txt"))) QSKIP("bin/ZentrelData not built (scripts/build-data.sh)");
        MainWindow main(bin.filePath(QStringLiteral("ZentrelData")));
        QVERIFY(!main.windowTitle().contains(QStringLiteral("demonstration")));
        main.show();
        main.action("mn_About")->trigger();
        auto* dialog = main.findChild<QDialog*>("frmAbout");
        auto* tabs = main.findChild<QTabWidget*>("aboutTabs");
        QVERIFY(dialog && tabs);
        tabs->setCurrentIndex(1);
        const QString text = main.findChild<QPlainTextEdit*>("dataInfo")->toPlainText();
        QVERIFY2(text.contains(QStringLiteral("Source: Deutscher Wetterdienst, CLIMAT reports.")), qPrintable(text));
        QVERIFY2(!text.contains(QStringLiteral("DEMONSTRATION")), qPrintable(text));
        const QString shots = qEnvironmentVariable("ZENTREL_SCREENSHOT_DIR");
        if (!shots.isEmpty()) {
            QDir().mkpath(shots);
            QTest::qWait(100);
            QVERIFY(dialog->grab().save(QDir(shots).filePath(QStringLiteral("about_data.png"))));
        }
    }

    void aboutBoxShowsTheVersionAndTheDataFolderInUse() {
        window_->showAbout();
        auto* version = window_->findChild<QDialog*>("frmAbout")->findChild<QLabel*>("version");
        QVERIFY(version);
        QVERIFY(version->text().startsWith(QStringLiteral("Version ") + QString::fromUtf8(zentrel::programVersion())));
        QVERIFY(version->text().contains(QStringLiteral("Data folder: ") + window_->state().dataFolder()));
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

private:
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<MainWindow> window_;
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
