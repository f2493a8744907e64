// The windows the main window opens that other parts of the program provide, plugged in at one place.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include <QPointer>
#include <QString>
#include <QWidget>

class QMdiArea;

namespace zentrel::gui {

class MainWindow;

/// Windows reached from the main window's menus and toolbar that are built elsewhere.
enum class ChildWindow {
    SingleLocation,   ///< frmGuess: the estimate of all eight variables at the current location
    EstimateOutput,   ///< frmGuessOut: saving or printing the single-location estimate
    Workbench,        ///< frmwork: neighbourhood editing
    WorkbenchOutput,  ///< frmOut: saving or printing the workbench estimate
    Batch,            ///< frmList: estimates over a grid or a file of locations
    LocationGrid,     ///< FrmGrid: grid definition
    LocationMap,      ///< frmMap: picking a location on the world map bitmap
    RasterMap,        ///< Form1: raster maps and raster export
};
inline constexpr int kChildWindowCount = 8;

/// How a window is opened: output windows show only "Save" or only "Print"; the batch window
/// can be asked to read a location file at once.
enum class OpenMode { Show, Save, Print, ReadLocationFile };

/// Implemented by the windows whose output options depend on the output format (estimate
/// output, batch and workbench output windows). The main window calls it whenever the format
/// changes, and once when the window is created.
class OutputFormatListener {
public:
    virtual ~OutputFormatListener() = default;
    /// outputFormat: the newly chosen code 1..7.
    virtual void Enablecheck(int32_t outputFormat) = 0;
};

/// How to build one child window.
struct ChildWindowProvider {
    /// Creates the window once; it is kept until the program ends.
    std::function<QWidget*(MainWindow& main)> create;
    /// Called every time the window is opened, before it is shown (optional).
    std::function<void(QWidget& window, OpenMode mode)> open;
    /// Start-up work done while the introduction window shows (the map reads its boundaries).
    std::function<void(MainWindow& main)> preload;
    /// true: a child of the multiple-document area; false: a window of its own.
    bool mdiChild = true;
};

/// Registry of the child windows, owned by the main window. A window without a provider
/// opens as a message saying it is not available in this version yet.
class ChildWindows {
public:
    ChildWindows(MainWindow& main, QMdiArea& area) : main_(main), area_(area) {}

    void provide(ChildWindow id, ChildWindowProvider provider);
    bool isProvided(ChildWindow id) const;

    /// Creates the window on first use, opens it in `mode`, shows it and brings it to the front.
    /// Returns the window, or nullptr after showing the "not available" message.
    QWidget* open(ChildWindow id, OpenMode mode = OpenMode::Show);

    /// The window if it was created, else nullptr.
    QWidget* window(ChildWindow id) const;

    /// Calls Enablecheck of every created window that implements it.
    void Enablecheck(int32_t outputFormat);

    /// Runs every provider's start-up work.
    void preload();

private:
    struct Slot {
        ChildWindowProvider provider;
        QPointer<QWidget> widget;
    };
    Slot& slot(ChildWindow id) { return slots_[static_cast<size_t>(id)]; }
    const Slot& slot(ChildWindow id) const { return slots_[static_cast<size_t>(id)]; }

    MainWindow& main_;
    QMdiArea& area_;
    std::array<Slot, kChildWindowCount> slots_;
};

/// Name of a child window in messages ("the single-location estimate window").
QString childWindowTitle(ChildWindow id);

/// Text of the message shown for a window that is not provided yet.
QString notAvailableText(ChildWindow id);

/// The one place where the windows of the other parts are plugged in: each adds a line here.
void installChildWindows(ChildWindows& windows);

}  // namespace zentrel::gui
