#!/usr/bin/env python3
"""Writes a deterministic raw file made of the lines of the raw files of tests/cases, drawn at
random (Z$ lines left out but for the last line), to compare two builds on every line kind.

    scripts/shuffle_raw.py SEED LINES OUT.raw
"""
import glob
import os
import random
import sys

seed, count, out = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "cases")
pool = []
for path in sorted(glob.glob(os.path.join(root, "*", "in", "*.raw"))):
    with open(path, newline="") as f:
        pool += [l.rstrip("\r\n") for l in f if "Z$" not in l[:4]]
rng = random.Random(seed)
lines = [rng.choice(pool) for _ in range(count)] + [" Z$"]
with open(out, "w", newline="") as f:
    f.write("\r\n".join(lines) + "\r\n")
