#!/usr/bin/env python3
"""Times every output code of a quillet binary on the two kinds of survey file.

    bench/measure.py QUILLET [--readings N] [--repeat R] [--record]

Generates the survey files of bench/make_survey.py in a temporary folder, then for each kind
times `wc -l`, `cat > /dev/null` and every code X G D L S P I R (standard input closed, a run in a
folder of its own), R times each, and prints the median and best wall time, the median processor
time (user + system), the input MB/s of each median and the ratio of the wall time to `wc -l`'s.
On a machine that others share, the wall time follows their load; the processor time much less. It then prints the peak resident memory of every code over
10,000 and over N readings of the three-array kind, and the time of one execution with "XGDLSP".

Every output file of the first repetition is checked against bench/output_checksums.md5, which
holds the md5 sums of the outputs of the build before the speed work; --record writes that file
instead (only for a build whose outputs are known to be right). The exit status is 1 when any
sum differs, a run fails, or a target is missed (150 MB/s, flat memory under 16 MB).
"""

import argparse
import hashlib
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
CHECKSUMS = os.path.join(HERE, "output_checksums.md5")
CODES = "XGDLSPIR"
KINDS = ("dx", "t")
SMALL = 10000


def run(argv, cwd, stdout):
    """Runs argv; returns (wall seconds, cpu seconds, peak resident KiB, exit status).

    The peak comes from /usr/bin/time: a child forked from this interpreter would report the
    interpreter's own resident size as its peak."""
    with open(os.devnull, "rb") as closed, tempfile.NamedTemporaryFile("r") as peak:
        start = time.perf_counter()
        status = subprocess.run(["/usr/bin/time", "-q", "-f", "%U %S %M", "-o", peak.name] + argv,
                                cwd=cwd, stdin=closed, stdout=stdout,
                                stderr=subprocess.STDOUT).returncode
        seconds = time.perf_counter() - start
        user, system, kib = peak.read().split()[-3:]
        return seconds, float(user) + float(system), int(kib), status


def machine():
    model = "unknown processor"
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    return "%s, %d cores, load average %.2f %.2f %.2f" % ((model, os.cpu_count())
                                                          + os.getloadavg())


def generate(kind, readings, folder):
    path = os.path.join(folder, "%s-%d.raw" % (kind, readings))
    with open(path, "wb") as out:
        subprocess.run([sys.executable, os.path.join(HERE, "make_survey.py"), kind,
                        str(readings)], stdout=out, check=True)
    return path


def code_run(quillet, raw, codes, folder):
    """One run of `quillet RAW CODES 0.2` in a fresh folder holding a link to the raw file."""
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    os.symlink(raw, os.path.join(folder, "survey.raw"))
    with open(os.path.join(folder, "console.txt"), "wb") as console:
        return run([quillet, "survey.raw", codes, "0.2"], folder, console)


