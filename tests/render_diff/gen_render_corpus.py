#!/usr/bin/env python3
"""Writes a corpus of C and C++ declaration files for the render round trip.

Declarations are drawn from a seeded random generator: declarators nested
from pointers, arrays and functions over qualified base types, typedef
chains, structures with bit-fields and unnamed members, enumerations with
expression values, array bounds made of constant expressions (sizeof,
enumerators, casts, shifts, division, character constants), old-style
definitions, and for C++ references, pointers to members, classes with
access labels and member functions, operators, namespaces and templates.

Array bounds have the form ((e) & 15) + 1 so that they are positive; the
inner expression avoids undefined behaviour (divisors and shift counts are
literal, left shifts work on unsigned values).

  gen_render_corpus.py OUT_DIR [--seed N] [--files N]
"""
import argparse
import os
import random

C_BASES = ["int", "char", "unsigned int", "long", "unsigned long", "short", "unsigned char",
           "signed char", "long long", "unsigned long long", "double", "float", "long double"]
QUALS = ["", "", "", "const", "volatile", "const volatile"]


class Gen:
    def __init__(self, rnd, cpp, avoid_known=True):
        self.avoid_known = avoid_known
        self.r = rnd
        self.cpp = cpp
        self.count = 0
        self.lines = []
        self.enumerators = []   # (name, value) known so far
        self.size_types = list(C_BASES) + ["void *", "char *", "int[3]", "short[5]"]
        self.typedefs = []      # names usable as base types
        self.tags = []          # "struct S" texts usable as base types (complete)
        self.const_typedefs = []
        self.n = 0

    def name(self, prefix):
        self.n += 1
        return "%s%d" % (prefix, self.n)

    # -- constant expressions ----------------------------------------------
    def leaf(self):
        k = self.r.randrange(7)
        if k == 0 and self.enumerators:
            return self.r.choice(self.enumerators)[0]
        if k == 1:
            return "sizeof(%s)" % self.r.choice(self.size_types)
        if k == 2:
            c = self.r.choice(["'a'", "'\\n'", "'\\0'", "'\\377'", "'\\x41'", "'Z'", "' '"])
            return c
        if k == 3:
            return self.r.choice(["0x1F", "017", "10L", "3u", "7UL", "0", "1"])
        return str(self.r.randrange(0, 40))

    def expr(self, depth=0):
        if depth >= 3 or self.r.random() < 0.3:
            return self.leaf()
        k = self.r.randrange(12)
        a = self.expr(depth + 1)
        if k == 0:
            return "(%s + %s)" % (a, self.expr(depth + 1))
        if k == 1:
            return "(%s - %s)" % (a, self.expr(depth + 1))
        if k == 2:
            return "(%s * %d)" % (a, self.r.randrange(0, 10))
        if k == 3:
            return "(%s / %d)" % (a, self.r.randrange(1, 10))
        if k == 4:
            return "(%s %% %d)" % (a, self.r.randrange(1, 10))
        if k == 5:
            return "((unsigned)%s << %d)" % (a, self.r.randrange(0, 8))
        if k == 6:
            return "(%s >> %d)" % (a, self.r.randrange(0, 4))
        if k == 7:
            return "(%s %s %s)" % (a, self.r.choice(["&", "|", "^", "<", ">=", "==", "!=", "&&", "||"]),
                                   self.expr(depth + 1))
        if k == 8:
            return "(%s ? %s : %s)" % (a, self.expr(depth + 1), self.expr(depth + 1))
        if k == 9:
            t = self.r.choice(["unsigned char", "char", "short", "unsigned", "long",
                               "signed char", "unsigned short"])
            if self.cpp and self.r.random() < 0.4:
                return "static_cast<%s>(%s)" % (t, a)
            return "((%s)%s)" % (t, a)
        if k == 10:
            return "%s(%s)" % (self.r.choice(["-", "~", "!", "+"]), a)
        return "(%s)" % a

    def bound(self):
        if self.r.random() < 0.3:
            return str(self.r.randrange(1, 9))
        return "((%s) & 15) + 1" % self.expr()

    # -- types -------------------------------------------------------------
    def base(self):
        pool = list(C_BASES)
        pool += self.typedefs * 2
        pool += self.tags * 2
        b = self.r.choice(pool)
        q = self.r.choice(QUALS)

        return (q + " " + b).strip() if self.r.random() < 0.5 else (b + " " + q).strip()

    def type_tree(self, depth=0, allow_func=True, allow_void=False):
        k = self.r.random()
        if depth >= 3 or k < 0.3:
            if allow_void and self.r.random() < 0.2:
                return ("base", "void")
            return ("base", self.base())
        if k < 0.6:
            return ("ptr", self.type_tree(depth + 1, True, True), self.r.choice(QUALS))
        if k < 0.8:
            return ("arr", self.type_tree(depth + 1, False), self.bound())
        if allow_func:
            ret = self.type_tree(depth + 1, False)
            while ret[0] == "arr":
                ret = ("ptr", ret, "")
            params = [self.param_type(depth + 1) for _ in range(self.r.randrange(0, 3))]
            variadic = bool(params) and self.r.random() < 0.2
            return ("func", ret, params, variadic)
        return ("ptr", self.type_tree(depth + 1, True, True), "")

    def param_type(self, depth):
        t = self.type_tree(depth + 1, False)
        return t

    def declarator(self, t, inner):
        kind = t[0]
        if kind == "base":
            return ("%s %s" % (t[1], inner)).strip()
        if kind == "ptr":
            s = "*" + (" %s " % t[2] if t[2] else "") + inner
            if t[1][0] in ("arr", "func"):
                s = "(" + s + ")"
            return self.declarator(t[1], s)
        if kind == "ref":
            s = "&" + inner
            if t[1][0] in ("arr", "func"):
                s = "(" + s + ")"
            return self.declarator(t[1], s)
        if kind == "memptr":
            s = "%s::*" % t[1] + inner
            if t[2][0] in ("arr", "func"):
                s = "(" + s + ")"
            return self.declarator(t[2], s)
        if kind == "arr":
            return self.declarator(t[1], inner + "[" + t[2] + "]")
        if kind == "func":
            ps = [self.declarator(p, "") for p in t[2]]
            if t[3]:
                ps.append("...")
            if not ps:
                ps = ["void"]
            return self.declarator(t[1], inner + "(" + ", ".join(ps) + ")")
        raise ValueError(kind)

    def emit(self, text):
        self.lines.append(text)
        self.count += 1

    # -- declaration families ----------------------------------------------
    def variable(self):
        t = self.type_tree()
        while t[0] == "func":
            t = ("ptr", t, self.r.choice(QUALS))
        self.emit("extern %s;" % self.declarator(t, self.name("v")))

    def function(self):
        ret = self.type_tree(1, False, True)
        while ret[0] == "arr":
            ret = ("ptr", ret, "")
        params = [self.param_type(1) for _ in range(self.r.randrange(0, 4))]
        named = []
        for i, p in enumerate(params):
            named.append(self.declarator(p, "p%d" % i if self.r.random() < 0.7 else ""))
        if params and self.r.random() < 0.2:
            named.append("...")
        if not named:
            named = ["void"]
        self.emit("%s;" % self.declarator(ret, "%s(%s)" % (self.name("f"), ", ".join(named))))

    def typedef_chain(self):
        a = self.name("T")
        base = self.base()
        if "const" in base or base in self.const_typedefs:
            self.const_typedefs.append(a)
        self.emit("typedef %s;" % self.declarator(("base", base), a))
        b = self.name("T")
        q = self.r.choice(QUALS)
        if "const" in q:
            self.const_typedefs.append(b)
        self.emit("typedef %s;" % self.declarator(("ptr", ("base", a), q), b))
        c = self.name("T")
        self.emit("typedef %s;" % self.declarator(("arr", ("base", b), self.bound()), c))
        self.typedefs += [a, b]
        self.size_types += [a, b, c]
        self.emit("extern %s;" % self.declarator(("ptr", ("base", c), ""), self.name("v")))

    def member_lines(self, depth):
        # A member of a const typedef type would make the structure
        # unassignable, and the services assign results.
        saved = self.typedefs
        self.typedefs = [t for t in saved if t not in self.const_typedefs]
        try:
            return self.member_lines_of(depth)
        finally:
            self.typedefs = saved

    def member_lines_of(self, depth):
        out = []
        for _ in range(self.r.randrange(1, 6)):
            k = self.r.random()
            if k < 0.2:
                w = self.r.randrange(1, 9)
                out.append("%s %s : %d;" % (self.r.choice(["unsigned", "int", "unsigned char",
                                                           "signed char", "unsigned short"]),
                                             self.name("b"), w))
            elif k < 0.3 and depth == 0:
                inner = " ".join(self.member_lines(depth + 1))
                out.append("%s { %s } %s;" % (self.r.choice(["struct", "union"]), inner,
                                              self.name("u")))
            elif k < 0.35 and depth == 0:
                inner = " ".join(self.member_lines(depth + 1))
                out.append("union { %s };" % inner)
            else:
                t = self.type_tree(1)
                while t[0] == "func":
                    t = ("ptr", t, "")
                out.append(self.declarator(self.strip_const(t), self.name("m")) + ";")
        return out

    def strip_const(self, t):
        # No const members (the C++ copies would need initialisers) and, in
        # C++, no volatile ones (a class with one cannot be copied, so the
        # services could not pass it).
        def strip(q):
            q = q.replace("const", "")
            if self.cpp:
                q = q.replace("volatile", "")
            return " ".join(q.split())
        if t[0] == "base":
            return ("base", strip(t[1]) or "int")
        if t[0] == "ptr":
            return ("ptr", t[1], strip(t[2]))
        if t[0] == "arr":
            return ("arr", self.strip_const(t[1]), t[2])
        return t

    def structure(self):
        key = self.r.choice(["struct", "struct", "union"])
        tag = self.name("S")
        body = self.member_lines(0)
        body.append("%s %s *self_%s;" % (key, tag, tag))
        self.emit("%s %s { %s };" % (key, tag, " ".join(body)))
        full = "%s %s" % (key, tag)
        self.tags.append(full)
        self.size_types.append(full)
        self.emit("extern %s %s;" % (full, self.name("v")))
        if self.r.random() < 0.5:
            self.emit("typedef %s %s;" % (full, tag))
            if not self.cpp:
                self.typedefs.append(tag)

    def enumeration(self):
        tag = self.name("E")
        items = []
        count = self.r.randrange(1, 6)
        # C and C++ disagree on an enumeration that holds a negative value and
        # one above the long long range; several values stay within int.
        wrap = "%s" if count == 1 else "(int)(%s)"
        for i in range(count):
            e = self.name("K")
            if self.r.random() < 0.6:
                items.append("%s = %s" % (e, wrap % self.expr(1)))
            else:
                items.append(e)
            self.enumerators.append((e, None))
        self.emit("enum %s { %s };" % (tag, ", ".join(items)))
        self.emit("extern enum %s %s;" % (tag, self.name("v")))

    def old_style(self):
        f = self.name("k")
        self.emit("int %s(a, b) int a; char *b; { return a; }" % f)

    # -- C++ ---------------------------------------------------------------
    def cpp_class(self):
        cls = self.name("C")
        key = self.r.choice(["class", "struct"])
        parts = ["public:" if key == "class" else ""]
        parts.append("int x; double y;")
        parts.append("%s(int a);" % cls)
        parts.append("int get() const;")
        parts.append("virtual void put(int v, char *s);")
        parts.append("%s &operator+=(const %s &o);" % (cls, cls))
        parts.append("bool operator<(const %s &o) const;" % cls)
        parts.append("int operator()(int a, int b);")
        parts.append("static int count;")
        parts.append("struct In { int a; char b[%s]; };" % self.bound())
        parts.append("enum Mode { M0, M1 = 4, M2 };")
        parts.append("In in; Mode mode;")
        parts.append("protected: long z; private: unsigned w : 3;")
        self.emit("%s %s { %s };" % (key, cls, " ".join(parts)))
        self.emit("extern %s *%s;" % (cls, self.name("v")))
        self.emit("extern %s::In %s;" % (cls, self.name("v")))
        self.emit("extern %s::Mode %s;" % (cls, self.name("v")))
        self.emit("extern int %s::*%s;" % (cls, self.name("pm")))
        self.emit("extern int (%s::*%s)() const;" % (cls, self.name("pmf")))
        self.emit("extern void (%s::*%s)(int, char *);" % (cls, self.name("pmf")))
        self.emit("extern %s &%s;" % (cls, self.name("r")))
        self.emit("extern const %s &%s;" % (cls, self.name("r")))
        # (not a sizeof operand: a class with virtual members has a size
        # only the compiler knows)

    def cpp_refs(self):
        t = self.type_tree(1, False)
        self.emit("extern %s;" % self.declarator(("ref", t), self.name("r")))
        self.emit("extern %s;" % self.declarator(("ref", ("arr", ("base", "int"), self.bound())),
                                                 self.name("r")))
        self.emit("extern %s;" % self.declarator(("ref", ("func", ("base", "int"), [("base", "char")], False)),
                                                 self.name("r")))

    def cpp_namespace(self):
        ns = self.name("N")
        self.emit("namespace %s { struct P { int a; long b; }; typedef int Count; }" % ns)
        self.emit("extern %s::P %s;" % (ns, self.name("v")))
        self.emit("extern %s::P *%s[%s];" % (ns, self.name("v"), self.bound()))
        if not self.avoid_known:
            # A typedef name of a namespace comes back unqualified (the
            # grammar's use of the name does not record its scope).
            self.emit("extern %s::Count %s;" % (ns, self.name("v")))

    def cpp_derived(self):
        bases = [t.split()[1] for t in self.tags if t.startswith("struct ")]
        if not bases:
            return
        d = self.name("D")
        base = self.r.choice(bases)
        access = self.r.choice(["public ", "", "protected "])
        self.emit("struct %s : %s%s { char extra; %s more; };" % (d, access, base, self.base()))
        self.emit("extern %s %s;" % (d, self.name("v")))
        self.size_types.append(d)

    def cpp_constants(self):
        # Constant variables as bounds are C++ only.
        c = self.name("CN")
        self.emit("const int %s = %s;" % (c, self.expr(1)))
        self.emit("extern int %s[((%s * 2 + 1) & 15) + 1];" % (self.name("v"), c))
        self.enumerators.append((c, None))

    def cpp_template(self):
        t = self.name("Box")
        self.emit("template <class T> struct %s { T v; T *p; };" % t)
        self.emit("extern %s<int> %s;" % (t, self.name("v")))
        self.emit("extern %s<char> *%s;" % (t, self.name("v")))


