#!/usr/bin/env python3
# Writes the warp benchmark's standard workload as a vorlin-render scene: a 4096 x 3072 PNG
# source (gradients, 64-pixel checkerboard, xorshift noise), wholly selected, and the 17 x 17
# wobbled node grid drawn as curves. Into a build folder; the files are large, never committed.
#
#   tools/make_bench_scene.py build-tools/bench-scene
#   VORLIN_RENDER_TIMINGS=1 build-tools/tools/vorlin-render build-tools/bench-scene/bench.scene.json \
#       --png build-tools/bench-scene/out.png
import json
import math
import os
import sys
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "scripts", "pylib"))
from png_chunks import png_bytes  # noqa: E402

WIDTH, HEIGHT = 4096, 3072
PARTS = 16
AMPLITUDE = 40.0
EXTENSION = 8  # curves run this far past the first and last node


def pattern_rows():
    """The benchmark's pattern image, row by row as RGB bytes."""
    noise = 0x9E3779B9
    for y in range(HEIGHT):
        green = y * 255 // (HEIGHT - 1)
        row = bytearray(WIDTH * 3)
        for x in range(WIDTH):
            noise ^= (noise << 13) & 0xFFFFFFFF
            noise ^= noise >> 17
            noise ^= (noise << 5) & 0xFFFFFFFF
            checker = 160 if ((x // 64) ^ (y // 64)) & 1 else 48
            row[3 * x] = x * 255 // (WIDTH - 1)
            row[3 * x + 1] = green
            row[3 * x + 2] = checker + (noise & 0x3F)
        yield bytes(row)


def write_png(path):
    compressor = zlib.compressobj(6)
    idat = bytearray()
    for row in pattern_rows():
        idat += compressor.compress(b"\x00" + row)
    idat += compressor.flush()
    with open(path, "wb") as f:
        f.write(png_bytes(WIDTH, HEIGHT, None, colour_type=2, idat=bytes(idat)))


def wobbled_nodes():
    """nodes[r][c] = (x, y) exactly as the benchmark's grid: integer base, truncated wobble."""
    two_pi = 6.283185307179586
    nodes = []
    for r in range(PARTS + 1):
        row = []
        for c in range(PARTS + 1):
            x = c * (WIDTH - 1) // PARTS
            y = r * (HEIGHT - 1) // PARTS
            if 0 < r < PARTS and 0 < c < PARTS:
                u, v = c / PARTS, r / PARTS
                x += int(AMPLITUDE * math.sin(two_pi * (1.5 * v + 0.5 * u)))
                y += int(AMPLITUDE * math.sin(two_pi * (1.25 * u + 0.35 * v) + 0.7))
            row.append((x, y))
        nodes.append(row)
    return nodes


def curves(nodes):
    """Each column curve a polyline through its 17 nodes, each row curve likewise, both
    extended a little past the end nodes so every node is a full crossing at a shared point."""
    columns, rows = [], []
    for c in range(PARTS + 1):
        points = [list(nodes[r][c]) for r in range(PARTS + 1)]
        columns.append([[points[0][0], points[0][1] - EXTENSION]] + points
                       + [[points[-1][0], points[-1][1] + EXTENSION]])
    for r in range(PARTS + 1):
        points = [list(nodes[r][c]) for c in range(PARTS + 1)]
        rows.append([[points[0][0] - EXTENSION, points[0][1]]] + points
                    + [[points[-1][0] + EXTENSION, points[-1][1]]])
    return columns, rows


def check_crossings(nodes, columns, rows):
    """The grid the editor computes from the curves must hold the benchmark's nodes."""
    here = os.path.dirname(os.path.abspath(__file__))
    sys.path.insert(0, os.path.join(here, "..", "tests", "reference"))
    import vorlin_reference as ref
    grid = []
    ref.recompute_node_grid(columns, rows, grid)
    for r in range(PARTS + 1):
        for c in range(PARTS + 1):
            column_index, row_index, x, y = grid[r][c]
            # A shared point, reached by the segments that end there (index + 1 for the
            # extension point in front).
            expected = [r + 1, c + 1, nodes[r][c][0], nodes[r][c][1]]
            if [column_index, row_index, x, y] != expected:
                sys.exit(f"node ({r}, {c}) is {grid[r][c]}, expected {expected}")


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_bench_scene.py OUT_FOLDER")
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    nodes = wobbled_nodes()
    columns, rows = curves(nodes)
    check_crossings(nodes, columns, rows)
    scene = {"source": "bench_source.png", "selection": [0, 0, WIDTH, HEIGHT],
             "columns": columns, "rows": rows}
    with open(os.path.join(out, "bench.scene.json"), "w") as f:
        json.dump(scene, f)
    write_png(os.path.join(out, "bench_source.png"))
    print(f"wrote {out}/bench.scene.json and {out}/bench_source.png")


if __name__ == "__main__":
    main()
