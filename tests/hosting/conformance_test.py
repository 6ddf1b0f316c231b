#!/usr/bin/python3
"""The PHP query script against the bundled update server: both read the
same catalogue, both are asked the same requests (every query, and malformed
ones), and each answer's status and body bytes must be equal. A few
catalogue shapes the bundled server answers only by accident of its
language, and answer files outside the catalogue's folder, are refused by
the script instead (500); those cases check the script alone.

    conformance_test.py [--php PATH]     (exit 77: no php, skipped)
"""

import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from php_host import ROOT, SCRIPT_PATH, SKIP, PhpHost, ask, find_php  # noqa: E402

PHP = None
Q = SCRIPT_PATH.encode() + b"?"

# Every query the client sends.
QUERIES = [b"art=check&was=ab", b"art=caption&was=de", b"art=caption&was=en", b"art=sw_update", b"art=new",
           b"art=install", b"art=update"]

# Requests the client never sends, each read the same way by both.
MALFORMED = [
    b"", b"art=", b"art", b"art=CHECK", b"art=unknown", b"art=check", b"art=check&was=AB", b"art=check&was=ab%20",
    b"art=caption", b"art=caption&was=", b"art=caption&was=xx",
    # doubled parameters: the last one counts
    b"art=check&art=new", b"art=caption&was=en&was=de", b"was=ab&art=check", b"art=new&art=",
    # separators and escapes
    b"&&art=check&&was=ab&&", b"art=check;was=ab", b"art=%63heck&was=%61b", b"%61rt=new", b"art=new+",
    b"art+=new", b"art=new%00", b"art%00=new", b"art[]=new", b"art=new&art[]=check", b"art=check&was=ab#fragment",
    b"art=new%", b"art=new%2", b"art=%zznew", b"art==new", b"art=new=",
    # odd bytes: percent-escaped UTF-8 (whole, cut short, ill-formed) and raw bytes
    b"art=caption&was=d%C3%BC", b"art=caption&was=%FF%FE",
    b"art=caption&was=%ED%A0%80", b"art=caption&was=%E2%82", b"art=caption&was=%E2%82%41",
    b"art=caption&was=%F0%9F%98%80",
    b"art=caption&was=%F4%90%80%80", b"art=caption&was=%C0%AF", b"art=caption&was=%EF%BF%BD", b"art=caption&was=%7F%01",
    b"art=c%C3%A4ption&was=de",
    # long query strings
    b"art=new&pad=" + b"x" * 6000, b"art=caption&was=" + b"d" * 3000, b"art=" + b"new&" * 1500,
    # paths from the query are never opened
    b"art=caption&was=../catalogue", b"art=caption&was=..%2F..%2F..%2Fetc%2Fpasswd", b"art=../catalogue.json",
    b"art=caption&was=/etc/passwd",
]

# Raw bytes above 0x7F in the target: PHP's test server closes the connection
# on them, other web servers pass them on; the script is run on them directly.
RAW_BYTES = [b"art=caption&was=d\xfc", b"art=caption&was=d\xc3\xbc", b"art=caption&was=\xff%41",
             b"art=caption&was=%C3\xbc", b"art=\xe9&was=de"]

# Other ways to the script: the path must be the script's own, exactly.
PATHS = [
    SCRIPT_PATH.encode() + b"?art=new",
    b"//php_scripts/qor_sw_setup_manager.php?art=new",
    b"///php_scripts/qor_sw_setup_manager.php?art=check&was=ab",
    b"/php_scripts/qor_sw_setup_manager.php/extra?art=new",
    b"/php_scripts/qor_sw_setup_manager.php/../qor_sw_setup_manager.php?art=new",
    b"/php_scripts/../php_scripts/qor_sw_setup_manager.php?art=new",
    b"/php_scripts/./qor_sw_setup_manager.php?art=new",
    b"/php_scripts/qor%5Fsw_setup_manager.php?art=new",
    b"http://127.0.0.1/php_scripts/qor_sw_setup_manager.php?art=new",
]

# Paths the script never sees: the web server's own 404 on the PHP side.
OTHER_PATHS = [b"/", b"/php_scripts/", b"/php_scripts/catalogue.json", b"/catalogue.json", b"/index.php",
               b"/php_scripts/../catalogue.json", b"/php_scripts/qor_sw_setup_manager.PHP?art=new",
               b"/php_scripts/other.php?art=new", b"/php_scripts/qor_sw_setup_manager.php%3Fart=new",
               b"/php_scripts/.user.ini/../catalogue.json"]

