// Placing dialogs: centred in the main window's client area.
#pragma once

class QWidget;

namespace zentrel::gui {

/// Moves the top-level `window` so that its centre lies on the centre of `area`
/// (the main window's client area); does nothing when area is null.
void centreIn(QWidget* window, const QWidget* area);

/// Centres a top-level window on the screen it is on.
void centreOnScreen(QWidget* window);

}  // namespace zentrel::gui
