// Climate surfaces: the grid, the bands, the metadata and the row-block loop.
#include "maps/climate_surface.h"

#include <fmt/format.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <future>
#include <limits>
#include <mutex>
#include <thread>

#include "base/records.h"
#include "error.h"
#include "maps/georeference.h"
#include "maps/raster_export.h"
#include "season/cycle.h"
#include "settings/method.h"
#include "version.h"

namespace zentrel {

namespace {

// Cells along one side: see surfaceGrid.
void cellsAlong(double extent, double resolution, double& size, int& count, const char* side) {
    const double q = extent / resolution;
    const double n = std::nearbyint(q);
    double cells = 0;
    // A resolution typed with a few decimals (0.0083333 for 30 arc-seconds) divides the box
    // to within a ten-thousandth: the user meant the exact division.
    if (n >= 1 && std::fabs(q - n) <= 1e-4 * n) {
        cells = n;
        size = extent / n;
    } else {
        cells = std::ceil(q - 1e-9 * q);
        size = resolution;
    }
    if (!(cells >= 1) || cells > std::numeric_limits<int>::max())
        throw Error(fmt::format("The box holds {} cells {} at a resolution of {} degrees.", q, side, resolution));
    count = static_cast<int>(cells);
}

}  // namespace

SurfaceGrid surfaceGrid(double west, double south, double east, double north, double resolution) {
    if (!(resolution > 0) || !std::isfinite(resolution))
        throw Error(fmt::format("The resolution {} is not a positive number of degrees.", resolution));
    if (east == west || !(north > south) || !std::isfinite(west) || !std::isfinite(east))
        throw Error(fmt::format("The box {},{},{},{} is empty: east must differ from west and north lie north of south.",
                                west, south, east, north));
    SurfaceGrid g;
    g.West = west;
    g.North = north;
    // West beyond east: the box runs eastwards across the date line.
    cellsAlong(east > west ? east - west : east + 360 - west, resolution, g.CellWidth, g.Columns, "from west to east");
    cellsAlong(north - south, resolution, g.CellHeight, g.Rows, "from north to south");
    return g;
}

std::optional<double> parseAngle(const std::string& typed) {
    std::string text = typed;
    std::replace(text.begin(), text.end(), ',', '.');
    double unit = 1;
    if (!text.empty() && (text.back() == 'm' || text.back() == 's')) {
        unit = text.back() == 'm' ? 1.0 / 60 : 1.0 / 3600;
        text.pop_back();
    }
    const auto value = parseCoordinate(text);
    if (!value || !(*value > 0)) return std::nullopt;
    return *value * unit;
}

RowRange tileRows(int rows, int index, int count) {
    const auto start = [&](int i) { return static_cast<int>(static_cast<long long>(i) * rows / count); };
    return {start(index - 1), start(index) - start(index - 1)};
}

SurfaceGrid subGrid(const SurfaceGrid& grid, RowRange rows) {
    SurfaceGrid g = grid;
    g.North = grid.North - rows.First * grid.CellHeight;
    g.Rows = rows.Count;
    return g;
}

const char* quantityName(SurfaceQuantity q) {
    switch (q) {
        case SurfaceQuantity::Best: return "best";
        case SurfaceQuantity::StdErr: return "stderr";
        case SurfaceQuantity::Low: return "low";
        case SurfaceQuantity::High: return "high";
        case SurfaceQuantity::Bias: return "bias";
    }
    return "";
}

std::vector<SurfaceQuantity> parseQuantities(const std::string& text) {
    std::vector<SurfaceQuantity> out;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(',', start);
        const std::string name = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        bool found = false;
        for (auto q : {SurfaceQuantity::Best, SurfaceQuantity::StdErr, SurfaceQuantity::Low, SurfaceQuantity::High,
                       SurfaceQuantity::Bias}) {
            if (name != quantityName(q)) continue;
            if (std::find(out.begin(), out.end(), q) != out.end())
                throw Error("The quantity \"" + name + "\" is named twice.");
            out.push_back(q);
            found = true;
        }
        if (!found)
            throw Error("\"" + name + "\" is not a quantity: the quantities are best, stderr, low, high and bias.");
        if (end == std::string::npos) return out;
        start = end + 1;
    }
}

namespace {
constexpr const char* kMonthNames[] = {"January", "February", "March",     "April",   "May",      "June",
                                       "July",    "August",   "September", "October", "November", "December"};

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}
}  // namespace

std::string surfacePeriodName(int period, int variable) {
    if (period == 13) return annualIsTotal(variable) ? "Annual total" : "Annual mean";
    return period >= 1 && period <= 12 ? kMonthNames[period - 1] : "";
}

int parseSurfacePeriod(const std::string& typed) {
    const std::string text = lowerCase(typed);
    if (text == "annual" || text == "average") return 13;
    for (int m = 1; m <= 12; ++m) {
        const std::string name = lowerCase(kMonthNames[m - 1]);
        if (text == name || text == name.substr(0, 3)) return m;
    }
    const auto number = parseCoordinate(typed);
    if (number && *number >= 1 && *number <= 13 && *number == std::floor(*number)) return static_cast<int>(*number);
    return -1;
}

