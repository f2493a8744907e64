// Form1: map display, legend, colour editor, map list, location fields and the export panel.
#include "maps/raster_map_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QDialog>
#include <QFileInfo>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QRubberBand>
#include <QScrollArea>
#include <QStatusBar>
#include <QStyle>
#include <QTableWidget>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <QtConcurrent>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>

#include "base/picture.h"
#include "data/data_info.h"
#include "data/station_database.h"
#include "data/terrain.h"
#include "error.h"
#include "locations/location_rules.h"
#include "maps/export_companions.h"
#include "maps/map_view.h"
#include "maps/surface_files.h"
#include "shell/main_window.h"
#include "shell/message_box.h"
#include "shell/save_dialog.h"

namespace zentrel::gui {

// ---- the picture box ----

class RasterMapPicture : public QWidget {
public:
    explicit RasterMapPicture(RasterMapWindow& window) : QWidget(&window), w_(window), band_(QRubberBand::Rectangle, this) {
        setObjectName(QStringLiteral("Picture1"));
        setMouseTracking(true);
        setMinimumSize(320, 200);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), Qt::white);
        p.drawImage(0, 0, w_.image_);  // `PaintPicture`: the whole image in one operation
        // The selected point: a cross in a ring, visible on any map colour.
        if (const auto point = w_.selectedPoint(); point && w_.hasMap()) {
            const QPointF at = w_.view().pixelOf(point->x(), point->y());
            p.setRenderHint(QPainter::Antialiasing);
            for (const auto& [colour, width] : {std::pair{QColor(Qt::white), 4.0}, {QColor(200, 0, 0), 2.0}}) {
                p.setPen(QPen(colour, width));
                p.drawEllipse(at, 6, 6);
                p.drawLine(at - QPointF(10, 0), at + QPointF(10, 0));
                p.drawLine(at - QPointF(0, 10), at + QPointF(0, 10));
            }
        }
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        const QPoint at = e->position().toPoint();
        w_.statusBar_->showMessage(w_.statusTextAt(at));
        if (dragging_) band_.setGeometry(QRect(origin_, at).normalized());  // `CancellaRettangolo`, `DisegnaRettangolo`
    }
    void mousePressEvent(QMouseEvent* e) override {
        const QPoint at = e->position().toPoint();
        switch (w_.mode()) {
            case RasterMapWindow::Mode::None:
                if (e->button() == Qt::LeftButton) w_.selectPoint(at);
                break;
            case RasterMapWindow::Mode::ZoomPunto: w_.zoomPunto(at, e->button() != Qt::RightButton); break;
            case RasterMapWindow::Mode::Rectangle:
                if (e->button() != Qt::LeftButton) break;
                dragging_ = true;
                origin_ = at;
                band_.setGeometry(QRect(at, QSize()));
                band_.show();
                break;
        }
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        if (!dragging_) return;
        dragging_ = false;
        w_.setExportRectangle(origin_, e->position().toPoint());
    }

public:
    void hideBand() { band_.hide(); }

private:
    RasterMapWindow& w_;
    QRubberBand band_;
    bool dragging_ = false;
    QPoint origin_;
};

// ---- the legend ----

class RasterLegend : public QWidget {
public:
    explicit RasterLegend(RasterMapWindow& window) : QWidget(nullptr), w_(window) {
        setObjectName(QStringLiteral("Legend"));
        setMinimumWidth(190);
    }
    QSize sizeHint() const override { return {200, 24 + 18 * static_cast<int>(w_.colourTable().legendEntries().size())}; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), Qt::white);
        if (!w_.hasMap()) return;
        QFont bold = font();
        bold.setBold(true);
        p.setFont(bold);
        p.drawText(QRect(6, 4, width() - 12, 18), Qt::AlignLeft | Qt::AlignVCenter,
                   QFileInfo(QString::fromStdString(w_.mapFiles().Img)).fileName());
        p.setFont(font());
        int y = 26;
        for (int k : w_.colourTable().legendEntries()) {
            const ColourEntry& e = w_.colourTable().Entries[static_cast<size_t>(k)];
            p.fillRect(QRect(8, y + 2, 22, 12), toQColor(e.Colour));
            p.setPen(Qt::black);
            p.drawRect(QRect(8, y + 2, 22, 12));
            p.drawText(QRect(36, y, width() - 40, 16), Qt::AlignLeft | Qt::AlignVCenter, QString::fromStdString(e.Label));
            y += 18;
        }
    }

private:
    RasterMapWindow& w_;
};

