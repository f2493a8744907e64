# The HTTP API of `zentrel serve` against the command line of the same build: each endpoint, each
# kind of refusal, and the hardening limits.
import http.client
import json
import os
import subprocess

import pytest

from server import Server

ZENTREL_BIN = os.environ.get("ZENTREL_BIN", "")


def cli(*args):
    done = subprocess.run([ZENTREL_BIN, *map(str, args)], capture_output=True, text=True, timeout=120)
    return done.returncode, done.stdout, done.stderr


def cli_message(*args):
    code, _, err = cli(*args)
    assert code == 2, err
    return [line for line in err.splitlines() if line.startswith("zentrel: ")][0][len("zentrel: "):]


@pytest.fixture(scope="module")
def server():
    if not ZENTREL_BIN:
        pytest.skip("ZENTREL_BIN names no zentrel program")
    s = Server(ZENTREL_BIN, "--threads", "2")
    yield s
    s.stop()


def json_of(server, path, **kw):
    status, headers, body = server.get(path, **kw)
    return status, headers, json.loads(body)


def test_single_variable_estimate_equals_the_command_line(server):
    status, headers, body = server.get("/v1/estimate?lon=12.48&lat=41.9&var=Temp")
    assert status == 200 and headers["Content-Type"].startswith("application/json")
    code, out, _ = cli("estimate", "--lon", "12.48", "--lat", "41.9", "--var", "Temp", "--json")
    assert code == 0
    assert body.decode().strip() == out.strip()


def test_all_variables_and_given_altitude_equal_the_command_line(server):
    _, _, answer = json_of(server, "/v1/estimate?lon=-3.7&lat=40.4&alt=650&method=described")
    _, out, _ = cli("estimate", "--lon", "-3.7", "--lat", "40.4", "--alt", "650", "--method", "described", "--json")
    assert answer == json.loads(out)
    assert isinstance(answer, list) and len(answer) >= 7


def test_warm_engines_answer_each_point_as_a_fresh_command_line_run():
    # One worker, so that every point runs on the engines the points before it used: what an
    # earlier estimate left in them (the strange-data month and station, the mean entry's
    # direction) must not show in a later answer. The last point lies far out at sea, where the
    # mean entry gets no direction of its own.
    if not ZENTREL_BIN:
        pytest.skip("ZENTREL_BIN names no zentrel program")
    one = Server(ZENTREL_BIN, "--threads", "1")
    try:
        for lon, lat in [(12.48, 41.9), (-3.7, 40.4), (2.35, 48.85), (30.5, 50.45), (-9.14, 38.72), (23.73, 37.98),
                         (0.75, -15.4)]:
            _, _, body = one.get(f"/v1/estimate?lon={lon}&lat={lat}&var=all")
            _, out, _ = cli("estimate", "--lon", lon, "--lat", lat, "--var", "all", "--json")
            assert body.decode().strip() == out.strip(), (lon, lat)
    finally:
        one.stop()


def test_a_kept_connections_queries_are_each_read_afresh(server):
    # One connection is served by one thread, which reads every query of it with the same option
    # table: an option given before, or a refused value, must not stay for the next query.
    host, port = server.url[len("http://"):].strip("/").split(":")
    conn = http.client.HTTPConnection(host, int(port), timeout=120)

    def ask(query):
        conn.request("GET", "/v1/estimate?" + query)
        response = conn.getresponse()
        return response.status, response.read()

    status, body = ask("lon=12.48&lat=41.9&var=Temp&maxstat=3&method=described")
    assert status == 200 and json.loads(body)["neighbourCount"] == 3
    assert ask("lon=abc&lat=41.9&var=Temp")[0] == 400
    status, body = ask("lon=12.48&lat=41.9&var=Temp")
    _, out, _ = cli("estimate", "--lon", "12.48", "--lat", "41.9", "--var", "Temp", "--json")
    assert status == 200 and body.decode().strip() == out.strip()
    conn.close()


