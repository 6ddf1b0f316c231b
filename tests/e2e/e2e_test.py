#!/usr/bin/python3
"""Whole runs of the real client in a real X window against the bundled
update server, driven by real pointer clicks.

    e2e_test.py --client build/app/QOR_sync_PRO --artefacts DIR [--only NAME ...]

Scenarios: a first run, a second with nothing to do and a third with one
newer file; an offline flag click; transfers failing half-way (broken off
by the FTP server; the FTP server stopped); quick clicks at one spot; the
window closed while a download is held up, and while the update server
keeps a query waiting; a first and a second run against
a server with the habits of the servers the client was written for. The
screenshots of a failing scenario stay in DIR/<name>/.
"""

import argparse
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import e2e_checks as checks  # noqa: E402
import e2e_screens as screens  # noqa: E402
from e2e_screens import BUTTON, HEADING, PageWatch, check_caption  # noqa: E402
from e2e_support import (Failure, LiveScreen, Processes, Scenario, close_window, expect, file_state,  # noqa: E402
                         ftp_server, repaint_time, report_scenarios, run_scenarios, sample_packages, start_xvfb,
                         su, update_server, wait_for)
import home_style_packages as home  # noqa: E402

# qor_sign_test_release (--signer): signs a published folder with the tests' key.
SIGNER = None
PAGES = ("language", "folder", "install", "update", "package", "finish")
STEP_TIMEOUT = 180  # a step on a loaded two-core machine, transfers included
CLOSE_BOUND = 15  # seconds from the close to the end of the process, on a loaded machine


# The run's journal in the program folder, and the exit code of a client
# stopped at a point QOR_STOP_AT names.
JOURNAL = ".qor-placement-journal"
STOPPED_AT_POINT = 86


def settled_page(watch, leaving, timeout, what):
    """Waits for a page other than `leaving` and the header strip, and
    returns it once two readings in a row agree."""
    def arrived():
        first = watch.current()
        return first in PAGES and first not in leaving and watch.current() == first and first
    return wait_for(arrived, timeout, what)


def click_flag(scenario, window, watch):
    wait_for(lambda: watch.current() == "language", 60, "the language panel")
    window.move(su.FLAG["de"])
    screens.check_language_panel(window, scenario.shot("language"))
    window.click(su.FLAG["de"])


def first_pages(scenario, window, watch, on_install=None):
    """Flag, folder panel, install panel: returns once the install button was clicked."""
    click_flag(scenario, window, watch)
    page = settled_page(watch, ("language",), STEP_TIMEOUT, "the first page after the flag")
    expect(page == "folder", "after the flag the window shows the %s page, not the folder panel" % page)
    image = scenario.shot("folder")
    check_caption(window, image, screens.TITLE_BOX, "lab6_0", HEADING, "header strip")
    check_caption(window, image, screens.HEADING_BOX, "lab6_1", HEADING, "folder panel")
    check_caption(window, image, screens.PAGE_BUTTON_BOX, "com6_1", BUTTON, "folder panel button")
    window.click(su.PAGE_BUTTON)

    page = settled_page(watch, ("folder",), STEP_TIMEOUT, "the install list")
    image = scenario.shot("install")
    check_caption(window, image, screens.HEADING_BOX, "lab6_2", HEADING, "package panel, install")
    expect(page == "install", "after the folder panel the window shows the %s page" % page)
    check_caption(window, image, screens.PAGE_BUTTON_BOX, "com6_2", BUTTON, "install button")
    if on_install:
        on_install()
    window.click(su.PAGE_BUTTON)
    return window.heading(image)


def check_update_page(scenario, window, install_heading):
    image = scenario.shot("update")
    check_caption(window, image, screens.HEADING_BOX, "lab6_3", HEADING, "package panel, update")
    check_caption(window, image, screens.PAGE_BUTTON_BOX, "com6_3", BUTTON, "update button")
    if install_heading is not None:
        expect(window.heading(image) != install_heading, "the update heading looks like the install heading")


def finish(scenario, window, main_missing=False):
    image = scenario.shot("finish")
    check_caption(window, image, screens.HEADING_BOX, "lab6_4", HEADING, "finish panel")
    check_caption(window, image, screens.FINISH_BUTTON_BOX, "com6_4", BUTTON, "finish button")
    window.click(su.FINISH_BUTTON)
    if main_missing:
        # The user is told, once, that the main application is not there; the
        # box holds more than the one line of a transfer message, and
        # standard error says which program.
        wait_for(lambda: scenario.message_boxes(), STEP_TIMEOUT, "the message on the missing main application")
        boxes = scenario.message_boxes()
        expect(len(boxes) == 1, "%d message boxes after the finish click" % len(boxes))
        width = screens.message_text_ink(*scenario.close_message_box(boxes[0]))
        transfer = screens.message_width("Übertragunsfehler", scenario.message_font)
        expect(width > transfer + screens.tolerance(transfer), "the finish message looks like the transfer message")
    code = scenario.wait_client_exit()
    expect(code == 0, "the client ended with exit code %d" % code)
    if main_missing:
        with open(scenario.client_log, errors="replace") as f:
            told = [line for line in f if line.startswith("QOR_sync_PRO: main program: ")]
        expect(len(told) == 1, "standard error named the missing main program %d times" % len(told))
    expect(not window.is_open(), "the window is still open after the client ended")


