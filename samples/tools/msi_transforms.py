#!/usr/bin/env python3
"""Builds language transforms for a Windows Installer package and embeds them.

Windows Installer keeps embedded transforms as sub-storages of the package
(they show up in the `_Storages` table) and applies them with
TRANSFORMS=:1031 or MsiDatabaseApplyTransform(db, ":1031", 0).  Neither wixl
nor Wine can generate transforms, so this tool writes them directly:

  * a transform is an OLE compound file (root CLSID {000C1082-...}) holding a
    string pool (_StringPool/_StringData), one stream per changed table and a
    summary information stream;
  * a table stream in a transform is a list of rows, each starting with a
    16-bit mask: key columns are always present, every other column i is
    present when bit i is set (a row that updates Title and Description of a
    Feature row carries the key, the title and the description);
  * stream names are compressed ("mangled") the same way as in the package.

Only the Python standard library is used.

Usage:
  msi_transforms.py embed PACKAGE TRANSLATIONS.tsv
      Adds one transform per language of TRANSLATIONS.tsv to PACKAGE (in place).
      TSV columns: Language, Feature, Title, Description.  An empty Title or
      Description keeps the package's value.
  msi_transforms.py table PACKAGE TABLE [STORAGE]
      Prints a table of the package (or of the transform sub-storage STORAGE,
      row by row as stored there) as tab-separated text.
  msi_transforms.py storages PACKAGE
      Lists the sub-storages of PACKAGE with their CLSIDs.
  msi_transforms.py expected-check PACKAGE TRANSLATIONS.tsv
      Prints what tools/check_package.exe must print for PACKAGE with every
      language of TRANSLATIONS.tsv (computed from the package's own Feature
      table and the translations, without applying any transform).
"""

import os
import struct
import sys
import uuid

# ---------------------------------------------------------------------------
# Compound file (structured storage) reading and writing
# ---------------------------------------------------------------------------

SECTOR_SIZE = 512
MINI_SECTOR_SIZE = 64
MINI_STREAM_CUTOFF = 4096
FREESECT = 0xFFFFFFFF
ENDOFCHAIN = 0xFFFFFFFE
FATSECT = 0xFFFFFFFD
DIFSECT = 0xFFFFFFFC
NOSTREAM = 0xFFFFFFFF
SIGNATURE = bytes.fromhex("d0cf11e0a1b11ae1")
HEADER_DIFAT_SLOTS = 109

STGTY_STORAGE = 1
STGTY_STREAM = 2
STGTY_ROOT = 5


class CfbError(Exception):
    pass


class Entry:
    """One storage or stream of a compound file, with its children."""

    def __init__(self, name, kind, data=b"", clsid=b"\0" * 16):
        self.name = name
        self.kind = kind
        self.data = data
        self.clsid = clsid
        self.state = 0
        self.ctime = 0
        self.mtime = 0
        self.children = []

    def is_storage(self):
        return self.kind in (STGTY_STORAGE, STGTY_ROOT)

    def child(self, name):
        for c in self.children:
            if c.name == name:
                return c
        return None


def _sector(data, index):
    start = SECTOR_SIZE * (index + 1)
    if start + SECTOR_SIZE > len(data):
        raise CfbError("sector %d lies outside the file" % index)
    return data[start:start + SECTOR_SIZE]


def _chain(table, start, limit):
    out = []
    seen = set()
    s = start
    while s != ENDOFCHAIN:
        if s >= len(table) or s in seen or len(out) > limit:
            raise CfbError("broken sector chain at %d" % s)
        seen.add(s)
        out.append(s)
        s = table[s]
    return out


