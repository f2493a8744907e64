// `zentrel serve`: the estimates as an HTTP/1.1 service with a JSON API under /v1 and a map page
// at /, until SIGTERM or SIGINT (running requests are finished first).
#include <httplib.h>
#include <fmt/format.h>
#include <pthread.h>
#include <signal.h>

#include <arpa/inet.h>
#include <limits.h>
#include <malloc.h>
#include <poll.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <deque>
#include <filesystem>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "cli/cmd_serve_service.h"
#include "cli/commands.h"
#include "cli/number_options.h"
#include "data/data_folder.h"
#include "worker_threads.h"

namespace zentrel::cli {

namespace {

struct ServeOptions {
    std::string bind = "127.0.0.1";
    int port = 8080;
    int threads = 0;
    std::string cors;
    long long queueLength = -1;  ///< hidden, for tests: jobs waiting for a worker at most; -1 = the default
};

/// The log on stderr, written by a thread of its own: a request thread only queues its line, so
/// a slow or stopped reader of stderr never holds up an answer. Lines beyond a bounded backlog are
/// dropped and counted. The thread writes with write(2) once poll(2) says stderr takes more (a
/// pipe then takes a PIPE_BUF block whole), so it never blocks while holding anything, and it
/// gives up what is left when stderr takes nothing for 2 s after the stop.
class ServeLog {
public:
    ServeLog() : writer_([this] { write(); }) {}
    ~ServeLog() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        stopRequested_ = true;
        ready_.notify_all();
        writer_.join();
    }
    ServeLog(const ServeLog&) = delete;
    ServeLog& operator=(const ServeLog&) = delete;

    /// Waits at most `limit` for the lines queued so far to be written.
    void flush(std::chrono::milliseconds limit) {
        std::unique_lock lock(mutex_);
        finished_.wait_for(lock, limit, [this] { return lines_.empty() && !writing_; });
    }

    void line(std::string text) {
        {
            std::lock_guard lock(mutex_);
            if (lines_.size() >= kBacklog) {
                ++dropped_;
                return;
            }
            lines_.push_back(std::move(text));
        }
        ready_.notify_one();
    }

private:
    static constexpr size_t kBacklog = 4096;
    static constexpr size_t kBlock = PIPE_BUF;

    void write() {
        std::unique_lock lock(mutex_);
        for (;;) {
            ready_.wait(lock, [this] { return stopping_ || !lines_.empty() || dropped_; });
            if (lines_.empty() && !dropped_) break;
            std::string text;
            if (const unsigned long long dropped = std::exchange(dropped_, 0))
                text = fmt::format("zentrel: {} log lines dropped: stderr was read too slowly.\n", dropped);
            while (!lines_.empty() && text.size() + lines_.front().size() <= kBlock) {
                text += lines_.front();
                lines_.pop_front();
            }
            if (text.empty()) {  // a line longer than a block goes alone
                text = std::move(lines_.front());
                lines_.pop_front();
            }
            writing_ = true;
            lock.unlock();
            const bool written = writeOut(text);
            lock.lock();
            writing_ = false;
            finished_.notify_all();
            if (!written) {
                lines_.clear();
                break;
            }
        }
        finished_.notify_all();
    }

    // False when stderr took nothing for 2 s after the stop was asked for (or cannot be written).
    bool writeOut(const std::string& text) {
        size_t at = 0;
        std::chrono::steady_clock::time_point stuckSince{};
        while (at < text.size()) {
            pollfd out{STDERR_FILENO, POLLOUT, 0};
            const int ready = ::poll(&out, 1, 200);
            if (ready < 0 && errno == EINTR) continue;
            if (ready < 0 || (ready > 0 && (out.revents & (POLLERR | POLLNVAL)))) return false;
            if (ready == 0) {
                if (!stopRequested_) continue;
                const auto now = std::chrono::steady_clock::now();
                if (stuckSince == std::chrono::steady_clock::time_point{}) stuckSince = now;
                else if (now - stuckSince > std::chrono::seconds(2)) return false;
                continue;
            }
            const ssize_t n = ::write(STDERR_FILENO, text.data() + at, std::min(kBlock, text.size() - at));
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            if (n <= 0) return false;
            at += static_cast<size_t>(n);
        }
        return true;
    }

