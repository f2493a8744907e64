// Degrees, minutes and seconds conversions of the coordinate dialog.
#include "locations/degrees.h"

#include <cmath>

#include <fmt/format.h>

namespace zentrel {

DegreesMinutesSeconds toDegreesMinutesSeconds(float value) {
    const double v = value;
    const double whole = std::trunc(v);
    const double minutes = (v - whole) * 60.0;
    const double wholeMinutes = std::trunc(minutes);
    const double seconds = (minutes - wholeMinutes) * 60.0;
    DegreesMinutesSeconds dms;
    dms.Degrees = static_cast<int16_t>(std::fabs(whole));
    dms.Minutes = static_cast<int16_t>(std::fabs(wholeMinutes));
    dms.Seconds = static_cast<int16_t>(std::fabs(std::trunc(seconds)));
    return dms;
}

char longitudeHemisphere(float lon) { return lon > 0 ? 'E' : 'W'; }
char latitudeHemisphere(float lat) { return lat > 0 ? 'N' : 'S'; }

double fromDegreesMinutesSeconds(double degrees, double minutes, double seconds, bool negative) {
    double value = degrees + minutes / 60.0 + seconds / 3600.0;
    if (negative) value = -value;
    value = std::round(value * 1000.0) / 1000.0;
    return value + 0.0;  // -0 + 0 is +0
}

bool isSouthern(const std::string& hemisphere) {
    return !hemisphere.empty() && (hemisphere[0] == 'S' || hemisphere[0] == 's');
}
bool isWestern(const std::string& hemisphere) {
    return !hemisphere.empty() && (hemisphere[0] == 'W' || hemisphere[0] == 'w');
}

std::string decimalDegreesText(double value) { return fmt::format("{}", value + 0.0); }

}  // namespace zentrel
