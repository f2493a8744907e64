// MDIForm1: menus, toolbar, status line, start-up, output format switch and the commands.
#include "shell/main_window.h"

#include <algorithm>
#include <filesystem>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPageSetupDialog>
#include <QProgressBar>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QToolBar>
#include <QToolButton>

#include "data/data_folder.h"
#include "error.h"
#include "locations/coordinate_dialog.h"
#include "locations/location_dialog.h"
#include "shell/about_dialog.h"
#include "shell/help_window.h"
#include "shell/icons.h"
#include "shell/message_box.h"
#include "shell/placement.h"
#include "shell/settings_dialog.h"
#include "shell/tiling.h"

namespace zentrel::gui {

MainWindow::MainWindow(const QString& dataFolder, QWidget* parent) : QMainWindow(parent), state_(dataFolder) {
    setObjectName(QStringLiteral("MDIForm1"));
    mdiArea_ = new QMdiArea(this);
    // Windows that do not fit (tiled above their minimum sizes) are reached by scrolling.
    mdiArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdiArea_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdiArea_->setObjectName(QStringLiteral("ClientArea"));
    mdiArea_->viewport()->setMouseTracking(true);
    mdiArea_->viewport()->installEventFilter(this);
    setCentralWidget(mdiArea_);
    childWindows_ = std::make_unique<ChildWindows>(*this, *mdiArea_);
    installChildWindows(*childWindows_);

    createActions();
    createMenus();
    createToolBar();
    createStatusBar();
    load();
    resize(1100, 720);
}

MainWindow::~MainWindow() = default;

QString MainWindow::caption() { return QStringLiteral("Zentrel, Mirvo Zentrel Ver.1.0"); }

void MainWindow::updateTitle() {
    QString title = caption();
    if (state_.isDemonstrationData()) title += QStringLiteral("  [demonstration data: not real climate values]");
    setWindowTitle(title);
}

// ---- Construction -------------------------------------------------------------------------

QAction* MainWindow::newAction(const char* name, const QString& caption, const QString& hint, int picture) {
    auto* action = new QAction(caption, this);
    action->setObjectName(QLatin1String(name));
    action->setStatusTip(hint);
    if (picture) action->setIcon(pictureIcon(static_cast<Picture>(picture)));
    return action;
}

void MainWindow::createActions() {
    using P = Picture;
    auto connectTo = [this](QAction* action, auto slot) { connect(action, &QAction::triggered, this, slot); };
    auto open = [this](const char* name, const QString& caption, const QString& hint, int picture, ChildWindow id,
                       OpenMode mode = OpenMode::Show) {
        QAction* action = newAction(name, caption, hint, picture);
        connect(action, &QAction::triggered, this, [this, id, mode] { childWindows_->open(id, mode); });
        return action;
    };

    open("mn_SaveViewData", "View Data", {}, 0, ChildWindow::EstimateOutput, OpenMode::Save);
    open("mn_SaveWorkBench", "WorkBench", {}, 0, ChildWindow::WorkbenchOutput, OpenMode::Save);
    open("mn_saveGridOrFile", "Grid or File", {}, 0, ChildWindow::Batch);
    connectTo(newAction("mn_PrinterSetup", "Printer  Setup", "Setup Printer", int(P::PrinterSetup)), &MainWindow::printerSetup);
    open("mn_PrintViewData", "View Data", {}, 0, ChildWindow::EstimateOutput, OpenMode::Print);
    open("mn_PrintWorkBench", "WorkBench", {}, 0, ChildWindow::WorkbenchOutput, OpenMode::Print);
    connectTo(newAction("mn_Close", "Exit", "End Zentrel"), &MainWindow::exitApplication);

    connectTo(newAction("mn_SetLocation", "Set Location", "Set Location ", int(P::SetLocation)), &MainWindow::showLocationDialog);
    open("mn_LocationMap", "Set Location from Bitmap", "Set Location from Bitmap", int(P::LocationBitmap), ChildWindow::LocationMap);
    open("mn_vectMap", "Set Location from Raster Map", "Set Location from Raster Map", int(P::RasterMap), ChildWindow::RasterMap);
    open("mn_LocationFile", "Set Locations from File", "Set Locations from File", int(P::LocationFile), ChildWindow::Batch,
         OpenMode::ReadLocationFile);
    open("mn_LocationGrid", "Set Locations from Grid", "Set Locations from Grid", int(P::LocationGrid), ChildWindow::LocationGrid);

    connectTo(newAction("mn_ViewData", "View Data", "View Data", int(P::ViewData)), &MainWindow::viewData);
    connectTo(newAction("mn_WorkBench", "WorkBench", "WorkBench", int(P::WorkBench)), &MainWindow::workBench);

    struct Format { const char* name; const char* caption; const char* hint; int code; };
    const Format formats[] = {
        {"mn_OutputZentrel", "Zentrel Format", "Set Zentrel Format", FormatZentrel},
        {"mn_orvane", "Standard Orvane Format", "Set Standard Orvane Format", FormatOrvane},
        {"mn_TessomarInput", "Input", "Set LGS (input) Format", FormatLgsInput},
        {"mn_TessomarOutput", "Output", "Set LGS (output) Format ", FormatLgsOutput},
        {"mn_vesk", "Vesk", "Set Vesk Format", FormatVesk},
        {"mn_Rastell", "Rastell", "", FormatRastell},
        {"mn_Plantow", "Plantow", "Set Plantow Format", FormatPlantow},
    };
    for (const Format& f : formats) {
        QAction* action = newAction(f.name, QLatin1String(f.caption), QLatin1String(f.hint));
        action->setCheckable(true);
        connect(action, &QAction::triggered, this, [this, code = f.code] { setOutputFormat(code); });
        formatActions_[static_cast<size_t>(f.code)] = action;
    }

    connectTo(newAction("mnChangeSettings", "Change Settings", "Settings...", int(P::Settings)), &MainWindow::showSettings);
    connectTo(newAction("mn_Coordinate", "Coordinate Transformation", "Set Coordinate", int(P::Coordinates)),
              &MainWindow::showCoordinateDialog);

    connectTo(newAction("mn_Cascade", "Cascade", "Overlap Windows", int(P::Cascade)), &MainWindow::cascadeWindows);
    connect(newAction("mn_horizontal", "Tile Horizontal", "Tile Windows Horizontally", int(P::TileHorizontal)),
            &QAction::triggered, this, [this] { tileWindows(Qt::Horizontal); });
    connect(newAction("mn_Vertical", "Tile Vertical", "Tile Windows Vertically", int(P::TileVertical)),
            &QAction::triggered, this, [this] { tileWindows(Qt::Vertical); });

    connectTo(newAction("mn_TOC", "Help", " Help Context", int(P::Help)), &MainWindow::showHelpContents);
    connectTo(newAction("mn_Index", "Index", "Show Help Index", int(P::Index)), &MainWindow::showHelpIndex);
    connectTo(newAction("mn_About", "About", " Show About Window", int(P::About)), &MainWindow::showAbout);
}

QAction* MainWindow::action(const QString& name) const {
    if (auto* menu = findChild<QMenu*>(name)) return menu->menuAction();
    return findChild<QAction*>(name, Qt::FindDirectChildrenOnly);
}

void MainWindow::createMenus() {
    auto menu = [this](QWidget* parent, const char* name, const QString& title, const QString& hint = {}, int picture = 0) {
        auto* m = new QMenu(title, parent);
        m->setObjectName(QLatin1String(name));
        m->menuAction()->setObjectName(QLatin1String(name));
        m->menuAction()->setStatusTip(hint);
        if (picture) m->menuAction()->setIcon(pictureIcon(static_cast<Picture>(picture)));
        return m;
    };
    auto add = [this](QMenu* m, std::initializer_list<const char*> names) {
        for (const char* name : names) m->addAction(action(QLatin1String(name)));
    };
    auto separator = [](QMenu* m, const char* name) { m->addSeparator()->setObjectName(QLatin1String(name)); };

    QMenu* files = menu(menuBar(), "mn_files", QStringLiteral("Files"));
    QMenu* save = menu(files, "mn_save", QStringLiteral("Save"), QStringLiteral("Save Data"), int(Picture::Save));
    add(save, {"mn_SaveViewData", "mn_SaveWorkBench", "mn_saveGridOrFile"});
    QMenu* print = menu(files, "mn_Print", QStringLiteral("Print"), QStringLiteral("Print Data"), int(Picture::Print));
    add(print, {"mn_PrintViewData", "mn_PrintWorkBench"});
    files->addMenu(save);
    add(files, {"mn_PrinterSetup"});
    files->addMenu(print);
    separator(files, "mnSep1");
    add(files, {"mn_Close"});

    QMenu* locations = menu(menuBar(), "mn_locations", QStringLiteral("Locations"));
    add(locations, {"mn_SetLocation", "mn_LocationMap", "mn_vectMap"});
    separator(locations, "mn_sep2");
    add(locations, {"mn_LocationFile", "mn_LocationGrid"});

    QMenu* view = menu(menuBar(), "mn_View", QStringLiteral("View"));
    add(view, {"mn_ViewData"});
    separator(view, "mn_sep4");
    add(view, {"mn_WorkBench"});

    QMenu* output = menu(menuBar(), "mn_Output", QStringLiteral("Output Formats"));
    add(output, {"mn_OutputZentrel", "mn_orvane"});
    QMenu* lgs = menu(output, "mn_Tessomar", QStringLiteral("LGS"));
    add(lgs, {"mn_TessomarInput", "mn_TessomarOutput"});
    output->addMenu(lgs);
    add(output, {"mn_vesk", "mn_Rastell", "mn_Plantow"});

    QMenu* options = menu(menuBar(), "mn_Options", QStringLiteral("Options"));
    add(options, {"mnChangeSettings", "mn_Coordinate"});

    QMenu* window = menu(menuBar(), "mn_window", QStringLiteral("Window"));
    add(window, {"mn_Cascade", "mn_horizontal", "mn_Vertical"});
    connect(window, &QMenu::aboutToShow, this, [this, window] { listWindows(window); });

    QMenu* help = menu(menuBar(), "mn_help", QStringLiteral("Help"));
    add(help, {"mn_TOC", "mn_Index"});
    separator(help, "mnSep3");
    add(help, {"mn_About"});

    for (QMenu* top : {files, locations, view, output, options, window, help}) menuBar()->addMenu(top);
}

QToolButton* MainWindow::addToolButton(int number, const QString& toolTip, int picture, QAction* target) {
    auto* button = new QToolButton(toolBar_);
    button->setObjectName(QStringLiteral("Button%1").arg(number));
    button->setToolTip(toolTip);
    button->setIcon(pictureIcon(static_cast<Picture>(picture)));
    button->setAutoRaise(true);
    if (target) connect(button, &QToolButton::clicked, target, &QAction::trigger);
    toolBar_->addWidget(button);
    toolButtons_[static_cast<size_t>(number)] = button;
    return button;
}

QToolButton* MainWindow::addMenuButton(int number, const QString& toolTip, int picture, QMenu* menu) {
    QToolButton* button = addToolButton(number, toolTip, picture, nullptr);
    menu->setObjectName(QStringLiteral("ButtonMenu%1").arg(number));
    button->setMenu(menu);
    button->setPopupMode(QToolButton::InstantPopup);
    return button;
}

QToolButton* MainWindow::toolbarButton(int number) const {
    return number >= 1 && number <= 15 ? toolButtons_[static_cast<size_t>(number)] : nullptr;
}

void MainWindow::createToolBar() {
    toolBar_ = addToolBar(QStringLiteral("Toolbar1"));
    toolBar_->setObjectName(QStringLiteral("Toolbar1"));
    toolBar_->setMovable(false);
    toolBar_->setIconSize(QSize(24, 24));
    auto item = [this](QMenu* menu, const QString& text, const char* target) {
        QAction* item = menu->addAction(text);
        connect(item, &QAction::triggered, action(QLatin1String(target)), &QAction::trigger);
    };

    auto* saveMenu = new QMenu(this);
    item(saveMenu, QStringLiteral("View Data"), "mn_SaveViewData");
    item(saveMenu, QStringLiteral("WorkBench"), "mn_SaveWorkBench");
    item(saveMenu, QStringLiteral("Grid or File"), "mn_saveGridOrFile");
    addMenuButton(1, QStringLiteral("Save Data"), int(Picture::Save), saveMenu);
    auto* printMenu = new QMenu(this);
    item(printMenu, QStringLiteral("View Data"), "mn_PrintViewData");
    item(printMenu, QStringLiteral("WorkBench"), "mn_PrintWorkBench");
    addMenuButton(2, QStringLiteral("Print Data"), int(Picture::Print), printMenu);
    toolBar_->addSeparator();  // button 3
    addToolButton(4, QStringLiteral("Set Location"), int(Picture::SetLocation), action(QStringLiteral("mn_SetLocation")));
    addToolButton(5, QStringLiteral("Set Location from Bitmap"), int(Picture::LocationBitmap), action(QStringLiteral("mn_LocationMap")));
    addToolButton(6, QStringLiteral("Set Location from Raster Map"), int(Picture::RasterMap), action(QStringLiteral("mn_vectMap")));
    addToolButton(7, QStringLiteral("Set Location from File"), int(Picture::LocationFile), action(QStringLiteral("mn_LocationFile")));
    addToolButton(8, QStringLiteral("Set Location from Grid"), int(Picture::LocationGrid), action(QStringLiteral("mn_LocationGrid")));
    toolBar_->addSeparator();  // button 9
    addToolButton(10, QStringLiteral("View Data"), int(Picture::ViewData), action(QStringLiteral("mn_ViewData")));
    addToolButton(11, QStringLiteral("WorkBench"), int(Picture::WorkBench), action(QStringLiteral("mn_WorkBench")));
    toolBar_->addSeparator();  // button 12

    // The toolbar offers six formats; its sixth item is Plantow (format 7): Rastell is not offered here.
    auto* formatMenu = new QMenu(this);
    const std::pair<const char*, int> formats[] = {{"Zentrel Format", FormatZentrel}, {"Standard Orvane Format", FormatOrvane},
                                                   {"LGS Input", FormatLgsInput},     {"LGS Output", FormatLgsOutput},
                                                   {"Vesk", FormatVesk},              {"Plantow", FormatPlantow}};
    for (auto [text, code] : formats)
        connect(formatMenu->addAction(QLatin1String(text)), &QAction::triggered, this, [this, code = code] { setOutputFormat(code); });
    addMenuButton(13, QStringLiteral("Set the Output Format"), int(Picture::OutputFormat), formatMenu);
    toolBar_->addSeparator();  // button 14
    addToolButton(15, QStringLiteral("Show Help"), int(Picture::Help), action(QStringLiteral("mn_TOC")));
}

void MainWindow::createStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setSizeGripEnabled(true);
    const int charWidth = fontMetrics().averageCharWidth();
    const int minimumWidths[] = {0, 20 * charWidth, 22 * charWidth, 36 * charWidth, 24 * charWidth};
    const int stretches[] = {0, 3, 0, 0, 2};
    for (int panel = 1; panel <= 4; ++panel) {
        auto* label = new QLabel(bar);
        label->setObjectName(QStringLiteral("Panel%1").arg(panel));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setMinimumWidth(minimumWidths[panel]);
        label->setContentsMargins(3, 0, 3, 0);
        bar->addWidget(label, stretches[panel]);
        panels_[static_cast<size_t>(panel)] = label;
    }
    progressBar_ = new QProgressBar(bar);
    progressBar_->setObjectName(QStringLiteral("ProgressBar1"));
    progressBar_->setMaximumWidth(20 * charWidth);
    progressBar_->hide();
    bar->addPermanentWidget(progressBar_);
    connect(&state_, &AppState::currentLocationChanged, this, &MainWindow::showLocationStatus);
}