// ---- the export job, shared between the GUI and the worker ----

struct RasterMapWindow::ExportJob {
    RasterExportPlan plan;
    ImgRaster displayed;
    ImgRaster output;
    ProgramSettings settings;
    std::string dataFolder;
    std::shared_ptr<const StationDatabase> database;
    Feedback feedback;
    std::atomic<double> lon{0}, lat{0};
    std::optional<std::vector<uint8_t>> cells;
    QString error;
    // A GeoTIFF export: values go to the file as they come, so its name is asked first.
    bool surface = false;
    SurfaceGrid grid;
    SurfaceLayout layout;
    QString fileName;
    bool written = false;
};

// ---- window ----

RasterMapWindow::RasterMapWindow(MainWindow& main, QString mapFolder, QWidget* parent)
    : QWidget(parent), main_(main), state_(main.state()), mapFolder_(std::move(mapFolder)) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Raster Map"));
    zoomCentres_ = {QPointF(0, 0), QPointF(0, 0)};
    createToolBar();
    Picture1 = new RasterMapPicture(*this);
    createSidePanel();
    createExportPanel();
    createColourEditor();
    statusBar_ = new QStatusBar(this);
    statusBar_->setSizeGripEnabled(false);

    // The legend scrolls when the panels below leave it too little room, but keeps a few
    // entries in view; the whole side column scrolls when even that does not fit, so that no
    // field of the panels is ever squashed.
    auto* sideColumn = new QWidget(this);
    auto* legendArea = new QScrollArea(sideColumn);
    legendArea->setObjectName(QStringLiteral("LegendArea"));
    legendArea->setWidget(legend_);
    legendArea->setWidgetResizable(true);
    legendArea->setMinimumWidth(230);
    legendArea->setMinimumHeight(8 * (fontMetrics().height() + 6));
    legendArea->setFrameShape(QFrame::NoFrame);
    // The export panel, when open, stands in a column of its own beside the legend, so that the
    // legend keeps its rows and the location frame stays in view below it.
    auto* sideRow = new QHBoxLayout(sideColumn);
    sideRow->setContentsMargins(0, 0, 0, 0);
    sideRow->addWidget(exportPanel_, 0, Qt::AlignTop);
    auto* side = new QVBoxLayout;
    sideRow->addLayout(side);
    side->addWidget(legendArea, 1);
    side->addWidget(mapList_);
    auto* locationFrame = findChild<QGroupBox*>(QStringLiteral("LocationFrame"));
    side->addWidget(locationFrame);
    auto* sideArea = new QScrollArea(this);
    sideArea->setObjectName(QStringLiteral("SideArea"));
    sideArea->setWidget(sideColumn);
    sideArea->setWidgetResizable(true);
    sideArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    sideArea->setFrameShape(QFrame::NoFrame);
    sideArea_ = sideArea;
    fitSidePanel();
    auto* middle = new QHBoxLayout;
    middle->addWidget(Picture1, 1);
    middle->addWidget(sideArea);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(Toolbar1);
    layout->addLayout(middle, 1);
    layout->addWidget(statusBar_);

    // `Timer1`: one redraw for a series of resize events.
    Timer1 = new QTimer(this);
    Timer1->setInterval(250);
    connect(Timer1, &QTimer::timeout, this, [this] {
        if (!redrawRequest_) return;
        redrawRequest_ = false;
        Draw();
    });
    Timer1->start();
    progressTimer_ = new QTimer(this);
    progressTimer_->setInterval(100);
    connect(progressTimer_, &QTimer::timeout, this, &RasterMapWindow::updateExportProgress);
    askFileName = [this] {
        // A GeoTIFF goes where the user keeps files for other programs (the folder used last);
        // a Rastell map to the map folder, where "Change Map" finds it again.
        if (geoTiffChosen()) return getSaveFileName(this, QStringLiteral("Save GeoTIFF"), QStringLiteral("GeoTIFF (*.tif)"));
        return getSaveFileName(this, QStringLiteral("Save Rastell"), QStringLiteral("Rastell (*.IMG)"),
                               QDir(mapFolder_).exists() ? mapFolder_ : QString());
    };
    askMapFile = [this] {
        const QString chosen = QFileDialog::getOpenFileName(this, QStringLiteral("Open Map"), lastUsedFolder(),
                                                            QStringLiteral("Rastell (*.img *.IMG)"));
        rememberFolder(chosen);
        return chosen;
    };
    resize(1000, 640);
}

