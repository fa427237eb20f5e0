#!/usr/bin/env python3
# An independent, deliberately plain model of vorlin's mesh editing and warp, used as the oracle
# that produces and checks the regression scenes' expected PNG and grid files. Standard library only:
# integers are exact Python ints, the warp runs in IEEE doubles in the order the program evaluates it.
"""Usage: vorlin_reference.py SCENE.json [--png OUT.png] [--grid OUT.json]"""

import json
import math
import os
import struct
import sys
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts",
                                "pylib"))
from png_chunks import CHANNELS, read_png_chunks, png_scanlines, write_png  # noqa: E402

INT32_MIN = -(2 ** 31)
INT32_MAX = 2 ** 31 - 1

THINNING_DISTANCE = 5.0
HIT_RADIUS = 10.0
LABEL_SPOT_OFFSET = 8
PATCH_TOLERANCE = 1e-9

COLUMNS, ROWS = 0, 1
IDLE, STROKE, NODE_DRAG = "idle", "stroke", "nodedrag"


# ---------------------------------------------------------------------------------------------
# Integer helpers

def sat32(v):
    return max(INT32_MIN, min(INT32_MAX, v))


def trunc_div(a, b):
    """Integer division truncating toward zero (Python's // floors)."""
    q = abs(a) // abs(b)
    return q if (a < 0) == (b < 0) else -q


def distance(dx, dy):
    fx, fy = float(dx), float(dy)
    return math.sqrt(fx * fx + fy * fy)


# ---------------------------------------------------------------------------------------------
# Curves and the node grid

def measure_canvas(columns, rows):
    w = h = 0
    for family in (columns, rows):
        for curve in family:
            for x, y in curve:
                if x > w:
                    w = x
                if y > h:
                    h = y
    return sat32(w + 2), sat32(h + 2)


def between(v, a, b):
    return min(a, b) <= v <= max(a, b)


def cross(p, q, a, b):
    """Crossing of the lines through p-q and a-b: (found, on p-q box, on a-b box, X, Y)."""
    drx, dry = q[0] - p[0], q[1] - p[1]
    dcx, dcy = b[0] - a[0], b[1] - a[1]
    den = drx * dcy - dry * dcx
    if den == 0:
        return False, False, False, 0, 0
    num = (a[0] - p[0]) * dcy - (a[1] - p[1]) * dcx
    x = p[0] + trunc_div(num * drx, den)
    y = p[1] + trunc_div(num * dry, den)
    on_first = between(x, p[0], q[0]) and between(y, p[1], q[1])
    on_second = between(x, a[0], b[0]) and between(y, a[1], b[1])
    return True, on_first, on_second, x, y


def recompute_node_grid(columns, rows, grid):
    row_count, col_count = len(rows), len(columns)
    del grid[row_count:]
    while len(grid) < row_count:
        grid.append([])
    for node_row in grid:
        del node_row[col_count:]
        while len(node_row) < col_count:
            node_row.append([0, 0, 0, 0])
    for r in range(row_count):
        w = rows[r]
        for c in range(col_count):
            v = columns[c]
            if len(w) < 2 or len(v) < 2:
                continue
            full = False
            for k in range(1, len(w)):
                for l in range(1, len(v)):
                    found, on_row, on_col, x, y = cross(w[k - 1], w[k], v[l - 1], v[l])
                    if not found or not (on_row or on_col):
                        continue
                    grid[r][c] = [l, k, x, y]
                    if on_row and on_col:
                        full = True
                        break
                if full:
                    break


def sort_curves_by_nodes(curves, others, family, grid):
    n, m = len(curves), len(others)
    if n < 2 or m == 0:
        return

    def key(x):
        return grid[0][x][1] if family == COLUMNS else grid[x][0][0]

    for i in range(n - 1):
        for j in range(i + 1, n):
            if key(i) > key(j):
                curves[i], curves[j] = curves[j], curves[i]
                if family == COLUMNS:
                    for t in range(m):
                        grid[t][i], grid[t][j] = grid[t][j], grid[t][i]
                else:
                    for t in range(m):
                        grid[i][t], grid[j][t] = grid[j][t], grid[i][t]


