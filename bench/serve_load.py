#!/usr/bin/python3
"""Load benchmark of `zentrel serve` on loopback (not a test): 64 concurrent keep-alive clients
asking single-variable point estimates with the default method (rate answered per second, 99th
percentile latency, nothing dropped), then 10,000 random and malformed requests (bad numbers,
huge bodies, slow clients, broken UTF-8, path tricks): no crash, every answer a well-formed
HTTP answer, memory flat (the second half of the fuzz adds nothing), SIGTERM obeyed at once.
Loops are bounded in count and time.
The load comes from serve_clients (bench/serve_clients.cpp, built beside zentrel: one thread
on plain sockets, a few per cent of a core); with --python, from 64 Python threads, which take
much of one of the two cores themselves and so measure the generator as much as the service.
The CPU time of the generator and of the server during the load is printed with the figures.
Usage: bench/serve_load.py build/bin/zentrel [SECONDS] [--python] [--load-only]
(build serve_clients first: cmake --build build --target serve_clients)"""
import http.client
import json
import os
import random
import socket
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "tests", "serve"))
from server import Server  # noqa: E402

args = [a for a in sys.argv[1:] if not a.startswith("--")]
program = args[0] if args else "build/bin/zentrel"
seconds = float(args[1]) if len(args) > 1 else 20
clients = os.path.join(os.path.dirname(os.path.abspath(program)), "serve_clients")
native = "--python" not in sys.argv and os.path.exists(clients)
server = Server(program)
host, port = "127.0.0.1", int(server.url.rsplit(":", 1)[1].strip("/"))
pid = server.process.pid


def rss_kib():
    with open(f"/proc/{pid}/status") as f:
        return int([line for line in f if line.startswith("VmRSS")][0].split()[1])


