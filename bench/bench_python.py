#!/usr/bin/python3
# Python module speed: estimate_many over a grid of locations, against the batch engine of the
# zentrel program on one thread (per thread) and against one `zentrel estimate` per location.
# Rates are given per second of processor time (what a shared, busy machine cannot distort) and,
# for the runs on all cores, per second of wall-clock time.
# Usage: PYTHONPATH=build/python /usr/bin/python3 bench/bench_python.py [build-dir] [locations]
import os
import resource
import subprocess
import sys
import tempfile
import time
from pathlib import Path

import numpy as np

import zentrel

build = Path(sys.argv[1] if len(sys.argv) > 1 else "build")
wanted = int(sys.argv[2]) if len(sys.argv) > 2 else 100_000
program = build / "bin" / "zentrel"
folder = zentrel.default_data_folder()
db = zentrel.Database(folder)


def children_cpu():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def timed(run, cpu_clock):
    wall, cpu = time.perf_counter(), cpu_clock()
    run()
    return time.perf_counter() - wall, cpu_clock() - cpu


# A grid over Europe of about `wanted` points (sea points too, at 0 m), as the batch run lays it.
intervals = max(1, int(round(np.sqrt(wanted))) - 1)
west, east, south, north = -10.0, 30.0, 36.0, 60.0
lons, lats = np.meshgrid(np.linspace(west, east, intervals + 1), np.linspace(south, north, intervals + 1))
lons, lats = lons.ravel(), lats.ravel()
count = lons.size
threads = os.cpu_count() or 1
print(f"locations: {count}, variable Temp, quantities best and stderr, data folder {folder}")

db.estimate_many(lons[:200], lats[:200])  # station files read before the clocks start
many = {}
for t in sorted({1, threads}):
    wall, cpu = timed(lambda: db.estimate_many(lons, lats, var="Temp", quantities=("best", "stderr"), threads=t),
                      time.process_time)
    many[t] = (wall, cpu)
    print(f"estimate_many, {t} thread{'s' if t > 1 else ' '}:  {count / cpu:8.0f} locations per processor-second, "
          f"{count / wall:8.0f} per second ({wall:.2f} s)")

with tempfile.TemporaryDirectory() as out:
    command = [program, "batch", "--data", folder, "--grid", f"{west},{east},{intervals},{south},{north},{intervals}",
               "--vars", "Temp", "--quantities", "best,stderr", "--dem", "--threads", "1", "--out", out]
    wall, batch_cpu = timed(lambda: subprocess.run(command, capture_output=True, check=True), children_cpu)
print(f"zentrel batch, 1 thread:   {count / batch_cpu:8.0f} locations per processor-second "
      f"(with start-up and files, {wall:.2f} s)")

calls = 5
def estimates():
    for i in range(calls):
        subprocess.run([program, "estimate", "--data", folder, "--lon", str(12 + i * 0.1), "--lat", "41.9",
                        "--var", "Temp", "--json"], capture_output=True, check=True)
wall, cpu = timed(estimates, children_cpu)
cli_wall, cli_cpu = wall / calls, cpu / calls
print(f"zentrel estimate per location: {cli_cpu * 1000:.0f} ms of processor time, {cli_wall * 1000:.0f} ms a call")

print(f"estimate_many on 1 thread / batch engine on 1 thread (processor time): x{batch_cpu / many[1][1]:.2f}  (goal >= 0.8)")
print(f"estimate_many / one command line per location (processor time):    x{cli_cpu * count / many[threads][1]:.0f}  (goal >= 1000)")
print(f"estimate_many on {threads} threads / one command line per location (wall clock): x{cli_wall * count / many[threads][0]:.0f}")
