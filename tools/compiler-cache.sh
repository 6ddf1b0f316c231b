# Sourced by the build scripts (build.sh, build-windows.sh, sanitize.sh,
# fuzz.sh) after they set $root. When ccache is installed, every compiler call
# goes through it: `compiler_cache` holds the CMake arguments for that. The
# paths ccache keys on are taken relative to the checkout, so a fresh clone in
# another folder reuses what an earlier build on this machine compiled; the
# build folder is left out of the key, which leaves the debug information's
# working folder that of the first build that compiled the unit.
#
#   QOR_CCACHE=0   build without the cache (e.g. to time a cold build)
#   ccache -s      shows hits and size; ccache -C empties it
compiler_cache=()
if [ "${QOR_CCACHE:-1}" != 0 ] && command -v ccache >/dev/null; then
  export CCACHE_BASEDIR=$root CCACHE_NOHASHDIR=true
  compiler_cache=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
else
  # A folder configured with the cache earlier must not keep calling it.
  compiler_cache=(-UCMAKE_CXX_COMPILER_LAUNCHER -UCMAKE_C_COMPILER_LAUNCHER)
fi
