// A user's own elevation model: any raster GDAL reads (GeoTIFF, VRT, netCDF ...) in any
// coordinate system GDAL can transform longitude and latitude into, for the altitudes of points
// and the mean altitude of map cells, in place of the 5-minute elevation raster.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "base/surface_grid.h"

namespace zentrel {


class ElevationModel {
public:
    /// Opens `path` and reads its first band's grid and coordinate system. Throws Error naming
    /// the file when GDAL cannot open it, it has no band or no georeference, or its coordinate
    /// system cannot be reached from longitude and latitude.
    explicit ElevationModel(const std::string& path);
    ~ElevationModel();
    ElevationModel(const ElevationModel&) = delete;
    ElevationModel& operator=(const ElevationModel&) = delete;

    /// Altitude in m of the pixel holding (lon, lat) in degrees (WGS 84, east and north
    /// positive); nullopt outside the raster or on a no-data pixel. Thread-safe.
    std::optional<float> altitude(double lon, double lat) const;

    /// Mean altitude in m over the cell centred at (lon, lat) of width x height degrees: the
    /// pixels sampled on a regular pattern at least as fine as the raster's pixels (at most
    /// 32 x 32 samples), no-data left out; nullopt when every sample is outside or no data.
    /// Thread-safe.
    std::optional<float> meanAltitude(double lon, double lat, double width, double height) const;

    /// The raster's own grid as a longitude-latitude grid, for maps laid on it (--grid-like).
    /// Throws Error naming the file when the raster is not in longitude and latitude or is
    /// rotated.
    SurfaceGrid grid() const;

    const std::string& path() const { return path_; }

private:
    struct Impl;
    std::string path_;
    std::unique_ptr<Impl> impl_;
};

}  // namespace zentrel
