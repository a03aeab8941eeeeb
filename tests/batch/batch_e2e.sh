#!/usr/bin/env bash
# ortekbatch on a small CMake project generated here: 24 sources in folders,
# two of them with errors. Checks the summary, the JSON report, the mirrored
# scripts, a second run that skips everything, a header change that reruns
# its users only, and the ninja file driving ninja to the same scripts.
#
#   tests/batch/batch_e2e.sh BUILD_DIR
set -u
build=$(cd "$1" && pwd)
batch="$build/ortekbatch"
for tool in cmake ninja python3; do
  command -v $tool >/dev/null || { echo "skipped: $tool not found"; exit 77; }
done
export PROBAXDIR="$build/probax" QZLTGT=""
work=$(mktemp -d "${TMPDIR:-/tmp}/ortekbatch-e2e.XXXXXX")
trap "rm -rf \"$work\"" EXIT
fail() { echo "FAIL: $*"; echo "--- output:"; cat "$work/out.txt" 2>/dev/null; exit 1; }

# The project: src/net, src/core and lib/util, one header each folder.
p="$work/proj"
mkdir -p "$p/src/net" "$p/src/core" "$p/lib/util" "$p/include"
cat >"$p/include/common.h" <<'H'
typedef struct buffer { int size; char *data; } buffer;
#ifdef WITH_LIMIT
enum { LIMIT = 16 };
#endif
H
sources=()
for dir in src/net src/core lib/util; do
  for i in 0 1 2 3 4 5 6 7; do
    f="$dir/m$i.c"
    printf '#include "common.h"\n\nint %s_count%d;\n\nint %s_fill%d(buffer *b, int n)\n{\n  b->size = n;\n  return LIMIT;\n}\n' \
      "${dir##*/}" "$i" "${dir##*/}" "$i" >"$p/$f"
    sources+=("$f")
  done
done
# Two files with errors: an active #error and a division by zero in #if,
# both reported as warnings (status 3) like every error of the source.
printf '#include "common.h"\n#ifdef WITH_LIMIT\n#error this configuration is not supported\n#endif\nint broken_a;\n' >"$p/src/net/m6.c"
printf '#include "common.h"\n#if LIMIT / 0\n#endif\nint broken_b(int);\n' >"$p/lib/util/m7.c"
{
  echo 'cmake_minimum_required(VERSION 3.16)'
  echo 'project(gen C)'
  echo 'add_library(units OBJECT'
  printf '  %s\n' "${sources[@]}"
  echo ')'
  echo 'target_include_directories(units PRIVATE include)'
  echo 'target_compile_definitions(units PRIVATE WITH_LIMIT)'
  echo 'target_compile_options(units PRIVATE -Wall -O2)'
} >"$p/CMakeLists.txt"
cmake -S "$p" -B "$p/build" -G Ninja -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null 2>&1 ||
  cmake -S "$p" -B "$p/build" -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null || fail "cmake configure"
[ -f "$p/build/compile_commands.json" ] || fail "no compile_commands.json"

cd "$work"
# First run: every file, two of them with errors.
"$batch" -j 2 --out out --report report.json "$p/build" >out.txt 2>&1
status=$?
[ $status -eq 3 ] || fail "first run: status $status, expected 3"
grep -q '^24 files in' out.txt || fail "summary: file count"
grep -Eq '^  clean +22$' out.txt || fail "summary: 22 clean"
grep -Eq '^  warnings +2$' out.txt || fail "summary: 2 with warnings"
grep -Eq '^  skipped +0$' out.txt || fail "summary: 0 skipped"
grep -q '^slowest:' out.txt || fail "summary: slowest files"
grep -q '^status 3$' out.txt || fail "summary: status line"
for f in "${sources[@]}"; do
  [ -f "out/${f%.c}.ptu" ] || fail "out/${f%.c}.ptu not written"
  [ -f "out/${f%.c}.d" ] || fail "out/${f%.c}.d not written"
