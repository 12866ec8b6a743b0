#!/usr/bin/env python3
"""Prints the kernel modules that the named ones need, each after what it depends on,
read from the modules' own .modinfo sections (an unpacked kernel package has no
modules.dep), then the named ones. One built into the kernel (modules.builtin) needs
nothing loaded.
   modules.py MODULES-FOLDER NAME..."""
import lzma
import os
import re
import sys

folder, wanted = sys.argv[1], sys.argv[2:]
paths = {}
for root, _, files in os.walk(folder):
    for name in files:
        # Newer Debian kernels ship their modules compressed with xz.
        for ending in (".ko", ".ko.xz"):
            if name.endswith(ending):
                paths[name[: -len(ending)].replace("-", "_")] = os.path.join(root, name)

def depends(name):
    data = open(paths[name], "rb").read()
    if paths[name].endswith(".xz"):
        data = lzma.decompress(data)
    found = re.search(rb"depends=([^\0]*)\0", data)
    words = found.group(1).split(b",") if found else []
    # A soft dependency that must be there first, such as crc32c before libcrc32c.
    for soft in re.findall(rb"softdep=pre: ([^\0]*)\0", data):
        words += soft.split()
    return [w.decode().replace("-", "_") for w in words if w and w.decode().replace("-", "_") in paths]

builtin = set()
builtin_list = os.path.join(folder, "modules.builtin")
if os.path.exists(builtin_list):
    for line in open(builtin_list):
        builtin.add(os.path.basename(line.strip()).split(".ko")[0].replace("-", "_"))

order = []
def visit(name):
    name = name.replace("-", "_")
    if name in order or (name in builtin and name not in paths):
        return
    if name not in paths:
        sys.exit(f"no module {name} in {folder}")
    for dependency in depends(name):
        visit(dependency)
    order.append(name)

for name in wanted:
    visit(name)
for name in order:
    print(paths[name])
