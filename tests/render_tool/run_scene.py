#!/usr/bin/env python3
# Runs one regression scene through vorlin-render (or through the reference model) and
# compares the PNG pixels and the parsed grid JSON with the committed expected files.
# A scene NAME.scene.json has NAME.expected.json and, unless only its grid is checked,
# NAME.expected.png beside it.
import argparse
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
REFERENCE = os.path.join(HERE, "..", "reference", "vorlin_reference.py")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--renderer", required=True,
                    help="the vorlin-render executable, or 'reference' for the reference model")
    ap.add_argument("--compare", required=True, help="the compare_outputs executable")
    ap.add_argument("--work", required=True, help="folder for the outputs")
    ap.add_argument("scene")
    args = ap.parse_args()

    base = args.scene[:-len(".scene.json")]
    name = os.path.basename(base)
    expected_png, expected_grid = base + ".expected.png", base + ".expected.json"
    os.makedirs(args.work, exist_ok=True)
    out_png = os.path.join(args.work, name + ".png")
    out_grid = os.path.join(args.work, name + ".json")
    for stale in (out_png, out_grid):
        if os.path.exists(stale):
            os.remove(stale)

    command = [sys.executable, REFERENCE] if args.renderer == "reference" else [args.renderer]
    command += [args.scene, "--grid", out_grid]
    check_png = os.path.exists(expected_png)
    if check_png:
        command += ["--png", out_png]
    run = subprocess.run(command, capture_output=True, text=True)
    sys.stderr.write(run.stderr)
    if run.returncode != 0:
        print(f"{name}: exit status {run.returncode}", file=sys.stderr)
        return 1

    failed = False
    checks = [("json", out_grid, expected_grid)] + ([("png", out_png, expected_png)] if check_png else [])
    for kind, actual, expected in checks:
        result = subprocess.run([args.compare, kind, actual, expected], capture_output=True, text=True)
        if result.returncode != 0:
            print(f"{name}: {kind} differs from {os.path.basename(expected)}\n{result.stderr}",
                  file=sys.stderr)
            failed = True
    if not failed:
        print(f"{name}: grid{' and PNG' if check_png else ''} match")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
