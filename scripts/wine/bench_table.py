#!/usr/bin/env python3
"""The table of scripts/wine/bench.sh: medians over the rounds of every figure the driver and
vorlin-render.exe wrote, one column per build.
    bench_table.py BENCH-FOLDER LABEL [LABEL]"""
import glob
import os
import re
import statistics
import sys

PHASES = ["setup", "clear", "backdrop", "warp", "reuse", "overlays", "final", "other"]


def runs(folder, label):
    found = []
    for path in sorted(glob.glob(os.path.join(folder, f"{label}-*", "bench.txt"))):
        values = {}
        with open(path) as f:
            for line in f:
                key, _, value = line.partition(" ")
                values[key] = float(value)
        found.append(values)
    return found


def render_ms(folder, scene):
    times = []
    for path in glob.glob(os.path.join(folder, f"render-{scene}-*.txt")):
        with open(path, errors="replace") as f:
            m = re.search(r"timing render\s+([0-9.]+) ms", f.read())
        if m:
            times.append(float(m.group(1)))
    return statistics.median(times) if times else None


def main():
    folder, labels = sys.argv[1], sys.argv[2:]
    data = {label: runs(folder, label) for label in labels}
    if not all(data.values()):
        sys.exit("bench: a build gave no result; see " + os.path.join(folder, "*/log.txt"))

    def median(label, key):
        values = [r[key] for r in data[label] if key in r]
        return statistics.median(values) if values else None

    def row(title, key, unit="ms", digits=1):
        cells = [median(label, key) for label in labels]
        text = "".join(f"{'-' if c is None else f'{c:.{digits}f}':>11}" for c in cells)
        if len(labels) == 2 and None not in cells and cells[0] > 0:
            text += f"{cells[1] / cells[0]:>10.2f}"
        print(f"{title:<44}{text}  {unit}")

    rounds = min(len(r) for r in data.values())
    print(f"\nmedians of {rounds} round(s) of the averages of each run; figures in ms\n")
    print(f"{'':<44}" + "".join(f"{label:>11}" for label in labels) +
          ("    after/before" if len(labels) == 2 else ""))
    row("paste of the 4000x3000 source (key V)", "paste.ms", digits=0)
    row("  and until both panes have painted it", "paste-shown.ms", digits=0)
    row("  best of the three", "paste-best.ms", digits=0)
    row("paste of it as a 32-bit CF_DIB, best of 5", "paste-dib.ms", digits=0)
    first = data[labels[0]][0]
    panes = {
        "expose": ("expose repaint", "stacked"),
        "notch": ("zoom-notch repaint (out and in in turn)", "stacked"),
        "stroke": ("repaint during a stroke", "stacked"),
        "single": ("expose repaint", "single"),
    }
    for key, (title, layout) in panes.items():
        size = f"{int(first[layout + '.width'])}x{int(first[layout + '.height'])}"
        print()
        row(f"{title}, pane {size}", key + ".mean")
        for phase in PHASES:
            row(f"  {phase}", f"{key}.{phase}")
    if "heavy.width" in first:
        size = f"{int(first['heavy.width'])}x{int(first['heavy.height'])}"
        print(f"\nthe heavy scene (12 x 12 free-hand curves, 2304 points, labels, nodes, "
              f"3-pixel pens), pane {size}; medians of each run")
        for key, title in (("heavy-expose", "expose repaint"),
                           ("heavy-notch", "zoom-notch repaint (out and in in turn)"),
                           ("heavy-rowstroke", "a row stroke's move until shown"),
                           ("heavy-columnstroke", "a column stroke's move until shown")):
            row(title, key + ".median")
            row("  of which overlays", key + ".overlays")
            row("  of which the final draw", key + ".final")
    print()
    for scene, title in (("1080", "1920x1080"), ("100mp", "12000x8334")):
        render = render_ms(folder, scene)
        row(f"copy of the {title} canvas (key C)", f"copy-{scene}.ms", digits=0)
        if render:
            print(f"{'  vorlin-render.exe render phase':<44}{render:>11.0f}  ms")
            for label in labels:
                copy = median(label, f"copy-{scene}.ms")
                print(f"{'  copy / render, ' + label:<44}{copy / render:>11.2f}")
    if len(labels) == 2:
        print()
        for scene in ("1080", "100mp"):
            keys = [f"copy-{scene}.{k}" for k in ("bytes", "sum-high", "sum-low")]
            blocks = {tuple(r.get(k) for k in keys) for label in labels for r in data[label]}
            print(f"clipboard blocks of the {scene} copy identical in every run: "
                  f"{'yes' if len(blocks) == 1 else 'NO'}")
        for name in ("source-pane.png", "pane-zoom1.png", "pane-zoom1.1.png", "heavy-pane.png",
                     "heavy-rowstroke.png", "heavy-columnstroke.png"):
            shots = set()
            for path in glob.glob(os.path.join(folder, "*-*", name)):
                with open(path, "rb") as f:
                    shots.add(f.read())
            print(f"screens {name} identical in every run: "
                  f"{'yes' if len(shots) == 1 else 'NO'}")


if __name__ == "__main__":
    main()
