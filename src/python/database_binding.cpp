// zentrel.Database: a data folder opened for estimates, one location at a time or many at once
// on all cores with the interpreter lock released.
#include <pybind11/numpy.h>
#include <sys/stat.h>
#include <pybind11/stl.h>

#include <cmath>
#include <filesystem>
#include <mutex>
#include <optional>

#include "data/data_folder.h"
#include "data/data_info.h"
#include "data/elevation_model.h"
#include "error.h"
#include "engine/engine.h"
#include "python/bindings.h"
#include "python/estimate_many.h"
#include "python/estimate_request.h"

namespace zentrel::python {

FolderContents::FolderContents(const std::string& folder) : folder_(folder) {
    requireDataFolder(folder_);
    stations_ = std::make_shared<StationDatabase>(folder_);
    demonstration_ = isDemonstrationData(folder_);
}

const TerrainRaster& FolderContents::raster() const {
    std::lock_guard lock(mutex_);
    if (!raster_) raster_ = std::make_unique<TerrainRaster>(folder_);
    return *raster_;
}

const DataInfo& FolderContents::description() const {
    std::lock_guard lock(mutex_);
    if (!description_) description_ = std::make_unique<DataInfo>(describeDataFolder(folder_));
    return *description_;
}

// A folder of no stations at all is refused at once, as `zentrel validate` refuses it, rather
// than at the first estimate.
Database::Database(const std::string& folder) : folder_(folder) {
    current();
    if (!holdsAnyStationFile(folder_))
        throw Error("The data folder " + folder_ + " holds the normals of no variable: there is nothing to estimate from; "
                "add stations with zentrel data import-csv.");
}

Database::Stamp Database::stampOf(const std::string& folder) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0) return {};
    return {static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino),
            static_cast<long long>(st.st_mtim.tv_sec), static_cast<long long>(st.st_mtim.tv_nsec)};
}

std::shared_ptr<const FolderContents> Database::current() const {
    std::lock_guard lock(mutex_);
    const Stamp now = stampOf(folder_);
    // The folder's inode changes when an import switches a new database in; its time when a
    // file comes or goes; a station file edited in place shows in its own size and time.
    if (!contents_ || !(now == stamp_) || contents_->stations()->changedOnDisk()) {
        contents_ = std::make_shared<const FolderContents>(folder_);
        stamp_ = now;
    }
    return contents_;
}

namespace {

void warn(const std::string& text) {
    if (PyErr_WarnEx(PyExc_UserWarning, text.c_str(), 1) < 0) throw py::error_already_set();
}

// A settings keyword's value as the text a settings box would hold.
std::string settingText(py::handle value) {
    if (py::isinstance<py::bool_>(value)) return value.cast<bool>() ? "1" : "0";
    if (PyLong_Check(value.ptr())) return py::str(value).cast<std::string>();
    if (PyNumber_Check(value.ptr()) && !PyComplex_Check(value.ptr())) {
        const double d = py::float_(py::reinterpret_borrow<py::object>(value)).cast<double>();
        // 20.0 is the integer 20, as a user means it; other values in their shortest form.
        if (std::isfinite(d) && d == std::floor(d) && std::fabs(d) < 1e15) return std::to_string(static_cast<long long>(d));
        return py::repr(py::float_(d)).cast<std::string>();
    }
    return "";  // no number: refused by the setting's check, which shows the value
}

}  // namespace

ProgramSettings requestSettings(const std::string& method, const py::kwargs& kwargs) {
    std::vector<SettingValue> values;
    for (const auto& [key, value] : kwargs) {
        const std::string name = key.cast<std::string>();
        const std::string shown = py::repr(value).cast<std::string>();
        // The rule of the command line: a number is a number, never the text of one ('20.0'),
        // and True is a switch's value, not a count of stations. Either is refused by the
        // setting's own check, which shows the value.
        const bool isSwitch = name == "neighb_alt" || name == "alt_corr" || name == "grad_corr";
        if (py::isinstance<py::str>(value) || (!isSwitch && py::isinstance<py::bool_>(value))) {
            values.push_back({name, "", shown});
            continue;
        }
        values.push_back({name, settingText(value), shown});
    }
    std::vector<std::string> notes;
    ProgramSettings settings = makeSettings(method, values, notes);
    for (const std::string& note : notes) warn("note: " + note);
    return settings;
}

