// Providers of the single-location windows.
#include "single/single_windows.h"

#include "shell/child_windows.h"
#include "single/frm_guess.h"

namespace zentrel::gui::single {

void provideSingleWindows(ChildWindows& windows) {
    ChildWindowProvider guess;
    guess.create = [](MainWindow& main) { return new frmGuess(main); };
    guess.open = [](QWidget& window, OpenMode) { static_cast<frmGuess&>(window).ShowData(); };
    windows.provide(ChildWindow::SingleLocation, std::move(guess));
}

}  // namespace zentrel::gui::single