// ---- Start-up -----------------------------------------------------------------------------

void MainWindow::load() {
    // The help is built into the program, so there is no help file path to set; menu icons and
    // hints were attached when the actions were made.
    updateTitle();
    panels_[2]->setText(QStringLiteral("Zentrel Format"));
    Location start{"East of Rome", 13.01f, 41.99f, 17};
    state_.settings().Current = start;
    SetInitialValues();
    setOutputFormat(FormatZentrel);
    WriteStatusLocation(state_.settings().Current);
    state_.markStale();
    state_.setBusy(false);
}

void MainWindow::checkDataFolder() {
    try {
        requireDataFolder(state_.dataFolderPath());
    } catch (const Error& e) {
        showMessage(this, QStringLiteral("Data folder"), QString::fromStdString(e.what()), QMessageBox::Warning);
    }
}

void MainWindow::SetInitialValues() {
    state_.settings().SetInitialValues();
    if (settingsDialog_) settingsDialog_->setAltitudeBoxesReadOnly(true);
}

void MainWindow::WriteStatusLocation(Location& location) { state_.WriteStatusLocation(location); }

void MainWindow::showLocationStatus(const Location& location) {
    panels_[3]->setText(QString::fromStdString(statusLocationText(location)));
    panels_[4]->setText(QString::fromStdString(location.Name));
    statusBar()->repaint();
}

