#!/usr/bin/env python3
"""Local HTTPS stand-in for the wizard's backend, used by tests and the demo run.

Serves the configuration ("/o"), event reports ("/qdd"), images and installers
("/f/<name>") and any route a scenario file defines, with fault injection, and
records every request as one JSON line. Python standard library only.
See README.md beside this file for the scenario and log formats.
"""

import argparse
import base64
import email.utils
import json
import mimetypes
import os
import signal
import socket
import socketserver
import ssl
import warnings
import struct
import sys
import threading
import time
import traceback
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

HOST = "127.0.0.1"
MAX_REQUEST_BODY = 64 * 1024 * 1024
CHUNK = 64 * 1024
# Generated bodies repeat this block, so byte i of a body is i % 256.
PATTERN = bytes(range(256)) * (CHUNK // 256)
MAX_DELAY = 60.0
HANG_SECONDS = 30.0
HOP_PARAM = "__hop"
NO_BODY_STATUSES = {204, 304}

SCRIPT_DIR = os.path.dirname(os.path.abspath(__file__))


class ScenarioError(Exception):
    pass


# --------------------------------------------------------------------------
# Scenario file: re-read whenever its bytes change, so a test can rewrite it
# between steps without a restart.

class ScenarioStore:
    def __init__(self, path):
        self.path = os.path.abspath(path) if path else None
        self.base_dir = os.path.dirname(self.path) if self.path else SCRIPT_DIR
        self.lock = threading.Lock()
        self.raw = None
        self.data = {}
        self.counters = {}

    def load_initial(self):
        if self.path is None:
            return
        with open(self.path, "rb") as f:
            raw = f.read()
        self.data = self._parse(raw)
        self.raw = raw

    def _parse(self, raw):
        data = json.loads(raw.decode("utf-8"))
        if not isinstance(data, dict):
            raise ScenarioError("the scenario must be a JSON object")
        routes = data.get("routes", [])
        if not isinstance(routes, list) or not all(isinstance(r, dict) and isinstance(r.get("path"), str)
                                                   for r in routes):
            raise ScenarioError('"routes" must be a list of objects with a "path"')
        return data

    def get(self):
        if self.path is None:
            return self.data
        # A writer that does not rename atomically can be caught half-way:
        # retry briefly, then keep the last good scenario.
        for attempt in range(5):
            try:
                with open(self.path, "rb") as f:
                    raw = f.read()
            except OSError as e:
                log_error(f"scenario unreadable, keeping the last one: {e}")
                break
            with self.lock:
                if raw == self.raw:
                    return self.data
            try:
                data = self._parse(raw)
            except (ValueError, ScenarioError) as e:
                if attempt == 4:
                    log_error(f"scenario invalid, keeping the last one: {e}")
                time.sleep(0.02)
                continue
            with self.lock:
                self.raw, self.data = raw, data
            break
        with self.lock:
            return self.data

    def reload(self):
        """SIGHUP: read the file again and start every sequence over."""
        with self.lock:
            self.raw = None
            self.counters.clear()

    def next_index(self, key):
        with self.lock:
            n = self.counters.get(key, 0)
            self.counters[key] = n + 1
            return n


# --------------------------------------------------------------------------
# Response planning

class Body:
    """A response body that can be streamed without holding it in memory."""

    def __init__(self, data=b"", path=None, size=None, content_type=None):
        self.data = data
        self.path = path
        self.content_type = content_type
        if path is not None:
            self.length = os.path.getsize(path)
        elif size is not None:
            self.length = int(size)
        else:
            self.length = len(data)
        self.generated = path is None and size is not None
        self.offset = 0            # where a 206 answer starts

    def validators(self):
        """ETag and Last-Modified of a file or generated body (None for an inline one)."""
        if self.path is not None:
            st = os.stat(self.path)
            return f'"f{st.st_size:x}-{st.st_mtime_ns:x}"', email.utils.formatdate(st.st_mtime, usegmt=True)
        if self.generated:
            return f'"g{self.length:x}"', None
        return None, None

    def chunks(self, limit, chunk=CHUNK):
        left = min(limit, self.length - self.offset)
        if self.path is not None:
            with open(self.path, "rb") as f:
                f.seek(self.offset)
                while left > 0:
                    piece = f.read(min(chunk, left))
                    if not piece:
                        return
                    left -= len(piece)
                    yield piece
        elif self.generated:
            pos = self.offset
            while left > 0:
                n = min(chunk, left, CHUNK)
                start = pos % 256
                yield (PATTERN[start:] + PATTERN[:start])[:n] if start else PATTERN[:n]
                pos += n
                left -= n
        else:
            end = self.offset + left
            for i in range(self.offset, end, chunk):
                yield self.data[i:min(i + chunk, end)]


class Plan:
    def __init__(self):
        self.status = 200
        self.reason = None
        self.headers = []          # [(name, value)] in the order they are sent
        self.body = Body()
        self.fault = None
        self.send_bytes = None     # "short": bytes actually sent
        self.abort = "close"       # how a "short" body ends: "close" or "reset"
        self.chunk_bytes = 1024    # "slow"
        self.interval = 0.1        # "slow"
        self.delay = 0.0
        self.hang_seconds = HANG_SECONDS   # "hang": the longest a connection is held silent
        self.close = False
        self.ranges = False        # Range / If-Range honoured (installer files by default)
        self.cut_after = None      # this answer's body stops after that many bytes, then the connection drops
        self.route = None          # what answered, for the log


def html_page(status, reason):
    title = f"{status} {reason}".strip()
    return (f"<!DOCTYPE html>\n<html><head><title>{title}</title></head>\n"
            f"<body><h1>{title}</h1><p>The server could not handle the request.</p>"
            f"<hr><address>test backend</address></body></html>\n").encode()


def body_from_json(value):
    if isinstance(value, str):
        return Body(value.encode("utf-8"), content_type="text/plain; charset=utf-8")
    return Body(json.dumps(value, ensure_ascii=False, separators=(",", ":")).encode("utf-8"),
                content_type="application/json")


def resolve_path(base_dir, rel):
    return rel if os.path.isabs(rel) else os.path.join(base_dir, rel)


def file_body(path):
    ctype = mimetypes.guess_type(path)[0] or "application/octet-stream"
    return Body(path=path, content_type=ctype)


def split_target(target):
    """Path and query of a request target; the hop counter of generated
    redirect chains is taken out of the query."""
    if target.startswith("/"):
        path, _, query = target.split("#", 1)[0].partition("?")
    else:   # absolute-form target
        parts = urllib.parse.urlsplit(target)
        path, query = parts.path or "/", parts.query
    pairs = urllib.parse.parse_qsl(query, keep_blank_values=True)
    hop = None
    kept = []
    for k, v in pairs:
        if k == HOP_PARAM and hop is None:
            try:
                hop = int(v)
            except ValueError:
                pass
            continue
        kept.append((k, v))
    if hop is not None:
        query = urllib.parse.urlencode(kept)
    return path, query, hop


def route_matches(route, method, path, query, port, with_query):
    want = route.get("method")
    if want and want != "*" and want.upper() != method:
        return False
    if "port" in route and int(route["port"]) != port:
        return False
    rpath = route["path"]
    if with_query:
        return "?" in rpath and rpath == f"{path}?{query}"
    return "?" not in rpath and rpath == path


def find_route(scenario, method, path, query, port):
    routes = scenario.get("routes", [])
    for with_query in (True, False):   # an exact path+query wins over the path alone
        for route in routes:
            if route_matches(route, method, path, query, port, with_query):
                return route
    return None


def default_body(store, scenario, path):
    """What a path answers when no route gives a body: None means 404."""
    if path == "/o":
        config = scenario.get("config", {})
        return body_from_json(config)
    if path == "/qdd":
        return Body()
    if path.startswith("/f/"):
        folder = scenario.get("files")
        if not folder:
            return None
        root = os.path.realpath(resolve_path(store.base_dir, folder))
        name = urllib.parse.unquote(path[3:])
        full = os.path.realpath(os.path.join(root, name))
        if not full.startswith(root + os.sep) or not os.path.isfile(full):
            return None
        return file_body(full)
    return None


def make_plan(store, scenario, method, target, port, tls, host_header):
    path, query, hop = split_target(target)
    plan = Plan()
    route = find_route(scenario, method, path, query, port)
    fields = {}
    if route is not None:
        fields = dict(route)
        seq = fields.pop("sequence", None)
        statuses = fields.pop("statuses", None)
        if statuses is not None:
            if seq is not None:
                raise ScenarioError('a route has both "sequence" and "statuses"')
            seq = [{"status": s} for s in statuses]
        if seq and hop is None:   # the hops of one redirect chain are one request
            key = json.dumps(route, sort_keys=True)
            n = store.next_index(key)
            step = seq[min(n, len(seq) - 1)]
            if isinstance(step, int):
                step = {"status": step}
            fields.update(step)
        plan.route = route["path"]

    base = default_body(store, scenario, path)
    if base is None and route is None:
        plan.status = 404
        plan.body = Body(b"not found\n", content_type="text/plain; charset=utf-8")
        plan.route = "(none)"
        return plan
    if route is None:
        plan.route = "(default)"
    plan.body = base if base is not None else Body()
    plan.status = int(fields.get("status", 200))
    plan.reason = fields.get("reason")

    # Body given by the route.
    if "body" in fields:
        plan.body = body_from_json(fields["body"])
    elif "body_base64" in fields:
        plan.body = Body(base64.b64decode(fields["body_base64"]), content_type="application/octet-stream")
    elif "body_file" in fields:
        full = resolve_path(store.base_dir, fields["body_file"])
        if not os.path.isfile(full):
            log_error(f"{path}: body_file missing: {full}")
            plan.status = 404
            plan.body = Body(f"missing file: {fields['body_file']}\n".encode(),
                             content_type="text/plain; charset=utf-8")
            return plan
        plan.body = file_body(full)
    elif "body_size" in fields:
        plan.body = Body(size=fields["body_size"], content_type="application/octet-stream")
    if "content_type" in fields:
        plan.body.content_type = fields["content_type"]

    headers = fields.get("headers", [])
    if isinstance(headers, dict):
        headers = list(headers.items())
    plan.headers = [(str(k), str(v)) for k, v in headers]

    fault = fields.get("fault")
    if fault == "html":
        reason = plan.reason or BaseHTTPRequestHandler.responses.get(plan.status, ("Error",))[0]
        plan.body = Body(html_page(plan.status, reason), content_type="text/html; charset=utf-8")
    elif fault in ("drop", "reset", "no_length", "short", "slow", "hang"):
        plan.fault = fault
    elif fault is not None:
        raise ScenarioError(f"unknown fault {fault!r} on {route['path']}")
    if fault == "short":
        plan.send_bytes = int(fields.get("send_bytes", max(plan.body.length - 1, 0)))
        plan.abort = fields.get("abort", "close")
    if fault == "hang":
        # Without send_bytes nothing at all is answered; with it the headers and that much body go first.
        plan.send_bytes = int(fields["send_bytes"]) if "send_bytes" in fields else None
        plan.hang_seconds = min(max(0.0, float(fields.get("hang_seconds", HANG_SECONDS))), MAX_DELAY)
    if fault == "slow":
        plan.chunk_bytes = max(1, int(fields.get("chunk_bytes", 1024)))
        plan.interval = min(max(0.0, float(fields.get("interval", 0.1))), MAX_DELAY)
    plan.delay = min(max(0.0, float(fields.get("delay", 0))), MAX_DELAY)
    plan.close = bool(fields.get("close", False))
    plan.ranges = bool(fields.get("ranges", plan.body.path is not None))
    if "cut_after" in fields and route is not None:
        # Only the first `cut_times` answers of this route are cut; later ones go through whole.
        key = "cut:" + json.dumps(route, sort_keys=True)
        if store.next_index(key) < int(fields.get("cut_times", 1)):
            plan.cut_after = max(0, int(fields["cut_after"]))

    if "redirect" in fields:
        plan_redirect(plan, fields["redirect"], path, query, hop, tls, host_header, port)
    return plan


def plan_redirect(plan, red, path, query, hop, tls, host_header, port):
    """Chain of `hops` redirects: path, path?__hop=2, ... then "to"."""
    hops = max(1, int(red.get("hops", 1)))
    k = hop if hop is not None and 1 <= hop <= hops else 1
    statuses = red.get("status", 302)
    if not isinstance(statuses, list):
        statuses = [statuses]
    absolute = red.get("absolute", False)
    if absolute == "alternate":
        absolute = [True, False]
    if not isinstance(absolute, list):
        absolute = [bool(absolute)]
    make_absolute = absolute[(k - 1) % len(absolute)]
    origin = f"{'https' if tls else 'http'}://{host_header or f'{HOST}:{port}'}"

    if k < hops:
        q = urllib.parse.parse_qsl(query, keep_blank_values=True) + [(HOP_PARAM, str(k + 1))]
        location = f"{path}?{urllib.parse.urlencode(q)}"
    else:
        location = red.get("to", "/")
    if make_absolute and location.startswith("/"):
        location = origin + location
    plan.status = int(statuses[(k - 1) % len(statuses)])
    plan.reason = None
    plan.headers = [h for h in plan.headers if h[0].lower() != "location"] + [("Location", location)]
    plan.body = Body(f"redirect {k} of {hops}\n".encode(), content_type="text/plain; charset=utf-8")
    plan.fault = None


def parse_range(value, length):
    """(first, last) of a single "bytes=N-" or "bytes=N-M"; None for anything else
    (ignored, as a server may), "unsatisfiable" when it starts past the end."""
    if not value or not value.startswith("bytes=") or "," in value:
        return None
    first, dash, last = value[6:].strip().partition("-")
    if not dash or not first.isdigit() or (last and not last.isdigit()):
        return None
    first = int(first)
    last = min(int(last), length - 1) if last else length - 1
    if first >= length:
        return "unsatisfiable"
    return (first, last) if last >= first else None


def apply_range(plan, method, headers):
    """Turns a 200 into a 206 (or 416) when the route serves ranges and the
    request's If-Range, if any, names the body's current ETag or Last-Modified."""
    if not plan.ranges or plan.status != 200 or plan.fault in ("drop", "reset", "html") or method != "GET":
        return
    etag, modified = plan.body.validators()
    plan.headers = plan.headers + [("Accept-Ranges", "bytes")] + \
        [(k, v) for k, v in (("ETag", etag), ("Last-Modified", modified)) if v]
    wanted = parse_range(headers.get("Range"), plan.body.length)
    if_range = headers.get("If-Range")
    if wanted is None or (if_range is not None and if_range not in (etag, modified)):
        return
    if wanted == "unsatisfiable":
        plan.status = 416
        plan.headers.append(("Content-Range", f"bytes */{plan.body.length}"))
        plan.body = Body()
        return
    first, last = wanted
    plan.status = 206
    plan.headers.append(("Content-Range", f"bytes {first}-{last}/{plan.body.length}"))
    plan.body.offset = first
    plan.body.length = last + 1


# --------------------------------------------------------------------------
# Request log: one JSON object per line, flushed per request.

class RequestLog:
    def __init__(self, path):
        self.lock = threading.Lock()
        self.file = open(path, "w", encoding="utf-8") if path else None

    def write(self, entry):
        line = json.dumps(entry, ensure_ascii=False, separators=(",", ":"))
        with self.lock:
            if self.file is not None:
                self.file.write(line + "\n")
                self.file.flush()

    def close(self):
        if self.file is not None:
            with self.lock:
                self.file.close()
                self.file = None


def log_error(msg):
    print(f"backend: {msg}", file=sys.stderr, flush=True)


# --------------------------------------------------------------------------
# HTTP handling

class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "FennixTestBackend/1.0"
    sys_version = ""
    disable_nagle_algorithm = True   # slow bodies go out chunk by chunk

    def version_string(self):
        return self.server_version

    def setup(self):
        app = self.server.app
        self.timeout = app.idle_timeout
        self.sni = None
        self.conn_id = app.next_conn_id()
        self.seq = 0
        self.socket_closed = False
        self.drop_mode = None
        if self.server.tls_context is not None:
            self.request.settimeout(app.idle_timeout)
            self.request = self.server.tls_context.wrap_socket(self.request, server_side=True)
            self.sni = getattr(self.request, "fennix_sni", None)
        super().setup()

    def finish(self):
        try:
            super().finish()
        except OSError:
            pass
        self.close_socket()

    def close_socket(self):
        if self.socket_closed:
            return
        self.socket_closed = True
        sock = self.request
        try:
            if self.drop_mode == "reset":
                sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            elif isinstance(sock, ssl.SSLSocket) and self.drop_mode is None:
                # close_notify, so that a close-delimited body ends cleanly.
                sock.settimeout(0.5)
                sock = sock.unwrap()
            if self.drop_mode != "reset":
                sock.shutdown(socket.SHUT_RDWR)
        except (OSError, ValueError):
            pass
        try:
            sock.close()
        except OSError:
            pass
        if sock is not self.request:
            try:
                self.request.close()
            except OSError:
                pass

    def log_message(self, fmt, *args):
        if self.server.app.verbose:
            sys.stderr.write(f"backend: :{self.server.server_port} {self.address_string()} {fmt % args}\n")

    def handle_expect_100(self):
        if self.server.app.store.get().get("continue_100", False):
            return super().handle_expect_100()
        return True

    def read_body(self):
        """Whole request body; None when the client went away in the middle."""
        te = self.headers.get("Transfer-Encoding", "")
        if "chunked" in te.lower():
            data = bytearray()
            while True:
                line = self.rfile.readline(1024)
                if not line:
                    return None
                try:
                    size = int(line.split(b";")[0].strip(), 16)
                except ValueError:
                    return None
                if size == 0:
                    while True:   # trailers up to the empty line
                        t = self.rfile.readline(8192)
                        if t in (b"\r\n", b"\n", b""):
                            return bytes(data)
                if len(data) + size > MAX_REQUEST_BODY:
                    return None
                piece = self.rfile.read(size)
                if len(piece) < size:
                    return None
                data += piece
                self.rfile.readline(8)
        length = self.headers.get("Content-Length")
        if length is None:
            return b""
        try:
            n = int(length)
        except ValueError:
            return None
        if n < 0 or n > MAX_REQUEST_BODY:
            return None
        data = self.rfile.read(n)
        return data if len(data) == n else None

    def serve(self):
        app = self.server.app
        self.seq += 1
        body = self.read_body()
        incomplete = body is None
        if incomplete:
            body = b""
            self.close_connection = True
        try:
            scenario = app.store.get()
            plan = make_plan(app.store, scenario, self.command, self.path, self.server.server_port,
                             self.server.tls_context is not None, self.headers.get("Host"))
            apply_range(plan, self.command, self.headers)
            error = None
        except (ScenarioError, ValueError, TypeError, KeyError, OSError) as e:
            log_error(f"{self.command} {self.path}: scenario error: {e}")
            plan = Plan()
            plan.status = 500
            plan.body = Body(f"scenario error: {e}\n".encode(), content_type="text/plain; charset=utf-8")
            plan.route = "(error)"
            error = str(e)

        try:
            text = body.decode("utf-8")
        except UnicodeDecodeError:
            text = None
        entry = {
            "time": round(time.time(), 6),
            "port": self.server.server_port,
            "tls": self.server.tls_context is not None,
            "sni": self.sni,
            "client_port": self.client_address[1],
            "conn": self.conn_id,
            "seq": self.seq,
            "method": self.command,
            "path": self.path,
            "version": self.request_version,
            "headers": [[k, v] for k, v in self.headers.items()],
            "body_len": len(body),
            "body_b64": base64.b64encode(body).decode("ascii"),
            "body_text": text,
            "route": plan.route,
            "status": None if plan.fault in ("drop", "reset") or self.silent(plan) else plan.status,
            "fault": plan.fault,
        }
        if incomplete:
            entry["incomplete"] = True
        if error:
            entry["error"] = error
        app.log.write(entry)
        if incomplete:
            return
        self.respond(plan)

    @staticmethod
    def silent(plan):
        return plan.fault == "hang" and plan.send_bytes is None

    def hang(self, seconds):
        """Holds the connection silent until the client leaves or `seconds` pass, then drops it."""
        app = self.server.app
        deadline = time.monotonic() + seconds
        sock = self.request
        while not app.stopping.is_set() and time.monotonic() < deadline:
            try:
                sock.settimeout(0.2)
                if not sock.recv(4096):
                    break
            except (socket.timeout, ssl.SSLWantReadError):
                continue
            except (OSError, ValueError):
                break
        self.close_connection = True
        self.drop_mode = "drop"

    do_GET = do_POST = do_HEAD = do_PUT = do_DELETE = do_OPTIONS = do_PATCH = serve

    def respond(self, plan):
        app = self.server.app
        if plan.delay and app.stopping.wait(plan.delay):
            self.close_connection = True
            return
        if plan.fault in ("drop", "reset"):
            self.close_connection = True
            self.drop_mode = plan.fault
            self.close_socket()
            return
        if self.silent(plan):
            self.hang(plan.hang_seconds)
            return

        status = plan.status
        body = plan.body
        no_body = self.command == "HEAD" or status in NO_BODY_STATUSES or 100 <= status < 200
        closing = plan.close or plan.fault in ("no_length", "short", "hang") or self.close_connection \
            or plan.cut_after is not None
        given = {k.lower() for k, _ in plan.headers}

        self.send_response(status, plan.reason)
        for k, v in plan.headers:
            self.send_header(k, v)
        if body.content_type and body.length and "content-type" not in given:
            self.send_header("Content-Type", body.content_type)
        if plan.fault != "no_length" and "content-length" not in given \
                and status not in NO_BODY_STATUSES and not 100 <= status < 200:
            self.send_header("Content-Length", str(body.length - body.offset))
        if closing and "connection" not in given:
            self.send_header("Connection", "close")
        self.end_headers()
        if closing:
            self.close_connection = True

        if no_body:
            return
        limit = body.length - body.offset
        chunk = CHUNK
        if plan.fault in ("short", "hang"):
            limit = min(plan.send_bytes, limit)
        if plan.cut_after is not None:
            limit = min(plan.cut_after, limit)
        elif plan.fault == "slow":
            chunk = plan.chunk_bytes
        try:
            first = True
            for piece in body.chunks(limit, chunk):
                if plan.fault == "slow" and not first and app.stopping.wait(plan.interval):
                    raise ConnectionAbortedError("server stopping")
                first = False
                self.wfile.write(piece)
        except (OSError, ValueError) as e:
            # The client went away (or timed out): drop the connection, never wait on it.
            if app.verbose:
                log_error(f"{self.command} {self.path}: body aborted: {e}")
            self.close_connection = True
            self.drop_mode = "drop"
            return
        if plan.fault == "hang":
            self.hang(plan.hang_seconds)
            return
        if plan.cut_after is not None:
            self.drop_mode = "drop"   # TCP FIN without close_notify: the connection broke
            return
        if plan.fault == "short" and plan.abort == "reset":
            # A reset throws away unsent data: give the bytes a moment to leave.
            time.sleep(0.05)
            self.drop_mode = "reset"


class BackendServer(ThreadingHTTPServer):
    daemon_threads = True
    request_queue_size = 64

    def __init__(self, address, app, tls_context):
        self.app = app
        self.tls_context = tls_context
        super().__init__(address, Handler)

    def server_bind(self):
        # HTTPServer.server_bind looks the host name up, which can stall.
        socketserver.TCPServer.server_bind(self)
        self.server_name = "localhost"
        self.server_port = self.socket.getsockname()[1]

    def shutdown_request(self, request):
        # Handler.finish closes the (possibly TLS-wrapped) socket itself; this
        # covers requests whose handler never ran.
        try:
            request.close()
        except OSError:
            pass

    def handle_error(self, request, client_address):
        exc = sys.exc_info()[1]
        if isinstance(exc, (ssl.SSLError, ConnectionError, TimeoutError, socket.timeout)):
            log_error(f":{self.server_port} {client_address[0]}:{client_address[1]}: "
                      f"{type(exc).__name__}: {exc}")
        else:
            log_error(f":{self.server_port} unexpected error:")
            traceback.print_exc(file=sys.stderr)


class App:
    def __init__(self, store, log, idle_timeout, verbose):
        self.store = store
        self.log = log
        self.idle_timeout = idle_timeout
        self.verbose = verbose
        self.stopping = threading.Event()
        self.conn_lock = threading.Lock()
        self.conn_count = 0

    def next_conn_id(self):
        with self.conn_lock:
            self.conn_count += 1
            return self.conn_count


def make_tls_context(cert, key):
    ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    # Windows Vista's WinHTTP speaks TLS 1.0 only, and the wizard still supports Vista.
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", DeprecationWarning)
        ctx.minimum_version = ssl.TLSVersion.TLSv1
    ctx.set_ciphers("DEFAULT:@SECLEVEL=0")
    ctx.load_cert_chain(cert, key)

    def remember_sni(sslobj, name, _ctx):
        sslobj.fennix_sni = name
    ctx.sni_callback = remember_sni
    return ctx


def parse_extra_port(text):
    port, _, kind = text.partition(":")
    if kind not in ("", "tls", "plain"):
        raise argparse.ArgumentTypeError(f"expected N or N:tls, got {text!r}")
    return int(port), kind == "tls"


def main(argv=None):
    cache = os.environ.get("FENNIX_CACHE", "/var/cache/fennix-setup")
    p = argparse.ArgumentParser(description="Local HTTPS test backend (127.0.0.1 only).")
    p.add_argument("--scenario", default=os.path.join(SCRIPT_DIR, "demo-scenario.json"),
                   help="scenario JSON file, re-read when it changes (default: the demo)")
    p.add_argument("--log", help="request log, one JSON line per request (truncated at start)")
    p.add_argument("--port", type=int, default=443, help="TLS port (default 443; 0 picks a free one)")
    p.add_argument("--extra-port", type=parse_extra_port, action="append", default=[],
                   metavar="N[:tls]", help="another listening port, plain HTTP unless :tls")
    p.add_argument("--pid-file", help="write the process id here")
    p.add_argument("--cert", default=os.path.join(cache, "ca", "server.crt"))
    p.add_argument("--key", default=os.path.join(cache, "ca", "server.key"))
    p.add_argument("--idle-timeout", type=float, default=15.0,
                   help="seconds a connection may stay silent (default 15)")
    p.add_argument("--verbose", action="store_true", help="one stderr line per request")
    args = p.parse_args(argv)

    store = ScenarioStore(args.scenario)
    try:
        store.load_initial()
    except (OSError, ValueError, ScenarioError) as e:
        log_error(f"cannot load scenario {args.scenario}: {e}")
        return 2
    try:
        ctx = make_tls_context(args.cert, args.key)
    except (OSError, ssl.SSLError) as e:
        log_error(f"cannot load certificate {args.cert} / {args.key}: {e} (run make-ca.sh)")
        return 2
    try:
        log = RequestLog(args.log)
    except OSError as e:
        log_error(f"cannot open log {args.log}: {e}")
        return 2
    app = App(store, log, args.idle_timeout, args.verbose)

    servers = []
    try:
        for port, tls in [(args.port, True)] + args.extra_port:
            servers.append(BackendServer((HOST, port), app, ctx if tls else None))
    except OSError as e:
        log_error(f"cannot listen on {HOST}:{port}: {e}")
        for s in servers:
            s.server_close()
        return 2

    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())
    signal.signal(signal.SIGHUP, lambda *_: store.reload())

    if args.pid_file:
        with open(args.pid_file, "w") as f:
            f.write(f"{os.getpid()}\n")
    threads = [threading.Thread(target=s.serve_forever, kwargs={"poll_interval": 0.2}, daemon=True)
               for s in servers]
    for t in threads:
        t.start()
    urls = [f"{'https' if s.tls_context else 'http'}://{HOST}:{s.server_port}" for s in servers]
    print("ready " + " ".join(urls), flush=True)

    while not stop.wait(0.5):
        pass
    app.stopping.set()
    for s in servers:
        s.shutdown()
        s.server_close()
    log.close()
    if args.pid_file:
        try:
            with open(args.pid_file) as f:
                if f.read().strip() == str(os.getpid()):
                    os.unlink(args.pid_file)
        except OSError:
            pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
