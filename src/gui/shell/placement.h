// Placing dialogs: centred in the main window's client area.
#pragma once

class QMdiSubWindow;
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

/// First showing of a top-level tool window (help, summary): centred over `over`'s window and
/// kept on the screen; later showings keep the place the user gave it.
void placeOnce(QWidget* window, const QWidget* over);

/// Sizes a new child window of the main window's client area: its own default size (what its
/// constructor resized it to, else its size hint) shrunk to the area, never below its minimum;
/// and moves it so that it lies inside the area.
void fitSubWindow(QMdiSubWindow* sub, const QWidget* area);
/// A child window that fitSubWindow had to make smaller than it wanted, and that the user has
/// not resized since, grows again towards its own size in a larger area (the main window
/// maximised); others stay as they are.
void refitSubWindow(QMdiSubWindow* sub, const QWidget* area);
/// Moves a child window back inside its client area (after the area placed it).
void keepInsideArea(QMdiSubWindow* sub, const QWidget* area);

/// Centres a top-level window on the screen it is on.
void centreOnScreen(QWidget* window);

}  // namespace zentrel::gui
