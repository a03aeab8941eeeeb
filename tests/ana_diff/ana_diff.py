#!/usr/bin/env python3
"""Differential test of the declaration analyser against clang.

For every file of a generated corpus, and for real files built on the system
C library headers, the set of functions DEFINED in the file (name, parameter
count, static or not) and the set of file-scope variables (name, storage)
found by symdump must equal what clang's AST reports. Functions and
variables of namespaces count under their qualified names (a::b::f).

Real headers are preprocessed with the system compiler (gcc -E -P) and
definitions that neutralise compiler extensions; both tools then read the same
preprocessed text. Exit status 0 on success, 1 on a difference, 77 (skip)
when clang is absent.
"""
import argparse
import json
import os
import random
import re
import shutil
import subprocess
import sys

NEUTRAL = [
    "-D__attribute__(x)=", "-D__extension__=", "-D__restrict=", "-D__restrict__=",
    "-D__asm__(x)=", "-D__asm(x)=", "-D__inline=inline", "-D__inline__=inline",
    "-D__const=const", "-D__signed__=signed", "-D__volatile__=volatile",
    "-D_Noreturn=", "-D__THROW=", "-D__wur=", "-D_Bool=int", "-D__builtin_va_list=char*", "-D_Float128=double",
]

BASIC = ["int", "unsigned int", "long", "unsigned long long", "char", "signed char",
         "short", "double", "float", "long double", "unsigned char", "const char"]


class Gen:
    cpp = False

    def __init__(self, seed):
        self.r = random.Random(seed)
        self.n = 0
        self.tags = []

    def name(self, p):
        self.n += 1
        return "%s%d" % (p, self.n)

    def basic(self):
        # C++ wants an initialiser for const objects: none of them there.
        basic = [b for b in BASIC if not (self.cpp and b.startswith("const"))]
        return self.r.choice(basic + [t for t in self.tags])

    def declarator(self, name):
        return self.r.choice([
            name, "*" + name, name + "[4]", "(*%s)(int, char)" % name, "*%s[3]" % name,
            name + "[2][3]", ("**" if self.cpp else "* const ") + name, "**" + name, "(*%s)[5]" % name,
            "(*(*%s)(void))(int)" % name,
        ])

    def variables(self, out):
        storage = self.r.choice(["", "", "static ", "extern "])
        parts = [self.declarator(self.name("v")) for _ in range(self.r.randint(1, 3))]
        init = ""
        base = self.basic()
        if (storage != "extern " and len(parts) == 1 and parts[0].startswith("v") and "[" not in parts[0]
                and base in BASIC):
            init = self.r.choice(["", " = 1", " = (2 + 3) * 4", " = sizeof(int)"])
        out.append("%s%s %s%s;" % (storage, base, ", ".join(parts), init))

    def types(self, out):
        kind = self.r.choice(["struct", "union", "enum", "typedef"])
        t = self.name("tag")
        if kind == "enum":
            out.append("enum %s { %s_a, %s_b = 4, %s_c = %s_b + 1 };" % (t, t, t, t, t))
            self.tags.append("enum " + t)
        elif kind == "typedef":
            out.append("typedef struct %s { int x; double y; struct %s *self; unsigned f : 3; } T%s;" % (t, t, t))
            self.tags.append("T" + t)
            self.tags.append("struct " + t)
        else:
            out.append("%s %s { int a; char *b; %s { int in; } nested; } %s;" %
                       (kind, t, "struct", self.name("v")))
            self.tags.append("%s %s" % (kind, t))

    def params(self):
        return self.r.choice([
            ("void", 0), ("", 0), ("int a", 1), ("int a, char *b", 2),
            ("const char *fmt, ...", 1), ("int (*cb)(int), void *arg", 2),
            ("%s *s, int n[]" % self.basic(), 2), ("%s x, %s y, %s z" % (self.basic(), self.basic(), self.basic()), 3),
            ("int m[2][3], double (*f)(double)", 2),
        ])

    def body(self):
        return self.r.choice([
            "{ }", "{ return; }", "{ if (1) { int q = 2; } }",
            '{ const char *str = "}{"; char ch = \'{\'; }',
            "{ { { } } struct local { int z; } l; }",
            "{ int i; for (i = 0; i < 3; i++) { } }",
        ])

    def function(self, out):
        static = self.r.choice(["", "static "])
        ret = self.r.choice(["void", "int", "char *", "struct ret%d *" % self.n, "double"])
        name = self.name("f")
        params, _ = self.params()
        style = self.r.randint(0, 5)
        if style == 0:
            out.append("%s%s %s(%s);" % (static, ret, name, params))  # prototype only
        elif style == 1:
            out.append("%s%s %s(%s);" % (static, ret, name, params))
            out.append("%s %s(%s) %s" % (ret, name, params, self.body().replace("return;", "")))
        elif style == 2 and not self.cpp:
            out.append("%s%s %s(a, b) int a; char *b; %s" % (static, ret, name, self.body().replace("return;", "")))
        else:
            out.append("%s%s %s(%s) %s" % (static, ret, name, params, self.body().replace("return;", "")))

    def file(self):
        out = []
        for _ in range(self.r.randint(20, 60)):
            self.r.choice([self.variables, self.variables, self.types, self.function, self.function])(out)
        return "\n".join(out) + "\n"


