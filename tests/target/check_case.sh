#!/usr/bin/env bash
# One case of the host GCC target: runs ortekstart on a source file with
# QZLTGT naming the target directory and checks the script it writes.
#
#   check_case.sh --bin ORTEKSTART --target DIR [--cpp | --cpp98] [--cxx G++] [--usr-include] [--keep] FILE
#
# --usr-include also sets QZW_ADD_USR_INCLUDE (the system directories then
# stand twice in the header search). --cpp: a C++17 file, which gets the
# target's C++ defines file from its suffix (no STD_DEFINE is given);
# --cpp98: a C++ file read with the C++98 defines file.
#
# The first line of FILE names what the script must hold, as
#   /* globals: a b; functions: f g; types: t; consts: c; status: N */
# (types, consts and status optional; status 0 by default). The environment
# of the tested file must list exactly the globals, the services must be
# exactly the functions (members as Class_member), and before BEGIN only
# the extern lines of these, of the consts (globals that are constants: an
# extern line, no environment entry) and the definitions of the named types
# of the file may stand. In a C or C++17 case every diagnostic is an
# information; in a C++98 case, whose library headers hold constructs the
# grammar does not cover, warnings are allowed too: no error, no fatal or
# internal error. With --cxx, the declarations of a C++17 case's script
# before BEGIN, turned back into C++ (tests/decl_compile/decl_compile.py
# --to-c), must also compile with that compiler in -std=gnu++17.
set -u
bin="" target="" std="qzus_c.def" keep=0 file="" usr=() lenient=0 cxx=""
while [ $# -gt 0 ]; do
  case "$1" in
    --bin) bin=$2; shift ;;
    --target) target=$2; shift ;;
    --cpp) std="qzus_cpp.def" ;;
    --cpp98) std="qzus_cpp98.def" lenient=1 ;;
    --cxx) cxx=$2; shift ;;
    --keep) keep=1 ;;
    --usr-include) usr=(QZW_ADD_USR_INCLUDE=1) ;;
    *) file=$1 ;;
  esac
  shift
done
[ -n "$bin" ] && [ -n "$target" ] && [ -f "$file" ] || { sed -n '2,20p' "$0"; exit 2; }
if [ ! -f "$target/ana/$std" ]; then echo "no target directory $target"; exit 2; fi
# The tool runs in a folder of its own: names given relative to here are made absolute.
case "$bin" in /*) ;; */*) bin="$PWD/$bin" ;; esac
target=$(cd "$target" && pwd)

name=$(basename "$file")
base=${name%.*}
wanted=$(head -1 "$file")
field() { sed -n "s/.*$1: *\([^;*]*\).*/\1/p" <<<"$wanted" | xargs -n1 2>/dev/null | sort; }
want_globals=$(field globals)
want_functions=$(field functions)
want_types=$(field types)
want_consts=$(field consts)
want_status=$(field status)
want_status=${want_status:-0}

work=$(mktemp -d "${TMPDIR:-/tmp}/ortek-target.XXXXXX")
cp "$file" "$work/"
args=("$name" "$base.ptu")
[ "$std" = "qzus_cpp98.def" ] && args+=("-STD_DEFINE=$target/ana/$std")
(cd "$work" && env -u QZUTGT -u QZW_ADD_USR_INCLUDE -u QZW_NOBASENAME -u ORTEKLAN -u LC_ALL \
  LANG=C ORTEK_SUPPRESS_COPYRIGHT= PROBAXDIR="$(dirname "$(dirname "$target")")" QZLTGT="$target" "${usr[@]}" \
  "$bin" "${args[@]}" >"$work/.stdout" 2>"$work/.stderr" </dev/null)
status=$?
rc=0
fail() { echo "$name: $*"; rc=1; }

if [ $lenient = 1 ]; then
  [ "$status" = 0 ] || [ "$status" = 3 ] || fail "status $status, expected 0 or 3"
else
  [ "$status" = "$want_status" ] || fail "status $status, expected $want_status"
fi
if [ $lenient = 0 ]; then
  bad=$(grep -v '^ProbaX-I-' "$work/.stderr")
else
  bad=$(grep '^ProbaX-[EFS]-' "$work/.stderr")
