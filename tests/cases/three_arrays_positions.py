"""Derives the time and position columns of the C file of the three-array example on its own, and
compares them with the expected file.

    python3 three_arrays_positions.py example_three_arrays/in/three_arrays.raw \
            example_three_arrays/out/FIELD421.csv

Written from the column rules, not from the program: the reading times are the D$ stamps with
their milliseconds; the clock offset is the median of (fix time - midpoint of the readings
around its G$ line); each reading sits on a cubic Hermite curve through the fixes in local metres
(tangents from the neighbouring fixes, one-sided where a neighbour is over 2.5 s away), or holds
the last fix beyond 2.5 s. Positions are compared to within 1e-9 degree (0.1 mm); easting and
northing with GeographicLib's GeoConvert of the latitude and longitude to within 1 mm; elevation,
quality, datetime, utc, position, fix_age_s and comment_text exactly. Exit status 0 when all
agree.
"""

import csv
import math
import statistics
import subprocess
import sys

MAX_GAP = 2.5


def seconds_of(hhmmss):
    return int(hhmmss[0:2]) * 3600 + int(hhmmss[2:4]) * 60 + float(hhmmss[4:])


def degrees(text, width):
    return int(text[:width]) + float(text[width:]) / 60


def read_raw(path):
    readings = []  # logger time of each D$ line, in file order
    fixes = []     # (fix time, lat, lon, alt, quality, index of the reading after the G$ line)
    comments = []  # (index of the next reading, text)
    with open(path) as f:
        for line in f:
            line = line.rstrip("\r\n")
            if line.startswith(" D$"):
                readings.append(seconds_of(line[3:9]) + int(line[10:13]) / 1000)
            elif line.startswith(" G$"):
                body = line[3:line.index("*")]
                sum_ = 0
                for c in body:
                    sum_ ^= ord(c)
                if sum_ != int(line[line.index("*") + 1:][:2], 16):
                    continue
                p = body.split(",")
                if int(p[6]) > 0:
                    fixes.append((seconds_of(p[1]), degrees(p[2], 2), degrees(p[4], 3),
                                  float(p[9]), int(p[6]), len(readings)))
            elif line.startswith(" C$") and "Sample" not in line and "SW VERSION" not in line:
                comments.append((len(readings), line[10:].strip()))
    return readings, fixes, comments


def clock_offset(readings, fixes):
    diffs = []
    for t, _, _, _, _, after in fixes:
        if after == 0:
            logged = readings[0]
        elif after == len(readings):
            logged = readings[-1]
        else:
            logged = (readings[after - 1] + readings[after]) / 2
        diffs.append(t - logged)
    return statistics.median(diffs)


def metres_per_degree(lat):
    a, f = 6378137.0, 1 / 298.257222101
    e2 = f * (2 - f)
    s = math.sin(math.radians(lat))
    w = 1 - e2 * s * s
    east = a / math.sqrt(w) * math.cos(math.radians(lat)) * math.pi / 180
    north = a * (1 - e2) / (w * math.sqrt(w)) * math.pi / 180
    return east, north


def position(u, fixes):
    """(kind, lat, lon, alt, quality, age) of GPS time u."""
    before = [k for k, f in enumerate(fixes) if f[0] <= u]
    if not before:
        return None
    i = before[-1]
    fi = fixes[i]
    if i + 1 == len(fixes) or fixes[i + 1][0] - fi[0] > MAX_GAP:
        return "held", fi[1], fi[2], fi[3], fi[4], u - fi[0]
    east_m, north_m = metres_per_degree(fi[1])

    def xy(k):
        return ((fixes[k][2] - fi[2]) * east_m, (fixes[k][1] - fi[1]) * north_m)

    t0, t1 = fi[0], fixes[i + 1][0]
    h = t1 - t0
    p0, p1 = xy(i), xy(i + 1)
    if i > 0 and t0 - fixes[i - 1][0] <= MAX_GAP:
        pm, span = xy(i - 1), t1 - fixes[i - 1][0]
        m0 = ((p1[0] - pm[0]) / span, (p1[1] - pm[1]) / span)
    else:
        m0 = ((p1[0] - p0[0]) / h, (p1[1] - p0[1]) / h)
    if i + 2 < len(fixes) and fixes[i + 2][0] - t1 <= MAX_GAP:
        pp, span = xy(i + 2), fixes[i + 2][0] - t0
        m1 = ((pp[0] - p0[0]) / span, (pp[1] - p0[1]) / span)
    else:
        m1 = ((p1[0] - p0[0]) / h, (p1[1] - p0[1]) / h)
    s = (u - t0) / h
    c = (2 * s**3 - 3 * s**2 + 1, s**3 - 2 * s**2 + s, -2 * s**3 + 3 * s**2, s**3 - s**2)
    e = c[0] * p0[0] + c[1] * h * m0[0] + c[2] * p1[0] + c[3] * h * m1[0]
    n = c[0] * p0[1] + c[1] * h * m0[1] + c[2] * p1[1] + c[3] * h * m1[1]
    alt = fi[3] + s * (fixes[i + 1][3] - fi[3])
    return "interpolated", fi[1] + n / north_m, fi[2] + e / east_m, alt, fi[4], u - t0


def stamp(seconds):
    ms = round(seconds * 1000)
    return "2026-04-14T%02d:%02d:%02d.%03d" % (ms // 3600000, ms // 60000 % 60,
                                               ms // 1000 % 60, ms % 1000)


def main():
    readings, fixes, comments = read_raw(sys.argv[1])
    offset = clock_offset(readings, fixes)
    with open(sys.argv[2], newline="") as f:
        rows = list(csv.DictReader(f))
    problems = []
    projected = subprocess.run(
        ["GeoConvert", "-u", "-z", "31n", "-p", "6"], capture_output=True, text=True,
        input="".join("%s %s\n" % (r["latitude"], r["longitude"]) for r in rows)).stdout.split("\n")
    comment = ""
    for k, (r, t) in enumerate(zip(rows, readings)):
        for first, text in comments:
            if first == k:
                comment = text
        u = t + offset
        got = position(u, fixes)
        expect = {"datetime": stamp(t), "utc": stamp(u) + "Z",
                  "comment_text": comment if r["comment"] else ""}
        if got is None:
            expect.update(position="none", fix_age_s="", latitude="")
        else:
            kind, lat, lon, alt, quality, age = got
            expect.update(position=kind, gps_quality=str(quality),
                          fix_age_s=("%.3f" % age).rstrip("0").rstrip("."))
            if abs(float(r["latitude"]) - lat) > 1e-9 or abs(float(r["longitude"]) - lon) > 1e-9:
                problems.append("row %d: %s %s, derived %.10f %.10f"
                                % (k + 1, r["latitude"], r["longitude"], lat, lon))
            if abs(float(r["elevation"]) - alt) > 5e-5:
                problems.append("row %d: elevation %s, derived %f" % (k + 1, r["elevation"], alt))
            _, easting, northing = projected[k].split()
            if abs(float(r["x"]) - float(easting)) > 1e-3 or \
                    abs(float(r["y"]) - float(northing)) > 1e-3:
                problems.append("row %d: x y %s %s, GeoConvert %s %s"
                                % (k + 1, r["x"], r["y"], easting, northing))
        for name, value in expect.items():
            if r[name] != value:
                problems.append("row %d: %s %r, derived %r" % (k + 1, name, r[name], value))
    print("clock offset %.3f s, %d rows, %d fixes" % (offset, len(rows), len(fixes)))
    for p in problems[:20]:
        print(p)
    print("%d differences" % len(problems))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
