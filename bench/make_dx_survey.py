#!/usr/bin/env python3
"""Writes a raw survey file of a three-array instrument for throughput measurements.

    bench/make_dx_survey.py READINGS > /tmp/survey.raw

The file is the same for the same READINGS: a file header line, the identification line
(software version 5.2, model 421) and the sampling line, then READINGS readings at 10 Hz, each a
76-column D$ line (array 1 with milliseconds, voltage, temperature, pitch and roll) and a 62-column
X$ line (arrays 2 and 3), a GGA sentence with its checksum before every tenth reading, and "Z$".
About 148 bytes per reading: 1,000,000 readings make a file of about 150 MB.

Measure each code with the Release build, the standard input closed, for example:
    time build/quillet /tmp/survey.raw G 0.2 < /dev/null
"""

import sys


def gga(ms_of_day, k):
    """A GGA sentence of fix k at the given time, with its checksum."""
    hours, rest = divmod(ms_of_day // 10, 360000)
    minutes, centis = divmod(rest, 6000)
    lat_minutes = 7.0 + (k % 5000) * 0.0001
    lon_minutes = 31.0 + (k % 7000) * 0.0001
    body = ("GPGGA,%02d%02d%05.2f,48%07.4f,N,011%07.4f,E,1,08,0.9,%.1f,M,46.9,M,,"
            % (hours, minutes, centis / 100.0, lat_minutes, lon_minutes, 245.0 + (k % 50) / 10.0))
    checksum = 0
    for c in body:
        checksum ^= ord(c)
    return " G$%s*%02X" % (body, checksum)


def main():
    readings = int(sys.argv[1]) if len(sys.argv) > 1 else 1000000
    out = sys.stdout
    write = out.write
    write(" H$090000 BENCHDX1 261208 421\n")
    write(" C$000000 VELTOR-421 SN4242 SW VERSION 5.2a\n")
    write(" C$090000 Sample 10 Hz\n")
    start_ms = 9 * 3600 * 1000
    for i in range(readings):
        ms_of_day = (start_ms + i * 100) % (24 * 3600 * 1000)
        hours, rest = divmod(ms_of_day, 3600 * 1000)
        minutes, rest = divmod(rest, 60 * 1000)
        seconds, msec = divmod(rest, 1000)
        time = "%02d%02d%02d" % (hours, minutes, seconds)
        if i % 10 == 0:
            write(gga(ms_of_day, i // 10) + "\n")
        line = 1 + i // 500
        station = i % 100000
        r = (i * 7919) % 2000
        pitch = (i % 700) - 350  # through the tenths and the offset-300 ranges
        roll = 350 - (i % 701)
        write(" D$%s %3d %6d  %6d 1 %6d%6d%6d%6d %5d %5d %4d%4d\n"
              % (time, msec, line, station, 1000 + r, -250 + r % 100, 900 + r, 300 - r % 50,
                 12000 + r % 500, 29800 + r % 300, pitch, roll))
        write(" X$%s %3d %6d%6d%6d%6d%6d%6d%6d%6d\n"
              % (time, msec + 50, 2000 + r, -150 + r % 90, 1900 + r, 200 - r % 40, 3000 + r,
                 -50 + r % 80, 2900 + r, 100 - r % 30))
    write(" Z$\n")


if __name__ == "__main__":
    main()
