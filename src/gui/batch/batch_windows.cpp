// Providers of frmList and FrmGrid for the main window's menus.
#include "batch/batch_windows.h"

#include <optional>

#include <QMdiSubWindow>
#include <QProgressBar>
#include <QStatusBar>
#include <QTimer>

#include "batch/batch_window.h"
#include "data/terrain.h"
#include "locations/grid_dialog.h"
#include "shell/main_window.h"

namespace zentrel::gui {

ChildWindowProvider batchWindowProvider() {
    ChildWindowProvider provider;
    provider.create = [](MainWindow& main) -> QWidget* {
        // The run's progress shows in the main window's status bar.
        auto* bar = new QProgressBar(&main);
        bar->setObjectName(QStringLiteral("batchProgress"));
        bar->setMaximumWidth(240);
        main.statusBar()->addPermanentWidget(bar);
        auto* window = new BatchWindow(main.state(), bar);
        // Opened at its size hint, every frame whole; shrunk to a small area, it scrolls.
        return window;
    };
    provider.open = [](QWidget& widget, OpenMode mode) {
        if (mode != OpenMode::ReadLocationFile) return;
        auto& window = static_cast<BatchWindow&>(widget);
        QWidget* frame = window.parentWidget() ? window.parentWidget() : &window;
        const bool wasShown = frame->isVisible();
        // A cancelled file dialog does nothing: a window that was not showing goes away again.
        if (!window.chooseLocationFile() && !wasShown) QTimer::singleShot(0, frame, [frame] { frame->hide(); });
    };
    return provider;
}

ChildWindowProvider gridDialogProvider() {
    ChildWindowProvider provider;
    provider.create = [](MainWindow& main) -> QWidget* {
        auto raster = std::make_shared<std::optional<TerrainRaster>>();
        const std::string folder = main.state().dataFolderPath();
        ElevationLookup elevation = [raster, folder](float lon, float lat) {
            if (!*raster) raster->emplace(folder);
            int16_t isSea = 0;
            return static_cast<float>((*raster)->altitude(lon, lat, isSea));
        };
        auto* dialog = new GridDialog(
            std::move(elevation),
            [&main](std::vector<LocationRow> rows, const QString& source) {
                if (auto* window = dynamic_cast<BatchWindow*>(main.childWindows().open(ChildWindow::Batch)))
                    window->setRows(rows, source);
            },
            &main);
        dialog->setWindowModality(Qt::ApplicationModal);
        return dialog;
    };
    provider.mdiChild = false;
    return provider;
}

}  // namespace zentrel::gui
