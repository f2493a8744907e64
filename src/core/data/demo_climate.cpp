// Climate emulator of the demonstration database. Not a climate model: a handful of textbook
// relations that give each variable the right order of magnitude, seasonal course and
// geography, so that the estimation can be shown on a world-wide station set.
#include "data/demo_climate.h"

#include <algorithm>
#include <cmath>
#include <queue>

#include "base/geometry.h"
#include "data/penman.h"

namespace zentrel {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kCoarseColumns = 720;  // half-degree cells
constexpr int kCoarseRows = 360;
constexpr double kCellKm = kEarthRadiusKmDouble * kPi / 360;  // half a degree of latitude

double gaussian(double x, double centre, double width) {
    const double d = (x - centre) / width;
    return std::exp(-d * d);
}

float rounded(double value, double step) { return static_cast<float>(std::round(value / step) * step); }

}  // namespace

uint64_t DemoRandom::next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

double DemoRandom::uniform() { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); }

double DemoRandom::normal() {
    if (hasSpare_) {
        hasSpare_ = false;
        return spare_;
    }
    const double u1 = 1.0 - uniform();  // (0, 1]: the logarithm stays finite
    const double u2 = uniform();
    const double r = std::sqrt(-2.0 * std::log(u1));
    spare_ = r * std::sin(2 * kPi * u2);
    hasSpare_ = true;
    return r * std::cos(2 * kPi * u2);
}

const Monthly& DemoNormals::of(int variable) const {
    switch (variable) {
        case Tmax: return tmax;
        case Tmin: return tmin;
        case Prec: return prec;
        case Vap: return vap;
        case PET: return pet;
        case Wind: return wind;
        case Sun: return sun;
        default: return temp;
    }
}

