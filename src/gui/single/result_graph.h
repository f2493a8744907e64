// The line graph of a group's annual cycles: one painting routine for the screen, the
// printer and image files, and the widget that shows it.
#pragma once

#include <array>
#include <vector>

#include <QImage>
#include <QWidget>

#include "base/types.h"
#include "single/graph_axis.h"
#include "single/result_groups.h"

class QPainter;
class QPrinter;

namespace zentrel::gui::single {

/// One curve: the variable's result and its console colour number.
struct GraphCurve {
    EstimateResult result;
    int colour = 0;
    /// Drawn against a scale of its own on the right (a fraction among quantities of tens).
    bool rightAxis = false;
    /// A quantity that is never negative (all but the temperatures): its scale starts at 0 at the lowest.
    bool amount = false;
    /// Months 1..12 whose Best lies outside all neighbours' values: ringed in the graph.
    std::array<bool, 14> extrapolated{};
    /// The confidence interval per month (1..12), drawn as a band; NaN where none was estimated.
    Monthly low{}, high{};
    bool hasInterval = false;
};

/// The curve of a variable as the screen shows it: wind in km/h (the unit its legend and
/// captions name), the sunshine fraction on its own right-hand scale when other curves share
/// the graph.
GraphCurve screenCurve(int variable, const EstimateResult& result, int colour, bool shared);
/// The same with what the result's neighbours tell: the extrapolated months ringed and the
/// 90 % interval (as the table of results gives it) as a band.
GraphCurve screenCurve(const VariableResult& result, int colour, bool shared);

/// Draws the graph into `area` of any paint device: white ground, the grid lines of the axis
/// in colour 4 labelled "####.0", months 1..12 at x = 0..11 in a user frame x -2..12.5 and y
/// from maximum + 2 steps (top) to minimum - 2 steps (bottom), each curve marked per month
/// and joined by lines. Pen widths and fonts scale with the area, so print stays legible.
/// Curves with `rightAxis` are drawn against `rightScale` (labelled on the right in their colour).
void paintResultGraph(QPainter& painter, const QRectF& area, const std::vector<GraphCurve>& curves,
                      const GraphAxis& axis, const GraphAxis* rightScale = nullptr);

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
    /// The right-hand scale, when a curve has one.
    const GraphAxis* rightAxis() const { return hasRight_ ? &right_ : nullptr; }
    const std::vector<GraphCurve>& curves() const { return curves_; }
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
    GraphAxis right_;
    bool hasRight_ = false;
    std::vector<LegendEntry> legend_;
};

}  // namespace zentrel::gui::single
