#!/usr/bin/env python3
"""Whole-tool benchmark: ortekstart against gcc -E, clang -fsyntax-only and
ctags on the same files in the same run.

Inputs: generated files of 1,000 / 10,000 / 100,000 functions and as many
globals, a file including the common C headers of the machine, one including
the system headers of network and thread code, and a larger real-world-like
C file on the common headers. Every tool runs on every file with the same
flags; each figure is the best of --repeat runs (5 by default: on a shared
machine the best of three runs of a 60 ms file still varies by some per
cent, which moves the growth factor as much as a change of the tool does).

Times are processor times (user + system, of the process and the processes
it waited for, as wait4 reports them): on a machine shared with other work
they vary far less than wall times, which are shown beside them. Peak memory
is the maximum resident set size of the same runs.

Prints the times, the ratios of ortekstart to each tool, the growth factors
from one size to the next, the peak memory against the preprocessed size
(gcc -E output), and checks the targets:
  - realworld.c: at most 0.25x clang -fsyntax-only and at most 1.0x gcc -E;
  - syshdr.c (system headers): at most 0.5x clang -fsyntax-only;
  - growth from 10,000 to 100,000 functions at most 11x, and the 100,000
    case at most 1.0x clang -fsyntax-only;
  - peak memory at most 10x the preprocessed input (on the largest generated
    file, where the input outweighs the process's fixed start-up memory; the
    fixed part, measured on an empty file, is shown beside it).
Exit status 1 when a target is missed.

    bench/tool_bench.py [--bin ORTEKSTART] [--probax DIR] [--target QZLTGT]
                        [--repeat N] [--sizes 1000,10000,100000]

Without --bin, a Release build is made in build-bench (ortekstart only).
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

COMMON_HEADERS = ["stdio.h", "stdlib.h", "string.h", "stdint.h", "stddef.h", "stdarg.h", "stdbool.h",
                  "errno.h", "math.h", "time.h", "signal.h", "pthread.h", "sys/types.h", "sys/stat.h",
                  "fcntl.h", "unistd.h", "ctype.h", "limits.h", "assert.h", "setjmp.h"]


def generated(n):
    out = ["typedef struct node { int key; struct node *next; } node_t;"]
    for i in range(n):
        k = i % 3
        if k == 0:
            out.append("static int g%d = %d;" % (i, i))
        elif k == 1:
            out.append("node_t *g%d[4];" % i)
        else:
            out.append('const char *g%d = "v%d";' % (i, i))
        out.append("int f%d(int a, node_t *p) { if (p) { return p->key + a; } return %d; }" % (i, i))
    return "\n".join(out) + "\n"


SYSTEM_HEADERS = ["sys/socket.h", "netinet/in.h", "pthread.h", "signal.h", "sys/stat.h", "fcntl.h", "unistd.h"]


def system_headers_file():
    """Network and thread code: the system headers such a file includes, a
    few records and functions on their types."""
    out = ["#include <%s>" % h for h in SYSTEM_HEADERS]
    out += ["", "static int listener = -1;", "struct sockaddr_in bound;", "pthread_mutex_t guard;",
            "int open_port(unsigned short port) { bound.sin_family = AF_INET; bound.sin_port = htons(port);",
            "  listener = socket(AF_INET, SOCK_STREAM, 0); return listener; }",
            "void on_signal(int sig, siginfo_t *info, void *ctx) { (void)sig; (void)info; (void)ctx; }",
            "int is_dir(const char *p) { struct stat st; return stat(p, &st) == 0 && S_ISDIR(st.st_mode); }"]
    return "\n".join(out) + "\n"


def headers_file():
    out = ["#include <%s>" % h for h in COMMON_HEADERS]
    out += ["", "static int counter;", "double scale = 1.5;",
            "int add(int a, int b) { return a + b; }",
            "size_t length(const char *s) { return strlen(s); }",
            "void report(FILE *f, const char *m) { fprintf(f, \"%s\\n\", m); }"]
    return "\n".join(out) + "\n"


def realworld_file(units):
    """Typical module code on the common headers: records, enums, tables of
    function pointers, static helpers with loops and switches, globals."""
    out = ["#include <%s>" % h for h in COMMON_HEADERS]
    out.append("""
