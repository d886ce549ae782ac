#!/usr/bin/python3
"""The page's frame rate at the start position and inside the cloud, from
its own log, in headless Chromium (not waiting for the display):

    scripts/page_fps.py [PAGE_FOLDER] [THREADS] [--plain]

A key script holds still for 3000 frames, moves the eye to about -1.2
(38 frames of Down from -5) and holds still for 600 more; the log's number
after each stretch is the frames counted over its last second. The first
hold is long because the browser runs the program's first seconds on its
baseline compiler's code (at frame 400 the page ran at about half its later
rate here). The same
script and settings give the native program's figures:

    QUILLON_KEYS=... QUILLON_DEVICE=ref QUILLON_VSYNC=0 QUILLON_THREADS=N \
      SDL_VIDEODRIVER=offscreen build/default/main/quillon
"""
import os
import shutil
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "web"))
import page_test  # noqa: E402

SCRIPT = "3000\n38 DOWN\n600\n1 ESCAPE\n"


def main():
    args = [a for a in sys.argv[1:] if a != "--plain"]
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
        log = page_test.downloaded(downloads, "FPS.TXT", page.deadline).split(b"\r\n")
    finally:
        page.close()
        shutil.rmtree(work, ignore_errors=True)
    print(f"start: {int(log[2999])} fps, inside the cloud: {int(log[-2])} fps")


if __name__ == "__main__":
    main()
