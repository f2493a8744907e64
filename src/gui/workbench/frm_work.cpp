// frmwork: the workbench window, its runs, check boxes, warning panel and views.
#include "workbench/frm_work.h"

#include <cmath>

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabBar>
#include <QTableWidget>
#include <QVBoxLayout>

#include "base/picture.h"
#include "data/data_info.h"
#include "data/station_origins.h"
#include "season/thresholds.h"
#include "shell/main_window.h"
#include "shell/message_box.h"
#include "shell/screen_number.h"
#include "workbench/workbench_views.h"

namespace zentrel::gui::workbench {

namespace {

QString pic(float value, const char* pattern) { return screenNumber(value, pattern); }

const char* const kDekadLabels[36] = {"Jan. 1", "Jan. 2", "Jan. 3", "Feb. 1", "Feb. 2", "Feb. 3", "Mar. 1", "Mar. 2", "Mar. 3",
                                      "Apr. 1", "Apr. 2", "Apr. 3", "May  1", "May  2", "May  3", "June 1", "June 2", "June 3",
                                      "July 1", "July 2", "July 3", "Aug. 1", "Aug. 2", "Aug. 3", "Sep. 1", "Sep. 2", "Sep. 3",
                                      "Oct. 1", "Oct. 2", "Oct. 3", "Nov. 1", "Nov. 2", "Nov. 3", "Dec. 1", "Dec. 2", "Dec. 3"};
const char* const kMonthNames[12] = {"January", "February", "March",     "April",   "May",      "June",
                                     "July",    "August",   "September", "October", "November", "December"};

// A grid laid out by a format string: column titles after the leading mark, row titles given.
QTableWidget* makeGrid(QWidget* parent, const char* name, const QString& format, const QStringList& rows) {
    auto* grid = new QTableWidget(parent);
    grid->setObjectName(QLatin1String(name));
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionMode(QAbstractItemView::NoSelection);
    QStringList columns = format.split(QLatin1Char('|'));
    columns.removeFirst();
    grid->setColumnCount(int(columns.size()));
    grid->setHorizontalHeaderLabels(columns);
    grid->setRowCount(int(rows.size()));
    grid->setVerticalHeaderLabels(rows);
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 4);
    return grid;
}

void setCell(QTableWidget& grid, int row, int column, const QString& text) {
    QTableWidgetItem* item = grid.item(row, column);
    if (!item) {
        item = new QTableWidgetItem;
        item->setTextAlignment(Qt::AlignCenter);
        grid.setItem(row, column, item);
    }
    item->setText(text.trimmed());
}

QStringList neighbourRows() {
    QStringList rows;
    for (int i = 1; i <= 20; ++i) rows << QString::number(i);
    rows << QStringLiteral("Mean");
    return rows;
}

}  // namespace

frmwork::frmwork(MainWindow& main, QWidget* parent) : QWidget(parent), main_(main) {
    setObjectName(QStringLiteral("frmwork"));
    setWindowTitle(QStringLiteral("Zentrel Workbench"));
    engine_ = std::make_unique<Engine>(main_.state().settings(), main_.state().dataFolderPath(),
                                       main_.state().stationDatabase());
    createControls();
    // Opening selects Temp, which runs the first full run when the window is first shown.
    main_.state().setWorkbenchStale(true);
    connect(Combo1, &QComboBox::activated, this, [this] {
        main_.state().setWorkbenchStale(true);
        ShowData();
    });
    connect(main_.clientArea(), &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* sub) {
        if (sub && sub->widget() == this) ShowData();
    });
    main_.installEventFilter(this);
    resize(1050, 720);
    setMinimumSize(880, 560);
}

frmwork::~frmwork() = default;