def cpu_seconds(process_id):
    """User and system CPU time of a process so far."""
    with open(f"/proc/{process_id}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def native_load():
    """64 keep-alive connections from bench/serve_clients.cpp (one thread, epoll): its figures,
    including its own CPU time."""
    out = subprocess.run([clients, str(port), "64", f"{seconds:g}"], capture_output=True, text=True, check=True).stdout
    return json.loads(out)


# ---- 64 keep-alive clients (the Python ones, with --python)
latencies, statuses, errors = [], {}, []
lock = threading.Lock()
stop_at = time.monotonic() + seconds
rng = random.Random(1)
VARS = ["Temp", "Prec", "Tmax", "Tmin"]


def client(seed):
    r = random.Random(seed)
    conn = http.client.HTTPConnection(host, port, timeout=60)
    mine, count = [], 0
    while time.monotonic() < stop_at and count < 100000:
        lon, lat = r.uniform(-10, 40), r.uniform(35, 60)
        t = time.perf_counter()
        try:
            conn.request("GET", f"/v1/estimate?lon={lon:.3f}&lat={lat:.3f}&var={r.choice(VARS)}")
            response = conn.getresponse()
            body = response.read()
            status = response.status
            if status == 200:
                json.loads(body)
        except Exception as e:  # a dropped connection is counted, and the client reconnects
            with lock:
                errors.append(repr(e))
            conn = http.client.HTTPConnection(host, port, timeout=60)
            continue
        mine.append(time.perf_counter() - t)
        with lock:
            statuses[status] = statuses.get(status, 0) + 1
        count += 1
    with lock:
        latencies.extend(mine)


start_rss = rss_kib()
begin = time.monotonic()
server_cpu = cpu_seconds(pid)
if native:
    figures = native_load()
    elapsed = time.monotonic() - begin
    server_cpu = cpu_seconds(pid) - server_cpu
    generator_cpu = figures["cpuSeconds"]
    answered = figures["statuses"].get("200", 0)
    print(f"load (serve_clients): 64 keep-alive clients, {figures['seconds']:.1f} s: {answered} estimates answered, "
          f"{answered / figures['seconds']:.0f}/s; p50 {figures['p50']:.1f} ms, p90 {figures['p90']:.1f} ms, "
          f"p99 {figures['p99']:.1f} ms, max {figures['max']:.0f} ms; statuses {figures['statuses']}; "
          f"dropped {figures['dropped']}; malformed {figures['malformed']}")
else:
    generator_cpu = time.process_time()
    threads = [threading.Thread(target=client, args=(k,)) for k in range(64)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    elapsed = time.monotonic() - begin
    server_cpu = cpu_seconds(pid) - server_cpu
    generator_cpu = time.process_time() - generator_cpu
    latencies.sort()
    answered = statuses.get(200, 0)
    print(f"load (Python threads): 64 keep-alive clients, {elapsed:.1f} s: {answered} estimates answered, "
          f"{answered / elapsed:.0f}/s; p50 {1000 * latencies[len(latencies) // 2]:.1f} ms, "
          f"p99 {1000 * latencies[int(len(latencies) * 0.99)]:.1f} ms; statuses {statuses}; dropped {len(errors)}")
print(f"CPU during the load: the server {server_cpu:.1f} s ({server_cpu / elapsed:.2f} cores, "
      f"{1000 * server_cpu / max(1, answered):.2f} ms an answer), the load generator {generator_cpu:.1f} s "
      f"({generator_cpu / elapsed:.2f} cores)")

if "--load-only" in sys.argv:
    code, _ = server.stop()
    print(f"stopped with SIGTERM: exit code {code}")
    sys.exit(0)

# ---- 10,000 random and malformed requests
after_load_rss = rss_kib()
BAD = ["lon=abc&lat=1", "lon=1e999&lat=2", "lon=%ff%fe&lat=1", "lon=12&lat=41&var=%c3%28", "lon=--1&lat=0",
       "lon=0x10&lat=1", "lon=nan&lat=nan", "lon=12&lat=41&maxstat=1.5", "lon=12&lat=41&method=%00",
       "lon=" + "9" * 5000 + "&lat=1", "lon=12&lat=41&level=", "&&&==", "lon=12&lon=13&lat=1"]
PATHS = ["/../../etc/passwd", "/%2e%2e/%2e%2e/etc/passwd", "/leaflet/..%2f..%2fetc/passwd", "//etc/passwd",
         "/v1/estimate/../../x", "/\xff\xfe", "/index.html%00.js", "/v1/surface?var=Temp&bbox=0,0,1e9,1&res=1"]
malformed = {"well-formed": 0, "bad": 0}
fr = random.Random(2)


def raw(request, slow=False):
    """Sends raw bytes; True when the answer is a well-formed HTTP response (or a refused connection)."""
    s = socket.create_connection((host, port), timeout=30)
    try:
        if slow:
            for k in range(0, len(request), 7):
                s.sendall(request[k:k + 7])
                time.sleep(0.002)
        else:
            s.sendall(request)
        s.shutdown(socket.SHUT_WR)
        data = b""
        while len(data) < 1 << 22:
            chunk = s.recv(65536)
            if not chunk:
                break
            data += chunk
        return data == b"" or (data.startswith(b"HTTP/1.1 ") and data[9:12].isdigit())
    except (ConnectionResetError, BrokenPipeError):
        return True  # the server may close on a body it refuses
    except socket.timeout:
        timeouts.append(request[:60])
        return False
    finally:
        s.close()


timeouts = []
half_rss = 0
fuzz_end = time.monotonic() + 300
sent = 0
for i in range(10000):
    if time.monotonic() > fuzz_end:
        break
    kind = i % 6
    if kind == 0:
        req = f"GET /v1/estimate?{fr.choice(BAD)} HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n".encode("latin-1")
    elif kind == 1:
        req = b"GET " + fr.choice(PATHS).encode("latin-1") + b" HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n"
    elif kind == 2:
        size = fr.choice([10, 1000, 3 << 20])
        body = fr.choice([b"[", b"{", b"[[1,2],", b"\xff\xfe"]) * (size // 2)
        req = (f"POST /v1/estimate HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\nContent-Length: {len(body)}\r\n"
               f"Connection: close\r\n\r\n").encode() + body
    elif kind == 3:
        req = bytes(fr.randrange(256) for _ in range(fr.randrange(1, 300)))
    elif kind == 4:
        req = f"GET /v1/estimate?lon={fr.uniform(-200, 200):.2f}&lat={fr.uniform(-100, 100):.2f}&var=Temp&method=described HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n".encode()
    else:
        req = b"GET /v1/info HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n"
    if i == 5000:
        half_rss = rss_kib()
    ok = raw(req, slow=(i % 500 == 5))
    malformed["well-formed" if ok else "bad"] += 1
    sent += 1
alive = server.process.poll() is None
end_rss = rss_kib() if alive else 0
print(f"fuzz: {sent} random and malformed requests: {malformed['well-formed']} answered well-formed, {malformed['bad']} not; "
      f"server alive: {alive}; memory {start_rss // 1024} MiB at start, {after_load_rss // 1024} after the load, "
      f"{half_rss // 1024} halfway through the fuzz, {end_rss // 1024} after it "
      f"({(end_rss - after_load_rss) / max(1, after_load_rss) * 100:+.1f} %)")
for t in timeouts[:5]:
    print("no answer within 30 s to:", t)
# Five clients in the middle of their requests while SIGTERM comes: they must not hold the stop.
held = [socket.create_connection((host, port)) for _ in range(5)]
for h in held:
    h.sendall(b"GET /v1/info HTTP/1.1\r\nHost: x\r\n")
time.sleep(0.5)
stop_begin = time.monotonic()
code, _ = server.stop()
print(f"stopped with SIGTERM, 5 clients halfway through a request: exit code {code} after "
      f"{time.monotonic() - stop_begin:.1f} s")
for h in held:
    h.close()
