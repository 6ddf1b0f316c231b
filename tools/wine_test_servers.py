#!/usr/bin/python3
"""Runs one Windows test program under Wine and starts the Linux-side test
servers it asks for.

    wine_test_servers.py --wine-dir DIR -- COMMAND [ARG...]

A Windows program cannot start Linux programs itself, so this host listens on
127.0.0.1 (a free port, passed to COMMAND as QOR_TEST_SERVERS=127.0.0.1:PORT)
and starts one server per connection. The connection's first line names the
server and its arguments, tab-separated: "update_server", "--root", "C:\\...".
Arguments that are Windows paths ("C:\\..." or "C:/..."), alone or after
"NAME=", become the Linux paths Wine maps them to
(DIR/prefix/dosdevices/c:/...). Every line the server
prints on stdout (LISTENING, READY, its log) goes back over the connection;
the server is stopped when the connection closes, and every server when
COMMAND ends. The exit status is COMMAND's.

"symlink", TARGET, LINK makes LINK a symbolic link to TARGET on the Linux
side and answers "DONE" (or "ERROR <why>"): Wine shows such a link as a
reparse point, and cannot make one itself.
"""

import argparse
import os
import re
import signal
import socket
import subprocess
import sys
import threading

TOOLS = os.path.dirname(os.path.abspath(__file__))
SERVERS = ("update_server", "ftp_server")
# A Windows path, alone or as the value of "NAME=" (--answer caption=C:\\...).
WINDOWS_PATH = re.compile(r"^([^=\\/:]*=)?([A-Za-z]):[\\/](.*)$", re.S)


def linux_path(argument, dosdevices):
    match = WINDOWS_PATH.match(argument)
    if not match:
        return argument
    name, drive, rest = match.group(1) or "", match.group(2).lower(), match.group(3).replace("\\", "/")
    return name + os.path.join(dosdevices, drive + ":", rest)


def stop(process):
    if process.poll() is None:
        process.terminate()
        try:
            process.wait(5)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


class Host:
    def __init__(self, dosdevices):
        self.dosdevices = dosdevices
        self.processes = []
        self.lock = threading.Lock()
        self.listener = socket.create_server(("127.0.0.1", 0))

    @property
    def address(self):
        return "127.0.0.1:%d" % self.listener.getsockname()[1]

    def serve(self):
        while True:
            try:
                connection, _ = self.listener.accept()
            except OSError:
                return  # closed: the test program has ended
            threading.Thread(target=self.one_server, args=(connection,), daemon=True).start()

    def one_server(self, connection):
        with connection:
            request = b""
            while not request.endswith(b"\n"):
                chunk = connection.recv(4096)
                if not chunk:
                    return
                request += chunk
            words = request.decode("utf-8").rstrip("\r\n").split("\t")
            if words[0] == "symlink" and len(words) == 3:
                self.symlink(connection, *[linux_path(w, self.dosdevices) for w in words[1:]])
                return
            if words[0] not in SERVERS:
                connection.sendall(("ERROR no test server named %r\n" % words[0]).encode())
                return
            argv = [sys.executable, os.path.join(TOOLS, words[0] + ".py")]
            argv += [linux_path(w, self.dosdevices) for w in words[1:]]
            process = subprocess.Popen(argv, stdout=subprocess.PIPE, stdin=subprocess.DEVNULL)
            with self.lock:
                self.processes.append(process)
            threading.Thread(target=self.forward, args=(process, connection), daemon=True).start()
            # The client closes the connection when it is done with the server.
            try:
                while connection.recv(4096):
                    pass
            except OSError:
                pass
            stop(process)

    @staticmethod
    def symlink(connection, target, link):
        try:
            os.symlink(target, link)
            connection.sendall(b"DONE\n")
        except OSError as error:
            connection.sendall(("ERROR %s\n" % error).encode())

    @staticmethod
    def forward(process, connection):
        try:
            for line in process.stdout:
                connection.sendall(line)
            connection.shutdown(socket.SHUT_WR)  # the server ended
        except OSError:
            pass

    def close(self):
        self.listener.close()
        with self.lock:
            for process in self.processes:
                stop(process)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--wine-dir", required=True, help="the Wine folder of tools/wine-run.sh")
    parser.add_argument("command", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    command = args.command[1:] if args.command[:1] == ["--"] else args.command
    if not command:
        parser.error("no command")

    host = Host(os.path.join(os.path.abspath(args.wine_dir), "prefix", "dosdevices"))
    threading.Thread(target=host.serve, daemon=True).start()
    environment = dict(os.environ, QOR_TEST_SERVERS=host.address)
    test = subprocess.Popen(command, env=environment)
    # CTest ends a test that runs too long with SIGTERM: pass it on, then tidy up.
    signal.signal(signal.SIGTERM, lambda *_: test.terminate())
    status = test.wait()
    host.close()
    sys.exit(status if status >= 0 else 128 - status)


if __name__ == "__main__":
    main()