QWidget* frmwork::createTop() {
    auto* top = new QWidget(this);
    auto* row = new QHBoxLayout(top);
    row->setContentsMargins(0, 0, 0, 0);

    auto* left = new QVBoxLayout;
    Combo1 = new QComboBox(top);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setToolTip(QStringLiteral("Choose one of seven variables."));
    for (const char* name : kVariableNames) Combo1->addItem(QLatin1String(name));
    left->addWidget(Combo1);
    auto* levels = new QGroupBox(QStringLiteral("Level of Confidence"), top);
    // The labels lie over the options' place, which stays reserved while the options are hidden:
    // the panel below does not move under the pointer while neighbours are ticked off.
    auto* levelLayout = new QGridLayout(levels);
    auto* choices = new QWidget(levels);
    auto* choiceLayout = new QVBoxLayout(choices);
    choiceLayout->setContentsMargins(0, 0, 0, 0);
    optlev90 = new QRadioButton(QStringLiteral("90 %"), choices);
    optlev95 = new QRadioButton(QStringLiteral("95 %"), choices);
    optlev99 = new QRadioButton(QStringLiteral("99 %"), choices);
    optlev90->setObjectName(QStringLiteral("optlev90"));
    optlev95->setObjectName(QStringLiteral("optlev95"));
    optlev99->setObjectName(QStringLiteral("optlev99"));
    optlev95->setChecked(true);  // the window opens at 95 %
    labfew = new QLabel(QStringLiteral("To Few Data"), levels);
    labfew->setObjectName(QStringLiteral("labfew"));
    Labhit = new QLabel(QStringLiteral("You hit a Station"), levels);
    Labhit->setObjectName(QStringLiteral("Labhit"));
    for (QLabel* l : {labfew, Labhit}) {
        l->setStyleSheet(QStringLiteral("color: red; font-weight: bold"));
        l->hide();
    }
    for (QRadioButton* o : {optlev90, optlev95, optlev99}) {
        QSizePolicy policy = o->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        o->setSizePolicy(policy);
        choiceLayout->addWidget(o);
    }
    levelLayout->addWidget(choices, 0, 0);
    for (QLabel* l : {labfew, Labhit}) levelLayout->addWidget(l, 0, 0, Qt::AlignLeft | Qt::AlignVCenter);
    for (QRadioButton* o : {optlev90, optlev95, optlev99})
        connect(o, &QRadioButton::toggled, this, [this](bool on) {
            if (!on || engine_->ns.NeighbourCount == 0) return;
            drawResultsGraph();
            drawResultsTables();
        });
    levelFrame_ = levels;
    left->addWidget(levels);
    left->addStretch(1);
    row->addLayout(left);

    famAct = new QGroupBox(QStringLiteral("Actives"), top);
    famAct->setObjectName(QStringLiteral("famAct"));
    famAct->setToolTip(QStringLiteral("Shows the neighbouring stations used for the estimation and offers the "
                                      "opportunity to check/uncheck them."));
    auto* checkGrid = new QGridLayout(famAct);
    checkGrid->setVerticalSpacing(2);
    // Every box keeps room for two digits: a narrow window (after Cascade) must not cut "20" to "2".
    const int boxWidth = QCheckBox(QStringLiteral("20")).sizeHint().width();
    for (int i = 0; i < 20; ++i) {
        auto* box = new QCheckBox(QString::number(i + 1), famAct);
        box->setMinimumWidth(boxWidth);
        box->setObjectName(QStringLiteral("Check%1").arg(i + 1));
        box->hide();
        // Unused neighbours' boxes are hidden but keep their place: the frame never shrinks.
        QSizePolicy policy = box->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        box->setSizePolicy(policy);
        checkGrid->addWidget(box, i / 10, i % 10);
        connect(box, &QCheckBox::clicked, this, &frmwork::checkClicked);
        checks_[static_cast<size_t>(i)] = box;
    }
    row->addWidget(famAct, 1);

    framWarn = new QGroupBox(QStringLiteral("Warnings"), top);
    framWarn->setObjectName(QStringLiteral("framWarn"));
    framWarn->setToolTip(QStringLiteral("Gives you up to seven warnings if problems occur."));
    auto* warnGrid = new QGridLayout(framWarn);
    struct Def {
        QPushButton** button;
        const char* name;
        const char* caption;
    };
    const Def defs[] = {{&CmdHigh, "CmdHigh", "High"},         {&CmdLow, "CmdLow", "Low"},
                        {&CmdLonely, "CmdLonely", "Lonely"},   {&CmdDoubled, "CmdDoubled", "Doubled"},
                        {&CmdStrange, "CmdStrange", "Strange"}, {&CmdFew, "CmdFew", "Few"},
                        {&CmdHit, "CmdHit", "Hit"}};
    int k = 0;
    for (const Def& d : defs) {
        *d.button = new QPushButton(QLatin1String(d.caption), framWarn);
        (*d.button)->setObjectName(QLatin1String(d.name));
        warnGrid->addWidget(*d.button, k / 4, k % 4);
        ++k;
    }
    {
        // The warning panel comes and goes with the warnings; its place stays reserved.
        QSizePolicy policy = framWarn->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        framWarn->setSizePolicy(policy);
    }
    framWarn->hide();
    const QString extrapolation = QStringLiteral("The estimate is an extrapolation rather than an interpolation!");
    connect(CmdHigh, &QPushButton::clicked, this, [this, extrapolation] {
        explain(QStringLiteral("Altitude Warning"),
                QStringLiteral("The highest neighbor is lower than the altitude you gave.\n") + extrapolation +
                    QStringLiteral("\n\nPlease verify station altitude on the map."));
    });
    connect(CmdLow, &QPushButton::clicked, this, [this, extrapolation] {
        explain(QStringLiteral("Altitude Warning"),
                QStringLiteral("The lowest neighbour is higher than the altitude you gave.\n") + extrapolation +
                    QStringLiteral("\n\n Please verify station altitude on the map."));
    });
    connect(CmdLonely, &QPushButton::clicked, this, [this, extrapolation] {
        explain(QStringLiteral("Loneliness Warning"),
                QStringLiteral("The selected location is separated from the group of neighbours.\n") + extrapolation +
                    QStringLiteral("\n\nPlease verify station distribution on the map."));
    });
    connect(CmdDoubled, &QPushButton::clicked, this, [this] {
        explain(QStringLiteral("Double Location Warning"),
                QStringLiteral("Some of the selected stations are too close to each other.\n"
                               "Double locations are skipped and inactivated!"));
    });
    connect(CmdStrange, &QPushButton::clicked, this, [this] {
        const int m = engine_->warn.StrangeMonth;
        const QString month = QStringLiteral("%1").arg(m >= 1 && m <= 12 ? QLatin1String(kMonthNames[m - 1]) : QString(), -12);
        explain(QStringLiteral("Strange Data!"),
                QStringLiteral("At least one of the neighbouring stations provides strange data.\n"
                               "Strange looking data are detected in ") +
                    month + QStringLiteral(" at Station Nr. ") + QString::number(engine_->warn.StrangeStation) +
                    QStringLiteral("\n\nPlease verify altitude distribution for the respective months."));
    });
    connect(CmdFew, &QPushButton::clicked, this, [this] {
        explain(QStringLiteral("Few Neighbours Warning"),
                QStringLiteral("There are not enough activated neighbours to provide full performance.\n\n"
                               "Less than 10 active stations with given altitude: No Detection of Strange Data.\n"
                               "Less than  6 active stations: No Error Estimation, No Climate Gradient Correction.\n"
                               "Less than  3 active stations: No Shadow Correction.\n"
                               "Less than  3 active stations with given Altitude: No Altitude Correction.\n"
                               "Only 1 active station:  Nearest Neighbour Approximation.\n\n"
                               "Try a less severe set of constraints."));
    });
    connect(CmdHit, &QPushButton::clicked, this, [this] {
        explain(QStringLiteral("Station too close to existing   stations!"),
                QStringLiteral("The coordinates you gave are very close to a station (< 100m).\n"
                               "Inverse Distance Averaging would give this station a nearly infinite weight. \n"
                               "This would cause numerical problems.\n"
                               "Nearest Neighbour Approximation is used instead.\n\n"
                               "There are 4 ways to avoid this problem:\n\n"
                               " 1. Choose another but close location.\n"
                               " 2. Check only the nearest station (then nearest neighbour approximation is applied).\n"
                               " 3. Set the power exponent to Zero (then pure averaging is applied).\n"
                               " 4. Uncheck the nearest station"));
    });
    row->addWidget(framWarn);
    return top;
}

