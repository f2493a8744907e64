// Reading and range rules shared by the location dialogs.
#pragma once

#include <QString>

namespace zentrel::gui {

inline const QString kStrangeLocationTitle = QStringLiteral("Strange Location");
inline const QString kLongitudeRangeText = QStringLiteral("Longitude should be between -180 and +180   degrees.");
inline const QString kLatitudeRangeText = QStringLiteral("Latitude should be between -90° and +90°.");

/// The leading number of a box text ("." as decimal point, 0 if none) as a single-precision
/// value; with commaToPoint every "," is read as "." first.
float readCoordinate(const QString& text, bool commaToPoint);

/// Bounds included: -180..180, -90..90, -350..8848 m.
inline bool longitudeInRange(float lon) { return lon >= -180 && lon <= 180; }
inline bool latitudeInRange(float lat) { return lat >= -90 && lat <= 90; }
inline bool elevationInRange(float alt) { return alt >= -350 && alt <= 8848; }
/// Polar region: -90 <= lat < -70 or 70 < lat <= 90 (70 itself is not polar).
inline bool isPolar(float lat) { return (lat >= -90 && lat < -70) || (lat > 70 && lat <= 90); }

}  // namespace zentrel::gui
