#!/usr/bin/env bash
# Batch mode takes its options before, between or after the two folders.
set -euo pipefail
tralvex=$1 book=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
fail() { echo "FAIL: $*"; exit 1; }

mkdir lib
cp "$book" lib/book.mordx
export TMPDIR=$work
run=0
for order in "--jobs 2 lib OUT" "--jobs=1 --resume lib OUT" "lib --jobs 2 OUT --resume" "lib OUT --jobs=2"; do
  run=$((run + 1))
  # shellcheck disable=SC2086 # the options are split on purpose
  env -u DISPLAY -u WAYLAND_DISPLAY -u DBUS_SESSION_BUS_ADDRESS \
    "$tralvex" --silent ${order/OUT/out$run} > out.txt 2>&1 < /dev/null
  [ -s "out$run/book.pptx" ] || fail "--silent $order converted nothing: $(cat out.txt)"
  ls "out$run"/log*.txt > /dev/null 2>&1 || fail "--silent $order wrote no log"
done
echo "the options of --silent are taken in any place"