class GenCpp(Gen):
    """C++ files: classes with members defined inside and outside, namespaces,
    templates used as types, overloads, linkage blocks, references."""
    cpp = True

    def klass(self, out):
        c = self.name("C")
        classes = getattr(self, "classes", [])
        base = self.r.choice(["", " : public %s" % classes[-1]] if classes else [""])
        out.append("class %s%s {" % (c, base))
        out.append("public:")
        out.append("  %s();" % c)
        out.append("  %s(int v, const char *name = \"x\");" % c)
        out.append("  virtual ~%s();" % c)
        out.append("  int get() const { return v_; }")
        out.append("  void set(int v);")
        out.append("  %s &operator=(const %s &o);" % (c, c))
        out.append("  bool operator<(const %s &o) const;" % c)
        out.append("  static int count;")
        out.append("  enum Mode { ON, OFF = 3 };")
        out.append("  struct Inner { int a; void touch() { } } inner;")
        out.append("  friend class Other%s;" % c)
        out.append("protected:")
        out.append("  int v_;")
        out.append("private:")
        out.append("  char buf_[8];")
        out.append("};")
        out.append("%s::%s() : v_(0) { }" % (c, c))
        out.append("%s::%s(int v, const char *name) : v_(v) { (void)name; }" % (c, c))
        out.append("%s::~%s() { }" % (c, c))
        out.append("void %s::set(int v) { v_ = v; }" % c)
        out.append("%s &%s::operator=(const %s &o) { v_ = o.v_; return *this; }" % (c, c, c))
        out.append("bool %s::operator<(const %s &o) const { return v_ < o.v_; }" % (c, c))
        out.append("int %s::count = 0;" % c)
        out.append("%s::Mode mode_of_%s(const %s &x) { return %s::ON; }" % (c, c, c, c))
        self.tags.append(c)
        self.classes = getattr(self, "classes", []) + [c]

    def namespace(self, out):
        n = self.name("ns")
        out.append("namespace %s {" % n)
        out.append("  int inside;")
        out.append("  int twice(int x) { return 2 * x; }")
        out.append("  class K { public: void m(); };")
        out.append("  void K::m() { }")
        out.append("  namespace deeper { double d; }")
        out.append("}")
        out.append("namespace { int hidden%d; void unseen%d() { } }" % (self.n, self.n))
        out.append("int %s_user(int a) { return %s::twice(a); }" % (n, n))
        out.append("namespace alias%d = %s;" % (self.n, n))

    def template(self, out):
        t = self.name("Tp")
        out.append("template <class T, class U = int> struct %s { T first; U second; %s<T, U> *next; T get() const { return first; } };" % (t, t))
        out.append("%s<char> %s;" % (t, self.name("v")))
        out.append("static %s<long, double> *%s;" % (t, self.name("v")))
        out.append("template <class T> T max_of%d(T a, T b) { return a < b ? b : a; }" % self.n)
        out.append("typedef %s<short> %s_short;" % (t, t))

    def overloads(self, out):
        f = self.name("ov")
        out.append("int %s(int a) { return a; }" % f)
        out.append("int %s(double a, int &r) { return r; }" % f)
        out.append("static int %s(const char *s, int n, long m, ...) { return 0; }" % f)
        out.append('extern "C" { int %s_c(void); int %s_c(void) { return 1; } }' % (f, f))
        out.append('extern "C" int %s_d(int);' % f)

    def file(self):
        out = []
        for _ in range(self.r.randint(10, 25)):
            self.r.choice([self.variables, self.types, self.function, self.klass, self.namespace,
                           self.template, self.overloads])(out)
        return "\n".join(out) + "\n"


