#!/usr/bin/env bash
# Installs what building and testing need on Debian 12; skips what is already there.
set -euo pipefail

packages=(g++-mingw-w64-i686 mingw-w64-tools wine wine32:i386 wine64 xvfb locales
          fonts-wqy-microhei cmake googletest g++ clang libclang-rt-14-dev clang-format
          python3 imagemagick x11-utils nginx libnginx-mod-rtmp ffmpeg)
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

# The real 32-bit Windows encoder that the broadcast tests run behind the bridge.
bash "$(cd "$(dirname "$0")/.." && pwd)/tests/broadcast/setup.sh"