CAPTIONS = {
    "de": {"lab6_0": "Aktualisierung für Grüße", "lab6_1": "Neue Ordner", "com6_1": "Ordner anlegen",
           "com6_4": "Beenden – fertig", "col_head": 12632256, "col_thead": 0, "col_list": 16777215,
           "col_tlist": -1, "lab6_2": "Preis: 5 € „neu“ ‚alt‘ Œuvre ™ …"},
    "en": {"lab6_0": "Update", "com6_4": "Finish"},
    "dü": {"lab6_0": "Umlaut key"},
    "\ufffd": {"lab6_0": "one replacement character"},
    "\ufffd\ufffd\ufffd": {"lab6_0": "three replacement characters"},
    "d\ufffdA": {"lab6_0": "cut short, then A"},
    "\U0001F600": {"lab6_0": "an emoji key"},
    "": {"lab6_0": "the empty key"},
    "../catalogue": {"lab6_0": "a key that looks like a path"},
}

FULL = {
    "captions": CAPTIONS,
    "settings": {"se": "ftp.example.com", "fo": "/pub/Größe", "us": "qor", "pa": "p|a=ß"},
    "new": ["Bilder", "Daten", "Größe", " space", "Daten\\Archiv"],
    "install": [
        {"id": 1, "fn": "QOR_software.exe", "ve": "1.2.0.0", "pa": "", "ar": "exe", "ja": 2026, "st": 0},
        {"st": 10, "ar": "db3", "fn": "qor_base.db3", "pa": "", "ve": "01.12.2026 08:00:00", "id": 2, "ja": 2026},
        "id=3|fn=verbatim.txt|ve=|pa=Daten|ar=txt|ja=2026|st=0",
    ],
    "update": [
        {"id": 4, "fn": "Grüße.txt", "ve": "05.12.2026 16:45:30", "pa": "Daten", "ar": "txt", "ja": 2026, "st": 0,
         "extra": "not sent"},
        "  ",
        {"id": 5, "fn": "qor_tools.dll", "ve": "02.12.2026 10:00:00", "pa": "", "ar": "dll", "ja": 2026, "st": 0},
    ],
    "mainprogram": "QOR_software.exe",
    "updaprogram": "QOR_sync.exe",
}

FLOATS = [0.1, 0.5, 2.5, 100.0, 1e15, 1e16, 1.5e16, 123456789012345678.0, 1e-4, 1e-5, 1.5e-7, 5e-324,
          1.7976931348623157e308, 0.30000000000000004, 1e22, -0.0, -2.75, 1e100, 9.999999999999999e15, 1234.5678]


def with_(base, **changes):
    data = json.loads(json.dumps(base))
    data.update(changes)
    return data


