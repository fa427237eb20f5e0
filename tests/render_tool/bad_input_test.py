#!/usr/bin/env python3
# vorlin-render's refusals and its other exits, case by case: a bad command line or scene gives
# exit status 2, one line on stderr naming the offending option, key or action index, and no
# output file; an output that cannot be made or written gives 1; an undecodable source warns
# and still renders; every supported source format decodes; the timings stay off by default.
# Every refused scene gets the same words from the reading the program shares; --source warps
# another image with the scene's mesh.
import argparse
import json
import os
import re
import resource
import shutil
import subprocess
import sys

DATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data")
SCENES = os.path.join(DATA, "scenes")
SOURCES = os.path.join(DATA, "images")

MESH = '"columns": [[[4, 4], [6, 40]], [[40, 2], [38, 42]]], "rows": [[[0, 6], [44, 4]], [[0, 38], [44, 40]]]'
OUTPUTS = ["--png", "{out}/out.png", "--grid", "{out}/out.json"]

# name, scene file text (None: no scene file is written), arguments, exit status, fragments
# that the one line on stderr must contain
REFUSED = [
    # the command line
    ("no arguments", "{}", [], 2, ["no scene file", "usage:"]),
    ("unknown option", "{}", ["{scene}", "--zoom", "2"] + OUTPUTS, 2, ['unknown option "--zoom"']),
    ("option without its file", "{}", ["{scene}", "--png"], 2, ["--png needs a file name"]),
    ("option given twice", "{}", ["{scene}"] + OUTPUTS + ["--grid", "{out}/b.json"], 2,
     ["--grid given twice"]),
    ("two scene files", "{}", ["{scene}", "{scene}"] + OUTPUTS, 2, ["more than one scene file"]),
    ("missing scene file", None, ["{out}/nothing.json"] + OUTPUTS, 2, ["nothing.json", "cannot be read"]),
    ("scene file is a folder", None, ["{out}"] + OUTPUTS, 2, ["cannot be read"]),
    # not JSON
    ("empty file", "", ["{scene}"] + OUTPUTS, 2, ["not valid JSON"]),
    ("unfinished JSON", '{"columns": [[[1, 2]]', ["{scene}"] + OUTPUTS, 2, ["not valid JSON"]),
    ("text after the object", '{} x', ["{scene}"] + OUTPUTS, 2, ["not valid JSON"]),
    ("ill-formed UTF-8", b'{"source": "\xff.png"}', ["{scene}"] + OUTPUTS, 2, ["not valid JSON"]),
    ("number beyond a double", '{"rows": [[[0, 1e400]]]}', ["{scene}"] + OUTPUTS, 2, ["not valid JSON"]),
    # the top level
    ("an array at the top", "[]", ["{scene}"] + OUTPUTS, 2, ["JSON object"]),
    ("unknown key", '{"colums": []}', ["{scene}"] + OUTPUTS, 2, ['unknown key "colums"']),
    ("duplicate key", '{"rows": [], "rows": []}', ["{scene}"] + OUTPUTS, 2, ['duplicate key "rows"']),
    ("duplicate key in an action", '{"actions": [{"refine": true}, {"stroke": [[1, 1]], "stroke": [[2, 2]]}]}',
     ["{scene}"] + OUTPUTS, 2, ['duplicate key "stroke"', "actions[1]"]),
    # wrong types
    ("source not a string", '{"source": 7}', ["{scene}"] + OUTPUTS, 2, ["source", "string"]),
    ("selection of three", '{"selection": [0, 0, 5]}', ["{scene}"] + OUTPUTS, 2, ["selection"]),
    ("selection with a string", '{"selection": [0, 0, "5", 5]}', ["{scene}"] + OUTPUTS, 2, ["selection[2]"]),
    ("selection beyond int32", '{"selection": [0, 0, 4294967295, 1]}', ["{scene}"] + OUTPUTS, 2,
     ["selection[2]", "outside the signed 32-bit range"]),
    ("columns not an array", '{"columns": {}}', ["{scene}"] + OUTPUTS, 2, ["columns", "array"]),
    ("curve not an array", '{"rows": [5]}', ["{scene}"] + OUTPUTS, 2, ["rows[0]"]),
    ("point of three", '{"columns": [[[1, 2, 3]]]}', ["{scene}"] + OUTPUTS, 2, ["columns[0][0]", "pair"]),
    ("point with a boolean", '{"rows": [[[1, true]]]}', ["{scene}"] + OUTPUTS, 2, ["rows[0][0][1]"]),
    ("coordinate with a fraction", '{"columns": [[[1.5, 2]]]}', ["{scene}"] + OUTPUTS, 2,
     ["columns[0][0][0]", "not an integer"]),
    ("coordinate written as a float", '{"columns": [[[1.0, 2]]]}', ["{scene}"] + OUTPUTS, 2,
     ["columns[0][0][0]", "not an integer"]),
    ("coordinate 2^31", '{"columns": [[[2147483648, 0]]]}', ["{scene}"] + OUTPUTS, 2,
     ["columns[0][0][0]", "outside the signed 32-bit range"]),
    ("coordinate -2^31 - 1", '{"rows": [[[0, -2147483649]]]}', ["{scene}"] + OUTPUTS, 2,
     ["rows[0][0][1]", "outside the signed 32-bit range"]),
    ("coordinate beyond 64 bits", '{"rows": [[[0, 100000000000000000000000]]]}', ["{scene}"] + OUTPUTS, 2,
     ["rows[0][0][1]", "outside the signed 32-bit range"]),
    ("curve with no points", '{"columns": [[[0, 0], [5, 5]], []]}', ["{scene}"] + OUTPUTS, 2,
     ["columns[1]", "at least one point"]),
    # actions
    ("actions not an array", '{"actions": {"refine": true}}', ["{scene}"] + OUTPUTS, 2, ["actions", "array"]),
    ("action not an object", '{"actions": [5]}', ["{scene}"] + OUTPUTS, 2, ["actions[0]", "exactly one key"]),
    ("action with two keys", '{"actions": [{"refine": true, "clear": true}]}', ["{scene}"] + OUTPUTS, 2,
     ["actions[0]", "exactly one key"]),
    ("action with no key", '{"actions": [{"clear": true}, {}]}', ["{scene}"] + OUTPUTS, 2,
     ["actions[1]", "exactly one key"]),
    ("unknown action", '{"actions": [{"refine": true}, {"zoom": 2}]}', ["{scene}"] + OUTPUTS, 2,
     ["actions[1]", 'unknown action "zoom"']),
    ("stroke with no point", '{"actions": [{"stroke": []}]}', ["{scene}"] + OUTPUTS, 2,
     ["actions[0].stroke", "at least one point"]),
    ("stroke of numbers", '{"actions": [{"stroke": [1, 2]}]}', ["{scene}"] + OUTPUTS, 2,
     ["actions[0].stroke[0]", "pair"]),
    ("stroke point beyond int32", '{"actions": [{"refine": true}, {"clear": true}, {"stroke": [[0, 0], [1, 99999999999]]}]}',
     ["{scene}"] + OUTPUTS, 2, ["actions[2].stroke[1][1]", "outside the signed 32-bit range"]),
    ("rightDrag of one point", '{"actions": [{"rightDrag": [[1, 1]]}]}', ["{scene}"] + OUTPUTS, 2,
     ["actions[0].rightDrag", "two points"]),
    ("rightDrag of three points", '{"actions": [{"rightDrag": [[1, 1], [2, 2], [3, 3]]}]}', ["{scene}"] + OUTPUTS, 2,
     ["actions[0].rightDrag", "two points"]),
    ("refine false", '{"actions": [{"refine": false}]}', ["{scene}"] + OUTPUTS, 2, ["actions[0].refine", "true"]),
    ("clear 1", '{"actions": [{"clear": 1}]}', ["{scene}"] + OUTPUTS, 2, ["actions[0].clear", "true"]),
    ("family diagonal", '{"actions": [{"family": "diagonal"}]}', ["{scene}"] + OUTPUTS, 2,
     ["actions[0].family", "diagonal"]),
    ("family in capitals", '{"actions": [{"family": "Columns"}]}', ["{scene}"] + OUTPUTS, 2, ["actions[0].family"]),
    # the backdrop and the grid
    ("backdrop not a string", '{"backdrop": ["a.png"]}', ["{scene}"] + OUTPUTS, 2, ["backdrop", "string"]),
    ("grid not an array", '{"grid": {}}', ["{scene}"] + OUTPUTS, 2, ["grid", "array"]),
    ("grid row not an array", '{"rows": [[[0, 0]]], "grid": [5]}', ["{scene}"] + OUTPUTS, 2, ["grid[0]", "array"]),
    ("node of three", '{"columns": [[[0, 0]]], "rows": [[[0, 0]]], "grid": [[[1, 1, 0]]]}', ["{scene}"] + OUTPUTS, 2,
     ["grid[0][0]", "columnPointIndex"]),
    ("node with a fraction", '{"columns": [[[0, 0]]], "rows": [[[0, 0]]], "grid": [[[1, 1, 0, 0.5]]]}',
     ["{scene}"] + OUTPUTS, 2, ["grid[0][0][3]", "not an integer"]),
    ("grid with a row too few", "{" + MESH + ', "grid": [[[1, 1, 5, 6], [1, 1, 39, 5]]]}', ["{scene}"] + OUTPUTS, 2,
     ["grid", "1 rows for 2 row curves"]),
    ("grid row with a node too many", "{" + MESH + ', "grid": [[[1, 1, 5, 6], [1, 1, 39, 5]], [[0, 0, 0, 0], [0, 0, 0, 0], [0, 0, 0, 0]]]}',
     ["{scene}"] + OUTPUTS, 2, ["grid[1]", "3 nodes for 2 column curves"]),
    ("grid without curves", '{"grid": [[]]}', ["{scene}"] + OUTPUTS, 2, ["grid", "1 rows for 0 row curves"]),
    ("source option without its file", "{}", ["{scene}", "--source"], 2, ["--source needs a file name"]),
    ("source option given twice", "{}", ["{scene}", "--source", "a.png", "--source", "b.png"] + OUTPUTS, 2,
     ["--source given twice"]),
    # --canvas prints the canvas alone; --frames takes W x H frames within the pixel bound
    ("canvas with an output", "{}", ["{scene}", "--canvas", "--png", "{out}/out.png"], 2,
     ["--canvas takes no other option"]),
    ("canvas with frames", "{}", ["{scene}", "--frames", "8x8", "--canvas"], 2, ["--canvas takes no other option"]),
    ("canvas given twice", "{}", ["{scene}", "--canvas", "--canvas"], 2, ["--canvas given twice"]),
    ("frames without a size", "{}", ["{scene}", "--frames"], 2, ["--frames needs a frame size WxH"]),
    ("frames of no height", "{}", ["{scene}", "--frames", "64x"], 2, ["--frames 64x", "not a frame size"]),
    ("frames of width 0", "{}", ["{scene}", "--frames", "0x48"], 2, ["--frames 0x48", "not a frame size"]),
    ("frames with a capital X", "{}", ["{scene}", "--frames", "64X48"], 2, ["not a frame size"]),
    ("frames of a signed width", "{}", ["{scene}", "--frames", "+64x48"], 2, ["not a frame size"]),
    ("frames of three numbers", "{}", ["{scene}", "--frames", "64x48x2"], 2, ["not a frame size"]),
    ("frames of ten digits", "{}", ["{scene}", "--frames", "4294967297x1"], 2, ["not a frame size"]),
    ("frames one pixel beyond the bound", "{}", ["{scene}", "--frames", "16384x8193"], 2,
     ["--frames 16384x8193", "134217728"]),
    ("frames with a PNG", "{}", ["{scene}", "--frames", "8x8", "--png", "{out}/out.png"], 2,
     ["--frames cannot go with --png"]),
    ("frames with a source", "{}", ["{scene}", "--source", "a.png", "--frames", "8x8"], 2,
     ["--frames cannot go with --source"]),
    # outputs that cannot be made or written
    ("frames onto a canvas one pixel beyond the bound", '{"columns": [[[16382, 8191]]]}',
     ["{scene}", "--frames", "8x8"], 1, ["16384 x 8193", "134217728"]),
    ("canvas beyond the pixel bound", '{"columns": [[[2147483647, 2147483647]]]}', ["{scene}"] + OUTPUTS, 1,
     ["2147483647 x 2147483647", "134217728"]),
    ("canvas one pixel beyond the bound", '{"columns": [[[16382, 8191]]]}', ["{scene}"] + OUTPUTS, 1,
     ["16384 x 8193"]),
    ("PNG into a missing folder", "{" + MESH + "}",
     ["{scene}", "--png", "{out}/missing/out.png", "--grid", "{out}/out.json"], 1,
     ["missing/out.png", "cannot be written"]),
    ("PNG onto a folder", "{" + MESH + "}", ["{scene}", "--png", "{out}", "--grid", "{out}/out.json"], 1,
     ["cannot be written"]),
]