REAL = r'''
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <ctype.h>
#include <errno.h>
#include <time.h>
#include <signal.h>
#include <stdint.h>
#include <limits.h>
#include <setjmp.h>
#include <locale.h>
#include <unistd.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <math.h>
#include <wchar.h>
#include <stdarg.h>
#include <pthread.h>
#include <dirent.h>
#include <assert.h>
#include <sys/types.h>
#include <sys/time.h>
#include <netinet/in.h>
int counter;
static double ratio = 1.5;
extern FILE *log_file;
const char *names[] = { "a", "b" };
struct point { int x, y; } origin = { 0, 0 };
static int helper(const char *s, size_t n) { return s[0] + (int)n; }
size_t length(const char *s) { return strlen(s); }
static void handler(int sig) { (void)sig; }
static int vsum(int n, ...) { va_list ap; va_start(ap, n); va_end(ap); return n; }
double hyp(double a, double b) { return sqrt(a * a + b * b); }
int main(int argc, char **argv) { signal(SIGINT, handler); printf("%d\n", argc); return helper(argv[0], 1); }
'''


# C as real projects write it: names declared through a function typedef,
# const objects of typedef'd structures, unnamed bit-fields, GNU variadic
# macros with comma elision and __VA_OPT__, #pragma once, #line.
IDIOMS = r'''
#pragma once
typedef struct reg_entry { const char *name; int (*func)(int); } reg_entry;
typedef struct cfg cfg;
struct cfg { int a; int b; };
typedef const struct cfg const_cfg;
typedef int Handler(int);
static int one(int x) { return x; }
static const reg_entry funcs[] = { {"one", one}, {0, 0} };
const reg_entry pub_funcs[] = { {"one", one} };
const cfg one_cfg = { 1, 2 };
const_cfg three_cfg = { 5, 6 };
cfg settable;
Handler on_a, on_b;
static Handler on_c;
int on_a(int x) { return x + 1; }
static int on_c(int x) { return x; }
struct reg {
  unsigned enable : 1;
  unsigned : 3;
  unsigned mode : 2;
  unsigned : 0;
  unsigned status : 8;
  int : 4;
} control;
#define DECLARE(ret, name, ...) ret name(int first, ## __VA_ARGS__)
#define DECLARE_OPT(ret, name, ...) ret name(int first __VA_OPT__(,) __VA_ARGS__)
DECLARE(int, no_extra);
DECLARE(int, two_extra, int a, int b);
DECLARE_OPT(int, opt_none);
DECLARE_OPT(int, opt_one, long c);
int no_extra(int first) { return first; }
int two_extra(int first, int a, int b) { return first + a + b; }
int opt_none(int first) { return first; }
int opt_one(int first, long c) { return first + (int)c; }
#line 500
int at_500[__LINE__];
const char *here = __FILE__;
char *text;
unsigned char *bytes;
'''


