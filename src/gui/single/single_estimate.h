// The eight-variable estimate at the current location that the single-location window shows
// and its output window saves: the run on a thread pool and the stored results.
#pragma once

#include <array>

#include <QFutureWatcher>
#include <QObject>
#include <QPointer>

#include <memory>

#include "formats/text_output.h"
#include "data/station_database.h"
#include "settings/program_settings.h"

class QProgressBar;

namespace zentrel::gui {
class AppState;
class MainWindow;
}  // namespace zentrel::gui

namespace zentrel::gui::single {

/// Outcome of one variable's run on a worker thread.
struct VariableRun {
    VariableResult result;
    std::string error;  ///< description of a failure; empty when the run succeeded
    bool skipped = false;  ///< the database holds no normals of the variable: not estimated
};

/// Results, neighbour lists and warnings of the eight variables, kept until the location
/// changes. One per main window (see of()); lives as long as it.
class SingleEstimate : public QObject {
    Q_OBJECT
public:
    /// progressBar: the main window's bar shown during a run (may be null).
    /// messageParent: the window message boxes are modal to.
    SingleEstimate(AppState& state, QProgressBar* progressBar, QWidget* messageParent, QObject* parent = nullptr);
    ~SingleEstimate() override;

    /// The one instance of a main window, created on first use.
    static SingleEstimate& of(MainWindow& main);

    const VariableResults& results() const { return results_; }
    /// True when the last run left `variable` out: the database holds no normals of it.
    bool skipped(int variable) const { return skipped_[static_cast<size_t>(variable)]; }
    /// The location of the stored results (the current location when the run started).
    const Location& location() const { return location_; }
    bool running() const { return running_; }
    /// The method that made the stored results.
    Method method() const { return method_; }

    /// When `Stale` and no run is under way: starts the run of all eight variables, each with
    /// an engine of its own on the global thread pool, and returns true. The busy flag is set
    /// and the main window's progress bar shows the finished variables until it ends.
    bool start();
    /// Runs when `Stale` and waits (keeping the window system live) until the results are current.
    void ensureCurrent();

    /// Stores results as a run would (tests and callers that computed them elsewhere).
    void setResults(const VariableResults& results, const Location& location);

signals:
    void started();
    /// The stored results are new (after a run or setResults).
    void finished();

private:
    void collect();

    AppState& state_;
    QPointer<QProgressBar> progressBar_;
    QPointer<QWidget> messageParent_;
    VariableResults results_{};
    Location location_;
    Method method_ = Method::Described;
    QFutureWatcher<VariableRun> watcher_;
    bool running_ = false;
    std::array<bool, kVariableCount> skipped_{};  ///< the variables the database lacks were named once already
};

/// One variable's run: the whole pipeline with its own engine, on the station database when
/// one is given (else the files are read). Never throws: a failure is returned as its description.
VariableRun runVariable(const ProgramSettings& settings, const std::string& dataFolder, int variable,
                        const Location& location, std::shared_ptr<const StationDatabase> database = nullptr);

}  // namespace zentrel::gui::single
