#!/usr/bin/python3
"""Whole runs of the Windows client, QOR_sync_PRO.exe, under Wine in a real
X window against the bundled update server, driven by real pointer clicks.

    e2e_windows_test.py --client build-windows/app/QOR_sync_PRO.exe --artefacts DIR
                        [--wine-dir DIR] [--only NAME ...] [--keep]

Scenarios: a first run through every panel and a second with nothing due
(full_run); an offline flag click (offline); and the Linux scenarios as they
are: transfers broken off or the FTP server gone (ftp_abort, ftp_stopped:
one message per file, and at the finish click one on the main application
that never arrived, with no shortcut), the next button clicked at once and
a double click (quick_clicks), the window closed while a download is held
up (close_mid_transfer), while the update server keeps a query waiting
(close_while_server_stalls) and while a transfer message is up
(close_on_message). The program folder must end up
as the Linux client leaves it: the same package files, bytes and stamps.
--wine-dir names a Wine prefix folder (tools/wine-run.sh's); without one a
prefix is made for the run and removed afterwards. A prefix of its own is
the safe choice: programs of one prefix share its desktop, its windows, and
the locale settings that a program started in another locale writes.

Where Wine is not Windows, and what the test accepts of it:
- Without a window manager the X window of the client is its client area,
  so the window's own places are clicked at the X window's origin.
- Wine's German short date is d.M.yyyy where Windows has dd.MM.yyyy: the
  client runs in the British locale, whose form both share.
- The system's button face is the prefix's own (read from its registry),
  not the classic scheme's grey the Linux window draws.
- Wine draws Arial as Liberation Sans (metric-compatible) but without
  anti-aliasing, hinted to whole pixels: a 12 pt line runs up to 5 % narrower
  than the font's metrics, so captions are matched within 5 %, not 2.5 %.
- Message boxes use the system's message font (Tahoma 8 pt), which Wine
  draws as Liberation Sans, not the Linux toolkit's 9 pt sans-serif.
"""

import argparse
import os
import shutil
import signal
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import e2e_checks as checks  # noqa: E402
import e2e_test as runs  # noqa: E402
from e2e_screens import PageWatch  # noqa: E402
from e2e_support import (Failure, Processes, Scenario, expect, file_state, report_scenarios,  # noqa: E402
                         run_scenarios, sample_packages, start_xvfb, su, update_server, wait_for)
from wine_prefix import WinePrefix, lnk_strings, windows_path  # noqa: E402
import e2e_screens as screens  # noqa: E402

SHORTCUT = "QOR_software_PRO.lnk"
SW_SHOWMAXIMIZED = 3
WINE_TEXT_TOLERANCE = 0.05


class WineScenario(Scenario):
    """A scenario whose client is the Windows program under Wine."""

    def __init__(self, name, client, artefacts, display, procs, wine):
        super().__init__(name, client, artefacts, display, procs)
        self.wine = wine
        # The scenario's desktop is the prefix's: the checks look at home/Desktop.
        desktop = wine.desktop()
        os.makedirs(desktop, exist_ok=True)
        for entry in os.listdir(desktop):
            os.remove(os.path.join(desktop, entry))
        os.rmdir(os.path.join(self.home, "Desktop"))
        os.symlink(desktop, os.path.join(self.home, "Desktop"))
        self.env = wine.env(self.env)
        self.desktop = su.Desktop(self.env)
        # Message boxes are drawn in the system's message font, Tahoma 8 pt,
        # which Wine draws as Liberation Sans.
        self.message_font = ("Liberation-Sans", 8 * 96 / 72)

    def start_client(self, http_port, run=1):
        self.client_log = os.path.join(self.work, "client-%d.log" % run)
        with open(self.client_log, "wb") as log:
            self.client = self.procs.start(["wine", os.path.join(self.program, sample_packages.WINDOWS_CLIENT),
                                            "--update-server", "127.0.0.1:%d" % http_port],
                                           env=self.env, stdout=log, stderr=log)
        try:
            return su.ClientWindow(self.desktop, sample_packages.COLOURS, timeout=60,
                                   button_face=self.wine.button_face(), text_tolerance=WINE_TEXT_TOLERANCE)
        except TimeoutError as e:
            raise Failure(str(e)) from None


