#!/usr/bin/env bash
# End-to-end cases of ortekstart: one folder per case (see README.md here).
#
#   tests/e2e/run.sh [--update] [--bin ORTEKSTART] [--probax DIR] [CASE_DIR...]
#
# Without CASE_DIR every case folder is run. --update rewrites the
# expectations of the named cases from what the tool produces now; review
# the diff before committing it.
set -u

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
bin="$root/build/ortekstart"
probax="$root/build/probax"
update=0
cases=()
while [ $# -gt 0 ]; do
  case "$1" in
    --update) update=1 ;;
    --bin) bin="$2"; shift ;;
    --probax) probax="$2"; shift ;;
    -h|--help) sed -n '2,9p' "$0"; exit 0 ;;
    *) cases+=("$1") ;;
  esac
  shift
done
if [ ${#cases[@]} -eq 0 ]; then
  for d in "$here"/*/; do [ -f "$d/cmd" ] && cases+=("${d%/}"); done
fi

# The date line of a script header changes with every run.
mask() { sed 's/^--%d DATE : .*$/--%d DATE : <date>/' "$1"; }

# The run folder, as a sed pattern in its "/" and "\" spellings; outputs name
# it @DIR@ (see unwork).
work_patterns() {
  local quoted
  quoted=$(printf '%s' "$1" | sed 's/[][\\.*^$|]/\\&/g')
  slash_pattern=$quoted
  backslash_pattern=${quoted//\//\\\\}
}
# Writes file with the run folder replaced by @DIR@, in place.
unwork() {
  [ -f "$1" ] || return 0
  sed -i -e "s|$slash_pattern|@DIR@|g" -e "s|$backslash_pattern|@DIR@|g" "$1"
}

# Files of a case folder that describe the case rather than feed the tool.
is_case_file() {
  case "$1" in
    cmd|env|status|expected.stderr|expected.stdout|expected/*) return 0 ;;
  esac
  return 1
}

run_case() {
  local dir=$1 name work status rc=0
  dir=$(cd "$dir" && pwd)
  name=$(basename "$dir")
  work=$(mktemp -d "${TMPDIR:-/tmp}/ortek-e2e.XXXXXX")
  cp -R "$dir/." "$work/"
  rm -rf "$work/expected"

  # A fixed environment, so that the caller's settings never leak into a case.
  local -a unsets=(LC_ALL LC_MESSAGES LANGUAGE ORTEKLAN ORTEK_SUPPRESS_COPYRIGHT
    ORTEKPTU ORTEKSMB ORTEKDEF ORTEKEXH ORTEKCPP QZUTGT QZW_ADD_USR_INCLUDE QZW_NOBASENAME)
  # QZLTGT set and empty: no target, so that a case does not depend on the
  # host compiler's headers unless its env says "unset QZLTGT".
  local -A assign=([LANG]=C [PROBAXDIR]="$probax" [QZLTGT]=""
    [ASAN_OPTIONS]="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0")
  local line key
  if [ -f "$dir/env" ]; then
    while IFS= read -r line || [ -n "$line" ]; do
      case "$line" in
        ''|'#'*) ;;
        'unset '*) key=${line#unset }; unset "assign[$key]"; unsets+=("$key") ;;
        *=*) line=${line//@PROBAX@/$probax}; assign[${line%%=*}]=${line#*=} ;;
      esac
    done <"$dir/env"
  fi
  local -a envargs=()
  for key in "${unsets[@]}"; do envargs+=(-u "$key"); done
  for key in "${!assign[@]}"; do envargs+=("$key=${assign[$key]}"); done
  local args
  args=$(cat "$dir/cmd")
  args=${args//@DIR@/$work}
  eval "set -- $args"

  (cd "$work" && env "${envargs[@]}" "$bin" "$@" >"$work/.stdout" 2>"$work/.stderr" </dev/null)
  status=$?
  local slash_pattern backslash_pattern
  work_patterns "$work"
  unwork "$work/.stdout"
  unwork "$work/.stderr"

  # Output files: everything the run created or changed in the folder.
  local -a outputs=()
  local f
  while IFS= read -r f; do
    f=${f#./}
    case "$f" in .stdout|.stderr|.expected/*) continue ;; esac
    is_case_file "$f" && continue
    if [ ! -f "$dir/$f" ] || ! cmp -s "$dir/$f" "$work/$f"; then outputs+=("$f"); fi
  done < <(cd "$work" && find . -type f | sort)
  for f in "${outputs[@]}"; do unwork "$work/$f"; done

  if [ $update -eq 1 ]; then
    cp "$work/.stderr" "$dir/expected.stderr"
    echo "$status" >"$dir/status"
    if [ -s "$work/.stdout" ]; then cp "$work/.stdout" "$dir/expected.stdout"; else rm -f "$dir/expected.stdout"; fi
    # An expectation that differs only in its date line is kept as it is,
    # so that an update shows real changes only.
    local fresh="$work/.expected"
    mkdir -p "$fresh"
    for f in "${outputs[@]}"; do
      mkdir -p "$fresh/$(dirname "$f")"
      if [ -f "$dir/expected/$f" ] && cmp -s <(mask "$dir/expected/$f") <(mask "$work/$f"); then
        cp "$dir/expected/$f" "$fresh/$f"
      else
        cp "$work/$f" "$fresh/$f"
      fi
    done
    rm -rf "$dir/expected"
    [ ${#outputs[@]} -gt 0 ] && cp -R "$fresh" "$dir/expected"
    echo "updated $name"
    rm -rf "$work"
    return 0
  fi

  local want
  want=$(cat "$dir/status" 2>/dev/null || echo 0)
  if [ "$status" != "$want" ]; then echo "$name: status $status, expected $want"; rc=1; fi
  if ! cmp -s "$dir/expected.stderr" "$work/.stderr"; then
    echo "$name: standard error differs:"; diff -u "$dir/expected.stderr" "$work/.stderr" | head -40; rc=1
  fi
  if [ -f "$dir/expected.stdout" ]; then
    if ! cmp -s "$dir/expected.stdout" "$work/.stdout"; then
      echo "$name: standard output differs:"; diff -u "$dir/expected.stdout" "$work/.stdout" | head -40; rc=1
    fi
  elif [ -s "$work/.stdout" ]; then
    echo "$name: unexpected standard output:"; head -20 "$work/.stdout"; rc=1
  fi
  if [ -d "$dir/expected" ]; then
    while IFS= read -r f; do
      f=${f#./}
      if [ ! -f "$work/$f" ]; then echo "$name: $f was not written"; rc=1; continue; fi
      if ! cmp -s <(mask "$dir/expected/$f") <(mask "$work/$f"); then
        echo "$name: $f differs:"; diff -u <(mask "$dir/expected/$f") <(mask "$work/$f") | head -60; rc=1
      fi
    done < <(cd "$dir/expected" && find . -type f | sort)
  fi
  for f in "${outputs[@]}"; do
    [ -f "$dir/expected/$f" ] || { echo "$name: unexpected output file $f"; rc=1; }
  done
  [ $rc -eq 0 ] && rm -rf "$work" || echo "$name: run folder kept in $work"
  return $rc
}

overall=0
for c in "${cases[@]}"; do run_case "$c" || overall=1; done
exit $overall
