// Writers of climate surfaces: a Cloud-Optimized GeoTIFF of Float32 bands, and a CF netCDF
// file with a month dimension. Both take blocks of rows as they come and keep only a block.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "maps/climate_surface.h"

namespace zentrel {

/// Key-value pairs of descriptive metadata (see surfaceMetadata).
using SurfaceMetadata = std::vector<std::pair<std::string, std::string>>;

/// A GeoTIFF of Float32 bands in the variable's units, one band per quantity and period
/// (SurfaceLayout order, described by bandDescription), EPSG:4326 with the grid's exact
/// origin and cell size, NoData kSurfaceNoData, DEFLATE with the floating-point predictor,
/// 256 x 256 tiles and overviews. The rows are kept in memory up to `memoryBytes` of values,
/// beyond that in a striped file beside the target; finish() turns them into the tiled file
/// (through the COG driver where GDAL has it) and renames that into place. Without finish()
/// nothing is left behind. Throws Error naming the file.
class SurfaceGeoTiffWriter : public SurfaceSink {
public:
    SurfaceGeoTiffWriter(const std::string& path, const SurfaceGrid& grid, const SurfaceLayout& layout,
                         const SurfaceMetadata& metadata, double memoryBytes = 256e6);
    ~SurfaceGeoTiffWriter() override;
    void writeRows(int firstRow, int rowCount, const std::vector<float>& values) override;
    void finish();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

/// A netCDF-4 file following the CF-1.8 conventions: a climatological time axis of the months
/// (with climatology bounds over the years of the metadata item "climatology_years", e.g.
/// "2003-2021"), lat (north first) and lon at the cell centres with their bounds, a
/// latitude_longitude grid mapping with its WKT (crs_wkt, spatial_ref), and per quantity one
/// compressed float variable over time, lat, lon (netCdfVariableName) and, when the periods
/// hold the annual value, one over lat, lon; with units, long_name, cell_methods and
/// _FillValue kSurfaceNoData. Written beside the target and renamed by finish(). Throws Error.
class SurfaceNetCdfWriter : public SurfaceSink {
public:
    SurfaceNetCdfWriter(const std::string& path, const SurfaceGrid& grid, const SurfaceLayout& layout,
                        const SurfaceMetadata& metadata);
    ~SurfaceNetCdfWriter() override;
    void writeRows(int firstRow, int rowCount, const std::vector<float>& values) override;
    void finish();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

/// Name of a quantity's netCDF variable: "prec", "prec_stderr", ... for the months, and for the
/// annual value "prec_annual_total", "temp_annual_mean_stderr", ...
std::string netCdfVariableName(int variable, SurfaceQuantity quantity, bool annual = false);

}  // namespace zentrel
