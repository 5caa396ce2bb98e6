#!/usr/bin/env bash
# Everything the machine needs before a build or a run: packages, then the
# pieces of the test rig that live outside the repository.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
for step in tools/setup.d/*.sh; do
  [ -x "$step" ] || continue
  "$step"
done
