// processit and ProcessOther: estimates on worker threads, files written in list order.
#include "batch/batch_run.h"

#include <fmt/format.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

#include "batch/batch_files.h"
#include "data/data_info.h"
#include "data/elevation_model.h"
#include "data/terrain.h"
#include "engine/engine.h"
#include "error.h"
#include "worker_threads.h"
#include "files/output_lock.h"
#include "formats/orvane_format.h"
#include "formats/plantow_format.h"
#include "formats/vesk_format.h"

namespace zentrel {

namespace {

/// One unit of work: the variables of one location, estimated together and written together.
struct Unit {
    size_t row;
    std::vector<int> variables;
};
using UnitResult = std::vector<VariableResult>;

/// A file the run writes to. Lines are gathered and go out whole locations at a time, each
/// batch in one write(2), at most a fraction of a second after they were computed (the files
/// stay open instead of being reopened per line). A run that is killed thus leaves whole lines,
/// with one exception no program can avoid: Linux stops a write to a file between two memory
/// pages when the process is killed, so a SIGKILL during a write can leave the last line cut at
/// a multiple of 4096 bytes. A later run that appends to such a file first cuts that partial
/// line away. When a write fails (a full disk), the file is cut back to its last whole location
/// before the error is raised, so that what stays is whole lines as well.
class OutFile {
public:
    OutFile(std::string path, bool append) : path_(std::move(path)) {
        fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (append ? O_APPEND : O_TRUNC), 0666);
        if (fd_ < 0)
            throw Error(fmt::format("Cannot {} the file \"{}\": {}.", append ? "append to" : "create", path_,
                                    std::strerror(errno)));
        whole_ = append ? wholeLinesLength() : 0;
        if (whole_ >= 0 && ::lseek(fd_, 0, SEEK_END) > whole_ && ::ftruncate(fd_, static_cast<off_t>(whole_)) != 0)
            fail();
    }
    ~OutFile() {
        if (fd_ < 0) return;
        try {
            flush();  // what was computed before an error elsewhere is kept
        } catch (const Error&) {
        }
        if (fd_ >= 0) ::close(fd_);
    }
    OutFile(const OutFile&) = delete;
    OutFile& operator=(const OutFile&) = delete;

    void write(const std::string& bytes) { pending_ += bytes; }
    /// The lines written so far end a location: they go out when enough have gathered or some
    /// time has passed.
    void endLocation() {
        if (pending_.size() >= kGather || std::chrono::steady_clock::now() - lastFlush_ >= kDelay) flush();
    }
    void flush() {
        for (size_t done = 0; done < pending_.size();) {
            // One call for the whole batch; the loop only resumes a write the system cut short.
            const ssize_t n = ::write(fd_, pending_.data() + done, pending_.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                if (n == 0) errno = ENOSPC;
                fail();
            }
            done += static_cast<size_t>(n);
        }
        if (whole_ >= 0) whole_ += static_cast<long long>(pending_.size());
        pending_.clear();
        lastFlush_ = std::chrono::steady_clock::now();
    }
    void close() {
        flush();
        const int result = ::close(fd_);
        fd_ = -1;
        if (result != 0) fail();
    }

private:
    static constexpr size_t kGather = 1 << 15;
    static constexpr std::chrono::milliseconds kDelay{200};

    /// The length of the file up to the end of its last whole line (-1 when it cannot be read).
    long long wholeLinesLength() const {
        const off_t size = ::lseek(fd_, 0, SEEK_END);
        if (size <= 0) return size < 0 ? -1 : 0;
        const int in = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
        if (in < 0) return -1;
        char block[4096];
        long long end = size;
        long long result = 0;
        while (end > 0) {
            const long long from = std::max(0LL, end - static_cast<long long>(sizeof block));
            const ssize_t n = ::pread(in, block, static_cast<size_t>(end - from), static_cast<off_t>(from));
            if (n != end - from) {
                result = -1;
                break;
            }
            const auto* last = static_cast<const char*>(::memrchr(block, '\n', static_cast<size_t>(n)));
            if (last) {
                result = from + (last - block) + 1;
                break;
            }
            end = from;
        }
        ::close(in);
        return result;
    }

