// Placing dialogs: centred in the main window's client area.
#pragma once

class QWidget;

namespace zentrel::gui {

/// Moves the top-level `window` so that its centre lies on the centre of `area`
/// (the main window's client area); does nothing when area is null.
void centreIn(QWidget* window, const QWidget* area);

/// centreIn on the window's first showing only; later openings keep the place the window had
/// (re-centring a hidden dialog made it creep down by its title bar on every opening).
void centreInOnce(QWidget* window, const QWidget* area);

/// Moves and, if needed, shrinks the top-level `window` so that it lies inside the available
/// area of its screen.
void keepOnScreen(QWidget* window);

/// Centres a top-level window on the screen it is on.
void centreOnScreen(QWidget* window);

}  // namespace zentrel::gui
