#!/usr/bin/env python3
"""Hostile scene files for vorlin-render: values nested far deeper than any scene needs, a
canvas beyond the pixels the tool renders, and refinement repeated until the mesh would
outgrow memory. Each must end within the time limit, within the tool's documented memory
bound, without a signal or sanitizer report, with the exit status and message the scene
format gives.

Usage: hostile_scenes.py --renderer PATH --work DIR
"""

import argparse
import json
import os
import sys

from corrupt_images import run_renderer

DEPTH = 60000  # about 120 KB of brackets


def nested(depth):
    return "[" * depth + "]" * depth


def cases():
    # name, scene text, output options, expected exit status, what stderr must say
    yield ("deep_family_value", '{"actions": [{"family": %s}]}' % nested(DEPTH), ["--grid"], 2,
           "actions[0].family")
    yield ("deep_refine_value", '{"actions": [{"refine": %s}]}' % nested(DEPTH), ["--grid"], 2,
           "actions[0].refine")
    yield ("deep_point", '{"columns": %s}' % nested(DEPTH), ["--grid"], 2, "columns[0]")
    yield ("deep_unclosed", "[" * DEPTH, ["--grid"], 2, "JSON")
    canvas = {"columns": [[[0, 0], [2147483647, 2147483647]]]}
    yield ("canvas_beyond_bound", json.dumps(canvas), ["--png"], 1, "canvas")
    # Eight refinements of a 2 x 2 mesh give 257 curves a family; thirty would give 2^30 + 1.
    # The tool must refuse the refinements that outgrow it, not try them for hours.
    mesh = {"columns": [[[0, 0], [0, 100]], [[100, 0], [100, 100]]],
            "rows": [[[0, 0], [100, 0]], [[0, 100], [100, 100]]],
            "actions": [{"refine": True}] * 30}
    yield ("thirty_refinements", json.dumps(mesh), ["--grid"], 0, "refine")


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--renderer", required=True)
    ap.add_argument("--work", required=True)
    args = ap.parse_args()
    os.makedirs(args.work, exist_ok=True)
    failures = 0
    count = 0
    for name, text, options, status, mention in cases():
        count += 1
        scene = os.path.join(args.work, name + ".scene.json")
        with open(scene, "w") as f:
            f.write(text)
        out = os.path.join(args.work, name + ".out")
        if os.path.exists(out):
            os.remove(out)
        problem, code, err = run_renderer([args.renderer, scene, options[0], out],
                                          os.path.join(args.work, name + ".stderr"))
        if problem is None and code != status:
            problem = "exit status %d, expected %d\n%s" % (code, status, err)
        if problem is None and mention not in err:
            problem = "the message does not mention %r:\n%s" % (mention, err)
        if problem is None and status != 0 and os.path.exists(out):
            problem = "an output file was written although the run failed"
        if problem is None and status != 0 and len(err.strip().splitlines()) != 1:
            problem = "a refusal takes one line on stderr, got:\n" + err
        print("%-24s %s" % (name, "ok" if problem is None else "FAIL"))
        if problem is not None:
            failures += 1
            print("    " + problem[:2000].replace("\n", "\n    ").rstrip())
    print("%d cases, %d failed" % (count, failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