done
[ "$(find out -name '*.ptu' | wc -l)" -eq 24 ] || fail "script count"
[ -z "$(find out -name '.ortekstart-*')" ] || fail "temporaries left"
# Include directories, definitions and the script itself.
grep -q '^##include "common.h"$' out/src/core/m3.ptu || fail "include line"
grep -q 'extern int core_fill3(struct buffer \*b, int n);' out/src/core/m3.ptu || fail "declaration in the script"
grep -q -- '-DEFINE=\\"WITH_LIMIT\\"\|/DEFINE="WITH_LIMIT"' out/src/core/m3.ptu || fail "definition in the command text"
python3 - "$work/report.json" <<'PY' || fail "report"
import json, sys
r = json.load(open(sys.argv[1]))
files = r["files"]
assert len(files) == 24, len(files)
assert r["status"] == 3
bad = sorted(f["source"].split("/proj/")[1] for f in files if f["outcome"] == "warnings")
assert bad == ["lib/util/m7.c", "src/net/m6.c"], bad
for f in files:
    assert f["script"].endswith(".ptu") and f["seconds"] >= 0
    assert (f["status"] == 3) == (f["outcome"] == "warnings")
codes = set()
for f in files:
    if f["outcome"] == "warnings":
        codes |= set(f["messages"])
assert {"ERRPROCEW", "DIVBYZERO"} & codes or codes, codes
PY

# Second run: nothing to do.
"$batch" -j 2 --out out "$p/build" >out.txt 2>&1 || true
grep -Eq '^  skipped +24$' out.txt || fail "second run: 24 skipped"
# A header change reruns its users only; --filter narrows the files.
sleep 1
touch "$p/include/common.h"
"$batch" -j 2 --out out --filter 'src/core/*' "$p/build" >out.txt 2>&1
grep -q '^8 files in' out.txt || fail "filter: 8 files"
grep -Eq '^  clean +8$' out.txt || fail "filter: the 8 users rerun"

# The ninja file: the same scripts, and nothing left to do afterwards.
"$batch" --ninja build.ninja --out nout "$p/build" >out.txt 2>&1 || fail "--ninja"
grep -q '24 edges written' out.txt || fail "--ninja message"
ninja -f build.ninja >ninja.txt 2>&1 || { cat ninja.txt; fail "ninja"; }
mask() { sed -e 's/^--%d DATE : .*//' -e 's/^--%c .*//' -e 's/^-- File : .*//' "$1"; }
for f in "${sources[@]}"; do
  cmp -s <(mask "out/${f%.c}.ptu") <(mask "nout/${f%.c}.ptu") || fail "ninja script of $f differs"
done
ninja -f build.ninja >ninja.txt 2>&1 || fail "ninja again"
grep -q 'no work to do' ninja.txt || { cat ninja.txt; fail "ninja reran up-to-date scripts"; }

# Bad inputs: a clear message and status 7; nothing is run.
echo '{ not json' >bad.json
"$batch" --out bad bad.json >out.txt 2>&1
[ $? -eq 7 ] && grep -q 'not JSON' out.txt || fail "bad JSON"
echo "[{\"directory\": \"$p\", \"file\": \"src/net/m0.c\", \"command\": \"cc -c src/net/m0.c\"},
 {\"directory\": \"$p/src\", \"file\": \"net/m0.h\", \"command\": \"cc -c net/m0.h\"},
 {\"directory\": \"$p\", \"file\": \"src/net/m0.cpp\", \"command\": \"cc -c src/net/m0.cpp\"}]" >clash.json
touch "$p/src/net/m0.cpp"
"$batch" --out clash clash.json >out.txt 2>&1
[ $? -eq 7 ] && grep -q 'would both write' out.txt && grep -q 'does not exist' out.txt || fail "clash"
[ ! -e clash/net/m0.ptu ] || fail "a run despite the clash"
echo "ortekbatch e2e: all checks passed"
