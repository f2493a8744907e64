// Screenshots of the single-location window's fifteen views, its output window, a printed
// graph and report (PDF), for looking at. Skipped unless ZENTREL_SCREENSHOT_DIR names a folder; the
// estimate runs on the data folder ZENTREL_SCREENSHOT_DATA (a small generated one otherwise).
#include <cmath>

#include <QDir>
#include <QFileInfo>
#include <QMdiSubWindow>
#include <QSignalSpy>
#include <QCheckBox>
#include <QPrinter>
#include <QTest>
#include <QTimer>

#include "../core/fixture.h"
#include "gui_test_support.h"
#include "shell/main_window.h"
#include "single/frm_guess.h"
#include "single/frm_guess_out.h"
#include "single/output_boxes.h"
#include "single/printed_report.h"
#include "single/result_graph.h"
#include "single/single_estimate.h"

using namespace zentrel;
using namespace zentrel::gui;
using namespace zentrel::gui::single;

class SingleScreenshots : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        folder_ = qEnvironmentVariable("ZENTREL_SCREENSHOT_DIR");
        if (folder_.isEmpty()) QSKIP("ZENTREL_SCREENSHOT_DIR not set");
        QDir().mkpath(folder_);
        QString data = qEnvironmentVariable("ZENTREL_SCREENSHOT_DATA");
        if (data.isEmpty()) {
            std::vector<Station> stations;
            for (int k = 0; k < 12; ++k) {
                Station s = zentrel::test::makeStation(12.48f + 0.5f * std::cos(k * 0.52f), 41.9f + 0.4f * std::sin(k * 0.52f),
                                                       60.0f * k, 0, "Station " + std::to_string(k));
                for (size_t m = 1; m <= 12; ++m) s.Data[m] = 14 + 9 * std::sin((static_cast<float>(m) - 4) * 0.5236f) - 0.006f * s.Alt;
                stations.push_back(s);
            }
            zentrel::test::writeDataFolder(generated_, 12.48f, 41.9f, stations);
            data = QString::fromStdString(generated_.str());
        }
        main_ = std::make_unique<MainWindow>(data);
        main_->resize(1280, 800);
        main_->show();
        QVERIFY(QTest::qWaitForWindowExposed(main_.get()));
    }
    void cleanupTestCase() { main_.reset(); }

    void everyView() {
        QSignalSpy done(&SingleEstimate::of(*main_), &SingleEstimate::finished);
        main_->viewData();
        auto* window = main_->findChild<frmGuess*>(QStringLiteral("frmGuess"));
        QVERIFY(window);
        QVERIFY(done.wait(60000));
        qobject_cast<QMdiSubWindow*>(window->parentWidget())->showMaximized();
        for (int g = 0; g < 3; ++g) {
            window->setGroup(g);
            for (int v = 1; v <= 5; ++v) {
                window->setView(g, v);
                QTest::qWait(50);
                save(main_->grab(), QStringLiteral("view_data_%1_%2").arg(g + 1).arg(v));
            }
        }
    }

    void graphOnPaper() {
        auto* window = main_->findChild<frmGuess*>(QStringLiteral("frmGuess"));
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setPageOrientation(QPageLayout::Landscape);
        printer.setOutputFileName(QDir(folder_).filePath(QStringLiteral("graph.pdf")));
        window->graph(0)->print(printer);
    }

    void outputWindowAndPreview() {
        auto* output = static_cast<frmGuessOut*>(main_->childWindows().open(ChildWindow::EstimateOutput, OpenMode::Show));
        QTest::qWait(100);
        save(main_->grab(), QStringLiteral("output_format1"));
        main_->setOutputFormat(FormatLgsOutput);
        QTest::qWait(50);
        save(main_->grab(), QStringLiteral("output_format4"));
        main_->setOutputFormat(FormatZentrel);
        output->variableBox(Temp)->setChecked(true);
        output->quantities()->best()->setChecked(true);
        output->quantities()->interval()->setChecked(true);
        output->stationBox()->setChecked(true);
        QTimer::singleShot(1500, this, [this] {
            if (QWidget* preview = QApplication::activeModalWidget()) {
                save(preview->grab(), QStringLiteral("print_preview"));
                preview->close();
            }
        });
        output->CmdPrint_Click();
    }

    // The printed report of Temp as the printer gets it, into report.pdf (no preview).
    void reportOnPaper() {
        auto* output = static_cast<frmGuessOut*>(main_->childWindows().open(ChildWindow::EstimateOutput, OpenMode::Show));
        main_->setOutputFormat(FormatZentrel);
        output->variableBox(Temp)->setChecked(true);
        output->quantities()->best()->setChecked(true);
        output->quantities()->interval()->setChecked(true);
        output->stationBox()->setChecked(true);
        const QString pdf = QDir(folder_).filePath(QStringLiteral("report.pdf"));
        const PrintHandler previous = setPrintHandler([pdf](QWidget*, QPrinter&, const PrintDocument& document) {
            QPrinter printer(QPrinter::HighResolution);
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            printDocument(printer, document);
        });
        output->CmdPrint_Click();
        setPrintHandler(previous);
        QVERIFY(QFileInfo(pdf).size() > 0);
    }

private:
    void save(const QPixmap& picture, const QString& name) {
        QVERIFY(picture.save(QDir(folder_).filePath(name + QStringLiteral(".png"))));
    }

    QString folder_;
    // Message boxes (a real database without Wind names it once) are recorded, not waited on.
    zentrel::gui::test::MessageRecorder messages_;
    zentrel::test::TempFolder generated_{"gui-single-shots"};
    std::unique_ptr<MainWindow> main_;
};

QTEST_MAIN(SingleScreenshots)
#include "single_screenshots_test.moc"
