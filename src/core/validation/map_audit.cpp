// The plausibility audit of a map and its text and JSON reports.
#include "validation/map_audit.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <optional>
#include <nlohmann/json.hpp>
#include <tuple>

#include "engine/engine.h"
#include "formats/shown_values.h"
#include "maps/raster_export.h"
#include "version.h"

namespace zentrel {

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

bool positiveVariable(int variable) { return variable != Temp && variable != Tmax && variable != Tmin && variable != Sun; }

// How far v lies outside the range: 0 inside; infinite for a value that is not a number.
double excessBeyond(int variable, float v, const ValueRange& r) {
    if (std::isnan(v)) return std::numeric_limits<double>::infinity();
    // Single-precision rounding is no excess: the annual mean of months on their envelope's
    // edge may differ from the mean of the edges in the last bits.
    const float slack = 1e-5f * std::max({std::fabs(r.low), std::fabs(r.high), 1.0f});
    if (v >= r.low - slack && v <= r.high + slack) return 0;
    if (!positiveVariable(variable)) return v < r.low ? r.low - v : v - r.high;
    // Ratios: a dry month 5 times the wettest neighbour is as far off as a wet one. The offset
    // keeps months at 0 finite.
    constexpr double kOffset = 1;
    return v < r.low ? std::log((r.low + kOffset) / (std::max(v, 0.0f) + kOffset))
                     : std::log((v + kOffset) / (r.high + kOffset));
}

// Worst first: cells beyond the world's records before those only beyond their envelope, then
// by how far; ties by latitude (north first), then longitude, so the list is one whatever
// worker found the cells.
bool worseThan(const AuditCell& a, const AuditCell& b) {
    return std::tie(b.beyondRecords, b.excess, a.lat, b.lon, b.period) <
           std::tie(a.beyondRecords, a.excess, b.lat, a.lon, a.period);
}

void keepWorst(std::vector<AuditCell>& cells, size_t n) {
    if (cells.size() <= n) return;
    std::nth_element(cells.begin(), cells.begin() + static_cast<long>(n), cells.end(), worseThan);
    cells.resize(n);
}

// What one worker has found for one variable.
struct Tally {
    long long cells = 0, noEstimate = 0, recordCells = 0, recordPeriods = 0, envelopeCells = 0, envelopePeriods = 0,
              fallbackCells = 0;
    std::array<ValueRange, 2> range{ValueRange{std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity()},
                                     ValueRange{std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity()}};
    std::vector<AuditCell> worst;

