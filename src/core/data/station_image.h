// The binary image of a data folder's parsed station files, kept beside them
// ("stations-image.bin") so that a later process reads the stations in one go instead of
// parsing some 4 MB of text. Derived: keyed by the bytes of the station files it was made from,
// never trusted when the key or its own checksum does not match, and rebuilt then.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/types.h"
#include "data/station_origins.h"

namespace zentrel {

inline constexpr const char* kStationImageFileName = "stations-image.bin";
/// The image of the station table (stations.csv: sources, periods, years and notes).
inline constexpr const char* kStationTableImageFileName = "stations-table-image.bin";

/// Every station file name a data folder can hold, in a fixed order: the Temp bands and polar
/// files, the Prec ones, then the whole files of the other variables.
const std::vector<std::string>& stationFileNames();

/// One station file as read for the image: present or not, its bytes, and its stations when
/// they parsed as a reader of the file would get them (null: left to that reader, which then
/// reports what is wrong, or what the file's reading tells the user, such as a Ctrl-Z).
struct StationFileRead {
    std::string name;
    bool present = false;
    std::string bytes;
    std::shared_ptr<const std::vector<Station>> stations;
};

/// What an image is made from, as one number: the names, presence and bytes of `files` and the
/// source of the code that reads them.
uint64_t stationImageKey(const std::vector<StationFileRead>& files);

/// Parses the bytes of each present file of `files` (`folder`/name in messages) into its
/// stations where they parse whole and hold at most the 30000 stations of a table.
void parseStationFiles(const std::string& folder, std::vector<StationFileRead>& files);

/// Fills the stations of `files` (named as when the image was written, in the same order) from
/// the image at `path` when it is a regular file whose key is `key` and whose content is whole;
/// false otherwise (missing, stale, damaged or special: the files are then parsed). Never throws.
bool readStationImage(const std::string& path, uint64_t key, std::vector<StationFileRead>& files);

/// Writes the image of `files` to `path`, replaced whole. False when it cannot be written (a
/// read-only folder: every process then parses the files) or something else stands there.
bool writeStationImage(const std::string& path, uint64_t key, const std::vector<StationFileRead>& files) noexcept;

/// The key of the station table's image: its bytes and the source of the code that reads them.
uint64_t stationTableImageKey(std::string_view tableText);

/// Fills `out` with the table kept in the image at `path` when its key is `key` and its
/// content is whole; false otherwise. Never throws.
bool readStationTableImage(const std::string& path, uint64_t key, StationOrigins& out);

/// Writes the image of `table` to `path`, replaced whole; false when it cannot be written.
bool writeStationTableImage(const std::string& path, uint64_t key, const StationOrigins& table) noexcept;

}  // namespace zentrel
