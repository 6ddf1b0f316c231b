#!/usr/bin/python3
"""Whole runs of the real client without its window (--unattended, --check),
as a scheduled task starts it: no display, no one to click, an exit code and
a log that say what happened. Against tools/update_server.py with its FTP
server, or with --php against the PHP query script under PHP's built-in
server and tools/ftp_server.py.

    unattended_test.py --client build/app/QOR_sync_PRO --artefacts DIR [--only NAME ...] [--keep]
    unattended_test.py --client build-windows/app/QOR_sync_PRO.exe --wine [--wine-dir DIR] --artefacts DIR
    unattended_test.py --client build/app/QOR_sync_PRO --php --artefacts DIR

On Linux the client runs with neither DISPLAY nor QT_QPA_PLATFORM; under
Wine with no display either. Every exit code is reached by making its cause
happen.
"""

import argparse
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "hosting"))
import e2e_checks as checks  # noqa: E402
from e2e_support import (Failure, PYTHON, TOOLS, expect, file_state, ftp_server, report_scenarios,  # noqa: E402
                         run_scenarios, sample_packages, start_xvfb, update_server, wait_for)
from processes import Processes  # noqa: E402

RUN_TIMEOUT = 180
LINE_TIME = re.compile(r"^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d ")


class Client:
    """How the program is started: natively, or under Wine."""

    def __init__(self, binary, wine=None):
        self.binary, self.wine = os.path.abspath(binary), wine
        self.name = sample_packages.WINDOWS_CLIENT if wine else sample_packages.CLIENT

    def command(self, program, args):
        path = os.path.join(program, self.name)
        return (["wine", path] if self.wine else [path]) + list(args)

    def env(self, home):
        env = dict(os.environ, HOME=home, LC_ALL="C.UTF-8", XDG_CONFIG_HOME=os.path.join(home, ".config"))
        for name in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_DESKTOP_DIR", "XDG_DATA_HOME"):
            env.pop(name, None)
        if self.wine:
            env = self.wine.env(env)
            env.pop("DISPLAY", None)
        return env

    def path_of(self, path):
        """A path as the program reads it on its command line."""
        if not self.wine:
            return path
        from wine_prefix import windows_path
        return windows_path(path)


class Scenario:
    """One scenario's folders (published set, program folder, home) and runs."""

    def __init__(self, name, client, artefacts, procs):
        self.name, self.client, self.procs = name, client, procs
        self.work = os.path.join(artefacts, "work-" + name)
        shutil.rmtree(self.work, ignore_errors=True)
        os.makedirs(self.work)
        self.published = os.path.join(self.work, "published")
        self.program = os.path.join(self.work, "program")
        self.home = os.path.join(self.work, "home")
        self.desktop = client.wine.desktop() if client.wine else os.path.join(self.home, "Desktop")
        os.makedirs(self.desktop, exist_ok=True)
        for entry in os.listdir(self.desktop):
            os.remove(os.path.join(self.desktop, entry))
        if not client.wine:
            os.makedirs(os.path.join(self.home, ".config"))
        self.runs = 0

    def start(self, *args, env=None):
        """Starts the client; returns (process, output file)."""
        self.runs += 1
        out = os.path.join(self.work, "client-%d.out" % self.runs)
        err = os.path.join(self.work, "client-%d.err" % self.runs)
        with open(out, "wb") as o, open(err, "wb") as e:
            proc = self.procs.start(self.client.command(self.program, args),
                                    env=dict(self.client.env(self.home), **(env or {})), stdout=o, stderr=e,
                                    stdin=subprocess.DEVNULL)
        proc.out_path, proc.err_path = out, err
        return proc

    def run(self, *args, env=None):
        """Runs the client to its end: (exit code, standard output, standard error)."""
        proc = self.start(*args, env=env)
        return self.finish(proc)

    def finish(self, proc):
        try:
            code = proc.wait(timeout=RUN_TIMEOUT)
        except subprocess.TimeoutExpired:
            raise Failure("the client did not end within %d s" % RUN_TIMEOUT) from None
        with open(proc.out_path, encoding="utf-8", errors="replace") as o, \
                open(proc.err_path, encoding="utf-8", errors="replace") as e:
            return code, o.read().replace("\r\n", "\n"), e.read().replace("\r\n", "\n")

    def keep_artefacts(self):
        print("  artefacts kept in %s" % self.work)

    def discard_artefacts(self):
        shutil.rmtree(self.work, ignore_errors=True)


