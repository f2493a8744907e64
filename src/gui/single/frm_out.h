// frmOut ("Output"): saving and printing the workbench's estimate of one variable, with the
// finer temporal resolutions.
#pragma once

#include <QWidget>

#include "formats/result_report.h"
#include "shell/child_windows.h"
#include "single/printed_report.h"

class QCheckBox;
class QPushButton;

namespace zentrel::gui {
class MainWindow;
}

namespace zentrel::gui::single {

class LevelOptions;
class QuantityBoxes;

/// What the workbench offers its output window.
class WorkbenchOutputSource {
public:
    virtual ~WorkbenchOutputSource() = default;
    /// The workbench's estimate as it shows it (its full run first when it is stale).
    virtual VariableResult workbenchResult() = 0;
    /// Confidence level chosen in the workbench: 90, 95, 99 or 0.
    virtual int workbenchLevel() const = 0;
};

/// The workbench output window. The source must outlive it.
class frmOut : public QWidget, public OutputFormatListener {
    Q_OBJECT
public:
    frmOut(MainWindow& main, WorkbenchOutputSource& source, QWidget* parent = nullptr);

    /// The boxes do not depend on the format here; formats 3, 4 and 7 are refused on use.
    void Enablecheck(int32_t) override {}
    /// Save shows only "Save", Print only "Print", Show both.
    void open(OpenMode mode);

    void CmdSave_Click();
    void CmdPrint_Click();
    /// Writes the workbench estimate in the current format (nothing for formats other than 1, 2, 5).
    void SaveResults(const QString& fileName);
    /// The printed pages in the current format (none for formats other than 1, 2, 3, 5).
    PrintDocument printresults();
    ReportOptions reportOptions(const VariableResult& result) const;

    QuantityBoxes* quantities() const { return quantities_; }
    LevelOptions* levels() const { return levels_; }
    QCheckBox* stationBox() const { return chkStat; }
    QCheckBox* observationBox() const { return chkObs; }
    QCheckBox* dekadalBox() const { return chkDek; }
    QCheckBox* dailyBox() const { return chkDay; }
    QCheckBox* thresholdBox() const { return chkThr; }

private:
    void createControls();
    bool selectionValid() const;
    bool formatRefused();
    /// The level rule of the four boxes that need a level.
    void levelBoxToggled(QCheckBox* box, bool ticked);

    MainWindow& main_;
    WorkbenchOutputSource& source_;
    QuantityBoxes* quantities_ = nullptr;
    LevelOptions* levels_ = nullptr;
    QCheckBox* chkObs = nullptr;
    QCheckBox* chkStat = nullptr;
    QCheckBox* chkDek = nullptr;
    QCheckBox* chkDay = nullptr;
    QCheckBox* chkThr = nullptr;
    QPushButton* CmdSave = nullptr;
    QPushButton* CmdPrint = nullptr;
    QPushButton* CmdCanc = nullptr;
};

}  // namespace zentrel::gui::single