    [[noreturn]] void fail() {
        const int error = errno;
        pending_.clear();
        if (fd_ >= 0 && whole_ >= 0) {
            // Drop what could not be written whole.
            ::ftruncate(fd_, static_cast<off_t>(whole_));
            ::close(fd_);
            fd_ = -1;
            ::truncate(path_.c_str(), static_cast<off_t>(whole_));
        }
        throw Error(fmt::format("Cannot write the file \"{}\": {}.", path_, std::strerror(error)));
    }
    std::string path_;
    int fd_ = -1;
    std::string pending_;    // whole locations not yet written
    long long whole_ = 0;    // bytes on disk, ending with a whole location; -1 when unknown
    std::chrono::steady_clock::time_point lastFlush_ = std::chrono::steady_clock::now();
};

std::string joinPath(const std::string& folder, const std::string& name) {
    return (std::filesystem::path(folder) / name).string();
}

/// Computes units 0..count-1 on `threads` threads, each with its own worker from makeWorker(),
/// and hands each result to `consume` on the calling thread in unit order. Workers take runs of
/// consecutive units (neighbouring locations, whose estimates share much of their work), and
/// at most a few runs per thread wait for their turn. A worker's exception is rethrown when
/// its unit's turn comes, so everything before it is written first. Stops when `stop` says so
/// after a unit.
void runOrdered(size_t count, unsigned threads,
                const std::function<std::function<UnitResult(size_t)>()>& makeWorker,
                const std::function<void(size_t, UnitResult&)>& consume, const std::function<bool()>& stop) {
    if (threads <= 1 || count <= 1) {
        auto compute = makeWorker();
        for (size_t i = 0; i < count; ++i) {
            UnitResult result = compute(i);
            consume(i, result);
            if (stop()) return;
        }
        return;
    }
    struct Slot {
        bool ready = false;
        UnitResult value;
        std::exception_ptr error;
    };
    constexpr size_t kRun = 16;
    const size_t window = static_cast<size_t>(threads) * kRun * 3;
    std::vector<Slot> ring(window);
    std::mutex mutex;
    std::condition_variable workerWake, consumerWake;
    size_t next = 0, consumed = 0;
    bool halt = false;

    auto worker = [&] {
        std::function<UnitResult(size_t)> compute;
        try {
            compute = makeWorker();
        } catch (...) {
            // Reported through the first unit this worker would have taken.
        }
        std::vector<Slot> done;
        while (true) {
            size_t first, end;
            {
                std::unique_lock lock(mutex);
                if (halt || next >= count) return;
                first = next;
                end = std::min(count, next + kRun);
                next = end;
                workerWake.wait(lock, [&] { return halt || end <= consumed + window; });
                if (halt) return;
            }
            done.clear();
            for (size_t i = first; i < end; ++i) {
                Slot slot;
                try {
                    if (!compute) compute = makeWorker();
                    slot.value = compute(i);
                } catch (...) {
                    slot.error = std::current_exception();
                }
                slot.ready = true;
                done.push_back(std::move(slot));
            }
            {
                std::lock_guard lock(mutex);
                for (size_t i = first; i < end; ++i) ring[i % window] = std::move(done[i - first]);
            }
            consumerWake.notify_all();
        }
    };
    std::vector<std::thread> pool;
    auto finish = [&] {
        {
            std::lock_guard lock(mutex);
            halt = true;
        }
        workerWake.notify_all();
        for (std::thread& t : pool) t.join();
        pool.clear();
    };
    const unsigned n = static_cast<unsigned>(std::min<size_t>(threads, count));
    if (startWorkers(pool, n, worker) == 0 && n > 0) throw Error("No thread could be started for the estimates.");
    try {
        for (size_t i = 0; i < count; ++i) {
            Slot slot;
            {
                std::unique_lock lock(mutex);
                consumerWake.wait(lock, [&] { return ring[i % window].ready; });
                slot = std::move(ring[i % window]);
                ring[i % window] = Slot{};
                consumed = i + 1;
            }
            workerWake.notify_all();
            if (slot.error) std::rethrow_exception(slot.error);
            consume(i, slot.value);
            if (stop()) break;
        }
    } catch (...) {
        finish();
        throw;
    }
    finish();
}

void countWarnings(const VariableResult& r, BatchSummary& summary) {
    const WarningFlags& w = r.warnings;
    const bool flags[] = {w.WarnHigh, w.WarnLow,  w.WarnLonely, w.WarnStrange,
                          w.WarnDoubled, w.WarnFew, w.WarnHit, r.neighbours.ActiveCount == 0, w.WarnRecord};
    for (size_t i = 0; i < std::size(flags); ++i)
        if (flags[i]) ++summary.warnings[i];
}

std::vector<int> selectedVariables(const VariableSelection& selection) {
    // The order of the batch window's check boxes: Temp, Tmin, Tmax, Prec, Vap, PET, Wind, Sun.
    std::vector<int> out;
    for (int v : {Temp, Tmin, Tmax, Prec, Vap, PET, Wind, Sun})
        if (selection[static_cast<size_t>(v)]) out.push_back(v);
    return out;
}

}  // namespace

