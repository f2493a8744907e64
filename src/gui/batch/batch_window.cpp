// frmList: the list, the option frames, the settings boxes, "Save", "Cancel" and "Set Location".
#include "batch/batch_window.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QtConcurrent>

#include "error.h"
#include "shell/app_state.h"
#include "shell/input_box.h"
#include "shell/message_box.h"
#include "shell/placement.h"
#include "shell/save_dialog.h"
#include "single/frm_summary.h"

namespace zentrel::gui {

namespace {

QCheckBox* checkBox(QWidget* parent, const char* name, const QString& caption, bool checked = false) {
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(QLatin1String(name));
    box->setChecked(checked);
    return box;
}
QRadioButton* option(QWidget* parent, const char* name, const QString& caption, bool checked = false) {
    auto* button = new QRadioButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setChecked(checked);
    return button;
}
}  // namespace

BatchWindow::BatchWindow(AppState& state, QProgressBar* progress, QWidget* parent)
    : QWidget(parent), state_(state), runError_(std::make_shared<std::string>()), progress_(progress) {
    setObjectName(QStringLiteral("frmList"));
    setWindowTitle(QStringLiteral("Process Locations from Grid"));
    createControls();
    // Tiled or cascaded, the window stays large enough to work in (its contents scroll below this).
    setMinimumSize(560, 360);
    progressTimer_ = new QTimer(this);
    progressTimer_->setInterval(100);
    connect(progressTimer_, &QTimer::timeout, this, &BatchWindow::updateProgress);
}

BatchWindow::~BatchWindow() {
    if (watcher_) {
        feedback_->cancel();
        watcher_->waitForFinished();
    }
}

QLineEdit* BatchWindow::addSettingsBox(SettingsBox box, const char* name, const QString& text) {
    auto* edit = new QLineEdit(text, this);
    edit->setObjectName(QLatin1String(name));
    edit->setAlignment(Qt::AlignRight);
    // Wide enough for any valid value ("8848", "-350", "0.1"), never squeezed below it.
    edit->setMaximumWidth(fontMetrics().horizontalAdvance(QLatin1Char('0')) * 10);
    edit->setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('0')) * 7);
    setUpInputBox(edit, [this, box](char32_t key) {
        if (key > 0x7f) return false;
        const KeyVerdict verdict = filterSettingsKey(box, static_cast<char>(key), true);
        if (verdict.hasMessage) showMessage(this, verdict.message);
        return verdict.accept;
    });
    connect(edit, &QLineEdit::textChanged, this, [this, box](const QString& text) { storeBox(box, text); });
    return edit;
}

