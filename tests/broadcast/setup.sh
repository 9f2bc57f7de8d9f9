#!/usr/bin/env bash
# Puts a real 32-bit Windows ffmpeg.exe (npm package @ffmpeg-installer/win32-ia32) into a cache
# outside the repository, for the encoder bridge of the broadcast tests. Does nothing when it is
# already there. Prints nothing on success unless it downloaded.
#   SONAFEED_CACHE  the cache directory (default ${XDG_CACHE_HOME:-~/.cache}/sonafeed)
set -euo pipefail
package=@ffmpeg-installer/win32-ia32
version=4.1.0
cache=${SONAFEED_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/sonafeed}
target="$cache/win32-ia32-$version"

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