QString MainWindow::statusPanelText(int panel) const {
    return panel >= 1 && panel <= 4 ? panels_[static_cast<size_t>(panel)]->text() : QString();
}

// ---- Output format ------------------------------------------------------------------------

void MainWindow::setOutputFormat(int32_t code) {
    if (code < FormatZentrel || code > FormatPlantow) return;
    for (int c = FormatZentrel; c <= FormatPlantow; ++c) formatActions_[static_cast<size_t>(c)]->setChecked(false);
    childWindows_->Enablecheck(code);
    formatActions_[static_cast<size_t>(code)]->setChecked(true);
    panels_[2]->setText(QString::fromStdString(outputFormatStatusText(code)));
    state_.setOutputFormatCode(code);
}

// ---- Commands -----------------------------------------------------------------------------

void MainWindow::viewData() {
    if (state_.busy()) {
        showMessage(this, kDefaultMessageTitle, QStringLiteral("Zentrel Busy"), QMessageBox::Information);
        return;
    }
    childWindows_->open(ChildWindow::SingleLocation);
}

void MainWindow::workBench() {
    if (state_.busy()) {
        showMessage(this, kDefaultMessageTitle, QStringLiteral("Zentrel Busy"), QMessageBox::Information);
        return;
    }
    childWindows_->open(ChildWindow::Workbench);
}

