// Decoding of topology vector data (quantized, delta-coded arcs shared between polygons) into
// plain rings of longitude/latitude points. The JSON parsing stays with the caller.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace zentrel {

/// A point in decimal degrees, longitude first.
struct LonLat {
    double lon = 0;
    double lat = 0;
    bool operator==(const LonLat&) const = default;
};

using Ring = std::vector<LonLat>;

/// Quantization transform of a topology: position = quantized * scale + translate.
struct TopologyTransform {
    double scaleLon = 1, scaleLat = 1;
    double translateLon = 0, translateLat = 0;
};

/// One arc as stored: the first position absolute, each following one a difference to the
/// one before, all in quantized units.
using QuantizedArc = std::vector<std::array<int64_t, 2>>;

/// Undoes the delta coding and the quantization of one arc.
Ring decodeArc(const QuantizedArc& arc, const TopologyTransform& transform);

/// Joins arcs into one ring. An index i >= 0 takes arc i as stored, a negative index ~i takes
/// arc i reversed. The first point of every arc after the first repeats the last point of the
/// one before it and is left out. Throws Error when an index is out of range.
Ring assembleRing(const std::vector<int64_t>& arcIndexes, const std::vector<Ring>& arcs);

}  // namespace zentrel
