// Lookup of the data and map folders.
#include "data/data_folder.h"

#include "data/data_info.h"

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "error.h"
#include "files/read_file.h"

#ifndef ZENTREL_INSTALLED_DATA_RELATIVE
#define ZENTREL_INSTALLED_DATA_RELATIVE "../share/zentrel"
#endif

namespace zentrel {

namespace fs = std::filesystem;

namespace {

bool isFolder(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::is_directory(path, ec);
}

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

}  // namespace

const char* dataFolderRuleName(DataFolderRule rule) {
    switch (rule) {
        case DataFolderRule::Option: return "--data";
        case DataFolderRule::Environment: return "ZENTREL_DATA";
        case DataFolderRule::BesideProgram: return "beside the program";
        case DataFolderRule::UserData: return "user data folder";
        case DataFolderRule::Installed: return "installed";
        case DataFolderRule::NotFound: break;
    }
    return "not found";
}

std::string userDataBase() {
    // A relative XDG_DATA_HOME is invalid and is to be ignored (XDG base directory rules).
    if (const std::string xdg = environment("XDG_DATA_HOME"); !xdg.empty() && xdg.front() == '/')
        return (fs::path(xdg) / "zentrel").string();
    if (const std::string home = environment("HOME"); !home.empty())
        return (fs::path(home) / ".local" / "share" / "zentrel").string();
    return {};
}

std::string installedDataBase(const std::string& programDir) {
    return (fs::path(programDir) / ZENTREL_INSTALLED_DATA_RELATIVE).lexically_normal().string();
}

std::vector<DataFolderChoice> dataFolderCandidates(const std::string& programDir, const std::string& override) {
    std::vector<DataFolderChoice> list;
    if (!override.empty()) list.push_back({override, DataFolderRule::Option});
    if (const std::string env = environment("ZENTREL_DATA"); !env.empty()) list.push_back({env, DataFolderRule::Environment});
    list.push_back({(fs::path(programDir) / kDataFolderName).string(), DataFolderRule::BesideProgram});
    if (const std::string user = userDataBase(); !user.empty())
        list.push_back({(fs::path(user) / kDataFolderName).string(), DataFolderRule::UserData});
    list.push_back({(fs::path(installedDataBase(programDir)) / kDataFolderName).string(), DataFolderRule::Installed});
    return list;
}

namespace {
// Made on first use: a lookup may come from another library's static initialisation.
struct ProgramDirSeen {
    std::mutex mutex;
    std::string folder;
};
ProgramDirSeen& programDirSeen() {
    static ProgramDirSeen seen;
    return seen;
}
}  // namespace

std::string lastProgramDir() {
    std::lock_guard lock(programDirSeen().mutex);
    return programDirSeen().folder;
}

DataFolderChoice locateDataFolder(const std::string& programDir, const std::string& override) {
    {
        std::lock_guard lock(programDirSeen().mutex);
        programDirSeen().folder = programDir;
    }
    const std::vector<DataFolderChoice> list = dataFolderCandidates(programDir, override);
    for (const DataFolderChoice& c : list) {
        // A folder the user names is taken as it is, so that a wrong name is reported, not passed over.
        if (c.rule == DataFolderRule::Option || c.rule == DataFolderRule::Environment) return c;
        if (isFolder(c.folder)) return c;
    }
    return {(fs::path(programDir) / kDataFolderName).string(), DataFolderRule::NotFound};
}

std::string resolveDataFolder(const std::string& programDir, const std::string& override) {
    return locateDataFolder(programDir, override).folder;
}

std::string locateMapFolder(const std::string& programDir, const std::string& dataFolder) {
    std::vector<fs::path> list{fs::path(programDir) / kMapFolderName};
    if (!dataFolder.empty()) list.push_back(fs::path(dataFolder).lexically_normal().parent_path() / kMapFolderName);
    if (const std::string user = userDataBase(); !user.empty()) list.push_back(fs::path(user) / kMapFolderName);
    list.push_back(fs::path(installedDataBase(programDir)) / kMapFolderName);
    for (const fs::path& p : list)
        if (isFolder(p.string())) return p.string();
    return {};
}

void requireDataFolder(const std::string& folder) {
    std::error_code ec;
    if (fs::exists(folder, ec) && !fs::is_directory(folder, ec))
        throw Error("The data folder " + folder + " is not a folder but a file. Name the folder with --data.");
    if (!fs::is_directory(folder, ec))
        throw Error("The data folder " + folder + " does not exist. Build it with scripts/setup.sh or name another one with --data.");
}

bool isDemonstrationData(const std::string& folder) {
    std::error_code ec;
    return fs::exists(fs::path(folder) / "DEMONSTRATION", ec);
}

std::string describeDatabase(const std::string& folder) {
    std::error_code ec;
    fs::file_time_type newest = fs::file_time_type::min();
    int files = 0;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        if (entry.path().extension() != ".txt" || !entry.is_regular_file(ec)) continue;
        ++files;
        newest = std::max(newest, entry.last_write_time(ec));
    }
    if (files == 0) return "no station database";
    // A database an importer wrote names its source and when it was built in its about file.
    // (A FIFO in its place would wait for a writer forever: only a regular file is read.)
    const std::string aboutPath = (fs::path(folder) / kAboutFileName).string();
    std::ifstream about;
    if (specialFileKind(aboutPath).empty()) about.open(aboutPath);
    std::string source, built;
    for (std::string line; std::getline(about, line);) {
        if (line.rfind("Source: ", 0) == 0) source = line.substr(8);
        if (line.rfind("Built: ", 0) == 0) built = line.substr(7);
    }
    while (!source.empty() && (source.back() == '.' || source.back() == '\r')) source.pop_back();
    if (!source.empty()) return built.empty() ? source : source + ", built " + built;
    std::string text = isDemonstrationData(folder) ? "demonstration station database" : "station database";
    const auto system = std::chrono::file_clock::to_sys(newest);
    const std::time_t t = std::chrono::system_clock::to_time_t(system);
    std::tm day{};
    if (gmtime_r(&t, &day)) {
        char date[16];
        std::strftime(date, sizeof date, "%Y-%m-%d", &day);
        text += std::string(", built ") + date;
    }
    return text;
}

}  // namespace zentrel