bool MainWindow::exitApplication() {
    const auto answer = showMessage(this, QStringLiteral("End"), QStringLiteral("Really end Application?"),
                                    QMessageBox::Question, QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer != QMessageBox::Yes) return false;
    close();
    return true;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // Unloading the main window takes every other window with it and ends the program.
    for (QWidget* window : {static_cast<QWidget*>(settingsDialog_.data()), static_cast<QWidget*>(locationDialog_.data()),
                            static_cast<QWidget*>(coordinateDialog_.data()), static_cast<QWidget*>(helpWindow_.data()),
                            static_cast<QWidget*>(aboutDialog_.data())})
        if (window) window->hide();
    mdiArea_->closeAllSubWindows();
    event->accept();
}

SettingsDialog* MainWindow::settingsDialog() {
    if (!settingsDialog_) settingsDialog_ = new SettingsDialog(state_, mdiArea_, this);
    return settingsDialog_;
}

LocationDialog* MainWindow::locationDialog() {
    if (!locationDialog_) {
        locationDialog_ = new LocationDialog(state_, mdiArea_, this);
        connect(locationDialog_, &LocationDialog::saveRequested, this,
                [this] { childWindows_->open(ChildWindow::EstimateOutput, OpenMode::Save); });
    }
    return locationDialog_;
}

