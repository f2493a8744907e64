// Climate surfaces as CF netCDF: month, lat, lon, one float variable per quantity.
#include <hdf5.h>
#include <netcdf.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>

#include "error.h"
#include "files/output_file.h"
#include "maps/surface_files.h"

namespace zentrel {

std::string netCdfVariableName(int variable, SurfaceQuantity quantity) {
    std::string name = kVariableNames.at(static_cast<size_t>(variable));
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    if (quantity != SurfaceQuantity::Best) name += std::string("_") + quantityName(quantity);
    return name;
}

namespace {

// CF standard names where the variable's units allow one.
const char* standardName(int variable) {
    switch (variable) {
        case Temp: case Tmax: case Tmin: return "air_temperature";
        case Prec: return "lwe_thickness_of_precipitation_amount";
        case Vap: return "water_vapor_partial_pressure_in_air";
        case Wind: return "wind_speed";
        default: return nullptr;
    }
}

std::string quantityTitle(SurfaceQuantity q, int level) {
    switch (q) {
        case SurfaceQuantity::Best: return "";
        case SurfaceQuantity::StdErr: return "standard error (cross-validation) of ";
        case SurfaceQuantity::Low: return "lower " + std::to_string(level) + "% confidence bound of ";
        case SurfaceQuantity::High: return "upper " + std::to_string(level) + "% confidence bound of ";
        case SurfaceQuantity::Bias: return "bias (cross-validation) of ";
    }
    return "";
}

}  // namespace

struct SurfaceNetCdfWriter::Impl {
    std::string path, partPath;
    SurfaceGrid grid;
    SurfaceLayout layout;
    int ncid = -1;
    std::vector<int> vars;  // per quantity
    bool finished = false;

    ~Impl() {
        if (ncid >= 0) nc_close(ncid);
        if (!finished) {
            std::error_code ec;
            std::filesystem::remove(partPath, ec);
        }
    }
    void check(int status, const char* what) {
        if (status == NC_NOERR) return;
        if (diskIsFull(partPath)) throw Error("netCDF file " + path + " cannot be written: the disk is full.");
        throw Error("netCDF file " + path + " cannot be written: " + what + " (" + nc_strerror(status) + ").");
    }
    // The library below netCDF prints its whole error stack (dozens of lines for a full disk)
    // on every thread that did not turn that off; the writer says what failed in one sentence.
    static void quietErrors() { H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr); }
    void text(int var, const char* name, const std::string& value) {
        check(nc_put_att_text(ncid, var, name, value.size(), value.c_str()), name);
    }
};