def read_cfb(data):
    """Parses a compound file into a tree of Entry objects; returns the root."""
    if data[:8] != SIGNATURE:
        raise CfbError("not a compound file")
    (major, byte_order, sector_shift, mini_shift) = struct.unpack_from("<HHHH", data, 0x1A)
    if byte_order != 0xFFFE or sector_shift != 9 or mini_shift != 6 or major != 3:
        raise CfbError("unsupported compound file layout (version %d, sector shift %d)" % (major, sector_shift))
    (n_fat, first_dir, _txn, cutoff, first_minifat, n_minifat,
     first_difat, n_difat) = struct.unpack_from("<IIIIIIII", data, 0x2C)
    if cutoff != MINI_STREAM_CUTOFF:
        raise CfbError("unexpected mini stream cutoff %d" % cutoff)
    n_sectors = (len(data) - SECTOR_SIZE + SECTOR_SIZE - 1) // SECTOR_SIZE

    fat_sectors = list(struct.unpack_from("<109I", data, 0x4C))
    s = first_difat
    for _ in range(n_difat):
        words = struct.unpack("<128I", _sector(data, s))
        fat_sectors.extend(words[:127])
        s = words[127]
    fat_sectors = [x for x in fat_sectors if x not in (FREESECT, ENDOFCHAIN)][:n_fat]
    fat = []
    for fs in fat_sectors:
        fat.extend(struct.unpack("<128I", _sector(data, fs)))

    def read_chain(start, size=None):
        if start == ENDOFCHAIN or (size == 0):
            return b""
        raw = b"".join(_sector(data, x) for x in _chain(fat, start, n_sectors))
        return raw if size is None else raw[:size]

    dir_raw = read_chain(first_dir)
    raw_entries = []
    for off in range(0, len(dir_raw) - 127, 128):
        e = dir_raw[off:off + 128]
        name_len = struct.unpack_from("<H", e, 64)[0]
        kind = e[66]
        left, right, child = struct.unpack_from("<III", e, 68)
        clsid = e[80:96]
        state, ctime, mtime, start, size = struct.unpack_from("<IQQIQ", e, 96)
        name = e[:max(name_len - 2, 0)].decode("utf-16-le") if name_len else ""
        raw_entries.append((name, kind, left, right, child, clsid, state, ctime, mtime, start, size & 0xFFFFFFFF))
    if not raw_entries or raw_entries[0][1] != STGTY_ROOT:
        raise CfbError("no root entry")

    minifat = []
    if n_minifat:
        for x in _chain(fat, first_minifat, n_sectors):
            minifat.extend(struct.unpack("<128I", _sector(data, x)))
    root_raw = raw_entries[0]
    mini_stream = read_chain(root_raw[9], root_raw[10])

    def read_mini(start, size):
        if size == 0:
            return b""
        chunks = []
        for x in _chain(minifat, start, len(minifat)):
            chunks.append(mini_stream[x * MINI_SECTOR_SIZE:(x + 1) * MINI_SECTOR_SIZE])
        return b"".join(chunks)[:size]

    def make(index, visiting):
        if index in visiting:
            raise CfbError("directory loop at entry %d" % index)
        visiting.add(index)
        (name, kind, _l, _r, child, clsid, state, ctime, mtime, start, size) = raw_entries[index]
        if kind == STGTY_STREAM:
            payload = read_mini(start, size) if size < MINI_STREAM_CUTOFF else read_chain(start, size)
        else:
            payload = b""
        ent = Entry(name, kind, payload, clsid)
        ent.state, ent.ctime, ent.mtime = state, ctime, mtime
        if ent.is_storage() and child != NOSTREAM:
            stack = [child]
            while stack:
                i = stack.pop()
                if i == NOSTREAM:
                    continue
                if i >= len(raw_entries):
                    raise CfbError("directory entry %d out of range" % i)
                stack.append(raw_entries[i][2])
                stack.append(raw_entries[i][3])
                ent.children.append(make(i, visiting))
        return ent

    return make(0, set())


def _sort_key(name):
    # Compound file order: shorter names first, then by upper-cased UTF-16 units.
    units = name.encode("utf-16-le")
    up = []
    for ch in name:
        u = ch.upper()
        up.append(u if len(u) == 1 else ch)
    return (len(units), "".join(up).encode("utf-16-be"))


