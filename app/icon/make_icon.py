#!/usr/bin/env python3
"""Draws the program's icon, a white pawn on a dark green board square with a
gold corner, and writes it as velkaro.ico with 16, 32 and 48 pixel images."""

import struct
import sys

SIZES = (16, 32, 48)
SUPERSAMPLE = 8

GREEN = (0x2E, 0x6B, 0x4F)
GOLD = (0xE8, 0xB8, 0x4A)
WHITE = (0xFA, 0xF7, 0xF0)
OUTLINE = (0x1B, 0x2B, 0x24)


def inside_rounded_square(x, y):
    r = 0.18
    cx = min(max(x, r), 1 - r)
    cy = min(max(y, r), 1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def inside_pawn(x, y, grow=0.0):
    head = (x - 0.5) ** 2 + (y - 0.30) ** 2 <= (0.12 + grow) ** 2
    # The body widens from the neck to the base.
    body = False
    if 0.38 - grow <= y <= 0.74 + grow:
        t = (y - 0.38) / 0.36
        half = 0.07 + 0.13 * max(0.0, min(1.0, t)) ** 1.6 + grow
        body = abs(x - 0.5) <= half
    collar = 0.40 - grow <= y <= 0.46 + grow and abs(x - 0.5) <= 0.16 + grow
    base = 0.74 - grow <= y <= 0.84 + grow and abs(x - 0.5) <= 0.27 + grow
    return head or body or collar or base


def colour_at(x, y):
    if not inside_rounded_square(x, y):
        return None
    if inside_pawn(x, y):
        return WHITE
    if inside_pawn(x, y, grow=0.035):
        return OUTLINE
    if x + y < 0.42:
        return GOLD
    return GREEN


def render(size):
    pixels = []
    n = SUPERSAMPLE
    for row in range(size):
        line = []
        for col in range(size):
            r = g = b = a = 0
            for sy in range(n):
                for sx in range(n):
                    c = colour_at((col + (sx + 0.5) / n) / size, (row + (sy + 0.5) / n) / size)
                    if c is not None:
                        r += c[0]
                        g += c[1]
                        b += c[2]
                        a += 1
            if a:
                line.append((r // a, g // a, b // a, 255 * a // (n * n)))
            else:
                line.append((0, 0, 0, 0))
        pixels.append(line)
    return pixels


def bitmap(size, pixels):
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b"".join(
        struct.pack("BBBB", b, g, r, a) for line in reversed(pixels) for (r, g, b, a) in line
    )
    mask_row = ((size + 31) // 32) * 4
    mask = bytearray()
    for line in reversed(pixels):
        bits = bytearray(mask_row)
        for col, (_, _, _, a) in enumerate(line):
            if a == 0:
                bits[col // 8] |= 0x80 >> (col % 8)
        mask += bits
    return header + colour + bytes(mask)


def main(path):
    images = [bitmap(s, render(s)) for s in SIZES]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(SIZES, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "velkaro.ico")
