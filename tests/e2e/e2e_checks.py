"""Checks of what a run left on disk: package files, stamps, the user's
database, the desktop entry and the main application's note."""

import json
import os
import time

from e2e_support import expect, sample_packages

USER_DATABASES = ("qor_buch.db3", "qor_data_1.db3")
DESKTOP_ENTRY = os.path.join("Desktop", "QOR_software_PRO.desktop")
MAIN_APP_NOTE = "main_app_started.txt"


def catalogue(published):
    with open(os.path.join(published, "catalogue.json"), encoding="utf-8") as f:
        return json.load(f)


def set_ftp_server(published, address):
    """Publishes another FTP server than the update server's own."""
    c = catalogue(published)
    c["settings"]["se"] = address
    with open(os.path.join(published, "catalogue.json"), "w", encoding="utf-8") as f:
        json.dump(c, f, indent=2, ensure_ascii=False)


def set_version(published, name, version):
    """Publishes a new "ve=" for every record of the file."""
    c = catalogue(published)
    for r in c["install"] + c["update"]:
        if r["fn"] == name:
            r["ve"] = version
    with open(os.path.join(published, "catalogue.json"), "w", encoding="utf-8") as f:
        json.dump(c, f, indent=2, ensure_ascii=False)


def records(published):
    """Every package record of the install and update lists, once per file."""
    c = catalogue(published)
    seen = {}
    for r in c["install"] + c["update"]:
        seen.setdefault(r["fn"], r)
    return list(seen.values())


def place(record):
    """Where the record's file belongs, relative to the program folder."""
    folder = record.get("pa", "")
    if int(record.get("st", 0)) == 10:
        folder = os.path.join(folder, "SQLite3")
    return os.path.normpath(os.path.join(folder, record["fn"]))


def is_date_stamped(record):
    return record["ar"] in ("dll", "jpg") or (record["ar"] == "db3" and record["fn"] == "qor_base.db3")


def local_seconds(version):
    """A "ve=" date (the client's form on Linux or on Windows) as local time."""
    return sample_packages.ve_local_seconds(version)


def published_bytes(published, name):
    with open(os.path.join(published, name), "rb") as f:
        return f.read()


def check_installed(published, before, after):
    """Every listed file in place with the published bytes and its stamp; an
    existing user database untouched."""
    for r in records(published):
        path = place(r)
        expect(path in after, "%s was not installed at %s" % (r["fn"], path))
        data, mtime = after[path]
        if r["fn"] in USER_DATABASES and path in before:
            expect(after[path] == before[path], "the user's database %s was changed" % path)
            continue
        expect(data == published_bytes(published, r["fn"]),
               "%s does not hold the published bytes (%d bytes on disk)" % (path, len(data)))
        if is_date_stamped(r):
            want = local_seconds(r["ve"])
            expect(abs(mtime - want) < 1, "%s is stamped %s, not %s (its version date)"
                   % (path, time.strftime("%Y-%m-%d %H:%M:%S", time.localtime(mtime)), r["ve"]))


def check_nothing_damaged(published, before, after):
    """After failed transfers: every file is as before or completely the
    published version; nothing partial or temporary is left."""
    for path, (data, mtime) in after.items():
        name = os.path.basename(path)
        is_published = os.path.exists(os.path.join(published, name)) and data == published_bytes(published, name)
        if path in before:
            if name in USER_DATABASES:
                expect(after[path] == before[path], "the user's database %s was changed" % path)
            expect(data == before[path][0] or is_published,
                   "%s is damaged: neither the old nor the published bytes (%d bytes)" % (path, len(data)))
        else:
            expect(is_published, "a partial or temporary file was left: %s (%d bytes)" % (path, len(data)))
    for path in before:
        expect(path in after, "%s, which existed before, is gone" % path)


def check_desktop_entry(home, program, icon_library=False):
    """With icon_library, the set published the icon library: the entry's icon is
    its picture, written as a PNG into the user's icon theme; without, the entry
    names the library, which is not there."""
    path = os.path.join(home, DESKTOP_ENTRY)
    expect(os.path.isfile(path), "no desktop entry at %s" % path)
    with open(path, encoding="utf-8") as f:
        lines = f.read().splitlines()
    expect(lines[:1] == ["[Desktop Entry]"], "the desktop entry lacks its group header: %r" % lines[:1])
    values = dict(line.split("=", 1) for line in lines[1:] if "=" in line)
    want = {"Type": "Application", "Exec": '"%s/QOR_software"' % program, "Path": program}
    if not icon_library:
        want["Icon"] = program + "/QOR_Icons.dll"
    for key, value in want.items():
        expect(values.get(key) == value, "desktop entry %s=%r, expected %r" % (key, values.get(key), value))
    if icon_library:
        icon = values.get("Icon", "")
        theme = os.path.join(home, ".local", "share", "icons", "hicolor") + os.sep
        expect(icon.startswith(theme) and icon.endswith("/apps/QOR_software_PRO.png"),
               "desktop entry Icon=%r, expected a picture in %s" % (icon, theme))
        expect(os.path.isfile(icon), "the entry's icon %s is not there" % icon)
        with open(icon, "rb") as f:
            expect(f.read(8) == b"\x89PNG\r\n\x1a\n", "the entry's icon %s is no PNG" % icon)
    others = sorted(set(os.listdir(os.path.dirname(path))) - {os.path.basename(path)})
    expect(not others, "other files on the desktop: %s" % others)
