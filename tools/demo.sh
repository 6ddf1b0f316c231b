#!/usr/bin/env bash
# The demo from a fresh machine: installs, builds, then shows a whole run of
# the client against the bundled update server (see tools/demo/run_demo.py).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/install-deps.sh"
"$root/tools/build.sh"
exec /usr/bin/python3 "$root/tools/demo/run_demo.py" --client "${QOR_BUILD_DIR:-$root/build}/app/QOR_sync_PRO" "$@"
