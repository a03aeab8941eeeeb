#!/bin/sh
# Builds the fuzz targets with clang (libFuzzer, address and undefined-
# behaviour sanitizers) and runs each one for a bounded time on a copy of its
# seed corpus and its regression inputs. Any crash, sanitizer report, leak of
# the target's own, timeout or memory blow-up fails the run; the input that
# caused it is kept in the work folder and named.
#
#   fuzz/run-fuzz.sh [SECONDS_PER_TARGET] [TARGET...]   (default 45, all)
#   environment: FUZZ_BUILD (build folder, default build-fuzz)
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
seconds=${1:-45}
[ $# -gt 0 ] && shift
targets=${*:-"cmdline optfile pp ifeval lexer grammar generate"}
build=${FUZZ_BUILD:-build-fuzz}

command -v clang++ >/dev/null || { echo "run-fuzz: clang++ is missing" >&2; exit 1; }
start=$(date +%s)
cmake -S . -B "$build" -DORTEK_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" --target fuzz_targets -j2
echo "run-fuzz: build took $(( $(date +%s) - start )) s"

# Absolute: the targets work in a private folder of their own.
work="$root/$build/fuzz-work"
rm -rf "$work"
mkdir -p "$work"
# The targets make their private folders here, not in /tmp: a run that ends
# on a finding leaves its folder for inspection, inside the work folder.
export TMPDIR="$work"
# Process-lifetime objects (the string pool, option vectors) are never freed
# by design: leak detection would report them on every input.
export ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=0:allocator_may_return_null=1:quarantine_size_mb=32
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
failed=""
for t in $targets; do
  corpus="$work/$t-corpus"
  mkdir -p "$corpus" "$work/$t-artifacts"
  [ -d "fuzz/corpus/$t" ] && cp fuzz/corpus/$t/* "$corpus"/ 2>/dev/null || true
  [ -d "fuzz/regressions/$t" ] && cp fuzz/regressions/$t/* "$corpus"/ 2>/dev/null || true
  echo "run-fuzz: $t for ${seconds} s"
  # -close_fd_mask=3: the tool's own diagnostics would swamp the log; the
  # fuzzer and the sanitizers still report on their own descriptor.
  if ! "$root/$build/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2560 \
       -max_len=8192 -close_fd_mask=3 -print_final_stats=1 \
       -artifact_prefix="$work/$t-artifacts/" "$corpus" >"$work/$t.log" 2>&1; then
    failed="$failed $t"
    tail -n 60 "$work/$t.log"
    echo "run-fuzz: $t FAILED, inputs in $work/$t-artifacts" >&2
  else
    grep -E "stat::number_of_executed_units|cov:" "$work/$t.log" | tail -n 2 || true
  fi
done
echo "run-fuzz: total $(( $(date +%s) - start )) s"
if [ -n "$failed" ]; then
  echo "run-fuzz: findings in:$failed" >&2
  exit 1
fi