namespace {

// As the command line: a variable the database holds no normals of is refused, not estimated
// as zeros.
void requireVariable(const Database& db, int variable) {
    if (!holdsVariable(db.folder(), variable))
        throw Error(missingVariableMessage(variable) + "; add them with zentrel data import-csv.");
}

std::string shown(double value) { return py::repr(py::float_(value)).cast<std::string>(); }

// One element of an array argument: "lons[3] must be -180..180, got 200.0".
void checkElement(Argument argument, const char* name, size_t index, double value) {
    if (acceptsArgument(argument, value)) return;
    std::string message = keywordProblem(argument, value, shown(value));
    message.replace(0, message.find(' '), std::string(name) + "[" + std::to_string(index) + "]");
    throw ArgumentError{message};
}

Result estimateOne(const Database& db, py::handle lonIn, py::handle latIn, py::handle altIn, const std::string& var,
                   const std::string& method, py::handle levelIn, py::handle demIn, const py::kwargs& kwargs) {
    // Numbers of any Python kind, shown as the caller wrote them when refused.
    const double lon = numberArgument(Argument::Lon, lonIn), lat = numberArgument(Argument::Lat, latIn);
    std::optional<double> alt;
    if (!altIn.is_none()) alt = numberArgument(Argument::Alt, altIn);
    const int variable = parseVariable(var);
    const int level = levelArgument(levelIn);
    requireVariable(db, variable);
    const ProgramSettings settings = requestSettings(method, kwargs);
    const std::shared_ptr<const ElevationModel> dem = elevationModelArgument(demIn);
    Location location{"", static_cast<float>(lon), static_cast<float>(lat), 0};
    if (!alt && dem) {
        const std::optional<float> own = dem->altitude(lon, lat);
        if (!own) throw Error("The point lies outside the elevation model " + dem->path() + " or on its no-data: give alt=.");
        alt = *own;
    }
    Result result;
    result.level = level;
    int16_t isSea = 0;
    {
        py::gil_scoped_release unlocked;
        // A database exchanged by an import while this call read it: again on the new one.
        for (int attempt = 1;; ++attempt) {
            try {
                const auto folder = db.current();
                location.Alt = alt ? static_cast<float>(*alt) : folder->raster().altitude(location.Lon, location.Lat, isSea);
                Engine engine(settings, folder->folder(), folder->stations());
                result.value = engine.Run(variable, location);
                break;
            } catch (const DatabaseReplaced&) {
                if (attempt == 3) throw;
            }
        }
    }
    if (isSea) warn("note: the point is sea in the elevation raster; altitude 0 m is used.");
    return result;
}

// A numeric argument as a C-ordered array of doubles of any shape.
// Whole or real numbers only: a complex array would lose its imaginary part with no more than
// numpy's warning, and booleans or texts are no positions.
py::array_t<double, py::array::c_style | py::array::forcecast> doubles(py::handle values, const char* name) {
    const py::array raw = py::array::ensure(values);
    if (!raw) throw ArgumentError{std::string(name) + " must be an array of numbers."};
    const char kind = raw.dtype().kind();
    if (kind != 'i' && kind != 'u' && kind != 'f')
        throw ArgumentError{std::string(name) + " must be an array of " + (kind == 'c' ? "real numbers" : "numbers") + ", not of " +
                            py::str(raw.dtype()).cast<std::string>() + "."};
    auto array = py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(raw);
    if (!array) throw ArgumentError{std::string(name) + " must be an array of numbers."};
    return array;
}

py::dict manyEstimates(const Database& db, py::handle lonsIn, py::handle latsIn, py::handle altsIn, const std::string& var,
                      const std::string& method, py::handle quantitiesIn, py::handle levelIn,
                      py::handle threadsIn, py::handle demIn, const py::kwargs& kwargs) {
    auto lons = doubles(lonsIn, "lons");
    auto lats = doubles(latsIn, "lats");
    const std::vector<py::ssize_t> shape(lons.shape(), lons.shape() + lons.ndim());
    if (std::vector<py::ssize_t>(lats.shape(), lats.shape() + lats.ndim()) != shape)
        throw ArgumentError{"lons and lats must have the same shape."};
    // (A default array_t is an empty array, not a null one: the optional says whether alts came.)
    std::optional<py::array_t<double, py::array::c_style | py::array::forcecast>> alts;
    if (!altsIn.is_none()) {
        alts = doubles(altsIn, "alts");
        if (std::vector<py::ssize_t>(alts->shape(), alts->shape() + alts->ndim()) != shape)
            throw ArgumentError{"alts must be None or have the shape of lons and lats."};
    }
    const size_t count = static_cast<size_t>(lons.size());
    const double* lon = lons.data();
    const double* lat = lats.data();
    for (size_t i = 0; i < count; ++i) {
        checkElement(Argument::Lon, "lons", i, lon[i]);
        checkElement(Argument::Lat, "lats", i, lat[i]);
        // NaN: the altitude from the elevation raster.
        if (alts && !std::isnan(alts->data()[i])) checkElement(Argument::Alt, "alts", i, alts->data()[i]);
    }
    const int variable = parseVariable(var);
    const int level = levelArgument(levelIn);
    requireVariable(db, variable);
    const auto threads = static_cast<unsigned>(numberArgument(Argument::Threads, threadsIn));
    // One name alone or a sequence of names.
    std::vector<std::string> quantities;
    if (py::isinstance<py::str>(quantitiesIn)) {
        quantities.push_back(quantitiesIn.cast<std::string>());
    } else {
        try {
            quantities = quantitiesIn.cast<std::vector<std::string>>();
        } catch (const py::cast_error&) {
            throw ArgumentError{"quantities must be a quantity name or a sequence of them."};
        }
    }
    if (quantities.empty()) throw ArgumentError{"quantities must name at least one quantity."};
    ManyOutput out;
    bool wantActive = false;
    std::vector<std::string> names;
    for (const std::string& q : quantities) {
        if (q == "active_count") wantActive = true;
        else out.quantities.push_back(parseQuantity(q));
        names.push_back(q);
    }
    const ProgramSettings settings = requestSettings(method, kwargs);

    std::vector<py::ssize_t> blockShape = shape;
    blockShape.push_back(13);
    std::vector<py::array_t<float>> blocks;
    for (size_t q = 0; q < out.quantities.size(); ++q) {
        blocks.emplace_back(blockShape);
        out.blocks.push_back(blocks.back().mutable_data());
    }
    py::array_t<int16_t> active(shape);
    if (wantActive) out.activeCount = active.mutable_data();

    ManyJob job;
    job.settings = &settings;
    job.variable = variable;
    job.k = confidenceFactor(level);
    job.threads = threads;
    job.dem = elevationModelArgument(demIn);
    ManyLocations at{lon, lat, alts ? alts->data() : nullptr, count};
    bool interrupted = false;
    if (count > 0) {
        py::gil_scoped_release unlocked;
        bool needRaster = !at.alts;
        for (size_t i = 0; at.alts && i < count && !needRaster; ++i) needRaster = std::isnan(at.alts[i]);
        // Ctrl-C in the interpreter stops the workers after their current location.
        const auto poll = [&interrupted] {
            py::gil_scoped_acquire locked;
            if (PyErr_CheckSignals() != 0) interrupted = true;
            return !interrupted;
        };
        // Every location from one database object: one exchanged by an import while the call
        // read it starts the whole call again on the new database.
        for (int attempt = 1;; ++attempt) {
            try {
                const auto folder = db.current();
                job.folder = folder->folder();
                job.database = folder->stations();
                job.raster = needRaster ? &folder->raster() : nullptr;
                python::estimateMany(job, at, out, poll);
                break;
            } catch (const DatabaseReplaced&) {
                if (attempt == 3 || interrupted) throw;
            }
        }
    }
    if (interrupted) throw py::error_already_set();
    py::dict result;
    size_t next = 0;
    for (const std::string& q : names) {
        if (q == "active_count") result[q.c_str()] = active;
        else result[q.c_str()] = blocks[next++];
    }
    return result;
}

// What `zentrel data info --json` prints, as a dict.
py::object info(const Database& db) {
    std::string json;
    {
        py::gil_scoped_release unlocked;
        json = formatDataInfoJson(db.current()->description());
    }
    return py::module_::import("json").attr("loads")(json);
}

}  // namespace