void BatchWindow::createControls() {
    LstStations = new QTreeWidget(this);
    LstStations->setObjectName(QStringLiteral("LstStations"));
    LstStations->setHeaderLabels({QStringLiteral("Location"), QStringLiteral("Longitude"), QStringLiteral("Latitude"),
                                  QStringLiteral("Altitude")});
    LstStations->setRootIsDecorated(false);
    LstStations->setUniformRowHeights(true);
    LstStations->setAlternatingRowColors(true);
    LstStations->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    LstStations->header()->setStretchLastSection(false);
    LstStations->setMinimumSize(260, 90);
    // The list takes the height the frames beside it leave, not a height of its own.
    LstStations->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);

    // Close rows: the window must fit a laptop's client area without scrolling.
    auto frame = [this](const QString& title, QLayout* layout) {
        auto* box = new QGroupBox(title, this);
        layout->setSpacing(2);
        layout->setContentsMargins(8, 4, 8, 4);
        box->setLayout(layout);
        return box;
    };
    auto column = [](std::initializer_list<QWidget*> widgets) {
        auto* layout = new QVBoxLayout;
        for (QWidget* w : widgets) layout->addWidget(w);
        layout->addStretch(1);
        return layout;
    };

    OptAlt = option(this, "OptAlt", QStringLiteral("Elevation provided in Input File"), true);
    OptDem = option(this, "OptDem", QStringLiteral("Use Digital Elevation Model"));
    chksum = checkBox(this, "chksum", QStringLiteral("Show a Summary after Processing the Data"));
    optNew = option(this, "optNew", QStringLiteral("Overwrite existing Files"), true);
    optAppend = option(this, "optAppend", QStringLiteral("Append Results to exisiting Files"));
    // Each frame's options exclude each other only (they are created before their frames).
    auto group = [this](std::initializer_list<QRadioButton*> buttons) {
        auto* g = new QButtonGroup(this);
        for (QRadioButton* b : buttons) g->addButton(b);
    };
    group({OptAlt, OptDem});
    group({optNew, optAppend});
    QGroupBox* altitudeFrame = frame(QStringLiteral("Altitude"), column({OptAlt, OptDem}));
    QGroupBox* summaryFrame = frame(QStringLiteral("Summary"), column({chksum}));
    filesFrame_ = frame(QStringLiteral("Output Files"), column({optNew, optAppend}));

    chkMean = checkBox(this, "chkMean", QStringLiteral("Monthly Mean Temperature"), true);
    chkMin = checkBox(this, "chkMin", QStringLiteral("Monthly Mean of Daily Minimum Temperature"));
    chkMax = checkBox(this, "chkMax", QStringLiteral("Monthly Mean of Daily Maximum Temperature"));
    chkPrec = checkBox(this, "chkPrec", QStringLiteral("Monthly Total Precipitation"), true);
    chkVap = checkBox(this, "chkVap", QStringLiteral("Monthly Mean Water Vapor Pressure"));
    chkPET = checkBox(this, "chkPET", QStringLiteral("Monthly Totals of Potential Evapotranspiration"));
    chkWind = checkBox(this, "chkWind", QStringLiteral("Wind Speed"));
    chkSun = checkBox(this, "chkSun", QStringLiteral("Sunshine Fraction"));
    QGroupBox* variableFrame = frame(QStringLiteral("Desired Variable"),
                                     column({chkMean, chkMin, chkMax, chkPrec, chkVap, chkPET, chkWind, chkSun}));

    ChkBest = checkBox(this, "ChkBest", QStringLiteral("Best Estimate"), true);
    ChkHigh = checkBox(this, "ChkHigh", QStringLiteral("Confidence Interval"));
    ChkError = checkBox(this, "ChkError", QStringLiteral("Estimated Standard Error"));
    ChkBias = checkBox(this, "ChkBias", QStringLiteral("Estimated Bias"));
    ChkSlope = checkBox(this, "ChkSlope", QStringLiteral("Slope of Linear Altitude Dependency"));
    ChkExplVar = checkBox(this, "ChkExplVar", QStringLiteral("Explained Variance of Altitude Correction"));
    ChkAbsGrad = checkBox(this, "ChkAbsGrad", QStringLiteral("Absolute Value of horizontal Gradient"));
    ChkDirGrad = checkBox(this, "ChkDirGrad", QStringLiteral("Direction of Horizontal Gradient"));
    ChkLongGrad = checkBox(this, "ChkLongGrad", QStringLiteral("Longitudinal Gradient"));
    ChkLatGrad = checkBox(this, "ChkLatGrad", QStringLiteral("Latitudinal Gradient"));
    OptLev99 = option(this, "OptLev99", QStringLiteral("99%"));
    OptLev95 = option(this, "OptLev95", QStringLiteral("95%"));
    OptLev90 = option(this, "OptLev90", QStringLiteral("90%"), true);
    group({OptLev99, OptLev95, OptLev90});
    for (QRadioButton* b : {OptAlt, optNew, OptLev90}) b->setChecked(true);
    auto* outputGrid = new QGridLayout;
    QCheckBox* outputs[] = {ChkBest, ChkHigh, ChkError, ChkBias, ChkSlope,
                            ChkExplVar, ChkAbsGrad, ChkDirGrad, ChkLongGrad, ChkLatGrad};
    for (int i = 0; i < 10; ++i) outputGrid->addWidget(outputs[i], i % 5, i / 5);
    auto* levels = new QHBoxLayout;
    levels->addWidget(new QLabel(QStringLiteral("Confidence Level:"), this));
    for (QRadioButton* level : {OptLev99, OptLev95, OptLev90}) levels->addWidget(level);
    levels->addStretch(1);
    outputGrid->addLayout(levels, 5, 0, 1, 2);
    outputFrame_ = frame(QStringLiteral("Desired Output"), outputGrid);

    // The settings boxes, with the design values of the settings dialog.
    txtMaxDist = addSettingsBox(SettingsBox::MaxDist, "txtMaxDist", QStringLiteral("1000"));
    txtMaxStat = addSettingsBox(SettingsBox::MaxStat, "txtMaxStat", QStringLiteral("20"));
    txtPowExp = addSettingsBox(SettingsBox::PowExp, "txtPowExp", QStringLiteral("1"));
    txtMinDist = addSettingsBox(SettingsBox::MinDist, "txtMinDist", QStringLiteral("0.1"));
    txtMinHigh = addSettingsBox(SettingsBox::MinHigh, "txtMinHigh", QStringLiteral("-350"));
    txtMaxHigh = addSettingsBox(SettingsBox::MaxHigh, "txtMaxHigh", QStringLiteral("8848"));
    txtShad = addSettingsBox(SettingsBox::Shad, "txtShad", QStringLiteral("1"));
    chkNeighbAlt = checkBox(this, "chkNeighbAlt", QStringLiteral("Neighbors must provide Altitude"));
    chkAltCorr = checkBox(this, "chkAltCorr", QStringLiteral("Apply Local Linear Altitude Correction"), true);
    chkGradCorr = checkBox(this, "chkGradCorr", QStringLiteral("Apply Climate Gradient Correction"), true);
    setAltitudeBoxesReadOnly(true);
    connect(chkNeighbAlt, &QCheckBox::clicked, this, &BatchWindow::neighbAltClicked);
    // Check boxes store at once too, like the boxes.
    connect(chkAltCorr, &QCheckBox::toggled, this, [this](bool on) {
        if (showingStored_) return;
        state_.settings().AltCorr = on ? 1 : 0;
        state_.settingsEdited(this);
    });
    connect(chkGradCorr, &QCheckBox::toggled, this, [this](bool on) {
        if (showingStored_) return;
        state_.settings().GradCorr = on ? 1 : 0;
        state_.settingsEdited(this);
    });
    makeMethodChoice(this);
    showMethod(state_.method());
    // The choice is the program's method at once: the settings dialog, the estimate windows
    // and the printouts name the one chosen here.
    connect(cboMethod, &QComboBox::currentIndexChanged, this, [this] {
        if (!showingStored_) state_.setMethod(method(), this);
    });
    connect(&state_, &AppState::settingsChanged, this, [this](const QObject* editor) {
        if (editor != this) showStored();
    });
    auto leave = [this](bool leavingMin) {
        if (!isVisible()) return;
        for (const SettingsMessage& m :
             checkAltitudeOrder(txtMinHigh->text().toStdString(), txtMaxHigh->text().toStdString(), leavingMin))
            showMessage(this, m);
    };
    onFocusLost(txtMinHigh, [leave] { leave(true); });
    onFocusLost(txtMaxHigh, [leave] { leave(false); });

    auto settingsFrame = [&](const QString& title, std::initializer_list<std::pair<QString, QWidget*>> rows) {
        auto* grid = new QGridLayout;
        grid->setColumnStretch(0, 1);
        int r = 0;
        for (const auto& [label, widget] : rows) {
            if (label.isEmpty()) {
                grid->addWidget(widget, r++, 0, 1, 2);
            } else {
                auto* caption = new QLabel(label, this);
                caption->setWordWrap(label.size() > 30);  // the longest may take two lines
                grid->addWidget(caption, r, 0);
                grid->addWidget(widget, r++, 1);
            }
        }
        grid->setRowStretch(r, 1);
        return frame(title, grid);
    };
    QGroupBox* sizeFrame = settingsFrame(QStringLiteral("Size of Neighborhood"),
                                         {{QStringLiteral("Maximum Distance in km"), txtMaxDist},
                                          {QStringLiteral("Maximum number of stations"), txtMaxStat}});
    QGroupBox* idwFrame = settingsFrame(QStringLiteral("Inverse Distance Weighted Averaging"),
                                        {{QStringLiteral("Power Exponent"), txtPowExp},
                                         {QStringLiteral("Nearest Neighbor Approx. if Min. Dist < (km.)"), txtMinDist}});
    QGroupBox* altFrame = settingsFrame(QStringLiteral("Altitude Restrictions"),
                                        {{QString(), chkNeighbAlt},
                                         {QStringLiteral("Only Stations higher than"), txtMinHigh},
                                         {QStringLiteral("Only Stations lower than"), txtMaxHigh}});
    QGroupBox* corrFrame = settingsFrame(QStringLiteral("Climatological Corrections"),
                                         {{QString(), chkAltCorr},
                                          {QString(), chkGradCorr},
                                          {QStringLiteral("Shadow Correction Coefficient"), txtShad},
                                          {QStringLiteral("Estimation Method"), cboMethod}});

    CmdSave = new QPushButton(QStringLiteral("Save"), this);
    CmdSave->setObjectName(QStringLiteral("CmdSave"));
    CmdRun = new QPushButton(QStringLiteral("Set Location"), this);
    CmdRun->setObjectName(QStringLiteral("CmdRun"));
    CmdCanc = new QPushButton(QStringLiteral("Cancel"), this);
    CmdCanc->setObjectName(QStringLiteral("CmdCanc"));
    for (QPushButton* b : {CmdSave, CmdRun, CmdCanc}) b->setAutoDefault(false);
    connect(CmdSave, &QPushButton::clicked, this, &BatchWindow::save);
    connect(CmdRun, &QPushButton::clicked, this, &BatchWindow::setLocation);
    connect(CmdCanc, &QPushButton::clicked, this, &BatchWindow::cancel);

    // The list beside the four settings frames (two by two: in one row their labels would
    // need more than a laptop screen's width); below, what to write and how.
    auto* settingsGrid = new QGridLayout;
    settingsGrid->addWidget(sizeFrame, 0, 0);
    settingsGrid->addWidget(idwFrame, 0, 1);
    settingsGrid->addWidget(altFrame, 1, 0);
    settingsGrid->addWidget(corrFrame, 1, 1);
    // The list with the run's options under it, beside the settings; below, what to write. So
    // the whole window fits a laptop's client area (about 1090 x 600) without scrolling.
    auto* listColumn = new QVBoxLayout;
    listColumn->addWidget(LstStations, 1);
    for (QGroupBox* f : {altitudeFrame, summaryFrame, filesFrame_}) listColumn->addWidget(f);
    auto* top = new QHBoxLayout;
    top->addLayout(listColumn, 1);
    top->addLayout(settingsGrid);
    auto* middle = new QHBoxLayout;
    middle->addWidget(variableFrame);
    middle->addWidget(outputFrame_, 1);
    auto* buttons = new QHBoxLayout;
    if (!progress_) {  // no main window bar to use: the window shows its own
        progress_ = new QProgressBar(this);
        buttons->addWidget(progress_, 1);
    }
    progress_->hide();
    buttons->addStretch(1);
    for (QPushButton* b : {CmdSave, CmdRun, CmdCanc}) buttons->addWidget(b);
    // The frames keep their whole texts at any window size: a window smaller than they need
    // scrolls its contents instead of squeezing them; the buttons stay in view below.
    auto* content = new QWidget;
    auto* contentLayout = new QVBoxLayout(content);
    contentLayout->setContentsMargins(0, 0, 0, 0);
    contentLayout->addLayout(top, 1);
    contentLayout->addLayout(middle);
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("BatchScroll"));
    scroll->setWidget(content);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(scroll, 1);
    layout->addLayout(buttons);
}

