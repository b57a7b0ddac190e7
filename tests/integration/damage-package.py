#!/usr/bin/env python3
"""Makes damaged copies of a Windows Installer package.

Usage: damage-package.py SOURCE.msi OUT_DIR COUNT SEED [FIRST]

Writes OUT_DIR/NNNN-KIND.msi for NNNN = FIRST .. FIRST+COUNT-1 (FIRST defaults to 1) and prints one line
per copy: "NNNN-KIND.msi KIND what was done". The same SEED and number give the same copy. The kinds
take turns:
  bitflip     1 to 16 bits flipped anywhere in the file
  truncate    the file cut at a random length
  zero        1 to 3 sectors of 512 bytes (the header included) overwritten with zeros
  directory   fields of 1 to 3 entries of the compound file's stream directory changed: names, name
              lengths, types, sibling and child links (also into cycles), start sectors, sizes
  upgradebin  bytes of the Upgrade table's stream changed (string references, attributes), or its size
  upgrade     the Upgrade table rebuilt by msibuild with hostile records and column layouts that the
              package format accepts: odd version texts, extreme attributes, empty or unknown action
              properties, duplicates, hundreds of rows, string attributes, missing columns, no table
"""
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile

KINDS = ["bitflip", "truncate", "zero", "directory", "upgradebin", "upgrade"]
SECTOR = 512
UPGRADE_CODE = "{7EE5EC71-BCAE-4CF2-BE7C-3293248DF529}"