def substitute(args, scene, out):
    return [a.replace("{scene}", scene).replace("{out}", out) for a in args]


def run(renderer, args, env=None):
    return subprocess.run([renderer] + args, capture_output=True, env=env)


class Checker:
    def __init__(self):
        self.failures = 0

    def expect(self, name, condition, detail):
        if not condition:
            self.failures += 1
            print(f"FAIL {name}: {detail}")
        return condition


def fresh_folder(work, name):
    folder = os.path.join(work, name.replace(" ", "_"))
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    return folder


def write_scene(folder, text, filename="scene.json"):
    path = os.path.join(folder, filename)
    with open(path, "wb") as f:
        f.write(text if isinstance(text, bytes) else text.encode("utf-8"))
    return path


def check_refusals(renderer, refusal, work, c):
    shared = 0
    for name, text, args, status, fragments in REFUSED:
        folder = fresh_folder(work, name)
        scene = write_scene(folder, text) if text is not None else os.path.join(folder, "absent.json")
        before = set(os.listdir(folder))
        r = run(renderer, substitute(args, scene, folder))
        lines = r.stderr.decode("utf-8", "replace").splitlines()
        c.expect(name, r.returncode == status, f"exit status {r.returncode}, expected {status}")
        if c.expect(name, len(lines) == 1, f"{len(lines)} lines on stderr: {lines}"):
            line = lines[0]
            c.expect(name, line.startswith("vorlin-render: "), f"unprefixed message {line!r}")
            for fragment in fragments:
                c.expect(name, fragment in line, f"{fragment!r} not in {line!r}")
        # The program refuses the same scene in the same words, through the shared reading; a
        # scene it reads was refused for the command line.
        if args and not args[0].startswith("-"):
            path = substitute(args[:1], scene, folder)[0]
            program = subprocess.run([refusal, path], capture_output=True)
            said = program.stdout.decode("utf-8", "replace").splitlines()
            if program.returncode == 2:
                shared += 1
                c.expect(name, lines == ["vorlin-render: " + l for l in said],
                         f"the program's refusal {said} is not the renderer's {lines}")
            else:
                c.expect(name, program.returncode == 0 and not said and
                         not any(l.startswith("vorlin-render: " + path + ":") for l in lines),
                         f"the program reads a scene the renderer refused: {lines}")
        written = set(os.listdir(folder)) - before
        if os.path.isdir(os.path.join(folder, "missing")):
            written.add("missing/")
        c.expect(name, not written, f"files written: {sorted(written)}")
        c.expect(name, r.stdout == b"", f"stdout {r.stdout!r}")
    c.expect("refusals through the shared reading", shared >= 40, f"only {shared} scenes refused")


