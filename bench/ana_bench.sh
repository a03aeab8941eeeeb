#!/bin/sh
# Analysis time against file size: a generated file with N globals and N
# function definitions is analysed for N = 1,000, 10,000 and 100,000. Prints
# the times in seconds, the growth ratio from one size to the next (10 means
# linear) and the ratio to clang -fsyntax-only on the same file.
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

# Seconds of processor time (user + system) of a command when /usr/bin/time
# is there, else wall-clock seconds: the machine may be shared, and processor
# time is what tells how the work grows.
measure() {
  if [ -x /usr/bin/time ]; then
    /usr/bin/time -f "%U %S" -o "$work/time" "$@" > /dev/null 2>&1 || true
    awk '{ print $1 + $2 }' "$work/time"
  else
    t0=$(now)
    "$@" > /dev/null 2>&1 || true
    t1=$(now)
    echo "$t1 - $t0" | bc -l
  fi
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

prev=""
printf '%8s %10s %8s %10s %8s\n' N analyser growth clang ratio
for n in 1000 10000 100000; do
  f=$work/bench_$n.c
  generate $n "$f"
  ta=$(measure "$symdump" "$f" --summary)
  tc="-"; ratio="-"
  if [ -n "$clang" ]; then
    tc=$(measure "$clang" -fsyntax-only -w "$f")
    ratio=$(printf '%.2f' "$(echo "$ta / $tc" | bc -l)")
    tc=$(printf '%.3f' "$tc")
  fi
  growth="-"
  [ -n "$prev" ] && growth=$(printf '%.1f' "$(echo "$ta / $prev" | bc -l)")
  printf '%8d %10.3f %8s %10s %8s\n' $n "$ta" "$growth" "$tc" "$ratio"
  prev=$ta
done
