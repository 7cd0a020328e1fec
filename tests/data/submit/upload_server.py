#!/usr/bin/env python3
"""A loopback upload receiver for the tests and the benchmark.

Accepts one multipart/form-data POST per connection, parses the body with the standard
library's email package, checks it against the expectations given on the command line,
writes what it saw to a JSON report and answers with the configured status and page.
"""
import argparse
import base64
import email.parser
import email.policy
import hashlib
import json
import socket
import sys
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer


def parse_args():
    p = argparse.ArgumentParser()
    p.add_argument("--port-file", required=True)
    p.add_argument("--report", required=True)
    p.add_argument("--status", type=int, default=200)
    p.add_argument("--page", default="OK thanks")
    p.add_argument("--expect-field", default="file")
    p.add_argument("--expect-filename")
    p.add_argument("--expect-user")
    p.add_argument("--expect-password")
    p.add_argument("--expect-header", action="append", default=[], help="Name: value")
    p.add_argument("--raw-status-line", help="send this status line verbatim")
    p.add_argument("--no-parse", action="store_true", help="benchmark: only check the framing")
    return p.parse_args()


ARGS = parse_args()


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"

    def log_message(self, *a):
        pass

    def do_POST(self):
        report = {"request_line": self.requestline, "headers": list(self.headers.items()), "problems": []}
        problems = report["problems"]
        length = int(self.headers.get("Content-Length", "-1"))
        body = self.rfile.read(length) if length >= 0 else b""
        report["body_length"] = len(body)
        if len(body) != length:
            problems.append("short body")
        # Nothing may follow the announced length (not waited for when timing uploads).
        extra = b""
        if not ARGS.no_parse:
            self.connection.settimeout(0.3)
            try:
                extra = self.connection.recv(65536)
            except (socket.timeout, OSError):
                extra = b""
        if extra:
            problems.append("%d bytes after the body" % len(extra))

        ctype = self.headers.get("Content-Type", "")
        report["content_type"] = ctype
        boundary = ctype.split("boundary=", 1)[1] if "boundary=" in ctype else ""
        report["boundary"] = boundary
        if not body.startswith(b"--" + boundary.encode() + b"\r\n"):
            problems.append("body does not open with the boundary")
        if not body.endswith(b"\r\n--" + boundary.encode() + b"--\r\n"):
            problems.append("body does not close with the boundary")

        if not ARGS.no_parse:
            msg = email.parser.BytesParser(policy=email.policy.HTTP).parsebytes(
                b"Content-Type: " + ctype.encode("latin-1") + b"\r\n\r\n" + body)
            parts = list(msg.iter_parts()) if msg.is_multipart() else []
            report["parts"] = len(parts)
            if len(parts) != 1:
                problems.append("expected one part, got %d" % len(parts))
            else:
                part = parts[0]
                report["field"] = part.get_param("name", header="content-disposition")
                report["filename"] = part.get_filename()
                report["part_type"] = part.get_content_type()
                report["last_modified"] = part.get("Last-Modified")
                data = part.get_payload(decode=True) or b""
                report["data_length"] = len(data)
                report["data_sha256"] = hashlib.sha256(data).hexdigest()
                if report["field"] != ARGS.expect_field:
                    problems.append("field name %r" % report["field"])
                if ARGS.expect_filename is not None and report["filename"] != ARGS.expect_filename:
                    problems.append("file name %r" % report["filename"])

        auth = self.headers.get("Authorization", "")
        if auth.startswith("Basic "):
            user, _, password = base64.b64decode(auth[6:]).decode("latin-1").partition(":")
            report["user"], report["password"] = user, password
        if ARGS.expect_user is not None and report.get("user") != ARGS.expect_user:
            problems.append("user %r" % report.get("user"))
        if ARGS.expect_password is not None and report.get("password") != ARGS.expect_password:
            problems.append("password")
        for h in ARGS.expect_header:
            name, _, value = h.partition(": ")
            if self.headers.get(name) != value:
                problems.append("header %s = %r" % (name, self.headers.get(name)))

        with open(ARGS.report, "a") as f:
            f.write(json.dumps(report) + "\n")

        if problems:
            status, page = 400, "Bad upload: " + "; ".join(problems)
        else:
            status, page = ARGS.status, ARGS.page
        page_bytes = page.encode("latin-1", "replace")
        if ARGS.raw_status_line:
            status_line = ARGS.raw_status_line
        else:
            status_line = "HTTP/1.0 %d %s" % (status, self.responses.get(status, ("Status",))[0])
        self.wfile.write(status_line.encode("latin-1") + b"\r\n")
        self.wfile.write(b"Content-Type: text/plain\r\nContent-Length: %d\r\n\r\n" % len(page_bytes))
        self.wfile.write(page_bytes)
        self.wfile.flush()


def main():
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    with open(ARGS.port_file, "w") as f:
        f.write(str(server.server_address[1]))
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
