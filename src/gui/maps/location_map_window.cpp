// frmMap: the world bitmap, its layers, zoom, scrolling and the location frame.
#include "maps/location_map_window.h"

#include <QActionGroup>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>

#include "data/terrain.h"
#include "locations/location_rules.h"
#include "maps/map_view.h"
#include "shell/main_window.h"
#include "shell/message_box.h"

namespace zentrel::gui {

std::shared_ptr<WorldMapLayers> WorldMapLayers::load(const QString& dataFolder) {
    auto layers = std::make_shared<WorldMapLayers>();
    const std::string folder = dataFolder.toStdString();
    try {
        layers->bitmap = toQImage(readBmp24(folder + "/woma.bmp"));
    } catch (const std::exception& e) {
        layers->error = QString::fromStdString(e.what());
        layers->bitmap = QImage(2160, 1080, QImage::Format_RGB888);
        layers->bitmap.fill(Qt::lightGray);
    }
    const int w = layers->bitmap.width(), h = layers->bitmap.height();
    try {
        layers->boundaries = CaricaConfini(folder, w, h);
        layers->capitals = CaricaCapitali(folder, w, h);
    } catch (const std::exception& e) {
        if (layers->error.isEmpty()) layers->error = QString::fromStdString(e.what());
    }
    return layers;
}

/// The visible part of the drawing surface, copied scaled in one operation.
class LocationMapViewport : public QWidget {
public:
    explicit LocationMapViewport(LocationMapWindow& window) : QWidget(&window), w_(window) {
        setMouseTracking(true);
        setMinimumSize(200, 150);
        setObjectName(QStringLiteral("Picture1"));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), palette().color(QPalette::Dark));
        const double f = w_.zoomFactor();
        const double sx = w_.HScroll1->value(), sy = w_.VScroll1->value();
        const double vw = std::min<double>(width(), w_.surface_.width() * f - sx);
        const double vh = std::min<double>(height(), w_.surface_.height() * f - sy);
        p.drawImage(QRectF(0, 0, vw, vh), w_.surface_, QRectF(sx / f, sy / f, vw / f, vh / f));
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        double lon = 0, lat = 0;
        QString text;
        w_.positionAt(e->position().toPoint(), lon, lat, &text);
        w_.showStatus(text);
        if (dragging_ && (e->buttons() & Qt::LeftButton)) {
            const QPoint d = e->position().toPoint() - last_;
            w_.HScroll1->setValue(w_.HScroll1->value() - d.x());
            w_.VScroll1->setValue(w_.VScroll1->value() - d.y());
            last_ = e->position().toPoint();
        }
    }
    void mousePressEvent(QMouseEvent* e) override {
        const QPoint at = e->position().toPoint();
        switch (w_.tool()) {
            case LocationMapWindow::Tool::PointZoom: w_.ImpostaZoomPunto(at, e->button() != Qt::RightButton); break;
            case LocationMapWindow::Tool::DragImage:
                dragging_ = true;
                last_ = at;
                setCursor(Qt::ClosedHandCursor);
                break;
            case LocationMapWindow::Tool::SelectPoint:
                if (e->button() == Qt::LeftButton) w_.selectPoint(at);
                break;
        }
    }
    void resizeEvent(QResizeEvent* e) override {
        // The bitmap point that was in the middle of the view stays there.
        const double f = w_.zoomFactor();
        const QSize old = e->oldSize().isValid() ? e->oldSize() : e->size();
        const QPointF centre((w_.HScroll1->value() + old.width() / 2.0) / f, (w_.VScroll1->value() + old.height() / 2.0) / f);
        w_.AggiornaScrollBar();
        if (w_.centredOnce_) w_.centreOnBitmapPoint(centre);
    }
    void mouseReleaseEvent(QMouseEvent*) override {
        dragging_ = false;
        unsetCursor();
    }

private:
    LocationMapWindow& w_;
    bool dragging_ = false;
    QPoint last_;
};

