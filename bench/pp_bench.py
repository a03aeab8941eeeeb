#!/usr/bin/env python3
"""Times our preprocessor (ppdump) against "gcc -E" on the same inputs.

    bench/pp_bench.py --ppdump build/tests/ppdump [--runs 3] [--work DIR]

Inputs:
  macros    a generated file of 100,000 lines using 10,000 macros
  headers   a tested file that includes many C library headers
Prints the best wall time of each side and the ratio ours / gcc (the aim
is 3 or less). Not part of the test suite.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "pp_diff"))
import gen_pp_corpus  # noqa: E402
import run_pp_diff  # noqa: E402

LINES = 100000
MACROS = 10000


def write_macro_file(path):
    with open(path, "w") as f:
        f.write(gen_pp_corpus.many_macros_text(LINES, MACROS))


def write_header_file(path, dirs):
    with open(path, "w") as f:
        for h in run_pp_diff.HEADERS:
            if any(os.path.exists(os.path.join(d, h)) for d in dirs):
                f.write("#include <%s>\n" % h)
        f.write("int main(void) { return 0; }\n")


def best_time(cmd, runs, cwd):
    best = None
    for _ in range(runs):
        t0 = time.perf_counter()
        p = subprocess.run(cmd, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        dt = time.perf_counter() - t0
        if p.returncode not in (0, 3):
            raise RuntimeError("%s failed (%d): %s" % (cmd[0], p.returncode,
                                                       p.stderr.decode("latin-1")[:300]))
        best = dt if best is None else min(best, dt)
    return best


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--ppdump", required=True)
    ap.add_argument("--runs", type=int, default=3)
    ap.add_argument("--work")
    args = ap.parse_args()
    if shutil.which("gcc") is None:
        print("gcc not found")
        return 1
    args.ppdump = os.path.abspath(args.ppdump)
    work = args.work or tempfile.mkdtemp(prefix="pp_bench_")
    os.makedirs(work, exist_ok=True)
    dirs = run_pp_diff.include_dirs()

    macro_file = os.path.join(work, "macros.c")
    header_file = os.path.join(work, "headers.c")
    write_macro_file(macro_file)
    write_header_file(header_file, dirs)

    inputs = [("macros", macro_file, [], []),
              ("headers", header_file, dirs, run_pp_diff.TARGET_DEFINES)]
    print("%-8s %10s %10s %7s" % ("input", "ppdump s", "gcc -E s", "ratio"))
    worst = 0.0
    for name, path, inc, defs in inputs:
        ours = [args.ppdump]
        theirs = ["gcc", "-E", "-P", "-undef", "-nostdinc", "-x", "c"]
        for d in inc:
            ours += ["-I", d]
            theirs += ["-I", d]
        for d in defs:
            ours += ["-D", d]
            theirs += ["-D", d]
        for d in run_pp_diff.OURS_ONLY_DEFINES:
            ours += ["-D", d]
        ours.append(path)
        theirs.append(path)
        t_ours = best_time(ours, args.runs, work)
        t_gcc = best_time(theirs, args.runs, work)
        ratio = t_ours / t_gcc
        worst = max(worst, ratio)
        print("%-8s %10.3f %10.3f %7.2f" % (name, t_ours, t_gcc, ratio))
    print("worst ratio %.2f (aim: 3 or less)" % worst)
    if not args.work:
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