class CompoundFile:
    """Just enough of the compound-file format to find sectors, directory entries and stream bytes."""

    def __init__(self, data):
        self.data = data
        self.shift = struct.unpack_from("<H", data, 0x1E)[0]
        self.size = 1 << self.shift
        self.mini_cutoff = struct.unpack_from("<I", data, 0x38)[0]
        difat = [s for s in struct.unpack_from("<109I", data, 0x4C) if s < 0xFFFFFFFA]
        self.fat = []
        for s in difat[: struct.unpack_from("<I", data, 0x2C)[0]]:
            self.fat += struct.unpack_from(f"<{self.size // 4}I", data, self.offset(s))
        self.dir_sectors = self.chain(struct.unpack_from("<I", data, 0x30)[0])
        self.minifat = []
        for s in self.chain(struct.unpack_from("<I", data, 0x3C)[0]):
            self.minifat += struct.unpack_from(f"<{self.size // 4}I", data, self.offset(s))
        root = self.entry_offset(0)
        self.ministream = self.chain(struct.unpack_from("<I", data, root + 0x74)[0])

    def offset(self, sector):
        return (sector + 1) * self.size

    def chain(self, start):
        out, seen = [], set()
        while start < len(self.fat) and start not in seen:
            seen.add(start)
            out.append(start)
            start = self.fat[start]
        return out

    def entry_count(self):
        return len(self.dir_sectors) * self.size // 128

    def entry_offset(self, index):
        per = self.size // 128
        return self.offset(self.dir_sectors[index // per]) + (index % per) * 128

    def entry_name(self, index):
        off = self.entry_offset(index)
        length = struct.unpack_from("<H", self.data, off + 0x40)[0]
        return bytes(self.data[off: off + max(0, min(length, 64) - 2)]).decode("utf-16-le", "replace")

    def stream_offsets(self, index):
        """File offsets of every byte of the stream of a directory entry."""
        off = self.entry_offset(index)
        start, size = struct.unpack_from("<II", self.data, off + 0x74)
        out = []
        if size < self.mini_cutoff:
            sector, seen = start, set()
            while sector < len(self.minifat) and sector not in seen and len(out) < size:
                seen.add(sector)
                base = sector * 64
                for k in range(64):
                    pos = base + k
                    big = pos // self.size
                    if big < len(self.ministream):
                        out.append(self.offset(self.ministream[big]) + pos % self.size)
                sector = self.minifat[sector]
        else:
            for sector in self.chain(start):
                out += range(self.offset(sector), self.offset(sector) + self.size)
        return out[:size]


def decode_msi_name(name):
    """The stream name as Windows Installer encodes table names (a table name starts with U+4840)."""
    def mime(x):
        chars = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz._"
        return chars[x] if 0 <= x < 64 else "?"
    out = ""
    for ch in name:
        c = ord(ch)
        if 0x3800 <= c < 0x4800:
            c -= 0x3800
            out += mime(c & 0x3F) + mime((c >> 6) & 0x3F)
        elif 0x4800 <= c < 0x4840:
            out += mime(c - 0x4800)
        elif c == 0x4840:
            out += "!"
        else:
            out += ch
    return out


def bitflip(data, rng):
    flips = rng.randint(1, 16)
    where = []
    for _ in range(flips):
        pos = rng.randrange(len(data))
        data[pos] ^= 1 << rng.randrange(8)
        where.append(pos)
    return data, f"{flips} bits flipped at {','.join(map(str, sorted(where)))}"


def truncate(data, rng):
    length = rng.randrange(len(data))
    return data[:length], f"cut to {length} of {len(data)} bytes"


def zero(data, rng):
    count = rng.randint(1, 3)
    sectors = sorted(rng.sample(range(-1, len(data) // SECTOR - 1), count))
    for s in sectors:
        start = (s + 1) * SECTOR
        data[start: start + SECTOR] = bytes(len(data[start: start + SECTOR]))
    return data, "zeroed sectors " + ",".join("header" if s < 0 else str(s) for s in sectors)


def directory(data, rng):
    cf = CompoundFile(data)
    used = [i for i in range(cf.entry_count()) if data[cf.entry_offset(i) + 0x42] != 0]
    done = []
    for index in rng.sample(used, min(len(used), rng.randint(1, 3))):
        off = cf.entry_offset(index)
        field = rng.choice(["name", "namelength", "type", "left", "right", "child", "start", "size"])
        if field == "name":
            pos = off + rng.randrange(64)
            data[pos] = rng.randrange(256)
        elif field == "namelength":
            struct.pack_into("<H", data, off + 0x40, rng.choice([0, 1, 63, 66, 128, 0xFFFF, rng.randrange(0x10000)]))
        elif field == "type":
            data[off + 0x42] = rng.choice([0, 1, 2, 3, 5, 6, 0xFF])
        elif field in ("left", "right", "child"):
            at = {"left": 0x44, "right": 0x48, "child": 0x4C}[field]
            struct.pack_into("<I", data, off + at, rng.choice(
                [index, 0, rng.randrange(cf.entry_count()), cf.entry_count() + 5, 0xFFFFFFFE, 0x7FFFFFFF]))
        elif field == "start":
            struct.pack_into("<I", data, off + 0x74, rng.choice(
                [0, rng.randrange(len(data) // SECTOR), len(data) // SECTOR + 10, 0xFFFFFFFD, 0xFFFFFFFF]))
        else:
            old = struct.unpack_from("<I", data, off + 0x78)[0]
            struct.pack_into("<I", data, off + 0x78, rng.choice(
                [0, 1, old + 1, max(0, old - 1), old * 2 + 4096, 0x7FFFFFFF, 0xFFFFFFFF]))
        done.append(f"entry {index} ({decode_msi_name(cf.entry_name(index))}) {field}")
    return data, "; ".join(done)


def upgrade_stream(cf):
    for i in range(cf.entry_count()):
        if decode_msi_name(cf.entry_name(i)) == "!Upgrade":
            return i
    return None


def upgradebin(data, rng):
    cf = CompoundFile(data)
    index = upgrade_stream(cf)
    if index is None:
        return bitflip(data, rng)
    offsets = cf.stream_offsets(index)
    if rng.random() < 0.25:
        off = cf.entry_offset(index) + 0x78
        old = struct.unpack_from("<I", data, off)[0]
        new = rng.choice([0, 1, old - 1, old + 1, old + 7, old * 3])
        struct.pack_into("<I", data, off, max(0, new))
        return data, f"Upgrade stream size {old} -> {max(0, new)}"
    changed = []
    for _ in range(rng.randint(1, 6)):
        pos = rng.randrange(len(offsets))
        data[offsets[pos]] = rng.choice([0, 1, 0x7F, 0x80, 0xFF, rng.randrange(256)])
        changed.append(pos)
    return data, f"Upgrade stream bytes {','.join(map(str, sorted(changed)))} of {len(offsets)}"


def hostile_version(rng):
    return rng.choice(["", "6", "6.7", "6.7.3319", "6.7.3319.5", "..", " 6 . 7 ", "-1.-2.-3", "abc", "6.7.3319a",
                       "99999999999.1.1", "0.0.0", "255.255.65535", "6..7", ".6.7", "6.7.", "+6.+7.+1", "\u00e46.7",
                       "6.7.3320", "6.6.2100", "6.8.1000", "9" * 20])


def hostile_property(rng):
    return rng.choice(["NEWERVERSIONDETECTED", "SAMEVERSIONDETECTED", "OLDERVERSIONBEINGUPGRADED", "X", "A" * 72,
                       "newerversiondetected", "SAMEVERSIONDETECTED ", "\u00c4\u00d6\u00dc"])


def upgrade(data, rng, source, work):
    path = os.path.join(work, "copy.msi")
    with open(path, "wb") as f:
        f.write(data)
    layout = rng.choice(["records", "records", "records", "stringattributes", "nocolumn", "reordered", "empty",
                         "none"])
    columns = [("UpgradeCode", "s38"), ("VersionMin", "S20"), ("VersionMax", "S20"), ("Language", "S255"),
               ("Attributes", "i4"), ("Remove", "S255"), ("ActionProperty", "s72")]
    if layout == "stringattributes":
        columns[4] = ("Attributes", "S20")
    elif layout == "nocolumn":
        del columns[rng.choice([0, 1, 2, 4, 6])]
    elif layout == "reordered":
        rng.shuffle(columns)
    rows = []
    count = {"empty": 0}.get(layout, rng.choice([1, 2, 3, 5, 20, 300]))
    for n in range(count):
        row = {
            "UpgradeCode": rng.choice([UPGRADE_CODE] * 4 + ["{00000000-0000-0000-0000-000000000000}", "x" * 38,
                                                         UPGRADE_CODE.lower()]),
            "VersionMin": hostile_version(rng),
            "VersionMax": hostile_version(rng),
            "Language": rng.choice(["", "1033", "1031,1033", "x"]),
            "Attributes": str(rng.choice([0, 2, 256, 512, 770, -1, -2147483647, 2147483647, 0x300 | 0x4])),
            "Remove": rng.choice(["", "ALL", "MainFeature"]),
            "ActionProperty": hostile_property(rng) + ("" if n % 2 else str(n) * (n % 3)),
        }
        if layout == "stringattributes":
            row["Attributes"] = rng.choice(["770", "abc", "", "0x200", "-"])
        text = "\t".join(row[c[0]][:int(c[1][1:])] if c[1][0] in "sS" else row[c[0]] for c in columns)
        if text not in rows:  # every column is part of the key: rows must differ
            rows.append(text)
    idt = "\t".join(c[0] for c in columns) + "\r\n" + "\t".join(c[1] for c in columns) + "\r\n" + \
          "Upgrade\t" + "\t".join(c[0] for c in columns) + "\r\n" + "".join(r + "\r\n" for r in rows)
    os.makedirs(os.path.join(work, "idt"), exist_ok=True)
    with open(os.path.join(work, "idt", "Upgrade.idt"), "w", encoding="utf-8") as f:
        f.write(idt)
    subprocess.run(["msibuild", path, "-q", "DROP TABLE Upgrade"], capture_output=True)
    described = f"Upgrade table {layout}, {len(rows)} rows"
    if layout != "none":
        result = subprocess.run(["msibuild", path, "-i", "Upgrade.idt"], cwd=os.path.join(work, "idt"),
                                capture_output=True)
        if result.returncode != 0:
            described += " (import refused: no Upgrade table)"
    with open(path, "rb") as f:
        return bytearray(f.read()), described


def main():
    source, out_dir, count, seed = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
    first = int(sys.argv[5]) if len(sys.argv) > 5 else 1
    with open(source, "rb") as f:
        original = f.read()
    os.makedirs(out_dir, exist_ok=True)
    work = tempfile.mkdtemp()
    try:
        for number in range(first, first + count):
            rng = random.Random(f"{seed}-{number}")
            kind = KINDS[(number - 1) % len(KINDS)]
            data = bytearray(original)
            if kind == "upgrade":
                data, what = upgrade(data, rng, source, work)
            else:
                data, what = globals()[kind](data, rng)
            name = f"{number:04d}-{kind}.msi"
            with open(os.path.join(out_dir, name), "wb") as f:
                f.write(data)
            print(f"{name} {kind} {what}")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
