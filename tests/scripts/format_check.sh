#!/usr/bin/env bash
# Every C++ source of the project in the style of the root .clang-format:
# clang-format names each line it would change and the check fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
mapfile -d '' sources < <(find app book text imaging export ui diagnostics resources files tools bench tests \
  \( -name '*.cpp' -o -name '*.h' \) -not -path 'tests/support/ooxml-schemas/*' -print0 | sort -z)
[ "${#sources[@]}" -gt 0 ] || { echo "no sources found under $root" >&2; exit 1; }
clang-format --style=file --dry-run --Werror "${sources[@]}"
