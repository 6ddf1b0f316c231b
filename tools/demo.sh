#!/usr/bin/env bash
# The demo from a fresh machine: installs, builds, then shows a whole run of
# the client against the bundled update server (see tools/demo/run_demo.py).
# `tools/demo.sh --windows [...]` does the same with the Windows program,
# cross-built with MinGW-w64 and run under Wine. `tools/demo.sh --publish`
# shows the vendor's side too: a release published with qor_publish --upload,
# served by the PHP query script, installed and updated by the client
# (tools/demo/publish_demo.py).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/install-deps.sh"
if [ "${1:-}" = --windows ]; then
  shift
  "$root/tools/build-windows.sh"
  exec /usr/bin/python3 "$root/tools/demo/run_demo.py" --windows \
    --client "${QOR_WINDOWS_BUILD_DIR:-$root/build-windows}/app/QOR_sync_PRO.exe" "$@"
fi
"$root/tools/build.sh"
if [ "${1:-}" = --publish ]; then
  shift
  build=${QOR_BUILD_DIR:-$root/build}
  exec /usr/bin/python3 "$root/tools/demo/publish_demo.py" --client "$build/app/QOR_sync_PRO" \
    --publisher "$build/publish/qor_publish" "$@"
fi
exec /usr/bin/python3 "$root/tools/demo/run_demo.py" --client "${QOR_BUILD_DIR:-$root/build}/app/QOR_sync_PRO" "$@"