# C files written the way C code bases write them: the words only C++
# reserves as names, every integer suffix and binary constants, encoding
# prefixes of characters and strings.
C_CONSTRUCTS = {
    "c_words.c": r'''
struct node { struct node *next, *prev; int class; };
typedef enum { no, yes } bool;
bool ready = yes;
int template = 3, this, try_count;
static void list_add(struct node *new, struct node *head) { new->next = head->next; head->next = new; }
int sel(int class) { return class > 2; }
int parse(char operator, int typename) { if (operator == '+') goto try; return typename; try: return 0; }
int count(struct node *this) { int delete = 0, friend = 1, private = 2; return delete + friend + private; }
static int virtual(int public, int protected) { return public + protected; }
char *catch(const char *throw, int namespace) { (void)namespace; return (char *)throw; }
_Bool flag;
int using, mutable, explicit, export, typeid, overload, false, true;
''',
    "c_suffixes.c": r'''
unsigned long long mask = 0xFFFFFFFFFFFFFFFFULL;
long long offset = -1LL, big = 9223372036854775807ll;
unsigned long count = 10lu, other = 10LU, more = 7uL;
unsigned long long a = 1ull, b = 1LLU, c = 1uLL, d = 0x10Ull;
unsigned char flags = 0b1010;
char bits[0b100];
enum field { F_LOW = 0x1ull, F_HIGH = 0x8000000000000000ULL >> 62, F_BIN = 0B110 };
static unsigned long long reg_read(unsigned long long off) { return off & 0xFFULL; }
int wide_enough(void) { return sizeof(1LL) == 8 && bits[0] == 0; }
''',
    "c_prefixes.c": r'''
const char *greeting = u8"gr\u00fc\u00df" " dich";
const unsigned short *title16 = u"Title" u" two";
const unsigned int *title32 = U"\U0001F600";
const int *wide = L"wide" L"r";
unsigned short letter = u'\u00e9';
unsigned int emoji = U'\U0001F600';
int wide_z = L'z';
char name[] = "abc" "de";
int show(const char *text, unsigned int c) { return text[0] + (int)c + u'a' + U'b' + L'c'; }
''',
}


