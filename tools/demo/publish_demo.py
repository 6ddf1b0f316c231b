#!/usr/bin/python3
"""Shows the vendor's way and the user's in one run (tools/demo.sh --publish).

    publish_demo.py --client build/app/QOR_sync_PRO --publisher build/publish/qor_publish
                    [--screens DIR] [--php PATH]

Builds a release folder (a helper program with a version resource, made by
the MinGW cross compiler; libraries; a picture in Bilder/; the base database
in SQLite3/; the user's empty database), writes a settings file, publishes
with `qor_publish --upload` to the bundled FTP server with uploads allowed,
serves the catalogue with the PHP query script under `php -S`, and lets a
scripted user click the real client through an older program folder on a
private Xvfb display. A second run finds nothing due; then a changed release
(one library newer, the picture replaced, a text removed) gets a dry run and
an upload, and a third run fetches just those files. Prints what was
published, uploaded and fetched; the screenshots of every panel, the work
folder (release, FTP root, program folder, logs) stay in DIR.
"""

import argparse
import os
import shutil
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "tests", "hosting"))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
from php_host import find_php  # noqa: E402
from e2e_test import run_on_display  # noqa: E402
from publish_round_trip import round_trip  # noqa: E402


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--client", required=True)
    parser.add_argument("--publisher", required=True, help="the built qor_publish")
    parser.add_argument("--screens", default="demo-screens", help="where screenshots go")
    parser.add_argument("--php", help="the PHP command-line program (default: php on PATH)")
    args = parser.parse_args()
    php = find_php(args.php)
    if not php:
        print("The publish demo needs php (Debian's php-cli, installed by tools/install-deps.sh).")
        return 1
    for tool in ("x86_64-w64-mingw32-windres", "Xvfb", "xdotool"):
        if not shutil.which(tool):
            print("The publish demo needs %s (tools/install-deps.sh installs it)." % tool)
            return 1
    publisher = os.path.abspath(args.publisher)
    args.screens = os.path.abspath(args.screens)
    scenario = {"publish": lambda sc: round_trip(sc, publisher, php, lambda line: print("  " + line, flush=True))}
    print("The round trip: release folder -> qor_publish --upload -> FTP server + PHP query script -> client")
    status = run_on_display(scenario, ["publish"], args.client, args.screens, keep=True)
    print("Screenshots of every panel: %s; release, FTP root, program folder and logs: %s"
          % (os.path.join(args.screens, "publish"), os.path.join(args.screens, "work-publish")))
    return status


if __name__ == "__main__":
    sys.exit(main())