def server_args(port):
    return ["--update-server", "127.0.0.1:%d" % port]


def expect_code(result, want, what):
    code, out, err = result
    expect(code == want, "%s: exit code %s, expected %d\n--- output:\n%s--- errors:\n%s" % (what, code, want, out, err))


def lines_starting(out, prefix):
    return [line[len(prefix):] for line in out.splitlines() if line.startswith(prefix)]


def retrieved(server, since=0):
    return [line for line in server.log(since) if line.startswith("RETR")]


def expect_unchanged(before, after, what):
    changed = sorted(p for p in set(before[0]) | set(after[0]) if before[0].get(p) != after[0].get(p))
    expect(not changed and before[1] == after[1], "%s changed the program folder: files %s, folders %s"
           % (what, changed, sorted(before[1] ^ after[1])))


def main_app_starts(sc):
    path = os.path.join(sc.program, checks.MAIN_APP_NOTE)
    if not os.path.exists(path):
        return 0
    with open(path, encoding="utf-8", errors="replace") as f:
        return f.read().count("started")


def check_full_run(sc, result, log_path):
    """Exit 0, every package in place with its bytes and stamp, one line
    per file, the same lines with their times in the log."""
    expect_code(result, 0, "the first unattended run")
    _, out, _ = result
    records = checks.records(sc.published)
    fetched = lines_starting(out, "fetched: ")
    # The user's database already there stays: it is not fetched.
    wanted = [r for r in records if r["fn"] not in checks.USER_DATABASES]
    expect(len(fetched) == len(wanted), "%d fetched lines for %d files:\n%s" % (len(fetched), len(wanted), out))
    stamped = lines_starting(out, "stamped: ")
    expect(len(stamped) == len([r for r in wanted if checks.is_date_stamped(r)]), "stamped lines:\n" + out)
    for step in ("check: ", "settings: ", "ftp: connected", "folders: ", "folder made: ", "install: ", "update: ",
                 "finish: done", "result: exit 0"):
        expect(any(line.startswith(step) for line in out.splitlines()), "no line %r in:\n%s" % (step, out))
    with open(log_path, encoding="utf-8") as f:
        logged = f.read().replace("\r\n", "\n").splitlines()
    expect(all(LINE_TIME.match(line) for line in logged), "log lines without their time:\n" + "\n".join(logged))
    expect([LINE_TIME.sub("", line) for line in logged] == out.splitlines(),
           "the log does not hold the run's lines:\n" + "\n".join(logged))


