#!/usr/bin/env python3
"""Checks written presentations: check_pptx.py FILE.pptx [FILE.pptx ...]

Every XML part is validated against the ISO/IEC 29500 transitional schemas
kept beside this script (xmllint, Debian package libxml2-utils), and the
package rules that the schemas cannot express are checked: content types
complete and without phantoms, relationships that resolve with unique ids,
unique slide, master/layout and shape ids, media bytes matching their content
type, a background's p:bgPr carrying a:effectLst, no markup-compatibility
content. Prints one line per problem; exits 0 when every package passes.
"""
import os
import posixpath
import subprocess
import sys
import tempfile
import zipfile
import xml.etree.ElementTree as ET

SCHEMAS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "ooxml-schemas")
OOXML = "http://schemas.openxmlformats.org/"
NS_P = OOXML + "presentationml/2006/main"
NS_A = OOXML + "drawingml/2006/main"
NS_R = OOXML + "officeDocument/2006/relationships"
NS_MC = OOXML + "markup-compatibility/2006"
REL_MAIN = NS_R + "/officeDocument"
SCHEMA_BY_NAMESPACE = {
    NS_P: "transitional/pml.xsd",
    NS_A: "transitional/dml-main.xsd",
    OOXML + "officeDocument/2006/extended-properties": "transitional/shared-documentPropertiesExtended.xsd",
    OOXML + "package/2006/relationships": "opc/opc-relationships.xsd",
    OOXML + "package/2006/content-types": "opc/opc-contentTypes.xsd",
    OOXML + "package/2006/metadata/core-properties": "opc/opc-coreProperties.xsd",
}
MAGIC = {
    "image/png": (b"\x89PNG\r\n\x1a\n",),
    "image/jpeg": (b"\xff\xd8\xff",),
    "image/gif": (b"GIF87a", b"GIF89a"),
    "image/bmp": (b"BM",),
    "image/tiff": (b"II*\x00", b"MM\x00*"),
}
FIRST_MASTER_ID = 2147483648


def namespace(tag):
    return tag[1:].split("}")[0] if tag.startswith("{") else ""


def extension(part):
    name = posixpath.basename(part)
    return name.rsplit(".", 1)[1].lower() if "." in name else ""


def rels_part_of(part):
    folder, name = posixpath.split(part)
    return posixpath.join(folder, "_rels", name + ".rels")


def source_of(rels_part):
    """The part a relationship part belongs to; "" for the package."""
    folder, name = posixpath.split(rels_part)
    return posixpath.join(posixpath.dirname(folder), name[:-len(".rels")]).lstrip("/")


