#!/usr/bin/env bash
# The exFAT drive tests put a real removable-drive file system (exfatprogs'
# mkfs.exfat on a loop device, mounted by exfat-fuse) under drive E:. They
# need the loop and FUSE devices; say now, not at test time, when they are
# missing. The tests skip themselves, with the reason, where they are.
for module in loop fuse; do
  modprobe "$module" 2>/dev/null || true
done
if [ ! -e /dev/fuse ] || [ ! -e /dev/loop-control ]; then
  echo "note: no /dev/fuse or /dev/loop-control here: the exFAT drive tests will be skipped"
fi
if ! command -v mkfs.exfat >/dev/null || ! command -v mount.exfat-fuse >/dev/null; then
  echo "note: exfatprogs or exfat-fuse is missing: the exFAT drive tests will be skipped"
fi
exit 0