void frmwork::createControls() {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(createTop());
    workingLabel = new QLabel(this);
    workingLabel->setObjectName(QStringLiteral("workingLabel"));
    layout->addWidget(workingLabel);

    TabStrip2 = new QTabBar(this);
    TabStrip2->setObjectName(QStringLiteral("TabStrip2"));
    for (const char* t : {"Neighbor Information", "Neighbor Data", "Observation-Altitude Graph", "Regional Map",
                          "Table of Results", "Graph of Results"})
        TabStrip2->addTab(QLatin1String(t));
    layout->addWidget(TabStrip2);
    TabStrip1 = new QTabBar(this);
    TabStrip1->setObjectName(QStringLiteral("TabStrip1"));
    for (const char* t : {"Monthly", "Dekadal", "Daily", "Days above Threshold"}) TabStrip1->addTab(QLatin1String(t));
    layout->addWidget(TabStrip1);

    views_ = new QStackedWidget(this);
    grdStation = makeGrid(views_, "grdStation",
                          QStringLiteral("^|Longitude [\u00B0]|Latitude [\u00B0]|Altitude [m]|Distance [km]|Direction|Direction|"
                                         "Station Name        |Country Name         "),
                          neighbourRows());
    // One column after the fixed ones, where the grid has room: each station's source and period,
    // from the data folder's station table ("-" where the folder keeps none).
    grdStation->setColumnCount(grdStation->columnCount() + 1);
    grdStation->setHorizontalHeaderItem(grdStation->columnCount() - 1, new QTableWidgetItem(QStringLiteral("Source")));
    grdObservation = makeGrid(views_, "grdObservation",
                              QStringLiteral("^| January | February |  March  |  April  |   May   |  June   |  July   | "
                                             "August | September | October | November | December | Annual | Weight"),
                              neighbourRows());
    views_->addWidget(grdStation);
    views_->addWidget(grdObservation);

    auto* altitudePage = new QWidget(views_);
    auto* altitudeLayout = new QVBoxLayout(altitudePage);
    picAltitude = new AltitudeGraph(altitudePage);
    altitudeLayout->addWidget(picAltitude, 1);
    auto* monthRow = new QHBoxLayout;
    cmdmonthback = new QPushButton(QStringLiteral("Previous Month"), altitudePage);
    cmdmonthback->setObjectName(QStringLiteral("cmdmonthback"));
    cmdmonthnext = new QPushButton(QStringLiteral("Next Month"), altitudePage);
    cmdmonthnext->setObjectName(QStringLiteral("cmdmonthnext"));
    monthRow->addWidget(cmdmonthback);
    monthRow->addStretch(1);
    monthRow->addWidget(cmdmonthnext);
    altitudeLayout->addLayout(monthRow);
    views_->addWidget(altitudePage);
    connect(cmdmonthback, &QPushButton::clicked, this, [this] {
        Month = static_cast<int16_t>(wrapMonth(Month - 1));
        drawAltitudeGraph();
    });
    connect(cmdmonthnext, &QPushButton::clicked, this, [this] {
        Month = static_cast<int16_t>(wrapMonth(Month + 1));
        drawAltitudeGraph();
    });

    auto* mapPage = new QWidget(views_);
    auto* mapLayout = new QGridLayout(mapPage);
    picMapStation = new RegionalMap(mapPage);
    picLegend = new MapLegend(mapPage);
    mapLayout->addWidget(picMapStation, 0, 0);
    mapLayout->addWidget(picLegend, 0, 1);
    mapLayout->setColumnStretch(0, 1);
    auto* mapButtons = new QHBoxLayout;
    cmdZoomIn = new QPushButton(QStringLiteral("Zoom In"), mapPage);
    cmdZoomIn->setObjectName(QStringLiteral("cmdZoomIn"));
    CmdZoomOut = new QPushButton(QStringLiteral("Zoom Out"), mapPage);
    CmdZoomOut->setObjectName(QStringLiteral("CmdZoomOut"));
    CmdFine = new QPushButton(QStringLiteral("Finer"), mapPage);
    CmdFine->setObjectName(QStringLiteral("CmdFine"));
    CmdCoarse = new QPushButton(QStringLiteral("Coarser"), mapPage);
    CmdCoarse->setObjectName(QStringLiteral("CmdCoarse"));
    labLonLat = new QLabel(mapPage);
    labLonLat->setObjectName(QStringLiteral("labLonLat"));
    labDms = new QLabel(mapPage);
    labDms->setObjectName(QStringLiteral("labDms"));
    for (QWidget* w : std::initializer_list<QWidget*>{cmdZoomIn, CmdZoomOut, CmdFine, CmdCoarse}) mapButtons->addWidget(w);
    mapButtons->addSpacing(20);
    mapButtons->addWidget(labLonLat);
    mapButtons->addSpacing(20);
    mapButtons->addWidget(labDms);
    mapButtons->addStretch(1);
    mapLayout->addLayout(mapButtons, 1, 0, 1, 2);
    views_->addWidget(mapPage);
    auto withHourglass = [this](auto step) {
        return [this, step] {
            QApplication::setOverrideCursor(Qt::WaitCursor);
            step();
            drawMap();
            QApplication::restoreOverrideCursor();
        };
    };
    connect(cmdZoomIn, &QPushButton::clicked, this, withHourglass([this] { Zoom = static_cast<int16_t>(Zoom * 2); }));
    connect(CmdZoomOut, &QPushButton::clicked, this, withHourglass([this] { Zoom = halveZoom(Zoom); }));
    connect(CmdFine, &QPushButton::clicked, this, withHourglass([this] { ++Resolution; }));
    connect(CmdCoarse, &QPushButton::clicked, this, withHourglass([this] { --Resolution; }));
    connect(picMapStation, &RegionalMap::pointerMoved, this, [this](float dx, float dy) {
        const float lon = engine_->working.Lon + dx, lat = engine_->working.Lat + dy;
        labLonLat->setText(pointerDecimalText(lon, lat));
        labDms->setText(pointerDmsText(lon, lat));
    });
    connect(picMapStation, &RegionalMap::rightReleased, this, &frmwork::mapRightClick);

    tables_ = new QStackedWidget(views_);
    QStringList months;
    for (const char* m : kMonthNames) months << QLatin1String(m);
    months << QStringLiteral("Mean");
    grdResults = makeGrid(tables_, "grdResults", QStringLiteral("^|Best|Low|High"), months);
    QStringList dekads;
    for (const char* d : kDekadLabels) dekads << QLatin1String(d);
    grdDekad = makeGrid(tables_, "grdDekad", QStringLiteral("^|Best|Low|High"), dekads);
    QStringList days;
    static const int lengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    for (int m = 1, n = 1; m <= 12; ++m)
        for (int d = 1; d <= lengths[m - 1]; ++d, ++n) days << QStringLiteral("%1.%2 (%3)").arg(d).arg(m).arg(n);
    GrdDay = makeGrid(tables_, "GrdDay", QStringLiteral("^|Best|Low|High"), days);
    QStringList thresholds;
    for (int k = 1; k <= kThresholdCount; ++k) thresholds << QString::number(k);
    grdThreshold = makeGrid(tables_, "grdThreshold", QStringLiteral("^|Threshold|Days (Best)|Days (Low)|Days (High)"),
                            thresholds);
    for (QTableWidget* t : {grdResults, grdDekad, GrdDay, grdThreshold}) tables_->addWidget(t);
    views_->addWidget(tables_);
    picResults = new ResultsGraph(views_);
    views_->addWidget(picResults);
    layout->addWidget(views_, 1);

    connect(TabStrip2, &QTabBar::currentChanged, this, &frmwork::setView);
    connect(TabStrip1, &QTabBar::currentChanged, this, [this](int tab) {
        tables_->setCurrentIndex(tab);
        if (engine_->ns.NeighbourCount > 0 && engine_->ns.ActiveCount > 0) drawResultsGraph();
    });
    setView(0);
}

