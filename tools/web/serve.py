#!/usr/bin/env python3
"""Serves the browser build's page, and nothing else, for trying it locally.

    tools/web/serve.py FOLDER [--bind 127.0.0.1] [--port 8000]

Only the page's own files are answered: those in FOLDER whose names end as
the page's do (.html, .css, .js, .wasm, .png) and the .txt files of its
licences/ folder. No folder is listed (/ is index.html), nothing outside
FOLDER or hidden is reached, and the zip and anything else a build leaves
there answer 404.
WebAssembly goes out as application/wasm, which browsers need to compile it
as it arrives.
"""
import argparse
import http.server
import os
import posixpath
import sys
import urllib.parse

TYPES = {
    ".html": "text/html; charset=utf-8",
    ".css": "text/css; charset=utf-8",
    ".js": "text/javascript; charset=utf-8",
    ".wasm": "application/wasm",
    ".png": "image/png",
    ".txt": "text/plain; charset=utf-8",
}


def page_file(root, url_path):
    """The file of the page that url_path names, or None."""
    path = posixpath.normpath(urllib.parse.unquote(url_path.split("?", 1)[0].split("#", 1)[0]))
    if path in ("/", "."):
        path = "/index.html"
    parts = [p for p in path.split("/") if p]
    if not parts or any(p.startswith(".") for p in parts):
        return None
    ext = os.path.splitext(parts[-1])[1]
    if len(parts) == 1 and ext not in (".html", ".css", ".js", ".wasm", ".png"):
        return None
    if len(parts) == 2 and (parts[0] != "licences" or ext != ".txt"):
        return None
    if len(parts) > 2:
        return None
    file = os.path.join(root, *parts)
    return file if os.path.isfile(file) else None


class PageHandler(http.server.BaseHTTPRequestHandler):
    root = "."
    server_version = "demo-page"
    sys_version = ""

    def answer(self, with_body):
        file = page_file(self.root, self.path)
        if file is None:
            self.send_error(404)
            return
        with open(file, "rb") as f:
            data = f.read()
        self.send_response(200)
        self.send_header("Content-Type", TYPES[os.path.splitext(file)[1]])
        self.send_header("Content-Length", str(len(data)))
        self.send_header("X-Content-Type-Options", "nosniff")
        self.send_header("Cache-Control", "no-cache")
        self.end_headers()
        if with_body:
            self.wfile.write(data)

    def do_GET(self):
        self.answer(True)

    def do_HEAD(self):
        self.answer(False)


def main():
    parser = argparse.ArgumentParser(description="Serve the browser build's page.")
    parser.add_argument("folder")
    parser.add_argument("--bind", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=8000)
    args = parser.parse_args()
    if not os.path.isfile(os.path.join(args.folder, "index.html")):
        sys.exit(f"serve.py: no index.html in {args.folder} (make web builds it)")
    PageHandler.root = os.path.abspath(args.folder)
    server = http.server.ThreadingHTTPServer((args.bind, args.port), PageHandler)
    # (With --port 0 the system picks one: said on the first line.)
    print(f"Serving {args.folder} on http://{args.bind}:{server.server_address[1]}/ (Ctrl-C stops)", flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
