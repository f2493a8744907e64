// The pictures of docs/tour.md (scripts/tour-pictures.sh), taken on the data folder
// ZENTREL_SCREENSHOT_DATA into ZENTREL_SCREENSHOT_DIR; skipped unless both are set.
#include <QPrinter>

#include "gui_test_support.h"
#include "maps/raster_map_window.h"
#include "single/frm_guess.h"
#include "single/frm_guess_out.h"
#include "single/output_boxes.h"
#include "single/printed_report.h"
#include "single/single_estimate.h"
#include "workbench/frm_work.h"

using namespace zentrel;
using namespace zentrel::gui;
using namespace zentrel::gui::single;

class TourPictures : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        folder_ = qEnvironmentVariable("ZENTREL_SCREENSHOT_DIR");
        const QString data = qEnvironmentVariable("ZENTREL_SCREENSHOT_DATA");
        if (folder_.isEmpty() || data.isEmpty()) QSKIP("ZENTREL_SCREENSHOT_DIR or ZENTREL_SCREENSHOT_DATA not set");
        QDir().mkpath(folder_);
        main_ = std::make_unique<MainWindow>(data);
        QVERIFY(gui::test::shown(*main_, QSize(1280, 800)));
    }
    void cleanupTestCase() { main_.reset(); }

    void singleLocationWindow() {
        QSignalSpy done(&SingleEstimate::of(*main_), &SingleEstimate::finished);
        main_->viewData();
        auto* window = main_->findChild<frmGuess*>(QStringLiteral("frmGuess"));
        QVERIFY(window && done.wait(120000));
        qobject_cast<QMdiSubWindow*>(window->parentWidget())->showMaximized();
        for (int view : {1, 2}) {
            window->setView(0, view);
            QTest::qWait(50);
            save(main_->grab(), QStringLiteral("view_data_1_%1").arg(view));
        }
    }

    // The printed report of Temp as the printer gets it (no preview).
    void reportOnPaper() {
        auto* output = static_cast<frmGuessOut*>(main_->childWindows().open(ChildWindow::EstimateOutput, OpenMode::Show));
        main_->setOutputFormat(FormatZentrel);
        output->variableBox(Temp)->setChecked(true);
        output->quantities()->best()->setChecked(true);
        output->quantities()->interval()->setChecked(true);
        output->stationBox()->setChecked(true);
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QDir(folder_).filePath(QStringLiteral("report.pdf")));
        printDocument(printer, output->printresults());
    }

    void workbench() {
        main_->resize(1280, 860);
        main_->action("mn_WorkBench")->trigger();
        auto* w = main_->findChild<workbench::frmwork*>(QStringLiteral("frmwork"));
        QVERIFY(w);
        qobject_cast<QMdiSubWindow*>(w->parentWidget())->showMaximized();
        w->setView(2);
        w->setResolutionTab(0);
        QTest::qWait(50);
        save(main_->grab(), QStringLiteral("workbench_2_0"));
    }

    // The export panel while an export runs, then the export shown again as a background map.
    void rasterExport() {
        auto* raster = qobject_cast<RasterMapWindow*>(main_->childWindows().open(ChildWindow::RasterMap));
        QVERIFY(raster);
        raster->parentWidget()->resize(1150, 700);
        QTest::qWait(600);
        raster->Draw();
        raster->showExportPanel();
        gui::test::fill(*raster, {{"TxtLonStart", "-10"}, {"TxtLonEnd", "40"}, {"TxtLatStart", "71"}, {"TxtLatEnd", "35"}});
        raster->resolutionCombo->setCurrentText(QStringLiteral("0.5"));
        raster->periodCombo->setCurrentText(QStringLiteral("July"));
        QTemporaryDir exported;
        const QString file = QDir(exported.path()).filePath(QStringLiteral("TempJuly.img"));
        raster->askFileName = [file] { return file; };
        gui::test::MessageRecorder messages;
        QSignalSpy finished(raster, &RasterMapWindow::exportFinished);
        QVERIFY(raster->startExport());
        QTest::qWait(300);
        save(raster->grab(), QStringLiteral("map_raster_export"));
        // On a small database the export may be over before the picture is taken.
        QVERIFY2(!finished.isEmpty() || finished.wait(300000), qPrintable(messages.said()));
        RasterMapWindow again(*main_, exported.path());
        QVERIFY(gui::test::shown(again, QSize(1000, 600)));
        again.openFirstMap();
        QVERIFY(again.hasMap());
        for (int k = 0; k < 2; ++k) again.zoomPunto(again.view().pixelOf(15, 53).toPoint(), true);
        QTest::qWait(200);
        save(again.grab(), QStringLiteral("map_raster_exported"));
    }

private:
    void save(const QPixmap& picture, const QString& name) {
        QVERIFY(picture.save(QDir(folder_).filePath(name + QStringLiteral(".png"))));
    }

    QString folder_;
    // Message boxes (a real database without Wind names it once) are recorded, not waited on.
    gui::test::MessageRecorder messages_;
    std::unique_ptr<MainWindow> main_;
};

QTEST_MAIN(TourPictures)
#include "tour_pictures_test.moc"
