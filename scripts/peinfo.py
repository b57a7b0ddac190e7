#!/usr/bin/env python3
"""Reads the layout of a PE file (Setup.exe): sections, resources, version, debug link, signature.

Usage: peinfo.py COMMAND FILE
  sections    one line per section: name, file offset, size in the file, size in memory
  resources   one line per resource: type, name, language, size, file offset of its data
  version     the file and product versions of the fixed version record ("6.7.3.319 6.7.3.319")
  debuglink   the file name that .gnu_debuglink names, and its CRC-32
  signature   file offset and size of the attribute certificate table (0 0 without one)
Names and types that are numbers are printed as numbers; the standard types by name (BITMAP, ...).
Exit status 1 when the file is not a PE file or the record asked for is missing.
"""
import struct
import sys

RESOURCE_TYPES = {1: "CURSOR", 2: "BITMAP", 3: "ICON", 4: "MENU", 5: "DIALOG", 6: "STRING", 7: "FONTDIR",
                  8: "FONT", 9: "ACCELERATOR", 10: "RCDATA", 11: "MESSAGETABLE", 12: "GROUP_CURSOR",
                  14: "GROUP_ICON", 16: "VERSION", 17: "DLGINCLUDE", 19: "PLUGPLAY", 20: "VXD",
                  21: "ANICURSOR", 22: "ANIICON", 23: "HTML", 24: "MANIFEST"}


class PeError(Exception):
    pass


class PeFile:
    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = f.read()
        d = self.data
        if d[:2] != b"MZ":
            raise PeError("no MZ header")
        pe = struct.unpack_from("<I", d, 0x3C)[0]
        if d[pe:pe + 4] != b"PE\0\0":
            raise PeError("no PE header")
        (_, count, _, symbols, symbol_count, optional_size, _) = struct.unpack_from("<HHIIIHH", d, pe + 4)
        optional = pe + 24
        magic = struct.unpack_from("<H", d, optional)[0]
        if magic == 0x10B:
            directories = optional + 96
        elif magic == 0x20B:
            directories = optional + 112
        else:
            raise PeError("unknown optional header")
        self.directories = [struct.unpack_from("<II", d, directories + 8 * i) for i in range(16)]
        strings = symbols + 18 * symbol_count if symbols else 0
        self.sections = []
        table = optional + optional_size
        for i in range(count):
            raw_name, vsize, vaddr, rsize, roffset = struct.unpack_from("<8sIIII", d, table + 40 * i)
            name = raw_name.rstrip(b"\0").decode("latin-1")
            if name.startswith("/") and strings:  # a long name kept in the COFF string table
                start = strings + int(name[1:])
                name = d[start:d.index(b"\0", start)].decode("latin-1")
            self.sections.append((name, roffset, rsize, vsize, vaddr))

    def offset_of(self, rva):
        for (_, roffset, rsize, vsize, vaddr) in self.sections:
            if vaddr <= rva < vaddr + max(rsize, vsize):
                return roffset + rva - vaddr
        raise PeError("address 0x%x lies in no section" % rva)

    def section(self, name):
        for s in self.sections:
            if s[0] == name:
                return s
        return None

    def resources(self):
        """Yields (type, name, language, size, file offset) for every resource."""
        rva = self.directories[2][0]
        if rva == 0:
            return
        base = self.offset_of(rva)
        d = self.data

        def entries(offset):
            named, numbered = struct.unpack_from("<HH", d, offset + 12)
            for i in range(named + numbered):
                key, target = struct.unpack_from("<II", d, offset + 16 + 8 * i)
                if key & 0x80000000:
                    at = base + (key & 0x7FFFFFFF)
                    length = struct.unpack_from("<H", d, at)[0]
                    key = d[at + 2:at + 2 + 2 * length].decode("utf-16-le")
                yield key, target

        for rtype, t in entries(base):
            for name, n in entries(base + (t & 0x7FFFFFFF)):
                for language, entry in entries(base + (n & 0x7FFFFFFF)):
                    data_rva, size = struct.unpack_from("<II", d, base + entry)
                    yield (RESOURCE_TYPES.get(rtype, rtype), name, language, size, self.offset_of(data_rva))


def version(pe):
    for rtype, _, _, size, offset in pe.resources():
        if rtype == "VERSION":
            block = pe.data[offset:offset + size]
            at = block.find(struct.pack("<I", 0xFEEF04BD))
            if at < 0:
                raise PeError("version resource without its fixed record")
            fms, fls, pms, pls = struct.unpack_from("<IIII", block, at + 8)
            text = lambda ms, ls: "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
            return "%s %s" % (text(fms, fls), text(pms, pls))
    raise PeError("no version resource")


def main(argv):
    if len(argv) != 3:
        sys.stderr.write(__doc__)
        return 2
    command, path = argv[1], argv[2]
    try:
        pe = PeFile(path)
        if command == "sections":
            for (name, roffset, rsize, vsize, _) in pe.sections:
                print("%-16s %10d %10d %10d" % (name, roffset, rsize, vsize))
        elif command == "resources":
            for rtype, name, language, size, offset in pe.resources():
                print("%s %s %d %d %d" % (rtype, name, language, size, offset))
        elif command == "version":
            print(version(pe))
        elif command == "debuglink":
            link = pe.section(".gnu_debuglink")
            if not link:
                raise PeError("no .gnu_debuglink section")
            raw = pe.data[link[1]:link[1] + link[2]]
            end = raw.index(b"\0")
            crc_at = (end + 4) & ~3
            print("%s %08x" % (raw[:end].decode("latin-1"), struct.unpack_from("<I", raw, crc_at)[0]))
        elif command == "signature":
            offset, size = pe.directories[4]  # for this directory the address is a file offset
            print("%d %d" % (offset, size))
        else:
            sys.stderr.write(__doc__)
            return 2
    except (PeError, struct.error, ValueError) as e:
        sys.stderr.write("%s: %s\n" % (path, e))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