    std::mutex mutex_;
    std::condition_variable ready_, finished_;
    std::deque<std::string> lines_;
    unsigned long long dropped_ = 0;
    bool stopping_ = false, writing_ = false;
    std::atomic<bool> stopRequested_{false};
    std::thread writer_;
};

/// The connection threads of the HTTP server: a fixed number, and a bounded backlog of accepted
/// connections. When the backlog is full the accepting thread waits, so further clients wait in
/// the kernel's listen queue instead of in memory.
class ConnectionQueue : public httplib::TaskQueue {
public:
    ConnectionQueue(size_t threads, size_t backlog) : backlog_(backlog) {
        for (size_t t = 0; t < threads; ++t) threads_.emplace_back([this] { work(); });
    }
    void enqueue(std::function<void()> fn) override {
        std::unique_lock lock(mutex_);
        room_.wait(lock, [this] { return jobs_.size() < backlog_ || stopping_; });
        jobs_.push_back(std::move(fn));
        lock.unlock();
        ready_.notify_one();
    }
    void shutdown() override {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        ready_.notify_all();
        room_.notify_all();
        for (std::thread& t : threads_) t.join();
    }
    /// Wakes an accepting thread that waits for room, before the server is stopped.
    void stopping() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        room_.notify_all();
    }

private:
    void work() {
        for (;;) {
            std::function<void()> fn;
            {
                std::unique_lock lock(mutex_);
                ready_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
                if (jobs_.empty()) return;
                fn = std::move(jobs_.front());
                jobs_.pop_front();
            }
            room_.notify_one();
            fn();  // serves the connection and closes its socket
        }
    }
    size_t backlog_;
    std::mutex mutex_;
    std::condition_variable ready_, room_;
    std::deque<std::function<void()>> jobs_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

// Longest wait for the running requests after SIGTERM or SIGINT before the program ends anyway.
constexpr int kStopGraceSeconds = 10;

// Requests between routing and their logged answer; connections still sending a request are not counted.
std::atomic<int> gRequestsRunning{0};
thread_local bool tCounted = false;  ///< this thread's request is counted in gRequestsRunning

// A text for the log: printable ASCII only, at most `limit` characters.
std::string printable(const std::string& text, size_t limit) {
    std::string out;
    for (unsigned char c : text) out += c >= 0x20 && c < 0x7f ? static_cast<char>(c) : '?';
    if (out.size() > limit) out = out.substr(0, limit - 3) + "...";
    return out;
}

void send(httplib::Response& res, const Reply& reply) {
    res.status = reply.status;
    for (const auto& [name, value] : reply.headers) res.set_header(name, value);
    res.set_content(reply.body, reply.contentType);
}

// A request's target for the log: printable ASCII only, at most 200 characters.
std::string loggedTarget(const httplib::Request& req) {
    std::string target = req.path;
    if (!req.params.empty()) {
        target += '?';
        bool first = true;
        for (const auto& [name, value] : req.params) {
            target += (first ? "" : "&") + name + "=" + value;
            first = false;
        }
    }
    return printable(target, 200);
}

thread_local std::chrono::steady_clock::time_point tRequestStart;

// The socket of this thread's connection when it is to be shut once the answer is written.
thread_local int tShutAfterAnswer = -1;

// Marks the connection of a request whose body is left unread: its answer goes out, then the
// connection is shut (by the logger, which runs after the answer is written) instead of the body
// being read as the next request. The HTTP library does not hand the socket to handlers; it is
// found by the connection's two ends.
void closeAfterAnswer(const httplib::Request& req, httplib::Response& res) {
    if (req.get_header_value("Connection") != "close") res.set_header("Connection", "close");
    // The open descriptors are listed in /proc/self/fd (far fewer than the limit on them).
    std::vector<int> open;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") == std::string::npos) open.push_back(std::atoi(name.c_str()));
    }
    for (int fd : open) {
        sockaddr_storage local{}, peer{};
        socklen_t localLength = sizeof local, peerLength = sizeof peer;
        if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localLength) != 0) continue;
        if (getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerLength) != 0) continue;
        const auto port = [](const sockaddr_storage& a) {
            return a.ss_family == AF_INET ? ntohs(reinterpret_cast<const sockaddr_in&>(a).sin_port)
                 : a.ss_family == AF_INET6 ? ntohs(reinterpret_cast<const sockaddr_in6&>(a).sin6_port) : 0;
        };
        char address[INET6_ADDRSTRLEN] = "";
        if (peer.ss_family == AF_INET) inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in&>(peer).sin_addr, address, sizeof address);
        else if (peer.ss_family == AF_INET6) inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6&>(peer).sin6_addr, address, sizeof address);
        if (port(local) == req.local_port && port(peer) == req.remote_port && req.remote_addr == address) {
            tShutAfterAnswer = fd;
            return;
        }
    }
}

