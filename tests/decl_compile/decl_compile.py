#!/usr/bin/env python3
"""Every C declaration a generated script carries before BEGIN compiles.

A seeded corpus of tested files (C files with headers found beside them and
through an include directory, integrated and simulated files; a few C++
files with classes and a linkage block) is generated and ortekstart writes a
script for each. When the host compiler's target directory is given, a real
C file on <stdio.h>, <stdlib.h> and <string.h> is run through it too, and
its run must report nothing above information. From every script the part before BEGIN is turned
back into C: the copied directives ("##include", "##define", "##undef") lose
one "#", copied top-level lines and the embedded declarations ("    #...")
lose their prefix, and the include operands get "/" separators. The result
must pass `gcc -fsyntax-only` (g++ for the C++ files) in the tested file's
folder. Exit status 0 on success, 1 on a failure, 77 (skip) when gcc is
absent. With "--to-c SCRIPT" it only prints the C text of that script.
"""
import argparse
import os
import random
import shutil
import subprocess
import sys

BASIC = ["int", "unsigned int", "long", "unsigned long long", "char", "signed char", "short",
         "double", "float", "long double", "unsigned char"]


class Corpus:
    """One tested file with its own header, an integrated and a simulated file."""

    def __init__(self, seed, cpp):
        self.r = random.Random(seed)
        self.cpp = cpp
        self.n = 0
        self.types = list(BASIC)      # type names usable in declarations
        self.records = []             # struct/union tags usable by pointer

    def name(self, prefix):
        self.n += 1
        return "%s%d" % (prefix, self.n)

    def type_name(self):
        choices = self.types + ["struct %s *" % t for t in self.records]
        return self.r.choice(choices)

    def declarator(self, name):
        return self.r.choice([name, "*" + name, name + "[4]", name + "[N_ITEMS]", "(*%s)(int, char *)" % name,
                              "*%s[3]" % name, name + "[2][3]", "**" + name, "(*%s)[5]" % name])

    def record(self, out):
        key = self.r.choice(["struct", "struct", "union"])
        tag = self.name("rec")
        members = []
        for _ in range(self.r.randint(1, 4)):
            members.append("  %s %s;" % (self.type_name(), self.declarator(self.name("m"))))
        if self.records and self.r.random() < 0.5:
            members.append("  struct %s *link;" % self.r.choice(self.records))
        if key == "struct" and self.r.random() < 0.3:
            members.append("  struct %s *self;" % tag)
        out.append("%s %s {\n%s\n};" % (key, tag, "\n".join(members)))
        if key == "struct":
            self.records.append(tag)
        self.types.append("%s %s" % (key, tag))
        return tag

    def typedef(self, out):
        name = self.name("type_t")
        kind = self.r.randint(0, 3)
        if kind == 0:
            out.append("typedef %s %s;" % (self.r.choice(BASIC), name))
        elif kind == 1:
            # Declared but not used: the analyser gives a use of such a name
            # the unnamed structure itself, which C++ refuses in parameters.
            out.append("typedef struct { %s a; int b; } %s;" % (self.type_name(), name))
            return
        elif kind == 2 and self.records:
            out.append("typedef struct %s %s;" % (self.r.choice(self.records), name))
        else:
            out.append("typedef enum { %s_A, %s_B = 4 } %s;" % (name, name, name))
        self.types.append(name)

    def enum(self, out):
        tag = self.name("color")
        out.append("enum %s { %s_red, %s_green = 3, %s_blue };" % (tag, tag, tag, tag))
        self.types.append("enum %s" % tag)

    def globals(self, out, prefix):
        for _ in range(self.r.randint(1, 4)):
            storage = self.r.choice(["", "", "", "static "])
            out.append("%s%s %s;" % (storage, self.type_name(), self.declarator(self.name(prefix))))

    def functions(self, out, prefix):
        for _ in range(self.r.randint(1, 3)):
            params = ", ".join("%s %s" % (self.type_name(), self.declarator(self.name("p")))
                               for _ in range(self.r.randint(0, 3))) or "void"
            result = self.r.choice(["int", "void", "char *", "double"] +
                                   ["struct %s *" % t for t in self.records])
            body = "{ }" if result == "void" else "{ return 0; }"
            out.append("%s %s(%s) %s" % (result, self.name(prefix), params, body))

    def declarations(self, out, prefix):
        for _ in range(self.r.randint(2, 6)):
            self.r.choice([self.record, self.record, self.typedef, self.enum])(out)
        self.globals(out, prefix + "_g")
        self.functions(out, prefix + "_f")

    def classes(self, out):
        for _ in range(self.r.randint(1, 2)):
            cls = self.name("Klass")
            members = ["public:", "  int %s(int v);" % self.name("method"),
                       "  %s %s;" % (self.type_name(), self.name("field")), "private:",
                       "  %s %s;" % (self.type_name(), self.name("hidden"))]
            out.append("class %s {\n%s\n};" % (cls, "\n".join(members)))
            method = members[1].split()[1].split("(")[0]
            out.append("int %s::%s(int v) { return v; }" % (cls, method))
            self.types.append(cls)

    def namespaces(self, out):
        """Functions and variables of named (and nested) namespaces, overloads,
        an unnamed namespace and parameters without a name."""
        for _ in range(self.r.randint(1, 2)):
            space = self.name("space")
            inner = self.name("inner") if self.r.random() < 0.5 else None
            fn = self.name("fn")
            body = ["int %s(int a) { return a; }" % fn,
                    "double %s(double a, int) { return a; }" % fn,
                    "%s %s;" % (self.r.choice(BASIC), self.name("nv"))]
            if inner:
                body.append("namespace %s { long %s(long, char c) { return c; } int %s; }"
                            % (inner, self.name("deep"), self.name("iv")))
            out.append("namespace %s {\n%s\n}" % (space, "\n".join(body)))
        hidden = self.name("Hidden")
        out.append("namespace { struct %s { int h; int get() { return h; } }; }" % hidden)
        out.append("%s %s;" % (hidden, self.name("hidden_g")))
        over = self.name("over")
        out.append("int %s(int a) { return a; }" % over)
        out.append("int %s(char *p, int) { return 0; }" % over)

    def write(self, folder):
        suffix = ".cc" if self.cpp else ".c"
        header = ["#define N_ITEMS 6"]
        self.declarations(header, "h")
        header = [l for l in header if "{ return" not in l and "{ }" not in l]  # no bodies in a header
        with open(os.path.join(folder, "common.h"), "w") as f:
            f.write("#ifndef COMMON_H\n#define COMMON_H\n%s\n#endif\n" % "\n".join(header))
        common_types, common_records = list(self.types), list(self.records)

        integ = ['#include "common.h"']
        self.declarations(integ, "integ")
        with open(os.path.join(folder, "integ" + suffix), "w") as f:
            f.write("\n".join(integ) + "\n")

        self.types, self.records = list(common_types), list(common_records)
        sim = ['#include "common.h"']
        self.declarations(sim, "sim")
        with open(os.path.join(folder, "sim" + suffix), "w") as f:
            f.write("\n".join(sim) + "\n")

        self.types, self.records = list(common_types), list(common_records)
        os.makedirs(os.path.join(folder, "inc"), exist_ok=True)
        with open(os.path.join(folder, "inc", "config.h"), "w") as f:
            f.write("typedef unsigned long config_size;\n#define CONFIG_LEVEL 3\n")
        tested = ["/* tested unit */", "#include <config.h>", '#include "common.h"', "#define LOCAL 2",
                  "#if CONFIG_LEVEL > 2", "config_size t_level;", "#endif"]
        if self.cpp:
            tested.append('extern "C" {')
            tested.append('#include "plain.h"')
            tested.append("}")
            with open(os.path.join(folder, "plain.h"), "w") as f:
                f.write("int plain_call(int);\n")
            self.classes(tested)
            self.namespaces(tested)
        self.declarations(tested, "t")
        with open(os.path.join(folder, "t" + suffix), "w") as f:
            f.write("\n".join(tested) + "\n")
        return "t" + suffix, "integ" + suffix, "sim" + suffix


