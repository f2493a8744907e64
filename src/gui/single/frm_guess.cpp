// frmGuess: tabs, views and the run on activation.
#include "single/frm_guess.h"

#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStackedWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include "formats/estimate_reach.h"
#include "shell/main_window.h"
#include "shell/settings_controls.h"
#include "single/result_graph.h"
#include "single/result_groups.h"
#include "single/result_tables.h"
#include "single/single_estimate.h"

namespace zentrel::gui::single {

namespace {

// A narrow legend wraps between words, never inside "[mm/month]" nor before it: a word joiner
// follows each "/" of a unit and a no-break space ties the unit to the word before it.
constexpr QChar kWordJoiner(0x2060);

QString unbreakableUnits(QString text) {
    bool inUnit = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('[')) {
            inUnit = true;
            if (i > 0 && text[i - 1] == QLatin1Char(' ')) text[i - 1] = QChar::Nbsp;
        } else if (text[i] == QLatin1Char(']')) {
            inUnit = false;
        } else if (inUnit && text[i] == QLatin1Char('/')) {
            text.insert(++i, kWordJoiner);
        }
    }
    return text;
}

}  // namespace

frmGuess::frmGuess(MainWindow& main, QWidget* parent)
    : QWidget(parent), main_(main), estimate_(SingleEstimate::of(main)) {
    setObjectName(QStringLiteral("frmGuess"));
    setWindowTitle(QStringLiteral("View Data"));
    createControls();
    connect(&estimate_, &SingleEstimate::started, Frame2, &QWidget::hide);
    connect(&estimate_, &SingleEstimate::finished, this, [this] {
        showagain();
        showLegend(TabStrip1->currentIndex());  // names what the run left out
        showWarnings(TabStrip1->currentIndex());
        LblMethod->setText(QStringLiteral("Method: ") + methodCaption(estimate_.method()));
        Frame2->show();
    });
    // Activation: the window becomes the active child, or the main window becomes active
    // again (after a dialog) while this window is its active child.
    connect(main_.clientArea(), &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* sub) {
        if (sub && sub->widget() == this) ShowData();
    });
    main_.installEventFilter(this);
    resize(1000, 620);
    // Below this the graphs' axis labels and the tables' month rows no longer fit.
    setMinimumSize(760, 500);
}

void frmGuess::createControls() {
    auto* layout = new QVBoxLayout(this);
    TabStrip1 = new QTabBar(this);
    TabStrip1->setObjectName(QStringLiteral("TabStrip1"));
    TabStrip1->addTab(QStringLiteral("Daily Temperatures "));
    TabStrip1->addTab(QStringLiteral("Precipitation / Potential Evapotranspiration "));
    TabStrip1->addTab(QStringLiteral("Sunshine Fraction / WindSpeed / Water Vapor Pressure"));
    for (int i = 0; i < 3; ++i) TabStrip1->setTabData(i, QStringLiteral("S%1").arg(i + 1));
    layout->addWidget(TabStrip1);

    // The warnings of the group's variables above whichever view is shown, so that a graph or
    // a table of an extrapolated estimate never looks like a sound one.
    LblWarnings = new QLabel(this);
    LblWarnings->setObjectName(QStringLiteral("LblWarnings"));
    LblWarnings->setWordWrap(true);
    LblWarnings->setTextFormat(Qt::PlainText);
    LblWarnings->setStyleSheet(QStringLiteral("QLabel { background: #fff1c2; color: #5a3a00; border: 1px solid #d9b44a; "
                                              "padding: 3px 6px; }"));
    LblWarnings->hide();
    layout->addWidget(LblWarnings);

    frames_ = new QStackedWidget(this);
    for (int g = 0; g < kGroupCount; ++g) frames_->addWidget(createGroup(g));
    layout->addWidget(frames_, 1);

    Frame2 = new QGroupBox(QStringLiteral("Variables"), this);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    auto* legendLayout = new QHBoxLayout(Frame2);
    for (size_t i = 0; i < 3; ++i) {
        lines_[i] = new QLabel(Frame2);
        lines_[i]->setFixedSize(36, 4);
        lines_[i]->setAutoFillBackground(true);
        labels_[i] = new QLabel(Frame2);
        labels_[i]->setObjectName(QStringLiteral("Label%1").arg(i + 1));
        // A narrow window wraps a long legend text instead of cutting it off.
        labels_[i]->setWordWrap(true);
        legendLayout->addWidget(lines_[i]);
        legendLayout->addWidget(labels_[i], 1);
        legendLayout->addSpacing(18);
    }
    // Which method made the numbers on every tab.
    LblMethod = new QLabel(Frame2);
    LblMethod->setObjectName(QStringLiteral("LblMethod"));
    legendLayout->addWidget(LblMethod);
    layout->addWidget(Frame2);

    connect(TabStrip1, &QTabBar::currentChanged, this, [this](int g) {
        frames_->setCurrentIndex(g);
        showLegend(g);
        showWarnings(g);
        drawGroup(g);
    });
    showLegend(0);
}

