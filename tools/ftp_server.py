#!/usr/bin/python3
"""FTP server for tests and benchmarks, on pyftpdlib.

Prints "LISTENING ftp <port>" and "READY" on stdout, then one log line per
event: "LOGIN <user>", "LIST", "RETR <name>", and "SENT <bytes>" once a
download's data connection closes (the bytes it sent). Stops cleanly on SIGTERM.

Fault knobs (for tests of the client's failure handling):
  abort_after=N     a download's data connection is broken off after N bytes
                    and the transfer answered with 426
  truncate_after=N  a download ends after N bytes but is answered with 226
  stall_after=N     a download stops sending after N bytes and waits
  breaks=K          the three knobs above break off the first K downloads
                    that reach N bytes only (default: every one)
  rest=refuse       REST is answered 502 (not implemented)
  rest=ignore       REST is answered 350, yet the download starts at byte 0
  idle_close=S      control connections idle for S seconds are closed (421)
  refuse_login=True every login is refused
  dos_listing=True  listings in the DOS/Windows format ("<DIR>" lines)
  endless_listing=True   a listing of generated entries without end, as fast
                    as the client takes them
  trickle_listing=S the real listing, one byte every S seconds
  endless_download=True  a download sends the file, then bytes without end
  longer_download=N a download sends N bytes more than the file has (the
                    listing and SIZE announce the file's own size)
  size_answer=N     SIZE is answered "213 N" for every file
  refuse_size=True  SIZE is answered 502 (not implemented)
  unlisted=NAME     listings leave NAME out (it can still be fetched)
  charset=NAME      commands, names and listings in that code page
                    ("windows-1252"), not UTF-8
  log_commands=True one more log line per command: "COMMAND <line>" (the
                    password masked)
  writable=True     the account may also upload, rename and delete (STOR,
                    APPE, RNFR/RNTO, DELE, MKD); read-only without it
  break_upload_after=N  an upload's data connection is broken off after N
                    bytes reached the file and the transfer answered with
                    426 (the part stays on disk); `breaks` limits it as above
Listings are sent in name order (byte order), so tests know the server order.
"""

import argparse
import codecs
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
    # Names are bytes on disk and on the wire; the log shows those bytes.
    sys.stdout.flush()
    sys.stdout.buffer.write(line.encode("utf-8", "surrogateescape") + b"\n")
    sys.stdout.buffer.flush()


def _encode_name_text(text, charset):
    """A listing line in the server's code page; bytes that came from the
    disk undecoded go out as they were, characters the code page lacks as "?"."""
    if charset is None:
        return text.encode("utf-8", "surrogateescape")
    out = bytearray()
    for ch in text:
        try:
            out += ch.encode(charset, "surrogateescape")
        except UnicodeEncodeError:
            out += b"?"
    return bytes(out)


class _HoldBack(Exception):
    """Raised by a stalling file that has given all it will give."""


class _WrappedFile:
    """A file opened for download whose bytes a fault changes (read)."""

    def __init__(self, real):
        self._real = real
        self.name = real.name
        self.closed = False

    def seek(self, *args):
        return self._real.seek(*args)

    def tell(self):
        return self._real.tell()

    def close(self):
        self.closed = True
        self._real.close()


class _Breaks:
    """How many downloads a fault may still break off; None: every one."""

    def __init__(self, count):
        self._left = count

    def take(self):
        if self._left is None:
            return True
        self._left -= 1
        return self._left >= 0


class _LimitedFile(_WrappedFile):
    """A file opened for download that delivers only its first `limit` bytes,
    then fails (abort), ends early (truncate) or holds back the rest (stall),
    while `breaks` allows; else it delivers the whole."""

    def __init__(self, real, limit, mode, breaks):
        _WrappedFile.__init__(self, real)
        self._left = limit
        self._mode = mode
        self._breaks = breaks
        self.stalled = False

    def read(self, size=-1):
        if self._left <= 0 and self._breaks is not None:
            if not self._breaks.take():
                self._mode = "whole"
            self._breaks = None
        if self._left <= 0 and self._mode == "whole":
            return self._real.read(size)
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