RasterMapWindow::~RasterMapWindow() {
    if (job_) job_->feedback.cancel();
    if (watcher_) watcher_->waitForFinished();
}

void RasterMapWindow::fitSidePanel() {
    // As wide as the panels now shown need, and room for the scroll bar.
    QWidget* column = sideArea_->widget();
    column->layout()->activate();
    sideArea_->setFixedWidth(column->sizeHint().width() + style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 4);
    // The map beside it got narrower or wider: drawn again to fill its new width.
    if (autoSize_) redrawRequest_ = true;
}

void RasterMapWindow::createToolBar() {
    Toolbar1 = new QToolBar(this);
    Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    Toolbar1->setToolButtonStyle(Qt::ToolButtonTextOnly);
    selectAction_ = Toolbar1->addAction(QStringLiteral("Select Point"), this, [this] { setMode(Mode::None); });
    zoomAction_ = Toolbar1->addAction(QStringLiteral("Point Zoom"), this, [this] { setMode(Mode::ZoomPunto); });
    selectAction_->setCheckable(true);
    zoomAction_->setCheckable(true);
    autoSizeAction_ = Toolbar1->addAction(QStringLiteral("Track AutoSize"), this, [this](bool on) { setAutoSize(on); });
    autoSizeAction_->setCheckable(true);
    autoSizeAction_->setChecked(true);
    Toolbar1->addAction(QStringLiteral("Refresh"), this, &RasterMapWindow::Draw);
    Toolbar1->addAction(QStringLiteral("Change Colors"), this, &RasterMapWindow::showColourEditor);
    Toolbar1->addAction(QStringLiteral("Change Map"), this, [this] {
        if (!mapList_->isVisible()) refreshMapList();  // maps saved since the window opened are listed too
        mapList_->setVisible(!mapList_->isVisible());
        fitSidePanel();
    });
    Toolbar1->addAction(QStringLiteral("Toggle Boundaries"), this, &RasterMapWindow::toggleBoundaries);
    Toolbar1->addAction(QStringLiteral("Toggle Capitals"), this, &RasterMapWindow::toggleCapitals);
    exportAction_ = Toolbar1->addAction(QStringLiteral("Export Rastell"), this, &RasterMapWindow::showExportPanel);
    exportAction_->setCheckable(true);
}

void RasterMapWindow::createSidePanel() {
    legend_ = new RasterLegend(*this);
    mapList_ = new QGroupBox(QStringLiteral("Maps"), this);
    ListMap = new QListWidget(mapList_);
    ListMap->setObjectName(QStringLiteral("ListMap"));
    auto* browse = new QPushButton(QStringLiteral("Browse..."), mapList_);
    browse->setObjectName(QStringLiteral("CmdBrowse"));
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString path = askMapFile ? askMapFile() : QString();
        if (!path.isEmpty()) openMapFile(path);
    });
    auto* listLayout = new QVBoxLayout(mapList_);
    listLayout->addWidget(ListMap);
    listLayout->addWidget(browse);
    mapList_->setMaximumHeight(170);
    mapList_->hide();
    connect(ListMap, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) { changeMap(ListMap->row(item)); });

    auto* box = new QGroupBox(QStringLiteral("Location"), this);
    box->setObjectName(QStringLiteral("LocationFrame"));
    auto edit = [box](const char* name) {
        auto* e = new QLineEdit(box);
        e->setObjectName(QLatin1String(name));
        e->setMaximumWidth(110);
        return e;
    };
    txtLong = edit("txtLong");
    txtLat = edit("txtLat");
    txtElev = edit("txtElev");
    // Numbers only, as in the other coordinate boxes (a comma is read as the decimal point).
    auto* number = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("-?[0-9]*([.,][0-9]*)?")), box);
    for (QLineEdit* e : {txtLong, txtLat, txtElev}) {
        e->setValidator(number);
        connect(e, &QLineEdit::textChanged, this, [this] { Picture1->update(); });
    }
    Text2 = edit("Text2");
    auto* grid = new QGridLayout(box);
    int row = 0;
    for (auto [label, e] : {std::pair{"Longitude", txtLong}, {"Latitude", txtLat}, {"Altitude (m)", txtElev}, {"Name", Text2}}) {
        grid->addWidget(new QLabel(QLatin1String(label), box), row, 0);
        grid->addWidget(e, row++, 1);
    }
    auto* run = new QPushButton(QStringLiteral("Set Location"), box);
    auto* save = new QPushButton(QStringLiteral("Save Data"), box);
    run->setObjectName(QStringLiteral("CmdRun"));
    save->setObjectName(QStringLiteral("CmdSave"));
    connect(run, &QPushButton::clicked, this, [this] { setLocation(); });
    connect(save, &QPushButton::clicked, this, [this] { saveData(); });
    grid->addWidget(run, row, 0);
    grid->addWidget(save, row, 1);
}

