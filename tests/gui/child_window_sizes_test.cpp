// Child windows of the client area: opened at a size that fits inside it, never below their
// minimum, and forms not stretched over maximised windows.
#include <QMdiArea>
#include <QMdiSubWindow>
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
};

QTEST_MAIN(ChildWindowSizesTest)
#include "child_window_sizes_test.moc"
