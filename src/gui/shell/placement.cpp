// Placing dialogs.
#include "shell/placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QVariant>
#include <QWidget>

#include <algorithm>

namespace zentrel::gui {

void centreIn(QWidget* window, const QWidget* area) {
    if (!area) return;
    window->adjustSize();
    const QPoint centre = area->mapToGlobal(area->rect().center());
    window->move(centre - QPoint(window->width() / 2, window->height() / 2));
}

void centreInOnce(QWidget* window, const QWidget* area) {
    static const char* const placed = "zentrelPlaced";
    if (window->property(placed).toBool()) return;
    centreIn(window, area);
    window->setProperty(placed, true);
}

void keepOnScreen(QWidget* window) {
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect available = screen->availableGeometry();
    QRect r = window->geometry();
    if (r.width() > available.width() || r.height() > available.height())
        window->resize(std::min(r.width(), available.width()), std::min(r.height(), available.height()));
    r = window->geometry();
    const int x = std::clamp(r.x(), available.left(), std::max(available.left(), available.right() - r.width()));
    const int y = std::clamp(r.y(), available.top(), std::max(available.top(), available.bottom() - r.height()));
    window->move(x, y);
}

void centreOnScreen(QWidget* window) {
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    window->adjustSize();
    const QRect available = screen->availableGeometry();
    window->move(available.center() - QPoint(window->width() / 2, window->height() / 2));
}

}  // namespace zentrel::gui