def full_run(sc):
    """A first run installs and updates everything, writes the shortcut and
    starts the main application; a second finds nothing due; a third with
    --no-start --no-shortcut starts nothing and writes no shortcut."""
    server = update_server(sc.procs, sc.published)
    port = server.ports["http"]
    before = file_state(sc.program)[0]
    log_path = os.path.join(sc.work, "run.log")
    result = sc.run("--unattended", "--language", "de", "--log", sc.client.path_of(log_path), *server_args(port))
    check_full_run(sc, result, log_path)
    after, folders = file_state(sc.program)
    for folder in checks.catalogue(sc.published)["new"]:
        expect(folder in folders, "the package folder %s was not made" % folder)
    checks.check_installed(sc.published, before, after)
    expected = set(before) | {checks.place(r) for r in checks.records(sc.published)} | {checks.MAIN_APP_NOTE}
    wait_for(lambda: main_app_starts(sc) == 1, 60, "the main application's start")
    after = file_state(sc.program)[0]
    expect(set(after) == expected, "unexpected files in the program folder: %s" % sorted(set(after) ^ expected))
    expect(os.listdir(sc.desktop), "no shortcut on the desktop")
    print("  first run: exit 0, %d files in place and stamped, shortcut, main application started"
          % len(checks.records(sc.published)), flush=True)

    mark = len(server.lines)
    state = file_state(sc.program)
    result = sc.run("--unattended", "--language", "en", "--log", sc.client.path_of(log_path), *server_args(port))
    expect_code(result, 0, "the second run")
    expect(not retrieved(server, mark), "the second run fetched %s" % retrieved(server, mark))
    expect(not lines_starting(result[1], "fetched: "), "the second run tells of fetched files:\n" + result[1])
    wait_for(lambda: main_app_starts(sc) == 2, 60, "the main application's second start")
    after = file_state(sc.program)
    after[0][checks.MAIN_APP_NOTE] = state[0][checks.MAIN_APP_NOTE]  # the application notes its start there
    expect_unchanged(state, after, "the second run")
    with open(log_path, encoding="utf-8") as f:
        expect(f.read().count("result: exit 0") == 2, "the log was not appended to")
    print("  second run: exit 0, nothing fetched, nothing changed", flush=True)

    for entry in os.listdir(sc.desktop):
        os.remove(os.path.join(sc.desktop, entry))
    result = sc.run("--unattended", "--language", "de", "--no-start", "--no-shortcut", *server_args(port))
    expect_code(result, 0, "a run with --no-start --no-shortcut")
    time.sleep(1)
    expect(main_app_starts(sc) == 2, "--no-start started the main application")
    expect(not os.listdir(sc.desktop), "--no-shortcut wrote %s" % os.listdir(sc.desktop))
    expect(lines_starting(result[1], "shortcut: left out") and lines_starting(result[1], "start: left out"),
           "the run does not tell what it left out:\n" + result[1])
    print("  third run: --no-start --no-shortcut left both out", flush=True)


def check_changes_nothing(sc):
    """--check on the older folder: exit 10 and what is due, the folder
    byte for byte and time for time as before, nothing fetched; after a
    real run, exit 0."""
    server = update_server(sc.procs, sc.published)
    port = server.ports["http"]
    # What a killed download left: a real run clears it, a check must not.
    with open(os.path.join(sc.program, "Daten", ".qor-download-k1ll3d"), "wb") as f:
        f.write(b"half a file")
    before = file_state(sc.program)
    result = sc.run("--check", *server_args(port))
    expect_code(result, 10, "--check with files due")
    out = result[1]
    missing = [f for f in checks.catalogue(sc.published)["new"] if not os.path.isdir(os.path.join(sc.program, f))]
    expect(missing and sorted(lines_starting(out, "due folder: ")) == sorted(missing), "due folders told:\n" + out)
    due = lines_starting(out, "due for install: ") + lines_starting(out, "due for update: ")
    for name in ("qor_helper.exe", "qor_tools.dll", "liesmich.txt", "qor_base.db3"):
        expect(any(line.endswith(name) for line in due), "%s is not told as due:\n%s" % (name, out))
    expect(not any(line.endswith("qor_buch.db3") for line in due), "the user's database told as due:\n" + out)
    expect_unchanged(before, file_state(sc.program), "--check")
    expect(not retrieved(server), "--check fetched %s" % retrieved(server))
    expect(not os.listdir(sc.desktop), "--check wrote %s on the desktop" % os.listdir(sc.desktop))
    expect(main_app_starts(sc) == 0, "--check started the main application")

    expect_code(sc.run("--unattended", "--language", "de", "--no-start", *server_args(port)), 0, "the real run")
    result = sc.run("--check", *server_args(port))
    expect_code(result, 0, "--check after the run")
    expect(not lines_starting(result[1], "due "), "due after the run:\n" + result[1])
    print("  exit 10 and the due files, folder unchanged; 0 after a real run", flush=True)