QWidget* frmGuess::createGroup(int group) {
    // The temperature frame carries no caption of its own in the layout; it gets one in the
    // manner of the other two.
    static const char* const captions[3] = {"Daily Mean, Maximum and Minimum Temperatures [°C]",
                                            "Precipitation , Potential Evapotranspiration (PET) [mm/month]",
                                            "Sunshine Fraction , Windspeed [km/h] , Water Vapor Pressure [hPa]"};
    static const char* const stripNames[3] = {"TempStrip", "PrecStrip", "windStrip"};
    static const char* const pictureNames[3] = {"pictemp", "picprec", "picwind"};
    static const char* const tableNames[3][4] = {{"grdTemp", "grdTemStat", "grdTempObs", "grdtemwarn"},
                                                 {"grdPrec", "grdPrecStat", "grdPrecObs", "grdprecwarn"},
                                                 {"grdWind", "grdWindStat", "grdWindObs", "grdwindWarn"}};
    auto* frame = new QGroupBox(QString::fromUtf8(captions[group]), this);
    frame->setObjectName(QStringLiteral("FrameS%1").arg(group + 1));
    auto* layout = new QVBoxLayout(frame);
    auto* strip = new QTabWidget(frame);
    strip->setObjectName(QLatin1String(stripNames[group]));
    const size_t g = static_cast<size_t>(group);

    graphs_[g] = new ResultGraph(strip);
    const auto legend = legendEntries(group);
    graphs_[g]->setLegend({legend.begin(), legend.end()});
    graphs_[g]->setObjectName(QStringLiteral("%1%2").arg(QLatin1String(pictureNames[group])).arg(1));
    strip->addTab(graphs_[g], QStringLiteral("Graph of Results"));
    const char* const titles[4] = {"Table of Results", "Stations Information", "Observed Data", "Warnings"};
    for (size_t t = 0; t < 4; ++t) {
        auto* table = new QTableWidget(strip);
        table->setObjectName(QLatin1String(tableNames[group][t]));
        table->setEditTriggers(QAbstractItemView::NoEditTriggers);
        table->horizontalHeader()->setHighlightSections(false);
        table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 4);
        tables_[g][t + 1] = table;
        strip->addTab(table, QLatin1String(titles[t]));
    }
    strip->setTabToolTip(0, QStringLiteral("Graph of Estimates"));
    strip->setTabToolTip(1, QStringLiteral("Table of Estimates"));
    strip->setTabToolTip(2, QStringLiteral("Stations used for the Estimation"));
    strip->setTabToolTip(3, QStringLiteral("Observations used for the Estimate."));
    const char* const keys[5] = {"Graph", "Table", "Stations", "Observations", "Warnings"};
    for (int t = 0; t < 5; ++t) strip->tabBar()->setTabData(t, QLatin1String(keys[t]));
    connect(strip, &QTabWidget::currentChanged, this, [this, group] { drawGroup(group); });
    strips_[g] = strip;
    layout->addWidget(strip);
    return frame;
}

