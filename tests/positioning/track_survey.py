"""Writes a survey from a known true path, for the test of the CSV file's positions in time.

The sensor is walked at 1.5 m/s up and down six 40 m lines 2 m apart, with half-circle turns of
1 m radius between them. The GPS antenna rides 1 m ahead of the sensor in the direction of travel.
Everything follows from three clocks, the way the field equipment behaves:
  - GPS time: the receiver computes a fix of the antenna at every whole GPS second and sends its
    GGA sentence (minutes with seven decimals), which reaches the logger LATENCY seconds later;
  - the logger clock runs CLOCK_OFFSET seconds behind GPS time;
  - the logger samples every SAMPLE_INTERVAL seconds of its own clock (a little slower than
    10 Hz, so the readings' phase drifts against the GPS second) and stamps each reading with its
    clock, with milliseconds (D$ + X$) or without (79-column T$).
A G$ line is written after the last reading the logger took before the sentence arrived: where it
falls between the readings follows from the clocks alone. Fixes are missing for DROPOUT seconds.

Run as a program it writes both kinds of survey into a folder with the true positions of every
reading (truth_*.csv): station, GPS time, sensor east/north, antenna east/north in metres from
the origin, whether the reading lies on a straight line.
"""

import math
import os
import sys

LAT0 = 52.0135
LON0 = 5.6601
ALTITUDE = 45.125
SPEED = 1.5                # m/s along the path
LINE_LENGTH = 40.0         # m
LINE_SPACING = 2.0         # m, so the turns are half circles of 1 m radius
LINES = 6
ANTENNA_AHEAD = 1.0        # m
LATENCY = 0.2              # s from a fix's time to its sentence reaching the logger
CLOCK_OFFSET = 7200.35     # s: GPS time minus logger time
SAMPLE_INTERVAL = 0.1002   # s of logger clock between readings
START_GPS = 12 * 3600 + 14 * 60 + 3.27  # GPS time of the first reading
DROPOUT = (START_GPS + 8.0, START_GPS + 16.0)  # no fix in this stretch (on line 1)
DATE = "250611"

# GRS 80 radii of curvature at the origin: metres per degree east and north.
_A = 6378137.0
_F = 1 / 298.257222101
_E2 = _F * (2 - _F)
_S = math.sin(math.radians(LAT0))
_W = 1 - _E2 * _S * _S
M_PER_DEG_EAST = _A / math.sqrt(_W) * math.cos(math.radians(LAT0)) * math.pi / 180
M_PER_DEG_NORTH = _A * (1 - _E2) / (_W * math.sqrt(_W)) * math.pi / 180


def to_degrees(east, north):
    return LAT0 + north / M_PER_DEG_NORTH, LON0 + east / M_PER_DEG_EAST


def to_metres(lat, lon):
    return (lon - LON0) * M_PER_DEG_EAST, (lat - LAT0) * M_PER_DEG_NORTH


TURN_LENGTH = math.pi * LINE_SPACING / 2
LEG = LINE_LENGTH + TURN_LENGTH


