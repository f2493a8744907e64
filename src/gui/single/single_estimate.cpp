// The eight-variable run of the single-location window.
#include "single/single_estimate.h"

#include <memory>

#include <QApplication>
#include <QEventLoop>
#include <QProgressBar>
#include <QtConcurrent/QtConcurrentMap>

#include "data/data_info.h"
#include "engine/engine.h"
#include "shell/main_window.h"
#include "shell/message_box.h"

namespace zentrel::gui::single {

VariableRun runVariable(const ProgramSettings& settings, const std::string& dataFolder, int variable,
                        const Location& location, std::shared_ptr<const StationDatabase> database) {
    VariableRun run;
    run.result.variable = static_cast<int16_t>(variable);
    run.result.location = location;
    if (!holdsVariable(dataFolder, variable)) {
        run.skipped = true;  // an empty result rather than zeros from an engine without stations
        return run;
    }
    try {
        Engine engine(settings, dataFolder, std::move(database));
        run.result = engine.Run(variable, location);
    } catch (const std::exception& e) {
        run.error = e.what();
    }
    return run;
}

SingleEstimate::SingleEstimate(AppState& state, QProgressBar* progressBar, QWidget* messageParent, QObject* parent)
    : QObject(parent), state_(state), progressBar_(progressBar), messageParent_(messageParent) {
    setObjectName(QStringLiteral("SingleEstimate"));
    connect(&watcher_, &QFutureWatcher<VariableRun>::progressValueChanged, this, [this](int done) {
        // The bar runs 0..7 as variable indices do; it stands at 7 while the last one finishes.
        if (progressBar_) progressBar_->setValue(std::min(done, 7));
    });
    connect(&watcher_, &QFutureWatcher<VariableRun>::finished, this, &SingleEstimate::collect);
}

SingleEstimate::~SingleEstimate() { watcher_.waitForFinished(); }

SingleEstimate& SingleEstimate::of(MainWindow& main) {
    if (auto* existing = main.findChild<SingleEstimate*>(QStringLiteral("SingleEstimate"), Qt::FindDirectChildrenOnly))
        return *existing;
    return *new SingleEstimate(main.state(), main.progressBar(), &main, &main);
}

bool SingleEstimate::start() {
    if (!state_.singleStale() || running()) return false;
    running_ = true;
    state_.setBusy(true);
    // Stale is cleared as the run starts, so a location set while it runs marks it stale again.
    state_.setSingleStale(false);
    emit started();
    location_ = state_.currentLocation();
    if (progressBar_) {
        progressBar_->setRange(0, 7);
        progressBar_->setValue(0);
        progressBar_->show();
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    results_ = VariableResults{};

    // Each worker reads its own copy of the settings, so the dialog may change them meanwhile.
    auto settings = std::make_shared<const ProgramSettings>(state_.settings());
    method_ = effectiveMethod(*settings);
    const std::string folder = state_.dataFolderPath();
    const Location location = location_;
    std::shared_ptr<const StationDatabase> database = state_.stationDatabase();
    static const QList<int> variables{Temp, Tmax, Tmin, Prec, Vap, PET, Wind, Sun};
    watcher_.setFuture(QtConcurrent::mapped(variables, [settings, folder, location, database](int variable) {
        return runVariable(*settings, folder, variable, location, database);
    }));
    return true;
}

void SingleEstimate::collect() {
    QStringList errors, messages;
    QList<QPair<QString, QString>> engineMessages;
    for (int v = 0; v < kVariableCount; ++v) {
        const VariableRun run = watcher_.future().resultAt(v);
        skipped_[static_cast<size_t>(v)] = run.skipped;
        results_[static_cast<size_t>(v)] = run.result;
        if (!run.error.empty() && !errors.contains(QString::fromStdString(run.error)))
            errors << QString::fromStdString(run.error);
        for (const Message& m : run.result.messages) {
            // Without active neighbours the tables show it (warning "Few"); no box is needed here.
            if (m.title == noNeighbourMessage().title) continue;
            const QPair<QString, QString> item{QString::fromStdString(m.title), QString::fromStdString(m.text)};
            if (!engineMessages.contains(item)) engineMessages << item;
        }
    }
    // Entry 21's Active holds the number of active neighbours.
    for (VariableResult& r : results_) {
        int16_t count = 0;
        for (int i = 1; i <= 20; ++i)
            if (r.neighbours[i].Active == 1) ++count;
        r.neighbours[21].Active = count;
    }
    running_ = false;
    if (progressBar_) progressBar_->hide();
    QApplication::restoreOverrideCursor();
    state_.setBusy(false);
    for (const auto& [title, text] : engineMessages) showMessage(messageParent_, title, text, QMessageBox::Critical);
    // What the database lacks is said in View Data's warning strip, not in a box over it.
    if (!errors.isEmpty()) showMessage(messageParent_, kDefaultMessageTitle, errors.join(QLatin1Char('\n')), QMessageBox::NoIcon);
    emit finished();
}

void SingleEstimate::ensureCurrent() {
    start();
    if (!running()) return;
    QEventLoop loop;
    connect(this, &SingleEstimate::finished, &loop, &QEventLoop::quit);
    if (running()) loop.exec();
}

void SingleEstimate::setResults(const VariableResults& results, const Location& location) {
    results_ = results;
    location_ = location;
    method_ = state_.method();
    emit finished();
}

}  // namespace zentrel::gui::single
