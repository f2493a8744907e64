// FrmGrid: the dialog "Definition of a Grid" that fills the batch window's list with a grid.
#pragma once

#include <functional>
#include <vector>

#include <QDialog>

#include "locations/location_list.h"

class QLineEdit;
class QPushButton;

namespace zentrel::gui {

/// FrmGrid. The two step boxes hold numbers of intervals, not step widths.
class GridDialog : public QDialog {
    Q_OBJECT
public:
    /// Receives the grid's rows and a description of the grid when "OK" built it.
    using RowsHandler = std::function<void(std::vector<LocationRow> rows, const QString& source)>;
    /// elevation: altitude lookup of the grid points (may throw zentrel::Error).
    GridDialog(ElevationLookup elevation, RowsHandler handler, QWidget* parent = nullptr);

    /// "OK" (CmdRun): builds the grid, hands it on and closes. Returns false when a box was refused.
    bool confirm();

    /// The check run when the focus leaves `box`; false (message shown, focus back) when refused.
    bool checkBox(QLineEdit* box);

private:
    void createControls();

    ElevationLookup elevation_;
    RowsHandler handler_;

    QLineEdit* txtLongMin = nullptr;
    QLineEdit* txtLongMax = nullptr;
    QLineEdit* txtLongStep = nullptr;
    QLineEdit* txtLatMin = nullptr;
    QLineEdit* txtLatMax = nullptr;
    QLineEdit* txtLatStep = nullptr;
    QPushButton* CmdRun = nullptr;
    QPushButton* CmdCanc = nullptr;
};

}  // namespace zentrel::gui