void RasterMapWindow::createColourEditor() {
    colourEditor_ = new QDialog(this);
    colourEditor_->setWindowTitle(QStringLiteral("Change Colors"));
    GrdColors = new QTableWidget(colourEditor_);
    GrdColors->setObjectName(QStringLiteral("GrdColors"));
    GrdColors->setColumnCount(2);
    GrdColors->setHorizontalHeaderLabels({QStringLiteral("Label"), QStringLiteral("Color")});
    GrdColors->horizontalHeader()->setStretchLastSection(true);
    GrdColors->setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(GrdColors, &QTableWidget::cellClicked, this, [this](int row, int column) {
        if (column != 1) return;
        const QColor chosen = QColorDialog::getColor(GrdColors->item(row, 1)->background().color(), colourEditor_);
        if (chosen.isValid()) GrdColors->item(row, 1)->setBackground(chosen);
    });
    auto* ok = new QPushButton(QStringLiteral("OK"), colourEditor_);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), colourEditor_);
    ok->setObjectName(QStringLiteral("ARButton1"));
    cancel->setObjectName(QStringLiteral("ARButton2"));
    connect(ok, &QPushButton::clicked, this, &RasterMapWindow::acceptColours);
    connect(cancel, &QPushButton::clicked, colourEditor_, &QDialog::hide);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(colourEditor_);
    layout->addWidget(GrdColors);
    layout->addLayout(buttons);
    colourEditor_->resize(320, 480);
}

void RasterMapWindow::showError(const QString& text) { showMessage(this, kDefaultMessageTitle, text, QMessageBox::NoIcon); }

void RasterMapWindow::refreshMapList() {
    maps_ = listUsableMaps(mapFolder_.toStdString());
    ListMap->clear();
    for (const MapFiles& m : maps_) ListMap->addItem(QString::fromStdString(m.Base));
}

void RasterMapWindow::openFirstMap() {
    refreshMapList();
    if (maps_.empty()) {
        showMessage(this, kDefaultMessageTitle, QStringLiteral("No Map available"), QMessageBox::Information);
        return;
    }
    boundaryColour_ = capitalColour_ = Rgb{};
    if (loadMap(maps_.front())) Draw();
}

bool RasterMapWindow::loadMap(const MapFiles& files) {
    try {
        ColourTable colours = readColourTable(files.Clr, boundaryColour_, capitalColour_);
        ImgRaster map = readImg(files.Img);
        std::vector<BnaShape> boundaries, capitals;
        try {
            boundaries = readBna(files.Bnd);
            capitals = readBna(files.Cty);
        } catch (const std::exception& e) {
            showError(QString::fromStdString(e.what()));  // the map shows without its overlays
        }
        files_ = files;
        colours_ = colours;
        map_ = std::move(map);
        boundaries_ = std::move(boundaries);
        capitals_ = std::move(capitals);
        setMode(Mode::None);
        legend_->setMinimumHeight(legend_->sizeHint().height());
        zoomToMap();
        return true;
    } catch (const std::exception& e) {
        showError(QString::fromStdString(e.what()));
        return false;
    }
}

