// Map extent, terrain classes and the small steps of the workbench buttons.
#include "workbench/workbench_geometry.h"

#include <algorithm>
#include <cmath>

#include "base/picture.h"
#include "base/types.h"

namespace zentrel::gui::workbench {

float longitudeOffset(float lon, float workingLon) {
    float dx = lon - workingLon;
    if (dx >= 180) dx -= 360;
    else if (dx < -180) dx += 360;
    return dx;
}

namespace {

// The box of step 3 for a zoom: each side pushed out by half the width or height times (zoom - 1).
MapFrame widened(float minX, float maxX, float minY, float maxY, int zoom) {
    const float w = maxX - minX, h = maxY - minY;
    const float grow = static_cast<float>(zoom - 1);
    MapFrame f;
    f.west = minX - w / 2 * grow;
    f.east = maxX + w / 2 * grow;
    f.south = minY - h / 2 * grow;
    f.north = maxY + h / 2 * grow;
    return f;
}

}  // namespace

MapFrame mapExtent(const std::vector<MapOffset>& offsets, float workingLat, int16_t& zoom, int& beeps) {
    float minX = 0, maxX = 0, minY = 0, maxY = 0;
    for (const MapOffset& o : offsets) {
        minX = std::min(minX, o.dx);
        maxX = std::max(maxX, o.dx);
        minY = std::min(minY, o.dy);
        maxY = std::max(maxY, o.dy);
    }
    // A neighbourhood of one point (all neighbours at the location) still gets a small map.
    if (maxX - minX < 0.01f) minX -= 0.05f, maxX += 0.05f;
    if (maxY - minY < 0.01f) minY -= 0.05f, maxY += 0.05f;
    if (zoom < 1) {
        zoom = 1;
        ++beeps;
    }
    MapFrame f = widened(minX, maxX, minY, maxY, zoom);
    // The zoom stops where the widened box would exceed the world.
    while (zoom > 1 && (f.east - f.west > 360 || f.north - f.south > 180)) {
        zoom = halveZoom(zoom);
        if (zoom < 1) zoom = 1;
        ++beeps;
        f = widened(minX, maxX, minY, maxY, zoom);
    }
    f.north = std::min(f.north, 90 - workingLat);
    f.south = std::max(f.south, -90 - workingLat);
    f.east = std::min(f.east, 180.0f);
    f.west = std::max(f.west, -180.0f);
    float w = f.east - f.west, h = f.north - f.south;
    if (0.6f * w < h) w = h / 0.6f;
    else h = 0.6f * w;
    f.east = f.west + w;
    f.south = f.north - h;
    f.left = f.west - 0.1f * w;
    f.right = f.west + 1.1f * w;
    f.top = f.north + 0.1f * h;
    f.bottom = f.north - 1.1f * h;
    return f;
}

int clampResolution(int resolution) { return std::clamp(resolution, 1, 3); }

int wrapMonth(int month) {
    if (month > 12) return 1;
    if (month < 1) return 12;
    return month;
}

int16_t halveZoom(int16_t zoom) { return static_cast<int16_t>(std::nearbyint(zoom / 2.0)); }

const std::array<AltitudeClass, kAltitudeClassCount> kAltitudeClasses{{
    {" > 5000 m", qRgb(207, 178, 199)},     {" 4500 - 4999 m", qRgb(205, 169, 174)},
    {" 4000 - 4499 m", qRgb(202, 160, 149)}, {" 3500 - 3999 m", qRgb(200, 151, 124)},
    {" 3000 - 3499 m", qRgb(216, 115, 88)},  {" 2500 - 2999 m", qRgb(236, 86, 45)},
    {" 2000 - 2499 m", qRgb(215, 95, 64)},   {" 1800 - 1999 m", qRgb(180, 94, 53)},
    {" 1600 - 1799 m", qRgb(162, 93, 47)},   {" 1400 - 1599 m", qRgb(189, 128, 52)},
    {" 1200 - 1399 m", qRgb(209, 167, 57)},  {" 1000 - 1199 m", qRgb(228, 205, 62)},
    {" 900 - 999 m", qRgb(247, 243, 67)},    {" 800 - 899 m", qRgb(222, 233, 58)},
    {" 700 - 799 m", qRgb(200, 220, 58)},    {" 600 - 699 m", qRgb(178, 206, 58)},
    {" 500 - 599 m", qRgb(156, 193, 58)},    {" 400 - 499 m", qRgb(134, 180, 58)},
    {" 300 - 399 m", qRgb(112, 167, 58)},    {" 200 - 299 m", qRgb(90, 153, 58)},
    {" 99 - 199 m", qRgb(68, 140, 58)},      {" 0 < 99 m", qRgb(46, 127, 58)},
    {" < 0 m", qRgb(50, 146, 138)},          {" Sea", qRgb(0, 0, 160)},
}};

int altitudeClass(int16_t altitude, bool sea) {
    if (sea) return kAltitudeClassCount - 1;
    static constexpr std::array<int, 22> limits{0,    100,  200,  300,  400,  500,  600,  700,  800,  900,  1000,
                                                1200, 1400, 1600, 1800, 2000, 2500, 3000, 3500, 4000, 4500, 5000};
    for (size_t i = 0; i < limits.size(); ++i)
        if (altitude < limits[i]) return 22 - static_cast<int>(i);
    return 0;
}

QRgb terrainColour(int16_t altitude, bool sea) {
    const int k = altitudeClass(altitude, sea);
    if (k == 3) return qRgb(200, 150, 125);
    return kAltitudeClasses[static_cast<size_t>(k)].colour;
}

QString pointerDecimalText(float lon, float lat) {
    return QString::fromStdString(formatPicture(lon, "0.00") + "\xC2\xB0  " + formatPicture(lat, "0.00") + "\xC2\xB0 ");
}

namespace {
QString dms(float value, const char* positive, const char* negative) {
    long seconds = std::lround(std::fabs(static_cast<double>(value)) * 3600.0);
    const long degrees = seconds / 3600;
    const long minutes = seconds / 60 % 60;
    seconds %= 60;
    return QStringLiteral("%1\u00B0 %2' %3''%4").arg(degrees).arg(minutes).arg(seconds).arg(QLatin1String(value < 0 ? negative : positive));
}
}  // namespace

QString pointerDmsText(float lon, float lat) { return dms(lon, " E ", " W ") + dms(lat, " N ", " S "); }

float levelFactor(int percent) { return percent == 0 ? 0.0f : confidenceFactor(percent); }

}  // namespace zentrel::gui::workbench
