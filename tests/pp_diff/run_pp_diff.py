#!/usr/bin/env python3
"""Compares our preprocessor with the system C preprocessor, token by token.

    run_pp_diff.py --ppdump PATH [--work DIR] [--verbose] [--only NAME]

For the generated corpus (gen_pp_corpus.py) and a list of system headers,
the token sequence of ppdump's output (line markers and white space aside)
must equal that of "gcc -E -P -undef -nostdinc" given the same -I and -D.
Exit status 0 when all agree, 1 on a difference, 77 (skipped) without gcc.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import gen_pp_corpus  # noqa: E402

SKIP = 77
MIN_HEADERS = 30

# Target macros a compiler would predefine; given to both sides so that the
# headers take their x86-64 Linux paths.
TARGET_DEFINES = ["__x86_64__=1", "__linux__=1", "__unix__=1", "__LP64__=1", "_LP64=1"]
# What the other side predefines even with -undef, and we do not.
OURS_ONLY_DEFINES = ["__STDC_VERSION__=201710L", "__STDC_HOSTED__=1",
                     "__STDC_UTF_16__=1", "__STDC_UTF_32__=1"]
# What we predefine at every start and the other side does not.
THEIRS_ONLY_DEFINES = ["QZL_WIN32=1", "USE_QZU=1", "QZL_CPLUSPLUS_LANGUAGE=1"]

# Headers that are self-contained under -undef -nostdinc with the include
# directories below and whose conditions do not depend on what the two
# preprocessors define differently (__STDC__ is 0 here, __has_include is not
# known here).
HEADERS = [
    "aio.h", "aliases.h", "argp.h", "argz.h", "assert.h", "byteswap.h", "complex.h",
    "crypt.h", "ctype.h", "dirent.h", "elf.h", "endian.h", "envz.h", "err.h", "error.h",
    "fcntl.h", "fenv.h", "fnmatch.h", "fts.h", "ftw.h", "getopt.h", "glob.h", "grp.h",
    "iconv.h", "ifaddrs.h", "inttypes.h", "langinfo.h", "libgen.h", "libintl.h", "limits.h",
    "link.h", "locale.h", "malloc.h", "math.h", "memory.h", "mntent.h", "monetary.h",
    "mqueue.h", "netdb.h", "nl_types.h", "obstack.h", "poll.h", "printf.h", "pthread.h",
    "pty.h", "pwd.h", "regex.h", "resolv.h", "sched.h", "search.h", "semaphore.h",
    "setjmp.h", "shadow.h", "signal.h", "spawn.h", "stdint.h", "stdio.h", "stdio_ext.h",
    "stdlib.h", "string.h", "strings.h", "syslog.h", "tar.h", "termios.h", "time.h",
    "uchar.h", "unistd.h", "utime.h", "utmp.h", "wctype.h", "wordexp.h",
    "sys/epoll.h", "sys/file.h", "sys/ioctl.h", "sys/ipc.h", "sys/mman.h", "sys/msg.h",
    "sys/poll.h", "sys/resource.h", "sys/select.h", "sys/sem.h", "sys/shm.h",
    "sys/socket.h", "sys/stat.h", "sys/statvfs.h", "sys/time.h", "sys/times.h",
    "sys/types.h", "sys/uio.h", "sys/un.h", "sys/utsname.h", "sys/wait.h",
    "netinet/in.h", "netinet/tcp.h", "arpa/inet.h",
    "zlib.h", "bzlib.h", "expat.h", "png.h", "sqlite3.h",
]


def include_dirs():
    dirs = []
    multiarch = "/usr/include/x86_64-linux-gnu"
    if os.path.isdir(multiarch):
        dirs.append(multiarch)
    dirs.append("/usr/include")
    gcc_inc = None
    try:
        out = subprocess.run(["gcc", "-print-file-name=include"], capture_output=True,
                             text=True, timeout=30).stdout.strip()
        if out and os.path.isdir(out):
            gcc_inc = out
    except OSError:
        pass
    if gcc_inc:
        dirs.append(gcc_inc)
    return dirs


# ---------------------------------------------------------------- tokens

PUNCT = sorted("""
%:%: ... <<= >>= -> ++ -- << >> <= >= == != && || *= /= %= += -= &= ^= |= ## <: :> <% %> %:
[ ] ( ) { } . & * + - ~ ! / % < > ^ | ? : ; = , # @ $ \\ `
""".split(), key=len, reverse=True)
TOKEN_RE = re.compile(
    r"""(?P<ws>[ \t\r\n\f\v]+)"""
    r"""|(?P<str>(?:u8|[uUL])?"(?:[^"\\\n]|\\.)*"?)"""
    r"""|(?P<chr>(?:u8|[uUL])?'(?:[^'\\\n]|\\.)*'?)"""
    r"""|(?P<num>\.?[0-9](?:[eEpP][+-]|[0-9A-Za-z_.$])*)"""
    r"""|(?P<id>[A-Za-z_$][0-9A-Za-z_$]*)"""
    r"""|(?P<punct>""" + "|".join(re.escape(p) for p in PUNCT) + r""")"""
    r"""|(?P<other>.)""", re.S)

OUR_MARKER = re.compile(r'^[ \t]*#line [0-9]+ "[^\n]*"[ \t]*$', re.M)
THEIR_PRAGMA = re.compile(r'^[ \t]*#[ \t]*pragma\b[^\n]*$', re.M)


