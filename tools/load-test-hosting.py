#!/usr/bin/python3
"""Load a vendor's server holds: the PHP query script as web hosting runs it
(Debian's nginx with php-fpm) and the package files on vsftpd, met by many
clients at once.

    /usr/bin/python3 tools/load-test-hosting.py [--levels 50,200,500]
        [--php-children 8] [--large-mb 4] [--ramp 3] [--client-timeout 90]
        [--run-cap 280] [--keep]

Everything runs on 127.0.0.1 on free ports, started and stopped here, with
private configuration files, pid files, sockets and logs in a temporary
folder. Needs root (vsftpd changes its root for anonymous logins; php-fpm's
pool runs as root with -R).

Each simulated client does what the client does on a first installation: the
six queries with the client's User-Agent (check, caption, sw_update, new,
install, update, each on a new connection), an FTP login with the account the
sw_update answer names, a listing of the login folder, and the download of
every file the install and update answers name (several small ones, one
larger). The expected answers come from the bundled tools/update_server.py
asked once with the same catalogue, so any answer that is not those bytes
(an error page, a PHP warning, a cut answer) counts as an error, as does any
status but 200, a file shorter, longer or other than published, and a listing
that leaves a published file out.

A level starts its clients evenly over --ramp seconds; each client has
--client-timeout seconds, each level what is left of --run-cap shared over
the levels still to run. Not part of the tests' pass and fail: the exit code
is 1 when any client saw an error, 2 when the servers could not be started.
"""

import argparse
import ftplib
import glob
import hashlib
import http.client
import json
import os
import random
import re
import resource
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import local_vsftpd  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PYTHON = "/usr/bin/python3"
NGINX = "/usr/sbin/nginx"
SCRIPT_DIR = os.path.join(ROOT, "hosting", "php_scripts")
SCRIPT_PATH = "/php_scripts/qor_sw_setup_manager.php"
# What the client sends (portable/app_title.hpp: "QOR_sync_PRO/" and the
# project's version).
USER_AGENT = "QOR_sync_PRO/1.0"
FTP_USER, FTP_PASSWORD = "anonymous", "load@example.org"
MB = 1 << 20

# The client's queries in the order it sends them; caption asks for the
# language the user picked (half the clients each).
QUERIES = ["check", "caption", "sw_update", "new", "install", "update"]
FTP_KINDS = ["ftp login", "ftp listing", "ftp small file", "ftp large file"]


def say(text=""):
    print(text, flush=True)


def query_target(kind, language):
    if kind == "check":
        return SCRIPT_PATH + "?art=check&was=ab"
    if kind == "caption":
        return SCRIPT_PATH + "?art=caption&was=" + language
    return SCRIPT_PATH + "?art=" + kind


def uptime():
    with open("/proc/loadavg") as f:
        return "load average " + ", ".join(f.read().split()[:3])


# --- the published set -------------------------------------------------------

def write_package(path, size, seed):
    data = random.Random(seed).randbytes(size)
    with open(path, "wb") as f:
        f.write(data)
    return hashlib.sha256(data).hexdigest()


def publish(work, large_mb):
    """The package files (FTP login folder) and the catalogue (outside the
    web root, as the hosting notes advise). Returns (folder, catalogue folder,
    {name: (size, sha256)})."""
    packages = os.path.join(work, "published")
    catalogue_dir = os.path.join(work, "catalogue")
    os.makedirs(packages)
    os.makedirs(catalogue_dir)
    sizes = {
        "QOR_software.exe": 96 * 1024,
        "qor_core.dll": 40 * 1024,
        "logo.jpg": 12 * 1024,
        "vorlage.rtf": 3 * 1024,
        "artikel.db3": large_mb * MB,
    }
    files = {}
    for seed, (name, size) in enumerate(sizes.items()):
        files[name] = (size, write_package(os.path.join(packages, name), size, seed))
    for folder in (work, packages, catalogue_dir):
        os.chmod(folder, 0o755)
    return packages, catalogue_dir, files


