// Decoding of quantized, delta-coded topology arcs.
#include "maps/topology.h"

#include "error.h"

namespace zentrel {

Ring decodeArc(const QuantizedArc& arc, const TopologyTransform& transform) {
    Ring ring;
    ring.reserve(arc.size());
    int64_t x = 0, y = 0;
    for (const auto& delta : arc) {
        x += delta[0];
        y += delta[1];
        ring.push_back({static_cast<double>(x) * transform.scaleLon + transform.translateLon,
                        static_cast<double>(y) * transform.scaleLat + transform.translateLat});
    }
    return ring;
}

Ring assembleRing(const std::vector<int64_t>& arcIndexes, const std::vector<Ring>& arcs) {
    Ring ring;
    for (const int64_t index : arcIndexes) {
        const bool reversed = index < 0;
        const int64_t arcNumber = reversed ? ~index : index;
        if (arcNumber >= static_cast<int64_t>(arcs.size()))
            throw Error("Arc " + std::to_string(index) + " of a ring does not exist (the topology has " +
                        std::to_string(arcs.size()) + " arcs).");
        const Ring& arc = arcs[static_cast<size_t>(arcNumber)];
        const size_t n = arc.size();
        for (size_t k = 0; k < n; ++k) {
            if (k == 0 && !ring.empty()) continue;  // shared with the end of the previous arc
            ring.push_back(reversed ? arc[n - 1 - k] : arc[k]);
        }
    }
    return ring;
}

}  // namespace zentrel