fi
[ -z "$bad" ] || fail "unexpected diagnostics:"$'\n'"$bad"
script="$work/$base.ptu"
if [ ! -f "$script" ]; then
  fail "no script written"
else
  if [ "$std" = "qzus_cpp.def" ]; then
    grep -q "^--%c .*/STD_DEFINE=\"$target/ana/qzus_cpp.def\"" "$script" ||
      fail "the header does not name the C++ defines file"
  fi
  env_name="ENV_${base}_${name##*.}"
  got_globals=$(sed -n "/^ENVIRONMENT $env_name\$/,/^END ENVIRONMENT/s/^  [A-Z_]* \([^,]*\),.*/\1/p" "$script" | sort)
  got_functions=$(sed -n 's/^SERVICE \(.*\)$/\1/p' "$script" | sort)
  [ "$got_globals" = "$want_globals" ] ||
    fail "environment lists [$(echo $got_globals)], expected [$(echo $want_globals)]"
  [ "$got_functions" = "$want_functions" ] ||
    fail "services [$(echo $got_functions)], expected [$(echo $want_functions)]"
  # Before BEGIN: the extern lines of the file's own globals and functions
  # and the declarations of its own types, nothing declared by the headers.
  # Besides structures, unions, enumerations and classes, the types list
  # names the file's namespaces (their opening lines), class templates,
  # typedef names and function templates (their declarations and those of
  # their explicit specialisations); a line of a class template's body
  # (as written in the file, after "# ") belongs to its template.
  others=$(sed -n '/^BEGIN$/q;/^    #/p' "$script" | grep -v $'^    #extern \\|^    #\t\\|^    # \\|^    #}' |
    while IFS= read -r l; do
      t=$(sed -n -e 's/^    #\(struct\|union\|enum\|class\) \(\(class\|struct\|alignas([^ ]*)\) \)\{0,1\}\([A-Za-z_0-9]*\).*/\4/p' \
        -e 's/^    #namespace \([A-Za-z_0-9]*\) {$/\1/p' \
        -e 's/^    #template <[^{(]*> \(struct\|class\|union\) \(alignas([^ ]*) \)\{0,1\}\([A-Za-z_0-9]*\).*/\3/p' \
        -e 's/^    #typedef .*[^A-Za-z_0-9]\([A-Za-z_0-9]*\);$/\1/p' \
        -e '/^    #template <[^(]*> \(struct\|class\|union\) /!s/^    #template <[^(]*> [^(]*[^A-Za-z_0-9]\([A-Za-z_][A-Za-z_0-9]*\)\(<[^(]*>\)\{0,1\}(.*/\1/p' \
        <<<"$l" | head -1)
      grep -qx -- "${t:-?}" <<<"$want_types" || echo "$l"
    done)
  [ -z "$others" ] || fail "declarations before BEGIN besides the file's own:"$'\n'"$others"
  externs=$(sed -n '/^BEGIN$/q;/^    #extern /p' "$script" | wc -l)
  if [ "$std" = "qzus_c.def" ]; then
    n=$(echo $want_globals $want_functions $want_consts | wc -w)
    [ "$externs" = "$n" ] || fail "$externs extern lines, expected $n"
  fi
  if [ -n "$cxx" ] && [ "$std" = "qzus_cpp.def" ]; then
    if python3 "$(dirname "$0")/../decl_compile/decl_compile.py" --to-c "$script" >"$work/.decl.cc" 2>"$work/.decl.err"; then
      (cd "$work" && "$cxx" -std=gnu++17 -fsyntax-only -I. .decl.cc >"$work/.cxx.err" 2>&1) ||
        fail "the declarations before BEGIN do not compile:"$'\n'"$(grep -m10 'error' "$work/.cxx.err" || head -10 "$work/.cxx.err")"
    else
      fail "the script cannot be turned back into C++:"$'\n'"$(tail -1 "$work/.decl.err")"
    fi
  fi
fi
if [ $rc -ne 0 ] || [ $keep -eq 1 ]; then
  echo "$name: run folder kept in $work"
  [ $rc -ne 0 ] && { echo "--- standard error"; head -20 "$work/.stderr"; }
else
  rm -rf "$work"
fi
exit $rc
