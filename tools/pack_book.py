#!/usr/bin/env python3
"""Packs a book package: pack_book.py OUT.mordx NAME=FILE [NAME=FILE ...]

Entries are deflated and carry a fixed date, so the same inputs always give
the same bytes."""
import sys
import zipfile

FIXED_DATE = (2020, 1, 1, 12, 0, 0)


def main(argv):
    if len(argv) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    with zipfile.ZipFile(argv[1], "w") as package:
        for spec in argv[2:]:
            name, _, path = spec.partition("=")
            info = zipfile.ZipInfo(name, FIXED_DATE)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.external_attr = 0o644 << 16
            with open(path, "rb") as source:
                package.writestr(info, source.read())
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