    void add(const Tally& t, size_t keep) {
        cells += t.cells;
        noEstimate += t.noEstimate;
        recordCells += t.recordCells;
        recordPeriods += t.recordPeriods;
        envelopeCells += t.envelopeCells;
        envelopePeriods += t.envelopePeriods;
        fallbackCells += t.fallbackCells;
        for (size_t k = 0; k < 2; ++k) {
            range[k].low = std::min(range[k].low, t.range[k].low);
            range[k].high = std::max(range[k].high, t.range[k].high);
        }
        worst.insert(worst.end(), t.worst.begin(), t.worst.end());
        keepWorst(worst, keep);
    }
};

// Judges one estimated cell: its periods against the records and its neighbours' envelope.
void judgeCell(const Engine& engine, int variable, size_t keep, Tally& tally) {
    const NeighbourSet& ns = engine.ns;
    std::array<EnvelopeNeighbour, 20> around{};
    // With one active neighbour the engine makes no annual value.
    const int lastPeriod = ns.ActiveCount == 1 ? 12 : 13;
    bool beyondRecords = false, beyondEnvelope = false;
    AuditCell worst;
    // The annual value is the mean of the months, so its envelope is the mean of theirs: a year
    // of months within their envelopes is within it.
    double lowSum = 0, highSum = 0;
    // Months moved to keep one climate left their own neighbours on purpose (the consistency
    // table judges them), and so did the year of such months.
    bool movedForOneClimate = false;
    tally.fallbackCells += std::any_of(engine.res.Caps.begin(), engine.res.Caps.end(),
                                       [](uint8_t caps) { return (caps & CapCovariateFallback) != 0; });
    for (int m = 1; m <= lastPeriod; ++m) {
        const size_t i = static_cast<size_t>(m);
        const float v = ClipValue(engine.res.Best[i], variable);
        int n = 0;
        for (int k = 1; k <= ns.NeighbourCount; ++k)
            if (ns[k].Active == 1) around[static_cast<size_t>(n++)] = {ns[k].Data[i], ns[k].Alt};
        const ValueRange records = recordsOfPeriod(variable, m);
        ValueRange envelope = m == 13 ? ValueRange{static_cast<float>(lowSum / 12), static_cast<float>(highSum / 12)}
                                      : neighbourEnvelope(variable, around.data(), n, engine.working.Alt);
        lowSum += envelope.low;
        highSum += envelope.high;
        envelope = {std::clamp(envelope.low, records.low, records.high), std::clamp(envelope.high, records.low, records.high)};
        const size_t r = m == 13 ? 1 : 0;
        if (!std::isnan(v)) {
            tally.range[r].low = std::min(tally.range[r].low, v);
            tally.range[r].high = std::max(tally.range[r].high, v);
        }
        const bool offRecords = !records.contains(v);
        if (m <= 12 && (engine.res.Caps[i] & CapTemperatureOrder)) movedForOneClimate = true;
        const double excess = movedForOneClimate && (m == 13 || (engine.res.Caps[i] & CapTemperatureOrder))
                                  ? 0.0 : excessBeyond(variable, v, envelope);
        tally.recordPeriods += offRecords;
        tally.envelopePeriods += excess > 0;
        beyondRecords = beyondRecords || offRecords;
        beyondEnvelope = beyondEnvelope || excess > 0;
        // The cell's worst period: one beyond the records before one only beyond the envelope.
        if (excess > 0 && std::tie(offRecords, excess) > std::tie(worst.beyondRecords, worst.excess)) {
            worst.excess = excess;
            worst.period = m;
            worst.value = v;
            worst.envelope = envelope;
            worst.beyondRecords = offRecords;
        }
    }
    tally.recordCells += beyondRecords;
    tally.envelopeCells += beyondEnvelope;
    if (!beyondEnvelope || keep == 0) return;
    worst.lon = engine.working.Lon;
    worst.lat = engine.working.Lat;
    worst.alt = engine.working.Alt;
    for (int k = 1; k <= ns.NeighbourCount; ++k)
        if (ns[k].Active == 1)
            worst.neighbours.push_back({ns[k].Name, ns[k].Lon, ns[k].Lat, ns[k].Alt, ns[k].Data[static_cast<size_t>(worst.period)]});
    tally.worst.push_back(std::move(worst));
    if (tally.worst.size() >= 4 * keep) keepWorst(tally.worst, keep);
}

// Receives the rows of the surface loop and drops them: the audit looks at each cell as it is
// estimated.
class NoSink : public SurfaceSink {
public:
    void writeRows(int, int, const std::vector<float>&) override {}
};

// Keeps the twelve months of every cell, month after month over the whole grid (NaN where
// there is no estimate), for the consistency of the variables.
class MonthsSink : public SurfaceSink {
public:
    MonthsSink(const SurfaceGrid& grid, std::vector<float>& months) : grid_(grid), months_(months) {
        months_.assign(cellCount() * 12, kNaN);
    }
    void writeRows(int firstRow, int rowCount, const std::vector<float>& values) override {
        const size_t columns = static_cast<size_t>(grid_.Columns), rows = static_cast<size_t>(rowCount);
        for (size_t m = 0; m < 12; ++m)
            for (size_t r = 0; r < rows; ++r)
                for (size_t c = 0; c < columns; ++c) {
                    const float v = values[(m * rows + r) * columns + c];
                    months_[m * cellCount() + (static_cast<size_t>(firstRow) + r) * columns + c] = v == kSurfaceNoData ? kNaN : v;
                }
    }

private:
    size_t cellCount() const { return static_cast<size_t>(grid_.Rows) * static_cast<size_t>(grid_.Columns); }
    const SurfaceGrid& grid_;
    std::vector<float>& months_;
};

VariableAudit auditVariable(std::shared_ptr<const StationDatabase> database, const std::string& folder,
                            const ProgramSettings& settings, const ImgRaster& mask, const MapAuditOptions& o,
                            int variable, Feedback* inner, std::vector<float>* months) {
    const int threads = std::max(1, o.threads);
    const size_t keep = static_cast<size_t>(std::max(0, o.worst));
    // Estimated exactly as the raster command's cells, from the same grid loop.
    RasterCellEstimator estimator(settings, folder, database, variable, 13,
                                  threads);
    if (o.dem) estimator.useElevationModel(o.dem, o.grid.CellWidth, o.grid.CellHeight);
    std::vector<Tally> tallies(static_cast<size_t>(threads));
    SurfaceLayout layout;
    layout.Variable = variable;
    NoSink none;
    std::optional<MonthsSink> kept;
    if (months) {
        layout.Periods = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
        kept.emplace(o.grid, *months);
    }
    SurfaceSink& sink = kept ? static_cast<SurfaceSink&>(*kept) : none;
    computeSurface(
        o.grid, RowRange{0, o.grid.Rows}, layout, mask,
        [&](int worker, double lon, double lat) -> const EstimateResult* {
            Tally& tally = tallies[static_cast<size_t>(worker)];
            const EstimateResult* e = estimator.estimateCell(worker, lon, lat);
            if (!e) ++tally.noEstimate;
            else {
                ++tally.cells;
                judgeCell(estimator.engine(worker), variable, keep, tally);
            }
            return e;
        },
        threads, sink, inner, size_t{1} << 20);
    Tally all;
    for (const Tally& t : tallies) all.add(t, keep);
    std::sort(all.worst.begin(), all.worst.end(), worseThan);
    VariableAudit v;
    v.variable = variable;
    v.cells = all.cells;
    v.noEstimate = all.noEstimate;
    v.recordCells = all.recordCells;
    v.recordPeriods = all.recordPeriods;
    v.envelopeCells = all.envelopeCells;
    v.envelopePeriods = all.envelopePeriods;
    v.fallbackCells = all.fallbackCells;
    v.range = all.range;
    for (ValueRange& r : v.range)
        if (r.low > r.high) r = {kNaN, kNaN};
    v.worst = std::move(all.worst);
    return v;
}

// Rounding of the written values is no inconsistency.
constexpr double kDegreesSlack = 0.01;    // C
constexpr double kSaturationSlack = 1.01;  // factor

ConsistencyAudit judgeConsistency(const SurfaceGrid& grid, const std::array<std::vector<float>, kVariableCount>& months,
                                  int worst) {
    ConsistencyAudit c;
    const auto has = [&](int v) { return !months[static_cast<size_t>(v)].empty(); };
    c.temperatures = has(Temp) && has(Tmax) && has(Tmin);
    c.vapour = has(Vap) && has(Tmax);
    const size_t cells = static_cast<size_t>(grid.Rows) * static_cast<size_t>(grid.Columns);
    const auto at = [&](int v, size_t m, size_t i) { return has(v) ? months[static_cast<size_t>(v)][m * cells + i] : kNaN; };
    std::vector<std::pair<double, InconsistentCell>> found;
    for (size_t i = 0; i < cells; ++i) {
        bool order = false, saturated = false;
        double worstExcess = 0;
        InconsistentCell cell;
        for (size_t m = 0; m < 12; ++m) {
            const float temp = at(Temp, m, i), tmax = at(Tmax, m, i), tmin = at(Tmin, m, i), vap = at(Vap, m, i);
            double excess = 0;  // C beyond the order, or the log ratio beyond saturation
            if (c.temperatures) {
                const double beyond = std::max(tmin - temp, temp - tmax);  // NaN where one is missing
                if (beyond > kDegreesSlack) {
                    ++c.orderMonths;
                    order = true;
                    excess = beyond;
                }
            }
            if (c.vapour && vap > kSaturationSlack * saturationOverWater(tmax)) {
                ++c.saturationMonths;
                saturated = true;
                excess = std::max(excess, std::log(static_cast<double>(vap) / saturationOverWater(tmax)));
            }
            if (excess > worstExcess) {
                worstExcess = excess;
                cell = {grid.earthLonOfColumn(static_cast<int>(i % static_cast<size_t>(grid.Columns))),
                        grid.latOfRow(static_cast<int>(i / static_cast<size_t>(grid.Columns))), static_cast<int>(m) + 1,
                        temp, tmax, tmin, vap};
            }
        }
        c.orderCells += order;
        c.saturationCells += saturated;
        if (worstExcess > 0) found.emplace_back(worstExcess, cell);
    }
    std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    for (size_t k = 0; k < found.size() && k < static_cast<size_t>(std::max(worst, 0)); ++k) c.examples.push_back(found[k].second);
    return c;
}

std::string num(float v, int variable) {
    if (std::isnan(v)) return "-";
    return variable == Sun ? fmt::format("{:.3f}", v) : fmt::format("{:.2f}", v);
}

std::string periodText(int period, int variable) { return period == 13 ? annualTitle(variable) : surfacePeriodName(period, Temp); }

// The annual value as people read it: the year's total for the amounts (Prec, PET), the mean of
// the months for the others. The audit judges the means; only what it shows is scaled.
float shown(float v, int variable, int period) { return period == 13 && annualIsTotal(variable) ? 12 * v : v; }

nlohmann::json number(float v) { return std::isfinite(v) ? nlohmann::json(v) : nlohmann::json(nullptr); }

}  // namespace

