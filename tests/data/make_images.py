#!/usr/bin/env python3
# Writes the regression scenes' source images into tests/data/images/: small pictures whose
# colours tell where each output pixel was sampled, as PNG (RGB and RGBA), 24-bit BMP and GIF.
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "reference"))
from vorlin_reference import write_png  # noqa: E402


def gradient(x, y):
    """red = x, green = y (in steps of 4 and 5), blue a checkerboard of 8-pixel squares."""
    return x * 4, y * 5, 200 if (x // 8 + y // 8) % 2 else 40


def grid_lines(x, y):
    return (x * 6) & 255, (y * 8) & 255, 255 if x % 5 == 0 or y % 5 == 0 else 0


def translucent(x, y):
    """RGBA whose alpha runs from 0 to 248: the warp ignores it and writes opaque pixels."""
    return x * 8, y * 8, 128, (x + y) * 4


def palette_colour(i):
    return (i * 4) & 255, (255 - i * 4) & 255, (i * 37) & 255


def palette_index(x, y):
    return (x // 6) + 8 * (y // 5)


def write_bmp(path, width, height, colour):
    stride = (width * 3 + 3) // 4 * 4
    pixels = bytearray()
    for y in reversed(range(height)):          # bottom row first
        row = bytearray()
        for x in range(width):
            r, g, b = colour(x, y)
            row += bytes([b, g, r])
        pixels += row + bytes(stride - len(row))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + pixels)


def lzw_literals(indices):
    """8-bit LZW code stream made of literals only, with a clear code every 250 of them, so the
    code width stays 9 bits."""
    clear, end = 256, 257
    codes = []
    for start in range(0, len(indices), 250):
        codes.append(clear)
        codes.extend(indices[start:start + 250])
    codes.append(end)
    out = bytearray()
    acc = nbits = 0
    for code in codes:
        acc |= code << nbits
        nbits += 9
        while nbits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            nbits -= 8
    if nbits:
        out.append(acc)
    return bytes(out)


def write_gif(path, width, height):
    palette = b"".join(bytes(palette_colour(i)) for i in range(256))
    indices = [palette_index(x, y) for y in range(height) for x in range(width)]
    stream = lzw_literals(indices)
    blocks = b"".join(bytes([len(stream[i:i + 255])]) + stream[i:i + 255]
                      for i in range(0, len(stream), 255))
    data = (b"GIF89a" + struct.pack("<HHBBB", width, height, 0xF7, 0, 0) + palette
            + b"\x2c" + struct.pack("<HHHHB", 0, 0, width, height, 0)
            + b"\x08" + blocks + b"\x00" + b"\x3b")
    with open(path, "wb") as f:
        f.write(data)


def main():
    out = os.path.join(HERE, "images")
    os.makedirs(out, exist_ok=True)
    write_png(os.path.join(out, "gradient.png"), 64, 48,
              [b"".join(bytes(gradient(x, y)) for x in range(64)) for y in range(48)], color_type=2)
    write_png(os.path.join(out, "translucent.png"), 32, 32,
              [b"".join(bytes(translucent(x, y)) for x in range(32)) for y in range(32)], color_type=6)
    write_bmp(os.path.join(out, "grid_lines.bmp"), 40, 30, grid_lines)
    write_gif(os.path.join(out, "palette.gif"), 48, 40)
    with open(os.path.join(out, "not_an_image.png"), "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\nthis file stops after its signature\n")


if __name__ == "__main__":
    main()