def wait_for_note(program):
    note = os.path.join(program, checks.MAIN_APP_NOTE)
    wait_for(lambda: os.path.exists(note) and os.path.getsize(note) > 0, 60, "the main application's note")
    with open(note) as f:
        return f.read()


def every_page(sc, port):
    """A first run through every panel to the finish click, which starts the
    main application in the program folder; returns the pages seen."""
    window = sc.start_client(port)
    watch = PageWatch(sc, window)
    install_heading = first_pages(sc, window, watch)
    page = settled_page(watch, ("install", "package"), STEP_TIMEOUT, "the update list")
    expect(page == "update", "after the install run the window shows the %s page" % page)
    check_update_page(sc, window, install_heading)
    window.click(su.PAGE_BUTTON)
    page = settled_page(watch, ("update", "package"), STEP_TIMEOUT, "the finish panel")
    expect(page == "finish", "after the update run the window shows the %s page" % page)
    finish(sc, window)
    expect(watch.pages() == ["language", "folder", "install", "update", "finish"],
           "pages seen in this order: %s" % watch.pages())
    note = wait_for_note(sc.program)
    expect(sc.program in note, "the main application ran elsewhere: %r" % note)
    return watch


def full_run(sc):
    """A first run through every panel, a second with nothing to do, a third
    with one newer file."""
    three_runs(sc, update_server(sc.procs, sc.published))


def three_runs(sc, server):
    """full_run's three runs against server: its "http" port answers the
    queries, its log holds the FTP side's RETR lines."""
    port = server.ports["http"]
    before, _ = file_state(sc.program)

    watch = every_page(sc, port)
    after, folders_after = file_state(sc.program)
    for folder in checks.catalogue(sc.published)["new"]:
        expect(folder in folders_after, "the package folder %s was not created" % folder)
    checks.check_installed(sc.published, before, after)
    expected = set(before) | {checks.place(r) for r in checks.records(sc.published)} | {checks.MAIN_APP_NOTE}
    expect(set(after) == expected, "unexpected files in the program folder: %s" % sorted(set(after) - expected))
    for path in set(before) - {checks.place(r) for r in checks.records(sc.published)}:
        expect(after[path] == before[path], "%s, not a package file, was changed" % path)
    checks.check_desktop_entry(sc.home, sc.program, icon_library=True)
    print("  first run: pages %s, %d files in place, stamps and desktop entry right"
          % (" > ".join(watch.pages()), len(checks.records(sc.published))))

    nothing_due_run(sc, server)
    one_update_run(sc, server)


def changed_files(before, after):
    """Paths whose bytes or time differ, the main application's note aside."""
    return sorted(p for p in set(before) | set(after) if p != checks.MAIN_APP_NOTE and before.get(p) != after.get(p))


def nothing_due_run(sc, server):
    """A fresh client in the same folder finds everything current."""
    mark = len(server.lines)
    before, _ = file_state(sc.program)
    window = sc.start_client(server.ports["http"], run=2)
    watch = PageWatch(sc, window)
    click_flag(sc, window, watch)
    page = settled_page(watch, ("language",), STEP_TIMEOUT, "the first page of the second run")
    expect(page == "finish", "the second run shows the %s page, though nothing is due" % page)
    finish(sc, window)
    expect(watch.pages() == ["language", "finish"], "second run, pages seen: %s" % watch.pages())
    fetched = [line for line in server.log(mark) if line.startswith("RETR")]
    expect(not fetched, "the second run fetched files: %s" % fetched)
    wait_for(lambda: wait_for_note(sc.program).count("started") == 2, 60, "the second start of the main application")
    changed = changed_files(before, file_state(sc.program)[0])
    expect(not changed, "the second run changed %s" % changed)
    print("  second run: pages %s, nothing fetched, nothing changed" % " > ".join(watch.pages()))


