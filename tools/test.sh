#!/usr/bin/env bash
# Runs every test: sets the machine up, builds the three configurations and
# runs the native unit tests (sanitizers), the Windows unit tests under Wine
# and the end-to-end tests of the real exe under Wine and Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup.sh

# The builds and the Wine prefixes of the end-to-end tests take a few GB;
# say so up front rather than fail later with puzzling write errors.
free_kb=$(df --output=avail -k . | tail -1)
if [ "$free_kb" -lt $((6 * 1024 * 1024)) ]; then
  echo "warning: only $((free_kb / 1024)) MB free on $(pwd); the tests need about 6 GB" >&2
fi

jobs=$(nproc)
for preset in native win32 win32-local; do
  cmake --preset "$preset" > /dev/null
  cmake --build --preset "$preset" -j "$jobs"
done

status=0
ctest --preset native || status=1
ctest --preset win32-local || status=1
for extra in tools/test.d/*.sh; do
  [ -x "$extra" ] || continue
  "$extra" || status=1
done
exit $status