def write_catalogue(catalogue_dir, ftp_port):
    captions_de = {"lab6_0": "Aktualisierung läuft", "lab6_1": "Neue Ordner", "lab6_2": "Installation",
                   "lab6_3": "Aktualisierung", "lab6_4": "Fertig – viel Erfolg", "com6_1": "Ordner anlegen",
                   "com6_2": "Installieren", "com6_3": "Aktualisieren", "com6_4": "Beenden",
                   "col_head": 12632256, "col_thead": 0, "col_list": 16777215, "col_tlist": 0}
    captions_en = {"lab6_0": "Update running", "lab6_1": "New folders", "lab6_2": "Installation",
                   "lab6_3": "Update", "lab6_4": "Done", "com6_1": "Create folders", "com6_2": "Install",
                   "com6_3": "Update", "com6_4": "Finish", "col_head": 12632256, "col_thead": 0,
                   "col_list": 16777215, "col_tlist": 0}
    catalogue = {
        "captions": {"de": captions_de, "en": captions_en},
        "settings": {"se": "127.0.0.1:%d" % ftp_port, "fo": "/", "us": FTP_USER, "pa": FTP_PASSWORD},
        "new": ["Bilder", "Vorlagen", "SQLite3"],
        "install": [
            {"id": 1, "fn": "QOR_software.exe", "ve": "2.4.1.0", "pa": "", "ar": "exe", "ja": 2026, "st": 0},
            {"id": 2, "fn": "artikel.db3", "ve": "01.12.2026 08:00:00", "pa": "SQLite3", "ar": "db3",
             "ja": 2026, "st": 10},
        ],
        "update": [
            {"id": 3, "fn": "qor_core.dll", "ve": "2.4.1.0", "pa": "", "ar": "dll", "ja": 2026, "st": 0},
            {"id": 4, "fn": "logo.jpg", "ve": "02.12.2026 09:30:00", "pa": "Bilder", "ar": "jpg", "ja": 2026,
             "st": 0},
            {"id": 5, "fn": "vorlage.rtf", "ve": "03.12.2026 10:15:00", "pa": "Vorlagen", "ar": "rtf",
             "ja": 2026, "st": 0},
        ],
        "mainprogram": "QOR_software.exe",
        "updaprogram": "QOR_sync.exe",
    }
    with open(os.path.join(catalogue_dir, "catalogue.json"), "w", encoding="utf-8") as f:
        json.dump(catalogue, f, ensure_ascii=False, indent=1)


def ask(port, target, timeout):
    """One query as the client sends it, on a connection of its own."""
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=timeout)
    try:
        connection.putrequest("GET", target, skip_accept_encoding=True)
        connection.putheader("User-Agent", USER_AGENT)
        connection.putheader("Accept", "*/*")
        connection.endheaders()
        answer = connection.getresponse()
        return answer.status, answer.read()
    finally:
        connection.close()


