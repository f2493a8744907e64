// Program-wide state of the desktop program.
#include "shell/app_state.h"

#include <QPrinter>

#include "data/data_folder.h"
#include "data/station_database.h"

namespace zentrel::gui {

AppState::AppState(QString dataFolder, QObject* parent)
    : QObject(parent), dataFolder_(std::move(dataFolder)),
      demonstration_(zentrel::isDemonstrationData(dataFolder_.toStdString())) {}

AppState::~AppState() { delete printer_; }

std::shared_ptr<StationDatabase> AppState::stationDatabase() {
    if (!database_) database_ = std::make_shared<StationDatabase>(dataFolderPath());
    else database_->refresh();
    return database_;
}

void AppState::WriteStatusLocation(Location& location) {
    location = roundStatusLocation(location);
    settings_.Current = location;
    emit currentLocationChanged(settings_.Current);
}

void AppState::setOutputFormatCode(int32_t code) {
    if (settings_.OutputFormat == code) return;
    settings_.OutputFormat = code;
    emit outputFormatChanged(code);
}

void AppState::setSingleStale(bool stale) {
    if (singleStale_ == stale) return;
    singleStale_ = stale;
    emit singleStaleChanged(stale);
}

void AppState::setWorkbenchStale(bool stale) {
    if (workbenchStale_ == stale) return;
    workbenchStale_ = stale;
    emit workbenchStaleChanged(stale);
}

void AppState::markStale() {
    setSingleStale(true);
    setWorkbenchStale(true);
}

void AppState::setMethod(Method method, const QObject* editor) {
    if (effectiveMethod(settings_) == method && settings_.Method == method) return;
    zentrel::setMethod(settings_, method);
    settingsEdited(editor);
}

void AppState::settingsEdited(const QObject* editor) {
    markStale();
    emit settingsChanged(editor);
}

void AppState::setBusy(bool busy) {
    if (busy_ == busy) return;
    busy_ = busy;
    emit busyChanged(busy);
}

QPrinter& AppState::printer() {
    if (!printer_) printer_ = new QPrinter(QPrinter::HighResolution);
    return *printer_;
}

}  // namespace zentrel::gui
