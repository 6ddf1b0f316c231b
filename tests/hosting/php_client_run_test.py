#!/usr/bin/python3
"""The real client's whole run with the PHP query script as its update
server, as ordinary hosting offers it: PHP's built-in server answers the
queries from the published catalogue, the bundled FTP server
(tools/ftp_server.py) serves the files. The same three runs as the
end-to-end test's full_run (every panel; nothing due; one newer file), in a
private Xvfb, clicked through with xdotool.

    php_client_run_test.py --client build/app/QOR_sync_PRO --artefacts DIR [--php PATH] [--keep]

Exit 77 (skipped) when there is no php.
"""

import argparse
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "e2e"))
from php_host import SKIP, SCRIPT_PATH, PhpHost, find_php  # noqa: E402
import e2e_checks as checks  # noqa: E402
from e2e_support import expect, ftp_server  # noqa: E402
from e2e_test import run_on_display, three_runs  # noqa: E402

PHP = None
QUERIES = ("check", "caption", "sw_update", "new", "install", "update")


class HostedServer:
    """The queries from PHP, the files from the FTP server: what three_runs
    reads of an update server."""

    def __init__(self, host, ftp):
        self.ports = {"http": host.port, "ftp": ftp.ports["ftp"]}
        self.ftp = ftp

    @property
    def lines(self):
        return self.ftp.lines

    def log(self, since=0):
        return self.ftp.log(since)


def php_hosting(sc):
    settings = checks.catalogue(sc.published)["settings"]
    ftp = ftp_server(sc.procs, sc.published, settings["us"], settings["pa"])
    checks.set_ftp_server(sc.published, "127.0.0.1:%d" % ftp.ports["ftp"])
    host = PhpHost(PHP, sc.work, catalogue_dir=sc.published, start=sc.procs.start)
    three_runs(sc, HostedServer(host, ftp))
    log = host.log_text()
    asked = [q for q in QUERIES if "[200]: GET %s?art=%s" % (SCRIPT_PATH, q) in log]
    expect(asked == list(QUERIES), "the client's queries answered by the PHP script: %s" % asked)
    expect(" [500]: " not in log and " [404]: " not in log, "the PHP script refused a query:\n" + log)


def main():
    global PHP
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--client", required=True)
    parser.add_argument("--artefacts", required=True, help="screenshots of a failing run go here")
    parser.add_argument("--php", help="the PHP command-line program (default: php on PATH)")
    parser.add_argument("--keep", action="store_true", help="keep the screenshots of a passing run too")
    args = parser.parse_args()
    PHP = find_php(args.php)
    if not PHP:
        print("SKIPPED: no php on PATH (Debian's php-cli, installed by tools/install-deps.sh)")
        return SKIP
    return run_on_display({"php_hosting": php_hosting}, ["php_hosting"], args.client, args.artefacts, args.keep)


if __name__ == "__main__":
    sys.exit(main())
