#!/usr/bin/env python3
"""Writes a realistic raw survey file for throughput and memory measurements.

    bench/make_survey.py KIND READINGS > survey.raw

KIND is "dx" (three-array instrument, software version 5.2, model 421: per reading a 76-column
D$ line with array 1 and a 62-column X$ line with arrays 2 and 3, S$ status lines now and then)
or "t" (single-array instrument: per reading an 83-column T$ line). Both kinds hold what a day in
the field gives: a file header line, the identification and sampling lines, operator comments now
and then, a GGA sentence with its checksum before every tenth reading at 10 Hz, walking up and
down parallel survey lines, and "Z$" at the end. Lines end in CR LF as the logger writes them.

The file depends on KIND and READINGS alone. About 150 bytes per reading for "dx" (1,000,000
readings make about 150 MB) and 93 for "t". scripts/generate_raw.py makes the other kind of test
file: short, mixed, full of damaged lines.
"""

import sys

READINGS_PER_SURVEY_LINE = 1500  # 150 s of walking at 10 Hz
COMMENTS = ["fence post", "wet ground", "pipe crossing", "tree", "power line 20 m E"]


def checksum(body):
    value = 0
    for c in body:
        value ^= ord(c)
    return value


def position(i):
    """Latitude and longitude in degrees of reading i: lines 2 m apart, walked north then south."""
    survey_line, along = divmod(i, READINGS_PER_SURVEY_LINE)
    if survey_line % 2:
        along = READINGS_PER_SURVEY_LINE - 1 - along
    north_m = along * 0.12  # 1.2 m/s
    east_m = survey_line * 2.0
    return 48.117 + north_m / 111200.0, 11.52 + east_m / 74300.0


def gga(ms_of_day, i):
    """The GGA sentence of the fix taken at reading i, as a G$ line."""
    lat, lon = position(i)
    hours, rest = divmod(ms_of_day // 10, 360000)
    minutes, centis = divmod(rest, 6000)
    lat_deg, lon_deg = int(lat), int(lon)
    body = ("GPGGA,%02d%02d%05.2f,%02d%08.5f,N,%03d%08.5f,E,%d,%02d,%.1f,%.1f,M,46.9,M,,"
            % (hours, minutes, centis / 100.0, lat_deg, (lat - lat_deg) * 60, lon_deg,
               (lon - lon_deg) * 60, 4 if (i // 10) % 97 else 5, 8 + (i // 3000) % 5,
               0.7 + (i // 10) % 4 * 0.1, 245.0 + (i // 10) % 50 / 10.0))
    return " G$%s*%02X\r\n" % (body, checksum(body))


def clock(ms_of_day):
    hours, rest = divmod(ms_of_day, 3600 * 1000)
    minutes, rest = divmod(rest, 60 * 1000)
    seconds, msec = divmod(rest, 1000)
    return "%02d%02d%02d" % (hours, minutes, seconds), msec


def dx_reading(write, i, time, msec):
    line = 1 + i // READINGS_PER_SURVEY_LINE
    station = i % READINGS_PER_SURVEY_LINE
    r = (i * 7919) % 2000
    pitch = (i % 700) - 350  # through the tenths and the offset-300 ranges
    roll = 350 - (i % 701)
    write(" D$%s %3d %6d  %6d 1 %6d%6d%6d%6d %5d %5d %4d%4d\r\n"
          % (time, msec, line, station, 1000 + r, -250 + r % 100, 900 + r, 300 - r % 50,
             12000 + r % 500, 29800 + r % 300, pitch, roll))
    write(" X$%s %3d %6d%6d%6d%6d%6d%6d%6d%6d\r\n"
          % (time, msec + 50, 2000 + r, -150 + r % 90, 1900 + r, 200 - r % 40, 3000 + r,
             -50 + r % 80, 2900 + r, 100 - r % 30))
    if i % 600 == 300:  # once a minute
        write(" S$%s %5d %5d %6d%6d\r\n" % (time, 12100 + i % 300, 29900 + i % 200,
                                             (i % 900) - 450, 450 - (i % 901)))


def t_reading(write, i, time, msec):
    r = (i * 7919) % 2000
    write(" T$%s %3d %6d CONV %6d%6d%6d%6d%6d%6d %5d %5d %4d%4d\r\n"
          % (time, msec, i % 1000000, 1000 + r, -250 + r % 100, 900 + r, 300 - r % 50,
             2000 + r, -150 + r % 90, 12000 + r % 500, 29800 + r % 300, (i % 700) - 350,
             350 - (i % 701)))


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in ("dx", "t"):
        sys.exit("usage: make_survey.py dx|t READINGS")
    kind, readings = sys.argv[1], int(sys.argv[2])
    out = sys.stdout
    out.reconfigure(newline="")
    write = out.write
    if kind == "dx":
        write(" H$090000 BENCHDX1 261208 421\r\n")
        write(" C$000000 VELTOR-421 SN4242 SW VERSION 5.2a\r\n")
        reading = dx_reading
    else:
        write(" H$090000 BENCHT01 261208 4\r\n")
        write(" C$000000 VELTOR-4   SN1234 SW VERSION 4.1\r\n")
        reading = t_reading
    write(" C$090000 Sample 10 Hz\r\n")
    start_ms = 9 * 3600 * 1000
    for i in range(readings):
        ms_of_day = (start_ms + i * 100) % (24 * 3600 * 1000)
        time, msec = clock(ms_of_day)
        if i % 10 == 0:
            write(gga(ms_of_day, i))
        if i % READINGS_PER_SURVEY_LINE == 0:
            write(" C$%s Line %d start\r\n" % (time, 1 + i // READINGS_PER_SURVEY_LINE))
        elif i % 2300 == 1100:
            write(" C$%s %s\r\n" % (time, COMMENTS[i // 2300 % len(COMMENTS)]))
        reading(write, i, time, msec)
    write(" Z$\r\n")


if __name__ == "__main__":
    main()
