#!/usr/bin/env bash
# Installs into a scratch folder as `make install DESTDIR=...` does and checks
# what the desktop reads: the entry, the book MIME type (as a file manager
# sees it), the icons, the software-centre metadata and the manual page; then
# `make uninstall` must leave no file behind.
set -euo pipefail
build=$1 book=$2 version=$3
shift 3
sizes=("$@")
source=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root
prefix=$root/usr
fail() { echo "FAIL: $*"; exit 1; }
make_() { env -u MAKEFLAGS -u MFLAGS -u MAKELEVEL make -s -C "$source" "$@" BUILD="$build" DESTDIR="$root" PREFIX=/usr INSTALLED="$work/installed.txt"; }
make_ install-built > /dev/null

entry=$prefix/share/applications/tralvex.desktop
out=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate: $out"
[ -z "$out" ] || fail "desktop-file-validate: $out"
# %f: one local path; %U would hand over file:// addresses.
grep -qx 'Exec=tralvex --choose-book %f' "$entry" || fail "Exec line"
grep -qx 'MimeType=application/x-mordx;' "$entry" || fail "MimeType line"
# The launcher shows the start and hands its id on; the program passes it to
# the file manager.
grep -qx 'StartupNotify=true' "$entry" || fail "StartupNotify line"
[ -x "$prefix/bin/tralvex" ] || fail "no executable"

xmllint --noout "$prefix/share/mime/packages/tralvex.xml"
# The MIME database is built beside the installed files, which uninstall
# must find as they were installed.
mkdir "$work/data"
cp -r "$prefix/share/mime" "$work/data/mime"
out=$(XDG_DATA_DIRS=$work/data:/usr/share update-mime-database "$work/data/mime" 2>&1) || fail "update-mime-database: $out"
[ -z "$out" ] || fail "update-mime-database: $out"
cp "$book" "$work/History Of Art.mordx"
# xdg-mime asks GIO (shared-mime-info) on GNOME; its generic fallback is file(1),
# which knows only zip. An empty XDG_DATA_HOME keeps the user's own types out.
query() {
  XDG_CURRENT_DESKTOP=GNOME XDG_DATA_HOME=$work/home XDG_DATA_DIRS=$1 \
    xdg-mime query filetype "$work/History Of Art.mordx"
}
[ "$(query /usr/share)" != application/x-mordx ] || fail "known without the installed type"
type=$(query "$work/data:/usr/share")
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
# Software centres: the metadata validates and names what is installed.
metainfo=$prefix/share/metainfo/example.veltrana.tralvex.metainfo.xml
out=$(appstreamcli validate --no-net "$metainfo" 2>&1) || fail "appstreamcli: $out"
# The tree: the desktop entry it names is installed beside it.
out=$(appstreamcli validate-tree --no-net "$root" 2>&1) || fail "appstreamcli: $out"
xpath() { xmllint --xpath "string($1)" "$metainfo"; }
[ "$(xpath '/component/launchable[@type="desktop-id"]')" = tralvex.desktop ] || fail "launchable"
[ "$(xpath '/component/provides/mediatype')" = application/x-mordx ] || fail "mediatype"
[ "$(xpath '/component/provides/binary')" = tralvex ] || fail "binary"
[ "$(xpath '/component/releases/release[1]/@version')" = "$version" ] || fail "release version"
[[ "$(xpath '/component/releases/release[1]/@date')" =~ ^[0-9]{4}-[0-9]{2}-[0-9]{2}$ ]] || fail "release date"

make_ uninstall > /dev/null
left=$(find "$root" ! -type d)
[ -z "$left" ] || fail "left after uninstall: $left"
[ ! -e "$prefix/share/doc/tralvex" ] || fail "documentation folder left"
echo "installed files, entry, MIME type, icons, metadata and manual page are right; uninstall removes them"