def write_cfb(root):
    """Serialises a tree of Entry objects (root kind STGTY_ROOT) to bytes."""
    # Flatten the directory: every storage's children form a balanced binary
    # search tree (all nodes black, which readers accept).
    entries = [root]
    links = {}  # id(entry) -> [left, right, child]

    def add_storage(storage):
        kids = sorted(storage.children, key=lambda c: _sort_key(c.name))
        if len({_sort_key(c.name) for c in kids}) != len(kids):
            raise CfbError("duplicate names in storage %r" % storage.name)
        for k in kids:
            if len(k.name) > 31:
                raise CfbError("name too long: %r" % k.name)
        base = len(entries)
        entries.extend(kids)
        for k in kids:
            links[id(k)] = [NOSTREAM, NOSTREAM, NOSTREAM]

        def build(lo, hi):
            if lo >= hi:
                return NOSTREAM
            mid = (lo + hi) // 2
            links[id(kids[mid])][0] = build(lo, mid)
            links[id(kids[mid])][1] = build(mid + 1, hi)
            return base + mid

        links[id(storage)][2] = build(0, len(kids))
        for k in kids:
            if k.is_storage():
                add_storage(k)

    links[id(root)] = [NOSTREAM, NOSTREAM, NOSTREAM]
    add_storage(root)

    # Lay out the data: big streams, then the mini stream, mini FAT, directory.
    sectors = []  # list of 512-byte blocks
    fat = []

    def append_chain(blob):
        if not blob:
            return ENDOFCHAIN
        first = len(sectors)
        count = (len(blob) + SECTOR_SIZE - 1) // SECTOR_SIZE
        padded = blob + b"\0" * (count * SECTOR_SIZE - len(blob))
        for i in range(count):
            sectors.append(padded[i * SECTOR_SIZE:(i + 1) * SECTOR_SIZE])
            fat.append(first + i + 1 if i + 1 < count else ENDOFCHAIN)
        return first

    starts = {}
    mini = bytearray()
    minifat = []
    for e in entries[1:]:
        if e.kind != STGTY_STREAM:
            continue
        if len(e.data) >= MINI_STREAM_CUTOFF:
            starts[id(e)] = append_chain(e.data)
        elif e.data:
            first = len(mini) // MINI_SECTOR_SIZE
            count = (len(e.data) + MINI_SECTOR_SIZE - 1) // MINI_SECTOR_SIZE
            mini += e.data + b"\0" * (count * MINI_SECTOR_SIZE - len(e.data))
            for i in range(count):
                minifat.append(first + i + 1 if i + 1 < count else ENDOFCHAIN)
            starts[id(e)] = first
        else:
            starts[id(e)] = ENDOFCHAIN
    mini_start = append_chain(bytes(mini))
    minifat_blob = struct.pack("<%dI" % len(minifat), *minifat) if minifat else b""
    if minifat_blob:
        minifat_blob += struct.pack("<I", FREESECT) * ((-len(minifat)) % 128)
    minifat_start = append_chain(minifat_blob)
    n_minifat = len(minifat_blob) // SECTOR_SIZE

    dir_blob = bytearray()
    for e in entries:
        name_units = e.name.encode("utf-16-le")
        rec = bytearray(128)
        rec[0:len(name_units)] = name_units
        struct.pack_into("<HBB", rec, 64, len(name_units) + 2, e.kind, 1)
        left, right, child = links[id(e)]
        struct.pack_into("<III", rec, 68, left, right, child)
        rec[80:96] = e.clsid
        if e.kind == STGTY_ROOT:
            start, size = (mini_start if mini else ENDOFCHAIN), len(mini)
        elif e.kind == STGTY_STREAM:
            start, size = starts[id(e)], len(e.data)
        else:
            start, size = 0, 0
        struct.pack_into("<IQQIQ", rec, 96, e.state, e.ctime, e.mtime, start, size)
        dir_blob += rec
    empty = bytearray(128)
    struct.pack_into("<III", empty, 68, NOSTREAM, NOSTREAM, NOSTREAM)
    while len(dir_blob) % SECTOR_SIZE:
        dir_blob += empty
    dir_start = append_chain(bytes(dir_blob))

    # FAT sectors (and DIFAT sectors when more than 109 FAT sectors are needed).
    n_data = len(sectors)
    n_fat = n_difat = 0
    while True:
        total = n_data + n_fat + n_difat
        need_fat = (total + 127) // 128
        need_difat = 0 if need_fat <= HEADER_DIFAT_SLOTS else (need_fat - HEADER_DIFAT_SLOTS + 126) // 127
        if need_fat == n_fat and need_difat == n_difat:
            break
        n_fat, n_difat = need_fat, need_difat
    fat_ids = list(range(n_data, n_data + n_fat))
    difat_ids = list(range(n_data + n_fat, n_data + n_fat + n_difat))
    fat = fat + [FATSECT] * n_fat + [DIFSECT] * n_difat
    fat += [FREESECT] * (n_fat * 128 - len(fat))
    for i in range(n_fat):
        sectors.append(struct.pack("<128I", *fat[i * 128:(i + 1) * 128]))
    rest = fat_ids[HEADER_DIFAT_SLOTS:]
    for i, _sid in enumerate(difat_ids):
        words = rest[i * 127:(i + 1) * 127]
        words += [FREESECT] * (127 - len(words))
        words.append(difat_ids[i + 1] if i + 1 < n_difat else ENDOFCHAIN)
        sectors.append(struct.pack("<128I", *words))

    header = bytearray(SECTOR_SIZE)
    header[0:8] = SIGNATURE
    struct.pack_into("<HHHHH", header, 0x18, 0x3E, 3, 0xFFFE, 9, 6)
    struct.pack_into("<IIIIIIIII", header, 0x28, 0, n_fat, dir_start, 0, MINI_STREAM_CUTOFF,
                     minifat_start if n_minifat else ENDOFCHAIN, n_minifat,
                     difat_ids[0] if difat_ids else ENDOFCHAIN, n_difat)
    head_fat = fat_ids[:HEADER_DIFAT_SLOTS] + [FREESECT] * (HEADER_DIFAT_SLOTS - min(n_fat, HEADER_DIFAT_SLOTS))
    struct.pack_into("<109I", header, 0x4C, *head_fat)
    return bytes(header) + b"".join(sectors)