def output_sums(folder, label):
    sums = {}
    for name in sorted(os.listdir(folder)):
        if name == "survey.raw":
            continue
        digest = hashlib.md5()
        with open(os.path.join(folder, name), "rb") as f:
            for block in iter(lambda: f.read(1 << 20), b""):
                digest.update(block)
        sums["%s/%s" % (label, name)] = digest.hexdigest()
    return sums


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("quillet")
    parser.add_argument("--readings", type=int, default=1000000)
    parser.add_argument("--repeat", type=int, default=5)
    parser.add_argument("--record", action="store_true")
    args = parser.parse_args()
    quillet = os.path.abspath(args.quillet)
    failures = []
    sums = {}
    print(machine())
    with tempfile.TemporaryDirectory(prefix="quillet-bench-") as work:
        files = {kind: generate(kind, args.readings, work) for kind in KINDS}
        small = generate("dx", SMALL, work)
        peak = {}
        for kind in KINDS:
            raw = files[kind]
            megabytes = os.path.getsize(raw) / 1e6
            print("\n%s: %d readings, %.1f MB, %d lines (%d repetitions)" % (
                "three-array D$ + X$" if kind == "dx" else "single-array T$", args.readings,
                megabytes, sum(1 for _ in open(raw, "rb")), args.repeat))
            print("%-10s %9s %9s %9s %9s %9s %9s %9s" % (
                "", "median s", "best s", "cpu s", "MB/s", "cpu MB/s", "x wc -l", "peak MB"))
            rows = [("wc -l", ["wc", "-l", raw]), ("cat", ["sh", "-c", 'cat "$0" > /dev/null', raw])]
            rows += [("code " + c, c) for c in CODES]
            wc_median = None
            for label, what in rows:
                times, cpus, rss = [], [], 0
                for k in range(args.repeat):
                    if isinstance(what, str):
                        folder = os.path.join(work, kind, what)
                        seconds, cpu, kib, status = code_run(quillet, raw, what, folder)
                        if k == 0:
                            sums.update(output_sums(folder, "%s/%s" % (kind, what)))
                    else:
                        seconds, cpu, kib, status = run(what, work, subprocess.DEVNULL)
                    if status != 0:
                        failures.append("%s %s: exit status %d" % (kind, label, status))
                    times.append(seconds)
                    cpus.append(cpu)
                    rss = max(rss, kib)
                median = statistics.median(times)
                wc_median = wc_median or median
                rate = megabytes / median
                cpu = statistics.median(cpus)
                print("%-10s %9.3f %9.3f %9.3f %9.0f %9.0f %9.1f %9.1f" % (
                    label, median, min(times), cpu, rate, megabytes / max(cpu, 0.001),
                    median / wc_median, rss / 1024))
                if isinstance(what, str):
                    peak[(kind, what)] = rss
                    if rate < 150:
                        failures.append("%s code %s: %.0f MB/s" % (kind, what, rate))
            runs = [code_run(quillet, raw, "XGDLSP", os.path.join(work, kind, "all"))
                    for _ in range(max(1, args.repeat // 2))]
            median = statistics.median(r[0] for r in runs)
            cpu = statistics.median(r[1] for r in runs)
            print("%-10s %9.3f %9.3f %9.3f %9.0f %9.0f %9.1f" % (
                "XGDLSP", median, min(r[0] for r in runs), cpu, megabytes / median,
                megabytes / cpu, median / wc_median))
        print("\nPeak resident memory, MB (three-array file)")
        print("%-6s %9s %9s" % ("code", "%d" % SMALL, "%d" % args.readings))
        for code in CODES:
            _, _, kib, _ = code_run(quillet, small, code, os.path.join(work, "small", code))
            large = peak[("dx", code)]
            print("%-6s %9.2f %9.2f" % (code, kib / 1024, large / 1024))
            if abs(large - kib) > 1024 or large > 16 * 1024:
                failures.append("code %s: peak memory %d KiB and %d KiB" % (code, kib, large))
    if args.record:
        with open(CHECKSUMS, "w") as out:
            out.write("# md5 of every output of bench/measure.py at %d readings\n"
                      % args.readings)
            for name in sorted(sums):
                out.write("%s  %s\n" % (sums[name], name))
        print("\nrecorded %d output checksums in %s" % (len(sums), CHECKSUMS))
    else:
        expected = {}
        with open(CHECKSUMS) as f:
            for line in f:
                if line.startswith("# md5") and ("at %d readings" % args.readings) not in line:
                    failures.append("checksums were recorded for another number of readings")
                if line.strip() and not line.startswith("#"):
                    digest, name = line.split()
                    expected[name] = digest
        moved = sorted(n for n in set(expected) | set(sums) if expected.get(n) != sums.get(n))
        failures += ["output changed: %s" % n for n in moved]
        print("\noutput checksums: %d files, %d differ" % (len(sums), len(moved)))
    for failure in failures:
        print("FAIL " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
