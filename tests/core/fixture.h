// Test helpers: temporary data folders with synthetic station files.
#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "base/types.h"
#include "data/station_file.h"
#include "engine/engine.h"
#include "error.h"
#include "settings/program_settings.h"

namespace zentrel::test {

/// The settings of the described method (or of `method`, the rest as described), for the tests
/// that pin its numbers: the program's default is the kriging method.
inline ProgramSettings describedSettings(Method method = Method::Described) {
    ProgramSettings s;
    s.Method = method;
    return s;
}

/// A fresh temporary folder, removed when the object goes away.
class TempFolder {
public:
    explicit TempFolder(const std::string& tag = "zentrel") {
        static int counter = 0;
        path_ = std::filesystem::temp_directory_path() /
                (tag + "-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string str() const { return path_.string(); }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

    void write(const std::string& name, const std::string& text) const {
        std::ofstream out(path_ / name, std::ios::binary);
        out << text;
    }

private:
    std::filesystem::path path_;
};

/// A station with all twelve months at `value`.
inline Station makeStation(float lon, float lat, float alt, float value, std::string name = "S") {
    Station s;
    s.Lon = lon;
    s.Lat = lat;
    s.Alt = alt;
    for (int m = 1; m <= 12; ++m) s.Data[static_cast<size_t>(m)] = value;
    s.Name = std::move(name);
    s.Country = "XX";
    return s;
}

/// The stations as precipitation stations: values below 0 (the temperatures of a shared
/// fixture) as 0, since a station file refuses a negative amount.
inline std::vector<Station> asPrecipitation(std::vector<Station> stations) {
    for (Station& s : stations)
        for (float& v : s.Data) v = std::max(v, 0.0f);
    return stations;
}

inline std::string stationLines(const std::vector<Station>& stations) {
    std::string text;
    for (const Station& s : stations) text += formatStationLine(s) + "\n";
    return text;
}

/// Writes a data folder where every variable, read at (lon, lat), finds exactly `stations`:
/// they go into the location's own band file of Temp and Prec and into every whole file;
/// all other band and polar files are empty.
inline void writeDataFolder(const TempFolder& folder, float lon, float lat, const std::vector<Station>& stations) {
    const std::string lines = stationLines(stations);
    for (int v : {0, 3}) {
        const std::string bandLines = v == 3 ? stationLines(asPrecipitation(stations)) : lines;
        for (int i = 1; i <= 6; ++i)
            for (int j = 1; j <= 6; ++j) folder.write(bandFileName(v, i, j), "");
        for (const char* polar : {"mesud.txt", "menor.txt", "prsud.txt", "prnor.txt"}) folder.write(polar, "");
        const std::vector<std::string> files = candidateFiles(v, lon, lat);
        folder.write(files[0], bandLines);
    }
    for (int v : {1, 2, 4, 5, 6, 7}) folder.write(wholeFileName(v), lines);
}

/// The message of the Error that `action` throws; "no error" when it throws none.
template <typename Action>
std::string errorOf(Action&& action) {
    try {
        action();
    } catch (const Error& e) {
        return e.what();
    }
    return "no error";
}

/// The whole content of a file, as bytes ("" when it cannot be read).
inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

/// Eight stations on a ring of one degree around 10 E, 45 N, 0..700 m high, their values
/// falling 0.5 per station from 12.
inline std::vector<Station> ringOfEightStations() {
    std::vector<Station> out;
    for (int k = 0; k < 8; ++k)
        out.push_back(makeStation(10 + static_cast<float>(std::cos(k * 0.8)), 45 + static_cast<float>(std::sin(k * 0.8)),
                                  100.0f * static_cast<float>(k), 12 - 0.5f * static_cast<float>(k), "S" + std::to_string(k)));
    return out;
}

/// Every file of a folder by name, with its bytes.
inline std::map<std::string, std::string> folderFiles(const std::filesystem::path& folder) {
    std::map<std::string, std::string> out;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        out[entry.path().filename().string()] = readFile(entry.path());
    return out;
}

/// Runs `action` in a child process that may write no file past `bytes` (a disk that fills up);
/// true when the action reported that with an Error.
template <typename Action>
bool reportsFullDisk(rlim_t bytes, Action&& action) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{bytes, bytes};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        try {
            action();
        } catch (const Error&) {
            ::_exit(1);
        }
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 1;
}

/// A small deterministic generator (the same numbers on every machine): uniform in [lo, hi).
struct Random {
    uint32_t state;
    float uniform(float lo, float hi) {
        state = state * 1664525u + 1013904223u;
        return lo + (hi - lo) * static_cast<float>(state >> 8) / 16777216.0f;
    }
};

/// The first difference between two engines' last runs (the neighbours' names, distances and
/// activity; the estimates and standard errors), "" when there is none.
template <class Engine>
std::string engineDifference(const Engine& a, const Engine& b) {
    if (a.ns.NeighbourCount != b.ns.NeighbourCount)
        return std::to_string(a.ns.NeighbourCount) + " against " + std::to_string(b.ns.NeighbourCount) + " neighbours";
    for (int i = 1; i <= a.ns.NeighbourCount; ++i)
        if (a.ns[i].Name != b.ns[i].Name || a.ns[i].Dist != b.ns[i].Dist || a.ns[i].Active != b.ns[i].Active)
            return "neighbour " + std::to_string(i) + ": " + a.ns[i].Name + " against " + b.ns[i].Name;
    for (size_t m = 1; m <= 13; ++m)
        if (a.res.Best[m] != b.res.Best[m] || a.res.StdErr[m] != b.res.StdErr[m]) return "month " + std::to_string(m);
    return "";
}

/// An engine whose candidate table is filled by hand (no files), on the described method's
/// settings (or another method's), which a test may change between runs.
struct EngineBench {
    explicit EngineBench(Method method = Method::Described) : settings(describedSettings(method)) {}
    ProgramSettings settings;
    Engine engine{settings, "/nonexistent"};
    const NeighbourSet& ns = engine.ns;
    const EstimateResult& res = engine.res;
    const WarningFlags& warn = engine.warn;

    void candidates(const std::vector<Station>& stations, float lon, float lat, float alt, int var = Temp) {
        engine.table.stations = stations;
        engine.working = Location{"", lon, lat, alt};
        engine.variable = static_cast<int16_t>(var);
    }
    void select() {
        engine.SelectNeighbours();
        engine.ActivateNeighbours();
    }
    /// The whole pipeline on `stations` as candidates: selection to warnings.
    const EstimateResult& run(const std::vector<Station>& stations, float lon, float lat, float alt, int var = Temp) {
        candidates(stations, lon, lat, alt, var);
        select();
        engine.BuildMeanStation();
        engine.Estimate();
        engine.EvaluateWarnings();
        return engine.res;
    }
};

}  // namespace zentrel::test
