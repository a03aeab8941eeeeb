#!/usr/bin/env python3
"""Figures of ortekstart on the C++17 sample project (bench/cxx_sample).

For every .cpp file of the sample, ortekstart writes a script with the host
target (the C++17 defines file is taken from the suffix). Printed per file
and in total:
  - functions: the services of the script against the functions clang finds
    defined in the file itself (members and namespace functions included,
    templates counted apart, bodies of lambdas not), matched by the
    service's name (scopes joined with "_", overloads numbered "_2", ...);
  - syntax: the SYNTAXERR warnings of the run (all files, headers included),
    and the run's status;
  - compile: whether the declarations before BEGIN, turned back into C++,
    pass g++ -std=gnu++17 -fsyntax-only.

    bench/cxx_sample.py [--bin build/ortekstart] [--probax build/probax] [-v]
"""
import argparse
import collections
import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "decl_compile"))
from decl_compile import script_to_c  # noqa: E402

FUNCTION_KINDS = {"FunctionDecl", "CXXMethodDecl", "CXXConstructorDecl", "CXXDestructorDecl",
                  "CXXConversionDecl"}
SCOPE_KINDS = {"NamespaceDecl", "CXXRecordDecl", "LinkageSpecDecl", "ClassTemplateDecl",
               "FunctionTemplateDecl", "ClassTemplateSpecializationDecl",
               "ClassTemplatePartialSpecializationDecl"}
TEMPLATE_KINDS = {"ClassTemplateDecl", "FunctionTemplateDecl", "ClassTemplateSpecializationDecl",
                  "ClassTemplatePartialSpecializationDecl"}
# A location in the text dump: "file:L:C", "line:L:C" or "col:C"; the file
# is printed only when it changes, so it is followed through the dump.
LOC = re.compile(r"(?:(line):(\d+):\d+|(col):\d+|([^\s<>,']+\.(?:cpp|cc|h|hpp|tcc|hh)|/[^\s<>,':]+):(\d+):\d+)")
NODE = re.compile(r"^([| `-]*)(\w+) (0x[0-9a-f]+)?(.*)$")


def clang_functions(clang, path):
    """(qualified name, in a template) of the functions with a body written in path."""
    main = os.path.basename(path)
    p = subprocess.Popen([clang, "-x", "c++", "-std=gnu++17", "-fsyntax-only", "-w", "-Xclang", "-ast-dump",
                          "-fno-color-diagnostics", main], cwd=os.path.dirname(path),
                         stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True, errors="replace")
    cur_file, cur_line = "", 0
    records = {}                     # address of a record -> its qualified name
    stack = []                       # open scopes: (depth, kind, name)
    pending = None                   # open function: [depth, qualified name, template, line, has body]
    inside_function = None           # depth of a function whose subtree is skipped
    found = {}
    for line in p.stdout:
        m = NODE.match(line.rstrip("\n"))
        if not m:
            continue
        depth = len(m.group(1)) // 2
        kind, addr, rest = m.group(2), m.group(3), m.group(4)
        if pending and depth <= pending[0]:
            if pending[4]:
                found[(pending[1], pending[3])] = pending[2]
            pending = None
        if pending and depth == pending[0] + 1 and kind in ("CompoundStmt", "CXXTryStmt"):
            pending[4] = True
        if inside_function is not None and depth <= inside_function:
            inside_function = None
        for l in LOC.finditer(rest):
            if l.group(1):
                cur_line = int(l.group(2))
            elif l.group(4):
                cur_file, cur_line = l.group(4), int(l.group(5))
        while stack and stack[-1][0] >= depth:
            stack.pop()
        if inside_function is not None:
            continue
        in_main = os.path.basename(cur_file) == main and not cur_file.startswith("/usr")
        words = re.sub(r"<.*?>|'[^']*'", " ", rest).split()
        if kind in SCOPE_KINDS:
            name = ""
            if kind == "NamespaceDecl":
                name = words[-1] if words and not LOC.fullmatch(words[-1]) and words[-1] != "inline" else ""
            elif kind != "LinkageSpecDecl" and kind not in ("ClassTemplateDecl", "FunctionTemplateDecl"):
                for i, w in enumerate(words):
                    if w in ("class", "struct", "union") and i + 1 < len(words):
                        name = words[i + 1]
                        break
            if kind == "CXXRecordDecl" and "implicit" in words:
                continue             # the class's name injected into itself
            qual = "::".join([s[2] for s in stack if s[2]] + ([name] if name else []))
            if kind in ("CXXRecordDecl", "ClassTemplateSpecializationDecl") and addr:
                records[addr] = qual
            stack.append((depth, kind, name))
            continue
        if kind not in FUNCTION_KINDS:
            continue
        inside_function = depth
        if not in_main or "implicit" in words:
            continue
        q = re.search(r"(\S+) '[^']*'", rest)
        if not q:
            continue
        name = q.group(1)
        tail = rest[q.end():].split()
        if "default" in tail or "delete" in tail:
            continue                 # defaulted: the compiler writes its body
        parent = re.search(r"parent (0x[0-9a-f]+)", rest)
        if parent and parent.group(1) in records:
            qual = records[parent.group(1)] + "::" + name
        else:
            qual = "::".join([s[2] for s in stack if s[2]] + [name])
        if qual.startswith(("std::", "__gnu_cxx::")):
            continue                 # library templates instantiated here
        template = any(s[1] in TEMPLATE_KINDS for s in stack) or (
            parent is not None and parent.group(1) in records and "<" in records[parent.group(1)])
        pending = [depth, qual, template, cur_line, False]
    if pending and pending[4]:
        found[(pending[1], pending[3])] = pending[2]
    p.wait()
    return [(q, t) for (q, _), t in found.items()]


