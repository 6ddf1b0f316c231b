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
# Every unit is checked on every run, but a unit whose check came out clean
# before, with nothing that decides its findings changed since, is not
# checked again: the result cache (QOR_TIDY_CACHE, default
# ~/.cache/qor-tidy) keeps one empty file per clean check, named by a hash of
# clang-tidy's and clang's versions, every .clang-tidy, the unit's compile
# command less its output file, and the unit's preprocessed text with
# comments and macro definitions (clang++ -E, the same flags, as clang-tidy
# sees it). Paths are taken relative to the checkout, so a fresh clone hits
# what an earlier run checked. Findings are never stored: a unit with any
# finding is checked again, and fails again, on every run.
#   QOR_TIDY_CACHE=off   check every unit afresh, store nothing
#   QOR_TIDY_JOBS        units checked at once (default 2)
/usr/bin/python3 - "$build" "$root" <<'PY'
import concurrent.futures, hashlib, json, os, re, shlex, subprocess, sys

build, root = (os.path.realpath(p) for p in sys.argv[1:3])
cache = os.environ.get("QOR_TIDY_CACHE") or os.path.join(
    os.environ.get("XDG_CACHE_HOME") or os.path.expanduser("~/.cache"), "qor-tidy")
jobs = int(os.environ.get("QOR_TIDY_JOBS", "2"))

def run(argv, cwd=None, errors=subprocess.STDOUT):
    return subprocess.run(argv, cwd=cwd, stdout=subprocess.PIPE, stderr=errors)

def portable(data):
    # The build folder first: it may lie inside the checkout.
    return data.replace(build.encode(), b"@BUILD@").replace(root.encode(), b"@ROOT@")

configs = sorted(subprocess.run(["git", "ls-files", "*.clang-tidy", ".clang-tidy"], cwd=root,
                                capture_output=True, text=True, check=True).stdout.split())
common = hashlib.sha256()
for argv in (["clang-tidy", "--version"], ["clang++", "--version"]):
    common.update(run(argv).stdout)
for name in configs:
    with open(os.path.join(root, name), "rb") as f:
        common.update(name.encode() + b"\0" + f.read() + b"\0")
# The header filter is matched against absolute paths: whether the
# checkout's own folder matches it decides which headers are judged.
with open(os.path.join(root, ".clang-tidy")) as f:
    header_filter = re.search(r"^HeaderFilterRegex:\s*'(.*)'", f.read(), re.M)
for folder in (root, build):
    if header_filter and re.search(header_filter.group(1), folder + "/"):
        common.update(folder.replace(root, "@ROOT@").encode() + b" inside the header filter\0")

units, seen = [], set()
for entry in json.load(open(os.path.join(build, "compile_commands.json"))):
    path = os.path.realpath(os.path.join(entry["directory"], entry["file"]))
    rel = os.path.relpath(path, root)
    # Generated sources (Qt resources, moc) live in the build folder.
    if rel.startswith("..") or path.startswith(build + os.sep) or rel.startswith("build") or rel in seen:
        continue
    seen.add(rel)
    units.append((rel, entry))

def key_of(entry):
    argv = entry["arguments"] if "arguments" in entry else shlex.split(entry["command"])
    flags, skip = [], False
    for arg in argv[1:]:
        if skip:
            skip = False
        elif arg == "-o":
            skip = True
        else:
            flags.append(arg)
    key = common.copy()
    key.update(portable("\0".join([argv[0]] + flags).encode()) + b"\0")
    pre = [a for a in flags if a != "-c"]
    text = run(["clang++", "-E", "-CC", "-dD", "-D__clang_analyzer__"] + pre, cwd=entry["directory"],
               errors=subprocess.DEVNULL)
    if text.returncode != 0:
        return None  # checked afresh every time
    key.update(portable(text.stdout))
    return key.hexdigest()

noise = re.compile(rb"^([0-9]+ warnings? generated\.|Suppressed [0-9]+ warnings.*"
                   rb"|Use -header-filter.*|Use -system-headers.*)$")

def check(unit):
    rel, entry = unit
    key = key_of(entry) if cache != "off" else None
    stamp = key and os.path.join(cache, key[:2], key)
    if stamp and os.path.exists(stamp):
        return rel, 0, b"", True
    result = run(["clang-tidy", "-p", build, "--quiet", rel], cwd=root)
    shown = b"\n".join(l for l in result.stdout.splitlines() if not noise.match(l))
    if stamp and result.returncode == 0 and not shown.strip():
        os.makedirs(os.path.dirname(stamp), exist_ok=True)
        with open(stamp + ".tmp%d" % os.getpid(), "w") as f:
            f.write(rel + "\n")
        os.replace(stamp + ".tmp%d" % os.getpid(), stamp)
    return rel, result.returncode, shown, False

failed, reused = [], 0
with concurrent.futures.ThreadPoolExecutor(max_workers=jobs) as pool:
    for rel, status, shown, cached in pool.map(check, units):
        reused += cached
        if shown.strip():
            sys.stdout.buffer.write(shown + b"\n")
            sys.stdout.flush()
        if status != 0:
            failed.append(rel)
print(f"clang-tidy: {len(units)} units, {len(units) - reused} checked, {reused} clean before and unchanged")
if failed:
    print("clang-tidy: findings above in " + " ".join(failed))
    sys.exit(1)
PY

echo "== cppcheck"
cppcheck --quiet --error-exitcode=1 --inline-suppr --std=c++20 --language=c++ \
  --enable=warning,performance,portability \
  --suppress=missingIncludeSystem --suppress=unmatchedSuppression \
  -I . portable platform/linux window/qt window/unattended window/*.cpp server install ftp filetime release app publish
echo "static checks: clean"
