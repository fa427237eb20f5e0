#!/usr/bin/env python3
# vorlin-render warps the bands of the target while a PNG source (without interlacing) is still
# being decoded, each band once the source rows it reads are decoded, and compresses the top of
# the output meanwhile. None of that may show:
#   - a tall PNG source through a mesh whose cells read rows far below the ones they draw gives
#     the pixels of the same source as raw frames through --frames (warped after the whole
#     frame is in), and a PNG byte for byte the same as a BMP of the same pixels gives (a
#     source that is not followed);
#   - a PNG cut off in its pixel data, after some bands were warped from its first rows, leaves
#     a fully transparent picture and a warning, as any source that does not decode.
import argparse
import json
import os
import random
import shutil
import struct
import subprocess
import sys
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "reference"))
import vorlin_reference  # noqa: E402  (its PNG reader)

WIDTH, HEIGHT = 96, 1537
TIMEOUT_S = 60


def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def png_bytes(rows):
    ihdr = struct.pack(">IIBBBBB", WIDTH, HEIGHT, 8, 6, 0, 0, 0)
    idat = zlib.compress(b"".join(b"\x00" + r for r in rows), 1)
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", ihdr) + png_chunk(b"IDAT", idat) +
            png_chunk(b"IEND", b""))


def bmp_bytes(rows):
    """32-bit BI_RGB, bottom-up, the fourth byte unused: opaque pixels."""
    pixels = b"".join(bytes(b for i in range(0, len(r), 4) for b in (r[i + 2], r[i + 1], r[i], 0))
                      for r in reversed(rows))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 32, 0, len(pixels), 2835, 2835, 0, 0)
    return header + info + pixels


def scene(path, source):
    """Three node rows: the middle one climbs from y 100 on the left to y 1300 on the right,
    so the top cells draw rows near the top of the target from source rows far below them."""
    w, h = WIDTH - 1, HEIGHT - 1
    with open(path, "w", encoding="utf-8") as f:
        json.dump({"source": source, "selection": [0, 0, w, h],
                   "columns": [[[0, 0], [0, h]], [[w // 2, 0], [w // 2, h]], [[w, 0], [w, h]]],
                   "rows": [[[0, 0], [w, 0]], [[0, 1300], [w, 100]], [[0, h], [w, h]]]}, f)


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

    def check(name, condition, detail):
        nonlocal failures
        if not condition:
            failures += 1
            print(f"FAIL {name}: {detail}")

    rng = random.Random(7)
    rows = [bytes(v for _ in range(WIDTH) for v in (rng.randrange(256), rng.randrange(256),
                                                    rng.randrange(256), 255))
            for _ in range(HEIGHT)]
    png = png_bytes(rows)
    for name, data in (("source.png", png), ("source.bmp", bmp_bytes(rows)),
                       ("cut.png", png[:len(png) * 3 // 5])):
        with open(os.path.join(work, name), "wb") as f:
            f.write(data)
    renders = {}
    for name in ("source.png", "source.bmp", "cut.png"):
        scene_path = os.path.join(work, name + ".scene.json")
        scene(scene_path, name)
        out = os.path.join(work, name + ".out.png")
        run = subprocess.run([renderer, scene_path, "--png", out], capture_output=True,
                             timeout=TIMEOUT_S)
        check(name, run.returncode == 0, f"status {run.returncode}, stderr {run.stderr!r}")
        check(name, (name == "cut.png") == bool(run.stderr), f"stderr {run.stderr!r}")
        with open(out, "rb") as f:
            renders[name] = f.read()

    # The same frame through --frames, warped once all of it is in.
    frames = subprocess.run([renderer, os.path.join(work, "source.png.scene.json"), "--frames",
                             f"{WIDTH}x{HEIGHT}"], input=b"".join(rows), capture_output=True,
                            timeout=TIMEOUT_S)
    check("--frames", frames.returncode == 0 and not frames.stderr,
          f"status {frames.returncode}, stderr {frames.stderr!r}")
    picture = vorlin_reference.read_png(renders["source.png"])
    words = [w for w in picture.pixels]
    raw = b"".join(bytes(((w >> 16) & 0xFF, (w >> 8) & 0xFF, w & 0xFF, w >> 24)) for w in words)
    check("source.png", any(w != 0 for w in words), "nothing drawn: the scene shows nothing")
    stride = picture.width * 4
    rows_moved = sum(1 for y in range(0, HEIGHT, 64)
                     if raw[y * stride:y * stride + WIDTH * 4] != rows[y])
    check("source.png", rows_moved > 0, "the mesh moves nothing")
    if raw != frames.stdout:
        count = sum(1 for i in range(0, min(len(raw), len(frames.stdout)), 4)
                    if raw[i:i + 4] != frames.stdout[i:i + 4])
        check("source.png", False, f"{count} pixels differ from the --frames render of the "
              f"same pixels ({len(raw)} and {len(frames.stdout)} bytes)")
    check("source.bmp", renders["source.bmp"] == renders["source.png"],
          "the PNG differs from the one the PNG source gives, byte for byte")
    cut = vorlin_reference.read_png(renders["cut.png"])
    check("cut.png", (cut.width, cut.height) == (picture.width, picture.height) and
          not any(cut.pixels), "a source that does not decode left drawn pixels")
    if not failures:
        print(f"ok: {picture.width} x {picture.height} the same through the decode's bands, "
              "--frames and a BMP; a cut PNG draws nothing")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
