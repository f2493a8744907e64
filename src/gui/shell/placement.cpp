// Placing dialogs.
#include "shell/placement.h"

#include <QGuiApplication>
#include <QMdiSubWindow>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionTitleBar>
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

void placeOnce(QWidget* window, const QWidget* over) {
    static const char* const placed = "zentrelPlaced";
    if (window->property(placed).toBool()) return;
    if (over) {
        const QWidget* top = over->window();
        const QPoint centre = top->mapToGlobal(top->rect().center());
        window->move(centre - QPoint(window->width() / 2, window->height() / 2));
    }
    keepOnScreen(window);
    window->setProperty(placed, true);
}

void fitSubWindow(QMdiSubWindow* sub, const QWidget* area) {
    QWidget* widget = sub->widget();
    if (!widget) return;
    // The size the window asked for when it was first fitted, kept for refitSubWindow.
    const QVariant asked = sub->property("zentrelWantedSize");
    const QSize wanted = asked.isValid() ? asked.toSize()
                         : widget->testAttribute(Qt::WA_Resized) ? widget->size() : widget->sizeHint();
    sub->setProperty("zentrelWantedSize", wanted);
    // The frame around the widget: title bar and borders.
    QStyleOptionTitleBar option;
    option.initFrom(sub);
    const int border = sub->style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, sub);
    const int title = sub->style()->pixelMetric(QStyle::PM_TitleBarHeight, &option, sub);
    const QSize frame(2 * border, title + border);
    QSize minimum = widget->minimumSize();
    if (minimum.isEmpty()) minimum = widget->minimumSizeHint().boundedTo(wanted);
    const bool sized = area && area->width() > 100 && area->height() > 100;
    sub->setMinimumSize(sized ? (minimum + frame).boundedTo(area->size()) : minimum + frame);
    QSize size = wanted + frame;
    const bool bounded = sized && (wanted + frame).boundedTo(area->size()) != wanted + frame;
    if (sized) size = size.boundedTo(area->size());
    sub->resize(size.expandedTo(sub->minimumSize()));
    // Remembered so that a larger area later gives the window the size it wanted.
    sub->setProperty("zentrelFittedSize", sub->size());
    sub->setProperty("zentrelBounded", bounded);
}

void refitSubWindow(QMdiSubWindow* sub, const QWidget* area) {
    if (!sub->property("zentrelBounded").toBool() || sub->isMaximized() || sub->isMinimized()) return;
    if (sub->size() != sub->property("zentrelFittedSize").toSize()) return;  // the user sized it
    fitSubWindow(sub, area);
    keepInsideArea(sub, area);
}

void keepInsideArea(QMdiSubWindow* sub, const QWidget* area) {
    if (!area || sub->isMaximized() || area->width() < 100) return;
    const QRect r = sub->geometry();
    const int x = std::clamp(r.x(), 0, std::max(0, area->width() - r.width()));
    const int y = std::clamp(r.y(), 0, std::max(0, area->height() - r.height()));
    if (x != r.x() || y != r.y()) sub->move(x, y);
}

void centreOnScreen(QWidget* window) {
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    window->adjustSize();
    const QRect available = screen->availableGeometry();
    window->move(available.center() - QPoint(window->width() / 2, window->height() / 2));
}

}  // namespace zentrel::gui
