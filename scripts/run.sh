#!/usr/bin/env bash
# Builds Sonafeed.exe and starts it under Wine in a fresh working directory, with the
# encoder test double beside it: on the user's display when there is one, otherwise headless,
# writing a screenshot of the dialog to docs/screenshot.png.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/build.sh"
build="$root/build/win"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$build/Sonafeed.exe" "$build/tests/doubles/ffmpeg.exe" "$work/"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    cd "$work" && exec env WINEPREFIX="$build/wineprefix" WINEARCH=win32 WINEDEBUG=-all \
        LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8 wine ./Sonafeed.exe
fi

"$root/tests/wine/session.sh" start "$build" "$build/wine_keepalive.exe"
trap '"$root/tests/wine/session.sh" stop "$build"; rm -rf "$work"' EXIT
export DISPLAY=":$(cat "$build/xvfb-display")"
(cd "$work" && "$build/wine-run" ./Sonafeed.exe >/dev/null 2>&1 &)
window=""
for _ in $(seq 300); do
    window=$(xwininfo -root -tree | awk '/"Kelvo/ {print $1; exit}')
    [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || { echo "Sonafeed's window did not appear"; exit 1; }
sleep 1 # let the dialog finish painting
import -window "$window" "$root/docs/screenshot.png"
echo "Sonafeed is running headless; screenshot written to docs/screenshot.png"
