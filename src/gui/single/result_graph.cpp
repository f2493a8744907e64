// Result graph painting, shared by screen, printer and image export.
#include "single/result_graph.h"

#include <algorithm>
#include <cmath>

#include <QContextMenuEvent>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPrintDialog>
#include <QPrinter>

#include "base/picture.h"
#include "formats/estimate_reach.h"
#include "formats/shown_values.h"
#include "shell/save_dialog.h"
#include "shell/screen_number.h"
#include "single/result_groups.h"

namespace zentrel::gui::single {

GraphCurve screenCurve(int variable, const EstimateResult& result, int colour, bool shared) {
    GraphCurve curve{result, colour, false, variable != Temp && variable != Tmax && variable != Tmin};
    if (variable == Wind) {
        // The estimate is in m/s; the graph's legend says km/h.
        for (size_t m = 0; m < curve.result.Best.size(); ++m) {
            curve.result.Best[m] *= 3.6f;
            curve.result.StdErr[m] *= 3.6f;
        }
    }
    if (variable == Sun && shared) curve.rightAxis = true;
    return curve;
}

GraphCurve screenCurve(const VariableResult& r, int colour, bool shared) {
    GraphCurve curve = screenCurve(r.variable, r.result, colour, shared);
    curve.extrapolated = estimateReach(r).extrapolated;
    const float scale = r.variable == Wind ? 3.6f : 1.0f;
    for (int m = 1; m <= 12; ++m) {
        const size_t i = static_cast<size_t>(m);
        curve.low[i] = shownValue(r, ShownQuantity::Low, m, 1.645f) * scale;
        curve.high[i] = shownValue(r, ShownQuantity::High, m, 1.645f) * scale;
        if (std::isfinite(curve.low[i]) && std::isfinite(curve.high[i])) curve.hasInterval = true;
    }
    return curve;
}

void paintResultGraph(QPainter& painter, const QRectF& area, const std::vector<GraphCurve>& curves,
                      const GraphAxis& axis, const GraphAxis* rightScale) {
    const double left = -2, right = 12.5;
    const double top = axis.maximum + 2 * axis.step, bottom = axis.minimum - 2 * axis.step;
    const auto px = [&](double x) { return area.left() + (x - left) / (right - left) * area.width(); };
    const auto py = [&](double y) { return area.top() + (top - y) / (top - bottom) * area.height(); };
    // One "line unit" of about 1/400 of the smaller side: 1.5 px on screen, visible on paper.
    const double unit = std::max(1.0, std::min(area.width(), area.height()) / 400.0);

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.fillRect(area, Qt::white);
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    // By the smaller of height and width: a tall, narrow (tiled) window keeps its labels in scale.
    font.setPixelSize(std::max(8, static_cast<int>(std::lround(std::min(area.height() / 32, area.width() / 60)))));
    painter.setFont(font);
    const QFontMetricsF metrics(font, painter.device());

    painter.setPen(QPen(consoleColour(4), unit));
    for (int k = 0; k <= 10; ++k) {
        const double value = axis.minimum + k * axis.step;
        const double y = py(value);
        painter.drawLine(QPointF(px(-0.2), y), QPointF(px(12), y));
        // The label is written from about x = -0.8 and ends before the line starts.
        QString label = QString::fromStdString(formatPicture(static_cast<float>(value), "####.0"));
        // The pattern drops the zero before the point: 0 would read ".0", 0.4 ".4".
        const qsizetype point = label.indexOf(QLatin1Char('.'));
        if (point == 0 || (point == 1 && label[0] == QLatin1Char('-'))) label.insert(point, QLatin1Char('0'));
        const QRectF box(px(-2), y - metrics.height() / 2, px(-0.25) - px(-2), metrics.height());
        painter.drawText(box, Qt::AlignRight | Qt::AlignVCenter, label);
    }
    // The right-hand scale: the same grid lines, labelled in the right curve's colour.
    const auto toLeft = [&](double v) {
        if (!rightScale || rightScale->maximum == rightScale->minimum) return v;
        return axis.minimum + (v - rightScale->minimum) / (rightScale->maximum - rightScale->minimum) *
                                  (axis.maximum - axis.minimum);
    };
    if (rightScale) {
        int colour = 0;
        for (const GraphCurve& c : curves)
            if (c.rightAxis) colour = c.colour;
        painter.setPen(consoleColour(colour).darker(150));
        for (int k = 0; k <= 10; k += 2) {
            const double value = rightScale->minimum + k * rightScale->step;
            const QString label = withoutNegativeZero(QString::fromStdString(formatPicture(static_cast<float>(value), "0.0")));
            const QRectF box(px(12.05), py(axis.minimum + k * axis.step) - metrics.height() / 2, px(12.5) - px(12.05),
                             metrics.height());
            painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter, label);
        }
    }
    painter.setPen(QPen(Qt::black, unit));
    for (int m = 0; m < 12; ++m) {
        const QRectF box(px(m - 0.5), py(axis.minimum) + metrics.height() * 0.3, px(1) - px(0), metrics.height());
        painter.drawText(box, Qt::AlignCenter, QLatin1String(kMonthAbbreviations[static_cast<size_t>(m)]));
    }