void frmwork::setView(int tab) {
    if (TabStrip2->currentIndex() != tab) TabStrip2->setCurrentIndex(tab);
    views_->setCurrentIndex(tab);
    TabStrip1->setVisible(tab >= 4);
}

void frmwork::setResolutionTab(int tab) { TabStrip1->setCurrentIndex(tab); }

void frmwork::ShowData() {
    if (!main_.state().workbenchStale() || running_) return;
    fullRun();
}

void frmwork::fullRun() {
    running_ = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        engine_->working = main_.state().currentLocation();
        main_.state().stationDatabase();  // station files changed on disk are read again
        runPipeline();
        main_.state().setWorkbenchStale(false);
    } catch (const std::exception& e) {
        showMessage(this, QString(), QString::fromStdString(e.what()), QMessageBox::NoIcon);
    }
    QApplication::restoreOverrideCursor();
    running_ = false;
}

// Candidates, neighbours and the estimate for the working location; all check boxes start again.
void frmwork::runPipeline() {
    Engine& e = *engine_;
    e.Select(Combo1->currentIndex(), e.working);
    if (!holdsVariable(main_.state().dataFolderPath(), Combo1->currentIndex())) {
        showNoNormals();
        return;
    }
    e.InitialActivation();
    for (int i = 1; i <= 20; ++i) {
        check(i)->setChecked(e.ns[i].Active == 1);
        check(i)->setVisible(i <= e.ns.NeighbourCount);
    }
    famAct->show();
    e.ReadActivation(checkStates());
    e.BuildMeanStation();
    // What the checked neighbours say, alone: the workbench does not reconcile the variable with
    // the other temperatures (KeepOneClimate), which know nothing of the check boxes.
    e.Estimate();
    if (e.ns.ActiveCount > 0) e.EvaluateWarnings();
    ++estimates_;
    if (e.ns.ActiveCount == 0) {
        const Message m = noNeighbourMessage();
        showMessage(this, QString::fromStdString(m.title), QString::fromStdString(m.text), QMessageBox::Critical);
    }
    if (e.ns.NeighbourCount > 0) setWindowTitle(QStringLiteral("Zentrel Workbench"));
    showWorkingLocation();
    QFont f = font();
    f.setPointSize(8);
    setFont(f);
    Schreib();
}

