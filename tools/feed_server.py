#!/usr/bin/env python3
"""A small HTTP/1.1 feed server for tests and demos, on 127.0.0.1 only,
over plain http or over TLS (https).

In-process (tests):

    with FeedServer() as srv:
        srv.set_route("/a.xml", body=b"<rss/>", last_modified="Wed, 21 Oct 2015 07:28:00 GMT")
        fetch(srv.url("/a.xml"))
        srv.requests[0].headers["user-agent"]

A route can misbehave on purpose: a status other than 200, no or a broken
Last-Modified (or one made anew for every answer, by a function), a chunked body, a body sent in small steps (trickle), a
connection dropped after some body bytes (drop_after), a pause before the
headers (stall_before_headers) or in the middle of the body (stall_after).
Every request is recorded with what the server managed to send and whether
the client went away before the body was out.

A route can also be polite the way real servers are: send an ETag, answer
304 Not Modified to a request whose If-None-Match or If-Modified-Since
matches (conditional=True), and send the body gzip- or deflate-compressed
when the request's Accept-Encoding allows it (compress="gzip").

Over TLS (tls = (certificate chain file, key file)) the URLs name the server
by a host name, since clients check the certificate against it. Every
handshake is recorded in tls_handshakes: "ok", or why it failed.

    with FeedServer(tls=("server.pem", "server.key"), name="localhost") as srv:
        srv.url("/a.xml")           # https://localhost:PORT/a.xml
        srv.tls_handshakes          # ["ok", "TLSV1_ALERT_UNKNOWN_CA", ...]

From the command line (demos):

    python3 tools/feed_server.py --port 8080 --dir feeds/
    python3 tools/feed_server.py --port 8080 --config routes.json
    python3 tools/feed_server.py --port 8443 --dir feeds/ --cert server.pem --key server.key

--dir serves the files of a folder, each with its modification time as
Last-Modified. --config reads {"/path": {route fields}} where the body is
"body" (text) or "body_file" (a path relative to the config file).

Every wait of the server is bounded and wakes up when it stops, so stop()
returns within about a second even while clients stall.
"""
import argparse
import email.utils
import gzip
import http
import json
import socket
import ssl
import sys
import threading
import time
import zlib
from dataclasses import dataclass, field
from pathlib import Path

DEFAULT_LAST_MODIFIED = "Wed, 21 Oct 2015 07:28:00 GMT"
_HEADER_LIMIT = 64 * 1024     # a request head larger than this is refused
_IDLE_TIMEOUT_S = 10.0        # a kept-alive connection with no new request is closed
_POLL_S = 0.2                 # how often blocked loops look at the stop flag
_HANDSHAKE_TIMEOUT_S = 10.0   # a TLS client that stops in its handshake is dropped


@dataclass
class Route:
    body: bytes = b""
    status: int = 200
    last_modified: object = DEFAULT_LAST_MODIFIED  # text sent as is, None for no header,
                                                   # or a function giving the text of each answer
    chunked: bool = False
    trickle: object = None             # (bytes per step, delay in seconds)
    drop_after: object = None          # close the connection after this many body bytes
    stall_before_headers: float = 0.0  # seconds of silence before the response
    stall_after: object = None         # (body bytes, seconds): pause once mid-body
    headers: dict = field(default_factory=dict)        # a Content-Type here replaces the feed's
    etag: object = None                # ETag header text, or None for none
    conditional: bool = False          # answer 304 to matching validators
    compress: object = None            # "gzip" or "deflate" when the client accepts it


@dataclass
class Request:
    method: str
    path: str
    headers: dict                 # names in lower case
    raw_head: bytes
    body_bytes_sent: int = 0
    body_length: int = 0          # the length the response announced
    status: int = 0               # the status answered
    head_bytes: int = 0           # bytes of the response's status line and headers
    content_encoding: object = None  # the coding the body was sent in, or None
    closed_early: bool = False    # the client went away before the body was out
    finished: bool = False        # the server is done with this request


class _Stopped(Exception):
    pass