# ---------------------------------------------------------------------------------------------
# Editing, as the result pane's mouse and keys drive it

class Editor:
    def __init__(self):
        self.mode = IDLE
        self.family = COLUMNS
        self.selection = [0, 0, -1, 0]
        self.columns = []
        self.rows = []
        self.grid = []
        self.drag_row = 0
        self.drag_column = 0
        self.press = [-1, 0]
        self.stroke_family = COLUMNS

    def family_set(self, family):
        return self.columns if family == COLUMNS else self.rows

    def begin_stroke(self, p):
        if self.mode in (STROKE, NODE_DRAG):
            return
        self.family_set(self.family).append([list(p)])
        self.stroke_family = self.family
        self.mode = STROKE

    def extend_stroke(self, p):
        # a family key during the stroke counts from the next stroke on
        curves = self.family_set(self.stroke_family)
        if self.mode != STROKE or not curves:
            return
        curve = curves[-1]
        n = len(curve)
        if n >= 3 and distance(p[0] - curve[n - 2][0], p[1] - curve[n - 2][1]) < THINNING_DISTANCE:
            curve.pop()
        curve.append(list(p))

    def end_stroke(self):
        if self.mode != STROKE:
            return
        self.mode = IDLE
        if len(self.columns) >= 2:
            stroke = self.columns[-1]
            for i in range(1, len(stroke)):
                if stroke_crosses_curves(stroke, self.columns, i):
                    self.rows.append([list(pt) for pt in stroke])
                    self.columns.pop()
                    break
                if stroke_crosses_curves(stroke, self.rows, i):
                    break
        recompute_node_grid(self.columns, self.rows, self.grid)
        sort_curves_by_nodes(self.columns, self.rows, COLUMNS, self.grid)
        sort_curves_by_nodes(self.rows, self.columns, ROWS, self.grid)

    def right_button_down(self, p):
        if self.mode in (STROKE, NODE_DRAG):
            return
        self.press = list(p)
        if delete_curve_at(self.columns, p) or delete_curve_at(self.rows, p):
            recompute_node_grid(self.columns, self.rows, self.grid)
            return
        for i in range(len(self.rows)):
            for j in range(len(self.columns)):
                node = self.grid[i][j]
                if distance(p[0] - node[2], p[1] - node[3]) < HIT_RADIUS:
                    self.drag_row, self.drag_column = i, j
                    self.mode = NODE_DRAG

    def right_button_up(self, p):
        if self.mode != NODE_DRAG:
            return
        self.move_node(p[0], p[1])
        self.mode = IDLE

    def move_node(self, x, y):
        i, j = self.drag_row, self.drag_column
        if not (0 <= i < len(self.rows) and 0 <= j < len(self.columns)):
            return
        if i >= len(self.grid) or j >= len(self.grid[i]):
            return
        node = self.grid[i][j]
        dx, dy = x - node[2], y - node[3]

        def bend(curve, lo, hi, skip, shift):
            # Only indices the curve has: a stretch reaching past its points is cut short.
            for k in range(max(lo, 0), min(hi, len(curve) - 1) + 1):
                if k == skip:
                    continue
                curve[k][0] = sat32(curve[k][0] + shift(k, dx))
                curve[k][1] = sat32(curve[k][1] + shift(k, dy))

        q = node[1]
        if j > 0:
            p = self.grid[i][j - 1][1]
            if p != q:
                bend(self.rows[i], min(p, q), max(p, q), None,
                     lambda k, d: trunc_div((k - p) * d, q - p))
        q = node[0]
        if i > 0:
            p = self.grid[i - 1][j][0]
            if p != q:
                bend(self.columns[j], min(p, q), max(p, q), None,
                     lambda k, d: trunc_div((k - p) * d, q - p))
        q = node[1]
        if j < len(self.columns) - 1:
            s = self.grid[i][j + 1][1]
            if s != q:
                bend(self.rows[i], min(s, q), max(s, q), q,
                     lambda k, d: trunc_div((s - k) * d, s - q))
        q = node[0]
        if i < len(self.rows) - 1:
            s = self.grid[i + 1][j][0]
            if s != q:
                bend(self.columns[j], min(s, q), max(s, q), q,
                     lambda k, d: trunc_div((s - k) * d, s - q))
        node[2], node[3] = x, y

    def refine(self):
        insert_mid_curves(self.columns)
        insert_mid_curves(self.rows)
        recompute_node_grid(self.columns, self.rows, self.grid)

    def clear(self):
        self.columns.clear()
        self.rows.clear()
        recompute_node_grid(self.columns, self.rows, self.grid)