def service_name(qual):
    return qual.replace("::", "_").replace("~", "")


def match(clang_list, services):
    """Functions of clang's list that have a service, and services left over."""
    plain = [q for q, t in clang_list if not t]
    want = collections.Counter(service_name(q) for q in plain)
    got = collections.Counter()
    for s in services:
        base = re.sub(r"_\d+$", "", s)
        got[base if base != s and base in want else s] += 1
    found = sum(min(n, got[k]) for k, n in want.items())
    missing = sorted((want - got).elements())
    extra = sorted((got - want).elements())
    return found, len(plain), missing, extra


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--bin", default="build/ortekstart")
    ap.add_argument("--probax", default="build/probax")
    ap.add_argument("--clang", default=shutil.which("clang++") or shutil.which("clang"))
    ap.add_argument("--gxx", default=shutil.which("g++"))
    ap.add_argument("-v", "--verbose", action="store_true")
    a = ap.parse_args()
    bin_path, probax = os.path.abspath(a.bin), os.path.abspath(a.probax)
    target = os.path.join(probax, "target", "gcc")
    work = tempfile.mkdtemp(prefix="cxx_sample.")
    sample = os.path.join(HERE, "cxx_sample")
    for f in os.listdir(sample):
        shutil.copy(os.path.join(sample, f), work)
    env = {k: v for k, v in os.environ.items() if not k.startswith(("ORTEK", "QZ")) and k != "LC_ALL"}
    env.update(PROBAXDIR=probax, QZLTGT=target, ORTEK_SUPPRESS_COPYRIGHT="", LANG="C")
    files = sorted(f for f in os.listdir(work) if f.endswith(".cpp"))
    tot = collections.Counter()
    print("%-14s %9s %9s %7s %6s %s" % ("file", "functions", "templates", "syntax", "status", "compiles"))
    for f in files:
        base = f[:-4]
        run = subprocess.run([bin_path, f, base + ".ptu"], cwd=work, env=env, capture_output=True)
        err = run.stderr.decode("latin-1")
        syntax = sum(1 for l in err.splitlines() if l.startswith("ProbaX-W-SYNTAXERR"))
        script = os.path.join(work, base + ".ptu")
        services, compiles, why = [], False, "no script"
        if os.path.exists(script):
            with open(script, "rb") as s:
                text = s.read().decode("latin-1")
            services = re.findall(r"^SERVICE (\S+)$", text, re.M)
            try:
                decl = script_to_c(text)
                with open(os.path.join(work, base + ".decl.cc"), "w") as d:
                    d.write(decl)
                cc = subprocess.run([a.gxx, "-std=gnu++17", "-fsyntax-only", "-I.", base + ".decl.cc"], cwd=work,
                                    capture_output=True)
                compiles = cc.returncode == 0
                why = next((l for l in cc.stderr.decode(errors="replace").splitlines() if "error" in l), "")
            except ValueError as e:
                why = str(e)
        funcs = clang_functions(a.clang, os.path.join(work, f))
        found, wanted, missing, extra = match(funcs, services)
        templates = sum(1 for _, t in funcs if t)
        tot.update(found=found, wanted=wanted, templates=templates, syntax=syntax, compiles=int(compiles),
                   files=1, clean=int(syntax == 0), clean_compiles=int(syntax == 0 and compiles))
        print("%-14s %4d/%-4d %9d %7d %6d %s" % (f, found, wanted, templates, syntax, run.returncode,
                                                  "yes" if compiles else "NO"))
        if a.verbose:
            if missing:
                print("    no service: " + " ".join(missing))
            if extra:
                print("    other services: " + " ".join(extra))
            if not compiles and why:
                print("    " + why[:200])
    print("total: %d of %d functions found (%.0f%%), %d in templates not counted; %d syntax warnings "
          "(%d of %d files without); declarations compile for %d of %d files (%d of %d files without syntax "
          "warnings)" % (tot["found"], tot["wanted"], 100.0 * tot["found"] / max(tot["wanted"], 1),
                         tot["templates"], tot["syntax"], tot["clean"], tot["files"], tot["compiles"],
                         tot["files"], tot["clean_compiles"], tot["clean"]))
    shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
