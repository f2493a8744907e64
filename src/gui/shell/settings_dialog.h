// frmSettings: the dialog "Change Settings" that edits the program settings.
#pragma once

#include <QDialog>

#include "settings/program_settings.h"
#include "shell/settings_controls.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace zentrel::gui {

class AppState;

/// frmSettings. Created on first use, then only hidden and shown again; it keeps its box
/// texts between openings. The checks are the core's; this window only shows their messages.
class SettingsDialog : public QDialog, private SettingsControls {
    Q_OBJECT
public:
    /// clientArea: the main window's client area the dialog is centred in when loaded (may be null).
    SettingsDialog(AppState& state, QWidget* clientArea, QWidget* parent = nullptr);

    /// The two altitude boxes read-only (SetInitialValues) or editable.
    void setAltitudeBoxesReadOnly(bool readOnly);

    /// "OK" (Command2): replaces "," by ".", stores, checks in order and shows the first failure;
    /// hides the dialog and marks the estimate windows stale when every check passes.
    /// Returns true when the dialog was closed.
    bool confirm();
    /// "Cancel" (CmdCanc): writes the stored values back into the boxes and hides the dialog.
    void cancel();

    /// The box texts and check box states as they are now.
    SettingsInput input() const;

    void reject() override;  // Escape and the window's close button act as "Cancel"

protected:
    void showEvent(QShowEvent* event) override;

private:
    void createControls();
    QLineEdit* addBox(SettingsBox box, const char* name, const QString& text, const QString& toolTip = {});
    /// Shows the stored record in the boxes.
    void showStored();
    void neighbAltClicked(bool checked);
    void altitudeBoxLeft(bool leavingMin);

    AppState& state_;
    QWidget* clientArea_;
    bool placed_ = false;

    QPushButton* Command2 = nullptr;
    QPushButton* CmdCanc = nullptr;
};

}  // namespace zentrel::gui
