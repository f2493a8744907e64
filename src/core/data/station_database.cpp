// In-memory station files with change detection.
#include "data/station_database.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <unordered_set>
#include <cmath>
#include <filesystem>
#include <fmt/format.h>

#include "base/position_bits.h"
#include "data/station_image.h"
#include "error.h"
#include "files/read_file.h"

namespace zentrel {

namespace fs = std::filesystem;

namespace {
// The folder's device and inode: an import exchanges the whole folder for a new one.
std::pair<unsigned long long, unsigned long long> folderIdentity(const std::string& folder) {
    struct stat st{};
    if (::stat(folder.c_str(), &st) != 0) return {0, 0};
    return {static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino)};
}

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

namespace {
// The sieve's hash of a position; -0 and 0 are one position, as the search compares them.
uint64_t sieveHash(float lon, float lat) {
    lon += 0.0f;
    lat += 0.0f;
    return mixBits(positionBits(lon, lat));
}
}  // namespace

StationExclusion::StationExclusion(std::vector<std::pair<float, float>> positions) : positions_(std::move(positions)) {
    std::sort(positions_.begin(), positions_.end());
    if (positions_.empty() || std::any_of(positions_.begin(), positions_.end(), [](const auto& p) {
            return std::isnan(p.first) || std::isnan(p.second);
        }))
        return;
    uint64_t bits = 1024;
    while (bits < 16 * positions_.size()) bits *= 2;
    sieve_.assign(bits / 64, 0);
    sieveMask_ = bits - 1;
    for (const auto& [lon, lat] : positions_) {
        const uint64_t h = sieveHash(lon, lat);
        for (const uint64_t bit : {(h >> 40) & sieveMask_, (h >> 14) & sieveMask_}) sieve_[bit >> 6] |= 1ULL << (bit & 63);
    }
}

bool StationExclusion::contains(const Station& s) const { return contains(s.Lon, s.Lat); }

bool StationExclusion::contains(float lon, float lat) const {
    if (sieveMask_) {
        const uint64_t h = sieveHash(lon, lat);
        const uint64_t a = (h >> 40) & sieveMask_, b = (h >> 14) & sieveMask_;
        if (!(sieve_[a >> 6] >> (a & 63) & 1) || !(sieve_[b >> 6] >> (b & 63) & 1)) return false;
    } else if (positions_.empty()) {
        return false;
    }
    return std::binary_search(positions_.begin(), positions_.end(), std::make_pair(lon, lat));
}

uint64_t StationDatabase::nextGeneration() {
    static std::atomic<uint64_t> counter{0};
    return counter.fetch_add(1, std::memory_order_relaxed) + 1;
}

StationDatabase::StationDatabase(std::string dataFolder)
    : folder_(std::move(dataFolder)), folderId_(folderIdentity(folder_)) {}

namespace {
// The bytes of a regular station file, or nothing (missing, special, unreadable: its own
// reading reports it).
bool readStationBytes(const fs::path& path, std::string& bytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st{};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (ok && st.st_size > 0) {
        bytes = readBytes(fd, static_cast<size_t>(st.st_size));
        ok = bytes.size() == static_cast<size_t>(st.st_size);
    }
    ::close(fd);
    return ok;
}
}  // namespace

void StationDatabase::readAll() const {
    std::lock_guard<std::mutex> one(readingAll_);
    std::pair<unsigned long long, unsigned long long> began;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (allRead_) return;
        began = folderId_;
    }
    const std::vector<std::string>& names = stationFileNames();
    std::vector<StationFileRead> files(names.size());
    std::vector<std::pair<long long, long long>> stamps(names.size(), {-1, 0});
    for (size_t k = 0; k < names.size(); ++k) {
        files[k].name = names[k];
        const fs::path path = fs::path(folder_) / names[k];
        if (statFile(path, stamps[k].first, stamps[k].second)) files[k].present = readStationBytes(path, files[k].bytes);
    }
    // Files of two databases are never kept together: each is then read on its own, and the
    // first one asked for reports the exchange.
    if (folderIdentity(folder_) != began) {
        std::lock_guard<std::mutex> lock(mutex_);
        allRead_ = true;
        return;
    }
    const uint64_t key = stationImageKey(files);
    const std::string imagePath = (fs::path(folder_) / kStationImageFileName).string();
    if (!readStationImage(imagePath, key, files)) {
        parseStationFiles(folder_, files);
        // A folder without a station file that parses (a map folder, one still being filled)
        // gets no image: there is nothing to keep.
        if (std::any_of(files.begin(), files.end(), [](const StationFileRead& f) { return f.stations != nullptr; }))
            writeStationImage(imagePath, key, files);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    allRead_ = true;
    if (folderId_ != began) return;  // refreshed meanwhile onto another folder
    for (size_t k = 0; k < files.size(); ++k)
        if (files[k].stations && !files_.count(names[k])) {
            Entry entry;
            entry.stations = std::move(files[k].stations);
            entry.size = stamps[k].first;
            entry.mtime = stamps[k].second;
            files_.emplace(names[k], std::move(entry));
        }
}

std::shared_ptr<const std::vector<Station>> StationDatabase::file(const std::string& name) const {
    bool allRead = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = files_.find(name);
        if (it != files_.end()) return it->second.stations;
        allRead = allRead_;
    }
    if (!allRead) {
        readAll();
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = files_.find(name);
        if (it != files_.end()) return it->second.stations;
    }
    const fs::path path = fs::path(folder_) / name;
    Entry entry;
    statFile(path, entry.size, entry.mtime);
    StationTable table;
    ReadStationFile(path.string(), table);  // throws for a missing or malformed file
    // Checked after the read: a file read from the new folder, or the old folder's files read
    // before it and the new one's after, would mix two databases in one estimate.
    std::pair<unsigned long long, unsigned long long> began;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        began = folderId_;
    }
    if (folderIdentity(folder_) != began)
        throw DatabaseReplaced("The data folder " + folder_ +
                               " was replaced by another database (an import) while it was read; nothing was estimated "
                               "from a mixture of the two. Run again.");
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

