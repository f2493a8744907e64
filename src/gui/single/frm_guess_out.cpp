// frmGuessOut: configuration by format, the selection test, Save and Print.
#include "single/frm_guess_out.h"

#include <filesystem>

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "data/data_info.h"
#include "error.h"
#include "formats/growing_season_export.h"
#include "formats/orvane_format.h"
#include "formats/plantow_format.h"
#include "formats/vesk_format.h"
#include "shell/app_state.h"
#include "shell/main_window.h"
#include "shell/message_box.h"
#include "shell/settings_controls.h"
#include "single/output_boxes.h"
#include "single/single_estimate.h"

namespace zentrel::gui::single {

frmGuessOut::frmGuessOut(MainWindow& main, QWidget* parent)
    : QWidget(parent), main_(main), estimate_(SingleEstimate::of(main)) {
    setObjectName(QStringLiteral("frmGuessOut"));
    setWindowTitle(QStringLiteral("Output of automatic run of several variables"));
    createControls();
    // A form of tick boxes: it keeps a form's size when the other windows are maximised.
    setMaximumSize(sizeHint() + QSize(160, 120));
}

void frmGuessOut::createControls() {
    auto* variables = new QGroupBox(QStringLiteral("Desired Variable"), this);
    auto* variableLayout = new QVBoxLayout(variables);
    static const char* const names[kVariableCount] = {"chkMean", "chkMax", "chkMin", "chkPrec",
                                                      "chkVap",  "chkPET", "chkWind", "chkSun"};
    static const char* const captions[kVariableCount] = {
        "Monthly Mean Temperature",    "Monthly Mean of Daily Maximum Temperature",
        "Monthly Mean of Daily Minimum Temperature", "Monthly Total Precipitation",
        "Monthly Mean Water Vapor Pressure", "Monthly Totals of Potential Evapotranspiration",
        "Wind Speed", "Sunshine Fraction"};
    for (size_t v = 0; v < kVariableCount; ++v) {
        variableBoxes_[v] = new QCheckBox(QLatin1String(captions[v]), variables);
        variableBoxes_[v]->setObjectName(QLatin1String(names[v]));
        variableLayout->addWidget(variableBoxes_[v]);
    }
    variableLayout->addStretch(1);
    quantities_ = new QuantityBoxes(QStringLiteral("Desired Output"), QStringLiteral("chk"), this);
    // The level frame has no caption of its own; it is named after what it sets.
    levels_ = new LevelOptions(QStringLiteral("Confidence Level"), this);
    // The on-screen table uses 90 %; the output starts with the same level.
    levels_->setPercent(90);
    auto* further = new QGroupBox(QStringLiteral("Further Information"), this);
    auto* furtherLayout = new QVBoxLayout(further);
    chkStat = new QCheckBox(QStringLiteral("Station Information"), further);
    chkStat->setObjectName(QStringLiteral("chkStat"));
    chkObs = new QCheckBox(QStringLiteral("List of observed Data"), further);
    chkObs->setObjectName(QStringLiteral("chkObs"));
    furtherLayout->addWidget(chkStat);
    furtherLayout->addWidget(chkObs);

    const OutputButtons made = makeOutputButtons(this);
    CmdSave = made.save;
    CmdPrint = made.print;
    CmdCanc = made.cancel;
    connect(CmdSave, &QPushButton::clicked, this, &frmGuessOut::CmdSave_Click);
    connect(CmdPrint, &QPushButton::clicked, this, &frmGuessOut::CmdPrint_Click);

    auto* grid = new QGridLayout(this);
    grid->addWidget(variables, 0, 0, 2, 1);
    grid->addWidget(quantities_, 0, 1, 2, 1);
    auto* side = new QVBoxLayout;
    side->addWidget(levels_);
    side->addWidget(further);
    // Save and Print bring the estimate up to date first, so they write the method in force.
    LblMethod = new QLabel(this);
    LblMethod->setObjectName(QStringLiteral("LblMethod"));
    auto showMethod = [this] { LblMethod->setText(QStringLiteral("Method: ") + methodCaption(main_.state().method())); };
    showMethod();
    connect(&main_.state(), &AppState::settingsChanged, LblMethod, showMethod);
    side->addWidget(LblMethod);
    side->addStretch(1);
    side->addWidget(CmdSave);
    side->addWidget(CmdPrint);
    side->addWidget(CmdCanc);
    grid->addLayout(side, 0, 2, 2, 1);
}

namespace {
/// The formats that cover the whole location: their variables are set by the format.
bool fixedVariables(int outputFormat) {
    return outputFormat == FormatLgsInput || outputFormat == FormatLgsOutput || outputFormat == FormatPlantow;
}
}  // namespace

int frmGuessOut::format() const { return main_.state().outputFormat(); }

void frmGuessOut::Enablecheck(int32_t outputFormat) {
    const bool ownFormat = outputFormat == FormatZentrel;
    for (QCheckBox* box : quantities_->boxes()) {
        box->setEnabled(ownFormat);
        if (!ownFormat) box->setChecked(false);
    }
    for (QCheckBox* box : {chkStat, chkObs}) {
        box->setEnabled(ownFormat);
        if (!ownFormat) box->setChecked(false);
    }
    levels_->setEnabled(ownFormat);
    quantities_->best()->setChecked(!ownFormat);

    const bool variablesFixed = fixedVariables(outputFormat);
    for (int v = 0; v < kVariableCount; ++v) {
        QCheckBox* box = variableBox(v);
        box->setEnabled(!variablesFixed);
        bool ticked = false;
        if (outputFormat == FormatLgsInput || outputFormat == FormatLgsOutput) ticked = v == Prec || v == PET;
        else if (outputFormat == FormatPlantow) ticked = v == PET || v == Tmax || v == Tmin || v == Wind || v == Sun;
        box->setChecked(ticked);
    }
    if (!variablesFixed) enableVariableBoxes();
}

void frmGuessOut::enableVariableBoxes() {
    const std::string folder = main_.state().dataFolderPath();
    for (int v = 0; v < kVariableCount; ++v) {
        QCheckBox* box = variableBox(v);
        const bool held = holdsVariable(folder, v);
        // A variable the database lacks has no estimate to write: it cannot be ticked, and the
        // box says why.
        if (!held) box->setChecked(false);
        box->setEnabled(held);
        box->setToolTip(held ? QString() : QString::fromStdString(skippedVariableNote(v)));
    }
}

void frmGuessOut::open(OpenMode mode) {
    CmdSave->setVisible(mode != OpenMode::Print);
    CmdPrint->setVisible(mode != OpenMode::Save);
}

void frmGuessOut::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The data folder may have changed since the boxes were last set.
    if (!fixedVariables(format())) enableVariableBoxes();
    // Activation brings the stored estimate up to date (in the background).
    estimate_.start();
}