def check_main_application_note(sc, starts):
    note = runs.wait_for_note(sc.program)
    wait_for(lambda: runs.wait_for_note(sc.program).count("started") == starts, 60,
             "start %d of the main application" % starts)
    folder = windows_path(sc.program)
    for line in runs.wait_for_note(sc.program).splitlines():
        expect(" in %s show %d working folder %s" % (folder, SW_SHOWMAXIMIZED, folder) in line,
               "the main application should start maximized in %s: %r" % (folder, line))
    return note


def check_shortcut(sc):
    desktop = os.path.join(sc.home, "Desktop")
    expect(sorted(os.listdir(desktop)) == [SHORTCUT], "the desktop holds %s" % sorted(os.listdir(desktop)))
    text = lnk_strings(os.path.join(desktop, SHORTCUT))
    folder = windows_path(sc.program)
    for what, value in (("target", folder + "\\" + sample_packages.WINDOWS_MAIN_PROGRAM),
                        ("icon", folder + "\\QOR_Icons.dll"), ("working folder", folder)):
        expect(value.lower() in text.lower(), "the shortcut lacks its %s %s" % (what, value))
    icons = os.path.join(sc.program, sample_packages.ICON_LIBRARY)
    expect(os.path.isfile(icons), "the shortcut's icon library %s is not there" % icons)


def full_run(sc):
    """A first run through every panel, then a second with nothing due."""
    server = update_server(sc.procs, sc.published)
    first_run(sc, server)
    runs.nothing_due_run(sc, server)
    check_main_application_note(sc, 2)
    check_shortcut(sc)


def signed_release(sc):
    """The program built with the tests' release key (--client) against a
    release signed with that key: the first run as without a key, the main
    application started (so it matched the release), the release kept."""
    runs.sign_release(sc, 1)
    first_run(sc, update_server(sc.procs, sc.published), kept=[".qor-release-accepted"])


def first_run(sc, server, kept=()):
    """Every panel, every file in place, the shortcut and the maximized start;
    `kept`: files the run adds beside the packages."""
    before, _ = file_state(sc.program)

    window = sc.start_client(server.ports["http"])
    watch = PageWatch(sc, window)
    install_heading = runs.first_pages(sc, window, watch)
    page = runs.settled_page(watch, ("install", "package"), runs.STEP_TIMEOUT, "the update list")
    expect(page == "update", "after the install run the window shows the %s page" % page)
    runs.check_update_page(sc, window, install_heading)
    window.click(su.PAGE_BUTTON)
    page = runs.settled_page(watch, ("update", "package"), runs.STEP_TIMEOUT, "the finish panel")
    expect(page == "finish", "after the update run the window shows the %s page" % page)
    runs.finish(sc, window)
    expect(watch.pages() == ["language", "folder", "install", "update", "finish"],
           "pages seen in this order: %s" % watch.pages())

    check_main_application_note(sc, 1)
    after, folders_after = file_state(sc.program)
    for folder in checks.catalogue(sc.published)["new"]:
        expect(folder in folders_after, "the package folder %s was not created" % folder)
    checks.check_installed(sc.published, before, after)
    # Exactly what the Linux client leaves: the older folder, every package
    # file in its place, the main application's note; nothing else.
    expected = set(before) | {checks.place(r) for r in checks.records(sc.published)} | {checks.MAIN_APP_NOTE}
    expected |= set(kept)
    expect(set(after) == expected, "unexpected files in the program folder: %s" % sorted(set(after) ^ expected))
    for path in set(before) - {checks.place(r) for r in checks.records(sc.published)}:
        expect(after[path] == before[path], "%s, not a package file, was changed" % path)
    check_shortcut(sc)
    print("  first run: pages %s, %d files in place, stamps, shortcut and maximized start right"
          % (" > ".join(watch.pages()), len(checks.records(sc.published))), flush=True)


