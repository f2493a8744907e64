// The continent of a position, for grouping validation results.
#pragma once

#include <array>

namespace zentrel {

enum Continent : int { Africa = 0, Antarctica, Asia, Europe, NorthAmerica, Oceania, SouthAmerica };
inline constexpr int kContinentCount = 7;
/// "Africa", "Antarctica", ... indexed by Continent.
extern const std::array<const char*, kContinentCount> kContinentNames;

/// Continent of a point (lon, lat in decimal degrees). Derived from the position, not from the
/// station's country text: the country field is free text in many spellings, while a few
/// coarse boxes place nearly every station right. Islands go with the nearest continent
/// (Iceland and the Azores Europe, Greenland North America, the Pacific islands Oceania).
Continent continentOf(float lon, float lat);

}  // namespace zentrel