def stroke_crosses_curves(stroke, curve_set, i):
    if len(curve_set) < 2:
        return False
    a, b = stroke[i - 1], stroke[i]
    for curve in curve_set[:-1]:
        for j in range(1, len(curve)):
            found, on_stroke, on_curve, _, _ = cross(a, b, curve[j - 1], curve[j])
            if found and on_stroke and on_curve:
                return True
    return False


def delete_curve_at(curve_set, p):
    for index, curve in enumerate(curve_set):
        if not curve:
            continue
        dx = p[0] - curve[0][0] - LABEL_SPOT_OFFSET
        dy = p[1] - curve[0][1] - LABEL_SPOT_OFFSET
        if distance(dx, dy) < HIT_RADIUS:
            del curve_set[index]
            return True
    return False


def insert_mid_curves(curve_set):
    result = []
    n = len(curve_set)
    for i in range(n):
        result.append([list(pt) for pt in curve_set[i]])
        if i < n - 1:
            a, b = curve_set[i], curve_set[i + 1]
            mean = []
            for j in range(len(a)):
                q = (j * len(b)) // len(a)
                mean.append([trunc_div(a[j][0] + b[q][0], 2), trunc_div(a[j][1] + b[q][1], 2)])
            result.append(mean)
    curve_set[:] = result


# ---------------------------------------------------------------------------------------------
# The warp, in doubles

def fdiv(a, b):
    """IEEE division: a zero divisor gives an infinity or NaN instead of an exception."""
    if b != 0.0:
        return a / b
    if a != a or a == 0.0:
        return math.nan
    return math.copysign(math.inf, a) * math.copysign(1.0, b)


class Image:
    def __init__(self, width, height, pixels):
        self.width, self.height, self.pixels = width, height, pixels  # ARGB words, row-major

    def at(self, x, y):
        if 0 <= x < self.width and 0 <= y < self.height:
            return self.pixels[y * self.width + x]
        return 0


def sample_bilinear(src, x, y):
    xa, ya = int(x), int(y)              # int() truncates toward zero
    xb, yb = int(x + 1.0), int(y + 1.0)
    c00, c10 = src.at(xa, ya), src.at(xb, ya)
    c01, c11 = src.at(xa, yb), src.at(xb, yb)
    fx, fy = x - float(xa), y - float(ya)
    out = 0xFF
    for shift in (16, 8, 0):
        v00 = float((c00 >> shift) & 0xFF)
        v10 = float((c10 >> shift) & 0xFF)
        v01 = float((c01 >> shift) & 0xFF)
        v11 = float((c11 >> shift) & 0xFF)
        value = (v00 * (1.0 - fx) + v10 * fx) * (1.0 - fy) + (v01 * (1.0 - fx) + v11 * fx) * fy
        out = out * 256 + channel(value)
    return out


