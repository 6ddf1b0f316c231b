#!/bin/sh
# Windows programs under Wine, in a private prefix that no user setting
# reaches and that leaves nothing in the user's home.
#   wine-run.sh --wine-dir DIR PROGRAM [ARG...]   runs PROGRAM; its exit status
#   wine-run.sh --wine-dir DIR --create            a fresh prefix (wineboot -i)
#   wine-run.sh --wine-dir DIR --stop              ends every Wine process of it
# DIR holds the prefix and the home folder Wine links the desktop to.
set -eu
if [ "${1:-}" != --wine-dir ] || [ $# -lt 3 ]; then
  sed -n '2,7s/^# \{0,1\}//p' "$0" >&2
  exit 2
fi
dir=$(mkdir -p "$2" && cd "$2" && pwd)
shift 2
export WINEPREFIX=$dir/prefix HOME=$dir/home WINEDEBUG=-all
# No installer dialogs for Mono and Gecko, no menu entries for shortcuts.
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"

case "$1" in
  --create)
    wineserver -k 2>/dev/null || true
    # Processes of the last run may still be writing in the old prefix for a
    # moment after their server was stopped.
    for _ in 1 2 3 4 5 6 7 8 9 10; do
      rm -rf "$WINEPREFIX" "$HOME" 2>/dev/null && break
      sleep 0.5
    done
    [ ! -e "$WINEPREFIX" ] || { echo "$WINEPREFIX: a Wine process still writes in it" >&2; exit 1; }
    mkdir -p "$HOME"
    wineboot -i >"$dir/wineboot.log" 2>&1 || { cat "$dir/wineboot.log" >&2; exit 1; }
    # Until the prefix is written completely.
    wineserver -w
    ;;
  --stop)
    wineserver -k 2>/dev/null || true
    ;;
  *)
    exec wine "$@"
    ;;
esac
