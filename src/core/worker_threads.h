// How many worker threads a run may use, and starting them without losing the run when the
// system refuses one.
#pragma once

#include <algorithm>
#include <cstddef>
#include <system_error>
#include <thread>
#include <vector>

namespace zentrel {

/// The hardware threads of this machine (1 when unknown).
inline unsigned hardwareThreads() { return std::max(1u, std::thread::hardware_concurrency()); }

/// The most worker threads a run takes: four times the hardware threads. More only cost
/// memory (a stack and an engine each) and time; tens of thousands exhaust the system.
inline unsigned maxWorkerThreads() { return 4 * hardwareThreads(); }

/// The threads a run uses for a request: 0 = one per hardware thread, else the request,
/// at most maxWorkerThreads().
inline unsigned workerThreadsFor(long long requested) {
    if (requested <= 0) return hardwareThreads();
    return static_cast<unsigned>(std::min<long long>(requested, maxWorkerThreads()));
}

/// Starts up to `count` threads running `f` into `pool` and returns how many started. When
/// the system refuses a thread the ones started so far carry the work: every caller shares
/// its work out through a common counter, so fewer threads only take longer.
template <typename F>
size_t startWorkers(std::vector<std::thread>& pool, size_t count, F f) {
    for (size_t k = 0; k < count; ++k) {
        try {
            pool.emplace_back(f);
        } catch (const std::system_error&) {
            break;
        }
    }
    return pool.size();
}

}  // namespace zentrel
