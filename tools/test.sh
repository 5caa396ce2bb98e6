#!/usr/bin/env bash
# Runs every test: sets the machine up, builds, and runs the native unit
# tests (sanitizers), the checks of the 32-bit release exe, and the Windows
# unit tests and end-to-end tests of the real exe under Wine and Xvfb.
#
# The Windows tests run the build this machine can run: the 32-bit build
# under 32-bit Wine, or, where the kernel runs no 32-bit code (or with
# KORVANE_FORCE_WIN64=1), the 64-bit build under 64-bit Wine. Where 32-bit
# code runs, the 64-bit build's Windows unit tests run as well.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup.sh

# The builds and the Wine prefixes of the end-to-end tests take a few GB;
# say so up front rather than fail later with puzzling write errors.
free_kb=$(df --output=avail -k . | tail -1)
if [ "$free_kb" -lt $((8 * 1024 * 1024)) ]; then
  echo "warning: only $((free_kb / 1024)) MB free on $(pwd); the tests need about 8 GB" >&2
fi

arch=$(tools/rig/machine_arch.sh)
presets=(native win32 "$arch-local")
[ "$arch" = win32 ] && presets+=(win64-local)
echo "== Windows tests: the $arch build under $arch Wine (builds: ${presets[*]})"

jobs=$(nproc)
for preset in "${presets[@]}"; do
  cmake --preset "$preset" > /dev/null
  cmake --build --preset "$preset" -j "$jobs"
done

status=0
ctest --preset native || status=1
ctest --preset win32 || status=1
release=build/win32/Installer/KorvaneInstaller.exe
echo "== the release $release: $(stat -c %s "$release") bytes; its symbols: $(stat -c %s "$release.debug") bytes in $release.debug"
ctest --preset "$arch-local" || status=1
if [ "$arch" = win32 ]; then
  ctest --preset win64-local -L windows_unit || status=1
fi
echo "== Windows tests ran the $arch build under $arch Wine"
exit $status