// Ends a connection whose answer is written: the answer is followed by the end of the stream;
// what the client goes on sending is read and thrown away for a while (most clients send the
// whole body before they read, and closing on unread bytes would reset the connection and lose
// the answer); then the socket is swapped for an unconnected one, on which the library's next
// read fails at once and ends its loop over the connection's requests.
void shutConnection(int fd) {
    constexpr size_t kDrainBytes = 64u << 20;
    constexpr auto kDrainTime = std::chrono::seconds(10);
    ::shutdown(fd, SHUT_WR);
    timeval wait{5, 0};  // as long as the read timeout: a client still sending is not cut off
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    static thread_local std::vector<char> sink(1 << 16);
    const auto until = std::chrono::steady_clock::now() + kDrainTime;
    for (size_t drained = 0; drained < kDrainBytes && std::chrono::steady_clock::now() < until;) {
        const ssize_t got = ::recv(fd, sink.data(), sink.size(), 0);
        if (got <= 0) break;
        drained += static_cast<size_t>(got);
    }
    const int dead = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (dead < 0) return;
    ::dup2(dead, fd);
    ::close(dead);
}

// A Content-Length header's value in bytes: 0 when absent, the largest number when unreadable or huge.
unsigned long long announcedLength(const std::string& value) {
    if (value.empty()) return 0;
    if (value.size() > 18 || value.find_first_not_of("0123456789") != std::string::npos) return ~0ull;
    return std::stoull(value);
}

