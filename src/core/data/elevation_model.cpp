// A user's elevation model read through GDAL.
#include "data/elevation_model.h"

#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "base/surface_grid.h"
#include "error.h"

namespace zentrel {

namespace {
// Rasters up to this many pixels are read whole (256 MB of floats); larger ones pixel by pixel
// through GDAL's block cache.
constexpr long long kWholeRead = 64LL * 1024 * 1024;
constexpr double kMetresPerDegree = 6370997.0 * 3.14159265358979323846 / 180.0;
}  // namespace

struct ElevationModel::Impl {
    std::unique_ptr<GDALDataset> dataset;
    GDALRasterBand* band = nullptr;
    std::array<double, 6> transform{};
    std::array<double, 6> inverse{};
    int columns = 0, rows = 0;
    bool geographic = true;
    std::unique_ptr<OGRCoordinateTransformation> toRaster;  // null for longitude-latitude rasters
    double pixelDegrees = 0;   // a pixel's size in degrees (roughly, for a projected raster)
    bool hasNoData = false;
    double noData = 0;
    std::vector<float> values;  // the whole band, when read whole
    mutable std::mutex mutex;   // GDAL reads and the transformation are not thread-safe

    // Pixel (column, row) of a point in degrees, or false outside the raster.
    bool pixelOf(double lon, double lat, long& column, long& row) const {
        double x = lon, y = lat;
        if (toRaster) {
            std::lock_guard lock(mutex);
            if (!toRaster->Transform(1, &x, &y)) return false;
        }
        const auto at = [&](double px, double py) {
            const double c = inverse[0] + inverse[1] * px + inverse[2] * py;
            const double r = inverse[3] + inverse[4] * px + inverse[5] * py;
            if (!(c >= 0 && r >= 0 && c < columns && r < rows)) return false;
            column = static_cast<long>(c);
            row = static_cast<long>(r);
            return true;
        };
        if (at(x, y)) return true;
        // A longitude-latitude raster may run 0..360 (or beyond 180 across the date line).
        return !toRaster && (at(x + 360, y) || at(x - 360, y));
    }
    std::optional<float> value(long column, long row) const {
        double v = 0;
        if (!values.empty()) {
            v = values[static_cast<size_t>(row) * static_cast<size_t>(columns) + static_cast<size_t>(column)];
        } else {
            float read = 0;
            std::lock_guard lock(mutex);
            if (band->RasterIO(GF_Read, static_cast<int>(column), static_cast<int>(row), 1, 1, &read, 1, 1, GDT_Float32, 0, 0) != CE_None)
                return std::nullopt;
            v = read;
        }
        if (!std::isfinite(v) || (hasNoData && v == noData)) return std::nullopt;
        return static_cast<float>(v);
    }
};

ElevationModel::ElevationModel(const std::string& path) : path_(path), impl_(std::make_unique<Impl>()) {
    GDALAllRegister();
    Impl& m = *impl_;
    // GDAL's own messages would go to stderr; the message below names the file instead.
    CPLPushErrorHandler(CPLQuietErrorHandler);
    m.dataset.reset(GDALDataset::Open(path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY));
    CPLPopErrorHandler();
    if (!m.dataset) throw Error("The elevation model " + path + " cannot be read as a raster (GDAL reads GeoTIFF, VRT, netCDF and more).");
    if (m.dataset->GetRasterCount() < 1) throw Error("The elevation model " + path + " has no band.");
    m.band = m.dataset->GetRasterBand(1);
    m.columns = m.dataset->GetRasterXSize();
    m.rows = m.dataset->GetRasterYSize();
    if (m.dataset->GetGeoTransform(m.transform.data()) != CE_None || !GDALInvGeoTransform(m.transform.data(), m.inverse.data()))
        throw Error("The elevation model " + path + " has no georeference: where its pixels lie is not known.");
    int hasNoData = 0;
    m.noData = m.band->GetNoDataValue(&hasNoData);
    m.hasNoData = hasNoData != 0;
    const OGRSpatialReference* srs = m.dataset->GetSpatialRef();
    m.geographic = !srs || srs->IsGeographic();
    m.pixelDegrees = std::max(std::hypot(m.transform[1], m.transform[2]), std::hypot(m.transform[4], m.transform[5]));
    if (srs && !m.geographic) {
        OGRSpatialReference wgs84;
        wgs84.importFromEPSG(4326);
        wgs84.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
        OGRSpatialReference target(*srs);
        target.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
        m.toRaster.reset(OGRCreateCoordinateTransformation(&wgs84, &target));
        if (!m.toRaster)
            throw Error("The elevation model " + path + " is in a coordinate system that longitude and latitude cannot be transformed into.");
        m.pixelDegrees = m.pixelDegrees * target.GetLinearUnits() / kMetresPerDegree;
    } else if (srs) {
        // Degrees of another geographic system: near enough to WGS 84 for altitudes.
        m.pixelDegrees *= srs->GetAngularUnits() * 180.0 / 3.14159265358979323846;
    }
    if (static_cast<long long>(m.columns) * m.rows <= kWholeRead) {
        m.values.resize(static_cast<size_t>(m.columns) * static_cast<size_t>(m.rows));
        if (m.band->RasterIO(GF_Read, 0, 0, m.columns, m.rows, m.values.data(), m.columns, m.rows, GDT_Float32, 0, 0) != CE_None)
            throw Error("The elevation model " + path + " cannot be read: " + CPLGetLastErrorMsg());
    }
}

ElevationModel::~ElevationModel() = default;

std::optional<float> ElevationModel::altitude(double lon, double lat) const {
    long column = 0, row = 0;
    if (!impl_->pixelOf(lon, lat, column, row)) return std::nullopt;
    return impl_->value(column, row);
}

std::optional<float> ElevationModel::meanAltitude(double lon, double lat, double width, double height) const {
    // Samples at least as dense as the pixels, so that every pixel of the cell counts about as
    // much as its share of the cell.
    const auto count = [&](double size) {
        return static_cast<int>(std::clamp(std::ceil(size / std::max(impl_->pixelDegrees, 1e-9)), 1.0, 32.0));
    };
    // A projected raster's pixels are metres: a degree of longitude is shorter than one of latitude.
    const double lonScale = impl_->toRaster ? std::cos(lat * 3.14159265358979323846 / 180) : 1.0;
    const int nx = count(width * lonScale), ny = count(height);
    double sum = 0;
    int n = 0;
    for (int j = 0; j < ny; ++j)
        for (int i = 0; i < nx; ++i) {
            const double x = lon - width / 2 + (i + 0.5) * width / nx, y = lat + height / 2 - (j + 0.5) * height / ny;
            if (const std::optional<float> a = altitude(x, y)) {
                sum += *a;
                ++n;
            }
        }
    if (n == 0) return std::nullopt;
    return static_cast<float>(sum / n);
}

SurfaceGrid ElevationModel::grid() const {
    const Impl& m = *impl_;
    if (!m.geographic) throw Error("The elevation model " + path_ + " is not in longitude and latitude: its grid cannot be the map's.");
    if (m.transform[2] != 0 || m.transform[4] != 0 || !(m.transform[1] > 0) || !(m.transform[5] < 0))
        throw Error("The elevation model " + path_ + " is rotated or flipped: its grid cannot be the map's.");
    SurfaceGrid g;
    g.West = m.transform[0];
    g.North = m.transform[3];
    g.CellWidth = m.transform[1];
    g.CellHeight = -m.transform[5];
    g.Columns = m.columns;
    g.Rows = m.rows;
    return g;
}

}  // namespace zentrel
