#!/usr/bin/env bash
# The README's recipe for a library spread over several machines, run for
# real with GNU parallel over two local job slots: one --silent job per
# sub-folder, then the README's lines that merge the logs. A second pass with
# --resume, as a retried cluster task would run, adds nothing.
set -euo pipefail
tralvex=$1 book=$2
command -v parallel > /dev/null || { echo "GNU parallel is not installed"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
fail() { echo "FAIL: $*"; exit 1; }
export TMPDIR="$work/tmp" SOURCE_DATE_EPOCH=1600000000
mkdir -p tmp library/history library/maths/algebra slides
cp "$book" library/history/Rome.mordx
cp "$book" library/history/Athens.mordx
cp "$book" library/maths/algebra/Lesson.mordx
cp "$book" library/maths/Lesson.mordx
echo "not a book" > library/maths/notes.txt

convert() {
  find "$work/library" -mindepth 1 -maxdepth 1 -type d |
      parallel --sshlogin 2/: --jobs 1 "$tralvex" --silent {} "$work/slides/{/}" --jobs 2 "$@"
}
convert

cat slides/*/log*.txt | grep -A1 --no-group-separator '^Error during processing file' > failures.txt
total=$(grep -h '^Start processing' slides/*/log*.txt | awk '{ n += $3 } END { print n, "books" }')
unfinished=$(grep -L 'Processing finished' slides/*/log*.txt || true)

[ "$total" = "5 books" ] || fail "the logs count \"$total\""
[ -z "$unfinished" ] || fail "jobs that did not finish: $unfinished"
[ "$(wc -l < failures.txt)" -eq 2 ] && grep -q '/maths/notes.txt' failures.txt || fail "failures: $(cat failures.txt)"
presentations() { (cd slides && find . -name '*.pptx' | sort | tr '\n' ' '); }
expected="./history/Athens.pptx ./history/Rome.pptx ./maths/Lesson (2).pptx ./maths/Lesson.pptx "
[ "$(presentations)" = "$expected" ] || fail "presentations: $(presentations)"
[ "$(cat slides/*/converted*.tsv | wc -l)" -eq 4 ] || fail "records: $(cat slides/*/converted*.tsv)"

convert --resume
[ "$(presentations)" = "$expected" ] || fail "after --resume: $(presentations)"
echo "GNU parallel converted the library into one presentation per book"