int runServe(const ServeOptions& o, const CommonOptions& common) {
    const std::string folder = resolveDataFolder(common.programDir, common.dataDir);
    // SIGTERM and SIGINT go to one waiting thread only: every thread started below inherits the mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    const int workers = static_cast<int>(workerThreadsFor(o.threads));
    ServeLimits wanted;
    if (o.queueLength >= 0) wanted.queueLength = static_cast<size_t>(o.queueLength);
    // Connection threads each keep an allocator arena by default; a few shared arenas keep the
    // memory of large bodies from staying spread over all of them.
    mallopt(M_ARENA_MAX, 4);
    // Blocks of 256 KiB and more (request and answer bodies, a surface's values, a POST's
    // results) are mapped and given back whole when freed. Left to itself the allocator raises
    // that bound to the largest block freed so far (up to 32 MiB), and later large blocks then
    // stay in the arenas, spread over them, after their request: the resident set grew by some
    // 100 MB over a few rounds of POSTs and surfaces. Setting the bounds keeps them fixed.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
    mallopt(M_TRIM_THRESHOLD, 1024 * 1024);
    ServeLog log;
    ServeService service(common.programDir, folder, workers, wanted);
    service.setLog([&log](const std::string& line) { log.line(line); });
    const ServeLimits& limits = service.limits();

    httplib::Server server;
    // Connections are many and cheap (they wait on their sockets); the estimates run on the
    // service's own workers, whose queue is bounded. Accepted connections beyond the threads
    // wait in a bounded backlog, the rest in the kernel's listen queue.
    const size_t connections = static_cast<size_t>(std::max(64, 8 * workers)) + 16;
    ConnectionQueue* queue = nullptr;
    server.new_task_queue = [connections, &queue] { return queue = new ConnectionQueue(connections, 2 * connections); };
    server.set_payload_max_length(limits.maxBodyBytes);
    // Timeouts apply to each read and write; a client that sends nothing for 5 s is dropped.
    server.set_read_timeout(5, 0);
    server.set_write_timeout(5, 0);
    server.set_keep_alive_timeout(5);
    server.set_keep_alive_max_count(1000);
    // An answer is written as its header and then its body: without this the body waits for the
    // client's delayed acknowledgement of the header (40 ms on Linux) on a kept connection.
    server.set_tcp_nodelay(true);

    const std::string cors = o.cors;
    const size_t maxBody = limits.maxBodyBytes;
    server.set_pre_routing_handler([cors, maxBody](const httplib::Request& req, httplib::Response& res) {
        tRequestStart = std::chrono::steady_clock::now();
        tShutAfterAnswer = -1;
        if (!std::exchange(tCounted, true)) ++gRequestsRunning;
        if (!cors.empty()) {
            res.set_header("Access-Control-Allow-Origin", cors);
            res.set_header("Vary", "Origin");
        }
        // A body announced larger than the limit is refused before any of it is read; the
        // connection is closed, since the unread body would otherwise be taken for the next request.
        const std::string length = req.get_header_value("Content-Length");
        if (announcedLength(length) > maxBody) {
            send(res, errorReply(413, fmt::format("the body is larger than the {} bytes a request may send.", maxBody)));
            closeAfterAnswer(req, res);
            return httplib::Server::HandlerResponse::Handled;
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });
    server.set_logger([&log](const httplib::Request& req, const httplib::Response& res) {
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - tRequestStart).count();
        char when[32];
        const std::time_t now = std::time(nullptr);
        std::tm utc{};
        gmtime_r(&now, &utc);
        std::strftime(when, sizeof when, "%Y-%m-%dT%H:%M:%SZ", &utc);
        if (std::exchange(tCounted, false)) --gRequestsRunning;
        if (tShutAfterAnswer >= 0) shutConnection(std::exchange(tShutAfterAnswer, -1));
        log.line(fmt::format("{} {} {} {} {} {} {:.1f}ms\n", when, printable(req.remote_addr, 64), printable(req.method, 16),
                             loggedTarget(req), res.status, res.body.size(), ms));
    });
    server.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr e) {
        std::string what = "internal error";
        try {
            std::rethrow_exception(e);
        } catch (const std::exception& x) {
            what = x.what();
        } catch (...) {
        }
        send(res, errorReply(500, what));
    });
    server.set_error_handler([](const httplib::Request& req, httplib::Response& res) {
        if (!res.body.empty()) return;
        const std::string message = res.status == 404   ? "no such page or endpoint; the API is described at /v1/openapi.json."
                                    : res.status == 413 ? "the request is larger than the service takes."
                                    : res.status == 405 ? "this method is not allowed here."
                                                        : "the request cannot be answered.";
        (void)req;
        send(res, errorReply(res.status, message));
    });

    server.Get("/v1/estimate", [&](const httplib::Request& req, httplib::Response& res) { send(res, service.estimate(req.params)); });
    // The body is read here, whatever its content type says, and no further than the limit
    // (a chunked body announces no length).
    server.Post("/v1/estimate", [&](const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& reader) {
        std::string body;
        bool tooLarge = false;
        const bool read = reader([&](const char* data, size_t length) {
            if (body.size() + length > limits.maxBodyBytes) {
                tooLarge = true;
                return false;
            }
            body.append(data, length);
            return true;
        });
        if (tooLarge || !read) {
            send(res, tooLarge ? errorReply(413, fmt::format("the body is larger than the {} bytes a request may send.", limits.maxBodyBytes))
                               : errorReply(400, "the body could not be read."));
            closeAfterAnswer(req, res);
            return;
        }
        const std::string accept = req.get_header_value("Accept");
        send(res, service.estimateMany(req.params, body, accept.find("text/csv") != std::string::npos));
    });
    server.Get("/v1/cycles", [&](const httplib::Request& req, httplib::Response& res) { send(res, service.cycles(req.params)); });
    server.Get("/v1/info", [&](const httplib::Request&, httplib::Response& res) { send(res, service.info()); });
    server.Get("/v1/surface", [&](const httplib::Request& req, httplib::Response& res) { send(res, service.surface(req.params)); });
    server.Get("/v1/boundaries", [&](const httplib::Request&, httplib::Response& res) { send(res, service.boundaries()); });
    server.Get("/v1/worldmap.png", [&](const httplib::Request&, httplib::Response& res) { send(res, service.worldMap()); });
    server.Get("/v1/openapi.json", [&](const httplib::Request&, httplib::Response& res) { send(res, service.openApi()); });
    if (!cors.empty())
        server.Options(R"(/v1/.*)", [](const httplib::Request&, httplib::Response& res) {
            res.set_header("Access-Control-Allow-Methods", "GET, POST, OPTIONS");
            res.set_header("Access-Control-Allow-Headers", "Content-Type, Accept");
            res.status = 204;
        });
    // The page and its files: names of a fixed table only; nothing of the path reaches a file.
    server.Get(R"(/(.*))", [](const httplib::Request& req, httplib::Response& res) {
        const std::string name = req.matches[1].str().empty() ? "index.html" : req.matches[1].str();
        if (const auto asset = pageAsset(name)) {
            res.set_content(asset->first, asset->second);
            res.set_header("Cache-Control", "no-cache");
            res.set_header("X-Content-Type-Options", "nosniff");
            return;
        }
        send(res, errorReply(404, "no such page or endpoint; the API is described at /v1/openapi.json."));
    });

    // The library listens with a backlog of 5 connections not yet accepted: a burst of new clients
    // (64 starting at once) overflows it, and the system drops their connection requests, which
    // the clients send again only after 1 s and 3 s. Listening again on the bound socket gives it
    // the backlog the system allows.
    int listening = -1;
    server.set_socket_options([&listening](socket_t sock) {
        httplib::default_socket_options(sock);
        listening = sock;
    });
    int port = o.port;
    if (o.port == 0) {
        port = server.bind_to_any_port(o.bind);
    } else if (!server.bind_to_port(o.bind, o.port)) {
        port = -1;
    }
    if (port < 0) {
        std::fprintf(stderr, "zentrel: --bind %s --port %d: the address cannot be listened on (in use, or not this machine's).\n",
                     o.bind.c_str(), o.port);
        return kExitData;
    }
    if (listening >= 0) ::listen(listening, SOMAXCONN);
    const std::string host = o.bind.find(':') != std::string::npos ? "[" + o.bind + "]" : o.bind;
    log.line(fmt::format("zentrel: serving {} on http://{}:{}/ with {} worker{}\n", folder, host, port, workers, workers == 1 ? "" : "s"));

    std::mutex stopMutex;
    std::condition_variable stopped;
    bool listenEnded = false;
    std::thread stopper([&, stopSignals] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        std::unique_lock lock(stopMutex);
        if (listenEnded) return;  // woken by the main thread after a failed listen
        log.line(fmt::format("zentrel: {}: finishing the running requests and stopping.\n", signal == SIGTERM ? "SIGTERM" : "SIGINT"));
        if (queue) queue->stopping();
        server.stop();
        // The running requests are answered; connections that are idle or still sending a request
        // do not hold the stop, nor do requests still running after the grace time.
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(kStopGraceSeconds);
        while (!stopped.wait_for(lock, std::chrono::milliseconds(100), [&] { return listenEnded; })) {
            const bool late = std::chrono::steady_clock::now() >= until;
            if (late || gRequestsRunning == 0) {
                log.line(late ? fmt::format("zentrel: requests still running after {} s; stopping without them.\n", kStopGraceSeconds)
                              : std::string("zentrel: stopped; connections still open were closed.\n"));
                log.flush(std::chrono::seconds(1));
                std::_Exit(kExitOk);
            }
        }
    });
    server.listen_after_bind();
    {
        std::lock_guard lock(stopMutex);
        listenEnded = true;
    }
    stopped.notify_all();
    // A listen that ended without a signal (it failed): wake the waiting thread the way a signal would.
    pthread_kill(stopper.native_handle(), SIGTERM);
    stopper.join();
    log.line("zentrel: stopped.\n");
    return kExitOk;
}

}  // namespace

