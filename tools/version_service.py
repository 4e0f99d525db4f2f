#!/usr/bin/env python3
"""Stand-in for the maker's version service, for tests only.

Serves HTTPS on localhost with a test certificate, answers each request from a scenario,
records every request as one JSON line, and stops by itself after its lifetime.

  version_service.py make-certs DIR
      Makes DIR/ca.pem + ca.der (the test CA), DIR/leaf.pem + leaf.key (DNS:localhost, signed by
      the test CA) and DIR/untrusted-leaf.pem + .key (DNS:localhost, signed by a CA that is
      never trusted). Prints the test CA's SHA-1 thumbprint.

  version_service.py serve --certs DIR --record FILE [--port N] [--port-file FILE]
                           [--lifetime SECONDS] [--untrusted] [--tls-1.0-only]
                           (--scenario JSON | --scenario-file FILE)
      A scenario is one step or a list of steps; request n uses step n (the last step repeats).
      A step is an object:
        status   HTTP status (200)
        headers  object of header name -> value (Content-Type: application/json; charset=utf-8)
        body     text of the body ("")
        encoding how the body text becomes bytes ("utf-8"; e.g. "gbk" with a matching charset)
        body_size  instead of body: that many bytes of "a" (an oversize answer)
        delay    seconds to wait after reading the request, before answering (0)
        action   "answer" (default); "close": read the request, close without an answer;
                 "hang": read the request and never answer; "hang-handshake": accept the
                 connection and never start TLS; "refuse-tls": close before the handshake;
                 "endless-headers": answer 200 and send header lines until the client goes;
                 "redirect-elsewhere": answer 307 to the same path on a second listener (another
                 port of localhost, with a trusted certificate) that gives the up-to-date answer.
      Each record line: {"time", "method", "path", "version", "headers": [[name, value]...],
      "body", "body_hex"}.

Example (the up-to-date answer):
  version_service.py serve --certs build/certs --record build/requests.jsonl --port-file port \\
      --scenario '{"body": "{\\"result\\":1,\\"info\\":{\\"version\\":\\"3.0.0\\",\\"sid\\":\\"1\\",\\"must\\":\\"0\\"}}"}'
"""

import argparse
import hashlib
import http.server
import json
import os
import pathlib
import ssl
import subprocess
import sys
import threading
import time

DEFAULT_HEADERS = {"Content-Type": "application/json; charset=utf-8"}
UP_TO_DATE = '{"result":1,"info":{"version":"3.0.0","sid":"1","must":"0"}}'


def run_openssl(*args, cwd):
    subprocess.run(["openssl", *args], cwd=cwd, check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)


def make_ca(directory, name, subject):
    run_openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-sha256", "-days", "7",
                "-keyout", f"{name}.key", "-out", f"{name}.pem", "-subj", subject,
                "-addext", "basicConstraints=critical,CA:TRUE",
                "-addext", "keyUsage=critical,keyCertSign,cRLSign", cwd=directory)


def make_leaf(directory, name, ca):
    extensions = directory / f"{name}.ext"
    extensions.write_text("basicConstraints=CA:FALSE\n"
                          "keyUsage=critical,digitalSignature,keyEncipherment\n"
                          "extendedKeyUsage=serverAuth\n"
                          "subjectAltName=DNS:localhost\n")
    run_openssl("req", "-newkey", "rsa:2048", "-nodes", "-sha256", "-keyout", f"{name}.key",
                "-out", f"{name}.csr", "-subj", "/CN=localhost", cwd=directory)
    run_openssl("x509", "-req", "-sha256", "-days", "7", "-in", f"{name}.csr", "-CA",
                f"{ca}.pem", "-CAkey", f"{ca}.key", "-set_serial",
                str(int(time.time() * 1000)), "-extfile", extensions.name, "-out",
                f"{name}.pem", cwd=directory)


def make_certs(directory):
    directory = pathlib.Path(directory)
    directory.mkdir(parents=True, exist_ok=True)
    make_ca(directory, "ca", "/CN=Varnel Test CA")
    make_leaf(directory, "leaf", "ca")
    make_ca(directory, "untrusted-ca", "/CN=Untrusted Test CA")
    make_leaf(directory, "untrusted-leaf", "untrusted-ca")
    run_openssl("x509", "-in", "ca.pem", "-outform", "DER", "-out", "ca.der", cwd=directory)
    print(hashlib.sha1((directory / "ca.der").read_bytes()).hexdigest().upper())


class Scenario:
    def __init__(self, steps):
        self.steps = steps if isinstance(steps, list) else [steps]
        self.count = 0
        self.lock = threading.Lock()

    def next_step(self):
        with self.lock:
            step = self.steps[min(self.count, len(self.steps) - 1)]
            self.count += 1
            return step

    def peek(self):
        with self.lock:
            return self.steps[min(self.count, len(self.steps) - 1)]


