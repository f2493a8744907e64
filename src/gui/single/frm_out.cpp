// frmOut: the workbench's output window.
#include "single/frm_out.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>

#include "data/data_info.h"
#include "formats/orvane_format.h"
#include "formats/vesk_format.h"
#include "shell/main_window.h"
#include "shell/message_box.h"
#include "single/output_boxes.h"

namespace zentrel::gui::single {

frmOut::frmOut(MainWindow& main, WorkbenchOutputSource& source, QWidget* parent)
    : QWidget(parent), main_(main), source_(source) {
    setObjectName(QStringLiteral("frmOut"));
    setWindowTitle(QStringLiteral("Output"));
    createControls();
    // A form of tick boxes: it keeps a form's size when the other windows are maximised.
    setMaximumSize(sizeHint() + QSize(160, 120));
}

void frmOut::createControls() {
    quantities_ = new QuantityBoxes(QStringLiteral("Monthly Output"), QStringLiteral("Chk"), this);
    levels_ = new LevelOptions(QStringLiteral("Confidence Level"), this);
    auto* further = new QGroupBox(QStringLiteral("Further Information"), this);
    auto* furtherLayout = new QVBoxLayout(further);
    chkObs = new QCheckBox(QStringLiteral("List of observed Data"), further);
    chkObs->setObjectName(QStringLiteral("chkObs"));
    chkStat = new QCheckBox(QStringLiteral("Station Information"), further);
    chkStat->setObjectName(QStringLiteral("chkStat"));
    furtherLayout->addWidget(chkStat);
    furtherLayout->addWidget(chkObs);
    auto* finer = new QGroupBox(QStringLiteral("Finer Temporal Resolution"), this);
    auto* finerLayout = new QVBoxLayout(finer);
    chkDek = new QCheckBox(QStringLiteral("Dekadal Resolution"), finer);
    chkDek->setObjectName(QStringLiteral("chkDek"));
    chkDay = new QCheckBox(QStringLiteral("Daily Resolution"), finer);
    chkDay->setObjectName(QStringLiteral("chkDay"));
    chkThr = new QCheckBox(QStringLiteral("Days reaching Threshold"), finer);
    chkThr->setObjectName(QStringLiteral("chkThr"));
    for (QCheckBox* box : {chkDek, chkDay, chkThr}) finerLayout->addWidget(box);
    for (QCheckBox* box : {chkDek, chkDay, chkThr, quantities_->interval()})
        connect(box, &QCheckBox::toggled, this, [this, box](bool ticked) { levelBoxToggled(box, ticked); });

    const OutputButtons made = makeOutputButtons(this);
    CmdSave = made.save;
    CmdPrint = made.print;
    CmdCanc = made.cancel;
    connect(CmdSave, &QPushButton::clicked, this, &frmOut::CmdSave_Click);
    connect(CmdPrint, &QPushButton::clicked, this, &frmOut::CmdPrint_Click);

    auto* grid = new QGridLayout(this);
    grid->addWidget(quantities_, 0, 0, 3, 1);
    grid->addWidget(levels_, 0, 1);
    grid->addWidget(further, 1, 1);
    grid->addWidget(finer, 2, 1);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(CmdSave);
    buttons->addWidget(CmdPrint);
    buttons->addWidget(CmdCanc);
    buttons->addStretch(1);
    grid->addLayout(buttons, 0, 2, 3, 1);
}

void frmOut::open(OpenMode mode) {
    CmdSave->setVisible(mode != OpenMode::Print);
    CmdPrint->setVisible(mode != OpenMode::Save);
}

void frmOut::levelBoxToggled(QCheckBox* box, bool ticked) {
    if (ticked) {
        if (levels_->percent() == 0) levels_->setPercent(source_.workbenchLevel());
        return;
    }
    for (QCheckBox* other : {chkDek, chkDay, chkThr, quantities_->interval()})
        if (other != box && other->isChecked()) return;
    levels_->setPercent(0);
}

bool frmOut::selectionValid() const {
    return quantities_->selection().any() || chkStat->isChecked() || chkObs->isChecked() || chkDek->isChecked() ||
           chkDay->isChecked() || chkThr->isChecked();
}

bool frmOut::formatRefused() {
    // The workbench's variable without normals has no estimate: nothing is written as zeros.
    const VariableResult result = source_.workbenchResult();
    if (!holdsVariable(main_.state().dataFolderPath(), result.variable)) {
        const QString missing = QString::fromStdString(missingVariableMessage(result.variable));
        showMessage(this, kDefaultMessageTitle, missing.left(1).toUpper() + missing.mid(1) + QLatin1Char('.'),
                    QMessageBox::Information);
        return true;
    }
    const int format = main_.state().outputFormat();
    if (format != FormatLgsInput && format != FormatLgsOutput && format != FormatPlantow) return false;
    showMessage(this, kDefaultMessageTitle, QStringLiteral("You Cannot use this Format in WorkBench Mode"),
                QMessageBox::Information);
    return true;
}

ReportOptions frmOut::reportOptions(const VariableResult& result) const {
    ReportOptions o;
    // The name and coordinates of the point the workbench estimated, rounded as the status
    // line rounds them: the current location, or a point clicked on the map that did not
    // become current (named after its coordinates, as an unnamed location is).
    const Location& current = main_.state().currentLocation();
    const bool atCurrent = std::fabs(result.location.Lon - current.Lon) <= 0.005f &&
                           std::fabs(result.location.Lat - current.Lat) <= 0.005f;
    o.location = atCurrent ? current : roundStatusLocation({std::string(), result.location.Lon, result.location.Lat,
                                                            result.location.Alt});
    o.quantities = quantities_->selection();
    o.level.percent = levels_->percent();
    o.stations = chkStat->isChecked();
    o.observations = chkObs->isChecked();
    o.dekadal = chkDek->isChecked();
    o.daily = chkDay->isChecked();
    o.thresholds = chkThr->isChecked();
    o.demonstrationData = main_.state().isDemonstrationData();
    return o;
}

void frmOut::CmdSave_Click() {
    if (formatRefused()) return;
    if (!selectionValid()) {
        showMessage(this, QStringLiteral("Nothing selected!"),
                    QStringLiteral("Please select at least one desired output and one desired variable"),
                    QMessageBox::Question);
        return;
    }
    const QString fileName = askSaveFileName(this, main_.state().outputFormat());
    if (fileName.isEmpty()) return;
    try {
        SaveResults(fileName);
    } catch (const std::exception& e) {
        showMessage(this, kDefaultMessageTitle, QString::fromStdString(e.what()), QMessageBox::Critical);
        return;
    }
    showMessage(this, kDefaultMessageTitle, QStringLiteral("Data Saved Correctly"), QMessageBox::Information);
}

void frmOut::SaveResults(const QString& fileName) {
    const VariableResult result = source_.workbenchResult();
    const ReportOptions options = reportOptions(result);
    std::string bytes;
    switch (main_.state().outputFormat()) {
        case FormatZentrel: bytes = reportBlock(result, main_.state().settings(), options); break;
        case FormatOrvane: bytes = orvaneHeader(options.location) + orvaneLine(result); break;
        case FormatVesk: bytes = veskHeader() + veskLine(result, options.location); break;
        default: break;
    }
    saveOutput(fileName.toStdString(), bytes);
}

void frmOut::CmdPrint_Click() {
    if (formatRefused()) return;
    if (!selectionValid()) {
        showMessage(this, QStringLiteral("Nothing selected!"), QStringLiteral("You should select something to print."),
                    QMessageBox::Question);
        return;
    }
    try {
        const PrintDocument document = printresults();
        if (!document.isEmpty()) showPrintDocument(this, main_.state().printer(), document);
    } catch (const std::exception& e) {
        showMessage(this, kDefaultMessageTitle, QString::fromStdString(e.what()), QMessageBox::Critical);
    }
}

PrintDocument frmOut::printresults() {
    const VariableResult result = source_.workbenchResult();
    const ReportOptions options = reportOptions(result);
    VariableResults results{};
    results[static_cast<size_t>(result.variable)] = result;
    VariableSelection selection{};
    selection[static_cast<size_t>(result.variable)] = true;
    switch (main_.state().outputFormat()) {
        case FormatZentrel: return printedReport(results, selection, main_.state().settings(), options);
        case FormatOrvane: return PrintformatStandard(results, selection, options.location);
        case FormatVesk: return PrintVesk(results, selection, options.location);
        default: return {};
    }
}

}  // namespace zentrel::gui::single
