// Painting of the workbench's graphs and regional map.
#include "workbench/workbench_views.h"

#include <algorithm>
#include <cmath>

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include "shell/screen_number.h"
#include "formats/picture.h"

namespace zentrel::gui::workbench {

namespace {

// A plotting frame: value ranges mapped into the widget with room for the axis labels.
struct Plot {
    QRectF area;
    double x0, x1, y0, y1;
    QPointF at(double x, double y) const {
        return {area.left() + (x - x0) / (x1 - x0) * area.width(), area.bottom() - (y - y0) / (y1 - y0) * area.height()};
    }
};

void niceRange(double& lo, double& hi) {
    if (!(hi > lo)) {
        lo -= 1;
        hi += 1;
    }
    const double pad = (hi - lo) * 0.08;
    lo -= pad;
    hi += pad;
}

// Axes with five ticks each, labelled by the patterns given.
void drawAxes(QPainter& p, const Plot& plot, const char* xPattern, const char* yPattern, const QString& xTitle) {
    p.setPen(QPen(Qt::black, 1));
    p.drawRect(plot.area);
    const QFontMetrics fm(p.font());
    for (int k = 0; k <= 5; ++k) {
        const double x = plot.x0 + (plot.x1 - plot.x0) * k / 5, y = plot.y0 + (plot.y1 - plot.y0) * k / 5;
        const QPointF px = plot.at(x, plot.y0), py = plot.at(plot.x0, y);
        p.setPen(QPen(QColor(210, 210, 210), 1, Qt::DotLine));
        p.drawLine(QPointF(px.x(), plot.area.top()), px);
        p.drawLine(py, QPointF(plot.area.right(), py.y()));
        p.setPen(Qt::black);
        if (xPattern) {
            const QString t = screenNumber(x, xPattern).trimmed();
            p.drawText(QPointF(px.x() - fm.horizontalAdvance(t) / 2.0, plot.area.bottom() + fm.height()), t);
        }
        const QString t = screenNumber(y, yPattern).trimmed();
        p.drawText(QPointF(plot.area.left() - fm.horizontalAdvance(t) - 4, py.y() + fm.ascent() / 2.0), t);
    }
    if (!xTitle.isEmpty())
        p.drawText(QPointF(plot.area.center().x() - fm.horizontalAdvance(xTitle) / 2.0, plot.area.bottom() + 2 * fm.height() + 2),
                   xTitle);
}

QString slopeUnit(int variable) {
    switch (variable) {
        case Temp: case Tmax: case Tmin: return QStringLiteral(" \u00B0C");
        case Prec: case PET: return QStringLiteral(" mm/Month");
        case Vap: return QStringLiteral(" hPa");
        case Wind: return QStringLiteral(" m/s");
        default: return {};
    }
}

}  // namespace

AltitudeGraph::AltitudeGraph(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("picAltitude"));
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
}

void AltitudeGraph::setData(const NeighbourSet& neighbours, const EstimateResult& result, int variable, int month) {
    ns_ = neighbours;
    res_ = result;
    month_ = month;
    const auto m = static_cast<size_t>(month);
    slope_ = QStringLiteral("Slope = ") + screenNumber(result.VertGrad[m] * 100, "####0.00").trimmed() +
             slopeUnit(variable) + QStringLiteral(" /100 m");
    variance_ = QStringLiteral("Explained Variance = ") +
                screenNumber(result.VertExplVar[m] * 100, "##0.0").trimmed() + QStringLiteral(" %");
    update();
}

