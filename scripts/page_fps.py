#!/usr/bin/python3
"""The page's frame rate at the start position and inside the cloud, from
its own log, in headless Chromium (not waiting for the display):

    scripts/page_fps.py [PAGE_FOLDER] [THREADS] [--plain] [--native PROGRAM]

A key script holds still for 3000 frames, moves the eye to about -1.2
(38 frames of Down from -5) and holds still for 600 more; the log's number
after each stretch is the frames counted over its last second. The first
hold is long because the browser runs the program's first seconds on its
baseline compiler's code (at frame 400 the page ran at about half its later
rate here). With --native the Linux program (build/default/main/quillon)
runs the same moves with the same settings right after, on its reference
device and SDL's offscreen driver, each position held longer (10000 and
3000 frames: it runs several times faster), and the ratios are printed too.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "web"))
import page_test  # noqa: E402

SCRIPT = "3000\n38 DOWN\n600\n1 ESCAPE\n"
# The native program's: the same moves, held longer, so that each figure is
# still a whole second in its position at several times the page's rate.
NATIVE_SCRIPT = "10000\n38 DOWN\n3000\n1 ESCAPE\n"


def figures(log, start_frames):
    lines = log.split(b"\r\n")
    return int(lines[start_frames - 1]), int(lines[-2])


def native(program, threads):
    with tempfile.TemporaryDirectory(prefix="quillon-fps-") as work:
        keys = os.path.join(work, "fps.keys")
        with open(keys, "w") as f:
            f.write(NATIVE_SCRIPT)
        env = dict(os.environ, QUILLON_KEYS=keys, QUILLON_DRIVE_C=work, QUILLON_DEVICE="ref",
                   QUILLON_VSYNC="0", QUILLON_THREADS=threads, SDL_VIDEODRIVER="offscreen")
        run = subprocess.run([program], env=env, stdout=subprocess.DEVNULL,
                             stderr=subprocess.PIPE, text=True)
        if run.returncode != 0:
            sys.exit(f"{program} ended with status {run.returncode}: {run.stderr}")
        with open(os.path.join(work, "FPS.TXT"), "rb") as f:
            return figures(f.read(), 10000)


def main():
    args = sys.argv[1:]
    program = None
    if "--native" in args:
        at = args.index("--native")
        program = args[at + 1] if at + 1 < len(args) else "build/default/main/quillon"
        del args[at:at + 2]
    args = [a for a in args if a != "--plain"]
    folder = args[0] if args else "build/web/page"
    threads = args[1] if len(args) > 1 else "2"
    work = tempfile.mkdtemp(prefix="quillon-fps-")
    for name in os.listdir(folder):
        shutil.copy(os.path.join(folder, name), work)
    with open(os.path.join(work, "fps.keys"), "w") as f:
        f.write(SCRIPT)
    downloads = os.path.join(work, "downloads")
    os.mkdir(downloads)
    page = page_test.Page(work, "--plain" not in sys.argv, downloads, time.monotonic() + 300)
    try:
        page.open(f"QUILLON_KEYS=fps.keys&QUILLON_VSYNC=0&QUILLON_THREADS={threads}")
        page.wait("QuillonPage.status !== null", "end")
        start, inside = figures(page_test.downloaded(downloads, "FPS.TXT", page.deadline), 3000)
    finally:
        page.close()
        shutil.rmtree(work, ignore_errors=True)
    print(f"page: start {start} fps, inside the cloud {inside} fps")
    if program:
        nstart, ninside = native(program, threads)
        print(f"native: start {nstart} fps, inside the cloud {ninside} fps; page/native "
              f"{start / nstart:.2f} and {inside / ninside:.2f}")


if __name__ == "__main__":
    main()
