// Reference evapotranspiration by the FAO-56 Penman-Monteith method from monthly normals, and the
// astronomical day length that turns sunshine hours into a sunshine fraction.
#pragma once

#include "base/types.h"

namespace zentrel {

/// Saturation vapour pressure over water in hPa at temperature t (°C) (FAO-56 eq. 11).
double saturationVapourPressure(double t);

/// Astronomical day length in hours at latitude lat (degrees, -90..90) on day of year 1..366
/// (FAO-56 eq. 24 and 34): 0 in the polar night, 24 in the midnight sun.
double dayLengthHours(double lat, int dayOfYear);

/// Sum of the day lengths of every day of a month (hours), for sunshine fraction = sunshine
/// hours / this. year decides February's length.
double monthlyDaylightHours(double lat, int year, int month);

/// Number of days of a month of a year (month 1..12).
int daysInMonth(int year, int month);

/// Inputs of the monthly Penman-Monteith: index 1..12 = January..December.
struct PenmanInputs {
    double lat = 0;  ///< degrees north
    double alt = 0;  ///< m above sea level; 9999 (unknown) counts as 0
    Monthly tmax{};  ///< mean daily maximum temperature, °C
    Monthly tmin{};  ///< mean daily minimum temperature, °C
    Monthly vap{};   ///< actual vapour pressure, hPa
    Monthly sun{};   ///< sunshine fraction n/N, 0..1
    Monthly wind{};  ///< wind speed at 2 m, m/s
};

/// Reference evapotranspiration of a grass surface, mm per day, for month 1..12 (FAO-56 eq. 6
/// with monthly soil heat flux from the neighbouring months' mean temperatures, eq. 43),
/// never below 0.
double referenceEvapotranspirationPerDay(const PenmanInputs& in, int month);

/// Monthly totals in mm (mm per day times the days of a common year); index 13 left 0.
Monthly referenceEvapotranspiration(const PenmanInputs& in);

}  // namespace zentrel
