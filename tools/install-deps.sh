#!/usr/bin/env bash
# Installs what the build, the demo and the tests need on a Debian machine
# (run as root). Idempotent: does nothing when everything is present. Leaves
# the machine's package policy as it found it.
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(
  cmake ninja-build g++ clang libclang-rt-14-dev
  mingw-w64 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix libz-mingw-w64-dev zlib1g-dev
  libeasyloggingpp-dev googletest
  wine wine64
  xvfb xauth x11-utils xdotool imagemagick
  python3 python3-pytest openssl ca-certificates osslsigncode
  fonts-liberation fonts-noto-cjk
  zip unzip p7zip-full libarchive-tools time
  default-jdk-headless locales strace
  exfatprogs exfat-fuse
)
# 32-bit Wine only where the kernel runs 32-bit code: elsewhere it cannot
# start, and its i386 libraries would be dead weight.
if [ "$(KORVANE_FORCE_WIN64=0 tools/rig/machine_arch.sh)" = win32 ]; then
  PACKAGES+=(wine32:i386)
fi

# Earlier versions of this script left a pin that kept the machine from
# taking security updates; remove it if it is still ours, unchanged.
OLD_PIN=/etc/apt/preferences.d/korvane-multiarch
if [ -f "$OLD_PIN" ] && [ "$(cat "$OLD_PIN")" = "$(printf 'Package: *\nPin: release l=Debian-Security\nPin-Priority: 100')" ]; then
  rm -f "$OLD_PIN"
fi

missing=()
for package in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ "${#missing[@]}" -eq 0 ]; then
  exit 0
fi
echo "Installing: ${missing[*]}"

if [[ " ${missing[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi

install() {
  DEBIAN_FRONTEND=noninteractive apt-get "$@" install -y -q --no-install-recommends "${missing[@]}"
}

# A partly failing index (a mirror in sync) must not stop the install.
apt-get update -q || echo "apt-get update reported errors; going on with the indexes at hand"
if install; then
  exit 0
fi

# wine32 needs i386 libraries at exactly the versions of the installed amd64
# ones, and the security archive's i386 index is not always in step with its
# amd64 index. Retry preferring the main archive, which carries the point
# releases for both architectures, through a pin that lives only as long as
# this retry.
pin=$(mktemp)
trap 'rm -f "$pin"' EXIT
printf 'Package: *\nPin: release l=Debian-Security\nPin-Priority: 100\n' > "$pin"
for attempt in 1 2 3; do
  echo "apt-get install failed; retrying with the main archive preferred (attempt $attempt)"
  apt-get update -q || true
  if install -o Dir::Etc::Preferences="$pin"; then
    exit 0
  fi
  sleep 5
done
exit 1
