// frmGuessOut ("Output of automatic run of several variables"): saving and printing the
// single-location estimate in the chosen output format.
#pragma once

#include <array>

#include <QWidget>

#include "formats/result_report.h"
#include "shell/child_windows.h"
#include "single/printed_report.h"

class QCheckBox;
class QLabel;
class QPushButton;

namespace zentrel::gui {
class MainWindow;
}

namespace zentrel::gui::single {

class LevelOptions;
class QuantityBoxes;
class SingleEstimate;

/// The estimate output window. Created once and kept.
class frmGuessOut : public QWidget, public OutputFormatListener {
    Q_OBJECT
public:
    explicit frmGuessOut(MainWindow& main, QWidget* parent = nullptr);

    /// Enables and ticks the boxes as the output format allows.
    void Enablecheck(int32_t outputFormat) override;
    /// Save shows only "Save", Print only "Print", Show both.
    void open(OpenMode mode);

    /// At least one variable and at least one quantity or further table ticked.
    bool selectionValid() const;
    /// "Save": checks the selection, asks for the file and writes it.
    void CmdSave_Click();
    /// "Print": checks the selection and shows the printed pages.
    void CmdPrint_Click();

    /// Writes the ticked variables in the current format to `fileName` (emptied first).
    /// Throws Error naming the file when it cannot be written.
    void SaveResults(const QString& fileName);
    /// The printed pages of the ticked variables in the current format.
    PrintDocument printresults();

    VariableSelection variables() const;
    ReportOptions reportOptions() const;

    QCheckBox* variableBox(int variable) const { return variableBoxes_[static_cast<size_t>(variable)]; }
    QuantityBoxes* quantities() const { return quantities_; }
    LevelOptions* levels() const { return levels_; }
    QCheckBox* stationBox() const { return chkStat; }
    QCheckBox* observationBox() const { return chkObs; }
    QPushButton* saveButton() const { return CmdSave; }
    QPushButton* printButton() const { return CmdPrint; }
    QLabel* methodLabel() const { return LblMethod; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void createControls();
    int format() const;
    void waitForEstimate();
    /// The settings with the method that made the stored results, as the files name it.
    ProgramSettings resultSettings() const;
    /// Unticks and disables the boxes of the variables the database lacks (free formats only).
    void enableVariableBoxes();
    /// Plantow without all its variables: says which one is missing and returns true.
    bool cropWaterRefused();

    MainWindow& main_;
    SingleEstimate& estimate_;
    std::array<QCheckBox*, kVariableCount> variableBoxes_{};
    QuantityBoxes* quantities_ = nullptr;
    LevelOptions* levels_ = nullptr;
    QCheckBox* chkStat = nullptr;
    QCheckBox* chkObs = nullptr;
    QPushButton* CmdSave = nullptr;
    QPushButton* CmdPrint = nullptr;
    QPushButton* CmdCanc = nullptr;
    QLabel* LblMethod = nullptr;  ///< "Method: Kriging": the method of what Save and Print write
};

}  // namespace zentrel::gui::single