def test_refusals_carry_the_command_lines_message(server):
    # (query, command-line arguments giving the same message)
    cases = [
        ("lon=abc&lat=41.9", ["--lon", "abc", "--lat", "41.9"]),
        ("lon=200&lat=41.9", ["--lon", "200", "--lat", "41.9"]),
        ("lon=12&lat=nan", ["--lon", "12", "--lat", "nan"]),
        ("lon=12&lat=41&alt=20000", ["--lon", "12", "--lat", "41", "--alt", "20000"]),
        ("lon=12&lat=41&method=magic", ["--lon", "12", "--lat", "41", "--method", "magic"]),
        ("lon=12&lat=41&powexp=x", ["--lon", "12", "--lat", "41", "--powexp", "x"]),
        ("lon=12&lat=41&var=Rain", ["--lon", "12", "--lat", "41", "--var", "Rain"]),
        ("lon=12&lat=41&level=80", ["--lon", "12", "--lat", "41", "--level", "80"]),
    ]
    for query, args in cases:
        status, _, body = json_of(server, "/v1/estimate?" + query)
        assert status == 400, query
        assert body["error"] == cli_message("estimate", *args), query


@pytest.mark.parametrize("query, argument", [
    ("lat=41.9", "lon"),                 # required
    ("lon=12&lat=41&lon=13", "lon"),     # repeated
    ("lon=&lat=41", "lon"),              # empty
    ("lon=12&lat=41&path=/etc", "path"), # unknown
])
def test_missing_repeated_empty_and_unknown_parameters_are_refused_by_name(server, query, argument):
    status, _, body = json_of(server, "/v1/estimate?" + query)
    assert status == 400
    assert argument in body["error"]


def test_variable_the_database_lacks_is_422_with_the_command_lines_words(server):
    status, _, body = json_of(server, "/v1/estimate?lon=12&lat=41&var=Wind")
    code, _, err = cli("estimate", "--lon", "12", "--lat", "41", "--var", "Wind")
    if code == 0:
        pytest.skip("this database holds Wind normals")
    assert status == 422 and body["error"] in err


def test_csv_and_result_file_downloads(server):
    status, headers, body = server.get("/v1/estimate?lon=12.48&lat=41.9&var=Prec&format=csv")
    lines = body.decode().splitlines()
    assert status == 200 and headers["Content-Type"].startswith("text/csv")
    assert lines[0].startswith("lon,lat,alt,variable,quantity,Jan")
    assert [l.split(",")[4] for l in lines[1:]] == ["Best", "Low90", "High90", "StdErr"]
    status, headers, body = server.get("/v1/estimate?lon=12.48&lat=41.9&var=Temp&format=zte")
    assert status == 200 and "attachment" in headers["Content-Disposition"]
    assert b"Temp" in body or b"Temperature" in body


def test_many_points_in_one_request_with_a_bad_point_answered_on_its_own(server):
    points = [{"lon": 12.48, "lat": 41.9}, [2.35, 48.85, 35], {"lon": 500, "lat": 0}, "x"]
    status, _, body = json_of(server, "/v1/estimate?var=Temp", data=json.dumps(points).encode(),
                              headers={"Content-Type": "application/json"})
    assert status == 200 and len(body) == 4
    _, _, single = json_of(server, "/v1/estimate?lon=12.48&lat=41.9&var=Temp")
    assert body[0]["estimates"][0] == single
    assert body[1]["alt"] == 35
    assert "point 3" in body[2]["error"] and "lon" in body[2]["error"]
    assert "point 4" in body[3]["error"]


def test_many_points_as_csv(server):
    points = [[12.48, 41.9], [2.35, 48.85]]
    status, headers, body = server.get("/v1/estimate?var=Temp", data=json.dumps(points).encode(),
                                       headers={"Content-Type": "application/json", "Accept": "text/csv"})
    lines = body.decode().splitlines()
    assert status == 200 and headers["Content-Type"].startswith("text/csv")
    assert lines[0].endswith(",error") and len(lines) == 1 + 2 * 4


@pytest.mark.parametrize("body, status", [
    (b"{not json", 400),
    (b'{"lon": 1, "lat": 2}', 400),
    (json.dumps([[0, 0]] * 10001).encode(), 413),
    (b"[" + b"1," * (3 << 20) + b"1]", 413),
])
def test_bad_or_oversized_bodies_are_refused(server, body, status):
    got, _, answer = server.get("/v1/estimate", data=body, headers={"Content-Type": "application/json"})
    assert got == status
    assert "error" in json.loads(answer)


