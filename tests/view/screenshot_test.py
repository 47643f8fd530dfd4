#!/usr/bin/env python3
"""Renders the quillet-view page of an example survey in headless Chromium and checks the picture.

    screenshot_test.py QUILLET QUILLET_VIEW RAWFILE [SCREENSHOT.png]

Transcribes RAWFILE with codes G and C, writes the page of each file, and asks Chromium twice per
page: once for the page with a small script added that lists where every drawn region (maps,
colour bars, profiles) lies, and once for a screenshot of the page as it is. Then it reads the PNG
(zlib and the PNG filters, no imaging library) and checks that every map holds dots in colours of
the colour map, that every colour bar runs from the map's dark violet through teal to yellow, and
that every profile holds its trace; and that both pages draw the same regions. The screenshot kept
(SCREENSHOT.png) is the Geosoft file's. Exits 77 (skipped) only when no Chromium is installed.
"""

import json
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

WIDTH = 1280
VIRIDIS_ENDS = {"start": (68, 1, 84), "middle": (33, 145, 140), "end": (253, 231, 37)}
TRACE = (29, 78, 137)

PROBE = """<script>
const regions = [...document.querySelectorAll('[data-region]')].map(e => {
  const b = e.getBoundingClientRect();
  return [e.getAttribute('data-region'), Math.round(b.left + scrollX), Math.round(b.top + scrollY),
          Math.round(b.width), Math.round(b.height)];
});
const pre = document.createElement('pre');
pre.id = 'probe';
pre.textContent = JSON.stringify({height: document.documentElement.scrollHeight, regions});
document.body.appendChild(pre);
</script>"""


def chromium():
    for name in ("chromium", "chromium-browser"):
        path = shutil.which(name)
        if path:
            return path
    return None


def run_chromium(binary, work, args):
    profile = tempfile.mkdtemp(dir=work)
    # Under CI the browser runs as root, which its sandbox refuses.
    command = [binary, "--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars",
               "--force-device-scale-factor=1", "--user-data-dir=" + profile] + args
    return subprocess.run(command, capture_output=True, text=True, timeout=120, check=True).stdout


def read_png(path):
    """Width, height and rows of RGB tuples of an 8-bit RGB or RGBA PNG."""
    with open(path, "rb") as f:
        data = f.read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
    pos, idat = 8, b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
            assert depth == 8 and colour in (2, 6), (depth, colour)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    channels = 4 if colour == 6 else 3
    raw = zlib.decompress(idat)
    stride = width * channels
    previous = bytearray(stride)
    rows = []
    for y in range(height):
        start = y * (stride + 1)
        kind = raw[start]
        line = bytearray(raw[start + 1:start + 1 + stride])
        if kind == 1:
            for i in range(channels, stride):
                line[i] = (line[i] + line[i - channels]) & 255
        elif kind == 2:
            line = bytearray((a + b) & 255 for a, b in zip(line, previous))
        elif kind == 3:
            for i in range(stride):
                left = line[i - channels] if i >= channels else 0
                line[i] = (line[i] + ((left + previous[i]) >> 1)) & 255
        elif kind == 4:
            for i in range(stride):
                a = line[i - channels] if i >= channels else 0
                b = previous[i]
                c = previous[i - channels] if i >= channels else 0
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(bytes(line))
        previous = line
    return width, height, channels, rows


def viridis_samples():
    stops = [(68, 1, 84), (72, 36, 117), (65, 68, 135), (53, 95, 141), (42, 120, 142),
             (33, 145, 140), (34, 168, 132), (68, 191, 112), (122, 209, 81), (189, 223, 38),
             (253, 231, 37)]
    samples = []
    for k in range(10):
        for f in range(8):
            t = f / 8
            samples.append(tuple(round(a + (b - a) * t) for a, b in zip(stops[k], stops[k + 1])))
    return samples + [stops[-1]]


def close(c, target, tolerance):
    return sum((a - b) ** 2 for a, b in zip(c, target)) <= tolerance ** 2


