"""The vendor's whole way and the user's, on one machine: a release folder is
published with `qor_publish --upload` to a writable FTP server, the PHP query
script answers from the catalogue that went up, and the real client brings an
older program folder up to the release through its window. Then a changed
release goes up and the next run fetches just what changed. With the
vendor's key every upload is signed, and a client built with the key's
public half verifies each release before it installs or starts anything.

Shared by publish_round_trip_test.py and the demo (tools/demo.sh --publish);
`say` gets one line per thing worth telling a watching vendor."""

import os
import shutil
import subprocess
import time

import e2e_checks as checks
import e2e_screens as screens
from e2e_screens import PageWatch
from e2e_support import PYTHON, TOOLS, LoggedServer, expect, file_state, sample_packages as sp, su, wait_for
from e2e_test import STEP_TIMEOUT, click_flag, finish, settled_page, wait_for_note
from php_host import SCRIPT_PATH, PhpHost

USER, PASSWORD = "qor", "demo"  # the clients' download account, which here may upload too
NEW_TOOLS = (b"QOR tools library, the December release\n", "2026-12-05 16:45:30")
NEW_TITLE_DATE = "2026-12-06 11:20:00"
GONE = os.path.join("Daten", "liesmich.txt")


def main_program(windows):
    return sp.WINDOWS_MAIN_PROGRAM if windows else sp.MAIN_PROGRAM


# What a keyed client keeps of the last release it accepted.
ACCEPTED_RELEASE = ".qor-release-accepted"


def client_files(windows):
    """In the program folder, never in a release: the client, the main
    application's note, and a keyed client's accepted release."""
    return {sp.WINDOWS_CLIENT if windows else sp.CLIENT, checks.MAIN_APP_NOTE, ACCEPTED_RELEASE}


def make_release(release, work, windows=False):
    """The program folder as it should look after the update: a helper
    program with a version resource, libraries, a picture in a sub-folder,
    the base database in SQLite3/, a text and an empty user database."""
    if windows:
        os.makedirs(release)
        sp.build_windows_main_application(os.path.join(release, sp.WINDOWS_MAIN_PROGRAM))
    else:
        sp.write(os.path.join(release, sp.MAIN_PROGRAM), sp.MAIN_PROGRAM_SCRIPT, 0o755)
    sp.build_helper_exe(sp.HELPER_VERSION, os.path.join(release, "qor_helper.exe"), work)
    sp.build_icon_library(os.path.join(release, sp.ICON_LIBRARY), work)
    sp.stamp(os.path.join(release, sp.ICON_LIBRARY), sp.ICONS_DATE)
    tools = os.path.join(release, "qor_tools.dll")
    sp.write(tools, b"QOR tools library, release of " + sp.TOOLS_DATE.encode() + b"\n")
    sp.stamp(tools, sp.TOOLS_DATE)
    title = os.path.join(release, "Bilder", "titel.jpg")
    os.makedirs(os.path.dirname(title))
    shutil.copyfile(os.path.join(sp.ROOT, "window", "pictures", "lang_de_a.jpg"), title)
    sp.stamp(title, sp.TITLE_DATE)
    base = os.path.join(release, "SQLite3", "qor_base.db3")
    sp.write(base, b"QOR base data " + sp.BASE_DATE.encode() + b"\n")
    sp.stamp(base, sp.BASE_DATE + " 00:00:00")  # midnight: "ve=" carries the date alone
    sp.write(os.path.join(release, "qor_buch.db3"), b"an empty user database\n")
    sp.write(os.path.join(release, GONE), "Willkommen bei QOR software.\nWelcome to QOR software.\n")


def change_release(release):
    """One library newer, one picture replaced, one file removed."""
    tools = os.path.join(release, "qor_tools.dll")
    sp.write(tools, NEW_TOOLS[0])
    sp.stamp(tools, NEW_TOOLS[1])
    title = os.path.join(release, "Bilder", "titel.jpg")
    shutil.copyfile(os.path.join(sp.ROOT, "window", "pictures", "lang_en_a.jpg"), title)
    sp.stamp(title, NEW_TITLE_DATE)
    os.remove(os.path.join(release, GONE))


def write_settings(path, ftp_port, windows=False, key=None):
    # German with the test's captions (the flag the scripted user clicks),
    # English with the demo's; the colours the window is found by.
    lines = ["[program]", "main = " + main_program(windows),
             "update = " + (sp.WINDOWS_CLIENT if windows else sp.CLIENT), "",
             "[transfer]", "se = 127.0.0.1:%d" % ftp_port, "fo = /", "us = " + USER, "pa = " + PASSWORD]
    for lang, texts in (("de", dict(sp.CAPTIONS["de"], **screens.CAPTIONS)), ("en", sp.CAPTIONS["en"])):
        lines += ["", "[captions %s]" % lang] + ["%s = %s" % kv for kv in texts.items()]
        lines += ["%s = %d" % kv for kv in sp.COLOURS.items()]
    if key:
        lines += ["", "[signing]", "key = " + key]
    with open(path, "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")