def test_exactly_the_point_limit_is_answered(server):
    # Points outside the range are answered by their messages, so 10000 of them cost no estimate.
    status, _, body = json_of(server, "/v1/estimate?var=Temp", data=json.dumps([[500, 0]] * 10000).encode(),
                              headers={"Content-Type": "application/json"})
    assert status == 200 and len(body) == 10000 and "point 10000" in body[-1]["error"]


def test_exactly_the_cell_limit_is_answered(server):
    # 160 x 125 cells of the eastern Pacific: nearly all sea, so nearly nothing is estimated.
    status, _, body = json_of(server, "/v1/surface?var=Temp&bbox=-180,-45,-100,17.5&res=0.5")
    assert status == 200 and body["columns"] * body["rows"] == 20000 and len(body["values"]) == 20000


def test_cycles_give_dekads_days_thresholds_and_seasons(server):
    status, _, body = json_of(server, "/v1/cycles?lon=12.48&lat=41.9&var=Temp")
    assert status == 200
    assert len(body["dekadal"]["best"]) == 36 and len(body["daily"]["best"]) == 365
    assert len(body["thresholds"]) == 101
    assert body["growingSeasons"] is None or isinstance(body["growingSeasons"], list)
    # The daily course of Rome's temperature peaks in summer.
    daily = body["daily"]["best"]
    assert max(range(365), key=lambda d: daily[d]) in range(170, 240)
    status, _, body = json_of(server, "/v1/cycles?lon=12.48&lat=41.9&var=all")
    assert status == 400 and body["argument"] == "var"


def test_info_equals_data_info_json(server):
    status, _, body = json_of(server, "/v1/info")
    _, out, _ = cli("data", "info", "--json")
    assert status == 200 and body == json.loads(out)


def test_surface_json_tif_and_nc_of_a_small_box(server):
    status, _, body = json_of(server, "/v1/surface?var=Temp&bbox=10,40,14,43&res=1&period=7")
    assert status == 200 and (body["columns"], body["rows"]) == (4, 3)
    assert len(body["values"]) == 12 and any(v is not None for v in body["values"])
    status, headers, tif = server.get("/v1/surface?var=Temp&bbox=10,40,14,43&res=1&format=tif")
    assert status == 200 and tif[:4] in (b"II*\x00", b"MM\x00*") and headers["Content-Type"] == "image/tiff"
    status, _, nc = server.get("/v1/surface?var=Temp&bbox=10,40,14,43&res=1&format=nc")
    assert status == 200 and nc[:4] == b"\x89HDF"


@pytest.mark.parametrize("query, status, words", [
    ("var=Temp&bbox=-180,-90,180,90&res=0.1", 413, "zentrel raster"),
    ("var=Temp&bbox=10,40,14&res=1", 400, "four numbers"),
    ("var=Temp&bbox=10,40,14,95&res=1", 400, "LATSTART"),
    ("var=Temp&bbox=10,40,14,43&res=-1", 400, "--res"),
    ("var=Temp&bbox=10,40,14,43&res=1&period=14", 400, "--period"),
    ("var=Temp&bbox=10,40,14,43&res=1&format=png", 400, "--format"),
])
def test_surface_refusals(server, query, status, words):
    got, _, body = json_of(server, "/v1/surface?" + query)
    assert got == status and words in body["error"]


def test_openapi_document_names_every_endpoint(server):
    status, _, doc = json_of(server, "/v1/openapi.json")
    assert status == 200 and doc["openapi"].startswith("3.")
    assert {"/v1/estimate", "/v1/cycles", "/v1/info", "/v1/surface"} <= set(doc["paths"])


@pytest.mark.parametrize("path", ["/../../etc/passwd", "/%2e%2e/%2e%2e/etc/passwd", "/leaflet/../../../etc/passwd",
                                  "/index.html/..", "/v1/nothing", "/leaflet/leaflet.js.map"])
def test_paths_outside_the_fixed_table_are_404_json(server, path):
    status, _, body = server.get(path)
    assert status == 404 and b"root:" not in body
    assert "error" in json.loads(body)