LocationMapWindow::LocationMapWindow(MainWindow& main, std::shared_ptr<WorldMapLayers> layers, QWidget* parent)
    : QWidget(parent), main_(main), state_(main.state()), layers_(std::move(layers)) {
    setObjectName(QStringLiteral("frmMap"));
    setWindowTitle(QStringLiteral("Bitmap"));
    view_ = new LocationMapViewport(*this);
    HScroll1 = new QScrollBar(Qt::Horizontal, this);
    VScroll1 = new QScrollBar(Qt::Vertical, this);
    HScroll1->setObjectName(QStringLiteral("HScroll1"));
    VScroll1->setObjectName(QStringLiteral("VScroll1"));
    connect(HScroll1, &QScrollBar::valueChanged, view_, qOverload<>(&QWidget::update));
    connect(VScroll1, &QScrollBar::valueChanged, view_, qOverload<>(&QWidget::update));
    createToolBar();
    createLocationFrame();
    statusBar_ = new QStatusBar(this);
    statusBar_->setSizeGripEnabled(false);

    auto* grid = new QGridLayout;
    grid->setSpacing(0);
    grid->addWidget(view_, 0, 0);
    grid->addWidget(VScroll1, 0, 1);
    grid->addWidget(HScroll1, 1, 0);
    auto* middle = new QHBoxLayout;
    middle->addLayout(grid, 1);
    middle->addWidget(frame_, 0, Qt::AlignTop);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(toolBar_);
    layout->addLayout(middle, 1);
    layout->addWidget(statusBar_);

    // Loading: the bitmap with boundaries and capitals and the current location's marker, at
    // 1:1; the first showing centres the view on the current location.
    const Location& current = state_.currentLocation();
    rebuildSurface(true, current.Lon, current.Lat);
    ImpostaZoom(1);
    resize(980, 620);
    setMinimumSize(560, 380);
    if (!layers_->error.isEmpty())
        showMessage(this, kDefaultMessageTitle, layers_->error, QMessageBox::Critical);
}

void LocationMapWindow::createToolBar() {
    toolBar_ = new QToolBar(this);
    toolBar_->setObjectName(QStringLiteral("Toolbar1"));
    toolBar_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    auto dropDown = [this](const char* key, const QString& caption, bool in) {
        auto* menu = new QMenu(this);
        for (int n = 1; n <= 16; ++n) {
            const int step = n == 1 ? 1 : (in ? n : -n);
            const QString text = n == 1 ? QStringLiteral("1:1") : in ? QStringLiteral("%1:1").arg(n) : QStringLiteral("1:%1").arg(n);
            menu->addAction(text, this, [this, step] { ImpostaZoom(step); });
        }
        auto* button = new QToolButton(toolBar_);
        button->setObjectName(QLatin1String(key));
        button->setText(caption);
        button->setToolTip(caption);
        button->setMenu(menu);
        button->setPopupMode(QToolButton::InstantPopup);
        toolBar_->addWidget(button);
    };
    dropDown("b1", QStringLiteral("Zoom In"), true);
    dropDown("b2", QStringLiteral("Zoom Out"), false);
    toolBar_->addSeparator();
    tools_ = new QActionGroup(this);
    auto tool = [this](const char* key, const QString& caption, Tool t) {
        QAction* a = toolBar_->addAction(caption, this, [this, t] { setTool(t); });
        a->setObjectName(QLatin1String(key));
        a->setToolTip(caption);
        a->setCheckable(true);
        a->setChecked(t == tool_);
        tools_->addAction(a);
    };
    tool("b4", QStringLiteral("Point Zoom"), Tool::PointZoom);
    tool("b5", QStringLiteral("Drag Image"), Tool::DragImage);
    tool("b6", QStringLiteral("Select Point"), Tool::SelectPoint);
}

void LocationMapWindow::createLocationFrame() {
    auto* box = new QGroupBox(QStringLiteral("Location"), this);
    frame_ = box;
    auto edit = [box](const char* name, const QString& tip) {
        auto* e = new QLineEdit(box);
        e->setObjectName(QLatin1String(name));
        e->setToolTip(tip);
        e->setMaximumWidth(150);
        return e;
    };
    txtlong = edit("txtlong", QStringLiteral("Give Longitude as a decimal number"));
    txtLat = edit("txtLat", QStringLiteral("Give Latitude as a decimal number"));
    txtElev = edit("txtElev", QString());
    Text2 = edit("Text2", QStringLiteral("Station Name"));
    const Location& current = state_.currentLocation();
    txtlong->setText(QString::number(current.Lon));
    txtLat->setText(QString::number(current.Lat));
    txtElev->setText(QString::number(current.Alt));
    Text2->setText(QString::fromStdString(current.Name));
    cmdRun = new QPushButton(QStringLiteral("Set Location"), box);
    CmdSave = new QPushButton(QStringLiteral("Save Data"), box);
    cmdRun->setObjectName(QStringLiteral("cmdRun"));
    CmdSave->setObjectName(QStringLiteral("CmdSave"));
    connect(cmdRun, &QPushButton::clicked, this, [this] { setLocation(); });
    connect(CmdSave, &QPushButton::clicked, this, [this] { saveData(); });
    auto* form = new QGridLayout(box);
    int row = 0;
    for (auto [label, e] : {std::pair{"Longitude", txtlong}, {"Latitude", txtLat}, {"Elevation (m)", txtElev},
                            {"Station Name", Text2}}) {
        form->addWidget(new QLabel(QLatin1String(label), box), row, 0);
        form->addWidget(e, row++, 1);
    }
    form->addWidget(cmdRun, row, 0, 1, 2);
    form->addWidget(CmdSave, row + 1, 0, 1, 2);
}

