#!/usr/bin/env bash
# scripts/install-deps.sh against a pretend machine: dpkg-query, apt-get and
# sudo are stand-ins that read the installed packages from $FAKE_INSTALLED and
# log what apt is asked to do; apt's simulation reports removing
# libreoffice-impress when the -nogui build is asked for beside it, as the
# real apt does.
set -euo pipefail
script=$(cd "$(dirname "$0")/../.." && pwd)/scripts/install-deps.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
bin=$work/bin
mkdir -p "$bin"
for tool in grep awk id cat; do ln -s "$(command -v $tool)" "$bin/$tool"; done
cat > "$bin/dpkg-query" <<'SH'
#!/bin/bash
for p in $FAKE_INSTALLED; do [ "$p" = "${@: -1}" ] && { printf 'install ok installed'; exit 0; }; done
exit 1
SH
cat > "$bin/apt-get" <<'SH'
#!/bin/bash
echo "apt-get $*" >> "$FAKE_LOG"
[ "$1" = -s ] || exit 0
for p in "$@"; do
  case "$p" in -*|install) continue ;; esac
  echo "Inst $p (1.0 Debian:12)"
  if [ "$p" = libreoffice-impress-nogui ] && [[ " $FAKE_INSTALLED " == *" libreoffice-impress "* ]]; then
    echo "Remv libreoffice-impress [4:7.4.7]"
  fi
done
SH
printf '#!/bin/bash\n"$@"\n' > "$bin/sudo"
chmod +x "$bin"/*

# The script's own list of what `make run` needs.
run_packages=$(sed -n '/^run_packages=(/,/^)/p' "$script" | grep -v '[()]' | tr -s ' \n' ' ')
failures=0
# name, installed packages, soffice on PATH (yes/no), target, expected exit,
# expected text in the apt log ("" none), text the log must not have
check() {
  local name=$1 installed=$2 soffice=$3 target=$4 status=$5 want=$6 unwanted=$7
  rm -f "$bin/soffice" "$work/log"; touch "$work/log"
  [ "$soffice" = yes ] && { printf '#!/bin/sh\n' > "$bin/soffice"; chmod +x "$bin/soffice"; }
  local rc=0
  FAKE_INSTALLED=$installed FAKE_LOG=$work/log PATH=$bin /bin/bash "$script" "$target" > "$work/out" 2>&1 || rc=$?
  local log; log=$(cat "$work/log")
  if [ "$rc" != "$status" ] || { [ -n "$want" ] && [[ "$log" != *"$want"* ]]; } ||
     { [ -n "$unwanted" ] && [[ "$log" == *"$unwanted"* ]]; }; then
    echo "FAIL $name: exit $rc"; cat "$work/out"; echo "$log"; failures=$((failures + 1))
  else
    echo "ok   $name"
  fi
}
check nothing_missing_asks_nothing "$run_packages" no run 0 "" "apt-get"
check run_needs_no_test_tools "" no run 0 "apt-get install -y -qq --no-install-recommends build-essential" "libgtest-dev"
check run_never_asks_for_an_office_suite "" no run 0 "" "libreoffice"
check test_installs_test_tools "$run_packages" no test 0 "libgtest-dev libgmock-dev" ""
check existing_soffice_serves "$run_packages libreoffice-impress" yes test 0 "poppler-utils" "libreoffice-impress-nogui"
check conflict_stops_before_installing "$run_packages libreoffice-impress" no test 1 "apt-get -s install" "apt-get install -y"
check conflict_is_explained "$run_packages libreoffice-impress" no test 1 "" ""
grep -q "would remove libreoffice-impress" "$work/out" || { echo "FAIL conflict message: $(cat "$work/out")"; failures=$((failures + 1)); }
exit $((failures > 0))
