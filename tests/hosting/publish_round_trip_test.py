#!/usr/bin/python3
"""A release published with qor_publish --upload to a writable FTP server,
answered by the PHP query script under PHP's built-in server, and installed by
the real client through its window in a private Xvfb: the program folder
equals the release, a second run finds nothing due, and after a changed
release the next run fetches just the changed files (publish_round_trip.py).

    publish_round_trip_test.py --client build/app/QOR_sync_PRO --publisher build/publish/qor_publish
                               --artefacts DIR [--key FILE] [--php PATH] [--keep]

Exit 77 (skipped) when there is no php.
"""

import argparse
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "e2e"))
from php_host import SKIP, find_php  # noqa: E402
from e2e_test import run_on_display  # noqa: E402
from publish_round_trip import round_trip  # noqa: E402


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--client", required=True)
    parser.add_argument("--publisher", required=True, help="the built qor_publish")
    parser.add_argument("--artefacts", required=True, help="screenshots of a failing run go here")
    parser.add_argument("--php", help="the PHP command-line program (default: php on PATH)")
    parser.add_argument("--key", help="sign every upload with this private key file (the client holds its public half)")
    parser.add_argument("--keep", action="store_true", help="keep the screenshots of a passing run too")
    args = parser.parse_args()
    php = find_php(args.php)
    if not php:
        print("SKIPPED: no php on PATH (Debian's php-cli, installed by tools/install-deps.sh)")
        return SKIP
    publisher = os.path.abspath(args.publisher)
    key = os.path.abspath(args.key) if args.key else None
    scenario = {"publish_round_trip": lambda sc: round_trip(sc, publisher, php, lambda line: print("  " + line),
                                                            key=key)}
    return run_on_display(scenario, list(scenario), args.client, args.artefacts, args.keep)


if __name__ == "__main__":
    sys.exit(main())
