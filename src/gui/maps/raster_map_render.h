// The off-screen map renderer of the raster map window: every pixel of an image gets the
// colour of the map cell shown there, then the whole image is painted in one operation.
#pragma once

#include <vector>

#include <QImage>
#include <QPointF>
#include <QSize>

#include "maps/bna_file.h"
#include "maps/colour_table.h"
#include "maps/georeference.h"
#include "maps/img_file.h"

namespace zentrel::gui {

/// The part of the world shown: a rectangle in map coordinates (degrees) on `Size` pixels,
/// with the same number of degrees per pixel across and down.
struct MapView {
    double Left = -182, Top = 78;  ///< degrees at the top-left corner of the top-left pixel
    double DegreesPerPixel = 1;
    QSize Size;

    /// The view of an extent (left, top, width, height in degrees) fitted into `size` pixels,
    /// centred, without distortion.
    static MapView fit(double left, double top, double width, double height, QSize size);
    double lonAt(double x) const { return Left + x * DegreesPerPixel; }
    double latAt(double y) const { return Top - y * DegreesPerPixel; }
    QPointF pixelOf(double lon, double lat) const { return {(lon - Left) / DegreesPerPixel, (Top - lat) / DegreesPerPixel}; }
};

/// Renders the cells of `map` in the colours of `table` (pixels off the map in `background`),
/// then the boundaries in the colour of entry 254 and the capitals inside the map in the colour
/// of entry 253, each layer only when given.
QImage renderRasterMap(const ImgRaster& map, const ColourTable& table, const MapView& view, QRgb background,
                       const std::vector<BnaShape>* boundaries, const std::vector<BnaShape>* capitals);

}  // namespace zentrel::gui
