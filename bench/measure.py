#!/usr/bin/env python3
"""Times every output code of a quillet build side by side with a reference build.

    bench/measure.py QUILLET REFERENCE [--readings N] [--pairs P] [--codes CODES] [--ref-name NAME]

Generates the two kinds of survey file of bench/make_survey.py (N readings) in a temporary
folder. For each kind it times `cat` of the file, then runs each code of the two builds in turn,
A B A B, P pairs (standard input closed, every run in a folder of its own), so that a change of
the machine's load falls on both alike. It prints, for each build, the minimum and median wall
time, the median processor time (user + system), the input MB/s of both medians and the ratio to
`cat` of the same file; then the ratio of the reference's times to the tree's (above 1: the tree
is faster). That ratio holds from machine to machine; the MB/s figures do not.

The outputs of the two builds (every file and the console text) must be the same byte for byte,
every run must succeed, and the tree's peak resident memory over N readings may exceed that over
half of them by 1 MiB at most (below some 10,000 readings the output buffers still fill up). The exit status is 1 when one of these fails; speed is never
judged.
"""

import argparse
import filecmp
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
KINDS = {"dx": "three-array D$ + X$", "t": "single-array T$"}
CODES = "XGDLSPIRC"
GROWTH_KIB = 1024


def run(argv, cwd, stdout):
    """Runs argv; returns (wall seconds, cpu seconds, peak resident KiB, exit status).

    The peak comes from /usr/bin/time: a child forked from this interpreter would report the
    interpreter's own resident size as its peak. The processor time comes from wait4 on
    /usr/bin/time, whose usage includes the program it waited for, in microseconds (time itself
    prints it in steps of 10 ms)."""
    with open(os.devnull, "rb") as closed, tempfile.NamedTemporaryFile("r") as peak:
        start = time.perf_counter()
        child = subprocess.Popen(["/usr/bin/time", "-q", "-f", "%M", "-o", peak.name] + argv,
                                 cwd=cwd, stdin=closed, stdout=stdout, stderr=subprocess.STDOUT)
        _, wait_status, usage = os.wait4(child.pid, 0)
        seconds = time.perf_counter() - start
        child.returncode = os.waitstatus_to_exitcode(wait_status)
        kib = peak.read().split()[-1]
        return seconds, usage.ru_utime + usage.ru_stime, int(kib), child.returncode


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


def code_run(quillet, raw, code, folder):
    """One run of `quillet survey.raw CODE 0.2` in a fresh folder holding a link to the raw file;
    the console goes to console.txt beside the outputs."""
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    os.symlink(raw, os.path.join(folder, "survey.raw"))
    with open(os.path.join(folder, "console.txt"), "wb") as console:
        return run([quillet, "survey.raw", code, "0.2"], folder, console)


def differences(tree, reference):
    """Names of the files that are not the same in both folders, byte for byte."""
    names = sorted(set(os.listdir(tree)) | set(os.listdir(reference)))
    return [n for n in names
            if not (os.path.isfile(os.path.join(tree, n))
                    and os.path.isfile(os.path.join(reference, n))
                    and filecmp.cmp(os.path.join(tree, n), os.path.join(reference, n),
                                    shallow=False))]


class Timings:
    def __init__(self):
        self.walls, self.cpus, self.peak = [], [], 0

    def add(self, wall, cpu, kib):
        self.walls.append(wall)
        self.cpus.append(cpu)
        self.peak = max(self.peak, kib)