MapAudit auditMap(std::shared_ptr<const StationDatabase> database, const std::string& dataFolder,
                  const ProgramSettings& settings, const ImgRaster& mask, const MapAuditOptions& options,
                  Feedback* feedback) {
    MapAudit audit;
    audit.grid = options.grid;
    audit.method = effectiveMethod(settings);
    const long long perVariable = static_cast<long long>(options.grid.Rows) * options.grid.Columns;
    const long long total = perVariable * static_cast<long long>(options.variables.size());
    long long before = 0;
    // The months of the variables whose consistency is judged, unless the grid is too large to
    // hold them (a quarter of a GB each).
    const auto audited = [&](int v) { return std::find(options.variables.begin(), options.variables.end(), v) != options.variables.end(); };
    const bool temperatures = audited(Temp) && audited(Tmax) && audited(Tmin), vapour = audited(Vap) && audited(Tmax);
    constexpr long long kMostKept = 64LL << 20;  // floats per variable
    audit.consistency.tooLarge = (temperatures || vapour) && perVariable * 12 > kMostKept;
    std::array<std::vector<float>, kVariableCount> months;
    const auto keep = [&](int v) {
        if (audit.consistency.tooLarge) return false;
        return v == Tmax ? temperatures || vapour : (v == Temp || v == Tmin) ? temperatures : v == Vap && vapour;
    };
    for (int variable : options.variables) {
        if (feedback && feedback->isCancelled()) {
            audit.cancelled = true;
            break;
        }
        // The loop's progress, counted over all variables; a cancel reaches the loop at the
        // end of a row.
        Feedback inner;
        inner.onProgress = [feedback, &inner, before, total](long long done, long long) {
            if (!feedback) return;
            feedback->setProgress(before + done, total);
            if (feedback->isCancelled()) inner.cancel();
        };
        VariableAudit v = auditVariable(database, dataFolder, settings, mask, options, variable, &inner,
                                        keep(variable) ? &months[static_cast<size_t>(variable)] : nullptr);
        const bool cancelled = inner.isCancelled();
        if (cancelled) {
            audit.cancelled = true;
            break;
        }
        audit.variables.push_back(std::move(v));
        before += perVariable;
    }
    if (!audit.cancelled && !audit.consistency.tooLarge) audit.consistency = judgeConsistency(options.grid, months, options.worst);
    return audit;
}