std::shared_ptr<const ElevationModel> elevationModelArgument(py::handle dem) {
    if (dem.is_none()) return nullptr;
    std::string path;
    try {
        path = py::module_::import("os").attr("fspath")(dem).cast<std::string>();
    } catch (const py::error_already_set&) {
        throw ArgumentError{"dem must be the path of an elevation model (a str or os.PathLike), or None."};
    }
    // The last model asked for stays open: estimate() in a loop reads the file once.
    static std::mutex mutex;
    static std::shared_ptr<const ElevationModel> last;
    static std::filesystem::file_time_type lastTime;
    std::error_code ec;
    const auto time = std::filesystem::last_write_time(path, ec);
    std::lock_guard lock(mutex);
    if (!last || last->path() != path || time != lastTime) {
        last = nullptr;
        last = std::make_shared<const ElevationModel>(path);
        lastTime = time;
    }
    return last;
}

double numberArgument(Argument argument, py::handle value) {
    double number = std::nan("");
    // True and False are numbers to Python (1 and 0), not to a caller who meant a position.
    if (PyNumber_Check(value.ptr()) && !PyComplex_Check(value.ptr()) && !py::isinstance<py::str>(value) &&
        !PyBool_Check(value.ptr()))
        number = py::float_(py::reinterpret_borrow<py::object>(value)).cast<double>();
    return checkArgument(argument, number, py::repr(value).cast<std::string>());
}

int levelArgument(py::handle value) { return static_cast<int>(numberArgument(Argument::Level, value)); }

