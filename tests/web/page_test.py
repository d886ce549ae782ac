#!/usr/bin/python3
"""The program's page as a user and as automation meet it, in headless
Chromium over the DevTools protocol, served on the loopback.

    page_test.py PAGE_FOLDER CASE [--shot FILE]

CASE is one of the table's rows below. Each loads quillon.html with its
query, plays its part (keys, the message box's OK) and checks what the page
showed and downloaded. Exits 0 when every check held.
"""
import base64
import functools
import hashlib
import http.server
import json
import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import threading
import time
import urllib.request
import zlib

import websocket

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import run_page  # noqa: E402

# The key script and time of day of the Linux and Windows capture tests, and
# the SHA-256 of each capture the Linux program writes with them on its
# reference device (QUILLON_DEVICE=ref QUILLON_TIME=45296 SDL_VIDEODRIVER=offscreen).
SCRIPT = "capture start.png\n40 LEFT\ncapture turned.png\n40 UP\ncapture moved.png\n1 ESCAPE\n"
LINUX_CAPTURES = {
    "start.png": "4a797212e768d341b6d5effb965f6134bf65abdf0a86a110e1aa778cbd3abf03",
    "turned.png": "82598e7b3c9a1b03a5c7aee6ee1dfb7b3090a130a59654fc68d2740acfdbf4cc",
    "moved.png": "fea83d5c022eb2f9279567918c6da0f10143eb4c4746f29fc75512bcf2fa4f81",
}
# Frames the script draws (40 + 40 + 1 polls), one line of the log each.
SCRIPT_FRAMES = 81
NO_FOLDER = ("(76) Path not found: /nonexistent/FPS.TXT: there is no such folder (drive C is "
             "QUILLON_DRIVE_C=/nonexistent); make the folder, or set QUILLON_DRIVE_C (--drive-c) "
             "to a folder you can write")


class SiteHandler(run_page.IsolatedHandler):
    """The page's site, whose key scripts any other site may read too (as a
    hostile site's would be)."""

    def end_headers(self):
        if self.path.split("?")[0].endswith(".keys"):
            self.send_header("Access-Control-Allow-Origin", "*")
            self.send_header("Cross-Origin-Resource-Policy", "cross-origin")
        super().end_headers()


class PlainHandler(run_page.IsolatedHandler):
    """A static host without the isolation headers."""

    def end_headers(self):
        self.send_header("Cache-Control", "no-store")
        http.server.SimpleHTTPRequestHandler.end_headers(self)


class Page:
    """One browser with one page, its console and its downloads."""

    def __init__(self, folder, isolated, downloads, deadline):
        handler = functools.partial(SiteHandler if isolated else PlainHandler,
                                    directory=folder)
        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        self.server.daemon_threads = True
        threading.Thread(target=self.server.serve_forever, daemon=True).start()
        self.deadline = deadline
        self.downloads = downloads
        self.profile = tempfile.mkdtemp(prefix="quillon-page-")
        self.browser = subprocess.Popen(
            [run_page.BROWSER, "--no-sandbox", "--remote-debugging-port=0",
             f"--user-data-dir={self.profile}", "--no-first-run", "--disable-gpu",
             "--window-size=1024,900", "about:blank"],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            start_new_session=True)
        port = run_page.devtools_port(self.profile, self.browser, deadline)
        self.next_id = 0
        self.ws = websocket.create_connection(run_page.page_socket(port, deadline), timeout=5)
        self.call("Page.setDownloadBehavior", behavior="allow", downloadPath=downloads)

    def call(self, method, **params):
        self.next_id += 1
        self.ws.send(json.dumps({"id": self.next_id, "method": method, "params": params}))
        while True:
            message = json.loads(self.ws.recv())
            if message.get("id") == self.next_id:
                if "error" in message:
                    raise RuntimeError(f"{method}: {message['error']}")
                return message.get("result", {})

    def url(self, path):
        return f"http://127.0.0.1:{self.server.server_address[1]}/{path}"

    def open(self, query):
        self.call("Page.navigate", url=self.url(f"quillon.html?{query}"))

    def js(self, expression):
        result = self.call("Runtime.evaluate", expression=expression, returnByValue=True)
        return result.get("result", {}).get("value")

    def wait(self, expression, what):
        while time.monotonic() < self.deadline:
            value = self.js(expression)
            if value:
                return value
            time.sleep(0.1)
        raise AssertionError(f"no {what}; the page's lines: {self.js('QuillonPage.lines')}")

    def key(self, kind, code, key, vk):
        self.call("Input.dispatchKeyEvent", type=kind, code=code, key=key,
                  windowsVirtualKeyCode=vk)

    def screenshot(self):
        return base64.b64decode(self.call("Page.captureScreenshot", format="png")["data"])

    def close(self):
        os.killpg(self.browser.pid, signal.SIGKILL)
        self.browser.wait()
        self.server.shutdown()
        shutil.rmtree(self.profile, ignore_errors=True)


