#!/usr/bin/env python3
"""Draws the launcher's icon (a rounded tile with three menu lines) and
writes it as a Windows icon file with 16x16 and 32x32 images in 32-bit
colour.  Usage: make_icon.py OUT.ico"""
import struct
import sys


def pixel(size, x, y):
    """BGRA of one pixel of the icon at the given size."""
    r = size / 6.0  # corner radius
    cx = min(max(x + 0.5, r), size - r)
    cy = min(max(y + 0.5, r), size - r)
    if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 > r * r:
        return (0, 0, 0, 0)  # outside the rounded tile: transparent
    unit = size / 16.0
    for row in (4, 7.5, 11):  # three menu lines
        if row * unit <= y < (row + 1.5) * unit and 3 * unit <= x < 13 * unit:
            return (255, 255, 255, 255)
    shade = int(40 * y / size)
    return (150 - shade, 110 - shade, 20, 255)  # teal, darker towards the bottom


def image(size):
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = []
    for y in range(size - 1, -1, -1):  # bottom-up
        rows.append(b"".join(bytes(pixel(size, x, y)) for x in range(size)))
    mask_row = ((size + 31) // 32) * 4
    return header + b"".join(rows) + bytes(mask_row * size)


def main():
    sizes = (16, 32)
    images = [image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(sys.argv[1], "wb") as f:
        f.write(out + b"".join(images))


if __name__ == "__main__":
    main()
