// Estimates of one variable at many locations on several threads, each thread with an engine of
// its own over one shared station database. Knows nothing of Python.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "data/station_database.h"
#include "data/terrain.h"
#include "python/quantities.h"
#include "settings/program_settings.h"

namespace zentrel {
class ElevationModel;
}  // namespace zentrel

namespace zentrel::python {

/// The locations: lon, lat in decimal degrees (checked by the caller); alts in m, or null to take
/// every altitude from `raster`; a NaN altitude also takes the raster's.
struct ManyLocations {
    const double* lons = nullptr;
    const double* lats = nullptr;
    const double* alts = nullptr;
    size_t count = 0;
};

/// Where the results go: one block of count x 13 floats per quantity (row i = location i), and
/// the number of active neighbours per location when `activeCount` is not null.
struct ManyOutput {
    std::vector<Quantity> quantities;
    std::vector<float*> blocks;
    int16_t* activeCount = nullptr;
};

struct ManyJob {
    const ProgramSettings* settings = nullptr;
    std::string folder;
    std::shared_ptr<const StationDatabase> database;
    const TerrainRaster* raster = nullptr;  ///< needed when an altitude is missing
    std::shared_ptr<const ElevationModel> dem;  ///< the user's, before the raster (null: none)
    int variable = 0;
    float k = 1.645f;                       ///< confidence factor of Low and High
    unsigned threads = 0;                   ///< 0 = all cores
};

/// Runs the estimates; every location gets exactly the values a fresh engine gives it alone
/// (a location without active neighbours gets zeros). `poll` is called on the calling thread
/// about ten times a second while the workers run; when it returns false the workers stop after
/// their current location and the function returns false. Throws the Error of the first
/// location (in list order) whose estimate failed.
bool estimateMany(const ManyJob& job, const ManyLocations& locations, ManyOutput& out,
                  const std::function<bool()>& poll);

/// Threads a job would use for `count` locations.
unsigned threadsFor(unsigned requested, size_t count);

}  // namespace zentrel::python
