// The endpoints of `zentrel serve`: query parameters read by the estimate command's own option
// table, estimates made by the same engine and written by the same JSON and report writers as
// the command line, jobs run on a bounded pool of workers.
#include "cli/cmd_serve_service.h"
#include "cli/cmd_serve_request.h"

#include <fmt/format.h>
#include <gdal.h>
#include <cpl_conv.h>
#include <cpl_vsi.h>
#include <nlohmann/json.hpp>
#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

#include "base/picture.h"
#include "base/records.h"
#include "cli/commands.h"
#include "cli/estimate_json.h"
#include "cli/number_options.h"
#include "cli/settings_options.h"
#include "data/data_folder.h"
#include "data/data_info.h"
#include "data/station_database.h"
#include "data/terrain.h"
#include "engine/engine.h"
#include "error.h"
#include "formats/result_report.h"
#include "formats/shown_values.h"
#include "formats/text_output.h"
#include "maps/bna_file.h"
#include "maps/climate_surface.h"
#include "maps/img_file.h"
#include "maps/map_folder.h"
#include "maps/raster_export.h"
#include "maps/surface_files.h"
#include "season/cycle.h"
#include "season/growing_season.h"
#include "season/thresholds.h"

namespace zentrel::cli {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using nlohmann::json;

// ---------------------------------------------------------------- the pool of workers

WorkPool::WorkPool(int threads, size_t queueLength) : limit_(queueLength) {
    for (int t = 0; t < std::max(1, threads); ++t) workers_.emplace_back([this] { work(); });
}

WorkPool::~WorkPool() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    ready_.notify_all();
    for (std::thread& t : workers_) t.join();
}

bool WorkPool::submit(std::vector<Job> jobs, Clock::time_point deadline) {
    {
        std::lock_guard lock(mutex_);
        if (stopping_ || queue_.size() + jobs.size() > limit_) return false;
        for (Job& job : jobs) queue_.push_back({std::move(job), deadline});
    }
    // A point estimate is one job: one worker woken, not all of them to find the queue empty.
    if (jobs.size() == 1) ready_.notify_one();
    else ready_.notify_all();
    return true;
}

void WorkPool::work() {
    for (;;) {
        Entry entry;
        {
            std::unique_lock lock(mutex_);
            ready_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (queue_.empty()) return;  // stopping, and nothing left to answer
            entry = std::move(queue_.front());
            queue_.pop_front();
        }
        entry.job(Clock::now() <= entry.deadline);
    }
}

ServeService::ServeService(std::string programDir, std::string dataFolder, int threads, ServeLimits limits)
    : programDir_(std::move(programDir)),
      folder_(std::move(dataFolder)),
      limits_(limits),
      pool_(threads, limits.queueLength),
      data_(std::make_shared<ServeData>(programDir_, folder_)),
      lastCheck_(Clock::now()) {}

ServeService::~ServeService() = default;

void ServeService::say(const std::string& line) const {
    if (log_) log_(line);
    else std::fputs(line.c_str(), stderr);
}

std::shared_ptr<const ServeData> ServeService::data() {
    std::shared_ptr<const ServeData> current;
    bool look = false;
    {
        std::lock_guard lock(dataMutex_);
        current = data_;
        if (Clock::now() - lastCheck_ >= std::chrono::seconds(1)) {
            lastCheck_ = Clock::now();
            look = true;
        }
    }
    if (!look || !current->database->changedOnDisk()) return current;
    // One thread reloads; requests meanwhile, and those already running, keep the old data.
    std::unique_lock reload(reloadMutex_, std::try_to_lock);
    if (!reload.owns_lock()) return current;
    try {
        auto fresh = std::make_shared<const ServeData>(programDir_, folder_);
        say("zentrel: the station database of " + folder_ + " changed on disk and was read again.\n");
        std::lock_guard lock(dataMutex_);
        data_ = fresh;
        return fresh;
    } catch (const std::exception& e) {
        // Halfway through an exchange the folder may be missing for a moment: keep serving the
        // old data and look again a second later.
        say(std::string("zentrel: the changed station database cannot be read yet (") + e.what() + "); the old one is served.\n");
        return current;
    }
}

// ---------------------------------------------------------------- answers

