// Painting of the workbench's graphs and regional map.
#include "workbench/workbench_views.h"

#include <algorithm>
#include <cmath>

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include "base/picture.h"
#include "shell/screen_number.h"

namespace zentrel::gui::workbench {

namespace {

using TickMaker = std::vector<AxisTick> (*)(double, double, int);

std::vector<AxisTick> valueTicks(double lo, double hi, int n) { return roundTicks(lo, hi, n); }
std::vector<AxisTick> altitudeTicks(double lo, double hi, int n) { return roundTicks(lo, hi, n, 1); }

// Ticks along a vertical axis of `length` pixels: two and a half text lines apart at least.
std::vector<AxisTick> verticalTicks(double lo, double hi, double length, const QFontMetricsF& fm, TickMaker make) {
    return make(lo, hi, std::max(2, static_cast<int>(length / (2.5 * fm.height())) + 1));
}

// Ticks along a horizontal axis of `length` pixels: as many as leave room between the labels.
std::vector<AxisTick> horizontalTicks(double lo, double hi, double length, const QFontMetricsF& fm, TickMaker make) {
    for (int n = std::max(2, static_cast<int>(length / 40)); n > 2; --n) {
        const std::vector<AxisTick> ticks = make(lo, hi, n);
        double widest = 0;
        for (const AxisTick& t : ticks) widest = std::max(widest, fm.horizontalAdvance(t.text));
        if ((widest + 3 * fm.averageCharWidth()) * static_cast<double>(ticks.size()) <= length) return ticks;
    }
    return make(lo, hi, 2);
}

// Room left of the plot for the upright value title and the widest value label.
double leftMargin(const std::vector<AxisTick>& ticks, const QFontMetricsF& fm) {
    double widest = 0;
    for (const AxisTick& t : ticks) widest = std::max(widest, fm.horizontalAdvance(t.text));
    return 8 + fm.height() + 8 + widest + 6;
}

void padRange(double& lo, double& hi) {
    if (!(hi > lo)) {
        lo -= 1;
        hi += 1;
    }
    const double pad = (hi - lo) * 0.08;
    lo -= pad;
    hi += pad;
}

// The frame of a graph: box, dotted grid lines with their tick labels, names between the x
// grid lines, the x title under them and the value title upright on the left.
void drawFrame(QPainter& p, const GraphFrame& f) {
    const QFontMetricsF fm(p.font());
    p.save();
    p.setBrush(Qt::NoBrush);
    for (const AxisTick& t : f.xTicks) {
        const double x = f.at(t.value, f.y0).x();
        p.setPen(QPen(QColor(200, 200, 200), 1, Qt::DotLine));
        p.drawLine(QPointF(x, f.area.top()), QPointF(x, f.area.bottom()));
        p.setPen(Qt::black);
        p.drawText(QPointF(x - fm.horizontalAdvance(t.text) / 2, f.area.bottom() + fm.height()), t.text);
    }
    for (const AxisTick& t : f.xBetween) {
        const double x = f.at(t.value, f.y0).x();
        p.drawText(QPointF(x - fm.horizontalAdvance(t.text) / 2, f.area.bottom() + fm.height()), t.text);
    }
    for (const AxisTick& t : f.yTicks) {
        const double y = f.at(f.x0, t.value).y();
        p.setPen(QPen(QColor(200, 200, 200), 1, Qt::DotLine));
        p.drawLine(QPointF(f.area.left(), y), QPointF(f.area.right(), y));
        p.setPen(Qt::black);
        p.drawText(QPointF(f.area.left() - fm.horizontalAdvance(t.text) - 6, y + (fm.ascent() - fm.descent()) / 2), t.text);
    }
    p.setPen(QPen(Qt::black, 1));
    p.drawRect(f.area);
    p.drawText(QPointF(f.area.center().x() - fm.horizontalAdvance(f.xTitle) / 2, f.area.bottom() + 2 * fm.height() + 4),
               f.xTitle);
    p.translate(8 + fm.ascent(), f.area.center().y() + fm.horizontalAdvance(f.yTitle) / 2);
    p.rotate(-90);
    p.drawText(QPointF(0, 0), f.yTitle);
    p.restore();
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

QString valueTitle(int variable, const char* period) {
    switch (variable) {
        case Temp: return QStringLiteral("Mean Temperature [\u00B0C]");
        case Tmax: return QStringLiteral("Maximum Temperature [\u00B0C]");
        case Tmin: return QStringLiteral("Minimum Temperature [\u00B0C]");
        case Prec: return QStringLiteral("Precipitation [mm/%1]").arg(QLatin1String(period));
        case PET: return QStringLiteral("Potential Evapotranspiration [mm/%1]").arg(QLatin1String(period));
        case Vap: return QStringLiteral("Water Vapor Pressure [hPa]");
        case Wind: return QStringLiteral("Wind Speed [m/s]");
        default: return QStringLiteral("Sunshine Fraction");
    }
}

AltitudeGraph::AltitudeGraph(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("picAltitude"));
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    setMouseTracking(true);
}

void AltitudeGraph::setData(const NeighbourSet& neighbours, const EstimateResult& result, int variable, int month) {
    ns_ = neighbours;
    res_ = result;
    variable_ = variable;
    month_ = month;
    const auto m = static_cast<size_t>(month);
    slope_ = QStringLiteral("Slope = ") + screenNumber(result.VertGrad[m] * 100, "####0.00").trimmed() +
             slopeUnit(variable) + QStringLiteral(" /100 m");
    variance_ = QStringLiteral("Explained Variance = ") +
                screenNumber(result.VertExplVar[m] * 100, "##0.0").trimmed() + QStringLiteral(" %");
    update();
}

GraphFrame AltitudeGraph::frame() const {
    const auto m = static_cast<size_t>(month_);
    double a0 = 1e9, a1 = -1e9, v0 = 1e9, v1 = -1e9;
    for (int i = 1; i <= ns_.NeighbourCount; ++i) {
        const Station& s = ns_[i];
        if (s.Alt == kUnknown) continue;
        a0 = std::min<double>(a0, s.Alt), a1 = std::max<double>(a1, s.Alt);
        v0 = std::min<double>(v0, s.Data[m]), v1 = std::max<double>(v1, s.Data[m]);
    }
    GraphFrame f;
    if (a0 > a1) return f;
    padRange(a0, a1);
    padRange(v0, v1);
    const QFontMetricsF fm(font());
    f.x0 = a0, f.x1 = a1, f.y0 = v0, f.y1 = v1;
    const double top = 10 + 2 * fm.height(), bottom = height() - 3 * fm.height() - 12;
    f.yTicks = verticalTicks(v0, v1, bottom - top, fm, valueTicks);
    const double left = leftMargin(f.yTicks, fm);
    f.area = QRectF(left, top, std::max(10.0, width() - left - 20), std::max(10.0, bottom - top));
    // The altitude ticks keep a decimal, as the station tables write altitudes.
    f.xTicks = horizontalTicks(a0, a1, f.area.width(), fm, altitudeTicks);
    f.xTitle = QStringLiteral("Altitude [m]");
    f.yTitle = valueTitle(variable_);
    return f;
}

std::vector<StationMark> AltitudeGraph::marks(const GraphFrame& f) const {
    std::vector<StationMark> marks;
    if (f.area.isEmpty()) return marks;
    const auto m = static_cast<size_t>(month_);
    const QFontMetricsF fm(font());
    std::vector<QPointF> centres;
    std::vector<QSizeF> sizes;
    for (int i = 1; i <= ns_.NeighbourCount; ++i) {
        const Station& s = ns_[i];
        if (s.Alt == kUnknown) continue;
        marks.push_back({i, f.at(s.Alt, s.Data[m]), {}});
        centres.push_back(marks.back().centre);
        sizes.emplace_back(fm.horizontalAdvance(QString::number(i)) + 2, fm.height());
    }
    // The station under the pointer first, then the active ones, then the others.
    std::vector<size_t> order(marks.size());
    for (size_t k = 0; k < order.size(); ++k) order[k] = k;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        const auto rank = [&](size_t k) {
            return marks[k].station == hovered_ ? 0 : ns_[marks[k].station].Active == 1 ? 1 : 2;
        };
        return rank(a) < rank(b);
    });
    const std::vector<QRectF> labels = placeLabels(centres, sizes, order, f.area, 4);
    for (size_t k = 0; k < marks.size(); ++k) marks[k].label = labels[k];
    return marks;
}

