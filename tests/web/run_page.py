#!/usr/bin/python3
"""Runs an emscripten program (NAME.js beside NAME.wasm) as a page in headless
Chromium and exits with the program's status, its output on ours.

    run_page.py [--timeout S] [--bench] PROGRAM.js [ARG...]

The program's folder is served on the loopback with the headers that make the
page cross-origin isolated (SharedArrayBuffer, and so WebAssembly threads).
The browser is driven through its DevTools protocol (Debian's
python3-websocket). The page posts the program's whole output back with its
exit status, an abort or an uncaught error (the console's events can be lost
when a program prints fast); a page that posts nothing by the deadline gives
what it printed so far. Everything this starts stops by the deadline,
whatever the page does.
"""
import argparse
import functools
import http.server
import json
import os
import queue
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse
import urllib.request

import websocket

BROWSER = "chromium-headless-shell"
HERE = os.path.dirname(os.path.abspath(__file__))


class IsolatedHandler(http.server.SimpleHTTPRequestHandler):
    """Serves a folder, and the test page from tests/web, cross-origin isolated."""

    extensions_map = {".js": "text/javascript", ".wasm": "application/wasm",
                      ".html": "text/html", "": "application/octet-stream"}

    def end_headers(self):
        self.send_header("Cross-Origin-Opener-Policy", "same-origin")
        self.send_header("Cross-Origin-Embedder-Policy", "require-corp")
        self.send_header("Cache-Control", "no-store")
        super().end_headers()

    def do_POST(self):
        """The page's report: {"end": "exit" | "abort" | "error", "value", "output"}."""
        body = self.rfile.read(int(self.headers.get("Content-Length", 0)))
        self.send_response(204)
        self.end_headers()
        self.server.reports.put(json.loads(body))

    def translate_path(self, path):
        if urllib.parse.urlsplit(path).path == "/test_page.html":
            return os.path.join(HERE, "test_page.html")
        return super().translate_path(path)

    def log_message(self, *args):
        pass


def serve(folder):
    handler = functools.partial(IsolatedHandler, directory=folder)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    server.daemon_threads = True
    server.reports = queue.Queue()
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def devtools_port(profile, browser, deadline):
    """The port the browser chose, from the file it writes in its profile."""
    path = os.path.join(profile, "DevToolsActivePort")
    while time.monotonic() < deadline and browser.poll() is None:
        try:
            with open(path) as f:
                return int(f.readline())
        except (OSError, ValueError):
            time.sleep(0.05)
    raise RuntimeError("the browser did not open its DevTools port")


def page_socket(port, deadline):
    while time.monotonic() < deadline:
        with urllib.request.urlopen(f"http://127.0.0.1:{port}/json/list", timeout=5) as r:
            pages = [t for t in json.load(r) if t.get("type") == "page"]
        if pages:
            return pages[0]["webSocketDebuggerUrl"]
        time.sleep(0.05)
    raise RuntimeError("the browser has no page")


def run(program, program_args, timeout):
    deadline = time.monotonic() + timeout
    folder, name = os.path.split(os.path.abspath(program))
    query = urllib.parse.urlencode([("program", name)] + [("arg", a) for a in program_args])
    server = serve(folder)
    profile = tempfile.mkdtemp(prefix="quillon-page-")
    browser = subprocess.Popen(
        [BROWSER, "--no-sandbox", "--remote-debugging-port=0", f"--user-data-dir={profile}",
         "--no-first-run", "--disable-gpu", "about:blank"],
        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
        start_new_session=True)
    try:
        ws = websocket.create_connection(page_socket(devtools_port(profile, browser, deadline),
                                                     deadline), timeout=5)
        ws.send(json.dumps({"id": 1, "method": "Page.navigate", "params": {
            "url": f"http://127.0.0.1:{server.server_address[1]}/test_page.html?{query}"}}))
        try:
            report = server.reports.get(timeout=max(0, deadline - time.monotonic()))
        except queue.Empty:
            try:  # what it printed, unless the page is stuck too
                ws.send(json.dumps({"id": 2, "method": "Runtime.evaluate",
                                    "params": {"expression": "output.join('\\n')"}}))
                message = {}
                while message.get("id") != 2:
                    message = json.loads(ws.recv())
                print(message.get("result", {}).get("result", {}).get("value", ""), flush=True)
            except websocket.WebSocketException:
                pass
            print(f"{program}: no end after {timeout} s", flush=True)
            return 124
        if report["output"]:
            print(report["output"], flush=True)
        if report["end"] == "exit":
            return int(report["value"])
        print(f"{program}: {report['end']}: {report['value']}", flush=True)
        return 134
    finally:
        os.killpg(browser.pid, signal.SIGKILL)
        browser.wait()
        server.shutdown()
        shutil.rmtree(profile, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--timeout", type=float, default=540)
    parser.add_argument("program")
    parser.add_argument("args", nargs=argparse.REMAINDER)
    options = parser.parse_args()
    sys.exit(run(options.program, options.args, options.timeout))


if __name__ == "__main__":
    main()