# ---------------------------------------------------------------------------
# Windows Installer database encoding
# ---------------------------------------------------------------------------

CLSID_MSI_TRANSFORM = uuid.UUID("000C1082-0000-0000-C000-000000000046").bytes_le
SUMMARY_STREAM = "\x05SummaryInformation"
FMTID_SUMMARY = uuid.UUID("F29F85E0-4FF9-1068-AB91-08002B27B3D9").bytes_le

MSITYPE_VALID = 0x0100
MSITYPE_LOCALIZABLE = 0x0200
MSITYPE_STRING = 0x0800
MSITYPE_NULLABLE = 0x1000
MSITYPE_KEY = 0x2000
LONG_STR_FLAG = 0x80000000


def _mime(ch):
    o = ord(ch)
    if "0" <= ch <= "9":
        return o - 48
    if "A" <= ch <= "Z":
        return o - 65 + 10
    if "a" <= ch <= "z":
        return o - 97 + 36
    if ch == ".":
        return 62
    if ch == "_":
        return 63
    return -1


def _unmime(v):
    return "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz._"[v]


def encode_table_name(name):
    """Stream name of a table (or of the string pool) inside a database."""
    out = [chr(0x4840)]
    i = 0
    while i < len(name):
        v = _mime(name[i])
        if v < 0:
            out.append(name[i])
            i += 1
            continue
        if i + 1 < len(name) and _mime(name[i + 1]) >= 0:
            out.append(chr(0x3800 + v + (_mime(name[i + 1]) << 6)))
            i += 2
        else:
            out.append(chr(0x4800 + v))
            i += 1
    return "".join(out)


def decode_stream_name(name):
    out = []
    for ch in name:
        o = ord(ch)
        if 0x3800 <= o < 0x4800:
            o -= 0x3800
            out.append(_unmime(o & 0x3F) + _unmime((o >> 6) & 0x3F))
        elif 0x4800 <= o < 0x4840:
            out.append(_unmime(o - 0x4800))
        else:
            out.append(ch)
    return "".join(out)


def codec_for(codepage):
    # Codepage 0 is "neutral": only ASCII is safe there.
    return "ascii" if codepage == 0 else "cp%d" % codepage


