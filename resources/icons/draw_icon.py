#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Draws the Ravelkin icon at 32, 48, 64 and 128 pixels as PNG files beside this script.

A deep blue rounded square with a target ring and a white pointer arrow aiming at it.
Drawn with 4x4 supersampling so the small sizes stay clean. Standard library only.
"""
import os
import struct
import zlib

BLUE_TOP = (32, 78, 160)
BLUE_BOTTOM = (18, 44, 104)
RING = (255, 196, 40)
ARROW = (255, 255, 255)
OUTLINE = (10, 20, 50)


def inside_rounded_square(x, y, r):
    cx = min(max(x, r), 1 - r)
    cy = min(max(y, r), 1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def inside_triangle(px, py, a, b, c):
    def side(p1, p2):
        return (px - p2[0]) * (p1[1] - p2[1]) - (p1[0] - p2[0]) * (py - p2[1])
    d1, d2, d3 = side(a, b), side(b, c), side(c, a)
    neg = d1 < 0 or d2 < 0 or d3 < 0
    pos = d1 > 0 or d2 > 0 or d3 > 0
    return not (neg and pos)


def inside_arrow(x, y, grow=0.0):
    # Pointer: a triangle head and a short shaft, tip at (0.30, 0.26).
    tip = (0.30 - grow, 0.26 - grow * 1.6)
    head = inside_triangle(x, y, tip, (0.30 - grow, 0.74 + grow), (0.66 + grow * 1.6, 0.56 + grow))
    # Shaft from the head's lower edge, slanting down to the right.
    sx, sy = x - 0.46, y - 0.62
    ux, uy = 0.55, 0.83
    along = sx * ux + sy * uy
    across = abs(-sx * uy + sy * ux)
    shaft = -0.02 <= along <= 0.22 + grow and across <= 0.055 + grow
    return head or shaft


def pixel(x, y):
    if not inside_rounded_square(x, y, 0.2):
        return None
    t = y
    color = tuple(int(BLUE_TOP[i] * (1 - t) + BLUE_BOTTOM[i] * t) for i in range(3))
    d = ((x - 0.33) ** 2 + (y - 0.30) ** 2) ** 0.5
    if 0.13 <= d <= 0.19:
        color = RING
    if inside_arrow(x, y, 0.035):
        color = OUTLINE
    if inside_arrow(x, y):
        color = ARROW
    return color


def draw(size, samples=4):
    rows = []
    for py in range(size):
        row = bytearray()
        for px in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(samples):
                for sx in range(samples):
                    c = pixel((px + (sx + 0.5) / samples) / size, (py + (sy + 0.5) / samples) / size)
                    if c is not None:
                        acc[0] += c[0]
                        acc[1] += c[1]
                        acc[2] += c[2]
                        acc[3] += 1
            n = samples * samples
            if acc[3]:
                row += bytes([acc[0] // acc[3], acc[1] // acc[3], acc[2] // acc[3], 255 * acc[3] // n])
            else:
                row += bytes([0, 0, 0, 0])
        rows.append(bytes(row))
    return rows


def write_png(path, size, rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)
    raw = b"".join(b"\x00" + r for r in rows)
    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    for size in (32, 48, 64, 128):
        write_png(os.path.join(here, f"ravelkin-{size}.png"), size, draw(size))
