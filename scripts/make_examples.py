#!/usr/bin/env python3
"""Writes the example raw files of examples/, one per instrument generation.

    scripts/make_examples.py [FOLDER]      (default: examples/ of this repository)

Each file is what a logger records on a short survey: the file header line, the instrument's
identification and sampling lines, then a few survey lines walked up and down a field, with a
GGA fix every second (valid checksums, a few metres per second along the lines, plausible
altitude, satellites and HDOP), readings at the instrument's rate whose conductivity and
in-phase values vary smoothly over the ground with a little noise and one buried pipe, and the
operator's comments at the ends of the lines and at the pipe marker. The older $PDLMT instrument
writes no header or identification line; its length code is asked for (unattended: 1 m).

The files depend on nothing but this script (fixed seeds), so running it again gives the same
bytes; commit its output with it. The three-array file is also the input of the case
tests/cases/example_three_arrays and the EMS file that of tests/cases/example_ems_ice, whose
expected files are derived without the program: copy a changed file into its case's in/ folders
and derive the expected files again as the case's HOW file says.
"""

import math
import os
import random
import sys

ARRAY_GAP_M = 2.0  # distance between neighbouring survey lines
PIPE_NORTH_M = 13.0  # a buried metal pipe crosses every line here


def checksum(body):
    value = 0
    for c in body:
        value ^= ord(c)
    return value


def gga_line(seconds_of_day, lat, lon, fix):
    """A G$ line holding the GGA sentence of one fix; fix = (quality, satellites, hdop, alt)."""
    quality, sats, hdop, alt = fix
    hours, rest = divmod(seconds_of_day, 3600)
    minutes, seconds = divmod(rest, 60)
    lat_deg, lon_deg = int(lat), int(lon)
    body = ("GPGGA,%02d%02d%02d.00,%02d%08.5f,N,%03d%08.5f,E,%d,%02d,%.1f,%.1f,M,47.3,M,,"
            % (hours, minutes, seconds, lat_deg, (lat - lat_deg) * 60, lon_deg,
               (lon - lon_deg) * 60, quality, sats, hdop, alt))
    return " G$%s*%02X" % (body, checksum(body))


def clock(seconds_of_day):
    hours, rest = divmod(int(seconds_of_day), 3600)
    minutes, seconds = divmod(rest, 60)
    return "%02d%02d%02d" % (hours, minutes, seconds)