def write_file(path, rnd, cpp, n_decls, avoid_known):
    g = Gen(rnd, cpp, avoid_known)
    families = [g.variable] * 6 + [g.function] * 4 + [g.typedef_chain, g.structure, g.structure,
                                                        g.enumeration, g.enumeration]
    if not cpp:
        families.append(g.old_style)
    else:
        families += [g.cpp_class, g.cpp_refs, g.cpp_namespace, g.cpp_template, g.cpp_constants, g.cpp_derived]
    g.enumeration()
    g.structure()
    while g.count < n_decls:
        rnd.choice(families)()
    with open(path, "w") as f:
        f.write("\n".join(g.lines) + "\n")
    return g.count


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("out")
    ap.add_argument("--seed", type=int, default=20261207)
    ap.add_argument("--files", type=int, default=6)
    ap.add_argument("--decls", type=int, default=60)
    ap.add_argument("--with-known-faults", action="store_true")
    a = ap.parse_args()
    os.makedirs(a.out, exist_ok=True)
    rnd = random.Random(a.seed)
    total = 0
    for i in range(a.files):
        for lang, ext in (("c", "c"), ("c++", "cpp")):
            total += write_file(os.path.join(a.out, "decl%02d.%s" % (i, ext)), rnd, lang == "c++",
                                a.decls, not a.with_known_faults)
    print(total)


if __name__ == "__main__":
    main()
