"""HTTP server for tests on 127.0.0.1.

Serves the files of --root. A first path segment picks a way to misbehave:
  /status/<code>/...   answers with that status and a short body
  /chunked/<file>      the file in chunks of 1,000 bytes
  /nolength/<file>     the file without a Content-Length, ended by closing
  /cut/<file>          announces the whole file, sends half, then hangs up
  /cutchunked/<file>   half the file in chunks, then hangs up without the last chunk
  /redirect/<file>     302 to /<file>
Each request appends "<method> <path> accept=<Accept> agent=<User-Agent>" to --log.
Prints "LISTENING <port>" once it accepts connections; stopped by SIGTERM.
"""
import argparse
import http.server
import os
import sys
import urllib.parse


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, format, *args):
        pass

    def record(self):
        if self.server.log_path:
            with open(self.server.log_path, "a", encoding="utf-8") as log:
                log.write("%s %s accept=%s agent=%s\n" % (
                    self.command, self.path, self.headers.get("Accept", ""),
                    self.headers.get("User-Agent", "")))

    def file_bytes(self, name):
        path = os.path.join(self.server.root, urllib.parse.unquote(name))
        real = os.path.realpath(path)
        if not real.startswith(os.path.realpath(self.server.root) + os.sep) or not os.path.isfile(real):
            return None
        with open(real, "rb") as f:
            return f.read()

    def send_body(self, status, body, headers=()):
        self.send_response(status)
        for key, value in headers:
            self.send_header(key, value)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def write_chunks(self, data):
        for i in range(0, len(data), 1000):
            chunk = data[i:i + 1000]
            self.wfile.write(b"%x\r\n%s\r\n" % (len(chunk), chunk))
            self.wfile.flush()

    def do_HEAD(self):
        self.do_GET()

    def do_GET(self):
        self.record()
        path = urllib.parse.urlsplit(self.path).path
        parts = path.lstrip("/").split("/", 1)
        mode, rest = (parts[0], parts[1]) if len(parts) == 2 else ("", parts[0])

        if mode == "status":
            code = int(rest.split("/", 1)[0])
            self.send_body(code, b"<html><body>Status %d</body></html>" % code)
            return
        if mode == "redirect":
            self.send_body(302, b"moved", [("Location", "/" + rest)])
            return

        data = self.file_bytes(rest if mode in ("chunked", "nolength", "cut", "cutchunked") else path.lstrip("/"))
        if data is None:
            self.send_body(404, b"<html><body>Not Found</body></html>")
            return

        if mode == "chunked" or mode == "cutchunked":
            self.send_response(200)
            self.send_header("Transfer-Encoding", "chunked")
            self.end_headers()
            if mode == "chunked":
                self.write_chunks(data)
                self.wfile.write(b"0\r\n\r\n")
            else:
                self.write_chunks(data[:len(data) // 2])
                self.close_connection = True
            return
        if mode == "nolength":
            self.send_response(200)
            self.send_header("Connection", "close")
            self.end_headers()
            self.wfile.write(data)
            self.close_connection = True
            return
        if mode == "cut":
            self.send_response(200)
            self.send_header("Content-Length", str(len(data)))
            self.end_headers()
            self.wfile.write(data[:len(data) // 2])
            self.wfile.flush()
            self.close_connection = True
            return
        self.send_body(200, data)


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def handle_error(self, request, client_address):
        # A client that hangs up early (a cancelled download) is part of the tests.
        pass


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--log", default="")
    args = parser.parse_args()
    server = Server(("127.0.0.1", 0), Handler)
    server.root = args.root
    server.log_path = args.log
    print("LISTENING %d" % server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    sys.exit(main())
