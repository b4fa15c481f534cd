#!/usr/bin/env bash
# The batch tool and its plot plug-in seen from outside.
#   no-qt BATCH SRC: neither the executable nor a library it loads is Qt's.
#   absent BATCH SRC: a copy of the executable with no plug-in it can use
#     refuses --plots with the reason and status 2, and writes nothing; it
#     still runs without --plots.
#   found BATCH SRC CMAKE BUILD CONFIG: the build tree's executable finds the
#     plug-in beside it, an installed one in its install folder, and both
#     draw the same charts.
set -euo pipefail
mode=$1 batch=$2 src=$3
unset TOLVANE_PLOTS_PLUGIN
work=$(cd "$(mktemp -d)" && pwd -P)  # as /proc/self/exe gives it
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

case $mode in
  no-qt)
    needed=$(readelf -d "$batch" | grep NEEDED || true)
    echo "$needed"
    # The C library is always needed: an empty list means readelf read nothing.
    grep -q 'libc\.so' <<<"$needed" || fail "no libc.so among the needed libraries"
    if grep -qi 'libQt' <<<"$needed"; then fail "the batch tool needs Qt"; fi
    if ldd "$batch" | grep -i 'libQt'; then fail "a library of the batch tool needs Qt"; fi
    ;;

  absent)
    mkdir -p "$work/bin"
    cp "$batch" "$work/bin/tolvane-batch"
    cd "$work"
    # Expects status 2 and every later argument on standard error.
    refused() {
      local status=0
      "$work/bin/tolvane-batch" "$src/examples/hald.ayq" --out run --plots charts \
        2>err.txt >/dev/null || status=$?
      cat err.txt
      [ "$status" -eq 2 ] || fail "status $status, not 2"
      local text
      for text in "$@"; do
        grep -qF -- "$text" err.txt || fail "no '$text' on standard error"
      done
      [ ! -e run.syq ] && [ ! -e charts ] || fail "files were written"
    }
    refused "plotting is unavailable: cannot find the plot plug-in" \
      "$work/bin/libtolvane-plots.so"
    echo "not a shared library" >"$work/bin/libtolvane-plots.so"
    refused "plotting is unavailable: cannot load $work/bin/libtolvane-plots.so:"
    rm "$work/bin/libtolvane-plots.so"
    # A library that loads but is no plug-in: the C library itself.
    libc=$(ldd "$batch" | awk '/libc\.so/ { print $3 }')
    [ -n "$libc" ] || fail "no libc.so path from ldd"
    TOLVANE_PLOTS_PLUGIN=$libc refused "$libc is no plot plug-in"
    TOLVANE_PLOTS_PLUGIN=$work/none.so refused "(looked for $work/none.so)"
    "$work/bin/tolvane-batch" "$src/examples/hald.ayq" --out run >/dev/null 2>&1 ||
      fail "the copy does not run without --plots"
    [ -e run.syq ] || fail "no summary without --plots"
    ;;

  found)
    cmake=$4 build=$5 config=$6
    "$cmake" --install "$build" --prefix "$work/prefix" --config "$config" >/dev/null
    installed=$(find "$work/prefix" -name libtolvane-plots.so)
    [ -n "$installed" ] || fail "no plug-in installed"
    [ "$(dirname "$installed")" != "$work/prefix/bin" ] || fail "plug-in installed in bin"
    for run in "tree:$batch" "installed:$work/prefix/bin/tolvane-batch"; do
      name=${run%%:*} tool=${run#*:}
      mkdir -p "$work/$name"
      (cd "$work/$name" && "$tool" "$src/examples/hald.ayq" --out run --plots charts \
        --path garrote:4 --plot-format svg >/dev/null 2>err.txt) || {
        cat "$work/$name/err.txt"
        fail "$name: --plots failed"
      }
      [ "$(ls "$work/$name/charts" | wc -l)" -eq 6 ] || fail "$name: not six charts"
    done
    diff -r "$work/tree/charts" "$work/installed/charts" || fail "the two trees drew different charts"
    ;;

  *)
    fail "unknown mode $mode"
    ;;
esac
echo "ok: $mode"
