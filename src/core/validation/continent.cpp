// Coarse continent boxes: good for summary statistics, not for borders.
#include "validation/continent.h"

namespace zentrel {

const std::array<const char*, kContinentCount> kContinentNames = {
    "Africa", "Antarctica", "Asia", "Europe", "North America", "Oceania", "South America"};

namespace {
// Africa south of the Mediterranean and west of the Red Sea and the Suez canal.
bool inAfrica(float lon, float lat) {
    if (lon < -26 || lon >= 52) return lat < 0 && lon >= 52 && lon < 75;  // Mauritius, Seychelles
    if (lat < 12) return true;
    if (lat < 31.7f) {
        // The Red Sea coast runs from Djibouti (43.3 E, 12 N) to Suez (32.5 E, 30 N).
        const float redSea = lat < 30 ? 43.3f - (lat - 12.0f) * 10.8f / 18.0f : 32.5f;
        return lon < redSea;
    }
    if (lat >= 37.5f || lon < -18 || lon >= 32.5f) return false;
    // The Mediterranean coast: the Strait of Gibraltar, the Maghreb, Libya, Egypt.
    if (lon < -1.5f) return lat < 35.95f;
    if (lon < 11.5f) return lat < 37.4f;
    if (lon < 25.5f) return lat < 33.5f;
    return lat < 31.7f;
}
}  // namespace

Continent continentOf(float lon, float lat) {
    if (lat < -60) return Antarctica;
    if (lon < -10 && lon >= -32 && lat > 59) return lon > -25 && lat < 67.5f ? Europe : NorthAmerica;  // Iceland, Greenland
    if (lon < -32) {
        if (lon < -140 && lat < 30) return Oceania;  // Hawaii and the eastern Pacific islands
        // The isthmus of Panama: Colombia begins east of about 77.5 W.
        return lat > 13 || (lat > 7 && lon < -77.5f) ? NorthAmerica : SouthAmerica;
    }
    if (lon >= 141 && lat < 20) return Oceania;  // New Guinea and the western Pacific
    if (lon >= 110 && lat < -10) return Oceania;  // Australia, New Zealand
    if (inAfrica(lon, lat)) return Africa;
    // Europe: west of the Urals, the Ural river and the Caucasus; Anatolia is Asia.
    if (lon < 60 && lat >= 34.5f) {
        if (lon >= 26 && lat < 41.2f) return Asia;
        if (lon >= 40 && lat < 43.5f) return Asia;
        if (lon >= 50 && lat < 51) return Asia;
        return Europe;
    }
    return Asia;
}

}  // namespace zentrel
