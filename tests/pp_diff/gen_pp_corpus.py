#!/usr/bin/env python3
"""Writes the generated part of the preprocessor comparison corpus.

Every case is a C text whose meaning a standard preprocessor and ours agree
on: no date or time, no GNU-only directives, no #pragma, no trigraphs or
digraphs, #if arithmetic that stays within signed 64-bit values.

    gen_pp_corpus.py OUTDIR [--seed N]

Writes OUTDIR/<case>.c (and the headers they include) and prints the case
names, one a line.
"""
import os
import random
import sys

CASES = {}


def case(name):
    def register(fn):
        CASES[name] = fn
        return fn
    return register


@case("recursion")
def _recursion(out):
    return r"""
#define R R
#define A B
#define B A
#define f(x) x + f(x)
#define g f
#define foo foo
#define bar(x) bar(x) foo
#define h(x) x
#define q(x) x
#define r q(r)
#define self(x) self(x) + x
#define m1 m2 + 1
#define m2 m3 * 2
#define m3 m1 - 3
R A B f(1) g(2) bar(bar(1)) h(h(h(7)))
r self(self(2)) m1 m2 m3
#define ID(x) x
#define F ID
F(5) F (6) ID(ID(7))
#define EMPTY
#define LPAREN (
ID EMPTY (8)
"""


@case("paste")
def _paste(out):
    return r"""
#define CAT(a,b) a##b
#define XCAT(a,b) CAT(a,b)
#define CAT3(a,b,c) a ## b ## c
#define ab done
CAT(x,1) CAT(1,2) CAT(+,=) CAT(<,<=) CAT(-,>) CAT(&,&) CAT(|,=) CAT(.,5)
CAT(a,b) XCAT(CAT(a,b),c) XCAT(x, XCAT(y, z))
CAT(,x) CAT(x,) CAT(,) [CAT(,)] CAT3(1,2,3) CAT3(,,z) CAT3(a,,b)
CAT(L, 'a') CAT(0x, 1F) CAT(1e, 5) CAT(_, _LINE)
#define PFX(n) pfx_ ## n ## _sfx
PFX(one) PFX(2) PFX()
#define GLUE_ARGS(a, ...) a ## __VA_ARGS__
GLUE_ARGS(x, y) GLUE_ARGS(x, 1, 2)
"""


@case("stringise")
def _stringise(out):
    return r"""
#define STR(x) #x
#define XSTR(x) STR(x)
#define CAT(a,b) a##b
#define ab done
STR("a\"b\\c") STR('\'') STR('"') STR(a   b  c) STR( spaced ) STR("\n")
STR(L"x") STR() STR( ) STR(a "x\\y" 'c') STR(/* comment */ z) STR(a /* c */ b)
STR("\\") STR('\\') STR(\n) STR("a" "b") STR(   "lead"   )
XSTR(CAT(a,b)) XSTR(EMPTY) STR(CAT(a,b)) XSTR(STR(q))
#define VER 1.2.3
#define NUM 42
XSTR(VER) XSTR(NUM) STR(NUM)
STR(x
y) STR(  multi
   line  text  )
#define SHOW(...) #__VA_ARGS__
SHOW(a,b) SHOW() SHOW( a , b ) SHOW("q", 'c')
"""


@case("empty_args")
def _empty_args(out):
    return r"""
#define E(a) [a]
#define E2(a,b) [a|b]
#define E3(a,b,c) [a | b | c]
#define N() none
E() E( ) E2(,) E2(1,) E2(,2) E3(,,) E3(1,,3) E3( , , )
N() N( ) N
#define EMPTY
E(EMPTY) E2(EMPTY,EMPTY) E((,)) E2((a,b),c)
E(
) E2(
,
)
"""


@case("variadic")
def _variadic(out):
    return r"""
#define V(f, ...) f(__VA_ARGS__)
#define V0(...) <__VA_ARGS__>
#define V2(a, b, ...) {a; b; __VA_ARGS__}
V(g, 1, 2, 3) V(g, x) V(g, (a, b), c) V0() V0(a,b) V0((a,b),c) V0( x )
V2(1, 2) V2(1, 2, 3) V2(1, 2, 3, 4, 5)
#define W(f, rest...) g(f, rest)
W(1,2,3) W(1,x)
#define CALL(m, ...) m(__VA_ARGS__)
#define ADD(a, b) ((a) + (b))
CALL(ADD, 1, 2) CALL(V0, p, q)
#define COUNT(...) COUNT_(__VA_ARGS__, 5, 4, 3, 2, 1)
#define COUNT_(a, b, c, d, e, n, ...) n
COUNT(x) COUNT(x, y) COUNT(x, y, z, w, v)
"""