class Recorder:
    def __init__(self, path):
        self.path = path
        self.lock = threading.Lock()
        open(path, "a").close()

    def write(self, entry):
        with self.lock, open(self.path, "a", encoding="utf-8") as out:
            out.write(json.dumps(entry, ensure_ascii=False) + "\n")
            out.flush()


def sleep_forever():
    while True:
        time.sleep(3600)


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def setup(self):
        step = self.server.scenario.peek()
        action = step.get("action", "answer")
        if action == "hang-handshake":
            self.server.scenario.next_step()
            sleep_forever()
        if action == "refuse-tls":
            self.server.scenario.next_step()
            self.request.close()
            raise ConnectionAbortedError("closed before the handshake")
        self.request = self.server.tls.wrap_socket(self.request, server_side=True)
        super().setup()

    def handle(self):
        try:
            super().handle()
        except (ssl.SSLError, ConnectionError, OSError):
            pass  # the client refused our certificate or went away

    def log_message(self, format, *args):
        pass

    def do_any(self):
        length = int(self.headers.get("Content-Length", "0") or "0")
        body = self.rfile.read(length) if length > 0 else b""
        self.server.recorder.write({
            "time": time.time(),
            "method": self.command,
            "path": self.path,
            "version": self.request_version,
            "headers": [[name, value] for name, value in self.headers.items()],
            "body": body.decode("utf-8", errors="replace"),
            "body_hex": body.hex(),
        })
        step = self.server.scenario.next_step()
        time.sleep(float(step.get("delay", 0)))
        action = step.get("action", "answer")
        if action == "close":
            self.close_connection = True
            self.connection.close()
            return
        if action == "hang":
            sleep_forever()
        if action == "endless-headers":
            self.wfile.write(b"HTTP/1.1 200 OK\r\n")
            number = 0
            while True:  # ends when the client closes the connection
                number += 1
                self.wfile.write(b"X-Filler-%d: %s\r\n" % (number, b"x" * 64))
        if action == "redirect-elsewhere":
            step = {"status": 307, "headers": {
                "Location": f"https://localhost:{self.server.elsewhere}{self.path}"}}
        if "body_size" in step:
            payload = b"a" * int(step["body_size"])
        else:
            payload = step.get("body", "").encode(step.get("encoding", "utf-8"))
        self.send_response_only(int(step.get("status", 200)))
        headers = dict(DEFAULT_HEADERS)
        headers.update(step.get("headers", {}))
        for name, value in headers.items():
            self.send_header(name, value)
        if not any(name.lower() == "content-length" for name in headers):
            self.send_header("Content-Length", str(len(payload)))
        self.end_headers()
        self.wfile.write(payload)
        self.wfile.flush()

    do_POST = do_GET = do_PUT = do_HEAD = do_any


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def handle_error(self, request, client_address):
        pass  # refused handshakes and dropped connections are part of the scenarios


def serve(args):
    if args.scenario_file:
        steps = json.loads(pathlib.Path(args.scenario_file).read_text(encoding="utf-8"))
    else:
        steps = json.loads(args.scenario)
    certs = pathlib.Path(args.certs)
    leaf = "untrusted-leaf" if args.untrusted else "leaf"
    tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    tls.load_cert_chain(certs / f"{leaf}.pem", certs / f"{leaf}.key")
    if args.tls_1_0_only:
        tls.set_ciphers("DEFAULT:@SECLEVEL=0")
        tls.minimum_version = ssl.TLSVersion.TLSv1
        tls.maximum_version = ssl.TLSVersion.TLSv1

    elsewhere = None
    if any(step.get("action") == "redirect-elsewhere"
           for step in (steps if isinstance(steps, list) else [steps])):
        trusted = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        trusted.load_cert_chain(certs / "leaf.pem", certs / "leaf.key")
        elsewhere = Server(("127.0.0.1", 0), Handler)
        elsewhere.tls = trusted
        elsewhere.scenario = Scenario({"body": UP_TO_DATE})
        elsewhere.recorder = Recorder(args.record)
        threading.Thread(target=elsewhere.serve_forever, daemon=True).start()

    server = Server(("127.0.0.1", args.port), Handler)
    server.tls = tls
    server.scenario = Scenario(steps)
    server.recorder = Recorder(args.record)
    server.elsewhere = elsewhere.server_address[1] if elsewhere else None
    port = server.server_address[1]
    if args.port_file:
        temporary = pathlib.Path(args.port_file).with_suffix(".tmp")
        temporary.write_text(str(port))
        os.replace(temporary, args.port_file)  # readers never see a half-written file
    print(f"listening on https://localhost:{port}", flush=True)

    def stop():
        os._exit(0)  # handler threads may be hanging on purpose

    threading.Timer(args.lifetime, stop).start()
    server.serve_forever()


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    commands = parser.add_subparsers(dest="command", required=True)
    certs = commands.add_parser("make-certs")
    certs.add_argument("directory")
    run = commands.add_parser("serve")
    run.add_argument("--certs", required=True)
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
    if args.command == "make-certs":
        make_certs(args.directory)
    else:
        serve(args)


if __name__ == "__main__":
    sys.exit(main())