int frmGuess::group() const { return TabStrip1->currentIndex(); }
void frmGuess::setGroup(int group) { TabStrip1->setCurrentIndex(group); }
int frmGuess::view(int group) const { return strips_[static_cast<size_t>(group)]->currentIndex() + 1; }
void frmGuess::setView(int group, int view) { strips_[static_cast<size_t>(group)]->setCurrentIndex(view - 1); }

QTableWidget* frmGuess::table(int group, int view) const {
    return view >= 2 && view <= 5 ? tables_[static_cast<size_t>(group)][static_cast<size_t>(view - 1)] : nullptr;
}

QString frmGuess::legendText(int label) const {
    return labels_[static_cast<size_t>(label - 1)]->text().remove(kWordJoiner).replace(QChar::Nbsp, QLatin1Char(' '));
}

void frmGuess::showLegend(int group) {
    const auto entries = legendEntries(group);
    for (size_t i = 0; i < 3; ++i) {
        QString text = entries[i].text;
        for (const GroupVariable& gv : groupVariables(group))
            if (gv.colour == entries[i].colour && estimate_.skipped(gv.variable))
                text += QStringLiteral(": not in this database");
        labels_[i]->setText(unbreakableUnits(text));
        lines_[i]->setVisible(entries[i].colour >= 0);
        if (entries[i].colour >= 0) {
            QPalette palette = lines_[i]->palette();
            palette.setColor(QPalette::Window, consoleColour(entries[i].colour));
            lines_[i]->setPalette(palette);
        }
    }
}

QString frmGuess::warningText(int group) const {
    QStringList lines;
    for (const GroupVariable& gv : groupVariables(group)) {
        const std::string name = kVariableNames[static_cast<size_t>(gv.variable)];
        if (estimate_.skipped(gv.variable)) {
            lines << QString::fromStdString(name) + QStringLiteral(": not in this database, not estimated.");
            continue;
        }
        const std::string line = warningStripLine(estimate_.results()[static_cast<size_t>(gv.variable)], name);
        if (!line.empty()) lines << QString::fromStdString(line);
    }
    return lines.join(QLatin1Char('\n'));
}

void frmGuess::showWarnings(int group) {
    const QString text = warningText(group);
    LblWarnings->setText(text);
    LblWarnings->setVisible(!text.isEmpty());
}

void frmGuess::ShowData() {
    if (estimate_.running()) return;
    if (!estimate_.start()) showagain();
}

void frmGuess::showagain() {
    for (int g = 0; g < kGroupCount; ++g) drawGroup(g);
}

void frmGuess::drawGroup(int group) {
    const VariableResults& results = estimate_.results();
    switch (view(group)) {
        case 1: {
            std::vector<GraphCurve> curves;
            const auto& variables = groupVariables(group);
            for (const GroupVariable& gv : variables)
                if (!estimate_.skipped(gv.variable))  // no line of zeros for what the database lacks
                    curves.push_back(screenCurve(results[static_cast<size_t>(gv.variable)], gv.colour,
                                                 variables.size() > 1));
            graph(group)->setCurves(std::move(curves));
            break;
        }
        case 2: fillTable(*table(group, 2), estimatesGrid(group, results)); break;
        case 3: fillTable(*table(group, 3), stationGrid(group, results)); break;
        case 4: fillTable(*table(group, 4), observationGrid(group, results)); break;
        case 5: fillTable(*table(group, 5), warningGrid(group, results)); break;
        default: break;
    }
}

bool frmGuess::isActiveChild() const {
    const QMdiSubWindow* sub = main_.clientArea()->activeSubWindow();
    return sub && sub->widget() == this && isVisible();
}

bool frmGuess::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &main_ && event->type() == QEvent::WindowActivate && isActiveChild()) ShowData();
    return QWidget::eventFilter(watched, event);
}

void frmGuess::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    ShowData();
}

}  // namespace zentrel::gui::single