# C++17 files, one per group of constructs of the later standards: every
# function defined and every file-scope variable must be found as clang
# finds them.
CXX17 = {
    "cxx17_refs_enums.cpp": r'''
struct Mv { Mv(Mv &&o); int v; };
Mv::Mv(Mv &&o) : v(o.v) {}
int take(int &&r) { return r; }
int both(int &a, int &&b) { return a + b; }
enum Small : unsigned char { S1, S2 };
enum class Color : short { Red, Green };
enum struct Mode { On, Off };
Small small_value;
Color color_value = Color::Green;
Mode mode_value;
static Color pick(Color c) { return c; }
struct C { int m; int f(int) const; };
int C::*member_pointer = &C::m;
int (C::*method_pointer)(int) const;
int get(C &c, int C::*p) { return c.*p; }
''',
    "cxx17_templates.cpp": r'''
template <class T> struct Box { T v; };
template <> struct Box<char> { char c; int n; };
Box<char> char_box;
template <class T> T id(T x) { return x; }
int after_template(int x) { return id(x); }
template <class... Args> int count(Args &&...args) { return sizeof...(args); }
int use_count() { return count(1, 2, 3); }
template <class T> using Ptr = T *;
using Int = int;
Ptr<int> alias_pointer;
Int alias_value;
namespace outer::inner { int in_nested; }
struct alignas(8) Aligned { int a; };
Aligned aligned_value;
static_assert(sizeof(int) >= 2, "int");
decltype(alias_value) same_type;
auto trailing(int a) -> int { return a; }
class locale { public: class facet; int id; };
class locale::facet { public: int refs; int count() const; };
int locale::facet::count() const { return refs; }
''',
    "cxx17_words.cpp": r'''
namespace a::b { int nested_function(int x) { return x; } }
inline namespace v1 { int versioned(int x) { return x; } }
inline int shared_counter = 0;
constexpr int limit = 10;
constexpr int square(int x) { return x * x; }
thread_local int per_thread;
alignas(16) char buffer[32];
[[nodiscard]] int checked(int x) { return x; }
[[deprecated("old")]] int old_one(int x) noexcept { return x; }
int *none = nullptr;
int braced{3};
int list[3]{1, 2, 3};
auto deduced = 3;
auto text = "hello";
auto wide = static_cast<long>(4);
struct B { virtual ~B() = default; virtual int f() const; B() = default; B(const B &) = delete; };
int B::f() const { return 0; }
struct D final : B { int f() const override; };
int D::f() const { return 1; }
int noexcept_function(int x) noexcept(true) { return x; }
''',
    # The same constructs inside namespaces, whose members are compared under
    # their qualified names; functions of a namespace defined outside it.
    "cxx17_namespaces.cpp": r'''
namespace store::disk {
constexpr int block = 512;
inline int opened = 0;
thread_local unsigned last_block;
enum class State : unsigned char { Idle, Busy };
State state{State::Idle};
template <class T> using Ref = T &;
int read(Ref<int> into, int &&hint) noexcept { into = hint; return block; }
int read(char *into, int n) { return into && n > 0; }
template <class... Ts> int sum(Ts... ts) { return (0 + ... + ts); }
int total() { return sum(1, 2, 3); }
static int hidden_count;
static int helper(int x) { return x; }
int later(int x);
auto deduced_block = static_cast<long>(block);
}
int store::disk::later(int x) { return [x](int y) { return x + y; }(1); }
inline namespace v2 { int current(int x) { return x; } double version = 2.0; }
namespace { int file_local(int x) { return x; } int file_local_value; }
namespace store {
template <class T> T pick(T a, T b) { return a < b ? a : b; }
template <> int pick<int>(int a, int b) { return a > b ? a : b; }
struct Rec { int id; int name_len; };
int Rec::*field = &Rec::id;
int by_field(const Rec &r, int Rec::*f) { return r.*f; }
[[maybe_unused]] alignas(8) static char scratch[16];
decltype(field) other_field = &Rec::name_len;
auto tail(int a) -> decltype(a + 1) { return a + 1; }
static_assert(sizeof(Rec) == 2 * sizeof(int), "packed");
}
''',
    # Classes as C++11 to C++17 write them: defaulted, deleted, final and
    # ref-qualified members, inline and thread_local static members, member
    # types and enumerations defined outside their class, member pointers,
    # variables typed by auto, explicit specialisations and instantiations.
    "cxx17_classes.cpp": r'''
struct Shape {
  Shape() = default;
  Shape(const Shape &) = default;
  Shape &operator=(Shape &&) noexcept = default;
  virtual ~Shape() noexcept;
  virtual int area() const = 0;
  virtual int sides() const noexcept { return 0; }
  constexpr int twice(int x) const { return 2 * x; }
  void *operator new(unsigned long) = delete;
  static inline int made = 0;
  static constexpr int limit = 8;
  static thread_local int per_thread_made;
  [[nodiscard]] int checked() const;
  int moved() &&;
  int kept() const &;
};
Shape::~Shape() noexcept {}
int Shape::checked() const { return made; }
int Shape::moved() && { return 1; }
int Shape::kept() const & { return 2; }
thread_local int Shape::per_thread_made = 0;
struct Square final : Shape {
  int side{2};
  int area() const override final { return side * side; }
  int sides() const noexcept override;
  auto perimeter() const -> int;
  decltype(auto) side_ref() { return (side); }
  template <class... Args> static Square make(Args &&...args);
};
int Square::sides() const noexcept { return 4; }
auto Square::perimeter() const -> int { return 4 * side; }
void erased(double) = delete;
int erased(int x) { return x; }
class Outer {
public:
  class Inner;
  struct Node;
  enum class Kind : unsigned char;
  using Size = unsigned long;
  template <class T> using Vec = T *;
  Size size() const;
};
class Outer::Inner { public: int depth() const; int level = 1; };
int Outer::Inner::depth() const { return level; }
struct Outer::Node { Node *next; int value() const { return 0; } int rank() const; };
int Outer::Node::rank() const { return next ? 1 : 0; }
enum class Outer::Kind : unsigned char { Leaf, Branch };
Outer::Size Outer::size() const { return 0; }
Outer::Kind kind_value = Outer::Kind::Leaf;
Outer::Vec<int> vec_value;
int (Shape::*area_pointer)() const = &Shape::area;
int Square::*side_pointer = &Square::side;
int call(const Shape &s, int (Shape::*m)() const) { return (s.*m)(); }
struct Point { int x, y; Point(int a, int b) : x(a), y(b) {} };
auto origin = Point(0, 0);
auto unit = Point{1, 1};
auto ratio = 0.5;
auto letter = 'a';
auto big = 10ul;
auto flag = true;
auto cast_value = (short)3;
auto pointer_value = static_cast<const char *>(nullptr);
auto deduced(int x) { return x + 1; }
template <class T, class... Rest> int first_of(T &&first, Rest &&...) { return static_cast<int>(first); }
int use_first() { return first_of(1, 2.0, 'c'); }
template <class T> struct Holder { T value; T get() const; };
template <> struct Holder<void> { int none; int get() const; };
int Holder<void>::get() const { return none; }
template <> int Holder<int>::get() const { return value; }
Holder<void> void_holder;
Holder<int> int_holder{3};
extern template struct Holder<long>;
template struct Holder<char>;
struct [[deprecated]] Old { int v; };
int counter [[maybe_unused]] = 0;
alignas(double) unsigned char raw[sizeof(double)];
alignas(16) static int aligned_static;
[[noreturn]] void stop();
void stop() { for (;;) {} }
static_assert(alignof(double) >= 4);
int braced_array[]{1, 2, 3};
Point braced_point{3, 4};
int *null_pointer{nullptr};
decltype(nullptr) null_value;
''',
}


