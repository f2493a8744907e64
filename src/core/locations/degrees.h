// Decimal degrees to whole degrees, minutes and seconds and back, as the coordinate dialog shows them.
#pragma once

#include <cstdint>
#include <string>

namespace zentrel {

/// Unsigned, truncated parts of an angle; the sign lives in the hemisphere letter.
struct DegreesMinutesSeconds {
    int16_t Degrees = 0;  ///< 0..180
    int16_t Minutes = 0;  ///< 0..59
    int16_t Seconds = 0;  ///< 0..59
};

/// Splits a decimal angle (degrees, single precision) into |Fix(v)| degrees,
/// |Fix(f * 60)| minutes with f = v - Fix(v), and |Fix((t - Fix(t)) * 60)| seconds with
/// t = f * 60; every part truncated towards zero, never rounded (12.483 -> 12 28 58).
/// The arithmetic runs in double on the single-precision value.
DegreesMinutesSeconds toDegreesMinutesSeconds(float value);

/// "E" for lon > 0, else "W" (so 0 is "W").
char longitudeHemisphere(float lon);
/// "N" for lat > 0, else "S" (so 0 is "S").
char latitudeHemisphere(float lat);

/// degrees + minutes / 60 + seconds / 3600 in double, negated when `negative`, rounded to
/// 3 decimals (halves away from zero). A negative zero comes back as 0.
double fromDegreesMinutesSeconds(double degrees, double minutes, double seconds, bool negative);

/// True when the first letter of a hemisphere text is "S"/"s" (latitude) or "W"/"w" (longitude).
bool isSouthern(const std::string& hemisphere);
bool isWestern(const std::string& hemisphere);

/// Plain decimal text of a converted value, as short as reads back the same ("12.483", "-41.9", "0").
std::string decimalDegreesText(double value);

}  // namespace zentrel