def one_update_run(sc, server):
    """A newer library published: the run shows only the update page and
    replaces and stamps just that file."""
    new_date, new_bytes = "2026-12-05 16:45:30", b"QOR tools library, a newer release\n"
    with open(os.path.join(sc.published, "qor_tools.dll"), "wb") as f:
        f.write(new_bytes)
    checks.set_version(sc.published, "qor_tools.dll", new_date)
    mark = len(server.lines)
    before, _ = file_state(sc.program)
    window = sc.start_client(server.ports["http"], run=3)
    watch = PageWatch(sc, window)
    click_flag(sc, window, watch)
    page = settled_page(watch, ("language",), STEP_TIMEOUT, "the first page of the third run")
    expect(page == "update", "with one newer file the run shows the %s page, not the update page" % page)
    check_update_page(sc, window, None)
    window.click(su.PAGE_BUTTON)
    page = settled_page(watch, ("update", "package"), STEP_TIMEOUT, "the finish panel of the third run")
    expect(page == "finish", "after the update the window shows the %s page" % page)
    finish(sc, window)
    expect(watch.pages() == ["language", "update", "finish"], "third run, pages seen: %s" % watch.pages())
    fetched = [line for line in server.log(mark) if line.startswith("RETR")]
    expect(fetched == ["RETR qor_tools.dll"], "the third run fetched %s" % fetched)
    after, _ = file_state(sc.program)
    changed = changed_files(before, after)
    expect(changed == ["qor_tools.dll"], "the third run changed %s" % changed)
    expect(after["qor_tools.dll"][0] == new_bytes, "qor_tools.dll does not hold the newer bytes")
    expect(abs(after["qor_tools.dll"][1] - checks.local_seconds(new_date)) < 1,
           "the newer qor_tools.dll is not stamped %s" % new_date)
    print("  third run: pages %s, only the newer library replaced and stamped" % " > ".join(watch.pages()))


def click_next_at_once(sc, window):
    """Clicks the folder button, then the install button that comes up at the
    same spot the moment it shows. Returns how long at most the install
    panel had shown, and how long after the folder click, when it was clicked."""
    screen = LiveScreen(sc.display)
    try:
        window.move(su.PAGE_BUTTON)
        time.sleep(0.1)
        first = absent = time.monotonic()
        sc.desktop.run("xdotool", "click", "1")
        while True:
            looked = time.monotonic()
            if window.panel(screen) == "package":
                break
            if looked - first > STEP_TIMEOUT:
                raise Failure("the install list did not show within %d s of the folder click" % STEP_TIMEOUT)
            absent = looked
            time.sleep(0.005)
        clicked = time.monotonic()
        sc.desktop.run("xdotool", "click", "1")
    finally:
        screen.close()
    return clicked - absent, clicked - first


def quick_clicks(sc):
    """The install button clicked at once where the folder button stood: the
    toolkit sees a double click there, yet the install run starts. Then a
    double click on the install button starts one run."""
    server = update_server(sc.procs, sc.published)
    port = server.ports["http"]
    before, _ = file_state(sc.program)
    window = sc.start_client(port)
    watch = PageWatch(sc, window)
    click_flag(sc, window, watch)
    page = settled_page(watch, ("language",), STEP_TIMEOUT, "the folder panel")
    expect(page == "folder", "after the flag the window shows the %s page, not the folder panel" % page)
    # The install panel shows about 0.1 s after the folder click, so both
    # presses fall within the toolkit's double-click time (0.4 s).
    mark = len(server.lines)
    shown_for, after_first = click_next_at_once(sc, window)
    wait_for(lambda: any(line.startswith("RETR") for line in server.log(mark)), 30,
             "the install run (the install button's click was lost)")
    expect(shown_for <= 0.2, "the install button was clicked %.2f s after it showed, not within 0.2 s" % shown_for)
    print("  first run: the install button clicked %.3f s after it showed, %.3f s after the folder click; "
          "the install run started" % (shown_for, after_first))
    page = settled_page(watch, ("folder", "install", "package"), STEP_TIMEOUT, "the update list")
    expect(page == "update", "after the install run the window shows the %s page" % page)
    window.click(su.PAGE_BUTTON)
    page = settled_page(watch, ("update", "package"), STEP_TIMEOUT, "the finish panel")
    expect(page == "finish", "after the update run the window shows the %s page" % page)
    finish(sc, window)
    checks.check_installed(sc.published, before, file_state(sc.program)[0])

    # One file to install again, so the second run stops at the install panel.
    readme = os.path.join("Daten", "liesmich.txt")
    os.remove(os.path.join(sc.program, readme))
    mark = len(server.lines)
    window = sc.start_client(port, run=2)
    watch = PageWatch(sc, window)
    click_flag(sc, window, watch)
    page = settled_page(watch, ("language",), STEP_TIMEOUT, "the install list of the second run")
    expect(page == "install", "with one file missing the second run shows the %s page" % page)
    # The one-file run is over before the second press arrives, most times,
    # and the install panel still shows: a second click would start it again.
    window.move(su.PAGE_BUTTON)
    time.sleep(0.1)
    sc.desktop.run("xdotool", "click", "--repeat", "2", "--delay", "80", "1")
    page = settled_page(watch, ("install", "package"), STEP_TIMEOUT, "the finish panel of the second run")
    expect(page == "finish", "after the double click the window shows the %s page" % page)
    fetched = [line for line in server.log(mark) if line.startswith("RETR")]
    expect(fetched == ["RETR liesmich.txt"], "a double click on the install button fetched %s" % fetched)
    expect(os.path.exists(os.path.join(sc.program, readme)), "%s was not installed again" % readme)
    finish(sc, window)
    print("  second run: a double click on the install button fetched the one missing file once")


