// The web service's answers, independent of the HTTP library: each endpoint takes the query's
// parameters (and a body) and gives a status, a content type and the bytes, made by the same
// code as the command line's output.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace zentrel::cli {

/// Limits of one request. Larger work is refused with the command to run instead.
struct ServeLimits {
    size_t maxBodyBytes = 2u << 20;       ///< POST body, bytes
    int maxPoints = 10000;                ///< points of one POST /v1/estimate
    long long maxSurfaceCells = 20000;    ///< cells of one /v1/surface
    double queueWaitSeconds = 10;         ///< longest wait of a job for a worker
    double requestSeconds = 120;          ///< longest run of one request's jobs
    size_t queueLength = 256;             ///< jobs waiting for a worker at most; more get 503
    int pointsPerJob = 100;               ///< points of a POST shared out per job
};

/// Deepest nesting of arrays and objects a POST body may have: a point's own values may be
/// one level deeper than the point, so that a wrong point is answered by its number.
constexpr int kMaxBodyDepth = 3;

/// One answer.
struct Reply {
    int status = 200;
    std::string contentType = "application/json";
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;
};

/// Query parameters by name, as the HTTP library hands them over (a name may repeat).
using QueryParams = std::multimap<std::string, std::string>;

/// A fixed number of worker threads taking jobs from a queue of bounded length. Jobs that
/// waited longer than their deadline are not run but told so (their argument is false).
class WorkPool {
public:
    using Job = std::function<void(bool inTime)>;
    WorkPool(int threads, size_t queueLength);
    ~WorkPool();  ///< runs what is queued, then joins
    WorkPool(const WorkPool&) = delete;
    WorkPool& operator=(const WorkPool&) = delete;
    /// False, and nothing queued, when fewer than jobs.size() places are free.
    bool submit(std::vector<Job> jobs, std::chrono::steady_clock::time_point deadline);
    int threads() const { return static_cast<int>(workers_.size()); }

private:
    struct Entry {
        Job job;
        std::chrono::steady_clock::time_point deadline;
    };
    void work();
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<Entry> queue_;
    size_t limit_;
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};

class ServeData;

/// The endpoints. Thread-safe: one object serves every connection.
class ServeService {
public:
    /// dataFolder: the folder named by --data or found as the command line finds it;
    /// programDir: the program's folder (for the map folder). Throws Error when the data
    /// folder cannot be used at all.
    ServeService(std::string programDir, std::string dataFolder, int threads, ServeLimits limits = {});
    ~ServeService();

    Reply estimate(const QueryParams& query);
    Reply estimateMany(const QueryParams& query, const std::string& body, bool csv);
    Reply cycles(const QueryParams& query);
    Reply info();
    Reply surface(const QueryParams& query);
    Reply boundaries();
    Reply worldMap();
    Reply openApi() const;

    /// Where the service's own messages go (one line each, ending in a newline); stderr when unset.
    void setLog(std::function<void(const std::string&)> log) { log_ = std::move(log); }

    const ServeLimits& limits() const { return limits_; }
    const std::string& dataFolder() const { return folder_; }
    int threads() const { return pool_.threads(); }

    /// The data of the current database generation: reloaded whole, at most once a second
    /// looked for, when an import replaced the station files.
    std::shared_ptr<const ServeData> data();

private:
    Reply runJobs(std::vector<WorkPool::Job> jobs, double seconds);
    void say(const std::string& line) const;
    std::function<void(const std::string&)> log_;
    std::string programDir_, folder_;
    ServeLimits limits_;
    WorkPool pool_;
    std::mutex dataMutex_, reloadMutex_;
    std::shared_ptr<const ServeData> data_;
    std::chrono::steady_clock::time_point lastCheck_;
};

/// An error answer: {"error": message, "argument": name} (argument left out when empty).
Reply errorReply(int status, const std::string& message, const std::string& argument = "");

/// The OpenAPI 3 description of the service's endpoints (cmd_serve_openapi.cpp).
std::string openApiDocument(const ServeLimits& limits);

/// A page asset by its name in the fixed table ("index.html", "app.js", "leaflet/leaflet.js",
/// ...): its bytes and content type; nothing for any other name. Leaflet's files are read
/// from the installed libjs-leaflet package.
std::optional<std::pair<std::string, std::string>> pageAsset(const std::string& name);

}  // namespace zentrel::cli
