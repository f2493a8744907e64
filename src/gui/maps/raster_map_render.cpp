// The off-screen map renderer.
#include "maps/raster_map_render.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>

#include "maps/map_view.h"
#include "maps/raster_export.h"

namespace zentrel::gui {

MapView MapView::fit(double left, double top, double width, double height, QSize size) {
    MapView v;
    v.Size = size.expandedTo(QSize(1, 1));
    v.DegreesPerPixel = std::max(width / v.Size.width(), height / v.Size.height());
    v.Left = left + width / 2 - v.Size.width() * v.DegreesPerPixel / 2;
    v.Top = top - height / 2 + v.Size.height() * v.DegreesPerPixel / 2;
    return v;
}

QImage renderRasterMap(const ImgRaster& map, const ColourTable& table, const MapView& view, QRgb background,
                       const std::vector<BnaShape>* boundaries, const std::vector<BnaShape>* capitals) {
    QImage image(view.Size, QImage::Format_RGB32);
    const Georeference geo = Georeference::of(map.Header);
    // The cell of every column and row of pixels is found once (pixel centres).
    std::vector<long> columns(static_cast<size_t>(view.Size.width())), rows(static_cast<size_t>(view.Size.height()));
    for (int x = 0; x < view.Size.width(); ++x) {
        const long c = geo.columnOf(view.lonAt(x + 0.5));
        columns[static_cast<size_t>(x)] = c >= 0 && c < map.Header.Columns ? c : -1;
    }
    for (int y = 0; y < view.Size.height(); ++y) {
        const long r = geo.rowOf(view.latAt(y + 0.5));
        rows[static_cast<size_t>(y)] = r >= 0 && r < map.Header.Rows ? r : -1;
    }
    std::array<QRgb, 256> colours;
    for (size_t k = 0; k < colours.size(); ++k) colours[k] = toQColor(table.Entries[k].Colour).rgb();
    for (int y = 0; y < view.Size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        const long r = rows[static_cast<size_t>(y)];
        for (int x = 0; x < view.Size.width(); ++x) {
            const long c = columns[static_cast<size_t>(x)];
            line[x] = r < 0 || c < 0 ? background : colours[map.at(static_cast<int>(c), static_cast<int>(r))];
        }
    }
    QPainter p(&image);
    if (boundaries) {
        p.setPen(QPen(toQColor(table.Entries[kBoundariesEntry].Colour), 1));
        for (const BnaShape& s : *boundaries) {
            QPolygonF line;
            for (const LonLat& point : s.Points) line << view.pixelOf(point.lon, point.lat);
            p.drawPolyline(line);
        }
    }
    if (capitals) {
        const MapExtent e = mapExtent(map.Header);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(toQColor(table.Entries[kCapitalsEntry].Colour));
        for (const BnaShape& s : *capitals)
            for (const LonLat& c : s.Points)
                if (c.lon >= e.West && c.lon <= e.East && c.lat >= e.South && c.lat <= e.North)  // IsInsideRect
                    p.drawEllipse(view.pixelOf(c.lon, c.lat), 2, 2);
    }
    return image;
}

}  // namespace zentrel::gui
