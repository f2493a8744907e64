// Output files written whole: beside and renamed for regular files, in place for special files.
#include "files/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "error.h"

namespace zentrel {

namespace fs = std::filesystem;

namespace {

/// Writes all of `bytes` to `fd`; false with errno set when the descriptor refuses them.
bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

std::string readPart(const std::string& part, const std::string& path) {
    std::ifstream in(part, std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(in), {}};
    if (in.bad()) throw Error("Cannot write the file \"" + path + "\": its temporary copy cannot be read back.");
    return bytes;
}

/// A unique name in the system's temporary folder for the part of a special target.
std::string temporaryPart() {
    std::string pattern = (fs::temp_directory_path() / "zentrel-out-XXXXXX").string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) throw Error(std::string("Cannot create a temporary file: ") + std::strerror(errno) + ".");
    ::close(fd);
    return pattern;
}

/// Runs writePart and removes the part when it throws.
void writeThePart(const std::string& part, const std::function<void(const std::string&)>& writePart) {
    try {
        writePart(part);
    } catch (...) {
        std::error_code ec;
        fs::remove(part, ec);
        throw;
    }
}

}  // namespace

std::string resolveOutputPath(const std::string& path) {
    fs::path p(path);
    std::error_code ec;
    // A chain of links is followed to its end; a loop stops after as many steps as the system
    // allows (the write then fails with the system's message).
    for (int hop = 0; hop < 40 && fs::is_symlink(p, ec); ++hop) {
        const fs::path target = fs::read_symlink(p, ec);
        if (ec) break;
        p = target.is_absolute() ? target : p.parent_path() / target;
    }
    return p.string();
}

void writeStandardOutput(std::string_view bytes) {
    std::fflush(stdout);
    if (!writeAll(STDOUT_FILENO, bytes))
        throw Error(std::string("The standard output cannot be written: ") + std::strerror(errno) + ".");
}

void replaceOutputFile(const std::string& path, const std::function<void(const std::string& part)>& writePart) {
    if (path == kStandardOutputName) {
        const std::string part = temporaryPart();
        writeThePart(part, writePart);
        const std::string bytes = readPart(part, path);
        std::error_code ec;
        fs::remove(part, ec);
        writeStandardOutput(bytes);
        return;
    }
    const std::string target = resolveOutputPath(path);
    struct stat st {};
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) throw Error("Cannot write the file \"" + path + "\": it is a folder.");
    if (exists && !S_ISREG(st.st_mode)) {
        // A device, FIFO or socket stays what it is: the bytes go into it.
        const std::string part = temporaryPart();
        writeThePart(part, writePart);
        const std::string bytes = readPart(part, path);
        std::error_code ec;
        fs::remove(part, ec);
        const int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd < 0) throw Error("Cannot write the file \"" + path + "\": " + std::strerror(errno) + ".");
        const bool ok = writeAll(fd, bytes);
        const int error = errno;
        ::close(fd);
        if (!ok) throw Error("Cannot write the file \"" + path + "\": " + std::strerror(error) + ".");
        return;
    }
    const fs::path t(target);
    const std::string part =
        (t.parent_path() / ("." + t.filename().string() + ".part-" + std::to_string(::getpid()))).string();
    writeThePart(part, writePart);
    std::error_code ec;
    if (exists) ::chmod(part.c_str(), st.st_mode & 07777);
    fs::rename(part, t, ec);
    if (ec) {
        const std::string reason = ec.message();
        fs::remove(part, ec);
        throw Error("Cannot write the file \"" + path + "\": " + reason + ".");
    }
}

namespace {

/// "-", or a device, FIFO or socket (after links): written into, not replaced.
bool isSpecialTarget(const std::string& path) {
    if (path == kStandardOutputName) return true;
    struct stat st {};
    return ::stat(resolveOutputPath(path).c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
}

}  // namespace

std::string outputPartPath(const std::string& path, const std::string& suffix) {
    if (isSpecialTarget(path)) {
        const std::string part = temporaryPart();
        std::error_code ec;
        fs::remove(part, ec);  // the writer creates it under its own name
        return part + suffix;
    }
    return resolveOutputPath(path) + suffix;
}

void commitOutputPart(const std::string& path, const std::string& part) {
    std::error_code ec;
    if (isSpecialTarget(path)) {
        try {
            replaceOutputFile(path, [&part](const std::string& into) {
                std::error_code copied;
                fs::copy_file(part, into, fs::copy_options::overwrite_existing, copied);
                if (copied) throw Error("Cannot write the file \"" + into + "\": " + copied.message() + ".");
            });
        } catch (...) {
            fs::remove(part, ec);
            throw;
        }
        fs::remove(part, ec);
        return;
    }
    fs::rename(part, resolveOutputPath(path), ec);
    if (ec) {
        const std::string reason = ec.message();
        fs::remove(part, ec);
        throw Error("Cannot write the file \"" + path + "\": " + reason + ".");
    }
}

void writeOutputFile(const std::string& path, std::string_view bytes) {
    replaceOutputFile(path, [&](const std::string& part) {
        const int fd = ::open(part.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd < 0) throw Error("Cannot write the file \"" + path + "\": " + std::strerror(errno) + ".");
        bool ok = writeAll(fd, bytes);
        int error = errno;
        if (::close(fd) != 0 && ok) {
            ok = false;
            error = errno;
        }
        if (!ok) throw Error("Cannot write the file \"" + path + "\": " + std::strerror(error) + ".");
    });
}

bool diskIsFull(const std::string& path) {
    std::filesystem::path at(path);
    std::error_code ec;
    if (!std::filesystem::exists(at, ec)) at = at.parent_path().empty() ? "." : at.parent_path();
    struct statvfs fs {};
    if (::statvfs(at.c_str(), &fs) != 0) return false;
    // Libraries write in blocks of up to a few hundred kilobytes: less than a megabyte free is
    // a disk that refused one.
    return static_cast<double>(fs.f_bavail) * static_cast<double>(fs.f_frsize) < 1048576.0;
}

}  // namespace zentrel
