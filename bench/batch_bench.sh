#!/usr/bin/env bash
# ortekbatch -j 2 against the same files run one by one with ortekstart.
#
#   bench/batch_bench.sh [BUILD_DIR] [FILES]     (defaults: build, 40)
#
# The files include <stdio.h>, <stdlib.h> and <string.h> through the
# installed target, so that each run does the work of a real source file.
set -eu
build=$(cd "${1:-build}" && pwd)
count=${2:-40}
export PROBAXDIR="$build/probax"
unset QZLTGT
work=$(mktemp -d "${TMPDIR:-/tmp}/ortekbatch-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/src" "$work/one"
{
  echo '['
  for i in $(seq 1 "$count"); do
    printf '#include <stdio.h>\n#include <stdlib.h>\n#include <string.h>\nint g%d;\nint f%d(const char *s) { return (int)strlen(s) + g%d; }\n' \
      "$i" "$i" "$i" >"$work/src/f$i.c"
    sep=","; [ "$i" -eq "$count" ] && sep=""
    printf '{"directory": "%s", "file": "src/f%d.c", "arguments": ["cc", "-c", "-O2", "src/f%d.c"]}%s\n' \
      "$work" "$i" "$i" "$sep"
  done
  echo ']'
} >"$work/compile_commands.json"

now() { date +%s.%N; }
start=$(now)
for i in $(seq 1 "$count"); do
  (cd "$work" && "$build/ortekstart" "src/f$i.c" "one/f$i.ptu" >/dev/null 2>&1) || true
done
serial=$(awk -v a="$(now)" -v b="$start" 'BEGIN { print a - b }')
start=$(now)
"$build/ortekbatch" -j 2 --force --out "$work/batch" "$work/compile_commands.json" >/dev/null 2>&1 || true
parallel=$(awk -v a="$(now)" -v b="$start" 'BEGIN { print a - b }')
printf 'files: %d\none by one: %.2f s\nortekbatch -j 2: %.2f s\nspeed-up: %.2fx\n' \
  "$count" "$serial" "$parallel" "$(awk -v a="$serial" -v b="$parallel" 'BEGIN { print a / b }')"