def script_to_c(script):
    """The C text of the part of a script before BEGIN."""
    out = []
    for line in script.split("\n"):
        if line == "BEGIN":
            break
        if line.startswith("--") or line.startswith("HEADER") or not line.strip():
            continue
        if line.startswith("    #"):
            out.append(line[5:])
        elif line.startswith("##"):
            text = line[1:]
            if text.startswith("#include"):
                text = text.replace("\\", "/")
            out.append(text)
        elif line.startswith("#"):
            out.append(line[1:])
        else:
            raise ValueError("unexpected line before BEGIN: %r" % line)
    return "\n".join(out) + "\n"


SYSTEM_CASE = {
    "t.c": """#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include "names.h"

struct entry { char key[16]; size_t size; FILE *out; struct entry *next; };
struct entry *first;
int entries;

int add_entry(const char *key, size_t size)
{
    struct entry *e = malloc(sizeof *e);
    if (!e) return -1;
    strncpy(e->key, key, sizeof e->key - 1);
    e->size = size;
    e->out = stdout;
    e->next = first;
    first = e;
    return ++entries + name_count;
}

void print_entries(void)
{
    for (struct entry *e = first; e; e = e->next) fprintf(e->out, "%s %zu\\n", e->key, e->size);
}
""",
    "names.h": "extern int name_count;\nint name_lookup(const char *name, size_t *length);\n",
    "names.c": """#include <string.h>
#include "names.h"
int name_count;
int name_lookup(const char *name, size_t *length) { *length = strlen(name); return 0; }
""",
    "sink.c": """#include <stdio.h>
int sink_written;
int sink_put(FILE *f, const char *text) { sink_written++; return fputs(text, f); }
""",
}