def downloaded(folder, name, deadline):
    path = os.path.join(folder, name)
    while time.monotonic() < deadline:
        if os.path.exists(path):
            with open(path, "rb") as f:
                return f.read()
        time.sleep(0.1)
    raise AssertionError(f"no download {name}: {os.listdir(folder)}")


def check_log(log, frames=None):
    lines = log.split(b"\r\n")
    assert lines[-1] == b"" and all(l.isdigit() for l in lines[:-1]), f"log: {log[:200]!r}"
    assert frames is None or len(lines) - 1 == frames, f"{len(lines) - 1} lines, {frames} frames"


def scripted(page, work, query, keys="run.keys"):
    os.makedirs(os.path.dirname(os.path.join(work, keys)), exist_ok=True)
    with open(os.path.join(work, keys), "w") as f:
        f.write(SCRIPT)
    page.open(f"QUILLON_KEYS={keys}&QUILLON_TIME=45296&QUILLON_LOG_LEVEL=info" + query)
    status = page.wait("QuillonPage.status !== null && String(QuillonPage.status)", "end")
    assert status == "0", f"status {status}: {page.js('QuillonPage.lines')}"
    for name, digest in LINUX_CAPTURES.items():
        got = hashlib.sha256(downloaded(page.downloads, name, page.deadline)).hexdigest()
        assert got == digest, f"{name} is not the Linux program's capture"
    check_log(downloaded(page.downloads, "FPS.TXT", page.deadline), SCRIPT_FRAMES)
    return page.js("QuillonPage.lines")


def case_scripted(page, work):
    # The script in a folder of the site, drive C that folder: the captures
    # are downloads of their own names, and the log beside them is not one.
    lines = scripted(page, work, "&QUILLON_THREADS=2&QUILLON_DRIVE_C=/page/scripts",
                     "scripts/run.keys")
    assert not any("drawing with" in l for l in lines), lines


def case_plain(page, work):
    # A plain host, and a browser whose storage refuses the log: the run goes
    # on, the refusal said once.
    page.call("Page.enable")
    page.call("Page.addScriptToEvaluateOnNewDocument", source="""(() => {
        Storage.prototype.setItem = () => { throw new DOMException("full", "QuotaExceededError"); };
        const warn = console.warn;
        window.warned = [];
        console.warn = (...args) => { warned.push(args.join(" ")); warn(...args); };
      })()""")
    lines = scripted(page, work, "")
    assert any("drawing with 1 thread: the page is not cross-origin isolated" in l
               for l in lines), lines
    refusals = [w for w in page.js("warned") if "store" in w]
    assert len(refusals) == 1, refusals


def case_failure(page, work):
    page.open("QUILLON_DRIVE_C=/nonexistent")
    text = page.wait("document.getElementById('box').open && "
                     "document.getElementById('boxText').textContent", "message box")
    assert text == NO_FOLDER, text
    caption = page.js("document.querySelector('#box h1').textContent")
    assert caption == "Quillon", caption
    time.sleep(1)  # the program waits for OK
    assert page.js("QuillonPage.status") is None, "ended before OK"
    page.js("document.getElementById('ok').click()")
    status = page.wait("QuillonPage.status !== null && String(QuillonPage.status)", "end")
    assert status == "1", status
    lines = page.js("QuillonPage.lines")
    assert lines[-1] == "quillon: " + NO_FOLDER, lines
    # A refused setting: its one line, and status 2 (the threads still
    # loading as it ends say nothing on the page).
    page.open("QUILLON_HUD=clock")
    status = page.wait("QuillonPage.status !== null && String(QuillonPage.status)", "end")
    time.sleep(2.5)
    lines = page.js("QuillonPage.lines")
    assert status == "2" and lines == ["quillon: QUILLON_HUD (--hud) 'clock' is refused: it must "
                                       "be a list of fps, frametime and device, or 1 for all and "
                                       "0 for none"], (status, lines)
    other_site(page, work)


def other_site(page, work):
    # A key script on another site (the same server under another name),
    # though that site lets any page read it, is not fetched: the program
    # says it has none to play, status 2.
    with open(os.path.join(work, "run.keys"), "w") as f:
        f.write(SCRIPT)
    port = page.server.server_address[1]
    page.open(f"QUILLON_KEYS=http://localhost:{port}/run.keys")
    status = page.wait("QuillonPage.status !== null && String(QuillonPage.status)", "end")
    lines = page.js("QuillonPage.lines")
    assert status == "2" and len(lines) == 1 and "the key script: cannot read" in lines[0], (
        status, lines)


def decode_png(data):
    """Width, height and RGB rows of an 8-bit RGB or RGBA PNG."""
    width, height, depth, colour = struct.unpack(">IIBB", data[16:26])
    assert depth == 8 and colour in (2, 6), (depth, colour)
    at, idat = 8, b""
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        if kind == b"IDAT":
            idat += data[at + 8:at + 8 + length]
        at += 12 + length
    raw, n = zlib.decompress(idat), 3 if colour == 2 else 4
    stride, rows, prior = width * n, [], bytearray(width * n)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - n] if i >= n else 0
            b, c = prior[i], prior[i - n] if i >= n else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(bytes(line[j:j + 3]) for j in range(0, stride, n))
        rows[-1] = list(rows[-1])
        prior = line
    return width, height, rows