std::vector<StationMark> AltitudeGraph::marks() const { return marks(frame()); }

void AltitudeGraph::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const GraphFrame f = frame();
    if (f.area.isEmpty()) return;
    const auto m = static_cast<size_t>(month_);
    const QFontMetricsF fm(font());
    static const char* const months[] = {"January", "February", "March", "April", "May", "June", "July",
                                         "August", "September", "October", "November", "December"};
    p.drawText(QPointF(f.area.left(), fm.height()), QLatin1String(months[m - 1]) + QStringLiteral("    ") + slope_ +
                                                        QStringLiteral("    ") + variance_);
    drawFrame(p, f);
    p.setClipRect(f.area);
    double sa = 0, sv = 0;
    int n = 0;
    for (int i = 1; i <= ns_.NeighbourCount; ++i) {
        const Station& s = ns_[i];
        if (s.Alt != kUnknown && s.Active == 1) sa += s.Alt, sv += s.Data[m], ++n;
    }
    if (n > 0) {
        // The regression line runs through the mean of the active stations with an altitude.
        const double ma = sa / n, mv = sv / n, slope = res_.VertGrad[m];
        p.setPen(QPen(Qt::red, 2));
        p.drawLine(f.at(f.x0, mv + slope * (f.x0 - ma)), f.at(f.x1, mv + slope * (f.x1 - ma)));
    }
    for (const StationMark& mark : marks(f)) {
        const bool active = ns_[mark.station].Active == 1;
        p.setPen(QPen(active ? Qt::blue : Qt::gray, 1.5));
        p.setBrush(active ? QBrush(Qt::blue) : Qt::NoBrush);
        p.drawEllipse(mark.centre, 4, 4);
        if (mark.station == hovered_) {
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(mark.centre, 7, 7);
        }
        if (!mark.label.isNull()) p.drawText(mark.label, Qt::AlignCenter, QString::number(mark.station));
    }
}

