#!/usr/bin/env python3
"""Writes the program's icon (resource 100): a drawing sheet with a title
block and a circle, at 16 by 16 and 32 by 32 pixels, 32 bits with alpha.
Usage: make_icon.py OUT.ico"""
import struct
import sys

PAPER = (255, 255, 255, 255)
INK = (40, 40, 40, 255)
ACCENT = (30, 90, 180, 255)
NONE = (0, 0, 0, 0)


def draw(size):
    """Rows top to bottom of (r, g, b, a) pixels."""
    s = size / 32.0
    left, top, right, bottom = round(4 * s), round(2 * s), round(27 * s), round(29 * s)
    pixels = [[NONE] * size for _ in range(size)]
    for y in range(top, bottom + 1):
        for x in range(left, right + 1):
            edge = x in (left, right) or y in (top, bottom)
            pixels[y][x] = INK if edge else PAPER
    # The title block in the lower right corner.
    block_top, block_left = round(23 * s), round(16 * s)
    for y in range(block_top, bottom + 1):
        for x in range(block_left, right + 1):
            if y == block_top or x == block_left:
                pixels[y][x] = INK
    # A circle with its centre lines.
    cx, cy, r = 13 * s, 12 * s, 6 * s
    for y in range(size):
        for x in range(size):
            d = ((x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2) ** 0.5
            if abs(d - r) < 0.75 and pixels[y][x] == PAPER:
                pixels[y][x] = ACCENT
    for x in range(left + 1, right):
        if pixels[round(cy)][x] == PAPER:
            pixels[round(cy)][x] = ACCENT
    for y in range(top + 1, block_top):
        if pixels[y][round(cx)] == PAPER:
            pixels[y][round(cx)] = ACCENT
    return pixels


def image_bytes(size):
    rows = draw(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    mask_row = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_row)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + colour + bytes(mask)


def main():
    sizes = (16, 32)
    images = [image_bytes(size) for size in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for size, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(sys.argv[1], "wb") as f:
        f.write(out + b"".join(images))


if __name__ == "__main__":
    main()