QSize BatchWindow::sizeHint() const {
    // Room for the contents without scrolling, and the buttons.
    const auto* scroll = findChild<QScrollArea*>(QStringLiteral("BatchScroll"));
    const QSize inner = scroll->widget()->sizeHint();
    return QSize(inner.width() + 24, inner.height() + CmdSave->sizeHint().height() + 36);
}

void BatchWindow::storeBox(SettingsBox box, const QString& text) {
    if (showingStored_) return;
    ProgramSettings& s = state_.settings();
    const double value = leadingNumber(text.toStdString());
    switch (box) {
        case SettingsBox::MinDist: s.MinDist = static_cast<float>(value); break;
        case SettingsBox::PowExp: s.PowExp = static_cast<float>(value); break;
        case SettingsBox::MaxStat: s.MaxStat = roundHalfEven16(value); break;
        case SettingsBox::MaxDist: s.MaxDist = static_cast<float>(value); break;
        case SettingsBox::MinHigh: s.MinHigh = static_cast<float>(value); break;
        case SettingsBox::MaxHigh: s.MaxHigh = static_cast<float>(value); break;
        case SettingsBox::Shad: return;  // stored by the validation of "Save"
    }
    state_.settingsEdited(this);
}

void BatchWindow::showStored() {
    showingStored_ = true;
    showSettingsInput(settingsToInput(state_.settings()));
    showingStored_ = false;
}