def check_grid_without_png(renderer, work, c):
    # The pixel bound concerns the image only: the grid of a 2^31 canvas is written.
    name = "grid of a canvas beyond the pixel bound"
    folder = fresh_folder(work, name)
    scene = write_scene(folder, '{"columns": [[[2147483647, 2147483647]]]}')
    r = run(renderer, [scene, "--grid", os.path.join(folder, "g.json")])
    c.expect(name, r.returncode == 0 and r.stderr == b"", f"exit {r.returncode}, stderr {r.stderr!r}")
    if os.path.exists(os.path.join(folder, "g.json")):
        with open(os.path.join(folder, "g.json")) as f:
            doc = json.load(f)
        c.expect(name, doc == {"canvas": [2147483647, 2147483647], "columns": [[[2147483647, 2147483647]]],
                               "rows": [], "grid": []}, f"grid {doc}")
    else:
        c.expect(name, False, "no grid written")


def check_grid_unwritable_after_png(renderer, work, c):
    name = "grid into a missing folder"
    folder = fresh_folder(work, name)
    scene = write_scene(folder, "{" + MESH + "}")
    r = run(renderer, [scene, "--png", os.path.join(folder, "out.png"),
                       "--grid", os.path.join(folder, "missing", "g.json")])
    lines = r.stderr.decode().splitlines()
    c.expect(name, r.returncode == 1, f"exit status {r.returncode}")
    c.expect(name, len(lines) == 1 and "cannot be written" in lines[0], f"stderr {lines}")
    c.expect(name, os.path.exists(os.path.join(folder, "out.png")), "the PNG, written first, is missing")


