#!/usr/bin/env bash
# Installs into a scratch prefix and checks what the desktop reads: the entry,
# the book MIME type (as a file manager sees it), the icons and the manual page.
set -euo pipefail
build=$1 book=$2
shift 2
sizes=("$@")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" > /dev/null
fail() { echo "FAIL: $*"; exit 1; }

entry=$prefix/share/applications/tralvex.desktop
out=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate: $out"
[ -z "$out" ] || fail "desktop-file-validate: $out"
# %f: one local path; %U would hand over file:// addresses.
grep -qx 'Exec=tralvex %f' "$entry" || fail "Exec line"
grep -qx 'MimeType=application/x-mordx;' "$entry" || fail "MimeType line"
[ -x "$prefix/bin/tralvex" ] || fail "no executable"

xmllint --noout "$prefix/share/mime/packages/tralvex.xml"
out=$(XDG_DATA_DIRS=$prefix/share:/usr/share update-mime-database "$prefix/share/mime" 2>&1) || fail "update-mime-database: $out"
[ -z "$out" ] || fail "update-mime-database: $out"
cp "$book" "$work/History Of Art.mordx"
# xdg-mime asks GIO (shared-mime-info) on GNOME; its generic fallback is file(1),
# which knows only zip. An empty XDG_DATA_HOME keeps the user's own types out.
query() {
  XDG_CURRENT_DESKTOP=GNOME XDG_DATA_HOME=$work/home XDG_DATA_DIRS=$1 \
    xdg-mime query filetype "$work/History Of Art.mordx"
}
[ "$(query /usr/share)" != application/x-mordx ] || fail "known without the installed type"
type=$(query "$prefix/share:/usr/share")
[ "$type" = application/x-mordx ] || fail "xdg-mime reports '$type'"

for size in "${sizes[@]}"; do
  for icon in apps/tralvex.png mimetypes/application-x-mordx.png; do
    file=$prefix/share/icons/hicolor/${size}x${size}/$icon
    [ -f "$file" ] || fail "missing $file"
    got=$(identify -format '%m %w %h' "$file")
    [ "$got" = "PNG $size $size" ] || fail "$file is '$got'"
  done
done

page=$prefix/share/man/man1/tralvex.1.gz
out=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 > "$work/page.txt") || fail "man: $out"
[ -z "$out" ] || fail "man warnings: $out"
for section in NAME SYNOPSIS DESCRIPTION "BATCH LOG" FILES "EXIT STATUS" ENVIRONMENT; do
  grep -q "^$section" "$work/page.txt" || fail "no $section section"
done
grep -q SOURCE_DATE_EPOCH "$work/page.txt" && grep -q TMPDIR "$work/page.txt" || fail "environment"
echo "installed files, entry, MIME type, icons and manual page are right"