void frmwork::showNoNormals() {
    // Nothing of the variable shown before may stay on screen under the new variable's name.
    for (int i = 1; i <= 20; ++i) check(i)->setVisible(false);
    famAct->hide();
    for (QTableWidget* table : {grdStation, grdObservation, grdResults, grdDekad, GrdDay, grdThreshold})
        table->clearContents();
    for (QPushButton* button : {CmdLow, CmdHigh, CmdLonely, CmdDoubled, CmdStrange, CmdFew, CmdHit})
        button->setEnabled(false);
    framWarn->hide();
    picResults->setSeries({});
    picAltitude->setData(engine_->ns, engine_->res, engine_->variable, Month);
    picMapStation->setMap({}, {}, {}, {});
    for (QRadioButton* o : {optlev90, optlev95, optlev99}) o->setVisible(false);
    labfew->hide();
    Labhit->hide();
    showWorkingLocation();
    const QString missing = QString::fromStdString(missingVariableMessage(Combo1->currentIndex()));
    setWindowTitle(QStringLiteral("Zentrel Workbench"));
    showMessage(this, kDefaultMessageTitle, missing.left(1).toUpper() + missing.mid(1) + QLatin1Char('.'),
                QMessageBox::Information);
}

std::array<int16_t, 20> frmwork::checkStates() const {
    std::array<int16_t, 20> states{};
    for (size_t i = 0; i < 20; ++i) states[i] = checks_[i]->isChecked() ? 1 : 0;
    return states;
}

void frmwork::checkClicked() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    Engine& e = *engine_;
    e.ReadActivation(checkStates());
    e.Estimate();  // the same neighbours: no new selection
    if (e.ns.ActiveCount > 0) e.EvaluateWarnings();
    ++estimates_;
    if (e.ns.ActiveCount == 0) {
        const Message m = noNeighbourMessage();
        showMessage(this, QString::fromStdString(m.title), QString::fromStdString(m.text), QMessageBox::Critical);
    } else {
        drawResultsGraph();
    }
    Schreib();
    QApplication::restoreOverrideCursor();
}

void frmwork::showWorkingLocation() {
    const Location& w = engine_->working;
    const Location& current = main_.state().currentLocation();
    // The method names itself here as in View Data, the output windows and the printouts.
    const QString at = QStringLiteral("Method: %4  \u2013  Estimate for Lon %1, Lat %2, Alt %3 m")
                           .arg(screenNumber(w.Lon, "##0.00"), screenNumber(w.Lat, "##0.00"), screenNumber(w.Alt, "###0"),
                                QString::fromStdString(methodTitle(main_.state().method())));
    const bool elsewhere = std::fabs(w.Lon - current.Lon) > 0.005f || std::fabs(w.Lat - current.Lat) > 0.005f;
    if (elsewhere) {
        workingLabel->setText(at + QStringLiteral("  \u2013  not the current location (") +
                              QString::fromStdString(current.Name) + QStringLiteral(")"));
        workingLabel->setStyleSheet(QStringLiteral("color: #a00000; font-weight: bold"));
    } else {
        workingLabel->setText(at + QStringLiteral("  \u2013  ") + QString::fromStdString(current.Name));
        workingLabel->setStyleSheet(QString());
    }
}