def reference_answers(work, catalogue_dir):
    """Every answer as the bundled update server gives it for this catalogue."""
    log_path = os.path.join(work, "update_server.log")
    with open(log_path, "w+b") as log:
        server = subprocess.Popen([PYTHON, os.path.join(ROOT, "tools", "update_server.py"), "--root", catalogue_dir,
                                   "--no-ftp"], stdout=log, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
        try:
            port = None
            deadline = time.monotonic() + 20
            while port is None and time.monotonic() < deadline and server.poll() is None:
                with open(log_path, "rb") as f:
                    found = re.search(rb"LISTENING http (\d+)", f.read())
                port = int(found.group(1)) if found else time.sleep(0.05)
            if port is None:
                raise RuntimeError("tools/update_server.py did not start")
            expected = {}
            for kind in QUERIES:
                for language in ("de", "en") if kind == "caption" else ("de",):
                    target = query_target(kind, language)
                    status, body = ask(port, target, 10)
                    if status != 200 or not body:
                        raise RuntimeError(f"tools/update_server.py answered {status} to {target}")
                    expected[target] = body
            return expected
        finally:
            server.terminate()
            server.wait(timeout=10)


# --- the servers -------------------------------------------------------------

class Daemon:
    """A server process in the foreground, stopped by stop()."""

    def __init__(self, name, argv, log_path):
        self.name = name
        self.log = open(log_path, "w+b")
        self.process = subprocess.Popen(argv, stdout=self.log, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)

    def text(self):
        self.log.flush()
        with open(self.log.name, "rb") as f:
            return f.read().decode("utf-8", "replace")

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(timeout=15)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.log.close()


def find_php_fpm():
    found = sorted(glob.glob("/usr/sbin/php-fpm*"))
    return found[-1] if found else None


def start_php_fpm(php_fpm, work, children):
    socket_path = os.path.join(work, "php-fpm.sock")
    config = os.path.join(work, "php-fpm.conf")
    lines = [
        "[global]",
        f"pid = {work}/php-fpm.pid",
        f"error_log = {work}/php-fpm.log",
        "daemonize = no",
        "[qor]",
        f"listen = {socket_path}",
        # nginx's workers run as another user than the pool.
        "listen.mode = 0666",
        "listen.backlog = 4096",
        # A host's fixed share of workers; the rest wait in the backlog.
        "pm = static",
        f"pm.max_children = {children}",
        "clear_env = yes",
        f"php_admin_value[error_log] = {work}/php-errors.log",
        "php_admin_flag[log_errors] = on",
    ]
    argv = [php_fpm, "-F", "-y", config, "-p", work]
    if os.geteuid() == 0:
        lines[5:5] = ["user = root", "group = root"]
        argv.append("-R")
    with open(config, "w") as f:
        f.write("\n".join(lines) + "\n")
    daemon = Daemon("php-fpm", argv, os.path.join(work, "php-fpm.out"))
    deadline = time.monotonic() + 15
    while not os.path.exists(socket_path):
        if daemon.process.poll() is not None or time.monotonic() > deadline:
            daemon.stop()
            raise RuntimeError("php-fpm did not start:\n" + daemon.text())
        time.sleep(0.05)
    return daemon


def start_nginx(work, docroot, catalogue_dir):
    temp = os.path.join(work, "nginx-temp")
    os.makedirs(temp)
    os.chmod(temp, 0o777)
    config = os.path.join(work, "nginx.conf")
    port = local_vsftpd.free_port()
    with open(config, "w") as f:
        f.write(f"""
daemon off;
master_process on;
worker_processes 2;
worker_rlimit_nofile 8192;
pid {work}/nginx.pid;
error_log {work}/nginx-error.log warn;
events {{ worker_connections 4096; }}
http {{
    access_log off;
    client_body_temp_path {temp}/body;
    proxy_temp_path {temp}/proxy;
    fastcgi_temp_path {temp}/fastcgi;
    uwsgi_temp_path {temp}/uwsgi;
    scgi_temp_path {temp}/scgi;
    server {{
        listen 127.0.0.1:{port} backlog=4096;
        server_name _;
        root {docroot};
        location = {SCRIPT_PATH} {{
            include /etc/nginx/fastcgi_params;
            fastcgi_param SCRIPT_FILENAME $document_root$fastcgi_script_name;
            fastcgi_param QOR_CATALOGUE_DIR {catalogue_dir};
            fastcgi_pass unix:{work}/php-fpm.sock;
        }}
        location ~ \\.php$ {{ return 404; }}
    }}
}}
""")
    daemon = Daemon("nginx", [NGINX, "-p", work + "/", "-c", config, "-e", f"{work}/nginx-error.log"],
                    os.path.join(work, "nginx.out"))
    deadline = time.monotonic() + 15
    while True:
        try:
            ask(port, query_target("check", "de"), 5)
            return daemon, port
        except OSError:
            if daemon.process.poll() is not None or time.monotonic() > deadline:
                daemon.stop()
                raise RuntimeError("nginx did not start:\n" + daemon.text())
            time.sleep(0.05)


# --- one simulated client ----------------------------------------------------

class Level:
    """The figures of one level, filled by its clients' threads."""

    def __init__(self, clients):
        self.clients = clients
        self.lock = threading.Lock()
        self.times = {kind: [] for kind in QUERIES + FTP_KINDS}
        self.errors = {}  # kind -> {reason: count}
        self.bytes = 0
        self.finished = 0
        self.running = 0
        self.peak = 0
        self.stop = threading.Event()
        self.first = None
        self.last = None

    def took(self, kind, seconds):
        with self.lock:
            self.times[kind].append(seconds)

    def failed(self, kind, reason):
        with self.lock:
            reasons = self.errors.setdefault(kind, {})
            reasons[reason] = reasons.get(reason, 0) + 1

    def enter(self):
        with self.lock:
            self.running += 1
            self.peak = max(self.peak, self.running)

    def leave(self, completed):
        with self.lock:
            self.running -= 1
            self.finished += completed
            self.last = time.monotonic()


class ClientFailed(Exception):
    pass


def reason_of(error):
    text = str(error) or type(error).__name__
    return re.sub(r"\d{4,}", "N", text)[:80]


def run_client(index, level, http_port, expected, files, deadline):
    language = "de" if index % 2 == 0 else "en"

    def remaining():
        left = deadline - time.monotonic()
        if left <= 0 or level.stop.is_set():
            raise ClientFailed("not finished in time")
        return min(left, 30.0)

    def query(kind):
        target = query_target(kind, language)
        started = time.monotonic()
        try:
            status, body = ask(http_port, target, remaining())
        except ClientFailed:
            raise
        except (OSError, http.client.HTTPException) as error:
            level.failed(kind, reason_of(error))
            raise ClientFailed(kind)
        level.took(kind, time.monotonic() - started)
        if status != 200:
            level.failed(kind, f"status {status}")
            raise ClientFailed(kind)
        if body != expected[target]:
            level.failed(kind, f"answer not the published one ({len(body)} bytes, {len(expected[target])} expected)")
            raise ClientFailed(kind)
        return body.decode("utf-8")

    level.enter()
    ftp = None
    kind = "check"
    completed = 0
    try:
        for kind in QUERIES[:3]:
            answer = query(kind)
        settings = dict(field.split("=", 1) for field in answer.strip().split("|"))
        host, _, port = settings["se"].partition(":")
        kind = "ftp login"
        started = time.monotonic()
        ftp = ftplib.FTP(timeout=remaining())
        ftp.connect(host, int(port or 21))
        ftp.login(settings["us"], settings["pa"])
        level.took(kind, time.monotonic() - started)
        kind = "ftp listing"
        started = time.monotonic()
        ftp.sock.settimeout(remaining())
        listing = []
        ftp.retrlines("LIST", listing.append)
        level.took(kind, time.monotonic() - started)
        listed = {line.split()[-1] for line in listing if line.split()}
        if not set(files) <= listed:
            level.failed(kind, "listing leaves published files out")
            raise ClientFailed(kind)
        names = []
        for kind in QUERIES[3:]:
            answer = query(kind)
            names += re.findall(r"(?:^|\|)fn=([^|]*)", answer)
        if sorted(names) != sorted(files):
            level.failed(kind, "records name other files than published")
            raise ClientFailed(kind)
        for name in names:
            size, digest = files[name]
            kind = "ftp large file" if size >= MB else "ftp small file"
            started = time.monotonic()
            ftp.sock.settimeout(remaining())
            ftp.voidcmd("TYPE I")
            announced = ftp.size(name)
            data = ftp.transfercmd("RETR " + name)
            received = 0
            sha = hashlib.sha256()
            try:
                data.settimeout(remaining())
                while True:
                    block = data.recv(256 * 1024)
                    if not block:
                        break
                    received += len(block)
                    sha.update(block)
                    if received > size:
                        break
            finally:
                data.close()
            ftp.sock.settimeout(remaining())
            ftp.voidresp()
            level.took(kind, time.monotonic() - started)
            with level.lock:
                level.bytes += received
            if announced != size:
                level.failed(kind, f"SIZE announced {announced}, file has {size}")
                raise ClientFailed(kind)
            if received != size:
                level.failed(kind, "short file" if received < size else "longer file")
                raise ClientFailed(kind)
            if sha.hexdigest() != digest:
                level.failed(kind, "bytes differ from the published file")
                raise ClientFailed(kind)
        ftp.quit()
        ftp = None
        completed = 1
    except ClientFailed as error:
        if str(error) == "not finished in time":
            level.failed(kind, "not finished in time")
    except (OSError, EOFError, ftplib.Error, ValueError, KeyError) as error:
        level.failed(kind, reason_of(error))
    finally:
        if ftp is not None:
            ftp.close()
        level.leave(completed)


# --- a level -----------------------------------------------------------------

def run_level(clients, http_port, expected, files, ramp, client_timeout, cap):
    level = Level(clients)
    threads = []
    level.first = time.monotonic()
    end = level.first + cap
    for index in range(clients):
        start_at = level.first + ramp * index / clients
        delay = start_at - time.monotonic()
        if delay > 0:
            time.sleep(delay)
        deadline = min(time.monotonic() + client_timeout, end)
        thread = threading.Thread(target=run_client, args=(index, level, http_port, expected, files, deadline),
                                  daemon=True)
        thread.start()
        threads.append(thread)
    for thread in threads:
        thread.join(max(0.0, end - time.monotonic()))
    # Past the cap every client gives up at its next step; its sockets'
    # timeouts (at most 30 s) bound the step it is in.
    level.stop.set()
    grace_end = time.monotonic() + 35
    for thread in threads:
        thread.join(max(0.0, grace_end - time.monotonic()))
    stuck = sum(thread.is_alive() for thread in threads)
    if stuck:
        level.failed("all", f"{stuck} client threads still running after the cap")
    return level


def percentile(values, share):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(round(share * (len(ordered) - 1))))]


