// Raster export: checks, grid preparation, header, the parallel grid loop and the GeoTIFF copy.
#include "maps/raster_export.h"

#include <fmt/format.h>
#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <limits>
#include <mutex>
#include <thread>

#include "data/elevation_model.h"
#include "data/station_database.h"
#include "data/terrain.h"
#include "engine/engine.h"
#include "error.h"
#include "files/output_file.h"
#include "version.h"

namespace zentrel {

namespace {

// Round to `decimals` places, halves to even (the default floating-point rounding mode).
double roundTo(double value, int decimals) {
    const double p = std::pow(10.0, decimals);
    return std::nearbyint(value * p) / p;
}

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A bound in a message: rounded down to an integer, plain decimal.
std::string bound(double value) { return fmt::format("{}", static_cast<long long>(std::floor(value))); }

}  // namespace

RasterCoding rasterCoding(int variable) {
    static constexpr std::array<RasterCoding, kVariableCount> kCodings = {{
        {0.4, -50}, {0.4, -50}, {0.4, -50}, {8, 0}, {0.2, 0}, {2, 0}, {0.1, 0}, {0.004, 0}}};
    return kCodings.at(static_cast<size_t>(variable));
}

uint8_t codeValue(float value, const RasterCoding& coding) {
    if (!std::isfinite(value)) throw Error("An estimate is not a number and cannot be coded in the raster.");
    double count = std::floor((static_cast<double>(value) - coding.Offset) / coding.Scale);
    // The value is single precision and the scale a binary fraction: a value that is the float
    // of the next multiple belongs to it, so exact multiples keep their own count.
    if (static_cast<float>(coding.Offset + coding.Scale * (count + 1)) <= value) count += 1;
    if (count < 0)
        throw Error(fmt::format("The estimate {} lies below the coded range of the raster, which starts at {}.",
                                value, coding.Offset));
    if (count > kImgMaxCount) return kImgAboveRange;
    return static_cast<uint8_t>(count);
}

const std::array<const char*, 13> kPeriodNames = {"Average", "January", "February", "March",     "April",
                                                  "May",     "June",    "July",     "August",    "September",
                                                  "October", "November", "December"};

int periodNumber(const std::string& name) {
    for (size_t k = 0; k < kPeriodNames.size(); ++k)
        if (name == kPeriodNames[k]) return k == 0 ? 13 : static_cast<int>(k);
    return -1;
}

std::string periodName(int period) {
    if (period < 1 || period > 13) return {};
    return kPeriodNames[period == 13 ? 0 : static_cast<size_t>(period)];
}

const std::array<const char*, 17> kResolutionEntries = {"0.001", "0.002", "0.005", "0.01", "0.02", "0.05",
                                                        "0.1",   "0.2",   "0.3",   "0.4",  "0.5",  "0.6",
                                                        "0.7",   "0.8",   "0.9",   "1",    "2"};

std::optional<double> parseCoordinate(const std::string& text) {
    std::string t = trimmed(text);
    if (!t.empty() && t[0] == '+') t.erase(0, 1);
    if (t.empty()) return std::nullopt;
    double value = 0;
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), value);
    if (ec != std::errc() || end != t.data() + t.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<double> parseResolution(const std::string& text) {
    std::string t = text;
    std::replace(t.begin(), t.end(), ',', '.');
    const auto r = parseCoordinate(t);
    if (!r || *r == 0 || *r < 0.001 || *r > 2) return std::nullopt;
    return r;
}

MapExtent mapExtent(const ImgHeader& header) {
    const Georeference geo = Georeference::of(header);
    return {geo.lonOfColumn(0), geo.lonOfColumn(header.Columns - 1), geo.latOfRow(0), geo.latOfRow(header.Rows - 1)};
}

std::string checkExportRectangle(const std::string& lonStartText, const std::string& lonEndText,
                                 const std::string& latStartText, const std::string& latEndText, const MapExtent& e) {
    const auto lonStart = parseCoordinate(lonStartText);
    if (!lonStart || *lonStart < e.West)
        return "Start Longitude must be in the range (" + bound(e.West + 1) + ";" + bound(e.East) + ")  ";
    const auto lonEnd = parseCoordinate(lonEndText);
    if (!lonEnd || !(*lonEnd > *lonStart))
        return "End Longitude must be in the range (" + lonStartText + ";" + bound(e.East) + ")  ";
    const auto latEnd = parseCoordinate(latEndText);
    if (!latEnd || !(*latEnd > e.South))
        return "End Latitude must be in the range (" + bound(e.South) + ";" + bound(e.North) + ")  ";
    const auto latStart = parseCoordinate(latStartText);
    if (!latStart || !(*latStart > *latEnd))
        return "Start Latitude must be in the range (" + latEndText + ";" + bound(e.North) + ")  ";
    return {};
}

int resolutionDecimals(double resolution) {
    std::string text = fmt::format("{:.3f}", roundTo(resolution, 3));
    text.erase(text.find_last_not_of('0') + 1);
    const auto point = text.find('.');
    return static_cast<int>(text.size() - point - 1);
}

double snapToResolution(double value, double resolution, int decimals) {
    // A multiple of r divided by r misses its integer by a binary rounding (0.3 / 0.1 is
    // 2.9999999999999996); such a quotient counts as the integer.
    const double q = value / resolution;
    const double n = std::floor(q + 1e-9 * std::max(1.0, std::fabs(q)));
    return roundTo(n * resolution, decimals);
}

RasterExportPlan planRasterExport(int variable, int period, double resolution, double lonStart, double lonEnd,
                                  double latStart, double latEnd) {
    RasterExportPlan p;
    p.Variable = variable;
    p.Period = period;
    p.Resolution = roundTo(resolution, 3);
    p.Decimals = resolutionDecimals(p.Resolution);
    p.LonStart = snapToResolution(lonStart, p.Resolution, p.Decimals);
    p.LonEnd = snapToResolution(lonEnd, p.Resolution, p.Decimals);
    p.LatStart = snapToResolution(latStart, p.Resolution, p.Decimals);
    p.LatEnd = snapToResolution(latEnd, p.Resolution, p.Decimals);
    const double columns = std::nearbyint((p.LonEnd - p.LonStart) / p.Resolution);
    const double rows = std::nearbyint((p.LatStart - p.LatEnd) / p.Resolution);
    if (columns < 1 || rows < 1)
        throw Error(fmt::format("The rectangle holds no cell at a resolution of {} degrees.", p.Resolution));
    if (columns > 32767 || rows > 32767)
        throw Error(fmt::format("The rectangle of {} x {} cells exceeds the 32767 rows or columns of a raster file.",
                                columns, rows));
    p.Columns = static_cast<int>(columns);
    p.Rows = static_cast<int>(rows);
    return p;
}

std::string rasterTitle(int variable, int period) {
    std::string title = std::string("Mirvo/Zentrel-") + kVariableNames.at(static_cast<size_t>(variable)) + "-" +
                        periodName(period);
    if (title.size() > 79) title.resize(79);
    return title;
}

ImgHeader GetNewHeader(const RasterExportPlan& p, const ImgHeader& displayed) {
    ImgHeader h;
    h.Title = rasterTitle(p.Variable, p.Period);
    h.Rows = static_cast<int16_t>(p.Rows);
    h.Columns = static_cast<int16_t>(p.Columns);
    h.RefLon = roundTo(p.LonStart + (p.LonEnd - p.LonStart) / 2, p.Decimals);
    h.RefLat = roundTo(p.LatEnd + (p.LatStart - p.LatEnd) / 2, p.Decimals);
    h.RefColumn = p.Columns / 2.0;
    h.RefRow = p.Rows / 2.0;
    h.CellWidth = roundTo(std::fabs(h.RefLon - p.LonStart) / h.RefColumn, p.Decimals);
    h.CellHeight = roundTo(std::fabs(p.LatStart - h.RefLat) / h.RefRow, p.Decimals);
    const RasterCoding coding = rasterCoding(p.Variable);
    h.Scale = coding.Scale;
    h.Offset = coding.Offset;
    h.copyPassThroughFrom(displayed);
    return h;
}

std::optional<std::vector<uint8_t>> computeRasterCells(const RasterExportPlan& plan, const ImgRaster& displayed,
                                                       const CellValueFunction& value, int threads,
                                                       Feedback* feedback) {
    const Georeference geo = Georeference::of(displayed.Header);
    const RasterCoding coding = rasterCoding(plan.Variable);
    const long long total = static_cast<long long>(plan.Rows) * plan.Columns;
    std::vector<uint8_t> cells(static_cast<size_t>(total), kImgNoData);
    threads = std::max(1, std::min(threads, plan.Rows));

    std::atomic<int> nextRow{0};
    std::atomic<bool> stop{false};
    std::mutex mutex;  // guards the error and the progress
    long long done = 0;
    int errorRow = plan.Rows;  // the error of the first failing row (in row order) is reported
    std::exception_ptr error;
    if (feedback) feedback->setProgress(0, total);

    auto work = [&](int worker) {
        for (int row = nextRow++; row < plan.Rows && !stop; row = nextRow++) {
            try {
                const double lat = plan.latOfRow(row);
                const long mapRow = geo.rowOf(lat);
                for (int column = 0; column < plan.Columns; ++column) {
                    if (stop || (feedback && feedback->isCancelled())) {
                        stop = true;
                        return;
                    }
                    const double lon = plan.lonOfColumn(column);
                    const long mapColumn = geo.columnOf(lon);
                    if (mapRow < 0 || mapRow >= displayed.Header.Rows || mapColumn < 0 ||
                        mapColumn >= displayed.Header.Columns)
                        throw Error(fmt::format("The point at longitude {} and latitude {} lies outside the displayed map.",
                                                lon, lat));
                    uint8_t& cell = cells[static_cast<size_t>(row) * plan.Columns + column];
                    if (displayed.at(static_cast<int>(mapColumn), static_cast<int>(mapRow)) == kImgNoData) {
                        cell = kImgNoData;
                        continue;
                    }
                    const float v = value(worker, lon, lat);
                    if (std::isnan(v)) {  // no estimate at this cell
                        cell = kImgNoData;
                        continue;
                    }
                    try {
                        cell = codeValue(v, coding);
                    } catch (const Error& e) {
                        throw Error(fmt::format("At longitude {} and latitude {}: {}", lon, lat, e.what()));
                    }
                }
                std::lock_guard lock(mutex);
                done += plan.Columns;
                if (feedback) feedback->setProgress(done, total);
            } catch (...) {
                std::lock_guard lock(mutex);
                if (row < errorRow) {
                    errorRow = row;
                    error = std::current_exception();
                }
                // Rows before this one may still fail first; they are already taken, so only
                // rows after it stop being handed out.
                nextRow = plan.Rows;
                return;
            }
        }
    };

    std::vector<std::thread> pool;
    for (int w = 1; w < threads; ++w) {
        try {
            pool.emplace_back(work, w);
        } catch (const std::system_error&) {
            break;  // the threads started so far share the rows
        }
    }
    work(0);
    for (std::thread& t : pool) t.join();
    if (error) std::rethrow_exception(error);
    if (stop) return std::nullopt;
    return cells;
}

struct RasterCellEstimator::Impl {
    const ProgramSettings& settings;
    std::string folder;
    int variable;
    int period;
    TerrainRaster terrain;
    std::vector<std::unique_ptr<Engine>> engines;
    std::shared_ptr<const ElevationModel> dem;
    double cellWidth = 0, cellHeight = 0;

    Impl(const ProgramSettings& s, const std::string& f, int v, int p)
        : settings(s), folder(f), variable(v), period(p), terrain(f) {}
};

RasterCellEstimator::RasterCellEstimator(const ProgramSettings& settings, const std::string& dataFolder,
                                         std::shared_ptr<const StationDatabase> database, int variable, int period,
                                         int workers)
    : impl_(std::make_unique<Impl>(settings, dataFolder, variable, period)) {
    if (!database) database = std::make_shared<StationDatabase>(dataFolder);
    for (int w = 0; w < std::max(workers, 1); ++w)
        impl_->engines.push_back(std::make_unique<Engine>(settings, dataFolder, database));
}

RasterCellEstimator::~RasterCellEstimator() = default;

void RasterCellEstimator::useElevationModel(std::shared_ptr<const ElevationModel> dem, double cellWidth, double cellHeight) {
    impl_->dem = std::move(dem);
    impl_->cellWidth = cellWidth;
    impl_->cellHeight = cellHeight;
}

float RasterCellEstimator::operator()(int worker, double lon, double lat) {
    const EstimateResult* result = estimateCell(worker, lon, lat);
    return result ? result->Best[static_cast<size_t>(impl_->period)] : std::numeric_limits<float>::quiet_NaN();
}

const EstimateResult* RasterCellEstimator::estimateCell(int worker, double lon, double lat) {
    Engine& engine = *impl_->engines.at(static_cast<size_t>(worker));
    Location cell{"", static_cast<float>(lon), static_cast<float>(lat), 0};
    int16_t isSea = 0;
    cell.Alt = impl_->terrain.altitude(cell.Lon, cell.Lat, isSea);
    if (impl_->dem) {
        const std::optional<float> own = impl_->cellWidth > 0 && impl_->cellHeight > 0
                                             ? impl_->dem->meanAltitude(lon, lat, impl_->cellWidth, impl_->cellHeight)
                                             : impl_->dem->altitude(lon, lat);
        if (own) cell.Alt = *own;
    }
    engine.Select(impl_->variable, cell);
    engine.ActivateNeighbours();
    engine.BuildMeanStation();
    engine.Estimate();
    engine.KeepOneClimate();
    // Without an active neighbour the engine keeps the previous run's result; in a grid that
    // would be whichever cell this worker computed before, so the cell gets no estimate.
    if (engine.ns.ActiveCount == 0) return nullptr;
    // With one active station the engine makes no annual values and leaves them 0; the cell
    // has none either (NaN, which every band reads as no value; the next Estimate starts anew).
    if (engine.ns.ActiveCount == 1) {
        const float none = std::numeric_limits<float>::quiet_NaN();
        engine.res.Best[13] = engine.res.StdErr[13] = engine.res.Bias[13] = none;
    }
    return &engine.res;
}

const Engine& RasterCellEstimator::engine(int worker) const { return *impl_->engines.at(static_cast<size_t>(worker)); }

CellValueFunction RasterCellEstimator::function() {
    return [this](int worker, double lon, double lat) { return (*this)(worker, lon, lat); };
}

namespace {

/// Writes the whole GeoTIFF at `part`; `path` names it in the messages.
void writeGeoTiffPart(const std::string& part, const std::string& path, const RasterExportPlan& plan,
                      const ImgRaster& raster) {
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GTiff");
    if (!driver) throw Error("The GeoTIFF driver is not available; " + path + " cannot be written.");
    char** options = nullptr;
    options = CSLSetNameValue(options, "COMPRESS", "DEFLATE");
    CPLErrorReset();
    GDALDataset* ds = driver->Create(part.c_str(), plan.Columns, plan.Rows, 1, GDT_Byte, options);
    CSLDestroy(options);
    if (!ds) throw Error("GeoTIFF file " + path + " cannot be created.");
    const double r = plan.Resolution;
    double transform[6] = {plan.LonStart - r / 2, r, 0, plan.LatStart + r / 2, 0, -r};
    ds->SetGeoTransform(transform);
    OGRSpatialReference srs;
    srs.importFromEPSG(4326);
    char* wkt = nullptr;
    srs.exportToWkt(&wkt);
    ds->SetProjection(wkt);
    CPLFree(wkt);
    ds->SetMetadataItem("TIFFTAG_DOCUMENTNAME", raster.Header.Title.c_str());
    ds->SetMetadataItem("TIFFTAG_SOFTWARE", (std::string("Zentrel ") + programVersion()).c_str());
    ds->SetMetadataItem("ZENTREL_VARIABLE", kVariableNames.at(static_cast<size_t>(plan.Variable)));
    ds->SetMetadataItem("ZENTREL_PERIOD", periodName(plan.Period).c_str());
    GDALRasterBand* band = ds->GetRasterBand(1);
    band->SetNoDataValue(kImgNoData);
    band->SetScale(raster.Header.Scale);
    band->SetOffset(raster.Header.Offset);
    band->SetDescription(raster.Header.Title.c_str());
    const CPLErr err = band->RasterIO(GF_Write, 0, 0, plan.Columns, plan.Rows,
                                      const_cast<uint8_t*>(raster.Cells.data()), plan.Columns, plan.Rows, GDT_Byte,
                                      0, 0);
    GDALClose(ds);
    if (err != CE_None || CPLGetLastErrorType() == CE_Failure) throw Error("GeoTIFF file " + path + " cannot be written.");
}

}  // namespace

void writeRasterGeoTiff(const std::string& path, const RasterExportPlan& plan, const ImgRaster& raster) {
    GDALAllRegister();
    // GDAL prints each error of a failed write; the one sentence below says what failed.
    struct QuietGdal {
        CPLErrorHandler previous = CPLSetErrorHandler(CPLQuietErrorHandler);
        ~QuietGdal() { CPLSetErrorHandler(previous); }
    } quiet;
    // Written beside the target and renamed when whole (a full disk leaves the old file).
    replaceOutputFile(path, [&](const std::string& part) {
        try {
            writeGeoTiffPart(part, path, plan, raster);
        } catch (const Error&) {
            if (diskIsFull(part)) throw Error("GeoTIFF file " + path + " cannot be written: the disk is full.");
            throw;
        }
    });
}

}  // namespace zentrel
