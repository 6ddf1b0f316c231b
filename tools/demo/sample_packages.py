#!/usr/bin/python3
"""Makes the demo's sample package set and an older program folder.

    sample_packages.py PUBLISHED_DIR PROGRAM_DIR --client PATH [--windows]
    sample_packages.py PUBLISHED_DIR PROGRAM_DIR --client PATH --home-style [--ftp-port N]

PUBLISHED_DIR receives catalogue.json and the package files for
tools/update_server.py; PROGRAM_DIR receives a copy of the client and an
older state of the application: an outdated helper program, an outdated
library, the user's own database (which an update must never replace) and
one of the two package folders. Dates are written in the form the client
uses under LC_ALL=C.UTF-8 (yyyy-MM-dd HH:mm:ss), or in another form given.

--windows makes the same set for the Windows client: the client is
QOR_sync_PRO.exe, the main application QOR_software.exe, a Windows program
built by the MinGW cross compiler that notes its start and the window state
it was asked for, and dates take the British form (dd/MM/yyyy HH:mm:ss), the
form of the client on Windows and under Wine with LC_ALL=en_GB.UTF-8. (Wine's
German short date is d.M.yyyy, where Windows has dd.MM.yyyy; the British one
is the same on both.)

--home-style makes the set as the servers the client was written for write
it (home_style_packages.py): names in another letter case than the
folders on disk and with leading or doubled backslashes, a file name outside
ASCII, texts and listings in Windows-1252, German dates, and every answer
ending with a line break.
"""

import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

# The versions the server publishes. qor_base.db3 carries a midnight date,
# which the client writes without a time part.
HELPER_VERSION = "2.1.0.5"
HELPER_OLD_VERSION = "2.0.0.0"
TOOLS_DATE = "2026-11-30 10:00:00"
TOOLS_OLD_DATE = "2026-10-01 09:00:00"
TITLE_DATE = "2026-12-01 08:30:00"
BASE_DATE = "2026-12-01"
ICONS_DATE = "2026-11-15 09:00:00"
USER_DB_DATE = "2026-12-01 12:00:00"

# The library whose icon the desktop entry shows.
ICON_LIBRARY = "QOR_Icons.dll"
MAIN_PROGRAM = "QOR_software"
WINDOWS_MAIN_PROGRAM = "QOR_software.exe"
CLIENT = "QOR_sync_PRO"
WINDOWS_CLIENT = "QOR_sync_PRO.exe"
# strftime forms of "ve=" dates: with a time, and at midnight (no time part).
ISO_DATES = ("%Y-%m-%d %H:%M:%S", "%Y-%m-%d")
BRITISH_DATES = ("%d/%m/%Y %H:%M:%S", "%d/%m/%Y")
GERMAN_DATES = ("%d.%m.%Y %H:%M:%S", "%d.%m.%Y")
HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))

CAPTIONS = {
    "de": {
        "lab6_0": "QOR synchro center", "lab6_1": "Neue Programmordner",
        "lab6_2": "Zu installierende Dateien", "lab6_3": "Zu aktualisierende Dateien",
        "lab6_4": "Alles auf dem neuesten Stand", "com6_1": "Ordner anlegen",
        "com6_2": "Installieren", "com6_3": "Aktualisieren", "com6_4": "Programm starten",
    },
    "en": {
        "lab6_0": "QOR synchro center", "lab6_1": "New program folders",
        "lab6_2": "Files to install", "lab6_3": "Files to update",
        "lab6_4": "Everything is up to date", "com6_1": "Create folders",
        "com6_2": "Install", "com6_3": "Update", "com6_4": "Start program",
    },
}
# 0x00BBGGRR: a pale blue page, dark blue headings, white lists, dark text.
COLOURS = {"col_head": 0x00F0E0C8, "col_thead": 0x00603010, "col_list": 0x00FFFFFF, "col_tlist": 0x00282828}

MAIN_PROGRAM_SCRIPT = """#!/bin/sh
# The demo's main application: it notes that it was started, and where.
here=$(cd "$(dirname "$0")" && pwd)
echo "started $(date '+%Y-%m-%d %H:%M:%S') in $here" >> "$here/main_app_started.txt"
"""


