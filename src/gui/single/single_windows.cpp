// Providers of the single-location windows.
#include "single/single_windows.h"

#include "shell/child_windows.h"
#include "single/frm_guess.h"
#include "single/frm_guess_out.h"

namespace zentrel::gui::single {

void provideSingleWindows(ChildWindows& windows) {
    ChildWindowProvider guess;
    guess.create = [](MainWindow& main) { return new frmGuess(main); };
    guess.open = [](QWidget& window, OpenMode) { static_cast<frmGuess&>(window).ShowData(); };
    windows.provide(ChildWindow::SingleLocation, std::move(guess));

    ChildWindowProvider output;
    output.create = [](MainWindow& main) { return new frmGuessOut(main); };
    output.open = [](QWidget& window, OpenMode mode) { static_cast<frmGuessOut&>(window).open(mode); };
    windows.provide(ChildWindow::EstimateOutput, std::move(output));
}

}  // namespace zentrel::gui::single