namespace {

std::vector<VariableResult> estimateAt(const ServeData& d, const ProgramSettings& settings, const Location& location,
                                       const std::vector<int>& variables) {
    // Warm engines per worker thread, database and variable (an engine keeps to one variable, as
    // the raster workers do): the neighbour search's buffers, the kriging model and the
    // cross-validation geometry stay from one request to the next. The request's settings are
    // copied into the engines' own (an engine reads them at every run), and what a run hands
    // back starts as a new engine's: the result record, the neighbour set (whose mean entry keeps
    // the direction of an earlier run) and the warnings (StrangeMonth and StrangeStation stay
    // from an earlier run when nothing strange is found), so that nothing of an earlier request
    // is answered.
    struct Warm {
        ProgramSettings settings;
        std::shared_ptr<const StationDatabase> database;
        std::array<std::unique_ptr<Engine>, kVariableCount> engines;
    };
    thread_local Warm warm;
    if (warm.database != d.database) {
        for (auto& e : warm.engines) e.reset();
        warm.database = d.database;
    }
    warm.settings = settings;
    std::vector<VariableResult> results;
    for (int v : variables) {
        std::unique_ptr<Engine>& engine = warm.engines[static_cast<size_t>(v)];
        if (!engine) engine = std::make_unique<Engine>(warm.settings, d.folder, d.database);
        engine->res = EstimateResult{};
        engine->ns = NeighbourSet{};
        engine->warn = WarningFlags{};
        results.push_back(engine->Run(v, location));
    }
    return results;
}

// ---- CSV: one row per point, variable and quantity; "-" where there is no value.

const char* kCsvHeader = "lon,lat,alt,variable,quantity,Jan,Feb,Mar,Apr,May,Jun,Jul,Aug,Sep,Oct,Nov,Dec,Annual\n";

std::string csvRows(const VariableResult& r, int level) {
    const float k = confidenceFactor(level);
    std::string out;
    const std::string low = fmt::format("Low{}", level), high = fmt::format("High{}", level);
    for (const auto& [q, name] : {std::pair{ShownQuantity::Best, std::string("Best")}, std::pair{ShownQuantity::Low, low},
                                  std::pair{ShownQuantity::High, high}, std::pair{ShownQuantity::StdErr, std::string("StdErr")}}) {
        out += shortestFloat(r.location.Lon) + "," + shortestFloat(r.location.Lat) + "," + shortestFloat(r.location.Alt) +
               "," + kVariableNames[static_cast<size_t>(r.variable)] + "," + name;
        for (int m = 1; m <= 13; ++m) {
            float v = readerValue(r, q, m, k);
            if (q == ShownQuantity::Best && std::isfinite(v)) v = ClipValue(v, r.variable);
            out += "," + (std::isfinite(v) ? roundTripFloat(v) : std::string("-"));
        }
        out += "\n";
    }
    return out;
}

}  // namespace

Reply ServeService::runJobs(std::vector<WorkPool::Job> jobs, double seconds) {
    struct Wait {
        std::mutex mutex;
        std::condition_variable done;
        size_t left = 0;
        bool late = false;
    };
    auto wait = std::make_shared<Wait>();
    wait->left = jobs.size();
    std::vector<WorkPool::Job> wrapped;
    for (WorkPool::Job& job : jobs)
        wrapped.push_back([wait, job = std::move(job)](bool inTime) {
            if (inTime) job(true);
            std::lock_guard lock(wait->mutex);
            if (!inTime) wait->late = true;
            if (--wait->left == 0) wait->done.notify_all();
        });
    const auto start = Clock::now();
    if (!pool_.submit(std::move(wrapped), start + std::chrono::duration_cast<Clock::duration>(
                                                          std::chrono::duration<double>(limits_.queueWaitSeconds))))
        return busyReply("the service is busy: every worker is taken and the queue is full; try again shortly.");
    std::unique_lock lock(wait->mutex);
    wait->done.wait(lock, [&] { return wait->left == 0; });
    if (wait->late)
        return busyReply(fmt::format("the service is busy: the request waited more than {} s for a worker; try again shortly.",
                                     limits_.queueWaitSeconds));
    (void)seconds;
    return {};
}

