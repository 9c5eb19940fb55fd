#!/usr/bin/env python3
"""The game service and CDN double of the demo and the end-to-end tests.

Serves on 127.0.0.1 and 127.0.0.2 (the two editions' hosts) at one port. Every request is recorded
as one JSON line in the request log (--request-log), so tests can read what reached the service.
Web actions live in modules actions_*.py beside this file; each module defines
    register(service)
and calls service.route(path, handler) for the paths it answers. A handler receives a Request and
returns a Response (or None for 404). Switches let a test choose answers at run time: a test POSTs
JSON to /__control/switch ({"name": value, ...}); handlers read service.switch(name, default).
"""

import argparse
import glob
import importlib.util
import json
import os
import signal
import socketserver
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qs, urlsplit

HERE = os.path.dirname(os.path.abspath(__file__))


class Request:
    def __init__(self, handler, body):
        self.method = handler.command
        self.raw_path = handler.path
        split = urlsplit(handler.path)
        self.path = split.path
        self.query_string = split.query
        self.query = {k: v[-1] for k, v in parse_qs(split.query, keep_blank_values=True).items()}
        self.headers = handler.headers
        self.header_lines = [f"{k}:{v}" for k, v in handler.headers.raw_items()]
        self.host = handler.headers.get("Host", "")
        self.local_address = handler.server.server_address[0]
        self.body = body


class Response:
    def __init__(self, body=b"", status=200, content_type="text/html; charset=utf-8",
                 headers=None, delay=0.0):
        self.body = body.encode("utf-8") if isinstance(body, str) else body
        self.status = status
        self.content_type = content_type
        self.headers = headers or {}
        self.delay = delay  # seconds to stall before answering


class Service:
    def __init__(self, port, request_log, data_dir):
        self.port = port
        self.request_log = request_log
        self.data_dir = data_dir
        self.routes = {}
        self.prefix_routes = []
        self.switches = {}
        self.lock = threading.Lock()

    def route(self, path, handler):
        self.routes[path] = handler

    def route_prefix(self, prefix, handler):
        self.prefix_routes.append((prefix, handler))

    def switch(self, name, default=None):
        with self.lock:
            return self.switches.get(name, default)

    def base_url(self, edition=0):
        return f"http://127.0.0.{edition + 1}:{self.port}/"

    def record(self, request, status):
        entry = {
            "time": time.time(),
            "method": request.method,
            "path": request.path,
            "query": request.query_string,
            "host": request.host,
            "address": request.local_address,
            "headers": request.header_lines,
            "status": status,
            "body_size": len(request.body),
        }
        line = json.dumps(entry) + "\n"
        with self.lock:
            with open(self.request_log, "a", encoding="utf-8") as f:
                f.write(line)

    def dispatch(self, request):
        if request.path == "/__control/switch" and request.method == "POST":
            values = json.loads(request.body or b"{}")
            with self.lock:
                self.switches.update(values)
            return Response(json.dumps(self.switches), content_type="application/json")
        if request.path == "/__control/ping":
            return Response("pong", content_type="text/plain")
        handler = self.routes.get(request.path)
        if handler is None:
            for prefix, candidate in self.prefix_routes:
                if request.path.startswith(prefix):
                    handler = candidate
                    break
        if handler is None:
            return None
        return handler(request)


def make_handler(service):
    class Handler(BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"

        def log_message(self, fmt, *args):
            pass

        def handle_any(self):
            length = int(self.headers.get("Content-Length") or 0)
            body = self.rfile.read(length) if length > 0 else b""
            request = Request(self, body)
            try:
                response = service.dispatch(request)
            except Exception as e:  # a broken handler answers 500, the service goes on
                response = Response(f"handler error: {e}", status=500, content_type="text/plain")
            if response is None:
                response = Response("not found", status=404, content_type="text/plain")
            if not request.path.startswith("/__control/"):
                service.record(request, response.status)
            if response.delay:
                time.sleep(response.delay)
            try:
                self.send_response(response.status)
                self.send_header("Content-Type", response.content_type)
                self.send_header("Content-Length", str(len(response.body)))
                for key, value in response.headers.items():
                    self.send_header(key, value)
                self.end_headers()
                if self.command != "HEAD":
                    self.wfile.write(response.body)
            except (BrokenPipeError, ConnectionResetError):
                pass

        do_GET = do_POST = do_HEAD = handle_any

    return Handler


class Server(ThreadingHTTPServer):
    allow_reuse_address = True
    daemon_threads = True


def load_actions(service):
    for path in sorted(glob.glob(os.path.join(HERE, "actions_*.py"))):
        name = os.path.splitext(os.path.basename(path))[0]
        spec = importlib.util.spec_from_file_location(name, path)
        module = importlib.util.module_from_spec(spec)
        spec.loader.exec_module(module)
        module.register(service)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--request-log", required=True)
    parser.add_argument("--data-dir", default=None, help="folder for files the service stores")
    parser.add_argument("--ready-file", default=None, help="written once the service listens")
    args = parser.parse_args()

    data_dir = args.data_dir or os.path.dirname(os.path.abspath(args.request_log))
    os.makedirs(data_dir, exist_ok=True)
    service = Service(args.port, args.request_log, data_dir)
    load_actions(service)

    servers = []
    for address in ("127.0.0.1", "127.0.0.2"):
        server = Server((address, args.port), make_handler(service))
        servers.append(server)
        threading.Thread(target=server.serve_forever, daemon=True).start()
    if args.ready_file:
        with open(args.ready_file, "w") as f:
            f.write(str(os.getpid()))

    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())
    stop.wait()
    for server in servers:
        server.shutdown()
    return 0


if __name__ == "__main__":
    sys.exit(main())
