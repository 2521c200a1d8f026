#!/usr/bin/env python3
"""The end-to-end test's web server on 127.0.0.1: any path is a small HTML page; /report
appends its query, as one JSON line, to the report file. The chosen port is written to
the port file once the server listens."""
import json
import os
import sys
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

port_file, report_file = sys.argv[1], sys.argv[2]


class Handler(BaseHTTPRequestHandler):
    def do_GET(self):
        parts = urllib.parse.urlsplit(self.path)
        if parts.path == "/report":
            fields = dict(urllib.parse.parse_qsl(parts.query, keep_blank_values=True))
            with open(report_file, "a", encoding="utf-8") as f:
                f.write(json.dumps(fields) + "\n")
            self.send_response(204)
            self.end_headers()
            return
        body = (b"<!doctype html><title>Gallery</title>"
                b"<a href='a.jpg'><img src='t/a.png'></a> <a href='b.jpg'>b</a>")
        self.send_response(200)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
with open(port_file + ".part", "w") as f:
    f.write(str(server.server_address[1]))
os.rename(port_file + ".part", port_file)
server.serve_forever()
