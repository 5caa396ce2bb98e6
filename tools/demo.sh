#!/usr/bin/env bash
# Builds the installer against the local package server and runs it end to
# end under Wine onto a simulated USB drive.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
cmake --preset win32-local > /dev/null
cmake --build --preset win32-local -j "$(nproc)"
exec /usr/bin/python3 tools/demo.py