def offline_lines(window, image):
    """The red lines of the offline message: their ink widths, top to bottom."""
    x0, y0, x1, y1 = window.box(su.OFFLINE_BOX)
    red = lambda p: p is not None and p[0] > 150 and p[1] < 110 and p[2] < 110
    bands, current = [], None
    for y in range(y0, y1):
        xs = [x for x in range(x0, x1) if red(image.at(x, y))]
        if xs:
            current = [min(xs), max(xs)] if current is None else [min(current[0], *xs), max(current[1], *xs)]
        elif current is not None:
            bands.append(current[1] - current[0] + 1)
            current = None
    if current is not None:
        bands.append(current[1] - current[0] + 1)
    return bands


def offline(sc):
    """A flag click while nothing answers: the offline message, nothing else;
    a click once the server is back goes on."""
    server = update_server(sc.procs, sc.published)
    port = server.ports["http"]
    sc.procs.stop(server.proc)  # nothing listens on its port any more
    before = file_state(sc.program)

    window = sc.start_client(port)
    watch = PageWatch(sc, window)
    click_flag(sc, window, watch)
    wait_for(lambda: window.offline_message_shown(sc.screen()), 60, "the offline message")
    image = sc.shot("offline")
    widths = offline_lines(window, image)
    want = [su.text_width("FEHLER: keine Internetverbindung"), su.text_width("ERROR: no internet connection")]
    expect(len(widths) == 2 and all(abs(w - v) <= screens.tolerance(v, window.text_tolerance)
                                    for w, v in zip(widths, want)),
           "the offline message should be two red lines %s px wide, the screen shows %s" % (want, widths))
    expect(watch.current() == "language", "the window left the language panel: %s" % watch.current())
    expect(sc.client.poll() is None, "the client ended after the offline click")
    expect(file_state(sc.program) == before, "the offline click changed the program folder")
    expect(not os.listdir(os.path.join(sc.home, "Desktop")), "the offline click wrote to the desktop")
    print("  offline: two-line message %s px, language panel kept, nothing changed" % widths)

    try:
        back = update_server(sc.procs, sc.published, "--http-port", str(port))
    except RuntimeError as e:
        print("  offline: the port was taken meanwhile, the retry part is skipped (%s)" % e)
        return
    # A second click on the flag within the double-click time would be the
    # second half of a double click, which is no Click of its own.
    time.sleep(su.DOUBLE_CLICK_PAUSE)
    window.click(su.FLAG["de"])
    try:
        page = settled_page(watch, ("language",), STEP_TIMEOUT, "the first page after the retry")
    except Failure as e:
        raise Failure("%s; the server saw %s" % (e, back.log() or "no request")) from None
    expect(page == "folder", "the retry shows the %s page, not the folder panel" % page)
    expect(not window.offline_message_shown(sc.shot("retry")), "the offline message stayed after the retry")
    expect(any(line.startswith("LOGIN") for line in back.log()), "the retry did not log in to the FTP server")
    print("  offline: a click with the server back goes on to the folder panel")


# Failed files of one download run that get a box of their own; the rest
# are told in one message at the end of the run.
TRANSFER_BOXES = 3


def transfer_messages(failed):
    """The first lines of the boxes a download run with `failed` failed files shows."""
    texts = ["Übertragunsfehler"] * min(failed, TRANSFER_BOXES)
    if failed > TRANSFER_BOXES:
        texts.append("Übertragunsfehler / Transfer failed:")
    return texts


def close_messages_until(sc, watch, pages, what, failed):
    """Closes every message box until one of `pages` shows, checking that they
    are the boxes of a run with `failed` failed files; returns their number."""
    closed = 0
    wanted = [screens.message_width(text, sc.message_font) for text in transfer_messages(failed)]
    connection = screens.message_width("Fehler beim Verbindungsaufbau", sc.message_font)

    def reached():
        nonlocal closed
        boxes = sc.message_boxes()
        for wid in boxes:
            width = screens.message_text_ink(*sc.close_message_box(wid))
            closed += 1
            expect(closed <= len(wanted), "message box %d of %d failed files: one too many" % (closed, failed))
            text = wanted[closed - 1]
            expect(abs(width - text) <= screens.tolerance(text) and abs(width - text) < abs(width - connection),
                   "message box %d: its text is %d px wide, the message expected there %d px" % (closed, width, text))
        # The window is judged only with no message box over it, and by two
        # readings in a row: the next box may be on its way.
        return not boxes and watch.current() in pages and not sc.message_boxes() and watch.current() in pages
    wait_for(reached, STEP_TIMEOUT * 2, what)
    return closed


