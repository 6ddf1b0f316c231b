#!/usr/bin/python3
"""Update server for QOR_sync_PRO: the query script over HTTP and the package
files over FTP, both from one published folder.

Prints "LISTENING http <port>", "LISTENING ftp <port>", "READY", then per HTTP
request a line "REQUEST <request line>" and a line "AGENT <User-Agent header>".
What it answers comes from the catalogue (JSON, see docs/update-server.md),
read again for every request so that a vendor (or a test) can change it
while the server runs.
"""

import argparse
import json
import logging
import os
import signal
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qs, urlsplit

SCRIPT_PATH = "/php_scripts/qor_sw_setup_manager.php"
QUERIES = ("check", "caption", "sw_update", "new", "install", "update")
PACKAGE_FIELDS = ("id", "fn", "ve", "pa", "ar", "ja", "st")

_print_lock = threading.Lock()


def say(line):
    with _print_lock:
        sys.stdout.write(line + "\n")
        sys.stdout.flush()


# --- the catalogue -----------------------------------------------------------

def parse_fault(text):
    """"status:503", "close", "stall:5", "cut:100", "trickle:0.5", "redirect:LOCATION", "delay:3", each
    optionally "@N" (first N requests)."""
    times = None
    if "@" in text:
        text, count = text.rsplit("@", 1)
        times = int(count)
    mode, _, arg = text.partition(":")
    if mode not in ("close", "status", "stall", "cut", "trickle", "redirect", "delay"):
        raise ValueError("unknown fault mode %r" % mode)
    fault = {"mode": mode}
    if mode == "status":
        fault["status"] = int(arg or 500)
    if mode in ("stall", "delay"):
        fault["seconds"] = float(arg or (600 if mode == "stall" else 3))
    if mode == "cut" and arg:
        fault["bytes"] = int(arg)
    if mode == "trickle":
        fault["seconds"] = float(arg or 0.5)
    if mode == "redirect":
        if not arg:
            raise ValueError("a redirect needs a location")
        fault["location"] = arg
    if times is not None:
        fault["times"] = times
    return fault


class Catalogue:
    """What the server answers: the catalogue file plus command-line overrides."""

    def __init__(self, path, root, cli_faults, cli_answers):
        self.path = path
        self.root = root
        self.cli_faults = cli_faults
        self.cli_answers = cli_answers
        self.ftp_port = 21

    def load(self):
        with open(self.path, "rb") as f:
            data = json.loads(f.read().decode("utf-8"))
        if not isinstance(data, dict):
            raise ValueError("the catalogue must be a JSON object")
        return data

    def fault(self, data, query):
        if query in self.cli_faults:
            return self.cli_faults[query]
        given = data.get("faults", {}).get(query)
        if given is None:
            return None
        return parse_fault(given) if isinstance(given, str) else dict(given)

    def raw_answer(self, data, keys):
        answers = dict(data.get("answers", {}))
        answers.update(self.cli_answers)
        for key in keys:
            if key in answers:
                path = answers[key]
                if not os.path.isabs(path):
                    path = os.path.join(self.root, path)
                with open(path, "rb") as f:
                    return f.read()
        return None

    def answer(self, data, query, params):
        """The answer text of one query, built from the catalogue."""
        if query == "check":
            return data.get("check", "ok") if params.get("was") == "ab" else ""
        if query == "caption":
            entries = data.get("captions", {}).get(params.get("was", ""), {})
            return "||".join("%s|%s" % (k, v) for k, v in entries.items())
        if query == "sw_update":
            s = data.get("settings", {})
            server = s.get("se")
            if server is None:
                server = "127.0.0.1" if self.ftp_port == 21 else "127.0.0.1:%d" % self.ftp_port
            values = {"se": server, "fo": s.get("fo", "/"), "us": s.get("us", "qor"), "pa": s.get("pa", "qor")}
            # "order" writes the fields in another order, "end" follows the
            # last field (a server's "\r\n").
            order = s.get("order", ["se", "fo", "us", "pa"])
            return "|".join("%s=%s" % (k, values[k]) for k in order) + s.get("end", "")
        if query == "new":
            return "||".join(data.get("new", []))
        if query in ("install", "update"):
            records = []
            if query == "update":
                for key in ("mainprogram", "updaprogram"):
                    if key in data:
                        records.append("%s=%s" % (key, data[key]))
            for entry in data.get(query, []):
                if isinstance(entry, str):  # a record given verbatim
                    records.append(entry)
                else:
                    records.append("|".join("%s=%s" % (k, entry[k]) for k in PACKAGE_FIELDS if k in entry))
            return "||".join(records)
        return ""