class FeedServer:
    def __init__(self, port=0, host="127.0.0.1", tls=None, name=None):
        """tls: (certificate chain file, key file) to serve https; name: the
        host name put into URLs (the address when None)."""
        self._tls = None
        if tls:
            self._tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            self._tls.load_cert_chain(*map(str, tls))
        self.tls_handshakes = []      # "ok", or why the handshake failed
        self._routes = {}
        self._resolver = None
        self._lock = threading.Lock()
        self._stop = threading.Event()
        self._threads = []
        self._connections = set()
        self.requests = []
        self._listener = socket.create_server((host, port))
        self._listener.settimeout(_POLL_S)
        self.host, self.port = self._listener.getsockname()[:2]
        self.name = name or self.host
        self._acceptor = threading.Thread(target=self._accept_loop, name="feed-accept",
                                          daemon=True)

    # --- configuration -------------------------------------------------

    def set_route(self, path, body=b"", status=200, last_modified=DEFAULT_LAST_MODIFIED,
                  chunked=False, trickle=None, drop_after=None, stall_before_headers=0.0,
                  stall_after=None, headers=None, etag=None, conditional=False, compress=None):
        if isinstance(body, str):
            body = body.encode("utf-8")
        with self._lock:
            self._routes[path] = Route(body, status, last_modified, chunked, trickle,
                                       drop_after, stall_before_headers, stall_after,
                                       dict(headers or {}), etag, conditional, compress)

    def set_resolver(self, resolver):
        """resolver(path) -> Route or None, asked when no route matches."""
        self._resolver = resolver

    def url(self, path="/"):
        scheme = "https" if self._tls else "http"
        return f"{scheme}://{self.name}:{self.port}{path}"

    def wait_for_requests(self, count, timeout=10.0):
        """Waits until `count` requests are finished; returns them."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            with self._lock:
                done = [r for r in self.requests if r.finished]
            if len(done) >= count:
                return done
            time.sleep(0.02)
        raise TimeoutError(f"{count} finished requests expected, got {len(done)}")

    # --- life cycle ----------------------------------------------------

    def start(self):
        self._acceptor.start()
        return self

    def stop(self):
        self._stop.set()
        self._acceptor.join(timeout=5)
        self._listener.close()
        with self._lock:
            connections = list(self._connections)
            threads = list(self._threads)
        for conn in connections:
            try:
                conn.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
        for thread in threads:
            thread.join(timeout=5)

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()

    # --- serving -------------------------------------------------------

    def _accept_loop(self):
        while not self._stop.is_set():
            try:
                conn, _ = self._listener.accept()
            except socket.timeout:
                continue
            except OSError:
                break
            conn.settimeout(_POLL_S)
            if self._tls:
                # The handshake runs in the connection's own thread.
                conn = self._tls.wrap_socket(conn, server_side=True,
                                             do_handshake_on_connect=False)
            thread = threading.Thread(target=self._serve, args=(conn,), name="feed-conn",
                                      daemon=True)
            with self._lock:
                self._connections.add(conn)
                self._threads = [t for t in self._threads if t.is_alive()] + [thread]
            thread.start()

    def _serve(self, conn):
        pending = b""
        try:
            if self._tls and not self._handshake(conn):
                return
            while not self._stop.is_set():
                head, pending = self._read_head(conn, pending)
                if head is None:
                    return
                request, pending = self._parse(conn, head, pending)
                with self._lock:
                    self.requests.append(request)
                try:
                    keep = self._respond(conn, request)
                finally:
                    request.finished = True
                if not keep:
                    return
        except (_Stopped, OSError):
            pass
        finally:
            with self._lock:
                self._connections.discard(conn)
            try:
                conn.close()
            except OSError:
                pass

    def _handshake(self, conn):
        conn.settimeout(_HANDSHAKE_TIMEOUT_S)
        try:
            conn.do_handshake()
            outcome = "ok"
        except (ssl.SSLError, OSError) as failure:
            outcome = getattr(failure, "reason", None) or str(failure) or type(failure).__name__
        with self._lock:
            self.tls_handshakes.append(outcome)
        conn.settimeout(_POLL_S)
        return outcome == "ok"

    def _recv(self, conn):
        while True:
            if self._stop.is_set():
                raise _Stopped()
            try:
                return conn.recv(65536)
            except socket.timeout:
                continue

    def _read_head(self, conn, pending):
        deadline = time.monotonic() + _IDLE_TIMEOUT_S
        while b"\r\n\r\n" not in pending:
            if len(pending) > _HEADER_LIMIT or time.monotonic() > deadline:
                return None, b""
            try:
                data = conn.recv(65536)
            except socket.timeout:
                if self._stop.is_set():
                    raise _Stopped()
                continue
            if not data:
                return None, b""
            pending += data
        head, _, rest = pending.partition(b"\r\n\r\n")
        return head, rest

    def _parse(self, conn, head, pending):
        lines = head.decode("latin-1").split("\r\n")
        method, path, *_ = (lines[0].split(" ") + ["", ""])[:3]
        headers = {}
        for line in lines[1:]:
            name, _, value = line.partition(":")
            headers[name.strip().lower()] = value.strip()
        length = int(headers.get("content-length", "0") or 0)
        while len(pending) < length:  # a request body is read and ignored
            data = self._recv(conn)
            if not data:
                break
            pending += data
        return Request(method, path, headers, head), pending[length:]

    def _route_for(self, path):
        with self._lock:
            route = self._routes.get(path)
        if route is None and self._resolver:
            route = self._resolver(path)
        return route or Route(body=b"not found\n", status=404, last_modified=None)

    def _wait(self, seconds):
        if self._stop.wait(seconds):
            raise _Stopped()

    @staticmethod
    def _not_modified(etag, last_modified, headers):
        """True when the request's validators match the answer's (RFC 9110:
        If-None-Match, when sent, decides alone)."""
        if "if-none-match" in headers:
            tags = [t.strip() for t in headers["if-none-match"].split(",")]
            return etag is not None and ("*" in tags or etag in tags)
        since = headers.get("if-modified-since")
        if since is None or last_modified is None:
            return False
        if since == last_modified:
            return True
        try:
            return (email.utils.parsedate_to_datetime(last_modified) <=
                    email.utils.parsedate_to_datetime(since))
        except (TypeError, ValueError):
            return False

    @staticmethod
    def _accepts(headers, coding):
        for item in headers.get("accept-encoding", "").split(","):
            name, _, params = item.strip().partition(";")
            if name.strip().lower() == coding:
                return params.replace(" ", "").lower() not in ("q=0", "q=0.0", "q=0.00")
        return False

    def _respond(self, conn, request):
        route = self._route_for(request.path)
        if route.stall_before_headers:
            self._wait(route.stall_before_headers)
        last_modified = route.last_modified
        if callable(last_modified):
            last_modified = last_modified()
        status = route.status
        body = route.body
        if (status == 200 and route.conditional and
                self._not_modified(route.etag, last_modified, request.headers)):
            status, body = 304, b""
        elif status == 200 and route.compress and self._accepts(request.headers, route.compress):
            body = gzip.compress(body) if route.compress == "gzip" else zlib.compress(body)
            request.content_encoding = route.compress
        try:
            reason = http.HTTPStatus(status).phrase
        except ValueError:
            reason = "Unknown"
        head = [f"HTTP/1.1 {status} {reason}",
                f"Date: {email.utils.formatdate(usegmt=True)}"]
        if not any(name.lower() == "content-type" for name in route.headers):
            head.append("Content-Type: application/rss+xml")
        if last_modified is not None:
            head.append(f"Last-Modified: {last_modified}")
        if route.etag is not None:
            head.append(f"ETag: {route.etag}")
        if request.content_encoding:
            head.append(f"Content-Encoding: {request.content_encoding}")
        request.status = status
        request.body_length = len(body)
        if status == 304:
            pass  # no body, and no length of one
        elif route.chunked:
            head.append("Transfer-Encoding: chunked")
        else:
            head.append(f"Content-Length: {len(body)}")
        if request.method == "HEAD":
            body = b""
        head += [f"{k}: {v}" for k, v in route.headers.items()]
        raw_head = ("\r\n".join(head) + "\r\n\r\n").encode("latin-1")
        request.head_bytes = len(raw_head)
        conn.sendall(raw_head)
        if request.method == "HEAD" or status == 304:
            return True
        try:
            complete = self._send_body(conn, request, route, body)
        except (BrokenPipeError, ConnectionResetError, ConnectionAbortedError):
            request.closed_early = True
            return False
        if complete and not request.closed_early:
            request.closed_early = self._client_closed(conn)
        return complete and not request.closed_early

    def _send_body(self, conn, request, route, body):
        step = route.trickle[0] if route.trickle else 65536
        delay = route.trickle[1] if route.trickle else 0.0
        stall_at, stall_s = route.stall_after if route.stall_after else (None, 0.0)
        limit = len(body) if route.drop_after is None else min(route.drop_after, len(body))
        sent = 0
        while sent < limit:
            end = min(sent + step, limit)
            if stall_at is not None and sent < stall_at <= end:
                end = stall_at
            piece = body[sent:end]
            if piece:
                if route.chunked:
                    piece = b"%x\r\n" % len(piece) + piece + b"\r\n"
                self._sendall(conn, piece)
            sent = end
            request.body_bytes_sent = sent
            if stall_at is not None and sent == stall_at:
                stall_at = None
                self._wait(stall_s)
            elif delay and sent < limit:
                self._wait(delay)
        if route.drop_after is not None and route.drop_after < len(body):
            conn.shutdown(socket.SHUT_RDWR)
            return False
        if route.chunked:
            self._sendall(conn, b"0\r\n\r\n")
        return True

    def _sendall(self, conn, data):
        view = memoryview(data)
        while view:
            if self._stop.is_set():
                raise _Stopped()
            try:
                n = conn.send(view)
            except socket.timeout:
                continue
            view = view[n:]

    def _client_closed(self, conn):
        """True when the client has already closed its side (EOF or reset)."""
        try:
            conn.setblocking(False)
            # Over TLS the peek looks at the raw connection under it.
            data = socket.socket.recv(conn, 1, socket.MSG_PEEK)
            return data == b""
        except BlockingIOError:
            return False
        except OSError:
            return True
        finally:
            conn.settimeout(_POLL_S)


# --- command line --------------------------------------------------------

def _directory_resolver(folder):
    folder = Path(folder).resolve()

    def resolve(path):
        target = (folder / path.lstrip("/").split("?")[0]).resolve()
        if folder not in target.parents or not target.is_file():
            return None
        return Route(body=target.read_bytes(),
                     last_modified=email.utils.formatdate(target.stat().st_mtime, usegmt=True))
    return resolve


def _routes_from_config(server, config_path):
    config_path = Path(config_path)
    for path, fields in json.loads(config_path.read_text(encoding="utf-8")).items():
        fields = dict(fields)
        if "body_file" in fields:
            fields["body"] = (config_path.parent / fields.pop("body_file")).read_bytes()
        for key in ("trickle", "stall_after"):
            if key in fields and fields[key] is not None:
                fields[key] = tuple(fields[key])
        server.set_route(path, **fields)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--port", type=int, default=8080)
    parser.add_argument("--dir", help="serve the files of this folder")
    parser.add_argument("--config", help="JSON file of routes")
    parser.add_argument("--duration", type=float, default=0.0,
                        help="stop after this many seconds (0: until interrupted)")
    parser.add_argument("--cert", help="serve https with this certificate chain (PEM)")
    parser.add_argument("--key", help="the private key of --cert (PEM)")
    parser.add_argument("--name", help="host name for the URLs (default: localhost "
                        "with --cert, else the address)")
    args = parser.parse_args(argv)
    if bool(args.cert) != bool(args.key):
        parser.error("--cert and --key go together")

    tls = (args.cert, args.key) if args.cert else None
    server = FeedServer(port=args.port, tls=tls, name=args.name or (tls and "localhost"))
    if args.config:
        _routes_from_config(server, args.config)
    if args.dir:
        server.set_resolver(_directory_resolver(args.dir))
    with server:
        print(f"serving on {server.url('/')}", flush=True)
        try:
            if args.duration:
                time.sleep(args.duration)
            else:
                while True:
                    time.sleep(3600)
        except KeyboardInterrupt:
            pass
        for r in server.requests:
            print(f"{r.method} {r.path} status={r.status} head={r.head_bytes} "
                  f"sent={r.body_bytes_sent} coding={r.content_encoding} "
                  f"closed_early={r.closed_early}", file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main())