BatchSummary runBatch(const std::vector<LocationRow>& rows, const BatchOptions& options, const ProgramSettings& settings,
                      const std::string& dataFolder, std::shared_ptr<const StationDatabase> database,
                      Feedback* feedback) {
    const auto started = std::chrono::steady_clock::now();
    const int32_t format = options.format;
    if (format == FormatLgsOutput || format == FormatRastell || format < FormatZentrel || format > FormatPlantow)
        throw Error(fmt::format("Output format {} ({}) writes no records in a batch run.", format,
                                outputFormatStatusText(format)));
    std::vector<int> variables = selectedVariables(options.variables);
    if (variables.empty()) throw Error("No variable selected: you should select at least one variable.");
    // Variables the database holds no normals of are skipped and said once; the crop-water
    // files cannot do without any of theirs, nor a run without any other variable.
    if (format == FormatPlantow)
        for (int v : {Tmax, Tmin, Prec, PET, Wind, Sun})
            if (!holdsVariable(dataFolder, v)) throw Error(writerNeedsMessage("The crop-water climate file", v));
    if (format == FormatLgsInput)
        for (int v : {Prec, PET})
            if (!holdsVariable(dataFolder, v)) throw Error(writerNeedsMessage("The rainfall and PET file", v));
    std::vector<int> skipped;
    for (int v : variables)
        if (!holdsVariable(dataFolder, v)) skipped.push_back(v);
    if (!skipped.empty() && skipped.size() == variables.size())
        throw Error(missingVariableMessage(skipped.front()) + "; add them with zentrel data import-csv.");
    std::erase_if(variables, [&](int v) { return std::find(skipped.begin(), skipped.end(), v) != skipped.end(); });
    const std::vector<Quantity> quantities = selectedQuantities(options.quantities);
    if (format == FormatZentrel && quantities.empty())
        throw Error("Nothing selected: please select at least one desired output.");
    // One run per output: a second run into the same folder or file would tear its lines or
    // mix its files with this run's (the file prefix changes only once a second).
    const OutputLock lock(options.destination);
    if (!database) database = std::make_shared<StationDatabase>(dataFolder);
    std::optional<TerrainRaster> raster;
    if (options.useDem || options.dem) raster.emplace(dataFolder);
    const unsigned threads = workerThreadsFor(options.threads);
    const float k = confidenceFactor(options.level);

    BatchSummary summary;
    summary.locations = static_cast<long long>(rows.size());
    summary.variables = static_cast<int>(variables.size());
    for (int v : skipped) summary.notes.push_back(skippedVariableNote(v));

    // The work in the order of writing: the own format goes variable by variable over the
    // list; the other formats location by location with all their variables.
    std::vector<Unit> units;
    if (format == FormatZentrel) {
        for (int v : variables)
            for (size_t r = 0; r < rows.size(); ++r) units.push_back({r, {v}});
    } else {
        // Formats 3 and 7 take what the single-location run computes and use only these.
        std::vector<int> vars = variables;
        if (format == FormatLgsInput) vars = {Prec, PET};
        if (format == FormatPlantow) vars = {Tmax, Tmin, Prec, PET, Wind, Sun};
        for (size_t r = 0; r < rows.size(); ++r) units.push_back({r, vars});
    }
    for (const Unit& u : units) summary.estimatesPlanned += static_cast<long long>(u.variables.size());

    auto makeWorker = [&]() -> std::function<UnitResult(size_t)> {
        auto engine = std::make_shared<Engine>(settings, dataFolder, database);
        return [engine, &units, &rows, &raster, &options](size_t i) {
            const Unit& unit = units[i];
            Location location = rowLocation(rows[unit.row]);
            if (raster) {
                int16_t isSea = 0;
                location.Alt = raster->altitude(location.Lon, location.Lat, isSea);
                if (options.dem)
                    if (const std::optional<float> own = options.dem->altitude(location.Lon, location.Lat)) location.Alt = *own;
            }
            UnitResult out;
            for (int v : unit.variables) {
                // A location without neighbours writes zeros, not the values of whatever
                // location this engine estimated before.
                engine->res = EstimateResult{};
                out.push_back(engine->Run(v, location));
                out.back().location.Name = location.Name;
            }
            return out;
        };
    };
    auto addFile = [&summary](const std::string& path) {
        for (const std::string& f : summary.files)
            if (f == path) return;
        summary.files.push_back(path);
    };
    auto stop = [&] {
        if (feedback) feedback->setProgress(summary.estimates, summary.estimatesPlanned);
        if (feedback && feedback->isCancelled()) summary.cancelled = true;
        return summary.cancelled;
    };

    const std::string folder = format == FormatZentrel
                                   ? options.destination
                                   : std::filesystem::path(options.destination).parent_path().string();
    const std::time_t start = options.start ? options.start : std::time(nullptr);
    std::unique_ptr<OutFile> runInfo;
    if (format == FormatZentrel || format == FormatOrvane || format == FormatVesk) {
        summary.prefix = runPrefix(start);
        const std::string path = joinPath(folder, runInfoFileName(summary.prefix));
        runInfo = std::make_unique<OutFile>(path, false);
        addFile(path);
        runInfo->write(infoFileHead(true, options.sourceName, folder, effectiveMethod(settings)));
        runInfo->flush();
    }

    if (format == FormatZentrel) {
        int passVariable = -1;
        std::vector<std::unique_ptr<OutFile>> files;  // quantity files, then the information file
        auto openPass = [&](int v) {
            for (auto& f : files) f->close();
            files.clear();
            for (Quantity q : quantities) {
                const std::string path = joinPath(folder, quantityFileName(summary.prefix, v, q));
                files.push_back(std::make_unique<OutFile>(path, options.append));
                addFile(path);
                if (!options.append) files.back()->write(quantityFileHead(q, v));
            }
            const std::string path = joinPath(folder, variableInfoFileName(summary.prefix, v));
            files.push_back(std::make_unique<OutFile>(path, options.append));
            addFile(path);
            if (!options.append) files.back()->write(infoFileHead(false));
            for (auto& f : files) f->flush();
            passVariable = v;
        };
        runOrdered(
            units.size(), threads, makeWorker,
            [&](size_t i, UnitResult& results) {
                const VariableResult& r = results.front();
                if (r.variable != passVariable) openPass(r.variable);
                const std::string& name = rows[units[i].row].name;
                for (size_t q = 0; q < quantities.size(); ++q) files[q]->write(quantityLine(quantities[q], name, r, k));
                const std::string info = infoLine(name, r, settings);
                files.back()->write(info);
                runInfo->write(info);
                for (auto& f : files) f->endLocation();
                runInfo->endLocation();
                countWarnings(r, summary);
                if (summary.lines.size() < kMaxSummaryLines) summary.lines.push_back(summaryLine(r, settings));
                ++summary.estimates;
            },
            stop);
        for (auto& f : files) f->close();
    } else {
        std::unique_ptr<OutFile> out;
        if (format != FormatPlantow) {
            out = std::make_unique<OutFile>(options.destination, false);
            addFile(options.destination);
        }
        runOrdered(
            units.size(), threads, makeWorker,
            [&](size_t i, UnitResult& results) {
                const LocationRow& row = rows[units[i].row];
                const Location location = results.front().location;  // the row with its altitude
                const bool first = i == 0;
                VariableResults all{};
                for (const VariableResult& r : results) all[static_cast<size_t>(r.variable)] = r;
                if (format == FormatLgsInput) {
                    out->write(formatRainfallPet(all, location, first));
                } else if (format == FormatPlantow) {
                    savePlantow(options.destination, all, location, first, true, static_cast<int>(rows.size()), folder);
                    addFile(options.destination);
                } else {
                    for (const VariableResult& r : results) {
                        const bool header = first && &r == &results.front();
                        if (format == FormatOrvane) out->write((header ? orvaneHeader(location) : "") + orvaneLine(r));
                        else out->write((header ? veskHeader() : "") + veskLine(r, location));
                    }
                }
                if (out) out->endLocation();
                if (runInfo) {
                    for (const VariableResult& r : results) runInfo->write(infoLine(row.name, r, settings));
                    runInfo->endLocation();
                }
                for (const VariableResult& r : results) {
                    countWarnings(r, summary);
                    if (summary.lines.size() < kMaxSummaryLines) summary.lines.push_back(summaryLine(r, settings));
                }
                summary.estimates += static_cast<long long>(results.size());
            },
            stop);
        if (out) out->close();
    }
    if (runInfo) runInfo->close();
    summary.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return summary;
}

std::string summaryText(const BatchSummary& s) {
    std::string text = fmt::format("{} of {} point-variable estimates written ({} locations, {} variables) in {:.1f} s.\n",
                                   s.estimates, s.estimatesPlanned, s.locations, s.variables, s.seconds);
    if (s.cancelled) text += "The run was cancelled; the lines written so far are kept.\n";
    for (const std::string& note : s.notes) text += note + ".\n";
    const char* names[] = {"Location higher than surrounding stations", "Location lower than surrounding stations",
                           "Location not surrounded by neighbouring stations", "Strange data at surrounding stations",
                           "Two neighbours at one place", "Few active neighbours", "A station within the minimum distance",
                           "No neighbour within the search criteria", "Estimate beyond the world's records"};
    text += "\nEstimates with warnings:\n";
    for (size_t i = 0; i < std::size(names); ++i) text += fmt::format("  {:<50} {:>8}\n", names[i], s.warnings[i]);
    text += "\nFiles:\n";
    for (const std::string& f : s.files) text += "  " + f + "\n";
    return text;
}

}  // namespace zentrel