def is_release_record(name):
    """A signed release's manifest or signature, beside the package files."""
    return name.startswith("qor-release-") and name.endswith((".manifest", ".sig"))


def publish(publisher, settings, release, *args):
    result = subprocess.run([publisher, "--settings", settings, *args, release], capture_output=True, text=True,
                            timeout=120)
    expect(result.returncode == 0, "qor_publish %s ended with %d:\n%s%s"
           % (" ".join(args), result.returncode, result.stdout, result.stderr))
    return result.stdout


def upload(publisher, settings, release, ftp, sequence=None):
    """Publishes; returns the names of the package files the upload stored
    (their final names). With `sequence`, the release went up signed: its
    signature, then its manifest, right before the catalogue."""
    mark = len(ftp.lines)
    publish(publisher, settings, release, "--upload", "--server", "127.0.0.1:%d" % ftp.ports["ftp"],
            "--user", USER, "--password", PASSWORD)
    stored = [line.split(" ", 2)[2] for line in ftp.log(mark) if line.startswith("COMMAND STOR ")]
    expect("~qor-upload-catalogue.json" in stored, "the upload sent no catalogue: %s" % stored)
    expect(stored[-1] == "~qor-upload-catalogue.json", "the catalogue went up before a file: %s" % stored)
    files = stored[:-1]
    if sequence is not None:
        signed = ["~qor-upload-qor-release-%d.sig" % sequence, "~qor-upload-qor-release-%d.manifest" % sequence]
        expect(files[-2:] == signed, "the signed release went up as %s, not %s before the catalogue"
               % (stored[-3:], signed))
        files = files[:-2]
    return sorted(name.split("-", 4)[4] for name in files)


def dry_run_lines(publisher, settings, release, published):
    """(kind, path) of every line of the dry run that names a change."""
    out = publish(publisher, settings, release, "--dry-run", "--published", os.path.join(published, "catalogue.json"))
    words = [line.split() for line in out.splitlines()]
    return out, sorted((w[0], w[1]) for w in words if len(w) >= 2 and w[0] in ("added", "changed", "removed"))


def run_client(sc, port, run):
    """One client run clicked through to the finish; returns the pages seen."""
    window = sc.start_client(port, run=run)
    watch = PageWatch(sc, window)
    click_flag(sc, window, watch)
    page = settled_page(watch, ("language",), STEP_TIMEOUT, "the first page of run %d" % run)
    while page != "finish":
        sc.shot(page)
        window.click(su.PAGE_BUTTON)
        page = settled_page(watch, (page, "package"), STEP_TIMEOUT, "the page after %s in run %d" % (page, run))
    finish(sc, window)
    wait_for(lambda: wait_for_note(sc.program).count("started") == run, 60, "start %d of the main application" % run)
    return watch.pages()


def is_date_versioned(path):
    name = os.path.basename(path)
    return name.endswith((".dll", ".jpg")) or name == "qor_base.db3"


def check_equals_release(release, program, before, windows):
    """The program folder holds the release's bytes, with the release's
    last-write times on the date-versioned files; the user's database as it was."""
    want, _ = file_state(release)
    have, _ = file_state(program)
    extra = set(have) - set(want) - client_files(windows)
    expect(not extra, "files in the program folder the release does not have: %s" % sorted(extra))
    for path, (data, mtime) in want.items():
        expect(path in have, "%s of the release is not in the program folder" % path)
        if os.path.basename(path) in checks.USER_DATABASES and path in before:
            expect(have[path] == before[path], "the user's database %s was changed" % path)
            continue
        expect(have[path][0] == data, "%s does not hold the release's bytes" % path)
        if is_date_versioned(path):
            expect(abs(have[path][1] - mtime) < 1,
                   "%s: last write %s, the release's %s" % (path, local(have[path][1]), local(mtime)))


def fetched(ftp, mark):
    """The package files a run fetched (a signed release's own files aside)."""
    return sorted(line[5:] for line in ftp.log(mark) if line.startswith("RETR ") and not is_release_record(line[5:]))


def verified(ftp, mark, sequence):
    """A keyed client fetched the newest release's manifest and signature."""
    got = [line[5:] for line in ftp.log(mark) if line.startswith("RETR ") and is_release_record(line[5:])]
    want = ["qor-release-%d.manifest" % sequence, "qor-release-%d.sig" % sequence]
    expect(sorted(got) == sorted(want), "the keyed client read %s of the signed release, not %s" % (got, want))