def tokens(text):
    out = []
    for m in TOKEN_RE.finditer(text):
        if m.lastgroup != "ws":
            out.append(m.group())
    return out


# ---------------------------------------------------------------- runs

def run_gcc(path, dirs, defines, cwd):
    cmd = ["gcc", "-E", "-P", "-undef", "-nostdinc", "-x", "c"]
    for d in dirs:
        cmd += ["-I", d]
    for d in defines + THEIRS_ONLY_DEFINES:
        cmd += ["-D", d]
    cmd.append(path)
    p = subprocess.run(cmd, capture_output=True, cwd=cwd, timeout=120)
    return p.returncode, p.stdout.decode("latin-1"), p.stderr.decode("latin-1")


def run_ours(ppdump, path, dirs, defines, cwd):
    cmd = [ppdump]
    for d in dirs:
        cmd += ["-I", d]
    for d in defines + OURS_ONLY_DEFINES:
        cmd += ["-D", d]
    cmd.append(path)
    p = subprocess.run(cmd, capture_output=True, cwd=cwd, timeout=120)
    return p.returncode, p.stdout.decode("latin-1"), p.stderr.decode("latin-1")


def first_difference(a, b):
    n = min(len(a), len(b))
    for i in range(n):
        if a[i] != b[i]:
            return i
    return n if len(a) != len(b) else -1


# Diagnostics our side gave on inputs that compared equal (shown, not failed).
WARNINGS = []


def compare(name, ppdump, path, dirs, defines, cwd, verbose):
    grc, gout, gerr = run_gcc(path, dirs, defines, cwd)
    if grc != 0:
        return "gcc failed: " + gerr.strip().splitlines()[0] if gerr.strip() else "gcc failed"
    orc, oout, oerr = run_ours(ppdump, path, dirs, defines, cwd)
    if orc not in (0, 3):
        return "ppdump status %d: %s" % (orc, oerr.strip()[:300])
    theirs = tokens(THEIR_PRAGMA.sub("", gout))
    ours = tokens(OUR_MARKER.sub("", oout))
    i = first_difference(theirs, ours)
    if i < 0:
        for line in oerr.splitlines():
            WARNINGS.append("%s: %s" % (name, line))
        if verbose:
            print("  %-24s %6d tokens" % (name, len(ours)))
        return None
    lo = max(0, i - 12)
    return ("token %d differs\n    expected: %s\n    got:      %s"
            % (i, " ".join(theirs[lo:i + 12]), " ".join(ours[lo:i + 12])))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--ppdump", required=True)
    ap.add_argument("--work")
    ap.add_argument("--verbose", action="store_true")
    ap.add_argument("--only")
    args = ap.parse_args()

    if shutil.which("gcc") is None:
        print("gcc not found: no comparison (status 77)")
        return SKIP
    args.ppdump = os.path.abspath(args.ppdump)
    if not os.access(args.ppdump, os.X_OK):
        print("ppdump not found at %s" % args.ppdump)
        return 1

    work = args.work or tempfile.mkdtemp(prefix="pp_diff_")
    corpus = os.path.join(work, "corpus")
    if os.path.isdir(corpus):
        shutil.rmtree(corpus)
    names = gen_pp_corpus.generate(corpus)
    failures = []

    print("generated cases:")
    for n in names:
        if args.only and args.only != n:
            continue
        err = compare(n, args.ppdump, n + ".c", ["sub"], [], corpus, args.verbose)
        print("  %-24s %s" % (n, "ok" if err is None else "DIFFERS"))
        if err:
            failures.append((n, err))

    print("system headers:")
    dirs = include_dirs()
    wrappers = os.path.join(work, "headers")
    os.makedirs(wrappers, exist_ok=True)
    passed = 0
    present = 0
    for h in HEADERS:
        if args.only and args.only != h:
            continue
        if not any(os.path.exists(os.path.join(d, h)) for d in dirs):
            continue
        present += 1
        wrapper = os.path.join(wrappers, h.replace("/", "_") + ".c")
        with open(wrapper, "w") as f:
            f.write("#include <%s>\n" % h)
        err = compare(h, args.ppdump, wrapper, dirs, TARGET_DEFINES, wrappers, args.verbose)
        if err is None:
            passed += 1
        else:
            failures.append((h, err))
            print("  %-24s DIFFERS" % h)
    print("  %d of %d headers agree" % (passed, present))
    if not args.only and present:
        # All of them in one file: guards and definitions meet each other.
        combined = os.path.join(wrappers, "all_headers.c")
        with open(combined, "w") as f:
            for h in HEADERS:
                if any(os.path.exists(os.path.join(d, h)) for d in dirs):
                    f.write("#include <%s>\n" % h)
        err = compare("all_headers", args.ppdump, combined, dirs, TARGET_DEFINES, wrappers,
                      args.verbose)
        print("  %-24s %s" % ("all in one file", "ok" if err is None else "DIFFERS"))
        if err:
            failures.append(("all_headers", err))

    if WARNINGS:
        print("\ndiagnostics on inputs that agree (%d):" % len(WARNINGS))
        for w in WARNINGS[:20]:
            print("  " + w)
    for n, err in failures:
        print("\n%s: %s" % (n, err))
    if not args.work:
        shutil.rmtree(work, ignore_errors=True)
    if failures:
        return 1
    if not args.only and passed < MIN_HEADERS:
        print("fewer than %d headers compared" % MIN_HEADERS)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
