#!/usr/bin/env python3
"""Draws the application icon and writes it as a Windows .ico file.

Usage: make_icon.py OUTPUT.ico

The icon is a blue rounded square with a white downward arrow over a bar: "an update lands".
It holds six images, 48, 32 and 16 pixels square, each once with a 256-colour palette and once
with 32 bits per pixel (straight alpha). Every image is an uncompressed device-independent
bitmap with its AND mask, never PNG, so that every version of Windows and Wine can draw it.
Python 3 standard library only; the output is the same byte for byte on every run.
"""

import struct
import sys

SIZES = (48, 32, 16)
SUPERSAMPLE = 4  # samples per pixel along each axis, for smooth edges

TOP = (0x3C, 0x8D, 0xDE)      # the square's colour at its top edge
BOTTOM = (0x17, 0x4E, 0xA6)   # ... and at its bottom edge
WHITE = (0xFF, 0xFF, 0xFF)


def inside_rounded_square(x, y):
    """True when (x, y), in units of the icon's width (0..1), lies on the rounded square."""
    margin, radius = 0.04, 0.2
    lo, hi = margin + radius, 1.0 - margin - radius
    cx = min(max(x, lo), hi)
    cy = min(max(y, lo), hi)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius


def inside_arrow(x, y):
    """True when (x, y) lies on the white arrow (shaft, head) or on the bar below it."""
    shaft = 0.42 <= x <= 0.58 and 0.18 <= y <= 0.50
    head = 0.46 <= y <= 0.70 and abs(x - 0.5) <= (0.70 - y) * 1.05
    bar = 0.22 <= x <= 0.78 and 0.74 <= y <= 0.82
    return shaft or head or bar


def render(size):
    """The image as rows of (r, g, b, a), top row first, a in 0..255."""
    pixels = []
    n = SUPERSAMPLE
    for py in range(size):
        row = []
        for px in range(size):
            square = arrow = 0
            for sy in range(n):
                for sx in range(n):
                    x = (px + (sx + 0.5) / n) / size
                    y = (py + (sy + 0.5) / n) / size
                    if inside_rounded_square(x, y):
                        square += 1
                        if inside_arrow(x, y):
                            arrow += 1
            total = n * n
            alpha = round(255 * square / total)
            if square == 0:
                row.append((0, 0, 0, 0))
                continue
            t = py / max(size - 1, 1)
            base = tuple(round(a + (b - a) * t) for a, b in zip(TOP, BOTTOM))
            w = arrow / square
            colour = tuple(round(c + (255 - c) * w) for c in base)
            row.append(colour + (alpha,))
        pixels.append(row)
    return pixels


def palette_256():
    """A fixed 256-colour palette: a 6x6x6 colour cube, then 40 steps of the square's gradient."""
    colours = [(r * 51, g * 51, b * 51) for r in range(6) for g in range(6) for b in range(6)]
    colours += [tuple(round(a + (b - a) * i / 39) for a, b in zip(TOP, BOTTOM)) for i in range(40)]
    return colours


def nearest(colour, palette, cache):
    if colour not in cache:
        cache[colour] = min(range(len(palette)),
                            key=lambda i: sum((a - b) ** 2 for a, b in zip(colour, palette[i])))
    return cache[colour]


def and_mask(pixels):
    """The 1-bit mask (1 = transparent), bottom row first, rows padded to 32 bits."""
    size = len(pixels)
    stride = ((size + 31) // 32) * 4
    out = bytearray()
    for row in reversed(pixels):
        bits = bytearray(stride)
        for x, (_, _, _, a) in enumerate(row):
            if a < 128:
                bits[x // 8] |= 0x80 >> (x % 8)
        out += bits
    return bytes(out)


def bitmap_header(size, bpp, colours_used):
    # The height counts the colour bitmap and the AND mask together.
    return struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bpp, 0, 0, 0, 0, colours_used, 0)


def image_32(pixels):
    size = len(pixels)
    data = bytearray(bitmap_header(size, 32, 0))
    for row in reversed(pixels):
        for r, g, b, a in row:
            data += bytes((b, g, r, a))
    return bytes(data) + and_mask(pixels)


def image_8(pixels):
    size = len(pixels)
    palette = palette_256()
    data = bytearray(bitmap_header(size, 8, 256))
    for r, g, b in palette:
        data += bytes((b, g, r, 0))
    cache = {}
    stride = (size + 3) // 4 * 4
    for row in reversed(pixels):
        line = bytearray(stride)
        for x, (r, g, b, a) in enumerate(row):
            # Edge pixels become opaque square colour or transparent; no blending at 8 bits.
            line[x] = nearest((r, g, b), palette, cache) if a >= 128 else 0
        data += line
    return bytes(data) + and_mask(pixels)


def build_ico():
    images = []
    for size in SIZES:
        pixels = render(size)
        images.append((size, 8, image_8(pixels)))
        images.append((size, 32, image_32(pixels)))
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    directory = bytearray()
    blobs = bytearray()
    for size, bpp, blob in images:
        colour_count = 0  # 0 = 256 or more colours
        directory += struct.pack("<BBBBHHII", size, size, colour_count, 0, 1, bpp, len(blob), offset)
        offset += len(blob)
        blobs += blob
    return header + bytes(directory) + bytes(blobs)


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: make_icon.py OUTPUT.ico\n")
        return 2
    with open(argv[1], "wb") as f:
        f.write(build_ico())
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