void frmwork::Schreib() {
    Engine& e = *engine_;
    e.ReadActivation(checkStates());
    e.BuildMeanStation();
    if (e.ns.NeighbourCount == 0) {
        setWindowTitle(QStringLiteral("Sorry, No Neighbors!"));
        return;
    }
    if (e.ns.ActiveCount != 0) {
        drawStationTable();
        drawObservationTable();
        drawWarnings();
        drawResultsGraph();
        drawResultsTables();
        picLegend->update();
        drawMap();
        drawAltitudeGraph();
    }
    setLevels();
}

void frmwork::setLevels() {
    const bool hit = engine_->warn.WarnHit, few = engine_->ns.ActiveCount < 6;
    for (QRadioButton* o : {optlev90, optlev95, optlev99}) o->setVisible(!hit && !few);
    labfew->setVisible(!hit && few);
    Labhit->setVisible(hit);
}

int frmwork::workbenchLevel() const {
    if (optlev90->isChecked()) return 90;
    if (optlev95->isChecked()) return 95;
    if (optlev99->isChecked()) return 99;
    return 0;
}

VariableResult frmwork::workbenchResult() {
    ShowData();
    return engine_->result();
}

void frmwork::colourRows(QTableWidget& table) {
    const QBrush background = table.palette().brush(QPalette::Highlight);
    const QBrush text = table.palette().brush(QPalette::HighlightedText);
    for (int i = 1; i <= 20; ++i) {
        const bool active = i <= engine_->ns.NeighbourCount && engine_->ns[i].Active == 1;
        for (int c = 0; c < table.columnCount(); ++c)
            if (QTableWidgetItem* item = table.item(i - 1, c)) {
                item->setBackground(active ? background : QBrush());
                item->setForeground(active ? text : QBrush());
            }
    }
}

void frmwork::drawStationTable() {
    const NeighbourSet& ns = engine_->ns;
    const VariableResult result = engine_->result();
    for (int i = 1; i <= 21; ++i) {
        const bool used = i == 21 || i <= ns.NeighbourCount;
        const Station& s = ns[i];
        // The mean station (row 21) is no single station: no source.
        const QString source =
            i <= kMaxNeighbours ? QString::fromStdString(originText(result.origins[static_cast<size_t>(i)].get())) : QString();
        const QStringList cells = used ? QStringList{pic(s.Lon, "###0.00"), pic(s.Lat, "##0.00"), pic(s.Alt, "###0"),
                                                     pic(s.Dist, "####.0"), pic(s.Dir, "##0"),
                                                     QString::fromStdString(s.DirCode), QString::fromStdString(s.Name),
                                                     QString::fromStdString(s.Country), source}
                                       : QStringList(9, QString());
        for (int c = 0; c < 9; ++c) setCell(*grdStation, i - 1, c, cells[c]);
    }
    colourRows(*grdStation);
    grdStation->resizeColumnsToContents();
}

void frmwork::drawObservationTable() {
    const NeighbourSet& ns = engine_->ns;
    for (int i = 1; i <= 21; ++i) {
        const bool used = i == 21 || i <= ns.NeighbourCount;
        const Station& s = ns[i];
        for (int m = 1; m <= 13; ++m) setCell(*grdObservation, i - 1, m - 1, used ? pic(s.Data[size_t(m)], "###0.00") : QString());
        setCell(*grdObservation, i - 1, 13, used && i != 21 ? pic(s.Weight, "0.0000") : QString());
    }
    colourRows(*grdObservation);
    grdObservation->resizeColumnsToContents();
}

void frmwork::beep() {
    ++beeps_;
    QApplication::beep();
}

void frmwork::drawWarnings() {
    const WarningFlags& w = engine_->warn;
    framWarn->hide();
    const std::pair<bool, QPushButton*> flags[] = {{w.WarnLow, CmdLow},         {w.WarnHigh, CmdHigh},
                                                   {w.WarnLonely, CmdLonely},   {w.WarnDoubled, CmdDoubled},
                                                   {w.WarnStrange, CmdStrange}, {w.WarnFew, CmdFew},
                                                   {w.WarnHit, CmdHit}};
    for (const auto& [on, button] : flags) {
        button->setEnabled(on);
        if (on) {
            framWarn->show();
            beep();
        }
    }
}

void frmwork::explain(const QString& title, const QString& text) {
    showMessage(this, title, text, QMessageBox::Warning);
}

namespace {

// No interval where the levels are not offered: on a hit or below 6 active neighbours.
float currentFactor(const frmwork& w) {
    const Engine& e = w.engine();
    return e.warn.WarnHit || e.ns.ActiveCount < 6 ? 0.0f : levelFactor(w.workbenchLevel());
}

void rangeOf(const std::vector<float>& v, float& lo, float& hi) {
    for (float x : v) lo = std::min(lo, x), hi = std::max(hi, x);
}

}  // namespace

