#!/bin/sh
# Builds the zip reader's fuzz target with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) into build/fuzz and runs it for SECONDS
# (default 60) over a seed corpus of archives made by real archivers.
# Exit status is libFuzzer's: non-zero when it found a crash, a leak or a
# hang (any single input running longer than 10 s).
set -eu
seconds=${1:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/build/fuzz"

cmake -S "$root/tests/fuzz" -B "$out" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$out" -j2
/usr/bin/python3 "$root/tests/unit/data/make_archives.py" "$out/seeds"
mkdir -p "$out/corpus" "$out/artifacts"
cd "$out"
exec ./ZipReaderFuzzer -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=131072 \
  -print_final_stats=1 -artifact_prefix="$out/artifacts/" "$out/corpus" "$out/seeds"
