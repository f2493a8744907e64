// `zentrel serve`: the estimates as an HTTP/1.1 service with a JSON API under /v1 and a map page
// at /, until SIGTERM or SIGINT (running requests are finished first).
#include <httplib.h>
#include <fmt/format.h>
#include <pthread.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <thread>

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
};

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
    std::string out;
    for (unsigned char c : target) out += c >= 0x20 && c < 0x7f ? static_cast<char>(c) : '?';
    if (out.size() > 200) out = out.substr(0, 197) + "...";
    return out;
}

thread_local std::chrono::steady_clock::time_point tRequestStart;

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
    ServeService service(common.programDir, folder, workers);
    const ServeLimits& limits = service.limits();

    httplib::Server server;
    // Connections are many and cheap (they wait on their sockets); the estimates run on the
    // service's own workers, whose queue is bounded.
    const size_t connections = static_cast<size_t>(std::max(64, 8 * workers)) + 16;
    server.new_task_queue = [connections] { return new httplib::ThreadPool(connections); };
    server.set_payload_max_length(limits.maxBodyBytes);
    server.set_read_timeout(10, 0);
    server.set_write_timeout(10, 0);
    server.set_keep_alive_timeout(5);
    server.set_keep_alive_max_count(10000);

    const std::string cors = o.cors;
    server.set_pre_routing_handler([cors](const httplib::Request&, httplib::Response& res) {
        tRequestStart = std::chrono::steady_clock::now();
        if (!cors.empty()) {
            res.set_header("Access-Control-Allow-Origin", cors);
            res.set_header("Vary", "Origin");
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });
    server.set_logger([](const httplib::Request& req, const httplib::Response& res) {
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - tRequestStart).count();
        char when[32];
        const std::time_t now = std::time(nullptr);
        std::tm utc{};
        gmtime_r(&now, &utc);
        std::strftime(when, sizeof when, "%Y-%m-%dT%H:%M:%SZ", &utc);
        std::fprintf(stderr, "%s %s %s %s %d %zu %.1fms\n", when, req.remote_addr.c_str(), req.method.c_str(),
                     loggedTarget(req).c_str(), res.status, res.body.size(), ms);
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
    server.Post("/v1/estimate", [&](const httplib::Request& req, httplib::Response& res) {
        const std::string accept = req.get_header_value("Accept");
        send(res, service.estimateMany(req.params, req.body, accept.find("text/csv") != std::string::npos));
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
    const std::string host = o.bind.find(':') != std::string::npos ? "[" + o.bind + "]" : o.bind;
    std::fprintf(stderr, "zentrel: serving %s on http://%s:%d/ with %d worker%s\n", folder.c_str(), host.c_str(), port, workers,
                 workers == 1 ? "" : "s");
    std::fflush(stderr);

    std::thread stopper([&server, stopSignals] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        std::fprintf(stderr, "zentrel: %s: finishing the running requests and stopping.\n", signal == SIGTERM ? "SIGTERM" : "SIGINT");
        server.stop();
    });
    const bool listened = server.listen_after_bind();
    // A failed listen ends without a signal: wake the waiting thread the way a signal would.
    if (!listened && server.is_running() == false) pthread_kill(stopper.native_handle(), SIGTERM);
    stopper.join();
    std::fprintf(stderr, "zentrel: stopped.\n");
    return kExitOk;
}

}  // namespace

void registerServe(CLI::App& app, CommonOptions& common, Runner& run) {
    auto o = std::make_shared<ServeOptions>();
    auto* cmd = app.add_subcommand("serve", "Serve the estimates over HTTP: a JSON API under /v1 and a map page at /");
    cmd->add_option("--bind", o->bind, "Address to listen on (127.0.0.1: this machine only; 0.0.0.0: every interface)")
        ->capture_default_str();
    cmd->add_option("--port", o->port, "TCP port; 0 = any free port (the one taken is printed)")
        ->check(wholeIn(0, 65535))
        ->capture_default_str();
    addThreadsOption(*cmd, o->threads, "Estimate worker threads");
    cmd->add_option("--cors", o->cors, "Allow pages of this origin (e.g. https://example.org, or *) to call the API");
    addDataOption(*cmd, common);
    cmd->footer(
        "Endpoints: GET /v1/estimate?lon=&lat=[&alt=][&var=][&method=][&format=json|csv|zte], POST /v1/estimate (JSON array "
        "of up to 10000 points; Accept: text/csv for CSV), GET /v1/cycles, GET /v1/info, GET /v1/surface?bbox=&res=&var=&period=&format=json|tif|nc, "
        "GET /v1/openapi.json; the map page at /.");
    cmd->callback([&run, &common, o] { run = [&common, o] { return runServe(*o, common); }; });
}

}  // namespace zentrel::cli