def channel(value):
    """Truncated toward zero. Left of or above the source, where a coordinate lies in (-2, -1),
    truncation gives one neighbour a negative weight and the value can fall below 0: the
    channel is then 0 (never a borrow from the channel above it)."""
    v = int(value)
    if v > 255:
        raise ValueError(f"channel value {value!r} above 255")
    return max(v, 0)


def accepted(v):
    return -PATCH_TOLERANCE <= v <= 1.0 + PATCH_TOLERANCE


def warp_quad(src, target, sl, st, sr, sb, p0, p1, p2, p3):
    if src is None or not src.pixels:
        return
    x0, y0 = p0
    x1, y1 = p1
    x2, y2 = p2
    x3, y3 = p3
    xs, ys = (x0, x1, x2, x3), (y0, y1, y2, y3)
    x_min, x_max = int(min(xs)), int(max(xs))
    y_min, y_max = int(min(ys)), int(max(ys))
    x_start = max(x_min, 0)
    x_end = target.width - 1 if x_max >= target.width else x_max
    y_start = max(y_min, 0)
    y_end = target.height - 1 if y_max >= target.height else y_max

    ax = x0 - x1 - x2 + x3
    ay = y0 - y1 - y2 + y3
    k2 = (x3 - x2) * ay - (y3 - y2) * ax
    vertical_sides = x0 == x2 and x1 == x3

    def s_for(t, fx, fy):
        dx = (1.0 - t) * x1 + t * x0 - t * x2 - (1.0 - t) * x3
        if dx != 0.0:
            return fdiv(fx - (t * x2 + (1.0 - t) * x3), dx)
        return fdiv(fy - (t * y2 + (1.0 - t) * y3), (1.0 - t) * y1 + t * y0 - t * y2 - (1.0 - t) * y3)

    for yi in range(y_start, y_end + 1):
        fy = float(yi)
        for xi in range(x_start, x_end + 1):
            fx = float(xi)
            k1 = ay * (fx - x3) + (y1 - y3) * (x3 - x2) - ax * (fy - y3) - (x1 - x3) * (y3 - y2)
            k0 = (y1 - y3) * (fx - x3) - (x1 - x3) * (fy - y3)
            candidates = []
            if vertical_sides:
                t = fdiv(fx - x1, x0 - x1)
                w = 1.0 - t
                ly = y2 + w * (y3 - y2)
                uy = y0 + w * (y1 - y0)
                candidates.append((t, fdiv(fy - ly, uy - ly)))
            elif k2 == 0.0:
                if k1 == 0.0:
                    continue
                t = fdiv(-k0, k1)
                candidates.append((t, s_for(t, fx, fy)))
            else:
                disc = k1 * k1 - (4.0 * k2) * k0
                if disc < 0.0:
                    continue
                root = math.sqrt(disc)
                t1 = fdiv(root - k1, 2.0 * k2)
                t2 = fdiv(-k1 - root, 2.0 * k2)
                candidates.append((t1, s_for(t1, fx, fy)))
                candidates.append((t2, s_for(t2, fx, fy)))
            for t, s in candidates:
                if accepted(t) and accepted(s):
                    target.pixels[yi * target.width + xi] = sample_bilinear(
                        src, sl + (sr - sl) * (1.0 - t), st + (sb - st) * (1.0 - s))


def render_mesh_warp(src, target, editor):
    """The warp as the program shows and exports it: none while the selection's width is below 0."""
    row_count, col_count = len(editor.rows), len(editor.columns)
    if row_count < 2 or editor.selection[2] < 0:
        return
    sx, sy, sw, sh = (float(v) for v in editor.selection)
    grid = editor.grid
    for i in range(1, row_count):
        for l in range(1, col_count):
            def corner(r, c):
                return float(grid[r][c][2]), float(grid[r][c][3])
            sl = float(l - 1) * sw / float(col_count - 1) + sx
            sr = float(l) * sw / float(col_count - 1) + sx
            st = float(i - 1) * sh / float(row_count - 1) + sy
            sb = float(i) * sh / float(row_count - 1) + sy
            warp_quad(src, target, sl, st, sr, sb, corner(i - 1, l - 1), corner(i - 1, l),
                      corner(i, l - 1), corner(i, l))


