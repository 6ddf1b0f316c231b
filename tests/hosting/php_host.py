"""The PHP query script as a web host runs it: a document root with
php_scripts/ holding a copy of the script, served by PHP's built-in server
on a free loopback port, its own log lines kept in a file."""

import os
import shutil
import socket
import subprocess
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
SCRIPT = os.path.join(ROOT, "hosting", "php_scripts", "qor_sw_setup_manager.php")
SCRIPT_PATH = "/php_scripts/qor_sw_setup_manager.php"
SKIP = 77  # ctest's SKIP_RETURN_CODE for these tests


def find_php(given=None):
    return given or shutil.which("php")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def ask(port, target, host=None, method=b"GET", timeout=20):
    """Sends one request with exactly these target bytes; returns (status,
    headers as a lower-cased dict, body bytes)."""
    host = host if host is not None else b"127.0.0.1:%d" % port
    request = method + b" " + target + b" HTTP/1.1\r\nHost: " + host + \
        b"\r\nUser-Agent: QOR_sync_PRO\r\nConnection: close\r\n\r\n"
    with socket.create_connection(("127.0.0.1", port), timeout=timeout) as s:
        s.sendall(request)
        answer = b""
        while True:
            chunk = s.recv(65536)
            if not chunk:
                break
            answer += chunk
    head, _, body = answer.partition(b"\r\n\r\n")
    lines = head.split(b"\r\n")
    status = int(lines[0].split()[1])
    headers = {}
    for line in lines[1:]:
        name, _, value = line.partition(b":")
        headers[name.strip().lower().decode("latin-1")] = value.strip().decode("latin-1")
    if headers.get("transfer-encoding", "").lower() == "chunked":
        body = dechunk(body)
    return status, headers, body


def dechunk(data):
    body = b""
    while data:
        size_line, _, data = data.partition(b"\r\n")
        size = int(size_line.split(b";")[0], 16)
        if size == 0:
            break
        body, data = body + data[:size], data[size + 2:]
    return body


def user_ini():
    """The settings of the .user.ini shipped beside the script, as NAME=VALUE."""
    with open(os.path.join(os.path.dirname(SCRIPT), ".user.ini")) as f:
        lines = [line.split(";")[0].strip() for line in f]
    return [line.replace(" ", "") for line in lines if line]


class PhpHost:
    """php -S on docroot/, the script copied into docroot/php_scripts/.
    catalogue_dir: the folder named by QOR_CATALOGUE_DIR (None: the script's
    own folder). PHP runs with every error shown, as a careless host has it,
    so an error text leaking into an answer shows; with_user_ini adds the
    settings of the folder's .user.ini, as CGI and FastCGI hosting reads them
    (PHP's test server does not)."""

    def __init__(self, php, work, catalogue_dir=None, with_user_ini=True, settings=(), start=subprocess.Popen, **popen):
        self.docroot = os.path.join(work, "docroot")
        self.scripts = os.path.join(self.docroot, "php_scripts")
        os.makedirs(self.scripts, exist_ok=True)
        for name in (SCRIPT, os.path.join(os.path.dirname(SCRIPT), ".user.ini")):
            shutil.copy(name, self.scripts)
        self.log_path = os.path.join(work, "php-server.log")
        env = dict(os.environ)
        env.pop("QOR_CATALOGUE_DIR", None)
        if catalogue_dir is not None:
            env["QOR_CATALOGUE_DIR"] = catalogue_dir
        lines = ["display_errors=1", "html_errors=1", "error_reporting=-1", *settings]
        if with_user_ini:
            lines += user_ini()
        settings = [arg for line in lines for arg in ("-d", line)]
        for attempt in range(5):
            self.port = free_port()
            self.log = open(self.log_path, "ab")
            self.proc = start([php, "-n", *settings, "-S", "127.0.0.1:%d" % self.port, "-t", self.docroot],
                              stdin=subprocess.DEVNULL, stdout=self.log, stderr=self.log, env=env, **popen)
            if self._listening():
                return
            self.stop()
        raise RuntimeError("php -S did not start: " + self.log_text())

    def _listening(self):
        deadline = time.monotonic() + 15
        while time.monotonic() < deadline:
            if self.proc.poll() is not None:
                return False
            try:
                socket.create_connection(("127.0.0.1", self.port), timeout=1).close()
                return True
            except OSError:
                time.sleep(0.05)
        return False

    def log_text(self):
        with open(self.log_path, "rb") as f:
            return f.read().decode("utf-8", "replace")

    def stop(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.log.close()
