"""The sample package set as the update servers the client was written for
publish it, and an older program folder made on their platform.

Those servers match file names regardless of letter case, read a doubled
backslash as one separator, write their texts and FTP listings in
Windows-1252 and their dates in German, and end their answers with a line
break after the last field. The set has each of these habits:

- the answers whose last field is a number end with "\\r\\n" after it: the
  captions (their last colour) and both package lists (the last record's
  "st=10"); so do the transfer settings, whose line break is no part of the
  password written last. A line break after another text stays part of that
  text (the check's "ok" followed by one is no "ok"), so the check and the
  new folders end without one, as such servers must write them;
- "new" lists "\\Bilder", "\\Daten" and "\\Daten\\Archiv" while the program
  folder has "Bilder" and "daten"; "pa=" names "\\bilder", "\\Daten" and
  "\\daten\\\\archiv";
- "mainprogram=" is "\\qor_Software" for the file "QOR_software";
- the user's database is "QOR_Buch.db3" on disk and "qor_buch.db3" on the
  server;
- "Grüße.txt" is named in Windows-1252 in the answers and in the FTP
  listing (start the update server with SERVER_ARGS);
- "ve=" dates are German (dd.MM.yyyy HH:mm:ss), and the client runs under
  LOCALE, whose own form is another.

The answers are the update server's byte-for-byte answers (the catalogue's
"answers"), rendered from the catalogue by the server's own code, so the
catalogue still says what is published. The password's answer names the
FTP port: write_answers runs again once the server has its port.
"""

import json
import os
import shutil
import sys

import sample_packages as sp

HERE = os.path.dirname(os.path.abspath(__file__))
TOOLS = os.path.dirname(HERE)

# The client's locale: its own date form (M/d/yyyy h:mm:ss AP) is not the
# server's.
LOCALE = "en_US.UTF-8"
# The FTP side names its files in Windows-1252, as the servers do.
SERVER_ARGS = ("--ftp-fault", "charset=windows-1252")
CHARSET = "windows-1252"
LINE_END = "\r\n"

TOOLS_DATE = "30.11.2026 10:00:00"
TOOLS_OLD_DATE = "2026-10-01 09:00:00"
TITLE_DATE = "01.12.2026 08:30:00"
BASE_DATE = "01.12.2026"  # midnight: the German form without its time part
USER_DB_DATE = "01.12.2026 12:00:00"
GREETING = "Grüße.txt"
MAIN_PROGRAM_NAME = "\\qor_Software"
USER_DATABASE_ON_DISK = "QOR_Buch.db3"
# Folders the older program folder has, in the letter case it has them.
FOLDERS_ON_DISK = ("Bilder", "daten")
NEW_FOLDERS = ["\\Bilder", "\\Daten", "\\Daten\\Archiv", "SQLite3"]

# Where each published file must end up, relative to the program folder, in
# the letter case of the folders on disk.
PLACES = {
    sp.MAIN_PROGRAM: "QOR_software",
    "qor_helper.exe": "qor_helper.exe",
    "qor_tools.dll": "qor_tools.dll",
    "titel.jpg": "Bilder/titel.jpg",
    "qor_buch.db3": USER_DATABASE_ON_DISK,
    "liesmich.txt": "daten/liesmich.txt",
    GREETING: "daten/Archiv/" + GREETING,
    "qor_base.db3": "SQLite3/qor_base.db3",
}
# Every folder of the program folder after a run, as it stands on disk.
FOLDERS_AFTER = ("Bilder", "SQLite3", "daten", "daten/Archiv")
# Files the older program folder has that no download may change.
UNTOUCHED = (USER_DATABASE_ON_DISK,)


def package_records():
    """(install records, update records). The base database, placed in
    SQLite3/, closes both lists, so "st=10" carries the answer's line break."""
    r = sp.record
    installs = [
        r(1, sp.MAIN_PROGRAM, "", "", "bin"),
        r(2, "qor_helper.exe", sp.HELPER_VERSION, "", "exe"),
        r(3, "qor_tools.dll", TOOLS_DATE, "", "dll"),
        r(4, "titel.jpg", TITLE_DATE, "\\bilder", "jpg"),
        r(5, "qor_buch.db3", USER_DB_DATE, "", "db3"),
        r(6, "liesmich.txt", "", "\\Daten", "txt"),
        r(7, GREETING, "", "\\daten\\\\archiv", "txt"),
        r(8, "qor_base.db3", BASE_DATE, "", "db3", st=10),
    ]
    updates = [x for x in installs if x["fn"] in ("qor_helper.exe", "qor_tools.dll", "titel.jpg", "qor_buch.db3",
                                                  "qor_base.db3")]
    return installs, updates


