// The line graph of a group's annual cycles: one painting routine for the screen, the
// printer and image files, and the widget that shows it.
#pragma once

#include <vector>

#include <QImage>
#include <QWidget>

#include "engine/types.h"
#include "single/graph_axis.h"
#include "single/result_groups.h"

class QPainter;
class QPrinter;

namespace zentrel::gui::single {

/// One curve: the variable's result and its console colour number.
struct GraphCurve {
    EstimateResult result;
    int colour = 0;
};

/// Draws the graph into `area` of any paint device: white ground, the grid lines of the axis
/// in colour 4 labelled "####.0", months 1..12 at x = 0..11 in a user frame x -2..12.5 and y
/// from maximum + 2 steps (top) to minimum - 2 steps (bottom), each curve marked per month
/// and joined by lines. Pen widths and fonts scale with the area, so print stays legible.
void paintResultGraph(QPainter& painter, const QRectF& area, const std::vector<GraphCurve>& curves,
                      const GraphAxis& axis);

/// The legend of a printed or exported graph: a coloured line and the text of each entry,
/// one row each at the bottom of `area`. Returns the height it took.
double paintGraphLegend(QPainter& painter, const QRectF& area, const std::vector<LegendEntry>& legend);

/// The graph of a group as drawn on screen (a picture box of the single-location window).
class ResultGraph : public QWidget {
    Q_OBJECT
public:
    explicit ResultGraph(QWidget* parent = nullptr);

    /// New curves; the axis is computed from them.
    void setCurves(std::vector<GraphCurve> curves);
    const GraphAxis& axis() const { return axis_; }
    /// Legend drawn under the graph on paper and in images (the window has its own frame).
    void setLegend(std::vector<LegendEntry> legend) { legend_ = std::move(legend); }

    /// The graph as an image of `size` pixels.
    QImage toImage(const QSize& size) const;
    /// The graph on one page of `printer`, within its margins.
    void print(QPrinter& printer) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    std::vector<GraphCurve> curves_;
    GraphAxis axis_;
    std::vector<LegendEntry> legend_;
};

}  // namespace zentrel::gui::single
