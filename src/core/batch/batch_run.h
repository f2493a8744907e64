// The batch run (processit and ProcessOther): the estimate of every selected variable at every
// location of the list, written as each location finishes. Locations are estimated on several
// threads; the files come out in list order, byte for byte as a one-thread run writes them.
#pragma once

#include <array>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "data/station_database.h"
#include "feedback.h"
#include "formats/text_output.h"
#include "locations/location_list.h"
#include "settings/program_settings.h"

namespace zentrel {

class ElevationModel;

/// What the batch window's boxes chose.
struct BatchOptions {
    int32_t format = FormatZentrel;   ///< 1, 2, 3, 5 or 7 (formats 4 and 6 write no records)
    VariableSelection variables{};    ///< by variable index
    QuantitySelection quantities;     ///< files of the own format
    int level = 90;                   ///< confidence level of Low and High: 90, 95 or 99
    bool useDem = false;              ///< altitude from the elevation raster instead of the list
    /// With useDem: the altitudes from the user's elevation model (the point's pixel), where it
    /// has one, else from the elevation raster. Null: the elevation raster's.
    std::shared_ptr<const ElevationModel> dem;
    bool append = false;              ///< own format: append to existing files without heads
    /// Own format: the folder of the files; other formats: the file.
    std::string destination;
    /// Name of the location list's source, for the run information file.
    std::string sourceName;
    /// Start of the run (for the file prefix); 0 = now.
    std::time_t start = 0;
    /// Threads that estimate; 0 = all cores. The writing is the same for any number.
    unsigned threads = 0;
};

/// What a run did, for the summary.
struct BatchSummary {
    std::string prefix;               ///< run prefix of the own format ("" otherwise)
    std::vector<std::string> files;   ///< files created or appended to, in the order first written
    long long locations = 0;          ///< locations in the list
    long long estimates = 0;          ///< point-variable estimates written
    long long estimatesPlanned = 0;   ///< point-variable estimates of the whole run
    int variables = 0;                ///< variables selected
    bool cancelled = false;
    /// What the run left out and why ("Wind skipped: this station database holds no Wind
    /// normals"), one line each.
    std::vector<std::string> notes;
    /// Estimates with each warning flag: WarnHigh, WarnLow, WarnLonely, WarnStrange,
    /// WarnDoubled, WarnFew, WarnHit, estimates without any active neighbour, and WarnRecord.
    std::array<long long, 9> warnings{};
    double seconds = 0;
    /// summaryLine() of each estimate in list order, up to kMaxSummaryLines.
    std::vector<std::string> lines;
};
inline constexpr size_t kMaxSummaryLines = 100000;

/// Runs the batch. `settings` must already hold the batch window's values (checkBatchSettings);
/// `database` is the station database of `dataFolder` shared by the threads (made when null).
/// Each location's lines reach the disk before the next location's lines are written. Stops
/// after the current location when `feedback` is cancelled (summary.cancelled; the files
/// written so far stay). Throws Error naming a file that cannot be written or an unusable data
/// file; the lines already written stay. Holds the OutputLock of the destination while it runs
/// and throws its Error when another run holds it. Progress: locations times variables done.
BatchSummary runBatch(const std::vector<LocationRow>& rows, const BatchOptions& options, const ProgramSettings& settings,
                      const std::string& dataFolder, std::shared_ptr<const StationDatabase> database = nullptr,
                      Feedback* feedback = nullptr);

/// The summary as text for the summary window and the command line.
std::string summaryText(const BatchSummary& summary);

}  // namespace zentrel