class StringPool:
    def __init__(self, codepage, strings, long_refs=False):
        self.codepage = codepage
        self.strings = strings  # index 0 is the null string
        self.long_refs = long_refs

    @property
    def bytes_per_ref(self):
        return 3 if self.long_refs else 2

    @classmethod
    def load(cls, storage):
        pool = storage.child(encode_table_name("_StringPool"))
        data = storage.child(encode_table_name("_StringData"))
        if pool is None or data is None:
            raise CfbError("no string pool in %r" % storage.name)
        raw, blob = pool.data, data.data
        header = struct.unpack_from("<I", raw, 0)[0]
        codepage = header & ~LONG_STR_FLAG
        codec = codec_for(codepage) if codepage else "cp1252"
        strings = [""]
        offset = 0
        i = 4
        while i + 4 <= len(raw):
            length, refs = struct.unpack_from("<HH", raw, i)
            i += 4
            if length == 0 and refs != 0:
                # A string of 64 KiB or more: the high word comes first.
                low, refs2 = struct.unpack_from("<HH", raw, i)
                i += 4
                length = (refs << 16) | low
                strings.append("")
            strings.append(blob[offset:offset + length].decode(codec))
            offset += length
        return cls(codepage, strings, bool(header & LONG_STR_FLAG))

    def encode(self, refcounts):
        pool = bytearray(struct.pack("<I", self.codepage | (LONG_STR_FLAG if self.long_refs else 0)))
        blob = bytearray()
        codec = codec_for(self.codepage)
        for idx, s in enumerate(self.strings[1:], start=1):
            raw = s.encode(codec)
            if len(raw) >= 0x10000:
                raise CfbError("string too long for this tool")
            pool += struct.pack("<HH", len(raw), refcounts.get(idx, 0))
            blob += raw
        return bytes(pool), bytes(blob)


class Column:
    def __init__(self, number, name, coltype):
        self.number = number
        self.name = name
        self.type = coltype

    @property
    def is_key(self):
        return bool(self.type & MSITYPE_KEY)

    @property
    def is_string(self):
        return bool(self.type & MSITYPE_STRING) and not self.is_binary

    @property
    def is_binary(self):
        return (self.type & ~MSITYPE_NULLABLE) == (MSITYPE_STRING | MSITYPE_VALID)

    def width(self, ref_bytes):
        if self.is_binary:
            return 2
        if self.type & MSITYPE_STRING:
            return ref_bytes
        return 2 if (self.type & 0xFF) <= 2 else 4


def _read_int(raw, off, width):
    v = int.from_bytes(raw[off:off + width], "little")
    if v == 0:
        return None
    return v - 0x8000 if width == 2 else (v ^ 0x80000000) - (1 << 32 if (v ^ 0x80000000) & 0x80000000 else 0)


def _write_int(value, width):
    if value is None:
        return b"\0" * width
    if width == 2:
        return struct.pack("<H", (value + 0x8000) & 0xFFFF)
    return struct.pack("<I", (value ^ 0x80000000) & 0xFFFFFFFF)


class Database:
    """Read access to the tables of a package loaded with read_cfb()."""

    SYSTEM_COLUMNS = {
        "_Columns": [Column(1, "Table", MSITYPE_VALID | MSITYPE_STRING | MSITYPE_KEY | 64),
                     Column(2, "Number", MSITYPE_VALID | MSITYPE_KEY | 2),
                     Column(3, "Name", MSITYPE_VALID | MSITYPE_STRING | 64),
                     Column(4, "Type", MSITYPE_VALID | 2)],
        "_Tables": [Column(1, "Name", MSITYPE_VALID | MSITYPE_STRING | MSITYPE_KEY | 64)],
    }

    def __init__(self, root):
        self.root = root
        self.pool = StringPool.load(root)
        self.columns = dict(self.SYSTEM_COLUMNS)
        by_table = {}
        for row in self._rows("_Columns", self.SYSTEM_COLUMNS["_Columns"]):
            table, number, name, coltype = row
            by_table.setdefault(table, []).append(Column(number, name, coltype))
        for table, cols in by_table.items():
            self.columns[table] = sorted(cols, key=lambda c: c.number)

    def _string(self, ref):
        if ref >= len(self.pool.strings):
            raise CfbError("string id %d out of range" % ref)
        return self.pool.strings[ref] if ref else None

    def _rows(self, table, cols):
        stream = self.root.child(encode_table_name(table))
        if stream is None:
            return []
        ref_bytes = self.pool.bytes_per_ref
        widths = [c.width(ref_bytes) for c in cols]
        row_size = sum(widths)
        raw = stream.data
        count = len(raw) // row_size
        rows = [[None] * len(cols) for _ in range(count)]
        base = 0
        for ci, (col, w) in enumerate(zip(cols, widths)):
            for r in range(count):
                off = base + r * w
                if col.is_string:
                    rows[r][ci] = self._string(int.from_bytes(raw[off:off + w], "little"))
                elif col.is_binary:
                    rows[r][ci] = None
                else:
                    rows[r][ci] = _read_int(raw, off, w)
            base += count * w
        return rows

    def rows(self, table):
        if table not in self.columns:
            raise CfbError("no table %s" % table)
        return self._rows(table, self.columns[table])

    def property(self, name):
        for prop, value in self.rows("Property"):
            if prop == name:
                return value
        return None