#define CHECK(x) do { if (!(x)) { fprintf(stderr, "%s:%d: %s\\n", __FILE__, __LINE__, #x); abort(); } } while (0)
#define ARRAY_SIZE(a) (sizeof(a) / sizeof((a)[0]))
typedef enum { ST_IDLE, ST_RUN, ST_STOP, ST_ERROR } state_t;
typedef int (*handler_t)(void *ctx, const char *arg, size_t len);
struct buffer { char *data; size_t used, size; unsigned flags : 4; };
static pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
""")
    for u in range(units):
        out.append("""
struct rec%(u)d { int id; double value; char name[32]; struct rec%(u)d *next; state_t st; };
static struct rec%(u)d *head%(u)d;
int limit%(u)d = %(u)d;
static const char *names%(u)d[] = { "alpha", "beta", "gamma" };
static int grow%(u)d(struct buffer *b, size_t more) {
  if (b->used + more <= b->size) return 0;
  size_t n = b->size ? b->size * 2 : 64;
  while (n < b->used + more) n *= 2;
  char *p = realloc(b->data, n);
  if (!p) { errno = ENOMEM; return -1; }
  b->data = p; b->size = n;
  return 0;
}
int handle%(u)d(void *ctx, const char *arg, size_t len) {
  struct buffer *b = ctx;
  CHECK(b != NULL);
  if (grow%(u)d(b, len + 1) < 0) return -1;
  memcpy(b->data + b->used, arg, len);
  b->used += len;
  b->data[b->used] = '\\0';
  for (size_t i = 0; i < len; ++i) if (isspace((unsigned char)arg[i])) b->flags |= 1;
  return (int)len;
}
state_t step%(u)d(state_t s, int event) {
  pthread_mutex_lock(&lock);
  switch (s) {
    case ST_IDLE: s = event ? ST_RUN : ST_IDLE; break;
    case ST_RUN: s = event < 0 ? ST_ERROR : (event == 0 ? ST_STOP : ST_RUN); break;
    default: break;
  }
  pthread_mutex_unlock(&lock);
  return s;
}
double mean%(u)d(const double *v, size_t n) {
  double s = 0;
  for (size_t i = 0; i < n; ++i) s += v[i];
  return n ? s / (double)n : NAN;
}
static handler_t table%(u)d[] = { handle%(u)d, handle%(u)d };
""" % {"u": u})
    return "\n".join(out)


class Runner:
    def __init__(self, args, work):
        self.args = args
        self.work = work

    def run(self, argv, cwd, env=None):
        """Best processor time, best wall time, the peak memory (KB) of the
        best run and the exit status."""
        best, wall, rss, status = None, None, 0, 0
        # The peak memory that wait4 reports would start from the size of
        # this interpreter (the child's image before exec); GNU time reports
        # the tool's own, and its own processor time is a fraction of a
        # millisecond.
        memory_file = os.path.join(self.work, ".peak")
        wrapper = ["/usr/bin/time", "-f", "%M", "-o", memory_file] if os.path.exists("/usr/bin/time") else []
        for _ in range(self.args.repeat):
            t0 = time.perf_counter()
            p = subprocess.Popen(wrapper + argv, cwd=cwd, env=env, stdout=subprocess.DEVNULL,
                                 stderr=subprocess.DEVNULL)
            _, code, usage = os.wait4(p.pid, 0)
            w = time.perf_counter() - t0
            p.returncode = os.waitstatus_to_exitcode(code)
            status = p.returncode
            cpu = usage.ru_utime + usage.ru_stime
            wall = w if wall is None else min(wall, w)
            if best is None or cpu < best:
                best, rss = cpu, usage.ru_maxrss
                if wrapper:
                    with open(memory_file) as f:
                        lines = f.read().split()
                    rss = int(lines[-1]) if lines and lines[-1].isdigit() else 0
        return best, rss, status, wall


def release_build():
    build = os.path.join(ROOT, "build-bench")
    subprocess.run(["cmake", "-S", ROOT, "-B", build, "-DCMAKE_BUILD_TYPE=Release"], check=True,
                   stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", build, "--target", "ortekstart", "-j2"], check=True,
                   stdout=subprocess.DEVNULL)
    return os.path.join(build, "ortekstart"), os.path.join(build, "probax")


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--bin")
    p.add_argument("--probax")
    p.add_argument("--target", help="QZLTGT (default: PROBAXDIR/target/gcc when present)")
    p.add_argument("--repeat", type=int, default=5)
    p.add_argument("--sizes", default="1000,10000,100000")
    p.add_argument("--units", type=int, default=150, help="records of the real-world-like file")
    args = p.parse_args()
    if args.bin:
        tool = os.path.abspath(args.bin)
        probax = os.path.abspath(args.probax or os.path.join(os.path.dirname(tool), "probax"))
    else:
        tool, probax = release_build()
    target = os.path.abspath(args.target or os.path.join(probax, "target", "gcc"))
    if not os.path.isfile(os.path.join(target, "ana", "qzus_c.def")):
        print("note: no target directory at %s; system headers are analysed without it" % target)
        target = None
    sizes = [int(s) for s in args.sizes.split(",")]

    work = tempfile.mkdtemp(prefix="tool_bench.")
    try:
        files = []
        for n in sizes:
            files.append(("gen_%d.c" % n, generated(n), n))
        files.append(("headers.c", headers_file(), None))
        files.append(("syshdr.c", system_headers_file(), None))
        files.append(("realworld.c", realworld_file(args.units), None))
        files.append(("empty.c", "", None))
        for name, text, _ in files:
            with open(os.path.join(work, name), "w") as f:
                f.write(text)

        env = dict(os.environ, PROBAXDIR=probax, ORTEK_SUPPRESS_COPYRIGHT="1", LANG="C")
        for v in ("ORTEKLAN", "QZLTGT", "QZUTGT", "QZW_ADD_USR_INCLUDE"):
            env.pop(v, None)
        if target:
            env["QZLTGT"] = target
        r = Runner(args, work)
        clang = shutil.which("clang") or shutil.which("clang-14")
        ctags = shutil.which("ctags")
        tools = [("ortekstart", lambda f: [tool, f, os.path.splitext(f)[0] + ".ptu"], env),
                 ("gcc -E", lambda f: ["gcc", "-E", f, "-o", "/dev/null"], None)]
        if clang:
            tools.append(("clang -fsyntax-only", lambda f: [clang, "-fsyntax-only", "-w", f], None))
        if ctags:
            tools.append(("ctags", lambda f: [ctags, "-f", "/dev/null", f], None))

        results = {}
        for name, _, _ in files:
            pre = subprocess.run(["gcc", "-E", name], cwd=work, capture_output=True).stdout
            results[name] = {"size": os.path.getsize(os.path.join(work, name)), "pre": len(pre)}
            for label, argv, e in tools:
                results[name][label] = r.run(argv(name), work, e)

        labels = [t[0] for t in tools]
        print("ortekstart %s%s" % (tool, ", QZLTGT=" + target if target else ""))
        print("best of %d runs; processor time in seconds (wall time), peak memory in MB\n" % args.repeat)
        head = "%-14s %9s %9s" % ("file", "source KB", "pp KB")
        for label in labels:
            head += " %30s" % label
        print(head)
        for name, _, _ in files:
            res = results[name]
            line = "%-14s %9.1f %9.1f" % (name, res["size"] / 1024, res["pre"] / 1024)
            for label in labels:
                t, rss, status, wall = res[label]
                line += " %7.3fs (%7.3fs) %6.1fMB%s" % (t, wall, rss / 1024,
                                                        " !%d" % status if status not in (0, 3) else "   ")
            print(line)
        print("\n(!N: exit status N; ortekstart ends with 3 on warnings, 5 on errors)\n")

        print("ratios ortekstart / tool (time)")
        print("%-16s" % "file" + "".join(" %20s" % l for l in labels[1:]))
        for name, _, _ in files:
            if name == "empty.c":
                continue
            base = results[name]["ortekstart"][0]
            print("%-16s" % name + "".join(" %19.2fx" % (base / results[name][l][0]) for l in labels[1:]))

        print("\ngrowth factors (time of a size / time of the size before)")
        print("%-16s" % "sizes" + "".join(" %20s" % l for l in labels))
        growth_10_100 = None
        for a, b in zip(sizes, sizes[1:]):
            fa, fb = "gen_%d.c" % a, "gen_%d.c" % b
            row = "%-16s" % ("%d -> %d" % (a, b))
            for l in labels:
                g = results[fb][l][0] / results[fa][l][0]
                row += " %19.1fx" % g
                if l == "ortekstart" and (a, b) == (10000, 100000):
                    growth_10_100 = g
            print(row)

        def ratio(name, label):
            return results[name]["ortekstart"][0] / results[name][label][0]

        fixed = results["empty.c"]["ortekstart"][1]
        print("\npeak memory of ortekstart / preprocessed size (start-up memory on an empty file: %.1f MB)" %
              (fixed / 1024))
        mem_worst = 0.0
        for name, _, n in files:
            res = results[name]
            if not res["pre"] or name == "empty.c":
                continue
            total = res["ortekstart"][1] * 1024 / res["pre"]
            above = max(0, res["ortekstart"][1] - fixed) * 1024 / res["pre"]
            print("%-16s %8.1fx   (above start-up: %.1fx)" % (name, total, above))
            if n is not None and n == max(sizes):
                mem_worst = max(mem_worst, total)

        print("\ntargets")
        failed = 0

        def check(ok, text):
            nonlocal failed
            print("  %s  %s" % ("met   " if ok else "MISSED", text))
            failed += 0 if ok else 1

        # A run that ended in a fatal error measured nothing worth comparing.
        for name, _, _ in files:
            status = results[name]["ortekstart"][2]
            if status not in (0, 3):
                check(False, "%s: ortekstart ended with status %d" % (name, status))

        clang_label = "clang -fsyntax-only"
        r_gcc = ratio("realworld.c", "gcc -E")
        check(r_gcc <= 1.0, "realworld.c: ortekstart %.2fx gcc -E (at most 1.0x)" % r_gcc)
        if clang:
            r = ratio("realworld.c", clang_label)
            check(r <= 0.25, "realworld.c: ortekstart %.2fx clang -fsyntax-only (at most 0.25x)" % r)
            r = ratio("syshdr.c", clang_label)
            check(r <= 0.5, "syshdr.c (system headers): ortekstart %.2fx clang -fsyntax-only (at most 0.5x)" % r)
            r = ratio("headers.c", clang_label)
            print("  (headers.c, the common headers: ortekstart %.2fx clang -fsyntax-only)" % r)
        if growth_10_100 is not None:
            check(growth_10_100 <= 11.0, "growth 10,000 -> 100,000 functions: %.1fx (at most 11x)" % growth_10_100)
        if clang and 100000 in sizes:
            r = ratio("gen_100000.c", clang_label)
            check(r <= 1.0, "gen_100000.c: ortekstart %.2fx clang -fsyntax-only (at most 1.0x)" % r)
        if mem_worst:
            check(mem_worst <= 10.0, "peak memory on gen_%d.c: %.1fx the preprocessed size (at most 10x)" %
                  (max(sizes), mem_worst))
        return 1 if failed else 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
