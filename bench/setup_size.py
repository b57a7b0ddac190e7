#!/usr/bin/env python3
"""Prints what makes up a Setup.exe: file size, sections, resources by type and, from the link map,
the code and data each library brought in.

Usage: setup_size.py SETUP_EXE [LINK_MAP]
"""
import collections
import os
import re
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "scripts"))
from peinfo import PeFile  # noqa: E402

GOAL, STRETCH = 512 * 1024, 384 * 1024
MAPPED = (".text", ".rdata", ".eh_frame", ".data")


def kib(n):
    return "%9d bytes %7.1f KiB" % (n, n / 1024.0)


def link_map(path):
    """{output section: Counter(library: bytes)} and Counter((library, member): .text bytes)."""
    text = open(path, encoding="latin-1").read()
    text = text.split("Linker script and memory map", 1)[-1]
    sections = collections.defaultdict(collections.Counter)
    members = collections.Counter()
    output = None
    for line in text.splitlines():
        m = re.match(r"^(\.\S+)\s+0x[0-9a-f]+\s+0x[0-9a-f]+", line)
        if m:
            output = m.group(1)
            continue
        m = re.match(r"^ (?:\.\S+|COMMON)?\s+0x[0-9a-f]+\s+0x([0-9a-f]+)\s+(\S.*)$", line)
        if m and output in MAPPED and not m.group(2).startswith(("LONG ", "SHORT ", "BYTE ", "FILL")):
            size, source = int(m.group(1), 16), m.group(2).strip()
            library = os.path.basename(re.sub(r"\(.*\)$", "", source))
            sections[output][library] += size
            if output == ".text":
                members[os.path.basename(source)] += size
    return sections, members


def main(argv):
    if len(argv) not in (2, 3):
        sys.stderr.write(__doc__)
        return 2
    exe = PeFile(argv[1])
    size = len(exe.data)
    print("%s: %s  (goal 512 KiB: %s, stretch 384 KiB: %s)" % (
        os.path.basename(argv[1]), kib(size).strip(), "met" if size <= GOAL else "missed by %d bytes" % (size - GOAL),
        "met" if size <= STRETCH else "missed by %d bytes" % (size - STRETCH)))
    offset, length = exe.directories[4]
    if length:
        print("  signature: %d bytes at the end of the file" % length)

    print("\nSections              in the file     in memory")
    for (name, _, raw, virtual, _) in exe.sections:
        print("  %-16s %10d %13d" % (name, raw, virtual))
    headers = exe.sections[0][1] if exe.sections else 0
    print("  %-16s %10d" % ("(headers)", headers))

    print("\nResources by type     count        bytes")
    by_type = collections.OrderedDict()
    for rtype, name, language, rsize, _ in exe.resources():
        key = str(rtype)
        count, total = by_type.get(key, (0, 0))
        by_type[key] = (count + 1, total + rsize)
    for key, (count, total) in sorted(by_type.items(), key=lambda kv: -kv[1][1]):
        print("  %-16s %8d %12d" % (key, count, total))
    bitmaps = [(name, language) for rtype, name, language, _, _ in exe.resources() if rtype == "BITMAP"]
    print("  bitmaps: %s" % ", ".join("%s (language %d)" % b for b in bitmaps))

    if len(argv) == 3 and os.path.exists(argv[2]):
        sections, members = link_map(argv[2])
        print("\nCode and data by origin (link map, bytes)")
        libraries = collections.Counter()
        for counter in sections.values():
            libraries.update(counter)
        print("  %-24s %9s %9s %9s %9s %9s" % ("", "total", ".text", ".rdata", ".eh_frame", ".data"))
        for library, total in libraries.most_common():
            if total:
                print("  %-24s %9d %s" % (library, total, " ".join("%9d" % sections[s][library] for s in MAPPED)))
        print("\nLargest objects in .text")
        for member, total in members.most_common(15):
            print("  %8d  %s" % (total, member))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
