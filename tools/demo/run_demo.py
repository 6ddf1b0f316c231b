#!/usr/bin/python3
"""Shows a whole run of the client against the bundled update server.

    run_demo.py --client build/app/QOR_sync_PRO [--scripted] [--screens DIR]
                [--ftp-fault abort_after=7]
    run_demo.py --windows --client build-windows/app/QOR_sync_PRO.exe [...]
    run_demo.py --home-style --client build/app/QOR_sync_PRO [--scripted] [...]

Publishes the sample package set, starts tools/update_server.py (HTTP and
FTP on free loopback ports), lays out an older program folder in a temporary
place and starts the client there. With a display the user clicks through
the window; without one (or with --scripted) the window runs on a private
Xvfb display and a scripted user clicks through it, saving a screenshot of
every panel. Afterwards it prints what the run created, downloaded, stamped
and left alone. Everything it starts is stopped again. --ftp-fault shows
what a user sees when transfers fail (a message box for each of the first
three files of a download run, one message for the rest at its end; the
scripted user saves and closes each). --windows runs the Windows client under Wine,
in a Wine prefix made for the demo, with the British locale (its date form
is the same under Wine and on Windows); the desktop shortcut is a .lnk.
--home-style publishes the set of home_style_packages.py (the servers' own
habits: letter case, backslashes, Windows-1252, German dates, answers ending
with a line break), runs the client under an English locale, and runs it a
second time, which must fetch nothing (home_style_demo.py).
"""

import argparse
import hashlib
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import sample_packages  # noqa: E402
import scripted_user as su  # noqa: E402
from processes import Processes  # noqa: E402
from wine_prefix import WinePrefix  # noqa: E402

TOOLS = os.path.dirname(HERE)
PYTHON = "/usr/bin/python3"


def start_update_server(procs, published, extra=()):
    server = procs.start([PYTHON, os.path.join(TOOLS, "update_server.py"), "--root", published,
                          "--ftp-login-fail-delay", "0", *extra], stdout=subprocess.PIPE, text=True)
    ports = {}
    for line in server.stdout:
        words = line.split()
        if words[:1] == ["LISTENING"]:
            ports[words[1]] = int(words[2])
        if words == ["READY"]:
            break
    if "http" not in ports:
        raise RuntimeError("the update server did not start")
    return server, ports


def start_xvfb(procs):
    read_fd, write_fd = os.pipe()
    # -noreset: by default the server starts over each time its last client
    # leaves, and refuses a client that connects in that moment.
    procs.start(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset"],
                pass_fds=(write_fd,), stderr=subprocess.DEVNULL)
    os.close(write_fd)
    with os.fdopen(read_fd) as f:
        number = f.readline().strip()
    if not number:
        raise RuntimeError("Xvfb did not start")
    return ":" + number


def snapshot(folder):
    """path -> (kind, size, mtime, sha256) of everything below folder."""
    state = {}
    for root, dirs, files in os.walk(folder):
        for d in dirs:
            state[os.path.relpath(os.path.join(root, d), folder)] = ("folder", 0, 0, "")
        for f in files:
            p = os.path.join(root, f)
            with open(p, "rb") as fh:
                digest = hashlib.sha256(fh.read()).hexdigest()
            st = os.stat(p)
            state[os.path.relpath(p, folder)] = ("file", st.st_size, st.st_mtime, digest)
    return state


def version_dates(published):
    """file name -> "ve=" text of the date-versioned packages."""
    with open(os.path.join(published, "catalogue.json"), encoding="utf-8") as f:
        catalogue = json.load(f)
    return {r["fn"]: r["ve"] for r in catalogue["install"] + catalogue["update"]
            if isinstance(r, dict) and (r.get("ar") in ("dll", "jpg") or r.get("fn") == "qor_base.db3")}


def stamped_note(name, mtime, dates):
    """Says whether a date-versioned file carries its version date."""
    if name not in dates:
        return ""
    try:
        wanted = sample_packages.ve_local_seconds(dates[name])
    except ValueError:
        return "  (version %r is not a date of this locale)" % dates[name]
    return "  stamped with its version date" if abs(mtime - wanted) < 1 else "  NOT stamped with %s" % dates[name]


