// The station files of one data folder held in memory, so that estimates need not read and
// parse them again. Gives exactly the candidates the files would give, in file order.
#pragma once

#include <atomic>
#include <compare>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "base/geometry.h"  // SpherePoint: pure spherical arithmetic
#include "data/station_file.h"
#include "error.h"
#include "data/station_origins.h"

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
    bool contains(float lon, float lat) const;
    bool empty() const { return positions_.empty(); }
    /// The positions left out, sorted.
    const std::vector<std::pair<float, float>>& positions() const { return positions_; }

private:
    std::vector<std::pair<float, float>> positions_;  // sorted
    // Two bits per position in a table of at least 16 bits per position: most stations asked
    // about are not held, and a clear bit says so without the search.
    std::vector<uint64_t> sieve_;
    uint64_t sieveMask_ = 0;  // bits - 1; 0: no sieve (no positions, or one that is NaN)
};

/// The data folder was exchanged for another (an import switched a new database in) while a
/// database object read its files: what it read before and after come from two databases. A
/// caller that can start again on a new object does so; the message says to run again.
class DatabaseReplaced : public Error {
public:
    using Error::Error;
};

/// Thread-safe: many engines may share one database. The first query reads every station file
/// of the folder at once (their stations from the folder's station image when it matches their
/// bytes, else parsed, and the image written anew); a file that could not be taken so (missing,
/// malformed) is read when asked for and reports what is wrong then. refresh() drops every file
/// whose size or modification time changed (or that vanished), so the next query reads it again
/// (or reports it missing).
class StationDatabase {
public:
    explicit StationDatabase(std::string dataFolder);

    const std::string& folder() const { return folder_; }

    /// The stations of one file of the folder, parsed once. Throws Error like ReadStationFile,
    /// and DatabaseReplaced when the folder is no longer the one this object began to read.
    std::shared_ptr<const std::vector<Station>> file(const std::string& name) const;

    /// Same table as zentrel::LoadCandidates on the files, including the 30000 limit. The
    /// stations in `excluded` are left out as if the files did not hold them.
    void LoadCandidates(int variable, float lon, float lat, StationTable& table,
                        const StationExclusion* excluded = nullptr) const;

    /// The folder's station table (where each station comes from), read on first use; null when
    /// the folder keeps none. refresh() reads it again when it changed. Throws Error when it
    /// cannot be read.
    std::shared_ptr<const StationOrigins> origins() const;

    /// Reads every station file the loader can ask for, so later queries never touch the disk.
    /// Missing files are left for the query that needs them to report.
    void preload() const;

    /// Forgets files that changed on disk since they were read. Returns how many.
    int refresh();
    /// True when a file read so far changed on disk or vanished (what refresh() would drop),
    /// without forgetting anything: queries running on this database stay on what they read.
    bool changedOnDisk() const;

    /// A candidate of a query: its place in the station table that reading the files would
    /// build (0-based file order), the station, and its position with the sines and cosines
    /// Distance takes of it.
    struct Candidate {
        int order;
        const Station* station;
        const SpherePoint* point;
        double cosine;  ///< roughCosine from the query point; NaN where that bound may not hold
    };

    /// Which station files a query reads: queries with equal keys read the same files.
    struct SourcesKey {
        int variable = -1, latBand = 0, lonBand = 0;
        bool south = false, north = false;
        auto operator<=>(const SourcesKey&) const = default;
    };
    static SourcesKey sourcesKey(int variable, float lon, float lat);

    /// The station files of one key, read and indexed (what candidateFiles names, in that
    /// order). Callers may keep it between queries while generation() stays the same.
    struct Sources;
    std::shared_ptr<const Sources> sources(int variable, float lon, float lat) const;
    /// Changes whenever refresh() drops a file: sources taken before may be stale. Unique in the
    /// process across every database object, so that a cache keyed by a database's address and
    /// generation never mistakes a new database at a freed object's address for the old one.
    uint64_t generation() const { return generation_.load(std::memory_order_acquire); }

    /// The candidates at `at` among `from` that may lie within `radiusKm` (great-circle) of it,
    /// in no particular order: every candidate whose Distance() from the point is at most
    /// radiusKm is among them, and usually few others. Sets `covered` when the search reached
    /// every candidate (then the list is the whole table). Throws Error as LoadCandidates does
    /// for more than 30000 candidates. Stations in `excluded` are never candidates. With
    /// `antipodeKm` > 0, also every candidate within that distance of the antipode.
    void nearCandidates(const Sources& from, const SpherePoint& at, double radiusKm, double antipodeKm,
                        std::vector<Candidate>& out, bool& covered, const StationExclusion* excluded = nullptr) const;

private:
    struct Index;  // stations of one file bucketed by 2-degree cells
    std::shared_ptr<const Index> index(const std::string& name) const;

    struct Entry {
        std::shared_ptr<const std::vector<Station>> stations;
        std::shared_ptr<const Index> index;
        long long size = -1;
        long long mtime = 0;
    };
    // Reads every station file of the folder in one go (once, and again after refresh() dropped
    // files), all from one folder or none: a folder exchanged meanwhile leaves each file to its
    // own reading, which reports the exchange.
    void readAll() const;

    std::string folder_;
    std::pair<unsigned long long, unsigned long long> folderId_;  // device and inode when made or refreshed (mutex_)
    mutable std::mutex mutex_;
    mutable std::map<std::string, Entry> files_;
    mutable bool allRead_ = false;   // (mutex_)
    mutable std::mutex readingAll_;  // one readAll() at a time
    std::atomic<uint64_t> generation_{nextGeneration()};
    static uint64_t nextGeneration();
    mutable std::map<SourcesKey, std::shared_ptr<const Sources>> sourcesKept_;
    mutable bool originsRead_ = false;
    mutable std::shared_ptr<const StationOrigins> origins_;
};

/// The distinct stations of `variable` in the database (first copy of each position, in file
/// reading order). Files that do not exist are skipped.
std::vector<Station> databaseStations(const StationDatabase& database, int variable);

}  // namespace zentrel
