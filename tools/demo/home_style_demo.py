"""The demo against the package set of home_style_packages.py: a first run
through every panel, a report of where each of the server's names landed,
then a second run, which must go from the flag straight to the finish panel
and fetch nothing. Started by `run_demo.py --home-style`; exits 1 when a
file is missing or misplaced, the desktop entry is wrong, or the second run
fetches or changes anything."""

import os
import shutil
import tempfile
import threading

import home_style_packages as home
import run_demo as demo
import sample_packages
import scripted_user as su
from processes import Processes

NOTE = "main_app_started.txt"


def follow_log(server):
    """The update server's log lines after READY ("REQUEST", "RETR" ...),
    collected while it runs so that a long log never blocks it."""
    lines = []

    def read():
        for line in server.stdout:
            lines.append(line.rstrip("\n"))

    threading.Thread(target=read, daemon=True).start()
    return lines


def run_client(procs, client_cmd, env, display, screens, output_path):
    """One run: clicked through by the scripted user on the private display,
    or by the user on the real one. Returns the pages seen (None when the
    user clicked) and what the client wrote to standard output and error."""
    with open(output_path, "wb") as output:
        if display is None:
            print("Starting the client: choose a language and click through its panels.")
            procs.start(client_cmd, env=env, stdout=output, stderr=output).wait()
            pages = None
        else:
            try:
                pages = demo.scripted_run(display, procs, client_cmd, env, screens, sample_packages.COLOURS,
                                          output=output)
            except Exception:
                su.Desktop(dict(env, DISPLAY=display)).screenshot(os.path.join(screens, "failure.png"))
                print("The scripted run failed; the screen at that moment: %s" % os.path.join(screens, "failure.png"))
                raise
    with open(output_path, errors="replace") as f:
        return pages, f.read().strip()


def show_output(text):
    print("  the client's standard error: %s" % ("\n    " + text.replace("\n", "\n    ") if text else "nothing"))


def desktop_entry_problems(desktop, program):
    path = os.path.join(desktop, "QOR_software_PRO.desktop")
    if not os.path.isfile(path):
        return ["no desktop entry at %s" % path]
    with open(path, encoding="utf-8") as f:
        values = dict(line.split("=", 1) for line in f.read().splitlines() if "=" in line)
    want = {"Exec": '"%s"' % os.path.join(program, home.PLACES[sample_packages.MAIN_PROGRAM]), "Path": program}
    return ["desktop entry %s=%r, expected %r" % (k, values.get(k), v) for k, v in want.items() if values.get(k) != v]


def placement_report(published, program, untouched, desktop):
    installs, _ = home.package_records()
    print("\nWhere the server's names landed:")
    for r in installs:
        print("  pa=%-16s fn=%-16s -> %s" % (r["pa"], r["fn"], home.PLACES[r["fn"]]))
    print("  mainprogram=%s -> %s" % (home.MAIN_PROGRAM_NAME, home.PLACES[sample_packages.MAIN_PROGRAM]))
    folders = sorted(os.path.relpath(os.path.join(base, d), program)
                     for base, dirs, _ in os.walk(program) for d in dirs)
    print("Folders on disk: %s" % ", ".join(repr(f) if not f.isprintable() else f for f in folders))
    problems = home.placement_problems(published, program, untouched) + desktop_entry_problems(desktop, program)
    if problems:
        print("NOT as expected:\n  " + "\n  ".join(problems))
    else:
        print("Every file is in its place with the published bytes, date-versioned files carry their German "
              "version date, the user's %s is as it was, nothing else was written, and the desktop entry "
              "starts %s in the program folder." % (home.USER_DATABASE_ON_DISK, home.PLACES[sample_packages.MAIN_PROGRAM]))
    return problems


def second_run_report(program, pages, log, before, after):
    fetched = [line.split(" ", 1)[1] for line in log if line.startswith("RETR")]
    changed = sorted(p for p in set(before) | set(after) if p != NOTE and before.get(p) != after.get(p))
    print("\nThe second run:")
    if pages is not None:
        print("  pages: %s" % " > ".join(pages))
    print("  fetched: %s" % (", ".join(fetched) if fetched else "nothing"))
    print("  changed in the program folder: %s" % (", ".join(changed) if changed else "nothing"))
    print("  the main application has been started %d times in all" % started_times(program))
    return not fetched and not changed and pages in (None, ["language", "finish"])


def started_times(program):
    note = os.path.join(program, NOTE)
    if not os.path.exists(note):
        return 0
    with open(note) as f:
        return f.read().count("started")


def main(args):
    if args.windows:
        raise SystemExit("--home-style runs the Linux client")
    work = tempfile.mkdtemp(prefix="qor-demo-")
    published, program, home_dir = (os.path.join(work, n) for n in ("published", "program", "home"))
    desktop = os.path.join(home_dir, "Desktop")
    os.makedirs(desktop)
    procs = Processes()
    try:
        print("Publishing the sample packages as the servers the client was written for write them, and laying "
              "out an older program folder in %s" % work)
        home.make_published(published, work)
        home.make_program_folder(program, os.path.abspath(args.client), work)
        extra = list(home.SERVER_ARGS) + [arg for knob in args.ftp_fault for arg in ("--ftp-fault", knob)]
        server, ports = demo.start_update_server(procs, published, extra)
        log = follow_log(server)
        home.write_answers(published, ports["ftp"])
        address = "127.0.0.1:%d" % ports["http"]
        print("The update server answers on http://%s in Windows-1252, the captions and package lists ending "
              "with a line break; "
              "its FTP server on port %d lists in Windows-1252" % (address, ports["ftp"]))
        env = dict(os.environ, HOME=home_dir, LC_ALL=home.LOCALE, XDG_CONFIG_HOME=os.path.join(home_dir, ".config"))
        env.pop("XDG_DESKTOP_DIR", None)
        # A desktop session has its runtime folder; without one the toolkit says so on standard error.
        env["XDG_RUNTIME_DIR"] = os.path.join(work, "run")
        os.makedirs(env["XDG_RUNTIME_DIR"], mode=0o700)
        print("The client runs under LC_ALL=%s; the server writes German dates" % home.LOCALE)
        client_cmd = [os.path.join(program, sample_packages.CLIENT), "--update-server", address]
        display = None
        if not (os.environ.get("DISPLAY") and not args.scripted):
            print("No display: running the window on a private X display with a scripted user.")
            display = demo.start_xvfb(procs)

        untouched = home.untouched_bytes(program)
        before = demo.snapshot(program)
        pages, output = run_client(procs, client_cmd, env, display, os.path.join(args.screens, "first-run"),
                                   os.path.join(work, "client-1.log"))
        if pages is not None:
            print("  pages: %s" % " > ".join(pages))
        show_output(output)
        demo.wait_for_note(program)
        after = demo.snapshot(program)
        demo.report(before, after, program, desktop, published)
        problems = placement_report(published, program, untouched, desktop)

        print("\nA second run in the same folder: nothing is due.")
        mark = len(log)
        pages, output = run_client(procs, client_cmd, env, display, os.path.join(args.screens, "second-run"),
                                   os.path.join(work, "client-2.log"))
        show_output(output)
        demo.wait_for_note(program)
        su.wait_for(lambda: started_times(program) >= 2 or not os.path.exists(os.path.join(program, NOTE)), 10,
                    "the second start of the main application")
        ok = second_run_report(program, pages, log[mark:], after, demo.snapshot(program))
        return 0 if ok and not problems else 1
    finally:
        procs.stop_all()
        if not args.keep:
            shutil.rmtree(work, ignore_errors=True)