def report(before, after, program, desktop, published):
    stamp = lambda t: time.strftime("%Y-%m-%d %H:%M:%S", time.localtime(t))
    dates = version_dates(published)
    counts = dict.fromkeys(("created folder", "downloaded", "replaced", "left alone"), 0)
    print("\nWhat the run did in the program folder %s:" % program)
    for path in sorted(after, key=lambda p: (after[p][0] != "folder", p)):
        kind, size, mtime, digest = after[path]
        old = before.get(path)
        name = os.path.basename(path)
        if kind == "folder":
            if old is None:
                counts["created folder"] += 1
                print("  created folder  %s" % path)
            continue
        if old is None and not os.path.exists(os.path.join(published, name)):
            print("  written by the main application: %s" % path)
            continue
        what = "downloaded" if old is None else "replaced" if old[3] != digest else "left alone"
        counts[what] += 1
        note = stamped_note(name, mtime, dates) if what != "left alone" else ""
        if what == "left alone" and name.lower() in ("qor_buch.db3", "qor_data_1.db3"):
            note = "  the user's database, never replaced"
        print("  %-14s  %-24s %6d bytes  %s%s" % (what, path, size, stamp(mtime), note))
    print("In all: %d folders created, %d files downloaded, %d replaced, %d left alone"
          % tuple(counts.values()))
    entry = os.path.join(desktop, "QOR_software_PRO.desktop")
    shortcut = os.path.join(desktop, "QOR_software_PRO.lnk")
    if os.path.exists(entry):
        print("\nDesktop entry %s:" % entry)
        with open(entry) as f:
            print("  " + f.read().strip().replace("\n", "\n  "))
    elif os.path.exists(shortcut):
        print("\nDesktop shortcut %s (%d bytes)" % (shortcut, os.path.getsize(shortcut)))
    else:
        print("\nNo desktop entry was written.")
    marker = os.path.join(program, "main_app_started.txt")
    if os.path.exists(marker):
        with open(marker) as f:
            print("\nThe main application ran: " + f.read().strip())
    else:
        print("\nThe main application was not started.")


def scripted_run(display, procs, client_cmd, env, screens, colours, window_options=None, output=subprocess.DEVNULL):
    env = dict(env, DISPLAY=display)
    client = procs.start(client_cmd, env=env, stdout=output, stderr=output)
    desktop = su.Desktop(env)
    window = su.ClientWindow(desktop, colours, **(window_options or {}))
    os.makedirs(screens, exist_ok=True)
    shots = []

    def shot(name):
        path = os.path.join(screens, name)
        image = desktop.screenshot(path)
        shots.append(path)
        return image

    messages = []

    def closing_messages(condition):
        """The condition, checked only while no message box is open; a box
        that opens is saved, reported and closed with Return."""
        def check():
            for wid in desktop.message_boxes():
                name = "message-%d.png" % (len(messages) + 1)
                shot(name)
                print("  the client shows a message box (%s); pressing Return" % name)
                desktop.press(wid, "Return")
                su.wait_for(lambda: wid not in desktop.message_boxes(), 30, "the message box to close")
                messages.append(name)
                return False
            return condition()
        return check

    def panel_is(wanted):
        return closing_messages(lambda: window.panel(desktop.screenshot()) == wanted)

    pages = []
    su.wait_for(panel_is("language"), 30, "the language panel")
    pages.append("language")
    window.move(su.FLAG["de"])  # the flag lights up under the pointer
    time.sleep(0.5)
    shot("1-language.png")
    print("  the language panel is shown; clicking the German flag")
    window.click(su.FLAG["de"])

    su.wait_for(closing_messages(lambda: window.panel(desktop.screenshot()) in ("folder", "package", "finish")), 60,
                "the first page")
    if window.panel(desktop.screenshot()) == "folder":
        pages.append("folders")
        shot("2-folders.png")
        print("  the folder panel lists the missing package folders; clicking its button")
        window.click(su.PAGE_BUTTON)
        su.wait_for(closing_messages(lambda: window.panel(desktop.screenshot()) in ("package", "finish")), 60,
                    "the next page")
    if window.panel(desktop.screenshot()) == "package":
        pages.append("install")
        install_heading = window.heading(shot("3-install.png"))
        print("  the package panel lists the files to install; clicking its button")
        window.click(su.PAGE_BUTTON)
        su.wait_for(closing_messages(lambda: window.panel(desktop.screenshot()) == "finish"
                                     or window.heading(desktop.screenshot()) != install_heading), 120,
                    "the update list")
        if window.panel(desktop.screenshot()) == "package":
            time.sleep(0.3)
            pages.append("update")
            shot("4-update.png")
            print("  the package panel lists the files to update; clicking its button")
            window.click(su.PAGE_BUTTON)
    su.wait_for(panel_is("finish"), 120, "the finish panel")
    pages.append("finish")
    shot("5-finish.png")
    print("  the finish panel is shown; clicking its button")
    window.click(su.FINISH_BUTTON)
    # A main application that never arrived is told in a box, too.
    su.wait_for(closing_messages(lambda: client.poll() is not None), 30, "the client to end")
    print("  the window closed and the client ended (exit code %d)" % client.returncode)
    if messages:
        print("  %d message box(es) were shown during the run" % len(messages))
    print("\nScreenshots: " + ", ".join(shots))
    return pages


