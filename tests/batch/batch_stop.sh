#!/usr/bin/env bash
# ortekbatch stopping runs it started: a run past --timeout, and the whole
# batch on SIGINT. A stand-in tool leaves a temporary beside its script the
# way the real one does and then hangs. Checks that the batch ends promptly,
# says why, removes the temporaries of the stopped runs, leaves every script
# that existed before untouched, records no stopped run as done (the next run
# does them again) and ends with the fatal status.
#
#   tests/batch/batch_stop.sh BUILD_DIR
set -u
build=$(cd "$1" && pwd)
batch="$build/ortekbatch"
command -v python3 >/dev/null || { echo "skipped: python3 not found"; exit 77; }
work=$(mktemp -d "${TMPDIR:-/tmp}/ortekbatch-stop.XXXXXX")
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; echo "--- output:"; cat "$work/out.txt" 2>/dev/null; exit 1; }
cd "$work"

mkdir src
for i in 0 1 2 3; do printf 'int f%d(void) { return %d; }\n' $i $i >src/m$i.c; done
python3 - "$work" <<'PY'
import json, sys
w = sys.argv[1]
json.dump([{"directory": w, "file": "src/m%d.c" % i, "command": "cc -c src/m%d.c" % i}
           for i in range(4)], open(w + "/compile_commands.json", "w"))
PY
# The stand-in: its temporary is named after its own process like the tool's.
cat >hang.sh <<'T'
#!/bin/sh
for a in "$@"; do
  case "$a" in *.ptu) : >"$(dirname "$a")/.ortekstart-$$-tmp" ;; esac
done
exec sleep 60
T
chmod +x hang.sh
mkdir -p out/src
for i in 0 1 2 3; do echo "old script $i" >out/src/m$i.ptu; done

check_after_stop() {  # $1: what the log must say of a stopped run
  [ $status -eq 7 ] || fail "$1: status $status, expected 7"
  grep -q "): $1" out.txt || fail "$1: no failure line"
  [ -z "$(find out -name '.ortekstart-*')" ] || fail "$1: temporaries left: $(find out -name '.ortekstart-*')"
  for i in 0 1 2 3; do
    [ "$(cat out/src/m$i.ptu)" = "old script $i" ] || fail "$1: script m$i.ptu changed"
  done
}

# A run past its time is stopped; the others wait for their turn and stop too.
start=$(date +%s)
"$batch" -j 2 --timeout 1 --tool "$work/hang.sh" --out out "$work" >out.txt 2>&1
status=$?
[ $(( $(date +%s) - start )) -lt 20 ] || fail "timeout: the batch took too long"
check_after_stop "timeout after 1 s"
[ "$(grep -c 'timeout after 1 s' out.txt)" -eq 4 ] || fail "timeout: every run must time out"

# SIGINT stops the running files and starts no other one.
start=$(date +%s)
"$batch" -j 2 --tool "$work/hang.sh" --out out "$work" >out.txt 2>&1 &
pid=$!
for _ in $(seq 50); do
  [ "$(find out -name '.ortekstart-*' | wc -l)" -ge 2 ] && break
  sleep 0.1
done
kill -INT $pid
wait $pid
status=$?
[ $(( $(date +%s) - start )) -lt 20 ] || fail "interrupt: the batch took too long"
check_after_stop "interrupted"
grep -q '^4 files in .*, interrupted' out.txt || fail "interrupt: summary"
[ "$(grep -c ') *: interrupted' out.txt)" -eq 2 ] || fail "interrupt: only the two running files stop"

# Nothing stopped counts as done: the next run does all four again.
"$batch" -j 2 --timeout 1 --tool "$work/hang.sh" --out out "$work" >out.txt 2>&1
[ "$(grep -c 'timeout after 1 s' out.txt)" -eq 4 ] || fail "rerun: stopped files were taken as up to date"
echo "ortekbatch stop: all checks passed"
