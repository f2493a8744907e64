// Child window registry: creation on first use, opening, Enablecheck, and placeholders.
#include "shell/child_windows.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTimer>

#include "batch/batch_windows.h"
#include "maps/location_map_window.h"
#include "maps/raster_map_window.h"
#include "shell/main_window.h"
#include "shell/message_box.h"
#include "shell/placement.h"
#include "single/single_windows.h"
#include "workbench/workbench_windows.h"

namespace zentrel::gui {

void installChildWindows(ChildWindows& windows) {
    // Windows of the other parts are added here, one line each, e.g.
    //   windows.provide(ChildWindow::SingleLocation, singleLocationWindowProvider());
    windows.provide(ChildWindow::Batch, batchWindowProvider());
    windows.provide(ChildWindow::LocationGrid, gridDialogProvider());
    windows.provide(ChildWindow::LocationMap, locationMapWindowProvider());
    windows.provide(ChildWindow::RasterMap, rasterMapWindowProvider());
    single::provideSingleWindows(windows);
    workbench::provideWorkbenchWindows(windows);
}

void ChildWindows::provide(ChildWindow id, ChildWindowProvider provider) { slot(id).provider = std::move(provider); }

bool ChildWindows::isProvided(ChildWindow id) const { return static_cast<bool>(slot(id).provider.create); }

QWidget* ChildWindows::window(ChildWindow id) const { return slot(id).widget.data(); }

QWidget* ChildWindows::open(ChildWindow id, OpenMode mode) {
    Slot& s = slot(id);
    if (!s.provider.create) {
        showMessage(&main_, kDefaultMessageTitle, notAvailableText(id), QMessageBox::Information);
        return nullptr;
    }
    bool justCreated = false;
    if (!s.widget) {
        QWidget* widget = s.provider.create(main_);
        s.widget = widget;
        if (s.provider.mdiChild) {
            QMdiSubWindow* sub = area_.addSubWindow(widget);
            // Windows are kept once created: closing one only hides it.
            sub->setAttribute(Qt::WA_DeleteOnClose, false);
            if (widget->maximumWidth() < QWIDGETSIZE_MAX) {
                sub->setWindowFlag(Qt::WindowMaximizeButtonHint, false);
                // The area maximises a window activated after a maximised one; a form keeps
                // its own size all the same.
                QObject::connect(sub, &QMdiSubWindow::windowStateChanged, sub, [sub](Qt::WindowStates, Qt::WindowStates now) {
                    if (now & Qt::WindowMaximized) QTimer::singleShot(0, sub, [sub] { sub->showNormal(); });
                });
            }
            fitSubWindow(sub, area_.viewport());
            justCreated = true;
        } else if (!widget->parentWidget()) {
            widget->setParent(&main_, Qt::Window);
        }
        if (auto* listener = dynamic_cast<OutputFormatListener*>(widget)) listener->Enablecheck(main_.state().outputFormat());
    }
    QWidget* widget = s.widget;
    if (s.provider.open) s.provider.open(*widget, mode);
    if (s.provider.mdiChild) {
        auto* sub = qobject_cast<QMdiSubWindow*>(widget->parentWidget());
        widget->show();
        if (sub) {
            sub->show();
            // A form with a maximum size (the output windows) opens at its own size even
            // when the other windows are maximised, instead of filling the area.
            if (widget->maximumWidth() < QWIDGETSIZE_MAX && sub->isMaximized()) sub->showNormal();
            if (justCreated) keepInsideArea(sub, area_.viewport());
            if (sub->isMinimized()) sub->showNormal();
            area_.setActiveSubWindow(sub);
        }
    } else {
        widget->show();
        widget->raise();
        widget->activateWindow();
    }
    return widget;
}

void ChildWindows::Enablecheck(int32_t outputFormat) {
    for (Slot& s : slots_)
        if (auto* listener = dynamic_cast<OutputFormatListener*>(s.widget.data())) listener->Enablecheck(outputFormat);
}

void ChildWindows::preload() {
    for (Slot& s : slots_)
        if (s.provider.preload) s.provider.preload(main_);
}

QString childWindowTitle(ChildWindow id) {
    switch (id) {
        case ChildWindow::SingleLocation: return QStringLiteral("single-location estimate window (View Data)");
        case ChildWindow::EstimateOutput: return QStringLiteral("output window of the single-location estimate");
        case ChildWindow::Workbench: return QStringLiteral("WorkBench window");
        case ChildWindow::WorkbenchOutput: return QStringLiteral("output window of the WorkBench");
        case ChildWindow::Batch: return QStringLiteral("window for estimates over a grid or a file of locations");
        case ChildWindow::LocationGrid: return QStringLiteral("grid definition window");
        case ChildWindow::LocationMap: return QStringLiteral("location map window");
        case ChildWindow::RasterMap: return QStringLiteral("raster map window");
    }
    return {};
}

QString notAvailableText(ChildWindow id) {
    return QStringLiteral("The %1 is not available in this version yet.").arg(childWindowTitle(id));
}

}  // namespace zentrel::gui