def sensor_at(s):
    """Position (east, north) and unit direction of travel of the sensor after s metres of path;
    before the start and after the end the path goes on straight. Also whether it is on a line."""
    if s < 0:
        return (0.0, s), (0.0, 1.0), True
    leg = min(int(s // LEG), LINES - 1)
    along = s - leg * LEG
    x = leg * LINE_SPACING
    up = leg % 2 == 0
    if along <= LINE_LENGTH or leg == LINES - 1:
        north = along if up else LINE_LENGTH - along
        return (x, north), (0.0, 1.0 if up else -1.0), True
    # Half circle to the next line: over the top after an up line, under the bottom after a down.
    angle = (along - LINE_LENGTH) / (LINE_SPACING / 2)  # 0..pi
    r = LINE_SPACING / 2
    cx = x + r
    if up:
        cy = LINE_LENGTH
        pos = (cx - r * math.cos(angle), cy + r * math.sin(angle))
        direction = (math.sin(angle), math.cos(angle))
    else:
        cy = 0.0
        pos = (cx - r * math.cos(angle), cy - r * math.sin(angle))
        direction = (math.sin(angle), -math.cos(angle))
    return pos, direction, False


def path_end():
    return LINES * LINE_LENGTH + (LINES - 1) * TURN_LENGTH


def positions(gps_time):
    s = SPEED * (gps_time - START_GPS)
    (e, n), (de, dn), straight = sensor_at(s)
    return (e, n), (e + ANTENNA_AHEAD * de, n + ANTENNA_AHEAD * dn), straight


def on_straight(gps_time):
    """On a line, and so 1.5 s before and after: the heading window sees no turn."""
    return all(positions(gps_time + d)[2] for d in (-1.5, 0.0, 1.5))


def clock(seconds):
    seconds = int(math.floor(seconds)) % 86400
    return "%02d%02d%02d" % (seconds // 3600, seconds // 60 % 60, seconds % 60)


def checksum(body):
    value = 0
    for c in body:
        value ^= ord(c)
    return value


def angle_text(degrees, width):
    whole = int(degrees)
    return "%0*d%010.7f" % (width, whole, (degrees - whole) * 60)


def gga_line(gps_time):
    _, (e, n), _ = positions(gps_time)
    lat, lon = to_degrees(e, n)
    body = "GPGGA,%s.00,%s,N,%s,E,4,14,0.6,%.3f,M,47.3,M,1.0,0000" % (
        clock(gps_time), angle_text(lat, 2), angle_text(lon, 3), ALTITUDE)
    return " G$%s*%02X" % (body, checksum(body))


def reading_lines(kind, station, logger_time):
    counts = "%6d%6d%6d%6d" % (250, 37, 273, -25)
    if kind == "D":
        ms = int(round(logger_time * 1000)) % 1000
        stamp = clock(round(logger_time * 1000) / 1000)
        d = " D$%s %03d %6d  %6d 1 %s %5d %5d %4d%4d" % (
            stamp, ms, 1, station, counts, 12640, 29430, 3, -5)
        x = " X$%s %03d %s%s" % (stamp, ms, counts, counts)
        return [d, x]
    return [" T$%s %6d CONV %6d%6d%s %5d %5d %4d%4d" % (
        clock(logger_time), station, 0, 0, counts, 12710, 29690, 3, -5)]


def write_survey(folder, kind):
    """Writes survey_<kind>.raw and truth_<kind>.csv into folder; returns their paths."""
    start_logger = START_GPS - CLOCK_OFFSET
    end_gps = START_GPS + path_end() / SPEED
    name = "TRACK%s01" % kind
    if kind == "D":
        head = [" H$%s %s %s 421" % (clock(start_logger - 2), name, DATE),
                " C$000000 VELTOR-421 SN0421 SW VERSION 5.2a",
                " C$%s Sample 10 Hz" % clock(start_logger - 1)]
    else:
        head = [" H$%s %s %s 1" % (clock(start_logger - 2), name, DATE),
                " C$000000 VELTOR-1   SN1107 SW VERSION 4.1a",
                " C$%s Sample 10 Hz" % clock(start_logger - 1)]
    lines = list(head)
    truth = ["station,gps_time,sensor_east,sensor_north,antenna_east,antenna_north,straight"]
    fix_time = math.floor(START_GPS) - 1.0
    station = 0
    logger_time = start_logger
    while logger_time + CLOCK_OFFSET <= end_gps:
        gps_time = logger_time + CLOCK_OFFSET
        # Every sentence that reached the logger before this reading is logged before it.
        while fix_time + LATENCY <= gps_time:
            if not DROPOUT[0] <= fix_time < DROPOUT[1]:
                lines.append(gga_line(fix_time))
            fix_time += 1.0
        station += 1
        lines += reading_lines(kind, station, logger_time)
        (se, sn), (ae, an), _ = positions(gps_time)
        truth.append("%d,%.4f,%.6f,%.6f,%.6f,%.6f,%d" % (
            station, gps_time, se, sn, ae, an, on_straight(gps_time)))
        logger_time = start_logger + station * SAMPLE_INTERVAL
    lines.append(" Z$")
    raw = os.path.join(folder, "survey_%s.raw" % kind)
    with open(raw, "w", newline="") as f:
        f.write("".join(line + "\r\n" for line in lines))
    truth_path = os.path.join(folder, "truth_%s.csv" % kind)
    with open(truth_path, "w") as f:
        f.write("\n".join(truth) + "\n")
    return raw, truth_path


if __name__ == "__main__":
    out = sys.argv[1] if len(sys.argv) > 1 else "."
    for k in ("D", "T"):
        print(*write_survey(out, k))