def make_published(root, work):
    os.makedirs(root, exist_ok=True)
    installs, updates = package_records()
    sp.write(os.path.join(root, sp.MAIN_PROGRAM), sp.MAIN_PROGRAM_SCRIPT, 0o755)
    sp.build_helper_exe(sp.HELPER_VERSION, os.path.join(root, "qor_helper.exe"), work)
    sp.write(os.path.join(root, "qor_tools.dll"), b"QOR tools library, release of " + TOOLS_DATE.encode() + b"\n")
    shutil.copyfile(os.path.join(sp.ROOT, "window", "pictures", "lang_de_a.jpg"), os.path.join(root, "titel.jpg"))
    sp.write(os.path.join(root, "qor_base.db3"), b"QOR base data " + BASE_DATE.encode() + b"\n")
    sp.write(os.path.join(root, "qor_buch.db3"), b"an empty user database\n")
    sp.write(os.path.join(root, "liesmich.txt"), "Willkommen bei QOR software.\r\nWelcome to QOR software.\r\n")
    sp.write(os.path.join(root, GREETING), "Viele Grüße aus dem Büro.\r\n".encode(CHARSET))
    catalogue = {
        "captions": {lang: dict(texts, **sp.COLOURS) for lang, texts in sp.CAPTIONS.items()},
        "settings": {"fo": "/", "us": "qor", "pa": "demo"},
        "new": NEW_FOLDERS,
        "install": installs,
        "update": updates,
        "mainprogram": MAIN_PROGRAM_NAME,
        "updaprogram": sp.CLIENT,
        "charset": CHARSET,
    }
    with open(os.path.join(root, "catalogue.json"), "w", encoding="utf-8") as f:
        json.dump(catalogue, f, indent=2, ensure_ascii=False)


# The answers that end with the line break: those whose last field is a
# number, and the transfer settings.
ENDED_WITH_LINE_BREAK = ("caption", "sw_update", "install", "update")


def write_answers(root, ftp_port):
    """Renders every answer of the catalogue as the server's own code does,
    ends those of ENDED_WITH_LINE_BREAK with the line break and writes each
    in the catalogue's code page;
    the catalogue then answers with these bytes. Run again after a change of
    the catalogue, or once the FTP port is known."""
    sys.path.insert(0, TOOLS)
    import update_server

    path = os.path.join(root, "catalogue.json")
    catalogue = update_server.Catalogue(path, root, {}, {})
    catalogue.ftp_port = ftp_port
    data = catalogue.load()
    data.pop("answers", None)
    queries = [("check", {"was": "ab"})] + [("caption." + lang, {"was": lang}) for lang in data["captions"]]
    queries += [(q, {}) for q in ("sw_update", "new", "install", "update")]
    folder = os.path.join(root, "answers")
    os.makedirs(folder, exist_ok=True)
    answers = {}
    for key, params in queries:
        query = key.split(".")[0]
        text = catalogue.answer(data, query, params) + (LINE_END if query in ENDED_WITH_LINE_BREAK else "")
        with open(os.path.join(folder, key), "wb") as f:
            f.write(text.encode(data["charset"]))
        answers[key] = os.path.join("answers", key)
    data["answers"] = answers
    with open(path, "w", encoding="utf-8") as f:
        json.dump(data, f, indent=2, ensure_ascii=False)


def make_program_folder(folder, client, work):
    """The application as the user has it before the update, with folders
    and the user's database in the letter case its platform made them."""
    for name in FOLDERS_ON_DISK:
        os.makedirs(os.path.join(folder, name), exist_ok=True)
    shutil.copy2(client, os.path.join(folder, sp.CLIENT))
    sp.build_helper_exe(sp.HELPER_OLD_VERSION, os.path.join(folder, "qor_helper.exe"), work)
    tools = os.path.join(folder, "qor_tools.dll")
    sp.write(tools, b"QOR tools library, release of " + TOOLS_OLD_DATE.encode() + b"\n")
    sp.stamp(tools, TOOLS_OLD_DATE)
    sp.write(os.path.join(folder, USER_DATABASE_ON_DISK), b"the user's own bookings: must survive every update\n")


def is_date_stamped(record):
    return record["ar"] in ("dll", "jpg") or record["fn"] == "qor_base.db3"


def placement_problems(published, program, before):
    """What is wrong with the program folder after a run, one text per fault
    (empty when every file is in its place with the published bytes and its
    stamp, the user's database as it was, and no folder or file beside them)."""
    problems = []
    installs, updates = package_records()
    dates = {r["fn"]: r["ve"] for r in installs + updates if is_date_stamped(r)}
    files, folders = set(), set()
    for base, dirs, names in os.walk(program):
        folders.update(os.path.relpath(os.path.join(base, d), program) for d in dirs)
        files.update(os.path.relpath(os.path.join(base, n), program) for n in names)
    if folders != set(FOLDERS_AFTER):
        problems.append("folders %s, expected %s" % (sorted(folders), sorted(FOLDERS_AFTER)))
    for name, place in PLACES.items():
        path = os.path.join(program, place)
        if not os.path.isfile(path):
            problems.append("%s is not at %s" % (name, place))
            continue
        with open(path, "rb") as f:
            data = f.read()
        if place in UNTOUCHED:
            if data != before.get(place):
                problems.append("the user's database %s was changed" % place)
            continue
        with open(os.path.join(published, name), "rb") as f:
            if data != f.read():
                problems.append("%s does not hold the published bytes" % place)
        if name in dates and abs(os.stat(path).st_mtime - sp.ve_local_seconds(dates[name])) >= 1:
            problems.append("%s is not stamped with %s" % (place, dates[name]))
    expected = set(PLACES.values()) | {sp.CLIENT, "main_app_started.txt"}
    if files - expected:
        problems.append("files nobody asked for: %s" % sorted(files - expected))
    return problems


def untouched_bytes(program):
    """The bytes of the files no run may change, before a run."""
    out = {}
    for place in UNTOUCHED:
        with open(os.path.join(program, place), "rb") as f:
            out[place] = f.read()
    return out