void AltitudeGraph::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const auto m = static_cast<size_t>(month_);
    double a0 = 1e9, a1 = -1e9, v0 = 1e9, v1 = -1e9;
    double sa = 0, sv = 0;
    int n = 0;
    for (int i = 1; i <= ns_.NeighbourCount; ++i) {
        const Station& s = ns_[i];
        if (s.Alt == kUnknown) continue;
        a0 = std::min<double>(a0, s.Alt), a1 = std::max<double>(a1, s.Alt);
        v0 = std::min<double>(v0, s.Data[m]), v1 = std::max<double>(v1, s.Data[m]);
        if (s.Active == 1) sa += s.Alt, sv += s.Data[m], ++n;
    }
    if (a0 > a1) return;
    niceRange(a0, a1);
    niceRange(v0, v1);
    const QFontMetrics fm(font());
    Plot plot{QRectF(70, 10 + 2 * fm.height(), width() - 90, height() - 4 * fm.height() - 30), a0, a1, v0, v1};
    static const char* const months[] = {"January", "February", "March", "April", "May", "June", "July",
                                         "August", "September", "October", "November", "December"};
    p.drawText(QPointF(plot.area.left(), fm.height()), QLatin1String(months[m - 1]) + QStringLiteral("    ") + slope_ +
                                                            QStringLiteral("    ") + variance_);
    drawAxes(p, plot, (a1 - a0) < 5 ? "####.00" : "####.0", "###0.00", QStringLiteral("Altitude"));
    p.setClipRect(plot.area);
    if (n > 0) {
        // The regression line runs through the mean of the active stations with an altitude.
        const double ma = sa / n, mv = sv / n, slope = res_.VertGrad[m];
        p.setPen(QPen(Qt::red, 2));
        p.drawLine(plot.at(a0, mv + slope * (a0 - ma)), plot.at(a1, mv + slope * (a1 - ma)));
    }
    for (int i = 1; i <= ns_.NeighbourCount; ++i) {
        const Station& s = ns_[i];
        if (s.Alt == kUnknown) continue;
        const QPointF c = plot.at(s.Alt, s.Data[m]);
        p.setPen(QPen(s.Active == 1 ? Qt::blue : Qt::gray, 1.5));
        p.setBrush(s.Active == 1 ? QBrush(Qt::blue) : Qt::NoBrush);
        p.drawEllipse(c, 4, 4);
        p.drawText(c + QPointF(6, -4), QString::number(i));
    }
}

RegionalMap::RegionalMap(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("picMapStation"));
    setMouseTracking(true);
}

void RegionalMap::setMap(const MapFrame& frame, QImage terrain, std::vector<MapOffset> neighbours, std::vector<bool> active) {
    frame_ = frame;
    terrain_ = std::move(terrain);
    neighbours_ = std::move(neighbours);
    active_ = std::move(active);
    update();
}

// The map keeps the shape of its coordinate system, centred in the widget.
QRectF RegionalMap::viewport() const {
    const double w = frame_.right - frame_.left, h = frame_.top - frame_.bottom;
    if (!(w > 0) || !(h > 0)) return rect();
    const double scale = std::min(width() / w, height() / h);
    return {(width() - w * scale) / 2, (height() - h * scale) / 2, w * scale, h * scale};
}

QPointF RegionalMap::toPixel(float dx, float dy) const {
    const QRectF v = viewport();
    return {v.left() + (dx - frame_.left) / (frame_.right - frame_.left) * v.width(),
            v.top() + (frame_.top - dy) / (frame_.top - frame_.bottom) * v.height()};
}

MapOffset RegionalMap::toMap(QPointF pixel) const {
    const QRectF v = viewport();
    return {static_cast<float>(frame_.left + (pixel.x() - v.left()) / v.width() * (frame_.right - frame_.left)),
            static_cast<float>(frame_.top - (pixel.y() - v.top()) / v.height() * (frame_.top - frame_.bottom))};
}

void RegionalMap::paintEvent(QPaintEvent*) {
    if (frame_.right <= frame_.left) return;
    QPainter p(this);
    p.fillRect(viewport(), Qt::white);
    const QRectF box(toPixel(frame_.west, frame_.north), toPixel(frame_.east, frame_.south));
    p.drawImage(box, terrain_);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(box);
    p.setRenderHint(QPainter::Antialiasing);
    for (size_t i = 0; i < neighbours_.size(); ++i) {
        const QPointF c = toPixel(neighbours_[i].dx, neighbours_[i].dy);
        const bool on = i < active_.size() && active_[i];
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(on ? QBrush(Qt::yellow) : QBrush(Qt::white));
        p.drawRect(QRectF(c.x() - 4, c.y() - 4, 8, 8));
        p.drawText(c + QPointF(6, -5), QString::number(i + 1));
    }
    const QPointF o = toPixel(0, 0);
    p.setPen(QPen(Qt::red, 2));
    p.drawLine(o + QPointF(-8, 0), o + QPointF(8, 0));
    p.drawLine(o + QPointF(0, -8), o + QPointF(0, 8));
}

