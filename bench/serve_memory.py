#!/usr/bin/python3
"""Resident memory of a long `zentrel serve` run (not a test): rounds of random world points in
all eight variables (one POST of 3,000 per variable and round) and three surfaces
at 0.5 degrees, the resident set of the service printed after each round and its peak at the end.
Usage: bench/serve_memory.py build/bin/zentrel [ROUNDS] [-- SERVE-ARGS...]  (default 3 rounds,
--threads 2)"""
import json
import os
import random
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "tests", "serve"))
from server import Server  # noqa: E402

argv = sys.argv[1:]
serve_args = ["--threads", "2"]
if "--" in argv:
    serve_args = argv[argv.index("--") + 1:]
    argv = argv[:argv.index("--")]
program = argv[0] if argv else "build/bin/zentrel"
rounds = int(argv[1]) if len(argv) > 1 else 3
VARIABLES = ["Temp", "Tmax", "Tmin", "Prec", "Vap", "PET", "Wind", "Sun"]
SURFACES = [("Temp", "5,-5,65,55"), ("Prec", "-80,-50,-20,10"), ("Tmax", "70,0,130,60")]  # 120 x 120 cells

server = Server(program, *serve_args)
pid = server.process.pid


def status(field):
    with open(f"/proc/{pid}/status") as f:
        return int([line for line in f if line.startswith(field)][0].split()[1]) // 1024


rng = random.Random(47)
print(f"zentrel serve {' '.join(serve_args)}: started, resident {status('VmRSS')} MB", flush=True)
try:
    for r in range(1, rounds + 1):
        began = time.monotonic()
        answered = 0
        for var in VARIABLES:
            for _ in range(1):
                points = [[round(rng.uniform(-180, 180), 3), round(rng.uniform(-56, 75), 3)] for _ in range(3000)]
                code, _, body = server.get(f"/v1/estimate?var={var}", data=json.dumps(points).encode(),
                                           headers={"Content-Type": "application/json"})
                if code != 200:
                    raise SystemExit(f"POST {var}: {code} {body[:200]!r}")
                answered += len(json.loads(body))
        for var, bbox in SURFACES:
            code, _, body = server.get(f"/v1/surface?var={var}&bbox={bbox}&res=0.5")
            if code != 200:
                raise SystemExit(f"surface {var}: {code} {body[:200]!r}")
        print(f"round {r}: {answered} estimates and {len(SURFACES)} surfaces in {time.monotonic() - began:.0f} s, "
              f"resident {status('VmRSS')} MB (peak {status('VmHWM')} MB)", flush=True)
finally:
    code, _ = server.stop()
