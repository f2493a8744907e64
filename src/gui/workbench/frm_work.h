// frmwork ("Zentrel Workbench"): the estimate of one variable at the current location with
// its neighbours switched off and on by the user, re-estimated at once after every change.
#pragma once

#include <array>
#include <memory>
#include <optional>

#include <QWidget>

#include "data/terrain.h"
#include "engine/engine.h"
#include "single/frm_out.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTabBar;
class QTableWidget;

namespace zentrel::gui {
class MainWindow;
}

namespace zentrel::gui::workbench {

class AltitudeGraph;
class RegionalMap;
class MapLegend;
class ResultsGraph;

class frmwork : public QWidget, public single::WorkbenchOutputSource {
    Q_OBJECT
public:
    explicit frmwork(MainWindow& main, QWidget* parent = nullptr);
    ~frmwork() override;

    /// Full run when `Stale` (activation, variable change, output window before saving).
    void ShowData();
    /// Lower-half tab 0..5 and results resolution tab 0..3.
    void setView(int tab);
    void setResolutionTab(int tab);

    // WorkbenchOutputSource
    VariableResult workbenchResult() override;
    int workbenchLevel() const override;

    const Engine& engine() const { return *engine_; }
    int16_t month() const { return Month; }
    int16_t zoom() const { return Zoom; }
    int16_t resolution() const { return Resolution; }
    /// Full runs and re-estimates so far (tests tell a re-estimate from a redraw).
    int estimateCount() const { return estimates_; }
    /// System beeps sounded so far.
    int beepCount() const { return beeps_; }

    QCheckBox* check(int i) const { return checks_[static_cast<size_t>(i - 1)]; }
    QComboBox* Combo1 = nullptr;
    QRadioButton *optlev90 = nullptr, *optlev95 = nullptr, *optlev99 = nullptr;
    QLabel *labfew = nullptr, *Labhit = nullptr;
    /// The point the shown estimate belongs to, marked when it is not the current location
    /// (after a right-click on the map answered "No").
    QLabel* workingLabel = nullptr;
    QGroupBox *framWarn = nullptr, *famAct = nullptr;
    QPushButton *CmdHigh = nullptr, *CmdLow = nullptr, *CmdLonely = nullptr, *CmdDoubled = nullptr, *CmdStrange = nullptr,
                *CmdFew = nullptr, *CmdHit = nullptr;
    QPushButton *cmdmonthback = nullptr, *cmdmonthnext = nullptr, *cmdZoomIn = nullptr, *CmdZoomOut = nullptr,
                *CmdFine = nullptr, *CmdCoarse = nullptr;
    QTableWidget *grdStation = nullptr, *grdObservation = nullptr, *grdResults = nullptr, *grdDekad = nullptr,
                 *GrdDay = nullptr, *grdThreshold = nullptr;
    QLabel *labLonLat = nullptr, *labDms = nullptr;
    AltitudeGraph* picAltitude = nullptr;
    RegionalMap* picMapStation = nullptr;
    MapLegend* picLegend = nullptr;
    ResultsGraph* picResults = nullptr;
    QTabBar *TabStrip1 = nullptr, *TabStrip2 = nullptr;

    /// The right-click on the regional map at map offsets (dx, dy).
    void mapRightClick(float dx, float dy);

protected:
    void closeEvent(QCloseEvent* event) override;
    /// The main window becoming active again (after a dialog) activates this window when it is the active child.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    QWidget* createTop();
    void fullRun();
    void runPipeline();
    void checkClicked();
    void Schreib();
    void showWorkingLocation();
    void setLevels();
    void drawStationTable();
    void drawObservationTable();
    void drawWarnings();
    void drawResultsGraph();
    void drawResultsTables();
    void drawMap();
    void drawAltitudeGraph();
    void colourRows(QTableWidget& table);
    /// The database holds no normals of the chosen variable: says so and empties every view.
    void showNoNormals();
    void beep();
    std::array<int16_t, 20> checkStates() const;
    void explain(const QString& title, const QString& text);

    MainWindow& main_;
    std::unique_ptr<Engine> engine_;
    std::unique_ptr<TerrainRaster> terrain_;
    std::array<QCheckBox*, 20> checks_{};
    QWidget* levelFrame_ = nullptr;
    QStackedWidget* views_ = nullptr;
    QStackedWidget* tables_ = nullptr;
    int16_t Month = 1, Zoom = 1, Resolution = 1;
    bool running_ = false;  ///< a workbench run is in progress
    int estimates_ = 0;
    int beeps_ = 0;
};

}  // namespace zentrel::gui::workbench