def stamp(t):
    """The time of a reading as the logger writes it: hhmmss and the milliseconds."""
    ms = int(round(t * 1000))
    return clock(ms // 1000), ms % 1000


class Ground:
    """Apparent conductivity (mS/m) and in-phase (ppt) of a receiver at a spacing: a wetter,
    more conductive layer at depth that wider spacings see more of, a gentle trend across the
    field, and a pipe that shows as a sharp in-phase low and a conductivity dip."""

    def __init__(self, rng, top, deep):
        self.rng = rng
        self.top = top
        self.deep = deep

    def conductivity(self, east, north, spacing, prp):
        depth_share = 1.0 - math.exp(-spacing / (2.2 if prp else 3.0))
        value = self.top + (self.deep - self.top) * depth_share
        value += 2.5 * math.sin(north / 9.0 + east / 5.0) + 0.15 * north
        value -= 4.0 * self.pipe(north, spacing)
        return value + self.rng.gauss(0.0, 0.15 + 0.05 * spacing)

    def inphase(self, north, spacing, prp):
        value = (0.35 if not prp else -0.2) * spacing
        value -= (5.0 if not prp else 2.5) * self.pipe(north, spacing)
        return value + self.rng.gauss(0.0, 0.03)

    @staticmethod
    def pipe(north, spacing):
        width = 0.6 + 0.4 * spacing
        return math.exp(-((north - PIPE_NORTH_M) / width) ** 2)


class Walk:
    """Survey lines walked north and south in turn, ARRAY_GAP_M apart, at `speed` m/s, with a
    pause to turn between them. Yields the time and position of every reading."""

    def __init__(self, lat0, lon0, start_s, lines, length_m, speed, rate_hz):
        self.lat0, self.lon0 = lat0, lon0
        self.start_s = start_s
        self.lines, self.length_m, self.speed, self.rate_hz = lines, length_m, speed, rate_hz

    def latlon(self, east, north):
        return (self.lat0 + north / 111_230.0,
                self.lon0 + east / (111_320.0 * math.cos(math.radians(self.lat0))))

    def survey_lines(self):
        """For each line: its number and the readings as (time s, east m, north m)."""
        t = self.start_s
        per_line = int(self.length_m / self.speed * self.rate_hz)
        for index in range(self.lines):
            east = index * ARRAY_GAP_M
            readings = []
            for k in range(per_line):
                along = k * self.speed / self.rate_hz
                north = along if index % 2 == 0 else self.length_m - along
                readings.append((t + k / self.rate_hz, east, north))
            yield index + 1, readings
            t += per_line / self.rate_hz + 12  # the walk to the next line


def fix_at(rng, second, base_alt):
    quality = 2 if second % 97 > 20 else 1  # differential corrections come and go
    sats = 9 + (second // 40) % 3
    hdop = 0.8 + 0.1 * ((second // 25) % 3)
    return quality, sats, hdop, base_alt + 0.3 * math.sin(second / 30.0) + rng.gauss(0, 0.05)


def array_counts(ground, east, north, spacing):
    """The four logged counts of one coil array: HCP conductivity (0.1 mS/m), HCP in-phase
    (0.01 ppt), PRP conductivity and PRP in-phase, the PRP coils 0.1 m further apart."""
    return [round(ground.conductivity(east, north, spacing, False) * 10),
            round(ground.inphase(north, spacing, False) * 100),
            round(ground.conductivity(east, north, spacing + 0.1, True) * 10),
            round(ground.inphase(north, spacing + 0.1, True) * 100)]


class Logger:
    """Collects the lines of a raw file; GGA lines are due once every whole second."""

    def __init__(self, walk, rng, base_alt, dropout=()):
        self.walk, self.rng, self.base_alt = walk, rng, base_alt
        self.dropout = set(dropout)
        self.lines = []
        self.last_fix_second = None

    def put(self, text):
        self.lines.append(text)

    def gps(self, t, east, north):
        second = int(t)
        if second == self.last_fix_second or second in self.dropout:
            return
        self.last_fix_second = second
        lat, lon = self.walk.latlon(east, north)
        self.put(gga_line(second, lat, lon, fix_at(self.rng, second, self.base_alt)))

    def comment(self, t, text):
        self.put(" C$%s %s" % (clock(t), text))

    def write(self, path):
        with open(path, "w", newline="\n") as out:
            out.write("\n".join(self.lines) + "\n")


def attitude(t, amplitude):
    """Pitch and roll of a carried instrument: a slow sway with the walking rhythm."""
    return (amplitude * math.sin(t * 2.1) + 3 * math.sin(t / 7.0),
            amplitude * 0.7 * math.sin(t * 4.2 + 1.0) - 2)


def survey(logger, readings_of_line, t_end_comment=0.5):
    """Walks every line: start comment, readings with fixes, pipe marker, end comment."""
    for number, readings in logger.walk.survey_lines():
        t0, east0, north0 = readings[0]
        logger.gps(t0, east0, north0)
        logger.comment(t0, "LINE %d START" % number)
        marked = False
        for i, (t, east, north) in enumerate(readings):
            logger.gps(t, east, north)
            if not marked and abs(north - PIPE_NORTH_M) < 0.6:
                logger.comment(t, "PIPE MARKER")
                marked = True
            readings_of_line(logger, number, i, t, east, north)
        logger.comment(readings[-1][0] + t_end_comment, "LINE %d END" % number)


def three_arrays(folder):
    """Three-array instrument (1, 2 and 4 m), software 5.2: a 76-column D$ line with array 1 and
    a 62-column X$ line with arrays 2 and 3 per reading at 4 Hz; a pair of raw R$ lines every
    five seconds, a status line at the end of every survey line, and a ten-second GPS dropout
    over the second half of line 1 (the receiver under trees), long enough to show as a gap."""
    rng = random.Random(421)
    ground = Ground(rng, top=18.0, deep=42.0)
    walk = Walk(52.01735, 5.66012, 10 * 3600 + 14 * 60 + 5, lines=3, length_m=26.0,
                speed=1.3, rate_hz=4)
    log = Logger(walk, rng, base_alt=14.2, dropout=range(36855, 36865))
    log.put(" H$101400 FIELD421 260414 421")
    log.put(" C$000000 VELTOR-421 SN0421 SW VERSION 5.2a")
    log.put(" C$101402 Sample 4 Hz")
    spacings = (1.0, 2.0, 4.0)

    def reading(log, number, i, t, east, north):
        time, msec = stamp(t)
        raw = []
        for s in spacings:
            raw += array_counts(ground, east, north, s)
        pitch, roll = attitude(t, 25)
        log.put(" D$%s %03d %6d  %6d 1 %6d%6d%6d%6d %5d %5d %4d%4d"
                % (time, msec, number, i + 1, *raw[0:4], 12640 - int(t - walk.start_s) * 2,
                   29430 + int(t - walk.start_s) // 4, round(pitch), round(roll)))
        log.put(" X$%s %03d %6d%6d%6d%6d%6d%6d%6d%6d" % (time, msec, *raw[4:12]))
        if i % 20 == 19:  # raw receiver counts, two lines under the reading's time stamp
            for _ in range(2):
                log.put(" R$" + "".join("%8d" % rng.randint(-32000, 32000) for _ in range(7)))

    def end_status(log, number, i, t, east, north):
        reading(log, number, i, t, east, north)
        if i == int(walk.length_m / walk.speed * walk.rate_hz) - 1:
            pitch, roll = attitude(t, 25)
            log.put(" S$%s %5d %5d %6d%6d" % (clock(t), 12600 - number * 5, 29450 + number * 10,
                                             round(pitch * 10), round(roll * 10)))

    survey(log, end_status)
    log.put(" Z$")
    log.write(os.path.join(folder, "three_arrays.raw"))


def d_one_array(folder):
    """One-array 2 m instrument, software 5.2: a 76-column D$ line per reading at 4 Hz."""
    rng = random.Random(2)
    ground = Ground(rng, top=9.0, deep=25.0)
    walk = Walk(51.98211, 5.65040, 9 * 3600 + 2 * 60 + 40, lines=3, length_m=24.0, speed=1.2,
                rate_hz=4)
    log = Logger(walk, rng, base_alt=11.8)
    log.put(" H$090230 DONE0002 260409 2")
    log.put(" C$000000 VELTOR-2   SN0202 SW VERSION 5.2a")
    log.put(" C$090232 Sample 4 Hz")

    def reading(log, number, i, t, east, north):
        pitch, roll = attitude(t, 20)
        log.put(" D$%s %03d %6d  %6d 1 %6d%6d%6d%6d %5d %5d %4d%4d"
                % (*stamp(t), number, i + 1,
                   *array_counts(ground, east, north, 2.0),
                   12580 - int(t - walk.start_s) * 2, 29120 + int(t - walk.start_s) // 5,
                   round(pitch), round(roll)))

    survey(log, reading)
    log.put(" Z$")
    log.write(os.path.join(folder, "d_one_array.raw"))


def t_packets(folder):
    """Single-array 1 m instrument, software 4.1: an 83-column T$ packet per reading at 5 Hz,
    station numbers running on through the whole file."""
    rng = random.Random(1)
    ground = Ground(rng, top=14.0, deep=30.0)
    walk = Walk(52.08410, 5.17330, 13 * 3600 + 40 * 60 + 10, lines=3, length_m=24.0,
                speed=1.2, rate_hz=5)
    log = Logger(walk, rng, base_alt=3.6)
    log.put(" H$134000 TPACK001 260402 1")
    log.put(" C$000000 VELTOR-1   SN1107 SW VERSION 4.1a")
    log.put(" C$134002 Sample 5 Hz")
    station = [100]

    def reading(log, number, i, t, east, north):
        station[0] += 1
        pitch, roll = attitude(t, 22)
        log.put(" T$%s %03d %6d CONV %6d%6d%6d%6d%6d%6d %5d %5d %4d%4d"
                % (*stamp(t), station[0], 0, 0,
                   *array_counts(ground, east, north, 1.0),
                   12710 - int(t - walk.start_s) * 2, 29690 + int(t - walk.start_s) // 5,
                   round(pitch), round(roll)))

    survey(log, reading)
    log.put(" Z$")
    log.write(os.path.join(folder, "t_packets.raw"))


def pdlmt(folder):
    """The older single-array instrument: one $PDLMT sentence a second with the readings in
    ppm (1 m coils), no header or identification line, GGA fixes in G$ lines."""
    rng = random.Random(7)
    ground = Ground(rng, top=11.0, deep=20.0)
    walk = Walk(51.44120, 5.47880, 15 * 3600 + 5 * 60 + 1, lines=4, length_m=40.0, speed=1.0,
                rate_hz=1)
    log = Logger(walk, rng, base_alt=21.5)
    factor_1m, factor_11 = 0.01776529, 0.021496  # ppt of quadrature per mS/m

    def reading(log, number, i, t, east, north):
        pitch, roll = attitude(t, 2.5)
        log.put("$PDLMT,%s %7d %7d %7d %7d %7d %7d %5d %5d %6d %6d CONV"
                % (clock(t), round(ground.inphase(north, 1.0, False) * 1000),
                   round(ground.conductivity(east, north, 1.0, False) * factor_1m * 1000),
                   round(ground.inphase(north, 1.1, True) * 1000),
                   round(ground.conductivity(east, north, 1.1, True) * factor_11 * 1000),
                   0, 0, 12350 - int(t - walk.start_s), 30105 + int(t - walk.start_s) // 10,
                   round(pitch * 100), round(roll * 100)))

    survey(log, reading)
    log.put(" Z$")
    log.write(os.path.join(folder, "pdlmt.raw"))


def n_packets(folder):
    """N$ packets of a one-array 1 m instrument, two a second, with attitude in hundredths of a
    degree and housekeeping; no station numbers (the packets carry none)."""
    rng = random.Random(5)
    ground = Ground(rng, top=22.0, deep=35.0)
    walk = Walk(51.50220, 4.95510, 11 * 3600 + 30 * 60 + 2, lines=3, length_m=30.0, speed=1.5,
                rate_hz=2)
    log = Logger(walk, rng, base_alt=6.4)
    log.put(" H$113000 NPACK001 260421 1")
    log.put(" C$000000 VELTOR-1   SN1311 SW VERSION 5.5a")
    log.put(" C$113001 Sample 2 Hz")

    def reading(log, number, i, t, east, north):
        pitch, roll = attitude(t, 3)
        log.put(" N$%s %5d %5d %6d%6d%6d%6d%6d%6d"
                % (clock(t), 12480 - int(t - walk.start_s) * 2, 29660 + int(t - walk.start_s) // 6,
                   round(pitch * 100), round(roll * 100),
                   *array_counts(ground, east, north, 1.0)))

    survey(log, reading)
    log.put(" Z$")
    log.write(os.path.join(folder, "n_packets.raw"))


def ems(folder):
    """Software 6.1 with the EMS sensor: per second one I$ packet with five EMS channels, the
    sensor's height above ground and its attitude, followed by two 83-column T$ packets of the
    1 m conductivity array."""
    rng = random.Random(61)
    ground = Ground(rng, top=16.0, deep=28.0)
    walk = Walk(52.37060, 4.89020, 8 * 3600 + 15 * 60 + 3, lines=3, length_m=30.0, speed=1.5,
                rate_hz=2)
    log = Logger(walk, rng, base_alt=-1.8)
    log.put(" H$081500 EMSLINE1 260424 1")
    log.put(" C$000000 VELTOR-1   SN1601 SW VERSION 6.1A")
    log.put(" C$081501 Sample 2 Hz")
    station = [0]

    def reading(log, number, i, t, east, north):
        pitch, roll = attitude(t, 20)
        if i % 2 == 0:
            cond = ground.conductivity(east, north, 1.5, False)
            log.put(" I$%s %4d%4d%4d %5d %2d %5d%6d%6d%6d%6d"
                    % (clock(t), round(pitch), round(roll), 25, 3000 + rng.randint(-40, 40), 5,
                       round(cond / 100 * 10000), round(-4.0 * Ground.pipe(north, 1.5) * 100
                                                        + rng.gauss(0, 3)),
                       round(cond * 1000) // 10, round((9.0 + 0.5 * math.sin(t / 20)) * 100),
                       round(rng.gauss(0, 20))))
        station[0] += 1
        log.put(" T$%s %03d %6d CONV %6d%6d%6d%6d%6d%6d %5d %5d %4d%4d"
                % (*stamp(t), station[0], 0, 0,
                   *array_counts(ground, east, north, 1.0),
                   12550 - int(t - walk.start_s) * 2, 29340 + int(t - walk.start_s) // 5,
                   round(pitch), round(roll)))

    survey(log, reading)
    log.put(" Z$")
    log.write(os.path.join(folder, "ems.raw"))


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "examples")
    for make in (three_arrays, d_one_array, t_packets, pdlmt, n_packets, ems):
        make(folder)


if __name__ == "__main__":
    main()
