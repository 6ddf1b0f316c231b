#!/usr/bin/python3
"""The round trip of publish_round_trip.py with the Windows client,
QOR_sync_PRO.exe, under Wine: the release (its main application a Windows
program) published with qor_publish --upload to a writable FTP server, the
PHP query script under PHP's built-in server, the client clicked through in a
private Xvfb in a Wine prefix of its own; the program folder must equal the
release, a second run fetch nothing, and after a changed release the next run
fetch just the changed files.

    publish_round_trip_windows_test.py --client build-windows/app/QOR_sync_PRO.exe
                                       --publisher build/publish/qor_publish --artefacts DIR [--key FILE] [--php PATH] [--keep]

Exit 77 (skipped) without php or without the Linux build's qor_publish.
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
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "e2e"))
from php_host import SKIP, find_php  # noqa: E402
from e2e_support import Processes, report_scenarios, run_scenarios, sample_packages, start_xvfb  # noqa: E402
from e2e_windows_test import WineScenario  # noqa: E402
from publish_round_trip import round_trip  # noqa: E402
from wine_prefix import WinePrefix  # noqa: E402


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--client", required=True)
    parser.add_argument("--publisher", required=True, help="the Linux build's qor_publish")
    parser.add_argument("--artefacts", required=True, help="screenshots of a failing run go here")
    parser.add_argument("--php", help="the PHP command-line program (default: php on PATH)")
    parser.add_argument("--key", help="sign every upload with this private key file (the client holds its public half)")
    parser.add_argument("--keep", action="store_true", help="keep the screenshots of a passing run too")
    args = parser.parse_args()
    php = find_php(args.php)
    if not php or not os.path.isfile(args.publisher):
        print("SKIPPED: needs php on PATH and the Linux build's qor_publish (%s)" % args.publisher)
        return SKIP
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))  # through the clean-up below
    # A zone with an offset from UTC, so a UTC/local mix-up in stamping shows.
    if os.path.exists("/usr/share/zoneinfo/Europe/Berlin"):
        os.environ["TZ"] = "Europe/Berlin"
        time.tzset()
    artefacts = os.path.abspath(args.artefacts)
    os.makedirs(artefacts, exist_ok=True)
    publisher, client = os.path.abspath(args.publisher), os.path.abspath(args.client)
    key = os.path.abspath(args.key) if args.key else None
    scenarios = {"publish_round_trip": lambda sc: round_trip(sc, publisher, php, lambda line: print("  " + line),
                                                             windows=True, key=key)}

    wine = WinePrefix(os.path.join(artefacts, "wine-publish"))
    procs = Processes()
    failed = []
    template = tempfile.mkdtemp(prefix="template-", dir=artefacts)
    try:
        print("making a Wine prefix in %s" % wine.dir, flush=True)
        wine.create()
        display = start_xvfb(procs)
        wine.serve(procs, display)
        # The older program folder; the published set comes from the round trip itself.
        os.makedirs(os.path.join(template, "published"))
        sample_packages.make_program_folder(os.path.join(template, "program"), client, template, windows=True)
        failed = run_scenarios(scenarios, list(scenarios),
                               lambda name, own: WineScenario(name, client, artefacts, display, own, wine),
                               template, args.keep)
    finally:
        wine.stop()
        procs.stop_all()
        shutil.rmtree(template, ignore_errors=True)
        if not args.keep:
            shutil.rmtree(wine.dir, ignore_errors=True)
    return report_scenarios(failed, len(scenarios))


if __name__ == "__main__":
    sys.exit(main())