def check_sources(renderer, compare, work, c):
    # Every format decodes (no warning); a file that does not decode, or is missing, warns and
    # renders a fully transparent image, exit 0.
    for source, warns in [("gradient.png", False), ("translucent.png", False), ("grid_lines.bmp", False),
                          ("palette.gif", False), ("gradient.jpg", False),
                          ("not_an_image.png", True), ("no_such_file.png", True)]:
        name = f"source {source}"
        folder = fresh_folder(work, name)
        path = os.path.join(SOURCES, source).replace("\\", "/")
        scene = write_scene(folder, '{"source": ' + json.dumps(path) + ', "selection": [0, 0, 30, 30], ' + MESH + "}")
        out = os.path.join(folder, "out.png")
        r = run(renderer, [scene, "--png", out])
        text = r.stderr.decode("utf-8", "replace")
        c.expect(name, r.returncode == 0, f"exit status {r.returncode}")
        if warns:
            lines = text.splitlines()
            c.expect(name, len(lines) == 1 and "warning" in lines[0] and source in lines[0]
                     and "does not decode" in lines[0], f"stderr {text!r}")
            empty = os.path.join(SCENES, "undecodable_source.expected.png")  # 46 x 44, transparent
            result = subprocess.run([compare, "png", out, empty], capture_output=True, text=True)
            c.expect(name, result.returncode == 0, f"not fully transparent: {result.stderr}")
        else:
            c.expect(name, text == "", f"stderr {text!r}")
            c.expect(name, os.path.exists(out) and os.path.getsize(out) > 0, "no PNG")