def transfers_fail(sc, server, ftp_log, on_install=None):
    """FTP transfers failing after the listing: one transfer message per file,
    the run goes on to the finish panel, no file damaged."""
    before, _ = file_state(sc.program)
    c = checks.catalogue(sc.published)
    window = sc.start_client(server.ports["http"])
    watch = PageWatch(sc, window)
    first_pages(sc, window, watch, on_install)
    installs = sum(1 for r in c["install"] if checks.place(r) not in before)
    install_messages = close_messages_until(sc, watch, ("update", "finish"), "the update list", installs)
    expect(install_messages == len(transfer_messages(installs)),
           "%d transfer messages for %d files to install" % (install_messages, installs))
    expect(watch.current() == "update", "after the failed install run the window shows %s" % watch.current())
    window.click(su.PAGE_BUTTON)
    # Every file of the older folder is outdated, so each update record is
    # due except the user's database that is there.
    updates = sum(1 for r in c["update"] if not (r["fn"] in checks.USER_DATABASES and checks.place(r) in before))
    update_messages = close_messages_until(sc, watch, ("finish",), "the finish panel", updates)
    expect(update_messages == len(transfer_messages(updates)),
           "%d transfer messages for %d files to update" % (update_messages, updates))
    finish(sc, window, main_missing=True)
    expect(watch.pages() == ["language", "folder", "install", "update", "finish"],
           "pages seen in this order: %s" % watch.pages())

    after, _ = file_state(sc.program)
    checks.check_nothing_damaged(sc.published, before, after)
    expect(checks.MAIN_APP_NOTE not in after, "a main application that never arrived was started")
    expect(not os.path.exists(os.path.join(sc.home, checks.DESKTOP_ENTRY)),
           "a desktop entry points at a main application that never arrived")
    expect(any(line.startswith("LIST") for line in ftp_log.log()), "the client never listed this FTP server")
    print("  %s: %d + %d transfer messages closed, run went on to the finish panel, nothing damaged"
          % (sc.name, install_messages, update_messages))
    return install_messages + update_messages


def ftp_abort(sc):
    """Every transfer broken off after a few bytes."""
    server = update_server(sc.procs, sc.published, "--ftp-fault", "abort_after=7")
    messages = transfers_fail(sc, server, server)
    fetches = [line for line in server.log() if line.startswith("RETR")]
    expect(len(fetches) >= messages, "%d transfer messages but only %d transfers reached the server"
           % (messages, len(fetches)))


def ftp_stopped(sc):
    """The FTP server gone while the install panel waits for its button."""
    settings = checks.catalogue(sc.published)["settings"]
    ftp = ftp_server(sc.procs, sc.published, settings["us"], settings["pa"])
    checks.set_ftp_server(sc.published, "127.0.0.1:%d" % ftp.ports["ftp"])
    server = update_server(sc.procs, sc.published)
    transfers_fail(sc, server, ftp, on_install=lambda: sc.procs.stop(ftp.proc))
    expect(not any(line.startswith("LOGIN") for line in server.log()),
           "the client used the update server's own FTP server, not the published one")


def close_and_wait(sc, window):
    """Closes the window with its close button; the seconds the client took
    to end, which it must do within CLOSE_BOUND and with exit code 0."""
    close_window(sc.display, window.wid)
    closed_at = time.monotonic()
    try:
        code = sc.client.wait(timeout=CLOSE_BOUND)
    except subprocess.TimeoutExpired:
        raise Failure("the client still runs %d s after its window was closed" % CLOSE_BOUND) from None
    took = time.monotonic() - closed_at
    expect(code == 0, "the client ended with exit code %d" % code)
    return took


def close_mid_transfer(sc):
    """The window closed with its close button while a download is held up
    by the server: the process ends at once, nothing partial is left, the
    files the user had are untouched, and no later step runs."""
    server = update_server(sc.procs, sc.published, "--ftp-fault", "stall_after=1")
    before, folders_before = file_state(sc.program)
    marks = []
    window = sc.start_client(server.ports["http"])
    watch = PageWatch(sc, window)
    first_pages(sc, window, watch, on_install=lambda: marks.append(len(server.lines)))
    mark = marks[0]
    wait_for(lambda: any(line.startswith("RETR") for line in server.log(mark)), 60, "the first download to start")
    time.sleep(1.0)  # well inside the held-up transfer
    expect(sc.client.poll() is None, "the client ended before the window was closed")
    sc.shot("held-up")
    # Only a window that handles its events while the file arrives takes the
    # close at once.
    took = close_and_wait(sc, window)
    after, folders_after = file_state(sc.program)
    expect(after == before, "the program folder changed: %s" % sorted(p for p in set(before) | set(after)
                                                                       if before.get(p) != after.get(p)))
    expect(folders_after == folders_before | set(checks.catalogue(sc.published)["new"]),
           "folders other than the package folders appeared: %s" % sorted(folders_after - folders_before))
    retrieved = [line for line in server.log(mark) if line.startswith("RETR")]
    expect(len(retrieved) == 1, "transfers after the close: %s" % retrieved)
    expect(not any(line.startswith("REQUEST") for line in server.log(mark)),
           "queries after the install click: %s" % [l for l in server.log(mark) if l.startswith("REQUEST")])
    expect(not os.listdir(os.path.join(sc.home, "Desktop")), "a desktop entry was written")
    print("  close_mid_transfer: the client ended %.2f s after the close, nothing partial, nothing changed" % took)


