"""Positions in time of the CSV file, against the true path of a generated survey.

    track_accuracy_test.py QUILLET

For both packet kinds (D$ + X$ with milliseconds, 79-column T$ without) it transcribes the survey
of track_survey.py with code C, the latency given, without and with the antenna offset, and
compares every reading's latitude and longitude with the true antenna and sensor positions at the
reading's true time. Asserted on the straight lines: D$ within 2 cm (median) and 5 cm (95th
percentile), T$ within 8 cm and 20 cm; held readings in the GPS dropout; the logger and GPS times.
Printed beside them: the error of the turns, and that of the last-fix positions the CSV file
gave before (the X and G files still do), the fix minutes cut to four decimals.

Then a file without GPS (no .prj, no positions, position "none"; the .prj of an earlier run
goes) and a comment with a comma, read whole by the csv module.
"""

import csv
import datetime
import math
import os
import statistics
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import track_survey as ts  # noqa: E402

failures = []


def check(condition, message):
    print(("ok    " if condition else "FAIL  ") + message)
    if not condition:
        failures.append(message)


def run(quillet, folder, raw, *options):
    args = [quillet, "--batch", *options, os.path.basename(raw), "C"]
    done = subprocess.run(args, cwd=folder, capture_output=True, text=True)
    if done.returncode != 0:
        print(done.stdout, done.stderr)
    return done


def rows_of(path):
    with open(path, newline="") as f:
        return list(csv.DictReader(f))


def truth_of(path):
    out = {}
    for r in rows_of(path):
        out[int(r["station"])] = r
    return out


def percentile(values, p):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(math.ceil(p / 100 * len(ordered))) - 1)]


def summary(errors):
    if not errors:
        return "no readings"
    return "median %.3f m, 95th percentile %.3f m, max %.3f m (%d readings)" % (
        statistics.median(errors), percentile(errors, 95), max(errors), len(errors))


def last_fix_positions(raw):
    """The position the CSV file gave each station before: the last fix logged before its
    reading, read as the format's reader reads it (minutes cut to four decimals)."""
    out = {}
    last = None
    station = 0
    with open(raw) as f:
        for line in f:
            if line.startswith(" G$"):
                fields = line.split(",")
                lat = int(fields[2][:2]) + float(fields[2][2:9]) / 60
                lon = int(fields[4][:3]) + float(fields[4][3:10]) / 60
                last = ts.to_metres(lat, lon)
            elif line.startswith(" D$") or line.startswith(" T$"):
                station += 1
                out[station] = last
    return out


def errors_against(rows, truth, which, straight, positions=None):
    out = []
    for r in rows:
        t = truth[int(r["station"])]
        if (t["straight"] == "1") != straight or r["position"] in ("held", "none"):
            continue
        if positions is None:
            east, north = ts.to_metres(float(r["latitude"]), float(r["longitude"]))
        else:
            east, north = positions[int(r["station"])]
        out.append(math.hypot(east - float(t[which + "_east"]),
                              north - float(t[which + "_north"])))
    return out


def iso(text):
    return datetime.datetime.fromisoformat(text.replace("Z", "+00:00"))


