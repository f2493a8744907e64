// Program-wide state of the desktop program: settings, current location, data folder, stale and busy flags.
#pragma once

#include <QObject>
#include <QString>

#include <memory>

#include "base/types.h"
#include "settings/program_settings.h"

class QPrinter;

namespace zentrel {
class StationDatabase;
}

namespace zentrel::gui {

/// The one state every window shares by reference. Owned by the main window; lives as long
/// as the program. Windows that show estimates hook into the stale signals.
class AppState : public QObject {
    Q_OBJECT
public:
    /// dataFolder: the folder with the station files and the elevation raster.
    explicit AppState(QString dataFolder, QObject* parent = nullptr);
    ~AppState() override;

    /// The settings record the engine reads (ProgramSettings::Current is the current location).
    ProgramSettings& settings() { return settings_; }
    const ProgramSettings& settings() const { return settings_; }
    const Location& currentLocation() const { return settings_.Current; }

    const QString& dataFolder() const { return dataFolder_; }
    std::string dataFolderPath() const { return dataFolder_.toStdString(); }
    /// True when the data folder holds demonstration data.
    bool isDemonstrationData() const { return demonstration_; }

    /// WriteStatusLocation: rounds Lon and Lat through "##0.00" and Alt through "###0", stores
    /// them as the current location, replaces an empty Name by the generated one and hands the
    /// rounded location back in `location`. The name is stored too, so callers need not.
    /// Emits currentLocationChanged (the main window rewrites status panels 3 and 4).
    void WriteStatusLocation(Location& location);

    /// Output format code 1..7 (ProgramSettings::OutputFormat).
    int32_t outputFormat() const { return settings_.OutputFormat; }
    void setOutputFormatCode(int32_t code);

    /// `Stale` of the single-location window: its estimate must run again before it is shown.
    bool singleStale() const { return singleStale_; }
    void setSingleStale(bool stale);
    /// `Stale` of the workbench.
    bool workbenchStale() const { return workbenchStale_; }
    void setWorkbenchStale(bool stale);
    /// Marks the single-location window and the workbench stale (new location or settings).
    void markStale();

    /// The method every run uses from now on; every window that shows the method hears of it.
    Method method() const { return effectiveMethod(settings_); }
    /// Stores the method (see zentrel::setMethod), marks the estimates stale and emits
    /// settingsChanged(editor). No signal when the method is already in force.
    void setMethod(Method method, const QObject* editor = nullptr);
    /// Called by a window that stored new settings: marks the estimates stale and emits
    /// settingsChanged(editor), so that the other windows show what is stored now.
    void settingsEdited(const QObject* editor);

    /// The station files of the data folder, read once and shared by every run of the program
    /// (each run has its own engine); files changed on disk since are read again.
    std::shared_ptr<StationDatabase> stationDatabase();

    /// True while a single-location estimate runs; View Data and WorkBench refuse meanwhile.
    bool busy() const { return busy_; }
    void setBusy(bool busy);

    /// The printer that "Printer  Setup" configures and the printed reports use.
    QPrinter& printer();

signals:
    void currentLocationChanged(const zentrel::Location& location);
    void outputFormatChanged(int code);
    void singleStaleChanged(bool stale);
    void workbenchStaleChanged(bool stale);
    void busyChanged(bool busy);
    /// The settings record changed; `editor` is the window that changed it (it need not
    /// show the record again), nullptr when none.
    void settingsChanged(const QObject* editor);

private:
    ProgramSettings settings_;
    QString dataFolder_;
    bool demonstration_ = false;
    bool singleStale_ = false;
    bool workbenchStale_ = false;
    bool busy_ = false;
    QPrinter* printer_ = nullptr;  // created on first use
    std::shared_ptr<StationDatabase> database_;  // created on first use
};

}  // namespace zentrel::gui
