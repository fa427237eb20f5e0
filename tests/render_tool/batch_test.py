#!/usr/bin/env python3
# vorlin-render in the README's batch forms, with the real ffmpeg and GNU parallel: raw frames
# from ffmpeg through --frames into ffmpeg give, frame by frame, the pixels of --source renders
# of the same frames; a stream ending in a short frame keeps its whole frames and exits 1; a
# reader that stops early ends the renderer promptly with status 1 and one message; --canvas
# prints the size ffmpeg is given; the local form of the parallel command renders a folder.
import argparse
import os
import shutil
import subprocess
import sys

from bad_input_test import Checker

SCENE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "scenes",
                     "drawn_mesh.scene.json")
FRAME = (64, 48)
FRAMES = 4
TIMEOUT_S = 60  # a hang runs far beyond this


def ffmpeg(*args, **kw):
    return ["ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y"] + list(args)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--renderer", required=True)
    ap.add_argument("--compare", required=True)
    ap.add_argument("--work", required=True)
    args = ap.parse_args()
    r = os.path.abspath(args.renderer)
    work = os.path.abspath(args.work)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(os.path.join(work, "frames"))
    c = Checker()
    size = "%dx%d" % FRAME

    canvas = subprocess.run([r, SCENE, "--canvas"], capture_output=True, timeout=TIMEOUT_S)
    c.expect("--canvas", canvas.returncode == 0 and canvas.stdout == b"112x82\n" and not canvas.stderr,
             f"status {canvas.returncode}, stdout {canvas.stdout!r}, stderr {canvas.stderr!r}")
    canvas_size = canvas.stdout.decode().strip()
    canvas_bytes = 112 * 82 * 4

    # A lossless video, and its frames as RGBA PNG files from the same conversion.
    video = os.path.join(work, "in.mkv")
    subprocess.run(ffmpeg("-f", "lavfi", "-i", f"testsrc2=size={size}:rate=5", "-frames:v", str(FRAMES),
                          "-c:v", "ffv1", video), check=True, timeout=TIMEOUT_S)
    subprocess.run(ffmpeg("-i", video, "-pix_fmt", "rgba", os.path.join(work, "frames", "f%03d.png")),
                   check=True, timeout=TIMEOUT_S)
    raw = subprocess.run(ffmpeg("-i", video, "-f", "rawvideo", "-pix_fmt", "rgba", "-"),
                         check=True, capture_output=True, timeout=TIMEOUT_S).stdout
    frame_bytes = FRAME[0] * FRAME[1] * 4
    c.expect("raw frames", len(raw) == FRAMES * frame_bytes, f"{len(raw)} bytes of raw frames")

    # The expected pictures: each frame's PNG through --source.
    names = sorted(os.listdir(os.path.join(work, "frames")))
    os.makedirs(os.path.join(work, "expected"))
    for name in names:
        subprocess.run([r, SCENE, "--source", os.path.join(work, "frames", name), "--png",
                        os.path.join(work, "expected", name)], check=True, timeout=TIMEOUT_S)

    # ffmpeg | vorlin-render --frames | ffmpeg, as the README writes it.
    os.makedirs(os.path.join(work, "out"))
    decode = subprocess.Popen(ffmpeg("-i", video, "-f", "rawvideo", "-pix_fmt", "rgba", "-"),
                              stdout=subprocess.PIPE)
    render = subprocess.Popen([r, SCENE, "--frames", size], stdin=decode.stdout, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE)
    decode.stdout.close()
    encode = subprocess.Popen(ffmpeg("-f", "rawvideo", "-pix_fmt", "rgba", "-s", canvas_size, "-r", "5",
                                     "-i", "-", os.path.join(work, "out", "f%03d.png")),
                              stdin=render.stdout)
    render.stdout.close()
    statuses = [p.wait(timeout=TIMEOUT_S) for p in (decode, render, encode)]
    err = render.stderr.read()
    c.expect("ffmpeg pipeline", statuses == [0, 0, 0] and not err, f"statuses {statuses}, stderr {err!r}")
    got = sorted(os.listdir(os.path.join(work, "out")))
    c.expect("ffmpeg pipeline", got == names, f"frames written {got}, expected {names}")
    for name in got:
        cmp = subprocess.run([args.compare, "png", os.path.join(work, "out", name),
                              os.path.join(work, "expected", name)], capture_output=True)
        c.expect("ffmpeg pipeline " + name, cmp.returncode == 0, cmp.stderr.decode(errors="replace"))

    # The same frames straight from the bytes: the whole stream, then one ending half a frame short.
    whole = subprocess.run([r, SCENE, "--frames", size], input=raw, capture_output=True, timeout=TIMEOUT_S)
    c.expect("raw stream", whole.returncode == 0 and len(whole.stdout) == FRAMES * canvas_bytes and
             not whole.stderr, f"status {whole.returncode}, {len(whole.stdout)} bytes, {whole.stderr!r}")
    short = subprocess.run([r, SCENE, "--frames", size], input=raw[:2 * frame_bytes + frame_bytes // 2],
                           capture_output=True, timeout=TIMEOUT_S)
    lines = short.stderr.decode(errors="replace").splitlines()
    c.expect("short last frame", short.returncode == 1, f"status {short.returncode}")
    c.expect("short last frame", short.stdout == whole.stdout[:2 * canvas_bytes],
             f"{len(short.stdout)} bytes written, not the two whole frames")
    c.expect("short last frame", len(lines) == 1 and lines[0].startswith("vorlin-render: ") and
             "frame 2" in lines[0] and "short" in lines[0], f"stderr {lines}")
    empty = subprocess.run([r, SCENE, "--frames", size], input=b"", capture_output=True, timeout=TIMEOUT_S)
    c.expect("no frames", empty.returncode == 0 and empty.stdout == b"" and not empty.stderr,
             f"status {empty.returncode}, stdout {len(empty.stdout)} bytes, {empty.stderr!r}")

    # A reader that takes two frames of an endless stream and exits.
    source = subprocess.Popen(ffmpeg("-re", "-f", "lavfi", "-i", f"testsrc2=size={size}:rate=50",
                                     "-f", "rawvideo", "-pix_fmt", "rgba", "-"), stdout=subprocess.PIPE)
    render = subprocess.Popen([r, SCENE, "--frames", size], stdin=source.stdout, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE)
    source.stdout.close()
    reader = subprocess.Popen(ffmpeg("-f", "rawvideo", "-pix_fmt", "rgba", "-s", canvas_size, "-i", "-",
                                     "-frames:v", "2", "-f", "null", "-"), stdin=render.stdout)
    render.stdout.close()
    try:
        status = render.wait(timeout=TIMEOUT_S)
    except subprocess.TimeoutExpired:
        render.kill()
        status = "none: still running after %d s" % TIMEOUT_S
    source.kill()
    source.wait()
    reader.wait(timeout=TIMEOUT_S)
    lines = render.stderr.read().decode(errors="replace").splitlines()
    c.expect("reader stops", status == 1, f"status {status}")
    c.expect("reader stops", len(lines) == 1 and lines[0].startswith("vorlin-render: standard output"),
             f"stderr {lines}")

    # The local form of the README's GNU parallel command (':' is this machine).
    job = (f"mkdir -p warped && {r} mesh.scene.json --source {{}} --png warped/{{/.}}.png")
    shutil.copy(SCENE, os.path.join(work, "mesh.scene.json"))
    par = subprocess.run(["parallel", "--will-cite", "--sshlogin", ":", "--basefile", "mesh.scene.json",
                          "--transferfile", "{}", "--return", "warped/{/.}.png", "--cleanup", job, ":::"] +
                         [os.path.join("frames", n) for n in names], cwd=work, capture_output=True,
                         timeout=TIMEOUT_S)
    c.expect("parallel", par.returncode == 0, f"status {par.returncode}, {par.stderr!r}")
    for name in names:
        cmp = subprocess.run([args.compare, "png", os.path.join(work, "warped", name),
                              os.path.join(work, "expected", name)], capture_output=True)
        c.expect("parallel " + name, cmp.returncode == 0, cmp.stderr.decode(errors="replace"))

    print("batch forms: %d failed checks" % c.failures)
    return 1 if c.failures else 0


if __name__ == "__main__":
    sys.exit(main())