bool RasterMapWindow::changeMap(int index) {
    if (index < 0 || index >= static_cast<int>(maps_.size())) return false;
    const QString name = QString::fromStdString(maps_[static_cast<size_t>(index)].Base);
    if (showMessage(this, kDefaultMessageTitle, QStringLiteral("Do you want use ") + name + QStringLiteral(" Map?"),
                    QMessageBox::Question, QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return false;
    // The overlay colours are kept.
    boundaryColour_ = colours_.Entries[kBoundariesEntry].Colour;
    capitalColour_ = colours_.Entries[kCapitalsEntry].Colour;
    if (!loadMap(maps_[static_cast<size_t>(index)])) return false;
    mapList_->hide();
    fitSidePanel();
    Draw();
    return true;
}

bool RasterMapWindow::openMapFile(const QString& imgPath) {
    const QFileInfo chosen(imgPath);
    // The companions are found as the map folder's are: beside the raster, in any letter case.
    for (const MapFiles& files : listUsableMaps(chosen.absolutePath().toStdString())) {
        if (QFileInfo(QString::fromStdString(files.Img)) != chosen) continue;
        boundaryColour_ = capitalColour_ = Rgb{};
        if (!loadMap(files)) return false;
        mapList_->hide();
        fitSidePanel();
        Draw();
        return true;
    }
    showError(QStringLiteral("The map %1 cannot be shown: its colour table (.clr), capital (.cty) and boundary "
                             "(.bnd) files must lie beside it.")
                  .arg(QDir::toNativeSeparators(chosen.absoluteFilePath())));
    return false;
}

void RasterMapWindow::zoomToMap() {
    // Level 1 is the world; each level halves it. The deepest level that still holds the whole
    // map, centred on it: an export of a region opens filling the picture, not as a patch.
    const MapExtent e = mapExtent(map_->Header);
    const double width = std::fabs(e.East - e.West) + map_->Header.CellWidth;
    const double height = std::fabs(e.North - e.South) + map_->Header.CellHeight;
    int level = 1;
    while (level < 30 && 364 / std::ldexp(1.0, level) >= width && 156 / std::ldexp(1.0, level) >= height) ++level;
    zoomLevel_ = level;
    zoomCentres_.assign(static_cast<size_t>(level) + 1, QPointF((e.West + e.East) / 2, (e.North + e.South) / 2));
    zoomCentres_[1] = QPointF(0, 0);
}

std::optional<QPointF> RasterMapWindow::selectedPoint() const {
    bool lonOk = false, latOk = false;
    const double lon = QString(txtLong->text()).replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&lonOk);
    const double lat = QString(txtLat->text()).replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&latOk);
    if (!lonOk || !latOk) return std::nullopt;
    return QPointF(lon, lat);
}

void RasterMapWindow::setMode(Mode mode) {
    mode_ = mode;
    selectAction_->setChecked(mode == Mode::None);
    zoomAction_->setChecked(mode == Mode::ZoomPunto);
    exportAction_->setChecked(mode == Mode::Rectangle);
    Picture1->setCursor(mode == Mode::None ? Qt::ArrowCursor : Qt::CrossCursor);
    if (mode != Mode::Rectangle) Picture1->hideBand();
}

void RasterMapWindow::updateView() {
    // Level 1 shows the drawing extent (left -182, width 364, top 78, height 156); every further
    // level halves it about the level's recorded centre.
    const double f = std::ldexp(1.0, zoomLevel_ - 1);
    QPointF c = zoomCentres_[static_cast<size_t>(zoomLevel_)];
    const double width = 364 / f, height = 156 / f;
    // A centre near an edge of the extent would show a band beyond it (white above the map):
    // the zoomed box is moved back inside the extent; the recorded centre stays as clicked.
    c.setX(std::clamp(c.x(), -182 + width / 2, 182 - width / 2));
    c.setY(std::clamp(c.y(), -78 + height / 2, 78 - height / 2));
    const QSize size = autoSize_ || image_.isNull() ? Picture1->size() : image_.size();
    view_ = MapView::fit(c.x() - width / 2, c.y() + height / 2, width, height, size);
    // The picture box's own proportions may show more than the box: that part, too, stays
    // inside the extent where it fits.
    const double shownWidth = view_.Size.width() * view_.DegreesPerPixel;
    const double shownHeight = view_.Size.height() * view_.DegreesPerPixel;
    if (shownWidth <= 364) view_.Left = std::clamp(view_.Left, -182.0, 182 - shownWidth);
    if (shownHeight <= 156) view_.Top = std::clamp(view_.Top, -78 + shownHeight, 78.0);
}

void RasterMapWindow::Draw() {
    updateView();
    if (!map_) {
        image_ = QImage();
        Picture1->update();
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    image_ = renderRasterMap(*map_, colours_, view_, qRgb(255, 255, 255), showBoundaries_ ? &boundaries_ : nullptr,
                             showCapitals_ ? &capitals_ : nullptr);
    QApplication::restoreOverrideCursor();
    Picture1->update();
    legend_->update();
}

void RasterMapWindow::toggleBoundaries() {
    showBoundaries_ = !showBoundaries_;
    Draw();
}

void RasterMapWindow::toggleCapitals() {
    showCapitals_ = !showCapitals_;
    Draw();
}

void RasterMapWindow::setAutoSize(bool on) {
    autoSize_ = on;
    autoSizeAction_->setChecked(on);
    if (on) Draw();
}

void RasterMapWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (autoSize_) redrawRequest_ = true;
}

