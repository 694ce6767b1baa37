#!/usr/bin/env bash
# Installs the Debian packages that `make run` needs (argument "run": build
# the program and the example book) or that `make test` needs as well
# ("test", the default: test frameworks and the tools the tests call).
# Idempotent, and it never removes a package: apt's simulation runs first and
# the script stops, changing nothing, when apt would remove anything.
set -euo pipefail

target=${1:-test}
case "$target" in
  run|test) ;;
  *) echo "usage: $0 [run|test]" >&2; exit 2 ;;
esac

# The program, and the example book that `make run` converts; dpkg-dev gives
# the hardening flags and, for `make package`, the library dependencies.
run_packages=(
  build-essential cmake pkg-config dpkg-dev
  zlib1g-dev libminizip-dev libxxhash-dev
  libxerces-c-dev xsdcxx
  libfreeimage-dev libtiff-dev libwebp-dev libboost-dev librapidxml-dev libutfcpp-dev
  libgtk-3-dev adwaita-icon-theme
  python3 imagemagick
)
# Only the tests and benchmarks.
test_packages=(
  libgtest-dev libgmock-dev libbenchmark-dev
  libxml2-utils poppler-utils
  fonts-dejavu-core xvfb xauth dbus-daemon at-spi2-core python3-pyatspi
  x11-xserver-utils
  desktop-file-utils shared-mime-info xdg-utils libglib2.0-bin man-db
  lintian parallel appstream clang-format
)
# The tests render presentations with LibreOffice; any soffice on the machine
# serves (a desktop's libreoffice-impress conflicts with the -nogui build).
office_packages=(libreoffice-impress-nogui)

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

wanted=("${run_packages[@]}")
if [ "$target" = test ]; then
  wanted+=("${test_packages[@]}")
  command -v soffice > /dev/null 2>&1 || wanted+=("${office_packages[@]}")
fi
missing=()
for p in "${wanted[@]}"; do
  installed "$p" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
if ! plan=$(LC_ALL=C apt-get -s install --no-install-recommends "${missing[@]}" 2>&1); then
  printf '%s\n' "$plan" >&2
  echo "install-deps: apt cannot install ${missing[*]} as things stand; nothing was changed." >&2
  exit 1
fi
removed=$(printf '%s\n' "$plan" | awk '/^Remv / {printf "%s%s", sep, $2; sep=" "}')
if [ -n "$removed" ]; then
  echo "install-deps: installing ${missing[*]} would remove ${removed}." >&2
  echo "install-deps: nothing was changed; install what is missing in a way that keeps your packages." >&2
  exit 1
fi
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