void AltitudeGraph::mouseMoveEvent(QMouseEvent* event) {
    // The nearest marker within a few pixels of the pointer.
    int under = 0;
    double nearest = 7;
    for (const StationMark& mark : marks()) {
        const double distance = QLineF(mark.centre, event->position()).length();
        if (distance <= nearest) under = mark.station, nearest = distance;
    }
    if (under == hovered_) return;
    hovered_ = under;
    // The tool tip names the station whose number a crowd may hide.
    if (under > 0) {
        const Station& s = ns_[under];
        setToolTip(QStringLiteral("%1  %2: %3 m, %4")
                       .arg(under)
                       .arg(QString::fromStdString(s.Name).trimmed())
                       .arg(s.Alt, 0, 'f', 0)
                       .arg(screenNumber(s.Data[static_cast<size_t>(month_)], "###0.00").trimmed()));
    } else {
        setToolTip({});
    }
    update();
}

void AltitudeGraph::leaveEvent(QEvent*) {
    if (hovered_ == 0) return;
    hovered_ = 0;
    update();
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

namespace {
// The x step between two points of a threshold axis (1 for a single point).
double thresholdStep(const ResultSeries& s) {
    const int n = static_cast<int>(s.best.size());
    return n > 1 && s.xLast > s.xFirst ? (s.xLast - s.xFirst) / (n - 1) : 1;
}
}  // namespace

GraphFrame ResultsGraph::frame() const {
    const ResultSeries& s = series_;
    GraphFrame f;
    if (s.best.empty()) return f;
    const QFontMetricsF fm(font());
    const int n = static_cast<int>(s.best.size());
    f.y0 = s.minimum, f.y1 = s.maximum;
    const double top = 10, bottom = height() - 4 * fm.height() - 16;
    f.yTicks = verticalTicks(f.y0, f.y1, bottom - top, fm, s.dayCounts ? dayTicks : valueTicks);
    const double left = leftMargin(f.yTicks, fm);
    f.area = QRectF(left, top, std::max(10.0, width() - left - 20), std::max(10.0, bottom - top));
    if (s.monthAxis) {
        // Point i (1..n) at x = i; grid lines where the months start, their names between.
        f.x0 = 0.5, f.x1 = n + 0.5;
        std::vector<double> starts;
        for (int k = 0; k < 12; ++k)
            starts.push_back(n == 365 ? monthStartDays()[size_t(k)] - 0.5 : 0.5 + k * n / 12.0);
        starts.push_back(n + 0.5);
        for (int k = 0; k < 12; ++k) {
            f.xTicks.push_back({starts[size_t(k)], {}});
            f.xBetween.push_back({(starts[size_t(k)] + starts[size_t(k) + 1]) / 2, QLatin1String(kMonthAbbreviations[size_t(k)])});
        }
        f.xTicks.push_back({starts.back(), {}});
    } else {
        // Point i at its threshold; half a threshold step of room on either side.
        const double d = thresholdStep(s);
        f.x0 = s.xFirst - d / 2, f.x1 = s.xFirst + (n - 1) * d + d / 2;
        f.xTicks = horizontalTicks(f.x0, f.x1, f.area.width(), fm, valueTicks);
    }
    f.xTitle = s.xTitle;
    f.yTitle = s.yTitle;
    return f;
}

void ResultsGraph::paintEvent(QPaintEvent*) {
    const ResultSeries& s = series_;
    if (s.best.empty()) return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QFontMetricsF fm(font());
    const GraphFrame f = frame();
    const int n = static_cast<int>(s.best.size());
    const double d = thresholdStep(s);
    const auto xOf = [&](int i) { return s.monthAxis ? i + 1.0 : s.xFirst + i * d; };
    drawFrame(p, f);
    p.setClipRect(f.area);
    const bool bounds = !s.low.empty();
    if (bounds && s.area) {
        QPolygonF band;
        for (int i = 0; i < n; ++i) band << f.at(xOf(i), s.high[size_t(i)]);
        for (int i = n - 1; i >= 0; --i) band << f.at(xOf(i), s.low[size_t(i)]);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 120, 120));
        p.drawPolygon(band);
    }
    auto line = [&](const std::vector<float>& v, const QPen& pen) {
        QPolygonF poly;
        for (int i = 0; i < n; ++i) poly << f.at(xOf(i), v[size_t(i)]);
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
    const double y = f.area.bottom() + 3 * fm.height() + 8;
    p.drawText(QPointF(f.area.left(), y), s.legendLine);
    if (bounds) p.drawText(QPointF(f.area.left() + f.area.width() / 2, y), s.legendInterval);
}

}  // namespace zentrel::gui::workbench
