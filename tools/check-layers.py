#!/usr/bin/env python3
"""Fails when a source includes a header of a folder that its own folder may not use.

Usage: check-layers.py ROOT LAYERS_FILE
       check-layers.py --self-test

LAYERS_FILE has one line per folder, bottom first: "folder: folder folder ..." naming the folders it
uses directly; what those use may be used too. A header's folder is the longest listed folder that
holds it; headers of unlisted folders (resources, generated files) are free to all.
"""
import os
import re
import sys
import tempfile

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def read_layers(path):
    uses = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.split("#", 1)[0].strip()
            if not line:
                continue
            folder, _, deps = line.partition(":")
            uses[folder.strip()] = deps.split()
    return uses


def closure(uses):
    allowed = {}
    def visit(folder, seen):
        for dep in uses.get(folder, []):
            if dep not in seen:
                seen.add(dep)
                visit(dep, seen)
        return seen
    for folder in uses:
        allowed[folder] = visit(folder, {folder})
    return allowed


def owner(path, folders):
    best = None
    for folder in folders:
        if path.startswith(folder + "/") and (best is None or len(folder) > len(best)):
            best = folder
    return best


def check(root, uses):
    allowed = closure(uses)
    folders = list(uses)
    wrong = []
    for folder in folders:
        top = os.path.join(root, folder)
        if not os.path.isdir(top):
            continue
        for name in sorted(os.listdir(top)):
            if not name.endswith((".h", ".cpp")):
                continue
            source = f"{folder}/{name}"
            with open(os.path.join(top, name), encoding="utf-8", errors="replace") as f:
                text = f.read()
            for header in INCLUDE.findall(text):
                target = owner(header, folders)
                if target and target not in allowed[folder]:
                    wrong.append(f"{source}: includes {header} ({folder} may not use {target})")
    return wrong


def self_test():
    layers = "low:\nmid: low\ntop: mid\n"
    with tempfile.TemporaryDirectory() as root:
        for folder in ("low", "mid", "top"):
            os.makedirs(os.path.join(root, folder))
        files = {"low/A.h": "", "mid/B.h": '#include "low/A.h"\n', "top/C.cpp": '#include "low/A.h"\n#include "x/y.h"\n'}
        for name, text in files.items():
            with open(os.path.join(root, name), "w") as f:
                f.write(text)
        with open(os.path.join(root, "layers"), "w") as f:
            f.write(layers)
        uses = read_layers(os.path.join(root, "layers"))
        assert check(root, uses) == [], "a tree in order must pass"
        with open(os.path.join(root, "low/A.h"), "a") as f:
            f.write('#include "top/C.h"\n')
        wrong = check(root, uses)
        assert wrong == ["low/A.h: includes top/C.h (low may not use top)"], wrong
    print("check-layers: self-test passed")


def main():
    if sys.argv[1:] == ["--self-test"]:
        self_test()
        return 0
    root, layers = sys.argv[1], sys.argv[2]
    wrong = check(root, read_layers(layers))
    for line in wrong:
        print(line)
    if wrong:
        print(f"check-layers: {len(wrong)} include(s) against the layer order")
        return 1
    print("check-layers: every include follows the layer order")
    return 0


if __name__ == "__main__":
    sys.exit(main())
