#!/usr/bin/env bash
# --help and --version (-h, -V) print on standard output and exit 0; a book
# that is really named "--help" is converted instead.
set -euo pipefail
tralvex=$1 book=$2 version=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
fail() { echo "FAIL: $*"; exit 1; }

[ "$("$tralvex" --version)" = "tralvex $version" ] || fail "--version"
[ "$("$tralvex" -V)" = "tralvex $version" ] || fail "-V"
"$tralvex" --help > help.txt 2> help.err
grep -q '^  tralvex --silent SOURCE OUTPUT' help.txt || fail "--help: $(cat help.txt)"
[ ! -s help.err ] || fail "--help wrote to standard error"
"$tralvex" -h > short.txt 2>&1
cmp -s help.txt short.txt || fail "-h differs from --help: $(cat short.txt)"

cp "$book" ./--help
env -u DISPLAY -u WAYLAND_DISPLAY -u DBUS_SESSION_BUS_ADDRESS "$tralvex" --help > out.txt 2>&1
[ -s ./--help.pptx ] || fail "the book named --help was not converted: $(cat out.txt)"
! grep -q '^Usage:' out.txt || fail "usage printed for an existing file"
echo "--help, --version and a book named --help behave"