class _LongerFile(_WrappedFile):
    """A file opened for download that goes on after its end: `extra` bytes
    more, or without end when extra is None."""

    def __init__(self, real, extra):
        _WrappedFile.__init__(self, real)
        self._extra = extra

    def read(self, size=-1):
        data = self._real.read(size if size is not None and size > 0 else 65536)
        if data:
            return data
        want = 65536 if size is None or size < 0 else size
        if self._extra is not None:
            want = min(want, self._extra)
            self._extra -= want
        return b"\xA5" * want


def _endless_listing_lines(encode):
    number = 0
    while True:
        number += 1
        yield encode("-rw-r--r--   1 owner    group           1 Jan 01  2020 endless%09d.dat\r\n" % number)


class _HoldingDTP(DTPHandler):
    """A data channel that holds back what it sends: only a closing client
    makes it readable meanwhile."""

    def handle_read(self):
        try:
            chunk = self.recv(self.ac_in_buffer_size)
        except OSError:
            chunk = b""
        if not chunk:
            self.handle_close()


class _TricklingDTP(_HoldingDTP):
    """Sends what it is given (a listing) one byte every `drip_seconds`."""

    drip_seconds = 0.5

    def push_with_producer(self, producer):
        self._initialized = True
        self._drip = b"".join(iter(producer.more, b""))
        # Nothing is written by the loop until the last byte has gone.
        self.modify_ioloop_events(self.ioloop.READ)
        self._wanted_io_events = self.ioloop.READ
        self.call_later(self.drip_seconds, self._next_drip)

    def _next_drip(self):
        if self._closed:
            return
        if not self._drip:
            # The end marker queued after the data now closes the channel (226).
            self.modify_ioloop_events(self.ioloop.WRITE)
            self._wanted_io_events = self.ioloop.WRITE
            return
        try:
            self.send(self._drip[:1])
        except OSError:
            self.handle_close()
            return
        self._drip = self._drip[1:]
        self.call_later(self.drip_seconds, self._next_drip)


class _StallingDTP(_HoldingDTP):
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


class _BreakingUpload:
    """A file opened for upload that takes its first `limit` bytes, then
    fails as a full disk would: the server answers 426 and keeps the part."""

    def __init__(self, real, limit, breaks):
        self._real = real
        self._left = limit
        self._breaks = breaks
        self.name = real.name
        self.closed = False

    def write(self, data):
        if self._breaks is None:
            return self._real.write(data)
        taken = data[: max(self._left, 0)]
        self._real.write(taken)
        self._left -= len(taken)
        if len(taken) < len(data):
            if not self._breaks.take():
                self._breaks = None
                return self._real.write(data[len(taken):])
            raise OSError(28, "upload broken off")

    def seek(self, *args):
        return self._real.seek(*args)

    def tell(self):
        return self._real.tell()

    def close(self):
        self.closed = True
        self._real.close()


class _RefusingAuthorizer(DummyAuthorizer):
    def validate_authentication(self, username, password, handler):
        raise AuthenticationFailed("login refused")


