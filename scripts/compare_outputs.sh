#!/usr/bin/env bash
# Runs two builds of quillet over the same raw files, every code in its own folder, and compares
# every output file and the console text byte for byte.
#
#   scripts/compare_outputs.sh OLD_BINARY NEW_BINARY RAW_FILE...
#
# Prints one line per raw file and code, and exits non-zero when anything differs.
set -uo pipefail
old=$1 new=$2
shift 2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
for raw in "$@"; do
  for code in X G D L S P I R C; do
    for side in old new; do
      dir=$work/$side/$(basename "$raw")/$code
      mkdir -p "$dir"
      cp "$raw" "$dir/in.raw"
      bin=$old
      [ "$side" = new ] && bin=$new
      (cd "$dir" && "$bin" in.raw "$code" </dev/null >console.txt 2>&1; echo "exit $?" >>console.txt)
      rm "$dir/in.raw"
    done
    a=$work/old/$(basename "$raw")/$code
    b=$work/new/$(basename "$raw")/$code
    sums=$(cd "$a" && find . -type f -print0 | sort -z | xargs -0 md5sum | md5sum | cut -c1-12)
    if diff -r "$a" "$b" >/dev/null; then
      echo "same  $(basename "$raw") $code  $(ls "$a" | wc -l) files  $sums"
    else
      echo "DIFF  $(basename "$raw") $code"
      diff -r "$a" "$b" | head -5
      status=1
    fi
  done
done
exit $status