def close_while_server_stalls(sc):
    """The update server keeps the query after the flag click waiting (it
    accepts it and sends nothing): the window goes on drawing itself and
    answering meanwhile, and its close button ends the process at once,
    with no message and no later query; nothing on disk changes."""
    server = update_server(sc.procs, sc.published, "--fail", "caption=stall:600")
    before = file_state(sc.program)
    window = sc.start_client(server.ports["http"])
    watch = PageWatch(sc, window)
    click_flag(sc, window, watch)
    wait_for(lambda: any(line.startswith("REQUEST") and "art=caption" in line for line in server.log()), 60,
             "the caption query")
    time.sleep(1.0)  # well inside the stall
    expect(sc.client.poll() is None, "the client ended before the window was closed")
    screen = LiveScreen(sc.display)
    try:
        took = repaint_time(sc.display, screen, sc.desktop.geometry(window.wid), CLOSE_BOUND)
    finally:
        screen.close()
    expect(took is not None, "the window did not draw itself again within %d s while the query waited" % CLOSE_BOUND)
    sc.shot("waiting")
    mark = len(server.lines)
    ended = close_and_wait(sc, window)
    expect(not sc.message_boxes(), "a message box is up after the close")
    expect(not any(line.startswith("REQUEST") for line in server.log(mark)),
           "queries after the close: %s" % [l for l in server.log(mark) if l.startswith("REQUEST")])
    expect(file_state(sc.program) == before, "the program folder changed")
    expect(not os.listdir(os.path.join(sc.home, "Desktop")), "something was written to the desktop")
    print("  close_while_server_stalls: repainted %.0f ms after being uncovered, ended %.2f s after the close"
          % (took * 1000, ended))


def close_on_message(sc):
    """The window closed with its close button while a transfer message is
    up: the process ends at once and quietly (no further box, no later
    transfer or query, no desktop entry), and nothing is damaged."""
    server = update_server(sc.procs, sc.published, "--ftp-fault", "abort_after=7")
    before, _ = file_state(sc.program)
    marks = []
    window = sc.start_client(server.ports["http"])
    watch = PageWatch(sc, window)
    first_pages(sc, window, watch, on_install=lambda: marks.append(len(server.lines)))
    wait_for(lambda: sc.message_boxes(), STEP_TIMEOUT, "the first transfer message")
    boxes = sc.message_boxes()
    sc.shot("message-up")
    retrieved = [line for line in server.log(marks[0]) if line.startswith("RETR")]
    expect(sc.client.poll() is None, "the client ended before the window was closed")
    close_window(sc.display, window.wid)
    closed_at = time.monotonic()
    try:
        code = sc.client.wait(timeout=CLOSE_BOUND)
    except subprocess.TimeoutExpired:
        raise Failure("the client still runs %d s after its window was closed under a message box"
                      % CLOSE_BOUND) from None
    took = time.monotonic() - closed_at
    expect(code == 0, "the client ended with exit code %d" % code)
    expect(len(boxes) == 1, "%d message boxes at once" % len(boxes))
    after, _ = file_state(sc.program)
    checks.check_nothing_damaged(sc.published, before, after)
    later = [line for line in server.log(marks[0]) if line.startswith("RETR")]
    expect(later == retrieved, "transfers after the close: %s" % later[len(retrieved):])
    expect(not any(line.startswith("REQUEST") for line in server.log(marks[0])),
           "queries after the install click: %s" % [l for l in server.log(marks[0]) if l.startswith("REQUEST")])
    expect(not os.listdir(os.path.join(sc.home, "Desktop")), "a desktop entry was written")
    print("  close_on_message: the client ended %.2f s after the close under its message box, quietly" % took)


