#!/usr/bin/env bash
# A real broadcast from one command. Starts a local RTMP server (nginx), a second tone source
# for the relay and the open API stand-in, and Sonafeed.exe under Wine with the encoder bridge as
# its ffmpeg.exe:
# - on the user's display when there is one, for a person to press the buttons, until the window
#   is closed;
# - otherwise headless: the scripted broadcast runs at 128 kbit/s and prints its report.
#   demo.sh [BUILD_DIR]   the Windows build tree, already built (default build/win, or
#                         build/win64 where the host runs no 32-bit code)
# Reports, screenshot and logs go to BUILD_DIR/broadcast-demo.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/scripts/winarch.sh"
build=$(cd "${1:-$(winbuild "$(winarch)")}" && pwd)
bash "$root/tests/broadcast/setup.sh" "$(. "$build/wine-env" && echo "$WINEARCH")"

programs=(--wine-run "$build/wine-run" --sonafeed "$build/Sonafeed.exe"
          --bridge "$build/tools/bridge/ffmpeg.exe" --uidrive "$build/tests/broadcast/uidrive.exe"
          --out "$build/broadcast-demo")
for program in "$build/Sonafeed.exe" "$build/tools/bridge/ffmpeg.exe" \
               "$build/tests/broadcast/uidrive.exe"; do
    [ -f "$program" ] || { echo "$program is missing: build $build first" >&2; exit 1; }
done

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    exec python3 "$root/tests/broadcast/broadcast.py" --interactive "${programs[@]}"
fi

"$root/tests/wine/session.sh" start "$build" "$build/wine_keepalive.exe" >/dev/null
trap '"$root/tests/wine/session.sh" stop "$build"' EXIT
python3 "$root/tests/broadcast/broadcast.py" --bitrate 128 --device 0 \
    --display-file "$build/xvfb-display" "${programs[@]}"
