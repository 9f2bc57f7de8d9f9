#!/usr/bin/env bash
# Installs what building and testing need on Debian 12; skips what is already there.
#   setup.sh [--build]   --build: for building only, so a host where no Wine runs is no error
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/winarch.sh"

# wine32 installs on every host, though only hosts with 32-bit support can run it.
packages=(g++-mingw-w64-i686 g++-mingw-w64-x86-64-posix mingw-w64-tools wine wine32:i386 wine64
          xvfb locales fonts-wqy-microhei fonts-wine cmake googletest g++ clang libclang-rt-14-dev
          clang-format python3 imagemagick x11-utils nginx libnginx-mod-rtmp ffmpeg)
# npm may come from Node.js's own packages, which conflict with Debian's npm.
command -v npm >/dev/null || packages+=(npm)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}" </dev/null
fi

# Non-ASCII command-line arguments reach Wine programs intact only with this locale generated.
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
  sed -i 's/^# *\(zh_CN.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' >>/etc/locale.gen
  locale-gen >/dev/null
fi

arch=$(winarch)
if [ "$arch" = none ]; then
    # Building runs no Wine, so scripts/build.sh goes on (--build); testing cannot.
    [ "${1:-}" = --build ] && exit 0
    echo "No Wine can run the Windows tests here: neither Wine's 32-bit loader nor wine64 starts (/usr/lib/wine/wine64 --version fails); install wine64 on an x86_64 host, or use a host whose kernel runs 32-bit programs." >&2
    exit 1
fi

# The real Windows encoder that the broadcast tests run behind the bridge.
bash "$root/tests/broadcast/setup.sh" "$arch"
