// Workers take runs of consecutive locations (neighbouring points of a grid share their station
// files and much of the selection work) from a shared counter.
#include "python/estimate_many.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>

#include "data/elevation_model.h"
#include "engine/engine.h"

namespace zentrel::python {

unsigned threadsFor(unsigned requested, size_t count) {
    const unsigned wanted = requested ? requested : std::max(1u, std::thread::hardware_concurrency());
    return static_cast<unsigned>(std::max<size_t>(1, std::min<size_t>(wanted, count)));
}

bool estimateMany(const ManyJob& job, const ManyLocations& at, ManyOutput& out, const std::function<bool()>& poll) {
    constexpr size_t kRun = 16;
    std::atomic<size_t> next{0};
    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::condition_variable finished;
    unsigned running = 0;
    size_t failedAt = at.count;
    std::exception_ptr failure;

    auto work = [&] {
        try {
            Engine engine(*job.settings, job.folder, job.database);
            float values[13];
            for (size_t first; !stop.load(std::memory_order_relaxed) && (first = next.fetch_add(kRun)) < at.count;) {
                const size_t end = std::min(at.count, first + kRun);
                for (size_t i = first; i < end && !stop.load(std::memory_order_relaxed); ++i) {
                    Location location{"", static_cast<float>(at.lons[i]), static_cast<float>(at.lats[i]), 0};
                    if (at.alts && !std::isnan(at.alts[i])) {
                        location.Alt = static_cast<float>(at.alts[i]);
                    } else {
                        int16_t isSea = 0;
                        location.Alt = job.raster->altitude(location.Lon, location.Lat, isSea);
                        if (job.dem)
                            if (const std::optional<float> own = job.dem->altitude(at.lons[i], at.lats[i])) location.Alt = *own;
                    }
                    try {
                        // A location without neighbours gets NaN (quantityValues), never the
                        // values of the location this engine estimated before.
                        engine.res = EstimateResult{};
                        const VariableResult r = engine.Run(job.variable, location);
                        for (size_t q = 0; q < out.quantities.size(); ++q) {
                            quantityValues(r, out.quantities[q], job.k, values);
                            std::copy(values, values + 13, out.blocks[q] + i * 13);
                        }
                        if (out.activeCount) out.activeCount[i] = r.neighbours.ActiveCount;
                    } catch (...) {
                        std::lock_guard lock(mutex);
                        if (i < failedAt) {
                            failedAt = i;
                            failure = std::current_exception();
                        }
                        // Locations after this one are not needed; earlier ones may still fail first.
                    }
                }
            }
        } catch (...) {
            std::lock_guard lock(mutex);
            if (!failure) failure = std::current_exception();
            stop = true;
        }
        std::lock_guard lock(mutex);
        --running;
        finished.notify_all();
    };

    const unsigned threads = threadsFor(job.threads, at.count);
    std::vector<std::thread> pool;
    running = threads;
    for (unsigned t = 0; t < threads; ++t) pool.emplace_back(work);
    bool cancelled = false;
    {
        std::unique_lock lock(mutex);
        while (running > 0) {
            if (finished.wait_for(lock, std::chrono::milliseconds(100), [&] { return running == 0; })) break;
            lock.unlock();
            const bool goOn = poll();
            lock.lock();
            if (!goOn) {
                cancelled = true;
                stop = true;
            }
        }
    }
    for (std::thread& t : pool) t.join();
    if (failure) std::rethrow_exception(failure);
    return !cancelled;
}

}  // namespace zentrel::python
