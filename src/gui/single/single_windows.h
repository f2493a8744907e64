// Plugs the single-location window and the output windows into the main window.
#pragma once

namespace zentrel::gui {
class ChildWindows;
}

namespace zentrel::gui::single {

/// Provides frmGuess (SingleLocation) and frmGuessOut (EstimateOutput).
void provideSingleWindows(ChildWindows& windows);

}  // namespace zentrel::gui::single