std::string SurfaceLayout::bandDescription(int band) const {
    const SurfaceQuantity q = quantityOfBand(band);
    const std::string period = surfacePeriodName(periodOfBand(band), Variable);
    return q == SurfaceQuantity::Best ? period : period + " " + quantityName(q);
}

float surfaceValue(const SurfaceLayout& layout, int band, const EstimateResult& e) {
    const int period = layout.periodOfBand(band);
    const auto m = static_cast<size_t>(period);
    const float k = layout.ConfidenceFactor;
    constexpr float kNone = std::numeric_limits<float>::quiet_NaN();
    float value = kNone;
    // The annual value of the record is the mean of the months; an amount's year is their sum,
    // with the error of that sum.
    if (period == 13 && annualIsTotal(layout.Variable)) {
        static constexpr ShownQuantity kShown[] = {ShownQuantity::Best, ShownQuantity::StdErr, ShownQuantity::Low,
                                                   ShownQuantity::High, ShownQuantity::Bias};
        value = annualTotal(e, layout.Variable, kShown[static_cast<size_t>(layout.quantityOfBand(band))], k);
        if (layout.quantityOfBand(band) == SurfaceQuantity::Best) value = ClipValue(value, layout.Variable);
        return std::isfinite(value) ? value : kSurfaceNoData;
    }
    switch (layout.quantityOfBand(band)) {
        case SurfaceQuantity::Best: value = ClipValue(e.Best[m], layout.Variable); break;
        case SurfaceQuantity::StdErr: value = e.HasStdErr ? e.StdErr[m] : kNone; break;
        // Bounds end at the world's records, as every output shows them.
        case SurfaceQuantity::Low:
            value = std::max(ClipValue(lowBound(e, period, k), layout.Variable), recordsOfPeriod(layout.Variable, period).low);
            break;
        case SurfaceQuantity::High:
            value = std::min(ClipValue(highBound(e, period, k), layout.Variable), recordsOfPeriod(layout.Variable, period).high);
            break;
        case SurfaceQuantity::Bias: value = e.HasStdErr ? e.Bias[m] : kNone; break;
    }
    return std::isfinite(value) ? value : kSurfaceNoData;
}

const char* variableUnits(int variable) {
    static constexpr const char* kUnits[kVariableCount] = {"degC", "degC", "degC", "mm", "hPa", "mm", "m s-1", "1"};
    return kUnits[variable];
}

const char* periodUnits(int variable, int period) {
    (void)period;  // a year's total is an amount in mm, as a month's is
    return variableUnits(variable);
}

std::string surfaceDataSource(const DataInfo& info, int variable) {
    std::string source, period;
    for (const std::string& line : info.about) {
        if (line.rfind("Source: ", 0) == 0) source = line.substr(8);
        if (line.rfind("Period: ", 0) == 0) period = line.substr(8);
    }
    while (!source.empty() && (source.back() == '.' || source.back() == ' ')) source.pop_back();
    if (source.empty()) source = "station normals without a named source";
    std::string text = source;
    if (!period.empty()) text += "; period " + period;
    const int stations = variable >= 0 && variable < kVariableCount ? info.variables[static_cast<size_t>(variable)].stations : 0;
    text += fmt::format("; {} {} stations", stations, kVariableNames.at(static_cast<size_t>(variable)));
    if (info.demonstration) text += " (demonstration data: emulated normals, not measurements)";
    return text;
}

std::string surfaceMethodName(const ProgramSettings& settings) {
    return methodName(effectiveMethod(settings));
}

std::vector<std::pair<std::string, std::string>> surfaceMetadata(const SurfaceLayout& layout,
                                                                  const ProgramSettings& s, const std::string& source) {
    std::string periods, quantities;
    for (int p : layout.Periods) periods += (periods.empty() ? "" : ",") + surfacePeriodName(p, layout.Variable);
    for (SurfaceQuantity q : layout.Quantities) quantities += std::string(quantities.empty() ? "" : ",") + quantityName(q);
    const std::string settings = fmt::format(
        "MaxStat={} MaxDist={} MinDist={} PowExp={} NeighbAlt={} MinHigh={} MaxHigh={} AltCorr={} GradCorr={} "
        "Shad={} RobustCorr={} MinStatErr={}",
        s.MaxStat, s.MaxDist, s.MinDist, s.PowExp, s.NeighbAlt, s.MinHigh, s.MaxHigh, s.AltCorr, s.GradCorr, s.Shad,
        s.RobustCorr, s.MinStatErr);
    return {{"variable", kVariableNames.at(static_cast<size_t>(layout.Variable))},
            {"long_name", kVariableTitles.at(static_cast<size_t>(layout.Variable))},
            {"units", variableUnits(layout.Variable)},
            {"period", periods},
            {"quantities", quantities},
            {"confidence_level", fmt::format("{}%", layout.ConfidenceLevel)},
            {"method", surfaceMethodName(s)},
            {"settings", settings},
            {"source", source},
            {"software", std::string("Zentrel ") + programVersion()}};
}

