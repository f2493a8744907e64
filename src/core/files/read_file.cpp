// Whole-file reads with the refusals every reader shares.
#include "files/read_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <new>
#include <sstream>

#include "error.h"

namespace zentrel {

std::string specialFileKind(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode)) return "";
    if (S_ISDIR(st.st_mode)) return "a folder";
    if (S_ISFIFO(st.st_mode)) return "a FIFO";
    if (S_ISSOCK(st.st_mode)) return "a socket";
    return "a device";
}

void requireRegularFile(const std::string& path, const std::string& what) {
    if (const std::string kind = specialFileKind(path); !kind.empty())
        throw Error(what + " " + path + " is not a regular file but " + kind + ".");
}

std::string readRegularFile(const std::string& path, const std::string& what) {
    requireRegularFile(path, what);
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::error_code ec;
        if (!std::filesystem::exists(path, ec)) throw Error(what + " " + path + " is missing.");
        throw Error(what + " " + path + " cannot be read.");
    }
    try {
        std::ostringstream buffer;
        buffer << in.rdbuf();
        if (in.bad()) throw Error(what + " " + path + " cannot be read.");
        return std::move(buffer).str();
    } catch (const std::bad_alloc&) {
        throw Error(what + " " + path + " is too large to read into memory.");
    } catch (const std::length_error&) {
        throw Error(what + " " + path + " is too large to read into memory.");
    }
}

std::string readBytes(int fd, size_t size) {
    std::string bytes(size, '\0');
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) return {};
        done += static_cast<size_t>(n);
    }
    return bytes;
}

}  // namespace zentrel
