// Fuzz target: location files (2, 3 or 4 fields a line), and the grid generator on numbers
// taken from the input.
#include <cstddef>
#include <cstdint>
#include <cmath>
#include <cstring>
#include <string>

#include "error.h"
#include "locations/location_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    zentrel::Location working{"", 10, 45, 100};
    try {
        const auto result = zentrel::parseLocationText(text, [](float, float) { return 17.0f; }, working);
        for (const auto& row : result.rows) (void)zentrel::rowLocation(row);
    } catch (const zentrel::Error&) {
    }
    // A grid from the first 24 bytes (any floats, NaN and infinities included); only small
    // grids are generated so that a run stays quick.
    if (size >= 6 * sizeof(float)) {
        float v[6];
        std::memcpy(v, data, sizeof v);
        const zentrel::GridDefinition grid{v[0], v[1], v[2], v[3], v[4], v[5]};
        // An axis has about as many points as intervals (at most twice as many through the
        // single-precision counter); large counts are the slow but bounded path, not tried here.
        if (!(std::fabs(grid.lonIntervals) < 1e4f && std::fabs(grid.latIntervals) < 1e4f)) return 0;
        try {
            if (zentrel::gridPointCount(grid) <= 4000) (void)zentrel::gridLocations(grid, [](float, float) { return 0.0f; });
        } catch (const zentrel::Error&) {
        }
    }
    return 0;
}
