// The climate emulator of the demonstration database: plausible monthly normals of all eight
// variables for any land point from its latitude, altitude, distance from the sea and the
// terrain upwind, with station-level noise from a generator whose output never changes.
#pragma once

#include <cstdint>
#include <vector>

#include "base/types.h"
#include "data/terrain.h"

namespace zentrel {

/// Pseudo-random numbers that are the same on every machine and library version
/// (splitmix64; normal deviates by Box-Muller from our own uniform numbers).
class DemoRandom {
public:
    explicit DemoRandom(uint64_t seed) : state_(seed) {}
    uint64_t next();
    /// Uniform in [0, 1).
    double uniform();
    /// Standard normal deviate.
    double normal();

private:
    uint64_t state_;
    double spare_ = 0;
    bool hasSpare_ = false;
};

/// What the emulator needs to know of a place.
struct DemoSite {
    double lon = 0;             ///< degrees east
    double lat = 0;             ///< degrees north
    double alt = 0;             ///< m above sea level
    double continentality = 0;  ///< 0 on the coast of the open ocean .. 1 deep inside a continent,
                                ///< counting the sea upwind in the westerlies (for temperature)
    double dryness = 0;         ///< 0 by the sea .. 1 far from any sea (for moisture)
    double eastness = 0.5;      ///< 0 on a west coast .. 1 on an east coast, along the parallel
    double windwardRise = 0;    ///< m the terrain rises towards the site along the prevailing wind
                                ///< over the last 100 km (negative in a rain shadow)
};

/// Monthly normals, index 1..12.
struct DemoNormals {
    Monthly temp{}, tmax{}, tmin{}, prec{}, vap{}, pet{}, wind{}, sun{};
    const Monthly& of(int variable) const;
};

/// Normals of a site without noise when `noise` is null; with noise, the station-level
/// deviations (a site offset and small month-to-month deviations) are drawn from it.
/// Temperatures in °C, precipitation and PET in mm per month, vapour pressure in hPa,
/// wind at 2 m in m/s, sunshine fraction 0..1. Rounded to the decimals a station list
/// would give (0.1 °C, 0.1 mm, 0.1 hPa, 0.1 m/s, 0.01).
DemoNormals emulateNormals(const DemoSite& site, DemoRandom* noise);

/// Distance from the sea and terrain upwind, from the elevation raster.
class DemoGeography {
public:
    explicit DemoGeography(const TerrainRaster& raster);
    /// Site of (lon, lat) with altitude `alt`: continentality from the distance to the nearest
    /// sea and, in the belt of the westerlies, the distance to the sea westwards; windward rise
    /// from the raster 100 km upwind (westerlies at 30..65 degrees, easterlies elsewhere).
    DemoSite site(double lon, double lat, double alt) const;
    /// Distance to the nearest sea cell (km) and to the nearest sea cell due west (km).
    double seaDistance(double lon, double lat) const;
    double westSeaDistance(double lon, double lat) const;
    double eastSeaDistance(double lon, double lat) const;

private:
    const TerrainRaster& raster_;
    std::vector<float> nearest_;  // km, half-degree cells, row 0 at the North Pole
    std::vector<float> west_;
    std::vector<float> east_;
    size_t cellOf(double lon, double lat) const;
};

}  // namespace zentrel