SurfaceNetCdfWriter::SurfaceNetCdfWriter(const std::string& path, const SurfaceGrid& grid,
                                         const SurfaceLayout& layout, const SurfaceMetadata& metadata)
    : impl_(std::make_unique<Impl>()) {
    Impl& m = *impl_;
    // Written beside the file the name really stands for (a link is followed), or in the
    // temporary folder for a device, FIFO or "-", whose bytes it receives when whole.
    m.path = path;
    m.partPath = outputPartPath(path, ".part");
    m.grid = grid;
    m.layout = layout;
    // A file whose close failed (a full disk) stays half open inside HDF5, and HDF5's own exit
    // handler then crashes on it: the handler is not installed (this must come before HDF5's
    // first use). Files are always closed explicitly here, so the handler has nothing to do.
    H5dont_atexit();
    Impl::quietErrors();
    m.check(nc_create(m.partPath.c_str(), NC_CLOBBER | NC_NETCDF4, &m.ncid), "it cannot be created");
    const int months = static_cast<int>(layout.Periods.size());
    int monthDim, latDim, lonDim;
    m.check(nc_def_dim(m.ncid, "month", static_cast<size_t>(months), &monthDim), "month");
    m.check(nc_def_dim(m.ncid, "lat", static_cast<size_t>(grid.Rows), &latDim), "lat");
    m.check(nc_def_dim(m.ncid, "lon", static_cast<size_t>(grid.Columns), &lonDim), "lon");
    int monthVar, latVar, lonVar, crsVar;
    m.check(nc_def_var(m.ncid, "month", NC_INT, 1, &monthDim, &monthVar), "month");
    m.text(monthVar, "long_name", "month of the year (13 = the annual value)");
    m.text(monthVar, "units", "1");
    m.check(nc_def_var(m.ncid, "lat", NC_DOUBLE, 1, &latDim, &latVar), "lat");
    m.text(latVar, "standard_name", "latitude");
    m.text(latVar, "long_name", "latitude");
    m.text(latVar, "units", "degrees_north");
    m.text(latVar, "axis", "Y");
    m.check(nc_def_var(m.ncid, "lon", NC_DOUBLE, 1, &lonDim, &lonVar), "lon");
    m.text(lonVar, "standard_name", "longitude");
    m.text(lonVar, "long_name", "longitude");
    m.text(lonVar, "units", "degrees_east");
    m.text(lonVar, "axis", "X");
    m.check(nc_def_var(m.ncid, "crs", NC_INT, 0, nullptr, &crsVar), "crs");
    m.text(crsVar, "grid_mapping_name", "latitude_longitude");
    const double a = 6378137.0, invf = 298.257223563;
    m.check(nc_put_att_double(m.ncid, crsVar, "semi_major_axis", NC_DOUBLE, 1, &a), "crs");
    m.check(nc_put_att_double(m.ncid, crsVar, "inverse_flattening", NC_DOUBLE, 1, &invf), "crs");

    std::string longName;
    for (const auto& [key, value] : metadata)
        if (key == "long_name") longName = value;
    const int dims[3] = {monthDim, latDim, lonDim};
    // Chunks of a few rows across the whole width: a block of rows completes its chunks.
    const size_t chunks[3] = {1, static_cast<size_t>(std::min(grid.Rows, 8)),
                              static_cast<size_t>(std::min(grid.Columns, 4096))};
    const float fill = kSurfaceNoData;
    for (SurfaceQuantity q : layout.Quantities) {
        int var;
        const std::string name = netCdfVariableName(layout.Variable, q);
        m.check(nc_def_var(m.ncid, name.c_str(), NC_FLOAT, 3, dims, &var), name.c_str());
        m.check(nc_def_var_chunking(m.ncid, var, NC_CHUNKED, chunks), name.c_str());
        m.check(nc_def_var_deflate(m.ncid, var, 1, 1, 4), name.c_str());
        m.check(nc_def_var_fill(m.ncid, var, 0, &fill), name.c_str());
        m.check(nc_put_att_float(m.ncid, var, "missing_value", NC_FLOAT, 1, &fill), name.c_str());
        m.text(var, "long_name", quantityTitle(q, layout.ConfidenceLevel) + longName);
        m.text(var, "units", variableUnits(layout.Variable));
        if (const char* standard = standardName(layout.Variable);
            standard && (q == SurfaceQuantity::Best || q == SurfaceQuantity::Low || q == SurfaceQuantity::High))
            m.text(var, "standard_name", standard);
        m.text(var, "grid_mapping", "crs");
        m.vars.push_back(var);
    }
    m.text(NC_GLOBAL, "Conventions", "CF-1.8");
    m.text(NC_GLOBAL, "title", longName);
    for (const auto& [key, value] : metadata) {
        if (key == "long_name" || key == "units") continue;
        // CF's "source" is the method of production; the station database goes in data_source.
        m.text(NC_GLOBAL, key == "source" ? "data_source" : key.c_str(), value);
    }
    for (const auto& [key, value] : metadata)
        if (key == "software") m.text(NC_GLOBAL, "source", value + ", interpolation of station normals");
    m.check(nc_enddef(m.ncid), "the header");

    std::vector<int> monthValues(layout.Periods.begin(), layout.Periods.end());
    m.check(nc_put_var_int(m.ncid, monthVar, monthValues.data()), "month");
    std::vector<double> lat(static_cast<size_t>(grid.Rows)), lon(static_cast<size_t>(grid.Columns));
    for (int r = 0; r < grid.Rows; ++r) lat[static_cast<size_t>(r)] = grid.latOfRow(r);
    for (int c = 0; c < grid.Columns; ++c) lon[static_cast<size_t>(c)] = grid.lonOfColumn(c);
    m.check(nc_put_var_double(m.ncid, latVar, lat.data()), "lat");
    m.check(nc_put_var_double(m.ncid, lonVar, lon.data()), "lon");
}

SurfaceNetCdfWriter::~SurfaceNetCdfWriter() = default;

void SurfaceNetCdfWriter::writeRows(int firstRow, int rowCount, const std::vector<float>& values) {
    Impl& m = *impl_;
    Impl::quietErrors();  // rows may come from another thread than the one that made the file
    const size_t months = m.layout.Periods.size();
    const size_t plane = static_cast<size_t>(rowCount) * static_cast<size_t>(m.grid.Columns);
    for (size_t qi = 0; qi < m.vars.size(); ++qi)
        for (size_t p = 0; p < months; ++p) {
            const size_t start[3] = {p, static_cast<size_t>(firstRow), 0};
            const size_t count[3] = {1, static_cast<size_t>(rowCount), static_cast<size_t>(m.grid.Columns)};
            m.check(nc_put_vara_float(m.ncid, m.vars[qi], start, count, values.data() + (qi * months + p) * plane),
                    "a block of rows");
        }
}

void SurfaceNetCdfWriter::finish() {
    Impl& m = *impl_;
    Impl::quietErrors();
    const int status = nc_close(m.ncid);
    m.ncid = -1;
    m.check(status, "closing");
    commitOutputPart(m.path, m.partPath);
    m.finished = true;
}

}  // namespace zentrel
