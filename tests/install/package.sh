#!/usr/bin/env bash
# Builds the Debian package and checks its file list, its dependencies, the
# hardening of its programs (when the build is hardened: ON) and lintian's
# verdict.
set -euo pipefail
build=$1 hardened=$2
shift 2
sizes=("$@")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$work" > "$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail cpack; }
deb=$(ls "$work"/tralvex_*.deb)

expected=(./usr/bin/tralvex ./usr/bin/tralvex-thumbnailer ./usr/share/applications/tralvex.desktop
  ./usr/share/doc/tralvex/changelog.gz ./usr/share/doc/tralvex/copyright
  ./usr/share/man/man1/tralvex.1.gz ./usr/share/mime/packages/tralvex.xml
  ./usr/share/metainfo/example.veltrana.tralvex.metainfo.xml ./usr/share/thumbnailers/tralvex.thumbnailer)
for size in "${sizes[@]}"; do
  expected+=("./usr/share/icons/hicolor/${size}x${size}/apps/tralvex.png"
    "./usr/share/icons/hicolor/${size}x${size}/mimetypes/application-x-mordx.png")
done
dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | sort > "$work/files"
printf '%s\n' "${expected[@]}" | sort > "$work/expected"
diff -u "$work/expected" "$work/files" || fail "file list"
dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v -e '^\./usr/' -e '^\./$' && fail "files outside /usr"

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
libraries=(libfreeimage libxerces-c libminizip)
# The desktop face links GTK; when it does, the package must pull it in.
if readelf -d "$build/tralvex" | grep -q 'NEEDED.*libgtk-3'; then
  libraries+=(libgtk-3)
fi
for library in "${libraries[@]}"; do
  grep -q "$library" <<< "$depends" || fail "no dependency on $library"
done

# The spelling check reads every string of the programs' built-in textures
# (a third of lintian's time) and reports nothing above information.
lintian --fail-on error --display-info -X binaries/spelling "$deb" 2> /dev/null | tee "$work/lintian" || fail "lintian reports errors"
if [ "$hardened" = ON ]; then
  mkdir "$work/root"
  dpkg-deb -x "$deb" "$work/root"
  "$(dirname "$0")/hardening.sh" "$work"/root/usr/bin/* || fail "programs not hardened"
  ! grep -E 'hardening-no-(bindnow|fortify-functions|relro|pie)' "$work/lintian" || fail "lintian: not hardened"
fi
echo "package file list, dependencies and lintian are right"
