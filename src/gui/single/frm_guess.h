// frmGuess ("View Data"): the estimate of all eight variables at the current location in
// three groups of five views (graph, estimates, stations, observations, warnings).
#pragma once

#include <array>

#include <QWidget>

class QGroupBox;
class QLabel;
class QStackedWidget;
class QTabBar;
class QTabWidget;
class QTableWidget;

namespace zentrel::gui {
class MainWindow;
}

namespace zentrel::gui::single {

class ResultGraph;
class SingleEstimate;

/// The single-location window. Created once and kept; every activation calls ShowData.
class frmGuess : public QWidget {
    Q_OBJECT
public:
    explicit frmGuess(MainWindow& main, QWidget* parent = nullptr);

    /// Runs the estimate when `Stale` (off the window system's thread; showagain follows when
    /// it ends), otherwise redraws at once.
    void ShowData();
    /// Redraws the selected view of each group from the stored results.
    void showagain();

    /// Group 0..2 shown (TabStrip1) and the view 1..5 selected in a group's strip.
    int group() const;
    void setGroup(int group);
    int view(int group) const;
    void setView(int group, int view);

    SingleEstimate& estimate() { return estimate_; }
    ResultGraph* graph(int group) const { return graphs_[static_cast<size_t>(group)]; }
    /// Table of view 2..5 of a group.
    QTableWidget* table(int group, int view) const;
    QGroupBox* legend() const { return Frame2; }
    QLabel* methodLabel() const { return LblMethod; }
    /// The warning strip above the views of the shown group (hidden when it has nothing to say).
    QLabel* warningStrip() const { return LblWarnings; }
    /// The strip's text for a group: one line per variable with a warning or an extrapolated month.
    QString warningText(int group) const;
    /// Text of legend label 1..3.
    QString legendText(int label) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void createControls();
    QWidget* createGroup(int group);
    void drawGroup(int group);
    void showLegend(int group);
    void showWarnings(int group);
    bool isActiveChild() const;

    MainWindow& main_;
    SingleEstimate& estimate_;
    QTabBar* TabStrip1 = nullptr;
    QStackedWidget* frames_ = nullptr;
    std::array<QTabWidget*, 3> strips_{};                 ///< TempStrip, PrecStrip, windStrip
    std::array<ResultGraph*, 3> graphs_{};                ///< picture box 1 of each group
    std::array<std::array<QTableWidget*, 5>, 3> tables_{};  ///< views 2..5 (index 1..4)
    QGroupBox* Frame2 = nullptr;
    std::array<QLabel*, 3> labels_{};
    std::array<QLabel*, 3> lines_{};
    QLabel* LblWarnings = nullptr;
    QLabel* LblMethod = nullptr;  ///< "Method: Adaptive": the method of the shown results
};

}  // namespace zentrel::gui::single