def bad_command_line(sc):
    """Exit 2, the reason on standard error, nothing touched, no box."""
    before = file_state(sc.program)
    for args, reason in ((["--unattended"], "--language"), (["--unattended", "--language", "fr"], "fr"),
                         (["--check", "--bogus"], "--bogus"),
                         (["--check", "--update-server", "host/path"], "host/path"),
                         (["--unattended", "--language", "de", "--log",
                           sc.client.path_of(os.path.join(sc.work, "no-such-folder", "run.log"))], "run.log")):
        code, out, err = sc.run(*args)
        expect(code == 2, "%s: exit code %s, expected 2" % (args, code))
        expect(reason in err, "%s: the reason %r is not on standard error: %r" % (args, reason, err))
    expect_unchanged(before, file_state(sc.program), "a refused command line")
    print("  exit 2 for five refused command lines, nothing changed", flush=True)


def server_unreachable(sc):
    """Nothing listens: exit 3 before anything changes. A server that fails
    the install list's query: exit 3, and the run stops there."""
    with socket_port() as port:
        before = file_state(sc.program)
        result = sc.run("--unattended", "--language", "de", *server_args(port))
    expect_code(result, 3, "no update server")
    expect(lines_starting(result[1], "check: the update server"), "no line on the server:\n" + result[1])
    expect_unchanged(before, file_state(sc.program), "a run without a server")

    server = update_server(sc.procs, sc.published, "--fail", "install=status:500")
    result = sc.run("--unattended", "--language", "de", "--no-start", *server_args(server.ports["http"]))
    expect_code(result, 3, "a failed install query")
    expect("art=install" in result[1], "the failed query is not named:\n" + result[1])
    expect(not retrieved(server), "a run whose install list failed fetched files")
    print("  exit 3 without a server and on a failed query", flush=True)


class socket_port:
    """A port nothing listens on for the duration."""

    def __enter__(self):
        import socket
        s = socket.socket()
        s.bind(("127.0.0.1", 0))
        self.port = s.getsockname()[1]
        s.close()
        return self.port

    def __exit__(self, *exc):
        return False


def ftp_refused(sc):
    """The FTP login is refused: exit 4, files not fetched, the old ones whole."""
    server = update_server(sc.procs, sc.published, "--ftp-fault", "refuse_login")
    before = file_state(sc.program)[0]
    result = sc.run("--unattended", "--language", "de", "--no-start", *server_args(server.ports["http"]))
    expect_code(result, 4, "a refused FTP login")
    expect(lines_starting(result[1], "ftp: the connection"), "no line on the FTP connection:\n" + result[1])
    checks.check_nothing_damaged(sc.published, before, file_state(sc.program)[0])
    print("  exit 4, nothing damaged", flush=True)


def files_fail(sc):
    """Every transfer broken off after 7 bytes: exit 5, a failed line with
    its reason per file, folders made, no file damaged, no box waited on."""
    server = update_server(sc.procs, sc.published, "--ftp-fault", "abort_after=7")
    before = file_state(sc.program)[0]
    result = sc.run("--unattended", "--language", "de", "--no-start", *server_args(server.ports["http"]))
    expect_code(result, 5, "broken transfers")
    failed = lines_starting(result[1], "failed: ")
    expect(len(failed) >= 4, "failed lines:\n" + result[1])
    expect(all(re.match(r"[^:]+: .+", line) for line in failed), "a failed line without its reason:\n" + result[1])
    after, folders = file_state(sc.program)
    for folder in checks.catalogue(sc.published)["new"]:
        expect(folder in folders, "the package folder %s was not made" % folder)
    checks.check_nothing_damaged(sc.published, before, after)
    print("  exit 5, %d failed lines with reasons, folders made, nothing damaged" % len(failed), flush=True)