def transform_rows(db, storage, table):
    """Decodes the row records of a table stream inside a transform storage."""
    pool = StringPool.load(storage)
    cols = db.columns[table]
    stream = storage.child(encode_table_name(table))
    raw = stream.data if stream else b""
    out = []
    n = 0
    while n + 2 <= len(raw):
        mask = struct.unpack_from("<H", raw, n)[0]
        n += 2
        values = {}
        for i, col in enumerate(cols):
            if mask & 1:
                present = i < (mask >> 8)
            else:
                present = col.is_key or bool(mask & (1 << i))
            if not present:
                continue
            w = col.width(pool.bytes_per_ref)
            if col.is_string:
                ref = int.from_bytes(raw[n:n + w], "little")
                values[col.name] = pool.strings[ref] if ref else None
            else:
                values[col.name] = _read_int(raw, n, w)
            n += w
        out.append((mask, values))
    return out


# ---------------------------------------------------------------------------
# Summary information property set
# ---------------------------------------------------------------------------

PID_CODEPAGE, PID_TITLE, PID_SUBJECT, PID_AUTHOR = 1, 2, 3, 4
PID_TEMPLATE, PID_LASTAUTHOR, PID_REVNUMBER = 7, 8, 9
PID_PAGECOUNT, PID_CHARCOUNT, PID_APPNAME = 14, 16, 18
VT_I2, VT_I4, VT_LPSTR = 2, 3, 30


def read_summary(storage):
    """Returns {pid: value} of a summary information stream."""
    ent = storage.child(SUMMARY_STREAM)
    if ent is None:
        return {}
    raw = ent.data
    section = struct.unpack_from("<I", raw, 44)[0]
    _size, count = struct.unpack_from("<II", raw, section)
    props = {}
    codepage = 1252
    entries = [struct.unpack_from("<II", raw, section + 8 + 8 * i) for i in range(count)]
    for pid, off in entries:
        if pid == PID_CODEPAGE:
            codepage = struct.unpack_from("<h", raw, section + off + 4)[0] & 0xFFFF
    for pid, off in entries:
        p = section + off
        vt = struct.unpack_from("<I", raw, p)[0]
        if vt == VT_I2:
            props[pid] = struct.unpack_from("<h", raw, p + 4)[0]
        elif vt == VT_I4:
            props[pid] = struct.unpack_from("<i", raw, p + 4)[0]
        elif vt == VT_LPSTR:
            n = struct.unpack_from("<I", raw, p + 4)[0]
            props[pid] = raw[p + 8:p + 8 + n].rstrip(b"\0").decode(codec_for(codepage) if codepage else "cp1252")
    return props


