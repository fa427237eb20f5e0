#!/usr/bin/env python3
# Generated scenes, the same every run (fixed seeds): random curves, strokes, family keys,
# right drags near nodes and label spots, refinements and clears, rendered by vorlin-render
# and by the reference model, whose PNGs and grids must agree exactly.
import argparse
import os
import random
import subprocess
import sys
import json

HERE = os.path.dirname(os.path.abspath(__file__))
REFERENCE = os.path.join(HERE, "..", "reference", "vorlin_reference.py")
SOURCES = os.path.join(HERE, "..", "data", "images")
sys.path.insert(0, os.path.dirname(REFERENCE))
import vorlin_reference as ref  # noqa: E402

SOURCE_FILES = ["gradient.png", "translucent.png", "grid_lines.bmp", "palette.gif"]


def wobbly_curve(rng, start, end, points):
    (x0, y0), (x1, y1) = start, end
    curve = []
    for i in range(points):
        f = i / (points - 1) if points > 1 else 0.0
        curve.append([int(x0 + (x1 - x0) * f) + rng.randint(-4, 4), int(y0 + (y1 - y0) * f) + rng.randint(-4, 4)])
    return curve


def make_scene(rng, size):
    def point_count():
        return 1 if rng.random() < 0.05 else rng.randint(2, 6)
    columns = [wobbly_curve(rng, (x, rng.randint(-6, 6)), (x + rng.randint(-10, 10), size + rng.randint(-6, 6)),
                            point_count())
               for x in sorted(rng.sample(range(0, size), rng.choice([0, 1, 2, 2, 3, 3, 4])))]
    rows = [wobbly_curve(rng, (rng.randint(-6, 6), y), (size + rng.randint(-6, 6), y + rng.randint(-10, 10)),
                         point_count())
            for y in sorted(rng.sample(range(0, size), rng.choice([0, 1, 2, 2, 3, 3, 4])))]
    if rng.random() < 0.3:
        rng.shuffle(columns)
    editor = ref.Editor()
    editor.columns = [[list(p) for p in c] for c in columns]
    editor.rows = [[list(p) for p in c] for c in rows]
    ref.recompute_node_grid(editor.columns, editor.rows, editor.grid)
    actions = []
    for _ in range(rng.randint(0, 7)):
        kind = rng.choice(["stroke", "stroke", "stroke", "family", "drag", "drag", "delete", "refine", "clear"])
        if kind == "stroke":
            horizontal = rng.random() < 0.5
            a = rng.randint(0, size)
            start, end = ((-4, a), (size + 4, a + rng.randint(-20, 20))) if horizontal else \
                ((a, -4), (a + rng.randint(-20, 20), size + 4))
            if rng.random() < 0.5:
                start, end = end, start
            points = wobbly_curve(rng, start, end, 1 if rng.random() < 0.05 else rng.randint(2, 12))
            action = {"stroke": points}
        elif kind == "family":
            action = {"family": rng.choice(["columns", "rows"])}
        elif kind == "drag":
            nodes = [n for row in editor.grid for n in row]
            target = rng.choice(nodes)[2:] if nodes and rng.random() < 0.8 else [rng.randint(0, size)] * 2
            press = [target[0] + rng.randint(-8, 8), target[1] + rng.randint(-8, 8)]
            action = {"rightDrag": [press, [press[0] + rng.randint(-15, 15), press[1] + rng.randint(-15, 15)]]}
        elif kind == "delete":
            curves = editor.columns + editor.rows
            if not curves:
                continue
            first = rng.choice(curves)[0]
            press = [first[0] + 8 + rng.randint(-9, 9), first[1] + 8 + rng.randint(-9, 9)]
            action = {"rightDrag": [press, press]}
        elif kind == "refine":
            if len(editor.columns) > 5 or len(editor.rows) > 5:
                continue
            action = {"refine": True}
        else:
            if rng.random() < 0.7:
                continue
            action = {"clear": True}
        actions.append(action)
        apply(editor, action)
    scene = {"columns": columns, "rows": rows, "actions": actions}
    source = rng.choice(SOURCE_FILES)
    scene["source"] = os.path.join(SOURCES, source)
    width, height = {"gradient.png": (64, 48), "translucent.png": (32, 32), "grid_lines.bmp": (40, 30),
                     "palette.gif": (48, 40)}[source]
    # mostly a rectangle marked downward and rightward; sometimes leftward, upward, flat or off the image
    sw, sh = rng.randint(width // 2, width), rng.randint(height // 2, height)
    if rng.random() < 0.3:
        sw, sh = rng.choice([1, -1]) * rng.randint(0, width), rng.choice([1, -1]) * rng.randint(0, height)
    scene["selection"] = [rng.randint(-4, width // 2), rng.randint(-4, height // 2), sw, sh]
    return scene


def apply(editor, action):
    """The reference's own replay of one action, to aim later drags at the nodes of the moment."""
    (name, value), = action.items()
    if name == "family":
        editor.family = ref.COLUMNS if value == "columns" else ref.ROWS
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
    else:
        editor.clear()


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--renderer", required=True)
    ap.add_argument("--compare", required=True)
    ap.add_argument("--work", required=True)
    ap.add_argument("--count", type=int, default=40)
    args = ap.parse_args()
    os.makedirs(args.work, exist_ok=True)
    failures = 0
    for seed in range(args.count):
        rng = random.Random(seed)
        scene = make_scene(rng, rng.choice([30, 50, 70]))
        path = os.path.join(args.work, f"generated_{seed}.scene.json")
        with open(path, "w") as f:
            json.dump(scene, f)
        outputs = {}
        for who, command in (("renderer", [args.renderer]), ("reference", [sys.executable, REFERENCE])):
            png = os.path.join(args.work, f"generated_{seed}.{who}.png")
            grid = os.path.join(args.work, f"generated_{seed}.{who}.json")
            run = subprocess.run(command + [path, "--png", png, "--grid", grid], capture_output=True, text=True)
            if run.returncode != 0:
                print(f"seed {seed}: {who} exit status {run.returncode}: {run.stderr}")
                failures += 1
            outputs[who] = (png, grid)
        for kind, index in (("json", 1), ("png", 0)):
            result = subprocess.run([args.compare, kind, outputs["renderer"][index], outputs["reference"][index]],
                                    capture_output=True, text=True)
            if result.returncode != 0:
                print(f"seed {seed}: {kind} differs ({path})\n{result.stderr}")
                failures += 1
    print(f"{args.count} generated scenes, {failures} disagreements")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