void BatchWindow::setAltitudeBoxesReadOnly(bool readOnly) { showAltitudeBoxesReadOnly(readOnly); }

void BatchWindow::neighbAltClicked(bool checked) {
    state_.settings().NeighbAlt = checked ? 1 : 0;
    neighbAltFollow(checked);
    state_.settingsEdited(this);
}

SettingsInput BatchWindow::settingsInput() const {
    return SettingsControls::settingsInput();
}

void BatchWindow::setRows(const std::vector<LocationRow>& rows, const QString& source) {
    source_ = source;
    LstStations->clear();
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(rows.size()));
    for (const LocationRow& row : rows) {
        auto* item = new QTreeWidgetItem({QString::fromStdString(row.name), QString::fromStdString(row.lon),
                                          QString::fromStdString(row.lat), QString::fromStdString(row.alt)});
        for (int c = 1; c <= 3; ++c) item->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
        items.append(item);
    }
    LstStations->addTopLevelItems(items);
    for (int c = 1; c <= 3; ++c) LstStations->resizeColumnToContents(c);
}

std::vector<LocationRow> BatchWindow::rows() const {
    std::vector<LocationRow> out;
    out.reserve(static_cast<size_t>(LstStations->topLevelItemCount()));
    for (int i = 0; i < LstStations->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = LstStations->topLevelItem(i);
        out.push_back({item->text(0).toStdString(), item->text(1).toStdString(), item->text(2).toStdString(),
                       item->text(3).toStdString()});
    }
    return out;
}