def write_summary(props, codepage):
    body = []
    for pid in sorted(props):
        value = props[pid]
        if pid == PID_CODEPAGE:
            body.append((pid, struct.pack("<Ih2x", VT_I2, value)))
        elif isinstance(value, int):
            body.append((pid, struct.pack("<Ii", VT_I4, value)))
        else:
            raw = value.encode(codec_for(codepage)) + b"\0"
            raw += b"\0" * ((-len(raw)) % 4)
            body.append((pid, struct.pack("<II", VT_LPSTR, len(raw)) + raw))
    offset = 8 + 8 * len(body)
    index, data = b"", b""
    for pid, blob in body:
        index += struct.pack("<II", pid, offset + len(data))
        data += blob
    section = struct.pack("<II", 8 + len(index) + len(data), len(body)) + index + data
    header = struct.pack("<HHI", 0xFFFE, 0, 0x00020006) + b"\0" * 16 + struct.pack("<I", 1)
    header += FMTID_SUMMARY + struct.pack("<I", 48)
    return header + section


# ---------------------------------------------------------------------------
# Language transforms of the Feature table
# ---------------------------------------------------------------------------

def load_translations(path):
    """Returns {language: [(feature, title, description), ...]} from a TSV file."""
    result = {}
    with open(path, encoding="utf-8") as f:
        for lineno, line in enumerate(f, start=1):
            line = line.rstrip("\r\n")
            if not line or line.startswith("#"):
                continue
            parts = line.split("\t")
            if len(parts) != 4:
                raise ValueError("%s:%d: expected 4 tab-separated columns" % (path, lineno))
            lang, feature, title, desc = parts
            if lang == "Language":
                continue
            result.setdefault(int(lang), []).append((feature, title, desc))
    return result


def build_feature_transform(db, language, rows):
    """Builds the sub-storage of one language transform."""
    cols = db.columns["Feature"]
    names = [c.name for c in cols]
    key, title_col, desc_col = names.index("Feature"), names.index("Title"), names.index("Description")
    current = {r[key]: r for r in db.rows("Feature")}
    codepage = db.pool.codepage

    strings = [""]
    ids = {}
    refs = {}

    def ref(s):
        if s is None:
            return 0
        if s not in ids:
            ids[s] = len(strings)
            strings.append(s)
        refs[ids[s]] = refs.get(ids[s], 0) + 1
        return ids[s]

    stream = bytearray()
    seen = set()
    for feature, title, desc in rows:
        if feature not in current:
            raise CfbError("language %d: the package has no feature %r" % (language, feature))
        if feature in seen:
            raise CfbError("language %d: feature %r listed twice" % (language, feature))
        seen.add(feature)
        old = current[feature]
        changes = {}
        if title and title != old[title_col]:
            changes[title_col] = title
        if desc and desc != old[desc_col]:
            changes[desc_col] = desc
        if not changes:
            continue
        mask = 0
        for i in changes:
            mask |= 1 << i
        record = bytearray(struct.pack("<H", mask))
        for i, col in enumerate(cols):
            if not (col.is_key or i in changes):
                continue
            value = old[i] if col.is_key else changes[i]
            if col.is_string:
                record += struct.pack("<H", ref(value))
            else:
                record += _write_int(value, col.width(2))
        stream += record
    missing = set(current) - seen
    if missing:
        raise CfbError("language %d: no translation for %s" % (language, ", ".join(sorted(missing))))

    pool = StringPool(codepage, strings)
    pool_raw, data_raw = pool.encode(refs)
    for s in strings[1:]:
        s.encode(codec_for(codepage))  # raises when the package codepage cannot hold it

    summary = read_summary(db.root)
    product = db.property("ProductCode")
    version = db.property("ProductVersion")
    upgrade = db.property("UpgradeCode")
    template = summary.get(PID_TEMPLATE, "")
    platform = template.split(";")[0]
    props = {
        PID_CODEPAGE: codepage or 1252,
        PID_TITLE: "Transform",
        PID_SUBJECT: summary.get(PID_SUBJECT, ""),
        PID_AUTHOR: summary.get(PID_AUTHOR, ""),
        PID_TEMPLATE: template,
        PID_LASTAUTHOR: "%s;%d" % (platform, language),
        PID_REVNUMBER: "%s%s;%s%s;%s" % (product, version, product, version, upgrade),
        PID_PAGECOUNT: summary.get(PID_PAGECOUNT, 200),
        # Low word: validation conditions (none); high word: error conditions to ignore (none).
        PID_CHARCOUNT: 0,
        PID_APPNAME: "KELVARO sample transform builder",
    }
    storage = Entry(str(language), STGTY_STORAGE, clsid=CLSID_MSI_TRANSFORM)
    storage.children = [
        Entry(encode_table_name("_StringPool"), STGTY_STREAM, pool_raw),
        Entry(encode_table_name("_StringData"), STGTY_STREAM, data_raw),
        Entry(encode_table_name("Feature"), STGTY_STREAM, bytes(stream)),
        Entry(SUMMARY_STREAM, STGTY_STREAM, write_summary(props, codepage or 1252)),
    ]
    return storage


