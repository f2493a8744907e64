// The drawn views of the workbench: observation-altitude graph, regional map with its legend,
// and the results graph.
#pragma once

#include <vector>

#include <QImage>
#include <QString>
#include <QWidget>

#include "base/types.h"
#include "workbench/graph_layout.h"
#include "workbench/workbench_geometry.h"

namespace zentrel::gui::workbench {

/// What a workbench graph draws around its data at one widget size: the plotting area and
/// the value ranges it spans, the ticks of both axes, and the axis titles.
struct GraphFrame {
    QRectF area;
    double x0 = 0, x1 = 1, y0 = 0, y1 = 1;
    std::vector<AxisTick> xTicks, yTicks;
    std::vector<AxisTick> xBetween;  ///< labels centred between the x grid lines (month names)
    QString xTitle, yTitle;
    /// Widget pixel of the value (x, y).
    QPointF at(double x, double y) const {
        return {area.left() + (x - x0) / (x1 - x0) * area.width(), area.bottom() - (y - y0) / (y1 - y0) * area.height()};
    }
};

/// The title of a variable's values on a graph axis with its unit, amounts per `period`
/// ("month", "dekad", "day"): "Mean Temperature [°C]", "Precipitation [mm/month]".
QString valueTitle(int variable, const char* period = "month");

/// One neighbour as the observation-altitude graph draws it: number 1..20, marker centre and
/// the rectangle of its number (null when the number was left out for want of room).
struct StationMark {
    int station = 0;
    QPointF centre;
    QRectF label;
};

/// picAltitude: each neighbour's observation of one month against its altitude with the
/// altitude regression line, its slope and explained variance.
class AltitudeGraph : public QWidget {
    Q_OBJECT
public:
    explicit AltitudeGraph(QWidget* parent = nullptr);
    void setData(const NeighbourSet& neighbours, const EstimateResult& result, int variable, int month);
    /// "Slope = ..." and "Explained Variance = ..." as drawn.
    QString slopeText() const { return slope_; }
    QString varianceText() const { return variance_; }
    /// Frame and station marks at the widget's present size (no frame without stations).
    GraphFrame frame() const;
    std::vector<StationMark> marks() const;
    /// The neighbour under the pointer (1..20), 0 when none: its number is placed first.
    int hovered() const { return hovered_; }

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    std::vector<StationMark> marks(const GraphFrame& frame) const;
    NeighbourSet ns_;
    EstimateResult res_;
    int variable_ = 0;
    int month_ = 1;
    int hovered_ = 0;
    QString slope_, variance_;
};

/// picMapStation: terrain cells in the legend colours, the neighbours over them and the
/// working location at the centre. Coordinates are degree offsets from the working location.
class RegionalMap : public QWidget {
    Q_OBJECT
public:
    explicit RegionalMap(QWidget* parent = nullptr);
    /// The terrain image (one pixel per cell, north up) spanning frame.west..east, north..south.
    void setMap(const MapFrame& frame, QImage terrain, std::vector<MapOffset> neighbours, std::vector<bool> active);
    const MapFrame& frame() const { return frame_; }
    const QImage& terrain() const { return terrain_; }
    /// Map coordinates of a widget pixel.
    MapOffset toMap(QPointF pixel) const;

signals:
    void pointerMoved(float dx, float dy);
    void rightReleased(float dx, float dy);

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QPointF toPixel(float dx, float dy) const;
    QRectF viewport() const;
    MapFrame frame_;
    QImage terrain_;
    std::vector<MapOffset> neighbours_;
    std::vector<bool> active_;
};

/// The altitude legend beside the regional map.
class MapLegend : public QWidget {
    Q_OBJECT
public:
    explicit MapLegend(QWidget* parent = nullptr);
    QSize sizeHint() const override { return {150, 24 * 16 + 24}; }

protected:
    void paintEvent(QPaintEvent*) override;
};

/// One course of the results graph: x = 1..n, the best values and the interval bounds.
struct ResultSeries {
    std::vector<float> best, low, high;
    bool area = true;  ///< interval as a filled area, else as two lines
    bool monthAxis = true;  ///< x runs over the year (month labels), else over thresholds
    bool dayCounts = false;  ///< the values are numbers of days (ticks at 30, 60, 90 days)
    float xFirst = 0, xLast = 0;  ///< thresholds of the first and last point (threshold axis)
    float minimum = 0, maximum = 1;
    QString legendLine, legendInterval;
    QString xTitle, yTitle;  ///< axis titles with their units
};

/// picResults: the best estimate with its confidence interval.
class ResultsGraph : public QWidget {
    Q_OBJECT
public:
    explicit ResultsGraph(QWidget* parent = nullptr);
    void setSeries(ResultSeries series);
    const ResultSeries& series() const { return series_; }
    /// Frame at the widget's present size: round value ticks; grid lines at month starts
    /// with the month names between them, or round thresholds.
    GraphFrame frame() const;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    ResultSeries series_;
};

}  // namespace zentrel::gui::workbench
