// Climate surfaces for GIS programs: full-precision values of one variable over a regular
// longitude/latitude grid, several periods and quantities per cell from one estimate, computed
// in blocks of rows that go straight to a writer so that memory does not grow with the raster.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/surface_grid.h"
#include "base/types.h"
#include "data/data_info.h"
#include "feedback.h"
#include "formats/shown_values.h"  // annualIsTotal, annualTotal
#include "maps/img_file.h"
#include "settings/program_settings.h"

namespace zentrel {

/// The value written for a cell without an estimate (sea, or no active neighbour).
inline constexpr float kSurfaceNoData = -9999.0f;

/// The grid of the box west..east, south..north at `resolution` degrees. A box whose west edge
/// lies east of its east edge crosses the date line: its columns run on past 180 degrees (the
/// longitudes of the grid then exceed 180 and stay ascending, as GIS programs expect). When the box is a
/// whole number n of cells to within a millionth of a cell (0.0833333 into 360 degrees), the
/// cell size is the box divided by n, so that a resolution typed with a few decimals still
/// gives the grid the user meant (1/12 degree, 4320 columns); otherwise cells have the
/// resolution exactly and the last column or row reaches past the east or south edge.
/// Throws Error for an empty box, a resolution that is not positive, or more than 2^31 cells
/// along one side.
SurfaceGrid surfaceGrid(double west, double south, double east, double north, double resolution);

/// A resolution as typed: decimal degrees ("0.5", "0,5"), or arc-minutes or arc-seconds with
/// the unit after the number ("5m", "30s"). nullopt unless a positive finite number.
std::optional<double> parseAngle(const std::string& text);

/// The rows of strip `index` (1..count) of `rows` rows: [first, first + count) with
/// first = floor((index - 1) * rows / count). The strips cover every row once, in order.
struct RowRange {
    int First = 0, Count = 0;
};
RowRange tileRows(int rows, int index, int count);

/// The grid of the rows `rows` of `grid` (the georeference of a strip written on its own).
SurfaceGrid subGrid(const SurfaceGrid& grid, RowRange rows);

/// Quantities of a surface: the estimate, its cross-validated standard error, the confidence
/// bounds Best -/+ k StdErr, and the cross-validated bias.
enum class SurfaceQuantity { Best, StdErr, Low, High, Bias };
/// "best", "stderr", "low", "high", "bias".
const char* quantityName(SurfaceQuantity q);
/// The quantities of a comma-separated list of names, in the order given; throws Error
/// naming the entry that is not a quantity, or for a quantity named twice.
std::vector<SurfaceQuantity> parseQuantities(const std::string& text);

/// Which values a surface holds: bands run over the quantities, and within each quantity over
/// the periods (month 1..12, 13 = annual value).
struct SurfaceLayout {
    int Variable = 0;
    std::vector<int> Periods{13};
    std::vector<SurfaceQuantity> Quantities{SurfaceQuantity::Best};
    float ConfidenceFactor = 1.645f;  ///< k of Low/High
    int ConfidenceLevel = 90;         ///< %, for the metadata

