#!/usr/bin/python3
"""Where the bytes of a linked program go, from its GNU ld map: the bytes of each input section placed in
the image (debug sections left out), summed by our folders and by library, as a Markdown table.

usage: size-table.py MAP [--members LIBRARY]   (--members: that library's archive members instead)"""
import collections
import re
import sys

# " .text  0xADDR  0xSIZE  FILE" on one line, or the section name alone with the rest on the next.
ONE_LINE = re.compile(r"^ (\.\S+)\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$")
NAME_ONLY = re.compile(r"^ (\.\S+)\s*$")
REST = re.compile(r"^\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$")


def placed_sections(path):
    section = None
    in_layout = False
    for line in open(path, encoding="utf-8", errors="replace"):
        if line.startswith("Linker script and memory map"):
            in_layout = True
            continue
        if not in_layout:
            continue
        match = ONE_LINE.match(line)
        if match:
            name, address, size, source = match.groups()
        else:
            named = NAME_ONLY.match(line)
            if named:
                section = named.group(1)
                continue
            match = REST.match(line)
            if not match or not section:
                continue
            address, size, source = match.groups()
            name = section
        if name.startswith(".debug") or int(address, 16) == 0:
            continue
        yield source.strip(), int(size, 16)


def owner(source):
    folder = re.search(r"libfennix_(\w+)\.a\(", source)
    if folder:
        return "ours: " + folder.group(1) + "/"
    if "objects.a(" in source:
        return "ours: entry point, build constants, resources"
    library = re.search(r"lib([^/()]+)\.a\(", source)
    if library:
        return library.group(1)
    return "start-up objects"


def main():
    args = sys.argv[1:]
    if not args:
        sys.exit(__doc__)
    members = args[2] if len(args) == 3 and args[1] == "--members" else None
    totals = collections.Counter()
    for source, size in placed_sections(args[0]):
        if members:
            if f"lib{members}.a(" in source:
                totals[re.search(r"\((.*)\)", source).group(1)] += size
        else:
            totals[owner(source)] += size
    whole = sum(totals.values())
    print("| part | bytes | share |")
    print("|---|---:|---:|")
    for name, size in totals.most_common():
        if size * 1000 >= whole:
            print(f"| {name} | {size:,} | {100 * size / whole:.1f}% |")
    rest = sum(size for size in totals.values() if size * 1000 < whole)
    if rest:
        print(f"| everything under 0.1% | {rest:,} | {100 * rest / whole:.1f}% |")
    print(f"| **all sections** | **{whole:,}** | |")


if __name__ == "__main__":
    main()