DemoNormals emulateNormals(const DemoSite& site, DemoRandom* noise) {
    auto draw = [&] { return noise ? noise->normal() : 0.0; };
    // Site deviations first, then per month: the draw order never depends on the values.
    const double tOffset = 0.5 * draw();
    const double rangeFactor = std::exp(0.10 * draw());
    const double precFactor = std::exp(0.15 * draw());
    const double humidityOffset = 0.04 * draw();
    const double sunOffset = 0.04 * draw();
    const double windFactor = std::exp(0.20 * draw());
    double tMonth[13], pMonth[13];
    for (int m = 1; m <= 12; ++m) {
        tMonth[m] = 0.15 * draw();
        pMonth[m] = std::exp(0.08 * draw());
    }

    const double lat = site.lat, a = std::fabs(lat), c = std::clamp(site.continentality, 0.0, 1.0);
    const double dry = std::clamp(site.dryness, 0.0, 1.0), east = std::clamp(site.eastness, 0.0, 1.0);
    const double z = std::max(site.alt, 0.0);
    const double shift = lat >= 0 ? 0.0 : 182.5;  // the southern seasons run half a year later
    const double westerlies = gaussian(a, 50, 15);

    // Annual mean at sea level by latitude; oceanic west coasts milder, continental interiors
    // colder at high latitudes; then the standard lapse rate of 0.0065 K/m.
    const double poleward = std::max(0.0, a - 12);
    double annual = 27.0 - 0.40 * poleward - 0.0035 * poleward * poleward;
    annual += 8.0 * (1 - c) * westerlies * std::min(1.0, a / 60);
    annual -= 5.0 * c * std::min(1.0, (a / 70) * (a / 70));
    annual -= 0.0065 * z;
    // Seasonal amplitude grows with latitude and continentality; the sea delays the warmest month.
    const double amplitude = 0.5 + a * (0.13 + 0.22 * c);
    const double warmest = 212 - 20 * c + shift;
    const double wettestWinter = 15 + shift;

    DemoNormals n;
    Monthly wind2{};
    for (int m = 1; m <= 12; ++m) {
        const size_t i = static_cast<size_t>(m);
        const double day = 30.4 * m - 15.2;
        const double t = annual + amplitude * std::cos(2 * kPi * (day - warmest) / 365) + tOffset + tMonth[m];

        // Precipitation: the tropical rain belt following the sun (further over land, furthest in
        // the Asian monsoon), the storm tracks of the westerlies (winter rain by the sea, summer
        // rain inland), a background growing with the moisture the air can hold and shrinking
        // under the subtropical highs (most on the western sides of the continents, whose east
        // coasts get the moist return flow), all drier far from the sea and wetter on windward
        // slopes.
        const double season = std::sin(2 * kPi * (day - 120) / 365);
        const bool monsoon = season > 0 && site.lon >= 65 && site.lon <= 125;
        const double beltLat = 4 + (7 + 4 * c + (monsoon ? 10 : 0)) * season;
        const double tropical = (200 * gaussian(lat, beltLat, 7) + 60 * gaussian(lat, 0, 8)) * (1 - 0.25 * dry);
        const double holding = std::clamp(saturationVapourPressure(t) / saturationVapourPressure(15), 0.08, 1.6);
        const double winter = std::cos(2 * kPi * (day - wettestWinter) / 365);  // 1 in midwinter
        const double storms = 90 * gaussian(a, 50 - 6 * winter, 11) * (1 + 0.35 * (1 - 2 * c) * winter) *
                              (1 - 0.6 * dry) * std::sqrt(std::clamp(holding, 0.25, 1.0));
        const double subtropicalHigh = 0.9 * gaussian(a, 26, 9) * (1 - 0.8 * east * east);
        const double background = 40 * holding * (1 - 0.7 * dry) * (1 - subtropicalHigh);
        const double orography =
            std::min(1 + 0.00035 * z, 1.8) * std::exp(std::clamp(site.windwardRise / 1200, -0.7, 0.7));
        const double p = (tropical + storms + background) * orography * precFactor * pMonth[m];

        const double sun = std::clamp(0.8 - 0.5 * p / (p + 70) - 0.15 * westerlies * (1 - c) + sunOffset, 0.03, 0.92);
        // Clear skies and dry interiors give wide daily ranges; the mean lies midway.
        const double range = (4.5 + 9 * sun + 3 * c) * rangeFactor;
        const double tmax = t + range / 2, tmin = t - range / 2;
        // Humidity rises with rain and falls inland; the dew point never exceeds the minimum.
        const double humidity = std::clamp(0.48 + 0.4 * p / (p + 45) - 0.12 * dry + humidityOffset, 0.15, 0.95);
        const double vap = std::min(humidity * saturationVapourPressure(t), saturationVapourPressure(tmin));
        const double windSpeed =
            std::clamp((1.6 + 1.8 * (1 - c) + 1.3 * westerlies + 0.0004 * z) *
                           (1 + 0.15 * std::cos(2 * kPi * (day - wettestWinter) / 365)) * windFactor,
                       0.4, 9.0);

        n.temp[i] = rounded(t, 0.1);
        n.tmax[i] = rounded(tmax, 0.1);
        n.tmin[i] = rounded(tmin, 0.1);
        n.prec[i] = rounded(p, 0.1);
        n.vap[i] = rounded(vap, 0.1);
        n.sun[i] = rounded(sun, 0.01);
        n.wind[i] = rounded(windSpeed, 0.1);
        wind2[i] = static_cast<float>(windSpeed);
    }
    PenmanInputs in;
    in.lat = lat;
    in.alt = z;
    in.tmax = n.tmax;
    in.tmin = n.tmin;
    in.vap = n.vap;
    in.sun = n.sun;
    in.wind = wind2;
    const Monthly pet = referenceEvapotranspiration(in);
    for (int m = 1; m <= 12; ++m) n.pet[static_cast<size_t>(m)] = rounded(pet[static_cast<size_t>(m)], 0.1);
    return n;
}

