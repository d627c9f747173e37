#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Adds a rotation (irot) or a mirror (imir) to the primary image of a HEIF
# file written by heif-enc, which writes neither: the property goes into
# ipco, its association into ipma, and the item offsets in iloc move by the
# bytes added before the data.
#   heif_transform.py IN OUT irot QUARTERS_ANTICLOCKWISE | imir AXIS
import struct
import sys


def boxes(data, start, end):
    at = start
    while at < end:
        size, kind = struct.unpack(">I4s", data[at:at + 8])
        yield at, size, kind.decode("latin1")
        at += size


def find(data, start, end, kind):
    for at, size, k in boxes(data, start, end):
        if k == kind:
            return at, size
    raise SystemExit("no " + kind)


def grow(data, at, by):
    size = struct.unpack(">I", data[at:at + 4])[0]
    data[at:at + 4] = struct.pack(">I", size + by)


def main():
    src, dst, kind, value = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
    data = bytearray(open(src, "rb").read())
    meta, meta_size = find(data, 0, len(data), "meta")
    body = meta + 12
    pitm, _ = find(data, body, meta + meta_size, "pitm")
    primary = struct.unpack(">H", data[pitm + 12:pitm + 14])[0]
    iprp, iprp_size = find(data, body, meta + meta_size, "iprp")
    ipco, ipco_size = find(data, iprp + 8, iprp + iprp_size, "ipco")
    count = sum(1 for _ in boxes(data, ipco + 8, ipco + ipco_size))
    prop = struct.pack(">I4sB", 9, kind.encode(), value)
    data[ipco + ipco_size:ipco + ipco_size] = prop
    grow(data, ipco, 9)
    ipma, ipma_size = find(data, iprp + 8 + 0, iprp + iprp_size + 9, "ipma")
    version, flags = data[ipma + 8], int.from_bytes(data[ipma + 9:ipma + 12], "big")
    entries = struct.unpack(">I", data[ipma + 12:ipma + 16])[0]
    at = ipma + 16
    added = 0
    for _ in range(entries):
        item = int.from_bytes(data[at:at + (4 if version >= 1 else 2)], "big")
        at += 4 if version >= 1 else 2
        n = data[at]
        width = 2 if flags & 1 else 1
        if item == primary:
            data[at] = n + 1
            entry = ((0x8000 | (count + 1)).to_bytes(2, "big") if width == 2 else bytes([0x80 | (count + 1)]))
            data[at + 1 + n * width:at + 1 + n * width] = entry
            added = width
        at += 1 + n * width + (added if item == primary else 0)
    grow(data, ipma, added)
    grow(data, iprp, 9 + added)
    grow(data, meta, 9 + added)
    delta = 9 + added
    iloc, _ = find(data, body, meta + meta_size + delta, "iloc")
    v = data[iloc + 8]
    sizes = data[iloc + 12:iloc + 14]
    off_size, len_size, base_size = sizes[0] >> 4, sizes[0] & 15, sizes[1] >> 4
    index_size = sizes[1] & 15 if v in (1, 2) else 0
    at = iloc + 14
    items = int.from_bytes(data[at:at + (4 if v == 2 else 2)], "big")
    at += 4 if v == 2 else 2
    for _ in range(items):
        at += 4 if v == 2 else 2
        method = 0
        if v in (1, 2):
            method = int.from_bytes(data[at:at + 2], "big") & 15
            at += 2
        at += 2
        base = int.from_bytes(data[at:at + base_size], "big") if base_size else 0
        if method == 0 and base_size and base > meta:
            data[at:at + base_size] = (base + delta).to_bytes(base_size, "big")
        at += base_size
        extents = int.from_bytes(data[at:at + 2], "big")
        at += 2
        for _ in range(extents):
            at += index_size
            off = int.from_bytes(data[at:at + off_size], "big")
            if method == 0 and not base_size and off > meta:
                data[at:at + off_size] = (off + delta).to_bytes(off_size, "big")
            at += off_size + len_size
    open(dst, "wb").write(data)


main()
