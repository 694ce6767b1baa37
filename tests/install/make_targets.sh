#!/usr/bin/env bash
# What `make install`, `make package` and `make uninstall` would run, on a
# build folder that `make test` configured (tests on): only the program's
# dependencies and a configuration without tests or benchmarks.
set -euo pipefail
source=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
mkdir "$work/build"
printf 'TRALVEX_BUILD_TESTS:BOOL=ON\nTRALVEX_BUILD_BENCH:BOOL=ON\n' > "$work/build/CMakeCache.txt"
: > "$work/build/installed.txt"
for target in install package uninstall; do
  # The make that runs the tests hands its own variables down (the sanitizer
  # build's CMAKE_FLAGS among them): the targets are judged without them.
  env -u MAKEFLAGS -u MFLAGS -u MAKELEVEL -u CMAKE_FLAGS -u BUILD_TYPE -u CTEST_FLAGS -u PREFIX -u DESTDIR \
    make -n -C "$source" "$target" BUILD="$work/build" > "$work/$target" 2>&1 ||
    { cat "$work/$target"; fail "make -n $target"; }
  commands=$(cat "$work/$target")
  if grep -E 'install-deps\.sh( |$)' <<< "$commands" | grep -vqE 'install-deps\.sh run$'; then
    fail "$target installs more than the run dependencies: $commands"
  fi
  for word in '=ON' ctest libgtest poppler lintian xvfb libreoffice; do
    ! grep -q -- "$word" <<< "$commands" || fail "$target: '$word' in: $commands"
  done
done
for target in install package; do
  grep -q 'install-deps\.sh run$' "$work/$target" || fail "$target installs no dependencies"
  grep -q -- '-DTRALVEX_BUILD_TESTS=OFF -DTRALVEX_BUILD_BENCH=OFF' "$work/$target" || fail "$target keeps the tests"
done
grep -q 'rm -f' "$work/uninstall" || fail "uninstall removes nothing"
echo "install, package and uninstall build and install only the program"