# Hand-written files whose declarations once failed to compile: a class
# template (its captured body spans lines), types declared in namespaces
# (with a header of the same namespace, an integrated file using them), an
# old-style function without a result type.
FIXED_CASES = [
    ("template", "t.cpp", [], {
        "t.cpp": """template <typename T, int N>
class Ring {
public:
    Ring() : used(0) {}
    bool put(const T &v) { if (used >= N) return false; data[used++] = v; return true; }
private:
    T data[N];
    int used;
};
Ring<int, 4> samples;
int sample_count() { return 0; }
""",
    }),
    ("namespace", "t.cpp", ["-INTEGRATE=integ.cpp"], {
        "box.h": "namespace geo { namespace shapes { struct Box { int w, h; int area() const; }; } }\n",
        "t.cpp": """#include "box.h"
int geo::shapes::Box::area() const { return w * h; }
namespace math {
class Tester;
class Vec2 {
    friend class Tester;
public:
    Vec2(double x, double y) : x_(x), y_(y) {}
    Vec2 operator-() const { return Vec2(-x_, -y_); }
    bool operator!=(const Vec2 &o) const;
    struct Cache { int hits; void reset(); };
    Cache last() const;
private:
    double x_, y_;
};
bool Vec2::operator!=(const Vec2 &o) const { return x_ != o.x_ || y_ != o.y_; }
Vec2::Cache Vec2::last() const { Cache c = { 0 }; return c; }
Vec2 operator*(double s, const Vec2 &v) { return v; }
struct Corner { int x, y; };
enum Axis { AXIS_X, AXIS_Y };
template <typename T> class Cell { public: T v; T get() const { return v; } };
}
math::Corner last_corner;
math::Axis last_axis;
math::Cell<int> cell;
""",
        "integ.cpp": "namespace math { struct Corner { int x, y; }; }\nmath::Corner integ_corner;\n",
    }),
    # Members of namespaces declared inside them, every overload, no
    # invented name of an unnamed namespace, a const object and static data
    # members of a simulated file, parameters without a name.
    ("namespace_members", "t.cpp", ["-INTEGRATE=integ.cpp", "-SIMULATE=sim.cpp"], {
        "t.cpp": """namespace util {
int twice(int x) { return 2 * x; }
double twice(double x) { return 2 * x; }
int counter;
namespace deep { long depth(long d, int) { return d; } }
}
namespace { struct Local { int v; int get() { return v; } }; }
namespace ns { namespace { struct Hid { int w; int get() { return w; } }; } Hid hid; }
int pick(int, int b) { return b; }
int pick(const char *s) { return s != 0; }
const int limit = 3;
""",
        "integ.cpp": "namespace util { int twice(int x); long total; }\nint pick(int, int);\n",
        "sim.cpp": """class Counter {
public:
    Counter();
    static int made;
    int step(int);
};
int Counter::made = 0;
Counter::Counter() { ++made; }
int Counter::step(int by) { return by; }
const int sim_limit = 4;
namespace io { int opened; int open(const char *name) { return name != 0; } }
""",
    }),
    # Types named only by the arguments of instances: a member Vec<Line>
    # of a structure of a namespace, globals Table<Key, Entry> and
    # Vec<Pair<Kind, int>>.
    ("instance_arguments", "t.cpp", [], {
        "t.cpp": """template <class T> struct Vec { T *data; int size; };
template <class K, class V> struct Table { K *keys; V *values; };
template <class A, class B> struct Pair { A first; B second; };
struct Line { int quantity; };
namespace shop {
struct Basket { Vec<Line> lines; int owner; };
}
shop::Basket basket;
struct Key { char text[8]; };
struct Entry { int hits; };
enum class Kind { Plain, Gift };
Table<Key, Entry> entries;
Vec<Pair<Kind, int>> history;
""",
    }),
    # Typedef names of a namespace, and an instance's argument named from
    # the namespace of the function that uses it.
    ("namespace_typedefs", "t.cpp", [], {
        "t.cpp": """namespace calc {
struct Term { int weight; };
typedef Term *TermRef;
using Weight = long;
TermRef first_term(Weight w) { return 0; }
Weight heaviest;
template <class A> struct Opt { A *value; int set; };
struct Error { int code; };
int ok(Opt<Error> r) { return r.set; }
}
""",
    }),
    ("oldstyle", "t.c", ["-SIMULATE=sim.c"], {
        "t.c": "long scale(x, f)\nlong x;\ndouble f;\n{\n    return x * f;\n}\ntwice(n)\nint n;\n{\n    return 2 * n;\n}\n",
        "sim.c": "half(n)\nint n;\n{\n    return n / 2;\n}\n",
    }),
]