# --- HTTP --------------------------------------------------------------------

class QueryHandler(BaseHTTPRequestHandler):
    server_version = "QORUpdateServer/1.0"

    def log_message(self, format, *args):  # the REQUEST lines are the log
        pass

    def send_body(self, status, body, content_type="text/plain; charset=utf-8"):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        say("REQUEST " + self.requestline)
        agent = self.headers.get("User-Agent")
        say("AGENT " + (agent or ""))
        self.close_connection = True
        url = urlsplit(self.path)
        if self.server.state.require_agent and not agent:
            # As some hosting does: a request that names no client is refused.
            self.send_body(403, b"forbidden\n")
            return
        if url.path != SCRIPT_PATH:
            self.send_body(404, b"not found\n")
            return
        # No unquoting beyond what parse_qs does: the client sends plain text.
        params = {k: v[-1] for k, v in parse_qs(url.query, keep_blank_values=True).items()}
        query = params.get("art", "")
        state = self.server.state
        try:
            data = state.catalogue.load()
            fault = state.catalogue.fault(data, query) if query in QUERIES else None
            if fault is not None and fault["mode"] == "delay" and state.take_fault(query, fault):
                # A slow server that answers in the end: the client is busy meanwhile.
                state.stopping.wait(float(fault["seconds"]))
            elif fault is not None and fault["mode"] != "cut" and state.take_fault(query, fault):
                self.fail(fault)
                return
            body = None
            if query in QUERIES:
                keys = [query + "." + params.get("was", ""), query] if query == "caption" else [query]
                body = state.catalogue.raw_answer(data, keys)
            if body is None:
                text = state.catalogue.answer(data, query, params) if query in QUERIES else ""
                body = text.encode(data.get("charset", "utf-8"))
        except Exception as error:  # a broken catalogue is the vendor's to see
            sys.stderr.write("update_server: %s\n" % error)
            self.send_body(500, b"catalogue error\n")
            return
        if fault is not None and fault["mode"] == "cut" and state.take_fault(query, fault):
            self.cut(body, int(fault.get("bytes", len(body) // 2)))
            return
        self.send_body(200, body)

    def cut(self, body, sent):
        """Announces the whole answer, sends only its first bytes and closes."""
        self.send_response(200)
        self.send_header("Content-Type", "text/plain; charset=utf-8")
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(body[:max(0, min(sent, len(body) - 1))])
        self.wfile.flush()

    def fail(self, fault):
        mode = fault["mode"]
        if mode == "status":
            status = int(fault.get("status", 500))
            page = "<html><head><title>%d</title></head><body><h1>Error %d</h1></body></html>\n" % (status, status)
            self.send_body(status, fault.get("body", page).encode("utf-8"), "text/html")
        elif mode == "redirect":
            # Where to ask instead (absolute, or relative to this request).
            self.send_response(int(fault.get("status", 302)))
            self.send_header("Location", fault["location"])
            self.send_header("Content-Length", "0")
            self.send_header("Connection", "close")
            self.end_headers()
        elif mode == "stall":
            # Accepts the request and sends nothing until the client gives up.
            self.server.state.stopping.wait(float(fault.get("seconds", 600)))
        elif mode == "trickle":
            # Fast enough for any low-speed limit, never done: one byte at a time.
            self.send_response(200)
            self.send_header("Content-Type", "text/plain; charset=utf-8")
            self.send_header("Connection", "close")
            self.end_headers()
            stopping = self.server.state.stopping
            try:
                while not stopping.wait(float(fault.get("seconds", 0.5))):
                    self.wfile.write(b"|")
                    self.wfile.flush()
            except OSError:
                pass  # the client gave up
        # "close": no answer at all, the connection just ends.


class ServerState:
    def __init__(self, catalogue, require_agent=False):
        self.catalogue = catalogue
        self.require_agent = require_agent
        self.stopping = threading.Event()
        self._used = {}
        self._lock = threading.Lock()

    def take_fault(self, query, fault):
        """True while the fault still applies: always, or for its first N requests."""
        times = fault.get("times")
        if times is None:
            return True
        with self._lock:
            used = self._used.get(query, 0)
            if used >= int(times):
                return False
            self._used[query] = used + 1
            return True


# --- FTP ---------------------------------------------------------------------

def make_ftp_server(root, user, password, bind, port, login_fail_delay, faults):
    """The read-only FTP account on the published folder, built by the FTP
    test server's builder (its LOGIN/LIST/RETR lines join this log)."""
    sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
    import ftp_server

    # A handler of our own keeps pyftpdlib from installing its chatty INFO one.
    ftp_log = logging.getLogger("pyftpdlib")
    ftp_log.addHandler(logging.StreamHandler(sys.stderr))
    ftp_log.setLevel(logging.WARNING)
    server = ftp_server.make_ftp_server(root, user, password, host=bind, port=port, **faults)
    server.handler.auth_failed_timeout = login_fail_delay
    return server


FTP_FAULTS = {
    "abort_after": int, "truncate_after": int, "stall_after": int, "idle_close": float, "refuse_login": None,
    "endless_listing": None, "trickle_listing": float, "endless_download": None, "longer_download": int,
    "charset": str, "log_commands": None, "size_answer": int, "refuse_size": None, "unlisted": str,
    "breaks": int, "rest": str,
}


def parse_ftp_fault(text):
    """"KNOB=VALUE" or "KNOB" for a switch; the knobs of tools/ftp_server.py."""
    key, _, value = text.partition("=")
    if key not in FTP_FAULTS:
        raise ValueError("unknown FTP fault %r" % key)
    kind = FTP_FAULTS[key]
    return key, True if kind is None else kind(value)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", required=True, help="the published folder")
    parser.add_argument("--catalogue", help="catalogue file (default: ROOT/catalogue.json)")
    parser.add_argument("--bind", default="127.0.0.1", help="address to listen on (default 127.0.0.1)")
    parser.add_argument("--http-port", type=int, default=0, help="0: a free port")
    parser.add_argument("--ftp-port", type=int, default=0, help="0: a free port")
    parser.add_argument("--no-ftp", action="store_true", help="serve the queries only")
    parser.add_argument("--ftp-login-fail-delay", type=float, default=3.0,
                        help="seconds before a refused login is answered (0 for tests)")
    parser.add_argument("--ftp-fault", action="append", default=[], metavar="KNOB[=VALUE]",
                        help="abort_after=N, truncate_after=N, stall_after=N, idle_close=S, refuse_login, "
                             "endless_listing, trickle_listing=S, endless_download, longer_download=N, "
                             "charset=NAME, log_commands, size_answer=N, refuse_size, unlisted=NAME, breaks=K, "
                             "rest=refuse|ignore")
    parser.add_argument("--require-agent", action="store_true",
                        help="refuse (403) requests without a User-Agent header")
    parser.add_argument("--fail", action="append", default=[], metavar="QUERY=MODE[:ARG][@N]",
                        help="fail a query: close, status[:CODE], stall[:SECONDS], cut[:BYTES], trickle[:SECONDS], "
                             "delay[:SECONDS] (answers after that); "
                             "@N: first N requests only")
    parser.add_argument("--answer", action="append", default=[], metavar="QUERY=FILE",
                        help="answer a query with the bytes of FILE (caption.de for one language)")
    args = parser.parse_args()

    root = os.path.abspath(args.root)
    cli_faults = {}
    for option in args.fail:
        query, _, fault = option.partition("=")
        cli_faults[query] = parse_fault(fault)
    cli_answers = dict(option.partition("=")[::2] for option in args.answer)
    catalogue = Catalogue(args.catalogue or os.path.join(root, "catalogue.json"), root, cli_faults, cli_answers)
    settings = catalogue.load().get("settings", {})  # fails early on a broken catalogue

    state = ServerState(catalogue, args.require_agent)
    httpd = ThreadingHTTPServer((args.bind, args.http_port), QueryHandler)
    httpd.daemon_threads = True
    httpd.state = state

    ftpd = None
    if not args.no_ftp:
        ftpd = make_ftp_server(root, settings.get("us", "qor"), settings.get("pa", "qor"),
                               args.bind, args.ftp_port, args.ftp_login_fail_delay,
                               dict(parse_ftp_fault(f) for f in args.ftp_fault))
        catalogue.ftp_port = ftpd.address[1]

    def stop(signum, frame):
        state.stopping.set()

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)

    threads = [threading.Thread(target=httpd.serve_forever, kwargs={"poll_interval": 0.2}, daemon=True)]
    if ftpd is not None:
        def serve_ftp():
            while not state.stopping.is_set():
                ftpd.ioloop.loop(0.2, blocking=False)
            ftpd.close_all()
        threads.append(threading.Thread(target=serve_ftp, daemon=True))
    for t in threads:
        t.start()

    say("LISTENING http %d" % httpd.server_address[1])
    if ftpd is not None:
        say("LISTENING ftp %d" % ftpd.address[1])
    say("READY")

    while not state.stopping.wait(0.2):
        pass
    httpd.shutdown()
    httpd.server_close()
    for t in threads:
        t.join(timeout=5)
    return 0


if __name__ == "__main__":
    sys.exit(main())