def second_instance(sc):
    """While a run waits on a slow server, a second unattended run and a
    second window in the same folder are refused with exit 7; the first run
    goes on undisturbed and installs everything. A run in another folder is
    not refused."""
    server = update_server(sc.procs, sc.published, "--fail", "install=delay:8@1")
    port = server.ports["http"]
    before = file_state(sc.program)[0]
    first = sc.start("--unattended", "--language", "de", "--no-start", *server_args(port))
    wait_for(lambda: any("art=install" in line for line in server.lines), 60, "the first run's install query")

    result = sc.run("--unattended", "--language", "en", "--no-start", *server_args(port))
    expect_code(result, 7, "a second unattended run")
    expect("already running" in result[1], "no line saying why:\n" + result[1])
    result = sc.run("--check", *server_args(port))
    expect_code(result, 7, "a --check meanwhile")
    if not sc.client.wine:
        window_refused(sc, port)
        # Started where there is no display (a cron line without
        # --unattended): the reason on standard error and 7, not a crash.
        code, _, err = sc.run(*server_args(port))
        expect(code == 7 and "already running" in err, "the window without a display: %s %r" % (code, err))
    expect(first.poll() is None, "the first run ended while the second ones were refused")

    other = os.path.join(sc.work, "other")
    shutil.copytree(sc.program, other, symlinks=True)
    code = subprocess.run(sc.client.command(other, ["--check"] + server_args(port)), env=sc.client.env(sc.home),
                          capture_output=True, timeout=RUN_TIMEOUT).returncode
    expect(code == 10, "a check in another folder: exit code %d, expected 10" % code)

    expect_code(sc.finish(first), 0, "the first run")
    checks.check_installed(sc.published, before, file_state(sc.program)[0])
    print("  a second run, a check%s refused with 7; the first ends 0, everything installed"
          % ("" if sc.client.wine else " and a window"), flush=True)


def window_refused(sc, port):
    """The window, started while the run works: a box that says so, exit 7
    once it is closed, and the reason on standard error."""
    import scripted_user as su
    procs = Processes()
    try:
        display = start_xvfb(procs)
        env = dict(sc.client.env(sc.home), DISPLAY=display, QT_QPA_PLATFORM="xcb")
        desktop = su.Desktop(env)
        with open(os.path.join(sc.work, "window.err"), "wb") as err:
            window = procs.start(sc.client.command(sc.program, server_args(port)), env=env,
                                 stdout=subprocess.DEVNULL, stderr=err)
        boxes = wait_for(lambda: desktop.windows("^QOR_sync_PRO$"), 30, "the box of the refused window")
        wait_for(lambda: not desktop.windows("^QOR synchro center$"), 1, "no window beside the box")
        desktop.run("xdotool", "windowfocus", "--sync", boxes[0], check=False)
        desktop.run("xdotool", "key", "--clearmodifiers", "Return", check=False)
        code = window.wait(timeout=30)
        expect(code == 7, "the refused window ended with %d, expected 7" % code)
        with open(os.path.join(sc.work, "window.err"), encoding="utf-8") as f:
            expect("already running" in f.read(), "the refused window says nothing on standard error")
    finally:
        procs.stop_all()


def php_hosting(sc):
    """The whole unattended run against the PHP query script."""
    from php_host import PhpHost
    settings = checks.catalogue(sc.published)["settings"]
    ftp = ftp_server(sc.procs, sc.published, settings["us"], settings["pa"])
    checks.set_ftp_server(sc.published, "127.0.0.1:%d" % ftp.ports["ftp"])
    host = PhpHost(PHP, sc.work, catalogue_dir=sc.published, start=sc.procs.start)
    before = file_state(sc.program)
    result = sc.run("--check", *server_args(host.port))
    expect_code(result, 10, "--check against PHP")
    expect_unchanged(before, file_state(sc.program), "--check against PHP")
    log_path = os.path.join(sc.work, "run.log")
    result = sc.run("--unattended", "--language", "de", "--log", log_path, *server_args(host.port))
    check_full_run(sc, result, log_path)
    checks.check_installed(sc.published, before[0], file_state(sc.program)[0])
    expect_code(sc.run("--check", *server_args(host.port)), 0, "--check after the run against PHP")
    log = host.log_text()
    expect(" [500]: " not in log and " [404]: " not in log, "the PHP script refused a query:\n" + log)
    print("  --check 10, a whole run 0, --check 0 against the PHP script", flush=True)


