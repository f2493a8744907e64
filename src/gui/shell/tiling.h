// Where Tile and Cascade put the child windows: rectangles from the windows' minimum sizes
// and the client area, computed without widgets so that every arrangement can be tested.
#pragma once

#include <QList>
#include <QRect>
#include <QSize>

namespace zentrel::gui {

/// Tile: `stacked` lays the windows one above the other (Tile Horizontal), otherwise side by
/// side (Tile Vertical). Windows that do not fit in one band within their minimum sizes are
/// spread over as few bands as hold them (rows of side-by-side windows, or columns of stacked
/// ones), so that none lies past the area's edge while a fitting arrangement exists. Within a
/// band the length is shared equally, but never below a window's minimum; the bands share the
/// other side the same way. Rectangles in the area's coordinates, in the order of `minima`.
QList<QRect> tileRects(const QList<QSize>& minima, const QSize& area, bool stacked);

/// Cascade: each window `step` right of and below the one before, so that every title bar
/// stays in view; all as large as the area leaves, but not below their minimum sizes.
/// The last window of the list is the one in front.
QList<QRect> cascadeRects(const QList<QSize>& minima, const QSize& area, const QSize& step);

}  // namespace zentrel::gui