def test_page_and_its_files_are_served(server):
    for path, kind in [("/", "text/html"), ("/app.js", "javascript"), ("/app.css", "text/css"),
                       ("/leaflet/leaflet.js", "javascript"), ("/v1/worldmap.png", "image/png"),
                       ("/v1/boundaries", "geo+json")]:
        status, headers, body = server.get(path)
        assert status == 200 and kind in headers["Content-Type"], path
        assert body


def test_sigterm_finishes_and_logs_one_line_per_request():
    if not ZENTREL_BIN:
        pytest.skip("ZENTREL_BIN names no zentrel program")
    s = Server(ZENTREL_BIN, "--threads", "1")
    s.get("/v1/info")
    s.get("/v1/estimate?lon=x&lat=1")
    code, log = s.stop()
    assert code == 0 and "stopped" in log
    assert sum(1 for l in log.splitlines() if " GET /v1/" in l) == 2
    assert any(" 400 " in l and "/v1/estimate" in l for l in log.splitlines())


def test_listening_socket_takes_a_burst_of_new_clients(server):
    # With the library's backlog of 5, a burst of clients connecting at once overflows it and the
    # system drops their connection requests, to be sent again seconds later. ss shows a
    # listening socket's backlog in its Send-Q column.
    port = server.url.rstrip("/").rsplit(":", 1)[1]
    try:
        out = subprocess.run(["ss", "-ltnH", f"sport = :{port}"], capture_output=True, text=True, timeout=30).stdout
    except FileNotFoundError:
        pytest.skip("ss (iproute2) is not installed")
    backlog = int(out.split()[2])
    assert backlog >= 128, out


def test_full_queue_answers_503_with_retry_after():
    # A queue of no places is a queue that is always full: every estimate is refused the way a
    # busy service refuses it, while the answers that need no worker go on.
    if not ZENTREL_BIN:
        pytest.skip("ZENTREL_BIN names no zentrel program")
    s = Server(ZENTREL_BIN, "--threads", "1", "--queue-length", "0")
    try:
        status, headers, body = s.get("/v1/estimate?lon=12.48&lat=41.9&var=Temp")
        assert status == 503 and headers.get("Retry-After") == "2"
        assert "busy" in json.loads(body)["error"]
        status, headers, _ = s.get("/v1/estimate?var=Temp", data=b"[[12.48, 41.9]]",
                                   headers={"Content-Type": "application/json"})
        assert status == 503 and headers.get("Retry-After") == "2"
        assert s.get("/v1/info")[0] == 200
    finally:
        s.stop()


def raw_answer(server, request):
    """The status line and body of the answer to raw request bytes on a connection of its own."""
    import socket
    port = int(server.url.rsplit(":", 1)[1].strip("/"))
    with socket.create_connection(("127.0.0.1", port), timeout=60) as s:
        s.sendall(request)
        data = b""
        while b"\r\n\r\n" not in data or len(data.split(b"\r\n\r\n", 1)[1]) < int(
                [l for l in data.split(b"\r\n") if l.lower().startswith(b"content-length:")][0].split(b":")[1]):
            chunk = s.recv(65536)
            if not chunk:
                break
            data += chunk
    head, _, body = data.partition(b"\r\n\r\n")
    return head.split(b"\r\n")[0].decode(), body


def test_body_announced_larger_than_the_limit_is_refused_before_it_is_sent(server):
    # Nothing of the gigabyte is sent: an answer at all shows the body was not waited for.
    line, body = raw_answer(server, b"POST /v1/estimate HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\n"
                                    b"Content-Length: 1000000000\r\n\r\n[")
    assert line.startswith("HTTP/1.1 413") and "larger than the 2097152 bytes" in json.loads(body)["error"]


def test_chunked_body_over_the_limit_is_refused(server):
    chunk = b"[" + b"1," * 50000
    request = b"POST /v1/estimate HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n"
    request += (b"%x\r\n" % len(chunk) + chunk + b"\r\n") * 30 + b"0\r\n\r\n"
    line, body = raw_answer(server, request)
    assert line.startswith("HTTP/1.1 413") and "larger than" in json.loads(body)["error"]


