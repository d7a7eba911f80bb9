#!/usr/bin/env python3
"""Draws the program's icon, a padlock, as 16, 32 and 48 pixel PNG files in
res/icons/. Pure Python (zlib only), so anyone can redraw it."""

import math
import pathlib
import struct
import zlib

SIZES = (16, 32, 48)
SUPERSAMPLE = 4
BODY = (0x2E, 0x6D, 0xB4)     # blue lock body
SHACKLE = (0x8A, 0x94, 0xA0)  # grey shackle
HOLE = (0xF2, 0xF2, 0xF2)     # keyhole


def colour_at(x, y):
    """The colour at a point of the unit square, or None where transparent."""
    # Keyhole: a circle and a slot in the body.
    if math.hypot(x - 0.5, y - 0.64) < 0.075 or (
            abs(x - 0.5) < 0.035 and 0.64 < y < 0.80):
        return HOLE
    # Body: a rounded rectangle.
    left, top, right, bottom, radius = 0.16, 0.44, 0.84, 0.94, 0.08
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    if left <= x <= right and top <= y <= bottom and \
            math.hypot(x - cx, y - cy) <= radius:
        return BODY
    # Shackle: the upper half of a ring, with straight legs down to the body.
    ring = math.hypot(x - 0.5, y - 0.34)
    if y <= 0.34 and 0.17 <= ring <= 0.27:
        return SHACKLE
    if 0.34 < y < 0.46 and (0.23 <= x <= 0.33 or 0.67 <= x <= 0.77):
        return SHACKLE
    return None


def render(size):
    rows = []
    n = SUPERSAMPLE
    for py in range(size):
        row = bytearray([0])  # filter type: none
        for px in range(size):
            r = g = b = a = 0
            for sy in range(n):
                for sx in range(n):
                    c = colour_at((px + (sx + 0.5) / n) / size,
                                  (py + (sy + 0.5) / n) / size)
                    if c:
                        r, g, b, a = r + c[0], g + c[1], b + c[2], a + 1
            if a:
                row += bytes((r // a, g // a, b // a, 255 * a // (n * n)))
            else:
                row += bytes(4)
        rows.append(bytes(row))
    return b"".join(rows)


def png(size, pixels):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(
            ">I", zlib.crc32(body) & 0xFFFFFFFF)
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(pixels, 9)) + chunk(b"IEND", b""))


def main():
    folder = pathlib.Path(__file__).resolve().parent.parent / "res" / "icons"
    folder.mkdir(parents=True, exist_ok=True)
    for size in SIZES:
        (folder / f"program-{size}.png").write_bytes(png(size, render(size)))


if __name__ == "__main__":
    main()
