#!/usr/bin/env python3
"""Draws the about box's picture, bitmap 103: a lit sphere over a checker
floor, rendered the way the filter renders, into 16 palette greys.

64 x 64 pixels, 4 bits per pixel, uncompressed, rows bottom-up, with the
16-level grey palette in its fixed order (index 0 is the lightest). Writes
the file named on the command line, by default about_picture.bmp beside
this script. The output is committed; rerun only to change the picture.
"""
import math
import os
import struct
import sys

SIZE = 64
LEVELS = [252, 246, 234, 215, 194, 173, 154, 133, 111, 90, 70, 50, 31, 16, 6, 0]
BAYER4 = [[0, 8, 2, 10], [12, 4, 14, 6], [3, 11, 1, 9], [15, 7, 13, 5]]


def brightness(x, y):
    """Light in 0..1 at pixel centre (x, y), y downwards."""
    cx, cy, r = 30.0, 28.0, 21.0
    dx, dy = (x + 0.5 - cx) / r, (y + 0.5 - cy) / r
    d2 = dx * dx + dy * dy
    if d2 <= 1.0:
        dz = math.sqrt(1.0 - d2)
        lx, ly, lz = -0.5, -0.6, 0.62
        n = math.sqrt(lx * lx + ly * ly + lz * lz)
        diffuse = max(0.0, (dx * lx + dy * ly + dz * lz) / n)
        highlight = diffuse ** 24
        return min(1.0, 0.12 + 0.75 * diffuse + 0.5 * highlight)
    if y >= 44:  # floor: checker fading into the distance, shadow under the sphere
        depth = (y - 43) / 20.0
        u = (x - 32) / (0.4 + depth) / 6.0
        v = 1.0 / (0.05 + depth)
        check = (math.floor(u) + math.floor(v)) % 2
        base = 0.35 + 0.35 * check * depth
        sx, sy = (x - 34) / 20.0, (y - 50) / 5.0
        shadow = max(0.0, 1.0 - (sx * sx + sy * sy))
        return base * (1.0 - 0.8 * shadow)
    return 0.93 - 0.25 * (y / 44.0)  # sky, darker towards the horizon


def index_at(x, y):
    """Ordered dithering between neighbouring greys; index 0 is white."""
    level = (1.0 - brightness(x, y)) * 15.0
    threshold = (BAYER4[y % 4][x % 4] + 0.5) / 16.0
    return min(15, int(level) + (1 if level - int(level) > threshold else 0))


def bitmap_bytes():
    palette = b"".join(bytes((v, v, v, 0)) for v in LEVELS)
    row_bytes = SIZE // 2
    pixels = bytearray()
    for y in reversed(range(SIZE)):  # bottom-up
        for x in range(0, SIZE, 2):
            pixels.append(index_at(x, y) << 4 | index_at(x + 1, y))
    offset = 14 + 40 + len(palette)
    info = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE, 1, 4, 0, row_bytes * SIZE,
                       2835, 2835, 16, 16)
    head = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return head + info + palette + bytes(pixels)


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "about_picture.bmp")
    with open(out, "wb") as f:
        f.write(bitmap_bytes())