def home_style(sc):
    """The package set as the servers the client was written for write it
    (home_style_packages.py), the client under an English locale: every
    file lands in the folder on disk that the server's name means, once; a
    second run goes from the flag to the finish panel and fetches nothing."""
    shutil.rmtree(sc.published)
    shutil.rmtree(sc.program)
    home.make_published(sc.published, sc.work)
    screens.use_test_captions(sc.published)
    home.make_program_folder(sc.program, os.path.abspath(sc.client_binary), sc.work)
    sc.env["LC_ALL"] = home.LOCALE
    server = update_server(sc.procs, sc.published, *home.SERVER_ARGS)
    home.write_answers(sc.published, server.ports["ftp"])
    untouched = home.untouched_bytes(sc.program)

    watch = every_page(sc, server.ports["http"])
    with open(sc.client_log, errors="replace") as f:
        told = [line.strip() for line in f if line.startswith("QOR_sync_PRO: ")]
    expect(not told, "the client reported failures: %s" % told)
    problems = home.placement_problems(sc.published, sc.program, untouched)
    expect(not problems, "; ".join(problems))
    fetched = sorted(line.split(" ", 1)[1] for line in server.log() if line.startswith("RETR"))
    due = sorted(name for name, place in home.PLACES.items() if place not in home.UNTOUCHED)
    expect(fetched == due, "the first run fetched %s, not each of %s once" % (fetched, due))
    checks.check_desktop_entry(sc.home, sc.program)
    print("  first run: pages %s, %d files fetched once each and in the folders on disk, stamps and desktop entry "
          "right" % (" > ".join(watch.pages()), len(fetched)))

    nothing_due_run(sc, server)


def placement_journal(program):
    """The entries of the run's journal as (folder, temporary name, target)."""
    with open(os.path.join(program, JOURNAL)) as f:
        lines = f.read().splitlines()
    expect(lines[0] == "qor placement journal 1" and lines[-1] == "end", "the journal is not whole: %r" % lines)
    return [tuple(line.split("\t")[1:]) for line in lines[1:-1]]


def stopped_between_renames(sc):
    """The client stopped dead after the second rename of its install run, as
    a crash would stop it: the folder holds a mix and the run's journal. The
    next start finishes the renames before anything reads the folder, and
    its run then ends as a whole first run does."""
    server = update_server(sc.procs, sc.published)
    port = server.ports["http"]
    before, _ = file_state(sc.program)
    window = sc.start_client(port, env={"QOR_STOP_AT": "placement-renamed:2"})
    watch = PageWatch(sc, window)
    first_pages(sc, window, watch)
    code = sc.wait_client_exit()
    expect(code == STOPPED_AT_POINT, "the client ended with exit code %d, not at its stop point" % code)
    entries = placement_journal(sc.program)
    waiting = [(folder, target) for folder, temporary, target in entries
               if os.path.exists(os.path.join(sc.program, folder, temporary))]
    expect(len(waiting) == len(entries) - 2, "%d of %d files wait for their rename after the stop"
           % (len(waiting), len(entries)))

    window = sc.start_client(port, run=2)
    wait_for(lambda: not os.path.exists(os.path.join(sc.program, JOURNAL)), 30, "the next start to finish the run")
    published = {r["fn"]: r for r in checks.records(sc.published)}
    for folder, target in waiting:
        with open(os.path.join(sc.program, folder, target), "rb") as f, \
                open(os.path.join(sc.published, target), "rb") as g:
            expect(f.read() == g.read() or target not in published, "%s/%s is not the run's file" % (folder, target))
    watch = PageWatch(sc, window)
    click_flag(sc, window, watch)
    leaving = ("language",)
    while True:
        page = settled_page(watch, leaving, STEP_TIMEOUT, "the next page of the second start")
        if page == "finish":
            break
        window.click(su.PAGE_BUTTON)
        leaving = (page, "package")
    finish(sc, window)
    after, _ = file_state(sc.program)
    checks.check_installed(sc.published, before, after)
    leftovers = [p for p in after if os.path.basename(p).startswith(".qor-")]
    expect(not leftovers, "files of the stopped run are left: %s" % leftovers)
    print("  stopped_between_renames: %d of %d renames finished at the next start, its run then whole"
          % (len(waiting), len(entries)))


def sign_release(sc, sequence):
    """Signs the published folder with the tests' key (--signer): the answers
    the server gives for it, and every file in it."""
    sys.path.insert(0, os.path.join(HERE, "..", "..", "tools"))
    import update_server as server_module
    catalogue = server_module.Catalogue(os.path.join(sc.published, "catalogue.json"), sc.published, {}, {})
    data = catalogue.load()
    lines = []
    if data.get("mainprogram"):
        lines.append("main %s" % data["mainprogram"])
    for query in ("new", "install", "update"):
        for record in filter(None, catalogue.answer(data, query, {}).split("||")):
            if not record.startswith(("mainprogram=", "updaprogram=")):
                lines.append("%s %s" % (query, record))
    records = os.path.join(sc.work, "release-records.txt")
    with open(records, "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")
    subprocess.run([SIGNER, records, sc.published, str(sequence)], check=True)


