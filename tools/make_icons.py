#!/usr/bin/env python3
"""Draws the program's icon, a padlock, as 16, 32 and 48 pixel PNG files in
res/icons/, and the same three images as the Windows icon
res/windows/program.ico. Pure Python (zlib only), so anyone can redraw it."""

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


def ico(images):
    """A Windows icon file of 32-bit images (colour with alpha), each with
    the AND mask older systems draw with; images: (size, rows) pairs."""
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = len(directory) + 16 * len(images)
    entries, bodies = b"", b""
    for size, rows in images:
        # Rows bottom-up, BGRA; the mask marks fully transparent pixels.
        colour, mask = b"", b""
        mask_stride = (size + 31) // 32 * 4
        for row in reversed(rows):
            pixels = [row[1 + 4 * x:5 + 4 * x] for x in range(size)]
            colour += b"".join(bytes((p[2], p[1], p[0], p[3])) for p in pixels)
            bits = 0
            for x, p in enumerate(pixels):
                if p[3] == 0:
                    bits |= 1 << (mask_stride * 8 - 1 - x)
            mask += bits.to_bytes(mask_stride, "big")
        header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0,
                             len(colour) + len(mask), 0, 0, 0, 0)
        body = header + colour + mask
        entries += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32,
                               len(body), offset + len(bodies))
        bodies += body
    return directory + entries + bodies


def main():
    folder = pathlib.Path(__file__).resolve().parent.parent / "res" / "icons"
    folder.mkdir(parents=True, exist_ok=True)
    images = []
    for size in SIZES:
        pixels = render(size)
        (folder / f"program-{size}.png").write_bytes(png(size, pixels))
        stride = 1 + 4 * size
        images.append((size, [pixels[y * stride:(y + 1) * stride]
                              for y in range(size)]))
    # Largest first, as Windows' own icons list them.
    (folder.parent / "windows" / "program.ico").write_bytes(
        ico(sorted(images, reverse=True)))


if __name__ == "__main__":
    main()
