#!/usr/bin/env bash
# Prints the Wine architecture the rig uses on this machine: "win32" where the
# kernel runs 32-bit x86 programs, "win64" where it does not (IA-32 emulation
# off: every i386 program fails with "Exec format error"), and "win64" on any
# machine when KORVANE_FORCE_WIN64=1.
#
# The answer comes from executing a tiny static i386 program, not from the
# kernel's configuration, which is not readable everywhere and can be
# overridden on the kernel command line.
set -euo pipefail

if [ "${KORVANE_FORCE_WIN64:-0}" = "1" ]; then
  echo win64
  exit 0
fi

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
# ELF32 header, one PT_LOAD program header, then: mov eax,1; mov ebx,0; int 0x80.
printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00' > "$dir/probe"
printf '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00' >> "$dir/probe"
printf '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00' >> "$dir/probe"
printf '\x00\x00\x00\x00' >> "$dir/probe"
printf '\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08' >> "$dir/probe"
printf '\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00' >> "$dir/probe"
printf '\xb8\x01\x00\x00\x00\xbb\x00\x00\x00\x00\xcd\x80' >> "$dir/probe"
chmod +x "$dir/probe"

if error=$("$dir/probe" 2>&1); then
  echo win32
elif [[ "$error" == *"Exec format error"* ]]; then
  echo win64
else
  # A folder mounted noexec, say: no answer is better than a wrong one.
  echo "machine_arch.sh: the i386 probe could not be run: $error" >&2
  exit 2
fi