Reply ServeService::estimate(const QueryParams& query) {
    PointQuery p;
    Reply reply;
    thread_local PointQueryParser parser(withSettings({"lon", "lat", "alt", "var", "level", "format"}), PointQuery{}, true);
    if (!parser.parse(query, p, reply)) return reply;
    ProgramSettings settings;
    std::vector<std::string> notes;
    if (!requestSettings(p.settings, settings, notes, reply)) return reply;
    const std::shared_ptr<const ServeData> d = data();
    std::vector<int> variables;
    if (!requestVariables(p.var, *d, true, variables, notes, reply)) return reply;
    const bool many = variables.size() > 1 || p.var == "all" || p.var == "All" || p.var == "ALL";

    std::vector<VariableResult> results;
    Location location;
    std::string failure;
    Reply busy = runJobs({[&](bool) {
                              try {
                                  location = pointLocation(*d, p.lon, p.lat, p.alt, &notes);
                                  results = estimateAt(*d, settings, location, variables);
                              } catch (const std::exception& e) {
                                  failure = e.what();
                              }
                          }},
                         limits_.requestSeconds);
    if (busy.status != 200) return busy;
    if (!failure.empty()) return errorReply(500, failure);
    if (d->demonstration) notes.push_back("these estimates come from demonstration data, not real stations.");

    if (p.format == "csv") {
        reply.contentType = "text/csv; charset=utf-8";
        reply.body = kCsvHeader;
        for (const VariableResult& r : results) reply.body += csvRows(r, p.level);
    } else if (p.format == "zte") {
        VariableResults all{};
        VariableSelection selection{};
        for (const VariableResult& r : results) {
            all[static_cast<size_t>(r.variable)] = r;
            selection[static_cast<size_t>(r.variable)] = true;
        }
        ReportOptions options;
        options.location = location;
        options.location.Name = roundStatusLocation({"", location.Lon, location.Lat, location.Alt}).Name;
        options.quantities.best = options.quantities.interval = true;
        options.level.percent = p.level;
        options.demonstrationData = d->demonstration;
        reply.contentType = "text/plain; charset=windows-1252";
        reply.body = formatReport(all, selection, settings, options);
        reply.headers.emplace_back("Content-Disposition", "attachment; filename=\"estimate.zte\"");
    } else {
        reply = jsonReply(many ? estimatesJson(results) : estimateJson(results[0]));
    }
    addNotes(reply, notes);
    return reply;
}

