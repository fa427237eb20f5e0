#!/usr/bin/env python3
"""Prepares the data of the Wine suite before the X session starts.

Writes the fixture images, and for every scene (the regression scenes and the suite's own)
the expected export image and mesh from the headless renderer plus a replay script that the
driver plays in the real program with the mouse and keys. A scene is replayable when a user
can reproduce it exactly: its initial curves are loaded without sorting, so they are drawn as
strokes instead, and the scene counts only if that gives the very same image and mesh.

  prepare.py DATA_DIR RENDERER SCENE_DIR...
Prints one line per scene; writes DATA_DIR/replayable.txt and DATA_DIR/skipped.txt.
"""
import json
import os
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "pylib"))
import png_chunks  # noqa: E402

INT16 = (-32768, 32767)


def write_png(path, width, height, pixel):
    """8-bit RGBA PNG; pixel(x, y) gives (r, g, b, a)."""
    rows = [b"".join(bytes(pixel(x, y)) for x in range(width)) for y in range(height)]
    png_chunks.write_png(path, width, height, rows, color_type=6)


def write_fixtures(data):
    # red = x, green = y, blue a checkerboard of 16-pixel squares: every warped pixel tells
    # where it was sampled.
    write_png(os.path.join(data, "coords.png"), 320, 240,
              lambda x, y: (x & 255, y & 255, 200 if (x // 16 + y // 16) % 2 else 40, 255))
    write_png(os.path.join(data, "drop_a.png"), 40, 30, lambda x, y: (230, 20, 20, 255))
    write_png(os.path.join(data, "drop_b.png"), 50, 40, lambda x, y: (20, 20, 230, 255))
    write_png(os.path.join(data, "drop_c.png"), 200, 150,
              lambda x, y: ((x * 5) & 255, (y * 3) & 255, 255 if (x // 10 + y // 10) % 2 else 90, 255))
    # A second picture under a Japanese name, so a drop of it is told apart from drop_c.
    write_png(os.path.join(data, "画像ファイル.png"), 180, 140,
              lambda x, y: (255 - ((x * 3) & 255), (x + y) & 255, 60 if (x // 20) % 2 else 180, 255))
    # A backdrop wider than ResultPane, opaque in some squares and fading in the others.
    write_png(os.path.join(data, "backdrop.png"), 1400, 500,
              lambda x, y: ((x * 7) & 255, (y * 5) & 255, (x + y) & 255,
                            255 if (x // 50 + y // 50) % 2 else x * 255 // 1399))
    with open(os.path.join(data, "not_an_image.png"), "w") as f:
        f.write("this is text, not a picture\n")


def in_int16(v):
    return INT16[0] <= v <= INT16[1]


def scene_points(scene):
    for key in ("columns", "rows"):
        for curve in scene.get(key, []):
            yield from curve
    for action in scene.get("actions", []):
        for key in ("stroke", "rightDrag"):
            yield from action.get(key, [])


def as_strokes(scene):
    """The scene with its initial curves drawn as strokes, columns first, then rows."""
    actions = []
    if scene.get("columns") or scene.get("rows"):
        actions.append({"family": "columns"})
        actions += [{"stroke": c} for c in scene.get("columns", [])]
        actions.append({"family": "rows"})
        actions += [{"stroke": c} for c in scene.get("rows", [])]
        actions.append({"family": "columns"})
    out = {k: v for k, v in scene.items() if k not in ("columns", "rows", "actions")}
    out["actions"] = actions + scene.get("actions", [])
    return out


def replay_lines(scene, source_path):
    lines = ["source " + (source_path if source_path else "-")]
    sel = scene.get("selection", [0, 0, -1, 0])
    if sel != [0, 0, -1, 0]:
        lines.append("select %d %d %d %d" % tuple(sel))
    for action in as_strokes(scene)["actions"]:
        if "family" in action:
            lines.append("family " + action["family"])
        elif "stroke" in action:
            lines.append("stroke " + " ".join("%d %d" % (x, y) for x, y in action["stroke"]))
        elif "rightDrag" in action:
            lines.append("rdrag " + " ".join("%d %d" % (x, y) for x, y in action["rightDrag"]))
        elif "refine" in action:
            lines.append("refine")
        elif "clear" in action:
            lines.append("clear")
    return lines


def render(renderer, scene_path, png, grid):
    r = subprocess.run([renderer, scene_path, "--png", png, "--grid", grid],
                       capture_output=True, text=True, timeout=120)
    return r.returncode, r.stderr.strip()


def write_mesh(grid_path, mesh_path):
    with open(grid_path) as f:
        g = json.load(f)
    lines = ["canvas %d %d" % tuple(g["canvas"])]
    for kind in ("columns", "rows"):
        for curve in g[kind]:
            lines.append(kind[:-1] + " " + " ".join("%d %d" % (x, y) for x, y in curve))
    for row in g["grid"]:
        for node in row:
            lines.append("node %d %d" % (node[2], node[3]))
    with open(mesh_path, "w") as f:
        f.write("\n".join(lines) + "\n")


def prepare_scene(data, renderer, name, scene_path):
    """Returns None when replayable, else the reason."""
    with open(scene_path) as f:
        scene = json.load(f)
    folder = os.path.dirname(os.path.abspath(scene_path))
    source = scene.get("source")
    source_path = os.path.normpath(os.path.join(folder, source)) if source else None
    if source_path and not os.path.isfile(source_path):
        source_path = None  # a missing source draws nothing, as no paste does
    if "grid" in scene:
        return "its grid is taken as it stands, with nodes that strokes cannot make"
    if not all(in_int16(v) for p in scene_points(scene) for v in p):
        return "a position lies outside the 16-bit range that a mouse message carries"
    sel = scene.get("selection", [0, 0, -1, 0])
    if not all(in_int16(v) for v in (sel[0], sel[1], sel[0] + sel[2], sel[1] + sel[3])):
        return "the selection's corners lie outside the 16-bit range of a mouse message"

    png = os.path.join(data, name + ".png")
    grid = os.path.join(data, name + ".grid.json")
    code, err = render(renderer, scene_path, png, grid)
    if code != 0:
        return "vorlin-render refused it (%d): %s" % (code, err)
    if scene.get("columns") or scene.get("rows"):
        converted = as_strokes(scene)
        if source_path:
            converted["source"] = source_path
        conv_path = os.path.join(data, name + ".strokes.json")
        with open(conv_path, "w") as f:
            json.dump(converted, f)
        png2, grid2 = conv_path + ".png", conv_path + ".grid.json"
        code, err = render(renderer, conv_path, png2, grid2)
        if code != 0:
            return "the stroke form of its initial curves was refused (%d): %s" % (code, err)
        with open(grid) as a, open(grid2) as b:
            same_mesh = json.load(a) == json.load(b)
        with open(png, "rb") as a, open(png2, "rb") as b:
            same_png = a.read() == b.read()
        if not same_mesh:
            return "its initial curves, drawn as strokes, are reclassified or sorted into another mesh"
        if not same_png:
            return "its initial curves, drawn as strokes, give another image"
    write_mesh(grid, os.path.join(data, name + ".mesh"))
    with open(os.path.join(data, name + ".replay"), "w") as f:
        f.write("\n".join(replay_lines(scene, source_path)) + "\n")
    return None


def main():
    data, renderer = sys.argv[1], sys.argv[2]
    os.makedirs(data, exist_ok=True)
    write_fixtures(data)
    replayable, skipped = [], []
    have_renderer = os.path.isfile(renderer) and os.access(renderer, os.X_OK)
    for scene_dir in sys.argv[3:]:
        if not os.path.isdir(scene_dir):
            continue
        own = os.path.abspath(scene_dir).endswith(os.path.join("tests", "wine", "scenes"))
        for file in sorted(os.listdir(scene_dir)):
            # the suite's own scenes are *.json; the regression scenes *.scene.json, with
            # their expected files beside them
            suffix = ".json" if own else ".scene.json"
            if not file.endswith(suffix) or (own and file.count(".") > 1):
                continue
            name = ("wine-" if own else "scene-") + file[:-len(suffix)]
            path = os.path.join(scene_dir, file)
            if own:  # the suite's scenes take their sources from the fixtures
                shutil.copy(path, os.path.join(data, file))
                path = os.path.join(data, file)
            if not have_renderer:
                reason = "no vorlin-render at " + renderer
            else:
                try:
                    reason = prepare_scene(data, renderer, name, path)
                except (OSError, ValueError, KeyError, subprocess.TimeoutExpired) as e:
                    reason = "cannot be prepared: %s" % e
            if reason:
                skipped.append("%s: %s" % (name, reason))
                print("prepare: %-28s not replayable: %s" % (name, reason))
            else:
                replayable.append(name)
    with open(os.path.join(data, "replayable.txt"), "w") as f:
        f.write("".join(n + "\n" for n in replayable))
    with open(os.path.join(data, "skipped.txt"), "w") as f:
        f.write("".join(s + "\n" for s in skipped))
    print("prepare: %d scenes replayable, %d not" % (len(replayable), len(skipped)))


if __name__ == "__main__":
    main()