def release_refused(sc):
    """The client built with the tests' release key, against a server that
    signs nothing: exit 6, the refusal on standard error, nothing fetched,
    nothing in the folder changed, and the main application not started (no
    release was ever accepted here)."""
    server = update_server(sc.procs, sc.published)
    before = file_state(sc.program)
    result = sc.run("--unattended", "--language", "en", *server_args(server.ports["http"]))
    expect_code(result, 6, "a release nobody signed")
    expect("signed release" in result[2], "the refusal's reason is not on standard error:\n" + result[2])
    expect(lines_starting(result[1], "message: "), "the refusal's message is no line:\n" + result[1])
    expect(not retrieved(server), "a refused release fetched %s" % retrieved(server))
    expect_unchanged(before, file_state(sc.program), "a refused release")
    print("  exit 6, nothing fetched, nothing changed, the main application not started", flush=True)


SCENARIOS = {
    "full_run": full_run,
    "check": check_changes_nothing,
    "bad_command_line": bad_command_line,
    "server_unreachable": server_unreachable,
    "ftp_refused": ftp_refused,
    "files_fail": files_fail,
    "second_instance": second_instance,
    "release_refused": release_refused,
}
# Only for a client built with the tests' release key (--only).
KEYED = {"release_refused"}
PHP = None


def make_template(folder, client):
    published = os.path.join(folder, "published")
    windows = client.wine is not None
    sample_packages.make_published(published, folder, windows=windows,
                                   dates=sample_packages.BRITISH_DATES if windows else sample_packages.ISO_DATES)
    sample_packages.make_program_folder(os.path.join(folder, "program"), client.binary, folder, windows=windows)


def main():
    global PHP
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--client", required=True)
    parser.add_argument("--artefacts", required=True, help="the work folders of failing scenarios stay here")
    parser.add_argument("--wine", action="store_true", help="the client is the Windows program, run under Wine")
    parser.add_argument("--wine-dir", help="an existing Wine prefix folder (prefix/, home/) to run in")
    parser.add_argument("--php", action="store_true", help="run against the PHP query script (exit 77 without php)")
    parser.add_argument("--keep", action="store_true", help="keep the work folders of passing scenarios too")
    parser.add_argument("--only", nargs="*", choices=sorted(SCENARIOS), help="run only these scenarios")
    args = parser.parse_args()
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    if os.path.exists("/usr/share/zoneinfo/Europe/Berlin"):
        os.environ["TZ"] = "Europe/Berlin"
        time.tzset()
    scenarios, names = SCENARIOS, args.only or [name for name in SCENARIOS if name not in KEYED]
    if args.php:
        from php_host import SKIP, find_php
        PHP = find_php(None)
        if not PHP:
            print("SKIPPED: no php on PATH")
            return SKIP
        scenarios, names = {"php_hosting": php_hosting}, ["php_hosting"]
    artefacts = os.path.abspath(args.artefacts)
    os.makedirs(artefacts, exist_ok=True)
    wine = own_prefix = None
    if args.wine:
        sys.path.insert(0, os.path.join(TOOLS, "demo"))
        from wine_prefix import WinePrefix
        own_prefix = not (args.wine_dir and WinePrefix(args.wine_dir).exists())
        wine = WinePrefix(args.wine_dir or os.path.join(artefacts, "wine"))
    client = Client(args.client, wine)
    procs = Processes()
    template = tempfile.mkdtemp(prefix="template-", dir=artefacts)
    failed = []
    try:
        if own_prefix:
            print("making a Wine prefix in %s" % wine.dir, flush=True)
            wine.create()
        make_template(template, client)
        failed = run_scenarios(scenarios, names, lambda name, own: Scenario(name, client, artefacts, own), template,
                               args.keep)
    finally:
        if own_prefix:
            wine.stop()
        procs.stop_all()
        shutil.rmtree(template, ignore_errors=True)
        if own_prefix and not args.keep:
            shutil.rmtree(wine.dir, ignore_errors=True)
    return report_scenarios(failed, len(names))


if __name__ == "__main__":
    sys.exit(main())
