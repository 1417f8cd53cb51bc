#!/usr/bin/python3
"""Servers for the download tests, on 127.0.0.1 only.

  download_server.py http  DOCROOT STATEDIR
  download_server.py https DOCROOT STATEDIR CERT KEY
  download_server.py ftp   DOCROOT STATEDIR
  download_server.py query STATEDIR PATH FIELD OUT

A server writes STATEDIR/port (its port) and STATEDIR/pid once it listens,
logs every request to STATEDIR/requests.log (one JSON object a line: path,
headers, and the Authorization header decoded with base64) or, for FTP, every
login, and ends by itself after ten minutes. "query" writes FIELD of the last
request for PATH (a header name, "auth" for the decoded credentials, "user"
for an FTP login, "count" for the number of requests) to OUT.

HTTP paths: /file/NAME the file as it is (Content-Length, image/tiff);
/chunked/NAME chunked without a length; /nolength/NAME no length, the end
of the body is the end of the connection; /drop/NAME announces the whole
length, sends half and drops the connection; /auth/NAME answers 401 without Basic credentials;
/trickle/NAME sends the whole body 4096 bytes every 20 ms; /tricklecut/NAME
trickles half of it and drops the connection; /crawl/NAME sends 4096 bytes
every 500 ms, so that a reader waits inside each read; anything else 404.
"""
import base64
import binascii
import http.server
import json
import os
import socket
import ssl
import sys
import threading
import time

LIFETIME_SECONDS = 600
log_lock = threading.Lock()


def publish(state_dir, port):
    for name, value in (("pid", os.getpid()), ("port", port)):
        temporary = os.path.join(state_dir, name + ".tmp")
        with open(temporary, "w") as out:
            out.write(str(value))
        os.rename(temporary, os.path.join(state_dir, name))


def log_entry(state_dir, entry):
    with log_lock, open(os.path.join(state_dir, "requests.log"), "a") as out:
        out.write(json.dumps(entry) + "\n")


def decode_basic(header):
    if not header or not header.startswith("Basic "):
        return ""
    try:
        return base64.b64decode(header[6:], validate=True).decode("latin-1")
    except (binascii.Error, ValueError):
        return "<invalid base64>"


def make_handler(doc_root, state_dir):
    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"

        def log_message(self, *args):
            pass

        def do_GET(self):
            headers = {key.lower(): value for key, value in self.headers.items()}
            log_entry(state_dir, {"path": self.path, "headers": headers,
                                  "auth": decode_basic(headers.get("authorization"))})
            parts = self.path.split("?")[0].split("/")
            if len(parts) != 3:
                return self.not_found()
            mode, name = parts[1], parts[2]
            path = os.path.join(doc_root, name)
            if not name or "/" in name or not os.path.isfile(path):
                return self.not_found()
            with open(path, "rb") as source:
                body = source.read()
            if mode == "auth" and not headers.get("authorization", "").startswith("Basic "):
                self.send_response(401)
                self.send_header("WWW-Authenticate", 'Basic realm="test"')
                self.send_header("Content-Length", "0")
                self.end_headers()
                return
            senders = {"file": self.send_whole, "auth": self.send_whole, "chunked": self.send_chunked,
                       "nolength": self.send_until_close, "drop": self.send_dropped,
                       "trickle": self.send_trickled, "tricklecut": self.send_trickled_cut,
                       "crawl": self.send_crawling}
            if mode not in senders:
                return self.not_found()
            senders[mode](body)

        def not_found(self):
            body = b"<html>not here</html>" * 10
            self.send_response(404)
            self.send_header("Content-Type", "text/html")
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)

        def start(self, length=None, chunked=False):
            self.send_response(200)
            self.send_header("Content-Type", "image/tiff")
            if length is not None:
                self.send_header("Content-Length", str(length))
            if chunked:
                self.send_header("Transfer-Encoding", "chunked")
            if length is None and not chunked:
                self.send_header("Connection", "close")
                self.close_connection = True
            self.end_headers()

        def send_whole(self, body):
            self.start(len(body))
            self.wfile.write(body)

        def write_chunks(self, body):
            for offset in range(0, len(body), 7000):
                piece = body[offset:offset + 7000]
                self.wfile.write(b"%x\r\n" % len(piece) + piece + b"\r\n")

        def send_chunked(self, body):
            self.start(chunked=True)
            self.write_chunks(body)
            self.wfile.write(b"0\r\n\r\n")

        def send_until_close(self, body):
            self.start()
            self.wfile.write(body)

        def drop(self):
            self.wfile.flush()
            self.close_connection = True
            try:
                self.connection.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass

        def send_dropped(self, body):
            self.start(len(body))
            self.wfile.write(body[:len(body) // 2])
            self.drop()

        def trickle(self, body, pause=0.02):
            for offset in range(0, len(body), 4096):
                try:
                    self.wfile.write(body[offset:offset + 4096])
                    self.wfile.flush()
                except OSError:
                    self.close_connection = True
                    return False
                time.sleep(pause)
            return True

        def send_trickled(self, body):
            self.start(len(body))
            self.trickle(body)

        def send_crawling(self, body):
            self.start(len(body))
            self.trickle(body, 0.5)

        def send_trickled_cut(self, body):
            self.start(len(body))
            if self.trickle(body[:len(body) // 2]):
                self.drop()

    return Handler


def serve_http(doc_root, state_dir, cert=None, key=None):
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), make_handler(doc_root, state_dir))
    server.daemon_threads = True
    if cert:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(cert, key)
        server.socket = context.wrap_socket(server.socket, server_side=True)
    publish(state_dir, server.server_address[1])
    server.serve_forever()


def serve_ftp(doc_root, state_dir):
    from pyftpdlib.authorizers import DummyAuthorizer
    from pyftpdlib.handlers import FTPHandler
    from pyftpdlib.servers import FTPServer

    authorizer = DummyAuthorizer()
    authorizer.add_user("ftpuser", "ftp pass", doc_root, perm="elr")
    authorizer.add_anonymous(doc_root)

    class Handler(FTPHandler):
        def on_login(self, username):
            log_entry(state_dir, {"path": "login", "user": username})

    Handler.authorizer = authorizer
    server = FTPServer(("127.0.0.1", 0), Handler)
    publish(state_dir, server.socket.getsockname()[1])
    server.serve_forever()


def query(state_dir, path, field, out_path):
    entries = []
    try:
        with open(os.path.join(state_dir, "requests.log")) as log:
            entries = [json.loads(line) for line in log if line.strip()]
    except FileNotFoundError:
        pass
    matching = [entry for entry in entries if entry.get("path") == path]
    if field == "count":
        value = str(len(matching))
    elif not matching:
        value = "<none>"
    elif field in ("auth", "user"):
        value = matching[-1].get(field, "")
    else:
        value = matching[-1]["headers"].get(field.lower(), "<absent>")
    with open(out_path, "w") as out:
        out.write(value)


def main():
    mode = sys.argv[1]
    if mode == "query":
        return query(*sys.argv[2:6])
    timer = threading.Timer(LIFETIME_SECONDS, lambda: os._exit(0))
    timer.daemon = True
    timer.start()
    doc_root, state_dir = sys.argv[2], sys.argv[3]
    if mode == "ftp":
        serve_ftp(doc_root, state_dir)
    else:
        serve_http(doc_root, state_dir, *(sys.argv[4:6] if mode == "https" else ()))


if __name__ == "__main__":
    main()