void frmwork::drawResultsGraph() {
    const Engine& e = *engine_;
    const float z = currentFactor(*this);
    const int tab = TabStrip1->currentIndex();
    const int variable = e.variable;
    ResultSeries s;
    // The monthly interval; its range also scales the dekadal graph of the two monthly totals.
    std::vector<float> mb, ml, mh;
    for (size_t m = 1; m <= 12; ++m) {
        mb.push_back(e.res.Best[m]);
        ml.push_back(e.res.Best[m] - z * e.res.StdErr[m]);
        mh.push_back(e.res.Best[m] + z * e.res.StdErr[m]);
    }
    float lo = 1e30f, hi = -1e30f;
    rangeOf(mb, lo, hi);
    if (z > 0) rangeOf(ml, lo, hi), rangeOf(mh, lo, hi);
    if (tab == 0) {
        s.best = mb;
        if (z > 0) s.low = ml, s.high = mh;
        s.legendLine = QStringLiteral("Line = Best Estimate");
        s.legendInterval = QStringLiteral("Red Area = Confidence Interval");
        s.xTitle = QStringLiteral("Month");
        s.yTitle = valueTitle(variable, "month");
    } else if (tab == 1) {
        DekadalCycle c;
        fillDekadalCycle(e.res, variable, z, c);
        s.best.assign(c.Dekadal.begin() + 1, c.Dekadal.end());
        if (z > 0) s.low.assign(c.DekadalLow.begin() + 1, c.DekadalLow.end()), s.high.assign(c.DekadalHigh.begin() + 1, c.DekadalHigh.end());
        if (variable == Prec || variable == PET) {
            lo /= 3, hi /= 3;
        } else {
            lo = 1e30f, hi = -1e30f;
            rangeOf(s.best, lo, hi), rangeOf(s.low, lo, hi), rangeOf(s.high, lo, hi);
        }
        s.legendLine = QStringLiteral("Black Line = Best Estimate");
        s.legendInterval = QStringLiteral("Red Area = Confidence Interval");
        s.xTitle = QStringLiteral("Dekad (three per month)");
        s.yTitle = valueTitle(variable, "dekad");
    } else if (tab == 2) {
        DailyCycle c;
        fillDailyCycle(e.res, variable, z, c);
        s.best.assign(c.Daily.begin() + 1, c.Daily.begin() + 366);
        if (z > 0) s.low.assign(c.DailyLow.begin() + 1, c.DailyLow.begin() + 366), s.high.assign(c.DailyHigh.begin() + 1, c.DailyHigh.begin() + 366);
        s.area = false;
        lo = 1e30f, hi = -1e30f;
        rangeOf(s.best, lo, hi), rangeOf(s.low, lo, hi), rangeOf(s.high, lo, hi);
        s.legendLine = QStringLiteral("Black Line = Best Estimate");
        s.legendInterval = QStringLiteral("Red Lines = Confidence Interval");
        s.xTitle = QStringLiteral("Day of the Year");
        s.yTitle = valueTitle(variable, "day");
    } else {
        DailyCycle c;
        fillDailyCycle(e.res, variable, z, c);
        const ThresholdDays t = countThresholdDays(c, z);
        for (int k = 1; k <= kThresholdCount; ++k) {
            s.best.push_back(t.Days[size_t(k)]);
            if (t.hasBounds) s.low.push_back(t.DaysLow[size_t(k)]), s.high.push_back(t.DaysHigh[size_t(k)]);
        }
        s.area = false;
        s.monthAxis = false;
        s.xFirst = t.Threshold[1];
        s.xLast = t.Threshold[kThresholdCount];
        lo = 0, hi = 365;
        s.legendLine = QStringLiteral("Black Line = Days above Threshold");
        s.legendInterval = QStringLiteral("Red Lines = Confidence Interval");
        s.dayCounts = true;
        s.xTitle = QStringLiteral("Threshold: ") + valueTitle(variable, "day");
        s.yTitle = QStringLiteral("Days above Threshold");
    }
    const float pad = std::max(0.05f * (hi - lo), 0.01f);
    s.minimum = lo - pad;
    s.maximum = hi + pad;
    picResults->setSeries(std::move(s));
}

void frmwork::drawResultsTables() {
    const Engine& e = *engine_;
    const float z = currentFactor(*this);
    auto row = [z](QTableWidget& grid, int r, float best, float low, float high) {
        setCell(grid, r, 0, pic(best, "###0.00"));
        setCell(grid, r, 1, z > 0 ? pic(low, "###0.00") : QString());
        setCell(grid, r, 2, z > 0 ? pic(high, "###0.00") : QString());
    };
    for (size_t m = 1; m <= 13; ++m)
        row(*grdResults, int(m) - 1, e.res.Best[m], e.res.Best[m] - z * e.res.StdErr[m], e.res.Best[m] + z * e.res.StdErr[m]);
    DekadalCycle dc;
    fillDekadalCycle(e.res, e.variable, z, dc);
    for (size_t k = 1; k <= 36; ++k) row(*grdDekad, int(k) - 1, dc.Dekadal[k], dc.DekadalLow[k], dc.DekadalHigh[k]);
    DailyCycle c;
    fillDailyCycle(e.res, e.variable, z, c);
    for (size_t d = 1; d <= 365; ++d) row(*GrdDay, int(d) - 1, c.Daily[d], c.DailyLow[d], c.DailyHigh[d]);
    const ThresholdDays t = countThresholdDays(c, z);
    for (size_t k = 1; k <= kThresholdCount; ++k) {
        const int r = int(k) - 1;
        setCell(*grdThreshold, r, 0, pic(t.Threshold[k], e.variable == Sun ? "0.000" : "0.00"));
        setCell(*grdThreshold, r, 1, QString::number(t.Days[k]));
        setCell(*grdThreshold, r, 2, t.hasBounds ? QString::number(t.DaysLow[k]) : QString());
        setCell(*grdThreshold, r, 3, t.hasBounds ? QString::number(t.DaysHigh[k]) : QString());
    }
}

