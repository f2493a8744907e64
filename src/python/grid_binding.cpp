// Database._grid_file: the surface of `zentrel raster` written as its netCDF file, from which
// Database.grid() reads its Dataset, so that the grid has the command line's cells, names,
// units and attributes by construction.
#include <pybind11/stl.h>

#include <thread>

#include "data/data_folder.h"
#include "data/station_database.h"
#include "error.h"
#include "feedback.h"
#include "maps/climate_surface.h"
#include "maps/map_folder.h"
#include "maps/raster_export.h"
#include "maps/surface_files.h"
#include "python/bindings.h"
#include "python/estimate_request.h"
#include "worker_threads.h"

namespace zentrel::python {

namespace {

struct GridRequest {
    std::vector<double> bbox;  // west, south, east, north
    std::string res;
    std::string var;
    std::vector<int> periods;
    std::vector<std::string> quantities;
    std::string method;
    int level = 90;
    int threads = 0;
    bool sea = false;
    std::shared_ptr<const ElevationModel> dem;  // the user's elevation model, or null
};

void writeGrid(const Database& db, const std::string& path, const GridRequest& g, const ProgramSettings& settings) {
    const int variable = parseVariable(g.var);
    const auto contents = db.current();  // one database for the whole grid
    if (!holdsVariable(db.folder(), variable))
        throw Error(missingVariableMessage(variable) + "; add them with zentrel data import-csv.");
    if (g.bbox.size() != 4) throw ArgumentError{"bbox takes four numbers: west, south, east, north."};
    const double west = g.bbox[0], south = g.bbox[1], east = g.bbox[2], north = g.bbox[3];
    if (!(west >= -180 && west <= 180 && east >= -180 && east <= 180) || !(south >= -90 && north <= 90))
        throw ArgumentError{"bbox takes longitudes in -180..180 and latitudes in -90..90 (west > east crosses the date line)."};
    const auto resolution = parseAngle(g.res);
    if (!resolution)
        throw ArgumentError{"res must be a positive number of degrees, or of arc-minutes or arc-seconds such as \"5m\" or \"30s\"."};
    SurfaceLayout layout;
    layout.Variable = variable;
    layout.Periods = g.periods;
    layout.ConfidenceLevel = g.level;
    layout.ConfidenceFactor = confidenceFactor(g.level);
    std::string names;
    for (const std::string& q : g.quantities) names += (names.empty() ? "" : ",") + q;
    try {
        layout.Quantities = parseQuantities(names);
    } catch (const Error& e) {
        throw ArgumentError{std::string("quantities: ") + e.what()};
    }
    SurfaceGrid grid;
    try {
        grid = surfaceGrid(west, south, east, north, *resolution);
    } catch (const Error& e) {
        throw ArgumentError{e.what()};
    }
    const SurfaceMetadata metadata = surfaceMetadata(layout, settings, contents->description());
    // The land of the command line: the first map of the map folder (the one beside the data
    // folder: the module has no program folder of its own); without one, or with sea=True, the
    // elevation raster decides (every cell with sea=True).
    std::optional<ImgRaster> mask;
    if (!g.sea)
        if (const std::string folder = locateMapFolder("", db.folder()); !folder.empty())
            if (const auto maps = listUsableMaps(folder); !maps.empty()) mask = readImg(maps.front().Img);
    const TerrainRaster& terrain = contents->raster();
    const LandFunction land = [&](double lon, double lat) {
        if (g.sea) return true;
        int16_t isSea = 0;
        terrain.altitude(static_cast<float>(lon), static_cast<float>(lat), isSea);
        return isSea == 0;
    };

    const int threads = static_cast<int>(workerThreadsFor(static_cast<unsigned>(g.threads)));
    RasterCellEstimator estimator(settings, contents->folder(), contents->stations(), variable, 13, threads);
    if (g.dem) estimator.useElevationModel(g.dem, grid.CellWidth, grid.CellHeight);
    SurfaceNetCdfWriter writer(path, grid, layout, metadata);
    // Ctrl-C in the interpreter stops the run; signals are only seen on the calling thread.
    Feedback feedback;
    bool interrupted = false;
    const std::thread::id caller = std::this_thread::get_id();
    feedback.onProgress = [&](long long, long long) {
        if (std::this_thread::get_id() != caller) return;
        py::gil_scoped_acquire locked;
        if (PyErr_CheckSignals() != 0) {
            interrupted = true;
            feedback.cancel();
        }
    };
    const CellEstimateFunction estimate = [&estimator](int worker, double lon, double lat) {
        return estimator.estimateCell(worker, lon, lat);
    };
    long long done = 0;
    {
        py::gil_scoped_release unlocked;
        done = mask ? computeSurface(grid, {0, grid.Rows}, layout, *mask, estimate, threads, writer, &feedback)
                    : computeSurface(grid, {0, grid.Rows}, layout, land, estimate, threads, writer, &feedback);
    }
    if (interrupted) throw py::error_already_set();
    if (done >= 0) writer.finish();
}

}  // namespace

void bindGrid(py::class_<Database>& c) {
    c.def(
        "_grid_file",
        [](const Database& db, const std::string& path, std::vector<double> bbox, const std::string& res,
           const std::string& var, std::vector<int> periods, std::vector<std::string> quantities,
           const std::string& method, py::handle level, py::handle threads, bool sea, py::handle dem,
           const py::kwargs& kwargs) {
            // Checked as the command line checks them.
            GridRequest g{std::move(bbox), res, var, std::move(periods), std::move(quantities), method,
                          levelArgument(level), static_cast<int>(numberArgument(Argument::Threads, threads)), sea,
                          elevationModelArgument(dem)};
            const ProgramSettings settings = requestSettings(method, kwargs);
            // One database for the whole grid: one exchanged by an import while the grid was
            // made is made again on the new one.
            for (int attempt = 1;; ++attempt) {
                try {
                    writeGrid(db, path, g, settings);
                    break;
                } catch (const DatabaseReplaced&) {
                    if (attempt == 3) throw;
                }
            }
        },
        py::arg("path"), py::arg("bbox"), py::arg("res"), py::arg("var"), py::arg("periods"), py::arg("quantities"),
        py::arg("method"), py::arg("level"), py::arg("threads"), py::arg("sea"), py::arg("dem"),
        "Writes the surface of `zentrel raster` as its netCDF file at path (Database.grid reads it).");
}

}  // namespace zentrel::python
