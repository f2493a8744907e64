// Preloaded into `zentrel batch` by the batch tests: watches every write(2) to a file below the
// folder ZENTREL_SPY_FOLDER and logs to ZENTREL_SPY_LOG one line per write, "whole <path>" when
// the written bytes end a line and "cut <path>" when they do not. With ZENTREL_SPY_KILL_AFTER=N
// the process kills itself with SIGKILL right after the N-th such write, which is a kill at an
// exact moment between two writes.
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

using WriteFunction = ssize_t (*)(int, const void*, size_t);

WriteFunction nextWrite() {
    static WriteFunction next = reinterpret_cast<WriteFunction>(::dlsym(RTLD_NEXT, "write"));
    return next;
}

std::atomic<long> watchedWrites{0};

}  // namespace

extern "C" ssize_t write(int fd, const void* buffer, size_t count) {
    const char* folder = std::getenv("ZENTREL_SPY_FOLDER");
    const char* log = std::getenv("ZENTREL_SPY_LOG");
    if (!folder || !log || count == 0) return nextWrite()(fd, buffer, count);
    char link[64], path[4096];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t length = ::readlink(link, path, sizeof path - 1);
    const size_t prefix = std::strlen(folder);
    if (length <= 0 || static_cast<size_t>(length) <= prefix || std::strncmp(path, folder, prefix) != 0)
        return nextWrite()(fd, buffer, count);
    path[length] = '\0';

    const ssize_t written = nextWrite()(fd, buffer, count);
    char line[4200];
    const bool whole = static_cast<const char*>(buffer)[count - 1] == '\n';
    const int n = std::snprintf(line, sizeof line, "%s %s\n", whole ? "whole" : "cut", path);
    const int out = ::open(log, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (out >= 0) {
        nextWrite()(out, line, static_cast<size_t>(n));
        ::close(out);
    }
    const char* killAfter = std::getenv("ZENTREL_SPY_KILL_AFTER");
    if (++watchedWrites == (killAfter ? std::atol(killAfter) : -1)) ::raise(SIGKILL);
    return written;
}