def wait_for_note(program, timeout=10):
    """Gives the started main application time to write its note; a run
    that started nothing (the main application was not installed) goes on."""
    note = os.path.join(program, "main_app_started.txt")
    deadline = time.time() + timeout
    while not os.path.exists(note) and time.time() < deadline:
        time.sleep(0.2)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--client", required=True)
    parser.add_argument("--scripted", action="store_true", help="click through on a private display")
    parser.add_argument("--screens", default=os.path.abspath("demo-screens"), help="where screenshots go")
    parser.add_argument("--keep", action="store_true", help="keep the temporary folders")
    parser.add_argument("--ftp-fault", action="append", default=[], metavar="KNOB[=VALUE]",
                        help="a fault knob of the FTP server (see docs/update-server.md)")
    parser.add_argument("--windows", action="store_true", help="the Windows client (QOR_sync_PRO.exe) under Wine")
    parser.add_argument("--home-style", action="store_true",
                        help="the package set as the servers the client was written for write it, and a second run")
    args = parser.parse_args()
    if args.home_style:
        import home_style_demo
        return home_style_demo.main(args)

    work = tempfile.mkdtemp(prefix="qor-demo-")
    published, program, home = (os.path.join(work, n) for n in ("published", "program", "home"))
    os.makedirs(os.path.join(home, "Desktop"))
    procs = Processes()
    wine = WinePrefix(os.path.join(work, "wine")) if args.windows else None
    try:
        print("Publishing the sample packages and laying out an older program folder in %s" % work)
        dates = sample_packages.BRITISH_DATES if args.windows else sample_packages.ISO_DATES
        sample_packages.make_published(published, work, args.windows, dates)
        sample_packages.make_program_folder(program, os.path.abspath(args.client), work, args.windows)
        extra = [arg for knob in args.ftp_fault for arg in ("--ftp-fault", knob)]
        _, ports = start_update_server(procs, published, extra)
        server = "127.0.0.1:%d" % ports["http"]
        print("The update server answers on http://%s, its FTP server on port %d" % (server, ports["ftp"]))
        env = dict(os.environ, HOME=home, LC_ALL="C.UTF-8", XDG_CONFIG_HOME=os.path.join(home, ".config"))
        env.pop("XDG_DESKTOP_DIR", None)
        client_cmd = [os.path.join(program, "QOR_sync_PRO"), "--update-server", server]
        desktop_folder = os.path.join(home, "Desktop")
        window_options = {}
        if wine:
            print("Making a Wine prefix for the Windows client (about 15 s)")
            wine.create()
            env = wine.env()
            client_cmd = ["wine", os.path.join(program, sample_packages.WINDOWS_CLIENT), "--update-server", server]
            desktop_folder = wine.desktop()
            window_options = {"button_face": wine.button_face(), "text_tolerance": 0.05}
        before = snapshot(program)
        if os.environ.get("DISPLAY") and not args.scripted:
            print("Starting the client: choose a language and click through its panels.")
            if wine:
                wine.serve(procs, os.environ["DISPLAY"])
            client = procs.start(client_cmd, env=env)
            client.wait()
        else:
            print("No display: running the window on a private X display with a scripted user.")
            display = start_xvfb(procs)
            if wine:
                wine.serve(procs, display)
            colours = sample_packages.COLOURS
            try:
                scripted_run(display, procs, client_cmd, env, args.screens, colours, window_options)
            except Exception:
                su.Desktop(dict(env, DISPLAY=display)).screenshot(os.path.join(args.screens, "failure.png"))
                print("The scripted run failed; the screen at that moment: %s"
                      % os.path.join(args.screens, "failure.png"))
                raise
        wait_for_note(program)
        report(before, snapshot(program), program, desktop_folder, published)
    finally:
        if wine:
            wine.stop()  # before its server's group, which would leave Wine's helpers behind
        procs.stop_all()
        if not args.keep:
            shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