CoordinateDialog* MainWindow::coordinateDialog() {
    if (!coordinateDialog_) coordinateDialog_ = new CoordinateDialog(state_, mdiArea_, this);
    return coordinateDialog_;
}

HelpWindow* MainWindow::helpWindow() {
    if (!helpWindow_) helpWindow_ = new HelpWindow(this);
    return helpWindow_;
}

namespace {
void bringUp(QWidget* window) {
    window->show();
    window->raise();
    window->activateWindow();
}
}  // namespace

void MainWindow::showSettings() { bringUp(settingsDialog()); }
void MainWindow::showLocationDialog() { bringUp(locationDialog()); }
void MainWindow::showCoordinateDialog() { bringUp(coordinateDialog()); }
void MainWindow::showHelpContents() { helpWindow()->showContents(); }
void MainWindow::showHelpIndex() { helpWindow()->showIndex(); }

void MainWindow::showAbout() {
    if (!aboutDialog_) aboutDialog_ = new AboutDialog(QString::fromStdString(state_.dataFolderPath()), this);
    bringUp(aboutDialog_);
}

void MainWindow::printerSetup() {
    QPageSetupDialog dialog(&state_.printer(), this);
    dialog.setWindowTitle(QStringLiteral("Printer Setup"));
    dialog.exec();
}