void RasterMapWindow::zoomPunto(QPoint pixel, bool zoomIn) {
    if (zoomIn) {
        zoomLevel_ = std::min(zoomLevel_ + 1, 30);
        zoomCentres_.resize(static_cast<size_t>(zoomLevel_) + 1);
        zoomCentres_[static_cast<size_t>(zoomLevel_)] = QPointF(view_.lonAt(pixel.x()), view_.latAt(pixel.y()));
    } else if (--zoomLevel_ <= 0) {
        zoomLevel_ = 1;
        zoomCentres_[1] = QPointF(0, 0);
    }
    Draw();
}

QString RasterMapWindow::statusTextAt(QPoint pixel) const {
    const double lon = truncateToThreeDecimals(view_.lonAt(pixel.x())), lat = truncateToThreeDecimals(view_.latAt(pixel.y()));
    QString text = dmsStatusText(lon, lat);
    if (map_) {
        const Georeference geo = Georeference::of(map_->Header);
        const long c = geo.columnOf(lon), r = geo.rowOf(lat);
        if (c >= 0 && c < map_->Header.Columns && r >= 0 && r < map_->Header.Rows) {
            const uint8_t count = map_->at(static_cast<int>(c), static_cast<int>(r));
            if (count != kImgNoData)
                text += QStringLiteral("  Value= ") +
                        QString::fromStdString(shortestFloat(static_cast<float>(map_->Header.valueOf(count))));
        }
    }
    return text;
}

QString RasterMapWindow::statusText() const { return statusBar_->currentMessage(); }

void RasterMapWindow::selectPoint(QPoint pixel) {
    const double lon = truncateToThreeDecimals(view_.lonAt(pixel.x())), lat = truncateToThreeDecimals(view_.latAt(pixel.y()));
    int16_t isSea = 0, alt = 0;
    try {
        alt = TerrainAltitude(state_.dataFolderPath(), static_cast<float>(lon), static_cast<float>(lat), isSea);
    } catch (const std::exception& e) {
        showError(QString::fromStdString(e.what()));
    }
    txtLong->setText(QString::number(lon, 'f', 2));
    txtLat->setText(QString::number(lat, 'f', 2));
    txtElev->setText(QString::number(alt));
}

void RasterMapWindow::setExportRectangle(QPoint from, QPoint to) {
    auto text = [](double v) { return QString::number(truncateToThreeDecimals(v), 'f', 3).remove(QRegularExpression(QStringLiteral("\\.?0+$"))); };
    TxtLonStart->setText(text(view_.lonAt(std::min(from.x(), to.x()))));
    TxtLonEnd->setText(text(view_.lonAt(std::max(from.x(), to.x()))));
    TxtLatStart->setText(text(view_.latAt(std::min(from.y(), to.y()))));
    TxtLatEnd->setText(text(view_.latAt(std::max(from.y(), to.y()))));
}

bool RasterMapWindow::setLocation() {
    const float lon = readCoordinate(txtLong->text(), true);
    const float lat = readCoordinate(txtLat->text(), true);
    if (!latitudeInRange(lat)) {
        showMessage(this, kStrangeLocationTitle, kLatitudeRangeText, QMessageBox::Critical);
        return false;
    }
    if (isPolar(lat))
        showMessage(this, QStringLiteral(" Polar Region"),
                    QStringLiteral("Please note that the specified point lies in the polar region."),
                    QMessageBox::Information);
    Location location{Text2->text().toStdString(), lon, lat, readCoordinate(txtElev->text(), true)};
    main_.WriteStatusLocation(location);
    state_.markStale();
    return true;
}

bool RasterMapWindow::saveData() {
    if (!setLocation()) return false;
    main_.childWindows().open(ChildWindow::EstimateOutput, OpenMode::Save);
    return true;
}

void RasterMapWindow::showColourEditor() {
    // `LoadGridColors`
    const std::vector<int> entries = colours_.legendEntries();
    GrdColors->setRowCount(static_cast<int>(entries.size()));
    for (int row = 0; row < static_cast<int>(entries.size()); ++row) {
        const ColourEntry& e = colours_.Entries[static_cast<size_t>(entries[static_cast<size_t>(row)])];
        GrdColors->setItem(row, 0, new QTableWidgetItem(QString::fromStdString(e.Label)));
        auto* colour = new QTableWidgetItem;
        colour->setBackground(toQColor(e.Colour));
        GrdColors->setItem(row, 1, colour);
    }
    colourEditor_->show();
}

