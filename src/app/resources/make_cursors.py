#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Draws the two freehand cursors as 32 x 32 one-bit XBM pictures with
their masks (cursors/<name>.xbm and cursors/<name>_mask.xbm).

EYEDROP: an eyedropper in black with a white inside, its tip at the lower
left (hotspot 1, 30). YUAN: a black circle outline whose 32 x 31 box starts
at the top-left corner (hotspot 0, 0); the rest is transparent.

In the picture a set bit is black; in the mask a set bit is opaque.
Run it again after changing a drawing; the window reads the XBM files.
"""
import math
import os

SIZE = 32


def write_xbm(path, name, bits):
    data = []
    for y in range(SIZE):
        for byte in range(SIZE // 8):
            v = 0
            for b in range(8):
                if bits[y][byte * 8 + b]:
                    v |= 1 << b
            data.append("0x%02x" % v)
    lines = [", ".join(data[i:i + 12]) for i in range(0, len(data), 12)]
    with open(path, "w") as f:
        f.write("#define %s_width %d\n#define %s_height %d\n" % (name, SIZE, name, SIZE))
        f.write("static unsigned char %s_bits[] = {\n   %s };\n" % (name, ",\n   ".join(lines)))


def empty():
    return [[False] * SIZE for _ in range(SIZE)]


def seg_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy)), t


def eyedrop():
    black, mask = empty(), empty()
    tip = (1.5, 30.5)
    top = (21.0, 11.0)
    for y in range(SIZE):
        for x in range(SIZE):
            cx, cy = x + 0.5, y + 0.5
            d, t = seg_distance(cx, cy, tip[0], tip[1], top[0], top[1])
            # The glass tube widens from the tip to a radius of 3.
            r = 0.8 + 2.4 * min(1.0, t * 2.2)
            if d <= r:
                mask[y][x] = True
                black[y][x] = d > r - 1.05 or t < 0.06
            # The rubber bulb at the top right, solid black.
            if math.hypot(cx - 25.0, cy - 7.0) <= 5.2:
                mask[y][x] = black[y][x] = True
            # The collar between tube and bulb.
            dc, _ = seg_distance(cx, cy, 17.5, 10.0, 22.0, 14.5)
            if dc <= 1.3:
                mask[y][x] = black[y][x] = True
    return black, mask


def yuan():
    black, mask = empty(), empty()
    rx, ry = 16.0, 15.5
    ox, oy = 16.0, 15.5

    def inside(x, y):
        if x < 0 or y < 0 or x >= SIZE or y >= 31:
            return False
        return ((x + 0.5 - ox) / rx) ** 2 + ((y + 0.5 - oy) / ry) ** 2 <= 1.0

    for y in range(SIZE):
        for x in range(SIZE):
            if inside(x, y) and not all(inside(x + dx, y + dy) for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1))):
                black[y][x] = mask[y][x] = True
    return black, mask


def main():
    here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "cursors")
    os.makedirs(here, exist_ok=True)
    for name, (black, mask) in (("eyedrop", eyedrop()), ("yuan", yuan())):
        write_xbm(os.path.join(here, name + ".xbm"), name, black)
        write_xbm(os.path.join(here, name + "_mask.xbm"), name + "_mask", mask)


if __name__ == "__main__":
    main()
