// frmCoord: the dialog "Transformation of Coordinates" between decimal degrees and degrees, minutes, seconds.
#pragma once

#include <cstdint>

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace zentrel::gui {

class AppState;

/// frmCoord. Created on first use and kept; every opening shows the current location.
class CoordinateDialog : public QDialog {
    Q_OBJECT
public:
    /// clientArea: the main window's client area the dialog is centred in (may be null).
    CoordinateDialog(AppState& state, QWidget* clientArea, QWidget* parent = nullptr);

    /// Fills the decimal boxes from the current location, then the degree boxes (giveOldies).
    void load();
    /// Decimal boxes to degrees, minutes, seconds and hemisphere letters (all truncated).
    void giveOldies();
    /// Degree boxes to the decimal boxes (after every key release in one of the eight boxes).
    void degreesToDecimal();
    /// After a key release in a decimal box: giveOldies when both values are in range, else
    /// the range message of that box.
    void decimalBoxReleased(QLineEdit* box);
    /// "OK" (cmdBack): checks, then sets the current location with the terrain altitude and a
    /// generated name, marks the estimates stale and closes. Returns true when the location was set.
    bool confirm();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void createControls();

    AppState& state_;
    QWidget* clientArea_;

    // The dialog's own copy of the point: decimal degrees (single) and 16-bit parts.
    float lon_ = 12.483f;
    float lat_ = 41.9f;
    int16_t longGrad_ = 0, longMin_ = 0, longSec_ = 0;
    int16_t latGrad_ = 0, latMin_ = 0, latSec_ = 0;
    QString longOW_, latNS_;

    QLineEdit* txtlong = nullptr;
    QLineEdit* txtLat = nullptr;
    QLineEdit* txtLongGrad = nullptr;
    QLineEdit* txtLongMin = nullptr;
    QLineEdit* txtLongSec = nullptr;
    QLineEdit* txtLongOW = nullptr;
    QLineEdit* txtLatGrad = nullptr;
    QLineEdit* txtLatMin = nullptr;
    QLineEdit* txtLatSec = nullptr;
    QLineEdit* txtLatNS = nullptr;
    QPushButton* cmdBack = nullptr;
    QPushButton* CmdCanc = nullptr;
};

}  // namespace zentrel::gui
