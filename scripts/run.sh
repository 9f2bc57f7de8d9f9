#!/usr/bin/env bash
# Builds everything, then runs a real broadcast: Sonafeed.exe under Wine publishes a test tone
# through the encoder bridge to a local RTMP server, and the open API stand-in relays a second
# source. On the user's display Sonafeed opens for a person to use; headless, a scripted
# broadcast runs and prints its report (reports, screenshot, logs: build/win/broadcast-demo).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/build.sh"
exec bash "$root/tests/broadcast/demo.sh" "$root/build/win"
