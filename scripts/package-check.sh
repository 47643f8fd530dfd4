#!/usr/bin/env bash
# Checks what a user installs: the manual page is clean, `cmake --install` puts the programs and
# the page into a prefix, `cpack -G DEB` makes a package that installs, the installed `quillet`
# transcribes an example and the installed `quillet-view` writes the page of its output. Run after scripts/test.sh (it uses build/).
set -euo pipefail
cd "$(dirname "$0")/.."
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

warnings=$(groff -man -ww -z docs/quillet.1 docs/quillet-view.1 2>&1)
[ -z "$warnings" ] || { echo "$warnings"; exit 1; }

cmake --install build --prefix "$work/prefix"
test -x "$work/prefix/bin/quillet"
test -x "$work/prefix/bin/quillet-view"
test -f "$work/prefix/share/man/man1/quillet.1"
test -f "$work/prefix/share/man/man1/quillet-view.1"

(cd build && cpack -G DEB -B "$work/package")
deb=$(ls "$work"/package/quillet_*.deb)
dpkg-deb --field "$deb" Package Version Maintainer Depends
"${sudo_cmd[@]}" dpkg -i "$deb"
man -w quillet
man -w quillet-view
mkdir "$work/run"
cp examples/t_packets.raw "$work/run/"
(cd "$work/run" && quillet t_packets.raw G 0.2 </dev/null | tee console.txt)
grep -q "Summary: 373 lines read, 300 station records written, 0 lines skipped" "$work/run/console.txt"
test -s "$work/run/TPACK001.xyz"
# The installed viewer writes the page of that output.
(cd "$work/run" && quillet-view TPACK001.xyz | tee view.txt)
grep -q "TPACK001.xyz: Geosoft XYZ file, 1 coil array, 300 readings" "$work/run/view.txt"
grep -q "data-region=\"profile\"" "$work/run/TPACK001.xyz.html"
