#!/usr/bin/env bash
# Builds everything, then runs a real broadcast: Sonafeed.exe under Wine publishes a test tone
# through the encoder bridge to a local RTMP server, and the open API stand-in relays a second
# source. On the user's display Sonafeed opens for a person to use; headless, a scripted
# broadcast runs, prints its report (reports and logs: build/win/broadcast-demo) and its
# screenshot of the dialog becomes docs/screenshot.png.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/build.sh"
started=$(mktemp)
trap 'rm -f "$started"' EXIT
bash "$root/tests/broadcast/demo.sh" "$root/build/win"
shot="$root/build/win/broadcast-demo/screenshot.png"
if [ "$shot" -nt "$started" ]; then
    cp "$shot" "$root/docs/screenshot.png"
    echo "Screenshot of the dialog: docs/screenshot.png"
fi
