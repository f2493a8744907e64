// Cancel flag and progress for long work, polled by the worker; no Qt, safe across threads.
#pragma once

#include <atomic>
#include <functional>

namespace zentrel {

/// Shared between a worker and whoever watches it. The worker calls setProgress()
/// and polls isCancelled() once per unit of work (a location, a raster row); the
/// watcher calls cancel(). All members are thread-safe.
class Feedback {
public:
    void cancel() { cancelled_.store(true); }
    bool isCancelled() const { return cancelled_.load(); }

    /// done and total in units of work; total 0 means unknown.
    void setProgress(long long done, long long total) {
        done_.store(done);
        total_.store(total);
        if (onProgress) onProgress(done, total);
    }
    long long done() const { return done_.load(); }
    long long total() const { return total_.load(); }

    /// Optional callback, called on the worker's thread from setProgress().
    std::function<void(long long done, long long total)> onProgress;

private:
    std::atomic<bool> cancelled_{false};
    std::atomic<long long> done_{0};
    std::atomic<long long> total_{0};
};

}  // namespace zentrel
