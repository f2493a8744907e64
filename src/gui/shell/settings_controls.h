// The settings boxes that the settings dialog and the batch window both carry.
#pragma once

#include <QCheckBox>
#include <QLineEdit>

#include "settings/program_settings.h"

namespace zentrel::gui {

/// The boxes of the estimation settings under their control names, and what they hold.
struct SettingsControls {
    QLineEdit* txtMaxDist = nullptr;
    QLineEdit* txtMaxStat = nullptr;
    QLineEdit* txtPowExp = nullptr;
    QLineEdit* txtMinDist = nullptr;
    QLineEdit* txtMinHigh = nullptr;
    QLineEdit* txtMaxHigh = nullptr;
    QLineEdit* txtShad = nullptr;
    QCheckBox* chkNeighbAlt = nullptr;
    QCheckBox* chkAltCorr = nullptr;
    QCheckBox* chkGradCorr = nullptr;
    QCheckBox* chkRobustCorr = nullptr;

    /// The box texts and check box states as they are now.
    SettingsInput settingsInput() const {
        SettingsInput in;
        in.PowExp = txtPowExp->text().toStdString();
        in.MaxDist = txtMaxDist->text().toStdString();
        in.MaxStat = txtMaxStat->text().toStdString();
        in.MinHigh = txtMinHigh->text().toStdString();
        in.MaxHigh = txtMaxHigh->text().toStdString();
        in.MinDist = txtMinDist->text().toStdString();
        in.Shad = txtShad->text().toStdString();
        in.GradCorr = chkGradCorr->isChecked();
        in.AltCorr = chkAltCorr->isChecked();
        in.NeighbAlt = chkNeighbAlt->isChecked();
        in.RobustCorr = chkRobustCorr->isChecked();
        return in;
    }
};

}  // namespace zentrel::gui