def ms(seconds):
    return f"{seconds * 1000:.0f}"


def report(level, load_before, load_after):
    wall = (level.last or time.monotonic()) - level.first
    answered = sum(len(level.times[kind]) for kind in QUERIES)
    files = len(level.times["ftp small file"]) + len(level.times["ftp large file"])
    error_count = sum(sum(reasons.values()) for reasons in level.errors.values())
    say(f"### {level.clients} clients")
    say()
    say(f"- clients completed: {level.finished} of {level.clients} in {wall:.1f} s; "
        f"at most {level.peak} at once; errors: {error_count}")
    say(f"- queries answered: {answered}, {answered / wall:.0f} per second")
    say(f"- FTP: {len(level.times['ftp login'])} logins ({len(level.times['ftp login']) / wall:.1f}/s), "
        f"{len(level.times['ftp listing'])} listings, {files} files ({files / wall:.0f}/s), "
        f"{level.bytes / MB:.0f} MiB ({level.bytes / MB / wall:.0f} MiB/s)")
    say(f"- {load_before} before, {load_after} after")
    say()
    say("| kind | count | p50 ms | p95 ms | max ms | errors |")
    say("|---|---:|---:|---:|---:|---|")
    for kind in QUERIES + FTP_KINDS + ["all"]:
        values = level.times.get(kind, [])
        reasons = level.errors.get(kind, {})
        if not values and not reasons:
            continue
        errors = "; ".join(f"{count}× {reason}" for reason, count in sorted(reasons.items())) or "0"
        if values:
            say(f"| {kind} | {len(values)} | {ms(percentile(values, 0.5))} | {ms(percentile(values, 0.95))} | "
                f"{ms(max(values))} | {errors} |")
        else:
            say(f"| {kind} | 0 | | | | {errors} |")
    say()
    return error_count