def accuracy(quillet, work, kind, median_limit, p95_limit):
    folder = os.path.join(work, kind)
    os.mkdir(folder)
    raw, truth_path = ts.write_survey(folder, kind)
    truth = truth_of(truth_path)
    csv_path = os.path.join(folder, "TRACK%s01.csv" % kind)
    latency = "--gps-latency=%g" % ts.LATENCY

    check(run(quillet, folder, raw, latency).returncode == 0, kind + ": run without offset")
    antenna_rows = rows_of(csv_path)
    check(run(quillet, folder, raw, latency, "--gps-offset=%g" % ts.ANTENNA_AHEAD).returncode == 0,
          kind + ": run with --gps-offset")
    sensor_rows = rows_of(csv_path)
    check(len(antenna_rows) == len(truth), "%s: a row per reading (%d)" % (kind, len(truth)))

    for label, rows, which in (("antenna path, no offset", antenna_rows, "antenna"),
                               ("sensor path, --gps-offset=1.0", sensor_rows, "sensor")):
        errors = errors_against(rows, truth, which, True)
        text = "%s straight lines vs %s: %s" % (kind, label, summary(errors))
        check(len(errors) > 1000 and statistics.median(errors) <= median_limit and
              percentile(errors, 95) <= p95_limit,
              text + " (limits %.2f / %.2f m)" % (median_limit, p95_limit))
    print("      %s turns vs sensor path, --gps-offset=1.0: %s"
          % (kind, summary(errors_against(sensor_rows, truth, "sensor", False))))
    old = last_fix_positions(raw)
    print("      %s before, last fix vs sensor path: straight %s; turns %s"
          % (kind, summary(errors_against(sensor_rows, truth, "sensor", True, old)),
             summary(errors_against(sensor_rows, truth, "sensor", False, old))))

    # The dropout: readings between the last fix before it and the first after it hold that fix.
    gap = (math.ceil(ts.DROPOUT[0]) - 1.0, math.ceil(ts.DROPOUT[1]))
    margin = 0.15  # what a reading's time may be off without milliseconds
    inside = [r for r in sensor_rows
              if gap[0] + margin < float(truth[int(r["station"])]["gps_time"]) < gap[1] - margin]
    near = [r for r in sensor_rows
            if abs(float(truth[int(r["station"])]["gps_time"]) - gap[0]) < margin or
            abs(float(truth[int(r["station"])]["gps_time"]) - gap[1]) < margin]
    check(len(inside) > 70 and all(r["position"] == "held" for r in inside),
          "%s: the %d readings of the dropout are held" % (kind, len(inside)))
    ages = [float(r["fix_age_s"]) for r in inside]
    check(max(ages) > 8.0, "%s: fix_age_s grows to %.2f s in the dropout" % (kind, max(ages)))
    outside = [r for r in sensor_rows if r not in inside and r not in near]
    check(all(r["position"] == "interpolated" for r in outside[1:-12]),
          "%s: the other readings are interpolated" % kind)

    # Logger time and GPS time of each reading.
    worst_logger = worst_utc = 0.0
    for r in sensor_rows:
        gps = float(truth[int(r["station"])]["gps_time"])
        day = datetime.datetime(2025, 6, 11, tzinfo=datetime.timezone.utc)
        logger = iso(r["datetime"]).replace(tzinfo=datetime.timezone.utc)
        worst_logger = max(worst_logger,
                           abs((logger - day).total_seconds() - (gps - ts.CLOCK_OFFSET)))
        worst_utc = max(worst_utc, abs((iso(r["utc"]) - day).total_seconds() - gps))
    limit = 0.0011 if kind == "D" else 0.1
    check(worst_logger <= limit, "%s: datetime within %.4f s of the logger clock (%.4f)"
          % (kind, limit, worst_logger))
    check(worst_utc <= limit + 0.02, "%s: utc within %.4f s of GPS time (%.4f)"
          % (kind, limit + 0.02, worst_utc))
    return folder


def without_gps(quillet, folder):
    """The D$ survey without its G$ lines, under the same name: no positions and no .prj, and
    the .prj of the run with positions before it goes."""
    raw = os.path.join(folder, "survey_D.raw")
    check(os.path.exists(os.path.join(folder, "TRACKD01.prj")), "a file with GPS has its .prj")
    with open(raw, newline="") as f:
        lines = [line for line in f if not line.startswith(" G$")]
    lines.insert(3, " C$101402 pipe, 2 m east  \r\n")
    with open(raw, "w", newline="") as f:
        f.writelines(lines)
    check(run(quillet, folder, raw).returncode == 0, "run without GPS")
    rows = rows_of(os.path.join(folder, "TRACKD01.csv"))
    check(not os.path.exists(os.path.join(folder, "TRACKD01.prj")),
          "no .prj without GPS, that of the earlier run gone")
    check(os.path.exists(os.path.join(folder, "TRACKD01.csvt")), "the .csvt stays")
    check(all(r["position"] == "none" and r["x"] == "" and r["latitude"] == "" and
              r["utc"] == "" and r["fix_age_s"] == "" for r in rows),
          "every row: position none, no coordinates, no GPS time")
    check(rows[0]["datetime"].startswith("2025-06-11T10:14:02."), "datetime without GPS")
    check(rows[0]["comment_text"] == "pipe, 2 m east" and rows[0]["comment"] == "1",
          "comment_text read whole: " + rows[0]["comment_text"])


def main():
    quillet = os.path.abspath(sys.argv[1])
    with tempfile.TemporaryDirectory() as work:
        folder = accuracy(quillet, work, "D", 0.02, 0.05)
        accuracy(quillet, work, "T", 0.08, 0.20)
        without_gps(quillet, folder)
    if failures:
        print("%d failed" % len(failures))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
