// Plugs the workbench and its output window into the main window.
#pragma once

namespace zentrel::gui {
class ChildWindows;
}

namespace zentrel::gui::workbench {

/// Provides frmwork (Workbench) and frmOut (WorkbenchOutput).
void provideWorkbenchWindows(ChildWindows& windows);

}  // namespace zentrel::gui::workbench