DemoGeography::DemoGeography(const TerrainRaster& raster)
    : raster_(raster),
      nearest_(static_cast<size_t>(kCoarseColumns) * kCoarseRows, 0),
      west_(static_cast<size_t>(kCoarseColumns) * kCoarseRows, 0),
      east_(static_cast<size_t>(kCoarseColumns) * kCoarseRows, 0) {
    // Half-degree land mask: land where at least half of its 36 raster cells are land.
    std::vector<char> land(nearest_.size(), 0);
    for (int r = 0; r < kCoarseRows; ++r)
        for (int col = 0; col < kCoarseColumns; ++col) {
            int count = 0;
            for (int dr = 0; dr < 6; ++dr)
                for (int dc = 0; dc < 6; ++dc)
                    if (raster.byteAt(static_cast<long>(r * 6 + dr) * kTerrainColumns + col * 6 + dc) != 255) ++count;
            land[static_cast<size_t>(r) * kCoarseColumns + col] = count >= 18;
        }
    // Nearest sea: Dijkstra over the cells with their true east-west spacing.
    using Item = std::pair<float, size_t>;
    std::priority_queue<Item, std::vector<Item>, std::greater<>> queue;
    for (size_t k = 0; k < land.size(); ++k) {
        nearest_[k] = land[k] ? 1e9f : 0.0f;
        if (!land[k]) queue.emplace(0.0f, k);
    }
    while (!queue.empty()) {
        const auto [d, k] = queue.top();
        queue.pop();
        if (d > nearest_[k]) continue;
        const int r = static_cast<int>(k / kCoarseColumns), col = static_cast<int>(k % kCoarseColumns);
        for (int dr = -1; dr <= 1; ++dr)
            for (int dc = -1; dc <= 1; ++dc) {
                const int r2 = r + dr;
                if ((dr == 0 && dc == 0) || r2 < 0 || r2 >= kCoarseRows) continue;
                const int c2 = (col + dc + kCoarseColumns) % kCoarseColumns;
                const double midLat = 90 - 0.25 * (r + r2) - 0.25;  // between the two cell centres
                const double dx = kCellKm * std::cos(midLat * kPi / 180) * dc, dy = kCellKm * dr;
                const float next = d + static_cast<float>(std::sqrt(dx * dx + dy * dy));
                const size_t k2 = static_cast<size_t>(r2) * kCoarseColumns + c2;
                if (next < nearest_[k2]) {
                    nearest_[k2] = next;
                    queue.emplace(next, k2);
                }
            }
    }
    // Sea due west (east): walk each row eastwards (westwards) twice around the globe, counting
    // from the last sea cell.
    for (int r = 0; r < kCoarseRows; ++r) {
        const double dx = kCellKm * std::cos((90 - 0.5 * r - 0.25) * kPi / 180);
        double westRun = 2e4, eastRun = 2e4;  // a row without sea (the Antarctic interior)
        for (int pass = 0; pass < 2; ++pass)
            for (int step = 0; step < kCoarseColumns; ++step) {
                const size_t k = static_cast<size_t>(r) * kCoarseColumns + step;
                westRun = land[k] ? std::min(westRun + dx, 2e4) : 0.0;
                west_[k] = static_cast<float>(westRun);
                const size_t k2 = static_cast<size_t>(r) * kCoarseColumns + (kCoarseColumns - 1 - step);
                eastRun = land[k2] ? std::min(eastRun + dx, 2e4) : 0.0;
                east_[k2] = static_cast<float>(eastRun);
            }
    }
}

size_t DemoGeography::cellOf(double lon, double lat) const {
    int col = static_cast<int>(std::floor((lon + 180) * 2));
    int row = static_cast<int>(std::floor((90 - lat) * 2));
    col = (col % kCoarseColumns + kCoarseColumns) % kCoarseColumns;
    row = std::clamp(row, 0, kCoarseRows - 1);
    return static_cast<size_t>(row) * kCoarseColumns + col;
}

double DemoGeography::seaDistance(double lon, double lat) const { return nearest_[cellOf(lon, lat)]; }

double DemoGeography::westSeaDistance(double lon, double lat) const { return west_[cellOf(lon, lat)]; }

double DemoGeography::eastSeaDistance(double lon, double lat) const { return east_[cellOf(lon, lat)]; }

DemoSite DemoGeography::site(double lon, double lat, double alt) const {
    DemoSite s;
    s.lon = lon;
    s.lat = lat;
    s.alt = alt;
    // In the belt of the westerlies the air comes from the west: the sea upwind counts most.
    const double nearest = seaDistance(lon, lat), west = westSeaDistance(lon, lat);
    const double weight = 0.6 * gaussian(std::fabs(lat), 50, 15);
    const double effective = nearest + weight * std::max(0.0, west - nearest);
    s.continentality = 1 - std::exp(-effective / 900);
    s.dryness = 1 - std::exp(-nearest / 900);
    const double east = eastSeaDistance(lon, lat);
    s.eastness = west + east > 0 ? west / (west + east) : 0.5;
    const bool westerly = std::fabs(lat) >= 30 && std::fabs(lat) <= 65;
    const double step = 100 / (111.19 * std::max(std::cos(lat * kPi / 180), 0.05));
    double upLon = lon + (westerly ? -step : step);
    if (upLon < -180) upLon += 360;
    if (upLon > 180) upLon -= 360;
    int16_t isSea = 0;
    const double upwind =
        std::max<double>(raster_.altitude(static_cast<float>(upLon), static_cast<float>(lat), isSea), 0);
    s.windwardRise = std::max(alt, 0.0) - upwind;
    return s;
}

}  // namespace zentrel