std::shared_ptr<const StationOrigins> StationDatabase::origins() const {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (originsRead_) return origins_;
    }
    auto origins = stationOriginsOf(folder_);
    std::lock_guard<std::mutex> lock(mutex_);
    origins_ = std::move(origins);
    originsRead_ = true;
    return origins_;
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
    std::vector<std::array<double, 3>> memberUnit;  // unit vectors in `members` order
    std::vector<std::array<float, 2>> memberPosition;  // lon, lat in `members` order (for exclusions)

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
    idx->memberUnit.reserve(idx->members.size());
    idx->memberPosition.reserve(idx->members.size());
    for (int k : idx->members) {
        const double* u = idx->points[static_cast<size_t>(k)].unit;
        idx->memberUnit.push_back({u[0], u[1], u[2]});
        idx->memberPosition.push_back({(*stations)[static_cast<size_t>(k)].Lon, (*stations)[static_cast<size_t>(k)].Lat});
    }
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
    const SourcesKey key = sourcesKey(variable, lon, lat);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = sourcesKept_.find(key);
        if (it != sourcesKept_.end()) return it->second;
    }
    auto out = std::make_shared<Sources>();
    out->variable = variable;
    for (const std::string& name : candidateFiles(variable, lon, lat)) out->files.push_back(index(name));
    std::lock_guard<std::mutex> lock(mutex_);
    sourcesKept_[key] = out;
    return out;
}