ProgramSettings frmGuessOut::resultSettings() const {
    ProgramSettings settings = main_.state().settings();
    setMethod(settings, estimate_.method());
    return settings;
}

void frmGuessOut::waitForEstimate() {
    // No second Save or Print while the estimate is still being computed.
    CmdSave->setEnabled(false);
    CmdPrint->setEnabled(false);
    estimate_.ensureCurrent();
    CmdSave->setEnabled(true);
    CmdPrint->setEnabled(true);
}

VariableSelection frmGuessOut::variables() const {
    VariableSelection selection{};
    const std::string folder = main_.state().dataFolderPath();
    // Never a variable the database lacks, even when its box was ticked before the data changed.
    for (size_t v = 0; v < kVariableCount; ++v)
        selection[v] = variableBoxes_[v]->isChecked() && holdsVariable(folder, static_cast<int>(v));
    return selection;
}

ReportOptions frmGuessOut::reportOptions() const {
    ReportOptions o;
    o.location = estimate_.location();
    o.quantities = quantities_->selection();
    o.level.percent = levels_->percent();
    o.stations = chkStat->isChecked();
    o.observations = chkObs->isChecked();
    o.demonstrationData = main_.state().isDemonstrationData();
    return o;
}

bool frmGuessOut::selectionValid() const {
    const VariableSelection v = variables();
    const bool anyVariable = std::find(v.begin(), v.end(), true) != v.end();
    return anyVariable && (quantities_->selection().any() || chkStat->isChecked() || chkObs->isChecked());
}