ElevationLookup BatchWindow::elevation() {
    return [this](float lon, float lat) {
        if (!raster_) raster_.emplace(state_.dataFolderPath());
        int16_t isSea = 0;
        return static_cast<float>(raster_->altitude(lon, lat, isSea));
    };
}

bool BatchWindow::chooseLocationFile() {
    const QString path = QFileDialog::getOpenFileName(
        this, QString(), lastUsedFolder(),
        QStringLiteral("*.dat (*.dat);;Comma Separated Values (*.csv);;All Files (*.*)"));
    if (path.isEmpty()) return false;
    rememberFolder(path);
    readLocationFile(path);
    return true;
}

void BatchWindow::readLocationFile(const QString& path) {
    try {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const LocationFileResult read =
            zentrel::readLocationFile(path.toStdString(), elevation(), state_.settings().Working);
        QApplication::restoreOverrideCursor();
        for (const std::string& text : read.skipped)
            showMessage(this, kDefaultMessageTitle, QString::fromStdString(text), QMessageBox::Information);
        if (!read.notes.empty()) {
            // What the reading rules took silently (a field read as 0, a cut-off tail), in one box.
            QString text = QStringLiteral("%1:").arg(path);
            for (const std::string& note : read.notes) text += QStringLiteral("\n") + QString::fromStdString(note);
            showMessage(this, kDefaultMessageTitle, text, QMessageBox::Information);
        }
        setRows(read.rows, path);
    } catch (const Error& e) {
        QApplication::restoreOverrideCursor();
        showMessage(this, kDefaultMessageTitle, QString::fromStdString(e.what()), QMessageBox::Critical);
    }
}