def cloud_share(page, shot=None):
    """The share of the canvas, on a screenshot of the page, that the cloud
    covers: pixels neither the clear blue nor black (the bars of a screen of
    another shape)."""
    x0, y0, w, h = page.js(
        "(() => { const r = document.getElementById('screen').getBoundingClientRect();"
        " return [Math.ceil(r.x), Math.ceil(r.y), Math.floor(r.width), Math.floor(r.height)]; })()")
    png = page.screenshot()
    if shot:
        with open(shot, "wb") as f:
            f.write(png)
    _, _, rows = decode_png(png)
    cloud = blue = 0
    for y in range(y0, y0 + h, 2):
        for p in rows[y][x0:x0 + w:2]:
            if p[0] < 40 and p[1] < 40 and p[2] > 150:
                blue += 1
            elif max(p) > 16:
                cloud += 1
    return cloud / max(1, cloud + blue)


def case_keys(page, work, shot=None):
    page.open("QUILLON_TIME=45296")
    page.wait("QuillonPage.frames > 10", "frames")
    page.js("document.getElementById('screen').focus()")
    # Seen after the page's own handlers: whether they kept the key's default.
    page.js("window.kept = []; addEventListener('keydown', "
            "(e) => kept.push(e.code + ':' + e.defaultPrevented)); 1")
    near = cloud_share(page, shot)
    # The first key also takes the screen (the page asks for it then).
    page.key("rawKeyDown", "ArrowUp", "ArrowUp", 38)
    frames = page.js("QuillonPage.frames")
    page.wait(f"QuillonPage.frames > {frames} + 60", "frames with Up held")
    page.key("keyUp", "ArrowUp", "ArrowUp", 38)
    far = cloud_share(page)
    assert far < near * 0.6, f"the cloud did not shrink: {near:.3f} of the canvas, then {far:.3f}"
    # Held until the end: a poll sees the keys down at that moment, and a
    # press let go before the next one is not seen, as on the desktop.
    page.key("rawKeyDown", "Escape", "Escape", 27)
    status = page.wait("QuillonPage.status !== null && String(QuillonPage.status)", "end")
    page.key("keyUp", "Escape", "Escape", 27)
    assert status == "0", status
    kept = page.js("kept")
    assert "ArrowUp:true" in kept and "Escape:true" in kept, f"keys left to the browser: {kept}"
    page.js("document.getElementById('save').click()")
    log = downloaded(page.downloads, "FPS.TXT", page.deadline)
    check_log(log, page.js("QuillonPage.frames"))
    shown = page.js("document.getElementById('log').textContent")
    assert shown.split("\n") == log.decode().split("\r\n")[-7:-1], (shown, log[-60:])
    closing(page)


def closing(page):
    """The tab left while the program runs: the browser's storage has every
    line written until then, not its copy of up to a second before."""
    page.open("QUILLON_TIME=45296")
    # Past the first of the copies made once a second.
    page.wait("QuillonPage.frames > 100", "frames")
    # The log in the page's memory as the page goes, after the page's own
    # handlers ran.
    page.js("addEventListener('pagehide', () => localStorage.setItem('written', "
            "FS.readFile(QuillonPage.logPath, {encoding: 'utf8'}))); 1")
    page.call("Page.navigate", url=page.url("left"))
    stored, written = page.wait("location.pathname === '/left' && [localStorage.getItem("
                                "'quillon FPS.TXT'), localStorage.getItem('written')]", "next page")
    check_log((written or "").encode())
    lines = [(text or "").count("\n") for text in (stored, written)]
    assert stored == written, "stored {} lines of {}".format(*lines)


CASES = {  # name: (isolated, run)
    "scripted": (True, case_scripted),
    "plain": (False, case_plain),
    "failure": (True, case_failure),
    "keys": (True, case_keys),
}


def main():
    folder, case = sys.argv[1], sys.argv[2]
    shot = sys.argv[4] if len(sys.argv) > 4 and sys.argv[3] == "--shot" else None
    isolated, run = CASES[case]
    work = tempfile.mkdtemp(prefix="quillon-site-")
    for name in os.listdir(folder):
        shutil.copy(os.path.join(folder, name), work)
    downloads = os.path.join(work, "downloads")
    os.mkdir(downloads)
    page = Page(work, isolated, downloads, time.monotonic() + 120)
    try:
        run(page, work, shot) if shot else run(page, work)
    except (AssertionError, websocket.WebSocketException) as e:
        print(f"FAIL {case}: {e}")
        return 1
    finally:
        page.close()
        shutil.rmtree(work, ignore_errors=True)
    print(f"PASS {case}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
