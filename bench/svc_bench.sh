#!/usr/bin/env bash
# Generation time against the size of the tested file: N functions and N
# globals, a tenth of the functions in overload groups of five (so 2,000
# groups at N = 20,000). Every size is generated twice and the better time
# kept; the script fails when doubling the size more than triples the time.
#
#   bench/svc_bench.sh [--bin ORTEKSTART] [--probax DIR] [SIZES...]
#
# Default sizes: 2500 5000 10000 20000.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
bin="$root/build/ortekstart"
probax="$root/build/probax"
sizes=()
while [ $# -gt 0 ]; do
  case "$1" in
    --bin) bin="$2"; shift ;;
    --probax) probax="$2"; shift ;;
    -h|--help) sed -n '2,9p' "$0"; exit 0 ;;
    *) sizes+=("$1") ;;
  esac
  shift
done
[ ${#sizes[@]} -gt 0 ] || sizes=(2500 5000 10000 20000)
bin=$(cd "$(dirname "$bin")" && pwd)/$(basename "$bin")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# n globals, n/2 plain functions and n/10 overload groups of five.
generate() {
  awk -v n="$1" 'BEGIN {
    for (i = 0; i < n; i++) printf "int g_%d;\n", i;
    for (i = 0; i < n / 2; i++) printf "int fn_%d(int a, int b) { return a + b; }\n", i;
    for (k = 0; k < n / 10; k++) {
      printf "int ov_%d(int a) { return a; }\n", k;
      printf "int ov_%d(double a) { return 0; }\n", k;
      printf "int ov_%d(char *s) { return 0; }\n", k;
      printf "int ov_%d(int a, int b) { return a; }\n", k;
      printf "int ov_%d(float a) { return 0; }\n", k;
    }
  }' > "$2"
}

seconds() {
  local best=""
  for _ in 1 2; do
    local start end
    start=$(date +%s.%N)
    ( cd "$work" && PROBAXDIR="$probax" ORTEK_SUPPRESS_COPYRIGHT= "$bin" t.cc t.ptu >/dev/null 2>"$work/stderr" ) ||
      { cat "$work/stderr" >&2; echo "ortekstart failed" >&2; exit 1; }
    end=$(date +%s.%N)
    local t
    t=$(echo "$end - $start" | bc)
    if [ -z "$best" ] || [ "$(echo "$t < $best" | bc)" = 1 ]; then best=$t; fi
  done
  echo "$best"
}

previous_size="" previous_time="" status=0
printf '%8s %10s %10s %8s\n' size seconds services ratio
for n in "${sizes[@]}"; do
  generate "$n" "$work/t.cc"
  t=$(seconds)
  services=$(grep -c '^SERVICE ' "$work/t.ptu" || true)
  want=$((n / 2 + n / 10 * 5))
  [ "$services" -eq "$want" ] || { echo "expected $want services, got $services" >&2; status=1; }
  ratio=-
  if [ -n "$previous_time" ]; then
    ratio=$(echo "scale=2; $t / $previous_time" | bc)
    # Twice the size may cost twice the time; three times means worse than linear.
    if [ "$n" -eq $((previous_size * 2)) ] && [ "$(echo "$ratio > 3" | bc)" = 1 ]; then status=1; fi
  fi
  printf '%8d %10.3f %10d %8s\n' "$n" "$t" "$services" "$ratio"
  previous_size=$n previous_time=$t
done
[ $status -eq 0 ] && echo "linear: yes" || echo "linear: NO"
exit $status