def no_shortcut(scenario):
    """A run of the Linux scenario, then no shortcut on the desktop: its main
    application never arrived, and the finish click said so."""
    def run(sc):
        scenario(sc)
        desktop = os.path.join(sc.home, "Desktop")
        expect(not os.listdir(desktop), "the desktop holds %s" % sorted(os.listdir(desktop)))
    return run


SCENARIOS = {
    "full_run": full_run,
    "offline": runs.offline,
    "ftp_abort": no_shortcut(runs.ftp_abort),
    "ftp_stopped": no_shortcut(runs.ftp_stopped),
    "quick_clicks": runs.quick_clicks,
    "close_mid_transfer": runs.close_mid_transfer,
    "close_while_server_stalls": runs.close_while_server_stalls,
    "close_on_message": runs.close_on_message,
    "refused_release": runs.refused_release,
    "signed_release": signed_release,
}
# Only for the program built with the tests' release key (--only).
KEYED = {"refused_release", "signed_release"}


def make_template(folder, client):
    published = os.path.join(folder, "published")
    sample_packages.make_published(published, folder, windows=True, dates=sample_packages.BRITISH_DATES)
    screens.use_test_captions(published)
    sample_packages.make_program_folder(os.path.join(folder, "program"), client, folder, windows=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--client", required=True)
    parser.add_argument("--artefacts", required=True, help="screenshots of failing scenarios go here")
    parser.add_argument("--wine-dir", help="an existing Wine prefix folder (prefix/, home/) to run in")
    parser.add_argument("--keep", action="store_true", help="keep the screenshots of passing scenarios too")
    parser.add_argument("--only", nargs="*", choices=sorted(SCENARIOS), help="run only these scenarios")
    parser.add_argument("--signer", help="the Linux build's qor_sign_test_release, for signed releases")
    args = parser.parse_args()
    if args.signer is not None and not os.access(args.signer, os.X_OK):
        print("skipped: no signer at %s (build the Linux tests first)" % args.signer)
        return 77
    runs.SIGNER = args.signer
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))  # through the clean-up below
    if os.path.exists("/usr/share/zoneinfo/Europe/Berlin"):
        os.environ["TZ"] = "Europe/Berlin"
        time.tzset()
    artefacts = os.path.abspath(args.artefacts)
    os.makedirs(artefacts, exist_ok=True)

    own_prefix = not (args.wine_dir and WinePrefix(args.wine_dir).exists())
    wine = WinePrefix(args.wine_dir or os.path.join(artefacts, "wine"))
    procs = Processes()
    failed = []
    names = args.only or [name for name in SCENARIOS if name not in KEYED]
    template = tempfile.mkdtemp(prefix="template-", dir=artefacts)
    try:
        if own_prefix:
            print("making a Wine prefix in %s" % wine.dir, flush=True)
            wine.create()
        display = start_xvfb(procs)
        if own_prefix:  # a shared prefix's server is its owner's
            wine.serve(procs, display)
        make_template(template, os.path.abspath(args.client))
        failed = run_scenarios(SCENARIOS, names,
                               lambda name, own: WineScenario(name, args.client, artefacts, display, own, wine),
                               template, args.keep)
    finally:
        # A prefix shared with other tests keeps running; one made here is
        # stopped as a whole, before its server's group.
        if own_prefix:
            wine.stop()
        procs.stop_all()
        shutil.rmtree(template, ignore_errors=True)
        if own_prefix and not args.keep:
            shutil.rmtree(wine.dir, ignore_errors=True)
    return report_scenarios(failed, len(names))


if __name__ == "__main__":
    sys.exit(main())
