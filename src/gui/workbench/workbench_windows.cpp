// Providers of the workbench windows.
#include "workbench/workbench_windows.h"

#include "shell/child_windows.h"
#include "shell/main_window.h"
#include "single/frm_out.h"
#include "workbench/frm_work.h"

namespace zentrel::gui::workbench {

void provideWorkbenchWindows(ChildWindows& windows) {
    ChildWindowProvider work;
    work.create = [](MainWindow& main) { return new frmwork(main); };
    work.open = [](QWidget& window, OpenMode) { static_cast<frmwork&>(window).ShowData(); };
    windows.provide(ChildWindow::Workbench, std::move(work));

    ChildWindowProvider output;
    // The output window saves what the workbench shows, so the workbench is opened first.
    output.create = [](MainWindow& main) -> QWidget* {
        QWidget* window = main.childWindows().window(ChildWindow::Workbench);
        if (!window) window = main.childWindows().open(ChildWindow::Workbench);
        return new single::frmOut(main, *static_cast<frmwork*>(window));
    };
    output.open = [](QWidget& window, OpenMode mode) { static_cast<single::frmOut&>(window).open(mode); };
    windows.provide(ChildWindow::WorkbenchOutput, std::move(output));
}

}  // namespace zentrel::gui::workbench