def test_deeply_nested_body_is_refused_with_the_point_list_form(server):
    status, _, answer = json_of(server, "/v1/estimate", data=b"[" * 100000, headers={"Content-Type": "application/json"})
    assert status == 400 and "nests deeper than 3" in answer["error"]
    # A point whose value nests one deeper is still answered by its number.
    status, _, answer = json_of(server, "/v1/estimate?var=Temp", data=b'[{"lon": [1], "lat": 2}]',
                                headers={"Content-Type": "application/json"})
    assert status == 200 and "point 1" in answer[0]["error"]


def test_body_is_read_as_points_whatever_its_content_type_says(server):
    # curl --data sends a form's content type; the body is the point list all the same.
    status, _, answer = json_of(server, "/v1/estimate?var=Temp", data=json.dumps([[12.48, 41.9]] * 500).encode(),
                                headers={"Content-Type": "application/x-www-form-urlencoded"})
    assert status == 200 and len(answer) == 500


def test_log_lines_stay_printable_ascii_whatever_the_request_holds():
    if not ZENTREL_BIN:
        pytest.skip("ZENTREL_BIN names no zentrel program")
    s = Server(ZENTREL_BIN, "--threads", "1")
    try:
        raw_answer(s, b"G\xc3\x28T /v1/info\xff HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")
        s.get("/v1/estimate?lon=%ff&lat=1")
    finally:
        code, log = s.stop()
    assert code == 0
    assert "\ufffd" not in log and all(32 <= ord(c) < 127 for line in log.splitlines() for c in line), log


def test_answers_and_the_stop_go_on_when_nobody_reads_the_log():
    # stderr is a pipe nobody reads: it fills after some hundred log lines, and the lines beyond
    # the backlog are dropped instead of holding up the answers or the stop.
    if not ZENTREL_BIN:
        pytest.skip("ZENTREL_BIN names no zentrel program")
    import http.client
    import re
    import signal
    process = subprocess.Popen([ZENTREL_BIN, "serve", "--port", "0", "--threads", "1"], stdout=subprocess.DEVNULL,
                               stderr=subprocess.PIPE)
    try:
        port = int(re.search(rb":(\d+)/", process.stderr.readline()).group(1))
        connection = http.client.HTTPConnection("127.0.0.1", port, timeout=60)
        for _ in range(3000):
            connection.request("GET", "/v1/info?" + "x" * 150)
            response = connection.getresponse()
            response.read()
            assert response.status == 200
        connection.close()
        process.send_signal(signal.SIGTERM)
        assert process.wait(timeout=60) == 0
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()


def test_replaced_station_files_are_read_again_and_said_in_the_log(tmp_path):
    # The data folder's station files are copies (the rest links to the build's folder); new
    # time stamps stand for an import that replaced them. The service looks at most once a
    # second, so the log is awaited, for at most a minute.
    if not ZENTREL_BIN:
        pytest.skip("ZENTREL_BIN names no zentrel program")
    import shutil
    import time
    source = os.path.join(os.path.dirname(os.path.realpath(ZENTREL_BIN)), "ZentrelData")
    data = tmp_path / "ZentrelData"
    data.mkdir()
    for name in os.listdir(source):
        if name.startswith("mela"):
            shutil.copy(os.path.join(source, name), data / name)
        else:
            os.symlink(os.path.realpath(os.path.join(source, name)), data / name)
    s = Server(ZENTREL_BIN, "--threads", "1", "--data", str(data))
    try:
        before = s.get("/v1/estimate?lon=12.48&lat=41.9&var=Temp")
        stamp = time.time() - 3600
        for name in os.listdir(data):
            if name.startswith("mela"):
                os.utime(data / name, (stamp, stamp))
        deadline = time.monotonic() + 60
        while time.monotonic() < deadline and not any("read again" in line for line in s.log):
            assert s.get("/v1/info")[0] == 200
            time.sleep(0.2)
        after = s.get("/v1/estimate?lon=12.48&lat=41.9&var=Temp")
    finally:
        s.stop()
    assert any("changed on disk and was read again" in line for line in s.log), "".join(s.log)
    assert after[0] == 200 and json.loads(after[2])["result"] == json.loads(before[2])["result"]