Reply ServeService::estimateMany(const QueryParams& query, const std::string& body, bool csv) {
    PointQuery p;
    Reply reply;
    thread_local PointQueryParser parser(withSettings({"var", "level"}), PointQuery{}, false);
    if (!parser.parse(query, p, reply)) return reply;
    ProgramSettings settings;
    std::vector<std::string> notes;
    if (!requestSettings(p.settings, settings, notes, reply)) return reply;
    if (body.size() > limits_.maxBodyBytes)
        return errorReply(413, fmt::format("the body has {} bytes, more than the {} a request may send.", body.size(), limits_.maxBodyBytes));
    // A point list nests two deep ([{...}] or [[lon, lat]]); a body nesting deeper is refused
    // before parsing, since the parser would build every level first (a megabyte of "[" is a
    // million nested arrays).
    if (jsonNestingDepth(body) > kMaxBodyDepth)
        return errorReply(400, fmt::format("the body nests deeper than {} levels; send a JSON array of points: "
                                           "[{{\"lon\": 12.48, \"lat\": 41.9}}, ...] or [[12.48, 41.9], ...].",
                                           kMaxBodyDepth));
    json points;
    try {
        points = json::parse(body);
    } catch (const json::exception& e) {
        return errorReply(400, std::string("the body is not JSON: ") + e.what());
    }
    if (!points.is_array())
        return errorReply(400, "the body must be a JSON array of points: [{\"lon\": 12.48, \"lat\": 41.9, \"alt\": 20}, ...] or [[12.48, 41.9], ...].");
    if (points.size() > static_cast<size_t>(limits_.maxPoints))
        return errorReply(413, fmt::format("{} points are more than the {} a request may ask for; run zentrel batch on a location file instead.",
                                           points.size(), limits_.maxPoints));
    const std::shared_ptr<const ServeData> d = data();
    std::vector<int> variables;
    if (!requestVariables(p.var, *d, true, variables, notes, reply)) return reply;

    // Each point checked on its own: a bad point is answered with its message, the others go on.
    struct Point {
        double lon = NAN, lat = NAN;
        std::optional<double> alt;
        std::string error;
        Location location;
        std::vector<VariableResult> results;
    };
    std::vector<Point> list(points.size());
    const auto number = [](const json& v, Argument argument, const char* name, size_t index, std::string& error) -> double {
        const ArgumentRule rule = argumentRule(argument);
        if (!v.is_number()) {
            error = fmt::format("point {}: {} must be a number in {}..{}.", index + 1, name, rule.low, rule.high);
            return NAN;
        }
        const double x = v.get<double>();
        if (!(x >= rule.low && x <= rule.high)) error = fmt::format("point {}: {} {} lies outside {}..{}.", index + 1, name, x, rule.low, rule.high);
        return x;
    };
    for (size_t i = 0; i < points.size(); ++i) {
        const json& item = points[i];
        Point& pt = list[i];
        json lon, lat, alt;
        if (item.is_object()) {
            lon = item.contains("lon") ? item["lon"] : json();
            lat = item.contains("lat") ? item["lat"] : json();
            if (item.contains("alt") && !item["alt"].is_null()) alt = item["alt"];
        } else if (item.is_array() && (item.size() == 2 || item.size() == 3)) {
            lon = item[0];
            lat = item[1];
            if (item.size() == 3 && !item[2].is_null()) alt = item[2];
        } else {
            pt.error = fmt::format("point {}: give {{\"lon\": ..., \"lat\": ..., \"alt\": ...}} or [lon, lat] or [lon, lat, alt].", i + 1);
            continue;
        }
        pt.lon = number(lon, Argument::Lon, "lon", i, pt.error);
        if (pt.error.empty()) pt.lat = number(lat, Argument::Lat, "lat", i, pt.error);
        if (pt.error.empty() && !alt.is_null()) pt.alt = number(alt, Argument::Alt, "alt", i, pt.error);
    }
    const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(limits_.requestSeconds));
    std::atomic<bool> overtime{false};
    std::vector<WorkPool::Job> jobs;
    const size_t per = static_cast<size_t>(std::max(1, limits_.pointsPerJob));
    for (size_t first = 0; first < list.size(); first += per)
        jobs.push_back([&, first](bool) {
            for (size_t i = first; i < std::min(list.size(), first + per); ++i) {
                Point& pt = list[i];
                if (!pt.error.empty()) continue;
                if (Clock::now() > deadline) {
                    overtime = true;
                    return;
                }
                try {
                    pt.location = pointLocation(*d, pt.lon, pt.lat, pt.alt, nullptr);
                    pt.results = estimateAt(*d, settings, pt.location, variables);
                } catch (const std::exception& e) {
                    pt.error = fmt::format("point {}: {}", i + 1, e.what());
                }
            }
        });
    if (!jobs.empty()) {
        Reply busy = runJobs(std::move(jobs), limits_.requestSeconds);
        if (busy.status != 200) return busy;
    }
    if (overtime)
        return busyReply(fmt::format("the points took longer than {} s; send fewer, or run zentrel batch on a location file.",
                                     limits_.requestSeconds));
    if (d->demonstration) notes.push_back("these estimates come from demonstration data, not real stations.");
    if (csv) {
        reply.contentType = "text/csv; charset=utf-8";
        reply.body = std::string(kCsvHeader, std::strlen(kCsvHeader) - 1) + ",error\n";
        for (const Point& pt : list) {
            if (!pt.error.empty()) {
                std::string message = pt.error;
                std::replace(message.begin(), message.end(), '"', '\'');
                reply.body += (std::isfinite(pt.lon) ? roundTripFloat(static_cast<float>(pt.lon)) : "-") + "," +
                              (std::isfinite(pt.lat) ? roundTripFloat(static_cast<float>(pt.lat)) : "-") +
                              ",-,-,-,-,-,-,-,-,-,-,-,-,-,-,-,-,\"" + toValidUtf8(message) + "\"\n";
                continue;
            }
            for (const VariableResult& r : pt.results) {
                std::string rows = csvRows(r, p.level);
                // Every row ends with an empty error field.
                std::string out;
                std::istringstream lines(rows);
                for (std::string line; std::getline(lines, line);) out += line + ",\n";
                reply.body += out;
            }
        }
    } else {
        std::string out = "[";
        for (size_t i = 0; i < list.size(); ++i) {
            const Point& pt = list[i];
            out += i ? ",\n" : "\n";
            if (!pt.error.empty()) {
                json e = {{"error", pt.error}};
                e["lon"] = std::isfinite(pt.lon) ? json(pt.lon) : json();
                e["lat"] = std::isfinite(pt.lat) ? json(pt.lat) : json();
                out += jsonText(e);
                continue;
            }
            out += "{\"lon\":" + roundTripFloat(pt.location.Lon) + ",\"lat\":" + roundTripFloat(pt.location.Lat) +
                   ",\"alt\":" + roundTripFloat(pt.location.Alt) + ",\"estimates\":[";
            for (size_t k = 0; k < pt.results.size(); ++k) out += (k ? ",\n" : "\n") + estimateJson(pt.results[k], 2);
            out += "]}";
        }
        reply = jsonReply(out + "\n]");
    }
    addNotes(reply, notes);
    return reply;
}