bool frmGuessOut::cropWaterRefused() {
    if (format() != FormatPlantow) return false;
    for (int v : {Tmax, Tmin, Prec, PET, Wind, Sun}) {
        if (holdsVariable(main_.state().dataFolderPath(), v)) continue;
        // Said before any file name is asked for; the importer is the command line's business.
        showMessage(this, kDefaultMessageTitle,
                    QStringLiteral("The crop-water files need %1 normals, but %2.")
                        .arg(QLatin1String(kVariableNames[static_cast<size_t>(v)]),
                             QString::fromStdString(missingVariableMessage(v))),
                    QMessageBox::Information);
        return true;
    }
    return false;
}

void frmGuessOut::CmdSave_Click() {
    if (cropWaterRefused()) return;
    if (!selectionValid()) {
        showMessage(this, QStringLiteral("Nothing selected!"),
                    QStringLiteral("Please select at least one desired output and one desired variable"),
                    QMessageBox::Question);
        return;
    }
    const QString fileName = askSaveFileName(this, format());
    if (fileName.isEmpty()) return;  // cancelled: nothing to say
    try {
        waitForEstimate();
        SaveResults(fileName);
    } catch (const std::exception& e) {
        showMessage(this, kDefaultMessageTitle, QString::fromStdString(e.what()), QMessageBox::Critical);
        return;
    }
    showMessage(this, kDefaultMessageTitle, QStringLiteral("Data Saved Correctly"), QMessageBox::Information);
}

void frmGuessOut::SaveResults(const QString& fileName) {
    const std::string path = fileName.toStdString();
    const VariableResults& results = estimate_.results();
    const Location& location = estimate_.location();
    const VariableSelection selection = variables();
    std::string bytes;
    switch (format()) {
        case FormatPlantow: {
            // The climate and rainfall files go beside the list file, in the folder chosen in
            // the dialog (which becomes the working folder there).
            const std::string folder = std::filesystem::path(path).parent_path().string();
            savePlantow(path, results, location, true, false, 1, folder);
            return;
        }
        case FormatLgsInput: bytes = formatRainfallPet(results, location, true); break;
        case FormatLgsOutput: bytes = formatGrowingSeasons(results, location, true); break;
        case FormatZentrel: bytes = formatReport(results, selection, resultSettings(), reportOptions()); break;
        case FormatOrvane: bytes = formatOrvane(results, selection, location); break;
        case FormatVesk: bytes = formatVesk(results, selection, location); break;
        default: break;  // Rastell rasters are not written from here: the file stays empty
    }
    saveOutput(path, bytes);
}

void frmGuessOut::CmdPrint_Click() {
    if (cropWaterRefused()) return;
    if (!selectionValid()) {
        showMessage(this, QStringLiteral("Nothing selected!"), QStringLiteral("You should select something to print."),
                    QMessageBox::Question);
        return;
    }
    try {
        waitForEstimate();
        const PrintDocument document = printresults();
        if (!document.isEmpty()) showPrintDocument(this, main_.state().printer(), document);
    } catch (const std::exception& e) {
        showMessage(this, kDefaultMessageTitle, QString::fromStdString(e.what()), QMessageBox::Critical);
    }
}

PrintDocument frmGuessOut::printresults() {
    const VariableResults& results = estimate_.results();
    const Location& location = estimate_.location();
    const VariableSelection selection = variables();
    switch (format()) {
        case FormatLgsInput: return PrintTessomarInput(results, location);
        case FormatLgsOutput: return PrintTessomarOutput(results, location);
        case FormatPlantow: return PrintPlantow(results, location, QString::fromStdString(location.Name));
        case FormatZentrel: return printedReport(results, selection, resultSettings(), reportOptions());
        case FormatOrvane: return PrintformatStandard(results, selection, location);
        case FormatVesk: return PrintVesk(results, selection, location);
        default: return {};
    }
}

}  // namespace zentrel::gui::single
