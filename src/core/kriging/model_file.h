// The kriging method's prepared models kept beside their database: what the method derives from
// a database (the stations' leave-one-out rows, the global coefficients, the stations it holds
// out), one file per variable, so that a later process reads it instead of deriving it again.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "base/types.h"
#include "kriging/kriging.h"

namespace zentrel {

/// "kriging-model-Temp.bin" and so on, in the data folder.
std::string krigingModelPath(const std::string& dataFolder, int variable);

/// What a prepared model is made from, as one number: the stations it is fitted on (positions,
/// altitudes and monthly values of `stations`, and of `others` where they matter: the other
/// temperature for Tmax and Tmin), the elevation raster (its checksum), the neighbour selection
/// (`settingsFingerprint`) and the source of the code that derives it. A file whose key differs
/// is never used, whatever its date or folder.
uint64_t krigingContentKey(int variable, const std::vector<Station>& stations, const std::vector<Station>& others,
                           uint64_t rasterSum, uint64_t settingsFingerprint);

/// The parts of a model the file keeps.
struct PreparedKriging {
    std::vector<KrigingRow> rows;
    std::array<std::array<float, kMaxCovariates>, 12> global{};
    std::vector<std::pair<float, float>> held;  ///< positions of the stations held out (lon, lat)
    double gridStep = 0;                         ///< the row work's grid (see RowGrid)
    RowLayout layout;
    std::vector<int32_t> nodes;
    std::vector<float> packed;                   ///< layout.floats() numbers a node
    /// The covariates, sea proximity and altitude of every station of the variable, in the
    /// database's order (what an estimate looks up for its neighbours).
    std::vector<KrigingModel::StationTerrain> known;
};

/// Reads the prepared model at `path` when it is a regular file whose key is `key` and whose
/// content is whole (length and checksum of everything after the header); nothing otherwise.
/// Never throws: a missing, damaged, stale or special file only means the model is derived anew.
bool readKrigingModel(const std::string& path, uint64_t key, PreparedKriging& out);

/// Writes the prepared model to `path`, replaced whole (a reader sees the old file or the new
/// one). False when it cannot be written (a read-only folder): the model then lives in memory.
bool writeKrigingModel(const std::string& path, uint64_t key, const PreparedKriging& model) noexcept;

/// Derives and keeps beside the database the model of every variable it holds stations of, at
/// the default neighbour selection (what an import does last, so that the first estimate needs
/// no derivation). Models already kept and current are only read. Throws Error as the station
/// files' reading does.
void prepareKrigingModels(const std::string& dataFolder);

}  // namespace zentrel
