#!/usr/bin/env python3
"""Writes a zip archive: make-zip.py OUT.zip NAME_IN_ZIP=FILE [NAME_IN_ZIP=FILE ...]."""
import sys
import zipfile


def main(argv):
    if len(argv) < 3:
        sys.exit(__doc__)
    with zipfile.ZipFile(argv[1], "w", compression=zipfile.ZIP_DEFLATED) as archive:
        for pair in argv[2:]:
            name, _, path = pair.partition("=")
            archive.write(path, arcname=name)


if __name__ == "__main__":
    main(sys.argv)
