// The load of bench/serve_load.py: keep-alive HTTP clients on one thread (epoll, plain sockets),
// each asking a point estimate, waiting for the whole answer, and asking the next; the time of
// each request from its first byte sent to its last byte received, on the monotonic clock. A
// load generator that costs little CPU of its own, so that a 2-core machine measures the service.
// Usage: serve_clients PORT CONNECTIONS SECONDS
// Prints one JSON line: answers by status, dropped requests, latency percentiles in ms, and the
// generator's own CPU seconds.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Connection {
    int fd = -1;
    std::string out;       // the request, from `sent` on still to be written
    size_t sent = 0;
    std::string in;        // the answer so far
    Clock::time_point start;
    bool busy = false;     // a request is under way
};

int port = 0;

int connectTo() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 && errno != EINPROGRESS) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// The answer's length when its header is complete and it holds the whole body; 0 otherwise.
size_t completeLength(const std::string& in, int& status, bool& closing) {
    const size_t end = in.find("\r\n\r\n");
    if (end == std::string::npos) return 0;
    status = in.size() > 12 ? std::atoi(in.c_str() + 9) : 0;
    size_t length = 0;
    closing = false;
    for (size_t at = in.find("\r\n") + 2; at < end;) {
        const size_t next = in.find("\r\n", at);
        const std::string line = in.substr(at, next - at);
        if (strncasecmp(line.c_str(), "Content-Length:", 15) == 0) length = std::strtoull(line.c_str() + 15, nullptr, 10);
        if (strncasecmp(line.c_str(), "Connection:", 11) == 0 && line.find("close") != std::string::npos) closing = true;
        at = next + 2;
    }
    return in.size() >= end + 4 + length ? end + 4 + length : 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: serve_clients PORT CONNECTIONS SECONDS\n");
        return 2;
    }
    port = std::atoi(argv[1]);
    const int count = std::atoi(argv[2]);
    const double seconds = std::atof(argv[3]);
    const char* variables[] = {"Temp", "Prec", "Tmax", "Tmin"};
    std::mt19937 random(1);
    std::uniform_real_distribution<double> lon(-10, 40), lat(35, 60);
    std::uniform_int_distribution<int> variable(0, 3);

    const int poll = epoll_create1(EPOLL_CLOEXEC);
    std::vector<Connection> connections(static_cast<size_t>(count));
    std::vector<double> latencies;
    latencies.reserve(1 << 20);
    std::map<int, long> statuses;
    long dropped = 0, malformed = 0, reconnects = 0;
    const auto stopAt = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));

    const auto arm = [&](size_t k, uint32_t events, int op) {
        epoll_event e{};
        e.events = events;
        e.data.u64 = k;
        epoll_ctl(poll, op, connections[k].fd, &e);
    };
    const auto open = [&](size_t k) {
        Connection& c = connections[k];
        c.fd = connectTo();
        if (c.fd < 0) return false;
        arm(k, EPOLLOUT, EPOLL_CTL_ADD);
        return true;
    };
    const auto ask = [&](size_t k) {  // the next request, written when the socket takes it
        Connection& c = connections[k];
        char target[160];
        std::snprintf(target, sizeof target, "/v1/estimate?lon=%.3f&lat=%.3f&var=%s", lon(random), lat(random), variables[variable(random)]);
        c.out = std::string("GET ") + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
        c.sent = 0;
        c.in.clear();
        c.busy = true;
        c.start = Clock::now();
        arm(k, EPOLLOUT, EPOLL_CTL_MOD);
    };
    const auto drop = [&](size_t k, bool lost) {  // closes; a request under way counts as dropped
        Connection& c = connections[k];
        if (c.busy && lost) ++dropped;
        c.busy = false;
        epoll_ctl(poll, EPOLL_CTL_DEL, c.fd, nullptr);
        ::close(c.fd);
        c.fd = -1;
    };

    for (size_t k = 0; k < connections.size(); ++k)
        if (open(k)) ask(k);
        else ++dropped;
    std::vector<epoll_event> events(connections.size());
    char buffer[1 << 16];
    while (Clock::now() < stopAt) {
        const int n = epoll_wait(poll, events.data(), static_cast<int>(events.size()), 100);
        for (int i = 0; i < n; ++i) {
            const size_t k = events[static_cast<size_t>(i)].data.u64;
            Connection& c = connections[k];
            if (c.fd < 0) continue;
            if (events[static_cast<size_t>(i)].events & EPOLLOUT) {
                const ssize_t w = ::send(c.fd, c.out.data() + c.sent, c.out.size() - c.sent, MSG_NOSIGNAL);
                if (w < 0 && errno != EAGAIN) {
                    drop(k, true);
                    if (open(k)) ask(k);
                    continue;
                }
                if (w > 0) c.sent += static_cast<size_t>(w);
                if (c.sent == c.out.size()) arm(k, EPOLLIN, EPOLL_CTL_MOD);
                continue;
            }
            const ssize_t r = ::recv(c.fd, buffer, sizeof buffer, 0);
            if (r < 0 && errno == EAGAIN) continue;
            if (r <= 0) {  // closed or failed before the whole answer came
                drop(k, true);
                ++reconnects;
                if (open(k)) ask(k);
                continue;
            }
            c.in.append(buffer, static_cast<size_t>(r));
            int status = 0;
            bool closing = false;
            const size_t length = completeLength(c.in, status, closing);
            if (length == 0) continue;
            latencies.push_back(std::chrono::duration<double, std::milli>(Clock::now() - c.start).count());
            ++statuses[status];
            const size_t body = c.in.find("\r\n\r\n") + 4;
            if (status == 200 && (length != c.in.size() || c.in[body] != '{' || c.in[length - 2] != '}')) ++malformed;
            c.busy = false;
            if (closing) {  // the server ends a connection after so many requests: a new one
                drop(k, false);
                ++reconnects;
                if (!open(k)) continue;
            }
            ask(k);
        }
    }
    long underway = 0;
    for (const Connection& c : connections) underway += c.busy ? 1 : 0;
    std::sort(latencies.begin(), latencies.end());
    const auto percentile = [&](double p) {
        return latencies.empty() ? 0.0 : latencies[std::min(latencies.size() - 1, static_cast<size_t>(p * static_cast<double>(latencies.size())))];
    };
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                       static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    std::string byStatus;
    for (const auto& [status, n] : statuses) byStatus += (byStatus.empty() ? "" : ",") + ("\"" + std::to_string(status) + "\":" + std::to_string(n));
    std::printf("{\"seconds\":%.3f,\"statuses\":{%s},\"dropped\":%ld,\"malformed\":%ld,\"reconnects\":%ld,\"underwayAtEnd\":%ld,"
                "\"p50\":%.2f,\"p90\":%.2f,\"p99\":%.2f,\"max\":%.2f,\"cpuSeconds\":%.3f}\n",
                seconds, byStatus.c_str(), dropped, malformed, reconnects, underway, percentile(0.5), percentile(0.9),
                percentile(0.99), latencies.empty() ? 0.0 : latencies.back(), cpu);
    return 0;
}