# ---------------------------------------------------------------------------------------------
# Our own simple image files: PNG (8-bit, not interlaced), BMP (24-bit), GIF (first frame).
# PNG chunks are written and read by scripts/pylib/png_chunks.py.

def read_png(data):
    png = read_png_chunks(data)
    channels = CHANNELS.get(png.colour_type)
    if png.bit_depth != 8 or png.interlace != 0 or channels is None:
        raise Unsupported("the reference reads 8-bit non-interlaced grey, RGB, palette or RGBA PNGs")
    color_type, palette, trns = png.colour_type, png.palette, png.trns
    pixels = []
    for line in png_scanlines(png):
        for x in range(png.width):
            px = line[x * channels:(x + 1) * channels]
            if color_type == 0:
                r = g = b = px[0]
                alpha = 255
            elif color_type == 2:
                (r, g, b), alpha = px, 255
            elif color_type == 3:
                r, g, b = palette[px[0]]
                alpha = trns[px[0]] if px[0] < len(trns) else 255
            else:
                r, g, b, alpha = px
            pixels.append(alpha << 24 | r << 16 | g << 8 | b)
    return Image(png.width, png.height, pixels)


def read_bmp(data):
    offset, = struct.unpack("<I", data[10:14])
    header_size, width, height, planes, bits, compression = struct.unpack("<IiiHHI", data[14:34])
    if bits != 24 or compression != 0:
        raise Unsupported("the reference reads 24-bit uncompressed BMPs")
    stride = (width * 3 + 3) // 4 * 4
    rows = abs(height)
    pixels = []
    for y in range(rows):
        stored = rows - 1 - y if height > 0 else y  # a positive height stores the bottom row first
        line = data[offset + stored * stride:offset + stored * stride + width * 3]
        for x in range(width):
            b, g, r = line[x * 3:x * 3 + 3]
            pixels.append(0xFF000000 | r << 16 | g << 8 | b)
    return Image(width, rows, pixels)


def lzw_decode(data, min_code_size):
    clear, end = 1 << min_code_size, (1 << min_code_size) + 1
    out = bytearray()
    bitpos = 0
    size = min_code_size + 1
    table = None
    prev = None
    while bitpos + size <= len(data) * 8:
        code = 0
        for bit in range(size):
            byte = data[(bitpos + bit) >> 3]
            code |= ((byte >> ((bitpos + bit) & 7)) & 1) << bit
        bitpos += size
        if code == clear:
            table = [bytes([i]) for i in range(clear)] + [b"", b""]
            size = min_code_size + 1
            prev = None
            continue
        if code == end:
            break
        if prev is None:
            entry = table[code]
        else:
            entry = table[code] if code < len(table) else prev + prev[:1]
            table.append(prev + entry[:1])
            if len(table) == 1 << size and size < 12:
                size += 1
        out += entry
        prev = entry
    return bytes(out)


def read_gif(data):
    width, height, flags = struct.unpack("<HHB", data[6:11])
    pos = 13
    palette = []
    if flags & 0x80:
        n = 2 << (flags & 7)
        palette = [tuple(data[pos + 3 * i:pos + 3 * i + 3]) for i in range(n)]
        pos += 3 * n
    while data[pos] == 0x21:                      # extensions: skipped
        pos += 2
        while data[pos]:
            pos += data[pos] + 1
        pos += 1
    if data[pos] != 0x2C:
        raise ValueError("no image in GIF")
    left, top, fw, fh, iflags = struct.unpack("<HHHHB", data[pos + 1:pos + 10])
    pos += 10
    if left or top or fw != width or fh != height or iflags & 0xC0:
        raise Unsupported("the reference reads single full-frame GIFs without local palette or interlace")
    min_code_size = data[pos]
    pos += 1
    stream = bytearray()
    while data[pos]:
        stream += data[pos + 1:pos + 1 + data[pos]]
        pos += data[pos] + 1
    indices = lzw_decode(bytes(stream), min_code_size)
    pixels = []
    for i in indices[:width * height]:
        r, g, b = palette[i]
        pixels.append(0xFF000000 | r << 16 | g << 8 | b)
    return Image(width, height, pixels)


