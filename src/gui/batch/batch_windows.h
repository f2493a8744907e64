// How the main window builds and opens the batch window and the grid dialog.
#pragma once

#include "shell/child_windows.h"

namespace zentrel::gui {

/// frmList, an MDI child; OpenMode::ReadLocationFile asks for a location file first.
ChildWindowProvider batchWindowProvider();
/// FrmGrid, a modal dialog whose "OK" fills frmList and shows it.
ChildWindowProvider gridDialogProvider();

}  // namespace zentrel::gui
