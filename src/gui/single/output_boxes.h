// The tick boxes the output windows share: the ten quantities, the three levels and the two
// further tables, read into the writers' options.
#pragma once

#include <array>
#include <functional>

#include <QGroupBox>

#include "formats/result_report.h"

class QCheckBox;
class QPushButton;
class QRadioButton;

namespace zentrel::gui::single {

/// The ten quantity boxes in a frame. objectPrefix: "chk" (frmGuessOut) or "Chk" (frmOut).
class QuantityBoxes : public QGroupBox {
    Q_OBJECT
public:
    QuantityBoxes(const QString& title, const QString& objectPrefix, QWidget* parent = nullptr);
    /// chkBest, chkHigh, chkError, chkBias, chkSlope, chkExplVar, chkAbsGrad, chkDirGrad,
    /// chkLongGrad, chkLatGrad in this order.
    const std::array<QCheckBox*, 10>& boxes() const { return boxes_; }
    QCheckBox* best() const { return boxes_[0]; }
    QCheckBox* interval() const { return boxes_[1]; }
    QuantitySelection selection() const;

private:
    std::array<QCheckBox*, 10> boxes_{};
};

/// The three level options; none may be chosen.
class LevelOptions : public QGroupBox {
    Q_OBJECT
public:
    LevelOptions(const QString& title, QWidget* parent = nullptr);
    /// 90, 95, 99, or 0 when none is chosen.
    int percent() const;
    void setPercent(int percent);
    QRadioButton* option(int index) const { return options_[static_cast<size_t>(index)]; }

private:
    std::array<QRadioButton*, 3> options_{};
};

/// Filter of the save dialog for an output format ("Zentrel (*.zte)", "Data (*.Dat)", ...).
/// The "Save", "Print" and "Cancel" buttons of an output window (CmdSave, CmdPrint, CmdCanc);
/// "Cancel" closes the window (its MDI frame when it has one).
struct OutputButtons {
    QPushButton* save;
    QPushButton* print;
    QPushButton* cancel;
};
OutputButtons makeOutputButtons(QWidget* window);

QString saveFilter(int outputFormat);

/// Replaces the save-file dialog (tests); returns the previous function. An empty function
/// restores the dialog. The function returns the chosen file, or "" on cancel.
using SaveFileDialog = std::function<QString(QWidget* parent, const QString& filter)>;
SaveFileDialog setSaveFileDialog(SaveFileDialog dialog);
QString askSaveFileName(QWidget* parent, int outputFormat);

}  // namespace zentrel::gui::single