    for (const GraphCurve& curve : curves) {
        const QColor colour = consoleColour(curve.colour);
        const auto value = [&](int m) {
            const double v = curve.result.Best[static_cast<size_t>(m)];
            return curve.rightAxis ? toLeft(v) : v;
        };
        if (curve.hasInterval && !curve.rightAxis) {
            // The interval as a pale band behind the curve; months without one narrow it to the curve.
            QPolygonF band;
            const auto bound = [&](const Monthly& b, int m) {
                const double v = b[static_cast<size_t>(m)];
                return std::isfinite(v) ? v : value(m);
            };
            for (int m = 1; m <= 12; ++m) band << QPointF(px(m - 1), py(bound(curve.high, m)));
            for (int m = 12; m >= 1; --m) band << QPointF(px(m - 1), py(bound(curve.low, m)));
            QColor pale = colour;
            pale.setAlpha(45);
            painter.setPen(Qt::NoPen);
            painter.setBrush(pale);
            painter.save();
            painter.setClipRect(area);
            painter.drawPolygon(band);
            painter.restore();
        }
        QPainterPath path;
        for (int m = 1; m <= 12; ++m) {
            const QPointF point(px(m - 1), py(value(m)));
            if (m == 1) path.moveTo(point);
            else path.lineTo(point);
        }
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(colour, 2 * unit));
        painter.drawPath(path);
        painter.setBrush(colour);
        painter.setPen(QPen(colour.darker(130), unit));
        for (int m = 1; m <= 12; ++m)
            painter.drawEllipse(QPointF(px(m - 1), py(value(m))), 3 * unit, 3 * unit);
        // Months beyond every neighbour's value: a red ring, as the table marks them.
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(consoleColour(12), 1.5 * unit));
        for (int m = 1; m <= 12; ++m)
            if (curve.extrapolated[static_cast<size_t>(m)])
                painter.drawEllipse(QPointF(px(m - 1), py(value(m))), 7 * unit, 7 * unit);
    }
    painter.restore();
}

double paintGraphLegend(QPainter& painter, const QRectF& area, const std::vector<LegendEntry>& legend) {
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(std::max(8, static_cast<int>(std::lround(area.width() / 70))));
    const QFontMetricsF metrics(font, painter.device());
    const double unit = std::max(1.0, area.width() / 600.0);
    const double rowHeight = metrics.height() * 1.4;
    std::vector<LegendEntry> shown;
    for (const LegendEntry& entry : legend)
        if (!entry.text.isEmpty()) shown.push_back(entry);
    const double height = rowHeight * static_cast<double>(shown.size());
    painter.save();
    painter.setFont(font);
    const double x = area.left() + 4 * metrics.averageCharWidth();
    double y = area.bottom() - height + rowHeight / 2;
    for (const LegendEntry& entry : shown) {
        painter.setPen(QPen(consoleColour(entry.colour), 3 * unit));
        painter.drawLine(QPointF(x, y), QPointF(x + 4 * metrics.averageCharWidth(), y));
        painter.setPen(Qt::black);
        painter.drawText(QPointF(x + 5 * metrics.averageCharWidth(), y + (metrics.ascent() - metrics.descent()) / 2),
                         entry.text);
        y += rowHeight;
    }
    painter.restore();
    return height;
}

ResultGraph::ResultGraph(QWidget* parent) : QWidget(parent) {
    setMinimumSize(320, 220);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ResultGraph::setCurves(std::vector<GraphCurve> curves) {
    curves_ = std::move(curves);
    std::vector<const EstimateResult*> left, right;
    bool leftAmounts = true, rightAmounts = true;
    for (const GraphCurve& c : curves_) {
        (c.rightAxis ? right : left).push_back(&c.result);
        (c.rightAxis ? rightAmounts : leftAmounts) &= c.amount;
    }
    if (left.empty()) left.swap(right), std::swap(leftAmounts, rightAmounts);
    axis_ = graphAxis(left, leftAmounts);
    hasRight_ = !right.empty();
    if (hasRight_) right_ = graphAxis(right, rightAmounts);
    update();
}

QImage ResultGraph::toImage(const QSize& size) const {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    const QRectF area(QPointF(0, 0), QSizeF(size));
    const double legend = paintGraphLegend(painter, area, legend_);
    paintResultGraph(painter, area.adjusted(0, 0, 0, -legend), curves_, axis_, rightAxis());
    return image;
}

void ResultGraph::print(QPrinter& printer) const {
    QPainter painter(&printer);
    const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution()).translated(
        -printer.pageLayout().paintRectPixels(printer.resolution()).topLeft());
    // Landscape proportions of the screen picture box, at the top of the page.
    const double height = std::min(page.height(), page.width() * 0.7);
    const QRectF area(page.topLeft(), QSizeF(page.width(), height));
    const double legend = paintGraphLegend(painter, area, legend_);
    paintResultGraph(painter, area.adjusted(0, 0, 0, -legend), curves_, axis_, rightAxis());
}

void ResultGraph::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintResultGraph(painter, QRectF(rect()), curves_, axis_, rightAxis());
}

void ResultGraph::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* png = menu.addAction(QStringLiteral("Save Graph as Picture..."));
    QAction* print = menu.addAction(QStringLiteral("Print Graph..."));
    QAction* chosen = menu.exec(event->globalPos());
    if (chosen == png) {
        const QString file = getSaveFileName(this, QStringLiteral("Save Graph"), QStringLiteral("Picture (*.png)"));
        if (!file.isEmpty()) toImage(QSize(1200, 800)).save(file, "PNG");
    } else if (chosen == print) {
        QPrinter printer(QPrinter::HighResolution);
        QPrintDialog dialog(&printer, this);
        if (dialog.exec() == QDialog::Accepted) this->print(printer);
    }
}

}  // namespace zentrel::gui::single
