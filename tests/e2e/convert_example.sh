#!/usr/bin/env bash
# Converts the example book in batch mode, then checks the presentation with
# the package checker and, with --render, that LibreOffice renders one page
# per slide. A checker that is not there skips the test (exit 77).
set -euo pipefail
tralvex=$1 book=$2 checker=$3 expected_slides=$4 render=${5:-}
[ -f "$checker" ] || { echo "skipped: no checker at $checker"; exit 77; }
work=$(mktemp -d)
# Working folders of its own: other runs on this machine are not ours to clean.
export TMPDIR="$work"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/src"
cp "$book" "$work/src/"
"$tralvex" --silent "$work/src" "$work/out"
log=$(ls "$work"/out/log*.txt)
if grep -q "Error during processing" "$log"; then
  cat "$log"; exit 1
fi
pptx="$work/out/$(basename "${book%.*}").pptx"
test -s "$pptx"
python3 "$checker" "$pptx"
slides=$(python3 -c 'import sys,zipfile; print(sum(1 for n in zipfile.ZipFile(sys.argv[1]).namelist() if n.startswith("ppt/slides/slide") and n.endswith(".xml")))' "$pptx")
[ "$slides" = "$expected_slides" ] || { echo "expected $expected_slides slides, found $slides"; exit 1; }
# The same book gives the same bytes.
SOURCE_DATE_EPOCH=1600000000 "$tralvex" --silent "$work/src" "$work/again1"
SOURCE_DATE_EPOCH=1600000000 "$tralvex" --silent "$work/src" "$work/again2"
cmp "$work/again1/$(basename "$pptx")" "$work/again2/$(basename "$pptx")"
if [ "$render" = "--render" ]; then
  HOME="$work" timeout 300 soffice --headless "-env:UserInstallation=file://$work/lo" \
    --convert-to pdf --outdir "$work/pdf" "$pptx" > /dev/null 2>&1
  pages=$(pdfinfo "$work/pdf/$(basename "${pptx%.*}").pdf" | awk '/^Pages:/ {print $2}')
  [ "$pages" = "$expected_slides" ] || { echo "expected $expected_slides pages, rendered $pages"; exit 1; }
  if [ -n "${TRALVEX_KEEP_RENDER:-}" ]; then
    pdftoppm -r 40 -png "$work/pdf/$(basename "${pptx%.*}").pdf" "$TRALVEX_KEEP_RENDER/page"
  fi
fi
echo "ok: $slides slides"