def signed_release(sc):
    """The client built with the tests' release key (--client) against a
    release signed with that key: every panel, every file in place, the
    main application started (so it matched the release), the release kept."""
    expect(SIGNER, "no --signer given")
    sign_release(sc, 1)
    server = update_server(sc.procs, sc.published)
    before, _ = file_state(sc.program)
    every_page(sc, server.ports["http"])
    after, _ = file_state(sc.program)
    checks.check_installed(sc.published, before, after)
    expect(os.path.exists(os.path.join(sc.program, ".qor-release-accepted")), "the accepted release was not kept")
    print("  signed release: pages, files and start as unsigned, the release kept")


def refused_release(sc):
    """The client built with the tests' release key (--client) against a
    server that signs nothing: one "Übertragunsfehler" box with the refusal
    line, then the finish panel; nothing fetched, placed or started."""
    server = update_server(sc.procs, sc.published)
    before, _ = file_state(sc.program)
    window = sc.start_client(server.ports["http"])
    watch = PageWatch(sc, window)
    click_flag(sc, window, watch)
    wait_for(lambda: sc.message_boxes(), STEP_TIMEOUT, "the box refusing the release")
    boxes = sc.message_boxes()
    expect(len(boxes) == 1, "%d message boxes for the refused release" % len(boxes))
    width = screens.message_text_ink(*sc.close_message_box(boxes[0]))
    transfer = screens.message_width("Übertragunsfehler", sc.message_font)
    expect(width > transfer + screens.tolerance(transfer), "the refusal box shows no line beside its title")
    page = settled_page(watch, ("language",), STEP_TIMEOUT, "the page after the refusal")
    expect(page == "finish", "after the refused release the window shows the %s page" % page)
    expect(not sc.message_boxes(), "a second box after the refusal")
    finish(sc, window)
    changed = changed_files(before, file_state(sc.program)[0])
    expect(not changed, "the refused release changed %s" % changed)
    fetched = [line for line in server.log() if line.startswith("RETR")]
    expect(not fetched, "the refused release fetched %s" % fetched)
    with open(sc.client_log, errors="replace") as f:
        told = [line for line in f if line.startswith("QOR_sync_PRO: signed release: refused: ")]
    expect(len(told) == 1, "standard error told the refusal %d times" % len(told))
    print("  refused release: one box, the finish panel, nothing fetched or changed")


SCENARIOS = {
    "full_run": full_run,
    "offline": offline,
    "ftp_abort": ftp_abort,
    "ftp_stopped": ftp_stopped,
    "quick_clicks": quick_clicks,
    "close_mid_transfer": close_mid_transfer,
    "close_while_server_stalls": close_while_server_stalls,
    "close_on_message": close_on_message,
    "home_style": home_style,
    "stopped_between_renames": stopped_between_renames,
    "refused_release": refused_release,
    "signed_release": signed_release,
}


def make_template(folder, client):
    """The published set (with the test's captions) and the older program
    folder, built once and copied for every scenario."""
    sample_packages.make_published(os.path.join(folder, "published"), folder)
    screens.use_test_captions(os.path.join(folder, "published"))
    sample_packages.make_program_folder(os.path.join(folder, "program"), client, folder)
    return folder


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--client", required=True)
    parser.add_argument("--artefacts", required=True, help="screenshots of failing scenarios go here")
    parser.add_argument("--keep", action="store_true", help="keep the screenshots of passing scenarios too")
    parser.add_argument("--only", nargs="*", choices=sorted(SCENARIOS), help="run only these scenarios")
    parser.add_argument("--signer", help="qor_sign_test_release, for the scenarios of signed releases")
    args = parser.parse_args()
    global SIGNER
    SIGNER = args.signer
    return run_on_display(SCENARIOS, args.only or list(SCENARIOS), args.client, args.artefacts, args.keep)


def run_on_display(scenarios, names, client, artefacts, keep):
    """The named scenarios on one private display, each in a copy of the
    template; returns the exit status."""
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))  # through the clean-up below
    # A zone with an offset from UTC, so a UTC/local mix-up in stamping shows.
    if os.path.exists("/usr/share/zoneinfo/Europe/Berlin"):
        os.environ["TZ"] = "Europe/Berlin"
        time.tzset()
    artefacts = os.path.abspath(artefacts)
    os.makedirs(artefacts, exist_ok=True)

    procs = Processes()
    failed = []
    template = tempfile.mkdtemp(prefix="template-", dir=artefacts)
    try:
        display = start_xvfb(procs)
        make_template(template, os.path.abspath(client))
        failed = run_scenarios(scenarios, names, lambda name, own: Scenario(name, client, artefacts, display, own),
                               template, keep)
    finally:
        procs.stop_all()
        shutil.rmtree(template, ignore_errors=True)
    return report_scenarios(failed, len(names))


if __name__ == "__main__":
    sys.exit(main())
