#!/usr/bin/env bash
# Serves the browser build's page on this machine, cross-origin isolated
# (so the reference device draws with WebAssembly threads):
#
#   scripts/serve-web.sh [FOLDER] [PORT]     (build/web/page, 8080)
#
# then open http://127.0.0.1:PORT/quillon.html (settings go in the query
# string: quillon.html?QUILLON_HUD=1). Ctrl+C stops it.
set -euo pipefail
cd "$(dirname "$0")/.."
folder=${1:-build/web/page}
port=${2:-8080}
[ -f "$folder/quillon.html" ] ||
  { echo "serve-web.sh: no $folder/quillon.html: build it with cmake --preset web && cmake --build --preset web" >&2; exit 1; }
echo "serving $folder on http://127.0.0.1:$port/quillon.html (Ctrl+C stops)"
exec /usr/bin/python3 - "$folder" "$port" <<'PY'
import functools, http.server, sys

class Isolated(http.server.SimpleHTTPRequestHandler):
    extensions_map = {".js": "text/javascript", ".wasm": "application/wasm",
                      ".html": "text/html", "": "application/octet-stream"}

    def end_headers(self):
        # SharedArrayBuffer, and so WebAssembly threads, need both.
        self.send_header("Cross-Origin-Opener-Policy", "same-origin")
        self.send_header("Cross-Origin-Embedder-Policy", "require-corp")
        super().end_headers()

handler = functools.partial(Isolated, directory=sys.argv[1])
http.server.ThreadingHTTPServer(("127.0.0.1", int(sys.argv[2])), handler).serve_forever()
PY
