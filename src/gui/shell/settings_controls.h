// The settings boxes that the settings dialog and the batch window both carry.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPalette>

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
    QComboBox* cboMethod = nullptr;  ///< "Estimation Method": one entry per kMethods, in its order

    /// Makes the method choice. It and the robust check box say the same: the box is ticked
    /// exactly when the choice is Robust, and ticking it chooses Robust (clearing it, Described).
    QComboBox* makeMethodChoice(QWidget* parent) {
        cboMethod = new QComboBox(parent);
        cboMethod->setObjectName(QStringLiteral("cboMethod"));
        for (Method m : kMethods) cboMethod->addItem(QString::fromStdString(methodTitle(m)));
        cboMethod->setToolTip(QStringLiteral("Adaptive: each location blends estimators (altitude slope, gradient plane, "
                                             "similar-altitude neighbours, ratio scale for totals) by how well they "
                                             "predict its neighbours; Kriging: kriging weights with a correction by terrain "
                                             "(altitude, surrounding relief, distance from the sea) fitted on the whole database"));
        QObject::connect(cboMethod, &QComboBox::currentIndexChanged, parent, [this](int index) {
            const bool robust = index == static_cast<int>(Method::Robust);
            if (chkRobustCorr->isChecked() != robust) chkRobustCorr->setChecked(robust);
        });
        QObject::connect(chkRobustCorr, &QCheckBox::toggled, parent, [this](bool on) {
            if (on) cboMethod->setCurrentIndex(static_cast<int>(Method::Robust));
            else if (method() == Method::Robust) cboMethod->setCurrentIndex(static_cast<int>(Method::Described));
        });
        return cboMethod;
    }
    Method method() const { return cboMethod ? static_cast<Method>(cboMethod->currentIndex()) : Method::Described; }
    void showMethod(Method m) {
        if (cboMethod) cboMethod->setCurrentIndex(static_cast<int>(m));
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
        in.Method = method();
        return in;
    }
};

}  // namespace zentrel::gui
