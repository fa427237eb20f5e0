#!/usr/bin/env python3
"""Draws the pictures of the run command's headless demo: a landscape of our own (sky, sun,
two hills, a lake) under a white grid, so the warp's bending is easy to see, and with
--backdrop a brick wall for the mesh to lie on.

  make_demo_picture.py OUT.png               (Python standard library and scripts/pylib)
  make_demo_picture.py --backdrop OUT.png
"""
import math
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts",
                                "pylib"))
from png_chunks import write_png  # noqa: E402

WIDTH, HEIGHT = 400, 300


def colour(x, y):
    # sky: deep blue at the top to pale near the horizon
    t = y / 170.0
    r, g, b = int(40 + 150 * t), int(90 + 130 * t), int(200 + 50 * t)
    # sun with a soft rim
    d = math.hypot(x - 300, y - 70)
    if d < 34:
        r, g, b = 255, 214, 70
    elif d < 40:
        k = (d - 34) / 6.0
        r, g, b = int(255 * (1 - k) + r * k), int(214 * (1 - k) + g * k), int(70 * (1 - k) + b * k)
    # two hills, the nearer one darker
    far = 175 - 45 * math.exp(-((x - 110) / 90.0) ** 2)
    near = 215 - 60 * math.exp(-((x - 270) / 70.0) ** 2)
    if y > far:
        r, g, b = 70, 140, 80
    if y > near:
        r, g, b = 40, 105, 50
    # a lake with ripples
    if y > 235:
        wave = 12 * math.sin(x / 9.0 + y / 3.0)
        r, g, b = int(30 + wave), int(90 + wave), int(170 + wave)
    # the white grid every 25 pixels
    if x % 25 == 0 or y % 25 == 0:
        r, g, b = 250, 250, 250
    return max(0, min(255, r)), max(0, min(255, g)), max(0, min(255, b))


BACKDROP_WIDTH, BACKDROP_HEIGHT = 880, 400


def backdrop_colour(x, y):
    # bricks 60 x 24 with 4-pixel mortar joints, every other course shifted by half a brick
    course = y // 28
    shift = 30 if course % 2 else 0
    column = (x + shift) // 64
    if y % 28 >= 24 or (x + shift) % 64 >= 60:
        return 200, 196, 186
    tone = (course * 7 + column * 13) % 5 * 9
    grain = int(6 * math.sin(x / 5.0 + course) * math.sin(y / 3.0))
    return 150 + tone + grain, 62 + tone // 2 + grain, 48 + grain


def main():
    args = sys.argv[1:]
    backdrop = bool(args) and args[0] == "--backdrop"
    if backdrop:
        args = args[1:]
    out = args[0] if args else ("backdrop.png" if backdrop else "demo.png")
    width, height = (BACKDROP_WIDTH, BACKDROP_HEIGHT) if backdrop else (WIDTH, HEIGHT)
    paint = backdrop_colour if backdrop else colour
    rows = [b"".join(bytes(paint(x, y)) for x in range(width)) for y in range(height)]
    write_png(out, width, height, rows, color_type=2)


if __name__ == "__main__":
    main()
