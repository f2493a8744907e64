#!/usr/bin/python3
# Copyright (c) The Zentrel developers. MIT licence.
"""Places away from the stations, with the range their climate lies in, estimated by each method.

Held-out stations only judge a method among the stations; these places judge it where users
ask about a place with no station near (highlands above lowland networks, ice sheets, deserts,
escarpments). The ranges are rough normals from the literature, wide on purpose. A place
outside its range is marked *; the score adds how far outside: K for temperatures, 5 x the
log ratio for precipitation and vapour pressure (20 % too much or too little counts about 1).

Usage: scripts/places.py [--build DIR] [METHOD ...]   (default: adaptive kriging)
"""
import json
import math
import os
import subprocess
import sys

# name, lon, lat, altitude (None: the elevation raster's), variable, month (13: the year), low, high
PLACES = [
    ("Addis Ababa", 38.74, 9.03, 2355, "Temp", 13, 15.5, 17),
    ("Addis Ababa April", 38.74, 9.03, 2355, "Temp", 4, 17.5, 19.5),
    ("Ethiopian highlands Jan", 38.5, 8.5, None, "Temp", 1, 15.5, 18.5),
    ("Addis Ababa", 38.74, 9.03, 2355, "Prec", 13, 1000, 1300),
    ("Addis Ababa July", 38.74, 9.03, 2355, "Prec", 7, 200, 300),
    ("Gondar", 37.4, 12.6, 2130, "Temp", 13, 18.5, 21),
    ("Nairobi", 36.8, -1.3, 1700, "Temp", 13, 18, 20),
    ("Nairobi", 36.8, -1.3, 1700, "Prec", 13, 750, 1100),
    ("Greenland's ice July", -42.5, 74.5, None, "Temp", 7, -14, -10),
    ("Greenland's ice Jan", -35.5, 71.5, None, "Temp", 1, -40, -33),
    ("Greenland's summit", -38.5, 72.6, 3216, "Temp", 13, -32, -27),
    ("Dome C", 123.3, -75.1, 3230, "Temp", 13, -54, -49),
    ("Madagascar escarpment July", 48.5, -17.5, None, "Prec", 7, 150, 250),
    ("Antananarivo", 47.52, -18.9, 1280, "Temp", 13, 18, 19.5),
    ("Antananarivo July", 47.52, -18.9, 1280, "Prec", 7, 5, 15),
    ("Antananarivo", 47.52, -18.9, 1280, "Prec", 13, 1200, 1500),
    ("Andes 31.5 S Jan", -70.5, -31.5, None, "Prec", 1, 3, 15),
    ("Central Peruvian Andes", -76.5, -11.5, None, "Prec", 13, 600, 1000),
    ("Oruro", -67.1, -17.97, 3700, "Temp", 13, 9, 11.5),
    ("Quito", -78.5, -0.2, 2850, "Temp", 13, 13, 15),
    ("Quito", -78.5, -0.2, 2850, "Prec", 13, 900, 1300),
    ("Bogota", -74.1, 4.7, 2600, "Temp", 13, 12.5, 14.5),
    ("Bogota", -74.1, 4.7, 2600, "Prec", 13, 700, 1100),
    ("Mexico City", -99.1, 19.4, 2240, "Temp", 13, 15.5, 17.5),
    ("Atacama at 2500 m", -69.5, -23.5, 2500, "Prec", 13, 0, 50),
    ("Southern Chile's coast", -73.5, -47.0, None, "Prec", 13, 2500, 6000),
    ("Eastern Patagonia", -69.0, -45.0, None, "Prec", 13, 120, 350),
    ("Amazon 65 W 5 S", -65.0, -5.0, None, "Temp", 13, 26, 28),
    ("Amazon 65 W 5 S", -65.0, -5.0, None, "Prec", 13, 2200, 3200),
    ("Congo basin", 20.0, 0.0, None, "Prec", 13, 1500, 2200),
    ("Kufra", 23.3, 24.2, None, "Prec", 13, 0, 10),
    ("Central Sahara", 10.0, 25.0, None, "Prec", 13, 0, 40),
    ("Kathmandu", 85.3, 27.7, 1340, "Temp", 13, 17.5, 19.5),
    ("Kathmandu", 85.3, 27.7, 1340, "Prec", 13, 1300, 1600),
    ("Mizoram July", 93.0, 23.0, None, "Prec", 7, 350, 600),
    ("Western Ghats at 900 m", 75.75, 12.4, 900, "Prec", 13, 2500, 4500),
    ("Kabul", 69.2, 34.5, 1790, "Temp", 13, 11, 14),
    ("Tibet 90 E 33 N", 90.0, 33.0, None, "Temp", 13, -6, -1),
    ("Tibet 90 E 33 N", 90.0, 33.0, None, "Prec", 13, 250, 500),
    ("Lhasa", 91.1, 29.65, 3650, "Temp", 13, 7, 9.5),
    ("Lhasa", 91.1, 29.65, 3650, "Prec", 13, 350, 550),
    ("Yakutian upland Jan", 139.25, 68.75, None, "Vap", 1, 0.08, 0.15),
    ("Yakutian upland July", 139.25, 68.75, None, "Vap", 7, 7.5, 10),
]


def value(program, data, method, lon, lat, alt, var, month):
    cmd = [program, "estimate", "--lon", str(lon), "--lat", str(lat), "--var", var, "--json", "--method", method]
    if alt is not None:
        cmd += ["--alt", str(alt)]
    env = dict(os.environ, ZENTREL_DATA=data)
    best = json.loads(subprocess.run(cmd, capture_output=True, text=True, env=env, check=True).stdout)["result"]["Best"]
    if month <= 12:
        return best[month - 1]
    return sum(best[:12]) / (1 if var == "Prec" else 12)


def main(argv):
    build = "build"
    if argv[:1] == ["--build"]:
        build, argv = argv[1], argv[2:]
    methods = argv or ["adaptive", "kriging"]
    program, data = os.path.join(build, "bin", "zentrel"), os.path.join(build, "bin", "ZentrelData")
    score = {m: [0, 0.0] for m in methods}
    print("%-28s %5s %4s %13s" % ("Place", "Var", "Mon", "Range") + "".join("%10s" % m[:9] for m in methods))
    for name, lon, lat, alt, var, month, low, high in PLACES:
        row = "%-28s %5s %4s %13s" % (name, var, "year" if month == 13 else month, "%g..%g" % (low, high))
        for method in methods:
            v = value(program, data, method, lon, lat, alt, var, month)
            outside = v < low or v > high
            if outside:
                bound = low if v < low else high
                score[method][0] += 1
                if var == "Prec":
                    score[method][1] += 5 * abs(math.log((v + 10) / (bound + 10)))
                elif var == "Vap":
                    score[method][1] += 5 * abs(math.log(max(v, 0.01) / bound))
                else:
                    score[method][1] += abs(v - bound)
            row += "%10s" % (("%.2f%s" if var == "Vap" else "%.1f%s") % (v, "*" if outside else ""))
        print(row)
    print("%-53s" % "Outside / score" + "".join("%10s" % ("%d / %.1f" % tuple(score[m])) for m in methods))


if __name__ == "__main__":
    main(sys.argv[1:])
