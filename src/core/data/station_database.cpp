// In-memory station files with change detection.
#include "data/station_database.h"

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

void StationDatabase::LoadCandidates(int variable, float lon, float lat, StationTable& table) const {
    table.stations.clear();
    for (const std::string& name : candidateFiles(variable, lon, lat)) {
        const auto stations = file(name);
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
        for (const char* polar : v == Temp ? std::initializer_list<const char*>{"mesud.txt", "menor.txt"}
                                           : std::initializer_list<const char*>{"prsud.txt", "prnor.txt"}) {
            std::error_code ec;
            if (fs::exists(fs::path(folder_) / polar, ec)) file(polar);
        }
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
        } else {
            ++it;
        }
    }
    return dropped;
}

}  // namespace zentrel
