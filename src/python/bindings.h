// The pieces of the compiled module _zentrel, each registered by its own file.
#pragma once

#include <pybind11/pybind11.h>

#include <memory>
#include <mutex>
#include <string>

#include "data/station_database.h"
#include "data/terrain.h"
#include "engine/types.h"
#include "data/data_info.h"
#include "settings/program_settings.h"

namespace zentrel::python {

namespace py = pybind11;

/// One data folder opened for estimates: the station files are read on first use and kept,
/// the elevation raster is read on the first location without an altitude. Safe to use from
/// several Python threads.
class Database {
public:
    explicit Database(const std::string& folder);

    const std::string& folder() const { return folder_; }
    const std::shared_ptr<StationDatabase>& stations() const { return stations_; }
    bool demonstration() const { return demonstration_; }
    /// The elevation raster, read once. Throws Error when it is missing.
    const TerrainRaster& raster() const;
    /// The folder's holdings, read once.
    const DataInfo& description() const;

private:
    std::string folder_;
    std::shared_ptr<StationDatabase> stations_;
    bool demonstration_ = false;
    mutable std::mutex mutex_;
    mutable std::unique_ptr<TerrainRaster> raster_;
    mutable std::unique_ptr<DataInfo> description_;
};

/// One variable's estimate as Python sees it: the engine's record and the level of Low/High.
struct Result {
    VariableResult value;
    int level = 90;
};

/// The settings of a request: the method and the settings keywords (notes become warnings).
/// Throws ArgumentError.
ProgramSettings requestSettings(const std::string& method, const py::kwargs& kwargs);

void bindResult(py::module_& m);
void bindGrid(py::class_<Database>& c);
void bindDatabase(py::module_& m);
void bindSeason(py::module_& m);

}  // namespace zentrel::python