void RegionalMap::mouseMoveEvent(QMouseEvent* event) {
    const MapOffset o = toMap(event->position());
    emit pointerMoved(o.dx, o.dy);
}

void RegionalMap::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::RightButton) return;  // the left button does nothing
    const MapOffset o = toMap(event->position());
    emit rightReleased(o.dx, o.dy);
}

MapLegend::MapLegend(QWidget* parent) : QWidget(parent) { setObjectName(QStringLiteral("picLegend")); }

void MapLegend::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QFont heading(QStringLiteral("Arial"));
    heading.setBold(true);
    p.setFont(heading);
    const int row = std::max(12, (height() - 24) / kAltitudeClassCount);
    p.drawText(QPointF(4, 16), QStringLiteral(" Altitude"));
    p.setFont(font());
    for (int k = 0; k < kAltitudeClassCount; ++k) {
        const double y = 24 + k * row;
        p.setPen(Qt::black);
        p.setBrush(QColor(kAltitudeClasses[static_cast<size_t>(k)].colour));
        p.drawRect(QRectF(6, y + 1, 22, row - 3));
        p.drawText(QPointF(30, y + row - 3), QLatin1String(kAltitudeClasses[static_cast<size_t>(k)].label));
    }
}

ResultsGraph::ResultsGraph(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("picResults"));
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
}

void ResultsGraph::setSeries(ResultSeries series) {
    series_ = std::move(series);
    update();
}

void ResultsGraph::paintEvent(QPaintEvent*) {
    const ResultSeries& s = series_;
    if (s.best.empty()) return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QFontMetrics fm(font());
    const int n = static_cast<int>(s.best.size());
    Plot plot{QRectF(70, 10, width() - 90, height() - 3 * fm.height() - 24), 0.5, n + 0.5, s.minimum, s.maximum};
    drawAxes(p, plot, nullptr, "###0.00", {});
    p.setClipRect(plot.area);
    const bool bounds = !s.low.empty();
    if (bounds && s.area) {
        QPolygonF band;
        for (int i = 0; i < n; ++i) band << plot.at(i + 1, s.high[size_t(i)]);
        for (int i = n - 1; i >= 0; --i) band << plot.at(i + 1, s.low[size_t(i)]);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 120, 120));
        p.drawPolygon(band);
    }
    auto line = [&](const std::vector<float>& v, const QPen& pen) {
        QPolygonF poly;
        for (int i = 0; i < n; ++i) poly << plot.at(i + 1, v[size_t(i)]);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(poly);
    };
    if (bounds && !s.area) {
        line(s.low, QPen(Qt::red, 1));
        line(s.high, QPen(Qt::red, 1));
    }
    line(s.best, QPen(Qt::black, 2));
    p.setClipping(false);
    // Month labels under the axis (months are 1, 3 or about 30 points wide).
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    for (int k = 0; k < (s.monthAxis ? 12 : 0); ++k) {
        const double x = 0.5 + (k + 0.5) * n / 12.0;
        const QPointF at = plot.at(x, s.minimum);
        p.drawText(QPointF(at.x() - fm.horizontalAdvance(QLatin1String(months[k])) / 2.0, at.y() + fm.height()),
                   QLatin1String(months[k]));
    }
    for (int k = 0; k <= (s.monthAxis ? -1 : 4); ++k) {
        const QString t = screenNumber(s.xFirst + (s.xLast - s.xFirst) * k / 4, "###0.00").trimmed();
        const QPointF at = plot.at(1 + (n - 1) * k / 4.0, s.minimum);
        p.drawText(QPointF(at.x() - fm.horizontalAdvance(t) / 2.0, at.y() + fm.height()), t);
    }
    const double y = plot.area.bottom() + 2 * fm.height() + 6;
    p.drawText(QPointF(plot.area.left(), y), s.legendLine);
    if (bounds) p.drawText(QPointF(plot.area.left() + plot.area.width() / 2, y), s.legendInterval);
}

}  // namespace zentrel::gui::workbench