class Package:
    def __init__(self, path):
        self.path = path
        self.problems = []
        self.parts = {}
        self.xml = {}
        self.rels = {}

    def fail(self, text):
        self.problems.append("%s: %s" % (self.path, text))

    def check(self):
        try:
            with zipfile.ZipFile(self.path) as archive:
                names = archive.namelist()
                lowered = [n.lower() for n in names]
                for n in sorted({n for n in lowered if lowered.count(n) > 1}):
                    self.fail("duplicate part name %s" % n)
                for name in names:
                    if name.startswith("/") or "\\" in name or ".." in name.split("/"):
                        self.fail("unsafe part name %s" % name)
                    elif not name.endswith("/"):
                        self.parts[name] = archive.read(name)
        except (OSError, zipfile.BadZipFile, zipfile.LargeZipFile, RuntimeError) as error:
            self.fail("not a readable zip package (%s)" % error)
            return self.problems
        types = self.content_types()
        if types is None:
            return self.problems
        self.parse_and_validate(types)
        self.check_relationships()
        self.check_presentation()
        return self.problems

    def parse(self, part):
        try:
            root = ET.fromstring(self.parts[part])
        except ET.ParseError as error:
            self.fail("/%s is not well-formed XML (%s)" % (part, error))
            return None
        self.xml[part] = root
        return root

    def content_types(self):
        if "[Content_Types].xml" not in self.parts:
            self.fail("no [Content_Types].xml")
            return None
        root = self.parse("[Content_Types].xml")
        if root is None:
            return None
        defaults, overrides = {}, {}
        for entry in root:
            kind = entry.tag.split("}")[-1]
            if kind == "Default":
                defaults[entry.get("Extension", "").lower()] = entry.get("ContentType")
            elif kind == "Override":
                overrides[entry.get("PartName", "").lstrip("/")] = entry.get("ContentType")
        extensions = {extension(p) for p in self.parts if p not in overrides}
        for part in sorted(set(overrides) - set(self.parts)):
            self.fail("content type override for missing part /%s" % part)
        for unused in sorted(set(defaults) - extensions):
            self.fail("content type default for extension %s that no part has" % unused)
        types = {}
        for part in self.parts:
            if part == "[Content_Types].xml":
                continue
            kind = overrides.get(part, defaults.get(extension(part)))
            if kind is None:
                self.fail("/%s has no content type" % part)
            else:
                types[part] = kind
        return types

    def parse_and_validate(self, types):
        by_schema = {}
        for part, kind in sorted(types.items()):
            data = self.parts[part]
            if kind.endswith("xml"):
                root = self.parse(part)
                if root is None:
                    continue
                schema = SCHEMA_BY_NAMESPACE.get(namespace(root.tag))
                if schema is None:
                    self.fail("/%s has a root element of unknown namespace %s" % (part, namespace(root.tag)))
                else:
                    by_schema.setdefault(schema, []).append(part)
            elif kind in MAGIC and not data.startswith(MAGIC[kind]):
                self.fail("/%s is declared %s but its bytes are not" % (part, kind))
        by_schema.setdefault("opc/opc-contentTypes.xsd", []).append("[Content_Types].xml")
        for part, root in self.xml.items():
            if any(namespace(e.tag) == NS_MC or any(namespace(a) == NS_MC for a in e.attrib) for e in root.iter()):
                self.fail("/%s has markup-compatibility content" % part)
        with tempfile.TemporaryDirectory() as folder:
            for schema, parts in by_schema.items():
                files = {}
                for part in parts:
                    file = os.path.join(folder, "%d.xml" % len(os.listdir(folder)))
                    with open(file, "wb") as out:
                        out.write(self.parts[part])
                    files[file] = part
                result = subprocess.run(["xmllint", "--noout", "--nonet", "--schema",
                                         os.path.join(SCHEMAS, schema)] + list(files),
                                        capture_output=True, text=True)
                if result.returncode == 0:
                    continue
                for line in result.stderr.splitlines():
                    if line.endswith(" validates") or line.endswith(" fails to validate"):
                        continue
                    for file, part in files.items():
                        line = line.replace(file, "/" + part)
                    self.fail("schema: " + line)

    def check_relationships(self):
        for part in sorted(p for p in self.xml if p.endswith(".rels")):
            source = source_of(part)
            if source and source not in self.parts:
                self.fail("/%s belongs to missing part /%s" % (part, source))
            table = {}
            for rel in self.xml[part]:
                rid, target = rel.get("Id"), rel.get("Target", "")
                if rid in table:
                    self.fail("duplicate relationship id %s in /%s" % (rid, part))
                resolved = None
                if rel.get("TargetMode") != "External":
                    base = "" if target.startswith("/") else posixpath.dirname(source)
                    resolved = posixpath.normpath(posixpath.join(base, target.lstrip("/")))
                    if resolved not in self.parts:
                        self.fail("relationship %s of /%s points to missing part /%s" % (rid, part, resolved))
                table[rid] = (rel.get("Type", ""), resolved)
            self.rels[source] = table
        for part, root in self.xml.items():
            if part.endswith(".rels") or part == "[Content_Types].xml":
                continue
            table = self.rels.get(part, {})
            for element in root.iter():
                for name, value in element.attrib.items():
                    if namespace(name) == NS_R and value not in table:
                        self.fail("/%s refers to relationship %s that /%s lacks" % (part, value, rels_part_of(part)))

    def related(self, part, kind):
        return [t for (k, t) in self.rels.get(part, {}).values() if k.endswith("/" + kind) and t]

    def check_presentation(self):
        main = [t for (k, t) in self.rels.get("", {}).values() if k == REL_MAIN]
        if len(main) != 1:
            self.fail("the package needs one main part relationship, it has %d" % len(main))
            return
        root = self.xml.get(main[0])
        if root is None or root.tag != "{%s}presentation" % NS_P:
            self.fail("main part /%s is not a presentation" % main[0])
            return
        slide_ids = [int(e.get("id", "0")) for e in root.iter("{%s}sldId" % NS_P)]
        self.unique(slide_ids, "slide id", main[0])
        for value in slide_ids:
            if value < 256:
                self.fail("slide id %d is below 256" % value)
        masters = self.related(main[0], "slideMaster")
        if not masters:
            self.fail("the presentation has no slide master")
        master_ids = [int(e.get("id", "0")) for e in root.iter("{%s}sldMasterId" % NS_P)]
        for master in masters:
            master_ids += [int(e.get("id", "0")) for e in self.xml.get(master, ET.Element("x")).iter("{%s}sldLayoutId" % NS_P)]
        self.unique(master_ids, "master or layout id", main[0])
        for value in master_ids:
            if value < FIRST_MASTER_ID:
                self.fail("master or layout id %d is below %d" % (value, FIRST_MASTER_ID))
        for part, root in self.xml.items():
            if namespace(root.tag) != NS_P:
                continue
            self.unique([e.get("id") for e in root.iter("{%s}cNvPr" % NS_P)], "shape id", part)
            for background in root.iter("{%s}bgPr" % NS_P):
                if background.find("{%s}effectLst" % NS_A) is None and background.find("{%s}effectDag" % NS_A) is None:
                    self.fail("the background of /%s has no a:effectLst" % part)
        for slide in self.related(main[0], "slide"):
            layouts = self.related(slide, "slideLayout")
            if len(layouts) != 1 or len(self.related(layouts[0], "slideMaster")) != 1:
                self.fail("/%s does not lead to one layout and one master" % slide)

    def unique(self, values, what, part):
        seen = set()
        for value in values:
            if value in seen:
                self.fail("duplicate %s %s in /%s" % (what, value, part))
            seen.add(value)


def main(paths):
    if not paths:
        print(__doc__.splitlines()[0], file=sys.stderr)
        return 2
    problems = [line for path in paths for line in Package(path).check()]
    print("\n".join(problems) if problems else "%d package(s) valid" % len(paths))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
