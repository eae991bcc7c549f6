#!/usr/bin/env python3
"""Writes resources/texture.bmp, the scene texture: a 64 x 64 rounded, lit
bead with a faint segmented shell, so that textured ants look like small
glossy bodies. The image is committed; this script is how it was made."""
import math
import os
import struct

SIZE = 64


def shade(x, y):
    # Centre of the cell, radius 1 at the edge.
    dx = (x + 0.5) / SIZE * 2.0 - 1.0
    dy = (y + 0.5) / SIZE * 2.0 - 1.0
    r = math.hypot(dx, dy)
    if r >= 1.0:
        return (40, 30, 25)  # dark rim between neighbouring cells
    # Sphere normal and a light from the upper left.
    nz = math.sqrt(1.0 - r * r)
    light = max(0.0, (-0.45 * dx - 0.55 * dy + 0.70 * nz))
    highlight = max(0.0, light) ** 24
    # Three shell segments across the body.
    segment = 0.85 + 0.15 * math.cos(dy * math.pi * 3.0)
    base = (0.25 + 0.75 * light) * segment
    red = min(255, int(200 * base + 255 * highlight))
    green = min(255, int(150 * base + 255 * highlight))
    blue = min(255, int(110 * base + 255 * highlight))
    return (red, green, blue)


def main():
    row_bytes = SIZE * 3  # already a multiple of 4
    pixels = bytearray()
    for y in range(SIZE - 1, -1, -1):  # BMP rows run bottom-up
        for x in range(SIZE):
            r, g, b = shade(x, y)
            pixels += bytes((b, g, r))
    header_size = 14 + 40
    file_size = header_size + len(pixels)
    target = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources",
                          "texture.bmp")
    with open(target, "wb") as out:
        out.write(b"BM" + struct.pack("<IHHI", file_size, 0, 0, header_size))
        out.write(struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE, 1, 24, 0, row_bytes * SIZE,
                              2835, 2835, 0, 0))
        out.write(pixels)


if __name__ == "__main__":
    main()
