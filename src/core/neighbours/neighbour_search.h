// The neighbour machinery every estimation method shares: the candidates of a variable near a
// location, the nearest MaxStat of them that pass the selection criteria, and their activation.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "base/geometry.h"
#include "base/types.h"
#include "data/station_database.h"
#include "settings/program_settings.h"

namespace zentrel {

/// The neighbours of one location at a time. Not thread-safe; give each thread its own. The
/// settings are read only and must outlive the search.
/// Candidates looked at by a selection that keeps MaxStat of them from every side.
inline constexpr int kPoolPlaces = 60;

class NeighbourSearch {
public:
    /// dataFolder: where the station files are. database: optional in-memory station
    /// database of that folder, used instead of reading the files (same candidates).
    NeighbourSearch(const ProgramSettings& settings, std::string dataFolder,
                    std::shared_ptr<const StationDatabase> database = nullptr);
    virtual ~NeighbourSearch();

    StationTable table;
    NeighbourSet ns;
    WarningFlags warn;       ///< WarnDoubled from the activation; the rest is the estimate's
    Location working;        ///< the location the search runs on
    int16_t variable = Temp;
    std::vector<Message> messages;  ///< messages of the last run, for the caller to show

    /// LoadCandidates and SelectNeighbours for `var` at `location` (altitude as given).
    void Select(int var, const Location& location);

    virtual void LoadCandidates();
    void SelectNeighbours();
    void ActivateNeighbours();
    /// Activation without counting, for the workbench's check boxes.
    void InitialActivation();
    /// Takes the 20 check box states (entries 1..20) as the activation and recounts.
    void ReadActivation(const std::array<int16_t, 20>& checks);

    const ProgramSettings& settings() const { return settings_; }
    /// With a database: false makes LoadCandidates copy the whole candidate table from memory
    /// and select from it as from the files (the reference the spatial search is tested on).
    void setSpatialSearch(bool on) { spatialSearch_ = on; }
    bool spatialSearch() const { return spatialSearch_; }
    /// Stations to leave out of the candidates (holding stations out for validation); null
    /// for none. The exclusion must outlive the runs that use it.
    void setExclusion(const StationExclusion* excluded) { excluded_ = excluded; }
    const std::string& dataFolder() const { return dataFolder_; }

protected:
    Method method() const { return effectiveMethod(settings_); }
    /// Whether copies of one station (same position, same values) count as one candidate: for
    /// every method but the described one, which selects them and switches them off.
    bool collapsesCopies() const { return method() != Method::Described; }
    /// The stations the selection leaves out: by default those held out.
    virtual const StationExclusion* exclusion() const { return excluded_; }
    const SpherePoint& neighbourPoint(int i);     // ns[i]'s position with its sines and cosines
    void countActive();

    const ProgramSettings& settings_;
    std::string dataFolder_;
    std::shared_ptr<const StationDatabase> database_;
    const StationExclusion* excluded_ = nullptr;

private:
    struct Picked {
        const Station* station;
        float dist;
        const SpherePoint* point;  // from the database, or null
    };
    void selectNear(int places);
    bool balancedSelection() const;
    void balanceDirections(int maxStat);
    void measurePrecisely();  // double-precision distances, nearest first (not the described method)
    bool passesAltitude(const Station& candidate) const;  // the altitude range of NeighbAlt
    bool passesFilters(const Station& candidate, float dist) const;

    // Work buffers of the selection, kept between runs so that estimates do not allocate.
    std::vector<Picked> picked_;
    std::vector<StationDatabase::Candidate> near_;
    std::vector<double> roughCosines_;
    std::vector<char> keep_;
    std::vector<int> copies_;                     // near_ entries passed over as copies of a place
    std::vector<const Station*> copyStations_;    // the same, as stations
    // The station files of each variable's last selection: most estimates need the same ones
    // again, and keeping them here spares the database's lock.
    struct KeptSources {
        std::shared_ptr<const StationDatabase::Sources> sources;
        StationDatabase::SourcesKey key;
        uint64_t generation = 0;
    };
    std::array<KeptSources, kVariableCount> sources_;
    std::array<SpherePoint, 21> points_;  // of the neighbours 1..20, kept while their positions stay
    double searchRadius_ = 300;
    bool spatialSearch_ = true;
};

}  // namespace zentrel
