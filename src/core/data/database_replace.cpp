// The new database is built beside the old one and exchanged with it by one rename.
#include "data/database_replace.h"

#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>

#include "data/data_info.h"
#include "data/normals_table.h"
#include "data/station_image.h"
#include "data/station_origins.h"
#include "error.h"

namespace zentrel {

namespace fs = std::filesystem;

namespace {

fs::path withoutTrailingSlash(const std::string& folder) {
    std::string f = folder;
    while (f.size() > 1 && f.back() == '/') f.pop_back();
    return fs::path(f);
}

/// Removes what imports into `target` that were killed left beside it: the hidden ".NAME.new-PID"
/// and ".NAME.old-PID" folders of processes that no longer run. A live process's folders (an
/// import running now) are left alone.
void removeLeftoversOfDeadImports(const fs::path& target) {
    const fs::path parent = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    const std::string name = "." + target.filename().string() + ".";
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(parent, ec)) {
        const std::string file = entry.path().filename().string();
        if (file.rfind(name, 0) != 0) continue;
        const std::string rest = file.substr(name.size());
        if (rest.rfind("new-", 0) != 0 && rest.rfind("old-", 0) != 0) continue;
        const std::string digits = rest.substr(4);
        if (digits.empty() || digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos) continue;
        const pid_t pid = static_cast<pid_t>(std::stol(digits));
        if (pid == ::getpid() || ::kill(pid, 0) == 0 || errno != ESRCH) continue;
        std::error_code removeError;
        fs::remove_all(entry.path(), removeError);
    }
}

/// Removes the staging folder unless it was switched in.
class Staging {
public:
    explicit Staging(fs::path path) : path_(std::move(path)) {}
    ~Staging() {
        std::error_code ec;
        if (!path_.empty()) fs::remove_all(path_, ec);
    }
    Staging(const Staging&) = delete;
    Staging& operator=(const Staging&) = delete;
    const fs::path& path() const { return path_; }
    /// The folder was switched in under its final name: nothing to remove.
    void release() { path_.clear(); }

private:
    fs::path path_;
};

/// Hard links (or copies, across file systems) the entries of `from` that are not part of a
/// station database into `to`.
void carryOver(const fs::path& from, const fs::path& to) {
    // What describes the old stations goes with them.
    std::set<std::string> database{"DEMONSTRATION", kAboutFileName, kStationTableFileName, kExcludedFileName,
                                   kStationImageFileName, kStationTableImageFileName};
    for (int v = 0; v < kVariableCount; ++v)
        for (const std::string& name : stationFilesOf(v)) database.insert(name);
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(from, ec)) {
        const std::string name = entry.path().filename().string();
        if (database.count(name)) continue;
        const fs::path target = to / name;
        std::error_code linkError;
        if (entry.is_regular_file(linkError)) fs::create_hard_link(entry.path(), target, linkError);
        else linkError = std::make_error_code(std::errc::not_supported);
        // A file gone in the meantime was another process's temporary (a model being written
        // beside the database while it is replaced): there is nothing to carry over.
        const auto gone = [](const std::error_code& e) { return e == std::errc::no_such_file_or_directory; };
        if (gone(linkError)) continue;
        if (linkError) {
            std::error_code copyError;
            fs::copy(entry.path(), target, fs::copy_options::recursive | fs::copy_options::copy_symlinks, copyError);
            if (gone(copyError)) continue;
            if (copyError)
                throw Error("The station database cannot be written: " + entry.path().string() +
                            " cannot be carried over to the new database (" + copyError.message() + ").");
        }
    }
}

}  // namespace

std::string stagingFolderOf(const std::string& folder) {
    const fs::path f = withoutTrailingSlash(folder);
    return (f.parent_path() / ("." + f.filename().string() + ".new-" + std::to_string(::getpid()))).string();
}

void replaceStationDatabase(const std::string& folder, const StationLists& lists,
                            const std::function<bool()>& cancelled, const std::map<std::string, std::string>& described) {
    const fs::path target = withoutTrailingSlash(folder);
    std::error_code ec;
    const bool exists = fs::exists(target, ec);
    if (exists && !fs::is_directory(target, ec))
        throw Error("The station database cannot be written: " + folder + " is not a folder.");
    removeLeftoversOfDeadImports(target);
    Staging staging(stagingFolderOf(folder));
    fs::remove_all(staging.path(), ec);
    if (!fs::create_directories(staging.path(), ec) || ec)
        throw Error("The station database cannot be written: the folder " + staging.path().string() +
                    " cannot be created beside " + folder + " (" + ec.message() + ").");
    for (int v = 0; v < kVariableCount; ++v) {
        if (cancelled && cancelled()) throw DatabaseReplaceCancelled{};
        writeVariableFiles(staging.path().string(), v, lists[static_cast<size_t>(v)]);
    }
    for (const auto& [name, text] : described) writeTextFile((staging.path() / name).string(), text);
    if (exists) carryOver(target, staging.path());
    if (cancelled && cancelled()) throw DatabaseReplaceCancelled{};
    if (!exists) {
        fs::rename(staging.path(), target, ec);
        if (ec) throw Error("The station database cannot be written: " + folder + " (" + ec.message() + ").");
        staging.release();
        return;
    }
    // Both folders exist: exchange them in one step, then remove the old one from the staging
    // name it now has.
    if (::renameat2(AT_FDCWD, staging.path().c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE) == 0) return;
    if (errno != EINVAL && errno != ENOSYS)
        throw Error("The station database cannot be switched over: " + folder + " (" + std::strerror(errno) +
                    "); the old database is kept.");
    // A file system without the exchange: two renames, with only the moment between them
    // showing no database under the name.
    const fs::path old = target.parent_path() / ("." + target.filename().string() + ".old-" + std::to_string(::getpid()));
    fs::rename(target, old, ec);
    if (ec) throw Error("The station database cannot be switched over: " + folder + " (" + ec.message() + "); the old database is kept.");
    fs::rename(staging.path(), target, ec);
    if (ec) {
        const std::string reason = ec.message();
        fs::rename(old, target, ec);
        throw Error("The station database cannot be switched over: " + folder + " (" + reason + "); the old database is kept.");
    }
    staging.release();
    fs::remove_all(old, ec);
}

}  // namespace zentrel
