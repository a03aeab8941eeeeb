#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets, fuzz/corpus/<target>/, from the
test inputs: the end-to-end cases, the texts of the unit tests, and the
generated C and C++ of the comparison tests. Files are small (at most 4 KB)
and named by their content, so running it again only adds new seeds.

    fuzz/seed_corpus.py [OUTDIR]   (default: fuzz/corpus)
"""
import ast
import hashlib
import os
import random
import re
import shlex
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
LIMIT = 4096
PER_TARGET = 120

corpus = {}


def add(target, data):
    if isinstance(data, str):
        data = data.encode("latin-1", "replace")
    if not data or len(data) > LIMIT:
        return
    corpus.setdefault(target, {})[hashlib.sha1(data).hexdigest()[:16]] = data


def source_texts():
    """C and C++ inputs of the end-to-end cases."""
    base = os.path.join(ROOT, "tests", "e2e")
    for case in sorted(os.listdir(base)):
        folder = os.path.join(base, case)
        if not os.path.isdir(folder):
            continue
        for dirpath, dirnames, files in os.walk(folder):
            dirnames[:] = [d for d in dirnames if d != "expected"]
            for f in sorted(files):
                if os.path.splitext(f)[1].lower() in (".c", ".h", ".cpp", ".hpp", ".def"):
                    with open(os.path.join(dirpath, f), "rb") as fh:
                        yield fh.read()


def unit_test_texts():
    """String literals of the unit tests that hold a line break: the texts
    the preprocessor, scanner and grammar tests feed in."""
    literal = re.compile(r'"((?:[^"\\\n]|\\.)*)"')
    for name in sorted(os.listdir(os.path.join(ROOT, "tests"))):
        if not name.endswith("_test.cpp"):
            continue
        with open(os.path.join(ROOT, "tests", name), encoding="latin-1") as fh:
            for line in fh:
                parts = literal.findall(line)
                if not parts:
                    continue
                joined = "".join(parts)
                if "\\n" not in joined or len(joined) < 8:
                    continue
                try:
                    text = ast.literal_eval('"' + joined + '"')
                except (ValueError, SyntaxError):
                    continue
                yield text.encode("latin-1", "replace")


def generated_texts():
    """The generated corpora of the comparison tests."""
    sys.path.insert(0, os.path.join(ROOT, "tests", "ana_diff"))
    import ana_diff  # noqa: E402
    for seed in range(12):
        yield ana_diff.Gen(seed).file().encode()
        yield ana_diff.GenCpp(seed).file().encode()
    with tempfile.TemporaryDirectory() as out:
        subprocess.run([sys.executable, os.path.join(ROOT, "tests", "pp_diff", "gen_pp_corpus.py"), out],
                       check=True, stdout=subprocess.DEVNULL)
        for f in sorted(os.listdir(out)):
            if os.path.isfile(os.path.join(out, f)):
                with open(os.path.join(out, f), "rb") as fh:
                    yield fh.read()


def preprocessed(text):
    """The text with line markers, as the analyser receives it."""
    with tempfile.NamedTemporaryFile(suffix=".c") as f:
        f.write(text)
        f.flush()
        r = subprocess.run(["gcc", "-E", "-nostdinc", f.name], capture_output=True)
        if r.returncode == 0:
            return r.stdout.replace(f.name.encode(), b"t.c")
    return None


def command_lines():
    base = os.path.join(ROOT, "tests", "e2e")
    for case in sorted(os.listdir(base)):
        cmd = os.path.join(base, case, "cmd")
        if os.path.isfile(cmd):
            with open(cmd) as fh:
                try:
                    yield shlex.split(fh.read())
                except ValueError:
                    pass
        for f in sorted(os.listdir(os.path.join(base, case))) if os.path.isdir(os.path.join(base, case)) else []:
            if f.endswith(".opt") or f == "opts":
                with open(os.path.join(base, case, f), "rb") as fh:
                    add("optfile", fh.read())


def packed_cases():
    """End-to-end cases as inputs of the whole-generation target: the options
    line, the tested file as t.c, then the other files of the case."""
    base = os.path.join(ROOT, "tests", "e2e")
    skip = {"cmd", "env", "status", "expected.stderr", "expected.stdout"}
    for case in sorted(os.listdir(base)):
        folder = os.path.join(base, case)
        if not os.path.isfile(os.path.join(folder, "cmd")):
            continue
        with open(os.path.join(folder, "cmd")) as fh:
            try:
                words = shlex.split(fh.read())
            except ValueError:
                continue
        if len(words) < 2 or not os.path.isfile(os.path.join(folder, words[0])):
            continue
        parts = [b"//! " + " ".join(words[2:]).encode() + b"\n"]
        with open(os.path.join(folder, words[0]), "rb") as fh:
            parts.append(fh.read())
        for f in sorted(os.listdir(folder)):
            path = os.path.join(folder, f)
            if f in skip or f == words[0] or not os.path.isfile(path):
                continue
            with open(path, "rb") as fh:
                body = fh.read()
            parts.append(b"\n//@ " + f.encode() + b"\n" + body)
        yield b"".join(parts)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "fuzz", "corpus")
    texts = list(source_texts()) + list(unit_test_texts()) + list(generated_texts())
    conditions = re.compile(rb"^\s*#\s*(?:el)?if\b(.*)$", re.M)
    for t in texts:
        for target in ("pp", "lexer", "grammar", "generate"):
            add(target, t)
        for m in conditions.finditer(t):
            add("ifeval", m.group(1).strip())
    for t in texts[:60]:
        p = preprocessed(t)
        if p:
            add("grammar", p)
            add("lexer", p)
    for words in command_lines():
        add("cmdline", "\n".join(words))
        add("optfile", " ".join(shlex.quote(w) for w in words))
    for e in ["1 + 2 * 3", "defined(X) || !defined Y", "(1 ? 2 : 3) << 62", "-1 / 0", "0x7fffffffffffffff + 1",
              "'ab' == L'\\377'", "sizeof(int) == 4", "1 % 0 || 2", "((((((1))))))", "~0u >> 31"]:
        add("ifeval", e)
    random.seed(1)
    for target, files in sorted(corpus.items()):
        folder = os.path.join(out, target)
        os.makedirs(folder, exist_ok=True)
        names = sorted(files)
        random.shuffle(names)
        for name in sorted(names[:PER_TARGET]):
            with open(os.path.join(folder, name), "wb") as fh:
                fh.write(files[name])
        print("%-9s %d" % (target, min(len(names), PER_TARGET)))
    # Every end-to-end case, whatever the sample took.
    for p in packed_cases():
        if len(p) <= LIMIT:
            with open(os.path.join(out, "generate", "case-" + hashlib.sha1(p).hexdigest()[:12]), "wb") as fh:
                fh.write(p)


if __name__ == "__main__":
    main()