namespace {
// The 2-degree cells that hold every station within radiusKm of a point: rows rowLo..rowHi,
// columns colLo..colHi (which may run past the date line; taken modulo the column count).
struct CellBox {
    int rowLo, rowHi, colLo, colHi;
    bool all;  // every cell
    bool contains(int row, int col, int cols) const {
        if (row < rowLo || row > rowHi) return false;
        const int offset = ((col - colLo) % cols + cols) % cols;
        return offset <= colHi - colLo;
    }
};

CellBox cellBox(float lon, float lat, double radiusKm, int cell, int rows, int cols) {
    constexpr double kKmPerDegree = kEarthRadiusKmDouble * 3.14159265358979 / 180.0;
    // Distance() rounds the cosine to single precision: near points read up to ~1.6 km short, and
    // a station a few metres beyond the radius can read as within it (and within MaxDist).
    const double reach = radiusKm + 3.0;
    const double angle = reach / kKmPerDegree;  // degrees of arc
    const double latLo = lat - angle, latHi = lat + angle;
    double lonHalf = 181;  // all longitudes
    if (latLo > -90 && latHi < 90) {
        const double s = std::sin(angle * 3.14159265358979 / 180.0) / std::cos(lat * 3.14159265358979 / 180.0);
        if (s < 1) lonHalf = std::asin(s) * 180.0 / 3.14159265358979 + 1e-6;
    }
    CellBox box;
    box.all = lonHalf > 180 && latLo <= -90 && latHi >= 90;
    box.rowLo = std::max(0, static_cast<int>(std::floor((latLo + 90) / cell)));
    box.rowHi = std::min(rows - 1, static_cast<int>(std::floor((latHi + 90) / cell)));
    box.colLo = 0;
    box.colHi = cols - 1;
    if (lonHalf <= 180) {
        box.colLo = static_cast<int>(std::floor((lon - lonHalf + 180) / cell));
        box.colHi = static_cast<int>(std::floor((lon + lonHalf + 180) / cell));
        if (box.colHi - box.colLo + 1 >= cols) box.colLo = 0, box.colHi = cols - 1;
    }
    return box;
}
}  // namespace

void StationDatabase::nearCandidates(const Sources& from, const SpherePoint& at, double radiusKm, double antipodeKm,
                                     std::vector<Candidate>& out, bool& covered, const StationExclusion* excluded) const {
    const bool exclude = excluded && !excluded->empty();
    const float lon = at.lon, lat = at.lat;
    out.clear();
    constexpr int kRows = Index::kRows, kCols = Index::kCols;
    const CellBox box = cellBox(lon, lat, radiusKm, Index::kCell, kRows, kCols);
    covered = box.all;
    // Stations around the antipode, the cells not already in the box.
    const CellBox opposite = cellBox(lon >= 0 ? lon - 180.0f : lon + 180.0f, -lat, antipodeKm, Index::kCell, kRows, kCols);
    const bool withOpposite = antipodeKm > 0 && !box.all;
    // The rough cosine holds only for positions within the usual ranges.
    const bool rough = std::fabs(lon) <= 180 && std::fabs(lat) <= 90;
    int base = 0;
    for (const auto& idx : from.files) {
        const std::vector<Station>& st = *idx->stations;
        if (base + static_cast<long>(st.size()) > kMaxStations) {
            StationTable table;  // report the overflow exactly as the file loader does
            LoadCandidates(from.variable, lon, lat, table, excluded);
        }
        const auto addCell = [&](size_t cell) {
            for (int p = idx->start[cell]; p < idx->start[cell + 1]; ++p) {
                const size_t m = static_cast<size_t>(p);
                const size_t k = static_cast<size_t>(idx->members[m]);
                if (exclude && excluded->contains(idx->memberPosition[m][0], idx->memberPosition[m][1])) continue;
                const double cosine = rough ? roughCosine(at.unit, idx->memberUnit[m].data()) : std::nan("");
                out.push_back({base + static_cast<int>(k), &st[k], &idx->points[k], cosine});
            }
        };
        for (int row = box.rowLo; row <= box.rowHi; ++row)
            for (int c = box.colLo; c <= box.colHi; ++c) addCell(static_cast<size_t>(row * kCols + ((c % kCols) + kCols) % kCols));
        if (withOpposite)
            for (int row = opposite.rowLo; row <= opposite.rowHi; ++row)
                for (int c = opposite.colLo; c <= opposite.colHi; ++c) {
                    const int col = ((c % kCols) + kCols) % kCols;
                    if (!box.contains(row, col, kCols)) addCell(static_cast<size_t>(row * kCols + col));
                }
        for (int k : idx->outside)  // far outside the usual ranges: no rough cosine
            if (!exclude || !excluded->contains(st[static_cast<size_t>(k)]))
                out.push_back({base + k, &st[static_cast<size_t>(k)], &idx->points[static_cast<size_t>(k)], std::nan("")});
        base += static_cast<int>(st.size());
    }
}

