#!/usr/bin/env python3
"""Draws the installer's program icon and writes it as a Windows .ico file.

The icon is a blue rounded tile with a white arrow pointing down onto a bar:
"put this onto the machine". Five images: 48, 32 and 16 pixels with an alpha
channel (32-bit), 32 and 16 pixels with a 256-colour palette (8-bit) for
displays and tools that want no alpha. Plain Python, no imaging library; the
output depends on nothing but this file, so it is byte-for-byte reproducible.

    scripts/make-icon.py resources/setup.ico
    scripts/make-icon.py --small resources/uninst.ico

--small leaves out the 48-pixel image (about 9 KB), for the uninstaller, which
has a size budget of its own and never shows in a large view.
"""

import struct
import sys

SAMPLES = 8  # supersamples per pixel and axis, for smooth edges

TILE_TOP = (86, 156, 236)
TILE_BOTTOM = (28, 84, 178)
TILE_EDGE = (16, 52, 120)
GLYPH = (255, 255, 255)


def rounded_box_distance(x, y, left, top, right, bottom, radius):
    """Signed distance from (x, y) to a rounded rectangle; negative inside."""
    cx, cy = (left + right) / 2, (top + bottom) / 2
    qx = abs(x - cx) - ((right - left) / 2 - radius)
    qy = abs(y - cy) - ((bottom - top) / 2 - radius)
    outside = (max(qx, 0.0) ** 2 + max(qy, 0.0) ** 2) ** 0.5
    return outside + min(max(qx, qy), 0.0) - radius


def inside_triangle(x, y, a, b, c):
    def side(p, q):
        return (q[0] - p[0]) * (y - p[1]) - (q[1] - p[1]) * (x - p[0])

    d1, d2, d3 = side(a, b), side(b, c), side(c, a)
    negative = d1 < 0 or d2 < 0 or d3 < 0
    positive = d1 > 0 or d2 > 0 or d3 > 0
    return not (negative and positive)


def in_rect(x, y, left, top, right, bottom):
    return left <= x <= right and top <= y <= bottom


def glyph(x, y, size):
    """The arrow and the bar, in unit coordinates; thicker at small sizes."""
    grow = 0.03 if size <= 16 else 0.0
    shaft = in_rect(x, y, 0.42 - grow, 0.18, 0.58 + grow, 0.50)
    head = inside_triangle(x, y, (0.22 - grow, 0.44), (0.78 + grow, 0.44), (0.50, 0.70 + grow))
    bar = in_rect(x, y, 0.22 - grow, 0.76 - grow, 0.78 + grow, 0.84 + grow)
    return shaft or head or bar


def sample(x, y, size):
    """Colour and alpha (0..1) of the point (x, y) in unit coordinates."""
    edge = 1.0 / size  # one pixel of outline at every size
    d = rounded_box_distance(x, y, 0.04, 0.04, 0.96, 0.96, 0.20)
    if d > 0:
        return (0, 0, 0), 0.0
    if glyph(x, y, size):
        return GLYPH, 1.0
    if d > -edge:
        return TILE_EDGE, 1.0
    t = (y - 0.04) / 0.92
    colour = tuple(round(a + (b - a) * t) for a, b in zip(TILE_TOP, TILE_BOTTOM))
    return colour, 1.0


def render(size):
    """Rows top to bottom of (r, g, b, a) with straight (not premultiplied) alpha."""
    rows = []
    n = SAMPLES * SAMPLES
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = a = 0.0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = (px + (sx + 0.5) / SAMPLES) / size
                    y = (py + (sy + 0.5) / SAMPLES) / size
                    colour, alpha = sample(x, y, size)
                    r += colour[0] * alpha
                    g += colour[1] * alpha
                    b += colour[2] * alpha
                    a += alpha
            if a == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append((round(r / a), round(g / a), round(b / a), round(255 * a / n)))
        rows.append(row)
    return rows


def and_mask(rows, opaque):
    """The 1-bit mask, bottom-up, rows padded to 32 bits; a set bit is transparent."""
    size = len(rows)
    stride = ((size + 31) // 32) * 4
    out = bytearray()
    for row in reversed(rows):
        line = bytearray(stride)
        for x, pixel in enumerate(row):
            if not opaque(pixel):
                line[x // 8] |= 0x80 >> (x % 8)
        out += line
    return bytes(out)


def bitmap_header(size, bits, image_bytes, colours):
    return struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, image_bytes, 0, 0, colours, 0)


def image_32bit(rows):
    size = len(rows)
    pixels = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            pixels += bytes((b, g, r, a))
    mask = and_mask(rows, lambda p: p[3] > 0)
    return bitmap_header(size, 32, len(pixels) + len(mask), 0) + bytes(pixels) + mask


def quantize(value):
    """To a multiple of 8, rounded, so white stays 255."""
    return min(255, (value + 4) & ~7)


def build_palette(images):
    """Up to 255 colours shared by the 8-bit images, most frequent first; index 0 is black for transparent pixels."""
    counts = {}
    for rows in images:
        for row in rows:
            for r, g, b, a in row:
                if a >= 128:
                    key = (quantize(r), quantize(g), quantize(b))
                    counts[key] = counts.get(key, 0) + 1
    ordered = sorted(counts, key=lambda c: (-counts[c], c))[:255]
    return [(0, 0, 0)] + ordered


def nearest(palette, colour, cache):
    if colour not in cache:
        best = min(range(1, len(palette)),
                   key=lambda i: sum((p - c) ** 2 for p, c in zip(palette[i], colour)))
        cache[colour] = best
    return cache[colour]


def image_8bit(rows, palette):
    size = len(rows)
    stride = (size + 3) // 4 * 4
    cache = {}
    pixels = bytearray()
    for row in reversed(rows):
        line = bytearray(stride)
        for x, (r, g, b, a) in enumerate(row):
            line[x] = nearest(palette, (r, g, b), cache) if a >= 128 else 0
        pixels += line
    table = bytearray()
    for i in range(256):
        r, g, b = palette[i] if i < len(palette) else (0, 0, 0)
        table += bytes((b, g, r, 0))
    mask = and_mask(rows, lambda p: p[3] >= 128)
    return bitmap_header(size, 8, len(pixels) + len(mask), 256) + bytes(table) + bytes(pixels) + mask


def icon_file(entries):
    """entries: (size, bits, image bytes) in directory order."""
    out = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    body = b""
    for size, bits, image in entries:
        colours = 0  # 0 means 256 colours or more
        out += struct.pack("<BBBBHHII", size % 256, size % 256, colours, 0, 1, bits, len(image), offset)
        offset += len(image)
        body += image
    return out + body


def main():
    small = len(sys.argv) == 3 and sys.argv[1] == "--small"
    if len(sys.argv) != 2 and not small:
        sys.exit("usage: make-icon.py [--small] OUTPUT.ico")
    rendered = {size: render(size) for size in (16, 32, 48)}
    palette = build_palette([rendered[32], rendered[16]])
    entries = [
        (48, 32, image_32bit(rendered[48])),
        (32, 32, image_32bit(rendered[32])),
        (16, 32, image_32bit(rendered[16])),
        (32, 8, image_8bit(rendered[32], palette)),
        (16, 8, image_8bit(rendered[16], palette)),
    ]
    if small:
        entries = entries[1:]
    with open(sys.argv[-1], "wb") as f:
        f.write(icon_file(entries))


if __name__ == "__main__":
    main()