def row(label, t, megabytes, cat):
    wall, cpu = statistics.median(t.walls), statistics.median(t.cpus)
    return "%-12s %8.3f %8.3f %8.3f %8.0f %8.0f %8.1f %8.1f" % (
        label, min(t.walls), wall, cpu, megabytes / wall, megabytes / max(cpu, 1e-6), wall / cat,
        t.peak / 1024)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("quillet")
    parser.add_argument("reference")
    parser.add_argument("--readings", type=int, default=1000000)
    parser.add_argument("--pairs", type=int, default=10)
    parser.add_argument("--codes", default=CODES)
    parser.add_argument("--ref-name", default="reference")
    args = parser.parse_args()
    # Fewer pairs make the minimum and the median a matter of chance.
    if args.pairs < 10 or args.readings < 10:
        parser.error("--pairs and --readings must be at least 10")
    builds = (os.path.abspath(args.quillet), os.path.abspath(args.reference))
    failures = []
    compared = 0
    print(machine())
    print("tree: %s\nreference (%s): %s\n%d pairs per code, run A B A B"
          % (builds[0], args.ref_name, builds[1], args.pairs))
    with tempfile.TemporaryDirectory(prefix="quillet-bench-") as work:
        peaks = {}
        for kind, title in KINDS.items():
            raw = generate(kind, args.readings, work)
            megabytes = os.path.getsize(raw) / 1e6
            cat = Timings()
            for _ in range(max(5, args.pairs)):
                wall, cpu, kib, _ = run(["sh", "-c", 'cat "$0" > /dev/null', raw], work,
                                        subprocess.DEVNULL)
                cat.add(wall, cpu, kib)
            cat_median = statistics.median(cat.walls)
            print("\n%s: %d readings, %.1f MB; cat %.3f s (%.0f MB/s)"
                  % (title, args.readings, megabytes, cat_median, megabytes / cat_median))
            print("%-12s %8s %8s %8s %8s %8s %8s %8s" % (
                "code build", "min s", "median s", "cpu s", "MB/s", "cpu MB/s", "x cat",
                "peak MB"))
            for code in args.codes:
                timings = (Timings(), Timings())
                folders = [os.path.join(work, kind, code, b) for b in ("tree", "reference")]
                for pair in range(args.pairs):
                    for b, quillet in enumerate(builds):
                        folder = folders[b] if pair == 0 else folders[b] + "-again"
                        wall, cpu, kib, status = code_run(quillet, raw, code, folder)
                        if status != 0:
                            failures.append("%s code %s, %s: exit status %d"
                                            % (kind, code, ("tree", "reference")[b], status))
                        timings[b].add(wall, cpu, kib)
                    if pair == 0:
                        moved = differences(*folders)
                        compared += len(os.listdir(folders[0]))
                        failures += ["%s code %s: %s differs from the reference's"
                                     % (kind, code, name) for name in moved]
                        for folder in folders:
                            shutil.rmtree(folder)
                tree, ref = timings
                print(row("%s tree" % code, tree, megabytes, cat_median))
                print(row("%s ref" % code, ref, megabytes, cat_median))
                print("%-12s %8.2f %8.2f %8.2f   (reference / tree)" % (
                    "%s ratio" % code, min(ref.walls) / min(tree.walls),
                    statistics.median(ref.walls) / statistics.median(tree.walls),
                    statistics.median(ref.cpus) / max(statistics.median(tree.cpus), 1e-6)))
                if kind == "dx":
                    peaks[code] = tree.peak
        print("\nPeak resident memory of the tree's build, MB (three-array file)")
        small_readings = args.readings // 2
        small = generate("dx", small_readings, work)
        print("%-6s %9s %9s" % ("code", small_readings, args.readings))
        for code in args.codes:
            _, _, kib, status = code_run(builds[0], small, code, os.path.join(work, "small", code))
            if status != 0:
                failures.append("dx code %s over %d readings: exit status %d"
                                % (code, small_readings, status))
            print("%-6s %9.2f %9.2f" % (code, kib / 1024, peaks[code] / 1024))
            if peaks[code] - kib > GROWTH_KIB:
                failures.append("code %s: peak memory grew from %d KiB to %d KiB"
                                % (code, kib, peaks[code]))
    print("\noutputs compared with the reference's: %d files" % compared)
    for failure in failures:
        print("FAIL " + failure)
    if not failures:
        print("bench: same outputs as the reference, every run succeeded, no memory growth")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
