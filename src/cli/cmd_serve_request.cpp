// Reading a request of `zentrel serve`: the data of one generation of the data folder, the query
// through the command line's option tables, the settings, variables and points it names.
#include "cli/cmd_serve_request.h"

#include <algorithm>
#include <cctype>

#include "base/text_encoding.h"
#include "cli/commands.h"
#include "cli/number_options.h"
#include "data/data_folder.h"
#include "error.h"
#include "maps/map_folder.h"

namespace zentrel::cli {

using json = nlohmann::json;

ServeData::ServeData(const std::string& programDir, const std::string& dataFolder) : folder(dataFolder) {
    requireDataFolder(folder);
    database = std::make_shared<StationDatabase>(folder);
    database->preload();
    try {
        terrain = std::make_unique<TerrainRaster>(folder);
    } catch (const Error& e) {
        terrainProblem = e.what();
    }
    for (int v = 0; v < kVariableCount; ++v) holds[static_cast<size_t>(v)] = holdsVariable(folder, v);
    demonstration = isDemonstrationData(folder);
    info = describeDataFolder(folder);
    infoJson = formatDataInfoJson(info);
    const std::string maps = locateMapFolder(programDir, folder);
    const auto usable = maps.empty() ? std::vector<MapFiles>{} : listUsableMaps(maps);
    if (usable.empty()) {
        maskProblem = "No Map available: the surfaces need a land mask in the map folder (rastelldata).";
    } else {
        try {
            mask = readImg(usable.front().Img);
        } catch (const Error& e) {
            maskProblem = e.what();
        }
    }
}

std::string jsonText(const json& value) { return value.dump(-1, ' ', false, json::error_handler_t::replace); }

Reply errorReply(int status, const std::string& message, const std::string& argument) {
    json body = {{"error", message}};
    if (!argument.empty()) body["argument"] = argument;
    Reply reply;
    reply.status = status;
    reply.body = jsonText(body) + "\n";
    return reply;
}

Reply jsonReply(std::string body) {
    Reply reply;
    reply.body = std::move(body);
    if (reply.body.empty() || reply.body.back() != '\n') reply.body += '\n';
    return reply;
}

Reply busyReply(const std::string& why) {
    Reply reply = errorReply(503, why);
    reply.headers.emplace_back("Retry-After", "2");
    return reply;
}

// The argument a command-line message is about: its leading "--name", without the dashes.
std::string argumentOf(const std::string& message) {
    if (message.rfind("--", 0) != 0) return "";
    size_t end = 2;
    while (end < message.size() && (std::isalnum(static_cast<unsigned char>(message[end])) || message[end] == '-')) ++end;
    return message.substr(2, end - 2);
}

/// The query as the arguments of a command (last first, as the parser takes them). Fills `reply`
/// with a 400 answer and returns false when a parameter is unknown, repeated or empty.
bool queryArguments(const QueryParams& query, const std::vector<std::string>& names, std::vector<std::string>& args, Reply& reply) {
    for (auto it = query.begin(); it != query.end(); it = query.upper_bound(it->first)) {
        const std::string& name = it->first;
        if (std::find(names.begin(), names.end(), name) == names.end()) {
            std::string list;
            for (const std::string& n : names) list += (list.empty() ? "" : ", ") + n;
            reply = errorReply(400, "unknown parameter \"" + toValidUtf8(name) + "\"; this endpoint takes " + list + ".", toValidUtf8(name));
            return false;
        }
        if (query.count(name) > 1) {
            reply = errorReply(400, "--" + name + ": given more than once; give it once.", name);
            return false;
        }
        if (it->second.empty()) {
            reply = errorReply(400, "--" + name + ": the value is empty; give one or leave --" + name + " out.", name);
            return false;
        }
        args.push_back("--" + name + "=" + it->second);
    }
    std::reverse(args.begin(), args.end());
    return true;
}

/// Reads the arguments into a command's option table, so that every value gets the check and
/// the message the command line gives it; a 400 answer when a value is refused.
bool parseArguments(CLI::App& app, std::vector<std::string> args, Reply& reply) {
    try {
        app.parse(args);
    } catch (const CLI::ParseError& e) {
        const std::string message = toValidUtf8(e.what());
        reply = errorReply(400, message, argumentOf(message));
        return false;
    }
    return true;
}

/// The query read into a command's option table made for it.
bool parseQuery(const QueryParams& query, const std::vector<std::string>& names,
                const std::function<void(CLI::App&)>& addOptions, Reply& reply) {
    std::vector<std::string> args;
    if (!queryArguments(query, names, args, reply)) return false;
    CLI::App app{"query"};
    addOptions(app);
    return parseArguments(app, std::move(args), reply);
}

const std::vector<std::string> kSettingsNames = {"maxstat", "maxdist",  "mindist", "powexp", "minhigh", "maxhigh",
                                                 "neighbalt", "altcorr", "gradcorr", "shad", "robust", "method"};

std::vector<std::string> withSettings(std::vector<std::string> names) {
    names.insert(names.end(), kSettingsNames.begin(), kSettingsNames.end());
    return names;
}

/// The settings of a request; a 400 answer with the command line's message when refused.
bool requestSettings(const SettingsOptions& options, ProgramSettings& settings, std::vector<std::string>& notes, Reply& reply) {
    std::vector<std::string> said;
    const int code = applySettingsOptions(options, settings, &said);
    std::string problems;
    for (const std::string& line : said) {
        if (line.rfind("note: ", 0) == 0) notes.push_back(line.substr(6));
        else problems += (problems.empty() ? "" : " ") + line;
    }
    if (code == kExitOk) return true;
    reply = errorReply(400, problems.empty() ? "the settings are refused." : problems, argumentOf(problems));
    return false;
}

/// The variables a request names: "all" (those the database holds), or one.
bool requestVariables(const std::string& var, const ServeData& d, bool allowAll, std::vector<int>& variables,
                      std::vector<std::string>& notes, Reply& reply) {
    if (allowAll && (var == "all" || var == "All" || var == "ALL")) {
        for (int v = 0; v < kVariableCount; ++v) {
            if (d.holds[static_cast<size_t>(v)]) variables.push_back(v);
            else notes.push_back(skippedVariableNote(v));
        }
        return true;
    }
    const int v = variableFromName(var);
    if (v < 0) {
        reply = errorReply(400, allowAll ? "--var must be one of Temp, Tmax, Tmin, Prec, Vap, PET, Wind, Sun, all."
                                         : "--var must be one of Temp, Tmax, Tmin, Prec, Vap, PET, Wind, Sun.",
                           "var");
        return false;
    }
    if (!d.holds[static_cast<size_t>(v)]) {
        reply = errorReply(422, missingVariableMessage(v) + "; add them with zentrel data import-csv.", "var");
        return false;
    }
    variables.push_back(v);
    return true;
}

/// The location of a point: the altitude given, else the elevation raster's (0 m at sea, said).
Location pointLocation(const ServeData& d, double lon, double lat, std::optional<double> alt, std::vector<std::string>* notes) {
    Location location{"", static_cast<float>(lon), static_cast<float>(lat), 0};
    if (alt) {
        location.Alt = static_cast<float>(*alt);
    } else {
        if (!d.terrain) throw Error(d.terrainProblem);
        int16_t isSea = 0;
        location.Alt = d.terrain->altitude(location.Lon, location.Lat, isSea);
        if (isSea && notes) notes->push_back("the point is sea in the elevation raster; altitude 0 m is used.");
    }
    return location;
}

/// The notes of an answer in one header line (they are ASCII sentences).
void addNotes(Reply& reply, const std::vector<std::string>& notes) {
    std::string text;
    for (const std::string& n : notes) text += (text.empty() ? "" : " ") + n;
    if (!text.empty()) reply.headers.emplace_back("X-Zentrel-Notes", text);
}

void addPointOptions(CLI::App& app, PointQuery& p, bool point) {
    if (point) {
        app.add_option("--lon", p.lon)->required()->check(decimalIn(Argument::Lon));
        app.add_option("--lat", p.lat)->required()->check(decimalIn(Argument::Lat));
        app.add_option("--alt", p.alt)->check(decimalIn(Argument::Alt));
    }
    app.add_option("--var", p.var);
    app.add_option("--level", p.level)->check(CLI::IsMember({90, 95, 99}));
    app.add_option("--format", p.format)->check(CLI::IsMember({"json", "csv", "zte"}));
    addSettingsOptions(app, p.settings);
}

/// Deepest nesting of arrays and objects in a JSON text (strings skipped), read without parsing.
int jsonNestingDepth(const std::string& text) {
    int depth = 0, deepest = 0;
    bool inString = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\') ++i;
            else if (c == '"') inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            deepest = std::max(deepest, ++depth);
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return deepest;
}

}  // namespace zentrel::cli