# name -> (catalogue: a dict written as JSON or the file's bytes, answer files)
CATALOGUES = {
    "utf-8, umlauts, records as objects and strings": (FULL, {}),
    "windows-1252": (with_(FULL, charset="windows-1252"), {}),
    "charset names": (with_(FULL, charset="Windows_1252"), {}),
    "charset UTF8": (with_(FULL, charset="UTF8"), {}),
    "charset cp1252": (with_(FULL, charset="cp1252"), {}),
    "windows-1252 lacks a character": (with_(FULL, charset="windows-1252",
                                             captions={"de": {"lab6_0": "Pfeil →"}, "en": {"lab6_0": "ok"}},
                                             new=["Bilder", "\u0081"]), {}),
    "unknown charset": (with_(FULL, charset="klingon"), {}),
    "charset not a text": (with_(FULL, charset=1252), {}),
    "missing fields": ({"settings": {"se": "h"}, "install": [{"fn": "a.exe"}, {}, {"ve": "1", "zz": 1}],
                        "update": [{"id": 7}], "mainprogram": "m.exe"}, {}),
    "values of every kind": ({"settings": {"se": 1.5, "fo": None, "us": True, "pa": 12345678901234567890},
                              "captions": {"de": {"f%d" % i: v for i, v in enumerate(FLOATS)},
                                           "en": {"t": True, "f": False, "n": None, "i": -7,
                                                  "big": 123456789012345678901234567890}},
                              "install": [{"id": 1.0, "fn": "x", "ve": 1.25, "pa": None, "ar": False, "ja": 2026.0,
                                           "st": -0.0}],
                              "mainprogram": None, "updaprogram": 3}, {}),
    "empty lists": ({"captions": {}, "settings": {"se": "h"}, "new": [], "install": [], "update": []}, {}),
    "empty caption lists": ({"captions": {"de": {}, "en": {}}, "settings": {"se": "h"}, "update": [],
                             "mainprogram": ""}, {}),
    "settings order and line end": ({"settings": {"se": "h", "fo": "/", "us": "u", "pa": "p", "order": ["us", "se"],
                                                  "end": "\r\n"}}, {}),
    "settings in no order": ({"settings": {"se": "", "order": [], "end": "|"}}, {}),
    "settings field twice": ({"settings": {"se": "h", "order": ["se", "fo", "se"]}}, {}),
    "check answer": ({"check": "ok\r\n", "settings": {"se": "h"}}, {}),
    "answer files": ({"settings": {"se": "h"}, "captions": {"de": {"lab6_0": "from the catalogue"}},
                      "answers": {"check": "answers/check.txt", "caption.de": "answers/caption-de.bin",
                                  "caption": "answers/caption.bin", "install": "answers/../answers/install.txt"}},
                     {"answers/check.txt": b"ok", "answers/caption-de.bin": b"lab6_0|\xc4rger||col_head|255\r\n",
                      "answers/caption.bin": b"lab6_0|\xff\xfe", "answers/install.txt": b"fn=a|ve=\x80"}),
    "answer file missing": ({"settings": {"se": "h"}, "answers": {"new": "answers/missing.txt"}}, {}),
    "answers an empty list": ({"settings": {"se": "h"}, "answers": []}, {}),
    # broken: the queries that read the broken part answer 500
    "not JSON": (b"{\"captions\": ", {}),
    "a JSON list": (b"[1, 2]", {}),
    "a byte-order mark": (b"\xef\xbb\xbf{}", {}),
    "ill-formed UTF-8": (b"{\"new\": [\"\xfc\"]}", {}),
    "an empty file": (b"", {}),
    "captions not an object": ({"captions": [], "settings": {"se": "h"}}, {}),
    "a caption list not an object": ({"captions": {"de": "x", "en": []}, "settings": {"se": "h"}}, {}),
    "settings not an object": ({"settings": "se=h"}, {}),
    "settings order unknown": ({"settings": {"se": "h", "order": ["se", "xx"]}}, {}),
    "settings end not a text": ({"settings": {"se": "h", "end": 5}}, {}),
    "settings order null": ({"settings": {"se": "h", "order": None}}, {}),
    "new holds a number": ({"new": ["a", 1], "settings": {"se": "h"}}, {}),
    "new null": ({"new": None, "settings": {"se": "h"}}, {}),
    "a record a number": ({"install": [5], "update": [None], "settings": {"se": "h"}}, {}),
    "check not a text": ({"check": 1, "settings": {"se": "h"}}, {}),
    "answers a text": ({"answers": "x", "settings": {"se": "h"}}, {}),
    "answer path not a text": ({"answers": {"new": 5}, "settings": {"se": "h"}}, {}),
}

# Shapes the bundled server answers only by accident, and answer files
# outside the catalogue's folder: the script answers 500 for these queries.
REFUSED = {
    "answer file outside the folder": ({"answers": {"install": "../outside.txt", "new": "/etc/hostname",
                                                    "update": "answers/link.txt"}}, [b"art=install", b"art=new",
                                                                                      b"art=update"]),
    "a list inside a record": ({"install": [{"fn": ["a", "b"]}], "captions": {"de": {"x": {"y": 1}}},
                                "mainprogram": ["m"]}, [b"art=install", b"art=caption&was=de", b"art=update"]),
    "a text where a list belongs": ({"new": "Bilder", "install": {"a": 1}, "settings": {"order": "se"}},
                                    [b"art=new", b"art=install", b"art=sw_update"]),
    "answers as a list of pairs": ({"answers": [["new", "x.txt"]]}, [b"art=new"]),
}


