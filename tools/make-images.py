#!/usr/bin/env python3
"""Draws the images compiled into the setup program and writes them to resources/images/.

logo.png   256 x 256  product mark: a warm, segmented globe with two pointed ears
check.png  512 x 512  white check mark on a green disc (finish pages)
cross.png  512 x 512  white cross on a red disc (error page)
app.ico    the mark at 16, 32, 48 (32-bit DIB entries) and 256 pixels (PNG entry)

Standard library only. Shapes are signed distance functions evaluated once per pixel
centre; the distance in pixels gives analytic edge coverage, so small icon sizes are
drawn from the vector shapes instead of being scaled down from the large logo.

Usage: make-images.py [output-folder]
"""

import math
import os
import struct
import sys
import zlib


# ---------------------------------------------------------------------------
# Output formats

def png_bytes(size, rows):
    """rows: list of bytearrays, size * 4 bytes each, straight (not premultiplied) RGBA."""
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    raw = bytearray()
    for row in rows:
        raw.append(0)  # filter: none; the flat areas compress well without one
        raw += row
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def dib_icon_entry(size, rows):
    """32-bit BGRA icon image with its AND mask, bottom-up, as the loaders of every Windows
    version and Wine read it; used for the small sizes instead of PNG."""
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    mask = bytearray()
    mask_stride = ((size + 31) // 32) * 4
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x in range(size):
            r, g, b, a = row[4 * x:4 * x + 4]
            pixels += bytes((b, g, r, a))
            if a == 0:
                bits[x >> 3] |= 0x80 >> (x & 7)
        mask += bits
    return info + bytes(pixels) + bytes(mask)


def ico_bytes(images):
    """images: list of (size, entry bytes, bit count)."""
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    directory = bytearray()
    data = bytearray()
    for size, entry, bits in images:
        dim = 0 if size >= 256 else size
        directory += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, bits, len(entry), offset + len(data))
        data += entry
    return header + bytes(directory) + bytes(data)


# ---------------------------------------------------------------------------
# Geometry (all distances in design units; negative inside)

def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)
    t = 0.0 if t < 0.0 else 1.0 if t > 1.0 else t
    return math.hypot(px - ax - t * dx, py - ay - t * dy)


def triangle_distance(px, py, tri):
    (x0, y0), (x1, y1), (x2, y2) = tri
    best = None
    inside = True
    sign = 1.0 if (x1 - x0) * (y2 - y0) - (y1 - y0) * (x2 - x0) > 0 else -1.0
    for (ax, ay), (bx, by) in (((x0, y0), (x1, y1)), ((x1, y1), (x2, y2)), ((x2, y2), (x0, y0))):
        d = segment_distance(px, py, ax, ay, bx, by)
        best = d if best is None or d < best else best
        if sign * ((bx - ax) * (py - ay) - (by - ay) * (px - ax)) < 0:
            inside = False
    return -best if inside else best


def lerp_colour(c0, c1, t):
    t = 0.0 if t < 0.0 else 1.0 if t > 1.0 else t
    return tuple(int(round(a + (b - a) * t)) for a, b in zip(c0, c1))


def coverage(distance_px):
    c = 0.5 - distance_px
    return 0.0 if c <= 0.0 else 1.0 if c >= 1.0 else c


# ---------------------------------------------------------------------------
# Product mark, designed on a 256-unit square

GLOBE_X, GLOBE_Y, GLOBE_R = 128.0, 148.0, 92.0
GAP = 7.0
LOGO_TOP = (255, 200, 64)
LOGO_BOTTOM = (228, 62, 38)
LOGO_TOP_Y, LOGO_BOTTOM_Y = 16.0, 240.0


def _meridian(side):
    # A circle through the globe's poles whose arc bows towards `side`.
    bulge = 0.42 * GLOBE_R
    radius = (GLOBE_R * GLOBE_R / bulge + bulge) / 2
    return GLOBE_X - side * (radius - bulge), GLOBE_Y, radius


def _latitude(y_mid, sag):
    # A wide arc through (GLOBE_X, y_mid) that rises towards the rim.
    radius = GLOBE_R * sag
    return GLOBE_X, y_mid - radius, radius


GLOBE_LINES = [_meridian(-1), _meridian(1),
               _latitude(GLOBE_Y - 0.42 * GLOBE_R, 3.2), _latitude(GLOBE_Y + 0.18 * GLOBE_R, 3.2)]