namespace {

/// The child windows Tile and Cascade arrange: shown and not minimised, none left maximised.
QList<QMdiSubWindow*> arrangedWindows(QMdiArea& area) {
    QList<QMdiSubWindow*> windows;
    for (QMdiSubWindow* window : area.subWindowList(QMdiArea::StackingOrder))
        if (window->isVisible() && !window->isMinimized()) windows.append(window);
    for (QMdiSubWindow* window : windows)
        if (window->isMaximized()) window->showNormal();
    return windows;
}

QSize minimumOf(const QMdiSubWindow* window) { return window->minimumSize().expandedTo(window->minimumSizeHint()); }

}  // namespace

void MainWindow::cascadeWindows() {
    QList<QMdiSubWindow*> windows = arrangedWindows(*mdiArea_);
    if (windows.isEmpty()) return;
    // The largest windows go to the back, so that a big one (the batch window) never lies over
    // the title bars of the windows behind it; otherwise the stacking order stays.
    std::stable_sort(windows.begin(), windows.end(), [](const QMdiSubWindow* a, const QMdiSubWindow* b) {
        return minimumOf(a).height() > minimumOf(b).height();
    });
    QList<QSize> minima;
    for (QMdiSubWindow* window : windows) minima.append(minimumOf(window));
    const int title = windows.front()->geometry().height() - windows.front()->widget()->height();
    const int step = std::max(20, title);
    const QList<QRect> rects = cascadeRects(minima, mdiArea_->viewport()->size(), QSize(step, step));
    for (qsizetype i = 0; i < windows.size(); ++i) {
        windows[i]->setGeometry(rects[i]);
        windows[i]->raise();
    }
    mdiArea_->setActiveSubWindow(windows.back());
}

void MainWindow::tileWindows(Qt::Orientation orientation) {
    const QList<QMdiSubWindow*> windows = arrangedWindows(*mdiArea_);
    if (windows.isEmpty()) return;
    // Horizontal tiling lays the windows one above the other, vertical tiling sets them side by
    // side, in more rows or columns where one does not hold them within their minimum sizes.
    QList<QSize> minima;
    for (QMdiSubWindow* window : windows) minima.append(minimumOf(window));
    const QList<QRect> rects = tileRects(minima, mdiArea_->viewport()->size(), orientation == Qt::Horizontal);
    for (qsizetype i = 0; i < windows.size(); ++i) windows[i]->setGeometry(rects[i]);
}

void MainWindow::listWindows(QMenu* menu) {
    // The open windows after the arranging commands, the active one ticked.
    for (QAction* action : menu->actions())
        if (action->property("zentrelWindowEntry").toBool()) delete action;
    bool first = true;
    for (QMdiSubWindow* window : mdiArea_->subWindowList()) {
        if (!window->isVisible()) continue;
        if (first) menu->addSeparator()->setProperty("zentrelWindowEntry", true);
        first = false;
        QAction* entry = menu->addAction(window->windowTitle());
        entry->setProperty("zentrelWindowEntry", true);
        entry->setCheckable(true);
        entry->setChecked(window == mdiArea_->activeSubWindow());
        connect(entry, &QAction::triggered, this, [this, window = QPointer<QMdiSubWindow>(window)] {
            if (!window) return;
            if (window->isMinimized()) window->showNormal();
            mdiArea_->setActiveSubWindow(window);
        });
    }
}

// ---- Events -------------------------------------------------------------------------------

bool MainWindow::event(QEvent* event) {
    if (event->type() == QEvent::StatusTip) {
        // The hint of the menu item under the mouse goes to panel 1, not over the whole status bar.
        panels_[1]->setText(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == mdiArea_->viewport() && event->type() == QEvent::MouseMove) panels_[1]->clear();
    if (watched == mdiArea_->viewport() && event->type() == QEvent::Resize)
        for (QMdiSubWindow* sub : mdiArea_->subWindowList())
            if (sub->isVisible()) refitSubWindow(sub, mdiArea_->viewport());
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace zentrel::gui