def check_allocation_failure(renderer, work, c):
    # A canvas within the pixel bound that memory cannot hold: refused with status 1, no file.
    # Address-space limits and AddressSanitizer's shadow memory do not mix, so not there.
    with open(renderer, "rb") as f:
        if b"__asan_init" in f.read():
            print("allocation failure: skipped under AddressSanitizer")
            return
    name = "canvas that memory cannot hold"
    folder = fresh_folder(work, name)
    scene = write_scene(folder, '{"columns": [[[16000, 8000]]]}')  # 16002 x 8002, 512 MB of words

    def limit_memory():
        resource.setrlimit(resource.RLIMIT_AS, (256 << 20, 256 << 20))
    r = subprocess.run([renderer, scene, "--png", os.path.join(folder, "o.png"), "--grid",
                        os.path.join(folder, "o.json")], capture_output=True, preexec_fn=limit_memory)
    lines = r.stderr.decode().splitlines()
    c.expect(name, r.returncode == 1, f"exit status {r.returncode}")
    c.expect(name, len(lines) == 1 and "out of memory" in lines[0], f"stderr {lines}")
    c.expect(name, os.listdir(folder) == ["scene.json"], f"files {os.listdir(folder)}")


def check_unicode_names(renderer, work, c):
    name = "non-ASCII file names"
    folder = fresh_folder(work, name)
    scene = write_scene(folder, "{" + MESH + "}", "scène ü.json")
    png, grid = os.path.join(folder, "résultat.png"), os.path.join(folder, "格子.json")
    r = run(renderer, [scene, "--png", png, "--grid", grid])
    c.expect(name, r.returncode == 0 and os.path.exists(png) and os.path.exists(grid),
             f"exit {r.returncode}, stderr {r.stderr!r}")


