#!/usr/bin/env bash
# Installs everything the project needs on a Debian 12 machine. Idempotent.
set -euo pipefail

# Everything tools/test.sh, tools/demo.sh and tools/build-windows.sh use.
packages=(
  # the Linux build and its tests (libssl-dev: libcrypto for signed releases)
  cmake ninja-build g++ pkg-config git ccache
  qt6-base-dev libcurl4-openssl-dev libssl-dev libgtest-dev libgmock-dev libbenchmark-dev
  # test servers (php-cli: the query script for web hosting), the real window on a virtual display, screenshots
  python3 python3-pyftpdlib curl php-cli
  # the query script as web hosting runs it, for the hosting load test (tools/load-test-hosting.py)
  nginx php-fpm
  # the FTP server the download benchmark (tools/bench-downloads.py) and the hosting load test measure against
  vsftpd
  xvfb xauth xdotool imagemagick fonts-liberation
  # the Windows build (and the PE test images), its tests under Wine
  g++-mingw-w64-x86-64 g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 googletest wine wine64
  # fuzzing with sanitizers, static checks
  clang libclang-rt-14-dev clang-format clang-tidy cppcheck
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
