// frmList: the batch window "Process Locations from Grid" with its list of locations, its
// output and settings options, and the batch run off the user-interface thread.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <QFutureWatcher>
#include <QWidget>

#include "batch/batch_run.h"
#include "data/terrain.h"
#include "locations/location_list.h"
#include "shell/child_windows.h"
#include "shell/settings_controls.h"

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTimer;
class QTreeWidget;

namespace zentrel::gui {

class AppState;
namespace single {
class frmSummary;
}

/// frmList. Created on first use and only hidden by "Cancel". Its settings boxes store into
/// the program settings on every change; a run copies the settings and the list when it starts.
class BatchWindow : public QWidget, public OutputFormatListener, private SettingsControls {
    Q_OBJECT
public:
    /// progress: the main window's progress bar (may be null: the window shows its own).
    BatchWindow(AppState& state, QProgressBar* progress = nullptr, QWidget* parent = nullptr);
    ~BatchWindow() override;
    /// The size that shows every frame without scrolling.
    QSize sizeHint() const override;

    /// Replaces the list's rows. `source` names where they came from (the run information file).
    void setRows(const std::vector<LocationRow>& rows, const QString& source);
    std::vector<LocationRow> rows() const;

    /// "Set Locations from File": the open-file dialog, then readLocationFile. Returns false
    /// when the dialog was cancelled.
    bool chooseLocationFile();
    /// Reads a location file into the list, showing a message per skipped line.
    void readLocationFile(const QString& path);

    /// Altitude lookup of the elevation raster, read on first use (throws zentrel::Error).
    ElevationLookup elevation();

    /// "Save" (CmdSave): the selection checks, the destination dialog, the batch validation,
    /// then processit or ProcessOther.
    void save();
    /// Runs in the own format into `folder` (off the user-interface thread); returns at once.
    void processit(const QString& folder);
    /// Runs in the chosen other format into `file`.
    void ProcessOther(const QString& file);
    /// "Cancel" (CmdCanc): during a run asks "Do you want end Export Data ?"; otherwise hides the window.
    void cancel();
    /// "Set Location" (CmdRun): the selected row becomes the current location.
    void setLocation();

    void Enablecheck(int32_t outputFormat) override;

    bool running() const { return watcher_ != nullptr; }
    /// Waits until a run started by processit or ProcessOther has ended (tests).
    void waitForRun();
    /// The summary of the last run.
    const BatchSummary& lastSummary() const { return summary_; }

    /// Chooses the destination of "Save": a folder (own format) or a file; "" = cancelled.
    /// Replaceable so that tests need no file dialog.
    std::function<QString(bool folder, const QString& filter)> chooseDestination;

signals:
    void runFinished();

private:
    void createControls();
    QLineEdit* addSettingsBox(SettingsBox box, const char* name, const QString& text);
    void storeBox(SettingsBox box, const QString& text);
    SettingsInput settingsInput() const;
    /// Shows the stored settings in the boxes (another window may have changed them).
    void showStored();
    void neighbAltClicked(bool checked);
    void setAltitudeBoxesReadOnly(bool readOnly);
    BatchOptions options() const;
    bool checkSelection();
    void validateSettings();
    void startRun(BatchOptions options);
    void runEnded();
    void updateProgress();

    AppState& state_;
    QString source_;
    std::optional<TerrainRaster> raster_;
    int32_t outputFormat_ = FormatZentrel;
    bool showingStored_ = false;  ///< the boxes are being set from the record: nothing to store

    // Run state.
    std::shared_ptr<Feedback> feedback_;
    QFutureWatcher<BatchSummary>* watcher_ = nullptr;
    QTimer* progressTimer_ = nullptr;
    std::shared_ptr<std::string> runError_;
    bool ownFormatRun_ = true;
    Method runMethod_ = Method::Kriging;  ///< the method of the last run
    BatchSummary summary_;
    single::frmSummary* summaryWindow_ = nullptr;

    QTreeWidget* LstStations = nullptr;
    QProgressBar* progress_ = nullptr;
    QGroupBox* outputFrame_ = nullptr;
    QGroupBox* filesFrame_ = nullptr;
    QRadioButton* OptAlt = nullptr;
    QRadioButton* OptDem = nullptr;
    QCheckBox* chksum = nullptr;
    QRadioButton* optNew = nullptr;
    QRadioButton* optAppend = nullptr;
    QCheckBox* chkMean = nullptr;
    QCheckBox* chkMin = nullptr;
    QCheckBox* chkMax = nullptr;
    QCheckBox* chkPrec = nullptr;
    QCheckBox* chkVap = nullptr;
    QCheckBox* chkPET = nullptr;
    QCheckBox* chkWind = nullptr;
    QCheckBox* chkSun = nullptr;
    QCheckBox* ChkBest = nullptr;
    QCheckBox* ChkHigh = nullptr;
    QCheckBox* ChkError = nullptr;
    QCheckBox* ChkBias = nullptr;
    QCheckBox* ChkSlope = nullptr;
    QCheckBox* ChkExplVar = nullptr;
    QCheckBox* ChkAbsGrad = nullptr;
    QCheckBox* ChkDirGrad = nullptr;
    QCheckBox* ChkLongGrad = nullptr;
    QCheckBox* ChkLatGrad = nullptr;
    QRadioButton* OptLev99 = nullptr;
    QRadioButton* OptLev95 = nullptr;
    QRadioButton* OptLev90 = nullptr;
    QPushButton* CmdSave = nullptr;
    QPushButton* CmdRun = nullptr;
    QPushButton* CmdCanc = nullptr;
};

}  // namespace zentrel::gui