EAR_ROUND = 10.0
EARS = [((118.0, 80.0), (54.0, 120.0), (40.0, 24.0)), ((138.0, 80.0), (216.0, 24.0), (202.0, 120.0))]
EAR_BOX = (min(x for ear in EARS for x, _ in ear) - EAR_ROUND - 1, min(y for ear in EARS for _, y in ear) - EAR_ROUND - 1,
           max(x for ear in EARS for x, _ in ear) + EAR_ROUND + 1, max(y for ear in EARS for _, y in ear) + EAR_ROUND + 1)


def logo_distance(x, y, scale):
    """Signed distance to the mark at (x, y); `scale` is design units per pixel."""
    dg = math.hypot(x - GLOBE_X, y - GLOBE_Y) - GLOBE_R
    d = dg
    # Below 32 pixels the grid would only smear the disc. Beyond the rim's half-pixel
    # edge band the cuts cannot change the coverage.
    if scale <= 8.0 and dg < scale / 2:
        # The globe's grid is cut out of the disc as thin transparent lines.
        for cx, cy, r in GLOBE_LINES:
            gap = GAP / 2 - abs(math.hypot(x - cx, y - cy) - r)
            if gap > d:
                d = gap
    x0, y0, x1, y1 = EAR_BOX
    if x0 <= x <= x1 and y0 <= y <= y1:
        # Ears stand just off the globe, separated by the same gap.
        apart = -(dg - GAP)
        for ear in EARS:
            de = max(triangle_distance(x, y, ear) - EAR_ROUND, apart)
            if de < d:
                d = de
    return d


def draw_logo(size):
    scale = 256.0 / size
    rows = []
    for j in range(size):
        y = (j + 0.5) * scale
        r, g, b = lerp_colour(LOGO_TOP, LOGO_BOTTOM, (y - LOGO_TOP_Y) / (LOGO_BOTTOM_Y - LOGO_TOP_Y))
        row = bytearray(size * 4)
        for i in range(size):
            a = coverage(logo_distance((i + 0.5) * scale, y, scale) / scale)
            if a > 0.0:
                row[4 * i:4 * i + 4] = bytes((r, g, b, int(round(a * 255))))
        rows.append(row)
    return rows


# ---------------------------------------------------------------------------
# Status badges: a white stroked mark on a shaded disc, designed on a 512-unit square

def draw_badge(size, top, bottom, strokes, stroke_width):
    scale = 512.0 / size
    centre, radius = 256.0, 250.0
    half = stroke_width / 2
    box = (min(min(s[0], s[2]) for s in strokes) - half - 2, min(min(s[1], s[3]) for s in strokes) - half - 2,
           max(max(s[0], s[2]) for s in strokes) + half + 2, max(max(s[1], s[3]) for s in strokes) + half + 2)
    rows = []
    for j in range(size):
        y = (j + 0.5) * scale
        disc = lerp_colour(top, bottom, (y - centre + radius) / (2 * radius))
        row = bytearray(size * 4)
        dy = y - centre
        reach = radius + 2 * scale
        if abs(dy) < reach:
            # Only the pixels of this row that can touch the disc are visited.
            span = math.sqrt(reach * reach - dy * dy)
            first = max(0, int((centre - span) / scale))
            last = min(size, int((centre + span) / scale) + 1)
            in_box = box[1] <= y <= box[3]
            for i in range(first, last):
                x = (i + 0.5) * scale
                a = coverage((math.hypot(x - centre, dy) - radius) / scale)
                if a <= 0.0:
                    continue
                colour = disc
                if in_box and box[0] <= x <= box[2]:
                    d = min(segment_distance(x, y, *s) for s in strokes) - half
                    m = coverage(d / scale)
                    if m > 0.0:
                        colour = lerp_colour(disc, (255, 255, 255), m)
                row[4 * i:4 * i + 4] = bytes(colour + (int(round(a * 255)),))
        rows.append(row)
    return rows


CHECK_STROKES = [(148.0, 268.0, 222.0, 342.0), (222.0, 342.0, 368.0, 180.0)]
CROSS_STROKES = [(176.0, 176.0, 336.0, 336.0), (336.0, 176.0, 176.0, 336.0)]


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "resources", "images")
    os.makedirs(out, exist_ok=True)

    def write(name, data):
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)

    logo = png_bytes(256, draw_logo(256))
    write("logo.png", logo)
    write("check.png", png_bytes(512, draw_badge(512, (92, 196, 88), (40, 150, 62), CHECK_STROKES, 56.0)))
    write("cross.png", png_bytes(512, draw_badge(512, (240, 86, 74), (200, 40, 40), CROSS_STROKES, 56.0)))
    icons = [(s, dib_icon_entry(s, draw_logo(s)), 32) for s in (16, 32, 48)]
    icons.append((256, logo, 32))
    write("app.ico", ico_bytes(icons))


if __name__ == "__main__":
    main()
