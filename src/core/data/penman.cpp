// FAO-56 Penman-Monteith reference evapotranspiration, monthly step.
#include "data/penman.h"

#include <algorithm>
#include <cmath>

namespace zentrel {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kSolarConstant = 0.0820;      // MJ m-2 min-1
constexpr double kStefanBoltzmann = 4.903e-9;  // MJ K-4 m-2 day-1
constexpr int kCommonYearDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

struct SunGeometry {
    double ra;        // extraterrestrial radiation, MJ m-2 day-1
    double dayHours;  // astronomical day length N, h
};

SunGeometry sunGeometry(double latDegrees, int dayOfYear) {
    const double phi = latDegrees * kPi / 180;
    const double dr = 1 + 0.033 * std::cos(2 * kPi * dayOfYear / 365);
    const double delta = 0.409 * std::sin(2 * kPi * dayOfYear / 365 - 1.39);
    // Beyond the polar circles the sunset hour angle has no solution: polar night or midnight sun.
    const double x = std::clamp(-std::tan(phi) * std::tan(delta), -1.0, 1.0);
    const double omega = std::acos(x);
    const double ra = 24 * 60 / kPi * kSolarConstant * dr *
                      (omega * std::sin(phi) * std::sin(delta) + std::cos(phi) * std::cos(delta) * std::sin(omega));
    return {std::max(ra, 0.0), 24 / kPi * omega};
}

bool isLeap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

}  // namespace

double saturationVapourPressure(double t) { return 6.108 * std::exp(17.27 * t / (t + 237.3)); }

double dayLengthHours(double lat, int dayOfYear) { return sunGeometry(lat, dayOfYear).dayHours; }

int daysInMonth(int year, int month) { return month == 2 && isLeap(year) ? 29 : kCommonYearDays[month - 1]; }

double monthlyDaylightHours(double lat, int year, int month) {
    int first = 1;
    for (int m = 1; m < month; ++m) first += daysInMonth(year, m);
    double sum = 0;
    for (int d = 0; d < daysInMonth(year, month); ++d) sum += dayLengthHours(lat, first + d);
    return sum;
}

double referenceEvapotranspirationPerDay(const PenmanInputs& in, int month) {
    auto at = [](const Monthly& a, int m) { return static_cast<double>(a[static_cast<size_t>(m)]); };
    const double z = in.alt == kUnknown ? 0.0 : in.alt;
    const double tmax = at(in.tmax, month), tmin = at(in.tmin, month);
    const double tmean = (tmax + tmin) / 2;
    const double ea = at(in.vap, month) / 10;  // kPa
    const double u2 = at(in.wind, month);
    const double sunFraction = std::clamp(at(in.sun, month), 0.0, 1.0);

    const double pressure = 101.3 * std::pow((293 - 0.0065 * z) / 293, 5.26);
    const double gamma = 0.000665 * pressure;
    const double es = (saturationVapourPressure(tmax) + saturationVapourPressure(tmin)) / 20;
    const double e0 = saturationVapourPressure(tmean) / 10;
    const double slope = 4098 * e0 / ((tmean + 237.3) * (tmean + 237.3));

    // The middle day of the month stands for the whole month.
    const SunGeometry sun = sunGeometry(in.lat, static_cast<int>(30.4 * month - 15));
    const double rs = (0.25 + 0.50 * sunFraction) * sun.ra;
    const double rso = (0.75 + 2e-5 * z) * sun.ra;
    // Relative shortwave radiation; in the polar night (no Rso) the sunshine fraction tells the cloudiness.
    const double relative = rso > 0 ? std::min(rs / rso, 1.0) : std::min((0.25 + 0.50 * sunFraction) / 0.75, 1.0);
    const double rns = (1 - 0.23) * rs;
    const double tmaxK = tmax + 273.16, tminK = tmin + 273.16;
    const double rnl = kStefanBoltzmann * (std::pow(tmaxK, 4) + std::pow(tminK, 4)) / 2 *
                       (0.34 - 0.14 * std::sqrt(std::max(ea, 0.0))) * (1.35 * relative - 0.35);
    const double rn = rns - rnl;

    auto meanOf = [&](int m) { return (at(in.tmax, m) + at(in.tmin, m)) / 2; };
    const int previous = month == 1 ? 12 : month - 1, next = month == 12 ? 1 : month + 1;
    const double g = 0.07 * (meanOf(next) - meanOf(previous));

    const double et0 = (0.408 * slope * (rn - g) + gamma * 900 / (tmean + 273) * u2 * std::max(es - ea, 0.0)) /
                       (slope + gamma * (1 + 0.34 * u2));
    return std::max(et0, 0.0);
}

Monthly referenceEvapotranspiration(const PenmanInputs& in) {
    Monthly out{};
    for (int m = 1; m <= 12; ++m)
        out[static_cast<size_t>(m)] =
            static_cast<float>(referenceEvapotranspirationPerDay(in, m) * kCommonYearDays[m - 1]);
    return out;
}

}  // namespace zentrel
