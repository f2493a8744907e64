// Putting a new station database in place of an old one in one step, so that a full disk, a
// kill or Ctrl-C leaves the folder either entirely old or entirely new.
#pragma once

#include <functional>
#include <map>
#include <string>

#include "data/station_writer.h"

namespace zentrel {

/// The folder a new database of `folder` is built in before it is switched in: a hidden
/// folder beside it, named after it and this process.
std::string stagingFolderOf(const std::string& folder);

/// Writes `lists` and the files `described` (file name -> bytes: the about file, the station
/// table, the excluded list) into the staging folder beside `folder`, carries over every file of
/// the old folder that is not part of a station database (the elevation raster, maps) except the
/// "DEMONSTRATION" marker (imported normals are observations) and the old database's about file,
/// station table and excluded list, and then exchanges the two folders in one rename. The old database is removed afterwards. `cancelled`, polled
/// between variables and before the switch, stops the work with the old folder untouched.
/// On any failure the staging folder is removed and Error names what failed; `folder` is then
/// as it was. Staging folders that killed imports into `folder` left beside it (their process
/// no longer runs) are removed first.
void replaceStationDatabase(const std::string& folder, const StationLists& lists,
                            const std::function<bool()>& cancelled = {},
                            const std::map<std::string, std::string>& described = {});

/// Thrown by replaceStationDatabase when `cancelled` said so.
struct DatabaseReplaceCancelled {};

}  // namespace zentrel