void bindDatabase(py::module_& m) {
    auto c = py::class_<Database>(m, "Database", "A data folder opened for estimates.");
    c.def(py::init<const std::string&>(), py::arg("path"),
          "path: the data folder; None takes default_data_folder(). DataError when it does not exist.");
    c.def_property_readonly("path", &Database::folder, "The data folder.");
    c.def_property_readonly(
        "demonstration", [](const Database& db) { return db.current()->demonstration(); },
        "True when the folder holds demonstration data, not real stations.");
    c.def_property_readonly("variables", [](const Database& db) {
        std::vector<std::string> held;
        py::gil_scoped_release unlocked;
        const auto folder = db.current();
        const DataInfo& d = folder->description();
        for (int v = 0; v < kVariableCount; ++v)
            if (d.variables[static_cast<size_t>(v)].stations > 0) held.push_back(kVariableNames[static_cast<size_t>(v)]);
        return held;
    }, "The variables the folder holds stations of, in their fixed order.");
    c.def("info", &info,
          "What `zentrel data info --json` prints: \"folder\", \"about\" (source, period, derivation\n"
          "lines), \"stations\", \"withoutAltitude\", \"extent\", \"terrain\", \"demonstration\", \"problems\" and\n"
          "\"variables\", a dict per variable name with its station counts and valid years.");
    bindGrid(c);
    c.def("estimate", &estimateOne, py::arg("lon"), py::arg("lat"), py::arg("alt") = py::none(), py::arg("var") = "Temp",
          py::arg("method") = "kriging", py::arg("level") = 90, py::arg("dem") = py::none(),
          R"(The estimate of one variable at one location.

lon -180..180, lat -90..90 in decimal degrees; alt in m, -600..10000 (None: from the
elevation raster, with a UserWarning when the point is sea there; 9999: unknown). dem:
the path of your own elevation model (any raster GDAL reads, in any coordinate system):
with alt None the altitude is its pixel's at the point (DataError outside it). var
is case-insensitive. settings: max_stat (1..20), max_dist (km, more than 0, up to
22000), min_dist (km, 0..22000, taken as at least 0.1), pow_exp (0..5), min_high,
max_high (m, -600..10000), neighb_alt, alt_corr, grad_corr (0/1 or bool), shad (0..1);
defaults as the settings dialog's. The command line takes exactly the same values.
Raises ValueError naming a bad argument ("max_stat must be 1..20, got 50") and
DataError for unusable data (a variable the database holds no normals of) with the
command line's message. The interpreter lock is released while the engine runs.)");
    c.def("estimate_many", &manyEstimates, py::arg("lons"), py::arg("lats"), py::arg("alts") = py::none(),
          py::arg("var") = "Temp", py::arg("method") = "kriging",
          py::arg("quantities") = py::make_tuple("best", "stderr"), py::arg("level") = 90,
          py::arg("threads") = 0, py::arg("dem") = py::none(), R"(The estimates of one variable at many locations, on `threads` threads (0: all cores;
at most 4 x the hardware threads, as on the command line) with the interpreter lock
released; Ctrl-C stops them (KeyboardInterrupt).

lons, lats (and alts) of one shape S; alts None or NaN entries take the altitude of dem
(your own elevation model, as in estimate()) where it has one, else the elevation
raster's. Returns a dict: each quantity an array of shape S + (13,) (float32),
"active_count" an int16 array of shape S. Every value equals what estimate() gives at
that location, on any number of threads; what was not estimated is NaN (every quantity
of a location without active neighbours).)");
    c.def(
        "altitude",
        [](const Database& db, py::handle lonsIn, py::handle latsIn) {
            auto lons = doubles(lonsIn, "lons");
            auto lats = doubles(latsIn, "lats");
            if (lons.size() != lats.size()) throw ArgumentError{"lons and lats must have the same shape."};
            const std::vector<py::ssize_t> shape(lons.shape(), lons.shape() + lons.ndim());
            py::array_t<float> alt(shape);
            py::array_t<bool> sea(shape);
            const auto folder = db.current();
            const TerrainRaster& raster = folder->raster();
            for (py::ssize_t i = 0; i < lons.size(); ++i) {
                const double lon = lons.data()[i], lat = lats.data()[i];
                checkElement(Argument::Lon, "lons", static_cast<size_t>(i), lon);
                checkElement(Argument::Lat, "lats", static_cast<size_t>(i), lat);
                int16_t isSea = 0;
                alt.mutable_data()[i] = raster.altitude(static_cast<float>(lon), static_cast<float>(lat), isSea);
                sea.mutable_data()[i] = isSea != 0;
            }
            return py::make_tuple(alt, sea);
        },
        py::arg("lons"), py::arg("lats"), "Altitude in m from the elevation raster and whether each point is sea there (0 m).");
}

}  // namespace zentrel::python