@case("nested_lines")
def _nested_lines(out):
    return r"""
#define ADD(a,b) ((a)+(b))
#define MUL(a,b) ((a)*(b))
int x = ADD(ADD(1,
        2),
    ADD(3,
        4));
int y = MUL(
  ADD( 1 , 2 ) ,
  /* comment
     inside */ MUL(3, 4)
);
int z = ADD
(
  5, 6
);
int w = ADD /* c */ (7, 8);
#define LONG_DEF(a) a + \
  a + \
  a
int v = LONG_DEF(2);
int u = ADD(MUL(1,2),

  9);
after ADD line
"""


@case("conditionals")
def _conditionals(out):
    lines = []
    depth = 100
    # 100 taken levels, each holding a small conditional of its own.
    for i in range(depth):
        kind = i % 4
        if kind == 0:
            lines.append("#if %d" % (1 + i % 3))
        elif kind == 1:
            lines.append("#ifdef D%d" % i)
        elif kind == 2:
            lines.append("#ifndef U%d" % i)
        else:
            lines.append("#if defined(D%d) || %d" % (i, i % 5))
        lines.append("open_%d" % i)
        lines.append("#define D%d 1" % (i + 1))
        lines += ["#if %d" % (i % 3 == 0), "inner_if_%d" % i,
                  "#elif %d" % (i % 3 == 1), "inner_elif_%d" % i,
                  "#else", "inner_else_%d" % i, "#endif"]
    for i in reversed(range(depth)):
        lines.append("close_%d" % i)
        if i % 2:
            lines.append("#elif 1")
            lines.append("never_elif_%d" % i)
        lines.append("#else")
        lines.append("never_else_%d" % i)
        lines.append("#endif")
    # 100 levels inside a group that is not taken.
    lines.append("#if 0")
    for i in range(depth):
        lines += ["#if %d" % (i % 2), "skipped_%d" % i, "#else", "skipped_else_%d" % i]
    for i in range(depth):
        lines += ["#endif"]
    lines += ["#else", "outer_else", "#endif"]
    # A skipped group holding nested conditionals and directives.
    lines += [
        "#if 0",
        "#if 1",
        "#error not seen",
        "#else",
        "#include \"missing.h\"",
        "#endif",
        "#ifdef X",
        "#elif garbage ((",
        "#endif",
        "#else",
        "skipped_ok",
        "#endif",
        "#ifdef D1", "d1", "#elif 1", "no", "#else", "no", "#endif",
        "#if 0", "no", "#elif 0", "no", "#elif 1", "yes_elif", "#else", "no", "#endif",
    ]
    return "\n".join(lines) + "\n"


@case("includes")
def _includes(out):
    with open(os.path.join(out, "inc_guard.h"), "w") as f:
        f.write("#ifndef INC_GUARD_H\n#define INC_GUARD_H\nint guarded;\n"
                "#include \"inc_nested.h\"\n#endif\n")
    os.makedirs(os.path.join(out, "sub"), exist_ok=True)
    with open(os.path.join(out, "inc_nested.h"), "w") as f:
        f.write("int nested_%s;\n#define FROM_NESTED 11\n" % "a")
    with open(os.path.join(out, "sub", "inc_sub.h"), "w") as f:
        f.write("int in_sub = FROM_NESTED;\n")
    return r"""
#include "inc_guard.h"
#include "inc_guard.h"
#define HDR "inc_nested.h"
#include HDR
#define SUBHDR <inc_sub.h>
#include SUBHDR
int after = FROM_NESTED;
"""


