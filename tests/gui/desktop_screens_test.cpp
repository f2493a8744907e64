// Screenshots of the desktop as a user first meets it: default window sizes, tiling, an output
// window over maximised children, the help window and the map, for looking at. Skipped unless
// ZENTREL_SCREENSHOT_DIR names a folder; runs on ZENTREL_SCREENSHOT_DATA (a data folder).
#include <QDir>
#include <QGuiApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

#include "gui_test_support.h"
#include "maps/location_map_window.h"
#include "shell/help_window.h"
#include "shell/main_window.h"
#include "single/frm_guess.h"
#include "single/single_estimate.h"
#include "workbench/frm_work.h"

using namespace zentrel::gui;

class DesktopScreens : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        folder_ = qEnvironmentVariable("ZENTREL_SCREENSHOT_DIR");
        const QString data = qEnvironmentVariable("ZENTREL_SCREENSHOT_DATA");
        if (folder_.isEmpty() || data.isEmpty()) QSKIP("ZENTREL_SCREENSHOT_DIR or ZENTREL_SCREENSHOT_DATA not set");
        QDir().mkpath(folder_);
        main_ = std::make_unique<MainWindow>(data);
        main_->move(0, 0);
        main_->resize(1260, 740);
        main_->show();
        QVERIFY(QTest::qWaitForWindowExposed(main_.get()));
    }
    void cleanupTestCase() { main_.reset(); }

    void defaultSizes() {
        QSignalSpy done(&single::SingleEstimate::of(*main_), &single::SingleEstimate::finished);
        main_->viewData();
        QVERIFY(done.wait(120000));
        QTest::qWait(200);
        save(main_->grab(), "sizes_view_data");
        auto* guess = main_->findChild<single::frmGuess*>(QStringLiteral("frmGuess"));
        QVERIFY(guess);
        guess->setGroup(2);
        guess->setView(2, 1);
        QTest::qWait(100);
        save(main_->grab(), "units_third_group_graph");
        guess->setView(2, 2);
        QTest::qWait(100);
        save(main_->grab(), "units_third_group_table");
        guess->setGroup(0);
        guess->setView(0, 1);
        main_->workBench();
        QTest::qWait(1500);
        save(main_->grab(), "sizes_workbench");
        main_->childWindows().open(ChildWindow::LocationMap);
        QTest::qWait(300);
        save(main_->grab(), "sizes_map");
        const QRect area = main_->clientArea()->viewport()->rect();
        for (QMdiSubWindow* sub : main_->clientArea()->subWindowList())
            QVERIFY2(area.contains(sub->geometry()), qPrintable(sub->windowTitle()));
    }

    void tiledAndMaximised() {
        main_->action(QStringLiteral("mn_horizontal"))->trigger();
        QTest::qWait(300);
        save(main_->grab(), "sizes_tiled_horizontal");
        main_->action(QStringLiteral("mn_Vertical"))->trigger();
        QTest::qWait(300);
        save(main_->grab(), "sizes_tiled_vertical");
        main_->clientArea()->subWindowList().first()->showMaximized();
        main_->childWindows().open(ChildWindow::EstimateOutput, OpenMode::Print);
        QTest::qWait(300);
        save(main_->grab(), "sizes_output_over_maximised");
    }

    void helpOnScreen() {
        main_->showHelpContents();
        QTest::qWait(300);
        auto* help = main_->findChild<HelpWindow*>();
        QVERIFY(help);
        QVERIFY(help->screen()->availableGeometry().contains(help->frameGeometry()));
        save(help->screen()->grabWindow(0), "sizes_help_screen");
    }

    void workbenchNamesThePointItComputes() {
        auto* w = main_->findChild<workbench::frmwork*>(QStringLiteral("frmwork"));
        QVERIFY(w);
        main_->workBench();
        qobject_cast<QMdiSubWindow*>(w->parentWidget())->showMaximized();
        test::MessageRecorder messages;
        messages.answers.push_back(QMessageBox::No);
        w->mapRightClick(0.6f, 0.3f);
        QTest::qWait(300);
        save(main_->grab(), "workbench_after_right_click_no");
    }

private:
    void save(const QPixmap& pixmap, const char* name) {
        QVERIFY(pixmap.save(QDir(folder_).filePath(QLatin1String(name) + QStringLiteral(".png"))));
    }
    QString folder_;
    std::unique_ptr<MainWindow> main_;
};

QTEST_MAIN(DesktopScreens)
#include "desktop_screens_test.moc"