def write_catalogue(folder, catalogue, files):
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    with open(os.path.join(folder, "catalogue.json"), "wb") as f:
        f.write(catalogue if isinstance(catalogue, bytes) else json.dumps(catalogue, ensure_ascii=False).encode())
    for name, content in files.items():
        path = os.path.join(folder, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(content)


class Servers:
    """The bundled server and the PHP script on one catalogue folder."""

    def __init__(self, work):
        self.catalogues = os.path.join(work, "catalogue")
        write_catalogue(self.catalogues, FULL, {})
        self.python_log = open(os.path.join(work, "update-server.log"), "w+")
        self.python = subprocess.Popen(["/usr/bin/python3", os.path.join(ROOT, "tools", "update_server.py"),
                                        "--root", self.catalogues, "--no-ftp"],
                                       stdout=self.python_log, stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
        self.python_port = self._python_port()
        self.php = PhpHost(PHP, work, catalogue_dir=self.catalogues)

    def _python_port(self):
        deadline = time.monotonic() + 30
        while time.monotonic() < deadline:
            self.python_log.seek(0)
            lines = self.python_log.read().split("\n")
            if "READY" in lines:
                return int(next(line for line in lines if line.startswith("LISTENING http")).split()[2])
            if self.python.poll() is not None:
                break
            time.sleep(0.05)
        raise RuntimeError("tools/update_server.py did not start")

    def stop(self):
        self.php.stop()
        self.python.terminate()
        self.python.wait(timeout=10)
        self.python_log.close()


class Conformance(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="qor-hosting-")
        cls.servers = Servers(cls.work)

    @classmethod
    def tearDownClass(cls):
        cls.servers.stop()
        shutil.rmtree(cls.work, ignore_errors=True)

    def both(self, target):
        python = ask(self.servers.python_port, target)
        php = ask(self.servers.php.port, target)
        return python, php

    def assert_same(self, targets, label):
        for target in targets:
            with self.subTest(catalogue=label, request=target[:120]):
                (py_status, _, py_body), (php_status, php_headers, php_body) = self.both(target)
                self.assertEqual((php_status, php_body), (py_status, py_body))
                self.assertEqual(int(php_headers["content-length"]), len(php_body))

    def test_every_catalogue_every_request(self):
        """Status and bytes equal for every query and malformed request,
        catalogue by catalogue."""
        requests = [Q + q for q in QUERIES + MALFORMED] + PATHS
        for label, (catalogue, files) in CATALOGUES.items():
            write_catalogue(self.servers.catalogues, catalogue, files)
            self.assert_same(requests, label)

    def test_raw_bytes_in_the_target(self):
        """Bytes above 0x7F, not escaped, read as the bundled server reads
        them (ISO-8859-1), wherever a web server lets them through."""
        for label in ("utf-8, umlauts, records as objects and strings", "windows-1252"):
            write_catalogue(self.servers.catalogues, *CATALOGUES[label])
            for query in RAW_BYTES:
                with self.subTest(catalogue=label, request=query):
                    py_status, _, py_body = ask(self.servers.python_port, Q + query)
                    run = subprocess.run([PHP, "-n", os.path.join(HERE, "raw_request.php"),
                                          os.path.join(ROOT, "hosting", "php_scripts", "qor_sw_setup_manager.php"),
                                          (Q + query).hex()], capture_output=True,
                                         env=dict(os.environ, QOR_CATALOGUE_DIR=self.servers.catalogues))
                    self.assertEqual((int(run.stderr), run.stdout), (py_status, py_body))

    def test_missing_catalogue(self):
        shutil.rmtree(self.servers.catalogues)
        os.makedirs(self.servers.catalogues)
        self.assert_same([Q + q for q in QUERIES] + [Q + b"art=unknown"], "missing")
        for target in [Q + q for q in QUERIES]:
            self.assertEqual(ask(self.servers.php.port, target)[:3:2], (500, b"catalogue error\n"))

    def test_other_paths_are_not_found(self):
        """Paths the script never answers: 404 from both, and nothing of the
        catalogue in the web server's own page."""
        write_catalogue(self.servers.catalogues, FULL, {})
        for target in OTHER_PATHS:
            with self.subTest(request=target):
                (py_status, _, _), (php_status, _, php_body) = self.both(target)
                self.assertEqual((php_status, py_status), (404, 404))
                self.assertNotIn(b"ftp.example.com", php_body)

    def test_refused_shapes(self):
        """The script refuses what the bundled server answers only by
        accident, and never reads a file outside the catalogue's folder."""
        outside = os.path.join(self.work, "outside.txt")
        with open(outside, "wb") as f:
            f.write(b"SECRET outside")
        for label, (catalogue, targets) in REFUSED.items():
            write_catalogue(self.servers.catalogues, catalogue, {})
            os.makedirs(os.path.join(self.servers.catalogues, "answers"))
            os.symlink(outside, os.path.join(self.servers.catalogues, "answers", "link.txt"))
            for target in targets:
                with self.subTest(catalogue=label, request=target):
                    status, _, body = ask(self.servers.php.port, Q + target)
                    self.assertEqual((status, body), (500, b"catalogue error\n"))
        log = self.servers.php.log_text()
        self.assertIn("qor_sw_setup_manager: answers.install names no file inside the catalogue's folder", log)
        self.assertIn("qor_sw_setup_manager: answers.new must name a file relative to the catalogue", log)

    def test_ftp_server_without_se_is_the_requested_host(self):
        """A catalogue that names no FTP server: the host the request came
        to, without its port (FTP on its own port there)."""
        write_catalogue(self.servers.catalogues, {"settings": {"fo": "/", "us": "u", "pa": "p", "se": None}}, {})
        port = self.servers.php.port
        for host, server in [(b"vendor.example:8080", b"vendor.example"), (b"vendor.example", b"vendor.example"),
                             (b"[::1]:80", b"[::1]"), (b"bad/host", b"127.0.0.1")]:
            with self.subTest(host=host):
                self.assertEqual(ask(port, Q + b"art=sw_update", host=host)[::2],
                                 (200, b"se=" + server + b"|fo=/|us=u|pa=p"))

    def test_answer_headers(self):
        """The code page is named; nothing announces PHP; HEAD is GET without
        the body; other methods are refused."""
        write_catalogue(self.servers.catalogues, with_(FULL, charset="windows-1252"), {})
        port = self.servers.php.port
        status, headers, body = ask(port, Q + b"art=new")
        self.assertEqual(headers["content-type"], "text/plain; charset=windows-1252")
        self.assertEqual(body, "Bilder||Daten||Größe|| space||Daten\\Archiv".encode("cp1252"))
        self.assertNotIn("x-powered-by", headers)
        self.assertEqual(headers["cache-control"], "no-store")
        whole = len(body)
        status, headers, body = ask(port, Q + b"art=new", method=b"HEAD")
        self.assertEqual((status, body, int(headers["content-length"])), (200, b"", whole))
        self.assertEqual(ask(port, Q + b"art=new", method=b"POST")[0], 501)

    def test_catalogue_beside_the_script_on_a_careless_host(self):
        """Without QOR_CATALOGUE_DIR the catalogue lies beside the script; on
        a host that shows every error and reads no .user.ini, no answer to the
        client's queries carries an error text, whatever the catalogue."""
        work = tempfile.mkdtemp(prefix="qor-hosting-beside-", dir=self.work)
        host = PhpHost(PHP, work, with_user_ini=False, settings=["memory_limit=32M"])
        try:
            self.assertEqual(ask(host.port, Q + b"art=new")[::2], (500, b"catalogue error\n"))
            for label, (catalogue, files) in CATALOGUES.items():
                write_catalogue(self.servers.catalogues, catalogue, files)
                for name in ["catalogue.json"] + sorted(files):
                    os.makedirs(os.path.dirname(os.path.join(host.scripts, name)), exist_ok=True)
                    shutil.copy(os.path.join(self.servers.catalogues, name), os.path.join(host.scripts, name))
                for target in [Q + q for q in QUERIES + [b"art=check", b"art=unknown"]]:
                    with self.subTest(catalogue=label, request=target):
                        py_status, _, py_body = ask(self.servers.python_port, target)
                        self.assertEqual(ask(host.port, target)[::2], (py_status, py_body))
            # Out of memory: PHP ends the script at once; the answer is still short and plain.
            with open(os.path.join(host.scripts, "catalogue.json"), "w") as f:
                json.dump({"new": ["x" * 1000] * 40000}, f)
            self.assertEqual(ask(host.port, Q + b"art=new")[::2], (500, b"catalogue error\n"))
            self.assertIn("Allowed memory size", host.log_text())
        finally:
            host.stop()


def main():
    global PHP
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--php", help="the PHP command-line program (default: php on PATH)")
    args, rest = parser.parse_known_args()
    PHP = find_php(args.php)
    if not PHP:
        print("SKIPPED: no php on PATH (Debian's php-cli, installed by tools/install-deps.sh)")
        return SKIP
    result = unittest.main(argv=[sys.argv[0]] + rest, exit=False, verbosity=2).result
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