@case("gnu_idioms")
def _gnu_idioms(out):
    # One header that says "#pragma once", reached by three spellings of its
    # path (and a link when the file system has them).
    with open(os.path.join(out, "inc_once.h"), "w") as f:
        f.write("#pragma once\nint once_only = __LINE__;\nconst char *once_base = __BASE_FILE__;\n"
                "const char *once_file = __FILE__;\n")
    spellings = ['"inc_once.h"', '"./inc_once.h"', '"sub/../inc_once.h"']
    link = os.path.join(out, "inc_once_link.h")
    try:
        if os.path.lexists(link):
            os.remove(link)
        os.symlink("inc_once.h", link)
        spellings.append('"inc_once_link.h"')
    except OSError:
        pass
    includes = "\n".join("#include " + s for s in spellings)
    return includes + r"""
#define LOG(fmt, ...) log_impl(fmt, ## __VA_ARGS__)
#define ELOG(fmt, args...) log_impl(fmt, ## args)
#define OPT(fmt, ...) log_impl(fmt __VA_OPT__(,) __VA_ARGS__)
#define WRAP(...) [__VA_OPT__(first, (__VA_ARGS__), last)]
#define ONLY(...) only(0, ## __VA_ARGS__)
LOG("x") LOG("x", 1) LOG("x", a, b) LOG("x",) LOG("x", )
ELOG("y") ELOG("y", 2) ELOG("y", (p, q))
OPT("z") OPT("z", 3) OPT("z", f(4, 5))
WRAP() WRAP(a) WRAP(a, (b, c))
ONLY() ONLY(1) ONLY(1, 2)
#define SUM(a, \
            b) \
   ((a) + \
    (b))
int sum_line = __LINE__ + SUM(1, 2);
#line 300
int at_300 = __LINE__;
#line 40
int at_40 = __LINE__;
const char *base = __BASE_FILE__;
const char *file = __FILE__;
"""


@case("misc")
def _misc(out):
    return r"""
#define C1 /* comment */ 1
#define C2 1 // line comment
#define OBJ (1 + 2)
#define FN(x) (x * OBJ)
#define NOTCALL FN
int a = C1 + C2, b = FN(OBJ), c = NOTCALL(3);
int d = FN;
#undef OBJ
#define OBJ 7
int e = FN(0);
char s[] = "FN(1) OBJ /* not a comment */";
char t = 'O';
long n = 0x1fULL + 1e+5 + .5e-3 + 012;
#define PLUS +
#define MINUS -
int f = 1 PLUS 2 MINUS 3;
#define TWICE(x) x x
TWICE(TWICE(z))
#define APPLY(m, a) m(a)
APPLY(FN, 4) APPLY(TWICE, w)
#define ARR(i) arr[i]
ARR(ARR(0))
#define LINE_NUM __LINE__
int line = LINE_NUM;
"""


