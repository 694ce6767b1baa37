#!/usr/bin/env python3
"""The package checker passes a presentation the program wrote and rejects
each kind of broken package for the right reason.

Usage: check_pptx_test.py TRALVEX BOOK.mordx
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import check_pptx  # noqa: E402

SLIDE = "ppt/slides/slide2.xml"


def replace(part, old, new, count=1):
    def mutate(parts):
        text = parts[part].decode()
        assert old in text, "%s lacks %r" % (part, old)
        parts[part] = text.replace(old, new, count).encode()
    return mutate


def second_like_first(part, pattern):
    """The second match of pattern's group gets the value of the first."""
    def mutate(parts):
        text = parts[part].decode()
        found = list(re.finditer(pattern, text))
        assert len(found) >= 2, "%s has fewer than two %r" % (part, pattern)
        second = found[1]
        parts[part] = (text[:second.start(1)] + found[0].group(1) + text[second.end(1):]).encode()
    return mutate


def first_set(part, pattern, value):
    def mutate(parts):
        text = parts[part].decode()
        match = re.search(pattern, text)
        assert match, "%s lacks %r" % (part, pattern)
        parts[part] = (text[:match.start(1)] + value + text[match.end(1):]).encode()
    return mutate


def background_without_effects(parts):
    slide = next(n for n in sorted(parts) if n.startswith("ppt/slides/slide") and b"<p:bgPr>" in parts[n])
    parts[slide] = re.sub(rb"(<p:bgPr>.*?)<a:effectLst/>", rb"\1", parts[slide], count=1)


def remove(part):
    def mutate(parts):
        del parts[part]
    return mutate


def add(part, data):
    def mutate(parts):
        parts[part] = data
    return mutate


def first_media(kind):
    def mutate(parts):
        name = next(n for n in parts if n.startswith("ppt/media/") and n.endswith(kind))
        parts[name] = b"GIF89a" + parts[name][6:]
    return mutate


# name, mutation, a fragment of the problem the checker must report
MUTATIONS = [
    ("unknown_element", replace(SLIDE, "<p:spTree>", "<p:spTree><p:bogus/>"), "schema:"),
    ("bad_attribute_value", replace(SLIDE, ' id="', ' id="x'), "schema:"),
    ("not_well_formed", replace(SLIDE, "</p:sld>", "</p:sl>"), "not well-formed"),
    ("forbidden_character", replace(SLIDE, "<a:t>", "<a:t>\x0b"), "not well-formed"),
    ("part_without_content_type", add("ppt/notes.bin", b"x"), "has no content type"),
    ("phantom_override", replace("[Content_Types].xml", "<Override ",
                                 '<Override PartName="/ppt/slides/slide99.xml" ContentType="application/'
                                 'vnd.openxmlformats-officedocument.presentationml.slide+xml"/><Override '),
     "override for missing part"),
    ("phantom_default", replace("[Content_Types].xml", "<Default ",
                                '<Default Extension="tiff" ContentType="image/tiff"/><Default '),
     "default for extension tiff"),
    ("no_content_types", remove("[Content_Types].xml"), "no [Content_Types].xml"),
    ("relationship_to_missing_part", remove("ppt/slides/slide4.xml"), "points to missing part"),
    ("relationships_of_missing_part", add("ppt/slides/_rels/slide9.xml.rels",
                                          b'<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/'
                                          b'relationships"/>'), "belongs to missing part"),
    ("duplicate_relationship_id", second_like_first("ppt/_rels/presentation.xml.rels", r' Id="([^"]+)"'),
     "duplicate relationship id"),
    ("unresolved_reference", replace(SLIDE, 'r:embed="', 'r:embed="rId77'), "refers to relationship rId77"),
    ("duplicate_shape_id", second_like_first(SLIDE, r'<p:cNvPr id="(\d+)"'), "duplicate shape id"),
    ("duplicate_slide_id", second_like_first("ppt/presentation.xml", r'<p:sldId id="(\d+)"'), "duplicate slide id"),
    ("slide_id_below_256", first_set("ppt/presentation.xml", r'<p:sldId id="(\d+)"', "255"), "below 256"),
    ("layout_id_below_masters", first_set("ppt/slideMasters/slideMaster1.xml", r'<p:sldLayoutId id="(\d+)"',
                                          "2147483647"), "below 2147483648"),
    ("media_bytes_mismatch", first_media(".png"), "its bytes are not"),
    ("background_without_effects", background_without_effects, "has no a:effectLst"),
    ("markup_compatibility", replace(SLIDE, "<p:spTree>",
                                     '<p:spTree xmlns:mc="http://schemas.openxmlformats.org/markup-compatibility/'
                                     '2006" mc:Ignorable="x">'), "markup-compatibility"),
    ("no_main_part", replace("_rels/.rels", "relationships/officeDocument", "relationships/other"),
     "one main part relationship"),
]


def write(path, parts):
    with zipfile.ZipFile(path, "w") as archive:
        for name, data in parts.items():
            archive.writestr(name, data)


def main(tralvex, book):
    failures = 0
    with tempfile.TemporaryDirectory() as work:
        os.mkdir(os.path.join(work, "src"))
        shutil.copy(book, os.path.join(work, "src"))
        subprocess.run([tralvex, "--silent", os.path.join(work, "src"), os.path.join(work, "out")],
                       check=True, stdout=subprocess.DEVNULL)
        good = os.path.join(work, "out", os.path.splitext(os.path.basename(book))[0] + ".pptx")
        problems = check_pptx.Package(good).check()
        if problems:
            print("FAIL written package rejected:\n  " + "\n  ".join(problems))
            return 1
        with zipfile.ZipFile(good) as archive:
            original = {name: archive.read(name) for name in archive.namelist()}
        broken = os.path.join(work, "broken.pptx")
        for name, mutate, expected in MUTATIONS:
            parts = dict(original)
            mutate(parts)
            write(broken, parts)
            problems = check_pptx.Package(broken).check()
            if not any(expected in p for p in problems):
                failures += 1
                print("FAIL %s: expected %r among %s" % (name, expected, problems))
            else:
                print("ok   %s" % name)
        with open(broken, "wb") as out:
            out.write(b"PK\x03\x04 not a zip")
        if not any("not a readable zip" in p for p in check_pptx.Package(broken).check()):
            failures += 1
            print("FAIL not_a_zip accepted")
    print("%d of %d mutations caught" % (len(MUTATIONS) + 1 - failures, len(MUTATIONS) + 1))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:3]))
