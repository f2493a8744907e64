"""Great-circle distances and a grid that finds the stations within a distance of each other."""
import math

EARTH_RADIUS_KM = 6370.997


def distance_km(lon1, lat1, lon2, lat2):
    """Great-circle distance (haversine) in km."""
    p1, p2 = math.radians(lat1), math.radians(lat2)
    dp, dl = p2 - p1, math.radians(lon2 - lon1)
    a = math.sin(dp / 2) ** 2 + math.cos(p1) * math.cos(p2) * math.sin(dl / 2) ** 2
    return 2 * EARTH_RADIUS_KM * math.asin(min(1.0, math.sqrt(a)))


def close_pairs(points, km):
    """Index pairs (i, j), i < j, of the (lon, lat) points within km of each other, in a fixed order."""
    cells = {}
    def cell(lon, lat):
        x = math.cos(math.radians(lat)) * math.cos(math.radians(lon))
        y = math.cos(math.radians(lat)) * math.sin(math.radians(lon))
        z = math.sin(math.radians(lat))
        size = km / EARTH_RADIUS_KM
        return (math.floor(x / size), math.floor(y / size), math.floor(z / size))
    keys = [cell(lon, lat) for lon, lat in points]
    for i, c in enumerate(keys):
        cells.setdefault(c, []).append(i)
    pairs = []
    for i, (cx, cy, cz) in enumerate(keys):
        for dx in (-1, 0, 1):
            for dy in (-1, 0, 1):
                for dz in (-1, 0, 1):
                    for j in cells.get((cx + dx, cy + dy, cz + dz), ()):
                        if j > i and distance_km(*points[i], *points[j]) <= km:
                            pairs.append((i, j))
    return sorted(pairs)
