// Climate surfaces as CF netCDF: month, lat, lon, one float variable per quantity.
#include <hdf5.h>
#include <netcdf.h>
#include <ogr_spatialref.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "error.h"
#include "files/output_file.h"
#include "maps/surface_files.h"

namespace zentrel {

std::string netCdfVariableName(int variable, SurfaceQuantity quantity, bool annual) {
    std::string name = kVariableNames.at(static_cast<size_t>(variable));
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    if (annual) name += annualIsTotal(variable) ? "_annual_total" : "_annual_mean";
    if (quantity != SurfaceQuantity::Best) name += std::string("_") + quantityName(quantity);
    return name;
}

namespace {

// CF standard names where the variable's units allow one (a month's or a year's total of
// precipitation is an amount in mm).
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

// The operation behind a value: the months of an amount are sums, of the others means, and
// every value is a mean over the years of the normals. The months are on the time axis; the
// annual value on the scalar time coordinate of the whole climatological year.
std::string cellMethods(int variable, bool annual) {
    const std::string time = annual ? "year_time" : "time";
    return time + ": " + (annualIsTotal(variable) ? "sum" : "mean") + (annual ? " within years " : " within months ") + time +
           ": mean over years";
}

// Days from from-01-01 to year-month-01 (month 13 = the next year's January), Gregorian.
double daysSince(int from, int year, int month) {
    static constexpr int kCumulative[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365};
    const auto leap = [](int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; };
    double days = kCumulative[month - 1] + (leap(year) && month > 2 ? 1 : 0);
    for (int y = from; y < year; ++y) days += leap(y) ? 366 : 365;
    return days;
}

// WGS 84 (EPSG:4326) as well-known text.
std::string wgs84Wkt() {
    OGRSpatialReference srs;
    srs.importFromEPSG(4326);
    char* wkt = nullptr;
    srs.exportToWkt(&wkt);
    std::string text = wkt ? wkt : "";
    CPLFree(wkt);
    return text;
}

// The years of the normals from a metadata value "2003-2021"; 2000-2000 when not known.
std::pair<int, int> climatologyYears(const SurfaceMetadata& metadata) {
    for (const auto& [key, value] : metadata) {
        int first = 0, last = 0;
        if (key == "climatology_years" && std::sscanf(value.c_str(), "%d-%d", &first, &last) == 2 && first >= 1 &&
            first <= last && last < 10000)
            return {first, last};
    }
    return {2000, 2000};
}

}  // namespace

struct SurfaceNetCdfWriter::Impl {
    std::string path, partPath;
    SurfaceGrid grid;
    SurfaceLayout layout;
    int ncid = -1;
    std::vector<int> monthVars, annualVars;  // per quantity
    std::vector<int> timeIndex;              // per period: index on the time axis, -1 for the annual value
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
    int variable(const char* name, nc_type type, std::vector<int> dims) {
        int var;
        check(nc_def_var(ncid, name, type, static_cast<int>(dims.size()), dims.data(), &var), name);
        return var;
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
    // The months lie on a climatological time axis; the annual value, which is no month, has
    // variables of its own, so that a sum or mean over time holds the months only.
    std::vector<int> months;
    for (int p : layout.Periods) {
        m.timeIndex.push_back(p == 13 ? -1 : static_cast<int>(months.size()));
        if (p != 13) months.push_back(p);
    }
    const bool annual = months.size() < layout.Periods.size();
    int timeDim = -1, latDim, lonDim, boundsDim;
    if (!months.empty()) m.check(nc_def_dim(m.ncid, "time", months.size(), &timeDim), "time");
    m.check(nc_def_dim(m.ncid, "lat", static_cast<size_t>(grid.Rows), &latDim), "lat");
    m.check(nc_def_dim(m.ncid, "lon", static_cast<size_t>(grid.Columns), &lonDim), "lon");
    m.check(nc_def_dim(m.ncid, "nv", 2, &boundsDim), "nv");
    const auto [firstYear, lastYear] = climatologyYears(metadata);
    const std::string timeUnits = "days since " + std::to_string(firstYear) + "-01-01";
    int timeVar = -1, climVar = -1, yearVar = -1, yearClimVar = -1;
    if (annual) {
        // A scalar coordinate: the climatological year the annual values sum or average over.
        yearVar = m.variable("year_time", NC_DOUBLE, {});
        m.text(yearVar, "standard_name", "time");
        m.text(yearVar, "long_name", "the climatological year");
        m.text(yearVar, "units", timeUnits);
        m.text(yearVar, "calendar", "standard");
        m.text(yearVar, "climatology", "year_climatology_bounds");
        yearClimVar = m.variable("year_climatology_bounds", NC_DOUBLE, {boundsDim});
    }
    if (!months.empty()) {
        timeVar = m.variable("time", NC_DOUBLE, {timeDim});
        m.text(timeVar, "standard_name", "time");
        m.text(timeVar, "long_name", "month of the climatological year");
        m.text(timeVar, "units", timeUnits);
        m.text(timeVar, "calendar", "standard");
        m.text(timeVar, "axis", "T");
        m.text(timeVar, "climatology", "climatology_bounds");
        climVar = m.variable("climatology_bounds", NC_DOUBLE, {timeDim, boundsDim});
    }
    const int latVar = m.variable("lat", NC_DOUBLE, {latDim});
    m.text(latVar, "standard_name", "latitude");
    m.text(latVar, "long_name", "latitude");
    m.text(latVar, "units", "degrees_north");
    m.text(latVar, "axis", "Y");
    m.text(latVar, "bounds", "lat_bnds");
    const int latBoundsVar = m.variable("lat_bnds", NC_DOUBLE, {latDim, boundsDim});
    const int lonVar = m.variable("lon", NC_DOUBLE, {lonDim});
    m.text(lonVar, "standard_name", "longitude");
    m.text(lonVar, "long_name", "longitude");
    m.text(lonVar, "units", "degrees_east");
    m.text(lonVar, "axis", "X");
    m.text(lonVar, "bounds", "lon_bnds");
    const int lonBoundsVar = m.variable("lon_bnds", NC_DOUBLE, {lonDim, boundsDim});
    const int crsVar = m.variable("crs", NC_INT, {});
    m.text(crsVar, "grid_mapping_name", "latitude_longitude");
    const double a = 6378137.0, invf = 298.257223563, meridian = 0;
    m.check(nc_put_att_double(m.ncid, crsVar, "semi_major_axis", NC_DOUBLE, 1, &a), "crs");
    m.check(nc_put_att_double(m.ncid, crsVar, "inverse_flattening", NC_DOUBLE, 1, &invf), "crs");
    m.check(nc_put_att_double(m.ncid, crsVar, "longitude_of_prime_meridian", NC_DOUBLE, 1, &meridian), "crs");
    // The full definition, so that GIS programs name the datum: CF's crs_wkt, and spatial_ref,
    // which GDAL reads first.
    const std::string wkt = wgs84Wkt();
    m.text(crsVar, "crs_wkt", wkt);
    m.text(crsVar, "spatial_ref", wkt);

    std::string longName;
    for (const auto& [key, value] : metadata)
        if (key == "long_name") longName = value;
    // Chunks of a few rows across the whole width: a block of rows completes its chunks.
    const size_t rowsChunk = static_cast<size_t>(std::min(grid.Rows, 8)),
                 columnsChunk = static_cast<size_t>(std::min(grid.Columns, 4096));
    const float fill = kSurfaceNoData;
    const auto define = [&](SurfaceQuantity q, bool isAnnual) {
        const std::string name = netCdfVariableName(layout.Variable, q, isAnnual);
        std::vector<int> dims{latDim, lonDim};
        std::vector<size_t> chunks{rowsChunk, columnsChunk};
        if (!isAnnual) {
            dims.insert(dims.begin(), timeDim);
            chunks.insert(chunks.begin(), 1);
        }
        const int var = m.variable(name.c_str(), NC_FLOAT, dims);
        m.check(nc_def_var_chunking(m.ncid, var, NC_CHUNKED, chunks.data()), name.c_str());
        m.check(nc_def_var_deflate(m.ncid, var, 1, 1, 4), name.c_str());
        m.check(nc_def_var_fill(m.ncid, var, 0, &fill), name.c_str());
        m.check(nc_put_att_float(m.ncid, var, "missing_value", NC_FLOAT, 1, &fill), name.c_str());
        std::string title = quantityTitle(q, layout.ConfidenceLevel) + longName;
        if (isAnnual) title = (annualIsTotal(layout.Variable) ? "annual total of " : "annual mean of ") + title;
        m.text(var, "long_name", title);
        m.text(var, "units", periodUnits(layout.Variable, isAnnual ? 13 : 1));
        if (const char* standard = standardName(layout.Variable);
            standard && (q == SurfaceQuantity::Best || q == SurfaceQuantity::Low || q == SurfaceQuantity::High))
            m.text(var, "standard_name", standard);
        m.text(var, "cell_methods", cellMethods(layout.Variable, isAnnual));
        m.text(var, "grid_mapping", "crs");
        if (isAnnual) m.text(var, "coordinates", "year_time");
        return var;
    };
    for (SurfaceQuantity q : layout.Quantities) {
        m.monthVars.push_back(months.empty() ? -1 : define(q, false));
        m.annualVars.push_back(annual ? define(q, true) : -1);
    }
    m.text(NC_GLOBAL, "Conventions", "CF-1.8");
    m.text(NC_GLOBAL, "title", longName);
    for (const auto& [key, value] : metadata) {
        if (key == "long_name" || key == "units" || key == "climatology_years") continue;
        // CF's "source" is the method of production; the station database goes in data_source.
        m.text(NC_GLOBAL, key == "source" ? "data_source" : key.c_str(), value);
    }
    for (const auto& [key, value] : metadata)
        if (key == "software") m.text(NC_GLOBAL, "source", value + ", interpolation of station normals");
    m.check(nc_enddef(m.ncid), "the header");

    if (!months.empty()) {
        // Each month at its middle in the first year; its bounds from its start in the first
        // year to its end in the last year of the normals.
        std::vector<double> time, bounds;
        for (int month : months) {
            const double start = daysSince(firstYear, firstYear, month);
            time.push_back(start + (daysSince(firstYear, firstYear, month + 1) - start) / 2);
            bounds.push_back(start);
            bounds.push_back(daysSince(firstYear, lastYear, month + 1));
        }
        m.check(nc_put_var_double(m.ncid, timeVar, time.data()), "time");
        m.check(nc_put_var_double(m.ncid, climVar, bounds.data()), "climatology_bounds");
    }
    if (annual) {
        // The middle of the first year; the bounds from its start to the end of the last year.
        const double middle = daysSince(firstYear, firstYear + 1, 1) / 2;
        const double yearBounds[2] = {0.0, daysSince(firstYear, lastYear + 1, 1)};
        m.check(nc_put_var_double(m.ncid, yearVar, &middle), "year_time");
        m.check(nc_put_var_double(m.ncid, yearClimVar, yearBounds), "year_climatology_bounds");
    }
    std::vector<double> lat, latBounds, lon, lonBounds;
    for (int r = 0; r < grid.Rows; ++r) {
        lat.push_back(grid.latOfRow(r));
        latBounds.push_back(grid.North - r * grid.CellHeight);
        latBounds.push_back(grid.North - (r + 1) * grid.CellHeight);
    }
    for (int c = 0; c < grid.Columns; ++c) {
        lon.push_back(grid.lonOfColumn(c));
        lonBounds.push_back(grid.West + c * grid.CellWidth);
        lonBounds.push_back(grid.West + (c + 1) * grid.CellWidth);
    }
    m.check(nc_put_var_double(m.ncid, latVar, lat.data()), "lat");
    m.check(nc_put_var_double(m.ncid, latBoundsVar, latBounds.data()), "lat_bnds");
    m.check(nc_put_var_double(m.ncid, lonVar, lon.data()), "lon");
    m.check(nc_put_var_double(m.ncid, lonBoundsVar, lonBounds.data()), "lon_bnds");
}

SurfaceNetCdfWriter::~SurfaceNetCdfWriter() = default;

void SurfaceNetCdfWriter::writeRows(int firstRow, int rowCount, const std::vector<float>& values) {
    Impl& m = *impl_;
    Impl::quietErrors();  // rows may come from another thread than the one that made the file
    const size_t periods = m.layout.Periods.size();
    const size_t plane = static_cast<size_t>(rowCount) * static_cast<size_t>(m.grid.Columns);
    for (size_t qi = 0; qi < m.layout.Quantities.size(); ++qi)
        for (size_t p = 0; p < periods; ++p) {
            const int t = m.timeIndex[p];
            const float* block = values.data() + (qi * periods + p) * plane;
            const size_t start[3] = {static_cast<size_t>(t), static_cast<size_t>(firstRow), 0};
            const size_t count[3] = {1, static_cast<size_t>(rowCount), static_cast<size_t>(m.grid.Columns)};
            if (t < 0)
                m.check(nc_put_vara_float(m.ncid, m.annualVars[qi], start + 1, count + 1, block), "a block of rows");
            else
                m.check(nc_put_vara_float(m.ncid, m.monthVars[qi], start, count, block), "a block of rows");
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
