// Raster export: an estimated variable over a rectangle of a displayed map, one coded byte per
// cell, with the export panel's checks, the grid preparation, the new header and the grid loop.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "feedback.h"
#include "maps/georeference.h"
#include "maps/img_file.h"
#include "settings/program_settings.h"

namespace zentrel {

class Engine;
class StationDatabase;
class TerrainRaster;
class ElevationModel;

/// Physical value of a count: Offset + Scale * count.
struct RasterCoding {
    double Scale = 1;
    double Offset = 0;
};

/// The coding of a variable 0..7 (Temp, Tmax, Tmin: 0.4 from -50; Prec 8 from 0; Vap 0.2;
/// PET 2; Wind 0.1; Sun 0.004, all from 0).
RasterCoding rasterCoding(int variable);

/// Count of a value: (value - Offset) / Scale rounded down, where a value that is the
/// single-precision image of an exact multiple codes to that multiple's own count (20 °C for
/// Temp is 175, not 174 through the binary rounding of 0.4). Counts above 250 become 254.
/// Throws Error for a value below the offset (a negative count) or one that is not a number.
uint8_t codeValue(float value, const RasterCoding& coding);

/// The period entries of the export panel: "Average", "January" .. "December".
extern const std::array<const char*, 13> kPeriodNames;
/// Period number of a period entry: "Average" 13, "January".."December" 1..12; -1 otherwise.
int periodNumber(const std::string& name);
/// Entry of a period number 1..13.
std::string periodName(int period);

/// The resolution entries of the export panel's combo box.
extern const std::array<const char*, 17> kResolutionEntries;

inline constexpr const char* kResolutionMessage = "Resolution in decimal degrees must be in the range (2,0.001)  ";

/// The resolution as typed: "," is read as "."; nullopt unless numeric and 0.001 <= r <= 2.
std::optional<double> parseResolution(const std::string& text);

/// A number as typed in a coordinate box (blanks around it allowed); nullopt if not numeric.
std::optional<double> parseCoordinate(const std::string& text);

/// Coordinates of the first and last column and row of a map, with its display georeference.
struct MapExtent {
    double West = 0, East = 0, North = 0, South = 0;
};
MapExtent mapExtent(const ImgHeader& header);

/// The export rectangle's checks in the panel's order: start longitude not west of the map,
/// end longitude east of the start, end latitude north of the map's south edge, start latitude
/// north of the end. Returns the message of the first failed check, or "" when all pass.
std::string checkExportRectangle(const std::string& lonStart, const std::string& lonEnd, const std::string& latStart,
                                 const std::string& latEnd, const MapExtent& extent);

/// Digits after the decimal point of r rounded to three decimals and written out (0.5 -> 1,
/// 1 -> 0, 0.25 -> 2).
int resolutionDecimals(double resolution);

/// A coordinate snapped down to a multiple of r (value / r rounded down, times r) and rounded
/// to `decimals`.
double snapToResolution(double value, double resolution, int decimals);

/// What one export computes: cell (column, row) is estimated at longitude
/// LonStart + column * Resolution and latitude LatStart - row * Resolution (row 0 northernmost).
struct RasterExportPlan {
    int Variable = 0;  ///< 0..7
    int Period = 13;   ///< month 1..12, 13 = annual value
    double Resolution = 1;
    int Decimals = 0;
    double LonStart = 0, LonEnd = 0, LatStart = 0, LatEnd = 0;  ///< snapped, rounded to Decimals
    int Columns = 0, Rows = 0;

    double lonOfColumn(int column) const { return LonStart + column * Resolution; }
    double latOfRow(int row) const { return LatStart - row * Resolution; }
};

/// Snaps the rectangle to the resolution and counts columns = (LonEnd - LonStart) / r and
/// rows = (LatStart - LatEnd) / r, each rounded to the nearest integer (halves to even).
/// Throws Error when the grid is empty or larger than the 16-bit header fields can hold.
RasterExportPlan planRasterExport(int variable, int period, double resolution, double lonStart, double lonEnd,
                                  double latStart, double latEnd);

/// Title "Mirvo/Zentrel-" + variable entry + "-" + period entry, at most 79 characters.
std::string rasterTitle(int variable, int period);

/// `GetNewHeader`: rows, columns, the reference point in the middle of the rectangle, cell
/// sizes, the coding of the variable and the bytes copied from the displayed map's header.
ImgHeader GetNewHeader(const RasterExportPlan& plan, const ImgHeader& displayed);

/// Value of the chosen period at a land cell, NaN when there is no estimate (the cell is then 255). Called concurrently: `worker` is 0..threads-1 (a
/// RasterCellEstimator must have been built for at least `threads` workers) and
/// no two calls share a worker index at the same time.
using CellValueFunction = std::function<float(int worker, double lon, double lat)>;

/// The grid loop: rows are shared out among `threads` workers (1 if less). A cell whose
/// displayed map cell holds 255 (sea) is 255 without an estimate, and so is a cell `value` gives
/// NaN for; every other cell is the coded value. The cells do not depend on the number of threads. Progress is the number of finished
/// cells (in whole rows); the cancel request is polled before every cell. Returns nullopt when
/// cancelled. Throws Error when a point lies outside the displayed map or a value cannot be
/// coded (the first such cell in row order), or whatever `value` throws.
std::optional<std::vector<uint8_t>> computeRasterCells(const RasterExportPlan& plan, const ImgRaster& displayed,
                                                       const CellValueFunction& value, int threads,
                                                       Feedback* feedback = nullptr);

/// `CalcolaValore` for `workers` threads: one engine each, all sharing one station database
/// and the elevation raster. The working location is the cell with the altitude of the
/// elevation raster; the pipeline runs to the estimate (no warnings) and returns Best of the
/// period, or NaN when no neighbour is active (no estimate, whatever cell came before). The settings must outlive the object.
class RasterCellEstimator {
public:
    RasterCellEstimator(const ProgramSettings& settings, const std::string& dataFolder,
                        std::shared_ptr<const StationDatabase> database, int variable, int period, int workers);
    ~RasterCellEstimator();
    float operator()(int worker, double lon, double lat);
    CellValueFunction function();
    /// Altitudes from the user's elevation model instead: the mean over each cell of
    /// cellWidth x cellHeight degrees around its centre (0 x 0: the pixel at the centre). A cell
    /// outside the model or on its no-data keeps the elevation raster's altitude. Call before
    /// the cells; null goes back to the elevation raster.
    void useElevationModel(std::shared_ptr<const ElevationModel> dem, double cellWidth, double cellHeight);
    /// The whole result of the cell's estimate on `worker`'s engine (valid until its next
    /// call), or nullptr when no neighbour is active.
    const EstimateResult* estimateCell(int worker, double lon, double lat);
    /// `worker`'s engine: after estimateCell, the cell's working location and neighbours.
    const Engine& engine(int worker) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

/// Writes the cells as a GeoTIFF (one byte band, EPSG:4326, DEFLATE): the georeference puts
/// each cell's centre on the point that was estimated; nodata 255, and the band's scale and
/// offset carry the coding. Throws Error when the file cannot be written.
void writeRasterGeoTiff(const std::string& path, const RasterExportPlan& plan, const ImgRaster& raster);

}  // namespace zentrel
