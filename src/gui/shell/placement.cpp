// Placing dialogs.
#include "shell/placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace zentrel::gui {

void centreIn(QWidget* window, const QWidget* area) {
    if (!area) return;
    window->adjustSize();
    const QPoint centre = area->mapToGlobal(area->rect().center());
    window->move(centre - QPoint(window->width() / 2, window->height() / 2));
}

void centreOnScreen(QWidget* window) {
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    window->adjustSize();
    const QRect available = screen->availableGeometry();
    window->move(available.center() - QPoint(window->width() / 2, window->height() / 2));
}

}  // namespace zentrel::gui