def local(seconds):
    return time.strftime("%Y-%m-%d %H:%M:%S", time.localtime(seconds))


def round_trip(sc, publisher, php, say=print, windows=False, key=None):
    """The whole way, in sc (an e2e Scenario: its program folder holds the
    older state, its work folder the rest); `windows`: sc runs the Windows
    client, and the release holds its main application; `key`: the vendor's
    private key file, whose public half sc's client was built with."""
    release, root = os.path.join(sc.work, "release"), os.path.join(sc.work, "ftp-root")
    settings = os.path.join(sc.work, "publish-settings.ini")
    os.makedirs(root)
    make_release(release, sc.work, windows)
    ftp = LoggedServer(sc.procs, [PYTHON, os.path.join(TOOLS, "ftp_server.py"), "--root", root, "--user", USER,
                                  "--password", PASSWORD, "--writable", "--log-commands"])
    write_settings(settings, ftp.ports["ftp"], windows, key)
    sent = upload(publisher, settings, release, ftp, 1 if key else None)
    names = sorted(os.path.basename(p) for p in file_state(release)[0])
    expect(sent == names, "the first upload sent %s, not every file of the release %s" % (sent, names))
    say("published %d files to the FTP server on port %d%s: %s"
        % (len(sent), ftp.ports["ftp"], ", signed as release 1" if key else "", ", ".join(sent)))
    host = PhpHost(php, sc.work, catalogue_dir=root, start=sc.procs.start)
    say("the PHP query script answers on port %d from the uploaded catalogue" % host.port)

    before, _ = file_state(sc.program)
    mark = len(ftp.lines)
    pages = run_client(sc, host.port, 1)
    if key:
        verified(ftp, mark, 1)
        expect(os.path.isfile(os.path.join(sc.program, ACCEPTED_RELEASE)), "the keyed client kept no accepted release")
    expect(pages[0] == "language" and pages[-1] == "finish" and "update" in pages, "first run, pages %s" % pages)
    check_equals_release(release, sc.program, before, windows)
    say("first run: pages %s; fetched %s; the program folder equals the release, the user's database kept"
        % (" > ".join(pages), ", ".join(fetched(ftp, mark))))

    mark = len(ftp.lines)
    state = file_state(sc.program)[0]
    pages = run_client(sc, host.port, 2)
    expect(pages == ["language", "finish"], "second run, nothing due, pages %s" % pages)
    expect(not fetched(ftp, mark), "the second run fetched %s" % fetched(ftp, mark))
    after = file_state(sc.program)[0]
    changed = sorted(p for p in set(state) | set(after) if p != checks.MAIN_APP_NOTE and state.get(p) != after.get(p))
    expect(not changed, "the second run changed %s" % changed)
    say("second run: pages %s; nothing fetched, nothing changed" % " > ".join(pages))

    change_release(release)
    out, plan = dry_run_lines(publisher, settings, release, root)
    want = [("changed", "Bilder\\titel.jpg"), ("changed", "qor_tools.dll"), ("removed", "Daten\\liesmich.txt")]
    expect(plan == want, "the dry run of the changed release names %s:\n%s" % (plan, out))
    say("dry run of the changed release:\n    " + out.strip().replace("\n", "\n    "))
    sent = upload(publisher, settings, release, ftp, 2 if key else None)
    expect(sent == ["qor_tools.dll", "titel.jpg"], "the second upload sent %s" % sent)
    say("uploaded: %s" % ", ".join(sent))

    mark = len(ftp.lines)
    before = file_state(sc.program)[0]
    pages = run_client(sc, host.port, 3)
    if key:
        verified(ftp, mark, 2)
    expect(pages == ["language", "update", "finish"], "third run, pages %s" % pages)
    got = fetched(ftp, mark)
    expect(got == ["qor_tools.dll", "titel.jpg"], "the third run fetched %s" % got)
    # The client leaves a file the release dropped: it may hold the user's work.
    gone = os.path.join(sc.program, GONE)
    expect(os.path.exists(gone), "the client removed %s, which the release dropped" % GONE)
    os.remove(gone)
    before.pop(GONE)
    check_equals_release(release, sc.program, before, windows)
    say("third run: pages %s; fetched exactly %s" % (" > ".join(pages), ", ".join(got)))
    log = host.log_text()
    expect(" [500]: " not in log and " [404]: " not in log, "the PHP script refused a query:\n" + log)
    expect("GET %s?art=update" % SCRIPT_PATH in log, "the client never asked the PHP script for the update list")
