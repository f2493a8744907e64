// The service's description (OpenAPI 3) and the fixed table of the map page's files.
#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <iterator>
#include <string>

#include "cli/cmd_serve_service.h"
#include "version.h"

namespace zentrel::cli {

struct EmbeddedFile {
    const char* name;
    const unsigned char* data;
    std::size_t size;
};
extern const EmbeddedFile kPageFiles[];  // serve_page_files.cpp, made by embed_files.cmake

namespace {

using nlohmann::json;

json parameter(const char* name, const char* description, json schema, bool required = false) {
    return {{"name", name}, {"in", "query"}, {"required", required}, {"description", description}, {"schema", schema}};
}

json settingsParameters() {
    return json::array({
        parameter("method", "Estimation method: kriging (default), adaptive, robust or described", {{"type", "string"}, {"enum", {"kriging", "adaptive", "robust", "described"}}}),
        parameter("maxstat", "Maximum number of neighbour stations, 1..20", {{"type", "integer"}, {"minimum", 1}, {"maximum", 20}}),
        parameter("maxdist", "Maximum neighbour distance in km, up to 22000", {{"type", "number"}}),
        parameter("mindist", "Nearest-neighbour approximation below this distance in km", {{"type", "number"}}),
        parameter("powexp", "Power of inverse distance weighting, 0..5", {{"type", "number"}}),
        parameter("minhigh", "Lowest neighbour altitude in m with neighbalt=1", {{"type", "number"}}),
        parameter("maxhigh", "Highest neighbour altitude in m with neighbalt=1", {{"type", "number"}}),
        parameter("neighbalt", "1: neighbours must have an altitude in the range", {{"type", "integer"}, {"enum", {0, 1}}}),
        parameter("altcorr", "1: local linear altitude correction", {{"type", "integer"}, {"enum", {0, 1}}}),
        parameter("gradcorr", "1: climate gradient correction", {{"type", "integer"}, {"enum", {0, 1}}}),
        parameter("shad", "Shadow correction coefficient 0..1", {{"type", "number"}}),
        parameter("robust", "1: robust corrections (same as method=robust)", {{"type", "integer"}, {"enum", {0, 1}}}),
    });
}

json pointParameters(bool all) {
    json list = json::array({
        parameter("lon", "Longitude in decimal degrees, east positive", {{"type", "number"}, {"minimum", -180}, {"maximum", 180}}, true),
        parameter("lat", "Latitude in decimal degrees, north positive", {{"type", "number"}, {"minimum", -90}, {"maximum", 90}}, true),
        parameter("alt", "Altitude in m, -600..10000 (default: from the elevation raster)", {{"type", "number"}}),
        parameter("var", all ? "Temp, Tmax, Tmin, Prec, Vap, PET, Wind, Sun or all (default)" : "Temp (default), Tmax, Tmin, Prec, Vap, PET, Wind or Sun",
                  {{"type", "string"}}),
        parameter("level", "Confidence level of the bounds: 90 (default), 95 or 99", {{"type", "integer"}, {"enum", {90, 95, 99}}}),
    });
    for (const json& p : settingsParameters()) list.push_back(p);
    return list;
}

json errors() {
    const json error = {{"description", "Refused, with the message of the command line"},
                        {"content", {{"application/json", {{"schema", {{"$ref", "#/components/schemas/Error"}}}}}}}};
    return {{"400", error}, {"413", error}, {"422", error}, {"503", error}};
}

}  // namespace

std::string openApiDocument(const ServeLimits& limits) {
    json doc;
    doc["openapi"] = "3.0.3";
    doc["info"] = {{"title", "Zentrel climate estimates"},
                   {"version", programVersion()},
                   {"description", "Long-term monthly climate of any land point, estimated from a world database of climate "
                                   "stations. The answers are those of the zentrel command line (zentrel estimate --json, "
                                   "zentrel data info --json). Missing values are null."}};
    doc["servers"] = json::array({{{"url", "/"}}});
    doc["components"]["schemas"]["Error"] = {
        {"type", "object"},
        {"properties", {{"error", {{"type", "string"}}}, {"argument", {{"type", "string"}}}}},
        {"required", {"error"}}};
    doc["components"]["schemas"]["Estimate"] = {
        {"type", "object"},
        {"description", "One variable's estimate; arrays of 13: January..December, annual"},
        {"properties",
         {{"variable", {{"type", "string"}}},
          {"location", {{"type", "object"}}},
          {"neighbours", {{"type", "array"}, {"items", {{"type", "object"}}}}},
          {"result", {{"type", "object"}}},
          {"warnings", {{"type", "object"}}},
          {"messages", {{"type", "array"}}}}}};
    json estimateGet = {
        {"summary", "Estimate at one point"},
        {"parameters", pointParameters(true)},
        {"responses", errors()}};
    estimateGet["parameters"].push_back(
        parameter("format", "json (default; one object for one variable, an array for all), csv or zte (the result file)",
                  {{"type", "string"}, {"enum", {"json", "csv", "zte"}}}));
    estimateGet["responses"]["200"] = {
        {"description", "The estimate as zentrel estimate --json prints it"},
        {"content",
         {{"application/json", {{"schema", {{"oneOf", {{{"$ref", "#/components/schemas/Estimate"}}, {{"type", "array"}, {"items", {{"$ref", "#/components/schemas/Estimate"}}}}}}}}}},
          {"text/csv", {{"schema", {{"type", "string"}}}}},
          {"text/plain", {{"schema", {{"type", "string"}}}}}}}};
    json postParameters = json::array({pointParameters(true)[3], pointParameters(true)[4]});
    for (const json& p : settingsParameters()) postParameters.push_back(p);
    json estimatePost = {
        {"summary", fmt::format("Estimates at up to {} points", limits.maxPoints)},
        {"parameters", postParameters},
        {"requestBody",
         {{"required", true},
          {"content",
           {{"application/json",
             {{"schema",
               {{"type", "array"},
                {"maxItems", limits.maxPoints},
                {"items", {{"oneOf", {{{"type", "object"}, {"properties", {{"lon", {{"type", "number"}}}, {"lat", {{"type", "number"}}}, {"alt", {{"type", "number"}}}}}, {"required", {"lon", "lat"}}},
                                      {{"type", "array"}, {"items", {{"type", "number"}}}, {"minItems", 2}, {"maxItems", 3}}}}}}}}}}}}}},
        {"responses", errors()}};
    estimatePost["responses"]["200"] = {
        {"description", "Per point {lon, lat, alt, estimates: [...]} or {lon, lat, error}; CSV with Accept: text/csv"},
        {"content", {{"application/json", {{"schema", {{"type", "array"}}}}}, {"text/csv", {{"schema", {{"type", "string"}}}}}}}};
    json cycles = {{"summary", "Dekadal and daily cycles, days reaching thresholds and growing seasons at one point"},
                   {"parameters", pointParameters(false)},
                   {"responses", errors()}};
    cycles["responses"]["200"] = {{"description", "dekadal (36), daily (365) with bounds, thresholds (101 rows), growingSeasons"},
                                  {"content", {{"application/json", {{"schema", {{"type", "object"}}}}}}}};
    json info = {{"summary", "The station database (zentrel data info --json)"},
                 {"responses", {{"200", {{"description", "The description"}, {"content", {{"application/json", {{"schema", {{"type", "object"}}}}}}}}}}}};
    json surfaceParameters = json::array({
        parameter("var", "Temp, Tmax, Tmin, Prec, Vap, PET, Wind or Sun", {{"type", "string"}}, true),
        parameter("bbox", "west,south,east,north in degrees", {{"type", "string"}}, true),
        parameter("res", "Cell size: degrees, or arc-minutes (5m) or arc-seconds (30s)", {{"type", "string"}}, true),
        parameter("period", "Month 1..12 or its name, 13 or Annual (default)", {{"type", "string"}}),
        parameter("format", "json (default), tif (GeoTIFF) or nc (netCDF)", {{"type", "string"}, {"enum", {"json", "tif", "nc"}}}),
    });
    for (const json& p : settingsParameters()) surfaceParameters.push_back(p);
    json surface = {{"summary", fmt::format("A variable over a small box, at most {} cells (larger: zentrel raster)", limits.maxSurfaceCells)},
                    {"parameters", surfaceParameters},
                    {"responses", errors()}};
    surface["responses"]["200"] = {{"description", "The surface"},
                                   {"content",
                                    {{"application/json", {{"schema", {{"type", "object"}}}}},
                                     {"image/tiff", {{"schema", {{"type", "string"}, {"format", "binary"}}}}},
                                     {"application/x-netcdf", {{"schema", {{"type", "string"}, {"format", "binary"}}}}}}}};
    doc["paths"]["/v1/estimate"] = {{"get", estimateGet}, {"post", estimatePost}};
    doc["paths"]["/v1/cycles"] = {{"get", cycles}};
    doc["paths"]["/v1/info"] = {{"get", info}};
    doc["paths"]["/v1/surface"] = {{"get", surface}};
    doc["paths"]["/v1/boundaries"] = {{"get", {{"summary", "The boundary lines of the world map (GeoJSON MultiLineString)"}, {"responses", {{"200", {{"description", "GeoJSON"}}}}}}}};
    doc["paths"]["/v1/worldmap.png"] = {{"get", {{"summary", "The world relief map, equirectangular, -180..180 by -90..90"}, {"responses", {{"200", {{"description", "PNG"}}}}}}}};
    return doc.dump(1);
}

std::optional<std::pair<std::string, std::string>> pageAsset(const std::string& name) {
    const auto typeOf = [](const std::string& file) -> std::string {
        const auto ends = [&](const char* ext) {
            const std::string e(ext);
            return file.size() >= e.size() && file.compare(file.size() - e.size(), e.size(), e) == 0;
        };
        if (ends(".html")) return "text/html; charset=utf-8";
        if (ends(".js")) return "application/javascript; charset=utf-8";
        if (ends(".css")) return "text/css; charset=utf-8";
        if (ends(".png")) return "image/png";
        if (ends(".svg")) return "image/svg+xml";
        return "application/octet-stream";
    };
    for (const EmbeddedFile* f = kPageFiles; f->name; ++f)
        if (name == f->name) return std::pair{std::string(reinterpret_cast<const char*>(f->data), f->size), typeOf(name)};
    // Leaflet from Debian's libjs-leaflet: these names, and only these, are read from its folder.
    static const char* const kLeafletFiles[] = {"leaflet.js", "leaflet.css", "images/layers.png", "images/layers-2x.png",
                                                "images/marker-icon.png", "images/marker-icon-2x.png", "images/marker-shadow.png"};
    for (const char* file : kLeafletFiles)
        if (name == std::string("leaflet/") + file) {
            std::ifstream in(std::string("/usr/share/javascript/leaflet/") + file, std::ios::binary);
            if (!in) return std::nullopt;
            return std::pair{std::string(std::istreambuf_iterator<char>(in), {}), typeOf(name)};
        }
    return std::nullopt;
}

}  // namespace zentrel::cli