def file_level(decls, prefix="", spaces=None):
    """Declarations at file scope and in namespaces, as (qualified prefix,
    declaration): linkage blocks and namespaces (unnamed ones as
    "(anonymous)") are looked into; spaces maps each namespace's id to its
    prefix."""
    for d in decls:
        if d.get("kind") == "LinkageSpecDecl":
            yield from file_level(d.get("inner", []), prefix, spaces)
        elif d.get("kind") == "NamespaceDecl":
            inner = prefix + d.get("name", "(anonymous)") + "::"
            if spaces is not None:
                spaces[d.get("id")] = inner
            yield from file_level(d.get("inner", []), inner, spaces)
        else:
            yield prefix, d


NEUTRAL_HEADER = """
#define __attribute__(x)
#define __extension__
#define __restrict
#define __restrict__
#define __asm__(x)
#define __asm(x)
#define __inline inline
#define __inline__ inline
#define __const const
#define __signed__ signed
#define __volatile__ volatile
#define _Noreturn
#define _Bool int
#define __builtin_va_list char *
#define _Float128 double
"""


def own_preprocessor(a, src, work):
    """The real file through the tool's own preprocessor: the system compiler's
    predefined macros and the neutralising definitions come first, as a
    standard defines file would. Returns (symdump arguments, preprocessed file)
    or None when the system compiler cannot tell its macros and directories."""
    try:
        predefined = subprocess.run([a.cc, "-dM", "-E", "-x", "c", os.devnull], stdout=subprocess.PIPE,
                                    check=True).stdout.decode()
        own = subprocess.run([a.cc, "-print-file-name=include"], stdout=subprocess.PIPE,
                             check=True).stdout.decode().strip()
        arch = subprocess.run([a.cc, "-print-multiarch"], stdout=subprocess.PIPE).stdout.decode().strip()
    except (OSError, subprocess.CalledProcessError):
        return None
    defs = os.path.join(work, "neutral.h")
    with open(defs, "w") as f:
        f.write(predefined + NEUTRAL_HEADER)
    dirs = [own] + (["/usr/include/" + arch] if arch else []) + ["/usr/include"]
    out = os.path.join(work, "real_own.c")
    args = ["--pp", "--pre", defs, "--pp-out", out] + ["-I" + d for d in dirs if os.path.isdir(d)]
    return args, out


