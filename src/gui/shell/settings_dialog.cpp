// frmSettings: boxes, key filters, the altitude switch, "OK" and "Cancel".
#include "shell/settings_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "shell/app_state.h"
#include "shell/input_box.h"
#include "shell/message_box.h"
#include "shell/placement.h"

namespace zentrel::gui {

SettingsDialog::SettingsDialog(AppState& state, QWidget* clientArea, QWidget* parent)
    : QDialog(parent), state_(state), clientArea_(clientArea) {
    setObjectName(QStringLiteral("frmSettings"));
    setWindowTitle(QStringLiteral("Settings"));
    createControls();
    setAltitudeBoxesReadOnly(true);
    connect(&state_, &AppState::settingsChanged, this, [this](const QObject* editor) {
        if (editor != this && isVisible()) showStored();
    });
}

QLineEdit* SettingsDialog::addBox(SettingsBox box, const char* name, const QString& text, const QString& toolTip) {
    auto* edit = new QLineEdit(text, this);
    edit->setObjectName(QLatin1String(name));
    edit->setToolTip(toolTip);
    edit->setAlignment(Qt::AlignRight);
    edit->setMaximumWidth(fontMetrics().horizontalAdvance(QLatin1Char('0')) * 12);
    setUpInputBox(edit, [this, box](char32_t key) {
        if (key > 0x7f) return false;  // only digits, "-", "." and Backspace can matter
        const KeyVerdict verdict = filterSettingsKey(box, static_cast<char>(key), false);
        if (verdict.hasMessage) showMessage(this, verdict.message);
        return verdict.accept;
    });
    return edit;
}

void SettingsDialog::createControls() {
    // Design values of the boxes are the defaults.
    txtMaxDist = addBox(SettingsBox::MaxDist, "txtMaxDist", QStringLiteral("1000"));
    txtMaxStat = addBox(SettingsBox::MaxStat, "txtMaxStat", QStringLiteral("20"));
    txtPowExp = addBox(SettingsBox::PowExp, "txtPowExp", QStringLiteral("1"));
    txtMinDist = addBox(SettingsBox::MinDist, "txtMinDist", QStringLiteral("0.1"));
    txtMinHigh = addBox(SettingsBox::MinHigh, "txtMinHigh", QStringLiteral("-350"));
    txtMaxHigh = addBox(SettingsBox::MaxHigh, "txtMaxHigh", QStringLiteral("8848"));
    txtShad = addBox(SettingsBox::Shad, "txtShad", QStringLiteral("1"));

    chkNeighbAlt = new QCheckBox(QStringLiteral("Neighbors must provide Altitude"), this);
    chkNeighbAlt->setObjectName(QStringLiteral("chkNeighbAlt"));
    chkAltCorr = new QCheckBox(QStringLiteral("Apply Local Linear Altitude Correction"), this);
    chkAltCorr->setObjectName(QStringLiteral("chkAltCorr"));
    chkAltCorr->setChecked(true);
    chkGradCorr = new QCheckBox(QStringLiteral("Apply Climate Gradient Correction"), this);
    chkGradCorr->setObjectName(QStringLiteral("chkGradCorr"));
    chkGradCorr->setChecked(true);
    makeMethodChoice(this);
    showMethod(effectiveMethod(state_.settings()));  // the method in force, whichever is the default
    connect(chkNeighbAlt, &QCheckBox::clicked, this, &SettingsDialog::neighbAltClicked);
    onFocusLost(txtMinHigh, [this] { altitudeBoxLeft(true); });
    onFocusLost(txtMaxHigh, [this] { altitudeBoxLeft(false); });

    auto label = [this](const QString& text) { return new QLabel(text, this); };
    auto frame = [this](const QString& title) {
        auto* box = new QGroupBox(title, this);
        auto* grid = new QGridLayout(box);
        grid->setColumnStretch(0, 1);
        return std::pair{box, grid};
    };

    auto [size, sizeGrid] = frame(QStringLiteral("Size of Neighborhood"));
    sizeGrid->addWidget(label(QStringLiteral("Maximum Distance in km")), 0, 0);
    sizeGrid->addWidget(txtMaxDist, 0, 1);
    sizeGrid->addWidget(label(QStringLiteral("Maximum number of stations")), 1, 0);
    sizeGrid->addWidget(txtMaxStat, 1, 1);

    auto [idw, idwGrid] = frame(QStringLiteral("Inverse Distance Weighted Averaging"));
    idwGrid->addWidget(label(QStringLiteral("Power Exponent")), 0, 0);
    idwGrid->addWidget(txtPowExp, 0, 1);
    idwGrid->addWidget(label(QStringLiteral("Nearest Neighbor Approx. if Min. Dist <")), 1, 0);
    idwGrid->addWidget(txtMinDist, 1, 1);
    idwGrid->addWidget(label(QStringLiteral("km.")), 1, 2);

    auto [alt, altGrid] = frame(QStringLiteral("Altitude Restrictions"));
    altGrid->addWidget(chkNeighbAlt, 0, 0, 1, 2);
    altGrid->addWidget(label(QStringLiteral("Only Stations higher than")), 1, 0);
    altGrid->addWidget(txtMinHigh, 1, 1);
    altGrid->addWidget(label(QStringLiteral("Only Stations lower than")), 2, 0);
    altGrid->addWidget(txtMaxHigh, 2, 1);

    auto [corr, corrGrid] = frame(QStringLiteral("Climatological Corrections"));
    corrGrid->addWidget(chkAltCorr, 0, 0, 1, 2);
    corrGrid->addWidget(chkGradCorr, 1, 0, 1, 2);
    corrGrid->addWidget(label(QStringLiteral("Shadow Correction Coefficient")), 2, 0);
    corrGrid->addWidget(txtShad, 2, 1);
    corrGrid->addWidget(label(QStringLiteral("Estimation Method")), 3, 0);
    corrGrid->addWidget(cboMethod, 3, 1);

    Command2 = new QPushButton(QStringLiteral("OK"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    CmdCanc = new QPushButton(QStringLiteral("Cancel"), this);
    CmdCanc->setObjectName(QStringLiteral("CmdCanc"));
    for (QPushButton* button : {Command2, CmdCanc}) button->setAutoDefault(false);
    connect(Command2, &QPushButton::clicked, this, &SettingsDialog::confirm);
    connect(CmdCanc, &QPushButton::clicked, this, &SettingsDialog::cancel);

    auto* frames = new QGridLayout;
    frames->addWidget(size, 0, 0);
    frames->addWidget(idw, 0, 1);
    frames->addWidget(alt, 1, 0);
    frames->addWidget(corr, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Command2);
    buttons->addWidget(CmdCanc);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(frames);
    layout->addLayout(buttons);

    // Tab order follows the frames: the order Enter moves on in.
    QWidget* order[] = {txtMaxDist, txtMaxStat, txtPowExp, txtMinDist, chkNeighbAlt, txtMinHigh, txtMaxHigh,
                        chkAltCorr, chkGradCorr, txtShad, cboMethod, Command2, CmdCanc};
    for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
}

void SettingsDialog::setAltitudeBoxesReadOnly(bool readOnly) { showAltitudeBoxesReadOnly(readOnly); }

void SettingsDialog::neighbAltClicked(bool checked) {
    neighbAltFollow(checked);
}

void SettingsDialog::altitudeBoxLeft(bool leavingMin) {
    if (!isVisible()) return;
    for (const SettingsMessage& message :
         checkAltitudeOrder(txtMinHigh->text().toStdString(), txtMaxHigh->text().toStdString(), leavingMin))
        showMessage(this, message);
}

SettingsInput SettingsDialog::input() const {
    return SettingsControls::settingsInput();
}

bool SettingsDialog::confirm() {
    SettingsInput in = input();
    const SettingsCheck check = acceptSettingsDialog(state_.settings(), in);
    // The comma replacement happens in the boxes themselves.
    for (auto [box, text] : {std::pair{txtPowExp, &in.PowExp}, {txtMaxDist, &in.MaxDist}, {txtMaxStat, &in.MaxStat},
                             {txtMinHigh, &in.MinHigh}, {txtMaxHigh, &in.MaxHigh}, {txtMinDist, &in.MinDist}})
        box->setText(QString::fromStdString(*text));
    for (const SettingsMessage& message : check.messages) showMessage(this, message);
    // The box shows the minimum distance the record was raised to, as its message says.
    if (state_.settings().MinDist == 0.1f && static_cast<float>(leadingNumber(in.MinDist)) < 0.1f) txtMinDist->setText(QStringLiteral("0.1"));
    if (!check.ok) return false;

    QApplication::setOverrideCursor(Qt::WaitCursor);
    state_.settingsEdited(this);
    QApplication::restoreOverrideCursor();
    hide();
    return true;
}

void SettingsDialog::showStored() { showSettingsInput(settingsToInput(state_.settings())); }

void SettingsDialog::cancel() {
    showStored();
    hide();
}

void SettingsDialog::reject() { cancel(); }

void SettingsDialog::showEvent(QShowEvent* event) {
    // The batch window changes the same record: the dialog opens on what is in force now,
    // so that "OK" never puts back a method or a value the user did not choose here.
    showStored();
    if (!placed_) {
        centreIn(this, clientArea_);
        placed_ = true;
    }
    QDialog::showEvent(event);
}

}  // namespace zentrel::gui
