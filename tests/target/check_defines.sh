#!/usr/bin/env bash
# The generated standard defines files of the host GCC target agree with the
# compilers they were made from.
#
#   check_defines.sh TARGET_DIR GCC GXX
set -u
[ $# -eq 3 ] || { sed -n '2,5p' "$0"; exit 2; }
target=$1 gcc=$2 gxx=$3
c="$target/ana/qzus_c.def" cpp="$target/ana/qzus_cpp.def" cpp98="$target/ana/qzus_cpp98.def"
rc=0
fail() { echo "$*"; rc=1; }
for f in "$c" "$cpp" "$cpp98" "$target/lib/immintrin.h"; do [ -f "$f" ] || fail "missing $f"; done
[ $rc -eq 0 ] || exit 1

# The header directories in the compiler's order: its own include directory,
# the multiarch one when there is one, /usr/include last.
dirs() { sed -n 's/^#pragma ortek incl_std "\(.*\)"$/\1/p' "$1"; }
own=$(cd "$("$gcc" -print-file-name=include)" && pwd)
first_own=$(dirs "$c" | grep -nx -- "$own" | cut -d: -f1)
last_usr=$(dirs "$c" | grep -nx /usr/include | cut -d: -f1)
[ -n "$first_own" ] || fail "qzus_c.def: no incl_std of $own"
[ -n "$last_usr" ] || fail "qzus_c.def: no incl_std of /usr/include"
[ -n "$first_own" ] && [ -n "$last_usr" ] && [ "$first_own" -lt "$last_usr" ] || fail "qzus_c.def: $own not before /usr/include"
multiarch=$("$gcc" -print-multiarch 2>/dev/null)
if [ -n "$multiarch" ] && [ -d "/usr/include/$multiarch" ]; then
  dirs "$c" | grep -qx "/usr/include/$multiarch" || fail "qzus_c.def: no incl_std of /usr/include/$multiarch"
fi
# C++: the library's directories come before the compiler's own, in the
# compiler's order, and /usr/include, which the library's #include_next of
# the C headers needs, is among them.
for f in "$cpp" "$cpp98"; do
  cxx_first=$(dirs "$f" | head -1)
  case "$cxx_first" in */c++/*) ;; *) fail "$f: first directory $cxx_first is not the C++ library's" ;; esac
  dirs "$f" | grep -qx /usr/include || fail "$f: no incl_std of /usr/include"
done
want=$("$gxx" -xc++ -std=gnu++17 -v -E /dev/null 2>&1 >/dev/null |
  sed -n '/search starts here:/,/End of search list/{/^ /p}' | while read -r d; do [ -d "$d" ] && (cd "$d" && pwd); done)
[ "$(dirs "$cpp")" = "$want" ] || fail "qzus_cpp.def: the header directories are not those of g++ -std=gnu++17, in its order"

# Predefined macros and sizes.
major=$("$gcc" -dumpversion | cut -d. -f1)
grep -qx "#define __GNUC__ $major" "$c" || fail "qzus_c.def: __GNUC__ is not $major"
long=$("$gcc" -dM -E -x c /dev/null | sed -n 's/^#define __SIZEOF_LONG__ //p')
grep -qx "#pragma ortek sizeof(long) = $((long * 8))" "$c" || fail "qzus_c.def: no size of long of $((long * 8)) bits"
grep -q '^#define __USER_LABEL_PREFIX__' "$c" "$cpp" && fail "__USER_LABEL_PREFIX__ is defined"
grep -q '^#define __cplusplus' "$c" && fail "qzus_c.def defines __cplusplus"
grep -qx '#define __cplusplus 201703L' "$cpp" || fail "qzus_cpp.def: __cplusplus is not 201703L"
grep -qx '#define __cplusplus 199711L' "$cpp98" || fail "qzus_cpp98.def: __cplusplus is not 199711L"
grep -q '^#define __SIZEOF_INT128__' "$cpp" "$cpp98" && fail "a C++ defines file defines __SIZEOF_INT128__"
# The shared part follows the generated one in both files.
for f in "$c" "$cpp" "$cpp98"; do
  grep -qx '#define __attribute__(...)' "$f" || fail "$f: no neutral __attribute__"
  [ "$(grep -c '^#include' "$f")" = 0 ] || fail "$f: an #include would be copied into every script"
done
exit $rc
