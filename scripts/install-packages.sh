#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need. Safe to run again.
# Both MinGW-w64 toolchains are always installed (both builds are compiled everywhere); wine32
# only where the kernel runs 32-bit programs (scripts/machine.sh), wine64 everywhere.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=machine.sh
. "$here/machine.sh"
zarvik_machine

need_root() { if [ "$(id -u)" -ne 0 ]; then echo "run as root (apt-get install)" >&2; exit 1; fi; }

packages=(
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  mingw-w64-x86-64-dev
  libz-mingw-w64-dev
  gcc libc6-dev cmake ninja-build make python3 xvfb x11-apps imagemagick xauth
  googletest dpkg-dev file fonts-wqy-microhei
  autoconf automake libtool
  espeak-ng
  wine wine64
)
if [ "$ZARVIK_CAN_RUN_32" = 1 ]; then packages+=(wine32:i386); fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

# Source packages of the release itself: the security archive's sources are not reachable here.
src_list=/etc/apt/sources.list.d/zarvik-deb-src-main.sources
rm -f /etc/apt/sources.list.d/zarvik-deb-src.sources
need_update=0
if [ "$ZARVIK_CAN_RUN_32" = 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  need_root; dpkg --add-architecture i386; need_update=1
fi
if [ ! -f "$src_list" ]; then
  need_root
  cat > "$src_list" <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  need_update=1
fi

if [ ${#missing[@]} -gt 0 ] || [ $need_update -eq 1 ]; then
  need_root
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  if [ ${#missing[@]} -gt 0 ]; then
    echo "installing: ${missing[*]}"
    apt-get install -y -q --no-install-recommends "${missing[@]}"
  fi
fi