namespace {

json cycleArray(const float* values, int count) {
    json a = json::array();
    for (int i = 1; i <= count; ++i) a.push_back(std::isfinite(values[i]) ? json(values[i]) : json());
    return a;
}

// A date code d + m / 100 of the season table as {"day": d, "month": m}; null for none.
json seasonDate(float code) {
    if (code == kNoDate) return json();
    const int day = static_cast<int>(std::floor(code + 1e-4f));
    const int month = static_cast<int>(std::lround((code - static_cast<float>(day)) * 100));
    return {{"day", day}, {"month", month}};
}

const char* seasonTypeName(int type) {
    switch (type) {
        case SeasonNone: return "none";
        case SeasonDry: return "dry";
        case SeasonHumid: return "humid";
        case SeasonAllYear: return "all-year";
        case SeasonHumidAllYear: return "humid-all-year";
        case SeasonAllYearHumid: return "all-year-with-humid";
        default: return "unknown";
    }
}

}  // namespace

Reply ServeService::cycles(const QueryParams& query) {
    PointQuery p;
    Reply reply;
    thread_local PointQueryParser parser(withSettings({"lon", "lat", "alt", "var", "level"}), [] {
        PointQuery defaults;
        defaults.var = "Temp";
        return defaults;
    }(), true);
    if (!parser.parse(query, p, reply)) return reply;
    ProgramSettings settings;
    std::vector<std::string> notes;
    if (!requestSettings(p.settings, settings, notes, reply)) return reply;
    const std::shared_ptr<const ServeData> d = data();
    std::vector<int> variables;
    if (!requestVariables(p.var, *d, false, variables, notes, reply)) return reply;
    const int variable = variables.front();
    // The growing seasons come from precipitation against PET, whatever variable is asked for.
    const bool seasons = d->holds[Prec] && d->holds[PET];
    std::vector<int> run = {variable};
    if (seasons) {
        if (variable != Prec) run.push_back(Prec);
        if (variable != PET) run.push_back(PET);
    }
    std::vector<VariableResult> results;
    std::string failure;
    Reply busy = runJobs({[&](bool) {
                              try {
                                  results = estimateAt(*d, settings, pointLocation(*d, p.lon, p.lat, p.alt, &notes), run);
                              } catch (const std::exception& e) {
                                  failure = e.what();
                              }
                          }},
                         limits_.requestSeconds);
    if (busy.status != 200) return busy;
    if (!failure.empty()) return errorReply(500, failure);
    const auto find = [&](int v) -> const VariableResult& {
        return *std::find_if(results.begin(), results.end(), [v](const VariableResult& r) { return r.variable == v; });
    };
    const VariableResult& r = find(variable);
    // Bounds as the result file gives them: at the level asked, none where the point hits a station.
    const float z = r.warnings.WarnHit ? 0.0f : confidenceFactor(p.level);
    json out;
    out["variable"] = kVariableNames[static_cast<size_t>(variable)];
    out["location"] = {{"lon", r.location.Lon}, {"lat", r.location.Lat}, {"alt", r.location.Alt}};
    out["level"] = p.level;
    if (!hasEstimate(r)) {
        out["dekadal"] = out["daily"] = out["thresholds"] = json();
    } else {
        DekadalCycle dekads;
        fillDekadalCycle(r.result, variable, z, dekads);
        out["dekadal"] = {{"best", cycleArray(dekads.Dekadal.data(), 36)},
                          {"low", z ? cycleArray(dekads.DekadalLow.data(), 36) : json()},
                          {"high", z ? cycleArray(dekads.DekadalHigh.data(), 36) : json()}};
        DailyCycle days;
        fillDailyCycle(r.result, variable, z, days);
        out["daily"] = {{"best", cycleArray(days.Daily.data(), 365)},
                        {"low", z ? cycleArray(days.DailyLow.data(), 365) : json()},
                        {"high", z ? cycleArray(days.DailyHigh.data(), 365) : json()}};
        const ThresholdDays t = countThresholdDays(days, z);
        json rows = json::array();
        for (int i = 1; i <= kThresholdCount; ++i) {
            json row = {{"threshold", t.Threshold[static_cast<size_t>(i)]}, {"days", t.Days[static_cast<size_t>(i)]}};
            row["daysLow"] = t.hasBounds ? json(t.DaysLow[static_cast<size_t>(i)]) : json();
            row["daysHigh"] = t.hasBounds ? json(t.DaysHigh[static_cast<size_t>(i)]) : json();
            rows.push_back(row);
        }
        out["thresholds"] = rows;
    }
    if (!seasons) {
        out["growingSeasons"] = json();
        notes.push_back("no growing seasons: the station database holds no Prec or no PET normals.");
    } else {
        const VariableResult& prec = find(Prec);
        const VariableResult& pet = find(PET);
        if (!hasEstimate(prec) || !hasEstimate(pet)) {
            out["growingSeasons"] = json();
        } else {
            try {
                const SeasonAnalysis a = analyseGrowingSeasons(prec.result.Best, pet.result.Best);
                json list = json::array();
                for (int row = 1; row <= static_cast<int>(a.SeasonCount); ++row) {
                    const auto days = [&](int column) { return a.cell(row, column) == kNoDate ? json() : json(a.cell(row, column)); };
                    list.push_back({{"type", seasonTypeName(static_cast<int>(a.cell(row, 1)))},
                                    {"seasonBegin", seasonDate(a.cell(row, 2))},
                                    {"seasonEnd", seasonDate(a.cell(row, 3))},
                                    {"humidBegin", seasonDate(a.cell(row, 4))},
                                    {"humidEnd", seasonDate(a.cell(row, 5))},
                                    {"length", days(8)}});
                }
                out["growingSeasons"] = list;
            } catch (const Error& e) {
                out["growingSeasons"] = json();
                notes.push_back(e.what());
            }
        }
    }
    reply = jsonReply(jsonText(out));
    addNotes(reply, notes);
    return reply;
}

