// MDIForm1: the multiple-document main window with menus, toolbar, status line and start-up.
#pragma once

#include <array>
#include <memory>

#include <QMainWindow>
#include <QPointer>

#include "base/types.h"
#include "shell/app_state.h"
#include "shell/child_windows.h"

class QAction;
class QLabel;
class QMdiArea;
class QMenu;
class QProgressBar;
class QToolBar;
class QToolButton;

namespace zentrel::gui {

class AboutDialog;
class CoordinateDialog;
class HelpWindow;
class LocationDialog;
class SettingsDialog;

/// MDIForm1. Holds the program state (AppState) and every other window.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    /// dataFolder: the data folder of this run (see resolveDataFolder).
    explicit MainWindow(const QString& dataFolder, QWidget* parent = nullptr);
    ~MainWindow() override;

    /// "Zentrel, Mirvo Zentrel Ver.1.0".
    static QString caption();

    AppState& state() { return state_; }
    ChildWindows& childWindows() { return *childWindows_; }
    /// The client area the child windows live in.
    QMdiArea* clientArea() const { return mdiArea_; }
    /// ProgressBar1 in the status line, hidden until a long run shows it.
    QProgressBar* progressBar() const { return progressBar_; }

    /// Stores every default of the settings and makes the settings dialog's altitude boxes read-only.
    void SetInitialValues();
    /// Rounds and stores the current location, generates a name for an empty one and writes
    /// status panels 3 and 4 (see AppState::WriteStatusLocation).
    void WriteStatusLocation(Location& location);
    /// Output format 1..7: unchecks the seven format items, calls Enablecheck of the output
    /// windows, checks the chosen item, shows its name in panel 2 and stores the code.
    void setOutputFormat(int32_t code);

    /// Text of status panel 1..4.
    QString statusPanelText(int panel) const;
    /// A menu item or toolbar action by its name (mn_SetLocation, ...).
    QAction* action(const QString& name) const;
    /// Toolbar button 1..15 (3, 9, 12 and 14 are gaps: nullptr).
    QToolButton* toolbarButton(int number) const;

    /// Shows a warning when the data folder is missing (called once the window is shown).
    void checkDataFolder();

    // Commands of the menus and the toolbar.
    void viewData();
    void workBench();
    /// "Exit": asks, and closes the main window on Yes. Returns true when closing.
    bool exitApplication();
    void showSettings();
    void showLocationDialog();
    void showCoordinateDialog();
    void showHelpContents();
    void showHelpIndex();
    void showAbout();
    void printerSetup();
    void cascadeWindows();
    void tileWindows(Qt::Orientation orientation);
    /// Puts the open child windows at the end of the Window menu (called as it opens).
    void listWindows(QMenu* menu);

    /// Dialogs, created on first use and kept.
    SettingsDialog* settingsDialog();
    LocationDialog* locationDialog();
    CoordinateDialog* coordinateDialog();
    HelpWindow* helpWindow();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void createActions();
    void createMenus();
    void createToolBar();
    void createStatusBar();
    void load();
    void updateTitle();
    void showLocationStatus(const Location& location);

    QAction* newAction(const char* name, const QString& caption, const QString& hint, int picture = 0);
    QToolButton* addToolButton(int number, const QString& toolTip, int picture, QAction* target);
    QToolButton* addMenuButton(int number, const QString& toolTip, int picture, QMenu* menu);

    AppState state_;
    QMdiArea* mdiArea_ = nullptr;
    std::unique_ptr<ChildWindows> childWindows_;

    std::array<QAction*, 8> formatActions_{};  ///< index 1..7 = output format code
    std::array<QToolButton*, 16> toolButtons_{};  ///< index 1..15 = toolbar button number
    std::array<QLabel*, 5> panels_{};  ///< index 1..4 = status panel number
    QToolBar* toolBar_ = nullptr;
    QProgressBar* progressBar_ = nullptr;

    QPointer<SettingsDialog> settingsDialog_;
    QPointer<LocationDialog> locationDialog_;
    QPointer<CoordinateDialog> coordinateDialog_;
    QPointer<HelpWindow> helpWindow_;
    QPointer<AboutDialog> aboutDialog_;
};

}  // namespace zentrel::gui
