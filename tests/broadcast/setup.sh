#!/usr/bin/env bash
# Puts a real Windows ffmpeg.exe into a cache outside the repository, for the encoder bridge of
# the broadcast tests: npm package @ffmpeg-installer/win32-ia32 for the 32-bit build (win32,
# the default), win32-x64 for the 64-bit one (win64). Does nothing when it is already there.
# Prints nothing on success unless it downloaded.
#   setup.sh [win32|win64]
#   SONAFEED_CACHE  the cache directory (default ${XDG_CACHE_HOME:-~/.cache}/sonafeed)
set -euo pipefail
case ${1:-win32} in
win32) name=win32-ia32 ;;
win64) name=win32-x64 ;;
*) echo "setup.sh: unknown architecture $1 (win32, win64)" >&2; exit 2 ;;
esac
package=@ffmpeg-installer/$name
version=4.1.0
cache=${SONAFEED_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/sonafeed}
target="$cache/$name-$version"

[ -f "$target/ffmpeg.exe" ] && exit 0

mkdir -p "$cache"
work=$(mktemp -d "$cache/.fetch.XXXXXX")
trap 'rm -rf "$work"' EXIT
(cd "$work" && npm pack --silent "$package@$version" >/dev/null)
tar -xzf "$work"/*.tgz -C "$work"
[ -f "$work/package/ffmpeg.exe" ] || { echo "no ffmpeg.exe in $package@$version" >&2; exit 1; }
# Renamed into place only when complete, so an interrupted run is simply repeated.
rm -rf "$target"
mv "$work/package" "$target"
echo "ffmpeg.exe for the broadcast tests in $target"
