#!/usr/bin/env python3
# A JPEG source renders from exactly the pixels Pillow decodes it to (libjpeg's defaults:
# accurate integer DCT, fancy upsampling). Each JPEG goes through a scene whose mesh maps the
# source 1:1: a 2 x 2 grid on the source's corners, the selection the whole source, its width
# and height less one powers of two, so every coordinate of the warp is exact. A PNG of random
# pixels through the same scene first comes back unchanged, which shows the mapping is 1:1;
# then each JPEG's render must hold Pillow's decode of it, pixel for pixel.
# Runs under a python3 that imports PIL (Debian's, with python3-pil).
import argparse
import json
import os
import random
import shutil
import subprocess
import sys

from PIL import Image

TIMEOUT_S = 60


def picture(width, height, seed):
    """Smooth colour ramps with sharp edges and some noise: chroma that subsampling blurs,
    edges that ring, so a different upsampling or DCT shows."""
    rng = random.Random(seed)
    pixels = []
    for y in range(height):
        for x in range(width):
            edge = 90 if (x // 7 + y // 5) % 2 else 0
            pixels.append(((x * 255 // width + edge + rng.randrange(24)) % 256,
                           (y * 255 // height + rng.randrange(24)) % 256,
                           (255 - x * 3 - y * 2 + edge) % 256))
    image = Image.new("RGB", (width, height))
    image.putdata(pixels)
    return image


def identity_scene(path, source_name, width, height):
    w, h = width - 1, height - 1
    scene = {"source": source_name, "selection": [0, 0, w, h],
             "columns": [[[0, 0], [0, h]], [[w, 0], [w, h]]],
             "rows": [[[0, 0], [w, 0]], [[0, h], [w, h]]]}
    with open(path, "w", encoding="utf-8") as f:
        json.dump(scene, f)


def first_differences(got, want, width, limit=3):
    out = []
    for i, (g, w) in enumerate(zip(got, want)):
        if g != w:
            out.append(f"({i % width}, {i // width}) rendered {g}, Pillow {w}")
            if len(out) == limit:
                break
    return out


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--renderer", required=True)
    ap.add_argument("--work", required=True)
    args = ap.parse_args()
    renderer = os.path.abspath(args.renderer)
    work = os.path.abspath(args.work)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    failures = 0

    def render(name, image_file, width, height):
        scene = os.path.join(work, name + ".scene.json")
        out = os.path.join(work, name + ".out.png")
        identity_scene(scene, image_file, width, height)
        run = subprocess.run([renderer, scene, "--png", out], capture_output=True,
                             timeout=TIMEOUT_S)
        if run.returncode != 0 or run.stderr:
            return None, f"status {run.returncode}, stderr {run.stderr!r}"
        with Image.open(out) as png:
            if png.size != (width + 1, height + 1) or png.mode != "RGBA":
                return None, f"canvas {png.size} {png.mode}, not {(width + 1, height + 1)} RGBA"
            return list(png.crop((0, 0, width, height)).getdata()), ""

    # The mesh maps the source 1:1: random pixels come back as they were.
    width, height = 65, 33
    rng = random.Random(20)
    noise = Image.new("RGBA", (width, height))
    noise.putdata([(rng.randrange(256), rng.randrange(256), rng.randrange(256), 255)
                   for _ in range(width * height)])
    noise.save(os.path.join(work, "noise.png"))
    got, why = render("noise", "noise.png", width, height)
    if got is None or got != list(noise.getdata()):
        failures += 1
        print(f"FAIL the 1:1 scene does not give a PNG source back: "
              f"{why or first_differences(got, list(noise.getdata()), width)}")

    # Odd sizes, so the last MCU is partial and the chroma of the last column and row is
    # upsampled from a half block.
    cases = [
        ("baseline_420", (65, 33), {"subsampling": 2, "quality": 80}),
        ("progressive_420", (65, 33), {"subsampling": 2, "quality": 80, "progressive": True}),
        ("baseline_422", (33, 17), {"subsampling": 1, "quality": 90}),
        ("progressive_444", (129, 17), {"subsampling": 0, "quality": 70, "progressive": True}),
        ("grey", (33, 65), {"quality": 85, "grey": True}),
    ]
    for name, (width, height), options in cases:
        image = picture(width, height, seed=len(name))
        if options.pop("grey", False):
            image = image.convert("L")
        jpeg = os.path.join(work, name + ".jpg")
        image.save(jpeg, "JPEG", **options)
        with Image.open(jpeg) as decoded:
            if "progressive" in options and not decoded.info.get("progressive"):
                failures += 1
                print(f"FAIL {name}: Pillow did not write a progressive file")
            want = list(decoded.convert("RGBA").getdata())
        # Pillow's pixels are not the encoder's input: the test would show nothing if they were.
        if want == list(image.convert("RGBA").getdata()):
            failures += 1
            print(f"FAIL {name}: the JPEG decodes to its input exactly; the case shows nothing")
        got, why = render(name, name + ".jpg", width, height)
        if got is None:
            failures += 1
            print(f"FAIL {name}: {why}")
        elif got != want:
            failures += 1
            count = sum(g != w for g, w in zip(got, want))
            print(f"FAIL {name}: {count} of {width * height} pixels differ from Pillow's decode: "
                  + "; ".join(first_differences(got, want, width)))
        else:
            print(f"ok {name} ({width} x {height}): Pillow's pixels")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
