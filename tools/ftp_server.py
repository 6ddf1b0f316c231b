#!/usr/bin/python3
"""FTP server for tests and benchmarks, on pyftpdlib.

Prints "LISTENING ftp <port>" and "READY" on stdout, then one log line per
event: "LOGIN <user>", "LIST", "RETR <name>". Stops cleanly on SIGTERM.

Fault knobs (for tests of the client's failure handling):
  abort_after=N     a download's data connection is broken off after N bytes
                    and the transfer answered with 426
  truncate_after=N  a download ends after N bytes but is answered with 226
  stall_after=N     a download stops sending after N bytes and waits
  idle_close=S      control connections idle for S seconds are closed (421)
  refuse_login=True every login is refused
  dos_listing=True  listings in the DOS/Windows format ("<DIR>" lines)
Listings are sent in name order (byte order), so tests know the server order.
"""

import argparse
import logging
import os
import signal
import stat
import sys
import time

from pyftpdlib.authorizers import AuthenticationFailed, DummyAuthorizer
from pyftpdlib.filesystems import AbstractedFS
from pyftpdlib.handlers import DTPHandler, FTPHandler
from pyftpdlib.servers import FTPServer


def _log(line):
    sys.stdout.write(line + "\n")
    sys.stdout.flush()


class _HoldBack(Exception):
    """Raised by a stalling file that has given all it will give."""


class _LimitedFile:
    """A file opened for download that delivers only its first `limit` bytes,
    then fails (abort), ends early (truncate) or holds back the rest (stall)."""

    def __init__(self, real, limit, mode):
        self._real = real
        self._left = limit
        self._mode = mode
        self.stalled = False
        self.name = real.name
        self.closed = False

    def read(self, size=-1):
        if self._left <= 0:
            if self._mode == "abort":
                raise OSError(5, "transfer broken off on purpose")
            if self._mode == "stall":
                # An empty read would end the transfer; the data channel
                # catches this and waits instead.
                self.stalled = True
                raise _HoldBack()
            return b""
        want = self._left if size is None or size < 0 else min(size, self._left)
        data = self._real.read(want)
        self._left -= len(data)
        return data

    def seek(self, *args):
        return self._real.seek(*args)

    def tell(self):
        return self._real.tell()

    def close(self):
        self.closed = True
        self._real.close()


class _StallingDTP(DTPHandler):
    """Stops writing once a stalled file has nothing more to give, and keeps
    the data connection open until the client gives up."""

    def initiate_send(self):
        first = self.producer_fifo[0] if self.producer_fifo else None
        if getattr(self.file_obj, "stalled", False) and not isinstance(first, (bytes, bytearray)):
            self.modify_ioloop_events(self.ioloop.READ)
            return
        try:
            DTPHandler.initiate_send(self)
        except _HoldBack:
            self.modify_ioloop_events(self.ioloop.READ)

    def refill_buffer(self):
        if getattr(self.file_obj, "stalled", False):
            return
        try:
            DTPHandler.refill_buffer(self)
        except _HoldBack:
            pass

    def handle_read(self):
        # Only a closing client makes this readable while we stall.
        try:
            chunk = self.recv(self.ac_in_buffer_size)
        except OSError:
            chunk = b""
        if not chunk:
            self.handle_close()


class _RefusingAuthorizer(DummyAuthorizer):
    def validate_authentication(self, username, password, handler):
        raise AuthenticationFailed("login refused")


def make_ftp_server(root, user, password, host="127.0.0.1", port=0, abort_after=None,
                    truncate_after=None, stall_after=None, idle_close=None, refuse_login=False,
                    dos_listing=False):
    """An FTPServer serving `root` to one account; call serve_forever() on it.
    The bound port is server.address[1]."""
    authorizer = _RefusingAuthorizer() if refuse_login else DummyAuthorizer()
    authorizer.add_user(user, password, root, perm="elr")

    limit = None
    if abort_after is not None:
        limit = (int(abort_after), "abort")
    elif truncate_after is not None:
        limit = (int(truncate_after), "truncate")
    elif stall_after is not None:
        limit = (int(stall_after), "stall")

    class Fs(AbstractedFS):
        def listdir(self, path):
            return sorted(AbstractedFS.listdir(self, path), key=os.fsencode)

        def format_list(self, basedir, listing, ignore_err=True):
            if not dos_listing:
                yield from AbstractedFS.format_list(self, basedir, listing, ignore_err)
                return
            for name in listing:
                try:
                    st = os.lstat(os.path.join(basedir, name))
                except OSError:
                    continue
                when = time.strftime("%m-%d-%y  %I:%M%p", time.localtime(st.st_mtime))
                kind = "       <DIR>          " if stat.S_ISDIR(st.st_mode) else "%21d " % st.st_size
                line = when + kind + name + "\r\n"
                yield line.encode("utf8", self.cmd_channel.unicode_errors)

        def open(self, filename, mode):
            f = AbstractedFS.open(self, filename, mode)
            if limit is not None and "r" in mode:
                return _LimitedFile(f, limit[0], limit[1])
            return f

    class Handler(FTPHandler):
        def on_login(self, username):
            _log("LOGIN " + username)

        def ftp_LIST(self, path):
            _log("LIST")
            return FTPHandler.ftp_LIST(self, path)

        def ftp_RETR(self, file):
            _log("RETR " + os.path.basename(file))
            return FTPHandler.ftp_RETR(self, file)

    Handler.authorizer = authorizer
    Handler.abstracted_fs = Fs
    Handler.auth_failed_timeout = 0
    Handler.banner = "test server ready"
    # Names are bytes on disk; pass them through undecoded.
    Handler.unicode_errors = "surrogateescape"
    Handler.permit_privileged_ports = False
    if limit is not None and limit[1] == "stall":
        Handler.dtp_handler = _StallingDTP
        _StallingDTP.timeout = 3600
    if idle_close is not None:
        Handler.timeout = float(idle_close)
    return FTPServer((host, int(port)), Handler)


def _stop(signum, frame):
    raise SystemExit(0)


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--root", required=True)
    p.add_argument("--user", default="user")
    p.add_argument("--password", default="secret")
    p.add_argument("--port", type=int, default=0)
    p.add_argument("--abort-after", type=int)
    p.add_argument("--truncate-after", type=int)
    p.add_argument("--stall-after", type=int)
    p.add_argument("--idle-close", type=float)
    p.add_argument("--refuse-login", action="store_true")
    p.add_argument("--dos-listing", action="store_true")
    a = p.parse_args()

    quiet = logging.getLogger("pyftpdlib")
    quiet.addHandler(logging.StreamHandler(sys.stderr))
    quiet.setLevel(logging.ERROR)
    server = make_ftp_server(a.root, a.user, a.password, port=a.port, abort_after=a.abort_after,
                             truncate_after=a.truncate_after, stall_after=a.stall_after,
                             idle_close=a.idle_close, refuse_login=a.refuse_login,
                             dos_listing=a.dos_listing)
    signal.signal(signal.SIGTERM, _stop)
    _log("LISTENING ftp %d" % server.address[1])
    _log("READY")
    try:
        server.serve_forever(handle_exit=True)
    finally:
        server.close_all()


if __name__ == "__main__":
    main()