def record(id_, fn, ve, pa, ar, st=0):
    return {"id": id_, "fn": fn, "ve": ve, "pa": pa, "ar": ar, "ja": 2026, "st": st}


def package_records(windows=False):
    """(install records, update records)."""
    files = [
        record(1, WINDOWS_MAIN_PROGRAM if windows else MAIN_PROGRAM, "", "", "bin"),
        record(2, "qor_helper.exe", HELPER_VERSION, "", "exe"),
        record(3, "qor_tools.dll", TOOLS_DATE, "", "dll"),
        record(4, "titel.jpg", TITLE_DATE, "Bilder", "jpg"),
        record(5, "qor_base.db3", BASE_DATE, "", "db3", st=10),
        record(6, "qor_buch.db3", USER_DB_DATE, "", "db3"),
        record(7, "liesmich.txt", "", "Daten", "txt"),
        record(8, ICON_LIBRARY, ICONS_DATE, "", "dll"),
    ]
    updates = [r for r in files if r["fn"] in ("qor_helper.exe", "qor_tools.dll", "titel.jpg", "qor_base.db3",
                                                "qor_buch.db3")]
    return files, updates


def build_helper_exe(version, out_path, work):
    """A small Windows program whose version resource says `version`."""
    numbers = version.replace(".", ",")
    rc = os.path.join(work, "helper.rc")
    src = os.path.join(work, "helper.cpp")
    obj = os.path.join(work, "helper.o")
    with open(rc, "w") as f:
        f.write('1 VERSIONINFO\nFILEVERSION %s\nPRODUCTVERSION %s\nBEGIN\n'
                ' BLOCK "StringFileInfo"\n BEGIN\n  BLOCK "040904b0"\n  BEGIN\n'
                '   VALUE "FileVersion", "%s\\0"\n  END\n END\n'
                ' BLOCK "VarFileInfo"\n BEGIN\n  VALUE "Translation", 0x409, 1200\n END\nEND\n'
                % (numbers, numbers, version))
    with open(src, "w") as f:
        f.write("int main() { return 0; }\n")
    subprocess.run(["x86_64-w64-mingw32-windres", rc, "-o", obj], check=True)
    subprocess.run(["x86_64-w64-mingw32-g++", "-Os", "-s", src, obj, "-o", out_path], check=True)


def build_icon_library(out_path, work):
    """A Windows library that carries the program's icon (the QOR logo) as its first icon group."""
    icon = os.path.join(ROOT, "app", "windows", "QOR_sync_PRO.ico")
    rc = os.path.join(work, "icons.rc")
    src = os.path.join(work, "icons.cpp")
    obj = os.path.join(work, "icons.o")
    with open(rc, "w") as f:
        f.write('1 ICON "%s"\n' % icon)
    with open(src, "w") as f:
        f.write("// Only its resources matter.\n")
    subprocess.run(["x86_64-w64-mingw32-windres", rc, "-o", obj], check=True)
    subprocess.run(["x86_64-w64-mingw32-g++", "-shared", "-Os", "-s", src, obj, "-o", out_path], check=True)


def build_windows_main_application(out_path):
    """The main application for the Windows client (see windows_main_application.cpp)."""
    subprocess.run(["x86_64-w64-mingw32-g++-posix", "-Os", "-s", "-static", "-municode", "-mwindows",
                    os.path.join(HERE, "windows_main_application.cpp"), "-o", out_path], check=True)


def date_text(iso, form):
    """An ISO "ve=" date (as the constants above) in another strftime form."""
    with_time = " " in iso
    parsed = time.strptime(iso, ISO_DATES[0] if with_time else ISO_DATES[1])
    return time.strftime(form[0] if with_time else form[1], parsed)


def ve_local_seconds(text):
    """A "ve=" date in the ISO, the British or the German form, as local time."""
    for form in ISO_DATES + BRITISH_DATES + GERMAN_DATES:
        try:
            return time.mktime(time.strptime(text, form))
        except ValueError:
            pass
    raise ValueError("%r is in none of the date forms" % text)


def write(path, content, mode=0o644):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(content if isinstance(content, bytes) else content.encode())
    os.chmod(path, mode)