bool BatchWindow::checkSelection() {
    const BatchOptions o = options();
    const bool anyVariable = std::find(o.variables.begin(), o.variables.end(), true) != o.variables.end();
    if (!anyVariable || !o.quantities.any()) {
        showMessage(this, QStringLiteral("Nothing selected!"),
                    QStringLiteral("Please select at least one desired output and one desired variable"),
                    QMessageBox::Question);
        return false;
    }
    return true;
}

BatchOptions BatchWindow::options() const {
    BatchOptions o;
    o.format = outputFormat_;
    const std::pair<QCheckBox*, int> variables[] = {{chkMean, Temp}, {chkMin, Tmin}, {chkMax, Tmax}, {chkPrec, Prec},
                                                    {chkVap, Vap},   {chkPET, PET},  {chkWind, Wind}, {chkSun, Sun}};
    for (const auto& [box, v] : variables) o.variables[static_cast<size_t>(v)] = box->isChecked();
    QuantitySelection& q = o.quantities;
    q.best = ChkBest->isChecked();
    q.interval = ChkHigh->isChecked();
    q.stdErr = ChkError->isChecked();
    q.bias = ChkBias->isChecked();
    q.slope = ChkSlope->isChecked();
    q.explVar = ChkExplVar->isChecked();
    q.absGrad = ChkAbsGrad->isChecked();
    q.dirGrad = ChkDirGrad->isChecked();
    q.longGrad = ChkLongGrad->isChecked();
    q.latGrad = ChkLatGrad->isChecked();
    o.level = OptLev99->isChecked() ? 99 : OptLev95->isChecked() ? 95 : 90;
    o.useDem = OptDem->isChecked();
    o.append = optAppend->isChecked();
    o.sourceName = source_.toStdString();
    return o;
}

void BatchWindow::validateSettings() {
    // Its messages are shown; the run goes on with what was stored.
    const SettingsCheck check = checkBatchSettings(state_.settings(), settingsInput());
    for (const SettingsMessage& m : check.messages) showMessage(this, m);
    state_.settingsEdited(this);
}

void BatchWindow::save() {
    if (running()) return;
    if (!checkSelection()) return;
    if (LstStations->topLevelItemCount() == 0) {
        showMessage(this, kDefaultMessageTitle, QStringLiteral("No stations "), QMessageBox::Question);
        return;
    }
    const bool own = outputFormat_ == FormatZentrel;
    const QString filter = outputFormat_ == FormatPlantow ? QStringLiteral("Plantow (*.Lst)") : QStringLiteral("Data (*.Dat)");
    QString destination;
    if (chooseDestination) destination = own ? chooseDestination(own, filter) : withFilterExtension(chooseDestination(own, filter), filter);
    else if (own) destination = getExistingFolder(this, QStringLiteral("Choose a Destination Folder"));
    else destination = getSaveFileName(this, QString(), filter);
    if (destination.isEmpty()) return;
    validateSettings();
    if (own) processit(destination);
    else ProcessOther(destination);
}

void BatchWindow::processit(const QString& folder) {
    BatchOptions o = options();
    o.format = FormatZentrel;
    o.destination = folder.toStdString();
    startRun(o);
}

void BatchWindow::ProcessOther(const QString& file) {
    BatchOptions o = options();
    o.destination = file.toStdString();
    startRun(o);
}

void BatchWindow::startRun(BatchOptions o) {
    if (running()) return;
    if (std::find(o.variables.begin(), o.variables.end(), true) == o.variables.end()) {
        showMessage(this, QStringLiteral("No Variable selected!"), QStringLiteral("You should select at least one variable."),
                    QMessageBox::Warning);
        return;
    }
    // The run works on copies: the boxes and the list may change while it goes on.
    const std::vector<LocationRow> list = rows();
    const ProgramSettings settings = state_.settings();
    const std::string folder = state_.dataFolderPath();
    std::shared_ptr<const StationDatabase> database = state_.stationDatabase();
    feedback_ = std::make_shared<Feedback>();
    runError_ = std::make_shared<std::string>();
    ownFormatRun_ = o.format == FormatZentrel;
    runMethod_ = effectiveMethod(settings);

    watcher_ = new QFutureWatcher<BatchSummary>(this);
    connect(watcher_, &QFutureWatcher<BatchSummary>::finished, this, &BatchWindow::runEnded);
    watcher_->setFuture(QtConcurrent::run([list, o, settings, folder, database, feedback = feedback_, error = runError_] {
        try {
            return runBatch(list, o, settings, folder, database, feedback.get());
        } catch (const std::exception& e) {
            *error = e.what();
            return BatchSummary{};
        }
    }));
    CmdSave->setEnabled(false);
    setCursor(Qt::BusyCursor);  // the arrow stays usable: "Cancel" must be clickable
    progress_->setRange(0, 1000);
    progress_->setValue(0);
    progress_->show();
    progressTimer_->start();
}