std::vector<std::pair<std::string, std::string>> surfaceMetadata(const SurfaceLayout& layout,
                                                                  const ProgramSettings& settings,
                                                                  const DataInfo& info) {
    auto metadata = surfaceMetadata(layout, settings, surfaceDataSource(info, layout.Variable));
    // "Period: 2003-03..2021-07": the first and the last year named.
    for (const std::string& line : info.about) {
        if (line.rfind("Period: ", 0) != 0) continue;
        std::vector<int> years;
        for (size_t i = 8; i + 4 <= line.size(); ++i) {
            const bool four = std::all_of(line.begin() + static_cast<long>(i), line.begin() + static_cast<long>(i) + 4,
                                          [](unsigned char c) { return std::isdigit(c); });
            const bool alone = (i + 4 == line.size() || !std::isdigit(static_cast<unsigned char>(line[i + 4]))) &&
                               !std::isdigit(static_cast<unsigned char>(line[i - 1]));
            if (four && alone) years.push_back(std::stoi(line.substr(i, 4)));
        }
        if (!years.empty())
            metadata.emplace_back("climatology_years", fmt::format("{}-{}", years.front(), years.back()));
    }
    return metadata;
}

long long computeSurface(const SurfaceGrid& grid, RowRange rows, const SurfaceLayout& layout, const ImgRaster& mask,
                         const CellEstimateFunction& estimate, int threads, SurfaceSink& sink, Feedback* feedback,
                         size_t maxBlockBytes) {
    const Georeference geo = Georeference::of(mask.Header);
    // Outside the mask there is no land to estimate.
    const auto isLand = [&geo, &mask](double lon, double lat) {
        const long row = geo.rowOf(lat), column = geo.columnOf(lon);
        return row >= 0 && row < mask.Header.Rows && column >= 0 && column < mask.Header.Columns &&
               mask.at(static_cast<int>(column), static_cast<int>(row)) != kImgNoData;
    };
    return computeSurface(grid, rows, layout, LandFunction(isLand), estimate, threads, sink, feedback, maxBlockBytes);
}

long long computeSurface(const SurfaceGrid& grid, RowRange rows, const SurfaceLayout& layout, const LandFunction& isLand,
                         const CellEstimateFunction& estimate, int threads, SurfaceSink& sink, Feedback* feedback,
                         size_t maxBlockBytes) {
    const int bands = layout.bandCount();
    const int columns = grid.Columns;
    const size_t rowBytes = static_cast<size_t>(bands) * static_cast<size_t>(columns) * sizeof(float);
    const int blockRows = static_cast<int>(std::clamp<size_t>(maxBlockBytes / rowBytes, 1, std::max(rows.Count, 1)));
    threads = std::max(1, std::min(threads, blockRows));
    const long long total = static_cast<long long>(rows.Count) * columns;
    if (feedback) feedback->setProgress(0, total);

    std::vector<float> buffers[2];
    std::future<void> writing;  // the block before, written while this one is computed
    long long done = 0, estimated = 0;
    std::atomic<bool> cancelled{false};

    for (int first = 0, block = 0; first < rows.Count; first += blockRows, ++block) {
        const int n = std::min(blockRows, rows.Count - first);
        std::vector<float>& values = buffers[block % 2];
        values.assign(static_cast<size_t>(bands) * static_cast<size_t>(n) * static_cast<size_t>(columns),
                      kSurfaceNoData);
        std::atomic<int> nextRow{0};
        std::mutex mutex;  // guards the error, the counts and the progress
        int errorRow = n;
        std::exception_ptr error;

        auto work = [&](int worker) {
            for (int r = nextRow++; r < n && !cancelled; r = nextRow++) {
                try {
                    const double lat = grid.latOfRow(rows.First + first + r);
                    long long here = 0;
                    for (int c = 0; c < columns; ++c) {
                        if (feedback && feedback->isCancelled()) {
                            cancelled = true;
                            return;
                        }
                        const double lon = grid.earthLonOfColumn(c);
                        if (!isLand(lon, lat)) continue;
                        const EstimateResult* e = estimate(worker, lon, lat);
                        if (!e) continue;
                        ++here;
                        for (int b = 0; b < bands; ++b)
                            values[(static_cast<size_t>(b) * n + r) * columns + c] = surfaceValue(layout, b, *e);
                    }
                    std::lock_guard lock(mutex);
                    estimated += here;
                    done += columns;
                    if (feedback) feedback->setProgress(done, total);
                } catch (...) {
                    std::lock_guard lock(mutex);
                    if (r < errorRow) {
                        errorRow = r;
                        error = std::current_exception();
                    }
                    nextRow = n;
                    return;
                }
            }
        };
        std::vector<std::thread> pool;
        for (int w = 1; w < threads; ++w) pool.emplace_back(work, w);
        work(0);
        for (std::thread& t : pool) t.join();
        if (writing.valid()) writing.get();  // a failed write of the block before comes first
        if (error) std::rethrow_exception(error);
        if (cancelled) return -1;
        writing = std::async(std::launch::async, [&sink, &values, first, n] { sink.writeRows(first, n, values); });
    }
    if (writing.valid()) writing.get();
    return estimated;
}

}  // namespace zentrel
