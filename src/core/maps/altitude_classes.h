// The altitude classes of the terrain maps (workbench regional map legend, world bitmap,
// elevation background map): labels and colours from the highest class down.
#pragma once

#include <span>
#include <string>

#include "maps/colour_table.h"

namespace zentrel {

struct AltitudeClass {
    int UpperBound;          ///< altitudes below this belong here (m); the top class has none
    const char* Label;       ///< legend text, with its leading blank
    Rgb LegendColour;
    Rgb MapColour;           ///< the colour painted on the map (differs for 3500 - 3999 m only)
};

/// The 23 land classes, highest first (" > 5000 m" .. " < 0 m"), as the legend lists them.
std::span<const AltitudeClass> altitudeClasses();

/// The sea class of the legend: " Sea", 0, 0, 160.
const AltitudeClass& seaClass();

/// The class of a land altitude in m: the first of h < 0, h < 100, ..., h < 5000 that holds,
/// otherwise " > 5000 m".
const AltitudeClass& altitudeClassOf(double altitude);

}  // namespace zentrel
