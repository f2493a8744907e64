// Helpers both map windows share: the status text of a position, image and colour conversion.
#pragma once

#include <QColor>
#include <QImage>
#include <QString>

#include "maps/bmp_file.h"
#include "maps/colour_table.h"

namespace zentrel::gui {

/// "Longitude= 12° 28' 58'' E  Latitude= 41° 54' 0'' N ": truncated degrees, minutes and seconds
/// with the hemisphere letters (0 counts as W and S).
QString dmsStatusText(double lon, double lat);

/// The image as a QImage (24-bit, top row first).
QImage toQImage(const RgbImage& image);

inline QColor toQColor(const Rgb& c) { return QColor(c.Red, c.Green, c.Blue); }
inline Rgb toRgb(const QColor& c) {
    return {static_cast<uint8_t>(c.red()), static_cast<uint8_t>(c.green()), static_cast<uint8_t>(c.blue())};
}

/// The folder of the background maps "rastelldata" (see locateMapFolder); beside the data folder
/// when none exists.
QString mapFolder(const QString& dataFolder);

}  // namespace zentrel::gui
