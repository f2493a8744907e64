// The drawn views of the workbench: observation-altitude graph, regional map with its legend,
// and the results graph.
#pragma once

#include <vector>

#include <QImage>
#include <QString>
#include <QWidget>

#include "engine/types.h"
#include "workbench/workbench_geometry.h"

namespace zentrel::gui::workbench {

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

protected:
    void paintEvent(QPaintEvent*) override;

private:
    NeighbourSet ns_;
    EstimateResult res_;
    int month_ = 1;
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
    float xFirst = 0, xLast = 0;  ///< thresholds of the first and last point (threshold axis)
    float minimum = 0, maximum = 1;
    QString legendLine, legendInterval;
};

/// picResults: the best estimate with its confidence interval.
class ResultsGraph : public QWidget {
    Q_OBJECT
public:
    explicit ResultsGraph(QWidget* parent = nullptr);
    void setSeries(ResultSeries series);
    const ResultSeries& series() const { return series_; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    ResultSeries series_;
};

}  // namespace zentrel::gui::workbench
