#!/usr/bin/env python3
# Writes every scene's expected files with the reference model (never with vorlin-render):
# NAME.expected.json always, NAME.expected.png unless the canvas is too large to render
# (such scenes check the grid only). Run after changing a scene; review the images.
import glob
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
REFERENCE = os.path.join(HERE, "..", "reference", "vorlin_reference.py")
sys.path.insert(0, os.path.dirname(REFERENCE))
import vorlin_reference as ref  # noqa: E402

SCENES = os.path.join(HERE, "scenes")

MAX_RENDERED_PIXELS = 1 << 20


def main():
    names = sys.argv[1:] or sorted(os.path.basename(p)[:-len(".scene.json")]
                                   for p in glob.glob(os.path.join(SCENES, "*.scene.json")))
    for name in names:
        scene = os.path.join(SCENES, name + ".scene.json")
        editor, width, height, _ = ref.render_scene(scene)
        command = [sys.executable, REFERENCE, scene, "--grid", os.path.join(SCENES, name + ".expected.json")]
        png = os.path.join(SCENES, name + ".expected.png")
        if width * height <= MAX_RENDERED_PIXELS:
            command += ["--png", png]
        elif os.path.exists(png):
            os.remove(png)
        subprocess.run(command, check=True)
        print(f"{name}: canvas {width} x {height}{'' if '--png' in command else ', grid only'}")


if __name__ == "__main__":
    main()
