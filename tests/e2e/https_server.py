#!/usr/bin/python3
"""A local HTTPS server that stands in for the browser download endpoint.

It serves ``GET /download/yandex-browser`` as the current ``Reply`` says (status,
Content-Disposition, body from bytes or streamed from a file, throughput limit, a
connection dropped mid-body) and records every request.  Everything else is 404.

Dual-stack: it binds "::" with IPV6_V6ONLY off, so a client that resolves
"localhost" to 127.0.0.1 or to ::1 reaches it either way.  Each connection runs in
its own thread; the TLS handshake is done there too, so a client that stalls (or
refuses the certificate) holds up nobody else.

From Python::

    server = HttpsServer(port, cert, key).start()
    server.set_reply(Reply.file(path, name="Yandex.exe", throttle=1_000_000))
    ...
    server.requests        # [Request(path, user_agent, ...), ...]
    server.stop()

From the shell (the download bench)::

    https_server.py --port 47443 --file big.bin --name Yandex.exe [--cert C --key K]

serves that one reply until interrupted; without --cert/--key it uses the test PKI
(tests/e2e/pki.py, made when missing).
"""

from __future__ import annotations

import argparse
import http.server
import socket
import ssl
import sys
import threading
import time
from dataclasses import dataclass, field
from pathlib import Path
from typing import Optional, Union

DOWNLOAD_PATH = "/download/yandex-browser"
CHUNK = 64 * 1024


@dataclass(frozen=True)
class Reply:
    """What the server answers to GET /download/yandex-browser.

    status               HTTP status code
    content_disposition  the header's exact text, or None for no such header
    body / path          the body: bytes, or a file streamed in chunks (never read
                         whole); neither gives an empty body
    headers              further (name, value) headers, in order
    throttle             at most this many body bytes per second (None: no limit)
    drop_after           close the connection after this many body bytes although
                         Content-Length promised the whole body
    content_length       send Content-Length (otherwise the body ends with the
                         connection)
    """

    status: int = 200
    content_disposition: Optional[str] = None
    body: bytes = b""
    path: Optional[Path] = None
    headers: tuple[tuple[str, str], ...] = ()
    throttle: Optional[int] = None
    drop_after: Optional[int] = None
    content_length: bool = True

    @staticmethod
    def attachment(name: str) -> str:
        """The usual header text: attachment; filename="<name>"."""
        return f'attachment; filename="{name}"'

    @classmethod
    def file(cls, path: Union[str, Path], name: Optional[str], **options) -> "Reply":
        """A file served as an attachment named ``name`` (None: no Content-Disposition)."""
        return cls(path=Path(path), content_disposition=None if name is None else cls.attachment(name),
                   **options)

    @property
    def size(self) -> int:
        return self.path.stat().st_size if self.path is not None else len(self.body)


@dataclass
class Request:
    """One request as the server saw it.

    method, path, user_agent, headers   from the request (headers in order, as sent)
    client          the peer address (an IPv4 peer appears as ::ffff:a.b.c.d)
    status          the status answered (None until the headers went out)
    body_bytes      body bytes written to the client so far
    finished        the whole body went out
    error           why the answer ended early (client gone, planned drop), or None
    done            set once the server has finished with the request, whatever way
    """

    method: str
    path: str
    user_agent: Optional[str]
    headers: list[tuple[str, str]]
    client: str
    status: Optional[int] = None
    body_bytes: int = 0
    finished: bool = False
    error: Optional[str] = None
    done: threading.Event = field(default_factory=threading.Event, repr=False)


@dataclass
class HandshakeFailure:
    """A connection whose TLS handshake failed (the client refused our certificate)."""

    client: str
    error: str