void RasterMapWindow::acceptColours() {
    for (int row = 0; row < GrdColors->rowCount(); ++row)
        colours_.setColourOfLabel(GrdColors->item(row, 0)->text().trimmed().toStdString(),
                                  toRgb(GrdColors->item(row, 1)->background().color()));
    colourEditor_->hide();
    Draw();
}

// ---- export ----

void RasterMapWindow::showExportPanel() {
    setMode(Mode::Rectangle);
    exportPanel_->show();
    fitSidePanel();
}

bool RasterMapWindow::exportRunning() const { return job_ != nullptr; }

bool RasterMapWindow::geoTiffChosen() const { return fileTypeCombo && fileTypeCombo->currentIndex() == 1; }

void RasterMapWindow::snapBoxes() {
    const auto r = parseResolution(resolutionCombo->currentText().toStdString());
    if (!r) return;
    const double resolution = std::nearbyint(*r * 1000) / 1000;
    const int decimals = resolutionDecimals(resolution);
    for (QLineEdit* box : {TxtLonStart, TxtLonEnd, TxtLatStart, TxtLatEnd})
        if (const auto v = parseCoordinate(box->text().toStdString()))
            box->setText(QString::number(snapToResolution(*v, resolution, decimals), 'f', decimals));
}

bool RasterMapWindow::startExport() {
    if (job_ || !map_) return false;
    const auto resolution = parseResolution(resolutionCombo->currentText().toStdString());
    if (!resolution) {
        showMessage(this, kDefaultMessageTitle, QLatin1String(kResolutionMessage), QMessageBox::Information);
        return false;
    }
    const std::string message =
        checkExportRectangle(TxtLonStart->text().toStdString(), TxtLonEnd->text().toStdString(),
                             TxtLatStart->text().toStdString(), TxtLatEnd->text().toStdString(), mapExtent(map_->Header));
    if (!message.empty()) {
        showMessage(this, kDefaultMessageTitle, QString::fromStdString(message), QMessageBox::Information);
        return false;
    }
    snapBoxes();
    auto job = std::make_shared<ExportJob>();
    try {
        job->plan = planRasterExport(variableCombo->currentIndex(), periodNumber(periodCombo->currentText().toStdString()),
                                     *resolution, *parseCoordinate(TxtLonStart->text().toStdString()),
                                     *parseCoordinate(TxtLonEnd->text().toStdString()),
                                     *parseCoordinate(TxtLatStart->text().toStdString()),
                                     *parseCoordinate(TxtLatEnd->text().toStdString()));
    } catch (const std::exception& e) {
        showError(QString::fromStdString(e.what()));
        return false;
    }
    if (!holdsVariable(state_.dataFolderPath(), job->plan.Variable)) {
        showMessage(this, kDefaultMessageTitle,
                    QString::fromStdString(missingVariableMessage(job->plan.Variable) +
                                           "; add them with zentrel data import-csv."),
                    QMessageBox::Information);
        return false;
    }
    job->output.Header = GetNewHeader(job->plan, map_->Header);
    if (geoTiffChosen()) {
        // The cells fill the box exactly, as the command line's surfaces do: the same grid.
        const RasterExportPlan& p = job->plan;
        job->surface = true;
        try {
            job->grid = surfaceGrid(p.LonStart, p.LatEnd, p.LonEnd, p.LatStart, p.Resolution);
        } catch (const std::exception& e) {
            showError(QString::fromStdString(e.what()));
            return false;
        }
        job->layout.Variable = p.Variable;
        job->layout.Periods = {p.Period};
        if (allMonthsCheck->isChecked()) job->layout.Periods = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
        job->layout.Quantities = {SurfaceQuantity::Best};
        if (stdErrCheck->isChecked()) job->layout.Quantities.push_back(SurfaceQuantity::StdErr);
        if (boundsCheck->isChecked()) {
            job->layout.Quantities.push_back(SurfaceQuantity::Low);
            job->layout.Quantities.push_back(SurfaceQuantity::High);
        }
        if (biasCheck->isChecked()) job->layout.Quantities.push_back(SurfaceQuantity::Bias);
        job->fileName = askFileName ? askFileName() : QString();
        if (job->fileName.isEmpty()) {
            showError(QStringLiteral("No file name was given: the raster was not saved."));
            return false;
        }
    }
    job->displayed = *map_;
    job->settings = state_.settings();
    job->dataFolder = state_.dataFolderPath();
    job->database = state_.stationDatabase();
    job_ = job;

    RastellSave->setEnabled(false);
    LblLonLat->show();
    RastellBar->setRange(0, job->plan.Rows * job->plan.Columns);
    RastellBar->setValue(0);
    RastellBar->show();
    QApplication::setOverrideCursor(Qt::BusyCursor);
    watcher_ = new QFutureWatcher<void>(this);
    connect(watcher_, &QFutureWatcher<void>::finished, this, &RasterMapWindow::finishExport);
    watcher_->setFuture(QtConcurrent::run([job] {
        try {
            const int threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
            RasterCellEstimator estimator(job->settings, job->dataFolder, job->database, job->plan.Variable,
                                          job->plan.Period, threads);
            auto value = [&estimator, &job](int worker, double lon, double lat) {
                job->lon = lon;
                job->lat = lat;
                return estimator(worker, lon, lat);
            };
            if (!job->surface) {
                job->cells = computeRasterCells(job->plan, job->displayed, value, threads, &job->feedback);
                return;
            }
            const std::string name = job->fileName.toStdString();
            SurfaceGeoTiffWriter writer(name, job->grid, job->layout,
                                        surfaceMetadata(job->layout, job->settings, describeDataFolder(job->dataFolder)));
            const long long estimated = computeSurface(
                job->grid, {0, job->grid.Rows}, job->layout, job->displayed,
                [&estimator, &job](int worker, double lon, double lat) {
                    job->lon = lon;
                    job->lat = lat;
                    return estimator.estimateCell(worker, lon, lat);
                },
                threads, writer, &job->feedback);
            if (estimated >= 0) {
                writer.finish();
                job->written = true;
            }
        } catch (const std::exception& e) {
            job->error = QString::fromStdString(e.what());
        }
    }));
    progressTimer_->start();
    return true;
}

