#!/usr/bin/env python3
"""Stands in for the live-streaming service's open API on 127.0.0.1, for real: on "add" it
relays the pull address into rtmp://<server>/<appid>/<stream> with the Linux ffmpeg, on "del"
it stops that relay, and "play" tells whether the relay runs.

  openapi_standin.py [--port N] [--rtmp-server 127.0.0.1:1935] [--log FILE]

Prints "listening on 127.0.0.1:<port>" once it accepts requests; runs until SIGTERM or SIGINT.
GET /status answers {"relay": bool, "requests": [...]} for the scripts that watch it."""

import argparse
import ctypes
import json
import signal
import subprocess
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

TARGET = "/v2/VXR.PullStreamOp"
ACCEPTED, REFUSED, RELAY_ACTIVE = 100, 101, 105
RESTART_PAUSE_S = 0.5


def die_with_parent():
    """In the child before exec: killed when the thread that started it ends."""
    ctypes.CDLL("libc.so.6", use_errno=True).prctl(1, signal.SIGKILL)  # PR_SET_PDEATHSIG


class Relay:
    """One relay ffmpeg at a time, restarted while wanted: its first publish may be refused
    while the broadcast it replaces is still leaving the server."""

    def __init__(self, log, output):
        self.log = log
        self.output = output  # where the relay's ffmpeg writes
        self.lock = threading.Lock()
        self.wanted = None  # (source, target) while the relay should run
        self.thread = None
        self.starts = 0

    def start(self, source, target):
        self.stop()
        with self.lock:
            self.wanted = (source, target)
            self.thread = threading.Thread(target=self.supervise, args=(source, target),
                                           daemon=True)
            self.thread.start()

    def stop(self):
        with self.lock:
            thread, self.wanted = self.thread, None
            self.thread = None
        if thread:
            thread.join()

    def running(self):
        with self.lock:
            return self.wanted is not None

    def supervise(self, source, target):
        # A file plays in real time. A live source arrives in real time, and announces no
        # stream count: without a limit the relay would first wait 5 s for a video stream.
        network = "://" in source
        input_options = ["-analyzeduration", "1000000"] if network else ["-re"]
        command = (["ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "warning"] +
                   input_options + ["-i", source, "-c", "copy", "-f", "flv", target])
        while self.still_wanted(source, target):
            self.log(f"relay: {' '.join(command)}")
            process = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=self.output,
                                       stderr=self.output, preexec_fn=die_with_parent)
            self.starts += 1
            while process.poll() is None and self.still_wanted(source, target):
                time.sleep(0.05)
            if process.poll() is None:
                process.terminate()
                try:
                    process.wait(5)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()
                self.log("relay: stopped")
                return
            self.log(f"relay: ffmpeg exited with {process.returncode}")
            time.sleep(RESTART_PAUSE_S)

    def still_wanted(self, source, target):
        with self.lock:
            return self.wanted == (source, target)


class Service:
    def __init__(self, rtmp_server, log, output):
        self.rtmp_server = rtmp_server
        self.log = log
        self.relay = Relay(log, output)
        self.requests = []
        self.lock = threading.Lock()

    def handle(self, body):
        """The answer to one PullStreamOp body: a dict with Flag and FlagString."""
        try:
            # Values travel in code page 936; only %, & and + are percent-encoded.
            raw = field_bytes(body, "parameter")
            if raw is None:
                raise ValueError("no parameter field")
            request = json.loads(raw.decode("gbk"))
        except (ValueError, UnicodeDecodeError) as error:
            self.log(f"bad request: {error}")
            return {"Flag": REFUSED, "FlagString": f"bad request: {error}"}
        with self.lock:
            self.requests.append(request)
        self.log(f"request: {json.dumps(request, ensure_ascii=False)}")
        kind = request.get("type")
        app, stream, source = request.get("appid"), request.get("stream"), request.get("from")
        if kind == "add":
            if not (app and stream and source):
                return {"Flag": REFUSED, "FlagString": "appid, stream and from are required"}
            self.relay.start(source, f"rtmp://{self.rtmp_server}/{app}/{stream}")
            return {"Flag": ACCEPTED, "FlagString": "relay started"}
        if kind == "del":
            self.relay.stop()
            return {"Flag": ACCEPTED, "FlagString": "relay stopped"}
        if kind == "play":
            if self.relay.running():
                return {"Flag": RELAY_ACTIVE, "FlagString": "relay active"}
            return {"Flag": REFUSED, "FlagString": "no relay"}
        return {"Flag": REFUSED, "FlagString": f"unknown type {kind!r}"}

    def status(self):
        with self.lock:
            return {"relay": self.relay.running(), "relay_starts": self.relay.starts,
                    "requests": list(self.requests)}


def field_bytes(body, name):
    """The form field's value as bytes: percent escapes decoded, '+' left alone, since the
    client encodes a plus as %2B and sends blanks raw."""
    for part in body.split(b"&"):
        key, _, value = part.partition(b"=")
        if key == name.encode():
            return urllib.parse.unquote_to_bytes(value)
    return None


def make_handler(service):
    class Handler(BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"

        def do_POST(self):
            if self.path != TARGET:
                self.answer(404, {"Flag": REFUSED, "FlagString": "not found"})
                return
            body = self.rfile.read(int(self.headers.get("Content-Length", 0)))
            self.answer(200, service.handle(body))

        def do_GET(self):
            if self.path == "/status":
                self.answer(200, service.status())
            else:
                self.answer(404, {"Flag": REFUSED, "FlagString": "not found"})

        def answer(self, status, payload):
            # The client looks for "Flag":100, with that exact spacing and a comma after.
            body = json.dumps(payload, separators=(",", ":"), ensure_ascii=True).encode()
            self.send_response(status)
            self.send_header("Content-Type", "application/json")
            self.send_header("Content-Length", str(len(body)))
            self.send_header("Connection", "close")
            self.end_headers()
            self.wfile.write(body)
            self.close_connection = True

        def log_message(self, format, *args):
            service.log("http: " + format % args)

    return Handler


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--port", type=int, default=0, help="0 picks a free port")
    parser.add_argument("--rtmp-server", default="127.0.0.1:1935",
                        help="host:port the relay publishes to")
    parser.add_argument("--log", help="append the log to this file instead of stderr")
    args = parser.parse_args()

    log_file = open(args.log, "a", encoding="utf-8", buffering=1) if args.log else sys.stderr

    def log(text):
        print(time.strftime("%H:%M:%S ") + text, file=log_file, flush=True)

    service = Service(args.rtmp_server, log, log_file)
    server = ThreadingHTTPServer(("127.0.0.1", args.port), make_handler(service))
    server.daemon_threads = True

    def shut_down(*_):
        # shutdown() waits for serve_forever, which runs in this thread: hand it over.
        threading.Thread(target=server.shutdown, daemon=True).start()

    signal.signal(signal.SIGTERM, shut_down)
    signal.signal(signal.SIGINT, shut_down)
    print(f"listening on 127.0.0.1:{server.server_address[1]}", flush=True)
    log(f"listening on 127.0.0.1:{server.server_address[1]}, relays to {args.rtmp_server}")
    try:
        server.serve_forever(poll_interval=0.1)
    finally:
        service.relay.stop()
        server.server_close()
        log("stopped")


if __name__ == "__main__":
    main()
