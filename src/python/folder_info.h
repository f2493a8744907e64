// What a data folder holds: the variables with their stations, for Database.info().
#pragma once

#include <array>
#include <string>

#include "data/station_database.h"
#include "engine/types.h"

namespace zentrel::python {

struct VariableHoldings {
    int stations = 0;  ///< distinct stations (a station in several band files counts once)
    int files = 0;     ///< station files present
};

struct FolderDescription {
    std::string folder;
    bool demonstration = false;
    bool elevation = false;  ///< the elevation raster is there
    std::array<VariableHoldings, kVariableCount> variables{};
};

/// Reads every station file of the folder (through `database`, which keeps them). Throws Error
/// for a malformed station file, with the message an estimate would give.
FolderDescription describeFolder(const StationDatabase& database);

}  // namespace zentrel::python
