#!/usr/bin/python3
"""Seed corpora for the fuzz targets and base input sets for the process-level
campaign, built from the project's own test inputs:

  make_seeds.py REPO_ROOT OUT_DIR

OUT_DIR/corpus/<target>/   one seed per file for each libFuzzer target
OUT_DIR/sets/<name>/       vegetation.txt, temperature.txt, map.shp, map.dbf

Sources: the bundled example (examples/river), the black-box cases' inputs,
the string literals of the reader unit tests, and small maps written here from
numbers (Polygon and PolygonZ, holes, several rings, several fields).
"""
import hashlib
import os
import re
import struct
import sys

ROOT, OUT = sys.argv[1], sys.argv[2]
TARGETS = ["value_reader", "record_reader", "vegetation", "temperature", "shapefile", "setup"]


def read(path):
    with open(os.path.join(ROOT, path), "rb") as f:
        return f.read()


def add(target, data):
    d = os.path.join(OUT, "corpus", target)
    os.makedirs(d, exist_ok=True)
    name = hashlib.sha1(data).hexdigest()[:16]
    with open(os.path.join(d, name), "wb") as f:
        f.write(data)


# ---- maps --------------------------------------------------------------------

def shp(shape_type, records):
    body = b""
    for i, rec in enumerate(records):
        parts, pts = rec
        xs = [p[0] for p in pts] or [0.0]
        ys = [p[1] for p in pts] or [0.0]
        c = struct.pack("<i4d", shape_type, min(xs), min(ys), max(xs), max(ys))
        c += struct.pack("<2i", len(parts), len(pts))
        c += b"".join(struct.pack("<i", p) for p in parts)
        c += b"".join(struct.pack("<2d", x, y) for x, y in pts)
        if shape_type == 15:
            c += struct.pack("<2d", 0.0, 10.0) + b"".join(struct.pack("<d", 5.0) for _ in pts)
            c += struct.pack("<2d", 0.0, 1.0) + b"".join(struct.pack("<d", 0.5) for _ in pts)
        body += struct.pack(">2i", i + 1, len(c) // 2) + c
    head = struct.pack(">7i", 9994, 0, 0, 0, 0, 0, (100 + len(body)) // 2)
    head += struct.pack("<2i8d", 1000, shape_type, 0, 0, 2, 1, 0, 0, 0, 0)
    return head + body


def dbf(fields, rows):
    reclen = 1 + sum(length for _, _, length in fields)
    head = struct.pack("<B3BIHH20x", 3, 126, 12, 5, len(rows), 33 + 32 * len(fields), reclen)
    for name, typ, length in fields:
        head += name.encode().ljust(11, b"\0") + typ.encode() + b"\0" * 4 + bytes([length, 0]) + b"\0" * 14
    head += b"\r"
    for row in rows:
        head += b" " + b"".join(v.encode().ljust(l)[:l] for v, (_, _, l) in zip(row, fields))
    return head + b"\x1a"


def square(x0, y0, side=1.0):
    return [(x0, y0), (x0, y0 + side), (x0 + side, y0 + side), (x0 + side, y0), (x0, y0)]


MAPS = {
    "squares": (shp(5, [([0], square(0, 0)), ([0], square(1, 0))]),
                dbf([("CODE", "C", 10)], [["A"], ["B"]])),
    "holes_z": (shp(15, [([0, 5], square(0, 0, 2) + list(reversed(square(0.5, 0.25, 0.5)))),
                         ([0], square(2, 0))]),
                dbf([("ID", "N", 4), ("CODE", "C", 12)], [["1", "A"], ["2", "\"B\""]])),
    "three": (shp(5, [([0], square(0, 0)), ([0], square(1, 0)), ([0, 5], square(0, 1) + square(1, 1))]),
              dbf([("code", "C", 30)], [["A"], ["  B"], ["A"]])),
    "empty": (shp(5, []), dbf([("CODE", "C", 10)], [])),
}

for name, (s, d) in MAPS.items():
    add("shapefile", s + b"@@DBF@@" + d)
example_shp = read("examples/river/veg_polygons.shp")
example_dbf = read("examples/river/veg_polygons.dbf")
# The example's first records only: a long map makes every mutation slow.
cut = 100
for _ in range(3):
    length = struct.unpack(">i", example_shp[cut + 4:cut + 8])[0]
    cut += 8 + 2 * length
# The table's record count must follow the map's (the reader refuses a mismatch).
example_dbf_cut = example_dbf[:4] + struct.pack("<I", 3) + example_dbf[8:]
add("shapefile", example_shp[:cut] + b"@@DBF@@" + example_dbf_cut)

# ---- text lines and files ----------------------------------------------------

def literals(path):
    """The C++ string literals of a test source, escapes decoded."""
    text = read(path).decode("utf-8", "replace")
    out = []
    for m in re.finditer(r'"((?:[^"\\\n]|\\.)*)"', text):
        s = m.group(1)
        s = re.sub(r"\\(.)", lambda e: {"n": "\n", "t": "\t", "r": "\r", "0": "\0"}.get(e.group(1), e.group(1)), s)
        out.append(s.encode("latin-1", "replace"))
    return out


def with_map(veg):
    """The parameter file pointed at the map of the fuzz working directory."""
    return re.sub(rb'(?m)^VIN[^\n]*', b'VIN "map.shp"', veg)


example_veg = read("examples/river/vegetation.txt")
example_temp_lines = read("examples/river/temperature.txt").split(b"\n")
example_temp = b"\n".join(example_temp_lines[:120]) + b"\nEND\n"


def kind(degree_days=False, roughness=False):
    k = b"MMT 1\nMDD 100.0 5.0 20.0\nMPR 2 5 0.3 0.1\nMEL 0.1\n" if degree_days else b"MMT 0\n"
    k += b"GMT 0\n" + (b"RMT 1\nRAM 0 0.05\n" if roughness else b"RMT 0\n")
    return k + b"CMT 0\nSMT 0\nBMT 0\nDMT 0\nYMT 0\nIMT 0\nAMT 0\n"


def parameter_file(kinds, codes=b"VIV A 2.0 1.0\nVIV B 0.0 0.0\n"):
    n = str(len(kinds)).encode()
    head = b"VPM 1.0 30.0\nVNM " + n + b" 1\nVIN \"map.shp\"\nVIT code\n"
    if len(kinds) == 1:
        head += codes
    return head + b"".join(kind(*k) for k in kinds) + b"END\n"


veg_files = [with_map(example_veg),
             parameter_file([(False, False)]),
             parameter_file([(True, True)]),
             parameter_file([(False, True), (True, False)])]
for case in sorted(os.listdir(os.path.join(ROOT, "tests/blackbox/cases"))):
    p = os.path.join("tests/blackbox/cases", case, "inputs", "vegetation.txt")
    if os.path.exists(os.path.join(ROOT, p)):
        veg_files.append(with_map(read(p)))
unit_literals = []
for test in ["input/value_reader", "input/record_reader", "input/parameter_file",
             "input/temperature_file", "input/initial_vegetation", "host/driver"]:
    path = "tests/%s_test.cpp" % test
    if os.path.exists(os.path.join(ROOT, path)):
        unit_literals += literals(path)
for lit in unit_literals:
    if b"VPM" in lit and b"\n" in lit:
        veg_files.append(with_map(lit))

for v in veg_files:
    add("vegetation", v)
    add("record_reader", v)
temp_files = [example_temp, b"TMP 0 10\nTMP 24 12.5\nEND\n", b"* comment\ntmp 0,5\nTMP 48 -3\n"]
temp_files += [lit for lit in unit_literals if b"TMP" in lit and b"\n" in lit]
for t in temp_files:
    add("temperature", t)
    add("record_reader", t)

# Value lines: every layout of variables over the record values of the example
# and the unit tests' lines.
lines = set()
for line in example_veg.split(b"\n"):
    if line and line[:1] not in (b"*", b"!"):
        lines.add(line[3:])
for lit in unit_literals:
    if b"\n" not in lit and len(lit) < 300:
        lines.add(lit)
layouts = [b"\x00\x00", b"\x55\x55", b"\xaa\xaa", b"\xff\xff", b"\x03\x55", b"\x1b\xe4"]
for i, line in enumerate(sorted(lines)):
    add("value_reader", layouts[i % len(layouts)] + line)

# ---- whole input sets --------------------------------------------------------

SEP = b"@@FILE@@"
sets = {
    "example": (with_map(example_veg), example_temp, example_shp, example_dbf),
    "one_kind": (parameter_file([(False, False)]), b"", *MAPS["squares"]),
    "degree_days": (parameter_file([(True, True)]), b"TMP 0 10\nTMP 240 15\nTMP 4800 20\nEND\n", *MAPS["holes_z"]),
    "two_kinds": (parameter_file([(False, True), (True, False)]), example_temp, *MAPS["three"]),
}
for name, files in sets.items():
    d = os.path.join(OUT, "sets", name)
    os.makedirs(d, exist_ok=True)
    for fname, data in zip(["vegetation.txt", "temperature.txt", "map.shp", "map.dbf"], files):
        with open(os.path.join(d, fname), "wb") as f:
            f.write(data)
    veg, temp, s, d_ = files
    if name == "example":  # a shorter map keeps the in-process target quick
        s = example_shp[:cut]
        d_ = example_dbf_cut
    add("setup", veg + SEP + temp + SEP + s + SEP + d_)

for t in TARGETS:
    print("%-14s %d seeds" % (t, len(os.listdir(os.path.join(OUT, "corpus", t)))))