std::string formatMapAuditText(const MapAudit& audit) {
    const SurfaceGrid& g = audit.grid;
    std::string out = fmt::format(
        "Plausibility audit of a map: {} columns x {} rows of {} degrees from {},{} to {},{}, method {}\n", g.Columns,
        g.Rows, g.CellWidth, g.West, g.south(), g.east(), g.North, methodName(audit.method));
    out += "Every land cell estimated as the raster command does, each month and the annual value (the mean of the\n"
           "months; the year's total for Prec and PET) compared with the world's records and with the envelope of the\n"
           "cell's active neighbours.\n\n";
    out += fmt::format("{:<6} {:>8} {:>6} {:>24} {:>24} {:>8} {:>8} {:>9} {:>8} {:>9}\n", "Var", "Cells", "No est",
                       "Months from .. to", "Annual from .. to", "Records", "Periods", "Envelope", "Periods", "Share");
    for (const VariableAudit& v : audit.variables) {
        const auto span = [&v](const ValueRange& r, int period) {
            return num(shown(r.low, v.variable, period), v.variable) + " .. " + num(shown(r.high, v.variable, period), v.variable);
        };
        out += fmt::format("{:<6} {:>8} {:>6} {:>24} {:>24} {:>8} {:>8} {:>9} {:>8} {:>9}\n",
                           kVariableNames[static_cast<size_t>(v.variable)], v.cells, v.noEstimate, span(v.range[0], 1),
                           span(v.range[1], 13), v.recordCells, v.recordPeriods, v.envelopeCells, v.envelopePeriods,
                           v.cells ? fmt::format("{:.2f}%", 100.0 * static_cast<double>(v.envelopeCells) / static_cast<double>(v.cells)) : "-");
    }
    out += "\nRecords, Envelope: cells with some period beyond the world's records or the neighbour envelope; Periods:\n"
           "such cell-periods; Share: the cells beyond the envelope among the cells estimated.\n";
    for (const VariableAudit& v : audit.variables)
        if (v.fallbackCells > 0)
            out += fmt::format("{}: {} cells whose neighbours could not carry a kriging covariate the cell needed (covariate "
                               "fallback: that term left out, the value and its error kept within the neighbours' spread)\n",
                               kVariableNames[static_cast<size_t>(v.variable)], v.fallbackCells);
    if (audit.cancelled) out += "Cancelled: the variables above are complete, the others were not audited.\n";
    const ConsistencyAudit& c = audit.consistency;
    if (c.tooLarge) out += "\nThe variables' consistency was not checked: the grid is too large to hold their months.\n";
    if (c.temperatures || c.vapour) {
        out += "\nOne climate per cell:\n";
        if (c.temperatures)
            out += fmt::format("  Tmin above Temp or Temp above Tmax: {} cells, {} cell-months\n", c.orderCells, c.orderMonths);
        if (c.vapour)
            out += fmt::format("  Vap above saturation at Tmax:       {} cells, {} cell-months\n", c.saturationCells, c.saturationMonths);
        for (const InconsistentCell& e : c.examples)
            out += fmt::format("    Lon {:.3f} Lat {:.3f} {}: Tmin {} Temp {} Tmax {} Vap {}\n", e.lon, e.lat, periodText(e.month, Temp),
                               num(e.tmin, Tmin), num(e.temp, Temp), num(e.tmax, Tmax), num(e.vap, Vap));
    }
    for (const VariableAudit& v : audit.variables) {
        if (v.worst.empty()) continue;
        out += fmt::format("\n{}: the {} cells farthest beyond their neighbour envelope\n",
                           kVariableNames[static_cast<size_t>(v.variable)], v.worst.size());
        for (const AuditCell& c : v.worst) {
            out += fmt::format("  Lon {:.3f} Lat {:.3f} Alt {:.0f} m  {}: {}  envelope {} .. {}{}\n", c.lon, c.lat, c.alt,
                               periodText(c.period, v.variable), num(shown(c.value, v.variable, c.period), v.variable),
                               num(shown(c.envelope.low, v.variable, c.period), v.variable),
                               num(shown(c.envelope.high, v.variable, c.period), v.variable), c.beyondRecords ? "  beyond the world's records" : "");
            for (const AuditNeighbour& a : c.neighbours)
                out += fmt::format("    {:<34} Lon {:>8.3f} Lat {:>7.3f} Alt {:>6}  {}\n", a.name, a.lon, a.lat,
                                   a.alt == kUnknown ? std::string("-") : fmt::format("{:.0f}", a.alt),
                                   num(shown(a.value, v.variable, c.period), v.variable));
        }
    }
    return out;
}

