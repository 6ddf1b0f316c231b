#!/usr/bin/env bash
# Static checks: every source follows .clang-format; clang-tidy (.clang-tidy)
# and cppcheck find nothing. clang-tidy reads the files this platform's build
# compiles (compile_commands.json), with the flags they are built with, so
# the Windows sources and the PE test images are not judged by Linux flags.
# Each suppression is explained where it stands.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QOR_BUILD_DIR:-$root/build}
cd "$root"
mapfile -t sources < <(git ls-files '*.cpp' '*.hpp')

echo "== clang-format"
clang-format --dry-run --Werror "${sources[@]}"

echo "== clang-tidy"
[ -f "$build/compile_commands.json" ] || { echo "no $build/compile_commands.json: build first"; exit 1; }
mapfile -t units < <(/usr/bin/python3 - "$build/compile_commands.json" "$root" <<'PY'
import json, os, sys
root = os.path.realpath(sys.argv[2])
seen = set()
for entry in json.load(open(sys.argv[1])):
    path = os.path.realpath(os.path.join(entry["directory"], entry["file"]))
    rel = os.path.relpath(path, root)
    # Generated sources (Qt resources, moc) live in the build folder.
    if rel.startswith("..") or rel.startswith("build") or rel in seen:
        continue
    seen.add(rel)
    print(rel)
PY
)
# clang-tidy counts the warnings it suppressed in system headers on standard
# error, a line per file; only its findings are shown.
tidy_log=$(mktemp)
trap 'rm -f "$tidy_log"' EXIT
tidy_status=0
printf '%s\n' "${units[@]}" | xargs -P 2 -n 4 clang-tidy -p "$build" --quiet >"$tidy_log" 2>&1 || tidy_status=$?
grep -v -e '^[0-9]* warnings\? generated\.$' -e '^Suppressed [0-9]* warnings' \
  -e '^Use -header-filter' -e '^Use -system-headers' "$tidy_log" || true
[ "$tidy_status" -eq 0 ] || { echo "clang-tidy: findings above"; exit 1; }

echo "== cppcheck"
cppcheck --quiet --error-exitcode=1 --inline-suppr --std=c++20 --language=c++ \
  --enable=warning,performance,portability \
  --suppress=missingIncludeSystem --suppress=unmatchedSuppression \
  -I . portable platform/linux window/qt window/*.cpp server install ftp filetime app publish
echo "static checks: clean"
