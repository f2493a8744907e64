// Writing an output file so that nothing is lost: a regular file is written beside the target
// and renamed over it when whole; a device, FIFO or socket is written in place; a symbolic
// link is followed; "-" is the standard output.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace zentrel {

/// The name of an output that means the standard output.
inline constexpr const char* kStandardOutputName = "-";

/// The file an output named `path` really writes: symbolic links followed (also one that
/// points nowhere yet), `path` itself otherwise.
std::string resolveOutputPath(const std::string& path);

/// Produces the output: `writePart(part)` writes the whole file at `part` and throws Error
/// (naming `path`) when it cannot. For a regular or new file `part` lies beside the target
/// and is renamed over it when whole, keeping the old file's permissions; for a special file
/// or "-" it lies in the temporary folder and its bytes are copied into the target. The part
/// never stays behind. Throws Error naming `path` for a folder or a failed copy or rename.
void replaceOutputFile(const std::string& path, const std::function<void(const std::string& part)>& writePart);

/// For a writer that must create its file by name itself (a library such as GDAL or netCDF):
/// the file to write, `suffix` added, beside the file `path` really writes (links followed)
/// for a regular or new file, in the temporary folder for a special file or "-". After it is
/// whole, commitOutputPart() puts it in place.
std::string outputPartPath(const std::string& path, const std::string& suffix);

/// Renames the whole `part` from outputPartPath() over the file `path` really writes, or
/// copies its bytes into a special file or the standard output and removes it. Throws Error
/// naming `path`.
void commitOutputPart(const std::string& path, const std::string& part);

/// True when the file system that holds `path` (a file or the folder it would be in) has
/// (almost) no room left: what a library's write error on it most likely means. Libraries
/// (GDAL, netCDF/HDF5) report a full disk in their own words, or not at all.
bool diskIsFull(const std::string& path);

/// replaceOutputFile() for bytes already in memory.
void writeOutputFile(const std::string& path, std::string_view bytes);

/// Writes `bytes` to the standard output and flushes it. Throws Error when the stream refuses
/// them (a closed pipe, a full disk).
void writeStandardOutput(std::string_view bytes);

}  // namespace zentrel
