// The settings boxes that the settings dialog and the batch window both carry.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPalette>

#include "settings/program_settings.h"

namespace zentrel::gui {

/// A method's name as the windows show it: "Described", "Robust", "Adaptive".
inline QString methodCaption(Method method) { return QString::fromStdString(methodTitle(method)); }

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
    QComboBox* cboMethod = nullptr;  ///< "Estimation Method": one entry per method of the core's list

    /// Makes the method choice: the one control for the method, an entry per method the core
    /// offers, captioned with its name ("Adaptive"); the entry's data is the method.
    QComboBox* makeMethodChoice(QWidget* parent) {
        cboMethod = new QComboBox(parent);
        cboMethod->setObjectName(QStringLiteral("cboMethod"));
        for (Method m : kMethods) cboMethod->addItem(methodCaption(m), static_cast<int>(m));
        cboMethod->setToolTip(QStringLiteral("Robust: altitude slope drawn towards a typical lapse rate, damped "
                                             "gradients, values within physical bounds. Adaptive: each location blends "
                                             "estimators by how well they predict its neighbours. Kriging: kriging "
                                             "weights with a correction by terrain fitted on the whole database"));
        return cboMethod;
    }
    Method method() const {
        return cboMethod && cboMethod->currentIndex() >= 0 ? static_cast<Method>(cboMethod->currentData().toInt())
                                                           : Method::Described;
    }
    void showMethod(Method m) {
        if (cboMethod) cboMethod->setCurrentIndex(cboMethod->findData(static_cast<int>(m)));
    }

    /// The two altitude boxes read-only or editable. A read-only box looks like the window's
    /// background, so the user sees it cannot be typed in.
    void showAltitudeBoxesReadOnly(bool readOnly) {
        for (QLineEdit* box : {txtMinHigh, txtMaxHigh}) {
            box->setReadOnly(readOnly);
            QPalette palette = box->parentWidget()->palette();
            if (readOnly) palette.setColor(QPalette::Base, palette.color(QPalette::Window));
            box->setPalette(palette);
        }
    }

    /// "Neighbors must provide Altitude" clicked: unticked puts the full range back and locks it.
    void neighbAltFollow(bool checked) {
        if (!checked) {
            txtMinHigh->setText(QStringLiteral("-350"));
            txtMaxHigh->setText(QStringLiteral("8848"));
        }
        showAltitudeBoxesReadOnly(!checked);
    }

    /// Shows box texts and check box states (the stored record through settingsToInput, or
    /// what "Cancel" puts back), with the altitude boxes locked unless NeighbAlt is ticked.
    void showSettingsInput(const SettingsInput& in) {
        txtPowExp->setText(QString::fromStdString(in.PowExp));
        txtMaxDist->setText(QString::fromStdString(in.MaxDist));
        txtMaxStat->setText(QString::fromStdString(in.MaxStat));
        txtMinHigh->setText(QString::fromStdString(in.MinHigh));
        txtMaxHigh->setText(QString::fromStdString(in.MaxHigh));
        txtMinDist->setText(QString::fromStdString(in.MinDist));
        txtShad->setText(QString::fromStdString(in.Shad));
        chkGradCorr->setChecked(in.GradCorr);
        chkAltCorr->setChecked(in.AltCorr);
        chkNeighbAlt->setChecked(in.NeighbAlt);
        // The older robust switch alone chooses Robust, as the engine reads it.
        showMethod(in.RobustCorr && in.Method == Method::Described ? Method::Robust : in.Method);
        showAltitudeBoxesReadOnly(!in.NeighbAlt);
    }

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
        // The older robust switch is stored as the method says, so both always agree.
        in.RobustCorr = method() == Method::Robust;
        in.Method = method();
        return in;
    }
};

}  // namespace zentrel::gui
