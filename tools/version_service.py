#!/usr/bin/env python3
# Stand-in for the maker's version service, for tests only: serves HTTPS on localhost with a test
# certificate, answers each request from a scenario, records every request as one JSON line
# ({"method", "path", "headers": [[name, value]...], "body_hex"}), and stops by itself
# after its lifetime.
#
#   version_service.py make-certs DIR
#       DIR/ca.pem (the test CA), DIR/leaf.pem + .key (DNS:localhost, signed by the test CA),
#       DIR/untrusted-leaf.pem + .key (signed by a CA never trusted).
#   version_service.py serve --certs DIR --record FILE [--port N] [--port-file FILE]
#                            [--lifetime SECONDS] [--untrusted] [--tls-1.0-only]
#                            (--scenario JSON | --scenario-file FILE)
#       A scenario is one step or a list of steps; request n uses step n (the last one repeats).
#       A step is an object:
#         status    HTTP status (200)
#         headers   header name -> value (Content-Type: application/json; charset=utf-8);
#                   "{port}" in a value stands for the listener's port
#         body      text of the body (""), made bytes by "encoding" ("utf-8"; e.g. "gbk")
#         body_size instead of body: that many bytes of "a" (an oversize answer)
#         action    "answer" (default); "hang": read the request and never answer;
#                   "endless-headers": answer 200 and send header lines until the client goes;
#                   "short-body": announce a Content-Length 16 bytes over the body, send the
#                   body and close the connection;
#                   "redirect-elsewhere": answer 307 to the same path on a second listener
#                   (another port of localhost, trusted) that gives the up-to-date answer.
import argparse
import http.server
import itertools
import json
import os
import pathlib
import ssl
import subprocess
import threading
import time

LOCK = threading.Lock()
UP_TO_DATE = '{"result":1,"info":{"version":"3.0.0","sid":"1","must":"0"}}'


def openssl(directory, *args):
    subprocess.run(["openssl", *args], cwd=directory, check=True, capture_output=True)


def make_certs(directory):
    directory.mkdir(parents=True, exist_ok=True)
    (directory / "leaf.ext").write_text(
        "basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature,keyEncipherment\n"
        "extendedKeyUsage=serverAuth\nsubjectAltName=DNS:localhost\n")
    for ca, leaf in (("ca", "leaf"), ("untrusted-ca", "untrusted-leaf")):
        openssl(directory, "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-sha256", "-days", "7",
                "-keyout", f"{ca}.key", "-out", f"{ca}.pem", "-subj", f"/CN=Varnel Test {ca}",
                "-addext", "basicConstraints=critical,CA:TRUE",
                "-addext", "keyUsage=critical,keyCertSign,cRLSign")
        openssl(directory, "req", "-newkey", "rsa:2048", "-nodes", "-sha256", "-keyout",
                f"{leaf}.key", "-out", f"{leaf}.csr", "-subj", "/CN=localhost")
        openssl(directory, "x509", "-req", "-sha256", "-days", "7", "-in", f"{leaf}.csr", "-CA",
                f"{ca}.pem", "-CAkey", f"{ca}.key", "-set_serial", str(time.time_ns() // 1000),
                "-extfile", "leaf.ext", "-out", f"{leaf}.pem")


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def setup(self):
        self.request = self.server.tls.wrap_socket(self.request, server_side=True)
        super().setup()

    def do_POST(self):
        body = self.rfile.read(int(self.headers.get("Content-Length") or 0))
        with LOCK:  # one record file for both listeners
            with open(self.server.record, "a", encoding="utf-8") as out:
                out.write(json.dumps({"method": self.command, "path": self.path,
                                      "headers": [list(h) for h in self.headers.items()],
                                      "body_hex": body.hex()}, ensure_ascii=False) + "\n")
            step = self.server.steps[min(self.server.count, len(self.server.steps) - 1)]
            self.server.count += 1
        action = step.get("action")
        if action == "hang":
            threading.Event().wait()
        if action == "endless-headers":
            self.wfile.write(b"HTTP/1.1 200 OK\r\n")
            for number in itertools.count():  # ends when the client closes the connection
                self.wfile.write(b"X-Filler-%d: %s\r\n" % (number, b"x" * 64))
        if action == "redirect-elsewhere":
            step = {"status": 307, "headers": {
                "Location": f"https://localhost:{self.server.elsewhere}{self.path}"}}
        payload = (b"a" * step["body_size"] if "body_size" in step
                   else step.get("body", "").encode(step.get("encoding", "utf-8")))
        self.send_response_only(step.get("status", 200))
        headers = {"Content-Type": "application/json; charset=utf-8", **step.get("headers", {})}
        for name, value in headers.items():  # "{port}": this listener's own
            self.send_header(name, value.replace("{port}", str(self.server.server_address[1])))
        short = action == "short-body"
        self.send_header("Content-Length", str(len(payload) + (16 if short else 0)))
        self.end_headers()
        self.wfile.write(payload)
        if short:
            self.close_connection = True


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, port, certs, leaf, steps, record):
        super().__init__(("127.0.0.1", port), Handler)
        self.tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        self.tls.load_cert_chain(certs / f"{leaf}.pem", certs / f"{leaf}.key")
        self.steps, self.count, self.record = steps, 0, record

    def handle_error(self, request, client_address):
        pass  # refused handshakes, dropped connections: part of the scenarios (also in setup())


def serve(args):
    steps = json.loads(pathlib.Path(args.scenario_file).read_text(encoding="utf-8")
                       if args.scenario_file else args.scenario)
    steps = steps if isinstance(steps, list) else [steps]
    server = Server(args.port, args.certs, "untrusted-leaf" if args.untrusted else "leaf", steps,
                    args.record)
    if args.tls_1_0_only:
        server.tls.set_ciphers("DEFAULT:@SECLEVEL=0")
        server.tls.minimum_version = server.tls.maximum_version = ssl.TLSVersion.TLSv1
    if any(step.get("action") == "redirect-elsewhere" for step in steps):
        elsewhere = Server(0, args.certs, "leaf", [{"body": UP_TO_DATE}], args.record)
        server.elsewhere = elsewhere.server_address[1]
        threading.Thread(target=elsewhere.serve_forever, daemon=True).start()
    port = server.server_address[1]
    if args.port_file:
        temporary = pathlib.Path(args.port_file).with_suffix(".tmp")
        temporary.write_text(str(port))
        os.replace(temporary, args.port_file)  # readers never see a half-written file
    print(f"listening on https://localhost:{port}", flush=True)
    threading.Timer(args.lifetime, os._exit, [0]).start()  # handlers may hang on purpose
    server.serve_forever()


def main():
    parser = argparse.ArgumentParser(description="Stand-in version service for tests.")
    commands = parser.add_subparsers(dest="command", required=True)
    commands.add_parser("make-certs").add_argument("directory", type=pathlib.Path)
    run = commands.add_parser("serve")
    run.add_argument("--certs", required=True, type=pathlib.Path)
    run.add_argument("--record", required=True)
    run.add_argument("--port", type=int, default=0)
    run.add_argument("--port-file")
    run.add_argument("--lifetime", type=float, default=60.0)
    run.add_argument("--untrusted", action="store_true")
    run.add_argument("--tls-1.0-only", dest="tls_1_0_only", action="store_true")
    source = run.add_mutually_exclusive_group(required=True)
    source.add_argument("--scenario")
    source.add_argument("--scenario-file")
    args = parser.parse_args()
    make_certs(args.directory) if args.command == "make-certs" else serve(args)


if __name__ == "__main__":
    main()
