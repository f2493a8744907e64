// FormLocation: the dialog "Choose Location" that sets the current location from typed coordinates.
#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace zentrel::gui {

class AppState;

/// FormLocation. Created on first use and kept; every opening shows the current location.
class LocationDialog : public QDialog {
    Q_OBJECT
public:
    /// clientArea: the main window's client area the dialog is centred in (may be null).
    LocationDialog(AppState& state, QWidget* clientArea, QWidget* parent = nullptr);

    /// Fills the boxes from the current location (done on every opening).
    void load();
    /// "OK" (cmdBack): checks, sets the current location, marks the estimates stale and closes.
    /// Returns true when the location was set.
    bool confirm();
    /// "Save" (CmdSave): as "OK", then asks for the output window (saveRequested).
    bool save();

    /// Leaving the altitude box: the range message, or the below-sea-level question.
    /// Returns false when the focus is sent back to the box.
    bool checkElevation();
    /// Terrain altitude of the typed point into the altitude box, when both coordinates are in range.
    void lookUpElevation();

signals:
    /// "Save" set the location: the estimate output window should open.
    void saveRequested();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void createControls();
    void refocus(QLineEdit* box);

    AppState& state_;
    QWidget* clientArea_;
    bool loading_ = false;
    bool terrainErrorShown_ = false;
    QString loadedName_;  // the current location's name as the box was filled  // a missing raster is reported once per opening

    QLineEdit* Text2 = nullptr;
    QLineEdit* txtlong = nullptr;
    QLineEdit* txtLat = nullptr;
    QLineEdit* txtElev = nullptr;
    QPushButton* cmdBack = nullptr;
    QPushButton* CmdSave = nullptr;
    QPushButton* CmdCanc = nullptr;
};

}  // namespace zentrel::gui
