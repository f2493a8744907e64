// FrmGrid and frmList driven as a user drives them: key filter, box checks, the grid, location
// files, "Save" with its refusals, a run with its summary, cancel, "Set Location".

#include "batch/batch_window.h"
#include "single/frm_summary.h"
#include "gui_test_support.h"
#include "locations/grid_dialog.h"
#include "shell/settings_dialog.h"

using namespace zentrel;
using namespace zentrel::gui;

class BatchWindows : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        zentrel::test::writeDataFolder(data_, 10, 45, zentrel::test::ringOfEightStations());
        gui::test::writeTerrain(QString::fromStdString(data_.str()), {{10, 45, 27}});  // one cell of 500 m
        main_ = std::make_unique<MainWindow>(QString::fromStdString(data_.str()));
        QVERIFY(gui::test::shown(*main_, QSize(1200, 900)));
    }
    void cleanupTestCase() { main_.reset(); }
    void init() { messages.reset(); }

    void gridDialogFiltersKeysChecksBoxesAndFillsTheList() {
        main_->action(QStringLiteral("mn_LocationGrid"))->trigger();
        auto* dialog = main_->findChild<GridDialog*>(QStringLiteral("FrmGrid"));
        QVERIFY(dialog && dialog->isVisible());
        QLineEdit* lonMin = gui::test::box(*dialog, "txtLongMin");
        QLineEdit* lonMax = gui::test::box(*dialog, "txtLongMax");
        lonMin->clear();
        QTest::keyClicks(lonMin, QStringLiteral("a9,-.5x"));
        QCOMPARE(lonMin->text(), QStringLiteral("9-.5"));
        lonMin->setText(QStringLiteral("9,5"));
        QVERIFY(dialog->checkBox(lonMin));
        QCOMPARE(lonMin->text(), QStringLiteral("9.5"));
        lonMax->setText(QStringLiteral("180.5"));
        QVERIFY(!dialog->checkBox(lonMax));
        QCOMPARE(messages.said(), QStringLiteral("Strange Location | Longitudes should be between -180 and +180 degrees. | Critical"));
        gui::test::fill(*dialog, {{"txtLongMax", "10.5"}, {"txtLatStep", "0"}});
        QVERIFY(!dialog->confirm());  // "OK" refuses a number of intervals that is not positive
        QVERIFY(messages.said().startsWith(QStringLiteral("Please,Corect. | Number of steps should be positive |")));

        gui::test::fill(*dialog, {{"txtLongStep", "1"}, {"txtLatStep", "1"}});
        QVERIFY(dialog->confirm() && !dialog->isVisible());
        auto* list = batch()->findChild<QTreeWidget*>(QStringLiteral("LstStations"));
        QCOMPARE(list->topLevelItemCount(), 4);
        QCOMPARE(list->topLevelItem(0)->text(0), QStringLiteral(" Lon : 9.50 Lat : 40.00 Alt : 0"));
        QCOMPARE(list->topLevelItem(3)->text(1), QStringLiteral("10.50"));
    }

    void saveRefusesEmptySelectionsAndReadsLocationFiles() {
        BatchWindow* window = batch();
        window->setRows({}, QString());
        window->save();
        QVERIFY(messages.said().endsWith(QStringLiteral("| No stations  | Question")));
        for (const char* name : {"chkMean", "chkPrec"}) window->findChild<QCheckBox*>(QLatin1String(name))->setChecked(false);
        window->save();
        QCOMPARE(messages.last().title, QStringLiteral("Nothing selected!"));
        for (const char* name : {"chkMean", "chkPrec"}) window->findChild<QCheckBox*>(QLatin1String(name))->setChecked(true);

        data_.write("places.csv", "10,45\n10.2,45.1,300,Hill town\n10,45,-601\n");
        messages.clear();
        window->readLocationFile(QString::fromStdString(data_.file("places.csv")));
        QVERIFY(messages.saidOnce().endsWith(QStringLiteral(
            "| Location  Lon : 10 Lat : 45 Alt : -601 Skipped : Longitude or Latitude or Altitude not valid. | Information")));
        const auto rows = window->rows();
        QCOMPARE(rows.size(), size_t{2});
        QCOMPARE(QString::fromStdString(rows[0].name), QStringLiteral(" Lon : 10 Lat : 45 Alt : 500"));

        for (const char* name : {"OptAlt", "optNew", "OptLev90"})  // one option ticked in each frame
            QVERIFY(window->findChild<QRadioButton*>(QLatin1String(name))->isChecked());
        window->Enablecheck(FormatLgsOutput);
        QVERIFY(!window->findChild<QPushButton*>(QStringLiteral("CmdSave"))->isEnabled());
        window->Enablecheck(FormatZentrel);
    }

    void runWritesFilesShowsSummaryAndCancelAsks() {
        BatchWindow* window = batch();
        zentrel::test::TempFolder out("gui-batch-out");
        window->chooseDestination = [&out](bool folder, const QString&) {
            return folder ? QString::fromStdString(out.str()) : QString();
        };
        window->findChild<QCheckBox*>(QStringLiteral("chksum"))->setChecked(true);
        window->findChild<QLineEdit*>(QStringLiteral("txtMaxStat"))->setText(QStringLiteral("8"));
        QCOMPARE(main_->state().settings().MaxStat, int16_t{8});  // stored on every change
        window->save();
        QVERIFY(window->running());
        window->waitForRun();
        QCOMPARE(messages.last().text, QStringLiteral("Data Saved Correctly"));
        QCOMPARE(window->lastSummary().estimates, 4);
        QCOMPARE(static_cast<int>(QDir(QString::fromStdString(out.str())).entryList(QDir::Files).size()), 5);
        auto* summary = window->findChild<single::frmSummary*>(QStringLiteral("frmSummary"));
        QVERIFY(summary && summary->isVisible());
        QVERIFY2(summary->windowTitle().endsWith(QStringLiteral("Method: ") + methodCaption(main_->state().method())),
                 "the summary names the method of its run");
        // The head and one line per estimate: "Temp,  9.50, 40.00, 0, ..., AGS, ..." in list order.
        const QStringList lines = summary->text().split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 1 + 4);
        QVERIFY(lines.at(0).startsWith(QStringLiteral("Variable, Long., Lat.,")));
        QVERIFY2(lines.at(1).startsWith(QStringLiteral("Temp, ")), qPrintable(lines.at(1)));
        summary->hide();

        // A long list: "Cancel" asks, "Yes" stops after the location in hand.
        std::vector<LocationRow> many;
        for (int i = 0; i < 3000; ++i) many.push_back({"P" + std::to_string(i), "10.1", "45.1", "100"});
        window->setRows(many, QStringLiteral("many"));
        messages.answers = {QMessageBox::Yes};
        window->processit(QString::fromStdString(out.str()));
        window->cancel();
        QCOMPARE(messages.last().text, QStringLiteral("Do you want end Export Data ?"));
        window->waitForRun();
        QVERIFY(window->lastSummary().cancelled && window->lastSummary().estimates < 6000);

        // "Set Location": the selected row becomes the current location.
        auto* list = window->findChild<QTreeWidget*>(QStringLiteral("LstStations"));
        list->setCurrentItem(list->topLevelItem(2));
        window->setLocation();
        QCOMPARE(QString::fromStdString(main_->state().currentLocation().Name), QStringLiteral("P2"));
        QCOMPARE(main_->state().currentLocation().Alt, 100.0f);
        window->findChild<QCheckBox*>(QStringLiteral("chksum"))->setChecked(false);
    }

    // One method in force: chosen in the batch window, the settings dialog opens on it and its
    // "OK" keeps it; chosen in the dialog, the batch window shows it. Both name it alike.
    void batchAndSettingsDialogShowTheOneMethodInForce() {
        BatchWindow* window = batch();
        auto* batchChoice = window->findChild<QComboBox*>(QStringLiteral("cboMethod"));
        main_->state().setSingleStale(false);
        main_->state().setWorkbenchStale(false);
        batchChoice->setCurrentIndex(batchChoice->findData(static_cast<int>(Method::Robust)));
        QCOMPARE(effectiveMethod(main_->state().settings()), Method::Robust);
        // The estimates shown must be made again with it.
        QVERIFY(main_->state().singleStale() && main_->state().workbenchStale());

        SettingsDialog* dialog = main_->settingsDialog();
        dialog->show();
        auto* dialogChoice = dialog->findChild<QComboBox*>(QStringLiteral("cboMethod"));
        QCOMPARE(dialogChoice->currentText(), QStringLiteral("Robust"));
        QVERIFY(dialog->confirm());
        QCOMPARE(effectiveMethod(main_->state().settings()), Method::Robust);

        // A box typed in the batch window is what the dialog shows too.
        gui::test::box(*window, "txtMaxDist")->setText(QStringLiteral("750"));
        dialog->show();
        QCOMPARE(gui::test::box(*dialog, "txtMaxDist")->text(), QStringLiteral("750"));
        dialogChoice->setCurrentIndex(dialogChoice->findData(static_cast<int>(Method::Adaptive)));
        QVERIFY(dialog->confirm());
        QCOMPARE(batchChoice->currentText(), QStringLiteral("Adaptive"));
        QCOMPARE(main_->state().settings().RobustCorr, int16_t(0));

        // Put back what the other cases expect.
        batchChoice->setCurrentIndex(batchChoice->findData(static_cast<int>(Method::Kriging)));
        gui::test::box(*window, "txtMaxDist")->setText(QStringLiteral("1000"));
        QCOMPARE(main_->state().settings().Method, Method::Kriging);
    }

private:
    BatchWindow* batch() {
        return dynamic_cast<BatchWindow*>(main_->childWindows().open(ChildWindow::Batch));
    }

    gui::test::MessageRecorder messages;
    zentrel::test::TempFolder data_{"gui-batch-data"};
    std::unique_ptr<MainWindow> main_;
};

QTEST_MAIN(BatchWindows)
#include "batch_windows_test.moc"
