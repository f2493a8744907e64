// flock on a lock file beside the output, removed by its holder on release.
#include "files/output_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

#include "error.h"
#include "files/output_file.h"

namespace zentrel {

namespace fs = std::filesystem;

std::string outputLockFile(const std::string& output) {
    std::string target = resolveOutputPath(output);
    while (target.size() > 1 && target.back() == '/') target.pop_back();  // "out/" is the folder out
    const fs::path t(target);
    return (t.parent_path() / (t.filename().string() + ".lock")).string();
}

OutputLock::OutputLock(const std::string& output) {
    if (output.empty() || output == kStandardOutputName) return;
    struct stat st {};
    const std::string target = resolveOutputPath(output);
    if (::stat(target.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) return;
    const std::string lock = outputLockFile(output);
    // A holder removes the lock file before it lets go, so a lock taken on a file that is no
    // longer the one under that name is worth nothing: try again on the new one.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const int fd = ::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) return;
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            char pid[32] = {};
            const ssize_t n = ::pread(fd, pid, sizeof pid - 1, 0);
            ::close(fd);
            if (error != EWOULDBLOCK) return;
            const std::string holder = n > 0 ? std::string(pid, static_cast<size_t>(n)) : std::string();
            throw OutputBusy("The output " + output + " is being written by another run" +
                        (holder.empty() ? std::string() : " (process " + holder + ")") +
                        "; wait until it has finished or choose another output. Its lock file is " + lock + ".");
        }
        struct stat held {}, named {};
        if (::fstat(fd, &held) == 0 && ::stat(lock.c_str(), &named) == 0 && held.st_ino == named.st_ino &&
            held.st_dev == named.st_dev) {
            fd_ = fd;
            lockFile_ = lock;
            const std::string pid = std::to_string(::getpid());
            if (::ftruncate(fd, 0) == 0 && ::pwrite(fd, pid.data(), pid.size(), 0) < 0) {
                // the process id is only a courtesy to the user of a refused run
            }
            return;
        }
        ::close(fd);
    }
}

OutputLock::~OutputLock() {
    if (fd_ < 0) return;
    ::unlink(lockFile_.c_str());
    ::close(fd_);
}

}  // namespace zentrel