def stamp(path, local_text):
    """Sets the last-write time the way the client reads it back (local time)."""
    t = time.mktime(time.strptime(local_text, "%Y-%m-%d %H:%M:%S"))
    os.utime(path, (os.stat(path).st_atime, t))


def make_published(root, work, windows=False, dates=ISO_DATES):
    os.makedirs(root, exist_ok=True)
    installs, updates = package_records(windows)
    # The update records are the install records of the same files: each once.
    for r in installs:
        if r["ar"] in ("dll", "jpg", "db3") and r["ve"]:
            r["ve"] = date_text(r["ve"], dates)
    main_program = WINDOWS_MAIN_PROGRAM if windows else MAIN_PROGRAM
    if windows:
        build_windows_main_application(os.path.join(root, main_program))
    else:
        write(os.path.join(root, main_program), MAIN_PROGRAM_SCRIPT, 0o755)
    build_helper_exe(HELPER_VERSION, os.path.join(root, "qor_helper.exe"), work)
    build_icon_library(os.path.join(root, ICON_LIBRARY), work)
    write(os.path.join(root, "qor_tools.dll"), b"QOR tools library, release of " + TOOLS_DATE.encode() + b"\n")
    shutil.copyfile(os.path.join(ROOT, "window", "pictures", "lang_de_a.jpg"), os.path.join(root, "titel.jpg"))
    write(os.path.join(root, "qor_base.db3"), b"QOR base data " + BASE_DATE.encode() + b"\n")
    write(os.path.join(root, "qor_buch.db3"), b"an empty user database\n")
    write(os.path.join(root, "liesmich.txt"), "Willkommen bei QOR software.\nWelcome to QOR software.\n")
    captions = {lang: dict(texts, **COLOURS) for lang, texts in CAPTIONS.items()}
    catalogue = {
        "captions": captions,
        "settings": {"fo": "/", "us": "qor", "pa": "demo"},
        "new": ["Bilder", "Daten", "SQLite3"],
        "install": installs,
        "update": updates,
        "mainprogram": main_program,
        "updaprogram": WINDOWS_CLIENT if windows else CLIENT,
    }
    with open(os.path.join(root, "catalogue.json"), "w") as f:
        json.dump(catalogue, f, indent=2, ensure_ascii=False)


def make_program_folder(folder, client, work, windows=False):
    """The application as the user has it before the update."""
    os.makedirs(os.path.join(folder, "Daten"), exist_ok=True)
    shutil.copy2(client, os.path.join(folder, WINDOWS_CLIENT if windows else CLIENT))
    build_helper_exe(HELPER_OLD_VERSION, os.path.join(folder, "qor_helper.exe"), work)
    tools = os.path.join(folder, "qor_tools.dll")
    write(tools, b"QOR tools library, release of " + TOOLS_OLD_DATE.encode() + b"\n")
    stamp(tools, TOOLS_OLD_DATE)
    write(os.path.join(folder, "qor_buch.db3"), b"the user's own bookings: must survive every update\n")


def make_home_style(args):
    import home_style_packages as home

    if args.windows:
        raise SystemExit("--home-style is a set for the Linux client")
    with tempfile.TemporaryDirectory() as work:
        home.make_published(args.published, work)
        home.write_answers(args.published, args.ftp_port)
        home.make_program_folder(args.program, args.client, work)
    print("Start the update server with: --root %s --ftp-port %d %s; run the client with LC_ALL=%s"
          % (args.published, args.ftp_port, " ".join(home.SERVER_ARGS), home.LOCALE))
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("published")
    parser.add_argument("program")
    parser.add_argument("--client", required=True, help="the built QOR_sync_PRO executable")
    parser.add_argument("--windows", action="store_true", help="the set for the Windows client")
    parser.add_argument("--home-style", action="store_true",
                        help="the set as the servers the client was written for write it (home_style_packages.py)")
    parser.add_argument("--ftp-port", type=int, default=2121,
                        help="with --home-style: the FTP port the update server will be started with")
    args = parser.parse_args()
    if args.home_style:
        return make_home_style(args)
    with tempfile.TemporaryDirectory() as work:
        make_published(args.published, work, args.windows, BRITISH_DATES if args.windows else ISO_DATES)
        make_program_folder(args.program, args.client, work, args.windows)
    return 0


if __name__ == "__main__":
    sys.exit(main())