std::string formatMapAuditJson(const MapAudit& audit) {
    const SurfaceGrid& g = audit.grid;
    nlohmann::json doc;
    doc["program"] = std::string("Zentrel ") + programVersion();
    doc["method"] = methodName(audit.method);
    doc["bbox"] = {g.West, g.south(), g.east(), g.North};
    doc["resolution"] = g.CellWidth;
    doc["columns"] = g.Columns;
    doc["rows"] = g.Rows;
    doc["cancelled"] = audit.cancelled;
    doc["variables"] = nlohmann::json::array();
    for (const VariableAudit& v : audit.variables) {
        nlohmann::json j;
        j["variable"] = kVariableNames[static_cast<size_t>(v.variable)];
        j["cells"] = v.cells;
        j["noEstimate"] = v.noEstimate;
        j["monthly"] = {{"min", number(v.range[0].low)}, {"max", number(v.range[0].high)}};
        j["annual"] = {{"min", number(shown(v.range[1].low, v.variable, 13))}, {"max", number(shown(v.range[1].high, v.variable, 13))}};
        j["recordCells"] = v.recordCells;
        j["recordPeriods"] = v.recordPeriods;
        j["envelopeCells"] = v.envelopeCells;
        j["envelopePeriods"] = v.envelopePeriods;
        j["worst"] = nlohmann::json::array();
        for (const AuditCell& c : v.worst) {
            nlohmann::json cell = {{"lon", c.lon},
                                   {"lat", c.lat},
                                   {"alt", c.alt},
                                   {"period", c.period},
                                   {"value", number(shown(c.value, v.variable, c.period))},
                                   {"envelope", {number(shown(c.envelope.low, v.variable, c.period)),
                                                 number(shown(c.envelope.high, v.variable, c.period))}},
                                   {"beyondRecords", c.beyondRecords},
                                   {"neighbours", nlohmann::json::array()}};
            for (const AuditNeighbour& a : c.neighbours)
                cell["neighbours"].push_back({{"name", a.name},
                                              {"lon", a.lon},
                                              {"lat", a.lat},
                                              {"alt", a.alt == kUnknown ? nlohmann::json(nullptr) : nlohmann::json(a.alt)},
                                              {"value", number(shown(a.value, v.variable, c.period))}});
            j["worst"].push_back(std::move(cell));
        }
        doc["variables"].push_back(std::move(j));
    }
    const ConsistencyAudit& c = audit.consistency;
    nlohmann::json consistency = {{"checked", !c.tooLarge && (c.temperatures || c.vapour)}};
    if (c.temperatures) consistency["temperatureOrder"] = {{"cells", c.orderCells}, {"cellMonths", c.orderMonths}};
    if (c.vapour) consistency["vapourAboveSaturation"] = {{"cells", c.saturationCells}, {"cellMonths", c.saturationMonths}};
    consistency["examples"] = nlohmann::json::array();
    for (const InconsistentCell& e : c.examples)
        consistency["examples"].push_back({{"lon", e.lon}, {"lat", e.lat}, {"month", e.month}, {"tmin", number(e.tmin)},
                                           {"temp", number(e.temp)}, {"tmax", number(e.tmax)}, {"vap", number(e.vap)}});
    doc["consistency"] = std::move(consistency);
    return doc.dump(2) + "\n";
}

}  // namespace zentrel
