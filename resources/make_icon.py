#!/usr/bin/env python3
"""Draws vorlin's icon, a warped checker picture under a bent mesh of green column curves
and blue row curves with white nodes, and writes it as a .ico file holding 16 and 32 px
images at 4, 8 and 32 bits per pixel and 48 px at 8 and 32 bits per pixel.

Usage: make_icon.py OUTPUT.ico
"""
import math
import struct
import sys

SIZES = [(16, 4), (16, 8), (16, 32), (32, 4), (32, 8), (32, 32), (48, 8), (48, 32)]
SUBSAMPLES = 4  # per axis

BLACK = (0, 0, 0)
GREEN = (0, 255, 0)
BLUE = (40, 90, 255)
WHITE = (255, 255, 255)
CHECKER = [(240, 160, 48), (250, 232, 190)]

VGA16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
    (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


def palette256():
    levels = [0, 51, 102, 153, 204, 255]
    colours = [(r, g, b) for r in levels for g in levels for b in levels]
    colours += VGA16
    colours += [(v, v, v) for v in range(8, 248, 10)]
    return colours[:256]


def inside_tile(x, y):
    """Rounded square from 0.04 to 0.96 with corner radius 0.18 (unit coordinates)."""
    lo, hi, r = 0.04, 0.96, 0.18
    cx = min(max(x, lo + r), hi - r)
    cy = min(max(y, lo + r), hi - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r and lo <= x <= hi and lo <= y <= hi


def sample(x, y, size):
    """Colour at unit position (x, y), or None outside the icon."""
    if not inside_tile(x, y):
        return None
    # tile-local coordinates, then the inverse of the bend: mesh coordinates u, v
    t0, t1 = 0.14, 0.86
    px = (x - t0) / (t1 - t0)
    py = (y - t0) / (t1 - t0)
    u = px - 0.12 * math.sin(math.pi * py) * (1.0 - px)
    v = py + 0.10 * math.sin(math.pi * px) * py
    if not (-0.02 <= u <= 1.02 and -0.02 <= v <= 1.02):
        return BLACK
    cells = 3
    # line half-width: about 0.6 px on the small icon, 1.1 px on the large one
    half = (0.6 if size <= 16 else 0.8 if size <= 32 else 1.1) / (size * (t1 - t0)) * cells
    du = abs(u * cells - round(u * cells))
    dv = abs(v * cells - round(v * cells))
    on_column = du < half and -0.01 <= v <= 1.01
    on_row = dv < half and -0.01 <= u <= 1.01
    if on_column and on_row and du * du + dv * dv < 2.2 * half * half:
        return WHITE
    if on_column:
        return GREEN
    if on_row:
        return BLUE
    if not (0.0 <= u <= 1.0 and 0.0 <= v <= 1.0):
        return BLACK
    return CHECKER[(int(u * cells) + int(v * cells)) % 2]


def render(size):
    """Rows of (r, g, b, a), top row first, antialiased by supersampling."""
    rows = []
    n = SUBSAMPLES
    for j in range(size):
        row = []
        for i in range(size):
            r = g = b = a = 0
            for sj in range(n):
                for si in range(n):
                    c = sample((i + (si + 0.5) / n) / size, (j + (sj + 0.5) / n) / size, size)
                    if c is not None:
                        r += c[0]
                        g += c[1]
                        b += c[2]
                        a += 1
            if a:
                row.append((r // a, g // a, b // a, a * 255 // (n * n)))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def nearest(palette, colour):
    best, best_d = 0, None
    for k, p in enumerate(palette):
        d = (p[0] - colour[0]) ** 2 + (p[1] - colour[1]) ** 2 + (p[2] - colour[2]) ** 2
        if best_d is None or d < best_d:
            best, best_d = k, d
    return best


def pad4(data):
    return data + b"\0" * (-len(data) % 4)


def and_mask(rows, opaque_from):
    """1 bit per pixel, 1 = transparent, bottom row first, rows padded to 4 bytes."""
    out = b""
    for row in reversed(rows):
        bits = bytearray((len(row) + 7) // 8)
        for i, (_, _, _, a) in enumerate(row):
            if a < opaque_from:
                bits[i // 8] |= 0x80 >> (i % 8)
        out += pad4(bytes(bits))
    return out


def image_entry(size, bpp):
    rows = render(size)
    if bpp == 32:
        palette_bytes = b""
        xor = b""
        for row in reversed(rows):
            xor += b"".join(struct.pack("BBBB", b, g, r, a) for r, g, b, a in row)
        mask = and_mask(rows, 1)
    else:
        palette = VGA16 if bpp == 4 else palette256()
        palette_bytes = b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in palette)
        palette_bytes += b"\0" * (4 * (2 ** bpp - len(palette)))
        xor = b""
        for row in reversed(rows):
            idx = [nearest(palette, (r, g, b)) if a >= 128 else 0 for r, g, b, a in row]
            if bpp == 4:
                packed = bytes((idx[k] << 4) | (idx[k + 1] if k + 1 < len(idx) else 0)
                               for k in range(0, len(idx), 2))
            else:
                packed = bytes(idx)
            xor += pad4(packed)
        mask = and_mask(rows, 128)
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, bpp, 0, len(xor) + len(mask),
                         0, 0, 0, 0)
    return header + palette_bytes + xor + mask


def main():
    if len(sys.argv) != 2:
        sys.stderr.write(__doc__)
        return 2
    images = [(size, bpp, image_entry(size, bpp)) for size, bpp in SIZES]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, bpp, data in images:
        colour_count = 16 if bpp == 4 else 0
        out += struct.pack("<BBBBHHII", size, size, colour_count, 0, 1, bpp, len(data), offset)
        offset += len(data)
    out += b"".join(data for _, _, data in images)
    with open(sys.argv[1], "wb") as f:
        f.write(out)
    return 0


if __name__ == "__main__":
    sys.exit(main())