def clang_sets(clang, path):
    lang = ["-x", "c++", "-std=gnu++17"] if path.endswith(".cpp") else ["-x", "c"]
    p = subprocess.run([clang, "-Xclang", "-ast-dump=json", "-fsyntax-only", "-w"] + lang + [path],
                       stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if p.returncode != 0:
        raise RuntimeError("clang rejects %s:\n%s" % (path, p.stderr.decode(errors="replace")[:2000]))
    tu = json.loads(p.stdout)
    funcs, static_names, variables, spaces = {}, set(), {}, {}
    for prefix, d in list(file_level(tu.get("inner", []), "", spaces)):
        if d.get("isImplicit"):
            continue
        # Members defined outside their class name the class as their parent,
        # functions of a namespace defined outside it the namespace.
        parent = d.get("parentDeclContextId")
        if parent:
            if parent not in spaces:
                continue
            prefix = spaces[parent]
        kind, name = d.get("kind"), d.get("name")
        if name:
            name = prefix + name
        if kind == "FunctionDecl":
            inner = d.get("inner", [])
            key = (name, sum(1 for i in inner if i.get("kind") == "ParmVarDecl"))
            if d.get("storageClass") == "static":
                static_names.add(key)
            if any(i.get("kind") == "CompoundStmt" for i in inner):
                funcs[key] = name
        elif kind == "VarDecl":
            variables.setdefault(name, []).append(d.get("storageClass", "none"))
    fset = {(n, c, (n, c) in static_names) for (n, c) in funcs}
    vset = set()
    for n, sc in variables.items():
        if "static" in sc:
            vset.add((n, "static"))
        elif all(s == "extern" for s in sc):
            vset.add((n, "extern"))
        else:
            vset.add((n, "none"))
    return fset, vset


def symdump_sets(symdump, path, extra=(), errors=None):
    """The functions and variables symdump finds; `errors`, a list, receives
    the count of syntax errors it reports."""
    p = subprocess.run([symdump] + list(extra) + [path, "--quiet"], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                       timeout=120)
    if p.returncode != 0:
        raise RuntimeError("symdump fails on %s (status %d)" % (path, p.returncode))
    if errors is not None:
        m = re.search(rb"syntax errors: (\d+)", p.stderr)
        errors.append(int(m.group(1)) if m else -1)
    fset, vset = set(), set()
    lines = [line.split("\t") for line in p.stdout.decode(errors="replace").splitlines()]
    # Members of namespaces are compared under their qualified names, those
    # of classes are not; an unnamed namespace is clang's "(anonymous)".
    unnamed = re.compile(r"ortek_unnamed_namespace_\d+")
    spaces = {f[1] for f in lines if len(f) >= 6 and f[0] == "namespace"}
    for f in lines:
        if len(f) < 6:
            continue
        kind, name, storage, defined = f[0], f[1], f[3], f[4]
        if "::" in name:
            if name.rsplit("::", 1)[0] not in spaces:
                continue
            name = unnamed.sub("(anonymous)", name)
        # An explicit specialisation of a function template ("pick<int>") is
        # a function of its own: clang names it without its arguments.
        if kind == "function-template" and name.endswith(">") and "<" in name.rsplit("::", 1)[-1]:
            kind, name = "function", name[:name.index("<", name.rfind("::") + 1)]
        if kind == "function" and defined == "defined":
            count = int(f[6].split("=")[1])
            fset.add((name, count, "static" in storage.split()))
        elif kind == "variable":
            words = storage.split()
            vset.add((name, "static" if "static" in words else "extern" if "extern" in words else "none"))
    return fset, vset


def compare(label, ours, theirs):
    missing, extra = theirs - ours, ours - theirs
    if not missing and not extra:
        return True
    print("DIFF %s" % label)
    for m in sorted(missing, key=str)[:20]:
        print("  only clang:   %s" % (m,))
    for e in sorted(extra, key=str)[:20]:
        print("  only symdump: %s" % (e,))
    return False


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--symdump", required=True)
    ap.add_argument("--clang", default=shutil.which("clang-14") or shutil.which("clang"))
    ap.add_argument("--cc", default=shutil.which("gcc") or shutil.which("cc"))
    ap.add_argument("--work", default="ana_diff_work")
    ap.add_argument("--files", type=int, default=40)
    a = ap.parse_args()
    if not a.clang or not os.path.exists(a.clang):
        print("clang not found: no comparison (status 77)")
        return 77
    os.makedirs(a.work, exist_ok=True)
    paths = []
    for i in range(a.files):
        p = os.path.join(a.work, "gen%03d.c" % i)
        with open(p, "w") as f:
            f.write(Gen(1000 + i).file())
        paths.append(p)
    for i in range(a.files // 2):
        p = os.path.join(a.work, "gen%03d.cpp" % i)
        with open(p, "w") as f:
            f.write(GenCpp(5000 + i).file())
        paths.append(p)
    # Fixed files of our own, written into the work folder as they stand.
    fixed = dict(CXX17)
    if a.cc:
        src = os.path.join(a.work, "real.c")
        with open(src, "w") as f:
            f.write(REAL)
        pre = os.path.join(a.work, "real_pp.c")
        r = subprocess.run([a.cc, "-E", "-P"] + NEUTRAL + [src, "-o", pre], stderr=subprocess.PIPE)
        if r.returncode == 0:
            paths.append(pre)
        else:
            print("system preprocessor failed, real headers not compared:\n" + r.stderr.decode()[:500])
    fixed["idioms.c"] = IDIOMS
    fixed.update(C_CONSTRUCTS)
    for name, text in fixed.items():
        p = os.path.join(a.work, name)
        with open(p, "w") as f:
            f.write(text)
        paths.append(p)
    runs = [(p, p, ()) for p in paths]
    if a.cc:
        own = own_preprocessor(a, src, a.work)
        if own:
            # symdump preprocesses real.c itself; clang reads what it produced.
            runs.append((src, own[1], own[0]))
    ok = True
    nf = nv = 0
    for p, clang_input, extra in runs:
        errors = []
        sf, sv = symdump_sets(a.symdump, p, extra, errors)
        # Our own C++17 files hold only what the analyser reads: a syntax
        # error there is a fault even when the sets agree.
        if os.path.basename(p) in CXX17 and errors != [0]:
            print("DIFF %s: %s syntax error(s)" % (p, errors[0] if errors else "?"))
            ok = False
        cf, cv = clang_sets(a.clang, clang_input)
        nf += len(cf)
        nv += len(cv)
        ok &= compare(p + " (defined functions)", sf, cf)
        ok &= compare(p + " (file-scope variables)", sv, cv)
    print("%d files, %d defined functions, %d variables compared: %s" %
          (len(runs), nf, nv, "equal" if ok else "DIFFERENT"))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