void RasterMapWindow::updateExportProgress() {
    if (!job_) return;
    RastellBar->setValue(static_cast<int>(job_->feedback.done()));
    LblLonLat->setText(QStringLiteral("Working on Lon: ") +
                       QString::fromStdString(formatPicture(static_cast<float>(job_->lon.load()), "###0.0###")) +
                       QStringLiteral(" - Lat: ") +
                       QString::fromStdString(formatPicture(static_cast<float>(job_->lat.load()), "###0.0###")));
}

void RasterMapWindow::cancelExport() {
    if (!job_) {
        exportPanel_->hide();
        fitSidePanel();
        setMode(Mode::None);
        return;
    }
    const auto job = job_;
    if (showMessage(this, kDefaultMessageTitle, QStringLiteral("Do you want abort Rastell Export ?"), QMessageBox::Question,
                    QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes)
        job->feedback.cancel();
}

void RasterMapWindow::finishExport() {
    progressTimer_->stop();
    updateExportProgress();
    const auto job = job_;
    QApplication::restoreOverrideCursor();
    QString written;
    if (!job->error.isEmpty()) {
        showError(job->error);
    } else if (job->written) {
        written = job->fileName;
        showMessage(this, kDefaultMessageTitle, QStringLiteral("Data Saved Correctly"), QMessageBox::Information);
    } else if (job->cells) {
        job->output.Cells = std::move(*job->cells);
        const QString name =
            askFileName ? withFilterExtension(askFileName(), QStringLiteral("Rastell (*.IMG)")) : QString();
        try {
            if (name.isEmpty()) throw Error("No file name was given: the raster was not saved.");
            writeImg(name.toStdString(), job->output);
            // Its colour table, boundaries and capitals, so that the map list offers it.
            writeExportCompanions(name.toStdString(), job->output, files_);
            written = name;
            refreshMapList();
            showMessage(this, kDefaultMessageTitle, QStringLiteral("Data Saved Correctly"), QMessageBox::Information);
        } catch (const std::exception& e) {
            showError(QString::fromStdString(e.what()));
        }
    }
    endExport();
    emit exportFinished(written);
}

void RasterMapWindow::endExport() {
    RastellBar->hide();
    LblLonLat->hide();
    RastellSave->setEnabled(true);
    job_.reset();
    if (watcher_) watcher_->deleteLater();
    watcher_ = nullptr;
    exportPanel_->hide();
    fitSidePanel();
    setMode(Mode::None);
}

ChildWindowProvider rasterMapWindowProvider() {
    ChildWindowProvider p;
    p.create = [](MainWindow& main) -> QWidget* {
        auto* window = new RasterMapWindow(main, mapFolder(main.state().dataFolder()));
        // Opening lists the maps and draws the first once the window has its size.
        QTimer::singleShot(0, window, &RasterMapWindow::openFirstMap);
        return window;
    };
    return p;
}

}  // namespace zentrel::gui
