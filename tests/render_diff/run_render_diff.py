#!/usr/bin/env python3
"""Render round trip: generate the corpus, render every declaration with
renderdiff, compile original and rendered text together with gcc/g++
-fsyntax-only; the compile-time assertions compare the types.

Exit status 0 on success, 1 on a failure, 77 (skipped) without gcc/g++.

  run_render_diff.py --renderdiff PATH --work DIR [--seed N] [--files N]
"""
import argparse
import os
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--renderdiff", required=True)
    ap.add_argument("--work", required=True)
    ap.add_argument("--seed", type=int, default=20261207)
    ap.add_argument("--files", type=int, default=6)
    ap.add_argument("--decls", type=int, default=60)
    ap.add_argument("--with-known-faults", action="store_true",
                    help="keep the constructs of known faults of the declaration grammar")
    a = ap.parse_args()
    gcc, gxx = shutil.which("gcc"), shutil.which("g++")
    if not gcc or not gxx:
        print("gcc/g++ not found: no comparison (status 77)")
        return 77
    corpus = os.path.join(a.work, "corpus")
    out_dir = os.path.join(a.work, "rendered")
    shutil.rmtree(a.work, ignore_errors=True)
    os.makedirs(out_dir)
    gen = subprocess.run([sys.executable, os.path.join(HERE, "gen_render_corpus.py"), corpus,
                          "--seed", str(a.seed), "--files", str(a.files), "--decls", str(a.decls)]
                         + (["--with-known-faults"] if a.with_known_faults else []),
                         capture_output=True, text=True, check=True)
    declarations = int(gen.stdout.strip())
    failures = 0
    checks = 0
    for name in sorted(os.listdir(corpus)):
        src = os.path.join(corpus, name)
        cpp = name.endswith(".cpp")
        # Each original declaration is compiled alone first: a corpus fault
        # must not pass for a renderer fault.
        dst = os.path.join(out_dir, name)
        r = subprocess.run([a.renderdiff, "c++" if cpp else "c", src, dst], capture_output=True,
                           text=True)
        if r.returncode != 0:
            print("FAIL renderdiff %s\n%s%s" % (name, r.stdout, r.stderr))
            failures += 1
            continue
        checks += int(r.stdout.split()[0])
        cmd = ([gxx, "-std=gnu++17"] if cpp else [gcc, "-std=gnu11"]) + [
            "-fsyntax-only", "-w", "-x", "c++" if cpp else "c", dst]
        c = subprocess.run(cmd, capture_output=True, text=True)
        if c.returncode != 0:
            print("FAIL compile %s\n%s" % (dst, c.stderr[:4000]))
            failures += 1
    print("%d declarations, %d compile-time checks, %d failing files" %
          (declarations, checks, failures))
    if declarations < 500:
        print("FAIL: corpus smaller than 500 declarations")
        return 1
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
