#!/usr/bin/env python3
"""Writes a deterministic synthetic raw logger file for comparing outputs and timing runs.

    scripts/generate_raw.py SEED LINES OUT.raw

The file mixes what a long survey holds: logger file headers (names repeated, so that the time
stamp names appear), identification and sampling lines, operator comments, T$ packets of every
generation (58, 65, 79 and 83 columns; CONV, NULD and RAW tags), G$ lines with GGA sentences
(valid, with a wrong checksum, other sentences), lines whose marker stands in column 1, lines with
an unreadable field, lines of unknown length and lines without a marker. Odd seeds end with "Z$",
even seeds run to the end of the file.
"""
import random
import sys


def gga(rng, h, m, s, lat, lon, good=True):
    lat_deg = int(abs(lat))
    lat_min = (abs(lat) - lat_deg) * 60
    lon_deg = int(abs(lon))
    lon_min = (abs(lon) - lon_deg) * 60
    body = "GPGGA,%02d%02d%02d.00,%02d%07.4f,%s,%03d%07.4f,%s,%d,%02d,%.1f,%.1f,M,46.9,M,," % (
        h, m, s, lat_deg, lat_min, "N" if lat >= 0 else "S", lon_deg, lon_min,
        "E" if lon >= 0 else "W", rng.choice([1, 1, 2]), rng.randint(4, 12),
        rng.uniform(0.6, 2.5), rng.uniform(100, 400))
    check = 0
    for c in body:
        check ^= ord(c)
    if not good:
        check ^= 0x21
    return "$%s*%02X" % (body, check)


def t_packet(rng, h, m, s, station, tag, width):
    ms = rng.randint(0, 999)
    chans = "".join("%6d" % rng.randint(-3000, 30000) for _ in range(6))
    head = "T$%02d%02d%02d " % (h, m, s)
    if width == 83:
        line = head + "%3d %6d %s %s %5d %5d %4d%4d" % (
            ms, station, tag, chans, rng.randint(11000, 14000), rng.randint(28000, 31000),
            rng.randint(-400, 400), rng.randint(-400, 400))
    elif width == 79:
        line = head + "%6d %s %s %5d %5d %4d%4d" % (
            station, tag, chans, rng.randint(11000, 14000), rng.randint(28000, 31000),
            rng.randint(-300, 300), rng.randint(-300, 300))
    elif width == 65:
        line = head + "%6d %s %s %3d%3d" % (station, tag, chans, rng.randint(-99, 99),
                                            rng.randint(-99, 99))
    else:
        line = head + "%6d %s %s" % (station, tag, chans)
    return " " + line


def main():
    seed, count, out = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
    rng = random.Random(seed)
    names = ["SURVEY01", "FIELD_B", "SURVEY01", "L3", "FIELD_B"]
    lat, lon = (48.117 if seed % 3 else -33.9), (11.5 if seed % 2 else -70.6)
    t = 8 * 3600
    station = 0
    lines = []
    file_no = 0
    while len(lines) < count:
        if len(lines) % 4000 == 0:
            h, m, s = t // 3600 % 24, t // 60 % 60, t % 60
            name = names[file_no % len(names)]
            file_no += 1
            lines.append(" H$%02d%02d%02d %-8s %02d%02d%02d %d" % (
                h, m, s, name, 26, 12, 8, rng.choice([1, 2, 4, 21, 42, 421])))
            lines.append(" C$000000 %s   SN1234 SW VERSION %s" % (
                rng.choice(["VELTOR-1", "VELTOR-2", "VELTOR-4", "KORAB-1"]),
                rng.choice(["3.2a", "2.0 ", "4.1 "])))
            lines.append(" C$%02d%02d%02d Sample %d Hz" % (h, m, s, rng.choice([1, 5, 10])))
        t += 1
        h, m, s = t // 3600 % 24, t // 60 % 60, t % 60
        r = rng.random()
        if r < 0.62:
            station += 1
            width = rng.choice([58, 65, 79, 83, 83, 83])
            tag = rng.choice(["CONV", "CONV", "NULD", "RAW "])
            line = t_packet(rng, h, m, s, station, tag, width)
            if rng.random() < 0.02:
                line = line.lstrip()  # marker in column 1: aligned by the loop
            if rng.random() < 0.01:
                line = line[:40] + "x" + line[41:]  # an unreadable field
            lines.append(line)
        elif r < 0.86:
            lat += rng.uniform(-1e-4, 1e-4)
            lon += rng.uniform(-1e-4, 1e-4)
            good = rng.random() > 0.03
            sentence = gga(rng, h, m, s, lat, lon, good)
            if rng.random() < 0.02:
                sentence = "$GPRMC,%02d%02d%02d,A,4807.038,N,01131.000,E" % (h, m, s)
            lines.append(" G" + sentence)
        elif r < 0.93:
            lines.append(" C$%02d%02d%02d %s" % (h, m, s, rng.choice(
                ["start of line", "End of line", "tree", "fence post", "wet ground",
                 "START OF LINE", "pipe crossing 2", "a" * 20])))
        elif r < 0.96:
            lines.append(" T$%02d%02d%02d %6d CONV" % (h, m, s, station))  # unknown length
        elif r < 0.98:
            lines.append("just some text without a marker %d" % rng.randint(0, 999))
        else:
            lines.append("")
    if seed % 2:
        lines.append(" Z$")
    with open(out, "w", newline="") as f:
        f.write("\r\n".join(lines) + "\r\n")


if __name__ == "__main__":
    main()
