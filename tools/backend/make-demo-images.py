#!/usr/bin/env python3
"""Writes the demo offer images (demo/offer1.png ...) and the product logo of the DLM demo
(demo/product-logo.png), standard library only.

Flat colours and a big digit, so each PNG stays at a few KB. The size matches
the offer picture of the product page (312 x 160 dialog units at 96 DPI).
"""
import os
import struct
import zlib

W, H = 468, 260
DIGITS = {   # 5 x 7 bitmaps
    "1": ["00100", "01100", "00100", "00100", "00100", "00100", "01110"],
    "2": ["01110", "10001", "00001", "00010", "00100", "01000", "11111"],
    "3": ["11110", "00001", "00001", "01110", "00001", "00001", "11110"],
}
OFFERS = [("offer1.png", "1", (38, 110, 190)), ("offer2.png", "2", (200, 90, 40)),
          ("offer3.png", "3", (60, 150, 80))]


def png(rows):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    raw = b"".join(b"\x00" + bytes(r) for r in rows)
    width, height = len(rows[0]) // 3, len(rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def image(digit, colour):
    light = tuple(min(255, c + (255 - c) * 3 // 5) for c in colour)
    scale, gx, gy = 20, 60, 60
    cx, cy, radius = 340, 130, 80
    rows = []
    for y in range(H):
        row = bytearray()
        for x in range(W):
            c = colour if 40 <= y < H - 40 else light
            if (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2:
                c = (255, 255, 255)
            dx, dy = (x - gx) // scale, (y - gy) // scale
            if x >= gx and y >= gy and dx < 5 and dy < 7 and DIGITS[digit][dy][dx] == "1":
                c = (255, 255, 255)
            row += bytes(c)
        rows.append(row)
    return png(rows)


def logo(size=96, colour=(127, 188, 66)):
    """A white ring on the accent colour."""
    centre, outer, inner = size / 2 - 0.5, size * 0.36, size * 0.22
    rows = []
    for y in range(size):
        row = bytearray()
        for x in range(size):
            d = (x - centre) ** 2 + (y - centre) ** 2
            row += bytes((255, 255, 255) if inner ** 2 <= d <= outer ** 2 else colour)
        rows.append(row)
    return png(rows)


if __name__ == "__main__":
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "demo")
    os.makedirs(out, exist_ok=True)
    for name, digit, colour in OFFERS:
        with open(os.path.join(out, name), "wb") as f:
            f.write(image(digit, colour))
    with open(os.path.join(out, "product-logo.png"), "wb") as f:
        f.write(logo())
