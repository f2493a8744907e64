#!/usr/bin/python3
# Reference numbers of LeaveOneOut.* in tests/core/engine_test.cpp: the method step by step
# in double precision (altitude slope, plane, shadowed inverse distances, each station from the others).
import math
import struct
R = 6370.997
PI_D = 3.1415926535

def f32(v):  # rounded to single precision
    return struct.unpack('f', struct.pack('f', v))[0]

def dist(lon1, lat1, lon2, lat2):
    # radians in single precision with pi = 3.1415927, and the cosine rounded to single precision:
    # at some tens of kilometres that rounding moves a distance by a few metres.
    r = lambda d: f32(f32(f32(d) / 180) * f32(3.1415927))
    x = f32(math.sin(r(lat1)) * math.sin(r(lat2)) + math.cos(r(lat1)) * math.cos(r(lat2)) * math.cos(f32(r(lon2) - r(lon1))))
    if 1 - x * x < 1e-10: return 0.0
    return R * (2 * math.atan(1) + math.atan(-x / math.sqrt(1 - x * x)))

def direction(lon1, lat1, lon2, lat2):
    r = lambda d: d / 180 * PI_D
    cPT = math.sin(r(lat2)); cPV = math.sin(r(lat1))
    cVT = math.sin(r(lat1)) * math.sin(r(lat2)) + math.cos(r(lat1)) * math.cos(r(lat2)) * math.cos(r(lon1) - r(lon2))
    cosA = (cPT - cPV * cVT) / (math.sqrt(1 - cPV ** 2) * math.sqrt(1 - cVT ** 2))
    if cosA > 0.9999: A = 0.0
    elif cosA < -0.9999: A = 180.0
    else: A = (2 * math.atan(1) + math.atan(-cosA / math.sqrt(1 - cosA ** 2))) * 180 / PI_D
    west = (lon1 - 180 < lon2 < lon1) if lon1 >= 0 else (lon2 > lon1 + 180 or lon2 < lon1)
    return 360 - A if west else A

def shadowed(w, d, dirs, others, shad=1.0):
    # w, d, dirs: dicts over `others`; returns shadowed raw weights
    out = {}
    for j in others:
        f = w[j]
        for k in others:
            if k != j and d[k] < d[j]:
                c = math.cos((dirs[j] - dirs[k]) * PI_D / 180)
                f *= 1 - shad * (1 - d[k] / d[j]) * (1 - (1 - c) * 0.5)
        out[j] = f
    return out

def field(m, lon, lat, alt):
    if m == 1: return 8 - 0.006 * alt + 1.5 * (lon - 10) ** 2 - 2 * (lat - 45) * (lon - 10)
    return 20 - 0.005 * alt + 3 * (lat - 45) ** 2 + 0.5 * (lon - 10)

def run(stations, loc, shad=1.0):
    n = len(stations)
    lon0, lat0, alt0 = loc
    out = {}
    for m in (1, 7):
        data = [field(m, *s) for s in stations]
        xs = [s[2] for s in stations]
        Sx = sum(xs); Sy = sum(data); Sxy = sum(x * y for x, y in zip(xs, data)); Sxx = sum(x * x for x in xs)
        vg = (Sx * Sy - n * Sxy) / (Sx * Sx - n * Sxx)
        x1 = [s[0] - lon0 for s in stations]; x2 = [s[1] - lat0 for s in stations]
        y = [(alt0 - s[2]) * vg + d for s, d in zip(stations, data)]
        S1, S2, Sy2 = sum(x1), sum(x2), sum(y)
        S11 = sum(a * a for a in x1); S22 = sum(b * b for b in x2); S12 = sum(a * b for a, b in zip(x1, x2))
        S1y = sum(a * c for a, c in zip(x1, y)); S2y = sum(b * c for b, c in zip(x2, y))
        A = n * S11 - S1 * S1; B = n * S22 - S2 * S2; C = n * S1y - Sy2 * S1; D = n * S2y - Sy2 * S2; E = n * S12 - S1 * S2
        lat_g = (D * A - C * E) / (B * A - E * E)
        lon_g = (D - B * lat_g) / E
        moved = lambda s, d, to: d + (to[2] - s[2]) * vg + (to[0] - s[0]) * lon_g + (to[1] - s[1]) * lat_g
        # weighted estimate at the location
        idx = range(n)
        d = {i: dist(lon0, lat0, stations[i][0], stations[i][1]) for i in idx}
        dirs = {i: direction(lon0, lat0, stations[i][0], stations[i][1]) for i in idx}
        w = shadowed({i: 1 / d[i] for i in idx}, d, dirs, list(idx), shad)
        sw = sum(w.values())
        est = sum(w[i] / sw * moved(stations[i], data[i], loc) for i in idx)
        # leave one out
        errs = []
        for i in idx:
            oth = [j for j in idx if j != i]
            si = stations[i]
            dd = {j: dist(si[0], si[1], stations[j][0], stations[j][1]) for j in oth}
            dr = {j: direction(si[0], si[1], stations[j][0], stations[j][1]) for j in oth}
            ww = shadowed({j: 1 / dd[j] for j in oth}, dd, dr, oth, shad)
            s = sum(ww.values())
            e = sum(ww[j] / s * moved(stations[j], data[j], si) for j in oth) - data[i]
            errs.append(e)
        bias = sum(errs) / n
        se = math.sqrt(sum((e - bias) ** 2 for e in errs) / n)
        se1 = math.sqrt(sum((e - bias) ** 2 for e in errs) / (n - 1))
        out[m] = dict(vg=vg, lon_g=lon_g, lat_g=lat_g, weighted=est, bias=bias, stderr=se, best=est - bias, stderr_n1=se1)
    return out

S = [(10.30, 45.10, 200), (9.60, 45.25, 800), (10.55, 44.70, 350), (9.85, 44.55, 1200),
     (10.90, 45.45, 150), (9.20, 44.95, 600), (10.15, 45.80, 950)]
loc = (10.0, 45.0, 450)
for k in (7, 6):
    print(k, "stations")
    for m, v in run(S[:k], loc).items():
        print(" month", m, " ".join("%s=%.6f" % kv for kv in v.items()))
print("7 stations, shadow weight 0.5")
for m, v in run(S, loc, 0.5).items():
    print(" month", m, " ".join("%s=%.6f" % kv for kv in v.items()))
