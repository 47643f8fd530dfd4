#!/bin/sh
# Unattended runs of the built program as scripts make them:
#   1. --batch in a `while read` loop over three raw files: each is transcribed, and the loop's
#      own input (the file names) is left to the loop;
#   2. --batch with a standard input that never ends (a pipe held open) does not wait;
#   3. --length-code=2 in a batch run of a $PDLMT file without header lines writes the same files
#      as the code 2 typed at the prompt.
# Usage: unattended_test.sh QUILLET EXAMPLES_DIR
set -eu
quillet=$1
examples=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*"
  exit 1
}

cd "$work"
for d in d1 d2 d3; do
  mkdir "$d"
  cp "$examples/t_packets.raw" "$d/f.raw"
done
ls d*/f.raw | while read -r f; do
  "$quillet" --batch "$f" G 0.3 >"$f.console" 2>&1 || fail "$f: status $?"
  echo "$f" >>loop.txt
done
printf 'd1/f.raw\nd2/f.raw\nd3/f.raw\n' | cmp -s - loop.txt || fail "the loop lost its input"
for d in d1 d2 d3; do
  grep -q "Summary: 373 lines read, 300 station records written, 0 lines skipped" \
    "$d/f.raw.console" || fail "$d not transcribed"
  grep -q "^    (batch: default kept)$" "$d/f.raw.console" || fail "$d: no batch line"
  ls "$d" | grep -q '\.xyz$' || fail "$d: no xyz file"
done

# A pipe that stays open: its writer (this shell, on descriptor 3) never closes it while the
# program runs, so a read would wait for ever.
mkdir open && cp "$examples/t_packets.raw" open/
mkfifo never_ends
exec 3<>never_ends
(cd open && timeout 60 "$quillet" --batch t_packets.raw C 0.35 <&3 >console 2>&1) ||
  fail "--batch with an open standard input: status $?"
exec 3>&-
grep -q "Summary: 373 lines read" open/console || fail "--batch with an open input: not transcribed"

mkdir typed given
cp "$examples/pdlmt.raw" typed/
cp "$examples/pdlmt.raw" given/
(cd typed && printf '/\n2\n' | "$quillet" pdlmt.raw LX >console 2>&1) || fail "typed: status $?"
(cd given && "$quillet" --batch --length-code=2 pdlmt.raw LX </dev/null >console 2>&1) ||
  fail "given: status $?"
grep -q "^    (length code given: 2)$" given/console || fail "the given code is not shown"
rm typed/console given/console
diff -r typed given || fail "--length-code=2 and a typed 2 wrote different files"
[ "$(ls typed | wc -l)" -gt 1 ] || fail "no output files"
echo "unattended runs: 3 checks passed"
