// A derived data file mapped into memory for reading, instead of read into a buffer: the pages
// come straight from the file cache, with no zero-filled copy. Only for files that are replaced
// whole (a rename), never rewritten in place, and only while they are parsed.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zentrel {

class MappedFile {
public:
    /// Maps `path` when it is a regular file of `minBytes` to `maxBytes` bytes; empty()
    /// otherwise (missing, special, unreadable, of another size). Opened without blocking, so
    /// that a FIFO in its place cannot hang the reading. Never throws.
    MappedFile(const std::string& path, size_t minBytes, size_t maxBytes) noexcept;
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    bool empty() const { return bytes_.empty(); }
    std::string_view bytes() const { return bytes_; }
    /// The file's kind when it is neither missing nor regular: "a folder", "a FIFO" ... (see
    /// specialFileKind); "" otherwise.
    const std::string& special() const { return special_; }

private:
    std::string_view bytes_;
    void* map_ = nullptr;
    size_t length_ = 0;
    std::string special_;
};

}  // namespace zentrel
