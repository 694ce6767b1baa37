#!/usr/bin/env bash
# Converts a book full of malformed numbers several times, each run its own
# process: every presentation must be byte-identical.
set -euo pipefail
tralvex=$1 runs=${2:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/src"
python3 - "$work/src/malformed.mordx" <<'PY'
import sys, zipfile
book = ('<book><page pageType="cover"><background><fillColor color=""/></background><content>'
        '<textObject x="" y="0.1" width="0.5" height="0.2"><htmlText>&lt;p&gt;a&lt;/p&gt;</htmlText></textObject>'
        '<textObject x="0.1" y="abc" width="0.5" height="0.2"><htmlText>&lt;p&gt;b&lt;/p&gt;</htmlText></textObject>'
        '</content></page>'
        '<page pageType="cover"><background><fillColor color="-1"/></background></page>'
        '<page pageType="cover"><background><fillColor color=" "/><texture id="bcover1"/></background></page></book>')
with zipfile.ZipFile(sys.argv[1], 'w') as z:
    z.writestr('book', book)
PY
for i in $(seq 1 "$runs"); do
  SOURCE_DATE_EPOCH=1600000000 "$tralvex" --silent "$work/src" "$work/out$i" > /dev/null
  test -s "$work/out$i/malformed.pptx"
  if [ "$i" -gt 1 ]; then cmp "$work/out1/malformed.pptx" "$work/out$i/malformed.pptx"; fi
done
echo "ok: $runs identical presentations"
