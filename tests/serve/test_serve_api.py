# The HTTP API of `zentrel serve` against the command line of the same build: each endpoint, each
# kind of refusal, and the hardening limits.
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


def test_full_queue_answers_503_with_retry_after(tmp_path):
    # One worker and a POST of many points fill the queue; a second request meanwhile gets 503.
    if not ZENTREL_BIN:
        pytest.skip("ZENTREL_BIN names no zentrel program")
    import threading
    s = Server(ZENTREL_BIN, "--threads", "1")
    try:
        points = json.dumps([[12 + i * 1e-3, 41.9] for i in range(10000)]).encode()
        results = []
        threads = [threading.Thread(target=lambda: results.append(
            s.get("/v1/estimate?var=Temp", data=points, headers={"Content-Type": "application/json"})))
            for _ in range(3)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        statuses = sorted(r[0] for r in results)
        assert 503 in statuses, statuses
        busy = [r for r in results if r[0] == 503][0]
        assert busy[1].get("Retry-After")
    finally:
        s.stop()