    int bandCount() const { return static_cast<int>(Periods.size() * Quantities.size()); }
    SurfaceQuantity quantityOfBand(int band) const { return Quantities[static_cast<size_t>(band) / Periods.size()]; }
    int periodOfBand(int band) const { return Periods[static_cast<size_t>(band) % Periods.size()]; }
    /// "January" .. "December", "Annual" for the estimate; with the quantity after it for the
    /// others ("January stderr"). `band` is 0-based.
    std::string bandDescription(int band) const;
};

/// Period names of a surface: 1..12 "January".."December", 13 "Annual total" for the variables
/// whose months are amounts (Prec, PET) and "Annual mean" for the others.
std::string surfacePeriodName(int period, int variable);

/// The period of a --period entry: a month 1..12 or 13, a month's name or its first three
/// letters in any case, "Annual" or "Average" (the export panel's entry) for 13; -1 otherwise.
int parseSurfacePeriod(const std::string& text);

/// The value of one band for an estimate, ClipValue applied as the batch files do; Low and
/// High through lowBound/highBound. A quantity the estimate does not have is kSurfaceNoData:
/// StdErr, Low, High and Bias without an error estimate, any annual value the engine did not
/// make (NaN in the record). The annual value of Prec and PET is the annual total (12 times
/// the mean of the months), of the others the mean.
float surfaceValue(const SurfaceLayout& layout, int band, const EstimateResult& result);

/// Units of a variable as climate tools read them: "degC", "mm", "hPa", "m s-1", "1".
const char* variableUnits(int variable);
/// Units of a period's values: the variable's; a year's total of an amount is in mm too.
const char* periodUnits(int variable, int period);

/// The data source of a surface as `zentrel data info` knows it (describeDataFolder): the about
/// file's source (whose terms ask that it be named) and period, the number of stations of
/// `variable`, and a mark for demonstration data. Never a folder path.
std::string surfaceDataSource(const DataInfo& info, int variable);

/// The name of the estimation method the settings select. Today the only choice is the
/// altitude and gradient correction: "described" or "robust".
std::string surfaceMethodName(const ProgramSettings& settings);

/// Descriptive text every surface file carries: ordered (key, value) pairs: variable,
/// long_name, units, period(s), quantities, confidence level, method, settings, source and the
/// program's version.
std::vector<std::pair<std::string, std::string>> surfaceMetadata(const SurfaceLayout& layout,
                                                                  const ProgramSettings& settings,
                                                                  const std::string& source);
/// The same with the source of the station database `info` describes (surfaceDataSource) and,
/// when its period names them, the years of the normals ("climatology_years", "2003-2021").
std::vector<std::pair<std::string, std::string>> surfaceMetadata(const SurfaceLayout& layout,
                                                                  const ProgramSettings& settings,
                                                                  const DataInfo& info);

/// Receives the values of consecutive blocks of rows, in row order, on one thread.
class SurfaceSink {
public:
    virtual ~SurfaceSink() = default;
    /// `values` holds band after band, each `rowCount` rows of grid.Columns values; `firstRow`
    /// counts from the first row being written.
    virtual void writeRows(int firstRow, int rowCount, const std::vector<float>& values) = 0;
};

/// The estimate of a land cell on worker `worker`, or nullptr when there is none. Called
/// concurrently; no two calls share a worker index at a time, and the result is read before
/// the worker's next call.
using CellEstimateFunction = std::function<const EstimateResult*(int worker, double lon, double lat)>;

/// Computes every cell of the rows `rows` of `grid` (cell centres from the whole grid, so a
/// strip holds exactly the cells of the whole run): a cell whose point falls on a sea cell (255) of the mask,
/// or outside the mask, is kSurfaceNoData without an estimate, and so is one without an
/// estimate. Rows go to `sink` in blocks (at most `maxBlockBytes` of values at a time, at
/// least one row); the values do not depend on the number of threads. Progress counts cells;
/// the cancel request is polled before every cell. Returns the number of cells estimated, or
/// -1 when cancelled. Rethrows what `estimate` or `sink` throw (the first failing row's).
long long computeSurface(const SurfaceGrid& grid, RowRange rows, const SurfaceLayout& layout, const ImgRaster& mask,
                         const CellEstimateFunction& estimate, int threads, SurfaceSink& sink,
                         Feedback* feedback = nullptr, size_t maxBlockBytes = size_t{64} << 20);

/// Whether the point lon (-180..180), lat of a cell centre is land to be estimated. Called
/// concurrently.
using LandFunction = std::function<bool(double lon, double lat)>;
/// The same with the land decided by `isLand` instead of a mask map.
long long computeSurface(const SurfaceGrid& grid, RowRange rows, const SurfaceLayout& layout, const LandFunction& isLand,
                         const CellEstimateFunction& estimate, int threads, SurfaceSink& sink,
                         Feedback* feedback = nullptr, size_t maxBlockBytes = size_t{64} << 20);

}  // namespace zentrel
