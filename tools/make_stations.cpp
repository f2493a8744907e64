// Builds the demonstration station database: about 20000 real towns of the GeoNames list,
// thinned evenly over the land, with their altitude from the elevation raster and monthly
// normals from the climate emulator; also the capital file "WorldCap.bna" and the marker file
// "DEMONSTRATION". The same input gives the same bytes on every run.
// Usage: make_stations CITIES.pbf DATA_FOLDER   (DATA_FOLDER must hold 10k8b.raw)
#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "data/cities_pbf.h"
#include "data/demo_climate.h"
#include "data/station_writer.h"
#include "data/terrain.h"
#include "error.h"

using namespace zentrel;

namespace {

constexpr size_t kTargetStations = 20000;
constexpr uint64_t kSeed = 0x5A454E5452454C31ull;  // fixed: the database never changes

// Populated places that are towns of today (not quarters of a city, abandoned or historical places).
bool isTown(const City& c) {
    static const std::set<std::string> kExcluded = {"PPLX", "PPLH", "PPLQ", "PPLW", "PPLCH"};
    return c.featureCode.rfind("PPL", 0) == 0 ? kExcluded.count(c.featureCode) == 0 : c.featureCode == "STLMT";
}

// Cells of about `size` degrees of latitude and the same width in km on every parallel.
uint64_t cellKey(const City& c, double size) {
    const double pi = 3.14159265358979323846;
    const int row = static_cast<int>(std::floor((c.lat + 90) / size));
    const double centre = -90 + (row + 0.5) * size;
    const int columns = std::max(1, static_cast<int>(std::lround(360 * std::cos(centre * pi / 180) / size)));
    const int column = std::min(columns - 1, static_cast<int>(std::floor((c.lon + 180) / 360 * columns)));
    return static_cast<uint64_t>(row) * 1000000u + static_cast<uint64_t>(column);
}

// The most populous town of every cell (the smaller GeoNames id on a tie), in id order.
std::vector<const City*> thin(const std::vector<const City*>& towns, double size) {
    std::map<uint64_t, const City*> best;
    for (const City* c : towns) {
        auto [it, fresh] = best.emplace(cellKey(*c, size), c);
        if (!fresh && (c->population > it->second->population ||
                       (c->population == it->second->population && c->id < it->second->id)))
            it->second = c;
    }
    std::vector<const City*> out;
    for (const auto& [key, c] : best) out.push_back(c);
    std::sort(out.begin(), out.end(), [](const City* a, const City* b) { return a->id < b->id; });
    return out;
}

// Cell size whose thinning keeps the number of towns nearest to the target (bisection: fewer
// towns in larger cells).
double cellSizeFor(const std::vector<const City*>& towns, size_t target) {
    double small = 0.05, large = 5.0;
    for (int k = 0; k < 40; ++k) {
        const double mid = (small + large) / 2;
        (thin(towns, mid).size() > target ? small : large) = mid;
    }
    return large;
}

std::string coordinate(double v) { return fmt::format("{:.5f}", v); }

void writeText(const std::filesystem::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) throw Error("Cannot write " + path.string() + ".");
}

int run(const std::string& citiesPath, const std::string& folder) {
    const std::vector<City> cities = readCitiesPbf(citiesPath);
    std::vector<const City*> towns;
    for (const City& c : cities)
        if (isTown(c)) towns.push_back(&c);
    const double size = cellSizeFor(towns, kTargetStations);
    const std::vector<const City*> chosen = thin(towns, size);

    const TerrainRaster raster(folder);
    const DemoGeography geography(raster);
    StationLists lists;
    size_t unknownAltitudes = 0, doubled = 0;
    for (size_t k = 0; k < chosen.size(); ++k) {
        const City& c = *chosen[k];
        int16_t isSea = 0;
        const int16_t alt = raster.altitude(static_cast<float>(c.lon), static_cast<float>(c.lat), isSea);
        // A coastal town whose cell the raster counts as sea stands at sea level.
        const double altitude = isSea ? 0.0 : static_cast<double>(alt);
        const DemoSite site = geography.site(c.lon, c.lat, altitude);

        // Which variables a station observes: all have Temp and Prec, fewer the others, as in
        // real networks; PET only where its inputs are observed.
        DemoRandom pick(kSeed ^ (static_cast<uint64_t>(c.id) * 0x9E3779B97F4A7C15ull));
        const double share = pick.uniform();
        const bool has[kVariableCount] = {true,        share < 0.75, share < 0.75, true,
                                          share < 0.5, share < 0.35, share < 0.35, share < 0.35};

        const int copies = k % 2000 == 1000 ? 2 : 1;  // a few stations listed twice, as in real collections
        for (int copy = 0; copy < copies; ++copy) {
            DemoRandom noise(kSeed + static_cast<uint64_t>(c.id) * 2 + static_cast<uint64_t>(copy));
            const DemoNormals normals = emulateNormals(site, &noise);
            Station s;
            s.Lon = static_cast<float>(c.lon);
            s.Lat = static_cast<float>(c.lat);
            s.Alt = k % 1000 == 500 ? kUnknown : static_cast<float>(alt > 0 && !isSea ? alt : 0);
            s.Name = copy == 0 ? c.name : c.name + " 2";
            s.Country = c.country;
            if (copy == 1) ++doubled;
            if (copy == 0 && s.Alt == kUnknown) ++unknownAltitudes;
            for (int v = 0; v < kVariableCount; ++v) {
                if (!has[v]) continue;
                s.Data = normals.of(v);
                lists[static_cast<size_t>(v)].push_back(s);
            }
        }
    }
    writeStationDatabase(folder, lists);

    // Capitals: one per country, in country-code order.
    std::vector<const City*> capitals;
    for (const City& c : cities)
        if (c.featureCode == "PPLC") capitals.push_back(&c);
    std::sort(capitals.begin(), capitals.end(), [](const City* a, const City* b) {
        return a->country != b->country ? a->country < b->country : a->id < b->id;
    });
    std::string bna;
    for (const City* c : capitals)
        bna += fmt::format("\"{}\",\"{}\",1\n{},{}\n", asciiText(c->name), asciiText(c->country), coordinate(c->lon),
                           coordinate(c->lat));
    writeText(std::filesystem::path(folder) / "WorldCap.bna", bna);
    writeText(std::filesystem::path(folder) / "DEMONSTRATION",
              "Demonstration data: real places with monthly normals from a climate emulator, not observations.\n"
              "Places: GeoNames (CC BY 4.0). See data/README.md.\n");

    std::printf("make_stations: %zu of %zu towns kept (cells of %.3f degrees), %zu unknown altitudes, %zu doubled\n",
                chosen.size(), towns.size(), size, unknownAltitudes, doubled);
    for (int v = 0; v < kVariableCount; ++v)
        std::printf("  %-4s %zu stations\n", kVariableNames[static_cast<size_t>(v)],
                    lists[static_cast<size_t>(v)].size());
    std::printf("  %zu capitals\n", capitals.size());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_stations CITIES.pbf DATA_FOLDER\n");
        return 2;
    }
    try {
        return run(argv[1], argv[2]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_stations: %s\n", e.what());
        return 1;
    }
}