void frmwork::drawMap() {
    const Engine& e = *engine_;
    if (e.ns.NeighbourCount == 0) return;
    std::vector<MapOffset> offsets;
    std::vector<bool> active;
    for (int i = 1; i <= e.ns.NeighbourCount; ++i) {
        offsets.push_back({longitudeOffset(e.ns[i].Lon, e.working.Lon), e.ns[i].Lat - e.working.Lat});
        active.push_back(e.ns[i].Active == 1);
    }
    int beeps = 0;
    const MapFrame f = mapExtent(offsets, e.working.Lat, Zoom, beeps);
    for (int k = 0; k < beeps; ++k) beep();
    const int rows = terrainRows(Resolution), columns = terrainColumns(Resolution);
    QImage image(columns, rows, QImage::Format_RGB32);
    image.fill(QColor(200, 200, 200));
    try {
        if (!terrain_) terrain_ = std::make_unique<TerrainRaster>(main_.state().dataFolderPath());
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < columns; ++c) {
                float lon = e.working.Lon + f.west + (c + 0.5f) * (f.east - f.west) / columns;
                const float lat = std::clamp(e.working.Lat + f.north - (r + 0.5f) * (f.north - f.south) / rows, -90.0f, 90.0f);
                if (lon >= 180) lon -= 360;
                if (lon < -180) lon += 360;
                int16_t sea = 0;
                const int16_t alt = terrain_->altitude(lon, lat, sea);
                image.setPixel(c, r, terrainColour(alt, sea != 0));
            }
    } catch (const std::exception&) {
        // Without an elevation raster the map shows the neighbours on grey ground.
    }
    picMapStation->setMap(f, image, offsets, active);
    picLegend->update();
}

void frmwork::drawAltitudeGraph() {
    if (engine_->ns.NeighbourCount == 0) return;
    picAltitude->setData(engine_->ns, engine_->res, engine_->variable, Month);
}

void frmwork::mapRightClick(float dx, float dy) {
    Engine& e = *engine_;
    running_ = true;
    try {
        Location clicked;
        clicked.Lon = e.working.Lon + dx;
        clicked.Lat = std::clamp(e.working.Lat + dy, -90.0f, 90.0f);
        if (clicked.Lon >= 180) clicked.Lon -= 360;
        if (clicked.Lon < -180) clicked.Lon += 360;
        int16_t sea = 0;
        clicked.Alt = TerrainAltitude(main_.state().dataFolderPath(), clicked.Lon, clicked.Lat, sea);
        e.working = clicked;
        const auto answer = showMessage(this, QStringLiteral("Change Location"),
                                        QStringLiteral("Do you want set this Location as current Location?"),
                                        QMessageBox::Question, QMessageBox::Yes | QMessageBox::No);
        if (answer == QMessageBox::Yes) {
            Location current = clicked;
            main_.state().WriteStatusLocation(current);
            main_.state().setSingleStale(true);
            e.working.Name = current.Name;
        }
        QApplication::setOverrideCursor(Qt::WaitCursor);
        runPipeline();
        QApplication::restoreOverrideCursor();
        // The estimate now belongs to the clicked point, which is current on Yes.
        if (answer == QMessageBox::Yes) main_.state().setWorkbenchStale(false);
    } catch (const std::exception& ex) {
        while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
        showMessage(this, QString(), QString::fromStdString(ex.what()), QMessageBox::NoIcon);
    }
    running_ = false;
}

bool frmwork::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &main_ && event->type() == QEvent::WindowActivate) {
        const QMdiSubWindow* active = main_.clientArea()->activeSubWindow();
        if (active && active->widget() == this) ShowData();
    }
    return QWidget::eventFilter(watched, event);
}

void frmwork::closeEvent(QCloseEvent* event) {
    // An estimate shown for a clicked point that did not become current is run again for the
    // current location when the window is next opened.
    const Location& current = main_.state().currentLocation();
    if (engine_->working.Lon != current.Lon || engine_->working.Lat != current.Lat) main_.state().setWorkbenchStale(true);
    engine_->working.Lon = main_.state().currentLocation().Lon;
    engine_->working.Lat = main_.state().currentLocation().Lat;
    QWidget::closeEvent(event);
}

}  // namespace zentrel::gui::workbench