def cmd_embed(package, tsv):
    with open(package, "rb") as f:
        root = read_cfb(f.read())
    db = Database(root)
    if db.pool.codepage == 0:
        raise CfbError("%s has the neutral codepage; set a real one before adding transforms" % package)
    for language, rows in sorted(load_translations(tsv).items()):
        storage = build_feature_transform(db, language, rows)
        root.children = [c for c in root.children if c.name != storage.name]
        root.children.append(storage)
    blob = write_cfb(root)
    read_cfb(blob)  # the result must parse again
    tmp = package + ".tmp"
    with open(tmp, "wb") as f:
        f.write(blob)
    os.replace(tmp, package)


def _fmt(v):
    return "" if v is None else str(v)


def cmd_table(package, table, storage_name=None):
    with open(package, "rb") as f:
        root = read_cfb(f.read())
    db = Database(root)
    if storage_name is None:
        print("\t".join(c.name for c in db.columns[table]))
        for row in db.rows(table):
            print("\t".join(_fmt(v) for v in row))
        return
    storage = root.child(storage_name)
    if storage is None or not storage.is_storage():
        raise CfbError("no sub-storage %s" % storage_name)
    print("Mask\t" + "\t".join(c.name for c in db.columns[table]))
    for mask, values in transform_rows(db, storage, table):
        print("0x%04x\t" % mask + "\t".join(_fmt(values.get(c.name)) for c in db.columns[table]))


def cmd_storages(package):
    with open(package, "rb") as f:
        root = read_cfb(f.read())
    for c in sorted(root.children, key=lambda c: c.name):
        if c.is_storage():
            print("%s\t{%s}" % (c.name, str(uuid.UUID(bytes_le=c.clsid)).upper()))


def cmd_expected_check(package, tsv):
    with open(package, "rb") as f:
        root = read_cfb(f.read())
    db = Database(root)
    names = [c.name for c in db.columns["Feature"]]
    key, title_col, desc_col = names.index("Feature"), names.index("Title"), names.index("Description")
    base = db.rows("Feature")
    translations = load_translations(tsv)
    out = []
    for c in sorted(root.children, key=lambda c: c.name):
        if c.is_storage():
            out.append("storage\t%s" % c.name)
    out.append("[base]")
    out.extend("%s\t%s\t%s" % (r[key], _fmt(r[title_col]), _fmt(r[desc_col])) for r in base)
    for language, rows in sorted(translations.items()):
        texts = {feature: (title, desc) for feature, title, desc in rows}
        out.append("[%d]" % language)
        for r in base:
            title, desc = texts.get(r[key], ("", ""))
            out.append("%s\t%s\t%s" % (r[key], title or _fmt(r[title_col]), desc or _fmt(r[desc_col])))
    sys.stdout.buffer.write(("\n".join(out) + "\n").encode("utf-8"))


def main(argv):
    try:
        if len(argv) == 4 and argv[1] == "embed":
            cmd_embed(argv[2], argv[3])
        elif len(argv) in (4, 5) and argv[1] == "table":
            cmd_table(*argv[2:])
        elif len(argv) == 3 and argv[1] == "storages":
            cmd_storages(argv[2])
        elif len(argv) == 4 and argv[1] == "expected-check":
            cmd_expected_check(argv[2], argv[3])
        else:
            sys.stderr.write(__doc__)
            return 2
    except (CfbError, ValueError, OSError, struct.error, UnicodeError) as e:
        sys.stderr.write("msi_transforms: %s\n" % e)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
