// Pure computations of the workbench views: the regional map's extent and terrain classes,
// the month, zoom and resolution steps and the pointer position texts.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include <QRgb>
#include <QString>

namespace zentrel::gui::workbench {

/// Longitude offset of a neighbour from the working location, brought into -180..180
/// (360 off at 180 or more, 360 on below -180), so neighbours across the date line lie beside it.
float longitudeOffset(float lon, float workingLon);

/// A neighbour's position as degree offsets from the working location.
struct MapOffset {
    float dx = 0;
    float dy = 0;
};

/// The regional map's extent in degree offsets from the working location.
struct MapFrame {
    float west = 0, east = 0, north = 0, south = 0;  ///< the box after zoom, cuts and aspect
    float left = 0, right = 0, top = 0, bottom = 0;  ///< the coordinate system with its margins
};

/// The map-extent step: the neighbours' box (always holding 0), widened by `zoom`, cut at the
/// poles and at 180 degrees, made to the aspect 0.6 and given a margin of a tenth. A zoom below
/// 1 is set to 1, and a zoom whose box would exceed the world is halved; each time `beeps`
/// is counted up.
MapFrame mapExtent(const std::vector<MapOffset>& offsets, float workingLat, int16_t& zoom, int& beeps);

/// `Resolution` as the map draws it: 1..3.
int clampResolution(int resolution);
/// Terrain grid of the regional map: 20 x resolution rows, 40 x resolution columns.
inline int terrainRows(int resolution) { return 20 * clampResolution(resolution); }
inline int terrainColumns(int resolution) { return 40 * clampResolution(resolution); }

/// Month after a month button: 13 wraps to 1 and 0 to 12.
int wrapMonth(int month);
/// `CmdZoomOut`: half the zoom, rounded half to even (1 gives 0, which the map sets back to 1).
int16_t halveZoom(int16_t zoom);

/// One class of the map legend, from the top (" > 5000 m") to the bottom (" Sea").
struct AltitudeClass {
    const char* label;
    QRgb colour;
};
inline constexpr int kAltitudeClassCount = 24;
extern const std::array<AltitudeClass, kAltitudeClassCount> kAltitudeClasses;
/// Legend row of a terrain cell: sea, then the first of h < 0, h < 100, ..., h < 5000, else " > 5000 m".
int altitudeClass(int16_t altitude, bool sea);
/// Colour of a terrain cell on the map: the legend colour, except 200, 150, 125 for 3500-3999 m.
QRgb terrainColour(int16_t altitude, bool sea);

/// The pointer position labels: "12.48°  41.90° " and the same in degrees, minutes and seconds.
QString pointerDecimalText(float lon, float lat);
QString pointerDmsText(float lon, float lat);

/// Confidence factor of an option (90, 95, 99) or 0 when none is selected.
float levelFactor(int percent);

}  // namespace zentrel::gui::workbench