def version_of(package):
    try:
        return subprocess.run(["dpkg-query", "-W", "-f", "${Version}", package], capture_output=True, text=True,
                              timeout=30).stdout.strip() or "?"
    except (OSError, subprocess.SubprocessError):
        return "?"


def stop_on_signal(signum, frame):
    raise KeyboardInterrupt()


def main():
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("--levels", default="50,200,500", help="clients at once, per level (default 50,200,500)")
    p.add_argument("--php-children", type=int, default=8, help="php-fpm workers (default 8)")
    p.add_argument("--large-mb", type=int, default=4, help="size of the larger package file in MiB (default 4)")
    p.add_argument("--ramp", type=float, default=1.0, help="seconds over which a level's clients start (default 1)")
    p.add_argument("--client-timeout", type=float, default=90.0, help="seconds one client may take (default 90)")
    p.add_argument("--run-cap", type=float, default=280.0, help="seconds all levels may take (default 280)")
    p.add_argument("--keep", action="store_true", help="keep the temporary folder (configurations and logs)")
    args = p.parse_args()
    levels = [int(n) for n in args.levels.split(",") if n]

    php_fpm = find_php_fpm()
    missing = [name for name, path in (("nginx", NGINX), ("php-fpm", php_fpm), ("vsftpd", local_vsftpd.VSFTPD))
               if not path or not os.access(path, os.X_OK)]
    if missing:
        sys.exit("missing: " + ", ".join(missing) + " (tools/install-deps.sh installs them)")
    if os.geteuid() != 0:
        sys.exit("needs root (vsftpd changes its root for anonymous logins)")
    # Every client holds up to three sockets, vsftpd's sessions one process each.
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    resource.setrlimit(resource.RLIMIT_NOFILE, (hard, hard))
    threading.stack_size(512 * 1024)
    # A SIGTERM stops the servers as Ctrl-C does.
    signal.signal(signal.SIGTERM, stop_on_signal)

    work = tempfile.mkdtemp(prefix="qor-load-")
    daemons = []
    errors = 0
    try:
        packages, catalogue_dir, files = publish(work, args.large_mb)
        docroot = os.path.join(work, "docroot")
        os.makedirs(os.path.join(docroot, "php_scripts"))
        for name in ("qor_sw_setup_manager.php", ".user.ini"):
            shutil.copy(os.path.join(SCRIPT_DIR, name), os.path.join(docroot, "php_scripts"))
        ftp_log = open(os.path.join(work, "vsftpd.out"), "w+b")
        vsftpd = local_vsftpd.Vsftpd(packages, work, ftp_log, passive_ports=1000,
                                     extra=[f"max_clients={max(levels) + 50}", "max_per_ip=0",
                                            "accept_timeout=30", "data_connection_timeout=60"])
        daemons.append(vsftpd)
        write_catalogue(catalogue_dir, vsftpd.port)
        expected = reference_answers(work, catalogue_dir)
        daemons.append(start_php_fpm(php_fpm, work, args.php_children))
        nginx, http_port = start_nginx(work, docroot, catalogue_dir)
        daemons.append(nginx)
    except (OSError, RuntimeError, http.client.HTTPException, subprocess.SubprocessError) as error:
        for daemon in reversed(daemons):
            daemon.stop()
        say(f"the servers did not start: {error}")
        say(f"(their files are kept in {work})")
        sys.exit(2)

    try:
        say("## Measured")
        say()
        say("- command: `" + " ".join(["/usr/bin/python3 tools/load-test-hosting.py", *sys.argv[1:]]) + "`")
        say(f"- nginx {version_of('nginx')} (2 workers), {os.path.basename(php_fpm)} {version_of('php8.2-fpm')} "
            f"(static pool of {args.php_children}, as root with -R), vsftpd {version_of('vsftpd')} "
            "(anonymous, read-only), all on 127.0.0.1; the simulated clients in one Python process beside them")
        say(f"- machine: {os.cpu_count()} cores, shared with other work; {uptime()} at the start")
        say(f"- per client: the six queries (User-Agent `{USER_AGENT}`, a new connection each), an FTP login, a "
            f"listing, {len(files)} files: " + ", ".join(f"{name} {size // 1024} KiB" for name, (size, _) in files.items()))
        say(f"- clients of a level start evenly over {args.ramp:g} s; {args.client_timeout:g} s per client; "
            f"{args.run_cap:g} s for the whole run")
        say()
        run_start = time.monotonic()
        for number, clients in enumerate(levels):
            left = args.run_cap - (time.monotonic() - run_start)
            cap = max(10.0, left / (len(levels) - number))
            before = uptime()
            level = run_level(clients, http_port, expected, files, args.ramp, args.client_timeout, cap)
            errors += report(level, before, uptime())
            time.sleep(2)  # vsftpd's sessions end, php-fpm's queue drains
        for name, path in (("PHP", "php-errors.log"), ("nginx", "nginx-error.log")):
            full = os.path.join(work, path)
            lines = open(full, errors="replace").read().splitlines() if os.path.exists(full) else []
            say(f"- {name} error log: {len(lines)} lines" + (f", first: {lines[0][:160]}" if lines else ""))
        say(f"- whole run: {time.monotonic() - run_start:.0f} s; {uptime()} at the end")
    except KeyboardInterrupt:
        say("stopped")
        errors += 1
    finally:
        for daemon in reversed(daemons):
            daemon.stop()
        ftp_log.close()
        if args.keep:
            say(f"(configurations and logs kept in {work})")
        else:
            shutil.rmtree(work, ignore_errors=True)
    sys.exit(1 if errors else 0)


if __name__ == "__main__":
    main()
