#!/usr/bin/env bash
# Builds the installer against the local package server and runs it end to
# end under Wine onto a simulated USB drive.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
# The 32-bit build where this machine runs 32-bit code, else the 64-bit one.
preset="$(tools/rig/machine_arch.sh)-local"
cmake --preset "$preset" > /dev/null
cmake --build --preset "$preset" -j "$(nproc)"
exec /usr/bin/python3 tools/demo.py
