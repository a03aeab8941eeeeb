#!/bin/sh
# Analysis time against file size: a generated file with N globals and N
# function definitions is analysed for N = 1,000, 10,000 and 100,000. Prints
# the times in seconds, the growth ratio from one size to the next (10 means
# linear), the same for clang -fsyntax-only on the same file, and the ratio of
# the two.
#
# usage: bench/ana_bench.sh [build-folder]   (default: build; needs tests/symdump,
#        best from a Release build: cmake -DCMAKE_BUILD_TYPE=Release)
set -eu
build=${1:-build}
symdump=$build/tests/symdump
[ -x "$symdump" ] || { echo "no $symdump: build the symdump target first" >&2; exit 2; }
clang=$(command -v clang-14 || command -v clang || true)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

now() { date +%s.%N; }

# Seconds of processor time (user + system, microsecond resolution) of a
# command when python3 is there, else of wall-clock time; the best of three
# runs. The machine may be shared: processor time is what tells how the work
# grows, and the best run is the one least disturbed.
measure_once() {
  if command -v python3 > /dev/null 2>&1; then
    python3 -c 'import resource, subprocess, sys
subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
r = resource.getrusage(resource.RUSAGE_CHILDREN)
print("%.6f" % (r.ru_utime + r.ru_stime))' "$@"
  else
    t0=$(now)
    "$@" > /dev/null 2>&1 || true
    t1=$(now)
    echo "$t1 - $t0" | bc -l
  fi
}

measure() {
  best=""
  for run in 1 2 3; do
    t=$(measure_once "$@")
    if [ -z "$best" ] || [ "$(echo "$t < $best" | bc -l)" = 1 ]; then best=$t; fi
  done
  echo "$best"
}

generate() {
  awk -v n="$1" 'BEGIN {
    print "typedef struct node { int key; struct node *next; } node_t;"
    for (i = 0; i < n; i++) {
      if (i % 3 == 0) printf "static int g%d = %d;\n", i, i
      else if (i % 3 == 1) printf "node_t *g%d[4];\n", i
      else printf "const char *g%d = \"v%d\";\n", i, i
      printf "int f%d(int a, node_t *p) { if (p) { return p->key + a; } return %d; }\n", i, i
    }
  }' > "$2"
}

# Process start (libraries, pools) is the same at every size: measured on an
# empty file and taken off, so that the figures are those of the analysis.
: > "$work/empty.c"
base_a=$(measure "$symdump" "$work/empty.c" --summary)
base_c=0
[ -n "$clang" ] && base_c=$(measure "$clang" -fsyntax-only -w "$work/empty.c")
net() { echo "$1 - $2" | bc -l | awk '{ printf "%.6f", ($1 < 0.000001 ? 0.000001 : $1) }'; }
printf 'start-up taken off: analyser %.3f s, clang %.3f s\n' "$base_a" "$base_c"

prev=""
prev_c=""
printf '%8s %10s %8s %10s %8s %8s\n' N analyser growth clang growth ratio
for n in 1000 10000 100000; do
  f=$work/bench_$n.c
  generate $n "$f"
  ta=$(net "$(measure "$symdump" "$f" --summary)" "$base_a")
  tc="-"; ratio="-"
  if [ -n "$clang" ]; then
    tc=$(net "$(measure "$clang" -fsyntax-only -w "$f")" "$base_c")
    ratio=$(printf '%.2f' "$(echo "$ta / $tc" | bc -l)")
    tc=$(printf '%.3f' "$tc")
  fi
  growth="-"; growth_c="-"
  [ -n "$prev" ] && growth=$(printf '%.1f' "$(echo "$ta / $prev" | bc -l)")
  [ -n "$prev_c" ] && [ "$tc" != "-" ] && growth_c=$(printf '%.1f' "$(echo "$tc / $prev_c" | bc -l)")
  printf '%8d %10.3f %8s %10s %8s %8s\n' $n "$ta" "$growth" "$tc" "$growth_c" "$ratio"
  prev=$ta
  [ "$tc" != "-" ] && prev_c=$tc
done