class Unsupported(ValueError):
    """A file that may well be a valid image but is beyond what this reference reads."""


def read_image(path):
    """The source as ARGB words, or None when the file does not decode."""
    try:
        with open(path, "rb") as f:
            data = f.read()
    except OSError:
        return None
    readers = {b"\x89PNG\r\n\x1a\n": read_png, b"BM": read_bmp, b"GIF8": read_gif}
    for magic, reader in readers.items():
        if data.startswith(magic):
            try:
                return reader(data)
            except Unsupported:
                raise
            except (ValueError, IndexError, KeyError, struct.error, zlib.error, NameError):
                return None  # truncated or broken
    return None


# ---------------------------------------------------------------------------------------------
# Scenes

def replay(scene, editor):
    editor.selection = list(scene.get("selection", [0, 0, -1, 0]))
    editor.columns = [[list(p) for p in c] for c in scene.get("columns", [])]
    editor.rows = [[list(p) for p in c] for c in scene.get("rows", [])]
    if "grid" in scene:  # as it stands, stale nodes included
        editor.grid = [[list(n) for n in row] for row in scene["grid"]]
    else:
        recompute_node_grid(editor.columns, editor.rows, editor.grid)
    for action in scene.get("actions", []):
        (name, value), = action.items()
        if name == "family":
            editor.family = COLUMNS if value == "columns" else ROWS
        elif name == "stroke":
            editor.begin_stroke(value[0])
            for p in value[1:]:
                editor.extend_stroke(p)
            editor.end_stroke()
        elif name == "rightDrag":
            editor.right_button_down(value[0])
            editor.right_button_up(value[1])
        elif name == "refine":
            editor.refine()
        elif name == "clear":
            editor.clear()
        else:
            raise ValueError(f"unknown action {name}")


def render_scene(scene_path):
    with open(scene_path, encoding="utf-8") as f:
        scene = json.load(f)
    editor = Editor()
    replay(scene, editor)
    width, height = measure_canvas(editor.columns, editor.rows)
    source = None
    if "source" in scene:
        source = read_image(os.path.join(os.path.dirname(scene_path), scene["source"]))
    return editor, width, height, source


def grid_document(editor, width, height):
    return {"canvas": [width, height], "columns": editor.columns, "rows": editor.rows,
            "grid": editor.grid}


def main(argv):
    args = argv[1:]
    if not args:
        print(__doc__, file=sys.stderr)
        return 2
    scene_path, png_path, grid_path = args[0], None, None
    rest = args[1:]
    while rest:
        option, value, rest = rest[0], rest[1], rest[2:]
        if option == "--png":
            png_path = value
        elif option == "--grid":
            grid_path = value
        else:
            print(f"unknown option {option}", file=sys.stderr)
            return 2
    editor, width, height, source = render_scene(scene_path)
    if png_path:
        target = Image(width, height, [0] * (width * height))
        render_mesh_warp(source, target, editor)
        rows = []
        for y in range(height):
            row = bytearray()
            for argb in target.pixels[y * width:(y + 1) * width]:
                row += bytes([(argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF, argb >> 24])
            rows.append(row)
        write_png(png_path, width, height, rows)
    if grid_path:
        with open(grid_path, "w", encoding="utf-8") as f:
            json.dump(grid_document(editor, width, height), f, separators=(",", ":"))
            f.write("\n")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