def check_page(browser, work, viewer, name, keep):
    """Draws the page of file `name` and checks it; the counts of its regions and the failures."""
    page = os.path.join(work, name + ".page.html")
    subprocess.run([viewer, os.path.join(work, name), "-o", page], check=True, timeout=60)
    html = open(page, encoding="utf-8").read()
    probe = os.path.join(work, "probe.html")
    with open(probe, "w", encoding="utf-8") as f:
        f.write(html.replace("</body>", PROBE + "</body>"))
    dom = run_chromium(browser, work, ["--window-size=%d,1000" % WIDTH,
                                       "--dump-dom", "file://" + probe])
    found = re.search(r'<pre id="probe">(.*?)</pre>', dom, re.S)
    assert found, "the probe script did not run"
    layout = json.loads(found.group(1).replace("&quot;", '"').replace("&amp;", "&"))
    height = layout["height"] + 20
    shot = os.path.join(work, "shot.png")
    run_chromium(browser, work, ["--window-size=%d,%d" % (WIDTH, height),
                                 "--screenshot=" + shot, "file://" + page])
    if keep:
        shutil.copy(shot, keep)
    width, shot_height, channels, rows = read_png(shot)
    assert width == WIDTH and shot_height >= layout["height"], (width, shot_height)

    def pixels(box):
        _, x, y, w, h = box
        for yy in range(max(y, 0), min(y + h, shot_height)):
            row = rows[yy]
            for xx in range(max(x, 0), min(x + w, width)):
                yield tuple(row[xx * channels:xx * channels + 3])

    kinds = {}
    for r in layout["regions"]:
        kinds.setdefault(r[0], []).append(r)
    failures = []
    maps, bars, profiles = kinds.get("map", []), kinds.get("colourbar", []), kinds.get(
        "profile", [])
    if not maps or len(maps) != len(bars) or not profiles:
        failures.append("regions: %d maps, %d colour bars, %d profiles" %
                        (len(maps), len(bars), len(profiles)))
    palette = viridis_samples()
    for k, (m, bar) in enumerate(zip(maps, bars)):
        _, bx, by, bw, bh = bar
        dots = 0
        for yy in range(m[2], min(m[2] + m[4], shot_height)):
            if by <= yy < by + bh:
                continue  # the colour bar itself
            row = rows[yy]
            for xx in range(m[1], min(m[1] + m[3], width)):
                c = tuple(row[xx * channels:xx * channels + 3])
                if c[0] + c[1] + c[2] < 600 and any(close(c, v, 18) for v in palette):
                    dots += 1
        if dots < 100:
            failures.append("map %d: only %d pixels in the colours of the map" % (k, dots))
        middle = rows[by + bh // 2]
        for name_, x in (("start", bx + 1), ("middle", bx + bw // 2), ("end", bx + bw - 2)):
            c = tuple(middle[x * channels:x * channels + 3])
            if not close(c, VIRIDIS_ENDS[name_], 16):
                failures.append("colour bar %d: %s is %s" % (k, name_, c))
    for k, p in enumerate(profiles):
        trace = sum(1 for c in pixels(p) if close(c, TRACE, 60))
        if trace < 150:
            failures.append("profile %d: only %d pixels of its trace" % (k, trace))
    print("%s: %d maps, %d colour bars, %d profiles checked in a %dx%d screenshot" %
          (name, len(maps), len(bars), len(profiles), width, shot_height))
    return (len(maps), len(bars), len(profiles)), failures


def main():
    if len(sys.argv) < 4:
        print(__doc__)
        return 2
    quillet, viewer, raw = (os.path.abspath(a) for a in sys.argv[1:4])
    keep = sys.argv[4] if len(sys.argv) > 4 else None
    browser = chromium()
    if not browser:
        print("SKIP: no chromium installed (scripts/install-deps.sh test installs it)")
        return 77
    with tempfile.TemporaryDirectory() as work:
        shutil.copy(raw, work)
        subprocess.run([quillet, os.path.basename(raw), "GC", "0.2"], cwd=work,
                       stdin=subprocess.DEVNULL, capture_output=True, check=True, timeout=60)
        counts = []
        failures = []
        for extension in (".xyz", ".csv"):
            named = sorted(f for f in os.listdir(work)
                           if f.endswith(extension) and not f.startswith("Default."))
            assert named, "the run wrote no named %s file" % extension
            found, page_failures = check_page(browser, work, viewer, named[0],
                                              keep if extension == ".xyz" else None)
            counts.append(found)
            failures += ["%s: %s" % (named[0], f) for f in page_failures]
        if counts[0] != counts[1]:
            failures.append("the pages draw different regions: %s and %s" % tuple(counts))
        for f in failures:
            print("FAIL:", f)
        return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
