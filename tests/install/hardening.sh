#!/usr/bin/env bash
# The hardening of each program given, as the loader and lintian see it:
# relocations bound at load time and read-only after, a position-independent
# executable, and fortified libc calls.
set -euo pipefail
fail() { echo "FAIL: $*"; exit 1; }
for program in "$@"; do
  # Whole outputs first: grep -q stopping early would fail the pipe.
  dynamic=$(readelf -d "$program") header=$(readelf -h "$program")
  segments=$(readelf -lW "$program") symbols=$(nm -D "$program")
  grep -Eq '\(FLAGS\) +BIND_NOW|\(FLAGS_1\) +Flags:.* NOW' <<< "$dynamic" || fail "$program: no BIND_NOW"
  grep -Eq 'Type: +DYN' <<< "$header" || fail "$program: not position-independent"
  grep -q GNU_RELRO <<< "$segments" || fail "$program: no GNU_RELRO segment"
  grep -Eq ' U __[a-z_0-9]+_chk(@|$)' <<< "$symbols" || fail "$program: no fortified function"
done
echo "hardened: $*"
