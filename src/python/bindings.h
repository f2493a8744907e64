// The pieces of the compiled module _zentrel, each registered by its own file.
#pragma once

#include <pybind11/pybind11.h>

#include <memory>
#include <mutex>
#include <string>

#include "base/types.h"
#include "data/data_info.h"
#include "data/station_database.h"
#include "data/terrain.h"
#include "settings/argument_checks.h"
#include "settings/program_settings.h"

namespace zentrel::python {

namespace py = pybind11;

}  // namespace zentrel::python

namespace zentrel {
class ElevationModel;
}  // namespace zentrel

namespace zentrel::python {

/// What one data folder held when it was read: the station files (read on first use and
/// kept), the elevation raster (read on the first location without an altitude) and the
/// description. Never changes once made, so a call that took it sees one database throughout.
class FolderContents {
public:
    explicit FolderContents(const std::string& folder);

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

/// One data folder opened for estimates. A long-lived program sees one database at a time:
/// when the folder was replaced (an import switches a new one in under the same name), gained
/// or lost a file, or a station file changed since it was read, the next call reads everything
/// again; a call already running finishes on what it started with. Safe to use from several
/// Python threads.
class Database {
public:
    explicit Database(const std::string& folder);

    const std::string& folder() const { return folder_; }
    /// The folder's contents as they are now on disk; take it once per call.
    std::shared_ptr<const FolderContents> current() const;

private:
    struct Stamp {
        unsigned long long device = 0, inode = 0;
        long long seconds = 0, nanoseconds = 0;
        bool operator==(const Stamp&) const = default;
    };
    static Stamp stampOf(const std::string& folder);

    std::string folder_;
    mutable std::mutex mutex_;
    mutable Stamp stamp_;
    mutable std::shared_ptr<const FolderContents> contents_;
};

/// One variable's estimate as Python sees it: the engine's record and the level of Low/High.
struct Result {
    VariableResult value;
    int level = 90;
};

/// A number argument of Python (int, float, numpy scalar) within the command line's range of
/// `argument`; ArgumentError "threads must be 0..8, got 100000" otherwise.
double numberArgument(Argument argument, py::handle value);

/// The dem= argument: None (null) or the path (str or os.PathLike) of the user's elevation
/// model, opened once and kept while the same file is asked for again. Error (DataError) when
/// it cannot be read.
std::shared_ptr<const ElevationModel> elevationModelArgument(py::handle dem);
/// A confidence level 90, 95 or 99 given as any Python number.
int levelArgument(py::handle value);

/// The settings of a request: the method and the settings keywords (notes become warnings).
/// Throws ArgumentError.
ProgramSettings requestSettings(const std::string& method, const py::kwargs& kwargs);

void bindResult(py::module_& m);
void bindGrid(py::class_<Database>& c);
void bindDatabase(py::module_& m);
void bindSeason(py::module_& m);
void bindDataLookup(py::module_& m);

}  // namespace zentrel::python
