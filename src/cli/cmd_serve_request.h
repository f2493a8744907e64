// Reading a request of `zentrel serve`: the data folder's generation it is answered from, and
// its query read through the command line's own option tables, so that every value gets the
// command line's check and message.
#pragma once

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/types.h"
#include "cli/cmd_serve_service.h"
#include "cli/settings_options.h"
#include "data/data_info.h"
#include "data/station_database.h"
#include "data/terrain.h"
#include "maps/img_file.h"
#include "settings/program_settings.h"

namespace zentrel::cli {

/// What the endpoints read of the data folder, built whole and replaced whole.
class ServeData {
public:
    std::string folder;
    std::shared_ptr<StationDatabase> database;
    std::unique_ptr<TerrainRaster> terrain;
    std::string terrainProblem;
    std::array<bool, kVariableCount> holds{};
    bool demonstration = false;
    DataInfo info;
    std::string infoJson;
    std::optional<ImgRaster> mask;
    std::string maskProblem;

    ServeData(const std::string& programDir, const std::string& dataFolder);
};

/// A JSON value as compact text, bad UTF-8 replaced.
std::string jsonText(const nlohmann::json& value);
/// A 200 answer of a JSON text (a final newline added).
Reply jsonReply(std::string body);
/// A 503 answer with Retry-After.
Reply busyReply(const std::string& why);
/// The argument a command-line message is about: its leading "--name", without the dashes.
std::string argumentOf(const std::string& message);
/// The query as the arguments of a command (last first, as the parser takes them). Fills `reply`
/// with a 400 answer and returns false when a parameter is unknown, repeated or empty.
bool queryArguments(const QueryParams& query, const std::vector<std::string>& names, std::vector<std::string>& args, Reply& reply);
/// Reads the arguments into a command's option table; a 400 answer when a value is refused.
bool parseArguments(CLI::App& app, std::vector<std::string> args, Reply& reply);
/// The query read into a command's option table made for it.
bool parseQuery(const QueryParams& query, const std::vector<std::string>& names,
                const std::function<void(CLI::App&)>& addOptions, Reply& reply);
/// The parameter names with those of the estimation settings added.
std::vector<std::string> withSettings(std::vector<std::string> names);
/// The settings of a request; a 400 answer with the command line's message when refused.
bool requestSettings(const SettingsOptions& options, ProgramSettings& settings, std::vector<std::string>& notes, Reply& reply);
/// The variables a request names: "all" (those the database holds), or one.
bool requestVariables(const std::string& var, const ServeData& d, bool allowAll, std::vector<int>& variables,
                      std::vector<std::string>& notes, Reply& reply);
/// The location of a point: the altitude given, else the elevation raster's (0 m at sea, said).
Location pointLocation(const ServeData& d, double lon, double lat, std::optional<double> alt, std::vector<std::string>* notes);
/// The notes of an answer in one header line (they are ASCII sentences).
void addNotes(Reply& reply, const std::vector<std::string>& notes);
/// Deepest nesting of arrays and objects in a JSON text (strings skipped), read without parsing.
int jsonNestingDepth(const std::string& text);

struct PointQuery {
    double lon = 0, lat = 0;
    std::optional<double> alt;
    std::string var = "all";
    int level = 90;
    std::string format = "json";
    SettingsOptions settings;
};

/// The options of a point endpoint (--lon, --lat, --alt with `point`), its variable, level, format and settings.
void addPointOptions(CLI::App& app, PointQuery& p, bool point);

/// The option table of a point endpoint, made once per thread: making a table of some twenty
/// options costs several times what reading a query with it does. The values the options write
/// to are reset to the endpoint's defaults before each query, and the table forgets the last one.
class PointQueryParser {
public:
    PointQueryParser(std::vector<std::string> names, const PointQuery& defaults, bool point)
        : names_(std::move(names)), defaults_(defaults), values_(defaults) {
        addPointOptions(app_, values_, point);
    }
    PointQueryParser(const PointQueryParser&) = delete;
    PointQueryParser& operator=(const PointQueryParser&) = delete;

    bool parse(const QueryParams& query, PointQuery& p, Reply& reply) {
        std::vector<std::string> args;
        if (!queryArguments(query, names_, args, reply)) return false;
        values_ = defaults_;
        app_.clear();
        if (!parseArguments(app_, std::move(args), reply)) return false;
        p = values_;
        return true;
    }

private:
    std::vector<std::string> names_;
    PointQuery defaults_, values_;
    CLI::App app_{"query"};
};

}  // namespace zentrel::cli