double LocationMapWindow::zoomFactor() const { return mapZoom_ >= 1 ? mapZoom_ : 1.0 / -mapZoom_; }

QWidget* LocationMapWindow::viewport() const { return view_; }

QString LocationMapWindow::statusText() const { return statusBar_->currentMessage(); }

void LocationMapWindow::showStatus(const QString& text) { statusBar_->showMessage(text); }

void LocationMapWindow::setTool(Tool tool) {
    tool_ = tool;
    const char* key = tool == Tool::PointZoom ? "b4" : tool == Tool::DragImage ? "b5" : "b6";
    for (QAction* a : tools_->actions()) a->setChecked(a->objectName() == QLatin1String(key));
    view_->setCursor(tool == Tool::DragImage ? Qt::OpenHandCursor : tool == Tool::PointZoom ? Qt::CrossCursor : Qt::ArrowCursor);
}

void LocationMapWindow::ImpostaZoom(int n) {
    if (n == 0 || n == -1) n = 1;
    // The bitmap point in the middle of the view stays there at the new scale.
    const QPointF centre = viewCentre();
    mapZoom_ = std::clamp(n, -16, 16);
    AggiornaScrollBar();
    centreOnBitmapPoint(centre);
    view_->update();
}

QPointF LocationMapWindow::viewCentre() const {
    const double f = zoomFactor();
    return {(HScroll1->value() + view_->width() / 2.0) / f, (VScroll1->value() + view_->height() / 2.0) / f};
}

void LocationMapWindow::centreOnBitmapPoint(QPointF bitmapPoint) {
    const double f = zoomFactor();
    HScroll1->setValue(static_cast<int>(std::lround(bitmapPoint.x() * f - view_->width() / 2.0)));
    VScroll1->setValue(static_cast<int>(std::lround(bitmapPoint.y() * f - view_->height() / 2.0)));
}

void LocationMapWindow::centreOn(double lon, double lat) {
    centreOnBitmapPoint(QPointF((lon + 180) / 360 * surface_.width(), std::fabs((lat - 90) / 180 * surface_.height())));
}

void LocationMapWindow::ImpostaZoomPunto(QPoint at, bool zoomIn) {
    const double f = zoomFactor();
    const double xb = (at.x() + HScroll1->value()) / f, yb = (at.y() + VScroll1->value()) / f;
    int n = mapZoom_;
    if (zoomIn) n = n == -2 ? 1 : n + 1;
    else n = n == 1 ? -2 : n - 1;
    ImpostaZoom(std::clamp(n, -16, 16));
    // The clicked bitmap point stays under the pointer where the scroll range allows.
    const double g = zoomFactor();
    HScroll1->setValue(static_cast<int>(std::lround(xb * g - at.x())));
    VScroll1->setValue(static_cast<int>(std::lround(yb * g - at.y())));
    showStatus(QStringLiteral("SCALA ") + (mapZoom_ >= 1 ? QStringLiteral("%1:1").arg(mapZoom_) : QStringLiteral("1:%1").arg(-mapZoom_)));
}

void LocationMapWindow::AggiornaScrollBar() {
    const double f = zoomFactor();
    const int w = static_cast<int>(std::ceil(surface_.width() * f)), h = static_cast<int>(std::ceil(surface_.height() * f));
    HScroll1->setRange(0, std::max(0, w - view_->width()));
    VScroll1->setRange(0, std::max(0, h - view_->height()));
    HScroll1->setPageStep(std::max(1, view_->width()));
    VScroll1->setPageStep(std::max(1, view_->height()));
    HScroll1->setSingleStep(16);
    VScroll1->setSingleStep(16);
}

void LocationMapWindow::MiaResize() { AggiornaScrollBar(); }

void LocationMapWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    MiaResize();
    if (!centredOnce_) {
        // The viewport has its size only once the layout ran.
        if (layout()) layout()->activate();
        AggiornaScrollBar();
        const Location& current = state_.currentLocation();
        centreOn(current.Lon, current.Lat);
        centredOnce_ = true;
    }
}

void LocationMapWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    MiaResize();
}

