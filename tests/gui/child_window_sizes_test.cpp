// Child windows of the client area: opened at a size that fits inside it, never below their
// minimum, forms not stretched over maximised windows, and every field and label whole on the
// screens people have.
#include <QAbstractButton>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScrollBar>
#include <QStyle>
#include <QTest>

#include "gui_test_support.h"
#include "shell/main_window.h"

using namespace zentrel::gui;

class ChildWindowSizesTest : public QObject {
    Q_OBJECT
private slots:
    void windowsOpenInsideTheAreaAndFormsKeepTheirSize() {
        QTemporaryDir dir;
        test::writeTerrain(dir, {});
        test::MessageRecorder messages;  // no stations here: the estimate's complaints are recorded
        MainWindow main(dir.path());
        main.resize(1280, 800);  // a common laptop screen
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        QWidget* batch = main.childWindows().open(ChildWindow::Batch);  // wants 1000 x 760, more than the area is high
        QVERIFY(batch);
        auto* batchSub = qobject_cast<QMdiSubWindow*>(batch->parentWidget());
        QVERIFY(batchSub);
        const QRect area = main.clientArea()->viewport()->rect();
        QVERIFY2(area.contains(batchSub->geometry()), "a window larger than the area must be shrunk into it");
        QVERIFY(!batchSub->minimumSize().isEmpty());
        QVERIFY(batchSub->minimumSize().width() <= batchSub->width());

        batchSub->showMaximized();
        QWidget* output = main.childWindows().open(ChildWindow::EstimateOutput, OpenMode::Save);
        QVERIFY(output);
        auto* outputSub = qobject_cast<QMdiSubWindow*>(output->parentWidget());
        QVERIFY2(!outputSub->isMaximized(), "an output form must not fill the area over maximised windows");
        QVERIFY(outputSub->width() < area.width());
        QVERIFY(area.contains(outputSub->geometry()));
    }

    // At the window's opening size on a large and a small screen: no field cuts its value, no
    // label or check box its text, and no two controls of a frame lie on top of each other.
    void batchWindowShowsEveryFieldAndLabelWhole_data() {
        QTest::addColumn<QSize>("screen");
        QTest::newRow("1920x1080") << QSize(1920, 1050);
        QTest::newRow("1366x768") << QSize(1366, 740);
    }
    void batchWindowShowsEveryFieldAndLabelWhole() {
        QFETCH(QSize, screen);
        QTemporaryDir dir;
        test::writeTerrain(dir, {});
        test::MessageRecorder messages;
        MainWindow main(dir.path());
        main.resize(screen);
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        QWidget* batch = main.childWindows().open(ChildWindow::Batch);
        QVERIFY(batch);
        QTest::qWait(50);
        if (const QString shots = qEnvironmentVariable("ZENTREL_SCREENSHOT_DIR"); !shots.isEmpty())
            main.grab().save(QDir(shots).filePath(QStringLiteral("batch_%1.png").arg(QLatin1String(QTest::currentDataTag()))));
        const int frame = batch->style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
        for (QLineEdit* edit : batch->findChildren<QLineEdit*>()) {
            if (!edit->isVisible()) continue;
            const int needed = edit->fontMetrics().horizontalAdvance(edit->text()) + 2 * frame + 4;
            QVERIFY2(edit->width() >= needed, qPrintable(edit->objectName() + QStringLiteral(" cuts its value")));
        }
        for (QWidget* w : batch->findChildren<QWidget*>()) {
            if (!w->isVisible() || !(qobject_cast<QLabel*>(w) || qobject_cast<QAbstractButton*>(w))) continue;
            QVERIFY2(w->width() >= w->sizeHint().width(), qPrintable(w->objectName() + w->property("text").toString()));
        }
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
        QTemporaryDir dir;
        test::writeTerrain(dir, {});
        test::MessageRecorder messages;
        MainWindow main(dir.path());
        main.resize(1366, 740);
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        for (ChildWindow window : {ChildWindow::SingleLocation, ChildWindow::Batch, ChildWindow::RasterMap})
            QVERIFY(main.childWindows().open(window));
        QVERIFY(main.childWindows().open(ChildWindow::EstimateOutput, OpenMode::Save));
        main.action(action)->trigger();
        QTest::qWait(50);
        const QList<QMdiSubWindow*> windows = main.clientArea()->subWindowList();
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
        QMdiArea* area = main.clientArea();
        const bool wider = covered.width() > area->viewport()->width(), higher = covered.height() > area->viewport()->height();
        QVERIFY2(wider == (area->horizontalScrollBar()->maximum() > 0), "the area scrolls sideways exactly when needed");
        QVERIFY2(higher == (area->verticalScrollBar()->maximum() > 0), "the area scrolls down exactly when needed");
    }
};

QTEST_MAIN(ChildWindowSizesTest)
#include "child_window_sizes_test.moc"