bool StationDatabase::changedOnDisk() const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& [name, entry] : files_) {
        long long size = 0, mtime = 0;
        if (!statFile(fs::path(folder_) / name, size, mtime) || size != entry.size || mtime != entry.mtime) return true;
    }
    return false;
}

int StationDatabase::refresh() {
    std::lock_guard<std::mutex> lock(mutex_);
    originsRead_ = false;  // stationOriginsOf reads the table again only when it changed
    int dropped = 0;
    // A folder exchanged by an import: every file is read again, from the new folder only.
    if (const auto now = folderIdentity(folder_); now != folderId_) {
        dropped = static_cast<int>(files_.size());
        files_.clear();
        sourcesKept_.clear();
        folderId_ = now;
        allRead_ = false;  // the new folder's files are read in one go, from its image where it matches
        generation_.store(nextGeneration(), std::memory_order_release);
        return dropped;
    }
    for (auto it = files_.begin(); it != files_.end();) {
        long long size = 0, mtime = 0;
        const bool present = statFile(fs::path(folder_) / it->first, size, mtime);
        if (!present || size != it->second.size || mtime != it->second.mtime) {
            it = files_.erase(it);
            sourcesKept_.clear();
            allRead_ = false;
            ++dropped;
            generation_.store(nextGeneration(), std::memory_order_release);
        } else {
            ++it;
        }
    }
    return dropped;
}

std::vector<Station> databaseStations(const StationDatabase& database, int variable) {
    namespace fs = std::filesystem;
    std::vector<std::string> names;
    if (variable == Temp || variable == Prec) {
        for (int i = 1; i <= 6; ++i)
            for (int j = 1; j <= 6; ++j) names.push_back(bandFileName(variable, i, j));
        names.emplace_back(bandBounds(variable).south);
        names.emplace_back(bandBounds(variable).north);
    } else {
        names.push_back(wholeFileName(variable));
    }
    // Room for every station of the files at once: growing copies each station (and its texts)
    // again, and the set rehashes.
    std::vector<std::shared_ptr<const std::vector<Station>>> files;
    size_t total = 0;
    for (const std::string& name : names) {
        std::error_code ec;
        if (!fs::exists(fs::path(database.folder()) / name, ec)) continue;
        files.push_back(database.file(name));
        total += files.back()->size();
    }
    std::vector<Station> out;
    out.reserve(total);
    std::unordered_set<uint64_t> seen;  // positions, as the bits of longitude and latitude
    seen.reserve(total);
    for (const auto& file : files) {
        for (const Station& s : *file) {
            const float lonValue = s.Lon + 0.0f, latValue = s.Lat + 0.0f;  // -0 is 0
            uint32_t lon = 0, lat = 0;
            std::memcpy(&lon, &lonValue, 4);
            std::memcpy(&lat, &latValue, 4);
            if (!seen.insert((static_cast<uint64_t>(lon) << 32) | lat).second) continue;
            out.push_back(s);
        }
    }
    return out;
}

}  // namespace zentrel
