// The station files of one data folder held in memory, so that estimates need not read and
// parse them again. Gives exactly the candidates the files would give, in file order.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "data/station_file.h"

namespace zentrel {

/// Thread-safe: many engines may share one database. Files are read on first use; refresh()
/// drops every file whose size or modification time changed (or that vanished), so the next
/// query reads it again (or reports it missing).
class StationDatabase {
public:
    explicit StationDatabase(std::string dataFolder);

    const std::string& folder() const { return folder_; }

    /// The stations of one file of the folder, parsed once. Throws Error like ReadStationFile.
    std::shared_ptr<const std::vector<Station>> file(const std::string& name) const;

    /// Same table as zentrel::LoadCandidates on the files, including the 30000 limit.
    void LoadCandidates(int variable, float lon, float lat, StationTable& table) const;

    /// Reads every station file the loader can ask for, so later queries never touch the disk.
    /// Missing files are left for the query that needs them to report.
    void preload() const;

    /// Forgets files that changed on disk since they were read. Returns how many.
    int refresh();

private:
    struct Entry {
        std::shared_ptr<const std::vector<Station>> stations;
        long long size = -1;
        long long mtime = 0;
    };
    std::string folder_;
    mutable std::mutex mutex_;
    mutable std::map<std::string, Entry> files_;
};

}  // namespace zentrel
