// Reading a whole data file, refusing what is not a regular file before it is opened.
#pragma once

#include <string>

namespace zentrel {

/// "a folder", "a FIFO", "a device", "a socket" or "" for a regular file (symbolic links
/// followed); "" also when `path` does not exist.
std::string specialFileKind(const std::string& path);

/// The bytes of the regular file `path`. `what` starts every message ("Station file"):
/// "<what> <path> is missing.", "... is not a regular file but a folder." (a FIFO would block
/// the program, a device like /dev/zero never ends, a folder reads as empty),
/// "... is too large to read into memory." and "... cannot be read." as Error.
std::string readRegularFile(const std::string& path, const std::string& what);

/// Throws the Error of readRegularFile for a path that exists but is not a regular file.
void requireRegularFile(const std::string& path, const std::string& what);

/// The first `size` bytes of the open file `fd` (read from where it stands); "" when the file
/// ends sooner or a read fails.
std::string readBytes(int fd, size_t size);

}  // namespace zentrel
