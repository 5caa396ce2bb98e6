#!/usr/bin/env bash
# Installs what the build, the demo and the tests need on a Debian machine
# (run as root). Idempotent: does nothing when everything is present.
set -euo pipefail

PACKAGES=(
  cmake ninja-build g++ clang libclang-rt-14-dev
  mingw-w64 g++-mingw-w64-i686-posix libz-mingw-w64-dev zlib1g-dev
  libeasyloggingpp-dev googletest
  wine wine32 wine64
  xvfb xauth x11-utils xdotool imagemagick
  python3 python3-pytest openssl ca-certificates
  zip unzip p7zip-full libarchive-tools time
  default-jdk-headless locales strace
)

missing=()
for package in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ "${#missing[@]}" -eq 0 ]; then
  exit 0
fi
echo "Installing: ${missing[*]}"

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi

# wine32 needs i386 libraries at exactly the versions of the installed
# amd64 ones. The security archive's i386 index is not always in step with
# its amd64 index, so prefer the main archive (which carries the point
# releases) for both architectures.
cat > /etc/apt/preferences.d/korvane-multiarch <<'PIN'
Package: *
Pin: release l=Debian-Security
Pin-Priority: 100
PIN

# A partly failing index (a mirror in sync) must not stop the install.
apt-get update -q || echo "apt-get update reported errors; going on with the indexes at hand"
for attempt in 1 2 3; do
  if DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"; then
    exit 0
  fi
  echo "apt-get install failed (attempt $attempt); retrying"
  sleep 5
  apt-get update -q || true
done
exit 1