bool LocationMapWindow::positionAt(QPoint at, double& lon, double& lat, QString* statusText) const {
    const double f = zoomFactor();
    const double xb = (at.x() + HScroll1->value()) / f, yb = (at.y() + VScroll1->value()) / f;
    const int w = surface_.width(), h = surface_.height();
    if (xb < 0 || xb > w) {
        if (statusText) *statusText = QStringLiteral("X OUT");
        return false;
    }
    if (yb < 0 || yb > h) {
        if (statusText) *statusText = QStringLiteral("Y OUT");
        return false;
    }
    lon = xb / w * 360 - 180;
    lat = 90 - yb / h * 180;
    if (statusText) *statusText = dmsStatusText(lon, lat);
    return true;
}

QPointF LocationMapWindow::viewportPointOf(double lon, double lat) const {
    const double f = zoomFactor();
    const double xb = (lon + 180) / 360 * surface_.width(), yb = std::fabs((lat - 90) / 180 * surface_.height());
    return {xb * f - HScroll1->value(), yb * f - VScroll1->value()};
}

void LocationMapWindow::selectPoint(QPoint at) {
    double lon = 0, lat = 0;
    if (!positionAt(at, lon, lat)) return;
    int16_t isSea = 0;
    int16_t alt = 0;
    try {
        alt = TerrainAltitude(state_.dataFolderPath(), static_cast<float>(lon), static_cast<float>(lat), isSea);
    } catch (const std::exception& e) {
        showMessage(this, kDefaultMessageTitle, QString::fromStdString(e.what()), QMessageBox::Critical);
    }
    txtlong->setText(QString::number(lon, 'f', 2));
    txtLat->setText(QString::number(lat, 'f', 2));
    txtElev->setText(QString::number(alt));
    // The name in the box describes the previous place; left empty, "Set Location" generates
    // one from the new position. The user may still type a name before setting it.
    Text2->clear();
    rebuildSurface(true, lon, lat);
}

void LocationMapWindow::rebuildSurface(bool marker, double lon, double lat) {
    // `DisegnaConfini`, `DisegnaCapitali` and `DisegnaPuntoSelezionato` on a fresh copy of the bitmap.
    surface_ = layers_->bitmap.copy();
    QPainter p(&surface_);
    p.setPen(QColor(0xFF, 0xFF, 0xFF));
    for (const Shape& s : layers_->boundaries)
        for (size_t k = 1; k < s.Points.size(); ++k)
            p.drawLine(QPointF(s.Points[k - 1].x, s.Points[k - 1].y), QPointF(s.Points[k].x, s.Points[k].y));
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::black);
    for (const Shape& s : layers_->capitals)
        for (const PixelPoint& c : s.Points) p.drawEllipse(QPointF(c.x, c.y), 2, 2);
    if (marker) {
        const QPointF at((lon + 180) / 360 * surface_.width(), std::fabs((lat - 90) / 180 * surface_.height()));
        p.setPen(QPen(Qt::red, 2));
        p.drawLine(at - QPointF(6, 0), at + QPointF(6, 0));
        p.drawLine(at - QPointF(0, 6), at + QPointF(0, 6));
        p.drawEllipse(at, 4, 4);
    }
    p.end();
    view_->update();
}

bool LocationMapWindow::setLocation() {
    const float lon = readCoordinate(txtlong->text(), true);
    const float lat = readCoordinate(txtLat->text(), true);
    if (isPolar(lat))
        showMessage(this, QStringLiteral(" Polar Region"),
                    QStringLiteral("Please note that the specified point lies in the polar region."),
                    QMessageBox::Information);
    if (!latitudeInRange(lat)) {
        showMessage(this, kStrangeLocationTitle, kLatitudeRangeText, QMessageBox::Critical);
        return false;
    }
    Location location{Text2->text().toStdString(), lon, lat, readCoordinate(txtElev->text(), true)};
    state_.markStale();
    main_.WriteStatusLocation(location);
    rebuildSurface(true, location.Lon, location.Lat);
    return true;
}

bool LocationMapWindow::saveData() {
    if (!setLocation()) return false;
    main_.childWindows().open(ChildWindow::EstimateOutput, OpenMode::Save);
    return true;
}

ChildWindowProvider locationMapWindowProvider() {
    auto layers = std::make_shared<std::shared_ptr<WorldMapLayers>>();
    ChildWindowProvider p;
    p.preload = [layers](MainWindow& main) { *layers = WorldMapLayers::load(main.state().dataFolder()); };
    p.create = [layers](MainWindow& main) -> QWidget* {
        if (!*layers) *layers = WorldMapLayers::load(main.state().dataFolder());
        return new LocationMapWindow(main, *layers);
    };
    return p;
}

}  // namespace zentrel::gui
