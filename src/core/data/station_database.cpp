// In-memory station files with change detection.
#include "data/station_database.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fmt/format.h>

#include "error.h"

namespace zentrel {

namespace fs = std::filesystem;

namespace {
bool statFile(const fs::path& path, long long& size, long long& mtime) {
    std::error_code ec;
    const auto s = fs::file_size(path, ec);
    if (ec) return false;
    const auto t = fs::last_write_time(path, ec);
    if (ec) return false;
    size = static_cast<long long>(s);
    mtime = static_cast<long long>(t.time_since_epoch().count());
    return true;
}
}  // namespace

StationExclusion::StationExclusion(std::vector<std::pair<float, float>> positions) : positions_(std::move(positions)) {
    std::sort(positions_.begin(), positions_.end());
}

bool StationExclusion::contains(const Station& s) const {
    return std::binary_search(positions_.begin(), positions_.end(), std::make_pair(s.Lon, s.Lat));
}

StationDatabase::StationDatabase(std::string dataFolder) : folder_(std::move(dataFolder)) {}

std::shared_ptr<const std::vector<Station>> StationDatabase::file(const std::string& name) const {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = files_.find(name);
        if (it != files_.end()) return it->second.stations;
    }
    const fs::path path = fs::path(folder_) / name;
    Entry entry;
    statFile(path, entry.size, entry.mtime);
    StationTable table;
    ReadStationFile(path.string(), table);  // throws for a missing or malformed file
    entry.stations = std::make_shared<const std::vector<Station>>(std::move(table.stations));
    std::lock_guard<std::mutex> lock(mutex_);
    auto [it, inserted] = files_.emplace(name, std::move(entry));
    return it->second.stations;
}

void StationDatabase::LoadCandidates(int variable, float lon, float lat, StationTable& table,
                                     const StationExclusion* excluded) const {
    table.stations.clear();
    std::vector<Station> kept;
    for (const std::string& name : candidateFiles(variable, lon, lat)) {
        std::shared_ptr<const std::vector<Station>> stations = file(name);
        if (excluded && !excluded->empty()) {
            kept.clear();
            for (const Station& s : *stations)
                if (!excluded->contains(s)) kept.push_back(s);
            stations = std::make_shared<const std::vector<Station>>(std::move(kept));
            kept = {};
        }
        if (table.stations.size() + stations->size() > static_cast<size_t>(kMaxStations)) {
            const size_t room = static_cast<size_t>(kMaxStations) - table.stations.size();
            table.stations.insert(table.stations.end(), stations->begin(), stations->begin() + static_cast<long>(room));
            throw Error(fmt::format("Station file {}: more than {} stations for one estimate; the station table is full.",
                                    (fs::path(folder_) / name).string(), kMaxStations));
        }
        table.stations.insert(table.stations.end(), stations->begin(), stations->end());
    }
}

void StationDatabase::preload() const {
    for (int v = 0; v < kVariableCount; ++v) {
        if (v != Temp && v != Prec) {
            std::error_code ec;
            if (fs::exists(fs::path(folder_) / wholeFileName(v), ec)) file(wholeFileName(v));
            continue;
        }
        for (int i = 1; i <= 6; ++i)
            for (int j = 1; j <= 6; ++j) {
                const std::string name = bandFileName(v, i, j);
                std::error_code ec;
                if (fs::exists(fs::path(folder_) / name, ec)) file(name);
            }
        static const char* const kPolar[2][2] = {{"mesud.txt", "menor.txt"}, {"prsud.txt", "prnor.txt"}};
        for (const char* polar : kPolar[v == Temp ? 0 : 1]) {
            std::error_code ec;
            if (fs::exists(fs::path(folder_) / polar, ec)) file(polar);
        }
    }
}

// Stations of one file sorted into 2-degree cells (compressed rows: `start[c]..start[c+1]` of
// `members` are the file positions of cell c, ascending).
struct StationDatabase::Index {
    static constexpr int kCell = 2;
    static constexpr int kCols = 360 / kCell, kRows = 180 / kCell;
    std::shared_ptr<const std::vector<Station>> stations;
    std::vector<int> start;
    std::vector<int> members;
    std::vector<int> outside;  // positions outside -180..180 / -90..90 (always candidates)
    std::vector<SpherePoint> points;  // of each station, by file position

    static int cellOf(float lon, float lat) {
        int col = static_cast<int>(std::floor((lon + 180.0f) / kCell));
        int row = static_cast<int>(std::floor((lat + 90.0f) / kCell));
        if (col == kCols) col = kCols - 1;  // longitude 180
        if (row == kRows) row = kRows - 1;  // latitude 90
        if (col < 0 || col >= kCols || row < 0 || row >= kRows) return -1;
        return row * kCols + col;
    }
};