def make_ftp_server(root, user, password, host="127.0.0.1", port=0, abort_after=None,
                    truncate_after=None, stall_after=None, idle_close=None, refuse_login=False,
                    dos_listing=False, endless_listing=False, trickle_listing=None, endless_download=False,
                    longer_download=None, charset=None, log_commands=False, size_answer=None,
                    refuse_size=False, unlisted=None, breaks=None, rest=None, writable=False,
                    break_upload_after=None):
    """An FTPServer serving `root` to one account; call serve_forever() on it.
    The bound port is server.address[1]."""
    authorizer = _RefusingAuthorizer() if refuse_login else DummyAuthorizer()
    authorizer.add_user(user, password, root, perm="elradfmw" if writable else "elr")

    limit = None
    if abort_after is not None:
        limit = (int(abort_after), "abort")
    elif truncate_after is not None:
        limit = (int(truncate_after), "truncate")
    elif stall_after is not None:
        limit = (int(stall_after), "stall")

    if rest not in (None, "refuse", "ignore"):
        raise ValueError("rest is refuse or ignore, not %r" % rest)
    breaks_left = _Breaks(None if breaks is None else int(breaks))

    if charset is not None:
        charset = codecs.lookup(charset).name

    def encode(text):
        return _encode_name_text(text, charset)

    class Fs(AbstractedFS):
        def listdir(self, path):
            names = sorted(AbstractedFS.listdir(self, path), key=os.fsencode)
            return [n for n in names if n != unlisted]

        def format_list(self, basedir, listing, ignore_err=True):
            if endless_listing:
                yield from _endless_listing_lines(encode)
                return
            if not dos_listing:
                for line in AbstractedFS.format_list(self, basedir, listing, ignore_err):
                    yield encode(line.decode("utf-8", "surrogateescape")) if charset else line
                return
            for name in listing:
                try:
                    st = os.lstat(os.path.join(basedir, name))
                except OSError:
                    continue
                when = time.strftime("%m-%d-%y  %I:%M%p", time.localtime(st.st_mtime))
                kind = "       <DIR>          " if stat.S_ISDIR(st.st_mode) else "%21d " % st.st_size
                yield encode(when + kind + name + "\r\n")

        def open(self, filename, mode):
            f = AbstractedFS.open(self, filename, mode)
            if "r" in mode:
                if limit is not None:
                    return _LimitedFile(f, limit[0], limit[1], breaks_left)
                if endless_download:
                    return _LongerFile(f, None)
                if longer_download is not None:
                    return _LongerFile(f, int(longer_download))
            elif break_upload_after is not None:
                return _BreakingUpload(f, int(break_upload_after), breaks_left)
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

        def ftp_REST(self, line):
            if rest == "refuse":
                self.respond("502 Command not implemented.")
            elif rest == "ignore":
                self.respond("350 Restarting at position %s." % line)
            else:
                return FTPHandler.ftp_REST(self, line)

        def _on_dtp_close(self):
            channel = self.data_channel
            if channel is not None and channel.cmd == "RETR":
                _log("SENT %d" % channel.tot_bytes_sent)
            return FTPHandler._on_dtp_close(self)

        def ftp_SIZE(self, path):
            if refuse_size:
                self.respond("502 Command not implemented.")
            elif size_answer is not None:
                self.respond("213 %d" % int(size_answer))
            else:
                return FTPHandler.ftp_SIZE(self, path)

        def decode(self, data):
            return data.decode(charset or "utf-8", "surrogateescape")

        def pre_process_command(self, line, cmd, arg):
            if log_commands:
                _log("COMMAND " + ("PASS ******" if cmd == "PASS" else line))
            return FTPHandler.pre_process_command(self, line, cmd, arg)

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
    elif trickle_listing is not None:
        Handler.dtp_handler = type("Trickling", (_TricklingDTP,), {"drip_seconds": float(trickle_listing),
                                                                    "timeout": 3600})
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
    p.add_argument("--endless-listing", action="store_true")
    p.add_argument("--trickle-listing", type=float, metavar="SECONDS")
    p.add_argument("--endless-download", action="store_true")
    p.add_argument("--longer-download", type=int, metavar="BYTES")
    p.add_argument("--charset", help="code page of commands, names and listings (default UTF-8)")
    p.add_argument("--log-commands", action="store_true")
    p.add_argument("--size-answer", type=int, metavar="BYTES")
    p.add_argument("--refuse-size", action="store_true")
    p.add_argument("--unlisted", metavar="NAME")
    p.add_argument("--breaks", type=int, metavar="K")
    p.add_argument("--rest", choices=["refuse", "ignore"])
    p.add_argument("--writable", action="store_true")
    p.add_argument("--break-upload-after", type=int, metavar="BYTES")
    a = p.parse_args()

    quiet = logging.getLogger("pyftpdlib")
    quiet.addHandler(logging.StreamHandler(sys.stderr))
    quiet.setLevel(logging.ERROR)
    server = make_ftp_server(a.root, a.user, a.password, port=a.port, abort_after=a.abort_after,
                             truncate_after=a.truncate_after, stall_after=a.stall_after,
                             idle_close=a.idle_close, refuse_login=a.refuse_login,
                             dos_listing=a.dos_listing, endless_listing=a.endless_listing,
                             trickle_listing=a.trickle_listing, endless_download=a.endless_download,
                             longer_download=a.longer_download, charset=a.charset,
                             log_commands=a.log_commands, size_answer=a.size_answer,
                             refuse_size=a.refuse_size, unlisted=a.unlisted, breaks=a.breaks, rest=a.rest,
                             writable=a.writable, break_upload_after=a.break_upload_after)
    signal.signal(signal.SIGTERM, _stop)
    _log("LISTENING ftp %d" % server.address[1])
    _log("READY")
    try:
        server.serve_forever(handle_exit=True)
    finally:
        server.close_all()


if __name__ == "__main__":
    main()