def check_timings(renderer, work, c):
    name = "timings"
    folder = fresh_folder(work, name)
    scene = write_scene(folder, '{"source": ' + json.dumps(os.path.join(SOURCES, "gradient.png")) + ", " + MESH + "}")
    args = [scene, "--png", os.path.join(folder, "out.png"), "--grid", os.path.join(folder, "out.json")]
    quiet = run(renderer, args, dict(os.environ, VORLIN_RENDER_TIMINGS="0"))
    c.expect(name, quiet.returncode == 0 and quiet.stderr == b"", f"timings printed unasked: {quiet.stderr!r}")
    loud = run(renderer, args, dict(os.environ, VORLIN_RENDER_TIMINGS="1"))
    text = loud.stderr.decode()
    for phase in ("parse", "replay", "decode", "render", "encode", "write", "total"):
        c.expect(name, f"timing {phase}" in text, f"no {phase} phase in {text!r}")
    lanes = re.search(r"timing lanes +(\S+)", text)
    c.expect(name, lanes is not None and lanes.group(1) in ("scalar", "sse2", "avx2", "avx512"),
             f"no loop named in {text!r}")


def check_source_option(renderer, work, c):
    # --source warps another image through the scene's mesh: the same pixels as a scene naming
    # it; a missing one warns as a missing source does.
    name = "--source"
    folder = fresh_folder(work, name)
    gradient = os.path.join(SOURCES, "gradient.png").replace("\\", "/")
    body = '"selection": [4, 4, 40, 30], ' + MESH
    named = write_scene(folder, '{"source": ' + json.dumps(gradient) + ", " + body + "}", "named.json")
    other = write_scene(folder, '{"source": "palette.gif", ' + body + "}", "other.json")
    outs = [os.path.join(folder, f) for f in ("named.png", "swapped.png", "missing.png")]
    r1 = run(renderer, [named, "--png", outs[0]])
    r2 = run(renderer, [other, "--source", gradient, "--png", outs[1]])
    c.expect(name, r1.returncode == 0 and r2.returncode == 0 and r2.stderr == b"",
             f"exit {r1.returncode} / {r2.returncode}, stderr {r2.stderr!r}")
    with open(outs[0], "rb") as a, open(outs[1], "rb") as b:
        c.expect(name, a.read() == b.read(), "--source gives another image than the scene naming it")
    r3 = run(renderer, [named, "--source", os.path.join(folder, "none.png"), "--png", outs[2]])
    lines = r3.stderr.decode().splitlines()
    c.expect(name, r3.returncode == 0 and len(lines) == 1 and "none.png" in lines[0] and "does not decode" in lines[0],
             f"a missing --source: exit {r3.returncode}, stderr {lines}")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--renderer", required=True)
    ap.add_argument("--compare", required=True)
    ap.add_argument("--refusal", required=True)
    ap.add_argument("--work", required=True)
    args = ap.parse_args()
    os.makedirs(args.work, exist_ok=True)
    c = Checker()
    check_refusals(args.renderer, args.refusal, args.work, c)
    check_grid_without_png(args.renderer, args.work, c)
    check_grid_unwritable_after_png(args.renderer, args.work, c)
    check_sources(args.renderer, args.compare, args.work, c)
    check_allocation_failure(args.renderer, args.work, c)
    check_unicode_names(args.renderer, args.work, c)
    check_timings(args.renderer, args.work, c)
    check_source_option(args.renderer, args.work, c)
    print(f"{len(REFUSED)} refusals and 14 other cases: {c.failures} failed checks")
    return 1 if c.failures else 0


if __name__ == "__main__":
    sys.exit(main())
