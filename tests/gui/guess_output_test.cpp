// The estimate output window: configuration by format, the selection messages, files that
// match the command line's byte for byte, and the printed pages.

#include "gui_test_support.h"
#include "shell/save_dialog.h"
#include "shell/settings_controls.h"
#include "single/frm_guess_out.h"
#include "single/frm_out.h"
#include "single/output_boxes.h"
#include "single/printed_report.h"
#include "single/single_estimate.h"

using namespace zentrel;
using namespace zentrel::gui;
using namespace zentrel::gui::single;

namespace {

/// The workbench as its output window sees it: a fixed estimate and level.
struct FakeWorkbench : WorkbenchOutputSource {
    explicit FakeWorkbench(VariableResult r) : result(std::move(r)) {}
    VariableResult result;
    VariableResult workbenchResult() override { return result; }
    int workbenchLevel() const override { return 95; }
};

using zentrel::test::readFile;

/// Prints the document into a PDF file on A4 whose printer asks for margins of only 3.5 mm; with
/// `layout`, gives back the page layout the pages got.
PageLayout printPdf(const std::string& file, const PrintDocument& document, QPageLayout* layout = nullptr) {
    QPdfWriter writer(QString::fromStdString(file));
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(3.5, 3.5, 3.5, 3.5), QPageLayout::Millimeter);
    const PageLayout pages = printDocument(writer, document);
    if (layout) *layout = writer.pageLayout();
    return pages;
}

}  // namespace

class GuessOutputTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        zentrel::test::writeDataFolder(data_, 12.48f, 41.9f, zentrel::test::ringOfEightStations());
        main_ = std::make_unique<MainWindow>(QString::fromStdString(data_.str()));
        Location here{"Here", 12.48f, 41.9f, 17};
        main_->WriteStatusLocation(here);
        SingleEstimate::of(*main_).ensureCurrent();
        output_ = static_cast<frmGuessOut*>(main_->childWindows().open(ChildWindow::EstimateOutput, OpenMode::Save));
        QVERIFY(output_);
        messages.reset();
    }
    void cleanup() {
        main_.reset();
        setSaveFileDialog({});
    }

    void dialogsOpenInTheLastUsedFolderNeverTheProgramsOwn() {
        QVERIFY(!lastUsedFolder().isEmpty() && QDir(lastUsedFolder()) != QDir(QCoreApplication::applicationDirPath()));
        QTemporaryDir dir, other;
        rememberFolder(QDir(dir.path()).filePath(QStringLiteral("out1.zte")));
        QCOMPARE(QDir(lastUsedFolder()), QDir(dir.path()));
        rememberFolder(other.path(), true);
        QCOMPARE(QDir(lastUsedFolder()), QDir(other.path()));
    }

    void configurationFollowsTheFormat() {
        QVERIFY(output_->saveButton()->isVisibleTo(output_) && !output_->printButton()->isVisibleTo(output_));
        main_->childWindows().open(ChildWindow::EstimateOutput, OpenMode::Print);
        QVERIFY(!output_->saveButton()->isVisibleTo(output_) && output_->printButton()->isVisibleTo(output_));

        // The variables ticked (Prec and PET; Tmax, Tmin, PET, Wind, Sun), whether the variables and
        // the other boxes can be changed, and whether the best estimate is ticked.
        struct Case { int code; const char* ticked; bool variables, boxes, best; };
        for (const Case& c : {Case{FormatLgsOutput, "...x.x..", false, false, true}, Case{FormatPlantow, ".xx..xxx", false, false, true},
                              Case{FormatOrvane, "........", true, false, true}, Case{FormatVesk, "........", true, false, true},
                              Case{FormatRastell, "........", true, false, true}, Case{FormatZentrel, "........", true, true, false}}) {
            main_->setOutputFormat(c.code);
            QString ticked;
            for (int v = 0; v < kVariableCount; ++v) ticked += output_->variableBox(v)->isChecked() ? QLatin1Char('x') : QLatin1Char('.');
            QCOMPARE(ticked, QString::fromLatin1(c.ticked));
            QCOMPARE(output_->variableBox(Temp)->isEnabled(), c.variables);
            QCOMPARE(output_->quantities()->best()->isEnabled() && output_->levels()->isEnabled() && output_->stationBox()->isEnabled(),
                     c.boxes);
            QCOMPARE(output_->quantities()->best()->isChecked(), c.best);
        }
    }

    void nothingSelectedAsksForASelection() {
        int dialogs = 0;
        setSaveFileDialog([&](QWidget*, const QString&) { ++dialogs; return QString(); });
        output_->variableBox(Temp)->setChecked(true);  // a variable but no output
        output_->CmdSave_Click();
        QCOMPARE(messages.saidOnce(), QStringLiteral("Nothing selected! | Please select at least one desired output and one desired variable | Question"));
        output_->variableBox(Temp)->setChecked(false);
        output_->stationBox()->setChecked(true);  // an output but no variable
        output_->CmdPrint_Click();
        QCOMPARE(messages.last().text, QStringLiteral("You should select something to print."));
        QCOMPARE(dialogs, 0);
        output_->variableBox(Temp)->setChecked(true);
        output_->CmdSave_Click();  // valid: the dialog is asked, its cancel says nothing
        QCOMPARE(dialogs, 1);
        QCOMPARE(messages.count(), 2);
    }

    void saveWritesTheCommandLinesBytes() {
        zentrel::test::TempFolder out("gui-save");
        QString target;
        setSaveFileDialog([&](QWidget*, const QString& filter) {
            // The filter of the format is offered.
            return filter.contains(QLatin1String("*.")) ? target : QString();
        });
        const std::string cli = "estimate --lon 12.48 --lat 41.9 --alt 17 --name Here --data " + data_.str();
        struct Case { int code; const char* format; const char* options; };
        for (const Case& c : {Case{FormatZentrel, "zte", " --quantities best,interval,stderr,dirgrad --level 95 --stations --observations"},
                              Case{FormatOrvane, "orvane", ""}, Case{FormatVesk, "vesk", ""}, Case{FormatLgsInput, "lgs-input", ""},
                              Case{FormatLgsOutput, "lgs-output", ""}}) {
            main_->setOutputFormat(c.code);
            if (c.code == FormatZentrel) {
                for (int i : {0, 1, 2, 7}) output_->quantities()->boxes()[static_cast<size_t>(i)]->setChecked(true);
                output_->levels()->option(1)->setChecked(true);
                for (QCheckBox* box : {output_->stationBox(), output_->observationBox()}) box->setChecked(true);
            }
            if (output_->variableBox(Temp)->isEnabled())
                for (int v = 0; v < kVariableCount; ++v) output_->variableBox(v)->setChecked(true);
            target = QString::fromStdString(out.file(std::string("gui.") + c.format));
            messages.clear();
            output_->CmdSave_Click();
            QVERIFY(messages.saidOnce().contains(QStringLiteral(" | Data Saved Correctly | ")));
            const std::string expected = out.file(std::string("cli.") + c.format);
            QCOMPARE(zentrel::test::runCli(cli + " --format " + c.format + " -o " + expected + c.options).code, 0);
            QVERIFY2(readFile(expected).size() > 100 && readFile(target.toStdString()) == readFile(expected), c.format);
        }
    }

    void bareSaveNameGetsTheFormatsExtension() {
        zentrel::test::TempFolder out("gui-save-ext");
        const QString bare = QString::fromStdString(out.file("out1"));
        setSaveFileDialog([&](QWidget*, const QString&) { return bare; });
        for (QCheckBox* box : {output_->variableBox(Temp), output_->quantities()->best()}) box->setChecked(true);
        output_->CmdSave_Click();
        QCOMPARE(messages.last().text, QStringLiteral("Data Saved Correctly"));
        QVERIFY2(QFileInfo::exists(bare + QStringLiteral(".zte")), "own format: out1 must become out1.zte");
        QVERIFY(!QFileInfo::exists(bare));

        // A name with an extension of its own is kept as typed.
        const QString typed = QString::fromStdString(out.file("out2.txt"));
        setSaveFileDialog([&](QWidget*, const QString&) { return typed; });
        output_->CmdSave_Click();
        QVERIFY(QFileInfo::exists(typed));
        QVERIFY(!QFileInfo::exists(typed + QStringLiteral(".zte")));

        // The growing-season file and the crop-water list.
        setSaveFileDialog([&](QWidget*, const QString&) { return bare; });
        for (auto [code, extension] : {std::pair{FormatLgsOutput, ".Dat"}, {FormatPlantow, ".Lst"}}) {
            main_->setOutputFormat(code);
            output_->CmdSave_Click();
            QVERIFY2(QFileInfo::exists(bare + QLatin1String(extension)), qPrintable(QStringLiteral("out1 must become out1") + extension));
        }

        // The extension is the filter's first pattern; "out1." keeps its dot, a dot in a
        // folder name is no extension of the file, and cancel stays cancel.
        QCOMPARE(filterExtension(QStringLiteral("Data (*.Dat)|*.Dat")), QStringLiteral(".Dat"));
        QCOMPARE(filterExtension(QStringLiteral("All Files (*)")), QString());
        const QString zte = QStringLiteral("Zentrel (*.zte)");
        for (auto [name, expected] : {std::pair{"/tmp/out1.", "/tmp/out1.zte"}, {"/tmp/out1.zte", "/tmp/out1.zte"},
                                      {"/tmp/v1.2/out", "/tmp/v1.2/out.zte"}, {"", ""}})
            QCOMPARE(withFilterExtension(QString::fromLatin1(name), zte), QString::fromLatin1(expected));
    }

    // A variable without normals is never written or printed as zeros: the crop-water files,
    // which need Wind, are refused before a file name is asked for; its box cannot be ticked,
    // and one ticked before the data changed is left out.
    void variableTheDatabaseLacksIsNeitherSavedNorPrinted() {
        data_.write(wholeFileName(Wind), "");
        int dialogs = 0;
        setSaveFileDialog([&](QWidget*, const QString&) { ++dialogs; return QString(); });
        const PrintHandler previous = setPrintHandler([&](QWidget*, QPrinter&, const PrintDocument&) { ++dialogs; });
        main_->setOutputFormat(FormatPlantow);
        output_->CmdSave_Click();
        output_->CmdPrint_Click();
        setPrintHandler(previous);
        QCOMPARE(dialogs, 0);
        QCOMPARE(messages.count(), 2);
        QCOMPARE(messages.last().text, QStringLiteral("The crop-water files need Wind normals, but this station "
                                                      "database holds no Wind normals."));

        main_->setOutputFormat(FormatZentrel);
        QVERIFY(!output_->variableBox(Wind)->isEnabled() && output_->variableBox(Temp)->isEnabled());
        for (QCheckBox* box : {output_->variableBox(Wind), output_->quantities()->best(), output_->stationBox()})
            box->setChecked(true);
        output_->CmdSave_Click();
        QCOMPARE(messages.last().title, QStringLiteral("Nothing selected!"));

        output_->variableBox(Temp)->setChecked(true);
        zentrel::test::TempFolder out("gui-save-lacking");
        const QString target = QString::fromStdString(out.file("two.zte"));
        setSaveFileDialog([&](QWidget*, const QString&) { return target; });
        output_->CmdSave_Click();
        QCOMPARE(messages.last().text, QStringLiteral("Data Saved Correctly"));
        const std::string saved = readFile(target.toStdString());
        QVERIFY(saved.find("Temperature") != std::string::npos);
        QVERIFY2(saved.find("Wind") == std::string::npos, "a variable without normals must not be saved");
        for (const PrintLine& line : output_->printresults())
            QVERIFY2(!line.text.contains(QLatin1String("Wind")) && !line.header.contains(QLatin1String("Wind")),
                     "a variable without normals must not be printed");
    }

    // The pages themselves, on a PDF writer for want of a printer, in the two tests below.
    void printedReportUsesThePrintedTextsAndStyles() {
        for (QCheckBox* box :
             {output_->variableBox(Prec), output_->variableBox(Sun), output_->quantities()->interval(), output_->stationBox()})
            box->setChecked(true);
        const PrintDocument document = output_->printresults();
        QStringList text;
        for (const PrintLine& line : document) text << line.text;
        const QString all = text.join(QLatin1Char('\n'));
        for (const char* printed : {"Location:   Latitude = 41°54' 0'' N , Longitude = 12°28' 48'' E ,",
                                    "Allowed Maximum Number of Stations: 20", "\nJan.  ", "\nAvg.        ", "            5%            95%"})
            QVERIFY2(all.contains(QString::fromUtf8(printed)), printed);
        QVERIFY2(all.contains(QStringLiteral("Estimation Method: ") +
                              methodCaption(effectiveMethod(main_->state().settings()))),
                 "the print names the method that made its numbers");
        QCOMPARE(document.first().style, PrintLine::Title);
        QCOMPARE(std::count_if(document.begin(), document.end(), [](const PrintLine& l) { return l.newPage; }), 1);
        for (const PrintLine& line : document)
            if (line.text.startsWith(QLatin1String("Jan.")) || line.text.contains(QLatin1String("Elev.")))
                QCOMPARE(line.style, PrintLine::Table);
    }

    // On paper the annual row stands in line with the months, and no number reads "-0.00".
    void printedMonthlyTableKeepsTheAnnualRowInLineWithTheMonths() {
        output_->variableBox(Temp)->setChecked(true);
        for (QCheckBox* box : output_->quantities()->boxes()) box->setChecked(true);
        const PrintDocument document = output_->printresults();
        QString january, average;
        for (const PrintLine& line : document) {
            if (line.text.startsWith(QLatin1String("Jan.")) && january.isEmpty()) january = line.text;
            if (line.text.startsWith(QLatin1String("Avg.")) && average.isEmpty()) average = line.text;
            QVERIFY2(!QRegularExpression(QStringLiteral("(^|\\s)-0\\.00?(\\s|$)")).match(line.text).hasMatch(), qPrintable(line.text));
        }
        QVERIFY(!january.isEmpty() && !average.isEmpty());
        const auto valueEnd = [](const QString& row) {
            const qsizetype start = row.indexOf(QRegularExpression(QStringLiteral("[-0-9]")), 4);
            return row.indexOf(QLatin1Char(' '), start);
        };
        QCOMPARE(valueEnd(average), valueEnd(january));
    }

    // A table wider than the page is cut into column blocks that repeat its row titles, at the
    // type of the others: every number is still there, none is cut, no line runs off the page.
    void aWideTableIsCutIntoColumnBlocksNotShrunk() {
        PrintDocument document{{QStringLiteral("Narrow"), PrintLine::Heading},
                               {QStringLiteral("Jan.   1.00"), PrintLine::Table},
                               {QStringLiteral("Feb.   2.00"), PrintLine::Table},
                               {QStringLiteral("Wide"), PrintLine::Heading}};
        QString titles = QStringLiteral("Month").leftJustified(12);
        for (int c = 0; c < 20; ++c) titles += QStringLiteral("Std. Err.").rightJustified(12);
        document.append({titles, PrintLine::Table});
        for (const char* month : {"Jan.", "Feb.", "Mar."}) {
            QString row = QString::fromLatin1(month).leftJustified(12);
            for (int c = 0; c < 20; ++c) row += QStringLiteral("%1").arg(c * 1.25 - 10, 12, 'f', 2);
            document.append({row, PrintLine::Table});
        }
        const PrintDocument fitted = fitTablesToWidth(document, 90);
        int numbers = 0, months = 0;
        for (const PrintLine& line : fitted) {
            QVERIFY2(line.text.size() <= 90, qPrintable(line.text));
            for (auto it = QRegularExpression(QStringLiteral("-?\\d+\\.\\d\\d")).globalMatch(line.text); it.hasNext(); it.next())
                ++numbers;
            if (line.text.startsWith(QLatin1String("Jan."))) ++months;
        }
        QCOMPARE(numbers, 2 + 3 * 20);
        int titleCount = 0;  // a title with a blank inside is never cut in two
        for (const PrintLine& line : fitted) titleCount += static_cast<int>(line.text.count(QStringLiteral("Std. Err.")));
        QCOMPARE(titleCount, 20);
        // Even where the blank inside a title is the last one that would fit.
        const PrintDocument tight{{QStringLiteral("Row") + QStringLiteral("Std. Err.").rightJustified(12).repeated(2), PrintLine::Table},
                                  {QStringLiteral("Jan.") + QStringLiteral("1.00").rightJustified(11) + QStringLiteral("2.00").rightJustified(12), PrintLine::Table}};
        titleCount = 0;
        for (const PrintLine& line : fitTablesToWidth(tight, 23)) titleCount += static_cast<int>(line.text.count(QStringLiteral("Std. Err.")));
        QCOMPARE(titleCount, 2);
        QVERIFY(months >= 3);  // the narrow table's January and the wide one's in each block

        zentrel::test::TempFolder out("gui-print-fonts");
        const QList<PageLine> lines = printPdf(out.file("fonts.pdf"), document).first();
        const double narrow = lines[2].y - lines[1].y, wide = lines[6].y - lines[5].y;
        QVERIFY2(std::abs(narrow - wide) < 0.01 * narrow, qPrintable(QStringLiteral("line steps %1 and %2").arg(narrow).arg(wide)));
    }

    void workbenchOutputRules() {
        FakeWorkbench workbench(SingleEstimate::of(*main_).results()[Prec]);
        frmOut out(*main_, workbench);
        main_->setOutputFormat(FormatLgsOutput);
        out.CmdPrint_Click();
        QVERIFY(messages.said().endsWith(QStringLiteral("| You Cannot use this Format in WorkBench Mode | Information")));
        main_->setOutputFormat(FormatZentrel);
        out.CmdSave_Click();
        QCOMPARE(messages.last().title, QStringLiteral("Nothing selected!"));

        // Boxes that need a level take the workbench's; the last one unticked clears it.
        QList<int> levels{out.levels()->percent()};
        for (auto [box, on] : {std::pair<QAbstractButton*, bool>{out.dekadalBox(), true}, {out.quantities()->interval(), true},
                               {out.dekadalBox(), false}, {out.quantities()->interval(), false}}) {
            box->setChecked(on);
            levels << out.levels()->percent();
        }
        QCOMPARE(levels, QList<int>({0, 95, 95, 95, 0}));

        // Save writes what the command line writes for the one variable.
        for (QCheckBox* box : {out.quantities()->best(), out.dekadalBox()}) box->setChecked(true);
        zentrel::test::TempFolder files("gui-workbench");
        const QString target = QString::fromStdString(files.file("wb.zte"));
        setSaveFileDialog([&](QWidget*, const QString&) { return target; });
        out.CmdSave_Click();
        QCOMPARE(messages.last().text, QStringLiteral("Data Saved Correctly"));
        QCOMPARE(zentrel::test::runCli("estimate --lon 12.48 --lat 41.9 --alt 17 --name Here --var Prec --format zte --quantities best "
                                       "--dekadal --level 95 -o " + files.file("cli.zte") + " --data " + data_.str()).code, 0);
        QVERIFY(readFile(files.file("cli.zte")) == readFile(target.toStdString()));
    }

    void printedWorkbenchReportHasMarginsRunningHeadsAndRepeatedColumnHeads() {
        FakeWorkbench workbench(SingleEstimate::of(*main_).results()[Temp]);
        frmOut out(*main_, workbench);
        main_->setOutputFormat(FormatZentrel);
        for (QCheckBox* box : {out.quantities()->best(), out.quantities()->interval(), out.dekadalBox(), out.dailyBox(),
                               out.thresholdBox(), out.stationBox()})
            box->setChecked(true);
        const PrintDocument document = out.printresults();
        int heads = 0;
        for (const PrintLine& line : document) {
            if (line.columnHead) ++heads;
            QVERIFY2(line.header.startsWith(QLatin1String("Zentrel")) && line.header.contains(QLatin1String("Here")),
                     "every page's running header names the program and the location");
        }
        // monthly, dekadal, daily and threshold tables with title and unit lines, the stations' titles
        QCOMPARE(heads, 9);

        zentrel::test::TempFolder files("gui-print-layout");
        QPageLayout layout;
        const PageLayout pages = printPdf(files.file("workbench.pdf"), document, &layout);
        const QMarginsF margins = layout.margins(QPageLayout::Millimeter);
        QVERIFY2(margins.left() >= 15 && margins.top() >= 15, "printed pages need margins of 15 mm or more");
        QVERIFY(pages.size() > 3);
        int continued = 0;
        for (qsizetype p = 1; p < pages.size(); ++p) {
            // A page starts with its repeated heads, a section or a new variable, never a bare table row.
            const PageLine& first = pages[p].first();
            const PrintLine& line = document[first.line];
            continued += first.repeatedHead ? 1 : 0;
            QVERIFY2(first.repeatedHead ? line.columnHead
                                        : line.style != PrintLine::Table || line.columnHead || line.text.trimmed().isEmpty(),
                     qPrintable(QStringLiteral("page %1 starts with a bare table row: ").arg(p + 1) + line.text));
        }
        QVERIFY2(continued > 0, "the daily table runs over pages and must repeat its heads");
    }

private:
    zentrel::gui::test::MessageRecorder messages;
    zentrel::test::TempFolder data_{"gui-output-data"};
    std::unique_ptr<MainWindow> main_;
    frmGuessOut* output_ = nullptr;
};

QTEST_MAIN(GuessOutputTest)
#include "guess_output_test.moc"