class _Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server: "_Server"

    def log_message(self, format: str, *args) -> None:  # noqa: A002 - the base class's name
        pass  # requests are recorded, not logged

    def do_GET(self) -> None:  # noqa: N802 - the base class's naming
        self._answer(send_body=True)

    def do_HEAD(self) -> None:  # noqa: N802
        self._answer(send_body=False)

    def _answer(self, send_body: bool) -> None:
        owner = self.server.owner
        request = Request(self.command, self.path, self.headers.get("User-Agent"),
                          list(self.headers.items()), self.client_address[0])
        owner._record(request)
        try:
            if self.path.split("?", 1)[0] != DOWNLOAD_PATH:
                self._send_simple(request, 404, b"not found\n")
                return
            self._send_reply(request, owner.reply, send_body)
        finally:
            request.done.set()
            owner._notify()

    def _send_simple(self, request: Request, status: int, body: bytes) -> None:
        self.send_response(status)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        request.status = status
        self.wfile.write(body)
        request.body_bytes = len(body)
        request.finished = True

    def _send_reply(self, request: Request, reply: Reply, send_body: bool) -> None:
        size = reply.size
        self.send_response(reply.status)
        self.send_header("Content-Type", "application/octet-stream")
        if reply.content_disposition is not None:
            self.send_header("Content-Disposition", reply.content_disposition)
        for name, value in reply.headers:
            self.send_header(name, value)
        if reply.content_length:
            self.send_header("Content-Length", str(size))
        else:
            self.send_header("Connection", "close")
            self.close_connection = True
        self.end_headers()
        request.status = reply.status
        if not send_body:
            request.finished = True
            return
        limit = size if reply.drop_after is None else min(size, reply.drop_after)
        owner = self.server.owner
        started = time.monotonic()
        try:
            for chunk in _chunks(reply, limit, CHUNK if reply.throttle is None
                                 else max(1, min(CHUNK, reply.throttle // 10))):
                if reply.throttle:
                    # Paced against the start, so the average holds whatever the
                    # client's reads cost.
                    due = started + (request.body_bytes + len(chunk)) / reply.throttle
                    pause = due - time.monotonic()
                    if pause > 0:
                        time.sleep(pause)
                self.wfile.write(chunk)
                request.body_bytes += len(chunk)
                owner._notify()
        except (ConnectionError, ssl.SSLError, OSError) as error:
            request.error = f"client gone: {error.__class__.__name__}"
            self.close_connection = True
            return
        if limit < size:
            request.error = f"dropped after {limit} bytes"
            self.close_connection = True
            # Closed without a TLS close_notify: the client sees the connection die.
            self.wfile.flush()
            self.connection.shutdown(socket.SHUT_RDWR)
            return
        request.finished = True


def _chunks(reply: Reply, limit: int, size: int):
    if reply.path is None:
        for offset in range(0, limit, size):
            yield reply.body[offset:min(limit, offset + size)]
        return
    left = limit
    with open(reply.path, "rb") as source:
        while left > 0:
            chunk = source.read(min(size, left))
            if not chunk:
                break
            left -= len(chunk)
            yield chunk


class _Server(http.server.ThreadingHTTPServer):
    address_family = socket.AF_INET6
    daemon_threads = True
    allow_reuse_address = True
    owner: "HttpsServer"

    def server_bind(self) -> None:
        self.socket.setsockopt(socket.IPPROTO_IPV6, socket.IPV6_V6ONLY, 0)
        super().server_bind()

    def finish_request(self, request, client_address) -> None:
        # Runs in the connection's own thread: the handshake too.
        try:
            connection = self.owner.context.wrap_socket(request, server_side=True)
        except (ssl.SSLError, OSError) as error:
            self.owner._record_failure(HandshakeFailure(client_address[0], str(error)))
            return
        try:
            self.RequestHandlerClass(connection, client_address, self)
        except (ConnectionError, ssl.SSLError, OSError):
            pass
        finally:
            try:
                connection.close()
            except OSError:
                pass

    def handle_error(self, request, client_address) -> None:
        pass  # a client that went away is recorded on its request


class HttpsServer:
    """The server, in a background thread.  ``start()`` binds and returns self."""

    def __init__(self, port: int, cert: Path, key: Path, reply: Optional[Reply] = None):
        self.port = port
        self.context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        self.context.load_cert_chain(str(cert), str(key))
        self.reply = reply or Reply(status=404)
        self._lock = threading.Condition()
        self._requests: list[Request] = []
        self._failures: list[HandshakeFailure] = []
        self._server: Optional[_Server] = None
        self._thread: Optional[threading.Thread] = None

    def start(self) -> "HttpsServer":
        server = _Server(("::", self.port), _Handler, bind_and_activate=False)
        server.owner = self
        try:
            server.server_bind()
            server.server_activate()
        except OSError:
            server.server_close()
            raise
        self._server = server
        if self.port == 0:
            self.port = server.server_address[1]
        self._thread = threading.Thread(target=server.serve_forever, kwargs={"poll_interval": 0.1},
                                        name=f"https-{self.port}", daemon=True)
        self._thread.start()
        return self

    def stop(self) -> None:
        if self._server is not None:
            self._server.shutdown()
            self._server.server_close()
            self._server = None

    def __enter__(self) -> "HttpsServer":
        return self

    def __exit__(self, *exc) -> None:
        self.stop()

    # ---- what the tests see

    def set_reply(self, reply: Reply) -> None:
        """Answers every later request with ``reply``."""
        self.reply = reply

    def reset(self, reply: Optional[Reply] = None) -> None:
        """Forgets the recorded requests and failures; sets ``reply`` (default 404)."""
        with self._lock:
            self._requests.clear()
            self._failures.clear()
        self.reply = reply or Reply(status=404)

    @property
    def requests(self) -> list[Request]:
        with self._lock:
            return list(self._requests)

    @property
    def handshake_failures(self) -> list[HandshakeFailure]:
        with self._lock:
            return list(self._failures)

    def wait_for(self, predicate, timeout: float = 30.0) -> bool:
        """Waits until ``predicate(requests)`` is true (re-checked on every request
        and every chunk sent); False when ``timeout`` seconds pass first."""
        deadline = time.monotonic() + timeout
        with self._lock:
            while not predicate(list(self._requests)):
                left = deadline - time.monotonic()
                if left <= 0:
                    return False
                self._lock.wait(left)
        return True

    def wait_request(self, count: int = 1, timeout: float = 30.0) -> Request:
        """The ``count``-th request, once it has arrived (AssertionError if it does not)."""
        if not self.wait_for(lambda requests: len(requests) >= count, timeout):
            raise AssertionError(f"no request #{count} within {timeout}s; got {self.requests}, "
                                 f"handshake failures {self.handshake_failures}")
        return self.requests[count - 1]

    # ---- called from the connection threads

    def _record(self, request: Request) -> None:
        with self._lock:
            self._requests.append(request)
            self._lock.notify_all()

    def _record_failure(self, failure: HandshakeFailure) -> None:
        with self._lock:
            self._failures.append(failure)
            self._lock.notify_all()

    def _notify(self) -> None:
        with self._lock:
            self._lock.notify_all()


def port_of(host: str) -> int:
    """The port of a "host[:port]" setting (443 when none is given)."""
    if host.startswith("["):
        rest = host[host.index("]") + 1:]
        return int(rest[1:]) if rest.startswith(":") else 443
    return int(host.rsplit(":", 1)[1]) if ":" in host else 443


def main() -> int:
    parser = argparse.ArgumentParser(description="Serve one file as the browser download over HTTPS.")
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--file", type=Path, required=True, help="the body, streamed from disk")
    parser.add_argument("--name", help="the Content-Disposition file name (none: no header)")
    parser.add_argument("--cert", type=Path, help="server certificate (PEM); default: the test PKI's")
    parser.add_argument("--key", type=Path, help="its key (PEM)")
    parser.add_argument("--throttle", type=int, help="bytes per second")
    args = parser.parse_args()
    cert, key = args.cert, args.key
    if cert is None or key is None:
        sys.path.insert(0, str(Path(__file__).resolve().parent))
        import pki  # noqa: E402 - only the command line needs it

        made = pki.ensure_pki()
        cert, key = made.server.cert, made.server.key
    server = HttpsServer(args.port, cert, key,
                         Reply.file(args.file, args.name, throttle=args.throttle)).start()
    print(f"https_server: serving {args.file} on port {server.port}", flush=True)
    try:
        threading.Event().wait()
    except KeyboardInterrupt:
        pass
    finally:
        server.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