void BatchWindow::updateProgress() {
    if (!feedback_) return;
    const long long total = feedback_->total();
    progress_->setValue(total > 0 ? static_cast<int>(1000 * feedback_->done() / total) : 0);
}

void BatchWindow::runEnded() {
    progressTimer_->stop();
    progress_->hide();
    summary_ = watcher_->result();
    watcher_->deleteLater();
    watcher_ = nullptr;
    unsetCursor();
    Enablecheck(outputFormat_);
    if (!runError_->empty()) {
        const QString text = QString::fromStdString(*runError_);
        if (ownFormatRun_) showMessage(this, kDefaultMessageTitle, QStringLiteral("Error while Processing Data :") + QLatin1Char(' ') + text, QMessageBox::NoIcon);
        else showMessage(this, kDefaultMessageTitle, text, QMessageBox::NoIcon);
    } else {
        // What the run left out (a variable the database lacks) follows on the same box.
        QString text = QStringLiteral("Data Saved Correctly");
        for (const std::string& note : summary_.notes) text += QLatin1Char('\n') + QString::fromStdString(note) + QLatin1Char('.');
        showMessage(this, kDefaultMessageTitle, text, QMessageBox::Information);
        if (chksum->isChecked()) {
            if (!summaryWindow_) summaryWindow_ = new single::frmSummary(this);
            summaryWindow_->setWindowFlag(Qt::Window);
            // The summary names the method its numbers came from, as the other windows do.
            summaryWindow_->setWindowTitle(QStringLiteral("Summary of processed Data  \u2013  Method: ") +
                                           methodCaption(runMethod_));
            QStringList lines;
            for (const std::string& line : summary_.lines) lines << QString::fromStdString(line);
            summaryWindow_->setLines(lines);
            placeOnce(summaryWindow_, this);
            summaryWindow_->show();
            summaryWindow_->raise();
        }
    }
    emit runFinished();
}

void BatchWindow::waitForRun() {
    while (watcher_) {
        watcher_->waitForFinished();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
}

void BatchWindow::cancel() {
    if (running()) {
        // The run goes on while the question is open; "Yes" stops it after the location in hand.
        const auto answer = showMessage(this, kDefaultMessageTitle, QStringLiteral("Do you want end Export Data ?"),
                                        QMessageBox::Question, QMessageBox::Yes | QMessageBox::No);
        if (answer == QMessageBox::Yes && feedback_) feedback_->cancel();
        return;
    }
    if (QWidget* frame = parentWidget(); frame && frame->inherits("QMdiSubWindow")) frame->hide();
    else hide();
}

void BatchWindow::setLocation() {
    const QTreeWidgetItem* item = LstStations->currentItem();
    if (!item) return;
    Location location = rowLocation({item->text(0).toStdString(), item->text(1).toStdString(),
                                     item->text(2).toStdString(), item->text(3).toStdString()});
    state_.WriteStatusLocation(location);
    state_.markStale();
}

void BatchWindow::Enablecheck(int32_t outputFormat) {
    outputFormat_ = outputFormat;
    // Quantities and append apply to the own format's files only.
    outputFrame_->setEnabled(outputFormat == FormatZentrel);
    filesFrame_->setEnabled(outputFormat == FormatZentrel);
    const bool writes = outputFormat != FormatLgsOutput && outputFormat != FormatRastell;
    CmdSave->setEnabled(writes && !running());
    CmdSave->setToolTip(writes ? QString() : QStringLiteral("The chosen output format writes no records in a batch run."));
}

}  // namespace zentrel::gui