std::shared_ptr<const StationDatabase::Index> StationDatabase::index(const std::string& name) const {
    auto stations = file(name);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = files_.find(name);
        if (it != files_.end() && it->second.index && it->second.stations == stations) return it->second.index;
    }
    auto idx = std::make_shared<Index>();
    idx->stations = stations;
    idx->points.reserve(stations->size());
    for (const Station& s : *stations) idx->points.push_back(spherePoint(s.Lon, s.Lat));
    const int cells = Index::kCols * Index::kRows;
    std::vector<int> cellOf(stations->size());
    idx->start.assign(static_cast<size_t>(cells) + 1, 0);
    for (size_t k = 0; k < stations->size(); ++k) {
        const Station& s = (*stations)[k];
        // NaN coordinates cannot be placed: they are always candidates, like the far ones.
        cellOf[k] = std::isfinite(s.Lon) && std::isfinite(s.Lat) ? Index::cellOf(s.Lon, s.Lat) : -1;
        if (cellOf[k] < 0) idx->outside.push_back(static_cast<int>(k));
        else ++idx->start[static_cast<size_t>(cellOf[k]) + 1];
    }
    for (int c = 0; c < cells; ++c) idx->start[static_cast<size_t>(c) + 1] += idx->start[static_cast<size_t>(c)];
    idx->members.resize(stations->size() - idx->outside.size());
    std::vector<int> fill(idx->start.begin(), idx->start.end() - 1);
    for (size_t k = 0; k < stations->size(); ++k)
        if (cellOf[k] >= 0) idx->members[static_cast<size_t>(fill[static_cast<size_t>(cellOf[k])]++)] = static_cast<int>(k);
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = files_.find(name);
    if (it != files_.end() && it->second.stations == stations) it->second.index = idx;
    return idx;
}

StationDatabase::SourcesKey StationDatabase::sourcesKey(int variable, float lon, float lat) {
    if (variable != Temp && variable != Prec) return {variable};
    const BandIndex band = bandOf(variable, lon, lat);
    return {variable, band.lat, band.lon, lat < -50, lat > 60};
}

struct StationDatabase::Sources {
    int variable;
    std::vector<std::shared_ptr<const Index>> files;
};

std::shared_ptr<const StationDatabase::Sources> StationDatabase::sources(int variable, float lon, float lat) const {
    auto out = std::make_shared<Sources>();
    out->variable = variable;
    for (const std::string& name : candidateFiles(variable, lon, lat)) out->files.push_back(index(name));
    return out;
}

void StationDatabase::nearCandidates(const Sources& from, float lon, float lat, double radiusKm,
                                     std::vector<Candidate>& out, bool& covered, const StationExclusion* excluded) const {
    const bool exclude = excluded && !excluded->empty();
    out.clear();
    constexpr double kKmPerDegree = 6370.997 * 3.14159265358979 / 180.0;
    // Distance() rounds the cosine to single precision: near points read up to ~1.6 km short.
    const double reach = radiusKm + 3.0;
    const double angle = reach / kKmPerDegree;  // degrees of arc
    const double latLo = lat - angle, latHi = lat + angle;
    double lonHalf = 181;  // all longitudes
    if (latLo > -90 && latHi < 90) {
        const double s = std::sin(angle * 3.14159265358979 / 180.0) / std::cos(lat * 3.14159265358979 / 180.0);
        if (s < 1) lonHalf = std::asin(s) * 180.0 / 3.14159265358979 + 1e-6;
    }
    covered = lonHalf > 180 && latLo <= -90 && latHi >= 90;

    constexpr int C = Index::kCell;
    const int rowLo = std::max(0, static_cast<int>(std::floor((latLo + 90) / C)));
    const int rowHi = std::min(Index::kRows - 1, static_cast<int>(std::floor((latHi + 90) / C)));
    int colLo = 0, colHi = Index::kCols - 1;
    if (lonHalf <= 180) {
        colLo = static_cast<int>(std::floor((lon - lonHalf + 180) / C));
        colHi = static_cast<int>(std::floor((lon + lonHalf + 180) / C));
        if (colHi - colLo + 1 >= Index::kCols) colLo = 0, colHi = Index::kCols - 1;
    }
    int base = 0;
    for (const auto& idx : from.files) {
        const std::vector<Station>& st = *idx->stations;
        if (base + static_cast<long>(st.size()) > kMaxStations) {
            StationTable table;  // report the overflow exactly as the file loader does
            LoadCandidates(from.variable, lon, lat, table, excluded);
        }
        const auto add = [&](int k) {
            const size_t u = static_cast<size_t>(k);
            if (!exclude || !excluded->contains(st[u])) out.push_back({base + k, &st[u], &idx->points[u]});
        };
        for (int row = rowLo; row <= rowHi; ++row)
            for (int c = colLo; c <= colHi; ++c) {
                const int col = ((c % Index::kCols) + Index::kCols) % Index::kCols;
                const size_t cell = static_cast<size_t>(row * Index::kCols + col);
                for (int p = idx->start[cell]; p < idx->start[cell + 1]; ++p) add(idx->members[static_cast<size_t>(p)]);
            }
        for (int k : idx->outside) add(k);
        base += static_cast<int>(st.size());
    }
}

int StationDatabase::refresh() {
    std::lock_guard<std::mutex> lock(mutex_);
    int dropped = 0;
    for (auto it = files_.begin(); it != files_.end();) {
        long long size = 0, mtime = 0;
        const bool present = statFile(fs::path(folder_) / it->first, size, mtime);
        if (!present || size != it->second.size || mtime != it->second.mtime) {
            it = files_.erase(it);
            ++dropped;
            generation_.fetch_add(1, std::memory_order_acq_rel);
        } else {
            ++it;
        }
    }
    return dropped;
}

}  // namespace zentrel