def many_macros_text(lines, macros, seed=7):
    """Object-like and function-like macros used in conditions and code."""
    rng = random.Random(seed)
    out = []
    half = macros // 2
    for i in range(half):
        out.append("#define OBJ_%d (%d + OBJ_%d)" % (i, i, i // 16) if i else "#define OBJ_0 0")
    for i in range(half):
        j = rng.randrange(half)
        out.append("#define FN_%d(a, b) ((a) * OBJ_%d + (b) /* f%d */)" % (i, j, i))
    k = 0
    count = len(out)
    while count < lines - 5:
        k += 1
        r = k % 10
        if r == 0:
            out.append("/* block comment %d" % k)
            out.append("   over two lines */")
        elif r == 1:
            out.append("#if OBJ_%d > %d" % (rng.randrange(half), rng.randrange(2 * half)))
            out.append("int cond_%d = FN_%d(%d, OBJ_%d);" % (k, rng.randrange(half), k, rng.randrange(half)))
            out.append("#else")
            out.append("char *s_%d = \"FN_1(no expansion in a string) %d\";" % (k, k))
            out.append("#endif")
        elif r == 2:
            out.append("#ifdef FN_%d" % rng.randrange(macros))
            out.append("long l_%d = OBJ_%d;  // trailing comment" % (k, rng.randrange(half)))
            out.append("#endif")
        else:
            a, b, c = rng.randrange(half), rng.randrange(half), rng.randrange(half)
            out.append("int v_%d = FN_%d(OBJ_%d, %d) + FN_%d(v_%d, FN_%d(1, 2));"
                       % (k, a, b, k, c, k - 1, b))
        count = len(out)
    while len(out) < lines:
        out.append("int pad_%d = OBJ_%d;" % (len(out), len(out) % half))
    return "\n".join(out) + "\n"


@case("many_macros")
def _many_macros(out):
    return many_macros_text(6000, 2000)


@case("lexical")
def _lexical(out):
    with open(os.path.join(out, "empty.h"), "w"):
        pass
    with open(os.path.join(out, "nonl.h"), "w") as f:
        f.write("int no_newline_at_end = 1;")
    return r"""
#define F(a, b) <a|b>
F(a /* , ) */, b) F("a,b)", c) F('(', ')') F(( , ), [ ])
#define G/**/(x) x
G(1)
  #  define  SP  1
SP
# /* c */ define Y 2
Y
#
ab\
c "str\
ing" 'c'
#define int long
int i;
#undef int
int j;
#include "empty.h"
#include "nonl.h"
after_nonl
#define a a b
a
#define x(p) y(p) z
#define y(p) x(p)
x(1)
#define W(f, rest...) g(f, #rest, rest)
W(1, 2, 3)
#define END_FN(q) q
END_FN
#define CMT(x) x // comment \
continued
CMT(7)
#define TWO 2 /* multi
line */ + 3
TWO
#define NAME_ONLY
#ifdef NAME_ONLY
yes
#endif
#if defined(NAME_ONLY) && !defined NAME_ONLY2
yes2
#endif
#define PAREN_ARG(x) [x]
PAREN_ARG((a)(b)) PAREN_ARG(()) PAREN_ARG(a(b,c)d)
#define OUTER(x) INNER(x, x)
#define INNER(a, b) a + b
OUTER(OUTER(1))
#define DEEP0 0
#define DEEP1 DEEP0 + 1
#define DEEP2 DEEP1 + DEEP1
#define DEEP3 DEEP2 + DEEP2
#define DEEP4 DEEP3 + DEEP3
DEEP4
"""


@case("token_boundaries")
def _token_boundaries(out):
    # A macro boundary never creates a token out of two.
    return r"""
#define E3(a,b,c) [a|b|c]
E3(,,) E3(<,,>) E3(&,,&)
#define NEG -
-NEG 1 NEG-1 NEG NEG
#define PLUS +
+PLUS PLUS+ PLUS PLUS PLUS=
#define f(x) x
f(-)- -f(-) f(<)< f(&)f(&) f(/)* f(.)..
#define LT <
LT<=  LT LT
#define va(...) __VA_ARGS__
va() va(,) va(a,,b) -va(-)
"""


# ------------------------------------------------------------ #if values

def _c_div(a, b):
    q = abs(a) // abs(b)
    return q if (a >= 0) == (b >= 0) else -q


def _c_mod(a, b):
    return a - b * _c_div(a, b)


INT64 = (-(1 << 63), (1 << 63) - 1)


def _fits(v):
    return INT64[0] <= v <= INT64[1]


class Expr:
    """Random expression over small signed values with its exact value."""

    def __init__(self, rng, macros):
        self.rng = rng
        self.macros = macros

    def gen(self, depth):
        rng = self.rng
        if depth == 0 or rng.random() < 0.25:
            choice = rng.random()
            if choice < 0.55:
                v = rng.randint(0, 300)
                form = rng.random()
                if form < 0.2:
                    return "0x%x" % v, v
                if form < 0.3 and v:
                    return "0%o" % v, v
                return str(v), v
            if choice < 0.7:
                name, v = rng.choice(list(self.macros.items()))
                return name, v
            if choice < 0.85:
                name = rng.choice(list(self.macros) + ["UNDEF_A", "UNDEF_B"])
                v = 1 if name in self.macros else 0
                if rng.random() < 0.5:
                    return "defined(%s)" % name, v
                return "defined %s" % name, v
            c = rng.choice("AZaz09+ ")
            return "'%s'" % c, ord(c)
        op = rng.choice(["+", "-", "*", "/", "%", "<<", ">>", "<", ">", "<=", ">=",
                         "==", "!=", "&", "|", "^", "&&", "||", "?:", "u-", "u~", "u!", "()"])
        if op.startswith("u"):
            sub = self.gen(depth - 1)
            if sub is None:
                return None
            t, v = sub
            o = op[1]
            r = {"-": -v, "~": ~v, "!": int(v == 0)}[o]
            return "%s(%s)" % (o, t), r
        if op == "()":
            sub = self.gen(depth - 1)
            return None if sub is None else ("(%s)" % sub[0], sub[1])
        left, right = self.gen(depth - 1), self.gen(depth - 1)
        if left is None or right is None:
            return None
        (lt, lv), (rt, rv) = left, right
        if op == "?:":
            cond = self.gen(depth - 1)
            if cond is None:
                return None
            return "(%s ? %s : %s)" % (cond[0], lt, rt), (lv if cond[1] else rv)
        if op in ("/", "%") and rv == 0:
            return None
        if op in ("<<", ">>"):
            if lv < 0 or not 0 <= rv < 31:
                return None
        fn = {
            "+": lambda a, b: a + b, "-": lambda a, b: a - b, "*": lambda a, b: a * b,
            "/": _c_div, "%": _c_mod, "<<": lambda a, b: a << b, ">>": lambda a, b: a >> b,
            "<": lambda a, b: int(a < b), ">": lambda a, b: int(a > b),
            "<=": lambda a, b: int(a <= b), ">=": lambda a, b: int(a >= b),
            "==": lambda a, b: int(a == b), "!=": lambda a, b: int(a != b),
            "&": lambda a, b: a & b, "|": lambda a, b: a | b, "^": lambda a, b: a ^ b,
            "&&": lambda a, b: int(bool(a) and bool(b)), "||": lambda a, b: int(bool(a) or bool(b)),
        }[op]
        v = fn(lv, rv)
        # Every value stays within 32 bits, so that no 32-bit view of a value
        # can change the outcome.
        if abs(v) >= (1 << 31):
            return None
        return "(%s %s %s)" % (lt, op, rt), v


def _safe(expr, depth):
    for _ in range(200):
        r = expr.gen(depth)
        if r is not None:
            return r
    return "1", 1


@case("if_values")
def _if_values(out, seed=12345):
    rng = random.Random(seed)
    macros = {"M_ONE": 1, "M_TEN": 10, "M_NEG": -4, "M_BIG": 100000}
    lines = ["#define M_ONE 1", "#define M_TEN 10", "#define M_NEG (-4)", "#define M_BIG 100000"]
    expr = Expr(rng, macros)
    for i in range(400):
        text, _ = _safe(expr, rng.randint(1, 4))
        lines += ["#if %s" % text, "t_%d" % i, "#else", "f_%d" % i, "#endif"]
    fixed = [
        "0x7fffffffffffffff > 0", "-1 < 0", "'\\377' < 0", "'A' == 65", "'\\n' == 10",
        "1 ? 2 : 3", "0 ? 2 : 3", "(2 || 1/1) && !0", "10 % 3 == 1",
        "-7 / 2 == -3", "-7 % 2 == -1", "1 << 30 > 0", "(-8 >> 1) == -4", "~0 == -1",
        "0x10 == 16 && 020 == 16", "100000 * 100000 == 10000000000", "UNDEFINED_THING == 0",
        "M_TEN * M_NEG == -40", "defined M_ONE && !defined M_TWO", "5u > 3", "1u == 1",
        "0xffffffffu == 4294967295", "(M_BIG * M_BIG) / M_BIG == M_BIG",
    ]
    for i, text in enumerate(fixed):
        lines += ["#if %s" % text, "fixed_t_%d" % i, "#else", "fixed_f_%d" % i, "#endif"]
    return "\n".join(lines) + "\n"


def generate(outdir, seed=12345):
    os.makedirs(outdir, exist_ok=True)
    names = []
    for name, fn in CASES.items():
        text = fn(outdir) if name != "if_values" else fn(outdir, seed)
        with open(os.path.join(outdir, name + ".c"), "w") as f:
            f.write(text.lstrip("\n"))
        names.append(name)
    return names


def main(argv):
    if len(argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    seed = 12345
    if "--seed" in argv:
        seed = int(argv[argv.index("--seed") + 1])
    for n in generate(argv[1], seed):
        print(n)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