void registerServe(CLI::App& app, CommonOptions& common, Runner& run) {
    auto o = std::make_shared<ServeOptions>();
    auto* cmd = app.add_subcommand("serve", "Serve the estimates over HTTP: a JSON API under /v1 and a map page at /");
    cmd->add_option("--bind", o->bind, "Address to listen on (127.0.0.1: this machine only; 0.0.0.0: every interface)")
        ->capture_default_str();
    cmd->add_option("--port", o->port, "TCP port; 0 = any free port (the one taken is printed)")
        ->transform(wholeIn(0, 65535))
        ->capture_default_str();
    addThreadsOption(*cmd, o->threads, "Estimate worker threads");
    cmd->add_option("--cors", o->cors, "Allow pages of this origin (e.g. https://example.org, or *) to call the API");
    // For tests: a queue of 0 places answers every estimate 503, the way a full queue does.
    cmd->add_option("--queue-length", o->queueLength, "Jobs waiting for a worker at most")->transform(wholeIn(0, 100000))->group("");
    addDataOption(*cmd, common);
    const ServeLimits limits;
    cmd->footer(fmt::format(
        "Endpoints (described in full at /v1/openapi.json):\n"
        "  GET  /v1/estimate?lon=&lat=[&alt=][&var=][&level=][&format=json|csv|zte]  one point\n"
        "  POST /v1/estimate[?var=]  a JSON array of up to {} points, [[lon, lat], ...] or\n"
        "       [{{\"lon\": ..., \"lat\": ..., \"alt\": ...}}, ...]; Accept: text/csv for CSV\n"
        "  GET  /v1/cycles?lon=&lat=[&alt=][&var=]  dekads, days, threshold days, growing seasons\n"
        "  GET  /v1/surface?var=&bbox=&res=[&period=][&format=json|tif|nc]  at most {} cells\n"
        "  GET  /v1/info  the data folder;  /  the map page\n"
        "The estimate settings (maxstat, maxdist, method, ...) are query parameters by their option names.\n"
        "Limits: a body of at most {} MiB; {} jobs waiting for a worker, more are answered 503 with\n"
        "Retry-After.\n"
        "The service has no access control: keep --bind 127.0.0.1, or put it behind a proxy that has,\n"
        "wherever others can reach the machine.\n"
        "SIGTERM or SIGINT ends it: running requests are answered first (for at most {} s).\n"
        "Exit codes: 0 stopped by a signal, 1 data error or an address that cannot be listened on, 2 usage error.",
        limits.maxPoints, limits.maxSurfaceCells, limits.maxBodyBytes >> 20, limits.queueLength, kStopGraceSeconds));
    cmd->callback([&run, &common, o] { run = [&common, o] { return runServe(*o, common); }; });
}

}  // namespace zentrel::cli
