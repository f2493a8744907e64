// The station files of one data folder held in memory, so that estimates need not read and
// parse them again. Gives exactly the candidates the files would give, in file order.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "data/station_file.h"

namespace zentrel {

/// Stations that queries leave out, known by their position: every copy of a station in the
/// band and polar files shares it. Lets a station be held out without rewriting any file.
/// Immutable once built, so many engines may share one.
class StationExclusion {
public:
    StationExclusion() = default;
    /// positions: (lon, lat) pairs, any order, duplicates allowed.
    explicit StationExclusion(std::vector<std::pair<float, float>> positions);
    bool contains(const Station& station) const;
    bool empty() const { return positions_.empty(); }

private:
    std::vector<std::pair<float, float>> positions_;  // sorted
};

/// Thread-safe: many engines may share one database. Files are read on first use; refresh()
/// drops every file whose size or modification time changed (or that vanished), so the next
/// query reads it again (or reports it missing).
class StationDatabase {
public:
    explicit StationDatabase(std::string dataFolder);

    const std::string& folder() const { return folder_; }

    /// The stations of one file of the folder, parsed once. Throws Error like ReadStationFile.
    std::shared_ptr<const std::vector<Station>> file(const std::string& name) const;

    /// Same table as zentrel::LoadCandidates on the files, including the 30000 limit. The
    /// stations in `excluded` are left out as if the files did not hold them.
    void LoadCandidates(int variable, float lon, float lat, StationTable& table,
                        const StationExclusion* excluded = nullptr) const;

    /// Reads every station file the loader can ask for, so later queries never touch the disk.
    /// Missing files are left for the query that needs them to report.
    void preload() const;

    /// Forgets files that changed on disk since they were read. Returns how many.
    int refresh();

    /// A candidate of a query: its place in the station table that reading the files would
    /// build (0-based file order) and the station.
    struct Candidate {
        int order;
        const Station* station;
    };

    /// The candidates of `variable` at (lon, lat) that may lie within `radiusKm` (great-circle)
    /// of it, in table order: every candidate whose Distance() from the point is at most
    /// radiusKm is among them, and usually few others. Sets `covered` when the search reached
    /// every candidate (then the list is the whole table). Throws Error as LoadCandidates does
    /// (missing file, malformed line, more than 30000 candidates). Stations in `excluded` are
    /// never candidates.
    void nearCandidates(int variable, float lon, float lat, double radiusKm, std::vector<Candidate>& out,
                        bool& covered, const StationExclusion* excluded = nullptr) const;

private:
    struct Index;  // stations of one file bucketed by 2-degree cells
    std::shared_ptr<const Index> index(const std::string& name) const;

    struct Entry {
        std::shared_ptr<const std::vector<Station>> stations;
        std::shared_ptr<const Index> index;
        long long size = -1;
        long long mtime = 0;
    };
    std::string folder_;
    mutable std::mutex mutex_;
    mutable std::map<std::string, Entry> files_;
};

}  // namespace zentrel
