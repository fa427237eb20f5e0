#!/usr/bin/env python3
"""Checks the map of the tree: no file includes a header of a layer above its own, and the
portable core (mesh/, scene/) names no Windows type or message word and includes the Windows
headers only in a _win.cpp platform half. Prints each breach; exits 1 when there is one."""
import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
LAYERS = ["mesh", "warp", "scene", "views", "app"]  # lowest first
WINDOWS_WORDS = re.compile(r"\b(WPARAM|LPARAM|HWND|lParam|wParam|WM_[A-Z_]+)|\w*(LParam|WParam)\w*")
INCLUDE = re.compile(r'#\s*include\s*[<"]([^>"]+)[>"]')

breaches = []
for rank, layer in enumerate(LAYERS):
    for path in sorted((ROOT / layer).rglob("*")):
        if path.suffix not in (".h", ".cpp"):
            continue
        name = path.relative_to(ROOT)
        text = path.read_text(encoding="utf-8")
        for number, line in enumerate(text.splitlines(), 1):
            m = INCLUDE.search(line)
            if m:
                folder = m.group(1).split("/")[0]
                if folder in LAYERS and LAYERS.index(folder) > rank:
                    breaches.append(f"{name}:{number}: includes {m.group(1)}, a layer above")
                if (layer in ("mesh", "scene") and m.group(1).lower() == "windows.h"
                        and not path.name.endswith("_win.cpp")):
                    breaches.append(f"{name}:{number}: the Windows headers outside a _win.cpp half")
            if layer in ("mesh", "scene") and WINDOWS_WORDS.search(line):
                breaches.append(f"{name}:{number}: a Windows word: {line.strip()}")

for b in breaches:
    print(b)
sys.exit(1 if breaches else 0)