Reply ServeService::info() { return jsonReply(data()->infoJson); }

namespace {

// The surface's rows collected in memory, for the JSON answer.
class MemorySink : public SurfaceSink {
public:
    explicit MemorySink(const SurfaceGrid& grid) : values(static_cast<size_t>(grid.Rows) * grid.Columns, kSurfaceNoData), columns_(grid.Columns) {}
    void writeRows(int firstRow, int rowCount, const std::vector<float>& block) override {
        std::copy_n(block.begin(), static_cast<size_t>(rowCount) * columns_, values.begin() + static_cast<long>(firstRow) * columns_);
    }
    std::vector<float> values;

private:
    int columns_;
};

// A private temporary folder for one written file, removed with everything in it.
class PrivateFolder {
public:
    PrivateFolder() {
        std::string pattern = (fs::temp_directory_path() / "zentrel-serve-XXXXXX").string();
        if (::mkdtemp(pattern.data())) path_ = pattern;
    }
    ~PrivateFolder() {
        std::error_code ec;
        if (!path_.empty()) fs::remove_all(path_, ec);
    }
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

std::string readWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

Reply ServeService::surface(const QueryParams& query) {
    std::string var, bbox, res, period = "13", format = "json";
    SettingsOptions settingsOptions;
    Reply reply;
    if (!parseQuery(query, withSettings({"var", "bbox", "res", "period", "format"}),
                    [&](CLI::App& app) {
                        app.add_option("--var", var)->required();
                        app.add_option("--bbox", bbox)->required();
                        app.add_option("--res", res)->required();
                        app.add_option("--period", period);
                        app.add_option("--format", format)->check(CLI::IsMember({"json", "tif", "nc"}));
                        addSettingsOptions(app, settingsOptions);
                    },
                    reply))
        return reply;
    ProgramSettings settings;
    std::vector<std::string> notes;
    if (!requestSettings(settingsOptions, settings, notes, reply)) return reply;
    const int variable = variableFromName(var);
    if (variable < 0) return errorReply(400, "--var must be one of Temp, Tmax, Tmin, Prec, Vap, PET, Wind, Sun.", "var");
    const int periodIndex = parseSurfacePeriod(period);
    if (periodIndex < 0)
        return errorReply(400, "--period must be a month 1..12 or its name (July, jul), 13 or Annual for the annual value.", "period");
    const std::optional<double> resolution = parseAngle(res);
    if (!resolution)
        return errorReply(400, "--res must be a positive number of degrees, or of arc-minutes or arc-seconds such as 5m or 30s.", "res");
    const std::vector<std::string> box = splitCommas(bbox);
    if (box.size() != 4) return errorReply(400, "--bbox takes four numbers: LONSTART,LATEND,LONEND,LATSTART.", "bbox");
    std::array<double, 4> edges{};
    const char* names[] = {"LONSTART", "LATEND", "LONEND", "LATSTART"};
    for (size_t k = 0; k < 4; ++k) {
        const double limit = k % 2 == 0 ? 180 : 90;
        const std::optional<double> v = parseCoordinate(box[k]);
        if (!v || *v < -limit || *v > limit)
            return errorReply(400, fmt::format("--bbox: {} \"{}\" is not a {} in {}..{}.", names[k], toValidUtf8(box[k]),
                                               k % 2 == 0 ? "longitude" : "latitude", -limit, limit),
                              "bbox");
        edges[k] = *v;
    }
    SurfaceGrid grid;
    try {
        grid = surfaceGrid(edges[0], edges[1], edges[2], edges[3], *resolution);
    } catch (const Error& e) {
        return errorReply(400, e.what(), "bbox");
    }
    const long long cells = static_cast<long long>(grid.Columns) * grid.Rows;
    if (cells > limits_.maxSurfaceCells)
        return errorReply(413, fmt::format("the box has {} cells, more than the {} a request may ask for; run: zentrel raster "
                                           "--var {} --period {} --bbox {} --res {} -o surface.{}",
                                           cells, limits_.maxSurfaceCells, kVariableNames[static_cast<size_t>(variable)], periodIndex,
                                           bbox, res, format == "nc" ? "nc" : "tif"),
                          "bbox");
    const std::shared_ptr<const ServeData> d = data();
    if (!d->holds[static_cast<size_t>(variable)])
        return errorReply(422, missingVariableMessage(variable) + "; add them with zentrel data import-csv.", "var");
    if (!d->mask) return errorReply(500, d->maskProblem);

    SurfaceLayout layout;
    layout.Variable = variable;
    layout.Periods = {periodIndex};
    layout.Quantities = {SurfaceQuantity::Best};
    std::string failure, bytes;
    std::vector<float> values;
    long long estimated = 0;
    Reply busy = runJobs({[&](bool) {
                              try {
                                  RasterCellEstimator estimator(settings, d->folder, d->database, variable, periodIndex, 1);
                                  const auto cell = [&](int worker, double lon, double lat) {
                                      return estimator.estimateCell(worker, lon, lat);
                                  };
                                  const RowRange rows = tileRows(grid.Rows, 1, 1);
                                  if (format == "json") {
                                      MemorySink sink(grid);
                                      estimated = computeSurface(grid, rows, layout, *d->mask, cell, 1, sink);
                                      values = std::move(sink.values);
                                      return;
                                  }
                                  const PrivateFolder folder;
                                  if (folder.path().empty()) throw Error("no temporary folder can be made for the surface file.");
                                  const std::string path = folder.path() + (format == "nc" ? "/surface.nc" : "/surface.tif");
                                  const SurfaceMetadata metadata = surfaceMetadata(layout, settings, d->info);
                                  if (format == "nc") {
                                      SurfaceNetCdfWriter writer(path, grid, layout, metadata);
                                      estimated = computeSurface(grid, rows, layout, *d->mask, cell, 1, writer);
                                      writer.finish();
                                  } else {
                                      SurfaceGeoTiffWriter writer(path, grid, layout, metadata);
                                      estimated = computeSurface(grid, rows, layout, *d->mask, cell, 1, writer);
                                      writer.finish();
                                  }
                                  bytes = readWhole(path);
                              } catch (const std::exception& e) {
                                  failure = e.what();
                              }
                          }},
                         limits_.requestSeconds);
    if (busy.status != 200) return busy;
    if (!failure.empty()) return errorReply(500, failure);
    if (format == "json") {
        std::string out = "{\"variable\":\"" + std::string(kVariableNames[static_cast<size_t>(variable)]) +
                          "\",\"period\":" + std::to_string(periodIndex) + ",\"units\":\"" + periodUnits(variable, periodIndex) +
                          "\",\"west\":" + fmt::format("{}", grid.West) + ",\"north\":" + fmt::format("{}", grid.North) +
                          ",\"cellWidth\":" + fmt::format("{}", grid.CellWidth) + ",\"cellHeight\":" +
                          fmt::format("{}", grid.CellHeight) + ",\"columns\":" + std::to_string(grid.Columns) +
                          ",\"rows\":" + std::to_string(grid.Rows) + ",\"estimated\":" + std::to_string(estimated) + ",\"values\":[";
        for (size_t i = 0; i < values.size(); ++i)
            out += (i ? "," : "") + (values[i] == kSurfaceNoData || !std::isfinite(values[i]) ? std::string("null") : roundTripFloat(values[i]));
        reply = jsonReply(out + "]}");
    } else {
        reply.contentType = format == "nc" ? "application/x-netcdf" : "image/tiff";
        reply.body = std::move(bytes);
        reply.headers.emplace_back("Content-Disposition", std::string("attachment; filename=\"surface.") + format + "\"");
    }
    addNotes(reply, notes);
    return reply;
}

namespace {
// A page asset made once per process from the map files, which do not change with the station
// database: its bytes, or the problem that kept it from being made (answered as a 500 each time).
struct MadeOnce {
    std::once_flag once;
    std::string bytes;
    std::string problem;
};
template <class Make>
const MadeOnce& madeOnce(MadeOnce& asset, Make make) {
    std::call_once(asset.once, [&] {
        try {
            asset.bytes = make();
        } catch (const std::exception& e) {
            asset.problem = e.what();
        }
    });
    return asset;
}
}  // namespace

Reply ServeService::boundaries() {
    static MadeOnce asset;
    const MadeOnce& geojson = madeOnce(asset, [&] {
        const std::vector<BnaShape> shapes = readBna((fs::path(folder_) / kBoundaryFileName).string());
        std::string out = "{\"type\":\"MultiLineString\",\"coordinates\":[";
        bool firstShape = true;
        for (const BnaShape& s : shapes) {
            if (s.Points.size() < 2) continue;
            out += firstShape ? "[" : ",[";
            firstShape = false;
            for (size_t i = 0; i < s.Points.size(); ++i)
                out += fmt::format("{}[{:.3f},{:.3f}]", i ? "," : "", s.Points[i].lon, s.Points[i].lat);
            out += "]";
        }
        return out + "]}";
    });
    if (!geojson.problem.empty()) return errorReply(500, geojson.problem);
    Reply reply = jsonReply(geojson.bytes);
    reply.contentType = "application/geo+json";
    reply.headers.emplace_back("Cache-Control", "max-age=86400");
    return reply;
}

Reply ServeService::worldMap() {
    // The world bitmap as PNG, through GDAL's drivers (a fraction of the bitmap's size).
    static MadeOnce asset;
    const MadeOnce& png = madeOnce(asset, [&] {
        GDALAllRegister();
        const std::string source = (fs::path(folder_) / "woma.bmp").string();
        GDALDatasetH in = GDALOpen(source.c_str(), GA_ReadOnly);
        GDALDriverH driver = GDALGetDriverByName("PNG");
        if (!in || !driver) {
            if (in) GDALClose(in);
            throw Error("The world map " + source + " cannot be read.");
        }
        const std::string name = fmt::format("/vsimem/zentrel-serve-world-{}.png", static_cast<const void*>(&asset));
        GDALDatasetH out = GDALCreateCopy(driver, name.c_str(), in, FALSE, nullptr, nullptr, nullptr);
        GDALClose(in);
        if (!out) throw Error("The world map " + source + " cannot be converted.");
        GDALClose(out);
        vsi_l_offset length = 0;
        GByte* buffer = VSIGetMemFileBuffer(name.c_str(), &length, TRUE);
        std::string bytes;
        if (buffer) bytes.assign(reinterpret_cast<const char*>(buffer), static_cast<size_t>(length));
        CPLFree(buffer);
        VSIUnlink(name.c_str());
        if (bytes.empty()) throw Error("The world map " + source + " cannot be converted.");
        return bytes;
    });
    if (!png.problem.empty()) return errorReply(500, png.problem);
    Reply reply;
    reply.contentType = "image/png";
    reply.body = png.bytes;
    reply.headers.emplace_back("Cache-Control", "max-age=86400");
    return reply;
}

Reply ServeService::openApi() const { return jsonReply(openApiDocument(limits_)); }

}  // namespace zentrel::cli