def fixed_cases(args, env, gcc):
    """The hand-written cases: a run without errors whose declarations compile."""
    failures = 0
    for name, tested, options, files in FIXED_CASES:
        folder = os.path.join(args.work, "fixed_" + name)
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        for file_name, text in files.items():
            with open(os.path.join(folder, file_name), "w") as f:
                f.write(text)
        run = subprocess.run([args.ortekstart, tested, "t.ptu"] + options, cwd=folder, env=env,
                             capture_output=True)
        if run.returncode != 0:
            print("%s: ortekstart status %d\n%s" % (folder, run.returncode, run.stderr.decode(errors="replace")))
            failures += 1
            continue
        with open(os.path.join(folder, "t.ptu"), "rb") as f:
            try:
                text = script_to_c(f.read().decode("latin-1"))
            except ValueError as e:
                print("%s: %s" % (folder, e))
                failures += 1
                continue
        cpp = tested.endswith(".cpp")
        source = os.path.join(folder, "decl" + (".cc" if cpp else ".c"))
        with open(source, "w") as f:
            f.write(text)
        compiler = [gcc, "-x", "c++", "-std=gnu++17"] if cpp else [gcc, "-x", "c"]
        cc = subprocess.run(compiler + ["-fsyntax-only", "-I.", os.path.basename(source)], cwd=folder,
                            capture_output=True)
        if cc.returncode != 0:
            print("%s: the declarations do not compile:\n%s" % (folder, cc.stderr.decode(errors="replace")))
            failures += 1
    return failures


