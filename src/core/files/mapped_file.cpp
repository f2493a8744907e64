// Read-only mappings of derived files.
#include "files/mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "files/read_file.h"

namespace zentrel {

MappedFile::MappedFile(const std::string& path, size_t minBytes, size_t maxBytes) noexcept {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat st{};
    if (fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0 &&
        static_cast<size_t>(st.st_size) >= minBytes && static_cast<size_t>(st.st_size) <= maxBytes) {
        length_ = static_cast<size_t>(st.st_size);
        void* map = ::mmap(nullptr, length_, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
        if (map != MAP_FAILED) {
            map_ = map;
            bytes_ = std::string_view(static_cast<const char*>(map), length_);
        }
    }
    if (fd >= 0) ::close(fd);
    if (!map_) {
        try {
            special_ = specialFileKind(path);
        } catch (...) {
        }
    }
}

MappedFile::~MappedFile() {
    if (map_) ::munmap(map_, length_);
}

}  // namespace zentrel