def system_case(args, env, gcc):
    """A real C file on the C library headers, through the host target: no
    diagnostic above information, and its declarations compile."""
    folder = os.path.join(args.work, "system")
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    for name, text in SYSTEM_CASE.items():
        with open(os.path.join(folder, name), "w") as f:
            f.write(text)
    env = dict(env, QZLTGT=args.target)
    run = subprocess.run([args.ortekstart, "t.c", "t.ptu", "-INTEGRATE=names.c", "-SIMULATE=sink.c"], cwd=folder,
                         env=env, capture_output=True)
    errors = run.stderr.decode(errors="replace")
    if run.returncode != 0 or any(line and not line.startswith("ProbaX-I-") for line in errors.split("\n")):
        print("%s: status %d, diagnostics above information:\n%s" % (folder, run.returncode, errors))
        return 1
    with open(os.path.join(folder, "t.ptu"), "rb") as f:
        text = script_to_c(f.read().decode("latin-1"))
    with open(os.path.join(folder, "decl.c"), "w") as f:
        f.write(text)
    cc = subprocess.run([gcc, "-x", "c", "-std=c11", "-fsyntax-only", "-I.", "decl.c"], cwd=folder,
                        capture_output=True)
    if cc.returncode != 0:
        print("%s: the declarations do not compile:\n%s" % (folder, cc.stderr.decode(errors="replace")))
        return 1
    return 0


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "--to-c":
        # Used by the target cases: the C text of one script on standard output.
        with open(sys.argv[2], "rb") as f:
            sys.stdout.write(script_to_c(f.read().decode("latin-1")))
        return 0
    ap = argparse.ArgumentParser()
    ap.add_argument("--ortekstart", required=True)
    ap.add_argument("--probax", required=True)
    ap.add_argument("--work", required=True)
    ap.add_argument("--count", type=int, default=40)
    ap.add_argument("--target", help="target directory of the host compiler (QZLTGT)")
    args = ap.parse_args()
    gcc = shutil.which("gcc")
    if not gcc:
        print("gcc not found: no comparison (status 77)")
        return 77
    env = {k: v for k, v in os.environ.items() if not k.startswith(("ORTEK", "QZ"))}
    env["PROBAXDIR"] = args.probax
    env["ORTEK_SUPPRESS_COPYRIGHT"] = ""
    env["LANG"] = "C"
    failures = 0
    for seed in range(args.count):
        cpp = seed % 5 == 4
        folder = os.path.join(args.work, "case%03d" % seed)
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        tested, integ, sim = Corpus(seed, cpp).write(folder)
        run = subprocess.run([args.ortekstart, tested, "t.ptu", "-INTEGRATE=" + integ, "-SIMULATE=" + sim,
                              "-INCL=inc"],
                             cwd=folder, env=env, capture_output=True)
        if run.returncode not in (0, 3):
            print("%s: ortekstart status %d\n%s" % (folder, run.returncode, run.stderr.decode(errors="replace")))
            failures += 1
            continue
        with open(os.path.join(folder, "t.ptu"), "rb") as f:
            script = f.read().decode("latin-1")
        try:
            text = script_to_c(script)
        except ValueError as e:
            print("%s: %s" % (folder, e))
            failures += 1
            continue
        source = os.path.join(folder, "decl" + (".cc" if cpp else ".c"))
        with open(source, "w") as f:
            f.write(text)
        compiler = [gcc, "-x", "c++", "-std=gnu++17"] if cpp else [gcc, "-x", "c", "-std=c11"]
        cc = subprocess.run(compiler + ["-fsyntax-only", "-I.", "-Iinc", os.path.basename(source)], cwd=folder,
                            capture_output=True)
        if cc.returncode != 0:
            print("%s: the declarations do not compile:\n%s" % (folder, cc.stderr.decode(errors="replace")))
            failures += 1
    failures += fixed_cases(args, env, gcc)
    if args.target and os.path.isdir(args.target):
        failures += system_case(args, env, gcc)
    print("%d of %d scripts failed" % (failures, args.count + len(FIXED_CASES) + (1 if args.target else 0)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
